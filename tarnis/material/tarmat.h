// Tarmat: the toon material. It shades a surface with up to four flat colour
// zones picked by a gradation value gathered from the lights, cross-fades
// them across the gaps between their cores, adds a highlight shaped by
// glossiness, anisotropy, orientation, sharpness and a designed outline,
// and optionally bump, reflection, a shadow colour, light-colour mixing and
// hatching strokes per zone. Its base material supplies lighting,
// transparency and the shadow pass; its advanced-settings material
// (TarmatExt) the refinements.
//
// Update (interface thread) fills the working copy; Shade (render threads)
// only reads it. Zone borders are kept ordered by the editing operations
// below; the working copy takes the blocks as they are.
//
// The stroke slots and the advanced-settings slot take whatever they are
// given, as a drop onto a slot does; the next Update puts back the stroke map
// or advanced-settings material that last left a slot when the slot is empty
// or holds the wrong kind of object, and warns.
#pragma once

#include <array>
#include <vector>

#include "sdk/mtl.h"
#include "sdk/param_block.h"
#include "tarnis/material/grad_settings.h"
#include "tarnis/material/tarmat_ext.h"
#include "tarnis/material/tarmat_params.h"
#include "tarnis/material/zone_stroke.h"
#include "tarnis/material/zone_shading.h"

namespace tarnis {

inline constexpr Class_ID kTarmatClassID(0x54022257, 0x0814C54E);
class TarmatExtShader;

// One shaded sample's parts, handed to the render elements that collect the
// toon material's components (render elements implementing
// ToonSampleReceiver).
struct ToonSample {
  ZoneWeights weights{};                   // the zones' weights
  std::array<Color, kToonZones> withStrokes;     // zone colours, strokes and reflection in
  std::array<Color, kToonZones> withoutStrokes;  // ... reflection in, no strokes
  std::array<Color, kToonZones> unreflected;     // ... neither (the colour before reflection)
  // ... the colour before reflection with the zone's strokes laid on it;
  // filled only for reflected samples while a render element takes samples.
  std::array<Color, kToonZones> unreflectedWithStrokes;
  std::array<float, kToonZones> strokeCoverage{};  // strongest stroke coverage per zone
  float opacity = 1.0f;                    // the base material's coverage
  float highlight = 0.0f;                  // shaped highlight amount
  Color highlightColor;
  int highlightBlend = 0;                  // blend index 0..15
  float shadow = 0.0f;                     // shadow amount
  Color shadowColor;
  int shadowBlend = 0;
  bool reflected = false;                  // the sample has a reflection colour
  bool strokes = false;                    // the material draws strokes only
};

class ToonSampleReceiver {
 public:
  virtual ~ToonSampleReceiver() = default;
  // Writes this element's value for the sample into sc.out.elementVals[slot].
  virtual void ReceiveToonSample(ShadeContext& sc, int slot, const ToonSample& sample) = 0;
};

// A zone of the working copy (fractions where the block holds percentages,
// except the map opacity, which stays 0..100).
struct ZoneValues {
  ZoneCore core;
  bool enable = true;
  Color color;
  float mapOpacity = 100.0f;
  bool mapEnable = true;
  Texmap* map = nullptr;
  int blend = 0;
  float alpha = 1.0f;
  bool strokeEnable[kTarmatStrokesPerZone] = {};
  ZoneStroke* strokes[kTarmatStrokesPerZone] = {};  // enabled stroke maps, else null
};

// The working copy Shade reads.
struct TarmatValues {
  Mtl* base = nullptr;
  float shade = 0.0f;
  Color hiColor{1.0f, 1.0f, 1.0f};
  int hiBlend = 0;
  float hiAlpha = 1.0f;
  float hiLevel = 0.0f;
  float hiGross = 0.1f;
  float hiAniso = 0.0f;
  float hiOrient = 0.0f;
  float hiSharp = 0.0f;
  float hiMapOpacity = 100.0f;
  bool hiMapEnable = true;
  Texmap* hiMap = nullptr;
  Texmap* hiLevelMap = nullptr;
  Texmap* hiGrossMap = nullptr;
  bool bumpEnable = false;
  float bumpAmount = 0.3f;
  Texmap* bumpMap = nullptr;
  bool reflecEnable = false;
  float reflecAmount = 1.0f;
  Texmap* reflecMap = nullptr;
  bool rndAuto = false;
  int rndInterval = 1;
  bool rndMoveDetect = false;
  bool strokeOnly = false;
  bool strokeHiddenFace = false;
  float strokeScale = 1.0f;  // 1 / (strokeScale × 0.01)
  std::array<ZoneValues, kToonZones> zones;
  TarmatExtValues ext;       // all off without an advanced-settings material
};

class Tarmat final : public Mtl {
 public:
  // A new material: a standard base material, a new advanced-settings
  // material and the default zone layout. With `loading` the slots stay
  // empty for a saved scene to fill.
  explicit Tarmat(bool loading = false);
  ~Tarmat() override;

  const TarmatValues& Values() const { return values_; }
  IParamBlock2* Block(int block) const;
  TarmatExt* Ext() const;

  // --- Mtl ----------------------------------------------------------------------
  void Shade(ShadeContext& sc) override;
  int NumSubMtls() override { return 2; }
  Mtl* GetSubMtl(int i) override;
  void SetSubMtl(int i, Mtl* m) override;
  CStr GetSubMtlSlotName(int i) override;
  Color GetDiffuse(int = 0, bool = false) override;

  // --- MtlBase ------------------------------------------------------------------
  // The slot check, then the working copy when t is outside its validity.
  void Update(TimeValue t, Interval& valid) override;
  Interval Validity(TimeValue t) override;
  // New base and advanced-settings materials, no maps, the zones from the
  // current gradation defaults. Runs at once (the host's reset).
  void Reset() override;
  uint32_t Requirements(int subMtlNum) override;
  void LocalMappingsRequired(int subMtlNum, std::vector<int>& channels) override;
  int NumSubTexmaps() override { return kTarmatNumSubTexmaps; }
  Texmap* GetSubTexmap(int i) override;
  void SetSubTexmap(int i, Texmap* m) override;
  CStr GetSubTexmapSlotName(int i) override;
  bool BuildMaps(TimeValue t, RenderMapsContext& rmc) override;

  // --- Object model ---------------------------------------------------------------
  Class_ID ClassID() override { return kTarmatClassID; }
  void GetClassName(CStr& s) override;
  int NumRefs() override { return kTarmatNumRefs; }
  ReferenceTarget* GetReference(int i) override;
  int NumSubs() override { return kTarmatNumRefs; }
  Animatable* SubAnim(int i) override { return GetReference(i); }
  CStr SubAnimName(int i) override;
  RefResult NotifyRefChanged(const Interval& changeInt, ReferenceTarget* target, PartID& partID,
                             RefMessage message) override;
  ReferenceTarget* Clone(RemapDir& remap) override;
  IOResult Save(ISave* isave) override;
  // Reads the name and registers the post-load repair.
  IOResult Load(ILoad* iload) override;
  // After a load: objects of the wrong kind leave their slots (with a
  // warning), missing blocks are made, and the slots turn strict again.
  void RepairAfterLoad(ILoad* iload);

  // --- Editing operations (the zone panels' buttons call these) ----------------------
  // Sets zone z's core minimum or maximum (0..100) at t, keeping the zones
  // ordered: a minimum below the previous zone's maximum lowers that maximum
  // to it, a maximum above the next zone's minimum raises that minimum. The
  // value is first limited to what the zone's spinner allows
  // (ZoneMinLimits / ZoneMaxLimits).
  void SetZoneMin(int zone, float value, TimeValue t);
  void SetZoneMax(int zone, float value, TimeValue t);
  // The spinner limits: a minimum from the previous zone's minimum (0 for
  // the first zone) to its own maximum; a maximum from its own minimum to the
  // next zone's maximum (100 for the last zone).
  std::pair<float, float> ZoneMinLimits(int zone, TimeValue t);
  std::pair<float, float> ZoneMaxLimits(int zone, TimeValue t);

  // The four zones' (min, max) pairs at t; PasteZonePositions sets all of
  // them as one undo step.
  using ZonePositions = std::array<std::pair<float, float>, kToonZones>;
  ZonePositions CopyZonePositions(TimeValue t);
  void PasteZonePositions(const ZonePositions& positions, TimeValue t);

  // The zone layout (min, max, colour, blend, amount per zone) at t, for
  // saving as the default of new materials.
  GradationLayout ZoneLayout(TimeValue t);

  // Stroke sets: the maps of a zone's enabled stroke slots (null where a
  // slot is off), and pasting them into a zone's same slots, switching those
  // on: as instances, or as copies. One undo step.
  using StrokeSet = std::array<Texmap*, kTarmatStrokesPerZone>;
  StrokeSet CopyStrokeSet(int zone, TimeValue t);
  void PasteStrokeSet(int zone, const StrokeSet& set, bool instance, TimeValue t);

  // Saves ZoneLayout(t) as the layout new materials start from (the
  // gradation settings file); false when it could not be written.
  bool SaveZoneLayoutAsDefault(TimeValue t);

  // The stroke seed of a sample (re-seeded over time when stroke animation
  // is on; 0 otherwise).
  int StrokeSeed(ShadeContext& sc) const;

 protected:
  void SetReference(int i, ReferenceTarget* target) override;

 private:
  bool Fits(int slot, ReferenceTarget* target) const;
  void CreatePrivateObjects();
  void ApplyGradationDefaults(const GradationLayout& layout);
  // New stroke maps in all 24 stroke slots (switched off).
  void FillStrokeSlots();
  // Puts back what last left the stroke and advanced-settings slots where
  // they now hold the wrong kind of object; warns once per kind.
  void CheckSlots();
  void ReadValues(TimeValue t, Interval& valid);
  void UpdatePrivate(TimeValue t, Interval& valid);
  Texmap* RefMap(int ref) const;
  float ZoneValue(int zone, ParamID id, TimeValue t);

  ReferenceTarget* refs_[kTarmatNumRefs] = {};
  TarmatValues values_;
  Interval ivalid_;
  bool loading_ = false;
  bool updating_ = false;

  // Private objects: the extension shader all lighting is gathered through
  // and the holders.
  ReferenceHolder shader_;
  ReferenceHolder extHolder_;
  ReferenceHolder strokeHolders_[kToonZones];
};

// The zone panels' clipboards, held while the plug-in is loaded (interface
// thread). Pasting from an empty clipboard changes nothing and answers false.
void CopyZonePositionsToClipboard(Tarmat& mtl, TimeValue t);
bool PasteZonePositionsFromClipboard(Tarmat& mtl, TimeValue t);
// The stroke-set clipboard keeps the copied maps alive until the next copy.
void CopyStrokeSetToClipboard(Tarmat& mtl, int zone, TimeValue t);
bool PasteStrokeSetFromClipboard(Tarmat& mtl, int zone, bool instance, TimeValue t);

}  // namespace tarnis
