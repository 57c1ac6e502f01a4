// LineMergeHelper: the helper object that carries a scene's line effects
// through a merge. Render effects belong to a scene file as a whole, so
// merging objects from another file would leave its line effects behind;
// a helper placed in the scene takes references to every line effect just
// before the scene is saved, the saved file keeps them with the helper, and
// when the helper arrives through a merge the merge handlers (line_merge.h)
// offer its effects to the scene and delete it. At all other times its list
// is empty, so it never keeps line effects alive.
//
// Every helper alive is in one process-wide list, in creation order.
#pragma once

#include <span>
#include <vector>

#include "sdk/helper_object.h"

class ClassDesc2;

namespace tarnis {

inline constexpr Class_ID kLineMergeHelperClassID(0x54022257, 0x08141254);
// The name a node made for a new helper gets.
inline constexpr char kLineMergeHelperObjectName[] = "Tarnis Line Merge Helper";

class LineMergeHelper : public HelperObject {
 public:
  // Half the length of each drawn axis, in object units.
  static constexpr float kDefaultSize = 3.0f;
  // A saved helper holds at most this many references (one per line
  // effect of its scene); a larger count is a damaged file.
  static constexpr int kMaxSavedRefs = 1 << 16;

  // A new helper: an empty list, the merged mark set, and a place at the
  // end of the process-wide list.
  LineMergeHelper();
  ~LineMergeHelper() override;

  float Size() const { return size_; }
  // Set for a helper made since the last merge began; the merge handlers
  // clear it for the helpers already there.
  bool Merged() const { return merged_; }
  void SetMerged(bool merged) { merged_ = merged; }

  // Drops every reference and empties the list; nothing is recorded for undo.
  void ClearReferences();
  // Drops every reference, then references `targets` in order.
  void HoldReferences(std::span<ReferenceTarget* const> targets);
  // True when some slot holds a target.
  bool HoldsReferences() const;
  // The nodes that show this helper.
  std::vector<INode*> Nodes();

  // --- HelperObject --------------------------------------------------------------
  // Three segments through the origin, -size..size along x, y and z, in the
  // node's wire colour (white while the node is selected).
  int Display(TimeValue t, INode* node, ViewportDrawing& vd) override;
  int HitTest(TimeValue t, INode* node, ViewportDrawing& vd) override;
  // The six axis end points / their box's corners through the node transform.
  void GetLocalBoundBox(TimeValue t, INode* node, Box3& box) override;
  void GetWorldBoundBox(TimeValue t, INode* node, Box3& box) override;
  // The node follows the snapped mouse from the press on; the press's
  // release ends creation.
  CreateMouseCallBack* GetCreateMouseCallBack() override;

  // --- Object model --------------------------------------------------------------
  Class_ID ClassID() override { return kLineMergeHelperClassID; }
  void GetClassName(CStr& s) override;
  int NumRefs() override { return static_cast<int>(refs_.size()); }
  ReferenceTarget* GetReference(int i) override;
  // A new helper: default size, empty list, merged mark set.
  ReferenceTarget* Clone(RemapDir& remap) override;
  // Chunk 0x4000: the number of references; chunk 0x4001: the reference
  // maker's own data (none in this host; the graph writer saves the slots).
  IOResult Save(ISave* isave) override;
  // 0x4000 drops the current references and sizes the list with empty
  // slots for the graph reader to fill; a negative count or one above
  // kMaxSavedRefs is IO_ERROR.
  IOResult Load(ILoad* iload) override;

 protected:
  void SetReference(int i, ReferenceTarget* target) override;

 private:
  void Draw(INode* node, ViewportDrawing& vd);

  std::vector<ReferenceTarget*> refs_;
  float size_ = kDefaultSize;
  bool merged_ = true;
};

// The live helpers, in creation order.
const std::vector<LineMergeHelper*>& LineMergeHelpers();

}  // namespace tarnis
