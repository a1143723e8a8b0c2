#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace oq::demo {

// One line item of a demo interno; the columns not named here get fixed plausible values.
struct Item {
  std::string_view ncm;
  std::string_view description;
  std::string_view articulo;
  std::optional<double> cantidad;
  double precio = 0;
  std::optional<double> kgNeto;
  std::optional<double> kgBruto;
  std::optional<std::string_view> sbtrei;
  std::string_view lapi = "N";  // the item's own column, which the licence filters ignore
  std::optional<double> fob;    // when set, the FOB written instead of cantidad x precio
};

// The item's FOB: `fob` when set, otherwise cantidad x precio rounded to cents.
double ItemFob(const Item& item);
// The parenthesised value list of the item's subitems row for interno `numero`, in the column
// order of layout::kSubitems. Valid in every dialect of Dialect.
std::string ItemRow(std::string_view numero, const Item& item);

// The items of the demo internos (see DemoInternos for what each list shows).
std::vector<Item> MixedItems();         // 2024-0101: one item per DemoTariffCodes entry, mixed
std::vector<Item> SmallItems();         // 2024-0102
std::vector<Item> NoInvoiceItems();     // 2024-0104
std::vector<Item> NullQuantityItems();  // 2024-0105

}  // namespace oq::demo
