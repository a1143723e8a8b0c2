#pragma once

#include <QImage>
#include <string>

#include "dialog/frmMAIN.h"

namespace oq::qt {

// The client area of the loaded `form` (348 x 322 pixels) as its window shows it right after
// start-up, with the focus in the form's active control. The window is shown, grabbed and closed;
// the form stays loaded. Needs a QApplication (the offscreen platform will do).
QImage GrabClientArea(frmMAIN& form);

// Writes GrabClientArea to a PNG file. Throws Failure 75 when the file cannot be written.
void SaveScreenshot(frmMAIN& form, const std::string& pngPath);

}  // namespace oq::qt
