// The render sequence end to end: shading results with known answers
// (cosine law, shadows, transparency, back faces, render elements), the
// notification and effect order, the time charged to each stage, cancel,
// failures, thread independence, sub-view renders for maps and the material
// sample.
#include "host/renderer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "host/image_io.h"
#include "host/testing/render_test_scene.h"
#include "sdk/angles.h"
#include "sdk/interface.h"
#include "sdk/notify.h"
#include "sdk/testing/fake_interface.h"
#include "sdk/testing/scratch_dir.h"

namespace host {
namespace {

using render_testing::ConstantMtl;
using render_testing::ElementMtl;
using render_testing::LambertMtl;
using render_testing::ProbeMtl;
using render_testing::RenderTestScene;
using render_testing::TestEffect;
using render_testing::TestElement;

// Records broadcasts of the render codes while alive.
class NotificationLog {
 public:
  NotificationLog() {
    for (int code : kCodes) RegisterNotification(&Record, this, code);
  }
  ~NotificationLog() { UnRegisterNotification(&Record, this); }
  std::vector<std::string> events;
  std::vector<void*> frameData;  // call data of 22 and 23, in order

 private:
  static constexpr int kCodes[] = {NOTIFY_PRE_RENDER, NOTIFY_POST_RENDER, NOTIFY_PRE_RENDERFRAME,
                                   NOTIFY_POST_RENDERFRAME};
  static void Record(void* param, NotifyInfo* info) {
    auto* log = static_cast<NotificationLog*>(param);
    log->events.push_back(std::to_string(info->intcode));
    if (info->intcode == NOTIFY_PRE_RENDERFRAME || info->intcode == NOTIFY_POST_RENDERFRAME)
      log->frameData.push_back(info->callParam);
  }
};

// Sets the cancel flag at the n-th progress update.
class CancellingInterface : public FakeInterface {
 public:
  void ProgressUpdate(int percent, const char* title) override {
    FakeInterface::ProgressUpdate(percent, title);
    if (++updates == cancelAt) cancel = true;
  }
  int updates = 0, cancelAt = 1;
};

TEST(Renderer, LambertSphereFollowsTheCosineLaw) {
  RenderTestScene s(64, 64);
  HostNode* cam = s.AddOrthoCamera({0, -10, 0}, {0, 0, 0}, 2.4f);
  const Point3 lightPos(3, -4, 5);
  s.AddLight(LightObject::Type::kDirectional, lightPos, {0, 0, 0});
  s.AddMesh(render_testing::SphereMesh(1.0f, 256), new LambertMtl);
  ASSERT_EQ(s.Render().status, RenderStatus::kDone);

  const Matrix3 camToWorld = cam->GetNodeTM(0);
  const Point3 toLight = Normalize(lightPos);
  const float pixelsPerUnit = 64.0f / 2.4f;
  int lit = 0, dark = 0, checked = 0;
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      float cx = (x + 0.5f - 32.0f) / pixelsPerUnit, cy = -(y + 0.5f - 32.0f) / pixelsPerUnit;
      if (cx * cx + cy * cy > 0.9f * 0.9f) continue;
      Point3 n = VectorTransform(camToWorld, Point3(cx, cy, std::sqrt(1 - cx * cx - cy * cy)));
      float expected = std::max(0.0f, DotProd(n, toLight));
      ASSERT_NEAR(s.Pixel(x, y).r, expected, 0.01f) << "pixel " << x << ", " << y;
      ++checked, lit += expected > 0.9f, dark += expected == 0.0f;
    }
  }
  EXPECT_GT(checked, 1500);
  EXPECT_GT(lit, 20);
  EXPECT_GT(dark, 100);
}

TEST(Renderer, ShadowsFollowTheLightsCastShadowsSwitch) {
  for (bool castShadows : {true, false}) {
    RenderTestScene s(48, 48);
    s.AddOrthoCamera({0, 0, 20}, {0, 0, 0}, 12.0f, {0, 1, 0});
    // Light along (-1, 0, -1): the box at height 3 shadows the ground around x = -3.
    s.AddLight(LightObject::Type::kDirectional, {5, 0, 5}, {0, 0, 0}, castShadows);
    s.AddMesh(render_testing::PlaneMesh(20, 20), new LambertMtl);
    s.AddMesh(render_testing::BoxMesh({1, 1, 1}), new ConstantMtl(Color(0, 1, 0)), {0, 0, 2.5f});
    ASSERT_EQ(s.Render().status, RenderStatus::kDone);
    // 4 pixels a unit, centre 24: world (-2.875, -0.125) and (3.125, -0.125).
    EXPECT_NEAR(s.Pixel(12, 24).r, castShadows ? 0.0f : std::sqrt(0.5f), 1e-3f);
    EXPECT_NEAR(s.Pixel(36, 24).r, std::sqrt(0.5f), 1e-3f);
  }
}

TEST(Renderer, TransparentSurfacesShowWhatIsBehind) {
  RenderTestScene s(48, 48);
  s.scene.environment.background = Color(0.1f, 0.2f, 0.3f);
  s.AddCamera({0, -10, 0}, {0, 0, 0}, 60.0f);
  // Planes face +z; turned 90 degrees about x they face the camera (-y).
  HostNode* back =
      s.AddMesh(render_testing::PlaneMesh(2, 2), new ConstantMtl(Color(0.8f, 0, 0)), {0, 2, 0});
  HostNode* front =
      s.AddMesh(render_testing::PlaneMesh(6, 6),
                new ConstantMtl(Color(0, 0, 0.25f), Color(0.5f, 0.5f, 0.5f)), {0, -2, 0});
  back->rotationDegrees = front->rotationDegrees = Point3(90, 0, 0);
  ASSERT_EQ(s.Render().status, RenderStatus::kDone);

  struct Case {
    int x, y;
    AColor expected;
  } cases[] = {
      {24, 24, {0.4f, 0.0f, 0.25f, 1.0f}},           // front over the red plane
      {34, 24, {0.05f, 0.1f, 0.25f + 0.15f, 0.5f}},  // front over the background
      {1, 1, {0.1f, 0.2f, 0.3f, 0.0f}},              // background only
  };
  for (const Case& c : cases) {
    AColor p = s.Pixel(c.x, c.y);
    for (int i = 0; i < 4; ++i)
      EXPECT_NEAR(p[i], c.expected[i], 1e-3f) << c.x << ", " << c.y << " channel " << i;
  }
}

TEST(Renderer, OneSidedBackFacesAreInvisibleAndTwoSidedOnesRender) {
  struct Case {
    float cameraY;
    bool twoSided;
    bool mirrored;  // the node's transform mirrors: its winding turns, its sides do not
    bool visible;
  } cases[] = {{-10, false, false, true}, {10, false, false, false}, {-10, true, false, true},
               {10, true, false, true},   {-10, false, true, true},  {10, false, true, false}};
  for (const Case& c : cases) {
    RenderTestScene s(16, 16);
    s.AddCamera({0, c.cameraY, 0}, {0, 0, 0}, 40.0f);
    auto* probe = new ProbeMtl;
    probe->twoSided = c.twoSided;
    HostNode* plane = s.AddMesh(render_testing::PlaneMesh(4, 4), probe);
    plane->rotationDegrees = Point3(90, 0, 0);
    if (c.mirrored) plane->scale = Point3(-1, 1, 1);
    ASSERT_EQ(s.Render().status, RenderStatus::kDone);
    SCOPED_TRACE(::testing::Message() << "camera y " << c.cameraY << " two-sided " << c.twoSided
                                      << " mirrored " << c.mirrored);
    EXPECT_EQ(s.Pixel(8, 8).a, c.visible ? 1.0f : 0.0f);
    ASSERT_EQ(probe->records.empty(), !c.visible);
    for (const ProbeMtl::Record& r : probe->records) {
      EXPECT_EQ(r.backFace, c.cameraY > 0);
      // Normals face the viewer on either side.
      EXPECT_GT(r.normal.z, 0.99f);
      EXPECT_GT(r.gNormal.z, 0.99f);
    }
  }
}

TEST(Renderer, RenderElementsReceiveWhatMaterialsWrite) {
  RenderTestScene s(16, 16);
  s.AddCamera({0, -10, 0}, {0, 0, 0}, 20.0f);
  auto* first = new TestElement;
  auto* off = new TestElement;
  auto* second = new TestElement;
  off->SetEnabled(false);
  for (TestElement* e : {first, off, second}) s.scene.Elements().Append(e);
  const AColor value(0.25f, 0.5f, 0.75f, 1.0f);
  s.AddMesh(render_testing::SphereMesh(1, 32), new ElementMtl(second, value));
  auto* effect = new TestEffect;
  s.scene.Effects().Append(effect);
  int seen = 0;
  effect->apply = [&](TimeValue, Bitmap*, RenderGlobalContext* gc) {
    ASSERT_EQ(gc->NRenderElements(), 2);
    EXPECT_EQ(gc->GetRenderElement(0), first);
    EXPECT_EQ(gc->GetRenderElement(1), second);
    EXPECT_NE(second->GetRenderBitmap(), nullptr);
    EXPECT_EQ(second->ShadeOutputIndex(), 1);
    ++seen;
  };
  ASSERT_EQ(s.Render().status, RenderStatus::kDone);
  EXPECT_EQ(seen, 1);
  const FrameResult& f = s.sink.frames.at(0);
  ASSERT_EQ(f.elements.size(), 2u);
  EXPECT_EQ(f.elements[1].element, second);
  EXPECT_EQ(f.elements[1].image.GetPixel(8, 8), ToColor64(value));
  EXPECT_EQ(f.elements[1].image.GetPixel(0, 0), BMM_Color_64());
  EXPECT_EQ(f.elements[0].image.GetPixel(8, 8), BMM_Color_64());
  // The element's image belongs to the frame; the element lets go of it.
  EXPECT_EQ(second->GetRenderBitmap(), nullptr);
  EXPECT_EQ(second->ShadeOutputIndex(), -1);
}

// A material that logs its Update into the notification log.
class LoggingMtl : public LambertMtl {
 public:
  explicit LoggingMtl(std::vector<std::string>* log) : log_(log) {}
  void Update(TimeValue t, Interval& valid) override {
    LambertMtl::Update(t, valid);
    log_->push_back("update");
  }

 private:
  std::vector<std::string>* log_;
};

TEST(Renderer, NotificationsMaterialUpdatesAndEffectsComeInFrameOrder) {
  NotificationLog log;
  RenderTestScene s(8, 8);
  s.settings.lastFrame = 1;
  s.AddCamera({0, -10, 0}, {0, 0, 0}, 20.0f);
  s.AddMesh(render_testing::SphereMesh(1, 16), new LoggingMtl(&log.events));
  auto* on = new TestEffect;
  auto* off = new TestEffect;
  off->SetOn(false);
  s.scene.Effects().Append(on);
  s.scene.Effects().Append(off);
  std::vector<void*> applied;
  on->apply = [&](TimeValue, Bitmap*, RenderGlobalContext* gc) {
    log.events.push_back("apply");
    applied.push_back(gc);
    EXPECT_EQ(gc->NumRenderInstances(), 1);
  };
  off->apply = [&](TimeValue, Bitmap*, RenderGlobalContext*) { log.events.push_back("off"); };
  RenderReport report = s.Render();
  ASSERT_EQ(report.status, RenderStatus::kDone);
  EXPECT_EQ(report.framesWritten, 2);

  const std::vector<std::string> expected = {"20", "22",     "update", "23",    "apply",
                                             "22", "update", "23",     "apply", "21"};
  EXPECT_EQ(log.events, expected);
  EXPECT_EQ(on->updates, 1);
  // Frame notifications carry the frame's context, the one effects get.
  const std::vector<void*>& data = log.frameData;
  ASSERT_EQ(data.size(), 4u);
  ASSERT_EQ(applied.size(), 2u);
  EXPECT_EQ(data[0], applied[0]);
  EXPECT_EQ(data[1], applied[0]);
  EXPECT_EQ(data[2], applied[1]);
  EXPECT_EQ(data[3], applied[1]);
}

// Sleeps in the frame notifications: 20 ms before the frame, 40 ms after it.
class SlowFrameListener {
 public:
  SlowFrameListener() {
    RegisterNotification(&Sleep, this, NOTIFY_PRE_RENDERFRAME);
    RegisterNotification(&Sleep, this, NOTIFY_POST_RENDERFRAME);
  }
  ~SlowFrameListener() { UnRegisterNotification(&Sleep, this); }

 private:
  static void Sleep(void*, NotifyInfo* info) {
    std::this_thread::sleep_for(
        std::chrono::milliseconds(info->intcode == NOTIFY_PRE_RENDERFRAME ? 20 : 40));
  }
};

// Each stage is charged with its own work, once: the sleeping listeners and
// effect show in their stages, the stages never add up to more than the
// render took, and the report's totals are the frames' sums.
TEST(Renderer, StageSecondsChargeEachStageWithItsOwnWork) {
  SlowFrameListener listener;
  RenderTestScene s(8, 8);
  s.settings.lastFrame = 1;
  s.AddCamera({0, -10, 0}, {0, 0, 0}, 20.0f);
  s.AddMesh(render_testing::SphereMesh(1, 16), new LambertMtl);
  auto* effect = new TestEffect;
  effect->apply = [](TimeValue, Bitmap*, RenderGlobalContext*) {
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
  };
  s.scene.Effects().Append(effect);
  auto start = std::chrono::steady_clock::now();
  RenderReport report = s.Render();
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ASSERT_EQ(report.status, RenderStatus::kDone);
  ASSERT_EQ(s.sink.frames.size(), 2u);

  StageSeconds sum;
  for (const FrameResult& frame : s.sink.frames) {
    const StageSeconds& t = frame.seconds;
    EXPECT_GE(t.preFrame, 0.020);
    EXPECT_GE(t.postFrame, 0.040);
    EXPECT_GE(t.effects, 0.060);
    EXPECT_GT(t.build, 0.0);
    EXPECT_GT(t.shade, 0.0);
    sum += t;
  }
  const StageSeconds& total = report.seconds;
  EXPECT_DOUBLE_EQ(total.build, sum.build);
  EXPECT_DOUBLE_EQ(total.preFrame, sum.preFrame);
  EXPECT_DOUBLE_EQ(total.shade, sum.shade);
  EXPECT_DOUBLE_EQ(total.postFrame, sum.postFrame);
  EXPECT_DOUBLE_EQ(total.effects, sum.effects);
  EXPECT_LE(total.build + total.preFrame + total.shade + total.postFrame + total.effects, wall);
}

TEST(Renderer, CancelStopsTheFrameUnwrittenAndStillEndsTheRender) {
  CancellingInterface ip;
  NotificationLog log;
  RenderTestScene s(32, 32);
  s.settings.lastFrame = 2;
  s.AddCamera({0, -10, 0}, {0, 0, 0}, 20.0f);
  s.AddMesh(render_testing::SphereMesh(1, 16), new LambertMtl);
  auto* effect = new TestEffect;
  int applied = 0;
  effect->apply = [&](TimeValue, Bitmap*, RenderGlobalContext*) { ++applied; };
  s.scene.Effects().Append(effect);
  RenderReport report = s.Render();
  EXPECT_EQ(report.status, RenderStatus::kCancelled);
  EXPECT_EQ(report.framesWritten, 0);
  EXPECT_TRUE(s.sink.frames.empty());
  EXPECT_EQ(applied, 0);
  const std::vector<std::string> expected = {"20", "22", "23", "21"};
  EXPECT_EQ(log.events, expected);
  ASSERT_FALSE(ip.progress.empty());
  EXPECT_EQ(ip.progress.front(), "start Rendering frame 0 (1/3)");
  EXPECT_EQ(ip.progress.back(), "end");

  // The next render starts with the flag cleared.
  ip.cancelAt = -1;
  EXPECT_EQ(s.Render().status, RenderStatus::kDone);
  EXPECT_EQ(s.sink.frames.size(), 3u);
}

TEST(Renderer, FailuresAreReportedWithTheirReason) {
  {
    NotificationLog log;
    RenderTestScene s;
    RenderReport r = s.Render();
    EXPECT_EQ(r.status, RenderStatus::kFailed);
    EXPECT_EQ(r.error, "the scene has no camera");
    EXPECT_TRUE(log.events.empty());
  }
  {
    RenderTestScene s;
    s.AddCamera({0, -10, 0}, {0, 0, 0}, 20.0f);
    s.settings.width = 0;
    EXPECT_EQ(s.Render().status, RenderStatus::kFailed);
  }
  {
    NotificationLog log;
    RenderTestScene s;
    s.AddCamera({0, -10, 0}, {0, 0, 0}, 20.0f);
    s.sink.refuse = true;
    RenderReport r = s.Render();
    EXPECT_EQ(r.status, RenderStatus::kFailed);
    EXPECT_EQ(r.error, "the sink refused");
    EXPECT_EQ(log.events.back(), "21");
  }
}

TEST(Renderer, NodesWithBrokenMeshesAreLeftOutWithAWarning) {
  RenderTestScene s(8, 8);
  s.AddCamera({0, -10, 0}, {0, 0, 0}, 20.0f);
  Mesh broken = render_testing::BoxMesh({1, 1, 1});
  broken.faces[3].v[1] = 999;
  HostNode* bad = s.AddMesh(std::move(broken), new LambertMtl);
  s.AddMesh(render_testing::SphereMesh(1, 16), new ConstantMtl(Color(0, 1, 0)));
  RenderReport r = s.Render();
  ASSERT_EQ(r.status, RenderStatus::kDone);
  ASSERT_EQ(r.warnings.size(), 1u);
  EXPECT_NE(r.warnings[0].find(bad->GetName()), std::string::npos) << r.warnings[0];
  EXPECT_NEAR(s.Pixel(4, 4).g, 1.0f, 1e-4f);
}

TEST(Renderer, EmptySceneRendersTheBackgroundOpaqueUnlessAlphaIsAsked) {
  for (bool alpha : {false, true}) {
    RenderTestScene s(8, 6);
    s.settings.alpha = alpha;
    s.scene.environment.background = Color(0.2f, 0.4f, 0.6f);
    s.AddCamera({0, -10, 0}, {0, 0, 0}, 20.0f);
    ASSERT_EQ(s.Render().status, RenderStatus::kDone);
    const FrameResult& f = s.sink.frames.at(0);
    ASSERT_EQ(f.image.Width(), 8);
    ASSERT_EQ(f.image.Height(), 6);
    for (int y = 0; y < 6; ++y) {
      for (int x = 0; x < 8; ++x) {
        EXPECT_EQ(f.image.GetPixel(x, y), ToColor64(AColor(0.2f, 0.4f, 0.6f, alpha ? 0.0f : 1.0f)))
            << "alpha " << alpha;
        EXPECT_TRUE(std::isinf(f.gbuffer.depth[static_cast<size_t>(y * 8 + x)]));
        EXPECT_EQ(f.gbuffer.nodeId[static_cast<size_t>(y * 8 + x)], -1);
      }
    }
  }
}

TEST(Renderer, BackgroundImagesStretchOverTheFrameAndMissingOnesFallBackToTheColour) {
  ScratchDir dir;
  // A 2 x 2 image: red, green / blue, white.
  Bitmap image(2, 2);
  image.PutPixel(0, 0, ToColor64(AColor(1, 0, 0, 1)));
  image.PutPixel(1, 0, ToColor64(AColor(0, 1, 0, 1)));
  image.PutPixel(0, 1, ToColor64(AColor(0, 0, 1, 1)));
  image.PutPixel(1, 1, ToColor64(AColor(1, 1, 1, 1)));
  std::string error;
  ASSERT_TRUE(WritePng(dir.File("bg.png"), image, 16, &error)) << error;
  RenderTestScene s(8, 8);
  s.scene.environment.background = Color(0.3f, 0.3f, 0.3f);
  s.scene.environment.backgroundImage = "bg.png";
  s.scene.sourcePath = dir.File("scene.json");  // relative images are found beside the scene
  s.AddCamera({0, -10, 0}, {0, 0, 0}, 20.0f);
  RenderReport r = s.Render();
  ASSERT_EQ(r.status, RenderStatus::kDone);
  EXPECT_TRUE(r.warnings.empty());
  EXPECT_EQ(s.Pixel(1, 1), AColor(1, 0, 0, 0));
  EXPECT_EQ(s.Pixel(6, 1), AColor(0, 1, 0, 0));
  EXPECT_EQ(s.Pixel(1, 6), AColor(0, 0, 1, 0));
  EXPECT_EQ(s.Pixel(6, 6), AColor(1, 1, 1, 0));

  s.scene.environment.backgroundImage = "missing.png";
  r = s.Render();
  ASSERT_EQ(r.status, RenderStatus::kDone);
  ASSERT_EQ(r.warnings.size(), 1u);
  EXPECT_NE(r.warnings[0].find("missing.png"), std::string::npos) << r.warnings[0];
  EXPECT_NEAR(s.Pixel(1, 1, 1).r, 0.3f, 1e-4f);
}

TEST(Renderer, GBufferHoldsTheNearestSurfaceOfThePixelCentre) {
  for (int samples : {1, 2}) {
    RenderTestScene s(16, 16);
    s.settings.samples = samples;
    s.AddOrthoCamera({0, -10, 0}, {0, 0, 0}, 4.0f);
    HostNode* box = s.AddMesh(render_testing::BoxMesh({2, 2, 2}), new LambertMtl);
    box->gbufID = 7;
    ASSERT_EQ(s.Render().status, RenderStatus::kDone);
    const GBuffer& g = s.sink.frames.at(0).gbuffer;
    ASSERT_EQ(g.width, 16);
    // The box covers columns and rows 4..11; its front side (-y, material
    // id 3) lies 9 units in front of the camera.
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 16; ++x) {
        size_t i = static_cast<size_t>(y * 16 + x);
        bool inside = x >= 4 && x < 12 && y >= 4 && y < 12;
        SCOPED_TRACE(::testing::Message() << samples << " samples, pixel " << x << ", " << y);
        EXPECT_EQ(g.nodeId[i], inside ? 0 : -1);
        EXPECT_EQ(g.objectId[i], inside ? 7 : 0);
        EXPECT_EQ(g.materialId[i], inside ? 3 : -1);
        EXPECT_TRUE(inside ? std::fabs(g.depth[i] - 9.0f) < 1e-4f : std::isinf(g.depth[i]))
            << g.depth[i];
      }
    }
  }
}

// Every byte of two frames, image, elements and G-buffer.
void expectSameFrame(const FrameResult& a, const FrameResult& b) {
  auto same = [](const Bitmap& x, const Bitmap& y) {
    if (x.Width() != y.Width() || x.Height() != y.Height()) return false;
    for (int r = 0; r < x.Height(); ++r) {
      if (!std::equal(x.Row(r), x.Row(r) + x.Width(), y.Row(r))) return false;
    }
    return true;
  };
  EXPECT_TRUE(same(a.image, b.image));
  ASSERT_EQ(a.elements.size(), b.elements.size());
  for (size_t i = 0; i < a.elements.size(); ++i)
    EXPECT_TRUE(same(a.elements[i].image, b.elements[i].image));
  EXPECT_EQ(a.gbuffer.depth, b.gbuffer.depth);
  EXPECT_EQ(a.gbuffer.nodeId, b.gbuffer.nodeId);
}

TEST(Renderer, ImagesDoNotDependOnTheThreadCount) {
  RenderTestScene s(40, 30);
  s.settings.samples = 3;
  s.AddCamera({3, -9, 5}, {0, 0, 0.5f}, 45.0f);
  s.AddLight(LightObject::Type::kSpot, {4, -4, 8}, {0, 0, 0}, true);
  s.AddLight(LightObject::Type::kOmni, {-5, -2, 3}, {0, 0, 0}, true);
  s.AddMesh(render_testing::PlaneMesh(10, 10), new LambertMtl(Color(0.9f, 0.8f, 0.7f)));
  s.AddMesh(render_testing::SphereMesh(1, 48), new LambertMtl(Color(0.2f, 0.5f, 0.9f)), {0, 0, 1});
  s.AddMesh(render_testing::BoxMesh({1, 1, 1}),
            new ConstantMtl(Color(0, 0.3f, 0), Color(0.5f, 0.5f, 0.5f)), {1.5f, -1, 0.5f});
  auto* element = new TestElement;
  s.scene.Elements().Append(element);
  s.AddMesh(render_testing::SphereMesh(0.5f, 16), new ElementMtl(element, AColor(1, 0, 1, 1)),
            {-1.5f, 0, 0.5f});
  for (int threads : {1, 2, 0}) {
    s.settings.threads = threads;
    ASSERT_EQ(s.Render().status, RenderStatus::kDone);
  }
  ASSERT_EQ(s.sink.frames.size(), 3u);
  expectSameFrame(s.sink.frames[0], s.sink.frames[1]);
  expectSameFrame(s.sink.frames[0], s.sink.frames[2]);
}

TEST(Renderer, HiddenAndInvisibleNodesStayOutOfTheImage) {
  struct Case {
    const char* what;
    void (*change)(HostNode*);
  } cases[] = {
      {"not renderable", [](HostNode* n) { n->renderable = false; }},
      {"visibility 0", [](HostNode* n) { n->visibility = 0.0f; }},
      {"not seen by the camera", [](HostNode* n) { n->primaryVisibility = false; }},
  };
  for (const Case& c : cases) {
    RenderTestScene s(8, 8);
    s.AddCamera({0, -10, 0}, {0, 0, 0}, 20.0f);
    c.change(s.AddMesh(render_testing::SphereMesh(1, 16), new LambertMtl));
    ASSERT_EQ(s.Render().status, RenderStatus::kDone);
    EXPECT_EQ(s.Pixel(4, 4).a, 0.0f) << c.what;
  }
}

// A material whose BuildMaps renders two sub-views through the maps context.
class SubViewMtl : public ConstantMtl {
 public:
  SubViewMtl() : ConstantMtl(Color(1, 0, 0)) {}
  bool BuildMaps(TimeValue, RenderMapsContext& rmc) override {
    node = rmc.GetNode();
    auto view = [&](const Point3& from, const Point3& to, const Point4* plane) {
      ViewParams vp;
      vp.affineTM = Inverse(LookAtMatrix(from, to, Point3(0, 0, 1)));
      vp.fov = 60.0f * kDegToRad;
      SubRendParams srp;
      Bitmap bm(9, 9);
      EXPECT_TRUE(rmc.Render(&bm, vp, srp, plane, plane ? 1 : 0));
      return FromColor64(bm.GetPixel(4, 4));
    };
    outward = view({0, 0, 0}, {0, 5, 0}, nullptr);
    through = view({0, -5, 0}, {0, 0, 0}, nullptr);
    // Keeps camera-space z >= -3: the green box 5 units away is cut off.
    const Point4 plane(0, 0, 1, 3);
    clipped = view({0, 0, 0}, {0, 5, 0}, &plane);
    ++builds;
    return true;
  }
  INode* node = nullptr;
  AColor outward, through, clipped;
  int builds = 0;
};

TEST(Renderer, MapsRenderSubViewsWithoutTheirOwnNode) {
  RenderTestScene s(8, 8);
  s.AddCamera({0, -10, 0}, {0, 0, 0}, 30.0f);
  auto* mtl = new SubViewMtl;
  HostNode* self = s.AddMesh(render_testing::SphereMesh(1, 16), mtl);
  s.AddMesh(render_testing::BoxMesh({2, 2, 2}), new ConstantMtl(Color(0, 1, 0)), {0, 5, 0});
  ASSERT_EQ(s.Render().status, RenderStatus::kDone);
  EXPECT_EQ(mtl->builds, 1);
  EXPECT_EQ(mtl->node, self);
  EXPECT_NEAR(mtl->outward.g, 1.0f, 1e-4f);
  // Seen from outside, the mapped sphere is left out: the box behind shows.
  EXPECT_NEAR(mtl->through.g, 1.0f, 1e-4f);
  EXPECT_NEAR(mtl->through.r, 0.0f, 1e-4f);
  EXPECT_EQ(mtl->clipped.a, 0.0f);
  // The main view still shows the sphere itself.
  EXPECT_NEAR(s.Pixel(4, 4).r, 1.0f, 1e-4f);
}

TEST(Renderer, MaterialSampleShowsTheMaterialOnASphereInTheEditor) {
  ReferenceHolder hold(new ProbeMtl);
  auto* probe = hold.GetAs<ProbeMtl>();
  Bitmap out;
  std::string error;
  ASSERT_TRUE(RenderMaterialSample(probe, 32, out, &error)) << error;
  ASSERT_EQ(out.Width(), 32);
  EXPECT_EQ(probe->updates, 1);
  ASSERT_FALSE(probe->records.empty());
  for (const ProbeMtl::Record& r : probe->records) EXPECT_TRUE(r.inMtlEditor);
  EXPECT_NEAR(FromColor64(out.GetPixel(16, 16)).r, 0.5f, 1e-4f);
  EXPECT_EQ(FromColor64(out.GetPixel(0, 0)).a, 0.0f);

  // Without a material the default grey Lambert is lit by the sample's lights.
  ASSERT_TRUE(RenderMaterialSample(nullptr, 16, out, &error)) << error;
  EXPECT_GT(FromColor64(out.GetPixel(8, 8)).r, 0.1f);
  EXPECT_FALSE(RenderMaterialSample(nullptr, 0, out, &error));
}

// What a part of a sequence tells its listeners, and when its frames reach
// the sink, as one list of events; answers the history query with `want`.
class PartLog : public FrameSink {
 public:
  explicit PartLog(bool want) : want_(want) {
    for (int code : kCodes) RegisterNotification(&Record, this, code);
  }
  ~PartLog() override { UnRegisterNotification(&Record, this); }
  bool WriteFrame(const FrameResult& frame, std::string*) override {
    events.push_back("write " + std::to_string(frame.frame));
    return true;
  }
  std::vector<std::string> events;

 private:
  static constexpr int kCodes[] = {NOTIFY_PRE_RENDER, NOTIFY_FRAME_HISTORY_WANTED,
                                   NOTIFY_FRAME_HISTORY, NOTIFY_FRAME_COMPLETE};
  static int frameAt(TimeValue t) { return static_cast<int>(t / (TIME_TICKSPERSEC / 30)); }
  static void Record(void* param, NotifyInfo* info) {
    auto* log = static_cast<PartLog*>(param);
    switch (info->intcode) {
      case NOTIFY_PRE_RENDER: {
        const auto* p = static_cast<const RendParams*>(info->callParam);
        log->events.push_back("render " + std::to_string(p->firstFrame) + "-" +
                              std::to_string(p->lastFrame) + (p->singleFrame ? " single" : ""));
        break;
      }
      case NOTIFY_FRAME_HISTORY_WANTED: {
        auto* query = static_cast<FrameHistoryQuery*>(info->callParam);
        query->wanted = log->want_;
        log->events.push_back("wanted " + std::to_string(frameAt(query->time)));
        break;
      }
      case NOTIFY_FRAME_HISTORY: {
        auto* gc = static_cast<RenderGlobalContext*>(info->callParam);
        log->events.push_back("history " + std::to_string(frameAt(gc->time)) + " with " +
                              std::to_string(gc->NumRenderInstances()) + " instances");
        break;
      }
      case NOTIFY_FRAME_COMPLETE:
        log->events.push_back(
            "complete " + std::to_string(frameAt(static_cast<RenderGlobalContext*>(
                                                     info->callParam)->time)));
        break;
    }
  }
  bool want_;
};

TEST(Renderer, APartFollowsTheEarlierFramesOnlyForListenersThatAsk) {
  RenderTestScene s(8, 8);
  s.AddCamera({0, -10, 0}, {0, 0, 0}, 40.0f);
  s.AddMesh(render_testing::BoxMesh({1, 1, 1}), new ConstantMtl(Color(1, 0, 0)));
  s.AddMesh(render_testing::BoxMesh({1, 1, 1}), new ConstantMtl(Color(0, 1, 0)), {2, 0, 0});
  const SequencePart part{{1, 2, 3, 4, 5, 6}, {false, false, true, false, true, false}};
  {
    PartLog log(true);
    ASSERT_EQ(RenderPart(s.scene, s.settings, part, log).status, RenderStatus::kDone);
    // The frame after the last rendered one is not looked at; each frame's
    // plug-in files are complete before its images are written.
    EXPECT_EQ(log.events, (std::vector<std::string>{
                              "render 1-6", "wanted 1", "history 1 with 2 instances", "wanted 2",
                              "history 2 with 2 instances", "complete 3", "write 3", "wanted 4",
                              "history 4 with 2 instances", "complete 5", "write 5"}));
  }
  {
    PartLog log(false);
    ASSERT_EQ(RenderPart(s.scene, s.settings, part, log).status, RenderStatus::kDone);
    EXPECT_EQ(log.events,
              (std::vector<std::string>{"render 1-6", "wanted 1", "wanted 2", "complete 3",
                                        "write 3", "wanted 4", "complete 5", "write 5"}));
  }
  // A sequence of one frame is a single frame; a part with nothing to render fails.
  PartLog log(true);
  EXPECT_EQ(RenderPart(s.scene, s.settings, {{7}, {true}}, log).status, RenderStatus::kDone);
  EXPECT_EQ(log.events,
            (std::vector<std::string>{"render 7-7 single", "complete 7", "write 7"}));
  const RenderReport none = RenderPart(s.scene, s.settings, {{1, 2}, {false, false}}, log);
  EXPECT_EQ(none.status, RenderStatus::kFailed);
  EXPECT_EQ(none.error, "no frame to render");
  EXPECT_EQ(RenderPart(s.scene, s.settings, {{1, 2}, {true}}, log).status,
            RenderStatus::kFailed);
}

}  // namespace
}  // namespace host
