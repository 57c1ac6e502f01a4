#include "tarnis/line/effect/line_setting_links.h"

#include <algorithm>

#include "tarnis/line/brush/brush.h"
#include "tarnis/line/effect/line_setting.h"
#include "tarnis/line/effect/param_linking.h"

namespace tarnis {

namespace {

constexpr MirrorRow kRows[] = {
    {kLineColor, 3, -1},
    {kLineMapOpacity, 4, -1},
    {kLineMap, 5, -1},
    {kLineMapEnable, 6, -1},
    {kLineBlend, 7, -1},
    {kLineAlpha, 8, -1},
    {kLineSize, 9, -1},
    {kLineStretch, 10, kBrushMapStretch},
    {kLineAngle, 11, kBrushMapAngle},
    {kLineSizeMapEnable, 43, -1},
    {kLineSizeMapAmount, 41, -1},
    {kLineSizeMap, 42, -1},
};

template <class T>
void AddOnce(std::vector<T*>& list, T* item) {
  if (item && std::find(list.begin(), list.end(), item) == list.end()) list.push_back(item);
}

IParamBlock2* TipBlock(Brush* brush) {
  return brush ? brush->Block(kBrushBlockParameters) : nullptr;
}

// Copies setting parameter d into every type block of `settings` except `skip`.
void CopyToTypeBlocks(IParamBlock2* src, ParamID srcId, const MirrorRow& row,
                      const std::vector<LineSetting*>& settings, IParamBlock2* skip) {
  std::vector<IParamBlock2*> blocks;
  for (LineSetting* s : settings) {
    for (IParamBlock2* tb : TypeBlocksWithBase(s)) AddOnce(blocks, tb);
  }
  for (IParamBlock2* tb : blocks) {
    if (tb != skip) CopyLinkedParam(src, srcId, tb, row.typeBlock);
  }
}

// From the brush's tip block to every setting sharing the brush (but `skip`)
// and to all their type blocks (but `skipBlock`).
void SpreadFromBrush(Brush* brush, const MirrorRow& row, LineSetting* skip,
                     IParamBlock2* skipBlock) {
  IParamBlock2* tip = TipBlock(brush);
  const std::vector<LineSetting*> sharing = SettingsSharingBrush(brush);
  for (LineSetting* s : sharing) {
    if (s != skip) CopyLinkedParam(tip, row.brush, s->Block(), row.setting);
  }
  CopyToTypeBlocks(tip, row.brush, row, sharing, skipBlock);
}

}  // namespace

std::span<const MirrorRow> MirrorRows() {
  return kRows;
}

const MirrorRow* MirrorRowOfSetting(ParamID d) {
  for (const MirrorRow& row : kRows) {
    if (row.setting == d) return &row;
  }
  return nullptr;
}

const MirrorRow* MirrorRowOfTypeBlock(ParamID e) {
  for (const MirrorRow& row : kRows) {
    if (row.typeBlock == e) return &row;
  }
  return nullptr;
}

std::vector<IParamBlock2*> TypeBlocksWithBase(LineSetting* setting) {
  std::vector<IParamBlock2*> blocks;
  if (!setting) return blocks;
  for (ReferenceMaker* maker : setting->Dependents()) {
    auto* owner = dynamic_cast<TypeBlockOwner*>(maker);
    if (!owner) continue;
    std::vector<IParamBlock2*> found;
    owner->TypeBlocksWithBase(setting, found);
    for (IParamBlock2* tb : found) AddOnce(blocks, tb);
  }
  return blocks;
}

std::vector<LineSetting*> SettingsSharingBrush(Brush* brush) {
  std::vector<LineSetting*> settings;
  if (!brush) return settings;
  for (ReferenceMaker* maker : brush->Dependents()) {
    auto* s = dynamic_cast<LineSetting*>(maker);
    if (s && s->GetBrush() == brush) AddOnce(settings, s);
  }
  return settings;
}

void AttachBaseSetting(IParamBlock2* typeBlock, LineSetting* setting) {
  if (!typeBlock || !setting) return;
  IParamBlock2* tip = TipBlock(setting->GetBrush());
  for (const MirrorRow& row : kRows) {
    if (row.brush >= 0) {
      CopyLinkedParam(tip, row.brush, typeBlock, row.typeBlock);
    } else {
      CopyLinkedParam(setting->Block(), row.setting, typeBlock, row.typeBlock);
    }
  }
}

void MirrorSettingChange(LineSetting* setting, ParamID d) {
  const MirrorRow* row = MirrorRowOfSetting(d);
  if (!row || !setting || !ParamLinkingOn()) return;
  IParamBlock2* block = setting->Block();
  Brush* brush = setting->GetBrush();
  if (row->brush >= 0 && brush) {
    CopyLinkedParam(block, d, TipBlock(brush), row->brush);
    const std::vector<LineSetting*> sharing = SettingsSharingBrush(brush);
    for (LineSetting* other : sharing) {
      if (other != setting) CopyLinkedParam(block, d, other->Block(), d);
    }
    CopyToTypeBlocks(block, d, *row, sharing, nullptr);
    return;
  }
  CopyToTypeBlocks(block, d, *row, {setting}, nullptr);
}

void MirrorTypeBlockChange(IParamBlock2* typeBlock, ParamID e, LineSetting* base) {
  const MirrorRow* row = MirrorRowOfTypeBlock(e);
  if (!row || !typeBlock || !base || !ParamLinkingOn()) return;
  Brush* brush = base->GetBrush();
  if (row->brush >= 0 && brush) {
    CopyLinkedParam(typeBlock, e, TipBlock(brush), row->brush);
    SpreadFromBrush(brush, *row, nullptr, typeBlock);
    return;
  }
  CopyLinkedParam(typeBlock, e, base->Block(), row->setting);
  CopyToTypeBlocks(typeBlock, e, *row, {base}, typeBlock);
}

void MirrorBrushAttach(LineSetting* setting) {
  if (!setting || !ParamLinkingOn()) return;
  IParamBlock2* tip = TipBlock(setting->GetBrush());
  if (!tip) return;
  for (ParamID d : {kLineStretch, kLineAngle}) {
    const MirrorRow& row = *MirrorRowOfSetting(d);
    CopyLinkedParam(tip, row.brush, setting->Block(), d);
    CopyToTypeBlocks(setting->Block(), d, row, {setting}, nullptr);
  }
}

}  // namespace tarnis
