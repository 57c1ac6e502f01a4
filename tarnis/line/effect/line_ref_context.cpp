#include "tarnis/line/effect/line_ref_context.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <vector>

namespace tarnis {

namespace {

// A render instance of the frame placed in a sub-view's camera: everything
// but the camera-space data is the frame instance's own.
class SubViewInstance : public RenderInstance {
 public:
  SubViewInstance(RenderInstance& frame, const Matrix3& worldToCam)
      : frame_(frame), worldToCam_(worldToCam) {
    flags = frame.flags & ~INST_CLIP;  // clipped by the frame's view, not by this one
    vis = frame.vis;
    objToWorld = frame.objToWorld;
    objToCam = frame.objToWorld * worldToCam;
    camToObj = Inverse(objToCam);
    normalObjToCam = NormalMatrix(objToCam);
    normalCamToObj = NormalMatrix(camToObj);
    obBox = frame.obBox;
    camBox = obBox.IsEmpty() ? Box3() : obBox * objToCam;
    center = camBox.IsEmpty() ? Point3() : camBox.Center();
    radsq = camBox.IsEmpty() ? 0.0f : (camBox.pmax - center).LengthSquared();
  }

  INode* GetINode() override { return frame_.GetINode(); }
  int NodeRenderId() override { return frame_.NodeRenderId(); }
  Mesh* GetMesh() override { return frame_.GetMesh(); }
  Mtl* GetMtl(int faceNum) override { return frame_.GetMtl(faceNum); }
  Mtl* GetNodeMtl() override { return frame_.GetNodeMtl(); }
  bool Hidden() override { return frame_.Hidden(); }
  Point3 GetWorldVert(int i) override { return frame_.GetWorldVert(i); }
  Point3 GetCamVert(int i) override { return frame_.GetWorldVert(i) * worldToCam_; }
  float GetVisibility() override { return frame_.GetVisibility(); }
  bool CastShadows() override { return frame_.CastShadows(); }
  bool RcvShadows() override { return frame_.RcvShadows(); }

 private:
  RenderInstance& frame_;
  Matrix3 worldToCam_;
};

// The frame's render context pointed at a sub-view: a copy of the frame's
// values with the sub-view's projection, device size and camera, over the
// frame's instances placed in the sub-view's camera. It has no render
// elements: those belong to the frame's own image.
class SubViewContext : public RenderGlobalContext {
 public:
  SubViewContext(RenderGlobalContext& frame, const ViewParams& vp, const SubRendParams& srp,
                 int width, int height)
      : frame_(frame), view_(vp) {
    RenderGlobalContext::operator=(frame);
    projType = vp.projType;
    devWidth = width;
    devHeight = height;
    devAspect = srp.devAspect > 0.0f ? srp.devAspect : 1.0f;
    const float w = static_cast<float>(width);
    // The host's projection: a parallel view is vp.zoom scene units wide.
    if (projType == PROJ_PARALLEL) {
      xscale = w / (vp.zoom > 0.0f ? vp.zoom : 1.0f);
    } else {
      xscale = -0.5f * w / std::tan(0.5f * vp.fov);
    }
    yscale = -xscale * devAspect;
    xc = w * 0.5f - static_cast<float>(srp.xorg);
    yc = static_cast<float>(height) * 0.5f - static_cast<float>(srp.yorg);
    worldToCam = vp.affineTM;
    camToWorld = Inverse(worldToCam);
    nearRange = vp.nearRange;
    farRange = vp.farRange;
    const int n = frame.NumRenderInstances();
    instances_.reserve(static_cast<size_t>(std::max(n, 0)));
    for (int i = 0; i < n; ++i) {
      RenderInstance* ri = frame.GetRenderInstance(i);
      if (!ri) {
        instances_.push_back(nullptr);
        continue;
      }
      instances_.push_back(std::make_unique<SubViewInstance>(*ri, worldToCam));
    }
  }

  int NumRenderInstances() override { return static_cast<int>(instances_.size()); }
  RenderInstance* GetRenderInstance(int i) override {
    return i >= 0 && i < NumRenderInstances() ? instances_[static_cast<size_t>(i)].get() : nullptr;
  }
  ViewParams* GetViewParams() override { return &view_; }
  int NumSceneLights() override { return frame_.NumSceneLights(); }
  LightDesc* SceneLight(int i) override { return frame_.SceneLight(i); }

 private:
  RenderGlobalContext& frame_;
  ViewParams view_;
  std::vector<std::unique_ptr<SubViewInstance>> instances_;
};

}  // namespace

bool LineRefContext::Render(Bitmap* bm, ViewParams& vp, SubRendParams& srp,
                            const Point4* clipPlanes, int nClipPlanes) {
  const bool result = inner_.Render(bm, vp, srp, clipPlanes, nClipPlanes);
  RenderGlobalContext* gc = inner_.GetGlobalContext();
  // A cancelled sub-view is thrown away by its map, so it gets no lines.
  if (!result || !gc || gc->inMtlEdit || !options_ || !bm || bm->Width() < 1 || bm->Height() < 1) {
    return result;
  }
  // The host rendered at the bitmap's size, so the lines are drawn at it too.
  SubViewContext view(*gc, vp, srp, bm->Width(), bm->Height());
  std::vector<float> planes;
  for (int i = 0; clipPlanes && i < nClipPlanes; ++i) {
    const Point4& p = clipPlanes[i];
    planes.insert(planes.end(), {p.x, p.y, p.z, p.w});
  }
  LineDrawOptions options = *options_;
  options.mapMode = 1;
  // The object that reflects does not see itself.
  options.excludedInstance = inner_.NodeRenderID();
  options.planeCount = static_cast<int>(planes.size() / 4);
  options.planes = planes.empty() ? nullptr : planes.data();
  options.mirror = srp.doingMirror;
  const auto start = std::chrono::steady_clock::now();
  RenderMapLines(bm, view, options, &stats_);
  lineSeconds_ += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ++linePasses_;
  return result;
}

}  // namespace tarnis
