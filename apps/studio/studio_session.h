// The studio's session with the host: the plug-in's classes (linked into the
// program) and the host's own in the class directory, and one core interface
// for the whole run that works on the open scene. Its progress reports go to
// a listener instead of the terminal, and its cancel flag stops renders.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "host/host_interface.h"

namespace studio {

// The host interface the studio installs. Progress is handed to the
// listener (from whatever thread reports it); the title is empty for
// updates that keep the current one.
class StudioInterface : public host::HostInterface {
 public:
  using ProgressListener = std::function<void(int percent, const std::string& title, bool done)>;
  StudioInterface();
  void SetProgressListener(ProgressListener listener);

  void ProgressStart(const char* title) override;
  void ProgressUpdate(int percent, const char* title = nullptr) override;
  void ProgressEnd() override;

 private:
  std::mutex listenerMutex_;
  ProgressListener listener_;
};

// Starts the session on first use: installs the interface, registers the
// classes and tells the plug-in that the program started. Lives until exit.
StudioInterface& Session();
// Tells the plug-in that the program ends (it writes its settings back).
void EndSession();

}  // namespace studio
