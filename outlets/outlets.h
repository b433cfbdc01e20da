// Outlet control: reading the switch's status word and switching one outlet
// by read-modify-write of that word.
#pragma once

#include <cstdint>
#include <string>

#include "outlets/switch_library.h"

namespace qel {

// setip(ip), then receivep6() narrowed to 16 bits.
std::int16_t ReadStatus(SwitchLibrary& library, const std::wstring& ip);

// Switches the outlets selected by mask iinidat of the switch at sip on
// (istat != 0) or off (istat == 0), re-reading the status word first.
void SwitchSub(SwitchLibrary& library, const std::wstring& sip, std::int16_t iinidat, std::int16_t istat);

// Switches outlet iswno with the address and mask stored in the settings file.
void Switch(SwitchLibrary& library, std::int16_t iswno, std::int16_t istat);

}  // namespace qel
