// HostRenderMapsContext: what a map's BuildMaps gets to render sub-views
// (cube reflections, mirrors) of the frame from another viewpoint. A
// sub-view is rendered with the frame's instances, lights, ray scene and
// background but without the node being mapped, with secondary visibility,
// without render effects and without further BuildMaps.
#pragma once

#include <tbb/task_arena.h>

#include <memory>
#include <vector>

#include "host/background.h"
#include "host/lights.h"
#include "host/ray_scene.h"
#include "host/render_context.h"
#include "sdk/render.h"

namespace host {

// The frame's parts a sub-view render shares.
struct SubViewResources {
  HostRenderGlobalContext* frame = nullptr;
  const RayScene* rays = nullptr;
  tbb::task_arena* arena = nullptr;
  const Background* background = nullptr;
  std::shared_ptr<const std::vector<LightSource>> lights;
  int samples = 1;
};

class HostRenderMapsContext : public RenderMapsContext {
 public:
  // The context for maps of render instance `instance`.
  HostRenderMapsContext(SubViewResources resources, int instance);

  INode* GetNode() override;
  int NodeRenderID() override { return instance_; }
  TimeValue CurrentTime() override { return res_.frame->time; }
  RenderGlobalContext* GetGlobalContext() override { return res_.frame; }

  // Renders into `bm` at its size (or srp's device size when bm is empty);
  // the view is vp.affineTM (world to camera), vp.projType and vp.fov (a
  // parallel view is vp.zoom units wide), the pixel aspect srp.devAspect.
  // Without srp.doEnvMap the background is transparent black. Clip planes
  // are in the sub-view's camera space: points with n.p + d < 0 are left
  // out. Answers false when the cancel flag stopped it.
  bool Render(Bitmap* bm, ViewParams& vp, SubRendParams& srp, const Point4* clipPlanes = nullptr,
              int nClipPlanes = 0) override;

  // Sub-view renders made so far.
  int RendersDone() const { return renders_; }

 private:
  SubViewResources res_;
  int instance_;
  int renders_ = 0;
};

}  // namespace host
