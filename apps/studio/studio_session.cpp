#include "apps/studio/studio_session.h"

#include "host/host_classes.h"
#include "sdk/class_desc.h"
#include "sdk/notify.h"
#include "tarnis/plugin/class_table.h"
#include "tarnis/plugin/plugin_setup.h"
#include "tarnis/resources/string_table.h"

#include <dlfcn.h>
#include <libintl.h>

#include <filesystem>

namespace studio {

StudioInterface::StudioInterface() : host::HostInterface(nullptr, stderr) {
  SetShowProgress(false);
}

void StudioInterface::SetProgressListener(ProgressListener listener) {
  std::lock_guard lock(listenerMutex_);
  listener_ = std::move(listener);
}

void StudioInterface::ProgressStart(const char* title) {
  std::lock_guard lock(listenerMutex_);
  if (listener_) listener_(0, title ? title : "", false);
}

void StudioInterface::ProgressUpdate(int percent, const char* title) {
  std::lock_guard lock(listenerMutex_);
  if (listener_) listener_(percent, title ? title : "", false);
}

void StudioInterface::ProgressEnd() {
  std::lock_guard lock(listenerMutex_);
  if (listener_) listener_(100, "", true);
}

namespace {

bool gStarted = false;

void RegisterClasses() {
  // The texts are looked up through the module handle; the plug-in is part
  // of this program, so the program's own image stands in for the module.
  Dl_info info;
  if (dladdr(reinterpret_cast<void*>(&RegisterClasses), &info) != 0) {
    tarnis::SetModuleHandle(info.dli_fbase);
  }
  // Asking for the first descriptor runs the plug-in's set-up, which probes
  // the class directory itself; the classes are added afterwards, as the
  // host does for a loaded module.
  // An installed program keeps the plug-in's catalogues in share/locale
  // beside bin/, not where the plug-in looks from a module's folder.
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  const std::filesystem::path locale = exe.parent_path() / "../share/locale";
  if (!ec && std::filesystem::is_directory(locale, ec)) {
    bindtextdomain(tarnis::kTextDomain, locale.lexically_normal().c_str());
  }
  const int n = static_cast<int>(tarnis::ClassTable().size());
  for (int i = 0; i < n; ++i) {
    if (ClassDesc2* cd = tarnis::ModuleSetup().ClassDesc(i)) GetClassDirectory().AddClass(cd);
  }
  host::RegisterHostClasses();
}

}  // namespace

StudioInterface& Session() {
  static StudioInterface session;
  static const bool started = [] {
    SetCOREInterface(&session);
    RegisterClasses();
    gStarted = true;
    BroadcastNotification(NOTIFY_SYSTEM_STARTUP);
    return true;
  }();
  (void)started;
  return session;
}

void EndSession() {
  if (!gStarted) return;
  gStarted = false;
  BroadcastNotification(NOTIFY_SYSTEM_SHUTDOWN);
}

}  // namespace studio
