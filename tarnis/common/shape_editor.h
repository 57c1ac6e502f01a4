// ShapeEditor: the editor of a shape control without its window. A panel
// forwards pointer events in control pixels and menu or button commands;
// the editor selects, moves, adds and deletes nodes, moves handles, sets
// node types and resets the shape. Every completed edit is one undo entry
// named "パラメータ変更"; while a drag runs, the shape follows the pointer
// without recording, and the release records the whole move at once. The
// control rebuilds its radius table after each change.
//
// Geometry: the drawing area is a square centred in the control with half
// side m = min(width, height) / 2 - 12 pixels; pixel (px, py) is the point
// ((px - cx) / m, (py - cy) / m) of the shape's plane, whose unit circle is
// the edge nodes may not cross.
#pragma once

#include <optional>
#include <vector>

#include "sdk/bit_array.h"
#include "sdk/boxes.h"
#include "sdk/reference.h"
#include "tarnis/common/shape_control.h"

namespace tarnis {

// Modifier keys held during a pointer action.
enum ShapeEditorModifier : unsigned { kModNone = 0, kModCtrl = 1 };

enum class EditorCursor { kArrow, kMove };
enum class ShapeDragMode { kNone, kMoveNodes, kMoveHandle, kRubberBand };

// The node-type menu (resource 130) and its commands, the panel's buttons
// and its radio buttons for the type of new nodes.
inline constexpr int kNodeTypeMenu = 130;
inline constexpr int kCmdTypeCorner = 133;
inline constexpr int kCmdTypeSmooth = 131;
inline constexpr int kCmdTypeFree = 132;
inline constexpr int kCmdDeleteNodes = 1074;
inline constexpr int kCmdResetShape = 1075;
inline constexpr int kRadioNewCorner = 1134;
inline constexpr int kRadioNewSmooth = 1135;
inline constexpr int kRadioNewFree = 1136;

class ShapeEditor {
 public:
  // Pixels between the control's edge and the drawing area.
  static constexpr float kMargin = 12.0f;
  // How near (in pixels) the pointer must be to a node or handle to take it.
  static constexpr float kHitRadius = 5.0f;

  // An editor of `ctrl` (kept alive while the editor is) in a control of
  // width x height pixels.
  ShapeEditor(QvPolygonCtrl* ctrl, int width, int height);

  QvPolygonCtrl* Control() const { return holder_.GetAs<QvPolygonCtrl>(); }
  void SetControlSize(int width, int height);

  // --- Geometry ------------------------------------------------------------------
  Point2 Centre() const { return centre_; }
  float HalfSide() const { return half_; }
  Point2 ToUnit(Point2 px) const;
  Point2 ToPixels(Point2 unit) const;
  // True inside the square drawing area.
  bool InArea(Point2 px) const;

  // The node or handle under the pointer. A handle is `which` 0 (incoming)
  // or 1 (outgoing; the mirrored incoming one of a smooth node). Nodes win
  // over handles.
  struct HandleRef {
    int node = -1;
    int which = 0;
  };
  std::optional<int> NodeAt(Point2 px) const;
  std::optional<HandleRef> HandleAt(Point2 px) const;
  // Where a node's handle is drawn, in pixels; nothing for a corner node.
  std::optional<Point2> HandlePixels(int node, int which) const;

  // --- Pointer --------------------------------------------------------------------
  // Hovering: the move cursor over a node or handle, else the arrow. During
  // a drag: moves the selected nodes or the handle, or stretches the band.
  EditorCursor PointerMove(Point2 px);
  // On a node: selects it (Ctrl adds it to the selection; pressing a node
  // already selected keeps the selection) and starts moving the selected
  // nodes. On a handle: starts moving it. Elsewhere in the area: starts a
  // rubber band.
  void LeftPress(Point2 px, unsigned modifiers);
  // Ends the drag: a band selects the nodes inside it (Ctrl adds to the
  // selection); a move is recorded as one undo entry.
  void LeftRelease(Point2 px, unsigned modifiers);
  // On a node: deletes it (only when three nodes remain). Elsewhere in the
  // area: adds a node there (radius at most 1, the new-node type), placed in
  // the list so that the list stays in angle order.
  void DoubleClick(Point2 px);
  // During a drag: cancels it (the shape goes back) and answers nothing. On
  // a node: selects it unless it is selected and answers the node's type, to
  // be checked in the node-type menu the panel then opens.
  std::optional<int> RightPress(Point2 px);

  // --- Commands ---------------------------------------------------------------------
  // A menu, button or radio-button command; false for an id the editor does
  // not handle.
  bool Command(int id);
  // Gives the selected nodes `type`. A corner that becomes smooth or free
  // without handles gets handles along the circle through it.
  void SetSelectedType(int type);
  // Deletes the selected nodes when at least three nodes remain; otherwise
  // nothing. Answers whether anything was deleted.
  bool DeleteSelected();
  // Resets to `polyNodeResetNum` nodes of the new-node type and clears the
  // selection.
  void ResetShape();
  void SetNewNodeType(int type);
  int NewNodeType() const { return newType_; }

  // --- State ------------------------------------------------------------------------
  // The selected nodes; emptied whenever the number of nodes changed behind
  // the editor's back (an undo).
  const BitArray& Selection();
  // Selects a node (with `add`, in addition to those selected).
  void Select(int node, bool add);
  void ClearSelection();
  ShapeDragMode DragMode() const { return mode_; }
  // The rubber band in pixels (empty when none is being stretched).
  Box2 RubberBand() const;

 private:
  void SyncSelection();
  void StartDrag(ShapeDragMode mode, Point2 px);
  void DragNodes(Point2 px);
  void DragHandle(Point2 px);
  void CancelDrag();
  void CommitDrag();
  // Writes `nodes` over the control's nodes where they differ.
  void WriteNodes(const std::vector<ShapeNode>& nodes);
  std::vector<ShapeNode> ReadNodes() const;
  bool DeleteNodes(const std::vector<int>& nodes);
  void AddNodeAt(Point2 unit);
  // Node i as type `type`, with handles along the circle when it gains them.
  ShapeNode WithType(const ShapeNode& node, int type, int numNodes) const;

  ReferenceHolder holder_;
  Point2 centre_;
  float half_ = 1.0f;
  BitArray selection_;
  int newType_ = kNodeCorner;

  ShapeDragMode mode_ = ShapeDragMode::kNone;
  Point2 dragStart_;  // pixels
  Point2 dragNow_;    // pixels
  HandleRef dragHandle_;
  std::vector<ShapeNode> before_;  // every node as the drag found it
};

}  // namespace tarnis
