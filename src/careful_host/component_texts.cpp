#include "careful_host/component_texts.h"

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
