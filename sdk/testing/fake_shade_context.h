// FakeShadeContext: a ShadeContext for unit tests whose every answer is a
// public field the test sets (point, normals, view, mapping channels, lights,
// time, node, screen position). Camera space is world space and object space
// unless the test sets camToWorld / camToObj. TestDirectionalLight is a
// LightDesc shining along one camera-space direction with an optional shadow
// factor, so shaders can be checked against the cosine law.
#pragma once

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include "sdk/matrix3.h"
#include "sdk/shade_context.h"

class FakeShadeContext : public ShadeContext {
 public:
  FakeShadeContext() = default;

  // --- Set-up helpers -------------------------------------------------------
  // Sets the shading, original and geometric normal at once (normalised).
  void SetAllNormals(const Point3& n) { normal = origNormal = gNormal = Normalize(n); }
  // Mapping coordinates of a channel and their footprint.
  void SetUVW(int channel, const Point3& uvw, const Point3& duvw = {}) {
    uvws[channel] = uvw;
    duvws[channel] = duvw;
  }
  // dP/du, dP/dv, dP/dw of a channel (camera space).
  void SetDPdUVW(int channel, const Point3& du, const Point3& dv, const Point3& dw = {}) {
    dpduvw[channel] = {du, dv, dw};
  }
  // Appends a light (not owned) and keeps nLights in step.
  void AddLight(LightDesc* light) {
    lights.push_back(light);
    nLights = static_cast<int>(lights.size());
  }
  void ClearLights() {
    lights.clear();
    nLights = 0;
  }

  // --- ShadeContext -----------------------------------------------------------
  bool InMtlEditor() override { return inMtlEditor; }
  int ProjType() override { return projType; }
  LightDesc* Light(int n) override {
    return n >= 0 && n < static_cast<int>(lights.size()) ? lights[static_cast<size_t>(n)] : nullptr;
  }
  TimeValue CurTime() override { return time; }
  int NodeID() override { return nodeID; }
  INode* Node() override { return node; }
  Point3 BarycentricCoords() override { return bary; }
  int FaceNumber() override { return faceNumber; }

  Point3 Normal() override { return normal; }
  void SetNormal(const Point3& n) override { normal = n; }
  Point3 OrigNormal() override { return origNormal; }
  Point3 GNormal() override { return gNormal; }
  Point3 V() override { return view; }
  void SetView(const Point3& v) override { view = v; }
  // The mirror of the view about the shading normal.
  Point3 ReflectVector() override { return view - normal * (2.0f * DotProd(view, normal)); }
  // Snell refraction of the view entering the surface (leaving it on back
  // faces); total internal reflection answers the reflect vector.
  Point3 RefractVector(float ior) override {
    Point3 n = normal;
    float cosi = -DotProd(view, n);
    if (cosi < 0.0f) n = -n, cosi = -cosi;
    const float eta = backFace ? ior : (ior != 0.0f ? 1.0f / ior : 1.0f);
    const float k = 1.0f - eta * eta * (1.0f - cosi * cosi);
    if (k < 0.0f) return ReflectVector();
    return Normalize(view * eta + n * (eta * cosi - std::sqrt(k)));
  }
  void SetIOR(float v) override { ior = v; }
  float GetIOR() override { return ior; }
  Point3 CamPos() override { return camPos; }

  Point3 P() override { return p; }
  Point3 DP() override { return dp; }
  Point3 PObj() override { return p * camToObj; }
  Point3 DPObj() override { return VectorTransform(camToObj, dp); }
  Box3 ObjectBox() override { return objectBox; }
  Point3 PObjRelBox() override {
    if (objectBox.IsEmpty()) return {};
    const Point3 c = objectBox.Center(), w = objectBox.Width();
    const Point3 q = PObj() - c;
    return {w.x > 0 ? 2 * q.x / w.x : 0.0f, w.y > 0 ? 2 * q.y / w.y : 0.0f,
            w.z > 0 ? 2 * q.z / w.z : 0.0f};
  }
  Point3 DPObjRelBox() override { return {}; }

  void ScreenUV(Point2& uv, Point2& duv) override {
    uv = screenUV;
    duv = screenDUV;
  }
  IPoint2 ScreenCoord() override { return screenCoord; }

  Point3 UVW(int channel) override {
    auto it = uvws.find(channel);
    return it == uvws.end() ? Point3() : it->second;
  }
  Point3 DUVW(int channel) override {
    auto it = duvws.find(channel);
    return it == duvws.end() ? Point3() : it->second;
  }
  void DPdUVW(Point3 dP[3], int channel) override {
    auto it = dpduvw.find(channel);
    for (int i = 0; i < 3; ++i) dP[i] = it == dpduvw.end() ? Point3() : it->second[i];
  }
  float Curve() override { return curve; }
  void GetBGColor(Color& bgcol, Color& transp, bool /*fogBG*/) override {
    bgcol = background;
    transp = backgroundTransp;
  }

  Point3 PointTo(const Point3& q, RefFrame ito) override { return q * ToFrame(ito); }
  Point3 PointFrom(const Point3& q, RefFrame ifrom) override { return q * Inverse(ToFrame(ifrom)); }
  Point3 VectorTo(const Point3& v, RefFrame ito) override {
    return VectorTransform(ToFrame(ito), v);
  }
  Point3 VectorFrom(const Point3& v, RefFrame ifrom) override {
    return VectorTransform(Inverse(ToFrame(ifrom)), v);
  }

  // --- What the test sets -----------------------------------------------------
  Point3 p;                    // camera-space point
  Point3 dp;                   // its footprint
  Point3 normal{0, 0, 1};      // shading normal
  Point3 origNormal{0, 0, 1};  // before bump
  Point3 gNormal{0, 0, 1};     // face normal
  Point3 view{0, 0, -1};       // camera towards point
  Point3 camPos;
  Point3 bary;
  float ior = 1.0f;
  float curve = 0.0f;
  TimeValue time = 0;
  int nodeID = -1;
  INode* node = nullptr;
  int faceNumber = 0;
  int projType = 0;
  bool inMtlEditor = false;
  Box3 objectBox;
  Point2 screenUV, screenDUV;
  IPoint2 screenCoord;
  Color background, backgroundTransp{1.0f, 1.0f, 1.0f};
  Matrix3 camToWorld;  // identity: camera space is world space
  Matrix3 camToObj;    // identity: camera space is object space
  std::map<int, Point3> uvws, duvws;
  std::map<int, std::vector<Point3>> dpduvw;
  std::vector<LightDesc*> lights;

 private:
  Matrix3 ToFrame(RefFrame f) const {
    switch (f) {
      case REF_WORLD:
        return camToWorld;
      case REF_OBJECT:
        return camToObj;
      case REF_CAMERA:
        break;
    }
    return Matrix3();
  }
};

// A light from one direction with a colour; `shadow` scales what Illuminate
// gives (IlluminateNoShadow ignores it). Lights the back of surfaces too, with
// dot_nl negative and diffuseCoef 0, as a renderer's lights do.
class TestDirectionalLight : public LightDesc {
 public:
  TestDirectionalLight() = default;
  // `towardsLight`: camera-space direction from surfaces to the light.
  TestDirectionalLight(const Point3& towardsLight, const Color& c)
      : toLight(Normalize(towardsLight)), color(c) {}

  bool Illuminate(ShadeContext& sc, const Point3& normal, Color& outColor, Point3& dir,
                  float& dot_nl, float& diffuseCoef) override {
    if (!IlluminateNoShadow(sc, normal, outColor, dir, dot_nl, diffuseCoef)) return false;
    outColor *= shadow;
    return true;
  }
  bool IlluminateNoShadow(ShadeContext& /*sc*/, const Point3& normal, Color& outColor, Point3& dir,
                          float& dot_nl, float& diffuseCoef) override {
    if (!reaches) return false;
    dir = toLight;
    dot_nl = DotProd(normal, toLight);
    diffuseCoef = std::max(dot_nl, 0.0f);
    outColor = color;
    return true;
  }
  Point3 LightDirection() override { return -toLight; }

  Point3 toLight{0, 0, 1};
  Color color{1.0f, 1.0f, 1.0f};
  float shadow = 1.0f;  // 1 unshadowed, 0 fully in shadow
  bool reaches = true;  // false: the light does not reach any sample
};
