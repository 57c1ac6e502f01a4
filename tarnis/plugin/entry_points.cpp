// The module's entry points: what the host calls after loading tarnis.so.
#include <dlfcn.h>

#include "sdk/plugin_api.h"
#include "tarnis/plugin/class_table.h"
#include "tarnis/plugin/plugin_setup.h"
#include "tarnis/plugin/presets.h"
#include "tarnis/resources/string_table.h"

namespace {

// The load routine: remember the module handle for resource lookups.
__attribute__((constructor)) void OnModuleLoad() {
  Dl_info info;
  if (dladdr(reinterpret_cast<void*>(&OnModuleLoad), &info) != 0) {
    tarnis::SetModuleHandle(info.dli_fbase);
  }
}

}  // namespace

TARNIS_PLUGIN_EXPORT const char* LibDescription() {
  return tarnis::GetString(tarnis::kStrLibDescription);
}

TARNIS_PLUGIN_EXPORT int LibNumberClasses() {
  return static_cast<int>(tarnis::ClassTable().size());
}

// The first call runs the plug-in's one-time set-up.
TARNIS_PLUGIN_EXPORT ClassDesc* LibClassDesc(int i) {
  return tarnis::ModuleSetup().ClassDesc(i);
}

TARNIS_PLUGIN_EXPORT unsigned long LibVersion() {
  return GetSDKVersion();
}

TARNIS_PLUGIN_EXPORT int CanAutoDefer() {
  return 0;
}

// Beside the class entry points: the presets, for the programs that load
// the module (tarnis/plugin/preset_service.h).
TARNIS_PLUGIN_EXPORT tarnis::PresetService* TarnisPresetService() {
  return &tarnis::ThePresetService();
}
