// The fixture of the suites that run the real qel.exe: a fresh folder of the
// running test holding qel.exe and the simulated socket.dll, where the
// simulated switch keeps its state and journal; removed afterwards.
//
// Each test program sets gQel and gSocket from its arguments before running
// the tests.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "testing/windows_test_files.h"

namespace qel_test {

// qel.exe and the simulated socket.dll, as Windows paths.
inline std::wstring gQel, gSocket;

class QelFolderTest : public testing::Test {
 protected:
  // `prefix` starts the folder's name, the test's name follows.
  explicit QelFolderTest(const wchar_t* prefix) : prefix_(prefix) {}

  void SetUp() override {
    dir_ = FreshFolderForThisTest(prefix_);
    ASSERT_TRUE(CopyQelInto(dir_));
    SetEnvironmentVariableW(L"QELSIM_STATE", (dir_ + L"\\switch.state").c_str());
    SetEnvironmentVariableW(L"QELSIM_JOURNAL", (dir_ + L"\\switch.journal").c_str());
    SetEnvironmentVariableW(L"QELSIM_FAULT", nullptr);
  }
  void TearDown() override { RemoveFolder(dir_); }

  // qel.exe and the simulated socket.dll copied into `folder`, which exists.
  static bool CopyQelInto(const std::wstring& folder) {
    return CopyFileW(gQel.c_str(), (folder + L"\\qel.exe").c_str(), FALSE) &&
           CopyFileW(gSocket.c_str(), (folder + L"\\socket.dll").c_str(), FALSE);
  }

  std::wstring Ini() const { return dir_ + L"\\ip.ini"; }
  std::wstring JournalPath() const { return dir_ + L"\\switch.journal"; }
  std::wstring StatePath() const { return dir_ + L"\\switch.state"; }

  std::wstring dir_;

 private:
  const wchar_t* prefix_;
};

}  // namespace qel_test
