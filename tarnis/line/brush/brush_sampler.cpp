#include "tarnis/line/brush/brush_sampler.h"

#include "tarnis/line/brush/brush.h"

namespace tarnis {

BrushSampler::BrushSampler(const Brush& brush) : tip_(brush.Tip()) {}

AColor BrushSampler::Sample(float u, float v) const {
  const float i = SampleMono(u, v);
  return AColor(i, i, i, 1.0f);
}

AColor BrushSampler::SampleFilter(float u, float v, float /*du*/, float /*dv*/) const {
  return Sample(u, v);
}

float BrushSampler::SampleMono(float u, float v) const {
  return tip_.Intensity(u, v);
}

float BrushSampler::SampleMonoFilter(float u, float v, float /*du*/, float /*dv*/) const {
  return SampleMono(u, v);
}

}  // namespace tarnis
