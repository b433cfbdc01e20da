#include "core/settings_save.h"

#include <map>
#include <set>

namespace qel {
namespace {

// The copy beside ip.ini that a save writes and checks. Nothing happens to
// it on its own: it either takes ip.ini's place (the commit) or is removed.
class SaveCopy {
 public:
  SaveCopy(Platform& platform, const std::wstring& ini) : platform_(platform), ini_(ini) {}
  SaveCopy(const SaveCopy&) = delete;
  SaveCopy& operator=(const SaveCopy&) = delete;

  std::optional<SystemError> Make() { return platform_.CopyBeside(ini_, path_); }
  const std::wstring& path() const { return path_; }

  // The commit: the checked copy takes ip.ini's place in one step, and is
  // no copy any more.
  std::optional<SystemError> ReplaceIpIni() {
    std::optional<SystemError> error = platform_.ReplaceWithCopy(path_, ini_);
    if (!error) path_.clear();
    return error;
  }

  // A copy that did not take ip.ini's place goes.
  std::optional<SystemError> Remove() { return path_.empty() ? std::nullopt : platform_.RemoveFile(path_); }

 private:
  Platform& platform_;
  const std::wstring ini_;
  std::wstring path_;
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
      entries.emplace(EntryName{ProfileNameKey(section), ProfileNameKey(key)}, Entry{section, key, value});
    }
  }
  return entries;
}

SaveFailure StepFailure(SaveStep step) { return {step, {}, std::nullopt, std::nullopt}; }

SaveFailure ValueFailure(const FieldToSave& field, const ValueProblem& problem) {
  return {SaveStep::kValue, field.name, problem, std::nullopt};
}

SaveFailure SystemFailure(SaveStep step, const std::wstring& field, const SystemError& error) {
  return {step, field, std::nullopt, error};
}

// One field to write: its key in the ANSI code page and its line.
struct Write {
  std::string key;
  const FieldToSave* field;
  SettingLine line;
};

// The checked copy against ip.ini as it stands now, line by line: what a
// read-back of the values cannot see (a cut beyond the 1023 bytes a read
// gives, in a comment, in a line end) shows here.
std::optional<SaveFailure> CompareWholeCopy(Platform& platform, const std::wstring& path, const std::wstring& copy,
                                            const std::vector<std::string>& writtenKeys) {
  std::string original, written;
  std::optional<SystemError> error = platform.ReadWholeFile(path, original);
  if (!error) error = platform.ReadWholeFile(copy, written);
  if (error) return SystemFailure(SaveStep::kWholeFile, {}, *error);
  const std::optional<CopyMismatch> mismatch = CompareProfileCopy(original, written, kSettingsSection, writtenKeys, platform.AnsiLeadBytes());
  if (!mismatch) return std::nullopt;
  return SaveFailure{SaveStep::kWholeFile, {}, std::nullopt, std::nullopt, mismatch};
}

}  // namespace

bool NeedsWriting(const std::optional<std::wstring>& filled, const std::wstring& text, bool fileHoldsKey) {
  return !fileHoldsKey || !filled || *filled != text;
}

namespace {

// Whether ip.ini as it stands now lacks something of the fields: a change
// of the user's, or a key it does not hold. A key the code page cannot hold
// counts, so that the save goes on and says why it cannot write it.
bool AnythingToWrite(Platform& platform, const std::vector<FieldToSave>& fields, const std::string& path) {
  std::set<std::string> held;
  for (const std::string& key : platform.ReadProfileKeys(kSettingsSection, path)) held.insert(ProfileNameKey(key));
  for (const FieldToSave& field : fields) {
    const std::optional<std::string> key = platform.ToAnsi(field.key);
    if (!key || NeedsWriting(field.filled, field.text, held.count(ProfileNameKey(*key)) != 0)) return true;
  }
  return false;
}

// Everything after the copy is made: the fields written into it, then the
// checks, each a step. ip.ini itself is not touched.
std::optional<SaveFailure> WriteAndCheckCopy(Platform& platform, const std::vector<FieldToSave>& fields,
                                             const std::wstring& path, const std::wstring& copy) {
  const std::optional<std::string> copyPath = platform.ToAnsi(copy);
  if (!copyPath) return StepFailure(SaveStep::kCopyPath);

  // The file as the copy holds it before writing: every key of every
  // section with its value.
  const std::map<EntryName, Entry> before = ReadEntries(platform, *copyPath);
  const std::string section = ProfileNameKey(kSettingsSection);

  // Which fields to write, each checked (a key the file lacks is written
  // with the field's text even when the user did not change it).
  std::vector<Write> writes;
  std::map<std::string, std::wstring> names;  // lower-case key -> field name
  for (const FieldToSave& field : fields) {
    const std::optional<std::string> key = platform.ToAnsi(field.key);
    if (!key) return ValueFailure(field, {SettingProblem::kNotInCodePage, field.key, 0});
    names[ProfileNameKey(*key)] = field.name;
    if (!NeedsWriting(field.filled, field.text, before.count({section, ProfileNameKey(*key)}) != 0)) continue;
    Write write{*key, &field, {}};
    if (const std::optional<ValueProblem> problem = SettingLineOf(platform, field.text, write.line)) {
      return ValueFailure(field, *problem);
    }
    writes.push_back(write);
  }

  for (const Write& write : writes) {
    if (const std::optional<SystemError> error =
            platform.WriteProfileValue(kSettingsSection, write.key, write.line.stored, *copyPath)) {
      return SystemFailure(SaveStep::kWrite, write.field->name, *error);
    }
  }
  if (const std::optional<SystemError> error = platform.FlushProfileFile(copy)) {
    return SystemFailure(SaveStep::kFlush, {}, *error);
  }

  // Read back from the disk: each written value as it was typed, every other
  // key of the file as it was. A disk that filled up cuts the file without
  // the profile functions saying so; this is where it shows.
  std::map<EntryName, Entry> expected = before;
  for (const Write& write : writes) {
    expected[{section, ProfileNameKey(write.key)}] = {kSettingsSection, write.key, write.line.readBack};
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
  for (const Write& write : writes) writtenKeys.push_back(write.key);
  return CompareWholeCopy(platform, path, copy, writtenKeys);
}

}  // namespace

std::optional<SaveFailure> SaveSettings(Platform& platform, const std::vector<FieldToSave>& fields) {
  if (!SettingsFileHasPath(platform)) return StepFailure(SaveStep::kPath);
  const std::wstring path = SettingsFilePath(platform);

  // What the user changed must come back as it is, else nothing is done;
  // this needs no disk.
  for (const FieldToSave& field : fields) {
    if (!NeedsWriting(field.filled, field.text, true)) continue;
    if (const std::optional<ValueProblem> problem = CheckSettingValue(platform, field.text)) {
      return ValueFailure(field, *problem);
    }
  }

  // Nothing to write: ip.ini is not touched, time stamp included, so that a
  // read-only one, or one another program holds open, does not stop the
  // window from quitting.
  if (!AnythingToWrite(platform, fields, AnsiText(platform, path))) return std::nullopt;

  // Read-only means "keep as it is": the profile functions would refuse to
  // write the file, and so does the save, though putting a copy in its
  // place would work.
  if (platform.IsReadOnlyFile(path)) return StepFailure(SaveStep::kReadOnly);

  SaveCopy copy(platform, path);
  if (const std::optional<SystemError> error = copy.Make()) return SystemFailure(SaveStep::kCopy, {}, *error);
  std::optional<SaveFailure> failure = WriteAndCheckCopy(platform, fields, path, copy.path());
  if (!failure) {
    const std::optional<SystemError> error = copy.ReplaceIpIni();
    if (!error) return std::nullopt;
    failure = SystemFailure(SaveStep::kReplace, {}, *error);
  }
  // ip.ini is as it was; so is the folder, unless the copy cannot go: the
  // message says where it is left.
  const std::wstring left = copy.path();
  if (const std::optional<SystemError> error = copy.Remove()) failure->leftCopy = LeftCopy{left, *error};
  return failure;
}

}  // namespace qel
