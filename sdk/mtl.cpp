#include "sdk/mtl.h"

#include <string>

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
