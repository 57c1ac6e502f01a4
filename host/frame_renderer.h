// FrameRenderer: the stages of one frame between the scene and the finished
// image, in the order the render sequence calls them: Build (render
// instances and the camera's view), Prepare (materials' and maps' Update,
// the ray scene, the lights), BuildMaps (sub-view renders of maps, through a
// HostRenderMapsContext per instance), Shade (every pixel on the render
// threads). Notifications, effects and the frame sink belong to the render
// sequence (renderer.cpp), which calls these in between.
#pragma once

#include <tbb/task_arena.h>

#include <functional>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "host/background.h"
#include "host/ray_scene.h"
#include "host/render_context.h"
#include "host/renderer.h"

namespace host {

struct FrameSetup {
  std::vector<HostNode*> nodes;  // every node of the scene
  HostNode* cameraNode = nullptr;
  const CameraObject* camera = nullptr;
  TimeValue time = 0;
  int width = 1, height = 1;
  float pixelAspect = 1.0f;
  int samples = 1;
  Mtl* mtlOverride = nullptr;  // shades every instance when set
  bool inMtlEdit = false;
  Color ambient;
  const Background* background = nullptr;
  bool defaultLights = false;  // the scene has no lights: light it with DefaultLights
};

class FrameRenderer {
 public:
  FrameRenderer(tbb::task_arena& arena, const RayDevice& device);
  ~FrameRenderer();

  // Builds the frame's context; invalid meshes are reported in `warnings`.
  void Build(const FrameSetup& setup, std::vector<std::string>* warnings);
  HostRenderGlobalContext& Context() { return *context_; }

  // Update(t) of every material and map reachable from the nodes (each
  // once, parents before their sub-materials and maps), then the ray scene
  // and the lights.
  void Prepare();
  // BuildMaps of every material and map of every visible instance; false
  // when one answers false or the cancel flag is set.
  bool BuildMaps();
  // Shades every pixel into `frame` (image, element images already sized
  // and registered with the context, G-buffer). `afterBand(rowsDone)` runs
  // between bands on the calling thread; false stops the frame (answers
  // false). `shaded` receives the number of surface samples shaded.
  bool Shade(FrameResult& frame, const std::function<bool(int)>& afterBand, long long* shaded);

  // Materials and maps Prepare updated, in the order it updated them.
  const std::vector<MtlBase*>& Updated() const { return updated_; }

 private:
  tbb::task_arena& arena_;
  const RayDevice& device_;
  FrameSetup setup_;
  std::unique_ptr<HostRenderGlobalContext> context_;
  std::unique_ptr<RayScene> rays_;
  std::shared_ptr<const std::vector<LightSource>> lights_;
  std::vector<MtlBase*> updated_;
};

// Every material and map reachable from `root` through sub-materials and
// sub-maps, parents first, each once (`seen` carries over between calls).
void CollectMtlBases(MtlBase* root, std::vector<MtlBase*>& out, std::unordered_set<MtlBase*>& seen);

}  // namespace host
