// A status query: a script whose first token is "?" ("qel.exe ? 2",
// "qel.exe ? 1 2 3 4") asks the switch and asks only. One status read
// (setip, receivep6), then one line per outlet named on standard output, in
// the order named: "on" or "off" by the outlet's SW<n> mask, as the window's
// labels read it, or "unknown" for an outlet that cannot be reported, whose
// reason goes to standard error. Nothing is switched, waited for or started.
#pragma once

#include <string>
#include <vector>

#include "core/command_script.h"
#include "core/switch_library.h"
#include "core/switch_log.h"

namespace qel {

inline constexpr wchar_t kStatusQueryToken[] = L"?";

// Whether the tokens (two or more) are a status query.
bool IsStatusQuery(const std::vector<std::wstring>& tokens);

// Runs the query of `tokens` (the "?" first; empty tokens are no outlet).
// Returns why an outlet named is unknown, or why none was named, each
// written as a script's failed step ("qel: ? 5: 状態不明: ..."); none when
// every outlet named was reported. A read that does not answer ends the
// process through the watch, which is told to write the lines first.
std::vector<ScriptFailure> RunStatusQuery(SwitchLibrary& library, const std::vector<std::wstring>& tokens,
                                          SwitchLog& log);

}  // namespace qel
