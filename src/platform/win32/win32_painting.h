#pragma once

#include <windows.h>

#include <map>
#include <string>

#include "dialog/controls.h"
#include "dialog/frmMAIN.h"

namespace oq::win32 {

// Twips to pixels (15 twips to the pixel), rounded to the nearest, halves away from zero.
int Pixels(int twips);
// A control's place on the form in client pixels.
RECT PixelRect(const ControlLayout& layout);
// A layout colour as Windows draws it; system colours are read now, transparent reads as button
// text (callers do not fill a transparent background).
COLORREF ToColorRef(const Colour& colour);

// The fonts and brushes of one showing, made on first use and deleted with it.
class GdiObjects {
 public:
  GdiObjects() = default;
  GdiObjects(const GdiObjects&) = delete;
  GdiObjects& operator=(const GdiObjects&) = delete;
  ~GdiObjects();

  HFONT Font(const FontSpec& face);
  HBRUSH Brush(COLORREF colour);

 private:
  std::map<std::string, HFONT> fonts_;
  std::map<COLORREF, HBRUSH> brushes_;
};

// Paints the form's background and its painted controls (shapes, the picture, labels) into `dc`,
// back to front, over the client rectangle `client`. Text boxes and options are windows of their
// own and paint themselves.
void PaintForm(HDC dc, const RECT& client, frmMAIN& form, GdiObjects& gdi);

}  // namespace oq::win32
