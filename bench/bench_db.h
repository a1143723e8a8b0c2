#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace oq::bench {

// The benchmark's databases: a database of internos holding one source interno of N items, and
// an NCM database holding the tariff nomenclature. Both are built once per N as templates; every
// measured repetition works on a fresh copy, so that each starts from the same rows.

inline constexpr const char* kSourceInterno = "BENCH-0001";
inline constexpr int kNcmRows = 20000;
// The date text handed to the session: an SQL value expression, as a host supplies it.
inline constexpr const char* kFechaActual = "'2024-06-03'";

// How the items' tariff positions are spread over the licence mark, in per cent. An item points
// at a random row of ncm, or (kMissingPercent) at a position that ncm does not hold.
inline constexpr int kMarkedPercent = 40;    // [059] = '*'
inline constexpr int kUnmarkedPercent = 55;  // [059] = ''
inline constexpr int kNullMarkPercent = 5;   // [059] is NULL: kept by neither variant
inline constexpr int kMissingPercent = 5;

// Creates the NCM database at `file` (replacing it): table ncm with kNcmRows rows, keyed on
// ([001], [002]). Deterministic. Throws std::runtime_error on a database error.
void BuildNcmDatabase(const std::filesystem::path& file);

// Creates the database of internos at `file` (replacing it): the tables caratula, facturas and
// subitems, and the interno kSourceInterno with its cover sheet, three invoices and `items`
// items whose tariff codes are drawn from the rows of the NCM database built above.
// Deterministic for a given `items`. Throws std::runtime_error on a database error.
void BuildInternosDatabase(const std::filesystem::path& file, int items);

// Copies a template database to `target` (replacing it and any journal files left beside it),
// then flushes the file system and trims the heap, so that the measurement that follows starts
// from the same state as any other.
void FreshCopy(const std::filesystem::path& templateFile, const std::filesystem::path& target);

// Removes a database file and the journal files SQLite keeps beside it.
void RemoveDatabase(const std::filesystem::path& file);

}  // namespace oq::bench
