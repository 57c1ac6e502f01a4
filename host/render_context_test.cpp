// The frame's render context: the projection that MapToScreen describes is
// the one the renderer draws (perspective and parallel, centred and off
// centre, square and wide pixels), and the render instances' flags,
// transforms and materials.
#include "host/render_context.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "host/testing/render_test_scene.h"
#include "sdk/angles.h"
#include "sdk/notify.h"

namespace host {
namespace {

using render_testing::ConstantMtl;
using render_testing::RenderTestScene;

// Runs `inspect` on the frame's context when the frame starts.
class FrameInspector {
 public:
  explicit FrameInspector(std::function<void(HostRenderGlobalContext&)> inspect)
      : inspect_(std::move(inspect)) {
    RegisterNotification(&Call, this, NOTIFY_PRE_RENDERFRAME);
  }
  ~FrameInspector() { UnRegisterNotification(&Call, this); }

 private:
  static void Call(void* param, NotifyInfo* info) {
    auto* gc = static_cast<RenderGlobalContext*>(info->callParam);
    static_cast<FrameInspector*>(param)->inspect_(*dynamic_cast<HostRenderGlobalContext*>(gc));
  }
  std::function<void(HostRenderGlobalContext&)> inspect_;
};

TEST(RenderContext, APointLandsOnThePixelMapToScreenNames) {
  struct Case {
    bool ortho;
    Point3 camPoint;
    float pixelAspect;
  } cases[] = {
      {false, {0, 0, -10}, 1},      {false, {2, 1, -10}, 1}, {false, {-3, -1.5f, -12}, 1},
      {false, {1, 0.5f, -8}, 2},    {true, {0, 0, -10}, 1},  {true, {1.5f, -1, -8}, 1},
      {true, {-2, 0.5f, -5}, 0.5f},
  };
  const int width = 64, height = 48;
  const float fov = 50.0f, viewWidth = 8.0f;
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << (c.ortho ? "parallel " : "perspective ") << c.camPoint.x
                                      << ", " << c.camPoint.y << ", " << c.camPoint.z);
    // What the conventions say, worked out by hand.
    float scale = c.ortho ? width / viewWidth : (width / 2.0f) / std::tan(fov / 2 * kDegToRad);
    float ratio = c.ortho ? 1.0f : -1.0f / c.camPoint.z;
    Point2 expected(width / 2.0f + c.camPoint.x * ratio * scale,
                    height / 2.0f - c.camPoint.y * ratio * scale * c.pixelAspect);

    RenderTestScene s(width, height);
    s.settings.samples = 4;
    s.settings.pixelAspect = c.pixelAspect;
    HostNode* cam = c.ortho ? s.AddOrthoCamera({0, 0, 0}, {0, 1, 0}, viewWidth)
                            : s.AddCamera({0, 0, 0}, {0, 1, 0}, fov);
    // A sphere about 2.5 pixels across.
    float pixelsPerUnit = scale * ratio;
    Point3 world = c.camPoint * cam->GetNodeTM(0);
    s.AddMesh(render_testing::SphereMesh(1.25f / pixelsPerUnit, 32),
              new ConstantMtl(Color(1, 1, 1)), world);
    Point2 mapped;
    FrameInspector inspect(
        [&](HostRenderGlobalContext& gc) { mapped = gc.MapToScreen(c.camPoint); });
    ASSERT_EQ(s.Render().status, RenderStatus::kDone);
    EXPECT_NEAR(mapped.x, expected.x, 1e-3f);
    EXPECT_NEAR(mapped.y, expected.y, 1e-3f);

    // The coverage-weighted centre of what was drawn.
    double sum = 0, sx = 0, sy = 0;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        float a = s.Pixel(x, y).a;
        sum += a, sx += a * (x + 0.5), sy += a * (y + 0.5);
      }
    }
    ASSERT_GT(sum, 1.0);
    EXPECT_NEAR(sx / sum, expected.x, 0.25);
    EXPECT_NEAR(sy / sum, expected.y, 0.25);
  }
}

TEST(RenderContext, InstancesCarryFlagsTransformsAndCameraVertices) {
  RenderTestScene s(32, 32);
  s.AddCamera({0, -10, 0}, {0, 0, 0}, 40.0f);
  auto* mtl = new ConstantMtl(Color(1, 1, 1));
  HostNode* plain = s.AddMesh(render_testing::BoxMesh({1, 1, 1}), mtl, {1, 0, 0.5f});
  HostNode* hidden = s.AddMesh(render_testing::BoxMesh({1, 1, 1}), mtl);
  hidden->renderable = false;
  HostNode* behind = s.AddMesh(render_testing::BoxMesh({1, 1, 1}), mtl, {0, -20, 0});
  HostNode* mirrored = s.AddMesh(render_testing::BoxMesh({1, 1, 1}), mtl, {-1.5f, 0, 0});
  mirrored->scale = Point3(-1, 1, 1);
  s.AddLight(LightObject::Type::kOmni, {0, -5, 5}, {0, 0, 0});

  struct Seen {
    INode* node;
    uint32_t flags;
  };
  std::vector<Seen> seen;
  FrameInspector inspect([&](HostRenderGlobalContext& gc) {
    for (int i = 0; i < gc.NumRenderInstances(); ++i) {
      RenderInstance* inst = gc.GetRenderInstance(i);
      EXPECT_EQ(inst->NodeRenderId(), i);
      seen.push_back({inst->GetINode(), inst->flags});
      Mesh* mesh = inst->GetMesh();
      for (int v = 0; v < mesh->getNumVerts(); ++v) {
        Point3 world = mesh->getVert(v) * inst->objToWorld;
        EXPECT_LT((inst->GetWorldVert(v) - world).Length(), 1e-5f);
        EXPECT_LT((inst->GetCamVert(v) - world * gc.worldToCam).Length(), 1e-4f);
        EXPECT_LT((inst->GetCamVert(v) * inst->camToObj - mesh->getVert(v)).Length(), 1e-4f);
        EXPECT_TRUE(inst->camBox.Contains(inst->GetCamVert(v)));
      }
    }
    ViewParams* vp = gc.GetViewParams();
    ASSERT_NE(vp, nullptr);
    EXPECT_EQ(vp->affineTM, gc.worldToCam);
    EXPECT_NEAR(vp->fov, 40.0f * kDegToRad, 1e-6f);
  });
  ASSERT_EQ(s.Render().status, RenderStatus::kDone);
  ASSERT_EQ(seen.size(), 4u);  // the light has no mesh
  EXPECT_EQ(seen[0].node, plain);
  EXPECT_EQ(seen[0].flags & (INST_HIDE | INST_CLIP | INST_TM_NEGPARITY), 0u);
  EXPECT_EQ(seen[1].node, hidden);
  EXPECT_NE(seen[1].flags & INST_HIDE, 0u);
  EXPECT_EQ(seen[2].node, behind);
  EXPECT_NE(seen[2].flags & INST_CLIP, 0u);
  EXPECT_EQ(seen[3].node, mirrored);
  EXPECT_NE(seen[3].flags & INST_TM_NEGPARITY, 0u);
  // The mirrored one-sided box still shows its outside; its centre, x = -1.5
  // at depth 10, lies about 6.6 pixels left of the image centre.
  float pixelsPerUnit = 16.0f / std::tan(20.0f * kDegToRad) / 10.0f;
  int column = static_cast<int>(16.0f - 1.5f * pixelsPerUnit);
  EXPECT_EQ(s.Pixel(column, 16).a, 1.0f);
}

// Picks sub-material matID % n, as multi-materials do.
class MultiMtl : public render_testing::TestMtlBase {
 public:
  explicit MultiMtl(int n) {
    for (int i = 0; i < n; ++i) {
      subs_.push_back(nullptr);
      ReplaceReference(i, new ConstantMtl(Color(0.1f * (i + 1), 0, 0)));
    }
  }
  bool IsMultiMtl() override { return true; }
  int NumSubMtls() override { return static_cast<int>(subs_.size()); }
  Mtl* GetSubMtl(int i) override { return subs_[static_cast<size_t>(i)]; }
  void Shade(ShadeContext& sc) override { sc.out.c = Color(1, 1, 1); }
  int NumRefs() override { return NumSubMtls(); }
  ReferenceTarget* GetReference(int i) override { return subs_[static_cast<size_t>(i)]; }

 protected:
  void SetReference(int i, ReferenceTarget* t) override {
    subs_[static_cast<size_t>(i)] = dynamic_cast<Mtl*>(t);
  }

 private:
  std::vector<Mtl*> subs_;
};

TEST(RenderContext, MultiMaterialsGiveEachFaceItsSubMaterial) {
  RenderTestScene s(16, 16);
  s.AddOrthoCamera({0, -10, 0}, {0, 0, 0}, 4.0f);
  auto* multi = new MultiMtl(4);
  s.AddMesh(render_testing::BoxMesh({2, 2, 2}), multi);
  int faces = 0;
  FrameInspector inspect([&](HostRenderGlobalContext& gc) {
    RenderInstance* inst = gc.GetRenderInstance(0);
    EXPECT_EQ(inst->GetNodeMtl(), multi);
    for (int f = 0; f < inst->GetMesh()->getNumFaces(); ++f, ++faces)
      EXPECT_EQ(inst->GetMtl(f), multi->GetSubMtl(inst->GetMesh()->faces[f].matID % 4));
  });
  ASSERT_EQ(s.Render().status, RenderStatus::kDone);
  EXPECT_EQ(faces, 12);
  // The front side has material id 3: sub-material 3 shades it, the multi never does.
  EXPECT_NEAR(s.Pixel(8, 8).r, 0.4f, 1e-4f);
}

}  // namespace
}  // namespace host
