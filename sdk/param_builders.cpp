#include "sdk/param_builders.h"

#include <utility>

ParamBlockHeader AutoBlockHeader(int id, std::string internalName, int ownerRef) {
  return {.id = id,
          .internalName = std::move(internalName),
          .ownerRef = ownerRef,
          .flags = P_AUTO_CONSTRUCT};
}

ParamDef FloatSpinnerParam(ParamID id, std::string internalName, ParamType2 type, uint32_t flags,
                           float def, ParamRange range, float spinnerScale) {
  return {.id = id,
          .internalName = std::move(internalName),
          .type = type,
          .flags = flags,
          .def = def,
          .range = range,
          .ui = {.control = ParamControl::kSpinner, .spinnerScale = spinnerScale}};
}

ParamDef IntSpinnerParam(ParamID id, std::string internalName, uint32_t flags, int def,
                         ParamRange range) {
  return {.id = id,
          .internalName = std::move(internalName),
          .type = TYPE_INT,
          .flags = flags,
          .def = def,
          .range = range,
          .ui = {.control = ParamControl::kSpinner}};
}

ParamDef IntComboParam(ParamID id, std::string internalName, uint32_t flags, int def,
                       ParamRange range, std::vector<std::string> items) {
  return {.id = id,
          .internalName = std::move(internalName),
          .type = TYPE_INT,
          .flags = flags,
          .def = def,
          .range = range,
          .ui = {.control = ParamControl::kCombo, .items = std::move(items)}};
}

ParamDef CheckboxParam(ParamID id, std::string internalName, uint32_t flags, bool def) {
  return {.id = id,
          .internalName = std::move(internalName),
          .type = TYPE_BOOL,
          .flags = flags,
          .def = def,
          .ui = {.control = ParamControl::kCheckbox}};
}

ParamDef ColorSwatchParam(ParamID id, std::string internalName, uint32_t flags, Color def) {
  return {.id = id,
          .internalName = std::move(internalName),
          .type = TYPE_RGBA,
          .flags = flags,
          .def = def,
          .ui = {.control = ParamControl::kColorSwatch}};
}

ParamDef OwnedMapParam(ParamID id, std::string internalName, int ownerRef, PBAccessor* accessor) {
  return {.id = id,
          .internalName = std::move(internalName),
          .type = TYPE_TEXMAP,
          .flags = P_OWNERS_REF,
          .ownerRef = ownerRef,
          .accessor = accessor,
          .ui = {.control = ParamControl::kMapButton}};
}

ParamDef NodePickParam(ParamID id, std::string internalName) {
  return {.id = id,
          .internalName = std::move(internalName),
          .type = TYPE_INODE,
          .ui = {.control = ParamControl::kNodeList}};
}

ParamDef EditTextParam(ParamID id, std::string internalName) {
  return {.id = id,
          .internalName = std::move(internalName),
          .type = TYPE_STRING,
          .ui = {.control = ParamControl::kEditText}};
}

ParamDef PlainParam(ParamID id, std::string internalName, ParamType2 type, PB2Value def,
                    ParamRange range) {
  return {.id = id,
          .internalName = std::move(internalName),
          .type = type,
          .def = std::move(def),
          .range = range};
}
