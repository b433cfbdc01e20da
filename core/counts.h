// How many outlets the switch has and how many command lines ip.ini keeps:
// every key, field, control and loop over them counts from here (the
// window's layout table is held to these counts by a check there).
#pragma once

namespace qel {

inline constexpr int kOutletCount = 4;   // outlets of the switch: Sw1..Sw4, keys SW1..SW4
inline constexpr int kCommandCount = 3;  // stored command lines: keys CMD1..CMD3

}  // namespace qel
