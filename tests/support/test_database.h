#pragma once

#include <cstddef>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/host_connection.h"
#include "host/variant.h"
#include "test_backend.h"

namespace oq::test {

// Column values by column name, for inserting rows.
using RowValues = std::map<std::string, Variant>;

// The databases of one test on one backend: a temporary folder, the database of internos and the
// NCM database with the demo schema, helpers to insert rows and to read them back. Rows go in and
// come out through the backend's real host connection. The folder is removed on destruction.
class TestDatabase {
 public:
  explicit TestDatabase(std::shared_ptr<TestBackend> backend);
  ~TestDatabase();
  TestDatabase(const TestDatabase&) = delete;
  TestDatabase& operator=(const TestDatabase&) = delete;

  const std::filesystem::path& folder() const { return folder_; }
  const std::shared_ptr<HostConnection>& internos() const { return databases_.internos; }
  const std::shared_ptr<HostConnection>& ncm() const { return databases_.ncm; }
  const std::string& internosUrl() const { return databases_.internosUrl; }
  const std::string& ncmUrl() const { return databases_.ncmUrl; }

  // A cover sheet with a value of its column's type in every copied column (`seed` varies them),
  // Null in fobcoddivisas, ONCCACortes and DATOCOMPRADOR, so copies can be told from sources.
  static RowValues SampleCaratula(int seed);
  // An item with every copied column but interno filled (`seed` varies them).
  static RowValues SampleSubitem(int seed);

  // Inserts one row; columns not named are left out of the insert. `interno` is set by the call.
  void InsertCaratula(const std::string& interno, const RowValues& values);
  void InsertFactura(const std::string& interno, int orden, const std::string& factura);
  void InsertSubitem(const std::string& interno, const RowValues& values);
  // An ncm row: position [001], suffix [002], licence mark [059] (a text, or Null).
  void InsertNcm(const std::string& position, const std::string& suffix, const Variant& mark);
  // A source interno with a sample cover sheet, `invoices` invoices (orden 1..n, factura
  // "F<seed>-<orden>") and `items` sample items.
  void InsertInterno(const std::string& interno, int seed, int invoices, int items);
  // Gives the items of `interno` a tariff code whose licence mark is "*" and doubles them `times`
  // times: a licence-filtered copy then keeps every one, one statement each.
  void MultiplyLicensedItems(const std::string& interno, int times);

  // The cover sheet of `interno` as the 87 copied columns in layout order, or nothing.
  std::optional<std::vector<Variant>> CaratulaRow(const std::string& interno) const;
  // The items of `interno` in ascending id: each the id followed by the 33 copied columns.
  std::vector<std::vector<Variant>> SubitemRows(const std::string& interno) const;
  // The invoices of `interno` as (orden, factura), by orden.
  std::vector<std::vector<Variant>> FacturaRows(const std::string& interno) const;
  // Rows of `table` whose interno is `interno`.
  long Count(const std::string& table, const std::string& interno) const;
  // Rows of any query on the database of internos, each the values of `columns` in that order.
  std::vector<std::vector<Variant>> Query(const std::string& sql,
                                          const std::vector<std::string>& columns) const;

  // Runs a statement on the database of internos.
  void Execute(const std::string& sql) const;

 private:
  std::shared_ptr<TestBackend> backend_;
  std::filesystem::path folder_;
  BackendDatabases databases_;
};

// An SQL literal for a value: NULL, a quoted text with its quotes doubled, or a number written
// with a point ('NaN' for NaN, 1e999 or -1e999 for an infinity).
std::string SqlLiteral(const Variant& value);

// Whether two values read from different backends or columns are the same: both Null, equal
// texts, or numbers (or texts that read as numbers) within a relative 1e-9.
bool SameValue(const Variant& a, const Variant& b);
// A value for failure messages: Null, Empty, 'text' or the number.
std::string Describe(const Variant& value);

}  // namespace oq::test
