#include "sdk/shade_context.h"

#include <algorithm>

#include "sdk/mtl.h"

void ShadeOutput::Reset(int numElements) {
  flags = 0;
  c = Color();
  t = Color();
  ior = 1.0f;
  gbufId = 0;
  if (numElements >= 0) nElements = std::min(numElements, kMaxRenderElements);
  for (int i = 0; i < nElements; ++i) elementVals[i] = AColor(0.0f, 0.0f, 0.0f, 0.0f);
}

void Shader::CombineComponents(ShadeContext& /*sc*/, IllumParams& ip) {
  // Standard combination: the opaque part (ambient, diffuse, self-illumination)
  // scaled by opacity, with specular, reflection and transmitted light added
  // on top, so highlights stay on glass.
  ip.finalC = (ip.ambIllumOut + ip.diffIllumOut + ip.selfIllumOut) * ip.finalOpac +
              ip.specIllumOut + ip.reflIllumOut + ip.transIllumOut;
}
