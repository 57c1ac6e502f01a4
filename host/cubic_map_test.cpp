// Tests of the reflect/refract map against a fake RenderMapsContext that
// paints every face as the renderer would see it: faces picked by the
// reflect vector, directions landing where they were rendered, one cube per
// node, reuse within a frame run, cancellation, the cube centre and blur.
#include "host/cubic_map.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "sdk/notify.h"
#include "sdk/testing/fake_shade_context.h"

namespace host {
namespace {

// Paints sub-views like the renderer's projection (MapToScreen) would show a
// world whose colour in direction d is 0.5 + 0.5 d (times a per-node tint),
// or one solid colour per view direction, or a one-pixel checkerboard.
class FakeMapsContext : public RenderMapsContext {
 public:
  enum class Paint { kDirections, kFaceColours, kPixelChecker };

  INode* GetNode() override { return nullptr; }
  int NodeRenderID() override { return nodeId; }
  TimeValue CurrentTime() override { return 0; }
  RenderGlobalContext* GetGlobalContext() override { return globalContext; }
  bool Render(Bitmap* bm, ViewParams& vp, SubRendParams& srp, const Point4*, int) override {
    ++renders;
    if (cancelAfter >= 0 && renders > cancelAfter) return false;
    const Matrix3 camToWorld = Inverse(vp.affineTM);
    camToWorlds.push_back(camToWorld);
    EXPECT_FLOAT_EQ(vp.fov, std::numbers::pi_v<float> / 2);
    EXPECT_EQ(vp.projType, PROJ_PERSPECTIVE);
    EXPECT_EQ(bm->Width(), srp.devWidth);
    EXPECT_EQ(bm->Width(), bm->Height());
    const int w = bm->Width(), h = bm->Height();
    const Point3 forward = -camToWorld.GetRow(2);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const Point3 cam((x + 0.5f) / w * 2.0f - 1.0f, 1.0f - (y + 0.5f) / h * 2.0f, -1.0f);
        const Point3 d = Normalize(VectorTransform(camToWorld, cam));
        AColor c;
        switch (paint) {
          case Paint::kDirections:
            c = AColor(Color(0.5f + 0.5f * d.x, 0.5f + 0.5f * d.y, 0.5f + 0.5f * d.z) * tint);
            break;
          case Paint::kFaceColours:
            c = AColor(0.5f + 0.5f * forward.x, 0.5f + 0.5f * forward.y, 0.5f + 0.5f * forward.z);
            break;
          case Paint::kPixelChecker:
            c = (x + y) % 2 ? AColor(1, 1, 1, 1) : AColor(0, 0, 0, 1);
            break;
        }
        bm->PutPixel(x, y, ToColor64(c));
      }
    }
    return true;
  }

  int nodeId = 0;
  RenderGlobalContext* globalContext = nullptr;
  Paint paint = Paint::kDirections;
  float tint = 1.0f;
  int renders = 0;
  int cancelAfter = -1;
  std::vector<Matrix3> camToWorlds;
};

class FakeInstance : public RenderInstance {
 public:
  INode* GetINode() override { return nullptr; }
  int NodeRenderId() override { return 0; }
  Mesh* GetMesh() override { return nullptr; }
  Mtl* GetMtl(int) override { return nullptr; }
  Mtl* GetNodeMtl() override { return nullptr; }
  Point3 GetWorldVert(int) override { return {}; }
  Point3 GetCamVert(int) override { return {}; }
};

class FakeGlobalContext : public RenderGlobalContext {
 public:
  int NumRenderInstances() override { return 1; }
  RenderInstance* GetRenderInstance(int i) override { return i == 0 ? &instance : nullptr; }
  FakeInstance instance;
};

class StdCubicTest : public ::testing::Test {
 protected:
  void SetUp() override {
    map->ParamBlock()->SetValue(kCbSize, 0, 64);
    sc.SetAllNormals({0, 0, 1});
    // Camera space turned against world space, so the lookup must convert.
    sc.camToWorld = RotateZMatrix(0.7f) * RotateXMatrix(0.3f);
  }
  // The colour for a world-space reflect vector.
  AColor ReflectingTowards(const Point3& world, int node = 0) {
    const Point3 r = sc.VectorFrom(world, REF_WORLD);
    sc.view = {r.x, r.y, -r.z};  // mirrors about camera +z into r
    sc.nodeID = node;
    return map->EvalColor(sc);
  }
  bool Build(TimeValue t = 0) { return map->BuildMaps(t, rmc); }

  StdCubic* map = new StdCubic();
  ReferenceHolder holder{map};
  FakeMapsContext rmc;
  FakeShadeContext sc;
};

TEST_F(StdCubicTest, AxisReflectVectorsPickTheirFaces) {
  rmc.paint = FakeMapsContext::Paint::kFaceColours;
  ASSERT_TRUE(Build());
  EXPECT_EQ(rmc.renders, 6);
  for (int f = 0; f < 6; ++f) {
    const Point3 axis = StdCubic::FaceDirection(f);
    EXPECT_EQ(StdCubic::FaceOf(axis), f);
    // Slightly off the axis stays on the same face.
    const Point3 d = Normalize(axis + Point3(0.2f, -0.15f, 0.1f) * 0.5f);
    for (const Point3& dir : {axis, d}) {
      const AColor c = ReflectingTowards(dir);
      EXPECT_NEAR(c.r, 0.5f + 0.5f * axis.x, 1e-3f) << f;
      EXPECT_NEAR(c.g, 0.5f + 0.5f * axis.y, 1e-3f) << f;
      EXPECT_NEAR(c.b, 0.5f + 0.5f * axis.z, 1e-3f) << f;
    }
  }
}

TEST_F(StdCubicTest, DirectionsLandWhereTheyWereRendered) {
  ASSERT_TRUE(Build());
  const Point3 dirs[] = {
      {1, 0, 0},           {-1, 0, 0},           {0, 1, 0},        {0, -1, 0},
      {0, 0, 1},           {0, 0, -1},           {1, 0.3f, -0.2f}, {-0.2f, 0.5f, 0.9f},
      {0.4f, -0.9f, 0.1f}, {-0.6f, -0.6f, 0.55f}};
  for (const Point3& raw : dirs) {
    const Point3 d = Normalize(raw);
    const AColor c = ReflectingTowards(d);
    EXPECT_NEAR(c.r, 0.5f + 0.5f * d.x, 0.01f) << d.x << " " << d.y << " " << d.z;
    EXPECT_NEAR(c.g, 0.5f + 0.5f * d.y, 0.01f) << d.x << " " << d.y << " " << d.z;
    EXPECT_NEAR(c.b, 0.5f + 0.5f * d.z, 0.01f) << d.x << " " << d.y << " " << d.z;
  }
  // With refraction on (index 1) the view goes straight through.
  map->ParamBlock()->SetValue(kCbRefract, 0, true);
  Interval valid = FOREVER;
  map->Update(0, valid);
  sc.view = Normalize(Point3(0.3f, -0.2f, -1.0f));
  const Point3 through = Normalize(sc.VectorTo(sc.view, REF_WORLD));
  EXPECT_NEAR(map->EvalColor(sc).g, 0.5f + 0.5f * through.y, 0.01f);
}

TEST_F(StdCubicTest, EachNodeKeepsItsOwnCube) {
  rmc.nodeId = 0, rmc.tint = 1.0f;
  ASSERT_TRUE(Build());
  rmc.nodeId = 1, rmc.tint = 0.5f;
  ASSERT_TRUE(Build());
  EXPECT_EQ(map->NumCubes(), 2);
  EXPECT_NEAR(ReflectingTowards({0, 0, 1}, 0).b, 1.0f, 0.01f);
  EXPECT_NEAR(ReflectingTowards({0, 0, 1}, 1).b, 0.5f, 0.01f);
  EXPECT_EQ(ReflectingTowards({0, 0, 1}, 7), AColor(0, 0, 0, 0)) << "no cube: transparent black";
}

TEST_F(StdCubicTest, CubesAreReusedWithinARunOfFramesAndRebuiltAfter) {
  const TimeValue frame = GetTicksPerFrame();
  ASSERT_TRUE(Build(0));
  ASSERT_TRUE(Build(0));
  EXPECT_EQ(rmc.renders, 6) << "the same frame reuses the cube";
  ASSERT_TRUE(Build(frame));
  EXPECT_EQ(rmc.renders, 12) << "every frame by default";
  map->ParamBlock()->SetValue(kCbNthFrame, 0, 3);
  map->ClearCubes();
  rmc.renders = 0;
  for (int f = 0; f < 7; ++f) ASSERT_TRUE(Build(f * frame));
  EXPECT_EQ(rmc.renders, 18) << "frames 0, 3 and 6";
  map->ParamBlock()->SetValue(kCbSize, 0, 32);
  ASSERT_TRUE(Build(6 * frame));
  EXPECT_EQ(rmc.renders, 24) << "a new size needs new faces";
  BroadcastNotification(NOTIFY_PRE_RENDER);
  EXPECT_EQ(map->NumCubes(), 0) << "a new render starts afresh";
}

TEST_F(StdCubicTest, ACancelledFaceDropsTheCube) {
  ASSERT_TRUE(Build(0));
  rmc.cancelAfter = 8;
  EXPECT_FALSE(Build(GetTicksPerFrame()));
  EXPECT_EQ(map->NumCubes(), 0);
  EXPECT_EQ(ReflectingTowards({1, 0, 0}), AColor(0, 0, 0, 0));
}

TEST_F(StdCubicTest, FacesAreRenderedFromTheCentreOfTheWorldBox) {
  FakeGlobalContext gc;
  gc.instance.obBox = Box3({-1, -2, -3}, {1, 2, 1});
  gc.instance.objToWorld = TranslationMatrix({5, 0, 2});
  rmc.globalContext = &gc;
  ASSERT_TRUE(Build());
  ASSERT_EQ(rmc.camToWorlds.size(), 6u);
  for (int f = 0; f < 6; ++f) {
    const Matrix3& m = rmc.camToWorlds[static_cast<size_t>(f)];
    EXPECT_NEAR((m.GetTrans() - Point3(5, 0, 1)).Length(), 0.0f, 1e-5f);
    EXPECT_NEAR((-m.GetRow(2) - StdCubic::FaceDirection(f)).Length(), 0.0f, 1e-6f);
    EXPECT_NEAR(m.Determinant(), 1.0f, 1e-5f) << "a right-handed, unscaled camera";
  }
}

TEST_F(StdCubicTest, BlurAveragesNeighbouringPixels) {
  rmc.paint = FakeMapsContext::Paint::kPixelChecker;
  ASSERT_TRUE(Build());
  const Point3 d = Normalize(Point3(1.0f, 0.1f, 0.05f));
  const float sharp = ReflectingTowards(d).r;
  map->ParamBlock()->SetValue(kCbBlur, 0, 2);
  ASSERT_TRUE(Build());
  const float blurred = ReflectingTowards(d).r;
  EXPECT_NEAR(blurred, 0.5f, 0.05f);
  EXPECT_GT(std::fabs(sharp - 0.5f), 0.05f) << "without blur the pixels show";
}

}  // namespace
}  // namespace host
