// Deterministic 3-D gradient noise for the host's maps: the noise map's
// pattern and the coordinate generator's UV jitter. Lattice gradients come
// from an integer hash of the cell, so the same point gives the same value on
// every machine, in every run and on every thread.
#pragma once

#include "sdk/points.h"

namespace host {

// Smooth gradient noise within -1..1, 0 at every lattice point.
float GradientNoise3(const Point3& p);

// Noise that evolves with `phase`: at whole phases it is an independent
// noise field each (phase 0 is GradientNoise3), in between it blends the two
// neighbouring fields smoothly, so animating the phase makes the pattern
// change in place rather than drift.
float PhasedNoise3(const Point3& p, float phase);

// Sum of `levels` octaves of PhasedNoise3 (each twice the frequency and half
// the weight of the one before), divided by the total weight. Plain octaves
// stay within -1..1; with `turbulence` the octaves' absolute values are
// summed, giving 0..1. `levels` below 1 counts as 1.
float FractalNoise3(const Point3& p, int levels, bool turbulence, float phase = 0.0f);

}  // namespace host
