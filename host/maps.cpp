// The bitmap, checker and noise maps: their blocks and class descriptors, the
// shared StdTexmap machinery (working copy, sub-maps, bump, cloning) and each
// map's sampling.
#include "host/maps.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#include "host/bitmap_sampler.h"
#include "host/gradient_noise.h"

namespace host {
namespace {

// ---- Warnings -----------------------------------------------------------------

std::mutex& WarningsMutex() {
  static std::mutex m;
  return m;
}
std::vector<std::string>& PendingWarnings() {
  static std::vector<std::string> w;
  return w;
}

void AddMapWarning(std::string text) {
  std::lock_guard lock(WarningsMutex());
  auto& pending = PendingWarnings();
  if (std::find(pending.begin(), pending.end(), text) == pending.end()) {
    pending.push_back(std::move(text));
  }
}

// ---- Class descriptors ------------------------------------------------------

template <class T>
class MapClassDesc : public ClassDesc2 {
 public:
  MapClassDesc(const char* name, Class_ID id) : name_(name), id_(id) {}
  int IsPublic() override { return 1; }
  void* Create(bool loading) override { return static_cast<ReferenceTarget*>(new T(loading)); }
  const char* ClassName() override { return name_; }
  const char* InternalName() override { return name_; }
  SClass_ID SuperClassID() override { return TEXMAP_CLASS_ID; }
  Class_ID ClassID() override { return id_; }
  const char* Category() override { return "Maps"; }

 private:
  const char* name_;
  Class_ID id_;
};

MapClassDesc<BitmapTex>& BitmapDesc() {
  static MapClassDesc<BitmapTex> desc("Bitmap", kBitmapTexClassID);
  return desc;
}
MapClassDesc<Checker>& CheckerDesc() {
  static MapClassDesc<Checker> desc("Checker", kCheckerClassID);
  return desc;
}
MapClassDesc<Noise>& NoiseDesc() {
  static MapClassDesc<Noise> desc("Noise", kNoiseClassID);
  return desc;
}

ParamDef CoordsParam(ParamID id) {
  return {.id = id,
          .internalName = "coords",
          .type = TYPE_REFTARG,
          .flags = P_OWNERS_REF,
          .ownerRef = kMapCoordsRef};
}

ParamBlockDesc2& BitmapBlock() {
  static ParamBlockDesc2 desc{
      {.id = 0,
       .internalName = "bitmap",
       .classDesc = &BitmapDesc(),
       .ownerRef = kMapBlockRef,
       .flags = P_AUTO_CONSTRUCT},
      {
          {.id = kBmFilename, .internalName = "filename", .type = TYPE_FILENAME, .def = ""},
          {.id = kBmFiltering, .internalName = "filtering", .type = TYPE_BOOL, .def = true},
          {.id = kBmAlphaSource,
           .internalName = "alphaSource",
           .type = TYPE_INT,
           .def = kAlphaFromImage,
           .range = {kAlphaFromImage, kAlphaOpaque}},
          CoordsParam(kBmCoords),
      }};
  return desc;
}

ParamBlockDesc2& CheckerBlock() {
  static ParamBlockDesc2 desc{{.id = 0,
                               .internalName = "checker",
                               .classDesc = &CheckerDesc(),
                               .ownerRef = kMapBlockRef,
                               .flags = P_AUTO_CONSTRUCT},
                              {
                                  {.id = kCkColor1,
                                   .internalName = "color1",
                                   .type = TYPE_RGBA,
                                   .flags = P_ANIMATABLE,
                                   .def = Color(0, 0, 0)},
                                  {.id = kCkColor2,
                                   .internalName = "color2",
                                   .type = TYPE_RGBA,
                                   .flags = P_ANIMATABLE,
                                   .def = Color(1, 1, 1)},
                                  {.id = kCkMap1, .internalName = "map1", .type = TYPE_TEXMAP},
                                  {.id = kCkMap2, .internalName = "map2", .type = TYPE_TEXMAP},
                                  {.id = kCkSoften,
                                   .internalName = "soften",
                                   .flags = P_ANIMATABLE,
                                   .def = 0.0f,
                                   .range = {0.0f, 1.0f}},
                                  CoordsParam(kCkCoords),
                              }};
  return desc;
}

ParamBlockDesc2& NoiseBlock() {
  static ParamBlockDesc2 desc{
      {.id = 0,
       .internalName = "noise",
       .classDesc = &NoiseDesc(),
       .ownerRef = kMapBlockRef,
       .flags = P_AUTO_CONSTRUCT},
      {
          {.id = kNzColor1,
           .internalName = "color1",
           .type = TYPE_RGBA,
           .flags = P_ANIMATABLE,
           .def = Color(0, 0, 0)},
          {.id = kNzColor2,
           .internalName = "color2",
           .type = TYPE_RGBA,
           .flags = P_ANIMATABLE,
           .def = Color(1, 1, 1)},
          {.id = kNzMap1, .internalName = "map1", .type = TYPE_TEXMAP},
          {.id = kNzMap2, .internalName = "map2", .type = TYPE_TEXMAP},
          {.id = kNzSize,
           .internalName = "size",
           .type = TYPE_WORLD,
           .flags = P_ANIMATABLE,
           .def = 25.0f,
           .range = {0.001f, 1.0e6f}},
          {.id = kNzType,
           .internalName = "noiseType",
           .type = TYPE_INT,
           .def = kNoiseRegular,
           .range = {kNoiseRegular, kNoiseTurbulence}},
          {.id = kNzLevels,
           .internalName = "levels",
           .type = TYPE_INT,
           .flags = P_ANIMATABLE,
           .def = 3,
           .range = {1, 10}},
          {.id = kNzPhase, .internalName = "phase", .flags = P_ANIMATABLE, .def = 0.0f},
          {.id = kNzLow,
           .internalName = "low",
           .flags = P_ANIMATABLE,
           .def = 0.0f,
           .range = {0.0f, 1.0f}},
          {.id = kNzHigh,
           .internalName = "high",
           .flags = P_ANIMATABLE,
           .def = 1.0f,
           .range = {0.0f, 1.0f}},
          CoordsParam(kNzCoords),
      }};
  return desc;
}

float Mono(const AColor& c) {
  return c.RGB().Average();
}

AColor Mix(const AColor& a, const AColor& b, float t) {
  return a * (1.0f - t) + b * t;
}

}  // namespace

std::vector<std::string> TakeMapWarnings() {
  std::lock_guard lock(WarningsMutex());
  std::vector<std::string> out;
  out.swap(PendingWarnings());
  return out;
}

ClassDesc2* GetBitmapTexDesc() {
  BitmapBlock();
  return &BitmapDesc();
}
ClassDesc2* GetCheckerDesc() {
  CheckerBlock();
  return &CheckerDesc();
}
ClassDesc2* GetNoiseDesc() {
  NoiseBlock();
  return &NoiseDesc();
}

// ---- StdTexmap ----------------------------------------------------------------

void StdTexmap::Init(ClassDesc2* cd, bool loading) {
  if (loading) return;
  cd->MakeAutoParamBlocks(this);
  ReplaceReference(kMapCoordsRef, new StdUVGenImpl());
  Interval valid = FOREVER;
  Update(0, valid);
}

ReferenceTarget* StdTexmap::GetReference(int i) {
  if (i == kMapBlockRef) return pb_;
  if (i == kMapCoordsRef) return coordsRef_;
  return nullptr;
}

void StdTexmap::SetReference(int i, ReferenceTarget* target) {
  if (i == kMapBlockRef) pb_ = dynamic_cast<IParamBlock2*>(target);
  if (i == kMapCoordsRef) {
    coordsRef_ = target;
    coords_ = dynamic_cast<StdUVGenImpl*>(target);
  }
  ivalid_.SetEmpty();
}

CStr StdTexmap::SubAnimName(int i) {
  if (i == kMapBlockRef) return "Parameters";
  if (i == kMapCoordsRef) return "Coordinates";
  return "";
}

RefResult StdTexmap::NotifyRefChanged(const Interval&, ReferenceTarget*, PartID&,
                                      RefMessage message) {
  if (message == REFMSG_CHANGE || message == REFMSG_TARGET_DELETED) ivalid_.SetEmpty();
  return REF_SUCCEED;
}

void StdTexmap::CloneInto(StdTexmap* copy, RemapDir& remap) {
  BaseClone(this, copy, remap);
  for (int i = 0; i < NumRefs(); ++i) copy->ReplaceReference(i, remap.CloneRef(GetReference(i)));
  copy->SetName(GetName());
  copy->ivalid_ = ivalid_;
}

void StdTexmap::EnsureCoords() {
  // Slot 1 may have been given something that is not a coordinate generator
  // (a scene file, a load of a damaged scene): the map keeps working with
  // fresh default coordinates.
  if (!coords_) ReplaceReference(kMapCoordsRef, new StdUVGenImpl());
}

void StdTexmap::DropCyclicSubMaps() {
  if (!pb_) return;
  for (ParamID id : SubMapParams()) {
    ReferenceTarget* m = pb_->GetReferenceTarget(id);
    if (m && (m == this || HasDependent(m))) {
      AddMapWarning(std::string("map '") + GetName() + "': sub-map '" +
                    pb_->GetDesc()->GetParamDef(id)->internalName +
                    "' referenced the map itself and was removed");
      pb_->SetValue(id, 0, nullptr);
    }
  }
}

void StdTexmap::Update(TimeValue t, Interval& valid) {
  if (updating_) return;  // a cycle through another map's slots
  updating_ = true;
  EnsureCoords();
  DropCyclicSubMaps();
  if (!ivalid_.InInterval(t)) {
    Interval iv = FOREVER;
    coords_->Update(t, iv);
    if (pb_) ReadParams(t, iv);
    for (int i = 0; i < NumSubTexmaps(); ++i) {
      if (Texmap* m = GetSubTexmap(i)) m->Update(t, iv);
    }
    ivalid_ = iv;
  }
  valid &= ivalid_;
  updating_ = false;
}

Interval StdTexmap::Validity(TimeValue t) {
  Interval v = pb_ ? pb_->GetValidity(t) : FOREVER;
  if (coords_) v &= coords_->Validity(t);
  for (int i = 0; i < NumSubTexmaps(); ++i) {
    if (Texmap* m = GetSubTexmap(i); m && m != this) v &= m->Validity(t);
  }
  return v;
}

uint32_t StdTexmap::Requirements(int subMtlNum) {
  uint32_t r = coords_ && coords_->SourceChannel() == 1 ? MTLREQ_UV : 0;
  for (int i = 0; i < NumSubTexmaps(); ++i) {
    if (Texmap* m = GetSubTexmap(i); m && m != this) r |= m->Requirements(subMtlNum);
  }
  return r;
}

void StdTexmap::LocalMappingsRequired(int subMtlNum, std::vector<int>& channels) {
  const int channel = coords_ ? coords_->SourceChannel() : -1;
  if (channel >= 0 && std::find(channels.begin(), channels.end(), channel) == channels.end()) {
    channels.push_back(channel);
  }
  for (int i = 0; i < NumSubTexmaps(); ++i) {
    if (Texmap* m = GetSubTexmap(i); m && m != this) m->LocalMappingsRequired(subMtlNum, channels);
  }
}

Texmap* StdTexmap::GetSubTexmap(int i) {
  const std::vector<ParamID> ids = SubMapParams();
  if (!pb_ || i < 0 || i >= static_cast<int>(ids.size())) return nullptr;
  return dynamic_cast<Texmap*>(pb_->GetReferenceTarget(ids[static_cast<size_t>(i)]));
}

void StdTexmap::SetSubTexmap(int i, Texmap* m) {
  const std::vector<ParamID> ids = SubMapParams();
  if (!pb_ || i < 0 || i >= static_cast<int>(ids.size())) return;
  pb_->SetValue(ids[static_cast<size_t>(i)], 0, static_cast<ReferenceTarget*>(m));
}

CStr StdTexmap::GetSubTexmapSlotName(int i) {
  const std::vector<ParamID> ids = SubMapParams();
  if (!pb_ || i < 0 || i >= static_cast<int>(ids.size())) return "";
  return pb_->GetDesc()->GetParamDef(ids[static_cast<size_t>(i)])->internalName.c_str();
}

AColor StdTexmap::SubColor(ShadeContext& sc, int i, const AColor& fallback) {
  Texmap* m = GetSubTexmap(i);
  return m && m != this ? m->EvalColor(sc) : fallback;
}

AColor StdTexmap::EvalColor(ShadeContext& sc) {
  if (!coords_ || coords_->HidesSample(sc)) return {};
  Point2 duv;
  const Point3 uvw = coords_->MapUVW(sc, duv);
  return Sample(sc, uvw, sc.filterMaps ? duv : Point2());
}

Point3 StdTexmap::EvalNormalPerturb(ShadeContext& sc) {
  if (!coords_ || coords_->HidesSample(sc)) return {};
  Point3 footprint;
  const Point3 source = coords_->SourceUVW(sc, &footprint);
  Point2 duv;
  coords_->MapUVW(sc, duv);
  if (!sc.filterMaps) duv = Point2();
  Point3 dirs[3];
  coords_->SourceDirections(sc, dirs);
  Point3 d;
  for (int k = 0; k < NumBumpAxes(); ++k) {
    if (dirs[k].LengthSquared() == 0.0f) continue;
    // Half the footprint resolves what the pixel sees; the minimum keeps the
    // difference meaningful where the context has no footprint.
    const float step = std::max(0.5f * footprint[k], MinBumpStep());
    Point3 ahead = source, behind = source;
    ahead[k] += step;
    behind[k] -= step;
    const float slope = (Mono(Sample(sc, coords_->TransformUVW(ahead), duv)) -
                         Mono(Sample(sc, coords_->TransformUVW(behind), duv))) /
                        (2.0f * step);
    d -= dirs[k] * slope;
  }
  const Point3 n = sc.Normal();
  return d - n * DotProd(d, n);
}

// ---- BitmapTex ----------------------------------------------------------------

BitmapTex::BitmapTex(bool loading) {
  Init(GetBitmapTexDesc(), loading);
}

ReferenceTarget* BitmapTex::Clone(RemapDir& remap) {
  auto* copy = new BitmapTex(true);
  CloneInto(copy, remap);
  copy->image_ = image_;
  copy->loadedPath_ = loadedPath_;
  copy->loadError_ = loadError_;
  copy->filtering_ = filtering_;
  copy->alphaSource_ = alphaSource_;
  return copy;
}

void BitmapTex::ReadParams(TimeValue t, Interval& valid) {
  std::string path;
  int filtering = 1;
  ParamBlock()->GetValue(kBmFilename, t, path, valid);
  ParamBlock()->GetValue(kBmFiltering, t, filtering, valid);
  ParamBlock()->GetValue(kBmAlphaSource, t, alphaSource_, valid);
  filtering_ = filtering != 0;
  if (path == loadedPath_) return;
  loadedPath_ = path;
  image_.reset();
  loadError_.clear();
  if (path.empty()) return;
  image_ = LoadTexture(path, &loadError_);
  if (!image_) {
    if (loadError_.empty()) loadError_ = path + ": cannot be read";
    AddMapWarning("bitmap map '" + std::string(GetName()) + "': " + loadError_ +
                  "; the map renders black");
  }
}

AColor BitmapTex::Sample(ShadeContext&, const Point3& uvw, const Point2& duv) {
  if (!image_) return {0.0f, 0.0f, 0.0f, 1.0f};
  const float width = filtering_ ? std::max(duv.x, duv.y) : 0.0f;
  AColor c = image_->Sample(uvw.x, uvw.y, width, Coords() ? Coords()->TilingFlags() : 0);
  switch (alphaSource_) {
    case kAlphaFromRGB:
      c.a = Mono(c);
      break;
    case kAlphaOpaque:
      c.a = 1.0f;
      break;
    default:
      // Image files hold straight alpha; maps answer premultiplied colours.
      c.r *= c.a, c.g *= c.a, c.b *= c.a;
      break;
  }
  return c;
}

// ---- Checker ------------------------------------------------------------------

namespace {

// Integral from 0 to x of the square wave that is 0 on [0, 0.5) and 1 on
// [0.5, 1), repeating.
float SquareIntegral(float x) {
  const float f = std::floor(x);
  return 0.5f * f + std::max(0.0f, x - f - 0.5f);
}

// The square wave averaged over [x - w/2, x + w/2].
float FilteredSquare(float x, float w) {
  if (w <= 1e-6f) return x - std::floor(x) >= 0.5f ? 1.0f : 0.0f;
  return (SquareIntegral(x + 0.5f * w) - SquareIntegral(x - 0.5f * w)) / w;
}

}  // namespace

Checker::Checker(bool loading) {
  Init(GetCheckerDesc(), loading);
}

ReferenceTarget* Checker::Clone(RemapDir& remap) {
  auto* copy = new Checker(true);
  CloneInto(copy, remap);
  copy->color1_ = color1_, copy->color2_ = color2_, copy->soften_ = soften_;
  return copy;
}

void Checker::ReadParams(TimeValue t, Interval& valid) {
  ParamBlock()->GetValue(kCkColor1, t, color1_, valid);
  ParamBlock()->GetValue(kCkColor2, t, color2_, valid);
  ParamBlock()->GetValue(kCkSoften, t, soften_, valid);
}

AColor Checker::Sample(ShadeContext& sc, const Point3& uvw, const Point2& duv) {
  Point2 uv(uvw.x, uvw.y);
  if (!TileUV(uv, Coords() ? Coords()->TilingFlags() : 0)) return {};
  const float blur = 0.5f * soften_;
  const float a = FilteredSquare(uv.x, duv.x + blur);
  const float b = FilteredSquare(uv.y, duv.y + blur);
  // Share of color2: one axis in its upper half and the other not.
  const float k = a * (1.0f - b) + b * (1.0f - a);
  const AColor c1 = k < 1.0f ? SubColor(sc, 0, AColor(color1_)) : AColor();
  const AColor c2 = k > 0.0f ? SubColor(sc, 1, AColor(color2_)) : AColor();
  return Mix(c1, c2, k);
}

// ---- Noise --------------------------------------------------------------------

Noise::Noise(bool loading) {
  Init(GetNoiseDesc(), loading);
  if (loading) return;
  // A solid texture: object XYZ unless the scene asks for a map channel.
  Coords()->SetUVWSource(UVWSRC_OBJXYZ);
  Interval valid = FOREVER;
  Update(0, valid);
}

ReferenceTarget* Noise::Clone(RemapDir& remap) {
  auto* copy = new Noise(true);
  CloneInto(copy, remap);
  copy->color1_ = color1_, copy->color2_ = color2_;
  copy->size_ = size_, copy->phase_ = phase_, copy->low_ = low_, copy->high_ = high_;
  copy->type_ = type_, copy->levels_ = levels_;
  return copy;
}

void Noise::ReadParams(TimeValue t, Interval& valid) {
  IParamBlock2* pb = ParamBlock();
  pb->GetValue(kNzColor1, t, color1_, valid);
  pb->GetValue(kNzColor2, t, color2_, valid);
  pb->GetValue(kNzSize, t, size_, valid);
  pb->GetValue(kNzType, t, type_, valid);
  pb->GetValue(kNzLevels, t, levels_, valid);
  pb->GetValue(kNzPhase, t, phase_, valid);
  pb->GetValue(kNzLow, t, low_, valid);
  pb->GetValue(kNzHigh, t, high_, valid);
}

float Noise::Value(const Point3& uvw) const {
  const Point3 p = uvw / size_;
  float v = 0.0f;
  switch (type_) {
    case kNoiseFractal:
      v = 0.5f + 0.5f * FractalNoise3(p, levels_, false, phase_);
      break;
    case kNoiseTurbulence:
      v = FractalNoise3(p, levels_, true, phase_);
      break;
    default:
      v = 0.5f + 0.5f * PhasedNoise3(p, phase_);
      break;
  }
  if (high_ > low_) return std::clamp((v - low_) / (high_ - low_), 0.0f, 1.0f);
  return v >= low_ ? 1.0f : 0.0f;
}

AColor Noise::Sample(ShadeContext& sc, const Point3& uvw, const Point2&) {
  const float k = Value(uvw);
  const AColor c1 = k < 1.0f ? SubColor(sc, 0, AColor(color1_)) : AColor();
  const AColor c2 = k > 0.0f ? SubColor(sc, 1, AColor(color2_)) : AColor();
  return Mix(c1, c2, k);
}

}  // namespace host
