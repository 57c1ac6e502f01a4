// TarmatExt, the toon material's advanced settings, and TarmatExtHolder, the
// invisible material that keeps the advanced settings a toon material last
// accepted.
//
// TarmatExt never shades. It holds the settings that refine a toon material
// (gradation offset, shadow blend, light-colour mixing, the design highlight
// and zone-border anti-aliasing) so that one set can be shared by many toon
// materials as an instance. The toon material copies the working set
// (TarmatExtValues) after each Update; a default-constructed working set means
// "every extension feature off", which is what a toon material uses when it
// has no advanced settings.
//
// References: 0 the block "main", 1 the gradation-offset map (sub-map 0),
// 2 the shadow map (sub-map 1), 3 the design outline, a QvPolygonCtrl whose
// radius in a direction shapes the design highlight. A slot takes only what
// belongs there; while a saved material is being read every slot takes
// anything, and the repair after loading drops what does not belong and fills
// what is missing.
//
// Update runs on the interface thread; the working set is only read by the
// render threads between updates.
#pragma once

#include "sdk/mtl.h"
#include "sdk/param_block.h"

class ClassDesc2;

namespace tarnis {

class QvPolygonCtrl;

inline constexpr Class_ID kTarmatExtClassID(0x54022257, 0x0814C55D);
inline constexpr Class_ID kTarmatExtHolderClassID(0x54022257, 0x0814EC6D);

inline constexpr int kTarmatExtBlockID = 0;
inline constexpr int kTarmatExtBlockRef = 0;
inline constexpr int kTarmatExtGradOffsetMapRef = 1;
inline constexpr int kTarmatExtShadowMapRef = 2;
inline constexpr int kTarmatExtOutlineRef = 3;
inline constexpr int kTarmatExtNumRefs = 4;
// The zones a toon material has, one light-colour switch each.
inline constexpr int kTarmatExtNumZones = 4;
// The design outline of a new or reset material is a regular hexagon.
inline constexpr int kDesignOutlineNodes = 6;

// Parameters of the block "main", in the order they are declared. The ids are
// stored in saved scenes and are not contiguous.
enum TarmatExtParamID : ParamID {
  kGradOffsetEnable = 0,
  kGradOffsetAmount = 1,
  kGradOffsetMap = 2,
  kGradOffsetMapOfs = 25,
  kSblendEnable = 3,
  kSblendColor = 4,
  kSblendMapOpacity = 5,
  kSblendMapEnable = 6,
  kSblendMap = 7,
  kSblendBlend = 8,
  kSblendAlpha = 9,
  kLightcolEnable = 10,
  kLightcolBlend = 20,
  kLightcolAlpha = 11,
  kLightcolZone = 18,
  kLightcolRelpaceEnable = 21,
  kLightcolRelpaceColor = 22,
  kLightcolReplaceAmount = 23,
  kHiZoneEnable = 15,
  kHiZoneAmount = 16,
  kHiZoneAngle = 17,
  kZoneAnti = 19,
  kZoneAntiEnable = 24,
};

// What a toon material reads of its advanced settings. Percentages are
// fractions here. The two maps and the outline point into the material and
// stay valid until its next Update.
struct TarmatExtValues {
  // Shifts the gradation by (map mono value + gradOffsetMapOfs) × amount;
  // off whenever the amount is 0 or there is no map.
  bool gradOffsetEnable = false;
  float gradOffsetAmount = 0.0f;
  float gradOffsetMapOfs = 0.0f;
  Texmap* gradOffsetMap = nullptr;

  // Shadow colour blended over shadowed parts.
  bool sblendEnable = false;
  Color sblendColor;
  float sblendMapOpacity = 0.0f;
  bool sblendMapEnable = false;
  Texmap* sblendMap = nullptr;
  int sblendBlend = 0;
  float sblendAlpha = 0.0f;

  // The light colour mixed into the zone colours, optionally pulled towards
  // a replacement colour first.
  bool lightcolEnable = false;
  int lightcolBlend = 0;
  float lightcolAlpha = 0.0f;
  bool lightcolZone[kTarmatExtNumZones] = {};
  bool lightcolReplaceEnable = false;
  Color lightcolReplaceColor;
  float lightcolReplaceAmount = 0.0f;

  // The design highlight: the outline reshapes the highlight lobe by
  // designAmount (0 when off) around the direction designAngle (radians).
  bool hiZoneEnable = false;
  float designAmount = 0.0f;
  float designAngle = 0.0f;

  // Zone-border anti-aliasing width factor, 0 when off.
  float zoneAnti = 0.0f;

  QvPolygonCtrl* outline = nullptr;
};

ParamBlockDesc2* TarmatExtBlockDesc();
void BindTarmatExtBlock(ClassDesc2* cd);

class TarmatExt : public Mtl {
 public:
  // A material at its defaults: the block, no maps, a hexagonal outline of
  // radius 1, the working set filled at time 0. With `loading` every slot
  // stays empty for a saved scene to fill.
  explicit TarmatExt(bool loading = false);

  // --- Working set -------------------------------------------------------------
  // The values of the last Update.
  const TarmatExtValues& Values() const { return values_; }
  // The block and the outline in their slots, or null.
  IParamBlock2* Block() const;
  QvPolygonCtrl* Outline() const;

  // --- Mtl -----------------------------------------------------------------------
  // Advanced settings are read by the toon material; shading them leaves the
  // sample untouched.
  void Shade(ShadeContext&) override {}

  // --- MtlBase -------------------------------------------------------------------
  // Rebuilds the working set when t is outside its validity, updating the
  // maps it uses; the validity joins the block's, the maps' and the
  // outline's. A map that would lead back to this material is not used.
  void Update(TimeValue t, Interval& valid) override;
  Interval Validity(TimeValue t) override;
  // The block back to its defaults, both maps removed, the outline (made
  // when missing) a regular hexagon of radius 1 with corner nodes at 0°, 60°,
  // 120°, -180°, -120° and -60°.
  void Reset() override;
  int NumSubTexmaps() override { return 2; }
  Texmap* GetSubTexmap(int i) override;
  void SetSubTexmap(int i, Texmap* m) override;
  CStr GetSubTexmapSlotName(int i) override;

  // --- Object model --------------------------------------------------------------
  Class_ID ClassID() override { return kTarmatExtClassID; }
  void GetClassName(CStr& s) override;
  int NumRefs() override { return kTarmatExtNumRefs; }
  ReferenceTarget* GetReference(int i) override;
  RefResult NotifyRefChanged(const Interval& changeInt, ReferenceTarget* target, PartID& partID,
                             RefMessage message) override;
  // A copy with a cloned block, maps and outline and the same name.
  ReferenceTarget* Clone(RemapDir& remap) override;
  // Own data: the name. The graph writer saves the slots.
  IOResult Save(ISave* isave) override;
  // Reads the name and registers the repair after loading.
  IOResult Load(ILoad* iload) override;

  // The repair after loading: every slot holding the wrong kind of object is
  // emptied with a warning, a missing block or outline gets a default one,
  // and the slots are strict again.
  void RepairAfterLoad(ILoad* iload);

 protected:
  void SetReference(int i, ReferenceTarget* target) override;

 private:
  bool Fits(int slot, ReferenceTarget* target) const;
  // The map of slot `ref` when it is set and does not lead back here.
  Texmap* UsableMap(int ref);
  // Makes the outline when missing and gives it the hexagon.
  void ResetOutline();

  ReferenceTarget* refs_[kTarmatExtNumRefs] = {};
  TarmatExtValues values_;
  Interval ivalid_;
  TimeValue lastTime_ = 0;
  bool loading_ = false;
  bool updating_ = false;
};

// Keeps the advanced-settings material a toon material last accepted, so an
// assignment of anything else to the toon material's slot can be undone.
// One material reference (sub-material 0), no parameters, no shading.
class TarmatExtHolder : public Mtl {
 public:
  TarmatExtHolder() = default;

  void Shade(ShadeContext&) override {}
  void Update(TimeValue, Interval&) override {}
  Interval Validity(TimeValue) override { return FOREVER; }

  int NumSubMtls() override { return 1; }
  Mtl* GetSubMtl(int i) override { return i == 0 ? mtl_ : nullptr; }
  // Replaces the kept material (null empties the holder).
  void SetSubMtl(int i, Mtl* m) override;

  Class_ID ClassID() override { return kTarmatExtHolderClassID; }
  void GetClassName(CStr& s) override;
  int NumRefs() override { return 1; }
  ReferenceTarget* GetReference(int i) override { return i == 0 ? mtl_ : nullptr; }
  ReferenceTarget* Clone(RemapDir& remap) override;

 protected:
  // The slot takes only a material.
  void SetReference(int i, ReferenceTarget* target) override;

 private:
  Mtl* mtl_ = nullptr;
};

}  // namespace tarnis
