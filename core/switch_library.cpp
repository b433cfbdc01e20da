#include "core/switch_library.h"

#include "core/errors.h"

namespace qel {

using switch_api::Function;

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

// The bound function with its own type: Call(setip) is a setip_function.
#define Call(name) reinterpret_cast<switch_api::name##_function>(Bind(Function::name))

std::int32_t SwitchLibrary::setip(const std::wstring& address) {
  const auto function = Call(setip);
  const std::string text = AnsiText(platform_, address);  // lives through the call
  return function(text.c_str());
}

std::int32_t SwitchLibrary::receivep6() { return Call(receivep6)(); }
std::int32_t SwitchLibrary::setdata(std::int32_t word) { return Call(setdata)(word); }
std::int32_t SwitchLibrary::cleandata(std::int32_t word) { return Call(cleandata)(word); }
std::int32_t SwitchLibrary::transfer(std::int32_t word) { return Call(transfer)(word); }

#undef Call

}  // namespace qel
