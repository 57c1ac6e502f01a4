// The render context of one view of a frame: HostRenderInstance (a node's
// mesh with its world and camera-space vertices, boxes, transforms and
// flags) and HostRenderGlobalContext (the instances, the projection, the
// camera transforms, the view parameters, the render elements and the
// lights). The frame's context is built from the scene; a sub-view (a map
// rendering a reflection) gets a context over the same instances seen from
// elsewhere. Projection, one rule for every part: a camera-space point p maps
// to device pixel MapToScreen(p), x to the right and y down the rows;
// perspective: xscale = -(W/2) / tan(fov/2), yscale = -xscale * pixelAspect
// (so xscale < 0 and yscale > 0 as the camera looks down -z); parallel:
// xscale = W / viewWidth, yscale = -xscale * pixelAspect; xc = W/2, yc = H/2.
// Pixel (i, j) covers [i, i+1) x [j, j+1) of device coordinates.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/lights.h"
#include "host/ray_scene.h"
#include "host/scene.h"
#include "sdk/effect.h"
#include "sdk/render.h"

namespace host {

// What one node contributes to a frame, shared by the frame's views.
struct InstanceData {
  HostNode* node = nullptr;
  Mesh* mesh = nullptr;
  Mtl* mtl = nullptr;  // the node's material (or the render's override)
  int id = 0;
  uint32_t flags = 0;  // INST_HIDE, INST_TM_NEGPARITY, INST_RCV_SHADOWS
  float vis = 1.0f;
  bool primaryVisible = true, secondaryVisible = true;
  Matrix3 objToWorld;
  Box3 obBox;
  std::vector<Point3> worldVerts;
  std::vector<uint8_t> faceTwoSided;  // filled by ResolveMaterials
};

class HostRenderInstance : public RenderInstance {
 public:
  HostRenderInstance(std::shared_ptr<InstanceData> data, const Matrix3& worldToCam);

  INode* GetINode() override { return data_->node; }
  int NodeRenderId() override { return data_->id; }
  Mesh* GetMesh() override { return data_->mesh; }
  Mtl* GetMtl(int faceNum) override;
  Mtl* GetNodeMtl() override { return data_->mtl; }
  Point3 GetWorldVert(int i) override { return data_->worldVerts[static_cast<size_t>(i)]; }
  Point3 GetCamVert(int i) override { return camVerts_[static_cast<size_t>(i)]; }

  const InstanceData& Data() const { return *data_; }
  const std::vector<Point3>& CamVerts() const { return camVerts_; }
  // The geometry the ray scene needs (after ResolveMaterials).
  RayGeometry Geometry() const;

 private:
  friend class HostRenderGlobalContext;
  std::shared_ptr<InstanceData> data_;
  std::vector<Point3> camVerts_;
};

// Where a view looks from and how it projects.
struct ViewSetup {
  int width = 1, height = 1;
  float pixelAspect = 1.0f;
  int projType = PROJ_PERSPECTIVE;
  float fov = 0.785398f;    // horizontal, radians (perspective)
  float viewWidth = 10.0f;  // scene units (parallel)
  float hither = 0.1f, yon = 1e30f;
  float distance = 0.0f;  // to the camera's target
  Matrix3 worldToCam;     // rigid: no scale
};

// The view of the scene's camera node at time t.
ViewSetup CameraView(HostNode* cameraNode, const CameraObject& camera, TimeValue t, int width,
                     int height, float pixelAspect);
// The view a map asks for: affineTM, projType and fov from `vp`; a parallel
// view is vp.zoom scene units wide.
ViewSetup SubView(const ViewParams& vp, int width, int height, float pixelAspect);

class HostRenderGlobalContext : public RenderGlobalContext {
 public:
  // Instances of every node with a mesh, in AllNodes order (the instance
  // index is the node render id). Nodes with an invalid mesh are left out
  // with a warning. `mtlOverride`, when set, shades every instance.
  static std::unique_ptr<HostRenderGlobalContext> BuildFrame(const std::vector<HostNode*>& nodes,
                                                             TimeValue t, const ViewSetup& view,
                                                             Mtl* mtlOverride,
                                                             std::vector<std::string>* warnings);
  // Asks each instance's materials whether they are two-sided. Run it after
  // the materials' Update and before the ray scene is built.
  void ResolveMaterials();
  // Lights of this view (world-space sources, evaluated once per frame).
  void SetLights(std::shared_ptr<const std::vector<LightSource>> sources, const RayScene* rays);
  // The same instances seen from another view (elements and lights are
  // not carried over; set the lights again).
  std::unique_ptr<HostRenderGlobalContext> MakeSubView(const ViewSetup& view) const;

  int NumRenderInstances() override { return static_cast<int>(instances_.size()); }
  RenderInstance* GetRenderInstance(int i) override;
  int NRenderElements() override { return static_cast<int>(elements_.size()); }
  IRenderElement* GetRenderElement(int i) override;
  ViewParams* GetViewParams() override { return &viewParams_; }
  int NumSceneLights() override { return NumLights(); }
  LightDesc* SceneLight(int i) override;

  HostRenderInstance& Instance(int i) { return *instances_[static_cast<size_t>(i)]; }
  void SetRenderElements(std::vector<IRenderElement*> elements) { elements_ = std::move(elements); }
  int NumLights() const { return static_cast<int>(lights_.size()); }
  HostLight* Light(int i) const { return lights_[static_cast<size_t>(i)].get(); }
  const ViewSetup& View() const { return view_; }

  // The camera-space ray through device point (sx, sy): for perspective from
  // the eye with direction (x, y, -1), for parallel from the camera plane
  // along -z, so the ray parameter is the depth in front of the camera.
  Ray CameraRay(float sx, float sy) const;

  Color ambient;  // the environment's ambient light

 private:
  void SetView(const ViewSetup& view);
  void PlaceInstance(HostRenderInstance& inst) const;

  ViewSetup view_;
  ViewParams viewParams_;
  std::vector<std::unique_ptr<HostRenderInstance>> instances_;
  std::vector<IRenderElement*> elements_;
  std::shared_ptr<const std::vector<LightSource>> lightSources_;
  std::vector<std::unique_ptr<HostLight>> lights_;
};

}  // namespace host
