// The arithmetic of the material render element, apart from the element
// object: which zone weights of a toon sample the element keeps (and where
// the weights of zones it leaves out go), and the colour and alpha it writes
// for the sample. Both are pure functions of the element's settings and the
// sample's parts, so the rules can be checked case by case.
#pragma once

#include <array>

#include "sdk/color.h"
#include "tarnis/material/tarmat.h"

namespace tarnis {

// The element's settings as its block holds them.
struct MatElementSettings {
  int selectType = 0;  // 0: samples of material id matID; 1: of nodes with object id objID
  int matID = 1;
  int objID = 0;
  bool backgroundColorEnable = false;
  Color backgroundColor{1.0f, 1.0f, 1.0f};
  bool colorHi = true;
  bool colorStroke = true;
  bool colorReflec = true;
  std::array<bool, kToonZones> colorZone = {true, true, true, true};
  bool colorZoneBG = true;
  bool alphaHi = true;
  std::array<bool, kToonZones> alphaZone = {true, true, true, true};
  bool exaMatidEnable = false;
  int exaMatid = 0;
  bool exaObjidEnable = false;
  int exaObjid = 0;

  // The background: backgroundColor when enabled, else black.
  Color Background() const;
};

// Who the sample belongs to.
struct MatElementIdentity {
  int materialID = 0;
  int objectID = 0;
  float visibility = 1.0f;  // the node's visibility, 0..1
};

// Whether the sample is the element's: by object id with selectType 1, by
// material id otherwise.
bool SampleSelected(const MatElementSettings& s, const MatElementIdentity& id);

// The weights the element combines the zone colours with; false (all 0)
// when the sample is not the element's. With colorZoneBG each zone keeps its
// weight while its colour switch is on and drops it otherwise (the rest of
// the sample shows the background); without, the weight of a switched-off
// zone goes to the nearest switched-on zone before it, and the weights
// before the first switched-on zone to that zone.
bool ElementZoneWeights(const MatElementSettings& s, const MatElementIdentity& id,
                        const ZoneWeights& w, ZoneWeights& c);

// The value the element writes for a sample of its own, with the merged
// weights c from ElementZoneWeights: colour E and alpha A, both scaled by
// the node's visibility. The sample's weights, stroke coverages, opacity,
// zone colour sets, highlight and reflection flag are used as the toon
// material computed them; the colour laid over the zones after the
// highlight is the sample's shadow colour, and the stroke flag is its
// stroke-only switch.
AColor ElementValue(const MatElementSettings& s, const MatElementIdentity& id,
                    const ToonSample& sample, const ZoneWeights& c);

// What the element holds for a sample that is not its own, and for samples
// no toon material shaded: the background with alpha 0.
AColor ElementBackgroundValue(const MatElementSettings& s);

}  // namespace tarnis
