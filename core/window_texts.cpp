#include "core/window_texts.h"

namespace qel::texts {

std::wstring StateWord(bool on) { return on ? L"オン" : L"オフ"; }

std::wstring SavedAddressNote(const std::optional<std::wstring>& address) {
  if (!address) return L"";
  return L" (保存済みの IP " + *address + L" の状態)";
}

namespace {

// A failure of socket.dll itself, in the same words for the poll and for ON
// and OFF; nothing for other kinds.
const wchar_t* LibraryCause(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::kLibraryNotFound: return L"socket.dll を読み込めず";
    case ErrorKind::kFunctionNotFound: return L"socket.dll に関数がない";
    case ErrorKind::kCallingConvention: return L"socket.dll の呼び出し規約が違う";
    default: return nullptr;
  }
}

}  // namespace

std::wstring StatusUnknown(ErrorKind kind) {
  const std::wstring unknown = kStatusUnknownWord;
  if (const wchar_t* cause = LibraryCause(kind)) return unknown + cause;
  switch (kind) {
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

std::wstring Seconds(unsigned seconds) { return L" (" + DecimalText(seconds) + L" 秒)"; }
constexpr wchar_t kAwaiting[] = L"スイッチの応答待ち";
constexpr wchar_t kNoAnswer[] = L"スイッチが応答しない";

}  // namespace

std::wstring AwaitingFirstAnswer(unsigned seconds) {
  return kStatusUnknownWord + std::wstring(kAwaiting) + (seconds > 0 ? Seconds(seconds) : L"");
}

std::wstring StillAwaited(unsigned seconds) { return L" / " + std::wstring(kAwaiting) + Seconds(seconds); }

std::wstring NoAnswer(unsigned seconds) { return kStatusUnknownWord + std::wstring(kNoAnswer) + Seconds(seconds); }

std::wstring NextTryIn(unsigned seconds) { return L" / 次の確認は " + DecimalText(seconds) + L" 秒後"; }

std::wstring CannotSwitchNoAnswer(unsigned seconds) {
  return std::wstring(kCannotSwitch) + L": " + kNoAnswer + Seconds(seconds);
}

std::wstring MaskCannotSwitch(ErrorKind kind) {
  return std::wstring(kCannotSwitch) + (kind == ErrorKind::kOverflow ? L": マスクが範囲外" : L": マスクが数値でない");
}

std::wstring MayHaveSwitched(const std::wstring& reason) { return reason + L" (切り替わった可能性がある)"; }

std::wstring LibraryNotLoaded(const SystemError& loadFailure) {
  std::wstring words = LibraryCause(ErrorKind::kLibraryNotFound);
  if (loadFailure.code == kBadExeFormat) return words + L": 32 ビット版ではない (" + DecimalText(kBadExeFormat) + L")";
  return words + SystemReason(loadFailure);
}

std::wstring StoredMaskFailure(const wchar_t* cannot, ErrorKind kind, std::int32_t outlet, const std::wstring& iniPath) {
  const std::wstring start = std::wstring(cannot) + L": ";
  const std::wstring key = L"SW" + DecimalText(outlet);
  switch (kind) {
    case ErrorKind::kNoSettingsFile: return start + L"ip.ini がない (" + iniPath + L")";
    case ErrorKind::kNoMaskKey:
      if (outlet < 1 || outlet > 4) return start + key + L" がない (コンセントの番号は 1～4)";
      return start + L"ip.ini に " + key + L" がない";
    case ErrorKind::kEmptyMask: return start + key + L" が空";
    case ErrorKind::kNotInCodePage: return start + kSettingsPathNotInCodePage;
    case ErrorKind::kOverflow: return start + L"マスクが範囲外";
    default: return start + L"マスクが数値でない";
  }
}

std::wstring CannotSwitch(ErrorKind kind, bool stagingBegun, const SystemError& loadFailure) {
  const std::wstring cannot = std::wstring(kCannotSwitch) + L": ";
  std::wstring reason = kCannotSwitch;
  if (kind == ErrorKind::kLibraryNotFound) {
    reason = cannot + LibraryNotLoaded(loadFailure);
  } else if (const wchar_t* cause = LibraryCause(kind)) {
    reason = cannot + cause;
  } else {
    switch (kind) {
      case ErrorKind::kOverflow: reason = cannot + L"スイッチの値が範囲外"; break;
      case ErrorKind::kAnswerOutOfRange: reason = cannot + L"スイッチの応答が範囲外"; break;
      case ErrorKind::kNotInCodePage: reason = cannot + L"アドレスにこのシステムの文字コードで表せない文字がある"; break;
      case ErrorKind::kNoAddress: reason = cannot + L"IP が空"; break;
      case ErrorKind::kMaskZero: reason = cannot + L"マスクが 0 (どのコンセントも選ばない)"; break;
      default: break;
    }
  }
  return stagingBegun ? MayHaveSwitched(reason) : reason;
}

namespace {

std::wstring UnexpectedWords(Unexpected failure) {
  return failure == Unexpected::kOutOfMemory ? L"メモリが足りない" : L"予期しないエラー";
}

}  // namespace

std::wstring Stopped(Unexpected failure) { return L"処理を中断: " + UnexpectedWords(failure); }

std::wstring StatusStopped(Unexpected failure) { return kStatusUnknownWord + UnexpectedWords(failure); }

std::wstring CannotLaunch(const std::wstring& name, const std::wstring& commandLine, const SystemError& reason) {
  if (commandLine.empty()) return std::wstring(kCannotLaunch) + L": " + name + L" が空";
  return std::wstring(kCannotLaunch) + L": " + name + L" の「" + commandLine + L"」" + SystemReason(reason);
}

std::wstring SystemReason(const SystemError& error) {
  return error.code == 0 ? std::wstring() : L": " + error.text + L" (" + DecimalText(error.code) + L")";
}

std::wstring NoSettingsPath(const wchar_t* cannot) { return std::wstring(cannot) + L": " + kSettingsPathNotInCodePage; }

std::wstring NumberCannotSwitch(ErrorKind kind) {
  return std::wstring(kCannotSwitch) + (kind == ErrorKind::kOverflow ? L": 数値が範囲外" : L": 数値でない");
}

std::wstring WaitTooLong(int longestSeconds) {
  return std::wstring(kCannotWait) + L": 秒数が範囲外 (" + DecimalText(longestSeconds) + L" 秒まで)";
}

namespace {

// CannotSwitch's reason after its first words, begun with other ones.
std::wstring WithOtherStart(const wchar_t* start, const std::wstring& cannotSwitch) {
  const std::wstring first = kCannotSwitch;
  return std::wstring(start) + (cannotSwitch.rfind(first, 0) == 0 ? cannotSwitch.substr(first.size()) : L"");
}

}  // namespace

std::wstring NotConfirmed(bool shownOn, unsigned seconds) {
  return std::wstring(kCannotConfirm) + L": " + StateWord(shownOn) + L"のまま" + Seconds(seconds);
}

std::wstring CannotConfirm(ErrorKind kind, const SystemError& loadFailure) {
  // After the transfer: the outlet may have switched.
  return WithOtherStart(kCannotConfirm, CannotSwitch(kind, true, loadFailure));
}

std::wstring ConfirmNoAnswer(unsigned seconds) {
  return std::wstring(kCannotConfirm) + L": " + kNoAnswer + Seconds(seconds);
}

std::wstring ConfirmRefused(const std::wstring& value, int longest, int seconds) {
  return L"CONFIRM の「" + value + L"」は 0～" + DecimalText(longest) + L" の整数でない: " +
         DecimalText(seconds) + L" 秒で確認";
}

std::wstring NumberUnknown(ErrorKind kind) {
  return std::wstring(kUnknownState) + (kind == ErrorKind::kOverflow ? L": 数値が範囲外" : L": 数値でない");
}

std::wstring StatusReadFailed(ErrorKind kind, const SystemError& loadFailure) {
  if (kind == ErrorKind::kNoAddress) return std::wstring(kUnknownState) + L": IP が空";
  return WithOtherStart(kUnknownState, CannotSwitch(kind, false, loadFailure));
}

std::wstring CannotLog(const std::wstring& path, const SystemError& reason) {
  return std::wstring(kCannotLog) + L": " + path + SystemReason(reason);
}

std::wstring SettingsPathNotInCodePage(const std::wstring& path) {
  return std::wstring(kCannotSave) + L": " + kSettingsPathNotInCodePage + L"\n" + path;
}

std::wstring ValueNotInCodePage(const std::wstring& field, const std::wstring& character) {
  return std::wstring(kCannotSave) + L": " + field + L" の「" + character + L"」をこのシステムの文字コードで表せない";
}

std::wstring ValueTooLong(const std::wstring& field, std::size_t limitBytes) {
  return std::wstring(kCannotSave) + L": " + field + L" が長すぎる (" + DecimalText(limitBytes) + L" バイトまで)";
}

std::wstring ValueHasLineBreak(const std::wstring& field) {
  return std::wstring(kCannotSave) + L": " + field + L" に改行 (または NUL 文字) がある";
}

std::wstring SaveFailed(const std::wstring& path, const std::wstring& reason) {
  return std::wstring(kCannotSave) + L"\n" + path + L"\n" + reason + L"\n" + kSaveAdvice;
}

}  // namespace qel::texts
