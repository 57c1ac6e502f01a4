// IParamBlock2 persistence and copying: Save / Load of the plain values and
// table sizes (reference slots are the graph writer's), Clone, and the class
// descriptor that makes empty blocks for loading.
//
// Layout: a header chunk (owner class id, owner superclass, block id), then
// one chunk per parameter: id, type, entry count, and per entry a float, an
// int, three floats (colour, Point3), a string, or for reference-typed
// parameters one byte telling whether the slot held a target. Every entry
// takes at least one byte, so a count is always checked against the chunk.
#include <utility>
#include "sdk/param_block.h"

#include <climits>
#include <string>

#include "sdk/class_desc.h"
#include "sdk/hold.h"
#include "sdk/save_load.h"

namespace {

constexpr uint16_t kHeaderChunk = 0x3000;
constexpr uint16_t kParamChunk = 0x3010;

size_t MinSavedBytes(ParamStorage s) {
  switch (s) {
    case ParamStorage::kFloat:
    case ParamStorage::kInt:
      return 4;
    case ParamStorage::kColor:
    case ParamStorage::kPoint3:
      return 12;
    case ParamStorage::kString:
      return 4;  // the length
    case ParamStorage::kReference:
      return 1;
  }
  return 1;
}

void WriteTriple(ISave* isave, float a, float b, float c) {
  isave->WriteFloat(a);
  isave->WriteFloat(b);
  isave->WriteFloat(c);
}

void WriteEntryValue(ISave* isave, ParamStorage s, const PB2Value& v, bool hasRef) {
  switch (s) {
    case ParamStorage::kFloat:
      isave->WriteFloat(v.Get<float>());
      break;
    case ParamStorage::kInt:
      isave->WriteInt(v.Get<int>());
      break;
    case ParamStorage::kColor: {
      const Color& c = v.Get<Color>();
      WriteTriple(isave, c.r, c.g, c.b);
      break;
    }
    case ParamStorage::kPoint3: {
      const Point3& p = v.Get<Point3>();
      WriteTriple(isave, p.x, p.y, p.z);
      break;
    }
    case ParamStorage::kString:
      isave->WriteString(v.Get<std::string>());
      break;
    case ParamStorage::kReference: {
      uint8_t flag = hasRef ? 1 : 0;
      isave->Write(&flag, 1);
      break;
    }
  }
}

IOResult ReadTriple(ILoad* iload, float& a, float& b, float& c) {
  if (iload->ReadFloat(a) != IO_OK || iload->ReadFloat(b) != IO_OK ||
      iload->ReadFloat(c) != IO_OK) {
    return IO_ERROR;
  }
  return IO_OK;
}

IOResult ReadEntryValue(ILoad* iload, ParamStorage s, PB2Value& v) {
  switch (s) {
    case ParamStorage::kFloat: {
      float f = 0.0f;
      if (iload->ReadFloat(f) != IO_OK) return IO_ERROR;
      v = f;
      return IO_OK;
    }
    case ParamStorage::kInt: {
      int32_t i = 0;
      if (iload->ReadInt(i) != IO_OK) return IO_ERROR;
      v = static_cast<int>(i);
      return IO_OK;
    }
    case ParamStorage::kColor:
    case ParamStorage::kPoint3: {
      Point3 p;
      if (ReadTriple(iload, p.x, p.y, p.z) != IO_OK) return IO_ERROR;
      v = s == ParamStorage::kColor ? PB2Value(Color(p)) : PB2Value(p);
      return IO_OK;
    }
    case ParamStorage::kString: {
      std::string text;
      if (iload->ReadString(text) != IO_OK) return IO_ERROR;
      v = std::move(text);
      return IO_OK;
    }
    case ParamStorage::kReference: {
      uint8_t flag = 0;
      if (iload->Read(&flag, 1) != IO_OK) return IO_ERROR;
      v = PB2Value();
      return IO_OK;
    }
  }
  return IO_ERROR;
}

}  // namespace

IOResult IParamBlock2::Save(ISave* isave) {
  ClassDesc2* cd = desc_ ? desc_->GetClassDesc() : nullptr;
  Class_ID ownerClass = cd ? cd->ClassID() : Class_ID();
  isave->BeginChunk(kHeaderChunk);
  isave->WriteUInt(ownerClass.PartA());
  isave->WriteUInt(ownerClass.PartB());
  isave->WriteUInt(cd ? cd->SuperClassID() : 0);
  isave->WriteInt(ID());
  isave->EndChunk();

  for (size_t i = 0; i < params_.size(); ++i) {
    const ParamDef& def = Def(static_cast<int>(i));
    if (def.flags & P_OWNERS_REF) continue;  // the owner saves its own slots
    const auto& entries = params_[i].entries;
    isave->BeginChunk(kParamChunk);
    isave->WriteInt(def.id);
    isave->WriteInt(def.type);
    isave->WriteUInt(static_cast<uint32_t>(entries.size()));
    for (const Entry& e : entries) WriteEntryValue(isave, StorageOf(def.type), e.value, e.ref);
    isave->EndChunk();
  }
  return IO_OK;
}

IOResult IParamBlock2::LoadHeader(ILoad* iload) {
  uint32_t a = 0, b = 0, super = 0;
  int32_t blockId = 0;
  if (iload->ReadUInt(a) != IO_OK || iload->ReadUInt(b) != IO_OK ||
      iload->ReadUInt(super) != IO_OK || iload->ReadInt(blockId) != IO_OK) {
    return IO_ERROR;
  }
  ClassDesc2* cd = GetClassDirectory().FindClass(super, Class_ID(a, b));
  ParamBlockDesc2* desc = cd ? cd->GetParamBlockDescByID(blockId) : nullptr;
  if (!desc) {
    iload->LogWarning("parameter block " + std::to_string(blockId) + " of unknown class (" +
                      std::to_string(a) + ", " + std::to_string(b) + ")");
    return IO_END;
  }
  if (desc_ && desc_ != desc) {
    iload->LogWarning("parameter block data of block '" + desc->InternalName() +
                      "' read into block '" + desc_->InternalName() + "'");
    return IO_ERROR;
  }
  desc_ = desc;
  DeleteAllRefs();
  InitDefaults();
  return IO_OK;
}

IOResult IParamBlock2::LoadParam(ILoad* iload) {
  int32_t id = 0, type = 0;
  uint32_t count = 0;
  if (iload->ReadInt(id) != IO_OK || iload->ReadInt(type) != IO_OK ||
      iload->ReadUInt(count) != IO_OK) {
    return IO_ERROR;
  }
  int index = id >= SHRT_MIN && id <= SHRT_MAX ? desc_->IDtoIndex(static_cast<ParamID>(id)) : -1;
  if (index < 0) return IO_OK;  // a parameter this version no longer has
  const ParamDef& def = Def(index);
  if (def.flags & P_OWNERS_REF) return IO_OK;
  if (type != def.type) {
    iload->LogWarning("parameter '" + def.internalName + "' of block '" + desc_->InternalName() +
                      "' was saved as another type; it keeps its default");
    return IO_OK;
  }
  const ParamStorage storage = StorageOf(def.type);
  if (count > iload->BytesLeft() / MinSavedBytes(storage) || (!IsTabType(def.type) && count != 1)) {
    iload->LogWarning("parameter '" + def.internalName + "' of block '" + desc_->InternalName() +
                      "' has a damaged entry count");
    return IO_ERROR;
  }
  std::vector<Entry> entries(count);
  for (Entry& e : entries) {
    if (ReadEntryValue(iload, storage, e.value) != IO_OK) return IO_ERROR;
    if (storage == ParamStorage::kReference) continue;
    if (!CoerceParamValue(def.type, e.value)) {
      iload->LogWarning("parameter '" + def.internalName + "' has an unusable value; default kept");
      e.value = def.def;
    }
    ClampParamValue(def, e.value);
  }
  params_[static_cast<size_t>(index)].entries = std::move(entries);
  LayoutRefs();
  return IO_OK;
}

IOResult IParamBlock2::Load(ILoad* iload) {
  // Loading makes a fresh object, not an undoable edit.
  HoldSuspend suspend;
  // The block's whole data is taken first: a block whose owner class is not
  // loaded keeps it as it stands, so that it can be written back unchanged.
  std::vector<uint8_t> raw(iload->BytesLeft());
  if (!raw.empty() && iload->Read(raw.data(), raw.size()) != IO_OK) return IO_ERROR;
  MemoryLoad data(raw);
  IOResult res = LoadChunks(&data);
  for (const std::string& w : data.Warnings()) iload->LogWarning(w);
  if (res == IO_END) {
    unreadData_ = std::move(raw);
    return IO_OK;
  }
  return res;
}

IOResult IParamBlock2::LoadChunks(ILoad* iload) {
  bool haveHeader = false;
  IOResult res;
  while ((res = iload->OpenChunk()) == IO_OK) {
    IOResult r = IO_OK;
    if (iload->CurChunkID() == kHeaderChunk) {
      r = LoadHeader(iload);
      if (r == IO_END) return IO_END;  // owner class unknown
      haveHeader = r == IO_OK;
    } else if (iload->CurChunkID() == kParamChunk) {
      if (!haveHeader) {
        iload->LogWarning("parameter block values before the block header");
        return IO_ERROR;
      }
      r = LoadParam(iload);
    }
    if (r != IO_OK || iload->CloseChunk() != IO_OK) return IO_ERROR;
  }
  if (res == IO_ERROR) return IO_ERROR;
  if (!haveHeader) {
    iload->LogWarning("parameter block without a header");
    return IO_ERROR;
  }
  return IO_OK;
}

std::vector<uint8_t> IParamBlock2::TakeUnreadData() { return std::exchange(unreadData_, {}); }

ReferenceTarget* IParamBlock2::Clone(RemapDir& remap) {
  auto* copy = desc_ ? new IParamBlock2(desc_, nullptr) : new IParamBlock2();
  for (size_t i = 0; i < params_.size(); ++i) {
    auto& to = copy->params_[i].entries;
    to.assign(params_[i].entries.size(), Entry{});
    for (size_t k = 0; k < to.size(); ++k) to[k].value = params_[i].entries[k].value;
  }
  copy->LayoutRefs();
  BaseClone(this, copy, remap);
  for (int slot = 0; slot < NumRefs(); ++slot) {
    if (ReferenceTarget* r = GetReference(slot)) copy->ReplaceReference(slot, remap.CloneRef(r));
  }
  return copy;
}

namespace {

class ParamBlock2ClassDesc : public ClassDesc2 {
 public:
  int IsPublic() override { return 0; }
  void* Create(bool /*loading*/) override {
    return static_cast<ReferenceTarget*>(new IParamBlock2());
  }
  const char* ClassName() override { return "ParamBlock2"; }
  SClass_ID SuperClassID() override { return PARAMETER_BLOCK2_CLASS_ID; }
  Class_ID ClassID() override { return PARAMBLOCK2_CLASS_ID; }
  const char* Category() override { return ""; }
};

}  // namespace

ClassDesc2* GetParamBlock2Desc() {
  static ParamBlock2ClassDesc desc;
  return &desc;
}
