// Save and quit's write of ip.ini: only the fields the user changed or the
// file lacks, into a copy beside it that is checked and then takes its place
// in one step; nothing at all when there is nothing to write. A failing step
// leaves ip.ini as it was and comes back as a value (README.md, "What a save
// guarantees").
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/platform.h"
#include "core/profile_text_check.h"
#include "core/settings.h"

namespace qel {

// One field of the window as save and quit sees it.
struct FieldToSave {
  std::wstring key;                    // its key in ip.ini
  std::wstring name;                   // as messages name it: "IP", "Sw1", "CMD1"
  std::optional<std::wstring> filled;  // what ip.ini gave when the window was filled; nothing if it never was
  std::wstring text;                   // what the field holds now
};

// Whether saving writes a field: when its text is not what the file gave
// when the window was filled (or the window was never filled), or when the
// file does not hold its key now.
bool NeedsWriting(const std::optional<std::wstring>& filled, const std::wstring& text, bool fileHoldsKey);

// The step at which a save stopped.
enum class SaveStep {
  kPath,      // ip.ini's path cannot be named in the ANSI code page
  kValue,     // a value would not come back as it is (`value` says why)
  kReadOnly,  // ip.ini is read-only: kept as it is
  kCopy,      // no copy of ip.ini could be made beside it
  kCopyPath,  // the copy's path cannot be named in the ANSI code page
  kWrite,     // the profile functions refused to write a value into the copy
  kFlush,     // the copy could not be flushed to the disk
  kReadBack,  // a value read back from the copy is not what it should be
  kWholeFile, // the copy does not hold the rest of ip.ini (`mismatch` says where), or
              // the two could not be read to compare them
  kReplace,   // the copy could not take ip.ini's place
};

// A copy that was to be removed and could not be: where it is left, and
// the system's reason.
struct LeftCopy {
  std::wstring path;
  SystemError reason;
};

struct SaveFailure {
  SaveStep step;
  std::wstring field;                 // kValue, kWrite, kReadBack: the field's name (or the file's key)
  std::optional<ValueProblem> value;  // kValue
  std::optional<SystemError> system;  // kCopy, kWrite, kFlush, kReplace, kWholeFile: the system's reason
  std::optional<CopyMismatch> mismatch = std::nullopt;  // kWholeFile: what the copy lost
  std::optional<LeftCopy> leftCopy = std::nullopt;      // after kCopyPath and the steps after it
};

// Saves the fields that need it; nothing when ip.ini now holds them all.
std::optional<SaveFailure> SaveSettings(Platform& platform, const std::vector<FieldToSave>& fields);

}  // namespace qel
