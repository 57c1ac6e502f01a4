// Tests of the advanced-settings material and its holder: the block table,
// the working set's conversions and forced-off rules, the design outline of
// a new or reset material, strict slots, validity, cloning, saving and
// loading (with the repair of damaged data), and the class descriptors.
#include "tarnis/material/tarmat_ext.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "sdk/angles.h"
#include "sdk/class_desc.h"
#include "sdk/ref_graph.h"
#include "sdk/save_load.h"
#include "tarnis/common/shape_control.h"
#include "tarnis/common/shape_control_class_desc.h"
#include "tarnis/material/tarmat_ext_class_desc.h"

namespace tarnis {
namespace {

constexpr float kNoLimit = std::numeric_limits<float>::infinity();

// A texture map with a constant value and a validity the test chooses.
class ConstantMap : public Texmap {
 public:
  static constexpr Class_ID kClassID{0x7E57B125, 0x0000A101};

  explicit ConstantMap(float v = 0.0f) : value(v) {}

  AColor EvalColor(ShadeContext&) override { return AColor(value, value, value, 1.0f); }
  void Update(TimeValue, Interval& valid) override { valid &= validity; }
  Interval Validity(TimeValue) override { return validity; }
  Class_ID ClassID() override { return kClassID; }
  ReferenceTarget* Clone(RemapDir& remap) override {
    auto* copy = new ConstantMap(value);
    BaseClone(this, copy, remap);
    return copy;
  }
  IOResult Save(ISave* isave) override {
    isave->BeginChunk(1);
    isave->WriteFloat(value);
    isave->EndChunk();
    return IO_OK;
  }
  IOResult Load(ILoad* iload) override {
    while (iload->OpenChunk() == IO_OK) {
      if (iload->ReadFloat(value) != IO_OK) return IO_ERROR;
      iload->CloseChunk();
    }
    return IO_OK;
  }

  float value;
  Interval validity = FOREVER;
};

class ConstantMapDesc : public ClassDesc2 {
 public:
  int IsPublic() override { return 0; }
  void* Create(bool) override { return static_cast<ReferenceTarget*>(new ConstantMap); }
  const char* ClassName() override { return "ConstantMap"; }
  SClass_ID SuperClassID() override { return TEXMAP_CLASS_ID; }
  Class_ID ClassID() override { return ConstantMap::kClassID; }
  const char* Category() override { return ""; }
};

TarmatExt& Made(ReferenceHolder& holder) {
  auto* mtl = holder.GetAs<TarmatExt>();
  EXPECT_NE(mtl, nullptr);
  return *mtl;
}

const TarmatExtValues& Updated(TarmatExt& mtl, TimeValue t = 0) {
  Interval valid = FOREVER;
  mtl.Update(t, valid);
  return mtl.Values();
}

float MapValue(Texmap* map) {
  auto* constant = dynamic_cast<ConstantMap*>(map);
  return constant ? constant->value : -1.0f;
}

// --- The block ----------------------------------------------------------------------

struct ParamRow {
  ParamID id;
  const char* name;
  ParamType2 type;
  float def, min, max;
  bool animatable;
};

// In declaration order.
const ParamRow kParamRows[] = {
    {kGradOffsetEnable, "gradOffsetEnable", TYPE_BOOL, 0, -kNoLimit, kNoLimit, true},
    {kGradOffsetAmount, "gradOffsetAmount", TYPE_INT, 100, -999, 999, true},
    {kGradOffsetMap, "gradOffsetMap", TYPE_TEXMAP, 0, -kNoLimit, kNoLimit, false},
    {kGradOffsetMapOfs, "gradOffsetMapOfs", TYPE_FLOAT, -0.5f, -9999, 9999, true},
    {kSblendEnable, "sblendEnable", TYPE_BOOL, 0, -kNoLimit, kNoLimit, true},
    {kSblendColor, "sblendColor", TYPE_RGBA, 0, -kNoLimit, kNoLimit, true},
    {kSblendMapOpacity, "sblendMapOpacity", TYPE_FLOAT, 100, 0, 100, true},
    {kSblendMapEnable, "sblendMapEnable", TYPE_BOOL, 0, -kNoLimit, kNoLimit, true},
    {kSblendMap, "sblendMap", TYPE_TEXMAP, 0, -kNoLimit, kNoLimit, false},
    {kSblendBlend, "sblendBlend", TYPE_INT, 0, 0, 15, false},
    {kSblendAlpha, "sblendAlpha", TYPE_FLOAT, 100, 0, 100, true},
    {kLightcolEnable, "lightcolEnable", TYPE_BOOL, 0, -kNoLimit, kNoLimit, true},
    {kLightcolBlend, "lightcolBlend", TYPE_INT, 0, 0, 15, false},
    {kLightcolAlpha, "lightcolAlpha", TYPE_FLOAT, 100, 0, 100, true},
    {kLightcolZone, "lightcolZone", TYPE_BOOL_TAB, 1, -kNoLimit, kNoLimit, false},
    {kLightcolRelpaceEnable, "lightcolRelpaceEnable", TYPE_BOOL, 0, -kNoLimit, kNoLimit, true},
    {kLightcolRelpaceColor, "lightcolRelpaceColor", TYPE_RGBA, 0, -kNoLimit, kNoLimit, true},
    {kLightcolReplaceAmount, "lightcolReplaceAmount", TYPE_FLOAT, 100, 0, 100, true},
    {kHiZoneEnable, "hiZoneEnable", TYPE_BOOL, 0, -kNoLimit, kNoLimit, true},
    {kHiZoneAmount, "hiZoneAmount", TYPE_FLOAT, 100, 0, 999, true},
    {kHiZoneAngle, "hiZoneAngle", TYPE_FLOAT, 0, -3600, 3600, true},
    {kZoneAnti, "zoneAnti", TYPE_FLOAT, 100, 0, 999, true},
    {kZoneAntiEnable, "zoneAntiEnable", TYPE_BOOL, 1, -kNoLimit, kNoLimit, true},
};

TEST(TarmatExtBlock, DeclaresEveryParameterInTableOrder) {
  const ParamBlockDesc2& desc = *TarmatExtBlockDesc();
  EXPECT_EQ(desc.ID(), 0);
  EXPECT_EQ(desc.InternalName(), "main");
  EXPECT_EQ(desc.OwnerRef(), kTarmatExtBlockRef);
  ASSERT_EQ(desc.Count(), static_cast<int>(std::size(kParamRows)));
  for (int i = 0; i < desc.Count(); ++i) {
    const ParamRow& row = kParamRows[i];
    const ParamDef& def = desc.GetParamDefByIndex(i);
    EXPECT_EQ(def.id, row.id) << row.name;
    EXPECT_EQ(def.internalName, row.name);
    EXPECT_EQ(def.type, row.type) << row.name;
    EXPECT_EQ(def.range.min, row.min) << row.name;
    EXPECT_EQ(def.range.max, row.max) << row.name;
    EXPECT_EQ((def.flags & P_ANIMATABLE) != 0, row.animatable) << row.name;
    if (def.def.Is<float>()) {
      EXPECT_EQ(def.def.Get<float>(), row.def) << row.name;
    }
    if (def.def.Is<int>()) {
      EXPECT_EQ(def.def.Get<int>(), static_cast<int>(row.def)) << row.name;
    }
    if (def.def.Is<Color>()) {
      EXPECT_EQ(def.def.Get<Color>(), Color(0, 0, 0)) << row.name;
    }
  }
  EXPECT_EQ(desc.GetParamDef(kGradOffsetMap)->ownerRef, kTarmatExtGradOffsetMapRef);
  EXPECT_EQ(desc.GetParamDef(kSblendMap)->ownerRef, kTarmatExtShadowMapRef);
  EXPECT_EQ(desc.GetParamDef(kLightcolZone)->tabSize, 4);
}

// --- The working set -----------------------------------------------------------------

TEST(TarmatExtValues, DefaultConstructedMeansEveryFeatureOff) {
  const TarmatExtValues v{};
  EXPECT_FALSE(v.gradOffsetEnable);
  EXPECT_FALSE(v.sblendEnable);
  EXPECT_EQ(v.sblendColor, Color(0, 0, 0));
  EXPECT_FALSE(v.lightcolEnable);
  EXPECT_FALSE(v.hiZoneEnable);
  EXPECT_EQ(v.designAmount, 0.0f);
  EXPECT_EQ(v.zoneAnti, 0.0f);
  EXPECT_EQ(v.gradOffsetMap, nullptr);
  EXPECT_EQ(v.sblendMap, nullptr);
  EXPECT_EQ(v.outline, nullptr);
}

TEST(TarmatExt, NewMaterialHasDefaultWorkingSet) {
  ReferenceHolder holder(new TarmatExt);
  const TarmatExtValues& v = Made(holder).Values();
  EXPECT_FALSE(v.gradOffsetEnable);
  EXPECT_FLOAT_EQ(v.gradOffsetAmount, 1.0f);
  EXPECT_FLOAT_EQ(v.gradOffsetMapOfs, -0.5f);
  EXPECT_FLOAT_EQ(v.sblendMapOpacity, 1.0f);
  EXPECT_FLOAT_EQ(v.sblendAlpha, 1.0f);
  EXPECT_FLOAT_EQ(v.lightcolAlpha, 1.0f);
  for (bool zone : v.lightcolZone) EXPECT_TRUE(zone);
  EXPECT_FLOAT_EQ(v.lightcolReplaceAmount, 1.0f);
  EXPECT_FALSE(v.hiZoneEnable);
  EXPECT_EQ(v.designAmount, 0.0f);
  EXPECT_FLOAT_EQ(v.designAngle, kPi / 2);
  EXPECT_FLOAT_EQ(v.zoneAnti, 0.75f);
  EXPECT_EQ(v.outline, Made(holder).Outline());
  EXPECT_NE(v.outline, nullptr);
}

TEST(TarmatExt, WorkingSetScalesPercentagesAndConvertsTheAngle) {
  ReferenceHolder holder(new TarmatExt);
  TarmatExt& mtl = Made(holder);
  IParamBlock2* pb = mtl.Block();
  mtl.SetSubTexmap(0, new ConstantMap(0.25f));
  mtl.SetSubTexmap(1, new ConstantMap(0.5f));
  pb->SetValue(kGradOffsetEnable, 0, 1);
  pb->SetValue(kGradOffsetAmount, 0, -250);
  pb->SetValue(kGradOffsetMapOfs, 0, 0.125f);
  pb->SetValue(kSblendEnable, 0, 1);
  pb->SetValue(kSblendColor, 0, Color(0.1f, 0.2f, 0.3f));
  pb->SetValue(kSblendMapOpacity, 0, 40.0f);
  pb->SetValue(kSblendMapEnable, 0, 1);
  pb->SetValue(kSblendBlend, 0, 7);
  pb->SetValue(kSblendAlpha, 0, 30.0f);
  pb->SetValue(kLightcolEnable, 0, 1);
  pb->SetValue(kLightcolBlend, 0, 3);
  pb->SetValue(kLightcolAlpha, 0, 60.0f);
  pb->SetValue(kLightcolZone, 0, 0, 2);
  pb->SetValue(kLightcolRelpaceEnable, 0, 1);
  pb->SetValue(kLightcolRelpaceColor, 0, Color(0.4f, 0.5f, 0.6f));
  pb->SetValue(kLightcolReplaceAmount, 0, 20.0f);
  pb->SetValue(kHiZoneEnable, 0, 1);
  pb->SetValue(kHiZoneAmount, 0, 150.0f);
  pb->SetValue(kHiZoneAngle, 0, 90.0f);
  pb->SetValue(kZoneAnti, 0, 200.0f);

  const TarmatExtValues& v = Updated(mtl);
  EXPECT_TRUE(v.gradOffsetEnable);
  EXPECT_FLOAT_EQ(v.gradOffsetAmount, -2.5f);
  EXPECT_FLOAT_EQ(v.gradOffsetMapOfs, 0.125f);
  EXPECT_EQ(MapValue(v.gradOffsetMap), 0.25f);
  EXPECT_TRUE(v.sblendEnable);
  EXPECT_EQ(v.sblendColor, Color(0.1f, 0.2f, 0.3f));
  EXPECT_FLOAT_EQ(v.sblendMapOpacity, 0.4f);
  EXPECT_TRUE(v.sblendMapEnable);
  EXPECT_EQ(MapValue(v.sblendMap), 0.5f);
  EXPECT_EQ(v.sblendBlend, 7);
  EXPECT_FLOAT_EQ(v.sblendAlpha, 0.3f);
  EXPECT_TRUE(v.lightcolEnable);
  EXPECT_EQ(v.lightcolBlend, 3);
  EXPECT_FLOAT_EQ(v.lightcolAlpha, 0.6f);
  EXPECT_TRUE(v.lightcolZone[0] && v.lightcolZone[1] && v.lightcolZone[3]);
  EXPECT_FALSE(v.lightcolZone[2]);
  EXPECT_TRUE(v.lightcolReplaceEnable);
  EXPECT_EQ(v.lightcolReplaceColor, Color(0.4f, 0.5f, 0.6f));
  EXPECT_FLOAT_EQ(v.lightcolReplaceAmount, 0.2f);
  EXPECT_TRUE(v.hiZoneEnable);
  EXPECT_FLOAT_EQ(v.designAmount, 1.5f);
  EXPECT_FLOAT_EQ(v.designAngle, kPi);
  EXPECT_FLOAT_EQ(v.zoneAnti, 1.5f);

  pb->SetValue(kZoneAntiEnable, 0, 0);
  pb->SetValue(kHiZoneAngle, 0, -450.0f);
  EXPECT_EQ(Updated(mtl).zoneAnti, 0.0f);
  EXPECT_FLOAT_EQ(mtl.Values().designAngle, -2.0f * kPi);
}

TEST(TarmatExt, DesignHighlightWithAmountZeroIsOffEvenWhenEnabled) {
  ReferenceHolder holder(new TarmatExt);
  TarmatExt& mtl = Made(holder);
  mtl.Block()->SetValue(kHiZoneEnable, 0, 1);
  mtl.Block()->SetValue(kHiZoneAmount, 0, 0.0f);
  EXPECT_FALSE(Updated(mtl).hiZoneEnable);
  EXPECT_EQ(mtl.Values().designAmount, 0.0f);

  mtl.Block()->SetValue(kHiZoneAmount, 0, 100.0f);
  EXPECT_TRUE(Updated(mtl).hiZoneEnable);
  EXPECT_FLOAT_EQ(mtl.Values().designAmount, 1.0f);

  // Switched off, the amount no longer reaches the shader.
  mtl.Block()->SetValue(kHiZoneEnable, 0, 0);
  EXPECT_EQ(Updated(mtl).designAmount, 0.0f);
}

TEST(TarmatExt, GradationOffsetNeedsAMapAndAnAmount) {
  ReferenceHolder holder(new TarmatExt);
  TarmatExt& mtl = Made(holder);
  mtl.Block()->SetValue(kGradOffsetEnable, 0, 1);
  EXPECT_FALSE(Updated(mtl).gradOffsetEnable);  // no map

  mtl.SetSubTexmap(0, new ConstantMap(0.75f));
  EXPECT_TRUE(Updated(mtl).gradOffsetEnable);

  mtl.Block()->SetValue(kGradOffsetAmount, 0, 0);
  EXPECT_FALSE(Updated(mtl).gradOffsetEnable);

  mtl.Block()->SetValue(kGradOffsetAmount, 0, 100);
  mtl.SetSubTexmap(0, nullptr);
  EXPECT_FALSE(Updated(mtl).gradOffsetEnable);
  EXPECT_EQ(mtl.Values().gradOffsetMap, nullptr);
}

TEST(TarmatExt, ValidityJoinsTheBlockTheMapsAndTheOutline) {
  ReferenceHolder holder(new TarmatExt);
  TarmatExt& mtl = Made(holder);
  IParamBlock2* pb = mtl.Block();
  ASSERT_NE(pb->MakeAnimated(kHiZoneAngle, KeyInterp::kLinear), nullptr);
  pb->SetValue(kHiZoneAngle, 0, 0.0f);
  pb->SetValue(kHiZoneAngle, TIME_TICKSPERSEC, 180.0f);
  Interval valid = FOREVER;
  mtl.Update(TIME_TICKSPERSEC / 2, valid);
  EXPECT_FLOAT_EQ(mtl.Values().designAngle, kPi);  // (90 + 90) degrees
  EXPECT_TRUE(valid.InInterval(TIME_TICKSPERSEC / 2));
  EXPECT_FALSE(valid.InInterval(TIME_TICKSPERSEC));
  EXPECT_FLOAT_EQ(Updated(mtl, TIME_TICKSPERSEC).designAngle, 1.5f * kPi);

  pb->RemoveController(kHiZoneAngle);
  auto* map = new ConstantMap(0.5f);
  map->validity = Interval(-100, 100);
  mtl.SetSubTexmap(1, map);
  valid = FOREVER;
  mtl.Update(0, valid);
  EXPECT_EQ(valid, Interval(-100, 100));
  EXPECT_EQ(mtl.Validity(0), Interval(-100, 100));
}

// --- The design outline and reset ------------------------------------------------------

void ExpectHexagon(const QvPolygonCtrl* outline) {
  ASSERT_NE(outline, nullptr);
  ASSERT_EQ(outline->NumNodes(), 6);
  const float degrees[] = {0.0f, 60.0f, 120.0f, -180.0f, -120.0f, -60.0f};
  for (int i = 0; i < 6; ++i) {
    const ShapeNode node = outline->GetNode(i);
    EXPECT_NEAR(node.angle, degrees[i] * kDegToRad, 1e-5f) << i;
    EXPECT_EQ(node.radius, 1.0f) << i;
    EXPECT_EQ(node.type, kNodeCorner) << i;
    EXPECT_NEAR(outline->RadiusAt(node.angle), 1.0f, 1e-3f) << i;
  }
  EXPECT_EQ(static_cast<int>(outline->RadiusTable().size()), kShapeRadiusTableSize);
  // Between two corners the outline is the hexagon's side, cos 30° from the centre.
  EXPECT_NEAR(outline->RadiusAt(30.0f * kDegToRad), 0.8660f, 0.01f);
}

TEST(TarmatExt, NewMaterialHasAHexagonalOutlineOfRadiusOne) {
  ReferenceHolder holder(new TarmatExt);
  ExpectHexagon(Made(holder).Outline());
}

TEST(TarmatExt, ResetRestoresDefaultsRemovesMapsAndRemakesTheHexagon) {
  ReferenceHolder holder(new TarmatExt);
  TarmatExt& mtl = Made(holder);
  mtl.Block()->SetValue(kSblendAlpha, 0, 10.0f);
  mtl.SetSubTexmap(0, new ConstantMap(0.5f));
  mtl.SetSubTexmap(1, new ConstantMap(0.5f));
  QvPolygonCtrl* outline = mtl.Outline();
  ASSERT_TRUE(outline->Reset(4));
  ASSERT_TRUE(outline->SetNode(0, 0.0f, 2.0f, kNodeCorner, {}, {}));
  outline->Block()->SetValue(kPolyNodeResetNum, 0, 12);

  mtl.Reset();
  EXPECT_EQ(mtl.GetSubTexmap(0), nullptr);
  EXPECT_EQ(mtl.GetSubTexmap(1), nullptr);
  EXPECT_EQ(mtl.Outline(), outline);  // the same control, laid out again
  EXPECT_EQ(outline->Block()->GetInt(kPolyNodeResetNum), 6);
  ExpectHexagon(outline);
  const TarmatExtValues& v = Updated(mtl);
  EXPECT_FLOAT_EQ(v.sblendAlpha, 1.0f);
  EXPECT_EQ(v.sblendMap, nullptr);
}

// --- Slots -----------------------------------------------------------------------------

TEST(TarmatExt, SlotsRefuseObjectsThatDoNotBelongThere) {
  ReferenceHolder holder(new TarmatExt);
  TarmatExt& mtl = Made(holder);
  ReferenceHolder map(new ConstantMap(0.5f));
  ReferenceHolder outline(new QvPolygonCtrl);
  ReferenceHolder otherMtl(new TarmatExt);
  IParamBlock2* block = mtl.Block();
  QvPolygonCtrl* ownOutline = mtl.Outline();

  EXPECT_EQ(mtl.TryReplaceReference(kTarmatExtBlockRef, map.Get()), REF_FAIL);
  EXPECT_EQ(mtl.TryReplaceReference(kTarmatExtBlockRef, outline.GetAs<QvPolygonCtrl>()->Block()),
            REF_FAIL);
  EXPECT_EQ(mtl.TryReplaceReference(kTarmatExtGradOffsetMapRef, outline.Get()), REF_FAIL);
  EXPECT_EQ(mtl.TryReplaceReference(kTarmatExtShadowMapRef, otherMtl.Get()), REF_FAIL);
  EXPECT_EQ(mtl.TryReplaceReference(kTarmatExtOutlineRef, map.Get()), REF_FAIL);
  EXPECT_EQ(mtl.Block(), block);
  EXPECT_EQ(mtl.Outline(), ownOutline);
  EXPECT_EQ(mtl.GetSubTexmap(0), nullptr);

  EXPECT_EQ(mtl.TryReplaceReference(kTarmatExtShadowMapRef, map.Get()), REF_SUCCEED);
  EXPECT_EQ(mtl.GetSubTexmap(1), map.Get());
  EXPECT_EQ(mtl.TryReplaceReference(kTarmatExtOutlineRef, outline.Get()), REF_SUCCEED);
  EXPECT_EQ(Updated(mtl).outline, outline.Get());
}

TEST(TarmatExt, SubMapsAreTheTwoMapSlotsWithTheirNames) {
  ReferenceHolder holder(new TarmatExt);
  TarmatExt& mtl = Made(holder);
  auto* gradOffset = new ConstantMap(0.1f);
  auto* shadow = new ConstantMap(0.2f);
  mtl.SetSubTexmap(0, gradOffset);
  mtl.SetSubTexmap(1, shadow);
  mtl.SetSubTexmap(2, gradOffset);  // no such slot: nothing happens
  EXPECT_EQ(mtl.GetReference(kTarmatExtGradOffsetMapRef), gradOffset);
  EXPECT_EQ(mtl.GetReference(kTarmatExtShadowMapRef), shadow);
  EXPECT_EQ(mtl.GetSubTexmap(2), nullptr);
  // The map parameters of the block read the same slots.
  EXPECT_EQ(mtl.Block()->GetReferenceTarget(kGradOffsetMap), gradOffset);
  EXPECT_EQ(mtl.Block()->GetReferenceTarget(kSblendMap), shadow);
  const char* gradText = FindString(kStrSlotGradOffsetMap);
  const char* shadowText = FindString(kStrSlotShadowMap);
  EXPECT_EQ(mtl.GetSubTexmapSlotName(0), CStr(gradText ? gradText : ""));
  EXPECT_EQ(mtl.GetSubTexmapSlotName(1), CStr(shadowText ? shadowText : ""));
  EXPECT_NE(mtl.GetSubTexmapSlotName(0), mtl.GetSubTexmapSlotName(1));
  EXPECT_EQ(mtl.GetSubTexmapSlotName(2), CStr(""));
}

// --- Cloning, saving and loading -------------------------------------------------------

void Edit(TarmatExt& mtl) {
  mtl.SetName("Advanced");
  mtl.Block()->SetValue(kSblendEnable, 0, 1);
  mtl.Block()->SetValue(kSblendColor, 0, Color(0.25f, 0.5f, 0.75f));
  mtl.Block()->SetValue(kHiZoneEnable, 0, 1);
  mtl.Block()->SetValue(kHiZoneAngle, 0, 45.0f);
  mtl.Block()->SetValue(kLightcolZone, 0, 0, 1);
  mtl.SetSubTexmap(0, new ConstantMap(0.75f));
  mtl.SetSubTexmap(1, new ConstantMap(0.125f));
  mtl.Outline()->SetNode(1, 60.0f * kDegToRad, 1.5f, kNodeCorner, {}, {});
}

void ExpectEdited(TarmatExt& mtl) {
  EXPECT_STREQ(mtl.GetName(), "Advanced");
  const TarmatExtValues& v = Updated(mtl);
  EXPECT_TRUE(v.sblendEnable);
  EXPECT_EQ(v.sblendColor, Color(0.25f, 0.5f, 0.75f));
  EXPECT_TRUE(v.hiZoneEnable);
  EXPECT_FLOAT_EQ(v.designAngle, 135.0f * kDegToRad);
  EXPECT_FALSE(v.lightcolZone[1]);
  EXPECT_EQ(MapValue(v.gradOffsetMap), 0.75f);
  EXPECT_EQ(MapValue(v.sblendMap), 0.125f);
  ASSERT_NE(v.outline, nullptr);
  ASSERT_EQ(v.outline->NumNodes(), 6);
  EXPECT_EQ(v.outline->GetNode(1).radius, 1.5f);
  EXPECT_NEAR(v.outline->RadiusAt(60.0f * kDegToRad), 1.5f, 0.01f);
}

TEST(TarmatExt, CloneHasItsOwnBlockMapsAndOutline) {
  ReferenceHolder original(new TarmatExt);
  TarmatExt& from = Made(original);
  Edit(from);
  ReferenceHolder copy(CloneRefHierarchy(&from));
  TarmatExt& to = Made(copy);
  ExpectEdited(to);
  for (int i = 0; i < kTarmatExtNumRefs; ++i) {
    ASSERT_NE(to.GetReference(i), nullptr) << i;
    EXPECT_NE(to.GetReference(i), from.GetReference(i)) << i;
  }
  EXPECT_EQ(to.Values().outline, to.Outline());
  to.Outline()->SetNode(1, 60.0f * kDegToRad, 0.5f, kNodeCorner, {}, {});
  to.Block()->SetValue(kSblendEnable, 0, 0);
  EXPECT_EQ(from.Outline()->GetNode(1).radius, 1.5f);
  EXPECT_TRUE(Updated(from).sblendEnable);
  // The copy's slots are as strict as the original's.
  EXPECT_EQ(to.TryReplaceReference(kTarmatExtOutlineRef, to.GetSubTexmap(0)), REF_FAIL);
}

GraphLoadResult SaveAndLoad(ReferenceTarget* root) {
  static ConstantMapDesc mapDesc;
  GetClassDirectory().AddClass(GetTarmatExtDesc());
  GetClassDirectory().AddClass(GetQvPolygonCtrlDesc());
  GetClassDirectory().AddClass(GetParamBlock2Desc());
  GetClassDirectory().AddClass(&mapDesc);
  MemorySave out;
  ReferenceTarget* roots[] = {root};
  std::string error;
  EXPECT_TRUE(SaveReferenceGraph(out, roots, &error)) << error;
  return LoadReferenceGraph(out.Bytes());
}

TEST(TarmatExt, SavesAndLoadsEverything) {
  ReferenceHolder original(new TarmatExt);
  Edit(Made(original));
  GraphLoadResult loaded = SaveAndLoad(original.Get());
  ASSERT_TRUE(loaded) << loaded.error;
  EXPECT_TRUE(loaded.graph->warnings.empty());
  auto* mtl = dynamic_cast<TarmatExt*>(loaded.graph->Root(0));
  ASSERT_NE(mtl, nullptr);
  ExpectEdited(*mtl);
  // The slots are strict again once the load is over.
  EXPECT_EQ(mtl->TryReplaceReference(kTarmatExtOutlineRef, mtl->GetSubTexmap(0)), REF_FAIL);
}

// A damaged saved material: the class of TarmatExt, a map where the outline
// belongs and no block.
class DamagedTarmatExt : public ReferenceTarget {
 public:
  Class_ID ClassID() override { return kTarmatExtClassID; }
  SClass_ID SuperClassID() override { return MATERIAL_CLASS_ID; }
  int NumRefs() override { return kTarmatExtNumRefs; }
  ReferenceTarget* GetReference(int i) override {
    return i >= 0 && i < kTarmatExtNumRefs ? refs_[i] : nullptr;
  }

 protected:
  void SetReference(int i, ReferenceTarget* target) override {
    if (i >= 0 && i < kTarmatExtNumRefs) refs_[i] = target;
  }

 private:
  ReferenceTarget* refs_[kTarmatExtNumRefs] = {};
};

TEST(TarmatExt, LoadDropsObjectsOfTheWrongKindAndFillsWhatIsMissing) {
  ReferenceHolder holder(new DamagedTarmatExt);
  holder.Get()->ReplaceReference(kTarmatExtShadowMapRef, new ConstantMap(0.25f));
  holder.Get()->ReplaceReference(kTarmatExtOutlineRef, new ConstantMap(0.5f));
  GraphLoadResult loaded = SaveAndLoad(holder.Get());
  ASSERT_TRUE(loaded) << loaded.error;
  // The repair names the slot; the reader then drops the orphaned map.
  ASSERT_FALSE(loaded.graph->warnings.empty());
  EXPECT_NE(loaded.graph->warnings[0].find("slot 3"), std::string::npos)
      << loaded.graph->warnings[0];
  auto* mtl = dynamic_cast<TarmatExt*>(loaded.graph->Root(0));
  ASSERT_NE(mtl, nullptr);
  ASSERT_NE(mtl->Block(), nullptr);
  EXPECT_EQ(MapValue(mtl->GetSubTexmap(1)), 0.25f);
  ExpectHexagon(mtl->Outline());
  EXPECT_FLOAT_EQ(mtl->Values().zoneAnti, 0.75f);
  EXPECT_EQ(mtl->Values().outline, mtl->Outline());
}

// --- The holder and the descriptors ------------------------------------------------------

TEST(TarmatExtHolder, KeepsOneMaterialAndNothingElse) {
  ReferenceHolder holder(new TarmatExtHolder);
  auto* keeper = holder.GetAs<TarmatExtHolder>();
  ASSERT_NE(keeper, nullptr);
  EXPECT_EQ(keeper->NumSubMtls(), 1);
  EXPECT_EQ(keeper->GetSubMtl(0), nullptr);
  auto* kept = new TarmatExt;
  keeper->SetSubMtl(0, kept);
  EXPECT_EQ(keeper->GetSubMtl(0), kept);
  EXPECT_EQ(keeper->GetReference(0), kept);
  ReferenceHolder stray(new TarmatExtHolder);
  keeper->SetSubMtl(1, stray.GetAs<Mtl>());  // no such slot
  EXPECT_EQ(keeper->GetSubMtl(0), kept);

  ReferenceHolder map(new ConstantMap);
  EXPECT_EQ(keeper->TryReplaceReference(0, map.Get()), REF_FAIL);
  EXPECT_EQ(keeper->GetSubMtl(0), kept);
  EXPECT_TRUE(keeper->Validity(12345).IsInfinite());
  EXPECT_EQ(keeper->GetSubMtlSlotName(0), CStr(""));
  EXPECT_EQ(keeper->NumSubTexmaps(), 0);

  ReferenceHolder copy(CloneRefHierarchy(keeper));
  auto* cloned = copy.GetAs<TarmatExtHolder>();
  ASSERT_NE(cloned, nullptr);
  EXPECT_NE(cloned->GetSubMtl(0), nullptr);
  EXPECT_NE(cloned->GetSubMtl(0), kept);

  keeper->SetSubMtl(0, nullptr);
  EXPECT_EQ(keeper->GetSubMtl(0), nullptr);
}

TEST(TarmatExtClassDesc, DescribesBothHiddenMaterials) {
  ClassDesc2* ext = GetTarmatExtDesc();
  EXPECT_EQ(ext->ClassID(), Class_ID(0x54022257, 0x0814C55D));
  EXPECT_EQ(ext->SuperClassID(), MATERIAL_CLASS_ID);
  EXPECT_STREQ(ext->InternalName(), "Tarnis_MaterialExt");
  EXPECT_STREQ(ext->Category(), "");
  EXPECT_EQ(ext->IsPublic(), 0);
  EXPECT_EQ(ext->GetParamBlockDescByID(0), TarmatExtBlockDesc());
  const char* extName = FindString(kStrMaterialExtClassName);
  EXPECT_STREQ(ext->ClassName(), extName ? extName : "");

  ClassDesc2* holder = GetTarmatExtHolderDesc();
  EXPECT_EQ(holder->ClassID(), Class_ID(0x54022257, 0x0814EC6D));
  EXPECT_EQ(holder->SuperClassID(), MATERIAL_CLASS_ID);
  EXPECT_STREQ(holder->InternalName(), "Tarnis_MaterialExtHolder");
  EXPECT_EQ(holder->IsPublic(), 0);
  EXPECT_EQ(holder->NumParamBlockDescs(), 0);
  const char* holderName = FindString(kStrMaterialExtHolderClassName);
  EXPECT_STREQ(holder->ClassName(), holderName ? holderName : "");

  ReferenceHolder made(static_cast<ReferenceTarget*>(ext->Create(false)));
  ASSERT_NE(made.GetAs<TarmatExt>(), nullptr);
  EXPECT_NE(made.GetAs<TarmatExt>()->Block(), nullptr);
  ReferenceHolder forLoading(static_cast<ReferenceTarget*>(ext->Create(true)));
  EXPECT_EQ(forLoading.GetAs<TarmatExt>()->Block(), nullptr);
}

}  // namespace
}  // namespace tarnis
