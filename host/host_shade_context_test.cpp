// What the renderer's shade context answers, checked against geometry with
// known answers: mapping coordinates and their footprints on a plane, and
// points, normals, curvature and transforms on a sphere.
#include "host/host_shade_context.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "host/testing/render_test_scene.h"
#include "sdk/angles.h"

namespace host {
namespace {

using render_testing::ProbeMtl;
using render_testing::RenderTestScene;
using render_testing::UvwMtl;

TEST(HostShadeContext, UvwOnAPlaneMatchesItsPositionAtPixelCentres) {
  // A 4 x 4 plane seen straight down by a parallel camera 8 units wide.
  RenderTestScene s(32, 32);
  s.AddOrthoCamera({0, 0, 10}, {0, 0, 0}, 8.0f, {0, 1, 0});
  s.AddMesh(render_testing::PlaneMesh(4, 4), new UvwMtl);
  ASSERT_EQ(s.Render().status, RenderStatus::kDone);
  const float unitsPerPixel = 8.0f / 32.0f;
  int inside = 0;
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      float wx = (x + 0.5f - 16) * unitsPerPixel, wy = -(y + 0.5f - 16) * unitsPerPixel;
      if (std::fabs(wx) >= 2 || std::fabs(wy) >= 2) {
        EXPECT_EQ(s.Pixel(x, y).a, 0.0f);
        continue;
      }
      ++inside;
      EXPECT_NEAR(s.Pixel(x, y).r, (wx + 2) / 4, 1e-4f);
      EXPECT_NEAR(s.Pixel(x, y).g, (wy + 2) / 4, 1e-4f);
    }
  }
  EXPECT_EQ(inside, 16 * 16);
}

TEST(HostShadeContext, FootprintsOnAFlatPlaneAreOnePixelOfUvAndPosition) {
  RenderTestScene s(16, 16);
  s.AddOrthoCamera({0, 0, 10}, {0, 0, 0}, 8.0f, {0, 1, 0});
  auto* probe = new ProbeMtl;
  s.AddMesh(render_testing::PlaneMesh(4, 4), probe);
  ASSERT_EQ(s.Render().status, RenderStatus::kDone);
  ASSERT_EQ(probe->records.size(), 64u);
  const float pixel = 0.5f;  // scene units
  for (const ProbeMtl::Record& r : probe->records) {
    EXPECT_NEAR(r.duvw.x, pixel / 4, 1e-5f);
    EXPECT_NEAR(r.duvw.y, pixel / 4, 1e-5f);
    EXPECT_NEAR(r.duvw.z, 0.0f, 1e-6f);
    EXPECT_NEAR(r.dp.x, pixel, 1e-5f);
    EXPECT_NEAR(r.dp.y, pixel, 1e-5f);
    // Camera x and y are world x and y here; u runs along x, v along y.
    EXPECT_LT((r.dpduvw[0] - Point3(4, 0, 0)).Length(), 1e-4f);
    EXPECT_LT((r.dpduvw[1] - Point3(0, 4, 0)).Length(), 1e-4f);
    EXPECT_LT((r.dpduvw[2] - Point3(0, 0, 1)).Length(), 1e-5f);
    EXPECT_EQ(r.curve, 0.0f);
  }
}

TEST(HostShadeContext, FootprintIsTheChangeToTheNeighbouringPixelUnderPerspective) {
  RenderTestScene s(24, 24);
  s.AddCamera({1, -6, 4}, {0, 0, 0}, 50.0f);
  auto* probe = new ProbeMtl;
  s.AddMesh(render_testing::PlaneMesh(8, 8), probe);
  ASSERT_EQ(s.Render().status, RenderStatus::kDone);
  std::map<std::pair<int, int>, const ProbeMtl::Record*> byPixel;
  for (const ProbeMtl::Record& r : probe->records) byPixel[{r.pixel.x, r.pixel.y}] = &r;
  int compared = 0;
  for (const auto& [pixel, r] : byPixel) {
    auto right = byPixel.find({pixel.first + 1, pixel.second});
    auto below = byPixel.find({pixel.first, pixel.second + 1});
    if (right == byPixel.end() || below == byPixel.end()) continue;
    Point3 dx = right->second->uvw - r->uvw, dy = below->second->uvw - r->uvw;
    EXPECT_NEAR(r->duvw.x, std::fabs(dx.x) + std::fabs(dy.x), 1e-5f);
    EXPECT_NEAR(r->duvw.y, std::fabs(dx.y) + std::fabs(dy.y), 1e-5f);
    Point3 px = right->second->p - r->p, py = below->second->p - r->p;
    EXPECT_NEAR(r->dp.x, std::fabs(px.x) + std::fabs(py.x), 1e-4f);
    EXPECT_NEAR(r->dp.z, std::fabs(px.z) + std::fabs(py.z), 1e-4f);
    ++compared;
  }
  EXPECT_GT(compared, 100);
}

TEST(HostShadeContext, SphereSamplesAgreeWithTheSphere) {
  RenderTestScene s(32, 32);
  const float fov = 25.0f;
  HostNode* cam = s.AddCamera({2, -9, 3}, {1, 3, 0.5f}, fov);
  const Point3 centre(1, 3, 0.5f);
  const float radius = 2.0f;
  auto* probe = new ProbeMtl;
  HostNode* node = s.AddMesh(render_testing::SphereMesh(radius, 192), probe, centre);
  ASSERT_EQ(s.Render().status, RenderStatus::kDone);
  ASSERT_GT(probe->records.size(), 300u);
  const Matrix3 worldToCam = Inverse(cam->GetNodeTM(0));
  const float focal = 16.0f / std::tan(fov / 2 * kDegToRad);
  for (const ProbeMtl::Record& r : probe->records) {
    EXPECT_NEAR((r.pWorld - centre).Length(), radius, 0.01f);
    EXPECT_LT((r.pObj - (r.pWorld - centre)).Length(), 1e-4f);
    Point3 expectedN = Normalize(VectorTransform(worldToCam, r.pWorld - centre));
    EXPECT_GT(DotProd(r.normal, expectedN), 0.9995f);
    EXPECT_GT(DotProd(r.gNormal, expectedN), 0.99f);
    EXPECT_NEAR(r.curve, 1.0f / radius, 0.02f);
    EXPECT_LT((r.view - Normalize(r.p)).Length(), 1e-5f);
    // Mirror: same angle to the normal on the other side, unit length.
    EXPECT_NEAR(DotProd(r.reflect, r.normal), -DotProd(r.view, r.normal), 1e-5f);
    EXPECT_NEAR(r.reflect.Length(), 1.0f, 1e-5f);
    for (int i = 0; i < 3; ++i) EXPECT_LE(std::fabs(r.pRelBox[i]), 1.0f + 1e-5f);
    EXPECT_NEAR(r.bary.x + r.bary.y + r.bary.z, 1.0f, 1e-5f);
    EXPECT_EQ(r.node, node);
    EXPECT_EQ(r.projType, PROJ_PERSPECTIVE);
    EXPECT_FALSE(r.backFace);
    // One sample per pixel, at its centre.
    EXPECT_NEAR(16.0f + r.p.x * -focal / r.p.z, r.pixel.x + 0.5f, 1e-3f);
    EXPECT_NEAR(16.0f - r.p.y * -focal / r.p.z, r.pixel.y + 0.5f, 1e-3f);
  }
}

}  // namespace
}  // namespace host
