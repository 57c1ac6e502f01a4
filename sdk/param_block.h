// IParamBlock2: the values of one parameter block of an object, typed and
// addressed by ParamID as its ParamBlockDesc2 declares them. Plain values are
// held in the block; controllers of animated parameters and reference-typed
// values are the block's own reference slots (one per parameter and table
// entry, laid out in declaration order); P_OWNERS_REF parameters live in the
// owner's slots. Every change notifies the block's dependents
// (REFMSG_CHANGE, LastNotifyParamID tells which parameter) and is recorded
// for undo while theHold is holding. Reads (GetValue and the Get*
// helpers) change nothing, so render threads may read concurrently while
// nothing sets.
//
// Including this header gives the whole parameter-block API (descriptors,
// ParamDef, PB2Value, the ParamDef builders, controllers).
#pragma once

#include <string>
#include <vector>

#include "sdk/controllers.h"
#include "sdk/param_block_desc.h"
#include "sdk/param_builders.h"
#include "sdk/param_def.h"
#include "sdk/reference.h"

class ClassDesc2;

class IParamBlock2 : public ReferenceTarget {
 public:
  // A block with every parameter at its descriptor default (tables at their
  // default size). `owner` is the object whose reference slot will hold it.
  IParamBlock2(ParamBlockDesc2* desc, ReferenceMaker* owner);
  // An empty block without a descriptor, to be filled by Load.
  IParamBlock2();
  ~IParamBlock2() override;

  ParamBlockDesc2* GetDesc() const { return desc_; }
  // The descriptor's block id (-1 without a descriptor).
  int ID() const;
  // The owner: given at creation, or the first maker of the descriptor's
  // owner class that references the block; cleared when it lets go.
  ReferenceMaker* GetOwner() const { return owner_; }
  void SetOwner(ReferenceMaker* owner);

  int NumParams() const;
  // Type of a parameter; TYPE_FLOAT... for known ids, and a contract failure
  // for unknown ones.
  ParamType2 GetParameterType(ParamID id) const;

  // --- Values -------------------------------------------------------------
  // Reads a parameter at t. `valid` is intersected with FOREVER for a plain
  // value and with the controller's interval for an animated one. Animated
  // values are clamped into the range like set values. Answers false (v
  // unchanged) for an unknown id, a tab index out of range or a value that
  // does not convert (ints and bools read as float, colours as Point3 and the
  // other way round; nothing else converts).
  bool GetValue(ParamID id, TimeValue t, float& v, Interval& valid, int tabIndex = 0);
  bool GetValue(ParamID id, TimeValue t, int& v, Interval& valid, int tabIndex = 0);
  bool GetValue(ParamID id, TimeValue t, Point3& v, Interval& valid, int tabIndex = 0);
  bool GetValue(ParamID id, TimeValue t, Color& v, Interval& valid, int tabIndex = 0);
  bool GetValue(ParamID id, TimeValue t, std::string& v, Interval& valid, int tabIndex = 0);
  bool GetValue(ParamID id, TimeValue t, ReferenceTarget*& v, Interval& valid, int tabIndex = 0);
  // The value as held (float, int, Color, Point3, string or reference target).
  bool GetValue(ParamID id, TimeValue t, PB2Value& v, Interval& valid, int tabIndex = 0);

  // Convenience reads; an unknown id, tab index or type is a broken contract.
  float GetFloat(ParamID id, TimeValue t = 0, int tabIndex = 0);
  int GetInt(ParamID id, TimeValue t = 0, int tabIndex = 0);
  Color GetColor(ParamID id, TimeValue t = 0, int tabIndex = 0);
  Point3 GetPoint3(ParamID id, TimeValue t = 0, int tabIndex = 0);
  std::string GetStr(ParamID id, TimeValue t = 0, int tabIndex = 0);
  ReferenceTarget* GetReferenceTarget(ParamID id, TimeValue t = 0, int tabIndex = 0);
  // The reference value as T (null when empty or of another class).
  template <class T>
  T* GetRefAs(ParamID id, TimeValue t = 0, int tabIndex = 0) {
    return dynamic_cast<T*>(GetReferenceTarget(id, t, tabIndex));
  }

  // Sets a parameter. The value is converted like a read (an int sets a
  // float; a bool sets an int parameter to 0 / 1), clamped into the range and
  // passed to the accessor. On an animated parameter it sets a key at t on
  // the controller. Answers false (nothing changes) for an unknown id, a
  // value of the wrong type, a tab index out of range, or a P_OWNERS_REF
  // parameter of a block without an owner.
  bool SetValue(ParamID id, TimeValue t, float v, int tabIndex = 0);
  bool SetValue(ParamID id, TimeValue t, double v, int tabIndex = 0);
  bool SetValue(ParamID id, TimeValue t, int v, int tabIndex = 0);
  bool SetValue(ParamID id, TimeValue t, const Point3& v, int tabIndex = 0);
  bool SetValue(ParamID id, TimeValue t, const Color& v, int tabIndex = 0);
  bool SetValue(ParamID id, TimeValue t, const std::string& v, int tabIndex = 0);
  bool SetValue(ParamID id, TimeValue t, const char* v, int tabIndex = 0);
  bool SetValue(ParamID id, TimeValue t, ReferenceTarget* v, int tabIndex = 0);
  bool SetValue(ParamID id, TimeValue t, std::nullptr_t, int tabIndex = 0);
  bool SetValue(ParamID id, TimeValue t, const PB2Value& v, int tabIndex = 0);

  // --- Tables -------------------------------------------------------------
  // Entries of a table parameter (1 for other parameters, 0 for unknown ids).
  int Count(ParamID id) const;
  // Grows (with default values) or shrinks a table; false for an unknown id,
  // a parameter that is not a table, or n < 0.
  bool SetCount(ParamID id, int n);
  // Adds a value at the end / before `index` (0..Count). False for a value of
  // the wrong type or an index out of range.
  bool Append(ParamID id, const PB2Value& v);
  bool Insert(ParamID id, int index, const PB2Value& v);
  // Removes n entries from `start`; false when they are not all there.
  bool Delete(ParamID id, int start, int n);

  // --- Animation ----------------------------------------------------------
  // The controller of an animated parameter entry, or null.
  Control* GetController(ParamID id, int tabIndex = 0);
  // Animates a P_ANIMATABLE entry with `c` (float controller for float-like,
  // int and bool parameters, Point3 controller for colours and Point3s).
  // Null removes the controller like RemoveController at time 0. False for
  // another parameter or a controller of the wrong kind.
  bool SetController(ParamID id, int tabIndex, Control* c);
  // The entry's controller, made if there is none yet: a KeyframeControl
  // with `interp` (always step for ints and bools; Point3 values cannot
  // step) that answers the current value until it gets keys. Null when the
  // parameter cannot be animated.
  Control* MakeAnimated(ParamID id, KeyInterp interp = KeyInterp::kBezier, int tabIndex = 0);
  // Drops the controller; the plain value becomes the controller's value at
  // t. False for an unknown or non-animatable parameter.
  bool RemoveController(ParamID id, int tabIndex = 0, TimeValue t = 0);
  bool IsAnimated(ParamID id, int tabIndex = 0);
  // Copies parameter srcId of `src` into parameter id (same tab index in
  // both): an animated source gives this entry a clone of its controller; a
  // plain one removes this entry's controller and copies the value (through
  // range and accessor). False when either entry is missing or the types do
  // not convert.
  bool Assign(ParamID id, IParamBlock2* src, ParamID srcId, int tabIndex = 0);

  // The parameter (and table entry) whose change was notified last, -1 / -1
  // before any.
  ParamID LastNotifyParamID() const { return lastNotifyID_; }
  int LastNotifyTabIndex() const { return lastNotifyTab_; }
  // Intersection of the validity of every animated value at t.
  Interval GetValidity(TimeValue t);

  // --- Object model -------------------------------------------------------
  Class_ID ClassID() override;
  SClass_ID SuperClassID() override;
  void GetClassName(CStr& s) override;
  int NumRefs() override { return numRefs_; }
  ReferenceTarget* GetReference(int i) override;
  // The reference slot of a parameter entry, or -1 when it has none.
  int GetRefIndex(ParamID id, int tabIndex = 0) const;
  // Animatable parameter entries, in declaration order; SubAnim is the
  // controller (null while not animated).
  int NumSubs() override;
  Animatable* SubAnim(int i) override;
  CStr SubAnimName(int i) override;
  RefResult NotifyRefChanged(const Interval& changeInt, ReferenceTarget* target, PartID& partID,
                             RefMessage message) override;
  void RefAdded(ReferenceMaker* maker) override;
  void RefDeleted() override;
  ReferenceTarget* Clone(RemapDir& remap) override;
  // Saves the owner class, block id and every plain value and table size;
  // the graph writer saves the reference slots.
  IOResult Save(ISave* isave) override;
  // Finds the descriptor through the class directory (for a block made by
  // the class descriptor) and reads the values back. Parameters are matched
  // by id: unknown ids are skipped, a changed type is skipped with a
  // warning, missing ones keep their defaults. Damaged data gives IO_ERROR.
  // When the owner class is not loaded, the block stays without descriptor
  // and keeps its data unread (TakeUnreadData), with a warning.
  IOResult Load(ILoad* iload) override;
  // The saved data of a block whose owner class was unknown at load, for the
  // graph reader to keep as it stands; empty otherwise.
  std::vector<uint8_t> TakeUnreadData();

 protected:
  void SetReference(int i, ReferenceTarget* target) override;

 private:
  friend class ParamValueRestore;
  friend class ParamTableRestore;

  struct Entry {
    PB2Value value;                  // plain value (empty for reference-typed parameters)
    ReferenceTarget* ref = nullptr;  // controller or reference value (the slot's target)
    Control* ctrl = nullptr;         // ref as a controller of the right kind, else null
  };
  struct Param {
    std::vector<Entry> entries;
    int refBase = -1;  // first reference slot, -1 when the parameter has none
  };

  void InitDefaults();
  void LayoutRefs();
  bool HasRefSlots(const ParamDef& def) const;
  // Parameter index of id and the entry, or null for an unknown id / tab index.
  Entry* FindEntry(ParamID id, int tabIndex, int& index);
  const ParamDef& Def(int index) const { return desc_->GetParamDefByIndex(index); }
  PB2Value ControllerValue(const ParamDef& def, Control* c, TimeValue t, Interval& valid);
  bool PrepareValue(const ParamDef& def, int tabIndex, TimeValue t, PB2Value& v);
  void StorePlain(int index, int tabIndex, PB2Value v);
  bool SetControllerEntry(int index, int tabIndex, Control* c);
  void InsertEntries(int index, int at, const std::vector<PB2Value>& values);
  void RemoveEntries(int index, int start, int n);
  void Notify(ParamID id, int tabIndex);
  bool SlotToEntry(int slot, int& index, int& tabIndex) const;
  IOResult LoadChunks(ILoad* iload);
  IOResult LoadHeader(ILoad* iload);
  IOResult LoadParam(ILoad* iload);

  ParamBlockDesc2* desc_ = nullptr;
  ReferenceMaker* owner_ = nullptr;
  bool ownerAttached_ = false;  // the owner references the block (seen in RefAdded)
  std::vector<Param> params_;
  int numRefs_ = 0;
  ParamID lastNotifyID_ = -1;
  int lastNotifyTab_ = -1;
  std::vector<uint8_t> unreadData_;
};

// A new block of `desc` with default values, for `owner`; the owner puts it
// in its reference slot desc->OwnerRef().
IParamBlock2* CreateParameterBlock2(ParamBlockDesc2* desc, ReferenceMaker* owner);

// The class descriptor of parameter blocks (creates empty blocks for
// loading), for the class directory.
ClassDesc2* GetParamBlock2Desc();
