#include "tarnis/line/effect/line_set_frame.h"

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

}  // namespace tarnis
