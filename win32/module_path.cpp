#include "win32/module_path.h"

namespace qel {

std::wstring WholeModulePath(HMODULE module, ModulePathReader read) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = read(module, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

std::wstring FolderOf(const std::wstring& path) {
  const std::size_t separator = path.find_last_of(L"\\/");
  if (separator == std::wstring::npos) return {};
  // Keep the separator of a drive's root ("C:\").
  return path.substr(0, separator == 2 && path[1] == L':' ? separator + 1 : separator);
}

}  // namespace qel
