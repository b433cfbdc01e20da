#include "core/command_script.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/errors.h"
#include "testing/fake_platform.h"

namespace qel {
namespace {

using Calls = std::vector<std::string>;

constexpr char kIni[] =
    "[Qelmark]\r\nIP=10.0.0.9\r\nSW1=1\r\nSW2=4\r\nSW3=32\r\nSW4=128\r\nCMD1=notepad.exe a.txt\r\nCMD0=calc.exe\r\n";

// The start-up routine run over a fake platform with the given argument text
// and ip.ini, set up further by `prepare`; filling the window runs `fill`.
struct ScriptRun {
  explicit ScriptRun(const std::wstring& arguments, const std::string& ini = kIni,
                     const std::function<void(FakePlatform&)>& prepare = {},
                     const std::function<void()>& fill = {}) {
    platform.argumentText = arguments;
    platform.SetIni(ini);
    if (prepare) prepare(platform);
    outcome = RunStartup(library, [&] {
      ++windowFillings;
      if (fill) fill();
    });
  }
  // Only the staging and transfer calls: what reached the switch.
  Calls sent() const {
    Calls out;
    for (const std::string& call : platform.calls) {
      if (call.rfind("setdata", 0) == 0 || call.rfind("cleandata", 0) == 0 || call.rfind("transfer", 0) == 0) {
        out.push_back(call);
      }
    }
    return out;
  }
  FakePlatform platform;
  SwitchLibrary library{platform};
  StartOutcome outcome;
  int windowFillings = 0;  // calls of RunStartup's fillWindow
};

TEST(SplitArguments, AtEverySingleSpace) {
  using Tokens = std::vector<std::wstring>;
  EXPECT_EQ(SplitArguments(L""), Tokens{});
  EXPECT_EQ(SplitArguments(L"W10"), Tokens{L"W10"});
  EXPECT_EQ(SplitArguments(L"1 "), (Tokens{L"1", L""}));
  EXPECT_EQ(SplitArguments(L"1  1"), (Tokens{L"1", L"", L"1"}));
  EXPECT_EQ(SplitArguments(L"\"a b\" 1"), (Tokens{L"\"a", L"b\"", L"1"}));
  EXPECT_EQ(SplitArguments(L" "), (Tokens{L"", L""}));
  EXPECT_EQ(SplitArguments(L"1\t0"), Tokens{L"1\t0"});
}

TEST(Startup, FewerThanTwoTokensOpenTheWindow) {
  for (const wchar_t* arguments : {L"", L"W10", L"1"}) {
    ScriptRun run(arguments);
    EXPECT_EQ(run.outcome.mode, StartMode::kWindow);
    EXPECT_EQ(run.windowFillings, 1);
    EXPECT_EQ(run.platform.sleepCount, 0);
    EXPECT_TRUE(run.platform.calls.empty());
  }
}

struct ScriptCase {
  const wchar_t* arguments;
  Calls sent;
  long long sleptMilliseconds;
  std::vector<std::wstring> started;
  int exitCode;
};

TEST(Startup, CommandScripts) {
  const ScriptCase cases[] = {
      {L"2 0 W5 1", {"cleandata 0", "transfer 0", "setdata 4", "transfer 4"}, 5000, {}, 0},
      {L"3 1", {"setdata 32", "transfer 32"}, 0, {}, 0},
      {L"cmd1 w2 1 1", {"setdata 1", "transfer 1"}, 2000, {L"notepad.exe a.txt"}, 0},
      // A state that is not a number switches nothing: the outlet is never
      // switched off by a word nobody meant as 0.
      {L"1 on", {}, 0, {}, 1},
      {L"1 ON", {}, 0, {}, 1},
      {L"1 off", {}, 0, {}, 1},
      {L"1 0x1", {}, 0, {}, 1},
      // A blank at the end (cmd leaves one before a redirection it removes)
      // or a doubled blank makes an empty token: no step, no failure. Two
      // tokens are still a script, so a lone outlet number with a blank
      // after it is one without a state.
      {L"1 ", {}, 0, {}, 1},
      {L"3 1 ", {"setdata 32", "transfer 32"}, 0, {}, 0},
      {L"2 0 W1 1 ", {"cleandata 0", "transfer 0", "setdata 4", "transfer 4"}, 1000, {}, 0},
      {L"1  1", {"setdata 1", "transfer 1"}, 0, {}, 0},
      {L"  1 1", {"setdata 1", "transfer 1"}, 0, {}, 0},
      {L"1 1  0", {"setdata 1", "transfer 1", "cleandata 0", "transfer 0"}, 0, {}, 0},
      {L"3 x ", {}, 0, {}, 1},
      {L"W1 ", {}, 1000, {}, 0},
      // An outlet number that is not a number, or out of 16 bits, switches
      // no outlet: not the one of key SW0, which the slot held before (and
      // which this ip.ini has).
      {L"x 1", {}, 0, {}, 1},
      {L"x 1 1", {}, 0, {}, 1},
      {L"32768 1", {}, 0, {}, 1},
      // The 16-bit bounds of a state.
      {L"1 40000", {}, 0, {}, 1},
      {L"1 32767", {"setdata 1", "transfer 1"}, 0, {}, 0},
      {L"1 -32768", {"setdata 1", "transfer 1"}, 0, {}, 0},
      {L"1 -32769", {}, 0, {}, 1},
      // A fourth number does nothing and says so in the exit code.
      {L"1 1 2 0", {"setdata 1", "transfer 1", "setdata 1", "transfer 1"}, 0, {}, 1},
      // An outlet number that got no state.
      {L"W5 3", {}, 5000, {}, 1},
      {L"Sw2 0", {}, 2000, {}, 1},
      {L"sw1 1", {}, 1000, {}, 1},
      {L"W2.5 W3.5 x", {}, 6000, {}, 1},
      {L"CMD 1", {}, 0, {L"calc.exe"}, 1},
      {L"W-3 1", {}, 0, {}, 1},
      {L"1 0 1 1 1 1 1", {"cleandata 0", "transfer 0", "setdata 1", "transfer 1"}, 0, {}, 1},
      {L"1 0 1 1 1 1", {"cleandata 0", "transfer 0", "setdata 1", "transfer 1"}, 0, {}, 1},
      {L"1 0 1", {"cleandata 0", "transfer 0", "setdata 1", "transfer 1"}, 0, {}, 0},
      // Full-width digits, signs and decimal points, as an IME types them.
      {L"１ １", {"setdata 1", "transfer 1"}, 0, {}, 0},
      {L"２．９ －１", {"setdata 4", "transfer 4"}, 0, {}, 0},
      {L"6 1", {"setdata 128", "transfer 128"}, 0, {}, 0},  // SW6=１２８ in ip.ini
      // A full-width W is no wait: the token is a number that does not
      // convert.
      {L"1 1 Ｗ5", {"setdata 1", "transfer 1"}, 0, {}, 1},
      // Both a W and CMD: a wait, reading after the W.
      {L"CMDW1 x", {}, 1000, {}, 1},
      // Numbers after W and CMD round half to even.
      {L"w0.5 W1.5 W2.5", {}, 4000, {}, 0},
      // A number after W out of 16 bits waits nothing, not the time of the
      // number before it, which the token does not name (as for CMD): W1
      // then W99999 waits 1 s once; then 3277 s overflows the slice count.
      {L"W1 W99999 W3277", {}, 1000, {}, 1},
      // A number after CMD out of 16 bits starts nothing, not the command
      // line of the number before it.
      {L"CMD1 CMD99999", {}, 0, {L"notepad.exe a.txt"}, 1},
      {L"CMD99999 W0", {}, 0, {}, 1},
      // CMD2 is empty, CMD7 missing: nothing starts.
      {L"CMD2 CMD7", {}, 0, {}, 1},
      // Numbers are converted strictly, rounded down: 2.9 is outlet 2.
      {L"2.9 1", {"setdata 4", "transfer 4"}, 0, {}, 0},
      // Only the first 20 characters after W count.
      {L"W000000000000000000001 W1", {}, 1000, {}, 0},
      // An outlet without a mask fails; the script goes on.
      {L"5 1 W1", {}, 1000, {}, 1},
      // A stored mask is rounded down as well: SW9=12.9 is 12, not 13.
      {L"9 1", {"setdata 12", "transfer 12"}, 0, {}, 0},
  };
  for (const ScriptCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "arguments [" << FakePlatform().ToAnsi(c.arguments).value_or("?") << "]");
    ScriptRun run(c.arguments,
                  std::string(kIni) + "CMD2=\r\nSW6=\xEF\xBC\x91\xEF\xBC\x92\xEF\xBC\x98\r\nSW9=12.9\r\nSW0=16\r\n");
    EXPECT_EQ(run.outcome.mode, StartMode::kScript);
    EXPECT_EQ(run.windowFillings, 0);
    EXPECT_EQ(run.sent(), c.sent);
    EXPECT_EQ(run.platform.sleptMilliseconds, c.sleptMilliseconds);
    EXPECT_EQ(run.platform.sleepCount * 100LL, c.sleptMilliseconds);  // all in 100 ms slices
    EXPECT_EQ(run.platform.started, c.started);
    EXPECT_EQ(ExitCodeOf(run.outcome), c.exitCode);
    // Every script that ends with 1 says why, and one that ends with 0
    // says nothing; each reason is written as it happens.
    EXPECT_EQ(run.outcome.failures.empty(), c.exitCode == 0);
    std::vector<std::wstring> lines;
    for (const ScriptFailure& failure : run.outcome.failures) lines.push_back(ScriptFailureLine(failure));
    EXPECT_EQ(run.platform.errorLines, lines);
  }
}

// Each failed step says which tokens it was and why, in the window's words,
// on a line of its own, in the order of the script.
TEST(Startup, EachFailedStepWritesItsReason) {
  const std::string ini = "[Qelmark]\r\nIP=10.0.0.9\r\nSW1=1\r\nSW2=4\r\nSW4=abc\r\nSW8=40000\r\n"
                          "CMD1=calc.exe\r\nCMD2=no-such.exe /x\r\nCMD3=\r\n";
  const auto noAddress = [](FakePlatform& platform) { platform.SetIni("[Qelmark]\r\nSW2=4\r\nCMD3=\r\n"); };
  const std::wstring noPath = L"ip.ini の場所をこのシステムの文字コードで表せない";
  const struct {
    const char* what;
    const wchar_t* arguments;
    std::function<void(FakePlatform&)> prepare;
    std::vector<std::wstring> lines;
  } cases[] = {
      // The system's reason why socket.dll did not load; one that is not
      // for 32-bit x86 in words a user knows.
      {"no library", L"1 1", [](FakePlatform& p) { p.libraryPresent = false; },
       {L"qel: 1 1: 切替できず: socket.dll を読み込めず: The specified module could not be found. (126)"}},
      {"a 64-bit library", L"1 1",
       [](FakePlatform& p) {
         p.libraryPresent = false;
         p.libraryLoadError = {193, L"Bad EXE format."};
       },
       {L"qel: 1 1: 切替できず: socket.dll を読み込めず: 32 ビット版ではない (193)"}},
      {"a library that fails without a reason", L"1 1",
       [](FakePlatform& p) {
         p.libraryPresent = false;
         p.libraryLoadError = {};
       },
       {L"qel: 1 1: 切替できず: socket.dll を読み込めず"}},
      // "切り替わった可能性がある" once, and only once, the word is being
      // staged (setdata, cleandata, transfer), whatever the failure.
      {"no setip", L"1 1", [](FakePlatform& p) { p.missingFunctions = {"setip"}; },
       {L"qel: 1 1: 切替できず: socket.dll に関数がない"}},
      {"no setdata", L"1 1", [](FakePlatform& p) { p.missingFunctions = {"setdata"}; },
       {L"qel: 1 1: 切替できず: socket.dll に関数がない"}},
      {"no transfer, the word staged", L"1 1", [](FakePlatform& p) { p.missingFunctions = {"transfer"}; },
       {L"qel: 1 1: 切替できず: socket.dll に関数がない (切り替わった可能性がある)"}},
      {"setdata's answer out of range", L"1 1", [](FakePlatform& p) { p.results["setdata"] = 70000; },
       {L"qel: 1 1: 切替できず: スイッチの応答が範囲外 (切り替わった可能性がある)"}},
      {"cleandata's answer out of range", L"1 0", [](FakePlatform& p) { p.results["cleandata"] = -40000; },
       {L"qel: 1 0: 切替できず: スイッチの応答が範囲外 (切り替わった可能性がある)"}},
      // A later step selects the switch again: nothing of it is staged yet.
      {"a later step's failure before its staging", L"1 1 W0 0",
       [](FakePlatform& p) { p.missingFunctions = {"cleandata"}; },
       {L"qel: 1 0: 切替できず: socket.dll に関数がない"}},
      {"empty address", L"2 1", noAddress, {L"qel: 2 1: 切替できず: IP が空"}},
      {"a mask that is no number", L"4 1", {}, {L"qel: 4 1: 切替できず: マスクが数値でない"}},
      // The outlet's mask that ip.ini cannot give, each by what is wrong.
      {"outlet 5", L"5 1", {}, {L"qel: 5 1: 切替できず: SW5 がない (コンセントの番号は 1～4)"}},
      {"outlet 0", L"0 1", {}, {L"qel: 0 1: 切替できず: SW0 がない (コンセントの番号は 1～4)"}},
      {"no key of outlet 3", L"3 1", {}, {L"qel: 3 1: 切替できず: ip.ini に SW3 がない"}},
      {"an empty mask", L"3 1", [](FakePlatform& p) { p.SetIni("[Qelmark]\r\nIP=10.0.0.9\r\nsw3=\r\n"); },
       {L"qel: 3 1: 切替できず: SW3 が空"}},
      {"no ip.ini", L"1 1", [](FakePlatform& p) { p.files.clear(); },
       {L"qel: 1 1: 切替できず: ip.ini がない (C:\\qel\\ip.ini)"}},
      // A mask of 0 names no outlet: refused before anything is sent.
      {"mask 0", L"1 0", [](FakePlatform& p) { p.SetIni("[Qelmark]\r\nIP=10.0.0.9\r\nSW1=0\r\n"); },
       {L"qel: 1 0: 切替できず: マスクが 0 (どのコンセントも選ばない)"}},
      {"a mask out of range", L"8 1", {}, {L"qel: 8 1: 切替できず: マスクが範囲外"}},
      {"status word out of range", L"1 1", [](FakePlatform& p) { p.results["receivep6"] = 40000; },
       {L"qel: 1 1: 切替できず: スイッチの値が範囲外"}},
      // Both switches of the outlet, each by its own tokens as written.
      {"answer out of range", L"2 0 w0 １", [](FakePlatform& p) { p.results["transfer"] = 70000; },
       {L"qel: 2 0: 切替できず: スイッチの応答が範囲外 (切り替わった可能性がある)",
        L"qel: 2 １: 切替できず: スイッチの応答が範囲外 (切り替わった可能性がある)"}},
      {"a program that cannot start", L"cmd2 W0", [](FakePlatform& p) { p.startablePrograms = {L"calc.exe"}; },
       {L"qel: cmd2: 起動できず: CMD2 の「no-such.exe /x」: The system cannot find the file specified. (2)"}},
      {"an empty command line", L"CMD3 CMD7", {}, {L"qel: CMD3: 起動できず: CMD3 が空", L"qel: CMD7: 起動できず: CMD7 が空"}},
      {"a number after CMD out of range", L"CMD1 CMD99999", {}, {L"qel: CMD99999: 起動できず: CMD の番号が範囲外"}},
      {"a wait too long", L"W3276 W3277", {}, {L"qel: W3277: 待機できず: 秒数が範囲外 (3276 秒まで)"}},
      {"a number after W out of range", L"W1 W99999", {}, {L"qel: W99999: 待機できず: 秒数が範囲外 (3276 秒まで)"}},
      {"no number", L"3 x ", {}, {L"qel: x: 切替できず: 数値でない"}},
      {"a number out of range", L"1 40000", {}, {L"qel: 40000: 切替できず: 数値が範囲外"}},
      {"no state", L"1 ", {}, {L"qel: 1: 切替できず: 状態の数値がない"}},
      {"no state after a wait", L"W0 3", {}, {L"qel: 3: 切替できず: 状態の数値がない"}},
      // The fourth and later numbers, seventh included, on one line.
      {"numbers that cannot act", L"1 1 1 2 0 x 7 8", {},
       {L"qel: x: 切替できず: 数値でない", L"qel: 2 0 x 7 8: 切替できず: 4 つ目からの数値は使われない"}},
      {"no path for ip.ini", L"1 1 CMD1",
       [](FakePlatform& p) {
         p.outsideCodePage = L"Ω";
         p.executableDirectory = L"C:\\Ωmega";
       },
       {L"qel: 1 1: 切替できず: " + noPath, L"qel: CMD1: 起動できず: " + noPath}},
      {"in the order of the script", L"CMD3 2 1", noAddress,
       {L"qel: CMD3: 起動できず: CMD3 が空", L"qel: 2 1: 切替できず: IP が空"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptRun run(c.arguments, ini, c.prepare);
    EXPECT_EQ(ExitCodeOf(run.outcome), 1);
    EXPECT_EQ(run.platform.errorLines, c.lines);
  }
}

// An outlet whose mask names none, or that ip.ini cannot give a mask for,
// is not switched: the switch is not even selected.
TEST(Startup, AnOutletWithoutAMaskIsNotAsked) {
  const struct {
    const char* what;
    const wchar_t* arguments;
    std::string ini;  // empty: no ip.ini
  } cases[] = {
      {"mask 0, on", L"1 1", "[Qelmark]\r\nIP=10.0.0.9\r\nSW1=0\r\n"},
      {"mask 0, off", L"1 0", "[Qelmark]\r\nIP=10.0.0.9\r\nSW1=0\r\n"},
      {"mask 0.5, rounded down to 0", L"1 0", "[Qelmark]\r\nIP=10.0.0.9\r\nSW1=0.5\r\n"},
      {"outlet 5", L"5 0", std::string(kIni)},
      {"empty SW1", L"1 0", "[Qelmark]\r\nIP=10.0.0.9\r\nSW1=\r\n"},
      {"no ip.ini", L"1 0", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptRun run(c.arguments, c.ini, [&](FakePlatform& p) {
      if (c.ini.empty()) p.files.clear();
    });
    EXPECT_EQ(ExitCodeOf(run.outcome), 1);
    EXPECT_EQ(run.platform.calls, Calls{});
    EXPECT_EQ(run.platform.libraryLoads, 0);
  }
}

// One line each, whatever the system's words hold.
// The watch of a script's calls is told the step ("2 1", as written) before
// the calls of that step, so that a switch that does not answer is said for
// the step that asked it.
TEST(Startup, TellsTheWatchWhichStepItsCallsBelongTo) {
  struct Watch : SwitchCallWatch {
    explicit Watch(Calls& calls) : calls(calls) {}
    void Begins(const char*) override {}
    void Ended() override {}
    void StepBegins(const std::wstring& step) override { calls.push_back("step " + std::string(step.begin(), step.end())); }
    Calls& calls;
  };
  FakePlatform platform;
  platform.argumentText = L"2 0 W0 cmd0 1 3 1";
  platform.SetIni(kIni);
  SwitchLibrary library(platform);
  Watch watch(platform.calls);
  library.Watch(&watch);
  RunStartup(library, [] {});
  Calls stepsAndSelections;
  for (const std::string& call : platform.calls) {
    if (call.rfind("step ", 0) == 0 || call.rfind("setip ", 0) == 0) stepsAndSelections.push_back(call);
  }
  EXPECT_EQ(stepsAndSelections, (Calls{"step 2 0", "setip 10.0.0.9", "step 2 1", "setip 10.0.0.9"}));
}

TEST(ScriptFailureLine, IsOneLine) {
  EXPECT_EQ(ScriptFailureLine({L"CMD1", L"起動できず: CMD1 の「a」: one\r\ntwo\n (5)"}),
            L"qel: CMD1: 起動できず: CMD1 の「a」: one  two  (5)");
}

TEST(Startup, SwitchReadsTheFileEachTimeAndUsesTheStoredAddress) {
  ScriptRun run(L"2 1");
  // Then the switch is confirmed by reading the status word again.
  EXPECT_EQ(run.platform.calls, (Calls{"setip 10.0.0.9", "receivep6", "setdata 4", "transfer 4", "receivep6"}));
}

TEST(Startup, LibraryFailuresAreSkippedAndReportedInTheExitCode) {
  ScriptRun run(L"1 1 W1 CMD1", kIni, [](FakePlatform& platform) { platform.libraryPresent = false; });
  EXPECT_TRUE(run.outcome.anyStatementFailed);
  EXPECT_EQ(run.platform.libraryLoads, 1);
  EXPECT_EQ(run.platform.sleptMilliseconds, 1000);  // the rest of the script still ran
  EXPECT_EQ(run.platform.started, (std::vector<std::wstring>{L"notepad.exe a.txt"}));
}

// ip.ini names no switch: no step calls the library, the script ends with
// 1, and its waits and command lines still run.
TEST(Startup, WithoutAnAddressNothingIsSwitchedAndTheRestRuns) {
  const struct {
    const char* what;
    std::string address;  // the IP line of ip.ini
  } cases[] = {
      {"no key IP", ""},
      {"IP empty", "IP=\r\n"},
      {"IP blanks", "IP=   \r\n"},
      {"IP blanks in quotes", "IP=\" \t \"\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (const wchar_t* arguments : {L"CMD1 1 1 W1 1 0", L"2 0 W1 1", L"1 1"}) {
      SCOPED_TRACE(FakePlatform().ToAnsi(arguments).value_or("?"));
      ScriptRun run(arguments, "[Qelmark]\r\n" + c.address + "SW1=1\r\nSW2=4\r\nCMD1=notepad.exe\r\n");
      EXPECT_TRUE(run.platform.calls.empty()) << run.platform.calls.front();
      EXPECT_EQ(run.platform.libraryLoads, 0);
      EXPECT_EQ(ExitCodeOf(run.outcome), 1);
      const bool waits = std::wstring(arguments).find(L'W') != std::wstring::npos;
      EXPECT_EQ(run.platform.sleptMilliseconds, waits ? 1000 : 0);
      EXPECT_EQ(run.platform.started.size(), std::wstring(arguments).find(L"CMD1") == 0 ? 1u : 0u);
    }
  }
}

TEST(Startup, ProgramThatCannotStartIsSkipped) {
  ScriptRun run(L"CMD1 CMD0", kIni, [](FakePlatform& platform) { platform.startablePrograms = {L"calc.exe"}; });
  EXPECT_TRUE(run.outcome.anyStatementFailed);
  EXPECT_EQ(run.platform.started, (std::vector<std::wstring>{L"calc.exe"}));
}

TEST(Startup, StatementsThatNeedAnIniPathTheCodePageCannotHoldFail) {
  ScriptRun run(L"1 1 CMD1", kIni, [](FakePlatform& platform) {
    platform.outsideCodePage = L"Ω";
    platform.executableDirectory = L"C:\\Ωmega";
    platform.files["C:\\Omega\\ip.ini"] = kIni;  // the look-alike path: never read
  });
  EXPECT_TRUE(run.outcome.anyStatementFailed);
  EXPECT_EQ(ExitCodeOf(run.outcome), 1);
  EXPECT_TRUE(run.platform.calls.empty());
  EXPECT_TRUE(run.platform.started.empty());
}

TEST(Startup, FillingTheWindowFailureIsDropped) {
  ScriptRun run(L"", kIni, {}, [] { throw RuntimeError(ErrorKind::kLibraryNotFound, "socket.dll"); });
  EXPECT_EQ(run.outcome.mode, StartMode::kWindow);
  EXPECT_EQ(run.windowFillings, 1);
}

// A failure that nothing expects stops the script there, with a line and
// exit code 1, like any other failure; it does not end qel through abort.
TEST(Startup, AnUnexpectedFailureStopsTheScriptWithItsLineAndOne) {
  struct ThrowingPlatform : FakePlatform {
    std::function<void()> onSleep;
    void SleepThenPumpEvents(int) override { onSleep(); }
  };
  const struct {
    const char* what;
    std::function<void()> onSleep;
    std::wstring line;
  } cases[] = {
      {"out of memory", [] { throw std::bad_alloc(); }, L"qel: 処理を中断: メモリが足りない"},
      {"an error qel does not expect", [] { throw std::logic_error("no"); }, L"qel: 処理を中断: 予期しないエラー"},
      {"not even an exception", [] { throw 5; }, L"qel: 処理を中断: 予期しないエラー"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ThrowingPlatform platform;
    platform.onSleep = c.onSleep;
    platform.argumentText = L"1 1 W1 2 1";
    platform.SetIni(kIni);
    SwitchLibrary library(platform);
    StartOutcome outcome;
    ASSERT_NO_THROW(outcome = RunStartup(library, [] {}));
    EXPECT_EQ(outcome.mode, StartMode::kScript);
    EXPECT_EQ(ExitCodeOf(outcome), 1);
    EXPECT_EQ(platform.errorLines, std::vector<std::wstring>{c.line});
    // The switch and its check's read, then nothing: the wait stopped it.
    EXPECT_EQ(std::count(platform.calls.begin(), platform.calls.end(), "transfer 1"), 1)
        << "a step after the failure ran";
    EXPECT_EQ(platform.calls.back(), "receivep6") << "a step after the failure ran";
  }
}

TEST(WaitSeconds, SlicesOfAHundredMilliseconds) {
  FakePlatform platform;
  WaitSeconds(platform, 3);
  EXPECT_EQ(platform.sleepCount, 30);
  WaitSeconds(platform, 0);
  WaitSeconds(platform, -5);
  EXPECT_EQ(platform.sleepCount, 30);
  EXPECT_THROW(WaitSeconds(platform, 3277), RuntimeError);
  EXPECT_EQ(platform.sleepCount, 30);
  WaitSeconds(platform, 3276);
  EXPECT_EQ(platform.sleepCount, 30 + 32760);
}

}  // namespace
}  // namespace qel
