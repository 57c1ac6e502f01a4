#include "tarnis/output/mat_element_value.h"

#include "tarnis/common/blend_color.h"

namespace tarnis {

namespace {

// The zone colours the element shows: without reflection for a reflected
// sample when reflections are left out, with the strokes or without.
const std::array<Color, kToonZones>& ZoneColours(const MatElementSettings& s,
                                                 const ToonSample& sample, bool strokes) {
  if (sample.reflected && !s.colorReflec) {
    return strokes ? sample.unreflectedWithStrokes : sample.unreflected;
  }
  return strokes ? sample.withStrokes : sample.withoutStrokes;
}

// The highlight (when the element shows it) and the shadow colour laid over
// a colour, as the material lays them over its zones.
void BlendOverlays(const MatElementSettings& s, const ToonSample& sample, Color& c) {
  if (sample.highlight > 0.0f && s.colorHi) {
    BlendColor(c, sample.highlightColor, sample.highlight, BlendModeOfIndex(sample.highlightBlend));
  }
  if (sample.shadow > 0.0f) {
    BlendColor(c, sample.shadowColor, sample.shadow, BlendModeOfIndex(sample.shadowBlend));
  }
}

Color WeightedSum(const ZoneWeights& c, const std::array<Color, kToonZones>& colours) {
  Color sum;
  for (int z = 0; z < kToonZones; ++z) {
    if (c[z] > 0.0f) sum += colours[z] * c[z];
  }
  return sum;
}

bool AlphaExcepted(const MatElementSettings& s, const MatElementIdentity& id) {
  // The exception looks at the other id than the selection does.
  if (s.selectType == 1) return s.exaMatidEnable && id.materialID == s.exaMatid;
  return s.exaObjidEnable && id.objectID == s.exaObjid;
}

float ElementAlpha(const MatElementSettings& s, const MatElementIdentity& id,
                   const ToonSample& sample) {
  if (AlphaExcepted(s, id)) return 0.0f;
  float covered = 0.0f, stroked = 0.0f;
  for (int z = 0; z < kToonZones; ++z) {
    if (!s.alphaZone[z]) continue;
    covered += sample.weights[z];
    if (sample.weights[z] > 0.0f) stroked += sample.weights[z] * sample.strokeCoverage[z];
  }
  float a = covered * sample.opacity;
  if (s.alphaHi) a = 1.0f - (1.0f - a) * (1.0f - sample.highlight);
  if (sample.strokes) a *= stroked;
  return a;
}

}  // namespace

Color MatElementSettings::Background() const {
  return backgroundColorEnable ? backgroundColor : Color(0.0f, 0.0f, 0.0f);
}

bool SampleSelected(const MatElementSettings& s, const MatElementIdentity& id) {
  return s.selectType == 1 ? id.objectID == s.objID : id.materialID == s.matID;
}

bool ElementZoneWeights(const MatElementSettings& s, const MatElementIdentity& id,
                        const ZoneWeights& w, ZoneWeights& c) {
  c.fill(0.0f);
  if (!SampleSelected(s, id)) return false;
  if (s.colorZoneBG) {
    for (int z = 0; z < kToonZones; ++z) c[z] = s.colorZone[z] ? w[z] : 0.0f;
    return true;
  }
  int first = -1;
  for (int z = 0; z < kToonZones && first < 0; ++z) {
    if (s.colorZone[z]) first = z;
  }
  if (first < 0) return true;  // no zone keeps its colour: all background
  int target = first;
  for (int z = 0; z < kToonZones; ++z) {
    if (s.colorZone[z]) target = z;
    c[target] += w[z];
  }
  return true;
}

AColor ElementValue(const MatElementSettings& s, const MatElementIdentity& id,
                    const ToonSample& sample, const ZoneWeights& c) {
  const Color background = s.Background();
  float sum = 0.0f;
  bool anyZone = false;
  for (float cz : c) {
    if (cz > 0.0f) sum += cz, anyZone = true;
  }

  const std::array<Color, kToonZones>& zones = ZoneColours(s, sample, s.colorStroke);
  Color e = background;
  if (anyZone) {
    e = WeightedSum(c, zones);
    if (s.colorZoneBG && !sample.strokes && sum < 1.0f) e += background * (1.0f - sum);
  }
  BlendOverlays(s, sample, e);

  if (sample.strokes) {
    // Only the strokes show: take away what the zones gave under them.
    float u = 0.0f;
    for (int z = 0; z < kToonZones; ++z) {
      if (c[z] > 0.0f) u += c[z] * sample.strokeCoverage[z];
    }
    if (u > 0.0f && anyZone && s.colorStroke) {
      Color under = WeightedSum(c, ZoneColours(s, sample, false));
      BlendOverlays(s, sample, under);
      e -= under * (1.0f - u);
      if (s.colorZoneBG && sum < 1.0f) e -= under * (u - u / sum);
    } else {
      e = Color(0.0f, 0.0f, 0.0f);
      u = 0.0f;
    }
    // Where no stroke covers the sample the element's background shows.
    if (s.backgroundColorEnable) e += background * (1.0f - u);
  }

  float a = ElementAlpha(s, id, sample);
  if (id.visibility < 1.0f) {
    e *= id.visibility;
    a *= id.visibility;
  }
  return AColor(e, a);
}

AColor ElementBackgroundValue(const MatElementSettings& s) {
  return AColor(s.Background(), 0.0f);
}

}  // namespace tarnis
