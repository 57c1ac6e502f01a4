// Tests of the scene-description reader: a scene of every kind of value
// loads with the values in place, malformed inputs fail with the JSON path
// and what was expected, out-of-range values are clamped with a warning, key
// frames make controllers, groups re-parent their members, and the bundled
// demo scene loads.
#include "host/scene_loader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>

#include <nlohmann/json.hpp>

#include "host/host_classes.h"
#include "host/param_binder.h"
#include "host/testing/binder_classes.h"
#include "sdk/testing/scratch_dir.h"
#include "sdk/interval.h"

namespace host {
namespace {

using nlohmann::json;
using testing::kMtlCount;
using testing::kMtlDiffuse;
using testing::kMtlFile;
using testing::kMtlLevel;
using testing::kMtlMap;
using testing::kMtlNodes;
using testing::kMtlWeights;

constexpr const char* kScene = R"({
  "tarnis": 1,
  "render": {"width": 64, "height": 48, "frames": [0, 10], "fps": 24, "samples": 3},
  "environment": {"background": [0.1, 0.2, 0.3], "ambient": [0.05, 0.05, 0.05]},
  "camera": {"type": "perspective", "position": [0, -10, 0], "target": [0, 0, 0], "fov": 50,
             "near": 0.5, "far": 500},
  "lights": [{"name": "Sun", "type": "directional", "position": [0, 0, 10],
              "color": [1, 0.9, 0.8], "multiplier": 1.5, "shadows": true},
             {"name": "Lamp", "type": "spot", "position": [3, 3, 3], "target": [0, 0, 1],
              "hotspot": 20, "falloff": 30}],
  "materials": [
    {"name": "Clay", "class": "Test_Mtl",
     "params": {"diffuse": [0.8, 0.4, 0.2], "level": 30, "count": 4, "twoSided": true,
                "map": "Checks", "label": "clay", "file": "tex/wood.png",
                "weights": [0.5, -0.25], "nodes": ["Lamp", "Sun"], "position": [1, 2, 3]}},
    {"name": "Checks", "class": "Test_Map", "params": {"color": [0, 1, 0]}}
  ],
  "nodes": [
    {"name": "Box", "mesh": {"primitive": "box", "size": [2, 2, 2]}, "position": [1, 2, 3],
     "material": "Clay", "objectID": 7},
    {"name": "Ball", "mesh": {"primitive": "sphere", "radius": 1, "segments": 8},
     "material": "Clay", "renderable": false},
    {"name": "Pair", "group": true, "children": ["Box", "Ball"], "position": [10, 0, 0]}
  ],
  "effects": [
    {"class": "Test_Effect", "params": {"main": {"size": 2}, "extra": {"on": false}},
     "refs": {"owned": "Clay",
              "3": {"class": "Test_Map", "params": {"color": [1, 0, 0]}},
              "4": {"class": "Test_Effect", "params": {"main": {"size": 3}}}}}
  ],
  "elements": [{"class": "Test_Element", "name": "Glow", "params": {"strength": 0.5}}]
})";

class SceneLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::RegisterBinderTestClasses(); }

  // Loads `text` as the file scene.json of the scratch folder.
  std::unique_ptr<Scene> Load(const std::string& text) {
    warnings.clear();
    error.clear();
    return LoadSceneText(text, dir.File("scene.json"), &warnings, &error);
  }
  std::unique_ptr<Scene> LoadJson(const json& doc) { return Load(doc.dump()); }

  ScratchDir dir;
  std::vector<std::string> warnings;
  std::string error;
};

IParamBlock2* BlockOf(ReferenceTarget* obj, int i = 0) {
  return ParamBlocksOf(obj).at(i);
}

Mtl* LibraryEntry(Scene& scene, const std::string& name) {
  for (int i = 0; i < scene.Library().Count(); ++i) {
    auto* mtl = dynamic_cast<MtlBase*>(scene.Library().Get(i));
    if (mtl && name == mtl->GetName()) return dynamic_cast<Mtl*>(mtl);
  }
  return nullptr;
}

TEST_F(SceneLoaderTest, EveryKindOfValueLandsInTheScene) {
  auto scene = Load(kScene);
  ASSERT_TRUE(scene) << error;
  EXPECT_TRUE(warnings.empty());
  EXPECT_EQ(scene->render.width, 64);
  EXPECT_EQ(scene->render.lastFrame, 10);
  EXPECT_EQ(scene->render.samples, 3);
  EXPECT_EQ(GetFrameRate(), 24);
  EXPECT_FLOAT_EQ(scene->environment.background.b, 0.3f);

  Mtl* clay = LibraryEntry(*scene, "Clay");
  ASSERT_NE(clay, nullptr);
  IParamBlock2* pb = BlockOf(clay);
  EXPECT_EQ(pb->GetColor(kMtlDiffuse), Color(0.8f, 0.4f, 0.2f));
  EXPECT_FLOAT_EQ(pb->GetFloat(kMtlLevel), 30.0f);
  EXPECT_EQ(pb->GetInt(kMtlCount), 4);
  EXPECT_EQ(pb->GetInt(testing::kMtlTwoSided), 1);
  EXPECT_EQ(pb->GetStr(testing::kMtlLabel), "clay");
  EXPECT_EQ(pb->GetStr(kMtlFile), dir.File("tex/wood.png"));
  EXPECT_EQ(pb->GetPoint3(testing::kMtlPosition), Point3(1, 2, 3));
  ASSERT_EQ(pb->Count(kMtlWeights), 2);
  EXPECT_FLOAT_EQ(pb->GetFloat(kMtlWeights, 0, 1), -0.25f);
  ASSERT_EQ(pb->Count(kMtlNodes), 2);
  EXPECT_EQ(pb->GetReferenceTarget(kMtlNodes, 0, 1), scene->FindNode("Sun"));
  // The map was named after its first use and is the same object.
  auto* checks = pb->GetRefAs<Texmap>(kMtlMap);
  ASSERT_NE(checks, nullptr);
  EXPECT_STREQ(checks->GetName(), "Checks");
  EXPECT_EQ(scene->Library().Count(), 2);

  HostNode* box = scene->FindNode("Box");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->GetMtl(), clay);
  EXPECT_EQ(box->GetGBufID(), 7);
  EXPECT_EQ(box->GetMesh(0)->getNumFaces(), 12);
  EXPECT_FALSE(scene->FindNode("Ball")->Renderable());
}

TEST_F(SceneLoaderTest, EffectsTakeBlocksAndReferencesByIndexOrParameterName) {
  auto scene = Load(kScene);
  ASSERT_TRUE(scene) << error;
  ASSERT_EQ(scene->Effects().Count(), 1);
  auto* effect = static_cast<testing::TestEffect*>(scene->Effects().Get(0));
  EXPECT_FLOAT_EQ(effect->Block(0)->GetFloat(testing::kEffectSize), 2.0f);
  EXPECT_EQ(effect->Block(1)->GetInt(testing::kEffectOn), 0);
  EXPECT_EQ(effect->GetReference(2), LibraryEntry(*scene, "Clay"));
  auto* map = dynamic_cast<testing::TestMap*>(effect->GetReference(3));
  ASSERT_NE(map, nullptr);
  EXPECT_EQ(map->Block()->GetColor(0), Color(1, 0, 0));
  auto* inner = dynamic_cast<testing::TestEffect*>(effect->GetReference(4));
  ASSERT_NE(inner, nullptr);
  EXPECT_FLOAT_EQ(inner->Block(0)->GetFloat(testing::kEffectSize), 3.0f);

  ASSERT_EQ(scene->Elements().Count(), 1);
  auto* element = static_cast<IRenderElement*>(scene->Elements().Get(0));
  EXPECT_STREQ(element->ElementName(), "Glow");
}

TEST_F(SceneLoaderTest, CameraAndLightsBecomeNodes) {
  auto scene = Load(kScene);
  ASSERT_TRUE(scene) << error;
  ASSERT_NE(scene->cameraNode, nullptr);
  auto* camera = dynamic_cast<CameraObject*>(scene->cameraNode->GetObjectRef());
  ASSERT_NE(camera, nullptr);
  EXPECT_FLOAT_EQ(camera->fovDegrees, 50.0f);
  EXPECT_FLOAT_EQ(camera->nearClip, 0.5f);
  // The camera at (0, -10, 0) looks at the origin: its -z axis points along +y.
  Matrix3 tm = scene->cameraNode->GetNodeTM(0);
  Point3 forward = VectorTransform(tm, Point3(0, 0, -1));
  EXPECT_NEAR(forward.y, 1.0f, 1e-5f);
  EXPECT_NEAR(tm.GetTrans().y, -10.0f, 1e-5f);

  auto* sun = dynamic_cast<LightObject*>(scene->FindNode("Sun")->GetObjectRef());
  ASSERT_NE(sun, nullptr);
  EXPECT_EQ(sun->type, LightObject::Type::kDirectional);
  EXPECT_TRUE(sun->castShadows);
  EXPECT_FLOAT_EQ(sun->multiplier, 1.5f);
  EXPECT_EQ(sun->color, Color(1, 0.9f, 0.8f));
  auto* lamp = dynamic_cast<LightObject*>(scene->FindNode("Lamp")->GetObjectRef());
  ASSERT_NE(lamp, nullptr);
  EXPECT_FLOAT_EQ(lamp->falloffDegrees, 30.0f);
  EXPECT_EQ(*scene->FindNode("Lamp")->target, Point3(0, 0, 1));
}

TEST_F(SceneLoaderTest, GroupsReparentTheirMembers) {
  auto scene = Load(kScene);
  ASSERT_TRUE(scene) << error;
  HostNode* pair = scene->FindNode("Pair");
  HostNode* box = scene->FindNode("Box");
  ASSERT_TRUE(pair && box);
  EXPECT_TRUE(pair->IsGroupHead());
  EXPECT_EQ(pair->NumberOfChildren(), 2);
  EXPECT_EQ(box->GetParentNode(), pair);
  EXPECT_TRUE(box->IsGroupMember());
  EXPECT_FALSE(pair->IsGroupMember());
  // Members move with the group.
  EXPECT_EQ(box->GetNodeTM(0).GetTrans(), Point3(11, 2, 3));
  // Everything is reachable once: 3 nodes, 2 lights, the camera.
  EXPECT_EQ(scene->AllNodes().size(), 6u);
}

TEST_F(SceneLoaderTest, NestedGroupsWork) {
  json doc = json::parse(kScene);
  doc["nodes"].push_back({{"name", "Outer"}, {"group", true}, {"children", {"Pair"}}});
  auto scene = LoadJson(doc);
  ASSERT_TRUE(scene) << error;
  EXPECT_EQ(scene->FindNode("Box")->GetParentNode()->GetParentNode(), scene->FindNode("Outer"));
}

TEST_F(SceneLoaderTest, KeyFramesMakeControllers) {
  json doc = json::parse(kScene);
  doc["materials"][0]["params"]["level"] = {{"keys", {{0, 10}, {10, 60}}}, {"interp", "linear"}};
  doc["materials"][0]["params"]["diffuse"] = {{"keys", {{0, {0, 0, 0}}, {4, {1, 0.5, 0}}}}};
  doc["nodes"][0]["position"] = {{"keys", {{0, {0, 0, 0}}, {10, {4, 0, 0}}}}, {"interp", "linear"}};
  auto scene = LoadJson(doc);
  ASSERT_TRUE(scene) << error;
  const int tpf = GetTicksPerFrame();
  EXPECT_EQ(tpf, TIME_TICKSPERSEC / 24);
  IParamBlock2* pb = BlockOf(LibraryEntry(*scene, "Clay"));
  ASSERT_TRUE(pb->IsAnimated(kMtlLevel));
  EXPECT_FLOAT_EQ(pb->GetFloat(kMtlLevel, 0), 10.0f);
  EXPECT_FLOAT_EQ(pb->GetFloat(kMtlLevel, 5 * tpf), 35.0f);
  EXPECT_FLOAT_EQ(pb->GetFloat(kMtlLevel, 10 * tpf), 60.0f);
  ASSERT_TRUE(pb->IsAnimated(kMtlDiffuse));
  EXPECT_EQ(pb->GetColor(kMtlDiffuse, 4 * tpf), Color(1, 0.5f, 0));
  // The group adds (10, 0, 0).
  HostNode* box = scene->FindNode("Box");
  EXPECT_NEAR(box->GetNodeTM(5 * tpf).GetTrans().x, 12.0f, 1e-4f);
  EXPECT_NEAR(box->GetNodeTM(10 * tpf).GetTrans().x, 14.0f, 1e-4f);
}

TEST_F(SceneLoaderTest, OutOfRangeValuesAreClampedWithAWarning) {
  json doc = json::parse(kScene);
  doc["materials"][0]["params"]["level"] = 150;
  doc["materials"][0]["params"]["diffuse"] = {1.5, 0.5, -1};
  doc["nodes"][0]["objectID"] = 70000;
  auto scene = LoadJson(doc);
  ASSERT_TRUE(scene) << error;
  IParamBlock2* pb = BlockOf(LibraryEntry(*scene, "Clay"));
  EXPECT_FLOAT_EQ(pb->GetFloat(kMtlLevel), 100.0f);
  EXPECT_EQ(pb->GetColor(kMtlDiffuse), Color(1, 0.5f, 0));
  EXPECT_EQ(scene->FindNode("Box")->GetGBufID(), 65535);
  EXPECT_EQ(warnings.size(), 3u);
  for (const char* expected :
       {"scene.json: materials[0].params.diffuse: [1.5,0.5,-1] is out of range 0..1 per "
        "component; clamped to [1, 0.5, 0]",
        "scene.json: materials[0].params.level: 150 is out of range 0..100; clamped to 100",
        "scene.json: nodes[0].objectID: 70000 is out of range 0..65535; clamped to 65535"}) {
    EXPECT_TRUE(std::any_of(warnings.begin(), warnings.end(), [&](const std::string& w) {
      return w.find(expected) != std::string::npos;
    })) << expected;
  }
}

// One malformed input: how the base scene is changed and what the error says.
struct BadCase {
  const char* what;
  std::function<void(json&)> change;
  const char* expected;
};

TEST_F(SceneLoaderTest, MalformedInputsNameThePathAndWhatWasExpected) {
  const BadCase cases[] = {
      {"missing version", [](json& d) { d.erase("tarnis"); }, "scene.json: missing \"tarnis\""},
      {"wrong version", [](json& d) { d["tarnis"] = 2; }, "tarnis: expected the format version 1"},
      {"unknown top-level key", [](json& d) { d["nodez"] = json::array(); },
       "scene.json: nodez: unknown key"},
      {"unknown render key", [](json& d) { d["render"]["widht"] = 3; },
       "render.widht: unknown key"},
      {"frames backwards",
       [](json& d) {
         d["render"]["frames"] = {5, 1};
       },
       "render.frames: the last frame comes before the first"},
      {"unknown class", [](json& d) { d["materials"][0]["class"] = "Test_Mtll"; },
       "materials[0].class: unknown class \"Test_Mtll\"; did you mean \"Test_Mtl\"?"},
      {"effect class as material", [](json& d) { d["materials"][0]["class"] = "Test_Effect"; },
       "materials[0].class: \"Test_Effect\" is a render effect; expected a material or map"},
      {"unknown parameter",
       [](json& d) {
         d["materials"][0]["params"]["difuse"] = {1, 1, 1};
       },
       "materials[0].params.difuse: unknown parameter of Test_Mtl block \"main\"; did you mean "
       "\"diffuse\"?"},
      {"unknown object key", [](json& d) { d["materials"][0]["parms"] = json::object(); },
       "materials[0].parms: unknown key"},
      {"number as text", [](json& d) { d["materials"][0]["params"]["level"] = "high"; },
       "materials[0].params.level: expected a number, got \"high\""},
      {"fractional integer", [](json& d) { d["materials"][0]["params"]["count"] = 2.5; },
       "materials[0].params.count: expected an integer, got 2.5"},
      {"number as boolean", [](json& d) { d["materials"][0]["params"]["twoSided"] = 1; },
       "materials[0].params.twoSided: expected true or false, got 1"},
      {"short colour",
       [](json& d) {
         d["materials"][0]["params"]["diffuse"] = {1, 2};
       },
       "materials[0].params.diffuse: expected [r, g, b], got [1,2]"},
      {"table as number", [](json& d) { d["materials"][0]["params"]["weights"] = 1; },
       "materials[0].params.weights: expected an array (a table of float)"},
      {"bad table entry",
       [](json& d) {
         d["materials"][0]["params"]["weights"] = {0.5, "x"};
       },
       "materials[0].params.weights[1]: expected a number"},
      {"unresolved material", [](json& d) { d["nodes"][1]["material"] = "Cley"; },
       "nodes[1].material: nothing is called \"Cley\"; expected the name of a material in this "
       "file; did you mean \"Clay\"?"},
      {"map where a material goes", [](json& d) { d["nodes"][1]["material"] = "Checks"; },
       "nodes[1].material: \"Checks\" is a map (Test_Map); expected a material"},
      {"unresolved node in a table",
       [](json& d) { d["materials"][0]["params"]["nodes"][1] = "Moon"; },
       "materials[0].params.nodes[1]: nothing is called \"Moon\"; expected the name of a node"},
      {"material given as node", [](json& d) { d["materials"][0]["params"]["nodes"][1] = "Clay"; },
       "materials[0].params.nodes[1]: nothing is called \"Clay\"; expected the name of a node"},
      {"missing mesh file",
       [](json& d) {
         d["nodes"][0]["mesh"] = {{"file", "gone.obj"}};
       },
       "gone.obj"},
      {"unknown primitive",
       [](json& d) {
         d["nodes"][0]["mesh"] = {{"primitive", "cube"}};
       },
       "nodes[0].mesh.primitive: unknown primitive \"cube\""},
      {"primitive key of another type", [](json& d) { d["nodes"][0]["mesh"]["radius"] = 1; },
       "nodes[0].mesh.radius: unknown key; a box takes size"},
      {"bad primitive size",
       [](json& d) {
         d["nodes"][0]["mesh"]["size"] = {2, 0, 2};
       },
       "nodes[0].mesh: "},
      {"mesh with file and primitive", [](json& d) { d["nodes"][0]["mesh"]["file"] = "a.obj"; },
       "nodes[0].mesh: expected either \"primitive\" or \"file\""},
      {"mesh and object",
       [](json& d) {
         d["nodes"][0]["object"] = {{"class", "Test_Map"}};
       },
       "nodes[0].object: a node shows a mesh or an object, not both"},
      {"object that is no helper",
       [](json& d) {
         d["nodes"][0].erase("mesh");
         d["nodes"][0]["object"] = {{"class", "Test_Map"}};
       },
       "nodes[0].object.class: \"Test_Map\" is a map; expected a helper object"},
      {"duplicate material name", [](json& d) { d["materials"][1]["name"] = "Clay"; },
       "materials[1].name: the name \"Clay\" is defined already at materials[0]"},
      {"duplicate node name", [](json& d) { d["nodes"][1]["name"] = "Box"; },
       "nodes[1].name: a second node called \"Box\""},
      {"light named like a node", [](json& d) { d["lights"][0]["name"] = "Ball"; },
       "lights[0].name: a second node called \"Ball\""},
      {"unknown block", [](json& d) { d["effects"][0]["params"]["mian"] = json::object(); },
       "effects[0].params.mian: unknown parameter block of Test_Effect (its blocks: main, extra); "
       "did you mean \"main\"?"},
      {"deep wrong type",
       [](json& d) { d["effects"][0]["refs"]["4"]["params"]["main"]["size"] = true; },
       "effects[0].refs.4.params.main.size: expected a number, got true"},
      {"reference out of range", [](json& d) { d["effects"][0]["refs"]["7"] = "Clay"; },
       "effects[0].refs.7: reference 7 is out of range: Test_Effect has references 0..4"},
      {"reference over a block", [](json& d) { d["effects"][0]["refs"]["1"] = "Clay"; },
       "effects[0].refs.1: reference 1 holds the parameter block \"extra\""},
      {"slot of another class", [](json& d) { d["effects"][0]["refs"]["3"] = "Clay"; },
       "effects[0].refs.3: reference 3 of Test_Effect does not take a material (Test_Mtl)"},
      {"owned slot by index checks the type",
       [](json& d) { d["effects"][0]["refs"]["2"] = "Checks"; },
       "effects[0].refs.2: \"Checks\" is a map (Test_Map); expected a material"},
      {"plain parameter under refs", [](json& d) { d["effects"][0]["refs"]["size"] = 2; },
       "effects[0].refs.size: the parameter \"size\" is not a reference"},
      {"unknown reference name", [](json& d) { d["effects"][0]["refs"]["ownd"] = "Clay"; },
       "effects[0].refs.ownd: expected a reference index (0..4) or the name of a reference "
       "parameter of Test_Effect"},
      {"keys on a fixed parameter",
       [](json& d) {
         d["materials"][0]["params"]["count"] = {{"keys", {{0, 1}, {5, 3}}}};
       },
       "materials[0].params.count: the parameter \"count\" cannot be animated"},
      {"key of the wrong shape",
       [](json& d) {
         d["nodes"][0]["position"] = {{"keys", {{0, {1, 2}}}}};
       },
       "nodes[0].position.keys[0][1]: expected [x, y, z], got [1,2]"},
      {"two keys at one frame",
       [](json& d) {
         d["materials"][0]["params"]["level"] = {{"keys", {{2, 1}, {2, 3}}}};
       },
       "materials[0].params.level.keys[1]: a second key at frame 2"},
      {"key frame far away",
       [](json& d) {
         d["materials"][0]["params"]["level"] = {{"keys", {{1e9, 1}}}};
       },
       "materials[0].params.level.keys[0][0]: frame 1e+09 is outside -100000..100000"},
      {"unknown interpolation",
       [](json& d) {
         d["materials"][0]["params"]["level"] = {{"keys", {{0, 1}}}, {"interp", "cubic"}};
       },
       "materials[0].params.level.interp: expected \"linear\" or \"bezier\", got \"cubic\""},
      {"group member twice",
       [](json& d) {
         d["nodes"].push_back({{"name", "Again"}, {"group", true}, {"children", {"Box"}}});
       },
       "nodes[3].children[0]: \"Box\" is a member of the group \"Pair\" already"},
      {"group in itself", [](json& d) { d["nodes"][2]["children"].push_back("Pair"); },
       "nodes[2].children[2]: a group cannot contain itself"},
      {"children without group", [](json& d) { d["nodes"][0]["children"] = {"Ball"}; },
       "nodes[0].children: only groups have children"},
      {"unknown group member", [](json& d) { d["nodes"][2]["children"][0] = "Bx"; },
       "nodes[2].children[0]: nothing is called \"Bx\"; expected the name of a node in this file; "
       "did you mean \"Box\"?"},
      {"unknown light type", [](json& d) { d["lights"][0]["type"] = "laser"; },
       "lights[0].type: expected \"omni\", \"directional\" or \"spot\", got \"laser\""},
      {"camera far before near", [](json& d) { d["camera"]["far"] = 0.1; },
       "camera.far: far must be greater than near"},
      {"nameless material", [](json& d) { d["materials"][0].erase("name"); },
       "materials[0]: missing \"name\""},
      {"elements not an array", [](json& d) { d["elements"] = json::object(); },
       "elements: expected an array, got an object"},
      {"objects that refer to each other",
       [](json& d) {
         d["effects"] = {{{"class", "Test_Effect"}, {"name", "A"}, {"refs", {{"4", "B"}}}},
                         {{"class", "Test_Effect"}, {"name", "B"}, {"refs", {{"4", "A"}}}}};
       },
       "refers back to itself"},
  };
  for (const BadCase& c : cases) {
    json doc = json::parse(kScene);
    c.change(doc);
    EXPECT_FALSE(LoadJson(doc)) << c.what;
    EXPECT_NE(error.find(c.expected), std::string::npos)
        << c.what << "\n  got:      " << error << "\n  expected: " << c.expected;
    EXPECT_EQ(error.rfind(dir.File("scene.json"), 0), 0u) << c.what << ": " << error;
  }
}

TEST_F(SceneLoaderTest, TextThatIsNotJsonFailsWithThePlace) {
  EXPECT_FALSE(Load("{\"tarnis\": 1,\n  \"render\": {,}}"));
  EXPECT_NE(error.find("scene.json: invalid JSON: parse error at line 2"), std::string::npos)
      << error;
  EXPECT_FALSE(Load("{\"tarnis\": 1, \"render\": {\"width\": 3, \"width\": 4}}"));
  EXPECT_NE(error.find("render.width: the key is given twice"), std::string::npos) << error;
  EXPECT_FALSE(Load("[1, 2]"));
  EXPECT_NE(error.find("expected a JSON object at the top"), std::string::npos) << error;
}

TEST_F(SceneLoaderTest, DeeplyNestedInputFailsWithoutExhaustingTheStack) {
  const int depth = 200000;
  std::string nested = std::string(depth, '[') + std::string(depth, ']');
  EXPECT_FALSE(Load("{\"tarnis\": 1, \"render\": {\"width\": " + nested + "}}"));
  EXPECT_NE(error.find("render.width: expected an integer, got an array of 1"), std::string::npos)
      << error;
  EXPECT_FALSE(Load("{\"tarnis\": 1, \"materials\": " + nested + "}"));
  EXPECT_NE(error.find("objects are nested too deeply"), std::string::npos) << error;
}

TEST_F(SceneLoaderTest, FilesAreReadRelativeToNothingButTheirPath) {
  std::string missing;
  EXPECT_FALSE(LoadSceneFile(dir.File("none.json"), nullptr, &missing));
  EXPECT_EQ(missing, dir.File("none.json") + ": no such file");
  WriteBytes(dir.File("ok.json"), kScene);
  auto scene = LoadSceneFile(dir.File("ok.json"), nullptr, &error);
  ASSERT_TRUE(scene) << error;
  EXPECT_EQ(scene->sourcePath, dir.File("ok.json"));
}

TEST_F(SceneLoaderTest, AFailedLoadKeepsTheFrameRate) {
  SetFrameRate(30);
  json doc = json::parse(kScene);
  doc["nodes"][0]["material"] = "Nothing";
  EXPECT_FALSE(LoadJson(doc));
  EXPECT_EQ(GetFrameRate(), 30);
}

// The value of the parameter called `name` in the object's blocks.
template <class T>
T ParamNamed(ReferenceTarget* obj, const char* name) {
  for (IParamBlock2* pb : ParamBlocksOf(obj)) {
    if (const ParamDef* def = pb->GetDesc()->GetParamDefByName(name)) {
      T v{};
      Interval valid = FOREVER;
      EXPECT_TRUE(pb->GetValue(def->id, 0, v, valid)) << name;
      return v;
    }
  }
  ADD_FAILURE() << "no parameter " << name;
  return T{};
}

TEST(DemoScene, LoadsWithItsMaterialsBound) {
  RegisterHostClasses();
  const std::string demo =
      (std::filesystem::path(TARNIS_SOURCE_DIR) / "examples/demo/demo.json").string();
  // The demo's line effect, vector outputs, render elements and toon
  // materials belong to the plug-in, which the host's tests do not load: the
  // rest of the demo is read without them, each node given its toon
  // material's base material.
  nlohmann::json json = nlohmann::json::parse(ReadBytes(demo));
  ASSERT_TRUE(json.contains("effects"));
  json.erase("effects");
  json.erase("elements");
  std::map<std::string, std::string> baseOf;
  nlohmann::json hostMaterials = nlohmann::json::array();
  for (const nlohmann::json& m : json["materials"]) {
    const std::string cls = m["class"];
    if (cls == "Tarnis_Material") {
      baseOf[m["name"]] = m["params"]["main"]["baseMaterial"];
    } else if (cls.rfind("Tarnis_", 0) != 0) {
      hostMaterials.push_back(m);
    }
  }
  json["materials"] = hostMaterials;
  for (nlohmann::json& node : json["nodes"]) {
    if (node.contains("material")) node["material"] = baseOf.at(node["material"]);
  }
  ScratchDir dir;
  const std::string path = dir.File("demo.json");
  WriteBytes(path, json.dump());
  std::vector<std::string> warnings;
  std::string error;
  auto scene = LoadSceneFile(path, &warnings, &error);
  ASSERT_TRUE(scene) << error;
  EXPECT_TRUE(warnings.empty()) << warnings.front();
  EXPECT_EQ(scene->render.width, 960);
  EXPECT_EQ(scene->render.height, 540);
  // Five objects, two lights and the camera.
  EXPECT_EQ(scene->AllNodes().size(), 8u);
  ASSERT_NE(scene->cameraNode, nullptr);
  auto* camera = dynamic_cast<CameraObject*>(scene->cameraNode->GetObjectRef());
  ASSERT_NE(camera, nullptr);
  EXPECT_EQ(camera->type, CameraObject::Type::kPerspective);
  EXPECT_FLOAT_EQ(camera->fovDegrees, 45.0f);
  auto* key = dynamic_cast<LightObject*>(scene->FindNode("Key")->GetObjectRef());
  auto* fill = dynamic_cast<LightObject*>(scene->FindNode("Fill")->GetObjectRef());
  ASSERT_TRUE(key && fill);
  EXPECT_EQ(key->type, LightObject::Type::kDirectional);
  EXPECT_TRUE(key->castShadows);
  EXPECT_EQ(fill->type, LightObject::Type::kOmni);
  EXPECT_FLOAT_EQ(fill->multiplier, 0.35f);

  EXPECT_EQ(scene->Library().Count(), 3);
  Mtl* clay = LibraryEntry(*scene, "ClayBase");
  ASSERT_NE(clay, nullptr);
  EXPECT_EQ(ClassLabel(clay), "Standard");
  EXPECT_EQ(ParamNamed<Color>(clay, "diffuse"), Color(0.78f, 0.46f, 0.32f));
  EXPECT_EQ(ParamNamed<Color>(LibraryEntry(*scene, "PorcelainBase"), "diffuse"),
            Color(0.86f, 0.88f, 0.92f));
  EXPECT_EQ(scene->FindNode("Crate")->GetMtl(), clay);
  EXPECT_EQ(scene->FindNode("Ring")->GetMtl(), clay);
  EXPECT_EQ(scene->FindNode("Teapot")->GetMtl(), LibraryEntry(*scene, "PorcelainBase"));
  EXPECT_EQ(scene->FindNode("Teapot")->GetGBufID(), 5);
  for (const char* name : {"Ground", "Crate", "Ball", "Ring", "Teapot"}) {
    Mesh* mesh = scene->FindNode(name)->GetMesh(0);
    ASSERT_NE(mesh, nullptr) << name;
    EXPECT_GT(mesh->getNumFaces(), 0) << name;
  }
}

}  // namespace
}  // namespace host
