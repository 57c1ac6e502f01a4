// Tests of the shape editor: its geometry, adding and deleting nodes, moves
// that keep the nodes in angle order and inside the circle, handles, the
// selection, the commands and their undo entries.
#include "tarnis/common/shape_editor.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tarnis/common/shape_test_helpers.h"

namespace tarnis {
namespace {

using shape_testing::InAngleOrder;

constexpr char kUndoName[] = "Parameter change";

// A 224 x 124 pixel control: the drawing area's half side is 124 / 2 - 12 =
// 50 pixels around the centre (112, 62).
class ShapeEditorTest : public shape_testing::ShapeTest {
 protected:
  void SetUp() override {
    ShapeTest::SetUp();
    editor = std::make_unique<ShapeEditor>(ctrl, 224, 124);
  }
  // The pixel of a point of the unit square.
  Point2 Px(float u, float v) const { return editor->ToPixels(Point2(u, v)); }
  Point2 NodePx(int i) const { return editor->ToPixels(ctrl->NodePosition(i)); }
  void Drag(Point2 from, Point2 to, unsigned modifiers = kModNone) {
    editor->LeftPress(from, modifiers);
    editor->PointerMove((from + to) * 0.5f);
    editor->PointerMove(to);
    editor->LeftRelease(to, modifiers);
  }

  std::unique_ptr<ShapeEditor> editor;
};

TEST_F(ShapeEditorTest, MapsPixelsOntoTheSquareAroundTheCentre) {
  EXPECT_EQ(editor->Centre(), Point2(112.0f, 62.0f));
  EXPECT_EQ(editor->HalfSide(), 50.0f);
  EXPECT_EQ(editor->ToUnit(Point2(162.0f, 12.0f)), Point2(1.0f, -1.0f));
  EXPECT_EQ(editor->ToPixels(Point2(-0.5f, 0.5f)), Point2(87.0f, 87.0f));
  EXPECT_TRUE(editor->InArea(Point2(62.0f, 112.0f)));
  EXPECT_FALSE(editor->InArea(Point2(60.0f, 62.0f)));
  // A node at angle pi/2 sits above the centre: y grows downward.
  MakeNodes({kPi / 2, -kPi, -kPi / 2});
  EXPECT_NEAR(NodePx(0).x, 112.0f, 1e-4f);
  EXPECT_NEAR(NodePx(0).y, 12.0f, 1e-4f);
}

TEST_F(ShapeEditorTest, DoubleClicksAddNodesInAngleOrder) {
  MakeNodes({0.0f, kPi / 2, -kPi, -kPi / 2}, 0.5f);
  struct Case {
    Point2 unit;
    int index;  // where the new node lands in the list
  };
  const Case cases[] = {
      {{0.3f, -0.3f}, 1},    // angle pi/4, between 0 and pi/2
      {{-0.3f, 0.1f}, 4},    // angle about -2.82, between -pi and -pi/2
      {{0.3f, 0.01f}, 6},    // just below angle 0: after the last node
      {{-0.3f, -0.01f}, 3},  // just below angle pi: before the node at -pi
  };
  int n = 4;
  for (const Case& c : cases) {
    const int entries = theHold.NumUndoEntries();
    editor->DoubleClick(Px(c.unit.x, c.unit.y));
    ASSERT_EQ(ctrl->NumNodes(), ++n);
    const ShapeNode node = ctrl->GetNode(c.index);
    EXPECT_NEAR(node.angle, std::atan2(-c.unit.y, c.unit.x), 1e-5f) << c.index;
    EXPECT_NEAR(node.radius, c.unit.Length(), 1e-5f);
    EXPECT_TRUE(InAngleOrder(*ctrl)) << c.index;
    EXPECT_EQ(theHold.NumUndoEntries(), entries + 1);
    EXPECT_EQ(theHold.UndoName(), kUndoName);
  }
  ASSERT_TRUE(theHold.Undo());
  EXPECT_EQ(ctrl->NumNodes(), n - 1);
  EXPECT_EQ(editor->Selection().GetSize(), n - 1);
}

TEST_F(ShapeEditorTest, AClickOutsideTheCircleAddsANodeOnIt) {
  MakeNodes({0.0f, 2.0f, -2.0f});
  editor->SetNewNodeType(kNodeSmooth);
  editor->DoubleClick(Px(0.9f, 0.9f));  // a corner of the area, radius 1.27
  ASSERT_EQ(ctrl->NumNodes(), 4);
  const ShapeNode node = ctrl->GetNode(3);
  EXPECT_EQ(node.radius, 1.0f);
  EXPECT_NEAR(node.angle, -kPi / 4, 1e-5f);
  EXPECT_EQ(node.type, kNodeSmooth);
  // Outside the area nothing is added.
  editor->DoubleClick(Point2(5.0f, 62.0f));
  EXPECT_EQ(ctrl->NumNodes(), 4);
}

TEST_F(ShapeEditorTest, DeletingLeavesAtLeastThreeNodes) {
  struct Case {
    int nodes;
    std::vector<int> selected;
    int left;
  };
  const Case cases[] = {{3, {0}, 3}, {5, {0, 2, 4}, 5}, {5, {1, 3}, 3}, {4, {}, 4}};
  for (const Case& c : cases) {
    ctrl->Reset(c.nodes);
    const int entries = theHold.NumUndoEntries();
    editor->ClearSelection();
    for (int i : c.selected) editor->Select(i, true);
    editor->Command(kCmdDeleteNodes);
    EXPECT_EQ(ctrl->NumNodes(), c.left) << c.nodes << " nodes";
    EXPECT_EQ(theHold.NumUndoEntries(), entries + (c.left < c.nodes ? 1 : 0));
  }
  // A double click on a node deletes it under the same rule.
  ctrl->Reset(4);
  editor->DoubleClick(NodePx(1));
  EXPECT_EQ(ctrl->NumNodes(), 3);
  editor->DoubleClick(NodePx(1));
  EXPECT_EQ(ctrl->NumNodes(), 3);
}

TEST_F(ShapeEditorTest, MovesStayInsideTheCircle) {
  MakeNodes({0.0f, kPi / 2, -kPi, -kPi / 2}, 0.5f);
  Drag(NodePx(0), Px(1.0f, 0.0f));
  EXPECT_NEAR(ctrl->GetNode(0).radius, 1.0f, 1e-5f);
  EXPECT_NEAR(ctrl->GetNode(0).angle, 0.0f, 1e-5f);
  // Pulled far out along 30 degrees: back on the circle in that direction.
  Drag(NodePx(0), Px(2.0f * std::cos(kPi / 6), -2.0f * std::sin(kPi / 6)));
  EXPECT_NEAR(ctrl->GetNode(0).radius, 1.0f, 1e-5f);
  EXPECT_NEAR(ctrl->GetNode(0).angle, kPi / 6, 1e-3f);
}

TEST_F(ShapeEditorTest, MovesNeverChangeTheOrderOfTheNodes) {
  MakeNodes({0.0f, kPi / 2, -kPi, -kPi / 2}, 0.5f);
  // Node 0 dragged round past node 1 (at pi/2) to 3pi/4: it stops short of it.
  Drag(NodePx(0), Px(0.5f * std::cos(3 * kPi / 4), -0.5f * std::sin(3 * kPi / 4)));
  EXPECT_TRUE(InAngleOrder(*ctrl));
  EXPECT_LT(ctrl->GetNode(0).angle, kPi / 2);
  EXPECT_GT(ctrl->GetNode(0).angle, kPi / 2 - 0.01f);
  // Node 2 (at -pi) dragged clockwise past node 1: it stops short of pi/2.
  Drag(NodePx(2), Px(0.2f, -0.45f));
  EXPECT_TRUE(InAngleOrder(*ctrl));
  EXPECT_GT(ctrl->GetNode(2).angle, kPi / 2);
  // Two selected neighbours move together and keep their order too.
  MakeNodes({0.0f, kPi / 2, -kPi, -kPi / 2}, 0.5f);
  editor->Select(1, false);
  editor->Select(2, true);
  Drag(NodePx(1), NodePx(1) + Point2(0.0f, 30.0f));
  EXPECT_TRUE(InAngleOrder(*ctrl));
  EXPECT_NE(ctrl->GetNode(2).angle, -kPi);
}

TEST_F(ShapeEditorTest, AMoveIsOneUndoEntry) {
  MakeNodes({0.0f, kPi / 2, -kPi, -kPi / 2}, 0.5f);
  const std::vector<float> before = ctrl->RadiusTable();
  const int entries = theHold.NumUndoEntries();
  Drag(NodePx(3), Px(0.0f, 0.8f));
  EXPECT_EQ(theHold.NumUndoEntries(), entries + 1);
  EXPECT_EQ(theHold.UndoName(), kUndoName);
  EXPECT_NEAR(ctrl->GetNode(3).radius, 0.8f, 1e-5f);
  EXPECT_NEAR(ctrl->RadiusAt(-kPi / 2), 0.8f, 0.01f);
  ASSERT_TRUE(theHold.Undo());
  EXPECT_NEAR(ctrl->GetNode(3).radius, 0.5f, 1e-6f);
  EXPECT_EQ(ctrl->RadiusTable(), before);
  ASSERT_TRUE(theHold.Redo());
  EXPECT_NEAR(ctrl->GetNode(3).radius, 0.8f, 1e-5f);
  // A click without a move records nothing.
  Drag(NodePx(0), NodePx(0));
  EXPECT_EQ(theHold.NumUndoEntries(), entries + 1);
}

TEST_F(ShapeEditorTest, ARightPressCancelsTheDrag) {
  MakeNodes({0.0f, kPi / 2, -kPi, -kPi / 2}, 0.5f);
  const int entries = theHold.NumUndoEntries();
  editor->LeftPress(NodePx(0), kModNone);
  editor->PointerMove(Px(0.9f, 0.0f));
  EXPECT_NEAR(ctrl->GetNode(0).radius, 0.9f, 1e-5f);  // the shape follows the pointer
  EXPECT_FALSE(editor->RightPress(Px(0.9f, 0.0f)).has_value());
  EXPECT_EQ(editor->DragMode(), ShapeDragMode::kNone);
  EXPECT_EQ(ctrl->GetNode(0).radius, 0.5f);
  editor->LeftRelease(Px(0.9f, 0.0f), kModNone);
  EXPECT_EQ(ctrl->GetNode(0).radius, 0.5f);
  EXPECT_EQ(theHold.NumUndoEntries(), entries);
}

TEST_F(ShapeEditorTest, SelectsByClickAndRubberBand) {
  MakeNodes({0.0f, kPi / 2, -kPi, -kPi / 2}, 0.5f);
  editor->LeftPress(NodePx(1), kModNone);
  editor->LeftRelease(NodePx(1), kModNone);
  EXPECT_EQ(editor->Selection().NumberSet(), 1);
  editor->LeftPress(NodePx(3), kModCtrl);
  editor->LeftRelease(NodePx(3), kModCtrl);
  EXPECT_TRUE(editor->Selection()[1] && editor->Selection()[3]);
  // A band around nodes 0 (right) and 1 (top) replaces the selection.
  Drag(Px(-0.1f, -0.9f), Px(0.9f, 0.1f));
  EXPECT_TRUE(editor->Selection()[0] && editor->Selection()[1]);
  EXPECT_EQ(editor->Selection().NumberSet(), 2);
  // With Ctrl a band around node 2 (left) adds to it.
  Drag(Px(-0.9f, -0.1f), Px(-0.1f, 0.1f), kModCtrl);
  EXPECT_EQ(editor->Selection().NumberSet(), 3);
  EXPECT_TRUE(editor->Selection()[2]);
}

TEST_F(ShapeEditorTest, TheNodeMenuSetsTypesAsOneUndoEntry) {
  ctrl->Reset(8);
  std::optional<int> checked = editor->RightPress(NodePx(2));
  ASSERT_TRUE(checked.has_value());
  EXPECT_EQ(*checked, kNodeCorner);
  EXPECT_TRUE(editor->Selection()[2]);
  editor->Select(3, true);
  const int entries = theHold.NumUndoEntries();
  EXPECT_TRUE(editor->Command(kCmdTypeSmooth));
  EXPECT_EQ(theHold.NumUndoEntries(), entries + 1);
  EXPECT_EQ(ctrl->GetNode(2).type, kNodeSmooth);
  EXPECT_EQ(ctrl->GetNode(3).type, kNodeSmooth);
  EXPECT_EQ(ctrl->GetNode(4).type, kNodeCorner);
  // The new handles follow the circle: between the two smooth nodes the
  // outline bulges out to it.
  EXPECT_NEAR(ctrl->RadiusAt((ctrl->GetNode(2).angle + ctrl->GetNode(3).angle) / 2), 1.0f, 0.005f);
  EXPECT_EQ(*editor->RightPress(NodePx(3)), kNodeSmooth);
  ASSERT_TRUE(theHold.Undo());
  EXPECT_EQ(ctrl->GetNode(2).type, kNodeCorner);
  EXPECT_FALSE(editor->Command(4242));
}

TEST_F(ShapeEditorTest, HandlesFollowThePointer) {
  ctrl->Reset(4);
  editor->Select(0, false);
  editor->Command(kCmdTypeSmooth);
  // The outgoing handle of a smooth node is its incoming one mirrored.
  std::optional<Point2> out = editor->HandlePixels(0, 1);
  ASSERT_TRUE(out.has_value());
  ASSERT_TRUE(editor->HandleAt(*out).has_value());
  EXPECT_EQ(editor->HandleAt(*out)->which, 1);
  EXPECT_EQ(editor->PointerMove(*out), EditorCursor::kMove);
  Drag(*out, Px(1.0f, -0.5f));
  EXPECT_NEAR(ctrl->GetNode(0).handle0.x, 0.0f, 1e-5f);
  EXPECT_NEAR(ctrl->GetNode(0).handle0.y, 0.5f, 1e-5f);
  EXPECT_EQ(theHold.UndoName(), kUndoName);
  // A free node's outgoing handle moves alone.
  editor->Command(kCmdTypeFree);
  Drag(*editor->HandlePixels(0, 1), Px(1.25f, 0.0f));
  EXPECT_NEAR(ctrl->GetNode(0).handle1.x, 0.25f, 1e-5f);
  EXPECT_NEAR(ctrl->GetNode(0).handle0.y, 0.5f, 1e-5f);
  EXPECT_EQ(editor->PointerMove(Px(0.0f, 0.0f)), EditorCursor::kArrow);
}

TEST_F(ShapeEditorTest, ResetGivesTheNewNodeTypeToEveryNode) {
  ctrl->Block()->SetValue(kPolyNodeResetNum, 0, 5);
  editor->Select(0, false);
  editor->Command(kRadioNewSmooth);
  EXPECT_EQ(editor->NewNodeType(), kNodeSmooth);
  const int entries = theHold.NumUndoEntries();
  editor->Command(kCmdResetShape);
  EXPECT_EQ(theHold.NumUndoEntries(), entries + 1);
  ASSERT_EQ(ctrl->NumNodes(), 5);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(ctrl->GetNode(i).type, kNodeSmooth);
  EXPECT_EQ(editor->Selection().NumberSet(), 0);
  // Smooth nodes with handles along the circle draw it.
  for (float r : ctrl->RadiusTable()) EXPECT_NEAR(r, 1.0f, 0.01f);
  ASSERT_TRUE(theHold.Undo());
  EXPECT_EQ(ctrl->NumNodes(), 0);
}

}  // namespace
}  // namespace tarnis
