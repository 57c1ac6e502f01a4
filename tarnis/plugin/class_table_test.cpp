#include "tarnis/plugin/class_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

#include "sdk/class_desc.h"
#include "sdk/class_id.h"
#include "sdk/reference.h"

namespace tarnis {
namespace {

struct Row {
  const char* internalName;
  SClass_ID superClass;
  uint32_t idA, idB;
  bool isPublic;
};

// The classes in the order the host counts them: saved scenes and other
// modules find them by id, the class lists show them by name, and only the
// public ones can be made by the user.
constexpr Row kTable[] = {
    {"Tarnis_Stroke", TEXMAP_CLASS_ID, 0x54022257, 0x0814C4F5, false},
    {"Tarnis_Material", MATERIAL_CLASS_ID, 0x54022257, 0x0814C54E, true},
    {"Tarnis_StrokeHolder", MATERIAL_CLASS_ID, 0x54022257, 0x0814C5BB, false},
    {"Tarnis_MaterialExt", MATERIAL_CLASS_ID, 0x54022257, 0x0814C55D, false},
    {"Tarnis_Line", RENDER_EFFECT_CLASS_ID, 0x54022257, 0x0814C613, true},
    {"Tarnis_LineSet", RENDER_EFFECT_CLASS_ID, 0x54022257, 0x0814C617, false},
    {"Tarnis_LineBrush", TEXMAP_CLASS_ID, 0x3C1E671C, 0x7C0F52A1, false},
    {"Tarnis_LineSetting", TEXMAP_CLASS_ID, 0x71460FA7, 0x20262BF2, false},
    {"TarmatExtShader", SHADER_CLASS_ID, 0x54022257, 0x0814EB92, false},
    {"QvPolygonCtrl", REF_TARGET_CLASS_ID, 0x54022257, 0x0814EBFB, false},
    {"Tarnis_MaterialExtHolder", MATERIAL_CLASS_ID, 0x54022257, 0x0814EC6D, false},
    {"Tarnis_Line_Render_Element", RENDER_ELEMENT_CLASS_ID, 0x54022257, 0x08140726, true},
    {"Tarnis_LineRefTex", TEXMAP_CLASS_ID, 0x54022257, 0x0814ED97, true},
    {"Tarnis_LineMergeHelper", HELPER_CLASS_ID, 0x54022257, 0x08141254, true},
    {"Tarnis_FileOut", RENDER_EFFECT_CLASS_ID, 0x8EFB0A76, 0xB9BAC05D, true},
    {"Tarnis_Mat_Render_Element", RENDER_ELEMENT_CLASS_ID, 0x54022257, 0x08140115, false},
};

TEST(ClassTable, HoldsEveryClassInOrderWithItsIdsAndFlags) {
  const auto& table = ClassTable();
  ASSERT_EQ(table.size(), std::size(kTable));
  std::set<std::pair<uint32_t, uint32_t>> ids;
  for (size_t i = 0; i < table.size(); ++i) {
    ClassDesc2* cd = table[i];
    ASSERT_NE(cd, nullptr) << i;
    const Row& want = kTable[i];
    EXPECT_STREQ(cd->InternalName(), want.internalName) << i;
    EXPECT_EQ(cd->SuperClassID(), want.superClass) << want.internalName;
    EXPECT_EQ(cd->ClassID(), Class_ID(want.idA, want.idB)) << want.internalName;
    EXPECT_EQ(cd->IsPublic() != 0, want.isPublic) << want.internalName;
    EXPECT_TRUE(cd->OkToCreate()) << want.internalName;
    EXPECT_EQ(cd->InitialRollupPageState(), 0x7FFFFFFF) << want.internalName;
    EXPECT_TRUE(ids.insert({want.idA, want.idB}).second) << want.internalName;
  }
}

TEST(ClassTable, EveryClassMakesAnInstanceOfItsOwnClass) {
  for (ClassDesc2* cd : ClassTable()) {
    ReferenceHolder made(static_cast<ReferenceTarget*>(cd->Create(false)));
    ASSERT_NE(made.Get(), nullptr) << cd->InternalName();
    EXPECT_EQ(made.Get()->ClassID(), cd->ClassID()) << cd->InternalName();
    EXPECT_EQ(made.Get()->SuperClassID(), cd->SuperClassID()) << cd->InternalName();
  }
}

}  // namespace
}  // namespace tarnis
