// Background: what camera rays that hit nothing see, from the scene's
// environment: its colour, or its image stretched over the frame.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/image_io.h"
#include "host/scene.h"
#include "sdk/color.h"

namespace host {

class Background {
 public:
  Background() = default;
  explicit Background(const Color& color) : color_(color) {}

  // The environment's background. An image path that does not read falls
  // back to the colour with a warning; a relative path is tried as given,
  // then beside `scenePath` (the scene file).
  static Background FromEnvironment(const Environment& env, const std::string& scenePath,
                                    std::vector<std::string>* warnings);

  // The background at frame position (u, v), both 0..1, v down the rows.
  Color At(float u, float v) const;
  bool HasImage() const { return image_ != nullptr; }

 private:
  Color color_;
  std::shared_ptr<const FloatImage> image_;
};

}  // namespace host
