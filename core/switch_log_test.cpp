#include "core/switch_log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/command_script.h"
#include "testing/fake_platform.h"

namespace qel {
namespace {

constexpr char kBom[] = "\xEF\xBB\xBF";
constexpr char kIni[] = "[Qelmark]\r\nIP=10.0.0.9\r\nSW1=1\r\nSW2=4\r\nCMD1=calc.exe /x\r\nCMD2=\r\nLOG=qel.log\r\n";
constexpr char kLog[] = "C:\\qel\\qel.log";

TEST(LogLine, TimeWithItsOffsetThenTabSeparatedFields) {
  const struct {
    LocalTime time;
    LogMode mode;
    LogEntry entry;
    std::string line;
  } cases[] = {
      {{2026, 12, 11, 9, 5, 7, 540}, LogMode::kScript, {L"192.168.1.10", L"2", L"on", L"confirmed"},
       "2026-12-11T09:05:07+09:00\ttaro\tscript\t192.168.1.10\t2\ton\tconfirmed\r\n"},
      {{2027, 1, 2, 23, 59, 0, -210}, LogMode::kWindow, {L"sw", L"4", L"off", L"done"},
       "2027-01-02T23:59:00-03:30\ttaro\twindow\tsw\t4\toff\tdone\r\n"},
      {{2026, 6, 1, 0, 0, 0, 0}, LogMode::kScript, {L"", L"CMD1", L"a\tb\r\nc", L"failed: 起動できず"},
       "2026-06-01T00:00:00+00:00\ttaro\tscript\t\tCMD1\ta b  c\tfailed: \xE8\xB5\xB7\xE5\x8B\x95\xE3\x81\xA7\xE3\x81\x8D\xE3\x81\x9A\r\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LogLine(c.time, L"taro", c.mode, c.entry), c.line);
  }
}

TEST(LogPath, RelativeToQelsFolder) {
  EXPECT_EQ(LogPath(L"C:\\qel", L"qel.log"), L"C:\\qel\\qel.log");
  EXPECT_EQ(LogPath(L"C:\\", L"logs\\qel.log"), L"C:\\logs\\qel.log");
  EXPECT_EQ(LogPath(L"C:\\qel", L"D:\\logs\\qel.log"), L"D:\\logs\\qel.log");
  EXPECT_EQ(LogPath(L"C:\\qel", L"\\\\server\\share\\qel.log"), L"\\\\server\\share\\qel.log");
}

struct LoggedRun {
  explicit LoggedRun(const std::wstring& arguments, const std::string& ini = kIni) {
    platform.argumentText = arguments;
    platform.SetIni(ini);
    platform.status = 0;
    exitCode = ExitCodeOf(RunStartup(library, [] {}));
  }
  std::string Log() { return platform.files.count(kLog) ? platform.files[kLog] : "(none)"; }
  FakePlatform platform;
  SwitchLibrary library{platform};
  int exitCode = -1;
};

constexpr char kStart[] = "2026-12-11T09:05:07+09:00\ttaro\tscript\t";

// LOG=<file> turns the log on: one line for each switch, status query and
// command line started, what came of it included.
TEST(SwitchLog, AScriptLogsEachSwitchQueryAndCommandLine) {
  const std::string start = kStart;
  const struct {
    const wchar_t* arguments;
    std::string lines;
  } cases[] = {
      {L"2 1", start + "10.0.0.9\t2\ton\tconfirmed\r\n"},
      {L"2 1 W0 0", start + "10.0.0.9\t2\ton\tconfirmed\r\n" + start + "10.0.0.9\t2\toff\tconfirmed\r\n"},
      {L"? 1 2", start + "10.0.0.9\t1 2\t?\toff off\r\n"},
      // An outlet not reported: the first reason after the words.
      {L"? 1 7", start + "10.0.0.9\t1 7\t?\toff unknown: " +
                     *FakePlatform().ToAnsi(L"状態不明: SW7 がない (コンセントの番号は 1～4)") + "\r\n"},
      {L"CMD1 CMD2", start + "\tCMD1\tcalc.exe /x\tstarted\r\n" + start +
                         "\tCMD2\t\tfailed: \xE8\xB5\xB7\xE5\x8B\x95\xE3\x81\xA7\xE3\x81\x8D\xE3\x81\x9A: CMD2 "
                         "\xE3\x81\x8C\xE7\xA9\xBA\r\n"},  // 起動できず: CMD2 が空
      {L"5 1", start + "10.0.0.9\t5\ton\tfailed: " +
                   *FakePlatform().ToAnsi(L"切替できず: SW5 がない (コンセントの番号は 1～4)") + "\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(FakePlatform().ToAnsi(c.arguments).value_or("?"));
    LoggedRun run(c.arguments);
    EXPECT_EQ(run.Log(), kBom + c.lines);
  }
  // Switched without a check.
  LoggedRun unchecked(L"1 1", std::string(kIni) + "CONFIRM=0\r\n");
  EXPECT_EQ(unchecked.Log(), kBom + start + "10.0.0.9\t1\ton\tdone\r\n");
}

TEST(SwitchLog, NotConfirmedSaysWhy) {
  FakePlatform platform;
  platform.argumentText = L"1 1";
  platform.SetIni(std::string(kIni) + "CONFIRM=1\r\n");
  platform.transferShowsAfter = -1;
  SwitchLibrary library(platform);
  EXPECT_EQ(ExitCodeOf(RunStartup(library, [] {})), 1);
  EXPECT_EQ(platform.files[kLog], kBom + std::string(kStart) + "10.0.0.9\t1\ton\tnot confirmed: " +
                                      *platform.ToAnsi(L"切替を確認できず: オフのまま (1 秒)") + "\r\n");
}

// Without LOG nothing is written anywhere.
TEST(SwitchLog, OffWithoutTheKey) {
  LoggedRun run(L"2 1 W0 ? CMD1", "[Qelmark]\r\nIP=10.0.0.9\r\nSW2=4\r\nCMD1=calc.exe\r\n");
  EXPECT_EQ(run.platform.files.size(), 1u);  // ip.ini alone
}

// Appended to what is there; at its limit the file becomes <file>.1, the
// older one replaced, and a new file begins with its byte-order mark.
TEST(SwitchLog, AFileAtItsLimitIsRenamedAndANewOneBegins) {
  const std::string line = std::string(kStart) + "10.0.0.9\t2\ton\tconfirmed\r\n";
  const std::string old = kBom + std::string(kLogLimitBytes - line.size() - 3, 'x');
  {
    FakePlatform platform;
    platform.argumentText = L"2 1";
    platform.SetIni(kIni);
    platform.files[kLog] = old;  // exactly one line short of the limit
    SwitchLibrary library(platform);
    RunStartup(library, [] {});
    EXPECT_EQ(platform.files[kLog], old + line);
    EXPECT_EQ(platform.files[kLog].size(), kLogLimitBytes);
    EXPECT_EQ(platform.files.count(std::string(kLog) + ".1"), 0u);
  }
  FakePlatform platform;
  platform.argumentText = L"2 1";
  platform.SetIni(kIni);
  platform.files[kLog] = old + "y";  // one byte more: the line would pass the limit
  platform.files[std::string(kLog) + ".1"] = "older";
  SwitchLibrary library(platform);
  RunStartup(library, [] {});
  EXPECT_EQ(platform.files[std::string(kLog) + ".1"], old + "y");
  EXPECT_EQ(platform.files[kLog], kBom + line);
}

// A log that cannot be written stops nothing: the script says so once on
// standard error, and its exit code is what the switching earned.
TEST(SwitchLog, ALogThatCannotBeWrittenIsSaidOnceAndStopsNothing) {
  FakePlatform platform;
  platform.argumentText = L"2 1 W0 0 CMD1";
  platform.SetIni(kIni);
  platform.readOnlyFiles.insert(kLog);
  SwitchLibrary library(platform);
  EXPECT_EQ(ExitCodeOf(RunStartup(library, [] {})), 0);
  EXPECT_EQ(platform.errorLines, std::vector<std::wstring>{L"qel: LOG: 記録できず: C:\\qel\\qel.log: Access denied. (5)"});
  EXPECT_EQ(platform.status, 0);  // on, then off: both switched
  EXPECT_EQ(platform.started.size(), 1u);
}

}  // namespace
}  // namespace qel
