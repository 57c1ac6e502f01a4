#include "host/scene_file.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <unordered_set>

#include "host/scene_limits.h"
#include "host/scene_loader.h"
#include "sdk/atomic_file.h"
#include "sdk/hold.h"
#include "sdk/interface.h"
#include "sdk/notify.h"
#include "sdk/ref_graph.h"

namespace host {

namespace {

constexpr uint16_t kSettingsChunk = 0x5301;
// Flags after the background image name; files written before they existed end
// the settings chunk at the name.
constexpr int32_t kSettingsAlpha = 1;
// Saved scenes larger than this are refused before anything is read.
constexpr std::uintmax_t kMaxSceneFileBytes = std::uintmax_t{1} << 33;

// The roots of the saved graph, in this order.
enum Root { kRootNode, kEffects, kElements, kLibrary, kCameraNode, kNumRoots };

struct SettingsRecord {
  int32_t width, height;
  float pixelAspect;
  int32_t firstFrame, lastFrame, fps, samples, threads;
  Color background, ambient;
};

void saveSettings(ISave& s, const Scene& scene) {
  const RenderSettings& r = scene.render;
  SettingsRecord rec{r.width,
                     r.height,
                     r.pixelAspect,
                     r.firstFrame,
                     r.lastFrame,
                     r.fps,
                     r.samples,
                     r.threads,
                     scene.environment.background,
                     scene.environment.ambient};
  s.BeginChunk(kSettingsChunk);
  s.Write(&rec, sizeof rec);
  s.WriteString(scene.environment.backgroundImage);
  s.WriteInt(r.alpha ? kSettingsAlpha : 0);
  s.EndChunk();
}

// The ranges a scene description allows (host/scene_limits.h).
bool sane(const SettingsRecord& r) {
  return r.width >= 1 && r.width <= kMaxImageSide && r.height >= 1 && r.height <= kMaxImageSide &&
         InRange(r.pixelAspect, kPixelAspectRange) && r.firstFrame >= -kMaxFrame &&
         r.firstFrame <= r.lastFrame && r.lastFrame <= kMaxFrame && r.fps >= 1 &&
         r.fps <= TIME_TICKSPERSEC && r.samples >= 1 && r.samples <= kMaxSamplesPerSide &&
         r.threads >= 0 && r.threads <= kMaxThreads &&
         InRange(Point3(r.background.r, r.background.g, r.background.b), kUnitRange) &&
         InRange(Point3(r.ambient.r, r.ambient.g, r.ambient.b), kUnitRange);
}

bool loadSettings(ILoad& l, Scene& scene) {
  SettingsRecord rec{};
  if (l.Read(&rec, sizeof rec) != IO_OK || !sane(rec)) return false;
  if (l.ReadString(scene.environment.backgroundImage) != IO_OK) return false;
  int32_t flags = 0;
  if (l.BytesLeft() > 0 && l.ReadInt(flags) != IO_OK) return false;
  RenderSettings& r = scene.render;
  r.alpha = (flags & kSettingsAlpha) != 0;
  r.width = rec.width, r.height = rec.height, r.pixelAspect = rec.pixelAspect;
  r.firstFrame = rec.firstFrame, r.lastFrame = rec.lastFrame, r.fps = rec.fps;
  r.samples = rec.samples, r.threads = rec.threads;
  scene.environment.background = rec.background;
  scene.environment.ambient = rec.ambient;
  return true;
}

bool readFile(const std::string& path, std::vector<uint8_t>& bytes, std::string* error) {
  std::error_code ec;
  auto size = std::filesystem::file_size(path, ec);
  if (ec) {
    if (error) *error = path + ": cannot open the file";
    return false;
  }
  if (size > kMaxSceneFileBytes) {
    if (error) *error = path + ": too large for a saved scene";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  bytes.resize(static_cast<size_t>(size));
  if (!in || !in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size))) {
    if (error) *error = path + ": cannot read the file";
    return false;
  }
  return true;
}

// A loaded graph's roots in the shape of a scene; null parts are refused.
struct SceneParts {
  HostNode* root;
  RefList* effects;
  RefList* elements;
  RefList* library;
  HostNode* camera;
};

// True when every node under `root` is a node, reached once, and knows its
// parent: a damaged file could list a node twice or make the tree a loop.
bool treeIsSound(HostNode* root) {
  std::unordered_set<HostNode*> seen{root};
  std::vector<HostNode*> open{root};
  while (!open.empty()) {
    HostNode* n = open.back();
    open.pop_back();
    for (int i = 0; i < n->NumberOfChildren(); ++i) {
      auto* child = static_cast<HostNode*>(n->GetChildNode(i));
      if (!child || child->IsRootNode() || !seen.insert(child).second) return false;
      if (child->GetParentNode() != n) return false;
      open.push_back(child);
    }
  }
  return true;
}

bool partsOf(const LoadedGraph& g, SceneParts& p) {
  if (g.NumRoots() != kNumRoots) return false;
  p.root = dynamic_cast<HostNode*>(g.Root(kRootNode));
  p.effects = dynamic_cast<RefList*>(g.Root(kEffects));
  p.elements = dynamic_cast<RefList*>(g.Root(kElements));
  p.library = dynamic_cast<RefList*>(g.Root(kLibrary));
  p.camera = dynamic_cast<HostNode*>(g.Root(kCameraNode));
  return p.root && p.root->IsRootNode() && p.effects && p.elements && p.library &&
         (p.camera != nullptr) == (g.Root(kCameraNode) != nullptr) && treeIsSound(p.root);
}

}  // namespace

bool SerializeScene(Scene& scene, std::vector<uint8_t>& bytes, std::string* error) {
  MemorySave out;
  out.Write(kSceneSignature, sizeof kSceneSignature);
  out.WriteUInt(kSceneFileVersion);
  saveSettings(out, scene);
  ReferenceTarget* roots[kNumRoots] = {scene.Root(), &scene.Effects(), &scene.Elements(),
                                       &scene.Library(), scene.cameraNode};
  if (!SaveReferenceGraph(out, roots, error)) return false;
  bytes = out.Bytes();
  return true;
}

std::unique_ptr<Scene> DeserializeScene(std::span<const uint8_t> bytes, const std::string& name,
                                        std::vector<std::string>* warnings, std::string* error) {
  auto fail = [&](const std::string& why) -> std::unique_ptr<Scene> {
    if (error) *error = name + ": " + why;
    return nullptr;
  };
  constexpr size_t kHeader = sizeof kSceneSignature + sizeof(uint32_t);
  if (bytes.size() < kHeader || std::memcmp(bytes.data(), kSceneSignature, 8) != 0)
    return fail("not a saved Tarnis scene");
  uint32_t version = 0;
  std::memcpy(&version, bytes.data() + 8, sizeof version);
  if (version != kSceneFileVersion)
    return fail("saved scene version " + std::to_string(version) + " is not supported");

  MemoryLoad in(bytes.subspan(kHeader));
  auto scene = std::make_unique<Scene>();
  if (in.OpenChunk() != IO_OK || in.CurChunkID() != kSettingsChunk || !loadSettings(in, *scene) ||
      in.CloseChunk() != IO_OK)
    return fail("the render settings are damaged");
  GraphLoadResult graph = LoadReferenceGraph(in);
  if (!graph) return fail(graph.error);
  SceneParts parts{};
  if (!partsOf(*graph.graph, parts)) return fail("the scene's structure is damaged");
  scene->Adopt(parts.root, parts.effects, parts.elements, parts.library);
  scene->cameraNode = parts.camera;
  if (warnings) {
    for (const std::string& w : graph.graph->warnings) warnings->push_back(name + ": " + w);
  }
  return scene;
}

namespace {

// While a file operation runs, the host's interface works on the scene it
// saves or merges into, so that plug-ins handling the file notifications
// (through GetCOREInterface) see that scene's effects and nodes. Another
// kind of core interface (a test's) is left as it is.
class SceneInUse {
 public:
  explicit SceneInUse(Scene& scene) : ip_(dynamic_cast<SceneUser*>(GetCOREInterface())) {
    if (!ip_) return;
    previous_ = ip_->GetScene();
    ip_->SetScene(&scene);
  }
  ~SceneInUse() {
    if (ip_) ip_->SetScene(previous_);
  }
  SceneInUse(const SceneInUse&) = delete;
  SceneInUse& operator=(const SceneInUse&) = delete;

 private:
  SceneUser* ip_;
  Scene* previous_ = nullptr;
};

}  // namespace

bool SaveSceneFile(Scene& scene, const std::string& path, std::string* error) {
  SceneInUse inUse(scene);
  BroadcastNotification(NOTIFY_FILE_PRE_SAVE, const_cast<std::string*>(&path));
  std::vector<uint8_t> bytes;
  std::string why;
  bool ok = SerializeScene(scene, bytes, &why);
  if (!ok) {
    why = path + ": " + why;
  } else {
    ok = WriteFileAtomically(path, bytes, &why);
  }
  BroadcastNotification(NOTIFY_FILE_POST_SAVE, const_cast<std::string*>(&path));
  if (!ok && error) *error = why;
  return ok;
}

std::unique_ptr<Scene> OpenSceneFile(const std::string& path, std::vector<std::string>* warnings,
                                     std::string* error) {
  BroadcastNotification(NOTIFY_FILE_PRE_OPEN, const_cast<std::string*>(&path));
  theHold.Reset();
  std::vector<uint8_t> bytes;
  std::unique_ptr<Scene> scene;
  if (readFile(path, bytes, error)) scene = DeserializeScene(bytes, path, warnings, error);
  if (scene) scene->sourcePath = path;
  BroadcastNotification(NOTIFY_FILE_POST_OPEN, const_cast<std::string*>(&path));
  return scene;
}

namespace {

// Moves the nodes and library entries of `from` into `into`; answers the
// number of nodes moved.
int mergeInto(Scene& into, Scene& from) {
  HostNode* root = from.Root();
  int moved = 0;
  while (root->NumberOfChildren() > 0) {
    into.Root()->AttachChild(static_cast<HostNode*>(root->GetChildNode(0)));
    ++moved;
  }
  RefList& library = from.Library();
  for (int i = 0; i < library.Count(); ++i) {
    if (ReferenceTarget* t = library.Get(i); t && into.Library().IndexOf(t) < 0)
      into.Library().Append(t);
  }
  return moved;
}

}  // namespace

int MergeSceneFiles(Scene& scene, std::span<const std::string> paths,
                    std::vector<std::string>* warnings, std::vector<std::string>* errors) {
  SceneInUse inUse(scene);
  BroadcastNotification(NOTIFY_MERGE_BATCH_BEGIN);
  int merged = 0;
  for (const std::string& path : paths) {
    BroadcastNotification(NOTIFY_FILE_PRE_MERGE, const_cast<std::string*>(&path));
    std::vector<uint8_t> bytes;
    std::string error;
    std::unique_ptr<Scene> other;
    if (readFile(path, bytes, &error)) other = DeserializeScene(bytes, path, warnings, &error);
    int moved = other ? mergeInto(scene, *other) : 0;
    if (!other && errors) errors->push_back(error);
    if (moved == 0) BroadcastNotification(NOTIFY_MERGE_HANDLED, const_cast<std::string*>(&path));
    BroadcastNotification(NOTIFY_FILE_POST_MERGE, const_cast<std::string*>(&path));
    merged += moved;
  }
  BroadcastNotification(NOTIFY_MERGE_BATCH_END);
  return merged;
}

namespace {

void clearContents(Scene& scene) {
  HostNode* root = scene.Root();
  while (root->NumberOfChildren() > 0) {
    root->DetachChild(static_cast<HostNode*>(root->GetChildNode(0)));
  }
  scene.cameraNode = nullptr;
  scene.Effects().Clear();
  scene.Elements().Clear();
  scene.Library().Clear();
  theHold.Reset();
}

}  // namespace

void NewScene(Scene& scene) {
  BroadcastNotification(NOTIFY_SYSTEM_PRE_NEW);
  clearContents(scene);
  BroadcastNotification(NOTIFY_SYSTEM_POST_NEW);
}

void ResetScene(Scene& scene) {
  BroadcastNotification(NOTIFY_SYSTEM_PRE_RESET);
  clearContents(scene);
  scene.render = RenderSettings();
  scene.environment = Environment();
  scene.sourcePath.clear();
  BroadcastNotification(NOTIFY_SYSTEM_POST_RESET);
}

}  // namespace host
