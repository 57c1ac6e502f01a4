// Tests of copy and paste between the damping, tip and distortion panels of
// real brushes, stroke maps and line sets.
#include "tarnis/plugin/param_set_clipboard.h"

#include <gtest/gtest.h>

#include "sdk/curve_control.h"
#include "sdk/hold.h"
#include "tarnis/line/brush/brush.h"
#include "tarnis/line/brush/brush_test_helpers.h"
#include "tarnis/line/effect/line_set.h"
#include "tarnis/line/effect/line_set_test_helpers.h"
#include "tarnis/stroke/stroke_map.h"

namespace tarnis {
namespace {

class ParamSetClipboard : public ::testing::Test {
 protected:
  void SetUp() override {
    theHold.Reset();
    ClearParamSetClipboard();
  }
  void TearDown() override {
    ClearParamSetClipboard();
    theHold.Reset();
  }

  Brush& A() { return *a.GetAs<Brush>(); }
  Brush& B() { return *b.GetAs<Brush>(); }
  ReferenceHolder a{new Brush}, b{new Brush};
};

std::vector<CurvePoint> PointsOf(CurveControl* curve) {
  return curve->GetControlCurve(0)->Points();
}

void Bend(CurveControl* curve) {
  ICurve* c = curve->GetControlCurve(0);
  CurvePoint pt = c->GetPoint(0, 1);
  pt.p.y = 0.2f;
  c->SetPoint(0, 1, pt, false);
}

TEST_F(ParamSetClipboard, ABrushsSizeDampingPastesIntoAnotherBrushsAlphaDamping) {
  A().Block(kBrushBlockDampSize)->SetValue(kBrushDampSizeEnable, 0, 1);
  Bend(A().SizeCurve());
  IParamBlock2* oldBlock = B().Block(kBrushBlockDampAlpha);
  CurveControl* oldCurve = B().AlphaCurve();
  ASSERT_TRUE(CopyToClipboard(BrushClipboardPanel(A(), kCaPBrushDampSize)));
  ASSERT_TRUE(PasteFromClipboard(BrushClipboardPanel(B(), kCaPBrushDampAlpha)));

  IParamBlock2* pasted = B().Block(kBrushBlockDampAlpha);
  ASSERT_NE(pasted, nullptr);
  EXPECT_NE(pasted, oldBlock);
  EXPECT_EQ(pasted->GetDesc(), BrushBlockDesc(kBrushBlockDampAlpha));
  EXPECT_EQ(pasted->GetInt(kBrushDampAlphaEnable), 1);
  EXPECT_NE(B().AlphaCurve(), A().SizeCurve());
  EXPECT_EQ(PointsOf(B().AlphaCurve()), PointsOf(A().SizeCurve()));
  EXPECT_EQ(B().AlphaCurve()->GetOwner(), &B());
  // The brush works from what was pasted.
  Interval valid = FOREVER;
  B().Update(0, valid);
  EXPECT_TRUE(B().Values().dampAlphaEnable);
  EXPECT_EQ(B().Block(kBrushBlockDampSize)->GetInt(kBrushDampSizeEnable), 0);

  // Undo puts back the old block and curve, redo the same copies.
  CurveControl* pastedCurve = B().AlphaCurve();
  ASSERT_EQ(theHold.NumUndoEntries(), 1);
  ASSERT_TRUE(theHold.Undo());
  EXPECT_EQ(B().Block(kBrushBlockDampAlpha), oldBlock);
  EXPECT_EQ(B().AlphaCurve(), oldCurve);
  ASSERT_TRUE(theHold.Redo());
  EXPECT_EQ(B().Block(kBrushBlockDampAlpha), pasted);
  EXPECT_EQ(B().AlphaCurve(), pastedCurve);
}

TEST_F(ParamSetClipboard, AStrokeMapsDampingDoesNotPasteIntoABrush) {
  ReferenceHolder map(new Stroke);
  ASSERT_TRUE(CopyToClipboard(StrokeClipboardPanel(*map.GetAs<Stroke>(), kCaPStrokeDampSize)));
  IParamBlock2* oldBlock = B().Block(kBrushBlockDampSize);
  for (CaPKind kind : {kCaPBrushDampSize, kCaPBrushDampAlpha}) {
    EXPECT_FALSE(PasteFromClipboard(BrushClipboardPanel(B(), kind))) << kind;
  }
  EXPECT_EQ(B().Block(kBrushBlockDampSize), oldBlock);
  EXPECT_EQ(theHold.NumUndoEntries(), 0);
  // The stroke map's partner panel takes it.
  ReferenceHolder other(new Stroke);
  EXPECT_TRUE(
      PasteFromClipboard(StrokeClipboardPanel(*other.GetAs<Stroke>(), kCaPStrokeDampAlpha)));
}

TEST_F(ParamSetClipboard, TheTipPanelPastesTheTipAndACopyOfItsMap) {
  A().Block(kBrushBlockParameters)->SetValue(kBrushMapSize, 0, 21.0f);
  auto* map = new testing::ProbeMap(0.5f);
  A().SetSubTexmap(0, map);
  ASSERT_TRUE(CopyToClipboard(BrushClipboardPanel(A(), kCaPBrushMap)));
  ASSERT_TRUE(PasteFromClipboard(BrushClipboardPanel(B(), kCaPBrushMap)));
  EXPECT_FLOAT_EQ(B().Block(kBrushBlockParameters)->GetFloat(kBrushMapSize), 21.0f);
  auto* copy = dynamic_cast<testing::ProbeMap*>(B().GetSubTexmap(0));
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy, map);
  EXPECT_FLOAT_EQ(copy->value, 0.5f);
  // The tip block's map parameter reads the brush's own slot.
  EXPECT_EQ(B().Block(kBrushBlockParameters)->GetReferenceTarget(kBrushMapMap), copy);
  // The stroke panel does not take the tip.
  EXPECT_FALSE(PasteFromClipboard(BrushClipboardPanel(B(), kCaPBrushStroke)));
}

TEST_F(ParamSetClipboard, ALineSetsDepthSettingsPasteIntoAnotherTypesAlphaPanel) {
  ReferenceHolder holder(new LineSet);
  LineSet& set = *holder.GetAs<LineSet>();
  ReferenceHolder node(new testing::TestNode);
  IParamBlock2* visible = set.DepthBlock(1);
  visible->SetValue(kDepthZMax, 0, 500.0f);
  visible->SetValue(kDepthZScaleObjectNode, 0, node.Get());
  Bend(set.SizeCurve(1));
  IParamBlock2* hidden = set.DepthBlock(2);
  ASSERT_TRUE(CopyToClipboard(LineSetClipboardPanel(set, 1, kCaPLineDampSize)));
  ASSERT_TRUE(PasteFromClipboard(LineSetClipboardPanel(set, 2, kCaPLineDampAlpha)));

  IParamBlock2* pasted = set.DepthBlock(2);
  ASSERT_NE(pasted, hidden);
  // The hidden type's layout (names ending in 2), the visible type's values
  // and the same reference node.
  EXPECT_EQ(pasted->GetDesc(), hidden->GetDesc());
  EXPECT_FLOAT_EQ(pasted->GetFloat(kDepthZMax), 500.0f);
  EXPECT_EQ(pasted->GetReferenceTarget(kDepthZScaleObjectNode), node.Get());
  EXPECT_EQ(PointsOf(set.AlphaCurve(2)), PointsOf(set.SizeCurve(1)));
  EXPECT_EQ(set.AlphaCurve(2)->GetOwner(), &set);
  EXPECT_NE(PointsOf(set.SizeCurve(2)), PointsOf(set.SizeCurve(1)));
  // The visible type's own block is untouched.
  EXPECT_EQ(set.DepthBlock(1), visible);
  theHold.Undo();
  EXPECT_EQ(set.DepthBlock(2), hidden);
}

}  // namespace
}  // namespace tarnis
