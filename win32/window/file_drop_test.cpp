// The drop handler of the command fields, in-process: data objects that offer
// a file list (CF_HDROP) or only text, dropped on a real text field.
#include "win32/window/file_drop.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testing/dropped_data.h"

namespace qel {
namespace {

using qel_test::DroppedData;

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
    IDataObject* data = DroppedData::Files(c.files);
    EXPECT_EQ(QuotedFirstPath(data).value_or(L"<nothing>"), c.expected);
    data->Release();
  }
  IDataObject* text = DroppedData::Text(L"C:\\tools\\run.exe");
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

  IDataObject* text = DroppedData::Text(L"plain text");
  EXPECT_EQ(target->DragEnter(text, 0, {}, &effect), S_OK);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));  // "no drop" over the field
  effect = DROPEFFECT_COPY;
  EXPECT_EQ(target->Drop(text, 0, {}, &effect), S_OK);
  EXPECT_EQ(fieldText(), L"old text");
  text->Release();

  IDataObject* files = DroppedData::Files({L"C:\\tools\\run.exe", L"C:\\other.exe"});
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
