#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "../host/test_support.h"
#include "host/host_connection.h"
#include "host/variant.h"
#include "test_backend.h"

namespace oq::test {

// Column values by column name, for inserting rows.
using RowValues = std::map<std::string, Variant>;

// The databases of one test on one backend (see BackendDatabases), in a temporary folder removed
// on destruction, with helpers that insert rows and read them back through the real connections.
class TestDatabase {
 public:
  explicit TestDatabase(std::shared_ptr<TestBackend> backend);
  ~TestDatabase();
  TestDatabase(const TestDatabase&) = delete;
  TestDatabase& operator=(const TestDatabase&) = delete;

  const std::filesystem::path& folder() const { return folder_.path(); }
  const std::shared_ptr<HostConnection>& internos() const { return databases_.internos; }
  const std::shared_ptr<HostConnection>& ncm() const { return databases_.ncm; }
  const std::string& internosUrl() const { return databases_.internosUrl; }
  const std::string& ncmUrl() const { return databases_.ncmUrl; }

  // A cover sheet with a value of its column's type in every copied column (`seed` varies them)
  // but Null in fobcoddivisas, ONCCACortes and DATOCOMPRADOR.
  static RowValues SampleCaratula(int seed);
  // An item with every copied column but interno filled (`seed` varies them).
  static RowValues SampleSubitem(int seed);

  // Inserts one row of `table` under `interno`; columns not named are left out of the insert.
  void Insert(const std::string& table, const std::string& interno, const RowValues& values);
  void InsertFactura(const std::string& interno, int orden, const std::string& factura);
  // An ncm row: position [001], suffix [002], licence mark [059] (a text, or Null).
  void InsertNcm(const std::string& position, const std::string& suffix, const Variant& mark);
  // A sample cover sheet, `invoices` invoices (orden 1..n, factura "F<seed>-<orden>") and `items`
  // sample items.
  void InsertInterno(const std::string& interno, int seed, int invoices, int items);
  // Gives the items of `interno` a tariff code marked "*" and doubles them `times` times: a
  // licence-filtered copy then keeps every one, one statement each.
  void MultiplyLicensedItems(const std::string& interno, int times);

  // The cover sheet of `interno` as the 87 copied columns in layout order, or nothing.
  std::optional<std::vector<Variant>> CaratulaRow(const std::string& interno) const;
  // The items of `interno` by ascending id: each the id, then the 33 copied columns.
  std::vector<std::vector<Variant>> SubitemRows(const std::string& interno) const;
  long Count(const std::string& table, const std::string& interno) const;
  // The rows of a query on the database of internos, each the values of `columns` in order.
  std::vector<std::vector<Variant>> Query(const std::string& sql,
                                          const std::vector<std::string>& columns) const;
  void Execute(const std::string& sql) const;

 private:
  std::shared_ptr<TestBackend> backend_;
  TempFolder folder_;
  BackendDatabases databases_;
};

// An SQL literal: NULL, a quoted text with its quotes doubled, or a number written with a point
// ('NaN' for NaN, 1e999 or -1e999 for an infinity).
std::string SqlLiteral(const Variant& value);
// Whether two values read from different backends or columns are the same: both Null, equal
// texts, or numbers (or texts that read as numbers) within a relative 1e-9, NaN as NaN.
bool SameValue(const Variant& a, const Variant& b);
// A value for failure messages: Null, Empty, 'text' or the number.
std::string Describe(const Variant& value);

}  // namespace oq::test
