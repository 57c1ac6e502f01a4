// Tests of the settings handlers' shape keys: what WriteShape writes, a
// round trip through memory, a file with a node key missing, and counts
// that are missing or hostile.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "sdk/testing/scratch_dir.h"
#include "tarnis/common/ini_handler.h"
#include "tarnis/common/mem_ini_handler.h"
#include "tarnis/common/shape_test_helpers.h"

namespace tarnis {
namespace {

class IniHandlerShape : public shape_testing::ShapeTest {};

// A shape with one node of each type.
void MakeMixedShape(QvPolygonCtrl& ctrl) {
  ctrl.Reset(4);
  ctrl.SetNode(0, -kPi / 2, 0.5f, kNodeCorner, {}, {});
  ctrl.SetNode(1, 0.25f, 0.75f, kNodeSmooth, Point2(0.125f, -0.25f), Point2(5.0f, 5.0f));
  ctrl.SetNode(2, 2.0f, 1.0f, kNodeFree, Point2(0.5f, 0.25f), Point2(-0.375f, 0.0625f));
  ctrl.SetNode(3, -kPi, 0.875f, kNodeCorner, {}, {});
}

TEST_F(IniHandlerShape, WriteShapeWritesTheHandlesTheOutlineUses) {
  MakeMixedShape(*ctrl);
  // A corner that once was smooth still holds a handle it does not use.
  ctrl->StoreNode(
      0, {.angle = -kPi / 2, .radius = 0.5f, .handle0 = Point2(0.5f, 0.5f), .handle1 = {}});
  MemIniHandler ini;
  ini.WriteShape("Design", *ctrl);
  struct Case {
    const char* key;
    const char* value;
  };
  const Case cases[] = {
      {"hi_num", "4"},          {"hi_0t", "0"},          {"hi_0r", "0.500000"},
      {"hi_0h0x", "0.000000"},  {"hi_0h1y", "0.000000"}, {"hi_1a", "0.250000"},
      {"hi_1t", "1"},           {"hi_1h0x", "0.125000"}, {"hi_1h0y", "-0.250000"},
      {"hi_1h1x", "-0.125000"}, {"hi_1h1y", "0.250000"}, {"hi_2t", "2"},
      {"hi_2h1x", "-0.375000"}, {"hi_2h1y", "0.062500"}, {"hi_3a", "-3.141593"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ini.ReadValue("Design", c.key).value_or("<missing>"), c.value) << c.key;
  }
}

TEST_F(IniHandlerShape, ReadShapeGivesBackTheShapeThatWasWritten) {
  MakeMixedShape(*ctrl);
  MemIniHandler ini;
  ini.WriteShape("Design", *ctrl);
  ReferenceHolder other(new QvPolygonCtrl);
  auto* back = other.GetAs<QvPolygonCtrl>();
  back->Reset(9);
  ASSERT_TRUE(ini.ReadShape("Design", *back));
  ASSERT_EQ(back->NumNodes(), 4);
  for (int i = 0; i < 4; ++i) {
    const ShapeNode want = ctrl->GetNode(i);
    const ShapeNode got = back->GetNode(i);
    // The same direction: "%f" may carry -pi just past the end of the range.
    EXPECT_NEAR(std::remainder(got.angle - want.angle, 2 * kPi), 0.0f, 1e-5f) << i;
    EXPECT_NEAR(got.radius, want.radius, 1e-6f) << i;
    EXPECT_EQ(got.type, want.type) << i;
    EXPECT_EQ(back->InHandle(i), ctrl->InHandle(i)) << i;
    EXPECT_EQ(back->OutHandle(i), ctrl->OutHandle(i)) << i;
  }
  for (int j = 0; j < 360; ++j) {
    EXPECT_NEAR(back->RadiusTable()[static_cast<size_t>(j)],
                ctrl->RadiusTable()[static_cast<size_t>(j)], 1e-4f)
        << j;
  }
}

TEST_F(IniHandlerShape, ReadShapeStopsAtTheFirstMissingKey) {
  ScratchDir dir;
  const std::string path = dir.File("tarnis_preset_hidesign.txt");
  // Three nodes stored; the radius of the second is missing.
  WriteBytes(path,
             "[Design]\n"
             "hi_num=3\n"
             "hi_0a=0.5\nhi_0r=0.5\nhi_0t=0\nhi_0h0x=0\nhi_0h0y=0\nhi_0h1x=0\nhi_0h1y=0\n"
             "hi_1a=1.5\nhi_1t=0\nhi_1h0x=0\nhi_1h0y=0\nhi_1h1x=0\nhi_1h1y=0\n"
             "hi_2a=2.5\nhi_2r=0.5\nhi_2t=0\nhi_2h0x=0\nhi_2h0y=0\nhi_2h1x=0\nhi_2h1y=0\n");
  MakeMixedShape(*ctrl);
  IniHandler ini(path);
  EXPECT_FALSE(ini.ReadShape("Design", *ctrl));
  // Reset to three nodes; the first was read, the others keep the reset.
  ASSERT_EQ(ctrl->NumNodes(), 3);
  EXPECT_EQ(ctrl->GetNode(0).angle, 0.5f);
  EXPECT_EQ(ctrl->GetNode(0).radius, 0.5f);
  EXPECT_NEAR(ctrl->GetNode(1).angle, 2 * kPi / 3, 1e-5f);
  EXPECT_EQ(ctrl->GetNode(1).radius, 1.0f);
  EXPECT_EQ(ctrl->GetNode(2).radius, 1.0f);
}

TEST_F(IniHandlerShape, ReadShapeRefusesAMissingOrHostileCount) {
  MakeMixedShape(*ctrl);
  const std::vector<float> table = ctrl->RadiusTable();
  MemIniHandler ini;
  for (const char* count : {"", "-1", "1025", "99999999999", "lots"}) {
    ini.WriteString("Design", "hi_num", count);
    EXPECT_FALSE(ini.ReadShape("Design", *ctrl)) << count;
    EXPECT_EQ(ctrl->NumNodes(), 4) << count;
    EXPECT_EQ(ctrl->RadiusTable(), table) << count;
  }
  EXPECT_FALSE(ini.ReadShape("Nowhere", *ctrl));
  EXPECT_EQ(ctrl->NumNodes(), 4);
}

TEST_F(IniHandlerShape, ReadShapeKeepsHostileNodeValuesInTheirLimits) {
  MemIniHandler ini;
  ini.WriteString("Design", "hi_num", "3");
  const char* values[3][7] = {{"0", "0.5", "9", "0.1", "0.2", "0.3", "0.4"},
                              {"2", "-4", "-3", "0", "0", "0", "0"},
                              {"-2", "1e39", "0", "0", "0", "0", "0"}};
  const char* keys[] = {"a", "r", "t", "h0x", "h0y", "h1x", "h1y"};
  for (int i = 0; i < 3; ++i) {
    for (int k = 0; k < 7; ++k) {
      ini.WriteString("Design", ("hi_" + std::to_string(i) + keys[k]).c_str(), values[i][k]);
    }
  }
  // 1e39 does not fit a float: that key counts as missing.
  EXPECT_FALSE(ini.ReadShape("Design", *ctrl));
  ASSERT_EQ(ctrl->NumNodes(), 3);
  EXPECT_EQ(ctrl->GetNode(0).type, kNodeFree);
  EXPECT_EQ(ctrl->GetNode(0).handle1, Point2(0.3f, 0.4f));
  EXPECT_EQ(ctrl->GetNode(1).radius, 0.0f);
  EXPECT_EQ(ctrl->GetNode(1).type, kNodeCorner);
  EXPECT_EQ(ctrl->GetNode(2).radius, 1.0f);
}

}  // namespace
}  // namespace tarnis
