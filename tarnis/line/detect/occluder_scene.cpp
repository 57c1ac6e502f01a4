#include "tarnis/line/detect/occluder_scene.h"

#include <embree3/rtcore.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <mutex>

#include "sdk/check.h"

namespace tarnis {

namespace {

enum class QueryMode { kHide, kExcluder, kCover };

RTCDevice sharedDevice() {
  static RTCDevice device = [] { return rtcNewDevice(nullptr); }();
  return device;
}

}  // namespace

struct OccluderScene::Impl {
  RTCScene scene = nullptr;
  const std::vector<DetectAndISectInstance>* instances = nullptr;
  const FrameView* view = nullptr;
  float parallelTop = 0.0f;  // camera z in front of every face (parallel rays start there)

  ~Impl() {
    if (scene) rtcReleaseScene(scene);
  }
};

namespace {

struct QueryContext {
  RTCIntersectContext rtc;  // first member: Embree hands this pointer to the filter
  const OccluderScene::Impl* impl;
  QueryMode mode;
  const ExemptFace* exempt;
  const LineSet* ownSet;
  int instance;
};

void filterHit(const RTCFilterFunctionNArguments* args) {
  const auto* q = reinterpret_cast<const QueryContext*>(args->context);
  for (unsigned i = 0; i < args->N; ++i) {
    if (args->valid[i] == 0) continue;
    const unsigned geom = RTCHitN_geomID(args->hit, args->N, i);
    const unsigned prim = RTCHitN_primID(args->hit, args->N, i);
    const DetectAndISectInstance& inst = (*q->impl->instances)[geom];
    const int face = inst.occluderFaces[prim];
    bool accept = true;
    for (int e = 0; e < 2 && accept; ++e) {
      if (q->exempt[e].instance == static_cast<int>(geom) && q->exempt[e].face == face)
        accept = false;
    }
    if (accept && q->mode == QueryMode::kCover && static_cast<int>(geom) != q->instance)
      accept = false;
    if (accept && q->mode == QueryMode::kExcluder) {
      const uint8_t flags = inst.faceFlags[static_cast<size_t>(face)];
      accept = (flags & kFaceExHidden) && inst.RecordOfFace(face)->lineSet != q->ownSet;
    }
    if (accept) {
      const float t = RTCRayN_tfar(args->ray, args->N, i);
      Point3 p(RTCRayN_org_x(args->ray, args->N, i) + t * RTCRayN_dir_x(args->ray, args->N, i),
               RTCRayN_org_y(args->ray, args->N, i) + t * RTCRayN_dir_y(args->ray, args->N, i),
               RTCRayN_org_z(args->ray, args->N, i) + t * RTCRayN_dir_z(args->ray, args->N, i));
      const FrameView& view = *q->impl->view;
      // The part of a face nearer than the near limit, or cut away by a plane, hides nothing.
      if (p.z > view.nearLimit || view.options.ClipsPoint(p)) accept = false;
    }
    if (!accept) args->valid[i] = 0;
  }
}

bool occluded(const OccluderScene::Impl& impl, QueryContext& q, const Point3& org,
              const Point3& dir, float tfar) {
  if (!impl.scene) return false;
  rtcInitIntersectContext(&q.rtc);
  q.rtc.filter = filterHit;
  q.impl = &impl;
  RTCRay ray{};
  ray.org_x = org.x, ray.org_y = org.y, ray.org_z = org.z;
  ray.dir_x = dir.x, ray.dir_y = dir.y, ray.dir_z = dir.z;
  ray.tnear = 0.0f;
  ray.tfar = tfar;
  ray.mask = 0xFFFFFFFFu;
  ray.flags = 0;
  rtcOccluded1(impl.scene, &q.rtc, &ray);
  return ray.tfar < 0.0f;
}

}  // namespace

OccluderScene::OccluderScene() : impl_(std::make_unique<Impl>()) {}
OccluderScene::~OccluderScene() = default;

bool OccluderScene::Build(const std::vector<DetectAndISectInstance>& instances,
                          const FrameView& view) {
  RTCDevice device = sharedDevice();
  if (!device) return false;
  impl_ = std::make_unique<Impl>();
  impl_->instances = &instances;
  impl_->view = &view;
  hasExcluders_ = false;
  RTCScene scene = rtcNewScene(device);
  if (!scene) return false;
  impl_->scene = scene;
  rtcSetSceneFlags(scene, static_cast<RTCSceneFlags>(RTC_SCENE_FLAG_ROBUST |
                                                     RTC_SCENE_FLAG_CONTEXT_FILTER_FUNCTION));
  rtcSetSceneBuildQuality(scene, RTC_BUILD_QUALITY_MEDIUM);
  float top = -std::numeric_limits<float>::max();
  for (size_t i = 0; i < instances.size(); ++i) {
    const DetectAndISectInstance& inst = instances[i];
    if (inst.Empty() || !inst.HasOccluders() || inst.occluderFaces.empty()) continue;
    RTCGeometry geom = rtcNewGeometry(device, RTC_GEOMETRY_TYPE_TRIANGLE);
    auto* verts = static_cast<float*>(rtcSetNewGeometryBuffer(geom, RTC_BUFFER_TYPE_VERTEX, 0,
                                                              RTC_FORMAT_FLOAT3, 3 * sizeof(float),
                                                              inst.camVerts.size()));
    for (size_t v = 0; v < inst.camVerts.size(); ++v) {
      verts[3 * v] = inst.camVerts[v].x;
      verts[3 * v + 1] = inst.camVerts[v].y;
      verts[3 * v + 2] = inst.camVerts[v].z;
      top = std::max(top, inst.camVerts[v].z);
    }
    auto* index = static_cast<uint32_t*>(
        rtcSetNewGeometryBuffer(geom, RTC_BUFFER_TYPE_INDEX, 0, RTC_FORMAT_UINT3,
                                3 * sizeof(uint32_t), inst.occluderFaces.size()));
    for (size_t k = 0; k < inst.occluderFaces.size(); ++k) {
      const int f = inst.occluderFaces[k];
      const Face& face = inst.mesh->faces[static_cast<size_t>(f)];
      index[3 * k] = face.v[0], index[3 * k + 1] = face.v[1], index[3 * k + 2] = face.v[2];
      if (inst.faceFlags[static_cast<size_t>(f)] & kFaceExHidden) hasExcluders_ = true;
    }
    rtcCommitGeometry(geom);
    rtcAttachGeometryByID(scene, geom, static_cast<unsigned>(i));
    rtcReleaseGeometry(geom);
  }
  rtcCommitScene(scene);
  impl_->parallelTop = top == -std::numeric_limits<float>::max() ? 1.0f : top + 1.0f;
  return rtcGetDeviceError(device) == RTC_ERROR_NONE;
}

namespace {

// The eye ray to p, shortened so that p's own surface does not hide it.
void eyeRay(const FrameView& view, float parallelTop, const Point3& p, Point3* org, Point3* dir,
            float* tfar) {
  if (view.Parallel()) {
    const float top = std::max(parallelTop, p.z + 1.0f);
    *org = Point3(p.x, p.y, top);
    *dir = Point3(0.0f, 0.0f, -1.0f);
    *tfar = (top - p.z) - 5e-4f;
  } else {
    *org = Point3();
    *dir = p;
    const float length = p.Length();
    *tfar = length > 0.0f ? 1.0f - std::min(1e-5f, 0.01f / length) : 0.0f;
  }
}

}  // namespace

bool OccluderScene::Hidden(const Point3& p, const ExemptFace exempt[2]) const {
  QueryContext q{};
  q.mode = QueryMode::kHide;
  q.exempt = exempt;
  Point3 org, dir;
  float tfar = 0;
  eyeRay(*impl_->view, impl_->parallelTop, p, &org, &dir, &tfar);
  return tfar > 0.0f && occluded(*impl_, q, org, dir, tfar);
}

bool OccluderScene::HiddenByExcluder(const Point3& p, const ExemptFace exempt[2],
                                     const LineSet* ownSet) const {
  if (!hasExcluders_) return false;
  QueryContext q{};
  q.mode = QueryMode::kExcluder;
  q.exempt = exempt;
  q.ownSet = ownSet;
  Point3 org, dir;
  float tfar = 0;
  eyeRay(*impl_->view, impl_->parallelTop, p, &org, &dir, &tfar);
  return tfar > 0.0f && occluded(*impl_, q, org, dir, tfar);
}

bool OccluderScene::Covered(const Point2& s, int instance, const ExemptFace exempt[2]) const {
  QueryContext q{};
  q.mode = QueryMode::kCover;
  q.exempt = exempt;
  q.instance = instance;
  const FrameView& view = *impl_->view;
  if (view.Parallel()) {
    Point3 org = view.ParallelPoint(s, impl_->parallelTop);
    return occluded(*impl_, q, org, Point3(0.0f, 0.0f, -1.0f),
                    std::numeric_limits<float>::infinity());
  }
  return occluded(*impl_, q, Point3(), view.EyeDirection(s),
                  std::numeric_limits<float>::infinity());
}

}  // namespace tarnis
