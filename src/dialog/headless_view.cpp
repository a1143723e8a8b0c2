#include "dialog/headless_view.h"

#include "dialog/frmMAIN.h"
#include "host/failure.h"

namespace oq {

void HeadlessView::RunModal(frmMAIN& form) {
  ++timesShown_;
  inLoop_ = true;
  if (script_) script_(form);
  if (inLoop_) {
    inLoop_ = false;
    form.Unload();
    throw Failure(5, "Invalid procedure call or argument: the form was left open");
  }
}

void HeadlessView::PressKey(frmMAIN& form, std::int16_t keyCode, std::int16_t shift) {
  std::int16_t code = keyCode;
  form.Form_KeyDown(code, shift);
}

}  // namespace oq
