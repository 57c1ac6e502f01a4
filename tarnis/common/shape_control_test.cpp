// Tests of the shape control: its descriptor and block, the radius table
// against outlines with known radii, node edits, undo, saving and cloning.
#include "tarnis/common/shape_control.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "sdk/ref_graph.h"
#include "tarnis/common/shape_control_class_desc.h"
#include "tarnis/common/shape_test_helpers.h"
#include "tarnis/line/effect/line_setting_class_desc.h"
#include "tarnis/plugin/class_table.h"

namespace tarnis {
namespace {

class QvPolygonCtrlTest : public shape_testing::ShapeTest {};

// The direction of table entry j.
float EntryAngle(int j) {
  return static_cast<float>(j) * 2.0f * kPi / 360.0f - kPi;
}

TEST(QvPolygonCtrlClassDesc, DescribesTheControlAndSitsAfterTheLineSettingInTheClassTable) {
  ClassDesc2* cd = GetQvPolygonCtrlDesc();
  EXPECT_EQ(cd->SuperClassID(), 0x200);
  EXPECT_EQ(cd->ClassID(), Class_ID(0x54022257, 0x0814EBFB));
  EXPECT_STREQ(cd->ClassName(), "QvPolygonCtrl");
  EXPECT_STREQ(cd->InternalName(), "QvPolygonCtrl");
  EXPECT_STREQ(cd->Category(), "");
  EXPECT_EQ(cd->IsPublic(), 0);
  EXPECT_EQ(cd->GetParamBlockDescByID(0), ShapeBlockDesc());
  const auto& table = ClassTable();
  // Two after the line setting (the extension shader comes between).
  const auto setting = std::find(table.begin(), table.end(), GetLineSettingDesc());
  ASSERT_NE(setting, table.end());
  ASSERT_LT(setting + 2, table.end());
  EXPECT_EQ(*(setting + 2), cd);
}

TEST(QvPolygonCtrlBlock, DeclaresTheSixParametersWithTheirNames) {
  const ParamBlockDesc2& desc = *ShapeBlockDesc();
  EXPECT_EQ(desc.ID(), 0);
  EXPECT_EQ(desc.InternalName(), "main");
  EXPECT_EQ(desc.OwnerRef(), 0);
  struct Case {
    ParamID id;
    const char* name;
    ParamType2 type;
    const char* shown;
  };
  const Case cases[] = {
      {kPolyNodeAngle, "polyNodeAngle", TYPE_FLOAT_TAB, "Node angle"},
      {kPolyNodeRadius, "polyNodeRadius", TYPE_FLOAT_TAB, "Node radius"},
      {kPolyNodeResetNum, "polyNodeResetNum", TYPE_INT, "Nodes on reset"},
      {kPolyNodeType, "polyNodeTYPE", TYPE_INT_TAB, "Node type"},
      {kPolyHandle0, "polyHandle0", TYPE_POINT3_TAB, "Handle 0"},
      {kPolyHandle1, "polyHandle1", TYPE_POINT3_TAB, "Handle 1"},
  };
  ASSERT_EQ(desc.Count(), 6);
  for (const Case& c : cases) {
    const ParamDef* def = desc.GetParamDef(c.id);
    ASSERT_NE(def, nullptr) << c.name;
    EXPECT_EQ(def->internalName, c.name);
    EXPECT_EQ(def->type, c.type) << c.name;
    EXPECT_STREQ(ShapeParamDisplayName(c.id), c.shown) << c.name;
  }
  const ParamDef& reset = *desc.GetParamDef(kPolyNodeResetNum);
  EXPECT_EQ(reset.def, PB2Value(6));
  EXPECT_EQ(reset.range.min, 3.0f);
  EXPECT_EQ(reset.range.max, 32.0f);
  EXPECT_EQ(reset.ui.ctrlIds, (std::vector<int>{1129, 1130}));
}

TEST_F(QvPolygonCtrlTest, ANewControlHasEmptyTablesAndReadsOneEverywhere) {
  ASSERT_NE(ctrl->Block(), nullptr);
  EXPECT_EQ(ctrl->NumNodes(), 0);
  EXPECT_EQ(ctrl->Block()->GetInt(kPolyNodeResetNum), 6);
  ASSERT_EQ(ctrl->RadiusTable().size(), 360u);
  for (float r : ctrl->RadiusTable()) EXPECT_EQ(r, 1.0f);
  // A control still waiting for its saved block has no table at all.
  ReferenceHolder loading(static_cast<ReferenceTarget*>(GetQvPolygonCtrlDesc()->Create(true)));
  auto* empty = loading.GetAs<QvPolygonCtrl>();
  EXPECT_EQ(empty->Block(), nullptr);
  EXPECT_TRUE(empty->RadiusTable().empty());
  EXPECT_EQ(empty->RadiusAt(0.3f), 1.0f);
}

TEST_F(QvPolygonCtrlTest, FewerThanThreeNodesGiveAUnitCircle) {
  for (int n : {1, 2}) {
    std::vector<float> angles;
    for (int i = 0; i < n; ++i) angles.push_back(-2.0f + static_cast<float>(i));
    MakeNodes(angles, 0.25f);
    for (int j = 0; j < 360; j += 7) EXPECT_EQ(ctrl->RadiusAt(EntryAngle(j)), 1.0f) << n;
  }
}

TEST_F(QvPolygonCtrlTest, FourCornersMakeASquare) {
  MakeNodes({-kPi / 2, 0.0f, kPi / 2, kPi});
  // Towards the corners 1; halfway between them the square's side at 1/sqrt(2).
  for (float a : {-kPi / 2, 0.0f, kPi / 2}) EXPECT_NEAR(ctrl->RadiusAt(a), 1.0f, 0.01f) << a;
  for (float a : {-3 * kPi / 4, -kPi / 4, kPi / 4, 3 * kPi / 4}) {
    EXPECT_NEAR(ctrl->RadiusAt(a), 0.7071f, 0.002f) << a;
  }
  // Every entry lies on the square |x| + |y| = 1.
  for (int j = 0; j < 360; ++j) {
    const float phi = EntryAngle(j);
    const float expected = 1.0f / (std::abs(std::cos(phi)) + std::abs(std::sin(phi)));
    EXPECT_NEAR(ctrl->RadiusTable()[static_cast<size_t>(j)], expected, 0.01f) << j;
  }
}

TEST_F(QvPolygonCtrlTest, AnAngleOfPiReadsTheFirstEntry) {
  MakeNodes({-kPi / 2, 0.0f, kPi / 2, kPi});
  const std::vector<float>& table = ctrl->RadiusTable();
  // Entry 359 (179 degrees) lies on the square's side, below the corner.
  ASSERT_LT(table[359], table[0] - 0.01f);
  EXPECT_NEAR(ctrl->RadiusAt(kPi), table[0], 1e-4f);
  EXPECT_NEAR(ctrl->RadiusAt(-kPi), table[0], 1e-4f);
  // Halfway between two degrees reads halfway between their entries.
  EXPECT_NEAR(ctrl->RadiusAt(EntryAngle(100) + kPi / 360), (table[100] + table[101]) / 2, 1e-4f);
  // Whole turns do not change the direction.
  EXPECT_NEAR(ctrl->RadiusAt(0.4f + 2 * kPi), ctrl->RadiusAt(0.4f), 1e-4f);
  EXPECT_NEAR(ctrl->RadiusAt(0.4f - 4 * kPi), ctrl->RadiusAt(0.4f), 1e-4f);
  EXPECT_EQ(ctrl->RadiusAt(std::numeric_limits<float>::quiet_NaN()), 1.0f);
}

TEST_F(QvPolygonCtrlTest, AnOutlineReadsInTheDirectionItIsDrawn) {
  // A hexagon of radius 0.5 with the node at angle 0 pulled out to 1: the
  // shape reaches out towards angle 0, not towards the opposite side.
  MakeNodes({0.0f, kPi / 3, 2 * kPi / 3, -kPi, -2 * kPi / 3, -kPi / 3}, 0.5f);
  ASSERT_TRUE(ctrl->SetNode(0, 0.0f, 1.0f, kNodeCorner, {}, {}));
  EXPECT_NEAR(ctrl->RadiusAt(0.0f), 1.0f, 0.01f);
  EXPECT_NEAR(ctrl->RadiusAt(kPi), 0.5f, 0.01f);
  EXPECT_NEAR(ctrl->RadiusAt(kPi / 2), 0.5f * std::sqrt(3.0f) / 2, 0.01f);
}

TEST_F(QvPolygonCtrlTest, HandlesBendTheSegmentsByNodeType) {
  // Eight nodes with handles along the circle: smooth nodes (the outgoing
  // handle mirrors the incoming one) and free nodes with mirrored handles
  // draw the unit circle; corners ignore their handles and draw an octagon.
  const int n = 8;
  const float k = (4.0f / 3.0f) * std::tan(kPi / (2 * n));
  struct Case {
    int type;
    float minRadius;
  };
  for (const Case& c : {Case{kNodeSmooth, 0.995f}, Case{kNodeFree, 0.995f},
                        Case{kNodeCorner, std::cos(kPi / n) - 0.005f}}) {
    ctrl->Reset(n);
    for (int i = 0; i < n; ++i) {
      const float a = ctrl->GetNode(i).angle;
      const Point2 in = Point2(std::sin(a), std::cos(a)) * k;
      ASSERT_TRUE(ctrl->SetNode(i, a, 1.0f, c.type, in, -in));
    }
    const auto [lo, hi] =
        std::minmax_element(ctrl->RadiusTable().begin(), ctrl->RadiusTable().end());
    EXPECT_GT(*lo, c.minRadius) << c.type;
    EXPECT_LT(*lo, c.type == kNodeCorner ? 0.93f : 1.0f) << c.type;
    EXPECT_LT(*hi, 1.005f) << c.type;
  }
}

TEST_F(QvPolygonCtrlTest, ResetPlacesEvenlySpacedCorners) {
  ASSERT_TRUE(ctrl->Reset(6));
  const float expected[] = {0.0f, kPi / 3, 2 * kPi / 3, -kPi, -2 * kPi / 3, -kPi / 3};
  ASSERT_EQ(ctrl->NumNodes(), 6);
  for (int i = 0; i < 6; ++i) {
    const ShapeNode node = ctrl->GetNode(i);
    EXPECT_NEAR(node.angle, expected[i], 1e-5f) << i;
    EXPECT_EQ(node.radius, 1.0f);
    EXPECT_EQ(node.type, kNodeCorner);
  }
  for (int bad : {-1, kMaxShapeNodes + 1}) {
    EXPECT_FALSE(ctrl->Reset(bad));
    EXPECT_EQ(ctrl->NumNodes(), 6);
  }
}

TEST_F(QvPolygonCtrlTest, SetNodeWritesTheHandlesItsTypeUses) {
  struct Case {
    int type;
    Point2 handle0;  // stored afterwards
    Point2 handle1;
  };
  const Point2 h0(0.1f, 0.2f), h1(-0.3f, 0.4f), old(9.0f, 9.0f);
  const Case cases[] = {{kNodeCorner, old, old}, {kNodeSmooth, h0, old}, {kNodeFree, h0, h1}};
  for (const Case& c : cases) {
    ctrl->Reset(3);
    ctrl->StoreNode(1, {.angle = 2.0f, .radius = 1.0f, .handle0 = old, .handle1 = old});
    ASSERT_TRUE(ctrl->SetNode(1, 2.1f, 0.5f, c.type, h0, h1));
    const ShapeNode node = ctrl->GetNode(1);
    EXPECT_EQ(node.angle, 2.1f);
    EXPECT_EQ(node.radius, 0.5f);
    EXPECT_EQ(node.type, c.type);
    EXPECT_EQ(node.handle0, c.handle0) << c.type;
    EXPECT_EQ(node.handle1, c.handle1) << c.type;
  }
}

TEST_F(QvPolygonCtrlTest, SetNodeKeepsValuesInTheirLimits) {
  ctrl->Reset(3);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  EXPECT_FALSE(ctrl->SetNode(3, 0.0f, 1.0f, 0, {}, {}));
  EXPECT_FALSE(ctrl->SetNode(-1, 0.0f, 1.0f, 0, {}, {}));
  EXPECT_FALSE(ctrl->SetNode(0, nan, 1.0f, 0, {}, {}));
  EXPECT_FALSE(ctrl->SetNode(0, 0.5f, inf, 0, {}, {}));
  EXPECT_FALSE(ctrl->SetNode(0, 0.5f, 1.0f, 1, Point2(nan, 0.0f), {}));
  EXPECT_EQ(ctrl->GetNode(0).angle, 0.0f);
  ASSERT_TRUE(ctrl->SetNode(0, 4.0f, -2.0f, 7, {}, {}));
  EXPECT_NEAR(ctrl->GetNode(0).angle, 4.0f - 2 * kPi, 1e-5f);
  EXPECT_EQ(ctrl->GetNode(0).radius, 0.0f);
  EXPECT_EQ(ctrl->GetNode(0).type, kNodeFree);
}

TEST_F(QvPolygonCtrlTest, TheTableFollowsEveryChangeOfTheBlockAndItsUndo) {
  MakeNodes({-kPi / 2, 0.0f, kPi / 2, kPi});
  theHold.Begin();
  // A change made through the block itself, as a panel's spinner would.
  ctrl->Block()->SetValue(kPolyNodeRadius, 0, 0.5f, 1);
  theHold.Accept("edit");
  EXPECT_NEAR(ctrl->RadiusAt(0.0f), 0.5f, 0.01f);
  ASSERT_TRUE(theHold.Undo());
  EXPECT_NEAR(ctrl->RadiusAt(0.0f), 1.0f, 0.01f);
  ASSERT_TRUE(theHold.Redo());
  EXPECT_NEAR(ctrl->RadiusAt(0.0f), 0.5f, 0.01f);
}

TEST_F(QvPolygonCtrlTest, InsertAndDeleteKeepTheTablesTogether) {
  MakeNodes({-kPi / 2, 0.0f, kPi / 2, kPi});
  ASSERT_TRUE(ctrl->InsertNode(
      2, {.angle = kPi / 4, .radius = 0.25f, .type = kNodeCorner, .handle0 = {}, .handle1 = {}}));
  ASSERT_EQ(ctrl->NumNodes(), 5);
  EXPECT_EQ(ctrl->GetNode(2).radius, 0.25f);
  EXPECT_EQ(ctrl->GetNode(3).angle, kPi / 2);
  for (ParamID id : {kPolyNodeAngle, kPolyNodeRadius, kPolyNodeType, kPolyHandle0, kPolyHandle1}) {
    EXPECT_EQ(ctrl->Block()->Count(id), 5) << id;
  }
  EXPECT_LT(ctrl->RadiusAt(kPi / 4), 0.3f);
  ASSERT_TRUE(ctrl->DeleteNode(2));
  EXPECT_NEAR(ctrl->RadiusAt(kPi / 4), 0.7071f, 0.002f);
  EXPECT_FALSE(ctrl->DeleteNode(4));
  EXPECT_FALSE(ctrl->InsertNode(6, {}));
}

TEST_F(QvPolygonCtrlTest, SavesAndLoadsThroughTheReferenceGraph) {
  MakeNodes({-kPi / 2, 0.0f, kPi / 2, kPi}, 0.8f);
  ctrl->SetNode(1, 0.0f, 0.9f, kNodeFree, Point2(0.1f, 0.2f), Point2(0.3f, 0.4f));
  ctrl->Block()->SetValue(kPolyNodeResetNum, 0, 12);
  MemorySave out;
  ReferenceTarget* roots[] = {ctrl};
  std::string error;
  ASSERT_TRUE(SaveReferenceGraph(out, roots, &error)) << error;
  GraphLoadResult loaded = LoadReferenceGraph(out.Bytes());
  ASSERT_TRUE(loaded) << loaded.error;
  auto* back = dynamic_cast<QvPolygonCtrl*>(loaded.graph->Root(0));
  ASSERT_NE(back, nullptr);
  ASSERT_NE(back->Block(), nullptr);
  EXPECT_EQ(back->Block()->GetInt(kPolyNodeResetNum), 12);
  ASSERT_EQ(back->NumNodes(), 4);
  const ShapeNode node = back->GetNode(1);
  EXPECT_EQ(node.radius, 0.9f);
  EXPECT_EQ(node.type, kNodeFree);
  EXPECT_EQ(node.handle1, Point2(0.3f, 0.4f));
  EXPECT_EQ(back->RadiusTable(), ctrl->RadiusTable());

  ReferenceHolder copy(CloneRefHierarchy(ctrl));
  auto* clone = copy.GetAs<QvPolygonCtrl>();
  ASSERT_NE(clone, nullptr);
  EXPECT_NE(clone->Block(), ctrl->Block());
  EXPECT_EQ(clone->RadiusTable(), ctrl->RadiusTable());
}

TEST_F(QvPolygonCtrlTest, TheBlockSlotTakesNothingButTheBlock) {
  ReferenceHolder other(new QvPolygonCtrl);
  IParamBlock2* block = ctrl->Block();
  EXPECT_EQ(ctrl->TryReplaceReference(kShapeBlockRef, other.Get()), REF_FAIL);
  EXPECT_EQ(ctrl->Block(), block);
}

}  // namespace
}  // namespace tarnis
