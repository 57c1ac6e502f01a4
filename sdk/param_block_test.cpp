// Tests of parameter blocks: defaults, ranges and types, tables and their
// reference slots, undo, animation, Assign, owner references, accessors,
// notifications, cloning, and saving / loading including damaged data.
#include "sdk/param_block.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <tuple>

#include "sdk/class_desc.h"
#include "sdk/hold.h"
#include "sdk/ref_graph.h"
#include "sdk/save_load.h"
#include "sdk/testing/test_objects.h"

namespace {

enum : ParamID {
  kSize = 1,
  kCount,
  kColor,
  kEnabled,
  kPercent,
  kPos,
  kName,
  kFloats,
  kObjects,
  kTarget,
  kMaterial,
  kDoubled,
  kOwnedTable,
};

// Doubles values on set (the block clamps again) and adds 1 on get.
class DoublingAccessor : public PBAccessor {
 public:
  void Get(PB2Value& v, ReferenceMaker* owner, ParamID, int, TimeValue, Interval& valid) override {
    v = v.Get<float>() + 1.0f;
    valid &= Interval(0, 10);
    lastOwner = owner;
  }
  void Set(PB2Value& v, ReferenceMaker* owner, ParamID, int, TimeValue) override {
    v = v.Get<float>() * 2.0f;
    lastOwner = owner;
    ++sets;
  }
  ReferenceMaker* lastOwner = nullptr;
  int sets = 0;
};
DoublingAccessor doubling;

class TestOwnerDesc;
TestOwnerDesc& OwnerDesc();

// An owner with the block in slot 0, its own reference (for a P_OWNERS_REF
// parameter) in slot 1 and two more for a P_OWNERS_REF table in slots 2, 3. It records the parameter of every
// change notice its block sends.
class TestOwner : public ReferenceTarget {
 public:
  static constexpr Class_ID kClassID{0x7E57B10C, 0x2};

  Class_ID ClassID() override { return kClassID; }
  int NumRefs() override { return 4; }
  ReferenceTarget* GetReference(int i) override {
    return i == 0 ? pb_ : (i >= 1 && i <= 3 ? own_[i - 1] : nullptr);
  }
  IParamBlock2* Block() { return pb_; }
  RefResult NotifyRefChanged(const Interval&, ReferenceTarget* target, PartID&,
                             RefMessage message) override {
    if (target == pb_ && message == REFMSG_CHANGE) heard.push_back(pb_->LastNotifyParamID());
    return REF_SUCCEED;
  }
  ReferenceTarget* Clone(RemapDir& remap) override {
    auto* copy = new TestOwner;
    BaseClone(this, copy, remap);
    for (int i = 0; i < NumRefs(); ++i) copy->ReplaceReference(i, remap.CloneRef(GetReference(i)));
    return copy;
  }

  std::vector<ParamID> heard;

 protected:
  void SetReference(int i, ReferenceTarget* target) override {
    if (i == 0) pb_ = dynamic_cast<IParamBlock2*>(target);
    if (i >= 1 && i <= 3) own_[i - 1] = target;
  }

 private:
  IParamBlock2* pb_ = nullptr;
  ReferenceTarget* own_[3] = {};
};

class TestOwnerDesc : public ClassDesc2 {
 public:
  int IsPublic() override { return 1; }
  void* Create(bool loading) override {
    auto* owner = new TestOwner;
    if (!loading) MakeAutoParamBlocks(owner);
    return static_cast<ReferenceTarget*>(owner);
  }
  const char* ClassName() override { return "Test Owner"; }
  SClass_ID SuperClassID() override { return REF_TARGET_CLASS_ID; }
  Class_ID ClassID() override { return TestOwner::kClassID; }
  const char* Category() override { return "Test"; }
};

TestOwnerDesc& OwnerDesc() {
  static TestOwnerDesc desc;
  return desc;
}

// A stand-in material: only its superclass matters here.
class FakeMtl : public TestTarget {
 public:
  SClass_ID SuperClassID() override { return MATERIAL_CLASS_ID; }
};

ParamBlockDesc2& MainDesc() {
  static ParamBlockDesc2 desc{
      {.id = 0,
       .internalName = "main",
       .classDesc = &OwnerDesc(),
       .ownerRef = 0,
       .flags = P_AUTO_CONSTRUCT},
      {
          {.id = kSize,
           .internalName = "size",
           .type = TYPE_WORLD,
           .flags = P_ANIMATABLE,
           .def = 1.0f,
           .range = {0.0f, 100.0f},
           .ui = {.control = ParamControl::kSpinner, .ctrlIds = {1001, 1002}}},
          {.id = kCount,
           .internalName = "count",
           .type = TYPE_INT,
           .flags = P_ANIMATABLE,
           .def = 3,
           .range = {1, 10}},
          {.id = kColor,
           .internalName = "color",
           .type = TYPE_RGBA,
           .flags = P_ANIMATABLE,
           .def = Color(0.5f, 0.25f, 1.0f),
           .range = {0.0f, 1.0f}},
          {.id = kEnabled, .internalName = "enabled", .type = TYPE_BOOL, .def = true},
          {.id = kPercent,
           .internalName = "percent",
           .type = TYPE_PCNT_FRAC,
           .def = 50.0f,
           .range = {0.0f, 100.0f}},
          {.id = kPos, .internalName = "pos", .type = TYPE_POINT3, .flags = P_ANIMATABLE},
          {.id = kName, .internalName = "name", .type = TYPE_STRING, .def = "untitled"},
          {.id = kFloats,
           .internalName = "floats",
           .type = TYPE_FLOAT_TAB,
           .flags = P_ANIMATABLE,
           .def = 0.5f,
           .range = {-1.0f, 1.0f},
           .tabSize = 2},
          {.id = kObjects, .internalName = "objects", .type = TYPE_REFTARG_TAB},
          {.id = kTarget,
           .internalName = "target",
           .type = TYPE_REFTARG,
           .flags = P_OWNERS_REF,
           .ownerRef = 1},
          {.id = kMaterial, .internalName = "material", .type = TYPE_MTL},
          {.id = kDoubled,
           .internalName = "doubled",
           .type = TYPE_FLOAT,
           .def = 2.0f,
           .range = {0.0f, 100.0f},
           .accessor = &doubling},
          {.id = kOwnedTable,
           .internalName = "ownedTable",
           .type = TYPE_REFTARG_TAB,
           .flags = P_OWNERS_REF,
           .ownerRef = 2,
           .tabSize = 2},
      }};
  return desc;
}

// An owner made through its class descriptor, kept alive by a holder.
class ParamBlockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MainDesc();  // binds the descriptor to the owner class
    GetClassDirectory().AddClass(&OwnerDesc());
    GetClassDirectory().AddClass(GetParamBlock2Desc());
    std::vector<ClassDesc2*> controllers;
    GetControllerDescs(controllers);
    for (ClassDesc2* cd : controllers) GetClassDirectory().AddClass(cd);
    owner_.Set(static_cast<ReferenceTarget*>(OwnerDesc().Create(false)));
    owner = owner_.GetAs<TestOwner>();
    pb = owner->Block();
  }
  void TearDown() override { theHold.Reset(); }

  ReferenceHolder owner_;
  TestOwner* owner = nullptr;
  IParamBlock2* pb = nullptr;
};

TEST_F(ParamBlockTest, NewBlocksHoldTheDescriptorDefaults) {
  ASSERT_NE(pb, nullptr);
  EXPECT_EQ(pb->GetOwner(), owner);
  EXPECT_EQ(pb->ID(), 0);
  EXPECT_EQ(pb->GetFloat(kSize), 1.0f);
  EXPECT_EQ(pb->GetInt(kCount), 3);
  EXPECT_EQ(pb->GetColor(kColor), Color(0.5f, 0.25f, 1.0f));
  EXPECT_EQ(pb->GetInt(kEnabled), 1);
  EXPECT_EQ(pb->GetPoint3(kPos), Point3(0.0f, 0.0f, 0.0f));
  EXPECT_EQ(pb->GetStr(kName), "untitled");
  ASSERT_EQ(pb->Count(kFloats), 2);
  EXPECT_EQ(pb->GetFloat(kFloats, 0, 1), 0.5f);
  EXPECT_EQ(pb->Count(kObjects), 0);
  EXPECT_EQ(pb->GetReferenceTarget(kMaterial), nullptr);
  // Slots: size, count, color, pos, two floats entries; the owner's
  // reference and the empty object table take none, the material one.
  EXPECT_EQ(pb->NumRefs(), 7);
}

TEST_F(ParamBlockTest, DescriptorsAreFoundByIdNameAndIndex) {
  ParamBlockDesc2& d = MainDesc();
  EXPECT_EQ(OwnerDesc().GetParamBlockDescByID(0), &d);
  EXPECT_EQ(OwnerDesc().GetParamBlockDescByName("main"), &d);
  EXPECT_EQ(OwnerDesc().GetParamBlockDescByName("other"), nullptr);
  EXPECT_EQ(d.GetParamDefByName("percent")->id, kPercent);
  EXPECT_EQ(d.GetParamDef(kColor)->internalName, "color");
  EXPECT_EQ(d.IndexToID(d.IDtoIndex(kName)), kName);
  EXPECT_EQ(d.IDtoIndex(999), -1);
  EXPECT_EQ(d.GetParamDef(kSize)->ui.ctrlIds, (std::vector<int>{1001, 1002}));
}

TEST_F(ParamBlockTest, SetValuesAreClampedIntoTheirRange) {
  struct Case {
    ParamID id;
    PB2Value in;
    PB2Value stored;
  };
  const Case cases[] = {
      {kSize, 150.0f, 100.0f},
      {kSize, -5.0f, 0.0f},
      {kSize, 42, 42.0f},  // an int sets a float
      {kCount, 0, 1},
      {kCount, 99, 10},
      {kColor, Color(2.0f, -1.0f, 0.5f), Color(1.0f, 0.0f, 0.5f)},
      {kColor, Point3(0.1f, 0.2f, 3.0f), Color(0.1f, 0.2f, 1.0f)},
      {kPercent, 120.0f, 100.0f},
      {kEnabled, 5, 1},
      {kEnabled, false, 0},
      {kFloats, -3.0f, -1.0f},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(pb->SetValue(c.id, 0, c.in)) << c.id;
    PB2Value v;
    Interval valid = FOREVER;
    ASSERT_TRUE(pb->GetValue(c.id, 0, v, valid));
    EXPECT_EQ(v, c.stored) << c.id;
  }
}

TEST_F(ParamBlockTest, WrongTypesUnknownIdsAndBadEntriesAreRefused) {
  ReferenceHolder plain(new TestTarget);
  auto* mtl = new FakeMtl;
  struct Case {
    const char* name;
    ParamID id;
    PB2Value in;
    int tabIndex;
  };
  const Case cases[] = {
      {"text into a float", kSize, "big", 0},
      {"float into an int", kCount, 2.5f, 0},
      {"colour into a string", kName, Color(), 0},
      {"NaN", kSize, std::nanf(""), 0},
      {"unknown id", 999, 1.0f, 0},
      {"entry past the table", kFloats, 0.1f, 2},
      {"entry of a single value", kSize, 1.0f, 1},
      {"a non-material into a material", kMaterial, plain.Get(), 0},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(pb->SetValue(c.id, 0, c.in, c.tabIndex)) << c.name;
  }
  EXPECT_EQ(pb->GetFloat(kSize), 1.0f);
  EXPECT_EQ(pb->GetInt(kCount), 3);
  EXPECT_TRUE(pb->SetValue(kMaterial, 0, mtl));
  EXPECT_EQ(pb->GetRefAs<FakeMtl>(kMaterial), mtl);
  EXPECT_TRUE(pb->SetValue(kMaterial, 0, nullptr));
  int i = 0;
  Interval valid = FOREVER;
  EXPECT_FALSE(pb->GetValue(kSize, 0, i, valid)) << "a float does not read as an int";
}

TEST_F(ParamBlockTest, DefaultChangesReachOnlyLaterBlocks) {
  ParamBlockDesc2 desc{{.id = 5, .internalName = "local"},
                       {{.id = 1, .internalName = "a", .def = 2.0f, .range = {0.0f, 10.0f}},
                        {.id = 2, .internalName = "b", .flags = P_RESET_DEFAULT, .def = 1.0f},
                        {.id = 3, .internalName = "c", .type = TYPE_INT, .def = 4}}};
  ReferenceHolder first(CreateParameterBlock2(&desc, nullptr));
  auto* a = first.GetAs<IParamBlock2>();
  EXPECT_TRUE(desc.SetDefault(1, 50.0f));
  EXPECT_FALSE(desc.SetDefault(1, "text"));
  EXPECT_EQ(desc.GetParamDef(1)->def, PB2Value(10.0f)) << "clamped into the range";
  EXPECT_EQ(desc.GetParamDef(1)->scriptDef, PB2Value(10.0f));
  EXPECT_EQ(a->GetFloat(1), 2.0f);
  ReferenceHolder second(CreateParameterBlock2(&desc, nullptr));
  EXPECT_EQ(second.GetAs<IParamBlock2>()->GetFloat(1), 10.0f);

  // Last-used values become defaults, except where P_RESET_DEFAULT says not.
  a->SetValue(1, 0, 7.0f);
  a->SetValue(2, 0, 9.0f);
  a->SetValue(3, 0, 8);
  desc.SetDefaultsFrom(*a, 0);
  ReferenceHolder third(CreateParameterBlock2(&desc, nullptr));
  auto* c = third.GetAs<IParamBlock2>();
  EXPECT_EQ(c->GetFloat(1), 7.0f);
  EXPECT_EQ(c->GetFloat(2), 1.0f);
  EXPECT_EQ(c->GetInt(3), 8);
}

TEST_F(ParamBlockTest, TablesAppendInsertDeleteAndResize) {
  ASSERT_TRUE(pb->Append(kFloats, 0.25f));
  ASSERT_TRUE(pb->Insert(kFloats, 0, -0.75f));
  EXPECT_FALSE(pb->Insert(kFloats, 5, 0.0f));
  EXPECT_FALSE(pb->Append(kFloats, "x"));
  EXPECT_FALSE(pb->Append(kSize, 1.0f)) << "not a table";
  ASSERT_EQ(pb->Count(kFloats), 4);
  const float expected[] = {-0.75f, 0.5f, 0.5f, 0.25f};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(pb->GetFloat(kFloats, 0, i), expected[i]) << i;
  ASSERT_TRUE(pb->Delete(kFloats, 1, 2));
  EXPECT_FALSE(pb->Delete(kFloats, 1, 5));
  ASSERT_EQ(pb->Count(kFloats), 2);
  EXPECT_EQ(pb->GetFloat(kFloats, 0, 1), 0.25f);
  ASSERT_TRUE(pb->SetCount(kFloats, 4));
  EXPECT_EQ(pb->GetFloat(kFloats, 0, 3), 0.5f) << "new entries take the default";
  EXPECT_FALSE(pb->SetCount(kFloats, -1));
  ASSERT_TRUE(pb->SetCount(kFloats, 0));
  EXPECT_EQ(pb->Count(kFloats), 0);
}

TEST_F(ParamBlockTest, ReferenceTablesKeepObjectsInTheirSlotsThroughInsertAndDelete) {
  int aliveBefore = TestTarget::Alive();
  auto* a = new TestTarget(0, 1);
  auto* b = new TestTarget(0, 2);
  auto* c = new TestTarget(0, 3);
  ASSERT_TRUE(pb->Append(kObjects, a));
  ASSERT_TRUE(pb->Append(kObjects, c));
  ASSERT_TRUE(pb->Insert(kObjects, 1, b));
  // An animated entry before the table must not disturb it.
  ASSERT_NE(pb->MakeAnimated(kFloats, KeyInterp::kLinear, 1), nullptr);
  ReferenceTarget* order[] = {a, b, c};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(pb->GetReferenceTarget(kObjects, 0, i), order[i]) << i;
    EXPECT_EQ(pb->GetReference(pb->GetRefIndex(kObjects, i)), order[i]) << i;
  }
  EXPECT_EQ(pb->GetReference(pb->GetRefIndex(kFloats, 1)), pb->GetController(kFloats, 1));
  ASSERT_TRUE(pb->Delete(kObjects, 0, 2));
  EXPECT_EQ(pb->GetReferenceTarget(kObjects, 0, 0), c);
  EXPECT_EQ(TestTarget::Alive(), aliveBefore + 1) << "released entries are freed";
  EXPECT_EQ(c->NumDependents(), 1);
}

TEST_F(ParamBlockTest, UndoAndRedoRestoreValues) {
  // One change, several in one entry, a nested hold, a cancelled hold.
  theHold.Begin();
  pb->SetValue(kSize, 0, 5.0f);
  theHold.Accept("one");
  theHold.Begin();
  pb->SetValue(kSize, 0, 6.0f);
  pb->SetValue(kColor, 0, Color(1, 0, 0));
  theHold.Begin();
  pb->SetValue(kName, 0, "inner");
  theHold.Accept("inner");
  theHold.Accept("several");
  theHold.Begin();
  pb->SetValue(kCount, 0, 9);
  theHold.Cancel();
  EXPECT_EQ(pb->GetInt(kCount), 3) << "cancel restores";
  EXPECT_EQ(theHold.NumUndoEntries(), 2);

  ASSERT_TRUE(theHold.Undo());
  EXPECT_EQ(pb->GetFloat(kSize), 5.0f);
  EXPECT_EQ(pb->GetColor(kColor), Color(0.5f, 0.25f, 1.0f));
  EXPECT_EQ(pb->GetStr(kName), "untitled");
  ASSERT_TRUE(theHold.Undo());
  EXPECT_EQ(pb->GetFloat(kSize), 1.0f);
  ASSERT_TRUE(theHold.Redo());
  ASSERT_TRUE(theHold.Redo());
  EXPECT_EQ(pb->GetFloat(kSize), 6.0f);
  EXPECT_EQ(pb->GetColor(kColor), Color(1, 0, 0));
  EXPECT_EQ(pb->GetStr(kName), "inner");
}

TEST_F(ParamBlockTest, UndoRestoresTablesWithTheirReferences) {
  auto* a = new TestTarget(0, 1);
  auto* b = new TestTarget(0, 2);
  pb->Append(kObjects, a);
  pb->Append(kObjects, b);
  theHold.Begin();
  pb->Delete(kObjects, 0, 1);
  pb->Insert(kFloats, 1, 0.125f);
  theHold.Accept("tables");
  ASSERT_TRUE(theHold.Undo());
  ASSERT_EQ(pb->Count(kObjects), 2);
  EXPECT_EQ(pb->GetReferenceTarget(kObjects, 0, 0), a);
  EXPECT_EQ(pb->GetReferenceTarget(kObjects, 0, 1), b);
  EXPECT_EQ(pb->Count(kFloats), 2);
  ASSERT_TRUE(theHold.Redo());
  ASSERT_EQ(pb->Count(kObjects), 1);
  EXPECT_EQ(pb->GetReferenceTarget(kObjects, 0, 0), b);
  EXPECT_EQ(pb->GetFloat(kFloats, 0, 1), 0.125f);
}

TEST_F(ParamBlockTest, UndoTakesBackControllersAndTheirKeys) {
  theHold.Begin();
  pb->MakeAnimated(kSize, KeyInterp::kLinear);
  pb->SetValue(kSize, 100, 50.0f);
  theHold.Accept("animate");
  theHold.Begin();
  pb->SetValue(kSize, 200, 80.0f);
  theHold.Accept("key");

  ASSERT_TRUE(theHold.Undo());
  ASSERT_TRUE(pb->IsAnimated(kSize));
  EXPECT_EQ(pb->GetController(kSize)->NumKeys(), 1);
  ASSERT_TRUE(theHold.Undo());
  EXPECT_FALSE(pb->IsAnimated(kSize));
  EXPECT_EQ(pb->GetFloat(kSize, 100), 1.0f);
  ASSERT_TRUE(theHold.Redo());
  EXPECT_EQ(pb->GetFloat(kSize, 100), 50.0f);
  ASSERT_TRUE(theHold.Redo());
  EXPECT_EQ(pb->GetFloat(kSize, 200), 80.0f);
}

TEST_F(ParamBlockTest, AnimatedParametersInterpolateKeysSetThroughTheBlock) {
  Control* c = pb->MakeAnimated(kSize, KeyInterp::kLinear);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(pb->GetFloat(kSize, 500), 1.0f) << "no keys: the value it had";
  pb->SetValue(kSize, 0, 10.0f);
  pb->SetValue(kSize, 100, 200.0f);  // clamped to 100 before it becomes a key
  EXPECT_EQ(c->NumKeys(), 2);
  float v = 0.0f;
  Interval valid = FOREVER;
  ASSERT_TRUE(pb->GetValue(kSize, 25, v, valid));
  EXPECT_NEAR(v, 32.5f, 1e-4f);
  EXPECT_EQ(valid, Interval(25, 25));
  valid = FOREVER;
  pb->GetValue(kSize, 300, v, valid);
  EXPECT_EQ(valid, Interval(100, TIME_PosInfinity));

  // Ints step; colours animate per component.
  ASSERT_NE(pb->MakeAnimated(kCount, KeyInterp::kBezier), nullptr);
  pb->SetValue(kCount, 0, 2);
  pb->SetValue(kCount, 100, 8);
  valid = FOREVER;
  int i = 0;
  pb->GetValue(kCount, 99, i, valid);
  EXPECT_EQ(i, 2);
  EXPECT_EQ(valid, Interval(0, 99));
  pb->MakeAnimated(kColor, KeyInterp::kLinear);
  pb->SetValue(kColor, 0, Color(0, 0, 0));
  pb->SetValue(kColor, 100, Color(1, 0.5f, 0));
  EXPECT_EQ(pb->GetColor(kColor, 50), Color(0.5f, 0.25f, 0.0f));
  EXPECT_EQ(pb->GetValidity(50), Interval(50, 50));
  EXPECT_EQ(pb->GetValidity(-10), Interval(TIME_NegInfinity, 0));
  EXPECT_EQ(pb->MakeAnimated(kName), nullptr) << "strings cannot be animated";

  ASSERT_TRUE(pb->RemoveController(kSize, 0, 50));
  EXPECT_FALSE(pb->IsAnimated(kSize));
  EXPECT_NEAR(pb->GetFloat(kSize, 1000), 55.0f, 1e-4f);
}

TEST_F(ParamBlockTest, ControllersOfTheWrongKindAreRefused) {
  ReferenceHolder point3(NewKeyframeControl(ControlKind::kPoint3, KeyInterp::kLinear));
  ReferenceHolder floats(NewKeyframeControl(ControlKind::kFloat, KeyInterp::kLinear));
  EXPECT_FALSE(pb->SetController(kSize, 0, point3.GetAs<Control>()));
  EXPECT_FALSE(pb->SetController(kName, 0, floats.GetAs<Control>()));
  EXPECT_TRUE(pb->SetController(kPos, 0, point3.GetAs<Control>()));
  EXPECT_EQ(pb->GetController(kPos), point3.Get());
}

TEST_F(ParamBlockTest, AssignClonesAnimationOrRemovesIt) {
  ReferenceHolder otherHolder(static_cast<ReferenceTarget*>(OwnerDesc().Create(false)));
  IParamBlock2* other = otherHolder.GetAs<TestOwner>()->Block();
  Control* src = other->MakeAnimated(kSize, KeyInterp::kLinear);
  other->SetValue(kSize, 0, 0.0f);
  other->SetValue(kSize, 100, 10.0f);

  ASSERT_TRUE(pb->Assign(kSize, other, kSize));
  Control* copy = pb->GetController(kSize);
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy, src) << "a clone, not shared";
  EXPECT_NEAR(pb->GetFloat(kSize, 50), 5.0f, 1e-4f);
  other->SetValue(kSize, 100, 90.0f);
  EXPECT_NEAR(pb->GetFloat(kSize, 50), 5.0f, 1e-4f);

  other->RemoveController(kSize, 0, 0);
  other->SetValue(kSize, 0, 33.0f);
  ASSERT_TRUE(pb->Assign(kSize, other, kSize));
  EXPECT_FALSE(pb->IsAnimated(kSize));
  EXPECT_EQ(pb->GetFloat(kSize, 50), 33.0f);
  EXPECT_FALSE(pb->Assign(kSize, other, kName)) << "a string does not fit a float";
}

TEST_F(ParamBlockTest, OwnersReferenceParametersUseTheOwnersSlot) {
  auto* t = new TestTarget;
  ASSERT_TRUE(pb->SetValue(kTarget, 0, t));
  EXPECT_EQ(owner->GetReference(1), t);
  EXPECT_EQ(pb->GetReferenceTarget(kTarget), t);
  owner->ReplaceReference(1, nullptr);
  EXPECT_EQ(pb->GetReferenceTarget(kTarget), nullptr);

  ReferenceHolder orphan(CreateParameterBlock2(&MainDesc(), nullptr));
  ReferenceHolder other(new TestTarget);
  EXPECT_FALSE(orphan.GetAs<IParamBlock2>()->SetValue(kTarget, 0, other.Get()))
      << "no owner to hold it";
}

TEST_F(ParamBlockTest, OwnersReferenceTablesKeepOneOwnerSlotPerEntryAndTheirSize) {
  auto* a = new TestTarget;
  auto* b = new TestTarget;
  ASSERT_EQ(pb->Count(kOwnedTable), 2);
  ASSERT_TRUE(pb->SetValue(kOwnedTable, 0, a, 1));
  ASSERT_TRUE(pb->SetValue(kOwnedTable, 0, b, 0));
  EXPECT_EQ(owner->GetReference(2), b);
  EXPECT_EQ(owner->GetReference(3), a);
  EXPECT_EQ(pb->GetReferenceTarget(kOwnedTable, 0, 1), a);
  EXPECT_FALSE(pb->SetValue(kOwnedTable, 0, a, 2)) << "past the owner's slots";

  EXPECT_TRUE(pb->SetCount(kOwnedTable, 2));
  EXPECT_FALSE(pb->SetCount(kOwnedTable, 3));
  EXPECT_FALSE(pb->SetCount(kOwnedTable, 1));
  EXPECT_FALSE(pb->Append(kOwnedTable, PB2Value(nullptr)));
  EXPECT_FALSE(pb->Delete(kOwnedTable, 0, 1));
  EXPECT_EQ(pb->Count(kOwnedTable), 2);
  EXPECT_EQ(owner->GetReference(2), b) << "a refused resize leaves the slots";
}

TEST_F(ParamBlockTest, AccessorsSeeAndChangeValues) {
  EXPECT_EQ(pb->GetFloat(kDoubled), 3.0f) << "get adds 1 to the default 2";
  ASSERT_TRUE(pb->SetValue(kDoubled, 0, 30.0f));
  EXPECT_EQ(pb->GetFloat(kDoubled), 61.0f);
  ASSERT_TRUE(pb->SetValue(kDoubled, 0, 70.0f));
  EXPECT_EQ(pb->GetFloat(kDoubled), 101.0f) << "140 clamped to 100 after the accessor";
  EXPECT_EQ(doubling.lastOwner, owner);
  Interval valid = FOREVER;
  float v = 0.0f;
  pb->GetValue(kDoubled, 5, v, valid);
  EXPECT_EQ(valid, Interval(0, 10));
}

TEST_F(ParamBlockTest, ChangeNoticesNameTheParameter) {
  pb->SetValue(kColor, 0, Color(0, 1, 0));
  pb->SetValue(kName, 0, "x");
  pb->Append(kFloats, 0.0f);
  ASSERT_GE(owner->heard.size(), 3u);
  EXPECT_EQ(owner->heard[0], kColor);
  EXPECT_EQ(owner->heard[1], kName);
  EXPECT_EQ(owner->heard.back(), kFloats);
  EXPECT_EQ(pb->LastNotifyTabIndex(), 2);
  // A key edited on the controller itself reaches the owner as its parameter.
  Control* c = pb->MakeAnimated(kPos, KeyInterp::kLinear);
  pb->SetValue(kName, 0, "y");
  c->SetValue(10, Point3(1, 2, 3));
  EXPECT_EQ(owner->heard.back(), kPos);
}

TEST_F(ParamBlockTest, SubAnimsListAnimatableEntries) {
  pb->MakeAnimated(kFloats, KeyInterp::kLinear, 1);
  ASSERT_EQ(pb->NumSubs(), 6);  // size, count, color, pos, floats[0], floats[1]
  EXPECT_EQ(pb->SubAnimName(0), CStr("size"));
  EXPECT_EQ(pb->SubAnimName(5), CStr("floats[1]"));
  EXPECT_EQ(pb->SubAnim(4), nullptr);
  EXPECT_EQ(pb->SubAnim(5), pb->GetController(kFloats, 1));
}

TEST_F(ParamBlockTest, CloningCopiesValuesAndClonesControllers) {
  pb->SetValue(kName, 0, "source");
  pb->MakeAnimated(kSize, KeyInterp::kLinear);
  pb->SetValue(kSize, 0, 1.0f);
  pb->SetValue(kSize, 100, 3.0f);
  ReferenceHolder copyHolder(CloneRefHierarchy(owner));
  auto* copy = copyHolder.GetAs<TestOwner>();
  ASSERT_NE(copy, nullptr);
  IParamBlock2* cpb = copy->Block();
  ASSERT_NE(cpb, nullptr);
  ASSERT_NE(cpb, pb);
  EXPECT_EQ(cpb->GetOwner(), copy);
  EXPECT_EQ(cpb->GetStr(kName), "source");
  EXPECT_NE(cpb->GetController(kSize), pb->GetController(kSize));
  EXPECT_NEAR(cpb->GetFloat(kSize, 50), 2.0f, 1e-4f);
}

TEST_F(ParamBlockTest, SavedGraphsLoadWithValuesTablesControllersAndReferences) {
  pb->SetValue(kSize, 0, 4.0f);
  pb->SetValue(kName, 0, "saved");
  pb->SetValue(kEnabled, 0, false);
  pb->SetCount(kFloats, 3);
  pb->SetValue(kFloats, 0, -0.5f, 2);
  pb->MakeAnimated(kColor, KeyInterp::kLinear);
  pb->SetValue(kColor, 0, Color(0, 0, 0));
  pb->SetValue(kColor, 100, Color(1, 1, 1));
  pb->Append(kObjects, new TestTarget);
  pb->Append(kObjects, nullptr);
  pb->SetValue(kTarget, 0, new TestTarget);

  MemorySave save;
  ReferenceTarget* roots[] = {owner};
  // TestTarget has no class descriptor here: the graph leaves those out.
  std::string error;
  ASSERT_TRUE(SaveReferenceGraph(save, roots, &error)) << error;
  GraphLoadResult loaded = LoadReferenceGraph(save.Bytes());
  ASSERT_TRUE(loaded) << loaded.error;
  auto* lowner = dynamic_cast<TestOwner*>(loaded.graph->Root(0));
  ASSERT_NE(lowner, nullptr);
  IParamBlock2* lpb = lowner->Block();
  ASSERT_NE(lpb, nullptr);
  EXPECT_EQ(lpb->GetDesc(), &MainDesc());
  EXPECT_EQ(lpb->GetOwner(), lowner);
  EXPECT_EQ(lpb->GetFloat(kSize), 4.0f);
  EXPECT_EQ(lpb->GetStr(kName), "saved");
  EXPECT_EQ(lpb->GetInt(kEnabled), 0);
  ASSERT_EQ(lpb->Count(kFloats), 3);
  EXPECT_EQ(lpb->GetFloat(kFloats, 0, 2), -0.5f);
  EXPECT_EQ(lpb->Count(kObjects), 2);
  ASSERT_TRUE(lpb->IsAnimated(kColor));
  EXPECT_EQ(lpb->GetColor(kColor, 50), Color(0.5f, 0.5f, 0.5f));
  EXPECT_EQ(lpb->NumRefs(), pb->NumRefs());
}

std::vector<uint8_t> SaveBlock(IParamBlock2* pb) {
  MemorySave save;
  save.BeginChunk(1);
  pb->Save(&save);
  save.EndChunk();
  return save.Bytes();
}

IOResult LoadBlock(IParamBlock2* pb, MemoryLoad& load) {
  if (load.OpenChunk() != IO_OK) return IO_ERROR;
  return pb->Load(&load);
}

// An empty block as the graph reader makes it, kept alive by `holder`.
IParamBlock2* EmptyBlock(ReferenceHolder& holder) {
  holder.Set(static_cast<ReferenceTarget*>(GetParamBlock2Desc()->Create(true)));
  return holder.GetAs<IParamBlock2>();
}

TEST_F(ParamBlockTest, LoadingMatchesParametersByIdAndKeepsDefaultsForTheRest) {
  // Hand-written block data: an unknown id, a type that changed, and no
  // entry for most parameters.
  MemorySave save;
  save.BeginChunk(1);
  save.BeginChunk(0x3000);
  save.WriteUInt(TestOwner::kClassID.PartA());
  save.WriteUInt(TestOwner::kClassID.PartB());
  save.WriteUInt(REF_TARGET_CLASS_ID);
  save.WriteInt(0);
  save.EndChunk();
  for (auto [id, type, value] :
       {std::tuple{500, int{TYPE_FLOAT}, 1.0f}, std::tuple{int{kCount}, int{TYPE_FLOAT}, 7.0f},
        std::tuple{int{kSize}, int{TYPE_WORLD}, 250.0f}}) {
    save.BeginChunk(0x3010);
    save.WriteInt(id);
    save.WriteInt(type);
    save.WriteUInt(1);
    save.WriteFloat(value);
    save.EndChunk();
  }
  save.EndChunk();
  ReferenceHolder fresh;
  IParamBlock2* lpb = EmptyBlock(fresh);
  MemoryLoad load(save.Bytes());
  ASSERT_EQ(LoadBlock(lpb, load), IO_OK);
  EXPECT_EQ(lpb->GetInt(kCount), 3) << "type changed: default kept";
  EXPECT_EQ(load.Warnings().size(), 1u);
  EXPECT_EQ(lpb->GetFloat(kSize), 100.0f) << "loaded values are clamped too";
  EXPECT_EQ(lpb->GetStr(kName), "untitled");
  EXPECT_EQ(lpb->Count(kFloats), 2);
}

TEST_F(ParamBlockTest, DamagedBlockDataGivesIoErrorWithoutCrashing) {
  pb->SetCount(kFloats, 5);
  pb->SetValue(kName, 0, "a longer name to cut");
  std::vector<uint8_t> bytes = SaveBlock(pb);

  // A cut inside the header chunk (which comes first) always fails; any
  // other cut must fail or stop cleanly at a chunk boundary.
  for (size_t cut = 7; cut < bytes.size(); ++cut) {
    std::vector<uint8_t> part(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
    uint32_t len = static_cast<uint32_t>(cut - 6);
    std::memcpy(part.data() + 2, &len, 4);
    ReferenceHolder fresh;
    MemoryLoad load(part);
    IOResult r = LoadBlock(EmptyBlock(fresh), load);
    if (cut < 6 + 6 + 16) {
      EXPECT_EQ(r, IO_ERROR) << cut;
    }
  }

  // A table count far beyond the chunk.
  MemorySave save;
  save.BeginChunk(1);
  save.BeginChunk(0x3000);
  save.WriteUInt(TestOwner::kClassID.PartA());
  save.WriteUInt(TestOwner::kClassID.PartB());
  save.WriteUInt(REF_TARGET_CLASS_ID);
  save.WriteInt(0);
  save.EndChunk();
  for (int id : {int{kFloats}, int{kObjects}}) {
    save.BeginChunk(0x3010);
    save.WriteInt(id);
    save.WriteInt(MainDesc().GetParamDef(static_cast<ParamID>(id))->type);
    save.WriteUInt(0xFFFFFFF0u);
    save.WriteFloat(0.0f);
    save.EndChunk();
  }
  save.EndChunk();
  ReferenceHolder fresh;
  MemoryLoad hugeLoad(save.Bytes());
  EXPECT_EQ(LoadBlock(EmptyBlock(fresh), hugeLoad), IO_ERROR);

  // A block of a class nobody knows loads without a descriptor and keeps
  // its data unread, for the graph reader to keep as it was saved.
  std::vector<uint8_t> unknown = SaveBlock(pb);
  unknown[6 + 6] ^= 0xFF;  // first byte of the owner class id
  ReferenceHolder other;
  MemoryLoad unknownLoad(unknown);
  IParamBlock2* orphan = EmptyBlock(other);
  EXPECT_EQ(LoadBlock(orphan, unknownLoad), IO_OK);
  EXPECT_EQ(orphan->GetDesc(), nullptr);
  EXPECT_FALSE(orphan->TakeUnreadData().empty());
}

}  // namespace
