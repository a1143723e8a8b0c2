#include "engine/sql_text.h"

namespace oq::sql {

std::string Escape(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size() + 2);
  for (char c : text) {
    escaped += c;
    if (c == '\'') escaped += '\'';
  }
  return escaped;
}

}  // namespace oq::sql
