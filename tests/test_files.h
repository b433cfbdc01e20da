// Text and file helpers shared by the Windows test programs that run the
// real qel.exe: conversions, Wine paths, whole-file reads and writes.
#pragma once

#include <windows.h>
#include <shellapi.h>

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

inline std::wstring WindowsPath(const char* path) {
  std::wstring out = Widen(path);
  if (!out.empty() && out[0] == L'/') out = L"Z:" + out;
  for (wchar_t& c : out) {
    if (c == L'/') c = L'\\';
  }
  return out;
}

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

// Removes a folder with everything in it, without asking.
inline void RemoveFolder(const std::wstring& dir) {
  std::wstring from = dir + L'\0';  // list of one, double-null terminated
  SHFILEOPSTRUCTW op = {};
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_NO_UI;
  SHFileOperationW(&op);
}

}  // namespace qel_test
