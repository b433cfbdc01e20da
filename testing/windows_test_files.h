// What the Windows test programs share: text conversions, the Wine path of a
// Unix path, whole-file reads and writes, and a folder of a test's own.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace qel_test {

inline std::wstring Widen(const std::string& text, UINT codePage = CP_UTF8) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

inline std::string Narrow(const std::wstring& text, UINT codePage = CP_UTF8) {
  if (text.empty()) return {};
  const int n =
      WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

// The system's words for an error code, on one line, as qel's messages give
// them before the code.
inline std::wstring SystemErrorText(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
      reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring result = length > 0 ? std::wstring(text, length) : std::wstring();
  LocalFree(text);
  while (!result.empty() && (result.back() == L'\n' || result.back() == L'\r' || result.back() == L' ')) {
    result.pop_back();
  }
  return result;
}

// A path as a Windows program sees it: a Unix path, as CTest passes it to a
// program run under Wine, on Wine's drive Z:; any other path as it stands.
inline std::wstring WindowsPath(const std::wstring& path) {
  std::wstring out = path;
  if (!out.empty() && out[0] == L'/') out = L"Z:" + out;
  for (wchar_t& c : out) {
    if (c == L'/') c = L'\\';
  }
  return out;
}
inline std::wstring WindowsPath(const char* path) { return WindowsPath(Widen(path)); }

inline bool FileExists(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// A whole file; empty when it is missing.
inline std::string ReadAll(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void WriteAll(const std::wstring& path, const std::string& content) {
  std::ofstream(path.c_str(), std::ios::binary | std::ios::trunc) << content;
}

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// The simulated switch's journal: one call a line, which ends in
// " [thread <id>]", the thread that made the call. A line's call without
// that field (a line without it as it stands); the calls of a journal; and
// the thread of each (empty for a line without one).
inline constexpr char kJournalThread[] = " [thread ";
inline std::string JournalCall(const std::string& line) {
  const std::size_t at = line.rfind(kJournalThread);
  return at == std::string::npos || line.back() != ']' ? line : line.substr(0, at);
}
inline std::vector<std::string> JournalCalls(const std::string& text) {
  std::vector<std::string> calls;
  for (const std::string& line : Lines(text)) calls.push_back(JournalCall(line));
  return calls;
}
inline std::vector<std::string> JournalThreads(const std::string& text) {
  std::vector<std::string> threads;
  for (const std::string& line : Lines(text)) {
    const std::string call = JournalCall(line);
    threads.push_back(call.size() == line.size()
                          ? std::string()
                          : line.substr(call.size() + std::size(kJournalThread) - 1,
                                        line.size() - call.size() - std::size(kJournalThread)));
  }
  return threads;
}

// How many copies a save left beside an ip.ini ("ip.ini.<process>.tmp").
inline int CopiesBeside(const std::wstring& ini) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((ini + L".*.tmp").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  int count = 0;
  do {
    ++count;
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return count;
}

// Removes a folder with everything in it, without asking.
inline void RemoveFolder(const std::wstring& dir) {
  std::wstring from = dir + L'\0';  // list of one, double-null terminated
  SHFILEOPSTRUCTW op = {};
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_NO_UI;
  SHFileOperationW(&op);
}

// A fresh folder in the temporary folder, named `prefix` and the running
// test's name: what an earlier run left there is removed first.
inline std::wstring FreshFolderForThisTest(const std::wstring& prefix) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const auto* info = testing::UnitTest::GetInstance()->current_test_info();
  std::wstring name = Widen(std::string(info->test_suite_name()) + "-" + info->name());
  for (wchar_t& c : name) {
    if (c == L'/') c = L'-';
  }
  const std::wstring folder = std::wstring(temp) + prefix + name;
  RemoveFolder(folder);
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

}  // namespace qel_test
