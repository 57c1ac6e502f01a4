// Feeds arbitrary bytes to the saved-scene reader. Every input must either
// load or be refused with a message; anything else (a crash, a sanitizer
// report, a leak) is a bug. With TARNIS_FUZZ_WRITE_SEED=PATH set, the
// program writes a valid saved scene to PATH for the seed corpus and exits.
#include "fuzz/fuzz_scene.h"
#include "host/scene_classes.h"

namespace {

std::unique_ptr<host::Scene> seedScene() {
  auto scene = std::make_unique<host::Scene>();
  auto* geom = new host::GeomObject;
  geom->mesh.verts = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  geom->mesh.faces.resize(2);
  geom->mesh.faces[0].setVerts(0, 1, 2);
  geom->mesh.faces[1].setVerts(0, 3, 1);
  geom->mesh.setMapSupport(1, 4);
  host::HostNode* group = scene->CreateNode("Group");
  group->groupHead = true;
  host::HostNode* a = scene->CreateNode("A", group);
  a->SetObject(geom);
  host::HostNode* b = scene->CreateNode("B");
  b->SetObject(geom);
  host::HostNode* cam = scene->CreateNode("Camera");
  cam->SetObject(new host::CameraObject);
  scene->cameraNode = cam;
  scene->CreateNode("Light")->SetObject(new host::LightObject);
  return scene;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  host::RegisterSceneClasses(GetClassDirectory());
  fuzz::WriteSeedIfAsked(seedScene);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::LoadInput(data, size);
  return 0;
}
