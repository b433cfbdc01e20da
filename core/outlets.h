// Outlet control: reading the switch's status word and switching one outlet
// by read-modify-write of that word.
#pragma once

#include <cstdint>
#include <string>

#include "core/switch_library.h"

namespace qel {

// Whether an address names no switch: empty, or nothing but blanks
// (IsBlank of settings.h, the blanks a read of ip.ini may trim). What the
// switch library does with such an address is not known, so none is ever
// handed to it: selecting, reading the status or switching with it raises
// kNoAddress before the library is called (or loaded).
bool AddressIsBlank(const std::wstring& address);

// setip(address): selects the switch, as the window does once at start.
void SelectSwitch(SwitchLibrary& library, const std::wstring& address);

// setip(ip), then receivep6() narrowed to 16 bits.
std::int16_t ReadStatus(SwitchLibrary& library, const std::wstring& ip);

// Switches the outlets whose bits are set in `mask` on (state != 0) or off
// (state == 0) at the switch `address`, re-reading the status word first.
void SwitchByMask(SwitchLibrary& library, const std::wstring& address, std::int16_t mask, std::int16_t state);

// Switches outlet number `outlet` with the address and mask stored in the
// settings file (keys IP and SW<outlet>).
void SwitchOutlet(SwitchLibrary& library, std::int16_t outlet, std::int16_t state);

}  // namespace qel
