// noise1: the lattice gradients and their interpolation.
#include "sdk/noise.h"

#include <array>
#include <cmath>
#include <cstdint>

namespace {

// A fixed permutation of 0..255 built by a Fisher-Yates shuffle driven by a
// 32-bit linear congruential generator, so the table never depends on the
// platform's random library.
struct Tables {
  std::array<uint8_t, 512> perm{};
  std::array<float, 256> grad{};

  Tables() {
    std::array<uint8_t, 256> p{};
    for (int i = 0; i < 256; ++i) p[i] = static_cast<uint8_t>(i);
    uint32_t state = 0x2545F491u;
    auto next = [&state] {
      state = state * 1664525u + 1013904223u;
      return state >> 8;
    };
    for (int i = 255; i > 0; --i) {
      int j = static_cast<int>(next() % static_cast<uint32_t>(i + 1));
      std::swap(p[i], p[j]);
    }
    for (int i = 0; i < 512; ++i) perm[i] = p[i & 255];
    // Gradients evenly spread over -1..1, never zero.
    for (int i = 0; i < 256; ++i) grad[i] = (static_cast<float>(next() % 2001) - 1000.0f) / 1000.0f;
    for (auto& g : grad) {
      if (g == 0.0f) g = 0.5f;
    }
  }
};

const Tables& tables() {
  static const Tables t;
  return t;
}

float fade(float t) {
  return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f);
}

}  // namespace

float noise1(float x) {
  if (!std::isfinite(x)) return 0.0f;
  const Tables& t = tables();
  float fl = std::floor(x);
  // fmod of a whole float by 256 is exact and small, so the lattice index
  // never goes through an integer conversion that |x| > 2^63 would overflow.
  float wrapped = std::fmod(fl, 256.0f);
  if (wrapped < 0.0f) wrapped += 256.0f;
  int i0 = static_cast<int>(wrapped) & 255;
  int i1 = (i0 + 1) & 255;
  float f = x - fl;
  float g0 = t.grad[t.perm[i0]] * f;
  float g1 = t.grad[t.perm[i1]] * (f - 1.0f);
  // Each gradient term is at most 0.5 in size: scale so the range is about -1..1.
  return 2.0f * (g0 + fade(f) * (g1 - g0));
}
