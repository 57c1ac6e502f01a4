// Bitmap: an RGBA image with 16 bits per channel (0..65535), the frame the
// renderer fills and render effects draw into. Rows run top to bottom.
// Reads and writes outside the image are clipped, never out of bounds.
#pragma once

#include <cstdint>
#include <vector>

#include "sdk/color.h"

struct BMM_Color_64 {
  uint16_t r = 0, g = 0, b = 0, a = 0;
  bool operator==(const BMM_Color_64&) const = default;
};

// Float colour <-> 16-bit channel, clamped to 0..1 and rounded.
uint16_t ToChannel16(float v);
inline float FromChannel16(uint16_t v) { return static_cast<float>(v) / 65535.0f; }
BMM_Color_64 ToColor64(const AColor& c);
AColor FromColor64(const BMM_Color_64& c);

class Bitmap {
 public:
  Bitmap() = default;
  Bitmap(int width, int height);

  int Width() const { return width_; }
  int Height() const { return height_; }
  void Resize(int width, int height);

  // Copies up to n pixels of row y starting at x into out; answers how many
  // were copied (0 outside the image).
  int GetPixels(int x, int y, int n, BMM_Color_64* out) const;
  // Writes up to n pixels into row y starting at x; answers how many were written.
  int PutPixels(int x, int y, int n, const BMM_Color_64* in);
  // Every pixel becomes c.
  void Fill(const BMM_Color_64& c);
  void Fill(const AColor& c) { Fill(ToColor64(c)); }

  BMM_Color_64 GetPixel(int x, int y) const;
  void PutPixel(int x, int y, const BMM_Color_64& c);
  const BMM_Color_64* Row(int y) const { return &pixels_[static_cast<size_t>(y) * width_]; }
  BMM_Color_64* Row(int y) { return &pixels_[static_cast<size_t>(y) * width_]; }

 private:
  int width_ = 0, height_ = 0;
  std::vector<BMM_Color_64> pixels_;
};
