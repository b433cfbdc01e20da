// The words of a save of ip.ini that did not get through: the step it
// stopped at, what the checked copy lost, the whole message.
#pragma once

#include <string>

#include "core/settings_save.h"
#include "core/window_texts.h"

namespace qel::texts {

// The words for the step at which a save stopped, before the system's
// reason; `field` names the field of a write or a read-back.
std::wstring SaveStepWords(SaveStep step, const std::wstring& field);
// Where the checked copy of ip.ini lost or changed a line of it.
std::wstring CopyMismatchWords(const CopyMismatch& mismatch);
// Any failed save as the message says it.
std::wstring SaveFailureMessage(const std::wstring& path, const SaveFailure& failure);

}  // namespace qel::texts
