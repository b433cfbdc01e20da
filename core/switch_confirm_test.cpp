#include "core/switch_confirm.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/command_script.h"
#include "testing/fake_platform.h"

namespace qel {
namespace {

using Calls = std::vector<std::string>;
using WideLines = std::vector<std::wstring>;

// After transfer a script reads the status word at once, then every half
// second, until the outlet shows the state asked for, for up to CONFIRM
// seconds (10 without it). Not seen in time: the step fails (exit code 1)
// and says which state the outlet stayed in; the script goes on.
TEST(ConfirmSwitch, ReadsUntilTheOutletShowsTheStateAskedFor) {
  const Calls switchOn = {"setip 10.0.0.9", "receivep6", "setdata 4", "transfer 4"};
  const auto reads = [](int count) { return Calls(static_cast<std::size_t>(count), "receivep6"); };
  const auto then = [](Calls first, const Calls& more) {
    first.insert(first.end(), more.begin(), more.end());
    return first;
  };
  const struct {
    const char* what;
    const wchar_t* arguments;
    std::string confirm;        // the CONFIRM line of ip.ini
    long long transferShowsAfter;  // -1: the switch ignores transfer
    Calls calls;
    long long sleptMilliseconds;
    WideLines errors;
    int exitCode;
  } cases[] = {
      {"confirmed at once", L"2 1", "", 0, then(switchOn, reads(1)), 0, {}, 0},
      {"confirmed after a slow change", L"2 1", "", 1200, then(switchOn, reads(4)), 1500, {}, 0},
      {"never confirmed", L"2 1", "", -1, then(switchOn, reads(21)), 10000,
       {L"qel: 2 1: 切替を確認できず: オフのまま (10 秒)"}, 1},
      {"never confirmed off", L"2 0", "", -1,
       {"setip 10.0.0.9", "receivep6", "cleandata 0", "transfer 0", "receivep6", "receivep6", "receivep6"}, 1000,
       {L"qel: 2 0: 切替を確認できず: オンのまま (1 秒)"}, 1},
      {"CONFIRM=3 for a switch that staggers its outlets", L"2 1", "CONFIRM=3\r\n", 2600, then(switchOn, reads(7)),
       3000, {}, 0},
      {"CONFIRM=3, never confirmed", L"2 1", "CONFIRM=3\r\n", -1, then(switchOn, reads(7)), 3000,
       {L"qel: 2 1: 切替を確認できず: オフのまま (3 秒)"}, 1},
      {"CONFIRM=0: no check", L"2 1", "CONFIRM=0\r\n", -1, switchOn, 0, {}, 0},
      // A value out of range is said, and the default used.
      {"CONFIRM=601", L"2 1", "CONFIRM=601\r\n", 0, then(switchOn, reads(1)), 0,
       {L"qel: CONFIRM: CONFIRM の「601」は 0～600 の整数でない: 10 秒で確認"}, 0},
      {"CONFIRM=abc, said once for two switches", L"2 1 0", "CONFIRM=abc\r\n", 0,
       then(then(switchOn, reads(1)), {"setip 10.0.0.9", "receivep6", "cleandata 0", "transfer 0", "receivep6"}), 0,
       {L"qel: CONFIRM: CONFIRM の「abc」は 0～600 の整数でない: 10 秒で確認"}, 0},
      // The script goes on after a switch not confirmed.
      {"the rest of the script runs", L"2 1 W1 CMD1", "CONFIRM=1\r\n", -1, then(switchOn, reads(3)), 2000,
       {L"qel: 2 1: 切替を確認できず: オフのまま (1 秒)"}, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakePlatform platform;
    platform.argumentText = c.arguments;
    platform.SetIni("[Qelmark]\r\nIP=10.0.0.9\r\nSW2=4\r\nCMD1=calc.exe\r\n" +
                    (std::string(c.what) == "never confirmed off" ? std::string("CONFIRM=1\r\n") : c.confirm));
    platform.status = std::wstring(c.arguments).rfind(L"2 0", 0) == 0 ? 4 : 0;
    platform.transferShowsAfter = c.transferShowsAfter;
    SwitchLibrary library(platform);
    const StartOutcome outcome = RunStartup(library, [] {});
    EXPECT_EQ(platform.calls, c.calls);
    EXPECT_EQ(platform.sleptMilliseconds, c.sleptMilliseconds);
    EXPECT_EQ(platform.errorLines, c.errors);
    EXPECT_EQ(ExitCodeOf(outcome), c.exitCode);
    EXPECT_EQ(platform.started.size(), std::wstring(c.arguments).find(L"CMD1") != std::wstring::npos ? 1u : 0u);
  }
}

// A read that fails says so; nothing more is sent.
TEST(ConfirmSwitch, AFailingReadFailsTheStep) {
  FakePlatform platform;
  platform.argumentText = L"2 1";
  platform.SetIni("[Qelmark]\r\nIP=10.0.0.9\r\nSW2=4\r\n");
  platform.transferShowsAfter = -1;
  SwitchLibrary library(platform);
  // The switch reads a word out of range only after the transfer.
  struct Watch : SwitchCallWatch {
    explicit Watch(FakePlatform& p) : platform(p) {}
    void Begins(const char* function) override {
      if (std::string(function) == "transfer") platform.status = 40000;
    }
    void Ended() override {}
    void StepBegins(const std::wstring&) override {}
    FakePlatform& platform;
  } watch(platform);
  library.Watch(&watch);
  const StartOutcome outcome = RunStartup(library, [] {});
  EXPECT_EQ(platform.calls, (Calls{"setip 10.0.0.9", "receivep6", "setdata 4", "transfer 4", "receivep6"}));
  EXPECT_EQ(platform.errorLines, WideLines{L"qel: 2 1: 切替を確認できず: スイッチの値が範囲外 (切り替わった可能性がある)"});
  EXPECT_EQ(ExitCodeOf(outcome), 1);
}

TEST(ConfirmSecondsOf, AWholeNumberFromZeroTo600) {
  const struct {
    const wchar_t* value;
    int seconds;
    bool refused;
  } cases[] = {
      {L"", 10, false},    {L"0", 0, false},     {L"10", 10, false},  {L"600", 600, false},
      {L"007", 7, false},  {L"\uFF13\uFF10", 30, false},
      {L"601", 10, true},  {L"-1", 10, true},    {L"1.5", 10, true},  {L"abc", 10, true},
      {L"1e2", 10, true},  {L"0x10", 10, true},  {L"99999999999", 10, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(FakePlatform().ToAnsi(c.value).value_or("?"));
    FakePlatform platform;
    const ConfirmSeconds seconds = ConfirmSecondsOf(platform, c.value);
    EXPECT_EQ(seconds.seconds, c.seconds);
    EXPECT_EQ(seconds.refused.has_value(), c.refused);
  }
}

}  // namespace
}  // namespace qel
