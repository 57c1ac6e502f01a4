// The mirroring rules between a line setting, its brush and the line-type
// blocks that use it as their base setting. Every copy goes through
// CopyLinkedParam, so nothing here is recorded for undo and nothing runs
// while parameter linking is off. Missing sides (no brush, no type block)
// are skipped.
#pragma once

#include <span>
#include <vector>

#include "sdk/param_block.h"

namespace tarnis {

class Brush;
class LineSetting;

// One mirrored value: the setting's parameter, the line-type block's
// parameter (the same id in all three type blocks) and the brush's parameter
// of the tip block, or -1 when the brush does not hold it.
struct MirrorRow {
  ParamID setting;
  ParamID typeBlock;
  ParamID brush;
};
std::span<const MirrorRow> MirrorRows();
// The row of a setting / type-block parameter, or null when it is not mirrored.
const MirrorRow* MirrorRowOfSetting(ParamID d);
const MirrorRow* MirrorRowOfTypeBlock(ParamID e);

// The type blocks whose base setting is `setting`, each once.
std::vector<IParamBlock2*> TypeBlocksWithBase(LineSetting* setting);
// The settings that use `brush`, each once.
std::vector<LineSetting*> SettingsSharingBrush(Brush* brush);

// A base setting was attached to a line type: its values (and its brush's
// stretch and angle) go into the type block.
void AttachBaseSetting(IParamBlock2* typeBlock, LineSetting* setting);
// Parameter d of the setting changed: stretch and angle go to the brush, the
// other settings sharing it and all their type blocks; other values go to
// the setting's type blocks.
void MirrorSettingChange(LineSetting* setting, ParamID d);
// Parameter e of a type block changed (called by the block's owner): the
// reverse of MirrorSettingChange, starting at the type block's base setting.
void MirrorTypeBlockChange(IParamBlock2* typeBlock, ParamID e, LineSetting* base);
// A brush was attached to the setting: the setting takes the brush's stretch
// and angle and hands them on to its type blocks.
void MirrorBrushAttach(LineSetting* setting);

}  // namespace tarnis
