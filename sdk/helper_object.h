// Helper objects: scene objects that render nothing (markers, and plug-in
// helpers that keep data with the scene). A node shows one like any other
// object; the renderer passes it by, as it has no mesh. Viewports ask a
// helper to draw itself and to answer hit tests through a ViewportDrawing,
// and for its bounding boxes; a host without viewports never asks. Creating
// one with the mouse goes through its CreateMouseCallBack.
#pragma once

#include "sdk/boxes.h"
#include "sdk/color.h"
#include "sdk/inode.h"
#include "sdk/reference.h"

// What a viewport offers an object to draw itself with: coloured line
// segments in the object's own space (the viewport applies the node's
// transform). In hit mode nothing is drawn; the viewport records whether a
// segment passed under the pick point instead.
class ViewportDrawing {
 public:
  virtual ~ViewportDrawing() = default;
  // True while the viewport tests for hits rather than draws.
  virtual bool HitMode() = 0;
  virtual void SetColor(const Color& c) = 0;
  virtual void Segment(const Point3& a, const Point3& b) = 0;
  // In hit mode: whether a segment drawn so far was hit.
  virtual bool WasHit() = 0;
};

// Mouse events while an object is created in a viewport.
enum CreateMouseMessage { MOUSE_POINT, MOUSE_MOVE, MOUSE_ABORT };
// What creation does next.
enum CreateMouseResult { CREATE_CONTINUE, CREATE_STOP, CREATE_ABORT };

class CreateMouseCallBack {
 public:
  virtual ~CreateMouseCallBack() = default;
  // One mouse event: `point` counts the clicks so far (0 the press, 1 its
  // release), `snapped` is the mouse point snapped into the construction
  // plane, and `nodeTM` the new node's transform, which the callback moves.
  virtual CreateMouseResult proc(CreateMouseMessage msg, int point, const Point3& snapped,
                                 Matrix3& nodeTM) = 0;
};

class HelperObject : public ReferenceTarget {
 public:
  SClass_ID SuperClassID() override { return HELPER_CLASS_ID; }

  // Draws the object of `node` at time t; answers 0.
  virtual int Display(TimeValue t, INode* node, ViewportDrawing& vd) {
    (void)t, (void)node, (void)vd;
    return 0;
  }
  // Draws the object in hit mode; answers 1 when it was hit.
  virtual int HitTest(TimeValue t, INode* node, ViewportDrawing& vd) {
    (void)t, (void)node, (void)vd;
    return 0;
  }
  // The box around what Display draws, in object space / in world space
  // (the node's transform applied). Empty for an object that draws nothing.
  virtual void GetLocalBoundBox(TimeValue t, INode* node, Box3& box) {
    (void)t, (void)node;
    box.Init();
  }
  virtual void GetWorldBoundBox(TimeValue t, INode* node, Box3& box) {
    (void)t, (void)node;
    box.Init();
  }
  // The procedure that places a new object with the mouse; null for none.
  virtual CreateMouseCallBack* GetCreateMouseCallBack() { return nullptr; }
};
