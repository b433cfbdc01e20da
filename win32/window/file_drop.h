// Dropping files onto the command fields: the first dropped item's full
// path, in double quotes, replaces the field's text. Anything that does not
// offer the file-list format (CF_HDROP) changes nothing, and a drop never
// reports an error.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <optional>
#include <string>

namespace qel {

// The first item of the data's file list in double quotes; nothing when the
// data offers no file list or it cannot be read.
std::optional<std::wstring> QuotedFirstPath(IDataObject* data);

// The drop target of one text field. Reference counted as COM asks; the
// field keeps it registered until the window goes.
class FileDropTarget : public IDropTarget {
 public:
  explicit FileDropTarget(HWND field) : field_(field) {}
  FileDropTarget(const FileDropTarget&) = delete;
  FileDropTarget& operator=(const FileDropTarget&) = delete;
  virtual ~FileDropTarget() = default;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // IDropTarget
  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL point, DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragLeave() override;
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) override;

 private:
  HWND field_;
  ULONG references_ = 1;
  bool offersFiles_ = false;  // of the drag now over the field
};

}  // namespace qel
