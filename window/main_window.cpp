#include "window/main_window.h"

#include "platform/errors.h"
#include "platform/numbers.h"
#include "settings/settings.h"
#include "window/control_ids.h"
#include "window/file_drop.h"
#include "window/layout.h"

namespace qel {
namespace {

constexpr wchar_t kClassName[] = L"qel";
constexpr wchar_t kCaption[] = L" qel設定";
constexpr wchar_t kGothicFace[] = L"ＭＳ ゴシック";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_CONTROLPARENT;
constexpr UINT kPollMilliseconds = 500;

// Shown when save and quit cannot write ip.ini; the window stays open.
constexpr wchar_t kCannotSaveMessage[] = L"保存できず";

int ScreenDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

HFONT CreateGothicFont(int dpi) {
  LOGFONTW font = {};
  font.lfHeight = -MulDiv(9, dpi, 72);
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = SHIFTJIS_CHARSET;
  font.lfOutPrecision = OUT_DEFAULT_PRECIS;
  font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  font.lfQuality = DEFAULT_QUALITY;
  font.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
  lstrcpynW(font.lfFaceName, kGothicFace, LF_FACESIZE);
  return CreateFontIndirectW(&font);
}

// The system's message font, the window's default for its other controls.
HFONT CreateDefaultFont() {
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof(metrics);
  if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) return nullptr;
  return CreateFontIndirectW(&metrics.lfMessageFont);
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
  if (!RegisterClassExW(&windowClass)) return false;

  dpi_ = ScreenDpi();
  RECT frame = {0, 0, TwipsToPixels(kClientWidthTwips, dpi_), TwipsToPixels(kClientHeightTwips, dpi_)};
  AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
  if (!CreateWindowExW(kExStyle, kClassName, kCaption, kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                       frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance, this)) {
    return false;
  }
  CreateControls(instance);
  litBrush_ = CreateSolidBrush(kLitColour);
  // What the window needs only once it is up is set up right after it shows.
  PostMessageW(hwnd_, kMsgFinishSetUp, 0, 0);
  return true;
}

void MainWindow::FinishSetUp() {
  CreateLabelTips(reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(hwnd_, GWLP_HINSTANCE)));
  // Files dropped on the command fields; without OLE there is just no drop.
  if (SUCCEEDED(OleInitialize(nullptr))) {
    for (int j = 0; j < 3; ++j) {
      auto* target = new FileDropTarget(Control(kIdTextCmd + j));
      RegisterDragDrop(Control(kIdTextCmd + j), target);
      target->Release();  // the registration holds it now
    }
  }
}

void MainWindow::CreateControls(HINSTANCE instance) {
  gothicFont_.Reset(CreateGothicFont(dpi_));
  defaultFont_.Reset(CreateDefaultFont());
  for (const ControlSpec& layout : kLayout) {
    const wchar_t* windowClass = L"Static";
    DWORD style = WS_CHILD | WS_VISIBLE;
    DWORD exStyle = 0;
    switch (layout.kind) {
      case ControlKind::kTextField:
        windowClass = L"Edit";
        style |= WS_TABSTOP | ES_AUTOHSCROLL | ES_LEFT;
        exStyle = WS_EX_CLIENTEDGE;
        break;
      case ControlKind::kButton:
        windowClass = L"Button";
        style |= WS_TABSTOP | BS_PUSHBUTTON;
        break;
      case ControlKind::kLabel:
        style |= SS_LEFT | SS_NOPREFIX | SS_NOTIFY;  // SS_NOTIFY: for the labels' tooltips
        break;
    }
    HWND control = CreateWindowExW(
        exStyle, windowClass, layout.text, style, TwipsToPixels(layout.left, dpi_), TwipsToPixels(layout.top, dpi_),
        TwipsToPixels(layout.width, dpi_), TwipsToPixels(layout.height, dpi_), hwnd_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(layout.id)), instance, nullptr);
    if (layout.kind == ControlKind::kTextField) SendMessageW(control, EM_SETLIMITTEXT, 0, 0);  // no limit
    const HFONT font = layout.gothicFont ? gothicFont_.get() : defaultFont_.get();
    if (font != nullptr) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
}

std::wstring MainWindow::Text(int id) const {
  HWND control = Control(id);
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  return text;
}

void MainWindow::SetText(int id, const std::wstring& text) { SetWindowTextW(Control(id), text.c_str()); }

void MainWindow::SetIpDlg() {
  Platform& platform = library_.platform();
  // A switch library that cannot be loaded or called must not keep the
  // fields from ip.ini: the layout's initial texts would otherwise be saved
  // over the user's settings.
  try {
    library_.setip(GetIni(platform, L"IP"));
  } catch (const RuntimeError&) {
  }
  SetText(kIdText1, GetIni(platform, L"IP"));
  for (int i = 0; i < 4; ++i) SetText(kIdTextSw + i, GetIni(platform, L"SW" + KeyText(i + 1)));
  for (int j = 0; j < 3; ++j) SetText(kIdTextCmd + j, GetIni(platform, L"CMD" + KeyText(j + 1)));
  SetTimer(hwnd_, kTimer1, kPollMilliseconds, nullptr);
}

void MainWindow::SaveAndQuit() {
  Platform& platform = library_.platform();
  bool saved = PutIni(platform, L"IP", Text(kIdText1)) != 0;
  for (int i = 0; i < 4; ++i) saved = PutIni(platform, L"SW" + KeyText(i + 1), Text(kIdTextSw + i)) != 0 && saved;
  for (int j = 0; j < 3; ++j) saved = PutIni(platform, L"CMD" + KeyText(j + 1), Text(kIdTextCmd + j)) != 0 && saved;
  if (saved) ExitProcess(0);
  // Keep the window and the user's edits: they can free the file and retry.
  MessageBoxW(hwnd_, kCannotSaveMessage, L"qel", MB_OK);
}

int MainWindow::Run() {
  ShowWindow(hwnd_, SW_SHOWNORMAL);
  UpdateWindow(hwnd_);
  SetFocus(Control(kIdText1));
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(hwnd_, &message)) continue;  // Tab moves between the controls
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}

void MainWindow::OnCommand(int id, int notification) {
  if (notification != BN_CLICKED) return;
  if (id == kIdCommand1) {
    SaveAndQuit();
  } else if (id >= kIdCmdOn && id < kIdCmdOn + 4) {
    SwitchRow(id - kIdCmdOn, true);
  } else if (id >= kIdCmdOff && id < kIdCmdOff + 4) {
    SwitchRow(id - kIdCmdOff, false);
  } else if (id >= kIdBtnCmd && id < kIdBtnCmd + 3) {
    Launch(id - kIdBtnCmd);
  }
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
      return LabelColours(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case kMsgFinishSetUp:
      FinishSetUp();
      return 0;
    case WM_TIMER:
      if (wParam == kTimer1) GetIpDlg();
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
      for (int j = 0; j < 3; ++j) RevokeDragDrop(Control(kIdTextCmd + j));
      KillTimer(hwnd_, kTimer1);
      PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
      hwnd_ = nullptr;
      break;
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

}  // namespace qel
