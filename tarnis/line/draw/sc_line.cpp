// The screen-space shade context of maps along lines.
#include "tarnis/line/draw/sc_line.h"

#include <algorithm>
#include <cmath>

namespace tarnis {

namespace {

// The pixel containing coordinate x; coordinates far off the screen (or
// NaN) are held inside the int range.
int pixelOf(float x) {
  constexpr float kLimit = 1e9f;
  if (std::isnan(x)) return 0;
  return static_cast<int>(std::floor(std::clamp(x, -kLimit, kLimit)));
}

}  // namespace

Point3 RelativeToBox(const Point3& p, const Box3& box) {
  Point3 r;
  for (int axis = 0; axis < 3; ++axis) {
    const float extent = box.pmax[axis] - box.pmin[axis];
    r[axis] = extent > 0.0f ? 2.0f * (p[axis] - box.pmin[axis]) / extent - 1.0f : 0.0f;
  }
  return r;
}

void SCLine::Prepare(int width, int height, int projType, TimeValue t) {
  width_ = std::max(1, width);
  height_ = std::max(1, height);
  invWidth_ = 1.0f / static_cast<float>(width_);
  invHeight_ = 1.0f / static_cast<float>(height_);
  projType_ = projType;
  time_ = t;
  normal_ = {0.0f, 0.0f, 1.0f};
  view_ = {0.0f, 0.0f, -1.0f};
  point_ = {};
  SetScreenPoint({});
}

void SCLine::SetLights(std::span<LightDesc* const> lights) {
  lights_ = lights;
  nLights = static_cast<int>(lights.size());
}

LightDesc* SCLine::Light(int n) {
  if (n < 0 || static_cast<size_t>(n) >= lights_.size()) return nullptr;
  return lights_[static_cast<size_t>(n)];
}

void SCLine::SetScreenPoint(const Point2& pixels) {
  screen_ = pixels;
  pixel_ = {pixelOf(pixels.x), pixelOf(pixels.y)};
}

Point3 SCLine::ScreenPosition() const {
  return {screen_.x * invWidth_, screen_.y * invHeight_, 0.0f};
}

void SCLine::DP(Point3& dpdx, Point3& dpdy) {
  dpdx = {};
  dpdy = {};
}

Box3 SCLine::ObjectBox() {
  return Box3(Point3(0.0f, 0.0f, 0.0f), Point3(1.0f, 1.0f, 1.0f));
}

Point3 SCLine::PObjRelBox() {
  return RelativeToBox(PObj(), ObjectBox());
}

void SCLine::ScreenUV(Point2& uv, Point2& duv) {
  const Point3 s = ScreenPosition();
  uv = {s.x, s.y};
  duv = {invWidth_, invHeight_};
}

void SCLine::DPdUVW(Point3 dP[3], int) {
  dP[0] = dP[1] = dP[2] = Point3();
}

void SCLine::GetBGColor(Color& bgcol, Color& transp, bool) {
  bgcol = Color(0.0f, 0.0f, 0.0f);
  transp = Color(0.0f, 0.0f, 0.0f);
}

}  // namespace tarnis
