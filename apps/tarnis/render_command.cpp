// The render command: load, apply the command line's overrides, render
// through the host's renderer into a FrameWriter, report.
#include "apps/tarnis/render_command.h"

#include <signal.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "apps/tarnis/chunks.h"
#include "apps/tarnis/frame_list.h"
#include "apps/tarnis/render_stats.h"
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

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool ParseInt(std::string_view text, int& out) {
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

// Applies --size, --samples, --threads and --alpha to the scene's settings.
bool ApplyOverrides(const RenderOptions& o, host::RenderSettings& s, std::string* error) {
  if (!o.size.empty() && !ParseSize(o.size, s.width, s.height, error)) return false;
  if (o.samples) s.samples = *o.samples;
  if (o.threads) s.threads = *o.threads;
  if (o.alpha) s.alpha = true;
  return true;
}

// The frames --frames names, or the scene's; frames outside the scene's range
// are rendered all the same, with a warning.
bool ChooseFrames(const RenderOptions& o, const host::RenderSettings& s, std::vector<int>& frames,
                  std::vector<std::string>& warnings, std::string* error) {
  if (o.frames.empty()) {
    frames.clear();
    for (int f = s.firstFrame; f <= s.lastFrame; ++f) frames.push_back(f);
    return true;
  }
  if (!ParseFrameList(o.frames, frames, error)) return false;
  std::vector<int> outside;
  for (int f : frames) {
    if (f < s.firstFrame || f > s.lastFrame) outside.push_back(f);
  }
  if (!outside.empty()) {
    warnings.push_back("--frames " + o.frames + ": " + DescribeFrames(outside) +
                       (outside.size() == 1 ? " lies" : " lie") + " outside the scene's frames " +
                       std::to_string(s.firstFrame) + "-" + std::to_string(s.lastFrame));
  }
  return true;
}

// Options given for an output format that has no use for them.
void WarnUnusedOptions(const RenderOptions& o, const host::FrameWriter& writer,
                       std::vector<std::string>& warnings) {
  if (o.bits && writer.Format() == host::ImageFormat::kExr) {
    warnings.push_back("--bits " + std::to_string(*o.bits) +
                       " applies to PNG files only; EXR files are written as half floats");
  }
}

// The parts of the sequence `frames` this run renders, in order: the whole
// sequence, its chunks one after another, or the one chunk --task names;
// with --resume, frames whose image is there already are left out (and
// counted in `skipped`), and parts with nothing left are dropped.
bool PlanParts(const RenderOptions& o, const std::vector<int>& frames, const std::string& output,
               std::vector<host::SequencePart>& parts, int& skipped, std::string* error) {
  std::vector<std::vector<int>> chunks;
  if (o.chunk) {
    chunks = SplitIntoChunks(frames, *o.chunk);
    if (o.task) {
      int task = 0;
      if (!ParseTask(*o.task, static_cast<int>(chunks.size()), task, error)) return false;
      chunks = {chunks[static_cast<size_t>(task)]};
    }
  } else {
    if (o.task) {
      if (error) *error = "--task " + *o.task + " needs --chunk, the number of frames a chunk has";
      return false;
    }
    chunks = {frames};
  }
  const bool sequence = frames.size() > 1;
  auto done = [&](int frame) {
    std::error_code ec;
    return o.resume &&
           std::filesystem::is_regular_file(host::FramePath(output, frame, sequence), ec);
  };
  skipped = 0;
  for (const std::vector<int>& chunk : chunks) {
    host::SequencePart part = ChunkPart(frames, chunk, done);
    const auto count = std::count(part.rendered.begin(), part.rendered.end(), true);
    skipped += static_cast<int>(chunk.size()) - static_cast<int>(count);
    if (count > 0) parts.push_back(std::move(part));
  }
  return true;
}

// Adds the report of one part to that of the run.
void AddReport(host::RenderReport& total, const host::RenderReport& part) {
  total.status = part.status;
  total.error = part.error;
  for (const std::string& w : part.warnings) {
    if (std::find(total.warnings.begin(), total.warnings.end(), w) == total.warnings.end()) {
      total.warnings.push_back(w);
    }
  }
  for (const std::string& n : part.notes) {
    if (std::find(total.notes.begin(), total.notes.end(), n) == total.notes.end()) {
      total.notes.push_back(n);
    }
  }
  total.framesWritten += part.framesWritten;
  total.seconds += part.seconds;
  total.samplesShaded += part.samplesShaded;
}

std::string DefaultOutput(const std::string& scene) {
  return (std::filesystem::path("out") / std::filesystem::path(scene).stem()).string() + ".png";
}

void PrintNotes(const std::vector<std::string>& notes) {
  for (const std::string& n : notes) std::fprintf(stderr, "tarnis: note: %s\n", n.c_str());
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
  const auto start = std::chrono::steady_clock::now();
  std::unique_ptr<host::Scene> scene = LoadScene(scenePath, &messages, &error);
  const double loadSeconds = secondsSince(start);
  warnings.Print(messages);
  if (!scene) {
    PrintError(error);
    return 1;
  }
  host::RenderSettings settings = scene->render;
  std::vector<int> frames;
  messages.clear();
  if (!ApplyOverrides(options, settings, &error) ||
      !ChooseFrames(options, settings, frames, messages, &error)) {
    PrintError(error);
    return 1;
  }
  // The frames are ascending: a sequence is more than one of them.
  host::FrameWriter::Options out{
      .output = options.output.empty() ? DefaultOutput(scenePath) : options.output,
      .firstFrame = frames.front(),
      .lastFrame = frames.back(),
      .bits = options.bits.value_or(8)};
  std::vector<host::SequencePart> parts;
  int skipped = 0;
  if (!PlanParts(options, frames, out.output, parts, skipped, &error)) {
    PrintError(error);
    return 1;
  }
  if (skipped > 0 && !options.quiet) {
    std::printf("Skipping %d frame%s already written\n", skipped, skipped == 1 ? "" : "s");
  }
  if (parts.empty()) {
    if (!options.quiet) std::printf("Nothing left to render\n");
    return 0;
  }
  std::unique_ptr<host::FrameWriter> writer = host::FrameWriter::Create(out, &error);
  if (!writer) {
    PrintError(error);
    return 1;
  }
  WarnUnusedOptions(options, *writer, messages);
  warnings.Print(messages);

  host::HostInterface ip(scene.get());
  ip.SetShowProgress(!options.quiet);
  // Vector files and other outputs of plug-ins with relative names go beside the images.
  ip.SetRenderOutputDir(std::filesystem::path(out.output).parent_path().string());
  if (!options.dumpEdges.empty() &&
      !ip.SetInspectionPath("edges", options.dumpEdges, frames.size() > 1, &error)) {
    PrintError(error);
    return 1;
  }
  // An edge dump is written with the frame's images, once the frame has succeeded.
  writer->AlsoWrite([&ip](int frame, FileBatch& batch, std::string* problem) {
    return ip.Inspections().Take(frame, batch, problem);
  });
  InstalledInterface installed(ip);
  InterruptToCancel interrupt(ip.CancelFlag());
  RenderStats stats(*writer, options.stats);
  stats.SetLoadSeconds(loadSeconds);
  const auto renderStart = std::chrono::steady_clock::now();
  host::RenderReport report;
  for (const host::SequencePart& part : parts) {
    AddReport(report, host::RenderPart(*scene, settings, part, stats));
    if (report.status != host::RenderStatus::kDone) break;
  }
  const double seconds = secondsSince(renderStart);
  stats.PrintTotal(report, secondsSince(start));
  if (!options.quiet) PrintNotes(report.notes);
  warnings.Print(report.warnings);
  // Files the plug-ins write beside the images (vector files) were each
  // warned about as they failed; the render as a whole did not succeed.
  const std::vector<std::string> failed = ip.FailedOutputs();
  if (report.status == host::RenderStatus::kDone && !failed.empty()) {
    PrintError(std::to_string(failed.size()) + " output file" + (failed.size() == 1 ? "" : "s") +
               " could not be written, the first " + failed.front());
    return 1;
  }
  switch (report.status) {
    case host::RenderStatus::kDone:
      if (!options.quiet) PrintSummary(report, settings, *writer, seconds);
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
