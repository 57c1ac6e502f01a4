// The shape control's block, node access and edits, and the radius table.
#include "tarnis/common/shape_control.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "sdk/angles.h"
#include "tarnis/common/shape_control_class_desc.h"
#include "tarnis/resources/string_table.h"

namespace tarnis {

namespace {

constexpr int kResetNumCtrls[] = {1129, 1130};

// An angle outside [-pi, pi] brought into (-pi, pi]; angles inside stay as
// they are, so a stored -pi keeps its value.
float NormalizeAngle(float angle) {
  if (angle >= -kPi && angle <= kPi) return angle;
  float a = std::remainder(angle, kTwoPi);
  return a <= -kPi ? a + kTwoPi : a;
}

bool Finite(Point2 p) {
  return std::isfinite(p.x) && std::isfinite(p.y);
}

Point3 ToPoint3(Point2 p) {
  return Point3(p.x, p.y, 0.0f);
}

// The cubic Bézier from p0 to p3 with control points p1 and p2, at t.
Point2 Bezier(const Point2 (&p)[4], float t) {
  const float u = 1.0f - t;
  return p[0] * (u * u * u) + p[1] * (3.0f * u * u * t) + p[2] * (3.0f * u * t * t) +
         p[3] * (t * t * t);
}

// The distance from the centre at which the segment crosses the ray along
// d. The segment starts behind d (cross product <= 0) and ends ahead of it
// (> 0); seven bisection steps, starting in the half that the midpoint
// picks, find the crossing.
float CrossingRadius(const Point2 (&p)[4], Point2 d) {
  const Point2 mid = p[0] * 0.125f + p[1] * 0.375f + p[2] * 0.375f + p[3] * 0.125f;
  float lower = 0.0f;
  float upper = 0.5f;
  if (CrossProd(mid, d) < 0.0f) lower = 0.5f, upper = 1.0f;
  float t = (lower + upper) * 0.5f;
  Point2 point;
  for (int step = 0; step < 7; ++step) {
    point = Bezier(p, t);
    if (CrossProd(point, d) < 0.0f) {
      lower = t;
      t = (t + upper) * 0.5f;
    } else {
      upper = t;
      t = (t + lower) * 0.5f;
    }
  }
  return point.Length();
}

}  // namespace

Point2 ShapePosition(float angle, float radius) {
  return Point2(radius * std::cos(angle), -radius * std::sin(angle));
}

ParamBlockDesc2* ShapeBlockDesc() {
  static ParamBlockDesc2 desc{
      AutoBlockHeader(kShapeBlockID, "main", kShapeBlockRef),
      {PlainParam(kPolyNodeAngle, "polyNodeAngle", TYPE_FLOAT_TAB),
       PlainParam(kPolyNodeRadius, "polyNodeRadius", TYPE_FLOAT_TAB, {},
                  {0.0f, std::numeric_limits<float>::infinity()}),
       {.id = kPolyNodeResetNum,
        .internalName = "polyNodeResetNum",
        .type = TYPE_INT,
        .def = 6,
        .range = {3.0f, 32.0f},
        .ui = {.control = ParamControl::kSpinner,
               .ctrlIds = {kResetNumCtrls[0], kResetNumCtrls[1]},
               .spinnerScale = 1.0f}},
       PlainParam(kPolyNodeType, "polyNodeTYPE", TYPE_INT_TAB, {}, {0.0f, 2.0f}),
       PlainParam(kPolyHandle0, "polyHandle0", TYPE_POINT3_TAB),
       PlainParam(kPolyHandle1, "polyHandle1", TYPE_POINT3_TAB)}};
  return &desc;
}

void BindShapeBlock(ClassDesc2* cd) {
  ShapeBlockDesc()->SetClassDesc(cd);
}

PluginClassDesc<QvPolygonCtrl>* GetQvPolygonCtrlDesc() {
  return PluginClassDesc<QvPolygonCtrl>::Get();
}

const char* ShapeParamDisplayName(ParamID id) {
  if (id < kPolyNodeAngle || id > kPolyHandle1) return "";
  const char* text = FindString(kStrShapeParamNames + id);
  return text ? text : "";
}

// --- Nodes ----------------------------------------------------------------------

QvPolygonCtrl::QvPolygonCtrl(bool loading) {
  if (!loading) GetQvPolygonCtrlDesc()->MakeAutoParamBlocks(this);
}

int QvPolygonCtrl::NumNodes() const {
  if (!block_) return 0;
  int n = block_->Count(kPolyNodeAngle);
  for (ParamID id : {kPolyNodeRadius, kPolyNodeType, kPolyHandle0, kPolyHandle1}) {
    n = std::min(n, block_->Count(id));
  }
  return n;
}

ShapeNode QvPolygonCtrl::GetNode(int i) const {
  ShapeNode node;
  if (i < 0 || i >= NumNodes()) return node;
  node.angle = block_->GetFloat(kPolyNodeAngle, 0, i);
  node.radius = block_->GetFloat(kPolyNodeRadius, 0, i);
  node.type = block_->GetInt(kPolyNodeType, 0, i);
  const Point3 h0 = block_->GetPoint3(kPolyHandle0, 0, i);
  const Point3 h1 = block_->GetPoint3(kPolyHandle1, 0, i);
  node.handle0 = Point2(h0.x, h0.y);
  node.handle1 = Point2(h1.x, h1.y);
  return node;
}

Point2 QvPolygonCtrl::NodePosition(int i) const {
  const ShapeNode node = GetNode(i);
  return ShapePosition(node.angle, node.radius);
}

Point2 QvPolygonCtrl::InHandle(int i) const {
  const ShapeNode node = GetNode(i);
  return node.type == kNodeCorner ? Point2() : node.handle0;
}

Point2 QvPolygonCtrl::OutHandle(int i) const {
  const ShapeNode node = GetNode(i);
  switch (node.type) {
    case kNodeSmooth:
      return -node.handle0;
    case kNodeFree:
      return node.handle1;
    default:
      return Point2();
  }
}

bool QvPolygonCtrl::SetNode(int i, float angle, float radius, int type, Point2 handle0,
                            Point2 handle1) {
  if (i < 0 || i >= NumNodes()) return false;
  if (!std::isfinite(angle) || !std::isfinite(radius) || !Finite(handle0) || !Finite(handle1)) {
    return false;
  }
  type = std::clamp(type, static_cast<int>(kNodeCorner), static_cast<int>(kNodeFree));
  BatchEdit batch(*this);
  block_->SetValue(kPolyNodeAngle, 0, NormalizeAngle(angle), i);
  block_->SetValue(kPolyNodeRadius, 0, radius, i);
  block_->SetValue(kPolyNodeType, 0, type, i);
  if (type > kNodeCorner) block_->SetValue(kPolyHandle0, 0, ToPoint3(handle0), i);
  if (type == kNodeFree) block_->SetValue(kPolyHandle1, 0, ToPoint3(handle1), i);
  return true;
}

bool QvPolygonCtrl::StoreNode(int i, const ShapeNode& node) {
  BatchEdit batch(*this);
  if (!SetNode(i, node.angle, node.radius, node.type, node.handle0, node.handle1)) return false;
  block_->SetValue(kPolyHandle0, 0, ToPoint3(node.handle0), i);
  block_->SetValue(kPolyHandle1, 0, ToPoint3(node.handle1), i);
  return true;
}

bool QvPolygonCtrl::Reset(int n) {
  if (!block_ || n < 0 || n > kMaxShapeNodes) return false;
  BatchEdit batch(*this);
  for (ParamID id : {kPolyNodeAngle, kPolyNodeRadius, kPolyNodeType, kPolyHandle0, kPolyHandle1}) {
    block_->SetCount(id, n);
  }
  for (int i = 0; i < n; ++i) {
    float angle = static_cast<float>(i) * kTwoPi / static_cast<float>(n);
    if (angle >= kPi) angle -= kTwoPi;
    block_->SetValue(kPolyNodeAngle, 0, angle, i);
    block_->SetValue(kPolyNodeRadius, 0, 1.0f, i);
    block_->SetValue(kPolyNodeType, 0, kNodeCorner, i);
    block_->SetValue(kPolyHandle0, 0, Point3(), i);
    block_->SetValue(kPolyHandle1, 0, Point3(), i);
  }
  return true;
}

bool QvPolygonCtrl::InsertNode(int at, const ShapeNode& node) {
  const int n = NumNodes();
  if (!block_ || at < 0 || at > n || n >= kMaxShapeNodes) return false;
  if (!std::isfinite(node.angle) || !std::isfinite(node.radius) || !Finite(node.handle0) ||
      !Finite(node.handle1)) {
    return false;
  }
  BatchEdit batch(*this);
  block_->Insert(kPolyNodeAngle, at, NormalizeAngle(node.angle));
  block_->Insert(kPolyNodeRadius, at, node.radius);
  block_->Insert(kPolyNodeType, at, node.type);
  block_->Insert(kPolyHandle0, at, ToPoint3(node.handle0));
  block_->Insert(kPolyHandle1, at, ToPoint3(node.handle1));
  return true;
}

bool QvPolygonCtrl::DeleteNode(int i) {
  if (i < 0 || i >= NumNodes()) return false;
  BatchEdit batch(*this);
  for (ParamID id : {kPolyNodeAngle, kPolyNodeRadius, kPolyNodeType, kPolyHandle0, kPolyHandle1}) {
    block_->Delete(id, i, 1);
  }
  return true;
}

// --- The radius table -------------------------------------------------------------

float QvPolygonCtrl::RadiusAt(float theta) const {
  if (radius_.empty() || !std::isfinite(theta)) return 1.0f;
  float a = std::fmod((theta + kPi) * kRadToDeg, 360.0f);
  if (a < 0.0f) a += 360.0f;
  // Adding a whole turn to a tiny negative value can round up to 360.
  if (a >= 360.0f) a = 0.0f;
  const int b = static_cast<int>(a);
  const float f = a - static_cast<float>(b);
  return radius_[static_cast<size_t>(b)] * (1.0f - f) +
         radius_[static_cast<size_t>((b + 1) % kShapeRadiusTableSize)] * f;
}

void QvPolygonCtrl::RebuildTable() {
  if (batch_ > 0) return;
  if (!block_) {
    radius_.clear();
    return;
  }
  radius_.assign(kShapeRadiusTableSize, 1.0f);
  const int n = NumNodes();
  if (n < 3) return;
  std::vector<Point2> pos(static_cast<size_t>(n));
  std::vector<Point2> in(static_cast<size_t>(n));
  std::vector<Point2> out(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    pos[static_cast<size_t>(i)] = NodePosition(i);
    in[static_cast<size_t>(i)] = InHandle(i);
    out[static_cast<size_t>(i)] = OutHandle(i);
  }
  // The segment search goes on from where the previous direction stopped:
  // as the direction turns, the segment that spans it moves along the list.
  int b = 0;
  int a = 1;
  for (int j = 0; j < kShapeRadiusTableSize; ++j) {
    const float phi = static_cast<float>(j) * kTwoPi / kShapeRadiusTableSize - kPi;
    const Point2 d(std::cos(phi), -std::sin(phi));
    // The segment from a node behind the direction to the next one ahead of it.
    bool found = false;
    for (int tries = 0; tries <= n && !found; ++tries) {
      found = CrossProd(pos[static_cast<size_t>(b)], d) <= 0.0f &&
              CrossProd(pos[static_cast<size_t>(a)], d) > 0.0f;
      if (!found) b = a, a = (a + 1) % n;
    }
    if (!found) continue;
    const auto sb = static_cast<size_t>(b);
    const auto sa = static_cast<size_t>(a);
    const Point2 segment[4] = {pos[sb], pos[sb] + out[sb], pos[sa] + in[sa], pos[sa]};
    radius_[static_cast<size_t>(j)] = CrossingRadius(segment, d);
  }
}

// --- Object model -------------------------------------------------------------------

ReferenceTarget* QvPolygonCtrl::GetReference(int i) {
  return i == kShapeBlockRef ? block_ : nullptr;
}

void QvPolygonCtrl::SetReference(int i, ReferenceTarget* target) {
  if (i != kShapeBlockRef) return;
  auto* pb = dynamic_cast<IParamBlock2*>(target);
  // The slot keeps what it had when offered anything but the block "main".
  if (target && (!pb || pb->ID() != kShapeBlockID)) return;
  block_ = pb;
  RebuildTable();
}

RefResult QvPolygonCtrl::NotifyRefChanged(const Interval&, ReferenceTarget* target, PartID&,
                                          RefMessage message) {
  if (message == REFMSG_CHANGE && target == block_) RebuildTable();
  return REF_SUCCEED;
}

ReferenceTarget* QvPolygonCtrl::Clone(RemapDir& remap) {
  auto* copy = new QvPolygonCtrl(true);
  BaseClone(this, copy, remap);
  copy->ReplaceReference(kShapeBlockRef, remap.CloneRef(block_));
  return copy;
}

}  // namespace tarnis
