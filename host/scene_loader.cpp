// The scene-description reader: the fixed structure of a *.json scene, in
// the order that lets every name be resolved (settings, nodes, lights, the
// camera, groups, then materials, node materials, effects and elements).
#include "host/scene_loader.h"

#include <filesystem>
#include <map>
#include <new>
#include <string>

#include <nlohmann/json.hpp>

#include "host/json_reader.h"
#include "host/mesh_import.h"
#include "host/param_binder.h"
#include "host/primitives.h"
#include "host/scene_limits.h"
#include "sdk/class_desc.h"
#include "sdk/hold.h"
#include "sdk/interval.h"
#include "sdk/notify.h"

namespace host {

using nlohmann::json;

namespace {

// The class that "toon" wraps materials in.
constexpr const char* kToonMaterialClass = "Tarnis_Material";

constexpr ParamRange kUnit = kUnitRange;

class SceneReader {
 public:
  SceneReader(Scene& scene, const std::string& path, std::vector<std::string>* warnings)
      : scene_(scene),
        reader_(path, warnings),
        binder_(reader_, std::filesystem::path(path).parent_path().string(), &scene.Library()) {}

  void Read(const json& doc);

 private:
  const json* Find(const json& obj, const char* key) const {
    auto it = obj.find(key);
    return it == obj.end() ? nullptr : &*it;
  }
  void ReadVersion(const json& doc);
  void ReadRender(const json& j, const JsonPath& at);
  void ReadEnvironment(const json& j, const JsonPath& at);
  void ReadNode(const json& j, const JsonPath& at);
  void ReadNodeFlags(const json& j, const JsonPath& at, HostNode* node);
  void ReadMesh(const json& j, const JsonPath& at, HostNode* node);
  void ReadPrimitive(const json& j, const JsonPath& at, GeomObject& geom);
  void ReadMeshFile(const json& j, const JsonPath& at, GeomObject& geom);
  void ReadGroup(const json& j, const JsonPath& at);
  void ReadLight(const json& j, const JsonPath& at);
  void ReadCamera(const json& j, const JsonPath& at);
  enum class Part { kPosition, kRotation, kScale };
  void ReadTransformPart(const json& j, const JsonPath& at, HostNode* node, Part part);
  void ReadVisibility(const json& j, const JsonPath& at, HostNode* node);
  void ReadNodeMaterial(const json& j, const JsonPath& at);
  void WrapInToon(const json& j, const JsonPath& at);
  // Every element of an optional top-level array.
  template <class F>
  void ForEach(const json& doc, const char* key, F&& read);

  Scene& scene_;
  JsonReader reader_;
  ObjectBinder binder_;
};

template <class F>
void SceneReader::ForEach(const json& doc, const char* key, F&& read) {
  const json* list = Find(doc, key);
  if (!list) return;
  JsonPath at(key);
  reader_.ExpectArray(*list, at, "an array");
  for (size_t i = 0; i < list->size(); ++i) read((*list)[i], at.Index(i));
}

void SceneReader::Read(const json& doc) {
  reader_.ExpectObject(doc, {}, "a JSON object at the top");
  reader_.CheckKeys(doc, {},
                    {"tarnis", "render", "environment", "camera", "lights", "materials", "nodes",
                     "toon", "effects", "elements"});
  ReadVersion(doc);
  // The frame rate first: key frames are converted to ticks with it.
  if (const json* r = Find(doc, "render")) ReadRender(*r, JsonPath("render"));
  SetFrameRate(scene_.render.fps);
  if (const json* e = Find(doc, "environment")) ReadEnvironment(*e, JsonPath("environment"));
  for (const char* key : {"materials", "effects", "elements"}) {
    if (const json* list = Find(doc, key)) binder_.IndexDefinitions(*list, JsonPath(key));
  }
  ForEach(doc, "nodes", [&](const json& j, const JsonPath& at) { ReadNode(j, at); });
  ForEach(doc, "lights", [&](const json& j, const JsonPath& at) { ReadLight(j, at); });
  if (const json* c = Find(doc, "camera")) ReadCamera(*c, JsonPath("camera"));
  ForEach(doc, "nodes", [&](const json& j, const JsonPath& at) { ReadGroup(j, at); });
  ForEach(doc, "materials", [&](const json& j, const JsonPath& at) {
    reader_.ExpectObject(j, at, "a material {\"class\": ..., \"name\": ...}");
    if (!j.contains("name")) reader_.Fail(at, "missing \"name\": materials are used by name");
    binder_.MakeObject(j, at, {MATERIAL_CLASS_ID, TEXMAP_CLASS_ID});
  });
  ForEach(doc, "nodes", [&](const json& j, const JsonPath& at) { ReadNodeMaterial(j, at); });
  if (const json* t = Find(doc, "toon")) WrapInToon(*t, JsonPath("toon"));
  ForEach(doc, "effects", [&](const json& j, const JsonPath& at) {
    ReferenceTarget* effect = binder_.MakeObject(j, at, {RENDER_EFFECT_CLASS_ID});
    // A class that is not public lives inside other objects (a line set
    // inside a line effect): on its own in the list it would draw nothing.
    ClassDesc2* cd = GetClassDirectory().FindClass(effect->SuperClassID(), effect->ClassID());
    if (cd && !cd->IsPublic()) {
      reader_.Warn(at, ClassLabel(effect) + " is not an effect of its own (it belongs inside " +
                           "another object, such as a line set inside a line effect's \"refs\"); " +
                           "it is ignored");
      return;
    }
    scene_.Effects().Append(effect);
  });
  ForEach(doc, "elements", [&](const json& j, const JsonPath& at) {
    auto* element =
        static_cast<IRenderElement*>(binder_.MakeObject(j, at, {RENDER_ELEMENT_CLASS_ID}));
    if (CStr(element->ElementName()).isNull()) element->SetElementName(ClassLabel(element).c_str());
    scene_.Elements().Append(element);
  });
}

void SceneReader::ReadVersion(const json& doc) {
  const json* v = Find(doc, "tarnis");
  if (!v) reader_.Fail({}, "missing \"tarnis\": 1 (the format version); not a scene description");
  if (!v->is_number_integer() || v->get<long long>() != 1) {
    reader_.Fail(JsonPath("tarnis"), "expected the format version 1, got " + DescribeJson(*v));
  }
}

void SceneReader::ReadRender(const json& j, const JsonPath& at) {
  reader_.ExpectObject(j, at, "an object");
  reader_.CheckKeys(
      j, at, {"width", "height", "pixelAspect", "frames", "fps", "samples", "threads", "alpha"});
  RenderSettings& r = scene_.render;
  if (const json* v = Find(j, "width")) r.width = reader_.Int(*v, at.Key("width"), {1, 16384});
  if (const json* v = Find(j, "height")) r.height = reader_.Int(*v, at.Key("height"), {1, 16384});
  if (const json* v = Find(j, "pixelAspect")) {
    r.pixelAspect = reader_.Float(*v, at.Key("pixelAspect"), {0.01f, 100.0f});
  }
  if (const json* v = Find(j, "frames")) {
    JsonPath fa = at.Key("frames");
    if (!v->is_array() || v->size() != 2)
      reader_.Fail(fa, "expected [first, last], got " + DescribeJson(*v));
    constexpr ParamRange kFrames{-kMaxFrame, kMaxFrame};
    r.firstFrame = reader_.Int((*v)[0], fa.Index(0), kFrames);
    r.lastFrame = reader_.Int((*v)[1], fa.Index(1), kFrames);
    if (r.lastFrame < r.firstFrame) reader_.Fail(fa, "the last frame comes before the first");
  }
  if (const json* v = Find(j, "fps")) r.fps = reader_.Int(*v, at.Key("fps"), {1, TIME_TICKSPERSEC});
  if (const json* v = Find(j, "samples")) r.samples = reader_.Int(*v, at.Key("samples"), {1, 16});
  if (const json* v = Find(j, "threads")) r.threads = reader_.Int(*v, at.Key("threads"), {0, 1024});
  if (const json* v = Find(j, "alpha")) r.alpha = reader_.Bool(*v, at.Key("alpha"));
}

void SceneReader::ReadEnvironment(const json& j, const JsonPath& at) {
  reader_.ExpectObject(j, at, "an object");
  reader_.CheckKeys(j, at, {"background", "backgroundImage", "ambient"});
  Environment& env = scene_.environment;
  if (const json* v = Find(j, "background")) {
    env.background = Color(reader_.Triple(*v, at.Key("background"), "[r, g, b]", kUnit));
  }
  if (const json* v = Find(j, "backgroundImage")) {
    env.backgroundImage = binder_.ResolveFile(reader_.String(*v, at.Key("backgroundImage")));
  }
  if (const json* v = Find(j, "ambient")) {
    env.ambient = Color(reader_.Triple(*v, at.Key("ambient"), "[r, g, b]", kUnit));
  }
}

// ---- nodes -----------------------------------------------------------------

void SceneReader::ReadNode(const json& j, const JsonPath& at) {
  reader_.ExpectObject(j, at, "a node {\"name\": ...}");
  reader_.CheckKeys(j, at,
                    {"name", "mesh", "object", "position", "rotation", "scale", "material",
                     "objectID", "renderable", "visibility", "primaryVisibility",
                     "secondaryVisibility", "group", "children"});
  const json* name = Find(j, "name");
  if (!name) reader_.Fail(at, "missing \"name\"");
  HostNode* node = scene_.CreateNode(reader_.String(*name, at.Key("name")));
  binder_.AddNode(node->GetName(), node, at.Key("name"));
  bool group = false;
  if (const json* g = Find(j, "group")) group = reader_.Bool(*g, at.Key("group"));
  if (group) {
    for (const char* key : {"mesh", "object", "material"}) {
      if (Find(j, key))
        reader_.Fail(at.Key(key), "a group has no mesh, object or material of its own");
    }
    if (!Find(j, "children")) reader_.Fail(at, "a group needs \"children\": [node names]");
    node->groupHead = true;
  } else if (Find(j, "children")) {
    reader_.Fail(at.Key("children"), "only groups have children; add \"group\": true");
  }
  if (const json* m = Find(j, "mesh")) ReadMesh(*m, at.Key("mesh"), node);
  if (const json* o = Find(j, "object")) {
    // Helper objects (the plug-ins' own, by class); they render nothing.
    if (Find(j, "mesh"))
      reader_.Fail(at.Key("object"), "a node shows a mesh or an object, not both");
    node->SetObject(binder_.MakeObject(*o, at.Key("object"), {HELPER_CLASS_ID}));
  }
  if (const json* v = Find(j, "position"))
    ReadTransformPart(*v, at.Key("position"), node, Part::kPosition);
  if (const json* v = Find(j, "rotation"))
    ReadTransformPart(*v, at.Key("rotation"), node, Part::kRotation);
  if (const json* v = Find(j, "scale")) ReadTransformPart(*v, at.Key("scale"), node, Part::kScale);
  ReadNodeFlags(j, at, node);
}

void SceneReader::ReadNodeFlags(const json& j, const JsonPath& at, HostNode* node) {
  if (const json* v = Find(j, "objectID"))
    node->gbufID = reader_.Int(*v, at.Key("objectID"), {0, 65535});
  if (const json* v = Find(j, "renderable"))
    node->renderable = reader_.Bool(*v, at.Key("renderable"));
  if (const json* v = Find(j, "primaryVisibility")) {
    node->primaryVisibility = reader_.Bool(*v, at.Key("primaryVisibility"));
  }
  if (const json* v = Find(j, "secondaryVisibility")) {
    node->secondaryVisibility = reader_.Bool(*v, at.Key("secondaryVisibility"));
  }
  if (const json* v = Find(j, "visibility")) ReadVisibility(*v, at.Key("visibility"), node);
}

void SceneReader::ReadTransformPart(const json& j, const JsonPath& at, HostNode* node, Part part) {
  const ParamRange& range = part == Part::kPosition   ? kCoordinateRange
                            : part == Part::kRotation ? kRotationRange
                                                      : kScaleRange;
  if (!IsAnimation(j)) {
    Point3 v = reader_.Triple(j, at, "[x, y, z]", range);
    (part == Part::kPosition   ? node->position
     : part == Part::kRotation ? node->rotationDegrees
                               : node->scale) = v;
    return;
  }
  AnimationKeys keys = ReadAnimationKeys(reader_, j, at);
  std::vector<Point3> values;
  for (const AnimationKeys::Key& key : keys.keys) {
    values.push_back(reader_.Triple(*key.value, key.at, "[x, y, z]", range));
  }
  KeyframeControl* c = NewKeyframeControl(ControlKind::kPoint3, keys.interp, values[0]);
  if (part == Part::kPosition) node->SetPositionController(c);
  if (part == Part::kRotation) node->SetRotationController(c);
  if (part == Part::kScale) node->SetScaleController(c);
  for (size_t i = 0; i < values.size(); ++i) c->SetValue(keys.keys[i].time, values[i]);
}

void SceneReader::ReadVisibility(const json& j, const JsonPath& at, HostNode* node) {
  if (!IsAnimation(j)) {
    node->visibility = reader_.Float(j, at, kUnit);
    return;
  }
  AnimationKeys keys = ReadAnimationKeys(reader_, j, at);
  std::vector<float> values;
  for (const AnimationKeys::Key& key : keys.keys)
    values.push_back(reader_.Float(*key.value, key.at, kUnit));
  KeyframeControl* c =
      NewKeyframeControl(ControlKind::kFloat, keys.interp, Point3(values[0], 0, 0));
  node->SetVisibilityController(c);
  for (size_t i = 0; i < values.size(); ++i) c->SetValue(keys.keys[i].time, values[i]);
}

void SceneReader::ReadGroup(const json& j, const JsonPath& at) {
  const json* children = Find(j, "children");
  if (!children) return;
  auto* head = static_cast<HostNode*>(binder_.FindNode(j["name"].get<std::string>()));
  JsonPath ca = at.Key("children");
  reader_.ExpectArray(*children, ca, "an array of node names");
  for (size_t i = 0; i < children->size(); ++i) {
    std::string name = reader_.String((*children)[i], ca.Index(i));
    auto* child =
        static_cast<HostNode*>(binder_.ResolveName(name, ca.Index(i), {BASENODE_CLASS_ID}));
    if (child->groupMember) {
      reader_.Fail(ca.Index(i), "\"" + name + "\" is a member of the group \"" +
                                    child->GetParentNode()->GetName() + "\" already");
    }
    for (INode* up = head; up; up = up->GetParentNode()) {
      if (up == child)
        reader_.Fail(ca.Index(i), "a group cannot contain itself or a group it is in");
    }
    head->AttachChild(child);
    child->groupMember = true;
  }
}

void SceneReader::ReadNodeMaterial(const json& j, const JsonPath& at) {
  const json* m = Find(j, "material");
  if (!m) return;
  std::string name = reader_.String(*m, at.Key("material"));
  ReferenceTarget* mtl = binder_.ResolveName(name, at.Key("material"), {MATERIAL_CLASS_ID});
  binder_.FindNode(j["name"].get<std::string>())->SetMtl(static_cast<Mtl*>(mtl));
}

// Every mesh's material goes inside a toon material made from the "toon"
// definition (the toon material's own defaults for `true`); a material
// shared by several nodes gets one wrapper they share, nodes without a
// material get a standard one to wrap, and toon materials stay as they are.
void SceneReader::WrapInToon(const json& j, const JsonPath& at) {
  json def = {{"class", kToonMaterialClass}};
  if (j.is_boolean()) {
    if (!j.get<bool>()) return;
  } else if (j.is_object()) {
    reader_.CheckKeys(j, at, {"params", "refs"});
    for (const char* key : {"params", "refs"}) {
      if (const json* v = Find(j, key)) def[key] = *v;
    }
  } else {
    reader_.Fail(at,
                 "expected true, false or {\"params\": {...}} (the toon material's "
                 "settings), got " +
                     DescribeJson(j));
  }
  auto isToon = [](Mtl* m) {
    ClassDesc2* cd = m ? GetClassDirectory().FindClass(MATERIAL_CLASS_ID, m->ClassID()) : nullptr;
    return cd && std::string(cd->InternalName()) == kToonMaterialClass;
  };
  std::map<Mtl*, Mtl*> wrappers;
  Mtl* plain = nullptr;
  for (HostNode* node : scene_.AllNodes()) {
    if (!dynamic_cast<GeomObject*>(node->GetObjectRef())) continue;
    Mtl* base = node->GetMtl();
    if (isToon(base)) continue;
    if (!base) {
      if (!plain) {
        plain = NewDefaultStdMat();
        if (!plain) reader_.Fail(at, "the standard material is not available to wrap");
        plain->SetName("Default");
      }
      base = plain;
    }
    Mtl*& wrapper = wrappers[base];
    if (!wrapper) {
      wrapper = static_cast<Mtl*>(binder_.MakeObject(def, at, {MATERIAL_CLASS_ID}));
      bool set = false;
      for (IParamBlock2* pb : ParamBlocksOf(wrapper)) {
        if (const ParamDef* p = pb->GetDesc()->GetParamDefByName("baseMaterial")) {
          set = pb->SetValue(p->id, 0, static_cast<ReferenceTarget*>(base));
          break;
        }
      }
      if (!set) reader_.Fail(at, "the toon material did not take the base material");
      wrapper->SetName((std::string(base->GetName()) + " (toon)").c_str());
    }
    node->SetMtl(wrapper);
  }
}

// ---- meshes ----------------------------------------------------------------

void SceneReader::ReadMesh(const json& j, const JsonPath& at, HostNode* node) {
  reader_.ExpectObject(j, at, "{\"primitive\": ...} or {\"file\": ...}");
  bool primitive = j.contains("primitive"), file = j.contains("file");
  if (primitive == file) reader_.Fail(at, "expected either \"primitive\" or \"file\"");
  auto* geom = new GeomObject;
  node->SetObject(geom);
  if (primitive) {
    ReadPrimitive(j, at, *geom);
  } else {
    ReadMeshFile(j, at, *geom);
  }
}

void SceneReader::ReadPrimitive(const json& j, const JsonPath& at, GeomObject& geom) {
  PrimitiveParams p;
  p.type = reader_.String(j["primitive"], at.Key("primitive"));
  std::span<const std::string_view> names = PrimitiveParamNames(p.type);
  if (names.empty()) {
    reader_.Fail(at.Key("primitive"), "unknown primitive \"" + p.type +
                                          "\"; expected box, plane, sphere, cylinder, torus, "
                                          "torusKnot or teapot");
  }
  for (const auto& item : j.items()) {
    const std::string& key = item.key();
    JsonPath ka = at.Key(key);
    if (key == "primitive") continue;
    if (std::find(names.begin(), names.end(), key) == names.end()) {
      std::string list;
      for (std::string_view n : names) list += (list.empty() ? "" : ", ") + std::string(n);
      reader_.Fail(ka, "unknown key; a " + p.type + " takes " + list);
    }
    const json& v = item.value();
    if (key == "size" && p.type == "plane") {
      if (!v.is_array() || v.size() != 2)
        reader_.Fail(ka, "expected [x, y], got " + DescribeJson(v));
      p.size = Point3(reader_.Float(v[0], ka.Index(0)), reader_.Float(v[1], ka.Index(1)), 0.0f);
    } else if (key == "size") {
      p.size = reader_.Triple(v, ka, "[x, y, z]");
    } else if (key == "radius") {
      p.radius = reader_.Float(v, ka);
    } else if (key == "height") {
      p.height = reader_.Float(v, ka);
    } else if (key == "tube") {
      p.tube = reader_.Float(v, ka);
    } else {
      int n = reader_.Int(v, ka);
      (key == "segments" ? p.segments : key == "sides" ? p.sides : key == "p" ? p.p : p.q) = n;
    }
  }
  std::string error;
  std::vector<std::string> warnings;
  if (!MakePrimitive(p, geom.mesh, &error, &warnings)) reader_.Fail(at, error);
  for (const std::string& w : warnings) reader_.Warn(at, w);
  geom.source = p.type;
}

void SceneReader::ReadMeshFile(const json& j, const JsonPath& at, GeomObject& geom) {
  reader_.CheckKeys(j, at, {"file", "upAxis"});
  std::string file = binder_.ResolveFile(reader_.String(j["file"], at.Key("file")));
  bool yUp = false;
  if (const json* v = Find(j, "upAxis")) {
    std::string axis = reader_.String(*v, at.Key("upAxis"));
    if (axis != "y" && axis != "z")
      reader_.Fail(at.Key("upAxis"), "expected \"y\" or \"z\", got \"" + axis + "\"");
    yUp = axis == "y";
  }
  MeshImportOptions options;
  options.upAxis = yUp ? UpAxis::kY : UpAxis::kZ;
  std::string error;
  std::vector<std::string> warnings;
  if (!ImportMesh(file, options, geom.mesh, &error, &warnings)) reader_.Fail(at.Key("file"), error);
  for (const std::string& w : warnings) reader_.Warn(at.Key("file"), w);
  geom.source = file;
}

// ---- lights and camera -----------------------------------------------------

void SceneReader::ReadLight(const json& j, const JsonPath& at) {
  reader_.ExpectObject(j, at, "a light {\"name\": ..., \"type\": ...}");
  reader_.CheckKeys(j, at,
                    {"name", "type", "position", "target", "color", "multiplier", "shadows",
                     "affectDiffuse", "affectSpecular", "ambientOnly", "hotspot", "falloff"});
  for (const char* key : {"name", "type"}) {
    if (!Find(j, key)) reader_.Fail(at, std::string("missing \"") + key + "\"");
  }
  auto* light = new LightObject;
  ReferenceHolder keep(light);
  std::string type = reader_.String(j["type"], at.Key("type"));
  if (type == "omni") {
    light->type = LightObject::Type::kOmni;
  } else if (type == "directional") {
    light->type = LightObject::Type::kDirectional;
  } else if (type == "spot") {
    light->type = LightObject::Type::kSpot;
  } else {
    reader_.Fail(at.Key("type"),
                 "expected \"omni\", \"directional\" or \"spot\", got \"" + type + "\"");
  }
  HostNode* node = scene_.CreateNode(reader_.String(j["name"], at.Key("name")));
  node->SetObject(light);
  binder_.AddNode(node->GetName(), node, at.Key("name"));
  if (const json* v = Find(j, "position"))
    ReadTransformPart(*v, at.Key("position"), node, Part::kPosition);
  if (light->type != LightObject::Type::kOmni) {
    node->target = Point3(0, 0, 0);
    if (const json* v = Find(j, "target"))
      node->target = reader_.Triple(*v, at.Key("target"), "[x, y, z]", kCoordinateRange);
  }
  if (const json* v = Find(j, "color"))
    light->color = Color(reader_.Triple(*v, at.Key("color"), "[r, g, b]", kUnit));
  if (const json* v = Find(j, "multiplier"))
    light->multiplier = reader_.Float(*v, at.Key("multiplier"), kMultiplierRange);
  if (const json* v = Find(j, "shadows")) light->castShadows = reader_.Bool(*v, at.Key("shadows"));
  if (const json* v = Find(j, "affectDiffuse"))
    light->affectDiffuse = reader_.Bool(*v, at.Key("affectDiffuse"));
  if (const json* v = Find(j, "affectSpecular"))
    light->affectSpecular = reader_.Bool(*v, at.Key("affectSpecular"));
  if (const json* v = Find(j, "ambientOnly"))
    light->ambientOnly = reader_.Bool(*v, at.Key("ambientOnly"));
  if (const json* v = Find(j, "hotspot"))
    light->hotspotDegrees = reader_.Float(*v, at.Key("hotspot"), kConeRange);
  if (const json* v = Find(j, "falloff"))
    light->falloffDegrees = reader_.Float(*v, at.Key("falloff"), kConeRange);
  if (light->hotspotDegrees > light->falloffDegrees) {
    reader_.Warn(at.Key("hotspot"), "the hotspot is wider than the falloff; clamped to " +
                                        FormatNumber(light->falloffDegrees));
    light->hotspotDegrees = light->falloffDegrees;
  }
}

void SceneReader::ReadCamera(const json& j, const JsonPath& at) {
  reader_.ExpectObject(j, at, "a camera {\"type\": ...}");
  reader_.CheckKeys(j, at, {"type", "position", "target", "up", "fov", "width", "near", "far"});
  auto* camera = new CameraObject;
  ReferenceHolder keep(camera);
  if (const json* v = Find(j, "type")) {
    std::string type = reader_.String(*v, at.Key("type"));
    if (type == "orthographic") {
      camera->type = CameraObject::Type::kOrthographic;
    } else if (type != "perspective") {
      reader_.Fail(at.Key("type"),
                   "expected \"perspective\" or \"orthographic\", got \"" + type + "\"");
    }
  }
  if (const json* v = Find(j, "fov"))
    camera->fovDegrees = reader_.Float(*v, at.Key("fov"), kFovRange);
  if (const json* v = Find(j, "width"))
    camera->width = reader_.Float(*v, at.Key("width"), kLengthRange);
  if (const json* v = Find(j, "near"))
    camera->nearClip = reader_.Float(*v, at.Key("near"), kLengthRange);
  if (const json* v = Find(j, "far"))
    camera->farClip = reader_.Float(*v, at.Key("far"), kLengthRange);
  if (camera->farClip <= camera->nearClip)
    reader_.Fail(at.Key("far"), "far must be greater than near");
  // The camera's node takes the first free name, so it never clashes with a node of the file.
  std::string name = "Camera";
  for (int i = 1; binder_.FindNode(name); ++i) name = "Camera" + std::to_string(i);
  HostNode* node = scene_.CreateNode(name);
  node->SetObject(camera);
  binder_.AddNode(name, node, at);
  scene_.cameraNode = node;
  if (const json* v = Find(j, "position"))
    ReadTransformPart(*v, at.Key("position"), node, Part::kPosition);
  node->target = Point3(0, 0, 0);
  if (const json* v = Find(j, "target"))
    node->target = reader_.Triple(*v, at.Key("target"), "[x, y, z]", kCoordinateRange);
  if (const json* v = Find(j, "up"))
    node->up = reader_.Triple(*v, at.Key("up"), "[x, y, z]", kCoordinateRange);
  if (Length(node->up) == 0.0f)
    reader_.Fail(at.Key("up"), "the up direction must not be [0, 0, 0]");
}

std::unique_ptr<Scene> LoadSceneJson(const json& doc, const std::string& path,
                                     std::vector<std::string>* warnings, std::string* error) {
  int frameRate = GetFrameRate();
  auto scene = std::make_unique<Scene>();
  scene->sourcePath = path;
  try {
    SceneReader(*scene, path, warnings).Read(doc);
    return scene;
  } catch (const SceneError& e) {
    if (error) *error = e.what();
  } catch (const std::bad_alloc&) {
    if (error) *error = path + ": out of memory while reading the scene";
  }
  SetFrameRate(frameRate);
  return nullptr;
}

}  // namespace

std::unique_ptr<Scene> LoadSceneText(const std::string& text, const std::string& path,
                                     std::vector<std::string>* warnings, std::string* error) {
  json doc;
  if (!ParseJsonText(text, path, doc, error)) return nullptr;
  return LoadSceneJson(doc, path, warnings, error);
}

std::unique_ptr<Scene> LoadSceneFile(const std::string& path, std::vector<std::string>* warnings,
                                     std::string* error) {
  // Plug-ins hear a scene description open like a saved scene. Its values
  // are not stored state read back but settings made on new objects, so the
  // objects are built once the open is over: a value given for one of two
  // linked parameters reaches the other, as a user's edit would.
  BroadcastNotification(NOTIFY_FILE_PRE_OPEN, const_cast<std::string*>(&path));
  theHold.Reset();
  json doc;
  const bool read = ReadJsonFile(path, doc, error);
  BroadcastNotification(NOTIFY_FILE_POST_OPEN, const_cast<std::string*>(&path));
  if (!read) return nullptr;
  return LoadSceneJson(doc, path, warnings, error);
}

}  // namespace host
