#pragma once

#include <QFont>
#include <QString>

#include "dialog/controls.h"

namespace oq::qt {

// The installed family that stands for a family the layout names. The choice is explicit rather
// than left to the font matcher, so the window looks the same wherever the same fonts are
// installed:
//   Tahoma       -> Tahoma if installed; else the metric-compatible Tahoma that Debian's
//                   fonts-wine ships outside the font folders (loaded here from
//                   /usr/share/wine/fonts); else DejaVu Sans; else the system's general font.
//   Courier New  -> Courier New if installed; else Liberation Mono (same metrics,
//   fonts-liberation2);
//                   else DejaVu Sans Mono; else the system's fixed font.
//   other        -> itself if installed, else the system's general font.
// Needs a QGuiApplication. Not thread-safe: call from the GUI thread.
QString ResolvedFamily(const std::string& family);

// The font for `wanted`, sized in pixels at the form's 15 twips to the pixel (96 per inch), so that
// text fits the layout whatever the screen's own resolution.
QFont FontFor(const FontSpec& wanted);

}  // namespace oq::qt
