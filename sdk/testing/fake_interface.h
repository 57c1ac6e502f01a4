// FakeInterface: a scriptable Interface for tests. It installs itself as the
// core interface for its lifetime and records what the code under test asked.
#pragma once

#include <string>
#include <vector>

#include "sdk/interface.h"

class FakeInterface : public Interface {
 public:
  struct Message {
    std::string text;
    std::string caption;
    MessageIcon icon;
  };

  FakeInterface() : previous_(GetCOREInterface()) { SetCOREInterface(this); }
  ~FakeInterface() override { SetCOREInterface(previous_ == this ? nullptr : previous_); }

  TimeValue GetTime() override { return time; }
  void SetTime(TimeValue t) override { time = t; }
  std::string GetDir(int which) override {
    return which == APP_USER_SETTINGS_DIR ? settingsDir : std::string();
  }
  int NumEffects() override { return static_cast<int>(effects.size()); }
  Effect* GetEffect(int i) override {
    return i >= 0 && i < NumEffects() ? effects[static_cast<size_t>(i)] : nullptr;
  }
  bool RenderEffectsEnabled() override { return renderEffects; }
  bool IsNetServer() override { return netServer; }
  INode* GetINodeByName(const char*) override { return nullptr; }
  WindowHandle GetAppHWnd() override { return nullptr; }
  int MessageBox(const char* text, const char* caption, MessageIcon icon,
                 MessageButtons) override {
    messages.push_back({text ? text : "", caption ? caption : "", icon});
    return messageAnswer;
  }
  bool GetCancel() override { return cancel; }
  void SetCancel(bool c) override { cancel = c; }
  void ProgressStart(const char* title) override { progress.push_back(std::string("start ") + title); }
  void ProgressUpdate(int percent, const char*) override {
    progress.push_back("update " + std::to_string(percent));
  }
  void ProgressEnd() override { progress.push_back("end"); }

  TimeValue time = 0;
  std::string settingsDir;
  std::vector<Effect*> effects;
  bool renderEffects = true;
  bool netServer = false;
  bool cancel = false;
  int messageAnswer = IDOK;
  std::vector<Message> messages;
  std::vector<std::string> progress;

 private:
  Interface* previous_;
};
