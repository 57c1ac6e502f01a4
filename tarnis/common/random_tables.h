// The 16-bit random numbers that brushes and stroke maps share: the linear
// congruential step and the two tables of 65536 values filled from it. The
// tables are built once per process, on first use, and are read-only after
// that, so any thread may read them.
#pragma once

#include <array>
#include <cstdint>

namespace tarnis {

// One step x <- (2061 x + 7) mod 65536. Any unsigned argument is allowed;
// only its low 16 bits matter, so sums and products may wrap.
constexpr uint32_t Lcg(uint32_t x) {
  return (2061u * x + 7u) & 0xFFFFu;
}

// A 16-bit value scaled to 0..1 (1 itself is never reached).
constexpr float Unit16(uint32_t x) {
  return static_cast<float>(x & 0xFFFFu) * (1.0f / 65536.0f);
}

using RandomTable = std::array<uint16_t, 65536>;

// Table A: entry i is the (i + 1)-th step from seed 55535.
const RandomTable& RandomTableA();
// Table B: entry i is the (i + 1)-th step from seed 1024.
const RandomTable& RandomTableB();

}  // namespace tarnis
