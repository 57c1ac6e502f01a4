// Class descriptors and the class directory. A ClassDesc2 describes one class
// of objects (its ids, names and parameter-block descriptors) and creates
// instances of it; the directory lists the descriptors the host knows, so
// that saved scenes and scene descriptions can make objects by class id or
// by internal name.
#pragma once

#include <string>
#include <vector>

#include "sdk/class_id.h"
#include "sdk/cstr.h"

class ParamBlockDesc2;
class ReferenceMaker;

// The module a class came from (the plug-in's dynamic library, or the host).
using ModuleHandle = void*;

class ClassDesc2 {
 public:
  virtual ~ClassDesc2() = default;

  virtual int IsPublic() = 0;
  // A new instance, or null when it cannot be made (out of memory). `loading`
  // is true when the object is about to be filled from a saved scene.
  virtual void* Create(bool loading = false) = 0;
  virtual const char* ClassName() = 0;
  virtual SClass_ID SuperClassID() = 0;
  virtual Class_ID ClassID() = 0;
  virtual const char* Category() = 0;
  // The name scripts and scene descriptions use.
  virtual const char* InternalName() { return ClassName(); }
  virtual bool OkToCreate() { return true; }
  virtual ModuleHandle HInstance() { return nullptr; }
  virtual void EditClassParams() {}
  virtual int InitialRollupPageState() { return 0x7FFFFFFF; }
  virtual bool HasClassParams() { return false; }

  // Parameter-block descriptors of the class, in the order they were bound.
  int NumParamBlockDescs() const { return static_cast<int>(pbDescs_.size()); }
  ParamBlockDesc2* GetParamBlockDesc(int i) const;
  ParamBlockDesc2* GetParamBlockDescByID(int id) const;
  ParamBlockDesc2* GetParamBlockDescByName(std::string_view internalName) const;
  // Called by ParamBlockDesc2::SetClassDesc; a descriptor is listed once.
  void AddParamBlockDesc(ParamBlockDesc2* desc);
  // Makes every parameter block of `owner` whose descriptor is marked
  // P_AUTO_CONSTRUCT and puts it in the owner's reference slot of the descriptor.
  void MakeAutoParamBlocks(ReferenceMaker* owner);

 private:
  std::vector<ParamBlockDesc2*> pbDescs_;
};

// The classes the host knows.
class ClassDirectory {
 public:
  // Answers 1 when added, 0 when a class with the same superclass and class
  // id is present already (nothing changes then), -1 for a null descriptor.
  int AddClass(ClassDesc2* cd);
  // Removes the class with cd's ids; answers true when one was removed.
  bool DeleteClass(ClassDesc2* cd);
  ClassDesc2* FindClass(SClass_ID superClass, const Class_ID& id) const;
  // By internal name, compared exactly.
  ClassDesc2* FindClassByInternalName(std::string_view name) const;
  // A new instance of the class, or null when the class is unknown or its
  // Create fails.
  void* CreateInstance(SClass_ID superClass, const Class_ID& id, bool loading = false) const;
  int Count() const { return static_cast<int>(classes_.size()); }
  ClassDesc2* Get(int i) const { return classes_[static_cast<size_t>(i)]; }

 private:
  std::vector<ClassDesc2*> classes_;
};

// Puts the SDK's own classes (parameter blocks, key-frame controllers, the
// curve control) into a directory.
void RegisterSdkClasses(ClassDirectory& dir);

// The process-wide directory. The SDK's own classes (controllers, curve
// control) are in it from the first call.
ClassDirectory& GetClassDirectory();
// Creates an object of a class in the process-wide directory, as the host's
// instance factory does.
void* CreateInstance(SClass_ID superClass, const Class_ID& id);
