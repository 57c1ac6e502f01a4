// Fixtures of the render elements' tests: a frame's render context that
// lists chosen elements, a node with an object id and a visibility, and a
// save-and-load round trip through the reference graph.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sdk/class_desc.h"
#include "sdk/effect.h"
#include "sdk/inode.h"
#include "sdk/ref_graph.h"
#include "sdk/render.h"

namespace tarnis::testing {

class ElementsContext : public RenderGlobalContext {
 public:
  int NumRenderInstances() override { return 0; }
  RenderInstance* GetRenderInstance(int) override { return nullptr; }
  int NRenderElements() override { return static_cast<int>(elements.size()); }
  IRenderElement* GetRenderElement(int i) override {
    return i >= 0 && i < NRenderElements() ? elements[static_cast<size_t>(i)] : nullptr;
  }
  std::vector<IRenderElement*> elements;
};

class IdNode : public INode {
 public:
  IdNode(int objectID, float vis) : objectID_(objectID), visibility_(vis) {}
  const char* GetName() override { return "node"; }
  void SetName(const char*) override {}
  bool IsRootNode() override { return false; }
  INode* GetParentNode() override { return nullptr; }
  int NumberOfChildren() override { return 0; }
  INode* GetChildNode(int) override { return nullptr; }
  Matrix3 GetNodeTM(TimeValue, Interval*) override { return {}; }
  Matrix3 GetObjectTM(TimeValue, Interval*) override { return {}; }
  Mesh* GetMesh(TimeValue) override { return nullptr; }
  ReferenceTarget* GetObjectRef() override { return nullptr; }
  Mtl* GetMtl() override { return nullptr; }
  void SetMtl(Mtl*) override {}
  Color GetWireColor() override { return {}; }
  int GetGBufID() override { return objectID_; }
  bool Renderable() override { return true; }
  bool GetPrimaryVisibility() override { return true; }
  bool GetSecondaryVisibility() override { return true; }
  float GetVisibility(TimeValue) override { return visibility_; }
  bool IsGroupHead() override { return false; }
  bool IsGroupMember() override { return false; }

 private:
  int objectID_;
  float visibility_;
};

// Saves `root` as a reference graph and loads it back; the classes must be
// in the class directory. Null (with a test failure) when either step fails.
inline LoadedGraph SaveAndLoad(ReferenceTarget* root) {
  MemorySave out;
  ReferenceTarget* roots[] = {root};
  std::string error;
  EXPECT_TRUE(SaveReferenceGraph(out, roots, &error)) << error;
  GraphLoadResult loaded = LoadReferenceGraph(out.Bytes());
  EXPECT_TRUE(loaded) << loaded.error;
  return loaded ? std::move(*loaded.graph) : LoadedGraph();
}

}  // namespace tarnis::testing
