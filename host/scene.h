// The host's scene: a tree of nodes under a root, each showing a geometry,
// camera or light object with a material; the environment; the render
// settings; the render-effect list and the render elements; and a library of
// named materials and maps. Everything that plug-ins may reference is a
// ReferenceTarget held through references, so the reference system decides
// lifetimes: the Scene holds the root node, the root holds its children, a
// node holds its object, material and transform controllers.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sdk/color.h"
#include "sdk/controllers.h"
#include "sdk/effect.h"
#include "sdk/inode.h"
#include "sdk/mesh.h"
#include "sdk/mtl.h"
#include "sdk/reference.h"

namespace host {

// Class ids of the host's own object classes.
inline constexpr Class_ID kGeomObjectClassID(0x6A170001, 0x2B4E0001);
inline constexpr Class_ID kCameraObjectClassID(0x6A170002, 0x2B4E0001);
inline constexpr Class_ID kLightObjectClassID(0x6A170003, 0x2B4E0001);
inline constexpr Class_ID kHostNodeClassID(0x6A170004, 0x2B4E0001);
inline constexpr Class_ID kRefListClassID(0x6A170005, 0x2B4E0001);

// An ordered list of references (the effect list, render elements, the
// material library, a node's children). Changes go through the reference
// system, so they are recorded for undo while theHold is holding.
class RefList : public ReferenceTarget {
 public:
  Class_ID ClassID() override { return kRefListClassID; }
  int Count() const { return static_cast<int>(items_.size()); }
  ReferenceTarget* Get(int i) const { return items_[static_cast<size_t>(i)]; }
  void Append(ReferenceTarget* t);
  // Removes entry i (0..Count()-1); the target is released.
  void Remove(int i);
  void Clear();
  int IndexOf(ReferenceTarget* t) const;

  int NumRefs() override { return Count(); }
  ReferenceTarget* GetReference(int i) override;
  IOResult Save(ISave* isave) override;  // the count; the slots are saved by the graph writer
  IOResult Load(ILoad* iload) override;

 protected:
  void SetReference(int i, ReferenceTarget* t) override;

 private:
  std::vector<ReferenceTarget*> items_;
};

// A triangle mesh object.
class GeomObject : public ReferenceTarget {
 public:
  Class_ID ClassID() override { return kGeomObjectClassID; }
  SClass_ID SuperClassID() override { return GEOMOBJECT_CLASS_ID; }
  IOResult Save(ISave* isave) override;
  // Refuses (IO_ERROR) a mesh whose indices do not fit its vertices.
  IOResult Load(ILoad* iload) override;
  Mesh mesh;
  std::string source;  // where the mesh came from ("box", a file name), for reports
};

class CameraObject : public ReferenceTarget {
 public:
  enum class Type { kPerspective, kOrthographic };
  Class_ID ClassID() override { return kCameraObjectClassID; }
  SClass_ID SuperClassID() override { return CAMERA_CLASS_ID; }
  IOResult Save(ISave* isave) override;
  IOResult Load(ILoad* iload) override;

  Type type = Type::kPerspective;
  float fovDegrees = 45.0f;  // horizontal field of view (perspective)
  float width = 10.0f;       // view width in scene units (orthographic)
  float nearClip = 0.1f, farClip = 1000.0f;
};

class LightObject : public ReferenceTarget {
 public:
  enum class Type { kOmni, kDirectional, kSpot };
  Class_ID ClassID() override { return kLightObjectClassID; }
  SClass_ID SuperClassID() override { return LIGHT_CLASS_ID; }
  IOResult Save(ISave* isave) override;
  IOResult Load(ILoad* iload) override;

  Type type = Type::kOmni;
  Color color{1.0f, 1.0f, 1.0f};
  float multiplier = 1.0f;
  bool castShadows = false;
  bool affectDiffuse = true;
  bool affectSpecular = true;
  bool ambientOnly = false;
  float hotspotDegrees = 40.0f, falloffDegrees = 45.0f;  // spot cone (full angles)
};

// A node. Its transform is position, rotation (Euler XYZ in degrees, applied
// x then y then z) and scale, each static or driven by a Point3 controller;
// or, when a target is set, a look-at frame from the position towards it.
class HostNode : public INode {
 public:
  HostNode() = default;
  explicit HostNode(std::string name) : name_(std::move(name)) {}

  Class_ID ClassID() override { return kHostNodeClassID; }

  // INode.
  const char* GetName() override { return name_.c_str(); }
  void SetName(const char* name) override;
  bool IsRootNode() override { return root_; }
  INode* GetParentNode() override { return parent_; }
  int NumberOfChildren() override;
  INode* GetChildNode(int i) override;
  Matrix3 GetNodeTM(TimeValue t, Interval* valid = nullptr) override;
  Matrix3 GetObjectTM(TimeValue t, Interval* valid = nullptr) override;
  Mesh* GetMesh(TimeValue t) override;
  ReferenceTarget* GetObjectRef() override { return object_; }
  Mtl* GetMtl() override;
  void SetMtl(Mtl* mtl) override;
  Color GetWireColor() override { return wireColor; }
  int GetGBufID() override { return gbufID; }
  bool Renderable() override { return renderable; }
  bool GetPrimaryVisibility() override { return primaryVisibility; }
  bool GetSecondaryVisibility() override { return secondaryVisibility; }
  float GetVisibility(TimeValue t) override;
  bool IsGroupHead() override { return groupHead; }
  bool IsGroupMember() override { return groupMember; }

  // Building the tree. AttachChild moves `child` from its old parent;
  // DetachChild takes it out of this node (it is deleted when nothing else
  // references it).
  void AttachChild(HostNode* child);
  void DetachChild(HostNode* child);
  // Makes this node the parent of every node in its children list (after loading).
  void AdoptChildren();
  void SetObject(ReferenceTarget* object);
  void MarkRoot() { root_ = true; }

  // Transform parts; a controller, when set, overrides the static value.
  Point3 position, rotationDegrees, scale{1.0f, 1.0f, 1.0f};
  std::optional<Point3> target;
  Point3 up{0.0f, 0.0f, 1.0f};
  void SetPositionController(Control* c);
  void SetRotationController(Control* c);
  void SetScaleController(Control* c);
  void SetVisibilityController(Control* c);

  Color wireColor{0.5f, 0.5f, 0.5f};
  int gbufID = 0;
  bool renderable = true;
  bool primaryVisibility = true;
  bool secondaryVisibility = true;
  float visibility = 1.0f;
  bool groupHead = false;
  bool groupMember = false;

  // Reference slots: 0 object, 1 material, 2 position, 3 rotation, 4 scale,
  // 5 visibility controller, 6 the children list.
  enum Slot { kObject, kMaterial, kPosition, kRotation, kScale, kVisibility, kChildren, kNumSlots };
  int NumRefs() override { return kNumSlots; }
  ReferenceTarget* GetReference(int i) override;
  IOResult Save(ISave* isave) override;
  IOResult Load(ILoad* iload) override;

 protected:
  void SetReference(int i, ReferenceTarget* t) override;

 private:
  RefList* Children();

  std::string name_;
  bool root_ = false;
  HostNode* parent_ = nullptr;
  ReferenceTarget* object_ = nullptr;
  Mtl* mtl_ = nullptr;
  Control* controllers_[4] = {nullptr, nullptr, nullptr, nullptr};
  RefList* children_ = nullptr;
};

struct Environment {
  Color background{0.0f, 0.0f, 0.0f};
  std::string backgroundImage;  // empty: the colour
  Color ambient{0.0f, 0.0f, 0.0f};
};

struct RenderSettings {
  int width = 640, height = 480;
  float pixelAspect = 1.0f;
  int firstFrame = 0, lastFrame = 0;
  int fps = 30;
  int samples = 2;     // N x N samples per pixel
  int threads = 0;     // 0: all cores
  bool alpha = false;  // true: the background is transparent in the image; false: opaque
};

class Scene {
 public:
  Scene();
  ~Scene();
  Scene(const Scene&) = delete;
  Scene& operator=(const Scene&) = delete;

  HostNode* Root() const;
  // Creates a node under `parent` (the root when null).
  HostNode* CreateNode(const std::string& name, HostNode* parent = nullptr);
  // The first node with this name, depth first from the root, or null.
  HostNode* FindNode(const std::string& name) const;
  // Every node but the root, depth first in child order.
  std::vector<HostNode*> AllNodes() const;
  // True when `node` is under this scene's root.
  bool Contains(INode* node) const;
  // Takes `node` out of the scene: its children move to its parent, and
  // the node is deleted (references to it elsewhere are cleared). False,
  // with nothing changed, for the root or a node not in this scene.
  bool DeleteNode(HostNode* node);
  // The node that carries the active camera, or null.
  HostNode* cameraNode = nullptr;

  RefList& Effects() const { return *effects_; }
  RefList& Elements() const { return *elements_; }
  // Named materials and maps that the scene keeps even when unassigned.
  RefList& Library() const { return *library_; }

  // Takes the contents of a loaded scene in place of the current ones.
  void Adopt(HostNode* root, RefList* effects, RefList* elements, RefList* library);

  Environment environment;
  RenderSettings render;
  std::string sourcePath;  // the file the scene was read from

 private:
  ReferenceHolder rootHolder_;
  ReferenceHolder effectsHolder_, elementsHolder_, libraryHolder_;
  RefList* effects_;
  RefList* elements_;
  RefList* library_;
};

// A core interface that works on one scene at a time (the host's): saving
// and merging point it at the scene they work on, so that plug-ins handling
// the file notifications see that scene.
class SceneUser {
 public:
  virtual ~SceneUser() = default;
  virtual Scene* GetScene() const = 0;
  virtual void SetScene(Scene* scene) = 0;
};

}  // namespace host
