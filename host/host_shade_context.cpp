// The shading queries of one pixel sample.
#include "host/host_shade_context.h"

#include <cmath>

#include "sdk/mesh.h"

namespace host {

namespace {

Point3 absolute(const Point3& p) {
  return {std::fabs(p.x), std::fabs(p.y), std::fabs(p.z)};
}

// Any unit vector perpendicular to unit n.
Point3 perpendicular(const Point3& n) {
  Point3 a = std::fabs(n.x) < 0.9f ? Point3(1.0f, 0.0f, 0.0f) : Point3(0.0f, 1.0f, 0.0f);
  return Normalize(a % n);
}

}  // namespace

HostShadeContext::HostShadeContext(HostRenderGlobalContext& gc, const RayHit& hit, float sx,
                                   float sy, int numElements)
    : gc_(gc),
      inst_(gc.Instance(hit.instance)),
      face_(hit.face),
      bary_(hit.bary),
      sx_(sx),
      sy_(sy) {
  const Mesh& mesh = *inst_.GetMesh();
  const Face& face = mesh.faces[static_cast<size_t>(face_)];
  backFace = hit.backFace;
  mtlNum = face.matID;
  globContext = &gc;
  nLights = gc.NumLights();
  ambientLight = gc.ambient;
  ResetOutput(numElements);

  p_ = CamVert(0) * bary_.x + CamVert(1) * bary_.y + CamVert(2) * bary_.z;
  view_ = gc.projType == PROJ_PARALLEL ? Point3(0.0f, 0.0f, -1.0f) : Normalize(p_);

  gNormal_ = Normalize((CamVert(1) - CamVert(0)) % (CamVert(2) - CamVert(0)));
  if (inst_.flags & INST_TM_NEGPARITY) gNormal_ = -gNormal_;
  Point3 n = mesh.CornerNormal(face_, 0) * bary_.x + mesh.CornerNormal(face_, 1) * bary_.y +
             mesh.CornerNormal(face_, 2) * bary_.z;
  normal_ = Normalize(VectorTransform(inst_.normalObjToCam, n));
  if (normal_.LengthSquared() == 0.0f) normal_ = gNormal_;
  if (backFace) {
    gNormal_ = -gNormal_;
    normal_ = -normal_;
  }
  origNormal_ = normal_;
}

Point3 HostShadeContext::CamVert(int corner) const {
  const Face& face = inst_.GetMesh()->faces[static_cast<size_t>(face_)];
  return inst_.CamVerts()[face.v[corner]];
}

LightDesc* HostShadeContext::Light(int n) {
  return n >= 0 && n < gc_.NumLights() ? gc_.Light(n) : nullptr;
}

Point3 HostShadeContext::ReflectVector() {
  return Normalize(view_ - normal_ * (2.0f * DotProd(normal_, view_)));
}

Point3 HostShadeContext::RefractVector(float ior) {
  if (!(ior > 0.0f)) return view_;
  // Entering the material on a front face, leaving it on a back face.
  float eta = backFace ? ior : 1.0f / ior;
  float cosi = -DotProd(normal_, view_);
  float k = 1.0f - eta * eta * (1.0f - cosi * cosi);
  if (k < 0.0f) return ReflectVector();
  return Normalize(view_ * eta + normal_ * (eta * cosi - std::sqrt(k)));
}

void HostShadeContext::Differentials() {
  if (haveDifferentials_) return;
  haveDifferentials_ = true;
  Point3 v0 = CamVert(0), e1 = CamVert(1) - v0, e2 = CamVert(2) - v0;
  Point3 n = e1 % e2;
  float nn = n.LengthSquared();
  auto onPlane = [&](float x, float y) -> Point3 {
    Ray r = gc_.CameraRay(x, y);
    float denom = DotProd(r.dir, n);
    // A ray along the plane never meets it: no footprint that way.
    if (std::fabs(denom) <= 1e-12f * n.Length() * r.dir.Length()) return p_;
    return r.p + r.dir * (DotProd(p_ - r.p, n) / denom);
  };
  dpdx_ = onPlane(sx_ + 1.0f, sy_) - p_;
  dpdy_ = onPlane(sx_, sy_ + 1.0f) - p_;
  auto baryChange = [&](const Point3& d) -> Point3 {
    if (nn == 0.0f) return {};
    float b1 = DotProd(d % e2, n) / nn, b2 = DotProd(e1 % d, n) / nn;
    return {-b1 - b2, b1, b2};
  };
  dbdx_ = baryChange(dpdx_);
  dbdy_ = baryChange(dpdy_);
}

void HostShadeContext::BaryDerivatives(Point3& dbdx, Point3& dbdy) {
  Differentials();
  dbdx = dbdx_, dbdy = dbdy_;
}

Point3 HostShadeContext::DP() {
  Differentials();
  return absolute(dpdx_) + absolute(dpdy_);
}

void HostShadeContext::DP(Point3& dpdx, Point3& dpdy) {
  Differentials();
  dpdx = dpdx_, dpdy = dpdy_;
}

Point3 HostShadeContext::PObj() {
  return p_ * inst_.camToObj;
}

Point3 HostShadeContext::DPObj() {
  Differentials();
  return absolute(VectorTransform(inst_.camToObj, dpdx_)) +
         absolute(VectorTransform(inst_.camToObj, dpdy_));
}

Point3 HostShadeContext::PObjRelBox() {
  Point3 c = inst_.obBox.Center(), half = inst_.obBox.Width() * 0.5f, p = PObj();
  Point3 r;
  for (int i = 0; i < 3; ++i) r[i] = half[i] > 0.0f ? (p[i] - c[i]) / half[i] : 0.0f;
  return r;
}

Point3 HostShadeContext::DPObjRelBox() {
  Point3 half = inst_.obBox.Width() * 0.5f, d = DPObj();
  Point3 r;
  for (int i = 0; i < 3; ++i) r[i] = half[i] > 0.0f ? d[i] / half[i] : 0.0f;
  return r;
}

void HostShadeContext::ScreenUV(Point2& uv, Point2& duv) {
  float w = static_cast<float>(gc_.devWidth), h = static_cast<float>(gc_.devHeight);
  uv = Point2(sx_ / w, 1.0f - sy_ / h);
  duv = Point2(1.0f / w, 1.0f / h);
}

IPoint2 HostShadeContext::ScreenCoord() {
  return {static_cast<int>(std::floor(sx_)), static_cast<int>(std::floor(sy_))};
}

Point3 HostShadeContext::UVW(int channel) {
  const Mesh& mesh = *inst_.GetMesh();
  if (!mesh.mapSupport(channel)) return {};
  const MeshMap& map = mesh.Map(channel);
  const TVFace& tf = map.tf[static_cast<size_t>(face_)];
  return map.tv[tf.t[0]] * bary_.x + map.tv[tf.t[1]] * bary_.y + map.tv[tf.t[2]] * bary_.z;
}

Point3 HostShadeContext::DUVW(int channel) {
  const Mesh& mesh = *inst_.GetMesh();
  if (!mesh.mapSupport(channel)) return {};
  Differentials();
  const MeshMap& map = mesh.Map(channel);
  const TVFace& tf = map.tf[static_cast<size_t>(face_)];
  auto change = [&](const Point3& db) {
    return map.tv[tf.t[0]] * db.x + map.tv[tf.t[1]] * db.y + map.tv[tf.t[2]] * db.z;
  };
  return absolute(change(dbdx_)) + absolute(change(dbdy_));
}

void HostShadeContext::DPdUVW(Point3 dP[3], int channel) {
  dP[2] = gNormal_;
  const Mesh& mesh = *inst_.GetMesh();
  if (mesh.mapSupport(channel)) {
    const MeshMap& map = mesh.Map(channel);
    const TVFace& tf = map.tf[static_cast<size_t>(face_)];
    Point3 t0 = map.tv[tf.t[0]], d1 = map.tv[tf.t[1]] - t0, d2 = map.tv[tf.t[2]] - t0;
    Point3 e1 = CamVert(1) - CamVert(0), e2 = CamVert(2) - CamVert(0);
    float det = d1.x * d2.y - d2.x * d1.y;
    if (std::fabs(det) > 1e-20f) {
      dP[0] = (e1 * d2.y - e2 * d1.y) / det;
      dP[1] = (e2 * d1.x - e1 * d2.x) / det;
      return;
    }
  }
  dP[0] = perpendicular(normal_);
  dP[1] = normal_ % dP[0];
}

float HostShadeContext::Curve() {
  const Mesh& mesh = *inst_.GetMesh();
  // Each corner's camera-space position and normal once, for both its edges.
  Point3 verts[3], normals[3];
  for (int i = 0; i < 3; ++i) {
    verts[i] = CamVert(i);
    normals[i] = Normalize(VectorTransform(inst_.normalObjToCam, mesh.CornerNormal(face_, i)));
  }
  float sum = 0.0f;
  int edges = 0;
  for (int i = 0; i < 3; ++i) {
    int j = (i + 1) % 3;
    float len = (verts[j] - verts[i]).Length();
    if (len <= 0.0f) continue;
    sum += (normals[j] - normals[i]).Length() / len;
    ++edges;
  }
  return edges > 0 ? sum / static_cast<float>(edges) : 0.0f;
}

void HostShadeContext::GetBGColor(Color& bgcol, Color& transp, bool) {
  bgcol = background_;
  transp = Color(1.0f, 1.0f, 1.0f);
}

Point3 HostShadeContext::PointTo(const Point3& p, RefFrame ito) {
  switch (ito) {
    case REF_WORLD:
      return p * gc_.camToWorld;
    case REF_OBJECT:
      return p * inst_.camToObj;
    case REF_CAMERA:
      break;
  }
  return p;
}

Point3 HostShadeContext::PointFrom(const Point3& p, RefFrame ifrom) {
  switch (ifrom) {
    case REF_WORLD:
      return p * gc_.worldToCam;
    case REF_OBJECT:
      return p * inst_.objToCam;
    case REF_CAMERA:
      break;
  }
  return p;
}

Point3 HostShadeContext::VectorTo(const Point3& p, RefFrame ito) {
  switch (ito) {
    case REF_WORLD:
      return VectorTransform(gc_.camToWorld, p);
    case REF_OBJECT:
      return VectorTransform(inst_.camToObj, p);
    case REF_CAMERA:
      break;
  }
  return p;
}

Point3 HostShadeContext::VectorFrom(const Point3& p, RefFrame ifrom) {
  switch (ifrom) {
    case REF_WORLD:
      return VectorTransform(gc_.worldToCam, p);
    case REF_OBJECT:
      return VectorTransform(inst_.objToCam, p);
    case REF_CAMERA:
      break;
  }
  return p;
}

}  // namespace host
