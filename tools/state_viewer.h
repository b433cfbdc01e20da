// What the simulated switch holds, for people: each address's status word
// from the state file and, given qel's ip.ini, whether each of the four
// outlets of the switch named there (IP key of [Qelmark]) is on. Outlet N is
// on when its mask SWN has a bit in common with the word.
//
// The state file is read with the library's own parser
// (simswitch/state_file.h), ip.ini with our profile-file engine
// (testing/profile_file.h), so both read by the rules qel and the library
// follow.
#pragma once

#include <optional>
#include <ostream>
#include <string>

namespace qel::simswitch {

// Prints the report for the state file at statePath (a missing file: every
// switch reads 0) and, when iniPath is given, the outlets of its switch.
// Returns the exit code: 0, or 1 when a file cannot be read or ip.ini has
// no IP in [Qelmark] (said on err).
int ShowState(const std::string& statePath, const std::optional<std::string>& iniPath, std::ostream& out,
              std::ostream& err);

}  // namespace qel::simswitch
