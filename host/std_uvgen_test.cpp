// Tests of the standard coordinate generator: getters and setters, the
// offset / tiling / rotation transform, the coordinate sources, environment
// mappings, tiling flags, hidden backs, noise and change notification.
#include "host/std_uvgen.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>

#include "sdk/angles.h"
#include "sdk/testing/fake_shade_context.h"
#include "sdk/testing/test_objects.h"

namespace host {
namespace {

class StdUVGenTest : public ::testing::Test {
 protected:
  StdUVGenImpl* gen = nullptr;
  ReferenceHolder holder_{gen = new StdUVGenImpl()};
  FakeShadeContext sc;

  // Transformed uv of channel-1 coordinates `uv` after an Update.
  Point2 Map(const Point2& uv) {
    Interval valid = FOREVER;
    gen->Update(0, valid);
    sc.SetUVW(1, {uv.x, uv.y, 0.0f});
    Point2 out, duv;
    gen->GetUV(sc, out, duv);
    return out;
  }
};

TEST_F(StdUVGenTest, GettersReadBackWhatSettersWrote) {
  struct Case {
    const char* name;
    std::function<void()> set;
    std::function<bool()> check;
  };
  StdUVGenImpl& g = *gen;
  const Case cases[] = {
      {"mapping", [&] { g.SetCoordMapping(UVMAP_SHRINK_ENV); },
       [&] { return g.GetCoordMapping() == UVMAP_SHRINK_ENV; }},
      {"u offset", [&] { g.SetUOffs(0.37f, 0); }, [&] { return g.GetUOffs(0) == 0.37f; }},
      {"v offset", [&] { g.SetVOffs(-1.25f, 0); }, [&] { return g.GetVOffs(0) == -1.25f; }},
      {"u tiling", [&] { g.SetUScl(3.5f, 0); }, [&] { return g.GetUScl(0) == 3.5f; }},
      {"v tiling", [&] { g.SetVScl(0.2f, 0); }, [&] { return g.GetVScl(0) == 0.2f; }},
      {"blur", [&] { g.SetBlur(2.5f, 0); }, [&] { return g.GetBlur(0) == 2.5f; }},
      {"blur offset", [&] { g.SetBlurOffs(0.125f, 0); },
       [&] { return g.GetBlurOffs(0) == 0.125f; }},
      {"noise amount", [&] { g.SetNoiseAmt(0.7f, 0); }, [&] { return g.GetNoiseAmt(0) == 0.7f; }},
      {"noise size", [&] { g.SetNoiseSize(4.0f, 0); }, [&] { return g.GetNoiseSize(0) == 4.0f; }},
      {"noise level", [&] { g.SetNoiseLev(6, 0); }, [&] { return g.GetNoiseLev(0) == 6; }},
      {"noise phase", [&] { g.SetNoisePhs(2.75f, 0); }, [&] { return g.GetNoisePhs(0) == 2.75f; }},
      {"tiling flags", [&] { g.SetTextureTiling(U_MIRROR | V_WRAP); },
       [&] { return g.GetTextureTiling() == (U_MIRROR | V_WRAP); }},
      {"map channel", [&] { g.SetMapChannel(42); }, [&] { return g.GetMapChannel() == 42; }},
      {"symmetry", [&] { g.SetSymFlags(U_MIRROR); }, [&] { return g.GetSymFlags() == U_MIRROR; }},
      {"hide back", [&] { g.SetHideMapBackFlag(true); }, [&] { return g.GetHideMapBackFlag(); }},
      {"source", [&] { g.SetUVWSource(UVWSRC_WORLDXYZ); },
       [&] { return g.GetUVWSource() == UVWSRC_WORLDXYZ; }},
      {"slot type", [&] { g.SetSlotType(MAPSLOT_ENVIRON); },
       [&] { return g.GetSlotType() == MAPSLOT_ENVIRON; }},
      {"axis", [&] { g.SetAxis(2); }, [&] { return g.GetAxis() == 2; }},
      {"clip", [&] { g.SetClipFlag(1); }, [&] { return g.GetClipFlag() == 1; }},
      {"noise flag", [&] { g.SetFlag(UV_NOISE, 1); },
       [&] { return g.GetFlag(UV_NOISE) == 1 && g.GetFlag(UV_NOISE_ANI) == 0; }},
      {"both noise flags", [&] { g.SetFlag(UV_NOISE_ANI, 1); },
       [&] { return g.GetFlag(UV_NOISE | UV_NOISE_ANI) == 1; }},
      {"noise flag cleared", [&] { g.SetFlag(UV_NOISE, 0); },
       [&] { return g.GetFlag(UV_NOISE) == 0 && g.GetFlag(UV_NOISE_ANI) == 1; }},
  };
  for (const Case& c : cases) {
    c.set();
    EXPECT_TRUE(c.check()) << c.name;
  }
  // The flags are bits 16 and 32 of the block's "flags".
  EXPECT_EQ(gen->ParamBlock()->GetInt(kUVFlags), 32);
}

TEST_F(StdUVGenTest, AnglesRoundTripBitForBit) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> angle(-20.0f, 20.0f);
  using Setter = void (StdUVGenImpl::*)(float, TimeValue);
  using Getter = float (StdUVGenImpl::*)(TimeValue);
  const std::pair<Setter, Getter> pairs[] = {
      {&StdUVGenImpl::SetUAng, &StdUVGenImpl::GetUAng},
      {&StdUVGenImpl::SetVAng, &StdUVGenImpl::GetVAng},
      {&StdUVGenImpl::SetWAng, &StdUVGenImpl::GetWAng},
      {&StdUVGenImpl::SetAng, &StdUVGenImpl::GetAng},
  };
  int mismatches = 0;
  for (int i = 0; i < 2000; ++i) {
    const float a = angle(rng);
    const auto& [set, get] = pairs[i % 4];
    (gen->*set)(a, 0);
    mismatches += (gen->*get)(0) != a;
  }
  EXPECT_EQ(mismatches, 0);
  gen->SetWAng(90.0f * kDegToRad, 0);
  EXPECT_FLOAT_EQ(gen->ParamBlock()->GetFloat(kUVWAngle), 90.0f) << "stored in degrees";
  // A value set through the block (scene files) reads back converted.
  gen->ParamBlock()->SetValue(kUVWAngle, 0, 45.0f);
  EXPECT_FLOAT_EQ(gen->GetWAng(0), 45.0f * kDegToRad);
}

TEST_F(StdUVGenTest, OffsetsTilingAndRotationTransformKnownCoordinates) {
  struct Case {
    const char* name;
    float uOff, vOff, uTile, vTile, uAng, wAng;  // angles in degrees
    Point2 in, out;
  };
  const Case cases[] = {
      {"identity", 0, 0, 1, 1, 0, 0, {0.3f, 0.7f}, {0.3f, 0.7f}},
      {"u offset", 0.25f, 0, 1, 1, 0, 0, {0.3f, 0.7f}, {0.05f, 0.7f}},
      {"v offset", 0, -0.5f, 1, 1, 0, 0, {0.3f, 0.7f}, {0.3f, 1.2f}},
      {"tiling", 0, 0, 2, 3, 0, 0, {0.3f, 0.7f}, {0.6f, 2.1f}},
      {"offset then tiling", 0.1f, 0, 2, 1, 0, 0, {0.3f, 0.7f}, {0.4f, 0.7f}},
      // The image turns counter-clockwise: the point above the centre shows
      // what lay right of it.
      {"w 90", 0, 0, 1, 1, 0, 90, {0.5f, 0.75f}, {0.75f, 0.5f}},
      {"w 180", 0, 0, 1, 1, 0, 180, {0.2f, 0.3f}, {0.8f, 0.7f}},
      {"w 90 then tiling", 0, 0, 2, 2, 0, 90, {0.5f, 0.75f}, {1.5f, 1.0f}},
      {"u 180 flips v", 0, 0, 1, 1, 180, 0, {0.2f, 0.3f}, {0.2f, 0.7f}},
  };
  for (const Case& c : cases) {
    gen->SetUOffs(c.uOff, 0), gen->SetVOffs(c.vOff, 0);
    gen->SetUScl(c.uTile, 0), gen->SetVScl(c.vTile, 0);
    gen->SetUAng(c.uAng * kDegToRad, 0), gen->SetWAng(c.wAng * kDegToRad, 0);
    const Point2 out = Map(c.in);
    EXPECT_NEAR(out.x, c.out.x, 1e-5f) << c.name;
    EXPECT_NEAR(out.y, c.out.y, 1e-5f) << c.name;
  }
}

TEST_F(StdUVGenTest, FootprintFollowsTilingAndBlur) {
  sc.SetUVW(1, {0.5f, 0.5f, 0.0f}, {0.01f, 0.02f, 0.0f});
  gen->SetUScl(4.0f, 0);
  gen->SetBlur(2.0f, 0);
  gen->SetBlurOffs(0.05f, 0);
  Interval valid = FOREVER;
  gen->Update(0, valid);
  Point2 uv, duv;
  gen->GetUV(sc, uv, duv);
  EXPECT_NEAR(duv.x, 0.01f * 4 * 2 + 0.05f, 1e-6f);
  EXPECT_NEAR(duv.y, 0.02f * 1 * 2 + 0.05f, 1e-6f);
}

TEST_F(StdUVGenTest, SourcesPickChannelsObjectWorldOrScreen) {
  sc.p = {1.0f, 2.0f, 3.0f};
  sc.camToObj = TranslationMatrix({10.0f, 0.0f, 0.0f});
  sc.camToWorld = TranslationMatrix({0.0f, 0.0f, -5.0f});
  sc.SetUVW(1, {0.1f, 0.2f, 0.3f});
  sc.SetUVW(3, {0.4f, 0.5f, 0.6f});
  sc.SetUVW(0, {0.7f, 0.8f, 0.9f});
  sc.screenUV = {0.25f, 0.75f};
  struct Case {
    const char* name;
    int mapping, source, channel, axis;
    Point3 expected;
  };
  const Case cases[] = {
      {"channel 1", UVMAP_EXPLICIT, UVWSRC_EXPLICIT, 1, 0, {0.1f, 0.2f, 0.3f}},
      {"channel 3", UVMAP_EXPLICIT, UVWSRC_EXPLICIT, 3, 0, {0.4f, 0.5f, 0.6f}},
      {"vertex colours", UVMAP_EXPLICIT, UVWSRC_EXPLICIT2, 1, 0, {0.7f, 0.8f, 0.9f}},
      {"object XY", UVMAP_EXPLICIT, UVWSRC_OBJXYZ, 1, 0, {11.0f, 2.0f, 3.0f}},
      {"object YZ", UVMAP_EXPLICIT, UVWSRC_OBJXYZ, 1, 1, {2.0f, 3.0f, 11.0f}},
      {"object ZX", UVMAP_EXPLICIT, UVWSRC_OBJXYZ, 1, 2, {3.0f, 11.0f, 2.0f}},
      {"world XY", UVMAP_EXPLICIT, UVWSRC_WORLDXYZ, 1, 0, {1.0f, 2.0f, -2.0f}},
      {"screen", UVMAP_SCREEN_ENV, UVWSRC_EXPLICIT, 1, 0, {0.25f, 0.75f, 0.0f}},
  };
  for (const Case& c : cases) {
    gen->SetCoordMapping(c.mapping);
    gen->SetUVWSource(c.source);
    gen->SetMapChannel(c.channel);
    gen->SetAxis(c.axis);
    Interval valid = FOREVER;
    gen->Update(0, valid);
    const Point3 uvw = gen->GetUVW(sc);
    EXPECT_NEAR((uvw - c.expected).Length(), 0.0f, 1e-5f) << c.name;
    EXPECT_EQ(gen->SourceChannel(), c.mapping == UVMAP_EXPLICIT && c.source == UVWSRC_EXPLICIT
                                        ? c.channel
                                        : (c.source == UVWSRC_EXPLICIT2 ? 0 : -1))
        << c.name;
  }
}

TEST_F(StdUVGenTest, SphericalEnvironmentLooksAlongTheReflectVectorInWorldSpace) {
  gen->SetCoordMapping(UVMAP_SPHERE_ENV);
  gen->SetSlotType(MAPSLOT_ENVIRON);
  Interval valid = FOREVER;
  gen->Update(0, valid);
  // Camera space turned so that camera +y is world +z.
  sc.camToWorld = RotateXMatrix(90.0f * kDegToRad);
  sc.SetAllNormals({0.0f, 0.0f, 1.0f});
  struct Case {
    Point3 worldReflect;
    Point2 uv;
  };
  const Case cases[] = {
      {{0, 0, 1}, {-1.0f, 1.0f}},  // straight up: top row (u is free there)
      {{0, 0, -1}, {-1.0f, 0.0f}}, {{1, 0, 0}, {0.5f, 0.5f}},
      {{0, 1, 0}, {0.25f, 0.5f}},  {{0, -1, 0}, {0.75f, 0.5f}},
  };
  for (const Case& c : cases) {
    // The view that reflects about N = camera +z into the wanted direction.
    const Point3 r = sc.VectorFrom(c.worldReflect, REF_WORLD);
    sc.view = {r.x, r.y, -r.z};
    const Point3 uvw = gen->GetUVW(sc);
    if (c.uv.x >= 0.0f) {
      EXPECT_NEAR(uvw.x, c.uv.x, 1e-5f);
    }
    EXPECT_NEAR(uvw.y, c.uv.y, 1e-5f);
  }
}

TEST(TileCoordinate, WrapsMirrorsOrRejects) {
  struct Case {
    float in;
    bool wrap, mirror;
    bool inside;
    float out;
  };
  const Case cases[] = {
      {0.25f, false, false, true, 0.25f}, {1.25f, false, false, false, 0.0f},
      {-0.1f, false, false, false, 0.0f}, {1.25f, true, false, true, 0.25f},
      {-0.25f, true, false, true, 0.75f}, {1.25f, false, true, true, 0.75f},
      {-0.25f, false, true, true, 0.25f}, {2.25f, true, true, true, 0.25f},
      {NAN, true, false, false, 0.0f},
  };
  for (const Case& c : cases) {
    float x = c.in;
    EXPECT_EQ(TileCoordinate(x, c.wrap, c.mirror), c.inside) << c.in;
    if (c.inside) {
      EXPECT_NEAR(x, c.out, 1e-6f) << c.in;
    }
  }
}

TEST_F(StdUVGenTest, HiddenBackHidesOnlyTheFarSideOfPlanarProjections) {
  gen->SetUVWSource(UVWSRC_OBJXYZ);
  gen->SetHideMapBackFlag(true);
  Interval valid = FOREVER;
  gen->Update(0, valid);
  sc.SetAllNormals({0.0f, 0.3f, 1.0f});
  EXPECT_FALSE(gen->HidesSample(sc));
  sc.SetAllNormals({0.0f, 0.3f, -1.0f});
  EXPECT_TRUE(gen->HidesSample(sc));
  gen->SetAxis(1);  // YZ: the projection looks along x
  gen->Update(0, valid);
  EXPECT_FALSE(gen->HidesSample(sc)) << "normal has no -x part";
  gen->SetUVWSource(UVWSRC_EXPLICIT);
  gen->Update(0, valid);
  sc.SetAllNormals({-1.0f, 0.0f, 0.0f});
  EXPECT_FALSE(gen->HidesSample(sc)) << "mesh channels never hide";
}

TEST_F(StdUVGenTest, NoiseJittersCoordinatesDeterministically) {
  const Point2 plain = Map({0.3f, 0.6f});
  gen->SetFlag(UV_NOISE, 1);
  gen->SetNoiseAmt(1.0f, 0);
  gen->SetNoiseSize(0.1f, 0);
  const Point2 a = Map({0.3f, 0.6f});
  const Point2 b = Map({0.3f, 0.6f});
  EXPECT_EQ(a, b);
  EXPECT_GT((a - plain).Length(), 1e-4f);
  EXPECT_LE(std::fabs(a.x - plain.x), 0.1f + 1e-6f) << "amount 1 moves at most 0.1";
  // The phase matters only when the noise is animated.
  gen->SetNoisePhs(0.5f, 0);
  EXPECT_EQ(Map({0.3f, 0.6f}), a);
  gen->SetFlag(UV_NOISE_ANI, 1);
  EXPECT_NE(Map({0.3f, 0.6f}), a);
}

TEST_F(StdUVGenTest, ParameterChangesNotifyAndUpdateRereadsThem) {
  TestTarget listener(1);
  listener.ReplaceReference(0, gen);
  const Point2 before = Map({0.5f, 0.5f});
  gen->SetUOffs(0.25f, 0);
  EXPECT_GE(listener.CountHeard(REFMSG_CHANGE), 1);
  Point2 uv, duv;
  gen->GetUV(sc, uv, duv);
  EXPECT_EQ(uv, before) << "the working copy changes only in Update";
  EXPECT_NEAR(Map({0.5f, 0.5f}).x, 0.25f, 1e-6f);
  listener.DeleteAllRefs();
}

TEST_F(StdUVGenTest, AnimatedOffsetsNarrowValidityAndFollowTime) {
  IParamBlock2* pb = gen->ParamBlock();
  ASSERT_NE(pb->MakeAnimated(kUVUOffset, KeyInterp::kLinear), nullptr);
  pb->SetValue(kUVUOffset, 0, 0.0f);
  pb->SetValue(kUVUOffset, 100, 1.0f);
  Interval valid = FOREVER;
  gen->Update(50, valid);
  EXPECT_FALSE(valid.IsInfinite());
  EXPECT_TRUE(valid.InInterval(50));
  sc.SetUVW(1, {0.5f, 0.5f, 0.0f});
  Point2 uv, duv;
  gen->GetUV(sc, uv, duv);
  EXPECT_NEAR(uv.x, 0.0f, 1e-5f);
}

TEST_F(StdUVGenTest, ClonesCopyTheSettingsIntoAnIndependentBlock) {
  gen->SetUScl(3.0f, 0);
  gen->SetMapChannel(2);
  ReferenceHolder copyHolder(CloneRefHierarchy(gen));
  auto* copy = copyHolder.GetAs<StdUVGenImpl>();
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy->ParamBlock(), gen->ParamBlock());
  EXPECT_EQ(copy->GetUScl(0), 3.0f);
  EXPECT_EQ(copy->GetMapChannel(), 2);
  copy->SetUScl(5.0f, 0);
  EXPECT_EQ(gen->GetUScl(0), 3.0f);
}

}  // namespace
}  // namespace host
