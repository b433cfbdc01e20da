// The window moved to a monitor of another DPI, in-process: WM_DPICHANGED
// makes it take the suggested rectangle and lay out every control of the
// layout table, and its fonts, again at the new DPI.
#include "win32/window/main_window.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "core/switch_library.h"
#include "win32/win32_platform.h"
#include "win32/window/dpi.h"
#include "win32/window/fonts.h"
#include "win32/window/layout.h"

namespace qel {
namespace {

std::string Narrow(const wchar_t* text) {
  std::string narrow;
  for (; *text != L'\0'; ++text) narrow += *text < 0x80 ? static_cast<char>(*text) : '?';
  return narrow;
}

HFONT FontOf(HWND control) { return reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)); }

LOGFONTW Describe(HFONT font) {
  LOGFONTW description = {};
  EXPECT_EQ(GetObjectW(font, sizeof(description), &description), static_cast<int>(sizeof(description)))
      << "not a live font";
  return description;
}

// The control's rectangle within the window's client area.
RECT PlaceOf(HWND window, HWND control) {
  RECT rect = {};
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

class MainWindowDpi : public testing::Test {
 protected:
  void SetUp() override {
    hwnd_ = window_.Create(GetModuleHandleW(nullptr));
    ASSERT_NE(hwnd_, nullptr);
  }
  void TearDown() override {
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
    // The window's teardown posts WM_QUIT for qel's event loop; not ours.
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
  }

  // Every control's font, by control id.
  std::map<int, HFONT> Fonts() const {
    std::map<int, HFONT> fonts;
    for (const ControlSpec& layout : kLayout) fonts[layout.id] = FontOf(GetDlgItem(hwnd_, layout.id));
    return fonts;
  }

  void ExpectLayoutAt(int dpi) const {
    for (const ControlSpec& layout : kLayout) {
      SCOPED_TRACE(Narrow(InitialText(layout).c_str()) + " (id " + std::to_string(layout.id) + ")");
      const RECT place = PlaceOf(hwnd_, GetDlgItem(hwnd_, layout.id));
      EXPECT_EQ(place.left, TwipsToPixels(layout.left, dpi));
      EXPECT_EQ(place.top, TwipsToPixels(layout.top, dpi));
      EXPECT_EQ(place.right, TwipsToPixels(layout.left + layout.width, dpi));
      EXPECT_EQ(place.bottom, TwipsToPixels(layout.top + layout.height, dpi));
    }
  }

  Win32Platform platform_;
  SwitchLibrary library_{platform_};
  MainWindow window_{library_};
  HWND hwnd_ = nullptr;
};

TEST_F(MainWindowDpi, DpiChangedLaysOutControlsAndFontsAgainFromTheTable) {
  const int startDpi = ScreenDpi();
  ExpectLayoutAt(startDpi);
  // The message font as the window made it at the start, for its scaling.
  const std::map<int, HFONT> startFonts = Fonts();
  LONG startMessageHeight = 0;
  for (const ControlSpec& layout : kLayout) {
    if (!layout.gothicFont) startMessageHeight = Describe(startFonts.at(layout.id)).lfHeight;
  }
  ASSERT_NE(startMessageHeight, 0);

  // Up, up again, down, and back to where it started.
  for (const int dpi : {144, 192, 120, startDpi}) {
    SCOPED_TRACE("to " + std::to_string(dpi) + " dpi");
    const std::map<int, HFONT> before = Fonts();
    const RECT suggested = {40 + dpi, 30, 40 + dpi + 3 * dpi, 30 + 2 * dpi};
    SendMessageW(hwnd_, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));

    RECT taken = {};
    GetWindowRect(hwnd_, &taken);
    EXPECT_TRUE(EqualRect(&taken, &suggested)) << "the window is at " << taken.left << "," << taken.top << " to "
                                                << taken.right << "," << taken.bottom;
    ExpectLayoutAt(dpi);

    const std::map<int, HFONT> after = Fonts();
    for (const ControlSpec& layout : kLayout) {
      SCOPED_TRACE(Narrow(InitialText(layout).c_str()) + " (id " + std::to_string(layout.id) + ")");
      const HFONT font = after.at(layout.id);
      ASSERT_NE(font, nullptr) << "no font of its own";
      EXPECT_NE(font, before.at(layout.id)) << "the font was not made anew";
      // Released, now that no control uses it.
      EXPECT_EQ(GetObjectType(before.at(layout.id)), 0u) << "the old font is still there";
      const LOGFONTW description = Describe(font);
      if (layout.gothicFont) {
        EXPECT_STREQ(description.lfFaceName, L"ＭＳ ゴシック");
        EXPECT_EQ(description.lfHeight, -MulDiv(9, dpi, 72));
        EXPECT_EQ(description.lfCharSet, SHIFTJIS_CHARSET);
      } else {
        EXPECT_STRNE(description.lfFaceName, L"ＭＳ ゴシック");
        EXPECT_NEAR(description.lfHeight, MulDiv(startMessageHeight, dpi, startDpi), 1);
      }
    }
  }
}

// Asked for its size at a DPI (WM_GETDPISCALEDSIZE), the window answers with
// the table's client area plus its frame: taken as the new rectangle, the
// client area is exactly the table's. Checked in full at the system DPI,
// where every system measures the frame alike (Wine keeps the frame at the
// system DPI on every monitor).
TEST_F(MainWindowDpi, AskedForItsSizeAtADpiItAnswersTheTablesClientAreaAndItsFrame) {
  const int systemDpi = ScreenDpi();
  for (const int dpi : {144, 192, systemDpi}) {
    SCOPED_TRACE(std::to_string(dpi) + " dpi");
    SIZE size = {};
    ASSERT_TRUE(SendMessageW(hwnd_, 0x02E4 /* WM_GETDPISCALEDSIZE */, dpi, reinterpret_cast<LPARAM>(&size)));
    EXPECT_GT(size.cx, TwipsToPixels(kClientWidthTwips, dpi));
    EXPECT_GT(size.cy, TwipsToPixels(kClientHeightTwips, dpi));
    const RECT suggested = {10, 10, 10 + size.cx, 10 + size.cy};
    SendMessageW(hwnd_, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
  }
  RECT client = {};
  GetClientRect(hwnd_, &client);
  EXPECT_EQ(client.right, TwipsToPixels(kClientWidthTwips, systemDpi));
  EXPECT_EQ(client.bottom, TwipsToPixels(kClientHeightTwips, systemDpi));
}

}  // namespace
}  // namespace qel
