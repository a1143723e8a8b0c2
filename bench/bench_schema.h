#pragma once

#include <cstddef>
#include <string>

namespace oq::bench {

// The tables the benchmark builds: the demo schema of the program, in SQLite's dialect (caratula,
// facturas and subitems indexed on interno; ncm indexed on ([001], [002])).

// Statements separated by ';'.
std::string InternosSchemaScript();
std::string NcmSchemaScript();

// A plausible literal for cover-sheet column `index` (of the engine's caratula list), by the
// column's declared kind: a number, a date or a short text.
std::string CoverSheetLiteral(std::size_t index);

}  // namespace oq::bench
