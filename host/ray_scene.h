// RayScene: the Embree scene of one frame. Every visible render instance is
// one triangle geometry in world space whose Embree geometry id is the
// instance index, so a hit names the instance and face directly. Camera and
// sub-view rays go through Intersect, which skips back faces of one-sided
// materials, the node a sub-view leaves out, nodes the ray kind must not see
// and the surface a continued ray leaves; shadow rays go through Occluded,
// where every face of every visible instance blocks light. Both queries only
// read the committed scene and run concurrently on render threads.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "sdk/mesh.h"
#include "sdk/points.h"

namespace host {

// An Embree device, shared by the ray scenes of one render.
class RayDevice {
 public:
  RayDevice();
  ~RayDevice();
  RayDevice(const RayDevice&) = delete;
  RayDevice& operator=(const RayDevice&) = delete;
  void* Handle() const { return device_; }

 private:
  void* device_;
};

// One instance's geometry as rays see it. The arrays are the instance's own
// and must stay alive and unchanged while the scene is used.
struct RayGeometry {
  const std::vector<Point3>* worldVerts = nullptr;
  const std::vector<Face>* faces = nullptr;
  // Per face, 1 when both of its sides are seen (a two-sided material).
  const std::vector<uint8_t>* faceTwoSided = nullptr;
  bool negParity = false;  // the object transform mirrors, so the winding flips
  bool primaryVisible = true;
  bool secondaryVisible = true;
};

enum class RayKind { kCamera, kSecondary };

struct RayQuery {
  Point3 origin, dir;  // world space; dir need not be unit length
  float tnear = 0.0f, tfar = 1e30f;
  RayKind kind = RayKind::kCamera;
  int excludeInstance = -1;  // a sub-view leaves this node out
  // The surface a continued ray starts on: this face is not hit again.
  int skipInstance = -1, skipFace = -1;
  // World-space planes (n, d): hits with n.p + d < 0 are left out.
  const Point4* clipPlanes = nullptr;
  int numClipPlanes = 0;
};

struct RayHit {
  int instance = -1;
  int face = -1;
  float t = 0.0f;
  Point3 bary;  // weights of the face's corners 0, 1, 2
  bool backFace = false;
};

class RayScene {
 public:
  explicit RayScene(const RayDevice& device);
  ~RayScene();
  RayScene(const RayScene&) = delete;
  RayScene& operator=(const RayScene&) = delete;

  // Adds instance `id` (its Embree geometry id). Before Commit only.
  void AddGeometry(int id, const RayGeometry& geometry);
  // Builds the acceleration structure; run it inside the render's task arena.
  void Commit();

  // The nearest accepted hit in [tnear, tfar], or false.
  bool Intersect(const RayQuery& query, RayHit* hit) const;
  // True when any face blocks the segment [tnear, tfar] of the ray.
  bool Occluded(const Point3& origin, const Point3& dir, float tnear, float tfar) const;

  // True when `face` of geometry `g` is seen from its back along `dir`.
  static bool IsBackFace(const RayGeometry& g, int face, const Point3& dir);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace host
