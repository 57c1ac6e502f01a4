// Tests of the pass buffer: resolving canvases into fragments, compositing
// a pass over the image and the line render elements, and preview images.
#include "tarnis/line/composite/pass_buffer.h"

#include <gtest/gtest.h>
#include <tbb/task_arena.h>

#include <cmath>
#include <cstdint>

#include "sdk/bitmap.h"
#include "sdk/effect.h"
#include "sdk/reference.h"
#include "sdk/render.h"
#include "tarnis/line/frame/line_render_element_sink.h"

namespace tarnis {
namespace {

const Color kRed(1, 0, 0);
const Color kGreen(0, 1, 0);
const Color kBlue(0, 0, 1);
constexpr int kNormal = 0;  // blend index of the normal mode
constexpr float kTol = 1.0f / 65535.0f;

// One stroke made of a single super-sample.
void Dab(LineCanvas& canvas, int sx, int sy, float coverage, const Color& colour, int key = 2,
         float depth = 1.0f) {
  canvas.BeginStroke();
  canvas.StrokeSample(sx, sy, coverage, depth, key, colour);
  canvas.EndStroke(1.0f);
}

// Resolves the canvas as one job repetition with a blend index, then clears it.
void ResolveRepetition(PassBuffer& pass, LineCanvas& canvas, int blendIndex) {
  pass.Resolve(canvas, pass.AddDescriptor({blendIndex}));
  canvas.Clear();
}

void ExpectPixel(const Bitmap& bm, int x, int y, const AColor& expected, float tol = kTol) {
  const AColor got = FromColor64(bm.GetPixel(x, y));
  EXPECT_NEAR(got.r, expected.r, tol) << "red at " << x << "," << y;
  EXPECT_NEAR(got.g, expected.g, tol) << "green at " << x << "," << y;
  EXPECT_NEAR(got.b, expected.b, tol) << "blue at " << x << "," << y;
  EXPECT_NEAR(got.a, expected.a, tol) << "alpha at " << x << "," << y;
}

Bitmap Filled(int w, int h, const AColor& c) {
  Bitmap bm(w, h);
  bm.Fill(c);
  return bm;
}

float TotalCoverage(const PassBuffer& pass) {
  float total = 0;
  for (int y = 0; y < pass.Height(); ++y) {
    for (int x = 0; x < pass.Width(); ++x) {
      for (const LineFragment& f : pass.FragmentsAt(x, y)) total += f.coverage;
    }
  }
  return total;
}

// A line render element with its two pass switches.
class TestLineElement : public IRenderElement, public LineElementSink {
 public:
  TestLineElement(bool visible, bool hidden) : visible_(visible), hidden_(hidden) {}
  bool DrawsPass(int pass) const override { return pass == 0 ? visible_ : hidden_; }

 private:
  bool visible_, hidden_;
};

class ElementContext : public RenderGlobalContext {
 public:
  int NumRenderInstances() override { return 0; }
  RenderInstance* GetRenderInstance(int) override { return nullptr; }
  int NRenderElements() override { return static_cast<int>(elements.size()); }
  IRenderElement* GetRenderElement(int i) override { return elements[static_cast<size_t>(i)]; }
  // Adds an element held by the context, drawing into `bm` (may be null).
  template <class T>
  T* Add(T* element, Bitmap* bm) {
    holders.push_back(std::make_unique<ReferenceHolder>(element));
    element->SetRenderBitmap(bm);
    elements.push_back(element);
    return element;
  }
  std::vector<IRenderElement*> elements;
  std::vector<std::unique_ptr<ReferenceHolder>> holders;
};

TEST(PassBuffer, APassFullOfDescriptorsDrawsNothingMoreInsteadOfMislabelling) {
  LineCanvas canvas;
  PassBuffer pass;
  ASSERT_TRUE(canvas.Init(4, 4, 1, 1.0f));
  ASSERT_TRUE(pass.Init(4, 4));
  Dab(canvas, 1, 1, 0.5f, kGreen, 8, 2.0f);
  for (int i = 0; i < kMaxBlendDescriptors - 1; ++i) pass.AddDescriptor({kNormal});
  const int last = pass.AddDescriptor({3});
  EXPECT_EQ(last, kMaxBlendDescriptors - 1);
  pass.Resolve(canvas, last);
  ASSERT_EQ(pass.FragmentCount(), 1u);
  EXPECT_EQ(static_cast<int>(pass.FragmentsAt(1, 1).at(0).descriptor), last);
  // One more does not fit the fragments' descriptor field: nothing is drawn
  // rather than fragments tagged with another repetition's blend.
  EXPECT_EQ(pass.AddDescriptor({3}), -1);
  pass.Resolve(canvas, -1);
  EXPECT_EQ(pass.FragmentCount(), 1u);
}

TEST(PassBuffer, OneSuperSamplePerPixelResolvesWithoutBlur) {
  LineCanvas canvas;
  PassBuffer pass;
  ASSERT_TRUE(canvas.Init(8, 6, 1, 1.0f));
  ASSERT_TRUE(pass.Init(8, 6));
  Dab(canvas, 3, 2, 0.7f, kGreen, 8, 4.0f);
  pass.AddDescriptor({kNormal});
  pass.Resolve(canvas, pass.AddDescriptor({3}));
  EXPECT_EQ(pass.FragmentCount(), 1u);
  const auto f = pass.FragmentsAt(3, 2);
  ASSERT_EQ(f.size(), 1u);
  EXPECT_FLOAT_EQ(f[0].coverage, 0.7f);
  EXPECT_FLOAT_EQ(f[0].depth, 4.0f);
  EXPECT_EQ(static_cast<int>(f[0].key), 8);
  EXPECT_EQ(static_cast<int>(f[0].descriptor), 1);
  EXPECT_FLOAT_EQ(f[0].weight, 0.7f);
  EXPECT_EQ(f[0].colourSum, kGreen * 0.7f);
}

TEST(PassBuffer, OverSampledPixelsCombineTheirSamplesWithTheDownWeights) {
  struct Case {
    int n;
    std::vector<std::pair<int, int>> samples;  // super-samples of pixel (1, 1), coverage 1
    float coverage;
  };
  const float e1 = std::exp(-1.0f / 9.0f), e2 = std::exp(-2.0f / 9.0f);
  const float centre3 = 1.0f / (1.0f + 4.0f * e1 + 4.0f * e2);
  const Case cases[] = {
      {2, {{2, 2}}, 0.25f},
      {2, {{2, 2}, {3, 3}}, 0.5f},
      {2, {{2, 2}, {3, 2}, {2, 3}, {3, 3}}, 1.0f},
      {3, {{4, 4}}, centre3},
      {3, {{3, 3}, {5, 5}}, 2.0f * e2 * centre3},
  };
  for (const Case& c : cases) {
    LineCanvas canvas;
    PassBuffer pass;
    ASSERT_TRUE(canvas.Init(3, 3, c.n, 1.0f));
    ASSERT_TRUE(pass.Init(3, 3));
    canvas.BeginStroke();
    for (auto [sx, sy] : c.samples) canvas.StrokeSample(sx, sy, 1.0f, 1.0f, 2, kRed);
    canvas.EndStroke(1.0f);
    ResolveRepetition(pass, canvas, kNormal);
    const auto f = pass.FragmentsAt(1, 1);
    ASSERT_EQ(f.size(), 1u) << c.n;
    EXPECT_NEAR(f[0].coverage, c.coverage, 1e-6f) << c.n << " " << c.samples.size();
    EXPECT_EQ(pass.FragmentCount(), 1u);
    const Color colour = f[0].colourSum / f[0].weight;
    EXPECT_NEAR(colour.r, 1.0f, 1e-6f);
    EXPECT_NEAR(colour.g, 0.0f, 1e-6f);
  }
}

TEST(PassBuffer, SoftLinesBlurIntoNeighbouringPixels) {
  // One sample per pixel with a 3 x 3 kernel of radius 1.
  LineCanvas canvas;
  PassBuffer pass;
  ASSERT_TRUE(canvas.Init(9, 9, 1, 2.0f));
  ASSERT_TRUE(pass.Init(9, 9));
  Dab(canvas, 4, 4, 1.0f, kBlue, 4, 2.0f);
  ResolveRepetition(pass, canvas, kNormal);
  const float e1 = std::exp(-1.0f), e2 = std::exp(-2.0f);
  const float norm = 1.0f + 4.0f * e1 + 4.0f * e2;
  struct Expect {
    int x, y;
    float coverage;
  };
  const Expect expects[] = {{4, 4, 1.0f / norm}, {5, 4, e1 / norm}, {4, 3, e1 / norm},
                            {3, 5, e2 / norm},   {5, 5, e2 / norm}, {6, 4, 0.0f},
                            {4, 2, 0.0f}};
  for (const Expect& e : expects) {
    const auto f = pass.FragmentsAt(e.x, e.y);
    if (e.coverage == 0) {
      EXPECT_TRUE(f.empty()) << e.x << "," << e.y;
      continue;
    }
    ASSERT_EQ(f.size(), 1u) << e.x << "," << e.y;
    EXPECT_NEAR(f[0].coverage, e.coverage, 1e-6f) << e.x << "," << e.y;
    EXPECT_FLOAT_EQ(f[0].depth, 2.0f);
    EXPECT_EQ(static_cast<int>(f[0].key), 4);
    const Color colour = f[0].colourSum / f[0].weight;
    EXPECT_NEAR(colour.b, 1.0f, 1e-6f);
    EXPECT_NEAR(colour.r, 0.0f, 1e-6f);
  }
  EXPECT_EQ(pass.FragmentCount(), 9u);

  // Two samples a side with a 5 x 5 kernel: the blur reaches two
  // super-samples (one pixel) around the sample and keeps its total.
  LineCanvas fine;
  PassBuffer finePass;
  ASSERT_TRUE(fine.Init(6, 6, 2, 2.0f));
  ASSERT_TRUE(finePass.Init(6, 6));
  Dab(fine, 5, 6, 1.0f, kBlue);  // pixel (2, 3)
  ResolveRepetition(finePass, fine, kNormal);
  EXPECT_NEAR(TotalCoverage(finePass), 0.25f, 1e-5f);
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 6; ++x) {
      // Super-samples 3..7 across and 4..8 down are reached.
      const bool reached = x >= 1 && x <= 3 && y >= 2 && y <= 4;
      EXPECT_EQ(finePass.FragmentsAt(x, y).size(), reached ? 1u : 0u) << x << "," << y;
    }
  }
}

TEST(PassBuffer, ResolvingGivesOneFragmentPerKeyWithItsStrongestDepth) {
  LineCanvas canvas;
  PassBuffer pass;
  ASSERT_TRUE(canvas.Init(2, 2, 2, 1.0f));
  ASSERT_TRUE(pass.Init(2, 2));
  Dab(canvas, 0, 0, 0.5f, kRed, 2, 9.0f);
  Dab(canvas, 1, 0, 1.0f, kBlue, 2, 4.0f);
  Dab(canvas, 1, 1, 1.0f, kGreen, 32, 6.0f);
  // Two strokes into one sample count with the sample's coverage.
  Dab(canvas, 0, 1, 1.0f, kRed, 16, 1.0f);
  Dab(canvas, 0, 1, 1.0f, kBlue, 16, 3.0f);
  ResolveRepetition(pass, canvas, kNormal);
  const auto f = pass.FragmentsAt(0, 0);
  ASSERT_EQ(f.size(), 3u);
  for (const LineFragment& fragment : f) {
    const Color colour = fragment.colourSum / fragment.weight;
    switch (fragment.key) {
      case 2:
        EXPECT_FLOAT_EQ(fragment.coverage, 0.375f);
        EXPECT_FLOAT_EQ(fragment.depth, 4.0f);
        EXPECT_NEAR(colour.r, 1.0f / 3.0f, 1e-6f);
        EXPECT_NEAR(colour.b, 2.0f / 3.0f, 1e-6f);
        break;
      case 32:
        EXPECT_FLOAT_EQ(fragment.coverage, 0.25f);
        EXPECT_FLOAT_EQ(fragment.depth, 6.0f);
        break;
      case 16:
        EXPECT_FLOAT_EQ(fragment.coverage, 0.25f);
        EXPECT_FLOAT_EQ(fragment.weight, 0.25f);
        EXPECT_FLOAT_EQ(fragment.depth, 1.0f);
        EXPECT_NEAR(colour.r, 0.5f, 1e-6f);
        EXPECT_NEAR(colour.b, 0.5f, 1e-6f);
        break;
      default:
        ADD_FAILURE() << "unexpected key " << fragment.key;
    }
  }
}

TEST(PassBuffer, ClearDropsFragmentsAndDescriptors) {
  LineCanvas canvas;
  PassBuffer pass;
  ASSERT_TRUE(canvas.Init(5, 5, 1, 1.0f));
  ASSERT_TRUE(pass.Init(5, 5));
  Dab(canvas, 1, 1, 1.0f, kRed);
  Dab(canvas, 4, 3, 1.0f, kRed);
  ResolveRepetition(pass, canvas, kNormal);
  ASSERT_EQ(pass.FragmentCount(), 2u);
  pass.Clear();
  EXPECT_EQ(pass.FragmentCount(), 0u);
  EXPECT_TRUE(pass.Descriptors().empty());
  EXPECT_TRUE(pass.FragmentsAt(1, 1).empty());
  EXPECT_TRUE(pass.FragmentsAt(4, 3).empty());
  // A cleared pass composites nothing.
  Bitmap bm = Filled(5, 5, AColor(0.5f, 0.5f, 0.5f, 1.0f));
  pass.Composite(&bm, nullptr, 0, false);
  ExpectPixel(bm, 1, 1, AColor(0.5f, 0.5f, 0.5f, 1.0f));
  // ... and takes new fragments.
  Dab(canvas, 2, 2, 1.0f, kBlue);
  ResolveRepetition(pass, canvas, kNormal);
  EXPECT_EQ(pass.FragmentCount(), 1u);
  EXPECT_EQ(static_cast<int>(pass.FragmentsAt(2, 2).at(0).descriptor), 0);
}

TEST(PassBuffer, BlendsEachRunWithTheModeOfItsIndex) {
  struct Case {
    int blendIndex;
    float coverage;
    Color base, line, expected;
  };
  const Color grey(0.2f, 0.2f, 0.2f), half(0.5f, 0.5f, 0.5f);
  const Case cases[] = {
      {kNormal, 1.0f, grey, Color(1, 0.5f, 0), Color(1, 0.5f, 0)},         // replaces
      {kNormal, 0.5f, grey, Color(1, 0.5f, 0), Color(0.6f, 0.35f, 0.1f)},  // mixes
      {kNormal, 0.25f, grey, Color(1, 1, 1), Color(0.4f, 0.4f, 0.4f)},
      {1, 1.0f, half, Color(0.75f, 0.25f, 0), Color(1, 0.75f, 0.5f)},  // add, clamped
      {2, 1.0f, half, Color(0.75f, 0.25f, 0), Color(0, 0.25f, 0.5f)},  // subtract, clamped
      {3, 1.0f, half, Color(0.5f, 1, 0), Color(0.25f, 0.5f, 0)},       // multiply
      {3, 0.5f, half, Color(0.5f, 1, 0), Color(0.375f, 0.5f, 0.25f)},
      {6, 1.0f, half, Color(0.25f, 0.25f, 0.25f), Color(0.25f, 0.25f, 0.25f)},     // hard light
      {7, 1.0f, half, Color(0.25f, 0.25f, 0.25f), Color(0.375f, 0.375f, 0.375f)},  // soft light
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "index " << c.blendIndex << " coverage " << c.coverage);
    LineCanvas canvas;
    PassBuffer pass;
    ASSERT_TRUE(canvas.Init(3, 3, 1, 1.0f));
    ASSERT_TRUE(pass.Init(3, 3));
    Dab(canvas, 1, 1, c.coverage, c.line);
    ResolveRepetition(pass, canvas, c.blendIndex);
    Bitmap bm = Filled(3, 3, AColor(c.base, 1.0f));
    pass.Composite(&bm, nullptr, 0, false);
    ExpectPixel(bm, 1, 1, AColor(c.expected, 1.0f), 2 * kTol);
    ExpectPixel(bm, 0, 1, AColor(c.base, 1.0f));
  }
}

TEST(PassBuffer, TheFragmentSortedLastLiesOnTop) {
  struct Stroke {
    int key;
    float depth;
    Color colour;
  };
  struct Case {
    const char* what;
    Stroke first, second;  // in drawing order, one repetition each
    Color top;
  };
  const Case cases[] = {
      {"outline over smooth", {2, 1, kRed}, {8, 1, kBlue}, kRed},
      {"outline drawn first", {8, 1, kBlue}, {2, 1, kRed}, kRed},
      {"normal under intersection", {4, 9, kGreen}, {32, 1, kBlue}, kGreen},
      {"nearer depth on top", {2, 5, kRed}, {2, 2, kBlue}, kBlue},
      {"nearer depth drawn first", {2, 2, kBlue}, {2, 5, kRed}, kBlue},
      {"equal: later drawing on top", {2, 3, kRed}, {2, 3, kGreen}, kGreen},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LineCanvas canvas;
    PassBuffer pass;
    ASSERT_TRUE(canvas.Init(4, 4, 1, 1.0f));
    ASSERT_TRUE(pass.Init(4, 4));
    for (const Stroke& s : {c.first, c.second}) {
      Dab(canvas, 2, 1, 1.0f, s.colour, s.key, s.depth);
      ResolveRepetition(pass, canvas, kNormal);
    }
    Bitmap bm = Filled(4, 4, AColor(0.5f, 0.5f, 0.5f, 1.0f));
    pass.Composite(&bm, nullptr, 0, false);
    ExpectPixel(bm, 2, 1, AColor(c.top, 1.0f));
  }
  // Half-covering fragments show the order through their mix: red first,
  // blue on top gives 0.5 blue over (0.5 red over black).
  LineCanvas canvas;
  PassBuffer pass;
  ASSERT_TRUE(canvas.Init(2, 2, 1, 1.0f));
  ASSERT_TRUE(pass.Init(2, 2));
  Dab(canvas, 0, 0, 0.5f, kBlue, 2);
  ResolveRepetition(pass, canvas, kNormal);
  Dab(canvas, 0, 0, 0.5f, kRed, 8);
  ResolveRepetition(pass, canvas, kNormal);
  Bitmap bm = Filled(2, 2, AColor(0, 0, 0, 1.0f));
  pass.Composite(&bm, nullptr, 0, false);
  ExpectPixel(bm, 0, 0, AColor(0.25f, 0, 0.5f, 1.0f));
}

TEST(PassBuffer, ARunAveragesItsColoursAndTakesItsLargestCoverage) {
  LineCanvas canvas;
  PassBuffer pass;
  ASSERT_TRUE(canvas.Init(3, 3, 1, 1.0f));
  ASSERT_TRUE(pass.Init(3, 3));
  // One repetition with two kinds of line in one pixel: one run.
  Dab(canvas, 1, 1, 1.0f, kRed, 2);
  Dab(canvas, 1, 1, 0.5f, kBlue, 32);
  ResolveRepetition(pass, canvas, kNormal);
  ASSERT_EQ(pass.FragmentsAt(1, 1).size(), 2u);
  Bitmap bm = Filled(3, 3, AColor(0, 1, 0, 0));
  pass.Composite(&bm, nullptr, 0, false);
  ExpectPixel(bm, 1, 1, AColor(2.0f / 3.0f, 0, 1.0f / 3.0f, 1.0f));
}

TEST(PassBuffer, LineCoverageAccumulatesIntoAlpha) {
  struct Case {
    float alpha;
    std::vector<float> coverages;  // one repetition each
    float expected;
  };
  const Case cases[] = {
      {0.0f, {0.5f}, 0.5f},
      {0.5f, {0.5f}, 0.75f},
      {0.0f, {0.5f, 0.5f}, 0.75f},
      {0.5f, {0.5f, 0.5f}, 0.875f},
      {0.2f, {1.0f}, 1.0f},
      {0.3f, {}, 0.3f},
      {0.0f, {0.25f, 0.5f, 0.2f}, 1.0f - 0.75f * 0.5f * 0.8f},
  };
  for (const Case& c : cases) {
    LineCanvas canvas;
    PassBuffer pass;
    ASSERT_TRUE(canvas.Init(2, 2, 1, 1.0f));
    ASSERT_TRUE(pass.Init(2, 2));
    for (float g : c.coverages) {
      Dab(canvas, 1, 0, g, kRed);
      ResolveRepetition(pass, canvas, kNormal);
    }
    Bitmap bm = Filled(2, 2, AColor(0, 0, 0, c.alpha));
    pass.Composite(&bm, nullptr, 0, false);
    EXPECT_NEAR(FromColor64(bm.GetPixel(1, 0)).a, c.expected, kTol)
        << c.alpha << " with " << c.coverages.size() << " repetitions";
    EXPECT_NEAR(FromColor64(bm.GetPixel(0, 0)).a, c.alpha, kTol);
  }
}

TEST(PassBuffer, ElementOnlyLeavesTheImageAndDrawsTheLinesIntoTheElement) {
  struct Case {
    bool elementOnly;
    int blendIndex;
    float coverage;
    Color line;
    Color image;  // expected image colour at the line
    Color lineOnly;
  };
  const Color base(0.2f, 0.2f, 0.2f);
  const Case cases[] = {
      {true, kNormal, 0.5f, kRed, base, kRed},
      {false, kNormal, 0.5f, kRed, Color(0.6f, 0.1f, 0.1f), kRed},
      {false, kNormal, 1.0f, kRed, kRed, kRed},
      // The line alone is what its mode makes of the image at full coverage.
      {false, 3, 0.5f, Color(1, 0.5f, 0), Color(0.2f, 0.15f, 0.1f), Color(0.2f, 0.1f, 0)},
      {true, 3, 0.5f, Color(1, 0.5f, 0), base, Color(0.2f, 0.1f, 0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "elementOnly " << c.elementOnly << " index "
                                      << c.blendIndex << " coverage " << c.coverage);
    LineCanvas canvas;
    PassBuffer pass;
    ASSERT_TRUE(canvas.Init(4, 3, 1, 1.0f));
    ASSERT_TRUE(pass.Init(4, 3));
    Dab(canvas, 2, 1, c.coverage, c.line);
    ResolveRepetition(pass, canvas, c.blendIndex);

    const AColor old(0, 0, 1, 0.5f);
    Bitmap bm = Filled(4, 3, AColor(base, 1.0f));
    Bitmap elementImage = Filled(4, 3, old);
    ElementContext gc;
    gc.Add(new TestLineElement(true, false), &elementImage);
    pass.Composite(&bm, &gc, 0, c.elementOnly);

    ExpectPixel(bm, 2, 1, AColor(c.image, 1.0f), 2 * kTol);
    ExpectPixel(bm, 1, 1, AColor(base, 1.0f));
    const float g = c.coverage;
    const Color expected = old.RGB() * (1 - g) + c.lineOnly * g;
    ExpectPixel(elementImage, 2, 1, AColor(expected, 1 - (1 - g) * (1 - old.a)), 3 * kTol);
    ExpectPixel(elementImage, 1, 1, old);
    ExpectPixel(elementImage, 2, 0, old);
  }
}

TEST(PassBuffer, ElementsOutsideThePassOrSwitchedOffAreUntouched) {
  LineCanvas canvas;
  PassBuffer pass;
  ASSERT_TRUE(canvas.Init(3, 3, 1, 1.0f));
  ASSERT_TRUE(pass.Init(3, 3));
  Dab(canvas, 1, 1, 1.0f, kRed);
  ResolveRepetition(pass, canvas, kNormal);

  const AColor old(0, 0, 1, 1);
  Bitmap visibleOnly = Filled(3, 3, old), hiddenOnly = Filled(3, 3, old),
         disabled = Filled(3, 3, old), plain = Filled(3, 3, old), both = Filled(3, 3, old);
  ElementContext gc;
  gc.Add(new TestLineElement(true, false), &visibleOnly);
  gc.Add(new TestLineElement(false, true), &hiddenOnly);
  gc.Add(new TestLineElement(true, true), &disabled)->SetEnabled(false);
  gc.Add(new IRenderElement, &plain);  // not a line element
  gc.Add(new TestLineElement(true, true), nullptr);
  gc.Add(new TestLineElement(true, true), &both);
  gc.elements.push_back(nullptr);

  Bitmap bm = Filled(3, 3, AColor(0, 0, 0, 1));
  pass.Composite(&bm, &gc, 1, true);
  ExpectPixel(bm, 1, 1, AColor(0, 0, 0, 1));
  ExpectPixel(hiddenOnly, 1, 1, AColor(kRed, 1));
  ExpectPixel(both, 1, 1, AColor(kRed, 1));
  for (const Bitmap* untouched : {&visibleOnly, &disabled, &plain}) {
    ExpectPixel(*untouched, 1, 1, old);
  }
  pass.Composite(&bm, &gc, 0, true);
  ExpectPixel(visibleOnly, 1, 1, AColor(kRed, 1));
  ExpectPixel(disabled, 1, 1, old);
}

TEST(PassBuffer, BitmapsOfAnotherSizeAreClipped) {
  LineCanvas canvas;
  PassBuffer pass;
  ASSERT_TRUE(canvas.Init(8, 8, 1, 1.0f));
  ASSERT_TRUE(pass.Init(8, 8));
  for (int i = 0; i < 8; ++i) Dab(canvas, i, i, 1.0f, kRed);
  Dab(canvas, 7, 0, 1.0f, kRed);
  ResolveRepetition(pass, canvas, kNormal);
  Bitmap small = Filled(4, 4, AColor(0, 0, 0, 1));
  Bitmap wide = Filled(12, 2, AColor(0, 0, 1, 1));
  ElementContext gc;
  gc.Add(new TestLineElement(true, true), &wide);
  pass.Composite(&small, &gc, 0, false);
  ExpectPixel(small, 3, 3, AColor(kRed, 1));
  ExpectPixel(small, 3, 0, AColor(0, 0, 0, 1));
  ExpectPixel(wide, 1, 1, AColor(kRed, 1));
  ExpectPixel(wide, 7, 0, AColor(kRed, 1));
  ExpectPixel(wide, 8, 0, AColor(0, 0, 1, 1));
  // Without an image the lines are drawn over transparent black.
  Bitmap element = Filled(8, 8, AColor(0, 0, 1, 1));
  ElementContext only;
  only.Add(new TestLineElement(true, true), &element);
  pass.Composite(nullptr, &only, 0, false);
  ExpectPixel(element, 5, 5, AColor(kRed, 1));
}

TEST(PassBuffer, PreviewGreyIsOneMinusTheLargestCoverage) {
  LineCanvas canvas;
  PassBuffer pass;
  ASSERT_TRUE(canvas.Init(6, 5, 1, 1.0f));
  ASSERT_TRUE(pass.Init(6, 5));
  Dab(canvas, 2, 2, 0.25f, kRed, 2);
  Dab(canvas, 2, 2, 0.75f, kRed, 8);
  Dab(canvas, 3, 1, 1.0f, kRed);
  Dab(canvas, 0, 2, 1.0f, kRed);  // on the border
  Dab(canvas, 4, 3, 0.4f, kRed);
  ResolveRepetition(pass, canvas, kNormal);
  Dab(canvas, 4, 3, 0.9f, kRed);
  ResolveRepetition(pass, canvas, kNormal);
  const AColor old(0.3f, 0.6f, 0.9f, 0.4f);
  Bitmap image = Filled(6, 5, old);
  pass.WritePreview(image);
  struct Expect {
    int x, y;
    float grey;  // < 0: untouched
  };
  const Expect expects[] = {{2, 2, 0.25f}, {3, 1, 0.0f},  {1, 1, 1.0f},  {4, 3, 0.1f},
                            {0, 2, -1.0f}, {5, 3, -1.0f}, {2, 0, -1.0f}, {2, 4, -1.0f}};
  for (const Expect& e : expects) {
    const AColor want = e.grey < 0 ? old : AColor(e.grey, e.grey, e.grey, old.a);
    ExpectPixel(image, e.x, e.y, want);
  }
  // An image larger than the buffer is white where the buffer has no pixels.
  Bitmap large = Filled(9, 9, old);
  pass.WritePreview(large);
  ExpectPixel(large, 7, 7, AColor(1, 1, 1, old.a));
  ExpectPixel(large, 3, 1, AColor(0, 0, 0, old.a));
}

TEST(PassBuffer, ResultsDoNotDependOnTheThreadCount) {
  constexpr int kW = 97, kH = 61;
  auto render = [](int threads) {
    tbb::task_arena arena(threads);
    Bitmap image = Filled(kW, kH, AColor(0.3f, 0.4f, 0.5f, 0.25f));
    Bitmap elementImage = Filled(kW, kH, AColor(0, 0, 0, 0));
    arena.execute([&] {
      LineCanvas canvas;
      PassBuffer pass;
      ASSERT_TRUE(canvas.Init(kW, kH, 2, 1.7f));
      ASSERT_TRUE(pass.Init(kW, kH));
      uint32_t seed = 12345;
      auto next = [&] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
      };
      for (int repetition = 0; repetition < 4; ++repetition) {
        for (int stroke = 0; stroke < 40; ++stroke) {
          canvas.BeginStroke();
          const int key = 2 << (next() % 5);
          const Color colour(static_cast<float>(next() % 256) / 255.0f,
                             static_cast<float>(next() % 256) / 255.0f,
                             static_cast<float>(next() % 256) / 255.0f);
          const int x0 = static_cast<int>(next() % (kW * 2));
          const int y0 = static_cast<int>(next() % (kH * 2));
          for (int i = 0; i < 60; ++i) {
            canvas.StrokeSample(x0 + i, y0 + i / 3, static_cast<float>(next() % 100) / 99.0f,
                                static_cast<float>(next() % 50), key, colour);
          }
          canvas.EndStroke(static_cast<float>(next() % 100) / 99.0f);
        }
        ResolveRepetition(pass, canvas, static_cast<int>(next() % 16));
      }
      ElementContext gc;
      gc.Add(new TestLineElement(true, true), &elementImage);
      pass.Composite(&image, &gc, 0, false);
    });
    return std::make_pair(std::move(image), std::move(elementImage));
  };
  const auto one = render(1);
  const auto two = render(2);
  int changed = 0;
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      ASSERT_EQ(one.first.GetPixel(x, y), two.first.GetPixel(x, y)) << x << "," << y;
      ASSERT_EQ(one.second.GetPixel(x, y), two.second.GetPixel(x, y)) << x << "," << y;
      if (one.second.GetPixel(x, y).a != 0) ++changed;
    }
  }
  EXPECT_GT(changed, 500);
}

TEST(PassBuffer, RefusesEmptySizes) {
  PassBuffer pass;
  EXPECT_FALSE(pass.Init(0, 4));
  EXPECT_FALSE(pass.Init(4, -1));
  EXPECT_EQ(pass.Width(), 0);
  EXPECT_TRUE(pass.Init(1, 1));
  EXPECT_EQ(pass.Width(), 1);
}

}  // namespace
}  // namespace tarnis
