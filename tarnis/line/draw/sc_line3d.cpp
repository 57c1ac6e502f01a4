// The mesh-aware shade context of maps along lines and the per-instance
// record it reads.
#include "tarnis/line/draw/sc_line3d.h"

#include <cmath>

#include "sdk/check.h"
#include "sdk/mesh.h"
#include "sdk/render.h"
#include "tarnis/line/frame/frame_view.h"
#include "tarnis/line/frame/line_instance.h"

namespace tarnis {

LineMapInstance LineMapInstance::FromRecord(const DetectAndISectInstance& record) {
  LineMapInstance m;
  m.index = record.index;
  m.camToObj = record.camToObj;
  m.objToCam = record.objToCam;
  for (int ch = 0; ch <= kNormalChannel; ++ch) {
    m.channelSlot[static_cast<size_t>(ch)] = static_cast<int16_t>(record.ChannelSlot(ch));
  }
  Box3 box;
  if (record.renderInstance) {
    box = record.renderInstance->obBox;
  } else if (record.mesh) {
    box = record.mesh->getBoundingBox();
  }
  if (!box.IsEmpty()) m.objectBox = box;
  return m;
}

SCLine3D::SCLine3D() {
  stamps_.fill(0);
}

void SCLine3D::Prepare(int width, int height, int projType, TimeValue t) {
  SCLine::Prepare(width, height, projType, t);
  mapping_ = nullptr;
  instance_ = nullptr;
  edgeParam_ = 0.0f;
  ior_ = 1.0f;
  camToWorld_ = Matrix3();
  worldToCam_ = Matrix3();
  markStale();
}

void SCLine3D::Prepare(const FrameView& view) {
  Prepare(view.width, view.height, view.projType, view.time);
  camToWorld_ = view.camToWorld;
  worldToCam_ = view.worldToCam;
}

void SCLine3D::SetSegment(const SegmentMapping* mapping, const LineMapInstance* instance) {
  TARNIS_CHECK(!mapping || !instance || mapping->instance == instance->index)
      << "mapping data of instance " << mapping->instance << " given with instance "
      << instance->index;
  mapping_ = mapping;
  instance_ = instance;
  markStale();
}

void SCLine3D::SetEdgeParam(float t) {
  edgeParam_ = t;
  markStale();
}

void SCLine3D::SetStep(const Point2& pixels, const Point3& camPoint, float edgeParam) {
  SetScreenPoint(pixels);
  SetPoint(camPoint);
  SetEdgeParam(edgeParam);
}

void SCLine3D::markStale() {
  if (++step_ == 0) {
    // After 2^32 steps the stamps start over; none may look fresh by chance.
    stamps_.fill(0);
    step_ = 1;
  }
}

bool SCLine3D::HasChannel(int ch) const {
  if (!mapping_ || !instance_) return false;
  const int slot = instance_->Slot(ch);
  return slot >= 0 && static_cast<size_t>(slot) < mapping_->start.size() &&
         static_cast<size_t>(slot) < mapping_->end.size();
}

const Point3* SCLine3D::channel(int ch) {
  if (!HasChannel(ch)) return nullptr;
  const size_t c = static_cast<size_t>(ch);
  if (stamps_[c] != step_) {
    const size_t slot = static_cast<size_t>(instance_->Slot(ch));
    const Point3& a = mapping_->start[slot];
    const Point3& b = mapping_->end[slot];
    Point3 v = a + (b - a) * edgeParam_;
    if (ch == kNormalChannel) v = Normalize(v);
    values_[c] = v;
    stamps_[c] = step_;
  }
  return &values_[c];
}

Point3 SCLine3D::Normal() {
  const Point3* n = channel(kNormalChannel);
  // Normals that cancel out along the edge leave no direction to answer.
  return n && n->LengthSquared() > 0.0f ? *n : normal_;
}

Point3 SCLine3D::V() {
  if (ProjType() == PROJ_PARALLEL) return {0.0f, 0.0f, -1.0f};
  return point_.LengthSquared() > 0.0f ? Normalize(point_) : view_;
}

Point3 SCLine3D::ReflectVector() {
  const Point3 n = Normal(), v = V();
  return Normalize(v - n * (2.0f * DotProd(n, v)));
}

Point3 SCLine3D::RefractVector(float ior) {
  const Point3 n = Normal(), v = V();
  if (!(ior > 0.0f)) return v;
  // Entering the material on a front face, leaving it on a back face.
  const float eta = backFace ? ior : 1.0f / ior;
  const float cosi = -DotProd(n, v);
  const float k = 1.0f - eta * eta * (1.0f - cosi * cosi);
  if (k < 0.0f) return ReflectVector();
  return Normalize(v * eta + n * (eta * cosi - std::sqrt(k)));
}

Point3 SCLine3D::PObj() {
  return instance_ ? point_ * instance_->camToObj : point_;
}

Point3 SCLine3D::DPObj() {
  return instance_ ? VectorTransform(instance_->camToObj, DP()) : DP();
}

Box3 SCLine3D::ObjectBox() {
  return instance_ ? instance_->objectBox : SCLine::ObjectBox();
}

Point3 SCLine3D::UVW(int ch) {
  const Point3* v = ch < kNormalChannel ? channel(ch) : nullptr;
  return v ? *v : ScreenPosition();
}

Point3 SCLine3D::DUVW(int ch) {
  return ch < kNormalChannel && HasChannel(ch) ? Point3() : ScreenDerivative();
}

Point3 SCLine3D::PointTo(const Point3& p, RefFrame ito) {
  switch (ito) {
    case REF_WORLD:
      return p * camToWorld_;
    case REF_OBJECT:
      return instance_ ? p * instance_->camToObj : p;
    case REF_CAMERA:
      break;
  }
  return p;
}

Point3 SCLine3D::PointFrom(const Point3& p, RefFrame ifrom) {
  switch (ifrom) {
    case REF_WORLD:
      return p * worldToCam_;
    case REF_OBJECT:
      return instance_ ? p * instance_->objToCam : p;
    case REF_CAMERA:
      break;
  }
  return p;
}

Point3 SCLine3D::VectorTo(const Point3& p, RefFrame ito) {
  switch (ito) {
    case REF_WORLD:
      return VectorTransform(camToWorld_, p);
    case REF_OBJECT:
      return instance_ ? VectorTransform(instance_->camToObj, p) : p;
    case REF_CAMERA:
      break;
  }
  return p;
}

Point3 SCLine3D::VectorFrom(const Point3& p, RefFrame ifrom) {
  switch (ifrom) {
    case REF_WORLD:
      return VectorTransform(worldToCam_, p);
    case REF_OBJECT:
      return instance_ ? VectorTransform(instance_->objToCam, p) : p;
    case REF_CAMERA:
      break;
  }
  return p;
}

}  // namespace tarnis
