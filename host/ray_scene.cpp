// The Embree side of RayScene: geometry buffers, the intersection filter that
// decides which hits count, and the two ray queries.
#include "host/ray_scene.h"

#include <embree3/rtcore.h>

#include <cstring>
#include <deque>
#include <new>

#include "sdk/check.h"

namespace host {

RayDevice::RayDevice() : device_(rtcNewDevice(nullptr)) {
  TARNIS_CHECK(device_ != nullptr) << "Embree device: error " << rtcGetDeviceError(nullptr);
}

RayDevice::~RayDevice() {
  rtcReleaseDevice(static_cast<RTCDevice>(device_));
}

namespace {

// What the filter needs to know about one geometry.
struct GeometryInfo {
  int id = -1;
  RayGeometry geometry;
};

// The intersect context with the query riding along; Embree hands the
// context back to the filter, which casts it to this.
struct QueryContext {
  RTCIntersectContext rtc;
  const RayQuery* query;
};

Point3 faceNormal(const RayGeometry& g, int face) {
  const Face& f = (*g.faces)[static_cast<size_t>(face)];
  const std::vector<Point3>& v = *g.worldVerts;
  Point3 n = (v[f.v[1]] - v[f.v[0]]) % (v[f.v[2]] - v[f.v[0]]);
  // A mirroring transform turns the winding around while the surface's
  // outside stays where it was.
  return g.negParity ? -n : n;
}

bool acceptHit(const GeometryInfo& info, const RayQuery& q, int face, const Point3& dir, float t) {
  if (info.id == q.excludeInstance) return false;
  if (info.id == q.skipInstance && face == q.skipFace) return false;
  const RayGeometry& g = info.geometry;
  if (q.kind == RayKind::kCamera ? !g.primaryVisible : !g.secondaryVisible) return false;
  if (!(*g.faceTwoSided)[static_cast<size_t>(face)] && RayScene::IsBackFace(g, face, dir))
    return false;
  if (q.numClipPlanes > 0) {
    Point3 p = q.origin + dir * t;
    for (int i = 0; i < q.numClipPlanes; ++i) {
      const Point4& plane = q.clipPlanes[i];
      if (DotProd(plane.XYZ(), p) + plane.w < 0.0f) return false;
    }
  }
  return true;
}

void intersectFilter(const RTCFilterFunctionNArguments* args) {
  // Single rays only (rtcIntersect1).
  if (args->N != 1 || args->valid[0] == 0) return;
  const auto* info = static_cast<const GeometryInfo*>(args->geometryUserPtr);
  const auto* ctx = reinterpret_cast<const QueryContext*>(args->context);
  RTCRayN* ray = args->ray;
  Point3 dir(RTCRayN_dir_x(ray, 1, 0), RTCRayN_dir_y(ray, 1, 0), RTCRayN_dir_z(ray, 1, 0));
  // During the filter the ray's tfar holds the candidate hit's distance.
  float t = RTCRayN_tfar(ray, 1, 0);
  int face = static_cast<int>(RTCHitN_primID(args->hit, 1, 0));
  if (!acceptHit(*info, *ctx->query, face, dir, t)) args->valid[0] = 0;
}

void setRay(RTCRay& ray, const Point3& o, const Point3& d, float tnear, float tfar) {
  ray.org_x = o.x, ray.org_y = o.y, ray.org_z = o.z;
  ray.dir_x = d.x, ray.dir_y = d.y, ray.dir_z = d.z;
  ray.tnear = tnear;
  ray.tfar = tfar;
  ray.time = 0.0f;
  ray.mask = 0xFFFFFFFFu;
  ray.id = 0;
  ray.flags = 0;
}

}  // namespace

struct RayScene::Impl {
  RTCDevice device = nullptr;
  RTCScene scene = nullptr;
  // Stable addresses: the filter reads these through geometry user pointers.
  std::deque<GeometryInfo> infos;
  // By geometry id (null where nothing was added).
  std::vector<const GeometryInfo*> byId;
};

RayScene::RayScene(const RayDevice& device) : impl_(std::make_unique<Impl>()) {
  impl_->device = static_cast<RTCDevice>(device.Handle());
  impl_->scene = rtcNewScene(impl_->device);
  rtcSetSceneFlags(impl_->scene, RTC_SCENE_FLAG_ROBUST);
  rtcSetSceneBuildQuality(impl_->scene, RTC_BUILD_QUALITY_MEDIUM);
}

RayScene::~RayScene() {
  rtcReleaseScene(impl_->scene);
}

void RayScene::AddGeometry(int id, const RayGeometry& g) {
  TARNIS_CHECK(id >= 0 && g.worldVerts && g.faces && g.faceTwoSided) << "ray geometry " << id;
  TARNIS_CHECK(g.faceTwoSided->size() == g.faces->size()) << "one two-sided flag per face";
  if (g.faces->empty() || g.worldVerts->empty()) return;
  RTCGeometry geom = rtcNewGeometry(impl_->device, RTC_GEOMETRY_TYPE_TRIANGLE);
  auto* verts = static_cast<float*>(rtcSetNewGeometryBuffer(
      geom, RTC_BUFFER_TYPE_VERTEX, 0, RTC_FORMAT_FLOAT3, 3 * sizeof(float), g.worldVerts->size()));
  std::memcpy(verts, g.worldVerts->data(), g.worldVerts->size() * sizeof(Point3));
  auto* index = static_cast<uint32_t*>(rtcSetNewGeometryBuffer(
      geom, RTC_BUFFER_TYPE_INDEX, 0, RTC_FORMAT_UINT3, 3 * sizeof(uint32_t), g.faces->size()));
  for (size_t f = 0; f < g.faces->size(); ++f) {
    std::memcpy(index + 3 * f, (*g.faces)[f].v, 3 * sizeof(uint32_t));
  }
  impl_->infos.push_back({id, g});
  if (impl_->byId.size() <= static_cast<size_t>(id))
    impl_->byId.resize(static_cast<size_t>(id) + 1);
  impl_->byId[static_cast<size_t>(id)] = &impl_->infos.back();
  rtcSetGeometryUserData(geom, &impl_->infos.back());
  rtcSetGeometryIntersectFilterFunction(geom, intersectFilter);
  rtcCommitGeometry(geom);
  rtcAttachGeometryByID(impl_->scene, geom, static_cast<unsigned>(id));
  rtcReleaseGeometry(geom);
}

void RayScene::Commit() {
  rtcCommitScene(impl_->scene);
  // Embree reports running out of memory through the device, not by throwing.
  if (rtcGetDeviceError(impl_->device) == RTC_ERROR_OUT_OF_MEMORY) throw std::bad_alloc();
}

bool RayScene::Intersect(const RayQuery& q, RayHit* hit) const {
  QueryContext ctx;
  rtcInitIntersectContext(&ctx.rtc);
  ctx.query = &q;
  RTCRayHit rh;
  setRay(rh.ray, q.origin, q.dir, q.tnear, q.tfar);
  rh.hit.geomID = RTC_INVALID_GEOMETRY_ID;
  rh.hit.primID = RTC_INVALID_GEOMETRY_ID;
  rh.hit.instID[0] = RTC_INVALID_GEOMETRY_ID;
  rtcIntersect1(impl_->scene, &ctx.rtc, &rh);
  if (rh.hit.geomID == RTC_INVALID_GEOMETRY_ID) return false;
  const GeometryInfo* info = impl_->byId[rh.hit.geomID];
  hit->instance = static_cast<int>(rh.hit.geomID);
  hit->face = static_cast<int>(rh.hit.primID);
  hit->t = rh.ray.tfar;
  // Embree's (u, v) weigh corners 1 and 2.
  hit->bary = Point3(1.0f - rh.hit.u - rh.hit.v, rh.hit.u, rh.hit.v);
  hit->backFace = IsBackFace(info->geometry, hit->face, q.dir);
  return true;
}

bool RayScene::Occluded(const Point3& origin, const Point3& dir, float tnear, float tfar) const {
  RTCIntersectContext ctx;
  rtcInitIntersectContext(&ctx);
  RTCRay ray;
  setRay(ray, origin, dir, tnear, tfar);
  rtcOccluded1(impl_->scene, &ctx, &ray);
  // Embree marks an occluded ray by setting tfar to -infinity.
  return ray.tfar < 0.0f;
}

bool RayScene::IsBackFace(const RayGeometry& g, int face, const Point3& dir) {
  return DotProd(faceNormal(g, face), dir) > 0.0f;
}

}  // namespace host
