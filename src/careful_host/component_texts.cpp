#include "careful_host/component_texts.h"

#include <cctype>
#include <string_view>

#include "engine/conversions.h"
#include "engine/platform_port.h"

namespace oq::careful {

namespace {
constexpr std::string_view kExistencePrefix = "select interno from caratula where interno = '";
}  // namespace

std::optional<std::string> ExistenceCheckNumber(const std::string& sql) {
  if (!sql.starts_with(kExistencePrefix) || !sql.ends_with('\'') ||
      sql.size() < kExistencePrefix.size() + 1) {
    return std::nullopt;
  }
  const std::string_view quoted = std::string_view(sql).substr(
      kExistencePrefix.size(), sql.size() - kExistencePrefix.size() - 1);
  // A lone quote inside would have ended the literal: the text is some other statement.
  const std::string number = rt::Replace(quoted, "''", "'");
  if (rt::Replace(number, "'", "''") != quoted) return std::nullopt;
  return number;
}

bool IsTariffLookup(const std::string& sql) {
  return sql.find(" from ncm where (left('") != std::string::npos;
}

bool CopiesItems(const std::string& sql) { return sql.starts_with("insert into subitems "); }

bool IsItemInsert(const std::string& sql) {
  return sql.starts_with("insert into subitems (") &&
         sql.find("naladisa) values (") != std::string::npos;
}

bool IsItemsQuery(const std::string& sql) {
  return sql.starts_with("select ") &&
         sql.find(" from subitems where interno = '") != std::string::npos &&
         sql.ends_with("' order by id");
}

bool WritesNcm(const std::string& sql) {
  // A statement runs alone, so one that inserts into subitems writes nothing else: the copy's
  // own item inserts are not scanned.
  if (CopiesItems(sql)) return false;
  std::string text;  // lower case, each run of blanks one space
  for (const char c : sql) {
    const bool blank = c == ' ' || c == '\t' || c == '\r' || c == '\n';
    if (blank && (text.empty() || text.back() == ' ')) continue;
    text += blank ? ' ' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  for (const char* verb : {"insert into ", "update ", "delete from ", "alter table ", "drop table ",
                           "truncate ", "truncate table "}) {
    for (std::size_t at = text.find(verb); at != std::string::npos; at = text.find(verb, at + 1)) {
      std::size_t name = at + std::string_view(verb).size();
      if (text.compare(name, 10, "if exists ") == 0) name += 10;
      if (text.compare(name, 1, "\"") == 0 || text.compare(name, 1, "[") == 0) ++name;
      const char after = name + 3 < text.size() ? text[name + 3] : ' ';
      if (text.compare(name, 3, "ncm") == 0 && !std::isalnum(static_cast<unsigned char>(after)) &&
          after != '_') {
        return true;
      }
    }
  }
  return false;
}

bool IsFailureBox(int style) { return style == vbCritical || style == vbOKOnly; }

bool IsRunEndBox(const std::string& prompt, int style) {
  return style == vbInformation && prompt == "Fin del Proceso";
}

bool LogsFailedStep(const std::string& log) {
  return log.find("Error en agregar") != std::string::npos;
}

bool LogsTakenNumber(const std::string& log) {
  // One copy says "ya existe", numbered copies "ya Existe!".
  return log.find("ya existe") != std::string::npos || log.find("ya Existe") != std::string::npos;
}

bool LogsRunEnd(const std::string& log) { return log.ends_with("Proceso terminado..."); }

}  // namespace oq::careful
