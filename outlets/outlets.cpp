#include "outlets/outlets.h"

#include "platform/numbers.h"
#include "settings/settings.h"

namespace qel {

std::int16_t ReadStatus(SwitchLibrary& library, const std::wstring& ip) {
  library.setip(ip);
  return NarrowToInt16(library.receivep6());
}

void SwitchSub(SwitchLibrary& library, const std::wstring& sip, std::int16_t iinidat, std::int16_t istat) {
  library.setip(sip);
  const std::int16_t current = NarrowToInt16(library.receivep6());
  std::int16_t word;
  if (istat != 0) {
    word = static_cast<std::int16_t>(current | iinidat);
    NarrowToInt16(library.setdata(word));
  } else {
    // Only the low 8 bits of the mask are inverted: bits 8 to 15 of the word
    // are cleared whatever the mask says about them.
    word = static_cast<std::int16_t>(current & (iinidat ^ 255));
    NarrowToInt16(library.cleandata(word));
  }
  NarrowToInt16(library.transfer(word));
}

void Switch(SwitchLibrary& library, std::int16_t iswno, std::int16_t istat) {
  Platform& platform = library.platform();
  const std::wstring ip = GetIni(platform, L"IP");
  const std::wstring key = L"SW" + KeyText(iswno);
  const std::int16_t mask = ToInt16(RoundDown(StrictNumber(GetIni(platform, key), platform.Separators())));
  SwitchSub(library, ip, mask, istat);
}

}  // namespace qel
