// Tests of the standard material and the Blinn shader: the cosine law, the
// highlight's place and strength, opacity, maps and their amounts, bump with
// the caller's normal kept, self-illumination, reflection, requirements,
// change notification, cloning, and the class registration every scene file
// relies on.
#include "host/std_material.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "host/cubic_map.h"
#include "host/maps.h"
#include "host/material_classes.h"
#include "sdk/angles.h"
#include "sdk/effect.h"
#include "sdk/ref_graph.h"
#include "sdk/render.h"
#include "sdk/testing/fake_shade_context.h"
#include "sdk/testing/test_objects.h"

namespace host {
namespace {

void UpdateAt(MtlBase* m, TimeValue t = 0) {
  Interval valid = FOREVER;
  m->Update(t, valid);
}

Checker* Solid(const Color& c) {
  auto* m = new Checker();
  m->ParamBlock()->SetValue(kCkColor1, 0, c);
  m->ParamBlock()->SetValue(kCkColor2, 0, c);
  UpdateAt(m);
  return m;
}

void ExpectColorNear(const Color& a, const Color& b, float tol, const std::string& what) {
  EXPECT_NEAR(a.r, b.r, tol) << what;
  EXPECT_NEAR(a.g, b.g, tol) << what;
  EXPECT_NEAR(a.b, b.b, tol) << what;
}

class StdMtlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pb = mtl->ParamBlock();
    pb->SetValue(kSmDiffuse, 0, kDiffuse);
    sc.ambientLight = kAmbientLight;
    sc.SetAllNormals({0, 0, 1});
    sc.view = {0, 0, -1};
    sc.AddLight(&light);
  }
  // Shades with the light arriving at `degrees` from the normal (in the xz plane).
  Color ShadeWithLightAt(float degrees) {
    light.toLight = {std::sin(degrees * kDegToRad), 0.0f, std::cos(degrees * kDegToRad)};
    return Shade();
  }
  Color Shade() {
    UpdateAt(mtl);
    sc.ResetOutput();
    mtl->Shade(sc);
    return sc.out.c;
  }

  const Color kDiffuse{0.8f, 0.6f, 0.4f};
  const Color kAmbientLight{0.1f, 0.1f, 0.1f};
  StdMtl* mtl = new StdMtl();
  ReferenceHolder holder{mtl};
  IParamBlock2* pb = nullptr;
  FakeShadeContext sc;
  TestDirectionalLight light;
};

TEST_F(StdMtlTest, LambertShadingFollowsTheCosineLaw) {
  ASSERT_EQ(pb->GetFloat(kSmSpecularLevel), 0.0f) << "the default has no highlight";
  for (float angle : {0.0f, 30.0f, 45.0f, 60.0f, 85.0f, 90.0f, 120.0f, 180.0f}) {
    const float cosine = std::max(std::cos(angle * kDegToRad), 0.0f);
    // Ambient follows diffuse (adLock is on by default).
    const Color expected = kDiffuse * cosine + kDiffuse * kAmbientLight;
    ExpectColorNear(ShadeWithLightAt(angle), expected, 1e-5f, std::to_string(angle));
  }
  EXPECT_EQ(sc.out.t, Color(0, 0, 0)) << "opaque";
}

TEST_F(StdMtlTest, UnlockedAmbientUsesItsOwnColourAndLightColoursFilter) {
  pb->SetValue(kSmAdLock, 0, false);
  pb->SetValue(kSmAmbient, 0, Color(0, 0, 1));
  light.color = {1.0f, 0.5f, 0.0f};
  const Color c = ShadeWithLightAt(60.0f);
  ExpectColorNear(c, kDiffuse * light.color * 0.5f + Color(0, 0, 0.1f), 1e-5f, "");
}

TEST_F(StdMtlTest, HighlightPeaksInTheMirrorDirectionAndGrowsWithLevel) {
  pb->SetValue(kSmSpecularLevel, 0, 100.0f);
  pb->SetValue(kSmGlossiness, 0, 30.0f);
  pb->SetValue(kSmSpecular, 0, Color(1, 1, 1));
  light.toLight = Normalize(Point3(1, 0, 1));  // 45 degrees
  auto specularAt = [&](float viewDegrees) {
    // The direction to the viewer at viewDegrees from the normal, on the
    // other side of it than the light at -45 (mirror) or elsewhere.
    const Point3 toViewer(-std::sin(viewDegrees * kDegToRad), 0.0f,
                          std::cos(viewDegrees * kDegToRad));
    sc.view = -toViewer;
    return (Shade() - (kDiffuse * (1.0f / std::numbers::sqrt2_v<float>)+kDiffuse * 0.1f)).r;
  };
  const float mirror = specularAt(45.0f);
  EXPECT_NEAR(mirror, 1.0f, 1e-4f) << "N.H = 1 at the mirror direction: level x specular";
  for (float off : {-30.0f, -10.0f, -2.0f, 2.0f, 10.0f, 30.0f}) {
    EXPECT_LT(specularAt(45.0f + off), mirror) << off;
  }
  EXPECT_GT(specularAt(40.0f), specularAt(30.0f)) << "falls off away from the mirror";
  const float full = specularAt(40.0f);
  pb->SetValue(kSmSpecularLevel, 0, 50.0f);
  EXPECT_NEAR(specularAt(40.0f), 0.5f * full, 1e-5f) << "linear in the level";
}

TEST_F(StdMtlTest, GlossinessNarrowsTheHighlight) {
  pb->SetValue(kSmSpecularLevel, 0, 100.0f);
  light.toLight = {0, 0, 1};
  const Point3 toViewer = Normalize(Point3(std::sin(20 * kDegToRad), 0, std::cos(20 * kDegToRad)));
  sc.view = -toViewer;
  const float dotNH = Normalize(toViewer + light.toLight).z;
  const float lambert = (kDiffuse * 1.1f).r;
  for (float gloss : {0.0f, 10.0f, 50.0f}) {
    pb->SetValue(kSmGlossiness, 0, gloss);
    const float expected = 0.9f * std::pow(dotNH, std::exp2(2.0f + 10.0f * gloss * 0.01f));
    EXPECT_NEAR(Shade().r - lambert, expected, 1e-5f) << gloss;
  }
}

TEST_F(StdMtlTest, OpacityGivesTransparencyAndScalesTheOpaquePart) {
  pb->SetValue(kSmOpacity, 0, 40.0f);
  const Color c = ShadeWithLightAt(0.0f);
  ExpectColorNear(sc.out.t, Color(0.6f, 0.6f, 0.6f), 1e-6f, "transparency");
  ExpectColorNear(c, (kDiffuse + kDiffuse * kAmbientLight) * 0.4f, 1e-5f, "premultiplied colour");
  sc.mode = SCMODE_SHADOW;
  sc.ResetOutput();
  mtl->Shade(sc);
  ExpectColorNear(sc.out.t, Color(0.6f, 0.6f, 0.6f), 1e-6f, "shadow mode gives transparency");
}

TEST_F(StdMtlTest, MapsMixInByTheirAmountsAndSwitches) {
  pb->SetValue(kSmDiffuseMap, 0, Solid({0, 0, 1}));
  light.toLight = {0, 0, 1};
  sc.ambientLight = Color();
  struct Case {
    float amount;
    bool on;
    Color diffuse;
  };
  const Case cases[] = {
      {100, true, {0, 0, 1}},
      {50, true, {0.4f, 0.3f, 0.7f}},
      {100, false, {0.8f, 0.6f, 0.4f}},
  };
  for (const Case& c : cases) {
    pb->SetValue(kSmDiffuseMapAmount, 0, c.amount);
    pb->SetValue(kSmDiffuseMapOn, 0, c.on);
    ExpectColorNear(Shade(), c.diffuse, 1e-5f, std::to_string(c.amount));
  }
  sc.doMaps = false;
  pb->SetValue(kSmDiffuseMapOn, 0, true);
  ExpectColorNear(Shade(), kDiffuse, 1e-5f, "doMaps off");
}

TEST_F(StdMtlTest, OpacityAndLevelMapsReadMonoValues) {
  pb->SetValue(kSmOpacityMap, 0, Solid({0.25f, 0.25f, 0.25f}));
  Shade();
  ExpectColorNear(sc.out.t, Color(0.75f, 0.75f, 0.75f), 1e-6f, "opacity from the map");
  pb->SetValue(kSmOpacityMapAmount, 0, 50.0f);
  Shade();
  ExpectColorNear(sc.out.t, Color(0.375f, 0.375f, 0.375f), 1e-6f, "half way to the map");

  pb->SetValue(kSmOpacityMapOn, 0, false);
  pb->SetValue(kSmSpecular, 0, Color(1, 1, 1));
  pb->SetValue(kSmSpecularLevelMap, 0, Solid({0.5f, 0.5f, 0.5f}));
  light.toLight = {0, 0, 1};
  const float lit = Shade().r - (kDiffuse * 1.1f).r;
  EXPECT_NEAR(lit, 0.5f, 1e-5f) << "level 0 mixed fully towards 0.5, head-on highlight";
}

TEST_F(StdMtlTest, SelfIllumination) {
  light.reaches = false;
  sc.ambientLight = Color();
  pb->SetValue(kSmSelfIllum, 0, 100.0f);
  ExpectColorNear(Shade(), kDiffuse, 1e-6f, "full self-illumination shows the diffuse colour");
  pb->SetValue(kSmUseSelfIllumColor, 0, true);
  pb->SetValue(kSmSelfIllumColor, 0, Color(0.2f, 0.3f, 0.4f));
  ExpectColorNear(Shade(), Color(0.2f, 0.3f, 0.4f), 1e-6f, "the colour is added");
}

TEST_F(StdMtlTest, LightFlagsAreHonoured) {
  pb->SetValue(kSmSpecularLevel, 0, 100.0f);
  light.toLight = {0, 0, 1};
  const Color both = Shade();
  light.affectSpecular = false;
  ExpectColorNear(Shade(), kDiffuse * 1.1f, 1e-5f, "no specular");
  light.affectDiffuse = false;
  ExpectColorNear(Shade(), kDiffuse * 0.1f, 1e-5f, "neither");
  light.ambientOnly = true;
  ExpectColorNear(Shade(), kDiffuse * 1.1f, 1e-5f, "ambient-only adds to the ambient light");
  EXPECT_GT(both.r, (kDiffuse * 1.1f).r);
}

TEST_F(StdMtlTest, ReflectionMapAddsItsColourByAmount) {
  pb->SetValue(kSmReflectionMap, 0, Solid({0.5f, 0.25f, 0.0f}));
  pb->SetValue(kSmReflectionAmount, 0, 50.0f);
  light.toLight = {0, 0, 1};
  ExpectColorNear(Shade(), kDiffuse * 1.1f + Color(0.25f, 0.125f, 0.0f), 1e-5f, "");
}

// Records the samples it is asked to add its value to.
class RecordingElement : public IRenderElement {
 public:
  void PostIllum(ShadeContext& sc, IllumParams& ip) override {
    ++calls;
    lastColour = sc.out.c;
    lastMtl = ip.pMtl;
    const int i = ShadeOutputIndex();
    if (i >= 0 && i < sc.out.nElements) sc.out.elementVals[i] = AColor(0.25f, 0.5f, 0.75f, 0.0f);
  }
  int calls = 0;
  Color lastColour;
  Mtl* lastMtl = nullptr;
};

class ElementsOnly : public RenderGlobalContext {
 public:
  int NumRenderInstances() override { return 0; }
  RenderInstance* GetRenderInstance(int) override { return nullptr; }
  int NRenderElements() override { return static_cast<int>(elements.size()); }
  IRenderElement* GetRenderElement(int i) override { return elements[static_cast<size_t>(i)]; }
  std::vector<IRenderElement*> elements;
};

TEST_F(StdMtlTest, EveryRenderElementAddsItsValueAfterTheSampleIsShaded) {
  RecordingElement first, second;
  first.SetShadeOutputIndex(0);
  second.SetShadeOutputIndex(1);
  ElementsOnly gc;
  gc.elements = {&first, &second};
  sc.globContext = &gc;
  sc.out.nElements = 2;
  const Color shaded = ShadeWithLightAt(0.0f);
  for (RecordingElement* e : {&first, &second}) {
    EXPECT_EQ(e->calls, 1);
    EXPECT_EQ(e->lastColour, shaded) << "called once the colour is final";
    EXPECT_EQ(e->lastMtl, mtl);
  }
  EXPECT_EQ(sc.out.elementVals[1], AColor(0.25f, 0.5f, 0.75f, 0.0f));

  // Shadow rays ask only for transparency: no element values.
  sc.mode = SCMODE_SHADOW;
  Shade();
  EXPECT_EQ(first.calls, 1);
}

TEST_F(StdMtlTest, BumpTiltsTheShadingNormalButRestoresTheCallers) {
  auto* ramp = Solid({0, 0, 0});
  ramp->ParamBlock()->SetValue(kCkColor2, 0, Color(1, 1, 1));
  ramp->ParamBlock()->SetValue(kCkSoften, 0, 1.0f);
  pb->SetValue(kSmBumpMap, 0, ramp);
  pb->SetValue(kSmBumpAmount, 0, 10.0f);
  sc.SetUVW(1, {0.5f, 0.25f, 0.0f});
  sc.SetDPdUVW(1, {1, 0, 0}, {0, 1, 0});
  const Point3 before = sc.Normal();
  // Brighter towards +u tilts the normal towards -u: a light from -u gains.
  const Color bumped = ShadeWithLightAt(-60.0f);
  EXPECT_EQ(sc.Normal(), before) << "the caller's normal is put back";
  pb->SetValue(kSmBumpMapOn, 0, false);
  const Color flat = ShadeWithLightAt(-60.0f);
  EXPECT_GT(bumped.r, flat.r + 0.05f);
  // On a back face the bump turns the other way.
  pb->SetValue(kSmBumpMapOn, 0, true);
  sc.backFace = true;
  EXPECT_LT(ShadeWithLightAt(-60.0f).r, flat.r - 0.05f);
}

TEST_F(StdMtlTest, RequirementsFollowTheSettingsAndTheMapsThatAreOn) {
  EXPECT_EQ(mtl->Requirements(0), 0u);
  pb->SetValue(kSmTwoSided, 0, true);
  pb->SetValue(kSmOpacity, 0, 99.0f);
  UpdateAt(mtl);
  EXPECT_EQ(mtl->Requirements(0), MTLREQ_2SIDE | MTLREQ_TRANSP);
  pb->SetValue(kSmTwoSided, 0, false);
  pb->SetValue(kSmOpacity, 0, 100.0f);
  pb->SetValue(kSmBumpMap, 0, Solid({1, 1, 1}));
  EXPECT_EQ(mtl->Requirements(0), MTLREQ_BUMP | MTLREQ_UV) << "a checker reads channel 1";
  auto* noise = new Noise();
  pb->SetValue(kSmBumpMap, 0, noise);
  EXPECT_EQ(mtl->Requirements(0), MTLREQ_BUMP) << "noise reads object XYZ";
  pb->SetValue(kSmBumpMapOn, 0, false);
  pb->SetValue(kSmOpacityMap, 0, Solid({1, 1, 1}));
  pb->SetValue(kSmReflectionMap, 0, static_cast<Texmap*>(new StdCubic()));
  EXPECT_EQ(mtl->Requirements(0), MTLREQ_TRANSP | MTLREQ_UV | MTLREQ_AUTOREFLECT);
  std::vector<int> channels;
  mtl->LocalMappingsRequired(0, channels);
  EXPECT_EQ(channels, std::vector<int>{1});
}

TEST_F(StdMtlTest, SubMapsAreTheIlluminationChannels) {
  EXPECT_EQ(mtl->NumSubTexmaps(), kStdIllumChannels);
  auto* m = Solid({1, 1, 1});
  mtl->SetSubTexmap(ID_SS, m);
  EXPECT_EQ(pb->GetReferenceTarget(kSmSpecularLevelMap), m);
  EXPECT_EQ(mtl->GetSubTexmap(ID_SS), m);
  EXPECT_TRUE(mtl->SubTexmapOn(ID_SS));
  EXPECT_EQ(std::string(mtl->GetSubTexmapSlotName(ID_SS)), "specularLevelMap");
  mtl->SetSubTexmap(ID_AM, m);  // no ambient map: ignored
  EXPECT_EQ(mtl->GetSubTexmap(ID_AM), nullptr);
  pb->SetValue(kSmSpecularLevelMapOn, 0, false);
  EXPECT_FALSE(mtl->SubTexmapOn(ID_SS));
}

TEST_F(StdMtlTest, ParameterChangesNotifyAndUpdateRereadsThem) {
  TestTarget listener(1);
  listener.ReplaceReference(0, mtl);
  light.toLight = {0, 0, 1};
  const Color before = Shade();
  pb->SetValue(kSmDiffuse, 0, Color(0, 1, 0));
  EXPECT_GE(listener.CountHeard(REFMSG_CHANGE), 1);
  sc.ResetOutput();
  mtl->Shade(sc);
  EXPECT_EQ(sc.out.c, before) << "the working copy changes only in Update";
  ExpectColorNear(Shade(), Color(0, 1.1f, 0), 1e-5f, "after Update");
  // A map's own change reaches the material too.
  auto* m = Solid({1, 0, 0});
  pb->SetValue(kSmDiffuseMap, 0, m);
  Shade();
  listener.heard.clear();
  m->ParamBlock()->SetValue(kCkColor1, 0, Color(0, 0, 1));
  EXPECT_GE(listener.CountHeard(REFMSG_CHANGE), 1);
  listener.DeleteAllRefs();
}

TEST_F(StdMtlTest, CloningClonesMapsAndKeepsSharing) {
  auto* shared = Solid({1, 0, 0});
  pb->SetValue(kSmDiffuseMap, 0, shared);
  pb->SetValue(kSmBumpMap, 0, shared);
  mtl->SetName("Paint");
  ReferenceHolder copyHolder(CloneRefHierarchy(mtl));
  auto* copy = copyHolder.GetAs<StdMtl>();
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(std::string(copy->GetName()), "Paint");
  Texmap* d = copy->GetSubTexmap(ID_DI);
  ASSERT_NE(d, nullptr);
  EXPECT_NE(d, shared);
  EXPECT_EQ(copy->GetSubTexmap(ID_BU), d) << "shared in the original, shared in the copy";
  ASSERT_NE(copy->GetShader(), nullptr);
  EXPECT_NE(copy->GetShader(), mtl->GetShader());
  EXPECT_EQ(copy->ParamBlock()->GetReferenceTarget(kSmShader), copy->GetShader());
  // The copy shades with its own maps: changing the original's map leaves it.
  shared->ParamBlock()->SetValue(kCkColor1, 0, Color(0, 1, 0));
  shared->ParamBlock()->SetValue(kCkColor2, 0, Color(0, 1, 0));
  UpdateAt(shared);
  light.toLight = {0, 0, 1};
  sc.ambientLight = Color();
  sc.ResetOutput();
  copy->Shade(sc);
  ExpectColorNear(sc.out.c, Color(1, 0, 0), 1e-5f, "");
}

TEST_F(StdMtlTest, SavedAndLoadedMaterialsShadeTheSame) {
  RegisterMaterialClasses(GetClassDirectory());
  auto* checker = Solid({1, 0, 0});
  checker->ParamBlock()->SetValue(kCkColor2, 0, Color(0, 0, 1));
  checker->Coords()->SetUScl(4.0f, 0);
  pb->SetValue(kSmDiffuseMap, 0, checker);
  pb->SetValue(kSmSpecularLevel, 0, 80.0f);
  pb->SetValue(kSmOpacity, 0, 70.0f);
  mtl->GetShader()->SetGlossiness(0.5f, 0);  // the shader's own block survives too
  MemorySave out;
  ReferenceTarget* roots[] = {mtl};
  std::string error;
  ASSERT_TRUE(SaveReferenceGraph(out, roots, &error)) << error;
  GraphLoadResult loaded = LoadReferenceGraph(out.Bytes());
  ASSERT_TRUE(loaded) << loaded.error;
  auto* copy = dynamic_cast<StdMtl*>(loaded.graph->Root(0));
  ASSERT_NE(copy, nullptr);
  EXPECT_TRUE(loaded.graph->warnings.empty());
  ASSERT_NE(copy->GetShader(), nullptr);
  UpdateAt(copy);
  EXPECT_FLOAT_EQ(copy->GetShader()->GetGlossiness(0, false), 0.5f);
  light.toLight = Normalize(Point3(0.3f, 0.2f, 1.0f));
  for (float u : {0.1f, 0.2f, 0.3f}) {
    sc.SetUVW(1, {u, 0.1f, 0.0f});
    const Color original = Shade();
    sc.ResetOutput();
    copy->Shade(sc);
    EXPECT_EQ(sc.out.c, original) << u;
    ExpectColorNear(sc.out.t, Color(0.3f, 0.3f, 0.3f), 1e-6f, "opacity survives");
  }
}

TEST_F(StdMtlTest, AnythingButAShaderInTheShaderSlotIsReplacedByBlinn) {
  EXPECT_TRUE(pb->SetValue(kSmShader, 0, new TestTarget()));
  EXPECT_EQ(mtl->GetShader(), nullptr);
  sc.ResetOutput();
  mtl->Shade(sc);  // no shader: nothing written, no crash
  UpdateAt(mtl);
  EXPECT_NE(dynamic_cast<BlinnShader*>(mtl->GetShader()), nullptr);
}

TEST(BlinnShader, SettersTakeFractionsAndTheBlockHoldsPercent) {
  ReferenceHolder h(new BlinnShader());
  auto* s = h.GetAs<BlinnShader>();
  s->SetGlossiness(0.25f, 0);
  s->SetSpecularLevel(1.5f, 0);
  s->SetSelfIllum(0.5f, 0);
  s->SetDiffuseClr(Color(0.1f, 0.2f, 0.3f), 0);
  EXPECT_FLOAT_EQ(s->ParamBlock()->GetFloat(kBlGlossiness), 25.0f);
  EXPECT_FLOAT_EQ(s->ParamBlock()->GetFloat(kBlSpecularLevel), 150.0f);
  Interval valid = FOREVER;
  s->Update(0, valid);
  EXPECT_FLOAT_EQ(s->GetGlossiness(0, false), 0.25f);
  EXPECT_FLOAT_EQ(s->GetSpecularLevel(0, false), 1.5f);
  EXPECT_FLOAT_EQ(s->GetSelfIllum(0, false), 0.5f);
  EXPECT_EQ(s->GetDiffuseClr(0, false), Color(0.1f, 0.2f, 0.3f));
  FakeShadeContext sc;
  IllumParams ip;
  s->GetIllumParams(sc, ip);
  EXPECT_EQ(ip.channels[ID_DI], Color(0.1f, 0.2f, 0.3f));
  EXPECT_FLOAT_EQ(ip.channels[ID_SS].r, 1.5f);
  EXPECT_FLOAT_EQ(ip.channels[ID_SH].g, 0.25f);
}

TEST(MaterialClasses, SceneFilesFindEveryClassBlockAndParameterByName) {
  ClassDirectory dir;
  RegisterMaterialClasses(dir);
  struct Case {
    const char* internalName;
    SClass_ID super;
    const char* block;
    std::vector<const char*> params;
  };
  const Case cases[] = {
      {"Standard",
       MATERIAL_CLASS_ID,
       "main",
       {"ambient",        "diffuse",           "specular",
        "adLock",         "specularLevel",     "glossiness",
        "softenLevel",    "opacity",           "selfIllum",
        "selfIllumColor", "useSelfIllumColor", "twoSided",
        "diffuseMap",     "diffuseMapAmount",  "bumpMap",
        "bumpAmount",     "specularLevelMap",  "glossinessMap",
        "opacityMap",     "reflectionMap",     "reflectionAmount",
        "shader"}},
      {"Blinn", SHADER_CLASS_ID, "blinn", {"diffuse", "glossiness", "specularLevel"}},
      {"StdUVGen",
       UVGEN_CLASS_ID,
       "coords",
       {"mapping",    "uOffset",    "vOffset", "uTiling",    "vTiling",     "uAngle",
        "vAngle",     "wAngle",     "blur",    "blurOffset", "noiseAmount", "noiseSize",
        "noiseLevel", "noisePhase", "tiling",  "mapChannel", "symmetry",    "hideMapBack",
        "uvwSource",  "slotType",   "axis",    "clip",       "flags"}},
      {"Bitmap", TEXMAP_CLASS_ID, "bitmap", {"filename", "filtering", "alphaSource", "coords"}},
      {"Checker",
       TEXMAP_CLASS_ID,
       "checker",
       {"color1", "color2", "map1", "map2", "soften", "coords"}},
      {"Noise",
       TEXMAP_CLASS_ID,
       "noise",
       {"color1", "color2", "size", "noiseType", "levels", "phase", "low", "high", "coords"}},
      {"Reflect/Refract", TEXMAP_CLASS_ID, "main", {"size", "blur", "refract", "nthFrame"}},
  };
  for (const Case& c : cases) {
    ClassDesc2* cd = dir.FindClassByInternalName(c.internalName);
    ASSERT_NE(cd, nullptr) << c.internalName;
    EXPECT_EQ(cd->SuperClassID(), c.super) << c.internalName;
    ParamBlockDesc2* block = cd->GetParamBlockDescByName(c.block);
    ASSERT_NE(block, nullptr) << c.internalName;
    for (const char* p : c.params) {
      EXPECT_NE(block->GetParamDefByName(p), nullptr) << c.internalName << "." << p;
    }
    // New objects have their block in the slot the descriptor names, ready
    // for the binder; objects made for loading start empty.
    ReferenceHolder obj(static_cast<ReferenceTarget*>(cd->Create(false)));
    ASSERT_NE(obj.Get(), nullptr);
    EXPECT_EQ(obj.Get()->ClassID(), cd->ClassID());
    auto* pb = dynamic_cast<IParamBlock2*>(obj.Get()->GetReference(block->OwnerRef()));
    ASSERT_NE(pb, nullptr) << c.internalName;
    EXPECT_EQ(pb->GetDesc(), block);
    ReferenceHolder loading(static_cast<ReferenceTarget*>(cd->Create(true)));
    EXPECT_EQ(loading.Get()->GetReference(block->OwnerRef()), nullptr) << c.internalName;
  }
  RegisterMaterialClasses(GetClassDirectory());
  ReferenceHolder standard(NewDefaultStdMat());
  ASSERT_NE(standard.Get(), nullptr) << "made through the class directory";
  EXPECT_EQ(standard.Get()->ClassID(), kStdMtlClassID);
}

}  // namespace
}  // namespace host
