// Gathering reads a line set's depth values of line types 1 and 2.
#include "tarnis/line/engine/frame_gathering.h"

#include <gtest/gtest.h>

#include "tarnis/line/effect/line_set.h"
#include "tarnis/line/effect/line_set_test_helpers.h"

namespace tarnis {
namespace {

TEST(FrameGathering, ReadsTheDepthBlockOfTheLineType) {
  ReferenceHolder h(new LineSet);
  auto* set = h.GetAs<LineSet>();
  ReferenceHolder nodeHolder(new testing::TestNode);
  auto* node = nodeHolder.GetAs<testing::TestNode>();
  node->tm = TranslationMatrix(Point3(1, 2, 3));
  IParamBlock2* hidden = set->DepthBlock(2);
  hidden->SetValue(kDepthZScaleEnable, 0, 1);
  hidden->SetValue(kDepthZMin, 0, 10.0f);
  hidden->SetValue(kDepthZMax, 0, 30.0f);
  hidden->SetValue(kDepthZAlphaEnable, 0, 1);
  hidden->SetValue(kDepthZAlphaMin, 0, 50.0f);
  hidden->SetValue(kDepthZAlphaMax, 0, 50.0f);
  hidden->SetValue(kDepthZScaleObjectEnable, 0, 1);
  hidden->SetValue(kDepthZScaleObjectNode, 0, static_cast<ReferenceTarget*>(node));

  // Type 3 reads the type-2 block.
  for (int type : {2, 3}) {
    LineDepth d = PrepareLineDepth(*set, type, 0);
    EXPECT_TRUE(d.size.on);
    EXPECT_EQ(d.size.curve, set->SizeCurve(2));
    EXPECT_FLOAT_EQ(d.size.invRange, 1.0f / 20.0f);
    EXPECT_TRUE(d.size.fromNode);
    EXPECT_EQ(d.size.nodePosition, Point3(1, 2, 3));
    // Equal distances turn the change off.
    EXPECT_FALSE(d.alpha.on);
    EXPECT_FALSE(d.alpha.fromNode);
  }
  LineDepth visible = PrepareLineDepth(*set, 1, 0);
  EXPECT_FALSE(visible.size.on);
  EXPECT_FALSE(visible.size.fromNode);
}

}  // namespace
}  // namespace tarnis
