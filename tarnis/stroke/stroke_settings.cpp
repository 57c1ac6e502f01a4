#include "tarnis/stroke/stroke_settings.h"

#include "sdk/curve_control.h"
#include "sdk/hold.h"
#include "tarnis/common/ini_handler.h"
#include "tarnis/stroke/stroke_map.h"

namespace tarnis {

void LoadStrokeCurve(CurveControl& curve, int block) {
  Stroke::SetDefaultCurve(curve);
  const char* section = StrokeCurveSection(block);
  if (!section) return;
  HoldSuspend suspend;
  StrokeIniHandler ini;
  // A curve read only in part is no one's shape: fall back to the built-in one.
  if (!ini.ReadCurve(section, *curve.GetControlCurve(0))) Stroke::SetDefaultCurve(curve);
}

bool SaveStrokeBlockDefaults(Stroke& stroke, int block, IniHandler& ini) {
  const char* section = StrokeDefaultsSection(block);
  IParamBlock2* pb = stroke.Block(block);
  if (!section || !pb) return false;
  const char* curveSection = StrokeCurveSection(block);
  const ICurve* curve = nullptr;
  if (curveSection) {
    CurveControl* control =
        block == kStrokeBlockDampSize ? stroke.SizeCurve() : stroke.AlphaCurve();
    curve = control ? control->GetControlCurve(0) : nullptr;
    if (!curve) return false;
  }
  SaveAsDefault(ini, section, *pb, curveSection, curve);
  // The write is not reported: the file holding the block's first key tells.
  const ParamDef& first = pb->GetDesc()->GetParamDefByIndex(0);
  return ini.ReadValue(section, first.internalName.c_str()).has_value() &&
         (!curveSection || ini.ReadValue(curveSection, "num").has_value());
}

bool SaveStrokeDefaults(Stroke& stroke, IniHandler& ini) {
  bool all = true;
  for (int block : {kStrokeBlockDampSize, kStrokeBlockDampAlpha, kStrokeBlockColorMod}) {
    all = SaveStrokeBlockDefaults(stroke, block, ini) && all;
  }
  return all;
}

}  // namespace tarnis
