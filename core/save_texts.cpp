#include "core/save_texts.h"

namespace qel::texts {

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
  const std::wstring line = DecimalText(mismatch.line);
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
  std::wstring reason =
      failure.mismatch ? CopyMismatchWords(*failure.mismatch) : SaveStepWords(failure.step, failure.field);
  if (failure.system) reason += SystemReason(*failure.system);
  if (failure.leftCopy) {
    reason += L"\n" + std::wstring(kCopyLeft) + L": " + failure.leftCopy->path + SystemReason(failure.leftCopy->reason);
  }
  return SaveFailed(path, reason);
}

}  // namespace qel::texts
