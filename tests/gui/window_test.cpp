// The window of the real qel.exe, driven from outside as a user would: the
// program runs in a folder of its own beside the simulated switch, and the
// test reads its controls, types into its fields, presses its buttons and
// looks at ip.ini and the switch's journal afterwards.
//
// Arguments: qel.exe, the simulated socket.dll, the probe library and the
// screenshot's PNG path; Unix paths are taken as Wine paths on drive Z:.
// Beside the PNG the screenshot is also written as a plain PPM, which the
// CTest test qel_window_screenshot_png compares with the decoded PNG.
#include "tests/gui/window_driver.h"

#include "win32/window/layout.h"
#include "win32/window/live_panel.h"

namespace {

using namespace qel_window_test;

std::wstring gScreenshot;

// ---------------------------------------------------------------------------
// The window: every control, in tab order, positions in twips.

constexpr int kClientWidth = 4095;  // twips
constexpr int kClientHeight = 1725;
const wchar_t kGothic[] = L"ＭＳ ゴシック";

struct ControlCase {
  const char* name;
  int id;
  const wchar_t* className;
  const wchar_t* text;  // for the fields: the text they get from kLayoutTextsIni
  int left, top, width, height;
  bool gothic;  // drawn in 9 pt ＭＳ ゴシック rather than the window's font
};

constexpr ControlCase kControls[] = {
    {"address field", kIdAddress, L"Edit", L"192.168.1.0", 450, 0, 1725, 270, true},
    {"save and quit", kIdSaveAndQuit, L"Button", L"保存＆終了", 2520, 0, 1575, 255, true},
    {"Sw1 mask", kIdMask + 0, L"Edit", L"1", 480, 360, 480, 240, true},
    {"Sw1 label", kIdOutletLabel + 0, L"Static", L"Sw1", 0, 375, 450, 240, false},
    {"Sw2 mask", kIdMask + 1, L"Edit", L"4", 480, 600, 480, 270, true},
    {"Sw2 label", kIdOutletLabel + 1, L"Static", L"Sw2", 0, 615, 450, 255, false},
    {"Sw3 mask", kIdMask + 2, L"Edit", L"32", 2520, 360, 480, 240, true},
    {"Sw3 label", kIdOutletLabel + 2, L"Static", L"Sw3", 1980, 375, 495, 240, false},
    {"Sw4 mask", kIdMask + 3, L"Edit", L"128", 2520, 600, 480, 270, true},
    {"Sw4 label", kIdOutletLabel + 3, L"Static", L"Sw4", 1980, 615, 495, 255, false},
    {"CMD1 field", kIdCommandLine + 0, L"Edit", L"", 600, 960, 3495, 240, true},
    {"CMD2 field", kIdCommandLine + 1, L"Edit", L"", 600, 1200, 3495, 240, true},
    {"CMD3 field", kIdCommandLine + 2, L"Edit", L"", 600, 1440, 3495, 270, true},
    {"CMD1 button", kIdLaunch + 0, L"Button", L"CMD1", 0, 960, 600, 240, false},
    {"CMD2 button", kIdLaunch + 1, L"Button", L"CMD2", 0, 1200, 600, 240, false},
    {"CMD3 button", kIdLaunch + 2, L"Button", L"CMD3", 0, 1440, 600, 255, false},
    {"IP label", kIdAddressLabel, L"Static", L"IP", 0, 60, 360, 255, false},
    {"Sw1 ON", kIdOn + 0, L"Button", L"ON", 960, 360, 480, 240, false},
    {"Sw2 ON", kIdOn + 1, L"Button", L"ON", 960, 600, 480, 255, false},
    {"Sw3 ON", kIdOn + 2, L"Button", L"ON", 3000, 360, 480, 240, false},
    {"Sw4 ON", kIdOn + 3, L"Button", L"ON", 3000, 600, 480, 255, false},
    {"Sw1 OFF", kIdOff + 0, L"Button", L"OFF", 1440, 360, 495, 240, false},
    {"Sw2 OFF", kIdOff + 1, L"Button", L"OFF", 1440, 600, 495, 255, false},
    {"Sw3 OFF", kIdOff + 2, L"Button", L"OFF", 3480, 360, 495, 240, false},
    {"Sw4 OFF", kIdOff + 3, L"Button", L"OFF", 3480, 600, 495, 255, false},
};

// This table is the window as it must be, written apart from the layout
// table it checks: it names every control of that table, and only those.
constexpr bool NamesEveryControlOfTheLayout() {
  if (std::size(kControls) != std::size(kLayout)) return false;
  for (const ControlSpec& control : kLayout) {
    int named = 0;
    for (const ControlCase& c : kControls) named += c.id == control.id;
    if (named != 1) return false;
  }
  return true;
}
static_assert(NamesEveryControlOfTheLayout(), "kControls must have a row for each control of kLayout");

// The tab stops in order: the labels are none.
const std::vector<int> kTabOrder = [] {
  std::vector<int> ids = {kIdAddress, kIdSaveAndQuit};
  for (int outlet = 0; outlet < kOutletCount; ++outlet) ids.push_back(kIdMask + outlet);
  for (int command = 0; command < kCommandCount; ++command) ids.push_back(kIdCommandLine + command);
  for (int command = 0; command < kCommandCount; ++command) ids.push_back(kIdLaunch + command);
  for (int outlet = 0; outlet < kOutletCount; ++outlet) ids.push_back(kIdOn + outlet);
  for (int outlet = 0; outlet < kOutletCount; ++outlet) ids.push_back(kIdOff + outlet);
  return ids;
}();

// The fields' texts in the layout table: what they show when nothing fills
// them.
const FieldTexts kLayoutTexts = [] {
  FieldTexts texts;
  for (const Field& field : kFields) {
    for (const ControlCase& c : kControls) {
      if (c.id == field.id) texts.push_back(c.text);
    }
  }
  return texts;
}();

// ip.ini holding the fields' texts of the layout table.
const std::string kLayoutTextsIni = IniOf(kLayoutTexts);

// The last command field: the last line of a file the profile functions
// wrote.
constexpr int kIdLastCommandLine = kIdCommandLine + kCommandCount - 1;

// Of a message box's texts, the one that starts with "保存できず\n" (the file
// and the reason follow, a line each); empty when it has none.
std::wstring SaveFailureText(const std::vector<std::wstring>& texts) {
  for (const std::wstring& text : texts) {
    if (text.rfind(L"保存できず\n", 0) == 0) return text;
  }
  return L"";
}

bool Says(const std::vector<std::wstring>& texts, const std::wstring& message) {
  return std::find(texts.begin(), texts.end(), message) != texts.end();
}

// ---------------------------------------------------------------------------
// Layout: every control in its place, at 96, 120, 144 and 192 DPI.

class QelWindowAtDpi : public QelWindow, public testing::WithParamInterface<int> {};

TEST_P(QelWindowAtDpi, EveryControlHasItsKindTextPlaceAndFont) {
  const int dpi = GetParam();
  auto px = [dpi](int twips) { return MulDiv(twips, dpi, 1440); };
  dpi_.Set(static_cast<DWORD>(dpi));
  WriteIni(kLayoutTextsIni);
  ASSERT_TRUE(Start());

  EXPECT_EQ(TopLevelWindows(process_.id).size(), 1u) << "qel shows exactly one window";
  EXPECT_EQ(TextOf(window_), L" qel設定");
  EXPECT_EQ(GetAncestor(window_, GA_PARENT), GetDesktopWindow());
  RECT client = {};
  GetClientRect(window_, &client);
  EXPECT_EQ(client.right, px(kClientWidth));
  EXPECT_EQ(client.bottom, px(kClientHeight));

  std::vector<int> ids;
  for (const ControlCase& c : kControls) ids.push_back(c.id);
  const std::vector<qel_probe::FontReport> fonts = Fonts(ids);

  for (std::size_t i = 0; i < std::size(kControls); ++i) {
    const ControlCase& c = kControls[i];
    SCOPED_TRACE(c.name);
    const HWND control = Control(c.id);
    if (control == nullptr) {
      ADD_FAILURE() << "no control with id " << c.id;
      continue;
    }
    EXPECT_TRUE(SameText(ClassOf(control), c.className)) << Narrow(ClassOf(control));
    EXPECT_EQ(TextOf(control), c.text);
    EXPECT_TRUE(IsWindowVisible(control));
    RECT rect = {};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_EQ(rect.left, px(c.left));
    EXPECT_EQ(rect.top, px(c.top));
    EXPECT_EQ(rect.right, px(c.left + c.width));
    EXPECT_EQ(rect.bottom, px(c.top + c.height));
    if (SameText(c.className, L"Button")) {
      EXPECT_NE(GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON) << "a default button";
    }

    const qel_probe::FontReport& font = fonts[i];
    if (font.answered != 1) {
      ADD_FAILURE() << "the font probe got no answer";
    } else if (c.gothic) {
      EXPECT_TRUE(font.hasFont) << "the system font";
      EXPECT_EQ(font.objectSize, static_cast<LONG>(sizeof(LOGFONTW)));
      EXPECT_STREQ(font.font.lfFaceName, kGothic);
      EXPECT_EQ(font.font.lfHeight, -MulDiv(9, dpi, 72));
      EXPECT_EQ(font.font.lfWeight, FW_NORMAL);
      EXPECT_FALSE(font.font.lfItalic);
      EXPECT_FALSE(font.font.lfUnderline);
      EXPECT_FALSE(font.font.lfStrikeOut);
      EXPECT_EQ(font.font.lfCharSet, SHIFTJIS_CHARSET);
    } else if (font.hasFont) {
      EXPECT_STRNE(font.font.lfFaceName, kGothic) << "the window's own font, not the fields' one";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Dpi, QelWindowAtDpi, testing::Values(96, 120, 144, 192),
                         [](const testing::TestParamInfo<int>& info) { return std::to_string(info.param); });

TEST_F(QelWindow, TabWalksTheControlsInOrderFromTheAddressField) {
  WriteIni(kLayoutTextsIni);
  ASSERT_TRUE(Start());

  // Under Wine the window is activated through the display server a moment
  // after it shows, and the focus sits on the window itself until then: give
  // it a few seconds to settle.
  GUITHREADINFO thread = {};
  thread.cbSize = sizeof(thread);
  for (int i = 0; i < 50; ++i) {
    ASSERT_TRUE(GetGUIThreadInfo(GetWindowThreadProcessId(window_, nullptr), &thread));
    if (thread.hwndFocus == Control(kIdAddress)) break;
    Sleep(100);
  }
  EXPECT_EQ(thread.hwndActive, window_);
  EXPECT_EQ(thread.hwndFocus, Control(kIdAddress))
      << "the focus is not in the address field but in a window of class " << Narrow(ClassOf(thread.hwndFocus))
      << ", id " << GetDlgCtrlID(thread.hwndFocus) << (thread.hwndFocus == window_ ? " (qel's window itself)" : "");

  std::vector<int> walked;
  HWND at = Control(kIdAddress);
  for (std::size_t i = 0; i < kTabOrder.size() && at != nullptr; ++i) {
    walked.push_back(GetDlgCtrlID(at));
    at = GetNextDlgTabItem(window_, at, FALSE);
  }
  EXPECT_EQ(walked, kTabOrder);
  EXPECT_EQ(at, Control(kIdAddress)) << "after the last tab stop the walk comes back to the address field";
}

// ---------------------------------------------------------------------------
// Start-up: every field from ip.ini, the empty text for what it lacks.

struct StartCase {
  const char* name;
  const char* ini;  // nullptr: no ip.ini
  const wchar_t* arguments;
  FieldTexts fields;
  // The switch selected once as the window is filled; nullptr: none, for no
  // address names one.
  const char* firstJournalLine;
};

TEST_F(QelWindow, FieldsComeFromTheSettingsFile) {
  const FieldTexts fullFields =
      Texts(L"10.0.0.7", {L"2", L"8", L"16", L"64"}, {L"notepad.exe a.txt", L"calc.exe", L"C:\\tools\\x.exe /y"});
  const std::string full = IniOf(fullFields);
  const FieldTexts empty(std::size(kFields));
  const StartCase cases[] = {
      {"every key", full.c_str(), L"", fullFields, "setip 10.0.0.7 -> 0"},
      {"one argument is window mode too", full.c_str(), L"1", fullFields, "setip 10.0.0.7 -> 0"},
      {"some keys", "[Qelmark]\r\nSW2=8\r\nCMD3=x\r\n", L"", Texts(L"", {L"", L"8"}, {L"", L"", L"x"}), nullptr},
      {"keys of another section", "[Other]\r\nIP=10.9.9.9\r\nSW1=1\r\n", L"", empty, nullptr},
      {"empty file", "", L"", empty, nullptr},
      {"no file", nullptr, L"", empty, nullptr},
      {"an address of blanks", "[Qelmark]\r\nIP=\"   \"\r\n", L"", Texts(L"   ", {}, {}), nullptr},
  };
  for (const StartCase& c : cases) {
    SCOPED_TRACE(c.name);
    DeleteFileW(Ini().c_str());
    if (c.ini != nullptr) WriteIni(c.ini);
    DeleteFileW((dir_ + L"\\switch.journal").c_str());
    if (!Start(c.arguments)) continue;
    EXPECT_EQ(Fields(), c.fields);
    const auto journal = Journal();
    if (c.firstJournalLine == nullptr) {
      Sleep(2 * kPollMilliseconds);  // two polls, which ask no switch either
      EXPECT_EQ(Journal(), std::vector<std::string>()) << "socket.dll was called without an address";
    } else {
      ASSERT_FALSE(journal.empty()) << "socket.dll was not called";
      EXPECT_EQ(journal.front(), c.firstJournalLine);
    }
    Stop();
  }
}

TEST_F(QelWindow, WithoutTheLibraryTheFieldsAreStillFilled) {
  ASSERT_TRUE(DeleteFileW((dir_ + L"\\socket.dll").c_str()));
  const FieldTexts values = Texts(L"10.0.0.7", {L"2", L"8", L"16", L"64"}, {L"a", L"b", L"c"});
  WriteIni(IniOf(values));
  ASSERT_TRUE(Start());
  EXPECT_EQ(Fields(), values);
}

// ---------------------------------------------------------------------------
// Save and quit, and close.

enum class Press { kClick, kCommand };

struct SaveCase {
  const char* name;
  const char* ini;          // nullptr: no ip.ini
  const FieldTexts* edits;  // nullptr: the fields as they came
  Press press;
  std::string expected;
};

TEST_F(QelWindow, SaveAndQuitWritesEveryFieldAsItStands) {
  const FieldTexts edited = Texts(L"10.1.2.3", {L"2", L"", L"x y", L"128"}, {L"", L"\"C:\\My Tools\\run.exe\" /q", L""});
  const FieldTexts fromEmpty = Texts(L"192.168.1.20", {L"1", L"4", L"32", L"128"}, {L"a.exe", L"b.exe", L"c.exe"});
  const FieldTexts none = Texts(L"", {}, {});
  const SaveCase cases[] = {
      {"edited fields, by clicking", kLayoutTextsIni.c_str(), &edited, Press::kClick, IniOf(edited)},
      {"no file yet, by the command", nullptr, &fromEmpty, Press::kCommand, IniOf(fromEmpty)},
      // Keys the file lacks are added at the end of the section.
      {"missing keys are written empty", "[Qelmark]\nIP=10.0.0.9\nCMD2=go.exe\n", nullptr, Press::kClick,
       "[Qelmark]\r\nIP=10.0.0.9\r\nCMD2=go.exe\r\n" + IniLines(none, MaskField(1), CommandField(2)) +
           IniLines(none, CommandField(3))},
  };
  for (const SaveCase& c : cases) {
    SCOPED_TRACE(c.name);
    DeleteFileW(Ini().c_str());
    if (c.ini != nullptr) WriteIni(c.ini);
    if (!Start()) continue;
    if (c.edits != nullptr) SetFields(*c.edits);
    if (c.press == Press::kClick) {
      PostMessageW(Control(kIdSaveAndQuit), BM_CLICK, 0, 0);
    } else {
      PostMessageW(window_, WM_COMMAND, MAKEWPARAM(kIdSaveAndQuit, BN_CLICKED),
                   reinterpret_cast<LPARAM>(Control(kIdSaveAndQuit)));
    }
    EXPECT_EQ(WaitForExit(), 0) << "qel did not end with exit code 0";
    Stop();
    EXPECT_EQ(ReadAll(Ini()), c.expected);
  }
}

struct CloseCase {
  const char* name;
  UINT message;
  WPARAM wParam;
};

TEST_F(QelWindow, ClosingWritesNothing) {
  // Not as the profile functions would write it: any rewrite shows.
  const std::string original =
      "; qel\n[Qelmark]\nIP = 10.0.0.7\n\nSW1=1\nSW2=4\nSW3=32\nSW4=128\nCMD1=a\n[Other]\nX=1\n";
  const CloseCase cases[] = {
      {"WM_CLOSE", WM_CLOSE, 0},
      {"SC_CLOSE", WM_SYSCOMMAND, SC_CLOSE},
  };
  for (const CloseCase& c : cases) {
    SCOPED_TRACE(c.name);
    WriteIni(original);
    if (!Start()) continue;
    SetFields(Texts(L"10.1.1.1", {L"9", L"9", L"9", L"9"}, {L"x", L"y", L"z"}));
    PostMessageW(window_, c.message, c.wParam, 0);
    EXPECT_NE(WaitForExit(), -1) << "qel did not end";
    Stop();
    EXPECT_EQ(ReadAll(Ini()), original);
  }
}

// Save and quit on a window whose fields ip.ini holds as they are: nothing
// to write, so the window quits even where ip.ini is read-only or held open
// by another program, and ip.ini stays as it was, its time stamp too.
TEST_F(QelWindow, SaveWithNothingToWriteQuitsAndLeavesIpIni) {
  const struct {
    const char* what;
    bool readOnly;  // else held open by another program that lets others read it
  } cases[] = {{"read-only", true}, {"held open", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SetFileAttributesW(Ini().c_str(), FILE_ATTRIBUTE_NORMAL);  // the case before's
    WriteIni(kLayoutTextsIni);
    if (!Start()) continue;
    qel::OwnedHandle held;
    if (c.readOnly) {
      EXPECT_TRUE(SetFileAttributesW(Ini().c_str(), FILE_ATTRIBUTE_READONLY));
    } else {
      held.Reset(CreateFileW(Ini().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
      EXPECT_TRUE(held);
    }
    WIN32_FILE_ATTRIBUTE_DATA before = {}, after = {};
    EXPECT_TRUE(GetFileAttributesExW(Ini().c_str(), GetFileExInfoStandard, &before));

    PostMessageW(Control(kIdSaveAndQuit), BM_CLICK, 0, 0);
    EXPECT_EQ(WaitForExit(), 0) << (MessageBoxes().empty() ? "qel did not quit" : "a message box came");
    Stop();
    held.Reset();
    EXPECT_TRUE(GetFileAttributesExW(Ini().c_str(), GetFileExInfoStandard, &after));
    EXPECT_EQ(CompareFileTime(&before.ftLastWriteTime, &after.ftLastWriteTime), 0) << "the time stamp changed";
    EXPECT_EQ(ReadAll(Ini()), kLayoutTextsIni);
    EXPECT_EQ(CopiesBeside(Ini()), 0) << "a copy was left";
  }
  SetFileAttributesW(Ini().c_str(), FILE_ATTRIBUTE_NORMAL);
}

// No button is the default or the cancel button: Enter and Esc in a field
// neither save nor close (the dialog manager would press the buttons of
// ids IDOK and IDCANCEL), nor do anything else.
TEST_F(QelWindow, EnterAndEscInAFieldPressNoButton) {
  WriteIni(kLayoutTextsIni);
  ASSERT_TRUE(Start());
  Type(kIdCommandLine + 0, L"edited.exe");
  const FieldTexts edits = Fields();
  for (const int id : {static_cast<int>(kIdAddress), kIdMask + 1, kIdCommandLine + 2}) {
    for (const WPARAM key : {VK_RETURN, VK_ESCAPE}) {
      SCOPED_TRACE("key " + std::to_string(key) + " in the field of id " + std::to_string(id));
      const UINT scan = MapVirtualKeyW(static_cast<UINT>(key), MAPVK_VK_TO_VSC);
      PostMessageW(Control(id), WM_KEYDOWN, key, 1 | (scan << 16));
      PostMessageW(Control(id), WM_KEYUP, key, 1 | (scan << 16) | (3u << 30));
      EXPECT_EQ(WaitForExit(1000), -1) << "qel ended";
      EXPECT_TRUE(MessageBoxes().empty()) << "a message box came";
      EXPECT_EQ(Fields(), edits);
    }
  }
  Stop();
  EXPECT_EQ(ReadAll(Ini()), kLayoutTextsIni) << "ip.ini was written";
  for (const std::string& line : Journal()) {
    EXPECT_EQ(line.rfind("setip", 0) == 0 || line.rfind("receivep6", 0) == 0, true) << "switched: " << line;
  }
}

// Files dropped on the running window: the three command fields take the
// first file's path in quotes, each for itself; no other field takes a
// drop.
TEST_F(QelWindow, FilesDropOnTheCommandFieldsOnly) {
  WriteIni(kLayoutTextsIni);
  ASSERT_TRUE(Start());
  const std::wstring dropped = L"C:\\My Tools\\run me.exe";
  FieldTexts expected = Fields();
  Probe probe(window_);
  for (std::size_t i = 0; i < kFields.size(); ++i) {
    SCOPED_TRACE(kFields[i].key);
    const bool command = kFields[i].key.rfind("CMD", 0) == 0;
    const qel_probe::DropRequest drop = probe.Drop(kFields[i].id, dropped);
    ASSERT_EQ(drop.answered, 1) << "the probe did not answer";
    EXPECT_EQ(drop.registered, command ? 1 : 0);
    if (command) {
      EXPECT_EQ(drop.effect, static_cast<DWORD>(DROPEFFECT_COPY));
      expected[i] = L"\"" + dropped + L"\"";
    }
    EXPECT_EQ(Fields(), expected);
  }
}

// ---------------------------------------------------------------------------
// Save and quit when ip.ini cannot be written: a message box, and the window
// stays with the user's edits.

enum class Block { kReadOnly, kFolder, kOpenElsewhere };

class QelWindowUnwritable : public QelWindow, public testing::WithParamInterface<Block> {};

TEST_P(QelWindowUnwritable, SaveShowsAMessageAndKeepsTheEdits) {
  WriteIni(kLayoutTextsIni);
  ASSERT_TRUE(Start());
  const FieldTexts edits = Texts(L"10.3.3.3", {L"2", L"8", L"16", L"64"}, {L"one.exe", L"", L"three.exe"});
  SetFields(edits);

  qel::OwnedHandle held;
  switch (GetParam()) {
    case Block::kReadOnly:
      // Refused for the attribute itself, also where the system would let
      // the file be written (Wine run by root).
      ASSERT_TRUE(SetFileAttributesW(Ini().c_str(), FILE_ATTRIBUTE_READONLY));
      break;
    case Block::kFolder:
      ASSERT_TRUE(DeleteFileW(Ini().c_str()));
      ASSERT_TRUE(CreateDirectoryW(Ini().c_str(), nullptr));
      break;
    case Block::kOpenElsewhere:
      held.Reset(CreateFileW(Ini().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
      ASSERT_TRUE(held);
      break;
  }

  PostMessageW(Control(kIdSaveAndQuit), BM_CLICK, 0, 0);
  const HWND box = WaitForMessageBox();
  ASSERT_NE(box, nullptr) << (Running() ? "no message box came" : "qel ended");
  EXPECT_EQ(GetWindow(box, GW_OWNER), window_) << "the box is not owned by qel's window";
  EXPECT_FALSE(IsWindowEnabled(window_)) << "the box is not modal";
  // "保存できず", then the file and the system's reason, each on a line.
  std::vector<std::wstring> texts;
  for (HWND text : ChildrenOfClass(box, L"Static")) texts.push_back(TextOf(text));
  const std::wstring said = SaveFailureText(texts);
  ASSERT_NE(said, L"") << "no text \"保存できず\" in the box";
  const std::size_t pathEnd = said.find(L'\n', 6);
  EXPECT_EQ(said.substr(6, pathEnd - 6), Ini());
  EXPECT_GT(said.size(), pathEnd + 1) << "no reason after the path";
  const std::vector<HWND> buttons = ChildrenOfClass(box, L"Button");
  ASSERT_EQ(buttons.size(), 1u) << "the box has other buttons than OK";
  EXPECT_EQ(GetDlgCtrlID(buttons.front()), IDOK);

  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(buttons.front(), BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
  for (int i = 0; i < 50 && IsWindow(box); ++i) Sleep(100);
  EXPECT_FALSE(IsWindow(box)) << "OK did not close the box";
  EXPECT_TRUE(Running()) << "qel ended after the message";
  EXPECT_TRUE(IsWindow(window_) && IsWindowVisible(window_));
  EXPECT_TRUE(IsWindowEnabled(window_));
  EXPECT_EQ(Fields(), edits);

  held.Reset();
  EXPECT_EQ(CopiesBeside(Ini()), 0) << "the save left its copy behind";
  switch (GetParam()) {
    case Block::kReadOnly:
    case Block::kOpenElsewhere:
      EXPECT_EQ(ReadAll(Ini()), kLayoutTextsIni);
      break;
    case Block::kFolder:
      EXPECT_EQ(GetFileAttributesW(Ini().c_str()) & FILE_ATTRIBUTE_DIRECTORY, DWORD{FILE_ATTRIBUTE_DIRECTORY});
      break;
  }
}

INSTANTIATE_TEST_SUITE_P(Blocked, QelWindowUnwritable,
                         testing::Values(Block::kReadOnly, Block::kFolder, Block::kOpenElsewhere),
                         [](const testing::TestParamInfo<Block>& info) -> std::string {
                           switch (info.param) {
                             case Block::kReadOnly:
                               return "ReadOnlyFile";
                             case Block::kFolder:
                               return "FolderInItsPlace";
                             case Block::kOpenElsewhere:
                               return "OpenWithoutSharing";
                           }
                           return "unknown";
                         });

// ---------------------------------------------------------------------------
// Save and quit writes nothing when a value would not come back as it
// stands: text the code page cannot hold (a look-alike would name another
// file) or text a read would cut. One message names the field and the cause.

struct UnsavableCase {
  const char* name;
  int id;
  std::wstring text;
  const wchar_t* message;
};

class QelWindowUnsavable : public QelWindow {
 protected:
  // Each value typed into its field (beside an edit of CMD3): save and quit
  // shows the one message, keeps the window and the edits, writes nothing.
  void ExpectEachRefused(const std::vector<UnsavableCase>& cases) {
    for (const UnsavableCase& c : cases) {
      SCOPED_TRACE(c.name);
      WriteIni(kLayoutTextsIni);
      if (!Start()) continue;
      SendMessageW(Control(kIdCommandLine + 2), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"edited.exe"));
      SendMessageW(Control(c.id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(c.text.c_str()));
      EXPECT_TRUE(Says(PressSaveAndQuitRefused(), c.message)) << "not the message " << Narrow(c.message);
      EXPECT_EQ(ReadAll(Ini()), kLayoutTextsIni) << "something was written";
      Stop();
    }
  }
};

TEST_F(QelWindowUnsavable, ValuesThatWouldNotComeBackAreNotSaved) {
  ASSERT_EQ(GetACP(), 1252u) << "this case needs the default locale (ANSI code page 1252)";
  ExpectEachRefused({
      {"Omega in a path (best fit: O)", kIdCommandLine + 0, L"C:\\\u03A9mega\\x.exe",
       L"保存できず: CMD1 の「\u03A9」をこのシステムの文字コードで表せない"},
      {"kanji in the address", kIdAddress, L"\u6A5F\u5668", L"保存できず: IP の「\u6A5F」をこのシステムの文字コードで表せない"},
      {"full-width digits in a mask (best fit: 32)", kIdMask + 2, L"\uFF13\uFF12",
       L"保存できず: Sw3 の「\uFF13」をこのシステムの文字コードで表せない"},
      {"a command line a read would cut", kIdCommandLine + 1, std::wstring(1024, L'a'),
       L"保存できず: CMD2 が長すぎる (1023 バイトまで)"},
      // Saved inside added quotes because of the blank: one byte less.
      {"a command line with a blank at its end", kIdCommandLine + 1, std::wstring(1022, L'a') + L" ",
       L"保存できず: CMD2 が長すぎる (1022 バイトまで)"},
  });
}

// Under the Japanese code page (932) too: the characters the readme names
// as ones Shift-JIS lacks.
TEST_F(QelWindowUnsavable, JapaneseCodePageRefusesWhatShiftJisLacks) {
  ASSERT_EQ(GetACP(), 932u) << "this case needs the Japanese locale (LANG=ja_JP.UTF-8)";
  ExpectEachRefused({
      {"e with an acute accent (best fit: e)", kIdCommandLine + 0, L"C:\\caf\u00E9\\x.exe",
       L"保存できず: CMD1 の「\u00E9」をこのシステムの文字コードで表せない"},
      {"tsuchi-yoshi, beyond the BMP", kIdAddress, L"\U00020BB7\u91CE",
       L"保存できず: IP の「\U00020BB7」をこのシステムの文字コードで表せない"},
  });
}

// ---------------------------------------------------------------------------
// What a save keeps: values come back as typed, a field the user did not
// touch keeps the file's bytes, and two windows on one folder both save.

// Presses "保存＆終了" and waits for qel to end; its exit code, -1 if it did
// not end.
long SaveAndWait(HWND window, HANDLE process) {
  PostMessageW(GetDlgItem(window, kIdSaveAndQuit), BM_CLICK, 0, 0);
  if (WaitForSingleObject(process, 15000) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  return static_cast<long>(code);
}

// A read trims blanks and tabs at the ends of a value before it strips one
// pair of quotes: each of these came back changed before (the first one
// started "C:\My.exe").
TEST_F(QelWindow, ValuesComeBackAsTyped) {
  WriteIni(kLayoutTextsIni);
  ASSERT_TRUE(Start());
  const FieldTexts typed = Texts(L" 192.168.1.10", {L"1", L"4", L"32", L"128 "},
                                 {L"\"C:\\My Tools\\run.exe\" ", L" \"C:\\a b\\x.exe\" \"C:\\a b\\y.txt\"", L"\tnotepad.exe  "});
  SetFields(typed);
  EXPECT_EQ(SaveAndWait(window_, process_.process.get()), 0);
  Stop();
  // Each inside one more pair of quotes.
  const FieldTexts stored = Texts(L"\" 192.168.1.10\"", {L"1", L"4", L"32", L"\"128 \""},
                                  {L"\"\"C:\\My Tools\\run.exe\" \"", L"\" \"C:\\a b\\x.exe\" \"C:\\a b\\y.txt\"\"",
                                   L"\"\tnotepad.exe  \""});
  EXPECT_EQ(ReadAll(Ini()), IniOf(stored));
  ASSERT_TRUE(Start());
  EXPECT_EQ(Fields(), typed);
}

// Lines as the profile functions write them, so that only a change of the
// value itself shows; the last command line is the one field the user
// changes.
TEST_F(QelWindow, FieldsTheUserDidNotTouchKeepTheirBytes) {
  const struct {
    const char* what;
    std::string cmd1;
  } cases[] = {
      // Notepad's UTF-8 without a mark: the field shows other characters.
      {"Japanese saved as UTF-8", "C:\\\xE3\x83\x84\xE3\x83\xBC\xE3\x83\xAB\\\xE3\x83\xA1\xE3\x83\xA2.exe"},
      {"longer than a read gives", std::string(1500, 'a')},
      // Reads as " x ", which needs quotes of its own to come back.
      {"blanks inside quotes", "\" x \""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string before = "[Qelmark]\r\n" + IniLines(kLayoutTexts, 0, CommandField(1)) + "CMD1=" + c.cmd1 +
                               "\r\n" + IniLines(kLayoutTexts, CommandField(2));
    WriteIni(before);
    if (!Start()) continue;
    Type(kIdLastCommandLine, L"edited.exe");
    EXPECT_EQ(SaveAndWait(window_, process_.process.get()), 0);
    Stop();
    EXPECT_EQ(ReadAll(Ini()), before.substr(0, before.size() - 2) + "edited.exe\r\n");
  }
}

// A second qel.exe in the same folder, started while the first one runs.
class SecondQel {
 public:
  explicit SecondQel(const std::wstring& dir) {
    std::wstring commandLine = L"qel.exe";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    const std::wstring exe = dir + L"\\qel.exe";
    PROCESS_INFORMATION information = {};
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &startup,
                        &information)) {
      return;
    }
    process_.Take(information);
    for (int i = 0; i < 300 && window_ == nullptr; ++i) {
      for (HWND hwnd : TopLevelWindows(process_.id)) {
        if (ClassOf(hwnd) == L"qel") window_ = hwnd;
      }
      if (window_ == nullptr) Sleep(100);
    }
    WaitForInputIdle(process_.process.get(), 10000);
  }
  SecondQel(const SecondQel&) = delete;
  SecondQel& operator=(const SecondQel&) = delete;
  ~SecondQel() {
    if (!process_.process) return;
    if (WaitForSingleObject(process_.process.get(), 0) == WAIT_TIMEOUT) {
      TerminateProcess(process_.process.get(), 255);
      WaitForSingleObject(process_.process.get(), 10000);
    }
  }
  HWND window() const { return window_; }
  HANDLE process() const { return process_.process.get(); }

 private:
  qel::OwnedProcess process_;
  HWND window_ = nullptr;
};

TEST_F(QelWindow, TwoWindowsOnOneFolderBothSave) {
  WriteIni(kLayoutTextsIni);
  ASSERT_TRUE(Start());
  SecondQel second(dir_);
  ASSERT_NE(second.window(), nullptr) << "the second qel.exe showed no window";
  // The first saves CMD1; the second, filled before that, saves CMD2 and
  // must not write its empty CMD1 over the first one's.
  SendMessageW(Control(kIdCommandLine + 0), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"notepad.exe"));
  EXPECT_EQ(SaveAndWait(window_, process_.process.get()), 0);
  SendMessageW(GetDlgItem(second.window(), kIdCommandLine + 1), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"calc.exe"));
  EXPECT_EQ(SaveAndWait(second.window(), second.process()), 0);
  Stop();
  FieldTexts saved = kLayoutTexts;
  saved[CommandField(1)] = L"notepad.exe";
  saved[CommandField(2)] = L"calc.exe";
  EXPECT_EQ(ReadAll(Ini()), IniOf(saved));
  EXPECT_EQ(CopiesBeside(Ini()), 0);
}

// A disk that fills up while the save writes: the profile functions cut the
// file without saying so. qel runs from a small tmpfs that
// save_on_own_disks.sh mounts for this test (QEL_FULL_DISK_DIR), filled up
// to its last block; ip.ini fits that block, the saved one does not. The
// save ends either refused, with ip.ini as it was, or saved whole; never
// with a cut file. With room again, the same save goes through whole.
struct FullDiskCase {
  const char* what;
  std::string ini;                                // between 3.5 and 4 KiB
  std::vector<std::pair<int, std::wstring>> edits;  // control, text
  std::vector<std::pair<std::string, std::string>> savedLines;  // ip.ini's line, the saved one
};

// `ini` with each of `lines` (its text, then the new text) replaced once.
std::string Replaced(std::string ini, const std::vector<std::pair<std::string, std::string>>& lines) {
  for (const auto& [from, to] : lines) ini.replace(ini.find(from), from.size(), to);
  return ini;
}

TEST_F(QelWindow, FullDiskLeavesIpIniAsItWasOrSavedWhole) {
  wchar_t mounted[MAX_PATH] = {};
  if (GetEnvironmentVariableW(L"QEL_FULL_DISK_DIR", mounted, MAX_PATH) == 0) {
    GTEST_SKIP() << "QEL_FULL_DISK_DIR is not set: run by save_on_own_disks.sh, which mounts a small tmpfs";
  }
  const std::wstring longCommand = L"C:\\tools\\run.exe " + std::wstring(600, L'x');
  // A section of the user's own before ours: the cut falls in ours.
  std::string notesFirst = "[Notes]\r\n";
  for (int i = 0; notesFirst.size() < 3800; ++i) {
    notesFirst += "note" + std::to_string(i) + "=" + std::string(40, 'n') + "\r\n";
  }
  notesFirst += kLayoutTextsIni;
  // Ours first, a comment, and a section of the user's own that ends in a
  // long hand-written value: the cut falls in that value, beyond the 1023
  // bytes a read gives back of it, where no read-back can see it.
  std::string otherLast = kLayoutTextsIni + "; below: by hand\r\n[Other]\r\nHost=hall\r\nNote=";
  otherLast += std::string(3884 - otherLast.size() - 2, 'n') + "\r\n";
  const FullDiskCase cases[] = {
      {"a section of the user's before ours", notesFirst, {{kIdCommandLine + 2, longCommand}},
       {{"CMD3=\r\n", "CMD3=" + Narrow(longCommand) + "\r\n"}}},
      {"ours first, a long hand-written value last", otherLast,
       {{kIdAddress, L"10.20.30.40"}, {kIdCommandLine + 0, longCommand}},
       {{"IP=192.168.1.0\r\n", "IP=10.20.30.40\r\n"}, {"CMD1=\r\n", "CMD1=" + Narrow(longCommand) + "\r\n"}}},
  };
  const std::wstring top = dir_;
  dir_ = WindowsPath(Narrow(mounted).c_str()) + L"\\qel";
  for (const FullDiskCase& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_GT(c.ini.size(), 3584u);
    ASSERT_LT(c.ini.size(), 4096u);
    const std::string saved = Replaced(c.ini, c.savedLines);
    ASSERT_GT(saved.size(), 4096u);
    RemoveFolder(dir_);
    ASSERT_TRUE(CreateDirectoryW(dir_.c_str(), nullptr));
    ASSERT_TRUE(CopyFileW((top + L"\\qel.exe").c_str(), (dir_ + L"\\qel.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW((top + L"\\socket.dll").c_str(), (dir_ + L"\\socket.dll").c_str(), FALSE));
    WriteIni(c.ini);
    const std::wstring reserve = dir_ + L"\\reserve", filler = dir_ + L"\\filler";
    WriteAll(reserve, std::string(4096, 'r'));
    if (!Start()) continue;

    // Fill the disk, then free one block: room for the copy of ip.ini, not
    // for the longer text the save writes into it.
    HANDLE file = CreateFileW(filler.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const std::string block(4096, 'f');
    DWORD written = 0;
    while (WriteFile(file, block.data(), static_cast<DWORD>(block.size()), &written, nullptr) &&
           written == block.size()) {
    }
    CloseHandle(file);
    ASSERT_TRUE(DeleteFileW(reserve.c_str()));

    for (const auto& [id, text] : c.edits) {
      SendMessageW(Control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    const FieldTexts edits = Fields();
    PostMessageW(Control(kIdSaveAndQuit), BM_CLICK, 0, 0);
    const HWND box = WaitForMessageBox();
    if (box == nullptr) {
      // Not refused: then saved, and whole.
      EXPECT_EQ(WaitForExit(), 0) << "neither a message nor a save";
      EXPECT_EQ(ReadAll(Ini()), saved) << "saved, but not whole";
      EXPECT_EQ(CopiesBeside(Ini()), 0);
      Stop();
      continue;
    }
    std::vector<std::wstring> texts;
    for (HWND text : ChildrenOfClass(box, L"Static")) texts.push_back(TextOf(text));
    const std::wstring said = SaveFailureText(texts);
    EXPECT_EQ(said.rfind(L"保存できず\n" + Ini() + L"\n", 0), 0u) << Narrow(said);
    printf("refused: %s\n", Narrow(said.substr(0, said.find(L'\n', said.find(L'\n', 6) + 1))).c_str());
    AnswerOk(box);
    EXPECT_TRUE(Running()) << "qel ended after the message";
    EXPECT_EQ(Fields(), edits);
    EXPECT_EQ(ReadAll(Ini()), c.ini) << "refused, but ip.ini changed";
    EXPECT_EQ(CopiesBeside(Ini()), 0) << "the save left its copy behind";

    // With room again, the same save goes through.
    DeleteFileW(filler.c_str());
    EXPECT_EQ(SaveAndWait(window_, process_.process.get()), 0);
    Stop();
    EXPECT_EQ(ReadAll(Ini()), saved);
  }
  Stop();
  RemoveFolder(dir_);
  dir_ = top;
}

// A read-only folder: save_on_own_disks.sh put qel.exe, socket.dll and
// ip.ini on a tmpfs and mounted it read-only (QEL_READ_ONLY_DIR), which no
// one, root included, can write.
TEST_F(QelWindow, ReadOnlyFolderKeepsIpIni) {
  wchar_t mounted[MAX_PATH] = {};
  if (GetEnvironmentVariableW(L"QEL_READ_ONLY_DIR", mounted, MAX_PATH) == 0) {
    GTEST_SKIP() << "QEL_READ_ONLY_DIR is not set: run by save_on_own_disks.sh, which mounts a read-only tmpfs";
  }
  const std::wstring top = dir_;
  dir_ = WindowsPath(Narrow(mounted).c_str());
  const std::string before = ReadAll(Ini());
  const bool started = Start();
  if (started) {
    const FieldTexts edits = Texts(L"10.3.3.3", {L"2", L"8", L"16", L"64"}, {L"one.exe", L"", L"three.exe"});
    SetFields(edits);
    const std::wstring said = SaveFailureText(PressSaveAndQuitRefused());
    EXPECT_EQ(said.rfind(L"保存できず\n" + Ini() + L"\nip.ini のコピーを作れず: ", 0), 0u) << Narrow(said);
  }
  Stop();
  EXPECT_EQ(ReadAll(Ini()), before);
  EXPECT_FALSE(before.empty());
  dir_ = top;
}

// qel in a folder whose name the code page cannot hold: no ip.ini path, so
// the fields show empty (not the look-alike folder's values, not the
// layout's texts) and saving says why it cannot.
TEST_F(QelWindow, WithoutAnIniPathTheFieldsAreEmptyAndSavingSaysWhy) {
  ASSERT_EQ(GetACP(), 1252u) << "this case needs the default locale (ANSI code page 1252)";
  const std::wstring top = dir_;
  const std::wstring folder = top + L"\\\u03A9mega";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((top + L"\\Omega").c_str(), nullptr));
  ASSERT_TRUE(CopyQelInto(folder));
  WriteAll(top + L"\\Omega\\ip.ini", kLayoutTextsIni);
  dir_ = folder;  // qel starts from there
  const bool started = Start();
  dir_ = top;
  ASSERT_TRUE(started);
  EXPECT_EQ(Fields(), FieldTexts(std::size(kFields), L""));
  const std::wstring expected = L"保存できず: ip.ini の場所をこのシステムの文字コードで表せない\n" + folder + L"\\ip.ini";
  EXPECT_TRUE(Says(PressSaveAndQuitRefused(), expected)) << "not the message " << Narrow(expected);
  Stop();
  EXPECT_EQ(ReadAll(top + L"\\Omega\\ip.ini"), kLayoutTextsIni);
  EXPECT_EQ(GetFileAttributesW((folder + L"\\ip.ini").c_str()), INVALID_FILE_ATTRIBUTES);
}

// ---------------------------------------------------------------------------
// Japanese text (run under a Japanese locale: ANSI code page 932).

TEST_F(QelWindow, JapaneseTextIsSavedInShiftJisAndComesBack) {
  ASSERT_EQ(GetACP(), 932u) << "this case needs the Japanese locale (LANG=ja_JP.UTF-8)";
  // 表 and ソ end in the byte of a backslash in Shift-JIS; ｶﾅ is one byte each.
  const std::wstring kept = L"メモ帳.exe 既存の表.txt";
  WriteIni(IniOf(Texts(L"192.168.1.10", {L"1", L"4", L"32", L"128"}, {L"", L"", kept}), 932));
  ASSERT_TRUE(Start());
  EXPECT_EQ(TextOf(Control(kIdCommandLine + 2)), kept);

  const FieldTexts typed = Texts(L"機器１", {L"1", L"4", L"32", L"128"}, {L"C:\\ソフト\\表示.exe 日本語", L"ｶﾅ ﾃｽﾄ", kept});
  Type(kIdAddress, typed[kAddressField]);
  Type(kIdCommandLine + 0, typed[CommandField(1)]);
  Type(kIdCommandLine + 1, typed[CommandField(2)]);
  EXPECT_EQ(Fields(), typed);
  PostMessageW(Control(kIdSaveAndQuit), BM_CLICK, 0, 0);
  EXPECT_EQ(WaitForExit(), 0);
  Stop();
  EXPECT_EQ(ReadAll(Ini()), IniOf(typed, 932));

  ASSERT_TRUE(Start());
  EXPECT_EQ(Fields(), typed);
}

// A header whose comment ends in ゾ (0x83 0x5D in Shift-JIS, its second byte
// that of "]"): Wine's profile functions write the file anew without the
// comment, and the save's line-by-line check lets that pass.
TEST_F(QelWindow, JapaneseHeaderCommentEndingInATrailBracketSaves) {
  ASSERT_EQ(GetACP(), 932u) << "this case needs the Japanese locale (LANG=ja_JP.UTF-8)";
  const FieldTexts filled = Texts(L"192.168.1.10", {L"1", L"4", L"32", L"128"}, {L"", L"", L""});
  WriteIni("[Qelmark] ; " + Narrow(L"ゾーン", 932) + "\r\n" + IniLines(filled, 0, kFields.size(), 932));
  ASSERT_TRUE(Start());
  FieldTexts typed = filled;
  typed[CommandField(1)] = L"notepad.exe";
  Type(kIdCommandLine + 0, typed[CommandField(1)]);
  PostMessageW(Control(kIdSaveAndQuit), BM_CLICK, 0, 0);
  EXPECT_EQ(WaitForExit(), 0) << (MessageBoxes().empty() ? "qel did not quit" : "the save was refused");
  Stop();
  ASSERT_TRUE(Start());
  EXPECT_EQ(Fields(), typed);
}

// ---------------------------------------------------------------------------
// A screenshot for people to look at.

TEST_F(QelWindow, Screenshot) {
  dpi_.Set(96);
  WriteIni(kLayoutTextsIni);
  ASSERT_TRUE(Start());
  SetForegroundWindow(window_);
  BringWindowToTop(window_);
  Sleep(1000);  // painted by now, and a poll of the switch coloured the labels
  Image image;
  ASSERT_TRUE(CaptureWindow(window_, image));
  const std::vector<std::uint8_t>& rgb = image.rgb;
  std::size_t differing = 0;
  for (std::size_t i = 3; i < rgb.size(); i += 3) {
    differing += rgb[i] != rgb[0] || rgb[i + 1] != rgb[1] || rgb[i + 2] != rgb[2];
  }
  EXPECT_GT(differing, rgb.size() / 3 / 10) << "the capture is (nearly) all one colour";
  SaveScreenshot(gScreenshot, image);
  EXPECT_EQ(ReadAll(gScreenshot).substr(0, 8), "\x89PNG\r\n\x1a\n");
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (argc != 5) {
    fprintf(stderr, "usage: window_tests qel.exe socket.dll window_probe.dll screenshot.png\n");
    return 2;
  }
  gQel = WindowsPath(argv[1]);
  gSocket = WindowsPath(argv[2]);
  gProbe = WindowsPath(argv[3]);
  gScreenshot = WindowsPath(argv[4]);
  return RUN_ALL_TESTS();
}
