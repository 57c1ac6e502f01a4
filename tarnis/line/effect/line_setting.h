// LineSetting: the look of the lines of one line type and one edge kind —
// colour, line map, blend mode, alpha, size, stretch, angle and size map —
// together with the Brush that shapes its strokes. A texture-map class so
// that settings can be named, shared, dragged between slots and cloned; its
// own evaluation as a map forwards to the brush.
//
// References: 0 the block "main", 1 the line map (sub-map 0), 2 the brush
// (sub-map 1, never empty after creation), 3 the line size map (sub-map 2).
// A change of the block is mirrored (param_linking.h, line_setting_links.h)
// into the brush and into every line-type block that uses this setting as its
// base setting; attaching a brush takes the brush's stretch and angle.
#pragma once

#include <vector>

#include "sdk/mtl.h"
#include "sdk/param_block.h"

class ClassDesc2;

namespace tarnis {

class Brush;
class LineSetting;

inline constexpr Class_ID kLineSettingClassID(0x71460FA7, 0x20262BF2);

inline constexpr int kSettingBlockRef = 0;
inline constexpr int kSettingLineMapRef = 1;
inline constexpr int kSettingBrushRef = 2;
inline constexpr int kSettingSizeMapRef = 3;
inline constexpr int kSettingNumRefs = 4;

// Parameters of the block "main" (block id 0).
enum LineSettingParamID : ParamID {
  kLineColor = 0,
  kLineMapOpacity = 1,
  kLineMap = 2,
  kLineMapEnable = 3,
  kLineBlend = 4,
  kLineAlpha = 5,
  kLineSize = 6,
  kLineStretch = 7,
  kLineAngle = 8,
  kLineSizeMapEnable = 9,
  kLineSizeMapAmount = 10,
  kLineSizeMap = 11,
};

ParamBlockDesc2* LineSettingBlockDesc();
// Binds the block to the setting's class descriptor.
void BindLineSettingBlock(ClassDesc2* cd);

// What the line engine reads of a setting for one frame. Maps are null when
// unused; the percentages are scaled to 0..1.
struct LineFrameValues {
  float size = 1.0f;
  Color color;
  float alpha = 1.0f;
  int blend = 0;
  float mapOpacity = 1.0f;
  Texmap* lineMap = nullptr;
  Texmap* sizeMap = nullptr;
  float sizeMapAmount = 0.0f;
};

// Implemented by whatever keeps line-type blocks whose base setting is a
// LineSetting (the line set): it lists the type blocks that mirror `setting`.
// Settings find these owners among their dependents.
class TypeBlockOwner {
 public:
  virtual void TypeBlocksWithBase(LineSetting* setting, std::vector<IParamBlock2*>& out) = 0;

 protected:
  ~TypeBlockOwner() = default;
};

class LineSetting : public Texmap {
 public:
  // A new setting with a default block and a new brush; with `loading` the
  // slots stay empty for a saved scene to fill.
  explicit LineSetting(bool loading = false);
  ~LineSetting() override;

  IParamBlock2* Block() const;
  Brush* GetBrush() const;
  Texmap* LineMap() const;
  Texmap* SizeMap() const;

  // True when `map` may not become this setting's line or size map: it is
  // this setting or leads back to it through its references.
  bool RefusesMap(ReferenceTarget* map);

  // Reads the values of time t for the line engine, updating first each map
  // that is used and the brush.
  LineFrameValues PrepareFrame(TimeValue t);

  // --- Texmap: forwarded to the brush ------------------------------------------
  AColor EvalColor(ShadeContext& sc) override;
  float EvalMono(ShadeContext& sc) override;
  Point3 EvalNormalPerturb(ShadeContext& sc) override;

  // --- MtlBase -----------------------------------------------------------------
  void Update(TimeValue t, Interval& valid) override;
  // Every parameter back to its default and a new brush; the type blocks
  // that mirror this setting take the defaults too.
  void Reset() override;
  Interval Validity(TimeValue t) override;
  int NumSubTexmaps() override { return 3; }
  Texmap* GetSubTexmap(int i) override;
  // Sub-map 0 and 2 refuse a map RefusesMap names (the slot is emptied);
  // sub-map 1 takes only a brush.
  void SetSubTexmap(int i, Texmap* m) override;
  CStr GetSubTexmapSlotName(int i) override;

  // --- Object model --------------------------------------------------------------
  Class_ID ClassID() override { return kLineSettingClassID; }
  void GetClassName(CStr& s) override;
  int NumRefs() override { return kSettingNumRefs; }
  ReferenceTarget* GetReference(int i) override;
  int NumSubs() override { return kSettingNumRefs; }
  Animatable* SubAnim(int i) override;
  CStr SubAnimName(int i) override;
  RefResult NotifyRefChanged(const Interval& changeInt, ReferenceTarget* target, PartID& partID,
                             RefMessage message) override;
  // A new setting with a copy of the block and of each set map and the brush
  // (through the remapper, so a shared brush stays shared within one clone).
  ReferenceTarget* Clone(RemapDir& remap) override;
  // Own data: the name. The graph writer saves the slots.
  IOResult Save(ISave* isave) override;
  // Reads the name; after the graph is read, an empty block or brush slot
  // gets a default one.
  IOResult Load(ILoad* iload) override;

  void FinishLoad();

 protected:
  void SetReference(int i, ReferenceTarget* target) override;

 private:
  ReferenceTarget* refs_[kSettingNumRefs] = {};
  Interval ivalid_;
  bool loading_ = false;
};

}  // namespace tarnis
