// Saved scenes: what is saved comes back (values, sharing, settings), saving
// again gives the same bytes, objects of unknown classes survive, damaged
// files are refused without crashing, and the file notifications arrive in
// order around save, open and merge.
#include "host/scene_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "host/scene_classes.h"
#include "host/scene_limits.h"
#include "sdk/notify.h"
#include "sdk/param_block.h"

namespace host {
namespace {

namespace fs = std::filesystem;

// A plug-in-like object with a parameter block and an animated parameter.
class Widget : public ReferenceTarget {
 public:
  static constexpr Class_ID kClassID{0x51ED0001, 0x51ED0002};
  Class_ID ClassID() override { return kClassID; }
  SClass_ID SuperClassID() override { return REF_TARGET_CLASS_ID; }
  int NumRefs() override { return 1; }
  ReferenceTarget* GetReference(int i) override { return i == 0 ? pblock : nullptr; }
  IParamBlock2* pblock = nullptr;

 protected:
  void SetReference(int i, ReferenceTarget* t) override {
    if (i == 0) pblock = dynamic_cast<IParamBlock2*>(t);
  }
};

class WidgetDesc : public ClassDesc2 {
 public:
  int IsPublic() override { return 0; }
  void* Create(bool loading) override {
    auto* w = new Widget;
    if (!loading) MakeAutoParamBlocks(w);
    return static_cast<ReferenceTarget*>(w);
  }
  const char* ClassName() override { return "Widget"; }
  SClass_ID SuperClassID() override { return REF_TARGET_CLASS_ID; }
  Class_ID ClassID() override { return Widget::kClassID; }
  const char* Category() override { return ""; }
};

WidgetDesc widgetDesc;
ParamBlockDesc2 widgetBlock{
    {.id = 0,
     .internalName = "main",
     .classDesc = &widgetDesc,
     .ownerRef = 0,
     .flags = P_AUTO_CONSTRUCT},
    {
        {.id = 0,
         .internalName = "size",
         .type = TYPE_FLOAT,
         .flags = P_ANIMATABLE,
         .def = 1.0f,
         .range = {0.0f, 100.0f}},
        {.id = 1, .internalName = "tint", .type = TYPE_RGBA, .def = Color(0.5f, 0.5f, 0.5f)},
    }};

class SceneFile : public testing::Test {
 protected:
  void SetUp() override {
    RegisterSceneClasses(GetClassDirectory());
    GetClassDirectory().AddClass(&widgetDesc);
    dir_ = fs::temp_directory_path() / ("tarnis_scene_file_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    GetClassDirectory().AddClass(&widgetDesc);  // back, whatever a test did
    fs::remove_all(dir_);
  }

  // Two boxes sharing a mesh object, a camera, a light, a widget in the
  // library and as an effect-list entry, and non-default settings.
  static std::unique_ptr<Scene> MakeScene() {
    auto scene = std::make_unique<Scene>();
    scene->render.width = 320, scene->render.height = 200, scene->render.samples = 3;
    scene->render.firstFrame = 2, scene->render.lastFrame = 5;
    scene->environment.background = Color(0.1f, 0.2f, 0.3f);
    scene->environment.backgroundImage = "sky.png";
    auto* geom = new GeomObject;
    geom->source = "hand-made";
    Mesh& m = geom->mesh;
    m.verts = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    m.faces.resize(2);
    m.faces[0].setVerts(0, 1, 2), m.faces[0].smGroup = 1, m.faces[0].setMatID(3);
    m.faces[1].setVerts(0, 1, 3), m.faces[1].setEdgeVis(2, false);
    m.setMapSupport(1, 3);
    m.Map(1).tv = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    m.Map(1).tf[1].t[2] = 2;
    HostNode* group = scene->CreateNode("Group");
    group->groupHead = true;
    HostNode* a = scene->CreateNode("A", group);
    a->SetObject(geom);
    a->position = Point3(1, 2, 3), a->rotationDegrees = Point3(0, 0, 45), a->gbufID = 7;
    a->groupMember = true;
    HostNode* b = scene->CreateNode("B");
    b->SetObject(geom);
    b->primaryVisibility = false;
    HostNode* cam = scene->CreateNode("Camera");
    auto* camera = new CameraObject;
    camera->fovDegrees = 30.0f;
    cam->SetObject(camera);
    cam->target = Point3(0, 0, 0);
    scene->cameraNode = cam;
    HostNode* light = scene->CreateNode("Key");
    auto* lo = new LightObject;
    lo->type = LightObject::Type::kSpot, lo->castShadows = true, lo->multiplier = 0.75f;
    light->SetObject(lo);
    auto* widget = static_cast<Widget*>(static_cast<ReferenceTarget*>(widgetDesc.Create(false)));
    widget->pblock->MakeAnimated(0, KeyInterp::kLinear);
    widget->pblock->SetValue(0, 0, 2.0f);
    widget->pblock->SetValue(0, 100, 4.0f);
    widget->pblock->SetValue(1, 0, Color(1, 0, 0));
    scene->Library().Append(widget);
    scene->Effects().Append(widget);
    return scene;
  }

  static std::vector<uint8_t> Bytes(Scene& scene) {
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(SerializeScene(scene, bytes, &error)) << error;
    return bytes;
  }

  fs::path dir_;
};

TEST_F(SceneFile, WhatIsSavedComesBackAndSavesToTheSameBytes) {
  auto scene = MakeScene();
  std::vector<uint8_t> bytes = Bytes(*scene);
  std::vector<std::string> warnings;
  std::string error;
  auto loaded = DeserializeScene(bytes, "test", &warnings, &error);
  ASSERT_TRUE(loaded) << error;
  EXPECT_TRUE(warnings.empty());
  EXPECT_EQ(Bytes(*loaded), bytes);

  EXPECT_EQ(loaded->render.width, 320);
  EXPECT_EQ(loaded->render.samples, 3);
  EXPECT_EQ(loaded->render.lastFrame, 5);
  EXPECT_EQ(loaded->environment.background, Color(0.1f, 0.2f, 0.3f));
  EXPECT_EQ(loaded->environment.backgroundImage, "sky.png");
  HostNode* a = loaded->FindNode("A");
  HostNode* b = loaded->FindNode("B");
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->GetParentNode(), loaded->FindNode("Group"));
  EXPECT_TRUE(a->IsGroupMember());
  EXPECT_TRUE(loaded->FindNode("Group")->IsGroupHead());
  EXPECT_EQ(a->position, Point3(1, 2, 3));
  EXPECT_EQ(a->GetGBufID(), 7);
  EXPECT_FALSE(b->GetPrimaryVisibility());
  // The mesh object is shared by both nodes again.
  ASSERT_NE(a->GetObjectRef(), nullptr);
  EXPECT_EQ(a->GetObjectRef(), b->GetObjectRef());
  Mesh* m = a->GetMesh(0);
  ASSERT_EQ(m->getNumFaces(), 2);
  EXPECT_EQ(m->faces[0].getMatID(), 3);
  EXPECT_FALSE(m->faces[1].getEdgeVis(2));
  EXPECT_EQ(m->Map(1).tf[1].t[2], 2u);
  EXPECT_TRUE(m->mapSupport(1));
  ASSERT_EQ(loaded->cameraNode, loaded->FindNode("Camera"));
  auto* camera = dynamic_cast<CameraObject*>(loaded->cameraNode->GetObjectRef());
  ASSERT_NE(camera, nullptr);
  EXPECT_EQ(camera->fovDegrees, 30.0f);
  ASSERT_TRUE(loaded->cameraNode->target.has_value());
  auto* light = dynamic_cast<LightObject*>(loaded->FindNode("Key")->GetObjectRef());
  ASSERT_NE(light, nullptr);
  EXPECT_EQ(light->type, LightObject::Type::kSpot);
  EXPECT_TRUE(light->castShadows);
  // The widget is one object in the library and the effect list, still animated.
  ASSERT_EQ(loaded->Library().Count(), 1);
  EXPECT_EQ(loaded->Library().Get(0), loaded->Effects().Get(0));
  auto* widget = dynamic_cast<Widget*>(loaded->Library().Get(0));
  ASSERT_TRUE(widget && widget->pblock);
  EXPECT_FLOAT_EQ(widget->pblock->GetFloat(0, 50), 3.0f);
  EXPECT_EQ(widget->pblock->GetColor(1), Color(1, 0, 0));
}

TEST_F(SceneFile, ObjectsOfClassesNotLoadedSurviveLoadAndSave) {
  auto scene = MakeScene();
  std::vector<uint8_t> bytes = Bytes(*scene);
  scene.reset();
  GetClassDirectory().DeleteClass(&widgetDesc);
  std::vector<std::string> warnings;
  std::string error;
  auto loaded = DeserializeScene(bytes, "test", &warnings, &error);
  ASSERT_TRUE(loaded) << error;
  EXPECT_FALSE(warnings.empty());
  EXPECT_EQ(loaded->Library().Get(0)->ClassID(), Widget::kClassID);
  EXPECT_EQ(Bytes(*loaded), bytes);
}

TEST_F(SceneFile, DamagedFilesAreRefusedWithAMessageAndNeverCrash) {
  auto scene = MakeScene();
  const std::vector<uint8_t> bytes = Bytes(*scene);
  std::string error;
  // Every truncation is refused.
  for (size_t n = 0; n < bytes.size(); n += 1 + n / 64) {
    std::span<const uint8_t> prefix(bytes.data(), n);
    EXPECT_EQ(DeserializeScene(prefix, "cut", nullptr, &error), nullptr) << n;
    EXPECT_NE(error.find("cut: "), std::string::npos);
  }
  // Random damage: refused or loaded, never a crash (the sanitizers watch).
  std::mt19937 rng(2026);
  int refused = 0;
  for (int trial = 0; trial < 2000; ++trial) {
    std::vector<uint8_t> damaged = bytes;
    for (int f = 0; f < 1 + trial % 4; ++f) damaged[rng() % damaged.size()] ^= 1 + rng() % 255;
    std::vector<std::string> warnings;
    if (!DeserializeScene(damaged, "damaged", &warnings, &error)) ++refused;
  }
  EXPECT_GT(refused, 500);
  const std::vector<uint8_t> junk = {'T', 'A', 'R', 'N', 'I', 'S', 'S', 'C', 1, 0, 0, 0, 0xFF};
  EXPECT_EQ(DeserializeScene(junk, "junk", nullptr, &error), nullptr);
  EXPECT_EQ(DeserializeScene(std::vector<uint8_t>{'x'}, "x", nullptr, &error), nullptr);
  EXPECT_NE(error.find("not a saved Tarnis scene"), std::string::npos);
}

std::vector<int>* gCodes = nullptr;
void recordCode(void*, NotifyInfo* info) {
  gCodes->push_back(info->intcode);
}

class Notifications {
 public:
  Notifications() {
    gCodes = &codes;
    for (int code : {5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 101, 103, 104})
      RegisterNotification(recordCode, nullptr, code);
  }
  ~Notifications() {
    UnRegisterNotification(recordCode, nullptr);
    gCodes = nullptr;
  }
  std::vector<int> codes;
};

// A saved scene is held to the ranges of a scene description: values far
// beyond them are clamped with a warning naming the field, a mesh with a
// vertex beyond them is refused, never handed to the ray tracer.
TEST_F(SceneFile, SavedValuesOutsideTheSceneRangesAreClampedOrRefused) {
  auto scene = MakeScene();
  auto* camera = static_cast<CameraObject*>(scene->cameraNode->GetObjectRef());
  camera->width = 1e35f, camera->farClip = 1e38f;
  scene->cameraNode->position = Point3(1e30f, 0, 0);
  scene->CreateNode("Far")->scale = Point3(1e20f, 1, 1);
  std::vector<std::string> warnings;
  std::string error;
  auto loaded = DeserializeScene(Bytes(*scene), "huge.tscene", &warnings, &error);
  ASSERT_TRUE(loaded) << error;
  std::string all;
  for (const std::string& w : warnings) all += w + "\n";
  for (const char* field : {"camera width", "camera far distance", "node position", "node scale"})
    EXPECT_NE(all.find(std::string("a saved ") + field + " is outside"), std::string::npos) << all;
  auto* back = static_cast<CameraObject*>(loaded->cameraNode->GetObjectRef());
  EXPECT_EQ(back->width, kLengthRange.max);
  EXPECT_EQ(loaded->cameraNode->position.x, kMaxCoordinate);

  auto far = MakeScene();
  auto* geom = static_cast<GeomObject*>(far->FindNode("A")->GetObjectRef());
  geom->mesh.verts[1] = Point3(1e30f, 0, 0);
  warnings.clear();
  EXPECT_FALSE(DeserializeScene(Bytes(*far), "far.tscene", &warnings, &error));
  EXPECT_FALSE(error.empty());
}

TEST_F(SceneFile, SaveOpenAndMergeRaiseTheFileNotificationsInOrder) {
  auto scene = MakeScene();
  const std::string path = (dir_ / "scene.tscene").string();
  const std::string missing = (dir_ / "missing.tscene").string();
  Notifications n;
  std::string error;
  ASSERT_TRUE(SaveSceneFile(*scene, path, &error)) << error;
  auto opened = OpenSceneFile(path, nullptr, &error);
  ASSERT_TRUE(opened) << error;
  EXPECT_EQ(opened->sourcePath, path);
  EXPECT_EQ(n.codes, (std::vector<int>{13, 14, 9, 10}));

  n.codes.clear();
  Scene target;
  std::vector<std::string> errors;
  const std::string files[] = {path, missing};
  int merged = MergeSceneFiles(target, files, nullptr, &errors);
  EXPECT_EQ(n.codes, (std::vector<int>{103, 11, 12, 11, 101, 12, 104}));
  // The four top-level nodes came over with their subtrees; effects did not.
  EXPECT_EQ(merged, 4);
  EXPECT_NE(target.FindNode("A"), nullptr);
  EXPECT_EQ(target.Effects().Count(), 0);
  EXPECT_EQ(target.Library().Count(), 1);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find("missing.tscene"), std::string::npos);

  n.codes.clear();
  NewScene(target);
  ResetScene(target);
  EXPECT_EQ(n.codes, (std::vector<int>{7, 8, 5, 6}));
  EXPECT_TRUE(target.AllNodes().empty());
}

TEST_F(SceneFile, AFailedSaveLeavesThePreviousFileIntact) {
  auto scene = MakeScene();
  const fs::path path = dir_ / "keep.tscene";
  std::string error;
  ASSERT_TRUE(SaveSceneFile(*scene, path.string(), &error)) << error;
  const auto before = fs::file_size(path);
  // A path whose folder does not exist cannot be written.
  EXPECT_FALSE(SaveSceneFile(*scene, (dir_ / "no/such/folder/x.tscene").string(), &error));
  EXPECT_NE(error.find("x.tscene"), std::string::npos);
  EXPECT_EQ(fs::file_size(path), before);
  for (const auto& entry : fs::directory_iterator(dir_))
    EXPECT_EQ(entry.path().string().find(".tmp-"), std::string::npos) << entry.path();
}

}  // namespace
}  // namespace host
