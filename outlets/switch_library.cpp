#include "outlets/switch_library.h"

#include "platform/errors.h"

namespace qel {
namespace {

using TextFunction = std::int32_t(QEL_STDCALL*)(const char*);
using VoidFunction = std::int32_t(QEL_STDCALL*)();
using WordFunction = std::int32_t(QEL_STDCALL*)(std::int32_t);

constexpr const char* kFunctionNames[] = {"setip", "receivep6", "setdata", "cleandata", "transfer"};

}  // namespace

RawFunction SwitchLibrary::Bind(Function function) {
  if (functions_[function] != nullptr) return functions_[function];
  if (module_ == nullptr) {
    module_ = platform_.LoadSwitchLibrary(kSwitchLibraryName);
    if (module_ == nullptr) throw RuntimeError(ErrorKind::kLibraryNotFound, "socket.dll");
  }
  functions_[function] = platform_.FindFunction(module_, kFunctionNames[function]);
  if (functions_[function] == nullptr) {
    throw RuntimeError(ErrorKind::kFunctionNotFound, kFunctionNames[function]);
  }
  return functions_[function];
}

std::int32_t SwitchLibrary::setip(const std::wstring& address) {
  const auto call = reinterpret_cast<TextFunction>(Bind(kSetip));
  const std::string text = platform_.ToAnsi(address);  // lives through the call
  return call(text.c_str());
}

std::int32_t SwitchLibrary::receivep6() { return reinterpret_cast<VoidFunction>(Bind(kReceivep6))(); }

std::int32_t SwitchLibrary::CallWithWord(Function function, std::int32_t word) {
  return reinterpret_cast<WordFunction>(Bind(function))(word);
}

std::int32_t SwitchLibrary::setdata(std::int32_t word) { return CallWithWord(kSetdata, word); }
std::int32_t SwitchLibrary::cleandata(std::int32_t word) { return CallWithWord(kCleandata, word); }
std::int32_t SwitchLibrary::transfer(std::int32_t word) { return CallWithWord(kTransfer, word); }

}  // namespace qel
