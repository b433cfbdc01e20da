// The path of a loaded module, read whole, and the folder of a path.
#pragma once

#include <windows.h>

#include <string>

namespace qel {

// GetModuleFileNameW, or a stand-in with its contract: the length of the
// path when it fits the buffer with its NUL, else the buffer's size (the
// path cut, NUL-ended on Windows, not under Wine or on Windows XP).
using ModulePathReader = DWORD(WINAPI*)(HMODULE module, wchar_t* buffer, DWORD size);

// The whole path of `module` (nullptr: the executable): the buffer grows
// until the path fits, so a path cut at the buffer's end is never taken
// for the whole one.
std::wstring WholeModulePath(HMODULE module, ModulePathReader read = &GetModuleFileNameW);

// The folder of a file's path, without the separator after it, except for a
// drive's root ("C:\"); empty for a path without a separator.
std::wstring FolderOf(const std::wstring& path);

}  // namespace qel
