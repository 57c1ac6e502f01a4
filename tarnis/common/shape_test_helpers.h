// Shared fixtures of the shape-control tests: a control kept alive by a
// holder, shapes with known outlines, and the checks that the node list is
// in angle order around the circle.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "sdk/angles.h"
#include "sdk/hold.h"
#include "sdk/param_block.h"
#include "tarnis/common/shape_control.h"
#include "tarnis/common/shape_control_class_desc.h"

namespace tarnis::shape_testing {

// A new control made through its descriptor, with the classes a saved graph
// needs in the class directory; the undo stack is emptied afterwards.
class ShapeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GetClassDirectory().AddClass(GetQvPolygonCtrlDesc());
    GetClassDirectory().AddClass(GetParamBlock2Desc());
    holder_.Set(static_cast<ReferenceTarget*>(GetQvPolygonCtrlDesc()->Create(false)));
    ctrl = holder_.GetAs<QvPolygonCtrl>();
    ASSERT_NE(ctrl, nullptr);
  }
  void TearDown() override { theHold.Reset(); }

  // Nodes at these angles (in list order), radius `radius`, corners.
  void MakeNodes(const std::vector<float>& angles, float radius = 1.0f) {
    HoldSuspend suspend;
    ASSERT_TRUE(ctrl->Reset(static_cast<int>(angles.size())));
    for (size_t i = 0; i < angles.size(); ++i) {
      ASSERT_TRUE(ctrl->SetNode(static_cast<int>(i), angles[i], radius, kNodeCorner, {}, {}));
    }
  }

  ReferenceHolder holder_;
  QvPolygonCtrl* ctrl = nullptr;
};

// The counter-clockwise turn from a to b, in [0, 2pi).
inline float TurnBetween(float a, float b) {
  float d = std::fmod(b - a, kTwoPi);
  return d < 0.0f ? d + kTwoPi : d;
}

// True when going through the list once turns around the circle once, each
// step counter-clockwise and no two nodes in the same direction.
inline bool InAngleOrder(const QvPolygonCtrl& ctrl) {
  const int n = ctrl.NumNodes();
  if (n < 2) return true;
  float total = 0.0f;
  for (int i = 0; i < n; ++i) {
    const float step = TurnBetween(ctrl.GetNode(i).angle, ctrl.GetNode((i + 1) % n).angle);
    if (step <= 0.0f) return false;
    total += step;
  }
  return std::abs(total - kTwoPi) < 1e-3f;
}

}  // namespace tarnis::shape_testing
