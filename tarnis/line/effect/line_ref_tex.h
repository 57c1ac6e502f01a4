// LineRefTex: a reflection/refraction map that puts the lines of the scene's
// line effects into what it reflects. It wraps a reflect/refract map of the
// host (its base map, the host's cubic map when new): when the renderer asks
// it to build its maps, it hands the base map a LineRefContext, so every
// sub-view the base map renders gets the lines drawn into it as seen from
// that sub-view; at shading time it answers what the base map answers.
//
// References: 0 the block "main", 1 the block "color_mod", 2 the base map
// (sub-map 0, "BASE REF MAP"). Maps saved before the colour-range block
// existed hold the base map in slot 1; the post-load repair moves it up and
// gives the map a colour-range block at its defaults.
#pragma once

#include "sdk/mtl.h"
#include "sdk/param_block.h"
#include "tarnis/line/engine/line_engine.h"

class ClassDesc2;

namespace tarnis {

inline constexpr Class_ID kLineRefTexClassID(0x54022257, 0x0814ED97);

inline constexpr int kRefTexMainRef = 0;
inline constexpr int kRefTexColorModRef = 1;
inline constexpr int kRefTexBaseMapRef = 2;
inline constexpr int kRefTexNumRefs = 3;

inline constexpr int kRefTexBlockMain = 0;
inline constexpr int kRefTexBlockColorMod = 1;

// Parameters of the block "main" (block id 0).
enum LineRefTexParamID : ParamID {
  kRefTexBaseMap = 0,
  kRefTexSizeScaling = 1,
  kRefTexLineColorReplaceColor = 2,
  kRefTexLineBlendEnable = 3,
  kRefTexLineBlendType = 4,
  kRefTexLineBlendAlpha = 5,
  kRefTexEdgeObjectDisable = 6,
  kRefTexEdgeNormalDisable = 7,
  kRefTexEdgeMaterialDisable = 8,
  kRefTexEdgeSmoothDisable = 9,
  kRefTexEdgeISectDisable = 10,
  kRefTexLineColorReplaceEnable = 11,
  kRefTexLineColorReplaceAmount = 12,
};

// Parameters of the block "color_mod" (block id 1).
enum LineRefTexColorModParamID : ParamID {
  kRefTexColorModType = 0,
  kRefTexColorModR = 1,
  kRefTexColorModG = 2,
  kRefTexColorModB = 3,
  kRefTexLineColorModEnable = 4,
};

// The settings file section that holds the users' colour-range defaults.
inline constexpr char kLineRefTexColorRangeSection[] = "LineRefTexColorRange";
// The base map's sub-map slot name.
inline constexpr char kRefTexBaseMapSlotName[] = "BASE REF MAP";

ParamBlockDesc2* LineRefTexBlockDesc(int block);
// Binds both blocks to the map's class descriptor.
void BindLineRefTexBlocks(ClassDesc2* cd);
// Reads the colour-range defaults from `ini` (section
// kLineRefTexColorRangeSection) into the "color_mod" descriptor.
void LoadLineRefTexDefaults(class IniHandler& ini);

class LineRefTex : public Texmap {
 public:
  // A new map with both blocks at their defaults and a new host cubic map
  // as base map. With `loading` every slot stays empty for a saved scene.
  explicit LineRefTex(bool loading = false);
  ~LineRefTex() override;

  IParamBlock2* MainBlock() const;
  IParamBlock2* ColorModBlock() const;
  Texmap* BaseMap() const;

  // The draw options of the map's line passes from the blocks at time t:
  // map mode off, no excluded instance, no clip planes and no mirror (the
  // sub-view render fills those in).
  LineDrawOptions DrawOptions(TimeValue t) const;

  // Seconds the line passes of this map's sub-views have taken so far.
  double LinePassSeconds() const { return linePassSeconds_; }

  // Writes the current colour range into the users' settings file and
  // makes it the default of maps made afterwards.
  void SaveColorRangeAsDefault();

  // --- Texmap: the base map's answers ----------------------------------------------
  AColor EvalColor(ShadeContext& sc) override;
  float EvalMono(ShadeContext& sc) override;
  Point3 EvalNormalPerturb(ShadeContext& sc) override;
  UVGen* GetTheUVGen() override;
  int GetMapChannel() override;

  // --- MtlBase ---------------------------------------------------------------------
  void Update(TimeValue t, Interval& valid) override;
  // Blocks back to their defaults; the base map reset, or a new host cubic
  // map when there is none.
  void Reset() override;
  Interval Validity(TimeValue t) override;
  uint32_t Requirements(int subMtlNum) override;
  void LocalMappingsRequired(int subMtlNum, std::vector<int>& channels) override;
  // Lets the base map build its sub-views through a LineRefContext; true
  // at once without a base map.
  bool BuildMaps(TimeValue t, RenderMapsContext& rmc) override;
  int NumSubTexmaps() override { return 1; }
  Texmap* GetSubTexmap(int i) override;
  void SetSubTexmap(int i, Texmap* m) override;
  CStr GetSubTexmapSlotName(int i) override;

  // --- Object model ----------------------------------------------------------------
  Class_ID ClassID() override { return kLineRefTexClassID; }
  void GetClassName(CStr& s) override;
  int NumRefs() override { return kRefTexNumRefs; }
  ReferenceTarget* GetReference(int i) override;
  int NumSubs() override { return kRefTexNumRefs; }
  Animatable* SubAnim(int i) override { return GetReference(i); }
  CStr SubAnimName(int i) override;
  RefResult NotifyRefChanged(const Interval& changeInt, ReferenceTarget* target, PartID& partID,
                             RefMessage message) override;
  ReferenceTarget* Clone(RemapDir& remap) override;
  // Reads the name and registers the post-load repair.
  IOResult Load(ILoad* iload) override;
  // The post-load repair: a map saved with fewer than two blocks gets its
  // references moved one slot up and a new colour-range block in slot 1;
  // then a slot holding the wrong kind of object is emptied (with a
  // warning) and a missing block is made at its defaults.
  void RepairAfterLoad(ILoad* iload);

 protected:
  void SetReference(int i, ReferenceTarget* target) override;

 private:
  bool Fits(int slot, ReferenceTarget* target) const;
  // The base map unless it leads back to this map.
  Texmap* UsableBase() const;

  ReferenceTarget* refs_[kRefTexNumRefs] = {};
  Interval ivalid_;
  bool loading_ = false;
  double linePassSeconds_ = 0.0;
};

}  // namespace tarnis
