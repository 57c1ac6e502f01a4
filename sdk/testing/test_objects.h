// TestTarget: a small ReferenceTarget for unit tests of anything built on the
// object model. It has a fixed number of reference slots and an int value,
// counts the instances alive (so tests see exactly when objects are freed),
// records every message it hears and clones itself through RemapDir.
#pragma once

#include <vector>

#include "sdk/reference.h"

class TestTarget : public ReferenceTarget {
 public:
  struct Heard {
    ReferenceTarget* from;
    PartID partID;
    RefMessage message;
  };

  explicit TestTarget(int numRefs = 0, int initialValue = 0)
      : value(initialValue), refs_(static_cast<size_t>(numRefs), nullptr) {
    ++alive_;
  }
  ~TestTarget() override { --alive_; }

  // Instances of TestTarget currently alive.
  static int Alive() { return alive_; }

  static constexpr Class_ID kClassID{0x7E57AB1E, 0x0B1EC7};
  Class_ID ClassID() override { return kClassID; }

  int NumRefs() override { return static_cast<int>(refs_.size()); }
  ReferenceTarget* GetReference(int i) override {
    return i >= 0 && i < NumRefs() ? refs_[static_cast<size_t>(i)] : nullptr;
  }
  // The slot i as a TestTarget (null when empty).
  TestTarget* Ref(int i) { return dynamic_cast<TestTarget*>(GetReference(i)); }

  // Records the message, answers `answer` and, when `partOut` is set, tells
  // the dependents that part instead of the one it heard.
  RefResult NotifyRefChanged(const Interval& /*changeInt*/, ReferenceTarget* target, PartID& partID,
                             RefMessage message) override {
    heard.push_back({target, partID, message});
    if (partOut != 0) partID = partOut;
    return answer;
  }

  // A copy with the same value and slot count; references go through remap.
  ReferenceTarget* Clone(RemapDir& remap) override {
    auto* copy = new TestTarget(NumRefs(), value);
    BaseClone(this, copy, remap);
    for (int i = 0; i < NumRefs(); ++i) copy->ReplaceReference(i, remap.CloneRef(GetReference(i)));
    return copy;
  }

  // Messages heard carrying `message`.
  int CountHeard(RefMessage message) const {
    int n = 0;
    for (const Heard& h : heard) n += h.message == message ? 1 : 0;
    return n;
  }

  int value = 0;
  std::vector<Heard> heard;
  RefResult answer = REF_SUCCEED;
  PartID partOut = 0;

 protected:
  void SetReference(int i, ReferenceTarget* target) override {
    if (i >= 0 && i < NumRefs()) refs_[static_cast<size_t>(i)] = target;
  }

 private:
  std::vector<ReferenceTarget*> refs_;
  static inline int alive_ = 0;
};
