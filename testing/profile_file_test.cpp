// One table of profile-file cases, run natively against our own profile layer
// and, in the Windows build, against the system's GetPrivateProfileStringA
// and WritePrivateProfileStringA. Each case works on a real file.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include "testing/profile_file.h"
#endif

namespace {

#ifdef _WIN32
std::string Read(const char* section, const char* key, std::size_t size, const std::string& path) {
  std::string buffer(size, '\0');
  const DWORD length = GetPrivateProfileStringA(section, key, "", buffer.data(), static_cast<DWORD>(size),
                                                path.c_str());
  buffer.resize(length);
  return buffer;
}
std::int32_t Write(const char* section, const char* key, const char* value, const std::string& path) {
  return WritePrivateProfileStringA(section, key, value, path.c_str());
}
#else
std::string Read(const char* section, const char* key, std::size_t size, const std::string& path) {
  return qel::profile::ReadFile(section, key, size, path);
}
std::int32_t Write(const char* section, const char* key, const char* value, const std::string& path) {
  return qel::profile::WriteFile(section, key, value, path);
}
#endif

class ProfileTable : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("qel-profile-" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    path_ = (dir_ / "ip.ini").string();
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  void Put(const std::string& content) {
    std::ofstream(path_, std::ios::binary) << content;
  }
  std::string Content() {
    std::ifstream in(path_, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::filesystem::path dir_;
  std::string path_;
};

struct ReadCase {
  const char* what;
  const char* file;  // nullptr: no file at all
  const char* key;
  const char* expected;
  std::size_t bufferSize = 1024;
};

TEST_F(ProfileTable, Reads) {
  const std::string longValue(2000, 'x');
  const std::string longFile = "[Qelmark]\r\nCMD1=" + longValue + "\r\n";
  const std::string cut(1023, 'x');
  const ReadCase cases[] = {
      {"no file", nullptr, "IP", ""},
      {"key present", "[Qelmark]\r\nIP=192.168.1.10\r\nSW1=1\r\n", "IP", "192.168.1.10"},
      {"missing key", "[Qelmark]\r\nSW1=1\r\nSW2=4\r\nSW3=32\r\nSW4=128\r\n", "SW5", ""},
      {"other section only", "[Other]\r\nIP=1.2.3.4\r\n", "IP", ""},
      {"key in another section is not ours", "[Other]\r\nSW1=9\r\n[Qelmark]\r\nSW1=1\r\n", "SW1", "1"},
      {"names ignore letter case", "[qelMARK]\r\nsw3=32\r\n", "SW3", "32"},
      {"blanks around value trimmed", "[Qelmark]\r\nIP =  \t10.0.0.1 \t \r\n", "IP", "10.0.0.1"},
      {"enclosing double quotes removed", "[Qelmark]\r\nCMD1=\"C:\\tools\\run.exe\"\r\n", "CMD1",
       "C:\\tools\\run.exe"},
      {"enclosing single quotes removed", "[Qelmark]\r\nCMD1='a b'\r\n", "CMD1", "a b"},
      {"inner quotes kept", "[Qelmark]\r\nCMD1=\"a\" \"b\"\r\n", "CMD1", "a\" \"b"},
      {"unmatched quotes kept", "[Qelmark]\r\nCMD1=\"abc'\r\n", "CMD1", "\"abc'"},
      {"lone quote kept", "[Qelmark]\r\nCMD1=\"\r\n", "CMD1", "\""},
      {"LF line endings", "[Qelmark]\nIP=1.1.1.1\nSW1=4\n", "SW1", "4"},
      {"lone CR line endings", "[Qelmark]\rIP=1.1.1.1\rSW1=4\r", "SW1", "4"},
      {"a lone CR ends a value", "[Qelmark]\r\nCMD1=a\rCMD2=b\r\n", "CMD1", "a"},
      {"after a lone CR a new line", "[Qelmark]\r\nCMD1=a\rCMD2=b\r\n", "CMD2", "b"},
      {"tab, VT, FF and Ctrl-Z trimmed", "[Qelmark]\r\nCMD1=\t\v\f\x1Ax y\x1A\f\v\t\r\n", "CMD1", "x y"},
      {"trimmed before the quotes are stripped", "[Qelmark]\r\nCMD1=\"C:\\My Tools\\run.exe\" \r\n", "CMD1",
       "C:\\My Tools\\run.exe"},
      {"last line without terminator", "[Qelmark]\r\nSW4=128", "SW4", "128"},
      {"empty value", "[Qelmark]\r\nCMD2=\r\n", "CMD2", ""},
      {"value cut to 1023 bytes", longFile.c_str(), "CMD1", cut.c_str()},
      {"value cut to a small buffer", "[Qelmark]\r\nIP=192.168.1.10\r\n", "IP", "192", 4},
      {"key with a space is another key", "[Qelmark]\r\nSW 3=32\r\n", "SW3", ""},
      {"key without a value line", "[Qelmark]\r\nIP\r\n", "IP", ""},
      {"never-written key", "[Qelmark]\r\nCMD1=a\r\n", "CMD0", ""},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(path_);
    if (c.file) Put(c.file);
    EXPECT_EQ(Read("Qelmark", c.key, c.bufferSize, path_), c.expected);
  }
}

struct WriteCase {
  const char* what;
  const char* file;  // nullptr: no file at all
  const char* key;
  const char* value;
  const char* expectedFile;
};

TEST_F(ProfileTable, Writes) {
  const WriteCase cases[] = {
      {"creates file and section", nullptr, "IP", "192.168.1.10", "[Qelmark]\r\nIP=192.168.1.10\r\n"},
      {"replaces the key's line in place", "[Qelmark]\r\nIP=1.1.1.1\r\nSW1=1\r\n", "IP", "2.2.2.2",
       "[Qelmark]\r\nIP=2.2.2.2\r\nSW1=1\r\n"},
      {"replaces regardless of letter case, keeping the file's spelling", "[Qelmark]\r\nip=1.1.1.1\r\n", "IP", "2",
       "[Qelmark]\r\nip=2\r\n"},
      {"appends a new key to its section", "[Qelmark]\r\nIP=1\r\n[Other]\r\nX=1\r\n", "SW1", "4",
       "[Qelmark]\r\nIP=1\r\nSW1=4\r\n[Other]\r\nX=1\r\n"},
      {"adds the section after others", "[Other]\r\nX=1\r\n", "CMD1", "a", "[Other]\r\nX=1\r\n[Qelmark]\r\nCMD1=a\r\n"},
      {"writes an empty value", "[Qelmark]\r\nCMD2=calc.exe\r\n", "CMD2", "", "[Qelmark]\r\nCMD2=\r\n"},
      {"keeps quotes as given", nullptr, "CMD1", "\"C:\\a b\\run.exe\"",
       "[Qelmark]\r\nCMD1=\"C:\\a b\\run.exe\"\r\n"},
  };
  for (const WriteCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(path_);
    if (c.file) Put(c.file);
    EXPECT_NE(Write("Qelmark", c.key, c.value, path_), 0);
    EXPECT_EQ(Content(), c.expectedFile);
  }
}

TEST_F(ProfileTable, WhatIsWrittenReadsBack) {
  const char* values[] = {"192.168.1.10", "", "\"C:\\Program Files\\x.exe\" /a", "=", "a=b", "1;2"};
  for (const char* value : values) {
    SCOPED_TRACE(value);
    ASSERT_NE(Write("Qelmark", "CMD1", value, path_), 0);
    EXPECT_EQ(Read("Qelmark", "CMD1", 1024, path_), value);
  }
}

TEST_F(ProfileTable, WriteFailsWhereNoFileCanBe) {
  // The path names a folder: nothing can be written, the failure is reported.
  std::filesystem::create_directories(path_);
  EXPECT_EQ(Write("Qelmark", "IP", "1", path_), 0);
  EXPECT_EQ(Read("Qelmark", "IP", 1024, path_), "");
}

#ifndef _WIN32
// The sections, and the keys of a section that a write may have lost: as the
// system lists them, keys without "=" and comments left out.
TEST(ProfileLists, SectionsAndKeys) {
  const char file[] = "; c\r\n[Qelmark]\r\nIP=1\r\n;SW1=2\r\nCMD1\r\n sw2 = 3\r\n[Other]\rX=1\r[qelmark]\r\nSW4=9\r\n";
  EXPECT_EQ(qel::profile::Sections(file), (std::vector<std::string>{"Qelmark", "Other", "qelmark"}));
  EXPECT_EQ(qel::profile::Keys(file, "QELMARK"), (std::vector<std::string>{"IP", "sw2"}));
  EXPECT_EQ(qel::profile::Keys(file, "Other"), std::vector<std::string>{"X"});
  EXPECT_EQ(qel::profile::Keys(file, "None"), std::vector<std::string>());
}

// Our engine alone can tell a missing key from an empty value, which the
// state viewer reports differently.
TEST(ProfileFindValue, TellsMissingFromEmpty) {
  const struct {
    const char* what;
    const char* file;
    const char* key;
    std::optional<std::string> expected;
  } cases[] = {
      {"present", "[Qelmark]\r\nSW1= 4 \r\n", "sw1", "4"},
      {"empty value", "[Qelmark]\r\nSW1=\r\n", "SW1", ""},
      {"key without '=' is an empty value", "[Qelmark]\r\nSW1\r\n", "SW1", ""},
      {"missing key", "[Qelmark]\r\nSW1=4\r\n", "SW2", std::nullopt},
      {"key only in another section", "[Other]\r\nSW2=4\r\n[Qelmark]\r\n", "SW2", std::nullopt},
      {"no such section", "SW2=4\r\n", "SW2", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(qel::profile::FindValue(c.file, "Qelmark", c.key), c.expected);
  }
}
#endif

}  // namespace
