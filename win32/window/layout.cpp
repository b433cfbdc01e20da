#include "win32/window/layout.h"

#include "win32/window/control_ids.h"

namespace qel {

using K = ControlKind;

const ControlSpec kLayout[25] = {
    {kIdAddress, K::kTextField, L"192.168.1.0", 450, 0, 1725, 270, true},
    {kIdSaveAndQuit, K::kButton, L"保存＆終了", 2520, 0, 1575, 255, true},
    {kIdMask + 0, K::kTextField, L"1", 480, 360, 495, 270, true},
    {kIdOutletLabel + 0, K::kLabel, L"Sw1", -45, 375, 495, 255, false},
    {kIdMask + 1, K::kTextField, L"4", 480, 600, 495, 270, true},
    {kIdOutletLabel + 1, K::kLabel, L"Sw2", -45, 615, 495, 255, false},
    {kIdMask + 2, K::kTextField, L"32", 2520, 360, 495, 270, true},
    {kIdOutletLabel + 2, K::kLabel, L"Sw3", 1980, 375, 495, 255, false},
    {kIdMask + 3, K::kTextField, L"128", 2520, 600, 495, 270, true},
    {kIdOutletLabel + 3, K::kLabel, L"Sw4", 1980, 615, 495, 255, false},
    {kIdCommandLine + 0, K::kTextField, L"", 600, 960, 3495, 270, true},
    {kIdCommandLine + 1, K::kTextField, L"", 600, 1200, 3495, 270, true},
    {kIdCommandLine + 2, K::kTextField, L"", 600, 1440, 3495, 270, true},
    {kIdLaunch + 0, K::kButton, L"CMD1", 0, 960, 615, 255, false},
    {kIdLaunch + 1, K::kButton, L"CMD2", 0, 1200, 615, 255, false},
    {kIdLaunch + 2, K::kButton, L"CMD3", 0, 1440, 615, 255, false},
    {kIdAddressLabel, K::kLabel, L"IP", -15, 60, 375, 255, false},
    {kIdOn + 0, K::kButton, L"ON", 960, 360, 495, 255, false},
    {kIdOn + 1, K::kButton, L"ON", 960, 600, 495, 255, false},
    {kIdOn + 2, K::kButton, L"ON", 3000, 360, 495, 255, false},
    {kIdOn + 3, K::kButton, L"ON", 3000, 600, 495, 255, false},
    {kIdOff + 0, K::kButton, L"OFF", 1440, 360, 495, 255, false},
    {kIdOff + 1, K::kButton, L"OFF", 1440, 600, 495, 255, false},
    {kIdOff + 2, K::kButton, L"OFF", 3480, 360, 495, 255, false},
    {kIdOff + 3, K::kButton, L"OFF", 3480, 600, 495, 255, false},
};

int TwipsToPixels(int twips, int dpi) {
  // Rounded to nearest, halves away from zero, as MulDiv does.
  const long long scaled = static_cast<long long>(twips) * dpi;
  return static_cast<int>(scaled >= 0 ? (scaled + 720) / 1440 : -((-scaled + 720) / 1440));
}

}  // namespace qel
