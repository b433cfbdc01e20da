#include "win32/window/main_window.h"

#include <optional>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/numbers.h"
#include "core/settings.h"
#include "win32/window/control_ids.h"
#include "win32/window/controls.h"
#include "win32/window/file_drop.h"
#include "win32/window/fonts.h"
#include "win32/window/frame.h"
#include "win32/window/layout.h"

namespace qel {
namespace {

constexpr wchar_t kClassName[] = L"qel";
constexpr UINT kPollMilliseconds = 500;
// Posted by Create: what the window needs only once it is up is set up
// right after it shows.
constexpr UINT kMsgFinishSetUp = WM_APP + 1;

// WM_GETDPISCALEDSIZE (Windows 10 1703), which the headers for Windows 7
// leave out.
constexpr UINT kMsgGetDpiScaledSize = 0x02E4;

// Shown when save and quit cannot write ip.ini, with the reason; the window
// stays open with the edits.
constexpr wchar_t kCannotSaveMessage[] = L"保存できず";

std::wstring MaskKey(int outlet) { return L"SW" + KeyText(outlet + 1); }
std::wstring CommandKey(int command) { return L"CMD" + KeyText(command + 1); }

// Every field with its ip.ini key and the name the window shows for it.
struct SavedField {
  int id;
  std::wstring key;
  std::wstring shownAs;
};
std::vector<SavedField> SavedFields() {
  std::vector<SavedField> fields = {{kIdAddress, L"IP", L"IP"}};
  for (int outlet = 0; outlet < kOutletCount; ++outlet) {
    fields.push_back({kIdMask + outlet, MaskKey(outlet), L"Sw" + KeyText(outlet + 1)});
  }
  for (int command = 0; command < kCommandCount; ++command) {
    fields.push_back({kIdCommandLine + command, CommandKey(command), CommandKey(command)});
  }
  return fields;
}

// The system's text for an error code, on one line.
std::wstring SystemErrorText(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
      reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring result = length > 0 ? std::wstring(text, length) : std::wstring();
  LocalFree(text);
  while (!result.empty() && (result.back() == L'\n' || result.back() == L'\r' || result.back() == L' ')) {
    result.pop_back();
  }
  return result + L" (" + std::to_wstring(error) + L")";
}

}  // namespace

bool MainWindow::Create(HINSTANCE instance) {
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = &MainWindow::WindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kClassName;
  if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;

  int dpi = 96;
  if (CreateFrameWindow(kClassName, instance, this, dpi) == nullptr) return false;
  gothicFont_.Reset(CreateGothicFont(dpi));
  messageFont_.Reset(CreateMessageFont(dpi));
  CreateLayoutControls(hwnd_, instance, dpi, gothicFont_.get(), messageFont_.get());
  panel_.Attach(hwnd_);
  PostMessageW(hwnd_, kMsgFinishSetUp, 0, 0);
  return true;
}

void MainWindow::FinishSetUp() {
  panel_.FinishSetUp(reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(hwnd_, GWLP_HINSTANCE)));
  // Files dropped on the command fields; without OLE there is just no drop.
  ole_.emplace();
  if (!ole_->ok()) return;
  for (int command = 0; command < kCommandCount; ++command) {
    HWND field = GetDlgItem(hwnd_, kIdCommandLine + command);
    auto* target = new FileDropTarget(field);
    RegisterDragDrop(field, target);
    target->Release();  // the registration holds it now
  }
}

void MainWindow::OnDpiChanged(int dpi, const RECT& suggested) {
  OwnedFont gothicFont(CreateGothicFont(dpi));
  OwnedFont messageFont(CreateMessageFont(dpi));
  SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  PlaceLayoutControls(hwnd_, dpi, gothicFont.get(), messageFont.get());
  // The controls have the new fonts now: the old ones can go.
  gothicFont_ = std::move(gothicFont);
  messageFont_ = std::move(messageFont);
}

void MainWindow::FillFromSettings() {
  Platform& platform = library_.platform();
  // A switch library that cannot be loaded or called must not keep the
  // fields from ip.ini: the layout's initial texts would otherwise be saved
  // over the user's settings.
  FailureOf([&] { library_.setip(ReadSetting(platform, L"IP")); });
  // A field whose value cannot be read (an ip.ini path the code page cannot
  // hold) shows empty: no other file stands in.
  for (const SavedField& field : SavedFields()) {
    std::wstring value;
    FailureOf([&] { value = ReadSetting(platform, field.key); });
    SetControlText(hwnd_, field.id, value);
  }
  SetTimer(hwnd_, kPollTimer, kPollMilliseconds, nullptr);
}

std::optional<std::wstring> MainWindow::WhyNotSavable() {
  Platform& platform = library_.platform();
  if (!SettingsFileHasPath(platform)) {
    return std::wstring(kCannotSaveMessage) + L": ip.ini の場所をこのシステムの文字コードで表せない\n" +
           SettingsFilePath(platform);
  }
  for (const SavedField& field : SavedFields()) {
    const std::optional<SettingProblem> problem = CheckSettingValue(platform, ControlText(hwnd_, field.id));
    if (!problem) continue;
    switch (*problem) {
      case SettingProblem::kNotInCodePage:
        return std::wstring(kCannotSaveMessage) + L": " + field.shownAs +
               L" にこのシステムの文字コードで表せない文字がある";
      case SettingProblem::kTooLong:
        return std::wstring(kCannotSaveMessage) + L": " + field.shownAs + L" が長すぎる (" +
               std::to_wstring(kLongestSettingValue) + L" バイトまで)";
    }
  }
  return std::nullopt;
}

void MainWindow::SaveAndQuit() {
  // Nothing is written unless every value comes back as it is: a value
  // saved as other text, or cut, would start another program later.
  if (const std::optional<std::wstring> why = WhyNotSavable()) {
    MessageBoxW(hwnd_, why->c_str(), L"qel", MB_OK);
    return;
  }
  Platform& platform = library_.platform();
  for (const SavedField& field : SavedFields()) {
    if (WriteSetting(platform, field.key, ControlText(hwnd_, field.id)) == 0) {
      // Keep the window and the user's edits: they can free the file and
      // retry. Later fields are not tried; the first failure says why.
      const std::wstring reason = SystemErrorText(GetLastError());
      MessageBoxW(hwnd_, (std::wstring(kCannotSaveMessage) + L"\n" + SettingsFilePath(platform) + L"\n" + reason).c_str(),
                  L"qel", MB_OK);
      return;
    }
  }
  // The window's own teardown ends the event loop; qel ends with code 0.
  DestroyWindow(hwnd_);
}

int MainWindow::Run() {
  ShowWindow(hwnd_, SW_SHOWNORMAL);
  UpdateWindow(hwnd_);
  SetFocus(GetDlgItem(hwnd_, kIdAddress));
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
  return window->HandleMessage(message, wParam, lParam);
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
    case WM_TIMER:
      if (wParam == kPollTimer) panel_.PollStatus();
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
      DestroyWindow(hwnd_);
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
