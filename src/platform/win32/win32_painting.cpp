#include "platform/win32/win32_painting.h"

#include <cmath>
#include <vector>

#include "dialog/frmMAIN_layout.h"
#include "platform/win32/wide_text.h"

namespace oq::win32 {

namespace {

// Image1: a folder with a copied sheet, in 48 x 48 pixels.
void DrawPicture(HDC dc, const RECT& place) {
  const auto at = [&place](int x, int y) { return POINT{place.left + x, place.top + y}; };
  HPEN outline = ::CreatePen(PS_SOLID, 1, RGB(120, 84, 20));
  HGDIOBJ oldPen = ::SelectObject(dc, outline);
  HBRUSH back = ::CreateSolidBrush(RGB(230, 180, 60));
  HBRUSH sheet = ::CreateSolidBrush(RGB(255, 255, 255));
  HBRUSH front = ::CreateSolidBrush(RGB(250, 210, 90));
  const POINT folder[] = {at(4, 10), at(18, 10), at(22, 14), at(44, 14), at(44, 42), at(4, 42)};
  HGDIOBJ oldBrush = ::SelectObject(dc, back);
  ::Polygon(dc, folder, 6);
  ::SelectObject(dc, sheet);
  ::Rectangle(dc, place.left + 12, place.top + 6, place.left + 38, place.top + 34);
  const POINT cover[] = {at(4, 22), at(44, 22), at(44, 42), at(4, 42)};
  ::SelectObject(dc, front);
  ::Polygon(dc, cover, 4);
  ::SelectObject(dc, oldBrush);
  ::SelectObject(dc, oldPen);
  for (HGDIOBJ object : {static_cast<HGDIOBJ>(outline), static_cast<HGDIOBJ>(back),
                         static_cast<HGDIOBJ>(sheet), static_cast<HGDIOBJ>(front)}) {
    ::DeleteObject(object);
  }
}

}  // namespace

int Pixels(int twips) {
  const int half = layout::kTwipsPerPixel / 2;
  return twips >= 0 ? (twips + half) / layout::kTwipsPerPixel
                    : -((-twips + half) / layout::kTwipsPerPixel);
}

RECT PixelRect(const ControlLayout& layout) {
  const int left = Pixels(layout.left);
  const int top = Pixels(layout.top);
  return {left, top, left + Pixels(layout.width), top + Pixels(layout.height)};
}

COLORREF ToColorRef(const Colour& colour) {
  switch (colour.kind) {
    case Colour::Kind::kRgb:
      return RGB(colour.rgb.red, colour.rgb.green, colour.rgb.blue);
    case Colour::Kind::kWindowBackground:
      return ::GetSysColor(COLOR_WINDOW);
    case Colour::Kind::kWindowText:
      return ::GetSysColor(COLOR_WINDOWTEXT);
    case Colour::Kind::kButtonText:
    case Colour::Kind::kTransparent:
      break;
  }
  return ::GetSysColor(COLOR_BTNTEXT);
}

GdiObjects::~GdiObjects() {
  for (auto& [key, font] : fonts_) ::DeleteObject(font);
  for (auto& [colour, brush] : brushes_) ::DeleteObject(brush);
}

HFONT GdiObjects::Font(const FontSpec& face) {
  const std::string key = face.family + (face.bold ? "/bold" : "");
  if (auto found = fonts_.find(key); found != fonts_.end()) return found->second;
  const int pixels = static_cast<int>(std::lround(face.points * 96.0 / 72.0));
  HFONT font =
      ::CreateFontW(-pixels, 0, 0, 0, face.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                    static_cast<BYTE>(face.charset), OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                    DEFAULT_QUALITY, DEFAULT_PITCH, Wide(face.family).c_str());
  fonts_.emplace(key, font);
  return font;
}

HBRUSH GdiObjects::Brush(COLORREF colour) {
  if (auto found = brushes_.find(colour); found != brushes_.end()) return found->second;
  HBRUSH brush = ::CreateSolidBrush(colour);
  brushes_.emplace(colour, brush);
  return brush;
}

void PaintForm(HDC dc, const RECT& client, frmMAIN& form, GdiObjects& gdi) {
  ::FillRect(dc, &client, gdi.Brush(ToColorRef(layout::kFormBack)));
  ::SetBkMode(dc, TRANSPARENT);
  const std::vector<Control*> controls = form.Controls();
  // Back to front, so that each control lies over those behind it.
  for (auto it = controls.rbegin(); it != controls.rend(); ++it) {
    const Control& control = **it;
    const ControlLayout& layout = control.layout();
    RECT place = PixelRect(layout);
    if (control.kind() == ControlKind::kShape) {
      ::FillRect(dc, &place, gdi.Brush(ToColorRef(layout.back)));
    } else if (control.kind() == ControlKind::kImage) {
      DrawPicture(dc, place);
    } else if (control.kind() == ControlKind::kLabel) {
      if (layout.back.kind != Colour::Kind::kTransparent) {
        ::FillRect(dc, &place, gdi.Brush(ToColorRef(layout.back)));
      }
      const auto& label = static_cast<const Label&>(control);
      ::SetTextColor(dc, ToColorRef(layout.fore));
      HGDIOBJ old = ::SelectObject(dc, gdi.Font(layout.font));
      UINT format = DT_WORDBREAK | DT_NOPREFIX | DT_TOP;
      if (layout.alignment == Alignment::kRight) format |= DT_RIGHT;
      if (layout.alignment == Alignment::kCentre) format |= DT_CENTER;
      std::wstring caption = Wide(label.caption());
      ::DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &place, format);
      ::SelectObject(dc, old);
    }
  }
}

}  // namespace oq::win32
