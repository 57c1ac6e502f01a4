// What the engine reads from a line set per frame: the setting of each edge
// kind (edge switch first, then the respective switch, else the base
// setting).
#include "tarnis/line/effect/line_set_frame.h"

#include <gtest/gtest.h>

#include "tarnis/line/effect/line_set.h"
#include "tarnis/line/effect/line_set_test_helpers.h"

namespace tarnis {
namespace {

TEST(LineSetFrame, PicksTheSettingOfEachEdgeKind) {
  ReferenceHolder h(new LineSet);
  auto* set = h.GetAs<LineSet>();
  IParamBlock2* visible = set->TypeBlock(1);
  struct Case {
    int kind;
    ParamID edge, respective;
  };
  const Case cases[] = {{kEdgeObject, kTypeEdgeObject, kTypeObjectRespectiveEnable},
                        {kEdgeNormal, kTypeEdgeNormal, kTypeNormalRespectiveEnable},
                        {kEdgeMaterial, kTypeEdgeMatID, kTypeMaterialRespectiveEnable},
                        {kEdgeSmooth, kTypeEdgeSmooth, kTypeSmoothRespectiveEnable},
                        {kEdgeIntersection, kTypeEdgeIsect, kTypeIsectRespectiveEnable}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    visible->SetValue(c.edge, 0, 0);
    visible->SetValue(c.respective, 0, 1);
    // The edge switch off: nothing, even with the respective switch on.
    EXPECT_EQ(SettingForEdge(*set, 1, c.kind, 0), nullptr);
    visible->SetValue(c.edge, 0, 1);
    EXPECT_EQ(SettingForEdge(*set, 1, c.kind, 0), set->Setting(1, c.kind));
    visible->SetValue(c.respective, 0, 0);
    EXPECT_EQ(SettingForEdge(*set, 1, c.kind, 0), set->Setting(1, 0));
  }
  EXPECT_EQ(SettingForEdge(*set, 1, 0, 0), nullptr);
  EXPECT_EQ(SettingForEdge(*set, 1, 6, 0), nullptr);
  // A slot without a setting gives nothing.
  set->ReplaceReference(LineSetSettingRef(1, 0), nullptr);
  EXPECT_EQ(SettingForEdge(*set, 1, kEdgeObject, 0), nullptr);
}

}  // namespace
}  // namespace tarnis
