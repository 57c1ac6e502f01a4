// Color (RGB) and AColor (RGBA) in linear floating point, usually 0..1 but not
// clamped unless asked, plus the HSV conversions. Hue, saturation and value
// are all 0..1; a hue of 1 is the same as 0.
#pragma once

#include <algorithm>
#include <type_traits>

#include "sdk/points.h"

struct Color {
  float r = 0.0f, g = 0.0f, b = 0.0f;

  constexpr Color() = default;
  // Any mix of arithmetic types, so Color(1, 0.5f, 0.25) needs no casts.
  template <class R, class G, class B>
  requires std::is_arithmetic_v<R> && std::is_arithmetic_v<G> && std::is_arithmetic_v<B>
  constexpr Color(R r_, G g_, B b_) : r(float(r_)), g(float(g_)), b(float(b_)) {}
  constexpr explicit Color(const Point3& p) : r(p.x), g(p.y), b(p.z) {}

  static constexpr Color Black() { return {0.0f, 0.0f, 0.0f}; }
  static constexpr Color White() { return {1.0f, 1.0f, 1.0f}; }

  float& operator[](int i) { return i == 0 ? r : (i == 1 ? g : b); }
  float operator[](int i) const { return i == 0 ? r : (i == 1 ? g : b); }
  constexpr explicit operator Point3() const { return {r, g, b}; }

  constexpr Color operator-() const { return {-r, -g, -b}; }
  constexpr Color operator+(const Color& c) const { return {r + c.r, g + c.g, b + c.b}; }
  constexpr Color operator-(const Color& c) const { return {r - c.r, g - c.g, b - c.b}; }
  // Component-wise product, as when a light colour filters a surface colour.
  constexpr Color operator*(const Color& c) const { return {r * c.r, g * c.g, b * c.b}; }
  constexpr Color operator*(float f) const { return {r * f, g * f, b * f}; }
  constexpr Color operator/(float f) const { return {r / f, g / f, b / f}; }
  Color& operator+=(const Color& c) {
    r += c.r;
    g += c.g;
    b += c.b;
    return *this;
  }
  Color& operator-=(const Color& c) {
    r -= c.r;
    g -= c.g;
    b -= c.b;
    return *this;
  }
  Color& operator*=(const Color& c) {
    r *= c.r;
    g *= c.g;
    b *= c.b;
    return *this;
  }
  Color& operator*=(float f) {
    r *= f;
    g *= f;
    b *= f;
    return *this;
  }
  constexpr bool operator==(const Color&) const = default;

  // Clamps every channel into [lo, hi].
  void ClampMinMax(float lo = 0.0f, float hi = 1.0f) {
    r = std::clamp(r, lo, hi);
    g = std::clamp(g, lo, hi);
    b = std::clamp(b, lo, hi);
  }
  constexpr float Average() const { return (r + g + b) / 3.0f; }
};

constexpr Color operator*(float f, const Color& c) {
  return c * f;
}

struct AColor {
  float r = 0.0f, g = 0.0f, b = 0.0f, a = 0.0f;

  constexpr AColor() = default;
  constexpr AColor(float r_, float g_, float b_, float a_ = 1.0f) : r(r_), g(g_), b(b_), a(a_) {}
  constexpr AColor(const Color& c, float a_ = 1.0f) : r(c.r), g(c.g), b(c.b), a(a_) {}

  float& operator[](int i) { return i == 0 ? r : (i == 1 ? g : (i == 2 ? b : a)); }
  float operator[](int i) const { return i == 0 ? r : (i == 1 ? g : (i == 2 ? b : a)); }
  constexpr Color RGB() const { return {r, g, b}; }
  constexpr explicit operator Color() const { return {r, g, b}; }

  constexpr AColor operator+(const AColor& c) const { return {r + c.r, g + c.g, b + c.b, a + c.a}; }
  constexpr AColor operator-(const AColor& c) const { return {r - c.r, g - c.g, b - c.b, a - c.a}; }
  constexpr AColor operator*(const AColor& c) const { return {r * c.r, g * c.g, b * c.b, a * c.a}; }
  constexpr AColor operator*(float f) const { return {r * f, g * f, b * f, a * f}; }
  AColor& operator+=(const AColor& c) {
    r += c.r;
    g += c.g;
    b += c.b;
    a += c.a;
    return *this;
  }
  AColor& operator*=(float f) {
    r *= f;
    g *= f;
    b *= f;
    a *= f;
    return *this;
  }
  constexpr bool operator==(const AColor&) const = default;

  void ClampMinMax(float lo = 0.0f, float hi = 1.0f) {
    r = std::clamp(r, lo, hi);
    g = std::clamp(g, lo, hi);
    b = std::clamp(b, lo, hi);
    a = std::clamp(a, lo, hi);
  }
};

constexpr AColor operator*(float f, const AColor& c) {
  return c * f;
}

// RGB to HSV (the channels of the result are h, s, v). For an RGB colour in
// 0..1, hue is in [0, 1) and saturation and value in 0..1. A grey has hue 0
// and saturation 0; black has value 0.
Color RGBtoHSV(const Color& rgb);
// HSV to RGB; hue is taken modulo 1 (a non-finite hue counts as 0),
// saturation and value are clamped to 0..1.
Color HSVtoRGB(const Color& hsv);
