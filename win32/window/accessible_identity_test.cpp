// The object a screen reader gets for an outlet label, in-process (as a
// reader that runs inside qel, or oleacc's own in-process routes, sees it):
// every route to it reaches the same object, the one with the label's name
// and state. Across processes COM's proxies hide a second object, so this
// is looked at here.
#include <windows.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <string>

#include "core/switch_library.h"
#include "win32/scoped_ole.h"
#include "win32/win32_platform.h"
#include "win32/window/control_ids.h"
#include "win32/window/main_window.h"

namespace qel {
namespace {

std::wstring NameOf(IAccessible* object) {
  VARIANT self = {};
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR name = nullptr;
  if (object->get_accName(self, &name) != S_OK) return L"(no name)";
  std::wstring text(name, SysStringLen(name));
  SysFreeString(name);
  return text;
}

IUnknown* IdentityOf(IUnknown* object) {
  IUnknown* identity = nullptr;
  object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity));
  if (identity != nullptr) identity->Release();  // only compared
  return identity;
}

TEST(AccessibleIdentity, ALabelReachedThroughItsWindowIsTheSameObject) {
  ScopedOle ole;
  ASSERT_TRUE(ole.ok());
  Win32Platform platform;
  SwitchLibrary library(platform);
  MainWindow window(library);
  HWND hwnd = window.Create(GetModuleHandleW(nullptr));
  ASSERT_NE(hwnd, nullptr);
  SendMessageW(hwnd, kMsgFinishSetUp, 0, 0);  // screen readers get qel's objects from then on
  for (int outlet = 0; outlet < kOutletCount; ++outlet) {
    SCOPED_TRACE("Sw" + std::to_string(outlet + 1));
    IAccessible* label = nullptr;
    ASSERT_HRESULT_SUCCEEDED(AccessibleObjectFromWindow(GetDlgItem(hwnd, kIdOutletLabel + outlet), OBJID_CLIENT,
                                                        IID_IAccessible, reinterpret_cast<void**>(&label)));
    IOleWindow* itsWindow = nullptr;
    ASSERT_HRESULT_SUCCEEDED(label->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(&itsWindow)));
    HWND control = nullptr;
    EXPECT_HRESULT_SUCCEEDED(itsWindow->GetWindow(&control));
    EXPECT_EQ(control, GetDlgItem(hwnd, kIdOutletLabel + outlet));
    IAccessible* back = nullptr;
    ASSERT_HRESULT_SUCCEEDED(itsWindow->QueryInterface(IID_IAccessible, reinterpret_cast<void**>(&back)));
    EXPECT_EQ(IdentityOf(back), IdentityOf(label)) << "IOleWindow leads to another object";
    EXPECT_EQ(NameOf(back), L"Sw" + std::to_wstring(outlet + 1));
    back->Release();
    itsWindow->Release();
    label->Release();
  }
  DestroyWindow(hwnd);
  // The window's teardown posts WM_QUIT for qel's event loop; not ours.
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
  }
}

}  // namespace
}  // namespace qel
