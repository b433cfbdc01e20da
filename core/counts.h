// How many outlets the switch has and how many command lines ip.ini keeps.
// Everything that goes over the outlets or the command lines counts from
// here: the window's rows, the settings keys SW1.. and CMD1.., the state
// viewer and the tests.
#pragma once

namespace qel {

inline constexpr int kOutletCount = 4;   // outlets of the switch: Sw1..Sw4, keys SW1..SW4
inline constexpr int kCommandCount = 3;  // stored command lines: keys CMD1..CMD3

}  // namespace qel
