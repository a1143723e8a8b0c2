#include "connectors/sqlite/left_translation.h"

#include <cctype>
#include <optional>
#include <vector>

#include "connectors/common/sql_scan.h"

namespace oq::sqlite {

namespace {

using connectors::IsNameChar;

// Literals, every form of quoted name and comments are skipped whole: `left` inside them is text.
std::size_t SkipToken(std::string_view sql, std::size_t i) {
  return connectors::SkipToken(sql, i, connectors::QuotedNames::kAllForms);
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

// Most statements (every insert of a filtered copy) hold no "left" at all: finding that out is
// far cheaper than tokenising them.
bool MentionsLeft(std::string_view sql) {
  for (std::size_t i = 0; i + 4 <= sql.size(); ++i) {
    if ((sql[i] | 0x20) == 'l' && (sql[i + 1] | 0x20) == 'e' && (sql[i + 2] | 0x20) == 'f' &&
        (sql[i + 3] | 0x20) == 't') {
      return true;
    }
  }
  return false;
}
}  // namespace

std::string TranslateLeftCalls(std::string_view sql) {
  if (!MentionsLeft(sql)) return std::string(sql);
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
