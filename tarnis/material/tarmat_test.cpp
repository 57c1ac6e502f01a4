// The toon material: its blocks and defaults, the slot check, zone editing,
// and shading samples through a flat base material and test lights.
#include "tarnis/material/tarmat.h"

#include <gtest/gtest.h>

#include <atomic>
#include <barrier>
#include <cmath>
#include <thread>
#include <vector>

#include "sdk/class_desc.h"
#include "sdk/hold.h"
#include "sdk/testing/fake_interface.h"
#include "sdk/testing/fake_shade_context.h"
#include "tarnis/material/shade_contexts.h"
#include "tarnis/material/tarmat_class_desc.h"
#include "tarnis/material/tarmat_ext.h"

namespace tarnis {
namespace {

// A base material that shows what its pass saw: colour × (ambient + the
// diffuse light of every light), and a fixed transparency.
class FlatMtl : public Mtl {
 public:
  void Shade(ShadeContext& sc) override {
    Color light = sc.ambientLight;
    for (int n = 0; n < sc.nLights; ++n) {
      Color c;
      Point3 dir;
      float nl = 0.0f, coef = 0.0f;
      if (LightDesc* l = sc.Light(n); l && l->Illuminate(sc, sc.Normal(), c, dir, nl, coef)) {
        light += c * coef;
      }
    }
    seenAmbient = sc.ambientLight;
    seenLight = light;
    sc.out.c = colour * light;
    sc.out.t = transparency;
  }
  void Update(TimeValue, Interval&) override {}
  Interval Validity(TimeValue) override { return FOREVER; }
  Class_ID ClassID() override { return Class_ID(0x7E57, 0x3001); }
  ReferenceTarget* Clone(RemapDir& remap) override {
    auto* copy = new FlatMtl;
    BaseClone(this, copy, remap);
    copy->colour = colour;
    return copy;
  }

  Color colour{0.5f, 0.5f, 0.5f};
  Color transparency;
  Color seenAmbient, seenLight;
};

// Any texture map that is not a stroke map: one colour, one brightness and
// one bump everywhere.
class PlainMap : public Texmap {
 public:
  PlainMap() = default;
  explicit PlainMap(AColor c, Point3 perturb = {}) : colour(c), bump(perturb) {}
  AColor EvalColor(ShadeContext&) override { return colour; }
  Point3 EvalNormalPerturb(ShadeContext&) override { return bump; }
  AColor colour{0.2f, 0.4f, 0.6f, 1.0f};
  Point3 bump;
  void Update(TimeValue, Interval&) override {}
  Interval Validity(TimeValue) override { return FOREVER; }
  Class_ID ClassID() override { return Class_ID(0x7E57, 0x3002); }
};

// A map of the stroke map's class that paints a solid colour with a fixed
// coverage, and records the order it was asked in.
class TestStroke : public Texmap, public ZoneStroke {
 public:
  TestStroke(Color c, float k, std::vector<int>* order, int tag)
      : colour(c), coverage(k), order_(order), tag_(tag) {}
  AColor EvalColor(ShadeContext&) override { return AColor(colour.r, colour.g, colour.b, 1.0f); }
  void Update(TimeValue, Interval&) override {}
  Interval Validity(TimeValue) override { return FOREVER; }
  Class_ID ClassID() override { return kStrokeClassID; }
  ReferenceTarget* Clone(RemapDir& remap) override {
    auto* copy = new TestStroke(colour, coverage, order_, tag_);
    BaseClone(this, copy, remap);
    return copy;
  }
  float ShadeStroke(ShadeContext&, float opacity, Color& c, int seed, float scale) override {
    if (order_) order_->push_back(tag_);
    lastSeed = seed;
    lastScale = scale;
    const float k = coverage * opacity;
    c = c * (1.0f - k) + colour * k;
    return k;
  }

  Color colour;
  float coverage;
  int lastSeed = -1;
  float lastScale = 0.0f;

 private:
  std::vector<int>* order_;
  int tag_;
};

// A test light that, like the renderer's, casts no shadow where the context
// says shadows are off.
class ShadowAwareLight : public TestDirectionalLight {
 public:
  bool Illuminate(ShadeContext& sc, const Point3& normal, Color& c, Point3& dir, float& dot_nl,
                  float& diffuseCoef) override {
    if (!sc.shadow) return IlluminateNoShadow(sc, normal, c, dir, dot_nl, diffuseCoef);
    return TestDirectionalLight::Illuminate(sc, normal, c, dir, dot_nl, diffuseCoef);
  }
};

class TarmatTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mtl_.Set(new Tarmat);
    base_ = new FlatMtl;
    mtl()->SetSubMtl(0, base_);
    Update();
    sc_.SetAllNormals({0, 0, 1});
    sc_.view = Point3(0, 0, -1);
    sc_.ambientLight = Color(0, 0, 0);
    sc_.AddLight(&light_);
  }

  Tarmat* mtl() { return mtl_.GetAs<Tarmat>(); }
  IParamBlock2* Main() { return mtl()->Block(kTarmatBlockMain); }
  IParamBlock2* Zone(int z) { return mtl()->Block(kTarmatBlockZone1 + z); }
  void Update(TimeValue t = 0) {
    Interval valid = FOREVER;
    mtl()->Update(t, valid);
  }
  // Points the light so that N·L is `w` (the gradation without ambient).
  void LightAt(float w) {
    light_.toLight = Normalize(Point3(std::sqrt(std::max(0.0f, 1.0f - w * w)), 0.0f, w));
  }
  void SetZoneColours() {
    const Color colours[4] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 0}};
    for (int z = 0; z < 4; ++z) Zone(z)->SetValue(kTzColor, 0, colours[z]);
    Update();
  }
  Color ShadeAt(float w) {
    LightAt(w);
    sc_.ResetOutput();
    mtl()->Shade(sc_);
    return sc_.out.c;
  }

  FakeInterface ip_;
  ReferenceHolder mtl_;
  FlatMtl* base_ = nullptr;
  FakeShadeContext sc_;
  ShadowAwareLight light_;
};

void ExpectColor(const Color& got, const Color& want, const char* what = "") {
  constexpr float kTol = 1e-5f;
  EXPECT_NEAR(got.r, want.r, kTol) << what;
  EXPECT_NEAR(got.g, want.g, kTol) << what;
  EXPECT_NEAR(got.b, want.b, kTol) << what;
}

TEST_F(TarmatTest, ANewMaterialHasQuarterZonesEmptyStrokeSlotsAndAdvancedSettings) {
  ReferenceHolder fresh(new Tarmat);
  auto* m = fresh.GetAs<Tarmat>();
  for (int z = 0; z < 4; ++z) {
    const ZoneValues& zone = m->Values().zones[z];
    EXPECT_FLOAT_EQ(zone.core.min, 0.25f * z);
    EXPECT_FLOAT_EQ(zone.core.max, 0.25f * (z + 1));
    ExpectColor(zone.color, Color(0.25f * z, 0.25f * z, 0.25f * z));
    EXPECT_EQ(zone.blend, 0);
    EXPECT_FLOAT_EQ(zone.alpha, 1.0f);
    for (int s = 0; s < 6; ++s) {
      EXPECT_EQ(m->GetReference(StrokeRef(z, s)), nullptr);
      EXPECT_FALSE(zone.strokeEnable[s]);
    }
  }
  EXPECT_NE(dynamic_cast<TarmatExt*>(m->GetSubMtl(1)), nullptr);
  EXPECT_EQ(m->NumRefs(), 42);
  EXPECT_EQ(m->NumSubTexmaps(), 33);
  EXPECT_NE(m->GetSubTexmapSlotName(6).str(), m->GetSubTexmapSlotName(13).str());
  EXPECT_TRUE(ip_.messages.empty()) << "empty stroke slots pass the slot check";
}

// A class descriptor that makes TestStrokes, as the stroke map's would.
class TestStrokeDesc : public ClassDesc2 {
 public:
  int IsPublic() override { return 0; }
  void* Create(bool) override {
    return static_cast<ReferenceTarget*>(new TestStroke({0, 0, 0}, 1.0f, nullptr, 0));
  }
  const char* ClassName() override { return "Test Stroke"; }
  SClass_ID SuperClassID() override { return TEXMAP_CLASS_ID; }
  Class_ID ClassID() override { return kStrokeClassID; }
  const char* Category() override { return ""; }
};

TEST_F(TarmatTest, WithTheStrokeMapLoadedANewMaterialFillsItsStrokeSlots) {
  TestStrokeDesc desc;
  ASSERT_EQ(GetClassDirectory().AddClass(&desc), 1);
  ReferenceHolder fresh(new Tarmat);
  GetClassDirectory().DeleteClass(&desc);
  auto* m = fresh.GetAs<Tarmat>();
  auto name = [&](int zone, int slot) {
    auto* map = dynamic_cast<Texmap*>(m->GetReference(StrokeRef(zone, slot)));
    return map ? std::string(map->GetName()) : std::string("(empty)");
  };
  EXPECT_EQ(name(0, 0), "#6");
  EXPECT_EQ(name(0, 5), "#1");
  EXPECT_EQ(name(1, 0), "#12");
  EXPECT_EQ(name(3, 0), "#24");
  EXPECT_EQ(name(3, 5), "#19");
  for (int z = 0; z < 4; ++z) {
    for (int s = 0; s < 6; ++s) EXPECT_FALSE(m->Values().zones[z].strokeEnable[s]);
  }
  EXPECT_TRUE(ip_.messages.empty());
}

TEST_F(TarmatTest, TheWorkingCopyScalesWhatTheBlocksHold) {
  Main()->SetValue(kTmHiSharp, 0, 100);
  Main()->SetValue(kTmStrokeScale, 0, 50.0f);
  Main()->SetValue(kTmShade, 0, 40.0f);
  Main()->SetValue(kTmHiLevel, 0, 250);
  Main()->SetValue(kTmHiOrient, 0, 9000);
  Update();
  const TarmatValues& v = mtl()->Values();
  EXPECT_FLOAT_EQ(v.hiSharp, 0.99f) << "not 1";
  EXPECT_FLOAT_EQ(v.strokeScale, 2.0f);
  EXPECT_FLOAT_EQ(v.shade, 0.4f);
  EXPECT_FLOAT_EQ(v.hiLevel, 2.5f);
  EXPECT_FLOAT_EQ(v.hiOrient, 90.0f);
}

TEST_F(TarmatTest, WrongMapsInStrokeSlotsAreUndoneWithOneWarning) {
  std::vector<int> order;
  auto* stroke = new TestStroke({1, 1, 1}, 1.0f, &order, 1);
  mtl()->ReplaceReference(StrokeRef(1, 2), stroke);
  Update();
  EXPECT_TRUE(ip_.messages.empty()) << "a stroke map belongs there";

  // A plain map over the stroke map: the stroke map comes back.
  mtl()->ReplaceReference(StrokeRef(1, 2), new PlainMap);
  mtl()->ReplaceReference(StrokeRef(2, 0), new PlainMap);
  Update();
  EXPECT_EQ(mtl()->GetReference(StrokeRef(1, 2)), stroke);
  EXPECT_EQ(mtl()->GetReference(StrokeRef(2, 0)), nullptr) << "nothing kept: the slot empties";
  ASSERT_EQ(ip_.messages.size(), 1u) << "one warning for the whole check";
  EXPECT_EQ(ip_.messages[0].caption, "Tarnis");
  EXPECT_EQ(ip_.messages[0].icon, MessageIcon::Warning);

  // Clearing a stroke slot does the same.
  mtl()->ReplaceReference(StrokeRef(1, 2), nullptr);
  Update();
  EXPECT_EQ(mtl()->GetReference(StrokeRef(1, 2)), stroke);
  EXPECT_EQ(ip_.messages.size(), 2u);

  // A stroke map over a stroke map stays, without a warning, and the holder
  // lets the old one go: only this test still holds it.
  ReferenceHolder old(stroke);
  auto* other = new TestStroke({0, 0, 0}, 1.0f, &order, 2);
  mtl()->ReplaceReference(StrokeRef(1, 2), other);
  EXPECT_EQ(stroke->NumDependents(), 2) << "kept by the holder until the update";
  Update();
  EXPECT_EQ(mtl()->GetReference(StrokeRef(1, 2)), other);
  EXPECT_EQ(ip_.messages.size(), 2u);
  EXPECT_EQ(stroke->NumDependents(), 1) << "the holder was emptied";
}

TEST_F(TarmatTest, OnlyAdvancedSettingsStayInTheAdvancedSettingsSlot) {
  Mtl* ext = mtl()->GetSubMtl(1);
  ASSERT_NE(dynamic_cast<TarmatExt*>(ext), nullptr);
  mtl()->SetSubMtl(1, new FlatMtl);
  Update();
  EXPECT_EQ(mtl()->GetSubMtl(1), ext);
  ASSERT_EQ(ip_.messages.size(), 1u);
  EXPECT_EQ(ip_.messages[0].caption, "Tarnis");

  // Another advanced-settings material is taken as it is.
  auto* replacement = new TarmatExt;
  mtl()->SetSubMtl(1, replacement);
  Update();
  EXPECT_EQ(mtl()->GetSubMtl(1), replacement);
  EXPECT_EQ(ip_.messages.size(), 1u);
}

TEST_F(TarmatTest, ZoneBordersStayOrderedWhileEditing) {
  // Zone 2 (index 1) minimum below zone 1's maximum lowers that maximum.
  mtl()->SetZoneMin(1, 10.0f, 0);
  EXPECT_FLOAT_EQ(mtl()->CopyZonePositions(0)[0].second, 10.0f);
  EXPECT_FLOAT_EQ(mtl()->CopyZonePositions(0)[1].first, 10.0f);
  // ...but not below zone 1's minimum (the spinner's limit).
  mtl()->SetZoneMin(1, -5.0f, 0);
  EXPECT_FLOAT_EQ(mtl()->CopyZonePositions(0)[1].first, 0.0f);
  // A maximum above the next zone's minimum raises it, up to that zone's maximum.
  mtl()->SetZoneMax(2, 90.0f, 0);
  EXPECT_FLOAT_EQ(mtl()->CopyZonePositions(0)[2].second, 90.0f);
  EXPECT_FLOAT_EQ(mtl()->CopyZonePositions(0)[3].first, 90.0f);
  mtl()->SetZoneMax(3, 120.0f, 0);
  EXPECT_FLOAT_EQ(mtl()->CopyZonePositions(0)[3].second, 100.0f);
  const auto limits = mtl()->ZoneMaxLimits(1, 0);
  EXPECT_FLOAT_EQ(limits.first, mtl()->CopyZonePositions(0)[1].first);
  EXPECT_FLOAT_EQ(limits.second, mtl()->CopyZonePositions(0)[2].second);
}

TEST_F(TarmatTest, ZonePositionsPasteAsOneUndoStep) {
  const Tarmat::ZonePositions copied = mtl()->CopyZonePositions(0);
  ReferenceHolder other(new Tarmat);
  auto* target = other.GetAs<Tarmat>();
  Tarmat::ZonePositions changed = copied;
  changed[0] = {0.0f, 10.0f};
  changed[1] = {30.0f, 40.0f};
  target->PasteZonePositions(changed, 0);
  EXPECT_EQ(target->CopyZonePositions(0), changed);
  theHold.Undo();
  EXPECT_EQ(target->CopyZonePositions(0), copied) << "one undo takes the whole paste back";
}

TEST_F(TarmatTest, TheZoneClipboardCarriesPositionsBetweenMaterials) {
  mtl()->SetZoneMax(0, 15.0f, 0);
  CopyZonePositionsToClipboard(*mtl(), 0);
  ReferenceHolder other(new Tarmat);
  auto* target = other.GetAs<Tarmat>();
  ASSERT_TRUE(PasteZonePositionsFromClipboard(*target, 0));
  EXPECT_EQ(target->CopyZonePositions(0), mtl()->CopyZonePositions(0));
  EXPECT_FLOAT_EQ(target->CopyZonePositions(0)[0].second, 15.0f);
}

TEST_F(TarmatTest, StrokeSetsCopyEnabledSlotsAndPasteAsInstancesOrCopies) {
  auto* a = new TestStroke({1, 0, 0}, 1.0f, nullptr, 1);
  auto* b = new TestStroke({0, 1, 0}, 1.0f, nullptr, 2);
  mtl()->ReplaceReference(StrokeRef(0, 0), a);
  mtl()->ReplaceReference(StrokeRef(0, 3), b);
  Zone(0)->SetValue(kTzStrokeEnable, 0, true, 0);
  const Tarmat::StrokeSet set = mtl()->CopyStrokeSet(0, 0);
  EXPECT_EQ(set[0], a);
  EXPECT_EQ(set[3], nullptr) << "slot 4 is off";

  mtl()->PasteStrokeSet(2, set, /*instance=*/true, 0);
  EXPECT_EQ(mtl()->GetReference(StrokeRef(2, 0)), a);
  int on = 0;
  Interval valid = FOREVER;
  Zone(2)->GetValue(kTzStrokeEnable, 0, on, valid, 0);
  EXPECT_EQ(on, 1);
  EXPECT_EQ(mtl()->GetReference(StrokeRef(2, 3)), nullptr);

  // Through the clipboard, as copies: new maps in the same slots, one undo.
  CopyStrokeSetToClipboard(*mtl(), 0, 0);
  ASSERT_TRUE(PasteStrokeSetFromClipboard(*mtl(), 3, /*instance=*/false, 0));
  ReferenceTarget* copied = mtl()->GetReference(StrokeRef(3, 0));
  ASSERT_NE(copied, nullptr);
  EXPECT_NE(copied, a);
  EXPECT_EQ(copied->ClassID(), kStrokeClassID);
  theHold.Undo();
  EXPECT_EQ(mtl()->GetReference(StrokeRef(3, 0)), nullptr);
}

TEST_F(TarmatTest, ShadingShowsExactlyTheZoneOfTheGradation) {
  SetZoneColours();
  ExpectColor(ShadeAt(0.1f), Color(1, 0, 0));
  ExpectColor(ShadeAt(0.3f), Color(0, 1, 0));
  ExpectColor(ShadeAt(0.6f), Color(0, 0, 1));
  ExpectColor(ShadeAt(0.9f), Color(1, 1, 0));
  // A disabled zone shows the base material's colour instead.
  Zone(2)->SetValue(kTzEnable, 0, false);
  Update();
  ExpectColor(ShadeAt(0.6f), base_->colour * Color(1, 1, 1));
}

TEST_F(TarmatTest, TheBasePassSeesLightsDimmedByShade) {
  sc_.ambientLight = Color(0.2f, 0.2f, 0.2f);
  LightAt(1.0f);
  mtl()->Shade(sc_);
  ExpectColor(base_->seenAmbient, Color(1, 1, 1));  // shade 0: ambient pulled to 1
  ExpectColor(base_->seenLight, Color(1, 1, 1));    // ...and the light off
  Main()->SetValue(kTmShade, 0, 100.0f);
  Update();
  mtl()->Shade(sc_);
  ExpectColor(base_->seenAmbient, Color(0.2f, 0.2f, 0.2f));
  ExpectColor(base_->seenLight, Color(1.2f, 1.2f, 1.2f));
  EXPECT_EQ(sc_.ambientLight, Color(0.2f, 0.2f, 0.2f)) << "the caller's context is untouched";
}

TEST_F(TarmatTest, WithoutABaseMaterialNothingIsWritten) {
  mtl()->SetSubMtl(0, nullptr);
  Update();
  sc_.out.c = Color(0.3f, 0.2f, 0.1f);
  mtl()->Shade(sc_);
  EXPECT_EQ(sc_.out.c, Color(0.3f, 0.2f, 0.1f));
}

TEST_F(TarmatTest, StrokesLayerLastSlotFirstAndStrokeOnlyKeepsOnlyThem) {
  SetZoneColours();
  std::vector<int> order;
  auto* top = new TestStroke({1, 1, 1}, 1.0f, &order, 1);
  auto* under = new TestStroke({0, 0, 0}, 1.0f, &order, 6);
  mtl()->ReplaceReference(StrokeRef(0, 0), top);
  mtl()->ReplaceReference(StrokeRef(0, 5), under);
  Zone(0)->SetValue(kTzStrokeEnable, 0, true, 0);
  Zone(0)->SetValue(kTzStrokeEnable, 0, true, 5);
  Main()->SetValue(kTmStrokeScale, 0, 50.0f);
  Update();
  ExpectColor(ShadeAt(0.1f), Color(1, 1, 1));
  EXPECT_EQ(order, (std::vector<int>{6, 1})) << "slot 1 ends on top";
  EXPECT_FLOAT_EQ(top->lastScale, 2.0f);
  EXPECT_EQ(top->lastSeed, 0);

  // Stroke-only: the stroke is all that shows; where there is none, nothing.
  Main()->SetValue(kTmStrokeOnly, 0, true);
  Update();
  ShadeAt(0.1f);
  ExpectColor(sc_.out.c, Color(1, 1, 1));
  ExpectColor(sc_.out.t, Color(0, 0, 0));
  ShadeAt(0.6f);
  ExpectColor(sc_.out.c, Color(0, 0, 0));
  ExpectColor(sc_.out.t, Color(1, 1, 1));  // no strokes: fully transparent
}

TEST_F(TarmatTest, StrokeAnimationReseedsEveryIntervalOfFrames) {
  sc_.time = 5 * GetTicksPerFrame();
  EXPECT_EQ(mtl()->StrokeSeed(sc_), 0) << "off by default";
  Main()->SetValue(kTmRndAuto, 0, true);
  Main()->SetValue(kTmRndInterval, 0, 2);
  Update();
  EXPECT_EQ(mtl()->StrokeSeed(sc_), 2);  // frame 5 (+0.5), two frames a step
  sc_.time = 6 * GetTicksPerFrame();
  EXPECT_EQ(mtl()->StrokeSeed(sc_), 3);
  sc_.inMtlEditor = true;
  EXPECT_EQ(mtl()->StrokeSeed(sc_), 0) << "previews keep one pattern";
}

TEST_F(TarmatTest, StrokeOnlyOnASurfaceWithoutStrokesIsTransparent) {
  Main()->SetValue(kTmStrokeOnly, 0, true);
  Update();
  for (float w : {0.1f, 0.4f, 0.9f}) {
    ShadeAt(w);
    ExpectColor(sc_.out.t, Color(1, 1, 1));
    ExpectColor(sc_.out.c, Color(0, 0, 0));
  }
}

TEST_F(TarmatTest, AHighlightTurnsTheSurfaceOpaqueAndTakesItsColour) {
  base_->transparency = Color(0.5f, 0.5f, 0.5f);
  SetZoneColours();
  Main()->SetValue(kTmHiLevel, 0, 100);
  Main()->SetValue(kTmHiGross, 0, 100);
  Main()->SetValue(kTmHiColor, 0, Color(1, 1, 1));
  Update();
  // Looking straight at a surface lit from behind the eye: a full highlight.
  ShadeAt(1.0f);
  EXPECT_GT(sc_.out.c.r, 0.99f);
  EXPECT_LT(sc_.out.t.r, 0.5f) << "the highlight makes it more opaque";
  // Lit from the side, no highlight: the zone's colour, premultiplied.
  ShadeAt(0.3f);
  ExpectColor(sc_.out.c, Color(0, 0.5f, 0));
  ExpectColor(sc_.out.t, Color(0.5f, 0.5f, 0.5f));
}

TEST_F(TarmatTest, ShadowBlendColoursWhatTheLightsShadow) {
  SetZoneColours();
  auto* ext = dynamic_cast<TarmatExt*>(mtl()->GetSubMtl(1));
  ext->Block()->SetValue(kSblendEnable, 0, true);
  ext->Block()->SetValue(kSblendColor, 0, Color(0, 0, 0.5f));
  Update();
  light_.shadow = 0.0f;  // the light is blocked
  const Color shadowed = ShadeAt(0.9f);
  // The gradation ignores the shadow (zone 4), the shadow colour covers it.
  ExpectColor(shadowed, Color(0, 0, 0.5f));
  light_.shadow = 1.0f;
  ExpectColor(ShadeAt(0.9f), Color(1, 1, 0));
  light_.shadow = 0.5f;
  ExpectColor(ShadeAt(0.9f), Color(0.5f, 0.5f, 0.25f));
}

TEST_F(TarmatTest, MapsColourZonesHighlightsAndReflections) {
  SetZoneColours();
  // A zone map half over the zone colour.
  mtl()->ReplaceReference(ZoneMapRef(0), new PlainMap(AColor(0, 0, 1, 1)));
  Zone(0)->SetValue(kTzMapOpacity, 0, 50.0f);
  Update();
  ExpectColor(ShadeAt(0.1f), Color(0.5f, 0, 0.5f));
  Zone(0)->SetValue(kTzMapEnable, 0, false);
  Update();
  ExpectColor(ShadeAt(0.1f), Color(1, 0, 0));

  // A reflection adds to every zone (and is clamped).
  mtl()->ReplaceReference(kTarmatReflecMapRef, new PlainMap(AColor(0.2f, 0.4f, 0.6f, 1)));
  Main()->SetValue(kTmReflecEnable, 0, true);
  Main()->SetValue(kTmReflecAmount, 0, 50);
  Update();
  ExpectColor(ShadeAt(0.3f), Color(0.1f, 1, 0.3f));
  Main()->SetValue(kTmReflecEnable, 0, false);

  // The highlight map colours a full highlight.
  mtl()->ReplaceReference(kTarmatHiMapRef, new PlainMap(AColor(1, 0, 1, 1)));
  Main()->SetValue(kTmHiLevel, 0, 100);
  Main()->SetValue(kTmHiGross, 0, 100);
  Update();
  ExpectColor(ShadeAt(1.0f), Color(1, 0, 1));
}

TEST_F(TarmatTest, ABumpMapBendsTheNormalForTheLightOnly) {
  SetZoneColours();
  // A perturbation that tips the normal away from a light straight above.
  mtl()->ReplaceReference(kTarmatBumpMapRef, new PlainMap(AColor(0, 0, 0, 1), Point3(2, 0, 0)));
  Main()->SetValue(kTmBumpAmount, 0, 100);
  Update();
  ExpectColor(ShadeAt(0.9f), Color(1, 1, 0), "bumping is off until enabled");
  Main()->SetValue(kTmBumpEnable, 0, true);
  Update();
  light_.toLight = Point3(0, 0, 1);
  sc_.ResetOutput();
  mtl()->Shade(sc_);
  // normalize(0,0,1 + 2,0,0): N·L = 1/sqrt(5) = 0.447, zone 2.
  ExpectColor(sc_.out.c, Color(0, 1, 0));
  EXPECT_EQ(sc_.Normal(), Point3(0, 0, 1)) << "the caller's normal is put back";
}

TEST_F(TarmatTest, AGradationOffsetMapShiftsTheZones) {
  SetZoneColours();
  auto* ext = dynamic_cast<TarmatExt*>(mtl()->GetSubMtl(1));
  ext->Block()->SetValue(kGradOffsetEnable, 0, true);
  Update();
  ExpectColor(ShadeAt(0.1f), Color(1, 0, 0), "no map: no shift");
  // Brightness 1, offset -0.5, amount 100 %: the gradation moves up by 0.5.
  ext->SetSubTexmap(0, new PlainMap(AColor(1, 1, 1, 1)));
  Update();
  ExpectColor(ShadeAt(0.1f), Color(0, 0, 1));
}

TEST_F(TarmatTest, TheLightsTintIsMixedIntoTheChosenZones) {
  SetZoneColours();
  auto* ext = dynamic_cast<TarmatExt*>(mtl()->GetSubMtl(1));
  ext->Block()->SetValue(kLightcolEnable, 0, true);
  ext->Block()->SetValue(kLightcolZone, 0, false, 3);
  Update();
  light_.color = Color(1.0f, 0.4f, 0.4f);  // mean 0.6: tint (0.4, -0.2, -0.2)
  // Zone 3 at N·L 0.6 × the light's mean... the gradation is the mean light:
  // with N·L = 1 it is 0.6, zone 3 (blue): blue + tint = (0.4, 0, 0.8).
  ExpectColor(ShadeAt(1.0f), Color(0.4f, 0, 0.8f));
  ext->Block()->SetValue(kLightcolZone, 0, false, 2);
  Update();
  ExpectColor(ShadeAt(1.0f), Color(0, 0, 1), "zone 3 no longer takes the tint");
}

TEST_F(TarmatTest, ClonesAreIndependent) {
  Zone(0)->SetValue(kTzColor, 0, Color(0.1f, 0.2f, 0.3f));
  Update();
  ReferenceHolder copy(CloneRefHierarchy(mtl()));
  auto* c = copy.GetAs<Tarmat>();
  ASSERT_NE(c, nullptr);
  ExpectColor(c->Values().zones[0].color, Color(0.1f, 0.2f, 0.3f));
  EXPECT_NE(c->Block(kTarmatBlockZone1), Zone(0));
  EXPECT_NE(c->GetSubMtl(1), mtl()->GetSubMtl(1));
  Zone(0)->SetValue(kTzColor, 0, Color(1, 1, 1));
  Update();
  Interval valid = FOREVER;
  c->Update(0, valid);
  ExpectColor(c->Values().zones[0].color, Color(0.1f, 0.2f, 0.3f));
}

// A base material whose pass waits until every render thread is inside its
// own pass, so that all of them hold a pooled context at once.
class RendezvousMtl : public FlatMtl {
 public:
  explicit RendezvousMtl(std::barrier<>* meet) : meet_(meet) {}
  void Shade(ShadeContext& sc) override {
    meet_->arrive_and_wait();
    sc.out.c = colour;
    sc.out.t = Color();
  }

 private:
  std::barrier<>* meet_;
};

TEST_F(TarmatTest, ConcurrentShadingGrowsTheContextPoolPastItsFirstSlots) {
  constexpr int kThreads = 24;  // more than the pool's first 16 slots
  constexpr int kRounds = 20;
  std::barrier<> meet(kThreads);
  mtl()->SetSubMtl(0, new RendezvousMtl(&meet));
  SetZoneColours();
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      FakeShadeContext sc;
      sc.SetAllNormals({0, 0, 1});
      sc.view = Point3(0, 0, -1);
      TestDirectionalLight light;
      const float w = i % 2 ? 0.1f : 0.6f;  // zone 1 or zone 3
      light.toLight = Normalize(Point3(std::sqrt(1.0f - w * w), 0.0f, w));
      sc.AddLight(&light);
      for (int r = 0; r < kRounds; ++r) {
        sc.ResetOutput();
        mtl()->Shade(sc);
        const Color want = i % 2 ? Color(1, 0, 0) : Color(0, 0, 1);
        if (!(std::abs(sc.out.c.r - want.r) < 1e-5f && std::abs(sc.out.c.b - want.b) < 1e-5f)) {
          ++wrong;
        }
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_GE(ShadeContextPool::Shared().Count(), kThreads);
}

TEST(TarmatClassTest, TheDescriptorNamesTheMaterial) {
  EXPECT_STREQ(GetTarmatDesc()->InternalName(), "Tarnis_Material");
  EXPECT_EQ(GetTarmatDesc()->SuperClassID(), MATERIAL_CLASS_ID);
  EXPECT_EQ(GetTarmatDesc()->ClassID(), Class_ID(0x54022257, 0x0814C54E));
  EXPECT_TRUE(GetTarmatDesc()->IsPublic());
  EXPECT_STREQ(GetStrokeHolderDesc()->InternalName(), "Tarnis_StrokeHolder");
}

}  // namespace
}  // namespace tarnis
