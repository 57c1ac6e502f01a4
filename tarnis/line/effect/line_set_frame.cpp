#include "tarnis/line/effect/line_set_frame.h"

#include "sdk/inode.h"
#include "tarnis/line/effect/line_set.h"

namespace tarnis {

namespace {

struct KindSwitches {
  ParamID edge;        // the kind's edge switch in the type block
  ParamID respective;  // its own setting instead of the base setting
};

constexpr KindSwitches kSwitches[] = {
    {kTypeEdgeObject, kTypeObjectRespectiveEnable},  {kTypeEdgeNormal, kTypeNormalRespectiveEnable},
    {kTypeEdgeMatID, kTypeMaterialRespectiveEnable}, {kTypeEdgeSmooth, kTypeSmoothRespectiveEnable},
    {kTypeEdgeIsect, kTypeIsectRespectiveEnable},
};

LineDepth::Change readChange(IParamBlock2* block, const CurveControl* curve, TimeValue t,
                             ParamID enable, ParamID min, ParamID max, ParamID nodeEnable,
                             ParamID node) {
  LineDepth::Change c;
  c.on = block->GetInt(enable, t) != 0;
  if (c.on) {
    c.curve = curve;
    c.min = block->GetFloat(min, t);
    c.max = block->GetFloat(max, t);
    if (c.max == c.min) {
      c = LineDepth::Change();
    } else {
      c.invRange = 1.0f / (c.max - c.min);
    }
  }
  auto* reference = block->GetRefAs<INode>(node, t);
  if (block->GetInt(nodeEnable, t) != 0 && reference) {
    c.fromNode = true;
    c.nodePosition = reference->GetNodeTM(t).GetTrans();
  }
  return c;
}

}  // namespace

LineSetting* SettingForEdge(const LineSet& set, int type, int kind, TimeValue t) {
  if (kind < kEdgeObject || kind > kEdgeIntersection) return nullptr;
  IParamBlock2* block = set.TypeBlock(type);
  if (!block) return nullptr;
  const KindSwitches& s = kSwitches[kind - kEdgeObject];
  if (block->GetInt(s.edge, t) == 0) return nullptr;
  int slot = block->GetInt(s.respective, t) != 0 ? kind : 0;
  return set.Setting(type, slot);
}

LineDepth PrepareLineDepth(const LineSet& set, int type, TimeValue t) {
  const int depthType = type == 1 ? 1 : 2;
  LineDepth depth;
  IParamBlock2* block = set.DepthBlock(depthType);
  if (!block) return depth;
  depth.size = readChange(block, set.SizeCurve(depthType), t, kDepthZScaleEnable, kDepthZMin,
                          kDepthZMax, kDepthZScaleObjectEnable, kDepthZScaleObjectNode);
  depth.alpha = readChange(block, set.AlphaCurve(depthType), t, kDepthZAlphaEnable, kDepthZAlphaMin,
                           kDepthZAlphaMax, kDepthZAlphaObjectEnable, kDepthZAlphaObjectNode);
  if (depth.alpha.on) depth.alpha.farValue = block->GetFloat(kDepthZAlphaMaxValue, t) * 0.01f;
  return depth;
}

}  // namespace tarnis
