#include "core/switch_library.h"

#include "core/errors.h"

namespace qel {

using switch_api::Function;

#if defined(__i386__) && defined(__GNUC__)
// A call of a library function through a thunk written out whole, so that
// it holds whatever the compiler does: it keeps ESP in a callee-saved
// register, lowers it so that ESP is a multiple of 16 at the call once the
// `count` arguments are on (GCC's code for 32-bit Windows counts on that,
// and SSE code in the library may fault without it), pushes them, calls,
// compares ESP with where __stdcall leaves it (the aligned pointer, before
// the arguments) and puts it back. 1 when the call left ESP there (a library
// built another way would not); the result in `result`. Global, so that the
// compiler keeps the C calling convention for it.
extern "C" [[gnu::naked]] int qel_call_keeping_stack(RawFunction /*function*/, const std::uint32_t* /*arguments*/,
                                                    std::uint32_t /*count*/, std::int32_t* /*result*/) {
  asm(R"(
  pushl %ebp
  movl %esp, %ebp
  pushl %esi
  pushl %edi
  movl %esp, %esi           # the pointer to put back
  movl 12(%ebp), %edx
  movl 16(%ebp), %ecx
  leal 0(,%ecx,4), %eax     # the arguments' bytes
  subl %eax, %esp
  andl $-16, %esp           # where the arguments begin: a multiple of 16
  addl %eax, %esp
  movl %esp, %edi           # where __stdcall leaves the pointer
1:
  testl %ecx, %ecx          # the arguments, the last first
  jz 2f
  pushl -4(%edx,%ecx,4)
  decl %ecx
  jmp 1b
2:
  call *8(%ebp)
  movl %esp, %ecx           # where the call left it
  movl %esi, %esp           # back in its place
  movl 20(%ebp), %edx
  movl %eax, (%edx)
  xorl %eax, %eax
  cmpl %edi, %ecx
  sete %al
  popl %edi
  popl %esi
  popl %ebp
  ret
)");
}
#endif

namespace {

#if defined(__i386__) && defined(__GNUC__)
// The arguments as the 32-bit words they are on the stack.
std::uint32_t Word(const char* text) { return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(text)); }
std::uint32_t Word(std::int32_t value) { return static_cast<std::uint32_t>(value); }
#endif

// Calls a function of the library; one that did not keep the stack pointer
// raises kCallingConvention once the pointer is back in its place.
template <typename Function, typename... Arguments>
std::int32_t CallLibrary(const char* name, Function function, Arguments... arguments) {
#if defined(__i386__) && defined(__GNUC__)
  const std::uint32_t words[] = {Word(arguments)..., 0};  // never empty
  std::int32_t result = 0;
  if (!qel_call_keeping_stack(reinterpret_cast<RawFunction>(function), words, sizeof...(arguments), &result)) {
    throw RuntimeError(ErrorKind::kCallingConvention, name);
  }
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
  stagingBegun_ = false;
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
  const auto function = Bound(setdata);
  stagingBegun_ = true;
  return CallLibrary("setdata", function, word);
}
std::int32_t SwitchLibrary::cleandata(std::int32_t word) {
  const WatchedCall watched(watch_, "cleandata");
  const auto function = Bound(cleandata);
  stagingBegun_ = true;
  return CallLibrary("cleandata", function, word);
}
std::int32_t SwitchLibrary::transfer(std::int32_t word) {
  const WatchedCall watched(watch_, "transfer");
  const auto function = Bound(transfer);
  stagingBegun_ = true;
  return CallLibrary("transfer", function, word);
}

#undef Bound

}  // namespace qel
