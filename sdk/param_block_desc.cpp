// ParamBlockDesc2: checking a declared parameter table, lookups, and the
// defaults changed at run time.
#include "sdk/param_block_desc.h"

#include <algorithm>
#include <cmath>

#include "sdk/check.h"
#include "sdk/class_desc.h"
#include "sdk/param_block.h"

ParamBlockDesc2::ParamBlockDesc2(ParamBlockHeader header, std::vector<ParamDef> params)
    : header_(std::move(header)), params_(std::move(params)) {
  TARNIS_CHECK(header_.ownerRef >= 0) << "block '" << header_.internalName << "': ownerRef < 0";
  for (int i = 0; i < Count(); ++i) {
    CheckParam(params_[static_cast<size_t>(i)]);
    byId_.emplace_back(params_[static_cast<size_t>(i)].id, i);
  }
  std::sort(byId_.begin(), byId_.end());
  for (size_t i = 1; i < byId_.size(); ++i) {
    TARNIS_CHECK(byId_[i - 1].first != byId_[i].first)
        << "block '" << header_.internalName << "': parameter id " << byId_[i].first
        << " declared twice";
  }
  for (int i = 0; i < Count(); ++i) {
    TARNIS_CHECK(NameToIndex(params_[static_cast<size_t>(i)].internalName) == i)
        << "block '" << header_.internalName << "': parameter name '"
        << params_[static_cast<size_t>(i)].internalName << "' declared twice";
  }
  if (header_.classDesc) header_.classDesc->AddParamBlockDesc(this);
}

void ParamBlockDesc2::CheckParam(ParamDef& def) {
  const char* block = header_.internalName.c_str();
  TARNIS_CHECK(!def.internalName.empty())
      << "block '" << block << "': parameter " << def.id << " has no internal name";
  TARNIS_CHECK(BaseType(def.type) >= TYPE_FLOAT && BaseType(def.type) <= TYPE_REFTARG)
      << "block '" << block << "': '" << def.internalName << "' has an unknown type";
  const ParamStorage storage = StorageOf(def.type);
  TARNIS_CHECK(!(def.flags & P_ANIMATABLE) || IsAnimatableType(def.type))
      << "block '" << block << "': '" << def.internalName << "' of type " << ParamTypeName(def.type)
      << " cannot be animatable";
  if (def.flags & P_OWNERS_REF) {
    TARNIS_CHECK(storage == ParamStorage::kReference && def.ownerRef >= 0 &&
                 (!IsTabType(def.type) || def.tabSize > 0))
        << "block '" << block << "': '" << def.internalName
        << "' is P_OWNERS_REF but not a reference (or a table of a fixed size) with an ownerRef"
           " slot";
  }
  TARNIS_CHECK(def.tabSize >= 0 && (def.tabSize == 0 || IsTabType(def.type)))
      << "block '" << block << "': '" << def.internalName << "' has a bad tabSize";
  TARNIS_CHECK(def.range.min <= def.range.max)
      << "block '" << block << "': '" << def.internalName << "' has min > max";
  if (storage == ParamStorage::kInt && def.range.Bounded()) {
    TARNIS_CHECK(std::ceil(def.range.min) <= std::floor(def.range.max))
        << "block '" << block << "': '" << def.internalName << "' range holds no integer";
  }
  TARNIS_CHECK(storage != ParamStorage::kReference || def.def.IsEmpty() ||
               def.def == PB2Value(nullptr))
      << "block '" << block << "': reference parameter '" << def.internalName
      << "' cannot have a default";
  TARNIS_CHECK(CoerceParamValue(def.type, def.def))
      << "block '" << block << "': default of '" << def.internalName << "' is not a "
      << ParamTypeName(def.type);
  ClampParamValue(def, def.def);
  if (def.scriptDef.IsEmpty()) def.scriptDef = def.def;
  TARNIS_CHECK(CoerceParamValue(def.type, def.scriptDef))
      << "block '" << block << "': script default of '" << def.internalName << "' is not a "
      << ParamTypeName(def.type);
  ClampParamValue(def, def.scriptDef);
}

void ParamBlockDesc2::SetClassDesc(ClassDesc2* cd) {
  header_.classDesc = cd;
  if (cd) cd->AddParamBlockDesc(this);
}

const ParamDef& ParamBlockDesc2::GetParamDefByIndex(int i) const {
  TARNIS_CHECK(i >= 0 && i < Count()) << "parameter index " << i << " of " << Count();
  return params_[static_cast<size_t>(i)];
}

int ParamBlockDesc2::IDtoIndex(ParamID id) const {
  auto it =
      std::lower_bound(byId_.begin(), byId_.end(), id,
                       [](const std::pair<ParamID, int>& e, ParamID k) { return e.first < k; });
  return it != byId_.end() && it->first == id ? it->second : -1;
}

int ParamBlockDesc2::NameToIndex(std::string_view name) const {
  for (int i = 0; i < Count(); ++i) {
    if (params_[static_cast<size_t>(i)].internalName == name) return i;
  }
  return -1;
}

const ParamDef* ParamBlockDesc2::GetParamDef(ParamID id) const {
  int i = IDtoIndex(id);
  return i < 0 ? nullptr : &params_[static_cast<size_t>(i)];
}

const ParamDef* ParamBlockDesc2::GetParamDefByName(std::string_view name) const {
  int i = NameToIndex(name);
  return i < 0 ? nullptr : &params_[static_cast<size_t>(i)];
}

bool ParamBlockDesc2::SetDefault(ParamID id, PB2Value v) {
  int i = IDtoIndex(id);
  if (i < 0) return false;
  ParamDef& def = params_[static_cast<size_t>(i)];
  if (StorageOf(def.type) == ParamStorage::kReference) return false;
  if (!CoerceParamValue(def.type, v)) return false;
  ClampParamValue(def, v);
  def.def = v;
  def.scriptDef = std::move(v);
  return true;
}

void ParamBlockDesc2::SetDefaultsFrom(IParamBlock2& pb, TimeValue t) {
  TARNIS_CHECK(pb.GetDesc() == this) << "SetDefaultsFrom with a block of another descriptor";
  for (const ParamDef& def : params_) {
    if (IsTabType(def.type) || (def.flags & P_RESET_DEFAULT) || def.accessor ||
        StorageOf(def.type) == ParamStorage::kReference) {
      continue;
    }
    PB2Value v;
    Interval valid = FOREVER;
    if (pb.GetValue(def.id, t, v, valid)) SetDefault(def.id, std::move(v));
  }
}
