#include "tarnis/common/paste.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "sdk/effect.h"

namespace tarnis {

namespace {

std::vector<ObjectView*>& Views() {
  static std::vector<ObjectView*> views;
  return views;
}

}  // namespace

void AddObjectView(ObjectView* view) {
  if (view && std::find(Views().begin(), Views().end(), view) == Views().end())
    Views().push_back(view);
}

void RemoveObjectView(ObjectView* view) {
  std::erase(Views(), view);
}

Paste::Paste(ReferenceMaker* owner, int slot, ReferenceTarget* pasted, PasteMode mode,
             PasteCallback callback)
    : owner_(owner), slot_(slot), mode_(mode), callback_(std::move(callback)) {
  HoldSuspend suspend;
  ReplaceReference(kOldRef, owner ? owner->GetReference(slot) : nullptr);
  ReplaceReference(kPastedRef, pasted);
  if (auto* target = dynamic_cast<ReferenceTarget*>(owner)) ReplaceReference(kOwnerRef, target);
}

Paste::~Paste() {
  HoldSuspend suspend;
  DeleteAllRefs();
}

void Paste::Restore(int) {
  InstallRef(kOldRef);
}

void Paste::Redo() {
  InstallRef(kPastedRef);
}

bool Paste::InstallRef(int which) {
  if (!owner_) return false;
  HoldSuspend suspend;
  ReferenceTarget* installed = refs_[which];
  ReferenceTarget* replaced = owner_->GetReference(slot_);
  if (replaced == installed) return true;
  if (mode_ == PasteMode::kFollowInPanel) {
    // A copy of the list: a view may close (and leave it) while redrawing.
    const std::vector<ObjectView*> views = Views();
    for (ObjectView* view : views) {
      if (replaced && view->ShownObject() == replaced) view->ShowObject(installed);
    }
  }
  // Held for the call: the replace may release the last reference to it.
  ReferenceHolder keep(replaced);
  if (owner_->TryReplaceReference(slot_, installed) != REF_SUCCEED) return false;
  if (mode_ == PasteMode::kCarryOnOff) {
    auto* from = dynamic_cast<SpecialFX*>(replaced);
    auto* to = dynamic_cast<SpecialFX*>(installed);
    if (from) {
      const bool on = from->IsOn();
      from->SetOn(false);
      if (to) to->SetOn(on);
    }
  }
  if (callback_) callback_(owner_, replaced, installed);
  return true;
}

ReferenceTarget* Paste::GetReference(int i) {
  return i >= 0 && i < 3 ? refs_[i] : nullptr;
}

void Paste::SetReference(int i, ReferenceTarget* target) {
  if (i < 0 || i >= 3) return;
  refs_[i] = target;
  // The owner was deleted: there is nothing left to install into.
  if (i == kOwnerRef && !target && owner_ && dynamic_cast<ReferenceTarget*>(owner_)) {
    owner_ = nullptr;
  }
}

RefResult Paste::NotifyRefChanged(const Interval&, ReferenceTarget*, PartID&, RefMessage) {
  return REF_STOP;
}

}  // namespace tarnis
