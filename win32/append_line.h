// Platform::AppendLine on Windows: one line appended to a log in one write,
// the file renamed to "<file>.1" at its size limit.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace qel {

// ERROR_SUCCESS, or the system's error code (ERROR_WRITE_FAULT for a write
// that wrote less and said nothing).
DWORD AppendLineToFile(const std::wstring& path, std::string_view header, std::string_view line,
                       std::uint64_t limitBytes);

}  // namespace qel
