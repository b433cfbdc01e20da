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

// Keys are told apart without regard to ASCII case, as the profile
// functions do.
bool SameKey(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    if (upper(a[i]) != upper(b[i])) return false;
  }
  return true;
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

std::wstring AsciiAddress(const std::wstring& address) {
  std::wstring ascii = address;
  for (wchar_t& c : ascii) {
    if (c >= L'\xFF10' && c <= L'\xFF19') c = static_cast<wchar_t>(L'0' + (c - L'\xFF10'));
    if (c == L'\xFF0E') c = L'.';
  }
  return ascii;
}

void SelectSwitch(SwitchLibrary& library, const std::wstring& address) {
  RequireAddress(address);
  library.setip(AsciiAddress(address));
}

std::int16_t ReadStatus(SwitchLibrary& library, const std::wstring& ip) {
  SelectSwitch(library, ip);
  return NarrowToInt16(library.receivep6());
}

void SwitchByMask(SwitchLibrary& library, const std::wstring& address, std::int16_t mask, std::int16_t state) {
  // A mask of 0 names no outlet: switching off with it would clear the low
  // 8 bits of the word, outlets nobody named.
  if (mask == 0) throw RuntimeError(ErrorKind::kMaskZero, "mask 0");
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

std::int16_t ReadStoredMask(Platform& platform, std::int16_t outlet) {
  const std::wstring key = MaskKey(outlet);
  const std::wstring text = ReadSetting(platform, key);
  if (text.empty()) {
    // Which of the three it is, asked only once the value is missing.
    const std::wstring path = SettingsFilePath(platform);
    if (!platform.FileExists(path)) throw RuntimeError(ErrorKind::kNoSettingsFile, "no ip.ini");
    const std::string ansiKey = AnsiText(platform, key);
    for (const std::string& listed : platform.ReadProfileKeys(kSettingsSection, AnsiText(platform, path))) {
      if (SameKey(listed, ansiKey)) throw RuntimeError(ErrorKind::kEmptyMask, ansiKey);
    }
    throw RuntimeError(ErrorKind::kNoMaskKey, ansiKey);
  }
  return ToInt16(RoundDown(StrictNumber(platform, text)));
}

StoredOutlet ReadStoredOutlet(Platform& platform, std::int16_t outlet) {
  StoredOutlet stored;
  stored.address = ReadSetting(platform, kAddressKey);
  stored.mask = ReadStoredMask(platform, outlet);
  return stored;
}

}  // namespace qel
