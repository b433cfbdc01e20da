#include "core/settings.h"

#include <gtest/gtest.h>

#include "core/errors.h"
#include "testing/fake_platform.h"
#include "testing/setting_round_trips.h"

namespace qel {
namespace {

using testing_tables::SaveValue;

TEST(SettingsFilePath, BesideTheExecutable) {
  FakePlatform platform;
  platform.executableDirectory = L"C:\\Program Files\\qel";
  EXPECT_EQ(SettingsFilePath(platform), L"C:\\Program Files\\qel\\ip.ini");
  platform.executableDirectory = L"D:\\";
  EXPECT_EQ(SettingsFilePath(platform), L"D:\\ip.ini");
}

// The keys as the script and the window form them: SW or CMD and the number,
// no blank; numbers nothing writes form keys too, which read as the empty
// text.
TEST(Settings, KeysOfOutletsAndCommandLines) {
  EXPECT_EQ(MaskKey(3), L"SW3");
  EXPECT_EQ(MaskKey(-2), L"SW-2");
  EXPECT_EQ(CommandKey(1), L"CMD1");
  EXPECT_EQ(CommandKey(0), L"CMD0");
  FakePlatform platform;
  platform.SetIni("[Qelmark]\r\nSW1=1\r\nSW2=4\r\nSW3=32\r\nSW4=128\r\nSW 5=9\r\n");
  EXPECT_EQ(ReadSetting(platform, MaskKey(3)), L"32");
  EXPECT_EQ(ReadSetting(platform, MaskKey(5)), L"");
}

TEST(Settings, ReadsAndWritesSectionQelmarkOfIpIni) {
  FakePlatform platform;
  EXPECT_EQ(ReadSetting(platform, L"IP"), L"");  // no file yet
  EXPECT_EQ(SaveValue(platform, L"IP", L"192.168.1.10"), std::nullopt);
  EXPECT_EQ(platform.files.count("C:\\qel\\ip.ini"), 1u);
  EXPECT_EQ(platform.Ini(), "[Qelmark]\r\nIP=192.168.1.10\r\n");
  EXPECT_EQ(ReadSetting(platform, L"IP"), L"192.168.1.10");
}

TEST(Settings, TextCrossesTheFileInTheCodePage) {
  FakePlatform platform;  // its code page is UTF-8
  EXPECT_EQ(SaveValue(platform, L"CMD1", L"C:\\ツール\\起動.exe"), std::nullopt);
  EXPECT_EQ(platform.Ini(), "[Qelmark]\r\nCMD1=C:\\\xE3\x83\x84\xE3\x83\xBC\xE3\x83\xAB\\\xE8\xB5\xB7\xE5\x8B\x95.exe\r\n");
  EXPECT_EQ(ReadSetting(platform, L"CMD1"), L"C:\\ツール\\起動.exe");
}

TEST(Settings, WhatIsWrittenComesBackExactly) {
  for (const auto& c : testing_tables::kSettingRoundTrips) {
    SCOPED_TRACE(c.what);
    FakePlatform platform;
    ASSERT_EQ(SaveValue(platform, L"CMD1", c.value), std::nullopt);
    EXPECT_EQ(platform.Ini(), std::string("[Qelmark]\r\nCMD1=") + c.stored + "\r\n");
    EXPECT_EQ(ReadSetting(platform, L"CMD1"), c.value);
  }
}

TEST(Settings, FilesWrittenBeforeReadAsBefore) {
  FakePlatform platform;
  platform.SetIni("[Qelmark]\r\nCMD1=\"C:\\My Tools\\run.exe\"\r\nCMD2='x'\r\nCMD3=\"a\" \"b\"\r\n");
  EXPECT_EQ(ReadSetting(platform, L"CMD1"), L"C:\\My Tools\\run.exe");
  EXPECT_EQ(ReadSetting(platform, L"CMD2"), L"x");
  EXPECT_EQ(ReadSetting(platform, L"CMD3"), L"a\" \"b");
}

TEST(Settings, TextTheCodePageCannotHoldIsNeverSavedAsOtherText) {
  FakePlatform platform;
  platform.outsideCodePage = L"Ω";
  platform.SetIni("[Qelmark]\r\nCMD1=old\r\n");
  const std::optional<ValueProblem> problem = CheckSettingValue(platform, L"C:\\Ωmega\\x.exe");
  ASSERT_NE(problem, std::nullopt);
  EXPECT_EQ(problem->kind, SettingProblem::kNotInCodePage);
  EXPECT_EQ(problem->character, L"Ω");
  const std::optional<SaveFailure> failure = SaveValue(platform, L"CMD1", L"C:\\Ωmega\\x.exe");
  ASSERT_NE(failure, std::nullopt);
  ASSERT_NE(failure->value, std::nullopt);
  EXPECT_EQ(failure->value->kind, SettingProblem::kNotInCodePage);
  EXPECT_EQ(platform.Ini(), "[Qelmark]\r\nCMD1=old\r\n");
  EXPECT_FALSE(CheckSettingValue(platform, L"C:\\Omega\\x.exe"));
}

TEST(Settings, ValuesThatAReadWouldCutAreTooLong) {
  FakePlatform platform;  // UTF-8: 起 takes three bytes
  const struct {
    std::wstring value;
    std::size_t limit;  // 0: fits
  } cases[] = {
      {std::wstring(1023, L'a'), 0},
      {std::wstring(1024, L'a'), 1023},
      {std::wstring(341, L'起'), 0},  // 1023 bytes
      {std::wstring(341, L'起') + L"a", 1023},
      // A value written inside added quote marks may have one byte less.
      {L"\"" + std::wstring(1020, L'a') + L"\"", 0},
      {L"\"" + std::wstring(1021, L'a') + L"\"", 1022},
      {L"\"" + std::wstring(1021, L'a') + L"'", 0},  // not stripped, so not quoted
      {L" " + std::wstring(1021, L'a'), 0},
      {L" " + std::wstring(1022, L'a'), 1022},
      {std::wstring(1022, L'a') + L"\t", 1022},
      {std::wstring(1021, L'a') + L"\t", 0},
      {L"a" + std::wstring(1021, L' ') + L"a", 0},  // blanks inside need no quotes
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(platform.ToAnsi(c.value.substr(0, 3)).value_or("?") + " " + std::to_string(c.value.size()));
    const std::optional<ValueProblem> problem = CheckSettingValue(platform, c.value);
    EXPECT_EQ(problem ? problem->limitBytes : 0u, c.limit);
    if (problem) {
      EXPECT_EQ(problem->kind, SettingProblem::kTooLong);
    } else {
      EXPECT_EQ(SaveValue(platform, L"CMD1", c.value), std::nullopt);
      EXPECT_EQ(ReadSetting(platform, L"CMD1"), c.value);
    }
  }
}

// Text that would end the value's line is refused: the rest would read as
// another line of the file.
TEST(Settings, LineBreaksAreNeverSaved) {
  FakePlatform platform;
  for (const std::wstring& value : {std::wstring(L"a\r\nIP=1.2.3.4"), std::wstring(L"a\nb"), std::wstring(L"a\rb"),
                                    std::wstring(L"\r"), std::wstring(L"a\0b", 3)}) {
    const std::optional<ValueProblem> problem = CheckSettingValue(platform, value);
    ASSERT_NE(problem, std::nullopt);
    EXPECT_EQ(problem->kind, SettingProblem::kLineBreak);
  }
  EXPECT_FALSE(CheckSettingValue(platform, L"a\tb\x1A\v"));
}

// The first character the code page cannot hold is the one named, a pair of
// surrogates as one.
TEST(Settings, TheCharacterOutsideTheCodePageIsNamed) {
  FakePlatform platform;
  platform.outsideCodePage = L"Ωλ";
  EXPECT_EQ(CheckSettingValue(platform, L"αλΩ")->character, L"λ");
  EXPECT_EQ(CheckSettingValue(platform, L"x\xD800y")->character, L"\xD800");  // a lone surrogate
}

TEST(Settings, AnIniPathTheCodePageCannotHoldIsNoPath) {
  FakePlatform platform;
  platform.outsideCodePage = L"Ω";
  platform.executableDirectory = L"C:\\Ωmega";
  platform.files["C:\\Omega\\ip.ini"] = "[Qelmark]\r\nIP=1.2.3.4\r\n";  // the look-alike
  platform.files["C:\\?mega\\ip.ini"] = "[Qelmark]\r\nIP=1.2.3.4\r\n";
  const auto files = platform.files;
  EXPECT_EQ(FailureOf([&] { ReadSetting(platform, L"IP"); }), ErrorKind::kNotInCodePage);
  const std::optional<SaveFailure> failure = SaveValue(platform, L"IP", L"5.6.7.8");
  ASSERT_NE(failure, std::nullopt);
  EXPECT_EQ(failure->step, SaveStep::kPath);
  EXPECT_EQ(platform.files, files);
}

TEST(Settings, LongValueComesBackAsItsFirst1023Bytes) {
  FakePlatform platform;
  platform.SetIni("[Qelmark]\r\nCMD1=" + std::string(2000, 'a') + "\r\n");
  EXPECT_EQ(ReadSetting(platform, L"CMD1"), std::wstring(1023, L'a'));
}

TEST(Settings, FailedWriteIsReported) {
  FakePlatform platform;
  platform.filesWritable = false;
  const std::optional<SaveFailure> failure = SaveValue(platform, L"IP", L"x");
  ASSERT_NE(failure, std::nullopt);
  ASSERT_NE(failure->system, std::nullopt);
  EXPECT_EQ(failure->system->code, 5u);
  EXPECT_TRUE(platform.files.empty());
}

}  // namespace
}  // namespace qel
