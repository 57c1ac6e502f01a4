#include "apps/tarnis/frame_list.h"

#include <algorithm>
#include <charconv>
#include <string_view>

#include "host/scene_loader.h"

namespace tarnis_cli {

namespace {

bool parseInt(std::string_view text, int& out) {
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

// Appends the frames of one item ("A", "A-B" or "A-B:STEP"); false when it is malformed.
bool addItem(std::string_view item, std::vector<int>& frames) {
  int first = 0, last = 0, step = 1;
  size_t colon = item.find(':');
  if (colon != std::string_view::npos) {
    if (!parseInt(item.substr(colon + 1), step) || step < 1) return false;
    item = item.substr(0, colon);
  }
  size_t dash = item.find('-');
  if (dash == std::string_view::npos) {
    if (colon != std::string_view::npos || !parseInt(item, first)) return false;
    last = first;
  } else if (!parseInt(item.substr(0, dash), first) || !parseInt(item.substr(dash + 1), last)) {
    return false;
  }
  if (first < 0 || last < first || last > host::kMaxFrame) return false;
  for (long long f = first; f <= last; f += step) frames.push_back(static_cast<int>(f));
  return true;
}

}  // namespace

bool ParseFrameList(const std::string& text, std::vector<int>& frames, std::string* error) {
  std::vector<int> out;
  std::string_view rest = text;
  bool ok = !rest.empty();
  while (ok) {
    size_t comma = rest.find(',');
    ok = addItem(rest.substr(0, comma), out);
    if (comma == std::string_view::npos) break;
    rest = rest.substr(comma + 1);
  }
  if (!ok) {
    if (error) {
      *error = "--frames " + text +
               ": expected frames A, ranges A-B or stepped ranges A-B:STEP separated by commas, "
               "with 0 <= A <= B <= " +
               std::to_string(host::kMaxFrame) + " and STEP >= 1";
    }
    return false;
  }
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  frames = std::move(out);
  return true;
}

std::string DescribeFrames(const std::vector<int>& frames) {
  if (frames.empty()) return "no frames";
  const int first = frames.front(), last = frames.back();
  if (frames.size() == 1) return "frame " + std::to_string(first);
  if (static_cast<long long>(last) - first + 1 == static_cast<long long>(frames.size())) {
    return "frames " + std::to_string(first) + "-" + std::to_string(last);
  }
  return std::to_string(frames.size()) + " frames from " + std::to_string(first) + " to " +
         std::to_string(last);
}

}  // namespace tarnis_cli
