#include "core/settings_save.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "core/counts.h"
#include "core/numbers.h"
#include "core/save_texts.h"
#include "testing/fake_platform.h"

namespace qel {
namespace {

const char kIni[] = "C:\\qel\\ip.ini";
const char kCopy[] = "C:\\qel\\ip.ini.1.tmp";

// The window's fields in their order, with their keys and the names the
// messages give them: the address, the mask of every outlet, every command
// line.
struct FieldName {
  std::wstring key;
  std::wstring name;
};
const std::vector<FieldName> kFieldNames = [] {
  std::vector<FieldName> names = {{kAddressKey, texts::kAddressCaption}};
  for (int outlet = 1; outlet <= kOutletCount; ++outlet) names.push_back({MaskKey(outlet), texts::OutletName(outlet - 1)});
  for (int command = 1; command <= kCommandCount; ++command) {
    names.push_back({CommandKey(command), texts::CommandName(command - 1)});
  }
  return names;
}();
// Where each kind of field is in that order.
constexpr std::size_t kAddressField = 0;
constexpr std::size_t MaskField(int outlet) { return static_cast<std::size_t>(outlet); }
constexpr std::size_t CommandField(int command) { return static_cast<std::size_t>(kOutletCount + command); }
const std::size_t kLastField = CommandField(kCommandCount);

// A text for every field: the address, the masks from Sw1 on and the command
// lines from CMD1 on; those not given are empty.
using FieldTexts = std::vector<std::wstring>;
FieldTexts Texts(const std::wstring& address, const FieldTexts& masks, const FieldTexts& commands) {
  EXPECT_LE(masks.size(), static_cast<std::size_t>(kOutletCount));
  EXPECT_LE(commands.size(), static_cast<std::size_t>(kCommandCount));
  FieldTexts texts(kFieldNames.size());
  texts[kAddressField] = address;
  for (std::size_t i = 0; i < masks.size(); ++i) texts[MaskField(static_cast<int>(i) + 1)] = masks[i];
  for (std::size_t i = 0; i < commands.size(); ++i) texts[CommandField(static_cast<int>(i) + 1)] = commands[i];
  return texts;
}

// The lines of fields `first` to `end` (not included), in their order, as
// the profile functions write them (ASCII texts only).
std::string Lines(const FieldTexts& texts, std::size_t first = 0, std::size_t end = kFieldNames.size()) {
  std::string lines;
  for (std::size_t i = first; i < end && i < kFieldNames.size(); ++i) {
    lines += FakePlatform().ToAnsi(kFieldNames[i].key + L"=" + texts[i]).value_or("?") + "\r\n";
  }
  return lines;
}

// The fields as the window has them, filled from `filled` (nothing: never
// filled), then given the texts in `typed`.
std::vector<FieldToSave> Fields(const FieldTexts& filled, const FieldTexts& typed) {
  EXPECT_EQ(typed.size(), kFieldNames.size());
  EXPECT_TRUE(filled.empty() || filled.size() == kFieldNames.size());
  std::vector<FieldToSave> fields;
  for (std::size_t i = 0; i < kFieldNames.size() && i < typed.size(); ++i) {
    const std::optional<std::wstring> fill = i < filled.size() ? std::optional(filled[i]) : std::nullopt;
    fields.push_back({kFieldNames[i].key, kFieldNames[i].name, fill, typed[i]});
  }
  return fields;
}

// What the window was filled with: each field's value in the file.
FieldTexts ReadFields(Platform& platform) {
  FieldTexts filled;
  for (const FieldName& field : kFieldNames) filled.push_back(ReadSetting(platform, field.key));
  return filled;
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
const FieldTexts kHandMadeFields = Texts(L"10.0.0.7", {L"1", L"4", L"32", L"128"}, {L"a", L"b", L"c"});
const std::string kHandMade =
    "; qel\r\n[Qelmark]\r\nIP = 10.0.0.7\r\n" + Lines(kHandMadeFields, kAddressField + 1) + "[Other]\r\nX=1\r\n";
const FieldTexts kEveryFieldEdited =
    Texts(L"10.1.1.1", {L"2", L"8", L"16", L"64"}, {L"x.exe", L"y.exe", L"z.exe"});

TEST(SaveSettings, ReplacesIpIniByACheckedCopy) {
  FakePlatform platform;
  platform.SetIni(kHandMade);
  ASSERT_EQ(SaveSettings(platform, Fields(kHandMadeFields, kEveryFieldEdited)), std::nullopt);
  EXPECT_EQ(platform.Ini(), "; qel\r\n[Qelmark]\r\n" + Lines(kEveryFieldEdited) + "[Other]\r\nX=1\r\n");
  EXPECT_EQ(platform.files.size(), 1u) << "a copy was left";
  // Every write goes to the copy; ip.ini itself only changes in one step.
  std::vector<std::string> expected = {std::string("copy ") + kIni + " " + kCopy};
  for (std::size_t i = 0; i < kFieldNames.size(); ++i) {
    if (kHandMadeFields[i] == kEveryFieldEdited[i]) continue;  // untouched: not written
    expected.push_back(std::string("write ") + kCopy + " " + platform.ToAnsi(kFieldNames[i].key).value_or("?"));
  }
  expected.push_back(std::string("flush ") + kCopy);
  // The whole copy against ip.ini, before the copy takes its place.
  expected.push_back(std::string("read ") + kIni);
  expected.push_back(std::string("read ") + kCopy);
  expected.push_back(std::string("replace ") + kIni + " " + kCopy);
  EXPECT_EQ(platform.fileSteps, expected);
}

// Keys the window does not show (CONFIRM and LOG, which only ip.ini sets)
// stay as they were, whatever the user changed.
TEST(SaveSettings, KeysTheWindowDoesNotShowStay) {
  FakePlatform platform;
  const std::string kept = "CONFIRM=30\r\nLOG=logs\\qel.log\r\n";
  platform.SetIni("[Qelmark]\r\n" + Lines(Texts(L"10.0.0.1", {L"1", L"4", L"32", L"128"}, {})) + kept);
  const FieldTexts filled = ReadFields(platform);
  ASSERT_EQ(SaveSettings(platform, Fields(filled, kEveryFieldEdited)), std::nullopt);
  EXPECT_EQ(platform.Ini(), "[Qelmark]\r\n" + Lines(kEveryFieldEdited) + kept);
}

TEST(SaveSettings, WithoutIpIniCreatesIt) {
  FakePlatform platform;
  ASSERT_EQ(SaveSettings(platform, Fields({}, kEveryFieldEdited)), std::nullopt);
  EXPECT_EQ(platform.Ini(), "[Qelmark]\r\n" + Lines(kEveryFieldEdited));
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

// A read-only ip.ini is kept as it is: no copy is made.
TEST(SaveSettings, AReadOnlyIpIniIsKept) {
  FakePlatform platform;
  platform.SetIni(kHandMade);
  platform.readOnlyFiles.insert(kIni);
  const std::optional<SaveFailure> failure = SaveSettings(platform, Fields(kHandMadeFields, kEveryFieldEdited));
  ASSERT_NE(failure, std::nullopt);
  EXPECT_EQ(failure->step, SaveStep::kReadOnly);
  EXPECT_EQ(platform.fileSteps, std::vector<std::string>()) << "the disk was touched";
  EXPECT_EQ(platform.Ini(), kHandMade);
  EXPECT_EQ(texts::SaveFailureMessage(L"C:\\qel\\ip.ini", *failure),
            texts::SaveFailed(L"C:\\qel\\ip.ini", texts::SaveStepWords(SaveStep::kReadOnly, L"")));
}

// A window whose every field ip.ini holds as it was filled has nothing to
// save: ip.ini is not touched, so that neither a read-only one nor one that
// another program holds open keeps the window from quitting. With anything
// to write, they stop the save as before.
TEST(SaveSettings, NothingToWriteLeavesIpIniUntouched) {
  const std::string lacksCmd3 = kHandMade.substr(0, kHandMade.find("CMD3=")) + "[Other]\r\nX=1\r\n";
  std::string otherCase = kHandMade;
  otherCase.replace(otherCase.find("IP ="), 4, "ip =").replace(otherCase.find("[Qelmark]"), 9, "[QELMARK]");
  FieldTexts changed = kHandMadeFields;
  changed[CommandField(2)] = L"changed.exe";
  const struct {
    const char* what;
    std::string ini;
    bool readOnly;
    bool heldOpen;  // the copy cannot be made, nor put in ip.ini's place
    FieldTexts typed;
    std::optional<SaveStep> stoppedAt;  // nothing: saved (or nothing to save)
  } cases[] = {
      {"read-only, untouched", kHandMade, true, false, kHandMadeFields, std::nullopt},
      {"held open, untouched", kHandMade, false, true, kHandMadeFields, std::nullopt},
      {"untouched, names in another letter case", otherCase, true, false, kHandMadeFields, std::nullopt},
      {"read-only, a field changed", kHandMade, true, false, changed, SaveStep::kReadOnly},
      {"held open, a field changed", kHandMade, false, true, changed, SaveStep::kCopy},
      {"read-only, untouched, a key missing", lacksCmd3, true, false, kHandMadeFields, SaveStep::kReadOnly},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakePlatform platform;
    platform.SetIni(c.ini);
    if (c.readOnly) platform.readOnlyFiles.insert(kIni);
    if (c.heldOpen) platform.failingSteps = {{"copy", 32}, {"replace", 32}};
    const std::optional<SaveFailure> failure = SaveSettings(platform, Fields(kHandMadeFields, c.typed));
    EXPECT_EQ(failure ? std::optional(failure->step) : std::nullopt, c.stoppedAt);
    EXPECT_EQ(platform.Ini(), c.ini);
    if (!c.stoppedAt) {
      EXPECT_EQ(platform.fileSteps, std::vector<std::string>()) << "the disk was touched";
    }
  }
}

// What the system gives no reason for is said without one, never with a
// made-up one; a copy whose name the code page cannot hold is its own step.
TEST(SaveSettings, StepsWithoutASystemReason) {
  {
    SCOPED_TRACE("a flush that failed without a reason");
    FakePlatform platform;
    platform.SetIni(kHandMade);
    platform.failingSteps["flush"] = 0;
    const std::optional<SaveFailure> failure = SaveSettings(platform, Fields(kHandMadeFields, kEveryFieldEdited));
    ASSERT_NE(failure, std::nullopt);
    EXPECT_EQ(failure->step, SaveStep::kFlush);
    EXPECT_EQ(texts::SaveFailureMessage(L"C:\\qel\\ip.ini", *failure),
              texts::SaveFailed(L"C:\\qel\\ip.ini", texts::SaveStepWords(SaveStep::kFlush, L"")));
    EXPECT_EQ(platform.Ini(), kHandMade);
    EXPECT_EQ(platform.files.size(), 1u) << "a copy was left";
  }
  {
    SCOPED_TRACE("a copy's name the code page cannot hold");
    FakePlatform platform;
    platform.SetIni(kHandMade);
    platform.outsideCodePage = L"\u03A9";
    platform.copySuffix = L".\u03A9.tmp";
    const std::optional<SaveFailure> failure = SaveSettings(platform, Fields(kHandMadeFields, kEveryFieldEdited));
    ASSERT_NE(failure, std::nullopt);
    EXPECT_EQ(failure->step, SaveStep::kCopyPath);
    EXPECT_EQ(failure->leftCopy, std::nullopt);
    EXPECT_EQ(platform.Ini(), kHandMade);
    EXPECT_EQ(platform.files.size(), 1u) << "a copy was left";
  }
}

// A copy that cannot be removed after a failed step is not kept quiet: the
// message says where it is left, and why.
TEST(SaveSettings, ACopyThatCannotBeRemovedIsNamed) {
  FakePlatform platform;
  platform.SetIni(kHandMade);
  platform.failingSteps["replace"] = 5;
  platform.failingSteps["remove"] = 32;
  const std::optional<SaveFailure> failure = SaveSettings(platform, Fields(kHandMadeFields, kEveryFieldEdited));
  ASSERT_NE(failure, std::nullopt);
  EXPECT_EQ(failure->step, SaveStep::kReplace);
  ASSERT_NE(failure->leftCopy, std::nullopt);
  EXPECT_EQ(failure->leftCopy->path, L"C:\\qel\\ip.ini.1.tmp");
  EXPECT_EQ(failure->leftCopy->reason.code, 32u);
  EXPECT_EQ(platform.Ini(), kHandMade);
  const std::wstring message = texts::SaveFailureMessage(L"C:\\qel\\ip.ini", *failure);
  EXPECT_NE(message.find(L"\n" + std::wstring(texts::kCopyLeft) + L": C:\\qel\\ip.ini.1.tmp: fault remove (32)\n"),
            std::wstring::npos)
      << platform.ToAnsi(message).value_or("?");
  // Removed where it can be: nothing to say.
  platform.failingSteps.erase("remove");
  const std::optional<SaveFailure> removed = SaveSettings(platform, Fields(kHandMadeFields, kEveryFieldEdited));
  ASSERT_NE(removed, std::nullopt);
  EXPECT_EQ(removed->leftCopy, std::nullopt);
  EXPECT_EQ(texts::SaveFailureMessage(L"C:\\qel\\ip.ini", *removed).find(texts::kCopyLeft), std::wstring::npos);
}

// A disk that fills up during the save: the profile functions report every
// write as done, but the file ends early. The read-back finds it, wherever
// the cut falls.
TEST(SaveSettings, ADiskThatFillsUpIsFoundByTheReadBack) {
  // The last command line's line ends the section: "CMD3=c".
  const FieldTexts values = Texts(L"10.0.0.7", {L"1", L"4", L"32", L"128"}, {L"a", L"b", L"c"});
  const std::string plain = "[Qelmark]\r\n" + Lines(values);
  const std::string withOther = kHandMade;
  const std::string lastLine = Lines(values, kLastField);
  const std::wstring last = kFieldNames[kLastField].name;
  const struct {
    const char* what;
    std::string ini;
    std::size_t field;
    const wchar_t* typed;
    std::size_t diskBytes;
    std::wstring found;
  } cases[] = {
      // The last line becomes "CMD3=z.exe": cut in the middle of it, no line end.
      {"in the value written last", plain, kLastField, L"z.exe", plain.size() + 1, last},
      // The address grows by one byte and the last value, after it, is lost.
      {"in a value the user did not change", plain, kAddressField, L"10.0.0.77", plain.size() - 2, last},
      {"in another section", withOther, kLastField, L"z.exe", withOther.size() + 1, L"X"},
      // The cut falls at a line's start: the key is gone from the copy, not
      // just its value.
      {"the whole last line of ours", plain, kAddressField, L"10.0.0.77", plain.size() + 1 - lastLine.size(), last},
      {"the whole last line of another section", withOther, kLastField, L"z.exe", withOther.size() + 4 - 5, L"X"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakePlatform platform;
    platform.SetIni(c.ini);
    platform.diskBytes = c.diskBytes;
    const FieldTexts filled = ReadFields(platform);
    FieldTexts typed = filled;
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
    EXPECT_EQ(ReadFields(platform), typed);
  }
}

// A disk that fills up in what no read-back sees: the rest of a value longer
// than a read gives, a comment, the last line end. As a user had it: ours
// first, a comment, then a section of the user's own ending in a long
// hand-written value; the address changed and a long command line typed.
TEST(SaveSettings, ADiskThatFillsUpBeyondWhatAReadGivesIsFoundInTheWholeFile) {
  const std::string ours = "[Qelmark]\r\n" + Lines(Texts(L"10.0.0.7", {L"1", L"4", L"32", L"128"}, {}));
  // The third line after ours: the long value, the comment.
  const std::size_t third = 1 + kFieldNames.size() + 3;
  const std::string longValue = ours + "; mine\r\n[Other]\r\nNote=" + std::string(2000, 'n') + "\r\n";
  const std::string comment = ours + "[Other]\r\nX=1\r\n; the last word of the file, by hand\r\n";
  // Ours alone, every key in it, the last (line 9) a long hand-written CMD2
  // without a line end.
  const FieldTexts short3 = Texts(L"10.0.0.7", {L"1", L"4", L"32", L"128"}, {L"a", L"", L"c"});
  const std::string untouchedLong = "[Qelmark]\r\n" + Lines(short3, 0, CommandField(2)) +
                                    Lines(short3, CommandField(3)) + "CMD2=" + std::string(2000, 'h');
  const struct {
    const char* what;
    std::string ini;
    std::size_t cutBy;  // bytes the disk leaves out of the saved file
    CopyMismatch found;
  } cases[] = {
      {"a long value cut beyond its 1023rd byte", longValue, 400, {CopyMismatchKind::kLineChanged, third}},
      {"a comment cut", comment, 10, {CopyMismatchKind::kLineChanged, third}},
      {"the last line end cut", comment, 2, {CopyMismatchKind::kEndCut, third}},
      {"an untouched CMD2 of ours cut beyond its 1023rd byte", untouchedLong, 400,
       {CopyMismatchKind::kLineChanged, 9}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakePlatform platform;
    platform.SetIni(c.ini);
    const FieldTexts filled = ReadFields(platform);
    FieldTexts typed = filled;
    typed[kAddressField] = L"10.0.0.77";
    typed[CommandField(1)] = L"C:\\tools\\run.exe " + std::wstring(600, L'x');
    // The size the saved file has, less what the disk has no room for.
    FakePlatform measure;
    measure.SetIni(c.ini);
    ASSERT_EQ(SaveSettings(measure, Fields(filled, typed)), std::nullopt);
    platform.diskBytes = measure.Ini().size() - c.cutBy;

    const std::optional<SaveFailure> failure = SaveSettings(platform, Fields(filled, typed));
    ASSERT_NE(failure, std::nullopt);
    EXPECT_EQ(failure->step, SaveStep::kWholeFile);
    ASSERT_NE(failure->mismatch, std::nullopt);
    EXPECT_EQ(*failure->mismatch, c.found);
    EXPECT_EQ(texts::SaveFailureMessage(L"C:\\qel\\ip.ini", *failure),
              texts::SaveFailed(L"C:\\qel\\ip.ini", texts::CopyMismatchWords(c.found)));
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
      {"a line break", CommandField(1), L"a.exe\r\nb.exe", SettingProblem::kLineBreak,
       L"保存できず: CMD1 に改行 (または NUL 文字) がある"},
      {"a lone LF", kAddressField, L"10.0.0.1\n", SettingProblem::kLineBreak,
       L"保存できず: IP に改行 (または NUL 文字) がある"},
      {"a NUL", CommandField(3), std::wstring(L"a\0b", 3), SettingProblem::kLineBreak,
       L"保存できず: CMD3 に改行 (または NUL 文字) がある"},
      {"outside the code page", CommandField(1), L"C:\\\u03A9mega\\x.exe", SettingProblem::kNotInCodePage,
       L"保存できず: CMD1 の「Ω」をこのシステムの文字コードで表せない"},
      {"too long", CommandField(2), std::wstring(1024, L'a'), SettingProblem::kTooLong,
       L"保存できず: CMD2 が長すぎる (1023 バイトまで)"},
      {"too long inside added quotes", CommandField(2), L" " + std::wstring(1022, L'a'), SettingProblem::kTooLong,
       L"保存できず: CMD2 が長すぎる (1022 バイトまで)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakePlatform platform;
    platform.outsideCodePage = L"\u03A9";
    platform.SetIni(kHandMade);
    FieldTexts typed = kEveryFieldEdited;
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
  const FieldTexts plain = Texts(L"", {L"1", L"4", L"32", L"128"}, {});
  const std::string ini = "[Qelmark]\r\nIP=10.0.0.7\r\nCMD1=" + longValue + "\r\nCMD2=" + quotedLong + "\r\nCMD3=" +
                          notText + "\r\n" + Lines(plain, CommandField(4)) + Lines(plain, MaskField(1), CommandField(1));
  platform.SetIni(ini);
  const FieldTexts filled = ReadFields(platform);
  ASSERT_EQ(filled[CommandField(2)].size(), 1023u);  // a blank at the start: too long to be saved as it reads
  FieldTexts typed = filled;
  typed[MaskField(1)] = L"64";
  ASSERT_EQ(SaveSettings(platform, Fields(filled, typed)), std::nullopt);
  std::string expected = ini;
  expected.replace(expected.find("SW1=1\r\n"), 7, "SW1=64\r\n");
  EXPECT_EQ(platform.Ini(), expected);
}

// Two windows on one folder, both filled before either saved.
TEST(SaveSettings, TwoWindowsBothSaveWhatTheirUsersChanged) {
  FakePlatform platform;
  const FieldTexts filled = Texts(L"10.0.0.7", {L"1", L"4", L"32", L"128"}, {});
  platform.SetIni("[Qelmark]\r\n" + Lines(filled));
  FieldTexts first = filled, second = filled;
  first[CommandField(1)] = L"notepad.exe";
  first[kAddressField] = L"10.0.0.8";
  second[CommandField(2)] = L"calc.exe";
  second[kAddressField] = L"10.0.0.9";  // both changed the address: the later save wins
  ASSERT_EQ(SaveSettings(platform, Fields(filled, first)), std::nullopt);
  ASSERT_EQ(SaveSettings(platform, Fields(filled, second)), std::nullopt);
  EXPECT_EQ(platform.Ini(), "[Qelmark]\r\n" + Lines(Texts(L"10.0.0.9", {L"1", L"4", L"32", L"128"},
                                                            {L"notepad.exe", L"calc.exe"})));
}

TEST(SaveSettings, KeysTheFileLacksAreWrittenAndUntouchedOnesAreNot) {
  FakePlatform platform;
  platform.SetIni("[Qelmark]\r\nIP=10.0.0.9\r\nCMD2=go.exe\r\n");
  const FieldTexts filled = Texts(L"10.0.0.9", {}, {L"", L"go.exe"});
  ASSERT_EQ(SaveSettings(platform, Fields(filled, filled)), std::nullopt);
  // The keys the file lacked, empty, in the fields' order after its own.
  EXPECT_EQ(platform.Ini(), "[Qelmark]\r\nIP=10.0.0.9\r\nCMD2=go.exe\r\n" +
                                Lines(filled, MaskField(1), CommandField(2)) + Lines(filled, CommandField(3)));
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
