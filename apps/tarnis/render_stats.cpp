#include "apps/tarnis/render_stats.h"

#include <sys/resource.h>

#include <chrono>
#include <string>

namespace tarnis_cli {

namespace {

constexpr double kKiBPerMiB = 1024.0;

// The largest resident set the process has had so far.
double peakMemoryMiB() {
  rusage usage = {};
  if (getrusage(RUSAGE_SELF, &usage) != 0) return 0.0;
  // Linux counts ru_maxrss in KiB.
  return static_cast<double>(usage.ru_maxrss) / kKiBPerMiB;
}

void printSeconds(std::FILE* out, const std::string& scope, const char* stage, double seconds) {
  std::fprintf(out, "stats %s: %s %.3f s\n", scope.c_str(), stage, seconds);
}

void printStages(std::FILE* out, const std::string& scope, const host::StageSeconds& s) {
  printSeconds(out, scope, "build", s.build);
  printSeconds(out, scope, "pre-frame", s.preFrame);
  printSeconds(out, scope, "shade", s.shade);
  printSeconds(out, scope, "post-frame", s.postFrame);
  printSeconds(out, scope, "effects", s.effects);
  printSeconds(out, scope, "outputs", s.outputs);
  // Only parts of a sequence follow earlier frames.
  if (s.history > 0.0) printSeconds(out, scope, "history", s.history);
}

void printPeakMemory(std::FILE* out, const std::string& scope) {
  std::fprintf(out, "stats %s: peak memory %.1f MiB\n", scope.c_str(), peakMemoryMiB());
}

}  // namespace

bool RenderStats::WriteFrame(const host::FrameResult& frame, std::string* error) {
  auto start = std::chrono::steady_clock::now();
  const bool written = sink_.WriteFrame(frame, error);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  writeSeconds_ += seconds;
  if (print_ && written) {
    const std::string scope = "frame " + std::to_string(frame.frame);
    printStages(out_, scope, frame.seconds);
    printSeconds(out_, scope, "write", seconds);
    printPeakMemory(out_, scope);
    // Shown at once, in order with the progress lines on the other stream.
    std::fflush(out_);
  }
  return written;
}

void RenderStats::PrintTotal(const host::RenderReport& report, double elapsed) const {
  if (!print_) return;
  const std::string scope = "total";
  printSeconds(out_, scope, "load", loadSeconds_);
  printStages(out_, scope, report.seconds);
  printSeconds(out_, scope, "post-render", report.seconds.postRender);
  printSeconds(out_, scope, "write", writeSeconds_);
  printSeconds(out_, scope, "elapsed", elapsed);
  printPeakMemory(out_, scope);
  std::fflush(out_);
}

}  // namespace tarnis_cli
