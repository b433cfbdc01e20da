#include "core/window_texts.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <vector>

#include "core/command_script.h"
#include "core/counts.h"
#include "core/save_texts.h"
#include "testing/fake_platform.h"

namespace qel::texts {
namespace {

bool Has(const std::wstring& text, const std::wstring& part) { return text.find(part) != std::wstring::npos; }
bool StartsWith(const std::wstring& text, const std::wstring& prefix) { return text.rfind(prefix, 0) == 0; }
std::string Shown(const std::wstring& text) { return FakePlatform().ToAnsi(text).value_or("?"); }

const ErrorKind kKinds[] = {ErrorKind::kLibraryNotFound, ErrorKind::kFunctionNotFound, ErrorKind::kOverflow,
                            ErrorKind::kNotInCodePage,   ErrorKind::kNoAddress,        ErrorKind::kTypeMismatch,
                            ErrorKind::kAnswerOutOfRange, ErrorKind::kCallingConvention};

// Each failure the user can do something about has words of its own, which
// name its cause; a kind the words do not know of falls back on the bare
// reason. Only a failure that may come after the new word was handed over
// says that the outlet may have switched.
TEST(WindowTexts, EachFailureSaysItsCause) {
  const struct {
    ErrorKind kind;
    const wchar_t* cause;  // what the words of both the poll and ON or OFF name
  } causes[] = {
      {ErrorKind::kLibraryNotFound, L"socket.dll を読み込めず"},
      {ErrorKind::kFunctionNotFound, L"関数がない"},
      {ErrorKind::kCallingConvention, L"socket.dll の呼び出し規約が違う"},
      {ErrorKind::kOverflow, L"範囲外"},
      {ErrorKind::kNotInCodePage, L"文字コードで表せない"},
      // No switch is named: the library is not called.
      {ErrorKind::kNoAddress, L"IP が"},
  };
  for (const auto& c : causes) {
    SCOPED_TRACE(ErrorKindName(c.kind));
    EXPECT_TRUE(StartsWith(StatusUnknown(c.kind), kStatusUnknownWord)) << Shown(StatusUnknown(c.kind));
    EXPECT_TRUE(Has(StatusUnknown(c.kind), c.cause)) << Shown(StatusUnknown(c.kind));
    for (bool stagingBegun : {false, true}) {
      const std::wstring text = CannotSwitch(c.kind, stagingBegun);
      EXPECT_TRUE(StartsWith(text, kCannotSwitch)) << Shown(text);
      EXPECT_TRUE(Has(text, c.cause)) << Shown(text);
    }
  }
  EXPECT_EQ(StatusUnknown(ErrorKind::kNoAddress), kNoSavedAddress);
  std::set<std::wstring> status, cannotSwitch;
  for (ErrorKind kind : kKinds) {
    status.insert(StatusUnknown(kind));
    cannotSwitch.insert(CannotSwitch(kind, false));
  }
  // Every kind its own words, but for the poll a wrong answer to a switch,
  // which it never sees, reads as any other it cannot read.
  EXPECT_EQ(status.size(), std::size(kKinds) - 1);
  EXPECT_EQ(cannotSwitch.size(), std::size(kKinds));
}

// "切り替わった可能性がある" is said whenever, and only when, the switch had
// begun to stage its word, whatever the failure: with the same words before
// it as the failure's own.
TEST(WindowTexts, MayHaveSwitchedOnlyOnceStagingHasBegun) {
  const std::wstring mayHave = L" (切り替わった可能性がある)";
  for (ErrorKind kind : kKinds) {
    SCOPED_TRACE(ErrorKindName(kind));
    EXPECT_FALSE(Has(CannotSwitch(kind, false), L"可能性")) << Shown(CannotSwitch(kind, false));
    EXPECT_EQ(CannotSwitch(kind, true), CannotSwitch(kind, false) + mayHave);
  }
  EXPECT_EQ(MayHaveSwitched(CannotSwitchNoAnswer(10)), CannotSwitchNoAnswer(10) + mayHave);
}

// A mask the poll or ON and OFF cannot use is named as the user sees it:
// its outlet's label, and whether it is no number or out of range.
TEST(WindowTexts, AMaskIsNamedByItsLabel) {
  for (int outlet = 0; outlet < kOutletCount; ++outlet) {
    for (ErrorKind kind : {ErrorKind::kTypeMismatch, ErrorKind::kOverflow}) {
      const std::wstring text = MaskUnknown(kind, outlet);
      EXPECT_TRUE(StartsWith(text, kStatusUnknownWord + OutletName(outlet) + L" ")) << Shown(text);
      EXPECT_EQ(Has(text, L"範囲外"), kind == ErrorKind::kOverflow) << Shown(text);
    }
  }
  EXPECT_NE(MaskCannotSwitch(ErrorKind::kTypeMismatch), MaskCannotSwitch(ErrorKind::kOverflow));
  EXPECT_TRUE(Has(MaskCannotSwitch(ErrorKind::kOverflow), L"範囲外"));
}

TEST(WindowTexts, AnUnexpectedFailureSaysWhetherMemoryRanOut) {
  EXPECT_EQ(Stopped(Unexpected::kOutOfMemory), L"処理を中断: メモリが足りない");
  EXPECT_EQ(Stopped(Unexpected::kOther), L"処理を中断: 予期しないエラー");
  EXPECT_EQ(StatusStopped(Unexpected::kOutOfMemory), L"状態不明: メモリが足りない");
  EXPECT_EQ(StatusStopped(Unexpected::kOther), L"状態不明: 予期しないエラー");
}

TEST(WindowTexts, TooltipsNameTheSavedAddress) {
  EXPECT_NE(StateWord(true), StateWord(false));
  for (bool on : {true, false}) {
    const std::wstring tip = StateWord(on) + SavedAddressNote(std::wstring(L"10.0.0.5"));
    EXPECT_TRUE(StartsWith(tip, StateWord(on))) << Shown(tip);
    EXPECT_TRUE(Has(tip, L" 10.0.0.5 ")) << Shown(tip);
  }
  // An address that could not be read.
  EXPECT_EQ(SavedAddressNote(std::nullopt), L"");
}

// A failed save: "保存できず", the file's path, the step with the field and
// the system's reason and code, what to do; each on lines of their own.
TEST(WindowTexts, SaveMessagesNameTheFieldPathAndReason) {
  const std::wstring path = L"C:\\qel\\ip.ini";
  const SystemError reason{112, L"There is not enough space on the disk."};
  for (SaveStep step : {SaveStep::kCopy, SaveStep::kWrite, SaveStep::kFlush, SaveStep::kWholeFile, SaveStep::kReplace}) {
    const std::wstring message = SaveFailureMessage(path, {step, L"Sw2", std::nullopt, reason});
    const std::wstring words = SaveStepWords(step, L"Sw2");
    EXPECT_EQ(message, std::wstring(kCannotSave) + L"\n" + path + L"\n" + words + L": " + reason.text + L" (112)\n" +
                           kSaveAdvice);
  }
  EXPECT_TRUE(Has(SaveStepWords(SaveStep::kWrite, L"Sw2"), L"Sw2"));
  EXPECT_TRUE(Has(SaveStepWords(SaveStep::kReadBack, L"CMD3"), L"CMD3"));
  // The read-back finds what the system did not report: no reason of its.
  EXPECT_EQ(SaveFailureMessage(path, {SaveStep::kReadBack, L"CMD3", std::nullopt, std::nullopt}),
            std::wstring(kCannotSave) + L"\n" + path + L"\n" + SaveStepWords(SaveStep::kReadBack, L"CMD3") + L"\n" +
                kSaveAdvice);
  // A reason the system did not give is not made up.
  EXPECT_EQ(SaveFailureMessage(path, {SaveStep::kFlush, L"", std::nullopt, SystemError{0, L""}}),
            std::wstring(kCannotSave) + L"\n" + path + L"\n" + SaveStepWords(SaveStep::kFlush, L"") + L"\n" +
                kSaveAdvice);
  // A copy left behind: where, and why, on a line of its own.
  SaveFailure left{SaveStep::kReplace, L"", std::nullopt, reason};
  left.leftCopy = LeftCopy{path + L".7.tmp", SystemError{32, L"In use."}};
  EXPECT_EQ(SaveFailureMessage(path, left),
            std::wstring(kCannotSave) + L"\n" + path + L"\n" + SaveStepWords(SaveStep::kReplace, L"") + L": " +
                reason.text + L" (112)\n" + kCopyLeft + L": " + path + L".7.tmp: In use. (32)\n" + kSaveAdvice);
  std::set<std::wstring> steps;
  for (SaveStep step : {SaveStep::kReadOnly, SaveStep::kCopy, SaveStep::kCopyPath, SaveStep::kWrite, SaveStep::kFlush,
                        SaveStep::kReadBack, SaveStep::kWholeFile, SaveStep::kReplace}) {
    EXPECT_NE(SaveStepWords(step, L"CMD1"), L"");
    steps.insert(SaveStepWords(step, L"CMD1"));
  }
  EXPECT_EQ(steps.size(), 8u) << "two steps have the same words";

  // What the copy lost, in place of the step's words: which line of ip.ini.
  std::set<std::wstring> mismatches;
  for (CopyMismatchKind kind : {CopyMismatchKind::kLineMissing, CopyMismatchKind::kLineChanged,
                                CopyMismatchKind::kLineAdded, CopyMismatchKind::kEndCut}) {
    const std::wstring words = CopyMismatchWords({kind, 7});
    mismatches.insert(words);
    EXPECT_EQ(Has(words, L" 7 行目"), kind != CopyMismatchKind::kEndCut) << Shown(words);
    EXPECT_EQ(SaveFailureMessage(path, {SaveStep::kWholeFile, L"", std::nullopt, std::nullopt, CopyMismatch{kind, 7}}),
              std::wstring(kCannotSave) + L"\n" + path + L"\n" + words + L"\n" + kSaveAdvice);
  }
  EXPECT_EQ(mismatches.size(), 4u) << "two mismatches have the same words";

  // A value that would not come back: the field and the cause on one line.
  const struct {
    ValueProblem problem;
    const wchar_t* mentions;
  } values[] = {
      {{SettingProblem::kNotInCodePage, L"\u00e9", 0}, L"「\u00e9」"},
      {{SettingProblem::kTooLong, {}, 1022}, L"1022 バイト"},
      {{SettingProblem::kLineBreak, {}, 0}, L"改行"},
  };
  for (const auto& c : values) {
    const std::wstring message = SaveFailureMessage(path, {SaveStep::kValue, L"CMD2", c.problem, std::nullopt});
    EXPECT_TRUE(StartsWith(message, std::wstring(kCannotSave) + L": CMD2 ")) << Shown(message);
    EXPECT_TRUE(Has(message, c.mentions)) << Shown(message);
    EXPECT_FALSE(Has(message, L"\n")) << Shown(message);
  }
  // ip.ini's own path, which the code page cannot hold, is shown.
  const std::wstring noPath = SaveFailureMessage(L"C:\\\u03A9\\ip.ini", {SaveStep::kPath, L"", std::nullopt, std::nullopt});
  EXPECT_TRUE(StartsWith(noPath, std::wstring(kCannotSave) + L": ")) << Shown(noPath);
  EXPECT_TRUE(Has(noPath, L"\nC:\\\u03A9\\ip.ini")) << Shown(noPath);
}

// A launch failure names the command line and gives the system's reason with
// its code; a reason the system did not give is not made up.
TEST(WindowTexts, ALaunchFailureNamesTheLineAndTheSystemsReason) {
  const struct {
    const wchar_t* line;
    SystemError reason;
    const wchar_t* message;
  } cases[] = {
      {L"", {}, L"起動できず: CMD2 が空"},
      {L"x.exe /a", {2, L"Not found."}, L"起動できず: CMD2 の「x.exe /a」: Not found. (2)"},
      {L"x.exe /a", {}, L"起動できず: CMD2 の「x.exe /a」"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CannotLaunch(CommandName(1), c.line, c.reason), c.message) << Shown(c.message);
  }
}

// The first line of a message: its later lines name a path or the system's
// reason, which the readme cannot quote, or are quoted line by line.
std::wstring FirstLine(const std::wstring& text) { return text.substr(0, text.find(L'\n')); }

// Each text the window can show, filled in as the readme's examples are
// (outlet Sw2, field CMD1, the address 192.168.1.10), one line each; a
// message's lines that carry a path or the system's reason are left out.
std::vector<std::wstring> ReadmeExamples() {
  const std::wstring address = L"192.168.1.10";
  std::vector<std::wstring> examples = {
      StateWord(true) + SavedAddressNote(address),
      StateWord(false) + SavedAddressNote(address),
      kNoSavedAddress,
      CannotLaunch(L"CMD1", L"", {}),
      CannotLaunch(L"CMD1", L"…", {}),
      NoSettingsPath(kCannotSwitch),
      NoSettingsPath(kCannotLaunch),
      NumberCannotSwitch(ErrorKind::kTypeMismatch),
      NumberCannotSwitch(ErrorKind::kOverflow),
      kNoState,
      kNumbersUnused,
      WaitTooLong(kLongestWaitSeconds),
      kCommandNumberOutOfRange,
      FirstLine(SaveFailed(L"", L"")),
      FirstLine(SettingsPathNotInCodePage(L"")),
      // The readme is in Shift-JIS, which holds no character this message
      // can name there: it writes the geta mark in its place.
      ValueNotInCodePage(L"CMD1", L"〓"),
      ValueTooLong(L"CMD1", 1023),
      ValueTooLong(L"CMD1", 1022),
      ValueHasLineBreak(L"CMD1"),
      MaskUnknown(ErrorKind::kTypeMismatch, 1),
      MaskUnknown(ErrorKind::kOverflow, 1),
      MaskCannotSwitch(ErrorKind::kTypeMismatch),
      MaskCannotSwitch(ErrorKind::kOverflow),
      AwaitingFirstAnswer(0),
      AwaitingFirstAnswer(3),
      StateWord(true) + SavedAddressNote(address) + StillAwaited(3),
      NoAnswer(12),
      StateWord(false) + SavedAddressNote(address) + NextTryIn(4),
      kSwitchBusy,
      CannotSwitchNoAnswer(10),
      kClosingAfterSwitch,
  };
  for (std::wstring advice = kSaveAdvice; !advice.empty();) {
    examples.push_back(FirstLine(advice));
    advice.erase(0, examples.back().size() + 1);
  }
  for (SaveStep step : {SaveStep::kReadOnly, SaveStep::kCopy, SaveStep::kCopyPath, SaveStep::kWrite, SaveStep::kFlush,
                        SaveStep::kReadBack, SaveStep::kWholeFile, SaveStep::kReplace}) {
    examples.push_back(SaveStepWords(step, L"CMD1"));
  }
  examples.push_back(kCopyLeft);
  for (CopyMismatchKind kind : {CopyMismatchKind::kLineMissing, CopyMismatchKind::kLineChanged,
                                CopyMismatchKind::kLineAdded, CopyMismatchKind::kEndCut}) {
    examples.push_back(CopyMismatchWords({kind, 12}));
  }
  for (ErrorKind kind : {ErrorKind::kLibraryNotFound, ErrorKind::kFunctionNotFound, ErrorKind::kOverflow,
                         ErrorKind::kNotInCodePage, ErrorKind::kNoAddress, ErrorKind::kTypeMismatch,
                         ErrorKind::kCallingConvention}) {
    examples.push_back(StatusUnknown(kind));
    examples.push_back(CannotSwitch(kind, false));
  }
  // What may come once the word is staged: the function or the convention
  // of transfer, an answer out of range, a call that does not come back.
  for (ErrorKind kind : {ErrorKind::kFunctionNotFound, ErrorKind::kCallingConvention, ErrorKind::kAnswerOutOfRange}) {
    examples.push_back(CannotSwitch(kind, true));
  }
  examples.push_back(MayHaveSwitched(CannotSwitchNoAnswer(10)));
  examples.push_back(CannotSwitch(ErrorKind::kMaskZero, false));
  examples.push_back(CannotSwitch(ErrorKind::kLibraryNotFound, false, {kBadExeFormat, L"Bad EXE format."}));
  for (ErrorKind kind : {ErrorKind::kNoMaskKey, ErrorKind::kEmptyMask, ErrorKind::kNoSettingsFile}) {
    examples.push_back(StoredMaskFailure(kCannotSwitch, kind, kind == ErrorKind::kNoMaskKey ? 5 : 3, L"C:\\qel\\ip.ini"));
  }
  examples.push_back(StoredMaskFailure(kCannotSwitch, ErrorKind::kNoMaskKey, 3, L""));
  // A script's check of a switch, a status query, the switch log.
  examples.push_back(NotConfirmed(false, 10));
  examples.push_back(NotConfirmed(true, 10));
  examples.push_back(ConfirmNoAnswer(10));
  examples.push_back(ConfirmRefused(L"abc", 600, 10));
  examples.push_back(kNoOutletNamed);
  examples.push_back(NumberUnknown(ErrorKind::kTypeMismatch));
  examples.push_back(NumberUnknown(ErrorKind::kOverflow));
  examples.push_back(StatusReadFailed(ErrorKind::kNoAddress, {}));
  examples.push_back(StoredMaskFailure(kUnknownState, ErrorKind::kNoMaskKey, 5, L""));
  examples.push_back(CannotLog(L"C:\\qel\\qel-switch.log", {}));
  for (Unexpected failure : {Unexpected::kOutOfMemory, Unexpected::kOther}) {
    examples.push_back(Stopped(failure));
    examples.push_back(StatusStopped(failure));
  }
  return examples;
}

// The readme tells a user what each message means: every text the window
// can show is quoted there.
TEST(WindowTexts, TheReadmeQuotesEveryOne) {
  std::ifstream file(QEL_SOURCE_DIR "/package/readme.txt", std::ios::binary);
  ASSERT_TRUE(file) << "package/readme.txt";
  std::stringstream utf8;
  utf8 << file.rdbuf();
  const std::wstring readme = FakePlatform().FromAnsi(utf8.str());  // the fake's code page is UTF-8
  for (std::wstring text : ReadmeExamples()) {
    // A note that follows a state word starts with a blank the readme's
    // quote of it leaves out.
    text.erase(0, text.find_first_not_of(L' '));
    EXPECT_NE(readme.find(text), std::wstring::npos) << Shown(text);
  }
}

}  // namespace
}  // namespace qel::texts
