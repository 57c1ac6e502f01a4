#include "tarnis/common/plugin_class_desc.h"

#include <gtest/gtest.h>

#include <memory>
#include <new>

namespace tarnis {

// Test classes: one made from the loading flag whose allocation can be made
// to fail, one made by its default constructor.
struct LoadingProbe : ReferenceTarget {
  explicit LoadingProbe(bool loading) : loading(loading) {}
  static void* operator new(size_t size) {
    if (failNext) throw std::bad_alloc();
    return ::operator new(size);
  }
  static void operator delete(void* p) { ::operator delete(p); }
  static inline bool failNext = false;
  bool loading;
};

struct PlainProbe : ReferenceTarget {};

template <>
struct PluginClassTraits<LoadingProbe> {
  static constexpr bool kPublic = true;
  static constexpr const char* kInternalName = "Test_LoadingProbe";
  static constexpr const char* kClassName = "loading probe";
  static constexpr SClass_ID kSuperClassID = REF_TARGET_CLASS_ID;
  static constexpr Class_ID kClassID = Class_ID(0x1234, 0x5678);
  static constexpr const char* kCategory = "probes";
  static inline int bindCalls = 0;
  static inline int blocksSeenByBind = -1;
  static void BindBlocks(ClassDesc2* cd) {
    ++bindCalls;
    blocksSeenByBind = cd->NumParamBlockDescs();
  }
};

template <>
struct PluginClassTraits<PlainProbe> {
  static constexpr bool kPublic = false;
  static constexpr const char* kInternalName = "Test_PlainProbe";
  static constexpr const char* kClassName = "plain probe";
  static constexpr SClass_ID kSuperClassID = TEXMAP_CLASS_ID;
  static constexpr Class_ID kClassID = Class_ID(0x1234, 0x5679);
  static constexpr const char* kCategory = "";
};

namespace {

template <class T>
std::unique_ptr<T> Made(void* created) {
  return std::unique_ptr<T>(dynamic_cast<T*>(static_cast<ReferenceTarget*>(created)));
}

TEST(PluginClassDesc, StatesTheTraitsOfItsClass) {
  ClassDesc2* cd = PluginClassDesc<LoadingProbe>::Get();
  EXPECT_EQ(cd->IsPublic(), 1);
  EXPECT_STREQ(cd->InternalName(), "Test_LoadingProbe");
  EXPECT_STREQ(cd->ClassName(), "loading probe");
  EXPECT_EQ(cd->SuperClassID(), REF_TARGET_CLASS_ID);
  EXPECT_EQ(cd->ClassID(), Class_ID(0x1234, 0x5678));
  EXPECT_STREQ(cd->Category(), "probes");
  EXPECT_EQ(cd->HInstance(), GetModuleHandle());

  ClassDesc2* plain = PluginClassDesc<PlainProbe>::Get();
  EXPECT_EQ(plain->IsPublic(), 0);
  EXPECT_EQ(plain->SuperClassID(), TEXMAP_CLASS_ID);
  EXPECT_NE(plain, cd);
}

TEST(PluginClassDesc, BindsTheBlocksOnceBeforeFirstUse) {
  ClassDesc2* first = PluginClassDesc<LoadingProbe>::Get();
  ClassDesc2* again = PluginClassDesc<LoadingProbe>::Get();
  EXPECT_EQ(first, again);
  EXPECT_EQ(PluginClassTraits<LoadingProbe>::bindCalls, 1);
  EXPECT_EQ(PluginClassTraits<LoadingProbe>::blocksSeenByBind, 0);
}

TEST(PluginClassDesc, CreatesWithTheLoadingFlagOrTheDefaultConstructor) {
  ClassDesc2* cd = PluginClassDesc<LoadingProbe>::Get();
  for (bool loading : {false, true}) {
    auto made = Made<LoadingProbe>(cd->Create(loading));
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->loading, loading);
  }
  EXPECT_NE(Made<PlainProbe>(PluginClassDesc<PlainProbe>::Get()->Create(false)), nullptr);
}

TEST(PluginClassDesc, CreateAnswersNullWhenMemoryRunsOut) {
  LoadingProbe::failNext = true;
  void* made = PluginClassDesc<LoadingProbe>::Get()->Create(false);
  LoadingProbe::failNext = false;
  EXPECT_EQ(made, nullptr);
}

}  // namespace
}  // namespace tarnis
