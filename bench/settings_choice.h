#pragma once

#include <filesystem>
#include <vector>

#include "report.h"

namespace oq::bench {

// Measures what one autocommit statement of the filtered copy costs under each journal mode and
// synchronous level worth choosing from: pairs of one tariff lookup in ncm and one single-row
// insert into subitems, each its own transaction, straight through the C API. Works on fresh
// copies of the two templates inside `work`. Throws std::runtime_error on a database error.
std::vector<SettingsFigure> MeasureSettings(const std::filesystem::path& internosTemplate,
                                            const std::filesystem::path& ncmTemplate,
                                            const std::filesystem::path& work, int repetitions);

}  // namespace oq::bench
