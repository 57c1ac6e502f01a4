// Key-frame controllers: evaluation (linear, Hermite, step), key edits with
// undo records, cloning, saving and the class descriptors.
#include "sdk/controllers.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <utility>

#include "sdk/check.h"
#include "sdk/class_desc.h"
#include "sdk/hold.h"
#include "sdk/save_load.h"

namespace {

constexpr uint16_t kHeaderChunk = 0x2000;
constexpr uint16_t kKeysChunk = 0x2010;
// time, value, in and out tangents, flags.
constexpr size_t kSavedKeyBytes = 4 + 9 * 4 + 4;

struct ControllerClass {
  ControlKind kind;
  KeyInterp interp;
  Class_ID id;
  const char* className;
  const char* internalName;
};

constexpr std::array<ControllerClass, 5> kControllerClasses{{
    {ControlKind::kFloat, KeyInterp::kLinear, LINEAR_FLOAT_CLASS_ID, "Linear Float", "LinearFloat"},
    {ControlKind::kFloat, KeyInterp::kBezier, BEZIER_FLOAT_CLASS_ID, "Bezier Float", "BezierFloat"},
    {ControlKind::kFloat, KeyInterp::kStep, STEP_FLOAT_CLASS_ID, "Step Float", "StepFloat"},
    {ControlKind::kPoint3, KeyInterp::kLinear, LINEAR_POINT3_CLASS_ID, "Linear Point3",
     "LinearPoint3"},
    {ControlKind::kPoint3, KeyInterp::kBezier, BEZIER_POINT3_CLASS_ID, "Bezier Point3",
     "BezierPoint3"},
}};

const ControllerClass* FindControllerClass(ControlKind kind, KeyInterp interp) {
  for (const ControllerClass& c : kControllerClasses) {
    if (c.kind == kind && c.interp == interp) return &c;
  }
  return nullptr;
}

SClass_ID SuperClassOf(ControlKind kind) {
  return kind == ControlKind::kFloat ? CTRL_FLOAT_CLASS_ID : CTRL_POINT3_CLASS_ID;
}

// Cubic Hermite between p0 (slope m0) and p1 (slope m1) over dt ticks, at u in [0, 1].
Point3 Hermite(const Point3& p0, const Point3& m0, const Point3& p1, const Point3& m1, float dt,
               float u) {
  float u2 = u * u, u3 = u2 * u;
  float h00 = 2 * u3 - 3 * u2 + 1, h10 = u3 - 2 * u2 + u;
  float h01 = -2 * u3 + 3 * u2, h11 = u3 - u2;
  return p0 * h00 + m0 * (h10 * dt) + p1 * h01 + m1 * (h11 * dt);
}

}  // namespace

// Puts a controller's keys back as they were before an edit.
class KeysRestore : public RestoreObj {
 public:
  KeysRestore(KeyframeControl* c, std::vector<ControlKey> beforeKeys, const Point3& beforeKeyless)
      : keep_(c),
        beforeKeys_(std::move(beforeKeys)),
        beforeKeyless_(beforeKeyless),
        afterKeys_(c->keys_),
        afterKeyless_(c->keyless_) {}

  void Restore(int /*isUndo*/) override {
    if (KeyframeControl* c = keep_.GetAs<KeyframeControl>())
      c->InstallKeys(beforeKeys_, beforeKeyless_);
  }
  void Redo() override {
    if (KeyframeControl* c = keep_.GetAs<KeyframeControl>())
      c->InstallKeys(afterKeys_, afterKeyless_);
  }
  int Size() override {
    return static_cast<int>((beforeKeys_.size() + afterKeys_.size()) * sizeof(ControlKey));
  }
  CStr Description() override { return "Controller keys"; }

 private:
  // Keeps the controller alive while the record exists; empty when the
  // controller was deleted explicitly (DeleteMe), and undo then does nothing.
  ReferenceHolder keep_;
  std::vector<ControlKey> beforeKeys_;
  Point3 beforeKeyless_;
  std::vector<ControlKey> afterKeys_;
  Point3 afterKeyless_;
};

Interval Control::Validity(TimeValue t) {
  Interval valid = FOREVER;
  if (Kind() == ControlKind::kFloat) {
    float v;
    GetValue(t, v, valid);
  } else {
    Point3 v;
    GetValue(t, v, valid);
  }
  return valid;
}

KeyframeControl::KeyframeControl(ControlKind kind, KeyInterp interp, const Point3& keyless)
    : kind_(kind), interp_(interp), keyless_(keyless) {
  TARNIS_CHECK(FindControllerClass(kind, interp) != nullptr)
      << "no controller class for this kind and interpolation";
}

KeyframeControl* NewKeyframeControl(ControlKind kind, KeyInterp interp, const Point3& keyless) {
  if (FindControllerClass(kind, interp) == nullptr) return nullptr;
  return new KeyframeControl(kind, interp, keyless);
}

void KeyframeControl::CheckKind(ControlKind asked) const {
  TARNIS_CHECK(asked == kind_) << "float/Point3 access to a controller of the other kind";
}

Point3 KeyframeControl::Evaluate(TimeValue t, Interval& valid) const {
  if (keys_.empty()) return keyless_;
  if (keys_.size() == 1) return keys_.front().value;
  const ControlKey& first = keys_.front();
  const ControlKey& last = keys_.back();
  // The value is constant before the first key (and, except for steps, at it).
  if (t < first.time || (t == first.time && interp_ != KeyInterp::kStep)) {
    valid &= Interval(TIME_NegInfinity, first.time);
    return first.value;
  }
  if (t >= last.time) {
    valid &= Interval(last.time, TIME_PosInfinity);
    return last.value;
  }
  // keys_[i].time <= t < keys_[i + 1].time
  auto next = std::upper_bound(keys_.begin(), keys_.end(), t,
                               [](TimeValue time, const ControlKey& k) { return time < k.time; });
  const ControlKey& k1 = *next;
  const ControlKey& k0 = *(next - 1);
  if (interp_ == KeyInterp::kStep) {
    valid &= Interval(k0.time, k1.time - 1);
    return k0.value;
  }
  valid &= Interval(t, t);
  if (t == k0.time) return k0.value;
  float dt = static_cast<float>(static_cast<double>(k1.time) - k0.time);
  float u = static_cast<float>((static_cast<double>(t) - k0.time) / dt);
  if (interp_ == KeyInterp::kLinear) return k0.value + (k1.value - k0.value) * u;
  return Hermite(k0.value, k0.outTan, k1.value, k1.inTan, dt, u);
}

void KeyframeControl::GetValue(TimeValue t, float& v, Interval& valid) {
  CheckKind(ControlKind::kFloat);
  v = Evaluate(t, valid).x;
}

void KeyframeControl::GetValue(TimeValue t, Point3& v, Interval& valid) {
  CheckKind(ControlKind::kPoint3);
  v = Evaluate(t, valid);
}

void KeyframeControl::SetValue(TimeValue t, float v) {
  CheckKind(ControlKind::kFloat);
  SetKeyAt(t, Point3(v, 0.0f, 0.0f));
}

void KeyframeControl::SetValue(TimeValue t, const Point3& v) {
  CheckKind(ControlKind::kPoint3);
  SetKeyAt(t, v);
}

void KeyframeControl::SetKeyAt(TimeValue t, const Point3& v) {
  std::vector<ControlKey> keys = keys_;
  auto at = std::lower_bound(keys.begin(), keys.end(), t,
                             [](const ControlKey& k, TimeValue time) { return k.time < time; });
  if (at != keys.end() && at->time == t) {
    at->value = v;
  } else {
    ControlKey key;
    key.time = t;
    key.value = v;
    keys.insert(at, key);
  }
  ChangeKeys(std::move(keys), keyless_);
}

TimeValue KeyframeControl::GetKeyTime(int i) {
  return GetKey(i).time;
}

const ControlKey& KeyframeControl::GetKey(int i) const {
  TARNIS_CHECK(i >= 0 && i < static_cast<int>(keys_.size()))
      << "key " << i << " of " << keys_.size();
  return keys_[static_cast<size_t>(i)];
}

bool KeyframeControl::RemoveKey(int i) {
  if (i < 0 || i >= NumKeys()) return false;
  std::vector<ControlKey> keys = keys_;
  Point3 keyless = keys.size() == 1 ? keys.front().value : keyless_;
  keys.erase(keys.begin() + i);
  ChangeKeys(std::move(keys), keyless);
  return true;
}

bool KeyframeControl::SetKeyValue(int i, float v) {
  CheckKind(ControlKind::kFloat);
  return SetKeyValue(i, Point3(v, 0.0f, 0.0f));
}

bool KeyframeControl::SetKeyValue(int i, const Point3& v) {
  if (i < 0 || i >= NumKeys()) return false;
  std::vector<ControlKey> keys = keys_;
  keys[static_cast<size_t>(i)].value = v;
  ChangeKeys(std::move(keys), keyless_);
  return true;
}

bool KeyframeControl::SetKeyTangents(int i, const Point3& inTan, const Point3& outTan) {
  if (i < 0 || i >= NumKeys()) return false;
  std::vector<ControlKey> keys = keys_;
  ControlKey& k = keys[static_cast<size_t>(i)];
  k.inTan = inTan;
  k.outTan = outTan;
  k.flags |= ControlKey::kCustomTangents;
  ChangeKeys(std::move(keys), keyless_);
  return true;
}

bool KeyframeControl::SetKeySmooth(int i) {
  if (i < 0 || i >= NumKeys()) return false;
  std::vector<ControlKey> keys = keys_;
  keys[static_cast<size_t>(i)].flags &= ~ControlKey::kCustomTangents;
  ChangeKeys(std::move(keys), keyless_);
  return true;
}

void KeyframeControl::ChangeKeys(std::vector<ControlKey> keys, const Point3& keyless) {
  if (!theHold.Holding()) {
    InstallKeys(std::move(keys), keyless);
    return;
  }
  std::vector<ControlKey> before = keys_;
  Point3 beforeKeyless = keyless_;
  InstallKeys(std::move(keys), keyless);
  theHold.Put(std::make_unique<KeysRestore>(this, std::move(before), beforeKeyless));
}

void KeyframeControl::InstallKeys(std::vector<ControlKey> keys, const Point3& keyless) {
  keys_ = std::move(keys);
  keyless_ = keyless;
  ComputeSmoothTangents();
  NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
}

void KeyframeControl::ComputeSmoothTangents() {
  size_t n = keys_.size();
  for (size_t i = 0; i < n; ++i) {
    ControlKey& k = keys_[i];
    if (k.flags & ControlKey::kCustomTangents) continue;
    Point3 slope;  // flat at the ends
    if (i > 0 && i + 1 < n) {
      const ControlKey& prev = keys_[i - 1];
      const ControlKey& next = keys_[i + 1];
      slope = (next.value - prev.value) /
              static_cast<float>(static_cast<double>(next.time) - prev.time);
    }
    k.inTan = slope;
    k.outTan = slope;
  }
}

Class_ID KeyframeControl::ClassID() {
  return FindControllerClass(kind_, interp_)->id;
}

SClass_ID KeyframeControl::SuperClassID() {
  return SuperClassOf(kind_);
}

void KeyframeControl::GetClassName(CStr& s) {
  s = FindControllerClass(kind_, interp_)->className;
}

ReferenceTarget* KeyframeControl::Clone(RemapDir& remap) {
  auto* copy = new KeyframeControl(kind_, interp_, keyless_);
  copy->keys_ = keys_;
  BaseClone(this, copy, remap);
  return copy;
}

IOResult KeyframeControl::Save(ISave* isave) {
  isave->BeginChunk(kHeaderChunk);
  isave->WriteInt(static_cast<int32_t>(kind_));
  isave->WriteInt(static_cast<int32_t>(interp_));
  for (int c = 0; c < 3; ++c) isave->WriteFloat(keyless_[c]);
  isave->EndChunk();

  isave->BeginChunk(kKeysChunk);
  isave->WriteUInt(static_cast<uint32_t>(keys_.size()));
  for (const ControlKey& k : keys_) {
    isave->WriteInt(k.time);
    for (const Point3* p : {&k.value, &k.inTan, &k.outTan}) {
      for (int c = 0; c < 3; ++c) isave->WriteFloat((*p)[c]);
    }
    isave->WriteUInt(k.flags);
  }
  isave->EndChunk();
  return IO_OK;
}

namespace {

// A non-finite component is damage too: it would poison every value
// interpolated from the key.
IOResult ReadPoint3(ILoad* iload, Point3& p) {
  for (int c = 0; c < 3; ++c) {
    if (iload->ReadFloat(p[c]) != IO_OK || !std::isfinite(p[c])) return IO_ERROR;
  }
  return IO_OK;
}

IOResult ReadKeys(ILoad* iload, std::vector<ControlKey>& keys) {
  uint32_t count = 0;
  if (iload->ReadUInt(count) != IO_OK) return IO_ERROR;
  if (count > iload->BytesLeft() / kSavedKeyBytes) {
    iload->LogWarning("controller key count larger than its chunk");
    return IO_ERROR;
  }
  keys.resize(count);
  for (ControlKey& k : keys) {
    if (iload->ReadInt(k.time) != IO_OK || ReadPoint3(iload, k.value) != IO_OK ||
        ReadPoint3(iload, k.inTan) != IO_OK || ReadPoint3(iload, k.outTan) != IO_OK ||
        iload->ReadUInt(k.flags) != IO_OK) {
      return IO_ERROR;
    }
  }
  for (size_t i = 1; i < keys.size(); ++i) {
    if (keys[i - 1].time >= keys[i].time) {
      iload->LogWarning("controller keys out of time order");
      return IO_ERROR;
    }
  }
  return IO_OK;
}

}  // namespace

IOResult KeyframeControl::Load(ILoad* iload) {
  std::vector<ControlKey> keys;
  Point3 keyless = keyless_;
  IOResult res;
  while ((res = iload->OpenChunk()) == IO_OK) {
    if (iload->CurChunkID() == kHeaderChunk) {
      int32_t kind = -1, interp = -1;
      if (iload->ReadInt(kind) != IO_OK || iload->ReadInt(interp) != IO_OK ||
          ReadPoint3(iload, keyless) != IO_OK) {
        return IO_ERROR;
      }
      if (kind != static_cast<int32_t>(kind_) || interp != static_cast<int32_t>(interp_)) {
        iload->LogWarning("controller data of another controller class");
        return IO_ERROR;
      }
    } else if (iload->CurChunkID() == kKeysChunk) {
      if (ReadKeys(iload, keys) != IO_OK) return IO_ERROR;
    }
    if (iload->CloseChunk() != IO_OK) return IO_ERROR;
  }
  if (res == IO_ERROR) return IO_ERROR;
  // Loading is not an undoable edit.
  HoldSuspend suspend;
  InstallKeys(std::move(keys), keyless);
  return IO_OK;
}

namespace {

class KeyframeControlClassDesc : public ClassDesc2 {
 public:
  explicit KeyframeControlClassDesc(const ControllerClass& c) : class_(c) {}

  int IsPublic() override { return 1; }
  void* Create(bool /*loading*/) override {
    return static_cast<ReferenceTarget*>(new KeyframeControl(class_.kind, class_.interp));
  }
  const char* ClassName() override { return class_.className; }
  SClass_ID SuperClassID() override { return SuperClassOf(class_.kind); }
  Class_ID ClassID() override { return class_.id; }
  const char* Category() override { return "Controllers"; }
  const char* InternalName() override { return class_.internalName; }

 private:
  const ControllerClass& class_;
};

}  // namespace

void GetControllerDescs(std::vector<ClassDesc2*>& descs) {
  static KeyframeControlClassDesc classDescs[] = {
      KeyframeControlClassDesc(kControllerClasses[0]),
      KeyframeControlClassDesc(kControllerClasses[1]),
      KeyframeControlClassDesc(kControllerClasses[2]),
      KeyframeControlClassDesc(kControllerClasses[3]),
      KeyframeControlClassDesc(kControllerClasses[4]),
  };
  for (KeyframeControlClassDesc& cd : classDescs) descs.push_back(&cd);
}
