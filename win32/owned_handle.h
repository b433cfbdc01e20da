// Owners of Windows resources: each one releases what it holds when it goes,
// and can be moved but never copied, so a resource has exactly one owner.
//
//   OwnedHandle   a kernel object (process, thread, file, mapping): CloseHandle
//   OwnedFont     a GDI font: DeleteObject
//   OwnedBrush    a GDI brush: DeleteObject
//   OwnedProcess  the process and thread handles CreateProcessW returns
//
// OLE for a thread has its owner apart, in scoped_ole.h.
#pragma once

#include <windows.h>

#include <utility>

namespace qel {

template <typename Traits>
class Owned {
 public:
  using Type = typename Traits::Type;

  Owned() = default;
  explicit Owned(Type value) : value_(value) {}
  ~Owned() { Reset(); }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  Owned(Owned&& other) noexcept : value_(other.Release()) {}
  Owned& operator=(Owned&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }

  // Releases what is held and takes `value` instead.
  void Reset(Type value = Traits::Invalid()) {
    const Type old = std::exchange(value_, value);
    if (Traits::IsValid(old)) Traits::Close(old);
  }
  // Gives up ownership without releasing.
  Type Release() { return std::exchange(value_, Traits::Invalid()); }

  Type get() const { return value_; }
  explicit operator bool() const { return Traits::IsValid(value_); }

 private:
  Type value_ = Traits::Invalid();
};

namespace owned_traits {

struct KernelHandle {
  using Type = HANDLE;
  static Type Invalid() { return nullptr; }
  // Functions such as CreateFileW report failure as INVALID_HANDLE_VALUE.
  static bool IsValid(Type handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
  static void Close(Type handle) { CloseHandle(handle); }
};

template <typename GdiObject>
struct Gdi {
  using Type = GdiObject;
  static Type Invalid() { return nullptr; }
  static bool IsValid(Type object) { return object != nullptr; }
  static void Close(Type object) { DeleteObject(object); }
};

}  // namespace owned_traits

using OwnedHandle = Owned<owned_traits::KernelHandle>;
using OwnedFont = Owned<owned_traits::Gdi<HFONT>>;
using OwnedBrush = Owned<owned_traits::Gdi<HBRUSH>>;

// The handles CreateProcessW returns, closed together, and the process's id.
struct OwnedProcess {
  OwnedHandle process;
  OwnedHandle thread;
  DWORD id = 0;
  void Take(const PROCESS_INFORMATION& information) {
    process.Reset(information.hProcess);
    thread.Reset(information.hThread);
    id = information.dwProcessId;
  }
};

}  // namespace qel
