#include "demo/demo_ncm.h"

#include <array>
#include <random>
#include <set>
#include <string>
#include <utility>

#include "demo/demo_schema.h"
#include "demo/demo_sql.h"

namespace oq::demo {

namespace {

struct Chapter {
  int number;
  std::string_view description;
  bool licences;  // chapters whose positions often carry the licence mark
};

constexpr std::array<Chapter, 32> kChapters = {{
    {2, "Carne y despojos comestibles", false},
    {4, "Leche y productos lácteos", false},
    {8, "Frutas y frutos comestibles", false},
    {15, "Grasas y aceites animales o vegetales", false},
    {22, "Bebidas, líquidos alcohólicos y vinagre", false},
    {27, "Combustibles minerales, aceites minerales", false},
    {28, "Productos químicos inorgánicos", false},
    {29, "Productos químicos orgánicos", false},
    {30, "Productos farmacéuticos", false},
    {33, "Aceites esenciales y preparaciones de perfumería", false},
    {39, "Plástico y sus manufacturas", false},
    {40, "Caucho y sus manufacturas", true},
    {42, "Manufacturas de cuero; artículos de viaje", true},
    {48, "Papel y cartón; manufacturas de pasta de celulosa", false},
    {52, "Algodón", true},
    {54, "Filamentos sintéticos o artificiales", true},
    {61, "Prendas y complementos de vestir, de punto", true},
    {62, "Prendas y complementos de vestir, excepto los de punto", true},
    {63, "Los demás artículos textiles confeccionados", true},
    {64, "Calzado, polainas y artículos análogos", true},
    {69, "Productos cerámicos", true},
    {70, "Vidrio y sus manufacturas", false},
    {72, "Fundición, hierro y acero", false},
    {73, "Manufacturas de fundición, hierro o acero", false},
    {76, "Aluminio y sus manufacturas", false},
    {82, "Herramientas y útiles de metal común", true},
    {84, "Reactores nucleares, calderas, máquinas y aparatos mecánicos", true},
    {85, "Máquinas, aparatos y material eléctrico", true},
    {87, "Vehículos automóviles, tractores y sus partes", true},
    {90, "Instrumentos y aparatos de óptica, medida y control", false},
    {94, "Muebles; mobiliario medicoquirúrgico; aparatos de alumbrado", true},
    {95, "Juguetes, juegos y artículos para recreo o deporte", true},
}};

constexpr std::array<std::string_view, 8> kClosings = {"Los demás",
                                                       "Partes",
                                                       "Con dispositivo de control",
                                                       "De uso doméstico",
                                                       "Presentados en juegos",
                                                       "Sin montar",
                                                       "De peso inferior o igual a 10 kg",
                                                       "Para uso industrial"};
constexpr std::array<std::string_view, 4> kUnits = {"01", "07", "02", "10"};  // kg, u, m, m2
constexpr std::array<double, 8> kImportDuties = {0, 2, 8, 10.8, 12.6, 14, 18, 35};
constexpr std::array<double, 4> kExportDuties = {0, 3, 4.5, 5};
constexpr std::array<std::string_view, 6> kSuffixes = {"000", "100", "200", "900", "110", "190"};

std::string TwoDigits(int value) {
  return std::string(1, static_cast<char>('0' + value / 10)) + static_cast<char>('0' + value % 10);
}

std::string Row(std::string_view position, std::string_view suffix, std::string_view description,
                std::string_view unit, double importDuty, double exportDuty,
                std::optional<std::string_view> mark) {
  return "(" + TextLiteral(position) + ", " + TextLiteral(suffix) + ", " +
         TextLiteral(description) + ", " + TextLiteral(unit) + ", " + NumberLiteral(importDuty, 2) +
         ", " + NumberLiteral(exportDuty, 2) + ", " + TextLiteral(mark) + ")";
}

std::optional<std::string_view> MarkText(Mark mark) {
  if (mark == Mark::kLicence) return "*";
  if (mark == Mark::kEmpty) return "";
  return std::nullopt;
}

}  // namespace

const std::vector<TariffCode>& DemoTariffCodes() {
  static const std::vector<TariffCode> codes = {
      {"8471.30.12.100W", Mark::kLicence, "Computadoras portátiles de peso inferior a 3,5 kg"},
      {"8471.41.90.000", Mark::kLicence, "Máquinas automáticas para procesamiento de datos"},
      {"8517.13.00.000K", Mark::kLicence, "Teléfonos inteligentes"},
      {"8528.72.00.200", Mark::kLicence, "Televisores en colores LED"},
      {"6403.99.90.000", Mark::kLicence, "Calzado con suela de caucho y parte superior de cuero"},
      {"6109.10.00.000", Mark::kLicence, "Camisetas de punto de algodón"},
      {"9503.00.99.000", Mark::kLicence, "Juguetes, los demás"},
      {"8450.11.00.100", Mark::kLicence, "Lavarropas automáticos de capacidad hasta 10 kg"},
      {"8418.10.00.100", Mark::kLicence, "Combinaciones de refrigerador y congelador"},
      {"6204.62.00.000", Mark::kLicence, "Pantalones de algodón para mujeres"},
      {"8473.30.99.000", Mark::kEmpty, "Partes y accesorios de máquinas de la partida 84.71"},
      {"3926.90.90.000", Mark::kEmpty, "Las demás manufacturas de plástico"},
      {"8504.40.90.000C", Mark::kEmpty, "Convertidores estáticos, los demás"},
      {"7318.15.00.000", Mark::kEmpty, "Tornillos y pernos de hierro o acero"},
      {"8544.42.00.900", Mark::kEmpty, "Conductores eléctricos con piezas de conexión"},
      {"4819.10.00.000", Mark::kEmpty, "Cajas de papel o cartón corrugado"},
      {"9031.80.99.000", Mark::kEmpty, "Instrumentos de medida o control, los demás"},
      {"8481.80.99.000", Mark::kEmpty, "Válvulas y artículos similares, los demás"},
      {"3004.90.99.000", Mark::kNull, "Medicamentos dosificados, los demás"},
      {"8708.99.90.000", Mark::kNull, "Partes y accesorios de vehículos, los demás"},
      {"9018.90.99.000", Mark::kNull, "Instrumentos de medicina, los demás"},
      {"8471.30.12.999", Mark::kAbsent, "Computadoras portátiles (sufijo inexistente)"},
      {"8523.51.10.900", Mark::kAbsent, "Memorias de estado sólido"},
      {"4202.92.00.555", Mark::kAbsent, "Bolsos de viaje"},
      {"9405.40.90.777", Mark::kAbsent, "Luminarias eléctricas, las demás"},
  };
  return codes;
}

void FillNcmDemo(HostConnection& connection, Dialect dialect) {
  std::vector<std::string> rows;
  rows.reserve(kNcmDemoRows);
  std::set<std::pair<std::string, std::string>> taken;
  for (const TariffCode& code : DemoTariffCodes()) {
    const std::string position(code.code.substr(0, 10));
    const std::string suffix(code.code.substr(11, 3));
    taken.emplace(position, suffix);  // absent codes are reserved too, so nothing fills them
    if (code.mark == Mark::kAbsent) continue;
    rows.push_back(Row(position, suffix, code.description, "07", 16, 0, MarkText(code.mark)));
  }

  // A fixed seed gives the same nomenclature every time, so a demo run can be repeated.
  std::mt19937 random(20240101u);
  auto pick = [&random](std::size_t count) { return static_cast<std::size_t>(random() % count); };
  while (rows.size() < kNcmDemoRows) {
    // One draw per statement: the order of evaluation inside an expression is unspecified, and
    // the rows must not depend on the compiler.
    const Chapter& chapter = kChapters[pick(kChapters.size())];
    const int heading = 1 + static_cast<int>(pick(20));
    const int subheading = 10 * (1 + static_cast<int>(pick(9)));
    const bool others = pick(4) == 0;
    const int item = others ? 90 + static_cast<int>(pick(10)) : 10 * static_cast<int>(pick(10));
    const std::string position = TwoDigits(chapter.number) + TwoDigits(heading) + "." +
                                 TwoDigits(subheading) + "." + TwoDigits(item);
    const std::string suffix(kSuffixes[pick(kSuffixes.size())]);
    if (!taken.emplace(position, suffix).second) continue;
    Mark mark = Mark::kEmpty;
    const std::size_t roll = pick(100);
    if (roll < 2) {
      mark = Mark::kNull;
    } else if (chapter.licences && roll < 40) {
      mark = Mark::kLicence;
    }
    const std::string_view closing = kClosings[pick(kClosings.size())];
    const std::string_view unit = kUnits[pick(kUnits.size())];
    const double importDuty = kImportDuties[pick(kImportDuties.size())];
    const double exportDuty = kExportDuties[pick(kExportDuties.size())];
    const std::string description = std::string(chapter.description) + " - " + std::string(closing);
    rows.push_back(
        Row(position, suffix, description, unit, importDuty, exportDuty, MarkText(mark)));
  }

  std::string columns;
  for (std::string_view name : {"001", "002", "003", "004", "005", "006", "059"}) {
    if (!columns.empty()) columns += ", ";
    columns += QuotedName(name, dialect);
  }
  InsertRows(connection, dialect, "ncm", columns, rows);
}

}  // namespace oq::demo
