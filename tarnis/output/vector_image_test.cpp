#include "tarnis/output/vector_image.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "tarnis/output/ai_eps_image.h"
#include "tarnis/output/eps_image.h"

namespace tarnis {
namespace {

// The list as short text: "kind:values" per command ("2:1,2" is a line to).
std::string Listing(const VectorImage& image) {
  std::string out;
  for (const VectorCommand& c : image.Commands()) {
    if (!out.empty()) out += ' ';
    out += std::to_string(static_cast<int>(c.Kind()));
    if (c.Kind() == VectorKind::kComment || c.Kind() == VectorKind::kLayer) {
      out += ":'" + c.Text() + "'";
      continue;
    }
    for (int i = 0; i < c.Count(); ++i) {
      char number[32];
      std::snprintf(number, sizeof number, "%g", c.Value(i));
      out += (i == 0 ? ":" : ",") + std::string(number);
    }
  }
  return out;
}

TEST(VectorImage, TheInterfaceItselfRecordsAndWritesNothing) {
  VectorImage image;
  image.SetBoundingBox(0, 0, 10, 10);
  image.Translate(1, 2);
  image.SetColor(1, 0, 0);
  image.NewPath();
  image.AddLine(0, 0, 5, 5);
  image.StrokePath();
  image.BeginLayer("layer");
  image.Comment("note");
  EXPECT_FALSE(image.HasCommands());
  EXPECT_EQ(image.BoundingBox().x1, 0.0f);
  EXPECT_FALSE(image.SupportsLayers());
  std::string problem;
  EXPECT_FALSE(image.Write("/nonexistent/never.eps", &problem));
  EXPECT_FALSE(problem.empty());
}

TEST(VectorImage, CommandsAtTheCursorKeepTheirOrderBeforeIt) {
  RecordingImage image;
  image.Comment("end");
  // The cursor at the comment: new commands go in front of it, in order.
  image.SetCursor(image.Begin());
  image.MoveTo(1, 2);
  image.LineTo(3, 4);
  image.StrokePath();
  EXPECT_EQ(Listing(image), "1:1,2 2:3,4 3 16:'end'");
  EXPECT_EQ(image.Cursor()->Kind(), VectorKind::kComment);

  // Inserting before a position leaves the cursor alone.
  image.SetLineWidth(image.Begin(), 2.5f);
  image.Comment("more");
  EXPECT_EQ(Listing(image), "7:2.5 1:1,2 2:3,4 3 16:'more' 16:'end'");
}

TEST(VectorImage, CommandsStaySmallAndLongDashesKeepEveryLength) {
  // One command per piece of every stroke: the size is what a frame costs.
  EXPECT_LE(sizeof(VectorCommand), 32u);
  RecordingImage image;
  const float pattern[] = {1, 2, 3, 4, 5};
  image.SetDash(pattern, 0.5f);
  EXPECT_EQ(Listing(image), "8:1,2,3,4,5,0.5");
}

struct JoinCase {
  const char* name;
  float startX, startY;  // where the second piece starts; the first ends at (0, 0)
  bool newPathBetween;
  const char* expected;
};

TEST(VectorImage, OptimizeJoinsPiecesThatStartWithinTheToleranceOfTheCurrentPoint) {
  const JoinCase cases[] = {
      {"meeting exactly", 0, 0, false, "11 2:-10,0,0,0 2:0,5"},
      {"within 0.01", 0.005f, -0.008f, false, "11 2:-10,0,0,0 2:0,5"},
      {"0.01 away", 0.01f, -0.01f, false, "11 2:-10,0,0,0 2:0,5"},
      {"0.02 away in x", 0.02f, 0, false, "11 2:-10,0,0,0 2:0.02,0,0,5"},
      {"0.02 away in y", 0, 0.02f, false, "11 2:-10,0,0,0 2:0,0.02,0,5"},
      {"a new path between", 0, 0, true, "11 2:-10,0,0,0 11 2:0,0,0,5"},
  };
  for (const JoinCase& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingImage image;
    image.SetTolerance(0.01f);
    image.NewPath();
    image.AddLine(-10, 0, 0, 0);
    if (c.newPathBetween) image.NewPath();
    image.AddLine(c.startX, c.startY, 0, 5);
    image.Optimize();
    EXPECT_EQ(Listing(image), c.expected);
  }
}

TEST(VectorImage, OptimizeDropsStateThatRepeatsTheCurrentState) {
  RecordingImage image;
  // The starting state: width 1, black, join 0, cap 0, opacity 1.
  image.SetLineWidth(1);
  image.SetColor(0, 0, 0);
  image.SetLineJoin(0);
  image.SetLineCap(0);
  image.SetOpacity(1);
  for (int stroke = 0; stroke < 2; ++stroke) {
    image.SetLineWidth(2);
    image.SetColor(1, 0.5f, 0);
    image.SetOpacity(0.5f);
    image.SetLineJoin(1);
    image.SetLineCap(1);
    image.NewPath();
    image.StrokePath();
  }
  image.SetColor(1, 0.5f, 0.25f);  // differs in blue only
  image.SetLineWidth(2.0001f);
  image.Optimize();
  EXPECT_EQ(Listing(image), "7:2 5:1,0.5,0 18:0.5 9:1 10:1 11 3 11 3 5:1,0.5,0.25 7:2.0001");
}

TEST(VectorImage, OptimizeDropsADashEqualInCountPhaseAndEveryLength) {
  struct DashCase {
    const char* name;
    std::vector<float> second;
    float secondPhase;
    bool kept;
  };
  const DashCase cases[] = {
      {"same", {4, 2}, 0, false},
      {"other phase", {4, 2}, 1, true},
      {"other length", {4, 3}, 0, true},
      {"more lengths", {4, 2, 4}, 0, true},
      {"solid", {}, 0, true},
  };
  for (const DashCase& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingImage image;
    image.ClearDash();  // solid, phase 0: the starting dash
    const float first[] = {4, 2};
    image.SetDash(first, 0);
    image.SetDash(c.second, c.secondPhase);
    image.Optimize();
    ASSERT_EQ(image.Commands().size(), c.kept ? 2u : 1u) << Listing(image);
    EXPECT_EQ(Listing(image).substr(0, 7), "8:4,2,0");
  }
}

TEST(VectorImage, OptimizeKeepsTheCursorOnAListCommandWhenItsCommandGoes) {
  RecordingImage image;
  image.SetLineWidth(1);  // repeats the starting width: dropped
  image.Comment("anchor");
  image.SetCursor(image.Begin());
  image.Optimize();
  EXPECT_EQ(Listing(image), "16:'anchor'");
  EXPECT_EQ(image.Cursor(), image.Begin());
}

TEST(VectorImage, IllustratorOptimizeWrapsEveryPathInAGroup) {
  AIEPSImage image;
  image.SetTolerance(0.01f);
  image.BeginLayer("A");
  image.SetLineWidth(2);
  image.NewPath();
  image.AddLine(0, 0, 1, 0);
  image.AddLine(1, 0, 1, 1);
  image.StrokePath();
  image.NewPath();
  image.AddLine(5, 5, 6, 6);
  image.StrokePath();
  // A path left open when the layer changes is closed before the layer.
  image.MoveTo(7, 7);
  image.BeginLayer("B");
  image.Optimize();
  EXPECT_EQ(Listing(image),
            "17:'A' 7:2 101 11 2:0,0,1,0 2:1,1 3 102 101 11 2:5,5,6,6 3 102 101 1:7,7 102 17:'B'");
}

TEST(VectorImage, OnlyLayeredFormatsRecordLayersAndIllustratorClipsInAGroup) {
  EPSImage eps;
  eps.BeginLayer("A");
  eps.ClipRect(0, 0, 4, 3);
  EXPECT_EQ(Listing(eps), "12:0,0,4,3");
  AIEPSImage ai;
  ai.BeginLayer("A");
  ai.ClipRect(0, 0, 4, 3);
  EXPECT_EQ(Listing(ai), "17:'A' 103 12:0,0,4,3");
  EPSImage plain;
  plain.Optimize();  // nothing to group in a plain EPS image
  plain.NewPath();
  plain.StrokePath();
  plain.Optimize();
  EXPECT_EQ(Listing(plain), "11 3");
}

}  // namespace
}  // namespace tarnis

namespace tarnis {
namespace {

TEST(VectorText, NumbersPrintAsPrintfsUpperCaseGeneralFormat) {
  std::vector<double> values = {0.0,     -0.0,     1.0,      -1.5,      0.5,       108.14501953125,
                                1920.0,  1e-5,     1.25e-7,  123456.0,  1234567.0, 999999.5,
                                0.0001,  0.00001,  3.4e38,   -2.5e-30,  1.0 / 3.0, 100000.0};
  // Floats of every magnitude the writers see, made the way they are (float to double).
  uint32_t bits = 0x3F800000u;
  for (int i = 0; i < 2000; ++i) {
    bits = bits * 1664525u + 1013904223u;
    float f;
    const uint32_t finite = (bits & 0x807FFFFFu) | (((bits >> 23) % 200 + 27) << 23);
    std::memcpy(&f, &finite, sizeof f);
    values.push_back(f);
  }
  // Image coordinates and widths: plain decimals, many of them, and exact
  // ties at the sixth digit, which round to even.
  for (int i = 0; i < 20000; ++i) {
    bits = bits * 1664525u + 1013904223u;
    const float f = static_cast<float>(bits % 4000000u) / 1000.0f - 100.0f;
    values.push_back(f);
    values.push_back(f * 1e-5f);
  }
  for (double tie : {100000.5, 123456.5, 123457.5, 999999.5, 99999.25, 0.000123455, 2.5, 0.3125})
    values.push_back(tie);
  for (int k = 0; k < 2000; ++k) values.push_back(static_cast<float>(k) / 64.0f + 1000.0f);
  values.push_back(std::numeric_limits<double>::infinity());
  values.push_back(-std::numeric_limits<double>::infinity());
  values.push_back(std::numeric_limits<double>::quiet_NaN());
  for (double v : values) {
    char expected[64], got[64];
    std::snprintf(expected, sizeof expected, "%G", v);
    const size_t n = FormatG(v, got, sizeof got);
    EXPECT_EQ(std::string(got, n), expected) << v;
  }
  char tiny[3];
  EXPECT_EQ(FormatG(123456.0, tiny, sizeof tiny), 0u);
}

}  // namespace
}  // namespace tarnis
