#include "tarnis/common/preset_store.h"

#include <utility>

#include "sdk/atomic_file.h"
#include "tarnis/common/ini_handler.h"

namespace tarnis {

PresetStore::PresetStore(std::string fileName) : fileName_(std::move(fileName)) {}

PresetStore::PresetStore(std::string fileName, std::string path)
    : fileName_(std::move(fileName)), requested_(std::move(path)) {}

PresetStore PresetStore::AtPath(std::string path) {
  return PresetStore(std::string(), std::move(path));
}

MemIniHandler* PresetStore::Handler() {
  const std::string requested = fileName_.empty() ? requested_ : SettingsFilePath(fileName_);
  if (requested.empty()) return loaded_ ? &handler_ : nullptr;
  if (!loaded_ || requested != requested_) Load(requested);
  return &handler_;
}

void PresetStore::Load(const std::string& requested) {
  requested_ = requested;
  loaded_ = true;
  handler_.Clear();
  problem_.clear();
  readable_ = false;
  if (!handler_.SetPath(requested)) {
    problem_ = requested + ": the path is too long";
    return;
  }
  handler_.ResolvePath();
  // Checked before MemIniHandler reads it: binary data reads as sections
  // of garbage, and writing those back would destroy the file.
  IniFile file;
  const IniFile::LoadStatus status = file.Load(handler_.Path(), &problem_);
  if (status == IniFile::LoadStatus::kFailed) return;
  if (file.HoldsBinary()) {
    problem_ = handler_.Path() + ": holds binary data, not presets";
    return;
  }
  if (!handler_.Load(handler_.Path())) {
    problem_ = handler_.Path() + ": cannot be read";
    return;
  }
  readable_ = true;
  stamp_ = FileStamp::Of(handler_.Path());
}

std::vector<std::string> PresetStore::Names() {
  std::vector<std::string> names;
  if (MemIniHandler* h = Handler()) {
    for (const MemIniHandler::Section& s : h->Sections()) names.push_back(s.name);
  }
  return names;
}

std::string PresetStore::Find(std::string_view name) {
  name = TrimSpaces(name);
  for (const std::string& n : Names()) {
    if (EqualsIgnoringCase(n, name)) return n;
  }
  return {};
}

void PresetStore::TakeInChanges() {
  if (!Handler() || !readable_) return;
  if (FileStamp::Of(handler_.Path()) != stamp_) Load(requested_);
}

bool PresetStore::Write(std::string* error) {
  auto fail = [&](std::string why) {
    if (error) *error = std::move(why);
    return false;
  };
  if (!Handler() || handler_.Path().empty()) return fail("there is no settings folder for presets");
  if (!readable_) return fail(problem_ + "; it is left as it is");
  if (!handler_.Save(handler_.Path())) {
    std::string why;
    if (CheckWritable(handler_.Path(), &why)) why = handler_.Path() + ": cannot be written";
    return fail(why + "; the file is left as it was");
  }
  stamp_ = FileStamp::Of(handler_.Path());
  return true;
}

}  // namespace tarnis
