#include "demo/demo_items.h"

#include <array>
#include <cmath>

#include "demo/demo_ncm.h"
#include "demo/demo_sql.h"

namespace oq::demo {

double ItemFob(const Item& item) {
  if (item.fob) return *item.fob;
  return std::round(item.cantidad.value_or(0) * item.precio * 100) / 100;
}

std::string ItemRow(std::string_view numero, const Item& item) {
  const std::string cantidadText = NumberLiteral(item.cantidad);
  const std::array<std::string, 33> values = {
      TextLiteral(numero),
      TextLiteral("CAT-01"),
      TextLiteral(item.articulo),
      TextLiteral(item.ncm),
      TextLiteral("07"),
      cantidadText,
      NumberLiteral(item.precio),
      item.cantidad ? TextLiteral(cantidadText) : "NULL",  // Estadistica
      "1",                                                 // valorrelacionestadistica
      TextLiteral("218"),
      TextLiteral("NU"),
      TextLiteral(item.description),
      TextLiteral("N"),  // Biendeuso
      "NULL",            // codprorrateo
      "0",               // insumostemp
      "0",               // insumosacons
      TextLiteral("N"),  // cancelaciones
      "NULL",
      "NULL",
      "NULL",
      "NULL",  // cancCantidad .. deresp
      "0",     // valorderesp
      TextLiteral("AA(SIN MARCA) AB(SIN MODELO)"),
      TextLiteral(item.lapi),
      NumberLiteral(item.kgNeto, 3),
      NumberLiteral(item.kgBruto, 3),
      NumberLiteral(ItemFob(item), 2),
      TextLiteral(item.sbtrei),
      "NULL",  // ITFILLER
      "NULL",  // descripcion_maria
      TextLiteral("218"),
      "NULL",  // certorig
      "NULL",  // naladisa
  };
  std::string row = "(";
  for (const std::string& value : values) {
    if (row.size() > 1) row += ", ";
    row += value;
  }
  return row + ")";
}

namespace {
Item Line(const TariffCode& code, std::string_view articulo, std::optional<double> cantidad,
          double precio, std::optional<double> kgNeto, std::optional<double> kgBruto,
          std::optional<std::string_view> sbtrei, std::string_view lapi = "N") {
  Item item;
  item.ncm = code.code;
  item.description = code.description;
  item.articulo = articulo;
  item.cantidad = cantidad;
  item.precio = precio;
  item.kgNeto = kgNeto;
  item.kgBruto = kgBruto;
  item.sbtrei = sbtrei;
  item.lapi = lapi;
  return item;
}
}  // namespace

std::vector<Item> MixedItems() {
  // Interleaves the four mark groups of DemoTariffCodes (licence 0-9, empty 10-17, Null 18-20,
  // absent 21-24) so that every filter keeps items spread over the interno.
  static constexpr std::array<int, 25> kOrder = {0,  10, 18, 1,  21, 11, 2,  12, 19, 3,  22, 13, 4,
                                                 14, 5,  23, 15, 6,  20, 16, 7,  17, 24, 8,  9};
  static constexpr std::array<double, 6> kPrices = {412.5, 18.9, 1.35, 249.99, 7.2, 1030};
  static constexpr std::array<std::string_view, 25> kArticles = {
      "NB-14-I5",  "PT-USB-C", "MED-500",  "SRV-2U",  "SSD-1TB",  "CJA-PLST",  "TEL-A54",
      "FTE-65W",   "REP-FRN",  "TV-55-4K", "MEM-64",  "TRN-M8",   "ZAP-CU-42", "CBL-HDMI",
      "REM-ALG-M", "BLS-VJ",   "CAJ-CRT",  "JUG-BLQ", "INS-QUIR", "MUL-DIG",   "LAV-8KG",
      "VAL-ESF",   "LUM-LED",  "HEL-NF",   "PAN-JEAN"};
  const auto& codes = DemoTariffCodes();
  std::vector<Item> items;
  for (std::size_t i = 0; i < kOrder.size(); ++i) {
    const TariffCode& code = codes[static_cast<std::size_t>(kOrder[i])];
    Item item;
    item.ncm = code.code;
    item.description = code.description;
    item.articulo = kArticles[i];
    item.cantidad = static_cast<double>(1 + (i * 7) % 40);
    item.precio = kPrices[i % kPrices.size()];
    // Some items lack their weights or carry a non-numeric SBTREI, as hand-typed data does.
    if (i % 6 != 5) item.kgNeto = 0.75 * static_cast<double>(i + 1);
    if (i % 6 != 5) item.kgBruto = 0.8 * static_cast<double>(i + 1);
    item.sbtrei = (i % 7 == 3) ? std::optional<std::string_view>("s/d")
                               : std::optional<std::string_view>("0");
    item.lapi = code.mark == Mark::kLicence ? "S" : "N";
    items.push_back(item);
  }
  return items;
}

std::vector<Item> SmallItems() {
  const auto& codes = DemoTariffCodes();
  return {
      Line(codes[13], "TRN-M6", 1500, 0.045, 9.75, 10.2, "0"),
      Line(codes[14], "CBL-USB", 120.5, 1.8, 12.5, 13.1, "0"),
      Line(codes[1], "MINI-PC", 2.5, 389.9, 4.25, 5.0, "0,5", "S"),
      Line(codes[17], "VAL-1/2", 48, 6.35, std::nullopt, 21.4, ""),
  };
}

std::vector<Item> NoInvoiceItems() {
  const auto& codes = DemoTariffCodes();
  static constexpr std::array<std::size_t, 5> kCodes = {3, 11, 5, 19, 22};
  static constexpr std::array<std::string_view, 5> kArticles = {"TV-43-HD", "CJA-ORG", "REM-POLO",
                                                                "FIL-ACE", "SSD-512"};
  std::vector<Item> items;
  for (std::size_t n = 0; n < kCodes.size(); ++n) {
    const auto k = static_cast<double>(n);
    items.push_back(
        Line(codes[kCodes[n]], kArticles[n], 10 * (k + 1), 3.5 + k, 1 + k, 1.2 + k, "0"));
  }
  return items;
}

std::vector<Item> NullQuantityItems() {
  const auto& codes = DemoTariffCodes();
  Item second = Line(codes[6], "JUG-PEL", std::nullopt, 4.5, 3.0, 3.4, "0", "S");
  second.fob = 270;
  return {
      Line(codes[2], "TEL-A15", 20, 95, 3.6, 4.1, "0", "S"),
      second,
      Line(codes[9], "PAN-CARGO", 60, 11.25, 30, 32.5, "0", "S"),
  };
}

}  // namespace oq::demo
