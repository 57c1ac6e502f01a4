// The object model: Animatable, ReferenceMaker and ReferenceTarget.
//
// A maker holds targets in numbered reference slots; the slots live in the
// subclass (NumRefs / GetReference / SetReference), while this base keeps the
// bookkeeping: every target knows its dependents (the makers that reference
// it, once per slot), and a target whose last reference goes away is deleted.
// Change messages flow from a target to its dependents (NotifyDependents) and
// on to theirs, once per target per broadcast, so cycles terminate.
//
// Lifetime rules callers rely on:
//  - ReplaceReference releases the old target; a target with no dependents
//    left is deleted at the end of the outermost reference operation, never
//    while anything still references it (an undo record holding it counts).
//  - A new target nobody has referenced yet is not deleted automatically;
//    reference it (ReferenceHolder) or call MaybeAutoDelete.
//  - Deleting a target explicitly (DeleteMe) first tells its dependents
//    (REFMSG_TARGET_DELETED) and clears every slot that points at it.
//  - A maker's destructor releases whatever it still references, so a maker
//    that is a plain C++ member or a stack object cleans up after itself.
//  - Objects kept alive only by a cycle stay alive until the cycle is broken.
//
// Everything here runs on one thread (the host's interface thread).
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "sdk/class_id.h"
#include "sdk/cstr.h"
#include "sdk/interval.h"

class ReferenceTarget;
class ReferenceMaker;
class RemapDir;
class ISave;
class ILoad;

using RefTargetHandle = ReferenceTarget*;
using RefMakerHandle = ReferenceMaker*;

enum RefResult : int {
  REF_FAIL = 0,
  REF_SUCCEED = 1,
  REF_DONTCARE = 2,
  REF_STOP = 3,  // do not pass the message on to this maker's dependents
};

enum IOResult : int {
  IO_OK = 0,
  IO_END = 1,
  IO_ERROR = 2,
};

// Which part of a target changed.
using PartID = uint32_t;
inline constexpr PartID PART_TOPO = 1u << 0;
inline constexpr PartID PART_GEOM = 1u << 1;
inline constexpr PartID PART_TEXMAP = 1u << 2;
inline constexpr PartID PART_MTL = 1u << 3;
inline constexpr PartID PART_DISPLAY = 1u << 5;
inline constexpr PartID PART_OBJ = PART_TOPO | PART_GEOM | PART_TEXMAP | PART_DISPLAY;
inline constexpr PartID PART_ALL = 0xFFFFFFFFu;

// What happened to a target.
using RefMessage = uint32_t;
inline constexpr RefMessage REFMSG_TARGET_DELETED = 0x00000010;  // the target is being deleted
inline constexpr RefMessage REFMSG_MODAPP_DELETING = 0x00000020;
inline constexpr RefMessage REFMSG_CHANGE = 0x000000F0;  // the target's value changed
inline constexpr RefMessage REFMSG_NODE_NAMECHANGE = 0x00000110;
inline constexpr RefMessage REFMSG_SUBANIM_STRUCTURE_CHANGED = 0x00000260;
inline constexpr RefMessage REFMSG_REF_DELETED = 0x00000270;  // a maker dropped its reference
inline constexpr RefMessage REFMSG_REF_ADDED = 0x00000280;    // a maker took a reference
inline constexpr RefMessage REFMSG_USER = 0x00010000;         // first number for plug-in messages

class Animatable {
 public:
  Animatable() = default;
  Animatable(const Animatable&) = delete;
  Animatable& operator=(const Animatable&) = delete;
  virtual ~Animatable() = default;

  virtual Class_ID ClassID() { return Class_ID(); }
  virtual SClass_ID SuperClassID() { return 0; }
  virtual void GetClassName(CStr& s) { s = ""; }

  // Sub-animatables: the children shown in a track view, by index.
  virtual int NumSubs() { return 0; }
  virtual Animatable* SubAnim(int /*i*/) { return nullptr; }
  virtual CStr SubAnimName(int /*i*/) { return ""; }

  // Frees the object. The reference system calls this; code outside it calls
  // ReferenceTarget::DeleteMe or drops the last reference instead.
  virtual void DeleteThis() { delete this; }
};

// A reference slot that scene descriptions may address by name: slot `index`
// is `name` within `group` (a line set's "visible" group holds "base",
// "outline", ...).
struct NamedReference {
  std::string group;
  std::string name;
  int index = -1;
};

class ReferenceMaker : public Animatable {
 public:
  ReferenceMaker() = default;
  // Releases every target this maker still references.
  ~ReferenceMaker() override;

  SClass_ID SuperClassID() override { return REF_MAKER_CLASS_ID; }

  // The reference slots, implemented by the subclass over its own members.
  virtual int NumRefs() { return 0; }
  virtual ReferenceTarget* GetReference(int /*i*/) { return nullptr; }
  // The slots that have names for scene descriptions, grouped; none by default.
  virtual std::vector<NamedReference> NamedReferences() { return {}; }

  // Points slot `which` at `target` (which may be null), registers this maker
  // as a dependent of the new target and releases the old one. While theHold
  // is holding, an undo record is put that keeps the old target alive and
  // puts it back on undo. Fails (REF_FAIL, nothing changed) for a slot
  // outside 0..NumRefs()-1. Loops are allowed.
  RefResult ReplaceReference(int which, ReferenceTarget* target);
  // ReplaceReference for a target chosen by user input (scene descriptions):
  // when the slot does not take it (SetReference stores something else, as a
  // typed slot does for another class), the slot is put back, nothing else
  // changes and the answer is REF_FAIL, where ReplaceReference would stop.
  RefResult TryReplaceReference(int which, ReferenceTarget* target);
  // ReplaceReference(i, nullptr).
  RefResult DeleteReference(int which);
  // Drops every reference of this maker.
  RefResult DeleteAllRefs();
  // The first slot that references t, or -1.
  int FindRef(ReferenceTarget* t);

  // Called when a referenced target changes or is deleted. `partID` may be
  // changed to tell the maker's own dependents what changed. Answer REF_STOP
  // to keep the message from going further.
  virtual RefResult NotifyRefChanged(const Interval& /*changeInt*/, ReferenceTarget* /*target*/,
                                     PartID& /*partID*/, RefMessage /*message*/) {
    return REF_SUCCEED;
  }

  // Own data (not the references: those are saved by the reference graph
  // writer). Default: nothing.
  virtual IOResult Save(ISave* /*isave*/) { return IO_OK; }
  virtual IOResult Load(ILoad* /*iload*/) { return IO_OK; }

  // The targets this maker references, once per referencing slot.
  const std::vector<ReferenceTarget*>& HeldTargets() const { return held_; }

 protected:
  // Stores `target` in slot i. Called only by the reference system; never
  // call it yourself (the dependents of the target would not know).
  virtual void SetReference(int /*i*/, ReferenceTarget* /*target*/) {}

 private:
  friend class ReferenceTarget;
  friend class ReferenceSystem;

  // One entry per referencing slot, so a target referenced twice is listed twice.
  std::vector<ReferenceTarget*> held_;
};

class ReferenceTarget : public ReferenceMaker {
 public:
  ReferenceTarget() = default;
  // Detaches from any remaining dependents (their slots are cleared).
  ~ReferenceTarget() override;

  SClass_ID SuperClassID() override { return REF_TARGET_CLASS_ID; }

  // Tells every dependent what changed; dependents that are targets pass it
  // on to theirs unless they answer REF_STOP. Each target hears one broadcast
  // once, however many paths lead to it.
  RefResult NotifyDependents(const Interval& changeInt, PartID partID, RefMessage message,
                             bool propagate = true);

  // The makers that reference this target, once per referencing slot.
  const std::vector<ReferenceMaker*>& Dependents() const { return dependents_; }
  int NumDependents() const { return static_cast<int>(dependents_.size()); }
  // True when `maker` depends on this target directly or through others.
  bool HasDependent(ReferenceMaker* maker);

  // Called after a maker took a reference to this target / dropped one.
  virtual void RefAdded(ReferenceMaker* /*maker*/) {}
  virtual void RefDeleted() {}

  // Deletes the target now: dependents get REFMSG_TARGET_DELETED and lose
  // their references, then the target drops its own and is freed.
  void DeleteMe();
  // Deletes the target if nothing references it.
  void MaybeAutoDelete();

  // A copy of this object; references are copied through `remap` so that a
  // target reached twice in the cloned graph is cloned once. Implementations
  // create the copy, call BaseClone first, then clone their references with
  // remap.CloneRef. Answers null for classes that cannot be cloned.
  virtual ReferenceTarget* Clone(RemapDir& /*remap*/) { return nullptr; }
  // Records the mapping from this object to its copy in `remap`.
  virtual void BaseClone(ReferenceTarget* from, ReferenceTarget* to, RemapDir& remap);

 private:
  friend class ReferenceMaker;
  friend class ReferenceSystem;

  std::vector<ReferenceMaker*> dependents_;
  uint64_t lastBroadcast_ = 0;  // id of the last NotifyDependents that reached this target
  bool deleting_ = false;
};

// A maker whose last references form a list that grows (the items of an
// ordered collection) lets generic code, such as a scene-file reader, add
// an item at the end: the new item becomes reference NumRefs().
class GrowingReferences {
 public:
  virtual ~GrowingReferences() = default;
  // Appends `target` as the new last reference; false when it is refused
  // (for instance, an object of the wrong class).
  virtual bool AppendReference(ReferenceTarget* target) = 0;
};

// Maps originals to their copies during one clone of a graph.
class RemapDir {
 public:
  virtual ~RemapDir() = default;
  // The copy of `original`: the one made earlier in this clone, else a new
  // clone (recorded). Null stays null.
  virtual ReferenceTarget* CloneRef(ReferenceTarget* original) = 0;
  // The copy made of `original` so far, or null.
  virtual ReferenceTarget* FindMapping(ReferenceTarget* original) = 0;
  virtual void AddEntry(ReferenceTarget* original, ReferenceTarget* copy) = 0;
};

class DefaultRemapDir : public RemapDir {
 public:
  ReferenceTarget* CloneRef(ReferenceTarget* original) override;
  ReferenceTarget* FindMapping(ReferenceTarget* original) override;
  void AddEntry(ReferenceTarget* original, ReferenceTarget* copy) override;

 private:
  std::unordered_map<ReferenceTarget*, ReferenceTarget*> map_;
};

// Clones `root` and everything it references, sharing kept.
ReferenceTarget* CloneRefHierarchy(ReferenceTarget* root);

// A maker with one slot that keeps its target alive: the owner of root
// objects, and what undo records use to keep released targets around.
class ReferenceHolder : public ReferenceMaker {
 public:
  ReferenceHolder() = default;
  explicit ReferenceHolder(ReferenceTarget* target) { Set(target); }
  ~ReferenceHolder() override = default;

  ReferenceTarget* Get() const { return target_; }
  template <class T>
  T* GetAs() const {
    return dynamic_cast<T*>(target_);
  }
  // References `target` (releasing the previous one) without undo records.
  void Set(ReferenceTarget* target);
  void Release() { Set(nullptr); }

  int NumRefs() override { return 1; }
  ReferenceTarget* GetReference(int i) override { return i == 0 ? target_ : nullptr; }

 protected:
  void SetReference(int i, ReferenceTarget* target) override {
    if (i == 0) target_ = target;
  }

 private:
  ReferenceTarget* target_ = nullptr;
};
