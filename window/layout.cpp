#include "window/layout.h"

#include "window/control_ids.h"

namespace qel {

using K = ControlKind;

const ControlSpec kLayout[25] = {
    {kIdText1, K::kTextField, L"192.168.1.0", 450, 0, 1725, 270, true},
    {kIdCommand1, K::kButton, L"保存＆終了", 2520, 0, 1575, 255, true},
    {kIdTextSw + 0, K::kTextField, L"1", 480, 360, 495, 270, true},
    {kIdLabel1 + 0, K::kLabel, L"Sw1", -45, 375, 495, 255, false},
    {kIdTextSw + 1, K::kTextField, L"4", 480, 600, 495, 270, true},
    {kIdLabel1 + 1, K::kLabel, L"Sw2", -45, 615, 495, 255, false},
    {kIdTextSw + 2, K::kTextField, L"32", 2520, 360, 495, 270, true},
    {kIdLabel1 + 2, K::kLabel, L"Sw3", 1980, 375, 495, 255, false},
    {kIdTextSw + 3, K::kTextField, L"128", 2520, 600, 495, 270, true},
    {kIdLabel1 + 3, K::kLabel, L"Sw4", 1980, 615, 495, 255, false},
    {kIdTextCmd + 0, K::kTextField, L"", 600, 960, 3495, 270, true},
    {kIdTextCmd + 1, K::kTextField, L"", 600, 1200, 3495, 270, true},
    {kIdTextCmd + 2, K::kTextField, L"", 600, 1440, 3495, 270, true},
    {kIdBtnCmd + 0, K::kButton, L"CMD1", 0, 960, 615, 255, false},
    {kIdBtnCmd + 1, K::kButton, L"CMD2", 0, 1200, 615, 255, false},
    {kIdBtnCmd + 2, K::kButton, L"CMD3", 0, 1440, 615, 255, false},
    {kIdLabel1 + 4, K::kLabel, L"IP", -15, 60, 375, 255, false},
    {kIdCmdOn + 0, K::kButton, L"ON", 960, 360, 495, 255, false},
    {kIdCmdOn + 1, K::kButton, L"ON", 960, 600, 495, 255, false},
    {kIdCmdOn + 2, K::kButton, L"ON", 3000, 360, 495, 255, false},
    {kIdCmdOn + 3, K::kButton, L"ON", 3000, 600, 495, 255, false},
    {kIdCmdOff + 0, K::kButton, L"OFF", 1440, 360, 495, 255, false},
    {kIdCmdOff + 1, K::kButton, L"OFF", 1440, 600, 495, 255, false},
    {kIdCmdOff + 2, K::kButton, L"OFF", 3480, 360, 495, 255, false},
    {kIdCmdOff + 3, K::kButton, L"OFF", 3480, 600, 495, 255, false},
};

int TwipsToPixels(int twips, int dpi) {
  // Rounded to nearest, halves away from zero, as MulDiv does.
  const long long scaled = static_cast<long long>(twips) * dpi;
  return static_cast<int>(scaled >= 0 ? (scaled + 720) / 1440 : -((-scaled + 720) / 1440));
}

}  // namespace qel
