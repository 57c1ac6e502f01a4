#include "tarnis/line/effect/line_set_file.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "sdk/atomic_file.h"
#include "sdk/class_desc.h"
#include "sdk/curve_control.h"
#include "sdk/hold.h"
#include "sdk/mtl.h"
#include "sdk/param_block.h"
#include "tarnis/common/ini_file.h"
#include "tarnis/common/ini_values.h"
#include "tarnis/common/mem_ini_handler.h"
#include "tarnis/line/brush/brush.h"
#include "tarnis/line/effect/line_set.h"
#include "tarnis/line/effect/line_setting.h"
#include "tarnis/line/effect/line_setting_links.h"
#include "tarnis/line/effect/param_linking.h"

namespace tarnis {

namespace {

constexpr char kParamsSection[] = "Params";
constexpr char kNumInstanceKey[] = "NumInstance";
constexpr char kSuperClassKey[] = "SClass_ID";
constexpr char kClassKey[] = "Class_ID";
constexpr char kNameKey[] = "Name";
constexpr char kCurvePointsKey[] = "num";
// Names of settings and brushes are cut to this many bytes.
constexpr int kMaxNameBytes = 255;

// The classes a file lists, each known by superclass and class id together.
struct ListedClass {
  SClass_ID superClass;
  Class_ID id;
};
constexpr ListedClass kLineSetClass{RENDER_EFFECT_CLASS_ID, kLineSetClassID};
// The classes a read makes new objects of; the line set is always the target.
constexpr ListedClass kMadeClasses[] = {{TEXMAP_CLASS_ID, kLineSettingClassID},
                                        {TEXMAP_CLASS_ID, kBrushClassID}};

bool IsMadeClass(SClass_ID superClass, const Class_ID& id) {
  return std::any_of(std::begin(kMadeClasses), std::end(kMadeClasses), [&](const ListedClass& c) {
    return c.superClass == superClass && c.id == id;
  });
}

bool IsListed(ReferenceTarget* t) {
  if (!t) return false;
  const SClass_ID superClass = t->SuperClassID();
  const Class_ID id = t->ClassID();
  return (superClass == kLineSetClass.superClass && id == kLineSetClass.id) ||
         IsMadeClass(superClass, id);
}

std::string InstanceSection(int k) {
  return "Instance" + std::to_string(k);
}
std::string BlockSection(const std::string& instance, int j) {
  return instance + " PB" + std::to_string(j);
}
std::string CurveSection(const std::string& instance, int n) {
  return instance + " CC" + std::to_string(n);
}
std::string SubInstanceKey(int j) {
  return "SubInstance" + std::to_string(j);
}

// Block j of an object is the j-th parameter block among its references.
std::vector<IParamBlock2*> BlocksOf(ReferenceTarget* t) {
  std::vector<IParamBlock2*> blocks;
  for (int i = 0; i < t->NumRefs(); ++i) {
    if (auto* pb = dynamic_cast<IParamBlock2*>(t->GetReference(i))) blocks.push_back(pb);
  }
  return blocks;
}

// Curve n of an object is the first curve of the n-th curve control among
// its references.
std::vector<CurveControl*> CurvesOf(ReferenceTarget* t) {
  std::vector<CurveControl*> curves;
  for (int i = 0; i < t->NumRefs(); ++i) {
    if (auto* cc = dynamic_cast<CurveControl*>(t->GetReference(i))) curves.push_back(cc);
  }
  return curves;
}

bool HasName(ReferenceTarget* t) {
  const SClass_ID superClass = t->SuperClassID();
  return (superClass == MATERIAL_CLASS_ID || superClass == TEXMAP_CLASS_ID) &&
         dynamic_cast<MtlBase*>(t);
}

// --- Writing ------------------------------------------------------------------------

// The instances in depth-first pre-order from the line set, and the number
// of each.
struct InstanceList {
  std::vector<ReferenceTarget*> objects;
  std::unordered_map<ReferenceTarget*, int> numbers;
};

InstanceList CollectInstances(LineSet* set) {
  InstanceList list;
  // Popping the last pushed and pushing references last-to-first visits them
  // in the same order as the recursive walk would.
  std::vector<ReferenceTarget*> todo{set};
  while (!todo.empty()) {
    ReferenceTarget* t = todo.back();
    todo.pop_back();
    if (list.numbers.contains(t)) continue;
    list.numbers.emplace(t, static_cast<int>(list.objects.size()));
    list.objects.push_back(t);
    for (int j = t->NumRefs() - 1; j >= 0; --j) {
      ReferenceTarget* r = t->GetReference(j);
      if (IsListed(r) && !list.numbers.contains(r)) todo.push_back(r);
    }
  }
  return list;
}

void WriteInstance(MemIniHandler& ini, const InstanceList& list, int k) {
  ReferenceTarget* t = list.objects[static_cast<size_t>(k)];
  const std::string section = InstanceSection(k);
  const Class_ID id = t->ClassID();
  ini.WriteString(section.c_str(), kSuperClassKey, std::to_string(t->SuperClassID()).c_str());
  ini.WriteString(section.c_str(), kClassKey,
                  (std::to_string(id.PartA()) + " " + std::to_string(id.PartB())).c_str());
  for (int j = 0; j < t->NumRefs(); ++j) {
    auto it = list.numbers.find(t->GetReference(j));
    if (it == list.numbers.end()) continue;
    ini.WriteString(section.c_str(), SubInstanceKey(j).c_str(), std::to_string(it->second).c_str());
  }
  if (HasName(t)) ini.WriteString(section.c_str(), kNameKey, dynamic_cast<MtlBase*>(t)->GetName());
  const std::vector<IParamBlock2*> blocks = BlocksOf(t);
  for (size_t j = 0; j < blocks.size(); ++j) {
    ini.WriteBlock(BlockSection(section, static_cast<int>(j)).c_str(), *blocks[j]);
  }
  const std::vector<CurveControl*> curves = CurvesOf(t);
  for (size_t n = 0; n < curves.size(); ++n) {
    if (const ICurve* curve = curves[n]->GetControlCurve(0)) {
      ini.WriteCurve(CurveSection(section, static_cast<int>(n)).c_str(), *curve);
    }
  }
}

// Why a file could not be written, as far as the file system tells.
std::string WriteProblem(const std::string& path) {
  std::string resolved, problem;
  if (!ResolveWriteTarget(path, resolved, problem)) return problem;
  std::error_code ec;
  const std::filesystem::path folder = std::filesystem::path(resolved).parent_path();
  if (!folder.empty() && !std::filesystem::is_directory(folder, ec)) {
    return "cannot write (the folder does not exist)";
  }
  return "cannot write (the folder does not take new files, or the disk is full)";
}

// --- Reading ------------------------------------------------------------------------

// The keys of a parsed file, looked up through its index, so that each
// lookup costs the same however many sections a file holds (a hostile file
// may hold hundreds of thousands). Reads answer like MemIniHandler's: the
// first section and key of a name count, letter case ignored, and an empty
// value counts as missing.
class FileKeys : public IniHandler {
 public:
  explicit FileKeys(const IniFile& file) : text_(file) {
    for (const std::string& name : file.SectionNames()) sections_.insert(Lower(name));
  }

  bool WriteString(const char*, const char*, const char*) override { return false; }
  bool ReadString(const char* section, const char* key, char* buffer, int size) override {
    if (!buffer || size <= 0) return false;
    buffer[0] = '\0';
    if (!section || !key) return false;
    std::optional<std::string> value = text_.Get(section, key);
    if (!value || value->empty()) return false;
    CopyToBuffer(*value, buffer, size);
    return true;
  }
  bool ResolvePath() override { return false; }

  bool HasSection(std::string_view name) const { return sections_.contains(Lower(name)); }

 private:
  static std::string Lower(std::string_view s) {
    std::string lower(TrimSpaces(s));
    for (char& c : lower) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
  }

  const IniFile& text_;
  std::unordered_set<std::string> sections_;
};

// The leading unsigned number of `text` after spaces and an optional "+",
// as "%u" reads it; `text` moves past it.
std::optional<uint32_t> TakeWord(std::string_view& text) {
  text = TrimSpaces(text);
  if (text.starts_with('+')) text.remove_prefix(1);
  uint32_t v = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc()) return std::nullopt;
  text.remove_prefix(static_cast<size_t>(end - text.data()));
  return v;
}

struct FileInstance {
  std::string section;
  ReferenceTarget* object = nullptr;  // null: a class no read makes
};

std::vector<LineSetReadListener*>& Listeners() {
  static std::vector<LineSetReadListener*> listeners;
  return listeners;
}

void TellListeners(LineSet& set, bool before) {
  // A copy, since a listener may remove itself (or another, which is then
  // not told).
  const std::vector<LineSetReadListener*> listeners = Listeners();
  for (LineSetReadListener* l : listeners) {
    const std::vector<LineSetReadListener*>& now = Listeners();
    if (std::find(now.begin(), now.end(), l) == now.end()) continue;
    if (before) {
      l->BeforeLineSetRead(set);
    } else {
      l->AfterLineSetRead(set);
    }
  }
}

// One read of a file into a line set: everything is checked and the new
// objects are built first (Prepare); only then does the line set change
// (Install), in a way that can no longer fail.
class LineSetFileReader {
 public:
  LineSetFileReader(LineSet& set, const IniFile& file) : set_(set), keys_(file) {}

  LineSetFileResult Prepare();
  void Install();

 private:
  LineSetFileResult ReadCount();
  LineSetFileResult MakeInstances();
  LineSetFileResult ReadNewInstance(const FileInstance& instance);
  LineSetFileResult CheckBlocks(const FileInstance& instance);
  // Reads curve section n of `instance` into `curve`; fails when the
  // section is missing or does not hold the whole curve.
  LineSetFileResult ReadCurveSection(const FileInstance& instance, int n, ICurve& curve);
  LineSetFileResult CheckTargetCurves();
  void InstallTargetValues();
  void Link(int k);
  bool MayLink(ReferenceTarget* owner, int slot, ReferenceTarget* target);

  LineSet& set_;
  FileKeys keys_;
  int count_ = 0;
  std::vector<FileInstance> instances_;
  // Keep the new objects alive until they are linked in; those left out go
  // with the reader.
  std::vector<std::unique_ptr<ReferenceHolder>> made_;
};

LineSetFileResult LineSetFileReader::ReadCount() {
  std::optional<std::string> text = keys_.ReadValue(kParamsSection, kNumInstanceKey);
  if (!text) return LineSetFileResult::Failed("not a line-set file (no NumInstance in [Params])");
  std::optional<int> n = ParseInt(*text);
  if (!n || *n < 0 || *n > kMaxLineSetFileInstances) {
    return LineSetFileResult::Failed("NumInstance is not a count from 0 to " +
                                     std::to_string(kMaxLineSetFileInstances));
  }
  count_ = *n;
  return {};
}

LineSetFileResult LineSetFileReader::MakeInstances() {
  // Every class is checked before anything is made, so a file cut short
  // makes no object at all.
  struct ClassOf {
    SClass_ID superClass;
    Class_ID id;
  };
  std::vector<ClassOf> classes;
  for (int k = 0; k < count_; ++k) {
    const std::string section = InstanceSection(k);
    std::string superText = keys_.ReadValue(section.c_str(), kSuperClassKey).value_or("");
    std::string idText = keys_.ReadValue(section.c_str(), kClassKey).value_or("");
    std::string_view super = superText, id = idText;
    std::optional<uint32_t> s = TakeWord(super);
    std::optional<uint32_t> a = TakeWord(id);
    std::optional<uint32_t> b = a ? TakeWord(id) : std::nullopt;
    if (!s || !b) {
      return LineSetFileResult::Failed("[" + section +
                                       "] does not name its class: the file is damaged or was "
                                       "cut short");
    }
    classes.push_back({*s, Class_ID(*a, *b)});
  }
  HoldSuspend noUndo;
  for (int k = 0; k < count_; ++k) {
    FileInstance& instance = instances_.emplace_back(FileInstance{InstanceSection(k)});
    const ClassOf& c = classes[static_cast<size_t>(k)];
    if (k == 0) {
      instance.object = &set_;
    } else if (IsMadeClass(c.superClass, c.id)) {
      instance.object =
          static_cast<ReferenceTarget*>(GetClassDirectory().CreateInstance(c.superClass, c.id));
      if (instance.object) made_.push_back(std::make_unique<ReferenceHolder>(instance.object));
    }
  }
  return {};
}

LineSetFileResult LineSetFileReader::CheckBlocks(const FileInstance& instance) {
  // Every block section is written, the first one always with keys: without
  // it the file was cut short (later blocks may be missing in files of
  // older versions, so they are not required).
  if (BlocksOf(instance.object).empty() || keys_.HasSection(BlockSection(instance.section, 0))) {
    return {};
  }
  return LineSetFileResult::Failed("[" + BlockSection(instance.section, 0) +
                                   "] is missing: the file is damaged or was cut short");
}

LineSetFileResult LineSetFileReader::ReadCurveSection(const FileInstance& instance, int n,
                                                      ICurve& curve) {
  const std::string section = CurveSection(instance.section, n);
  if (!keys_.HasSection(section)) {
    return LineSetFileResult::Failed("[" + section +
                                     "] is missing: the file is damaged or was cut short");
  }
  std::optional<std::string> num = keys_.ReadValue(section.c_str(), kCurvePointsKey);
  std::optional<int> points = num ? ParseInt(*num) : std::nullopt;
  if (!points || *points < 0 || *points > ICurve::kMaxPoints) {
    return LineSetFileResult::Failed("[" + section + "] has no point count from 0 to " +
                                     std::to_string(ICurve::kMaxPoints) +
                                     ": the file is damaged or was cut short");
  }
  if (!keys_.ReadCurve(section.c_str(), curve)) {
    return LineSetFileResult::Failed("[" + section +
                                     "] lacks a key of a point, or one is not a number: the file "
                                     "is damaged or was cut short");
  }
  return {};
}

LineSetFileResult LineSetFileReader::ReadNewInstance(const FileInstance& instance) {
  ReferenceTarget* t = instance.object;
  if (HasName(t)) {
    if (std::optional<std::string> name = keys_.ReadValue(instance.section.c_str(), kNameKey)) {
      char cut[kMaxNameBytes + 1];
      CopyToBuffer(*name, cut, sizeof cut);
      dynamic_cast<MtlBase*>(t)->SetName(cut);
    }
  }
  if (LineSetFileResult r = CheckBlocks(instance); !r) return r;
  const std::vector<IParamBlock2*> blocks = BlocksOf(t);
  for (size_t j = 0; j < blocks.size(); ++j) {
    keys_.ReadBlock(BlockSection(instance.section, static_cast<int>(j)).c_str(), *blocks[j]);
  }
  const std::vector<CurveControl*> curves = CurvesOf(t);
  for (size_t n = 0; n < curves.size(); ++n) {
    ICurve* curve = curves[n]->GetControlCurve(0);
    if (!curve) continue;
    if (LineSetFileResult r = ReadCurveSection(instance, static_cast<int>(n), *curve); !r) return r;
  }
  return {};
}

LineSetFileResult LineSetFileReader::CheckTargetCurves() {
  // The target's curves change only in Install: each section is read into a
  // scratch curve here, which reading it again there will match.
  const std::vector<CurveControl*> curves = CurvesOf(&set_);
  for (size_t n = 0; n < curves.size(); ++n) {
    if (!curves[n]->GetControlCurve(0)) continue;
    ReferenceHolder scratch(new CurveControl);
    ICurve& curve = *scratch.GetAs<CurveControl>()->GetControlCurve(0);
    if (LineSetFileResult r = ReadCurveSection(instances_[0], static_cast<int>(n), curve); !r) {
      return r;
    }
  }
  return {};
}

LineSetFileResult LineSetFileReader::Prepare() {
  if (LineSetFileResult r = ReadCount(); !r) return r;
  if (count_ == 0) return {};
  if (LineSetFileResult r = MakeInstances(); !r) return r;
  if (LineSetFileResult r = CheckBlocks(instances_[0]); !r) return r;
  if (LineSetFileResult r = CheckTargetCurves(); !r) return r;
  HoldSuspend noUndo;
  for (size_t k = 1; k < instances_.size(); ++k) {
    if (!instances_[k].object) continue;
    if (LineSetFileResult r = ReadNewInstance(instances_[k]); !r) return r;
  }
  return {};
}

void LineSetFileReader::InstallTargetValues() {
  // Unlinked, the type blocks do not pass the file's values on to the base
  // settings they have now: those are about to be replaced and may be
  // shared with other line sets, which must not change. The new base
  // settings hand their values to the type blocks when they are attached.
  ParamLinkingOff unlinked;
  const std::vector<IParamBlock2*> blocks = BlocksOf(&set_);
  for (size_t j = 0; j < blocks.size(); ++j) {
    const std::string section = BlockSection(instances_[0].section, static_cast<int>(j));
    // The line set stays switched on or off as it was.
    ParamFilter filter;
    if (blocks[j] == set_.MainBlock()) filter = [](ParamID id) { return id != kLineSetEnable; };
    keys_.ReadBlock(section.c_str(), *blocks[j], filter);
  }
  const std::vector<CurveControl*> curves = CurvesOf(&set_);
  for (size_t n = 0; n < curves.size(); ++n) {
    if (ICurve* curve = curves[n]->GetControlCurve(0)) {
      keys_.ReadCurve(CurveSection(instances_[0].section, static_cast<int>(n)).c_str(), *curve);
    }
  }
}

bool LineSetFileReader::MayLink(ReferenceTarget* owner, int slot, ReferenceTarget* target) {
  // Only settings and brushes are linked in, never the line set itself.
  if (!dynamic_cast<Texmap*>(target)) return false;
  // Blocks and curves are never instances: a link to such a slot is damage.
  ReferenceTarget* current = owner->GetReference(slot);
  if (dynamic_cast<IParamBlock2*>(current) || dynamic_cast<CurveControl*>(current)) return false;
  // A setting takes the place of a setting, a brush that of a brush.
  if (IsListed(current) && current->ClassID() != target->ClassID()) return false;
  // An object may not come to contain itself.
  return owner != target && !owner->HasDependent(target);
}

void LineSetFileReader::Link(int k) {
  ReferenceTarget* owner = instances_[static_cast<size_t>(k)].object;
  if (!owner) return;
  const std::string& section = instances_[static_cast<size_t>(k)].section;
  for (int j = 0; j < owner->NumRefs(); ++j) {
    std::optional<std::string> text = keys_.ReadValue(section.c_str(), SubInstanceKey(j).c_str());
    std::optional<int> m = text ? ParseInt(*text) : std::nullopt;
    if (!m || *m < 0 || *m >= count_) continue;
    ReferenceTarget* target = instances_[static_cast<size_t>(*m)].object;
    // A slot that does not take the object keeps what it had.
    if (target && MayLink(owner, j, target)) owner->TryReplaceReference(j, target);
  }
}

void LineSetFileReader::Install() {
  TellListeners(set_, /*before=*/true);
  if (count_ > 0) {
    InstallTargetValues();
    for (int k = 0; k < count_; ++k) Link(k);
    // A base slot whose link was skipped keeps its setting, which then
    // gives its values back to the type block.
    for (int t = 1; t <= kNumLineTypes; ++t) {
      AttachBaseSetting(set_.TypeBlock(t), set_.Setting(t, 0));
    }
  }
  TellListeners(set_, /*before=*/false);
}

}  // namespace

LineSetFileResult WriteLineSetFile(LineSet* set, const char* path) {
  if (!set) return LineSetFileResult::Failed("no line set to write");
  if (!path || !*path) return LineSetFileResult::Failed("no file name");
  const InstanceList list = CollectInstances(set);
  const int count = static_cast<int>(list.objects.size());
  if (count > kMaxLineSetFileInstances) {
    return LineSetFileResult::Failed("the line set with its settings and brushes is " +
                                     std::to_string(count) +
                                     " objects, more than a line-set file takes (" +
                                     std::to_string(kMaxLineSetFileInstances) + ")");
  }
  MemIniHandler ini;
  ini.WriteString(kParamsSection, kNumInstanceKey, std::to_string(count).c_str());
  for (int k = 0; k < count; ++k) WriteInstance(ini, list, k);
  if (!ini.Save(path)) return LineSetFileResult::Failed(WriteProblem(path));
  return {};
}

LineSetFileResult ReadLineSetFile(LineSet* set, const char* path) {
  if (!set) return LineSetFileResult::Failed("no line set to read into");
  if (!path || !*path) return LineSetFileResult::Failed("no file name");
  IniFile file;
  std::string error;
  switch (file.Load(path, &error)) {
    case IniFile::LoadStatus::kMissing:
      return LineSetFileResult::Failed("no such file");
    case IniFile::LoadStatus::kFailed: {
      const std::string prefix = std::string(path) + ": ";
      if (error.starts_with(prefix)) error.erase(0, prefix.size());
      return LineSetFileResult::Failed(error);
    }
    case IniFile::LoadStatus::kLoaded:
      break;
  }
  if (file.HoldsBinary()) {
    return LineSetFileResult::Failed("holds binary data, not a line-set file");
  }
  LineSetFileReader reader(*set, file);
  if (LineSetFileResult r = reader.Prepare(); !r) return r;
  reader.Install();
  return {};
}

void AddLineSetReadListener(LineSetReadListener* listener) {
  std::vector<LineSetReadListener*>& listeners = Listeners();
  if (listener && std::find(listeners.begin(), listeners.end(), listener) == listeners.end()) {
    listeners.push_back(listener);
  }
}

void RemoveLineSetReadListener(LineSetReadListener* listener) {
  std::vector<LineSetReadListener*>& listeners = Listeners();
  listeners.erase(std::remove(listeners.begin(), listeners.end(), listener), listeners.end());
}

}  // namespace tarnis
