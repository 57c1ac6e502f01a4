// Test fixtures of the line engine: small meshes (box, plane, sphere,
// crossing quads), a render context over them seen from a look-at camera,
// a test material (one- or two-sided, optionally a multi-material) and a
// line effect whose line sets list the scene's nodes. Used by tests and
// benchmarks.
#pragma once

#include <cmath>
#include <memory>
#include <vector>

#include "sdk/mesh.h"
#include "sdk/mtl.h"
#include "sdk/render.h"
#include "tarnis/line/chain/edge_chaining.h"
#include "tarnis/line/effect/line_manager.h"
#include "tarnis/line/effect/line_set.h"
#include "tarnis/line/effect/line_set_test_helpers.h"
#include "tarnis/line/engine/line_engine.h"

namespace tarnis::engine_testing {

using tarnis::testing::TestNode;

class TestMtl : public Mtl {
 public:
  explicit TestMtl(bool twoSided = false) : twoSided_(twoSided) {}
  void Shade(ShadeContext&) override {}
  void Update(TimeValue, Interval&) override {}
  Interval Validity(TimeValue) override { return FOREVER; }
  uint32_t Requirements(int) override { return twoSided_ ? MTLREQ_2SIDE : 0; }
  int NumSubMtls() override { return static_cast<int>(subs.size()); }
  Mtl* GetSubMtl(int i) override { return subs[static_cast<size_t>(i)]; }
  bool IsMultiMtl() override { return multi; }
  std::vector<Mtl*> subs;
  bool multi = false;

 private:
  bool twoSided_;
};

// A box from lo to hi: 12 faces, counter-clockwise from outside, one
// smoothing group per side (1 << side), material id = side.
inline Mesh BoxMesh(Point3 lo = Point3(-1, -1, -1), Point3 hi = Point3(1, 1, 1)) {
  Mesh m;
  for (int i = 0; i < 8; ++i) {
    m.verts.push_back(Point3((i & 1) ? hi.x : lo.x, (i & 2) ? hi.y : lo.y, (i & 4) ? hi.z : lo.z));
  }
  const int quads[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                           {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
  for (int s = 0; s < 6; ++s) {
    const int* q = quads[s];
    for (int t = 0; t < 2; ++t) {
      Face f;
      f.setVerts(q[0], q[1 + t], q[2 + t]);
      f.smGroup = 1u << s;
      f.matID = static_cast<uint16_t>(s);
      f.flags = t == 0 ? (EDGE_A | EDGE_B) : (EDGE_B | EDGE_C);
      m.faces.push_back(f);
    }
  }
  return m;
}

// A square in the plane z = 0 from -s to s, facing +z, two faces.
inline Mesh PlaneMesh(float s = 1.0f) {
  Mesh m;
  m.verts = {Point3(-s, -s, 0), Point3(s, -s, 0), Point3(s, s, 0), Point3(-s, s, 0)};
  Face a, b;
  a.setVerts(0, 1, 2);
  b.setVerts(0, 2, 3);
  m.faces = {a, b};
  return m;
}

// A latitude-longitude sphere, one smoothing group, closed.
inline Mesh SphereMesh(float r, int segments, int rings, Point3 centre = Point3()) {
  Mesh m;
  m.verts.push_back(centre + Point3(0, 0, r));
  for (int i = 1; i < rings; ++i) {
    const float th = 3.14159265f * static_cast<float>(i) / static_cast<float>(rings);
    for (int j = 0; j < segments; ++j) {
      const float ph = 6.2831853f * static_cast<float>(j) / static_cast<float>(segments);
      m.verts.push_back(centre + Point3(r * std::sin(th) * std::cos(ph),
                                        r * std::sin(th) * std::sin(ph), r * std::cos(th)));
    }
  }
  m.verts.push_back(centre + Point3(0, 0, -r));
  const uint32_t bottom = static_cast<uint32_t>(m.verts.size() - 1);
  auto ring = [&](int i, int j) {
    return static_cast<uint32_t>(1 + (i - 1) * segments + (j % segments));
  };
  auto add = [&](uint32_t a, uint32_t b, uint32_t c) {
    Face f;
    f.setVerts(a, b, c);
    f.smGroup = 1;
    m.faces.push_back(f);
  };
  for (int j = 0; j < segments; ++j) add(0, ring(1, j), ring(1, j + 1));
  for (int i = 1; i + 1 < rings; ++i) {
    for (int j = 0; j < segments; ++j) {
      add(ring(i, j), ring(i + 1, j), ring(i + 1, j + 1));
      add(ring(i, j), ring(i + 1, j + 1), ring(i, j + 1));
    }
  }
  for (int j = 0; j < segments; ++j) add(ring(rings - 1, j), bottom, ring(rings - 1, j + 1));
  return m;
}

class TestRenderInstance : public RenderInstance {
 public:
  TestRenderInstance(Mesh m, INode* n, Mtl* material, const Matrix3& toWorld,
                     const Matrix3& worldToCam, int id)
      : mesh(std::move(m)), node(n), mtl(material), id_(id) {
    objToWorld = toWorld;
    objToCam = toWorld * worldToCam;
    camToObj = Inverse(objToCam);
    normalObjToCam = NormalMatrix(objToCam);
    normalCamToObj = NormalMatrix(camToObj);
    obBox = mesh.getBoundingBox();
    if (objToWorld.Parity()) flags |= INST_TM_NEGPARITY;
  }
  INode* GetINode() override { return node; }
  int NodeRenderId() override { return id_; }
  Mesh* GetMesh() override { return &mesh; }
  Mtl* GetMtl(int face) override {
    if (!mtl || mtl->NumSubMtls() == 0 || !mtl->IsMultiMtl()) return mtl;
    return mtl->GetSubMtl(mesh.faces[static_cast<size_t>(face)].matID % mtl->NumSubMtls());
  }
  Mtl* GetNodeMtl() override { return mtl; }
  Point3 GetWorldVert(int i) override { return mesh.verts[static_cast<size_t>(i)] * objToWorld; }
  Point3 GetCamVert(int i) override { return mesh.verts[static_cast<size_t>(i)] * objToCam; }

  Mesh mesh;
  INode* node;
  Mtl* mtl;

 private:
  int id_;
};

// A perspective (or parallel) view of the scene from `eye` towards `target`.
class TestRenderContext : public RenderGlobalContext {
 public:
  TestRenderContext(Point3 eye, Point3 target, int width = 320, int height = 240,
                    bool parallel = false, float viewWidth = 6.0f) {
    devWidth = width;
    devHeight = height;
    camToWorld = LookAtMatrix(eye, target, Point3(0, 0, 1));
    worldToCam = Inverse(camToWorld);
    projType = parallel ? PROJ_PARALLEL : PROJ_PERSPECTIVE;
    const float fov = 0.785398f;
    xscale = parallel ? static_cast<float>(width) / viewWidth
                      : -(static_cast<float>(width) / 2.0f) / std::tan(fov / 2.0f);
    yscale = -xscale;
    xc = static_cast<float>(width) / 2.0f;
    yc = static_cast<float>(height) / 2.0f;
    view.affineTM = worldToCam;
    view.projType = projType;
    view.hither = 0.1f;
    view.yon = 1e30f;
    view.fov = fov;
  }
  int NumRenderInstances() override { return static_cast<int>(instances.size()); }
  RenderInstance* GetRenderInstance(int i) override {
    return instances[static_cast<size_t>(i)].get();
  }
  ViewParams* GetViewParams() override { return &view; }

  TestRenderInstance& Add(Mesh mesh, INode* node, Mtl* mtl, const Matrix3& toWorld = Matrix3()) {
    instances.push_back(std::make_unique<TestRenderInstance>(std::move(mesh), node, mtl, toWorld,
                                                             worldToCam, NumRenderInstances()));
    return *instances.back();
  }

  std::vector<std::unique_ptr<TestRenderInstance>> instances;
  ViewParams view;
};

// Switches every edge kind of both line types of `set` off.
inline void AllEdgesOff(LineSet* set) {
  for (int type = 1; type <= 2; ++type) {
    IParamBlock2* b = set->TypeBlock(type);
    for (ParamID id :
         {kTypeEdgeObject, kTypeEdgeNormal, kTypeEdgeMatID, kTypeEdgeSmooth, kTypeEdgeIsect}) {
      b->SetValue(id, 0, 0);
    }
  }
}

// The filed pieces of a job container as screen lines.
struct ScreenLine {
  Point2 a, b;
  float Length() const { return (b - a).Length(); }
};

inline std::vector<ScreenLine> PieceLines(const LineEngine& engine, const EdgeContainer& c) {
  std::vector<ScreenLine> out;
  for (const EdgePiece& p : c) {
    const EdgeSegment& s = engine.Segments()[SegmentIndex(p.segment)];
    out.push_back({s.At(p.t0), s.At(p.t1)});
  }
  return out;
}

// The pieces of every job of visibility `vis` filed under `category`.
inline std::vector<ScreenLine> Lines(const LineEngine& engine, int vis, int category) {
  std::vector<ScreenLine> out;
  for (const LineJob& job : engine.Jobs()) {
    if (job.visibility != vis) continue;
    auto lines = PieceLines(engine, job.edges[static_cast<size_t>(category - 1)]);
    out.insert(out.end(), lines.begin(), lines.end());
  }
  return out;
}

// Total on-screen length of lines.
inline float TotalLength(const std::vector<ScreenLine>& lines) {
  float total = 0;
  for (const ScreenLine& l : lines) total += l.Length();
  return total;
}

// Distance from point p to the segment a-b.
inline float DistanceToSegment(Point2 p, Point2 a, Point2 b) {
  const Point2 d = b - a;
  const float len2 = d.LengthSquared();
  float t = len2 > 0 ? DotProd(p - a, d) / len2 : 0.0f;
  t = std::fmax(0.0f, std::fmin(1.0f, t));
  return (p - (a + d * t)).Length();
}

// Runs the geometry half of `lm` for the frame of `gc`.
inline LineEngine& Detect(LineManager& lm, TestRenderContext& gc) {
  RenderLines(lm, 0, nullptr, &gc, nullptr, nullptr, false);
  return *lm.RenderState().engine;
}

// Linking over the engine's frame, as the driver asks for it.
inline LinkContext LinkContextOf(const LineEngine& engine) {
  LinkContext ctx;
  ctx.segments = &engine.Segments();
  ctx.view = &engine.View();
  return ctx;
}

}  // namespace tarnis::engine_testing
