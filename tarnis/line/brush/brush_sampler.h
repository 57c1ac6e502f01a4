// BrushSampler: the brush tip as a map sampler over the tip's unit square
// (0..1 each way, centre 0.5, 0.5), for previews and for code that samples
// brushes like maps. It evaluates the tip of the brush's current working
// copy and stroke seed, as they were when the sampler was made.
#pragma once

#include "sdk/color.h"
#include "tarnis/line/brush/brush_tip.h"

namespace tarnis {

class Brush;

class BrushSampler {
 public:
  // The brush must stay alive and not be updated while the sampler is used.
  explicit BrushSampler(const Brush& brush);

  // (i, i, i) with alpha 1, i the tip intensity at (u, v).
  AColor Sample(float u, float v) const;
  // The same: the tip is sampled at the centre of the footprint.
  AColor SampleFilter(float u, float v, float du, float dv) const;
  float SampleMono(float u, float v) const;
  float SampleMonoFilter(float u, float v, float du, float dv) const;

 private:
  BrushTip tip_;
};

}  // namespace tarnis
