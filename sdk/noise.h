// Deterministic gradient (Perlin) noise in one dimension. The same argument
// gives the same value on every machine and in every run.
#pragma once

// Smooth noise within -1..1 (exactly 0 at whole numbers), period 256. Inputs
// too large to have a fractional part give 0, as do NaN and infinities.
float noise1(float x);
