#pragma once

#include <optional>
#include <string>

namespace oq::careful {

// What a careful host reads of the component's own statements, boxes and log lines. The component
// has no events of its own to tell a host where a run stands; these texts are how it shows it, and
// they are recognised here and nowhere else.

// The number an existence check asks about, or nothing for any other statement. The check is
//   select interno from caratula where interno = '<number, each quote doubled>'
std::optional<std::string> ExistenceCheckNumber(const std::string& sql);

// Whether the statement is a filtered copy's tariff lookup of one item in ncm.
bool IsTariffLookup(const std::string& sql);
// Whether the statement writes items (a set-based copy of all items, or one filtered item).
bool CopiesItems(const std::string& sql);

// Whether the statement is a filtered copy's insert of one item (its count is never read).
bool IsItemInsert(const std::string& sql);
// Whether the statement is a filtered copy's query of the items it is to go through.
bool IsItemsQuery(const std::string& sql);
// Whether the statement writes to the table ncm (insert, update, delete, or changes or drops it).
bool WritesNcm(const std::string& sql);

// Whether a box with this style reports a failure (styles 0 and 16, as the copy steps and runs
// show theirs).
bool IsFailureBox(int style);

// Whether the box is the one a run that reached its end shows last ("Fin del Proceso",
// information): after it the run sends no statement.
bool IsRunEndBox(const std::string& prompt, int style);

// Whether a log text holds the line of a copy step that failed ("Error en agregar ...").
bool LogsFailedStep(const std::string& log);
// Whether a log text holds the line of a number found taken ("El interno ... ya existe .-").
bool LogsTakenNumber(const std::string& log);
// Whether the log ends as a run that reached its end leaves it ("Proceso terminado...").
bool LogsRunEnd(const std::string& log);

}  // namespace oq::careful
