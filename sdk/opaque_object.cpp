#include "sdk/opaque_object.h"

#include <cstdio>

#include "sdk/save_load.h"

void OpaqueObject::GetClassName(CStr& s) {
  s.printf("unknown class (superclass 0x%X, class 0x%08X 0x%08X)", superClass_,
           classID_.PartA(), classID_.PartB());
}

ReferenceTarget* OpaqueObject::GetReference(int i) {
  return i >= 0 && i < NumRefs() ? refs_[static_cast<size_t>(i)] : nullptr;
}

void OpaqueObject::SetReference(int i, ReferenceTarget* target) {
  if (i >= 0 && i < NumRefs()) refs_[static_cast<size_t>(i)] = target;
}

IOResult OpaqueObject::Load(ILoad* iload) {
  // The bytes are bounded by the enclosing chunk, which the reader checked
  // against the file's size.
  data_.resize(iload->BytesLeft());
  return data_.empty() ? IO_OK : iload->Read(data_.data(), data_.size());
}

IOResult OpaqueObject::Save(ISave* isave) {
  return data_.empty() ? IO_OK : isave->Write(data_.data(), data_.size());
}
