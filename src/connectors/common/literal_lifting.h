#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace oq::connectors {

// A literal taken out of a statement's text; `text` is its value as the engine reads it: the
// characters between the quotes with '' made one quote, or the digits of a number.
struct LiftedLiteral {
  enum class Kind { kText, kInteger, kDecimal };
  Kind kind;
  std::string text;
};

// A statement with its literals replaced by parameters, in the order of `literals`. The shape of
// the statements a copy repeats item after item (a tariff lookup, an item's insert) is one text,
// so the engine parses and plans it once and binds each item's values.
struct LiftedStatement {
  std::string shape;
  std::vector<LiftedLiteral> literals;
};

// How an engine writes its parameters and which literals it can take as one with the same
// meaning.
struct LiftingRules {
  enum class Engine {
    // SQLite: "?"; quoted names "...", [...] and `...`. A decimal is lifted only as a value of an
    // INSERT's VALUES list, written CAST(? AS REAL): that is the literal's own conversion, and
    // there no comparison can see the cast's affinity.
    kSqlite,
    // PostgreSQL: "$1", "$2"...; quoted names "...". Standard strings only (standard_conforming_
    // strings on). Texts go as parameters of unknown type, numbers with the type the literal
    // would have (int4, int8, numeric).
    kPostgres,
  };
  Engine engine;
};

// The statement with its literals lifted, or nullopt when it keeps its text: when no literal can
// be lifted, or when the text holds anything whose meaning a parameter could change: a ';', a
// NUL byte, a parameter of its own ('?', ':', '@', '$'), a literal with a prefix (E'...',
// X'...'), a text literal followed by another one (which some engines join), a literal glued to a
// name.
//
// A literal is lifted only where a parameter means the same as the literal: right after "(",
// ",", "=", "<>", "!=", "<", ">", "<=" or ">=", and outside any SELECT's list of result columns
// (whose names and types a literal gives). Integers of up to 18 digits are lifted, longer ones
// kept. Never throws (other than std::bad_alloc).
std::optional<LiftedStatement> LiftLiterals(std::string_view sql, LiftingRules rules);

}  // namespace oq::connectors
