// The shape editor's geometry, hit tests, drags and commands.
#include "tarnis/common/shape_editor.h"

#include <algorithm>
#include <cmath>

#include "sdk/angles.h"
#include "sdk/hold.h"
#include "tarnis/resources/string_table.h"

namespace tarnis {

namespace {

// The least angle kept between a moved node and its neighbours, so that
// two nodes never share a direction.
constexpr float kMinGap = 1e-3f;

const char* UndoName() {
  const char* text = FindString(kStrParameterChange);
  return text ? text : "";
}

// The counter-clockwise turn from `from` to `to`, in [0, 2pi).
float Turn(float from, float to) {
  float d = std::fmod(to - from, kTwoPi);
  if (d < 0.0f) d += kTwoPi;
  return d >= kTwoPi ? 0.0f : d;
}

float Wrap(float angle) {
  float a = std::remainder(angle, kTwoPi);
  return a <= -kPi ? a + kTwoPi : a;
}

// `angle` kept strictly inside the turn from `prev` to `next` (the whole
// circle when they are the same node's angle); outside it, the nearer end.
float LimitBetween(float angle, float prev, float next) {
  float span = Turn(prev, next);
  if (span == 0.0f) span = kTwoPi;
  const float gap = std::min(kMinGap, span * 0.5f);
  float off = Turn(prev, angle);
  if (off >= span) {
    off = off - span <= kTwoPi - off ? span - gap : gap;
  }
  off = std::clamp(off, gap, span - gap);
  return Wrap(prev + off);
}

// The angle and radius of a point of the plane, kept inside the unit circle.
std::pair<float, float> Polar(Point2 p) {
  const float r = std::min(p.Length(), 1.0f);
  return {std::atan2(-p.y, p.x), r};
}

bool SameNode(const ShapeNode& a, const ShapeNode& b) {
  return a.angle == b.angle && a.radius == b.radius && a.type == b.type && a.handle0 == b.handle0 &&
         a.handle1 == b.handle1;
}

}  // namespace

ShapeEditor::ShapeEditor(QvPolygonCtrl* ctrl, int width, int height) : holder_(ctrl) {
  SetControlSize(width, height);
  SyncSelection();
}

void ShapeEditor::SetControlSize(int width, int height) {
  centre_ = Point2(static_cast<float>(width) * 0.5f, static_cast<float>(height) * 0.5f);
  // A control too small for a drawing area still maps points without
  // dividing by zero.
  half_ = std::max(static_cast<float>(std::min(width, height)) * 0.5f - kMargin, 1.0f);
}

Point2 ShapeEditor::ToUnit(Point2 px) const {
  return (px - centre_) / half_;
}

Point2 ShapeEditor::ToPixels(Point2 unit) const {
  return centre_ + unit * half_;
}

bool ShapeEditor::InArea(Point2 px) const {
  const Point2 u = ToUnit(px);
  return std::abs(u.x) <= 1.0f && std::abs(u.y) <= 1.0f;
}

// --- Hit tests ----------------------------------------------------------------------

std::optional<int> ShapeEditor::NodeAt(Point2 px) const {
  QvPolygonCtrl* ctrl = Control();
  if (!ctrl) return std::nullopt;
  for (int i = 0; i < ctrl->NumNodes(); ++i) {
    if ((ToPixels(ctrl->NodePosition(i)) - px).Length() <= kHitRadius) return i;
  }
  return std::nullopt;
}

std::optional<Point2> ShapeEditor::HandlePixels(int node, int which) const {
  QvPolygonCtrl* ctrl = Control();
  if (!ctrl || node < 0 || node >= ctrl->NumNodes()) return std::nullopt;
  if (ctrl->GetNode(node).type == kNodeCorner) return std::nullopt;
  const Point2 offset = which == 0 ? ctrl->InHandle(node) : ctrl->OutHandle(node);
  return ToPixels(ctrl->NodePosition(node) + offset);
}

std::optional<ShapeEditor::HandleRef> ShapeEditor::HandleAt(Point2 px) const {
  QvPolygonCtrl* ctrl = Control();
  if (!ctrl || NodeAt(px)) return std::nullopt;
  for (int i = 0; i < ctrl->NumNodes(); ++i) {
    for (int which = 0; which < 2; ++which) {
      std::optional<Point2> at = HandlePixels(i, which);
      if (at && (*at - px).Length() <= kHitRadius) return HandleRef{i, which};
    }
  }
  return std::nullopt;
}

// --- Selection ------------------------------------------------------------------------

void ShapeEditor::SyncSelection() {
  QvPolygonCtrl* ctrl = Control();
  const int n = ctrl ? ctrl->NumNodes() : 0;
  if (selection_.GetSize() != n) selection_.SetSize(n);
}

const BitArray& ShapeEditor::Selection() {
  SyncSelection();
  return selection_;
}

void ShapeEditor::Select(int node, bool add) {
  SyncSelection();
  if (node < 0 || node >= selection_.GetSize()) return;
  if (!add) selection_.ClearAll();
  selection_.Set(node);
}

void ShapeEditor::ClearSelection() {
  SyncSelection();
  selection_.ClearAll();
}

Box2 ShapeEditor::RubberBand() const {
  if (mode_ != ShapeDragMode::kRubberBand) return Box2();
  return Box2(dragStart_, dragNow_);
}

// --- Pointer ----------------------------------------------------------------------------

EditorCursor ShapeEditor::PointerMove(Point2 px) {
  switch (mode_) {
    case ShapeDragMode::kMoveNodes:
      DragNodes(px);
      return EditorCursor::kMove;
    case ShapeDragMode::kMoveHandle:
      DragHandle(px);
      return EditorCursor::kMove;
    case ShapeDragMode::kRubberBand:
      dragNow_ = px;
      return EditorCursor::kArrow;
    case ShapeDragMode::kNone:
      break;
  }
  return NodeAt(px) || HandleAt(px) ? EditorCursor::kMove : EditorCursor::kArrow;
}

void ShapeEditor::LeftPress(Point2 px, unsigned modifiers) {
  SyncSelection();
  if (mode_ != ShapeDragMode::kNone) CancelDrag();
  if (std::optional<int> node = NodeAt(px)) {
    if (modifiers & kModCtrl) {
      selection_.Set(*node);
    } else if (!selection_[*node]) {
      Select(*node, false);
    }
    StartDrag(ShapeDragMode::kMoveNodes, px);
  } else if (std::optional<HandleRef> handle = HandleAt(px)) {
    dragHandle_ = *handle;
    StartDrag(ShapeDragMode::kMoveHandle, px);
  } else if (InArea(px)) {
    StartDrag(ShapeDragMode::kRubberBand, px);
  }
}

void ShapeEditor::LeftRelease(Point2 px, unsigned modifiers) {
  if (mode_ == ShapeDragMode::kRubberBand) {
    dragNow_ = px;
    const Box2 band = RubberBand();
    SyncSelection();
    if (!(modifiers & kModCtrl)) selection_.ClearAll();
    QvPolygonCtrl* ctrl = Control();
    for (int i = 0; ctrl && i < selection_.GetSize(); ++i) {
      if (band.Contains(ToPixels(ctrl->NodePosition(i)))) selection_.Set(i);
    }
    mode_ = ShapeDragMode::kNone;
    return;
  }
  if (mode_ == ShapeDragMode::kNone) return;
  PointerMove(px);
  CommitDrag();
}

void ShapeEditor::DoubleClick(Point2 px) {
  if (mode_ != ShapeDragMode::kNone) CancelDrag();
  SyncSelection();
  if (std::optional<int> node = NodeAt(px)) {
    DeleteNodes({*node});
  } else if (InArea(px)) {
    AddNodeAt(ToUnit(px));
  }
}

std::optional<int> ShapeEditor::RightPress(Point2 px) {
  if (mode_ != ShapeDragMode::kNone) {
    CancelDrag();
    return std::nullopt;
  }
  SyncSelection();
  std::optional<int> node = NodeAt(px);
  if (!node) return std::nullopt;
  if (!selection_[*node]) Select(*node, false);
  return Control()->GetNode(*node).type;
}

// --- Drags ----------------------------------------------------------------------------

void ShapeEditor::StartDrag(ShapeDragMode mode, Point2 px) {
  mode_ = mode;
  dragStart_ = dragNow_ = px;
  before_ = ReadNodes();
}

void ShapeEditor::DragNodes(Point2 px) {
  dragNow_ = px;
  QvPolygonCtrl* ctrl = Control();
  const int n = static_cast<int>(before_.size());
  if (!ctrl || ctrl->NumNodes() != n) return;
  const Point2 delta = ToUnit(px) - ToUnit(dragStart_);
  HoldSuspend suspend;
  if (delta == Point2()) {
    // Back at the start: the nodes as they were, not recomputed from their
    // positions (which could change the last bit of an angle).
    WriteNodes(before_);
    return;
  }
  QvPolygonCtrl::BatchEdit batch(*ctrl);
  // In list order, each node is kept between its neighbours as they stand
  // now (those before it already moved), so the order never changes.
  for (int i = 0; i < n; ++i) {
    if (!selection_[i]) continue;
    const ShapeNode& from = before_[static_cast<size_t>(i)];
    auto [angle, radius] = Polar(ShapePosition(from.angle, from.radius) + delta);
    if (n > 1) {
      angle = LimitBetween(angle, ctrl->GetNode((i + n - 1) % n).angle,
                           ctrl->GetNode((i + 1) % n).angle);
    }
    ctrl->SetNode(i, angle, radius, from.type, from.handle0, from.handle1);
  }
}

void ShapeEditor::DragHandle(Point2 px) {
  dragNow_ = px;
  QvPolygonCtrl* ctrl = Control();
  const int i = dragHandle_.node;
  if (!ctrl || ctrl->NumNodes() != static_cast<int>(before_.size()) || i < 0 ||
      i >= ctrl->NumNodes()) {
    return;
  }
  ShapeNode node = before_[static_cast<size_t>(i)];
  const Point2 offset = ToUnit(px) - ShapePosition(node.angle, node.radius);
  if (dragHandle_.which == 0) {
    node.handle0 = offset;
  } else if (node.type == kNodeSmooth) {
    node.handle0 = -offset;  // the outgoing handle mirrors the incoming one
  } else {
    node.handle1 = offset;
  }
  HoldSuspend suspend;
  ctrl->SetNode(i, node.angle, node.radius, node.type, node.handle0, node.handle1);
}

void ShapeEditor::CancelDrag() {
  if (mode_ == ShapeDragMode::kMoveNodes || mode_ == ShapeDragMode::kMoveHandle) {
    HoldSuspend suspend;
    WriteNodes(before_);
  }
  mode_ = ShapeDragMode::kNone;
}

void ShapeEditor::CommitDrag() {
  mode_ = ShapeDragMode::kNone;
  QvPolygonCtrl* ctrl = Control();
  if (!ctrl || ctrl->NumNodes() != static_cast<int>(before_.size())) return;
  // The drag moved the nodes unrecorded; put the start back, then make the
  // end one undo entry.
  const std::vector<ShapeNode> after = ReadNodes();
  {
    HoldSuspend suspend;
    WriteNodes(before_);
  }
  theHold.Begin();
  WriteNodes(after);
  theHold.Accept(UndoName());
}

std::vector<ShapeNode> ShapeEditor::ReadNodes() const {
  std::vector<ShapeNode> nodes;
  QvPolygonCtrl* ctrl = Control();
  for (int i = 0; ctrl && i < ctrl->NumNodes(); ++i) nodes.push_back(ctrl->GetNode(i));
  return nodes;
}

void ShapeEditor::WriteNodes(const std::vector<ShapeNode>& nodes) {
  QvPolygonCtrl* ctrl = Control();
  if (!ctrl || ctrl->NumNodes() != static_cast<int>(nodes.size())) return;
  QvPolygonCtrl::BatchEdit batch(*ctrl);
  for (int i = 0; i < ctrl->NumNodes(); ++i) {
    const ShapeNode& node = nodes[static_cast<size_t>(i)];
    if (SameNode(ctrl->GetNode(i), node)) continue;
    ctrl->StoreNode(i, node);
  }
}

// --- Commands ------------------------------------------------------------------------

bool ShapeEditor::Command(int id) {
  switch (id) {
    case kCmdTypeCorner:
      SetSelectedType(kNodeCorner);
      return true;
    case kCmdTypeSmooth:
      SetSelectedType(kNodeSmooth);
      return true;
    case kCmdTypeFree:
      SetSelectedType(kNodeFree);
      return true;
    case kCmdDeleteNodes:
      DeleteSelected();
      return true;
    case kCmdResetShape:
      ResetShape();
      return true;
    case kRadioNewCorner:
    case kRadioNewSmooth:
    case kRadioNewFree:
      SetNewNodeType(id - kRadioNewCorner);
      return true;
    default:
      return false;
  }
}

ShapeNode ShapeEditor::WithType(const ShapeNode& node, int type, int numNodes) const {
  ShapeNode out = node;
  out.type = type;
  // A smooth node turned free keeps its outline: the outgoing handle it had.
  if (type == kNodeFree && node.type == kNodeSmooth) out.handle1 = -node.handle0;
  if (type == kNodeCorner || node.type != kNodeCorner || node.handle0 != Point2()) return out;
  // Handles along the circle through the node, of the length that makes
  // evenly spaced smooth nodes draw that circle.
  const float step = kTwoPi / static_cast<float>(std::max(numNodes, 3));
  const float length = node.radius * (4.0f / 3.0f) * std::tan(step / 4.0f);
  out.handle0 = Point2(std::sin(node.angle), std::cos(node.angle)) * length;
  out.handle1 = -out.handle0;
  return out;
}

void ShapeEditor::SetSelectedType(int type) {
  SyncSelection();
  QvPolygonCtrl* ctrl = Control();
  if (!ctrl || type < kNodeCorner || type > kNodeFree) return;
  std::vector<ShapeNode> nodes = ReadNodes();
  for (int i = 0; i < static_cast<int>(nodes.size()); ++i) {
    if (selection_[i])
      nodes[static_cast<size_t>(i)] =
          WithType(nodes[static_cast<size_t>(i)], type, ctrl->NumNodes());
  }
  theHold.Begin();
  WriteNodes(nodes);
  theHold.Accept(UndoName());
}

bool ShapeEditor::DeleteSelected() {
  SyncSelection();
  std::vector<int> nodes;
  for (int i = 0; i < selection_.GetSize(); ++i) {
    if (selection_[i]) nodes.push_back(i);
  }
  return DeleteNodes(nodes);
}

bool ShapeEditor::DeleteNodes(const std::vector<int>& nodes) {
  QvPolygonCtrl* ctrl = Control();
  if (!ctrl || nodes.empty() || ctrl->NumNodes() - static_cast<int>(nodes.size()) < 3) {
    return false;
  }
  theHold.Begin();
  {
    QvPolygonCtrl::BatchEdit batch(*ctrl);
    // From the back, so the indices still to delete stay where they are.
    for (auto it = nodes.rbegin(); it != nodes.rend(); ++it) ctrl->DeleteNode(*it);
  }
  theHold.Accept(UndoName());
  selection_.SetSize(ctrl->NumNodes());
  return true;
}

void ShapeEditor::AddNodeAt(Point2 unit) {
  QvPolygonCtrl* ctrl = Control();
  if (!ctrl) return;
  const int n = ctrl->NumNodes();
  ShapeNode node;
  std::tie(node.angle, node.radius) = Polar(unit);
  node = WithType(node, newType_, n + 1);
  // After the node whose turn to its successor holds the new angle; a list
  // out of order takes it at the end.
  int at = n;
  for (int i = 0; i < n; ++i) {
    const float from = ctrl->GetNode(i).angle;
    float span = Turn(from, ctrl->GetNode((i + 1) % n).angle);
    if (span == 0.0f) span = kTwoPi;
    if (Turn(from, node.angle) < span) {
      at = i + 1;
      break;
    }
  }
  theHold.Begin();
  const bool added = ctrl->InsertNode(at, node);
  theHold.Accept(UndoName());
  if (added) selection_.SetSize(ctrl->NumNodes());
}

void ShapeEditor::ResetShape() {
  QvPolygonCtrl* ctrl = Control();
  if (!ctrl || !ctrl->Block()) return;
  theHold.Begin();
  ctrl->Reset(ctrl->Block()->GetInt(kPolyNodeResetNum));
  if (newType_ != kNodeCorner) {
    std::vector<ShapeNode> nodes = ReadNodes();
    for (ShapeNode& node : nodes) node = WithType(node, newType_, ctrl->NumNodes());
    WriteNodes(nodes);
  }
  theHold.Accept(UndoName());
  selection_.SetSize(ctrl->NumNodes());
  selection_.ClearAll();
}

void ShapeEditor::SetNewNodeType(int type) {
  if (type >= kNodeCorner && type <= kNodeFree) newType_ = type;
}

}  // namespace tarnis
