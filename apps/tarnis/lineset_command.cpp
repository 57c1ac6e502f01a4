#include "apps/tarnis/lineset_command.h"

#include <cstdio>
#include <filesystem>
#include <memory>

#include <CLI/CLI.hpp>

#include "apps/tarnis/scene_files.h"
#include "host/host_interface.h"
#include "host/param_binder.h"
#include "host/scene_file.h"
#include "sdk/param_block.h"

namespace tarnis_cli {

namespace {

constexpr char kLineEffectClass[] = "Tarnis_Line";
constexpr char kLineSetClass[] = "Tarnis_LineSet";
constexpr char kSaveParam[] = "lineSetSave";
constexpr char kLoadParam[] = "lineSetLoad";

// The host's interface over the scene while a line-set file is read or
// written: what the plug-in warns about and the files it could not write
// are kept, for the command to report as its error.
class FileInterface : public host::HostInterface {
 public:
  explicit FileInterface(host::Scene* scene) : HostInterface(scene) {
    SetShowProgress(false);
    previous_ = GetCOREInterface();
    SetCOREInterface(this);
  }
  ~FileInterface() override { SetCOREInterface(previous_); }
  FileInterface(const FileInterface&) = delete;
  FileInterface& operator=(const FileInterface&) = delete;

  int MessageBox(const char* text, const char* caption, MessageIcon icon,
                 MessageButtons buttons) override {
    if (icon != MessageIcon::Warning && icon != MessageIcon::Error) {
      return HostInterface::MessageBox(text, caption, icon, buttons);
    }
    problems.push_back(text ? text : "");
    return buttons == MessageButtons::Ok || buttons == MessageButtons::OkCancel ? IDOK : IDYES;
  }
  void OutputFailed(const char* path, const char* reason) override {
    std::string text = std::string("could not write ") + (path ? path : "");
    if (reason && *reason) text += std::string(": ") + reason;
    problems.push_back(text);
  }

  std::vector<std::string> problems;

 private:
  Interface* previous_;
};

// The text parameter "name" of the object's blocks.
std::string NameOf(ReferenceTarget* t) {
  for (IParamBlock2* pb : host::ParamBlocksOf(t)) {
    const ParamDef* def = pb->GetDesc()->GetParamDefByName("name");
    if (def && def->type == TYPE_STRING) return pb->GetStr(def->id);
  }
  return {};
}

// The line sets of each line effect of the scene, effect by effect.
std::vector<std::vector<ReferenceTarget*>> LineSetsByEffect(host::Scene& scene) {
  std::vector<std::vector<ReferenceTarget*>> effects;
  for (int i = 0; i < scene.Effects().Count(); ++i) {
    ReferenceTarget* effect = scene.Effects().Get(i);
    if (!effect || host::ClassLabel(effect) != kLineEffectClass) continue;
    std::vector<ReferenceTarget*>& sets = effects.emplace_back();
    for (int r = 0; r < effect->NumRefs(); ++r) {
      ReferenceTarget* item = effect->GetReference(r);
      if (item && host::ClassLabel(item) == kLineSetClass) sets.push_back(item);
    }
  }
  return effects;
}

// The line set named `name`, or for an empty name the first line set of the
// first line effect; null with the reason in `error`.
ReferenceTarget* FindLineSet(host::Scene& scene, const std::string& scenePath,
                             const std::string& name, std::string* error) {
  const std::vector<std::vector<ReferenceTarget*>> effects = LineSetsByEffect(scene);
  if (effects.empty()) {
    *error = scenePath + " has no line effect (" + kLineEffectClass + ")";
    return nullptr;
  }
  if (name.empty()) {
    if (!effects.front().empty()) return effects.front().front();
    *error = "the first line effect of " + scenePath + " has no line set";
    return nullptr;
  }
  std::string names;
  for (const std::vector<ReferenceTarget*>& sets : effects) {
    for (ReferenceTarget* set : sets) {
      if (NameOf(set) == name) return set;
      names += (names.empty() ? "" : ", ") + NameOf(set);
    }
  }
  *error = scenePath + " has no line set named \"" + name + "\" (" +
           (names.empty() ? std::string("it has none") : "its line sets: " + names) + ")";
  return nullptr;
}

// Sets the line set's file parameter `param` to `file`, which makes the
// plug-in write or read the file; false with what it reported.
bool RunFileParameter(host::Scene& scene, ReferenceTarget* set, const char* param,
                      const std::string& file, std::string* error) {
  FileInterface ip(&scene);
  for (IParamBlock2* pb : host::ParamBlocksOf(set)) {
    const ParamDef* def = pb->GetDesc()->GetParamDefByName(param);
    if (!def) continue;
    pb->SetValue(def->id, ip.GetTime(), file);
    if (ip.problems.empty()) return true;
    *error = ip.problems.front();
    return false;
  }
  *error = std::string("the line set has no parameter ") + param +
           " (the plug-in module is older than this program)";
  return false;
}

int RunSave(const LineSetOptions& o, host::Scene& scene) {
  std::string error;
  ReferenceTarget* set = FindLineSet(scene, o.scene, o.set, &error);
  if (!set || !RunFileParameter(scene, set, kSaveParam, o.file, &error)) {
    PrintError(error);
    return 1;
  }
  std::printf("Wrote %s (line set \"%s\")\n", o.file.c_str(), NameOf(set).c_str());
  return 0;
}

int RunLoad(const LineSetOptions& o, host::Scene& scene) {
  std::string error;
  ReferenceTarget* set = FindLineSet(scene, o.scene, o.set, &error);
  if (!set || !RunFileParameter(scene, set, kLoadParam, o.file, &error) ||
      !host::SaveSceneFile(scene, o.output, &error)) {
    PrintError(error);
    return 1;
  }
  std::printf("Read %s into line set \"%s\"\nWrote %s\n", o.file.c_str(), NameOf(set).c_str(),
              o.output.c_str());
  return 0;
}

}  // namespace

CLI::App* AddLineSetCommand(CLI::App& app, LineSetOptions& o) {
  CLI::App* cmd = app.add_subcommand(
      "lineset",
      "Write the look of a line set to a line-set file (.tln), or read one into a scene");
  cmd->require_subcommand(1);
  CLI::App* save = cmd->add_subcommand(
      "save", "Write a line set's blocks, curves, line settings and brushes to a .tln file");
  save->add_option("scene", o.scene, "Scene description (.json) or saved scene (.tscene)")
      ->required();
  save->add_option("set", o.set, "Name of the line set")->required();
  save->add_option("file", o.file, "Line-set file to write (.tln)")->required();
  save->add_option("--plugin", o.plugins, "Also load this plug-in module (.so)");
  save->callback([&o] { o.save = true; });
  CLI::App* load = cmd->add_subcommand(
      "load", "Read a .tln file into a line set and write the scene as a saved scene (.tscene)");
  load->add_option("scene", o.scene, "Scene description (.json) or saved scene (.tscene)")
      ->required();
  load->add_option("file", o.file, "Line-set file to read (.tln)")->required();
  load->add_option("-o,--output", o.output, "Saved scene to write (.tscene)")->required();
  load->add_option("--set", o.set,
                   "Name of the line set to read into (default: the first line set of the first "
                   "line effect); it keeps its name, members and on/off switch");
  load->add_option("--plugin", o.plugins, "Also load this plug-in module (.so)");
  return cmd;
}

int RunLineSet(const LineSetOptions& o) {
  namespace fs = std::filesystem;
  if (o.save && fs::path(o.file).extension() != ".tln") {
    PrintError(o.file + ": the line-set file must end in .tln");
    return 1;
  }
  if (!o.save && fs::path(o.output).extension() != ".tscene") {
    PrintError(o.output + ": the output must be a saved scene (.tscene)");
    return 1;
  }
  WarningPrinter warnings;
  std::vector<std::string> messages;
  LoadClasses(o.plugins, &messages);
  std::string error;
  std::unique_ptr<host::Scene> scene = LoadScene(o.scene, &messages, &error);
  warnings.Print(messages);
  if (!scene) {
    PrintError(error);
    return 1;
  }
  return o.save ? RunSave(o, *scene) : RunLoad(o, *scene);
}

}  // namespace tarnis_cli
