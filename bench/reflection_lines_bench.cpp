// What lines in reflections cost: the bundled reflections example is
// rendered RUNS times; each reflection map counts the seconds of its cube
// faces' line passes, and the frame's own line pass is the post-frame stage
// (geometry) plus the effects stage (drawing). Prints the fastest run of
// each and their ratio.
//
//   reflection_lines_bench [RUNS] [SCENE]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
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
#include "tarnis/line/effect/line_ref_tex.h"
#include "tarnis/line/effect/line_ref_tex_class_desc.h"
#include "tarnis/plugin/class_table.h"

namespace {

class DropFrames : public host::FrameSink {
 public:
  bool WriteFrame(const host::FrameResult&, std::string*) override { return true; }
};

// One render's frame line pass and cube-face line passes, in seconds.
struct Times {
  double frame = 0.0, faces = 0.0;
};

Times RenderOnce(host::Scene& scene, const std::vector<tarnis::LineRefTex*>& maps) {
  double before = 0.0;
  for (tarnis::LineRefTex* m : maps) before += m->LinePassSeconds();
  DropFrames sink;
  const host::RenderReport report = host::RenderSequence(scene, scene.render, sink);
  if (report.status != host::RenderStatus::kDone) {
    std::fprintf(stderr, "reflection_lines_bench: the render failed: %s\n", report.error.c_str());
    std::exit(1);
  }
  Times t;
  t.frame = report.seconds.postFrame + report.seconds.effects;
  for (tarnis::LineRefTex* m : maps) t.faces += m->LinePassSeconds();
  t.faces -= before;
  return t;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const std::string path =
      argc > 2 ? argv[2]
               : std::string(TARNIS_SOURCE_DIR) + "/examples/reflections/reflections.json";
  host::HostInterface ip(nullptr);
  SetCOREInterface(&ip);
  ip.SetShowProgress(false);
  host::RegisterHostClasses();
  for (ClassDesc2* cd : tarnis::ClassTable()) GetClassDirectory().AddClass(cd);
  std::string error;
  std::vector<std::string> warnings;
  std::unique_ptr<host::Scene> scene = host::LoadSceneFile(path, &warnings, &error);
  if (!scene) {
    std::fprintf(stderr, "reflection_lines_bench: %s\n", error.c_str());
    return 1;
  }
  ip.SetScene(scene.get());

  std::vector<tarnis::LineRefTex*> maps;
  std::unordered_set<MtlBase*> seen;
  for (host::HostNode* node : scene->AllNodes()) {
    std::vector<MtlBase*> reachable;
    host::CollectMtlBases(node->GetMtl(), reachable, seen);
    for (MtlBase* m : reachable) {
      if (auto* map = dynamic_cast<tarnis::LineRefTex*>(m)) maps.push_back(map);
    }
  }
  Times best{1e30, 1e30};
  for (int i = 0; i < runs; ++i) {
    const Times t = RenderOnce(*scene, maps);
    best.frame = std::min(best.frame, t.frame);
    best.faces = std::min(best.faces, t.faces);
  }
  std::printf("reflection maps drawing lines: %zu (6 cube faces each), fastest of %d renders\n",
              maps.size(), runs);
  std::printf("cube faces' line passes  %.4f s\n", best.faces);
  std::printf("frame's own line pass    %.4f s\n", best.frame);
  std::printf("ratio faces / frame      %.2f\n", best.frame > 0 ? best.faces / best.frame : 0.0);
  SetCOREInterface(nullptr);
  return 0;
}
