// OLE for this thread while it lives (drag and drop needs it). ok() tells
// whether the initialisation succeeded; only then is it undone.
#pragma once

#include <windows.h>
#include <ole2.h>

namespace qel {

class ScopedOle {
 public:
  ScopedOle() : ok_(SUCCEEDED(OleInitialize(nullptr))) {}
  ~ScopedOle() {
    if (ok_) OleUninitialize();
  }
  ScopedOle(const ScopedOle&) = delete;
  ScopedOle& operator=(const ScopedOle&) = delete;
  bool ok() const { return ok_; }

 private:
  bool ok_;
};

}  // namespace qel
