// OpaqueObject: what the graph reader makes of an object whose class is not
// loaded (a plug-in missing on this machine). It keeps the object's class
// ids, its saved data as raw bytes and its reference slots, and writes all of
// it back unchanged, so a scene never loses what it cannot read.
#pragma once

#include <cstdint>
#include <vector>

#include "sdk/reference.h"

class OpaqueObject : public ReferenceTarget {
 public:
  OpaqueObject(SClass_ID superClass, Class_ID classID)
      : superClass_(superClass), classID_(classID) {}

  Class_ID ClassID() override { return classID_; }
  SClass_ID SuperClassID() override { return superClass_; }
  void GetClassName(CStr& s) override;

  // The slot count is the saved one.
  void SetNumRefs(int n) { refs_.assign(static_cast<size_t>(n), nullptr); }
  int NumRefs() override { return static_cast<int>(refs_.size()); }
  ReferenceTarget* GetReference(int i) override;

  // Reads every byte of the object's data as it stands.
  IOResult Load(ILoad* iload) override;
  // Writes those bytes back.
  IOResult Save(ISave* isave) override;
  const std::vector<uint8_t>& Data() const { return data_; }

 protected:
  void SetReference(int i, ReferenceTarget* target) override;

 private:
  SClass_ID superClass_;
  Class_ID classID_;
  std::vector<uint8_t> data_;
  std::vector<ReferenceTarget*> refs_;
};
