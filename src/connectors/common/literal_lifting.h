#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
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
  // Where each literal stood in the text it was lifted from: [first, second).
  std::vector<std::pair<std::size_t, std::size_t>> spans;
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

// The literals of `sql` when it is the text `like` was lifted from (`likeText`) with other values
// in the literals' places, each of the same form (a text for a text; an unsigned number of the
// same kind and type for a number): then LiftLiterals(sql) has `like`'s shape and these
// literals, found here without scanning `sql` anew. Nullopt otherwise. Never throws (other than
// std::bad_alloc).
std::optional<std::vector<LiftedLiteral>> LiftLike(std::string_view sql, std::string_view likeText,
                                                   const LiftedStatement& like, LiftingRules rules);
// The same, the literals put in `literals` (their buffers reused); false, with `literals` left
// unspecified, where the other gives nullopt.
bool LiftLike(std::string_view sql, std::string_view likeText, const LiftedStatement& like,
              LiftingRules rules, std::vector<LiftedLiteral>& literals);

// Lifts statement after statement for one connection: each is matched first against the last few
// lifted in full (LiftLike), which is what a copy sends thousands of times with other values. A
// copy takes turns between its statements (a lookup, an item insert, the next lookup), so one
// remembered statement would miss every time the kind changes.
class Lifting {
 public:
  explicit Lifting(LiftingRules rules) : rules_(rules) {}
  // The shape of `sql` (valid until the next call) with its literals put in `literals` (their
  // buffers reused), or null when `sql` keeps its text (`literals` then unspecified).
  const std::string* Lift(std::string_view sql, std::vector<LiftedLiteral>& literals);

 private:
  struct Remembered {
    std::string text;  // the text `lifted` came from
    LiftedStatement lifted;
  };
  static constexpr std::size_t kRemembered = 4;

  LiftingRules rules_;
  std::vector<Remembered> recent_;  // the last matched or lifted first
};

}  // namespace oq::connectors
