#pragma once

#include <vector>

#include "dialog/controls.h"

namespace oq::layout {

// The form frmMAIN as designed: its client area, its colours and font, and its controls.
inline constexpr int kClientWidth = 5220;   // twips
inline constexpr int kClientHeight = 4830;  // twips
inline constexpr int kTwipsPerPixel = 15;
inline constexpr Colour kFormBack = Colour::Of(224, 224, 224);
inline constexpr Colour kPaleYellow = Colour::Of(255, 254, 213);
FontSpec FormFont();  // Tahoma 8.25 pt regular, character set 0

// Every control of frmMAIN, front to back (a control is drawn over those after it).
const std::vector<ControlLayout>& frmMAINControls();

}  // namespace oq::layout
