// Test helpers for line sets and the line effect: TestNode, a scene node
// that knows only its parent and its group flags, and
// RegisterLineSetTestClasses, which puts the line classes into the class
// directory so that graphs holding them can be loaded.
#pragma once

#include <string>

#include "sdk/class_desc.h"
#include "sdk/inode.h"
#include "tarnis/line/brush/brush_test_helpers.h"
#include "tarnis/line/effect/line_set_class_desc.h"
#include "tarnis/line/effect/line_setting_class_desc.h"

namespace tarnis::testing {

class TestNode : public INode {
 public:
  explicit TestNode(INode* parent = nullptr, bool head = false, bool member = false)
      : parent_(parent), head_(head), member_(member) {}
  Matrix3 tm;  // node to world
  const char* GetName() override { return name_.c_str(); }
  void SetName(const char* name) override { name_ = name; }
  bool IsRootNode() override { return parent_ == nullptr && root_; }
  INode* GetParentNode() override { return parent_; }
  int NumberOfChildren() override { return 0; }
  INode* GetChildNode(int) override { return nullptr; }
  Matrix3 GetNodeTM(TimeValue, Interval*) override { return tm; }
  Matrix3 GetObjectTM(TimeValue, Interval*) override { return {}; }
  Mesh* GetMesh(TimeValue) override { return nullptr; }
  ReferenceTarget* GetObjectRef() override { return nullptr; }
  Mtl* GetMtl() override { return nullptr; }
  void SetMtl(Mtl*) override {}
  Color GetWireColor() override { return {}; }
  int GetGBufID() override { return 0; }
  bool Renderable() override { return true; }
  bool GetPrimaryVisibility() override { return true; }
  bool GetSecondaryVisibility() override { return true; }
  float GetVisibility(TimeValue) override { return 1.0f; }
  bool IsGroupHead() override { return head_; }
  bool IsGroupMember() override { return member_; }

  void MakeRoot() { root_ = true; }

 private:
  INode* parent_;
  bool head_;
  bool member_;
  bool root_ = false;
  std::string name_;
};

inline void RegisterLineSetTestClasses() {
  RegisterBrushTestClasses();
  GetClassDirectory().AddClass(GetLineSettingDesc());
  GetClassDirectory().AddClass(GetLineSetDesc());
}

}  // namespace tarnis::testing
