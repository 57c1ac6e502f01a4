// QvPolygonCtrl: a closed shape drawn around a centre, held as a ring of
// nodes in polar form joined by cubic Bézier segments. The toon material's
// designed highlight asks it for the shape's radius in a direction and scales
// the highlight by it.
//
// The nodes live in five tables of the block "main" (reference 0): angle
// (radians), radius (1 is the edge of the editor's circle), type (corner,
// smooth, free) and two handles given as offsets from the node. A node at
// angle a and radius r sits at (r cos a, -r sin a): y grows downward, as on
// screen. The list is kept in increasing angle order around the circle (it
// may start anywhere: a reset starts at angle 0).
//
// The control keeps a table of 360 radii, one per degree, rebuilt whenever
// the block tells of a change (an edit, an undo, a load); RadiusAt reads it.
// The editor model (shape_editor.h) performs the user's edits.
#pragma once

#include <vector>

#include "sdk/param_block.h"
#include "sdk/points.h"

class ClassDesc2;

namespace tarnis {

inline constexpr Class_ID kQvPolygonCtrlClassID(0x54022257, 0x0814EBFB);
inline constexpr int kShapeBlockRef = 0;
inline constexpr int kShapeBlockID = 0;
inline constexpr int kShapeRadiusTableSize = 360;
// The most nodes a shape may hold; more is damaged or hostile data.
inline constexpr int kMaxShapeNodes = 1024;

// Parameters of the block "main".
enum ShapeParamID : ParamID {
  kPolyNodeAngle = 0,
  kPolyNodeRadius = 1,
  kPolyNodeResetNum = 2,
  kPolyNodeType = 3,
  kPolyHandle0 = 4,
  kPolyHandle1 = 5,
};

// Node types: a corner has no handles; a smooth node's outgoing handle
// mirrors its incoming one; a free node has two independent handles.
enum ShapeNodeType : int { kNodeCorner = 0, kNodeSmooth = 1, kNodeFree = 2 };

struct ShapeNode {
  float angle = 0.0f;  // radians
  float radius = 1.0f;
  int type = kNodeCorner;
  Point2 handle0;  // incoming handle, offset from the node
  Point2 handle1;  // outgoing handle of a free node
};

// Where a node at `angle` and `radius` sits in the editor's unit square.
Point2 ShapePosition(float angle, float radius);

ParamBlockDesc2* ShapeBlockDesc();
void BindShapeBlock(ClassDesc2* cd);
// The name a panel shows for a parameter of the block (strings 700 + id);
// empty for an unknown id.
const char* ShapeParamDisplayName(ParamID id);

class QvPolygonCtrl : public ReferenceTarget {
 public:
  // A new control with its block (no nodes yet: every direction reads 1);
  // with `loading` the block slot stays empty for a saved scene to fill.
  explicit QvPolygonCtrl(bool loading = false);

  IParamBlock2* Block() const { return block_; }

  // The number of whole nodes (entries present in all five tables).
  int NumNodes() const;
  // Node i as stored; a default node for an index outside the list.
  ShapeNode GetNode(int i) const;
  Point2 NodePosition(int i) const;
  // The handle offsets the outline uses: the incoming one (none for a
  // corner) and the outgoing one (none for a corner, minus the incoming one
  // for a smooth node, the second handle for a free node).
  Point2 InHandle(int i) const;
  Point2 OutHandle(int i) const;

  // Writes node i's angle, radius and type; handle 0 when the type is above
  // 0 and handle 1 when it is 2. An angle outside [-pi, pi] is brought into
  // (-pi, pi]; the radius is kept at 0 or more and the type in 0..2. False,
  // changing nothing, for an index outside the list or a value that is not
  // finite.
  bool SetNode(int i, float angle, float radius, int type, Point2 handle0, Point2 handle1);
  // Writes every field of node i as given, both handles whatever the type
  // (to put a node back as it was); the same limits as SetNode.
  bool StoreNode(int i, const ShapeNode& node);
  // Sets n nodes: node i at angle i * 2pi / n (less 2pi from pi on), radius
  // 1, corner, without handles. False, changing nothing, for n outside
  // 0..kMaxShapeNodes or without a block.
  bool Reset(int n);
  // Inserts a node before index `at` (0..NumNodes) / deletes node i; false,
  // changing nothing, for an index outside the list, a value that is not
  // finite, or (insert) a list already holding kMaxShapeNodes.
  bool InsertNode(int at, const ShapeNode& node);
  bool DeleteNode(int i);

  // The shape's radius in the direction `theta` (radians, -pi to pi, other
  // values taken modulo a whole turn): read from the table between its two
  // nearest degrees. 1 without a table (no block) and for a direction that
  // is not finite.
  float RadiusAt(float theta) const;
  // The radius of direction j * 2pi / 360 - pi, for j in 0..359; empty
  // without a block. Fewer than three nodes make every entry 1.
  const std::vector<float>& RadiusTable() const { return radius_; }

  // Holds back table rebuilds while one operation changes several nodes,
  // and rebuilds once at its end.
  class BatchEdit {
   public:
    explicit BatchEdit(QvPolygonCtrl& ctrl) : ctrl_(ctrl) { ++ctrl_.batch_; }
    ~BatchEdit() {
      if (--ctrl_.batch_ == 0) ctrl_.RebuildTable();
    }
    BatchEdit(const BatchEdit&) = delete;
    BatchEdit& operator=(const BatchEdit&) = delete;

   private:
    QvPolygonCtrl& ctrl_;
  };

  // --- Object model --------------------------------------------------------------
  Class_ID ClassID() override { return kQvPolygonCtrlClassID; }
  SClass_ID SuperClassID() override { return REF_TARGET_CLASS_ID; }
  void GetClassName(CStr& s) override { s = "QvPolygonCtrl"; }
  int NumRefs() override { return 1; }
  ReferenceTarget* GetReference(int i) override;
  int NumSubs() override { return 1; }
  Animatable* SubAnim(int i) override { return GetReference(i); }
  CStr SubAnimName(int i) override { return i == 0 ? "main" : ""; }
  RefResult NotifyRefChanged(const Interval& changeInt, ReferenceTarget* target, PartID& partID,
                             RefMessage message) override;
  ReferenceTarget* Clone(RemapDir& remap) override;

 protected:
  // Slot 0 takes only a parameter block with the id of "main".
  void SetReference(int i, ReferenceTarget* target) override;

 private:
  void RebuildTable();

  IParamBlock2* block_ = nullptr;
  std::vector<float> radius_;
  int batch_ = 0;
};

}  // namespace tarnis
