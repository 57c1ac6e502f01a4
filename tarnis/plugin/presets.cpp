#include "tarnis/plugin/presets.h"

#include <array>
#include <utility>
#include <vector>

#include "sdk/curve_control.h"
#include "sdk/mtl.h"
#include "tarnis/common/ini_handler.h"
#include "tarnis/common/shape_control.h"
#include "tarnis/line/brush/brush.h"
#include "tarnis/line/effect/line_setting.h"
#include "tarnis/material/tarmat.h"
#include "tarnis/material/tarmat_ext.h"
#include "tarnis/output/mat_render_element.h"
#include "tarnis/stroke/stroke_map.h"

namespace tarnis {

namespace {

constexpr char kSizeCurvePrefix[] = "size_curve_";
constexpr char kAlphaCurvePrefix[] = "alpha_curve_";
// The element's own name, switch and filtering stay with the element.
constexpr ParamID kLastStandardElementParam = 3;

struct PresetCurve {
  ICurve* curve;
  const char* prefix;
};

// The values of one object that a preset of its kind holds. Parts the
// object lacks (an empty slot) are left out.
struct PresetParts {
  std::vector<IParamBlock2*> blocks;
  ParamFilter filter;
  std::vector<PresetCurve> curves;
  StdUVGen* coords = nullptr;
  QvPolygonCtrl* shape = nullptr;
};

ICurve* FirstCurve(CurveControl* control) {
  return control ? control->GetControlCurve(0) : nullptr;
}

void AddCurve(PresetParts& parts, CurveControl* control, const char* prefix) {
  if (ICurve* curve = FirstCurve(control)) parts.curves.push_back({curve, prefix});
}

void AddBlock(PresetParts& parts, IParamBlock2* pb) {
  if (pb) parts.blocks.push_back(pb);
}

PresetParts PartsOf(PresetKind kind, ReferenceTarget* object) {
  PresetParts parts;
  switch (kind) {
    case PresetKind::kHighlight:
      parts.shape = static_cast<TarmatExt*>(object)->Outline();
      break;
    case PresetKind::kStroke: {
      auto* map = static_cast<Stroke*>(object);
      AddBlock(parts, map->Block(kStrokeBlockCoordExt));
      AddCurve(parts, map->SizeCurve(), kSizeCurvePrefix);
      AddCurve(parts, map->AlphaCurve(), kAlphaCurvePrefix);
      parts.coords = map->Generator();
      break;
    }
    case PresetKind::kBrush:
      AddBlock(parts, static_cast<Brush*>(object)->Block(kBrushBlockParameters));
      break;
    case PresetKind::kBrushStroke: {
      auto* brush = static_cast<Brush*>(object);
      for (int b = kBrushBlockStroke; b < kBrushNumBlocks; ++b) AddBlock(parts, brush->Block(b));
      AddCurve(parts, brush->SizeCurve(), kSizeCurvePrefix);
      AddCurve(parts, brush->AlphaCurve(), kAlphaCurvePrefix);
      break;
    }
    case PresetKind::kMatElement:
      AddBlock(parts, static_cast<MatRenderElement*>(object)->Block());
      parts.filter = [](ParamID id) { return id > kLastStandardElementParam; };
      break;
  }
  return parts;
}

class PartsPreset : public PresetTarget {
 public:
  explicit PartsPreset(PresetParts parts) : parts_(std::move(parts)) {}

  void ApplyPreset(IniHandler& store, const char* name) override {
    for (IParamBlock2* pb : parts_.blocks) store.ReadBlock(name, *pb, parts_.filter);
    for (const PresetCurve& c : parts_.curves) store.ReadCurve(name, *c.curve, c.prefix);
    if (parts_.coords) store.ReadCoords(name, *parts_.coords);
    if (parts_.shape) store.ReadShape(name, *parts_.shape);
  }

  void SavePreset(IniHandler& store, const char* name) override {
    for (IParamBlock2* pb : parts_.blocks) store.WriteBlock(name, *pb, parts_.filter);
    for (const PresetCurve& c : parts_.curves) store.WriteCurve(name, *c.curve, c.prefix);
    if (parts_.coords) store.WriteCoords(name, *parts_.coords);
    if (parts_.shape) store.WriteShape(name, *parts_.shape);
  }

 private:
  PresetParts parts_;
};

class ModulePresetService final : public PresetService {
 public:
  std::vector<std::string> Names(PresetKind kind) override { return PresetStoreOf(kind).Names(); }

  std::string FilePath(PresetKind kind) override {
    PresetStore& store = PresetStoreOf(kind);
    return store.Handler() ? store.Path() : std::string();
  }

  std::string FileProblem(PresetKind kind) override {
    PresetStore& store = PresetStoreOf(kind);
    return store.Handler() ? store.Problem() : std::string();
  }

  ReferenceTarget* TargetOf(PresetKind kind, ReferenceTarget* object) override {
    return PresetObject(kind, object);
  }

  PresetResult Save(PresetKind kind, std::string_view name, ReferenceTarget* object) override {
    std::unique_ptr<PresetTarget> target = MakePresetTarget(kind, object);
    return PresetController(&PresetStoreOf(kind), target.get()).Save(name);
  }

  PresetResult Apply(PresetKind kind, std::string_view name, ReferenceTarget* object) override {
    std::unique_ptr<PresetTarget> target = MakePresetTarget(kind, object);
    return PresetController(&PresetStoreOf(kind), target.get()).Apply(name);
  }

  PresetResult Delete(PresetKind kind, std::string_view name) override {
    return PresetController(&PresetStoreOf(kind), nullptr).Delete(name);
  }
};

// The stores are kept in the order of the kinds' numbers.
constexpr bool KindsInOrder() {
  for (int i = 0; i < kNumPresetKinds; ++i) {
    if (static_cast<int>(kPresetKinds[i].kind) != i) return false;
  }
  return true;
}
static_assert(KindsInOrder());

}  // namespace

PresetStore& PresetStoreOf(PresetKind kind) {
  static std::array<PresetStore, kNumPresetKinds> stores = {
      PresetStore(kPresetKinds[0].fileName), PresetStore(kPresetKinds[1].fileName),
      PresetStore(kPresetKinds[2].fileName), PresetStore(kPresetKinds[3].fileName),
      PresetStore(kPresetKinds[4].fileName)};
  return stores[static_cast<size_t>(kind)];
}

ReferenceTarget* PresetObject(PresetKind kind, ReferenceTarget* object) {
  switch (kind) {
    case PresetKind::kHighlight:
      if (auto* mtl = dynamic_cast<Tarmat*>(object)) return mtl->Ext();
      return dynamic_cast<TarmatExt*>(object);
    case PresetKind::kStroke:
      return dynamic_cast<Stroke*>(object);
    case PresetKind::kBrush:
    case PresetKind::kBrushStroke:
      if (auto* setting = dynamic_cast<LineSetting*>(object)) return setting->GetBrush();
      return dynamic_cast<Brush*>(object);
    case PresetKind::kMatElement:
      return dynamic_cast<MatRenderElement*>(object);
  }
  return nullptr;
}

std::unique_ptr<PresetTarget> MakePresetTarget(PresetKind kind, ReferenceTarget* object) {
  ReferenceTarget* target = PresetObject(kind, object);
  if (!target) return nullptr;
  return std::make_unique<PartsPreset>(PartsOf(kind, target));
}

PresetService& ThePresetService() {
  static ModulePresetService service;
  return service;
}

}  // namespace tarnis
