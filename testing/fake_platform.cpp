#include "testing/fake_platform.h"

#include <cwctype>
#include <utility>

#include "core/switch_library_api.h"
#include "core/utf8.h"
#include "testing/profile_file.h"

namespace qel {

FakePlatform* FakePlatform::current_ = nullptr;

// The fake switch library: each function records its call; the word of
// receivep6 and transfer is the fake's `status`.
struct FakeLibraryFunctions {
  static std::int32_t QEL_STDCALL setip(const char* address) {
    return FakePlatform::current_->Record("setip", address, 0);
  }
  static std::int32_t QEL_STDCALL receivep6() {
    FakePlatform& fake = *FakePlatform::current_;
    if (fake.transferred_ && fake.transferShowsAfter >= 0 && fake.sleptMilliseconds >= fake.transferredShowsAt_) {
      fake.status = *fake.transferred_;
      fake.transferred_.reset();
    }
    return fake.Record("receivep6", "", fake.status);
  }
  static std::int32_t QEL_STDCALL setdata(std::int32_t word) {
    return FakePlatform::current_->Record("setdata", std::to_string(word), word);
  }
  static std::int32_t QEL_STDCALL cleandata(std::int32_t word) {
    return FakePlatform::current_->Record("cleandata", std::to_string(word), word);
  }
  static std::int32_t QEL_STDCALL transfer(std::int32_t word) {
    FakePlatform& fake = *FakePlatform::current_;
    if (fake.transferShowsAfter == 0) {
      fake.status = word;
    } else {
      fake.transferred_ = word;
      fake.transferredShowsAt_ = fake.sleptMilliseconds + fake.transferShowsAfter;
    }
    return FakePlatform::current_->Record("transfer", std::to_string(word), word);
  }
};

// Each function of the list, with the list's type: a fake whose signature
// drifts from the library's does not compile.
#define QEL_FAKE_FUNCTION(name, parameters) \
  {#name, reinterpret_cast<RawFunction>(static_cast<switch_api::name##_function>(&FakeLibraryFunctions::name))},
const std::pair<const char*, RawFunction> kFakeFunctions[] = {QEL_SWITCH_LIBRARY_FUNCTIONS(QEL_FAKE_FUNCTION)};
#undef QEL_FAKE_FUNCTION

FakePlatform::FakePlatform() { current_ = this; }
FakePlatform::~FakePlatform() { current_ = nullptr; }

std::int32_t FakePlatform::Record(const std::string& function, const std::string& argument,
                                  std::int32_t normalResult) {
  calls.push_back(argument.empty() ? function : function + " " + argument);
  const auto result = results.find(function);
  return result == results.end() ? normalResult : result->second;
}

std::optional<std::string> FakePlatform::ToAnsi(std::wstring_view text) {
  for (wchar_t wc : text) {
    const auto c = static_cast<std::uint32_t>(wc);
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
    if (outsideCodePage.find(wc) != std::wstring::npos) return std::nullopt;
  }
  return Utf8Text(text);
}

std::wstring FakePlatform::FromAnsi(std::string_view text) {
  std::wstring out;
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const int length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
    std::uint32_t c = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
    bool valid = length > 0 && i + length <= text.size();
    for (int k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      valid = (next & 0xC0) == 0x80;
      c = (c << 6) | (next & 0x3F);
    }
    if (!valid) {
      out += L'\uFFFD';
      ++i;
      continue;
    }
    out += static_cast<wchar_t>(c);
    i += length;
  }
  return out;
}

std::wstring FakePlatform::ToUpper(std::wstring_view text) {
  std::wstring out(text);
  for (wchar_t& c : out) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
  return out;
}

std::string FakePlatform::ReadProfileValue(const std::string& section, const std::string& key,
                                            std::size_t bufferSize, const std::string& path) {
  const auto file = files.find(path);
  if (file == files.end() || bufferSize == 0) return {};
  std::string value = profile::ReadValue(file->second, section, key);
  if (value.size() > bufferSize - 1) value.resize(bufferSize - 1);
  return value;
}

std::optional<SystemError> FakePlatform::Fault(const std::string& step) {
  const auto fault = failingSteps.find(step);
  if (fault == failingSteps.end()) return std::nullopt;
  if (fault->second == 0) return SystemError{0, L""};
  return SystemError{fault->second, L"fault " + FromAnsi(step)};
}

bool FakePlatform::IsReadOnlyFile(const std::wstring& path) {
  return readOnlyFiles.count(ToAnsi(path).value_or("?")) != 0;
}

std::optional<SystemError> FakePlatform::CopyBeside(const std::wstring& path, std::wstring& copy) {
  const std::string from = ToAnsi(path).value_or("?");
  copy = path + copySuffix;
  const std::string to = ToAnsi(copy).value_or("?");
  fileSteps.push_back("copy " + from + " " + to);
  if (std::optional<SystemError> error = Fault("copy")) return error;
  if (!filesWritable) return SystemError{5, L"Access denied."};
  const auto file = files.find(from);
  files[to] = file == files.end() ? std::string() : file->second;
  return std::nullopt;
}

std::optional<SystemError> FakePlatform::WriteProfileValue(const std::string& section, const std::string& key,
                                                          const std::string& value, const std::string& path) {
  fileSteps.push_back("write " + path + " " + key);
  if (std::optional<SystemError> error = Fault("write " + key)) return error;
  if (!filesWritable) return SystemError{5, L"Access denied."};
  std::string& file = files[path];
  file = profile::WriteValue(file, section, key, value);
  if (file.size() > diskBytes) file.resize(diskBytes);
  return std::nullopt;
}

std::vector<std::string> FakePlatform::ReadProfileSections(const std::string& path) {
  const auto file = files.find(path);
  return file == files.end() ? std::vector<std::string>() : profile::Sections(file->second);
}

std::vector<std::string> FakePlatform::ReadProfileKeys(const std::string& section, const std::string& path) {
  const auto file = files.find(path);
  return file == files.end() ? std::vector<std::string>() : profile::Keys(file->second, section);
}

std::optional<SystemError> FakePlatform::FlushProfileFile(const std::wstring& path) {
  fileSteps.push_back("flush " + ToAnsi(path).value_or("?"));
  return Fault("flush");
}

std::optional<SystemError> FakePlatform::ReadWholeFile(const std::wstring& path, std::string& bytes) {
  const std::string file = ToAnsi(path).value_or("?");
  fileSteps.push_back("read " + file);
  if (std::optional<SystemError> error = Fault("read " + file)) return error;
  const auto found = files.find(file);
  bytes = found == files.end() ? std::string() : found->second;
  return std::nullopt;
}

std::optional<SystemError> FakePlatform::ReplaceWithCopy(const std::wstring& copy, const std::wstring& path) {
  const std::string from = ToAnsi(copy).value_or("?");
  const std::string to = ToAnsi(path).value_or("?");
  fileSteps.push_back("replace " + to + " " + from);
  if (std::optional<SystemError> error = Fault("replace")) return error;
  const auto file = files.find(from);
  if (file == files.end()) return SystemError{2, L"The system cannot find the file specified."};
  files[to] = file->second;
  files.erase(from);
  return std::nullopt;
}

std::optional<SystemError> FakePlatform::RemoveFile(const std::wstring& path) {
  const std::string file = ToAnsi(path).value_or("?");
  fileSteps.push_back("remove " + file);
  if (std::optional<SystemError> error = Fault("remove")) return error;
  files.erase(file);
  return std::nullopt;
}

void* FakePlatform::LoadSwitchLibrary(const std::wstring&, SystemError& failure) {
  ++libraryLoads;
  if (!libraryPresent) failure = libraryLoadError;
  return libraryPresent ? this : nullptr;
}

bool FakePlatform::FileExists(const std::wstring& path) { return files.count(ToAnsi(path).value_or("?")) != 0; }

RawFunction FakePlatform::FindFunction(void*, const char* name) {
  const std::string function = name;
  lookups.push_back(function);
  if (missingFunctions.count(function) != 0) return nullptr;
  for (const auto& [fakeName, fake] : kFakeFunctions) {
    if (function == fakeName) return fake;
  }
  return nullptr;
}

void FakePlatform::SleepThenPumpEvents(int milliseconds) {
  ++sleepCount;
  sleptMilliseconds += milliseconds;
}

std::optional<SystemError> FakePlatform::StartCommandLine(const std::wstring& commandLine) {
  if (commandLine.empty()) return SystemError{0, L""};
  if (!startablePrograms.empty() && startablePrograms.count(commandLine) == 0) {
    return SystemError{2, L"The system cannot find the file specified."};
  }
  started.push_back(commandLine);
  return std::nullopt;
}

std::optional<SystemError> FakePlatform::AppendLine(const std::wstring& path, std::string_view header,
                                                   std::string_view line, std::uint64_t limitBytes) {
  const std::string file = ToAnsi(path).value_or("?");
  if (std::optional<SystemError> error = Fault("append")) return error;
  if (readOnlyFiles.count(file) != 0) return SystemError{5, L"Access denied."};
  std::string& content = files[file];
  if (!content.empty() && content.size() + line.size() > limitBytes) {
    files[file + ".1"] = content;
    content.clear();
  }
  if (content.empty()) content = header;
  content += line;
  return std::nullopt;
}

std::wstring FakePlatform::FoldFullWidth(std::wstring_view text) {
  std::wstring out(text);
  for (wchar_t& c : out) {
    if (c >= L'\uFF01' && c <= L'\uFF5E') {
      c = static_cast<wchar_t>(c - 0xFF01 + 0x21);
    } else if (c == L'\u3000') {
      c = L' ';
    }
  }
  return out;
}

std::string FakePlatform::Ini() {
  const auto file = files.find(iniPath());
  return file == files.end() ? std::string() : file->second;
}

}  // namespace qel
