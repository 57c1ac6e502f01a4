// ParamBlockDesc2: the descriptor of one parameter block of a class — its id,
// internal name, owner class, the owner's reference slot that holds the block,
// and the table of parameter definitions. Blocks are made from it
// (CreateParameterBlock2) and generic code (scene loader, settings files)
// finds parameters through it by internal name.
//
// Declared as a table:
//   static ParamBlockDesc2 mainDesc{
//       {.id = 0, .internalName = "main", .ownerRef = 0, .flags = P_AUTO_CONSTRUCT},
//       {{.id = kSize, .internalName = "size", .type = TYPE_FLOAT, .flags = P_ANIMATABLE,
//         .def = 1.0f, .range = {0.0f, 100.0f}},
//        {.id = kColor, .internalName = "color", .type = TYPE_RGBA, .def = Color(0, 0, 0)}}};
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sdk/param_def.h"

class ClassDesc2;
class IParamBlock2;

// The block-level part of a descriptor.
struct ParamBlockHeader {
  int id = 0;
  std::string internalName = "";
  // The owner class; may be given later with SetClassDesc. When given here,
  // the ClassDesc2 object must be constructed before this descriptor.
  ClassDesc2* classDesc = nullptr;
  int ownerRef = 0;  // the owner's reference slot that holds the block
  uint32_t flags = 0;
};

class ParamBlockDesc2 {
 public:
  // Checks the table (unique ids and names, defaults of the right type,
  // flags that fit the types) and brings every default into its range.
  // A malformed table is a broken contract.
  ParamBlockDesc2(ParamBlockHeader header, std::vector<ParamDef> params);
  ParamBlockDesc2(const ParamBlockDesc2&) = delete;
  ParamBlockDesc2& operator=(const ParamBlockDesc2&) = delete;

  int ID() const { return header_.id; }
  const std::string& InternalName() const { return header_.internalName; }
  ClassDesc2* GetClassDesc() const { return header_.classDesc; }
  int OwnerRef() const { return header_.ownerRef; }
  uint32_t Flags() const { return header_.flags; }
  // Binds the descriptor to its owner class and lists it there.
  void SetClassDesc(ClassDesc2* cd);

  // Parameters by index (declaration order), id or internal name.
  int Count() const { return static_cast<int>(params_.size()); }
  const ParamDef& GetParamDefByIndex(int i) const;
  // Null for an unknown id / name.
  const ParamDef* GetParamDef(ParamID id) const;
  const ParamDef* GetParamDefByName(std::string_view name) const;
  // -1 when unknown.
  int IDtoIndex(ParamID id) const;
  int NameToIndex(std::string_view name) const;
  ParamID IndexToID(int i) const { return GetParamDefByIndex(i).id; }

  // Changes the default (and the script default) of a parameter for blocks
  // created afterwards; existing blocks keep their values. The value is
  // coerced and clamped like a set; false for an unknown id, a value of the
  // wrong type, or a reference-typed parameter.
  bool SetDefault(ParamID id, PB2Value v);
  // Makes the current values of `pb` at time t the defaults for blocks
  // created afterwards ("last used values"). Tables, references,
  // parameters with an accessor (their reads may be computed) and those
  // marked P_RESET_DEFAULT keep their defaults. `pb` must be a block of this
  // descriptor.
  void SetDefaultsFrom(IParamBlock2& pb, TimeValue t);

 private:
  void CheckParam(ParamDef& def);

  ParamBlockHeader header_;
  std::vector<ParamDef> params_;
  std::vector<std::pair<ParamID, int>> byId_;  // sorted by id
};
