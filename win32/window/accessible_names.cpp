#include "win32/window/accessible_names.h"

#include <commctrl.h>
#include <oleacc.h>

#include <memory>
#include <utility>

#include "core/window_texts.h"
#include "win32/window/callback_edge.h"
#include "win32/window/control_ids.h"
#include "win32/window/layout.h"

namespace qel {
namespace {

bool In(int id, int base, int count) { return id >= base && id < base + count; }

// Dynamic Annotation, and the UI Automation property it sets on the outlet
// labels: LiveSetting, Polite (1). The headers for Windows 7 have neither
// the property nor the event that a live region raises (Windows 8).
constexpr CLSID kAccPropServices = {0xb5f8350b, 0x0548, 0x48b1, {0xa6, 0xee, 0x88, 0xbd, 0x00, 0xb4, 0xa5, 0xe7}};
constexpr IID kIAccPropServices = {0x6e26e776, 0x04f0, 0x495d, {0x80, 0xe4, 0x33, 0x30, 0x35, 0x2e, 0x31, 0x69}};
constexpr MSAAPROPID kLiveSettingProperty = {0xc12bcd8e, 0x2a8e, 0x4950,
                                             {0x8a, 0xe7, 0x36, 0x25, 0x11, 0x1d, 0x58, 0xeb}};
constexpr LONG kPolite = 1;
constexpr DWORD kEventLiveRegionChanged = 0x8019;

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

// The text as a BSTR for the caller, or S_FALSE when there is none.
HRESULT Give(const std::wstring& text, BSTR* out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (text.empty()) return S_FALSE;
  *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

using Source = AccessibleNames::Source;

// The system's accessible object of one control, with the control's own
// name and the window's text that says more about it. Everything else is
// the system object's answer.
class NamedAccessible final : public IAccessible, public IOleWindow {
 public:
  NamedAccessible(IAccessible* standard, int id, std::shared_ptr<const Source> source)
      : standard_(standard), id_(id), source_(std::move(source)) {}

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IAccessible) {
      *out = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    // The control's window, for WindowFromAccessibleObject: answered here,
    // so that IAccessible asked of it leads back to this object.
    if (iid == IID_IOleWindow) {
      *out = static_cast<IOleWindow*>(this);
      AddRef();
      return S_OK;
    }
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  // IOleWindow: the system object's window.
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
    IOleWindow* standardWindow = nullptr;
    const HRESULT found = standard_->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(&standardWindow));
    if (FAILED(found)) return found;
    const HRESULT got = standardWindow->GetWindow(window);
    standardWindow->Release();
    return got;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return standard_->GetTypeInfoCount(count); }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
    return standard_->GetTypeInfo(index, locale, info);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override {
    return standard_->GetIDsOfNames(iid, names, count, locale, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* parameters,
                                   VARIANT* result, EXCEPINFO* exception, UINT* argument) override {
    return standard_->Invoke(id, iid, locale, flags, parameters, result, exception, argument);
  }

  // IAccessible: the name, value and description of the control itself.
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    if (!IsSelf(child)) return standard_->get_accName(child, name);
    return Answer([&] { return Give(AccessibleName(id_), name); });
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    // A label's value is its outlet's state; the fields keep their text.
    if (!IsSelf(child) || !In(id_, kIdOutletLabel, kOutletCount)) return standard_->get_accValue(child, value);
    return Answer([&] { return Give(MoreAbout(), value); });
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
    if (!IsSelf(child)) return standard_->get_accDescription(child, description);
    return Answer([&] {
      const std::wstring more = MoreAbout();
      return more.empty() ? standard_->get_accDescription(child, description) : Give(more, description);
    });
  }

  // The rest as the system answers.
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override { return standard_->get_accParent(parent); }
  HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override { return standard_->get_accChildCount(count); }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
    return standard_->get_accChild(child, out);
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    return standard_->get_accRole(child, role);
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    return standard_->get_accState(child, state);
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
    return standard_->get_accHelp(child, help);
  }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override {
    return standard_->get_accHelpTopic(file, child, topic);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
    return standard_->get_accKeyboardShortcut(child, shortcut);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override { return standard_->get_accFocus(focus); }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
    return standard_->get_accSelection(selection);
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    return standard_->get_accDefaultAction(child, action);
  }
  HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override { return standard_->accSelect(flags, child); }
  HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) override {
    return standard_->accLocation(left, top, width, height, child);
  }
  HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
    return standard_->accNavigate(direction, start, end);
  }
  HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* child) override {
    return standard_->accHitTest(x, y, child);
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    return standard_->accDoDefaultAction(child);
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
    return standard_->put_accName(child, name);
  }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
    return standard_->put_accValue(child, value);
  }

 private:
  ~NamedAccessible() { standard_->Release(); }

  std::wstring MoreAbout() const { return source_->moreAbout ? source_->moreAbout(id_) : std::wstring(); }

  // No exception goes back to the reader.
  template <typename Work>
  static HRESULT Answer(Work&& work) noexcept {
    try {
      return work();
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    } catch (...) {
      return E_FAIL;
    }
  }

  IAccessible* standard_;  // owned: released with this
  const int id_;
  const std::shared_ptr<const Source> source_;
  LONG references_ = 1;
};

}  // namespace

std::wstring AccessibleName(int id) {
  if (id == kIdAddress || id == kIdAddressLabel) return texts::kAddressCaption;
  if (id == kIdSaveAndQuit) return texts::kSaveAndQuit;
  if (In(id, kIdMask, kOutletCount)) return texts::OutletName(id - kIdMask);
  if (In(id, kIdOutletLabel, kOutletCount)) return texts::OutletName(id - kIdOutletLabel);
  if (In(id, kIdOn, kOutletCount)) return texts::SwitchButtonName(id - kIdOn, true);
  if (In(id, kIdOff, kOutletCount)) return texts::SwitchButtonName(id - kIdOff, false);
  if (In(id, kIdCommandLine, kCommandCount)) return texts::CommandName(id - kIdCommandLine);
  if (In(id, kIdLaunch, kCommandCount)) return texts::CommandName(id - kIdLaunch);
  return L"";
}

}  // namespace qel

namespace qel {

AccessibleNames::~AccessibleNames() {
  if (source_) source_->moreAbout = nullptr;
  for (const auto& [control, id] : controls_) {
    if (IsWindow(control)) {
      if (In(id, kIdOutletLabel, kOutletCount)) Unmark(control);
      RemoveWindowSubclass(control, &AccessibleNames::ControlProc, static_cast<UINT_PTR>(id));
    }
  }
}

void AccessibleNames::Attach(HWND window, MoreAbout moreAbout) {
  window_ = window;
  source_ = std::make_shared<Source>(Source{std::move(moreAbout)});
  for (const ControlSpec& layout : kLayout) {
    HWND control = GetDlgItem(window, layout.id);
    if (control != nullptr && SetWindowSubclass(control, &AccessibleNames::ControlProc,
                                                static_cast<UINT_PTR>(layout.id), reinterpret_cast<DWORD_PTR>(this))) {
      controls_.emplace_back(control, layout.id);
    }
  }
  MarkLiveRegion();
}

void AccessibleNames::MarkLiveRegion() {
  void* services = nullptr;
  if (FAILED(CoCreateInstance(kAccPropServices, nullptr, CLSCTX_INPROC_SERVER, kIAccPropServices, &services)) ||
      services == nullptr) {
    return;
  }
  annotations_ = static_cast<IAccPropServices*>(services);
  VARIANT polite = {};
  polite.vt = VT_I4;
  polite.lVal = kPolite;
  int labels = 0;
  bool taken = false;
  for (int outlet = 0; outlet < kOutletCount; ++outlet) {
    HWND label = GetDlgItem(window_, kIdOutletLabel + outlet);
    if (label == nullptr) continue;
    ++labels;
    // Refused where the system has no Dynamic Annotation (Wine: E_NOTIMPL).
    taken |= SUCCEEDED(
        annotations_->SetHwndProp(label, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, kLiveSettingProperty, polite));
  }
  if (taken) {
    marked_ = labels;  // each label takes its mark back as it goes
  } else {
    annotations_->Release();
    annotations_ = nullptr;
  }
}

void AccessibleNames::Unmark(HWND label) {
  if (annotations_ == nullptr) return;
  annotations_->ClearHwndProps(label, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, &kLiveSettingProperty, 1);
  if (--marked_ > 0) return;
  annotations_->Release();
  annotations_ = nullptr;
}

void AccessibleNames::StateChanged(HWND window, int outlet) {
  HWND label = GetDlgItem(window, kIdOutletLabel + outlet);
  if (label == nullptr) return;
  // Where the user is: the focused control, when it is one of the outlet's
  // own, has a new description (the state in words).
  HWND focus = GetFocus();
  if (focus != nullptr && GetParent(focus) == window) {
    const int id = GetDlgCtrlID(focus);
    if (id == kIdOn + outlet || id == kIdOff + outlet || id == kIdMask + outlet) {
      NotifyWinEvent(EVENT_OBJECT_DESCRIPTIONCHANGE, focus, OBJID_CLIENT, CHILDID_SELF);
    }
  }
  NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, label, OBJID_CLIENT, CHILDID_SELF);
  NotifyWinEvent(kEventLiveRegionChanged, label, OBJID_CLIENT, CHILDID_SELF);
}

LRESULT CALLBACK AccessibleNames::ControlProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                              DWORD_PTR self) {
  if (message == WM_NCDESTROY) {
    // A label that goes takes its live-region mark back.
    if (In(static_cast<int>(id), kIdOutletLabel, kOutletCount)) {
      reinterpret_cast<AccessibleNames*>(self)->Unmark(control);
    }
    RemoveWindowSubclass(control, &AccessibleNames::ControlProc, id);
  }
  // Only the control's own object; its window object and the rest are the
  // system's.
  if (message == WM_GETOBJECT && static_cast<LONG>(lParam) == OBJID_CLIENT) {
    auto* names = reinterpret_cast<AccessibleNames*>(self);
    const LRESULT answer =
        StopAtEdge(names->window_, StoppedIn::kMessage, LRESULT{0},
                   [&] { return names->Answer(control, static_cast<int>(id), wParam); });
    if (answer != 0) return answer;
  }
  return DefSubclassProc(control, message, wParam, lParam);
}

LRESULT AccessibleNames::Answer(HWND control, int id, WPARAM wParam) {
  IAccessible* standard = nullptr;
  if (FAILED(CreateStdAccessibleObject(control, OBJID_CLIENT, IID_IAccessible, reinterpret_cast<void**>(&standard))) ||
      standard == nullptr) {
    return 0;  // the system answers as it would
  }
  auto* named = new NamedAccessible(standard, id, source_);
  const LRESULT answer = LresultFromObject(IID_IAccessible, wParam, static_cast<IAccessible*>(named));
  named->Release();  // the answer holds it now, if it could
  return answer < 0 ? 0 : answer;
}

}  // namespace qel
