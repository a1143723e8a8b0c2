#include "demo/demo_databases.h"

#include <initializer_list>
#include <string>

#include "demo/demo_data.h"
#include "demo/demo_mark.h"
#include "demo/demo_ncm.h"
#include "demo/demo_schema.h"

namespace oq::demo {

namespace {
void DropTables(HostConnection& connection, std::initializer_list<const char*> tables) {
  for (const char* table : tables) {
    connection.put_sql(std::string("DROP TABLE IF EXISTS ") + table);
    connection.ejecutar();
  }
}
}  // namespace

void CreateDemoDatabases(HostConnection& internos, Dialect internosDialect, HostConnection& ncm,
                         Dialect ncmDialect, bool replace) {
  if (replace) {
    RefuseUnlessDemo(internos, "The database of internos", true);
    RefuseUnlessDemo(ncm, "The NCM database", false);
    DropTables(internos, {"caratula", "facturas", "subitems", kDemoMarkTable});
    DropTables(ncm, {"ncm", kDemoMarkTable});
  }
  CreateInternosSchema(internos, internosDialect);
  FillInternosDemo(internos, internosDialect);
  MarkAsDemo(internos);
  CreateNcmSchema(ncm, ncmDialect);
  FillNcmDemo(ncm, ncmDialect);
  MarkAsDemo(ncm);
}

}  // namespace oq::demo
