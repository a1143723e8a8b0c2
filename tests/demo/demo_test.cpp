#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "connectors/sqlite/sqlite_connection.h"
#include "demo/demo_data.h"
#include "demo/demo_files.h"
#include "demo/demo_items.h"
#include "demo/demo_ncm.h"
#include "demo/demo_schema.h"
#include "engine/table_layouts.h"
#include "host/failure.h"
#include "host/recordset.h"
#include "temp_folder.h"

namespace oq::demo {
namespace {

std::shared_ptr<HostConnection> OpenSqlite(const std::filesystem::path& path) {
  return sqlite::SqliteConnection::Open(path.string(), {.createIfMissing = true});
}

// The column v of the first row of a query.
Variant Scalar(HostConnection& connection, const std::string& sql) {
  Variant recordset;
  connection.put_sql(sql);
  connection.crearrs(recordset);
  return dynamic_cast<Recordset&>(*recordset.asObject()).Fields("v").Value();
}

// Fails the k-th ejecutar (counting from 1) and passes everything else to the real connection.
class FailingConnection : public HostConnection {
 public:
  FailingConnection(std::shared_ptr<HostConnection> inner, int failAt)
      : inner_(std::move(inner)), failAt_(failAt) {}
  void put_sql(const std::string& text) override { inner_->put_sql(text); }
  Variant crearrs(Variant& recordset) override { return inner_->crearrs(recordset); }
  Variant ejecutar() override {
    if (++count_ == failAt_) throw Failure(-1, "disk on fire", "test");
    return inner_->ejecutar();
  }

 private:
  std::shared_ptr<HostConnection> inner_;
  int failAt_;
  int count_ = 0;
};

class DemoTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new test::TempFolder();  // one demo for the read-only checks of this suite
    files_ = CreateDemoFiles(folder_->path(), false, OpenSqlite);
    internos_ = sqlite::SqliteConnection::Open(files_.internos.string());
    internos_->put_sql("attach database '" + files_.ncm.string() + "' as n");
    internos_->ejecutar();
  }
  static void TearDownTestSuite() {
    internos_.reset();
    delete folder_;
  }

  static Variant Scalar(const std::string& sql) { return demo::Scalar(*internos_, sql); }

  static inline test::TempFolder* folder_ = nullptr;
  static inline DemoFiles files_;
  static inline std::shared_ptr<sqlite::SqliteConnection> internos_;
};

TEST_F(DemoTest, TablesHoldEveryColumnOfTheLayoutsInOrder) {
  auto columnsOf = [](const std::string& table) {
    Variant recordset;
    internos_->put_sql("select name from pragma_table_info('" + table + "') where name <> 'id'");
    internos_->crearrs(recordset);
    auto& rs = dynamic_cast<Recordset&>(*recordset.asObject());
    std::vector<std::string> names;
    for (; !rs.Eof(); rs.MoveNext()) names.push_back(rs.Fields("name").Value().asString());
    return names;
  };
  auto expected = [](const auto& layout) {
    return std::vector<std::string>(layout.begin(), layout.end());
  };
  EXPECT_EQ(columnsOf("caratula"), expected(layout::kCaratula));
  EXPECT_EQ(columnsOf("facturas"), expected(layout::kFacturas));
  EXPECT_EQ(columnsOf("subitems"), expected(layout::kSubitems));
  EXPECT_EQ(Scalar("select type as v from pragma_table_info('caratula') where name = 'fobdivisas'"),
            Variant::String("NUMERIC(18,2)"));
  EXPECT_EQ(Scalar("select type as v from pragma_table_info('caratula') where name = 'fecha'"),
            Variant::String("DATE"));
  EXPECT_EQ(Scalar("select count(*) as v from pragma_index_list('subitems')"), Variant::Long(1));
  EXPECT_EQ(Scalar("select group_concat(name) as v from n.pragma_index_info('ix_ncm_posicion')"),
            Variant::String("001,002"));
}

TEST_F(DemoTest, TheInternosShowWhatTheListSays) {
  // caratulas/facturas/items of each interno
  const std::pair<const char*, const char*> cases[] = {{"2024-0101", "1/3/25"},
                                                       {"2024-0102", "1/2/4"},
                                                       {"2024-0103", "1/2/0"},
                                                       {"2024-0104", "1/0/5"},
                                                       {"2024-0105", "1/1/3"}};
  for (const auto& [numero, counts] : cases) {
    const std::string where = " where interno = '" + std::string(numero) + "')";
    EXPECT_EQ(Scalar("select (select count(*) from caratula" + where +
                     " || '/' || (select count(*) from facturas" + where +
                     " || '/' || (select count(*) from subitems" + where + " as v"),
              Variant::String(counts));
  }
  EXPECT_EQ(DemoInternos().size(), 5u);
  // The cover sheet's FOB is the sum of its items'.
  EXPECT_EQ(Scalar("select count(*) as v from caratula c where abs(fobdivisas - coalesce((select "
                   "sum(fob) from subitems s where s.interno = c.interno), 0)) > 0.005"),
            Variant::Long(0));
  EXPECT_EQ(Scalar("select count(*) as v from subitems where interno = '2024-0105' and cantidad "
                   "is null"),
            Variant::Long(1));
}

TEST_F(DemoTest, TheMixedInternoHasEveryKindOfTariffMark) {
  const std::string join =
      "from subitems s left join n.ncm m on substr(s.ncm, 1, 10) = m.[001] and substr(s.ncm, "
      "12, 3) = m.[002] where s.interno = '2024-0101'";
  const std::pair<const char*, int> marks[] = {{"m.[059] = '*'", 10},
                                               {"m.[059] = ''", 8},
                                               {"m.[001] is not null and m.[059] is null", 3},
                                               {"m.[001] is null", 4}};
  for (const auto& [mark, count] : marks) {
    EXPECT_EQ(Scalar("select count(*) as v " + join + " and " + mark), Variant::Long(count))
        << mark;
  }
  EXPECT_EQ(Scalar("select count(*) as v from subitems where length(ncm) < 14 or substr(ncm, 11, "
                   "1) <> '.'"),
            Variant::Long(0));
}

TEST_F(DemoTest, TheNomenclatureHasThousandsOfDistinctPositions) {
  EXPECT_EQ(Scalar("select count(*) as v from n.ncm"),
            Variant::Long(static_cast<std::int32_t>(kNcmDemoRows)));
  EXPECT_EQ(Scalar("select count(*) as v from (select distinct [001], [002] from n.ncm)"),
            Variant::Long(static_cast<std::int32_t>(kNcmDemoRows)));
  EXPECT_EQ(Scalar("select count(*) as v from n.ncm where [001] not glob "
                   "'[0-9][0-9][0-9][0-9].[0-9][0-9].[0-9][0-9]' or length([002]) <> 3"),
            Variant::Long(0));
  EXPECT_GT(Scalar("select count(*) as v from n.ncm where [059] = '*'").toInt64(), 100);
}

TEST_F(DemoTest, ItemIdsFollowTheOrderOfTheItemList) {
  Variant recordset;
  internos_->put_sql("select IDARTICULO from subitems where interno = '2024-0101' order by id");
  internos_->crearrs(recordset);
  auto& rs = dynamic_cast<Recordset&>(*recordset.asObject());
  for (const Item& item : MixedItems()) {
    ASSERT_FALSE(rs.Eof());
    EXPECT_EQ(rs.Fields("idarticulo").Value(), Variant::String(std::string(item.articulo)));
    rs.MoveNext();
  }
  EXPECT_TRUE(rs.Eof());
}

TEST(DemoSchema, IdentificadorExternoAndIdAreFilledByTheDatabase) {
  test::TempFolder folder;
  auto db = OpenSqlite(folder.path() / "s.db");
  CreateInternosSchema(*db, Dialect::kSqlite);
  db->put_sql("insert into caratula (interno) values ('X')");
  db->ejecutar();
  db->put_sql(
      "insert into subitems (interno) values ('X'); insert into subitems (interno) values ('X')");
  db->ejecutar();
  EXPECT_EQ(Scalar(*db, "select identificador_externo as v from caratula"),
            Variant::String(std::string(kIdentificadorExternoDefault)));
  EXPECT_EQ(Scalar(*db, "select group_concat(id) as v from subitems"), Variant::String("1,2"));
}

TEST(DemoFilesTest, RefusesToOverwriteUnlessAsked) {
  test::TempFolder folder;
  const DemoFiles files = CreateDemoFiles(folder.path() / "new" / "sub", false, OpenSqlite);
  const auto size = std::filesystem::file_size(files.internos);
  auto marker = OpenSqlite(files.internos);
  marker->put_sql("create table marker (a)");
  marker->ejecutar();
  marker.reset();

  EXPECT_THROW(CreateDemoFiles(folder.path() / "new" / "sub", false, OpenSqlite),
               std::runtime_error);
  auto check = sqlite::SqliteConnection::Open(files.internos.string());
  Variant recordset;
  check->put_sql("select name from sqlite_master where name = 'marker'");
  EXPECT_TRUE(check->crearrs(recordset).isTrue());
  check.reset();

  CreateDemoFiles(folder.path() / "new" / "sub", true, OpenSqlite);
  check = sqlite::SqliteConnection::Open(files.internos.string());
  check->put_sql("select name from sqlite_master where name = 'marker'");
  EXPECT_FALSE(check->crearrs(recordset).isTrue());
  EXPECT_EQ(std::filesystem::file_size(files.internos), size);

  // A database the demo did not make is never replaced, even when asked.
  check->put_sql("drop table oquardelino_demo");
  check->ejecutar();
  check.reset();
  try {
    CreateDemoFiles(folder.path() / "new" / "sub", true, OpenSqlite);
    ADD_FAILURE() << "replaced a database the demo did not make";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("would destroy 5 cover sheets (caratula), 8 invoices "
                                         "(facturas), 37 items (subitems)"),
              std::string::npos)
        << e.what();
  }
  EXPECT_EQ(Scalar(*OpenSqlite(files.internos), "select count(*) as v from subitems").toDouble(),
            37);
}

TEST(DemoFilesTest, AFailureLeavesNoHalfWrittenDemo) {
  test::TempFolder folder;
  for (int failAt : {1, 4, 12}) {
    auto open = [failAt](const std::filesystem::path& path) -> std::shared_ptr<HostConnection> {
      return std::make_shared<FailingConnection>(OpenSqlite(path),
                                                 path.filename() == kNcmFileName ? failAt : 0);
    };
    EXPECT_THROW(CreateDemoFiles(folder.path(), false, open), Failure) << failAt;
    EXPECT_FALSE(std::filesystem::exists(folder.path() / kInternosFileName)) << failAt;
    EXPECT_FALSE(std::filesystem::exists(folder.path() / kNcmFileName)) << failAt;
  }
}

TEST(DemoFilesTest, TheSqliteShellReadsTheDemo) {
  if (std::system("command -v sqlite3 > /dev/null 2>&1") != 0) GTEST_SKIP() << "no sqlite3 shell";
  test::TempFolder folder;
  const DemoFiles files = CreateDemoFiles(folder.path(), false, OpenSqlite);
  const std::string command = "sqlite3 -readonly '" + files.internos.string() +
                              "' \"select count(*) from subitems; select interno from caratula "
                              "order by interno limit 1;\" 2>&1 && sqlite3 -readonly '" +
                              files.ncm.string() + "' \"select count(*) from ncm\" 2>&1";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  ASSERT_NE(pipe, nullptr);
  std::string output;
  std::array<char, 256> buffer{};
  while (fgets(buffer.data(), buffer.size(), pipe.get()) != nullptr) output += buffer.data();
  EXPECT_EQ(output, "37\n2024-0101\n" + std::to_string(kNcmDemoRows) + "\n");
}

}  // namespace
}  // namespace oq::demo
