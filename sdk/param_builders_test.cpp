#include "sdk/param_builders.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class RefuseAll : public PBAccessor {};

// Every field of a definition, so that two definitions compare as wholes.
std::string Describe(const ParamDef& d) {
  std::string s = std::to_string(d.id) + " " + d.internalName + " type " + std::to_string(d.type) +
                  " flags " + std::to_string(d.flags) + " def " +
                  std::to_string(d.def.Value().index()) + " range " + std::to_string(d.range.min) +
                  ".." + std::to_string(d.range.max) + " ownerRef " + std::to_string(d.ownerRef) +
                  " tab " + std::to_string(d.tabSize) + " control " +
                  std::to_string(static_cast<int>(d.ui.control)) + " scale " +
                  std::to_string(d.ui.spinnerScale) + " accessor " + (d.accessor ? "set" : "none");
  for (int c : d.ui.ctrlIds) s += " ctrl " + std::to_string(c);
  for (const std::string& item : d.ui.items) s += " item " + item;
  return s;
}

void ExpectSame(const ParamDef& built, const ParamDef& written) {
  EXPECT_EQ(Describe(built), Describe(written));
  EXPECT_TRUE(built.def == written.def) << built.internalName;
  EXPECT_TRUE(built.scriptDef == written.scriptDef) << built.internalName;
  EXPECT_EQ(built.accessor, written.accessor) << built.internalName;
  EXPECT_EQ(built.range.min, written.range.min) << built.internalName;
  EXPECT_EQ(built.range.max, written.range.max) << built.internalName;
  EXPECT_EQ(built.ui.spinnerScale, written.ui.spinnerScale) << built.internalName;
}

// Each builder against the definition written out field by field: stored
// scenes and settings files depend on the definitions staying the same.
TEST(ParamBuilders, BuildTheDefinitionsWrittenOutInFull) {
  RefuseAll accessor;
  struct Case {
    ParamDef built;
    ParamDef written;
  };
  const std::vector<Case> cases = {
      {FloatSpinnerParam(1, "size", TYPE_PCNT_FRAC, P_ANIMATABLE, 16.0f, {0.1f, 100.0f}),
       {.id = 1,
        .internalName = "size",
        .type = TYPE_PCNT_FRAC,
        .flags = P_ANIMATABLE,
        .def = 16.0f,
        .range = {0.1f, 100.0f},
        .ui = {.control = ParamControl::kSpinner}}},
      {FloatSpinnerParam(2, "fine", TYPE_FLOAT, 0, 1.0f, {0.0f, 2.0f}, 0.001f),
       {.id = 2,
        .internalName = "fine",
        .def = 1.0f,
        .range = {0.0f, 2.0f},
        .ui = {.control = ParamControl::kSpinner, .spinnerScale = 0.001f}}},
      {IntSpinnerParam(3, "count", P_ANIMATABLE, 5, {3, 20}),
       {.id = 3,
        .internalName = "count",
        .type = TYPE_INT,
        .flags = P_ANIMATABLE,
        .def = 5,
        .range = {3.0f, 20.0f},
        .ui = {.control = ParamControl::kSpinner}}},
      {IntComboParam(4, "kind", 0, 1, {0, 2}, {"a", "b", "c"}),
       {.id = 4,
        .internalName = "kind",
        .type = TYPE_INT,
        .def = 1,
        .range = {0.0f, 2.0f},
        .ui = {.control = ParamControl::kCombo, .items = {"a", "b", "c"}}}},
      {CheckboxParam(5, "on", P_ANIMATABLE, true),
       {.id = 5,
        .internalName = "on",
        .type = TYPE_BOOL,
        .flags = P_ANIMATABLE,
        .def = true,
        .ui = {.control = ParamControl::kCheckbox}}},
      {ColorSwatchParam(6, "tint", P_ANIMATABLE, Color(0.5f, 0.25f, 1.0f)),
       {.id = 6,
        .internalName = "tint",
        .type = TYPE_RGBA,
        .flags = P_ANIMATABLE,
        .def = Color(0.5f, 0.25f, 1.0f),
        .ui = {.control = ParamControl::kColorSwatch}}},
      {OwnedMapParam(7, "map", 3, &accessor),
       {.id = 7,
        .internalName = "map",
        .type = TYPE_TEXMAP,
        .flags = P_OWNERS_REF,
        .ownerRef = 3,
        .accessor = &accessor,
        .ui = {.control = ParamControl::kMapButton}}},
      {NodePickParam(8, "node"),
       {.id = 8,
        .internalName = "node",
        .type = TYPE_INODE,
        .ui = {.control = ParamControl::kNodeList}}},
      {EditTextParam(9, "name"),
       {.id = 9,
        .internalName = "name",
        .type = TYPE_STRING,
        .ui = {.control = ParamControl::kEditText}}},
      {PlainParam(10, "radii", TYPE_FLOAT_TAB, {}, {0.0f, 1.0f}),
       {.id = 10, .internalName = "radii", .type = TYPE_FLOAT_TAB, .range = {0.0f, 1.0f}}},
  };
  for (const Case& c : cases) ExpectSame(c.built, c.written);
}

TEST(ParamBuilders, AutoBlockHeaderMakesTheBlockInTheGivenSlot) {
  const ParamBlockHeader h = AutoBlockHeader(4, "damp1", 7);
  EXPECT_EQ(h.id, 4);
  EXPECT_EQ(h.internalName, "damp1");
  EXPECT_EQ(h.ownerRef, 7);
  EXPECT_EQ(h.flags, P_AUTO_CONSTRUCT);
  EXPECT_EQ(h.classDesc, nullptr);
}

}  // namespace
