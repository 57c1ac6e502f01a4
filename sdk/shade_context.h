// Shading: the context of one shading sample (ShadeContext), what a material
// writes back (ShadeOutput) and the lights that illuminate the sample
// (LightDesc). The renderer makes one context per sample on its worker
// threads; materials only read it and write its output.
#pragma once

#include <cstdint>

#include "sdk/boxes.h"
#include "sdk/class_id.h"
#include "sdk/color.h"
#include "sdk/interval.h"
#include "sdk/points.h"

class INode;
class ShadeContext;
class RenderGlobalContext;
struct IPoint2 {
  int x = 0, y = 0;
};

// Spaces for PointTo / PointFrom / VectorTo / VectorFrom.
enum RefFrame { REF_CAMERA = 0, REF_WORLD = 1, REF_OBJECT = 2 };

// Shading modes.
inline constexpr int SCMODE_NORMAL = 0;
inline constexpr int SCMODE_SHADOW = 1;

inline constexpr int kMaxRenderElements = 16;

// What shading produced for a sample.
class ShadeOutput {
 public:
  // Resets colour, transparency and element values; nElements values are kept.
  void Reset(int numElements = -1);

  uint32_t flags = 0;
  Color c;                 // colour
  Color t;                 // transparency (0 opaque, 1 clear) per channel
  float ior = 1.0f;        // index of refraction
  int gbufId = 0;          // G-buffer material effects id
  int nElements = 0;       // render-element values in use
  AColor elementVals[kMaxRenderElements];
};

// A light as a material sees it at one sample.
class LightDesc {
 public:
  virtual ~LightDesc() = default;

  // Illumination of the sample: false when the light does not reach it.
  // Otherwise `color` is the arriving light (shadows applied), `dir` the unit
  // direction from the point towards the light (camera space), dot_nl = N.L
  // and diffuseCoef the diffuse factor (N.L, or the light's own shaping).
  virtual bool Illuminate(ShadeContext& sc, const Point3& normal, Color& color, Point3& dir,
                          float& dot_nl, float& diffuseCoef) = 0;
  // The same without shadows (for materials that shade lit and shadowed apart).
  virtual bool IlluminateNoShadow(ShadeContext& sc, const Point3& normal, Color& color,
                                  Point3& dir, float& dot_nl, float& diffuseCoef) {
    return Illuminate(sc, normal, color, dir, dot_nl, diffuseCoef);
  }
  // Camera-space position and direction of the light.
  virtual Point3 LightPosition() { return {}; }
  virtual Point3 LightDirection() { return {0.0f, 0.0f, -1.0f}; }

  bool affectDiffuse = true;
  bool affectSpecular = true;
  bool ambientOnly = false;
};

class ShadeContext {
 public:
  virtual ~ShadeContext() = default;

  virtual Class_ID ClassID() { return Class_ID(0, 0); }
  virtual bool InMtlEditor() = 0;
  virtual bool Antialias() { return false; }
  // 0 perspective, 1 parallel.
  virtual int ProjType() = 0;
  virtual LightDesc* Light(int n) = 0;
  virtual TimeValue CurTime() = 0;
  virtual int NodeID() { return -1; }
  virtual INode* Node() = 0;
  virtual Point3 BarycentricCoords() { return {0.0f, 0.0f, 0.0f}; }
  virtual int FaceNumber() = 0;

  // Shading normal (interpolated, bumped), camera space, unit length.
  virtual Point3 Normal() = 0;
  virtual void SetNormal(const Point3& n) = 0;
  // The interpolated normal before bump.
  virtual Point3 OrigNormal() { return Normal(); }
  // Geometric (face) normal.
  virtual Point3 GNormal() = 0;
  // Unit view direction from the camera towards the point.
  virtual Point3 V() = 0;
  virtual void SetView(const Point3& v) = 0;
  virtual Point3 ReflectVector() = 0;
  virtual Point3 RefractVector(float ior) = 0;
  virtual void SetIOR(float) {}
  virtual float GetIOR() { return 1.0f; }
  virtual Point3 CamPos() { return {}; }

  // Camera-space point and its pixel footprint.
  virtual Point3 P() = 0;
  virtual Point3 DP() = 0;
  virtual void DP(Point3& dpdx, Point3& dpdy) { dpdx = dpdy = DP(); }
  // Object-space point and footprint.
  virtual Point3 PObj() = 0;
  virtual Point3 DPObj() = 0;
  virtual Box3 ObjectBox() = 0;
  // Object point relative to the object box: -1..1 per axis.
  virtual Point3 PObjRelBox() = 0;
  virtual Point3 DPObjRelBox() = 0;

  // Screen position (0..1) and its derivative; integer pixel.
  virtual void ScreenUV(Point2& uv, Point2& duv) = 0;
  virtual IPoint2 ScreenCoord() = 0;

  // Mapping coordinates of a channel (1 = first texture set) and their
  // derivatives; zeros for a channel the mesh lacks.
  virtual Point3 UVW(int channel = 1) = 0;
  virtual Point3 DUVW(int channel = 1) = 0;
  // Derivatives of P along u, v, w (texture-space directions, for bump and
  // anisotropy).
  virtual void DPdUVW(Point3 dP[3], int channel = 1) = 0;
  // Surface curvature at the sample (0 on flat surfaces).
  virtual float Curve() { return 0.0f; }
  // Background behind the sample.
  virtual void GetBGColor(Color& bgcol, Color& transp, bool fogBG = true) {
    (void)fogBG;
    bgcol = Color(0.0f, 0.0f, 0.0f), transp = Color(1.0f, 1.0f, 1.0f);
  }

  // Transforms between camera space (where everything above is) and `ito`.
  virtual Point3 PointTo(const Point3& p, RefFrame ito) = 0;
  virtual Point3 PointFrom(const Point3& p, RefFrame ifrom) = 0;
  virtual Point3 VectorTo(const Point3& p, RefFrame ito) = 0;
  virtual Point3 VectorFrom(const Point3& p, RefFrame ifrom) = 0;

  virtual void ResetOutput(int numElements = -1) { out.Reset(numElements); }

  int mode = SCMODE_NORMAL;
  bool doMaps = true;
  bool filterMaps = true;
  bool shadow = true;
  bool backFace = false;
  int mtlNum = 0;
  Color ambientLight;
  int nLights = 0;
  int rayLevel = 0;
  int xshadeID = 0;
  RenderGlobalContext* globContext = nullptr;
  ShadeOutput out;
};
