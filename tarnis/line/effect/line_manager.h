// LineManager: the line effect the user adds to the host's render effects.
// It holds the effect-wide rendering parameters (block "main", reference 0)
// and the ordered list of line sets (entry i is reference i + 1; earlier sets
// have the higher priority), edits that list undoably (add, remove, move),
// answers which line set a node or material belongs to, and saves the list's
// length beside its references.
//
// The first LineManager alive also creates the process-wide line-setting
// clipboard (a SettingHolder whose slot 0 holds the setting last copied);
// the last one to go releases it.
#pragma once

#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "sdk/effect.h"
#include "sdk/inode.h"
#include "sdk/param_block.h"

class ClassDesc2;

namespace tarnis {

class LineEngine;
class LineSet;
class SettingHolder;

// The render-time state of one line effect: its line engines (the frame's
// and the one motion detection uses), the lock that guards them while the
// engine runs, the per-line-set frame offsets of motion detection and the
// scale lineSizeType 1 applies.
struct LineRenderState {
  LineRenderState();
  ~LineRenderState();
  std::unique_ptr<LineEngine> engine;
  std::unique_ptr<LineEngine> motionEngine;
  std::recursive_mutex lock;
  std::vector<int> frameOffsets;
  float referenceScale = 0.0f;  // 0 until a frame has set it
  // The render was told that no render element receives the lines.
  bool warnedNoLineElement = false;
};

inline constexpr Class_ID kLineManagerClassID(0x54022257, 0x0814C613);
inline constexpr int kLineManagerMainRef = 0;

// Parameters of the block "main" (block id 0).
enum LineManagerParamID : ParamID {
  kLineSeed = 0,
  kLineOutsideLength = 1,
  kLineRenderElementOnly = 2,
  kLineOverSampling = 3,
  kLineAntiAliasSize = 4,
  kLineRndAuto = 5,
  kLineRndInterval = 6,
  kLineRndMoveDetect = 7,
  kLineLineSizeType = 8,
};

ParamBlockDesc2* LineManagerBlockDesc();
void BindLineManagerBlock(ClassDesc2* cd);

// The undo step name of every list edit.
inline constexpr const char* kLineListUndoName = "パラメータ変更";

class LineManager : public Effect, public GrowingReferences {
 public:
  // A new effect with its main block and an empty list; with `loading` the
  // block slot stays empty for a saved scene to fill.
  explicit LineManager(bool loading = false);
  ~LineManager() override;

  IParamBlock2* MainBlock() const;
  int NumLineSets() const { return static_cast<int>(sets_.size()); }
  // Entry i, or null for an empty entry or an index outside the list.
  LineSet* GetLineSet(int i) const;
  // The list position of `set`, or -1.
  int IndexOf(const LineSet* set) const;

  // Appends a new line set named after the new list length, as one undo
  // step. Answers the new set.
  LineSet* AddLineSet();
  // Removes the sets at `positions` (positions outside the list are
  // ignored) as one undo step; nothing is recorded when none is selected.
  void RemoveLineSets(std::span<const int> positions);
  // Moves the selected sets one step towards the end or the start of the
  // list as one undo step; sets already packed at that end stay, and nothing
  // is recorded when no set can move. Answers whether anything moved.
  bool MoveLineSets(std::span<LineSet* const> selected, bool towardsEnd);

  // The first line set in list order that lists the node (a group member
  // through the head of its outermost group) / the material; null if none.
  LineSet* LineSetOfNode(INode* node) const;
  LineSet* LineSetOfMaterial(Mtl* mtl) const;

  // The list edits the undo records perform. Insert puts `set` at `position`
  // (at the end for -1 or a position past the end); Remove takes it out
  // wherever it is; Swap exchanges entries i and i + 1. Each notifies
  // dependents and records nothing itself.
  void InsertLineSet(int position, LineSet* set);
  void RemoveLineSet(LineSet* set);
  void SwapLineSets(int i);

  // Appends an existing line set (a scene description's reference n + 1);
  // anything else is refused.
  bool AppendReference(ReferenceTarget* target) override;

  // Draws the frame's lines: the geometry found after the frame was rendered
  // is reused (unless the host renders as a network server, or the geometry
  // half did not run for this frame), then the drawing half runs.
  void Apply(TimeValue t, Bitmap* bm, RenderGlobalContext* gc,
             CheckAbortCallback* checkAbort) override;
  LineRenderState& RenderState() { return *render_; }

  // --- Object model --------------------------------------------------------------
  Class_ID ClassID() override { return kLineManagerClassID; }
  void GetClassName(CStr& s) override;
  int NumRefs() override { return NumLineSets() + 1; }
  ReferenceTarget* GetReference(int i) override;
  int NumSubs() override { return NumRefs(); }
  Animatable* SubAnim(int i) override { return GetReference(i); }
  CStr SubAnimName(int i) override;
  // Chunk 0x4000: the number of line sets; chunk 0x4001: the effect base.
  IOResult Save(ISave* isave) override;
  // 0x4000 sizes the list with empty entries that the reference graph then
  // fills; a negative or implausibly large count is IO_ERROR.
  IOResult Load(ILoad* iload) override;

 protected:
  // Slot 0 takes only a parameter block, the others only line sets.
  void SetReference(int i, ReferenceTarget* target) override;

 private:
  void Changed();

  IParamBlock2* main_ = nullptr;
  std::vector<LineSet*> sets_;
  std::unique_ptr<LineRenderState> render_ = std::make_unique<LineRenderState>();
};

// The process-wide line-setting clipboard: null while no LineManager exists.
SettingHolder* LineSettingClipboard();

}  // namespace tarnis
