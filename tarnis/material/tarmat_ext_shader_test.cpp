// Tests of the toon material's private shader: its block and descriptor,
// the fraction setters, the illumination channels, the anisotropic lobe
// against hand computations (roughness along and across the tangent,
// orientation, the grazing limit, the design outline), light gathering
// under a test context, and the exposure flags through cloning and saving.
#include "tarnis/material/tarmat_ext_shader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "sdk/angles.h"
#include "sdk/class_desc.h"
#include "sdk/ref_graph.h"
#include "sdk/testing/fake_shade_context.h"
#include "tarnis/common/shape_control.h"
#include "tarnis/material/tarmat_ext_shader_class_desc.h"

namespace tarnis {
namespace {

constexpr float kNoLimit = std::numeric_limits<float>::infinity();
// The lobe's height where the half vector is the normal and the gain is 1.
constexpr float kPeak = 2.6525824f * 0.5f;

const Point3 kN(0.0f, 0.0f, 1.0f);
const Point3 kV(0.0f, 0.0f, -1.0f);  // looking straight down at the surface
const Point3 kT(1.0f, 0.0f, 0.0f);

TarmatExtShader& Made(ReferenceHolder& holder) {
  auto* shader = holder.GetAs<TarmatExtShader>();
  EXPECT_NE(shader, nullptr);
  return *shader;
}

// The light direction whose half vector with kV is tilted by `angle` from
// kN towards the unit surface direction `towards`: the mirror of the
// viewer about that half vector.
Point3 LightForHalfVector(float angle, const Point3& towards) {
  const Point3 h = kN * std::cos(angle) + towards * std::sin(angle);
  const Point3 toViewer = -kV;
  return h * (2.0f * DotProd(h, toViewer)) - toViewer;
}

struct LobeInputs {
  float glossiness = 0.0f, anisotropy = 0.0f, orientation = 0.0f;
  float designAmount = 0.0f, designAngle = kPi / 2;
  const QvPolygonCtrl* outline = nullptr;
  Point3 tangent = kT;
};

float LobeAt(float angle, const Point3& towards, const LobeInputs& in) {
  return AnisotropicLobe(LightForHalfVector(angle, towards), kV, kN, in.tangent, in.glossiness,
                         in.anisotropy, in.orientation, -1.0f, in.designAmount, in.designAngle,
                         in.outline);
}

// The exponent -ln(lobe / (gain × peak)) of the lobe at a half vector tilted
// by `angle` towards `towards`, where gain = 1/sqrt(N·L) (N·V = -1).
float Exponent(float angle, const Point3& towards, const LobeInputs& in) {
  const float gain = 1.0f / std::sqrt(std::cos(2.0f * angle));
  return -std::log(LobeAt(angle, towards, in) / (gain * kPeak));
}

// The roughness the lobe shows in direction `towards`: with H tilted by
// `angle`, the exponent is 2 (sin(angle) / a)² / (1 + cos(angle)).
float Roughness(float angle, const Point3& towards, const LobeInputs& in) {
  const float e = Exponent(angle, towards, in);
  return std::sin(angle) * std::sqrt(2.0f / ((1.0f + std::cos(angle)) * e));
}

// --- Block, descriptor and settings -------------------------------------------------------

struct ParamRow {
  ParamID id;
  const char* name;
  ParamType2 type;
  float def, min, max;
  bool animatable;
};

const ParamRow kParamRows[] = {
    {kEsAmbient, "ambient", TYPE_RGBA, 0, -kNoLimit, kNoLimit, true},
    {kEsDiffuse, "diffuse", TYPE_RGBA, 1, -kNoLimit, kNoLimit, true},
    {kEsSpecular, "specular", TYPE_RGBA, 1, -kNoLimit, kNoLimit, true},
    {kEsSelfIllumColor, "selfIllumColor", TYPE_RGBA, 0, -kNoLimit, kNoLimit, true},
    {kEsDiffuseLevel, "diffuseLevel", TYPE_PCNT_FRAC, 100, 0, 400, true},
    {kEsSpecularLevel, "specularLevel", TYPE_PCNT_FRAC, 0, 0, 999, true},
    {kEsSelfIllumAmount, "selfIllumAmount", TYPE_PCNT_FRAC, 0, 0, 100, true},
    {kEsGlossiness, "glossiness", TYPE_PCNT_FRAC, 0, 0, 100, true},
    {kEsAnisotropy, "anisotropy", TYPE_PCNT_FRAC, 0, 0, 100, true},
    {kEsOrientation, "orientation", TYPE_PCNT_FRAC, 0, -99999, 99999, true},
    {kEsUnused, "unused", TYPE_INT, 0, 0, 16, false},
    {kEsAdTextureLock, "adTextureLock", TYPE_BOOL, 1, -kNoLimit, kNoLimit, false},
    {kEsAdLock, "adLock", TYPE_BOOL, 1, -kNoLimit, kNoLimit, false},
    {kEsDsLock, "dsLock", TYPE_BOOL, 0, -kNoLimit, kNoLimit, false},
    {kEsUseSelfIllumColor, "useSelfIllumColor", TYPE_BOOL, 1, -kNoLimit, kNoLimit, false},
};

TEST(TarmatExtShaderBlock, DeclaresTheFifteenParameters) {
  const ParamBlockDesc2& desc = *ExtShaderBlockDesc();
  EXPECT_EQ(desc.ID(), 0);
  EXPECT_EQ(desc.InternalName(), "shaderParameters");
  EXPECT_EQ(desc.OwnerRef(), kExtShaderBlockRef);
  ASSERT_EQ(desc.Count(), 15);
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
      EXPECT_EQ(def.def.Get<Color>(), Color(row.def, row.def, row.def)) << row.name;
    }
  }
}

TEST(TarmatExtShaderClassDesc, DescribesAHiddenShader) {
  ClassDesc2* cd = GetTarmatExtShaderDesc();
  EXPECT_EQ(cd->ClassID(), Class_ID(0x54022257, 0x0814EB92));
  EXPECT_EQ(cd->SuperClassID(), SHADER_CLASS_ID);
  EXPECT_STREQ(cd->InternalName(), "TarmatExtShader");
  EXPECT_EQ(cd->IsPublic(), 0);
  EXPECT_EQ(cd->GetParamBlockDescByID(0), ExtShaderBlockDesc());
  const char* name = FindString(kStrExtShaderClassName);
  EXPECT_STREQ(cd->ClassName(), name ? name : "");
  ReferenceHolder made(static_cast<ReferenceTarget*>(cd->Create(false)));
  ASSERT_NE(made.GetAs<TarmatExtShader>(), nullptr);
  EXPECT_NE(made.GetAs<TarmatExtShader>()->Block(), nullptr);
}

TEST(TarmatExtShader, SettersTakeFractionsAndTheBlockKeepsPercentages) {
  ReferenceHolder holder(new TarmatExtShader);
  TarmatExtShader& shader = Made(holder);
  shader.SetGlossiness(0.1f, 0);
  shader.SetSpecularLevel(2.5f, 0);
  shader.SetDiffuseLevel(3.0f, 0);
  shader.SetSelfIllum(0.4f, 0);
  shader.SetAnisotropy(0.5f, 0);
  // The toon material's hiOrient 9000 is 90 after its ×0.01, pushed as 90 / 100.
  shader.SetOrientation(9000 * 0.01f / 100.0f, 0);
  shader.SetDiffuseClr(Color(0.5f, 0.25f, 1.0f), 0);
  IParamBlock2* pb = shader.Block();
  EXPECT_FLOAT_EQ(pb->GetFloat(kEsGlossiness), 10.0f);
  EXPECT_FLOAT_EQ(pb->GetFloat(kEsSpecularLevel), 250.0f);
  EXPECT_FLOAT_EQ(pb->GetFloat(kEsDiffuseLevel), 300.0f);
  EXPECT_FLOAT_EQ(pb->GetFloat(kEsSelfIllumAmount), 40.0f);
  EXPECT_FLOAT_EQ(pb->GetFloat(kEsAnisotropy), 50.0f);
  EXPECT_FLOAT_EQ(pb->GetFloat(kEsOrientation), 90.0f);

  Interval valid = FOREVER;
  shader.Update(0, valid);
  EXPECT_FLOAT_EQ(shader.GetGlossiness(0, false), 0.1f);
  EXPECT_FLOAT_EQ(shader.GetSpecularLevel(0, false), 2.5f);
  EXPECT_FLOAT_EQ(shader.GetDiffuseLevel(), 3.0f);
  EXPECT_FLOAT_EQ(shader.GetSelfIllum(0, false), 0.4f);
  EXPECT_FLOAT_EQ(shader.GetAnisotropy(), 0.5f);
  EXPECT_FLOAT_EQ(shader.GetOrientation(), 0.9f);
  EXPECT_EQ(shader.GetDiffuseClr(0, false), Color(0.5f, 0.25f, 1.0f));

  // Out-of-range fractions are clamped by the block.
  shader.SetGlossiness(1.5f, 0);
  EXPECT_FLOAT_EQ(pb->GetFloat(kEsGlossiness), 100.0f);
}

TEST(TarmatExtShader, ChannelsFollowTheLocks) {
  ReferenceHolder holder(new TarmatExtShader);
  TarmatExtShader& shader = Made(holder);
  const Color ambient(0.1f, 0.2f, 0.3f), diffuse(0.4f, 0.5f, 0.6f), specular(0.7f, 0.8f, 0.9f);
  const Color selfIllum(0.3f, 0.0f, 0.1f);
  shader.SetAmbientClr(ambient, 0);
  shader.SetDiffuseClr(diffuse, 0);
  shader.SetSpecularClr(specular, 0);
  shader.SetSelfIllumClr(selfIllum, 0);
  shader.SetSelfIllum(0.25f, 0);
  shader.SetDiffuseLevel(0.75f, 0);
  shader.SetSpecularLevel(1.5f, 0);
  shader.SetGlossiness(0.6f, 0);
  shader.SetAnisotropy(0.2f, 0);
  shader.SetOrientation(0.9f, 0);
  FakeShadeContext sc;
  IllumParams ip;
  Interval valid = FOREVER;
  shader.Update(0, valid);
  shader.GetIllumParams(sc, ip);
  // Defaults: ambient follows diffuse, specular keeps its own colour, the
  // self-illumination is the colour.
  EXPECT_EQ(ip.channels[kChAmbient], diffuse);
  EXPECT_EQ(ip.channels[kChDiffuse], diffuse);
  EXPECT_EQ(ip.channels[kChSpecular], specular);
  EXPECT_FLOAT_EQ(ip.channels[kChDiffuseLevel].g, 0.75f);
  EXPECT_FLOAT_EQ(ip.channels[kChSpecularLevel].b, 1.5f);
  EXPECT_FLOAT_EQ(ip.channels[kChGlossiness].r, 0.6f);
  EXPECT_FLOAT_EQ(ip.channels[kChAnisotropy].r, 0.2f);
  EXPECT_FLOAT_EQ(ip.channels[kChOrientation].r, 0.5f);  // 90 degrees, half a turn of π
  EXPECT_EQ(ip.channels[kChSelfIllum], selfIllum);

  shader.Block()->SetValue(kEsAdLock, 0, 0);
  shader.Block()->SetValue(kEsDsLock, 0, 1);
  shader.Block()->SetValue(kEsUseSelfIllumColor, 0, 0);
  shader.Update(0, valid);
  shader.GetIllumParams(sc, ip);
  EXPECT_EQ(ip.channels[kChAmbient], ambient);
  EXPECT_EQ(ip.channels[kChSpecular], diffuse);
  EXPECT_EQ(ip.channels[kChSelfIllum], Color(0.25f, 0.25f, 0.25f));
}

// --- The lobe ---------------------------------------------------------------------------

TEST(AnisotropicLobe, PeaksAtTheNormalWhateverTheRoughness) {
  for (float glossiness : {0.0f, 0.5f, 1.0f}) {
    LobeInputs in;
    in.glossiness = glossiness;
    in.anisotropy = 0.7f;
    EXPECT_FLOAT_EQ(LobeAt(0.0f, kT, in), kPeak) << glossiness;
  }
}

TEST(AnisotropicLobe, RoughnessAlongAndAcrossTheTangent) {
  const Point3 along = kT;
  const Point3 across(0.0f, 1.0f, 0.0f);
  struct Case {
    float glossiness, anisotropy;
    float alongRoughness, acrossRoughness;
    float probe;  // tilt of the half vector, near the lobe's width
  };
  const Case cases[] = {
      {1.0f, 0.0f, 0.015f, 0.015f, 0.01f},  // the sharpest lobe
      {0.0f, 0.0f, 0.5f, 0.5f, 0.3f},       // the broadest
      {0.6f, 0.0f, 0.209f, 0.209f, 0.15f},  // 0.485 × 0.4 + 0.015
      {0.0f, 1.0f, 0.5f, 0.015f, 0.01f},    // a thin streak across the tangent
      {0.6f, 1.0f, 0.209f, 0.015f, 0.01f},
      {0.0f, 0.5f, 0.5f, 0.2575f, 0.2f},  // 0.5 × 0.485 + 0.015 across
  };
  for (const Case& c : cases) {
    LobeInputs in;
    in.glossiness = c.glossiness;
    in.anisotropy = c.anisotropy;
    const float probe = c.probe;
    EXPECT_NEAR(Roughness(probe, along, in), c.alongRoughness, c.alongRoughness * 1e-3f)
        << c.glossiness << " " << c.anisotropy;
    EXPECT_NEAR(Roughness(probe, across, in), c.acrossRoughness, c.acrossRoughness * 1e-3f)
        << c.glossiness << " " << c.anisotropy;
  }
}

TEST(AnisotropicLobe, IsZeroWhenTheHalfVectorFacesAway) {
  // Light straight from below: L - V vanishes.
  EXPECT_EQ(AnisotropicLobe(-kN, kV, kN, kT, 0, 0, 0, -1, 0, 0, nullptr), 0.0f);
  // Viewed from below the surface, lit from below.
  const Point3 below = Normalize(Point3(0.3f, 0.0f, -1.0f));
  EXPECT_EQ(AnisotropicLobe(below, -kV, kN, kT, 0, 0, 0, -1, 0, 0, nullptr), 0.0f);
}

TEST(AnisotropicLobe, GrazingAnglesGainAtMostThree) {
  // The gain is 1 / sqrt(diffuse coefficient × (-N·V)), at most 3.
  const Point3 L = kN;
  EXPECT_FLOAT_EQ(AnisotropicLobe(L, kV, kN, kT, 0, 0, 0, 0.25f, 0, 0, nullptr), 2.0f * kPeak);
  EXPECT_FLOAT_EQ(AnisotropicLobe(L, kV, kN, kT, 0, 0, 0, 0.01f, 0, 0, nullptr), 3.0f * kPeak);
  EXPECT_FLOAT_EQ(AnisotropicLobe(L, kV, kN, kT, 0, 0, 0, 0.0f, 0, 0, nullptr), 3.0f * kPeak);
  // A grazing view mirrored into a grazing light: the half vector is the
  // normal, and N·L = -N·V = 1e-4.
  const float eps = 1e-4f;
  const Point3 view(-std::sqrt(1.0f - eps * eps), 0.0f, -eps);
  const Point3 light(-std::sqrt(1.0f - eps * eps), 0.0f, eps);
  for (float glossiness : {0.0f, 1.0f}) {
    EXPECT_FLOAT_EQ(AnisotropicLobe(light, view, kN, kT, glossiness, 0, 0, -1, 0, 0, nullptr),
                    3.0f * kPeak);
  }
}

TEST(AnisotropicLobe, OrientationTurnsTheTangentAboutTheNormal) {
  const Point3 x = kT, y(0.0f, 1.0f, 0.0f);
  LobeInputs streak;
  streak.anisotropy = 1.0f;  // rough along the tangent, sharp across it
  ReferenceHolder holder(new TarmatExtShader);
  TarmatExtShader& shader = Made(holder);
  shader.SetAnisotropy(1.0f, 0);
  shader.SetOrientation(9000 * 0.01f / 100.0f, 0);  // hiOrient 9000
  FakeShadeContext sc;
  IllumParams ip;
  Interval valid = FOREVER;
  shader.Update(0, valid);
  shader.GetIllumParams(sc, ip);
  LobeInputs turned = streak;
  turned.orientation = ip.channels[kChOrientation].r;

  const float probe = 0.2f;
  // Turned by 90°, the lobe along y is what it was along x, and the other way round.
  EXPECT_NEAR(LobeAt(probe, y, turned), LobeAt(probe, x, streak), 1e-5f);
  EXPECT_NEAR(LobeAt(probe, x, turned), LobeAt(probe, y, streak), 1e-5f);
  EXPECT_GT(LobeAt(probe, y, turned), 100.0f * LobeAt(probe, y, streak));

  // A half turn (orientation 1, channel 1.8 after the scaling) brings it back.
  LobeInputs halfTurn = streak;
  halfTurn.orientation = 1.0f;
  EXPECT_NEAR(LobeAt(probe, x, halfTurn), LobeAt(probe, x, streak), 1e-5f);
}

TEST(AnisotropicLobe, TangentIsProjectedOntoTheSurfaceAndNormalised) {
  LobeInputs unit;
  unit.anisotropy = 1.0f;
  const float probe = 0.2f;
  const Point3 x = kT;
  const float expected = LobeAt(probe, x, unit);
  LobeInputs scaled = unit;
  scaled.tangent = Point3(7.0f, 0.0f, 3.0f);  // long, and leaning out of the surface
  EXPECT_NEAR(LobeAt(probe, x, scaled), expected, 1e-6f);

  // Without a usable tangent the lobe still has a finite, repeatable value.
  for (const Point3& t : {Point3(), kN * 2.0f}) {
    LobeInputs none = unit;
    none.tangent = t;
    const float a = LobeAt(probe, x, none);
    EXPECT_TRUE(std::isfinite(a));
    EXPECT_EQ(a, LobeAt(probe, x, none));
    EXPECT_GE(a, 0.0f);
  }
}

// --- The design outline -------------------------------------------------------------------

class DesignLobe : public ::testing::Test {
 protected:
  // n corner nodes evenly round the circle from angle 0, all of radius r.
  QvPolygonCtrl* Outline(int n, float r) {
    auto* outline = new QvPolygonCtrl;
    holders_.emplace_back(std::make_unique<ReferenceHolder>(outline));
    EXPECT_TRUE(outline->Reset(n));
    for (int i = 0; i < n; ++i) {
      const ShapeNode node = outline->GetNode(i);
      EXPECT_TRUE(outline->SetNode(i, node.angle, r, kNodeCorner, {}, {}));
    }
    return outline;
  }

  std::vector<std::unique_ptr<ReferenceHolder>> holders_;
};

TEST_F(DesignLobe, OutlineOfRadiusOneLeavesTheLobeUnchanged) {
  auto* circle = new QvPolygonCtrl;  // no nodes: radius 1 everywhere
  ReferenceHolder holder(circle);
  LobeInputs plain;
  plain.glossiness = 0.5f;
  plain.anisotropy = 0.5f;
  LobeInputs designed = plain;
  designed.designAmount = 1.0f;
  designed.outline = circle;
  for (const Point3& towards : {Point3(1, 0, 0), Point3(0, 1, 0), Normalize(Point3(-1, 1, 0))}) {
    EXPECT_EQ(LobeAt(0.1f, towards, designed), LobeAt(0.1f, towards, plain));
  }
}

TEST_F(DesignLobe, RadiusTwoWithAmountOneHalvesTheExponent) {
  LobeInputs plain;
  plain.glossiness = 0.5f;
  LobeInputs designed = plain;
  designed.designAmount = 1.0f;
  designed.outline = Outline(32, 2.0f);
  for (const Point3& towards : {Point3(1, 0, 0), Point3(0, -1, 0), Normalize(Point3(-1, 1, 0))}) {
    EXPECT_NEAR(Exponent(0.1f, towards, designed) / Exponent(0.1f, towards, plain), 0.5f, 0.005f);
  }
  // Half the amount: 1 - (1 - 1/2) / 2.
  designed.designAmount = 0.5f;
  EXPECT_NEAR(Exponent(0.1f, kT, designed) / Exponent(0.1f, kT, plain), 0.75f, 0.005f);
}

TEST_F(DesignLobe, OnlyTheDirectionOfTheWidenedNodeWidens) {
  QvPolygonCtrl* outline = Outline(6, 1.0f);
  ASSERT_TRUE(outline->SetNode(0, 0.0f, 2.0f, kNodeCorner, {}, {}));
  LobeInputs plain;
  plain.glossiness = 0.5f;
  LobeInputs designed = plain;
  designed.designAmount = 1.0f;
  designed.outline = outline;
  const Point3 ahead = kT, behind = -kT;
  // At the default design angle (hiZoneAngle 0, 90° after its offset), a
  // highlight towards the tangent reads the outline at angle 0.
  EXPECT_NEAR(Exponent(0.1f, ahead, designed) / Exponent(0.1f, ahead, plain), 0.5f, 0.01f);
  EXPECT_NEAR(Exponent(0.1f, behind, designed) / Exponent(0.1f, behind, plain), 1.0f, 0.01f);
  // hiZoneAngle 180 turns the outline round.
  designed.designAngle = (180.0f + 90.0f) * kDegToRad;
  EXPECT_NEAR(Exponent(0.1f, behind, designed) / Exponent(0.1f, behind, plain), 0.5f, 0.01f);
  EXPECT_NEAR(Exponent(0.1f, ahead, designed) / Exponent(0.1f, ahead, plain), 1.0f, 0.01f);
}

TEST_F(DesignLobe, ALargeAmountFlattensTheLobeButNeverInvertsIt) {
  LobeInputs designed;
  designed.glossiness = 1.0f;  // exponent in the hundreds away from the centre
  designed.designAmount = 3.0f;
  designed.outline = Outline(32, 2.0f);
  for (float angle : {0.1f, 0.3f, 0.6f}) {
    const float gain = 1.0f / std::sqrt(std::cos(2.0f * angle));
    const float lobe = LobeAt(angle, kT, designed);
    EXPECT_TRUE(std::isfinite(lobe));
    EXPECT_NEAR(lobe, gain * kPeak, 1e-4f) << angle;
  }
  // Radius below one narrows: 1 - (1 - 1/0.5) doubles the exponent.
  LobeInputs plain;
  plain.glossiness = 0.5f;
  LobeInputs narrow = plain;
  narrow.designAmount = 1.0f;
  narrow.outline = Outline(32, 0.5f);
  EXPECT_NEAR(Exponent(0.1f, kT, narrow) / Exponent(0.1f, kT, plain), 2.0f, 0.02f);
}

// --- Gathering light ----------------------------------------------------------------------

class GatherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    holder_.Set(new TarmatExtShader);
    shader = holder_.GetAs<TarmatExtShader>();
    sc.SetAllNormals(kN);
    sc.view = kV;
    sc.SetDPdUVW(1, kT * 3.0f, Point3(0.0f, 2.0f, 0.0f));
    sc.curve = -0.5f;
  }

  ToonLighting Gather() {
    Interval valid = FOREVER;
    shader->Update(0, valid);
    ip = IllumParams();
    ip.N = sc.Normal();
    ip.V = sc.V();
    ip.ambIllumOut = Color(0.1f, 0.1f, 0.1f);  // the context's ambient light
    ip.finalAttenuation = attenuation;
    shader->GetIllumParams(sc, ip);
    return shader->Gather(sc, ip);
  }

  ReferenceHolder holder_;
  TarmatExtShader* shader = nullptr;
  FakeShadeContext sc;
  IllumParams ip;
  float attenuation = 1.0f;
};

TEST_F(GatherTest, SumsDiffuseAmbientAndTheAnisotropicHighlight) {
  TestDirectionalLight overhead(kN, Color(0.6f, 0.6f, 0.6f));
  TestDirectionalLight slanted(Point3(std::sqrt(3.0f) / 2, 0.0f, 0.5f), Color(1, 1, 1));  // 60°
  TestDirectionalLight ambient(kN, Color(0.2f, 0.2f, 0.2f));
  ambient.ambientOnly = true;
  TestDirectionalLight behind(-kN, Color(5, 5, 5));
  TestDirectionalLight unreachable(kN, Color(5, 5, 5));
  unreachable.reaches = false;
  for (LightDesc* light : {static_cast<LightDesc*>(&overhead), static_cast<LightDesc*>(&slanted),
                           static_cast<LightDesc*>(&ambient), static_cast<LightDesc*>(&behind),
                           static_cast<LightDesc*>(&unreachable)}) {
    sc.AddLight(light);
  }
  shader->SetSpecularLevel(1.0f, 0);
  shader->SetAnisotropy(1.0f, 0);  // sharp across the tangent: a wrong tangent loses the highlight
  shader->Block()->SetValue(kEsAdLock, 0, 0);
  shader->SetAmbientClr(Color(1, 1, 1), 0);
  shader->SetDiffuseClr(Color(0.5f, 0.5f, 0.5f), 0);
  shader->SetSpecularClr(Color(0.5f, 0.5f, 0.5f), 0);

  const ToonLighting lit = Gather();
  // Ambient 0.1 + 0.2; diffuse (0.6 + 0.5) × 0.5.
  EXPECT_FLOAT_EQ(lit.gradation, 0.3f + 0.55f);
  EXPECT_FLOAT_EQ(ip.diffIllumIntens, 1.1f);
  // (0.6 + 1) lights × |curvature| 0.5; the ambient-only light does not count.
  EXPECT_FLOAT_EQ(lit.aaScale, 0.8f);
  // Overhead: half vector = normal, gain 1. Slanted: half vector 30° off
  // along the tangent (roughness 0.5 there), gain 1/sqrt(0.5), weighted by
  // N·L = 0.5. Both × specular colour 0.5.
  const float overheadLobe = kPeak;
  const float slantedLobe =
      std::exp(-2.0f * std::pow(0.5f / 0.5f, 2.0f) / (1.0f + std::sqrt(3.0f) / 2)) *
      std::sqrt(2.0f) * kPeak;
  EXPECT_NEAR(lit.highlight, (0.6f * overheadLobe + 0.5f * slantedLobe) * 0.5f, 1e-5f);

  attenuation = 0.5f;
  EXPECT_FLOAT_EQ(Gather().gradation, 0.425f);
}

TEST_F(GatherTest, HighlightNeedsALevelAndASpecularLight) {
  TestDirectionalLight light(kN, Color(1, 1, 1));
  sc.AddLight(&light);
  EXPECT_EQ(Gather().highlight, 0.0f);  // specular level 0 by default
  shader->SetSpecularLevel(0.5f, 0);
  EXPECT_FLOAT_EQ(Gather().highlight, 0.5f * kPeak);
  light.affectSpecular = false;
  EXPECT_EQ(Gather().highlight, 0.0f);
  EXPECT_FLOAT_EQ(Gather().gradation, 0.1f + 1.0f);
  light.affectDiffuse = false;
  const ToonLighting dark = Gather();
  EXPECT_FLOAT_EQ(dark.gradation, 0.1f);
  EXPECT_EQ(dark.aaScale, 0.0f);
}

TEST_F(GatherTest, AnIsotropicHighlightIsTheSameWhateverTheTangent) {
  TestDirectionalLight slanted(Point3(0.6f, 0.3f, 0.74f), Color(1, 1, 1));
  sc.AddLight(&slanted);
  shader->SetSpecularLevel(1.0f, 0);
  shader->SetGlossiness(0.3f, 0);
  const float withTangent = Gather().highlight;
  ASSERT_GT(withTangent, 0.0f);
  sc.SetDPdUVW(1, Point3(0.0f, 5.0f, 1.0f), Point3(1.0f, 0.0f, 0.0f));
  EXPECT_NEAR(Gather().highlight, withTangent, 1e-6f * withTangent);
  sc.SetDPdUVW(1, Point3(), Point3());
  EXPECT_NEAR(Gather().highlight, withTangent, 1e-6f * withTangent);
  // With anisotropy the tangent counts again.
  shader->SetAnisotropy(0.8f, 0);
  const float none = Gather().highlight;
  sc.SetDPdUVW(1, Point3(0.0f, 1.0f, 0.0f), Point3(1.0f, 0.0f, 0.0f));
  EXPECT_GT(std::abs(Gather().highlight - none), 1e-3f * none);
}

TEST_F(GatherTest, AmbientOnlyLightsAddToTheGradation) {
  EXPECT_FLOAT_EQ(Gather().gradation, 0.1f);
  TestDirectionalLight ambient(Point3(0, 1, 0), Color(0.3f, 0.6f, 0.9f));
  ambient.ambientOnly = true;
  sc.AddLight(&ambient);
  const ToonLighting lit = Gather();
  EXPECT_FLOAT_EQ(lit.gradation, 0.1f + 0.6f);
  EXPECT_EQ(lit.aaScale, 0.0f);
  EXPECT_EQ(lit.highlight, 0.0f);
}

// --- Exposure flags, cloning and saving ---------------------------------------------------------

TEST(TarmatExtShader, ExposureFlagsSurviveCloningAndSaving) {
  ReferenceHolder holder(new TarmatExtShader);
  TarmatExtShader& shader = Made(holder);
  EXPECT_FALSE(shader.GetNoExposure() || shader.GetInvertSelfIllum() || shader.GetInvertReflect() ||
               shader.GetInvertRefract());
  shader.SetNoExposure(true);
  shader.SetInvertReflect(true);
  shader.SetGlossiness(0.3f, 0);

  auto expectEdited = [](TarmatExtShader& s) {
    EXPECT_TRUE(s.GetNoExposure());
    EXPECT_FALSE(s.GetInvertSelfIllum());
    EXPECT_TRUE(s.GetInvertReflect());
    EXPECT_FALSE(s.GetInvertRefract());
    Interval valid = FOREVER;
    s.Update(0, valid);
    EXPECT_FLOAT_EQ(s.GetGlossiness(0, false), 0.3f);
  };

  ReferenceHolder copy(CloneRefHierarchy(&shader));
  TarmatExtShader& cloned = Made(copy);
  expectEdited(cloned);
  EXPECT_NE(cloned.Block(), shader.Block());
  cloned.SetGlossiness(0.9f, 0);
  EXPECT_FLOAT_EQ(shader.Block()->GetFloat(kEsGlossiness), 30.0f);

  GetClassDirectory().AddClass(GetTarmatExtShaderDesc());
  GetClassDirectory().AddClass(GetParamBlock2Desc());
  MemorySave out;
  ReferenceTarget* roots[] = {&shader};
  std::string error;
  ASSERT_TRUE(SaveReferenceGraph(out, roots, &error)) << error;
  GraphLoadResult loaded = LoadReferenceGraph(out.Bytes());
  ASSERT_TRUE(loaded) << loaded.error;
  EXPECT_TRUE(loaded.graph->warnings.empty());
  auto* back = dynamic_cast<TarmatExtShader*>(loaded.graph->Root(0));
  ASSERT_NE(back, nullptr);
  expectEdited(*back);
  // The block slot takes nothing but a block of its own kind.
  EXPECT_EQ(back->TryReplaceReference(kExtShaderBlockRef, &shader), REF_FAIL);
}

}  // namespace
}  // namespace tarnis
