#include "tarnis/common/cap_data_holder.h"

#include <memory>
#include <vector>

#include "sdk/hold.h"
#include "sdk/param_block.h"
#include "tarnis/resources/string_table.h"

namespace tarnis {

namespace {

// The host's default remapping, except that scene nodes are not copied: a
// copied block that names a node (a reference node of the depth settings)
// names the same node, where a copy would lose it (nodes cannot be cloned).
class KeepNodesRemap : public DefaultRemapDir {
 public:
  ReferenceTarget* CloneRef(ReferenceTarget* original) override {
    if (original && original->SuperClassID() == BASENODE_CLASS_ID) return original;
    return DefaultRemapDir::CloneRef(original);
  }
};

// The pair of size and alpha damping panels a kind belongs to, or the kind
// itself for panels without a partner.
int PairOf(int kind) {
  switch (kind) {
    case kCaPBrushDampAlpha:
      return kCaPBrushDampSize;
    case kCaPStrokeDampAlpha:
      return kCaPStrokeDampSize;
    case kCaPLineDampAlpha:
      return kCaPLineDampSize;
    default:
      return kind;
  }
}

// Copies every parameter of `from` whose id `to` has with the same type,
// table entries included (undo suspended by the caller).
void AssignMatching(IParamBlock2& to, IParamBlock2& from) {
  ParamBlockDesc2* toDesc = to.GetDesc();
  ParamBlockDesc2* fromDesc = from.GetDesc();
  if (!toDesc || !fromDesc) return;
  for (int i = 0; i < toDesc->Count(); ++i) {
    const ParamDef& def = toDesc->GetParamDefByIndex(i);
    const ParamDef* source = fromDesc->GetParamDef(def.id);
    if (!source || source->type != def.type) continue;
    if (IsTabType(def.type)) to.SetCount(def.id, from.Count(def.id));
    for (int k = 0; k < from.Count(def.id) && k < to.Count(def.id); ++k) {
      to.Assign(def.id, &from, def.id, k);
    }
  }
}

// The copy of the clipboard's block for the owner's slot: as copied when it
// has the layout of the block the slot holds, otherwise a copy of the
// slot's own block taking the copied values. Null when there is nothing to
// paste.
ReferenceTarget* BlockForSlot(CaPDataHolder& clip, ReferenceMaker& owner, int slot) {
  ReferenceTarget* copy = clip.CloneRef(CaPDataHolder::kBlockRef);
  auto* pasted = dynamic_cast<IParamBlock2*>(copy);
  auto* current = dynamic_cast<IParamBlock2*>(owner.GetReference(slot));
  if (!pasted || !current || pasted->GetDesc() == current->GetDesc()) return copy;
  HoldSuspend suspend;
  KeepNodesRemap remap;
  auto* fitted = dynamic_cast<IParamBlock2*>(remap.CloneRef(current));
  if (fitted) AssignMatching(*fitted, *pasted);
  copy->MaybeAutoDelete();
  return fitted;
}

const char* UndoName() {
  const char* text = FindString(kStrParameterChange);
  return text ? text : "";
}

}  // namespace

bool CaPKindsMatch(int panelKind, int copiedKind) {
  if (panelKind == kCaPEmpty || copiedKind == kCaPEmpty) return false;
  return PairOf(panelKind) == PairOf(copiedKind);
}

CaPDataHolder::~CaPDataHolder() {
  Clear();
}

void CaPDataHolder::Copy(int kind, ReferenceTarget* block, ReferenceTarget* companion) {
  HoldSuspend suspend;
  DeleteAllRefs();
  kind_ = kind;
  ReplaceReference(kBlockRef, block);
  ReplaceReference(kCompanionRef, companion);
}

void CaPDataHolder::Clear() {
  HoldSuspend suspend;
  kind_ = kCaPEmpty;
  DeleteAllRefs();
}

ReferenceTarget* CaPDataHolder::CloneRef(int i) {
  if (i != kBlockRef && i != kCompanionRef) return nullptr;
  if (!refs_[i]) return nullptr;
  HoldSuspend suspend;
  KeepNodesRemap remap;
  return remap.CloneRef(refs_[i]);
}

ReferenceTarget* CaPDataHolder::GetReference(int i) {
  return i == kBlockRef || i == kCompanionRef ? refs_[i] : nullptr;
}

void CaPDataHolder::SetReference(int i, ReferenceTarget* target) {
  if (i == kBlockRef || i == kCompanionRef) refs_[i] = target;
}

CaPDataHolder& TheCaPDataHolder() {
  // Never destroyed: what it holds may otherwise outlive the reference
  // system's own teardown at exit.
  static auto* holder = new CaPDataHolder;
  return *holder;
}

bool CopyToClipboard(const CaPPanel& panel) {
  if (!panel.owner || panel.kind == kCaPEmpty) return false;
  ReferenceTarget* block = panel.owner->GetReference(panel.blockRef);
  if (!block) return false;
  ReferenceTarget* companion =
      panel.companionRef >= 0 ? panel.owner->GetReference(panel.companionRef) : nullptr;
  TheCaPDataHolder().Copy(panel.kind, block, companion);
  return true;
}

bool PasteFromClipboard(const CaPPanel& panel) {
  CaPDataHolder& clip = TheCaPDataHolder();
  if (!panel.owner || !CaPKindsMatch(panel.kind, clip.Kind())) return false;
  ReferenceMaker& owner = *panel.owner;
  // Both copies are made before anything changes, so a copy that fails
  // leaves the owner as it was.
  ReferenceHolder block(BlockForSlot(clip, owner, panel.blockRef));
  if (!block.Get()) return false;
  const bool withCompanion = panel.companionRef >= 0;
  ReferenceTarget* copiedCompanion = clip.GetReference(CaPDataHolder::kCompanionRef);
  ReferenceHolder companion(withCompanion ? clip.CloneRef(CaPDataHolder::kCompanionRef) : nullptr);
  if (withCompanion && copiedCompanion && !companion.Get()) return false;

  // Installed first and put on the undo stack once both are in, so a slot
  // that refuses its copy leaves the other as it was, held or not.
  std::vector<std::unique_ptr<Paste>> records;
  auto pasteInto = [&](int slot, ReferenceTarget* copy) {
    auto record = std::make_unique<Paste>(panel.owner, slot, copy, panel.mode, panel.callback);
    if (!record->Install()) return false;
    records.push_back(std::move(record));
    return true;
  };
  if (!pasteInto(panel.blockRef, block.Get()) ||
      (withCompanion && !pasteInto(panel.companionRef, companion.Get()))) {
    for (auto it = records.rbegin(); it != records.rend(); ++it) (*it)->Restore(0);
    return false;
  }
  theHold.Begin();
  for (std::unique_ptr<Paste>& record : records) theHold.Put(std::move(record));
  theHold.Accept(UndoName());
  return true;
}

}  // namespace tarnis
