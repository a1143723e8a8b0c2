#pragma once

namespace oq::careful {

// How a host's command ends, as the program's exit status. An interrupted run ends with
// 128 + the signal's number.
inline constexpr int kExitOk = 0;
inline constexpr int kExitRunFailed = 1;     // the command ran but its work did not succeed
inline constexpr int kExitUsage = 2;         // refused: bad arguments, a failed check, no database
inline constexpr int kExitItemsLeftOut = 3;  // split: both copies made, some items in neither

}  // namespace oq::careful
