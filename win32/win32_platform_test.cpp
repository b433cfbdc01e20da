#include "win32/win32_platform.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace qel {
namespace {

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

TEST(Win32Platform, StartsProgramsOnlyFromACommandLine) {
  Win32Platform platform;
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring document = std::wstring(temp) + L"qel-platform-test.txt";
  CloseHandle(CreateFileW(document.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));

  EXPECT_FALSE(platform.StartCommandLine(L""));
  EXPECT_FALSE(platform.StartCommandLine(L"no-such-program-qel.exe"));
  EXPECT_FALSE(platform.StartCommandLine(L"\"" + document + L"\""));  // no file association
  EXPECT_TRUE(platform.StartCommandLine(L"\"" + gEchoArgs + L"\" started-by-test"));
  DeleteFileW(document.c_str());
}

TEST(Win32Platform, ExecutableDirectoryHoldsTheExecutable) {
  Win32Platform platform;
  const std::wstring directory = platform.ExecutableDirectory();
  ASSERT_FALSE(directory.empty());
  EXPECT_NE(directory.back(), L'\\');
  EXPECT_NE(GetFileAttributesW((directory + L"\\win32_platform_tests.exe").c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
}  // namespace qel

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (argc != 2) return 2;
  std::string path = argv[1];
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  qel::gEchoArgs.assign(path.begin(), path.end());
  return RUN_ALL_TESTS();
}
