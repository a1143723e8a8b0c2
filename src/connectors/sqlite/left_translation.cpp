#include "connectors/sqlite/left_translation.h"

#include <cctype>
#include <optional>
#include <vector>

namespace oq::sqlite {

namespace {

bool IsNameChar(char c) {
  const auto u = static_cast<unsigned char>(c);
  return std::isalnum(u) != 0 || c == '_' || c == '$' || u >= 0x80;
}

// The index just past the quoted token, comment or single character starting at `i`. Quoted
// tokens end at their closing quote (a doubled quote stays inside); an unterminated one runs to
// the end of the text.
std::size_t SkipToken(std::string_view sql, std::size_t i) {
  const char c = sql[i];
  auto closeAt = [&](char close) {
    std::size_t j = i + 1;
    while (j < sql.size()) {
      if (sql[j] == close) {
        // '' and "" inside their own kind of quotes are an escaped quote, not the end.
        if (close != ']' && j + 1 < sql.size() && sql[j + 1] == close) {
          j += 2;
          continue;
        }
        return j + 1;
      }
      ++j;
    }
    return sql.size();
  };
  switch (c) {
    case '\'':
      return closeAt('\'');
    case '"':
      return closeAt('"');
    case '`':
      return closeAt('`');
    case '[':
      return closeAt(']');
    case '-':
      if (i + 1 < sql.size() && sql[i + 1] == '-') {
        const std::size_t end = sql.find('\n', i);
        return end == std::string_view::npos ? sql.size() : end + 1;
      }
      return i + 1;
    case '/':
      if (i + 1 < sql.size() && sql[i + 1] == '*') {
        const std::size_t end = sql.find("*/", i + 2);
        return end == std::string_view::npos ? sql.size() : end + 2;
      }
      return i + 1;
    default:
      return i + 1;
  }
}

struct Call {
  std::string_view first;
  std::string_view second;
  std::size_t end;  // just past the closing parenthesis
};

// Parses the argument list whose "(" is at `open`: two top-level arguments and a closing ")".
std::optional<Call> ParseTwoArguments(std::string_view sql, std::size_t open) {
  std::vector<std::size_t> commas;
  int depth = 0;
  std::size_t i = open + 1;
  while (i < sql.size()) {
    const char c = sql[i];
    if (c == '(') {
      ++depth;
    } else if (c == ')') {
      if (depth == 0) {
        if (commas.size() != 1) return std::nullopt;
        return Call{sql.substr(open + 1, commas[0] - open - 1),
                    sql.substr(commas[0] + 1, i - commas[0] - 1), i + 1};
      }
      --depth;
    } else if (c == ',' && depth == 0) {
      commas.push_back(i);
    }
    i = SkipToken(sql, i);
  }
  return std::nullopt;
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
    text.remove_prefix(1);
  }
  // A line comment inside the argument needs the line break that ends it.
  if (text.find("--") != std::string_view::npos) return text;
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
    text.remove_suffix(1);
  }
  return text;
}

bool IsLeftAt(std::string_view sql, std::size_t i) {
  static constexpr std::string_view kWord = "left";
  if (i + kWord.size() > sql.size()) return false;
  if (i > 0 && (IsNameChar(sql[i - 1]) || sql[i - 1] == '.')) return false;
  for (std::size_t k = 0; k < kWord.size(); ++k) {
    if (std::tolower(static_cast<unsigned char>(sql[i + k])) != kWord[k]) return false;
  }
  return i + kWord.size() == sql.size() || !IsNameChar(sql[i + kWord.size()]);
}

}  // namespace

std::string TranslateLeftCalls(std::string_view sql) {
  std::string out;
  out.reserve(sql.size() + 16);
  std::size_t i = 0;
  while (i < sql.size()) {
    if (IsLeftAt(sql, i)) {
      std::size_t open = i + 4;
      while (open < sql.size() && std::isspace(static_cast<unsigned char>(sql[open]))) ++open;
      if (open < sql.size() && sql[open] == '(') {
        if (auto call = ParseTwoArguments(sql, open)) {
          out += "substr(";
          out += TranslateLeftCalls(Trimmed(call->first));
          out += ", 1, ";
          out += TranslateLeftCalls(Trimmed(call->second));
          out += ')';
          i = call->end;
          continue;
        }
      }
      out.append(sql.substr(i, 4));
      i += 4;
      continue;
    }
    const std::size_t next = SkipToken(sql, i);
    out.append(sql.substr(i, next - i));
    i = next;
  }
  return out;
}

}  // namespace oq::sqlite
