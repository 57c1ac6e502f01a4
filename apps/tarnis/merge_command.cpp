#include "apps/tarnis/merge_command.h"

#include <cstdio>
#include <filesystem>
#include <memory>

#include <CLI/CLI.hpp>

#include "apps/tarnis/scene_files.h"
#include "host/host_interface.h"
#include "host/scene_file.h"

namespace tarnis_cli {

namespace {

constexpr char kAdd[] = "add";
constexpr char kMerge[] = "merge";
constexpr char kMergeByName[] = "merge-by-name";
constexpr char kDrop[] = "drop";

// The host's interface over the scene while it is merged into: each merge
// dialog is answered with the command's choice, and what it did is printed.
class MergeInterface : public host::HostInterface {
 public:
  MergeInterface(host::Scene* scene, const std::string& choice) : HostInterface(scene) {
    SetShowProgress(false);
    SetMergeChooser(
        [choice](const MergeQuestion& q, MergeAnswer& a) { return Answer(choice, q, a); });
    previous_ = GetCOREInterface();
    SetCOREInterface(this);
  }
  ~MergeInterface() override { SetCOREInterface(previous_); }
  MergeInterface(const MergeInterface&) = delete;
  MergeInterface& operator=(const MergeInterface&) = delete;

 private:
  // Every effect is answered on its own (never "apply to the remaining"),
  // so that each gets its line of output.
  static bool Answer(const std::string& choice, const MergeQuestion& q, MergeAnswer& a) {
    a.applyToRemaining = false;
    a.existingIndex = 0;
    a.mergeByName = choice == kMergeByName;
    const char* what = "dropped";
    if (choice == kDrop) {
      a.choice = MergeAnswer::kDrop;
    } else if (choice == kAdd || !q.canChooseExisting) {
      a.choice = MergeAnswer::kAdd;
      what = choice == kAdd ? "added" : "added (the scene has no line effect to merge into)";
    } else {
      a.choice = MergeAnswer::kMergeInto;
      what = a.mergeByName ? "line sets merged by name into the scene's first line effect"
                           : "line sets added to the scene's first line effect";
    }
    std::printf("Line effect %d of %d: %s\n", q.position, q.count, what);
    return true;
  }

  Interface* previous_;
};

}  // namespace

CLI::App* AddMergeCommand(CLI::App& app, MergeOptions& o) {
  CLI::App* cmd = app.add_subcommand(
      "merge", "Merge the objects of a saved scene into a scene and write a saved scene (.tscene)");
  cmd->add_option("scene", o.scene, "Scene description (.json) or saved scene (.tscene)")
      ->required();
  cmd->add_option("other", o.other, "Saved scene (.tscene) whose objects are merged in")
      ->required();
  cmd->add_option("-o,--output", o.output, "Saved scene to write (.tscene)")->required();
  cmd->add_option("--merge-lines", o.mergeLines,
                  "What becomes of each line effect a line merge helper of OTHER brings: add "
                  "(default), merge (its line sets go to the scene's first line effect), "
                  "merge-by-name (sets of a name the first line effect has join that set), drop")
      ->check(CLI::IsMember({kAdd, kMerge, kMergeByName, kDrop}));
  cmd->add_option("--plugin", o.plugins, "Also load this plug-in module (.so)");
  return cmd;
}

int RunMerge(const MergeOptions& o) {
  namespace fs = std::filesystem;
  if (fs::path(o.output).extension() != ".tscene") {
    PrintError(o.output + ": the output must be a saved scene (.tscene)");
    return 1;
  }
  if (fs::path(o.other).extension() != ".tscene") {
    PrintError(o.other +
               ": merge reads saved scenes (.tscene); turn a description into one "
               "with tarnis convert");
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
  MergeInterface ip(scene.get(), o.mergeLines);
  messages.clear();
  std::vector<std::string> errors;
  const std::string paths[] = {o.other};
  // Counted in the scene, as the merge deletes the helpers that arrived.
  const size_t before = scene->AllNodes().size();
  host::MergeSceneFiles(*scene, paths, &messages, &errors);
  const size_t after = scene->AllNodes().size();
  const size_t nodes = after > before ? after - before : 0;
  warnings.Print(messages);
  if (!errors.empty()) {
    PrintError(errors.front());
    return 1;
  }
  if (!host::SaveSceneFile(*scene, o.output, &error)) {
    PrintError(error);
    return 1;
  }
  std::printf("Merged %zu node%s from %s\nWrote %s\n", nodes, nodes == 1 ? "" : "s",
              o.other.c_str(), o.output.c_str());
  return 0;
}

}  // namespace tarnis_cli
