#include "core/settings_save.h"

#include <gtest/gtest.h>

#include "core/window_texts.h"
#include "testing/fake_platform.h"

namespace qel {
namespace {

const char kIni[] = "C:\\qel\\ip.ini";
const char kCopy[] = "C:\\qel\\ip.ini.1.tmp";

// The eight fields as the window has them, filled from `filled` (nothing:
// never filled), then given the texts in `typed`.
std::vector<FieldToSave> Fields(const std::vector<std::wstring>& filled, const std::vector<std::wstring>& typed) {
  const wchar_t* keys[] = {L"IP", L"SW1", L"SW2", L"SW3", L"SW4", L"CMD1", L"CMD2", L"CMD3"};
  const wchar_t* names[] = {L"IP", L"Sw1", L"Sw2", L"Sw3", L"Sw4", L"CMD1", L"CMD2", L"CMD3"};
  std::vector<FieldToSave> fields;
  for (std::size_t i = 0; i < 8; ++i) {
    fields.push_back({keys[i], names[i], filled.empty() ? std::nullopt : std::optional(filled[i]), typed[i]});
  }
  return fields;
}

TEST(SaveDecision, WritesWhatTheUserChangedOrTheFileLacks) {
  const struct {
    const char* what;
    std::optional<std::wstring> filled;
    std::wstring text;
    bool held;
    bool writes;
  } cases[] = {
      {"untouched", L"notepad.exe", L"notepad.exe", true, false},
      {"changed", L"notepad.exe", L"calc.exe", true, true},
      {"emptied", L"notepad.exe", L"", true, true},
      {"a blank added is a change", L"notepad.exe", L"notepad.exe ", true, true},
      {"letter case is a change", L"notepad.exe", L"Notepad.exe", true, true},
      {"untouched, but the file lost the key", L"notepad.exe", L"notepad.exe", false, true},
      {"untouched and empty, key missing", L"", L"", false, true},
      {"never filled", std::nullopt, L"x", true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(NeedsWriting(c.filled, c.text, c.held), c.writes);
  }
}

// Not as the profile functions would write it: any rewrite of a line shows.
const char kHandMade[] =
    "; qel\r\n[Qelmark]\r\nIP = 10.0.0.7\r\nSW1=1\r\nSW2=4\r\nSW3=32\r\nSW4=128\r\nCMD1=a\r\nCMD2=b\r\nCMD3=c\r\n"
    "[Other]\r\nX=1\r\n";
const std::vector<std::wstring> kHandMadeFields = {L"10.0.0.7", L"1", L"4", L"32", L"128", L"a", L"b", L"c"};
const std::vector<std::wstring> kEveryFieldEdited = {L"10.1.1.1", L"2", L"8", L"16", L"64", L"x.exe", L"y.exe",
                                                     L"z.exe"};

TEST(SaveSettings, ReplacesIpIniByACheckedCopy) {
  FakePlatform platform;
  platform.SetIni(kHandMade);
  ASSERT_EQ(SaveSettings(platform, Fields(kHandMadeFields, kEveryFieldEdited)), std::nullopt);
  EXPECT_EQ(platform.Ini(),
            "; qel\r\n[Qelmark]\r\nIP=10.1.1.1\r\nSW1=2\r\nSW2=8\r\nSW3=16\r\nSW4=64\r\nCMD1=x.exe\r\nCMD2=y.exe\r\n"
            "CMD3=z.exe\r\n[Other]\r\nX=1\r\n");
  EXPECT_EQ(platform.files.size(), 1u) << "a copy was left";
  // Every write goes to the copy; ip.ini itself only changes in one step.
  std::vector<std::string> expected = {std::string("copy ") + kIni + " " + kCopy};
  for (const char* key : {"IP", "SW1", "SW2", "SW3", "SW4", "CMD1", "CMD2", "CMD3"}) {
    expected.push_back(std::string("write ") + kCopy + " " + key);
  }
  expected.push_back(std::string("flush ") + kCopy);
  // The whole copy against ip.ini, before the copy takes its place.
  expected.push_back(std::string("read ") + kIni);
  expected.push_back(std::string("read ") + kCopy);
  expected.push_back(std::string("replace ") + kIni + " " + kCopy);
  EXPECT_EQ(platform.fileSteps, expected);
}

TEST(SaveSettings, WithoutIpIniCreatesIt) {
  FakePlatform platform;
  ASSERT_EQ(SaveSettings(platform, Fields({}, kEveryFieldEdited)), std::nullopt);
  EXPECT_EQ(platform.Ini(),
            "[Qelmark]\r\nIP=10.1.1.1\r\nSW1=2\r\nSW2=8\r\nSW3=16\r\nSW4=64\r\nCMD1=x.exe\r\nCMD2=y.exe\r\nCMD3=z.exe\r\n");
  EXPECT_EQ(platform.files.size(), 1u);
}

// Each step failing in turn: ip.ini stays byte for byte, no copy stays, and
// the failure says which step and the system's reason.
TEST(SaveSettings, AFailingStepLeavesIpIniAsItWas) {
  const struct {
    const char* step;
    SaveStep stoppedAt;
    const wchar_t* field;
  } cases[] = {
      {"copy", SaveStep::kCopy, L""},
      {"write IP", SaveStep::kWrite, L"IP"},
      {"write SW3", SaveStep::kWrite, L"Sw3"},  // the fourth of eight: half a save
      {"write CMD3", SaveStep::kWrite, L"CMD3"},
      {"flush", SaveStep::kFlush, L""},
      {"read C:\\qel\\ip.ini", SaveStep::kWholeFile, L""},
      {"read C:\\qel\\ip.ini.1.tmp", SaveStep::kWholeFile, L""},
      {"replace", SaveStep::kReplace, L""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.step);
    FakePlatform platform;
    platform.SetIni(kHandMade);
    platform.failingSteps[c.step] = 112;
    const std::optional<SaveFailure> failure = SaveSettings(platform, Fields(kHandMadeFields, kEveryFieldEdited));
    ASSERT_NE(failure, std::nullopt);
    EXPECT_EQ(failure->step, c.stoppedAt);
    EXPECT_EQ(failure->field, c.field);
    EXPECT_EQ(platform.Ini(), kHandMade);
    EXPECT_EQ(platform.files.size(), 1u) << "a copy was left";
    const std::wstring message = texts::SaveFailureMessage(L"C:\\qel\\ip.ini", *failure);
    EXPECT_EQ(message.rfind(L"保存できず\nC:\\qel\\ip.ini\n", 0), 0u) << platform.ToAnsi(message).value_or("?");
    EXPECT_NE(message.find(L"fault " + platform.FromAnsi(c.step) + L" (112)"), std::wstring::npos)
        << "the system's reason is missing";
  }
}

// A disk that fills up during the save: the profile functions report every
// write as done, but the file ends early. The read-back finds it, wherever
// the cut falls.
TEST(SaveSettings, ADiskThatFillsUpIsFoundByTheReadBack) {
  const std::string plain = "[Qelmark]\r\nIP=10.0.0.7\r\nSW1=1\r\nSW2=4\r\nSW3=32\r\nSW4=128\r\nCMD1=a\r\nCMD2=b\r\nCMD3=c\r\n";
  const std::string withOther = std::string(kHandMade);
  const struct {
    const char* what;
    std::string ini;
    std::size_t field;
    const wchar_t* typed;
    std::size_t diskBytes;
    const wchar_t* found;
  } cases[] = {
      // "CMD3=c" becomes "CMD3=z.exe": cut in the middle of it, no line end.
      {"in the value written last", plain, 7, L"z.exe", plain.size() + 1, L"CMD3"},
      // The address grows by one byte and CMD3's value, after it, is lost.
      {"in a value the user did not change", plain, 0, L"10.0.0.77", plain.size() - 2, L"CMD3"},
      {"in another section", withOther, 7, L"z.exe", withOther.size() + 1, L"X"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakePlatform platform;
    platform.SetIni(c.ini);
    platform.diskBytes = c.diskBytes;
    std::vector<std::wstring> filled;
    for (const wchar_t* key : {L"IP", L"SW1", L"SW2", L"SW3", L"SW4", L"CMD1", L"CMD2", L"CMD3"}) {
      filled.push_back(ReadSetting(platform, key));
    }
    std::vector<std::wstring> typed = filled;
    typed[c.field] = c.typed;
    const std::optional<SaveFailure> failure = SaveSettings(platform, Fields(filled, typed));
    ASSERT_NE(failure, std::nullopt);
    EXPECT_EQ(failure->step, SaveStep::kReadBack);
    EXPECT_EQ(failure->field, c.found);
    EXPECT_EQ(platform.Ini(), c.ini);
    EXPECT_EQ(platform.files.size(), 1u) << "a copy was left";
    // With room on the disk the same save goes through.
    platform.diskBytes = static_cast<std::size_t>(-1);
    EXPECT_EQ(SaveSettings(platform, Fields(filled, typed)), std::nullopt);
    EXPECT_EQ(ReadSetting(platform, L"CMD3"), typed[7]);
  }
}

// A disk that fills up in what no read-back sees: the rest of a value longer
// than a read gives, a comment, the last line end. As a user had it: ours
// first, a comment, then a section of the user's own ending in a long
// hand-written value; the address changed and a long command line typed.
TEST(SaveSettings, ADiskThatFillsUpBeyondWhatAReadGivesIsFoundInTheWholeFile) {
  const std::string ours =
      "[Qelmark]\r\nIP=10.0.0.7\r\nSW1=1\r\nSW2=4\r\nSW3=32\r\nSW4=128\r\nCMD1=\r\nCMD2=\r\nCMD3=\r\n";
  const std::string longValue = ours + "; mine\r\n[Other]\r\nNote=" + std::string(2000, 'n') + "\r\n";
  const std::string comment = ours + "[Other]\r\nX=1\r\n; the last word of the file, by hand\r\n";
  const struct {
    const char* what;
    std::string ini;
    std::size_t cutBy;  // bytes the disk leaves out of the saved file
    std::wstring found;
  } cases[] = {
      {"a long value cut beyond its 1023rd byte", longValue, 400,
       L"書いたコピーで ip.ini の 12 行目が変わった (ディスクがいっぱいなど)"},
      {"a comment cut", comment, 10, L"書いたコピーで ip.ini の 12 行目が変わった (ディスクがいっぱいなど)"},
      {"the last line end cut", comment, 2, L"書いたコピーの最後の行が途中で切れている (ディスクがいっぱいなど)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakePlatform platform;
    platform.SetIni(c.ini);
    std::vector<std::wstring> filled;
    for (const wchar_t* key : {L"IP", L"SW1", L"SW2", L"SW3", L"SW4", L"CMD1", L"CMD2", L"CMD3"}) {
      filled.push_back(ReadSetting(platform, key));
    }
    std::vector<std::wstring> typed = filled;
    typed[0] = L"10.0.0.77";
    typed[5] = L"C:\\tools\\run.exe " + std::wstring(600, L'x');
    // The size the saved file has, less what the disk has no room for.
    FakePlatform measure;
    measure.SetIni(c.ini);
    ASSERT_EQ(SaveSettings(measure, Fields(filled, typed)), std::nullopt);
    platform.diskBytes = measure.Ini().size() - c.cutBy;

    const std::optional<SaveFailure> failure = SaveSettings(platform, Fields(filled, typed));
    ASSERT_NE(failure, std::nullopt);
    EXPECT_EQ(failure->step, SaveStep::kWholeFile);
    EXPECT_EQ(texts::SaveFailureMessage(L"C:\\qel\\ip.ini", *failure),
              L"保存できず\nC:\\qel\\ip.ini\n" + c.found + L"\n" + texts::kSaveAdvice);
    EXPECT_EQ(platform.Ini(), c.ini);
    EXPECT_EQ(platform.files.size(), 1u) << "a copy was left";
    platform.diskBytes = static_cast<std::size_t>(-1);
    EXPECT_EQ(SaveSettings(platform, Fields(filled, typed)), std::nullopt);
    EXPECT_EQ(platform.Ini(), measure.Ini());
  }
}

// Wherever the disk runs out, ip.ini ends as it was or as saved: every size
// the disk may leave the save, from none of its growth to all but a byte.
TEST(SaveSettings, EveryCutOfTheSaveLeavesIpIniAsItWas) {
  const std::string ini = "; mine\r\n[Qelmark]\r\nIP=10.0.0.7\r\nSW1=1\r\nCMD1=a\r\n\r\n[Other]\r\nNote=" +
                          std::string(1100, 'n') + "\r\n; end\r\n";
  const std::vector<std::wstring> filled = {L"10.0.0.7", L"1", L"", L"", L"", L"a", L"", L""};
  std::vector<std::wstring> typed = filled;
  typed[0] = L"10.0.0.77";
  typed[5] = L"C:\\tools\\run.exe " + std::wstring(300, L'x');
  FakePlatform measure;
  measure.SetIni(ini);
  ASSERT_EQ(SaveSettings(measure, Fields(filled, typed)), std::nullopt);
  const std::string saved = measure.Ini();
  for (std::size_t disk = 0; disk < saved.size(); ++disk) {
    FakePlatform platform;
    platform.SetIni(ini);
    platform.diskBytes = disk;
    const std::optional<SaveFailure> failure = SaveSettings(platform, Fields(filled, typed));
    const std::string after = platform.Ini();
    EXPECT_TRUE(failure ? after == ini : after == saved) << "a disk of " << disk << " bytes: ip.ini is\n" << after;
  }
}

TEST(SaveSettings, ValuesThatWouldNotComeBackStopItBeforeTheDisk) {
  const struct {
    const char* what;
    std::size_t field;
    std::wstring text;
    SettingProblem problem;
    const wchar_t* message;
  } cases[] = {
      {"a line break", 5, L"a.exe\r\nb.exe", SettingProblem::kLineBreak, L"保存できず: CMD1 に改行 (または NUL 文字) がある"},
      {"a lone LF", 0, L"10.0.0.1\n", SettingProblem::kLineBreak, L"保存できず: IP に改行 (または NUL 文字) がある"},
      {"a NUL", 7, std::wstring(L"a\0b", 3), SettingProblem::kLineBreak,
       L"保存できず: CMD3 に改行 (または NUL 文字) がある"},
      {"outside the code page", 5, L"C:\\\u03A9mega\\x.exe", SettingProblem::kNotInCodePage,
       L"保存できず: CMD1 の「Ω」をこのシステムの文字コードで表せない"},
      {"too long", 6, std::wstring(1024, L'a'), SettingProblem::kTooLong, L"保存できず: CMD2 が長すぎる (1023 バイトまで)"},
      {"too long inside added quotes", 6, L" " + std::wstring(1022, L'a'), SettingProblem::kTooLong,
       L"保存できず: CMD2 が長すぎる (1022 バイトまで)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakePlatform platform;
    platform.outsideCodePage = L"\u03A9";
    platform.SetIni(kHandMade);
    std::vector<std::wstring> typed = kEveryFieldEdited;
    typed[c.field] = c.text;
    const std::optional<SaveFailure> failure = SaveSettings(platform, Fields(kHandMadeFields, typed));
    ASSERT_NE(failure, std::nullopt);
    EXPECT_EQ(failure->step, SaveStep::kValue);
    ASSERT_NE(failure->value, std::nullopt);
    EXPECT_EQ(failure->value->kind, c.problem);
    EXPECT_EQ(texts::SaveFailureMessage(L"C:\\qel\\ip.ini", *failure), c.message);
    EXPECT_EQ(platform.fileSteps, std::vector<std::string>()) << "the disk was touched";
    EXPECT_EQ(platform.Ini(), kHandMade);
  }
}

// Hand-edited text the window cannot show as it stands: a value longer than
// a read gives, one a read gives back too long to be saved again, bytes that
// are not text of the code page. Changing another field leaves them be.
TEST(SaveSettings, FieldsTheUserDidNotTouchKeepTheirBytes) {
  FakePlatform platform;
  const std::string longValue(2000, 'a');
  const std::string quotedLong = "\" " + std::string(1022, 'b') + "\"";
  const std::string notText = "\xFF\xFEx";
  const std::string ini = "[Qelmark]\r\nIP=10.0.0.7\r\nCMD1=" + longValue + "\r\nCMD2=" + quotedLong + "\r\nCMD3=" +
                          notText + "\r\nSW1=1\r\nSW2=4\r\nSW3=32\r\nSW4=128\r\n";
  platform.SetIni(ini);
  std::vector<std::wstring> filled;
  for (const wchar_t* key : {L"IP", L"SW1", L"SW2", L"SW3", L"SW4", L"CMD1", L"CMD2", L"CMD3"}) {
    filled.push_back(ReadSetting(platform, key));
  }
  ASSERT_EQ(filled[6].size(), 1023u);  // a blank at the start: too long to be saved as it reads
  std::vector<std::wstring> typed = filled;
  typed[4] = L"64";
  ASSERT_EQ(SaveSettings(platform, Fields(filled, typed)), std::nullopt);
  std::string expected = ini;
  expected.replace(expected.find("SW4=128"), 7, "SW4=64");
  EXPECT_EQ(platform.Ini(), expected);
}

// Two windows on one folder, both filled before either saved.
TEST(SaveSettings, TwoWindowsBothSaveWhatTheirUsersChanged) {
  FakePlatform platform;
  const char ini[] = "[Qelmark]\r\nIP=10.0.0.7\r\nSW1=1\r\nSW2=4\r\nSW3=32\r\nSW4=128\r\nCMD1=\r\nCMD2=\r\nCMD3=\r\n";
  platform.SetIni(ini);
  const std::vector<std::wstring> filled = {L"10.0.0.7", L"1", L"4", L"32", L"128", L"", L"", L""};
  std::vector<std::wstring> first = filled, second = filled;
  first[5] = L"notepad.exe";
  first[0] = L"10.0.0.8";
  second[6] = L"calc.exe";
  second[0] = L"10.0.0.9";  // both changed the address: the later save wins
  ASSERT_EQ(SaveSettings(platform, Fields(filled, first)), std::nullopt);
  ASSERT_EQ(SaveSettings(platform, Fields(filled, second)), std::nullopt);
  EXPECT_EQ(platform.Ini(),
            "[Qelmark]\r\nIP=10.0.0.9\r\nSW1=1\r\nSW2=4\r\nSW3=32\r\nSW4=128\r\nCMD1=notepad.exe\r\nCMD2=calc.exe\r\nCMD3=\r\n");
}

TEST(SaveSettings, KeysTheFileLacksAreWrittenAndUntouchedOnesAreNot) {
  FakePlatform platform;
  platform.SetIni("[Qelmark]\r\nIP=10.0.0.9\r\nCMD2=go.exe\r\n");
  const std::vector<std::wstring> filled = {L"10.0.0.9", L"", L"", L"", L"", L"", L"go.exe", L""};
  ASSERT_EQ(SaveSettings(platform, Fields(filled, filled)), std::nullopt);
  EXPECT_EQ(platform.Ini(), "[Qelmark]\r\nIP=10.0.0.9\r\nCMD2=go.exe\r\nSW1=\r\nSW2=\r\nSW3=\r\nSW4=\r\nCMD1=\r\nCMD3=\r\n");
  const std::vector<std::string> untouched = {"write C:\\qel\\ip.ini.1.tmp IP", "write C:\\qel\\ip.ini.1.tmp CMD2"};
  for (const std::string& step : untouched) {
    EXPECT_EQ(std::count(platform.fileSteps.begin(), platform.fileSteps.end(), step), 0) << step;
  }
}

TEST(SaveSettings, ACopyLeftByACrashDoesNotStopIt) {
  FakePlatform platform;
  platform.SetIni(kHandMade);
  platform.files[kCopy] = "[Qelmark]\r\nIP=half";
  ASSERT_EQ(SaveSettings(platform, Fields(kHandMadeFields, kEveryFieldEdited)), std::nullopt);
  EXPECT_EQ(platform.ReadProfileValue("Qelmark", "IP", 1024, kIni), "10.1.1.1");
  EXPECT_EQ(platform.ReadProfileValue("Other", "X", 1024, kIni), "1");
  EXPECT_EQ(platform.files.count(kCopy), 0u);
}

TEST(SaveSettings, AnIniPathTheCodePageCannotHoldSavesNothing) {
  FakePlatform platform;
  platform.outsideCodePage = L"\u03A9";
  platform.executableDirectory = L"C:\\\u03A9mega";
  const std::optional<SaveFailure> failure = SaveSettings(platform, Fields({}, kEveryFieldEdited));
  ASSERT_NE(failure, std::nullopt);
  EXPECT_EQ(failure->step, SaveStep::kPath);
  EXPECT_TRUE(platform.files.empty());
  EXPECT_EQ(texts::SaveFailureMessage(L"C:\\\u03A9mega\\ip.ini", *failure),
            L"保存できず: ip.ini の場所をこのシステムの文字コードで表せない\nC:\\\u03A9mega\\ip.ini");
}

}  // namespace
}  // namespace qel
