// SCLine: the screen-space shade context that maps drawn along lines are
// evaluated through. It describes the current point of a stroke by its
// place on the screen: every mapping channel answers the screen position
// (x / width, y / height, 0), the object box is the unit box and every
// space transform leaves its input unchanged. SCLine3D (sc_line3d.h) builds
// on it and answers from the mesh under the line instead.
//
// A context is prepared once per frame and moved from step to step by the
// drawing thread that owns it; it is not shared between threads.
#pragma once

#include <span>

#include "sdk/shade_context.h"

namespace tarnis {

inline constexpr Class_ID kSCLineClassID(0x5C1E0001, 0x2B7D4A19);

class SCLine : public ShadeContext {
 public:
  // --- Preparation per frame ---------------------------------------------------
  // Image size (each at least 1; the reciprocals give the screen
  // derivative), projection type and frame time. Resets the normal to
  // (0, 0, 1), the view to (0, 0, -1) and the point to the origin.
  virtual void Prepare(int width, int height, int projType, TimeValue t);
  // The lights handed to maps; the span must outlive the context's use.
  void SetLights(std::span<LightDesc* const> lights);

  // --- Per step ----------------------------------------------------------------
  // The current point in pixels; its pixel is the one containing it.
  void SetScreenPoint(const Point2& pixels);
  // The camera-space point of the current step.
  void SetPoint(const Point3& camPoint) { point_ = camPoint; }

  int Width() const { return width_; }
  int Height() const { return height_; }

  // --- ShadeContext ------------------------------------------------------------
  void ResetOutput(int) override {}
  Class_ID ClassID() override { return kSCLineClassID; }
  bool InMtlEditor() override { return false; }  // lines are never drawn in material previews
  int ProjType() override { return projType_; }
  LightDesc* Light(int n) override;
  TimeValue CurTime() override { return time_; }
  INode* Node() override { return nullptr; }
  int FaceNumber() override { return 0; }

  Point3 Normal() override { return normal_; }
  void SetNormal(const Point3& n) override { normal_ = n; }
  Point3 GNormal() override { return Normal(); }
  Point3 V() override { return view_; }
  void SetView(const Point3& v) override { view_ = v; }
  Point3 ReflectVector() override { return {0.0f, 0.0f, 1.0f}; }
  Point3 RefractVector(float) override { return {0.0f, 0.0f, 1.0f}; }

  Point3 P() override { return point_; }
  // The screen derivative.
  Point3 DP() override { return ScreenDerivative(); }
  // No footprint along x and y: both are zero.
  void DP(Point3& dpdx, Point3& dpdy) override;
  Point3 PObj() override { return P(); }
  Point3 DPObj() override { return DP(); }
  Box3 ObjectBox() override;
  // 2 (PObj - box min) / (box max - box min) - 1 per axis, 0 on a flat axis.
  Point3 PObjRelBox() override;
  Point3 DPObjRelBox() override { return {}; }

  void ScreenUV(Point2& uv, Point2& duv) override;
  IPoint2 ScreenCoord() override { return pixel_; }
  Point3 UVW(int) override { return ScreenPosition(); }
  Point3 DUVW(int) override { return ScreenDerivative(); }
  void DPdUVW(Point3 dP[3], int) override;
  // Black and opaque.
  void GetBGColor(Color& bgcol, Color& transp, bool fogBG = true) override;

  Point3 PointTo(const Point3& p, RefFrame) override { return p; }
  Point3 PointFrom(const Point3& p, RefFrame) override { return p; }
  Point3 VectorTo(const Point3& p, RefFrame) override { return p; }
  Point3 VectorFrom(const Point3& p, RefFrame) override { return p; }

 protected:
  // (x / width, y / height, 0) of the current point and its derivative.
  Point3 ScreenPosition() const;
  Point3 ScreenDerivative() const { return {invWidth_, invHeight_, 0.0f}; }

  Point3 normal_{0.0f, 0.0f, 1.0f};
  Point3 view_{0.0f, 0.0f, -1.0f};
  Point3 point_;

 private:
  TimeValue time_ = 0;
  int projType_ = 0;
  int width_ = 1, height_ = 1;
  float invWidth_ = 1.0f, invHeight_ = 1.0f;
  Point2 screen_;
  IPoint2 pixel_;
  std::span<LightDesc* const> lights_;
};

// The object point relative to `box`: 2 (p - min) / (max - min) - 1 per
// axis, 0 on an axis where the box is flat (or empty).
Point3 RelativeToBox(const Point3& p, const Box3& box);

}  // namespace tarnis
