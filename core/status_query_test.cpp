#include "core/status_query.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/command_script.h"
#include "testing/fake_platform.h"

namespace qel {
namespace {

using Lines = std::vector<std::string>;
using WideLines = std::vector<std::wstring>;

constexpr char kIni[] = "[Qelmark]\r\nIP=10.0.0.9\r\nSW1=1\r\nSW2=4\r\nSW3=32\r\nSW4=128\r\nSW6=0\r\nCMD1=calc.exe\r\n";

// "qel.exe ? ..." asks the switch once and writes a line per outlet named,
// in the order named: on or off by its mask, as the window's labels read
// it, or unknown with its reason on standard error. It switches, waits for
// and starts nothing.
TEST(StatusQuery, OneReadAndALinePerOutletNamed) {
  const std::string oneRead[] = {"setip 10.0.0.9", "receivep6"};
  const Lines read(std::begin(oneRead), std::end(oneRead));
  const struct {
    const char* what;
    const wchar_t* arguments;
    std::int32_t word;
    std::function<void(FakePlatform&)> prepare;
    Lines output;
    WideLines errors;
    Lines calls;
    int exitCode;
  } cases[] = {
      {"outlet 2 on", L"? 2", 4, {}, {"on"}, {}, read, 0},
      {"outlet 2 off", L"? 2", 1 | 32 | 128, {}, {"off"}, {}, read, 0},
      {"all four, in the order named", L"? 4 1 2 3", 1 | 128, {}, {"on", "on", "off", "off"}, {}, read, 0},
      {"a bit of the mask is enough, as for the labels", L"? 1", 1, [](FakePlatform& p) { p.SetIni("[Qelmark]\r\nIP=10.0.0.9\r\nSW1=3\r\n"); },
       {"on"}, {}, read, 0},
      // cmd keeps the blank before a redirection or a pipe it removes.
      {"a blank at the end", L"? 3 ", 32, {}, {"on"}, {}, read, 0},
      {"full-width digits", L"? \uFF12", 4, {}, {"on"}, {}, read, 0},
      {"an outlet that cannot be named", L"? 2 5", 4, {}, {"on", "unknown"},
       {L"qel: ? 5: 状態不明: SW5 がない (コンセントの番号は 1～4)"}, read, 1},
      {"no number", L"? x 1", 1, {}, {"unknown", "on"}, {L"qel: ? x: 状態不明: 数値でない"}, read, 1},
      {"W and CMD are no outlets here: nothing waits or starts", L"? W1 CMD1", 1, {},
       {"unknown", "unknown"}, {L"qel: ? W1 CMD1: 状態不明: 数値でない"}, {}, 1},
      {"a mask of 0 names no outlet", L"? 6", 0, {}, {"unknown"},
       {L"qel: ? 6: 状態不明: マスクが 0 (どのコンセントも選ばない)"}, {}, 1},
      {"an empty mask", L"? 3", 0, [](FakePlatform& p) { p.SetIni("[Qelmark]\r\nIP=10.0.0.9\r\nSW3=\r\n"); },
       {"unknown"}, {L"qel: ? 3: 状態不明: SW3 が空"}, {}, 1},
      {"no ip.ini", L"? 1", 0, [](FakePlatform& p) { p.files.clear(); }, {"unknown"},
       {L"qel: ? 1: 状態不明: ip.ini がない (C:\\qel\\ip.ini)"}, {}, 1},
      {"no address: the switch is not asked", L"? 1 2", 0,
       [](FakePlatform& p) { p.SetIni("[Qelmark]\r\nSW1=1\r\nSW2=4\r\n"); }, {"unknown", "unknown"},
       {L"qel: ? 1 2: 状態不明: IP が空"}, {}, 1},
      {"no library", L"? 1", 0, [](FakePlatform& p) { p.libraryPresent = false; }, {"unknown"},
       {L"qel: ? 1: 状態不明: socket.dll を読み込めず: The specified module could not be found. (126)"}, {}, 1},
      {"a word out of range", L"? 1 2", 40000, {}, {"unknown", "unknown"},
       {L"qel: ? 1 2: 状態不明: スイッチの値が範囲外"}, read, 1},
      {"no outlet named", L"? ", 0, {}, {}, {L"qel: ?: 状態不明: コンセントの番号がない"}, {}, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakePlatform platform;
    platform.argumentText = c.arguments;
    platform.SetIni(kIni);
    platform.status = c.word;
    if (c.prepare) c.prepare(platform);
    SwitchLibrary library(platform);
    int windowFillings = 0;
    const StartOutcome outcome = RunStartup(library, [&] { ++windowFillings; });
    EXPECT_EQ(outcome.mode, StartMode::kScript);
    EXPECT_EQ(windowFillings, 0);
    EXPECT_EQ(platform.outputLines, c.output);
    EXPECT_EQ(platform.errorLines, c.errors);
    EXPECT_EQ(platform.calls, c.calls);
    EXPECT_EQ(ExitCodeOf(outcome), c.exitCode);
    EXPECT_EQ(platform.sleepCount, 0);
    EXPECT_TRUE(platform.started.empty());
  }
}

// "qel.exe ?" is one token, which opens the window as any single one does;
// "?" later in a script is no query.
TEST(StatusQuery, OnlyAsTheFirstOfTwoOrMoreTokens) {
  for (const wchar_t* arguments : {L"?", L"1 ?"}) {
    FakePlatform platform;
    platform.argumentText = arguments;
    platform.SetIni(kIni);
    SwitchLibrary library(platform);
    int windowFillings = 0;
    const StartOutcome outcome = RunStartup(library, [&] { ++windowFillings; });
    EXPECT_EQ(windowFillings, std::wstring(arguments) == L"?" ? 1 : 0);
    EXPECT_TRUE(platform.outputLines.empty());
    EXPECT_TRUE(platform.calls.empty());
  }
  EXPECT_TRUE(IsStatusQuery({L"?", L"2"}));
  EXPECT_FALSE(IsStatusQuery({L"?"}));
  EXPECT_FALSE(IsStatusQuery({L"? ", L"2"}));
  EXPECT_FALSE(IsStatusQuery({L"\uFF1F", L"2"}));
}

// A switch that does not answer ends the process from the watchdog: the
// query's lines are written first, each outlet unknown, and the reason
// says that the state could not be read.
TEST(StatusQuery, TellsTheWatchWhatToWriteWhenTheSwitchDoesNotAnswer) {
  // Its `last` is run where the watchdog would, while the read is pending.
  struct Watch : SwitchCallWatch {
    explicit Watch(FakePlatform& platform) : platform(platform) {}
    void Begins(const char* function) override {
      if (std::string(function) == "receivep6" && last) {
        platform.outputLines.clear();
        last();
        written = platform.outputLines;
      }
    }
    void Ended() override {}
    void StepBegins(const std::wstring& s) override { step = s; }
    void WhenNoAnswer(const std::wstring& r, std::function<void()> l) override {
      reason = r;
      last = std::move(l);
    }
    FakePlatform& platform;
    std::wstring step, reason;
    std::function<void()> last;
    Lines written;
  };
  FakePlatform platform;
  platform.argumentText = L"? 1 3";
  platform.SetIni(kIni);
  SwitchLibrary library(platform);
  Watch watch(platform);
  library.Watch(&watch);
  RunStartup(library, [] {});
  EXPECT_EQ(watch.step, L"? 1 3");
  EXPECT_EQ(watch.reason, L"状態不明: スイッチが応答しない (10 秒)");
  EXPECT_EQ(watch.written, (Lines{"unknown", "unknown"}));
}

}  // namespace
}  // namespace qel
