// Edge chaining on hand-made pieces: linking by turn angle, depth and
// object, loops with their start side and turning sense, combining across
// gaps, stroke direction under mirroring, the link cache, progress and
// abort; and the grid walk of the first process against a plain all-pairs
// walk on random pieces.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "sdk/hold.h"
#include "tarnis/line/brush/brush.h"
#include "tarnis/line/chain/edge_chain_combine.h"
#include "tarnis/line/chain/edge_chain_link.h"
#include "tarnis/line/chain/edge_chaining.h"
#include "tarnis/line/effect/line_manager.h"
#include "tarnis/line/effect/line_set.h"
#include "tarnis/line/effect/line_setting.h"
#include "tarnis/line/engine/engine_test_scene.h"
#include "tarnis/line/engine/frame_gathering.h"
#include "tarnis/line/engine/line_engine.h"
#include "tarnis/line/frame/line_progress.h"
#include "tarnis/resources/string_ids.h"
#include "tarnis/resources/string_table.h"

namespace tarnis {
namespace {

struct Line {
  Point2 a, b;
};

Point2 P(float x, float y) {
  return {x, y};
}

bool Near(Point2 p, Point2 q, float tolerance = 1e-3f) {
  return (p - q).Length() <= tolerance;
}

// The signed area of a closed stroke about its box centre; negative when it
// turns counter-clockwise on the screen (rows run downwards).
float SignedArea(const std::vector<Line>& lines) {
  Point2 lo = lines[0].a, hi = lines[0].a;
  for (const Line& l : lines) {
    for (Point2 p : {l.a, l.b}) {
      lo = P(std::min(lo.x, p.x), std::min(lo.y, p.y));
      hi = P(std::max(hi.x, p.x), std::max(hi.y, p.y));
    }
  }
  const Point2 c = (lo + hi) * 0.5f;
  float area = 0.0f;
  for (const Line& l : lines) area += CrossProd(l.a - c, l.b - c);
  return area;
}

class RecordingAbort : public CheckAbortCallback {
 public:
  bool Check() override {
    ++checks;
    return abortAll || (abortCombining && !titles.empty() &&
                        titles.back() == ProgressTitle(kStrLinkingEdges2, 1, 1));
  }
  bool Progress(int done, int total) override {
    progress.push_back({done, total});
    return false;
  }
  void SetTitle(const char* title) override { titles.push_back(title); }

  bool abortAll = false;
  bool abortCombining = false;
  int checks = 0;
  std::vector<std::string> titles;
  std::vector<std::pair<int, int>> progress;
};

class EdgeChainingTest : public ::testing::Test {
 protected:
  // Progress titles need the plug-in's texts.
  EdgeChainingTest() : previousModule_(GetModuleHandle()) { SetModuleHandle(&moduleMarker_); }
  ~EdgeChainingTest() override { SetModuleHandle(previousModule_); }

  void SetUp() override {
    lmHolder.Set(new LineManager);
    set = lmHolder.GetAs<LineManager>()->AddLineSet();
    theHold.Reset();
    frame.Clear();
    jobs.clear();
    reuseLinks = false;
    jobsLinked = 0;
    FrameView& v = frame.view;
    v.options = LineDrawOptions();
    v.projType = PROJ_PARALLEL;
    v.xscale = 10.0f;
    v.yscale = -10.0f;
    v.xc = 160.0f;
    v.yc = 120.0f;
    v.width = 320;
    v.height = 240;
    job = &jobs.emplace_back();
    job->lineSet = set;
    job->lineSetting = set->Setting(1, 0);
  }
  void TearDown() override { theHold.Reset(); }

  IParamBlock2* Stroke() { return job->lineSetting->GetBrush()->Block(kBrushBlockStroke); }
  void Set(ParamID id, float v) { Stroke()->SetValue(id, 0, v); }
  void SetLoop(int v) { Stroke()->SetValue(kLoopDirection, 0, v); }
  void Combine(bool on) {
    set->MainBlock()->SetValue(kLineSetCombineBetweemObjects, 0, on ? 1 : 0);
  }

  // Files the piece t0..t1 of a new segment from a to b.
  void Piece(Point2 a, Point2 b, int instance = 0, float za = -10.0f, float zb = -10.0f,
             float t0 = 0.0f, float t1 = 1.0f) {
    EdgeSegment s;
    s.start = a;
    s.length = (b - a).Length();
    s.direction = (b - a) / s.length;
    s.z0 = za;
    s.z1 = zb;
    s.instance = instance;
    uint32_t index = 0;
    ASSERT_TRUE(frame.segments.Add(s, &index));
    job->edges[0].push_back({MakeSegmentId(kSegmentObject, index), t0, t1});
  }
  void Polygon(const std::vector<Point2>& corners) {
    for (size_t i = 0; i < corners.size(); ++i)
      Piece(corners[i], corners[(i + 1) % corners.size()]);
  }

  // The jobs' records at time 0, as the driver gathers them before linking.
  void Gather() { GatherJobRecords(*lmHolder.GetAs<LineManager>(), jobs, 0, frame.view.options); }
  // Linking as the driver asks for it, `jobsLinked` jobs into the frame.
  LinkContext Context(CheckAbortCallback* abort) const {
    LinkContext ctx;
    ctx.segments = &frame.segments;
    ctx.view = &frame.view;
    ctx.reuseLinks = reuseLinks;
    ctx.jobNumber = jobsLinked + 1;
    ctx.jobCount = static_cast<int>(
        std::count_if(jobs.begin(), jobs.end(), [](const LineJob& j) { return j.enabled; }));
    ctx.abort = abort;
    return ctx;
  }
  const std::vector<LineChain>& Link(CheckAbortCallback* abort = nullptr) {
    Gather();
    EXPECT_TRUE(LinkJob(*job, Context(abort)));
    return job->strokes;
  }
  std::vector<Line> Lines(const LineChain& chain) const {
    std::vector<Line> out;
    for (const EdgePiece& p : chain.pieces) {
      const PieceGeometry g = GeometryOf(p, frame.segments, frame.view.Parallel());
      out.push_back({g.a, g.b});
    }
    return out;
  }
  // Each piece starts where the one before it ends (and, for a loop, the
  // first where the last ends).
  void ExpectContinuous(const LineChain& chain, float gap = 1e-3f) const {
    const std::vector<Line> lines = Lines(chain);
    for (size_t i = 1; i < lines.size(); ++i) {
      EXPECT_TRUE(Near(lines[i - 1].b, lines[i].a, gap)) << "gap before piece " << i;
    }
    if (chain.closed) {
      EXPECT_TRUE(Near(lines.back().b, lines.front().a, gap));
    }
    EXPECT_TRUE(Near(chain.start, lines.front().a));
    EXPECT_TRUE(Near(chain.end, lines.back().b));
  }

  ModuleHandle previousModule_;
  int moduleMarker_ = 0;
  ReferenceHolder lmHolder;
  LineSet* set = nullptr;
  FrameGeometry frame;
  std::deque<LineJob> jobs;
  bool reuseLinks = false;
  int jobsLinked = 0;
  LineJob* job = nullptr;
};

TEST_F(EdgeChainingTest, TouchingPiecesLinkWhenTheTurnStaysWithinTheLimitAngle) {
  struct Case {
    const char* name;
    std::vector<Line> pieces;
    float limitAngle;
    size_t strokes;  // 0: expect one chain of all pieces
  };
  const Case cases[] = {
      {"collinear end to start", {{P(10, 10), P(20, 10)}, {P(20, 10), P(30, 10)}}, 90, 1},
      {"collinear end to end", {{P(10, 10), P(20, 10)}, {P(30, 10), P(20, 10)}}, 90, 1},
      {"collinear start to start", {{P(20, 10), P(10, 10)}, {P(20, 10), P(30, 10)}}, 90, 1},
      {"collinear, limit 0", {{P(10, 10), P(20, 10)}, {P(20, 10), P(30, 10)}}, 0, 1},
      {"right angle, limit 90", {{P(10, 10), P(20, 10)}, {P(20, 10), P(20, 20)}}, 90, 1},
      {"right angle end to end, limit 90", {{P(10, 10), P(20, 10)}, {P(20, 20), P(20, 10)}}, 90, 1},
      {"right angle, limit 89", {{P(10, 10), P(20, 10)}, {P(20, 10), P(20, 20)}}, 89, 2},
      {"right angle end to end, limit 89", {{P(10, 10), P(20, 10)}, {P(20, 20), P(20, 10)}}, 89, 2},
      {"hairpin, limit 180", {{P(10, 10), P(20, 10)}, {P(20, 10), P(12, 10)}}, 180, 1},
      {"hairpin, limit 170", {{P(10, 10), P(20, 10)}, {P(20, 10), P(12, 10)}}, 170, 2},
      {"ends 0.004 px apart", {{P(10, 10), P(20, 10)}, {P(20.004f, 10), P(30, 10)}}, 90, 1},
      {"ends 0.006 px apart", {{P(10, 10), P(20, 10)}, {P(20.006f, 10), P(30, 10)}}, 90, 2},
      {"the straight branch of a junction wins",
       {{P(0, 10), P(10, 10)}, {P(10, 10), P(10, 20)}, {P(10, 10), P(20, 10)}},
       90,
       2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    Set(kLimitAngle, c.limitAngle);
    Set(kCombineLength, 0.0f);  // only the first process joins pieces here
    for (const Line& l : c.pieces) Piece(l.a, l.b);
    const std::vector<LineChain>& strokes = Link();
    ASSERT_EQ(strokes.size(), c.strokes);
    size_t pieces = 0;
    for (const LineChain& s : strokes) {
      ExpectContinuous(s, 0.005f);
      EXPECT_FALSE(s.closed);
      pieces += s.pieces.size();
    }
    EXPECT_EQ(pieces, c.pieces.size());
    if (c.pieces.size() == 3) {
      // The junction's straight pair forms the longer chain.
      const LineChain& straight = strokes[0].pieces.size() == 2 ? strokes[0] : strokes[1];
      const std::vector<Line> lines = Lines(straight);
      EXPECT_NEAR(lines[0].a.y, 10.0f, 1e-4f);
      EXPECT_NEAR(lines[1].b.y, 10.0f, 1e-4f);
    }
    TearDown();
  }
}

TEST_F(EdgeChainingTest, EndsLinkOnlyWithinTheDepthTolerance) {
  struct Case {
    float depthGap;
    size_t chains;
  };
  for (const Case& c : {Case{0.004f, 1}, Case{0.006f, 2}, Case{0.05f, 2}}) {
    SCOPED_TRACE(c.depthGap);
    SetUp();
    Piece(P(10, 10), P(20, 10), 0, -10.0f, -10.0f);
    Piece(P(20, 10), P(30, 10), 0, -10.0f - c.depthGap, -10.0f - c.depthGap);
    Link();
    ASSERT_EQ(job->links.groups.size(), 1u);
    EXPECT_EQ(job->links.groups[0].size(), c.chains);
    TearDown();
  }
}

TEST_F(EdgeChainingTest, PiecesOfDifferentObjectsLinkOnlyWhenTheLineSetCombinesThem) {
  for (bool combine : {false, true}) {
    SCOPED_TRACE(combine);
    SetUp();
    Combine(combine);
    Piece(P(10, 10), P(20, 10), 0);
    Piece(P(20, 10), P(30, 10), 1);
    Piece(P(31, 10), P(40, 10), 1);  // a gap that combining would bridge
    const std::vector<LineChain>& strokes = Link();
    EXPECT_EQ(job->links.groups.size(), combine ? 1u : 2u);
    if (combine) {
      ASSERT_EQ(strokes.size(), 1u);
      EXPECT_EQ(strokes[0].pieces.size(), 3u);
    } else {
      // Object 1's two pieces still combine with each other.
      ASSERT_EQ(strokes.size(), 2u);
      EXPECT_EQ(strokes[0].pieces.size(), 1u);
      EXPECT_EQ(strokes[1].pieces.size(), 2u);
    }
    TearDown();
  }
}

TEST_F(EdgeChainingTest, ASquareIsOneLoopStartingWhereTheRayFromItsCentreLeaves) {
  // Corners of a 40-pixel square around (120, 120); rows run downwards.
  const Point2 tl = P(100, 100), tr = P(140, 100), br = P(140, 140), bl = P(100, 140);
  enum Side { kTop, kRight, kBottom, kLeft };
  auto sideOf = [&](const Line& l) {
    const Point2 m = (l.a + l.b) * 0.5f;
    if (std::fabs(m.y - 100) < 1e-3f) return kTop;
    if (std::fabs(m.x - 140) < 1e-3f) return kRight;
    if (std::fabs(m.y - 140) < 1e-3f) return kBottom;
    return kLeft;
  };
  struct Case {
    float angle;
    int loopDirection;
    bool mirror;
    Side start;
  };
  const Case cases[] = {
      {-30, 1, false, kRight}, {-30, 0, false, kRight}, {0, 1, false, kRight},
      {90, 1, false, kBottom}, {-90, 0, false, kTop},   {-120, 1, false, kTop},
      {180, 0, false, kLeft},  {150, 1, false, kLeft},  {-30, 1, true, kLeft},
      {-30, 0, true, kLeft},   {60, 1, true, kBottom},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << "angle " << c.angle << " loop " << c.loopDirection << " mirror " << c.mirror);
    SetUp();
    Set(kDirectionAngle, c.angle);
    SetLoop(c.loopDirection);
    frame.view.options.mirror = c.mirror;
    // Filed out of order and in mixed directions.
    Piece(br, bl);
    Piece(tl, tr);
    Piece(br, tr);
    Piece(bl, tl);
    const std::vector<LineChain>& strokes = Link();
    ASSERT_EQ(strokes.size(), 1u);
    const LineChain& loop = strokes[0];
    EXPECT_TRUE(loop.closed);
    ASSERT_EQ(loop.pieces.size(), 4u);
    ExpectContinuous(loop);
    const std::vector<Line> lines = Lines(loop);
    EXPECT_EQ(sideOf(lines[0]), c.start);
    // Counter-clockwise on the screen (negative area with rows downwards)
    // for loop direction 1; a mirrored call turns the other way.
    const bool counterClockwise = (c.loopDirection == 1) != c.mirror;
    EXPECT_EQ(SignedArea(lines) < 0.0f, counterClockwise);
    TearDown();
  }
}

TEST_F(EdgeChainingTest, OpenStrokesRunAlongTheBrushDirection) {
  struct Case {
    Line piece;
    float angle;
    bool mirror;
    Point2 heading;  // the way the stroke must run
  };
  const Case cases[] = {
      {{P(10, 10), P(20, 10)}, -30, false, P(1, 0)},
      {{P(20, 10), P(10, 10)}, -30, false, P(1, 0)},
      {{P(10, 10), P(20, 10)}, -30, true, P(-1, 0)},
      {{P(10, 10), P(20, 10)}, 180, false, P(-1, 0)},
      {{P(10, 10), P(20, 10)}, 180, true, P(1, 0)},
      // Upwards on the screen (towards smaller rows) for -30 degrees,
      // mirrored or not.
      {{P(10, 10), P(10, 20)}, -30, false, P(0, -1)},
      {{P(10, 10), P(10, 20)}, -30, true, P(0, -1)},
      {{P(10, 20), P(10, 10)}, 90, false, P(0, 1)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "angle " << c.angle << " mirror " << c.mirror);
    SetUp();
    Set(kDirectionAngle, c.angle);
    frame.view.options.mirror = c.mirror;
    Piece(c.piece.a, c.piece.b);
    // A collinear continuation that meets the first piece end to end.
    Piece(c.piece.a + (c.piece.b - c.piece.a) * 2.0f, c.piece.b);
    const std::vector<LineChain>& strokes = Link();
    ASSERT_EQ(strokes.size(), 1u);
    ASSERT_EQ(strokes[0].pieces.size(), 2u);
    ExpectContinuous(strokes[0]);
    EXPECT_TRUE(Near(Normalize(strokes[0].end - strokes[0].start), c.heading));
    TearDown();
  }
}

TEST_F(EdgeChainingTest, ChainsCombineAcrossGapsWithinTheCombineLength) {
  struct Case {
    const char* name;
    std::vector<Line> pieces;
    float combineLength;
    float sizeScale;
    std::vector<size_t> strokePieces;  // pieces per stroke, in stroke order
  };
  const Case cases[] = {
      {"1 px gap, length 2", {{P(10, 10), P(20, 10)}, {P(21, 10), P(30, 10)}}, 2, 1, {2}},
      {"1 px gap, length 0", {{P(10, 10), P(20, 10)}, {P(21, 10), P(30, 10)}}, 0, 1, {1, 1}},
      {"1 px gap, length 0.5", {{P(10, 10), P(20, 10)}, {P(21, 10), P(30, 10)}}, 0.5f, 1, {1, 1}},
      {"1 px gap, length 0.5 scaled by 2",
       {{P(10, 10), P(20, 10)}, {P(21, 10), P(30, 10)}},
       0.5f,
       2,
       {2}},
      {"3 px gap, length 2", {{P(10, 10), P(20, 10)}, {P(23, 10), P(30, 10)}}, 2, 1, {1, 1}},
      {"diagonal gap within the length",
       {{P(10, 10), P(20, 10)}, {P(21, 11), P(30, 11)}},
       2,
       1,
       {2}},
      {"gap across a turn beyond the limit",
       {{P(10, 10), P(20, 10)}, {P(20, 11), P(10, 11)}},
       2,
       1,
       {1, 1}},
      // Both free ends touch but the first process gave each a better
      // partner that did not choose it back.
      {"touching free ends, length 2",
       {{P(0, 10), P(10, 10)},
        {P(10, 10), P(20, 10)},
        {P(10, 10), P(14.5f, 4.64f)},
        {P(10, 10), P(14.5f, 15.36f)}},
       2,
       1,
       {2, 2}},
      {"touching free ends, length 0",
       {{P(0, 10), P(10, 10)},
        {P(10, 10), P(20, 10)},
        {P(10, 10), P(14.5f, 4.64f)},
        {P(10, 10), P(14.5f, 15.36f)}},
       0,
       1,
       {2, 1, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    Set(kCombineLength, c.combineLength);
    frame.view.options.sizeScale = c.sizeScale;
    for (const Line& l : c.pieces) Piece(l.a, l.b);
    const std::vector<LineChain>& strokes = Link();
    std::vector<size_t> counts;
    for (const LineChain& s : strokes) {
      counts.push_back(s.pieces.size());
      ExpectContinuous(s, 1.5f * c.combineLength * c.sizeScale + 1e-3f);
    }
    EXPECT_EQ(counts, c.strokePieces);
    TearDown();
  }
}

TEST_F(EdgeChainingTest, AnEndCombinesWithItsNearestPartner) {
  // A's end has two candidates; the nearer one wins and the other stays alone.
  struct Case {
    Point2 cStart;
    bool joinsB;  // true: A joins B, false: A joins C
  };
  for (const Case& c : {Case{P(20.5f, 11.0f), true}, Case{P(20.3f, 10.3f), false}}) {
    SetUp();
    Piece(P(10, 10), P(20, 10));         // A
    Piece(P(21, 10), P(30, 10));         // B
    Piece(c.cStart, P(c.cStart.x, 25));  // C, downwards
    const std::vector<LineChain>& strokes = Link();
    ASSERT_EQ(strokes.size(), 2u);
    const LineChain& joined = strokes[0].pieces.size() == 2 ? strokes[0] : strokes[1];
    ASSERT_EQ(joined.pieces.size(), 2u);
    const std::vector<Line> lines = Lines(joined);
    EXPECT_TRUE(Near(lines[0].a, P(10, 10)));
    EXPECT_TRUE(Near(lines[1].a, c.joinsB ? P(21, 10) : c.cStart));
    TearDown();
  }
}

TEST_F(EdgeChainingTest, ALoopIsRecognisedAcrossASmallGapButAJoinedOpenShapeStaysOpen) {
  struct Case {
    const char* name;
    std::vector<Line> pieces;
    float combineLength;
    bool closed;
    size_t strokes;
  };
  const Case cases[] = {
      {"square with a 1 px gap, length 2",
       {{P(100, 100), P(140, 100)},
        {P(140, 100), P(140, 140)},
        {P(140, 140), P(100, 140)},
        {P(100, 140), P(100, 101)}},
       2,
       true,
       1},
      {"square with a 1 px gap, length 0.5",
       {{P(100, 100), P(140, 100)},
        {P(140, 100), P(140, 140)},
        {P(140, 140), P(100, 140)},
        {P(100, 140), P(100, 101)}},
       0.5f,
       false,
       1},
      {"square of two chains joined twice",
       {{P(100, 100), P(140, 100)},
        {P(140, 100), P(140, 140)},
        {P(140, 141), P(100, 141)},
        {P(100, 141), P(100, 101)}},
       2,
       true,
       1},
      {"U shape joined from two chains",
       {{P(100, 100), P(140, 100)}, {P(140, 100), P(140, 140)}, {P(140, 141), P(100, 141)}},
       2,
       false,
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    Set(kCombineLength, c.combineLength);
    for (const Line& l : c.pieces) Piece(l.a, l.b);
    const std::vector<LineChain>& strokes = Link();
    ASSERT_EQ(strokes.size(), c.strokes);
    EXPECT_EQ(strokes[0].closed, c.closed);
    EXPECT_EQ(strokes[0].pieces.size(), c.pieces.size());
    ExpectContinuous(strokes[0], 1.5f);
    TearDown();
  }
}

TEST_F(EdgeChainingTest, AJoinedChainKeepsTheDirectionOfItsFirstChain) {
  // The longest piece starts the first chain and runs leftwards, against the
  // brush direction; the shorter chain it absorbs follows it.
  Piece(P(100, 10), P(50, 10));
  Piece(P(30, 10), P(48.5f, 10));
  const std::vector<LineChain>& strokes = Link();
  ASSERT_EQ(strokes.size(), 1u);
  EXPECT_TRUE(Near(strokes[0].start, P(100, 10)));
  EXPECT_TRUE(Near(strokes[0].end, P(30, 10)));
  ExpectContinuous(strokes[0], 1.6f);
  EXPECT_LT(strokes[0].along, 0.0f);
}

TEST_F(EdgeChainingTest, TheCacheRerunsOnlyTheProcessesWhoseParametersChanged) {
  reuseLinks = true;
  Piece(P(10, 10), P(20, 10));
  Piece(P(20, 10), P(30, 10));
  Piece(P(40, 20), P(40, 30), 1);
  struct Step {
    const char* name;
    std::function<void()> change;
    int linkRuns, combineRuns;
  };
  const Step steps[] = {
      {"first call", [] {}, 1, 1},
      {"same parameters", [] {}, 1, 1},
      {"combine length", [&] { Set(kCombineLength, 5.0f); }, 1, 2},
      {"size scale", [&] { frame.view.options.sizeScale = 2.0f; }, 1, 3},
      {"direction", [&] { Set(kDirectionAngle, 180.0f); }, 1, 4},
      {"loop direction", [&] { SetLoop(0); }, 1, 5},
      {"mirror", [&] { frame.view.options.mirror = true; }, 1, 6},
      {"same again", [] {}, 1, 6},
      {"limit angle", [&] { Set(kLimitAngle, 45.0f); }, 2, 7},
      {"combine between objects", [&] { Combine(true); }, 3, 8},
      {"no reuse", [&] { reuseLinks = false; }, 4, 9},
      {"no reuse again", [] {}, 5, 10},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.name);
    s.change();
    Link();
    EXPECT_EQ(job->links.linkRuns, s.linkRuns);
    EXPECT_EQ(job->links.combineRuns, s.combineRuns);
  }
}

TEST_F(EdgeChainingTest, ARerunOfTheSecondProcessAloneUsesTheNewParameters) {
  reuseLinks = true;
  Piece(P(10, 10), P(20, 10));
  Piece(P(20, 10), P(30, 10));
  ASSERT_EQ(Link().size(), 1u);
  EXPECT_TRUE(Near(job->strokes[0].start, P(10, 10)));
  Set(kDirectionAngle, 180.0f);
  ASSERT_EQ(Link().size(), 1u);
  EXPECT_EQ(job->links.linkRuns, 1);
  EXPECT_TRUE(Near(job->strokes[0].start, P(30, 10)));
}

TEST_F(EdgeChainingTest, ProgressNamesTheStageAndTheJobAndCountsPairs) {
  // 200 one-pixel pieces in a row: 19900 pairs make 4 whole units of work.
  for (int i = 0; i < 200; ++i) Piece(P(static_cast<float>(i), 10), P(i + 1.0f, 10));
  LineJob& other = jobs.emplace_back();
  other.enabled = false;
  jobs.emplace_back();
  jobs.emplace_back();
  jobsLinked = 1;
  RecordingAbort abort;
  const std::vector<LineChain>& strokes = Link(&abort);
  ASSERT_EQ(strokes.size(), 1u);
  EXPECT_EQ(strokes[0].pieces.size(), 200u);
  ASSERT_EQ(abort.titles.size(), 2u);
  EXPECT_EQ(abort.titles[0], "[Tarnis] Linking edges, process 1 (2/3)");
  EXPECT_EQ(abort.titles[1], "[Tarnis] Linking edges, process 2 (2/3)");
  std::vector<int> done;
  for (const auto& [d, total] : abort.progress) {
    if (total == 4) done.push_back(d);
  }
  EXPECT_EQ(done, (std::vector<int>{1, 2, 3, 4}));
  EXPECT_GE(abort.checks, 4);
}

TEST_F(EdgeChainingTest, AnAbortEmptiesTheStrokesAndInvalidatesWhatItInterrupted) {
  reuseLinks = true;
  for (int i = 0; i < 200; ++i) Piece(P(static_cast<float>(i), 10), P(i + 1.0f, 10));

  RecordingAbort stopLinking;
  stopLinking.abortAll = true;
  Gather();
  EXPECT_FALSE(LinkJob(*job, Context(&stopLinking)));
  EXPECT_TRUE(job->strokes.empty());
  EXPECT_TRUE(job->links.groups.empty());
  for (float v : job->linkParams) EXPECT_EQ(v, kInvalidLinkParam);

  RecordingAbort stopCombining;
  stopCombining.abortCombining = true;
  EXPECT_FALSE(LinkJob(*job, Context(&stopCombining)));
  EXPECT_TRUE(job->strokes.empty());
  EXPECT_EQ(job->links.linkRuns, 1);
  EXPECT_EQ(job->links.combineRuns, 0);
  EXPECT_NE(job->linkParams[0], kInvalidLinkParam);
  EXPECT_EQ(job->linkParams[2], kInvalidLinkParam);

  // The next call redoes only the interrupted process.
  ASSERT_EQ(Link().size(), 1u);
  EXPECT_EQ(job->links.linkRuns, 1);
  EXPECT_EQ(job->links.combineRuns, 1);
}

TEST_F(EdgeChainingTest, APreviewBrushReplacesTheJobsBrush) {
  ReferenceHolder preview(new Brush);
  preview.GetAs<Brush>()->Block(kBrushBlockStroke)->SetValue(kDirectionAngle, 0, 180.0f);
  Piece(P(10, 10), P(20, 10));
  GatherPreviewRecords(*job, *preview.GetAs<Brush>(), 0, 1.0f, frame.view.options);
  ASSERT_TRUE(LinkJob(*job, Context(nullptr)));
  ASSERT_EQ(job->strokes.size(), 1u);
  EXPECT_TRUE(Near(job->strokes[0].start, P(20, 10)));
  Gather();
  ASSERT_TRUE(LinkJob(*job, Context(nullptr)));
  EXPECT_TRUE(Near(job->strokes[0].start, P(10, 10)));
}

TEST(EdgeChainScene, DetectedBoxOutlinesBecomeOneLoopPerBox) {
  using namespace engine_testing;
  for (const int boxes : {1, 2}) {
    SCOPED_TRACE(boxes);
    ReferenceHolder lmHolder(new LineManager);
    LineManager* lm = lmHolder.GetAs<LineManager>();
    LineSet* set = lm->AddLineSet();
    AllEdgesOff(set);
    set->TypeBlock(1)->SetValue(kTypeEdgeObject, 0, 1);
    ReferenceHolder node(new TestNode), mtl(new TestMtl);
    set->MainBlock()->Append(kLineSetObjects, node.GetAs<INode>());
    theHold.Reset();
    TestRenderContext gc(Point3(5, 4, 3), Point3());
    for (int b = 0; b < boxes; ++b) {
      const float x = boxes == 1 ? 0.0f : (b == 0 ? -1.5f : 1.5f);
      gc.Add(BoxMesh(Point3(x - 0.5f, -0.5f, -0.5f), Point3(x + 0.5f, 0.5f, 0.5f)),
             node.GetAs<INode>(), mtl.GetAs<Mtl>());
    }
    LineEngine& engine = Detect(*lm, gc);
    ASSERT_EQ(engine.Jobs().size(), 1u);
    LineJob& job = engine.Jobs()[0];
    GatherJobRecords(*lm, engine.Jobs(), 0, engine.View().options);
    ASSERT_TRUE(LinkJob(job, LinkContextOf(engine)));
    ASSERT_EQ(job.strokes.size(), static_cast<size_t>(boxes));
    for (const LineChain& loop : job.strokes) {
      EXPECT_TRUE(loop.closed);
      EXPECT_GE(loop.pieces.size(), 6u);
      std::vector<Line> lines;
      for (const EdgePiece& p : loop.pieces) {
        const PieceGeometry g = GeometryOf(p, engine.Segments(), false);
        lines.push_back({g.a, g.b});
      }
      for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_LE((lines[i].b - lines[(i + 1) % lines.size()].a).LengthSquared(), kTouchDistance2);
      }
      EXPECT_LT(SignedArea(lines), 0.0f);  // counter-clockwise on the screen
    }
    theHold.Reset();
  }
}

TEST(EdgeChainDepth, DepthAlongASegmentFollowsThePerspectiveProjection) {
  FrameView v;
  v.projType = PROJ_PERSPECTIVE;
  v.xscale = -300.0f;
  v.yscale = 300.0f;
  v.xc = 160.0f;
  v.yc = 120.0f;
  const Point3 near(1.0f, 0.5f, -2.0f), far(-3.0f, 1.0f, -12.0f);
  const Point2 s0 = v.Project(near), s1 = v.Project(far);
  for (float u : {0.0f, 0.1f, 0.5f, 0.9f, 1.0f}) {
    const Point3 p = near + (far - near) * u;
    const float t = (v.Project(p) - s0).Length() / (s1 - s0).Length();
    EXPECT_NEAR(DepthAlong(near.z, far.z, t, false), p.z, 1e-3f) << u;
    EXPECT_NEAR(DepthAlong(near.z, far.z, u, true), p.z, 1e-5f) << u;
  }
}

// Random pieces on a lattice so that many ends touch, some just beyond the
// screen or depth tolerance, some split into sub-pieces of one segment.
std::vector<EdgePiece> RandomPieces(SegmentPool& pool, int count, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> cell(0, 24), step(-1, 1), pick(0, 9);
  // Lattice points sit on cell borders, so touching ends fall on both sides.
  const float jitter[] = {0.0f, 0.0f, 0.0f, 0.003f, -0.002f, 0.0045f, -0.0045f, 0.006f};
  std::vector<EdgePiece> pieces;
  while (static_cast<int>(pieces.size()) < count) {
    const int x = cell(rng), y = cell(rng);
    int dx = step(rng), dy = step(rng);
    if (dx == 0 && dy == 0) dx = 1;
    const float jx = jitter[pick(rng) % 8], jz = std::fabs(jitter[pick(rng) % 8]);
    const Point2 a(4.0f * x + jx, 4.0f * y), b(4.0f * (x + dx), 4.0f * (y + dy) + jx);
    EdgeSegment s;
    s.start = a;
    s.length = (b - a).Length();
    s.direction = (b - a) / s.length;
    s.z0 = -10.0f - 0.001f * static_cast<float>((x + y) % 3) - jz;
    s.z1 = -10.0f - 0.001f * static_cast<float>((x + dx + y + dy) % 3);
    uint32_t index = 0;
    pool.Add(s, &index);
    const uint32_t id = MakeSegmentId(kSegmentObject, index);
    switch (pick(rng)) {
      case 0:  // split in two
        pieces.push_back({id, 0.0f, 0.5f});
        pieces.push_back({id, 0.5f, 1.0f});
        break;
      case 1:  // walked backwards
        pieces.push_back({id, 1.0f, 0.0f});
        break;
      case 2:  // a duplicate lying on top
        pieces.push_back({id, 0.0f, 1.0f});
        pieces.push_back({id, 0.0f, 1.0f});
        break;
      default:
        pieces.push_back({id, 0.0f, 1.0f});
    }
  }
  return pieces;
}

TEST(EdgeChainLink, TheGridWalkGivesTheSameChainsAsAnAllPairsWalk) {
  for (const float limitAngle : {30.0f, 90.0f, 180.0f}) {
    for (const bool parallel : {false, true}) {
      SCOPED_TRACE(::testing::Message() << "limit " << limitAngle << " parallel " << parallel);
      SegmentPool pool;
      const std::vector<EdgePiece> pieces =
          RandomPieces(pool, 3000, 7u + static_cast<unsigned>(limitAngle));
      const float limitCos = std::cos(limitAngle * 0.017453292f);
      std::vector<PieceRecord> grid = SortedPieceRecords(pieces, pool, parallel);
      std::vector<PieceRecord> all = grid;
      LinkProgress progress(nullptr, 0.0);
      ASSERT_TRUE(LinkPieceEnds(grid, limitCos, progress));
      const int n = static_cast<int>(all.size());
      for (int i = 0; i < n; ++i) {
        for (int j = i + 1; j < n; ++j) ScorePiecePair(all, i, j, limitCos);
      }
      int linkedEnds = 0;
      for (int i = 0; i < n; ++i) {
        for (int e = 0; e < 2; ++e) {
          const PieceRecord& g = grid[static_cast<size_t>(i)];
          const PieceRecord& a = all[static_cast<size_t>(i)];
          ASSERT_EQ(g.partner[e], a.partner[e]) << "piece " << i << " end " << e;
          ASSERT_EQ(g.partnerEnd[e], a.partnerEnd[e]) << "piece " << i << " end " << e;
          ASSERT_EQ(g.score[e], a.score[e]);
          linkedEnds += g.partner[e] >= 0 ? 1 : 0;
        }
      }
      EXPECT_GT(linkedEnds, n);  // the comparison has something to compare
      const std::vector<LineChain> gridChains = WalkChains(grid);
      const std::vector<LineChain> allChains = WalkChains(all);
      ASSERT_EQ(gridChains.size(), allChains.size());
      size_t longChains = 0;
      for (size_t k = 0; k < gridChains.size(); ++k) {
        EXPECT_EQ(gridChains[k].pieces, allChains[k].pieces);
        EXPECT_EQ(gridChains[k].closed, allChains[k].closed);
        longChains += gridChains[k].pieces.size() > 2 ? 1 : 0;
      }
      EXPECT_GT(longChains, 10u);
    }
  }
}

TEST(EdgeChainLink, WalkedChainsUseEveryPieceOnceAndAreContinuous) {
  SegmentPool pool;
  const std::vector<EdgePiece> pieces = RandomPieces(pool, 3000, 99u);
  std::vector<PieceRecord> records = SortedPieceRecords(pieces, pool, true);
  LinkProgress progress(nullptr, 0.0);
  ASSERT_TRUE(LinkPieceEnds(records, 0.0f, progress));
  size_t used = 0;
  for (const LineChain& chain : WalkChains(records)) {
    used += chain.pieces.size();
    for (size_t k = 1; k < chain.pieces.size(); ++k) {
      const PieceGeometry g0 = GeometryOf(chain.pieces[k - 1], pool, true);
      const PieceGeometry g1 = GeometryOf(chain.pieces[k], pool, true);
      ASSERT_LE((g0.b - g1.a).LengthSquared(), kTouchDistance2);
      ASSERT_LE(std::fabs(g0.zb - g1.za), kTouchDepth);
      ASSERT_GE(DotProd(g0.direction, g1.direction), -1e-6f);
    }
  }
  EXPECT_EQ(used, pieces.size());
}

}  // namespace
}  // namespace tarnis
