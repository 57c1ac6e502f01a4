// StdCubic, the host's reflect/refract map: before shading, BuildMaps renders
// the scene around each object that uses the map into six cube faces (from
// the centre of the object's world bounding box, the object itself left out);
// EvalColor then looks the reflected (or refracted) view up in the cube of the
// object being shaded.
//
// Cube faces, in world space (Z up): 0 +X, 1 -X, 2 +Y, 3 -Y, 4 +Z, 5 -Z. Each
// face is a 90-degree square view looking along its axis; the side faces
// have world +Z up, the +Z and -Z faces have world +Y up. A direction is
// looked up in the face of its largest component and projected like the
// renderer projects (MapToScreen: rows top to bottom).
//
// One map may serve several objects: it keeps one cube per node render id.
// BuildMaps runs on the interface thread before shading and EvalColor runs
// concurrently on render threads; the cube table is guarded by a shared
// mutex that is never held while a face renders. A new render (notification
// NOTIFY_PRE_RENDER) forgets every cube.
#pragma once

#include <array>
#include <memory>
#include <shared_mutex>
#include <unordered_map>

#include "sdk/bitmap.h"
#include "sdk/class_desc.h"
#include "sdk/mtl.h"
#include "sdk/notify.h"
#include "sdk/param_block.h"
#include "sdk/render.h"

class INode;

namespace host {

inline constexpr Class_ID kStdCubicClassID = STANDARD_CUBIC_CLASS_ID;

// Parameter ids of the block "main".
enum StdCubicParam : ParamID {
  kCbSize = 0,  // face size in pixels
  kCbBlur,      // box blur radius in pixels applied to every face
  kCbRefract,   // look up the refract vector instead of the reflect vector
  kCbNthFrame,  // render the cube on every nth frame, reuse it in between
};

class StdCubic final : public Texmap {
 public:
  explicit StdCubic(bool loading = false);
  ~StdCubic() override;

  // The world-space view direction that looks through the centre of face f.
  static Point3 FaceDirection(int face);
  // Camera-to-world frame of face f seen from `centre`.
  static Matrix3 FaceCameraToWorld(int face, const Point3& centre);
  // The face a world direction falls in.
  static int FaceOf(const Point3& dir);

  // --- Texmap -------------------------------------------------------------------
  // The cube of the sample's node (sc.NodeID()) looked up along the reflect
  // (or refract) vector in world space; transparent black without a cube.
  AColor EvalColor(ShadeContext& sc) override;
  // The colour a cube gives for world direction `dir`, bilinear within the face.
  AColor Lookup(int nodeRenderId, const Point3& dir) const;

  // --- MtlBase ------------------------------------------------------------------
  void Update(TimeValue t, Interval& valid) override;
  Interval Validity(TimeValue t) override;
  uint32_t Requirements(int) override { return MTLREQ_AUTOREFLECT; }
  // Renders the six faces for rmc's node unless its cube is still current
  // (same node, size and blur, and within the same run of nthFrame frames).
  // Answers false when a face render was cancelled (the cube is dropped).
  bool BuildMaps(TimeValue t, RenderMapsContext& rmc) override;

  // Forgets every cube.
  void ClearCubes();
  // Cubes held.
  int NumCubes() const;

  // --- Object model -----------------------------------------------------------------
  Class_ID ClassID() override { return kStdCubicClassID; }
  void GetClassName(CStr& s) override { s = "Reflect/Refract"; }
  int NumRefs() override { return 1; }
  ReferenceTarget* GetReference(int i) override { return i == 0 ? pb_ : nullptr; }
  int NumSubs() override { return 1; }
  Animatable* SubAnim(int i) override { return GetReference(i); }
  CStr SubAnimName(int i) override { return i == 0 ? "Parameters" : ""; }
  RefResult NotifyRefChanged(const Interval& changeInt, ReferenceTarget* target, PartID& partID,
                             RefMessage message) override;
  ReferenceTarget* Clone(RemapDir& remap) override;
  IParamBlock2* ParamBlock() const { return pb_; }

 protected:
  void SetReference(int i, ReferenceTarget* target) override;

 private:
  struct Cube {
    INode* node = nullptr;
    int firstFrame = 0;  // the first frame of the nthFrame run it serves
    int size = 0, blur = 0;
    std::array<Bitmap, 6> faces;
  };
  struct Working {
    int size = 256, blur = 0, nthFrame = 1;
    bool refract = false;
  };

  static void OnPreRender(void* param, NotifyInfo* info);
  static Point3 CubeCentre(RenderMapsContext& rmc, TimeValue t);
  std::shared_ptr<const Cube> Find(int nodeRenderId) const;

  IParamBlock2* pb_ = nullptr;
  Working w_;
  Interval ivalid_;
  mutable std::shared_mutex mutex_;
  std::unordered_map<int, std::shared_ptr<const Cube>> cubes_;
};

ClassDesc2* GetStdCubicDesc();

}  // namespace host
