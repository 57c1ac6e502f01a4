// The render command: load, apply the command line's overrides, render
// through the host's renderer into a FrameWriter, report.
#include "apps/tarnis/render_command.h"

#include <signal.h>

#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "apps/tarnis/scene_files.h"
#include "host/frame_writer.h"
#include "host/host_interface.h"
#include "host/renderer.h"
#include "host/scene_loader.h"

namespace tarnis_cli {

namespace {

constexpr int kExitCancelled = 130;  // what shells report for a run stopped by SIGINT
constexpr int kMaxSize = 16384;

std::atomic<bool>* gCancelFlag = nullptr;

extern "C" void OnInterrupt(int) {
  if (gCancelFlag) gCancelFlag->store(true);
}

// Routes Ctrl-C to the host's cancel flag while it lives. The handler is
// reset by the first signal, so a second Ctrl-C ends the program at once.
class InterruptToCancel {
 public:
  explicit InterruptToCancel(std::atomic<bool>& flag) {
    gCancelFlag = &flag;
    struct sigaction sa = {};
    sa.sa_handler = OnInterrupt;
    sa.sa_flags = SA_RESETHAND;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, &previous_);
  }
  ~InterruptToCancel() {
    sigaction(SIGINT, &previous_, nullptr);
    gCancelFlag = nullptr;
  }
  InterruptToCancel(const InterruptToCancel&) = delete;
  InterruptToCancel& operator=(const InterruptToCancel&) = delete;

 private:
  struct sigaction previous_ = {};
};

// Installs the host's interface over the scene for the render, and puts the
// session's interface back afterwards.
class InstalledInterface {
 public:
  explicit InstalledInterface(host::HostInterface& ip) : previous_(SessionInterface()) {
    SetCOREInterface(&ip);
  }
  ~InstalledInterface() { SetCOREInterface(previous_); }
  InstalledInterface(const InstalledInterface&) = delete;
  InstalledInterface& operator=(const InstalledInterface&) = delete;

 private:
  Interface* previous_;
};

bool ParseInt(std::string_view text, int& out) {
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

// Applies --frames, --size, --samples and --threads to the scene's settings.
bool ApplyOverrides(const RenderOptions& o, host::RenderSettings& s, std::string* error) {
  if (!o.frames.empty() && !ParseFrames(o.frames, s.firstFrame, s.lastFrame, error)) return false;
  if (!o.size.empty() && !ParseSize(o.size, s.width, s.height, error)) return false;
  if (o.samples) s.samples = *o.samples;
  if (o.threads) s.threads = *o.threads;
  return true;
}

std::string DefaultOutput(const std::string& scene) {
  return (std::filesystem::path("out") / std::filesystem::path(scene).stem()).string() + ".png";
}

void PrintSummary(const host::RenderReport& report, const host::RenderSettings& s,
                  const host::FrameWriter& writer, double seconds) {
  const std::vector<std::string>& files = writer.Written();
  std::string where = files.empty() ? "nothing written" : files.front();
  if (report.framesWritten > 1) where += " ... " + files.back();
  std::printf("Rendered %d frame%s (%dx%d) in %.1f s: %s\n", report.framesWritten,
              report.framesWritten == 1 ? "" : "s", s.width, s.height, seconds, where.c_str());
}

}  // namespace

bool ParseFrames(const std::string& text, int& first, int& last, std::string* error) {
  size_t dash = text.find('-');
  int a = 0, b = 0;
  bool ok = dash == std::string::npos ? ParseInt(text, a) && (b = a, true)
                                      : ParseInt(std::string_view(text).substr(0, dash), a) &&
                                            ParseInt(std::string_view(text).substr(dash + 1), b);
  if (!ok || a < 0 || b < a || b > host::kMaxFrame) {
    if (error) {
      *error = "--frames " + text +
               ": expected A-B with 0 <= A <= B <= " + std::to_string(host::kMaxFrame) +
               ", or one frame A";
    }
    return false;
  }
  first = a, last = b;
  return true;
}

bool ParseSize(const std::string& text, int& width, int& height, std::string* error) {
  size_t x = text.find_first_of("xX");
  int w = 0, h = 0;
  bool ok = x != std::string::npos && ParseInt(std::string_view(text).substr(0, x), w) &&
            ParseInt(std::string_view(text).substr(x + 1), h);
  if (!ok || w < 1 || h < 1 || w > kMaxSize || h > kMaxSize) {
    if (error) *error = "--size " + text + ": expected WxH, each 1.." + std::to_string(kMaxSize);
    return false;
  }
  width = w, height = h;
  return true;
}

int RunRender(const RenderOptions& options) {
  WarningPrinter warnings;
  std::vector<std::string> messages;
  LoadClasses(options.plugins, &messages);
  warnings.Print(messages);

  std::string scenePath = options.scene.empty() ? DemoScenePath() : options.scene;
  if (scenePath.empty()) {
    PrintError("no scene given and the bundled demo scene is missing");
    return 1;
  }
  std::string error;
  messages.clear();
  std::unique_ptr<host::Scene> scene = LoadScene(scenePath, &messages, &error);
  warnings.Print(messages);
  if (!scene) {
    PrintError(error);
    return 1;
  }
  host::RenderSettings settings = scene->render;
  if (!ApplyOverrides(options, settings, &error)) {
    PrintError(error);
    return 1;
  }
  host::FrameWriter::Options out{
      .output = options.output.empty() ? DefaultOutput(scenePath) : options.output,
      .firstFrame = settings.firstFrame,
      .lastFrame = settings.lastFrame,
      .bits = options.bits};
  std::unique_ptr<host::FrameWriter> writer = host::FrameWriter::Create(out, &error);
  if (!writer) {
    PrintError(error);
    return 1;
  }

  host::HostInterface ip(scene.get());
  if (!options.dumpEdges.empty()) {
    ip.SetInspectionPath("edges", options.dumpEdges, settings.firstFrame != settings.lastFrame);
  }
  InstalledInterface installed(ip);
  InterruptToCancel interrupt(ip.CancelFlag());
  auto start = std::chrono::steady_clock::now();
  host::RenderReport report = host::RenderSequence(*scene, settings, *writer);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  warnings.Print(report.warnings);
  switch (report.status) {
    case host::RenderStatus::kDone:
      PrintSummary(report, settings, *writer, seconds);
      return 0;
    case host::RenderStatus::kCancelled:
      PrintError("render stopped; " + std::to_string(report.framesWritten) + " frame" +
                 (report.framesWritten == 1 ? "" : "s") + " written");
      return kExitCancelled;
    case host::RenderStatus::kFailed:
      PrintError(report.error);
      return 1;
  }
  return 1;
}

}  // namespace tarnis_cli
