#include "tarnis/material/tarmat_ext_shader.h"

#include <algorithm>
#include <cmath>

#include "sdk/angles.h"
#include "sdk/class_desc.h"
#include "sdk/hold.h"
#include "sdk/param_builders.h"
#include "sdk/save_load.h"
#include "tarnis/common/shape_control.h"
#include "tarnis/material/tarmat_ext_shader_class_desc.h"

namespace tarnis {

namespace {

constexpr uint32_t kAnim = P_ANIMATABLE;
constexpr uint16_t kExposureChunk = 0x0100;

// The lobe's roughness spans 0.015 (glossiness 1) to 0.5 (glossiness 0).
constexpr float kRoughnessSpan = 0.485f;
constexpr float kMinRoughness = 0.015f;
// The brightest a grazing view may make the lobe.
constexpr float kMaxGrazingGain = 3.0f;
constexpr float kMinViewCosine = 0.001f;
constexpr float kMinDesignRadius = 0.0001f;
constexpr float kLobeScale = 2.6525824f * 0.5f;

ParamDef PercentParam(ParamID id, const char* name, float def, ParamRange range) {
  return FloatSpinnerParam(id, name, TYPE_PCNT_FRAC, kAnim, def, range);
}

ParamBlockDesc2& ShaderBlock() {
  static ParamBlockDesc2 desc{
      AutoBlockHeader(kExtShaderBlockID, "shaderParameters", kExtShaderBlockRef),
      {
          ColorSwatchParam(kEsAmbient, "ambient", kAnim, Color(0.0f, 0.0f, 0.0f)),
          ColorSwatchParam(kEsDiffuse, "diffuse", kAnim, Color(1.0f, 1.0f, 1.0f)),
          ColorSwatchParam(kEsSpecular, "specular", kAnim, Color(1.0f, 1.0f, 1.0f)),
          ColorSwatchParam(kEsSelfIllumColor, "selfIllumColor", kAnim, Color(0.0f, 0.0f, 0.0f)),
          PercentParam(kEsDiffuseLevel, "diffuseLevel", 100.0f, {0.0f, 400.0f}),
          PercentParam(kEsSpecularLevel, "specularLevel", 0.0f, {0.0f, 999.0f}),
          PercentParam(kEsSelfIllumAmount, "selfIllumAmount", 0.0f, {0.0f, 100.0f}),
          PercentParam(kEsGlossiness, "glossiness", 0.0f, {0.0f, 100.0f}),
          PercentParam(kEsAnisotropy, "anisotropy", 0.0f, {0.0f, 100.0f}),
          PercentParam(kEsOrientation, "orientation", 0.0f, {-99999.0f, 99999.0f}),
          IntSpinnerParam(kEsUnused, "unused", 0, 0, {0.0f, 16.0f}),
          CheckboxParam(kEsAdTextureLock, "adTextureLock", 0, true),
          CheckboxParam(kEsAdLock, "adLock", 0, true),
          CheckboxParam(kEsDsLock, "dsLock", 0, false),
          CheckboxParam(kEsUseSelfIllumColor, "useSelfIllumColor", 0, true),
      }};
  return desc;
}

Color Grey(float v) {
  return {v, v, v};
}

// A unit vector perpendicular to n (unit): t without its part along n, or,
// when that leaves nothing, the world axis least aligned with n made so.
Point3 SurfaceTangent(const Point3& n, const Point3& t) {
  constexpr float kMinLengthSquared = 1e-12f;
  Point3 x = t - n * DotProd(n, t);
  if (x.LengthSquared() > kMinLengthSquared * std::max(t.LengthSquared(), 1.0f)) {
    return Normalize(x);
  }
  const Point3 axis = std::abs(n.x) < 0.9f ? Point3::XAxis() : Point3::YAxis();
  return Normalize(axis - n * DotProd(n, axis));
}

}  // namespace

ParamBlockDesc2* ExtShaderBlockDesc() {
  return &ShaderBlock();
}

void BindExtShaderBlock(ClassDesc2* cd) {
  ShaderBlock().SetClassDesc(cd);
}

PluginClassDesc<TarmatExtShader>* GetTarmatExtShaderDesc() {
  return PluginClassDesc<TarmatExtShader>::Get();
}

float AnisotropicLobe(const Point3& L, const Point3& V, const Point3& N, const Point3& T,
                      float glossiness, float anisotropy, float orientation, float diffuseCoef,
                      float designAmount, float designAngle, const QvPolygonCtrl* outline) {
  const Point3 h = Normalize(L - V);
  const float n = DotProd(N, h);
  if (!(n > 0.0f)) return 0.0f;

  const float rough = kRoughnessSpan * (1.0f - glossiness);
  const float a1 = rough + kMinRoughness;
  const float a2 = (1.0f - anisotropy) * rough + kMinRoughness;

  // Brighter towards grazing angles, up to a limit; a light on the horizon
  // (q = 0) is that limit rather than an infinite or undefined gain.
  const float r = std::max(-DotProd(N, V), kMinViewCosine);
  const float q = (diffuseCoef < 0.0f ? DotProd(N, L) : diffuseCoef) * r;
  const float u = q > 0.0f ? std::min(1.0f / std::sqrt(q), kMaxGrazingGain) : kMaxGrazingGain;

  // The outline widens the highlight where its radius is above 1 and
  // narrows it where it is below. The factor stops at 0 (a flat lobe in
  // that direction): below 0 the lobe would grow without bound away from
  // its centre.
  float phi = 1.0f;
  if (designAmount != 0.0f && outline) {
    const Point3 c = CrossProd(h, N);
    const float radius = outline->RadiusAt(std::atan2(c.y, c.x) + designAngle);
    phi = 1.0f - (1.0f - 1.0f / std::max(radius, kMinDesignRadius)) * designAmount;
    phi = std::max(phi, 0.0f);
  }

  Point3 x = SurfaceTangent(N, T);
  if (orientation != 0.0f) {
    const float turn = orientation * kPi;
    x = x * std::cos(turn) + CrossProd(N, x) * std::sin(turn);
  }
  const Point3 y = CrossProd(x, N);
  const float along = DotProd(x, h) / a1;
  const float across = DotProd(y, h) / a2;
  return std::exp(-2.0f * (across * across + along * along) * phi / (1.0f + n)) * u * kLobeScale;
}

// --- TarmatExtShader -------------------------------------------------------------------

TarmatExtShader::TarmatExtShader(bool loading) {
  if (loading) return;
  GetTarmatExtShaderDesc()->MakeAutoParamBlocks(this);
  Interval valid = FOREVER;
  Update(0, valid);
}

void TarmatExtShader::GetClassName(CStr& s) {
  s = GetTarmatExtShaderDesc()->ClassName();
}

void TarmatExtShader::SetDesign(float amount, float angle, float sharpness,
                                const QvPolygonCtrl* outline) {
  designAmount_ = amount;
  designAngle_ = angle;
  designSharpness_ = sharpness;
  outline_ = outline;
}

void TarmatExtShader::GetIllumParams(ShadeContext&, IllumParams& ip) {
  ip.channels[kChAmbient] = w_.adLock ? w_.diffuse : w_.ambient;
  ip.channels[kChDiffuse] = w_.diffuse;
  ip.channels[kChSpecular] = w_.dsLock ? w_.diffuse : w_.specular;
  ip.channels[kChDiffuseLevel] = Grey(w_.diffuseLevel);
  ip.channels[kChSpecularLevel] = Grey(w_.specularLevel);
  ip.channels[kChGlossiness] = Grey(w_.glossiness);
  ip.channels[kChAnisotropy] = Grey(w_.anisotropy);
  ip.channels[kChOrientation] = Grey(w_.orientation * kOrientationToChannel);
  ip.channels[kChSelfIllum] = w_.useSelfIllumColor ? w_.selfIllumColor : Grey(w_.selfIllum);
}

ToonLighting TarmatExtShader::Gather(ShadeContext& sc, IllumParams& ip) const {
  const float level = ip.channels[kChSpecularLevel].r;
  const float glossiness = ip.channels[kChGlossiness].r;
  const float anisotropy = ip.channels[kChAnisotropy].r;
  const float orientation = ip.channels[kChOrientation].r;
  // The tangent matters only to an anisotropic lobe (with equal roughness
  // along both axes the lobe is round whatever the tangent), and asking the
  // context for it is not free: fetched once, when first needed.
  Point3 tangent;
  bool haveTangent = anisotropy == 0.0f;

  Color ambient = ip.ambIllumOut, diffuse, specular;
  float lightStrength = 0.0f;
  for (int n = 0; n < sc.nLights; ++n) {
    LightDesc* light = sc.Light(n);
    Color color;
    Point3 dir;
    float dotNL = 0.0f, diffuseCoef = 0.0f;
    if (!light || !light->Illuminate(sc, ip.N, color, dir, dotNL, diffuseCoef)) continue;
    if (light->ambientOnly) {
      ambient += color;
      continue;
    }
    if (!(dotNL > 0.0f)) continue;
    if (level > 0.0f && light->affectSpecular) {
      if (!haveTangent) {
        Point3 dP[3];
        sc.DPdUVW(dP, 1);
        tangent = dP[0];
        haveTangent = true;
      }
      const float lobe =
          AnisotropicLobe(dir, ip.V, ip.N, tangent, glossiness, anisotropy, orientation,
                          diffuseCoef, designAmount_, designAngle_, outline_);
      specular += color * (lobe * diffuseCoef * level);
    }
    if (light->affectDiffuse) {
      diffuse += color * diffuseCoef;
      lightStrength += std::abs(color.Average());
    }
  }
  ip.ambIllumOut = ambient * ip.channels[kChAmbient];
  ip.diffIllumIntens = diffuse.Average();
  ip.diffIllumOut = diffuse * ip.channels[kChDiffuse];
  ip.specIllumOut = specular * ip.channels[kChSpecular];
  ip.selfIllumOut = ip.channels[kChSelfIllum];

  ToonLighting out;
  out.gradation = (ip.ambIllumOut + ip.diffIllumOut).Average() * ip.finalAttenuation;
  if (lightStrength > 0.0f) out.aaScale = lightStrength * std::abs(sc.Curve());
  out.highlight = ip.specIllumOut.Average();
  return out;
}

// --- Settings ------------------------------------------------------------------------

void TarmatExtShader::Set(ParamID id, const PB2Value& v, TimeValue t) {
  if (pb_) pb_->SetValue(id, t, v);
}
void TarmatExtShader::SetAmbientClr(const Color& c, TimeValue t) {
  Set(kEsAmbient, c, t);
}
void TarmatExtShader::SetDiffuseClr(const Color& c, TimeValue t) {
  Set(kEsDiffuse, c, t);
}
void TarmatExtShader::SetSpecularClr(const Color& c, TimeValue t) {
  Set(kEsSpecular, c, t);
}
void TarmatExtShader::SetSelfIllumClr(const Color& c, TimeValue t) {
  Set(kEsSelfIllumColor, c, t);
}
void TarmatExtShader::SetSelfIllum(float v, TimeValue t) {
  Set(kEsSelfIllumAmount, v * 100.0f, t);
}
void TarmatExtShader::SetGlossiness(float v, TimeValue t) {
  Set(kEsGlossiness, v * 100.0f, t);
}
void TarmatExtShader::SetSpecularLevel(float v, TimeValue t) {
  Set(kEsSpecularLevel, v * 100.0f, t);
}
void TarmatExtShader::SetDiffuseLevel(float v, TimeValue t) {
  Set(kEsDiffuseLevel, v * 100.0f, t);
}
void TarmatExtShader::SetAnisotropy(float fraction, TimeValue t) {
  Set(kEsAnisotropy, fraction * 100.0f, t);
}
void TarmatExtShader::SetOrientation(float fraction, TimeValue t) {
  Set(kEsOrientation, fraction * 100.0f, t);
}

// --- Working copy and object model -----------------------------------------------------------

void TarmatExtShader::Update(TimeValue t, Interval& valid) {
  if (!pb_) {
    HoldSuspend suspend;
    ReplaceReference(kExtShaderBlockRef, CreateParameterBlock2(ExtShaderBlockDesc(), this));
  }
  if (!ivalid_.InInterval(t)) {
    Interval iv = FOREVER;
    Working w;
    int adTextureLock = 1, adLock = 1, dsLock = 0, useSelfIllumColor = 1;
    pb_->GetValue(kEsAmbient, t, w.ambient, iv);
    pb_->GetValue(kEsDiffuse, t, w.diffuse, iv);
    pb_->GetValue(kEsSpecular, t, w.specular, iv);
    pb_->GetValue(kEsSelfIllumColor, t, w.selfIllumColor, iv);
    pb_->GetValue(kEsDiffuseLevel, t, w.diffuseLevel, iv);
    pb_->GetValue(kEsSpecularLevel, t, w.specularLevel, iv);
    pb_->GetValue(kEsSelfIllumAmount, t, w.selfIllum, iv);
    pb_->GetValue(kEsGlossiness, t, w.glossiness, iv);
    pb_->GetValue(kEsAnisotropy, t, w.anisotropy, iv);
    pb_->GetValue(kEsOrientation, t, w.orientation, iv);
    pb_->GetValue(kEsAdTextureLock, t, adTextureLock, iv);
    pb_->GetValue(kEsAdLock, t, adLock, iv);
    pb_->GetValue(kEsDsLock, t, dsLock, iv);
    pb_->GetValue(kEsUseSelfIllumColor, t, useSelfIllumColor, iv);
    for (float* percent : {&w.diffuseLevel, &w.specularLevel, &w.selfIllum, &w.glossiness,
                           &w.anisotropy, &w.orientation}) {
      *percent *= 0.01f;
    }
    w.adTextureLock = adTextureLock != 0;
    w.adLock = adLock != 0;
    w.dsLock = dsLock != 0;
    w.useSelfIllumColor = useSelfIllumColor != 0;
    w_ = w;
    ivalid_ = iv;
  }
  valid &= ivalid_;
}

void TarmatExtShader::Reset() {
  ReplaceReference(kExtShaderBlockRef, CreateParameterBlock2(ExtShaderBlockDesc(), this));
  ivalid_.SetEmpty();
}

void TarmatExtShader::SetReference(int i, ReferenceTarget* target) {
  if (i != kExtShaderBlockRef) return;
  auto* pb = dynamic_cast<IParamBlock2*>(target);
  if (target && (!pb || pb->GetDesc() != ExtShaderBlockDesc())) return;
  pb_ = pb;
  ivalid_.SetEmpty();
}

RefResult TarmatExtShader::NotifyRefChanged(const Interval&, ReferenceTarget*, PartID&,
                                            RefMessage message) {
  if (message == REFMSG_CHANGE || message == REFMSG_TARGET_DELETED) ivalid_.SetEmpty();
  return REF_SUCCEED;
}

ReferenceTarget* TarmatExtShader::Clone(RemapDir& remap) {
  auto* copy = new TarmatExtShader(true);
  BaseClone(this, copy, remap);
  copy->ReplaceReference(kExtShaderBlockRef, remap.CloneRef(pb_));
  copy->noExposure_ = noExposure_;
  copy->invertSelfIllum_ = invertSelfIllum_;
  copy->invertReflect_ = invertReflect_;
  copy->invertRefract_ = invertRefract_;
  copy->w_ = w_;
  copy->ivalid_ = ivalid_;
  return copy;
}

IOResult TarmatExtShader::Save(ISave* isave) {
  isave->BeginChunk(kExposureChunk);
  IOResult r = IO_OK;
  for (bool flag : {noExposure_, invertSelfIllum_, invertReflect_, invertRefract_}) {
    if (isave->WriteInt(flag ? 1 : 0) != IO_OK) r = IO_ERROR;
  }
  isave->EndChunk();
  return r;
}

IOResult TarmatExtShader::Load(ILoad* iload) {
  IOResult r;
  while ((r = iload->OpenChunk()) == IO_OK) {
    if (iload->CurChunkID() == kExposureChunk) {
      for (bool* flag : {&noExposure_, &invertSelfIllum_, &invertReflect_, &invertRefract_}) {
        int32_t v = 0;
        if (iload->ReadInt(v) != IO_OK) return IO_ERROR;
        *flag = v != 0;
      }
    }
    if (iload->CloseChunk() != IO_OK) return IO_ERROR;
  }
  ivalid_.SetEmpty();
  return r == IO_END ? IO_OK : IO_ERROR;
}

}  // namespace tarnis
