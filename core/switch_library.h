// The binding of the switch's library, socket.dll (its functions are listed
// in core/switch_library_api.h). The library is loaded by name on the first
// call of any of its functions and each function is looked up on its own
// first call. A failed load or look-up raises an error and is tried again on
// the next call; a success is kept for the life of the process.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "core/platform.h"
#include "core/switch_library_api.h"

namespace qel {

inline constexpr wchar_t kSwitchLibraryName[] = L"socket.dll";

// The limit of one call into the library: a script ends with exit code 2
// (kExitNoAnswer) when a call has not come back by then, and the window's
// labels say that the switch does not answer.
inline constexpr unsigned kCallLimitSeconds = 10;

// Told when each call into the library begins and when it has ended,
// returned or failed (loading the library and looking up the function are
// part of the call): a script's watchdog holds each call to a time limit.
class SwitchCallWatch {
 public:
  virtual ~SwitchCallWatch() = default;
  virtual void Begins(const char* function) = 0;
  virtual void Ended() = 0;
  // The script's step ("2 1") that the calls from now on belong to, for
  // saying which step the switch did not answer.
  virtual void StepBegins(const std::wstring& step) = 0;
  // For the step begun last: the reason its line gives when the switch does
  // not answer (in place of "切替できず: スイッチが応答しない"), and what is
  // done before the script ends there (a status query's lines, the log's
  // line). StepBegins forgets both.
  virtual void WhenNoAnswer(const std::wstring& reason, std::function<void()> last) {
    static_cast<void>(reason);
    static_cast<void>(last);
  }
};

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
  // Why the library did not load, at the last try (code 0 when it loaded
  // or was not tried).
  const SystemError& loadFailure() const { return loadFailure_; }

  // Whether setdata, cleandata or transfer has been called since the last
  // setip: once it has, a failure may come after the switch took the new
  // word, and the outlet may have switched.
  bool stagingBegun() const { return stagingBegun_; }

  // Every call from now on is told to `watch` (nullptr: to none).
  void Watch(SwitchCallWatch* watch) { watch_ = watch; }
  SwitchCallWatch* watch() const { return watch_; }

 private:
  RawFunction Bind(switch_api::Function function);

  Platform& platform_;
  void* module_ = nullptr;
  SystemError loadFailure_;
  std::array<RawFunction, switch_api::kFunctionCount> functions_{};
  SwitchCallWatch* watch_ = nullptr;
  bool stagingBegun_ = false;
};

}  // namespace qel
