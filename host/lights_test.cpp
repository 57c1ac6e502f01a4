// Lights and the ray scene they trace shadows through: direction, colour,
// the spot cone's smooth edge, surfaces facing away, ambient-only lights,
// shadows with and without the shadow switch; and which hits the ray scene
// accepts.
#include "host/lights.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "host/ray_scene.h"
#include "sdk/angles.h"
#include "sdk/testing/fake_shade_context.h"

namespace host {
namespace {

struct LightResult {
  bool reached;
  Color color;
  Point3 dir;
  float dotNL, diffuse;
};

LightResult illuminate(HostLight& light, const Point3& p, const Point3& n, bool shadows = true) {
  FakeShadeContext sc;
  sc.p = p;
  sc.SetAllNormals(n);
  LightResult r{};
  r.reached = shadows
                  ? light.Illuminate(sc, sc.Normal(), r.color, r.dir, r.dotNL, r.diffuse)
                  : light.IlluminateNoShadow(sc, sc.Normal(), r.color, r.dir, r.dotNL, r.diffuse);
  return r;
}

// A light node's source, through a throw-away scene.
LightSource sourceOf(LightObject::Type type, const Point3& position, const Point3& target,
                     const std::function<void(LightObject&)>& setup = nullptr) {
  Scene scene;
  auto* light = new LightObject;
  if (setup) setup(*light);
  light->type = type;
  HostNode* node = scene.CreateNode("light");
  node->SetObject(light);
  node->position = position;
  node->target = target;
  return *LightSourceOf(node, 0);
}

TEST(Lights, DirectionColourAndCosineForEachKind) {
  auto setup = [](LightObject& l) {
    l.color = Color(1.0f, 0.5f, 0.25f);
    l.multiplier = 2.0f;
  };
  struct Case {
    LightObject::Type type;
    Point3 position, target;
    Point3 point, normal;
    Point3 towardsLight;
  } cases[] = {
      {LightObject::Type::kOmni, {0, 0, 10}, {0, 0, 0}, {0, 0, 0}, {0, 0, 1}, {0, 0, 1}},
      {LightObject::Type::kOmni, {3, 0, 4}, {0, 0, 0}, {0, 0, 0}, {0, 0, 1}, {0.6f, 0, 0.8f}},
      // A directional light shines from its position towards its target everywhere.
      {LightObject::Type::kDirectional, {0, 0, 5}, {3, 0, 5}, {7, 7, 7}, {-1, 0, 0}, {-1, 0, 0}},
      {LightObject::Type::kSpot, {0, 0, 10}, {0, 0, 0}, {0, 0, 0}, {0, 0, 1}, {0, 0, 1}},
  };
  for (const Case& c : cases) {
    LightSource src = sourceOf(c.type, c.position, c.target, setup);
    auto light = MakeHostLight(src, Matrix3(), nullptr);
    LightResult r = illuminate(*light, c.point, c.normal);
    ASSERT_TRUE(r.reached);
    EXPECT_LT((r.dir - c.towardsLight).Length(), 1e-5f);
    EXPECT_NEAR(r.dotNL, DotProd(c.normal, c.towardsLight), 1e-5f);
    EXPECT_NEAR(r.diffuse, std::max(0.0f, r.dotNL), 1e-6f);
    EXPECT_EQ(r.color, Color(2.0f, 1.0f, 0.5f));
  }
}

TEST(Lights, SpotConeFadesSmoothlyFromHotspotToFalloff) {
  auto setup = [](LightObject& l) { l.hotspotDegrees = 20.0f, l.falloffDegrees = 40.0f; };
  auto spot = MakeHostLight(sourceOf(LightObject::Type::kSpot, {0, 0, 10}, {0, 0, 0}, setup),
                            Matrix3(), nullptr);
  float previous = 2.0f;
  for (float degrees : {0.0f, 9.5f, 11.0f, 14.0f, 17.0f, 19.5f, 21.0f, 30.0f}) {
    Point3 p(10.0f * std::tan(degrees * kDegToRad), 0, 0);
    LightResult r = illuminate(*spot, p, {0, 0, 1});
    float intensity = r.reached ? r.color.r : 0.0f;
    SCOPED_TRACE(degrees);
    if (degrees < 10.0f) {
      EXPECT_FLOAT_EQ(intensity, 1.0f);
    } else if (degrees > 20.0f) {
      EXPECT_FALSE(r.reached);
    } else {
      EXPECT_GT(intensity, 0.0f);
      EXPECT_LT(intensity, 1.0f);
      EXPECT_LT(intensity, previous);
    }
    previous = intensity;
  }
}

TEST(Lights, SurfacesFacingAwayAndAmbientOnlyLights) {
  auto omni =
      MakeHostLight(sourceOf(LightObject::Type::kOmni, {0, 0, 10}, {0, 0, 0}), Matrix3(), nullptr);
  LightResult away = illuminate(*omni, {0, 0, 0}, {0, 0, -1});
  EXPECT_TRUE(away.reached);
  EXPECT_NEAR(away.dotNL, -1.0f, 1e-6f);
  EXPECT_EQ(away.diffuse, 0.0f);

  auto setup = [](LightObject& l) {
    l.ambientOnly = true;
    l.color = Color(0.2f, 0.3f, 0.4f);
  };
  auto ambient = MakeHostLight(sourceOf(LightObject::Type::kOmni, {0, 0, 10}, {0, 0, 0}, setup),
                               Matrix3(), nullptr);
  EXPECT_TRUE(ambient->ambientOnly);
  LightResult r = illuminate(*ambient, {0, 0, 0}, {0, 0, -1});
  EXPECT_TRUE(r.reached);
  EXPECT_EQ(r.color, Color(0.2f, 0.3f, 0.4f));
}

// One 2 x 2 square in the plane z = `z`, facing +z.
struct Square {
  explicit Square(float z) {
    verts = {{-1, -1, z}, {1, -1, z}, {1, 1, z}, {-1, 1, z}};
    faces.resize(2);
    faces[0].setVerts(0, 1, 2);
    faces[1].setVerts(0, 2, 3);
    twoSided.assign(2, 0);
  }
  RayGeometry Geometry() const {
    RayGeometry g;
    g.worldVerts = &verts, g.faces = &faces, g.faceTwoSided = &twoSided;
    return g;
  }
  std::vector<Point3> verts;
  std::vector<Face> faces;
  std::vector<uint8_t> twoSided;
};

TEST(Lights, CastShadowsTraceTowardsTheLight) {
  RayDevice device;
  RayScene rays(device);
  Square blocker(5.0f);
  rays.AddGeometry(0, blocker.Geometry());
  rays.Commit();
  for (bool cast : {true, false}) {
    auto setup = [cast](LightObject& l) { l.castShadows = cast; };
    auto light = MakeHostLight(sourceOf(LightObject::Type::kOmni, {0, 0, 10}, {0, 0, 0}, setup),
                               Matrix3(), &rays);
    EXPECT_EQ(illuminate(*light, {0, 0, 0}, {0, 0, 1}).color.r, cast ? 0.0f : 1.0f);
    EXPECT_EQ(illuminate(*light, {0, 0, 0}, {0, 0, 1}, false).color.r, 1.0f);
    // Beside the blocker the light arrives.
    EXPECT_EQ(illuminate(*light, {3, 0, 0}, {0, 0, 1}).color.r, 1.0f);
  }
}

TEST(RayScene, IntersectSkipsOneSidedBackFacesExcludedNodesAndTheSurfaceLeft) {
  RayDevice device;
  RayScene rays(device);
  Square near(1.0f), far(-1.0f);
  near.twoSided.assign(2, 1);
  rays.AddGeometry(0, near.Geometry());
  rays.AddGeometry(3, far.Geometry());
  rays.Commit();
  struct Case {
    const char* what;
    Point3 origin, dir;
    int exclude, skipInstance, skipFace;
    int instance;  // -1: no hit
    bool backFace;
  } cases[] = {
      {"front of the near square", {0.2f, 0.3f, 5}, {0, 0, -1}, -1, -1, -1, 0, false},
      {"near square left out", {0.2f, 0.3f, 5}, {0, 0, -1}, 0, -1, -1, 3, false},
      {"one-sided back skipped, two-sided back hit",
       {0.2f, 0.3f, -5},
       {0, 0, 1},
       -1,
       -1,
       -1,
       0,
       true},
      {"the face a ray leaves is not hit again", {0.5f, -0.5f, 1}, {0, 0, -1}, -1, 0, 0, 3, false},
      {"beside both", {5, 5, 5}, {0, 0, -1}, -1, -1, -1, -1, false},
  };
  for (const Case& c : cases) {
    RayQuery q;
    q.origin = c.origin, q.dir = c.dir;
    q.excludeInstance = c.exclude, q.skipInstance = c.skipInstance, q.skipFace = c.skipFace;
    RayHit hit;
    bool found = rays.Intersect(q, &hit);
    SCOPED_TRACE(c.what);
    ASSERT_EQ(found, c.instance >= 0);
    if (!found) continue;
    EXPECT_EQ(hit.instance, c.instance);
    EXPECT_EQ(hit.backFace, c.backFace);
    Point3 p = c.origin + c.dir * hit.t;
    const Square& sq = c.instance == 0 ? near : far;
    const Face& f = sq.faces[static_cast<size_t>(hit.face)];
    Point3 fromBary = sq.verts[f.v[0]] * hit.bary.x + sq.verts[f.v[1]] * hit.bary.y +
                      sq.verts[f.v[2]] * hit.bary.z;
    EXPECT_LT((p - fromBary).Length(), 1e-5f);
  }
  EXPECT_TRUE(rays.Occluded({0, 0, -5}, {0, 0, 1}, 0.0f, 100.0f));
  EXPECT_FALSE(rays.Occluded({0, 0, -5}, {0, 0, 1}, 0.0f, 3.0f));
}

TEST(DefaultLights, AKeyAndAFillShineFromBehindTheCameraAndTurnWithIt) {
  struct View {
    Point3 from, to;
  };
  for (const View& v : {View{{0, -10, 0}, {0, 0, 0}}, View{{7, 3, 5}, {-1, 2, 0}}}) {
    Matrix3 camToWorld = LookAtMatrix(v.from, v.to, {0, 0, 1});
    Point3 forward = Normalize(v.to - v.from);
    Point3 up = Normalize(VectorTransform(camToWorld, {0, 1, 0}));
    Point3 right = Normalize(VectorTransform(camToWorld, {1, 0, 0}));
    std::vector<LightSource> lights = DefaultLights(camToWorld);
    ASSERT_EQ(lights.size(), 2u);
    const LightSource& key = lights[0];
    const LightSource& fill = lights[1];
    for (const LightSource& l : lights) {
      EXPECT_EQ(l.type, LightObject::Type::kDirectional);
      EXPECT_NEAR(l.direction.Length(), 1.0f, 1e-5f);
      // Both light what the camera sees, from its side of the scene.
      EXPECT_GT(DotProd(l.direction, forward), 0.3f);
    }
    // The key comes from above left and casts shadows; the dimmer fill from the right.
    EXPECT_LT(DotProd(key.direction, up), 0.0f);
    EXPECT_GT(DotProd(key.direction, right), 0.0f);
    EXPECT_LT(DotProd(fill.direction, right), 0.0f);
    EXPECT_TRUE(key.castShadows);
    EXPECT_FALSE(fill.castShadows);
    EXPECT_GT(key.color.r, fill.color.r);
  }
}

}  // namespace
}  // namespace host
