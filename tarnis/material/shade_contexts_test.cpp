// Tests of the material's private shade contexts: every query reaches the
// wrapped context, the base-pass lighting maths, the light wrappers, and the
// pool's reuse, growth and handout under concurrent render threads.
#include "tarnis/material/shade_contexts.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <barrier>
#include <memory>
#include <thread>
#include <vector>

#include "sdk/testing/fake_shade_context.h"

namespace tarnis {
namespace {

// A context whose every query answers its own value and records the
// arguments it was given, so a query that is not forwarded (or forwarded to
// the wrong one) shows.
class DistinctShadeContext : public ShadeContext {
 public:
  Class_ID ClassID() override { return Class_ID(11, 12); }
  bool InMtlEditor() override { return true; }
  bool Antialias() override { return true; }
  int ProjType() override { return 1; }
  LightDesc* Light(int n) override {
    lastLight = n;
    return n == 0 ? &light : nullptr;
  }
  TimeValue CurTime() override { return 4800; }
  int NodeID() override { return 13; }
  INode* Node() override { return reinterpret_cast<INode*>(&node); }
  Point3 BarycentricCoords() override { return {0.1f, 0.2f, 0.7f}; }
  int FaceNumber() override { return 14; }

  Point3 Normal() override { return normal; }
  void SetNormal(const Point3& n) override { normal = n; }
  Point3 OrigNormal() override { return {0, 1, 0}; }
  Point3 GNormal() override { return {1, 0, 0}; }
  Point3 V() override { return view; }
  void SetView(const Point3& v) override { view = v; }
  Point3 ReflectVector() override { return {2, 2, 2}; }
  Point3 RefractVector(float ior) override { return {ior, 3, 3}; }
  void SetIOR(float v) override { ior = v; }
  float GetIOR() override { return ior; }
  Point3 CamPos() override { return {4, 4, 4}; }

  Point3 P() override { return {5, 5, 5}; }
  Point3 DP() override { return {6, 6, 6}; }
  void DP(Point3& dpdx, Point3& dpdy) override { dpdx = {7, 0, 0}, dpdy = {0, 7, 0}; }
  Point3 PObj() override { return {8, 8, 8}; }
  Point3 DPObj() override { return {9, 9, 9}; }
  Box3 ObjectBox() override { return Box3({-1, -2, -3}, {1, 2, 3}); }
  Point3 PObjRelBox() override { return {0.5f, 0.5f, 0.5f}; }
  Point3 DPObjRelBox() override { return {0.25f, 0.25f, 0.25f}; }

  void ScreenUV(Point2& uv, Point2& duv) override { uv = {0.3f, 0.4f}, duv = {0.01f, 0.02f}; }
  IPoint2 ScreenCoord() override { return {15, 16}; }

  Point3 UVW(int channel) override { return {static_cast<float>(channel), 17, 0}; }
  Point3 DUVW(int channel) override { return {static_cast<float>(channel), 18, 0}; }
  void DPdUVW(Point3 dP[3], int channel) override {
    for (int i = 0; i < 3; ++i) dP[i] = {static_cast<float>(channel), 19, static_cast<float>(i)};
  }
  float Curve() override { return 0.75f; }
  void GetBGColor(Color& bgcol, Color& transp, bool fogBG) override {
    bgcol = fogBG ? Color(0.1f, 0.2f, 0.3f) : Color(0.4f, 0.5f, 0.6f);
    transp = Color(0.7f, 0.8f, 0.9f);
  }

  // Each transform adds its own offset, scaled by the frame's number.
  Point3 PointTo(const Point3& p, RefFrame f) override {
    return p + Offset(100, f) + Point3(0, 1, 0);
  }
  Point3 PointFrom(const Point3& p, RefFrame f) override {
    return p + Offset(200, f) + Point3(0, 2, 0);
  }
  Point3 VectorTo(const Point3& p, RefFrame f) override {
    return p + Offset(300, f) + Point3(0, 3, 0);
  }
  Point3 VectorFrom(const Point3& p, RefFrame f) override {
    return p + Offset(400, f) + Point3(0, 4, 0);
  }
  static Point3 Offset(int scale, RefFrame f) { return {static_cast<float>(scale * f), 0, 0}; }

  TestDirectionalLight light;
  int node = 0;
  int lastLight = -1;
  Point3 normal{0, 0, 1};
  Point3 view{0, 0, -1};
  float ior = 1.5f;
};

// A light above the sample at a known place.
class PlacedLight : public TestDirectionalLight {
 public:
  PlacedLight() { toLight = {0, 1, 0}; }
  Point3 LightPosition() override { return {1, 2, 3}; }
};

// Checks every query of `ctx`, which wraps `src`, against src's answers.
void ExpectForwardsEveryQuery(ShadeContext& ctx, DistinctShadeContext& src) {
  EXPECT_EQ(ctx.ClassID(), Class_ID(11, 12));
  EXPECT_TRUE(ctx.InMtlEditor());
  EXPECT_TRUE(ctx.Antialias());
  EXPECT_EQ(ctx.ProjType(), 1);
  EXPECT_EQ(ctx.CurTime(), 4800);
  EXPECT_EQ(ctx.NodeID(), 13);
  EXPECT_EQ(ctx.Node(), src.Node());
  EXPECT_EQ(ctx.BarycentricCoords(), Point3(0.1f, 0.2f, 0.7f));
  EXPECT_EQ(ctx.FaceNumber(), 14);

  EXPECT_EQ(ctx.Normal(), Point3(0, 0, 1));
  ctx.SetNormal({0, 0.6f, 0.8f});
  EXPECT_EQ(src.normal, Point3(0, 0.6f, 0.8f));
  EXPECT_EQ(ctx.Normal(), Point3(0, 0.6f, 0.8f));
  EXPECT_EQ(ctx.OrigNormal(), Point3(0, 1, 0));
  EXPECT_EQ(ctx.GNormal(), Point3(1, 0, 0));
  ctx.SetView({0, -1, 0});
  EXPECT_EQ(src.view, Point3(0, -1, 0));
  EXPECT_EQ(ctx.V(), Point3(0, -1, 0));
  EXPECT_EQ(ctx.ReflectVector(), Point3(2, 2, 2));
  EXPECT_EQ(ctx.RefractVector(1.33f), Point3(1.33f, 3, 3));
  ctx.SetIOR(2.5f);
  EXPECT_EQ(src.ior, 2.5f);
  EXPECT_EQ(ctx.GetIOR(), 2.5f);
  EXPECT_EQ(ctx.CamPos(), Point3(4, 4, 4));

  EXPECT_EQ(ctx.P(), Point3(5, 5, 5));
  EXPECT_EQ(ctx.DP(), Point3(6, 6, 6));
  Point3 dpdx, dpdy;
  ctx.DP(dpdx, dpdy);
  EXPECT_EQ(dpdx, Point3(7, 0, 0));
  EXPECT_EQ(dpdy, Point3(0, 7, 0));
  EXPECT_EQ(ctx.PObj(), Point3(8, 8, 8));
  EXPECT_EQ(ctx.DPObj(), Point3(9, 9, 9));
  EXPECT_EQ(ctx.ObjectBox().pmin, Point3(-1, -2, -3));
  EXPECT_EQ(ctx.ObjectBox().pmax, Point3(1, 2, 3));
  EXPECT_EQ(ctx.PObjRelBox(), Point3(0.5f, 0.5f, 0.5f));
  EXPECT_EQ(ctx.DPObjRelBox(), Point3(0.25f, 0.25f, 0.25f));

  Point2 uv, duv;
  ctx.ScreenUV(uv, duv);
  EXPECT_EQ(uv, Point2(0.3f, 0.4f));
  EXPECT_EQ(duv, Point2(0.01f, 0.02f));
  EXPECT_EQ(ctx.ScreenCoord().x, 15);
  EXPECT_EQ(ctx.ScreenCoord().y, 16);

  EXPECT_EQ(ctx.UVW(), Point3(1, 17, 0));
  EXPECT_EQ(ctx.UVW(3), Point3(3, 17, 0));
  EXPECT_EQ(ctx.DUVW(2), Point3(2, 18, 0));
  Point3 dP[3];
  ctx.DPdUVW(dP, 4);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(dP[i], Point3(4, 19, static_cast<float>(i))) << i;
  EXPECT_EQ(ctx.Curve(), 0.75f);
  Color bg, transp;
  ctx.GetBGColor(bg, transp, false);
  EXPECT_EQ(bg, Color(0.4f, 0.5f, 0.6f));
  EXPECT_EQ(transp, Color(0.7f, 0.8f, 0.9f));
  ctx.GetBGColor(bg, transp);
  EXPECT_EQ(bg, Color(0.1f, 0.2f, 0.3f));

  const Point3 p(1, 1, 1);
  EXPECT_EQ(ctx.PointTo(p, REF_OBJECT), Point3(201, 2, 1));
  EXPECT_EQ(ctx.PointFrom(p, REF_WORLD), Point3(201, 3, 1));
  EXPECT_EQ(ctx.VectorTo(p, REF_WORLD), Point3(301, 4, 1));
  EXPECT_EQ(ctx.VectorFrom(p, REF_OBJECT), Point3(801, 5, 1));
}

// Public state that differs from a new context's in every field.
void SetDistinctState(ShadeContext& sc) {
  sc.mode = SCMODE_SHADOW;
  sc.doMaps = false;
  sc.filterMaps = false;
  sc.shadow = false;
  sc.backFace = true;
  sc.mtlNum = 3;
  sc.ambientLight = Color(0.2f, 0.4f, 0.6f);
  sc.nLights = 1;
  sc.rayLevel = 2;
  sc.xshadeID = 9;
  sc.globContext = reinterpret_cast<RenderGlobalContext*>(&sc);
  sc.out.flags = 5;
  sc.out.c = Color(0.1f, 0.2f, 0.3f);
  sc.out.t = Color(0.5f, 0.5f, 0.5f);
  sc.out.ior = 1.4f;
  sc.out.gbufId = 7;
  sc.out.nElements = 2;
  sc.out.elementVals[1] = AColor(0.3f, 0.2f, 0.1f, 1.0f);
}

void ExpectStateCopied(const ShadeContext& copy, const ShadeContext& src) {
  EXPECT_EQ(copy.mode, src.mode);
  EXPECT_EQ(copy.doMaps, src.doMaps);
  EXPECT_EQ(copy.filterMaps, src.filterMaps);
  EXPECT_EQ(copy.shadow, src.shadow);
  EXPECT_EQ(copy.backFace, src.backFace);
  EXPECT_EQ(copy.mtlNum, src.mtlNum);
  EXPECT_EQ(copy.nLights, src.nLights);
  EXPECT_EQ(copy.rayLevel, src.rayLevel);
  EXPECT_EQ(copy.xshadeID, src.xshadeID);
  EXPECT_EQ(copy.globContext, src.globContext);
  EXPECT_EQ(copy.out.flags, src.out.flags);
  EXPECT_EQ(copy.out.c, src.out.c);
  EXPECT_EQ(copy.out.t, src.out.t);
  EXPECT_EQ(copy.out.ior, src.out.ior);
  EXPECT_EQ(copy.out.gbufId, src.out.gbufId);
  EXPECT_EQ(copy.out.nElements, src.out.nElements);
  EXPECT_EQ(copy.out.elementVals[1], src.out.elementVals[1]);
}

TEST(ShadeContexts, BothKindsForwardEveryQueryToTheWrappedContext) {
  {
    DistinctShadeContext src;
    TarmatShadeContext ctx;
    ctx.Prepare(src, 0.5f);
    ExpectForwardsEveryQuery(ctx, src);
  }
  {
    DistinctShadeContext src;
    StrokeShadeContext ctx(src, 42, 2.0f);
    ExpectForwardsEveryQuery(ctx, src);
    EXPECT_EQ(ctx.Seed(), 42);
    EXPECT_EQ(ctx.Scale(), 2.0f);
    // Stroke contexts hand out the sample's own lights.
    EXPECT_EQ(ctx.Light(0), &src.light);
    EXPECT_EQ(src.lastLight, 0);
  }
}

TEST(ShadeContexts, BothKindsCopyThePublicStateAndKeepTheirOwnOutput) {
  DistinctShadeContext src;
  SetDistinctState(src);
  TarmatShadeContext tarmat;
  tarmat.Prepare(src, 1.0f);
  StrokeShadeContext stroke(src, 0, 1.0f);
  for (ForwardingShadeContext* ctx : {static_cast<ForwardingShadeContext*>(&tarmat),
                                      static_cast<ForwardingShadeContext*>(&stroke)}) {
    ExpectStateCopied(*ctx, src);
    EXPECT_EQ(ctx->Wrapped(), &src);
    ctx->ResetOutput();
    EXPECT_EQ(ctx->out.c, Color(0, 0, 0));
    EXPECT_EQ(ctx->out.nElements, 2);
    // The sample's output is the caller's to change.
    EXPECT_EQ(src.out.c, Color(0.1f, 0.2f, 0.3f));
  }
  EXPECT_EQ(stroke.ambientLight, src.ambientLight);
}

TEST(TarmatShadeContext, ShadePullsAmbientTowardsWhiteAndScalesEveryLight) {
  struct Case {
    float shade;
    Color ambient;  // 1 + (a - 1) * shade of (0.2, 0.4, 0.6)
  };
  const Case cases[] = {
      {0.0f, {1.0f, 1.0f, 1.0f}},
      {1.0f, {0.2f, 0.4f, 0.6f}},
      {0.5f, {0.6f, 0.7f, 0.8f}},
  };
  TestDirectionalLight red({0, 0, 1}, Color(1.0f, 0.0f, 0.0f));
  TestDirectionalLight grey({0, 1, 0}, Color(0.5f, 0.5f, 0.5f));
  grey.affectSpecular = false;
  grey.ambientOnly = true;
  FakeShadeContext src;
  src.ambientLight = Color(0.2f, 0.4f, 0.6f);
  src.AddLight(&red);
  src.AddLight(&grey);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shade);
    TarmatShadeContext ctx;
    ctx.Prepare(src, c.shade);
    for (int ch = 0; ch < 3; ++ch) EXPECT_NEAR(ctx.ambientLight[ch], c.ambient[ch], 1e-6f);
    ASSERT_EQ(ctx.nLights, 2);
    for (int n = 0; n < 2; ++n) {
      auto* wrapper = dynamic_cast<TarmatLightDesc*>(ctx.Light(n));
      ASSERT_NE(wrapper, nullptr);
      EXPECT_EQ(wrapper->Wrapped(), src.Light(n));
      EXPECT_EQ(wrapper->Factor(), c.shade);
      Color color;
      Point3 dir;
      float dotNL = 0.0f, diffuse = 0.0f;
      ASSERT_TRUE(wrapper->Illuminate(ctx, {0, 0, 1}, color, dir, dotNL, diffuse));
      EXPECT_EQ(color, src.lights[static_cast<size_t>(n)] == &red
                           ? Color(c.shade, 0.0f, 0.0f)
                           : Color(0.5f, 0.5f, 0.5f) * c.shade);
    }
    EXPECT_EQ(ctx.Light(-1), nullptr);
    EXPECT_EQ(ctx.Light(2), nullptr);
    const LightDesc* wrapped = ctx.Light(1);
    EXPECT_TRUE(wrapped->affectDiffuse);
    EXPECT_FALSE(wrapped->affectSpecular);
    EXPECT_TRUE(wrapped->ambientOnly);
  }
}

TEST(TarmatShadeContext, LightWrappersFollowTheLightCountAndKeepStorageWhileItStays) {
  TestDirectionalLight a, b, c;
  FakeShadeContext two, three;
  two.AddLight(&a), two.AddLight(&b);
  three.AddLight(&c), three.AddLight(&b), three.AddLight(&a);
  TarmatShadeContext ctx;
  ctx.Prepare(two, 1.0f);
  const LightDesc* first = ctx.Light(0);
  ctx.Prepare(two, 0.5f);
  EXPECT_EQ(ctx.Light(0), first);
  ctx.Prepare(three, 1.0f);
  ASSERT_EQ(ctx.nLights, 3);
  EXPECT_EQ(dynamic_cast<TarmatLightDesc*>(ctx.Light(0))->Wrapped(), &c);
  EXPECT_EQ(dynamic_cast<TarmatLightDesc*>(ctx.Light(2))->Wrapped(), &a);
  FakeShadeContext none;
  ctx.Prepare(none, 1.0f);
  EXPECT_EQ(ctx.nLights, 0);
  EXPECT_EQ(ctx.Light(0), nullptr);
  // A material that lowers nLights in the copy sees fewer lights.
  ctx.Prepare(three, 1.0f);
  ctx.nLights = 1;
  EXPECT_EQ(ctx.Light(1), nullptr);
}

// A light that counts the shadowed evaluations it is asked for.
class CountingLight : public TestDirectionalLight {
 public:
  bool Illuminate(ShadeContext& sc, const Point3& n, Color& c, Point3& dir, float& dot_nl,
                  float& coef) override {
    ++shadowed;
    return TestDirectionalLight::Illuminate(sc, n, c, dir, dot_nl, coef);
  }
  int shadowed = 0;
};

TEST(TarmatLightDesc, ALightDimmedToNothingCastsNoShadowRayButStillReaches) {
  CountingLight light;
  light.shadow = 0.0f;
  FakeShadeContext sc;
  TarmatLightDesc wrapper;
  wrapper.Set(&light, 0.0f);
  Color color(0.5f, 0.5f, 0.5f);
  Point3 dir;
  float dotNL = 0.0f, diffuse = 0.0f;
  EXPECT_TRUE(wrapper.Illuminate(sc, {0, 0, 1}, color, dir, dotNL, diffuse));
  EXPECT_EQ(color, Color(0, 0, 0));
  EXPECT_EQ(diffuse, 1.0f);
  EXPECT_EQ(light.shadowed, 0);
  light.reaches = false;
  EXPECT_FALSE(wrapper.Illuminate(sc, {0, 0, 1}, color, dir, dotNL, diffuse));
  wrapper.Set(&light, 0.5f);
  light.reaches = true;
  wrapper.Illuminate(sc, {0, 0, 1}, color, dir, dotNL, diffuse);
  EXPECT_EQ(light.shadowed, 1);
}

TEST(TarmatLightDesc, IlluminateScalesOnlyWhatReachesTheSample) {
  PlacedLight light;
  light.color = Color(0.8f, 0.4f, 0.2f);
  light.shadow = 0.5f;
  FakeShadeContext sc;
  TarmatLightDesc wrapper;
  wrapper.Set(&light, 0.25f);
  Color color;
  Point3 dir;
  float dotNL = 0.0f, diffuse = 0.0f;
  const Point3 n(0, 0.6f, 0.8f);
  ASSERT_TRUE(wrapper.Illuminate(sc, n, color, dir, dotNL, diffuse));
  EXPECT_EQ(color, Color(0.1f, 0.05f, 0.025f));
  EXPECT_EQ(dir, Point3(0, 1, 0));
  EXPECT_EQ(dotNL, 0.6f);
  EXPECT_EQ(diffuse, 0.6f);
  ASSERT_TRUE(wrapper.IlluminateNoShadow(sc, n, color, dir, dotNL, diffuse));
  EXPECT_EQ(color, Color(0.2f, 0.1f, 0.05f));
  EXPECT_EQ(wrapper.LightDirection(), Point3(0, -1, 0));
  EXPECT_EQ(wrapper.LightPosition(), Point3(1, 2, 3));

  // A light that does not reach the sample leaves the colour as it gave it.
  light.reaches = false;
  color = Color(0.3f, 0.3f, 0.3f);
  EXPECT_FALSE(wrapper.Illuminate(sc, {0, 0, 1}, color, dir, dotNL, diffuse));
  EXPECT_EQ(color, Color(0.3f, 0.3f, 0.3f));

  TarmatLightDesc empty;
  EXPECT_EQ(empty.Factor(), 1.0f);
  EXPECT_FALSE(empty.Illuminate(sc, {0, 0, 1}, color, dir, dotNL, diffuse));
  EXPECT_FALSE(empty.IlluminateNoShadow(sc, {0, 0, 1}, color, dir, dotNL, diffuse));
  light.ambientOnly = true;
  wrapper.Set(&light, 1.0f);
  EXPECT_TRUE(wrapper.ambientOnly);
  wrapper.Set(nullptr, 1.0f);
  EXPECT_FALSE(wrapper.ambientOnly);
}

TEST(ShadeContextPool, AReleasedContextIsHandedOutAgain) {
  ShadeContextPool pool;
  int i0 = -1, i1 = -1, i2 = -1;
  TarmatShadeContext* a = pool.Acquire(&i0);
  TarmatShadeContext* b = pool.Acquire(&i1);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(a, b);
  EXPECT_EQ(i0, 0);
  EXPECT_EQ(i1, 1);
  EXPECT_TRUE(a->InUse());
  pool.Release(a, i0);
  EXPECT_FALSE(a->InUse());
  EXPECT_EQ(pool.Acquire(&i2), a);
  EXPECT_EQ(i2, 0);
  EXPECT_EQ(pool.Count(), 2);
  // The search starts at the slot given back last, even with slot 0 free.
  pool.Release(a, i0);
  pool.Release(b, i1);
  pool.Release(nullptr, 0);
  EXPECT_EQ(pool.Acquire(&i2), b);
  EXPECT_EQ(i2, 1);
  EXPECT_EQ(pool.Acquire(&i2), a);
  EXPECT_EQ(i2, 0);
  EXPECT_EQ(pool.Count(), 2);
}

TEST(ShadeContextPool, AThreadTakesBackItsOwnContextUnlessAnotherHoldsIt) {
  ShadeContextPool pool;
  int mine = -1;
  TarmatShadeContext* first = pool.Acquire(&mine);
  pool.Release(first, mine);
  int again = -1;
  EXPECT_EQ(pool.Acquire(&again), first);
  EXPECT_EQ(again, mine);
  pool.Release(first, again);

  // Another thread takes it (its own last context is none of this pool's).
  TarmatShadeContext* taken = nullptr;
  std::thread([&] { taken = pool.Acquire(nullptr); }).join();
  EXPECT_EQ(taken, first);
  // This thread's shortcut now fails and the search hands out another.
  int other = -1;
  TarmatShadeContext* second = pool.Acquire(&other);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(second, first);
  EXPECT_EQ(other, 1);

  // A new pool never takes a context of an old one.
  pool.Release(second, other);
  ShadeContextPool fresh;
  TarmatShadeContext* own = fresh.Acquire(nullptr);
  EXPECT_NE(own, second);
  EXPECT_EQ(fresh.Count(), 1);
  EXPECT_FALSE(second->InUse()) << "the old pool's context stays free";
}

TEST(ShadeContextPool, GrowsBy16ThenByHalfTheCountPlusOne) {
  ShadeContextPool pool;
  EXPECT_EQ(pool.Capacity(), 0);
  std::vector<TarmatShadeContext*> held;
  const int expected[] = {16, 25, 38};
  for (int n = 1; n <= 38; ++n) {
    int index = -1;
    held.push_back(pool.Acquire(&index));
    ASSERT_NE(held.back(), nullptr);
    EXPECT_EQ(index, n - 1);
    EXPECT_EQ(pool.Count(), n);
    EXPECT_EQ(pool.Capacity(), n <= 16 ? expected[0] : (n <= 25 ? expected[1] : expected[2]));
  }
  // Growing never moves a context a thread holds.
  for (size_t i = 0; i < held.size(); ++i) {
    EXPECT_TRUE(held[i]->InUse());
    for (size_t j = 0; j < i; ++j) ASSERT_NE(held[i], held[j]);
  }
  pool.Release(held[30], 30);
  int index = -1;
  EXPECT_EQ(pool.Acquire(&index), held[30]);
  EXPECT_EQ(index, 30);
}

TEST(ShadeContextPool, ConcurrentThreadsNeverShareAContext) {
  constexpr int kThreads = 24;  // more than the first 16 slots
  constexpr int kRounds = 500;
  constexpr int kMaxSlots = 64;
  ShadeContextPool pool;
  std::array<std::atomic<int>, kMaxSlots> owners{};
  std::array<std::atomic<TarmatShadeContext*>, kMaxSlots> slots{};
  std::atomic<int> failures{0};
  std::barrier allHolding(kThreads);

  auto work = [&](int thread) {
    FakeShadeContext src;
    src.ambientLight = Color(0.1f * static_cast<float>(thread % 10), 0.0f, 0.0f);
    for (int round = 0; round < kRounds; ++round) {
      int index = -1;
      TarmatShadeContext* ctx = pool.Acquire(&index);
      if (!ctx || index < 0 || index >= kMaxSlots) {
        failures.fetch_add(1);
        if (round == 0) allHolding.arrive_and_wait();
        continue;
      }
      // Each slot keeps one context for the pool's life. The bookkeeping is
      // relaxed so that it adds no ordering of its own: whatever orders one
      // holder's writes before the next holder's must come from the pool.
      TarmatShadeContext* expected = nullptr;
      if (!slots[index].compare_exchange_strong(expected, ctx, std::memory_order_relaxed) &&
          expected != ctx)
        failures.fetch_add(1);
      if (owners[index].fetch_add(1, std::memory_order_relaxed) != 0) failures.fetch_add(1);
      // Writes into the context: two holders at once would race here.
      ctx->Prepare(src, 0.5f);
      if (ctx->Wrapped() != &src) failures.fetch_add(1);
      // The first round holds all contexts at once, so the pool must grow.
      if (round == 0) allHolding.arrive_and_wait();
      owners[index].fetch_sub(1, std::memory_order_relaxed);
      pool.Release(ctx, index);
    }
  };
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) threads.emplace_back(work, t);
  for (std::thread& t : threads) t.join();

  EXPECT_EQ(failures.load(), 0);
  // Never more contexts than threads holding them at once.
  EXPECT_EQ(pool.Count(), kThreads);
  EXPECT_EQ(pool.Capacity(), 25);
  for (int i = 0; i < kThreads; ++i) {
    ASSERT_NE(slots[i].load(), nullptr);
    EXPECT_FALSE(slots[i].load()->InUse()) << i;
  }
}

}  // namespace
}  // namespace tarnis
