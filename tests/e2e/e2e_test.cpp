// The real qel.exe in a folder of its own beside the simulated switch, run
// with exact argument texts and checked by the switch's word, its journal,
// the exit code and the programs it started.
//
// Arguments: qel.exe, the simulated socket.dll and echoargs.exe; Unix paths
// are taken as Wine paths on drive Z:.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "testing/windows_test_files.h"
#include "tests/qel_folder.h"
#include "win32/owned_handle.h"

namespace {

using namespace qel_test;

std::wstring gEchoArgs;

// The test's folder with qel.exe, the simulated socket.dll, echoargs.exe and
// an ip.ini.
class QelFolder : public QelFolderTest {
 protected:
  QelFolder() : QelFolderTest(L"qel-e2e-") {}
  void SetUp() override {
    QelFolderTest::SetUp();
    ASSERT_TRUE(CopyFileW(gEchoArgs.c_str(), (dir_ + L"\\echoargs.exe").c_str(), FALSE));
    WriteAll(Ini(), "[Qelmark]\r\nIP=192.168.1.10\r\nSW1=1\r\nSW2=4\r\nSW3=32\r\nSW4=128\r\nCMD1=\r\nCMD2=\r\nCMD3=\r\n");
  }

  // Runs qel.exe with exactly this argument text; returns its exit code.
  DWORD RunQel(const std::wstring& arguments, const std::wstring& currentDirectory = L"") {
    return RunQelIn(dir_, arguments, currentDirectory.empty() ? dir_ : currentDirectory);
  }

  // Starts the qel.exe of `folder` in `currentDirectory`; no process when it
  // cannot. With `output` and `error`, qel gets them as its standard output
  // and error, as cmd hands them over for ">out.txt 2>err.txt"; without,
  // it has none.
  qel::OwnedProcess StartQelIn(const std::wstring& folder, const std::wstring& arguments,
                               const std::wstring& currentDirectory, HANDLE output = nullptr,
                               HANDLE error = nullptr) {
    std::wstring commandLine = L"qel.exe " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    const bool redirected = output != nullptr || error != nullptr;
    if (redirected) {
      startup.dwFlags = STARTF_USESTDHANDLES;
      startup.hStdOutput = output;
      startup.hStdError = error;
    }
    PROCESS_INFORMATION information = {};
    const std::wstring exe = folder + L"\\qel.exe";
    qel::OwnedProcess process;
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, redirected, 0, nullptr,
                        currentDirectory.c_str(), &startup, &information)) {
      ADD_FAILURE() << "qel.exe did not start: " << GetLastError();
      return process;
    }
    process.Take(information);
    return process;
  }

  // Runs the qel.exe of `folder` in `currentDirectory`.
  DWORD RunQelIn(const std::wstring& folder, const std::wstring& arguments, const std::wstring& currentDirectory,
                 HANDLE output = nullptr, HANDLE error = nullptr) {
    const qel::OwnedProcess process = StartQelIn(folder, arguments, currentDirectory, output, error);
    if (!process.process) return 999;
    if (WaitForSingleObject(process.process.get(), 60000) != WAIT_OBJECT_0) {
      TerminateProcess(process.process.get(), 998);
      ADD_FAILURE() << "qel.exe did not end within 60 s";
    }
    DWORD code = 997;
    GetExitCodeProcess(process.process.get(), &code);
    return code;
  }

  // Runs qel.exe with its standard output and error each in a file of its
  // own; returns the exit code and what each file got.
  DWORD RunQelRedirected(const std::wstring& arguments, std::string& output, std::string& error) {
    SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
    const std::wstring outPath = dir_ + L"\\out.txt", errPath = dir_ + L"\\err.txt";
    DWORD code = 996;
    {
      const qel::OwnedHandle out(CreateFileW(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable,
                                             CREATE_ALWAYS, 0, nullptr));
      const qel::OwnedHandle err(CreateFileW(errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable,
                                             CREATE_ALWAYS, 0, nullptr));
      if (out.get() == INVALID_HANDLE_VALUE || err.get() == INVALID_HANDLE_VALUE) {
        ADD_FAILURE() << "no files for the output";
        return code;
      }
      code = RunQelIn(dir_, arguments, dir_, out.get(), err.get());
    }
    output = ReadAll(outPath);
    error = ReadAll(errPath);
    return code;
  }

  void SetWord(int word) { WriteAll(StatePath(), "192.168.1.10=" + std::to_string(word) + "\n"); }
  std::string State() { return ReadAll(StatePath()); }
  std::vector<std::string> Journal() { return JournalCalls(ReadAll(JournalPath())); }
  std::vector<std::string> Started() { return Lines(ReadAll(dir_ + L"\\echoargs.log")); }
};

using JournalLines = std::vector<std::string>;

struct ScriptCase {
  const wchar_t* arguments;
  int wordBefore;
  int wordAfter;
  JournalLines journal;
  DWORD exitCode;
};

TEST_F(QelFolder, CommandScripts) {
  const ScriptCase cases[] = {
      // Each switch is confirmed by a read of the status word after it.
      {L"2 0 W1 1", 5, 5,
       {"setip 192.168.1.10 -> 0", "receivep6 -> 5", "cleandata 1 -> 1", "transfer 1 -> 1", "receivep6 -> 1",
        "setip 192.168.1.10 -> 0", "receivep6 -> 1", "setdata 5 -> 5", "transfer 5 -> 5", "receivep6 -> 5"},
       0},
      {L"3 1", 1, 33,
       {"setip 192.168.1.10 -> 0", "receivep6 -> 1", "setdata 33 -> 33", "transfer 33 -> 33", "receivep6 -> 33"}, 0},
      // A state that is not a number switches nothing: the switch is not
      // even asked.
      {L"1 on", 1, 1, {}, 1},
      {L"1 0x1", 1, 1, {}, 1},
      // Command lines as cmd passes them: it removes a redirection but keeps
      // the blank before it ("qel.exe 2 1 >>log.txt 2>&1"). The empty
      // tokens of blanks are no step and no failure.
      {L"2 1 ", 0, 4,
       {"setip 192.168.1.10 -> 0", "receivep6 -> 0", "setdata 4 -> 4", "transfer 4 -> 4", "receivep6 -> 4"}, 0},
      {L"2 0 W1 1 ", 5, 5,
       {"setip 192.168.1.10 -> 0", "receivep6 -> 5", "cleandata 1 -> 1", "transfer 1 -> 1", "receivep6 -> 1",
        "setip 192.168.1.10 -> 0", "receivep6 -> 1", "setdata 5 -> 5", "transfer 5 -> 5", "receivep6 -> 5"},
       0},
      {L"1  1", 0, 1,
       {"setip 192.168.1.10 -> 0", "receivep6 -> 0", "setdata 1 -> 1", "transfer 1 -> 1", "receivep6 -> 1"}, 0},
      // Still two tokens, so a script, whose lone outlet number cannot act.
      {L"1 ", 1, 1, {}, 1},
      {L"3 x ", 1, 1, {}, 1},
      // No outlet number, or no state in 16 bits: nothing switches.
      {L"x 1", 1, 1, {}, 1},
      {L"1 40000", 1, 1, {}, 1},
      // Two outlets cannot be switched by one script: the fourth number does
      // nothing, and the exit code says so.
      {L"1 1 2 0", 0, 1,
       {"setip 192.168.1.10 -> 0", "receivep6 -> 0", "setdata 1 -> 1", "transfer 1 -> 1", "receivep6 -> 1",
        "setip 192.168.1.10 -> 0", "receivep6 -> 1", "setdata 1 -> 1", "transfer 1 -> 1", "receivep6 -> 1"},
       1},
      // An outlet number with no state.
      {L"W0 3", 1, 1, {}, 1},
      {L"sw1 1", 0, 0, {}, 1},
      // Full-width digits, as an IME types them.
      {L"１ １", 0, 1,
       {"setip 192.168.1.10 -> 0", "receivep6 -> 0", "setdata 1 -> 1", "transfer 1 -> 1", "receivep6 -> 1"}, 0},
      // Off clears bits 8 to 15 as well.
      {L"4 0", 384, 0,
       {"setip 192.168.1.10 -> 0", "receivep6 -> 384", "cleandata 0 -> 0", "transfer 0 -> 0", "receivep6 -> 0"}, 0},
      {L"5 1", 0, 0, {}, 1},
  };
  for (const ScriptCase& c : cases) {
    SCOPED_TRACE(Narrow(L"arguments [" + std::wstring(c.arguments) + L"]"));
    SetWord(c.wordBefore);
    DeleteFileW((dir_ + L"\\switch.journal").c_str());
    EXPECT_EQ(RunQel(c.arguments), c.exitCode);
    EXPECT_EQ(State(), "192.168.1.10=" + std::to_string(c.wordAfter) + "\n");
    EXPECT_EQ(Journal(), c.journal);
  }
}

// A script that waits still takes the messages sent to it: it looks at its
// message queue between the slices of the wait, and so has one for others
// to post to.
TEST_F(QelFolder, AWaitingScriptTakesItsMessages) {
  SetWord(0);
  const qel::OwnedProcess process = StartQelIn(dir_, L"W4 1 1", dir_);
  ASSERT_TRUE(process.process);
  const DWORD thread = GetThreadId(process.thread.get());
  bool posted = false;
  for (int i = 0; i < 30 && !posted; ++i) {
    posted = PostThreadMessageW(thread, WM_NULL, 0, 0);
    if (!posted) Sleep(100);
  }
  EXPECT_TRUE(posted) << "no message queue while it waits";
  EXPECT_EQ(WaitForSingleObject(process.process.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "the wait was cut short";
  EXPECT_EQ(State(), "192.168.1.10=0\n") << "switched before the wait ended";
  ASSERT_EQ(WaitForSingleObject(process.process.get(), 60000), static_cast<DWORD>(WAIT_OBJECT_0));
  DWORD code = 997;
  GetExitCodeProcess(process.process.get(), &code);
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(State(), "192.168.1.10=1\n");
}

// All five functions of the library called from qel.exe, each with its
// arguments as qel passes them: the address text, and words whose upper 16
// bits are set (sign-extended from 16 bits), so that every byte of each
// argument shows in the journal. qel checks the stack pointer around every
// call and fails the switch when the pointer did not come back where
// __stdcall leaves it: exit code 0 says each call kept it. Each call is
// made with the stack pointer a multiple of 16, as GCC's code counts on:
// the simulated switch notes any other ("! stack 4 off 16") in its
// journal, which this test and every other that reads the journal whole
// would see. A library whose setdata removes none of its argument (cdecl)
// leaves it off: that switch stops after setdata, before anything is sent.
TEST_F(QelFolder, EveryLibraryFunctionGetsItsArgumentsIntactAndKeepsTheStack) {
  // Mask 0xFF01. Switched off, the word keeps bits 8 to 15, which this mask
  // names too: the outlet still reads on, so no check here (CONFIRM=0).
  WriteAll(Ini(), "[Qelmark]\r\nIP=10.20.30.40\r\nSW1=-255\r\nCONFIRM=0\r\n");
  const std::wstring builtDir = gSocket.substr(0, gSocket.find_last_of(L'\\'));
  struct Case {
    const char* library;
    const wchar_t* path;
    DWORD exitCode;
    JournalLines journal;
    int wordAfter;
  };
  const Case cases[] = {
      // On: 2 | 0xFF01 = 0xFF03; off: 0xFF03 & (0xFF01 ^ 255) = 0xFF02.
      {"__stdcall, as socket.dll", nullptr, 0,
       {"setip 10.20.30.40 -> 0", "receivep6 -> 2", "setdata -253 -> -253", "transfer -253 -> -253",
        "setip 10.20.30.40 -> 0", "receivep6 -> -253", "cleandata -254 -> -254", "transfer -254 -> -254"},
       -254},
      {"setdata removes no argument", L"cdecl-setdata", 1,
       {"setip 10.20.30.40 -> 0", "receivep6 -> 2", "setdata -253 -> -253",
        "setip 10.20.30.40 -> 0", "receivep6 -> 2", "cleandata 2 -> 2", "transfer 2 -> 2"},
       2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.library);
    const std::wstring library = c.path ? builtDir + L"\\" + c.path + L"\\socket.dll" : gSocket;
    ASSERT_TRUE(CopyFileW(library.c_str(), (dir_ + L"\\socket.dll").c_str(), FALSE));
    WriteAll(StatePath(), "10.20.30.40=2\n");
    DeleteFileW(JournalPath().c_str());
    EXPECT_EQ(RunQel(L"1 1 0"), c.exitCode);
    EXPECT_EQ(Journal(), c.journal);
    EXPECT_EQ(State(), "10.20.30.40=" + std::to_string(c.wordAfter) + "\n");
  }
}

TEST_F(QelFolder, CommandLineStartsAProgramWithANormalWindow) {
  // (A value that ends in a quote mark would lose its enclosing quotes.)
  WriteAll(dir_ + L"\\ip.ini", "[Qelmark]\r\nCMD1=\"" + Narrow(dir_) + "\\echoargs.exe\" \"a b\" --from-qel\r\n");
  EXPECT_EQ(RunQel(L"CMD1 W0"), 0u);
  // The started program is not waited for: give it a moment to write.
  for (int i = 0; i < 50 && Started().empty(); ++i) Sleep(100);
  const std::string expected = "\"" + Narrow(dir_) + "\\echoargs.exe\" \"a b\" --from-qel\t" +
                               std::to_string(SW_SHOWNORMAL);
  EXPECT_EQ(Started(), std::vector<std::string>{expected});
}

TEST_F(QelFolder, ProgramThatCannotStartFailsTheScript) {
  WriteAll(dir_ + L"\\ip.ini", "[Qelmark]\r\nCMD1=no-such-program.exe\r\nCMD2=\"" + Narrow(dir_) + "\\ip.ini\"\r\n");
  EXPECT_EQ(RunQel(L"CMD1 CMD3"), 1u);  // missing program, empty line
  EXPECT_EQ(RunQel(L"CMD2 W0"), 1u);    // a document is not opened
}

// A switch that does not answer: each call into the library is held to
// 10 s, and one past it ends the script with exit code 2 right there, the
// outlet's state unknown; nothing after it runs (the journal stops at the
// hung call, though the script goes on). A wait is no call: one longer
// than the limit runs whole. A slow call within the limit is no failure.
TEST_F(QelFolder, ACallPastTheLimitEndsTheScriptWithTwoAndNothingAfterIt) {
  const struct {
    const wchar_t* fault;  // QELSIM_FAULT
    const wchar_t* arguments;
    DWORD exitCode;
    JournalLines journal;
    DWORD atLeastMs;  // the limit, and the waits before the call
  } cases[] = {
      {L"receivep6=hang", L"1 1 W0 1 0 CMD1", 2, {"setip 192.168.1.10 -> 0", "receivep6 hangs"}, 10000},
      {L"transfer=hang", L"W11 1 1 W0 1 0",
       2,
       {"setip 192.168.1.10 -> 0", "receivep6 -> 0", "setdata 1 -> 1", "transfer 1 hangs"},
       21000},
      {L"setip=hang", L"CMD1 W1 2 0 W0 2 1", 2, {"setip 192.168.1.10 hangs"}, 11000},
      {L"receivep6=slow2000", L"1 1", 0,
       {"setip 192.168.1.10 -> 0", "receivep6 -> 0", "setdata 1 -> 1", "transfer 1 -> 1", "receivep6 -> 1"}, 4000},
  };
  WriteAll(Ini(), "[Qelmark]\r\nIP=192.168.1.10\r\nSW1=1\r\nSW2=4\r\nCMD1=\"" + Narrow(dir_) +
                      "\\echoargs.exe\" started\r\n");
  for (const auto& c : cases) {
    SCOPED_TRACE(Narrow(std::wstring(c.fault) + L", arguments [" + c.arguments + L"]"));
    SetWord(0);
    DeleteFileW(JournalPath().c_str());
    DeleteFileW((dir_ + L"\\echoargs.log").c_str());
    SetEnvironmentVariableW(L"QELSIM_FAULT", c.fault);
    const DWORD started = GetTickCount();
    EXPECT_EQ(RunQel(c.arguments), c.exitCode);
    EXPECT_GE(GetTickCount() - started, c.atLeastMs) << "the call or a wait was cut short";
    SetEnvironmentVariableW(L"QELSIM_FAULT", nullptr);
    EXPECT_EQ(Journal(), c.journal);
    EXPECT_EQ(State(), "192.168.1.10=" + std::string(c.exitCode == 0 ? "1" : "0") + "\n");
    // Only a CMD1 before the hung call started (its program writes its
    // line on its own, so it is given a moment).
    const bool startedBefore = std::wstring(c.arguments).rfind(L"CMD1", 0) == 0;
    for (int i = 0; i < (startedBefore ? 50 : 20) && Started().empty(); ++i) Sleep(100);
    EXPECT_EQ(Started().size(), startedBefore ? 1u : 0u);
  }
}

// A socket.dll whose loading never ends (its DllMain never returns): the
// load is the first call, held to the limit like any other. The script ends
// with 2 and its one line, written whole, whether standard error is a file
// of its own ("2>err.txt") or shares one with standard output, appended to
// (">>log.txt 2>&1").
TEST_F(QelFolder, ALibraryThatHangsWhileItLoadsEndsTheScriptWithTwoAndItsLine) {
  const std::wstring hanging = gSocket.substr(0, gSocket.find_last_of(L'\\')) + L"\\..\\hanging-switch\\socket.dll";
  ASSERT_TRUE(CopyFileW(hanging.c_str(), (dir_ + L"\\socket.dll").c_str(), FALSE));
  const std::string line = Narrow(L"qel: 1 1: 切替できず: スイッチが応答しない (10 秒)\r\n", GetACP());
  SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
  const std::wstring logPath = dir_ + L"\\log.txt";
  for (const bool shared : {false, true}) {
    SCOPED_TRACE(shared ? ">>log.txt 2>&1" : "2>log.txt");
    WriteAll(logPath, "before\r\n");
    DWORD code = 0;
    {
      const qel::OwnedHandle log(CreateFileW(logPath.c_str(), shared ? FILE_APPEND_DATA : GENERIC_WRITE,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                             shared ? OPEN_EXISTING : CREATE_ALWAYS, 0, nullptr));
      ASSERT_NE(log.get(), INVALID_HANDLE_VALUE);
      code = RunQelIn(dir_, L"1 1", dir_, shared ? log.get() : nullptr, log.get());
    }
    EXPECT_EQ(code, 2u);
    EXPECT_EQ(ReadAll(logPath), (shared ? "before\r\n" : "") + line);
  }
  // With a switch log, the watchdog's last words put "no answer" in it:
  // nothing they need waits for the loader that the hung load holds.
  WriteAll(Ini(), ReadAll(Ini()) + "LOG=switch.log\r\n");
  std::string output, error;
  EXPECT_EQ(RunQelRedirected(L"1 1", output, error), 2u);
  EXPECT_EQ(error, line);
  EXPECT_NE(ReadAll(dir_ + L"\\switch.log").find("\tno answer: "), std::string::npos);
}

// A script's calls all come from one thread.
TEST_F(QelFolder, AScriptCallsTheLibraryFromOneThread) {
  SetWord(0);
  EXPECT_EQ(RunQel(L"1 1 W0 0"), 0u);
  const std::vector<std::string> threads = JournalThreads(ReadAll(JournalPath()));
  ASSERT_EQ(threads.size(), 10u);  // two switches, each confirmed by a read
  for (const std::string& thread : threads) EXPECT_EQ(thread, threads.front());
  EXPECT_NE(threads.front(), "");
}

TEST_F(QelFolder, WithoutTheLibraryNothingIsSentAndTheScriptFails) {
  DeleteFileW((dir_ + L"\\socket.dll").c_str());
  SetWord(1);
  EXPECT_EQ(RunQel(L"1 0 W0"), 1u);
  EXPECT_EQ(State(), "192.168.1.10=1\n");
}

// ip.ini names no switch: no step hands the library an empty address (the
// switch's journal stays empty: not even setip), the script ends with 1,
// and its wait and its command line still run.
TEST_F(QelFolder, WithoutAnAddressNothingIsSwitchedAndTheRestRuns) {
  const struct {
    const char* what;
    const char* address;  // the IP line of ip.ini
  } cases[] = {
      {"no key IP", ""},
      {"IP empty", "IP=\r\n"},
      {"IP blanks in quotes", "IP=\"  \"\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    WriteAll(Ini(), std::string("[Qelmark]\r\n") + c.address + "SW1=1\r\nSW2=4\r\nCMD1=\"" + Narrow(dir_) +
                        "\\echoargs.exe\" no-address\r\n");
    SetWord(0);
    DeleteFileW(JournalPath().c_str());
    DeleteFileW((dir_ + L"\\echoargs.log").c_str());
    const DWORD started = GetTickCount();
    EXPECT_EQ(RunQel(L"CMD1 W1 1 1 2 0"), 1u);
    EXPECT_GE(GetTickCount() - started, 1000u) << "the wait did not run";
    EXPECT_EQ(Journal(), JournalLines{}) << "the library was called";
    EXPECT_EQ(State(), "192.168.1.10=0\n");
    for (int i = 0; i < 50 && Started().empty(); ++i) Sleep(100);
    ASSERT_EQ(Started().size(), 1u) << "CMD1 did not start";
    EXPECT_EQ(Started()[0].substr(Started()[0].size() - std::string("no-address\t1").size()), "no-address\t1");
  }
}

TEST_F(QelFolder, LibraryInTheCurrentDirectoryIsNotLoaded) {
  // The simulated switch sits only in the folder the process starts in.
  const std::wstring elsewhere = dir_ + L"\\start-here";
  CreateDirectoryW(elsewhere.c_str(), nullptr);
  ASSERT_TRUE(MoveFileW((dir_ + L"\\socket.dll").c_str(), (elsewhere + L"\\socket.dll").c_str()));
  SetWord(1);
  EXPECT_EQ(RunQel(L"1 0", elsewhere), 1u);
  EXPECT_TRUE(Journal().empty());
  EXPECT_EQ(State(), "192.168.1.10=1\n");
}

// Loading the library changes nothing of the process: the DLL directory,
// which a program that a CMD line starts meanwhile would inherit, stays as
// it was (none) while socket.dll loads.
TEST_F(QelFolder, LoadingTheLibraryLeavesTheDllDirectoryAlone) {
  const std::wstring probe =
      gSocket.substr(0, gSocket.find_last_of(L'\\')) + L"\\..\\dll-directory-probe\\socket.dll";
  ASSERT_TRUE(CopyFileW(probe.c_str(), (dir_ + L"\\socket.dll").c_str(), FALSE));
  const std::wstring report = dir_ + L"\\dll-directory.txt";
  DeleteFileW(report.c_str());
  // Off: the probe's word, 0, shows it at once to the check after the switch.
  EXPECT_EQ(RunQel(L"1 0"), 0u);
  ASSERT_NE(GetFileAttributesW(report.c_str()), INVALID_FILE_ATTRIBUTES) << "socket.dll was not loaded";
  EXPECT_EQ(ReadAll(report), "");
}

// qel in a folder whose name the ANSI code page (1252) cannot hold: its
// ip.ini has no path qel can use, so statements that need it fail, and the
// look-alike folder's ip.ini ("Omega" for "Ωmega") is never read.
TEST_F(QelFolder, AnIniPathTheCodePageCannotHoldIsNoPath) {
  ASSERT_EQ(GetACP(), 1252u) << "this case needs the default locale (ANSI code page 1252)";
  const std::wstring folder = dir_ + L"\\\u03A9mega";
  const std::wstring lookAlike = dir_ + L"\\Omega";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(lookAlike.c_str(), nullptr));
  ASSERT_TRUE(CopyQelInto(folder));
  ASSERT_TRUE(CopyFileW(gEchoArgs.c_str(), (folder + L"\\echoargs.exe").c_str(), FALSE));
  const std::string ini = "[Qelmark]\r\nIP=192.168.1.10\r\nSW1=1\r\nCMD1=\"" + Narrow(folder) + "\\echoargs.exe\"\r\n";
  WriteAll(lookAlike + L"\\ip.ini", ini);
  WriteAll(folder + L"\\ip.ini", ini);  // qel cannot name it to the profile functions either

  EXPECT_EQ(RunQelIn(folder, L"1 1 CMD1", folder), 1u);
  EXPECT_TRUE(Journal().empty()) << "the switch was called";
  Sleep(500);
  EXPECT_EQ(ReadAll(folder + L"\\echoargs.log"), "") << "CMD1 was read from somewhere";
  EXPECT_EQ(ReadAll(lookAlike + L"\\ip.ini"), ini);
}

// Faults a script meets: it must end (RunQel fails after 60 s), never stop
// on a dialog, and report any skipped step in its exit code.
struct LibraryFaultCase {
  const char* what;
  const wchar_t* variant;  // folder of a socket.dll variant, or nullptr
  const wchar_t* fault;    // QELSIM_FAULT, or nullptr
  const wchar_t* arguments;
  DWORD exitCode;
  int wordAfter;  // from 1 before
  std::optional<JournalLines> journal = std::nullopt;  // what reached the switch, where it tells
};

TEST_F(QelFolder, LibraryFaultTable) {
  const LibraryFaultCase cases[] = {
      {"no setip", L"missing-setip", nullptr, L"1 0", 1, 1},
      {"no receivep6", L"missing-receivep6", nullptr, L"1 0", 1, 1},
      {"no setdata", L"missing-setdata", nullptr, L"3 1", 1, 1},
      {"no cleandata", L"missing-cleandata", nullptr, L"1 0", 1, 1},
      // The word is staged, never sent.
      {"no transfer", L"missing-transfer", nullptr, L"3 1", 1, 1,
       JournalLines{"setip 192.168.1.10 -> 0", "receivep6 -> 1", "setdata 33 -> 33"}},
      // setip's result is never looked at.
      {"setip out of range", nullptr, L"setip=range", L"3 1", 0, 33},
      // Nothing is staged after a status word out of range.
      {"receivep6 out of range", nullptr, L"receivep6=range", L"3 1", 1, 1,
       JournalLines{"setip 192.168.1.10 -> 0", "receivep6 -> 70000"}},
      {"setdata out of range: staged, not sent", nullptr, L"setdata=range", L"3 1", 1, 1},
      {"cleandata out of range: staged, not sent", nullptr, L"cleandata=range", L"1 0", 1, 1},
      // The switch took the word; only its answer was out of range.
      {"transfer out of range", nullptr, L"transfer=range", L"3 1", 1, 33},
      {"a slow switch is waited for", nullptr, L"receivep6=slow1500", L"3 1", 0, 33},
  };
  const std::wstring builtDir = gSocket.substr(0, gSocket.find_last_of(L'\\'));
  for (const LibraryFaultCase& c : cases) {
    SCOPED_TRACE(c.what);
    const std::wstring library = c.variant ? builtDir + L"\\" + c.variant + L"\\socket.dll" : gSocket;
    ASSERT_TRUE(CopyFileW(library.c_str(), (dir_ + L"\\socket.dll").c_str(), FALSE));
    SetEnvironmentVariableW(L"QELSIM_FAULT", c.fault);
    SetWord(1);
    DeleteFileW(JournalPath().c_str());
    EXPECT_EQ(RunQel(c.arguments), c.exitCode);
    EXPECT_EQ(State(), "192.168.1.10=" + std::to_string(c.wordAfter) + "\n");
    if (c.journal) {
      EXPECT_EQ(Journal(), *c.journal);
    }
  }
}

struct SettingsFaultCase {
  const char* what;
  std::string ini;  // empty: no ip.ini
  DWORD exitCode;
  int wordAfter;  // from 1 before, after "3 1"
};

TEST_F(QelFolder, SettingsFileFaultTable) {
  const std::string good = "[Qelmark]\r\nIP=192.168.1.10\r\nSW3=32\r\n";
  std::string big;
  for (int i = 0; big.size() < 10 * 1024 * 1024; ++i) big += "[s" + std::to_string(i) + "]\r\nkey=" + std::string(60, 'v') + "\r\n";
  std::string junk(4096, '\0');
  for (std::size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<char>((i * 7919 + 13) % 256);
  // The same settings in UTF-16 with its byte-order mark, as Notepad saves it.
  std::string utf16 = "\xFF\xFE";
  for (char c : good) utf16 += std::string{c, '\0'};
  const SettingsFaultCase cases[] = {
      {"no ip.ini", "", 1, 1},
      {"empty ip.ini", "\r\n", 1, 1},
      {"10 MB ip.ini, ours at the end", big + good, 0, 33},
      {"binary junk", junk, 1, 1},
      {"junk around our section", junk + "\r\n" + good + junk, 0, 33},
      {"UTF-16 with byte-order mark", utf16, 0, 33},
  };
  for (const SettingsFaultCase& c : cases) {
    SCOPED_TRACE(c.what);
    DeleteFileW((dir_ + L"\\ip.ini").c_str());
    if (!c.ini.empty()) WriteAll(dir_ + L"\\ip.ini", c.ini);
    SetWord(1);
    EXPECT_EQ(RunQel(L"3 1"), c.exitCode);
    EXPECT_EQ(State(), "192.168.1.10=" + std::to_string(c.wordAfter) + "\n");
    if (!c.ini.empty()) {
      EXPECT_EQ(ReadAll(dir_ + L"\\ip.ini"), c.ini);  // a script never writes it
    }
  }
  {
    SCOPED_TRACE("ip.ini is a folder");
    DeleteFileW((dir_ + L"\\ip.ini").c_str());
    ASSERT_TRUE(CreateDirectoryW((dir_ + L"\\ip.ini").c_str(), nullptr));
    SetWord(1);
    EXPECT_EQ(RunQel(L"3 1"), 1u);
    EXPECT_EQ(State(), "192.168.1.10=1\n");
  }
}

TEST_F(QelFolder, LongCommandLineIsCutTo1023Bytes) {
  const std::string program = "\"" + Narrow(dir_) + "\\echoargs.exe\" ";
  const std::string line = program + std::string(2000 - program.size(), 'x');
  WriteAll(dir_ + L"\\ip.ini", "[Qelmark]\r\nCMD3=" + line + "\r\n");
  EXPECT_EQ(RunQel(L"CMD3 W0"), 0u);
  for (int i = 0; i < 50 && Started().empty(); ++i) Sleep(100);
  EXPECT_EQ(Started(), std::vector<std::string>{line.substr(0, 1023) + "\t" + std::to_string(SW_SHOWNORMAL)});
}

struct ArgumentCase {
  const char* what;
  std::wstring arguments;
  DWORD exitCode;
  int wordAfter;  // from 1 before
};

TEST_F(QelFolder, ArgumentTextTable) {
  std::wstring thousand;
  for (int i = 0; i < 1000; ++i) thousand += (i % 2 ? L"1 " : L"3 ");
  std::wstring waits;
  while (waits.size() < 32000) waits += L"W0 ";
  const ArgumentCase cases[] = {
      {"a tab is not a separator", L"3\t1 1", 1, 1},
      {"quotes stay in the token", L"\"3\" 1", 1, 1},
      {"quoted outlet and state", L"\"3 1\"", 1, 1},
      // 3 1 switches outlet 3 on, then 3 (as a state) keeps it on; the 7th
      // and later numbers fail to store.
      {"1000 tokens", thousand, 1, 33},
      {"32 000 characters of waits", waits.substr(0, 32000), 0, 1},
      // (Blanks right after the program's name are not part of the text.)
      {"a word and blanks", L"x" + std::wstring(300, L' '), 1, 1},
  };
  for (const ArgumentCase& c : cases) {
    SCOPED_TRACE(c.what);
    SetWord(1);
    EXPECT_EQ(RunQel(c.arguments), c.exitCode);
    EXPECT_EQ(State(), "192.168.1.10=" + std::to_string(c.wordAfter) + "\n");
  }
}

// A script whose standard error is redirected writes one line for each
// failed step there, in Shift-JIS with CRLF, and nothing to its standard
// output; a script that did all it says writes nothing at all.
TEST_F(QelFolder, JapaneseReasonsOnStandardError) {
  ASSERT_EQ(GetACP(), 932u) << "this case needs the Japanese locale (LANG=ja_JP.UTF-8)";
  const std::string good = "[Qelmark]\r\nIP=192.168.1.10\r\nSW1=1\r\nSW2=4\r\nCMD1=\r\nCMD2=no-such-program.exe /x\r\n";
  const struct {
    const char* what;
    const wchar_t* arguments;
    std::string ini;
    bool library;
    std::wstring error;  // without its CRLF
  } cases[] = {
      {"no library", L"1 1", good, false,
       L"qel: 1 1: 切替できず: socket.dll を読み込めず: " + SystemErrorText(ERROR_MOD_NOT_FOUND) + L" (126)"},
      {"no key of the outlet", L"3 1", good, true, L"qel: 3 1: 切替できず: ip.ini に SW3 がない"},
      {"outlet 5", L"5 1", good, true, L"qel: 5 1: 切替できず: SW5 がない (コンセントの番号は 1～4)"},
      {"an empty mask", L"1 1", "[Qelmark]\r\nIP=192.168.1.10\r\nSW1=\r\n", true, L"qel: 1 1: 切替できず: SW1 が空"},
      {"mask 0", L"1 0", "[Qelmark]\r\nIP=192.168.1.10\r\nSW1=0\r\n", true,
       L"qel: 1 0: 切替できず: マスクが 0 (どのコンセントも選ばない)"},
      {"empty address", L"2 1 ", "[Qelmark]\r\nIP=\r\nSW2=4\r\n", true, L"qel: 2 1: 切替できず: IP が空"},
      {"bad mask", L"1 1", "[Qelmark]\r\nIP=192.168.1.10\r\nSW1=one\r\n", true,
       L"qel: 1 1: 切替できず: マスクが数値でない"},
      {"a command line that cannot start", L"CMD2 W0", good, true,
       L"qel: CMD2: 起動できず: CMD2 の「no-such-program.exe /x」: " + SystemErrorText(ERROR_FILE_NOT_FOUND) + L" (2)"},
      {"a number that cannot act", L"1 ", good, true, L"qel: 1: 切替できず: 状態の数値がない"},
      // A character Shift-JIS lacks is written as "?", not as a look-alike.
      {"a token the code page cannot hold", L"1 \u00e9", good, true, L"qel: ?: 切替できず: 数値でない"},
      {"a script that did all it says", L"2 1 ", good, true, L""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    WriteAll(Ini(), c.ini);
    if (c.library) {
      ASSERT_TRUE(CopyFileW(gSocket.c_str(), (dir_ + L"\\socket.dll").c_str(), FALSE));
    } else {
      DeleteFileW((dir_ + L"\\socket.dll").c_str());
    }
    SetWord(0);
    std::string output, error;
    EXPECT_EQ(RunQelRedirected(c.arguments, output, error), c.error.empty() ? 0u : 1u);
    EXPECT_EQ(output, "");
    EXPECT_EQ(Widen(error, 932), c.error.empty() ? L"" : c.error + L"\r\n") << Narrow(Widen(error, 932));
  }
  // A switch that does not answer: the step it hung in, before qel ends with
  // 2; nothing after it runs, so nothing more is said. Once the word was
  // being staged, the outlet may have switched.
  WriteAll(Ini(), good);
  for (const auto& [fault, line] : {
           std::pair{L"receivep6=hang", std::wstring(L"qel: 1 1: 切替できず: スイッチが応答しない (10 秒)")},
           std::pair{L"transfer=hang",
                     std::wstring(L"qel: 1 1: 切替できず: スイッチが応答しない (10 秒) (切り替わった可能性がある)")},
       }) {
    SCOPED_TRACE(Narrow(fault));
    SetEnvironmentVariableW(L"QELSIM_FAULT", fault);
    std::string output, error;
    EXPECT_EQ(RunQelRedirected(L"1 1 x CMD1", output, error), 2u);
    SetEnvironmentVariableW(L"QELSIM_FAULT", nullptr);
    EXPECT_EQ(Widen(error, 932), line + L"\r\n") << Narrow(Widen(error, 932));
  }
  // Every failure of one script, in its order.
  WriteAll(Ini(), "[Qelmark]\r\nIP=192.168.1.10\r\nSW1=1\r\nCMD1=\r\n");
  std::string output, error;
  EXPECT_EQ(RunQelRedirected(L"x CMD1 1 1 1 0", output, error), 1u);
  EXPECT_EQ(Widen(error, 932), L"qel: x: 切替できず: 数値でない\r\nqel: CMD1: 起動できず: CMD1 が空\r\n"
                               L"qel: 1 0: 切替できず: 4 つ目からの数値は使われない\r\n");
}

// Where the ANSI code page is UTF-8 (Windows' "Beta: Use Unicode UTF-8";
// under Wine a locale whose Windows locale has no ANSI code page of its
// own, such as Hindi), the reason lines are written whole in UTF-8: no
// character is lost to "?".
TEST_F(QelFolder, Utf8ReasonsOnStandardError) {
  ASSERT_EQ(GetACP(), 65001u) << "this case needs ANSI code page 65001 (LANG=hi_IN.UTF-8)";
  const struct {
    const char* what;
    const wchar_t* arguments;
    bool library;
    std::wstring error;  // without its CRLF
  } cases[] = {
      {"no library", L"1 1", false,
       L"qel: 1 1: 切替できず: socket.dll を読み込めず: " + SystemErrorText(ERROR_MOD_NOT_FOUND) + L" (126)"},
      {"a token of characters no other code page holds all of", L"1 \u00e9\u03A9\u6A5F",
       true, L"qel: \u00e9\u03A9\u6A5F: 切替できず: 数値でない"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (!c.library) DeleteFileW((dir_ + L"\\socket.dll").c_str());
    std::string output, error;
    EXPECT_EQ(RunQelRedirected(c.arguments, output, error), 1u);
    EXPECT_EQ(output, "");
    EXPECT_EQ(error, Narrow(c.error + L"\r\n", CP_UTF8));
  }
}

// "qel.exe ? ..." reads the switch once and writes on or off for each outlet
// named, in ASCII with CRLF, in the order named; it switches nothing. An
// outlet it cannot report is unknown, and the exit code 1.
TEST_F(QelFolder, StatusQueryForEachOutletAndAllFour) {
  const struct {
    const wchar_t* arguments;
    std::string output;
    DWORD exitCode;
  } cases[] = {
      {L"? 1", "on\r\n", 0},
      {L"? 2", "off\r\n", 0},
      {L"? 3", "on\r\n", 0},
      {L"? 4", "off\r\n", 0},
      {L"? 1 2 3 4", "on\r\noff\r\non\r\noff\r\n", 0},
      {L"? 4 3 ", "off\r\non\r\n", 0},  // as cmd hands over "qel.exe ? 4 3 | find ..."
      {L"? 2 5", "off\r\nunknown\r\n", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Narrow(c.arguments));
    SetWord(1 | 32);
    DeleteFileW(JournalPath().c_str());
    std::string output, error;
    EXPECT_EQ(RunQelRedirected(c.arguments, output, error), c.exitCode);
    EXPECT_EQ(output, c.output);
    EXPECT_EQ(error.empty(), c.exitCode == 0) << error;
    EXPECT_EQ(Journal(), (JournalLines{"setip 192.168.1.10 -> 0", "receivep6 -> 33"}));
    EXPECT_EQ(State(), "192.168.1.10=33\n");
  }
}

// A switch is read back after transfer: at once, then every half second
// until it shows, for up to CONFIRM seconds. A switch whose outlets change
// late is confirmed once they have; one that ignores transfer never is
// (exit code 1); a read that hangs is a switch that does not answer (2).
TEST_F(QelFolder, EachSwitchIsConfirmedByReadingItBack) {
  const struct {
    const char* what;
    const wchar_t* fault;
    std::string confirm;  // a CONFIRM line for ip.ini
    DWORD exitCode;
    int wordAfter;
    DWORD atLeastMs;
    std::size_t readsAfterTransfer;  // 0: at least two
  } cases[] = {
      {"confirmed at once", nullptr, "", 0, 4, 0, 1},
      {"confirmed after a slow change", L"transfer=late1500", "", 0, 4, 1500, 0},
      {"never confirmed", L"transfer=ignore", "CONFIRM=2\r\n", 1, 0, 2000, 5},
      {"no check", L"transfer=ignore", "CONFIRM=0\r\n", 0, 0, 0, 0},
      {"a hung read after the transfer", L"receivep6=hang2", "", 2, 4, 10000, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    WriteAll(Ini(), "[Qelmark]\r\nIP=192.168.1.10\r\nSW2=4\r\n" + c.confirm);
    SetWord(0);
    DeleteFileW(JournalPath().c_str());
    SetEnvironmentVariableW(L"QELSIM_FAULT", c.fault);
    const DWORD started = GetTickCount();
    EXPECT_EQ(RunQel(L"2 1"), c.exitCode);
    EXPECT_GE(GetTickCount() - started, c.atLeastMs);
    SetEnvironmentVariableW(L"QELSIM_FAULT", nullptr);
    // A late change lands even when qel has ended: give it its time.
    for (int i = 0; i < 40 && c.wordAfter != 0 && State() != "192.168.1.10=4\n"; ++i) Sleep(100);
    EXPECT_EQ(State(), "192.168.1.10=" + std::to_string(c.wordAfter) + "\n");
    const JournalLines journal = Journal();
    const JournalLines switched = {"setip 192.168.1.10 -> 0", "receivep6 -> 0", "setdata 4 -> 4", "transfer 4 -> 4"};
    ASSERT_GE(journal.size(), switched.size());
    EXPECT_EQ(JournalLines(journal.begin(), journal.begin() + 4), switched);
    const JournalLines after(journal.begin() + 4, journal.end());
    if (c.exitCode == 2) {
      EXPECT_EQ(after, JournalLines{"receivep6 hangs"});
    } else if (std::string(c.what) == "no check") {
      EXPECT_EQ(after, JournalLines{});
    } else if (c.readsAfterTransfer > 0) {
      EXPECT_EQ(after, JournalLines(c.readsAfterTransfer, "receivep6 -> " + std::string(c.exitCode == 0 ? "4" : "0")));
    } else {
      ASSERT_GE(after.size(), 2u);
      EXPECT_EQ(after.front(), "receivep6 -> 0");
      EXPECT_EQ(after.back(), "receivep6 -> 4");
    }
  }
}

// LOG=qel.log: a line for each switch, query and command line, from
// processes appending at once too: none is lost or cut into another, and
// the file has one byte-order mark, at its start.
TEST_F(QelFolder, TwoProcessesLogAtOnce) {
  WriteAll(Ini(), "[Qelmark]\r\nIP=192.168.1.10\r\nSW1=1\r\nSW2=4\r\nLOG=qel.log\r\n");
  SetWord(0);
  // Each empty CMD9 writes a line and does nothing else: many lines fast.
  std::wstring script;
  for (int i = 0; i < 40; ++i) script += L"CMD9 ";
  std::vector<qel::OwnedProcess> processes;
  for (int i = 0; i < 3; ++i) processes.push_back(StartQelIn(dir_, script + L"W0", dir_));
  for (const qel::OwnedProcess& process : processes) {
    ASSERT_TRUE(process.process);
    ASSERT_EQ(WaitForSingleObject(process.process.get(), 120000), static_cast<DWORD>(WAIT_OBJECT_0));
  }
  EXPECT_EQ(RunQel(L"2 1"), 0u);
  std::string log = ReadAll(dir_ + L"\\qel.log");
  ASSERT_EQ(log.substr(0, 3), "\xEF\xBB\xBF");
  log.erase(0, 3);
  EXPECT_EQ(log.find("\xEF\xBB\xBF"), std::string::npos);
  std::size_t commandLines = 0, switchLines = 0;
  for (std::size_t start = 0; start < log.size();) {
    const std::size_t end = log.find("\r\n", start);
    ASSERT_NE(end, std::string::npos) << "a line without its end";
    const std::string line = log.substr(start, end - start);
    start = end + 2;
    std::vector<std::string> fields;
    for (std::size_t from = 0;;) {
      const std::size_t tab = line.find('\t', from);
      fields.push_back(line.substr(from, tab == std::string::npos ? std::string::npos : tab - from));
      if (tab == std::string::npos) break;
      from = tab + 1;
    }
    ASSERT_EQ(fields.size(), 7u) << line;
    EXPECT_EQ(fields[0].size(), 25u) << line;  // 2026-12-11T09:05:07+09:00
    EXPECT_EQ(fields[2], "script") << line;
    if (fields[4] == "CMD9") {
      ++commandLines;
      EXPECT_EQ(fields[6].rfind("failed: ", 0), 0u) << line;
    } else {
      ++switchLines;
      EXPECT_EQ(fields[3] + " " + fields[4] + " " + fields[5] + " " + fields[6], "192.168.1.10 2 on confirmed");
    }
  }
  EXPECT_EQ(commandLines, 120u);
  EXPECT_EQ(switchLines, 1u);
}

// At 1 MiB the log becomes qel.log.1, an older one replaced, and a new
// qel.log begins.
TEST_F(QelFolder, ALogAtItsSizeCapIsRenamed) {
  WriteAll(Ini(), "[Qelmark]\r\nIP=192.168.1.10\r\nSW1=1\r\nLOG=logs\\qel.log\r\n");
  ASSERT_TRUE(CreateDirectoryW((dir_ + L"\\logs").c_str(), nullptr));
  const std::string full = "\xEF\xBB\xBF" + std::string(1024 * 1024 - 3 - 20, 'x') + "\r\n";
  WriteAll(dir_ + L"\\logs\\qel.log", full);
  WriteAll(dir_ + L"\\logs\\qel.log.1", "older\r\n");
  SetWord(0);
  std::string output, error;
  EXPECT_EQ(RunQelRedirected(L"? 1", output, error), 0u);
  EXPECT_EQ(output, "off\r\n");
  EXPECT_EQ(ReadAll(dir_ + L"\\logs\\qel.log.1"), full);
  const std::string log = ReadAll(dir_ + L"\\logs\\qel.log");
  EXPECT_EQ(log.substr(0, 3), "\xEF\xBB\xBF");
  EXPECT_NE(log.find("\t192.168.1.10\t1\t?\toff\r\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("\r\n"), log.size() - 2);  // one line
}

// A log that cannot be written stops no switch: one line on standard
// error, and the exit code the switching earned.
TEST_F(QelFolder, JapaneseALogThatCannotBeWrittenStopsNothing) {
  ASSERT_EQ(GetACP(), 932u) << "this case needs the Japanese locale (LANG=ja_JP.UTF-8)";
  WriteAll(Ini(), "[Qelmark]\r\nIP=192.168.1.10\r\nSW2=4\r\nLOG=no-such-folder\\qel.log\r\n");
  SetWord(0);
  std::string output, error;
  EXPECT_EQ(RunQelRedirected(L"2 1 W0 0", output, error), 0u);
  EXPECT_EQ(State(), "192.168.1.10=0\n");
  EXPECT_EQ(Widen(error, 932), L"qel: LOG: 記録できず: " + dir_ + L"\\no-such-folder\\qel.log: " +
                                   SystemErrorText(ERROR_PATH_NOT_FOUND) + L" (3)\r\n")
      << Narrow(Widen(error, 932));
}

// What a script not confirmed, and a query whose switch does not answer,
// say; the query's lines still match the outlets named.
TEST_F(QelFolder, JapaneseNotConfirmedAndNoAnswer) {
  ASSERT_EQ(GetACP(), 932u) << "this case needs the Japanese locale (LANG=ja_JP.UTF-8)";
  WriteAll(Ini(), "[Qelmark]\r\nIP=192.168.1.10\r\nSW2=4\r\nSW3=32\r\nCONFIRM=1\r\nLOG=qel.log\r\n");
  SetWord(0);
  const struct {
    const wchar_t* fault;
    const wchar_t* arguments;
    DWORD exitCode;
    std::string output;
    std::wstring error;
  } cases[] = {
      {L"transfer=ignore", L"2 1", 1, "", L"qel: 2 1: 切替を確認できず: オフのまま (1 秒)\r\n"},
      {L"receivep6=hang2", L"2 1", 2, "", L"qel: 2 1: 切替を確認できず: スイッチが応答しない (10 秒) (切り替わった可能性がある)\r\n"},
      {L"receivep6=hang", L"? 2 3", 2, "unknown\r\nunknown\r\n", L"qel: ? 2 3: 状態不明: スイッチが応答しない (10 秒)\r\n"},
      {nullptr, L"? 5", 1, "unknown\r\n", L"qel: ? 5: 状態不明: SW5 がない (コンセントの番号は 1～4)\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Narrow(c.arguments));
    SetWord(0);
    SetEnvironmentVariableW(L"QELSIM_FAULT", c.fault);
    std::string output, error;
    EXPECT_EQ(RunQelRedirected(c.arguments, output, error), c.exitCode);
    SetEnvironmentVariableW(L"QELSIM_FAULT", nullptr);
    EXPECT_EQ(output, c.output);
    EXPECT_EQ(Widen(error, 932), c.error) << Narrow(Widen(error, 932));
  }
  // The log says what came of each, a switch that did not answer included:
  // the watchdog writes its line before ending qel.
  const std::string log = ReadAll(dir_ + L"\\qel.log");
  std::vector<std::string> results;
  for (std::size_t start = 3; start < log.size();) {
    const std::size_t end = log.find("\r\n", start);
    ASSERT_NE(end, std::string::npos);
    const std::string line = log.substr(start, end - start);
    start = end + 2;
    results.push_back(line.substr(line.find("\tscript\t") + 8));
  }
  const auto utf8 = [](const wchar_t* text) { return Narrow(text, CP_UTF8); };
  EXPECT_EQ(results, (std::vector<std::string>{
                         "192.168.1.10\t2\ton\tnot confirmed: " + utf8(L"切替を確認できず: オフのまま (1 秒)"),
                         "192.168.1.10\t2\ton\tno answer: " + utf8(L"切替を確認できず: スイッチが応答しない (10 秒)"),
                         "192.168.1.10\t2 3\t?\tno answer",
                         "\t5\t?\tunknown: " + utf8(L"状態不明: SW5 がない (コンセントの番号は 1～4)")}));
}

// A mask typed with the IME in full-width mode and saved in Shift-JIS.
TEST_F(QelFolder, JapaneseFullWidthMaskInIpIni) {
  ASSERT_EQ(GetACP(), 932u) << "this case needs the Japanese locale (LANG=ja_JP.UTF-8)";
  WriteAll(dir_ + L"\\ip.ini", "[Qelmark]\r\nIP=192.168.1.10\r\nSW4=" + Narrow(L"１２８", 932) + "\r\n");
  SetWord(1);
  EXPECT_EQ(RunQel(L"４ １"), 0u);
  EXPECT_EQ(State(), "192.168.1.10=129\n");
}

TEST_F(QelFolder, JapaneseCommandLineReachesTheProgramIntact) {
  ASSERT_EQ(GetACP(), 932u) << "this case needs the Japanese locale (LANG=ja_JP.UTF-8)";
  const std::wstring command = L"\"" + dir_ + L"\\echoargs.exe\" 日本語のテキスト ｶﾅ 表示";
  WriteAll(dir_ + L"\\ip.ini", "[Qelmark]\r\nCMD2=" + Narrow(command, 932) + "\r\n");
  EXPECT_EQ(RunQel(L"cmd2 w0"), 0u);
  for (int i = 0; i < 50 && Started().empty(); ++i) Sleep(100);
  EXPECT_EQ(Started(), std::vector<std::string>{Narrow(command) + "\t" + std::to_string(SW_SHOWNORMAL)});
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (argc != 4) {
    fprintf(stderr, "usage: qel_e2e_tests qel.exe socket.dll echoargs.exe\n");
    return 2;
  }
  gQel = WindowsPath(argv[1]);
  gSocket = WindowsPath(argv[2]);
  gEchoArgs = WindowsPath(argv[3]);
  return RUN_ALL_TESTS();
}
