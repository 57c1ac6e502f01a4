// Shared fixtures of the renderer's tests: small test materials (Lambert,
// constant colour, UVW as colour, transparent, one that writes render
// element values, one that records what its shade context answers), a test
// render element and effect, a frame sink that keeps frames, and
// RenderTestScene, a scene builder with cameras, lights and meshes.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "host/primitives.h"
#include "host/renderer.h"
#include "host/scene.h"
#include "sdk/effect.h"
#include "sdk/mtl.h"

namespace host::render_testing {

// Shared by the test materials: nothing to update, valid forever.
class TestMtlBase : public Mtl {
 public:
  void Update(TimeValue, Interval&) override { ++updates; }
  Interval Validity(TimeValue) override { return FOREVER; }
  uint32_t Requirements(int) override { return twoSided ? MTLREQ_2SIDE : 0; }
  bool twoSided = false;
  int updates = 0;
};

// colour x (ambient + sum of diffuseCoef x light colour).
class LambertMtl : public TestMtlBase {
 public:
  explicit LambertMtl(Color c = Color(1.0f, 1.0f, 1.0f)) : color(c) {}
  void Shade(ShadeContext& sc) override {
    Color light = sc.ambientLight;
    for (int i = 0; i < sc.nLights; ++i) {
      Color c;
      Point3 dir;
      float dotNL = 0.0f, diffuse = 0.0f;
      if (sc.Light(i)->Illuminate(sc, sc.Normal(), c, dir, dotNL, diffuse)) light += c * diffuse;
    }
    sc.out.c = color * light;
  }
  Color color;
};

// The same colour everywhere, lights or not; optionally partly transparent.
class ConstantMtl : public TestMtlBase {
 public:
  explicit ConstantMtl(Color c, Color t = Color()) : color(c), transparency(t) {}
  void Shade(ShadeContext& sc) override {
    sc.out.c = color;
    sc.out.t = transparency;
  }
  Color color, transparency;
};

// UVW of a channel as the colour.
class UvwMtl : public TestMtlBase {
 public:
  void Shade(ShadeContext& sc) override { sc.out.c = Color(sc.UVW(channel)); }
  int channel = 1;
};

// Writes `value` into the element whose index the element reports.
class ElementMtl : public TestMtlBase {
 public:
  ElementMtl(IRenderElement* e, AColor v) : element(e), value(v) {}
  void Shade(ShadeContext& sc) override {
    sc.out.c = Color(0.5f, 0.5f, 0.5f);
    int i = element->ShadeOutputIndex();
    if (i >= 0 && i < sc.out.nElements) sc.out.elementVals[i] = value;
  }
  IRenderElement* element;
  AColor value;
};

// Records what the shade context answers for every sample (thread safe).
class ProbeMtl : public TestMtlBase {
 public:
  struct Record {
    IPoint2 pixel;
    Point3 p, normal, gNormal, view, reflect, uvw, duvw, dp, pObj, pRelBox, pWorld, bary;
    Point3 dpduvw[3];
    float curve = 0.0f;
    bool backFace = false, inMtlEditor = false;
    int face = -1, mtlNum = -1, projType = -1;
    INode* node = nullptr;
  };
  void Shade(ShadeContext& sc) override {
    Record r;
    r.pixel = sc.ScreenCoord();
    r.p = sc.P(), r.normal = sc.Normal(), r.gNormal = sc.GNormal(), r.view = sc.V();
    r.reflect = sc.ReflectVector();
    r.uvw = sc.UVW(1), r.duvw = sc.DUVW(1), r.dp = sc.DP();
    r.pObj = sc.PObj(), r.pRelBox = sc.PObjRelBox(), r.pWorld = sc.PointTo(sc.P(), REF_WORLD);
    r.bary = sc.BarycentricCoords();
    sc.DPdUVW(r.dpduvw, 1);
    r.curve = sc.Curve();
    r.backFace = sc.backFace, r.inMtlEditor = sc.InMtlEditor();
    r.face = sc.FaceNumber(), r.mtlNum = sc.mtlNum, r.projType = sc.ProjType();
    r.node = sc.Node();
    sc.out.c = Color(0.5f, 0.5f, 0.5f);
    std::lock_guard<std::mutex> lock(mutex_);
    records.push_back(r);
  }
  std::vector<Record> records;

 private:
  std::mutex mutex_;
};

// A render element with nothing of its own: the tests' materials fill it.
class TestElement : public IRenderElement {};

// Calls `apply` from Apply; records the context it was given.
class TestEffect : public Effect {
 public:
  void Apply(TimeValue t, Bitmap* bm, RenderGlobalContext* gc, CheckAbortCallback*) override {
    if (apply) apply(t, bm, gc);
  }
  void Update(TimeValue, Interval&) override { ++updates; }
  std::function<void(TimeValue, Bitmap*, RenderGlobalContext*)> apply;
  int updates = 0;
};

// Keeps every frame it is given; can be told to refuse.
class MemorySink : public FrameSink {
 public:
  bool WriteFrame(const FrameResult& frame, std::string* error) override {
    if (refuse) {
      *error = "the sink refused";
      return false;
    }
    frames.push_back(frame);
    return true;
  }
  std::vector<FrameResult> frames;
  bool refuse = false;
};

inline Mesh MakeMesh(const PrimitiveParams& params) {
  Mesh m;
  std::string error;
  EXPECT_TRUE(MakePrimitive(params, m, &error)) << error;
  return m;
}
inline Mesh SphereMesh(float radius, int segments) {
  PrimitiveParams p;
  p.type = "sphere", p.radius = radius, p.segments = segments;
  return MakeMesh(p);
}
inline Mesh PlaneMesh(float sx, float sy) {
  PrimitiveParams p;
  p.type = "plane", p.size = Point3(sx, sy, 0.0f), p.segments = 1;
  return MakeMesh(p);
}
inline Mesh BoxMesh(const Point3& size) {
  PrimitiveParams p;
  p.type = "box", p.size = size;
  return MakeMesh(p);
}

// A scene with settings for a small single-threaded render.
class RenderTestScene {
 public:
  RenderTestScene(int width = 48, int height = 48) {
    settings.width = width, settings.height = height;
    settings.samples = 1;
    settings.threads = 1;
    // The tests read what the camera saw from alpha: the background stays transparent.
    settings.alpha = true;
  }

  HostNode* AddCamera(const Point3& position, const Point3& target, float fovDegrees,
                      const Point3& up = Point3(0.0f, 0.0f, 1.0f)) {
    auto* camera = new CameraObject;
    camera->fovDegrees = fovDegrees;
    return PlaceCamera(camera, position, target, up);
  }
  HostNode* AddOrthoCamera(const Point3& position, const Point3& target, float viewWidth,
                           const Point3& up = Point3(0.0f, 0.0f, 1.0f)) {
    auto* camera = new CameraObject;
    camera->type = CameraObject::Type::kOrthographic;
    camera->width = viewWidth;
    return PlaceCamera(camera, position, target, up);
  }
  HostNode* AddLight(LightObject::Type type, const Point3& position, const Point3& target,
                     bool castShadows = false) {
    auto* light = new LightObject;
    light->type = type;
    light->castShadows = castShadows;
    HostNode* node = scene.CreateNode("Light" + std::to_string(++count_));
    node->SetObject(light);
    node->position = position;
    node->target = target;
    return node;
  }
  HostNode* AddMesh(Mesh mesh, Mtl* mtl, const Point3& position = Point3()) {
    auto* geom = new GeomObject;
    geom->mesh = std::move(mesh);
    HostNode* node = scene.CreateNode("Mesh" + std::to_string(++count_));
    node->SetObject(geom);
    node->SetMtl(mtl);
    node->position = position;
    return node;
  }

  RenderReport Render() { return RenderSequence(scene, settings, sink); }
  // The first frame's pixel as floats.
  AColor Pixel(int x, int y, size_t frame = 0) const {
    return FromColor64(sink.frames.at(frame).image.GetPixel(x, y));
  }

  Scene scene;
  RenderSettings settings;
  MemorySink sink;

 private:
  HostNode* PlaceCamera(CameraObject* camera, const Point3& position, const Point3& target,
                        const Point3& up) {
    HostNode* node = scene.CreateNode("Camera");
    node->SetObject(camera);
    node->position = position;
    node->target = target;
    node->up = up;
    scene.cameraNode = node;
    return node;
  }
  int count_ = 0;
};

}  // namespace host::render_testing
