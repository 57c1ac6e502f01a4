// Test helper: FakeLineSet, the smallest owner of line-type blocks — type
// block t in reference t, the type's maps in 6 + t and 9 + t, and the 18
// setting slots in references 13..30 — that mirrors type-block changes to
// its base settings the way a line set does.
#pragma once

#include <vector>

#include "sdk/param_block.h"
#include "tarnis/line/effect/line_setting.h"
#include "tarnis/line/effect/line_setting_links.h"
#include "tarnis/line/effect/line_type_blocks.h"

namespace tarnis::testing {

class FakeLineSet : public ReferenceTarget, public TypeBlockOwner {
 public:
  static constexpr int kFirstSettingRef = 13;
  static constexpr int kNumRefs = kFirstSettingRef + 18;

  FakeLineSet() {
    for (int t = 1; t <= kNumLineTypes; ++t) {
      ReplaceReference(TypeBlockRef(t), CreateParameterBlock2(LineTypeBlockDesc(t), this));
    }
  }

  IParamBlock2* TypeBlock(int t) { return dynamic_cast<IParamBlock2*>(refs_[TypeBlockRef(t)]); }
  LineSetting* Base(int t) { return Setting(t, 0); }
  LineSetting* Setting(int t, int slot) {
    return dynamic_cast<LineSetting*>(refs_[SettingRef(t, slot)]);
  }
  static int SettingRef(int t, int slot) { return kFirstSettingRef + 6 * (t - 1) + slot; }

  // Puts a base setting in and takes its values, as a line set does.
  void SetBase(int t, LineSetting* s) {
    ReplaceReference(SettingRef(t, 0), s);
    AttachBaseSetting(TypeBlock(t), s);
  }

  void TypeBlocksWithBase(LineSetting* s, std::vector<IParamBlock2*>& out) override {
    for (int t = 1; t <= kNumLineTypes; ++t) {
      if (Base(t) == s) out.push_back(TypeBlock(t));
    }
  }

  int NumRefs() override { return kNumRefs; }
  ReferenceTarget* GetReference(int i) override {
    return i >= 0 && i < kNumRefs ? refs_[i] : nullptr;
  }
  RefResult NotifyRefChanged(const Interval&, ReferenceTarget* target, PartID&,
                             RefMessage message) override {
    for (int t = 1; t <= kNumLineTypes; ++t) {
      if (message == REFMSG_CHANGE && target == TypeBlock(t)) {
        MirrorTypeBlockChange(TypeBlock(t), TypeBlock(t)->LastNotifyParamID(), Base(t));
      }
    }
    return REF_SUCCEED;
  }

 protected:
  void SetReference(int i, ReferenceTarget* target) override {
    if (i >= 0 && i < kNumRefs) refs_[i] = target;
  }

 private:
  ReferenceTarget* refs_[kNumRefs] = {};
};

}  // namespace tarnis::testing
