// Brush: everything that decides how one drawn line looks — the tip, how a
// line is cut into strokes and laid, how edge chains become lines, a path
// distortion, size and opacity falloff along the stroke, and a colour range.
// A texture-map class so that line settings can reference, share and copy
// brushes; its own colour evaluation is the tip (seed 0) at the sample's
// map channel 1, which only previews use.
//
// References: 0..5 the six parameter blocks (brush_params.h), 6 the tip map
// (sub-map 0), 7 the distortion map (sub-map 1), 8 and 9 the size and opacity
// falloff curves. A slot takes only what belongs there; while a saved brush
// is being read every slot takes anything, and the post-load repair
// (BrushPostLoadCallback) puts old layouts right and fills what is missing.
//
// Update (interface thread) fills the working copy; Values, Tip and the
// stamp cache only read it, so render threads may use a brush between
// updates. The stroke seed belongs to whoever draws with the brush: set it
// and sample the tip on the same thread.
#pragma once

#include <cstdint>

#include "sdk/mtl.h"
#include "sdk/param_block.h"
#include "tarnis/line/brush/brush_params.h"
#include "tarnis/line/brush/brush_tip.h"

class CurveControl;

namespace tarnis {

inline constexpr Class_ID kBrushClassID(0x3C1E671C, 0x7C0F52A1);

class Brush : public Texmap {
 public:
  // A new brush with default blocks and curves, its working copy filled at
  // time 0. With `loading` every slot stays empty for a saved scene to fill.
  explicit Brush(bool loading = false);
  ~Brush() override;

  // --- Working copy ------------------------------------------------------------
  // The values of the last Update.
  const BrushValues& Values() const { return values_; }
  // The tip for the current stroke seed; it reads this brush's working copy,
  // so it is valid until the next Update.
  BrushTip Tip() const { return BrushTip(values_.tip, seed_); }
  // The stroke seed: 0 means no randomness.
  void SetStrokeSeed(uint16_t seed) { seed_ = seed; }
  uint16_t StrokeSeed() const { return seed_; }
  // Different for every rebuild of every brush's working copy in this
  // process, so caches keyed by it never mistake one state for another.
  uint64_t Generation() const { return generation_; }

  // The blocks and curves in their slots, or null when a slot is empty.
  IParamBlock2* Block(int block) const;
  CurveControl* SizeCurve() const;
  CurveControl* AlphaCurve() const;

  // --- Texmap ------------------------------------------------------------------
  AColor EvalColor(ShadeContext& sc) override;
  float EvalMono(ShadeContext& sc) override;

  // --- MtlBase -----------------------------------------------------------------
  // Rebuilds the working copy when t is outside its validity: first the
  // curves when a reset is pending, then the blocks and the maps the brush
  // uses. A map that would lead back to this brush is not used.
  void Update(TimeValue t, Interval& valid) override;
  // Every block back to its defaults, both maps removed; the next Update
  // gives the curves their default shape.
  void Reset() override;
  Interval Validity(TimeValue t) override;
  int NumSubTexmaps() override { return 2; }
  Texmap* GetSubTexmap(int i) override;
  void SetSubTexmap(int i, Texmap* m) override;
  CStr GetSubTexmapSlotName(int i) override;

  // --- Object model --------------------------------------------------------------
  Class_ID ClassID() override { return kBrushClassID; }
  void GetClassName(CStr& s) override;
  int NumRefs() override { return kBrushNumRefs; }
  ReferenceTarget* GetReference(int i) override;
  RefResult NotifyRefChanged(const Interval& changeInt, ReferenceTarget* target, PartID& partID,
                             RefMessage message) override;
  // A copy with cloned blocks, maps and curves, the same name and seed.
  ReferenceTarget* Clone(RemapDir& remap) override;
  // Own data: the name. The graph writer saves the slots.
  IOResult Save(ISave* isave) override;
  // Reads the name and registers the post-load repair.
  IOResult Load(ILoad* iload) override;

  // The post-load repair: a brush saved before the colour range existed
  // (slot 7 holds something that is not a texture map) gets a default
  // "color_mod" block in slot 5 and its later references move up one place;
  // then every slot holding the wrong kind of object, and every empty block
  // or curve slot, gets a default, each with a warning when something was
  // dropped. Afterwards the slots are strict again.
  void RepairAfterLoad(ILoad* iload);

  // The built-in shape of a falloff curve: three nodes, rising from 0 to
  // full size at the middle of the stroke and back to 0. New curves (and
  // the curves of a reset brush) take the user's default shapes from
  // "tarnis_line.ini" instead when it holds them whole.
  static void SetDefaultCurve(CurveControl& curve);

 protected:
  void SetReference(int i, ReferenceTarget* target) override;

 private:
  bool Fits(int slot, ReferenceTarget* target) const;
  // A map of slot `ref` that Update may use: set, a texture map, and not
  // leading back to this brush.
  Texmap* UsableMap(int ref);
  void ShiftOldLayout(ILoad* iload);
  void FillMissing(ILoad* iload);
  // The user's default shape for the curve of slot `ref` from the brush
  // settings file, or the built-in one when the file has no whole curve.
  static void LoadDefaultCurve(CurveControl& curve, int ref);
  void NewCurve(int ref);
  void ResetCurves();

  ReferenceTarget* refs_[kBrushNumRefs] = {};
  BrushValues values_;
  Interval ivalid_;
  uint64_t generation_ = 0;
  uint16_t seed_ = 0;
  bool loading_ = false;
  bool curvesPending_ = false;
  bool updating_ = false;
};

}  // namespace tarnis
