// Paste: the undo record of one pasted object. It is also a reference maker,
// so the object the owner held before and the one pasted stay alive as long
// as the record can put either back. Undo installs the old object, redo the
// same pasted one again (never a new copy).
//
// Installing runs with undo suspended: the record itself is the undo.
// Mode kFollowInPanel first points every ObjectView that shows the replaced
// object at the installed one; kCarryOnOff hands the replaced object's
// on/off state (render effects and elements) to the installed one and
// switches the replaced one off; kPlain only replaces.
//
// ObjectView is how panels take part: a panel that shows a sub-object (a
// damping block in a rollup) registers a view for as long as it is open.
#pragma once

#include <functional>
#include <memory>

#include "sdk/hold.h"
#include "sdk/reference.h"

namespace tarnis {

enum class PasteMode : int { kFollowInPanel = 0, kCarryOnOff = 1, kPlain = 2 };

// Called after each install with (owner, replaced object, installed object).
using PasteCallback = std::function<void(ReferenceMaker* owner, ReferenceTarget* replaced,
                                         ReferenceTarget* installed)>;

// Something on screen that shows one object and can be pointed at another.
class ObjectView {
 public:
  virtual ReferenceTarget* ShownObject() = 0;
  // Shows `object` from now on and redraws.
  virtual void ShowObject(ReferenceTarget* object) = 0;

 protected:
  ~ObjectView() = default;
};
// Views register while they are open (interface thread).
void AddObjectView(ObjectView* view);
void RemoveObjectView(ObjectView* view);

class Paste : public RestoreObj, public ReferenceMaker {
 public:
  // A record for replacing reference `slot` of `owner` by `pasted`; the
  // object the slot holds now is kept as the one undo puts back. Nothing is
  // installed until Install (or Redo).
  Paste(ReferenceMaker* owner, int slot, ReferenceTarget* pasted, PasteMode mode,
        PasteCallback callback = {});
  ~Paste() override;

  // RestoreObj: undo installs the old object, redo the pasted one.
  void Restore(int isUndo) override;
  void Redo() override;
  CStr Description() override { return "---"; }

  // Installs the pasted object; false when the owner's slot does not take
  // it (the slot then keeps what it had) or the owner is gone.
  bool Install() { return InstallRef(kPastedRef); }
  ReferenceTarget* Old() const { return refs_[kOldRef]; }
  ReferenceTarget* Pasted() const { return refs_[kPastedRef]; }

  // ReferenceMaker: 0 the old object, 1 the pasted one, 2 the owner (held so
  // that the record never points at a deleted owner).
  int NumRefs() override { return 3; }
  ReferenceTarget* GetReference(int i) override;
  RefResult NotifyRefChanged(const Interval& changeInt, ReferenceTarget* target, PartID& partID,
                             RefMessage message) override;

 protected:
  void SetReference(int i, ReferenceTarget* target) override;

 private:
  static constexpr int kOldRef = 0;
  static constexpr int kPastedRef = 1;
  static constexpr int kOwnerRef = 2;

  bool InstallRef(int which);

  // The owner when it is a reference target (held in slot 2), or the maker
  // given, which must then outlive the record.
  ReferenceMaker* owner_;
  int slot_;
  PasteMode mode_;
  PasteCallback callback_;
  ReferenceTarget* refs_[3] = {};
};

}  // namespace tarnis
