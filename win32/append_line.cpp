#include "win32/append_line.h"

#include <vector>

#include "win32/owned_handle.h"

namespace qel {
namespace {

// Renames the file the handle is open on, whatever is at its path by now:
// of two processes that find the log full at once, the second renames the
// file the first renamed already onto itself, never the first's new log.
bool RenameOpenFile(HANDLE file, const std::wstring& newPath) {
  const std::size_t bytes = sizeof(FILE_RENAME_INFO) + newPath.size() * sizeof(wchar_t);
  std::vector<unsigned char> buffer(bytes, 0);
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  rename->ReplaceIfExists = TRUE;
  rename->RootDirectory = nullptr;
  rename->FileNameLength = static_cast<DWORD>(newPath.size() * sizeof(wchar_t));
  newPath.copy(rename->FileName, newPath.size());
  return SetFileInformationByHandle(file, FileRenameInfo, rename, static_cast<DWORD>(bytes)) != FALSE;
}

}  // namespace

DWORD AppendLineToFile(const std::wstring& path, std::string_view header, std::string_view line,
                       std::uint64_t limitBytes) {
  for (int opening = 0; opening < 2; ++opening) {
    // Appending only: the system puts each write at the end of the file as
    // it is then, so the lines of processes writing at once never mix.
    const OwnedHandle file(CreateFileW(path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | DELETE | SYNCHRONIZE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return GetLastError();
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.get(), &size)) return GetLastError();
    const auto used = static_cast<std::uint64_t>(size.QuadPart);
    if (opening == 0 && used > 0 && used + line.size() > limitBytes) {
      if (!RenameOpenFile(file.get(), path + L".1")) return GetLastError();
      continue;  // a new file at `path`
    }
    std::string bytes;
    if (used == 0) bytes = header;
    bytes += line;
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
      return GetLastError();
    }
    return written == bytes.size() ? ERROR_SUCCESS : ERROR_WRITE_FAULT;
  }
  return ERROR_SUCCESS;  // not reached: the second opening writes
}

}  // namespace qel
