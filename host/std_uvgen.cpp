// StdUVGenImpl: the "coords" block, the working copy Update fills, source
// coordinates, the transform and the class descriptor.
#include "host/std_uvgen.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "host/gradient_noise.h"
#include "sdk/angles.h"

namespace host {
namespace {

class StdUVGenClassDesc : public ClassDesc2 {
 public:
  int IsPublic() override { return 0; }
  void* Create(bool loading) override {
    return static_cast<ReferenceTarget*>(new StdUVGenImpl(loading));
  }
  const char* ClassName() override { return "StdUVGen"; }
  const char* InternalName() override { return "StdUVGen"; }
  SClass_ID SuperClassID() override { return UVGEN_CLASS_ID; }
  Class_ID ClassID() override { return kStdUVGenClassID; }
  const char* Category() override { return ""; }
};

StdUVGenClassDesc& TheDesc() {
  static StdUVGenClassDesc desc;
  return desc;
}

ParamBlockDesc2& CoordsBlock() {
  constexpr uint32_t A = P_ANIMATABLE;
  static ParamBlockDesc2 desc{
      {.id = 0,
       .internalName = "coords",
       .classDesc = &TheDesc(),
       .ownerRef = 0,
       .flags = P_AUTO_CONSTRUCT},
      {
          {.id = kUVMapping,
           .internalName = "mapping",
           .type = TYPE_INT,
           .def = 0,
           .range = {UVMAP_EXPLICIT, UVMAP_SCREEN_ENV}},
          {.id = kUVUOffset, .internalName = "uOffset", .flags = A, .def = 0.0f},
          {.id = kUVVOffset, .internalName = "vOffset", .flags = A, .def = 0.0f},
          {.id = kUVUTiling,
           .internalName = "uTiling",
           .flags = A,
           .def = 1.0f,
           .range = {-1.0e6f, 1.0e6f}},
          {.id = kUVVTiling,
           .internalName = "vTiling",
           .flags = A,
           .def = 1.0f,
           .range = {-1.0e6f, 1.0e6f}},
          {.id = kUVUAngle, .internalName = "uAngle", .type = TYPE_ANGLE, .flags = A},
          {.id = kUVVAngle, .internalName = "vAngle", .type = TYPE_ANGLE, .flags = A},
          {.id = kUVWAngle, .internalName = "wAngle", .type = TYPE_ANGLE, .flags = A},
          {.id = kUVBlur,
           .internalName = "blur",
           .flags = A,
           .def = 1.0f,
           .range = {0.01f, 100.0f}},
          {.id = kUVBlurOffset,
           .internalName = "blurOffset",
           .flags = A,
           .def = 0.0f,
           .range = {0.0f, 1.0f}},
          {.id = kUVNoiseAmount,
           .internalName = "noiseAmount",
           .flags = A,
           .def = 1.0f,
           .range = {0.0001f, 100.0f}},
          {.id = kUVNoiseSize,
           .internalName = "noiseSize",
           .flags = A,
           .def = 1.0f,
           .range = {0.0001f, 100.0f}},
          {.id = kUVNoiseLevel,
           .internalName = "noiseLevel",
           .type = TYPE_INT,
           .flags = A,
           .def = 1,
           .range = {1, 10}},
          {.id = kUVNoisePhase, .internalName = "noisePhase", .flags = A, .def = 0.0f},
          {.id = kUVTiling,
           .internalName = "tiling",
           .type = TYPE_INT,
           .def = U_WRAP | V_WRAP,
           .range = {0, U_WRAP | V_WRAP | U_MIRROR | V_MIRROR}},
          {.id = kUVMapChannel,
           .internalName = "mapChannel",
           .type = TYPE_INT,
           .def = 1,
           .range = {1, 99}},
          {.id = kUVSymmetry,
           .internalName = "symmetry",
           .type = TYPE_INT,
           .def = 0,
           .range = {0, U_WRAP | V_WRAP | U_MIRROR | V_MIRROR}},
          {.id = kUVHideMapBack, .internalName = "hideMapBack", .type = TYPE_BOOL, .def = false},
          {.id = kUVWSource,
           .internalName = "uvwSource",
           .type = TYPE_INT,
           .def = UVWSRC_EXPLICIT,
           .range = {UVWSRC_EXPLICIT, UVWSRC_WORLDXYZ}},
          {.id = kUVSlotType,
           .internalName = "slotType",
           .type = TYPE_INT,
           .def = MAPSLOT_TEXTURE,
           .range = {MAPSLOT_TEXTURE, MAPSLOT_ENVIRON}},
          {.id = kUVAxis, .internalName = "axis", .type = TYPE_INT, .def = 0, .range = {0, 2}},
          {.id = kUVClip, .internalName = "clip", .type = TYPE_INT, .def = 0},
          {.id = kUVFlags, .internalName = "flags", .type = TYPE_INT, .def = 0},
      }};
  return desc;
}

float ToRadians(float degrees) {
  return static_cast<float>(static_cast<double>(degrees) * kDegToRadD);
}

// The float of degrees that reads back as exactly `radians`, where one of the
// neighbours of the rounded conversion does, so settings files that write an
// angle and read it back keep it bit for bit.
float DegreesFor(float radians) {
  const float d = static_cast<float>(static_cast<double>(radians) * kRadToDegD);
  if (ToRadians(d) == radians) return d;
  for (float candidate : {std::nextafter(d, HUGE_VALF), std::nextafter(d, -HUGE_VALF)}) {
    if (ToRadians(candidate) == radians) return candidate;
  }
  return d;
}

Point3 Abs(const Point3& p) {
  return {std::fabs(p.x), std::fabs(p.y), std::fabs(p.z)};
}

}  // namespace

bool TileCoordinate(float& x, bool wrap, bool mirror) {
  if (!std::isfinite(x)) return false;
  if (mirror) {
    float m = std::fmod(x, 2.0f);
    if (m < 0.0f) m += 2.0f;
    x = m <= 1.0f ? m : 2.0f - m;
    return true;
  }
  if (wrap) {
    x -= std::floor(x);
    return true;
  }
  return x >= 0.0f && x <= 1.0f;
}

bool TileUV(Point2& uv, int tilingFlags) {
  const bool inU = TileCoordinate(uv.x, tilingFlags & U_WRAP, tilingFlags & U_MIRROR);
  const bool inV = TileCoordinate(uv.y, tilingFlags & V_WRAP, tilingFlags & V_MIRROR);
  return inU && inV;
}

StdUVGenImpl::StdUVGenImpl(bool loading) {
  if (loading) return;
  GetStdUVGenDesc()->MakeAutoParamBlocks(this);
  Interval valid = FOREVER;
  Update(0, valid);
}

void StdUVGenImpl::SetReference(int i, ReferenceTarget* target) {
  if (i == 0) {
    pb_ = dynamic_cast<IParamBlock2*>(target);
    ivalid_.SetEmpty();
    for (AngleMemo& m : angles_) m = AngleMemo();
  }
}

RefResult StdUVGenImpl::NotifyRefChanged(const Interval&, ReferenceTarget* target, PartID&,
                                         RefMessage message) {
  if (target == pb_ && message == REFMSG_CHANGE) ivalid_.SetEmpty();
  return REF_SUCCEED;
}

ReferenceTarget* StdUVGenImpl::Clone(RemapDir& remap) {
  auto* copy = new StdUVGenImpl(true);
  BaseClone(this, copy, remap);
  copy->ReplaceReference(0, remap.CloneRef(pb_));
  copy->SetName(GetName());
  copy->w_ = w_;
  copy->ivalid_ = ivalid_;
  std::copy(std::begin(angles_), std::end(angles_), std::begin(copy->angles_));
  return copy;
}

void StdUVGenImpl::Reset() {
  ReplaceReference(0, CreateParameterBlock2(&CoordsBlock(), this));
}

void StdUVGenImpl::Update(TimeValue t, Interval& valid) {
  if (pb_ && !ivalid_.InInterval(t)) {
    Interval iv = FOREVER;
    Working w;
    auto f = [&](ParamID id, float& v) { pb_->GetValue(id, t, v, iv); };
    auto i = [&](ParamID id, int& v) { pb_->GetValue(id, t, v, iv); };
    int hide = 0;
    float uAngle = 0, vAngle = 0, wAngle = 0;
    i(kUVMapping, w.mapping), i(kUVWSource, w.source), i(kUVAxis, w.axis);
    i(kUVMapChannel, w.channel), i(kUVFlags, w.flags), i(kUVHideMapBack, hide);
    i(kUVTiling, w.tiling);
    f(kUVUOffset, w.uOffset), f(kUVVOffset, w.vOffset);
    f(kUVUTiling, w.uTiling), f(kUVVTiling, w.vTiling);
    f(kUVUAngle, uAngle), f(kUVVAngle, vAngle), f(kUVWAngle, wAngle);
    f(kUVBlur, w.blur), f(kUVBlurOffset, w.blurOffset);
    f(kUVNoiseAmount, w.noiseAmount), f(kUVNoiseSize, w.noiseSize);
    f(kUVNoisePhase, w.noisePhase), i(kUVNoiseLevel, w.noiseLevel);
    w.hideBack = hide != 0;
    w.cosU = std::cos(ToRadians(uAngle)), w.sinU = std::sin(ToRadians(uAngle));
    w.cosV = std::cos(ToRadians(vAngle)), w.sinV = std::sin(ToRadians(vAngle));
    w.cosW = std::cos(ToRadians(wAngle)), w.sinW = std::sin(ToRadians(wAngle));
    w_ = w;
    ivalid_ = iv;
  }
  valid &= pb_ ? ivalid_ : FOREVER;
}

Interval StdUVGenImpl::Validity(TimeValue t) {
  return pb_ ? pb_->GetValidity(t) : FOREVER;
}

float StdUVGenImpl::GetRadians(ParamID id, TimeValue t) {
  const float degrees = Pb()->GetFloat(id, t);
  const AngleMemo& memo = angles_[id - kUVUAngle];
  return memo.set && memo.degrees == degrees ? memo.radians : ToRadians(degrees);
}

void StdUVGenImpl::SetRadians(ParamID id, float radians, TimeValue t) {
  const float degrees = DegreesFor(radians);
  if (!Pb()->SetValue(id, t, degrees)) return;
  angles_[id - kUVUAngle] = {true, degrees, radians};
}

void StdUVGenImpl::SetFlag(int flag, int value) {
  const int flags = GetInt(kUVFlags);
  Pb()->SetValue(kUVFlags, 0, value ? (flags | flag) : (flags & ~flag));
}

int StdUVGenImpl::SourceChannel() {
  if (GetInt(kUVMapping) != UVMAP_EXPLICIT) return -1;
  switch (GetInt(kUVWSource)) {
    case UVWSRC_EXPLICIT:
      return GetInt(kUVMapChannel);
    case UVWSRC_EXPLICIT2:
      return 0;
    default:
      return -1;
  }
}

Point3 StdUVGenImpl::AxisOrder(const Point3& p) const {
  switch (w_.axis) {
    case 1:
      return {p.y, p.z, p.x};  // YZ plane
    case 2:
      return {p.z, p.x, p.y};  // ZX plane
    default:
      return p;  // XY plane
  }
}

Point3 StdUVGenImpl::SourceUVW(ShadeContext& sc, Point3* footprint) {
  Point3 fp;
  Point3 uvw;
  if (w_.mapping != UVMAP_EXPLICIT) {
    uvw = EnvironmentUVW(sc);
    if (w_.mapping == UVMAP_SCREEN_ENV) {
      Point2 uv, duv;
      sc.ScreenUV(uv, duv);
      fp = {std::fabs(duv.x), std::fabs(duv.y), 0.0f};
    }
  } else {
    switch (w_.source) {
      case UVWSRC_OBJXYZ:
        uvw = AxisOrder(sc.PObj());
        fp = AxisOrder(Abs(sc.DPObj()));
        break;
      case UVWSRC_WORLDXYZ:
        uvw = AxisOrder(sc.PointTo(sc.P(), REF_WORLD));
        fp = AxisOrder(Abs(sc.VectorTo(sc.DP(), REF_WORLD)));
        break;
      default: {
        const int channel = w_.source == UVWSRC_EXPLICIT2 ? 0 : w_.channel;
        uvw = sc.UVW(channel);
        fp = Abs(sc.DUVW(channel));
        break;
      }
    }
  }
  if (footprint) *footprint = fp;
  return uvw;
}

Point3 StdUVGenImpl::EnvironmentUVW(ShadeContext& sc) const {
  if (w_.mapping == UVMAP_SCREEN_ENV) {
    Point2 uv, duv;
    sc.ScreenUV(uv, duv);
    return {uv.x, uv.y, 0.0f};
  }
  const Point3 d = Normalize(sc.VectorTo(sc.ReflectVector(), REF_WORLD));
  // u grows clockwise seen from above, so the image is not mirrored for a
  // viewer inside the sphere; u = 0.5 looks along +x.
  const float azimuth = std::atan2(d.y, d.x);
  const float u = 0.5f - azimuth / kTwoPi;
  const float z = std::clamp(d.z, -1.0f, 1.0f);
  switch (w_.mapping) {
    case UVMAP_CYL_ENV: {
      const float rxy = std::max(std::hypot(d.x, d.y), 1e-6f);
      return {u, 0.5f + 0.5f * d.z / rxy, 0.0f};
    }
    case UVMAP_SHRINK_ENV: {
      // The image's centre is straight up, its rim straight down.
      const float r = std::acos(z) / kPi;
      return {0.5f + 0.5f * r * std::cos(azimuth), 0.5f - 0.5f * r * std::sin(azimuth), 0.0f};
    }
    default:
      return {u, 0.5f + std::asin(z) / kPi, 0.0f};
  }
}

Point3 StdUVGenImpl::TransformUVW(const Point3& s) const {
  float x = s.x - 0.5f, y = s.y - 0.5f, z = s.z;
  // Coordinates turn by minus each angle, so the image turns by plus it.
  float nx = x * w_.cosW + y * w_.sinW;
  float ny = -x * w_.sinW + y * w_.cosW;
  x = nx, y = ny;
  nx = x * w_.cosV - z * w_.sinV;
  float nz = x * w_.sinV + z * w_.cosV;
  x = nx, z = nz;
  ny = y * w_.cosU + z * w_.sinU;
  nz = -y * w_.sinU + z * w_.cosU;
  y = ny, z = nz;
  if (w_.flags & UV_NOISE) {
    const float phase = (w_.flags & UV_NOISE_ANI) ? w_.noisePhase : 0.0f;
    const Point3 q(x / w_.noiseSize, y / w_.noiseSize, 0.0f);
    const float amount = 0.1f * w_.noiseAmount;
    x += amount * FractalNoise3(q, w_.noiseLevel, false, phase);
    y += amount * FractalNoise3(q + Point3(17.31f, 41.13f, 5.71f), w_.noiseLevel, false, phase);
  }
  return {(x + 0.5f - w_.uOffset) * w_.uTiling, (y + 0.5f - w_.vOffset) * w_.vTiling, z};
}

Point2 StdUVGenImpl::Footprint(const Point3& fp) const {
  const float c = std::fabs(w_.cosW), s = std::fabs(w_.sinW);
  const float du = (c * fp.x + s * fp.y) * std::fabs(w_.uTiling);
  const float dv = (s * fp.x + c * fp.y) * std::fabs(w_.vTiling);
  return {du * w_.blur + w_.blurOffset, dv * w_.blur + w_.blurOffset};
}

Point3 StdUVGenImpl::MapUVW(ShadeContext& sc, Point2& duv) {
  Point3 fp;
  const Point3 uvw = TransformUVW(SourceUVW(sc, &fp));
  duv = Footprint(fp);
  return uvw;
}

void StdUVGenImpl::GetUV(ShadeContext& sc, Point2& uv, Point2& duv) {
  const Point3 t = MapUVW(sc, duv);
  uv = {t.x, t.y};
}

Point3 StdUVGenImpl::GetUVW(ShadeContext& sc) {
  return TransformUVW(SourceUVW(sc));
}

void StdUVGenImpl::SourceDirections(ShadeContext& sc, Point3 dirs[3]) {
  dirs[0] = dirs[1] = dirs[2] = Point3();
  if (w_.mapping != UVMAP_EXPLICIT) return;
  if (w_.source == UVWSRC_OBJXYZ || w_.source == UVWSRC_WORLDXYZ) {
    const RefFrame frame = w_.source == UVWSRC_OBJXYZ ? REF_OBJECT : REF_WORLD;
    const Point3 axes[3] = {sc.VectorFrom(Point3::XAxis(), frame),
                            sc.VectorFrom(Point3::YAxis(), frame),
                            sc.VectorFrom(Point3::ZAxis(), frame)};
    // The source's u, v, w are the projection axes in AxisOrder's order.
    static constexpr int kOrder[3][3] = {{0, 1, 2}, {1, 2, 0}, {2, 0, 1}};
    for (int k = 0; k < 3; ++k) dirs[k] = Normalize(axes[kOrder[w_.axis][k]]);
    return;
  }
  sc.DPdUVW(dirs, w_.source == UVWSRC_EXPLICIT2 ? 0 : w_.channel);
  for (int k = 0; k < 3; ++k) dirs[k] = Normalize(dirs[k]);
}

bool StdUVGenImpl::HidesSample(ShadeContext& sc) {
  if (!w_.hideBack || w_.mapping != UVMAP_EXPLICIT) return false;
  if (w_.source != UVWSRC_OBJXYZ && w_.source != UVWSRC_WORLDXYZ) return false;
  const RefFrame frame = w_.source == UVWSRC_OBJXYZ ? REF_OBJECT : REF_WORLD;
  return AxisOrder(sc.VectorTo(sc.Normal(), frame)).z < 0.0f;
}

ClassDesc2* GetStdUVGenDesc() {
  CoordsBlock();  // binds the block descriptor to the class
  return &TheDesc();
}

}  // namespace host
