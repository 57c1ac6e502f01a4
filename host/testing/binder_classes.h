// Small classes for tests of the scene-description reader: a material, a
// map, a render effect with two parameter blocks and typed reference slots,
// and a render element, registered in the class directory under internal
// names "Test_Mtl", "Test_Map", "Test_Effect" and "Test_Element". Their
// parameters cover every kind of value a scene file sets.
#pragma once

#include "sdk/class_desc.h"
#include "sdk/effect.h"
#include "sdk/mtl.h"
#include "sdk/param_block.h"

namespace host::testing {

template <class T>
class TestClassDesc : public ClassDesc2 {
 public:
  TestClassDesc(const char* name, SClass_ID super, Class_ID id)
      : name_(name), super_(super), id_(id) {}
  int IsPublic() override { return 1; }
  void* Create(bool loading) override {
    auto* obj = new T;
    if (!loading) MakeAutoParamBlocks(obj);
    return static_cast<ReferenceTarget*>(obj);
  }
  const char* ClassName() override { return name_; }
  SClass_ID SuperClassID() override { return super_; }
  Class_ID ClassID() override { return id_; }
  const char* Category() override { return "Test"; }

 private:
  const char* name_;
  SClass_ID super_;
  Class_ID id_;
};

// Slot 0 holds the block; further slots as each class says.
template <class Base, int kSlots>
class SlotsOf : public Base {
 public:
  int NumRefs() override { return kSlots; }
  ReferenceTarget* GetReference(int i) override {
    return i >= 0 && i < kSlots ? refs_[i] : nullptr;
  }
  IParamBlock2* Block(int i = 0) { return dynamic_cast<IParamBlock2*>(refs_[i]); }

 protected:
  void SetReference(int i, ReferenceTarget* t) override {
    if (i >= 0 && i < kSlots) refs_[i] = Accept(i, t);
  }
  // What slot i stores of t; typed slots answer null for other classes.
  virtual ReferenceTarget* Accept(int /*i*/, ReferenceTarget* t) { return t; }

 private:
  ReferenceTarget* refs_[kSlots] = {};
};

enum TestMtlParam : ParamID {
  kMtlDiffuse,
  kMtlLevel,
  kMtlCount,
  kMtlTwoSided,
  kMtlMap,
  kMtlLabel,
  kMtlFile,
  kMtlWeights,
  kMtlNodes,
  kMtlPosition,
};

class TestMtl : public SlotsOf<Mtl, 1> {
 public:
  static constexpr Class_ID kID{0x7E570001, 0x11};
  Class_ID ClassID() override { return kID; }
  void Update(TimeValue, Interval&) override {}
  Interval Validity(TimeValue) override { return FOREVER; }
  void Shade(ShadeContext&) override {}
};

class TestMap : public SlotsOf<Texmap, 1> {
 public:
  static constexpr Class_ID kID{0x7E570002, 0x11};
  Class_ID ClassID() override { return kID; }
  void Update(TimeValue, Interval&) override {}
  Interval Validity(TimeValue) override { return FOREVER; }
  AColor EvalColor(ShadeContext&) override { return {}; }
};

enum TestEffectParam : ParamID { kEffectSize, kEffectOwned, kEffectOn = 10 };

// Slots: 0 block "main", 1 block "extra", 2 the owned reference of the
// "owned" parameter, 3 a slot that takes maps only, 4 a slot for anything.
class TestEffect : public SlotsOf<Effect, 5> {
 public:
  static constexpr Class_ID kID{0x7E570003, 0x11};
  Class_ID ClassID() override { return kID; }
  void Apply(TimeValue, Bitmap*, RenderGlobalContext*, CheckAbortCallback*) override {}

 protected:
  ReferenceTarget* Accept(int i, ReferenceTarget* t) override {
    return i == 3 ? dynamic_cast<Texmap*>(t) : t;
  }
};

class TestElement : public SlotsOf<IRenderElement, 1> {
 public:
  static constexpr Class_ID kID{0x7E570004, 0x11};
  Class_ID ClassID() override { return kID; }
};

inline TestClassDesc<TestMtl>& TestMtlDesc() {
  static TestClassDesc<TestMtl> desc("Test_Mtl", MATERIAL_CLASS_ID, TestMtl::kID);
  return desc;
}
inline TestClassDesc<TestMap>& TestMapDesc() {
  static TestClassDesc<TestMap> desc("Test_Map", TEXMAP_CLASS_ID, TestMap::kID);
  return desc;
}
inline TestClassDesc<TestEffect>& TestEffectDesc() {
  static TestClassDesc<TestEffect> desc("Test_Effect", RENDER_EFFECT_CLASS_ID, TestEffect::kID);
  return desc;
}
inline TestClassDesc<TestElement>& TestElementDesc() {
  static TestClassDesc<TestElement> desc("Test_Element", RENDER_ELEMENT_CLASS_ID, TestElement::kID);
  return desc;
}

inline ParamBlockDesc2& TestMtlBlock() {
  static ParamBlockDesc2 desc{
      {.id = 0, .internalName = "main", .classDesc = &TestMtlDesc(), .flags = P_AUTO_CONSTRUCT},
      {
          {.id = kMtlDiffuse,
           .internalName = "diffuse",
           .type = TYPE_RGBA,
           .flags = P_ANIMATABLE,
           .def = Color(0.5f, 0.5f, 0.5f),
           .range = {0.0f, 1.0f}},
          {.id = kMtlLevel,
           .internalName = "level",
           .type = TYPE_PCNT_FRAC,
           .flags = P_ANIMATABLE,
           .def = 50.0f,
           .range = {0.0f, 100.0f}},
          {.id = kMtlCount, .internalName = "count", .type = TYPE_INT, .def = 2, .range = {1, 10}},
          {.id = kMtlTwoSided, .internalName = "twoSided", .type = TYPE_BOOL, .def = false},
          {.id = kMtlMap, .internalName = "map", .type = TYPE_TEXMAP},
          {.id = kMtlLabel, .internalName = "label", .type = TYPE_STRING, .def = ""},
          {.id = kMtlFile, .internalName = "file", .type = TYPE_FILENAME, .def = ""},
          {.id = kMtlWeights,
           .internalName = "weights",
           .type = TYPE_FLOAT_TAB,
           .flags = P_ANIMATABLE,
           .def = 0.0f,
           .range = {-1.0f, 1.0f}},
          {.id = kMtlNodes, .internalName = "nodes", .type = TYPE_INODE_TAB},
          {.id = kMtlPosition, .internalName = "position", .type = TYPE_POINT3},
      }};
  return desc;
}

inline ParamBlockDesc2& TestMapBlock() {
  static ParamBlockDesc2 desc{
      {.id = 0, .internalName = "main", .classDesc = &TestMapDesc(), .flags = P_AUTO_CONSTRUCT},
      {{.id = 0, .internalName = "color", .type = TYPE_RGBA, .def = Color(1, 1, 1)}}};
  return desc;
}

inline ParamBlockDesc2& TestEffectMainBlock() {
  static ParamBlockDesc2 desc{{.id = 0,
                               .internalName = "main",
                               .classDesc = &TestEffectDesc(),
                               .ownerRef = 0,
                               .flags = P_AUTO_CONSTRUCT},
                              {
                                  {.id = kEffectSize,
                                   .internalName = "size",
                                   .type = TYPE_FLOAT,
                                   .flags = P_ANIMATABLE,
                                   .def = 1.0f,
                                   .range = {0.0f, 10.0f}},
                                  {.id = kEffectOwned,
                                   .internalName = "owned",
                                   .type = TYPE_MTL,
                                   .flags = P_OWNERS_REF,
                                   .ownerRef = 2},
                              }};
  return desc;
}

inline ParamBlockDesc2& TestEffectExtraBlock() {
  static ParamBlockDesc2 desc{
      {.id = 1,
       .internalName = "extra",
       .classDesc = &TestEffectDesc(),
       .ownerRef = 1,
       .flags = P_AUTO_CONSTRUCT},
      {{.id = kEffectOn, .internalName = "on", .type = TYPE_BOOL, .def = true}}};
  return desc;
}

inline ParamBlockDesc2& TestElementBlock() {
  static ParamBlockDesc2 desc{
      {.id = 0, .internalName = "main", .classDesc = &TestElementDesc(), .flags = P_AUTO_CONSTRUCT},
      {{.id = 0, .internalName = "strength", .type = TYPE_FLOAT, .def = 1.0f}}};
  return desc;
}

// Binds the block descriptors and puts the classes into the directory.
inline void RegisterBinderTestClasses() {
  TestMtlBlock();
  TestMapBlock();
  TestEffectMainBlock();
  TestEffectExtraBlock();
  TestElementBlock();
  ClassDirectory& dir = GetClassDirectory();
  dir.AddClass(&TestMtlDesc());
  dir.AddClass(&TestMapDesc());
  dir.AddClass(&TestEffectDesc());
  dir.AddClass(&TestElementDesc());
}

}  // namespace host::testing
