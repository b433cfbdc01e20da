#include "core/settings.h"

#include <gtest/gtest.h>

#include "testing/fake_platform.h"

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
  WriteSetting(platform, L"CMD1", L"\"C:\\ツール\\起動.exe\"");
  EXPECT_EQ(platform.Ini(), "[Qelmark]\r\nCMD1=\"C:\\\xE3\x83\x84\xE3\x83\xBC\xE3\x83\xAB\\\xE8\xB5\xB7\xE5\x8B\x95.exe\"\r\n");
  EXPECT_EQ(ReadSetting(platform, L"CMD1"), L"C:\\ツール\\起動.exe");  // enclosing quotes removed
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
