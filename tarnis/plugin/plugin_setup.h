// The plug-in's one-time set-up, run by the module's first LibClassDesc
// call: a probe of the host's class directory, the binding of the block
// descriptors to their classes, the user's defaults from the settings files,
// and the notification handlers. Also here: the general settings the set-up
// reads (the line dialog position) and the lock of the line engine's
// motion-detection data, which the start-up notification makes and the
// shutdown notification deletes.
//
// PluginSetup takes the host interface and the settings directory it works
// with, so tests run it without loading the module; the module's own
// instance is ModuleSetup().
#pragma once

#include <functional>
#include <span>
#include <string>

#include "sdk/class_desc.h"
#include "sdk/interface.h"
#include "sdk/notify.h"

namespace tarnis {

// Where the set-up finds the host and the settings files.
struct SetupContext {
  // The host whose class directory the probe asks (AddClass / DeleteClass);
  // null: the core interface when the set-up runs.
  Interface* ip = nullptr;
  // The plug-in's settings directory; asked when defaults are read and
  // again at shutdown, when the dialog position is written. Empty (or no
  // function) means there are no settings files.
  std::function<std::string()> settingsDir;
  // The class descriptors handed out, in table order; the first is the one
  // the probe offers.
  std::span<ClassDesc2* const> classes;
};

// Settings of section "General" of "tarnis.ini": where the line effect's
// floating dialog was last put on the screen. The line effect's panel reads
// and updates them; the shutdown notification writes them.
struct GeneralSettings {
  static constexpr int kDefaultLineDlgX = 100;
  static constexpr int kDefaultLineDlgY = 100;
  int lineDlgX = kDefaultLineDlgX;
  int lineDlgY = kDefaultLineDlgY;
  bool operator==(const GeneralSettings&) const = default;
};

class PluginSetup {
 public:
  explicit PluginSetup(SetupContext context);
  // Unregisters the handlers this set-up registered.
  ~PluginSetup();
  PluginSetup(const PluginSetup&) = delete;
  PluginSetup& operator=(const PluginSetup&) = delete;

  // Runs the set-up on the first call; later calls do nothing, whatever the
  // probe answered. When the probe finds the classes present already, the
  // set-up binds nothing, reads nothing and registers nothing.
  void RunOnce();
  // LibClassDesc: runs the set-up, then answers descriptor i of the table,
  // null for an index outside it.
  ClassDesc2* ClassDesc(int i);

  bool Done() const { return done_; }
  // True when the probe's offer was taken (the set-up then did its work).
  bool ProbeAccepted() const { return probeAccepted_; }
  GeneralSettings& General() { return general_; }

 private:
  bool Probe();
  void LoadDefaults();
  void RegisterHandlers();
  void WriteGeneral();
  std::string SettingsDir() const;

  static void OnStartup(void* param, NotifyInfo* info);
  static void OnShutdown(void* param, NotifyInfo* info);
  static void OnSceneChange(void* param, NotifyInfo* info);

  SetupContext context_;
  bool done_ = false;
  bool probeAccepted_ = false;
  bool registered_ = false;
  GeneralSettings general_;
  // What the settings file held when it was read; written back only when changed.
  GeneralSettings loadedGeneral_;
};

// The set-up of the loaded module: the host's core interface, the settings
// directory and the class table.
PluginSetup& ModuleSetup();

}  // namespace tarnis
