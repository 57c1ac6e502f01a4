// StdMtl, the host's standard material, and BlinnShader, the lighting model
// it shades through by default.
//
// StdMtl keeps every setting in its block "main" (reference 0): colours,
// levels, opacity, self-illumination, two-sidedness and six maps with their
// amounts and on-switches. Reference 1 holds the shader (the block's
// parameter "shader" names it, so scene files can give `"refs": {"shader":
// {...}}`). Sub-map i is the map of illumination channel i (ID_DI diffuse,
// ID_BU bump, ID_SS specular level, ID_SH glossiness, ID_OP opacity, ID_RL
// reflection); the other channels have no map.
//
// Shade(sc), in order:
//   1. opacity o = opacity, mixed towards the opacity map's mono value by its
//      amount; in shadow mode only sc.out.t = 1 - o is written;
//   2. bump: the normal becomes normalize(N + d × bumpAmount), d the bump
//      map's perturbation, negated on back faces; the caller's normal is put
//      back before Shade returns;
//   3. diffuse: the diffuse map composited over the diffuse colour
//      (premultiplied: map + colour × (1 - map alpha)), mixed in by its amount;
//      ambient follows it when adLock is on; specular level and glossiness
//      mix towards their maps' mono values by their amounts;
//   4. IllumParams: the shader's GetIllumParams, then the material's values
//      over the standard channels (the shader's own values matter only for
//      channels the material does not set); ambIllumOut = sc.ambientLight;
//   5. the shader's Illum; without a self-illumination colour, selfIllum s
//      gives selfIllumOut = diffuse × s and scales the lit ambient and
//      diffuse parts by 1 - s;
//   6. reflection: the reflection map's colour (environment maps look along
//      the context's reflect vector) × reflectionAmount;
//   7. the shader's CombineComponents; sc.out.c = finalC, sc.out.t = 1 - o.
// The renderer does not shade back faces of one-sided materials
// (Requirements answers MTLREQ_2SIDE for two-sided ones).
#pragma once

#include "sdk/class_desc.h"
#include "sdk/mtl.h"
#include "sdk/param_block.h"

namespace host {

inline constexpr Class_ID kStdMtlClassID = STANDARD_MATERIAL_CLASS_ID;
inline constexpr Class_ID kBlinnShaderClassID(0x6A170106, 0x2B4E0002);

// Parameter ids of the Blinn shader's block "blinn".
enum BlinnParam : ParamID {
  kBlAmbient = 0,
  kBlDiffuse,
  kBlSpecular,
  kBlSelfIllumColor,
  kBlSelfIllum,
  kBlGlossiness,
  kBlSpecularLevel,
  kBlSoften,
};

// Blinn-Phong lighting. For every light the context offers that reaches the
// sample: ambient-only lights add to the ambient light; others add
// colour × diffuseCoef to the diffuse light (when they affect diffuse) and
// colour × level × max(N·H, 0)^e × soften(N·L) to the specular light (when
// they affect specular, the level is above 0 and N·L > 0), with H the unit
// half-vector between the light and the viewer and the exponent
// e = 2^(2 + 10 × glossiness): 4 at glossiness 0, 8 at the default 0.1,
// 4096 at 1. soften(N·L) = smoothstep(0, soften, N·L) dims highlights of
// lights at grazing angles (1 when soften is 0). The outputs are the gathered
// light times the ambient, diffuse and specular channel colours; the
// self-illumination output is the ID_SI channel.
//
// Setters and getters use fractions (glossiness 0.1 is the block's 10 %).
class BlinnShader final : public Shader {
 public:
  explicit BlinnShader(bool loading = false);

  void Update(TimeValue t, Interval& valid) override;
  void Reset() override;
  // Ambient, diffuse and specular colours, glossiness and level as grey
  // colours, and selfIllumColor + diffuse × selfIllum as ID_SI.
  void GetIllumParams(ShadeContext& sc, IllumParams& ip) override;
  void Illum(ShadeContext& sc, IllumParams& ip) override { Gather(sc, ip, w_.soften); }
  // Illum with a soften level given by the caller (the standard material's).
  void Gather(ShadeContext& sc, IllumParams& ip, float soften) const;

  void SetAmbientClr(const Color& c, TimeValue t) override;
  void SetDiffuseClr(const Color& c, TimeValue t) override;
  void SetSpecularClr(const Color& c, TimeValue t) override;
  void SetSelfIllumClr(const Color& c, TimeValue t) override;
  void SetSelfIllum(float v, TimeValue t) override;
  void SetGlossiness(float v, TimeValue t) override;
  void SetSpecularLevel(float v, TimeValue t) override;
  Color GetAmbientClr(int, bool) override { return w_.ambient; }
  Color GetDiffuseClr(int, bool) override { return w_.diffuse; }
  Color GetSpecularClr(int, bool) override { return w_.specular; }
  float GetGlossiness(int, bool) override { return w_.glossiness; }
  float GetSpecularLevel(int, bool) override { return w_.level; }
  float GetSelfIllum(int, bool) override { return w_.selfIllum; }

  Class_ID ClassID() override { return kBlinnShaderClassID; }
  void GetClassName(CStr& s) override { s = "Blinn"; }
  int NumRefs() override { return 1; }
  ReferenceTarget* GetReference(int i) override { return i == 0 ? pb_ : nullptr; }
  int NumSubs() override { return 1; }
  Animatable* SubAnim(int i) override { return GetReference(i); }
  CStr SubAnimName(int i) override { return i == 0 ? "Parameters" : ""; }
  RefResult NotifyRefChanged(const Interval& changeInt, ReferenceTarget* target, PartID& partID,
                             RefMessage message) override;
  ReferenceTarget* Clone(RemapDir& remap) override;
  IParamBlock2* ParamBlock() const { return pb_; }

 protected:
  void SetReference(int i, ReferenceTarget* target) override;

 private:
  struct Working {
    Color ambient, diffuse, specular, selfIllumColor;
    float selfIllum = 0, glossiness = 0.1f, level = 0, soften = 0.1f;  // fractions
  };
  void Set(ParamID id, const PB2Value& v, TimeValue t);

  IParamBlock2* pb_ = nullptr;
  Working w_;
  Interval ivalid_;
};

// Parameter ids of the standard material's block "main".
enum StdMtlParam : ParamID {
  kSmAmbient = 0,
  kSmDiffuse,
  kSmSpecular,
  kSmAdLock,
  kSmSpecularLevel,
  kSmGlossiness,
  kSmSoften,
  kSmOpacity,
  kSmSelfIllum,
  kSmSelfIllumColor,
  kSmUseSelfIllumColor,
  kSmTwoSided,
  kSmDiffuseMap,
  kSmDiffuseMapAmount,
  kSmDiffuseMapOn,
  kSmBumpMap,
  kSmBumpAmount,
  kSmBumpMapOn,
  kSmSpecularLevelMap,
  kSmSpecularLevelMapAmount,
  kSmSpecularLevelMapOn,
  kSmGlossinessMap,
  kSmGlossinessMapAmount,
  kSmGlossinessMapOn,
  kSmOpacityMap,
  kSmOpacityMapAmount,
  kSmOpacityMapOn,
  kSmReflectionMap,
  kSmReflectionAmount,
  kSmReflectionMapOn,
  kSmShader,
};

inline constexpr int kStdMtlBlockRef = 0;
inline constexpr int kStdMtlShaderRef = 1;

class StdMtl final : public Mtl {
 public:
  // A material at its defaults with a new Blinn shader; `loading` leaves the
  // slots for a saved scene to fill.
  explicit StdMtl(bool loading = false);

  // --- Mtl --------------------------------------------------------------------
  void Shade(ShadeContext& sc) override;
  Color GetAmbient(int = 0, bool = false) override { return w_.ambient; }
  Color GetDiffuse(int = 0, bool = false) override { return w_.diffuse; }
  Color GetSpecular(int = 0, bool = false) override { return w_.specular; }
  float GetShininess(int = 0, bool = false) override { return w_.glossiness; }
  float GetShinStr(int = 0, bool = false) override { return w_.level; }
  float GetXParency(int = 0, bool = false) override { return 1.0f - w_.opacity; }

  // --- MtlBase ----------------------------------------------------------------
  // Re-reads the block when t is outside the working copy's validity,
  // updates the shader and the maps, and puts a new Blinn shader in
  // reference 1 when it holds no shader.
  void Update(TimeValue t, Interval& valid) override;
  Interval Validity(TimeValue t) override;
  void Reset() override;
  // MTLREQ_2SIDE when two-sided; MTLREQ_TRANSP when opacity is below 100 or
  // an opacity map is on; MTLREQ_BUMP when a bump map is on; plus what the
  // maps that are on require (MTLREQ_UV for map channel 1, MTLREQ_AUTOREFLECT
  // for maps that render sub-views). Read at the time of the last Update.
  uint32_t Requirements(int subMtlNum) override;
  void LocalMappingsRequired(int subMtlNum, std::vector<int>& channels) override;
  int NumSubTexmaps() override { return kStdIllumChannels; }
  Texmap* GetSubTexmap(int i) override;
  // Slots without a map parameter ignore the call.
  void SetSubTexmap(int i, Texmap* m) override;
  CStr GetSubTexmapSlotName(int i) override;
  // A map is on when it is set and its on-switch is on.
  bool SubTexmapOn(int i) override;

  // --- Object model -------------------------------------------------------------
  Class_ID ClassID() override { return kStdMtlClassID; }
  void GetClassName(CStr& s) override { s = "Standard"; }
  int NumRefs() override { return 2; }
  ReferenceTarget* GetReference(int i) override;
  int NumSubs() override { return 2; }
  Animatable* SubAnim(int i) override { return GetReference(i); }
  CStr SubAnimName(int i) override;
  RefResult NotifyRefChanged(const Interval& changeInt, ReferenceTarget* target, PartID& partID,
                             RefMessage message) override;
  ReferenceTarget* Clone(RemapDir& remap) override;

  IParamBlock2* ParamBlock() const { return pb_; }
  // The shader in reference 1 (null when it holds something else).
  Shader* GetShader() const { return shader_; }

 protected:
  void SetReference(int i, ReferenceTarget* target) override;

 private:
  struct MapSlot {
    Texmap* map = nullptr;  // null when unset or switched off
    float amount = 1.0f;    // fraction
  };
  struct Working {
    Color ambient, diffuse, specular, selfIllumColor;
    bool adLock = true, useSelfIllumColor = false, twoSided = false;
    float level = 0, glossiness = 0.1f, soften = 0.1f, opacity = 1, selfIllum = 0;
    MapSlot diffuseMap, bumpMap, levelMap, glossinessMap, opacityMap, reflectionMap;
  };
  void ReadBlock(TimeValue t, Interval& valid);
  MapSlot ReadMap(TimeValue t, Interval& valid, ParamID map, ParamID amount, ParamID on);
  float Opacity(ShadeContext& sc) const;
  Point3 BumpedNormal(ShadeContext& sc) const;
  void FillChannels(ShadeContext& sc, IllumParams& ip, float opacity) const;
  // The maps that are set and on, at the time of the last Update.
  std::vector<Texmap*> ActiveMaps();

  IParamBlock2* pb_ = nullptr;
  ReferenceTarget* shaderRef_ = nullptr;  // what slot 1 holds
  Shader* shader_ = nullptr;              // the same when it is a Shader
  Working w_;
  Interval ivalid_;
  TimeValue lastTime_ = 0;
};

ClassDesc2* GetStdMtlDesc();
ClassDesc2* GetBlinnShaderDesc();

}  // namespace host
