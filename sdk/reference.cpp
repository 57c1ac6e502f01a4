// The reference system behind ReferenceMaker and ReferenceTarget: dependent
// bookkeeping, ReplaceReference with its undo record, deferred deletion of
// targets that lost their last reference, change broadcasts, and cloning of
// reference graphs.
#include "sdk/reference.h"

#include <algorithm>
#include <memory>
#include <unordered_set>

#include "sdk/check.h"
#include "sdk/hold.h"

// The bookkeeping shared by makers and targets (a friend of both).
//
// Every public operation that may release a target runs inside an Operation.
// Targets that lose their last dependent, and targets whose DeleteMe has run,
// wait in a queue until the outermost Operation ends; only then are they
// re-checked and freed. So an object is never freed while one of its own
// functions is still running, and chains and cycles unwind one step at a time
// instead of recursively.
class ReferenceSystem {
 public:
  class Operation {
   public:
    Operation() { ++state().depth; }
    ~Operation() {
      if (state().depth == 1) freePending();
      --state().depth;
    }
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;
  };

  // `tolerant`: a slot that does not take the target is put back (REF_FAIL)
  // instead of failing the contract check.
  static RefResult replace(ReferenceMaker* maker, int which, ReferenceTarget* target, bool record,
                           bool tolerant = false);
  // Drops one dependent entry of `maker` on `target` (the slot is already cleared).
  static void release(ReferenceMaker* maker, ReferenceTarget* target);
  // Clears every slot of every maker that points at `target`.
  static void detachDependents(ReferenceTarget* target);
  // Releases what `maker` holds by bookkeeping alone: safe in ~ReferenceMaker.
  static void releaseHeld(ReferenceMaker* maker);
  static void queue(ReferenceTarget* target) {
    if (state().queued.insert(target).second) state().pending.push_back(target);
  }
  // A target being destroyed leaves the queue.
  static void forget(ReferenceTarget* target) { state().queued.erase(target); }

  static uint64_t nextBroadcastId() { return ++state().lastBroadcast; }
  static void broadcast(ReferenceTarget* from, uint64_t id, const Interval& changeInt,
                        PartID partID, RefMessage message, bool propagate);

  // Undo records point at their maker; a maker's destructor clears those
  // pointers so undoing after the maker is gone does nothing instead of
  // touching freed memory.
  static void watch(ReferenceMaker* maker, ReferenceMaker** pointer) {
    state().watchers.emplace(maker, pointer);
  }
  static void unwatch(ReferenceMaker* maker, ReferenceMaker** pointer);
  static void forgetMaker(ReferenceMaker* maker);

 private:
  struct State {
    int depth = 0;
    std::vector<ReferenceTarget*> pending;        // in queueing order
    std::unordered_set<ReferenceTarget*> queued;  // pending, alive and not yet handled
    std::unordered_multimap<ReferenceMaker*, ReferenceMaker**> watchers;
    uint64_t lastBroadcast = 0;
    uint64_t releases = 0;  // dependent entries removed so far
  };

  // Allocated once and never freed, so it outlives every static object whose
  // destructor still releases references (theHold's records among them).
  static State& state() {
    static State* s = new State;
    return *s;
  }

  static void freePending();
};

namespace {

// Undo record of one ReplaceReference. It keeps both targets alive, so undo
// and redo can always put them back.
class ReferenceRestore : public RestoreObj {
 public:
  ReferenceRestore(ReferenceMaker* maker, int which, ReferenceTarget* before,
                   ReferenceTarget* after)
      : maker_(maker), which_(which), before_(before), after_(after) {
    ReferenceSystem::watch(maker_, &maker_);
  }
  ~ReferenceRestore() override {
    if (maker_) ReferenceSystem::unwatch(maker_, &maker_);
  }

  void Restore(int /*isUndo*/) override { put(before_.Get()); }
  void Redo() override { put(after_.Get()); }
  CStr Description() override { return "ReplaceReference"; }

 private:
  void put(ReferenceTarget* target) {
    if (!maker_) return;
    HoldSuspend suspend;
    ReferenceSystem::replace(maker_, which_, target, false);
  }

  ReferenceMaker* maker_;
  int which_;
  ReferenceHolder before_;
  ReferenceHolder after_;
};

}  // namespace

RefResult ReferenceSystem::replace(ReferenceMaker* maker, int which, ReferenceTarget* target,
                                   bool record, bool tolerant) {
  if (which < 0 || which >= maker->NumRefs()) return REF_FAIL;
  ReferenceTarget* old = maker->GetReference(which);
  if (old == target) return REF_SUCCEED;
  // A target in the middle of DeleteMe is about to be freed: nothing may hold it.
  if (target && target->deleting_) return REF_FAIL;
  Operation op;
  maker->SetReference(which, target);
  if (tolerant && maker->GetReference(which) != target) {
    maker->SetReference(which, old);
    return REF_FAIL;
  }
  TARNIS_CHECK(maker->GetReference(which) == target)
      << "SetReference did not store reference " << which;
  if (record && !(old && old->deleting_)) {
    theHold.Put(std::make_unique<ReferenceRestore>(maker, which, old, target));
  }
  if (target) {
    target->dependents_.push_back(maker);
    maker->held_.push_back(target);
    target->RefAdded(maker);
  }
  if (old) release(maker, old);
  return REF_SUCCEED;
}

void ReferenceSystem::release(ReferenceMaker* maker, ReferenceTarget* target) {
  // From the back: a maker holding one target in many slots (a list naming
  // one node thousands of times) releases them in constant time each.
  auto dep = std::find(target->dependents_.rbegin(), target->dependents_.rend(), maker);
  auto held = std::find(maker->held_.rbegin(), maker->held_.rend(), target);
  TARNIS_CHECK(dep != target->dependents_.rend() && held != maker->held_.rend())
      << "released a reference the reference system did not record";
  target->dependents_.erase(std::next(dep).base());
  maker->held_.erase(std::next(held).base());
  ++state().releases;
  target->RefDeleted();
  if (target->dependents_.empty() && !target->deleting_) queue(target);
}

void ReferenceSystem::detachDependents(ReferenceTarget* target) {
  while (!target->dependents_.empty()) {
    ReferenceMaker* maker = target->dependents_.back();
    // In ~ReferenceTarget a self-reference calls the base NumRefs (0): the
    // subclass's slots are gone already, only the bookkeeping is left to undo.
    for (int i = 0; i < maker->NumRefs(); ++i) {
      if (maker->GetReference(i) == target) maker->SetReference(i, nullptr);
    }
    std::erase(target->dependents_, maker);
    std::erase(maker->held_, target);
    ++state().releases;
  }
}

void ReferenceSystem::releaseHeld(ReferenceMaker* maker) {
  while (!maker->held_.empty()) release(maker, maker->held_.back());
}

void ReferenceSystem::freePending() {
  // Index loop: handling one entry may queue more at the end.
  for (size_t k = 0; k < state().pending.size(); ++k) {
    ReferenceTarget* target = state().pending[k];
    // Not in the set: handled already, or destroyed some other way meanwhile.
    if (state().queued.erase(target) == 0) continue;
    if (target->deleting_) {
      target->DeleteThis();
    } else if (target->dependents_.empty()) {
      target->DeleteMe();  // queues the target again for its DeleteThis
    }
  }
  state().pending.clear();
}

void ReferenceSystem::broadcast(ReferenceTarget* from, uint64_t id, const Interval& changeInt,
                                PartID partID, RefMessage message, bool propagate) {
  // A copy: handlers may add or drop references while we walk. A maker that
  // stopped depending on `from` meanwhile is skipped; the set of current
  // dependents is rebuilt only after a reference was dropped somewhere, so a
  // broadcast to many dependents stays linear.
  const std::vector<ReferenceMaker*> makers = from->dependents_;
  const uint64_t releasesAtStart = state().releases;
  uint64_t releasesSeen = releasesAtStart;
  std::unordered_set<ReferenceMaker*> current;
  std::unordered_set<ReferenceMaker*> called;
  for (ReferenceMaker* maker : makers) {
    if (!called.insert(maker).second) continue;  // the same maker through another slot
    if (state().releases != releasesAtStart) {
      if (state().releases != releasesSeen) {
        current = {from->dependents_.begin(), from->dependents_.end()};
        releasesSeen = state().releases;
      }
      if (!current.contains(maker)) continue;
    }
    auto* next = dynamic_cast<ReferenceTarget*>(maker);
    if (next) {
      if (next->lastBroadcast_ == id) continue;
      next->lastBroadcast_ = id;
    }
    PartID part = partID;
    const RefResult answer = maker->NotifyRefChanged(changeInt, from, part, message);
    if (next && propagate && answer != REF_STOP && !next->deleting_) {
      broadcast(next, id, changeInt, part, message, true);
    }
  }
}

void ReferenceSystem::unwatch(ReferenceMaker* maker, ReferenceMaker** pointer) {
  auto [first, last] = state().watchers.equal_range(maker);
  for (auto it = first; it != last; ++it) {
    if (it->second == pointer) {
      state().watchers.erase(it);
      return;
    }
  }
}

void ReferenceSystem::forgetMaker(ReferenceMaker* maker) {
  auto [first, last] = state().watchers.equal_range(maker);
  for (auto it = first; it != last; ++it) *it->second = nullptr;
  state().watchers.erase(first, last);
}

// ---------------------------------------------------------------------------
// ReferenceMaker

ReferenceMaker::~ReferenceMaker() {
  ReferenceSystem::Operation op;
  ReferenceSystem::forgetMaker(this);
  ReferenceSystem::releaseHeld(this);
}

RefResult ReferenceMaker::ReplaceReference(int which, ReferenceTarget* target) {
  return ReferenceSystem::replace(this, which, target, theHold.Holding());
}

RefResult ReferenceMaker::TryReplaceReference(int which, ReferenceTarget* target) {
  return ReferenceSystem::replace(this, which, target, theHold.Holding(), /*tolerant=*/true);
}

RefResult ReferenceMaker::DeleteReference(int which) {
  return ReplaceReference(which, nullptr);
}

RefResult ReferenceMaker::DeleteAllRefs() {
  ReferenceSystem::Operation op;
  // Last slot first: the reference system finds a released reference from
  // the back of its lists, so a maker of many slots (a list naming thousands
  // of nodes) lets go of them in linear time.
  for (int i = NumRefs() - 1; i >= 0; --i) {
    if (i < NumRefs() && GetReference(i)) ReplaceReference(i, nullptr);
  }
  return REF_SUCCEED;
}

int ReferenceMaker::FindRef(ReferenceTarget* t) {
  for (int i = 0; i < NumRefs(); ++i) {
    if (GetReference(i) == t) return i;
  }
  return -1;
}

// ---------------------------------------------------------------------------
// ReferenceTarget

ReferenceTarget::~ReferenceTarget() {
  // Deleted directly rather than through DeleteMe: makers still pointing here
  // lose those slots; nobody is told, since this object is half gone.
  ReferenceSystem::detachDependents(this);
  ReferenceSystem::forget(this);
}

RefResult ReferenceTarget::NotifyDependents(const Interval& changeInt, PartID partID,
                                            RefMessage message, bool propagate) {
  ReferenceSystem::Operation op;
  const uint64_t id = ReferenceSystem::nextBroadcastId();
  lastBroadcast_ = id;
  ReferenceSystem::broadcast(this, id, changeInt, partID, message, propagate);
  return REF_SUCCEED;
}

bool ReferenceTarget::HasDependent(ReferenceMaker* maker) {
  std::vector<ReferenceTarget*> todo{this};
  std::unordered_set<ReferenceTarget*> seen{this};
  while (!todo.empty()) {
    ReferenceTarget* t = todo.back();
    todo.pop_back();
    for (ReferenceMaker* m : t->dependents_) {
      if (m == maker) return true;
      auto* mt = dynamic_cast<ReferenceTarget*>(m);
      if (mt && seen.insert(mt).second) todo.push_back(mt);
    }
  }
  return false;
}

void ReferenceTarget::DeleteMe() {
  if (deleting_) return;
  ReferenceSystem::Operation op;
  deleting_ = true;
  NotifyDependents(FOREVER, PART_ALL, REFMSG_TARGET_DELETED, false);
  ReferenceSystem::detachDependents(this);
  // Not recorded for undo: the maker these records would restore is freed below.
  for (int i = 0; i < NumRefs(); ++i) {
    if (GetReference(i)) ReferenceSystem::replace(this, i, nullptr, false);
  }
  ReferenceSystem::releaseHeld(this);
  // Freed when the outermost operation ends, which is at the end of this
  // function unless DeleteMe was called from inside another operation.
  ReferenceSystem::queue(this);
}

void ReferenceTarget::MaybeAutoDelete() {
  ReferenceSystem::Operation op;
  if (dependents_.empty() && !deleting_) ReferenceSystem::queue(this);
}

void ReferenceTarget::BaseClone(ReferenceTarget* from, ReferenceTarget* to, RemapDir& remap) {
  if (from && to) remap.AddEntry(from, to);
}

// ---------------------------------------------------------------------------
// Cloning and holders

ReferenceTarget* DefaultRemapDir::CloneRef(ReferenceTarget* original) {
  if (!original) return nullptr;
  if (ReferenceTarget* copy = FindMapping(original)) return copy;
  ReferenceTarget* copy = original->Clone(*this);
  if (copy && !FindMapping(original)) AddEntry(original, copy);
  return copy;
}

ReferenceTarget* DefaultRemapDir::FindMapping(ReferenceTarget* original) {
  auto it = map_.find(original);
  return it == map_.end() ? nullptr : it->second;
}

void DefaultRemapDir::AddEntry(ReferenceTarget* original, ReferenceTarget* copy) {
  map_[original] = copy;
}

ReferenceTarget* CloneRefHierarchy(ReferenceTarget* root) {
  DefaultRemapDir remap;
  return remap.CloneRef(root);
}

void ReferenceHolder::Set(ReferenceTarget* target) {
  ReferenceSystem::replace(this, 0, target, false);
}
