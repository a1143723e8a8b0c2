#pragma once

#include <string>

namespace oq::app {

// Whether a window can be opened: a display is named (DISPLAY, WAYLAND_DISPLAY, or a Qt platform
// of its own that is not one of the invisible ones) and, for X11 and Wayland, its server answers
// on its socket. A display that is named but does not answer would otherwise end the program
// inside the toolkit. `why` says what is missing when the answer is false.
bool DisplayUsable(std::string& why);

}  // namespace oq::app
