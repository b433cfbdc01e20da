#include "core/window_texts.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "testing/fake_platform.h"

namespace qel::texts {
namespace {

TEST(WindowTexts, EachFailureKindHasItsWords) {
  struct Case {
    ErrorKind kind;
    const wchar_t* status;
    const wchar_t* cannotSwitch;
  };
  const Case cases[] = {
      {ErrorKind::kLibraryNotFound, L"状態不明: socket.dll を読み込めず", L"切替できず: socket.dll を読み込めず"},
      {ErrorKind::kFunctionNotFound, L"状態不明: socket.dll に関数がない", L"切替できず: socket.dll に関数がない"},
      {ErrorKind::kOverflow, L"状態不明: 状態の値が範囲外", L"切替できず: スイッチの値が範囲外"},
      {ErrorKind::kNotInCodePage, L"状態不明: ip.ini の場所をこのシステムの文字コードで表せない",
       L"切替できず: アドレスにこのシステムの文字コードで表せない文字がある"},
      {ErrorKind::kTypeMismatch, L"状態不明: 状態を読めず", L"切替できず"},
      // The library is not called: no switch is named.
      {ErrorKind::kNoAddress, L"状態不明: IP が保存されていない", L"切替できず: IP が空"},
      // Only after the new word was handed over: the outlet may have switched.
      {ErrorKind::kAnswerOutOfRange, L"状態不明: 状態を読めず",
       L"切替できず: スイッチの応答が範囲外 (切り替わった可能性がある)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ErrorKindName(c.kind));
    EXPECT_EQ(StatusUnknown(c.kind), c.status);
    EXPECT_EQ(CannotSwitch(c.kind), c.cannotSwitch);
  }
  EXPECT_EQ(MaskUnknown(ErrorKind::kTypeMismatch, 0), L"状態不明: Sw1 のマスクが数値でない");
  EXPECT_EQ(MaskUnknown(ErrorKind::kOverflow, 3), L"状態不明: Sw4 のマスクが範囲外");
  EXPECT_EQ(MaskCannotSwitch(ErrorKind::kTypeMismatch), L"切替できず: マスクが数値でない");
  EXPECT_EQ(MaskCannotSwitch(ErrorKind::kOverflow), L"切替できず: マスクが範囲外");
}

TEST(WindowTexts, AnUnexpectedFailureSaysWhetherMemoryRanOut) {
  EXPECT_EQ(Stopped(Unexpected::kOutOfMemory), L"処理を中断: メモリが足りない");
  EXPECT_EQ(Stopped(Unexpected::kOther), L"処理を中断: 予期しないエラー");
  EXPECT_EQ(StatusStopped(Unexpected::kOutOfMemory), L"状態不明: メモリが足りない");
  EXPECT_EQ(StatusStopped(Unexpected::kOther), L"状態不明: 予期しないエラー");
}

TEST(WindowTexts, TooltipsNameTheSavedAddress) {
  EXPECT_EQ(StateWord(true) + SavedAddressNote(std::wstring(L"10.0.0.5")), L"オン (保存済みの IP 10.0.0.5 の状態)");
  EXPECT_EQ(StateWord(false) + SavedAddressNote(std::wstring()), L"オフ (保存済みの IP なし)");
  EXPECT_EQ(SavedAddressNote(std::nullopt), L"");  // the address itself could not be read
  EXPECT_EQ(std::wstring(kNoSavedAddress), L"状態不明: IP が保存されていない");
}

TEST(WindowTexts, SaveMessagesNameTheFieldPathAndReason) {
  EXPECT_EQ(ValueTooLong(L"CMD2", 1022), L"保存できず: CMD2 が長すぎる (1022 バイトまで)");
  EXPECT_EQ(ValueNotInCodePage(L"IP", L"機"), L"保存できず: IP の「機」をこのシステムの文字コードで表せない");
  EXPECT_EQ(ValueHasLineBreak(L"CMD3"), L"保存できず: CMD3 に改行 (または NUL 文字) がある");
  EXPECT_EQ(SaveFailed(L"C:\\qel\\ip.ini", L"Access denied. (5)"),
            std::wstring(L"保存できず\nC:\\qel\\ip.ini\nAccess denied. (5)\n") + kSaveAdvice);
  // The step and the system's reason, as they travel from the settings
  // layer.
  const struct {
    SaveFailure failure;
    const wchar_t* reason;
  } cases[] = {
      {{SaveStep::kCopy, L"", std::nullopt, SystemError{32, L"The process cannot access the file."}},
       L"ip.ini のコピーを作れず: The process cannot access the file. (32)"},
      {{SaveStep::kWrite, L"Sw2", std::nullopt, SystemError{5, L"Access denied."}}, L"Sw2 を書き込めず: Access denied. (5)"},
      {{SaveStep::kFlush, L"", std::nullopt, SystemError{112, L"Disk full."}}, L"ディスクへ書き出せず: Disk full. (112)"},
      {{SaveStep::kReadBack, L"CMD3", std::nullopt, std::nullopt}, L"書いた CMD3 を読み戻すと違う (ディスクがいっぱいなど)"},
      {{SaveStep::kReplace, L"", std::nullopt, SystemError{5, L"Access denied."}},
       L"ip.ini を置き換えられず: Access denied. (5)"},
      {{SaveStep::kWholeFile, L"", std::nullopt, SystemError{5, L"Access denied."}},
       L"ip.ini と書いたコピーを比べられず: Access denied. (5)"},
      {{SaveStep::kWholeFile, L"", std::nullopt, std::nullopt, CopyMismatch{CopyMismatchKind::kLineMissing, 7}},
       L"書いたコピーに ip.ini の 7 行目がない (ディスクがいっぱいなど)"},
      {{SaveStep::kWholeFile, L"", std::nullopt, std::nullopt, CopyMismatch{CopyMismatchKind::kLineChanged, 9}},
       L"書いたコピーで ip.ini の 9 行目が変わった (ディスクがいっぱいなど)"},
      {{SaveStep::kWholeFile, L"", std::nullopt, std::nullopt, CopyMismatch{CopyMismatchKind::kLineAdded, 3}},
       L"書いたコピーで ip.ini の 3 行目の前に余分な行がある"},
      {{SaveStep::kWholeFile, L"", std::nullopt, std::nullopt, CopyMismatch{CopyMismatchKind::kEndCut, 12}},
       L"書いたコピーの最後の行が途中で切れている (ディスクがいっぱいなど)"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SaveFailureMessage(L"C:\\qel\\ip.ini", c.failure),
              std::wstring(L"保存できず\nC:\\qel\\ip.ini\n") + c.reason + L"\n" + kSaveAdvice);
  }
  EXPECT_EQ(SettingsPathNotInCodePage(L"C:\\Ω\\ip.ini"),
            L"保存できず: ip.ini の場所をこのシステムの文字コードで表せない\nC:\\Ω\\ip.ini");
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
    EXPECT_NE(readme.find(text), std::wstring::npos) << FakePlatform().ToAnsi(text).value_or("?");
  }
}

}  // namespace
}  // namespace qel::texts
