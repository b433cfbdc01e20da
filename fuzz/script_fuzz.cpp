// libFuzzer target: the whole start-up routine, RunStartup, over the fake
// platform, with the input bytes (each byte one character) as the argument
// text and a fixed ip.ini. The fake only counts sleeps, so long waits cost
// no time; the six number slots are checked by ASan and the library's
// bounds assertions.
//
// The tokens are counted here on their own: split at every space, upper-cased
// (ASCII; no other character upper-cases to W, C, M or D), a token with "W"
// waits, one with "CMD" and no "W" starts a command line, every other token
// is a number; an empty token (two blanks in a row, a blank at the end)
// counts towards the two that make a script and is no step. What must hold:
//  - fewer than two tokens: window mode, the window opened once, no library
//    call, no sleep, no program started;
//  - two or more: script mode and no window;
//  - the second and the third number each switch at most once, so there are
//    no more transfers than numbers less one, and never more than two;
//  - a number token without any digit ("ON"; a Latin-1 input
//    holds no full-width digit) never converts, and nothing is switched
//    with it: not as the outlet, not as a state;
//  - when the first number is exactly "1" to "4" (an outlet with a mask in
//    ip.ini), the second and the third each switch when they are plain
//    digits (one to four of them);
//  - a script with a fourth or later number, or with a single number (an
//    outlet that got no state), ends with exit code 1;
//  - a script that ends with 1 writes its reasons, one line each, and one
//    that ends with 0 writes none;
//  - the switch is always addressed with ip.ini's IP, and starting from an
//    all-off word only bits of ip.ini's masks are ever sent;
//  - sleeps only for W tokens, in 100 ms slices, at most 3276 s per token;
//  - programs only for CMD tokens, and only ip.ini's non-empty command lines;
//  - ip.ini is never written.
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "testing/fake_platform.h"
#include "core/command_script.h"

namespace {

using qel::fuzz::Show;

constexpr char kIni[] =
    "[Qelmark]\r\nIP=10.0.0.9\r\nSW1=1\r\nSW2=4\r\nSW3=32\r\nSW4=128\r\n"
    "CMD0=calc.exe\r\nCMD1=notepad.exe a.txt\r\nCMD2=\r\nCMD3=\"C:\\Program Files\\x.exe\" /a\r\n";
constexpr int kAllMasks = 1 | 4 | 32 | 128;

wchar_t AsciiUpper(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

bool HasDigit(const std::wstring& token) { return token.find_first_of(L"0123456789") != std::wstring::npos; }

bool PlainDigits(const std::wstring& token) {
  return !token.empty() && token.size() <= 4 && token.find_first_not_of(L"0123456789") == std::wstring::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::wstring arguments = qel::fuzz::Latin1(data, size);
  const auto where = [&] { return "arguments [" + Show(arguments) + "]"; };

  // The tokens, counted independently of the code under test.
  std::vector<std::wstring> tokens;
  if (!arguments.empty()) {
    std::wstring token;
    for (wchar_t c : arguments) {
      if (c == L' ') {
        tokens.push_back(token);
        token.clear();
      } else {
        token += AsciiUpper(c);
      }
    }
    tokens.push_back(token);
  }
  long long waits = 0, commands = 0, numbers = 0;
  std::vector<std::wstring> firstNumbers;  // the first three number tokens
  for (const std::wstring& token : tokens) {
    if (token.empty()) continue;  // a blank's: no step
    if (token.find(L'W') != std::wstring::npos) {
      ++waits;
    } else if (token.find(L"CMD") != std::wstring::npos) {
      ++commands;
    } else {
      if (numbers < 3) firstNumbers.push_back(token);
      ++numbers;
    }
  }

  qel::FakePlatform platform;
  platform.argumentText = arguments;
  platform.SetIni(kIni);
  const auto filesBefore = platform.files;
  qel::SwitchLibrary library(platform);
  int windows = 0;
  const qel::StartOutcome outcome = qel::RunStartup(library, [&] { ++windows; });

  if (tokens.size() < 2) {
    QEL_FUZZ_CHECK(outcome.mode == qel::StartMode::kWindow && windows == 1, where());
    QEL_FUZZ_CHECK(platform.calls.empty() && platform.lookups.empty() && platform.libraryLoads == 0,
                   where() + ": library used in window mode");
    QEL_FUZZ_CHECK(platform.sleepCount == 0 && platform.started.empty(), where());
  } else {
    QEL_FUZZ_CHECK(outcome.mode == qel::StartMode::kScript && windows == 0, where());
  }

  long long transfers = 0;
  for (const std::string& call : platform.calls) {
    if (StartsWith(call, "setip")) {
      QEL_FUZZ_CHECK(call == "setip 10.0.0.9", where() + ": " + call);
    } else if (StartsWith(call, "transfer ")) {
      ++transfers;
      const long word = std::strtol(call.c_str() + 9, nullptr, 10);
      QEL_FUZZ_CHECK(word >= 0 && (word & ~kAllMasks) == 0, where() + ": " + call);
    }
  }
  const bool query = tokens.size() >= 2 && tokens[0] == L"?";
  if (query) {
    // A status query switches, waits and starts nothing, and writes a line
    // for each outlet it names (every token after "?" but the blanks'), or
    // none when it names none.
    std::size_t named = 0;
    for (std::size_t i = 1; i < tokens.size(); ++i) named += tokens[i].empty() ? 0 : 1;
    QEL_FUZZ_CHECK(transfers == 0 && platform.sleepCount == 0 && platform.started.empty(),
                   where() + ": a status query acted");
    QEL_FUZZ_CHECK(platform.outputLines.size() == named, where() + ": " +
                                                            std::to_string(platform.outputLines.size()) +
                                                            " lines for " + std::to_string(named) + " outlets");
  } else {
    QEL_FUZZ_CHECK(platform.outputLines.empty(), where() + ": a script wrote on standard output");
  }
  // The switches each state may make: none with a token that cannot be a
  // number, in the outlet's place or the state's.
  long long maySwitch = 0, mustSwitch = 0;
  const std::wstring outlet = firstNumbers.empty() ? L"" : firstNumbers[0];
  const bool knownOutlet = outlet == L"1" || outlet == L"2" || outlet == L"3" || outlet == L"4";
  for (std::size_t i = 1; i < firstNumbers.size(); ++i) {
    if (HasDigit(outlet) && HasDigit(firstNumbers[i])) ++maySwitch;
    if (knownOutlet && PlainDigits(firstNumbers[i])) ++mustSwitch;
  }
  if (query) maySwitch = mustSwitch = 0;
  QEL_FUZZ_CHECK(transfers <= maySwitch && transfers >= mustSwitch,
                 where() + ": " + std::to_string(transfers) + " transfers, expected " + std::to_string(mustSwitch) +
                     " to " + std::to_string(maySwitch));
  if (!query && tokens.size() >= 2 && (numbers == 1 || numbers >= 4)) {
    QEL_FUZZ_CHECK(qel::ExitCodeOf(outcome) == 1, where() + ": a number that could not act, exit code 0");
  }
  // A script that ends with 1 says why, one line for each failure as it
  // happened; one that ends with 0 says nothing.
  QEL_FUZZ_CHECK(outcome.failures.empty() == (qel::ExitCodeOf(outcome) == 0), where() + ": exit code and reasons");
  QEL_FUZZ_CHECK(platform.errorLines.size() == outcome.failures.size(), where() + ": reasons not written");
  for (std::size_t i = 0; i < outcome.failures.size(); ++i) {
    QEL_FUZZ_CHECK(platform.errorLines[i] == qel::ScriptFailureLine(outcome.failures[i]), where());
    QEL_FUZZ_CHECK(platform.errorLines[i].find_first_of(L"\r\n") == std::wstring::npos, where() + ": two lines");
  }

  QEL_FUZZ_CHECK(platform.sleptMilliseconds == platform.sleepCount * 100LL, where());
  QEL_FUZZ_CHECK(platform.sleepCount <= waits * 32760, where() + ": " + std::to_string(platform.sleepCount) +
                                                           " slices for " + std::to_string(waits) + " waits");

  const std::set<std::wstring> startable = {L"calc.exe", L"notepad.exe a.txt", L"\"C:\\Program Files\\x.exe\" /a"};
  QEL_FUZZ_CHECK(static_cast<long long>(platform.started.size()) <= commands, where());
  for (const std::wstring& started : platform.started) {
    QEL_FUZZ_CHECK(startable.count(started) == 1, where() + ": started [" + Show(started) + "]");
  }

  QEL_FUZZ_CHECK(platform.files == filesBefore, where() + ": ip.ini changed");
  return 0;
}
