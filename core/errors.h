// Runtime errors of qel. Every failure the program knows about is raised as a
// RuntimeError carrying its kind; callers that skip failures catch this type.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>

namespace qel {

enum class ErrorKind {
  kTypeMismatch,        // a text that is not a number where one is needed
  kOverflow,            // a value outside the width it is narrowed to
  kIndexOutOfRange,     // an array index outside its bounds
  kLibraryNotFound,     // socket.dll cannot be loaded
  kFunctionNotFound,    // a function of socket.dll cannot be found
  kNotInCodePage,       // a text the ANSI code page cannot hold
  kAnswerOutOfRange,    // socket.dll, handed a new word, answered outside 16 bits:
                        // the outlet may have switched
  kCallingConvention,   // a function of socket.dll left the stack pointer elsewhere
                        // than __stdcall does: a library built another way
  kNoAddress,           // the switch's address is empty (or only blanks): no switch is named
  kNoSettingsFile,      // there is no ip.ini beside qel.exe
  kNoMaskKey,           // ip.ini has no SW<n> key for the outlet (outlets are 1 to 4)
  kEmptyMask,           // the outlet's SW<n> key is there but empty
  kMaskZero,            // a mask of 0, which names no outlet: nothing is sent
};

const char* ErrorKindName(ErrorKind kind);

class RuntimeError : public std::runtime_error {
 public:
  RuntimeError(ErrorKind kind, const std::string& detail)
      : std::runtime_error(std::string(ErrorKindName(kind)) + ": " + detail), kind_(kind) {}
  ErrorKind kind() const { return kind_; }

 private:
  ErrorKind kind_;
};

inline const char* ErrorKindName(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::kTypeMismatch: return "type mismatch";
    case ErrorKind::kOverflow: return "overflow";
    case ErrorKind::kIndexOutOfRange: return "index out of range";
    case ErrorKind::kLibraryNotFound: return "library not found";
    case ErrorKind::kFunctionNotFound: return "function not found";
    case ErrorKind::kNotInCodePage: return "text the ANSI code page cannot hold";
    case ErrorKind::kAnswerOutOfRange: return "answer to a new word out of range";
    case ErrorKind::kCallingConvention: return "function of another calling convention";
    case ErrorKind::kNoAddress: return "no address";
    case ErrorKind::kNoSettingsFile: return "no settings file";
    case ErrorKind::kNoMaskKey: return "no mask key";
    case ErrorKind::kEmptyMask: return "empty mask";
    case ErrorKind::kMaskZero: return "mask 0";
  }
  return "unknown error";
}

// Runs `step` and returns the kind of the runtime error it raised, or nothing
// when it succeeded: a failure as a value, for callers that handle it there.
template <typename Step>
std::optional<ErrorKind> FailureOf(Step&& step) {
  try {
    step();
  } catch (const RuntimeError& e) {
    return e.kind();
  }
  return std::nullopt;
}

}  // namespace qel
