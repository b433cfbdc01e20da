// For tests: the kind of runtime error a call raises, or nothing.
#pragma once

#include <optional>

#include "platform/errors.h"

namespace qel {

template <typename F>
std::optional<ErrorKind> RaisedBy(F&& f) {
  try {
    f();
  } catch (const RuntimeError& e) {
    return e.kind();
  }
  return std::nullopt;
}

}  // namespace qel
