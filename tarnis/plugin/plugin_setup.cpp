// The one-time set-up, its notification handlers and the motion-detection lock.
#include "tarnis/plugin/plugin_setup.h"

#include <filesystem>
#include <memory>
#include <string>

#include "sdk/hold.h"
#include "tarnis/common/ini_file.h"
#include "tarnis/common/ini_handler.h"
#include "tarnis/common/ini_values.h"
#include "tarnis/line/brush/brush_params.h"
#include "tarnis/line/effect/line_manager.h"
#include "tarnis/line/effect/line_ref_tex.h"
#include "tarnis/line/effect/param_linking.h"
#include "tarnis/line/effect/setting_holder.h"
#include "tarnis/line/engine/line_engine.h"
#include "tarnis/material/grad_settings.h"
#include "tarnis/material/tarmat.h"
#include "tarnis/plugin/class_table.h"
#include "tarnis/plugin/line_merge.h"
#include "tarnis/plugin/param_set_clipboard.h"
#include "tarnis/stroke/stroke_params.h"

namespace tarnis {

namespace {

constexpr char kGeneralSection[] = "General";
constexpr char kLineDlgX[] = "LineDlgX";
constexpr char kLineDlgY[] = "LineDlgY";

std::string FileIn(const std::string& dir, const char* name) {
  return (std::filesystem::path(dir) / name).string();
}

// A key of "tarnis.ini" that holds a whole int; nothing otherwise.
std::optional<int> ReadInt(IniHandler& ini, const char* key) {
  std::optional<std::string> text = ini.ReadValue(kGeneralSection, key);
  return text ? ParseInt(*text) : std::nullopt;
}

// A settings file we cannot take as one (binary data, too large, not a
// file) is left alone, and the user hears why its values are not used.
void SayIfUnreadable(const std::string& path) {
  IniFile file;
  std::string problem;
  if (file.Load(path, &problem) == IniFile::LoadStatus::kLoaded && file.HoldsBinary())
    problem = path + ": holds binary data, not settings";
  if (problem.empty()) return;
  const std::string text = problem + "; its values are not used and it is left as it is";
  if (Interface* ip = GetCOREInterface())
    ip->MessageBox(text.c_str(), "Tarnis", MessageIcon::Warning);
}

}  // namespace

PluginSetup::PluginSetup(SetupContext context) : context_(std::move(context)) {}

PluginSetup::~PluginSetup() {
  if (!registered_) return;
  UnRegisterNotification(OnStartup, this);
  UnRegisterNotification(OnShutdown, this);
  UnRegisterNotification(OnSceneChange, this);
}

void PluginSetup::RunOnce() {
  if (done_) return;
  // Marked first: whatever happens below, the set-up never runs twice.
  done_ = true;
  probeAccepted_ = Probe();
  if (!probeAccepted_) return;
  // The block descriptors were bound to their classes when the class table
  // asked each class for its descriptor, so there is nothing left to bind.
  LoadDefaults();
  RegisterHandlers();
}

ClassDesc2* PluginSetup::ClassDesc(int i) {
  RunOnce();
  if (i < 0 || i >= static_cast<int>(context_.classes.size())) return nullptr;
  return context_.classes[static_cast<size_t>(i)];
}

bool PluginSetup::Probe() {
  if (context_.classes.empty()) return true;
  Interface* ip = context_.ip ? context_.ip : GetCOREInterface();
  // The toon material is the class offered; a table without it offers its
  // first class.
  ClassDesc2* cd = context_.classes.front();
  for (ClassDesc2* c : context_.classes) {
    if (c->SuperClassID() == MATERIAL_CLASS_ID && c->ClassID() == kTarmatClassID) cd = c;
  }
  // Taken means these classes were not known yet: this is the first copy
  // of the plug-in, and it does the set-up.
  if (ip->AddClass(cd) != 1) return false;
  ip->DeleteClass(cd);
  return true;
}

std::string PluginSetup::SettingsDir() const {
  return context_.settingsDir ? context_.settingsDir() : std::string();
}

void PluginSetup::LoadDefaults() {
  const std::string dir = SettingsDir();
  if (dir.empty()) return;
  IniHandler brush(FileIn(dir, kBrushIniFile));
  LoadBrushDefaults(brush);
  IniHandler stroke(FileIn(dir, kStrokeIniFile));
  LoadStrokeDefaults(stroke);
  IniHandler lineRefTex(FileIn(dir, kLineRefTexIniFile));
  LoadLineRefTexDefaults(lineRefTex);
  ReloadGradationDefaults();
  const std::string generalPath = FileIn(dir, kTarnisIniFile);
  SayIfUnreadable(generalPath);
  IniHandler general(generalPath);
  if (std::optional<int> x = ReadInt(general, kLineDlgX)) general_.lineDlgX = *x;
  if (std::optional<int> y = ReadInt(general, kLineDlgY)) general_.lineDlgY = *y;
  loadedGeneral_ = general_;
}

void PluginSetup::RegisterHandlers() {
  RegisterNotification(OnStartup, this, NOTIFY_SYSTEM_STARTUP);
  RegisterNotification(OnShutdown, this, NOTIFY_SYSTEM_SHUTDOWN);
  for (int code : {NOTIFY_SYSTEM_PRE_RESET, NOTIFY_FILE_PRE_OPEN, NOTIFY_SYSTEM_PRE_NEW}) {
    RegisterNotification(OnSceneChange, this, code);
  }
  RegisterLineMergeNotifications();
  RegisterParamLinkingNotifications();
  registered_ = true;
}

void PluginSetup::WriteGeneral() {
  // The user's file is written only when a value changed during the run.
  if (general_ == loadedGeneral_) return;
  const std::string dir = SettingsDir();
  if (dir.empty()) return;
  IniHandler ini(FileIn(dir, kTarnisIniFile));
  ini.ResolvePath();
  const bool written =
      ini.WriteString(kGeneralSection, kLineDlgX, std::to_string(general_.lineDlgX).c_str()) &&
      ini.WriteString(kGeneralSection, kLineDlgY, std::to_string(general_.lineDlgY).c_str());
  if (!written) {
    const std::string text =
        ini.Path() + ": the settings could not be saved; the file is left as it is";
    if (Interface* ip = GetCOREInterface())
      ip->MessageBox(text.c_str(), "Tarnis", MessageIcon::Warning);
  }
  loadedGeneral_ = general_;
}

void PluginSetup::OnStartup(void*, NotifyInfo*) {
  CreateMotionDetectionLock();
}

void PluginSetup::OnShutdown(void* param, NotifyInfo*) {
  ReleaseMotionDetectionLock();
  static_cast<PluginSetup*>(param)->WriteGeneral();
}

void PluginSetup::OnSceneChange(void*, NotifyInfo*) {
  // What the clipboards copied belongs to the scene that goes.
  ClearParamSetClipboard();
  SettingHolder* clipboard = LineSettingClipboard();
  if (!clipboard) return;
  HoldSuspend suspend;
  clipboard->DeleteAllRefs();
}

PluginSetup& ModuleSetup() {
  static PluginSetup setup(
      {.ip = nullptr, .settingsDir = [] { return SettingsDirectory(); }, .classes = ClassTable()});
  return setup;
}

}  // namespace tarnis
