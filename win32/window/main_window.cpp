#include "win32/window/main_window.h"

#include <optional>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/numbers.h"
#include "core/save_texts.h"
#include "core/settings.h"
#include "core/settings_save.h"
#include "core/window_texts.h"
#include "win32/delay_loads.h"
#include "win32/window/control_ids.h"
#include "win32/window/controls.h"
#include "win32/window/file_drop.h"
#include "win32/window/fonts.h"
#include "win32/window/frame.h"
#include "win32/window/layout.h"

namespace qel {
namespace {

constexpr wchar_t kClassName[] = L"qel";

// WM_GETDPISCALEDSIZE (Windows 10 1703), which the headers for Windows 7
// leave out.
constexpr UINT kMsgGetDpiScaledSize = 0x02E4;

// Every field with its ip.ini key and the name the window shows for it.
struct SavedField {
  int id;
  std::wstring key;
  std::wstring shownAs;
};
std::vector<SavedField> SavedFields() {
  std::vector<SavedField> fields = {{kIdAddress, kAddressKey, texts::kAddressCaption}};
  for (int outlet = 0; outlet < kOutletCount; ++outlet) {
    fields.push_back({kIdMask + outlet, MaskKey(outlet + 1), texts::OutletName(outlet)});
  }
  for (int command = 0; command < kCommandCount; ++command) {
    fields.push_back({kIdCommandLine + command, CommandKey(command + 1), texts::CommandName(command)});
  }
  return fields;
}

}  // namespace

HWND MainWindow::Create(HINSTANCE instance) {
  if (!RegisterFrameClass(kClassName, instance, &MainWindow::WindowProc)) return nullptr;

  int dpi = 96;
  if (CreateFrameWindow(kClassName, instance, this, dpi) == nullptr) return nullptr;
  gothicFont_.Reset(CreateGothicFont(dpi));
  messageFont_.Reset(CreateMessageFont(dpi));
  CreateLayoutControls(hwnd_, instance, dpi, gothicFont_.get(), messageFont_.get());
  panel_.Attach(hwnd_);
  return hwnd_;
}

void MainWindow::FinishSetUp() {
  // OLE first: the objects the controls hand to screen readers go through
  // it. Without it there is just no drop, and readers get the system's own.
  ole_.emplace();
  panel_.FinishSetUp(reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(hwnd_, GWLP_HINSTANCE)));
  // Files dropped on the command fields.
  if (ole_->ok()) {
    for (int command = 0; command < kCommandCount; ++command) {
      HWND field = GetDlgItem(hwnd_, kIdCommandLine + command);
      auto* target = new FileDropTarget(field);
      RegisterDragDrop(field, target);
      target->Release();  // the registration holds it now
    }
  }
  // The window has shown and painted, and has loaded all it loads itself
  // (OLE, the tooltips, oleacc for screen readers, and now every function
  // it may call): only then is the library called. A socket.dll that hangs
  // while it loads holds the system's loader for good, and the window must
  // still paint, answer and close.
  // Painted whole once: whatever a first paint loads is loaded now.
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  LoadEveryDelayedImport();
  panel_.OpenLibrary();
}

void MainWindow::OnDpiChanged(int dpi, const RECT& suggested) {
  OwnedFont gothicFont(CreateGothicFont(dpi));
  OwnedFont messageFont(CreateMessageFont(dpi));
  SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  PlaceLayoutControls(hwnd_, dpi, gothicFont.get(), messageFont.get());
  panel_.ControlsMoved();
  // The controls have the new fonts now: the old ones can go.
  gothicFont_ = std::move(gothicFont);
  messageFont_ = std::move(messageFont);
}

void MainWindow::FillFromSettings() {
  Platform& platform = library_.platform();
  // The switch is selected from the library's thread: a library that
  // cannot be loaded or called, or a switch that does not answer, keeps
  // neither the fields from ip.ini nor the window (the layout's initial
  // texts would otherwise be saved over the user's settings). An address
  // that names no switch is not handed to it at all (SelectSwitch).
  std::wstring address;
  if (!FailureOf([&] { address = ReadSetting(platform, kAddressKey); })) panel_.Select(address);
  // A field whose value cannot be read (an ip.ini path the code page cannot
  // hold) shows empty: no other file stands in. What each field got is kept:
  // saving writes only the fields the user changed.
  filled_.clear();
  for (const SavedField& field : SavedFields()) {
    std::wstring value;
    FailureOf([&] { value = ReadSetting(platform, field.key); });
    SetControlText(hwnd_, field.id, value);
    filled_.push_back(value);
  }
  SetTimer(hwnd_, kPollTimer, kPollMilliseconds, nullptr);
  PostMessageW(hwnd_, kMsgFirstPoll, 0, 0);
}

void MainWindow::SaveAndQuit() {
  // ip.ini is replaced whole once every value is in and has read back as
  // typed, or not at all: a value saved as other text, or cut, would start
  // another program later; half a save would pair a new address with old
  // masks.
  const std::vector<SavedField> saved = SavedFields();
  std::vector<FieldToSave> fields;
  for (std::size_t i = 0; i < saved.size(); ++i) {
    const std::optional<std::wstring> filled = i < filled_.size() ? std::optional(filled_[i]) : std::nullopt;
    fields.push_back({saved[i].key, saved[i].shownAs, filled, ControlText(hwnd_, saved[i].id)});
  }
  Platform& platform = library_.platform();
  if (const std::optional<SaveFailure> failure = SaveSettings(platform, fields)) {
    // Keep the window and the user's edits: they can free the file and
    // retry.
    const std::wstring message = texts::SaveFailureMessage(SettingsFilePath(platform), *failure);
    MessageBoxW(hwnd_, message.c_str(), texts::kMessageTitle, MB_OK);
    return;
  }
  // Closing ends the event loop; qel ends with code 0.
  Close();
}

void MainWindow::Close() {
  if (closing_) return;
  closing_ = true;
  if (panel_.SwitchOutstanding()) {
    // An ON or OFF that was pressed is carried out before the window goes:
    // the caption says so, and nothing can be pressed meanwhile.
    SetWindowTextW(hwnd_, texts::kClosingAfterSwitch);
    for (HWND control = GetWindow(hwnd_, GW_CHILD); control != nullptr; control = GetWindow(control, GW_HWNDNEXT)) {
      EnableWindow(control, FALSE);
    }
  }
  // Then the event loop ends, and qel with it (main.cpp ends the process at
  // once): the window is not taken down control by control first, which
  // can wait for the system's loader (comctl32 resolves functions of its
  // own then), and a socket.dll that hangs while it loads holds the loader
  // for good.
  panel_.CloseAfterSwitch([] { PostQuitMessage(0); });
}

int MainWindow::Run() {
  ShowWindow(hwnd_, SW_SHOWNORMAL);
  UpdateWindow(hwnd_);
  SetFocus(GetDlgItem(hwnd_, kIdAddress));
  PostMessageW(hwnd_, kMsgFinishSetUp, 0, 0);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (hwnd_ != nullptr && IsDialogMessageW(hwnd_, &message)) continue;  // Tab moves between the controls
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}

void MainWindow::OnCommand(int id, int notification) {
  if (notification != BN_CLICKED) return;
  if (id == kIdSaveAndQuit) {
    SaveAndQuit();
  } else if (id >= kIdOn && id < kIdOn + kOutletCount) {
    panel_.SwitchFromScreen(id - kIdOn, true);
  } else if (id >= kIdOff && id < kIdOff + kOutletCount) {
    panel_.SwitchFromScreen(id - kIdOff, false);
  } else if (id >= kIdLaunch && id < kIdLaunch + kCommandCount) {
    panel_.Launch(id - kIdLaunch);
  }
}

void MainWindow::SayStopped(texts::Unexpected failure, StoppedIn where) {
  if (where == StoppedIn::kPoll) {
    // As the poll's other failures: no message, the next tick tries again.
    panel_.ShowStatusStopped(texts::StatusStopped(failure));
    return;
  }
  // One box at a time: a failure that comes back while it is up (in a
  // message its modal loop dispatches) is not said again.
  if (sayingStopped_) return;
  const std::wstring text = texts::Stopped(failure);
  sayingStopped_ = true;
  MessageBoxW(hwnd_, text.c_str(), texts::kMessageTitle, MB_OK | MB_ICONWARNING);
  sayingStopped_ = false;
}

void MainWindow::OnDestroy() {
  KillTimer(hwnd_, kPollTimer);
  if (ole_ && ole_->ok()) {
    for (int command = 0; command < kCommandCount; ++command) {
      RevokeDragDrop(GetDlgItem(hwnd_, kIdCommandLine + command));
    }
  }
  PostQuitMessage(0);
}

LRESULT CALLBACK MainWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* window = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    window->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
  }
  auto* window = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (window == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
  // The edge: no exception goes back into the system. A failure while a
  // stopped one is said is not reported again: it would come back at once.
  const bool poll =
      message == kMsgFirstPoll || message == kMsgLibraryAnswer || (message == WM_TIMER && wParam == kPollTimer);
  return StopAtEdge(message == kMsgCallbackStopped ? nullptr : hwnd, poll ? StoppedIn::kPoll : StoppedIn::kMessage,
                    LRESULT{0}, [&] { return window->HandleMessage(message, wParam, lParam); });
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_CTLCOLORSTATIC:
      // Labels are opaque: lit, or in the button face colour.
      return panel_.LabelColours(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case kMsgGetDpiScaledSize:
      // The size at the new DPI (wParam) comes from the layout, not from
      // scaling the frame: the client area is then exactly the table's.
      *reinterpret_cast<SIZE*>(lParam) = FrameSizeAtDpi(static_cast<int>(wParam));
      return TRUE;
    case WM_DPICHANGED:
      OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    case kMsgFinishSetUp:
      FinishSetUp();
      return 0;
    case kMsgFirstPoll:
      panel_.PollIfDue();
      return 0;
    case kMsgLibraryAnswer:
      panel_.TakeAnswer();
      return 0;
    case WM_MOVE:
      panel_.ControlsMoved();
      return 0;
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
      // Another theme (high contrast on or off, other colours) while qel
      // runs: every control painted anew at once, in the theme's colours.
      RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
      break;
    case WM_TIMER:
      if (wParam == kPollTimer) panel_.PollIfDue();
      return 0;
    case kMsgCallbackStopped:
      SayStopped(static_cast<texts::Unexpected>(wParam), static_cast<StoppedIn>(lParam));
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        lastFocus_ = GetFocus();
      } else if (lastFocus_ != nullptr && IsChild(hwnd_, lastFocus_)) {
        SetFocus(lastFocus_);
        return 0;
      }
      break;
    case WM_CLOSE:
      // Closing ends qel without saving.
      Close();
      return 0;
    case WM_DESTROY:
      OnDestroy();
      return 0;
    case WM_NCDESTROY: {
      HWND hwnd = hwnd_;
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      hwnd_ = nullptr;
      return DefWindowProcW(hwnd, message, wParam, lParam);
    }
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

}  // namespace qel
