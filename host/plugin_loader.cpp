#include "host/plugin_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "sdk/class_desc.h"
#include "sdk/plugin_api.h"

namespace host {

namespace fs = std::filesystem;

namespace {

template <class Fn>
Fn findEntry(void* handle, const char* name) {
  return reinterpret_cast<Fn>(dlsym(handle, name));
}

std::string canonical(const std::string& path) {
  std::error_code ec;
  fs::path p = fs::weakly_canonical(fs::path(path), ec);
  return ec ? path : p.string();
}

}  // namespace

bool PluginManager::LoadModule(const std::string& path, std::string* error) {
  const std::string key = canonical(path);
  for (const LoadedModule& m : modules_) {
    if (m.path == key) return true;
  }
  auto fail = [&](const std::string& why) {
    if (error) *error = "plug-in " + path + ": " + why;
    return false;
  };
  void* handle = dlopen(key.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = dlerror();
    return fail(why ? why : "cannot be loaded");
  }
  auto description = findEntry<LibDescriptionFn>(handle, "LibDescription");
  auto numClasses = findEntry<LibNumberClassesFn>(handle, "LibNumberClasses");
  auto classDesc = findEntry<LibClassDescFn>(handle, "LibClassDesc");
  auto version = findEntry<LibVersionFn>(handle, "LibVersion");
  auto canDefer = findEntry<CanAutoDeferFn>(handle, "CanAutoDefer");
  const char* missing = !description ? "LibDescription"
                        : !numClasses ? "LibNumberClasses"
                        : !classDesc  ? "LibClassDesc"
                        : !version    ? "LibVersion"
                        : !canDefer   ? "CanAutoDefer"
                                      : nullptr;
  if (missing) {
    dlclose(handle);
    return fail(std::string("the entry point ") + missing + " is missing");
  }
  if (version() != GetSDKVersion()) {
    unsigned long theirs = version();
    dlclose(handle);
    return fail("built for SDK version " + std::to_string(theirs) + ", this host has " +
                std::to_string(GetSDKVersion()));
  }
  // Every module is loaded fully at start-up, whatever CanAutoDefer says:
  // this host never defers.
  LoadedModule module;
  module.path = key;
  module.handle = handle;
  const char* text = description();
  module.description = text ? text : "";
  int n = numClasses();
  ClassDirectory& dir = GetClassDirectory();
  for (int i = 0; i < n; ++i) {
    if (ClassDesc* cd = classDesc(i)) {
      if (dir.AddClass(cd) == 1) ++module.numClasses;
    }
  }
  modules_.push_back(std::move(module));
  return true;
}

int PluginManager::LoadDirectory(const std::string& dir, std::vector<std::string>* messages) {
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) return 0;
  std::vector<std::string> files;
  for (const auto& entry : fs::directory_iterator(dir, ec)) {
    if (entry.is_regular_file(ec) && entry.path().extension() == ".so")
      files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  int loaded = 0;
  for (const std::string& f : files) {
    std::string error;
    if (LoadModule(f, &error)) {
      ++loaded;
    } else if (messages) {
      messages->push_back(error);
    }
  }
  return loaded;
}

std::vector<std::string> DefaultPluginDirs() {
  std::vector<std::string> dirs;
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    // An installed program keeps its plug-ins in ../lib/tarnis/plugins; a
    // program in a build tree has them beside it.
    fs::path installed = (exe.parent_path() / kInstalledPluginDir).lexically_normal();
    dirs.push_back(installed.string());
    dirs.push_back(exe.parent_path().string());
  }
  if (const char* env = std::getenv("TARNIS_PLUGIN_PATH")) {
    std::string list = env;
    size_t start = 0;
    while (start <= list.size()) {
      size_t end = list.find(':', start);
      if (end == std::string::npos) end = list.size();
      if (end > start) dirs.push_back(list.substr(start, end - start));
      start = end + 1;
    }
  }
  return dirs;
}

}  // namespace host
