#include "sdk/mtl.h"

#include <string>

#include "sdk/class_desc.h"
#include "sdk/save_load.h"

namespace {
constexpr uint16_t kMtlNameChunk = 0x3900;
}  // namespace

IOResult MtlBase::SaveName(ISave* isave) {
  isave->BeginChunk(kMtlNameChunk);
  isave->WriteString(name_.str());
  isave->EndChunk();
  return IO_OK;
}

IOResult MtlBase::LoadName(ILoad* iload) {
  IOResult r;
  while ((r = iload->OpenChunk()) == IO_OK) {
    if (iload->CurChunkID() == kMtlNameChunk) {
      std::string name;
      if (iload->ReadString(name) != IO_OK) return IO_ERROR;
      name_ = name;
    }
    if (iload->CloseChunk() != IO_OK) return IO_ERROR;
  }
  return r == IO_END ? IO_OK : IO_ERROR;
}

Mtl* NewDefaultStdMat() {
  void* made = CreateInstance(MATERIAL_CLASS_ID, STANDARD_MATERIAL_CLASS_ID);
  return made ? dynamic_cast<Mtl*>(static_cast<ReferenceTarget*>(made)) : nullptr;
}

Texmap* NewDefaultStdCubic() {
  void* made = CreateInstance(TEXMAP_CLASS_ID, STANDARD_CUBIC_CLASS_ID);
  return made ? dynamic_cast<Texmap*>(static_cast<ReferenceTarget*>(made)) : nullptr;
}

StdUVGen* NewDefaultStdUVGen() {
  void* made = CreateInstance(UVGEN_CLASS_ID, STANDARD_UVGEN_CLASS_ID);
  return made ? dynamic_cast<StdUVGen*>(static_cast<ReferenceTarget*>(made)) : nullptr;
}
