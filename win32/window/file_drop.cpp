#include "win32/window/file_drop.h"

#include <shellapi.h>

#include "win32/window/callback_edge.h"

namespace qel {
namespace {

FORMATETC FileListFormat() { return {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}; }

bool OffersFiles(IDataObject* data) {
  FORMATETC format = FileListFormat();
  return data != nullptr && data->QueryGetData(&format) == S_OK;
}

}  // namespace

std::optional<std::wstring> QuotedFirstPath(IDataObject* data) {
  if (!OffersFiles(data)) return std::nullopt;
  FORMATETC format = FileListFormat();
  STGMEDIUM medium = {};
  if (FAILED(data->GetData(&format, &medium))) return std::nullopt;
  std::optional<std::wstring> result;
  if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal != nullptr) {
    if (auto drop = static_cast<HDROP>(GlobalLock(medium.hGlobal))) {
      if (DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) > 0) {
        const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
        std::wstring path(length + 1, L'\0');
        path.resize(DragQueryFileW(drop, 0, path.data(), length + 1));
        if (!path.empty()) result = L"\"" + path + L"\"";
      }
      GlobalUnlock(medium.hGlobal);
    }
  }
  ReleaseStgMedium(&medium);
  return result;
}

HRESULT FileDropTarget::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropTarget)) {
    *object = static_cast<IDropTarget*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG FileDropTarget::AddRef() { return ++references_; }

ULONG FileDropTarget::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

// Over a command field: the copy cursor for files, "no drop" for anything else.
HRESULT FileDropTarget::DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect) {
  offersFiles_ = false;
  *effect = DROPEFFECT_NONE;
  // A drop never reports a failure (callback_edge.h): one that comes out of
  // the system's data stops here, and the drop is refused.
  return StopAtEdge(nullptr, StoppedIn::kMessage, E_UNEXPECTED, [&] {
    offersFiles_ = OffersFiles(data);
    *effect = offersFiles_ ? DROPEFFECT_COPY : DROPEFFECT_NONE;
    return S_OK;
  });
}

HRESULT FileDropTarget::DragOver(DWORD, POINTL, DWORD* effect) {
  *effect = offersFiles_ ? DROPEFFECT_COPY : DROPEFFECT_NONE;
  return S_OK;
}

HRESULT FileDropTarget::DragLeave() {
  offersFiles_ = false;
  return S_OK;
}

HRESULT FileDropTarget::Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) {
  offersFiles_ = false;
  *effect = DROPEFFECT_NONE;
  // A failed drop leaves the field as it was and says nothing.
  return StopAtEdge(nullptr, StoppedIn::kMessage, E_UNEXPECTED, [&] {
    const std::optional<std::wstring> text = QuotedFirstPath(data);
    if (text) SetWindowTextW(field_, text->c_str());
    *effect = text ? DROPEFFECT_COPY : DROPEFFECT_NONE;
    return S_OK;
  });
}

}  // namespace qel
