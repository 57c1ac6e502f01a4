// Gradient noise: quintic-faded interpolation of the dot products between
// hashed lattice gradients (the twelve cube-edge directions) and the offsets
// to the cell corners.
#include "host/gradient_noise.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace host {
namespace {

uint32_t Hash(int32_t x, int32_t y, int32_t z, int32_t slice) {
  uint32_t h = static_cast<uint32_t>(x) * 0x8DA6B343u ^ static_cast<uint32_t>(y) * 0xD8163841u ^
               static_cast<uint32_t>(z) * 0xCB1AB31Fu ^ static_cast<uint32_t>(slice) * 0x9E3779B1u;
  h ^= h >> 16;
  h *= 0x7FEB352Du;
  h ^= h >> 15;
  h *= 0x846CA68Bu;
  h ^= h >> 16;
  return h;
}

float Grad(uint32_t h, float x, float y, float z) {
  // The twelve edge directions of a cube (four repeated to make sixteen).
  switch (h & 15u) {
    case 0:
      return x + y;
    case 1:
      return -x + y;
    case 2:
      return x - y;
    case 3:
      return -x - y;
    case 4:
      return x + z;
    case 5:
      return -x + z;
    case 6:
      return x - z;
    case 7:
      return -x - z;
    case 8:
      return y + z;
    case 9:
      return -y + z;
    case 10:
      return y - z;
    case 11:
      return -y - z;
    case 12:
      return x + y;
    case 13:
      return -y + z;
    case 14:
      return -x + y;
    default:
      return -y - z;
  }
}

float Fade(float t) {
  return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f);
}

float Lerp(float t, float a, float b) {
  return a + t * (b - a);
}

// Points so far out that floats have no fraction left are one lattice cell.
constexpr float kMaxCoord = 1.0e7f;

// Gradient noise of lattice `slice` (each slice hashes its own gradients).
float SliceNoise(const Point3& p, int32_t slice) {
  if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return 0.0f;
  const float px = std::clamp(p.x, -kMaxCoord, kMaxCoord);
  const float py = std::clamp(p.y, -kMaxCoord, kMaxCoord);
  const float pz = std::clamp(p.z, -kMaxCoord, kMaxCoord);
  const float fx = std::floor(px), fy = std::floor(py), fz = std::floor(pz);
  const auto ix = static_cast<int32_t>(fx), iy = static_cast<int32_t>(fy),
             iz = static_cast<int32_t>(fz);
  const float x = px - fx, y = py - fy, z = pz - fz;
  const float u = Fade(x), v = Fade(y), w = Fade(z);
  auto corner = [&](int dx, int dy, int dz) {
    return Grad(Hash(ix + dx, iy + dy, iz + dz, slice), x - static_cast<float>(dx),
                y - static_cast<float>(dy), z - static_cast<float>(dz));
  };
  const float x00 = Lerp(u, corner(0, 0, 0), corner(1, 0, 0));
  const float x10 = Lerp(u, corner(0, 1, 0), corner(1, 1, 0));
  const float x01 = Lerp(u, corner(0, 0, 1), corner(1, 0, 1));
  const float x11 = Lerp(u, corner(0, 1, 1), corner(1, 1, 1));
  const float n = Lerp(w, Lerp(v, x00, x10), Lerp(v, x01, x11));
  // The raw value peaks slightly above 1 near cell centres of some gradient
  // combinations; keep the documented range.
  return std::clamp(n, -1.0f, 1.0f);
}

}  // namespace

float GradientNoise3(const Point3& p) {
  return SliceNoise(p, 0);
}

float PhasedNoise3(const Point3& p, float phase) {
  if (!std::isfinite(phase)) phase = 0.0f;
  phase = std::clamp(phase, -kMaxCoord, kMaxCoord);
  const float f = std::floor(phase);
  const auto slice = static_cast<int32_t>(f);
  const float t = Fade(phase - f);
  const float a = SliceNoise(p, slice);
  return t == 0.0f ? a : Lerp(t, a, SliceNoise(p, slice + 1));
}

float FractalNoise3(const Point3& p, int levels, bool turbulence, float phase) {
  levels = std::max(levels, 1);
  float sum = 0.0f, weight = 1.0f, total = 0.0f, scale = 1.0f;
  for (int i = 0; i < levels; ++i) {
    const float n = PhasedNoise3(p * scale, phase);
    sum += weight * (turbulence ? std::fabs(n) : n);
    total += weight;
    weight *= 0.5f;
    scale *= 2.0f;
  }
  return sum / total;
}

}  // namespace host
