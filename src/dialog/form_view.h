#pragma once

#include "dialog/controls.h"

namespace oq {

class frmMAIN;

// The view port of frmMAIN: what draws the form and runs its modal loop. The Qt window is one; a
// headless view drives the form in tests. The form calls the view on the thread that shows it.
class FormView : public ControlObserver {
 public:
  // Shows the loaded `form` modally: builds the view's picture of every control, then runs the
  // modal loop until the form calls EndModal (its Unload). The form outlives the call. A failure
  // raised by an event procedure of the form while the loop runs ends the loop, unloads the form
  // and is rethrown from here.
  virtual void RunModal(frmMAIN& form) = 0;
  // Ends the modal loop that RunModal runs; the call itself returns at once. No-op outside it.
  virtual void EndModal() = 0;
  // ControlChanged (from ControlObserver): a control of the shown form changed; the view shows the
  // change, and repaints at once when a copy run is working.
};

}  // namespace oq
