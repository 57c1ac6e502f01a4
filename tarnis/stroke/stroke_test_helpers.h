// Test helpers for the stroke map: a scene of one object seen by a camera
// (StrokeTestScene: node, render instance and render context, wired into a
// FakeShadeContext), a standard coordinate generator that answers map
// channel 1 or the screen position (TestUVGen, put in the class directory
// under the host's class id while a ScopedTestUVGen lives), and ColourMap, a
// texture map answering one colour.
#pragma once

#include "sdk/class_desc.h"
#include "sdk/inode.h"
#include "sdk/mtl.h"
#include "sdk/render.h"
#include "sdk/save_load.h"
#include "sdk/testing/fake_shade_context.h"
#include "tarnis/stroke/stroke_class_desc.h"

namespace tarnis::testing {

class StrokeTestNode : public INode {
 public:
  const char* GetName() override { return "object"; }
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
  int GetGBufID() override { return 0; }
  bool Renderable() override { return true; }
  bool GetPrimaryVisibility() override { return true; }
  bool GetSecondaryVisibility() override { return true; }
  float GetVisibility(TimeValue) override { return 1.0f; }
  bool IsGroupHead() override { return false; }
  bool IsGroupMember() override { return false; }
};

class StrokeTestInstance : public RenderInstance {
 public:
  explicit StrokeTestInstance(INode* node) : node_(node) {}
  INode* GetINode() override { return node_; }
  int NodeRenderId() override { return 0; }
  Mesh* GetMesh() override { return nullptr; }
  Mtl* GetMtl(int) override { return nullptr; }
  Mtl* GetNodeMtl() override { return nullptr; }
  Point3 GetWorldVert(int) override { return {}; }
  Point3 GetCamVert(int) override { return {}; }

 private:
  INode* node_;
};

class StrokeTestRenderContext : public RenderGlobalContext {
 public:
  explicit StrokeTestRenderContext(RenderInstance* inst) : inst_(inst) {}
  int NumRenderInstances() override { return 1; }
  RenderInstance* GetRenderInstance(int i) override { return i == 0 ? inst_ : nullptr; }

 private:
  RenderInstance* inst_;
};

// A 200 x 100 pixel perspective render of one object whose centre is at
// `centre` in camera space, and a sample context on that object.
struct StrokeTestScene {
  explicit StrokeTestScene(Point3 centre = {0.0f, 0.0f, -10.0f}) {
    gc.devWidth = 200;
    gc.devHeight = 100;
    gc.xc = 100.0f;
    gc.yc = 50.0f;
    gc.xscale = -100.0f;  // a 90 degree horizontal field of view
    gc.yscale = 100.0f;
    gc.projType = PROJ_PERSPECTIVE;
    instance.center = centre;
    sc.globContext = &gc;
    sc.node = &node;
    sc.nodeID = 0;
  }
  // Puts the sample at device position (sx, sy) for screen coordinates.
  void SetScreen(float sx, float sy) {
    sc.screenUV =
        Point2(sx / static_cast<float>(gc.devWidth), 1.0f - sy / static_cast<float>(gc.devHeight));
  }

  StrokeTestNode node;
  StrokeTestInstance instance{&node};
  StrokeTestRenderContext gc{&instance};
  FakeShadeContext sc;
};

// A standard generator without a transform: the coordinates of map channel
// 1, or the screen position for the screen mapping.
class TestUVGen : public StdUVGen {
 public:
  void Update(TimeValue, Interval&) override {}
  Interval Validity(TimeValue) override { return FOREVER; }
  void GetUV(ShadeContext& sc, Point2& uv, Point2& duv) override {
    const Point3 p = GetUVW(sc);
    uv = Point2(p.x, p.y);
    duv = Point2();
  }
  Point3 GetUVW(ShadeContext& sc) override {
    if (mapping == UVMAP_SCREEN_ENV) {
      Point2 uv, duv;
      sc.ScreenUV(uv, duv);
      return {uv.x, uv.y, 0.0f};
    }
    return sc.UVW(channel);
  }
  Class_ID ClassID() override { return STANDARD_UVGEN_CLASS_ID; }
  ReferenceTarget* Clone(RemapDir& remap) override {
    auto* copy = new TestUVGen;
    BaseClone(this, copy, remap);
    copy->mapping = mapping;
    copy->slot = slot;
    copy->channel = channel;
    return copy;
  }
  void Reset() override { mapping = UVMAP_EXPLICIT, slot = MAPSLOT_TEXTURE, channel = 1; }

  int GetCoordMapping(int) override { return mapping; }
  void SetCoordMapping(int v) override { mapping = v; }
  float GetUOffs(TimeValue) override { return 0; }
  float GetVOffs(TimeValue) override { return 0; }
  float GetUScl(TimeValue) override { return 1; }
  float GetVScl(TimeValue) override { return 1; }
  float GetAng(TimeValue) override { return 0; }
  float GetUAng(TimeValue) override { return 0; }
  float GetVAng(TimeValue) override { return 0; }
  float GetWAng(TimeValue) override { return 0; }
  float GetBlur(TimeValue) override { return 1; }
  float GetBlurOffs(TimeValue) override { return 0; }
  float GetNoiseAmt(TimeValue) override { return 1; }
  float GetNoiseSize(TimeValue) override { return 1; }
  int GetNoiseLev(TimeValue) override { return 1; }
  float GetNoisePhs(TimeValue) override { return 0; }
  void SetUOffs(float, TimeValue) override {}
  void SetVOffs(float, TimeValue) override {}
  void SetUScl(float, TimeValue) override {}
  void SetVScl(float, TimeValue) override {}
  void SetAng(float, TimeValue) override {}
  void SetUAng(float, TimeValue) override {}
  void SetVAng(float, TimeValue) override {}
  void SetWAng(float, TimeValue) override {}
  void SetBlur(float, TimeValue) override {}
  void SetBlurOffs(float, TimeValue) override {}
  void SetNoiseAmt(float, TimeValue) override {}
  void SetNoiseSize(float, TimeValue) override {}
  void SetNoiseLev(int, TimeValue) override {}
  void SetNoisePhs(float, TimeValue) override {}
  int GetTextureTiling() override { return U_WRAP | V_WRAP; }
  void SetTextureTiling(int) override {}
  int GetMapChannel() override { return channel; }
  void SetMapChannel(int v) override { channel = v; }
  int GetFlag(int) override { return 0; }
  void SetFlag(int, int) override {}
  int GetSymFlags() override { return 0; }
  void SetSymFlags(int) override {}
  bool GetHideMapBackFlag() override { return false; }
  void SetHideMapBackFlag(bool) override {}
  int GetUVWSource() override { return UVWSRC_EXPLICIT; }
  void SetUVWSource(int) override {}
  int GetSlotType() override { return slot; }
  void SetSlotType(int v) override { slot = v; }
  int GetAxis() override { return 0; }
  void SetAxis(int) override {}
  int GetClipFlag() override { return 0; }
  void SetClipFlag(int) override {}

  // Screen mapping in the environment slot, as the panels set it; tells
  // the dependents.
  void MakeScreen() {
    mapping = UVMAP_SCREEN_ENV;
    slot = MAPSLOT_ENVIRON;
    NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
  }

  int mapping = UVMAP_EXPLICIT;
  int slot = MAPSLOT_TEXTURE;
  int channel = 1;
};

class TestUVGenDesc : public ClassDesc2 {
 public:
  int IsPublic() override { return 0; }
  void* Create(bool) override { return static_cast<ReferenceTarget*>(new TestUVGen); }
  const char* ClassName() override { return "TestUVGen"; }
  SClass_ID SuperClassID() override { return UVGEN_CLASS_ID; }
  Class_ID ClassID() override { return STANDARD_UVGEN_CLASS_ID; }
  const char* Category() override { return ""; }
};

// Stands in for the host's standard generator in the class directory while
// it lives (when the directory has none of its own).
class ScopedTestUVGen {
 public:
  ScopedTestUVGen() { added_ = GetClassDirectory().AddClass(&desc_) == 1; }
  ~ScopedTestUVGen() {
    if (added_) GetClassDirectory().DeleteClass(&desc_);
  }
  ScopedTestUVGen(const ScopedTestUVGen&) = delete;
  ScopedTestUVGen& operator=(const ScopedTestUVGen&) = delete;

 private:
  TestUVGenDesc desc_;
  bool added_ = false;
};

// A texture map of one colour (premultiplied by its alpha).
class ColourMap : public Texmap {
 public:
  static constexpr Class_ID kClassID{0x7E57C010, 0x0000A002};
  explicit ColourMap(AColor c = AColor(1.0f, 0.0f, 0.0f, 1.0f)) : colour(c) {}
  AColor EvalColor(ShadeContext&) override { return colour; }
  void Update(TimeValue, Interval&) override {}
  Interval Validity(TimeValue) override { return FOREVER; }
  Class_ID ClassID() override { return kClassID; }
  ReferenceTarget* Clone(RemapDir& remap) override {
    auto* copy = new ColourMap(colour);
    BaseClone(this, copy, remap);
    return copy;
  }
  IOResult Save(ISave* isave) override {
    isave->BeginChunk(1);
    for (int c = 0; c < 4; ++c) isave->WriteFloat(colour[c]);
    isave->EndChunk();
    return IO_OK;
  }
  IOResult Load(ILoad* iload) override {
    while (iload->OpenChunk() == IO_OK) {
      for (int c = 0; c < 4; ++c) {
        if (iload->ReadFloat(colour[c]) != IO_OK) return IO_ERROR;
      }
      iload->CloseChunk();
    }
    return IO_OK;
  }
  AColor colour;
};

class ColourMapDesc : public ClassDesc2 {
 public:
  int IsPublic() override { return 0; }
  void* Create(bool) override { return static_cast<ReferenceTarget*>(new ColourMap); }
  const char* ClassName() override { return "ColourMap"; }
  SClass_ID SuperClassID() override { return TEXMAP_CLASS_ID; }
  Class_ID ClassID() override { return ColourMap::kClassID; }
  const char* Category() override { return ""; }
};

// Puts the stroke map and ColourMap into the class directory while it lives,
// so that saved graphs holding them load; other tests register classes of
// the stroke map's id of their own.
class ScopedStrokeClasses {
 public:
  ScopedStrokeClasses() {
    stroke_ = GetClassDirectory().AddClass(GetStrokeDesc()) == 1;
    colour_ = GetClassDirectory().AddClass(&colourDesc_) == 1;
  }
  ~ScopedStrokeClasses() {
    if (stroke_) GetClassDirectory().DeleteClass(GetStrokeDesc());
    if (colour_) GetClassDirectory().DeleteClass(&colourDesc_);
  }
  ScopedStrokeClasses(const ScopedStrokeClasses&) = delete;
  ScopedStrokeClasses& operator=(const ScopedStrokeClasses&) = delete;

 private:
  ColourMapDesc colourDesc_;
  bool stroke_ = false, colour_ = false;
};

}  // namespace tarnis::testing
