#include "tarnis/stroke/stroke_map.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "sdk/class_desc.h"
#include "sdk/hold.h"
#include "sdk/render.h"
#include "sdk/save_load.h"
#include "tarnis/common/blend_color.h"
#include "tarnis/common/ini_handler.h"
#include "tarnis/common/random_tables.h"
#include "tarnis/material/shade_contexts.h"
#include "tarnis/stroke/stroke_class_desc.h"
#include "tarnis/stroke/stroke_settings.h"

namespace tarnis {

namespace {

// Pattern units in one map unit.
constexpr float kPatternUnits = 480.0f;
// Keeps the depth ratios finite at depth 0.
constexpr float kDepthEpsilon = 0.00001f;
// Map-unit step of the bump differences: one pattern unit.
constexpr float kBumpStep = 1.0f / kPatternUnits;
constexpr float kBumpScale = 0.02f;

std::string SlotText(int slot) {
  return "stroke map slot " + std::to_string(slot);
}

// Runs a loaded stroke map's repair once every object of the file is loaded
// and its references are attached.
class StrokePostLoadCallback : public PostLoadCallback {
 public:
  explicit StrokePostLoadCallback(Stroke* stroke) : stroke_(stroke) {}
  void proc(ILoad* iload) override { stroke_->RepairAfterLoad(iload); }

 private:
  Stroke* stroke_;
};

// Where the sample's object sits in the frame: its projected centre as a
// device offset from the image centre, its depth in front of the camera and
// its linear scale.
struct ObjectView {
  bool found = false;
  float offsetX = 0.0f, offsetY = 0.0f;
  float depth = 0.0f;
  float scale = 1.0f;
};

ObjectView FindObject(ShadeContext& sc) {
  ObjectView view;
  RenderGlobalContext* gc = sc.globContext;
  INode* node = sc.Node();
  const int id = sc.NodeID();
  if (!gc || !node || id < 0 || id >= gc->NumRenderInstances()) return view;
  RenderInstance* inst = gc->GetRenderInstance(id);
  if (!inst || inst->GetINode() != node) return view;
  const Point2 screen = gc->MapToScreen(inst->center);
  view.found = true;
  view.offsetX = screen.x - gc->xc;
  view.offsetY = screen.y - gc->yc;
  view.depth = -inst->center.z;  // the camera looks down -z
  view.scale = std::cbrt(std::fabs(inst->objToCam.Determinant()));
  return view;
}

}  // namespace

PluginClassDesc<Stroke>* GetStrokeDesc() {
  return PluginClassDesc<Stroke>::Get();
}

Stroke::Stroke(bool loading) : loading_(loading) {
  // The shared tables are filled with the first map, not in the middle of a
  // render.
  RandomTableA();
  RandomTableB();
  values_.Derive();
  if (loading) return;
  GetStrokeDesc()->MakeAutoParamBlocks(this);
  NewGenerator();
  NewCurve(kStrokeSizeCurveRef);
  NewCurve(kStrokeAlphaCurveRef);
  Interval valid = FOREVER;
  Update(0, valid);
}

Stroke::~Stroke() = default;

IParamBlock2* Stroke::Block(int block) const {
  if (block < 0 || block >= kStrokeNumBlocks) return nullptr;
  auto* pb = dynamic_cast<IParamBlock2*>(refs_[block]);
  return pb && pb->GetDesc() == StrokeBlockDesc(block) ? pb : nullptr;
}

StdUVGen* Stroke::Generator() const {
  return dynamic_cast<StdUVGen*>(refs_[kStrokeUVGenRef]);
}

CurveControl* Stroke::SizeCurve() const {
  return dynamic_cast<CurveControl*>(refs_[kStrokeSizeCurveRef]);
}

CurveControl* Stroke::AlphaCurve() const {
  return dynamic_cast<CurveControl*>(refs_[kStrokeAlphaCurveRef]);
}

// --- Sampling ----------------------------------------------------------------------

StrokeResult Stroke::Evaluate(ShadeContext& sc, int seed, float scale) const {
  Point2 uv;
  if (generator_) {
    Point2 duv;
    generator_->GetUV(sc, uv, duv);
  } else {
    const Point3 uvw = sc.UVW(1);
    uv = Point2(uvw.x, uvw.y);
  }
  return Sample(sc, uv, seed, scale);
}

StrokeResult Stroke::Sample(ShadeContext& sc, const Point2& uv, int seed, float scale) const {
  const StrokeValues& v = values_;
  RenderGlobalContext* gc = sc.globContext;
  float x = uv.x - 0.5f;
  float y = -(uv.y - 0.5f);

  ObjectView object;
  if (v.objectOrigin || v.surface != 0.0f) object = FindObject(sc);
  // The object origin and depth reduction belong to real renders only.
  const bool anchored =
      v.objectOrigin && object.found && !sc.InMtlEditor() && gc->devWidth > 0 && gc->devHeight > 0;
  if (anchored) {
    x -= object.offsetX / static_cast<float>(gc->devWidth);
    y -= object.offsetY / static_cast<float>(gc->devHeight);
  }
  // Screen coordinates span the image's width in u and its height in v:
  // make one unit the image height on both axes.
  if (screen_ && gc && gc->devHeight > 0) {
    x *= static_cast<float>(gc->devWidth) * gc->devAspect / static_cast<float>(gc->devHeight);
  }
  if (v.surface != 0.0f && object.found && gc->yscale != 0.0f) {
    const float m = object.scale * (gc->projType == PROJ_PERSPECTIVE ? object.depth : 1.0f);
    if (m != 0.0f) {
      const Point3 n = sc.Normal();
      const float k = v.surface * 0.01f * n.z / (gc->yscale * m);
      x -= n.x * k * gc->xscale;
      y -= n.y * k * gc->yscale;
    }
  }
  float du = 0.0f, dv = 0.0f;
  SeedShift(seed, v.randomU, v.randomV, du, dv);
  x -= du;
  y -= dv;

  float p = v.cosAngle * y + v.sinAngle * x;
  float q = v.cosAngle * x - v.sinAngle * y;
  if (anchored) {
    const float d = object.depth, s = v.zScaleStart, e = v.zScaleEnd;
    float factor = 1.0f;
    if (s < d && s < e) {
      factor = (std::min(d, e) + kDepthEpsilon) / (s + kDepthEpsilon);
    } else if (s > d && s > e) {
      factor = (s + kDepthEpsilon) / (std::max(d, e) + kDepthEpsilon);
    }
    p *= factor;
    q *= factor;
  }
  const float px = kPatternUnits * q;
  const float patternX = px * scale;
  const float patternY = (kPatternUnits * p + 0.0001f * px * px * v.bend) * scale;
  return Shade(sc, patternX, patternY, seed);
}

StrokeResult Stroke::Shade(ShadeContext& sc, float x, float y, int seed) const {
  const StrokeValues& v = values_;
  StrokeResult result;
  HatchSample field;
  if (v.solid) {
    field.coverage = 1.0f;
  } else {
    field = HatchField(v, profiles_, x, y, seed);
    if (field.coverage <= 0.0f) return result;
  }
  Color colour = v.color;
  if (map_) {
    const AColor m = map_->EvalColor(sc);
    colour = colour * (1.0f - m.a * v.mapOpacity) + m.RGB() * v.mapOpacity;
  }
  if (!v.solid && v.colorRange.Active()) {
    colour = ApplyColorShift(colour, field.shift, v.colorRange.type);
  }
  result.colour = colour;
  result.coverage = field.coverage;
  return result;
}

float Stroke::ShadeStroke(ShadeContext& sc, float opacity, Color& colour, int seed, float scale) {
  StrokeShadeContext strokeContext(sc, seed, scale);
  const StrokeResult r = Evaluate(strokeContext, seed, scale);
  if (r.coverage <= 0.0f) return 0.0f;
  const float k = opacity * values_.alpha * r.coverage;
  if (k > 0.0f) BlendColor(colour, r.colour, k, BlendModeOfIndex(values_.blend));
  return k;
}

AColor Stroke::EvalColor(ShadeContext& sc) {
  if (auto* strokeContext = dynamic_cast<StrokeShadeContext*>(&sc)) {
    const StrokeResult r = Evaluate(sc, strokeContext->Seed(), strokeContext->Scale());
    return AColor(r.colour.r, r.colour.g, r.colour.b, r.coverage);
  }
  const StrokeResult r = Evaluate(sc, 0, 1.0f);
  const Color c = r.colour * r.coverage;
  return AColor(c.r, c.g, c.b, r.coverage);
}

float Stroke::EvalMono(ShadeContext& sc) {
  Color c = EvalColor(sc).RGB();
  c.ClampMinMax();
  return c.Average();
}

Point3 Stroke::EvalNormalPerturb(ShadeContext& sc) {
  StdUVGen* gen = Generator();
  int channel = 1;
  if (generator_ && gen) {
    if (screen_ || gen->GetCoordMapping() != UVMAP_EXPLICIT) return {};
    if (gen->GetUVWSource() != UVWSRC_EXPLICIT && gen->GetUVWSource() != UVWSRC_EXPLICIT2) {
      return {};
    }
    channel = gen->GetUVWSource() == UVWSRC_EXPLICIT2 ? 0 : gen->GetMapChannel();
  }
  Point3 dP[3];
  sc.DPdUVW(dP, channel);
  Point2 uv;
  if (generator_) {
    Point2 duv;
    generator_->GetUV(sc, uv, duv);
  } else {
    const Point3 uvw = sc.UVW(1);
    uv = Point2(uvw.x, uvw.y);
  }
  auto mono = [&](float du, float dv) {
    const StrokeResult r = Sample(sc, Point2(uv.x + du, uv.y + dv), 0, 1.0f);
    Color c = r.colour * r.coverage;
    c.ClampMinMax();
    return c.Average();
  };
  const float dMdu = (mono(kBumpStep, 0.0f) - mono(-kBumpStep, 0.0f)) / (2.0f * kBumpStep);
  const float dMdv = (mono(0.0f, kBumpStep) - mono(0.0f, -kBumpStep)) / (2.0f * kBumpStep);
  return dP[0] * (dMdu * kBumpScale) + dP[1] * (dMdv * kBumpScale);
}

UVGen* Stroke::GetTheUVGen() {
  return Generator();
}

int Stroke::GetMapChannel() {
  StdUVGen* gen = Generator();
  return gen ? gen->GetMapChannel() : 1;
}

// --- Working copy ----------------------------------------------------------------

void Stroke::Update(TimeValue t, Interval& valid) {
  if (updating_) return;  // reached again through a map cycle
  updating_ = true;
  if (curvesPending_) ResetCurves();
  if (!ivalid_.InInterval(t)) {
    Interval iv = FOREVER;
    IParamBlock2* blocks[kStrokeNumBlocks];
    for (int b = 0; b < kStrokeNumBlocks; ++b) blocks[b] = Block(b);
    values_ = ReadStrokeValues(blocks, t, iv);

    StdUVGen* gen = Generator();
    if (gen) gen->Update(t, iv);
    generator_ = gen;
    screen_ = gen && gen->GetCoordMapping() == UVMAP_SCREEN_ENV;
    values_.objectOrigin = screen_ && values_.origin == kStrokeOriginObject;

    map_ = nullptr;
    Texmap* map = UsableMap();
    if (map && values_.mapEnable) {
      map->Update(t, iv);
      map_ = map;
    }

    profiles_ = StrokeProfiles();
    if (values_.dampSizeEnable && CopyCurve(kStrokeSizeCurveRef, sizeProfile_)) {
      profiles_.size = sizeProfile_.GetControlCurve(0);
    }
    if (values_.dampAlphaEnable && CopyCurve(kStrokeAlphaCurveRef, alphaProfile_)) {
      profiles_.alpha = alphaProfile_.GetControlCurve(0);
    }
    ivalid_ = iv;
  }
  valid &= ivalid_;
  updating_ = false;
}

bool Stroke::CopyCurve(int ref, CurveControl& copy) const {
  auto* curve = dynamic_cast<CurveControl*>(refs_[ref]);
  const ICurve* from = curve ? curve->GetControlCurve(0) : nullptr;
  if (!from) return false;
  // In x order, so that sampling never sorts.
  std::vector<CurvePoint> points = from->Points();
  std::stable_sort(points.begin(), points.end(),
                   [](const CurvePoint& a, const CurvePoint& b) { return a.p.x < b.p.x; });
  HoldSuspend suspend;
  ICurve* to = copy.GetControlCurve(0);
  to->SetNumPts(static_cast<int>(points.size()));
  for (size_t i = 0; i < points.size(); ++i) {
    to->SetPoint(0, static_cast<int>(i), points[i], false, false);
  }
  return true;
}

Interval Stroke::Validity(TimeValue t) {
  Interval v = FOREVER;
  for (int b = 0; b < kStrokeNumBlocks; ++b) {
    if (IParamBlock2* pb = Block(b)) v &= pb->GetValidity(t);
  }
  if (StdUVGen* gen = Generator()) v &= gen->Validity(t);
  if (Texmap* m = UsableMap()) v &= m->Validity(t);
  return v;
}

uint32_t Stroke::Requirements(int subMtlNum) {
  StdUVGen* gen = Generator();
  const bool channel1 =
      !gen || (gen->GetCoordMapping() == UVMAP_EXPLICIT && gen->GetUVWSource() == UVWSRC_EXPLICIT &&
               gen->GetMapChannel() == 1);
  uint32_t r = channel1 ? MTLREQ_UV : 0;
  if (Texmap* m = UsableMap()) r |= m->Requirements(subMtlNum);
  return r;
}

void Stroke::LocalMappingsRequired(int subMtlNum, std::vector<int>& channels) {
  StdUVGen* gen = Generator();
  int channel = 1;
  if (gen) {
    channel = -1;
    if (gen->GetCoordMapping() == UVMAP_EXPLICIT) {
      if (gen->GetUVWSource() == UVWSRC_EXPLICIT) channel = gen->GetMapChannel();
      if (gen->GetUVWSource() == UVWSRC_EXPLICIT2) channel = 0;
    }
  }
  if (channel >= 0 && std::find(channels.begin(), channels.end(), channel) == channels.end()) {
    channels.push_back(channel);
  }
  if (Texmap* m = UsableMap()) m->LocalMappingsRequired(subMtlNum, channels);
}

Texmap* Stroke::UsableMap() {
  auto* map = dynamic_cast<Texmap*>(refs_[kStrokeMapRef]);
  if (!map || map == this || HasDependent(map)) return nullptr;
  return map;
}

void Stroke::Reset() {
  for (int b = 0; b < kStrokeNumBlocks; ++b) {
    ReplaceReference(b, CreateParameterBlock2(StrokeBlockDesc(b), this));
  }
  ReplaceReference(kStrokeMapRef, nullptr);
  if (StdUVGen* gen = Generator()) {
    gen->Reset();
  } else {
    NewGenerator();
  }
  curvesPending_ = true;
  ivalid_.SetEmpty();
}

// --- Generator and curves ------------------------------------------------------------

void Stroke::NewGenerator() {
  // Null where the host offers no standard generator: the map then reads
  // map channel 1 as it is.
  ReplaceReference(kStrokeUVGenRef, NewDefaultStdUVGen());
}

void Stroke::SetDefaultCurve(CurveControl& curve) {
  HoldSuspend suspend;
  curve.SetXRange(0.0f, 1.0f);
  curve.SetYRange(0.0f, 1.0f);
  curve.SetNumCurves(1);
  ICurve* c = curve.GetControlCurve(0);
  const int ends = CURVEP_CORNER | CURVEP_ENDPOINT;
  const CurvePoint points[] = {
      {.p = {0.0f, 1.0f}, .in = {0.0f, 0.0f}, .out = {0.3333f, 0.0f}, .flags = ends},
      {.p = {1.0f, 1.0f}, .in = {-0.3333f, 0.0f}, .out = {0.0f, 0.0f}, .flags = ends},
  };
  c->SetNumPts(2);
  for (int i = 0; i < 2; ++i) c->SetPoint(0, i, points[i], false, i == 1);
}

void Stroke::NewCurve(int ref) {
  auto* made = static_cast<ReferenceTarget*>(
      GetClassDirectory().CreateInstance(REF_MAKER_CLASS_ID, CURVE_CONTROL_CLASS_ID));
  auto* curve = dynamic_cast<CurveControl*>(made);
  TARNIS_CHECK(curve) << "the curve control class is not in the class directory";
  LoadStrokeCurve(*curve,
                  ref == kStrokeSizeCurveRef ? kStrokeBlockDampSize : kStrokeBlockDampAlpha);
  ReplaceReference(ref, curve);
}

void Stroke::ResetCurves() {
  curvesPending_ = false;
  for (int ref : {kStrokeSizeCurveRef, kStrokeAlphaCurveRef}) {
    if (CurveControl* curve = dynamic_cast<CurveControl*>(refs_[ref])) {
      LoadStrokeCurve(*curve,
                      ref == kStrokeSizeCurveRef ? kStrokeBlockDampSize : kStrokeBlockDampAlpha);
    } else {
      NewCurve(ref);
    }
  }
}

// --- Sub-maps and references -------------------------------------------------------------

Texmap* Stroke::GetSubTexmap(int i) {
  return i == 0 ? dynamic_cast<Texmap*>(refs_[kStrokeMapRef]) : nullptr;
}

void Stroke::SetSubTexmap(int i, Texmap* m) {
  if (i == 0) ReplaceReference(kStrokeMapRef, m);
}

CStr Stroke::GetSubTexmapSlotName(int i) {
  return i == 0 ? "strokeMap" : "";
}

void Stroke::GetClassName(CStr& s) {
  s = GetStrokeDesc()->ClassName();
}

ReferenceTarget* Stroke::GetReference(int i) {
  return i >= 0 && i < kStrokeNumRefs ? refs_[i] : nullptr;
}

bool Stroke::Fits(int slot, ReferenceTarget* target) const {
  if (!target) return true;
  if (slot < kStrokeNumBlocks) {
    auto* pb = dynamic_cast<IParamBlock2*>(target);
    return pb && pb->GetDesc() == StrokeBlockDesc(slot);
  }
  if (slot == kStrokeUVGenRef) {
    return target->SuperClassID() == UVGEN_CLASS_ID && dynamic_cast<StdUVGen*>(target);
  }
  if (slot == kStrokeMapRef) {
    return target->SuperClassID() == TEXMAP_CLASS_ID && dynamic_cast<Texmap*>(target);
  }
  return dynamic_cast<CurveControl*>(target) != nullptr;
}

void Stroke::SetReference(int i, ReferenceTarget* target) {
  if (i < 0 || i >= kStrokeNumRefs) return;
  // A slot keeps what it had when offered the wrong kind of object (a
  // checked replace then fails), except while a saved map is being read.
  if (!loading_ && !Fits(i, target)) return;
  refs_[i] = target;
  if (auto* curve = dynamic_cast<CurveControl*>(target)) curve->SetOwner(this);
  ivalid_.SetEmpty();
}

RefResult Stroke::NotifyRefChanged(const Interval&, ReferenceTarget*, PartID&, RefMessage message) {
  if (message == REFMSG_CHANGE || message == REFMSG_TARGET_DELETED) ivalid_.SetEmpty();
  return REF_SUCCEED;
}

ReferenceTarget* Stroke::Clone(RemapDir& remap) {
  auto* copy = new Stroke(true);
  BaseClone(this, copy, remap);
  for (int i = 0; i < kStrokeNumRefs; ++i) copy->ReplaceReference(i, remap.CloneRef(refs_[i]));
  copy->loading_ = false;
  copy->curvesPending_ = curvesPending_;
  copy->SetName(GetName());
  Interval valid = FOREVER;
  copy->Update(0, valid);
  return copy;
}

// --- Saving and loading ------------------------------------------------------------------

IOResult Stroke::Save(ISave* isave) {
  return SaveName(isave);
}

IOResult Stroke::Load(ILoad* iload) {
  loading_ = true;
  if (LoadName(iload) != IO_OK) return IO_ERROR;
  iload->RegisterPostLoadCallback(std::make_unique<StrokePostLoadCallback>(this));
  return IO_OK;
}

void Stroke::RepairAfterLoad(ILoad* iload) {
  HoldSuspend suspend;
  FillMissing(iload);
  loading_ = false;
  ivalid_.SetEmpty();
  Interval valid = FOREVER;
  Update(0, valid);
}

void Stroke::FillMissing(ILoad* iload) {
  for (int i = 0; i < kStrokeNumRefs; ++i) {
    if (refs_[i] && !Fits(i, refs_[i])) {
      iload->LogWarning(SlotText(i) + " held an object of the wrong kind; it was dropped");
      ReplaceReference(i, nullptr);
    }
  }
  for (int b = 0; b < kStrokeNumBlocks; ++b) {
    if (!refs_[b]) ReplaceReference(b, CreateParameterBlock2(StrokeBlockDesc(b), this));
  }
  if (!refs_[kStrokeUVGenRef]) NewGenerator();
  for (int ref : {kStrokeSizeCurveRef, kStrokeAlphaCurveRef}) {
    if (!refs_[ref]) NewCurve(ref);
  }
}

}  // namespace tarnis
