// The material element's arithmetic on hand-made samples with known answers.
#include "tarnis/output/mat_element_value.h"

#include <gtest/gtest.h>

#include <string>

namespace tarnis {
namespace {

constexpr float kTol = 1e-5f;

void ExpectColour(const AColor& got, const AColor& want, const std::string& what = "") {
  EXPECT_NEAR(got.r, want.r, kTol) << what;
  EXPECT_NEAR(got.g, want.g, kTol) << what;
  EXPECT_NEAR(got.b, want.b, kTol) << what;
  EXPECT_NEAR(got.a, want.a, kTol) << what << " (alpha)";
}

void ExpectWeights(const ZoneWeights& got, const ZoneWeights& want, const std::string& what) {
  for (int z = 0; z < kToonZones; ++z) EXPECT_NEAR(got[z], want[z], kTol) << what << " zone " << z;
}

MatElementSettings OnlyZones(std::array<bool, kToonZones> on, bool zoneBG) {
  MatElementSettings s;
  s.colorZone = on;
  s.colorZoneBG = zoneBG;
  return s;
}

// A sample of material id 1 whose zone sets have one colour each, so the
// result shows which set was taken: with strokes red, without green,
// unreflected blue, unreflected with strokes yellow.
ToonSample ColourSets(ZoneWeights w) {
  ToonSample t;
  t.weights = w;
  t.withStrokes.fill(Color(1, 0, 0));
  t.withoutStrokes.fill(Color(0, 1, 0));
  t.unreflected.fill(Color(0, 0, 1));
  t.unreflectedWithStrokes.fill(Color(1, 1, 0));
  return t;
}

const MatElementIdentity kMaterial1{.materialID = 1, .objectID = 7};

AColor ValueOf(const MatElementSettings& s, const ToonSample& t,
               const MatElementIdentity& id = kMaterial1) {
  ZoneWeights c;
  EXPECT_TRUE(ElementZoneWeights(s, id, t.weights, c));
  return ElementValue(s, id, t, c);
}

TEST(MatElementWeights, SamplesOfAnotherMaterialOrObjectAreNotTheElements) {
  const ZoneWeights w = {0.2f, 0.3f, 0.5f, 0.0f};
  ZoneWeights c = {9, 9, 9, 9};
  MatElementSettings s;  // material id 1
  EXPECT_FALSE(ElementZoneWeights(s, {.materialID = 2, .objectID = 1}, w, c));
  ExpectWeights(c, {0, 0, 0, 0}, "material 2");
  EXPECT_TRUE(ElementZoneWeights(s, {.materialID = 1, .objectID = 5}, w, c));

  s.selectType = 1;
  s.objID = 5;
  EXPECT_TRUE(ElementZoneWeights(s, {.materialID = 9, .objectID = 5}, w, c))
      << "by object id the material id does not matter";
  EXPECT_FALSE(ElementZoneWeights(s, {.materialID = 1, .objectID = 4}, w, c));
  ExpectWeights(c, {0, 0, 0, 0}, "object 4");
}

TEST(MatElementWeights, SwitchedOffZonesDropOutOrGoToTheZoneBefore) {
  const ZoneWeights w = {0.2f, 0.3f, 0.5f, 0.0f};
  const ZoneWeights w2 = {0.1f, 0.2f, 0.3f, 0.4f};
  struct Case {
    const char* what;
    std::array<bool, kToonZones> on;
    bool zoneBG;
    ZoneWeights in, want;
  } cases[] = {
      {"only zone 2, the rest merged", {false, true, false, false}, false, w, {0, 1, 0, 0}},
      {"only zone 2 over the background", {false, true, false, false}, true, w, {0, 0.3f, 0, 0}},
      {"all on, merged", {true, true, true, true}, false, w2, w2},
      {"all on, background", {true, true, true, true}, true, w2, w2},
      {"zones 2 and 4, merged", {false, true, false, true}, false, w2, {0, 0.6f, 0, 0.4f}},
      {"zones 1 and 3, merged", {true, false, true, false}, false, w2, {0.3f, 0, 0.7f, 0}},
      {"zone 3 alone, merged", {false, false, true, false}, false, w2, {0, 0, 1, 0}},
      {"zones 1 and 3, background", {true, false, true, false}, true, w2, {0.1f, 0, 0.3f, 0}},
      {"none on, merged", {false, false, false, false}, false, w2, {0, 0, 0, 0}},
  };
  for (const Case& k : cases) {
    ZoneWeights c;
    EXPECT_TRUE(ElementZoneWeights(OnlyZones(k.on, k.zoneBG), kMaterial1, k.in, c)) << k.what;
    ExpectWeights(c, k.want, k.what);
  }
}

TEST(MatElementValue, OnlyZoneTwoMergedShowsItsColourAlone) {
  ToonSample t = ColourSets({0.2f, 0.3f, 0.5f, 0.0f});
  t.withStrokes = {Color(1, 0, 0), Color(0, 1, 0), Color(0, 0, 1), Color(1, 1, 1)};
  ExpectColour(ValueOf(OnlyZones({false, true, false, false}, false), t), {0, 1, 0, 1});
}

TEST(MatElementValue, TheUncoveredRestOfASampleIsBackground) {
  ToonSample t = ColourSets({0.2f, 0.3f, 0.5f, 0.0f});
  MatElementSettings s = OnlyZones({false, true, false, false}, true);
  // Black background: 0.3 of the zone's red.
  ExpectColour(ValueOf(s, t), {0.3f, 0, 0, 1});
  s.backgroundColorEnable = true;
  s.backgroundColor = Color(0, 0, 1);
  ExpectColour(ValueOf(s, t), {0.3f, 0, 0.7f, 1});
  // A sample wholly in switched-off zones is all background, alpha still
  // from the zones.
  t.weights = {1, 0, 0, 0};
  ExpectColour(ValueOf(s, t), {0, 0, 1, 1});
}

TEST(MatElementValue, TheColourSetFollowsTheStrokeAndReflectionSwitches) {
  struct Case {
    bool reflected, colorStroke, colorReflec;
    Color want;
  } cases[] = {
      {false, true, true, {1, 0, 0}},  {false, false, true, {0, 1, 0}},
      {false, true, false, {1, 0, 0}}, {false, false, false, {0, 1, 0}},
      {true, true, true, {1, 0, 0}},   {true, false, true, {0, 1, 0}},
      {true, true, false, {1, 1, 0}},  {true, false, false, {0, 0, 1}},
  };
  for (const Case& k : cases) {
    ToonSample t = ColourSets({1, 0, 0, 0});
    t.reflected = k.reflected;
    MatElementSettings s;
    s.colorStroke = k.colorStroke;
    s.colorReflec = k.colorReflec;
    const std::string what = std::string("reflected ") + (k.reflected ? "yes" : "no") +
                             ", colorStroke " + (k.colorStroke ? "on" : "off") + ", colorReflec " +
                             (k.colorReflec ? "on" : "off");
    ExpectColour(ValueOf(s, t), AColor(k.want, 1.0f), what);
  }
}

TEST(MatElementValue, HighlightAndShadowColoursAreBlendedOver) {
  ToonSample t = ColourSets({1, 0, 0, 0});
  t.highlight = 0.5f;
  t.highlightColor = Color(1, 1, 1);
  t.highlightBlend = 0;  // normal
  MatElementSettings s;
  s.alphaHi = false;
  ExpectColour(ValueOf(s, t), {1, 0.5f, 0.5f, 1});
  s.colorHi = false;
  ExpectColour(ValueOf(s, t), {1, 0, 0, 1});

  t.highlight = 0.0f;
  t.shadow = 1.0f;
  t.shadowColor = Color(0.5f, 0.5f, 0.5f);
  t.shadowBlend = 3;  // multiply
  ExpectColour(ValueOf(s, t), {0.5f, 0, 0, 1}, "the shadow shows whatever colorHi says");
}

TEST(MatElementValue, AlphaCountsTheChosenZonesTimesCoverageAndTheHighlight) {
  ToonSample t = ColourSets({0.25f, 0.75f, 0, 0});
  t.opacity = 0.5f;
  MatElementSettings s;
  EXPECT_NEAR(ValueOf(s, t).a, 0.5f, kTol);
  s.alphaZone = {true, false, true, true};
  EXPECT_NEAR(ValueOf(s, t).a, 0.125f, kTol);
  t.highlight = 0.5f;
  s.colorHi = false;
  EXPECT_NEAR(ValueOf(s, t).a, 1.0f - 0.875f * 0.5f, kTol) << "alphaHi: 1 - (1 - A)(1 - h)";
  s.alphaHi = false;
  EXPECT_NEAR(ValueOf(s, t).a, 0.125f, kTol);
}

TEST(MatElementValue, AlphaExceptionsLookAtTheIdTheSelectionDoesNotUse) {
  ToonSample t = ColourSets({1, 0, 0, 0});
  const MatElementIdentity id{.materialID = 3, .objectID = 8};
  // Selecting by material id, the exception is by object id.
  MatElementSettings s;
  s.matID = 3;
  s.exaMatidEnable = true, s.exaMatid = 3;
  EXPECT_NEAR(ValueOf(s, t, id).a, 1.0f, kTol) << "the material-id exception is not used";
  s.exaObjidEnable = true, s.exaObjid = 8;
  EXPECT_NEAR(ValueOf(s, t, id).a, 0.0f, kTol);
  s.exaObjid = 9;
  EXPECT_NEAR(ValueOf(s, t, id).a, 1.0f, kTol);
  ExpectColour(ValueOf(s, t, id), {1, 0, 0, 1});

  // Selecting by object id, the exception is by material id.
  s = MatElementSettings();
  s.selectType = 1, s.objID = 8;
  s.exaObjidEnable = true, s.exaObjid = 8;
  EXPECT_NEAR(ValueOf(s, t, id).a, 1.0f, kTol) << "the object-id exception is not used";
  s.exaMatidEnable = true, s.exaMatid = 3;
  const AColor excepted = ValueOf(s, t, id);
  EXPECT_NEAR(excepted.a, 0.0f, kTol);
  ExpectColour(excepted, {1, 0, 0, 0}, "the colour stays");
}

TEST(MatElementValue, APartlyVisibleNodeScalesColourAndAlpha) {
  ToonSample t = ColourSets({1, 0, 0, 0});
  MatElementIdentity id = kMaterial1;
  id.visibility = 0.25f;
  ExpectColour(ValueOf(MatElementSettings(), t, id), {0.25f, 0, 0, 0.25f});
}

// Zone 1 blue under a red stroke of coverage 0.25: the zone colour with the
// stroke is (0.25, 0, 0.75).
ToonSample StrokedSample() {
  ToonSample t;
  t.weights = {1, 0, 0, 0};
  t.withoutStrokes[0] = Color(0, 0, 1);
  t.withStrokes[0] = Color(0.25f, 0, 0.75f);
  t.strokeCoverage[0] = 0.25f;
  t.strokes = true;
  return t;
}

TEST(MatElementValue, WithStrokesOnlyTheStrokesShow) {
  ToonSample t = StrokedSample();
  MatElementSettings s;
  ExpectColour(ValueOf(s, t), {0.25f, 0, 0, 0.25f}, "premultiplied stroke, alpha its coverage");
  s.backgroundColorEnable = true;
  s.backgroundColor = Color(1, 1, 1);
  ExpectColour(ValueOf(s, t), {1, 0.75f, 0.75f, 0.25f}, "the background fills the rest");
  s.colorStroke = false;
  ExpectColour(ValueOf(s, t), {1, 1, 1, 0.25f}, "no stroke colours: background only");
  s.backgroundColorEnable = false;
  ExpectColour(ValueOf(s, t), {0, 0, 0, 0.25f});
}

TEST(MatElementValue, StrokesOverPartOfTheZonesKeepOnlyTheStrokeShare) {
  // Half of the sample in zone 2 (the only zone shown, over the
  // background), half of which the stroke covers.
  ToonSample t;
  t.weights = {0.5f, 0.5f, 0, 0};
  t.withoutStrokes[1] = Color(0, 0, 1);
  t.withStrokes[1] = Color(0.5f, 0, 0.5f);
  t.strokeCoverage = {1, 0.5f, 0, 0};
  t.strokes = true;
  const AColor v = ValueOf(OnlyZones({false, true, false, false}, true), t);
  ExpectColour(v, {0.25f, 0, 0, 0.75f});
}

TEST(MatElementValue, TheBackgroundValueHasAlphaZero) {
  MatElementSettings s;
  ExpectColour(ElementBackgroundValue(s), {0, 0, 0, 0});
  s.backgroundColor = Color(0.2f, 0.4f, 0.6f);
  ExpectColour(ElementBackgroundValue(s), {0, 0, 0, 0}, "the colour counts only when enabled");
  s.backgroundColorEnable = true;
  ExpectColour(ElementBackgroundValue(s), {0.2f, 0.4f, 0.6f, 0});
}

}  // namespace
}  // namespace tarnis
