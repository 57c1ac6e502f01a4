// The driver of the line engine: the job list, line-set seeds with rndAuto
// and motion detection, lineSizeType scaling, reuse of the geometry half,
// the post-render-frame entry with its progress, and Apply's early return.
#include "tarnis/line/engine/line_engine.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "sdk/hold.h"
#include "sdk/notify.h"
#include "sdk/testing/fake_interface.h"
#include "tarnis/line/brush/brush.h"
#include "tarnis/line/effect/line_set_frame.h"
#include "tarnis/line/effect/line_setting.h"
#include "tarnis/line/engine/engine_test_scene.h"
#include "tarnis/line/engine/frame_gathering.h"
#include "tarnis/line/frame/line_progress.h"

namespace tarnis {
namespace {

using namespace engine_testing;

class LineEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    lmHolder.Set(new LineManager);
    lm = lmHolder.GetAs<LineManager>();
    set = lm->AddLineSet();
    AllEdgesOff(set);
    theHold.Reset();
    node.Set(new TestNode);
    mtl.Set(new TestMtl);
    set->MainBlock()->Append(kLineSetObjects, node.GetAs<INode>());
  }
  void TearDown() override { theHold.Reset(); }
  IParamBlock2* Main() { return lm->MainBlock(); }
  LineEngine& Engine() { return *lm->RenderState().engine; }

  ReferenceHolder lmHolder, node, mtl;
  LineManager* lm = nullptr;
  LineSet* set = nullptr;
};

TEST_F(LineEngineTest, JobsAreOnePerSettingLineSetAndVisibility) {
  IParamBlock2* visible = set->TypeBlock(1);
  IParamBlock2* hidden = set->TypeBlock(2);
  TestRenderContext gc(Point3(5, 4, 3), Point3());
  // Nothing switched on: no jobs.
  RenderLines(*lm, 0, nullptr, &gc, nullptr, nullptr, false);
  EXPECT_TRUE(Engine().Jobs().empty());

  // Object and smooth edges through the base setting: one visible job;
  // material edges with their own setting: a second one.
  visible->SetValue(kTypeEdgeObject, 0, 1);
  visible->SetValue(kTypeEdgeSmooth, 0, 1);
  visible->SetValue(kTypeEdgeMatID, 0, 1);
  visible->SetValue(kTypeMaterialRespectiveEnable, 0, 1);
  // Hidden lines drawn by the same setting object still make their own job.
  hidden->SetValue(kTypeEdgeObject, 0, 1);
  RenderLines(*lm, 0, nullptr, &gc, nullptr, nullptr, false);
  const auto& jobs = Engine().Jobs();
  ASSERT_EQ(jobs.size(), 3u);
  EXPECT_EQ(jobs[0].lineSetting, set->Setting(1, 0));
  EXPECT_EQ(jobs[0].visibility, 0);
  EXPECT_EQ(jobs[0].category, kCategoryObject);
  EXPECT_EQ(jobs[1].lineSetting, set->Setting(1, kEdgeMaterial));
  EXPECT_EQ(jobs[1].category, kCategoryMaterial);
  EXPECT_EQ(jobs[2].visibility, 1);
  EXPECT_EQ(jobs[2].lineSetting, set->Setting(2, 0));

  // A disabled line set gives no jobs.
  set->MainBlock()->SetValue(kLineSetEnable, 0, 0);
  RenderLines(*lm, 0, nullptr, &gc, nullptr, nullptr, false);
  EXPECT_TRUE(Engine().Jobs().empty());
}

TEST_F(LineEngineTest, SeedsStepEveryIntervalFramesWithRndAuto) {
  Main()->SetValue(kLineSeed, 0, 40);
  const TimeValue frame = GetTicksPerFrame();
  EXPECT_EQ(LineSetSeed(*lm, 0, 0), 40);
  EXPECT_EQ(LineSetSeed(*lm, 0, 7 * frame), 40);
  Main()->SetValue(kLineRndAuto, 0, 1);
  Main()->SetValue(kLineRndInterval, 0, 3);
  std::vector<int> seeds;
  for (int f = 0; f < 7; ++f) seeds.push_back(LineSetSeed(*lm, 0, f * frame));
  // frame + 0.5 truncated by thirds: 0 0 0 1 1 1 2 (frame 0 is 0.5 / 3).
  EXPECT_EQ(seeds, (std::vector<int>{40, 40, 40, 41, 41, 41, 42}));
  // A frame offset holds the seed back.
  lm->RenderState().frameOffsets = {3};
  EXPECT_EQ(LineSetSeed(*lm, 0, 3 * frame), 40);
  EXPECT_EQ(LineSetSeed(*lm, 1, 3 * frame), 41);  // beyond the offset list: no offset
}

TEST_F(LineEngineTest, LineSizeTypeScalesSizesAndOutsideLength) {
  Main()->SetValue(kLineOutsideLength, 0, 8.0f);
  struct Case {
    int width, height, type;
    float scale;
  };
  for (const Case& c :
       {Case{1280, 960, 1, 2.0f}, Case{320, 480, 1, 0.5f}, Case{1280, 960, 0, 1.0f}}) {
    SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height << " type " << c.type);
    Main()->SetValue(kLineLineSizeType, 0, c.type);
    lm->RenderState().referenceScale = 0.0f;  // as before the first frame of a render
    TestRenderContext gc(Point3(5, 4, 3), Point3(), c.width, c.height);
    RenderLines(*lm, 0, nullptr, &gc, nullptr, nullptr, false);
    EXPECT_FLOAT_EQ(Engine().View().options.sizeScale, c.scale);
    EXPECT_FLOAT_EQ(Engine().View().outsideLength, 8.0f * c.scale);
    EXPECT_FLOAT_EQ(Engine().View().extent.pmin.x, -8.0f * c.scale);
  }
}

TEST_F(LineEngineTest, ReuseKeepsTheGeometryOfTheSameFrameOnly) {
  set->TypeBlock(1)->SetValue(kTypeEdgeObject, 0, 1);
  TestRenderContext gc(Point3(5, 4, 3), Point3());
  TestRenderInstance& box = gc.Add(BoxMesh(), node.GetAs<INode>(), mtl.GetAs<Mtl>());
  RenderLines(*lm, 0, nullptr, &gc, nullptr, nullptr, false);
  const uint32_t segments = Engine().Segments().size();
  ASSERT_GT(segments, 0u);
  // The mesh changes; a reuse call for the same frame keeps what was found.
  box.mesh = PlaneMesh();
  Bitmap bm(8, 8);
  RenderLines(*lm, 0, &bm, &gc, nullptr, nullptr, true);
  EXPECT_EQ(Engine().Segments().size(), segments);
  // Another frame time: the geometry half runs again.
  RenderLines(*lm, GetTicksPerFrame(), &bm, &gc, nullptr, nullptr, true);
  EXPECT_EQ(Engine().Segments().size(), 4u);
  // A removed line set's jobs are disabled on reuse.
  RenderLines(*lm, 0, nullptr, &gc, nullptr, nullptr, false);
  std::vector<int> everything = {0};
  lm->RemoveLineSets(everything);
  RenderLines(*lm, 0, &bm, &gc, nullptr, nullptr, true);
  for (const LineJob& job : Engine().Jobs()) EXPECT_FALSE(job.enabled);
}

TEST_F(LineEngineTest, ApplyingAgainOverKeptGeometryRelinksOnlyWhenLinkingChanged) {
  set->TypeBlock(1)->SetValue(kTypeEdgeObject, 0, 1);
  TestRenderContext gc(Point3(5, 4, 3), Point3(), 64, 48);
  gc.Add(BoxMesh(), node.GetAs<INode>(), mtl.GetAs<Mtl>());
  RenderLines(*lm, 0, nullptr, &gc, nullptr, nullptr, false);
  Bitmap bm(64, 48);
  auto draw = [&] {
    bm.Fill(AColor(1, 1, 1, 1));
    RenderLines(*lm, 0, &bm, &gc, nullptr, nullptr, true);
  };
  auto darkest = [&] {
    float red = 1.0f;
    for (int y = 0; y < bm.Height(); ++y) {
      for (int x = 0; x < bm.Width(); ++x) red = std::min(red, bm.GetPixel(x, y).r / 65535.0f);
    }
    return red;
  };
  draw();
  ASSERT_EQ(Engine().Jobs().size(), 1u);
  const LineJob& job = Engine().Jobs()[0];
  ASSERT_FALSE(job.strokes.empty());
  EXPECT_EQ(job.links.linkRuns, 1);
  EXPECT_LT(darkest(), 0.2f);  // black lines

  // Only the colour changed: the chains are kept, the picture follows.
  LineSetting* setting = set->Setting(1, 0);
  setting->Block()->SetValue(kLineColor, 0, Color(1, 1, 1));
  draw();
  EXPECT_EQ(job.links.linkRuns, 1);
  EXPECT_EQ(job.links.combineRuns, 1);
  EXPECT_GT(darkest(), 0.99f);  // white lines on white

  // The brush's limit angle changed: linking runs again.
  setting->GetBrush()->Block(kBrushBlockStroke)->SetValue(kLimitAngle, 0, 10.0f);
  draw();
  EXPECT_EQ(job.links.linkRuns, 2);

  // A frame whose geometry half runs again links its fresh jobs anew.
  RenderLines(*lm, 0, &bm, &gc, nullptr, nullptr, false);
  EXPECT_EQ(Engine().Jobs()[0].links.linkRuns, 1);
}

class AbortAlways : public CheckAbortCallback {
 public:
  bool Check() override { return true; }
  bool Progress(int, int) override { return true; }
  void SetTitle(const char*) override {}
};

TEST_F(LineEngineTest, ApplyThatIsCancelledAtEntryDoesNothing) {
  set->TypeBlock(1)->SetValue(kTypeEdgeObject, 0, 1);
  TestRenderContext gc(Point3(5, 4, 3), Point3());
  gc.Add(BoxMesh(), node.GetAs<INode>(), mtl.GetAs<Mtl>());
  Bitmap bm(8, 8);
  AbortAlways abort;
  lm->Apply(0, &bm, &gc, &abort);
  EXPECT_EQ(lm->RenderState().engine, nullptr);
  // Without a cancel, Apply finds the edges itself when no geometry half ran.
  lm->Apply(0, &bm, &gc, nullptr);
  EXPECT_GT(Engine().Segments().size(), 0u);
}

TEST_F(LineEngineTest, PostRenderFrameRunsTheGeometryHalfWithProgress) {
  FakeInterface ip;
  ip.effects = {lm};
  set->TypeBlock(1)->SetValue(kTypeEdgeObject, 0, 1);
  set->TypeBlock(1)->SetValue(kTypeEdgeIsect, 0, 1);
  TestRenderContext gc(Point3(5, 4, 3), Point3());
  gc.Add(BoxMesh(), node.GetAs<INode>(), mtl.GetAs<Mtl>());
  BroadcastNotification(NOTIFY_POST_RENDERFRAME, &gc);
  EXPECT_GT(Engine().Segments().size(), 0u);
  ASSERT_GE(ip.progress.size(), 2u);
  EXPECT_EQ(ip.progress.front().rfind("start ", 0), 0u);
  EXPECT_NE(ip.progress.front().find("(1/1)"), std::string::npos) << ip.progress.front();
  EXPECT_EQ(ip.progress.back(), "end");

  // Material-editor renders, a cancelled render and renders without effects draw nothing.
  for (int c = 0; c < 3; ++c) {
    lm->RenderState().engine->ReleaseFrame();
    gc.inMtlEdit = c == 0;
    ip.cancel = c == 1;
    ip.renderEffects = c != 2;
    BroadcastNotification(NOTIFY_POST_RENDERFRAME, &gc);
    EXPECT_EQ(Engine().Segments().size(), 0u) << c;
  }
}

TEST_F(LineEngineTest, StillLineSetsKeepTheirSeedWithMotionDetection) {
  FakeInterface ip;
  ip.effects = {lm};
  LineSet* moving = lm->AddLineSet();
  theHold.Reset();
  ReferenceHolder movingNode(new TestNode);
  moving->MainBlock()->Append(kLineSetObjects, movingNode.GetAs<INode>());
  Main()->SetValue(kLineRndAuto, 0, 1);
  Main()->SetValue(kLineRndInterval, 0, 1);
  Main()->SetValue(kLineRndMoveDetect, 0, 1);
  std::vector<int> stillSeeds, movingSeeds;
  for (int f = 0; f < 4; ++f) {
    const TimeValue t = f * GetTicksPerFrame();
    TestRenderContext gc(Point3(5, 4, 3), Point3());
    gc.time = t;
    gc.Add(BoxMesh(), node.GetAs<INode>(), mtl.GetAs<Mtl>());
    gc.Add(BoxMesh(), movingNode.GetAs<INode>(), mtl.GetAs<Mtl>(),
           TranslationMatrix(Point3(0.5f * static_cast<float>(f), 0, 0)));
    BroadcastNotification(NOTIFY_PRE_RENDERFRAME, &gc);
    stillSeeds.push_back(LineSetSeed(*lm, 0, t));
    movingSeeds.push_back(LineSetSeed(*lm, 1, t));
  }
  BroadcastNotification(NOTIFY_POST_RENDER);
  EXPECT_EQ(stillSeeds, (std::vector<int>{0, 0, 0, 0}));
  EXPECT_EQ(movingSeeds, (std::vector<int>{0, 1, 2, 3}));
}

TEST_F(LineEngineTest, EachLineEffectDumpsItsEdgesToItsOwnFile) {
  class DumpInterface : public FakeInterface {
   public:
    std::string InspectionPath(const char* kind, TimeValue) override {
      return std::string(kind) == "edges" ? path : std::string();
    }
    std::string path;
  } ip;
  ReferenceHolder second(new LineManager);
  ip.effects = {lm, second.GetAs<LineManager>()};
  ip.path = "/tmp/out.frame/edges.svg";
  EXPECT_EQ(EdgeDumpPath(*lm, 0), "/tmp/out.frame/edges.svg");
  EXPECT_EQ(EdgeDumpPath(*second.GetAs<LineManager>(), 0), "/tmp/out.frame/edges_2.svg");
  ip.path = "/tmp/out.frame/edges";
  EXPECT_EQ(EdgeDumpPath(*second.GetAs<LineManager>(), 0), "/tmp/out.frame/edges_2");
  ip.path.clear();
  EXPECT_EQ(EdgeDumpPath(*lm, 0), "");
}

TEST(LineProgress, TitlesAndHalvedTotals) {
  EXPECT_EQ(ProgressPercent(50, 100), 50);
  EXPECT_EQ(ProgressPercent(3, 0), 0);
  // Totals above 65535 are halved (with done) until they fit.
  EXPECT_EQ(ProgressPercent(100000, 200000), 50);
  EXPECT_EQ(ProgressPercent(1, 200000), 0);
  EXPECT_NE(ProgressTitle(673, 2, 5).find("(2/5)"), std::string::npos);
}

}  // namespace
}  // namespace tarnis
