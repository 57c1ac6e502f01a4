// Tests of the bitmap, checker and noise maps and the gradient noise behind
// them: known checker layouts, tiling flags, softening, sub-maps, noise range
// and determinism, bump, image files (and missing ones), change notification,
// cycle removal and cloning.
#include "host/maps.h"

#include <gtest/gtest.h>

#include <cmath>

#include "host/gradient_noise.h"
#include "host/image_io.h"
#include "sdk/testing/fake_shade_context.h"
#include "sdk/testing/scratch_dir.h"
#include "sdk/testing/test_objects.h"

namespace host {
namespace {

template <class T>
T* Hold(ReferenceHolder& h, T* obj) {
  h.Set(obj);
  return obj;
}

void UpdateAt(MtlBase* m, TimeValue t = 0) {
  Interval valid = FOREVER;
  m->Update(t, valid);
}

bool Near(const AColor& a, const AColor& b, float tol = 1e-4f) {
  return std::fabs(a.r - b.r) <= tol && std::fabs(a.g - b.g) <= tol &&
         std::fabs(a.b - b.b) <= tol && std::fabs(a.a - b.a) <= tol;
}

const AColor kRed(1, 0, 0, 1), kBlue(0, 0, 1, 1);

class MapsTest : public ::testing::Test {
 protected:
  void SetUp() override { TakeMapWarnings(); }

  Checker* NewChecker(const Color& c1, const Color& c2) {
    auto* c = new Checker();
    c->ParamBlock()->SetValue(kCkColor1, 0, c1);
    c->ParamBlock()->SetValue(kCkColor2, 0, c2);
    UpdateAt(c);
    return c;
  }
  AColor At(Texmap* m, float u, float v) {
    sc.SetUVW(1, {u, v, 0.0f});
    return m->EvalColor(sc);
  }

  FakeShadeContext sc;
  ReferenceHolder holder;
};

TEST_F(MapsTest, CheckerWithTilingTwoFlipsEveryQuarter) {
  Checker* c = Hold(holder, NewChecker({1, 0, 0}, {0, 0, 1}));
  c->Coords()->SetUScl(2.0f, 0);
  c->Coords()->SetVScl(2.0f, 0);
  UpdateAt(c);
  const float v = 0.1f;  // the lower half of the first v cell
  const float us[] = {0.1f, 0.2f, 0.3f, 0.45f, 0.55f, 0.7f, 0.8f, 0.95f};
  const AColor expected[] = {kRed, kRed, kBlue, kBlue, kRed, kRed, kBlue, kBlue};
  for (int i = 0; i < 8; ++i) EXPECT_TRUE(Near(At(c, us[i], v), expected[i])) << us[i];
  for (float edge : {0.25f, 0.5f, 0.75f}) {
    EXPECT_FALSE(Near(At(c, edge - 1e-3f, v), At(c, edge + 1e-3f, v))) << edge;
  }
  // Moving to the next v cell swaps the colours.
  EXPECT_TRUE(Near(At(c, 0.1f, 0.35f), kBlue));
}

TEST_F(MapsTest, CheckerTilingFlagsWrapMirrorOrLeaveTheOutsideEmpty) {
  Checker* c = Hold(holder, NewChecker({1, 0, 0}, {0, 0, 1}));
  struct Case {
    int flags;
    float u;
    AColor expected;
  };
  const Case cases[] = {
      {U_WRAP | V_WRAP, 1.2f, kRed},      {U_WRAP | V_WRAP, 1.7f, kBlue},
      {U_MIRROR | V_WRAP, 1.2f, kBlue},  // mirrored: 1.2 reads 0.8
      {V_WRAP, 1.2f, AColor(0, 0, 0, 0)}, {V_WRAP, 0.2f, kRed},
  };
  for (const Case& k : cases) {
    c->Coords()->SetTextureTiling(k.flags);
    UpdateAt(c);
    EXPECT_TRUE(Near(At(c, k.u, 0.2f), k.expected)) << k.flags << " " << k.u;
  }
}

TEST_F(MapsTest, CheckerSoftenAndFootprintBlendAcrossEdges) {
  Checker* c = Hold(holder, NewChecker({0, 0, 0}, {1, 1, 1}));
  EXPECT_FLOAT_EQ(At(c, 0.5f, 0.25f).r, 1.0f) << "a sharp edge without footprint";
  c->ParamBlock()->SetValue(kCkSoften, 0, 0.2f);  // blur width 0.1
  UpdateAt(c);
  EXPECT_NEAR(At(c, 0.5f, 0.25f).r, 0.5f, 1e-5f) << "on the edge: half of each";
  EXPECT_NEAR(At(c, 0.525f, 0.25f).r, 0.75f, 1e-5f);
  EXPECT_NEAR(At(c, 0.3f, 0.25f).r, 0.0f, 1e-6f) << "far from edges: unchanged";
  c->ParamBlock()->SetValue(kCkSoften, 0, 0.0f);
  UpdateAt(c);
  sc.SetUVW(1, {0.5f, 0.25f, 0.0f}, {0.1f, 0.1f, 0.0f});
  EXPECT_NEAR(c->EvalColor(sc).r, 0.5f, 1e-5f) << "the footprint filters";
  sc.filterMaps = false;
  EXPECT_FLOAT_EQ(c->EvalColor(sc).r, 1.0f) << "unless filtering is off";
}

TEST_F(MapsTest, CheckerSubMapsReplaceTheirColours) {
  Checker* outer = Hold(holder, NewChecker({1, 0, 0}, {0, 0, 1}));
  Checker* inner = NewChecker({0, 1, 0}, {0, 1, 0});
  ASSERT_EQ(outer->NumSubTexmaps(), 2);
  outer->SetSubTexmap(1, inner);
  EXPECT_EQ(outer->GetSubTexmap(1), inner);
  EXPECT_EQ(outer->ParamBlock()->GetReferenceTarget(kCkMap2), inner) << "kept in the block";
  EXPECT_EQ(std::string(outer->GetSubTexmapSlotName(1)), "map2");
  UpdateAt(outer);
  EXPECT_TRUE(Near(At(outer, 0.1f, 0.1f), kRed));
  EXPECT_TRUE(Near(At(outer, 0.7f, 0.1f), AColor(0, 1, 0, 1)));
  outer->SetSubTexmap(1, nullptr);
  UpdateAt(outer);
  EXPECT_TRUE(Near(At(outer, 0.7f, 0.1f), kBlue));
}

TEST_F(MapsTest, ParameterChangesNotifyAndUpdateRereadsThem) {
  Checker* c = Hold(holder, NewChecker({1, 0, 0}, {0, 0, 1}));
  TestTarget listener(1);
  listener.ReplaceReference(0, c);
  c->ParamBlock()->SetValue(kCkColor1, 0, Color(0, 1, 0));
  c->Coords()->SetUOffs(0.5f, 0);
  EXPECT_GE(listener.CountHeard(REFMSG_CHANGE), 2) << "block and coordinates changes reach users";
  EXPECT_TRUE(Near(At(c, 0.1f, 0.1f), kRed)) << "the working copy changes only in Update";
  UpdateAt(c);
  EXPECT_TRUE(Near(At(c, 0.6f, 0.1f), AColor(0, 1, 0, 1))) << "new colour, shifted by the offset";
  listener.DeleteAllRefs();
}

TEST_F(MapsTest, SubMapsThatWouldMakeACycleAreRemovedWithAWarning) {
  Checker* a = Hold(holder, NewChecker({1, 0, 0}, {0, 0, 1}));
  ReferenceHolder bHolder;
  Checker* b = Hold(bHolder, NewChecker({0, 1, 0}, {0, 1, 0}));
  a->SetName("A");
  a->SetSubTexmap(0, b);
  b->SetSubTexmap(0, a);
  UpdateAt(a);
  EXPECT_EQ(a->GetSubTexmap(0), nullptr) << "the slot that closed the cycle is emptied";
  UpdateAt(b);
  EXPECT_EQ(b->GetSubTexmap(0), a) << "without the cycle the other slot is fine";
  EXPECT_EQ(TakeMapWarnings().size(), 1u);
  a->SetSubTexmap(1, a);
  UpdateAt(a);
  EXPECT_EQ(a->GetSubTexmap(1), nullptr);
  At(a, 0.7f, 0.1f);  // would recurse forever with the cycle in place
}

TEST_F(MapsTest, CloningKeepsSharedSubMapsShared) {
  Checker* c = Hold(holder, NewChecker({1, 0, 0}, {0, 0, 1}));
  Checker* shared = NewChecker({0, 1, 0}, {0, 1, 0});
  c->SetSubTexmap(0, shared);
  c->SetSubTexmap(1, shared);
  c->Coords()->SetUScl(3.0f, 0);
  c->SetName("original");
  ReferenceHolder copyHolder(CloneRefHierarchy(c));
  auto* copy = copyHolder.GetAs<Checker>();
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(std::string(copy->GetName()), "original");
  ASSERT_NE(copy->GetSubTexmap(0), nullptr);
  EXPECT_NE(copy->GetSubTexmap(0), shared);
  EXPECT_EQ(copy->GetSubTexmap(0), copy->GetSubTexmap(1));
  ASSERT_NE(copy->Coords(), nullptr);
  EXPECT_NE(copy->Coords(), c->Coords());
  EXPECT_EQ(copy->Coords()->GetUScl(0), 3.0f);
  EXPECT_EQ(copy->ParamBlock()->GetReferenceTarget(kCkCoords), copy->Coords())
      << "the clone's block finds its own coordinates";
  UpdateAt(copy);
  EXPECT_TRUE(Near(At(copy, 0.1f, 0.1f), At(c, 0.1f, 0.1f)));
}

TEST_F(MapsTest, CoordsCanBeReplacedThroughTheBlock) {
  Checker* c = Hold(holder, NewChecker({1, 0, 0}, {0, 0, 1}));
  auto* coords = new StdUVGenImpl();
  coords->SetUOffs(0.5f, 0);
  EXPECT_TRUE(c->ParamBlock()->SetValue(kCkCoords, 0, coords));
  EXPECT_EQ(c->Coords(), coords);
  UpdateAt(c);
  EXPECT_TRUE(Near(At(c, 0.1f, 0.1f), kBlue));
  // Something that is not a coordinate generator is replaced by defaults.
  EXPECT_TRUE(c->ParamBlock()->SetValue(kCkCoords, 0, new TestTarget()));
  UpdateAt(c);
  ASSERT_NE(c->Coords(), nullptr);
  EXPECT_TRUE(Near(At(c, 0.1f, 0.1f), kRed));
}

TEST_F(MapsTest, CheckerBumpPointsAwayFromTheBrighterSide) {
  Checker* c = Hold(holder, NewChecker({0, 0, 0}, {1, 1, 1}));
  c->ParamBlock()->SetValue(kCkSoften, 0, 0.4f);
  UpdateAt(c);
  sc.SetAllNormals({0, 0, 1});
  sc.SetDPdUVW(1, {1, 0, 0}, {0, 1, 0});
  sc.SetUVW(1, {0.5f, 0.25f, 0.0f});  // on the edge: brighter towards +u
  const Point3 d = c->EvalNormalPerturb(sc);
  EXPECT_LT(d.x, -0.5f);
  EXPECT_NEAR(d.y, 0.0f, 1e-4f);
  EXPECT_NEAR(d.z, 0.0f, 1e-6f) << "perpendicular to the normal";
  sc.SetUVW(1, {0.5f, 0.75f, 0.0f});  // the edge in the next row darkens towards +u
  EXPECT_GT(c->EvalNormalPerturb(sc).x, 0.5f);
  Checker* flat = NewChecker({0.5f, 0.5f, 0.5f}, {0.5f, 0.5f, 0.5f});
  ReferenceHolder flatHolder(flat);
  EXPECT_EQ(flat->EvalNormalPerturb(sc), Point3());
}

TEST_F(MapsTest, NoiseIsDeterministicAndSpansItsRange) {
  struct Case {
    int type;
    float maxLow, minHigh, mean;  // turbulence piles up near 0
  };
  const Case cases[] = {
      {kNoiseRegular, 0.25f, 0.75f, 0.5f},
      {kNoiseFractal, 0.3f, 0.7f, 0.5f},
      {kNoiseTurbulence, 0.02f, 0.5f, 0.22f},
  };
  for (const Case& c : cases) {
    ReferenceHolder h1, h2;
    Noise* a = Hold(h1, new Noise());
    Noise* b = Hold(h2, new Noise());
    for (Noise* n : {a, b}) {
      n->ParamBlock()->SetValue(kNzType, 0, c.type);
      n->ParamBlock()->SetValue(kNzSize, 0, 1.0f);
      UpdateAt(n);
    }
    float lo = 1.0f, hi = 0.0f, sum = 0.0f;
    const int count = 4000;
    for (int i = 0; i < count; ++i) {
      const Point3 p(0.37f * i, 0.61f * (i % 37), 0.13f * (i % 91));
      const float v = a->Value(p);
      ASSERT_EQ(v, b->Value(p)) << "same settings, same value";
      ASSERT_TRUE(v >= 0.0f && v <= 1.0f) << v;
      lo = std::min(lo, v), hi = std::max(hi, v), sum += v;
    }
    EXPECT_LT(lo, c.maxLow) << c.type;
    EXPECT_GT(hi, c.minHigh) << c.type;
    EXPECT_NEAR(sum / count, c.mean, 0.05f) << c.type;
  }
}

TEST_F(MapsTest, NoiseReadsTheObjectPointScaledBySize) {
  Noise* n = Hold(holder, new Noise());
  n->ParamBlock()->SetValue(kNzSize, 0, 10.0f);
  UpdateAt(n);
  sc.p = {3.0f, 4.0f, 5.0f};
  const float expected = 0.5f + 0.5f * GradientNoise3(Point3(0.3f, 0.4f, 0.5f));
  EXPECT_NEAR(n->EvalColor(sc).r, expected, 1e-6f);
  // Thresholds: equal low and high make a hard step.
  n->ParamBlock()->SetValue(kNzLow, 0, 0.5f);
  n->ParamBlock()->SetValue(kNzHigh, 0, 0.5f);
  UpdateAt(n);
  EXPECT_FLOAT_EQ(n->EvalColor(sc).r, expected >= 0.5f ? 1.0f : 0.0f);
  // The phase changes the pattern in place.
  n->ParamBlock()->SetValue(kNzLow, 0, 0.0f);
  n->ParamBlock()->SetValue(kNzHigh, 0, 1.0f);
  n->ParamBlock()->SetValue(kNzPhase, 0, 1.0f);
  UpdateAt(n);
  EXPECT_NE(n->EvalColor(sc).r, expected);
  EXPECT_EQ(n->Requirements(0) & MTLREQ_UV, 0u) << "object XYZ needs no map channel";
}

TEST(GradientNoise, IsZeroOnTheLatticeBoundedAndContinuous) {
  for (int i = -3; i <= 3; ++i) EXPECT_EQ(GradientNoise3(Point3(i, 2 * i, -i)), 0.0f);
  float worstJump = 0.0f;
  for (int i = 0; i < 5000; ++i) {
    const Point3 p(0.0137f * i, 0.0291f * i, 0.0071f * i);
    const float v = GradientNoise3(p);
    ASSERT_LE(std::fabs(v), 1.0f);
    worstJump = std::max(worstJump, std::fabs(GradientNoise3(p + Point3(1e-3f, 0, 0)) - v));
  }
  EXPECT_LT(worstJump, 0.01f);
  EXPECT_EQ(PhasedNoise3(Point3(0.3f, 0.2f, 0.1f), 0.0f), GradientNoise3(Point3(0.3f, 0.2f, 0.1f)));
  EXPECT_EQ(GradientNoise3(Point3(NAN, 0, 0)), 0.0f);
  const float t = FractalNoise3(Point3(0.3f, 0.2f, 0.1f), 4, true);
  EXPECT_TRUE(t >= 0.0f && t <= 1.0f);
}

TEST_F(MapsTest, BitmapSamplesTheImageFilePremultiplied) {
  ScratchDir dir;
  // 2 x 2: top row red, half-transparent green; bottom row blue, white.
  Bitmap image(2, 2);
  image.PutPixel(0, 0, ToColor64(AColor(1, 0, 0, 1)));
  image.PutPixel(1, 0, ToColor64(AColor(0, 1, 0, 0.5f)));
  image.PutPixel(0, 1, ToColor64(AColor(0, 0, 1, 1)));
  image.PutPixel(1, 1, ToColor64(AColor(1, 1, 1, 1)));
  std::string error;
  ASSERT_TRUE(WritePng(dir.File("t.png"), image, 16, &error)) << error;
  BitmapTex* bm = Hold(holder, new BitmapTex());
  bm->ParamBlock()->SetValue(kBmFilename, 0, dir.File("t.png"));
  bm->ParamBlock()->SetValue(kBmFiltering, 0, false);
  UpdateAt(bm);
  ASSERT_NE(bm->Image(), nullptr) << bm->LoadError();
  EXPECT_TRUE(Near(At(bm, 0.25f, 0.75f), kRed, 1e-3f)) << "v runs up: the top row";
  EXPECT_TRUE(Near(At(bm, 0.25f, 0.25f), kBlue, 1e-3f));
  EXPECT_TRUE(Near(At(bm, 0.75f, 0.75f), AColor(0, 0.5f, 0, 0.5f), 1e-3f));
  bm->ParamBlock()->SetValue(kBmAlphaSource, 0, kAlphaOpaque);
  UpdateAt(bm);
  EXPECT_TRUE(Near(At(bm, 0.75f, 0.75f), AColor(0, 1, 0, 1), 1e-3f));
  EXPECT_TRUE(TakeMapWarnings().empty());
}

TEST_F(MapsTest, MissingBitmapRendersBlackAndWarnsOnce) {
  ScratchDir dir;
  BitmapTex* bm = Hold(holder, new BitmapTex());
  bm->SetName("Wood");
  bm->ParamBlock()->SetValue(kBmFilename, 0, dir.File("missing.png"));
  UpdateAt(bm);
  UpdateAt(bm, TIME_TICKSPERSEC);
  EXPECT_EQ(bm->Image(), nullptr);
  EXPECT_NE(bm->LoadError().find("missing.png"), std::string::npos);
  EXPECT_TRUE(Near(At(bm, 0.5f, 0.5f), AColor(0, 0, 0, 1)));
  const std::vector<std::string> warnings = TakeMapWarnings();
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("Wood"), std::string::npos);
  EXPECT_NE(warnings[0].find("missing.png"), std::string::npos);
}

}  // namespace
}  // namespace host
