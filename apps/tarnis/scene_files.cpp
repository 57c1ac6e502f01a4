// Demo location, plug-in and scene loading, and warning output for the commands.
#include "apps/tarnis/scene_files.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "host/host_classes.h"
#include "host/host_interface.h"
#include "host/plugin_loader.h"
#include "host/scene_file.h"
#include "host/scene_loader.h"
#include "sdk/notify.h"

namespace tarnis_cli {

namespace fs = std::filesystem;

std::string DemoScenePath() {
  std::vector<fs::path> candidates;
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    candidates.push_back(exe.parent_path() / "../share/tarnis/examples/demo/demo.json");
    candidates.push_back(exe.parent_path() / "examples/demo/demo.json");
  }
  candidates.push_back(fs::path(TARNIS_SOURCE_DIR) / "examples/demo/demo.json");
  for (const fs::path& p : candidates) {
    if (fs::is_regular_file(p, ec)) return p.lexically_normal().string();
  }
  return {};
}

namespace {
bool gStarted = false;
std::unique_ptr<host::HostInterface> gSession;
// What LoadClasses searched and found, for the hint on unknown classes.
std::vector<std::string> gSearchedDirs;
int gModulesLoaded = 0;
}  // namespace

void BeginSession() {
  if (gSession) return;
  gSession = std::make_unique<host::HostInterface>(nullptr);
  SetCOREInterface(gSession.get());
}

Interface* SessionInterface() {
  return gSession.get();
}

void LoadClasses(const std::vector<std::string>& pluginFiles, std::vector<std::string>* warnings) {
  // Modules stay loaded for the whole run: objects of their classes live until exit.
  static host::PluginManager plugins;
  gSearchedDirs = host::DefaultPluginDirs();
  for (const std::string& dir : gSearchedDirs) plugins.LoadDirectory(dir, warnings);
  for (const std::string& file : pluginFiles) {
    std::string error;
    if (!plugins.LoadModule(file, &error) && warnings) warnings->push_back(error);
  }
  gModulesLoaded = static_cast<int>(plugins.Modules().size());
  host::RegisterHostClasses();
  // Plug-ins hear about the start once every class is known.
  if (!gStarted) {
    gStarted = true;
    BroadcastNotification(NOTIFY_SYSTEM_STARTUP);
  }
}

void EndSession() {
  if (gStarted) BroadcastNotification(NOTIFY_SYSTEM_SHUTDOWN);
  gStarted = false;
  SetCOREInterface(nullptr);
  gSession.reset();
}

std::string MissingPluginHint() {
  if (gModulesLoaded > 0) return {};
  std::string dirs;
  for (const std::string& d : gSearchedDirs) dirs += (dirs.empty() ? "" : ", ") + d;
  return "no plug-in module was found (searched " + (dirs.empty() ? "no folder" : dirs) +
         "; set TARNIS_PLUGIN_PATH or give --plugin FILE)";
}

namespace {

bool NamesUnknownClass(const std::string& text) {
  return text.find("unknown class") != std::string::npos;
}

}  // namespace

std::unique_ptr<host::Scene> LoadScene(const std::string& path, std::vector<std::string>* warnings,
                                       std::string* error) {
  std::vector<std::string> messages;
  std::unique_ptr<host::Scene> scene = fs::path(path).extension() == ".tscene"
                                           ? host::OpenSceneFile(path, &messages, error)
                                           : host::LoadSceneFile(path, &messages, error);
  // A class the scene needs but nobody knows most often means the plug-in
  // module was not found: say where it was looked for.
  const std::string hint = MissingPluginHint();
  if (!hint.empty()) {
    if (!scene && error && NamesUnknownClass(*error)) {
      *error += "; " + hint;
    } else if (std::any_of(messages.begin(), messages.end(), NamesUnknownClass)) {
      messages.push_back(hint);
    }
  }
  if (warnings) warnings->insert(warnings->end(), messages.begin(), messages.end());
  return scene;
}

void WarningPrinter::Print(const std::vector<std::string>& warnings) {
  for (const std::string& w : warnings) {
    if (printed_.insert(w).second) std::fprintf(stderr, "tarnis: warning: %s\n", w.c_str());
  }
}

void PrintError(const std::string& message) {
  std::fprintf(stderr, "tarnis: %s\n", message.c_str());
}

std::string Num(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

}  // namespace tarnis_cli
