// A data object as a drag from Explorer or another program hands it to a
// drop target: a file list (CF_HDROP) or plain Unicode text. For the tests
// of the file drop, in-process and inside qel's own process (the GUI tests'
// probe). Reference counted; starts with one reference.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace qel_test {

// A data object offering either a file list or plain Unicode text.
class DroppedData : public IDataObject {
 public:
  static DroppedData* Files(const std::vector<std::wstring>& paths) { return new DroppedData(CF_HDROP, paths); }
  static DroppedData* Text(const std::wstring& text) { return new DroppedData(CF_UNICODETEXT, {text}); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDataObject)) {
      *object = static_cast<IDataObject*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
    if (QueryGetData(format) != S_OK) return DV_E_FORMATETC;
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = Payload();
    medium->pUnkForRelease = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
    return format->cfFormat == format_ && (format->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_FORMATETC;
  }
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
    out->ptd = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

 private:
  DroppedData(CLIPFORMAT format, std::vector<std::wstring> items) : format_(format), items_(std::move(items)) {}
  virtual ~DroppedData() = default;

  // DROPFILES followed by the double-null-terminated list, or the text.
  HGLOBAL Payload() const {
    std::wstring list;
    for (const std::wstring& item : items_) list += item + L'\0';
    list += L'\0';
    const std::size_t header = format_ == CF_HDROP ? sizeof(DROPFILES) : 0;
    HGLOBAL memory = GlobalAlloc(GHND, header + list.size() * sizeof(wchar_t));
    auto* bytes = static_cast<char*>(GlobalLock(memory));
    if (format_ == CF_HDROP) {
      auto* drop = reinterpret_cast<DROPFILES*>(bytes);
      drop->pFiles = sizeof(DROPFILES);
      drop->fWide = TRUE;
    }
    memcpy(bytes + header, list.data(), list.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    return memory;
  }

  CLIPFORMAT format_;
  std::vector<std::wstring> items_;
  ULONG references_ = 1;
};

}  // namespace qel_test
