#include "demo/demo_data.h"

#include <cmath>
#include <map>
#include <optional>
#include <string>

#include "demo/demo_items.h"
#include "demo/demo_ncm.h"
#include "demo/demo_sql.h"
#include "engine/table_layouts.h"

namespace oq::demo {

namespace {

struct CoverSheet {
  std::string_view numero;
  std::vector<std::string_view> invoices;
  std::string_view fecha;
  std::string_view identificador;
  std::string_view comprador;
  bool sparse = false;  // only the main columns filled, every other one Null
};

// The literals of one cover sheet, by column name; names not listed are Null.
std::map<std::string_view, std::string> CoverSheetValues(const CoverSheet& sheet,
                                                         const std::vector<Item>& items,
                                                         Dialect dialect) {
  double fob = 0;
  double kilos = 0;
  for (const Item& item : items) {
    fob += ItemFob(item);
    kilos += item.kgNeto.value_or(0);
  }
  std::map<std::string_view, std::string> v;
  v["interno"] = TextLiteral(sheet.numero);
  v["idsubreg"] = TextLiteral("IC04");
  v["idaduana"] = TextLiteral("001");
  v["cuitcliente"] = TextLiteral("30712345679");
  v["fobdivisas"] = NumberLiteral(fob, 2);
  v["fobcoddivisas"] = TextLiteral("DOL");
  v["fecha"] = DateLiteral(sheet.fecha, dialect);
  v["fechaalta"] = DateLiteral(sheet.fecha, dialect);
  v["identificador_externo"] = TextLiteral(sheet.identificador);
  if (sheet.sparse) return v;

  v["idaduanasal"] = TextLiteral("001");
  v["cuitdespaduana"] = TextLiteral("20234567891");
  v["idvendedor"] = TextLiteral("V001");
  v["fobdivcambio"] = NumberLiteral(870.5);
  v["fletedivisas"] = NumberLiteral(1250.0, 2);
  v["fletecoddivisas"] = TextLiteral("DOL");
  v["fletedivcambio"] = NumberLiteral(870.5);
  v["segurodivisas"] = NumberLiteral(std::round(fob * 0.5) / 100, 2);
  v["segurocoddivisas"] = TextLiteral("DOL");
  v["seguroporcentaje"] = NumberLiteral(0.5);
  v["segurodivcambio"] = NumberLiteral(870.5);
  for (std::string_view name : {"valoraprorratear", "ajusteincluir", "ajustededucir",
                                "gastos_anteriores_fob", "gastos_posteriores_fob"}) {
    v[name] = "0";
  }
  v["idcondiciondeventa"] = TextLiteral("FOB");
  v["idpaisdestino"] = TextLiteral("200");
  v["facilidadpago"] = TextLiteral("N");
  v["facturas"] = std::to_string(sheet.invoices.size());
  for (std::size_t i = 0; i < sheet.invoices.size() && i < 10; ++i) {
    v[layout::kCaratula[27 + i]] = TextLiteral(sheet.invoices[i]);  // factura1 ..
  }
  v["factorconver"] = "1";
  v["via"] = TextLiteral("1");
  v["cuittrans"] = TextLiteral("30500012345");
  v["trans"] = TextLiteral("MSC MARIANNA");
  v["bandera"] = TextLiteral("PAN");
  v["puertoemb"] = TextLiteral("CNSHA");
  v["MARCABUL"] = TextLiteral("S/M");
  v["BULNRO"] = TextLiteral("1/" + std::to_string(items.size() + 2));
  v["BULCOD"] = TextLiteral("PK");
  v["BULTIP"] = TextLiteral("Cajas");
  v["BULPES"] = NumberLiteral(kilos * 1.08, 3);
  v["BULDES"] = TextLiteral("Cajas de cartón sobre pallets");
  v["DCEstMerc"] = TextLiteral("NU");
  v["DCPaisOrigen"] = TextLiteral("218");
  v["DCPaisDestino"] = TextLiteral("200");
  v["DCKgNeto"] = NumberLiteral(kilos, 3);
  for (std::string_view flag :
       {"DCforzarEstMerc", "DCForzarPaisOrigen", "DCStandard", "DCRegalias", "DCComExt", "DCBancos",
        "ONCCAHabilitado", "DC_DJAI_ForzarDescripcionMercaderia"}) {
    v[flag] = TextLiteral("N");
  }
  v["fechaembarque"] = DateLiteral("2024-02-20", dialect);
  v["OpcionesIVa"] = TextLiteral("01");
  v["OpcionesGanancias"] = TextLiteral("01");
  v["DATOCOMPRADOR"] = TextLiteral(sheet.comprador);
  v["DJAI_FECHA_EMB_APROX"] = DateLiteral("2024-02-15", dialect);
  v["DJAI_FECHA_ARRIB_APROX"] = DateLiteral("2024-03-30", dialect);
  v["DC_DJAI_DescripcionMercaderia"] = TextLiteral("Mercadería según facturas adjuntas");
  return v;
}

std::string ColumnNames(const auto& names) {
  std::string list;
  for (std::string_view name : names) {
    if (!list.empty()) list += ", ";
    list += name;
  }
  return list;
}

void WriteInterno(HostConnection& connection, Dialect dialect, const CoverSheet& sheet,
                  const std::vector<Item>& items) {
  const auto values = CoverSheetValues(sheet, items, dialect);
  std::string row = "(";
  for (std::string_view column : layout::kCaratula) {
    if (row.size() > 1) row += ", ";
    const auto it = values.find(column);
    row += it == values.end() ? "NULL" : it->second;
  }
  InsertRows(connection, dialect, "caratula", ColumnNames(layout::kCaratula), {row + ")"});

  std::vector<std::string> invoiceRows;
  for (std::size_t i = 0; i < sheet.invoices.size(); ++i) {
    invoiceRows.push_back("(" + TextLiteral(sheet.numero) + ", " + std::to_string(i + 1) + ", " +
                          TextLiteral(sheet.invoices[i]) + ")");
  }
  if (!invoiceRows.empty()) {
    InsertRows(connection, dialect, "facturas", ColumnNames(layout::kFacturas), invoiceRows);
  }

  std::vector<std::string> itemRows;
  for (const Item& item : items) itemRows.push_back(ItemRow(sheet.numero, item));
  // One row per statement keeps the ids in the order of the list whatever the dialect.
  for (const std::string& itemRow : itemRows) {
    InsertRows(connection, dialect, "subitems", ColumnNames(layout::kSubitems), {itemRow});
  }
}

}  // namespace

const std::vector<DemoInterno>& DemoInternos() {
  static const std::vector<DemoInterno> internos = {
      {"2024-0101",
       "25 items: 10 whose position carries the licence mark \"*\", 8 with an empty mark, 3 with "
       "a Null mark and 4 whose position is not in ncm; 3 invoices. Try the three options."},
      {"2024-0102",
       "a small import: 4 items with decimal quantities, 2 invoices; a quick full copy"},
      {"2024-0103", "a cover sheet and 2 invoices but no items: a filtered copy finds nothing"},
      {"2024-0104",
       "5 items and no invoices; the cover sheet has only its main columns, the rest Null"},
      {"2024-0105",
       "3 licence-marked items, the second with no quantity (Null): the LAPI copy stops there "
       "with an error after copying the first"},
  };
  return internos;
}

void FillInternosDemo(HostConnection& connection, Dialect dialect) {
  WriteInterno(connection, dialect,
               {"2024-0101",
                {"A-0001-00004512", "A-0001-00004513", "E-0003-00000077"},
                "2024-03-04",
                "WEB-2024-000101",
                "Distribuidora del Plata S.A."},
               MixedItems());
  WriteInterno(connection, dialect,
               {"2024-0102",
                {"A-0002-00000981", "A-0002-00000982"},
                "2024-03-11",
                "WEB-2024-000102",
                "Ferretería Industrial Rosario S.R.L."},
               SmallItems());
  WriteInterno(connection, dialect,
               {"2024-0103",
                {"E-0005-00001200", "E-0005-00001201"},
                "2024-03-18",
                "WEB-2024-000103",
                "Importadora Patagónica S.A."},
               {});
  WriteInterno(connection, dialect,
               {"2024-0104", {}, "2024-03-25", "WEB-2024-000104", "", /*sparse=*/true},
               NoInvoiceItems());
  WriteInterno(
      connection, dialect,
      {"2024-0105", {"A-0007-00000031"}, "2024-04-02", "WEB-2024-000105", "Electro Cuyo S.A."},
      NullQuantityItems());
}

}  // namespace oq::demo
