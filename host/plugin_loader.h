// Loading plug-in modules: shared libraries that export the entry points of
// sdk/plugin_api.h. The host looks in its plug-in directories (../lib/tarnis/plugins
// from the program, the program's own folder, the folders of $TARNIS_PLUGIN_PATH,
// and any given with --plugin), checks each module's entry points and SDK
// version, and registers its class descriptors in the class directory. A
// module that fails a check is refused with a message naming it and the
// reason; the host carries on.
#pragma once

#include <string>
#include <vector>

namespace host {

struct LoadedModule {
  std::string path;
  std::string description;
  int numClasses = 0;
  void* handle = nullptr;
};

class PluginManager {
 public:
  PluginManager() = default;
  PluginManager(const PluginManager&) = delete;
  PluginManager& operator=(const PluginManager&) = delete;
  // Modules stay loaded for the life of the process: objects of their
  // classes may outlive any scope here (undo records, statics of the SDK).
  ~PluginManager() = default;

  // Loads one module file. False with a message naming the module when it
  // cannot be opened, lacks an entry point or was built for another SDK
  // version. Loading the same file twice does nothing the second time.
  bool LoadModule(const std::string& path, std::string* error);
  // Loads every "*.so" file of a directory in name order; messages of
  // refused modules are appended to `messages`. Answers how many loaded.
  int LoadDirectory(const std::string& dir, std::vector<std::string>* messages);

  const std::vector<LoadedModule>& Modules() const { return modules_; }

 private:
  std::vector<LoadedModule> modules_;
};

// Where an installed program's plug-ins live, relative to the program's folder.
inline constexpr const char* kInstalledPluginDir = "../lib/tarnis/plugins";

// The directories searched by default: kInstalledPluginDir from the program's
// folder, the program's own folder, then the entries of $TARNIS_PLUGIN_PATH
// (separated by ':').
std::vector<std::string> DefaultPluginDirs();

}  // namespace host
