#include "dialog/frmMAIN_layout.h"

namespace oq::layout {

namespace {

FontSpec Bold() {
  FontSpec font = FormFont();
  font.bold = true;
  return font;
}

FontSpec CourierNew() {
  FontSpec font = FormFont();
  font.family = "Courier New";
  return font;
}

ControlLayout Make(const char* name, ControlKind kind, int left, int top, int width, int height,
                   int tab, const char* text, FontSpec font) {
  ControlLayout c;
  c.name = name;
  c.kind = kind;
  c.left = left;
  c.top = top;
  c.width = width;
  c.height = height;
  c.tabIndex = tab;
  c.text = text;
  c.font = std::move(font);
  return c;
}

ControlLayout Option(const char* name, int left, int top, int width, int height, int tab,
                     const char* caption, bool selected) {
  ControlLayout c =
      Make(name, ControlKind::kOptionButton, left, top, width, height, tab, caption, FormFont());
  c.back = kPaleYellow;
  c.selected = selected;
  return c;
}

ControlLayout Box(const char* name, int left, int top, int width, int height, int tab,
                  const char* text, FontSpec font, int maxLength) {
  ControlLayout c =
      Make(name, ControlKind::kTextBox, left, top, width, height, tab, text, std::move(font));
  c.back = Colour::WindowBackground();
  c.fore = Colour::WindowText();
  c.maxLength = maxLength;
  return c;
}

ControlLayout Caption(const char* name, int left, int top, int width, int height, int tab,
                      const char* caption, FontSpec font, Alignment alignment) {
  ControlLayout c =
      Make(name, ControlKind::kLabel, left, top, width, height, tab, caption, std::move(font));
  c.alignment = alignment;
  return c;
}

ControlLayout Rectangle(const char* name, int left, int top, int width, int height, Colour fill) {
  ControlLayout c = Make(name, ControlKind::kShape, left, top, width, height, -1, "", FormFont());
  c.back = fill;
  return c;
}

std::vector<ControlLayout> Build() {
  const FontSpec normal = FormFont();
  std::vector<ControlLayout> controls;
  controls.push_back(Option("opSinLAPI", 1290, 2610, 2175, 225, 12, "artículos sin LAPI", false));
  controls.push_back(Option("opLAPI", 1290, 2340, 2235, 255, 11, "artículos con LAPI", false));
  controls.push_back(Option("opTodos", 1290, 2070, 2145, 255, 10, "todos los artículos", true));
  controls.push_back(Box("Text1", 1890, 960, 2625, 270, 5, "", CourierNew(), 40));
  controls.push_back(Box("txtCopias", 2160, 1350, 435, 285, 4, "1", normal, 1));
  ControlLayout log = Box("txtLOG", 660, 3030, 3855, 1035, 3, "", normal, 0);
  log.multiLine = true;
  log.verticalScrollBar = true;
  controls.push_back(log);
  ControlLayout version = Caption("version", 3750, 90, 1575, 195, 13, "", Bold(), Alignment::kLeft);
  version.back = Colour::Of(255, 255, 255);
  version.fore = Colour::Of(0, 0, 255);
  controls.push_back(version);
  controls.push_back(
      Caption("Label6", 840, 1830, 2925, 255, 9, "copiar ....", Bold(), Alignment::kLeft));
  controls.push_back(Rectangle("Shape", 690, 1770, 3855, 1185, kPaleYellow));
  controls.push_back(
      Caption("Label3", 540, 990, 1215, 195, 8, "Nuevo Interno", normal, Alignment::kRight));
  ControlLayout hint = Caption("Label4", 690, 4260, 3855, 255, 7, "F11 [Grabar] - ESC [Cerrar]",
                               Bold(), Alignment::kCentre);
  hint.back = Colour::Of(192, 192, 192);
  hint.fore = Colour::WindowText();
  controls.push_back(hint);
  controls.push_back(
      Caption("Label5", 570, 1380, 1515, 195, 6, "Cantidad de Copias", normal, Alignment::kRight));
  controls.push_back(Make("Image1", ControlKind::kImage, 135, 120, 720, 720, -1, "", normal));
  ControlLayout interno =
      Caption("lbInterno", 2685, 360, 2475, 210, 2, "", normal, Alignment::kLeft);
  interno.fore = Colour::Of(9, 31, 183);
  controls.push_back(interno);
  controls.push_back(
      Caption("Label2", 885, 360, 1755, 255, 1, "Número de Interno:", Bold(), Alignment::kRight));
  controls.push_back(Caption("Label1", 990, 105, 2955, 180, 0, "COPIAR CARPETAS/INTERNOS", Bold(),
                             Alignment::kLeft));
  controls.push_back(Rectangle("Shape1", -30, -15, 5280, 645, Colour::Of(255, 255, 255)));
  return controls;
}

}  // namespace

FontSpec FormFont() { return FontSpec{}; }

const std::vector<ControlLayout>& frmMAINControls() {
  static const std::vector<ControlLayout> controls = Build();
  return controls;
}

}  // namespace oq::layout
