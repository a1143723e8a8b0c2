#include "connectors/common/literal_lifting.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <utility>

#include "connectors/common/sql_scan.h"

namespace oq::connectors {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The characters of which the engines make operators ("=", "<>", "||", "->>"...).
bool IsOperatorChar(char c) {
  return c != '\0' && std::string_view("+-*/<>=~!#%^&|").find(c) != std::string_view::npos;
}

// `keyword` in lower case; ASCII only, as SQL keywords are.
bool SameWord(std::string_view word, std::string_view keyword) {
  if (word.size() != keyword.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    const char c = word[i];
    if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != keyword[i]) return false;
  }
  return true;
}

bool AnyOf(std::string_view word, std::initializer_list<std::string_view> keywords) {
  for (const std::string_view keyword : keywords) {
    if (SameWord(word, keyword)) return true;
  }
  return false;
}

// The type an integer literal of these digits has, or "" when it is not lifted.
std::string_view IntegerType(std::string_view digits, LiftingRules rules) {
  if (digits.size() > 18) return {};
  std::int64_t value = 0;
  std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (rules.engine == LiftingRules::Engine::kSqlite) return "integer";
  return value <= 2147483647 ? "int4" : "int8";
}

// Just past the number whose digits begin at `i` (digits, a fraction, an exponent), and whether
// it is a decimal.
std::size_t NumberEnd(std::string_view sql, std::size_t i, bool& decimal) {
  std::size_t end = i;
  decimal = false;
  while (end < sql.size() && IsDigit(sql[end])) ++end;
  if (end < sql.size() && sql[end] == '.') {
    decimal = true;
    for (++end; end < sql.size() && IsDigit(sql[end]);) ++end;
  }
  if (end + 1 < sql.size() && (sql[end] == 'e' || sql[end] == 'E')) {
    std::size_t exponent = end + 1;
    if (sql[exponent] == '+' || sql[exponent] == '-') ++exponent;
    if (exponent < sql.size() && IsDigit(sql[exponent])) {
      decimal = true;
      for (end = exponent; end < sql.size() && IsDigit(sql[end]);) ++end;
    }
  }
  return end;
}

// Just past the text literal that opens at `i`, or 0 when it does not close; `doubled` tells
// whether it holds a '' (one quote).
std::size_t TextEnd(std::string_view sql, std::size_t i, bool& doubled) {
  doubled = false;
  for (std::size_t j = sql.find('\'', i + 1); j != std::string_view::npos;
       j = sql.find('\'', j + 2)) {
    if (j + 1 >= sql.size() || sql[j + 1] != '\'') return j + 1;
    doubled = true;
  }
  return 0;
}

// The value of the text literal sql[begin, end) (quotes included) put in `value`, whose buffer is
// reused: a connection lifts thousands of statements into the same literals.
void AssignTextValue(std::string& value, std::string_view sql, std::size_t begin, std::size_t end,
                     bool doubled) {
  value.assign(sql.substr(begin + 1, end - begin - 2));
  if (doubled) {
    std::size_t kept = 0;
    for (std::size_t j = 0; j < value.size(); ++j, ++kept) {
      value[kept] = value[j];
      if (value[j] == '\'') ++j;
    }
    value.resize(kept);
  }
}

// The value of the text literal sql[begin, end).
std::string TextValue(std::string_view sql, std::size_t begin, std::size_t end, bool doubled) {
  std::string value;
  AssignTextValue(value, sql, begin, end, doubled);
  return value;
}

// One level of parentheses (the statement's own level first).
struct Level {
  bool resultColumns = false;  // a SELECT's result columns are being read
  bool keep = false;           // nothing here is lifted: ORDER BY positions, a type's size...
};

class Lifter {
 public:
  Lifter(std::string_view sql, LiftingRules rules) : sql_(sql), rules_(rules) {
    shape_.reserve(sql.size() + 16);
    literals_.reserve(40);  // an item's insert has 33 values
  }

  std::optional<LiftedStatement> Run() {
    std::size_t i = 0;
    while (i < sql_.size()) {
      const char c = sql_[i];
      if (IsBlank(c)) {
        ++i;
        continue;
      }
      if (StartsComment(i)) {
        i = SkipToken(sql_, i, QuotedNames::kDoubleQuotes);  // a comment changes nothing
        continue;
      }
      // The names right after AS or :: may be a type, whose size (varchar(10)) is its own.
      const int typeWords = std::exchange(typeWords_, -1);
      bool ok = true;
      if (c == '\'') {
        ok = Text(i);
      } else if (IsDigit(c) || (c == '.' && i + 1 < sql_.size() && IsDigit(sql_[i + 1]))) {
        ok = Number(i, i);
      } else if (c == '-' && before_ == Before::kLiftable && SignedNumberAt(i)) {
        ok = Number(i, NextSignificant(i + 1));
      } else if (c == '$') {
        ok = false;  // a parameter, or a dollar-quoted text: not to be mixed with ours
      } else if (IsNameChar(c) || c == '"' || (Sqlite() && (c == '[' || c == '`'))) {
        ok = Name(i, typeWords);
      } else {
        ok = Punctuation(i, typeWords == 1 || typeWords == 2);
      }
      if (!ok || !statementKindKnown_) return std::nullopt;
    }
    if (literals_.empty()) return std::nullopt;
    shape_.append(sql_.substr(copied_));
    return LiftedStatement{std::move(shape_), std::move(literals_), std::move(spans_)};
  }

 private:
  // What came before a literal, as far as lifting it is concerned.
  enum class Before {
    kLiftable,  // "(", "," or a comparison: a parameter there means what the literal means
    kOther,
  };

  bool Sqlite() const { return rules_.engine == LiftingRules::Engine::kSqlite; }

  bool StartsComment(std::size_t i) const {
    const std::string_view two = sql_.substr(i, 2);
    return two == "--" || two == "/*";
  }

  std::size_t NextSignificant(std::size_t i) const {
    while (i < sql_.size()) {
      if (IsBlank(sql_[i])) {
        ++i;
      } else if (StartsComment(i)) {
        i = SkipToken(sql_, i, QuotedNames::kDoubleQuotes);
      } else {
        break;
      }
    }
    return i;
  }

  bool SignedNumberAt(std::size_t minus) const {
    if (StartsComment(minus)) return false;
    if (minus + 1 < sql_.size() && IsOperatorChar(sql_[minus + 1])) return false;
    const std::size_t i = NextSignificant(minus + 1);
    if (i >= sql_.size()) return false;
    return IsDigit(sql_[i]) || (sql_[i] == '.' && i + 1 < sql_.size() && IsDigit(sql_[i + 1]));
  }

  bool Liftable() const {
    if (before_ != Before::kLiftable) return false;
    for (const Level& level : levels_) {
      if (level.resultColumns || level.keep) return false;
    }
    return true;
  }

  // Replaces sql_[from, to) by the engine's next parameter, `cast` (if any) applied as the
  // engine writes it.
  void Lift(std::size_t from, std::size_t to, LiftedLiteral literal, std::string_view cast) {
    shape_.append(sql_.substr(copied_, from - copied_));
    if (Sqlite()) {
      if (cast.empty()) {
        shape_.push_back('?');
      } else {
        shape_.append("CAST(? AS ").append(cast).push_back(')');
      }
    } else {
      shape_.push_back('$');
      shape_.append(std::to_string(literals_.size() + 1));
      if (!cast.empty()) shape_.append("::").append(cast);
    }
    copied_ = to;
    literals_.push_back(std::move(literal));
    spans_.emplace_back(from, to);
  }

  bool Text(std::size_t& i) {
    bool doubled = false;
    const std::size_t end = TextEnd(sql_, i, doubled);
    // Unterminated, prefixed (E'..', X'..', U&'..') or glued to a name: kept as written.
    if (end == 0) return false;
    if (i > 0 && (IsNameChar(sql_[i - 1]) || sql_[i - 1] == '&')) return false;
    if (end < sql_.size() && IsNameChar(sql_[end])) return false;
    // Two texts in a row may be one to the engine.
    if (const std::size_t next = NextSignificant(end); next < sql_.size() && sql_[next] == '\'') {
      return false;
    }
    if (Liftable()) {
      Lift(i, end, {LiftedLiteral::Kind::kText, TextValue(sql_, i, end, doubled)}, {});
    }
    before_ = Before::kOther;
    i = end;
    return true;
  }

  // A number whose sign (if any) is at `start` and whose digits begin at `digits`.
  bool Number(std::size_t& start, std::size_t digits) {
    if (sql_.substr(digits, 2) == "0x" || sql_.substr(digits, 2) == "0X") return false;
    bool decimal = false;
    const std::size_t end = NumberEnd(sql_, digits, decimal);
    if (end < sql_.size() && (IsNameChar(sql_[end]) || sql_[end] == '.')) return false;
    const std::string_view number = sql_.substr(digits, end - digits);
    // SQLite reads a decimal literal with its own conversion, which only CAST(text AS REAL)
    // repeats; a comparison would see the cast's REAL affinity, a value of VALUES does not.
    std::string_view cast;
    if (decimal) {
      const bool inValues = insert_ && values_ && levels_.size() == 2;
      cast = Sqlite() ? (inValues ? "REAL" : "") : "numeric";
    } else {
      cast = IntegerType(number, rules_);
    }
    if (Liftable() && !cast.empty()) {
      std::string value = start != digits ? "-" : "";
      value.append(number);
      const bool bindAsInteger = !decimal && Sqlite();
      Lift(start, end,
           {decimal ? LiftedLiteral::Kind::kDecimal : LiftedLiteral::Kind::kInteger,
            std::move(value)},
           bindAsInteger ? std::string_view() : cast);
    }
    before_ = Before::kOther;
    start = end;
    return true;
  }

  bool Name(std::size_t& i, int typeWords) {
    std::size_t end = i;
    if (IsNameChar(sql_[i])) {
      while (end < sql_.size() && IsNameChar(sql_[end])) ++end;
      Word(sql_.substr(i, end - i));
    } else {
      end = SkipToken(sql_, i, QuotedNames::kAllForms);
      ++words_;
    }
    // A type's name may be two words (character varying) before its size.
    if (typeWords >= 0) typeWords_ = typeWords + 1;
    if (SameWord(sql_.substr(i, end - i), "as")) typeWords_ = 0;
    before_ = Before::kOther;
    i = end;
    return true;
  }

  void Word(std::string_view word) {
    if (words_++ == 0) {
      insert_ = AnyOf(word, {"insert", "replace"});
      statementKindKnown_ = insert_ || AnyOf(word, {"select", "update", "delete", "with"});
    }
    Level& level = levels_.back();
    if (SameWord(word, "select")) {
      level.resultColumns = true;
    } else if (AnyOf(word, {"from", "where", "having", "union", "except", "intersect", "window"})) {
      level.resultColumns = false;
    } else if (AnyOf(word, {"order", "group", "limit", "offset", "partition", "returning"})) {
      // Positions (ORDER BY 2) and counts stay as written, and so does what follows them here.
      level.resultColumns = false;
      level.keep = true;
    } else if (SameWord(word, "values") && levels_.size() == 1) {
      values_ = true;
    }
  }

  bool Punctuation(std::size_t& i, bool typeSize) {
    const char c = sql_[i];
    if (c == '\0' || c == ';' || c == '?' || c == '@' || c == '$' || c == '`' || c == '[') {
      return false;
    }
    if (c == ':') {
      if (Sqlite() || sql_.substr(i, 2) != "::") return false;
      typeWords_ = 0;  // PostgreSQL's cast
      before_ = Before::kOther;
      i += 2;
      return true;
    }
    if (IsOperatorChar(c)) {
      std::size_t end = i;
      while (end < sql_.size() && IsOperatorChar(sql_[end]) && !StartsComment(end)) ++end;
      const std::string_view op = sql_.substr(i, end - i);
      const bool comparison = op == "=" || op == "==" || op == "<>" || op == "!=" || op == "<" ||
                              op == ">" || op == "<=" || op == ">=";
      before_ = comparison ? Before::kLiftable : Before::kOther;
      i = end;
      return true;
    }
    if (c == '(') {
      // The size of a type (varchar(10), numeric(10, 2)) is part of its name.
      levels_.push_back(Level{false, typeSize});
    } else if (c == ')' && levels_.size() > 1) {
      levels_.pop_back();
    }
    before_ = (c == '(' || c == ',') ? Before::kLiftable : Before::kOther;
    ++i;
    return true;
  }

  std::string_view sql_;
  LiftingRules rules_;
  std::string shape_;
  std::vector<LiftedLiteral> literals_;
  std::vector<std::pair<std::size_t, std::size_t>> spans_;
  std::size_t copied_ = 0;
  std::vector<Level> levels_{Level{}};
  Before before_ = Before::kOther;
  int typeWords_ = -1;  // names since AS or ::, -1 when something else came
  std::size_t words_ = 0;
  bool statementKindKnown_ = true;  // turned false by a first word other than a query or DML
  bool insert_ = false;
  bool values_ = false;
};

}  // namespace

std::optional<LiftedStatement> LiftLiterals(std::string_view sql, LiftingRules rules) {
  return Lifter(sql, rules).Run();
}

bool LiftLike(std::string_view sql, std::string_view likeText, const LiftedStatement& like,
              LiftingRules rules, std::vector<LiftedLiteral>& literals) {
  // Between the literals the texts are the same byte for byte, so every token and every decision
  // of the scan around each literal is the same; what is left to check is that each new literal
  // is one token of the form the old one had, ending just where the same text goes on.
  literals.resize(like.literals.size());
  std::size_t at = 0;    // in sql
  std::size_t from = 0;  // in likeText
  for (std::size_t k = 0; k < like.literals.size(); ++k) {
    const auto [begin, end] = like.spans[k];
    const std::string_view between = likeText.substr(from, begin - from);
    if (sql.substr(at, between.size()) != between) return false;
    at += between.size();
    from = end;
    if (at >= sql.size()) return false;
    const LiftedLiteral& old = like.literals[k];
    LiftedLiteral& literal = literals[k];
    literal.kind = old.kind;
    if (old.kind == LiftedLiteral::Kind::kText) {
      bool doubled = false;
      const std::size_t close = sql[at] == '\'' ? TextEnd(sql, at, doubled) : 0;
      if (close == 0) return false;
      AssignTextValue(literal.text, sql, at, close, doubled);
      at = close;
      continue;
    }
    // A signed number may have blanks or comments after its sign: left to the full scan.
    if (old.text.starts_with('-') || !IsDigit(sql[at])) return false;
    bool decimal = false;
    const std::size_t close = NumberEnd(sql, at, decimal);
    const std::string_view digits = sql.substr(at, close - at);
    if (decimal != (old.kind == LiftedLiteral::Kind::kDecimal)) return false;
    if (!decimal && IntegerType(digits, rules) != IntegerType(old.text, rules)) return false;
    literal.text.assign(digits);
    at = close;
  }
  return sql.substr(at) == likeText.substr(from);
}

std::optional<std::vector<LiftedLiteral>> LiftLike(std::string_view sql, std::string_view likeText,
                                                   const LiftedStatement& like,
                                                   LiftingRules rules) {
  std::vector<LiftedLiteral> literals;
  if (!LiftLike(sql, likeText, like, rules, literals)) return std::nullopt;
  return literals;
}

const std::string* Lifting::Lift(std::string_view sql, std::vector<LiftedLiteral>& literals) {
  for (auto it = recent_.begin(); it != recent_.end(); ++it) {
    if (LiftLike(sql, it->text, it->lifted, rules_, literals)) {
      std::rotate(recent_.begin(), it, it + 1);
      return &recent_.front().lifted.shape;
    }
  }
  std::optional<LiftedStatement> lifted = LiftLiterals(sql, rules_);
  if (!lifted) return nullptr;
  literals = lifted->literals;  // the kept one needs its own, to match the next statement
  if (recent_.size() == kRemembered) recent_.pop_back();
  recent_.insert(recent_.begin(), Remembered{std::string(sql), std::move(*lifted)});
  return &recent_.front().lifted.shape;
}

}  // namespace oq::connectors
