// Locale-independent number texts for settings files.
#include "tarnis/common/ini_values.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <system_error>

namespace tarnis {
namespace {

// Skips spaces and tabs and one "+" sign, which from_chars does not accept.
std::string_view NumberStart(std::string_view text) {
  size_t b = text.find_first_not_of(" \t");
  if (b == std::string_view::npos) return {};
  text.remove_prefix(b);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  return text;
}

// Parses a float at the start of `text` and moves `text` past it.
std::optional<float> TakeFloat(std::string_view& text) {
  text = NumberStart(text);
  float v = 0.0f;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || !std::isfinite(v)) return std::nullopt;
  text.remove_prefix(static_cast<size_t>(end - text.data()));
  return v;
}

}  // namespace

std::string FormatFloat(float v) {
  char buffer[128];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed, 6);
  // 128 characters hold every float in fixed notation (at most 39 digits
  // before the point), so ec is never set.
  return ec == std::errc() ? std::string(buffer, end) : std::string("0.000000");
}

std::string FormatColor(const Color& c) {
  return FormatFloat(c.r) + " " + FormatFloat(c.g) + " " + FormatFloat(c.b);
}

std::optional<float> ParseFloat(std::string_view text) {
  return TakeFloat(text);
}

std::optional<int> ParseInt(std::string_view text) {
  text = NumberStart(text);
  int v = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc()) return std::nullopt;
  return v;
}

std::optional<Color> ParseColor(std::string_view text) {
  std::optional<float> r = TakeFloat(text);
  std::optional<float> g = r ? TakeFloat(text) : std::nullopt;
  std::optional<float> b = g ? TakeFloat(text) : std::nullopt;
  if (!b) return std::nullopt;
  return Color(*r, *g, *b);
}

void CopyToBuffer(std::string_view text, char* buffer, int size) {
  size_t n = std::min(text.size(), static_cast<size_t>(size - 1));
  if (n < text.size()) {
    // Back up to the start of a UTF-8 sequence so no character is cut.
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  }
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
}

}  // namespace tarnis
