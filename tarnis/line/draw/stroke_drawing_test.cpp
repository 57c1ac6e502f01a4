// The drawing half end to end on small scenes: outlines drawn in their
// setting's colour and width, hidden lines under visible ones, lines only
// into a line render element, chains below the minimum length, the brush's
// size falloff, and the same image for any thread count. Also the flat step
// raster against known coverages.
#include <gtest/gtest.h>
#include <tbb/task_arena.h>

#include "sdk/curve_control.h"
#include "sdk/effect.h"
#include "sdk/hold.h"
#include "sdk/shade_context.h"
#include "tarnis/line/brush/brush.h"
#include "tarnis/line/brush/brush_params.h"
#include "tarnis/line/draw/line_canvas.h"
#include "tarnis/line/draw/step_raster.h"
#include "tarnis/line/effect/line_type_blocks.h"
#include "tarnis/line/engine/brush_preview.h"
#include "tarnis/line/engine/engine_test_scene.h"
#include "tarnis/line/frame/line_render_element_sink.h"
#include "tarnis/line/output/vector_sinks.h"

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
  // The lines of the frame of `gc` over white paper of the frame's size.
  Bitmap Render(TestRenderContext& gc) {
    Bitmap bm(gc.devWidth, gc.devHeight);
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
  void LineSetStart(LineSet*, const std::string&, LineSetting*, int vis) override {
    log.push_back("set " + std::to_string(vis));
  }
  void StrokeStart(int, float width, const Color& c, float, bool, float, float) override {
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

// --- How strokes are laid: falloff, joins, offsets, stroke types ----------------

// A larger view for measuring stroke shapes: the plane square of half side
// 2 spans about 116 pixels.
constexpr int kBigW = 240, kBigH = 180;

// The coverage of a red line on white at a pixel.
float Coverage(const Bitmap& bm, int x, int y) {
  if (x < 0 || y < 0 || x >= bm.Width() || y >= bm.Height()) return 0.0f;
  return 1.0f - PixelColour(bm, x, y).g;
}

// The coverage a flat stroke of width w leaves summed across it (pixels):
// the soft edge (one pixel) adds to the width.
float CoverageAcross(float w) {
  if (w >= 2.0f) return w + 1.0f;
  if (w >= 1.0f) return 2.0f * w - 1.0f;
  return w * w;
}

// A strip of three squares side by side from x = -3 to 3, y = -1 to 1:
// its long borders are three edges each.
Mesh StripMesh() {
  Mesh m;
  for (int i = 0; i <= 3; ++i) {
    m.verts.push_back(Point3(-3.0f + 2.0f * static_cast<float>(i), -1, 0));
    m.verts.push_back(Point3(-3.0f + 2.0f * static_cast<float>(i), 1, 0));
  }
  for (int i = 0; i < 3; ++i) {
    const int a = 2 * i, b = a + 2, c = a + 3, d = a + 1;
    Face f1, f2;
    f1.setVerts(a, b, c);
    f2.setVerts(a, c, d);
    m.faces.push_back(f1);
    m.faces.push_back(f2);
  }
  return m;
}

class StrokeShapeTest : public StrokeDrawingTest {
 protected:
  void SetUp() override {
    StrokeDrawingTest::SetUp();
    setting = set->Setting(1, 0);
    brush = setting->GetBrush();
    // Every corner of a square splits its border into single-edge strokes.
    Stroke(kLimitAngle, 30.0f);
  }
  void Stroke(ParamID id, float v) { brush->Block(kBrushBlockStroke)->SetValue(id, 0, v); }
  void Stroke(ParamID id, int v) { brush->Block(kBrushBlockStroke)->SetValue(id, 0, v); }
  static TestRenderContext BigCamera() {
    return TestRenderContext(Point3(0, -0.001f, 10), Point3(), kBigW, kBigH);
  }
  static Point2 Screen(TestRenderContext& gc, Point3 p) {
    return gc.MapToScreen(p * gc.worldToCam);
  }
  // Coverage summed across a horizontal line at row y and column x.
  static float AcrossRow(const Bitmap& bm, int x, int y, int reach) {
    float sum = 0;
    for (int dy = -reach; dy <= reach; ++dy) sum += Coverage(bm, x, y + dy);
    return sum;
  }
  // Coverage summed across a vertical line at column x and row y.
  static float AcrossColumn(const Bitmap& bm, int x, int y, int reach) {
    float sum = 0;
    for (int dx = -reach; dx <= reach; ++dx) sum += Coverage(bm, x + dx, y);
    return sum;
  }
  float SizeCurve(float u) const { return brush->SizeCurve()->GetControlCurve(0)->GetValue(0, u); }
  // The stroke along the horizontal edge from `from` to `to` (world points):
  // its measured width against the size curve at each fraction, checked in
  // either drawing direction.
  void ExpectWidthsFollowTheCurve(const Bitmap& bm, TestRenderContext& gc, Point3 from, Point3 to,
                                  float size, std::initializer_list<float> fractions) {
    const Point2 a = Screen(gc, from), b = Screen(gc, to);
    ASSERT_LT(std::fabs(a.y - b.y), 0.5f) << "the edge should be level on the screen";
    const int row = static_cast<int>(a.y);
    int forward = 0, backward = 0;
    for (float f : fractions) {
      const int x = static_cast<int>(a.x + (b.x - a.x) * f);
      const float measured = AcrossRow(bm, x, row, 14) - 0.0f;
      const float there = CoverageAcross(size * SizeCurve(f));
      const float back = CoverageAcross(size * SizeCurve(1.0f - f));
      forward += std::fabs(measured - there) <= 1.0f;
      backward += std::fabs(measured - back) <= 1.0f;
      SCOPED_TRACE(::testing::Message() << "fraction " << f << " measured " << measured << " curve "
                                        << there << " or " << back);
      EXPECT_TRUE(std::fabs(measured - there) <= 1.0f || std::fabs(measured - back) <= 1.0f);
    }
    EXPECT_TRUE(forward == static_cast<int>(fractions.size()) ||
                backward == static_cast<int>(fractions.size()))
        << "widths follow neither drawing direction of the curve";
  }

  LineSetting* setting = nullptr;
  Brush* brush = nullptr;
};

TEST_F(StrokeShapeTest, ASingleEdgeStrokeFollowsTheSizeFalloffAlongItsWholeLength) {
  setting->Block()->SetValue(kLineSize, 0, 10.0f);
  brush->Block(kBrushBlockDampSize)->SetValue(kBrushDampSizeEnable, 0, 1);
  ASSERT_NEAR(SizeCurve(0.5f), 1.0f, 0.05f) << "the default falloff is full in the middle";
  ASSERT_LT(SizeCurve(0.02f), 0.2f) << "and thin at the ends";
  TestRenderContext gc = BigCamera();
  gc.Add(PlaneMesh(2.0f), node.GetAs<INode>(), mtl.GetAs<Mtl>());
  const Bitmap bm = Render(gc);
  // The bottom edge is level on the screen; it is one edge, one stroke.
  const Point3 from(-2, -2, 0), to(2, -2, 0);
  const Point2 mid = (Screen(gc, from) + Screen(gc, to)) * 0.5f;
  EXPECT_GT(Coverage(bm, static_cast<int>(mid.x), static_cast<int>(mid.y)), 0.9f)
      << "dark in the middle";
  ExpectWidthsFollowTheCurve(bm, gc, from, to, 10.0f, {0.1f, 0.25f, 0.5f, 0.75f, 0.9f});
}

TEST_F(StrokeShapeTest, AThreePieceStrokeFollowsTheSameCurveAcrossItsJoints) {
  setting->Block()->SetValue(kLineSize, 0, 10.0f);
  brush->Block(kBrushBlockDampSize)->SetValue(kBrushDampSizeEnable, 0, 1);
  TestRenderContext gc = BigCamera();
  gc.Add(StripMesh(), node.GetAs<INode>(), mtl.GetAs<Mtl>());
  const Bitmap bm = Render(gc);
  ExpectWidthsFollowTheCurve(bm, gc, Point3(-3, -1, 0), Point3(3, -1, 0), 10.0f,
                             {0.25f, 1.0f / 3.0f, 0.5f, 2.0f / 3.0f, 0.8f});
}

TEST_F(StrokeShapeTest, AConstantCurveOfOneLeavesTheImageUnchanged) {
  setting->Block()->SetValue(kLineSize, 0, 6.0f);
  TestRenderContext gc = BigCamera();
  gc.Add(StripMesh(), node.GetAs<INode>(), mtl.GetAs<Mtl>());
  const Bitmap plain = Render(gc);
  ICurve* curve = brush->SizeCurve()->GetControlCurve(0);
  for (int i = 0; i < curve->GetNumPts(); ++i) {
    CurvePoint pt = curve->GetPoint(0, i);
    pt.p.y = 1.0f;
    pt.flags &= ~CURVEP_BEZIER;
    curve->SetPoint(0, i, pt);
  }
  brush->Block(kBrushBlockDampSize)->SetValue(kBrushDampSizeEnable, 0, 1);
  const Bitmap damped = Render(gc);
  for (int y = 0; y < kBigH; ++y) {
    for (int x = 0; x < kBigW; ++x) {
      ASSERT_NEAR(Coverage(plain, x, y), Coverage(damped, x, y), 1e-4f) << x << "," << y;
    }
  }
}

// Pixels reachable from (x, y) through pixels of coverage below 0.3, four-
// connected; true when the walk reaches the image border.
bool LeaksToTheBorder(const Bitmap& bm, int x, int y) {
  const int w = bm.Width(), h = bm.Height();
  std::vector<char> seen(static_cast<size_t>(w * h), 0);
  std::vector<std::pair<int, int>> todo{{x, y}};
  while (!todo.empty()) {
    const auto [px, py] = todo.back();
    todo.pop_back();
    if (px < 0 || py < 0 || px >= w || py >= h) return true;
    char& s = seen[static_cast<size_t>(py * w + px)];
    if (s || Coverage(bm, px, py) >= 0.3f) continue;
    s = 1;
    todo.push_back({px + 1, py});
    todo.push_back({px - 1, py});
    todo.push_back({px, py + 1});
    todo.push_back({px, py - 1});
  }
  return false;
}

TEST_F(StrokeShapeTest, NormalOffsetsStayClosedAroundCorners) {
  Stroke(kLimitAngle, 180.0f);  // the border is one closed stroke
  setting->Block()->SetValue(kLineSize, 0, 2.0f);
  TestRenderContext gc = BigCamera();
  gc.Add(PlaneMesh(2.0f), node.GetAs<INode>(), mtl.GetAs<Mtl>());
  const Point2 left = Screen(gc, Point3(-2, 0, 0)), centre = Screen(gc, Point3(0, 0, 0));
  for (float offset : {4.0f, -4.0f}) {
    Stroke(kBrushMapNormalOffset, offset);
    const Bitmap bm = Render(gc);
    SCOPED_TRACE(::testing::Message() << "normal offset " << offset);
    // The line left its border by 4 pixels (to one side or the other)...
    const int row = static_cast<int>(left.y);
    EXPECT_LT(Coverage(bm, static_cast<int>(left.x), row), 0.3f);
    EXPECT_GT(std::max(Coverage(bm, static_cast<int>(left.x - 4.0f), row),
                       Coverage(bm, static_cast<int>(left.x + 4.0f), row)),
              0.6f);
    // ... and still closes around the square.
    EXPECT_FALSE(LeaksToTheBorder(bm, static_cast<int>(centre.x), static_cast<int>(centre.y)));
  }
}

class OffsetSink : public LineVectorSink {
 public:
  OffsetSink() { RegisterVectorSink(this); }
  ~OffsetSink() { UnregisterVectorSink(this); }
  void FrameStart(TimeValue, int, int) override {}
  void LineSetStart(LineSet*, const std::string&, LineSetting*, int) override {}
  void StrokeStart(int, float, const Color&, float, bool, float, float) override {}
  void Segment(float x0, float y0, float x1, float y1) override {
    segments.push_back({Point2(x0, y0), Point2(x1, y1)});
  }
  void StrokeEnd() override {}
  void PassEnd() override {}
  std::vector<ScreenLine> segments;
};

TEST_F(StrokeShapeTest, RandomOffsetsMoveCopiesByUpToTheirRangeInPixels) {
  setting->Block()->SetValue(kLineSize, 0, 1.0f);
  Stroke(kBrushMapMultiple, 8);
  Stroke(kBrushMapOffsetXRnd, 3.0f);
  TestRenderContext gc = BigCamera();
  gc.Add(PlaneMesh(2.0f), node.GetAs<INode>(), mtl.GetAs<Mtl>());
  const Point2 top = Screen(gc, Point3(-2, 2, 0)), bottom = Screen(gc, Point3(-2, -2, 0));
  ASSERT_LT(std::fabs(top.x - bottom.x), 0.5f);
  OffsetSink sink;
  const Bitmap bm = Render(gc);
  // The copies of the left border, as the outputs receive them.
  float largest = 0;
  int copies = 0;
  for (const ScreenLine& l : sink.segments) {
    if (std::fabs(l.a.x - l.b.x) > 0.01f || std::fabs(l.a.x - top.x) > 6.0f) continue;
    const float shift = l.a.x - top.x;
    EXPECT_LE(std::fabs(shift), 3.0f + 1e-3f);
    largest = std::max(largest, std::fabs(shift));
    ++copies;
  }
  EXPECT_GE(copies, 8);
  EXPECT_GT(largest, 1.5f) << "copies drawn over each other";
  // In the image: line pixels within the range (plus the line's own reach) only.
  const int row = static_cast<int>((top.y + bottom.y) / 2);
  int first = kBigW, last = -1;
  for (int x = 0; x < kBigW / 2; ++x) {
    if (Coverage(bm, x, row) > 0.2f) first = std::min(first, x), last = std::max(last, x);
  }
  EXPECT_GE(static_cast<float>(first), top.x - 3.0f - 2.0f);
  EXPECT_LE(static_cast<float>(last), top.x + 3.0f + 2.0f);
  EXPECT_GT(last - first, 2);
}

TEST_F(StrokeShapeTest, RakeStrokesShowPaperBetweenTheirBristles) {
  setting->Block()->SetValue(kLineSize, 0, 16.0f);
  TestRenderContext gc = BigCamera();
  gc.Add(PlaneMesh(2.0f), node.GetAs<INode>(), mtl.GetAs<Mtl>());
  const Point2 left = Screen(gc, Point3(-2, 0, 0));
  // Light dips between dark runs across the stroke at its middle row.
  auto dips = [&](int type) {
    Stroke(kBrushMapStrokeType, type);
    const Bitmap bm = Render(gc);
    int count = 0;
    bool dark = false, dipped = false;
    for (int dx = -12; dx <= 12; ++dx) {
      const float c = Coverage(bm, static_cast<int>(left.x) + dx, static_cast<int>(left.y));
      if (c > 0.6f) {
        count += dark && dipped;
        dark = true, dipped = false;
      } else if (dark && c < 0.45f) {
        dipped = true;
      }
    }
    return count;
  };
  EXPECT_EQ(dips(0), 0);
  EXPECT_GE(dips(1), 2);
}

TEST_F(StrokeShapeTest, RandomStrokesHaveRaggedEdgesWherePlainOnesAreStraight) {
  setting->Block()->SetValue(kLineSize, 0, 12.0f);
  TestRenderContext gc = BigCamera();
  gc.Add(PlaneMesh(2.0f), node.GetAs<INode>(), mtl.GetAs<Mtl>());
  const Point2 top = Screen(gc, Point3(-2, 2, 0)), bottom = Screen(gc, Point3(-2, -2, 0));
  // The spread of the stroke's width along the middle of the left border.
  auto spread = [&](int type) {
    Stroke(kBrushMapStrokeType, type);
    const Bitmap bm = Render(gc);
    std::vector<float> widths;
    const int y0 = static_cast<int>(std::min(top.y, bottom.y) + 20);
    const int y1 = static_cast<int>(std::max(top.y, bottom.y) - 20);
    for (int y = y0; y <= y1; ++y)
      widths.push_back(AcrossColumn(bm, static_cast<int>(top.x), y, 12));
    float mean = 0, var = 0;
    for (float w : widths) mean += w;
    mean /= static_cast<float>(widths.size());
    for (float w : widths) var += (w - mean) * (w - mean);
    return std::sqrt(var / static_cast<float>(widths.size()));
  };
  EXPECT_LT(spread(0), 0.2f);
  EXPECT_GT(spread(2), 0.8f);
}

TEST_F(StrokeShapeTest, StampsAreStretchedOnce) {
  // A soft tip stretched by 60 is a quarter as wide along its stretch axis
  // (the screen's x for an unrotated tip): drawn down the left border, the
  // stroke is a quarter of its size wide.
  setting->Block()->SetValue(kLineSize, 0, 16.0f);
  brush->Block(kBrushBlockParameters)->SetValue(kBrushMapType, 0, 0);
  brush->Block(kBrushBlockParameters)->SetValue(kBrushMapStretch, 0, 60.0f);
  TestRenderContext gc = BigCamera();
  gc.Add(PlaneMesh(2.0f), node.GetAs<INode>(), mtl.GetAs<Mtl>());
  const Bitmap bm = Render(gc);
  const Point2 left = Screen(gc, Point3(-2, 0, 0));
  const float across = AcrossColumn(bm, static_cast<int>(left.x), static_cast<int>(left.y), 12);
  EXPECT_NEAR(across, (16.0f + 1.0f) / 4.0f, 1.5f);
}

TEST_F(StrokeShapeTest, StretchedFlatTipsLeaveNoNotchesAtJoints) {
  // A sphere's outline drawn as one closed stroke of many steps: its outer
  // rim stays round however the tip's caps are stretched.
  Stroke(kLimitAngle, 180.0f);
  setting->Block()->SetValue(kLineSize, 0, 8.0f);
  brush->Block(kBrushBlockParameters)->SetValue(kBrushMapStretch, 0, 70.0f);
  brush->Block(kBrushBlockParameters)->SetValue(kBrushMapAngle, 0, 45.0f);
  TestRenderContext gc = BigCamera();
  gc.Add(SphereMesh(1.5f, 48, 24), node.GetAs<INode>(), mtl.GetAs<Mtl>());
  const Bitmap bm = Render(gc);
  const Point2 centre = Screen(gc, Point3(0, 0, 0));
  float lo = 1e9f, hi = 0;
  for (int k = 0; k < 720; ++k) {
    const float a = static_cast<float>(k) * 3.14159265f / 360.0f;
    float outer = 0;
    for (float r = 20.0f; r < 85.0f; r += 0.25f) {
      const int x = static_cast<int>(centre.x + r * std::cos(a));
      const int y = static_cast<int>(centre.y + r * std::sin(a));
      if (Coverage(bm, x, y) > 0.5f) outer = r;
    }
    lo = std::min(lo, outer);
    hi = std::max(hi, outer);
  }
  EXPECT_GT(lo, 30.0f);
  EXPECT_LT(hi - lo, 2.0f) << "the rim dips between " << lo << " and " << hi;
}

// A map of one grey value everywhere.
class FlatMap : public Texmap {
 public:
  explicit FlatMap(float v) : v_(v) {}
  AColor EvalColor(ShadeContext&) override { return AColor(v_, v_, v_, 1); }
  void Update(TimeValue, Interval&) override {}
  Interval Validity(TimeValue) override { return FOREVER; }

 private:
  float v_;
};

TEST_F(StrokeShapeTest, TheDistortionMapScalesTheWobble) {
  setting->Block()->SetValue(kLineSize, 0, 2.0f);
  IParamBlock2* noise = brush->Block(kBrushBlockNoise);
  noise->SetValue(kBrushNoiseEnable, 0, 1);
  noise->SetValue(kBrushMapNoiseAmp, 0, 4.0f);
  noise->SetValue(kBrushMapNoisePeriod, 0, 25.0f);
  noise->SetValue(kBrushMapNoiseMapOpacity, 0, 100.0f);
  TestRenderContext gc = BigCamera();
  gc.Add(PlaneMesh(2.0f), node.GetAs<INode>(), mtl.GetAs<Mtl>());
  const Point2 top = Screen(gc, Point3(-2, 2, 0)), bottom = Screen(gc, Point3(-2, -2, 0));
  // How far the left border's stroke swings sideways along its middle.
  auto swing = [&](float mapValue) {
    ReferenceHolder map(new FlatMap(mapValue));
    brush->SetSubTexmap(1, map.GetAs<Texmap>());
    const Bitmap bm = Render(gc);
    float lo = 1e9f, hi = -1e9f;
    const int y0 = static_cast<int>(std::min(top.y, bottom.y) + 15);
    const int y1 = static_cast<int>(std::max(top.y, bottom.y) - 15);
    for (int y = y0; y <= y1; ++y) {
      float sum = 0, weighted = 0;
      for (int dx = -10; dx <= 10; ++dx) {
        const int x = static_cast<int>(top.x) + dx;
        sum += Coverage(bm, x, y);
        weighted += Coverage(bm, x, y) * static_cast<float>(x);
      }
      if (sum <= 0.5f) continue;
      lo = std::min(lo, weighted / sum);
      hi = std::max(hi, weighted / sum);
    }
    brush->SetSubTexmap(1, nullptr);
    return hi - lo;
  };
  EXPECT_LT(swing(0.0f), 0.5f) << "a black map stills the wobble";
  EXPECT_GT(swing(1.0f), 5.0f) << "a white map leaves the full wobble";
  EXPECT_NEAR(swing(0.5f), 0.5f * swing(1.0f), 1.5f);
}

TEST_F(StrokeShapeTest, DistanceAlphaFadesToTheFarValueAndNoFurther) {
  IParamBlock2* depth = set->DepthBlock(1);
  depth->SetValue(kDepthZAlphaEnable, 0, 1);
  depth->SetValue(kDepthZAlphaMin, 0, 1.0f);
  depth->SetValue(kDepthZAlphaMax, 0, 5.0f);  // the plane, 10 away, lies beyond
  TestRenderContext gc = BigCamera();
  gc.Add(PlaneMesh(2.0f), node.GetAs<INode>(), mtl.GetAs<Mtl>());
  const Point2 left = Screen(gc, Point3(-2, 0, 0));
  auto darkest = [&](float farValue) {
    depth->SetValue(kDepthZAlphaMaxValue, 0, farValue);
    const Bitmap bm = Render(gc);
    float c = 0;
    for (int dx = -3; dx <= 3; ++dx)
      c = std::max(c, Coverage(bm, static_cast<int>(left.x) + dx, static_cast<int>(left.y)));
    return c;
  };
  EXPECT_NEAR(darkest(30.0f), 0.3f, 0.03f);
  EXPECT_NEAR(darkest(0.0f), 0.0f, 0.01f);
  EXPECT_NEAR(darkest(100.0f), 1.0f, 0.01f);
}

// Green where the shade context has a light, black where it has none.
class LitMap : public Texmap {
 public:
  AColor EvalColor(ShadeContext& sc) override {
    return sc.nLights > 0 && sc.Light(0) ? AColor(0, 1, 0, 1) : AColor(0, 0, 0, 1);
  }
  void Update(TimeValue, Interval&) override {}
  Interval Validity(TimeValue) override { return FOREVER; }
};

class SunLight : public LightDesc {
 public:
  bool Illuminate(ShadeContext&, const Point3&, Color& c, Point3& dir, float& dot,
                  float& diffuse) override {
    c = Color(1, 1, 1);
    dir = Point3(0, 0, 1);
    dot = diffuse = 1;
    return true;
  }
};

TEST_F(StrokeShapeTest, MapsAlongLinesSeeTheScenesLights) {
  ReferenceHolder map(new LitMap);
  setting->SetSubTexmap(0, map.GetAs<Texmap>());
  setting->Block()->SetValue(kLineMapEnable, 0, 1);
  setting->Block()->SetValue(kLineSize, 0, 3.0f);
  class LitContext : public TestRenderContext {
   public:
    using TestRenderContext::TestRenderContext;
    int NumSceneLights() override { return lit ? 1 : 0; }
    LightDesc* SceneLight(int i) override { return lit && i == 0 ? &sun : nullptr; }
    bool lit = false;
    SunLight sun;
  } gc(Point3(0, -0.001f, 10), Point3(), kBigW, kBigH);
  gc.Add(PlaneMesh(2.0f), node.GetAs<INode>(), mtl.GetAs<Mtl>());
  const Point2 left = Screen(gc, Point3(-2, 0, 0));
  const int x = static_cast<int>(left.x), y = static_cast<int>(left.y);
  const Bitmap dark = Render(gc);
  gc.lit = true;
  const Bitmap lit = Render(gc);
  EXPECT_LT(PixelColour(dark, x, y).g, 0.1f);
  EXPECT_GT(PixelColour(lit, x, y).g, 0.9f);
  EXPECT_LT(PixelColour(lit, x, y).r, 0.1f);
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
  a.size = b.size = 3.0f;
  EXPECT_FLOAT_EQ(HalfWidth(3.0f, canvas.EdgeSoftness(), canvas.N()), 2.5f);  // (3 + 1 + 1) / 2
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
