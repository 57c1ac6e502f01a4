// Tests of the class directory and of ClassDesc2's descriptor list.
#include "sdk/class_desc.h"

#include <gtest/gtest.h>

#include "sdk/curve_control.h"
#include "sdk/reference.h"
#include "sdk/testing/test_objects.h"

namespace {

// A descriptor whose ids and names are set per test; Create makes a
// TestTarget whose value says whether it was made for loading.
class TestDesc : public ClassDesc2 {
 public:
  TestDesc(SClass_ID super, Class_ID id, const char* name, bool canCreate = true)
      : super_(super), id_(id), name_(name), canCreate_(canCreate) {}
  int IsPublic() override { return 1; }
  void* Create(bool loading) override {
    if (!canCreate_) return nullptr;
    return static_cast<ReferenceTarget*>(new TestTarget(0, loading ? 1 : 0));
  }
  const char* ClassName() override { return name_; }
  SClass_ID SuperClassID() override { return super_; }
  Class_ID ClassID() override { return id_; }
  const char* Category() override { return "Test"; }

 private:
  SClass_ID super_;
  Class_ID id_;
  const char* name_;
  bool canCreate_;
};

const Class_ID kIdA(0x11110001, 0x2);
const Class_ID kIdB(0x11110002, 0x2);

}  // namespace

TEST(ClassDirectory, AddsEachClassOnceByItsIds) {
  ClassDirectory dir;
  TestDesc a(TEXMAP_CLASS_ID, kIdA, "Tex_A");
  TestDesc sameIds(TEXMAP_CLASS_ID, kIdA, "Tex_A_again");
  TestDesc otherSuper(MATERIAL_CLASS_ID, kIdA, "Mtl_A");
  EXPECT_EQ(dir.AddClass(&a), 1);
  EXPECT_EQ(dir.AddClass(&sameIds), 0);
  EXPECT_EQ(dir.AddClass(&a), 0);
  EXPECT_EQ(dir.AddClass(&otherSuper), 1);  // the superclass is part of the identity
  EXPECT_EQ(dir.AddClass(nullptr), -1);
  EXPECT_EQ(dir.Count(), 2);
  EXPECT_EQ(dir.FindClass(TEXMAP_CLASS_ID, kIdA), &a);
  EXPECT_EQ(dir.FindClass(MATERIAL_CLASS_ID, kIdA), &otherSuper);
  EXPECT_EQ(dir.FindClass(TEXMAP_CLASS_ID, kIdB), nullptr);
}

TEST(ClassDirectory, DeletesByIds) {
  ClassDirectory dir;
  TestDesc a(TEXMAP_CLASS_ID, kIdA, "Tex_A");
  TestDesc b(TEXMAP_CLASS_ID, kIdB, "Tex_B");
  TestDesc sameIdsAsA(TEXMAP_CLASS_ID, kIdA, "Other");
  dir.AddClass(&a);
  dir.AddClass(&b);
  EXPECT_TRUE(dir.DeleteClass(&sameIdsAsA));  // removes a: same ids
  EXPECT_FALSE(dir.DeleteClass(&a));
  EXPECT_FALSE(dir.DeleteClass(nullptr));
  EXPECT_EQ(dir.FindClass(TEXMAP_CLASS_ID, kIdA), nullptr);
  EXPECT_EQ(dir.FindClass(TEXMAP_CLASS_ID, kIdB), &b);
  EXPECT_EQ(dir.Count(), 1);
}

TEST(ClassDirectory, FindsByExactInternalName) {
  ClassDirectory dir;
  TestDesc a(TEXMAP_CLASS_ID, kIdA, "Tarnis_Line");
  TestDesc b(TEXMAP_CLASS_ID, kIdB, "Tarnis_LineSet");
  dir.AddClass(&a);
  dir.AddClass(&b);
  const std::pair<const char*, ClassDesc2*> cases[] = {
      {"Tarnis_Line", &a},     {"Tarnis_LineSet", &b}, {"tarnis_line", nullptr},
      {"Tarnis_Lin", nullptr}, {"", nullptr},
  };
  for (auto [name, expected] : cases)
    EXPECT_EQ(dir.FindClassByInternalName(name), expected) << name;
}

TEST(ClassDirectory, CreatesInstancesOfKnownClassesOnly) {
  ClassDirectory dir;
  TestDesc a(TEXMAP_CLASS_ID, kIdA, "Tex_A");
  TestDesc failing(TEXMAP_CLASS_ID, kIdB, "Tex_B", /*canCreate=*/false);
  dir.AddClass(&a);
  dir.AddClass(&failing);
  for (bool loading : {false, true}) {
    ReferenceHolder made(
        static_cast<ReferenceTarget*>(dir.CreateInstance(TEXMAP_CLASS_ID, kIdA, loading)));
    ASSERT_NE(made.GetAs<TestTarget>(), nullptr);
    EXPECT_EQ(made.GetAs<TestTarget>()->value, loading ? 1 : 0);
  }
  EXPECT_EQ(dir.CreateInstance(MATERIAL_CLASS_ID, kIdA), nullptr);
  EXPECT_EQ(dir.CreateInstance(TEXMAP_CLASS_ID, kIdB), nullptr);
  EXPECT_EQ(TestTarget::Alive(), 0);
}

TEST(ClassDirectory, ProcessDirectoryStartsWithTheSdkClasses) {
  ClassDirectory& dir = GetClassDirectory();
  EXPECT_EQ(&dir, &GetClassDirectory());
  EXPECT_EQ(dir.FindClass(REF_MAKER_CLASS_ID, CURVE_CONTROL_CLASS_ID), GetCurveControlDesc());
  TestDesc a(TEXMAP_CLASS_ID, kIdA, "Tex_A");
  ASSERT_EQ(dir.AddClass(&a), 1);
  ReferenceHolder made(static_cast<ReferenceTarget*>(CreateInstance(TEXMAP_CLASS_ID, kIdA)));
  EXPECT_NE(made.GetAs<TestTarget>(), nullptr);
  EXPECT_TRUE(dir.DeleteClass(&a));
  EXPECT_EQ(CreateInstance(TEXMAP_CLASS_ID, kIdA), nullptr);
}

TEST(ClassDesc2, ListsEachParamBlockDescriptorOnce) {
  TestDesc cd(TEXMAP_CLASS_ID, kIdA, "Tex_A");
  // The list only stores the pointers; these stand in for descriptors.
  alignas(8) char storage[2][8];
  auto* first = reinterpret_cast<ParamBlockDesc2*>(storage[0]);
  auto* second = reinterpret_cast<ParamBlockDesc2*>(storage[1]);
  cd.AddParamBlockDesc(first);
  cd.AddParamBlockDesc(nullptr);
  cd.AddParamBlockDesc(second);
  cd.AddParamBlockDesc(first);
  ASSERT_EQ(cd.NumParamBlockDescs(), 2);
  EXPECT_EQ(cd.GetParamBlockDesc(0), first);
  EXPECT_EQ(cd.GetParamBlockDesc(1), second);
  EXPECT_EQ(cd.GetParamBlockDesc(2), nullptr);
  EXPECT_EQ(cd.GetParamBlockDesc(-1), nullptr);
}
