// The drawing half end to end on small scenes: outlines drawn in their
// setting's colour and width, hidden lines under visible ones, lines only
// into a line render element, chains below the minimum length, the brush's
// size falloff, and the same image for any thread count. Also the flat step
// raster against known coverages.
#include <gtest/gtest.h>
#include <tbb/task_arena.h>

#include "sdk/effect.h"
#include "sdk/hold.h"
#include "tarnis/line/brush/brush.h"
#include "tarnis/line/brush/brush_params.h"
#include "tarnis/line/engine/brush_preview.h"
#include "tarnis/line/engine/engine_test_scene.h"
#include "tarnis/line/engine/line_canvas.h"
#include "tarnis/line/engine/line_render_element_sink.h"
#include "tarnis/line/engine/step_raster.h"
#include "tarnis/line/engine/vector_sink.h"

namespace tarnis {
namespace {

using namespace engine_testing;

constexpr int kW = 96, kH = 72;

Color PixelColour(const Bitmap& bm, int x, int y) {
  const auto px = bm.GetPixel(x, y);
  return Color(px.r / 65535.0f, px.g / 65535.0f, px.b / 65535.0f);
}

void Fill(Bitmap& bm, Color c) {
  bm.Fill(AColor(c.r, c.g, c.b, 1.0f));
}

class LineElement : public IRenderElement, public LineElementSink {
 public:
  bool DrawsPass(int pass) const override { return pass == 0; }
  Class_ID ClassID() override { return Class_ID(0x1234, 0x5678); }
};

class StrokeDrawingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    lmHolder.Set(new LineManager);
    lm = lmHolder.GetAs<LineManager>();
    lm->MainBlock()->SetValue(kLineOverSampling, 0, 2);
    set = AddSet(Color(1, 0, 0), 3.0f);
    node.Set(new TestNode);
    mtl.Set(new TestMtl);
    set->MainBlock()->Append(kLineSetObjects, node.GetAs<INode>());
  }
  void TearDown() override { theHold.Reset(); }

  LineSet* AddSet(Color colour, float size) {
    LineSet* s = lm->AddLineSet();
    theHold.Reset();
    AllEdgesOff(s);
    s->TypeBlock(1)->SetValue(kTypeEdgeObject, 0, 1);
    LineSetting* setting = s->Setting(1, 0);
    setting->Block()->SetValue(kLineColor, 0, colour);
    setting->Block()->SetValue(kLineSize, 0, size);
    return s;
  }
  // A plane square of half side `half` facing the camera at distance 10.
  static TestRenderContext Camera() {
    return TestRenderContext(Point3(0, -0.001f, 10), Point3(), kW, kH);
  }
  Bitmap Render(TestRenderContext& gc) {
    Bitmap bm(kW, kH);
    Fill(bm, Color(1, 1, 1));
    RenderLines(*lm, 0, &bm, &gc, nullptr, nullptr, false);
    return bm;
  }
  // Where the plane's left border crosses the middle row.
  static int BorderColumn(TestRenderContext& gc, float half) {
    return static_cast<int>(gc.MapToScreen(Point3(-half, 0, 0) * gc.worldToCam).x);
  }

  ReferenceHolder lmHolder, node, mtl;
  LineManager* lm = nullptr;
  LineSet* set = nullptr;
};

TEST_F(StrokeDrawingTest, OutlinesAreDrawnInTheirColourAndWidth) {
  TestRenderContext gc = Camera();
  gc.Add(PlaneMesh(2.0f), node.GetAs<INode>(), mtl.GetAs<Mtl>());
  const Bitmap bm = Render(gc);
  const int x = BorderColumn(gc, 2.0f);
  const Color on = PixelColour(bm, x, kH / 2);
  EXPECT_GT(on.r, 0.95f);
  EXPECT_LT(on.g, 0.1f);
  // Three pixels wide: five pixels off the line and inside the square stay white.
  EXPECT_GT(PixelColour(bm, x + 5, kH / 2).g, 0.99f);
  EXPECT_GT(PixelColour(bm, x - 5, kH / 2).g, 0.99f);
  EXPECT_GT(PixelColour(bm, kW / 2, kH / 2).g, 0.99f);
}

TEST_F(StrokeDrawingTest, HiddenLinesLieUnderVisibleLines) {
  // A second plane right behind the first projects its border onto the
  // first's: its hidden border (blue) is drawn first, the visible red over it.
  LineSet* back = AddSet(Color(0, 0, 1), 3.0f);
  back->TypeBlock(2)->SetValue(kTypeEdgeObject, 0, 1);
  back->Setting(2, 0)->Block()->SetValue(kLineColor, 0, Color(0, 0, 1));
  back->Setting(2, 0)->Block()->SetValue(kLineSize, 0, 3.0f);
  ReferenceHolder backNode(new TestNode);
  back->MainBlock()->Append(kLineSetObjects, backNode.GetAs<INode>());
  TestRenderContext gc = Camera();
  gc.Add(PlaneMesh(2.0f), node.GetAs<INode>(), mtl.GetAs<Mtl>());
  gc.Add(PlaneMesh(2.19f), backNode.GetAs<INode>(), mtl.GetAs<Mtl>(),
         TranslationMatrix(Point3(0, 0, -1)));
  const Bitmap bm = Render(gc);
  const Color on = PixelColour(bm, BorderColumn(gc, 2.0f), kH / 2);
  EXPECT_GT(on.r, 0.9f);
  EXPECT_LT(on.b, 0.1f);
}

TEST_F(StrokeDrawingTest, RenderElementOnlyLeavesTheBitmapAndFillsTheElement) {
  lm->MainBlock()->SetValue(kLineRenderElementOnly, 0, 1);
  ReferenceHolder elementHolder(new LineElement);
  auto* element = elementHolder.GetAs<LineElement>();
  Bitmap elementImage(kW, kH);
  Fill(elementImage, Color(0, 0, 0));
  element->SetRenderBitmap(&elementImage);
  class Context : public TestRenderContext {
   public:
    using TestRenderContext::TestRenderContext;
    int NRenderElements() override { return 1; }
    IRenderElement* GetRenderElement(int) override { return element; }
    IRenderElement* element = nullptr;
  } gc(Point3(0, -0.001f, 10), Point3(), kW, kH);
  gc.element = element;
  gc.Add(PlaneMesh(2.0f), node.GetAs<INode>(), mtl.GetAs<Mtl>());
  Bitmap bm(kW, kH);
  Fill(bm, Color(1, 1, 1));
  lm->Apply(0, &bm, &gc, nullptr);
  const int x = BorderColumn(gc, 2.0f);
  EXPECT_GT(PixelColour(bm, x, kH / 2).g, 0.99f);
  EXPECT_GT(PixelColour(elementImage, x, kH / 2).r, 0.9f);
  EXPECT_LT(PixelColour(elementImage, kW / 2, kH / 2).r, 0.01f);
}

TEST_F(StrokeDrawingTest, ChainsShorterThanTheMinimumLengthDrawNothing) {
  TestRenderContext gc = Camera();
  gc.Add(PlaneMesh(0.2f), node.GetAs<INode>(), mtl.GetAs<Mtl>());  // a square of a few pixels
  Brush* brush = set->Setting(1, 0)->GetBrush();
  brush->Block(kBrushBlockStroke)->SetValue(kMinimumLength, 0, 100.0f);
  const Bitmap bm = Render(gc);
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) ASSERT_GT(PixelColour(bm, x, y).g, 0.999f) << x << "," << y;
  }
  brush->Block(kBrushBlockStroke)->SetValue(kMinimumLength, 0, 1.0f);
  const Bitmap drawn = Render(gc);
  EXPECT_LT(PixelColour(drawn, BorderColumn(gc, 0.2f), kH / 2).g, 0.5f);
}

TEST_F(StrokeDrawingTest, TheSameImageForAnyThreadCount) {
  TestRenderContext gc = Camera();
  gc.Add(SphereMesh(1.5f, 48, 24), node.GetAs<INode>(), mtl.GetAs<Mtl>());
  gc.Add(BoxMesh(Point3(-3, -1, -1), Point3(-1, 1, 2)), node.GetAs<INode>(), mtl.GetAs<Mtl>());
  set->TypeBlock(1)->SetValue(kTypeEdgeIsect, 0, 1);
  set->TypeBlock(1)->SetValue(kTypeEdgeSmooth, 0, 1);
  auto render = [&](int threads) {
    Bitmap bm(kW, kH);
    tbb::task_arena arena(threads);
    arena.execute([&] {
      Fill(bm, Color(1, 1, 1));
      RenderLines(*lm, 0, &bm, &gc, nullptr, nullptr, false);
    });
    return bm;
  };
  const Bitmap one = render(1), two = render(2);
  int drawn = 0;
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      const auto a = one.GetPixel(x, y), b = two.GetPixel(x, y);
      ASSERT_TRUE(a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a) << x << "," << y;
      drawn += a.g < 60000;
    }
  }
  EXPECT_GT(drawn, 100);
}

// Black where the texture (or screen) u of channel 1 is below one half, green above.
class UChecker : public Texmap {
 public:
  AColor EvalColor(ShadeContext& sc) override {
    return sc.UVW(1).x < 0.5f ? AColor(0, 0, 0, 1) : AColor(0, 1, 0, 1);
  }
  void Update(TimeValue, Interval&) override {}
  Interval Validity(TimeValue) override { return FOREVER; }
  int GetMapChannel() override { return 1; }
};

TEST_F(StrokeDrawingTest, LineMapsFollowTextureSpaceWithMappingDataAndScreenSpaceWithout) {
  ReferenceHolder map(new UChecker);
  LineSetting* setting = set->Setting(1, 0);
  setting->SetSubTexmap(0, map.GetAs<Texmap>());
  ASSERT_EQ(setting->LineMap(), map.GetAs<Texmap>());
  setting->Block()->SetValue(kLineMapEnable, 0, 1);
  // A plane shifted right, its u running 0..1 from left to right: texture
  // u = 0.5 lies at world x 0.6, screen u = 0.5 at the image centre (x 0).
  auto colourAt = [&](bool withUvs, float worldX) {
    TestRenderContext gc(Point3(0, -4, 3), Point3(), kW, kH);
    Mesh plane = PlaneMesh();
    if (withUvs) {
      plane.setMapSupport(1, 4);
      plane.Map(1).tv = {Point3(0, 0, 0), Point3(1, 0, 0), Point3(1, 1, 0), Point3(0, 1, 0)};
      plane.Map(1).tf = {TVFace{{0, 1, 2}}, TVFace{{0, 2, 3}}};
    }
    gc.Add(plane, node.GetAs<INode>(), mtl.GetAs<Mtl>(), TranslationMatrix(Point3(0.6f, 0, 0)));
    const Bitmap bm = Render(gc);
    const Point2 p = gc.MapToScreen(Point3(worldX, -1, 0) * gc.worldToCam);
    return PixelColour(bm, static_cast<int>(p.x), static_cast<int>(p.y));
  };
  // World x 0.3: texture u 0.35 (black), right of the image centre (green).
  const Color textured = colourAt(true, 0.3f);
  const Color screen = colourAt(false, 0.3f);
  EXPECT_LT(textured.g, 0.2f);
  EXPECT_GT(screen.g, 0.8f);
  // World x 1.2: texture u 0.65, and right of the centre: green both ways.
  EXPECT_GT(colourAt(true, 1.2f).g, 0.8f);
  EXPECT_GT(colourAt(false, 1.2f).g, 0.8f);
}

class RecordingSink : public LineVectorSink {
 public:
  RecordingSink() { RegisterVectorSink(this); }
  ~RecordingSink() { UnregisterVectorSink(this); }
  void FrameStart(TimeValue, int w, int h) override {
    log.push_back("frame " + std::to_string(w) + "x" + std::to_string(h));
  }
  void LineSetStart(LineSet*, LineSetting*, int vis) override {
    log.push_back("set " + std::to_string(vis));
  }
  void StrokeStart(int, float width, const Color& c, bool, float, float) override {
    ++strokes;
    lastWidth = width;
    lastColour = c;
  }
  void Segment(float x0, float y0, float x1, float y1) override {
    segments.push_back({Point2(x0, y0), Point2(x1, y1)});
  }
  void StrokeEnd() override { ++ends; }
  void PassEnd() override { log.push_back("pass end"); }
  std::vector<std::string> log;
  int strokes = 0, ends = 0;
  float lastWidth = 0;
  Color lastColour;
  std::vector<ScreenLine> segments;
};

TEST_F(StrokeDrawingTest, VectorOutputsReceiveTheFrameStrokesAndPieces) {
  RecordingSink sink;
  TestRenderContext gc = Camera();
  gc.Add(PlaneMesh(2.0f), node.GetAs<INode>(), mtl.GetAs<Mtl>());
  Bitmap bm(kW, kH);
  // Cancelled at entry: no frame is counted.
  class AbortAlways : public CheckAbortCallback {
   public:
    bool Check() override { return true; }
    bool Progress(int, int) override { return true; }
    void SetTitle(const char*) override {}
  } abort;
  lm->Apply(0, &bm, &gc, &abort);
  EXPECT_TRUE(sink.log.empty());
  lm->Apply(0, &bm, &gc, nullptr);
  ASSERT_EQ(sink.log.size(), 3u);
  EXPECT_EQ(sink.log[0], "frame 96x72");
  EXPECT_EQ(sink.log[1], "set 0");
  EXPECT_EQ(sink.log[2], "pass end");
  EXPECT_GE(sink.strokes, 1);
  EXPECT_EQ(sink.ends, sink.strokes);
  EXPECT_FLOAT_EQ(sink.lastWidth, 3.0f);
  EXPECT_FLOAT_EQ(sink.lastColour.r, 1.0f);
  // The pieces run around the square's border.
  const std::vector<std::pair<Point3, Point3>> border = {{Point3(-2, -2, 0), Point3(2, -2, 0)},
                                                         {Point3(2, -2, 0), Point3(2, 2, 0)},
                                                         {Point3(2, 2, 0), Point3(-2, 2, 0)},
                                                         {Point3(-2, 2, 0), Point3(-2, -2, 0)}};
  float expected = 0;
  for (const auto& [a, b] : border) {
    expected += (gc.MapToScreen(a * gc.worldToCam) - gc.MapToScreen(b * gc.worldToCam)).Length();
  }
  EXPECT_NEAR(TotalLength(sink.segments), expected, 0.02f * expected);
}

TEST(BrushPreview, DrawsTheBrushAlongTheCurveInGrey) {
  ReferenceHolder holder(new Brush);
  Brush* brush = holder.GetAs<Brush>();
  Bitmap image(80, 40);
  image.Fill(AColor(0.5f, 0.5f, 0.5f, 1.0f));
  ASSERT_TRUE(DrawBrushPreview(*brush, image, 0));
  // The curve passes the middle of the image: dark there, white paper in a
  // corner, the border as it was.
  EXPECT_LT(PixelColour(image, 40, 20).r, 0.2f);
  EXPECT_GT(PixelColour(image, 3, 3).r, 0.99f);
  EXPECT_NEAR(PixelColour(image, 0, 0).r, 0.5f, 1e-4f);
  const Color mid = PixelColour(image, 40, 20);
  EXPECT_FLOAT_EQ(mid.r, mid.g);
  EXPECT_FLOAT_EQ(mid.g, mid.b);
  Bitmap tiny(2, 2);
  EXPECT_FALSE(DrawBrushPreview(*brush, tiny, 0));
}

TEST_F(StrokeDrawingTest, ADotPatternBrushLeavesPaperInsideTheStroke) {
  TestRenderContext gc = Camera();
  gc.Add(PlaneMesh(2.0f), node.GetAs<INode>(), mtl.GetAs<Mtl>());
  set->Setting(1, 0)->Block()->SetValue(kLineSize, 0, 24.0f);
  // Across the left border on the middle row: light pixels between the
  // first and the last dark one.
  auto gaps = [&](int type) {
    set->Setting(1, 0)->GetBrush()->Block(kBrushBlockParameters)->SetValue(kBrushMapType, 0, type);
    const Bitmap bm = Render(gc);
    const int x = BorderColumn(gc, 2.0f);
    int first = -1, last = -1;
    for (int dx = -14; dx <= 14; ++dx) {
      if (PixelColour(bm, x + dx, kH / 2).g < 0.5f) {
        if (first < 0) first = x + dx;
        last = x + dx;
      }
    }
    int light = 0;
    for (int xx = first; first >= 0 && xx <= last; ++xx)
      light += PixelColour(bm, xx, kH / 2).g > 0.7f;
    return std::make_pair(first >= 0, light);
  };
  const auto flat = gaps(kTipFlat);
  EXPECT_TRUE(flat.first);
  EXPECT_EQ(flat.second, 0);
  const auto dots = gaps(1);
  EXPECT_TRUE(dots.first);
  EXPECT_GT(dots.second, 0);
}

TEST(StepRaster, FlatStepCoversItsWidthWithASoftEdge) {
  LineCanvas canvas;
  ASSERT_TRUE(canvas.Init(20, 10, 1, 1.0f));
  StepRaster raster;
  raster.canvas = &canvas;
  raster.footprint = Footprint::From(0, 0, false);
  StepEnd a, b;
  a.p = Point2(2, 5);
  b.p = Point2(18, 5);
  a.depth = b.depth = -10;
  a.radius = b.radius = HalfWidth(3.0f, canvas.EdgeSoftness(), canvas.N());  // (3 + 1 + 1) / 2
  EXPECT_FLOAT_EQ(a.radius, 2.5f);
  a.colour = b.colour = Color(1, 0, 0);
  canvas.BeginStroke();
  raster.Flat(a, b);
  canvas.EndStroke(1.0f);
  auto coverage = [&](int x, int y) {
    float c = 0;
    for (const CanvasCell& cell : canvas.CellsAt(x, y)) c = std::max(c, cell.coverage);
    return c;
  };
  // Sample centres at distance 0.5 and 1.5 are inside (coverage 1), 2.5 is the rim.
  EXPECT_FLOAT_EQ(coverage(10, 5), 1.0f);
  EXPECT_FLOAT_EQ(coverage(10, 4), 1.0f);
  EXPECT_FLOAT_EQ(coverage(10, 6), 1.0f);
  EXPECT_FLOAT_EQ(coverage(10, 3), 1.0f);
  EXPECT_FLOAT_EQ(coverage(10, 2), 0.0f);
  EXPECT_FLOAT_EQ(coverage(10, 8), 0.0f);
  // Beyond the ends the round caps: 2 samples past B at the centre row.
  EXPECT_GT(coverage(19, 5), 0.0f);
  EXPECT_FLOAT_EQ(coverage(19, 0), 0.0f);
}

}  // namespace
}  // namespace tarnis
