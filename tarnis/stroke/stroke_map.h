// Stroke: the hatching texture map. It lays short strokes over its
// coordinates (the hatch field of stroke_field.h), each with its own random
// angle, position, width and length, an optional width and opacity profile
// along its length and a random colour offset. The toon material composites
// it onto its zones through ZoneStroke; in any other map slot it answers its
// colour premultiplied by its coverage.
//
// References: 0..4 the parameter blocks (stroke_params.h), 5 the coordinate
// generator (the host's standard one), 6 and 7 the size and opacity curves,
// 8 the colour map `strokeMap` (sub-map 0). A slot takes only what belongs
// there; while a saved map is being read every slot takes anything, and the
// post-load repair puts right what is missing or wrong.
//
// Update (interface thread) fills the working copy, including private copies
// of the two curves; sampling (ShadeStroke, Eval*, Sample) reads only that
// copy, so render threads sample concurrently between updates. The stroke
// seed travels with the sample, never in the map.
#pragma once

#include "sdk/curve_control.h"
#include "sdk/mtl.h"
#include "sdk/param_block.h"
#include "tarnis/material/zone_stroke.h"
#include "tarnis/stroke/stroke_field.h"
#include "tarnis/stroke/stroke_params.h"

namespace tarnis {

// A stroke colour and its coverage (0..1), the colour not premultiplied.
struct StrokeResult {
  Color colour{0.0f, 0.0f, 0.0f};
  float coverage = 0.0f;
};

class Stroke : public Texmap, public ZoneStroke {
 public:
  // A new stroke map with default blocks, a standard coordinate generator
  // (when the host offers one) and curves from the settings file, its
  // working copy filled at time 0. With `loading` every slot stays empty for
  // a saved scene to fill.
  explicit Stroke(bool loading = false);
  ~Stroke() override;

  // --- Working copy --------------------------------------------------------------
  const StrokeValues& Values() const { return values_; }
  // The stroke at map coordinates `uv` for `seed` and the stroke scale
  // factor `scale`; `sc` gives the object, normal and device the coordinate
  // set-up reads, and the sample the colour map is evaluated at. Without a
  // render context those steps change nothing.
  StrokeResult Sample(ShadeContext& sc, const Point2& uv, int seed, float scale) const;
  // The same at the coordinates the generator gives for the sample (map
  // channel 1 as they are without a generator).
  StrokeResult Evaluate(ShadeContext& sc, int seed, float scale) const;

  // The blocks, generator and curves in their slots, or null when a slot is
  // empty or holds something else.
  IParamBlock2* Block(int block) const;
  StdUVGen* Generator() const;
  CurveControl* SizeCurve() const;
  CurveControl* AlphaCurve() const;

  // --- ZoneStroke ------------------------------------------------------------------
  // Evaluates the stroke in a StrokeShadeContext carrying seed and scale;
  // where it covers the sample, its coverage k becomes opacity x strokeAlpha x
  // k and the stroke colour is blended into `colour` with strokeBlend by k.
  // Answers k (0 where nothing covers the sample).
  float ShadeStroke(ShadeContext& sc, float opacity, Color& colour, int seed, float scale) override;

  // --- Texmap ----------------------------------------------------------------------
  // Seed 0 and scale 1, the colour premultiplied by the coverage (alpha);
  // in a StrokeShadeContext its seed and scale, the colour as it is.
  AColor EvalColor(ShadeContext& sc) override;
  // The mean of the clamped colour EvalColor gives.
  float EvalMono(ShadeContext& sc) override;
  // Derivatives of the mono value along the surface directions of the
  // coordinates' u and v, each scaled by 0.02; zero for coordinates without
  // surface directions (screen and environment mappings).
  Point3 EvalNormalPerturb(ShadeContext& sc) override;
  UVGen* GetTheUVGen() override;
  int GetMapChannel() override;

  // --- MtlBase ---------------------------------------------------------------------
  // Rebuilds the working copy when t is outside its validity: first the
  // curves when a reset is pending, then the blocks, the generator, the
  // colour map (unless it leads back to this map) and the curves' copies.
  void Update(TimeValue t, Interval& valid) override;
  // Every block and the generator back to their defaults, the colour map
  // removed; the next Update gives the curves their default shapes.
  void Reset() override;
  Interval Validity(TimeValue t) override;
  uint32_t Requirements(int subMtlNum) override;
  void LocalMappingsRequired(int subMtlNum, std::vector<int>& channels) override;
  int NumSubTexmaps() override { return 1; }
  Texmap* GetSubTexmap(int i) override;
  void SetSubTexmap(int i, Texmap* m) override;
  CStr GetSubTexmapSlotName(int i) override;

  // --- Object model ----------------------------------------------------------------
  Class_ID ClassID() override { return kStrokeClassID; }
  void GetClassName(CStr& s) override;
  int NumRefs() override { return kStrokeNumRefs; }
  ReferenceTarget* GetReference(int i) override;
  RefResult NotifyRefChanged(const Interval& changeInt, ReferenceTarget* target, PartID& partID,
                             RefMessage message) override;
  // A copy with cloned blocks, generator, curves and map, and the same name.
  ReferenceTarget* Clone(RemapDir& remap) override;
  // Own data: the name. The graph writer saves the slots.
  IOResult Save(ISave* isave) override;
  // Reads the name and registers the post-load repair.
  IOResult Load(ILoad* iload) override;

  // The post-load repair: every slot holding the wrong kind of object is
  // emptied with a warning, then every empty block, generator and curve slot
  // gets a default. Afterwards the slots are strict again.
  void RepairAfterLoad(ILoad* iload);

  // The built-in shape of a profile curve: two nodes, (0, 1) to (1, 1), a
  // constant full factor. New curves take the user's shapes from
  // "tarnis_stroke.ini" instead when it holds them whole.
  static void SetDefaultCurve(CurveControl& curve);

 protected:
  void SetReference(int i, ReferenceTarget* target) override;

 private:
  bool Fits(int slot, ReferenceTarget* target) const;
  // The colour map when it is set, a texture map and does not lead back
  // to this stroke map.
  Texmap* UsableMap();
  void NewGenerator();
  void NewCurve(int ref);
  void ResetCurves();
  void FillMissing(ILoad* iload);
  // Copies the curve of slot `ref` into `copy` (points in x order); false
  // when the slot holds no curve.
  bool CopyCurve(int ref, CurveControl& copy) const;
  // The cell sums and colour of the sample once its pattern coordinates are known.
  StrokeResult Shade(ShadeContext& sc, float x, float y, int seed) const;

  ReferenceTarget* refs_[kStrokeNumRefs] = {};
  StrokeValues values_;
  // What the working copy samples with.
  UVGen* generator_ = nullptr;
  Texmap* map_ = nullptr;
  bool screen_ = false;  // the generator gives screen coordinates
  CurveControl sizeProfile_, alphaProfile_;
  StrokeProfiles profiles_;
  Interval ivalid_;
  bool loading_ = false;
  bool curvesPending_ = false;
  bool updating_ = false;
};

}  // namespace tarnis
