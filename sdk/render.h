// What a render hands to plug-ins: the frame's RenderGlobalContext (device
// size and projection, camera transforms, time, the render instances with
// their meshes and transforms, render elements, view parameters), the
// RenderMapsContext that lets a map render a sub-view, and the callback that
// reports progress and asks whether to stop.
#pragma once

#include <vector>

#include "sdk/bitmap.h"
#include "sdk/boxes.h"
#include "sdk/color.h"
#include "sdk/interval.h"
#include "sdk/matrix3.h"

class INode;
class Mesh;
class Mtl;
class IRenderElement;
class LightDesc;
class SubRendParams;

inline constexpr int PROJ_PERSPECTIVE = 0;
inline constexpr int PROJ_PARALLEL = 1;

// RenderInstance flags.
inline constexpr uint32_t INST_HIDE = 1u << 0;  // not rendered (visibility 0, hidden)
inline constexpr uint32_t INST_CLIP = 1u << 1;  // entirely outside the view
inline constexpr uint32_t INST_BLUR = 1u << 2;
inline constexpr uint32_t INST_RCV_SHADOWS = 1u << 3;
inline constexpr uint32_t INST_TM_NEGPARITY = 1u << 4;  // object-to-world mirrors

// One renderable object of the frame: a node's mesh with its transforms.
class RenderInstance {
 public:
  virtual ~RenderInstance() = default;

  virtual INode* GetINode() = 0;
  // Index of the instance in the frame (0..n-1); stable for the frame.
  virtual int NodeRenderId() = 0;
  virtual Mesh* GetMesh() = 0;
  // Material of face f (the node's material, or a sub-material for
  // multi-materials); may be null.
  virtual Mtl* GetMtl(int faceNum) = 0;
  // The node's own material.
  virtual Mtl* GetNodeMtl() = 0;
  virtual bool Hidden() { return (flags & INST_HIDE) != 0; }
  virtual bool IsClipped() { return (flags & INST_CLIP) != 0; }
  // World-space vertex i.
  virtual Point3 GetWorldVert(int i) = 0;
  // Camera-space vertex i.
  virtual Point3 GetCamVert(int i) = 0;
  virtual float GetVisibility() { return vis; }
  virtual bool CastShadows() { return true; }
  virtual bool RcvShadows() { return (flags & INST_RCV_SHADOWS) != 0; }

  uint32_t flags = 0;
  float vis = 1.0f;
  Matrix3 objToWorld, objToCam, camToObj, normalObjToCam, normalCamToObj;
  Box3 obBox;     // object-space box
  Box3 camBox;    // camera-space box
  Point3 center;  // camera-space centre of the bounding sphere
  float radsq = 0.0f;
};

// View parameters of the frame or sub-view.
class ViewParams {
 public:
  Matrix3 prevAffineTM;  // world to camera at the previous sample time
  Matrix3 affineTM;      // world to camera
  int projType = PROJ_PERSPECTIVE;
  float hither = 0.1f, yon = 1e30f;
  float distance = 0.0f;  // distance to the target
  float zoom = 1.0f;      // parallel projection: view width scale
  float fov = 0.785398f;  // horizontal field of view, radians
  float nearRange = 0.0f, farRange = 1e30f;
};

class RenderGlobalContext {
 public:
  virtual ~RenderGlobalContext() = default;

  virtual int NumRenderInstances() = 0;
  virtual RenderInstance* GetRenderInstance(int i) = 0;
  virtual int NRenderElements() { return 0; }
  virtual IRenderElement* GetRenderElement(int /*i*/) { return nullptr; }
  // Null when the render has no view parameters.
  virtual ViewParams* GetViewParams() { return nullptr; }
  // The frame's lights, for shading that happens outside the renderer's own
  // samples (maps evaluated along lines). Valid until the frame ends.
  virtual int NumSceneLights() { return 0; }
  virtual LightDesc* SceneLight(int /*i*/) { return nullptr; }

  // Camera-space point to device (pixel) coordinates.
  Point2 MapToScreen(const Point3& p) const;

  int devWidth = 0, devHeight = 0;
  float devAspect = 1.0f;              // pixel aspect
  float xscale = 1.0f, yscale = 1.0f;  // device scale (see MapToScreen)
  float xc = 0.0f, yc = 0.0f;          // device centre
  bool antialias = true;
  int projType = PROJ_PERSPECTIVE;
  Matrix3 camToWorld, worldToCam;
  float nearRange = 0.0f, farRange = 1e30f;
  TimeValue time = 0;
  bool inMtlEdit = false;
  Color globalLightLevel{1.0f, 1.0f, 1.0f};
  int wireMode = 0;
  bool fieldRender = false;
  bool force2Side = false;
};

// What NOTIFY_PRE_RENDER and NOTIFY_POST_RENDER carry: the render as a whole.
struct RendParams {
  bool singleFrame = true;  // one frame rather than a sequence
  int firstFrame = 0, lastFrame = 0;
  int width = 0, height = 0;
  bool inMtlEdit = false;  // a material-editor sample render
};

// What NOTIFY_FRAME_HISTORY_WANTED carries: an earlier frame of the sequence
// at `time`; a listener that keeps state from frame to frame sets `wanted`.
struct FrameHistoryQuery {
  TimeValue time = 0;
  bool wanted = false;
};

// Progress and cancellation of long work.
class CheckAbortCallback {
 public:
  virtual ~CheckAbortCallback() = default;
  // True when the work should stop.
  virtual bool Check() = 0;
  // Reports done out of total; answers like Check.
  virtual bool Progress(int done, int total) = 0;
  virtual void SetTitle(const char* title) = 0;
};

// Sub-view rendering for maps (cube reflections, mirrors).
class SubRendParams {
 public:
  int rendType = 0;
  bool fieldRender = false;
  bool evenLines = false;
  bool doingMirror = false;
  bool doEnvMap = true;
  int devWidth = 0, devHeight = 0;
  float devAspect = 1.0f;
  int xorg = 0, yorg = 0;
  int xmin = 0, xmax = 0, ymin = 0, ymax = 0;
  float fov = 1.5707963f;  // 90 degrees for cube faces
  int projType = PROJ_PERSPECTIVE;
};

class RenderMapsContext {
 public:
  virtual ~RenderMapsContext() = default;
  // The node whose maps are being built, and its render instance's index.
  virtual INode* GetNode() = 0;
  virtual int NodeRenderID() = 0;
  virtual TimeValue CurrentTime() = 0;
  // The frame's context; null outside a render.
  virtual RenderGlobalContext* GetGlobalContext() = 0;
  // The frame's own view parameters (left as they are without any).
  virtual void GetCurrentViewParams(ViewParams& vp);
  // The frame's device size and aspect as the parameters of a full view.
  virtual void GetSubRendParams(SubRendParams& srp);
  // The sub-material whose maps are built; -1 for the node's material.
  virtual int SubMtlIndex() { return -1; }
  // The camera-space plane of a flat object's faces of material `mtlNum`;
  // false when they do not lie in one plane (or the host does not tell).
  virtual bool FindMtlPlane(int mtlNum, Point4& plane) {
    (void)mtlNum, (void)plane;
    return false;
  }
  // The device box of the faces of material `mtlNum`; empty when unknown.
  virtual Box2 FindMtlScreenBox(int mtlNum) {
    (void)mtlNum;
    return {};
  }
  // Boxes of the node's mesh in object and in camera space, and its
  // object-to-world transform (identity and empty boxes without an instance).
  virtual Box3 ObjectSpaceBoundingBox();
  virtual Box3 CameraSpaceBoundingBox();
  virtual Matrix3 ObjectToWorldTM();
  // Renders the scene from `vp` into `bm` (without the current node when
  // the map asks so); false when the render was cancelled.
  virtual bool Render(Bitmap* bm, ViewParams& vp, SubRendParams& srp,
                      const Point4* clipPlanes = nullptr, int nClipPlanes = 0) = 0;
};
