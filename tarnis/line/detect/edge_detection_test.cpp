// Edge detection on known geometry: outlines of a box and a plane, crease
// thresholds, smoothing and material boundaries, exHidden, intersections
// between and within objects, mirrored instances, objects out of view,
// group heads, material line sets by priority, and the same pieces for any
// thread count.
#include <gtest/gtest.h>
#include <tbb/task_arena.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <vector>

#include "sdk/hold.h"
#include "tarnis/line/engine/engine_test_scene.h"

namespace tarnis {
namespace {

using namespace engine_testing;

class EdgeDetectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    lmHolder.Set(new LineManager);
    lm = lmHolder.GetAs<LineManager>();
    set = AddSet();
  }
  void TearDown() override { theHold.Reset(); }

  LineSet* AddSet() {
    LineSet* s = lm->AddLineSet();
    AllEdgesOff(s);
    theHold.Reset();
    return s;
  }
  INode* Node(INode* parent = nullptr, bool head = false, bool member = false) {
    holders.push_back(std::make_unique<ReferenceHolder>(new TestNode(parent, head, member)));
    return holders.back()->GetAs<INode>();
  }
  TestMtl* Material(bool twoSided = false) {
    holders.push_back(std::make_unique<ReferenceHolder>(new TestMtl(twoSided)));
    return holders.back()->GetAs<TestMtl>();
  }
  static void Switch(LineSet* s, int type, ParamID id, int on) {
    s->TypeBlock(type)->SetValue(id, 0, on);
  }
  static void Angle(LineSet* s, int type, float min, float max) {
    s->TypeBlock(type)->SetValue(kTypeEdgeNormalMin, 0, min);
    s->TypeBlock(type)->SetValue(kTypeEdgeNormalMax, 0, max);
  }

  // The projected world segments that the pieces must cover.
  static std::vector<ScreenLine> Project(TestRenderContext& gc,
                                         const std::vector<std::pair<Point3, Point3>>& world) {
    std::vector<ScreenLine> out;
    for (const auto& [a, b] : world) {
      out.push_back({gc.MapToScreen(a * gc.worldToCam), gc.MapToScreen(b * gc.worldToCam)});
    }
    return out;
  }
  // Every piece lies on one of `expected` and together they cover its length.
  static void ExpectCover(const std::vector<ScreenLine>& pieces,
                          const std::vector<ScreenLine>& expected, float tolerance = 0.02f) {
    for (const ScreenLine& p : pieces) {
      bool on = false;
      for (const ScreenLine& e : expected) {
        on |= DistanceToSegment(p.a, e.a, e.b) < tolerance &&
              DistanceToSegment(p.b, e.a, e.b) < tolerance;
      }
      EXPECT_TRUE(on) << "piece (" << p.a.x << ", " << p.a.y << ") - (" << p.b.x << ", " << p.b.y
                      << ") lies on no expected line";
    }
    EXPECT_NEAR(TotalLength(pieces), TotalLength(expected), 0.01f * TotalLength(expected) + 0.05f);
  }

  ReferenceHolder lmHolder;
  LineManager* lm = nullptr;
  LineSet* set = nullptr;
  std::vector<std::unique_ptr<ReferenceHolder>> holders;
};

// The box's 12 edges with the sides they join (side index as in BoxMesh).
struct BoxEdge {
  Point3 a, b;
  int side1, side2;
};

std::vector<BoxEdge> BoxEdges() {
  const Point3 n[6] = {Point3(0, 0, -1), Point3(0, 0, 1),  Point3(0, -1, 0),
                       Point3(0, 1, 0),  Point3(-1, 0, 0), Point3(1, 0, 0)};
  std::vector<BoxEdge> out;
  for (int i = 0; i < 8; ++i) {
    for (int axis = 0; axis < 3; ++axis) {
      const int j = i | (1 << axis);
      if (j == i) continue;
      auto corner = [](int k) {
        return Point3((k & 1) ? 1.f : -1.f, (k & 2) ? 1.f : -1.f, (k & 4) ? 1.f : -1.f);
      };
      const Point3 a = corner(i), b = corner(j), mid = (a + b) * 0.5f;
      std::vector<int> sides;
      for (int s = 0; s < 6; ++s) {
        if (DotProd(n[s], mid) > 0.99f) sides.push_back(s);
      }
      out.push_back({a, b, sides[0], sides[1]});
    }
  }
  return out;
}

bool SideFacesEye(int side, Point3 eye) {
  const Point3 n[6] = {Point3(0, 0, -1), Point3(0, 0, 1),  Point3(0, -1, 0),
                       Point3(0, 1, 0),  Point3(-1, 0, 0), Point3(1, 0, 0)};
  return DotProd(n[side], eye - n[side]) > 0.0f;
}

TEST_F(EdgeDetectionTest, ClosedBoxFromACornerGivesExactlyItsSilhouette) {
  const Point3 eye(5, 4, 3);
  TestRenderContext gc(eye, Point3());
  INode* node = Node();
  set->MainBlock()->Append(kLineSetObjects, node);
  Switch(set, 1, kTypeEdgeObject, 1);
  gc.Add(BoxMesh(), node, Material());
  LineEngine& engine = Detect(*lm, gc);

  std::vector<std::pair<Point3, Point3>> silhouette;
  for (const BoxEdge& e : BoxEdges()) {
    if (SideFacesEye(e.side1, eye) != SideFacesEye(e.side2, eye)) silhouette.push_back({e.a, e.b});
  }
  ASSERT_EQ(silhouette.size(), 6u);
  ExpectCover(Lines(engine, 0, kCategoryObject), Project(gc, silhouette));
  EXPECT_TRUE(Lines(engine, 1, kCategoryObject).empty());
  for (int c = kCategoryNormal; c <= kCategoryIntersection; ++c)
    EXPECT_TRUE(Lines(engine, 0, c).empty());
}

TEST_F(EdgeDetectionTest, CreaseAnglesOfABoxFollowTheThresholds) {
  const Point3 eye(5, 4, 3);
  INode* node = Node();
  set->MainBlock()->Append(kLineSetObjects, node);
  Switch(set, 1, kTypeEdgeNormal, 1);
  std::vector<std::pair<Point3, Point3>> creases;  // the three edges at the near corner
  for (const BoxEdge& e : BoxEdges()) {
    if (SideFacesEye(e.side1, eye) && SideFacesEye(e.side2, eye)) creases.push_back({e.a, e.b});
  }
  ASSERT_EQ(creases.size(), 3u);
  std::vector<std::pair<Point3, Point3>> withDiagonals = creases;
  // The diagonals of the three front sides, as BoxMesh splits them.
  withDiagonals.push_back({Point3(1, -1, -1), Point3(1, 1, 1)});
  withDiagonals.push_back({Point3(-1, 1, -1), Point3(1, 1, 1)});
  withDiagonals.push_back({Point3(-1, -1, 1), Point3(1, 1, 1)});

  struct Case {
    float min, max;
    const std::vector<std::pair<Point3, Point3>>* expected;
  };
  const std::vector<std::pair<Point3, Point3>> none;
  for (const Case& c : {Case{45, 180, &creases}, Case{0, 180, &withDiagonals}, Case{95, 180, &none},
                        Case{45, 80, &none}}) {
    SCOPED_TRACE(::testing::Message() << c.min << ".." << c.max);
    Angle(set, 1, c.min, c.max);
    TestRenderContext gc(eye, Point3());
    gc.Add(BoxMesh(), node, Material());
    LineEngine& engine = Detect(*lm, gc);
    const auto lines = Lines(engine, 0, kCategoryNormal);
    if (c.expected->empty()) {
      EXPECT_TRUE(lines.empty());
    } else {
      ExpectCover(lines, Project(gc, *c.expected));
    }
  }
}

TEST_F(EdgeDetectionTest, SmoothSphereCreasesFollowTheThresholds) {
  const Point3 eye(0, -8, 2);
  INode* node = Node();
  set->MainBlock()->Append(kLineSetObjects, node);
  Switch(set, 1, kTypeEdgeNormal, 1);
  const Mesh sphere = SphereMesh(1.0f, 24, 12);
  // Shared edges whose two faces both face the eye.
  int expected = 0;
  {
    std::vector<bool> front(sphere.faces.size());
    for (size_t f = 0; f < sphere.faces.size(); ++f) {
      const Face& face = sphere.faces[f];
      const Point3 p = sphere.verts[face.v[0]];
      const Point3 n = CrossProd(sphere.verts[face.v[1]] - p, sphere.verts[face.v[2]] - p);
      front[f] = DotProd(n, eye - p) > 0;
    }
    std::map<std::pair<uint32_t, uint32_t>, std::vector<size_t>> faces;
    for (size_t f = 0; f < sphere.faces.size(); ++f) {
      for (int j = 0; j < 3; ++j) {
        uint32_t a = sphere.faces[f].v[j], b = sphere.faces[f].v[(j + 1) % 3];
        faces[{std::min(a, b), std::max(a, b)}].push_back(f);
      }
    }
    for (const auto& [edge, fs] : faces) expected += fs.size() == 2 && front[fs[0]] && front[fs[1]];
  }
  ASSERT_GT(expected, 100);
  for (float min : {0.0f, 45.0f}) {
    Angle(set, 1, min, 180);
    TestRenderContext gc(eye, Point3());
    gc.Add(sphere, node, Material());
    LineEngine& engine = Detect(*lm, gc);
    size_t segments = 0;
    for (const LineJob& job : engine.Jobs()) {
      std::set<uint32_t> ids;
      for (const EdgePiece& p : job.edges[kCategoryNormal - 1]) ids.insert(SegmentIndex(p.segment));
      segments += ids.size();
    }
    EXPECT_EQ(segments, min == 0.0f ? static_cast<size_t>(expected) : 0u) << "min " << min;
  }
}

TEST_F(EdgeDetectionTest, OpenPlaneBorderIsOutline) {
  TestRenderContext gc(Point3(1, -3, 4), Point3());
  INode* node = Node();
  set->MainBlock()->Append(kLineSetObjects, node);
  Switch(set, 1, kTypeEdgeObject, 1);
  gc.Add(PlaneMesh(), node, Material());
  LineEngine& engine = Detect(*lm, gc);
  const std::vector<std::pair<Point3, Point3>> border = {{Point3(-1, -1, 0), Point3(1, -1, 0)},
                                                         {Point3(1, -1, 0), Point3(1, 1, 0)},
                                                         {Point3(1, 1, 0), Point3(-1, 1, 0)},
                                                         {Point3(-1, 1, 0), Point3(-1, -1, 0)}};
  ExpectCover(Lines(engine, 0, kCategoryObject), Project(gc, border));
}

TEST_F(EdgeDetectionTest, SmoothingAndMaterialBoundaries) {
  INode* node = Node();
  set->MainBlock()->Append(kLineSetObjects, node);
  Switch(set, 1, kTypeEdgeSmooth, 1);
  Switch(set, 1, kTypeEdgeMatID, 1);
  struct Case {
    uint32_t sg0, sg1;
    uint16_t mat0, mat1;
    size_t smooth, material;
  };
  // 0/0: no boundary; 1/2: boundary; a shared group: none; a material
  // change alone is a material edge; both at once file once, under smooth.
  const Case cases[] = {{0, 0, 0, 0, 0, 0}, {1, 2, 0, 0, 1, 0}, {3, 2, 0, 0, 0, 0},
                        {0, 1, 0, 0, 1, 0}, {1, 1, 0, 1, 0, 1}, {1, 2, 0, 1, 1, 0}};
  const std::vector<std::pair<Point3, Point3>> diagonal = {{Point3(-1, -1, 0), Point3(1, 1, 0)}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << c.sg0 << "/" << c.sg1 << " mat " << c.mat0 << "/" << c.mat1);
    TestRenderContext gc(Point3(0.5f, -2, 5), Point3());
    Mesh plane = PlaneMesh();
    plane.faces[0].smGroup = c.sg0;
    plane.faces[1].smGroup = c.sg1;
    plane.faces[0].matID = c.mat0;
    plane.faces[1].matID = c.mat1;
    gc.Add(plane, node, Material());
    LineEngine& engine = Detect(*lm, gc);
    const auto smooth = Lines(engine, 0, kCategorySmooth);
    const auto material = Lines(engine, 0, kCategoryMaterial);
    EXPECT_EQ(smooth.size(), c.smooth);
    EXPECT_EQ(material.size(), c.material);
    if (!smooth.empty()) ExpectCover(smooth, Project(gc, diagonal));
    if (!material.empty()) ExpectCover(material, Project(gc, diagonal));
  }
}

TEST_F(EdgeDetectionTest, HiddenPiecesAreDroppedBehindAnExHiddenSet) {
  // A small plane (set A, hidden outlines on) right behind a box (set B).
  TestRenderContext gc(Point3(0, 0.01f, 10), Point3());
  INode* planeNode = Node();
  INode* boxNode = Node();
  set->MainBlock()->Append(kLineSetObjects, planeNode);
  Switch(set, 2, kTypeEdgeObject, 1);
  LineSet* front = AddSet();
  front->MainBlock()->Append(kLineSetObjects, boxNode);
  gc.Add(PlaneMesh(0.8f), planeNode, Material(), TranslationMatrix(Point3(0, 0, -3)));
  gc.Add(BoxMesh(), boxNode, Material());

  LineEngine& engine = Detect(*lm, gc);
  const float border = 4 * 1.6f * (-gc.xscale) / 13.0f;
  EXPECT_TRUE(Lines(engine, 0, kCategoryObject).empty());
  EXPECT_NEAR(TotalLength(Lines(engine, 1, kCategoryObject)), border, 0.02f * border);

  front->MainBlock()->SetValue(kLineSetExHidden, 0, 1);
  LineEngine& again = Detect(*lm, gc);
  EXPECT_TRUE(Lines(again, 1, kCategoryObject).empty());
  EXPECT_TRUE(Lines(again, 0, kCategoryObject).empty());

  // A set never drops its own hidden lines.
  front->MainBlock()->SetValue(kLineSetExHidden, 0, 0);
  set->MainBlock()->SetValue(kLineSetExHidden, 0, 1);
  LineEngine& own = Detect(*lm, gc);
  EXPECT_NEAR(TotalLength(Lines(own, 1, kCategoryObject)), border, 0.02f * border);
}

TEST_F(EdgeDetectionTest, InterpenetratingBoxesGiveIntersectionPieces) {
  TestRenderContext gc(Point3(5, 4, 3), Point3());
  INode* a = Node();
  INode* b = Node();
  set->MainBlock()->Append(kLineSetObjects, a);
  set->MainBlock()->Append(kLineSetObjects, b);
  Switch(set, 1, kTypeEdgeIsect, 1);
  Switch(set, 2, kTypeEdgeIsect, 1);
  gc.Add(BoxMesh(), a, Material());
  gc.Add(BoxMesh(Point3(0.5f, -0.5f, -0.5f), Point3(2.5f, 0.5f, 0.5f)), b, Material());
  LineEngine& engine = Detect(*lm, gc);
  // Where the thin box leaves the big one through its side x = 1, on the
  // two sides of the thin box that face the eye.
  const std::vector<std::pair<Point3, Point3>> expected = {
      {Point3(1, 0.5f, -0.5f), Point3(1, 0.5f, 0.5f)},
      {Point3(1, -0.5f, 0.5f), Point3(1, 0.5f, 0.5f)}};
  ExpectCover(Lines(engine, 0, kCategoryIntersection), Project(gc, expected));
  EXPECT_TRUE(Lines(engine, 1, kCategoryIntersection).empty());
  EXPECT_GE(engine.Stats().instancePairs, 3);  // each box with itself and the pair
}

TEST_F(EdgeDetectionTest, AnObjectCuttingThroughItselfGivesIntersectionPieces) {
  TestRenderContext gc(Point3(0.3f, -4, 3), Point3());
  INode* node = Node();
  set->MainBlock()->Append(kLineSetObjects, node);
  Switch(set, 1, kTypeEdgeIsect, 1);
  // Two quads of one mesh crossing along the x axis from -0.5 to 0.5.
  Mesh m = PlaneMesh();
  m.verts.insert(m.verts.end(), {Point3(-0.5f, 0, -1), Point3(0.5f, 0, -1), Point3(0.5f, 0, 1),
                                 Point3(-0.5f, 0, 1)});
  Face c, d;
  c.setVerts(4, 5, 6);
  d.setVerts(4, 6, 7);
  m.faces.push_back(c);
  m.faces.push_back(d);
  gc.Add(m, node, Material(true));
  LineEngine& engine = Detect(*lm, gc);
  const std::vector<std::pair<Point3, Point3>> expected = {
      {Point3(-0.5f, 0, 0), Point3(0.5f, 0, 0)}};
  ExpectCover(Lines(engine, 0, kCategoryIntersection), Project(gc, expected));
}

TEST_F(EdgeDetectionTest, MirroredInstanceClassifiesFacingCorrectly) {
  const Point3 eye(5, 4, 3);
  INode* node = Node();
  set->MainBlock()->Append(kLineSetObjects, node);
  Switch(set, 1, kTypeEdgeNormal, 1);
  Switch(set, 1, kTypeEdgeObject, 1);
  auto detect = [&](const Matrix3& tm) {
    TestRenderContext gc(eye, Point3());
    gc.Add(BoxMesh(), node, Material(), tm);
    LineEngine& engine = Detect(*lm, gc);
    return std::make_pair(Lines(engine, 0, kCategoryNormal), Lines(engine, 0, kCategoryObject));
  };
  // Mirroring x of a box centred on the origin gives the same box.
  const auto plain = detect(Matrix3());
  const auto mirrored = detect(ScaleMatrix(Point3(-1, 1, 1)));
  TestRenderContext gc(eye, Point3());
  std::vector<std::pair<Point3, Point3>> creases;
  for (const BoxEdge& e : BoxEdges()) {
    if (SideFacesEye(e.side1, eye) && SideFacesEye(e.side2, eye)) creases.push_back({e.a, e.b});
  }
  ExpectCover(mirrored.first, Project(gc, creases));
  EXPECT_NEAR(TotalLength(mirrored.second), TotalLength(plain.second), 0.01f);
}

TEST_F(EdgeDetectionTest, ObjectsBehindTheCameraOrOutsideTheExtentGiveNothing) {
  INode* node = Node();
  set->MainBlock()->Append(kLineSetObjects, node);
  Switch(set, 1, kTypeEdgeObject, 1);
  Switch(set, 2, kTypeEdgeObject, 1);
  lm->MainBlock()->SetValue(kLineOutsideLength, 0, 10.0f);
  for (Point3 where : {Point3(0, 0, 20), Point3(40, 0, 0), Point3(0, 0, 10)}) {
    SCOPED_TRACE(::testing::Message() << where.x << " " << where.z);
    TestRenderContext gc(Point3(0, 0.01f, 10), Point3());
    gc.Add(BoxMesh(), node, Material(), TranslationMatrix(where));
    LineEngine& engine = Detect(*lm, gc);
    for (const LineJob& job : engine.Jobs()) EXPECT_EQ(job.PieceCount(), 0u);
    EXPECT_EQ(engine.Segments().size(), 0u);
  }
}

TEST_F(EdgeDetectionTest, GroupMembersAreMatchedThroughTheirGroupHead) {
  INode* root = Node();
  static_cast<TestNode*>(root)->MakeRoot();
  INode* head = Node(root, true, false);
  INode* member = Node(head, false, true);
  set->MainBlock()->Append(kLineSetObjects, head);
  Switch(set, 1, kTypeEdgeObject, 1);
  TestRenderContext gc(Point3(5, 4, 3), Point3());
  gc.Add(BoxMesh(), member, Material());
  EXPECT_FALSE(Lines(Detect(*lm, gc), 0, kCategoryObject).empty());
}

TEST_F(EdgeDetectionTest, MaterialLineSetsTakeFacesOnlyWithAHigherPriority) {
  INode* node = Node();
  TestMtl* mtl = Material();
  LineSet* second = AddSet();
  for (LineSet* s : {set, second}) Switch(s, 1, kTypeEdgeObject, 1);
  auto piecesOf = [&](LineSet* s) {
    TestRenderContext gc(Point3(5, 4, 3), Point3());
    gc.Add(BoxMesh(), node, mtl);
    LineEngine& engine = Detect(*lm, gc);
    size_t n = 0;
    for (const LineJob& job : engine.Jobs()) n += job.lineSet == s ? job.PieceCount() : 0;
    return n;
  };
  // The object's set comes first: the later material set takes nothing.
  set->MainBlock()->Append(kLineSetObjects, node);
  second->MainBlock()->Append(kLineSetMtls, mtl);
  EXPECT_GT(piecesOf(set), 0u);
  EXPECT_EQ(piecesOf(second), 0u);
  // The material's set comes first: it takes the faces.
  set->MainBlock()->SetCount(kLineSetObjects, 0);
  second->MainBlock()->SetCount(kLineSetMtls, 0);
  set->MainBlock()->Append(kLineSetMtls, mtl);
  second->MainBlock()->Append(kLineSetObjects, node);
  EXPECT_GT(piecesOf(set), 0u);
  EXPECT_EQ(piecesOf(second), 0u);
}

TEST_F(EdgeDetectionTest, MultiMaterialSlotsGoToTheirSubMaterialsLineSets) {
  INode* node = Node();
  TestMtl* multi = Material();
  TestMtl* subA = Material();
  TestMtl* subB = Material();
  multi->multi = true;
  multi->subs = {subA, subB};
  LineSet* second = AddSet();
  set->MainBlock()->Append(kLineSetMtls, subB);  // slot 1 only
  second->MainBlock()->Append(kLineSetObjects, node);
  for (LineSet* s : {set, second}) Switch(s, 1, kTypeEdgeObject, 1);
  TestRenderContext gc(Point3(0.2f, -1, 6), Point3());
  Mesh plane = PlaneMesh();
  plane.faces[1].matID = 1;  // the face over the left half: vertices 0, 2, 3
  gc.Add(plane, node, multi);
  LineEngine& engine = Detect(*lm, gc);
  std::vector<ScreenLine> first, other;
  for (const LineJob& job : engine.Jobs()) {
    auto lines = PieceLines(engine, job.edges[kCategoryObject - 1]);
    (job.lineSet == set ? first : other)
        .insert((job.lineSet == set ? first : other).end(), lines.begin(), lines.end());
  }
  ExpectCover(first, Project(gc, {{Point3(1, 1, 0), Point3(-1, 1, 0)},
                                  {Point3(-1, 1, 0), Point3(-1, -1, 0)}}));
  ExpectCover(other, Project(gc, {{Point3(-1, -1, 0), Point3(1, -1, 0)},
                                  {Point3(1, -1, 0), Point3(1, 1, 0)}}));
}

TEST_F(EdgeDetectionTest, PiecesAreTheSameForAnyThreadCount) {
  INode* n1 = Node();
  INode* n2 = Node();
  set->MainBlock()->Append(kLineSetObjects, n1);
  LineSet* second = AddSet();
  second->MainBlock()->Append(kLineSetObjects, n2);
  for (LineSet* s : {set, second}) {
    for (int type = 1; type <= 2; ++type) {
      for (ParamID id :
           {kTypeEdgeObject, kTypeEdgeNormal, kTypeEdgeMatID, kTypeEdgeSmooth, kTypeEdgeIsect}) {
        Switch(s, type, id, 1);
      }
    }
    Angle(s, 1, 10, 180);
  }
  auto run = [&](int threads) {
    TestRenderContext gc(Point3(6, -5, 4), Point3(), 640, 480);
    gc.Add(SphereMesh(1.2f, 64, 32), n1, Material());
    gc.Add(SphereMesh(1.0f, 48, 24, Point3(0.9f, 0.3f, 0.2f)), n2, Material());
    for (int i = 0; i < 30; ++i) {
      const float x = -2.0f + 0.15f * static_cast<float>(i);
      gc.Add(BoxMesh(Point3(x, -0.3f, -0.3f), Point3(x + 0.5f, 0.3f, 0.3f + 0.02f * i)), n2,
             Material());
    }
    std::vector<EdgeContainer> out;
    std::vector<EdgeSegment> segments;
    tbb::task_arena arena(threads);
    arena.execute([&] {
      LineEngine& engine = Detect(*lm, gc);
      for (const LineJob& job : engine.Jobs())
        out.insert(out.end(), job.edges.begin(), job.edges.end());
      for (uint32_t i = 0; i < engine.Segments().size(); ++i)
        segments.push_back(engine.Segments()[i]);
    });
    return std::make_pair(out, segments);
  };
  const auto one = run(1);
  const auto two = run(2);
  ASSERT_EQ(one.first.size(), two.first.size());
  size_t pieces = 0;
  for (size_t i = 0; i < one.first.size(); ++i) {
    EXPECT_EQ(one.first[i], two.first[i]) << "container " << i;
    pieces += one.first[i].size();
  }
  EXPECT_GT(pieces, 1000u);
  ASSERT_EQ(one.second.size(), two.second.size());
  for (size_t i = 0; i < one.second.size(); ++i) {
    EXPECT_EQ(one.second[i].start, two.second[i].start);
    EXPECT_EQ(one.second[i].length, two.second[i].length);
  }
}

}  // namespace
}  // namespace tarnis
