// ProgressDisplay: shows the progress of long work on a stream. On a
// terminal it draws one bar line (title, percentage, bar, elapsed time),
// redrawn at most ten times a second; elsewhere (a log file, a pipe) it
// writes plain lines: one when a stage starts and one as it passes 25, 50, 75
// and 100 %. Safe to call from several threads at once, since render effects
// report from worker threads.
#pragma once

#include <cstdio>
#include <functional>
#include <mutex>
#include <string>

namespace host {

// `title` cut to at most `columns` terminal columns (East Asian characters
// count two), ending in "..." when cut; never inside a UTF-8 character.
std::string ClipTitle(const std::string& title, size_t columns);

class ProgressDisplay {
 public:
  // Seconds on a steady clock; tests pass their own.
  using Clock = std::function<double()>;

  // `out` must outlive the display. `terminal`: draw the bar.
  ProgressDisplay(std::FILE* out, bool terminal, Clock clock = {});

  // A stage begins: the title is shown and the percentage is 0.
  void Start(const std::string& title);
  // The stage's percentage (clamped to 0..100); a new title, when given and
  // different, starts a new stage.
  void Update(int percent, const char* title = nullptr);
  // The stage is over: a bar is finished with a line break.
  void End();
  // A line of its own (a message), printed without tearing the bar.
  void Message(const std::string& line);

 private:
  void StartLocked(const std::string& title);
  void DrawLocked();
  void ClearBarLocked();

  std::FILE* out_;
  bool terminal_;
  Clock clock_;
  std::mutex mutex_;
  bool active_ = false;
  bool barShown_ = false;
  std::string title_;
  int percent_ = 0;
  int milestone_ = 0;  // highest of 25/50/75/100 reported in plain mode
  double startTime_ = 0.0;
  double lastDraw_ = -1.0;
  int drawnPercent_ = -1;  // the percentage the bar shows
};

}  // namespace host
