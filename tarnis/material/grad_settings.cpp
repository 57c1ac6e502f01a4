#include "tarnis/material/grad_settings.h"

#include <algorithm>
#include <mutex>
#include <optional>
#include <string>

#include "tarnis/common/blend_color.h"
#include "tarnis/common/ini_values.h"

namespace tarnis {
namespace {

constexpr char kMinKey[] = "min";
constexpr char kMaxKey[] = "max";
constexpr char kColorKey[] = "color";
constexpr char kBlendKey[] = "blend_method";
constexpr char kAmountKey[] = "blend_amount";
constexpr float kPercentMax = 100.0f;

std::string ZoneSection(size_t zone) {
  return "Tarnis Material Zone " + std::to_string(zone + 1);
}

// Parsed values are finite already (the parsers refuse NaN and infinities).
void ReadPercent(IniHandler& ini, const std::string& section, const char* key, float& value) {
  std::optional<std::string> text = ini.ReadValue(section.c_str(), key);
  std::optional<float> v = text ? ParseFloat(*text) : std::nullopt;
  if (v) value = std::clamp(*v, 0.0f, kPercentMax);
}

void ReadZone(IniHandler& ini, size_t zone, ZoneDefaults& z) {
  const std::string section = ZoneSection(zone);
  ReadPercent(ini, section, kMinKey, z.min);
  ReadPercent(ini, section, kMaxKey, z.max);
  ReadPercent(ini, section, kAmountKey, z.amount);
  if (std::optional<std::string> text = ini.ReadValue(section.c_str(), kColorKey)) {
    if (std::optional<Color> c = ParseColor(*text)) {
      for (int ch = 0; ch < 3; ++ch) z.color[ch] = std::clamp((*c)[ch], 0.0f, 1.0f);
    }
  }
  if (std::optional<std::string> text = ini.ReadValue(section.c_str(), kBlendKey)) {
    if (std::optional<int> b = ParseInt(*text)) z.blend = std::clamp(*b, 0, kNumBlendModes - 1);
  }
}

// Zones in order: each core is a range, and no core starts below the end of
// the one before it (touching is fine: the built-in quarters touch).
bool Ordered(const GradationLayout& layout) {
  for (size_t k = 0; k < layout.size(); ++k) {
    if (layout[k].min > layout[k].max) return false;
    if (k > 0 && layout[k].min < layout[k - 1].max) return false;
  }
  return true;
}

struct CurrentLayout {
  std::mutex mutex;
  GradationLayout layout = BuiltInGradation();
};

CurrentLayout& Current() {
  static CurrentLayout current;
  return current;
}

void MakeCurrent(const GradationLayout& layout) {
  CurrentLayout& current = Current();
  std::lock_guard lock(current.mutex);
  current.layout = layout;
}

}  // namespace

GradationLayout BuiltInGradation() {
  GradationLayout layout;
  for (size_t k = 0; k < layout.size(); ++k) {
    const float f = static_cast<float>(k);
    const float grey = 0.25f * f;
    layout[k] = {.min = 25.0f * f,
                 .max = 25.0f * (f + 1.0f),
                 .color = Color(grey, grey, grey),
                 .blend = 0,
                 .amount = 100.0f};
  }
  return layout;
}

GradationLayout LoadGradationDefaults(IniHandler& ini) {
  GradationLayout layout = BuiltInGradation();
  for (size_t k = 0; k < layout.size(); ++k) ReadZone(ini, k, layout[k]);
  // A half-applied layout would leave overlapping zones (a zone's ramps
  // running backwards), so a file out of order counts for nothing.
  if (!Ordered(layout)) return BuiltInGradation();
  return layout;
}

GradationLayout LoadGradationDefaults() {
  const std::string path = SettingsFilePath(kGradSettingsFile);
  if (path.empty()) return BuiltInGradation();
  IniHandler ini(path);
  return LoadGradationDefaults(ini);
}

bool SaveGradationDefaults(const GradationLayout& layout, IniHandler& ini) {
  for (size_t k = 0; k < layout.size(); ++k) {
    const ZoneDefaults& z = layout[k];
    const std::string section = ZoneSection(k);
    const char* s = section.c_str();
    const bool written = ini.WriteString(s, kMinKey, FormatFloat(z.min).c_str()) &&
                         ini.WriteString(s, kMaxKey, FormatFloat(z.max).c_str()) &&
                         ini.WriteString(s, kColorKey, FormatColor(z.color).c_str()) &&
                         ini.WriteString(s, kBlendKey, std::to_string(z.blend).c_str()) &&
                         ini.WriteString(s, kAmountKey, FormatFloat(z.amount).c_str());
    if (!written) return false;
  }
  // What the file gives back, so the current layout is the one the next
  // start-up reads (rounded to the file's six decimals, clamped, in order).
  MakeCurrent(LoadGradationDefaults(ini));
  return true;
}

bool SaveGradationDefaults(const GradationLayout& layout) {
  IniHandler ini(SettingsFilePath(kGradSettingsFile));
  ini.ResolvePath();
  return SaveGradationDefaults(layout, ini);
}

GradationLayout CurrentGradationDefaults() {
  CurrentLayout& current = Current();
  std::lock_guard lock(current.mutex);
  return current.layout;
}

void ReloadGradationDefaults() {
  MakeCurrent(LoadGradationDefaults());
}

}  // namespace tarnis
