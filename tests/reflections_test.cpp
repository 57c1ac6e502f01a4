// Lines in reflections and refractions, in real renders of the host: the
// bundled reflections example draws line-effect lines into what its mirror
// ball reflects and its glass block refracts, only there, and the picture
// does not depend on the number of render threads.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "host/frame_renderer.h"
#include "host/host_classes.h"
#include "host/host_interface.h"
#include "host/renderer.h"
#include "host/scene.h"
#include "host/scene_loader.h"
#include "host/testing/render_test_scene.h"
#include "sdk/mtl.h"
#include "sdk/notify.h"
#include "tarnis/line/effect/line_ref_tex.h"
#include "tarnis/line/effect/line_ref_tex_class_desc.h"
#include "tarnis/plugin/class_table.h"

namespace {

constexpr char kExample[] = TARNIS_SOURCE_DIR "/examples/reflections/reflections.json";

class Reflections : public ::testing::Test {
 protected:
  void SetUp() override {
    ip = std::make_unique<host::HostInterface>(nullptr);
    previous = GetCOREInterface();
    SetCOREInterface(ip.get());
    host::RegisterHostClasses();
    for (ClassDesc2* cd : tarnis::ClassTable()) GetClassDirectory().AddClass(cd);
    std::string error;
    std::vector<std::string> warnings;
    scene = host::LoadSceneFile(kExample, &warnings, &error);
    ASSERT_NE(scene, nullptr) << error;
    EXPECT_TRUE(warnings.empty()) << warnings.front();
    ip->SetScene(scene.get());
  }
  void TearDown() override { SetCOREInterface(previous); }

  // The example at half its size (small enough for a unit test).
  host::FrameResult Render(int threads) {
    host::RenderSettings settings = scene->render;
    settings.width /= 2;
    settings.height /= 2;
    settings.threads = threads;
    host::render_testing::MemorySink sink;
    const host::RenderReport report = host::RenderSequence(*scene, settings, sink);
    EXPECT_EQ(report.status, host::RenderStatus::kDone) << report.error;
    if (sink.frames.empty()) return {};
    return sink.frames.front();
  }
  // Every reflection map of the example with all its edge kinds off.
  void SwitchReflectedLinesOff() {
    for (const char* name : {"MirrorBall", "GlassBlock"}) {
      std::vector<MtlBase*> reachable;
      std::unordered_set<MtlBase*> seen;
      host::CollectMtlBases(scene->FindNode(name)->GetMtl(), reachable, seen);
      tarnis::LineRefTex* map = nullptr;
      for (MtlBase* m : reachable) {
        if (auto* found = dynamic_cast<tarnis::LineRefTex*>(m)) map = found;
      }
      ASSERT_NE(map, nullptr) << name;
      for (ParamID id : {tarnis::kRefTexEdgeObjectDisable, tarnis::kRefTexEdgeNormalDisable,
                         tarnis::kRefTexEdgeMaterialDisable, tarnis::kRefTexEdgeSmoothDisable,
                         tarnis::kRefTexEdgeISectDisable}) {
        map->MainBlock()->SetValue(id, 0, 1);
      }
    }
  }

  std::unique_ptr<host::Scene> scene;
  std::unique_ptr<host::HostInterface> ip;
  Interface* previous = nullptr;
};

float Luminance(const Bitmap& bm, int x, int y) {
  const AColor c = FromColor64(bm.GetPixel(x, y));
  return 0.3f * c.r + 0.59f * c.g + 0.11f * c.b;
}

TEST_F(Reflections, MirrorAndGlassShowTheLinesOfTheOthersAndNothingElseChanges) {
  const host::FrameResult with = Render(1);
  SwitchReflectedLinesOff();
  const host::FrameResult without = Render(1);
  ASSERT_EQ(with.image.Width(), without.image.Width());
  const int w = with.image.Width(), h = with.image.Height();
  const int ball = scene->FindNode("MirrorBall")->gbufID;
  const int glass = scene->FindNode("GlassBlock")->gbufID;
  // Near (within two pixels of) the ball or the block, as the G-buffer says.
  auto nearReflector = [&](int x, int y) {
    for (int dy = -2; dy <= 2; ++dy) {
      for (int dx = -2; dx <= 2; ++dx) {
        const int u = x + dx, v = y + dy;
        if (u < 0 || v < 0 || u >= w || v >= h) continue;
        const int id = with.gbuffer.objectId[static_cast<size_t>(v) * w + u];
        if (id == ball || id == glass) return true;
      }
    }
    return false;
  };
  int darker = 0, elsewhere = 0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const float d = Luminance(without.image, x, y) - Luminance(with.image, x, y);
      if (std::fabs(d) < 0.02f) continue;
      if (!nearReflector(x, y)) ++elsewhere;
      if (d > 0.1f) ++darker;
    }
  }
  EXPECT_GT(darker, 30) << "reflected lines darken the mirror and the glass";
  EXPECT_EQ(elsewhere, 0) << "nothing but the reflecting objects changes";
}

TEST_F(Reflections, ExampleRendersTheSameWithOneAndTwoThreads) {
  const host::FrameResult one = Render(1);
  const host::FrameResult two = Render(2);
  ASSERT_EQ(one.image.Width(), two.image.Width());
  int differing = 0;
  for (int y = 0; y < one.image.Height(); ++y) {
    for (int x = 0; x < one.image.Width(); ++x) {
      differing += one.image.GetPixel(x, y) != two.image.GetPixel(x, y);
    }
  }
  EXPECT_EQ(differing, 0);
}

}  // namespace
