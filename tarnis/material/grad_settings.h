// The default zone layout of new toon materials: the built-in quarters, the
// gradation settings file that the "set as default" button writes and the
// plug-in reads at start-up, and the process-wide layout new materials take.
//
// The file holds one section per zone, "Tarnis Material Zone 1" … "4", with
// the keys "min", "max" and "blend_amount" ("%f", 0..100 as the user sees
// them), "color" ("%f %f %f", 0..1) and "blend_method" ("%d", a blend mode).
#pragma once

#include <array>

#include "sdk/color.h"
#include "tarnis/common/ini_handler.h"

namespace tarnis {

// One zone's defaults: its core [min, max] and blend amount in 0..100, its
// colour and its blend mode.
struct ZoneDefaults {
  float min = 0.0f;
  float max = 0.0f;
  Color color;
  int blend = 0;
  float amount = 100.0f;
};
using GradationLayout = std::array<ZoneDefaults, 4>;

inline constexpr const char* kGradSettingsFile = kGradIniFile;

// Zone k = 0..3 covers 25k..25(k + 1) in grey 0.25k, blend 0, amount 100.
GradationLayout BuiltInGradation();

// The layout a settings file holds over the built-in one: a missing key
// keeps its built-in value, as does a value that does not parse or is not
// finite; the rest are clamped to their ranges (min, max, amount 0..100,
// blend 0..15, colour channels 0..1). A file whose zones end up out of order
// gives the built-in layout whole.
GradationLayout LoadGradationDefaults(IniHandler& ini);
// The same from the gradation settings file in the settings directory; the
// built-in layout when there is no such directory or file.
GradationLayout LoadGradationDefaults();

// Writes every zone's five keys; true only when every key was written. The
// first key that fails ends the save. On success the layout as the file now
// gives it back becomes the current default.
bool SaveGradationDefaults(const GradationLayout& layout, IniHandler& ini);
// The same into the gradation settings file (moved to the fallback
// directory when the settings directory cannot be written).
bool SaveGradationDefaults(const GradationLayout& layout);

// The layout new materials start from: the built-in one until
// ReloadGradationDefaults reads the file or a save succeeds. Returned by
// value, so a reload on another thread never changes a layout being read.
GradationLayout CurrentGradationDefaults();
// Makes the gradation settings file's layout current (plug-in start-up).
void ReloadGradationDefaults();

}  // namespace tarnis
