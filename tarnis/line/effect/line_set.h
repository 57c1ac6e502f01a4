// LineSet: one group of scene nodes and materials drawn with one set of line
// rules. It owns its main block, the three line-type and three depth blocks,
// the line and size maps of each type, the 18 line settings (six per type)
// and the six damping curves, all as numbered references, plus a
// SettingHolder (not a reference) that keeps settings that left their slots.
// The line effect (LineManager) keeps an ordered list of line sets; a line
// set draws nothing by itself.
//
// References: 0 "main", 1..3 "type1".."type3", 4..6 "damp1".."damp3",
// 7..9 line maps, 10..12 size maps, 13..30 settings (13 + 6 × (type − 1) +
// slot), 31..36 curves (31 + 2 × (type − 1) size, the next one alpha).
#pragma once

#include <span>
#include <string>
#include <vector>

#include "sdk/curve_control.h"
#include "sdk/effect.h"
#include "sdk/inode.h"
#include "sdk/param_block.h"
#include "tarnis/line/effect/line_setting.h"
#include "tarnis/line/effect/line_type_blocks.h"
#include "tarnis/line/effect/setting_holder.h"

namespace tarnis {

inline constexpr Class_ID kLineSetClassID(0x54022257, 0x0814C617);

inline constexpr int kLineSetMainRef = 0;
inline constexpr int kLineSetFirstSettingRef = 13;
inline constexpr int kLineSetFirstCurveRef = 31;
inline constexpr int kLineSetNumRefs = 37;
inline constexpr int kLineSetNumBlocks = 7;

// Parameters of the block "main" (block id 0).
enum LineSetParamID : ParamID {
  kLineSetName = 0,
  kLineSetObjects = 1,
  kLineSetEnable = 2,
  kLineSetCombineBetweemObjects = 32,
  kLineSetMtls = 33,
  kLineSetExHidden = 34,
  kLineSetLineSetLoad = 39,
  kLineSetLineSetSave = 40,
};

// Setting slot `slot` (0..5) of line type `type` (1..3).
inline constexpr int LineSetSettingRef(int type, int slot) {
  return kLineSetFirstSettingRef + kSettingsPerType * (type - 1) + slot;
}
inline constexpr int LineSetSizeCurveRef(int type) {
  return kLineSetFirstCurveRef + 2 * (type - 1);
}
inline constexpr int LineSetAlphaCurveRef(int type) {
  return LineSetSizeCurveRef(type) + 1;
}

ParamBlockDesc2* LineSetMainBlockDesc();
// Binds "main" and the six line-type and depth blocks to the class descriptor.
void BindLineSetBlocks(ClassDesc2* cd);

// A node's stand-in for membership: a group member is replaced by the head
// of its outermost group; any other node stands for itself.
INode* MembershipNode(INode* node);

class LineSet : public Effect, public TypeBlockOwner {
 public:
  // A new line set with its blocks, 18 named settings and six set-up curves;
  // with `loading` every reference stays empty for a saved scene to fill.
  explicit LineSet(bool loading = false);
  ~LineSet() override;

  // Block 0 is "main", 1..3 the type blocks, 4..6 the depth blocks.
  IParamBlock2* GetParamBlock(int i) const;
  int NumParamBlocks() const { return kLineSetNumBlocks; }
  IParamBlock2* MainBlock() const { return GetParamBlock(0); }
  IParamBlock2* TypeBlock(int type) const;
  IParamBlock2* DepthBlock(int type) const;
  // The setting in slot `slot` of `type`, or null when the slot holds no setting.
  LineSetting* Setting(int type, int slot) const;
  CurveControl* SizeCurve(int type) const;
  CurveControl* AlphaCurve(int type) const;
  SettingHolder* Holder() const;

  // `name` becomes "セット" followed by n (just "セット" for a negative n).
  void SetNameNumber(int n);
  std::string Name() const;
  bool Enabled(TimeValue t) const;

  // True when `objects` lists the node's membership stand-in.
  bool ListsNode(INode* node) const;
  // True when `mtls` lists the material.
  bool ListsMaterial(Mtl* mtl) const;
  // Delete every listed entry and compact the table; nothing is recorded
  // beyond what the block records itself.
  void RemoveNodes(std::span<INode* const> nodes);
  void RemoveMaterials(std::span<Mtl* const> mtls);

  // Puts the references of a file written with fewer map slots where they
  // belong now (settings into 13..30, curves into 31..36). Answers whether
  // anything moved. Run by the post-load callback.
  bool RepairOlderLayout();
  void FinishLoad();
  // The setting-slot repair after loading; answers the number of slots
  // repaired (one warning when there were any).
  int RepairLoadedSettingSlots();

  // --- TypeBlockOwner ------------------------------------------------------------
  void TypeBlocksWithBase(LineSetting* setting, std::vector<IParamBlock2*>& out) override;

  // --- Effect: the line effect draws a line set's lines, never the set itself ----
  void Apply(TimeValue, Bitmap*, RenderGlobalContext*, CheckAbortCallback*) override {}
  CStr GetName() override;

  // --- Object model --------------------------------------------------------------
  Class_ID ClassID() override { return kLineSetClassID; }
  void GetClassName(CStr& s) override;
  int NumRefs() override { return kLineSetNumRefs; }
  ReferenceTarget* GetReference(int i) override;
  // The setting slots of the visible and hidden types by name: "visible" and
  // "hidden", each with "base", "outline", "crease", "material", "smoothing"
  // and "intersection".
  std::vector<NamedReference> NamedReferences() override;
  int NumSubs() override { return kLineSetNumRefs; }
  Animatable* SubAnim(int i) override { return GetReference(i); }
  CStr SubAnimName(int i) override;
  RefResult NotifyRefChanged(const Interval& changeInt, ReferenceTarget* target, PartID& partID,
                             RefMessage message) override;
  // Own data: nothing but the on/off state of the effect base.
  IOResult Save(ISave* isave) override;
  // Reads that state and registers the post-load repair.
  IOResult Load(ILoad* iload) override;

 protected:
  // A setting slot that is given something else hands its outgoing setting
  // to the holder; a base slot that receives a setting fills its type block.
  void SetReference(int i, ReferenceTarget* target) override;

 private:
  void CreateSettings();
  void CreateCurves();

  ReferenceTarget* refs_[kLineSetNumRefs] = {};
  ReferenceHolder holder_;
  bool loading_ = false;
};

// Sets up a new damping curve: one control curve, ranges 0..1, the first
// point at value 1 falling steeply, the last at `endValue`.
void SetUpDampCurve(CurveControl* curve, ReferenceMaker* owner, float endValue);

}  // namespace tarnis
