// The ease curve that soft edges share (brush-tip falloff, zone weights,
// stroke edges): a smooth step from 0 to 1 on 0..1 with ease(0.5) = 0.5,
// the identity from 1 on.
#pragma once

namespace tarnis {

constexpr float Ease(float x) {
  if (x >= 1.0f) return x;
  return (0.375f - (x - 0.5f) * (x + 0.5f) * (x - 1.5f)) / 0.75f;
}

}  // namespace tarnis
