#include "host/scene_classes.h"

#include "host/scene.h"

namespace host {

namespace {

// One descriptor type for every scene class: the classes differ only in
// their ids, names and what Create makes.
template <class T>
class SceneClassDesc : public ClassDesc2 {
 public:
  SceneClassDesc(const char* name, SClass_ID super, Class_ID id)
      : name_(name), super_(super), id_(id) {}
  int IsPublic() override { return 0; }
  void* Create(bool) override { return static_cast<ReferenceTarget*>(new T); }
  const char* ClassName() override { return name_; }
  SClass_ID SuperClassID() override { return super_; }
  Class_ID ClassID() override { return id_; }
  const char* Category() override { return ""; }

 private:
  const char* name_;
  SClass_ID super_;
  Class_ID id_;
};

SceneClassDesc<HostNode> nodeDesc("Node", BASENODE_CLASS_ID, kHostNodeClassID);
SceneClassDesc<GeomObject> geomDesc("Editable Mesh", GEOMOBJECT_CLASS_ID, kGeomObjectClassID);
SceneClassDesc<CameraObject> cameraDesc("Camera", CAMERA_CLASS_ID, kCameraObjectClassID);
SceneClassDesc<LightObject> lightDesc("Light", LIGHT_CLASS_ID, kLightObjectClassID);
SceneClassDesc<RefList> listDesc("List", REF_TARGET_CLASS_ID, kRefListClassID);

}  // namespace

void RegisterSceneClasses(ClassDirectory& dir) {
  dir.AddClass(&nodeDesc);
  dir.AddClass(&geomDesc);
  dir.AddClass(&cameraDesc);
  dir.AddClass(&lightDesc);
  dir.AddClass(&listDesc);
}

}  // namespace host
