// The drop handler of the command fields, in-process: data objects that offer
// a file list (CF_HDROP) or only text, dropped on a real text field.
#include "win32/window/file_drop.h"

#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qel {
namespace {

// A data object offering either a file list or plain Unicode text.
class FakeData : public IDataObject {
 public:
  static FakeData* Files(const std::vector<std::wstring>& paths) { return new FakeData(CF_HDROP, paths); }
  static FakeData* Text(const std::wstring& text) { return new FakeData(CF_UNICODETEXT, {text}); }

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
  FakeData(CLIPFORMAT format, std::vector<std::wstring> items) : format_(format), items_(std::move(items)) {}
  virtual ~FakeData() = default;

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

TEST(QuotedFirstPath, FirstDroppedItemInQuotes) {
  const std::wstring longPath = L"C:\\" + std::wstring(300, L'd') + L"\\" + std::wstring(200, L'f') + L".exe";
  const struct {
    const char* what;
    std::vector<std::wstring> files;
    std::wstring expected;
  } cases[] = {
      {"one file", {L"C:\\tools\\run.exe"}, L"\"C:\\tools\\run.exe\""},
      {"several: the first", {L"C:\\a\\first.exe", L"C:\\b\\second.exe"}, L"\"C:\\a\\first.exe\""},
      {"a folder", {L"C:\\Program Files\\qel"}, L"\"C:\\Program Files\\qel\""},
      {"a long path", {longPath}, L"\"" + longPath + L"\""},
      {"non-ASCII", {L"D:\\ツール\\起動 テスト.bat"}, L"\"D:\\ツール\\起動 テスト.bat\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    IDataObject* data = FakeData::Files(c.files);
    EXPECT_EQ(QuotedFirstPath(data).value_or(L"<nothing>"), c.expected);
    data->Release();
  }
  IDataObject* text = FakeData::Text(L"C:\\tools\\run.exe");
  EXPECT_FALSE(QuotedFirstPath(text).has_value());
  text->Release();
}

TEST(FileDropTarget, ReplacesTheFieldOnlyForFiles) {
  HWND field = CreateWindowExW(0, L"Edit", L"old text", WS_OVERLAPPEDWINDOW, 0, 0, 200, 30, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(field, nullptr);
  auto* target = new FileDropTarget(field);
  const auto fieldText = [field] {
    wchar_t buffer[256] = {};
    GetWindowTextW(field, buffer, 256);
    return std::wstring(buffer);
  };
  DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;

  IDataObject* text = FakeData::Text(L"plain text");
  EXPECT_EQ(target->DragEnter(text, 0, {}, &effect), S_OK);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));  // "no drop" over the field
  effect = DROPEFFECT_COPY;
  EXPECT_EQ(target->Drop(text, 0, {}, &effect), S_OK);
  EXPECT_EQ(fieldText(), L"old text");
  text->Release();

  IDataObject* files = FakeData::Files({L"C:\\tools\\run.exe", L"C:\\other.exe"});
  effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
  EXPECT_EQ(target->DragEnter(files, 0, {}, &effect), S_OK);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
  EXPECT_EQ(target->DragOver(0, {}, &effect), S_OK);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
  EXPECT_EQ(target->Drop(files, 0, {}, &effect), S_OK);
  EXPECT_EQ(fieldText(), L"\"C:\\tools\\run.exe\"");
  files->Release();

  target->Release();
  DestroyWindow(field);
}

}  // namespace
}  // namespace qel
