// The Blinn shader and the standard material: blocks, class descriptors,
// working copies, lighting and shading.
#include "host/std_material.h"

#include <algorithm>
#include <cmath>

#include "sdk/effect.h"
#include "sdk/render.h"

namespace host {
namespace {

template <class T>
class ClassDescOf : public ClassDesc2 {
 public:
  ClassDescOf(const char* name, SClass_ID super, Class_ID id, const char* category)
      : name_(name), super_(super), id_(id), category_(category) {}
  int IsPublic() override { return 1; }
  void* Create(bool loading) override { return static_cast<ReferenceTarget*>(new T(loading)); }
  const char* ClassName() override { return name_; }
  const char* InternalName() override { return name_; }
  SClass_ID SuperClassID() override { return super_; }
  Class_ID ClassID() override { return id_; }
  const char* Category() override { return category_; }

 private:
  const char* name_;
  SClass_ID super_;
  Class_ID id_;
  const char* category_;
};

ClassDescOf<BlinnShader>& BlinnDesc() {
  static ClassDescOf<BlinnShader> desc("Blinn", SHADER_CLASS_ID, kBlinnShaderClassID, "Shaders");
  return desc;
}
ClassDescOf<StdMtl>& MtlDesc() {
  static ClassDescOf<StdMtl> desc("Standard", MATERIAL_CLASS_ID, kStdMtlClassID, "Materials");
  return desc;
}

constexpr uint32_t A = P_ANIMATABLE;
constexpr ParamRange kColorRange{0.0f, 1000.0f};
constexpr ParamRange kPercent{0.0f, 100.0f};
constexpr ParamRange kLevelRange{0.0f, 999.0f};

ParamBlockDesc2& BlinnBlock() {
  static ParamBlockDesc2 desc{{.id = 0,
                               .internalName = "blinn",
                               .classDesc = &BlinnDesc(),
                               .ownerRef = 0,
                               .flags = P_AUTO_CONSTRUCT},
                              {
                                  {.id = kBlAmbient,
                                   .internalName = "ambient",
                                   .type = TYPE_RGBA,
                                   .flags = A,
                                   .def = Color(0.5f, 0.5f, 0.5f),
                                   .range = kColorRange},
                                  {.id = kBlDiffuse,
                                   .internalName = "diffuse",
                                   .type = TYPE_RGBA,
                                   .flags = A,
                                   .def = Color(0.5f, 0.5f, 0.5f),
                                   .range = kColorRange},
                                  {.id = kBlSpecular,
                                   .internalName = "specular",
                                   .type = TYPE_RGBA,
                                   .flags = A,
                                   .def = Color(0.9f, 0.9f, 0.9f),
                                   .range = kColorRange},
                                  {.id = kBlSelfIllumColor,
                                   .internalName = "selfIllumColor",
                                   .type = TYPE_RGBA,
                                   .flags = A,
                                   .def = Color(0, 0, 0),
                                   .range = kColorRange},
                                  {.id = kBlSelfIllum,
                                   .internalName = "selfIllum",
                                   .type = TYPE_PCNT_FRAC,
                                   .flags = A,
                                   .def = 0.0f,
                                   .range = kPercent},
                                  {.id = kBlGlossiness,
                                   .internalName = "glossiness",
                                   .type = TYPE_PCNT_FRAC,
                                   .flags = A,
                                   .def = 10.0f,
                                   .range = kPercent},
                                  {.id = kBlSpecularLevel,
                                   .internalName = "specularLevel",
                                   .type = TYPE_PCNT_FRAC,
                                   .flags = A,
                                   .def = 0.0f,
                                   .range = kLevelRange},
                                  {.id = kBlSoften,
                                   .internalName = "soften",
                                   .flags = A,
                                   .def = 0.1f,
                                   .range = {0.0f, 1.0f}},
                              }};
  return desc;
}

ParamDef MapParam(ParamID id, const char* name) {
  return {.id = id, .internalName = name, .type = TYPE_TEXMAP};
}
ParamDef AmountParam(ParamID id, const char* name, float def = 100.0f,
                     ParamRange range = kPercent) {
  return {.id = id,
          .internalName = name,
          .type = TYPE_PCNT_FRAC,
          .flags = A,
          .def = def,
          .range = range};
}
ParamDef OnParam(ParamID id, const char* name) {
  return {.id = id, .internalName = name, .type = TYPE_BOOL, .def = true};
}

ParamBlockDesc2& MainBlock() {
  static ParamBlockDesc2 desc{
      {.id = 0,
       .internalName = "main",
       .classDesc = &MtlDesc(),
       .ownerRef = kStdMtlBlockRef,
       .flags = P_AUTO_CONSTRUCT},
      {
          {.id = kSmAmbient,
           .internalName = "ambient",
           .type = TYPE_RGBA,
           .flags = A,
           .def = Color(0.5f, 0.5f, 0.5f),
           .range = kColorRange},
          {.id = kSmDiffuse,
           .internalName = "diffuse",
           .type = TYPE_RGBA,
           .flags = A,
           .def = Color(0.5f, 0.5f, 0.5f),
           .range = kColorRange},
          {.id = kSmSpecular,
           .internalName = "specular",
           .type = TYPE_RGBA,
           .flags = A,
           .def = Color(0.9f, 0.9f, 0.9f),
           .range = kColorRange},
          {.id = kSmAdLock, .internalName = "adLock", .type = TYPE_BOOL, .def = true},
          AmountParam(kSmSpecularLevel, "specularLevel", 0.0f, kLevelRange),
          AmountParam(kSmGlossiness, "glossiness", 10.0f),
          {.id = kSmSoften,
           .internalName = "softenLevel",
           .flags = A,
           .def = 0.1f,
           .range = {0.0f, 1.0f}},
          AmountParam(kSmOpacity, "opacity"),
          AmountParam(kSmSelfIllum, "selfIllum", 0.0f),
          {.id = kSmSelfIllumColor,
           .internalName = "selfIllumColor",
           .type = TYPE_RGBA,
           .flags = A,
           .def = Color(0, 0, 0),
           .range = kColorRange},
          {.id = kSmUseSelfIllumColor,
           .internalName = "useSelfIllumColor",
           .type = TYPE_BOOL,
           .def = false},
          {.id = kSmTwoSided, .internalName = "twoSided", .type = TYPE_BOOL, .def = false},
          MapParam(kSmDiffuseMap, "diffuseMap"),
          AmountParam(kSmDiffuseMapAmount, "diffuseMapAmount"),
          OnParam(kSmDiffuseMapOn, "diffuseMapOn"),
          MapParam(kSmBumpMap, "bumpMap"),
          AmountParam(kSmBumpAmount, "bumpAmount", 30.0f, {-999.0f, 999.0f}),
          OnParam(kSmBumpMapOn, "bumpMapOn"),
          MapParam(kSmSpecularLevelMap, "specularLevelMap"),
          AmountParam(kSmSpecularLevelMapAmount, "specularLevelMapAmount"),
          OnParam(kSmSpecularLevelMapOn, "specularLevelMapOn"),
          MapParam(kSmGlossinessMap, "glossinessMap"),
          AmountParam(kSmGlossinessMapAmount, "glossinessMapAmount"),
          OnParam(kSmGlossinessMapOn, "glossinessMapOn"),
          MapParam(kSmOpacityMap, "opacityMap"),
          AmountParam(kSmOpacityMapAmount, "opacityMapAmount"),
          OnParam(kSmOpacityMapOn, "opacityMapOn"),
          MapParam(kSmReflectionMap, "reflectionMap"),
          AmountParam(kSmReflectionAmount, "reflectionAmount"),
          OnParam(kSmReflectionMapOn, "reflectionMapOn"),
          {.id = kSmShader,
           .internalName = "shader",
           .type = TYPE_REFTARG,
           .flags = P_OWNERS_REF,
           .ownerRef = kStdMtlShaderRef},
      }};
  return desc;
}

// Sub-map slots (illumination channels) and the parameters behind them.
struct MapSlotParams {
  int channel;
  ParamID map, on;
};
constexpr MapSlotParams kMapSlots[] = {
    {ID_DI, kSmDiffuseMap, kSmDiffuseMapOn},
    {ID_BU, kSmBumpMap, kSmBumpMapOn},
    {ID_SS, kSmSpecularLevelMap, kSmSpecularLevelMapOn},
    {ID_SH, kSmGlossinessMap, kSmGlossinessMapOn},
    {ID_OP, kSmOpacityMap, kSmOpacityMapOn},
    {ID_RL, kSmReflectionMap, kSmReflectionMapOn},
};

const MapSlotParams* SlotOf(int channel) {
  for (const MapSlotParams& s : kMapSlots) {
    if (s.channel == channel) return &s;
  }
  return nullptr;
}

float Lerp(float a, float b, float t) {
  return a + (b - a) * t;
}

Color Grey(float v) {
  return {v, v, v};
}

float SmoothStep(float edge, float x) {
  if (edge <= 0.0f) return 1.0f;
  const float t = std::clamp(x / edge, 0.0f, 1.0f);
  return t * t * (3.0f - 2.0f * t);
}

}  // namespace

ClassDesc2* GetBlinnShaderDesc() {
  BlinnBlock();
  return &BlinnDesc();
}
ClassDesc2* GetStdMtlDesc() {
  MainBlock();
  return &MtlDesc();
}

// ---- BlinnShader ---------------------------------------------------------------

BlinnShader::BlinnShader(bool loading) {
  if (loading) return;
  GetBlinnShaderDesc()->MakeAutoParamBlocks(this);
  Interval valid = FOREVER;
  Update(0, valid);
}

void BlinnShader::SetReference(int i, ReferenceTarget* target) {
  if (i == 0) pb_ = dynamic_cast<IParamBlock2*>(target);
  ivalid_.SetEmpty();
}

RefResult BlinnShader::NotifyRefChanged(const Interval&, ReferenceTarget*, PartID&,
                                        RefMessage message) {
  if (message == REFMSG_CHANGE) ivalid_.SetEmpty();
  return REF_SUCCEED;
}

ReferenceTarget* BlinnShader::Clone(RemapDir& remap) {
  auto* copy = new BlinnShader(true);
  BaseClone(this, copy, remap);
  copy->ReplaceReference(0, remap.CloneRef(pb_));
  copy->w_ = w_;
  copy->ivalid_ = ivalid_;
  return copy;
}

void BlinnShader::Reset() {
  ReplaceReference(0, CreateParameterBlock2(&BlinnBlock(), this));
}

void BlinnShader::Update(TimeValue t, Interval& valid) {
  if (pb_ && !ivalid_.InInterval(t)) {
    Interval iv = FOREVER;
    Working w;
    pb_->GetValue(kBlAmbient, t, w.ambient, iv);
    pb_->GetValue(kBlDiffuse, t, w.diffuse, iv);
    pb_->GetValue(kBlSpecular, t, w.specular, iv);
    pb_->GetValue(kBlSelfIllumColor, t, w.selfIllumColor, iv);
    pb_->GetValue(kBlSelfIllum, t, w.selfIllum, iv);
    pb_->GetValue(kBlGlossiness, t, w.glossiness, iv);
    pb_->GetValue(kBlSpecularLevel, t, w.level, iv);
    pb_->GetValue(kBlSoften, t, w.soften, iv);
    w.selfIllum *= 0.01f, w.glossiness *= 0.01f, w.level *= 0.01f;
    w_ = w;
    ivalid_ = iv;
  }
  valid &= pb_ ? ivalid_ : FOREVER;
}

void BlinnShader::Set(ParamID id, const PB2Value& v, TimeValue t) {
  if (pb_) pb_->SetValue(id, t, v);
}
void BlinnShader::SetAmbientClr(const Color& c, TimeValue t) {
  Set(kBlAmbient, c, t);
}
void BlinnShader::SetDiffuseClr(const Color& c, TimeValue t) {
  Set(kBlDiffuse, c, t);
}
void BlinnShader::SetSpecularClr(const Color& c, TimeValue t) {
  Set(kBlSpecular, c, t);
}
void BlinnShader::SetSelfIllumClr(const Color& c, TimeValue t) {
  Set(kBlSelfIllumColor, c, t);
}
void BlinnShader::SetSelfIllum(float v, TimeValue t) {
  Set(kBlSelfIllum, v * 100.0f, t);
}
void BlinnShader::SetGlossiness(float v, TimeValue t) {
  Set(kBlGlossiness, v * 100.0f, t);
}
void BlinnShader::SetSpecularLevel(float v, TimeValue t) {
  Set(kBlSpecularLevel, v * 100.0f, t);
}

void BlinnShader::GetIllumParams(ShadeContext&, IllumParams& ip) {
  ip.channels[ID_AM] = w_.ambient;
  ip.channels[ID_DI] = w_.diffuse;
  ip.channels[ID_SP] = w_.specular;
  ip.channels[ID_SH] = Grey(w_.glossiness);
  ip.channels[ID_SS] = Grey(w_.level);
  ip.channels[ID_SI] = w_.selfIllumColor + w_.diffuse * w_.selfIllum;
}

void BlinnShader::Gather(ShadeContext& sc, IllumParams& ip, float soften) const {
  const float level = ip.channels[ID_SS].r;
  const float exponent = std::exp2(2.0f + 10.0f * ip.channels[ID_SH].r);
  const Point3 toViewer = -ip.V;
  Color ambient = ip.ambIllumOut, diffuse, specular;
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
    if (light->affectDiffuse && diffuseCoef > 0.0f) {
      diffuse += color * diffuseCoef;
      ip.diffIllumIntens += color.Average() * diffuseCoef;
    }
    if (light->affectSpecular && level > 0.0f && dotNL > 0.0f) {
      const Point3 h = Normalize(dir + toViewer);
      const float dotNH = std::max(DotProd(ip.N, h), 0.0f);
      specular += color * (level * std::pow(dotNH, exponent) * SmoothStep(soften, dotNL));
    }
  }
  ip.ambIllumOut = ambient * ip.channels[ID_AM];
  ip.diffIllumOut = diffuse * ip.channels[ID_DI];
  ip.specIllumOut = specular * ip.channels[ID_SP];
  ip.selfIllumOut = ip.channels[ID_SI];
}

// ---- StdMtl ---------------------------------------------------------------------

StdMtl::StdMtl(bool loading) {
  if (loading) return;
  GetStdMtlDesc()->MakeAutoParamBlocks(this);
  ReplaceReference(kStdMtlShaderRef, new BlinnShader());
  Interval valid = FOREVER;
  Update(0, valid);
}

ReferenceTarget* StdMtl::GetReference(int i) {
  if (i == kStdMtlBlockRef) return pb_;
  if (i == kStdMtlShaderRef) return shaderRef_;
  return nullptr;
}

void StdMtl::SetReference(int i, ReferenceTarget* target) {
  if (i == kStdMtlBlockRef) pb_ = dynamic_cast<IParamBlock2*>(target);
  if (i == kStdMtlShaderRef) {
    shaderRef_ = target;
    shader_ = dynamic_cast<Shader*>(target);
  }
  ivalid_.SetEmpty();
}

CStr StdMtl::SubAnimName(int i) {
  if (i == kStdMtlBlockRef) return "Parameters";
  if (i == kStdMtlShaderRef) return "Shader";
  return "";
}

RefResult StdMtl::NotifyRefChanged(const Interval&, ReferenceTarget*, PartID&, RefMessage message) {
  if (message == REFMSG_CHANGE || message == REFMSG_TARGET_DELETED) ivalid_.SetEmpty();
  return REF_SUCCEED;
}

ReferenceTarget* StdMtl::Clone(RemapDir& remap) {
  auto* copy = new StdMtl(true);
  BaseClone(this, copy, remap);
  for (int i = 0; i < NumRefs(); ++i) copy->ReplaceReference(i, remap.CloneRef(GetReference(i)));
  copy->SetName(GetName());
  // The working copy points at maps, so the copy reads its own.
  Interval valid = FOREVER;
  copy->Update(lastTime_, valid);
  return copy;
}

void StdMtl::Reset() {
  ReplaceReference(kStdMtlBlockRef, CreateParameterBlock2(&MainBlock(), this));
  ReplaceReference(kStdMtlShaderRef, new BlinnShader());
}

StdMtl::MapSlot StdMtl::ReadMap(TimeValue t, Interval& valid, ParamID map, ParamID amount,
                                ParamID on) {
  MapSlot slot;
  int enabled = 0;
  pb_->GetValue(on, t, enabled, valid);
  pb_->GetValue(amount, t, slot.amount, valid);
  slot.amount *= 0.01f;
  if (enabled) slot.map = pb_->GetRefAs<Texmap>(map, t);
  return slot;
}

void StdMtl::ReadBlock(TimeValue t, Interval& valid) {
  Working w;
  int adLock = 1, useSelfIllumColor = 0, twoSided = 0;
  pb_->GetValue(kSmAmbient, t, w.ambient, valid);
  pb_->GetValue(kSmDiffuse, t, w.diffuse, valid);
  pb_->GetValue(kSmSpecular, t, w.specular, valid);
  pb_->GetValue(kSmAdLock, t, adLock, valid);
  pb_->GetValue(kSmSpecularLevel, t, w.level, valid);
  pb_->GetValue(kSmGlossiness, t, w.glossiness, valid);
  pb_->GetValue(kSmSoften, t, w.soften, valid);
  pb_->GetValue(kSmOpacity, t, w.opacity, valid);
  pb_->GetValue(kSmSelfIllum, t, w.selfIllum, valid);
  pb_->GetValue(kSmSelfIllumColor, t, w.selfIllumColor, valid);
  pb_->GetValue(kSmUseSelfIllumColor, t, useSelfIllumColor, valid);
  pb_->GetValue(kSmTwoSided, t, twoSided, valid);
  w.adLock = adLock != 0, w.useSelfIllumColor = useSelfIllumColor != 0, w.twoSided = twoSided != 0;
  w.level *= 0.01f, w.glossiness *= 0.01f, w.opacity *= 0.01f, w.selfIllum *= 0.01f;
  if (w.adLock) w.ambient = w.diffuse;
  w.diffuseMap = ReadMap(t, valid, kSmDiffuseMap, kSmDiffuseMapAmount, kSmDiffuseMapOn);
  w.bumpMap = ReadMap(t, valid, kSmBumpMap, kSmBumpAmount, kSmBumpMapOn);
  w.levelMap =
      ReadMap(t, valid, kSmSpecularLevelMap, kSmSpecularLevelMapAmount, kSmSpecularLevelMapOn);
  w.glossinessMap = ReadMap(t, valid, kSmGlossinessMap, kSmGlossinessMapAmount, kSmGlossinessMapOn);
  w.opacityMap = ReadMap(t, valid, kSmOpacityMap, kSmOpacityMapAmount, kSmOpacityMapOn);
  w.reflectionMap = ReadMap(t, valid, kSmReflectionMap, kSmReflectionAmount, kSmReflectionMapOn);
  w_ = w;
}

void StdMtl::Update(TimeValue t, Interval& valid) {
  lastTime_ = t;
  if (!pb_) return;
  // A scene may have put something other than a shader in the slot.
  if (!shader_) ReplaceReference(kStdMtlShaderRef, new BlinnShader());
  if (!ivalid_.InInterval(t)) {
    Interval iv = FOREVER;
    ReadBlock(t, iv);
    shader_->Update(t, iv);
    for (int i = 0; i < NumSubTexmaps(); ++i) {
      if (Texmap* m = GetSubTexmap(i)) m->Update(t, iv);
    }
    ivalid_ = iv;
  }
  valid &= ivalid_;
}

Interval StdMtl::Validity(TimeValue t) {
  Interval v = pb_ ? pb_->GetValidity(t) : FOREVER;
  for (int i = 0; i < NumSubTexmaps(); ++i) {
    if (Texmap* m = GetSubTexmap(i)) v &= m->Validity(t);
  }
  return v;
}

std::vector<Texmap*> StdMtl::ActiveMaps() {
  std::vector<Texmap*> maps;
  for (const MapSlotParams& s : kMapSlots) {
    if (SubTexmapOn(s.channel)) maps.push_back(GetSubTexmap(s.channel));
  }
  return maps;
}

uint32_t StdMtl::Requirements(int subMtlNum) {
  if (!pb_) return 0;
  uint32_t r = 0;
  if (pb_->GetInt(kSmTwoSided, lastTime_)) r |= MTLREQ_2SIDE;
  if (pb_->GetFloat(kSmOpacity, lastTime_) < 100.0f || SubTexmapOn(ID_OP)) r |= MTLREQ_TRANSP;
  if (SubTexmapOn(ID_BU)) r |= MTLREQ_BUMP;
  for (Texmap* m : ActiveMaps()) r |= m->Requirements(subMtlNum);
  return r;
}

void StdMtl::LocalMappingsRequired(int subMtlNum, std::vector<int>& channels) {
  for (Texmap* m : ActiveMaps()) m->LocalMappingsRequired(subMtlNum, channels);
}

Texmap* StdMtl::GetSubTexmap(int i) {
  const MapSlotParams* slot = SlotOf(i);
  return slot && pb_ ? pb_->GetRefAs<Texmap>(slot->map, lastTime_) : nullptr;
}

void StdMtl::SetSubTexmap(int i, Texmap* m) {
  if (const MapSlotParams* slot = SlotOf(i); slot && pb_) {
    pb_->SetValue(slot->map, 0, static_cast<ReferenceTarget*>(m));
  }
}

CStr StdMtl::GetSubTexmapSlotName(int i) {
  const MapSlotParams* slot = SlotOf(i);
  return slot ? MainBlock().GetParamDef(slot->map)->internalName.c_str() : "";
}

bool StdMtl::SubTexmapOn(int i) {
  const MapSlotParams* slot = SlotOf(i);
  return slot && pb_ && pb_->GetReferenceTarget(slot->map, lastTime_) &&
         pb_->GetInt(slot->on, lastTime_) != 0;
}

// ---- Shading ----------------------------------------------------------------------

float StdMtl::Opacity(ShadeContext& sc) const {
  float opacity = w_.opacity;
  if (sc.doMaps && w_.opacityMap.map) {
    opacity = Lerp(opacity, w_.opacityMap.map->EvalMono(sc), w_.opacityMap.amount);
  }
  return std::clamp(opacity, 0.0f, 1.0f);
}

Point3 StdMtl::BumpedNormal(ShadeContext& sc) const {
  const Point3 n = sc.Normal();
  if (!sc.doMaps || !w_.bumpMap.map || w_.bumpMap.amount == 0.0f) return n;
  Point3 d = w_.bumpMap.map->EvalNormalPerturb(sc) * w_.bumpMap.amount;
  if (sc.backFace) d = -d;
  const Point3 bumped = Normalize(n + d);
  return bumped.LengthSquared() > 0.0f ? bumped : n;
}

void StdMtl::FillChannels(ShadeContext& sc, IllumParams& ip, float opacity) const {
  Color diffuse = w_.diffuse;
  float level = w_.level, glossiness = w_.glossiness;
  if (sc.doMaps) {
    if (const MapSlot& m = w_.diffuseMap; m.map) {
      const AColor c = m.map->EvalColor(sc);
      diffuse = diffuse + (c.RGB() + diffuse * (1.0f - c.a) - diffuse) * m.amount;
    }
    if (const MapSlot& m = w_.levelMap; m.map) {
      level = Lerp(level, m.map->EvalMono(sc), m.amount);
    }
    if (const MapSlot& m = w_.glossinessMap; m.map) {
      glossiness = Lerp(glossiness, m.map->EvalMono(sc), m.amount);
    }
  }
  ip.channels[ID_AM] = w_.adLock ? diffuse : w_.ambient;
  ip.channels[ID_DI] = diffuse;
  ip.channels[ID_SP] = w_.specular;
  ip.channels[ID_SH] = Grey(std::clamp(glossiness, 0.0f, 1.0f));
  ip.channels[ID_SS] = Grey(std::max(level, 0.0f));
  ip.channels[ID_SI] = w_.useSelfIllumColor ? w_.selfIllumColor : diffuse * w_.selfIllum;
  ip.channels[ID_OP] = Grey(opacity);
}

void StdMtl::Shade(ShadeContext& sc) {
  if (!shader_) return;
  const float opacity = Opacity(sc);
  const Color transparency = Grey(1.0f - opacity);
  if (sc.mode == SCMODE_SHADOW) {
    sc.out.t = transparency;
    return;
  }
  const Point3 callerNormal = sc.Normal();
  sc.SetNormal(BumpedNormal(sc));

  IllumParams ip;
  ip.ClearOutputs();
  ip.pShadeContext = &sc;
  ip.pShader = shader_;
  ip.pMtl = this;
  ip.N = sc.Normal();
  ip.V = sc.V();
  shader_->GetIllumParams(sc, ip);
  FillChannels(sc, ip, opacity);
  ip.finalOpac = opacity;
  ip.ambIllumOut = sc.ambientLight;
  if (auto* blinn = dynamic_cast<BlinnShader*>(shader_)) {
    blinn->Gather(sc, ip, w_.soften);
  } else {
    shader_->Illum(sc, ip);
  }
  if (!w_.useSelfIllumColor && w_.selfIllum > 0.0f) {
    ip.ambIllumOut *= 1.0f - w_.selfIllum;
    ip.diffIllumOut *= 1.0f - w_.selfIllum;
  }
  if (sc.doMaps && w_.reflectionMap.map) {
    ip.reflIllumOut = w_.reflectionMap.map->EvalColor(sc).RGB() * w_.reflectionMap.amount;
  }
  shader_->CombineComponents(sc, ip);
  sc.out.c = ip.finalC;
  sc.out.t = transparency;
  sc.SetNormal(callerNormal);
  // The render's elements add their values for the sample.
  if (RenderGlobalContext* gc = sc.globContext) {
    for (int i = 0; i < gc->NRenderElements(); ++i) {
      if (IRenderElement* element = gc->GetRenderElement(i)) element->PostIllum(sc, ip);
    }
  }
}

}  // namespace host

