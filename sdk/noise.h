// Deterministic gradient (Perlin) noise in one dimension. The same argument
// gives the same value on every machine and in every run.
#pragma once

// Smooth noise in about -1..1 (exactly 0 at whole numbers), period 256.
float noise1(float x);
