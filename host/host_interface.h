// HostInterface: the host's core services (Interface) over a Scene, as the
// command-line program installs them with SetCOREInterface: the current
// time, the settings directory, the scene's render effects and nodes,
// message boxes without a GUI (printed, answered with the default), the
// render cancel flag and a progress display on stderr.
#pragma once

#include <atomic>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/inspection_files.h"
#include "host/progress_display.h"
#include "host/scene.h"
#include "sdk/interface.h"

namespace host {

// The settings directory for an environment: `tarnisHome` when set and not
// empty, else `xdgConfigHome`/tarnis, else `home`/.config/tarnis; empty
// when none is known. Null arguments count as unset.
std::string SettingsDirFor(const char* tarnisHome, const char* xdgConfigHome, const char* home);

class HostInterface : public Interface, public SceneUser {
 public:
  // `scene` may be null (no effects, no nodes) and must outlive this
  // object. Progress and messages go to `out`, drawn as a bar when it is a
  // terminal.
  explicit HostInterface(Scene* scene, std::FILE* out = stderr);
  // Like the above with the bar decided by the caller (tests).
  HostInterface(Scene* scene, std::FILE* out, bool terminal, ProgressDisplay::Clock clock);

  void SetScene(Scene* scene) override { scene_ = scene; }
  Scene* GetScene() const override { return scene_; }

  TimeValue GetTime() override { return time_.load(); }
  void SetTime(TimeValue t) override { time_.store(t); }
  // APP_USER_SETTINGS_DIR: SettingsDirFor($TARNIS_HOME, $XDG_CONFIG_HOME,
  // $HOME), created on first use. APP_RENDER_OUTPUT_DIR: as set below.
  // Other numbers: empty.
  std::string GetDir(int which) override;
  // The folder the render's images go to (empty: the working folder).
  void SetRenderOutputDir(const std::string& dir) {
    std::lock_guard lock(dirMutex_);
    renderOutputDir_ = dir;
  }

  int NumEffects() override;
  Effect* GetEffect(int i) override;
  INode* GetRootNode() override;
  bool AddEffect(Effect* effect) override;
  bool DeleteNode(INode* node) override;
  // Answers merge dialogs through the chooser set below; without one, the
  // dialog's opening state is the answer.
  bool AskMergeChoice(const MergeQuestion& question, MergeAnswer& answer) override;
  using MergeChooser = std::function<bool(const MergeQuestion&, MergeAnswer&)>;
  void SetMergeChooser(MergeChooser chooser) { mergeChooser_ = std::move(chooser); }
  bool RenderEffectsEnabled() override { return true; }
  bool IsNetServer() override { return false; }
  INode* GetINodeByName(const char* name) override;
  WindowHandle GetAppHWnd() override { return nullptr; }
  // Prints "caption: text" and answers IDYES for yes/no questions, else IDOK.
  int MessageBox(const char* text, const char* caption, MessageIcon icon,
                 MessageButtons buttons = MessageButtons::Ok) override;

  bool GetCancel() override { return cancel_.load(); }
  void SetCancel(bool cancel) override { cancel_.store(cancel); }
  // The flag itself, for a signal handler: storing to a lock-free atomic is
  // safe there.
  std::atomic<bool>& CancelFlag() { return cancel_; }

  void ProgressStart(const char* title) override;
  void ProgressUpdate(int percent, const char* title = nullptr) override;
  void ProgressEnd() override;
  // False: progress is not shown at all (messages still are). Set before work starts.
  void SetShowProgress(bool show) { showProgress_ = show; }

  // Asks plug-ins for the inspection output `kind` at `path` (see
  // InspectionFiles); false with a message when `path` may not be written.
  bool SetInspectionPath(const std::string& kind, const std::string& path, bool sequence,
                         std::string* error = nullptr);
  std::string InspectionPath(const char* kind, TimeValue t) override;
  // Prints a warning naming the file and keeps the path for FailedOutputs.
  void OutputFailed(const char* path, const char* reason) override;
  // The files plug-ins reported as not written, in order.
  std::vector<std::string> FailedOutputs();

  // The inspection files of the frames, for the frame writer to take.
  InspectionFiles& Inspections() { return inspections_; }

 private:
  InspectionFiles inspections_;
  Scene* scene_;
  MergeChooser mergeChooser_;
  std::atomic<TimeValue> time_{0};
  std::atomic<bool> cancel_{false};
  ProgressDisplay progress_;
  bool showProgress_ = true;
  std::mutex dirMutex_;
  std::mutex failedMutex_;
  std::vector<std::string> failedOutputs_;
  std::string settingsDir_;
  std::string renderOutputDir_;
  bool settingsDirMade_ = false;
};

}  // namespace host
