// The reference-graph writer (handles breadth-first, one chunk per object)
// and reader (make every object, load its data, then attach the slots).
#include "sdk/ref_graph.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "sdk/check.h"
#include "sdk/class_desc.h"
#include "sdk/opaque_object.h"
#include "sdk/param_block.h"
#include "sdk/hold.h"

namespace {

// Reference slots an object may have beyond those its file saved (classes
// that gained slots since an older file was written).
constexpr size_t kMaxMissingRefs = 1024;

}  // namespace

namespace {

// An object chunk holds at least its header and a class chunk; this bounds
// the object count a graph chunk of a given length can hold.
constexpr size_t kChunkHeaderSize = 6;
constexpr size_t kMinObjectChunkSize = 2 * kChunkHeaderSize + 4 * sizeof(uint32_t);

std::string ClassText(SClass_ID super, const Class_ID& id) {
  char text[96];
  std::snprintf(text, sizeof text, "superclass 0x%X, class (0x%08X, 0x%08X)", super, id.PartA(),
                id.PartB());
  return text;
}

std::string ClassText(ReferenceTarget* object) {
  return ClassText(object->SuperClassID(), object->ClassID());
}

// Every object reachable from the roots, breadth-first, slots in index order.
std::vector<ReferenceTarget*> CollectGraph(std::span<ReferenceTarget* const> roots) {
  std::vector<ReferenceTarget*> order;
  std::unordered_set<ReferenceTarget*> seen;
  auto visit = [&](ReferenceTarget* t) {
    if (t != nullptr && seen.insert(t).second) order.push_back(t);
  };
  for (ReferenceTarget* root : roots) visit(root);
  for (size_t i = 0; i < order.size(); ++i) {
    ReferenceTarget* t = order[i];
    for (int slot = 0; slot < t->NumRefs(); ++slot) visit(t->GetReference(slot));
  }
  return order;
}

void WriteHeader(MemorySave& out, size_t count, std::span<ReferenceTarget* const> roots) {
  out.BeginChunk(kGraphHeaderChunk);
  out.WriteUInt(kReferenceGraphVersion);
  out.WriteUInt(static_cast<uint32_t>(count));
  out.WriteUInt(static_cast<uint32_t>(roots.size()));
  for (ReferenceTarget* root : roots) out.WriteUInt(out.GetRefID(root));
  out.EndChunk();
}

// One object chunk; false when the object's Save failed.
bool WriteObject(MemorySave& out, ReferenceTarget* object, uint32_t handle) {
  out.BeginChunk(kGraphObjectChunk);
  out.BeginChunk(kGraphClassChunk);
  Class_ID id = object->ClassID();
  out.WriteUInt(object->SuperClassID());
  out.WriteUInt(id.PartA());
  out.WriteUInt(id.PartB());
  out.WriteUInt(handle);
  out.EndChunk();

  out.BeginChunk(kGraphDataChunk);
  int depth = out.Depth();
  IOResult saved = object->Save(&out);
  TARNIS_CHECK(out.Depth() == depth)
      << "Save of " << ClassText(object) << " left " << out.Depth() - depth << " chunk(s) open";
  out.EndChunk();

  out.BeginChunk(kGraphRefsChunk);
  int numRefs = std::max(object->NumRefs(), 0);
  out.WriteUInt(static_cast<uint32_t>(numRefs));
  for (int slot = 0; slot < numRefs; ++slot)
    out.WriteUInt(out.GetRefID(object->GetReference(slot)));
  out.EndChunk();
  out.EndChunk();
  return saved != IO_ERROR;
}

}  // namespace

bool SaveReferenceGraph(MemorySave& out, std::span<ReferenceTarget* const> roots,
                        std::string* error) {
  std::vector<ReferenceTarget*> order = CollectGraph(roots);
  TARNIS_CHECK(order.size() < ISave::kNoHandle) << "graph too large to save";
  out.ClearHandles();
  for (size_t h = 0; h < order.size(); ++h) out.SetHandle(order[h], static_cast<uint32_t>(h));

  out.BeginChunk(kReferenceGraphChunk);
  WriteHeader(out, order.size(), roots);
  bool ok = true;
  for (size_t h = 0; h < order.size(); ++h) {
    if (!WriteObject(out, order[h], static_cast<uint32_t>(h)) && ok) {
      ok = false;
      if (error != nullptr)
        *error = "object " + std::to_string(h) + " (" + ClassText(order[h]) +
                 ") could not save its data";
    }
  }
  out.EndChunk();
  return ok;
}

// --- Reading -----------------------------------------------------------------

namespace {

class GraphReader {
 public:
  explicit GraphReader(MemoryLoad& in) : in_(in), firstWarning_(in.Warnings().size()) {}
  ~GraphReader() { FreeEverything(); }

  GraphLoadResult Run();

 private:
  struct Object {
    ReferenceTarget* target = nullptr;
    std::unique_ptr<ReferenceHolder> keep;  // keeps the object alive until the end
    std::vector<uint32_t> refs;
  };

  bool Fail(std::string message) {
    if (error_.empty()) error_ = std::move(message);
    return false;
  }
  bool ReadGraph();
  bool ReadHeader();
  bool ReadObject();
  bool ReadClassChunk(SClass_ID& super, Class_ID& id, uint32_t& handle);
  bool ReadObjectParts(uint32_t handle, Object& object);
  bool LoadObjectData(uint32_t handle, Object& object);
  bool ReadRefs(uint32_t handle, Object& object);
  // The object a saved handle stands for (null for kNoHandle and for objects
  // left out); false when the handle is not in the graph.
  bool Resolve(uint32_t handle, ReferenceTarget*& target) const;
  bool AttachReferences();
  void DropUnreachable(const LoadedGraph& graph);
  void FreeEverything();

  MemoryLoad& in_;
  size_t firstWarning_;
  std::string error_;
  uint32_t declaredCount_ = 0;
  uint32_t objectChunks_ = 0;
  std::vector<uint32_t> rootHandles_;
  std::unordered_map<uint32_t, Object> objects_;
  std::vector<uint32_t> fileOrder_;  // handles of made objects, in file order
  std::unordered_set<uint32_t> leftOut_;
};

GraphLoadResult GraphReader::Run() {
  HoldSuspend suspend;
  int depth = in_.Depth();
  bool ok = ReadGraph() && AttachReferences();
  while (in_.Depth() > depth) in_.CloseChunk();
  GraphLoadResult result;
  if (!ok) {
    in_.DropPostLoadCallbacks();
    FreeEverything();  // while recording is still suspended
    result.error = error_;
    return result;
  }
  in_.RunPostLoadCallbacks();
  LoadedGraph graph;
  for (uint32_t handle : rootHandles_) {
    ReferenceTarget* root = nullptr;
    Resolve(handle, root);
    graph.roots.push_back(std::make_unique<ReferenceHolder>(root));
  }
  DropUnreachable(graph);
  const auto& warnings = in_.Warnings();
  graph.warnings.assign(warnings.begin() + static_cast<ptrdiff_t>(firstWarning_), warnings.end());
  result.graph = std::move(graph);
  return result;
}

bool GraphReader::ReadGraph() {
  if (in_.OpenChunk() != IO_OK || in_.CurChunkID() != kReferenceGraphChunk) {
    return Fail("no reference graph chunk");
  }
  if (!ReadHeader()) return false;
  IOResult r = IO_OK;
  while ((r = in_.OpenChunk()) == IO_OK) {
    if (in_.CurChunkID() == kGraphObjectChunk && !ReadObject()) return false;
    if (in_.CloseChunk() != IO_OK) return Fail("damaged object chunk");
  }
  if (r != IO_END) return Fail("damaged chunk in the reference graph");
  if (objectChunks_ != declaredCount_) {
    return Fail("the graph lists " + std::to_string(declaredCount_) + " objects but holds " +
                std::to_string(objectChunks_));
  }
  return true;
}

bool GraphReader::ReadHeader() {
  // Room for objects after the header chunk, for checking the object count.
  size_t graphBytes = in_.BytesLeft();
  if (in_.OpenChunk() != IO_OK || in_.CurChunkID() != kGraphHeaderChunk) {
    return Fail("reference graph without header");
  }
  uint32_t version = 0, numRoots = 0;
  if (in_.ReadUInt(version) != IO_OK || in_.ReadUInt(declaredCount_) != IO_OK ||
      in_.ReadUInt(numRoots) != IO_OK) {
    return Fail("damaged reference graph header");
  }
  if (version != kReferenceGraphVersion) {
    return Fail("reference graph version " + std::to_string(version) + " is not supported");
  }
  if (declaredCount_ > graphBytes / kMinObjectChunkSize) {
    return Fail("the graph lists " + std::to_string(declaredCount_) +
                " objects, more than its chunk can hold");
  }
  if (numRoots > in_.BytesLeft() / sizeof(uint32_t)) return Fail("damaged root list");
  rootHandles_.resize(numRoots);
  for (uint32_t& h : rootHandles_) {
    if (in_.ReadUInt(h) != IO_OK) return Fail("damaged root list");
  }
  for (uint32_t h : rootHandles_) {
    if (h != ISave::kNoHandle && h >= declaredCount_) {
      return Fail("root handle " + std::to_string(h) + " is out of range");
    }
  }
  in_.CloseChunk();
  return true;
}

bool GraphReader::ReadObject() {
  ++objectChunks_;
  SClass_ID super = 0;
  Class_ID id;
  uint32_t handle = 0;
  if (!ReadClassChunk(super, id, handle)) return false;
  if (handle >= declaredCount_) {
    return Fail("object handle " + std::to_string(handle) + " is out of range");
  }
  if (objects_.count(handle) != 0 || leftOut_.count(handle) != 0) {
    return Fail("handle " + std::to_string(handle) + " is used twice");
  }
  void* made = GetClassDirectory().CreateInstance(super, id, /*loading=*/true);
  ReferenceTarget* target = static_cast<ReferenceTarget*>(made);
  if (made == nullptr) {
    // Kept byte for byte, so saving the scene again loses nothing.
    target = new OpaqueObject(super, id);
    in_.LogWarning("object " + std::to_string(handle) + " of unknown class (" +
                   ClassText(super, id) + ") is kept as it was saved");
  }
  Object& object = objects_[handle];
  object.target = target;
  object.keep = std::make_unique<ReferenceHolder>(object.target);
  fileOrder_.push_back(handle);
  in_.SetObject(handle, object.target);
  return ReadObjectParts(handle, object);
}

bool GraphReader::ReadClassChunk(SClass_ID& super, Class_ID& id, uint32_t& handle) {
  if (in_.OpenChunk() != IO_OK || in_.CurChunkID() != kGraphClassChunk) {
    return Fail("object chunk without class chunk");
  }
  uint32_t a = 0, b = 0;
  if (in_.ReadUInt(super) != IO_OK || in_.ReadUInt(a) != IO_OK || in_.ReadUInt(b) != IO_OK ||
      in_.ReadUInt(handle) != IO_OK) {
    return Fail("damaged class chunk");
  }
  id = Class_ID(a, b);
  in_.CloseChunk();
  return true;
}

bool GraphReader::ReadObjectParts(uint32_t handle, Object& object) {
  bool sawData = false, sawRefs = false;
  IOResult r = IO_OK;
  while ((r = in_.OpenChunk()) == IO_OK) {
    uint16_t part = in_.CurChunkID();
    if (part == kGraphDataChunk || part == kGraphRefsChunk) {
      bool& seen = part == kGraphDataChunk ? sawData : sawRefs;
      if (seen) return Fail("object " + std::to_string(handle) + " has a part twice");
      seen = true;
      bool ok = part == kGraphDataChunk ? LoadObjectData(handle, object) : ReadRefs(handle, object);
      if (!ok) return false;
    }
    if (in_.CloseChunk() != IO_OK) return Fail("damaged object chunk");
  }
  if (r != IO_END) return Fail("damaged chunk in object " + std::to_string(handle));
  return true;
}

bool GraphReader::LoadObjectData(uint32_t handle, Object& object) {
  int depth = in_.Depth();
  IOResult loaded = object.target->Load(&in_);
  // A parameter block of a class that is not loaded cannot be read; it is
  // kept as it was saved, like an object of an unknown class.
  if (auto* pb = dynamic_cast<IParamBlock2*>(object.target); pb && loaded == IO_OK) {
    if (std::vector<uint8_t> raw = pb->TakeUnreadData(); !raw.empty()) {
      auto* opaque = new OpaqueObject(pb->SuperClassID(), pb->ClassID());
      MemoryLoad data(raw);
      opaque->Load(&data);
      object.target = opaque;
      object.keep->Set(opaque);
      in_.SetObject(handle, opaque);
    }
  }
  std::string what = "object " + std::to_string(handle) + " (" + ClassText(object.target) + ")";
  if (loaded == IO_ERROR) return Fail(what + " could not read its data");
  if (in_.Depth() < depth) return Fail(what + " closed chunks it had not opened");
  // A Load that stopped early leaves its inner chunks open; unread data is skipped.
  while (in_.Depth() > depth) in_.CloseChunk();
  return true;
}

bool GraphReader::ReadRefs(uint32_t handle, Object& object) {
  uint32_t count = 0;
  if (in_.ReadUInt(count) != IO_OK || count > in_.BytesLeft() / sizeof(uint32_t)) {
    return Fail("damaged reference list of object " + std::to_string(handle));
  }
  object.refs.resize(count);
  for (uint32_t& h : object.refs) in_.ReadUInt(h);  // fits: checked above
  if (auto* opaque = dynamic_cast<OpaqueObject*>(object.target)) {
    opaque->SetNumRefs(static_cast<int>(count));
  }
  return true;
}

bool GraphReader::Resolve(uint32_t handle, ReferenceTarget*& target) const {
  target = nullptr;
  if (handle == ISave::kNoHandle || leftOut_.count(handle) != 0) return true;
  auto it = objects_.find(handle);
  if (it == objects_.end()) return false;
  target = it->second.target;
  return true;
}

bool GraphReader::AttachReferences() {
  for (uint32_t handle : rootHandles_) {
    ReferenceTarget* root = nullptr;
    if (!Resolve(handle, root))
      return Fail("root handle " + std::to_string(handle) + " is missing");
  }
  for (uint32_t handle : fileOrder_) {
    Object& object = objects_[handle];
    std::string what = "object " + std::to_string(handle) + " (" + ClassText(object.target) + ")";
    int numRefs = object.target->NumRefs();
    if (object.refs.size() > static_cast<size_t>(std::max(numRefs, 0))) {
      return Fail(what + " saved " + std::to_string(object.refs.size()) +
                  " references, its class has " + std::to_string(numRefs));
    }
    // Older layouts saved a few slots fewer; a list claiming far more slots
    // than the file holds references for is damaged, and walking its empty
    // slots would cost its claimed size, not the file's, on every later pass.
    if (static_cast<size_t>(numRefs) > object.refs.size() + kMaxMissingRefs) {
      return Fail(what + " has " + std::to_string(numRefs) + " reference slots, the file holds " +
                  std::to_string(object.refs.size()));
    }
    for (size_t slot = 0; slot < object.refs.size(); ++slot) {
      ReferenceTarget* target = nullptr;
      if (!Resolve(object.refs[slot], target)) {
        return Fail(what + " slot " + std::to_string(slot) + " refers to handle " +
                    std::to_string(object.refs[slot]) + ", which is not in the graph");
      }
      int which = static_cast<int>(slot);
      if (object.target->GetReference(which) == target) continue;
      // A slot of the wrong kind (a damaged file) refuses the target instead
      // of failing the object's contract.
      if (object.target->TryReplaceReference(which, target) == REF_FAIL) {
        return Fail(what + " refused reference " + std::to_string(slot));
      }
    }
  }
  return true;
}

// Drops objects that neither a root nor anything outside the graph (a
// post-load callback may have handed objects out) leads to; dropping their
// references first frees cycles among them.
void GraphReader::DropUnreachable(const LoadedGraph& graph) {
  std::unordered_set<ReferenceMaker*> ours;
  for (const auto& holder : graph.roots) ours.insert(holder.get());
  for (auto& [handle, object] : objects_) {
    ours.insert(object.keep.get());
    ours.insert(object.target);
  }
  std::vector<ReferenceTarget*> reached;
  std::unordered_set<ReferenceTarget*> marked;
  auto mark = [&](ReferenceTarget* t) {
    if (t != nullptr && marked.insert(t).second) reached.push_back(t);
  };
  for (const auto& holder : graph.roots) mark(holder->Get());
  for (uint32_t handle : fileOrder_) {
    ReferenceTarget* t = objects_[handle].target;
    for (ReferenceMaker* d : t->Dependents()) {
      if (ours.count(d) == 0) mark(t);
    }
  }
  for (size_t i = 0; i < reached.size(); ++i) {
    for (int slot = 0; slot < reached[i]->NumRefs(); ++slot) mark(reached[i]->GetReference(slot));
  }
  for (uint32_t handle : fileOrder_) {
    ReferenceTarget* t = objects_[handle].target;
    if (marked.count(t) != 0) continue;
    in_.LogWarning("object " + std::to_string(handle) + " (" + ClassText(t) +
                   ") is not reachable from any root and was dropped");
    t->DeleteAllRefs();
  }
  in_.ForgetObjects();
  objects_.clear();  // releases the keep-alive holders
}

void GraphReader::FreeEverything() {
  in_.ForgetObjects();
  // Dropping every slot first breaks cycles, so releasing the keep-alive
  // holders frees every object made.
  for (auto& [handle, object] : objects_) object.target->DeleteAllRefs();
  objects_.clear();
}

}  // namespace

GraphLoadResult LoadReferenceGraph(MemoryLoad& in) {
  GraphReader reader(in);
  return reader.Run();
}

GraphLoadResult LoadReferenceGraph(std::span<const uint8_t> bytes) {
  MemoryLoad in(bytes);
  return LoadReferenceGraph(in);
}

namespace {

// Every object reachable from `from` through reference slots.
std::vector<ReferenceTarget*> reachableFrom(std::span<ReferenceTarget* const> from) {
  std::vector<ReferenceTarget*> all;
  std::unordered_set<ReferenceTarget*> seen;
  auto visit = [&](ReferenceTarget* t) {
    if (t && seen.insert(t).second) all.push_back(t);
  };
  for (ReferenceTarget* t : from) visit(t);
  for (size_t i = 0; i < all.size(); ++i) {
    for (int r = 0; r < all[i]->NumRefs(); ++r) visit(all[i]->GetReference(r));
  }
  return all;
}

}  // namespace

void ReleaseGraph(std::span<ReferenceTarget* const> roots,
                  std::span<ReferenceMaker* const> owners) {
  std::vector<ReferenceTarget*> all = reachableFrom(roots);
  std::unordered_set<ReferenceMaker*> inside(all.begin(), all.end());
  inside.insert(owners.begin(), owners.end());
  std::vector<ReferenceTarget*> external;
  for (ReferenceTarget* t : all) {
    for (ReferenceMaker* d : t->Dependents()) {
      if (!inside.count(d)) {
        external.push_back(t);
        break;
      }
    }
  }
  std::vector<ReferenceTarget*> kept = reachableFrom(external);
  std::unordered_set<ReferenceTarget*> keptSet(kept.begin(), kept.end());
  // Everything is held while the links are cut, so nothing goes mid-way.
  std::vector<std::unique_ptr<ReferenceHolder>> hold;
  hold.reserve(all.size());
  for (ReferenceTarget* t : all) hold.push_back(std::make_unique<ReferenceHolder>(t));
  // Latest found first: a shared target (one material worn by many nodes)
  // lists its dependents in the order they took it, and releases are found
  // from the back, so cutting in reverse keeps a large scene's teardown
  // linear.
  for (auto it = all.rbegin(); it != all.rend(); ++it) {
    if (!keptSet.count(*it)) (*it)->DeleteAllRefs();
  }
}

LoadedGraph::~LoadedGraph() {
  std::vector<ReferenceTarget*> targets;
  std::vector<ReferenceMaker*> owners;
  for (const auto& holder : roots) {
    if (!holder) continue;
    targets.push_back(holder->Get());
    owners.push_back(holder.get());
  }
  ReleaseGraph(targets, owners);
}
