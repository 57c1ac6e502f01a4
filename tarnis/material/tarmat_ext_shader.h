// TarmatExtShader: the shader every toon material keeps privately and
// gathers its light through. It follows the host's standard shader
// conventions (ambient, diffuse and specular colours, levels, glossiness,
// self-illumination, locks) with an anisotropic specular lobe that the
// design highlight of the advanced settings can reshape.
//
// Block "shaderParameters" (reference 0) holds the settings; percentages are
// stored as the user sees them (0..100) and the setters and getters work in
// fractions (SetGlossiness(0.1f, t) stores 10).
//
// GetIllumParams fills the illumination channels with this shader's own
// numbering, not the ID_* channels of a standard material:
//   0 ambient (the diffuse colour when adLock), 1 diffuse, 2 specular (the
//   diffuse colour when dsLock), 3 diffuse level, 4 specular level,
//   5 glossiness, 6 anisotropy, 7 orientation × 0.5555556 (so that
//   orientation 1.8 turns the highlight by a whole π), 8 self-illumination
//   (the colour when useSelfIllumColor, else the amount as grey).
//
// Gather (and Illum, which calls it) only reads the channels, the working
// copy and the design inputs, so render threads may call it concurrently
// between updates.
#pragma once

#include "sdk/mtl.h"
#include "sdk/param_block.h"

class ClassDesc2;

namespace tarnis {

class QvPolygonCtrl;

inline constexpr Class_ID kTarmatExtShaderClassID(0x54022257, 0x0814EB92);
inline constexpr int kExtShaderBlockID = 0;
inline constexpr int kExtShaderBlockRef = 0;

// Parameters of the block "shaderParameters".
enum ExtShaderParamID : ParamID {
  kEsAmbient = 0,
  kEsDiffuse = 1,
  kEsSpecular = 2,
  kEsSelfIllumColor = 3,
  kEsDiffuseLevel = 4,
  kEsSpecularLevel = 5,
  kEsSelfIllumAmount = 6,
  kEsGlossiness = 7,
  kEsAnisotropy = 8,
  kEsOrientation = 9,
  kEsUnused = 10,
  kEsAdTextureLock = 11,
  kEsAdLock = 12,
  kEsDsLock = 13,
  kEsUseSelfIllumColor = 14,
};

// The shader's illumination channels (see the top of this file).
enum ExtShaderChannel : int {
  kChAmbient = 0,
  kChDiffuse = 1,
  kChSpecular = 2,
  kChDiffuseLevel = 3,
  kChSpecularLevel = 4,
  kChGlossiness = 5,
  kChAnisotropy = 6,
  kChOrientation = 7,
  kChSelfIllum = 8,
};

// Orientation fraction to channel 7: one unit of the toon material's hiOrient
// (after its ×0.01) turns the highlight by one degree.
inline constexpr float kOrientationToChannel = 0.5555556f;

ParamBlockDesc2* ExtShaderBlockDesc();
void BindExtShaderBlock(ClassDesc2* cd);

// The specular lobe for the unit light direction L (towards the light), the
// unit view direction V (camera towards the point), the unit normal N and
// the tangent T (any length; projected onto the surface, and replaced by a
// fixed tangent when it is zero or along N). The lobe narrows along the two
// tangent axes by the roughnesses 0.485(1 - glossiness) + 0.015 (across the
// tangent scaled by 1 - anisotropy); `orientation` turns the tangent about N
// by orientation × π. `diffuseCoef` below 0 means N·L. With a design amount
// and an outline, the exponent is scaled by 1 - (1 - 1/R) × amount, R the
// outline's radius in the direction of H × N plus `designAngle`. 0 when the
// half vector faces away from N.
float AnisotropicLobe(const Point3& L, const Point3& V, const Point3& N, const Point3& T,
                      float glossiness, float anisotropy, float orientation, float diffuseCoef,
                      float designAmount, float designAngle, const QvPolygonCtrl* outline);

// What the toon material takes from one gathering of light.
struct ToonLighting {
  float gradation = 0;  // mean of (ambient + diffuse light) × final attenuation
  float aaScale = 0;    // summed diffuse light strength × |surface curvature|
  float highlight = 0;  // mean of the specular light
};

class TarmatExtShader : public Shader {
 public:
  // A shader at its defaults; with `loading` the block slot stays empty for
  // a saved scene to fill.
  explicit TarmatExtShader(bool loading = false);

  // --- Shading -------------------------------------------------------------------
  // Gathers the lights of the context into ip's ambient, diffuse and
  // specular outputs (ambIllumOut arrives holding the context's ambient
  // light) and answers the toon material's three values. Lights that do not
  // reach the point or light it from behind add nothing; ambient-only lights
  // add to the ambient light.
  ToonLighting Gather(ShadeContext& sc, IllumParams& ip) const;
  void Illum(ShadeContext& sc, IllumParams& ip) override { Gather(sc, ip); }
  void GetIllumParams(ShadeContext& sc, IllumParams& ip) override;

  // The design-highlight inputs of the advanced settings: amount (0 off),
  // angle (radians), edge sharpness, and the outline, which must stay alive
  // until the next call.
  void SetDesign(float amount, float angle, float sharpness, const QvPolygonCtrl* outline);
  float DesignAmount() const { return designAmount_; }
  float DesignAngle() const { return designAngle_; }
  float DesignSharpness() const { return designSharpness_; }
  const QvPolygonCtrl* DesignOutline() const { return outline_; }

  // --- Settings (fractions) --------------------------------------------------------
  void SetAmbientClr(const Color& c, TimeValue t) override;
  void SetDiffuseClr(const Color& c, TimeValue t) override;
  void SetSpecularClr(const Color& c, TimeValue t) override;
  void SetSelfIllumClr(const Color& c, TimeValue t) override;
  void SetSelfIllum(float v, TimeValue t) override;
  void SetGlossiness(float v, TimeValue t) override;
  void SetSpecularLevel(float v, TimeValue t) override;
  void SetDiffuseLevel(float v, TimeValue t);
  void SetAnisotropy(float fraction, TimeValue t);
  // The turn of the highlight: channel 7 is fraction × 0.5555556 and turns
  // the tangent by channel × π.
  void SetOrientation(float fraction, TimeValue t);
  Color GetAmbientClr(int, bool) override { return w_.ambient; }
  Color GetDiffuseClr(int, bool) override { return w_.diffuse; }
  Color GetSpecularClr(int, bool) override { return w_.specular; }
  Color GetSelfIllumClr() const { return w_.selfIllumColor; }
  float GetGlossiness(int, bool) override { return w_.glossiness; }
  float GetSpecularLevel(int, bool) override { return w_.specularLevel; }
  float GetSelfIllum(int, bool) override { return w_.selfIllum; }
  float GetDiffuseLevel() const { return w_.diffuseLevel; }
  float GetAnisotropy() const { return w_.anisotropy; }
  float GetOrientation() const { return w_.orientation; }

  // --- Exposure control: flags the host reads, stored and answered as set ----------
  bool GetNoExposure() const { return noExposure_; }
  void SetNoExposure(bool on) { noExposure_ = on; }
  bool GetInvertSelfIllum() const { return invertSelfIllum_; }
  void SetInvertSelfIllum(bool on) { invertSelfIllum_ = on; }
  bool GetInvertReflect() const { return invertReflect_; }
  void SetInvertReflect(bool on) { invertReflect_ = on; }
  bool GetInvertRefract() const { return invertRefract_; }
  void SetInvertRefract(bool on) { invertRefract_ = on; }

  // --- Shader ------------------------------------------------------------------------
  // Re-reads the block when t is outside the working copy's validity; puts a
  // new block in reference 0 when it holds none.
  void Update(TimeValue t, Interval& valid) override;
  // The block back to its defaults.
  void Reset() override;

  // --- Object model --------------------------------------------------------------------
  Class_ID ClassID() override { return kTarmatExtShaderClassID; }
  void GetClassName(CStr& s) override;
  int NumRefs() override { return 1; }
  ReferenceTarget* GetReference(int i) override { return i == kExtShaderBlockRef ? pb_ : nullptr; }
  IParamBlock2* Block() const { return pb_; }
  RefResult NotifyRefChanged(const Interval& changeInt, ReferenceTarget* target, PartID& partID,
                             RefMessage message) override;
  // A copy with a cloned block and the same exposure flags. The design inputs
  // stay off until the copy's owner sets them (the outline belongs to the
  // owner's advanced settings, not to the copy).
  ReferenceTarget* Clone(RemapDir& remap) override;
  // Own data: the exposure-control flags. The graph writer saves the block.
  IOResult Save(ISave* isave) override;
  IOResult Load(ILoad* iload) override;

 protected:
  // The slot takes only a block of "shaderParameters".
  void SetReference(int i, ReferenceTarget* target) override;

 private:
  struct Working {
    Color ambient, diffuse{1.0f, 1.0f, 1.0f}, specular{1.0f, 1.0f, 1.0f}, selfIllumColor;
    // Fractions.
    float diffuseLevel = 1.0f, specularLevel = 0.0f, selfIllum = 0.0f, glossiness = 0.0f;
    float anisotropy = 0.0f, orientation = 0.0f;
    bool adTextureLock = true, adLock = true, dsLock = false, useSelfIllumColor = true;
  };
  void Set(ParamID id, const PB2Value& v, TimeValue t);

  IParamBlock2* pb_ = nullptr;
  Working w_;
  Interval ivalid_;
  float designAmount_ = 0.0f;
  float designAngle_ = 0.0f;
  float designSharpness_ = 0.0f;
  const QvPolygonCtrl* outline_ = nullptr;
  bool noExposure_ = false;
  bool invertSelfIllum_ = false;
  bool invertReflect_ = false;
  bool invertRefract_ = false;
};

}  // namespace tarnis
