// The window of the real qel.exe for a user who does not see it, and for one
// who runs Windows with large text: driven from outside under Wine.
//
// A screen reader's view, through oleacc as a reader walks it: every field
// and button has a name of its own, each outlet label says its outlet's
// state, and a change of state, and only a change, is announced.
// Large text: at 144 and 192 DPI every text field shows its whole border,
// no label's caption touches the window's left edge, and the lit label's
// frame has all four edges, read from the screen's pixels.
//
// Arguments: qel.exe, the simulated socket.dll, the probe library (for the
// shared driver) and the folder for the screenshots at each DPI
// (window-144dpi.png …); Unix paths are taken as Wine paths on drive Z:.
#include "tests/gui/window_driver.h"

#include <oleacc.h>

#include <algorithm>
#include <map>
#include <utility>

#include "win32/window/live_panel.h"

namespace {

using namespace qel_window_test;

std::wstring gScreenshots;  // the folder of the screenshots

constexpr char kSaved[] = "10.0.0.5";  // the address saved in ip.ini

std::wstring StateTip(const std::wstring& word) { return word + L" (保存済みの IP " + Widen(kSaved) + L" の状態)"; }
const std::wstring kOn = StateTip(L"オン");
const std::wstring kOff = StateTip(L"オフ");

// ip.ini: the saved address and the usual masks, SW1=1, SW2=4, SW3=32,
// SW4=128.
const std::string kIni = std::string("[Qelmark]\r\nIP=") + kSaved + "\r\nSW1=1\r\nSW2=4\r\nSW3=32\r\nSW4=128\r\n";

// What a reader asks of one accessible object about itself.
struct Heard {
  std::wstring name, value, description;
  bool answered = false;  // the object was there
};

std::wstring Take(BSTR text) {
  std::wstring taken = text != nullptr ? std::wstring(text, SysStringLen(text)) : L"";
  SysFreeString(text);
  return taken;
}

Heard Ask(IAccessible* object) {
  Heard heard;
  if (object == nullptr) return heard;
  VARIANT self = {};
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR text = nullptr;
  heard.answered = true;
  if (object->get_accName(self, &text) == S_OK) heard.name = Take(text);
  text = nullptr;
  if (object->get_accValue(self, &text) == S_OK) heard.value = Take(text);
  text = nullptr;
  if (object->get_accDescription(self, &text) == S_OK) heard.description = Take(text);
  return heard;
}

// What the control's own object says, as a reader gets it for a focus or an
// event on the control.
Heard AskControl(HWND control) {
  IAccessible* object = nullptr;
  if (FAILED(AccessibleObjectFromWindow(control, OBJID_CLIENT, IID_IAccessible, reinterpret_cast<void**>(&object)))) {
    return {};
  }
  const Heard heard = Ask(object);
  object->Release();
  return heard;
}

// What each child of the window says, by control id, walked as a reader
// walks the window: its client object's children.
std::map<int, Heard> Walk(HWND window) {
  std::map<int, Heard> heard;
  IAccessible* client = nullptr;
  if (FAILED(AccessibleObjectFromWindow(window, OBJID_CLIENT, IID_IAccessible, reinterpret_cast<void**>(&client)))) {
    ADD_FAILURE() << "no accessible object for the window";
    return heard;
  }
  LONG count = 0;
  client->get_accChildCount(&count);
  std::vector<VARIANT> children(static_cast<std::size_t>(std::max(count, 0L)));
  LONG obtained = 0;
  if (count > 0 && SUCCEEDED(AccessibleChildren(client, 0, count, children.data(), &obtained))) {
    for (LONG i = 0; i < obtained; ++i) {
      VARIANT& child = children[static_cast<std::size_t>(i)];
      if (child.vt == VT_DISPATCH && child.pdispVal != nullptr) {
        IAccessible* object = nullptr;
        if (SUCCEEDED(child.pdispVal->QueryInterface(IID_IAccessible, reinterpret_cast<void**>(&object)))) {
          HWND hwnd = nullptr;
          WindowFromAccessibleObject(object, &hwnd);
          // A child window's own object, whose name Windows gives from its
          // client object; Wine gives none there, and a reader then asks
          // the client object.
          if (hwnd != nullptr) {
            Heard said = Ask(object);
            if (said.name.empty()) said = AskControl(hwnd);
            heard[GetDlgCtrlID(hwnd)] = said;
          }
          object->Release();
        }
      }
      VariantClear(&child);
    }
  }
  client->Release();
  return heard;
}

class QelAccessible : public QelWindow {
 protected:
  void SetUp() override {
    QelWindow::SetUp();
    if (HasFatalFailure()) return;
    WriteIni(kIni);
  }

  // Starts qel with the switch at the saved address holding `word`, and
  // waits until the controls answer a reader with their own names (the
  // window sets that up once it shows) and the first poll has shown the
  // labels' state.
  bool StartWithWord(int word) {
    SetWord(word);
    if (!Start()) return false;
    for (int waited = 0; waited < 20000; waited += 100) {
      if (AskControl(Control(kIdOn + 0)).name == L"Sw1 ON" &&
          !AskControl(Control(kIdOutletLabel + 0)).value.empty()) {
        return true;
      }
      Sleep(100);
    }
    ADD_FAILURE() << "the controls did not answer with their own names within 20 s";
    return false;
  }

  // The switch's word at the saved address, replaced in one step.
  void SetWord(int word) {
    const std::wstring temporary = StatePath() + L".test";
    WriteAll(temporary, std::string(kSaved) + "=" + std::to_string(word) + "\n");
    ASSERT_TRUE(MoveFileExW(temporary.c_str(), StatePath().c_str(), MOVEFILE_REPLACE_EXISTING));
  }

  // One setip per poll.
  int Polls() const {
    const auto journal = Journal();
    return static_cast<int>(std::count_if(journal.begin(), journal.end(),
                                          [](const std::string& line) { return line.rfind("setip ", 0) == 0; }));
  }

  // Waits until the poll has run n more times, delivering events meanwhile.
  void AwaitPolls(int n) {
    const int target = Polls() + n;
    for (int waited = 0; waited < 10000; waited += 50) {
      if (Polls() >= target) return;
      PumpFor(50);
    }
    ADD_FAILURE() << "the poll did not run " << n << " more times within 10 s";
  }

  // Waits (up to 10 s) until the label's value is `value`; the value then.
  std::wstring AwaitValue(int outlet, const std::wstring& value) {
    std::wstring heard;
    for (int waited = 0; waited < 10000; waited += 100) {
      heard = AskControl(Control(kIdOutletLabel + outlet)).value;
      if (heard == value) break;
      PumpFor(100);
    }
    return heard;
  }
};

// ---------------------------------------------------------------------------
// Names: what a reader says for each control, walking the window and on the
// control itself (as at its focus).

struct NameCase {
  int id;
  const wchar_t* name;
};

const NameCase kNames[] = {
    {kIdAddress, L"IP"},
    {kIdSaveAndQuit, L"保存＆終了"},
    {kIdMask + 0, L"Sw1"},
    {kIdMask + 1, L"Sw2"},
    {kIdMask + 2, L"Sw3"},
    {kIdMask + 3, L"Sw4"},
    {kIdCommandLine + 0, L"CMD1"},
    {kIdCommandLine + 1, L"CMD2"},
    {kIdCommandLine + 2, L"CMD3"},
    {kIdLaunch + 0, L"CMD1"},
    {kIdLaunch + 1, L"CMD2"},
    {kIdLaunch + 2, L"CMD3"},
    {kIdOn + 0, L"Sw1 ON"},
    {kIdOn + 1, L"Sw2 ON"},
    {kIdOn + 2, L"Sw3 ON"},
    {kIdOn + 3, L"Sw4 ON"},
    {kIdOff + 0, L"Sw1 OFF"},
    {kIdOff + 1, L"Sw2 OFF"},
    {kIdOff + 2, L"Sw3 OFF"},
    {kIdOff + 3, L"Sw4 OFF"},
    {kIdAddressLabel, L"IP"},
    {kIdOutletLabel + 0, L"Sw1"},
    {kIdOutletLabel + 1, L"Sw2"},
    {kIdOutletLabel + 2, L"Sw3"},
    {kIdOutletLabel + 3, L"Sw4"},
};

TEST_F(QelAccessible, EveryFieldAndButtonHasItsOwnName) {
  ASSERT_TRUE(StartWithWord(0));
  const std::map<int, Heard> walked = Walk(window_);
  for (const NameCase& c : kNames) {
    SCOPED_TRACE("control " + std::to_string(c.id) + ", \"" + Narrow(c.name) + "\"");
    EXPECT_EQ(Narrow(AskControl(Control(c.id)).name), Narrow(c.name)) << "on the control";
    const auto found = walked.find(c.id);
    if (found == walked.end()) {
      ADD_FAILURE() << "not among the window's children";
    } else {
      EXPECT_EQ(Narrow(found->second.name), Narrow(c.name)) << "walking the window";
    }
  }
  // Without qel's own objects (an older reader, a system that asks no
  // window): the system's default object names a field after the label just
  // before it, which is its own.
  for (const Field& field : kFields) {
    if (field.id != kIdAddress && (field.id < kIdMask || field.id >= kIdMask + kOutletCount)) continue;
    IAccessible* standard = nullptr;
    ASSERT_EQ(CreateStdAccessibleObject(Control(field.id), OBJID_CLIENT, IID_IAccessible,
                                        reinterpret_cast<void**>(&standard)),
              S_OK);
    const Heard heard = Ask(standard);
    standard->Release();
    EXPECT_EQ(Narrow(heard.name), field.key == "IP" ? "IP" : "Sw" + field.key.substr(2)) << field.key << " field";
  }
  // The texts on screen are the captions, as before.
  EXPECT_EQ(TextOf(Control(kIdOn + 0)), L"ON");
  EXPECT_EQ(TextOf(Control(kIdOff + 3)), L"OFF");
  EXPECT_EQ(TextOf(Control(kIdOutletLabel + 1)), L"Sw2");
}

// ---------------------------------------------------------------------------
// State: each label's value and description say its outlet's state in the
// tooltip's words; the description of an ON or OFF button and of the mask
// field names its outlet and that state.

TEST_F(QelAccessible, EachLabelSaysItsOutletsState) {
  ASSERT_TRUE(StartWithWord(1 | 32));  // Sw1 and Sw3 on
  const std::wstring unknown = L"状態不明: Sw3 のマスクが数値でない (保存済みの IP " + Widen(kSaved) + L" の状態)";
  const struct {
    const char* name;
    const wchar_t* sw3Mask;
    std::vector<std::wstring> states;  // Sw1 … Sw4
  } cases[] = {
      {"on and off", L"32", {kOn, kOff, kOn, kOff}},
      {"unknown from Sw3 on", L"x", {kOn, kOff, unknown, unknown}},
      {"back again", L"32", {kOn, kOff, kOn, kOff}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Type(kIdMask + 2, c.sw3Mask);
    AwaitValue(2, c.states[2]);
    for (int outlet = 0; outlet < kOutletCount; ++outlet) {
      SCOPED_TRACE("Sw" + std::to_string(outlet + 1));
      const std::wstring& state = c.states[static_cast<std::size_t>(outlet)];
      const Heard label = AskControl(Control(kIdOutletLabel + outlet));
      EXPECT_EQ(Narrow(label.name), "Sw" + std::to_string(outlet + 1));
      EXPECT_EQ(Narrow(label.value), Narrow(state));
      EXPECT_EQ(Narrow(label.description), Narrow(state));
      const std::wstring named = L"Sw" + std::to_wstring(outlet + 1) + L": " + state;
      EXPECT_EQ(Narrow(AskControl(Control(kIdOn + outlet)).description), Narrow(named)) << "ON";
      EXPECT_EQ(Narrow(AskControl(Control(kIdOff + outlet)).description), Narrow(named)) << "OFF";
      EXPECT_EQ(Narrow(AskControl(Control(kIdMask + outlet)).description), Narrow(named)) << "mask field";
    }
  }
}

// ---------------------------------------------------------------------------
// Events: a change of an outlet's state raises EVENT_OBJECT_VALUECHANGE on
// its label, once; a poll that changed nothing raises none.

TEST_F(QelAccessible, AChangeOfStateIsAnnouncedAndOnlyThen) {
  ASSERT_TRUE(StartWithWord(1));  // Sw1 on
  const WatchWinEvents watch(process_.id, EVENT_OBJECT_VALUECHANGE, EVENT_OBJECT_VALUECHANGE);
  const auto labelEvents = [this] {
    std::vector<int> outlets;
    for (const WinEventSeen& seen : WatchWinEvents::Of(EVENT_OBJECT_VALUECHANGE)) {
      const int id = GetDlgCtrlID(seen.hwnd);
      if (seen.object == OBJID_CLIENT && seen.child == CHILDID_SELF && GetParent(seen.hwnd) == window_ &&
          id >= kIdOutletLabel && id < kIdOutletLabel + kOutletCount) {
        outlets.push_back(id - kIdOutletLabel);
      }
    }
    return outlets;
  };

  AwaitPolls(3);
  EXPECT_EQ(labelEvents(), std::vector<int>()) << "polls that changed nothing were announced";

  SetWord(1 | 4);  // Sw2 turns on at the device
  EXPECT_EQ(Narrow(AwaitValue(1, kOn)), Narrow(kOn));
  AwaitPolls(3);
  EXPECT_EQ(labelEvents(), std::vector<int>{1}) << "Sw2's change, once";

  WatchWinEvents::Seen().clear();
  SetWord(4);  // Sw1 off
  EXPECT_EQ(Narrow(AwaitValue(0, kOff)), Narrow(kOff));
  AwaitPolls(3);
  EXPECT_EQ(labelEvents(), std::vector<int>{0}) << "Sw1's change, once";
}

// Where the user is: a reader mostly speaks the focused control's changes.
// With the focus on an outlet's ON or OFF button or mask field, a change of
// that outlet's state raises EVENT_OBJECT_DESCRIPTIONCHANGE on the focused
// control, once, and its description says the new state when the reader
// asks; a poll that changed nothing, or a change of another outlet, raises
// none. The label still raises VALUECHANGE, and LIVEREGIONCHANGED (the
// labels are a polite live region where the system has Dynamic
// Annotation), once each.

constexpr DWORD kLiveRegionChanged = 0x8019;  // EVENT_OBJECT_LIVEREGIONCHANGED, Windows 8

// What a reader speaks for an event on a control: its description, asked
// of the event's object as the event comes.
std::wstring DescriptionOf(HWND hwnd, LONG object, LONG child) {
  IAccessible* accessible = nullptr;
  VARIANT found = {};
  if (FAILED(AccessibleObjectFromEvent(hwnd, static_cast<DWORD>(object), static_cast<DWORD>(child), &accessible,
                                       &found)) ||
      accessible == nullptr) {
    return L"(no object)";
  }
  BSTR text = nullptr;
  const std::wstring said = accessible->get_accDescription(found, &text) == S_OK ? Take(text) : L"";
  VariantClear(&found);
  accessible->Release();
  return said;
}

TEST_F(QelAccessible, AChangeIsAnnouncedOnTheFocusedControlOfItsOutlet) {
  ASSERT_TRUE(StartWithWord(1));  // Sw1 on
  SetForegroundWindow(window_);
  const std::wstring sw1On = L"Sw1: " + kOn, sw1Off = L"Sw1: " + kOff;
  const struct {
    const char* name;
    int focus;        // the control Tab reaches first
    int word;         // then set at the device
    int outlet;       // the outlet whose state that changes
    const std::wstring* described;  // the focused control's new description, or none raised
  } cases[] = {
      {"Sw1 off, the focus on Sw1's ON", kIdOn + 0, 0, 0, &sw1Off},
      {"Sw2 on, the focus on Sw1's ON", kIdOn + 0, 4, 1, nullptr},
      {"Sw1 on, the focus on Sw1's OFF", kIdOff + 0, 1 | 4, 0, &sw1On},
      {"Sw1 off, the focus on Sw1's mask field", kIdMask + 0, 4, 0, &sw1Off},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(TabTo(c.focus)) << "Tab did not reach the control";
    const WatchWinEvents watch(process_.id, EVENT_OBJECT_DESCRIPTIONCHANGE, kLiveRegionChanged, &DescriptionOf);
    AwaitPolls(2);
    EXPECT_TRUE(WatchWinEvents::Of(EVENT_OBJECT_DESCRIPTIONCHANGE).empty()) << "a poll that changed nothing";
    EXPECT_TRUE(WatchWinEvents::Of(EVENT_OBJECT_VALUECHANGE).empty()) << "a poll that changed nothing";

    SetWord(c.word);
    const std::wstring state = (c.word & (1 << (2 * c.outlet))) != 0 ? kOn : kOff;
    EXPECT_EQ(Narrow(AwaitValue(c.outlet, state)), Narrow(state));
    AwaitPolls(3);
    const std::vector<WinEventSeen> described = WatchWinEvents::Of(EVENT_OBJECT_DESCRIPTIONCHANGE);
    if (c.described == nullptr) {
      EXPECT_TRUE(described.empty()) << "another outlet's change was announced on the focused control";
    } else {
      EXPECT_EQ(described.size(), 1u) << "not once";
    }
    if (c.described != nullptr && !described.empty()) {
      EXPECT_EQ(described.front().hwnd, Control(c.focus)) << "not on the focused control";
      EXPECT_EQ(described.front().object, OBJID_CLIENT);
      EXPECT_EQ(described.front().child, CHILDID_SELF);
      EXPECT_EQ(Narrow(described.front().said), Narrow(*c.described)) << "what the reader heard";
      EXPECT_EQ(Narrow(AskControl(Control(c.focus)).description), Narrow(*c.described));
    }
    HWND label = Control(kIdOutletLabel + c.outlet);
    EXPECT_EQ(WatchWinEvents::Of(EVENT_OBJECT_VALUECHANGE).size(), 1u);
    EXPECT_EQ(WatchWinEvents::Of(EVENT_OBJECT_VALUECHANGE, label).size(), 1u) << "the label's value";
    EXPECT_EQ(WatchWinEvents::Of(kLiveRegionChanged).size(), 1u);
    EXPECT_EQ(WatchWinEvents::Of(kLiveRegionChanged, label).size(), 1u) << "the live region";
  }
}

// ---------------------------------------------------------------------------
// Large text: the window's pixels at 144 and 192 DPI.

// The pixels of a rectangle of the screen given in the window's client
// coordinates.
Image CaptureClientPart(HWND window, RECT part) {
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&part), 2);
  Image image;
  EXPECT_TRUE(CaptureScreen(part, image));
  return image;
}

RECT PlaceOf(HWND window, HWND control) {
  RECT rect = {};
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

// One side of a rectangle's outermost ring of pixels.
enum class Side { kTop, kRight, kBottom, kLeft };
constexpr Side kSides[] = {Side::kTop, Side::kRight, Side::kBottom, Side::kLeft};
const char* NameOf(Side side) {
  switch (side) {
    case Side::kTop: return "top";
    case Side::kRight: return "right";
    case Side::kBottom: return "bottom";
    case Side::kLeft: return "left";
  }
  return "?";
}

// The colour of that side, the corners left out, or CLR_INVALID when it is
// not one colour all along (another control covers part of it).
COLORREF SideColour(const Image& image, Side side) {
  const bool across = side == Side::kTop || side == Side::kBottom;
  const int length = across ? image.width : image.height;
  const auto at = [&](int i) -> COLORREF {
    switch (side) {
      case Side::kTop: return image.At(i, 0);
      case Side::kBottom: return image.At(i, image.height - 1);
      case Side::kLeft: return image.At(0, i);
      case Side::kRight: return image.At(image.width - 1, i);
    }
    return CLR_INVALID;
  };
  if (length < 3) return CLR_INVALID;
  const COLORREF first = at(1);
  for (int i = 2; i < length - 1; ++i) {
    if (at(i) != first) return CLR_INVALID;
  }
  return first;
}

// The leftmost column of the image, from column `from` on and within rows
// `top` to `bottom` (not included), that holds a pixel of another colour than
// `background`; -1 if none.
int FirstColumnNotOf(const Image& image, COLORREF background, int from, int top, int bottom) {
  for (int x = from; x < image.width; ++x) {
    for (int y = top; y < bottom; ++y) {
      if (image.At(x, y) != background) return x;
    }
  }
  return -1;
}

class QelLargeText : public QelAccessible, public testing::WithParamInterface<int> {};

TEST_P(QelLargeText, EveryFieldHasItsBorderAndEveryLabelItsWholeCaption) {
  const int dpi = GetParam();
  const int unit = std::max(1, dpi / 96);  // the frame's unit
  dpi_.Set(static_cast<DWORD>(dpi));
  ASSERT_TRUE(StartWithWord(1));  // Sw1 on, lit; Sw2 … Sw4 off
  SetForegroundWindow(window_);
  SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
  AwaitPolls(2);
  RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  AwaitPolls(1);

  Image window;
  ASSERT_TRUE(CaptureWindow(window_, window));
  SaveScreenshot(gScreenshots + L"\\window-" + std::to_wstring(dpi) + L"dpi.png", window);

  // Every text field: each side of its border one colour all along, the
  // same as the address field's (which nothing comes near), whose top differs
  // from the inside of a field.
  std::vector<COLORREF> reference;
  for (const Field& field : kFields) {
    SCOPED_TRACE(field.key + " field");
    const Image shown = CaptureClientPart(window_, PlaceOf(window_, Control(field.id)));
    std::vector<COLORREF> sides;
    for (const Side side : kSides) sides.push_back(SideColour(shown, side));
    if (reference.empty()) {
      reference = sides;
      EXPECT_NE(reference.front(), GetSysColor(COLOR_WINDOW)) << "the address field shows no border";
    }
    for (std::size_t i = 0; i < std::size(kSides); ++i) {
      EXPECT_TRUE(sides[i] != CLR_INVALID && sides[i] == reference[i])
          << "the " << NameOf(kSides[i]) << " of its border is covered or missing";
    }
  }

  // The labels at the window's left edge: Sw1 (lit, framed), Sw2 (off) and
  // "IP". No pixel of a caption in the window's first column, nor touching
  // the lit frame.
  for (const int id : {kIdOutletLabel + 0, kIdOutletLabel + 1, int{kIdAddressLabel}}) {
    SCOPED_TRACE("label " + Narrow(TextOf(Control(id))));
    const RECT place = PlaceOf(window_, Control(id));
    const Image shown = CaptureClientPart(window_, {0, place.top, place.right, place.bottom});
    const bool lit = id == kIdOutletLabel + 0;
    const int frame = lit ? 2 * unit : 0;
    const int first =
        FirstColumnNotOf(shown, lit ? kLitColour : GetSysColor(COLOR_BTNFACE), frame, frame, shown.height - frame);
    ASSERT_GE(first, 0) << "no caption";
    EXPECT_GT(first, frame) << (lit ? "the caption touches the frame" : "the caption touches the window's edge");
  }

  // The lit label's frame: every pixel of its outermost ring, on all four
  // sides, in the frame's colour.
  const RECT lit = PlaceOf(window_, Control(kIdOutletLabel + 0));
  const Image shown = CaptureClientPart(window_, lit);
  for (const Side side : kSides) {
    EXPECT_EQ(SideColour(shown, side), kLitTextColour) << "the frame's " << NameOf(side) << " has gaps or is missing";
  }
  EXPECT_EQ(shown.At(2 * unit, shown.height / 2), kLitColour) << "inside the frame is not the lit colour";
}

INSTANTIATE_TEST_SUITE_P(Dpi, QelLargeText, testing::Values(120, 144, 192),
                         [](const testing::TestParamInfo<int>& info) { return std::to_string(info.param); });

// ---------------------------------------------------------------------------
// High contrast: while the system reports a high-contrast theme, a lit
// label takes the theme's selection colours (COLOR_HIGHLIGHT with
// COLOR_HIGHLIGHTTEXT) and a solid frame in its text colour
// (COLOR_WINDOWTEXT), an unknown one keeps its dashed frame, and nothing in
// the window keeps the pink of qel's own. Switched while qel runs
// (WM_SETTINGCHANGE), it shows at once.
//
// Wine 8 has no high-contrast theme: SPI_GETHIGHCONTRAST says "off" always
// and SPI_SETHIGHCONTRAST does nothing, and system colours set in one
// process (SetSysColors) do not reach another. So the probe, inside qel's
// process, answers "on" as Windows would and sets the theme's colours
// there; and puts them back at the end (Wine keeps them for the session).

// High Contrast Black: white text on black, cyan selection with black text.
const std::vector<std::pair<int, COLORREF>> kHighContrastBlack = {
    {COLOR_WINDOW, RGB(0, 0, 0)},           {COLOR_WINDOWTEXT, RGB(255, 255, 255)},
    {COLOR_BTNFACE, RGB(0, 0, 0)},          {COLOR_BTNTEXT, RGB(255, 255, 255)},
    {COLOR_BTNSHADOW, RGB(255, 255, 255)},  {COLOR_BTNHIGHLIGHT, RGB(255, 255, 255)},
    {COLOR_3DDKSHADOW, RGB(255, 255, 255)}, {COLOR_3DLIGHT, RGB(255, 255, 255)},
    {COLOR_HIGHLIGHT, RGB(26, 235, 255)},   {COLOR_HIGHLIGHTTEXT, RGB(0, 0, 0)},
    {COLOR_INFOBK, RGB(0, 0, 0)},           {COLOR_INFOTEXT, RGB(255, 255, 255)},
    {COLOR_WINDOWFRAME, RGB(255, 255, 255)}, {COLOR_GRAYTEXT, RGB(63, 242, 63)},
};

COLORREF ThemeColour(int element) {
  for (const auto& [which, colour] : kHighContrastBlack) {
    if (which == element) return colour;
  }
  return CLR_INVALID;
}

// The theme set in qel's process for as long as this lives; its colours put
// back as they were when it goes.
class ThemeInQel {
 public:
  explicit ThemeInQel(HWND window) : probe_(window) {}
  ThemeInQel(const ThemeInQel&) = delete;
  ThemeInQel& operator=(const ThemeInQel&) = delete;
  ~ThemeInQel() {
    if (set_) probe_.RestoreTheme();
  }

  // Sets the theme's colours, high contrast reported "on" or not; the import
  // slots the probe answers for (0 or less: it answers none).
  long Set(bool highContrast, bool colours) {
    const qel_probe::ThemeRequest done =
        probe_.Theme(highContrast, colours ? kHighContrastBlack : std::vector<std::pair<int, COLORREF>>());
    set_ = set_ || (colours && done.coloursDone == 1);
    EXPECT_EQ(done.answered, 1) << "the probe did not answer";
    EXPECT_EQ(done.coloursDone, 1) << "SetSysColors in qel's process";
    return done.answered == 1 ? done.slots : -1;
  }
  bool Restore() {
    set_ = false;
    return probe_.RestoreTheme();
  }

 private:
  Probe probe_;
  bool set_ = false;
};

// How many pixels of the image are of each colour.
std::map<COLORREF, int> ColourCounts(const Image& image) {
  std::map<COLORREF, int> counts;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) ++counts[image.At(x, y)];
  }
  return counts;
}

COLORREF MostOf(const Image& image) {
  const std::map<COLORREF, int> counts = ColourCounts(image);
  return std::max_element(counts.begin(), counts.end(),
                          [](const auto& a, const auto& b) { return a.second < b.second; })
      ->first;
}

// Whether the row of pixels `y` holds both colours (dashes and their gaps).
bool RowHolds(const Image& image, int y, COLORREF a, COLORREF b) {
  bool hasA = false, hasB = false;
  for (int x = 0; x < image.width; ++x) {
    hasA = hasA || image.At(x, y) == a;
    hasB = hasB || image.At(x, y) == b;
  }
  return hasA && hasB;
}

class QelHighContrast : public QelAccessible {
 protected:
  // Tells qel's window that the system's settings changed, as Windows does
  // when high contrast is switched on or off, and waits for qel to take it.
  void SettingChanged() {
    DWORD_PTR ignored = 0;
    const LRESULT taken =
        SendMessageTimeoutW(window_, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
    ASSERT_NE(taken, 0) << "qel did not take WM_SETTINGCHANGE";
    Sleep(200);  // the display shows what qel painted
  }
  Image Label(int outlet) { return CaptureClientPart(window_, PlaceOf(window_, Control(kIdOutletLabel + outlet))); }
};

TEST_F(QelHighContrast, TheLitLabelTakesTheThemesSelectionColoursAndNothingKeepsItsOwn) {
  ASSERT_TRUE(StartWithWord(1 | 32));  // Sw1 and Sw3 on
  Type(kIdMask + 3, L"x");            // Sw4 unknown
  SetForegroundWindow(window_);
  SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
  AwaitPolls(3);
  ThemeInQel theme(window_);
  // The theme's colours, but no high-contrast theme reported: the lit
  // labels keep their pink.
  ASSERT_GT(theme.Set(false, true), 0) << "the probe found no SystemParametersInfoW call of qel's to answer";
  AwaitPolls(1);
  EXPECT_EQ(Hex(MostOf(Label(0))), Hex(kLitColour)) << "before high contrast is on";

  // Switched on while qel runs.
  theme.Set(true, false);
  SettingChanged();
  const COLORREF selection = ThemeColour(COLOR_HIGHLIGHT), selectionText = ThemeColour(COLOR_HIGHLIGHTTEXT);
  const COLORREF text = ThemeColour(COLOR_WINDOWTEXT), face = ThemeColour(COLOR_BTNFACE);
  const COLORREF buttonText = ThemeColour(COLOR_BTNTEXT);
  for (const int outlet : {0, 2}) {
    SCOPED_TRACE("lit Sw" + std::to_string(outlet + 1) + ", at once");
    const Image lit = Label(outlet);
    EXPECT_EQ(Hex(MostOf(lit)), Hex(selection)) << "the background is not the theme's selection colour";
    EXPECT_GT(ColourCounts(lit)[selectionText], 0) << "no caption in the selection's text colour";
    for (const Side side : kSides) {
      EXPECT_EQ(Hex(SideColour(lit, side)), Hex(text))
          << "the frame's " << NameOf(side) << " is not solid in the text colour";
    }
  }
  const Image off = Label(1);
  EXPECT_EQ(Hex(MostOf(off)), Hex(face)) << "Sw2, off";
  for (const Side side : kSides) EXPECT_EQ(Hex(SideColour(off, side)), Hex(face)) << "Sw2 has a frame";
  const Image unknown = Label(3);
  EXPECT_EQ(Hex(MostOf(unknown)), Hex(face)) << "Sw4, unknown";
  EXPECT_TRUE(RowHolds(unknown, 0, buttonText, face)) << "Sw4 has no dashed frame";
  // Nothing in qel's own colours.
  Image window;
  ASSERT_TRUE(CaptureWindow(window_, window));
  EXPECT_EQ(ColourCounts(window)[kLitColour], 0) << "pixels in the pink of qel's own";
  SaveScreenshot(gScreenshots + L"\\window-high-contrast.png", window);

  // Switched off again while qel runs: the pink, at once.
  theme.Set(false, false);
  SettingChanged();
  EXPECT_EQ(Hex(MostOf(Label(0))), Hex(kLitColour)) << "high contrast off";
  EXPECT_TRUE(theme.Restore()) << "the system colours were not put back";
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (argc != 5) {
    fprintf(stderr, "usage: accessibility_tests qel.exe socket.dll window_probe.dll screenshot-folder\n");
    return 2;
  }
  gQel = WindowsPath(argv[1]);
  gSocket = WindowsPath(argv[2]);
  gProbe = WindowsPath(argv[3]);
  gScreenshots = WindowsPath(argv[4]);
  CoInitialize(nullptr);
  const int result = RUN_ALL_TESTS();
  CoUninitialize();
  return result;
}
