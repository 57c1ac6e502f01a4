// The host's curve control: a reference target holding one or more curves
// y(x) drawn by the user (damping curves, falloff curves). Each curve is a
// list of points with in and out tangents, evaluated piecewise as cubic
// Bézier segments. Plug-ins create the control through the class directory
// (CreateInstance(REF_MAKER_CLASS_ID, CURVE_CONTROL_CLASS_ID)), reference it,
// and ask its curves for values; the control saves, loads, clones and undoes
// its own data.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "sdk/interval.h"
#include "sdk/points.h"
#include "sdk/reference.h"

class ClassDesc2;
class CurveControl;

// Point flags.
inline constexpr int CURVEP_BEZIER = 1;    // the tangents of this point shape its segments
inline constexpr int CURVEP_CORNER = 2;    // in and out tangents move independently
inline constexpr int CURVEP_LOCKED_Y = 4;  // the editor does not move the point vertically
inline constexpr int CURVEP_LOCKED_X = 8;  // the editor does not move the point horizontally
inline constexpr int CURVEP_SELECTED = 16;
inline constexpr int CURVEP_ENDPOINT = 256;         // first or last point of a curve
inline constexpr int CURVEP_NO_X_CONSTRAINT = 512;  // may move past its neighbours

// One point of a curve. `in` and `out` are the tangent handles as offsets
// from `p`; they count only while CURVEP_BEZIER is set.
struct CurvePoint {
  Point2 p;
  Point2 in;
  Point2 out;
  int flags = 0;

  bool operator==(const CurvePoint&) const = default;
};

// One curve of a CurveControl, owned by it (valid while the control lives and
// has at least as many curves). The `t` arguments are accepted and ignored:
// curves are not animated. Every change notifies the control's dependents
// (REFMSG_CHANGE) unless asked not to, and is recorded for undo while theHold
// is holding.
class ICurve {
 public:
  ICurve(const ICurve&) = delete;
  ICurve& operator=(const ICurve&) = delete;

  // Most points a curve holds; larger counts are refused.
  static constexpr int kMaxPoints = 4096;

  int GetNumPts() const { return static_cast<int>(pts_.size()); }
  // Sets the number of points: removes points from the end, or appends copies
  // of the last point (of a point at the control's range minimum when the
  // curve is empty). A count outside 0..kMaxPoints is refused (false,
  // nothing changed).
  bool SetNumPts(int n);
  // Point i, 0 <= i < GetNumPts() (contract).
  CurvePoint GetPoint(TimeValue t, int i) const;
  // Replaces point i. With `checkConstraints` the curve stays in x order: x
  // is clamped between the neighbours' x, or, for a point flagged
  // CURVEP_NO_X_CONSTRAINT, the point moves to its place in x order (so its
  // index may change). Without it the point is stored exactly as given
  // (readers that set a whole curve point by point use this); values are
  // then taken over the points sorted by x. Answers false, changing nothing,
  // for an index out of range or a coordinate that is not finite.
  bool SetPoint(TimeValue t, int i, const CurvePoint& pt, bool checkConstraints = true,
                bool notify = true);
  // Inserts a point and answers its index: at `where` (clamped to
  // 0..GetNumPts()) when its x fits between the neighbours there, otherwise
  // at its place in x order. Answers -1, changing nothing, for a full curve
  // or a coordinate that is not finite.
  int Insert(int where, const CurvePoint& pt);
  // Removes point i; false for an index out of range.
  bool Delete(int i);

  // The value at x. Between points i and i+1 it is the cubic Bézier with
  // control points p_i, p_i + out_i, p_{i+1} + in_{i+1}, p_{i+1} (a handle
  // counts only when its point has CURVEP_BEZIER; it is shortened along its
  // own direction so that it does not reach past the segment in x, which
  // keeps x monotone along the segment). Left of the first point and right of
  // the last the curve keeps the end value; an empty curve answers 0; NaN
  // answers the first point's value.
  float GetValue(TimeValue t, float x) const;
  // The same; curves do not change over time, so `valid` is left as it is.
  float GetValue(TimeValue t, float x, Interval& valid) const;

  // All points, in their stored order.
  const std::vector<CurvePoint>& Points() const { return pts_; }

 private:
  friend class CurveControl;
  explicit ICurve(CurveControl* control) : control_(control) {}

  // Installs a point list (already checked) without recording or notifying.
  void Install(std::vector<CurvePoint> pts);
  // Around every change: records the control's state for undo before it,
  // updates the order flag and tells the control's dependents after it.
  void BeforeChange();
  void AfterChange(bool notify);

  CurveControl* control_;
  std::vector<CurvePoint> pts_;
  bool sorted_ = true;  // points in non-decreasing x order
};

class CurveControl : public ReferenceTarget {
 public:
  // Most curves a control holds.
  static constexpr int kMaxCurves = 64;

  // A new control has one curve with the default points: x and y ranges
  // 0..1, two corner points (0,0) and (1,1) flagged CURVEP_CORNER |
  // CURVEP_ENDPOINT, without CURVEP_BEZIER (a straight line, y = x), whose
  // handles lie on that line a third of the way along, so setting
  // CURVEP_BEZIER on both keeps the line straight.
  CurveControl();
  ~CurveControl() override;

  // The points a new curve starts with.
  static std::vector<CurvePoint> DefaultPoints();

  Class_ID ClassID() override { return CURVE_CONTROL_CLASS_ID; }
  SClass_ID SuperClassID() override { return REF_MAKER_CLASS_ID; }
  void GetClassName(CStr& s) override { s = "CurveControl"; }

  int GetNumCurves() const { return static_cast<int>(curves_.size()); }
  // Removes curves from the end or appends curves with the default points;
  // a count outside 0..kMaxCurves is refused (false). Pointers to the
  // remaining curves stay valid.
  bool SetNumCurves(int n);
  // Curve i, or null for an index out of range.
  ICurve* GetControlCurve(int i);
  const ICurve* GetControlCurve(int i) const;

  // The ranges the editor shows; data only, values are not clamped to them.
  // Non-finite bounds are refused (nothing changes).
  void SetXRange(float min, float max);
  void SetYRange(float min, float max);
  Point2 GetXRange() const { return xRange_; }
  Point2 GetYRange() const { return yRange_; }

  // Editor flags, kept and saved as given.
  void SetCCFlags(uint32_t flags) { ccFlags_ = flags; }
  uint32_t GetCCFlags() const { return ccFlags_; }

  // The maker that asked for this control, kept as data. Not a reference:
  // the control never calls it (the owner hears of edits as a dependent),
  // does not save it and does not copy it into clones; the owner sets it
  // again after a load or a clone.
  void SetOwner(ReferenceMaker* owner) { owner_ = owner; }
  ReferenceMaker* GetOwner() const { return owner_; }

  // Ranges, flags and every curve's points (the owner is not saved).
  IOResult Save(ISave* isave) override;
  // Replaces ranges, flags and curves with what was saved; IO_ERROR for
  // damaged data (non-finite numbers, counts beyond the limits or the chunk).
  IOResult Load(ILoad* iload) override;
  // A copy with the same ranges, flags and points, and no owner.
  ReferenceTarget* Clone(RemapDir& remap) override;

 private:
  friend class ICurve;
  friend class CurveControlRestore;

  // Everything undo puts back.
  struct State {
    Point2 xRange;
    Point2 yRange;
    uint32_t ccFlags = 0;
    std::vector<std::vector<CurvePoint>> curves;
  };
  State Snapshot() const;
  void Apply(const State& state);
  // Puts an undo record of the current state while theHold is holding.
  void RecordUndo();
  void NotifyChanged();

  std::vector<std::unique_ptr<ICurve>> curves_;
  Point2 xRange_{0.0f, 1.0f};
  Point2 yRange_{0.0f, 1.0f};
  uint32_t ccFlags_ = 0;
  ReferenceMaker* owner_ = nullptr;
};

// The class descriptor of CurveControl (superclass REF_MAKER_CLASS_ID, class
// CURVE_CONTROL_CLASS_ID, internal name "CurveControl", not public).
ClassDesc2* GetCurveControlDesc();
