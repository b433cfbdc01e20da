#include "core/outlets.h"

#include "core/errors.h"
#include "core/numbers.h"
#include "core/settings.h"

namespace qel {
namespace {

// The library's answer once it has been handed the new word. Out of the
// 16-bit range it fails the switch, but the outlet may have switched all the
// same: a failure of its own kind, told apart from those before anything was
// handed over.
void CheckAnswerToWord(std::int32_t answer) {
  if (answer < -32768 || answer > 32767) {
    throw RuntimeError(ErrorKind::kAnswerOutOfRange, "answer to the new word outside 16 bits");
  }
}

void RequireAddress(const std::wstring& address) {
  if (AddressIsBlank(address)) throw RuntimeError(ErrorKind::kNoAddress, "no switch address");
}

}  // namespace

bool AddressIsBlank(const std::wstring& address) {
  for (wchar_t c : address) {
    if (!IsBlank(c)) return false;
  }
  return true;
}

void SelectSwitch(SwitchLibrary& library, const std::wstring& address) {
  RequireAddress(address);
  library.setip(address);
}

std::int16_t ReadStatus(SwitchLibrary& library, const std::wstring& ip) {
  SelectSwitch(library, ip);
  return NarrowToInt16(library.receivep6());
}

void SwitchByMask(SwitchLibrary& library, const std::wstring& address, std::int16_t mask, std::int16_t state) {
  SelectSwitch(library, address);
  const std::int16_t current = NarrowToInt16(library.receivep6());
  std::int16_t word;
  if (state != 0) {
    word = static_cast<std::int16_t>(current | mask);
    CheckAnswerToWord(library.setdata(word));
  } else {
    // Only the low 8 bits of the mask are inverted: bits 8 to 15 of the word
    // are cleared whatever the mask says about them.
    word = static_cast<std::int16_t>(current & (mask ^ 255));
    CheckAnswerToWord(library.cleandata(word));
  }
  CheckAnswerToWord(library.transfer(word));
}

StoredOutlet ReadStoredOutlet(Platform& platform, std::int16_t outlet) {
  StoredOutlet stored;
  stored.address = ReadSetting(platform, kAddressKey);
  stored.mask = ToInt16(RoundDown(StrictNumber(platform, ReadSetting(platform, MaskKey(outlet)))));
  return stored;
}

}  // namespace qel
