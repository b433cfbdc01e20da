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

// The address with full-width digits and the full-width full stop as ASCII
// ("１９２．１６８．１．１０" as "192.168.1.10"), as an IME in full-width
// mode types them; other characters stay.
std::wstring AsciiAddress(const std::wstring& address);

// setip(address): selects the switch, as the window does once at start. The
// address goes as AsciiAddress gives it.
void SelectSwitch(SwitchLibrary& library, const std::wstring& address);

// setip(ip), then receivep6() narrowed to 16 bits.
std::int16_t ReadStatus(SwitchLibrary& library, const std::wstring& ip);

// Switches the outlets whose bits are set in `mask` on (state != 0) or off
// (state == 0) at the switch `address`, re-reading the status word first.
// A mask of 0 raises kMaskZero before anything is called.
void SwitchByMask(SwitchLibrary& library, const std::wstring& address, std::int16_t mask, std::int16_t state);

// The mask of outlet number `outlet` as the settings file stores it (key
// SW<outlet>). Raises kNotInCodePage when ip.ini has no path; for an empty
// value kNoSettingsFile (no ip.ini), kEmptyMask (the key is there) or
// kNoMaskKey; else the conversion's error (kTypeMismatch, kOverflow).
std::int16_t ReadStoredMask(Platform& platform, std::int16_t outlet);

// The address and the mask of outlet number `outlet` as the settings file
// stores them (keys IP and SW<outlet>), failing as ReadStoredMask does.
struct StoredOutlet {
  std::wstring address;
  std::int16_t mask = 0;
};
// A script switches an outlet with them by SwitchByMask; the two steps
// fail with words of their own.
StoredOutlet ReadStoredOutlet(Platform& platform, std::int16_t outlet);

}  // namespace qel
