// StdUVGenImpl: the host's standard texture-coordinate generator, the
// "coords" of the bitmap, checker and noise maps. It picks the source
// coordinates (a mesh map channel, object or world XYZ, the screen, or an
// environment direction), then rotates them about the centre of the unit
// square, offsets and tiles them, and optionally jitters them with noise.
// Every setting is a parameter of its block "coords"; the getters and setters
// of StdUVGen read and write that block. GetUV / GetUVW read the working copy
// that Update fills, so render threads only read.
//
// Coordinate transform, in order, for source coordinates (u, v, w):
//   1. centre: (u - 0.5, v - 0.5, w);
//   2. rotate: the image turns counter-clockwise by wAngle on the surface
//      (coordinates turn by -wAngle about w), then by vAngle about v and
//      uAngle about u;
//   3. noise (flag UV_NOISE): u and v move by noiseAmount × 0.1 × fractal
//      noise of (u, v) / noiseSize over noiseLevel octaves; with UV_NOISE_ANI
//      the noise evolves with noisePhase;
//   4. back from the centre (+0.5 on u and v), then u' = (u - uOffset) × uTiling
//      and v' = (v - vOffset) × vTiling: the image moves by the offset and
//      repeats `tiling` times across the source's unit square.
// The footprint (duv) is the source footprint turned and scaled like the
// coordinates, times blur, plus blurOffset.
// Environment mappings look along sc.ReflectVector() in world space (on a
// surface that is the mirrored view; contexts of the background answer the
// view direction there): spherical u = 0.5 - azimuth / 2π (u = 0.5 looks
// along world +x), v = 0.5 + elevation / π; cylindrical v = 0.5 + z / (2 r_xy);
// shrink-wrap puts straight up at the image centre and straight down on its
// rim. Wrapping and mirroring (the tiling flags) are left to the maps, which
// know what lies outside the unit square. The symmetry and clip settings are
// kept for the settings files; sampling does not read them.
#pragma once

#include "sdk/class_desc.h"
#include "sdk/mtl.h"
#include "sdk/param_block.h"

namespace host {

inline constexpr Class_ID kStdUVGenClassID = STANDARD_UVGEN_CLASS_ID;

// Parameter ids of the "coords" block.
enum StdUVGenParam : ParamID {
  kUVMapping = 0,
  kUVUOffset,
  kUVVOffset,
  kUVUTiling,
  kUVVTiling,
  kUVUAngle,
  kUVVAngle,
  kUVWAngle,
  kUVBlur,
  kUVBlurOffset,
  kUVNoiseAmount,
  kUVNoiseSize,
  kUVNoiseLevel,
  kUVNoisePhase,
  kUVTiling,
  kUVMapChannel,
  kUVSymmetry,
  kUVHideMapBack,
  kUVWSource,
  kUVSlotType,
  kUVAxis,
  kUVClip,
  kUVFlags,
};

// Folds a tiled coordinate into 0..1: wrapping keeps the fraction, mirroring
// reflects every other repeat; without either a coordinate outside 0..1 is
// outside the image and the answer is false.
bool TileCoordinate(float& x, bool wrap, bool mirror);
// TileCoordinate on u (U_WRAP, U_MIRROR) and v (V_WRAP, V_MIRROR).
bool TileUV(Point2& uv, int tilingFlags);

class StdUVGenImpl final : public StdUVGen {
 public:
  // A generator with the block at its defaults; `loading` leaves the block
  // slot empty for a saved scene to fill.
  explicit StdUVGenImpl(bool loading = false);

  // --- UVGen --------------------------------------------------------------
  void GetUV(ShadeContext& sc, Point2& uv, Point2& duv) override;
  Point3 GetUVW(ShadeContext& sc) override;

  // The transformed coordinates (what GetUVW answers) and their footprint
  // (what GetUV answers as duv), from one look-up of the source.
  Point3 MapUVW(ShadeContext& sc, Point2& duv);
  // The tiling flags of the working copy (U_WRAP ... V_MIRROR), for sampling.
  int TilingFlags() const { return w_.tiling; }
  // Source coordinates before the transform, and their footprint.
  Point3 SourceUVW(ShadeContext& sc, Point3* footprint = nullptr);
  // The source coordinates through the transform (steps 1-4 above).
  Point3 TransformUVW(const Point3& source) const;
  // Camera-space directions in which the source u, v and w grow at the
  // sample (unit length, zero where the source has none: screen and
  // environment mappings, or a channel without derivatives).
  void SourceDirections(ShadeContext& sc, Point3 dirs[3]);
  // True when the map must not show at this sample: hideMapBack is on and a
  // planar XYZ projection sees the back of the surface.
  bool HidesSample(ShadeContext& sc);
  // The mesh map channel the coordinates come from, or -1 when they come
  // from elsewhere (XYZ, screen, environment). Read from the block.
  int SourceChannel();

  // --- MtlBase ------------------------------------------------------------
  void Update(TimeValue t, Interval& valid) override;
  Interval Validity(TimeValue t) override;
  void Reset() override;

  // --- StdUVGen ------------------------------------------------------------
  int GetCoordMapping(int = 0) override { return GetInt(kUVMapping); }
  void SetCoordMapping(int v) override { Pb()->SetValue(kUVMapping, 0, v); }
  float GetUOffs(TimeValue t) override { return Pb()->GetFloat(kUVUOffset, t); }
  float GetVOffs(TimeValue t) override { return Pb()->GetFloat(kUVVOffset, t); }
  float GetUScl(TimeValue t) override { return Pb()->GetFloat(kUVUTiling, t); }
  float GetVScl(TimeValue t) override { return Pb()->GetFloat(kUVVTiling, t); }
  float GetAng(TimeValue t) override { return GetWAng(t); }
  float GetUAng(TimeValue t) override { return GetRadians(kUVUAngle, t); }
  float GetVAng(TimeValue t) override { return GetRadians(kUVVAngle, t); }
  float GetWAng(TimeValue t) override { return GetRadians(kUVWAngle, t); }
  float GetBlur(TimeValue t) override { return Pb()->GetFloat(kUVBlur, t); }
  float GetBlurOffs(TimeValue t) override { return Pb()->GetFloat(kUVBlurOffset, t); }
  float GetNoiseAmt(TimeValue t) override { return Pb()->GetFloat(kUVNoiseAmount, t); }
  float GetNoiseSize(TimeValue t) override { return Pb()->GetFloat(kUVNoiseSize, t); }
  int GetNoiseLev(TimeValue t) override { return Pb()->GetInt(kUVNoiseLevel, t); }
  float GetNoisePhs(TimeValue t) override { return Pb()->GetFloat(kUVNoisePhase, t); }
  void SetUOffs(float v, TimeValue t) override { Pb()->SetValue(kUVUOffset, t, v); }
  void SetVOffs(float v, TimeValue t) override { Pb()->SetValue(kUVVOffset, t, v); }
  void SetUScl(float v, TimeValue t) override { Pb()->SetValue(kUVUTiling, t, v); }
  void SetVScl(float v, TimeValue t) override { Pb()->SetValue(kUVVTiling, t, v); }
  void SetAng(float v, TimeValue t) override { SetWAng(v, t); }
  void SetUAng(float v, TimeValue t) override { SetRadians(kUVUAngle, v, t); }
  void SetVAng(float v, TimeValue t) override { SetRadians(kUVVAngle, v, t); }
  void SetWAng(float v, TimeValue t) override { SetRadians(kUVWAngle, v, t); }
  void SetBlur(float v, TimeValue t) override { Pb()->SetValue(kUVBlur, t, v); }
  void SetBlurOffs(float v, TimeValue t) override { Pb()->SetValue(kUVBlurOffset, t, v); }
  void SetNoiseAmt(float v, TimeValue t) override { Pb()->SetValue(kUVNoiseAmount, t, v); }
  void SetNoiseSize(float v, TimeValue t) override { Pb()->SetValue(kUVNoiseSize, t, v); }
  void SetNoiseLev(int v, TimeValue t) override { Pb()->SetValue(kUVNoiseLevel, t, v); }
  void SetNoisePhs(float v, TimeValue t) override { Pb()->SetValue(kUVNoisePhase, t, v); }
  int GetTextureTiling() override { return GetInt(kUVTiling); }
  void SetTextureTiling(int v) override { Pb()->SetValue(kUVTiling, 0, v); }
  int GetMapChannel() override { return GetInt(kUVMapChannel); }
  void SetMapChannel(int v) override { Pb()->SetValue(kUVMapChannel, 0, v); }
  // 1 when every bit of `flag` (UV_NOISE, UV_NOISE_ANI) is set, else 0.
  int GetFlag(int flag) override { return (GetInt(kUVFlags) & flag) == flag && flag != 0; }
  void SetFlag(int flag, int value) override;
  int GetSymFlags() override { return GetInt(kUVSymmetry); }
  void SetSymFlags(int v) override { Pb()->SetValue(kUVSymmetry, 0, v); }
  bool GetHideMapBackFlag() override { return GetInt(kUVHideMapBack) != 0; }
  void SetHideMapBackFlag(bool v) override { Pb()->SetValue(kUVHideMapBack, 0, v); }
  int GetUVWSource() override { return GetInt(kUVWSource); }
  void SetUVWSource(int v) override { Pb()->SetValue(kUVWSource, 0, v); }
  int GetSlotType() override { return GetInt(kUVSlotType); }
  void SetSlotType(int v) override { Pb()->SetValue(kUVSlotType, 0, v); }
  int GetAxis() override { return GetInt(kUVAxis); }
  void SetAxis(int v) override { Pb()->SetValue(kUVAxis, 0, v); }
  int GetClipFlag() override { return GetInt(kUVClip); }
  void SetClipFlag(int v) override { Pb()->SetValue(kUVClip, 0, v); }

  // --- Object model ------------------------------------------------------------
  Class_ID ClassID() override { return kStdUVGenClassID; }
  void GetClassName(CStr& s) override { s = "StdUVGen"; }
  int NumRefs() override { return 1; }
  ReferenceTarget* GetReference(int i) override { return i == 0 ? pb_ : nullptr; }
  int NumSubs() override { return 1; }
  Animatable* SubAnim(int i) override { return i == 0 ? pb_ : nullptr; }
  CStr SubAnimName(int i) override { return i == 0 ? "coords" : ""; }
  RefResult NotifyRefChanged(const Interval& changeInt, ReferenceTarget* target, PartID& partID,
                             RefMessage message) override;
  ReferenceTarget* Clone(RemapDir& remap) override;
  IParamBlock2* ParamBlock() const { return pb_; }

 protected:
  void SetReference(int i, ReferenceTarget* target) override;

 private:
  // What Update reads from the block; angles in radians.
  struct Working {
    int mapping = UVMAP_EXPLICIT, source = UVWSRC_EXPLICIT, axis = 0, channel = 1, flags = 0;
    int tiling = U_WRAP | V_WRAP;
    bool hideBack = false;
    float uOffset = 0, vOffset = 0, uTiling = 1, vTiling = 1;
    float cosU = 1, sinU = 0, cosV = 1, sinV = 0, cosW = 1, sinW = 0;
    float blur = 1, blurOffset = 0;
    float noiseAmount = 1, noiseSize = 1, noisePhase = 0;
    int noiseLevel = 1;
  };

  IParamBlock2* Pb() const {
    TARNIS_CHECK(pb_ != nullptr) << "StdUVGen without its block";
    return pb_;
  }
  int GetInt(ParamID id) { return Pb()->GetInt(id, 0); }
  float GetRadians(ParamID id, TimeValue t);
  void SetRadians(ParamID id, float radians, TimeValue t);
  Point3 EnvironmentUVW(ShadeContext& sc) const;
  Point3 AxisOrder(const Point3& p) const;
  Point2 Footprint(const Point3& sourceFootprint) const;

  // The radians last given to an angle setter and the degrees stored for
  // them: degrees floats cannot hold every radians float, so the getter
  // answers the given value while the block still holds what was stored.
  struct AngleMemo {
    bool set = false;
    float degrees = 0.0f, radians = 0.0f;
  };

  IParamBlock2* pb_ = nullptr;
  Working w_;
  Interval ivalid_;
  AngleMemo angles_[3];  // u, v, w
};

// The generator's class descriptor ("StdUVGen").
ClassDesc2* GetStdUVGenDesc();

}  // namespace host
