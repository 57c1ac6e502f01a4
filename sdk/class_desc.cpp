// ClassDesc2's list of parameter-block descriptors and the class directory.
// GetParamBlockDescByID, GetParamBlockDescByName and MakeAutoParamBlocks live
// with the parameter blocks (param_block.cpp), which they need.
#include "sdk/class_desc.h"

#include <algorithm>

ParamBlockDesc2* ClassDesc2::GetParamBlockDesc(int i) const {
  if (i < 0 || i >= NumParamBlockDescs()) return nullptr;
  return pbDescs_[static_cast<size_t>(i)];
}

void ClassDesc2::AddParamBlockDesc(ParamBlockDesc2* desc) {
  if (desc == nullptr) return;
  if (std::find(pbDescs_.begin(), pbDescs_.end(), desc) != pbDescs_.end()) return;
  pbDescs_.push_back(desc);
}

// --- ClassDirectory --------------------------------------------------------

int ClassDirectory::AddClass(ClassDesc2* cd) {
  if (cd == nullptr) return -1;
  if (FindClass(cd->SuperClassID(), cd->ClassID()) != nullptr) return 0;
  classes_.push_back(cd);
  return 1;
}

bool ClassDirectory::DeleteClass(ClassDesc2* cd) {
  if (cd == nullptr) return false;
  SClass_ID super = cd->SuperClassID();
  Class_ID id = cd->ClassID();
  auto it = std::find_if(classes_.begin(), classes_.end(), [&](ClassDesc2* c) {
    return c->SuperClassID() == super && c->ClassID() == id;
  });
  if (it == classes_.end()) return false;
  classes_.erase(it);
  return true;
}

ClassDesc2* ClassDirectory::FindClass(SClass_ID superClass, const Class_ID& id) const {
  for (ClassDesc2* c : classes_) {
    if (c->SuperClassID() == superClass && c->ClassID() == id) return c;
  }
  return nullptr;
}

ClassDesc2* ClassDirectory::FindClassByInternalName(std::string_view name) const {
  for (ClassDesc2* c : classes_) {
    const char* internal = c->InternalName();
    if (internal != nullptr && name == internal) return c;
  }
  return nullptr;
}

void* ClassDirectory::CreateInstance(SClass_ID superClass, const Class_ID& id, bool loading) const {
  ClassDesc2* cd = FindClass(superClass, id);
  return cd == nullptr ? nullptr : cd->Create(loading);
}

ClassDirectory& GetClassDirectory() {
  // Filled once, on first use, so the SDK's classes are there before any
  // caller can look; RegisterSdkClasses must not call back into this function.
  static ClassDirectory directory;
  static const bool registered = (RegisterSdkClasses(directory), true);
  (void)registered;
  return directory;
}

void* CreateInstance(SClass_ID superClass, const Class_ID& id) {
  return GetClassDirectory().CreateInstance(superClass, id);
}
