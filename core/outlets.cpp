#include "core/outlets.h"

#include "core/numbers.h"
#include "core/settings.h"

namespace qel {

std::int16_t ReadStatus(SwitchLibrary& library, const std::wstring& ip) {
  library.setip(ip);
  return NarrowToInt16(library.receivep6());
}

void SwitchByMask(SwitchLibrary& library, const std::wstring& address, std::int16_t mask, std::int16_t state) {
  library.setip(address);
  const std::int16_t current = NarrowToInt16(library.receivep6());
  std::int16_t word;
  if (state != 0) {
    word = static_cast<std::int16_t>(current | mask);
    NarrowToInt16(library.setdata(word));
  } else {
    // Only the low 8 bits of the mask are inverted: bits 8 to 15 of the word
    // are cleared whatever the mask says about them.
    word = static_cast<std::int16_t>(current & (mask ^ 255));
    NarrowToInt16(library.cleandata(word));
  }
  NarrowToInt16(library.transfer(word));
}

void SwitchOutlet(SwitchLibrary& library, std::int16_t outlet, std::int16_t state) {
  Platform& platform = library.platform();
  const std::wstring ip = ReadSetting(platform, kAddressKey);
  const std::wstring key = MaskKey(outlet);
  const std::int16_t mask = ToInt16(RoundDown(StrictNumber(ReadSetting(platform, key), platform.Separators())));
  SwitchByMask(library, ip, mask, state);
}

}  // namespace qel
