// The host's texture maps: BitmapTex (an image file), Checker and Noise.
// Each holds its parameter block in reference 0 and its coordinates, a
// StdUVGenImpl made with the map, in reference 1; the block's parameter
// "coords" (P_OWNERS_REF) names that reference so scene files can give
// `"refs": {"coords": {...}}`. Sub-maps (the checker's and noise's map1 and
// map2) live in the block. Update (interface thread) fills each map's working
// copy; EvalColor, EvalMono and EvalNormalPerturb only read it, so render
// threads may call them concurrently.
//
// Colours are premultiplied by their alpha. Outside the unit square of an
// axis that neither wraps nor mirrors (the coordinates' tiling flags) a map
// answers transparent black, as it does where the coordinates hide it
// (hideMapBack).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/std_uvgen.h"
#include "sdk/class_desc.h"
#include "sdk/mtl.h"
#include "sdk/param_block.h"

namespace host {

class TextureImage;

inline constexpr Class_ID kBitmapTexClassID(0x6A170102, 0x2B4E0002);
inline constexpr Class_ID kCheckerClassID(0x6A170103, 0x2B4E0002);
inline constexpr Class_ID kNoiseClassID(0x6A170104, 0x2B4E0002);

// Reference slots of every map here.
inline constexpr int kMapBlockRef = 0;
inline constexpr int kMapCoordsRef = 1;

// What the three maps share: the block and coordinates, Update and validity,
// sub-maps held in the block, bump from finite differences, cloning.
class StdTexmap : public Texmap {
 public:
  // --- Texmap -----------------------------------------------------------------
  AColor EvalColor(ShadeContext& sc) override;
  // Camera-space perturbation from central differences of the map's mono
  // value along the coordinates' source directions: minus the gradient per
  // unit of source coordinate, kept perpendicular to the shading normal.
  // Brighter reads as higher.
  Point3 EvalNormalPerturb(ShadeContext& sc) override;
  UVGen* GetTheUVGen() override { return coords_; }
  int GetMapChannel() override { return coords_ ? coords_->GetMapChannel() : 1; }

  // --- MtlBase ----------------------------------------------------------------
  // Re-reads the block, the coordinates and the sub-maps when t is outside
  // the working copy's validity. A sub-map that would make a cycle (it
  // references this map, directly or through others) is removed from its
  // slot, with a warning (TakeMapWarnings).
  void Update(TimeValue t, Interval& valid) override;
  Interval Validity(TimeValue t) override;
  // MTLREQ_UV when the coordinates read map channel 1, plus the sub-maps'.
  uint32_t Requirements(int subMtlNum) override;
  void LocalMappingsRequired(int subMtlNum, std::vector<int>& channels) override;
  int NumSubTexmaps() override { return static_cast<int>(SubMapParams().size()); }
  Texmap* GetSubTexmap(int i) override;
  void SetSubTexmap(int i, Texmap* m) override;
  CStr GetSubTexmapSlotName(int i) override;

  // --- Object model -------------------------------------------------------------
  int NumRefs() override { return 2; }
  ReferenceTarget* GetReference(int i) override;
  int NumSubs() override { return 2; }
  Animatable* SubAnim(int i) override { return GetReference(i); }
  CStr SubAnimName(int i) override;
  RefResult NotifyRefChanged(const Interval& changeInt, ReferenceTarget* target, PartID& partID,
                             RefMessage message) override;

  IParamBlock2* ParamBlock() const { return pb_; }
  StdUVGenImpl* Coords() const { return coords_; }

 protected:
  StdTexmap() = default;
  // Makes the blocks and the coordinates of a new map and fills the working
  // copy at time 0; `loading` leaves the slots for a saved scene to fill.
  void Init(ClassDesc2* cd, bool loading);
  void SetReference(int i, ReferenceTarget* target) override;
  // Makes `copy` (created for loading) a clone of this map: the references
  // go through `remap`, the name and validity are copied.
  void CloneInto(StdTexmap* copy, RemapDir& remap);

  // The colour at transformed coordinates `uvw` whose footprint is `duv`.
  virtual AColor Sample(ShadeContext& sc, const Point3& uvw, const Point2& duv) = 0;
  // Reads the map's own parameters at t into its working copy.
  virtual void ReadParams(TimeValue t, Interval& valid) = 0;
  // Block parameters holding sub-maps, in sub-map order.
  virtual std::vector<ParamID> SubMapParams() const { return {}; }
  // Source axes the map varies along (2 for images, 3 for solid textures).
  virtual int NumBumpAxes() const { return 2; }
  // Smallest finite-difference step, in source units.
  virtual float MinBumpStep() const { return 1e-3f; }

  // A sub-map's colour, or `fallback` without one.
  AColor SubColor(ShadeContext& sc, int i, const AColor& fallback);

 private:
  void EnsureCoords();
  void DropCyclicSubMaps();

  IParamBlock2* pb_ = nullptr;
  ReferenceTarget* coordsRef_ = nullptr;  // what slot 1 holds
  StdUVGenImpl* coords_ = nullptr;        // the same when it is a StdUVGenImpl
  Interval ivalid_;
  bool updating_ = false;
};

// Parameter ids of the bitmap's block "bitmap".
enum BitmapTexParam : ParamID {
  kBmFilename = 0,
  kBmFiltering,
  kBmAlphaSource,
  kBmCoords,
};
// Alpha sources.
inline constexpr int kAlphaFromImage = 0;
inline constexpr int kAlphaFromRGB = 1;  // intensity as alpha
inline constexpr int kAlphaOpaque = 2;

// An image file through LoadTexture. A file that cannot be read renders
// opaque black; its error is kept (LoadError) and reported once through
// TakeMapWarnings. Filenames are used as given.
class BitmapTex final : public StdTexmap {
 public:
  explicit BitmapTex(bool loading = false);

  Class_ID ClassID() override { return kBitmapTexClassID; }
  void GetClassName(CStr& s) override { s = "Bitmap"; }
  ReferenceTarget* Clone(RemapDir& remap) override;

  // The image of the working copy (null when none is loaded).
  const std::shared_ptr<const TextureImage>& Image() const { return image_; }
  // Why the current file could not be loaded; empty when it was (or none is set).
  const std::string& LoadError() const { return loadError_; }

 protected:
  AColor Sample(ShadeContext& sc, const Point3& uvw, const Point2& duv) override;
  void ReadParams(TimeValue t, Interval& valid) override;

 private:
  std::shared_ptr<const TextureImage> image_;
  std::string loadedPath_, loadError_;
  bool filtering_ = true;
  int alphaSource_ = kAlphaFromImage;
};

// Parameter ids of the checker's block "checker".
enum CheckerParam : ParamID {
  kCkColor1 = 0,
  kCkColor2,
  kCkMap1,
  kCkMap2,
  kCkSoften,
  kCkCoords,
};

// Two colours (or maps) in a 2 x 2 checkerboard over the unit square:
// color1 where u and v are both below 0.5 or both above, color2 elsewhere.
// Edges are box-filtered over the footprint widened by soften × 0.5.
class Checker final : public StdTexmap {
 public:
  explicit Checker(bool loading = false);

  Class_ID ClassID() override { return kCheckerClassID; }
  void GetClassName(CStr& s) override { s = "Checker"; }
  ReferenceTarget* Clone(RemapDir& remap) override;

 protected:
  AColor Sample(ShadeContext& sc, const Point3& uvw, const Point2& duv) override;
  void ReadParams(TimeValue t, Interval& valid) override;
  std::vector<ParamID> SubMapParams() const override { return {kCkMap1, kCkMap2}; }

 private:
  Color color1_, color2_{1.0f, 1.0f, 1.0f};
  float soften_ = 0.0f;
};

// Parameter ids of the noise's block "noise".
enum NoiseParam : ParamID {
  kNzColor1 = 0,
  kNzColor2,
  kNzMap1,
  kNzMap2,
  kNzSize,
  kNzType,
  kNzLevels,
  kNzPhase,
  kNzLow,
  kNzHigh,
  kNzCoords,
};
inline constexpr int kNoiseRegular = 0;
inline constexpr int kNoiseFractal = 1;
inline constexpr int kNoiseTurbulence = 2;

// A solid texture: 3-D gradient noise of the coordinates divided by size. A
// noise map made by its class reads object XYZ (its coordinates' uvwSource);
// coordinates given to it later start from the generator's own defaults.
// Regular noise, a fractal sum of `levels` octaves, or turbulence (the sum
// of absolute octaves). The value v (0..1) goes through the thresholds —
// (v - low) / (high - low), clamped — and mixes color1 (at 0) into color2
// (at 1).
class Noise final : public StdTexmap {
 public:
  explicit Noise(bool loading = false);

  Class_ID ClassID() override { return kNoiseClassID; }
  void GetClassName(CStr& s) override { s = "Noise"; }
  ReferenceTarget* Clone(RemapDir& remap) override;

  // The thresholded noise value (0..1) at transformed coordinates `uvw`.
  float Value(const Point3& uvw) const;

 protected:
  AColor Sample(ShadeContext& sc, const Point3& uvw, const Point2& duv) override;
  void ReadParams(TimeValue t, Interval& valid) override;
  std::vector<ParamID> SubMapParams() const override { return {kNzMap1, kNzMap2}; }
  int NumBumpAxes() const override { return 3; }
  float MinBumpStep() const override { return size_ * 1e-3f; }

 private:
  Color color1_, color2_{1.0f, 1.0f, 1.0f};
  float size_ = 25.0f, phase_ = 0.0f, low_ = 0.0f, high_ = 1.0f;
  int type_ = kNoiseRegular, levels_ = 3;
};

ClassDesc2* GetBitmapTexDesc();
ClassDesc2* GetCheckerDesc();
ClassDesc2* GetNoiseDesc();

// Warnings the maps raised since the last call (missing textures, removed
// cyclic sub-maps), each text once; the renderer adds them to its report.
std::vector<std::string> TakeMapWarnings();

}  // namespace host
