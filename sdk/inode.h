// INode: a node of the scene graph as plug-ins see it: name, place in the
// hierarchy, transform at a time, the object it shows, its material, and the
// flags that decide how it renders.
#pragma once

#include "sdk/color.h"
#include "sdk/matrix3.h"
#include "sdk/reference.h"

class Mtl;
class Mesh;

class INode : public ReferenceTarget {
 public:
  SClass_ID SuperClassID() override { return BASENODE_CLASS_ID; }

  virtual const char* GetName() = 0;
  virtual void SetName(const char* name) = 0;

  // The scene root has no parent; it is the parent of every top-level node.
  virtual bool IsRootNode() = 0;
  virtual INode* GetParentNode() = 0;
  virtual int NumberOfChildren() = 0;
  virtual INode* GetChildNode(int i) = 0;

  // Node to world at time t; `valid` is narrowed to how long it holds.
  virtual Matrix3 GetNodeTM(TimeValue t, Interval* valid = nullptr) = 0;
  // Object to world (the node transform with the object offset applied).
  virtual Matrix3 GetObjectTM(TimeValue t, Interval* valid = nullptr) = 0;

  // The mesh the node shows, or null (groups, cameras, lights, helpers).
  virtual Mesh* GetMesh(TimeValue t) = 0;
  // The object the node shows (geometry, light, camera, helper), or null.
  virtual ReferenceTarget* GetObjectRef() = 0;
  virtual Mtl* GetMtl() = 0;
  virtual void SetMtl(Mtl* mtl) = 0;
  virtual Color GetWireColor() = 0;
  // True while the node is selected in the host's viewports.
  virtual bool Selected() { return false; }

  // The object id written to the G-buffer (0 = none).
  virtual int GetGBufID() = 0;
  virtual bool Renderable() = 0;
  // Seen by camera rays / by reflections and refractions.
  virtual bool GetPrimaryVisibility() = 0;
  virtual bool GetSecondaryVisibility() = 0;
  // Visibility 0..1 at time t (0 hides the node).
  virtual float GetVisibility(TimeValue t) = 0;

  // A group is a head node with member nodes under it.
  virtual bool IsGroupHead() = 0;
  virtual bool IsGroupMember() = 0;
};
