#include "sdk/interface.h"

#include <atomic>
#include <cstdio>

#include "sdk/class_desc.h"

int Interface::AddClass(ClassDesc2* cd) {
  return GetClassDirectory().AddClass(cd);
}

bool Interface::DeleteClass(ClassDesc2* cd) {
  return GetClassDirectory().DeleteClass(cd);
}

namespace {

// Stands in when no host is installed: no scene, messages on stderr.
class QuietInterface final : public Interface {
 public:
  TimeValue GetTime() override { return time_; }
  void SetTime(TimeValue t) override { time_ = t; }
  std::string GetDir(int) override { return {}; }
  int NumEffects() override { return 0; }
  Effect* GetEffect(int) override { return nullptr; }
  bool RenderEffectsEnabled() override { return true; }
  bool IsNetServer() override { return false; }
  INode* GetINodeByName(const char*) override { return nullptr; }
  WindowHandle GetAppHWnd() override { return nullptr; }
  int MessageBox(const char* text, const char* caption, MessageIcon,
                 MessageButtons buttons) override {
    std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
    return buttons == MessageButtons::YesNo || buttons == MessageButtons::YesNoCancel ? IDYES
                                                                                      : IDOK;
  }
  bool GetCancel() override { return cancel_.load(); }
  void SetCancel(bool cancel) override { cancel_.store(cancel); }
  void ProgressStart(const char*) override {}
  void ProgressUpdate(int, const char*) override {}
  void ProgressEnd() override {}

 private:
  TimeValue time_ = 0;
  std::atomic<bool> cancel_{false};
};

QuietInterface gQuiet;
std::atomic<Interface*> gCore{nullptr};

}  // namespace

Interface* GetCOREInterface() {
  Interface* ip = gCore.load(std::memory_order_acquire);
  return ip ? ip : &gQuiet;
}

void SetCOREInterface(Interface* ip) {
  gCore.store(ip, std::memory_order_release);
}
