#include "core/settings_save.h"

#include <map>

namespace qel {
namespace {

// Key names compare without regard to letter case, as the profile
// functions compare them.
std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// The copy beside ip.ini; removed when the save does not get as far as
// putting it in ip.ini's place.
class SaveCopy {
 public:
  explicit SaveCopy(Platform& platform) : platform_(platform) {}
  SaveCopy(const SaveCopy&) = delete;
  SaveCopy& operator=(const SaveCopy&) = delete;
  ~SaveCopy() {
    if (!path.empty()) platform_.RemoveFile(path);
  }
  std::wstring path;

 private:
  Platform& platform_;
};

// Where an entry stands: its section and key, in lower case.
using EntryName = std::pair<std::string, std::string>;
struct Entry {
  std::string section;
  std::string key;
  std::string value;  // as a read gives it
};

// Every key of every section of a profile file, with its value.
std::map<EntryName, Entry> ReadEntries(Platform& platform, const std::string& path) {
  std::map<EntryName, Entry> entries;
  for (const std::string& section : platform.ReadProfileSections(path)) {
    for (const std::string& key : platform.ReadProfileKeys(section, path)) {
      const std::string value = platform.ReadProfileValue(section, key, kProfileBufferSize, path);
      entries.emplace(EntryName{Lower(section), Lower(key)}, Entry{section, key, value});
    }
  }
  return entries;
}

SaveFailure ValueFailure(const FieldToSave& field, const ValueProblem& problem) {
  return {SaveStep::kValue, field.name, problem, std::nullopt};
}

SaveFailure SystemFailure(SaveStep step, const std::wstring& field, const SystemError& error) {
  return {step, field, std::nullopt, error};
}

// The checked copy against ip.ini as it stands now, line by line: what a
// read-back of the values cannot see (a cut beyond the 1023 bytes a read
// gives, in a comment, in a line end) shows here.
std::optional<SaveFailure> CompareWholeCopy(Platform& platform, const std::wstring& path, const std::wstring& copy,
                                            const std::vector<std::string>& writtenKeys) {
  std::string original, written;
  std::optional<SystemError> error = platform.ReadWholeFile(path, original);
  if (!error) error = platform.ReadWholeFile(copy, written);
  if (error) return SystemFailure(SaveStep::kWholeFile, {}, *error);
  const std::optional<CopyMismatch> mismatch = CompareProfileCopy(original, written, kSettingsSection, writtenKeys);
  if (!mismatch) return std::nullopt;
  return SaveFailure{SaveStep::kWholeFile, {}, std::nullopt, std::nullopt, mismatch};
}

}  // namespace

bool NeedsWriting(const std::optional<std::wstring>& filled, const std::wstring& text, bool fileHoldsKey) {
  return !fileHoldsKey || !filled || *filled != text;
}

std::optional<SaveFailure> SaveSettings(Platform& platform, const std::vector<FieldToSave>& fields) {
  if (!SettingsFileHasPath(platform)) return SaveFailure{SaveStep::kPath, {}, std::nullopt, std::nullopt};
  const std::wstring path = SettingsFilePath(platform);

  // What the user changed must come back as it is, else nothing is done;
  // this needs no disk.
  for (const FieldToSave& field : fields) {
    if (!NeedsWriting(field.filled, field.text, true)) continue;
    if (const std::optional<ValueProblem> problem = CheckSettingValue(platform, field.text)) {
      return ValueFailure(field, *problem);
    }
  }

  SaveCopy copy(platform);
  if (const std::optional<SystemError> error = platform.CopyBeside(path, copy.path)) {
    copy.path.clear();  // there is none
    return SystemFailure(SaveStep::kCopy, {}, *error);
  }
  const std::optional<std::string> copyPath = platform.ToAnsi(copy.path);
  if (!copyPath) return SaveFailure{SaveStep::kPath, {}, std::nullopt, std::nullopt};

  // The file as the copy holds it before writing: every key of every
  // section with its value.
  const std::map<EntryName, Entry> before = ReadEntries(platform, *copyPath);
  const std::string section = Lower(kSettingsSection);

  // Which fields to write, each checked (a key the file lacks is written
  // with the field's text even when the user did not change it).
  std::vector<std::pair<std::string, const FieldToSave*>> writes;
  std::map<std::string, std::wstring> names;  // lower-case key -> field name
  for (const FieldToSave& field : fields) {
    const std::string key = AnsiText(platform, field.key);
    names[Lower(key)] = field.name;
    if (!NeedsWriting(field.filled, field.text, before.count({section, Lower(key)}) != 0)) continue;
    if (const std::optional<ValueProblem> problem = CheckSettingValue(platform, field.text)) {
      return ValueFailure(field, *problem);
    }
    writes.emplace_back(key, &field);
  }

  for (const auto& [key, field] : writes) {
    const std::string stored = StoredSettingText(platform, field->text);
    if (const std::optional<SystemError> error =
            platform.WriteProfileValue(kSettingsSection, key, stored, *copyPath)) {
      return SystemFailure(SaveStep::kWrite, field->name, *error);
    }
  }
  if (const std::optional<SystemError> error = platform.FlushProfileFile(copy.path)) {
    return SystemFailure(SaveStep::kFlush, {}, *error);
  }

  // Read back from the disk: each written value as it was typed, every other
  // key of the file as it was. A disk that filled up cuts the file without
  // the profile functions saying so; this is where it shows.
  std::map<EntryName, Entry> expected = before;
  for (const auto& [key, field] : writes) {
    expected[{section, Lower(key)}] = {kSettingsSection, key, AnsiText(platform, field->text)};
  }
  const std::map<EntryName, Entry> after = ReadEntries(platform, *copyPath);
  for (const auto& [name, entry] : expected) {
    const auto found = after.find(name);
    if (found != after.end() && found->second.value == entry.value) continue;
    const auto field = names.find(name.second);
    const bool ours = name.first == section && field != names.end();
    return SaveFailure{SaveStep::kReadBack, ours ? field->second : platform.FromAnsi(entry.key), std::nullopt,
                       std::nullopt};
  }

  std::vector<std::string> writtenKeys;
  for (const auto& write : writes) writtenKeys.push_back(write.first);
  if (std::optional<SaveFailure> failure = CompareWholeCopy(platform, path, copy.path, writtenKeys)) return failure;

  if (const std::optional<SystemError> error = platform.ReplaceWithCopy(copy.path, path)) {
    return SystemFailure(SaveStep::kReplace, {}, *error);
  }
  copy.path.clear();  // it is ip.ini now
  return std::nullopt;
}

}  // namespace qel
