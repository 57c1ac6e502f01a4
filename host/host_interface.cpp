// The host's core interface over a Scene.
#include "host/host_interface.h"

#include <unistd.h>

#include <filesystem>

#include "host/frame_writer.h"

namespace host {

static_assert(std::atomic<bool>::is_always_lock_free,
              "the cancel flag is set from a signal handler");

std::string SettingsDirFor(const char* tarnisHome, const char* xdgConfigHome, const char* home) {
  auto set = [](const char* v) { return v && *v; };
  if (set(tarnisHome)) return tarnisHome;
  if (set(xdgConfigHome)) return (std::filesystem::path(xdgConfigHome) / "tarnis").string();
  if (set(home)) return (std::filesystem::path(home) / ".config" / "tarnis").string();
  return {};
}

HostInterface::HostInterface(Scene* scene, std::FILE* out)
    : HostInterface(scene, out, ::isatty(::fileno(out)) == 1, {}) {}

HostInterface::HostInterface(Scene* scene, std::FILE* out, bool terminal,
                             ProgressDisplay::Clock clock)
    : scene_(scene), progress_(out, terminal, std::move(clock)) {}

std::string HostInterface::GetDir(int which) {
  if (which == APP_RENDER_OUTPUT_DIR) {
    std::lock_guard lock(dirMutex_);
    return renderOutputDir_;
  }
  if (which != APP_USER_SETTINGS_DIR) return {};
  std::lock_guard lock(dirMutex_);
  if (settingsDirMade_) return settingsDir_;
  settingsDir_ = SettingsDirFor(std::getenv("TARNIS_HOME"), std::getenv("XDG_CONFIG_HOME"),
                                std::getenv("HOME"));
  if (settingsDir_.empty()) return {};
  // A folder that cannot be made is still answered: writing into it then
  // fails with a message naming it, which tells the user more than nothing.
  std::error_code ec;
  std::filesystem::create_directories(settingsDir_, ec);
  settingsDirMade_ = !ec;
  return settingsDir_;
}

int HostInterface::NumEffects() {
  return scene_ ? scene_->Effects().Count() : 0;
}

Effect* HostInterface::GetEffect(int i) {
  if (!scene_ || i < 0 || i >= scene_->Effects().Count()) return nullptr;
  return dynamic_cast<Effect*>(scene_->Effects().Get(i));
}

INode* HostInterface::GetRootNode() {
  return scene_ ? scene_->Root() : nullptr;
}

bool HostInterface::AddEffect(Effect* effect) {
  if (!scene_ || !effect || scene_->Effects().IndexOf(effect) >= 0) return false;
  scene_->Effects().Append(effect);
  return true;
}

bool HostInterface::DeleteNode(INode* node) {
  return scene_ && scene_->DeleteNode(dynamic_cast<HostNode*>(node));
}

bool HostInterface::AskMergeChoice(const MergeQuestion& question, MergeAnswer& answer) {
  return mergeChooser_ ? mergeChooser_(question, answer) : true;
}

INode* HostInterface::GetINodeByName(const char* name) {
  return scene_ && name ? scene_->FindNode(name) : nullptr;
}

int HostInterface::MessageBox(const char* text, const char* caption, MessageIcon /*icon*/,
                              MessageButtons buttons) {
  progress_.Message(std::string(caption ? caption : "") + ": " + (text ? text : ""));
  bool question = buttons == MessageButtons::YesNo || buttons == MessageButtons::YesNoCancel;
  return question ? IDYES : IDOK;
}

void HostInterface::ProgressStart(const char* title) {
  if (showProgress_) progress_.Start(title ? title : "");
}

void HostInterface::ProgressUpdate(int percent, const char* title) {
  if (showProgress_) progress_.Update(percent, title);
}

void HostInterface::ProgressEnd() {
  if (showProgress_) progress_.End();
}

bool HostInterface::SetInspectionPath(const std::string& kind, const std::string& path,
                                      bool sequence, std::string* error) {
  return inspections_.Set(kind, path, sequence, error);
}

void HostInterface::OutputFailed(const char* path, const char* reason) {
  const std::string file = path ? path : "";
  std::string text = "could not write " + file;
  if (reason && *reason) text += std::string(": ") + reason;
  MessageBox(text.c_str(), "Tarnis", MessageIcon::Warning);
  std::lock_guard<std::mutex> lock(failedMutex_);
  failedOutputs_.push_back(file);
}

std::vector<std::string> HostInterface::FailedOutputs() {
  std::lock_guard<std::mutex> lock(failedMutex_);
  return failedOutputs_;
}

std::string HostInterface::InspectionPath(const char* kind, TimeValue t) {
  return inspections_.PathFor(kind, t / GetTicksPerFrame());
}

}  // namespace host
