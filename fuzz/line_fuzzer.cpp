// Feeds arbitrary bytes to the saved-scene reader with the plug-in's line
// classes known (line effect, line sets, line settings, brushes, shape
// control), so that their own chunks, their parameter blocks and the repairs
// they run after loading meet damaged data. Every input must load or be
// refused with a message; a crash, a sanitizer report or a leak is a bug.
// With TARNIS_FUZZ_WRITE_SEED=PATH set, writes a valid saved scene with a
// line effect to PATH for the seed corpus and exits.
#include "fuzz/fuzz_scene.h"
#include "host/scene_classes.h"
#include "sdk/hold.h"
#include "tarnis/line/effect/line_manager.h"
#include "tarnis/line/effect/line_set.h"
#include "tarnis/plugin/class_table.h"

namespace {

std::unique_ptr<host::Scene> seedScene() {
  auto scene = std::make_unique<host::Scene>();
  auto* geom = new host::GeomObject;
  geom->mesh.verts = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  geom->mesh.faces.resize(1);
  geom->mesh.faces[0].setVerts(0, 1, 2);
  host::HostNode* a = scene->CreateNode("A");
  a->SetObject(geom);
  auto* lines = new tarnis::LineManager;
  scene->Effects().Append(lines);
  tarnis::LineSet* first = lines->AddLineSet();
  first->MainBlock()->Append(tarnis::kLineSetObjects, a);
  theHold.Reset();
  return scene;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  host::RegisterSceneClasses(GetClassDirectory());
  for (ClassDesc2* cd : tarnis::ClassTable()) GetClassDirectory().AddClass(cd);
  fuzz::WriteSeedIfAsked(seedScene);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::LoadInput(data, size);
  theHold.Reset();
  return 0;
}
