// CaPDataHolder: the clipboard of the copy and paste buttons of the brush,
// stroke-map and line-set panels. Copy puts the panel's parameter block and
// its companion (a damping curve or a map) on the clipboard with the number
// of the panel's kind; paste gives another object of a compatible kind an
// independent copy of both, as one undo entry (Paste records).
//
// One clipboard for the process (interface thread). Pasting never changes
// it, so one copy pastes any number of times, each time as new copies. The
// plug-in empties it when the scene is reset, opened or renewed.
#pragma once

#include "sdk/reference.h"
#include "tarnis/common/paste.h"

namespace tarnis {

// The panels that copy and paste, by the number they mark the clipboard with.
enum CaPKind : int {
  kCaPEmpty = 0,
  kCaPBrushMap = 1,
  kCaPBrushStroke = 2,
  kCaPBrushNoise = 3,
  kCaPBrushDampSize = 4,
  kCaPBrushDampAlpha = 5,
  kCaPStrokeDampSize = 6,
  kCaPStrokeDampAlpha = 7,
  kCaPLineDampSize = 8,
  kCaPLineDampAlpha = 9,
};

// Whether a panel of `panelKind` takes what a panel of `copiedKind` copied:
// its own kind, and the size and alpha damping panels of one kind of owner
// take each other's (4 with 5, 6 with 7, 8 with 9).
bool CaPKindsMatch(int panelKind, int copiedKind);

class CaPDataHolder : public ReferenceMaker {
 public:
  static constexpr int kBlockRef = 0;
  static constexpr int kCompanionRef = 1;

  CaPDataHolder() = default;
  ~CaPDataHolder() override;

  // Drops what the clipboard held, then holds `block` and `companion`
  // (either may be null) marked with `kind`.
  void Copy(int kind, ReferenceTarget* block, ReferenceTarget* companion);
  // Empties the clipboard: kind 0, both references dropped, nothing
  // recorded for undo.
  void Clear();
  int Kind() const { return kind_; }

  // A copy of what reference i holds, made with undo suspended through the
  // host's default remapping (scene nodes the copied object points at are
  // shared, not copied). Null when the slot is empty, i is not 0 or 1, or
  // the object cannot be copied.
  ReferenceTarget* CloneRef(int i);

  int NumRefs() override { return 2; }
  ReferenceTarget* GetReference(int i) override;

 protected:
  void SetReference(int i, ReferenceTarget* target) override;

 private:
  ReferenceTarget* refs_[2] = {};
  int kind_ = kCaPEmpty;
};

// The process's clipboard; it lives until the process ends.
CaPDataHolder& TheCaPDataHolder();

// What a panel's copy and paste buttons work on: its owner object, the
// owner's reference slot of the block and of the companion (-1: none), the
// panel's kind and how pastes install.
struct CaPPanel {
  ReferenceMaker* owner = nullptr;
  int kind = kCaPEmpty;
  int blockRef = -1;
  int companionRef = -1;
  PasteMode mode = PasteMode::kFollowInPanel;
  PasteCallback callback;
};

// The copy button: the owner's block and companion go onto the clipboard.
// False, leaving the clipboard as it was, when the owner has no block.
bool CopyToClipboard(const CaPPanel& panel);
// The paste button: when the clipboard holds something of a kind the panel
// takes, copies of the block and of the companion replace the owner's, as
// one undo entry "Parameter change". A block copied from the other damping
// panel of a pair becomes a block of this panel's own layout holding the
// copied values (parameters matched by id). Answers whether anything was
// pasted; an empty clipboard, another kind, a copy that fails or a slot
// that refuses the copy changes nothing and makes no undo entry. The
// clipboard's companion slot being empty empties the owner's.
bool PasteFromClipboard(const CaPPanel& panel);

}  // namespace tarnis
