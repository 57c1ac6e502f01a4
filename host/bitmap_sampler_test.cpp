// Tests for texture lookups (texel centres, bilinear blends, tiling, v
// orientation, pyramid filtering) and for the texture cache.
#include "host/bitmap_sampler.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <thread>

#include "sdk/mtl.h"
#include "sdk/testing/scratch_dir.h"

namespace host {
namespace {

using ::testing::StartsWith;

::testing::AssertionResult ColorNear(const AColor& got, const AColor& want, float tolerance) {
  for (int c = 0; c < 4; ++c)
    if (!(std::fabs(got[c] - want[c]) <= tolerance))
      return ::testing::AssertionFailure()
             << "got (" << got.r << ", " << got.g << ", " << got.b << ", " << got.a << "), want ("
             << want.r << ", " << want.g << ", " << want.b << ", " << want.a << ")";
  return ::testing::AssertionSuccess();
}

FloatImage MakeImage(int width, int height, const std::vector<AColor>& pixels) {
  FloatImage image;
  image.width = width;
  image.height = height;
  image.pixels = pixels;
  return image;
}

const AColor kRed(1, 0, 0, 1), kGreen(0, 1, 0, 1), kBlue(0, 0, 1, 0.5f), kWhite(1, 1, 1, 1);
const AColor kNone(0, 0, 0, 0);

// Red top left, green top right, blue bottom left, white bottom right.
TextureImage Quadrants() {
  return TextureImage(MakeImage(2, 2, {kRed, kGreen, kBlue, kWhite}));
}

constexpr int kTilings[] = {0, U_WRAP | V_WRAP, U_MIRROR | V_MIRROR};

TEST(TextureImage, TexelCentresGiveTheExactTexel) {
  const TextureImage texture = Quadrants();
  for (int tiling : kTilings) {
    SCOPED_TRACE(tiling);
    EXPECT_EQ(texture.Sample(0.25f, 0.25f, 0, tiling), kBlue);  // v = 0 is the bottom
    EXPECT_EQ(texture.Sample(0.75f, 0.25f, 0, tiling), kWhite);
    EXPECT_EQ(texture.Sample(0.25f, 0.75f, 0, tiling), kRed);
    EXPECT_EQ(texture.Sample(0.75f, 0.75f, 0, tiling), kGreen);
  }
}

TEST(TextureImage, BilinearMidpointsAverageTheirTexels) {
  const TextureImage texture = Quadrants();
  EXPECT_TRUE(
      ColorNear(texture.Sample(0.5f, 0.5f, 0, 0), (kRed + kGreen + kBlue + kWhite) * 0.25f, 1e-6f));
  EXPECT_TRUE(ColorNear(texture.Sample(0.5f, 0.25f, 0, 0), (kBlue + kWhite) * 0.5f, 1e-6f));
  EXPECT_TRUE(ColorNear(texture.Sample(0.25f, 0.5f, 0, 0), (kRed + kBlue) * 0.5f, 1e-6f));
  EXPECT_TRUE(
      ColorNear(texture.Sample(0.375f, 0.25f, 0, 0), kBlue * 0.75f + kWhite * 0.25f, 1e-6f));
}

TEST(TextureImage, TilingDecidesWhatLiesOutsideTheImage) {
  const TextureImage texture = Quadrants();
  struct Case {
    float u, v;
    int tiling;
    AColor want;
  };
  const Case cases[] = {
      // No tiling: transparent outside, edge texels up to the edge.
      {1.25f, 0.25f, 0, kNone},
      {0.25f, -0.01f, 0, kNone},
      {0.25f, 1.25f, U_WRAP | U_MIRROR, kNone},  // only u tiles
      {0.0f, 0.25f, 0, kBlue},
      {1.0f, 1.0f, 0, kGreen},
      // Wrap repeats; across the seam it blends the opposite edge.
      {1.25f, 0.25f, U_WRAP, kBlue},
      {-0.25f, 0.25f, U_WRAP, kWhite},
      {0.25f, -0.75f, V_WRAP, kBlue},
      {0.25f, 0.75f + 7, V_WRAP, kRed},
      {0.0f, 0.25f, U_WRAP, (kBlue + kWhite) * 0.5f},
      // Mirror flips every other tile; its edges do not blend.
      {1.25f, 0.25f, U_MIRROR, kWhite},
      {2.25f, 0.25f, U_MIRROR, kBlue},
      {-0.25f, 0.25f, U_MIRROR, kBlue},
      {1.0f, 0.25f, U_MIRROR, kWhite},
      {0.25f, 1.25f, V_MIRROR, kRed},
      {0.25f, -0.25f, V_MIRROR, kBlue},
      {1.25f, 0.25f, U_MIRROR | U_WRAP, kWhite},  // mirror wins
  };
  for (const Case& c : cases)
    EXPECT_TRUE(ColorNear(texture.Sample(c.u, c.v, 0, c.tiling), c.want, 1e-6f))
        << "u " << c.u << " v " << c.v << " tiling " << c.tiling;
}

TEST(TextureImage, VRunsFromTheBottomRowToTheTop) {
  // One column, rows 0 (top) to 9 holding their row number.
  std::vector<AColor> rows;
  for (int y = 0; y < 10; ++y) rows.emplace_back(float(y), 0.0f, 0.0f, 1.0f);
  const TextureImage texture(MakeImage(1, 10, rows));
  EXPECT_NEAR(texture.Sample(0.5f, 0.95f, 0, 0).r, 0.0f, 1e-5f);
  EXPECT_NEAR(texture.Sample(0.5f, 0.9f, 0, 0).r, 0.5f, 1e-5f);  // between rows 0 and 1
  EXPECT_NEAR(texture.Sample(0.5f, 0.05f, 0, 0).r, 9.0f, 1e-5f);
}

TEST(TextureImage, PyramidLevelsAreBoxAveragesDownToOneTexel) {
  struct Size {
    int width, height, levels;
  };
  std::mt19937 random(5);
  std::uniform_real_distribution<float> unit(0, 1);
  for (Size s : {Size{1, 1, 1}, Size{2, 2, 2}, Size{3, 3, 2}, Size{5, 2, 3}, Size{7, 1, 3},
                 Size{16, 9, 5}}) {
    SCOPED_TRACE(std::to_string(s.width) + " x " + std::to_string(s.height));
    std::vector<AColor> pixels;
    AColor mean(0, 0, 0, 0);
    for (int i = 0; i < s.width * s.height; ++i) {
      pixels.emplace_back(unit(random), unit(random), unit(random), unit(random));
      mean += pixels.back() * (1.0f / float(s.width * s.height));
    }
    const TextureImage texture(MakeImage(s.width, s.height, pixels));
    ASSERT_EQ(texture.NumLevels(), s.levels);
    for (int l = 1; l < s.levels; ++l) {
      const FloatImage& level = texture.Level(l);
      EXPECT_EQ(level.width, std::max(1, texture.Level(l - 1).width / 2));
      EXPECT_EQ(level.height, std::max(1, texture.Level(l - 1).height / 2));
      // Every texel covers an equal share of the image, so the mean stays.
      AColor levelMean(0, 0, 0, 0);
      for (const AColor& p : level.pixels) levelMean += p * (1.0f / float(level.pixels.size()));
      EXPECT_TRUE(ColorNear(levelMean, mean, 1e-5f)) << "level " << l;
    }
    EXPECT_TRUE(ColorNear(texture.Level(s.levels - 1).pixels[0], mean, 1e-5f));
  }
  // An even level halves exactly: texel (0, 0) of a 4 x 2 image's next level.
  const TextureImage texture(
      MakeImage(4, 2, {kRed, kGreen, kWhite, kWhite, kBlue, kWhite, kWhite, kWhite}));
  EXPECT_TRUE(
      ColorNear(texture.Level(1).At(0, 0), (kRed + kGreen + kBlue + kWhite) * 0.25f, 1e-6f));
}

TEST(TextureImage, WideFiltersReadCoarserLevels) {
  // A black and white checker of single texels averages to mid grey.
  std::vector<AColor> pixels;
  for (int i = 0; i < 64; ++i)
    pixels.push_back(((i % 8) + (i / 8)) % 2 ? kWhite : AColor(0, 0, 0, 1));
  const TextureImage texture(MakeImage(8, 8, pixels));
  const AColor grey(0.5f, 0.5f, 0.5f, 1.0f);
  const float u = 0.5f / 8, v = 7.5f / 8;  // centre of the black top-left texel
  EXPECT_EQ(texture.Sample(u, v, 0, 0), AColor(0, 0, 0, 1));
  EXPECT_EQ(texture.Sample(u, v, 1.0f / 8, 0), AColor(0, 0, 0, 1));  // one texel: no blur
  EXPECT_TRUE(ColorNear(texture.Sample(u, v, 2.0f / 8, 0), grey, 1e-6f));
  EXPECT_TRUE(ColorNear(texture.Sample(0.3f, 0.6f, 1.0f, U_WRAP | V_WRAP), grey, 1e-6f));
  EXPECT_TRUE(ColorNear(texture.Sample(0.3f, 0.6f, 1e30f, 0), grey, 1e-6f));
  // Between one and two texels the result lies between the two levels.
  float between = texture.Sample(u, v, 1.5f / 8, 0).r;
  EXPECT_GT(between, 0.0f);
  EXPECT_LT(between, 0.5f);
}

TEST(TextureImage, NonFiniteInputsGiveTransparentBlackOrAPointLookup) {
  const TextureImage texture = Quadrants();
  const float nan = std::nanf(""), inf = INFINITY;
  for (int tiling : kTilings) {
    EXPECT_EQ(texture.Sample(nan, 0.25f, 0, tiling), kNone);
    EXPECT_EQ(texture.Sample(0.25f, inf, 0, tiling), kNone);
    EXPECT_EQ(texture.Sample(-inf, 0.25f, 0, tiling), kNone);
    EXPECT_EQ(texture.Sample(0.25f, 0.25f, nan, tiling), kBlue);
    EXPECT_EQ(texture.Sample(0.25f, 0.25f, -1.0f, tiling), kBlue);
  }
  const TextureImage empty{FloatImage()};
  EXPECT_EQ(empty.Sample(0.5f, 0.5f, 0, 0), kNone);
}

Bitmap SolidBitmap(int width, int height, const AColor& c) {
  Bitmap image(width, height);
  image.Fill(c);
  return image;
}

TEST(LoadTexture, SharesOneImagePerFileAcrossThreads) {
  ScratchDir dir;
  std::string path = dir.File("texture.png"), error;
  ASSERT_TRUE(WritePng(path, SolidBitmap(4, 2, kWhite), 8, &error)) << error;

  std::vector<std::shared_ptr<const TextureImage>> loaded(6);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < loaded.size(); ++i)
    threads.emplace_back([&, i] { loaded[i] = LoadTexture(path, nullptr); });
  for (std::thread& t : threads) t.join();
  ASSERT_TRUE(loaded[0]);
  for (const auto& texture : loaded) EXPECT_EQ(texture, loaded[0]);
  EXPECT_EQ(loaded[0]->Width(), 4);

  // Another spelling of the same file finds the same texture.
  EXPECT_EQ(LoadTexture(dir.File("./texture.png"), &error), loaded[0]);

  // A file changed on disk loads afresh.
  ASSERT_TRUE(WritePng(path, SolidBitmap(3, 3, kRed), 8, &error)) << error;
  auto changed = LoadTexture(path, &error);
  ASSERT_TRUE(changed) << error;
  EXPECT_NE(changed, loaded[0]);
  EXPECT_EQ(changed->Width(), 3);
  EXPECT_EQ(changed->Sample(0.5f, 0.5f, 0, 0), kRed);

  EXPECT_EQ(LoadTexture(dir.File("missing.png"), &error), nullptr);
  EXPECT_THAT(error, StartsWith(dir.File("missing.png") + ": "));
  WriteBytes(dir.File("bad.png"), "not an image");
  EXPECT_EQ(LoadTexture(dir.File("bad.png"), &error), nullptr);
  EXPECT_EQ(error, dir.File("bad.png") + ": not a PNG, JPEG or EXR file");
}

// Textures are read no larger than the limits allow, and a texture that
// would take all textures alive past the memory cap is refused, naming it.
TEST(LoadTexture, KeepsWithinTheTextureLimits) {
  ScratchDir dir;
  std::string error;
  const std::string path = dir.File("large.png");
  ASSERT_TRUE(WritePng(path, SolidBitmap(64, 40, kWhite), 8, &error)) << error;
  const TextureLimits saved = GetTextureLimits();
  SetTextureLimits({16, saved.maxTotalBytes});
  auto small = LoadTexture(path, &error);
  ASSERT_NE(small, nullptr) << error;
  EXPECT_EQ(small->Width(), 16);
  EXPECT_EQ(small->Height(), 10);
  EXPECT_GE(TextureBytesInUse(), uint64_t{16} * 10 * sizeof(AColor));

  SetTextureLimits({0, TextureBytesInUse() + 1024});
  const std::string other = dir.File("other.png");
  ASSERT_TRUE(WritePng(other, SolidBitmap(64, 64, kWhite), 8, &error)) << error;
  EXPECT_EQ(LoadTexture(other, &error), nullptr);
  EXPECT_NE(error.find("other.png: the scene's textures need more than"), std::string::npos)
      << error;
  SetTextureLimits(saved);
}

}  // namespace
}  // namespace host
