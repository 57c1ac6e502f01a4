// The terminal progress bar and the plain progress lines.
#include "host/progress_display.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <vector>

namespace host {

namespace {

constexpr double kRedrawSeconds = 0.1;
constexpr int kBarWidth = 30;
constexpr size_t kMaxTitleColumns = 48;

double SteadySeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

std::string Elapsed(double seconds) {
  int s = static_cast<int>(std::max(0.0, seconds));
  char buf[32];
  std::snprintf(buf, sizeof buf, "%d:%02d", s / 60, s % 60);
  return buf;
}

}  // namespace

std::string ClipTitle(const std::string& title, size_t columns) {
  // Walks whole UTF-8 characters; East Asian characters take two columns.
  struct Char {
    size_t end;
    size_t width;
  };
  std::vector<Char> chars;
  size_t i = 0;
  while (i < title.size()) {
    const auto lead = static_cast<unsigned char>(title[i]);
    size_t len = lead < 0x80           ? 1
                 : (lead >> 5) == 0x6  ? 2
                 : (lead >> 4) == 0xE  ? 3
                 : (lead >> 3) == 0x1E ? 4
                                       : 1;
    if (i + len > title.size()) len = title.size() - i;
    uint32_t cp = len == 1 ? lead : lead & (0x7F >> len);
    for (size_t k = 1; k < len; ++k)
      cp = (cp << 6) | (static_cast<unsigned char>(title[i + k]) & 0x3F);
    chars.push_back(
        {i + len, cp >= 0x1100 && cp < 0x1F000 && !(cp >= 0x2000 && cp < 0x2E80) ? 2u : 1u});
    i += len;
  }
  size_t total = 0;
  for (const Char& c : chars) total += c.width;
  if (total <= columns) return title;
  size_t used = 0, cut = 0;
  for (const Char& c : chars) {
    if (used + c.width > columns - 3) break;
    used += c.width;
    cut = c.end;
  }
  return title.substr(0, cut) + "...";
}

ProgressDisplay::ProgressDisplay(std::FILE* out, bool terminal, Clock clock)
    : out_(out), terminal_(terminal), clock_(clock ? std::move(clock) : Clock(SteadySeconds)) {}

void ProgressDisplay::Start(const std::string& title) {
  std::lock_guard lock(mutex_);
  StartLocked(title);
}

void ProgressDisplay::StartLocked(const std::string& title) {
  if (active_ && terminal_ && barShown_) std::fputc('\n', out_);
  active_ = true;
  barShown_ = false;
  title_ = ClipTitle(title, kMaxTitleColumns);
  percent_ = 0;
  milestone_ = 0;
  startTime_ = clock_();
  if (terminal_) {
    DrawLocked();
  } else {
    std::fprintf(out_, "%s\n", title_.c_str());
    std::fflush(out_);
  }
}

void ProgressDisplay::Update(int percent, const char* title) {
  std::lock_guard lock(mutex_);
  if (!active_ || (title && *title && title_ != title)) StartLocked(title ? title : title_);
  percent_ = std::clamp(percent, 0, 100);
  if (terminal_) {
    // The last step is always drawn, so a finished stage never shows 99 %.
    if (percent_ == 100 || clock_() - lastDraw_ >= kRedrawSeconds) DrawLocked();
    return;
  }
  int reached = percent_ / 25 * 25;
  if (reached > milestone_) {
    milestone_ = reached;
    std::fprintf(out_, "%s: %d%%\n", title_.c_str(), reached);
    std::fflush(out_);
  }
}

void ProgressDisplay::End() {
  std::lock_guard lock(mutex_);
  if (!active_) return;
  if (terminal_ && barShown_) {
    if (drawnPercent_ != percent_) DrawLocked();
    std::fputc('\n', out_);
    std::fflush(out_);
  }
  active_ = false;
  barShown_ = false;
}

void ProgressDisplay::Message(const std::string& line) {
  std::lock_guard lock(mutex_);
  ClearBarLocked();
  std::fprintf(out_, "%s\n", line.c_str());
  if (active_ && terminal_) DrawLocked();
  std::fflush(out_);
}

void ProgressDisplay::DrawLocked() {
  int filled = percent_ * kBarWidth / 100;
  std::string bar(static_cast<size_t>(filled), '#');
  bar.append(static_cast<size_t>(kBarWidth - filled), '.');
  double now = clock_();
  // "\r" returns to the line start and "\x1b[K" clears what a longer line left.
  std::fprintf(out_, "\r%s [%s] %3d%%  %s\x1b[K", title_.c_str(), bar.c_str(), percent_,
               Elapsed(now - startTime_).c_str());
  std::fflush(out_);
  barShown_ = true;
  lastDraw_ = now;
  drawnPercent_ = percent_;
}

void ProgressDisplay::ClearBarLocked() {
  if (terminal_ && barShown_) std::fputs("\r\x1b[K", out_);
}

}  // namespace host
