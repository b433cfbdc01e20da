#include "win32/win32_platform.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "core/numbers.h"
#include "core/settings.h"
#include "core/settings_save.h"
#include "testing/setting_round_trips.h"
#include "testing/windows_test_files.h"
#include "win32/module_path.h"
#include "win32/owned_handle.h"

namespace qel {
namespace {

using qel_test::CopiesBeside;
using qel_test::Narrow;
using qel_test::ReadAll;
using qel_test::WriteAll;

std::wstring gEchoArgs;  // a real program to start

TEST(ArgumentsOf, TextAfterTheProgramNameAndItsBlanks) {
  const struct {
    const wchar_t* commandLine;
    const wchar_t* arguments;
  } cases[] = {
      {L"qel.exe", L""},
      {L"qel.exe 2 0 W5 1", L"2 0 W5 1"},
      {L"qel.exe   1 ", L"1 "},
      {L"qel.exe 1  1", L"1  1"},
      {L"\"C:\\Program Files\\qel\\qel.exe\" 3 1", L"3 1"},
      {L"\"C:\\a b\\qel.exe\"3 1", L"3 1"},
      {L"qel.exe \"a b\" 1", L"\"a b\" 1"},
      {L"qel.exe\t1 1", L"1 1"},
      {L"\"unclosed 1 1", L""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ArgumentsOf(c.commandLine), c.arguments);
  }
}

TEST(Win32Platform, UpperCaseByTheLocale) {
  Win32Platform platform;
  EXPECT_EQ(platform.ToUpper(L"cmd1 w2 x"), L"CMD1 W2 X");
}

// What an IME in full-width mode types for a number becomes the number.
TEST(Win32Platform, FoldsFullWidthNumbersToAscii) {
  Win32Platform platform;
  const struct {
    const wchar_t* typed;
    const wchar_t* folded;
  } cases[] = {
      {L"１２８", L"128"},
      {L"－１．５", L"-1.5"},
      {L"＋３", L"+3"},
      {L"１，０００", L"1,000"},
      {L"１ｅ２", L"1e2"},
      {L"　７", L" 7"},  // the ideographic space
      {L"128", L"128"},
      {L"", L""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(platform.FoldFullWidth(c.typed), c.folded);
  }
  EXPECT_EQ(StrictNumber(platform, L"１２８"), 128);
}

TEST(Win32Platform, StartsProgramsOnlyFromACommandLine) {
  Win32Platform platform;
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring documentPath = std::wstring(temp) + L"qel-platform-test.txt";
  OwnedHandle(CreateFileW(documentPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));

  // The empty text is not handed to the system: no reason of its own.
  const std::optional<SystemError> empty = platform.StartCommandLine(L"");
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->code, 0u);
  // The system's reason and its words for it, on one line.
  const std::optional<SystemError> missing = platform.StartCommandLine(L"no-such-program-qel.exe");
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->code, static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
  EXPECT_NE(missing->text, L"");
  EXPECT_EQ(missing->text.find_first_of(L"\r\n"), std::wstring::npos);
  const std::optional<SystemError> document = platform.StartCommandLine(L"\"" + documentPath + L"\"");
  ASSERT_TRUE(document);  // no file association
  EXPECT_NE(document->code, 0u);
  EXPECT_FALSE(platform.StartCommandLine(L"\"" + gEchoArgs + L"\" started-by-test").has_value());
  DeleteFileW(documentPath.c_str());
}

TEST(Win32Platform, NoLookAlikeConversionToTheCodePage) {
  ASSERT_EQ(GetACP(), 1252u) << "this case needs the default locale (ANSI code page 1252)";
  Win32Platform platform;
  EXPECT_EQ(platform.ToAnsi(L"C:\\caf\u00e9\\x.exe"), std::optional<std::string>("C:\\caf\xE9\\x.exe"));
  EXPECT_EQ(platform.ToAnsi(L""), std::optional<std::string>(""));
  // Best fit would make "O" of Omega and "?" of kanji: another path.
  EXPECT_EQ(platform.ToAnsi(L"C:\\\u03A9mega\\x.exe"), std::nullopt);
  EXPECT_EQ(platform.ToAnsi(L"\u6A5F\u5668"), std::nullopt);
  EXPECT_EQ(platform.ToAnsi(L"?"), std::optional<std::string>("?"));  // a real question mark is fine
}

// The branch of each kind of code page: best fit refused in a code page of
// one or two bytes a character; UTF-8 (which Windows 10 and later offer as
// the ANSI code page) holds every character but a lone surrogate.
TEST(TextInCodePage, EveryCharacterOrNothing) {
  const struct {
    const char* what;
    UINT codePage;
    std::wstring text;
    std::optional<std::string> bytes;
  } cases[] = {
      {"Western", 1252, L"C:\\caf\u00e9\\x.exe", "C:\\caf\xE9\\x.exe"},
      {"Western: Omega, whose best fit is O", 1252, L"\u03A9mega", std::nullopt},
      {"Western: kanji", 1252, L"\u6A5F", std::nullopt},
      {"Western: a real question mark", 1252, L"?", "?"},
      {"Japanese: kanji", 932, L"\u6A5F\u5668", "\x8B\x40\x8A\xED"},
      {"Japanese: e acute, whose best fit is e", 932, L"caf\u00e9", std::nullopt},
      {"UTF-8: Omega", CP_UTF8, L"\u03A9", "\xCE\xA9"},
      {"UTF-8: kanji", CP_UTF8, L"\u6A5F", "\xE6\xA9\x9F"},
      {"UTF-8: a pair of surrogates", CP_UTF8, L"\xD83D\xDE00", "\xF0\x9F\x98\x80"},
      {"UTF-8: a lone surrogate", CP_UTF8, L"a\xD800" L"b", std::nullopt},
      {"UTF-8: the empty text", CP_UTF8, L"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(TextInCodePage(c.text, c.codePage), c.bytes);
  }
}

// What a stand-in for LoadLibraryExW was asked, and the error it fails with.
DWORD gLoadFlags = 0;
DWORD gLoadError = 0;
HMODULE WINAPI FailingLoadLibraryEx(LPCWSTR, HANDLE, DWORD flags) {
  gLoadFlags = flags;
  SetLastError(gLoadError);
  return nullptr;
}

// socket.dll is searched for in our folder and the system's, by the call's
// own flags; where the system has no such flags (ERROR_INVALID_PARAMETER on
// Vista and 7 without KB2533623) the library is still loaded, with our
// folder as the DLL directory for that call alone. Any other failure is the
// failure.
TEST(LoadFromProgramFolder, SearchFlagsOfItsOwnElseTheOldWay) {
  gLoadError = ERROR_INVALID_PARAMETER;
  const HMODULE fallback = LoadFromProgramFolder(L"kernel32.dll", &FailingLoadLibraryEx);
  EXPECT_EQ(gLoadFlags, static_cast<DWORD>(LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32));
  EXPECT_EQ(fallback, GetModuleHandleW(L"kernel32.dll"));
  wchar_t directory[MAX_PATH] = {};
  EXPECT_EQ(GetDllDirectoryW(MAX_PATH, directory), 0u) << "the DLL directory was left set";
  gLoadError = ERROR_MOD_NOT_FOUND;
  EXPECT_EQ(LoadFromProgramFolder(L"kernel32.dll", &FailingLoadLibraryEx), nullptr);
  EXPECT_EQ(LoadFromProgramFolder(L"kernel32.dll"), GetModuleHandleW(L"kernel32.dll"));
  EXPECT_EQ(LoadFromProgramFolder(L"qel-no-such-library.dll"), nullptr);
}

// WideCharToMultiByte as Windows has it, stricter than Wine's: UTF-8 takes
// no flag but WC_ERR_INVALID_CHARS, and no question whether the default
// character was used (ERROR_INVALID_FLAGS, ERROR_INVALID_PARAMETER).
int WINAPI WindowsWideCharToMultiByte(UINT codePage, DWORD flags, LPCWCH text, int size, LPSTR out, int outSize,
                                      LPCCH defaultChar, LPBOOL usedDefault) {
  if (codePage == CP_UTF8 && (flags & ~static_cast<DWORD>(WC_ERR_INVALID_CHARS)) != 0) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  if (codePage == CP_UTF8 && (defaultChar != nullptr || usedDefault != nullptr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return WideCharToMultiByte(codePage, flags, text, size, out, outSize, defaultChar, usedDefault);
}

// A reason line on standard error in the ANSI code page: whole in UTF-8
// (the ANSI code page of Windows 10 and later with "Beta: Use Unicode
// UTF-8"), which takes no best-fit flag; a character another code page
// lacks as "?", never as a look-alike.
TEST(LineInCodePage, WholeInUtf8AndAQuestionMarkForWhatACodePageLacks) {
  const std::wstring line = L"qel: 1 1: 切替できず: スイッチが応答しない (10 秒)";
  const struct {
    const char* what;
    UINT codePage;
    std::wstring line;
    std::string bytes;
  } cases[] = {
      {"UTF-8", 65001, line, Narrow(line, CP_UTF8)},
      {"UTF-8: Omega and a pair of surrogates", 65001, L"\u03A9 \xD83D\xDE00", "\xCE\xA9 \xF0\x9F\x98\x80"},
      {"Japanese", 932, line, Narrow(line, 932)},
      {"Japanese: e acute, whose best fit is e", 932, L"caf\u00e9", "caf?"},
      {"Western: Omega, whose best fit is O, and kanji", 1252, L"qel: \u03A9 \u00e9 \u6A5F", "qel: ? \xE9 ?"},
      {"the empty line", 65001, L"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(LineInCodePage(c.line, c.codePage, &WindowsWideCharToMultiByte), c.bytes);
    EXPECT_EQ(LineInCodePage(c.line, c.codePage), c.bytes);
  }
}

// The bytes that begin a character of two bytes: Shift-JIS has two ranges
// of them; a code page of one byte a character has none, and neither has
// UTF-8 (no byte of its longer characters is an ASCII one).
TEST(LeadBytesOf, ShiftJisHasTwoRangesOthersNone) {
  const std::bitset<256> shiftJis = LeadBytesOf(932);
  for (unsigned byte = 0; byte < 256; ++byte) {
    EXPECT_EQ(shiftJis[byte], (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC)) << byte;
  }
  EXPECT_TRUE(LeadBytesOf(1252).none());
  EXPECT_TRUE(LeadBytesOf(CP_UTF8).none());
}

// A wait's slice ends by handing every message that came to its window,
// so that the program answers while it waits; a request to quit stays for
// the event loop that owns it.
int gHandled = 0;
LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APP) ++gHandled;
  return DefWindowProcW(window, message, wParam, lParam);
}

TEST(Win32Platform, SleepingHandsOnTheMessagesThatCame) {
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = &CountingProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"qel-platform-test";
  RegisterClassW(&windowClass);
  HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                windowClass.hInstance, nullptr);
  ASSERT_NE(window, nullptr);
  gHandled = 0;
  for (int i = 0; i < 3; ++i) PostMessageW(window, WM_APP, 0, 0);
  PostQuitMessage(7);
  Win32Platform platform;
  platform.SleepThenPumpEvents(10);
  EXPECT_EQ(gHandled, 3);
  MSG message = {};
  EXPECT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the request to quit was lost";
  EXPECT_EQ(message.wParam, 7u);
  DestroyWindow(window);
}

// The same table as the unit tests, through the system's profile functions:
// ip.ini beside this program.
TEST(Win32Platform, SettingsComeBackExactlyAsSaved) {
  Win32Platform platform;
  const std::wstring ini = SettingsFilePath(platform);
  DeleteFileW(ini.c_str());
  for (const auto& c : testing_tables::kSettingRoundTrips) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(testing_tables::SaveValue(platform, L"CMD1", c.value), std::nullopt);
    EXPECT_EQ(ReadAll(ini), std::string("[Qelmark]\r\nCMD1=") + c.stored + "\r\n");
    EXPECT_EQ(ReadSetting(platform, L"CMD1"), c.value);
  }
  // The longest values a read gives back whole, also inside added quotes
  // (whether for quotes of their own or for blanks at their ends).
  for (const std::wstring& value : {std::wstring(1023, L'a'), L"\"" + std::wstring(1020, L'b') + L"\"",
                                    L" " + std::wstring(1021, L'c'), std::wstring(1021, L'd') + L"\t"}) {
    EXPECT_FALSE(CheckSettingValue(platform, value));
    EXPECT_EQ(testing_tables::SaveValue(platform, L"CMD2", value), std::nullopt);
    EXPECT_EQ(ReadSetting(platform, L"CMD2"), value);
  }
  for (const std::wstring& value : {std::wstring(1024, L'a'), L"\"" + std::wstring(1021, L'b') + L"\"",
                                    L" " + std::wstring(1022, L'c')}) {
    const std::optional<ValueProblem> problem = CheckSettingValue(platform, value);
    ASSERT_TRUE(problem);
    EXPECT_EQ(problem->kind, SettingProblem::kTooLong);
    EXPECT_EQ(problem->limitBytes, value.size() == 1024 ? 1023u : 1022u);
  }
  DeleteFileW(ini.c_str());
}

std::vector<FieldToSave> EditedFields() {
  return {{L"IP", L"IP", L"10.0.0.7", L"10.0.0.8"}, {L"CMD1", L"CMD1", L"a", L"\"C:\\My Tools\\run.exe\" "}};
}

// Saving with the system's files: ip.ini replaced whole by a checked copy,
// or left byte for byte as it was, and never a copy left behind.
TEST(Win32Platform, SavingReplacesIpIniWholeOrNotAtAll) {
  Win32Platform platform;
  const std::wstring ini = SettingsFilePath(platform);
  const std::string original = "; qel\r\n[Qelmark]\r\nIP=10.0.0.7\r\nCMD1=a\r\n[Other]\r\nX=1\r\n";
  SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_NORMAL);

  // A copy a crashed save left behind does not stop it.
  WriteAll(ini, original);
  WriteAll(ini + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp", "[Qelmark]\r\nIP=half");
  ASSERT_EQ(SaveSettings(platform, EditedFields()), std::nullopt);
  EXPECT_EQ(ReadSetting(platform, L"IP"), L"10.0.0.8");
  EXPECT_EQ(ReadSetting(platform, L"CMD1"), L"\"C:\\My Tools\\run.exe\" ");
  EXPECT_NE(ReadAll(ini).find("[Other]\r\nX=1\r\n"), std::string::npos) << ReadAll(ini);
  EXPECT_NE(ReadAll(ini).find("; qel"), std::string::npos) << ReadAll(ini);
  EXPECT_EQ(CopiesBeside(ini), 0);

  // A read-only ip.ini.
  WriteAll(ini, original);
  ASSERT_TRUE(SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_READONLY));
  std::optional<SaveFailure> failure = SaveSettings(platform, EditedFields());
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->step, SaveStep::kReadOnly);
  SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(ReadAll(ini), original);
  EXPECT_EQ(CopiesBeside(ini), 0);

  // ip.ini held open by a program that shares it with nobody.
  HANDLE held = CreateFileW(ini.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  failure = SaveSettings(platform, EditedFields());
  CloseHandle(held);
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->step, SaveStep::kCopy);
  ASSERT_TRUE(failure->system);
  EXPECT_EQ(failure->system->code, static_cast<std::uint32_t>(ERROR_SHARING_VIOLATION));
  EXPECT_FALSE(failure->system->text.empty()) << "no text for the system's reason";
  EXPECT_EQ(ReadAll(ini), original);
  EXPECT_EQ(CopiesBeside(ini), 0);

  // No ip.ini yet: the copy becomes it.
  DeleteFileW(ini.c_str());
  ASSERT_EQ(SaveSettings(platform, EditedFields()), std::nullopt);
  EXPECT_EQ(ReadSetting(platform, L"IP"), L"10.0.0.8");
  EXPECT_EQ(CopiesBeside(ini), 0);
  DeleteFileW(ini.c_str());
}

// A file as a hand writes it, in the shapes the system's profile functions
// may write anew (Wine's drop blank lines and blanks, end every line with
// CR LF): the save's line-by-line comparison lets that pass, and every
// value of every section is still there.
TEST(Win32Platform, SavingAHandWrittenFileKeepsEveryValue) {
  Win32Platform platform;
  const std::wstring ini = SettingsFilePath(platform);
  const std::string original =
      "; the hall\r\n\r\n  [Qelmark]  ; ours\r\nIP = 10.0.0.7  \r\n\r\nCMD1=a\nSW1\r\n\tX=  a b  \r\n"
      "[Other]\r\nY=2\r\n\r\n\r\nlast=" + std::string(1500, 'v') + "   ";
  WriteAll(ini, original);
  ASSERT_EQ(SaveSettings(platform, EditedFields()), std::nullopt);
  EXPECT_EQ(ReadSetting(platform, L"IP"), L"10.0.0.8");
  EXPECT_EQ(ReadSetting(platform, L"CMD1"), L"\"C:\\My Tools\\run.exe\" ");
  const std::string saved = ReadAll(ini);
  for (const char* kept : {"; the hall", "X=", "a b", "[Other]", "Y=2"}) {
    EXPECT_NE(saved.find(kept), std::string::npos) << kept << " is lost:\n" << saved;
  }
  EXPECT_NE(saved.find("last=" + std::string(1500, 'v')), std::string::npos) << saved;
  EXPECT_EQ(CopiesBeside(ini), 0);
  DeleteFileW(ini.c_str());
}

// The whole of a file from the disk: every byte, NULs and all, of a file
// larger than one read; nothing for no file; the system's reason when a
// program holds it open for itself.
TEST(Win32Platform, ReadWholeFileReadsEveryByte) {
  Win32Platform platform;
  const std::wstring path = SettingsFilePath(platform) + L".whole";
  std::string bytes = "left over";
  DeleteFileW(path.c_str());
  EXPECT_EQ(platform.ReadWholeFile(path, bytes), std::nullopt);
  EXPECT_EQ(bytes, "");
  std::string content(40000, '\0');
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 31 % 256);
  WriteAll(path, content);
  EXPECT_EQ(platform.ReadWholeFile(path, bytes), std::nullopt);
  EXPECT_EQ(bytes, content);
  HANDLE held = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const std::optional<SystemError> error = platform.ReadWholeFile(path, bytes);
  CloseHandle(held);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->code, static_cast<std::uint32_t>(ERROR_SHARING_VIOLATION));
  DeleteFileW(path.c_str());
}

// A save's copy beside ip.ini, made where there is no ip.ini yet (so it is
// empty): its path, and that path in the ANSI code page.
void EmptyCopyBeside(Win32Platform& platform, const std::wstring& ini, std::wstring& copy, std::string& copyPath) {
  DeleteFileW(ini.c_str());
  ASSERT_EQ(platform.CopyBeside(ini, copy), std::nullopt);
  copyPath = AnsiText(platform, copy);
}

// Sets a file's last write time.
void SetWriteTime(const std::wstring& path, const FILETIME& time) {
  qel::OwnedHandle file(
      CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(file);
  ASSERT_TRUE(SetFileTime(file.get(), nullptr, nullptr, &time));
}

// After the flush a read reads the disk, not what the profile functions
// kept in memory: the read-back sees what really reached the file. They
// keep a file's text for as long as its write time is what they saw and is
// more than two seconds old (Wine; the time a FAT disk can keep a changed
// file's time): so the file is made an hour old first.
TEST(Win32Platform, AfterTheFlushReadsReadTheDisk) {
  Win32Platform platform;
  const std::wstring ini = SettingsFilePath(platform);
  std::wstring copy;
  std::string copyPath;
  ASSERT_NO_FATAL_FAILURE(EmptyCopyBeside(platform, ini, copy, copyPath));
  ASSERT_EQ(platform.WriteProfileValue("Qelmark", "CMD1", "written", copyPath), std::nullopt);
  FILETIME old = {};
  GetSystemTimeAsFileTime(&old);
  ULARGE_INTEGER ticks = {{old.dwLowDateTime, old.dwHighDateTime}};
  ticks.QuadPart -= 3600ull * 10000000ull;
  old = {ticks.LowPart, ticks.HighPart};
  SetWriteTime(copy, old);
  EXPECT_EQ(platform.ReadProfileValue("Qelmark", "CMD1", 1024, copyPath), "written");
  // The disk now holds other text, with the time the profile functions saw.
  WriteAll(copy, "[Qelmark]\r\nCMD1=on disk\r\n");
  SetWriteTime(copy, old);
  ASSERT_EQ(platform.FlushProfileFile(copy), std::nullopt);
  EXPECT_EQ(platform.ReadProfileValue("Qelmark", "CMD1", 1024, copyPath), "on disk");
  EXPECT_EQ(platform.ReadProfileSections(copyPath), std::vector<std::string>{"Qelmark"});
  EXPECT_EQ(platform.ReadProfileKeys("Qelmark", copyPath), std::vector<std::string>{"CMD1"});
  platform.RemoveFile(copy);
  EXPECT_EQ(GetFileAttributesW(copy.c_str()), INVALID_FILE_ATTRIBUTES);
}

// A profile write that cannot reach the file says so, with the system's
// reason.
TEST(Win32Platform, AProfileWriteThatFailsSaysWhy) {
  Win32Platform platform;
  const std::wstring folder = FolderOf(SettingsFilePath(platform));
  const std::wstring inAFolder = folder + L"\\qel-test-folder.ini";
  const std::wstring held = folder + L"\\qel-test-held.ini";
  RemoveDirectoryW(inAFolder.c_str());
  ASSERT_TRUE(CreateDirectoryW(inAFolder.c_str(), nullptr));
  WriteAll(held, "[Qelmark]\r\nCMD1=a\r\n");
  // Held open by a program that shares it with nobody.
  qel::OwnedHandle holder(CreateFileW(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(holder);
  for (const std::wstring& path : {inAFolder, held}) {
    SCOPED_TRACE(Narrow(path));
    const std::optional<SystemError> error =
        platform.WriteProfileValue("Qelmark", "CMD1", "x", AnsiText(platform, path));
    ASSERT_NE(error, std::nullopt) << "the write was taken as done";
    EXPECT_NE(error->code, 0u);
  }
  holder.Reset();
  EXPECT_EQ(ReadAll(held), "[Qelmark]\r\nCMD1=a\r\n");
  RemoveDirectoryW(inAFolder.c_str());
  DeleteFileW(held.c_str());
}

// A change the profile functions could not write (the file was held) stays
// with them; removing the file lets them have done with it first, so that
// they never create the file anew later, when they are called for another
// file.
TEST(Win32Platform, ARemovedCopyStaysRemoved) {
  Win32Platform platform;
  const std::wstring ini = SettingsFilePath(platform);
  std::wstring copy;
  std::string copyPath;
  ASSERT_NO_FATAL_FAILURE(EmptyCopyBeside(platform, ini, copy, copyPath));
  {
    // Another program holds the copy open to delete it, letting others
    // read and write it: the profile functions, which open a file letting
    // others delete it, read it; they write a file letting nobody delete it,
    // and cannot.
    qel::OwnedHandle held(CreateFileW(copy.c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    // Some versions of Wine take the write as done all the same.
    platform.WriteProfileValue("Qelmark", "CMD1", "pending", copyPath);
    EXPECT_EQ(ReadAll(copy), "") << "the profile functions wrote the held copy";
  }
  platform.RemoveFile(copy);
  EXPECT_EQ(GetFileAttributesW(copy.c_str()), INVALID_FILE_ATTRIBUTES) << "the copy was not removed";
  // The profile functions at work on another file.
  const std::string other = AnsiText(platform, ini);
  platform.ReadProfileValue("Qelmark", "IP", 1024, other);
  EXPECT_EQ(platform.WriteProfileValue("Qelmark", "IP", "1.2.3.4", other), std::nullopt);
  EXPECT_EQ(GetFileAttributesW(copy.c_str()), INVALID_FILE_ATTRIBUTES) << "the copy came back";
  DeleteFileW(copy.c_str());
  DeleteFileW(ini.c_str());
}

// A program qel starts gets neither qel's error mode, which hides the
// system's crash and drive dialogs, nor its DLL search for socket.dll.
// Wine gives every new process the default error mode and no DLL directory
// whatever its starter has, so under Wine only the starter's side (the DLL
// search undone after the load) can fail here; on Windows the started
// program's record shows the inheritance too.
TEST(Win32Platform, StartedProgramsStartAsFromExplorer) {
  const UINT qelErrorMode = SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX | SEM_NOGPFAULTERRORBOX;
  const UINT before = SetErrorMode(qelErrorMode);
  Win32Platform platform;
  EXPECT_EQ(platform.LoadSwitchLibrary(L"no-such-library-qel.dll"), nullptr);
  wchar_t dllDirectory[MAX_PATH] = L"unchanged";
  GetDllDirectoryW(MAX_PATH, dllDirectory);
  EXPECT_STREQ(dllDirectory, L"") << "the DLL search stays changed after the load";

  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + L"qel-started-program";
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring program = folder + L"\\echoargs.exe";
  const std::wstring record = folder + L"\\echoargs.inherited";
  ASSERT_TRUE(CopyFileW(gEchoArgs.c_str(), program.c_str(), FALSE));
  DeleteFileW(record.c_str());
  DeleteFileW((folder + L"\\echoargs.log").c_str());

  ASSERT_FALSE(platform.StartCommandLine(L"\"" + program + L"\" x").has_value());
  for (int i = 0; i < 100 && ReadAll(record).empty(); ++i) Sleep(100);
  EXPECT_EQ(ReadAll(record), "errormode=0\tdlldirectory=\n");
  SetErrorMode(before);
  for (const wchar_t* name : {L"\\echoargs.exe", L"\\echoargs.inherited", L"\\echoargs.log"}) {
    DeleteFileW((folder + name).c_str());
  }
  RemoveDirectoryW(folder.c_str());
}

TEST(Win32Platform, ExecutableDirectoryHoldsTheExecutable) {
  Win32Platform platform;
  const std::wstring directory = platform.ExecutableDirectory();
  ASSERT_FALSE(directory.empty());
  EXPECT_NE(directory.back(), L'\\');
  EXPECT_NE(GetFileAttributesW((directory + L"\\win32_platform_tests.exe").c_str()), INVALID_FILE_ATTRIBUTES);
}

// ReplaceFileW stand-ins: one that moves the replaced file away and then
// cannot move the copy into its place, as ReplaceFileW may without a backup
// file; one that fails and leaves both files.
BOOL WINAPI ReplaceLosingTheFile(LPCWSTR replaced, LPCWSTR, LPCWSTR, DWORD, LPVOID, LPVOID) {
  DeleteFileW(replaced);
  SetLastError(ERROR_UNABLE_TO_MOVE_REPLACEMENT);
  return FALSE;
}
BOOL WINAPI ReplaceRefused(LPCWSTR, LPCWSTR, LPCWSTR, DWORD, LPVOID, LPVOID) {
  SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}

TEST(ReplaceFileByCopy, WhenTheReplaceLosesTheFileTheCopyTakesItsPlace) {
  Win32Platform platform;
  const std::wstring ini = SettingsFilePath(platform);
  const std::wstring copy = ini + L".replace-test.tmp";
  const struct {
    const char* what;
    FileReplacer replace;
    std::optional<std::uint32_t> error;
    std::string iniAfter;
    bool copyLeft;
  } cases[] = {
      {"the replaced file lost", &ReplaceLosingTheFile, std::nullopt, "new", false},
      {"refused", &ReplaceRefused, static_cast<std::uint32_t>(ERROR_ACCESS_DENIED), "old", true},
      {"the system's replace", &ReplaceFileW, std::nullopt, "new", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    WriteAll(ini, "old");
    WriteAll(copy, "new");
    const std::optional<SystemError> error = ReplaceFileByCopy(copy, ini, c.replace);
    EXPECT_EQ(error ? std::optional(error->code) : std::nullopt, c.error);
    EXPECT_EQ(ReadAll(ini), c.iniAfter);
    EXPECT_EQ(qel_test::FileExists(copy), c.copyLeft);
  }
  DeleteFileW(copy.c_str());
  DeleteFileW(ini.c_str());
}

// A module path as GetModuleFileNameW gives it: cut at a buffer too small,
// NUL-ended (Windows) or not (Wine, Windows XP); the buffer's size returned.
std::wstring gModulePath;
bool gCutPathEndsInNul = true;
DWORD WINAPI ReadModulePath(HMODULE, wchar_t* buffer, DWORD size) {
  const std::size_t length = gModulePath.size();
  if (length < size) {
    gModulePath.copy(buffer, length);
    buffer[length] = L'\0';
    return static_cast<DWORD>(length);
  }
  const DWORD copied = gCutPathEndsInNul ? size - 1 : size;
  gModulePath.copy(buffer, copied);
  if (gCutPathEndsInNul) buffer[copied] = L'\0';
  return size;
}

TEST(WholeModulePath, APathCutAtTheBufferIsReadAgainWhole) {
  const std::wstring top = L"C:\\qel";
  const struct {
    const char* what;
    std::wstring folder;
    bool cutEndsInNul;
  } cases[] = {
      {"a short path", top, true},
      {"a drive's root", L"C:", true},
      // qel.exe's path of MAX_PATH - 1 characters fits with its NUL, one more
      // does not: the first read stops inside the folder's name.
      {"one short of MAX_PATH", top + L"\\" + std::wstring(MAX_PATH - 1 - 15, L'd'), true},
      {"exactly MAX_PATH, cut with a NUL", top + L"\\" + std::wstring(MAX_PATH - 15, L'd'), true},
      {"beyond MAX_PATH, cut with a NUL", top + L"\\" + std::wstring(280, L'd'), true},
      {"beyond MAX_PATH, cut without a NUL", top + L"\\" + std::wstring(280, L'd'), false},
      {"beyond twice MAX_PATH", top + L"\\" + std::wstring(200, L'd') + L"\\" + std::wstring(200, L'e') +
                                    L"\\" + std::wstring(200, L'f'),
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    gModulePath = c.folder + L"\\qel.exe";
    gCutPathEndsInNul = c.cutEndsInNul;
    EXPECT_EQ(WholeModulePath(nullptr, &ReadModulePath), gModulePath);
    EXPECT_EQ(FolderOf(gModulePath), c.folder == L"C:" ? L"C:\\" : c.folder);
  }
}

}  // namespace
}  // namespace qel

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (argc != 2) return 2;
  qel::gEchoArgs = qel_test::WindowsPath(argv[1]);
  return RUN_ALL_TESTS();
}
