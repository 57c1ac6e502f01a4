// The five kinds of presets: which values of which object a preset of each
// kind holds, the stores (one per kind, for the whole run), and the preset
// service the module offers the programs that load it (preset_service.h).
//
//   highlight     the advanced settings' design outline, keys "hi_..."
//   stroke        the stroke map's block 0, its size and opacity curves
//                 ("size_curve_", "alpha_curve_") and, when it has one, its
//                 coordinate generator ("StdUV_")
//   brush         the brush's block 0 (the tip)
//   brush-stroke  the brush's blocks 1 to 5 and its two falloff curves
//                 ("size_curve_", "alpha_curve_")
//   matelem       the material render element's parameters above id 3 (its
//                 name, switch and filtering are the element's own)
#pragma once

#include <memory>

#include "tarnis/common/preset_controller.h"
#include "tarnis/common/preset_store.h"
#include "tarnis/plugin/preset_service.h"

namespace tarnis {

// The store of a kind: its file in the settings directory, read on first
// use and kept until the module is unloaded.
PresetStore& PresetStoreOf(PresetKind kind);

// The object presets of `kind` are saved from and applied to when the user
// names `object` (see PresetService::TargetOf); null when there is none.
ReferenceTarget* PresetObject(PresetKind kind, ReferenceTarget* object);
// The preset bar's object side for that object; null when PresetObject is.
std::unique_ptr<PresetTarget> MakePresetTarget(PresetKind kind, ReferenceTarget* object);

// The service of this module.
PresetService& ThePresetService();

}  // namespace tarnis
