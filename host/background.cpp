// Reading the environment's background.
#include "host/background.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "host/bitmap_sampler.h"

namespace host {

Background Background::FromEnvironment(const Environment& env, const std::string& scenePath,
                                       std::vector<std::string>* warnings) {
  Background bg(env.background);
  if (env.backgroundImage.empty()) return bg;
  auto image = std::make_shared<FloatImage>();
  std::string error;
  const int maxSide = GetTextureLimits().maxSide;
  bool ok = ReadImage(env.backgroundImage, *image, &error, maxSide);
  std::filesystem::path path(env.backgroundImage);
  if (!ok && path.is_relative() && !scenePath.empty()) {
    std::string besideScene = (std::filesystem::path(scenePath).parent_path() / path).string();
    std::string second;
    ok = ReadImage(besideScene, *image, &second, maxSide);
  }
  if (ok && image->width > 0 && image->height > 0) {
    bg.image_ = std::move(image);
  } else if (warnings) {
    warnings->push_back("background image " + error + "; the background colour is used");
  }
  return bg;
}

Color Background::At(float u, float v) const {
  if (!image_) return color_;
  int x = static_cast<int>(std::floor(u * static_cast<float>(image_->width)));
  int y = static_cast<int>(std::floor(v * static_cast<float>(image_->height)));
  return image_->At(x, y).RGB();
}

}  // namespace host
