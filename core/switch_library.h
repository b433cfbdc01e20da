// The binding of the switch's library, socket.dll (its functions are listed
// in core/switch_library_api.h). The library is loaded by name on the first
// call of any of its functions and each function is looked up on its own
// first call. A failed load or look-up raises an error and is tried again on
// the next call; a success is kept for the life of the process.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/platform.h"
#include "core/switch_library_api.h"

namespace qel {

inline constexpr wchar_t kSwitchLibraryName[] = L"socket.dll";

class SwitchLibrary {
 public:
  explicit SwitchLibrary(Platform& platform) : platform_(platform) {}
  SwitchLibrary(const SwitchLibrary&) = delete;
  SwitchLibrary& operator=(const SwitchLibrary&) = delete;

  // Each returns the library function's own result, unchecked. The address
  // goes in the ANSI code page (kNotInCodePage, before any call, when it
  // cannot); on 32-bit x86 a call that moved the stack pointer (a library
  // not built __stdcall) raises kCallingConvention, the pointer put back.
  std::int32_t setip(const std::wstring& address);
  std::int32_t receivep6();
  std::int32_t setdata(std::int32_t word);
  std::int32_t cleandata(std::int32_t word);
  std::int32_t transfer(std::int32_t word);

  Platform& platform() { return platform_; }

 private:
  RawFunction Bind(switch_api::Function function);

  Platform& platform_;
  void* module_ = nullptr;
  std::array<RawFunction, switch_api::kFunctionCount> functions_{};
};

}  // namespace qel
