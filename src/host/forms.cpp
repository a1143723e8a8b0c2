#include "host/forms.h"

#include "host/failure.h"

namespace oq {

namespace {
MainFormFactory& ThreadFactory() {
  thread_local MainFormFactory factory;
  return factory;
}
}  // namespace

void SetMainFormFactory(MainFormFactory factory) { ThreadFactory() = std::move(factory); }

std::shared_ptr<ModalForm> CreateMainForm() {
  const MainFormFactory& factory = ThreadFactory();
  if (!factory) {
    throw Failure(err::kCannotCreateObject,
                  "ActiveX component can't create object: no forms user interface is installed "
                  "for frmMAIN on this thread");
  }
  std::shared_ptr<ModalForm> form = factory();
  if (!form) throw err::runtime(err::kCannotCreateObject);
  return form;
}

}  // namespace oq
