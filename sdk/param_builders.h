// Builders for the common shapes of parameter definitions: one function per
// kind of control (spinner, combo, checkbox, colour swatch, map button, node
// list, text field) and one for values edited by no control (tables, stored
// settings). Each sets exactly the ParamDef fields its arguments name and
// leaves the rest at ParamDef's defaults, so a table built from them reads
// as a list of parameters and stores the same definitions as the
// designated-initializer form:
//   static ParamBlockDesc2 desc{
//       AutoBlockHeader(0, "main", kMainRef),
//       {FloatSpinnerParam(kSize, "size", TYPE_FLOAT, P_ANIMATABLE, 1.0f, {0.1f, 100.0f}),
//        CheckboxParam(kEnable, "enable", P_ANIMATABLE, true)}};
// Definitions with other combinations are written out as ParamDef tables.
#pragma once

#include <string>
#include <vector>

#include "sdk/color.h"
#include "sdk/param_block_desc.h"
#include "sdk/param_def.h"

// The header of a block its owner makes itself (P_AUTO_CONSTRUCT) and keeps
// in its reference slot `ownerRef`.
ParamBlockHeader AutoBlockHeader(int id, std::string internalName, int ownerRef);

// A float-like parameter (TYPE_FLOAT, TYPE_ANGLE, TYPE_PCNT_FRAC, TYPE_WORLD)
// edited with a spinner that moves `spinnerScale` per step.
ParamDef FloatSpinnerParam(ParamID id, std::string internalName, ParamType2 type, uint32_t flags,
                           float def, ParamRange range,
                           float spinnerScale = ParamUI{}.spinnerScale);

// An integer edited with a spinner.
ParamDef IntSpinnerParam(ParamID id, std::string internalName, uint32_t flags, int def,
                         ParamRange range);

// An integer chosen from a list; entry i of `items` names value i.
ParamDef IntComboParam(ParamID id, std::string internalName, uint32_t flags, int def,
                       ParamRange range, std::vector<std::string> items);

// An on / off switch (TYPE_BOOL) shown as a checkbox.
ParamDef CheckboxParam(ParamID id, std::string internalName, uint32_t flags, bool def);

// A colour (TYPE_RGBA) shown as a swatch.
ParamDef ColorSwatchParam(ParamID id, std::string internalName, uint32_t flags, Color def);

// A texture map held in the owner's reference slot `ownerRef`
// (P_OWNERS_REF), chosen with a map button; `accessor` may refuse maps.
ParamDef OwnedMapParam(ParamID id, std::string internalName, int ownerRef,
                       PBAccessor* accessor = nullptr);

// A scene node (TYPE_INODE) held by the block, picked from a node list.
ParamDef NodePickParam(ParamID id, std::string internalName);

// A text (TYPE_STRING) typed into an edit field.
ParamDef EditTextParam(ParamID id, std::string internalName);

// A value no control edits: tables, file names, settings chosen elsewhere.
// An empty `def` is the type's zero.
ParamDef PlainParam(ParamID id, std::string internalName, ParamType2 type, PB2Value def = {},
                    ParamRange range = {});
