// The scene frame rate behind GetFrameRate, SetFrameRate and GetTicksPerFrame.
#include "sdk/interval.h"

#include <atomic>

namespace {
std::atomic<int> gFrameRate{30};
}

int GetFrameRate() {
  return gFrameRate.load(std::memory_order_relaxed);
}

void SetFrameRate(int fps) {
  if (fps >= 1 && fps <= TIME_TICKSPERSEC) gFrameRate.store(fps, std::memory_order_relaxed);
}

int GetTicksPerFrame() {
  return TIME_TICKSPERSEC / GetFrameRate();
}
