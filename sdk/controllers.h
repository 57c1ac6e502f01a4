// Key-frame animation controllers. A Control answers a value (a float or a
// Point3) at any time together with how long that value stays valid; the
// parameter blocks keep one per animated parameter. KeyframeControl is the
// one concrete controller: a sorted list of keys interpolated linearly, as
// cubic Bézier (Hermite) segments, or as steps. Colours are Point3
// controllers; ints and bools are float controllers with step interpolation.
#pragma once

#include <cstdint>
#include <vector>

#include "sdk/class_id.h"
#include "sdk/interval.h"
#include "sdk/points.h"
#include "sdk/reference.h"

class ClassDesc2;

// What a controller answers.
enum class ControlKind : int { kFloat = 0, kPoint3 = 1 };
// How a controller interpolates between keys.
enum class KeyInterp : int { kLinear = 0, kBezier = 1, kStep = 2 };

// The controller classes the SDK provides.
inline constexpr Class_ID LINEAR_FLOAT_CLASS_ID(0x7A3C0001, 0x1D5E0F01);
inline constexpr Class_ID BEZIER_FLOAT_CLASS_ID(0x7A3C0002, 0x1D5E0F01);
inline constexpr Class_ID STEP_FLOAT_CLASS_ID(0x7A3C0003, 0x1D5E0F01);
inline constexpr Class_ID LINEAR_POINT3_CLASS_ID(0x7A3C0011, 0x1D5E0F01);
inline constexpr Class_ID BEZIER_POINT3_CLASS_ID(0x7A3C0012, 0x1D5E0F01);

// An animation controller.
class Control : public ReferenceTarget {
 public:
  // Whether GetValue/SetValue take a float or a Point3. Calling the other
  // overload is a broken contract.
  virtual ControlKind Kind() const = 0;

  // The value at t; `valid` is intersected with the interval around t over
  // which the value does not change.
  virtual void GetValue(TimeValue t, float& v, Interval& valid) = 0;
  virtual void GetValue(TimeValue t, Point3& v, Interval& valid) = 0;
  // Sets a key at t with value v, replacing a key at exactly t. Dependents
  // are notified; recorded for undo while theHold is holding.
  virtual void SetValue(TimeValue t, float v) = 0;
  virtual void SetValue(TimeValue t, const Point3& v) = 0;

  // Keys, in time order.
  virtual int NumKeys() = 0;
  virtual TimeValue GetKeyTime(int i) = 0;
  // Removes key i (0..NumKeys()-1); answers false for another index.
  virtual bool RemoveKey(int i) = 0;
  // Changes the value of key i; answers false for an index out of range.
  virtual bool SetKeyValue(int i, float v) = 0;
  virtual bool SetKeyValue(int i, const Point3& v) = 0;

  // The interval around t over which the value does not change.
  Interval Validity(TimeValue t);
};

// One key. Tangents are slopes in value units per tick; a key without
// kCustomTangents gets "smooth" tangents (Catmull-Rom slope from its
// neighbours, flat at the first and last key) whenever the keys change.
struct ControlKey {
  static constexpr uint32_t kCustomTangents = 1u;

  TimeValue time = 0;
  Point3 value;  // a float controller uses x
  Point3 inTan;
  Point3 outTan;
  uint32_t flags = 0;
};

class KeyframeControl : public Control {
 public:
  // Linear and Bézier controllers of either kind, and step float
  // controllers. `keyless` is the value answered while there are no keys.
  KeyframeControl(ControlKind kind, KeyInterp interp, const Point3& keyless = Point3());

  ControlKind Kind() const override { return kind_; }
  KeyInterp Interp() const { return interp_; }

  void GetValue(TimeValue t, float& v, Interval& valid) override;
  void GetValue(TimeValue t, Point3& v, Interval& valid) override;
  void SetValue(TimeValue t, float v) override;
  void SetValue(TimeValue t, const Point3& v) override;

  int NumKeys() override { return static_cast<int>(keys_.size()); }
  TimeValue GetKeyTime(int i) override;
  // Removing the last key keeps its value as the keyless value, so the
  // controller's value does not jump.
  bool RemoveKey(int i) override;
  bool SetKeyValue(int i, float v) override;
  bool SetKeyValue(int i, const Point3& v) override;

  const ControlKey& GetKey(int i) const;
  // Gives key i explicit in and out tangents (value units per tick); answers
  // false for an index out of range.
  bool SetKeyTangents(int i, const Point3& inTan, const Point3& outTan);
  // Back to smooth tangents for key i.
  bool SetKeySmooth(int i);
  const Point3& KeylessValue() const { return keyless_; }

  Class_ID ClassID() override;
  SClass_ID SuperClassID() override;
  void GetClassName(CStr& s) override;
  ReferenceTarget* Clone(RemapDir& remap) override;
  IOResult Save(ISave* isave) override;
  IOResult Load(ILoad* iload) override;

 private:
  friend class KeysRestore;

  Point3 Evaluate(TimeValue t, Interval& valid) const;
  // Sets or replaces the key at t.
  void SetKeyAt(TimeValue t, const Point3& v);
  // Replaces the keys (recorded for undo), recomputes smooth tangents and
  // notifies dependents.
  void ChangeKeys(std::vector<ControlKey> keys, const Point3& keyless);
  // Installs keys without undo; used by ChangeKeys and the undo record.
  void InstallKeys(std::vector<ControlKey> keys, const Point3& keyless);
  void ComputeSmoothTangents();
  void CheckKind(ControlKind asked) const;

  ControlKind kind_;
  KeyInterp interp_;
  Point3 keyless_;
  std::vector<ControlKey> keys_;
};

// A new controller for a value of `kind`; null for a step Point3 controller,
// which the SDK does not offer.
KeyframeControl* NewKeyframeControl(ControlKind kind, KeyInterp interp,
                                    const Point3& keyless = Point3());

// The class descriptors of the controllers, for the class directory.
void GetControllerDescs(std::vector<ClassDesc2*>& descs);
