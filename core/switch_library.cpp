#include "core/switch_library.h"

#include "core/errors.h"

namespace qel {

using switch_api::Function;

namespace {

#if defined(__i386__) && defined(__GNUC__)
// Each function of socket.dll removes its own arguments from the stack
// (__stdcall), and the code that calls it counts on that. A library built
// with another convention would leave the stack pointer off by the size of
// the arguments, and qel would go on with its stack shifted. So the pointer
// is read right before and right after the call, and put back to where it
// was; true when the call kept it there.
//
// Nothing else moves the pointer between the two reads: GCC keeps the
// outgoing arguments in place on this target (it probes its stack), and
// with the frame pointer it keeps there every value of this function is
// found without the stack pointer. The tests of the library's convention
// (a library whose setdata removes nothing) fail if that ever changes.
template <typename Function, typename... Arguments>
[[gnu::noinline]] bool CallKeepingStack(std::int32_t& result, Function function, Arguments... arguments) {
  std::uintptr_t before = 0;
  std::uintptr_t after = 0;
  asm volatile("movl %%esp, %0" : "=r"(before) : : "memory");
  result = function(arguments...);
  asm volatile("movl %%esp, %0\n\tmovl %1, %%esp" : "=&r"(after) : "r"(before) : "memory");
  return after == before;
}
#endif

// Calls a function of the library; one that did not keep the stack pointer
// raises kCallingConvention once the pointer is back in its place.
template <typename Function, typename... Arguments>
std::int32_t CallLibrary(const char* name, Function function, Arguments... arguments) {
#if defined(__i386__) && defined(__GNUC__)
  std::int32_t result = 0;
  if (!CallKeepingStack(result, function, arguments...)) throw RuntimeError(ErrorKind::kCallingConvention, name);
  return result;
#else
  static_cast<void>(name);  // one calling convention only
  return function(arguments...);
#endif
}

// Tells the watch, if any, that a call begins, and when it has ended however
// it ended.
class WatchedCall {
 public:
  WatchedCall(SwitchCallWatch* watch, const char* function) : watch_(watch) {
    if (watch_ != nullptr) watch_->Begins(function);
  }
  ~WatchedCall() {
    if (watch_ != nullptr) watch_->Ended();
  }
  WatchedCall(const WatchedCall&) = delete;
  WatchedCall& operator=(const WatchedCall&) = delete;

 private:
  SwitchCallWatch* watch_;
};

}  // namespace

RawFunction SwitchLibrary::Bind(Function function) {
  const auto index = static_cast<std::size_t>(function);
  if (functions_[index] != nullptr) return functions_[index];
  if (module_ == nullptr) {
    module_ = platform_.LoadSwitchLibrary(kSwitchLibraryName);
    if (module_ == nullptr) throw RuntimeError(ErrorKind::kLibraryNotFound, "socket.dll");
  }
  const char* name = switch_api::kFunctionNames[index];
  functions_[index] = platform_.FindFunction(module_, name);
  if (functions_[index] == nullptr) throw RuntimeError(ErrorKind::kFunctionNotFound, name);
  return functions_[index];
}

// The bound function with its own type: Bound(setip) is a setip_function.
#define Bound(name) reinterpret_cast<switch_api::name##_function>(Bind(Function::name))

std::int32_t SwitchLibrary::setip(const std::wstring& address) {
  const WatchedCall watched(watch_, "setip");
  const auto function = Bound(setip);
  const std::string text = AnsiText(platform_, address);  // lives through the call
  return CallLibrary("setip", function, text.c_str());
}

std::int32_t SwitchLibrary::receivep6() {
  const WatchedCall watched(watch_, "receivep6");
  return CallLibrary("receivep6", Bound(receivep6));
}
std::int32_t SwitchLibrary::setdata(std::int32_t word) {
  const WatchedCall watched(watch_, "setdata");
  return CallLibrary("setdata", Bound(setdata), word);
}
std::int32_t SwitchLibrary::cleandata(std::int32_t word) {
  const WatchedCall watched(watch_, "cleandata");
  return CallLibrary("cleandata", Bound(cleandata), word);
}
std::int32_t SwitchLibrary::transfer(std::int32_t word) {
  const WatchedCall watched(watch_, "transfer");
  return CallLibrary("transfer", Bound(transfer), word);
}

#undef Bound

}  // namespace qel
