#include "sdk/bitmap.h"

#include <algorithm>
#include <cmath>

uint16_t ToChannel16(float v) {
  if (!(v > 0.0f)) return 0;  // also NaN
  if (v >= 1.0f) return 65535;
  return static_cast<uint16_t>(std::lround(v * 65535.0f));
}

BMM_Color_64 ToColor64(const AColor& c) {
  return {ToChannel16(c.r), ToChannel16(c.g), ToChannel16(c.b), ToChannel16(c.a)};
}

AColor FromColor64(const BMM_Color_64& c) {
  return {FromChannel16(c.r), FromChannel16(c.g), FromChannel16(c.b), FromChannel16(c.a)};
}

Bitmap::Bitmap(int width, int height) {
  Resize(width, height);
}

void Bitmap::Resize(int width, int height) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  pixels_.assign(static_cast<size_t>(width_) * static_cast<size_t>(height_), BMM_Color_64());
}

int Bitmap::GetPixels(int x, int y, int n, BMM_Color_64* out) const {
  if (y < 0 || y >= height_ || x < 0 || x >= width_ || n <= 0) return 0;
  int count = std::min(n, width_ - x);
  std::copy_n(Row(y) + x, count, out);
  return count;
}

int Bitmap::PutPixels(int x, int y, int n, const BMM_Color_64* in) {
  if (y < 0 || y >= height_ || x < 0 || x >= width_ || n <= 0) return 0;
  int count = std::min(n, width_ - x);
  std::copy_n(in, count, Row(y) + x);
  return count;
}

void Bitmap::Fill(const BMM_Color_64& c) {
  std::fill(pixels_.begin(), pixels_.end(), c);
}

BMM_Color_64 Bitmap::GetPixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return {};
  return Row(y)[x];
}

void Bitmap::PutPixel(int x, int y, const BMM_Color_64& c) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  Row(y)[x] = c;
}
