// How many outlets the switch has and how many command lines ip.ini keeps.
// What goes over the outlets or the command lines counts from here: the
// settings keys SW1.. and CMD1.., the fields save and quit writes, the poll,
// ON, OFF and the launch buttons, the control ids, the state viewer and the
// tests. The window's controls are the rows of its layout table
// (win32/window/layout.h), which a check there holds to these counts: a
// fifth outlet is this count and that table's rows for it.
#pragma once

namespace qel {

inline constexpr int kOutletCount = 4;   // outlets of the switch: Sw1..Sw4, keys SW1..SW4
inline constexpr int kCommandCount = 3;  // stored command lines: keys CMD1..CMD3

}  // namespace qel
