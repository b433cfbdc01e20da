// The live outlet panel of the real qel.exe, driven from outside as a user
// would: the labels Sw1 … Sw4 lit from the status word of the switch whose
// address is saved in ip.ini, from the window's first frame, their tooltips
// saying "オン" or "オフ" and naming that address, framed solid when on and
// with dashes and a reason in their tooltip when the poll cannot tell or no
// address is saved (every state told apart in grey too),
// the same state text beside a focused ON or OFF button, ON and OFF with the
// address and masks on screen, and the launch buttons. Colours, frames and
// contrast are read from the screen's pixels; the tooltips' texts from
// inside qel's process by the probe.
//
// Arguments: qel.exe, the simulated socket.dll, the simulated socket.dll
// without receivep6, echoargs.exe, the probe library and the screenshot's PNG
// path; Unix paths are taken as Wine paths on drive Z:.
#include "tests/gui/window_driver.h"

#include "win32/window/live_panel.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <set>

namespace {

using namespace qel_window_test;

std::wstring gMissingReceive, gEchoArgs, gScreenshot, gHangingLoad;

constexpr COLORREF kLit = RGB(255, 192, 192);
constexpr char kSaved[] = "10.0.0.5";     // the address saved in ip.ini
constexpr char kOnScreen[] = "10.0.0.7";  // another one, typed into the address field and not saved

// The masks of Sw1 on as typed; the outlets after them get mask 0, which
// no status word lights.
FieldTexts Masks(const FieldTexts& first) {
  FieldTexts masks(static_cast<std::size_t>(kOutletCount), L"0");
  std::copy(first.begin(), first.begin() + std::min(first.size(), masks.size()), masks.begin());
  return masks;
}
// The usual masks' lines in ip.ini: SW1=1, SW2=4, SW3=32, SW4=128.
const std::string kMaskLines =
    IniLines(Texts(L"", Masks({L"1", L"4", L"32", L"128"}), {}), MaskField(1), CommandField(1));

// Written the way the profile functions never write it (a comment, blanks
// around "="), so that any rewrite of the file shows.
const std::string kIni = std::string("; the switch in the hall\r\n[Qelmark]\r\nIP = ") + kSaved + "\r\n" +
                         kMaskLines + IniLines(Texts(L"", {}, {}), CommandField(1));

bool StartsWith(const std::wstring& text, const std::wstring& prefix) { return text.rfind(prefix, 0) == 0; }
bool EndsWith(const std::wstring& text, const std::wstring& suffix) {
  return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// What every outlet label's tooltip ends with: the saved address, whose
// switch the labels show.
std::wstring SavedNote(const std::string& address) { return L" (保存済みの IP " + Widen(address) + L" の状態)"; }
// The tooltip of every label while ip.ini holds no address.
const std::wstring kNoAddressTip = L"状態不明: IP が保存されていない";

// The tooltip of a label whose state the poll read.
std::wstring StateTip(bool on, const std::string& address) { return (on ? L"オン" : L"オフ") + SavedNote(address); }

// The tip beside a focused ON or OFF button of outlet row `row`: the
// outlet's name, then its label's tooltip.
std::wstring FocusTip(int row, const std::wstring& state) { return L"Sw" + std::to_wstring(row + 1) + L": " + state; }

// The frame along a label's four edges, in its text's
// colour: the sign of its state that is no colour. Dashed: unknown; solid:
// on; none: off.
enum class Frame { kNone, kDashed, kSolid };

const char* NameOf(Frame frame) {
  switch (frame) {
    case Frame::kNone: return "no frame";
    case Frame::kDashed: return "a dashed frame";
    case Frame::kSolid: return "a solid frame";
  }
  return "?";
}

// What a label shows: the colour of most of its pixels (the background),
// its darkest pixel (the text, drawn over the background), and its frame.
struct Look {
  COLORREF background = CLR_INVALID;
  COLORREF text = CLR_INVALID;
  Frame frame = Frame::kNone;
  bool operator==(const Look& other) const {
    return background == other.background && text == other.text && frame == other.frame;
  }
  bool operator!=(const Look& other) const { return !(*this == other); }
};

std::ostream& operator<<(std::ostream& out, const Look& look) {
  return out << "background " << Hex(look.background) << ", text " << Hex(look.text) << ", " << NameOf(look.frame);
}

// The runs of `colour` along a line of `length` pixels, and how far apart
// the first and the last such pixel are.
struct Runs {
  int count = 0;
  int extent = 0;
};
template <typename PixelAt>
Runs RunsOf(COLORREF colour, int length, PixelAt at) {
  Runs runs;
  int first = -1, last = -1;
  for (int i = 0; i < length; ++i) {
    if (at(i) != colour) continue;
    if (i == 0 || at(i - 1) != colour) ++runs.count;
    if (first < 0) first = i;
    last = i;
  }
  runs.extent = first < 0 ? 0 : last - first + 1;
  return runs;
}

// Along one of the first or last three rows (`fromTop`) of the image:
// dashes, three runs at least spread over half its width or more; or a
// line, one run over nine tenths of it. A caption's letters never are: they
// keep off the edges and fill a third of the width.
bool DashedRowNear(const Image& image, bool fromTop, COLORREF colour) {
  for (int i = 0; i < 3 && i < image.height; ++i) {
    const int y = fromTop ? i : image.height - 1 - i;
    const Runs runs = RunsOf(colour, image.width, [&](int x) { return image.At(x, y); });
    if (runs.count >= 3 && 2 * runs.extent >= image.width) return true;
  }
  return false;
}
bool LineRowNear(const Image& image, bool fromTop, COLORREF colour) {
  for (int i = 0; i < 3 && i < image.height; ++i) {
    const int y = fromTop ? i : image.height - 1 - i;
    const Runs runs = RunsOf(colour, image.width, [&](int x) { return image.At(x, y); });
    if (runs.count == 1 && 10 * runs.extent >= 9 * image.width) return true;
  }
  return false;
}

// The frame drawn in `colour` along the image's four edges. The left and
// right edges' columns each hold dashes (two runs or more) or one line over
// two thirds of its height.
Frame FrameOf(const Image& image, COLORREF colour) {
  const Runs left = RunsOf(colour, image.height, [&](int y) { return image.At(0, y); });
  const Runs right = RunsOf(colour, image.height, [&](int y) { return image.At(image.width - 1, y); });
  if (left.count >= 2 && right.count >= 2 && DashedRowNear(image, true, colour) &&
      DashedRowNear(image, false, colour)) {
    return Frame::kDashed;
  }
  const auto line = [&](const Runs& runs) { return runs.count == 1 && 3 * runs.extent >= 2 * image.height; };
  if (line(left) && line(right) && LineRowNear(image, true, colour) && LineRowNear(image, false, colour)) {
    return Frame::kSolid;
  }
  return Frame::kNone;
}

Look LookOf(const Image& image) {
  std::map<COLORREF, int> counts;
  Look look;
  int darkest = 3 * 256;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const COLORREF c = image.At(x, y);
      ++counts[c];
      const int sum = GetRValue(c) + GetGValue(c) + GetBValue(c);
      if (sum < darkest) {
        darkest = sum;
        look.text = c;
      }
    }
  }
  int most = 0;
  for (const auto& [colour, count] : counts) {
    if (count > most) {
      most = count;
      look.background = colour;
    }
  }
  look.frame = FrameOf(image, look.text);
  return look;
}

// WCAG 2 contrast of two colours: (L1 + 0.05) / (L2 + 0.05), L1 the
// relative luminance of the lighter.
double Luminance(COLORREF colour) {
  const auto linear = [](int channel) {
    const double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * linear(GetRValue(colour)) + 0.7152 * linear(GetGValue(colour)) +
         0.0722 * linear(GetBValue(colour));
}
double Contrast(COLORREF a, COLORREF b) {
  const double la = Luminance(a), lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The outlet labels, Sw1 first, as two patterns of a character each: 'x'
// where the label is lit (lit) or its state unknown (unknown), '.' where not.
// An unknown label is never lit: the lit colour says "on". The outlets after
// a pattern's last are not lit (their mask is 0), and unknown as its last one
// is (the poll stops at a row it cannot read, and every row after it is
// unknown too).
struct Rows {
  const char* lit;
  const char* unknown;
};
bool Lit(const char* lit, int row) { return row < static_cast<int>(std::strlen(lit)) && lit[row] == 'x'; }
bool Unknown(const char* unknown, int row) {
  const int length = static_cast<int>(std::strlen(unknown));
  return length > 0 && unknown[std::min(row, length - 1)] == 'x';
}

// Black on the lit colour in a solid frame; otherwise button text on button
// face, in a dashed frame when unknown.
Look Expected(bool lit, bool unknown) {
  if (unknown) return {GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_BTNTEXT), Frame::kDashed};
  if (lit) return {kLit, RGB(0, 0, 0), Frame::kSolid};
  return {GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_BTNTEXT), Frame::kNone};
}

// The text of a message box and whether it shows an icon.
std::wstring BoxText(HWND box) {
  std::wstring text;
  for (HWND child : ChildrenOfClass(box, L"Static")) text += TextOf(child);
  return text;
}

bool BoxHasIcon(HWND box) {
  for (HWND child : ChildrenOfClass(box, L"Static")) {
    const bool iconStatic = (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
    if (iconStatic && IsWindowVisible(child) && SendMessageW(child, STM_GETICON, 0, 0) != 0) return true;
  }
  return false;
}

// ---------------------------------------------------------------------------
// qel.exe beside the simulated switch, with ip.ini as kIni.
enum class Library { kWhole, kNone, kWithoutReceive, kHangsWhileItLoads };  // the socket.dll beside qel.exe

class QelPanel : public QelWindow {
 protected:
  void SetUp() override {
    QelWindow::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(CopyFileW(gEchoArgs.c_str(), (dir_ + L"\\echoargs.exe").c_str(), FALSE));
    ini_ = kIni;
    WriteIni(ini_);
  }

  // Starts qel afresh with that socket.dll (or none), a new journal and the
  // switches' words; its window in front and the mouse away from it.
  // With a subfolder, qel.exe and the library are copied there and qel
  // starts from it; the switch's state and journal stay in the test's folder.
  bool StartWith(Library library, const std::map<std::string, int>& words, const wchar_t* subfolder = nullptr) {
    Stop();
    const std::wstring top = dir_;
    const std::wstring folder = subfolder == nullptr ? top : top + subfolder;
    CreateDirectoryW(folder.c_str(), nullptr);
    if (folder != top && !CopyFileW(gQel.c_str(), (folder + L"\\qel.exe").c_str(), FALSE)) {
      ADD_FAILURE() << "cannot copy qel.exe";
      return false;
    }
    const std::wstring socket = folder + L"\\socket.dll";
    DeleteFileW(socket.c_str());
    const std::wstring& source = library == Library::kWhole             ? gSocket
                                 : library == Library::kWithoutReceive ? gMissingReceive
                                                                       : gHangingLoad;
    if (library != Library::kNone && !CopyFileW(source.c_str(), socket.c_str(), FALSE)) {
      ADD_FAILURE() << "cannot copy socket.dll";
      return false;
    }
    DeleteFileW(JournalPath().c_str());
    words_ = words;
    WriteState();
    dir_ = folder;
    const bool started = Start();
    dir_ = top;
    if (!started) return false;
    SetForegroundWindow(window_);
    BringWindowToTop(window_);
    MouseAway();
    return true;
  }

  // Sets a switch's word at the device, as the simulated switch keeps it.
  void SetWord(const std::string& address, int word) {
    words_[address] = word;
    WriteState();
  }

  // Replaced in one step, so that the switch never reads half a file.
  void WriteState() {
    std::string text;
    for (const auto& [address, word] : words_) text += address + "=" + std::to_string(word) + "\n";
    const std::wstring temporary = StatePath() + L".test";
    WriteAll(temporary, text);
    ASSERT_TRUE(MoveFileExW(temporary.c_str(), StatePath().c_str(), MOVEFILE_REPLACE_EXISTING));
  }

  // The word the switch holds for the address now (the last line counts).
  int WordAt(const std::string& address) {
    int word = 0;
    for (const std::string& line : Lines(ReadAll(StatePath()))) {
      const auto equals = line.rfind('=');
      if (equals != std::string::npos && line.substr(0, equals) == address) word = std::stoi(line.substr(equals + 1));
    }
    return word;
  }

  // One setip per poll (and per ON or OFF).
  int SetipCount() const {
    const auto journal = Journal();
    return static_cast<int>(std::count_if(journal.begin(), journal.end(),
                                          [](const std::string& line) { return line.rfind("setip ", 0) == 0; }));
  }

  // Waits until the poll has run n more times; without a library that the
  // switch journals, waits as long as that takes.
  void AwaitPolls(int n) {
    if (GetFileAttributesW(JournalPath().c_str()) == INVALID_FILE_ATTRIBUTES) {
      Sleep(static_cast<DWORD>((kPollMilliseconds + 100) * n));
      return;
    }
    const int target = SetipCount() + n;
    for (int waited = 0; waited < 10000; waited += 50) {
      if (SetipCount() >= target) return;
      Sleep(50);
    }
    ADD_FAILURE() << "the poll did not run " << n << " more times within 10 s";
  }

  void MouseAway() { SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1); }

  // A tooltip window that qel shows now, or nullptr.
  HWND ShownTip() const {
    for (HWND hwnd : TopLevelWindows(process_.id)) {
      if (SameText(ClassOf(hwnd), L"tooltips_class32")) return hwnd;
    }
    return nullptr;
  }

  // Rests the mouse on the label for up to the time given: whether a tooltip
  // pops up. The mouse is taken away again afterwards and the tip let go.
  bool TipPopsUpOver(int id, DWORD milliseconds) {
    RECT label = {};
    GetWindowRect(Control(id), &label);
    SetCursorPos(label.right - 4, (label.top + label.bottom) / 2);
    bool shown = false;
    for (DWORD waited = 0; waited < milliseconds && !shown; waited += 100) {
      Sleep(100);
      shown = ShownTip() != nullptr;
    }
    MouseAway();
    for (int waited = 0; waited < 5000 && ShownTip() != nullptr; waited += 100) Sleep(100);
    return shown;
  }

  // The label's pixels that show inside the window's client area.
  Look LookOfLabel(int id) {
    RECT label = {}, client = {};
    GetWindowRect(Control(id), &label);
    GetClientRect(window_, &client);
    MapWindowPoints(window_, nullptr, reinterpret_cast<POINT*>(&client), 2);
    RECT visible = {};
    IntersectRect(&visible, &label, &client);
    Image image;
    if (!CaptureScreen(visible, image)) return {};
    return LookOf(image);
  }

  // Sw1 … Sw4, then "IP".
  std::vector<Look> Looks() {
    std::vector<Look> looks;
    for (int i = 0; i < kOutletCount; ++i) looks.push_back(LookOfLabel(kIdOutletLabel + i));
    looks.push_back(LookOfLabel(kIdAddressLabel));
    return looks;
  }

  static std::vector<Look> ExpectedLooks(const Rows& rows) {
    std::vector<Look> looks;
    for (int i = 0; i < kOutletCount; ++i) looks.push_back(Expected(Lit(rows.lit, i), Unknown(rows.unknown, i)));
    looks.push_back(Expected(false, false));  // "IP" is never recoloured
    return looks;
  }

  // Waits (up to 5 s) until the labels look so; true when they do.
  bool WaitForLooks(const Rows& rows) {
    const std::vector<Look> expected = ExpectedLooks(rows);
    for (int waited = 0; waited < 5000; waited += 100) {
      if (Looks() == expected) return true;
      Sleep(100);
    }
    return false;
  }

  // The labels as the poll shows what was set up before this call: two polls
  // later (the first may have begun before), and still so one poll after
  // that, so a label painted late cannot pass for one painted right.
  void ExpectRows(const Rows& rows) {
    AwaitPolls(2);
    WaitForLooks(rows);
    AwaitPolls(1);
    ExpectLooks(rows);
  }

  void ExpectLooks(const Rows& rows) {
    const std::vector<Look> expected = ExpectedLooks(rows);
    const std::vector<Look> looks = Looks();
    for (int i = 0; i <= kOutletCount; ++i) {
      EXPECT_EQ(looks[i], expected[i]) << "label "
                                       << (i < kOutletCount ? "Sw" + std::to_string(i + 1) : std::string("IP"))
                                       << " (lit " << rows.lit << ", unknown " << rows.unknown << ")";
    }
  }

  // Has qel paint its whole window afresh, as when it is uncovered.
  void RepaintAll() {
    RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
  }

  // The masks of Sw1 on as typed (see Masks).
  void SetMasks(const FieldTexts& first) {
    const FieldTexts masks = Masks(first);
    for (int i = 0; i < kOutletCount; ++i) {
      SendMessageW(Control(kIdMask + i), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(masks[i].c_str()));
    }
  }

  std::wstring TipOf(int row) {
    Probe probe(window_);
    const qel_probe::TipReport tip = probe.Tip(kIdOutletLabel + row);
    EXPECT_EQ(tip.answered, 1) << "the probe did not answer";
    EXPECT_EQ(tip.found, 1) << "Sw" << row + 1 << " has no tooltip";
    return tip.text;
  }

  // The tooltips of the rows read: "オン" where lit ('x'), "オフ" where not,
  // naming the saved address.
  void ExpectStateTips(const char* lit, const std::string& address) {
    for (int row = 0; row < kOutletCount; ++row) {
      EXPECT_EQ(TipOf(row), StateTip(Lit(lit, row), address)) << "Sw" << row + 1;
    }
  }

  bool SetFault(const wchar_t* fault) {
    Probe probe(window_);
    return probe.SetEnvironment(L"QELSIM_FAULT", fault);
  }

  // Watches qel for the time given: false as soon as it shows a message box.
  bool NoMessageBoxFor(DWORD milliseconds) {
    for (DWORD waited = 0; waited <= milliseconds; waited += 100) {
      const auto boxes = MessageBoxes();
      if (!boxes.empty()) {
        ADD_FAILURE() << "a message box: \"" << Narrow(BoxText(boxes.front())) << "\"";
        return false;
      }
      Sleep(100);
    }
    return true;
  }

  void Click(int id) { PostMessageW(Control(id), BM_CLICK, 0, 0); }

  // The tooltip qel shows within the time given, or nullptr.
  HWND WaitForTip(DWORD milliseconds = 5000) const {
    HWND tip = ShownTip();
    for (DWORD waited = 0; waited < milliseconds && tip == nullptr; waited += 50) {
      Sleep(50);
      tip = ShownTip();
    }
    return tip;
  }

  // Waits (up to 5 s) until the shown tooltip says `text`; what it says then.
  std::wstring WaitForTipText(const std::wstring& text) {
    std::wstring said;
    for (int waited = 0; waited < 5000; waited += 50) {
      const HWND tip = ShownTip();
      said = tip != nullptr ? TextOf(tip) : L"(no tooltip)";
      if (said == text) break;
      Sleep(50);
    }
    return said;
  }

  // The shown tooltip covers no control of qel's window and fits its width:
  // it sits in the screen's work area, just below the window where there is
  // room (else above it), its left edge under the control's as far as the
  // window's width allows.
  void ExpectTipClearOfTheControls(int id) {
    const HWND tip = ShownTip();
    ASSERT_NE(tip, nullptr) << "no tooltip";
    RECT shown = {}, window = {}, button = {};
    GetWindowRect(tip, &shown);
    GetWindowRect(window_, &window);
    GetWindowRect(Control(id), &button);
    const std::string where = "tooltip (" + std::to_string(shown.left) + ", " + std::to_string(shown.top) +
                              ") - (" + std::to_string(shown.right) + ", " + std::to_string(shown.bottom) + ")";
    for (HWND control = GetWindow(window_, GW_CHILD); control != nullptr; control = GetWindow(control, GW_HWNDNEXT)) {
      RECT place = {}, common = {};
      GetWindowRect(control, &place);
      EXPECT_FALSE(IntersectRect(&common, &place, &shown))
          << where << " covers control " << GetDlgCtrlID(control) << " \"" << Narrow(TextOf(control)) << "\"";
    }
    EXPECT_LE(shown.right - shown.left, window.right - window.left) << where << " is wider than the window";
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    ASSERT_TRUE(GetMonitorInfoW(MonitorFromWindow(window_, MONITOR_DEFAULTTONEAREST), &monitor));
    const RECT& work = monitor.rcWork;
    EXPECT_TRUE(shown.left >= work.left && shown.top >= work.top && shown.right <= work.right &&
                shown.bottom <= work.bottom)
        << where << " leaves the work area";
    const bool roomBelow = window.bottom + (shown.bottom - shown.top) + 8 <= work.bottom;
    if (roomBelow) {
      EXPECT_TRUE(shown.top >= window.bottom && shown.top <= window.bottom + 8) << where << " is not below the window";
    } else {
      EXPECT_TRUE(shown.bottom <= window.top && shown.bottom >= window.top - 8) << where << " is not above the window";
    }
    EXPECT_EQ(shown.left, std::max(window.left, std::min(button.left, window.right - (shown.right - shown.left))))
        << where << ": its left edge is not under the control's";
  }

  // Presses OK of the box and waits for it to close.
  void PressOk(HWND box) {
    const std::vector<HWND> buttons = ChildrenOfClass(box, L"Button");
    for (HWND button : buttons) {
      if (GetDlgCtrlID(button) == IDOK) {
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
      }
    }
    for (int i = 0; i < 50 && IsWindow(box); ++i) Sleep(100);
    EXPECT_FALSE(IsWindow(box)) << "OK did not close the box";
  }

  // The box for a click: exactly one, modal on qel's window, OK only, saying
  // something that starts so. Closed again with OK.
  void ExpectOneBoxStartingWith(const std::wstring& start) { ExpectOneBox(start, false); }
  // The same, saying exactly that and showing no icon.
  void ExpectOneBoxSayingOnly(const std::wstring& text) { ExpectOneBox(text, true); }

  // Every box of the window is a warning: it shows the icon.
  void ExpectOneBox(const std::wstring& start, bool exactly) {
    const HWND box = WaitForMessageBox(10000);
    ASSERT_NE(box, nullptr) << (Running() ? "no message box came" : "qel ended");
    EXPECT_EQ(GetWindow(box, GW_OWNER), window_) << "the box is not owned by qel's window";
    EXPECT_FALSE(IsWindowEnabled(window_)) << "the box is not modal";
    const std::wstring text = BoxText(box);
    EXPECT_TRUE(exactly ? text == start : StartsWith(text, start))
        << "the box says \"" << Narrow(text) << "\"";
    const std::vector<HWND> buttons = ChildrenOfClass(box, L"Button");
    EXPECT_EQ(buttons.size(), 1u) << "the box has other buttons than OK";
    if (!buttons.empty()) {
      EXPECT_EQ(GetDlgCtrlID(buttons.front()), IDOK);
    }
    EXPECT_TRUE(BoxHasIcon(box)) << "the box shows no icon";
    // The poll goes on behind the box, and shows no box of its own.
    AwaitPolls(2);
    EXPECT_EQ(MessageBoxes(), std::vector<HWND>{box});
    PressOk(box);
    EXPECT_TRUE(Running()) << "qel ended after the message";
    EXPECT_TRUE(IsWindowEnabled(window_));
    EXPECT_TRUE(NoMessageBoxFor(1000));
  }

  // Closes qel's window and finds ip.ini as the test last wrote it.
  void ExpectCloseLeavesIni() {
    ASSERT_TRUE(Running()) << "qel is not running";
    PostMessageW(window_, WM_CLOSE, 0, 0);
    EXPECT_NE(WaitForExit(), -1) << "qel did not end";
    Stop();
    EXPECT_EQ(ReadAll(Ini()), ini_) << "ip.ini was written";
  }

  std::string ini_;
  std::map<std::string, int> words_;
};

// ---------------------------------------------------------------------------
// Lighting: the mask of each outlet (32 bits, rounded down) AND the status
// word of the switch at the saved address.

struct LightCase {
  const char* name;
  FieldTexts masks;  // Sw1 on as typed (see Masks)
  int word;
  const char* lit;
};

TEST_F(QelPanel, LabelsAreLitWhereTheMaskMeetsTheStatusWord) {
  const LightCase cases[] = {
      {"the usual masks", {L"1", L"4", L"32", L"128"}, 33, "x.x."},
      {"a mask of several bits, any of them", {L"5", L"3", L"12", L"-1"}, 4, "x.xx"},
      // 12.9 is 12 (1100), not 13, and 1.99 is 1, not 2.
      {"fractions rounded down, bit 0", {L"12.9", L"1.99", L"-1", L"0"}, 1, ".xx."},
      {"fractions rounded down, bit 3", {L"12.9", L"1.99", L"-1", L"0"}, 8, "x.x."},
      // 70000 (0x11170) fits the 32 bits of a mask, not 16.
      {"a mask wider than 16 bits", {L"70000", L"70000", L"-1", L"0"}, 32, "xxx."},
      {"no bit set", {L"-1", L"-1", L"-1", L"-1"}, 0, "...."},
      {"only the top bit", {L"-1", L"-1", L"32768", L"-32768"}, -32768, "xxxx"},
      // As an IME in full-width mode types them.
      {"full-width digits", {L"１", L"４", L"３２", L"１２８"}, 33, "x.x."},
      {"full-width sign and point", {L"－１", L"１２．９", L"０", L"０"}, 8, "xx.."},
      // The 16-bit word is widened with its sign: -32768 has bits 15 to 31
      // set for a 32-bit mask.
      {"a negative word meets mask bits above 15", {L"65536", L"1", L"-2147483648", L"32767"}, -32768, "x.x."},
  };
  ASSERT_TRUE(StartWith(Library::kWhole, {{kSaved, 0}}));
  for (const LightCase& c : cases) {
    SCOPED_TRACE(c.name);
    SetMasks(c.masks);
    SetWord(kSaved, c.word);
    ExpectRows({c.lit, "...."});
    ExpectStateTips(c.lit, kSaved);
    RepaintAll();
    ExpectRows({c.lit, "...."});
  }
  // The state in words is there for the mouse too.
  EXPECT_TRUE(TipPopsUpOver(kIdOutletLabel + 0, 5000)) << "no tooltip over Sw1";
  EXPECT_TRUE(NoMessageBoxFor(0));
  ExpectCloseLeavesIni();
}

TEST_F(QelPanel, LabelsFollowTheSwitchAtTheSavedAddress) {
  // The address field names another switch, whose word would light every label.
  ASSERT_TRUE(StartWith(Library::kWhole, {{kSaved, 33}, {kOnScreen, -1}}));
  Type(kIdAddress, Widen(kOnScreen));
  ExpectRows({"x.x.", "...."});
  // The tooltips say so: the state of the saved address, not of the one typed.
  ExpectStateTips("x.x.", kSaved);

  // Someone switches at the device: the labels follow within a few polls.
  SetWord(kSaved, 4 | 128);
  EXPECT_TRUE(WaitForLooks({".x.x", "...."})) << "the labels did not follow the switch within 5 s";
  ExpectLooks({".x.x", "...."});
  ExpectStateTips(".x.x", kSaved);

  for (const std::string& line : Journal()) {
    if (line.rfind("setip ", 0) == 0) {
      EXPECT_EQ(line, std::string("setip ") + kSaved + " -> 0");
    }
  }

  // ip.ini is read at every poll: another saved address counts from the next.
  ini_ = std::string("[Qelmark]\r\nIP=") + kOnScreen + "\r\n" + kMaskLines;
  WriteIni(ini_);
  EXPECT_TRUE(WaitForLooks({"xxxx", "...."})) << "the poll did not turn to the new saved address within 5 s";
  ExpectLooks({"xxxx", "...."});
  ExpectStateTips("xxxx", kOnScreen);
  const auto journal = Journal();
  EXPECT_NE(std::find(journal.begin(), journal.end(), std::string("setip ") + kOnScreen + " -> 0"), journal.end());

  // No address saved: no switch is asked, and every label is unknown and
  // unlit, its tip saying why.
  ini_ = "[Qelmark]\r\n" + kMaskLines;
  WriteIni(ini_);
  EXPECT_TRUE(WaitForLooks({"....", "xxxx"})) << "the labels did not turn unknown within 5 s";
  const std::size_t asked = Journal().size();
  Sleep(3 * kPollMilliseconds);  // three polls
  EXPECT_EQ(Journal().size(), asked) << "the poll asked the library without a saved address";
  ExpectLooks({"....", "xxxx"});
  for (int row = 0; row < kOutletCount; ++row) EXPECT_EQ(TipOf(row), kNoAddressTip) << "Sw" << row + 1;
  ExpectCloseLeavesIni();
}

// Before any address is saved the poll asks no switch; once one is saved,
// the labels show that switch from the next start.
TEST_F(QelPanel, WithoutASavedAddressThePollAsksNoSwitch) {
  for (const char* address : {"", "IP=\r\n", "IP=\"   \"\r\n"}) {
    SCOPED_TRACE(*address ? address : "no key IP");
    WriteIni(std::string("[Qelmark]\r\n") + address + kMaskLines);
    ASSERT_TRUE(StartWith(Library::kWhole, {{"", -1}, {kSaved, 33}}));
    EXPECT_TRUE(WaitForLooks({"....", "xxxx"})) << "the labels are not unknown";
    Sleep(3 * kPollMilliseconds);  // three polls
    ExpectLooks({"....", "xxxx"});
    for (int row = 0; row < kOutletCount; ++row) EXPECT_EQ(TipOf(row), kNoAddressTip) << "Sw" << row + 1;
    // Neither filling the window nor a poll hands the library an address
    // that names no switch.
    EXPECT_EQ(Journal(), std::vector<std::string>());
  }
  // The user types the address and saves it: from the next start the labels
  // follow that switch.
  Type(kIdAddress, Widen(kSaved));
  Click(kIdSaveAndQuit);
  ASSERT_EQ(WaitForExit(), 0);
  ini_ = ReadAll(Ini());
  ASSERT_TRUE(StartWith(Library::kWhole, {{"", -1}, {kSaved, 33}}));
  ExpectRows({"x.x.", "...."});
  ExpectStateTips("x.x.", kSaved);
  ExpectCloseLeavesIni();
}

// The first poll runs as soon as the window shows, not at the timer's first
// tick kPollMilliseconds later: a user who opens qel to see whether outlet 1 is on is
// never told "off" first.
TEST_F(QelPanel, TheLabelsShowTheSwitchFromTheFirstFrame) {
  words_ = {{kSaved, 1}};
  WriteState();
  DeleteFileW(JournalPath().c_str());
  std::wstring commandLine = L"qel.exe";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  const std::wstring exe = dir_ + L"\\qel.exe";
  PROCESS_INFORMATION information = {};
  ASSERT_TRUE(CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, dir_.c_str(),
                             &startup, &information));
  process_.Take(information);
  LARGE_INTEGER frequency, now, shown;
  QueryPerformanceFrequency(&frequency);
  const auto milliseconds = [&](const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
  };
  QueryPerformanceCounter(&now);
  const LARGE_INTEGER started = now;
  while (window_ == nullptr && milliseconds(started, now) < 30000) {
    for (HWND hwnd : TopLevelWindows(process_.id)) {
      if (ClassOf(hwnd) == L"qel") window_ = hwnd;
    }
    Sleep(1);
    QueryPerformanceCounter(&now);
  }
  ASSERT_NE(window_, nullptr) << "no window within 30 s";
  QueryPerformanceCounter(&shown);
  MouseAway();
  // Sw1 lit (mask 1, word 1), Sw2 to Sw4 unlit, none greyed. Until then
  // Sw1 shows the unknown state, never "off". (The switch is asked from
  // the library's thread once the window shows, so how soon it answers is
  // the library's and the switch's time.)
  bool lit = false;
  std::size_t pollsWhenLit = 0;
  double litAfter = 0;
  std::vector<Look> before;  // each look before the lit one
  for (;;) {
    const Look look = LookOfLabel(kIdOutletLabel + 0);
    lit = look == Expected(true, false);
    QueryPerformanceCounter(&now);
    litAfter = milliseconds(shown, now);
    if (lit) {
      pollsWhenLit = static_cast<std::size_t>(SetipCount());
      break;
    }
    before.push_back(look);
    if (litAfter > 5000) break;
    Sleep(5);
  }
  ASSERT_TRUE(lit) << "Sw1 was not lit within 5 s";
  // Filling the window selects the switch once, the first poll once; the
  // timer's first tick would be a third.
  EXPECT_LE(pollsWhenLit, 2u) << "Sw1 was lit by a tick of the timer, not by the first poll";
  // (Two looks running: one look may catch a paint between the label's
  // caption and its frame.)
  for (std::size_t i = 1; i < before.size(); ++i) {
    EXPECT_FALSE(before[i - 1] == Expected(false, false) && before[i] == Expected(false, false))
        << "Sw1 showed \"off\" before it was lit";
  }
  printf("Sw1 lit %.0f ms after the window showed, %zu looks before\n", litAfter, before.size());
  ExpectRows({"x...", "...."});
  ExpectCloseLeavesIni();
}

// ---------------------------------------------------------------------------
// Rows whose state the poll cannot establish: unlit (even when they were on)
// and framed with dashes, a reason in the tooltip, never a message box, and
// back to normal at the first poll that succeeds.

struct FaultCase {
  const char* name;
  Library library;
  const wchar_t* fault;    // QELSIM_FAULT set in qel's process, or nullptr
  const wchar_t* sw4Mask;  // typed into Sw4's mask field, or nullptr
  const char* litBefore;   // the labels before the fault, at word 129 (Sw1 and Sw4)
  const char* unknown;     // the labels during the fault; at word 0 the others are off
  const wchar_t* reasonMentions;
  bool mends;  // whether the test can remove the fault while qel runs
  // qel started from this subfolder, or nullptr for the test's folder.
  const wchar_t* folder = nullptr;
};

TEST_F(QelPanel, RowsThePollCannotReadAreFramedWithAReasonAndNoMessage) {
  const FaultCase cases[] = {
      {"no socket.dll", Library::kNone, nullptr, nullptr, "....", "xxxx", L"socket.dll", true},
      {"socket.dll without receivep6", Library::kWithoutReceive, nullptr, nullptr, "....", "xxxx", L"関数", false},
      {"status word out of range", Library::kWhole, L"receivep6=range", nullptr, "x..x", "xxxx", L"範囲外", true},
      {"mask not a number", Library::kWhole, nullptr, L"abc", "x..x", "...x", L"マスク", true},
      {"mask beyond 32 bits", Library::kWhole, nullptr, L"99999999999", "x..x", "...x", L"マスク", true},
      {"mask empty", Library::kWhole, nullptr, L"", "x..x", "...x", L"マスク", true},
      // No ip.ini path, so no saved address either: the reason ends the tip.
      {"a folder name the code page cannot hold", Library::kWhole, nullptr, nullptr, "....", "xxxx",
       L"ip.ini の場所をこのシステムの文字コードで表せない", false, L"\\\u03A9mega"},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.name);
    // Without a path, ip.ini is never read and the switch never called.
    const bool readsIni = c.folder == nullptr;
    if (!readsIni) {
      ASSERT_EQ(GetACP(), 1252u) << "this case needs the default locale (ANSI code page 1252)";
    }
    if (!StartWith(c.library, {{kSaved, 129}}, c.folder)) continue;
    if (c.library == Library::kWhole && readsIni) ExpectRows({c.litBefore, "...."});

    // The fault, and a word that would put out every label that is still read.
    if (c.fault != nullptr) {
      ASSERT_TRUE(SetFault(c.fault)) << "the probe could not set QELSIM_FAULT in qel";
    }
    if (c.sw4Mask != nullptr) Type(kIdMask + 3, c.sw4Mask);
    SetWord(kSaved, 0);
    EXPECT_TRUE(WaitForLooks({"....", c.unknown})) << "the labels did not turn unknown within 5 s";
    ExpectRows({"....", c.unknown});
    for (int row = 0; row < kOutletCount; ++row) {
      const std::wstring tip = TipOf(row);
      if (Unknown(c.unknown, row)) {
        EXPECT_TRUE(StartsWith(tip, L"状態不明") && tip.find(c.reasonMentions) != std::wstring::npos &&
                    EndsWith(tip, readsIni ? SavedNote(kSaved) : std::wstring(c.reasonMentions)))
            << "Sw" << row + 1 << "'s tooltip: \"" << Narrow(tip) << "\"";
      } else {
        EXPECT_EQ(tip, StateTip(false, kSaved)) << "Sw" << row + 1;
      }
    }
    const int unknown = static_cast<int>(std::string(c.unknown).find('x'));
    EXPECT_TRUE(TipPopsUpOver(kIdOutletLabel + unknown, 5000)) << "no tooltip over Sw" << unknown + 1;
    const int polls = SetipCount();
    EXPECT_TRUE(NoMessageBoxFor(5 * kPollMilliseconds));
    if (c.library != Library::kNone && readsIni) {
      EXPECT_GE(SetipCount(), polls + 3) << "the poll stopped";
    }

    if (c.mends) {
      if (c.library == Library::kNone) {
        // Into its place in one step: qel loads it at its next call.
        const std::wstring copy = dir_ + L"\\socket.dll.new";
        ASSERT_TRUE(CopyFileW(gSocket.c_str(), copy.c_str(), FALSE));
        ASSERT_TRUE(MoveFileW(copy.c_str(), (dir_ + L"\\socket.dll").c_str()));
      }
      if (c.fault != nullptr) {
        ASSERT_TRUE(SetFault(nullptr));
      }
      if (c.sw4Mask != nullptr) Type(kIdMask + 3, L"128");
      SetWord(kSaved, 32 | 128);
      EXPECT_TRUE(WaitForLooks({"..xx", "...."})) << "the labels did not recover within 5 s";
      ExpectRows({"..xx", "...."});
      ExpectStateTips("..xx", kSaved);
    }
    ExpectCloseLeavesIni();
  }
}

// A mask that fails in the middle: the rows before it are still read.
TEST_F(QelPanel, ABadMaskLeavesTheRowsBeforeItRead) {
  ASSERT_TRUE(StartWith(Library::kWhole, {{kSaved, 4}}));
  ExpectRows({".x..", "...."});
  Type(kIdMask + 1, L"abc");
  SetWord(kSaved, 1);
  // Sw2 is unknown, no longer lit; Sw1 lights at the new word.
  for (int waited = 0; waited < 5000 && LookOfLabel(kIdOutletLabel + 1) != Expected(false, true); waited += 100) {
    Sleep(100);
  }
  AwaitPolls(2);
  EXPECT_EQ(LookOfLabel(kIdOutletLabel + 0), Expected(true, false)) << "Sw1";
  EXPECT_EQ(LookOfLabel(kIdOutletLabel + 1), Expected(false, true)) << "Sw2";
  EXPECT_EQ(TipOf(0), StateTip(true, kSaved));
  EXPECT_EQ(TipOf(1), L"状態不明: Sw2 のマスクが数値でない" + SavedNote(kSaved));
  EXPECT_TRUE(NoMessageBoxFor(1000));
  ExpectCloseLeavesIni();
}

// ---------------------------------------------------------------------------
// The keyboard: an ON or OFF button with the focus shows its outlet's state
// by the window, the same text as the label's tooltip, following the poll,
// until the focus leaves it, and covering none of the window's controls.

TEST_F(QelPanel, AFocusedOnOrOffButtonShowsItsOutletsStateBesideIt) {
  ASSERT_TRUE(StartWith(Library::kWhole, {{kSaved, 1 | 128}}));
  ExpectRows({"x..x", "...."});
  ASSERT_EQ(FocusedControl(), Control(kIdAddress)) << "the focus is not in the address field at start";
  EXPECT_EQ(ShownTip(), nullptr) << "a tooltip before any button has the focus";

  ASSERT_TRUE(TabTo(kIdOn + 0)) << "Tab did not reach Sw1's ON";
  ASSERT_NE(WaitForTip(), nullptr) << "no tooltip beside Sw1's ON";
  EXPECT_EQ(WaitForTipText(FocusTip(0, TipOf(0))), FocusTip(0, StateTip(true, kSaved)));
  ExpectTipClearOfTheControls(kIdOn + 0);
  // The window moved: the tip goes with the button at once, not at a poll.
  RECT frame = {};
  GetWindowRect(window_, &frame);
  SetWindowPos(window_, nullptr, frame.left + 40, frame.top + 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ExpectTipClearOfTheControls(kIdOn + 0);

  // It follows the poll: the switch is switched at the device, then the
  // outlet's state cannot be read; always the label's tooltip text.
  SetWord(kSaved, 128);
  EXPECT_EQ(WaitForTipText(FocusTip(0, StateTip(false, kSaved))), FocusTip(0, StateTip(false, kSaved)));
  EXPECT_EQ(TipOf(0), StateTip(false, kSaved));
  Type(kIdMask + 0, L"x");
  const std::wstring unknown = L"状態不明: Sw1 のマスクが数値でない" + SavedNote(kSaved);
  EXPECT_EQ(WaitForTipText(FocusTip(0, unknown)), FocusTip(0, unknown));
  EXPECT_EQ(TipOf(0), unknown);
  EXPECT_EQ(FocusedControl(), Control(kIdOn + 0));
  ExpectTipClearOfTheControls(kIdOn + 0);  // a text wider than the window, wrapped
  Type(kIdMask + 0, L"1");
  EXPECT_EQ(WaitForTipText(FocusTip(0, StateTip(false, kSaved))), FocusTip(0, StateTip(false, kSaved)));

  // The next button's outlet, beside that button.
  PressTab();
  ASSERT_EQ(FocusedControl(), Control(kIdOn + 1));
  EXPECT_EQ(WaitForTipText(FocusTip(1, StateTip(false, kSaved))), FocusTip(1, StateTip(false, kSaved)));
  ExpectTipClearOfTheControls(kIdOn + 1);

  // Every other button, OFF as ON (Sw4 is on); the last OFF, right in the
  // window's corner.
  std::vector<int> others;
  for (int row = 2; row < kOutletCount; ++row) others.push_back(kIdOn + row);
  for (int row = 0; row < kOutletCount; ++row) others.push_back(kIdOff + row);
  const int lastOff = others.back();
  for (int id : others) {
    SCOPED_TRACE("button " + std::to_string(id));
    ASSERT_TRUE(TabTo(id)) << "Tab did not reach the button";
    const int row = (id - kIdOn) % kRangeSize;
    const std::wstring state = FocusTip(row, StateTip(Lit("...x", row), kSaved));  // the word is 128 now
    EXPECT_EQ(WaitForTipText(state), state);
    ExpectTipClearOfTheControls(id);
  }
  // The window at the work area's bottom right: the tip goes above it,
  // inside the work area.
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof(monitor);
  ASSERT_TRUE(GetMonitorInfoW(MonitorFromWindow(window_, MONITOR_DEFAULTTONEAREST), &monitor));
  GetWindowRect(window_, &frame);
  SetWindowPos(window_, nullptr, monitor.rcWork.right - (frame.right - frame.left) - 2,
               monitor.rcWork.bottom - (frame.bottom - frame.top) - 2, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ExpectTipClearOfTheControls(lastOff);
  RECT shown = {};
  GetWindowRect(ShownTip(), &shown);
  GetWindowRect(window_, &frame);
  EXPECT_LE(shown.bottom, frame.top) << "the tip is not above the window";

  // Away, round to the address field: gone, and no poll brings it back.
  ASSERT_TRUE(TabTo(kIdAddress)) << "Tab did not come back to the address field";
  for (int waited = 0; waited < 2000 && ShownTip() != nullptr; waited += 50) Sleep(50);
  EXPECT_EQ(ShownTip(), nullptr) << "the tooltip stayed after the focus left the button";
  SetWord(kSaved, 1);
  AwaitPolls(2);
  EXPECT_EQ(ShownTip(), nullptr) << "a poll brought the tooltip back";
  EXPECT_TRUE(NoMessageBoxFor(0));
  ExpectCloseLeavesIni();
}

// Another program's window in front and qel's again: the keyboard focus is
// back on the control that had it, not on the window itself, where no key
// would reach a control.
TEST_F(QelPanel, TheFocusComesBackWithTheWindow) {
  ASSERT_TRUE(StartWith(Library::kWhole, {{kSaved, 0}}));
  ASSERT_TRUE(TabTo(kIdMask + 2)) << "Tab did not reach Sw3's mask field";
  HWND other = CreateWindowExW(WS_EX_TOPMOST, L"Static", L"another program", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100,
                               nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(other, nullptr);
  const auto pump = [] {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  };
  SetForegroundWindow(other);
  for (int waited = 0; waited < 3000 && GetForegroundWindow() != other; waited += 50) {
    pump();
    Sleep(50);
  }
  ASSERT_EQ(GetForegroundWindow(), other) << "the other window did not come to the front";
  DestroyWindow(other);
  SetForegroundWindow(window_);
  for (int waited = 0; waited < 3000 && FocusedControl() != Control(kIdMask + 2); waited += 50) {
    pump();
    Sleep(50);
  }
  EXPECT_EQ(GetForegroundWindow(), window_);
  EXPECT_EQ(FocusedControl(), Control(kIdMask + 2))
      << "the focus is on a window of class " << Narrow(ClassOf(FocusedControl())) << ", id "
      << GetDlgCtrlID(FocusedControl());
  ExpectCloseLeavesIni();
}

// The tip beside a focused button stays up while a call is pending: the
// seconds of waiting change its text in place. Taken down and put up again
// each second, it would be read out again each second by a screen reader
// that reads tooltips. A change of the outlet's state shows it anew, once.
TEST_F(QelPanel, SlowSwitchFocusTipStaysUpWhileTheSecondsCountAndShowsAnewForAChange) {
  ASSERT_TRUE(StartWith(Library::kWhole, {{kSaved, 1}}));
  ExpectRows({"x...", "...."});
  ASSERT_TRUE(TabTo(kIdOn + 0)) << "Tab did not reach Sw1's ON";
  const HWND tip = WaitForTip();
  ASSERT_NE(tip, nullptr) << "no tooltip beside Sw1's ON";
  const std::wstring state = FocusTip(0, StateTip(true, kSaved));
  ASSERT_EQ(WaitForTipText(state), state);

  // Counted inside qel's process: Wine raises no EVENT_OBJECT_SHOW for a
  // window that shows.
  Probe probe(window_);
  ASSERT_TRUE(probe.SetEnvironment(L"QELSIM_FAULT", L"receivep6=slow8000"));
  const std::string pollSetip = std::string("setip ") + kSaved + " -> 0";
  for (int waited = 0; waited < 20000 && (Journal().empty() || Journal().back() != pollSetip); waited += 20) Sleep(20);
  ASSERT_EQ(Journal().back(), pollSetip) << "no poll became pending";
  ASSERT_TRUE(probe.CountTipShows()) << "the probe did not answer";
  // Five seconds of the slow call: what the tip says, and whether it went.
  std::set<std::wstring> said;
  bool hidden = false;
  for (int waited = 0; waited < 5000; waited += 100) {
    Sleep(100);
    said.insert(TextOf(tip));
    hidden = hidden || !IsWindowVisible(tip);
  }
  const qel_probe::ShowReport counted = probe.TipShows();
  ASSERT_TRUE(probe.SetEnvironment(L"QELSIM_FAULT", nullptr));
  ASSERT_EQ(counted.answered, 1) << "the probe did not answer";
  EXPECT_EQ(counted.shows, 0) << "the tip was shown again while the call was pending";
  EXPECT_EQ(counted.hides, 0) << "the tip was taken down while the call was pending";
  EXPECT_FALSE(hidden) << "the tip was seen hidden";
  // It counted the seconds all the same.
  const std::wstring waiting = state + L" / スイッチの応答待ち (";
  const auto seconds = std::count_if(said.begin(), said.end(), [&](const std::wstring& text) {
    return StartsWith(text, waiting) && EndsWith(text, L" 秒)");
  });
  EXPECT_GE(seconds, 3) << "the tip did not count the seconds of waiting";

  // The outlet switched off at the device, once the slow call has answered.
  for (int waited = 0; waited < 20000 && StartsWith(TextOf(tip), waiting); waited += 100) Sleep(100);
  ASSERT_TRUE(probe.CountTipShows()) << "the probe did not answer";
  SetWord(kSaved, 0);
  const std::wstring off = FocusTip(0, StateTip(false, kSaved));
  EXPECT_EQ(WaitForTipText(off), off);
  AwaitPolls(2);
  const qel_probe::ShowReport changed = probe.TipShows();
  EXPECT_EQ(changed.shows, 1) << "the tip was not shown anew, once, for the change of state";
  EXPECT_TRUE(IsWindowVisible(tip));
  ExpectCloseLeavesIni();
}

// ---------------------------------------------------------------------------
// ON and OFF: the address field and the outlet's mask field as they
// stand (16 bits, rounded down), saved or not.

struct SwitchCase {
  int row;
  bool on;
  const wchar_t* mask;  // typed into the row's field first
  int before, after;    // the on-screen switch's word
};

TEST_F(QelPanel, OnAndOffSwitchWithTheAddressAndMaskOnScreen) {
  // ip.ini says 1, 4, 32, 128: the fields say otherwise.
  const SwitchCase cases[] = {
      {0, true, L"2", 0, 2},     {1, true, L"8", 2, 10},     {2, true, L"16", 10, 26}, {3, true, L"64", 26, 90},
      {0, false, L"2", 90, 88},  {2, false, L"16", 88, 72},  {1, false, L"8", 72, 64}, {3, false, L"64", 64, 0},
      {3, true, L"12.9", 0, 12}, {1, true, L"1.99", 12, 13},
      // Full-width, as an IME types it.
      {2, true, L"６４", 13, 77}, {0, false, L"６４", 77, 13},
  };
  ASSERT_TRUE(StartWith(Library::kWhole, {{kSaved, 0}, {kOnScreen, 0}}));
  Type(kIdAddress, Widen(kOnScreen));
  for (const SwitchCase& c : cases) {
    SCOPED_TRACE(std::string(c.on ? "ON" : "OFF") + " of Sw" + std::to_string(c.row + 1) + " with mask " +
                 Narrow(c.mask));
    Type(kIdMask + c.row, c.mask);
    const std::size_t from = Journal().size();
    Click((c.on ? kIdOn : kIdOff) + c.row);
    std::vector<std::string> journal;
    for (int waited = 0; waited < 5000; waited += 50) {
      journal = Journal();
      if (std::any_of(journal.begin() + static_cast<std::ptrdiff_t>(std::min(from, journal.size())), journal.end(),
                      [](const std::string& line) { return line.rfind("transfer ", 0) == 0; })) {
        break;
      }
      Sleep(50);
    }
    const std::string setip = std::string("setip ") + kOnScreen + " -> 0";
    const auto at =
        std::find(journal.begin() + static_cast<std::ptrdiff_t>(std::min(from, journal.size())), journal.end(), setip);
    ASSERT_NE(at, journal.end()) << "no \"" << setip << "\" in the journal";
    const std::string word = std::to_string(c.after);
    const std::vector<std::string> expected = {setip, "receivep6 -> " + std::to_string(c.before),
                                               (c.on ? "setdata " : "cleandata ") + word + " -> " + word,
                                               "transfer " + word + " -> " + word};
    EXPECT_EQ(std::vector<std::string>(at, std::min(at + 4, journal.end())), expected);
    EXPECT_EQ(WordAt(kOnScreen), c.after);
  }
  EXPECT_EQ(WordAt(kSaved), 0) << "the saved address's switch was switched";
  // The poll went on with the saved address all along.
  AwaitPolls(1);
  const auto journal = Journal();
  int polls = 0, switches = 0;
  for (const std::string& line : journal) {
    if (line.rfind("setip ", 0) != 0) continue;
    if (line == std::string("setip ") + kSaved + " -> 0") {
      ++polls;
    } else {
      EXPECT_EQ(line, std::string("setip ") + kOnScreen + " -> 0");
      ++switches;
    }
  }
  EXPECT_EQ(switches, static_cast<int>(std::size(cases)));
  EXPECT_GE(polls, 2);
  EXPECT_TRUE(NoMessageBoxFor(0));
  ExpectCloseLeavesIni();
}

struct SwitchFailureCase {
  const char* name;
  Library library;
  const wchar_t* fault;  // QELSIM_FAULT in qel's process, or nullptr
  int row;
  bool on;
  const wchar_t* mask;    // typed into the row's field
  bool reachesTheSwitch;  // whether setip of the on-screen address is called
  const wchar_t* message;
  int wordAfter;  // the on-screen switch's, from 0
  const wchar_t* address = nullptr;  // typed into the address field; nullptr: kOnScreen
};

TEST_F(QelPanel, OnOrOffThatCannotSwitchShowsOneMessage) {
  const SwitchFailureCase cases[] = {
      {"mask not a number", Library::kWhole, nullptr, 0, true, L"abc", false, L"切替できず: マスクが数値でない", 0},
      // The poll takes 70000 (32 bits); switching needs 16.
      {"mask beyond 16 bits", Library::kWhole, nullptr, 1, false, L"70000", false, L"切替できず: マスクが範囲外", 0},
      {"status word out of range: nothing sent", Library::kWhole, L"receivep6=range", 2, true, L"32", true,
       L"切替できず: スイッチの値が範囲外", 0},
      // The word was handed over: the outlet may well have switched, and
      // the message says so.
      {"transfer answers out of range", Library::kWhole, L"transfer=range", 2, true, L"32", true,
       L"切替できず: スイッチの応答が範囲外 (切り替わった可能性がある)", 32},
      {"setdata answers out of range", Library::kWhole, L"setdata=range", 2, true, L"32", true,
       L"切替できず: スイッチの応答が範囲外 (切り替わった可能性がある)", 0},
      {"no socket.dll", Library::kNone, nullptr, 3, false, L"128", false, L"切替できず: socket.dll を読み込めず", 0},
      // A mask of 0 names no outlet: OFF would have cut the word to its low
      // 8 bits. Nothing is sent.
      {"mask 0", Library::kWhole, nullptr, 0, false, L"0", false, L"切替できず: マスクが 0 (どのコンセントも選ばない)", 0},
      // No switch is named: the library is not called at all.
      {"an empty address", Library::kWhole, nullptr, 0, true, L"1", false, L"切替できず: IP が空", 0, L""},
      {"an address of blanks", Library::kWhole, nullptr, 1, false, L"4", false, L"切替できず: IP が空", 0,
       L" \t\u3000"},
  };
  for (const SwitchFailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    if (!StartWith(c.library, {{kSaved, 0}, {kOnScreen, 0}})) continue;
    Type(kIdAddress, c.address != nullptr ? std::wstring(c.address) : Widen(kOnScreen));
    Type(kIdMask + c.row, c.mask);
    if (c.fault != nullptr) {
      ASSERT_TRUE(SetFault(c.fault)) << "the probe could not set QELSIM_FAULT in qel";
    }
    Click((c.on ? kIdOn : kIdOff) + c.row);
    ExpectOneBoxStartingWith(c.message);
    const auto journal = Journal();
    const bool reached =
        std::find(journal.begin(), journal.end(), std::string("setip ") + kOnScreen + " -> 0") != journal.end();
    EXPECT_EQ(reached, c.reachesTheSwitch);
    for (const std::string& line : journal) {
      // Only the poll, at the saved address, when the switch was not reached.
      if (!c.reachesTheSwitch) {
        EXPECT_TRUE(line == std::string("setip ") + kSaved + " -> 0" || line.rfind("receivep6 ", 0) == 0) << line;
      }
    }
    EXPECT_EQ(WordAt(kOnScreen), c.wordAfter);
    if (c.library != Library::kNone) {
      const int polls = SetipCount();
      AwaitPolls(2);
      EXPECT_GE(SetipCount(), polls + 2) << "the poll stopped";
    }
    ExpectCloseLeavesIni();
  }
}

// LOG in ip.ini: each ON and OFF leaves a line in the log, the window's,
// with the address on screen and what came of it; the window's save keeps
// LOG as it keeps every key it does not show.
TEST_F(QelPanel, OnAndOffAreLoggedWhenIpIniAsksForIt) {
  ini_ = kIni + "LOG=switch.log\r\n";
  WriteIni(ini_);
  ASSERT_TRUE(StartWith(Library::kWhole, {{kSaved, 0}, {kOnScreen, 0}}));
  Type(kIdAddress, Widen(kOnScreen));
  Click(kIdOn + 1);
  for (int waited = 0; waited < 5000 && WordAt(kOnScreen) != 4; waited += 50) Sleep(50);
  EXPECT_EQ(WordAt(kOnScreen), 4);
  Type(kIdMask + 2, L"0");
  Click(kIdOff + 2);
  ExpectOneBoxStartingWith(L"切替できず: マスクが 0 (どのコンセントも選ばない)");
  const std::string log = ReadAll(dir_ + L"\\switch.log");
  ASSERT_EQ(log.substr(0, 3), "\xEF\xBB\xBF") << log;
  std::vector<std::string> results;
  for (std::size_t start = 3; start < log.size();) {
    const std::size_t end = log.find("\r\n", start);
    ASSERT_NE(end, std::string::npos);
    const std::string line = log.substr(start, end - start);
    start = end + 2;
    // After the time and the user.
    const std::size_t mode = line.find("\twindow\t");
    ASSERT_NE(mode, std::string::npos) << line;
    results.push_back(line.substr(mode + 1));
  }
  EXPECT_EQ(results, (std::vector<std::string>{
                         std::string("window\t") + kOnScreen + "\t2\ton\tdone",
                         std::string("window\t") + kOnScreen + "\t3\toff\tfailed: " +
                             Narrow(std::wstring(L"切替できず: マスクが 0 (どのコンセントも選ばない)"), CP_UTF8)}));
  ExpectCloseLeavesIni();
}

// ---------------------------------------------------------------------------
// A switch that answers slowly or not at all: the window never waits for
// it, the labels never guess, and every call comes from one thread of its
// own, never the window's.

// The calls of the journal made by a thread other than the window's, and
// all by the same one.
void ExpectOneThreadBesideTheWindows(const std::vector<std::string>& threads, DWORD windowThread) {
  ASSERT_FALSE(threads.empty());
  ASSERT_NE(windowThread, 0u);
  const std::string windows = std::to_string(windowThread);
  for (const std::string& thread : threads) {
    EXPECT_EQ(thread, threads.front());
    EXPECT_NE(thread, windows) << "the window's thread called the library";
  }
}

TEST_F(QelPanel, SlowSwitchThatHangsLeavesTheWindowUsableAndSaveAndQuitEndsIt) {
  SetEnvironmentVariableW(L"QELSIM_FAULT", L"receivep6=hang");
  ASSERT_TRUE(StartWith(Library::kWhole, {{kSaved, 33}}));
  SetEnvironmentVariableW(L"QELSIM_FAULT", nullptr);
  // The first poll hangs (after the window's selection); the window answers
  // all the same.
  const std::string setip = std::string("setip ") + kSaved + " -> 0";
  for (int waited = 0; waited < 20000 && Journal().size() < 3; waited += 100) Sleep(100);
  ASSERT_EQ(Journal(), (std::vector<std::string>{setip, setip, "receivep6 hangs"}));
  DWORD_PTR ignored = 0;
  ASSERT_NE(SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored), 0)
      << "the window does not answer";
  // No label guesses: unknown from the start, then "no answer" once the
  // call is past the limit.
  ExpectLooks({"....", "xxxx"});
  std::wstring tip;
  for (int waited = 0; waited < 40000 && !StartsWith(tip, L"状態不明: スイッチが応答しない ("); waited += 500) {
    Sleep(500);
    tip = TipOf(3);
  }
  EXPECT_TRUE(StartsWith(tip, L"状態不明: スイッチが応答しない (") && EndsWith(tip, L" 秒)")) << Narrow(tip);
  for (int row = 0; row < kOutletCount; ++row) {
    EXPECT_TRUE(StartsWith(TipOf(row), L"状態不明: スイッチが応答しない (")) << "Sw" << row + 1;
  }
  ExpectLooks({"....", "xxxx"});
  // A wrong address is mended and saved while the switch hangs.
  const DWORD windowThread = GetWindowThreadProcessId(window_, nullptr);
  Type(kIdAddress, Widen(kOnScreen));
  EXPECT_EQ(TextOf(Control(kIdAddress)), Widen(kOnScreen));
  Click(kIdSaveAndQuit);
  EXPECT_EQ(WaitForExit(), 0) << "qel did not end";
  EXPECT_NE(ReadAll(Ini()).find(std::string("\r\nIP=") + kOnScreen + "\r\n"), std::string::npos) << ReadAll(Ini());
  // No poll was asked for behind the hung one.
  EXPECT_EQ(Journal().size(), 3u);
  ExpectOneThreadBesideTheWindows(JournalThreadIds(), windowThread);
}

// A slow first answer: every label unknown (dashed) with the reply awaited
// until it comes, then the truth, lit labels framed.
TEST_F(QelPanel, SlowSwitchFirstAnswerLeavesTheLabelsUnknownUntilItComes) {
  SetEnvironmentVariableW(L"QELSIM_FAULT", L"receivep6=slow8000");
  ASSERT_TRUE(StartWith(Library::kWhole, {{kSaved, 1 | 32}}));
  SetEnvironmentVariableW(L"QELSIM_FAULT", nullptr);
  const std::string answer = "receivep6 -> 33";
  const auto answered = [&] {
    const auto journal = Journal();
    return std::find(journal.begin(), journal.end(), answer) != journal.end();
  };
  // Looked at before the switch answered (the journal has its answer once
  // it has given it): unknown, and the tooltip says the reply is awaited.
  const std::vector<Look> looks = Looks();
  const std::wstring tip = TipOf(0);
  ASSERT_FALSE(answered()) << "the switch answered before the labels were looked at; no case for the test";
  EXPECT_EQ(looks, ExpectedLooks({"....", "xxxx"}));
  EXPECT_TRUE(StartsWith(tip, L"状態不明: スイッチの応答待ち")) << Narrow(tip);
  // After a second the tooltip counts the seconds.
  std::wstring counted;
  for (int waited = 0; waited < 3000 && !answered() && !EndsWith(counted, L" 秒)"); waited += 200) {
    Sleep(200);
    counted = TipOf(2);
  }
  if (!answered()) {
    EXPECT_TRUE(StartsWith(counted, L"状態不明: スイッチの応答待ち (") && EndsWith(counted, L" 秒)")) << Narrow(counted);
  }
  for (int waited = 0; waited < 30000 && !answered(); waited += 100) Sleep(100);
  ASSERT_TRUE(answered()) << "the switch never answered";
  ASSERT_TRUE(SetFault(nullptr));
  ExpectRows({"x.x.", "...."});
  ExpectStateTips("x.x.", kSaved);
  ExpectCloseLeavesIni();
}

// ON pressed while a poll is pending is carried out right after the poll,
// with the address and mask on screen when pressed; a second press
// meanwhile says that it waits for the first, and does nothing.
TEST_F(QelPanel, SlowSwitchOnDuringAPollIsCarriedOutAfterItAndASecondPressSaysSo) {
  ASSERT_TRUE(StartWith(Library::kWhole, {{kSaved, 0}, {kOnScreen, 0}}));
  ExpectRows({"....", "...."});
  Type(kIdAddress, Widen(kOnScreen));
  ASSERT_TRUE(SetFault(L"receivep6=slow6000"));
  // A poll is pending once the journal ends with its setip.
  const std::string pollSetip = std::string("setip ") + kSaved + " -> 0";
  for (int waited = 0; waited < 20000 && (Journal().empty() || Journal().back() != pollSetip); waited += 20) Sleep(20);
  ASSERT_EQ(Journal().back(), pollSetip) << "no poll became pending";
  const std::size_t from = Journal().size();
  Click(kIdOn + 1);  // mask 4
  Click(kIdOff + 2);
  const HWND box = WaitForMessageBox(10000);
  ASSERT_NE(box, nullptr) << "the second press said nothing";
  EXPECT_EQ(BoxText(box), L"切替できず: 前の操作の応答待ち");
  PressOk(box);
  // A call pending for a second or more is said after the state read last.
  std::wstring tip;
  for (int waited = 0; waited < 10000 && tip.find(L" / スイッチの応答待ち (") == std::wstring::npos; waited += 200) {
    tip = TipOf(1);
    Sleep(200);
  }
  EXPECT_TRUE(StartsWith(tip, StateTip(false, kSaved) + L" / スイッチの応答待ち (") && EndsWith(tip, L" 秒)"))
      << Narrow(tip);
  // In order: the poll's answer, then the switch.
  const std::string setip = std::string("setip ") + kOnScreen + " -> 0";
  for (int waited = 0; waited < 30000 && WordAt(kOnScreen) != 4; waited += 100) Sleep(100);
  ASSERT_TRUE(SetFault(nullptr));
  const auto journal = Journal();
  const std::vector<std::string> after(journal.begin() + static_cast<std::ptrdiff_t>(from),
                                       journal.begin() + static_cast<std::ptrdiff_t>(std::min(from + 5, journal.size())));
  EXPECT_EQ(after,
            (std::vector<std::string>{"receivep6 -> 0", setip, "receivep6 -> 0", "setdata 4 -> 4", "transfer 4 -> 4"}));
  EXPECT_EQ(WordAt(kOnScreen), 4);
  EXPECT_TRUE(NoMessageBoxFor(1000));
  ExpectOneThreadBesideTheWindows(JournalThreadIds(), GetWindowThreadProcessId(window_, nullptr));
  ExpectCloseLeavesIni();
}

// Polls that fail slowly are asked for less often, and the tooltips say
// when the next one is; a poll that answers brings back the half second.
TEST_F(QelPanel, SlowSwitchFailingPollsComeLessOftenAndSayWhenTheNextIs) {
  ASSERT_TRUE(StartWith(Library::kWhole, {{kSaved, 4}}));
  ExpectRows({".x..", "...."});
  ASSERT_TRUE(SetFault(L"receivep6=slow1500,receivep6=range"));
  std::wstring tip;
  for (int waited = 0; waited < 40000 && tip.find(L" / 次の確認は ") == std::wstring::npos; waited += 100) {
    tip = TipOf(1);
    Sleep(100);
  }
  EXPECT_TRUE(StartsWith(tip, L"状態不明: ") && tip.find(L" / 次の確認は ") != std::wstring::npos &&
              EndsWith(tip, L" 秒後"))
      << Narrow(tip);
  ExpectLooks({"....", "xxxx"});
  ASSERT_TRUE(SetFault(nullptr));
  for (int waited = 0; waited < 60000 && tip != StateTip(true, kSaved); waited += 100) {
    tip = TipOf(1);
    Sleep(100);
  }
  EXPECT_EQ(tip, StateTip(true, kSaved));
  ExpectRows({".x..", "...."});  // two polls and one more within the usual time
  ExpectCloseLeavesIni();
}

// A switch that answers every poll slowly but surely is asked again half a
// second after each answer, never later: the tooltips never say when the
// next poll is. After qel's own ON the labels follow within about one poll,
// since a poll is asked at once.
TEST_F(QelPanel, SlowSwitchThatAnswersIsPolledAtTheUsualPaceAndFollowsItsOwnOn) {
  ASSERT_TRUE(StartWith(Library::kWhole, {{kSaved, 0}}));
  ExpectRows({"....", "...."});
  ASSERT_TRUE(SetFault(L"receivep6=slow2000"));
  // Five slow polls: waits that doubled after each would be 16 s by now.
  const int polls = SetipCount();
  std::wstring backingOff;  // a tooltip that said when the next poll is
  for (int waited = 0; waited < 60000 && SetipCount() < polls + 5 && backingOff.empty(); waited += 200) {
    const std::wstring tip = TipOf(3);
    if (tip.find(L"次の確認は") != std::wstring::npos) backingOff = tip;
    Sleep(200);
  }
  EXPECT_EQ(Narrow(backingOff), "") << "the polls backed off";
  ASSERT_GE(SetipCount(), polls + 5) << "the slow polls did not come every 2.5 s or so";
  // Sw4 (mask 128) on: its label is lit within a switch and a poll, some
  // 2 + 2 s, with room for a slow machine, well before a backed-off poll.
  const DWORD pressed = GetTickCount();
  Click(kIdOn + 3);
  bool lit = false;
  while (!lit && GetTickCount() - pressed < 12000) {
    Sleep(200);
    lit = LookOfLabel(kIdOutletLabel + 3) == Expected(true, false);
  }
  EXPECT_TRUE(lit) << "Sw4 not lit 12 s after its own ON";
  EXPECT_EQ(WordAt(kSaved), 128);
  ASSERT_TRUE(SetFault(nullptr));
  ExpectCloseLeavesIni();
}

// ON pressed behind a poll that hangs: not carried out once that poll is
// past the limit (an outlet must not switch whenever the switch comes
// back), and said so; closing the window ends qel all the same.
TEST_F(QelPanel, SlowSwitchOnBehindAHungPollIsDroppedAtTheLimitAndClosingEndsQel) {
  ASSERT_TRUE(StartWith(Library::kWhole, {{kSaved, 4}, {kOnScreen, 0}}));
  ExpectRows({".x..", "...."});
  Type(kIdAddress, Widen(kOnScreen));
  ASSERT_TRUE(SetFault(L"receivep6=hang"));
  for (int waited = 0; waited < 20000 && (Journal().empty() || Journal().back() != "receivep6 hangs"); waited += 50) {
    Sleep(50);
  }
  ASSERT_EQ(Journal().back(), "receivep6 hangs");
  Click(kIdOn + 0);
  const HWND box = WaitForMessageBox(30000);
  ASSERT_NE(box, nullptr) << "the dropped ON said nothing";
  const std::wstring said = BoxText(box);
  EXPECT_TRUE(StartsWith(said, L"切替できず: スイッチが応答しない (") && EndsWith(said, L" 秒)")) << Narrow(said);
  PressOk(box);
  // Past the limit no label keeps the state it showed last.
  WaitForLooks({"....", "xxxx"});
  ExpectLooks({"....", "xxxx"});
  const auto journal = Journal();
  EXPECT_EQ(journal.back(), "receivep6 hangs");
  EXPECT_EQ(std::find(journal.begin(), journal.end(), std::string("setip ") + kOnScreen + " -> 0"), journal.end())
      << "the dropped ON reached the library";
  PostMessageW(window_, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForExit(), 0) << "qel did not end";
  EXPECT_EQ(WordAt(kOnScreen), 0);
  EXPECT_EQ(ReadAll(Ini()), ini_) << "ip.ini was written";
}

// Closing, with the close box or with 保存＆終了, while an OFF is under way:
// the window says that it waits, the OFF is carried out, and then qel
// ends.
TEST_F(QelPanel, SlowSwitchClosingWithAnOffUnderWayCarriesItOutFirst) {
  for (const bool saveAndQuit : {false, true}) {
    SCOPED_TRACE(saveAndQuit ? "保存＆終了" : "the close box");
    ASSERT_TRUE(StartWith(Library::kWhole, {{kSaved, 4}}));
    ExpectRows({".x..", "...."});
    ASSERT_TRUE(SetFault(L"transfer=slow4000"));
    Click(kIdOff + 1);  // mask 4, at the saved address
    for (int waited = 0; waited < 10000 && Journal().back().rfind("cleandata", 0) != 0; waited += 20) Sleep(20);
    ASSERT_EQ(Journal().back().rfind("cleandata", 0), 0u) << "the OFF did not begin: " << Journal().back();
    if (saveAndQuit) {
      Click(kIdSaveAndQuit);
    } else {
      PostMessageW(window_, WM_CLOSE, 0, 0);
    }
    std::wstring caption;
    for (int waited = 0; waited < 2000 && caption != L" qel設定: 切替の応答を待って終了"; waited += 50) {
      Sleep(50);
      caption = TextOf(window_);
    }
    EXPECT_EQ(caption, L" qel設定: 切替の応答を待って終了") << "the window does not say that it waits";
    EXPECT_TRUE(Running()) << "qel ended with the OFF under way";
    EXPECT_EQ(WaitForExit(20000), 0) << "qel did not end";
    const auto journal = Journal();
    EXPECT_NE(std::find(journal.begin(), journal.end(), "transfer 0 -> 0"), journal.end()) << "no transfer";
    EXPECT_EQ(WordAt(kSaved), 0) << "the OFF was lost";
    EXPECT_EQ(ReadAll(Ini()), ini_) << "ip.ini was written";
    SetEnvironmentVariableW(L"QELSIM_FAULT", nullptr);
  }
}

// Closing while an OFF hangs: at the limit the user is told that the outlet
// may or may not have switched, and qel ends.
TEST_F(QelPanel, SlowSwitchClosingWithAnOffThatHangsSaysItMayHaveSwitchedAndEnds) {
  ASSERT_TRUE(StartWith(Library::kWhole, {{kSaved, 4}}));
  ExpectRows({".x..", "...."});
  ASSERT_TRUE(SetFault(L"transfer=hang"));
  Click(kIdOff + 1);
  for (int waited = 0; waited < 10000 && Journal().back() != "transfer 0 hangs"; waited += 20) Sleep(20);
  ASSERT_EQ(Journal().back(), "transfer 0 hangs");
  PostMessageW(window_, WM_CLOSE, 0, 0);
  const HWND box = WaitForMessageBox(30000);
  ASSERT_NE(box, nullptr) << (Running() ? "nothing was said" : "qel ended without a word");
  const std::wstring said = BoxText(box);
  EXPECT_TRUE(StartsWith(said, L"切替できず: スイッチが応答しない (") &&
              EndsWith(said, L" 秒) (切り替わった可能性がある)"))
      << Narrow(said);
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(WaitForExit(), 0) << "qel did not end";
  EXPECT_EQ(ReadAll(Ini()), ini_) << "ip.ini was written";
}

// A socket.dll that never ends loading: the window shows, paints its labels
// (unknown) and answers, and closing it ends qel.
TEST_F(QelPanel, SlowSwitchALibraryThatHangsWhileItLoadsLeavesAWindowThatShowsAndCloses) {
  ASSERT_TRUE(StartWith(Library::kHangsWhileItLoads, {{kSaved, 4}}));
  Sleep(3000);  // the load has begun and hangs
  DWORD_PTR ignored = 0;
  ASSERT_NE(SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored), 0)
      << "the window does not answer";
  RepaintAll();
  EXPECT_TRUE(WaitForLooks({"....", "xxxx"})) << "the labels are not painted as unknown";
  ExpectLooks({"....", "xxxx"});
  PostMessageW(window_, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForExit(), 0) << "closing did not end qel";
  EXPECT_EQ(ReadAll(Ini()), ini_) << "ip.ini was written";
}

// ON pressed while socket.dll hangs in its load waits for it, and is
// dropped at the limit without a message box (under Wine one cannot come
// up while the loader is held); the window answers and closes all the same.
TEST_F(QelPanel, SlowSwitchOnWhileTheLibraryHangsInItsLoadIsDroppedAndTheWindowCloses) {
  ASSERT_TRUE(StartWith(Library::kHangsWhileItLoads, {{kSaved, 4}}));
  Sleep(3000);  // the load has begun and hangs
  // Pressed without moving the focus: the state tip beside a focused button
  // sends its tooltip a message that Wine's tooltips do not know, and the
  // first error Wine's comctl32 prints waits for the loader.
  PostMessageW(window_, WM_COMMAND, MAKEWPARAM(kIdOn + 1, BN_CLICKED), reinterpret_cast<LPARAM>(Control(kIdOn + 1)));
  Sleep((kCallLimitSeconds + 2) * 1000);
  DWORD_PTR ignored = 0;
  ASSERT_NE(SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored), 0)
      << "the window does not answer";
  EXPECT_TRUE(MessageBoxes().empty());
  PostMessageW(window_, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForExit(), 0) << "closing did not end qel";
  EXPECT_EQ(ReadAll(Ini()), ini_) << "ip.ini was written";
}

// ---------------------------------------------------------------------------
// The launch buttons start the command line in their field as it stands.

TEST_F(QelPanel, LaunchButtonsStartTheCommandLineAsItStands) {
  const std::string echo = "\"" + Narrow(dir_) + "\\echoargs.exe\"";
  ini_ = kIni;
  for (int j = 1; j <= 3; ++j) {
    const std::string key = "CMD" + std::to_string(j) + "=";
    ini_.replace(ini_.find(key), key.size(), key + echo + " from-ini");
  }
  WriteIni(ini_);
  ASSERT_TRUE(StartWith(Library::kWhole, {{kSaved, 0}}));
  const std::wstring log = dir_ + L"\\echoargs.log";

  const std::wstring fromField = Widen(echo) + L" from-field \"a b\"";
  Type(kIdCommandLine + 0, fromField);
  Click(kIdLaunch + 0);
  std::vector<std::string> started;
  for (int waited = 0; waited < 10000 && started.empty(); waited += 100) {
    Sleep(100);
    started = Lines(ReadAll(log));
  }
  EXPECT_EQ(started, std::vector<std::string>{Narrow(fromField) + "\t1"}) << "not started as typed, normal window";
  EXPECT_TRUE(NoMessageBoxFor(1000));

  struct Failure {
    const char* name;
    int index;
    const wchar_t* command;
    std::wstring message;
  };
  // The box names the command line and the system's reason with its code.
  const Failure failures[] = {
      {"empty field (ip.ini has a command)", 1, L"", L"起動できず: CMD2 が空"},
      {"no such program", 2, L"\"C:\\no such folder\\no-such-program.exe\" x",
       L"起動できず: CMD3 の「\"C:\\no such folder\\no-such-program.exe\" x」: " +
           SystemErrorText(ERROR_FILE_NOT_FOUND) + L" (2)"},
  };
  for (const Failure& f : failures) {
    SCOPED_TRACE(f.name);
    Type(kIdCommandLine + f.index, f.command);
    Click(kIdLaunch + f.index);
    ExpectOneBoxSayingOnly(f.message);
  }
  EXPECT_EQ(Lines(ReadAll(log)).size(), 1u) << "a failed launch started something";
  ExpectCloseLeavesIni();
}

// A path with blanks, in quotes as a file drop puts it, is saved, comes back
// from ip.ini with its quotes and starts that program: not "My.exe", which
// the same path without quotes would start first. So does it with a blank
// typed after it, which a read would trim before it strips the quotes.
TEST_F(QelPanel, AQuotedPathWithBlanksComesBackAndStartsThatProgramOnly) {
  const std::wstring tools = dir_ + L"\\My Tools";
  ASSERT_TRUE(CreateDirectoryW(tools.c_str(), nullptr));
  ASSERT_TRUE(CopyFileW(gEchoArgs.c_str(), (tools + L"\\run.exe").c_str(), FALSE));
  ASSERT_TRUE(CopyFileW(gEchoArgs.c_str(), (dir_ + L"\\My.exe").c_str(), FALSE));
  const std::wstring quoted = L"\"" + tools + L"\\run.exe\"";

  for (const std::wstring& typed : {quoted, quoted + L" "}) {
    SCOPED_TRACE(Narrow(typed));
    DeleteFileW((tools + L"\\echoargs.log").c_str());
    ASSERT_TRUE(StartWith(Library::kWhole, {{kSaved, 0}}));
    Type(kIdCommandLine + 0, typed);
    Click(kIdSaveAndQuit);
    EXPECT_EQ(WaitForExit(), 0);
    Stop();
    EXPECT_NE(ReadAll(Ini()).find("\r\nCMD1=\"" + Narrow(typed) + "\"\r\n"), std::string::npos) << ReadAll(Ini());

    ASSERT_TRUE(StartWith(Library::kWhole, {{kSaved, 0}}));
    EXPECT_EQ(TextOf(Control(kIdCommandLine + 0)), typed);
    Click(kIdLaunch + 0);
    std::vector<std::string> started;
    for (int waited = 0; waited < 10000 && started.empty(); waited += 100) {
      Sleep(100);
      started = Lines(ReadAll(tools + L"\\echoargs.log"));
    }
    EXPECT_EQ(started, std::vector<std::string>{Narrow(typed) + "\t1"});
    EXPECT_TRUE(NoMessageBoxFor(1000));
    Stop();
  }
  EXPECT_EQ(ReadAll(dir_ + L"\\echoargs.log"), "") << "My.exe was started";
}

// ---------------------------------------------------------------------------
// Screenshots for people to look at: Sw1 and Sw3 lit; the same with Sw1's
// tooltip; with Sw3's state below the window for its focused ON; a message
// box. Run under the Japanese locale, as scripts/run.sh
// runs qel.

// "dir\\name.png" with `suffix` before ".png".
std::wstring Beside(const std::wstring& png, const wchar_t* suffix) {
  return png.substr(0, png.size() - 4) + suffix + L".png";
}


TEST_F(QelPanel, Screenshot) {
  dpi_.Set(96);
  ASSERT_TRUE(StartWith(Library::kWhole, {{kSaved, 33}}));
  ExpectRows({"x.x.", "...."});
  Image image;
  ASSERT_TRUE(CaptureWindow(window_, image));
  SaveScreenshot(gScreenshot, image);
  EXPECT_EQ(ReadAll(gScreenshot).substr(0, 8), "\x89PNG\r\n\x1a\n");

  // Beside it (…-tip.png): the window with Sw1's tooltip, the state in words.
  RECT label = {};
  GetWindowRect(Control(kIdOutletLabel + 0), &label);
  SetCursorPos(label.right - 4, (label.top + label.bottom) / 2);
  HWND tip = nullptr;
  for (int waited = 0; waited < 5000 && tip == nullptr; waited += 100) {
    Sleep(100);
    tip = ShownTip();
  }
  ASSERT_NE(tip, nullptr) << "no tooltip over Sw1";
  Sleep(300);  // drawn
  RECT shown = {}, tipRect = {};
  GetWindowRect(window_, &shown);
  GetWindowRect(tip, &tipRect);
  UnionRect(&shown, &shown, &tipRect);
  ASSERT_TRUE(CaptureScreen(shown, image));
  SaveScreenshot(Beside(gScreenshot, L"-tip"), image);
  MouseAway();
  for (int waited = 0; waited < 5000 && ShownTip() != nullptr; waited += 100) Sleep(100);

  // And (…-focus-tip.png) the state of Sw3 below the window while its ON
  // has the focus.
  ASSERT_TRUE(TabTo(kIdOn + 2)) << "Tab did not reach Sw3's ON";
  tip = WaitForTip();
  ASSERT_NE(tip, nullptr) << "no tooltip for Sw3's ON";
  Sleep(300);  // drawn
  GetWindowRect(window_, &shown);
  GetWindowRect(tip, &tipRect);
  UnionRect(&shown, &shown, &tipRect);
  ASSERT_TRUE(CaptureScreen(shown, image));
  SaveScreenshot(Beside(gScreenshot, L"-focus-tip"), image);
  TabTo(kIdAddress);

  // And (…-message.png) a message box: a launch button with nothing to start.
  Click(kIdLaunch + 0);
  const HWND box = WaitForMessageBox(10000);
  ASSERT_NE(box, nullptr) << "no message box";
  Sleep(300);
  ASSERT_TRUE(CaptureWindow(box, image));
  SaveScreenshot(Beside(gScreenshot, L"-message"), image);
  PressOk(box);
  ExpectCloseLeavesIni();
}

// Every state of a label reads at 4.5:1 or more (WCAG AA), measured on the
// screen's pixels: on, off, and unknown after either; unknown tells itself
// apart by a frame, not by colour alone. Beside the screenshot
// (…-unknown.png): every outlet unknown.
TEST_F(QelPanel, ScreenshotEveryLabelStateReadsAtAaContrast) {
  dpi_.Set(96);
  ASSERT_TRUE(StartWith(Library::kWhole, {{kSaved, 1 | 32}}));
  ExpectRows({"x.x.", "...."});
  const char* const known[] = {"on", "off", "on", "off"};
  std::vector<Look> before;
  for (std::size_t row = 0; row < std::size(known); ++row) before.push_back(LookOfLabel(kIdOutletLabel + row));

  ASSERT_TRUE(SetFault(L"receivep6=range")) << "the probe could not set QELSIM_FAULT in qel";
  EXPECT_TRUE(WaitForLooks({"....", "xxxx"})) << "the labels did not turn unknown within 5 s";
  ExpectRows({"....", "xxxx"});
  std::vector<Look> after;
  for (std::size_t row = 0; row < std::size(known); ++row) after.push_back(LookOfLabel(kIdOutletLabel + row));
  Image image;
  ASSERT_TRUE(CaptureWindow(window_, image));
  SaveScreenshot(Beside(gScreenshot, L"-unknown"), image);

  for (std::size_t row = 0; row < std::size(known); ++row) {
    const std::string label = "Sw" + std::to_string(row + 1);
    for (const auto& [state, look] : {std::pair<std::string, Look>{known[row], before[row]},
                                      std::pair<std::string, Look>{std::string("unknown after ") + known[row],
                                                                   after[row]}}) {
      const double contrast = Contrast(look.text, look.background);
      printf("%s %s: %s, contrast %.2f:1\n", label.c_str(), state.c_str(),
             (testing::PrintToString(look)).c_str(), contrast);
      EXPECT_GE(contrast, 4.5) << label << " " << state << ": " << look;
    }
    EXPECT_EQ(before[row].frame, row % 2 == 0 ? Frame::kSolid : Frame::kNone) << label << " " << known[row];
    EXPECT_EQ(after[row].frame, Frame::kDashed) << label << " unknown";
  }
  ExpectCloseLeavesIni();
}

// A greyscale copy of an image (the luma of Rec. 601), as a user who
// tells no colours apart sees it.
Image Greyscale(const Image& image) {
  Image grey = image;
  for (std::size_t i = 0; i + 2 < grey.rgb.size(); i += 3) {
    const int luma = (299 * grey.rgb[i] + 587 * grey.rgb[i + 1] + 114 * grey.rgb[i + 2] + 500) / 1000;
    grey.rgb[i] = grey.rgb[i + 1] = grey.rgb[i + 2] = static_cast<std::uint8_t>(luma);
  }
  return grey;
}

Image Crop(const Image& image, const RECT& part) {
  Image out;
  out.width = part.right - part.left;
  out.height = part.bottom - part.top;
  for (int y = part.top; y < part.bottom; ++y) {
    const auto row = image.rgb.begin() + (static_cast<std::ptrdiff_t>(y) * image.width + part.left) * 3;
    out.rgb.insert(out.rgb.end(), row, row + static_cast<std::ptrdiff_t>(out.width) * 3);
  }
  return out;
}

// Every state of a label shows without colour: in a greyscale copy of the
// window, on, off and unknown each look other than the two others, by their
// frames (solid, none, dashed), whatever rows they are in. Beside the
// screenshot (…-grey.png): the greyscale copy, Sw1 on, Sw2 off, Sw3 and Sw4
// unknown.
TEST_F(QelPanel, ScreenshotEveryLabelStateShowsInGrey) {
  dpi_.Set(96);
  const struct {
    int word;
    FieldTexts masks;  // a mask that is no number: the rows from it on are unknown
    Rows rows;
  } arrangements[] = {
      {1, {L"1", L"4", L"abc", L"128"}, {"x...", "..xx"}},
      {4 | 32, {L"1", L"4", L"32", L"abc"}, {".xx.", "...x"}},
      {0, {L"abc", L"4", L"32", L"128"}, {"....", "xxxx"}},
      {4, {L"1", L"4", L"32", L"128"}, {".x..", "...."}},
  };
  ASSERT_TRUE(StartWith(Library::kWhole, {{kSaved, 0}}));
  std::map<std::string, std::set<Frame>> framesOf;  // by state
  for (const auto& a : arrangements) {
    SCOPED_TRACE(std::string("lit ") + a.rows.lit + ", unknown " + a.rows.unknown);
    SetMasks(a.masks);
    SetWord(kSaved, a.word);
    ExpectRows(a.rows);
    Image window;
    ASSERT_TRUE(CaptureWindow(window_, window));
    const Image grey = Greyscale(window);
    if (&a == &arrangements[0]) SaveScreenshot(Beside(gScreenshot, L"-grey"), grey);
    RECT frame = {}, client = {};
    GetWindowRect(window_, &frame);
    GetClientRect(window_, &client);
    MapWindowPoints(window_, nullptr, reinterpret_cast<POINT*>(&client), 2);
    for (int row = 0; row < kOutletCount; ++row) {
      RECT label = {}, visible = {};
      GetWindowRect(Control(kIdOutletLabel + row), &label);
      IntersectRect(&visible, &label, &client);
      OffsetRect(&visible, -frame.left, -frame.top);
      // In grey, the text and the frame are the label's darkest pixels.
      const Look look = LookOf(Crop(grey, visible));
      const std::string state = Unknown(a.rows.unknown, row) ? "unknown" : Lit(a.rows.lit, row) ? "on" : "off";
      const Frame expected = state == "unknown" ? Frame::kDashed : state == "on" ? Frame::kSolid : Frame::kNone;
      EXPECT_EQ(look.frame, expected) << "Sw" << row + 1 << " " << state << " shows " << NameOf(look.frame)
                                      << " in grey";
      framesOf[state].insert(look.frame);
    }
  }
  // Each state always the same way, and no two states alike.
  ASSERT_EQ(framesOf.size(), 3u);
  std::set<Frame> all;
  for (const auto& [state, frames] : framesOf) {
    EXPECT_EQ(frames.size(), 1u) << state << " shows in more than one way";
    all.insert(frames.begin(), frames.end());
  }
  EXPECT_EQ(all.size(), 3u) << "two states look alike in grey";
  ExpectCloseLeavesIni();
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (argc != 8) {
    fprintf(stderr,
            "usage: panel_tests qel.exe socket.dll missing-receivep6/socket.dll echoargs.exe window_probe.dll "
            "screenshot.png hanging-switch/socket.dll\n");
    return 2;
  }
  gQel = WindowsPath(argv[1]);
  gSocket = WindowsPath(argv[2]);
  gMissingReceive = WindowsPath(argv[3]);
  gEchoArgs = WindowsPath(argv[4]);
  gProbe = WindowsPath(argv[5]);
  gScreenshot = WindowsPath(argv[6]);
  gHangingLoad = WindowsPath(argv[7]);
  return RUN_ALL_TESTS();
}
