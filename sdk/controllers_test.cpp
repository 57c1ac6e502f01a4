// Tests of the key-frame controllers: interpolation and validity with known
// answers, key edits, undo, cloning, saving and damaged data.
#include "sdk/controllers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "sdk/class_desc.h"
#include "sdk/hold.h"
#include "sdk/save_load.h"
#include "sdk/testing/test_objects.h"

namespace {

constexpr TimeValue kNeg = TIME_NegInfinity;
constexpr TimeValue kPos = TIME_PosInfinity;

// A controller kept alive by a holder for the length of a test.
struct Held {
  explicit Held(KeyframeControl* c) : holder(c), ctrl(c) {}
  ReferenceHolder holder;
  KeyframeControl* ctrl;
};

// A float controller with keys (time, value), set in the order given.
KeyframeControl* FloatKeys(KeyInterp interp,
                           std::initializer_list<std::pair<TimeValue, float>> keys) {
  KeyframeControl* c = NewKeyframeControl(ControlKind::kFloat, interp);
  for (auto [t, v] : keys) c->SetValue(t, v);
  return c;
}

struct FloatCase {
  const char* name;
  KeyInterp interp;
  TimeValue t;
  float value;
  Interval valid;
};

// Keys (0, 0), (100, 10), (200, 20) and (300, 0) for every interpolation.
// Bézier: smooth slopes are 0 at both ends and 0.1 at 100 ((20 - 0) / 200),
// so the first segment is 10 * (3u² - 2u³) + 10 * (u³ - u²), which at
// u = 0.5 is 3.75.
TEST(KeyframeControl, FloatValuesAndValidityMatchKnownAnswers) {
  const FloatCase cases[] = {
      {"linear before", KeyInterp::kLinear, -50, 0.0f, Interval(kNeg, 0)},
      {"linear first key", KeyInterp::kLinear, 0, 0.0f, Interval(kNeg, 0)},
      {"linear between", KeyInterp::kLinear, 50, 5.0f, Interval(50, 50)},
      {"linear at key", KeyInterp::kLinear, 100, 10.0f, Interval(100, 100)},
      {"linear quarter", KeyInterp::kLinear, 225, 15.0f, Interval(225, 225)},
      {"linear last key", KeyInterp::kLinear, 300, 0.0f, Interval(300, kPos)},
      {"linear after", KeyInterp::kLinear, 1000, 0.0f, Interval(300, kPos)},
      {"step before", KeyInterp::kStep, -1, 0.0f, Interval(kNeg, 0)},
      {"step first key", KeyInterp::kStep, 0, 0.0f, Interval(0, 99)},
      {"step between", KeyInterp::kStep, 150, 10.0f, Interval(100, 199)},
      {"step just before key", KeyInterp::kStep, 199, 10.0f, Interval(100, 199)},
      {"step at key", KeyInterp::kStep, 200, 20.0f, Interval(200, 299)},
      {"step after", KeyInterp::kStep, 301, 0.0f, Interval(300, kPos)},
      {"bezier before", KeyInterp::kBezier, -10, 0.0f, Interval(kNeg, 0)},
      {"bezier first segment", KeyInterp::kBezier, 50, 3.75f, Interval(50, 50)},
      {"bezier at key", KeyInterp::kBezier, 100, 10.0f, Interval(100, 100)},
      {"bezier after", KeyInterp::kBezier, 400, 0.0f, Interval(300, kPos)},
  };
  for (const FloatCase& c : cases) {
    Held h(FloatKeys(c.interp, {{0, 0.0f}, {100, 10.0f}, {200, 20.0f}, {300, 0.0f}}));
    float v = -1.0f;
    Interval valid = FOREVER;
    h.ctrl->GetValue(c.t, v, valid);
    EXPECT_NEAR(v, c.value, 1e-4f) << c.name;
    EXPECT_EQ(valid, c.valid) << c.name;
  }
}

TEST(KeyframeControl, BezierWithFlatNeighboursEasesInAndOut) {
  // Keys (0, 0), (100, 10), (200, 0): every smooth slope is 0, so the first
  // segment is 10 * (3u² - 2u³).
  Held h(FloatKeys(KeyInterp::kBezier, {{0, 0.0f}, {100, 10.0f}, {200, 0.0f}}));
  Interval valid = FOREVER;
  float v = 0.0f;
  h.ctrl->GetValue(25, v, valid);
  EXPECT_NEAR(v, 1.5625f, 1e-4f);
  h.ctrl->GetValue(50, v, valid);
  EXPECT_NEAR(v, 5.0f, 1e-4f);
  h.ctrl->GetValue(150, v, valid);
  EXPECT_NEAR(v, 5.0f, 1e-4f);
}

TEST(KeyframeControl, CustomTangentsAlongTheChordMakeBezierLinear) {
  Held h(FloatKeys(KeyInterp::kBezier, {{0, 0.0f}, {100, 10.0f}}));
  Point3 slope(0.1f, 0.0f, 0.0f);
  ASSERT_TRUE(h.ctrl->SetKeyTangents(0, slope, slope));
  ASSERT_TRUE(h.ctrl->SetKeyTangents(1, slope, slope));
  for (TimeValue t : {10, 25, 60, 90}) {
    float v = 0.0f;
    Interval valid = FOREVER;
    h.ctrl->GetValue(t, v, valid);
    EXPECT_NEAR(v, t * 0.1f, 1e-4f) << t;
  }
  // Back to smooth: both end keys are flat again, so the middle is exact
  // but a quarter is eased (10 * (3/16 - 2/64) = 1.5625).
  ASSERT_TRUE(h.ctrl->SetKeySmooth(0));
  ASSERT_TRUE(h.ctrl->SetKeySmooth(1));
  float v = 0.0f;
  Interval valid = FOREVER;
  h.ctrl->GetValue(25, v, valid);
  EXPECT_NEAR(v, 1.5625f, 1e-4f);
}

TEST(KeyframeControl, Point3ControllersInterpolateEachComponent) {
  for (KeyInterp interp : {KeyInterp::kLinear, KeyInterp::kBezier}) {
    Held h(NewKeyframeControl(ControlKind::kPoint3, interp));
    h.ctrl->SetValue(0, Point3(0.0f, 10.0f, -2.0f));
    h.ctrl->SetValue(100, Point3(4.0f, 0.0f, 2.0f));
    Point3 v;
    Interval valid = FOREVER;
    h.ctrl->GetValue(50, v, valid);
    // Two keys: the middle is the mean for linear and for flat-ended Bézier.
    EXPECT_NEAR(v.x, 2.0f, 1e-4f);
    EXPECT_NEAR(v.y, 5.0f, 1e-4f);
    EXPECT_NEAR(v.z, 0.0f, 1e-4f);
    EXPECT_EQ(valid, Interval(50, 50));
    h.ctrl->GetValue(25, v, valid);
    float expectedX = interp == KeyInterp::kLinear ? 1.0f : 4.0f * 0.15625f;
    EXPECT_NEAR(v.x, expectedX, 1e-4f);
  }
}

TEST(KeyframeControl, NoKeyOrOneKeyIsConstantForever) {
  Held h(NewKeyframeControl(ControlKind::kFloat, KeyInterp::kLinear, Point3(7.0f, 0.0f, 0.0f)));
  float v = 0.0f;
  Interval valid = FOREVER;
  h.ctrl->GetValue(123, v, valid);
  EXPECT_EQ(v, 7.0f);
  EXPECT_EQ(valid, FOREVER);
  h.ctrl->SetValue(50, 3.0f);
  h.ctrl->GetValue(-1000, v, valid);
  EXPECT_EQ(v, 3.0f);
  EXPECT_EQ(valid, FOREVER);
}

TEST(KeyframeControl, SetValueAtAKeyTimeReplacesIt) {
  Held h(FloatKeys(KeyInterp::kLinear, {{100, 1.0f}, {0, 2.0f}, {100, 5.0f}}));
  ASSERT_EQ(h.ctrl->NumKeys(), 2);
  EXPECT_EQ(h.ctrl->GetKeyTime(0), 0);
  EXPECT_EQ(h.ctrl->GetKeyTime(1), 100);
  EXPECT_EQ(h.ctrl->GetKey(1).value.x, 5.0f);
}

TEST(KeyframeControl, KeyEditsChangeValuesAndRejectBadIndices) {
  Held h(FloatKeys(KeyInterp::kLinear, {{0, 0.0f}, {100, 10.0f}}));
  EXPECT_FALSE(h.ctrl->RemoveKey(2));
  EXPECT_FALSE(h.ctrl->SetKeyValue(-1, 1.0f));
  ASSERT_TRUE(h.ctrl->SetKeyValue(1, 20.0f));
  float v = 0.0f;
  Interval valid = FOREVER;
  h.ctrl->GetValue(50, v, valid);
  EXPECT_NEAR(v, 10.0f, 1e-5f);
  ASSERT_TRUE(h.ctrl->RemoveKey(0));
  ASSERT_TRUE(h.ctrl->RemoveKey(0));
  // The last key's value stays as the keyless value.
  EXPECT_EQ(h.ctrl->NumKeys(), 0);
  h.ctrl->GetValue(50, v, valid);
  EXPECT_EQ(v, 20.0f);
}

TEST(KeyframeControl, KeyChangesNotifyDependents) {
  Held h(NewKeyframeControl(ControlKind::kFloat, KeyInterp::kLinear));
  TestTarget watcher(1);
  watcher.ReplaceReference(0, h.ctrl);
  h.ctrl->SetValue(0, 1.0f);
  h.ctrl->SetKeyValue(0, 2.0f);
  EXPECT_EQ(watcher.CountHeard(REFMSG_CHANGE), 2);
}

TEST(KeyframeControl, UndoAndRedoRestoreKeys) {
  Held h(FloatKeys(KeyInterp::kLinear, {{0, 1.0f}}));
  theHold.Begin();
  h.ctrl->SetValue(100, 2.0f);
  h.ctrl->SetKeyValue(0, 5.0f);
  theHold.Accept("keys");
  theHold.Undo();
  ASSERT_EQ(h.ctrl->NumKeys(), 1);
  EXPECT_EQ(h.ctrl->GetKey(0).value.x, 1.0f);
  theHold.Redo();
  ASSERT_EQ(h.ctrl->NumKeys(), 2);
  EXPECT_EQ(h.ctrl->GetKey(0).value.x, 5.0f);
  EXPECT_EQ(h.ctrl->GetKey(1).value.x, 2.0f);
  theHold.Reset();
}

TEST(KeyframeControl, CloneCopiesKeysIndependently) {
  Held h(FloatKeys(KeyInterp::kBezier, {{0, 1.0f}, {100, 3.0f}}));
  DefaultRemapDir remap;
  auto* copy = dynamic_cast<KeyframeControl*>(h.ctrl->Clone(remap));
  ASSERT_NE(copy, nullptr);
  ReferenceHolder keep(copy);
  EXPECT_EQ(remap.FindMapping(h.ctrl), copy);
  EXPECT_EQ(copy->ClassID(), BEZIER_FLOAT_CLASS_ID);
  copy->SetKeyValue(0, 9.0f);
  EXPECT_EQ(h.ctrl->GetKey(0).value.x, 1.0f);
  EXPECT_EQ(copy->GetKey(1).value.x, 3.0f);
}

std::vector<uint8_t> SaveWrapped(ReferenceTarget* obj) {
  MemorySave save;
  save.BeginChunk(1);
  obj->Save(&save);
  save.EndChunk();
  return save.Bytes();
}

IOResult LoadWrapped(ReferenceTarget* obj, const std::vector<uint8_t>& bytes) {
  MemoryLoad load(bytes);
  if (load.OpenChunk() != IO_OK) return IO_ERROR;
  return obj->Load(&load);
}

TEST(KeyframeControl, SaveAndLoadRoundTripKeysAndTangents) {
  Held h(FloatKeys(KeyInterp::kBezier, {{0, 1.0f}, {100, 3.0f}, {250, -2.0f}}));
  h.ctrl->SetKeyTangents(1, Point3(0.5f, 0, 0), Point3(-0.5f, 0, 0));
  std::vector<uint8_t> bytes = SaveWrapped(h.ctrl);

  Held loaded(NewKeyframeControl(ControlKind::kFloat, KeyInterp::kBezier));
  ASSERT_EQ(LoadWrapped(loaded.ctrl, bytes), IO_OK);
  ASSERT_EQ(loaded.ctrl->NumKeys(), 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(loaded.ctrl->GetKey(i).time, h.ctrl->GetKey(i).time);
    EXPECT_EQ(loaded.ctrl->GetKey(i).value, h.ctrl->GetKey(i).value);
    EXPECT_EQ(loaded.ctrl->GetKey(i).inTan, h.ctrl->GetKey(i).inTan);
    EXPECT_EQ(loaded.ctrl->GetKey(i).outTan, h.ctrl->GetKey(i).outTan);
  }
  // Another class refuses the data.
  Held other(NewKeyframeControl(ControlKind::kFloat, KeyInterp::kLinear));
  EXPECT_EQ(LoadWrapped(other.ctrl, bytes), IO_ERROR);
}

TEST(KeyframeControl, DamagedDataGivesIoError) {
  struct Damage {
    const char* name;
    uint32_t count;
    int keysWritten;
    bool outOfOrder;
    float value;
  };
  const Damage cases[] = {
      {"huge count", 0x7FFFFFFFu, 1, false, 0.0f}, {"count above keys", 3, 2, false, 0.0f},
      {"keys out of order", 2, 2, true, 0.0f},     {"not a number", 1, 1, false, std::nanf("")},
      {"infinite", 1, 1, false, INFINITY},
  };
  for (const Damage& d : cases) {
    MemorySave save;
    save.BeginChunk(1);
    save.BeginChunk(0x2010);
    save.WriteUInt(d.count);
    for (int k = 0; k < d.keysWritten; ++k) {
      save.WriteInt(d.outOfOrder ? 100 - k : k);
      save.WriteFloat(d.value);
      for (int f = 1; f < 9; ++f) save.WriteFloat(0.0f);
      save.WriteUInt(0);
    }
    save.EndChunk();
    save.EndChunk();
    Held h(NewKeyframeControl(ControlKind::kFloat, KeyInterp::kLinear));
    EXPECT_EQ(LoadWrapped(h.ctrl, save.Bytes()), IO_ERROR) << d.name;
    EXPECT_EQ(h.ctrl->NumKeys(), 0) << d.name;
  }
}

TEST(KeyframeControl, ClassDescriptorsMakeTheirOwnClasses) {
  std::vector<ClassDesc2*> descs;
  GetControllerDescs(descs);
  ASSERT_EQ(descs.size(), 5u);
  for (size_t i = 0; i < descs.size(); ++i) {
    for (size_t j = i + 1; j < descs.size(); ++j) {
      EXPECT_NE(descs[i]->ClassID(), descs[j]->ClassID());
      EXPECT_STRNE(descs[i]->InternalName(), descs[j]->InternalName());
    }
    auto* made = static_cast<ReferenceTarget*>(descs[i]->Create(true));
    ReferenceHolder keep(made);
    auto* ctrl = dynamic_cast<Control*>(made);
    ASSERT_NE(ctrl, nullptr);
    EXPECT_EQ(ctrl->ClassID(), descs[i]->ClassID());
    EXPECT_EQ(ctrl->SuperClassID(), descs[i]->SuperClassID());
    EXPECT_EQ(ctrl->SuperClassID(),
              ctrl->Kind() == ControlKind::kFloat ? CTRL_FLOAT_CLASS_ID : CTRL_POINT3_CLASS_ID);
  }
  EXPECT_EQ(NewKeyframeControl(ControlKind::kPoint3, KeyInterp::kStep), nullptr);
}

}  // namespace
