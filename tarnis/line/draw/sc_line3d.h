// SCLine3D: the shade context that answers maps drawn along lines from the
// mesh under the line. Each drawing step gives it the segment's mapping
// data (per retained channel the values at both ends of the segment, entry
// 100 the surface normal) and the position along the segment; a channel is
// interpolated when a map first asks for it in a step and kept until the
// step moves. Channels the segment lacks answer the screen position, as in
// SCLine. LineMapInstance is what the context needs of a render instance
// once detection has freed its working data.
#pragma once

#include <array>
#include <cstdint>

#include "sdk/matrix3.h"
#include "tarnis/line/draw/sc_line.h"
#include "tarnis/line/frame/edge_data.h"

namespace tarnis {

class UVWInstance;
class DetectAndISectInstance;
struct FrameView;

inline constexpr Class_ID kSCLine3DClassID(0x5C1E0002, 0x2B7D4A1A);

// A render instance as maps along lines see it: its object box, its
// camera/object transforms and the slot of each retained channel in its
// segments' mapping data.
struct LineMapInstance {
  static constexpr int kNormalChannel = 100;

  int index = -1;  // render-instance index (SegmentMapping::instance)
  Box3 objectBox{Point3(0.0f, 0.0f, 0.0f), Point3(1.0f, 1.0f, 1.0f)};
  Matrix3 camToObj, objToCam;
  std::array<int16_t, kNormalChannel + 1> channelSlot;

  LineMapInstance() { channelSlot.fill(-1); }
  // Copies what maps need from an instance record: the render instance's
  // object box (the mesh's when the record has no render instance; the
  // unit box when both are empty), transforms and channel slots.
  static LineMapInstance FromRecord(const DetectAndISectInstance& record);

  // The slot of a channel, -1 when it is not retained.
  int Slot(int channel) const {
    return channel >= 0 && channel <= kNormalChannel ? channelSlot[static_cast<size_t>(channel)]
                                                     : -1;
  }
};

class SCLine3D : public SCLine {
 public:
  static constexpr int kNormalChannel = LineMapInstance::kNormalChannel;

  SCLine3D();

  // --- Preparation per frame ---------------------------------------------------
  // As SCLine::Prepare; also forgets the segment, sets the ior to 1 and the
  // camera to world transform to the identity.
  void Prepare(int width, int height, int projType, TimeValue t) override;
  // Prepares for the frame of `view`: its size, projection, time and camera.
  void Prepare(const FrameView& view);

  // --- Per step ----------------------------------------------------------------
  // The segment under the line: its mapping data (null when it has none)
  // and its instance (null when unknown). The instance gives the object box
  // and object space; the mapping data gives the channels. Both must
  // outlive their use; mapping data must belong to the instance.
  void SetSegment(const SegmentMapping* mapping, const LineMapInstance* instance);
  // The position (0..1) of the current step between the segment's two ends.
  void SetEdgeParam(float t);
  // Screen point (pixels), camera-space point and edge parameter at once.
  void SetStep(const Point2& pixels, const Point3& camPoint, float edgeParam);

  // True when the current segment carries `channel` (0..100).
  bool HasChannel(int channel) const;

  // --- ShadeContext ------------------------------------------------------------
  Class_ID ClassID() override { return kSCLine3DClassID; }
  bool InMtlEditor() override { return false; }
  // The interpolated surface normal, unit length; the stored normal when
  // the segment carries none.
  Point3 Normal() override;
  Point3 GNormal() override { return Normal(); }
  // Unit vector from the camera to the point; (0, 0, -1) for parallel
  // projection (and the stored view for a point at the camera).
  Point3 V() override;
  Point3 ReflectVector() override;
  Point3 RefractVector(float ior) override;
  void SetIOR(float ior) override { ior_ = ior; }
  float GetIOR() override { return ior_; }

  Point3 PObj() override;
  Point3 DPObj() override;
  Box3 ObjectBox() override;

  // The channel's value interpolated at the edge parameter; the screen
  // position for a channel the segment lacks.
  Point3 UVW(int channel) override;
  // 0 for a channel the segment carries, else the screen derivative.
  Point3 DUVW(int channel) override;

  Point3 PointTo(const Point3& p, RefFrame ito) override;
  Point3 PointFrom(const Point3& p, RefFrame ifrom) override;
  Point3 VectorTo(const Point3& p, RefFrame ito) override;
  Point3 VectorFrom(const Point3& p, RefFrame ifrom) override;

 private:
  // The cached value of a channel the segment carries, null otherwise.
  const Point3* channel(int ch);
  void markStale();

  const SegmentMapping* mapping_ = nullptr;
  const LineMapInstance* instance_ = nullptr;
  float edgeParam_ = 0.0f;
  float ior_ = 1.0f;
  Matrix3 camToWorld_, worldToCam_;
  // Per channel: the interpolated value and the step it belongs to; a
  // channel is fresh when its stamp equals the current step.
  std::array<Point3, kNormalChannel + 1> values_;
  std::array<uint32_t, kNormalChannel + 1> stamps_;
  uint32_t step_ = 1;
};

}  // namespace tarnis
