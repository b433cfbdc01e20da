// What the GUI driver tests of the window share: text and file helpers, the
// windows of a process, the display DPI setting, the probe inside qel's
// process, screen captures and the fixture QelWindow, which starts the real
// qel.exe in a folder of its own beside the simulated switch.
//
// Each test program includes this once (a single translation unit) and sets
// gQel, gSocket and gProbe from its arguments before running the tests.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "testing/windows_test_files.h"
#include "tests/qel_folder.h"
#include "win32/owned_handle.h"
#include "win32/window/control_ids.h"
#include "tests/gui/png_writer.h"
#include "tests/gui/probe.h"

namespace qel_window_test {

using namespace qel;
using namespace qel_test;

// The probe library, as a Windows path (qel.exe and the simulated socket.dll
// are qel_test::gQel and gSocket).
inline std::wstring gProbe;

inline std::wstring ClassOf(HWND hwnd) {
  wchar_t name[256] = {};
  GetClassNameW(hwnd, name, 256);
  return name;
}

inline std::wstring TextOf(HWND hwnd) {
  // WM_GETTEXT rather than GetWindowTextW, which does not ask a window of
  // another process for the text of its controls.
  const auto length = SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const auto copied = SendMessageW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(copied));
  return text;
}

inline bool SameText(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// The visible top-level windows of one process.
struct WindowSearch {
  DWORD processId;
  std::vector<HWND> found;
};

inline BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(hwnd, &owner);
  if (owner == search->processId && IsWindowVisible(hwnd)) search->found.push_back(hwnd);
  return TRUE;
}

inline std::vector<HWND> TopLevelWindows(DWORD processId) {
  WindowSearch search{processId, {}};
  EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

inline std::vector<HWND> ChildrenOfClass(HWND parent, const wchar_t* className) {
  std::vector<HWND> found;
  for (HWND child = FindWindowExW(parent, nullptr, className, nullptr); child != nullptr;
       child = FindWindowExW(parent, child, className, nullptr)) {
    found.push_back(child);
  }
  return found;
}

// The fields in the order of their keys in ip.ini: IP, SW1.., CMD1...
struct Field {
  std::string key;
  int id;
};
inline const std::vector<Field> kFields = [] {
  std::vector<Field> fields = {{"IP", kIdAddress}};
  for (int i = 0; i < kOutletCount; ++i) fields.push_back({"SW" + std::to_string(i + 1), kIdMask + i});
  for (int i = 0; i < kCommandCount; ++i) fields.push_back({"CMD" + std::to_string(i + 1), kIdCommandLine + i});
  return fields;
}();
using FieldTexts = std::vector<std::wstring>;  // one per kFields entry

// Where each kind of field is in kFields.
inline constexpr std::size_t kAddressField = 0;
inline constexpr std::size_t MaskField(int outlet) { return static_cast<std::size_t>(outlet); }
inline constexpr std::size_t CommandField(int command) { return static_cast<std::size_t>(kOutletCount + command); }

// A text for every field: the address, the masks from Sw1 on and the command
// lines from CMD1 on; those not given are empty.
inline FieldTexts Texts(const std::wstring& address, const FieldTexts& masks, const FieldTexts& commands) {
  EXPECT_LE(masks.size(), static_cast<std::size_t>(kOutletCount));
  EXPECT_LE(commands.size(), static_cast<std::size_t>(kCommandCount));
  FieldTexts texts(kFields.size());
  texts[kAddressField] = address;
  for (std::size_t i = 0; i < masks.size(); ++i) texts[MaskField(static_cast<int>(i) + 1)] = masks[i];
  for (std::size_t i = 0; i < commands.size(); ++i) texts[CommandField(static_cast<int>(i) + 1)] = commands[i];
  return texts;
}

// The lines of fields `first` to `end` (not included) in kFields' order, as
// the profile functions write them, in the code page given.
inline std::string IniLines(const FieldTexts& values, std::size_t first = 0, std::size_t end = kFields.size(),
                            UINT codePage = CP_ACP) {
  std::string lines;
  for (std::size_t i = first; i < end && i < kFields.size(); ++i) {
    lines += kFields[i].key + "=" + Narrow(values[i], codePage) + "\r\n";
  }
  return lines;
}

// ip.ini as the profile functions write it: [Qelmark] with a line for each
// field.
inline std::string IniOf(const FieldTexts& values, UINT codePage = CP_ACP) {
  return "[Qelmark]\r\n" + IniLines(values, 0, kFields.size(), codePage);
}

// ---------------------------------------------------------------------------
// The probe library (probe.h) hooked into the GUI thread of qel's window for
// as long as this lives.
class Probe {
 public:
  explicit Probe(HWND window) : window_(window) {
    module_ = LoadLibraryW(gProbe.c_str());
    const auto hook =
        module_ ? reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(module_, qel_probe::kHookName)))
                : nullptr;
    if (hook == nullptr) {
      ADD_FAILURE() << "the probe library did not load: " << Narrow(gProbe);
      return;
    }
    const std::wstring name = qel_probe::kExchangePrefix + std::to_wstring(GetCurrentProcessId());
    mapping_.Reset(
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(qel_probe::Exchange), name.c_str()));
    if (mapping_) {
      shared_ = static_cast<qel_probe::Exchange*>(
          MapViewOfFile(mapping_.get(), FILE_MAP_WRITE, 0, 0, sizeof(qel_probe::Exchange)));
    }
    hook_ = SetWindowsHookExW(WH_CALLWNDPROC, hook, module_, GetWindowThreadProcessId(window_, nullptr));
    EXPECT_NE(hook_, nullptr) << "SetWindowsHookEx: " << GetLastError();
    EXPECT_NE(shared_, nullptr) << "no shared memory for the probe";
  }
  Probe(const Probe&) = delete;
  Probe& operator=(const Probe&) = delete;
  ~Probe() {
    if (hook_ != nullptr) UnhookWindowsHookEx(hook_);
    if (shared_ != nullptr) UnmapViewOfFile(shared_);
  }

  // answered is 0 when the probe did not answer.
  qel_probe::FontReport Font(int id) {
    if (!Ask(qel_probe::kFontMessage, id)) return {};
    return shared_->font;
  }
  qel_probe::TipReport Tip(int id) {
    if (!Ask(qel_probe::kTipMessage, id)) return {};
    return shared_->tip;
  }

  // Drops a file list holding `path` on the control; answered is 0 when the
  // probe did not answer.
  qel_probe::DropRequest Drop(int id, const std::wstring& path) {
    if (shared_ == nullptr) return {};
    *shared_ = {};
    lstrcpynW(shared_->drop.path, path.c_str(), MAX_PATH);
    if (!Ask(qel_probe::kDropMessage, id, false)) return {};
    return shared_->drop;
  }

  // Counts from now on how often qel shows a tooltip and takes one down.
  bool CountTipShows() { return Ask(qel_probe::kTipShowsMessage, 1); }
  // The counts since CountTipShows; answered is 0 when the probe did not
  // answer.
  qel_probe::ShowReport TipShows() {
    if (!Ask(qel_probe::kTipShowsMessage, 0)) return {};
    return shared_->shows;
  }

  // Has qel's process answer SPI_GETHIGHCONTRAST with "on" (or again as the
  // system does), and sets the system colours given there. The request as
  // answered (slots, coloursDone); answered is 0 when the probe did not
  // answer.
  qel_probe::ThemeRequest Theme(bool highContrast, const std::vector<std::pair<int, COLORREF>>& colours = {}) {
    if (shared_ == nullptr || colours.size() > static_cast<std::size_t>(qel_probe::kMostColours)) return {};
    *shared_ = {};
    qel_probe::ThemeRequest& request = shared_->theme;
    request.highContrast = highContrast ? 1 : 0;
    request.count = static_cast<LONG>(colours.size());
    for (std::size_t i = 0; i < colours.size(); ++i) {
      request.elements[i] = colours[i].first;
      request.colours[i] = colours[i].second;
    }
    if (!Ask(qel_probe::kThemeMessage, 0, false)) return {};
    return request;
  }
  // Puts back the colours Theme set, answering as the system does; whether
  // each reads as it was.
  bool RestoreTheme() {
    if (shared_ == nullptr) return false;
    *shared_ = {};
    shared_->theme.count = -1;
    return Ask(qel_probe::kThemeMessage, 0, false) && shared_->theme.coloursDone == 1;
  }

  // Sets an environment variable of qel's process; nullptr removes it.
  bool SetEnvironment(const wchar_t* name, const wchar_t* value) {
    if (shared_ == nullptr) return false;
    *shared_ = {};
    qel_probe::EnvironmentRequest& request = shared_->environment;
    lstrcpynW(request.name, name, static_cast<int>(std::size(request.name)));
    request.remove = value == nullptr;
    if (value != nullptr) lstrcpynW(request.value, value, static_cast<int>(std::size(request.value)));
    return Ask(qel_probe::kEnvironmentMessage, 0, false) && request.answered == 1 && request.done != 0;
  }

 private:
  bool Ask(const wchar_t* messageName, LPARAM lParam, bool clear = true) {
    if (hook_ == nullptr || shared_ == nullptr) return false;
    if (clear) *shared_ = {};
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(window_, RegisterWindowMessageW(messageName), GetCurrentProcessId(), lParam, SMTO_ABORTIFHUNG,
                        5000, &ignored);
    return shared_->font.answered == 1;  // the first member of every report
  }

  HWND window_;
  HMODULE module_ = nullptr;
  qel::OwnedHandle mapping_;
  qel_probe::Exchange* shared_ = nullptr;
  HHOOK hook_ = nullptr;
};

// ---------------------------------------------------------------------------
// Screen pixels.

struct Image {
  int width = 0, height = 0;
  std::vector<std::uint8_t> rgb;  // top row first
  COLORREF At(int x, int y) const {
    const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
    return RGB(rgb[i], rgb[i + 1], rgb[i + 2]);
  }
};

// The pixels of a rectangle of the screen as they show; false when they
// could not be copied.
inline bool CaptureScreen(const RECT& rect, Image& image) {
  image.width = rect.right - rect.left;
  image.height = rect.bottom - rect.top;
  image.rgb.clear();
  if (image.width <= 0 || image.height <= 0) return false;
  const HDC screen = GetDC(nullptr);
  const HDC memory = CreateCompatibleDC(screen);
  const HBITMAP bitmap = CreateCompatibleBitmap(screen, image.width, image.height);
  const HGDIOBJ old = SelectObject(memory, bitmap);
  const bool copied = BitBlt(memory, 0, 0, image.width, image.height, screen, rect.left, rect.top, SRCCOPY);
  SelectObject(memory, old);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = image.width;
  info.bmiHeader.biHeight = -image.height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<std::uint8_t> bgra(static_cast<std::size_t>(image.width) * image.height * 4);
  const int rows = GetDIBits(memory, bitmap, 0, static_cast<UINT>(image.height), bgra.data(), &info, DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  for (std::size_t i = 0; i < bgra.size(); i += 4) {
    image.rgb.push_back(bgra[i + 2]);
    image.rgb.push_back(bgra[i + 1]);
    image.rgb.push_back(bgra[i]);
  }
  return copied && rows == image.height;
}

// A colour as #RRGGBB.
inline std::string Hex(COLORREF colour) {
  char text[16];
  snprintf(text, sizeof(text), "#%02X%02X%02X", GetRValue(colour), GetGValue(colour), GetBValue(colour));
  return text;
}

// A window's pixels, frame included.
inline bool CaptureWindow(HWND window, Image& image) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  return CaptureScreen(rect, image);
}

// Writes the image as PNG to the path and as a plain PPM beside it (same
// name, ".ppm"), which check_screenshot.sh compares with the decoded PNG.
inline void SaveScreenshot(const std::wstring& pngPath, const Image& image) {
  const std::wstring folder = pngPath.substr(0, pngPath.find_last_of(L'\\'));
  CreateDirectoryW(folder.c_str(), nullptr);
  WriteAll(pngPath, png::Encode(image.width, image.height, image.rgb));
  const std::wstring ppm = pngPath.substr(0, pngPath.size() - 4) + L".ppm";
  WriteAll(ppm, "P6\n" + std::to_string(image.width) + " " + std::to_string(image.height) + "\n255\n" +
                    std::string(image.rgb.begin(), image.rgb.end()));
}

// ---------------------------------------------------------------------------
// WinEvents: what a screen reader hears of qel, as it hears it.

// Waits as the test's own thread must for events: delivering them.
inline void PumpFor(DWORD milliseconds) {
  for (DWORD waited = 0; waited < milliseconds; waited += 20) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    Sleep(20);
  }
}

// One event as a hook outside qel's process got it.
struct WinEventSeen {
  DWORD event;
  HWND hwnd;
  LONG object;
  LONG child;
  std::wstring said;  // what the Reader read of the object right then, if any
};

// The events `first` to `last` of one process, in order, while this lives
// (one at a time): a hook outside the process, as a screen reader's, whose
// events come while the test's thread pumps its messages (PumpFor). A Reader,
// when given, reads something of the event's object as soon as it comes, as
// a reader speaks it.
class WatchWinEvents {
 public:
  using Reader = std::wstring (*)(HWND hwnd, LONG object, LONG child);

  WatchWinEvents(DWORD processId, DWORD first, DWORD last, Reader reader = nullptr) {
    Seen().clear();
    ReaderNow() = reader;
    hook_ = SetWinEventHook(first, last, nullptr, &OnEvent, processId, 0, WINEVENT_OUTOFCONTEXT);
    EXPECT_NE(hook_, nullptr) << "SetWinEventHook: " << GetLastError();
  }
  WatchWinEvents(const WatchWinEvents&) = delete;
  WatchWinEvents& operator=(const WatchWinEvents&) = delete;
  ~WatchWinEvents() {
    if (hook_ != nullptr) UnhookWinEvent(hook_);
    ReaderNow() = nullptr;
  }

  static std::vector<WinEventSeen>& Seen() {
    static std::vector<WinEventSeen> seen;
    return seen;
  }

  // The events seen of kind `event`, on `hwnd` (any window when null).
  static std::vector<WinEventSeen> Of(DWORD event, HWND hwnd = nullptr) {
    std::vector<WinEventSeen> found;
    for (const WinEventSeen& seen : Seen()) {
      if (seen.event == event && (hwnd == nullptr || seen.hwnd == hwnd)) found.push_back(seen);
    }
    return found;
  }

 private:
  static Reader& ReaderNow() {
    static Reader reader = nullptr;
    return reader;
  }
  static void CALLBACK OnEvent(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG object, LONG child, DWORD, DWORD) {
    Seen().push_back({event, hwnd, object, child, ReaderNow() ? ReaderNow()(hwnd, object, child) : std::wstring()});
  }

  HWINEVENTHOOK hook_ = nullptr;
};

// ---------------------------------------------------------------------------
// The display DPI of the programs started next, as Wine reads it at process
// start (and Windows at logon): HKCU\Control Panel\Desktop "LogPixels".
class DpiSetting {
 public:
  DpiSetting() = default;
  DpiSetting(const DpiSetting&) = delete;
  DpiSetting& operator=(const DpiSetting&) = delete;
  ~DpiSetting() { Restore(); }

  void Set(DWORD dpi) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    if (!saved_) {
      DWORD size = sizeof(original_), type = 0;
      hadValue_ =
          RegQueryValueExW(key, kValue, nullptr, &type, reinterpret_cast<BYTE*>(&original_), &size) == ERROR_SUCCESS &&
          type == REG_DWORD;
      saved_ = true;
    }
    const LONG result = RegSetValueExW(key, kValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof(dpi));
    RegCloseKey(key);
    ASSERT_EQ(result, ERROR_SUCCESS);
  }

  void Restore() {
    if (!saved_) return;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
      if (hadValue_) {
        RegSetValueExW(key, kValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&original_), sizeof(original_));
      } else {
        RegDeleteValueW(key, kValue);
      }
      RegCloseKey(key);
    }
    saved_ = false;
  }

 private:
  static constexpr wchar_t kKey[] = L"Control Panel\\Desktop";
  static constexpr wchar_t kValue[] = L"LogPixels";
  bool saved_ = false;
  bool hadValue_ = false;
  DWORD original_ = 0;
};

// ---------------------------------------------------------------------------
// The test's folder with qel.exe and the simulated socket.dll; qel.exe
// started there shows its window, and whatever is left of it is ended
// afterwards.
class QelWindow : public QelFolderTest {
 protected:
  QelWindow() : QelFolderTest(L"qel-window-") {}

  void TearDown() override {
    Stop();
    dpi_.Restore();
    SetFileAttributesW(Ini().c_str(), FILE_ATTRIBUTE_NORMAL);
    QelFolderTest::TearDown();
  }

  void WriteIni(const std::string& content) { WriteAll(Ini(), content); }
  std::vector<std::string> Journal() const { return JournalCalls(ReadAll(JournalPath())); }
  // The thread of each call in the journal.
  std::vector<std::string> JournalThreadIds() const { return JournalThreads(ReadAll(JournalPath())); }

  // Starts qel.exe ("qel.exe" plus the argument text, if any) and waits for
  // its window; false (with a failure) when no window comes.
  bool Start(const std::wstring& arguments = L"") {
    Stop();
    std::wstring commandLine = arguments.empty() ? L"qel.exe" : L"qel.exe " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION information = {};
    const std::wstring exe = dir_ + L"\\qel.exe";
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, dir_.c_str(), &startup,
                        &information)) {
      ADD_FAILURE() << "qel.exe did not start: " << GetLastError();
      return false;
    }
    process_.Take(information);
    for (int i = 0; i < 300; ++i) {
      for (HWND hwnd : TopLevelWindows(process_.id)) {
        if (ClassOf(hwnd) == L"qel") window_ = hwnd;
      }
      if (window_ != nullptr) break;
      if (WaitForSingleObject(process_.process.get(), 100) == WAIT_OBJECT_0) {
        DWORD code = 0;
        GetExitCodeProcess(process_.process.get(), &code);
        ADD_FAILURE() << "qel.exe ended with exit code " << code << " without showing its window";
        return false;
      }
    }
    if (window_ == nullptr) {
      ADD_FAILURE() << "qel.exe showed no window of class \"qel\" within 30 s";
      return false;
    }
    // Shown and then idle: the start-up routine has run.
    WaitForInputIdle(process_.process.get(), 10000);
    return true;
  }

  bool Running() const {
    return process_.process && WaitForSingleObject(process_.process.get(), 0) == WAIT_TIMEOUT;
  }

  // Waits for qel to end by itself; its exit code, or -1 if it did not end.
  long WaitForExit(DWORD milliseconds = 15000) {
    if (!process_.process) return -1;
    if (WaitForSingleObject(process_.process.get(), milliseconds) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(process_.process.get(), &code);
    return static_cast<long>(code);
  }

  // Message boxes of qel's process.
  std::vector<HWND> MessageBoxes() const {
    std::vector<HWND> boxes;
    if (!process_.process) return boxes;
    for (HWND hwnd : TopLevelWindows(process_.id)) {
      if (ClassOf(hwnd) == L"#32770") boxes.push_back(hwnd);
    }
    return boxes;
  }

  HWND WaitForMessageBox(DWORD milliseconds = 15000) {
    for (DWORD waited = 0; waited < milliseconds && Running(); waited += 100) {
      const auto boxes = MessageBoxes();
      if (!boxes.empty()) return boxes.front();
      Sleep(100);
    }
    return nullptr;
  }

  // Dismisses any message box, ends qel if it still runs.
  void Stop() {
    if (!process_.process) return;
    for (HWND box : MessageBoxes()) PostMessageW(box, WM_COMMAND, IDOK, 0);
    if (WaitForSingleObject(process_.process.get(), 0) == WAIT_TIMEOUT) {
      TerminateProcess(process_.process.get(), 255);
      WaitForSingleObject(process_.process.get(), 10000);
    }
    process_ = qel::OwnedProcess();
    window_ = nullptr;
  }

  HWND Control(int id) const { return GetDlgItem(window_, id); }

  // Answers a message box with OK and waits until it is gone.
  static void AnswerOk(HWND box) {
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    for (int i = 0; i < 50 && IsWindow(box); ++i) Sleep(100);
  }

  // Presses "保存＆終了" where the save must be refused: a message box comes,
  // is answered with OK, and qel stays with the fields as they were. The
  // texts of the box, one per text control; none when no box came.
  std::vector<std::wstring> PressSaveAndQuitRefused() {
    const std::vector<std::wstring> edits = Fields();
    PostMessageW(Control(kIdSaveAndQuit), BM_CLICK, 0, 0);
    const HWND box = WaitForMessageBox();
    std::vector<std::wstring> said;
    if (box == nullptr) {
      ADD_FAILURE() << (Running() ? "no message box came" : "qel ended as if it had saved");
      return said;
    }
    for (HWND text : ChildrenOfClass(box, L"Static")) said.push_back(TextOf(text));
    AnswerOk(box);
    EXPECT_TRUE(Running()) << "qel ended after the message";
    EXPECT_EQ(Fields(), edits);
    return said;
  }

  // The control of qel's window that has the keyboard focus.
  HWND FocusedControl() const {
    GUITHREADINFO thread = {};
    thread.cbSize = sizeof(thread);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window_, nullptr), &thread)) return nullptr;
    return thread.hwndFocus;
  }

  // Presses Tab on the keyboard, with qel's window in front, and waits for
  // the focus to move. Should the key not reach qel (a display that gives
  // another window the keyboard), the Tab goes to the focused control as a
  // message: qel's message loop handles both alike.
  void PressTab() {
    const HWND before = FocusedControl();
    INPUT keys[2] = {};
    for (INPUT& key : keys) {
      key.type = INPUT_KEYBOARD;
      key.ki.wVk = VK_TAB;
    }
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, keys, sizeof(INPUT));
    for (int waited = 0; waited < 1000 && FocusedControl() == before; waited += 20) Sleep(20);
    if (FocusedControl() != before || before == nullptr) return;
    PostMessageW(before, WM_KEYDOWN, VK_TAB, 0x000F0001);
    PostMessageW(before, WM_KEYUP, VK_TAB, static_cast<LPARAM>(0xC00F0001));
    for (int waited = 0; waited < 2000 && FocusedControl() == before; waited += 20) Sleep(20);
  }

  // Tabs forward until control `id` has the focus; false if it never does.
  bool TabTo(int id) {
    for (int presses = 0; presses < 30; ++presses) {
      if (FocusedControl() == Control(id)) return true;
      PressTab();
    }
    return FocusedControl() == Control(id);
  }

  FieldTexts Fields() const {
    FieldTexts texts;
    for (const Field& field : kFields) texts.push_back(TextOf(Control(field.id)));
    return texts;
  }

  void SetFields(const FieldTexts& texts) {
    for (std::size_t i = 0; i < std::size(kFields); ++i) {
      SendMessageW(Control(kFields[i].id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(texts[i].c_str()));
    }
  }

  // Types the text into a field as the keyboard would: select all, delete,
  // then one WM_CHAR per character.
  void Type(int id, const std::wstring& text) {
    const HWND field = Control(id);
    SendMessageW(field, EM_SETSEL, 0, -1);
    SendMessageW(field, WM_CHAR, VK_BACK, 0);
    for (const wchar_t c : text) SendMessageW(field, WM_CHAR, c, 0);
  }

  // The font of each control, read inside qel's process by the probe.
  std::vector<qel_probe::FontReport> Fonts(const std::vector<int>& ids) {
    std::vector<qel_probe::FontReport> reports;
    Probe probe(window_);
    for (const int id : ids) reports.push_back(probe.Font(id));
    return reports;
  }

  qel::OwnedProcess process_;
  HWND window_ = nullptr;
  DpiSetting dpi_;
};

}  // namespace qel_window_test
