#include "apps/tarnis/preset_command.h"

#include <dlfcn.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include <CLI/CLI.hpp>

#include "apps/tarnis/scene_files.h"
#include "host/param_binder.h"
#include "host/scene_file.h"
#include "sdk/class_desc.h"
#include "sdk/effect.h"
#include "sdk/mtl.h"
#include "sdk/param_block.h"
#include "tarnis/plugin/preset_service.h"

namespace tarnis_cli {

namespace {

using tarnis::PresetKind;
using tarnis::PresetKindInfo;
using tarnis::PresetResult;
using tarnis::PresetService;
using tarnis::PresetStatus;

// A class of the plug-in module, to find the module by.
constexpr char kPluginClass[] = "Tarnis_LineBrush";
// The most objects an error lists.
constexpr size_t kMaxListed = 12;

// One printer for the run, so each warning is printed once.
WarningPrinter& Warnings() {
  static WarningPrinter printer;
  return printer;
}

std::string KindWords() {
  std::string words;
  for (const PresetKindInfo& k : tarnis::kPresetKinds) {
    words += (words.empty() ? "" : ", ") + std::string(k.word);
  }
  return words;
}

const PresetKindInfo* FindKind(const std::string& word) {
  for (const PresetKindInfo& k : tarnis::kPresetKinds) {
    if (word == k.word) return &k;
  }
  return nullptr;
}

std::string Joined(const std::vector<std::string>& items, const char* separator) {
  std::string text;
  for (size_t i = 0; i < items.size(); ++i) text += (i == 0 ? "" : separator) + items[i];
  return text;
}

std::string Quoted(const std::string& s) {
  return "\"" + s + "\"";
}

// The module's preset service: the module that holds the plug-in's classes
// is asked for its entry point.
PresetService* FindService(std::string* error) {
  std::vector<std::string> messages;
  LoadClasses({}, &messages);
  Warnings().Print(messages);
  ClassDesc2* cd = GetClassDirectory().FindClassByInternalName(kPluginClass);
  Dl_info info{};
  void* module = nullptr;
  if (cd && dladdr(static_cast<void*>(cd), &info) != 0 && info.dli_fname) {
    module = dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
  }
  if (!module) {
    const std::string hint = MissingPluginHint();
    *error = "presets need the Tarnis plug-in module, which is not loaded" +
             (hint.empty() ? std::string() : "; " + hint);
    return nullptr;
  }
  auto entry =
      reinterpret_cast<tarnis::PresetServiceFn>(dlsym(module, tarnis::kPresetServiceEntry));
  // The module stays loaded: the class directory holds it.
  dlclose(module);
  if (!entry) {
    *error = std::string(info.dli_fname) + ": the plug-in module offers no presets";
    return nullptr;
  }
  return entry();
}

// Checks the kind and finds the service; null after printing the error.
PresetService* Begin(const PresetOptions& o, const PresetKindInfo** kind) {
  *kind = FindKind(o.kind);
  if (!*kind) {
    PrintError("no kind of preset is called " + Quoted(o.kind) + "; kinds: " + KindWords());
    return nullptr;
  }
  std::string error;
  PresetService* service = FindService(&error);
  if (!service) PrintError(error);
  return service;
}

// Where a preset file could not be read, the user hears it once.
void WarnAboutFile(PresetService& service, const PresetKindInfo& kind) {
  const std::string problem = service.FileProblem(kind.kind);
  if (!problem.empty()) Warnings().Print({problem + "; its presets are not used"});
}

std::string PresetList(PresetService& service, const PresetKindInfo& kind) {
  const std::vector<std::string> names = service.Names(kind.kind);
  if (names.empty()) return "there are no " + std::string(kind.word) + " presets";
  std::vector<std::string> quoted;
  for (const std::string& n : names) quoted.push_back(Quoted(n));
  return std::string(kind.word) + " presets: " + Joined(quoted, ", ");
}

// What a result that is not kDone means, as one line; empty for kDone.
std::string Problem(const PresetResult& r, PresetService& service, const PresetKindInfo& kind,
                    const std::string& name) {
  switch (r.status) {
    case PresetStatus::kDone:
      return {};
    case PresetStatus::kEmptyName:
      return "a preset needs a name";
    case PresetStatus::kBadName:
      return Quoted(name) + " cannot be a preset name (one line of at most " +
             std::to_string(tarnis::PresetController::kMaxPresetName) + " characters)";
    case PresetStatus::kNoPreset:
      return "no " + std::string(kind.word) + " preset is called " + Quoted(r.name) + " (" +
             PresetList(service, kind) + ")";
    case PresetStatus::kNoStore:
      return "there is no settings folder for presets (set TARNIS_HOME)";
    case PresetStatus::kNoTarget:
      return "the object takes no " + std::string(kind.word) + " presets";
    case PresetStatus::kNotWritten:
      return r.problem;
  }
  return "the preset could not be used";
}

// --- Finding the object -------------------------------------------------------------

// The names on one way from the scene's top to an object: the names of the
// objects it passes and the slot names of the scene format (a line set's
// "visible" / "base"). ownFrom is where the names of the last step (the
// slot that holds the object, and its own name) begin.
struct Way {
  std::vector<std::string> path;
  size_t ownFrom;
};

// An object of the scene and the first ways found to it, shortest first.
struct Reached {
  ReferenceTarget* object;
  std::vector<Way> ways;
};

// The ways kept to one object (a map shared by many materials needs no more).
constexpr size_t kMaxWays = 8;

std::string OwnName(ReferenceTarget* t) {
  if (auto* mtl = dynamic_cast<MtlBase*>(t)) return mtl->GetName();
  if (auto* element = dynamic_cast<IRenderElement*>(t)) return element->ElementName();
  for (IParamBlock2* pb : host::ParamBlocksOf(t)) {
    const ParamDef* def = pb->GetDesc()->GetParamDefByName("name");
    if (def && def->type == TYPE_STRING) return pb->GetStr(def->id);
  }
  return {};
}

// Every object reachable from the scene's materials, effects, render
// elements and nodes' materials, breadth first; each object's references
// are followed once, from its first way. Scene nodes are not entered.
std::vector<Reached> ReachableObjects(host::Scene& scene) {
  std::vector<Reached> reached;
  std::unordered_map<ReferenceTarget*, size_t> index;
  auto add = [&](ReferenceTarget* t, std::vector<std::string> path, const NamedReference* slot) {
    if (!t || t->SuperClassID() == BASENODE_CLASS_ID) return;
    const size_t ownFrom = path.size();
    if (slot) {
      path.push_back(slot->group);
      path.push_back(slot->name);
    }
    if (std::string name = OwnName(t); !name.empty()) path.push_back(name);
    auto [it, added] = index.emplace(t, reached.size());
    if (added) reached.push_back({t, {}});
    std::vector<Way>& ways = reached[it->second].ways;
    if (ways.size() < kMaxWays) ways.push_back({std::move(path), ownFrom});
  };
  for (host::RefList* list : {&scene.Library(), &scene.Effects(), &scene.Elements()}) {
    for (int i = 0; i < list->Count(); ++i) add(list->Get(i), {}, nullptr);
  }
  for (host::HostNode* node : scene.AllNodes()) add(node->GetMtl(), {}, nullptr);
  for (size_t k = 0; k < reached.size(); ++k) {
    ReferenceTarget* t = reached[k].object;
    std::map<int, NamedReference> named;
    for (NamedReference& r : t->NamedReferences()) named[r.index] = r;
    for (int i = 0; i < t->NumRefs(); ++i) {
      auto it = named.find(i);
      add(t->GetReference(i), reached[k].ways.front().path,
          it == named.end() ? nullptr : &it->second);
    }
  }
  return reached;
}

std::vector<std::string> SplitPath(const std::string& wanted) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= wanted.size()) {
    size_t end = wanted.find('/', start);
    if (end == std::string::npos) end = wanted.size();
    if (end > start) parts.push_back(wanted.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

// The last part names the object (or the slot holding it) on one of its
// ways; the other parts appear before it on that way, in order.
bool Matches(const Way& w, const std::string& wanted, const std::vector<std::string>& parts) {
  if (!w.path.empty() && w.path.back() == wanted) return true;
  if (parts.empty()) return false;
  for (size_t k = w.path.size(); k-- > w.ownFrom;) {
    if (w.path[k] != parts.back()) continue;
    size_t j = 0;
    for (size_t i = 0; i < k && j + 1 < parts.size(); ++i) j += w.path[i] == parts[j];
    if (j + 1 == parts.size()) return true;
  }
  return false;
}

bool Matches(const Reached& r, const std::string& wanted, const std::vector<std::string>& parts) {
  for (const Way& w : r.ways) {
    if (Matches(w, wanted, parts)) return true;
  }
  return false;
}

struct Candidate {
  ReferenceTarget* target;
  std::string path;
};

// The kind's targets among the objects the name or path `wanted` gives (each once),
// or, when `wanted` is null, all of them.
std::vector<Candidate> Targets(const std::vector<Reached>& reached, PresetService& service,
                               PresetKind kind, const std::string* wanted) {
  const std::vector<std::string> parts = wanted ? SplitPath(*wanted) : std::vector<std::string>();
  std::vector<Candidate> out;
  std::unordered_set<ReferenceTarget*> taken;
  for (const Reached& r : reached) {
    if (wanted && !Matches(r, *wanted, parts)) continue;
    ReferenceTarget* target = service.TargetOf(kind, r.object);
    if (target && taken.insert(target).second) {
      out.push_back({target, Joined(r.ways.front().path, "/")});
    }
  }
  return out;
}

std::string Listed(const std::vector<Candidate>& candidates) {
  std::vector<std::string> paths;
  for (const Candidate& c : candidates) {
    if (paths.size() == kMaxListed) {
      paths.push_back("...");
      break;
    }
    paths.push_back(Quoted(c.path.empty() ? "(unnamed)" : c.path));
  }
  return Joined(paths, ", ");
}

// The object the options name in the scene, or null after printing why.
ReferenceTarget* FindTarget(host::Scene& scene, PresetService& service, const PresetKindInfo& kind,
                            const PresetOptions& o) {
  const std::vector<Reached> reached = ReachableObjects(scene);
  const std::vector<Candidate> found = Targets(reached, service, kind.kind, &o.object);
  if (found.size() == 1) return found.front().target;
  if (found.empty()) {
    const std::vector<Candidate> all = Targets(reached, service, kind.kind, nullptr);
    PrintError(o.scene + ": no " + kind.what + " is called " + Quoted(o.object) +
               (all.empty() ? "; the scene has none" : "; there are " + Listed(all)));
  } else {
    PrintError(o.scene + ": " + Quoted(o.object) + " names " + std::to_string(found.size()) +
               " objects: " + Listed(found) + "; give more of the path");
  }
  return nullptr;
}

std::unique_ptr<host::Scene> Load(const std::string& path) {
  std::vector<std::string> messages;
  std::string error;
  std::unique_ptr<host::Scene> scene = LoadScene(path, &messages, &error);
  Warnings().Print(messages);
  if (!scene) PrintError(error);
  return scene;
}

int RunList(const PresetOptions& o) {
  const PresetKindInfo* kind = nullptr;
  PresetService* service = Begin(o, &kind);
  if (!service) return 1;
  WarnAboutFile(*service, *kind);
  for (const std::string& name : service->Names(kind->kind)) std::printf("%s\n", name.c_str());
  return 0;
}

int RunSave(const PresetOptions& o) {
  const PresetKindInfo* kind = nullptr;
  PresetService* service = Begin(o, &kind);
  if (!service) return 1;
  std::unique_ptr<host::Scene> scene = Load(o.scene);
  if (!scene) return 1;
  ReferenceTarget* target = FindTarget(*scene, *service, *kind, o);
  if (!target) return 1;
  WarnAboutFile(*service, *kind);
  const PresetResult result = service->Save(kind->kind, o.name, target);
  if (std::string problem = Problem(result, *service, *kind, o.name); !problem.empty()) {
    PrintError(problem);
    return 1;
  }
  std::printf("Saved %s preset %s in %s\n", kind->word, Quoted(result.name).c_str(),
              service->FilePath(kind->kind).c_str());
  return 0;
}

int RunApply(const PresetOptions& o) {
  if (std::filesystem::path(o.output).extension() != ".tscene") {
    PrintError(o.output + ": the output must be a saved scene (.tscene)");
    return 1;
  }
  const PresetKindInfo* kind = nullptr;
  PresetService* service = Begin(o, &kind);
  if (!service) return 1;
  std::unique_ptr<host::Scene> scene = Load(o.scene);
  if (!scene) return 1;
  ReferenceTarget* target = FindTarget(*scene, *service, *kind, o);
  if (!target) return 1;
  WarnAboutFile(*service, *kind);
  const PresetResult result = service->Apply(kind->kind, o.name, target);
  if (std::string problem = Problem(result, *service, *kind, o.name); !problem.empty()) {
    PrintError(problem);
    return 1;
  }
  std::string error;
  if (!host::SaveSceneFile(*scene, o.output, &error)) {
    PrintError(error);
    return 1;
  }
  std::printf("Applied %s preset %s to %s; wrote %s\n", kind->word, Quoted(result.name).c_str(),
              Quoted(o.object).c_str(), o.output.c_str());
  return 0;
}

int RunDelete(const PresetOptions& o) {
  const PresetKindInfo* kind = nullptr;
  PresetService* service = Begin(o, &kind);
  if (!service) return 1;
  WarnAboutFile(*service, *kind);
  const PresetResult result = service->Delete(kind->kind, o.name);
  if (std::string problem = Problem(result, *service, *kind, o.name); !problem.empty()) {
    PrintError(problem);
    return 1;
  }
  std::printf("Deleted %s preset %s from %s\n", kind->word, Quoted(result.name).c_str(),
              service->FilePath(kind->kind).c_str());
  return 0;
}

}  // namespace

CLI::App* AddPresetCommand(CLI::App& app, PresetOptions& o) {
  std::string kinds = KindWords();
  CLI::App* cmd =
      app.add_subcommand("preset",
                         "List, save, apply and delete presets (named sets of values kept in the "
                         "settings folder, $TARNIS_HOME/plugcfg)");
  cmd->require_subcommand(1);
  auto action = [&o](const char* name) { return [&o, name] { o.action = name; }; };
  auto kind = [&](CLI::App* sub) {
    sub->add_option("kind", o.kind, "Kind of preset: " + kinds)->required();
  };
  auto name = [&](CLI::App* sub) { sub->add_option("name", o.name, "Preset name")->required(); };
  auto object = [&](CLI::App* sub) {
    sub->add_option("scene", o.scene, "Scene description (.json) or saved scene (.tscene)")
        ->required();
    sub->add_option("object", o.object,
                    "The object by name, or by a path of names and slot names separated by "
                    "\"/\" (Lines/visible/base)")
        ->required();
  };
  CLI::App* list = cmd->add_subcommand("list", "Print the names of a kind's presets, in order");
  kind(list);
  list->callback(action("list"));
  CLI::App* save = cmd->add_subcommand("save",
                                       "Save an object's values as a preset (replacing one of "
                                       "that name, letter case ignored)");
  kind(save);
  name(save);
  object(save);
  save->callback(action("save"));
  CLI::App* apply = cmd->add_subcommand(
      "apply", "Apply a preset to an object and write the scene as a saved scene");
  kind(apply);
  name(apply);
  object(apply);
  apply->add_option("-o,--output", o.output, "Saved scene to write (.tscene)")->required();
  apply->callback(action("apply"));
  CLI::App* remove = cmd->add_subcommand("delete", "Delete a preset");
  kind(remove);
  name(remove);
  remove->callback(action("delete"));
  return cmd;
}

int RunPreset(const PresetOptions& o) {
  if (o.action == "list") return RunList(o);
  if (o.action == "save") return RunSave(o);
  if (o.action == "apply") return RunApply(o);
  return RunDelete(o);
}

}  // namespace tarnis_cli
