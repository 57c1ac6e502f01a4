// HostShadeContext: the ShadeContext the renderer hands a material for one
// pixel sample that hit a surface. Everything is answered in the camera space
// of the sample's view: the point and its footprint, shading and geometric
// normals, the view vector, reflection and refraction, mapping coordinates
// of any channel with their pixel derivatives and the surface's texture-space
// directions, curvature, object-space point and box, the transforms to world
// and object space, the view's lights, the background. Derivatives come from
// ray differentials: the rays through the neighbouring pixel to the right and
// below, met with the plane of the hit face.
#pragma once

#include "host/ray_scene.h"
#include "host/render_context.h"
#include "sdk/shade_context.h"

namespace host {

class HostShadeContext : public ShadeContext {
 public:
  // A sample at device point (sx, sy) of gc's view whose ray hit `hit`;
  // the output is reset for `numElements` render elements.
  HostShadeContext(HostRenderGlobalContext& gc, const RayHit& hit, float sx, float sy,
                   int numElements);

  bool InMtlEditor() override { return gc_.inMtlEdit; }
  bool Antialias() override { return gc_.antialias; }
  int ProjType() override { return gc_.projType; }
  LightDesc* Light(int n) override;
  TimeValue CurTime() override { return gc_.time; }
  int NodeID() override { return inst_.NodeRenderId(); }
  INode* Node() override { return inst_.GetINode(); }
  Point3 BarycentricCoords() override { return bary_; }
  int FaceNumber() override { return face_; }

  // The interpolated smoothing-group normal; on the back of a two-sided
  // surface it is flipped towards the viewer, like GNormal.
  Point3 Normal() override { return normal_; }
  void SetNormal(const Point3& n) override { normal_ = n; }
  Point3 OrigNormal() override { return origNormal_; }
  Point3 GNormal() override { return gNormal_; }
  Point3 V() override { return view_; }
  void SetView(const Point3& v) override { view_ = v; }
  Point3 ReflectVector() override;
  // Refraction into the surface (or out of it on a back face) with the
  // index `ior`; total internal reflection gives the reflect vector.
  Point3 RefractVector(float ior) override;
  void SetIOR(float ior) override { ior_ = ior; }
  float GetIOR() override { return ior_; }
  Point3 CamPos() override { return {}; }

  Point3 P() override { return p_; }
  // The point's change to the neighbouring pixel: |dP/dx| + |dP/dy| per axis.
  Point3 DP() override;
  void DP(Point3& dpdx, Point3& dpdy) override;
  Point3 PObj() override;
  Point3 DPObj() override;
  Box3 ObjectBox() override { return inst_.obBox; }
  Point3 PObjRelBox() override;
  Point3 DPObjRelBox() override;

  // uv = (sx / width, 1 - sy / height): v runs up the image; duv is one pixel.
  void ScreenUV(Point2& uv, Point2& duv) override;
  IPoint2 ScreenCoord() override;

  Point3 UVW(int channel = 1) override;
  // The coordinates' change to the neighbouring pixel: |dUVW/dx| + |dUVW/dy|.
  Point3 DUVW(int channel = 1) override;
  // Camera-space change of P per unit of u, v (from the face's mapping) and
  // the unit normal for w. Without a usable mapping: a frame around the normal.
  void DPdUVW(Point3 dP[3], int channel = 1) override;
  // Mean change of the unit corner normals per unit length along the face's
  // edges: 1/r on a sphere of radius r, 0 on flat faces.
  float Curve() override;
  // The environment behind the sample; transp (1, 1, 1): the background is
  // transparent in the frame's alpha.
  void GetBGColor(Color& bgcol, Color& transp, bool fogBG = true) override;
  void SetBackground(const Color& bg) { background_ = bg; }

  Point3 PointTo(const Point3& p, RefFrame ito) override;
  Point3 PointFrom(const Point3& p, RefFrame ifrom) override;
  Point3 VectorTo(const Point3& p, RefFrame ito) override;
  Point3 VectorFrom(const Point3& p, RefFrame ifrom) override;

  // Derivatives of the barycentric weights to the neighbouring pixel.
  void BaryDerivatives(Point3& dbdx, Point3& dbdy);

 private:
  void Differentials();
  Point3 CamVert(int corner) const;

  HostRenderGlobalContext& gc_;
  HostRenderInstance& inst_;
  int face_;
  Point3 bary_;
  float sx_, sy_;
  Point3 p_, normal_, origNormal_, gNormal_, view_;
  float ior_ = 1.0f;
  Color background_;
  bool haveDifferentials_ = false;
  Point3 dpdx_, dpdy_, dbdx_, dbdy_;
};

}  // namespace host
