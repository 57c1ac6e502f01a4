// Tests of the line canvas: its filters, the per-stroke maximum and folding
// strokes into cells.
#include "tarnis/line/draw/line_canvas.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace tarnis {
namespace {

const Color kRed(1, 0, 0);
const Color kGreen(0, 1, 0);
const Color kBlue(0, 0, 1);

float Sum(const std::vector<float>& v) {
  float s = 0;
  for (float x : v) s += x;
  return s;
}

// Checks that a square table of weights is symmetric under both mirrors
// and the transposition.
void ExpectSquareSymmetric(const std::vector<float>& w, int side) {
  ASSERT_EQ(w.size(), static_cast<size_t>(side * side));
  auto at = [&](int x, int y) { return w[static_cast<size_t>(y * side + x)]; };
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side; ++x) {
      EXPECT_FLOAT_EQ(at(x, y), at(side - 1 - x, y)) << x << "," << y;
      EXPECT_FLOAT_EQ(at(x, y), at(x, side - 1 - y)) << x << "," << y;
      EXPECT_FLOAT_EQ(at(x, y), at(y, x)) << x << "," << y;
    }
  }
}

TEST(LineCanvas, FiltersFollowOverSamplingAndAntiAliasSize) {
  constexpr float kHard = 3.4028235e38f;
  struct Case {
    int overSampling;
    float antiAlias;
    int n;
    float edgeSoftness, invScale, blurRadius;
    int reach;
  };
  const Case cases[] = {
      {1, 1.0f, 1, 1.0f, 1.0f, 0.0f, 0},         // one sample per pixel, no blur
      {2, 2.0f, 2, 1.0f, 0.5f, 2.0f, 2},         // 5 x 5 kernel
      {2, 0.0f, 2, 0.0f, kHard, 0.0f, 0},        // hardest edges
      {3, 0.5f, 3, 0.5f, 1.0f / 1.5f, 0.0f, 0},  // softness below one pixel
      {1, 2.0f, 1, 1.0f, 1.0f, 1.0f, 1},         // 3 x 3 kernel
      {4, 1.5f, 4, 1.0f, 0.25f, 2.0f, 2},
      {0, 1.0f, 1, 1.0f, 1.0f, 0.0f, 0},    // over-sampling below 1 counts as 1
      {1, -3.0f, 1, 0.0f, kHard, 0.0f, 0},  // a negative size counts as 0
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << "overSampling " << c.overSampling << " antiAlias " << c.antiAlias);
    LineCanvas canvas;
    ASSERT_TRUE(canvas.Init(10, 7, c.overSampling, c.antiAlias));
    EXPECT_EQ(canvas.N(), c.n);
    EXPECT_FLOAT_EQ(canvas.InvN(), 1.0f / static_cast<float>(c.n));
    EXPECT_EQ(canvas.SuperWidth(), 10 * c.n);
    EXPECT_EQ(canvas.SuperRows(), 7 * c.n);
    EXPECT_FLOAT_EQ(canvas.EdgeSoftness(), c.edgeSoftness);
    EXPECT_FLOAT_EQ(canvas.InvScale(), c.invScale);
    EXPECT_FLOAT_EQ(canvas.BlurRadius(), c.blurRadius);
    EXPECT_EQ(canvas.BlurReach(), c.reach);
    const int side = 2 * c.reach + 1;
    ExpectSquareSymmetric(canvas.BlurKernel(), side);
    EXPECT_NEAR(Sum(canvas.BlurKernel()), 1.0f, 1e-5f);
    ExpectSquareSymmetric(canvas.DownWeights(), c.n);
    EXPECT_NEAR(Sum(canvas.DownWeights()), 1.0f, 1e-5f);
    ExpectSquareSymmetric(canvas.PixelFilter(), c.n + 2 * c.reach);
    EXPECT_NEAR(Sum(canvas.PixelFilter()), 1.0f, 1e-5f);
    if (c.reach > 0) {
      // Weights fall off as exp(-d^2 / radius^2) from the centre.
      const auto& k = canvas.BlurKernel();
      const float centre = k[static_cast<size_t>(c.reach * side + c.reach)];
      const float corner = k[0];
      const float d2 = 2.0f * static_cast<float>(c.reach * c.reach);
      EXPECT_NEAR(corner / centre, std::exp(-d2 / (c.blurRadius * c.blurRadius)), 1e-5f);
    } else {
      EXPECT_FLOAT_EQ(canvas.BlurKernel()[0], 1.0f);
    }
  }
}

TEST(LineCanvas, DownWeightsAreGaussianInTheSampleOffsets) {
  LineCanvas two;
  ASSERT_TRUE(two.Init(4, 4, 2, 1.0f));
  for (float w : two.DownWeights()) EXPECT_FLOAT_EQ(w, 0.25f);

  // Three samples a side sit at offsets -1/3, 0 and 1/3 of a pixel.
  LineCanvas three;
  ASSERT_TRUE(three.Init(4, 4, 3, 1.0f));
  const auto& w = three.DownWeights();
  const float centre = w[4];
  EXPECT_NEAR(w[1] / centre, std::exp(-1.0f / 9.0f), 1e-6f);
  EXPECT_NEAR(w[0] / centre, std::exp(-2.0f / 9.0f), 1e-6f);
  EXPECT_NEAR(centre, 1.0f / (1.0f + 4.0f * std::exp(-1.0f / 9.0f) + 4.0f * std::exp(-2.0f / 9.0f)),
              1e-6f);
}

TEST(LineCanvas, RefusesSizesItCannotHold) {
  constexpr int kMaxInt = std::numeric_limits<int>::max();
  struct Case {
    int width, height, overSampling;
    float antiAlias;
  };
  const Case cases[] = {
      {0, 10, 1, 1.0f},        {10, 0, 1, 1.0f},      {-4, 10, 1, 1.0f},
      {kMaxInt, 1, 2, 1.0f},   {1, kMaxInt, 2, 1.0f}, {1 << 16, 1 << 16, 4, 1.0f},
      {10, 10, kMaxInt, 1.0f}, {10, 10, 1, 1e9f},     {10, 10, 2, INFINITY},
  };
  for (const Case& c : cases) {
    LineCanvas canvas;
    EXPECT_FALSE(canvas.Init(c.width, c.height, c.overSampling, c.antiAlias))
        << c.width << "x" << c.height << " n " << c.overSampling << " aa " << c.antiAlias;
    EXPECT_EQ(canvas.SuperWidth(), 0);
    EXPECT_EQ(canvas.SuperRows(), 0);
    // A refused canvas takes samples without harm.
    canvas.StrokeSample(0, 0, 1.0f, 1.0f, 2, kRed);
    canvas.EndStroke(1.0f);
    canvas.Clear();
  }
  // A canvas set up again after a refusal works.
  LineCanvas canvas;
  ASSERT_FALSE(canvas.Init(0, 0, 1, 1.0f));
  ASSERT_TRUE(canvas.Init(3, 3, 1, NAN));
  EXPECT_EQ(canvas.EdgeSoftness(), 0.0f);
}

TEST(LineCanvas, AStrokeKeepsTheLargestCoverageOfEachSample) {
  LineCanvas canvas;
  ASSERT_TRUE(canvas.Init(8, 8, 1, 1.0f));
  canvas.BeginStroke();
  canvas.StrokeSample(3, 4, 0.3f, 5.0f, 2, kRed);
  canvas.StrokeSample(3, 4, 0.8f, 7.0f, 8, kGreen);
  canvas.StrokeSample(3, 4, 0.5f, 1.0f, 2, kBlue);
  // Equal coverage: the smaller depth wins, with its key and colour.
  canvas.StrokeSample(5, 4, 0.6f, 4.0f, 2, kRed);
  canvas.StrokeSample(5, 4, 0.6f, 3.0f, 16, kBlue);
  canvas.StrokeSample(5, 4, 0.6f, 3.5f, 4, kGreen);
  EXPECT_EQ(canvas.PendingStrokeSamples(), 2u);
  EXPECT_TRUE(canvas.CellsAt(3, 4).empty());  // nothing folded before the stroke ends
  canvas.EndStroke(1.0f);
  EXPECT_EQ(canvas.PendingStrokeSamples(), 0u);

  const auto a = canvas.CellsAt(3, 4);
  ASSERT_EQ(a.size(), 1u);
  EXPECT_FLOAT_EQ(a[0].coverage, 0.8f);
  EXPECT_FLOAT_EQ(a[0].depth, 7.0f);
  EXPECT_EQ(static_cast<int>(a[0].key), 8);
  EXPECT_FLOAT_EQ(a[0].weight, 0.8f);
  EXPECT_EQ(a[0].colourSum, kGreen * 0.8f);

  const auto b = canvas.CellsAt(5, 4);
  ASSERT_EQ(b.size(), 1u);
  EXPECT_FLOAT_EQ(b[0].depth, 3.0f);
  EXPECT_EQ(static_cast<int>(b[0].key), 16);
  EXPECT_EQ(b[0].colourSum, kBlue * 0.6f);
}

TEST(LineCanvas, KeysOutsideTheirRangeAreIgnoredAndManyKeysShareASample) {
  LineCanvas canvas;
  ASSERT_TRUE(canvas.Init(4, 4, 1, 1.0f));
  canvas.BeginStroke();
  canvas.StrokeSample(1, 1, 1.0f, 1.0f, kMaxCanvasKey + 1, kRed);
  canvas.StrokeSample(1, 1, 0.5f, 1.0f, -2, kRed);
  EXPECT_EQ(canvas.PendingStrokeSamples(), 0u);
  // Every key of the range keeps its own cell, linked newest first.
  for (int key = 0; key <= kMaxCanvasKey; ++key) {
    canvas.BeginStroke();
    canvas.StrokeSample(2, 3, 0.25f, static_cast<float>(key), key, kBlue);
    canvas.EndStroke(1.0f);
  }
  const auto cells = canvas.CellsAt(2, 3);
  ASSERT_EQ(cells.size(), static_cast<size_t>(kMaxCanvasKey + 1));
  for (size_t i = 0; i < cells.size(); ++i) {
    EXPECT_EQ(static_cast<int>(cells[i].key), kMaxCanvasKey - static_cast<int>(i));
    EXPECT_FLOAT_EQ(cells[i].depth, static_cast<float>(kMaxCanvasKey - static_cast<int>(i)));
  }
}

TEST(LineCanvas, OpacityScalesTheFoldedCoverage) {
  struct Case {
    float opacity, coverage;  // coverage 0: no cell
  };
  const Case cases[] = {{1.0f, 0.8f}, {0.5f, 0.4f},  {2.0f, 0.8f},
                        {0.0f, 0.0f}, {-1.0f, 0.0f}, {NAN, 0.0f}};
  for (const Case& c : cases) {
    LineCanvas canvas;
    ASSERT_TRUE(canvas.Init(4, 4, 1, 1.0f));
    canvas.BeginStroke();
    canvas.StrokeSample(1, 1, 0.8f, 1.0f, 2, kRed);
    canvas.EndStroke(c.opacity);
    const auto cells = canvas.CellsAt(1, 1);
    if (c.coverage == 0) {
      EXPECT_TRUE(cells.empty()) << c.opacity;
      EXPECT_TRUE(canvas.Extent(1).Empty()) << c.opacity;
      continue;
    }
    ASSERT_EQ(cells.size(), 1u) << c.opacity;
    EXPECT_FLOAT_EQ(cells[0].coverage, c.coverage) << c.opacity;
    EXPECT_FLOAT_EQ(cells[0].weight, c.coverage) << c.opacity;
  }
}

TEST(LineCanvas, StrokesOfOneKeyShareACellAndAverageColourByWeight) {
  LineCanvas canvas;
  ASSERT_TRUE(canvas.Init(4, 4, 1, 1.0f));
  auto stroke = [&](float coverage, float depth, const Color& colour) {
    canvas.BeginStroke();
    canvas.StrokeSample(2, 2, coverage, depth, 4, colour);
    canvas.EndStroke(1.0f);
  };
  stroke(1.0f, 3.0f, kRed);
  stroke(0.5f, 1.0f, kBlue);
  auto cells = canvas.CellsAt(2, 2);
  ASSERT_EQ(cells.size(), 1u);
  EXPECT_FLOAT_EQ(cells[0].coverage, 1.0f);  // the larger coverage ...
  EXPECT_FLOAT_EQ(cells[0].depth, 3.0f);     // ... with its depth
  EXPECT_FLOAT_EQ(cells[0].weight, 1.5f);
  const Color average = cells[0].colourSum / cells[0].weight;
  EXPECT_NEAR(average.r, 2.0f / 3.0f, 1e-6f);
  EXPECT_NEAR(average.g, 0.0f, 1e-6f);
  EXPECT_NEAR(average.b, 1.0f / 3.0f, 1e-6f);

  stroke(1.0f, 2.0f, kRed);  // equal coverage, smaller depth
  cells = canvas.CellsAt(2, 2);
  ASSERT_EQ(cells.size(), 1u);
  EXPECT_FLOAT_EQ(cells[0].depth, 2.0f);
  stroke(1.0f, 2.5f, kRed);  // equal coverage, larger depth
  EXPECT_FLOAT_EQ(canvas.CellsAt(2, 2)[0].depth, 2.0f);
}

TEST(LineCanvas, ADifferentKeyStartsANewCellInFront) {
  LineCanvas canvas;
  ASSERT_TRUE(canvas.Init(4, 4, 2, 1.0f));
  for (int key : {2, 32, 2}) {
    canvas.BeginStroke();
    canvas.StrokeSample(6, 7, 0.5f, 1.0f, key, kRed);
    canvas.EndStroke(1.0f);
  }
  const auto cells = canvas.CellsAt(6, 7);
  ASSERT_EQ(cells.size(), 2u);
  EXPECT_EQ(static_cast<int>(cells[0].key), 32);
  EXPECT_EQ(static_cast<int>(cells[1].key), 2);
  EXPECT_FLOAT_EQ(cells[1].weight, 1.0f);
  EXPECT_FLOAT_EQ(cells[0].weight, 0.5f);
}

TEST(LineCanvas, IgnoresSamplesOutsideTheCanvasOrWithoutCoverage) {
  LineCanvas canvas;
  ASSERT_TRUE(canvas.Init(3, 2, 2, 1.0f));
  canvas.BeginStroke();
  canvas.StrokeSample(-1, 0, 1.0f, 1.0f, 2, kRed);
  canvas.StrokeSample(6, 0, 1.0f, 1.0f, 2, kRed);
  canvas.StrokeSample(0, 4, 1.0f, 1.0f, 2, kRed);
  canvas.StrokeSample(0, -1, 1.0f, 1.0f, 2, kRed);
  canvas.StrokeSample(0, 0, 0.0f, 1.0f, 2, kRed);
  canvas.StrokeSample(0, 0, -0.5f, 1.0f, 2, kRed);
  canvas.StrokeSample(0, 0, NAN, 1.0f, 2, kRed);
  EXPECT_EQ(canvas.PendingStrokeSamples(), 0u);
  canvas.StrokeSample(5, 3, 3.0f, NAN, 2, kRed);  // the last super-sample
  canvas.EndStroke(1.0f);
  const auto cells = canvas.CellsAt(5, 3);
  ASSERT_EQ(cells.size(), 1u);
  EXPECT_FLOAT_EQ(cells[0].coverage, 1.0f);
  EXPECT_FALSE(std::isnan(cells[0].depth));
  EXPECT_TRUE(canvas.CellsAt(6, 3).empty());
}

TEST(LineCanvas, ClearDropsCellsAndUnfinishedStrokes) {
  LineCanvas canvas;
  ASSERT_TRUE(canvas.Init(6, 6, 2, 1.0f));
  canvas.BeginStroke();
  canvas.StrokeSample(3, 1, 1.0f, 1.0f, 2, kRed);
  canvas.StrokeSample(9, 1, 1.0f, 1.0f, 2, kRed);
  canvas.StrokeSample(4, 10, 1.0f, 1.0f, 8, kRed);
  canvas.EndStroke(1.0f);
  EXPECT_EQ(canvas.Extent(1).first, 3);
  EXPECT_EQ(canvas.Extent(1).last, 9);
  EXPECT_EQ(canvas.Extent(10).first, 4);
  EXPECT_TRUE(canvas.Extent(2).Empty());

  canvas.BeginStroke();
  canvas.StrokeSample(0, 0, 1.0f, 1.0f, 2, kRed);  // never ended
  canvas.Clear();
  EXPECT_EQ(canvas.PendingStrokeSamples(), 0u);
  for (int sy = 0; sy < canvas.SuperRows(); ++sy) {
    EXPECT_TRUE(canvas.Extent(sy).Empty()) << sy;
    for (int sx = 0; sx < canvas.SuperWidth(); ++sx) {
      EXPECT_TRUE(canvas.CellsAt(sx, sy).empty()) << sx << "," << sy;
    }
  }
  // Ending after a clear folds nothing of the dropped stroke; new strokes
  // start from empty cells.
  canvas.EndStroke(1.0f);
  EXPECT_TRUE(canvas.CellsAt(0, 0).empty());
  canvas.BeginStroke();
  canvas.StrokeSample(3, 1, 0.25f, 1.0f, 2, kRed);
  canvas.EndStroke(1.0f);
  const auto cells = canvas.CellsAt(3, 1);
  ASSERT_EQ(cells.size(), 1u);
  EXPECT_FLOAT_EQ(cells[0].weight, 0.25f);
}

TEST(LineCanvas, BeginStrokeDropsAnUnfinishedStroke) {
  LineCanvas canvas;
  ASSERT_TRUE(canvas.Init(4, 4, 1, 1.0f));
  canvas.BeginStroke();
  canvas.StrokeSample(1, 1, 1.0f, 1.0f, 2, kRed);
  canvas.BeginStroke();
  canvas.StrokeSample(1, 1, 0.25f, 1.0f, 2, kBlue);
  canvas.EndStroke(1.0f);
  const auto cells = canvas.CellsAt(1, 1);
  ASSERT_EQ(cells.size(), 1u);
  EXPECT_FLOAT_EQ(cells[0].coverage, 0.25f);
  EXPECT_EQ(cells[0].colourSum, kBlue * 0.25f);
}

}  // namespace
}  // namespace tarnis
