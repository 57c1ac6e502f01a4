// SCTex: the private shade context a brush evaluates its tip map through.
// It carries only a texture position (u, v) and a time; every mapping
// channel answers that position, and every other query a neutral value (no
// lights, a camera-facing normal, points at the origin).
#pragma once

#include "sdk/shade_context.h"

namespace tarnis {

class SCTex : public ShadeContext {
 public:
  SCTex(float u, float v, TimeValue t) : uvw_(u, v, 0.0f), time_(t) {}

  bool InMtlEditor() override { return false; }
  int ProjType() override { return 1; }
  LightDesc* Light(int) override { return nullptr; }
  TimeValue CurTime() override { return time_; }
  INode* Node() override { return nullptr; }
  int FaceNumber() override { return 0; }

  Point3 Normal() override { return normal_; }
  void SetNormal(const Point3& n) override { normal_ = n; }
  Point3 GNormal() override { return {0.0f, 0.0f, 1.0f}; }
  Point3 V() override { return view_; }
  void SetView(const Point3& v) override { view_ = v; }
  Point3 ReflectVector() override { return {0.0f, 0.0f, 1.0f}; }
  Point3 RefractVector(float) override { return view_; }

  Point3 P() override { return {}; }
  Point3 DP() override { return {}; }
  Point3 PObj() override { return {}; }
  Point3 DPObj() override { return {}; }
  Box3 ObjectBox() override { return {}; }
  Point3 PObjRelBox() override { return {}; }
  Point3 DPObjRelBox() override { return {}; }

  void ScreenUV(Point2& uv, Point2& duv) override {
    uv = Point2(uvw_.x, uvw_.y);
    duv = Point2(0.0f, 0.0f);
  }
  IPoint2 ScreenCoord() override { return {}; }

  Point3 UVW(int) override { return uvw_; }
  Point3 DUVW(int) override { return {}; }
  void DPdUVW(Point3 dP[3], int) override {
    dP[0] = {1.0f, 0.0f, 0.0f};
    dP[1] = {0.0f, 1.0f, 0.0f};
    dP[2] = {0.0f, 0.0f, 1.0f};
  }

  Point3 PointTo(const Point3& p, RefFrame) override { return p; }
  Point3 PointFrom(const Point3& p, RefFrame) override { return p; }
  Point3 VectorTo(const Point3& p, RefFrame) override { return p; }
  Point3 VectorFrom(const Point3& p, RefFrame) override { return p; }

 private:
  Point3 uvw_;
  TimeValue time_;
  Point3 normal_{0.0f, 0.0f, 1.0f};
  Point3 view_{0.0f, 0.0f, -1.0f};
};

}  // namespace tarnis
