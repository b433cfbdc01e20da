#include "core/window_texts.h"

namespace qel::texts {

std::wstring StateWord(bool on) { return on ? L"オン" : L"オフ"; }

std::wstring SavedAddressNote(const std::optional<std::wstring>& address) {
  if (!address) return L"";
  return L" (保存済みの IP " + *address + L" の状態)";
}

std::wstring StatusUnknown(ErrorKind kind) {
  const std::wstring unknown = kStatusUnknownWord;
  switch (kind) {
    case ErrorKind::kLibraryNotFound: return unknown + L"socket.dll を読み込めず";
    case ErrorKind::kFunctionNotFound: return unknown + L"socket.dll に関数がない";
    case ErrorKind::kOverflow: return unknown + L"状態の値が範囲外";
    case ErrorKind::kNotInCodePage: return unknown + L"ip.ini の場所をこのシステムの文字コードで表せない";
    case ErrorKind::kNoAddress: return kNoSavedAddress;
    default: return unknown + L"状態を読めず";
  }
}

std::wstring MaskUnknown(ErrorKind kind, int outlet) {
  return kStatusUnknownWord + OutletName(outlet) +
         (kind == ErrorKind::kOverflow ? L" のマスクが範囲外" : L" のマスクが数値でない");
}

namespace {

std::wstring Seconds(unsigned seconds) { return L" (" + std::to_wstring(seconds) + L" 秒)"; }
constexpr wchar_t kAwaiting[] = L"スイッチの応答待ち";
constexpr wchar_t kNoAnswer[] = L"スイッチが応答しない";

}  // namespace

std::wstring AwaitingFirstAnswer(unsigned seconds) {
  return kStatusUnknownWord + std::wstring(kAwaiting) + (seconds > 0 ? Seconds(seconds) : L"");
}

std::wstring StillAwaited(unsigned seconds) { return L" / " + std::wstring(kAwaiting) + Seconds(seconds); }

std::wstring NoAnswer(unsigned seconds) { return kStatusUnknownWord + std::wstring(kNoAnswer) + Seconds(seconds); }

std::wstring NextTryIn(unsigned seconds) { return L" / 次の確認は " + std::to_wstring(seconds) + L" 秒後"; }

std::wstring CannotSwitchNoAnswer(unsigned seconds) {
  return std::wstring(kCannotSwitch) + L": " + kNoAnswer + Seconds(seconds);
}

std::wstring MaskCannotSwitch(ErrorKind kind) {
  return std::wstring(kCannotSwitch) + (kind == ErrorKind::kOverflow ? L": マスクが範囲外" : L": マスクが数値でない");
}

std::wstring CannotSwitch(ErrorKind kind) {
  const std::wstring cannot = kCannotSwitch;
  switch (kind) {
    case ErrorKind::kLibraryNotFound: return cannot + L": socket.dll を読み込めず";
    case ErrorKind::kFunctionNotFound: return cannot + L": socket.dll に関数がない";
    case ErrorKind::kOverflow: return cannot + L": スイッチの値が範囲外";
    case ErrorKind::kAnswerOutOfRange: return cannot + L": スイッチの応答が範囲外 (切り替わった可能性がある)";
    case ErrorKind::kNotInCodePage: return cannot + L": アドレスにこのシステムの文字コードで表せない文字がある";
    case ErrorKind::kNoAddress: return cannot + L": IP が空";
    default: return cannot;
  }
}

namespace {

std::wstring UnexpectedWords(Unexpected failure) {
  return failure == Unexpected::kOutOfMemory ? L"メモリが足りない" : L"予期しないエラー";
}

}  // namespace

std::wstring Stopped(Unexpected failure) { return L"処理を中断: " + UnexpectedWords(failure); }

std::wstring StatusStopped(Unexpected failure) { return kStatusUnknownWord + UnexpectedWords(failure); }

std::wstring SettingsPathNotInCodePage(const std::wstring& path) {
  return std::wstring(kCannotSave) + L": ip.ini の場所をこのシステムの文字コードで表せない\n" + path;
}

std::wstring ValueNotInCodePage(const std::wstring& field, const std::wstring& character) {
  return std::wstring(kCannotSave) + L": " + field + L" の「" + character + L"」をこのシステムの文字コードで表せない";
}

std::wstring ValueTooLong(const std::wstring& field, std::size_t limitBytes) {
  return std::wstring(kCannotSave) + L": " + field + L" が長すぎる (" + std::to_wstring(limitBytes) + L" バイトまで)";
}

std::wstring ValueHasLineBreak(const std::wstring& field) {
  return std::wstring(kCannotSave) + L": " + field + L" に改行 (または NUL 文字) がある";
}

std::wstring SaveFailed(const std::wstring& path, const std::wstring& reason) {
  return std::wstring(kCannotSave) + L"\n" + path + L"\n" + reason + L"\n" + kSaveAdvice;
}

std::wstring SaveStepWords(SaveStep step, const std::wstring& field) {
  switch (step) {
    case SaveStep::kReadOnly: return L"ip.ini が読み取り専用";
    case SaveStep::kCopy: return L"ip.ini のコピーを作れず";
    case SaveStep::kCopyPath: return L"コピーの場所をこのシステムの文字コードで表せない";
    case SaveStep::kWrite: return field + L" を書き込めず";
    case SaveStep::kFlush: return L"ディスクへ書き出せず";
    case SaveStep::kReadBack: return L"書いた " + field + L" を読み戻すと違う (ディスクがいっぱいなど)";
    case SaveStep::kWholeFile: return L"ip.ini と書いたコピーを比べられず";
    case SaveStep::kReplace: return L"ip.ini を置き換えられず";
    case SaveStep::kPath:
    case SaveStep::kValue:
      break;
  }
  return L"";
}

std::wstring CopyMismatchWords(const CopyMismatch& mismatch) {
  const std::wstring line = std::to_wstring(mismatch.line);
  switch (mismatch.kind) {
    case CopyMismatchKind::kLineMissing: return L"書いたコピーに ip.ini の " + line + L" 行目がない (ディスクがいっぱいなど)";
    case CopyMismatchKind::kLineChanged: return L"書いたコピーで ip.ini の " + line + L" 行目が変わった (ディスクがいっぱいなど)";
    case CopyMismatchKind::kLineAdded: return L"書いたコピーで ip.ini の " + line + L" 行目の前に余分な行がある";
    case CopyMismatchKind::kEndCut: return L"書いたコピーの最後の行が途中で切れている (ディスクがいっぱいなど)";
  }
  return L"";
}

std::wstring SaveFailureMessage(const std::wstring& path, const SaveFailure& failure) {
  if (failure.step == SaveStep::kPath) return SettingsPathNotInCodePage(path);
  if (failure.step == SaveStep::kValue && failure.value) {
    switch (failure.value->kind) {
      case SettingProblem::kNotInCodePage: return ValueNotInCodePage(failure.field, failure.value->character);
      case SettingProblem::kTooLong: return ValueTooLong(failure.field, failure.value->limitBytes);
      case SettingProblem::kLineBreak: return ValueHasLineBreak(failure.field);
    }
  }
  // The system's reason, when it gave one.
  const auto because = [](const SystemError& error) {
    return error.code == 0 ? std::wstring() : L": " + error.text + L" (" + std::to_wstring(error.code) + L")";
  };
  std::wstring reason =
      failure.mismatch ? CopyMismatchWords(*failure.mismatch) : SaveStepWords(failure.step, failure.field);
  if (failure.system) reason += because(*failure.system);
  if (failure.leftCopy) {
    reason += L"\n" + std::wstring(kCopyLeft) + L": " + failure.leftCopy->path + because(failure.leftCopy->reason);
  }
  return SaveFailed(path, reason);
}

namespace {

// The first line of a message: its later lines name a path or the system's
// reason, which the readme cannot quote, or are quoted line by line.
std::wstring FirstLine(const std::wstring& text) { return text.substr(0, text.find(L'\n')); }

}  // namespace

std::vector<std::wstring> ReadmeExamples() {
  const std::wstring address = L"192.168.1.10";
  std::vector<std::wstring> examples = {
      StateWord(true) + SavedAddressNote(address),
      StateWord(false) + SavedAddressNote(address),
      kNoSavedAddress,
      kCannotLaunch,
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
                         ErrorKind::kNotInCodePage, ErrorKind::kNoAddress, ErrorKind::kTypeMismatch}) {
    examples.push_back(StatusUnknown(kind));
    examples.push_back(CannotSwitch(kind));
  }
  examples.push_back(CannotSwitch(ErrorKind::kAnswerOutOfRange));
  for (Unexpected failure : {Unexpected::kOutOfMemory, Unexpected::kOther}) {
    examples.push_back(Stopped(failure));
    examples.push_back(StatusStopped(failure));
  }
  return examples;
}

}  // namespace qel::texts
