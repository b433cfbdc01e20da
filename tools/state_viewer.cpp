#include "tools/state_viewer.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/counts.h"
#include "core/settings.h"
#include "simswitch/state_file.h"
#include "testing/profile_file.h"

namespace qel::simswitch {
namespace {

bool ReadWhole(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream content;
  content << in.rdbuf();
  text = content.str();
  return !in.bad();
}

// A key of ip.ini as the settings layer forms it; keys are ASCII.
std::string KeyOf(const std::wstring& key) { return std::string(key.begin(), key.end()); }

std::string Shown(const std::string& address) { return address.empty() ? "(empty address)" : address; }

}  // namespace

int ShowState(const std::string& statePath, const std::optional<std::string>& iniPath, std::ostream& out,
              std::ostream& err) {
  std::string state;
  std::error_code ignored;
  if (!std::filesystem::is_regular_file(statePath, ignored)) {
    out << "no state file " << statePath << ": every switch reads 0\n";
  } else if (!ReadWhole(statePath, state)) {
    err << "cannot read " << statePath << "\n";
    return 1;
  } else {
    const std::vector<StateSwitch> switches = SwitchesInState(state);
    if (switches.empty()) out << statePath << " holds no switch: every switch reads 0\n";
    for (const StateSwitch& entry : switches) out << Shown(entry.address) << " = " << entry.word << "\n";
  }
  if (!iniPath) return 0;

  std::string ini;
  if (!ReadWhole(*iniPath, ini)) {
    err << "cannot read " << *iniPath << "\n";
    return 1;
  }
  const std::optional<std::string> ip = profile::FindValue(ini, kSettingsSection, KeyOf(kAddressKey));
  if (!ip) {
    err << *iniPath << " has no IP in [" << kSettingsSection << "]\n";
    return 1;
  }
  // The address as the library keeps what qel hands it.
  const std::string address = AddressKey(*ip);
  const std::int32_t word = WordInState(state, address);
  out << "switch " << Shown(address) << " (IP in " << *iniPath << "), word " << word << ":\n";
  for (int outlet = 1; outlet <= kOutletCount; ++outlet) {
    const std::string key = KeyOf(MaskKey(outlet));
    const std::optional<std::string> mask = profile::FindValue(ini, kSettingsSection, key);
    std::int64_t bits = 0;
    out << "outlet " << outlet << ": ";
    if (!mask) {
      out << "no " << key << " in [" << kSettingsSection << "]\n";
    } else if (!ParseDecimal(*mask, bits)) {
      out << key << " is not a decimal mask: " << *mask << "\n";
    } else {
      out << ((bits & word) != 0 ? "on" : "off") << "\n";
    }
  }
  return 0;
}

}  // namespace qel::simswitch
