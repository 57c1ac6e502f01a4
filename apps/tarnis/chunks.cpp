#include "apps/tarnis/chunks.h"

#include <algorithm>
#include <charconv>

namespace tarnis_cli {

std::vector<std::vector<int>> SplitIntoChunks(const std::vector<int>& frames, int size) {
  std::vector<std::vector<int>> out;
  if (size < 1) return out;
  for (size_t i = 0; i < frames.size(); i += static_cast<size_t>(size)) {
    const size_t end = std::min(frames.size(), i + static_cast<size_t>(size));
    out.emplace_back(frames.begin() + static_cast<std::ptrdiff_t>(i),
                     frames.begin() + static_cast<std::ptrdiff_t>(end));
  }
  return out;
}

host::SequencePart ChunkPart(const std::vector<int>& sequence, const std::vector<int>& chunk,
                             const std::function<bool(int frame)>& done) {
  host::SequencePart part{sequence, std::vector<bool>(sequence.size(), false)};
  for (size_t i = 0; i < sequence.size(); ++i) {
    const int f = sequence[i];
    part.rendered[i] =
        std::binary_search(chunk.begin(), chunk.end(), f) && !(done && done(f));
  }
  return part;
}

bool ParseTask(const std::string& text, int chunks, int& task, std::string* error) {
  int value = -1;
  const char* end = text.data() + text.size();
  auto [last, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || last != end || value < 0 || value >= chunks) {
    if (error) {
      *error = "--task " + text + ": expected a chunk number 0.." + std::to_string(chunks - 1) +
               " (the frames make " + std::to_string(chunks) + " chunk" +
               (chunks == 1 ? "" : "s") + ")";
    }
    return false;
  }
  task = value;
  return true;
}

}  // namespace tarnis_cli
