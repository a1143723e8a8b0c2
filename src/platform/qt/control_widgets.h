#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>
#include <string>

#include "dialog/controls.h"

namespace oq::qt {

// Pixels for a length in twips at the form's 15 twips to the pixel.
int Pixels(int twips);

// The colour the user's system gives a system colour, as the window shows it.
QColor ToQColor(const Colour& colour);

// Creates the widget that shows `control` in `parent` (which owns it), placed, coloured and with
// the font of the control's layout, showing its current state, named after the control. Labels,
// rectangles and the picture take neither focus nor mouse clicks.
QWidget* CreateControlWidget(const Control& control, QWidget* parent);

// Makes `widget` (made by CreateControlWidget for `control`) show the control's current state:
// text or caption, selection, enabled, typing limit. Emits no signal of the user's editing.
void ShowState(const Control& control, QWidget* widget);

// The picture of Image1, 48 x 48: a folder with a copied sheet.
QImage FormPicture();

// The log's line breaks as a text widget shows them ("\r\n" -> "\n") and back.
QString ToDisplayText(const std::string& text);
std::string FromDisplayText(const QString& text);

}  // namespace oq::qt
