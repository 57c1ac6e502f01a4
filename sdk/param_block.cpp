// IParamBlock2: reading and setting values, tables, controllers, the flat
// reference-slot layout and the undo records of plain values and table
// sizes. Saving, loading and cloning live in param_block_io.cpp.
#include "sdk/param_block.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <memory>
#include <utility>

#include "sdk/check.h"
#include "sdk/class_desc.h"
#include "sdk/hold.h"

// --- Undo records ----------------------------------------------------------
// Both keep the block alive through a ReferenceHolder; when the block was
// deleted explicitly (DeleteMe) the holder is empty and undo does nothing.
// Controllers and reference values are slots, recorded by ReplaceReference.

// One plain value before and after a set.
class ParamValueRestore : public RestoreObj {
 public:
  ParamValueRestore(IParamBlock2* pb, int index, int tabIndex, PB2Value before, PB2Value after)
      : keep_(pb),
        index_(index),
        tabIndex_(tabIndex),
        before_(std::move(before)),
        after_(std::move(after)) {}

  void Restore(int /*isUndo*/) override { Put(before_); }
  void Redo() override { Put(after_); }
  CStr Description() override { return "Parameter value"; }

 private:
  void Put(const PB2Value& v) {
    auto* pb = keep_.GetAs<IParamBlock2>();
    if (!pb) return;
    auto& entries = pb->params_[static_cast<size_t>(index_)].entries;
    if (tabIndex_ >= static_cast<int>(entries.size())) return;
    entries[static_cast<size_t>(tabIndex_)].value = v;
    pb->Notify(pb->Def(index_).id, tabIndex_);
  }

  ReferenceHolder keep_;
  int index_;
  int tabIndex_;
  PB2Value before_;
  PB2Value after_;
};

// Entries inserted into or removed from a table, with their plain values.
class ParamTableRestore : public RestoreObj {
 public:
  ParamTableRestore(IParamBlock2* pb, int index, int at, std::vector<PB2Value> values,
                    bool inserted)
      : keep_(pb), index_(index), at_(at), values_(std::move(values)), inserted_(inserted) {}

  void Restore(int /*isUndo*/) override { Apply(!inserted_); }
  void Redo() override { Apply(inserted_); }
  CStr Description() override { return "Parameter table"; }

 private:
  void Apply(bool insert) {
    auto* pb = keep_.GetAs<IParamBlock2>();
    if (!pb) return;
    int count = static_cast<int>(pb->params_[static_cast<size_t>(index_)].entries.size());
    int n = static_cast<int>(values_.size());
    if (insert && at_ <= count) pb->InsertEntries(index_, at_, values_);
    if (!insert && at_ + n <= count) pb->RemoveEntries(index_, at_, n);
  }

  ReferenceHolder keep_;
  int index_;
  int at_;
  std::vector<PB2Value> values_;
  bool inserted_;
};

namespace {

ControlKind KindFor(const ParamDef& def) {
  ParamStorage s = StorageOf(def.type);
  return s == ParamStorage::kColor || s == ParamStorage::kPoint3 ? ControlKind::kPoint3
                                                                 : ControlKind::kFloat;
}

bool ToFloat(const PB2Value& v, float& out) {
  if (const float* f = v.GetIf<float>()) return out = *f, true;
  if (const int* i = v.GetIf<int>()) return out = static_cast<float>(*i), true;
  return false;
}

bool ToInt(const PB2Value& v, int& out) {
  if (const int* i = v.GetIf<int>()) return out = *i, true;
  return false;
}

bool ToPoint3(const PB2Value& v, Point3& out) {
  if (const Point3* p = v.GetIf<Point3>()) return out = *p, true;
  if (const Color* c = v.GetIf<Color>()) return out = Point3(*c), true;
  return false;
}

bool ToColor(const PB2Value& v, Color& out) {
  if (const Color* c = v.GetIf<Color>()) return out = *c, true;
  if (const Point3* p = v.GetIf<Point3>()) return out = Color(*p), true;
  return false;
}

bool ToString(const PB2Value& v, std::string& out) {
  if (const std::string* s = v.GetIf<std::string>()) return out = *s, true;
  return false;
}

bool ToRef(const PB2Value& v, ReferenceTarget*& out) {
  if (ReferenceTarget* const* r = v.GetIf<ReferenceTarget*>()) return out = *r, true;
  return false;
}

// Reads a value and converts it; `out` and `valid` change only on success.
template <class T, class Convert>
bool ReadAs(IParamBlock2& pb, ParamID id, TimeValue t, T& out, Interval& valid, int tabIndex,
            Convert convert) {
  PB2Value v;
  Interval iv = valid;
  T converted{};
  if (!pb.GetValue(id, t, v, iv, tabIndex) || !convert(v, converted)) return false;
  out = std::move(converted);
  valid = iv;
  return true;
}

// The value a keyless controller starts from, from a plain value.
Point3 AsKeyValue(const PB2Value& v) {
  Point3 p;
  float f = 0.0f;
  if (ToPoint3(v, p)) return p;
  if (ToFloat(v, f)) return Point3(f, 0.0f, 0.0f);
  return p;
}

}  // namespace

// --- Construction and layout -------------------------------------------------

IParamBlock2::IParamBlock2(ParamBlockDesc2* desc, ReferenceMaker* owner)
    : desc_(desc), owner_(owner) {
  TARNIS_CHECK(desc != nullptr) << "parameter block without a descriptor";
  InitDefaults();
}

IParamBlock2::IParamBlock2() = default;

IParamBlock2::~IParamBlock2() = default;

IParamBlock2* CreateParameterBlock2(ParamBlockDesc2* desc, ReferenceMaker* owner) {
  return new IParamBlock2(desc, owner);
}

void IParamBlock2::InitDefaults() {
  params_.assign(static_cast<size_t>(desc_->Count()), Param{});
  for (int i = 0; i < desc_->Count(); ++i) {
    const ParamDef& def = Def(i);
    size_t n = IsTabType(def.type) ? static_cast<size_t>(def.tabSize) : 1;
    Entry e;
    if (StorageOf(def.type) != ParamStorage::kReference) e.value = def.def;
    params_[static_cast<size_t>(i)].entries.assign(n, e);
  }
  LayoutRefs();
}

bool IParamBlock2::HasRefSlots(const ParamDef& def) const {
  return (def.flags & P_ANIMATABLE) ||
         (StorageOf(def.type) == ParamStorage::kReference && !(def.flags & P_OWNERS_REF));
}

void IParamBlock2::LayoutRefs() {
  int next = 0;
  for (size_t i = 0; i < params_.size(); ++i) {
    Param& p = params_[i];
    p.refBase = HasRefSlots(Def(static_cast<int>(i))) ? next : -1;
    if (p.refBase >= 0) next += static_cast<int>(p.entries.size());
  }
  numRefs_ = next;
}

int IParamBlock2::ID() const {
  return desc_ ? desc_->ID() : -1;
}

void IParamBlock2::SetOwner(ReferenceMaker* owner) {
  owner_ = owner;
  const auto& deps = Dependents();
  ownerAttached_ = owner && std::find(deps.begin(), deps.end(), owner) != deps.end();
}

int IParamBlock2::NumParams() const {
  return desc_ ? desc_->Count() : 0;
}

ParamType2 IParamBlock2::GetParameterType(ParamID id) const {
  const ParamDef* def = desc_ ? desc_->GetParamDef(id) : nullptr;
  TARNIS_CHECK(def != nullptr) << "unknown parameter id " << id;
  return def->type;
}

IParamBlock2::Entry* IParamBlock2::FindEntry(ParamID id, int tabIndex, int& index) {
  index = desc_ ? desc_->IDtoIndex(id) : -1;
  if (index < 0) return nullptr;
  auto& entries = params_[static_cast<size_t>(index)].entries;
  if (tabIndex < 0 || tabIndex >= static_cast<int>(entries.size())) return nullptr;
  return &entries[static_cast<size_t>(tabIndex)];
}

void IParamBlock2::Notify(ParamID id, int tabIndex) {
  lastNotifyID_ = id;
  lastNotifyTab_ = tabIndex;
  NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
}

// --- Reading -----------------------------------------------------------------

PB2Value IParamBlock2::ControllerValue(const ParamDef& def, Control* c, TimeValue t,
                                       Interval& valid) {
  PB2Value v;
  if (c->Kind() == ControlKind::kFloat) {
    float f = 0.0f;
    c->GetValue(t, f, valid);
    if (StorageOf(def.type) == ParamStorage::kInt) {
      double d = std::isnan(f)
                     ? 0.0
                     : std::clamp(static_cast<double>(f), double{INT_MIN}, double{INT_MAX});
      v = static_cast<int>(std::lround(d));
    } else {
      v = f;
    }
  } else {
    Point3 p;
    c->GetValue(t, p, valid);
    v = p;
  }
  // Keys may lie outside the range (Bézier overshoot, keys set on the
  // controller directly): the block answers only values it could hold.
  if (!CoerceParamValue(def.type, v)) v = def.def;
  ClampParamValue(def, v);
  return v;
}

bool IParamBlock2::GetValue(ParamID id, TimeValue t, PB2Value& v, Interval& valid, int tabIndex) {
  int index;
  Entry* e = FindEntry(id, tabIndex, index);
  if (!e) return false;
  const ParamDef& def = Def(index);
  PB2Value r;
  if (def.flags & P_OWNERS_REF) {
    r = owner_ ? owner_->GetReference(def.ownerRef + tabIndex) : nullptr;
  } else if (e->ctrl) {
    r = ControllerValue(def, e->ctrl, t, valid);
  } else if (StorageOf(def.type) == ParamStorage::kReference) {
    r = e->ref;
  } else {
    r = e->value;
  }
  if (def.accessor) {
    def.accessor->Get(r, owner_, id, tabIndex, t, valid);
    TARNIS_CHECK(CoerceParamValue(def.type, r))
        << "accessor of '" << def.internalName << "' answered a value of another type";
  }
  v = std::move(r);
  return true;
}

bool IParamBlock2::GetValue(ParamID id, TimeValue t, float& v, Interval& valid, int tabIndex) {
  return ReadAs(*this, id, t, v, valid, tabIndex, ToFloat);
}
bool IParamBlock2::GetValue(ParamID id, TimeValue t, int& v, Interval& valid, int tabIndex) {
  return ReadAs(*this, id, t, v, valid, tabIndex, ToInt);
}
bool IParamBlock2::GetValue(ParamID id, TimeValue t, Point3& v, Interval& valid, int tabIndex) {
  return ReadAs(*this, id, t, v, valid, tabIndex, ToPoint3);
}
bool IParamBlock2::GetValue(ParamID id, TimeValue t, Color& v, Interval& valid, int tabIndex) {
  return ReadAs(*this, id, t, v, valid, tabIndex, ToColor);
}
bool IParamBlock2::GetValue(ParamID id, TimeValue t, std::string& v, Interval& valid,
                            int tabIndex) {
  return ReadAs(*this, id, t, v, valid, tabIndex, ToString);
}
bool IParamBlock2::GetValue(ParamID id, TimeValue t, ReferenceTarget*& v, Interval& valid,
                            int tabIndex) {
  return ReadAs(*this, id, t, v, valid, tabIndex, ToRef);
}

namespace {

template <class T>
T ReadOrDie(IParamBlock2& pb, ParamID id, TimeValue t, int tabIndex, const char* what) {
  T v{};
  Interval valid = FOREVER;
  TARNIS_CHECK(pb.GetValue(id, t, v, valid, tabIndex))
      << what << ": no such parameter or entry, or another type (id " << id << ", entry "
      << tabIndex << ")";
  return v;
}

}  // namespace

float IParamBlock2::GetFloat(ParamID id, TimeValue t, int tabIndex) {
  return ReadOrDie<float>(*this, id, t, tabIndex, "GetFloat");
}
int IParamBlock2::GetInt(ParamID id, TimeValue t, int tabIndex) {
  return ReadOrDie<int>(*this, id, t, tabIndex, "GetInt");
}
Color IParamBlock2::GetColor(ParamID id, TimeValue t, int tabIndex) {
  return ReadOrDie<Color>(*this, id, t, tabIndex, "GetColor");
}
Point3 IParamBlock2::GetPoint3(ParamID id, TimeValue t, int tabIndex) {
  return ReadOrDie<Point3>(*this, id, t, tabIndex, "GetPoint3");
}
std::string IParamBlock2::GetStr(ParamID id, TimeValue t, int tabIndex) {
  return ReadOrDie<std::string>(*this, id, t, tabIndex, "GetStr");
}
ReferenceTarget* IParamBlock2::GetReferenceTarget(ParamID id, TimeValue t, int tabIndex) {
  return ReadOrDie<ReferenceTarget*>(*this, id, t, tabIndex, "GetReferenceTarget");
}

// --- Setting -----------------------------------------------------------------

bool IParamBlock2::PrepareValue(const ParamDef& def, int tabIndex, TimeValue t, PB2Value& v) {
  if (!CoerceParamValue(def.type, v)) return false;
  ClampParamValue(def, v);
  if (def.accessor) {
    def.accessor->Set(v, owner_, def.id, tabIndex, t);
    TARNIS_CHECK(CoerceParamValue(def.type, v))
        << "accessor of '" << def.internalName << "' set a value of another type";
    ClampParamValue(def, v);
  }
  return true;
}

void IParamBlock2::StorePlain(int index, int tabIndex, PB2Value v) {
  Entry& e = params_[static_cast<size_t>(index)].entries[static_cast<size_t>(tabIndex)];
  if (theHold.Holding()) {
    theHold.Put(std::make_unique<ParamValueRestore>(this, index, tabIndex, e.value, v));
  }
  e.value = std::move(v);
  Notify(Def(index).id, tabIndex);
}

bool IParamBlock2::SetValue(ParamID id, TimeValue t, const PB2Value& value, int tabIndex) {
  int index;
  if (!FindEntry(id, tabIndex, index)) return false;
  const ParamDef& def = Def(index);
  PB2Value v = value;
  if (!PrepareValue(def, tabIndex, t, v)) return false;
  // The accessor may have changed the block; look the entry up again.
  Entry* e = FindEntry(id, tabIndex, index);
  if (!e) return false;
  if (def.flags & P_OWNERS_REF) {
    if (!owner_ ||
        owner_->ReplaceReference(def.ownerRef + tabIndex, v.Get<ReferenceTarget*>()) == REF_FAIL) {
      return false;
    }
    Notify(id, tabIndex);
    return true;
  }
  if (StorageOf(def.type) == ParamStorage::kReference) {
    int slot = params_[static_cast<size_t>(index)].refBase + tabIndex;
    if (ReplaceReference(slot, v.Get<ReferenceTarget*>()) == REF_FAIL) return false;
    Notify(id, tabIndex);
    return true;
  }
  if (e->ctrl) {
    // The controller's change notice reaches NotifyRefChanged, which passes it on.
    lastNotifyID_ = id;
    lastNotifyTab_ = tabIndex;
    if (e->ctrl->Kind() == ControlKind::kFloat) {
      float f = 0.0f;
      ToFloat(v, f);
      e->ctrl->SetValue(t, f);
    } else {
      e->ctrl->SetValue(t, AsKeyValue(v));
    }
    return true;
  }
  StorePlain(index, tabIndex, std::move(v));
  return true;
}

bool IParamBlock2::SetValue(ParamID id, TimeValue t, float v, int tabIndex) {
  return SetValue(id, t, PB2Value(v), tabIndex);
}
bool IParamBlock2::SetValue(ParamID id, TimeValue t, double v, int tabIndex) {
  return SetValue(id, t, PB2Value(v), tabIndex);
}
bool IParamBlock2::SetValue(ParamID id, TimeValue t, int v, int tabIndex) {
  return SetValue(id, t, PB2Value(v), tabIndex);
}
bool IParamBlock2::SetValue(ParamID id, TimeValue t, const Point3& v, int tabIndex) {
  return SetValue(id, t, PB2Value(v), tabIndex);
}
bool IParamBlock2::SetValue(ParamID id, TimeValue t, const Color& v, int tabIndex) {
  return SetValue(id, t, PB2Value(v), tabIndex);
}
bool IParamBlock2::SetValue(ParamID id, TimeValue t, const std::string& v, int tabIndex) {
  return SetValue(id, t, PB2Value(v), tabIndex);
}
bool IParamBlock2::SetValue(ParamID id, TimeValue t, const char* v, int tabIndex) {
  return SetValue(id, t, PB2Value(v), tabIndex);
}
bool IParamBlock2::SetValue(ParamID id, TimeValue t, ReferenceTarget* v, int tabIndex) {
  return SetValue(id, t, PB2Value(v), tabIndex);
}
bool IParamBlock2::SetValue(ParamID id, TimeValue t, std::nullptr_t, int tabIndex) {
  return SetValue(id, t, PB2Value(nullptr), tabIndex);
}

// --- Tables --------------------------------------------------------------------

int IParamBlock2::Count(ParamID id) const {
  int index = desc_ ? desc_->IDtoIndex(id) : -1;
  return index < 0 ? 0 : static_cast<int>(params_[static_cast<size_t>(index)].entries.size());
}

void IParamBlock2::InsertEntries(int index, int at, const std::vector<PB2Value>& values) {
  auto& entries = params_[static_cast<size_t>(index)].entries;
  std::vector<Entry> added(values.size());
  for (size_t k = 0; k < values.size(); ++k) added[k].value = values[k];
  entries.insert(entries.begin() + at, added.begin(), added.end());
  LayoutRefs();
  Notify(Def(index).id, at);
}

void IParamBlock2::RemoveEntries(int index, int start, int n) {
  Param& p = params_[static_cast<size_t>(index)];
  // Public deletes release the slots first (recorded for undo); this catches
  // whatever is left, so no slot disappears while it still holds a target.
  for (int k = start; k < start + n; ++k) {
    if (p.entries[static_cast<size_t>(k)].ref) ReplaceReference(p.refBase + k, nullptr);
  }
  p.entries.erase(p.entries.begin() + start, p.entries.begin() + start + n);
  LayoutRefs();
  Notify(Def(index).id, start);
}

bool IParamBlock2::Insert(ParamID id, int at, const PB2Value& value) {
  int index = desc_ ? desc_->IDtoIndex(id) : -1;
  if (index < 0 || !IsTabType(Def(index).type) || (Def(index).flags & P_OWNERS_REF)) return false;
  const ParamDef& def = Def(index);
  if (at < 0 || at > Count(id)) return false;
  PB2Value v = value;
  if (!PrepareValue(def, at, 0, v)) return false;
  if (at > Count(id)) return false;  // the accessor shrank the table
  const bool isRef = StorageOf(def.type) == ParamStorage::kReference;
  std::vector<PB2Value> values{isRef ? PB2Value() : v};
  InsertEntries(index, at, values);
  if (theHold.Holding()) {
    theHold.Put(std::make_unique<ParamTableRestore>(this, index, at, std::move(values), true));
  }
  if (isRef && v.Get<ReferenceTarget*>()) {
    ReplaceReference(params_[static_cast<size_t>(index)].refBase + at, v.Get<ReferenceTarget*>());
    Notify(id, at);
  }
  return true;
}

bool IParamBlock2::Append(ParamID id, const PB2Value& v) {
  return Insert(id, Count(id), v);
}

bool IParamBlock2::Delete(ParamID id, int start, int n) {
  int index = desc_ ? desc_->IDtoIndex(id) : -1;
  if (index < 0 || !IsTabType(Def(index).type)) return false;
  if (start < 0 || n < 0 || int64_t{start} + n > Count(id)) return false;
  if (n == 0) return true;
  if (Def(index).flags & P_OWNERS_REF) return false;  // the owner's slots are fixed
  Param& p = params_[static_cast<size_t>(index)];
  std::vector<PB2Value> values;
  for (int k = start; k < start + n; ++k) {
    Entry& e = p.entries[static_cast<size_t>(k)];
    if (e.ref) ReplaceReference(p.refBase + k, nullptr);
    values.push_back(e.value);
  }
  RemoveEntries(index, start, n);
  if (theHold.Holding()) {
    theHold.Put(std::make_unique<ParamTableRestore>(this, index, start, std::move(values), false));
  }
  return true;
}

bool IParamBlock2::SetCount(ParamID id, int n) {
  int index = desc_ ? desc_->IDtoIndex(id) : -1;
  if (index < 0 || !IsTabType(Def(index).type) || n < 0) return false;
  int count = Count(id);
  if (n == count) return true;
  if (Def(index).flags & P_OWNERS_REF) return false;  // the owner's slots are fixed
  if (n < count) return Delete(id, n, count - n);
  const ParamDef& def = Def(index);
  PB2Value fill = StorageOf(def.type) == ParamStorage::kReference ? PB2Value() : def.def;
  std::vector<PB2Value> values(static_cast<size_t>(n - count), fill);
  InsertEntries(index, count, values);
  if (theHold.Holding()) {
    theHold.Put(std::make_unique<ParamTableRestore>(this, index, count, std::move(values), true));
  }
  return true;
}

// --- Controllers -----------------------------------------------------------------

Control* IParamBlock2::GetController(ParamID id, int tabIndex) {
  int index;
  Entry* e = FindEntry(id, tabIndex, index);
  return e ? e->ctrl : nullptr;
}

bool IParamBlock2::IsAnimated(ParamID id, int tabIndex) {
  return GetController(id, tabIndex) != nullptr;
}

bool IParamBlock2::SetControllerEntry(int index, int tabIndex, Control* c) {
  int slot = params_[static_cast<size_t>(index)].refBase + tabIndex;
  if (ReplaceReference(slot, c) == REF_FAIL) return false;
  Notify(Def(index).id, tabIndex);
  return true;
}

bool IParamBlock2::SetController(ParamID id, int tabIndex, Control* c) {
  int index;
  if (!FindEntry(id, tabIndex, index) || !(Def(index).flags & P_ANIMATABLE)) return false;
  if (!c) return RemoveController(id, tabIndex, 0);
  if (c->Kind() != KindFor(Def(index))) return false;
  return SetControllerEntry(index, tabIndex, c);
}

Control* IParamBlock2::MakeAnimated(ParamID id, KeyInterp interp, int tabIndex) {
  int index;
  Entry* e = FindEntry(id, tabIndex, index);
  const ParamDef* def = e ? &Def(index) : nullptr;
  if (!def || !(def->flags & P_ANIMATABLE)) return nullptr;
  if (e->ctrl) return e->ctrl;
  if (StorageOf(def->type) == ParamStorage::kInt) interp = KeyInterp::kStep;
  KeyframeControl* c = NewKeyframeControl(KindFor(*def), interp, AsKeyValue(e->value));
  if (!c) return nullptr;
  if (!SetControllerEntry(index, tabIndex, c)) {
    c->MaybeAutoDelete();
    return nullptr;
  }
  return c;
}

bool IParamBlock2::RemoveController(ParamID id, int tabIndex, TimeValue t) {
  int index;
  Entry* e = FindEntry(id, tabIndex, index);
  if (!e || !(Def(index).flags & P_ANIMATABLE)) return false;
  if (!e->ref) return true;
  if (e->ctrl) {
    Interval ignored = FOREVER;
    StorePlain(index, tabIndex, ControllerValue(Def(index), e->ctrl, t, ignored));
  }
  ReplaceReference(params_[static_cast<size_t>(index)].refBase + tabIndex, nullptr);
  Notify(id, tabIndex);
  return true;
}

bool IParamBlock2::Assign(ParamID id, IParamBlock2* src, ParamID srcId, int tabIndex) {
  int index, srcIndex;
  if (!src || !FindEntry(id, tabIndex, index)) return false;
  Entry* se = src->FindEntry(srcId, tabIndex, srcIndex);
  if (!se) return false;
  const ParamDef& def = Def(index);
  if (se->ctrl) {
    if (!(def.flags & P_ANIMATABLE) || se->ctrl->Kind() != KindFor(def)) return false;
    auto* copy = dynamic_cast<Control*>(CloneRefHierarchy(se->ctrl));
    if (!copy) return false;
    if (!SetControllerEntry(index, tabIndex, copy)) {
      copy->MaybeAutoDelete();
      return false;
    }
    return true;
  }
  PB2Value v;
  Interval ignored = FOREVER;
  src->GetValue(srcId, 0, v, ignored, tabIndex);
  PB2Value check = v;
  if (!CoerceParamValue(def.type, check)) return false;
  if (def.flags & P_ANIMATABLE) RemoveController(id, tabIndex, 0);
  return SetValue(id, 0, v, tabIndex);
}

Interval IParamBlock2::GetValidity(TimeValue t) {
  Interval valid = FOREVER;
  for (Param& p : params_) {
    for (Entry& e : p.entries) {
      if (e.ctrl) valid &= e.ctrl->Validity(t);
    }
  }
  return valid;
}

// --- References and sub-animatables ------------------------------------------

bool IParamBlock2::SlotToEntry(int slot, int& index, int& tabIndex) const {
  for (size_t i = 0; i < params_.size(); ++i) {
    const Param& p = params_[i];
    if (p.refBase >= 0 && slot >= p.refBase &&
        slot < p.refBase + static_cast<int>(p.entries.size())) {
      index = static_cast<int>(i);
      tabIndex = slot - p.refBase;
      return true;
    }
  }
  return false;
}

ReferenceTarget* IParamBlock2::GetReference(int i) {
  int index, tabIndex;
  if (!SlotToEntry(i, index, tabIndex)) return nullptr;
  return params_[static_cast<size_t>(index)].entries[static_cast<size_t>(tabIndex)].ref;
}

void IParamBlock2::SetReference(int i, ReferenceTarget* target) {
  int index, tabIndex;
  if (!SlotToEntry(i, index, tabIndex)) return;
  Entry& e = params_[static_cast<size_t>(index)].entries[static_cast<size_t>(tabIndex)];
  e.ref = target;
  // A slot of an animatable parameter may be handed anything (a damaged
  // file); only a controller of the right kind animates the value.
  auto* c = (Def(index).flags & P_ANIMATABLE) ? dynamic_cast<Control*>(target) : nullptr;
  e.ctrl = c && c->Kind() == KindFor(Def(index)) ? c : nullptr;
}

int IParamBlock2::GetRefIndex(ParamID id, int tabIndex) const {
  int index = desc_ ? desc_->IDtoIndex(id) : -1;
  if (index < 0) return -1;
  const Param& p = params_[static_cast<size_t>(index)];
  if (p.refBase < 0 || tabIndex < 0 || tabIndex >= static_cast<int>(p.entries.size())) return -1;
  return p.refBase + tabIndex;
}

int IParamBlock2::NumSubs() {
  int n = 0;
  for (size_t i = 0; i < params_.size(); ++i) {
    if (Def(static_cast<int>(i)).flags & P_ANIMATABLE)
      n += static_cast<int>(params_[i].entries.size());
  }
  return n;
}

Animatable* IParamBlock2::SubAnim(int i) {
  for (size_t k = 0; k < params_.size() && i >= 0; ++k) {
    if (!(Def(static_cast<int>(k)).flags & P_ANIMATABLE)) continue;
    int n = static_cast<int>(params_[k].entries.size());
    if (i < n) return params_[k].entries[static_cast<size_t>(i)].ctrl;
    i -= n;
  }
  return nullptr;
}

CStr IParamBlock2::SubAnimName(int i) {
  for (size_t k = 0; k < params_.size() && i >= 0; ++k) {
    const ParamDef& def = Def(static_cast<int>(k));
    if (!(def.flags & P_ANIMATABLE)) continue;
    int n = static_cast<int>(params_[k].entries.size());
    if (i < n) {
      if (!IsTabType(def.type)) return CStr(def.internalName);
      return CStr(def.internalName + "[" + std::to_string(i) + "]");
    }
    i -= n;
  }
  return CStr();
}

RefResult IParamBlock2::NotifyRefChanged(const Interval& /*changeInt*/, ReferenceTarget* target,
                                         PartID& /*partID*/, RefMessage /*message*/) {
  for (size_t i = 0; i < params_.size(); ++i) {
    const auto& entries = params_[i].entries;
    for (size_t k = 0; k < entries.size(); ++k) {
      if (entries[k].ref == target) {
        lastNotifyID_ = Def(static_cast<int>(i)).id;
        lastNotifyTab_ = static_cast<int>(k);
        return REF_SUCCEED;
      }
    }
  }
  return REF_SUCCEED;
}

void IParamBlock2::RefAdded(ReferenceMaker* maker) {
  if (maker == owner_) {
    ownerAttached_ = true;
    return;
  }
  ClassDesc2* cd = desc_ ? desc_->GetClassDesc() : nullptr;
  if (owner_ || !cd) return;
  if (maker->ClassID() == cd->ClassID() && maker->SuperClassID() == cd->SuperClassID()) {
    owner_ = maker;
    ownerAttached_ = true;
  }
}

void IParamBlock2::RefDeleted() {
  if (!owner_ || !ownerAttached_) return;
  const auto& deps = Dependents();
  if (std::find(deps.begin(), deps.end(), owner_) == deps.end()) {
    owner_ = nullptr;
    ownerAttached_ = false;
  }
}

Class_ID IParamBlock2::ClassID() {
  return PARAMBLOCK2_CLASS_ID;
}
SClass_ID IParamBlock2::SuperClassID() {
  return PARAMETER_BLOCK2_CLASS_ID;
}
void IParamBlock2::GetClassName(CStr& s) {
  s = "ParamBlock2";
}

// --- ClassDesc2 operations that need parameter blocks ------------------------
// (class_desc.cpp holds the rest of ClassDesc2.)

ParamBlockDesc2* ClassDesc2::GetParamBlockDescByID(int id) const {
  for (ParamBlockDesc2* d : pbDescs_) {
    if (d->ID() == id) return d;
  }
  return nullptr;
}

ParamBlockDesc2* ClassDesc2::GetParamBlockDescByName(std::string_view internalName) const {
  for (ParamBlockDesc2* d : pbDescs_) {
    if (d->InternalName() == internalName) return d;
  }
  return nullptr;
}

void ClassDesc2::MakeAutoParamBlocks(ReferenceMaker* owner) {
  for (ParamBlockDesc2* d : pbDescs_) {
    if (!(d->Flags() & P_AUTO_CONSTRUCT)) continue;
    IParamBlock2* pb = CreateParameterBlock2(d, owner);
    RefResult r = owner->ReplaceReference(d->OwnerRef(), pb);
    TARNIS_CHECK(r != REF_FAIL) << "block '" << d->InternalName()
                                << "': the owner has no reference slot " << d->OwnerRef();
  }
}
