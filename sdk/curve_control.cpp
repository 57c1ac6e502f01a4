// CurveControl and its curves: point editing that keeps x order, Bézier
// evaluation at x, undo records, chunked save and load, and the class
// descriptor that lets the class directory make new controls.
#include "sdk/curve_control.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "sdk/check.h"
#include "sdk/class_desc.h"
#include "sdk/hold.h"
#include "sdk/save_load.h"

namespace {

constexpr uint16_t kRangesChunk = 0x0100;
constexpr uint16_t kCurveChunk = 0x0200;
// Six floats and the flags.
constexpr size_t kSavedPointSize = 6 * sizeof(float) + sizeof(int32_t);

bool IsFinite(const Point2& p) {
  return std::isfinite(p.x) && std::isfinite(p.y);
}
bool IsFinite(const CurvePoint& c) {
  return IsFinite(c.p) && IsFinite(c.in) && IsFinite(c.out);
}

bool IsSortedByX(const std::vector<CurvePoint>& pts) {
  return std::is_sorted(pts.begin(), pts.end(),
                        [](const CurvePoint& a, const CurvePoint& b) { return a.p.x < b.p.x; });
}

// Where a point with this x goes: at `hint` when it fits between the
// neighbours there, else after every point whose x is not larger.
size_t PlaceInOrder(const std::vector<CurvePoint>& pts, float x, size_t hint) {
  hint = std::min(hint, pts.size());
  bool fitsLeft = hint == 0 || pts[hint - 1].p.x <= x;
  bool fitsRight = hint == pts.size() || x <= pts[hint].p.x;
  if (fitsLeft && fitsRight) return hint;
  size_t at = 0;
  for (size_t i = 0; i < pts.size(); ++i) {
    if (pts[i].p.x <= x) at = i + 1;
  }
  return at;
}

double Bezier(double a, double b, double c, double d, double u) {
  double v = 1.0 - u;
  return v * v * v * a + 3.0 * v * v * u * b + 3.0 * v * u * u * c + u * u * u * d;
}

double BezierSlope(double a, double b, double c, double d, double u) {
  double v = 1.0 - u;
  return 3.0 * (v * v * (b - a) + 2.0 * v * u * (c - b) + u * u * (d - c));
}

// A handle as used on a segment of width w: zero unless its point is a
// Bézier point, and shortened along its direction so that its x offset
// stays within 0..w (`sign` +1 for an out handle, -1 for an in handle). With
// both inner control points inside the segment, x(u) never decreases.
Point2 UsableHandle(const CurvePoint& c, const Point2& handle, double w, double sign) {
  if (!(c.flags & CURVEP_BEZIER)) return Point2(0.0f, 0.0f);
  double hx = handle.x * sign;
  double hy = handle.y;
  if (hx > w) {
    hy *= w / hx;
    hx = w;
  } else if (hx < 0.0) {
    hx = 0.0;
  }
  return Point2(static_cast<float>(hx * sign), static_cast<float>(hy));
}

// The parameter u in 0..1 where the monotone Bézier x(u) reaches x: Newton
// steps kept inside a shrinking bracket, halving the bracket when a step
// would leave it.
double SolveForX(double x0, double x1, double x2, double x3, double x) {
  double w = x3 - x0;
  double tolerance = 1e-7 * w;
  double lo = 0.0, hi = 1.0;
  double u = (x - x0) / w;
  for (int iteration = 0; iteration < 64; ++iteration) {
    double f = Bezier(x0, x1, x2, x3, u) - x;
    if (std::abs(f) <= tolerance) break;
    if (f < 0.0) {
      lo = u;
    } else {
      hi = u;
    }
    double slope = BezierSlope(x0, x1, x2, x3, u);
    double next = slope > 0.0 ? u - f / slope : lo - 1.0;
    u = (next > lo && next < hi) ? next : 0.5 * (lo + hi);
  }
  return u;
}

float SegmentValue(const CurvePoint& a, const CurvePoint& b, float x) {
  double w = static_cast<double>(b.p.x) - a.p.x;
  if (!(w > 0.0)) return b.p.y;
  Point2 out = UsableHandle(a, a.out, w, 1.0);
  Point2 in = UsableHandle(b, b.in, w, -1.0);
  if (out == Point2(0.0f, 0.0f) && in == Point2(0.0f, 0.0f)) {
    double s = (x - static_cast<double>(a.p.x)) / w;
    return static_cast<float>(a.p.y + s * (static_cast<double>(b.p.y) - a.p.y));
  }
  double u = SolveForX(a.p.x, static_cast<double>(a.p.x) + out.x, static_cast<double>(b.p.x) + in.x,
                       b.p.x, x);
  return static_cast<float>(Bezier(a.p.y, static_cast<double>(a.p.y) + out.y,
                                   static_cast<double>(b.p.y) + in.y, b.p.y, u));
}

// The value of a curve whose points are in x order.
float SortedCurveValue(const std::vector<CurvePoint>& pts, float x) {
  if (std::isnan(x) || x <= pts.front().p.x) return pts.front().p.y;
  if (x >= pts.back().p.x) return pts.back().p.y;
  // The first point at or right of x ends the segment holding x.
  auto end = std::lower_bound(pts.begin() + 1, pts.end(), x,
                              [](const CurvePoint& c, float v) { return c.p.x < v; });
  return SegmentValue(*(end - 1), *end, x);
}

IOResult WritePoint2(ISave* isave, const Point2& p) {
  if (isave->WriteFloat(p.x) != IO_OK) return IO_ERROR;
  return isave->WriteFloat(p.y);
}

IOResult ReadFinitePoint2(ILoad* iload, Point2& p) {
  if (iload->ReadFloat(p.x) != IO_OK || iload->ReadFloat(p.y) != IO_OK) return IO_ERROR;
  return IsFinite(p) ? IO_OK : IO_ERROR;
}

}  // namespace

// --- ICurve ----------------------------------------------------------------

bool ICurve::SetNumPts(int n) {
  if (n < 0 || n > kMaxPoints) return false;
  if (n == GetNumPts()) return true;
  BeforeChange();
  CurvePoint fill;
  if (pts_.empty()) {
    fill.p = Point2(control_->xRange_.x, control_->yRange_.x);
  } else {
    fill = pts_.back();
  }
  pts_.resize(static_cast<size_t>(n), fill);
  AfterChange(true);
  return true;
}

CurvePoint ICurve::GetPoint(TimeValue /*t*/, int i) const {
  TARNIS_CHECK(i >= 0 && i < GetNumPts()) << "curve point " << i << " of " << GetNumPts();
  return pts_[static_cast<size_t>(i)];
}

bool ICurve::SetPoint(TimeValue /*t*/, int i, const CurvePoint& pt, bool checkConstraints,
                      bool notify) {
  if (i < 0 || i >= GetNumPts() || !IsFinite(pt)) return false;
  BeforeChange();
  auto at = static_cast<size_t>(i);
  if (!checkConstraints) {
    pts_[at] = pt;
  } else if (pt.flags & CURVEP_NO_X_CONSTRAINT) {
    pts_.erase(pts_.begin() + i);
    pts_.insert(pts_.begin() + static_cast<ptrdiff_t>(PlaceInOrder(pts_, pt.p.x, at)), pt);
  } else {
    CurvePoint clamped = pt;
    if (at > 0) clamped.p.x = std::max(clamped.p.x, pts_[at - 1].p.x);
    if (at + 1 < pts_.size()) clamped.p.x = std::min(clamped.p.x, pts_[at + 1].p.x);
    pts_[at] = clamped;
  }
  AfterChange(notify);
  return true;
}

int ICurve::Insert(int where, const CurvePoint& pt) {
  if (GetNumPts() >= kMaxPoints || !IsFinite(pt)) return -1;
  BeforeChange();
  size_t hint = static_cast<size_t>(std::clamp(where, 0, GetNumPts()));
  size_t at = PlaceInOrder(pts_, pt.p.x, hint);
  pts_.insert(pts_.begin() + static_cast<ptrdiff_t>(at), pt);
  AfterChange(true);
  return static_cast<int>(at);
}

bool ICurve::Delete(int i) {
  if (i < 0 || i >= GetNumPts()) return false;
  BeforeChange();
  pts_.erase(pts_.begin() + i);
  AfterChange(true);
  return true;
}

float ICurve::GetValue(TimeValue /*t*/, float x) const {
  if (pts_.empty()) return 0.0f;
  if (sorted_) return SortedCurveValue(pts_, x);
  // Only curves set point by point without constraints get here; the copy
  // keeps GetValue free of writes, so render threads may call it together.
  std::vector<CurvePoint> ordered = pts_;
  std::stable_sort(ordered.begin(), ordered.end(),
                   [](const CurvePoint& a, const CurvePoint& b) { return a.p.x < b.p.x; });
  return SortedCurveValue(ordered, x);
}

float ICurve::GetValue(TimeValue t, float x, Interval& /*valid*/) const {
  return GetValue(t, x);
}

void ICurve::Install(std::vector<CurvePoint> pts) {
  pts_ = std::move(pts);
  sorted_ = IsSortedByX(pts_);
}

void ICurve::BeforeChange() {
  control_->RecordUndo();
}

void ICurve::AfterChange(bool notify) {
  sorted_ = IsSortedByX(pts_);
  if (notify) control_->NotifyChanged();
}

// --- Undo --------------------------------------------------------------------

// Swaps the control's state with the one it holds: undo puts the state from
// before the change back and keeps the later one for redo, and redo swaps
// again.
class CurveControlRestore : public RestoreObj {
 public:
  CurveControlRestore(CurveControl* control, CurveControl::State before)
      : keep_(control), state_(std::move(before)) {}

  void Restore(int /*isUndo*/) override { Swap(); }
  void Redo() override { Swap(); }
  int Size() override {
    size_t n = 0;
    for (const auto& curve : state_.curves) n += curve.size();
    return static_cast<int>(sizeof(CurveControl::State) + n * sizeof(CurvePoint));
  }
  CStr Description() override { return "Curve points"; }

 private:
  void Swap() {
    auto* control = keep_.GetAs<CurveControl>();
    if (control == nullptr) return;
    CurveControl::State now = control->Snapshot();
    control->Apply(state_);
    state_ = std::move(now);
    control->NotifyChanged();
  }

  ReferenceHolder keep_;  // keeps the control alive while the record exists
  CurveControl::State state_;
};

// --- CurveControl ------------------------------------------------------------

CurveControl::CurveControl() {
  Apply({xRange_, yRange_, ccFlags_, {DefaultPoints()}});
}

CurveControl::~CurveControl() = default;

std::vector<CurvePoint> CurveControl::DefaultPoints() {
  constexpr float kThird = 1.0f / 3.0f;
  CurvePoint first{Point2(0.0f, 0.0f), Point2(-kThird, -kThird), Point2(kThird, kThird),
                   CURVEP_CORNER | CURVEP_ENDPOINT};
  CurvePoint last{Point2(1.0f, 1.0f), Point2(-kThird, -kThird), Point2(kThird, kThird),
                  CURVEP_CORNER | CURVEP_ENDPOINT};
  return {first, last};
}

bool CurveControl::SetNumCurves(int n) {
  if (n < 0 || n > kMaxCurves) return false;
  if (n == GetNumCurves()) return true;
  RecordUndo();
  State state = Snapshot();
  state.curves.resize(static_cast<size_t>(n), DefaultPoints());
  Apply(state);
  NotifyChanged();
  return true;
}

ICurve* CurveControl::GetControlCurve(int i) {
  return i >= 0 && i < GetNumCurves() ? curves_[static_cast<size_t>(i)].get() : nullptr;
}

const ICurve* CurveControl::GetControlCurve(int i) const {
  return i >= 0 && i < GetNumCurves() ? curves_[static_cast<size_t>(i)].get() : nullptr;
}

void CurveControl::SetXRange(float min, float max) {
  if (!std::isfinite(min) || !std::isfinite(max)) return;
  RecordUndo();
  xRange_ = Point2(min, max);
  NotifyChanged();
}

void CurveControl::SetYRange(float min, float max) {
  if (!std::isfinite(min) || !std::isfinite(max)) return;
  RecordUndo();
  yRange_ = Point2(min, max);
  NotifyChanged();
}

CurveControl::State CurveControl::Snapshot() const {
  State state{xRange_, yRange_, ccFlags_, {}};
  state.curves.reserve(curves_.size());
  for (const auto& curve : curves_) state.curves.push_back(curve->pts_);
  return state;
}

void CurveControl::Apply(const State& state) {
  xRange_ = state.xRange;
  yRange_ = state.yRange;
  ccFlags_ = state.ccFlags;
  // Curves that remain keep their addresses, so ICurve pointers held by
  // callers stay valid across undo and SetNumCurves.
  if (curves_.size() > state.curves.size()) curves_.resize(state.curves.size());
  while (curves_.size() < state.curves.size())
    curves_.push_back(std::unique_ptr<ICurve>(new ICurve(this)));
  for (size_t i = 0; i < curves_.size(); ++i) curves_[i]->Install(state.curves[i]);
}

void CurveControl::RecordUndo() {
  if (theHold.Holding()) theHold.Put(std::make_unique<CurveControlRestore>(this, Snapshot()));
}

void CurveControl::NotifyChanged() {
  NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
}

IOResult CurveControl::Save(ISave* isave) {
  isave->BeginChunk(kRangesChunk);
  if (WritePoint2(isave, xRange_) != IO_OK || WritePoint2(isave, yRange_) != IO_OK ||
      isave->WriteUInt(ccFlags_) != IO_OK) {
    return IO_ERROR;
  }
  isave->EndChunk();
  for (const auto& curve : curves_) {
    isave->BeginChunk(kCurveChunk);
    if (isave->WriteUInt(static_cast<uint32_t>(curve->pts_.size())) != IO_OK) return IO_ERROR;
    for (const CurvePoint& c : curve->pts_) {
      if (WritePoint2(isave, c.p) != IO_OK || WritePoint2(isave, c.in) != IO_OK ||
          WritePoint2(isave, c.out) != IO_OK || isave->WriteInt(c.flags) != IO_OK) {
        return IO_ERROR;
      }
    }
    isave->EndChunk();
  }
  return IO_OK;
}

namespace {

IOResult ReadRanges(ILoad* iload, Point2& xRange, Point2& yRange, uint32_t& ccFlags) {
  if (ReadFinitePoint2(iload, xRange) != IO_OK || ReadFinitePoint2(iload, yRange) != IO_OK) {
    return IO_ERROR;
  }
  return iload->ReadUInt(ccFlags);
}

IOResult ReadCurvePoints(ILoad* iload, std::vector<CurvePoint>& pts) {
  uint32_t count = 0;
  if (iload->ReadUInt(count) != IO_OK) return IO_ERROR;
  // The count is checked against the limit and the chunk before anything is
  // allocated for it.
  if (count > static_cast<uint32_t>(ICurve::kMaxPoints) ||
      count > iload->BytesLeft() / kSavedPointSize) {
    return IO_ERROR;
  }
  pts.resize(count);
  for (CurvePoint& c : pts) {
    int32_t flags = 0;
    if (ReadFinitePoint2(iload, c.p) != IO_OK || ReadFinitePoint2(iload, c.in) != IO_OK ||
        ReadFinitePoint2(iload, c.out) != IO_OK || iload->ReadInt(flags) != IO_OK) {
      return IO_ERROR;
    }
    c.flags = flags;
  }
  return IO_OK;
}

}  // namespace

IOResult CurveControl::Load(ILoad* iload) {
  State state{xRange_, yRange_, ccFlags_, {}};
  IOResult r = IO_OK;
  while ((r = iload->OpenChunk()) == IO_OK) {
    IOResult read = IO_OK;
    switch (iload->CurChunkID()) {
      case kRangesChunk:
        read = ReadRanges(iload, state.xRange, state.yRange, state.ccFlags);
        break;
      case kCurveChunk:
        if (state.curves.size() >= static_cast<size_t>(kMaxCurves)) return IO_ERROR;
        state.curves.emplace_back();
        read = ReadCurvePoints(iload, state.curves.back());
        break;
      default:  // chunks of later versions are skipped
        break;
    }
    if (read != IO_OK || iload->CloseChunk() != IO_OK) return IO_ERROR;
  }
  if (r != IO_END) return IO_ERROR;
  Apply(state);
  return IO_OK;
}

ReferenceTarget* CurveControl::Clone(RemapDir& remap) {
  auto* copy = new CurveControl;
  BaseClone(this, copy, remap);
  copy->Apply(Snapshot());
  return copy;
}

// --- Class descriptor ------------------------------------------------------

namespace {

class CurveControlClassDesc : public ClassDesc2 {
 public:
  int IsPublic() override { return 0; }
  void* Create(bool /*loading*/) override {
    return static_cast<ReferenceTarget*>(new CurveControl);
  }
  const char* ClassName() override { return "CurveControl"; }
  SClass_ID SuperClassID() override { return REF_MAKER_CLASS_ID; }
  Class_ID ClassID() override { return CURVE_CONTROL_CLASS_ID; }
  const char* Category() override { return ""; }
};

}  // namespace

ClassDesc2* GetCurveControlDesc() {
  static CurveControlClassDesc desc;
  return &desc;
}
