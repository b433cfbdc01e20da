#include "core/settings.h"

#include <gtest/gtest.h>

#include "core/errors.h"
#include "testing/fake_platform.h"
#include "testing/setting_round_trips.h"

namespace qel {
namespace {

TEST(SettingsFilePath, BesideTheExecutable) {
  FakePlatform platform;
  platform.executableDirectory = L"C:\\Program Files\\qel";
  EXPECT_EQ(SettingsFilePath(platform), L"C:\\Program Files\\qel\\ip.ini");
  platform.executableDirectory = L"D:\\";
  EXPECT_EQ(SettingsFilePath(platform), L"D:\\ip.ini");
}

TEST(Settings, ReadsAndWritesSectionQelmarkOfIpIni) {
  FakePlatform platform;
  EXPECT_EQ(ReadSetting(platform, L"IP"), L"");  // no file yet
  EXPECT_NE(WriteSetting(platform, L"IP", L"192.168.1.10"), 0);
  EXPECT_EQ(platform.files.count("C:\\qel\\ip.ini"), 1u);
  EXPECT_EQ(platform.Ini(), "[Qelmark]\r\nIP=192.168.1.10\r\n");
  EXPECT_EQ(ReadSetting(platform, L"IP"), L"192.168.1.10");
}

TEST(Settings, TextCrossesTheFileInTheCodePage) {
  FakePlatform platform;  // its code page is UTF-8
  WriteSetting(platform, L"CMD1", L"C:\\ツール\\起動.exe");
  EXPECT_EQ(platform.Ini(), "[Qelmark]\r\nCMD1=C:\\\xE3\x83\x84\xE3\x83\xBC\xE3\x83\xAB\\\xE8\xB5\xB7\xE5\x8B\x95.exe\r\n");
  EXPECT_EQ(ReadSetting(platform, L"CMD1"), L"C:\\ツール\\起動.exe");
}

TEST(Settings, WhatIsWrittenComesBackExactly) {
  for (const auto& c : testing_tables::kSettingRoundTrips) {
    SCOPED_TRACE(c.what);
    FakePlatform platform;
    ASSERT_NE(WriteSetting(platform, L"CMD1", c.value), 0);
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
  EXPECT_EQ(CheckSettingValue(platform, L"C:\\Ωmega\\x.exe"), SettingProblem::kNotInCodePage);
  EXPECT_EQ(FailureOf([&] { WriteSetting(platform, L"CMD1", L"C:\\Ωmega\\x.exe"); }), ErrorKind::kNotInCodePage);
  EXPECT_EQ(platform.Ini(), "[Qelmark]\r\nCMD1=old\r\n");
  EXPECT_EQ(CheckSettingValue(platform, L"C:\\Omega\\x.exe"), std::nullopt);
}

TEST(Settings, ValuesThatAReadWouldCutAreTooLong) {
  FakePlatform platform;  // UTF-8: 起 takes three bytes
  const struct {
    std::wstring value;
    std::optional<SettingProblem> problem;
  } cases[] = {
      {std::wstring(1023, L'a'), std::nullopt},
      {std::wstring(1024, L'a'), SettingProblem::kTooLong},
      {std::wstring(341, L'起'), std::nullopt},  // 1023 bytes
      {std::wstring(341, L'起') + L"a", SettingProblem::kTooLong},
      // A value written inside added quote marks may have one byte less.
      {L"\"" + std::wstring(1020, L'a') + L"\"", std::nullopt},
      {L"\"" + std::wstring(1021, L'a') + L"\"", SettingProblem::kTooLong},
      {L"\"" + std::wstring(1021, L'a') + L"'", std::nullopt},  // not stripped, so not quoted
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value.size());
    EXPECT_EQ(CheckSettingValue(platform, c.value), c.problem);
    if (!c.problem) {
      WriteSetting(platform, L"CMD1", c.value);
      EXPECT_EQ(ReadSetting(platform, L"CMD1"), c.value);
    }
  }
}

TEST(Settings, AnIniPathTheCodePageCannotHoldIsNoPath) {
  FakePlatform platform;
  platform.outsideCodePage = L"Ω";
  platform.executableDirectory = L"C:\\Ωmega";
  platform.files["C:\\Omega\\ip.ini"] = "[Qelmark]\r\nIP=1.2.3.4\r\n";  // the look-alike
  platform.files["C:\\?mega\\ip.ini"] = "[Qelmark]\r\nIP=1.2.3.4\r\n";
  const auto files = platform.files;
  EXPECT_EQ(FailureOf([&] { ReadSetting(platform, L"IP"); }), ErrorKind::kNotInCodePage);
  EXPECT_EQ(FailureOf([&] { WriteSetting(platform, L"IP", L"5.6.7.8"); }), ErrorKind::kNotInCodePage);
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
  EXPECT_EQ(WriteSetting(platform, L"IP", L"x"), 0);
}

}  // namespace
}  // namespace qel
