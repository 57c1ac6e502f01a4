// Tests of the reference-graph writer and reader: sharing and cycles survive
// a round trip, handles are known inside Save, post-load callbacks see the
// attached references, unknown classes are kept as opaque data, and damaged graphs are
// refused with everything freed.
#include "sdk/ref_graph.h"

#include <gtest/gtest.h>

#include <optional>
#include <memory>
#include <random>
#include <unordered_set>

#include "sdk/class_desc.h"
#include "sdk/opaque_object.h"

namespace {

constexpr uint16_t kFieldsChunk = 0x0001;
constexpr int kFailLoad = 1;   // the node's Load answers IO_ERROR
constexpr int kLeaveOpen = 2;  // the node's Load returns with its chunk open
constexpr int kMaxSlots = 64;

// Writes a node's own data the way GraphNode::Save does; tests use it to
// write graphs by hand.
void WriteNodeData(ISave& out, int value, uint32_t slots, uint32_t firstHandle, int priority,
                   int flags) {
  out.BeginChunk(kFieldsChunk);
  out.WriteInt(value);
  out.WriteString("node" + std::to_string(value));
  out.WriteUInt(slots);
  out.WriteUInt(firstHandle);
  out.WriteInt(priority);
  out.WriteInt(flags);
  out.EndChunk();
}

// Log of post-load callbacks: the node's value and whether its first slot
// was attached when the callback ran.
std::vector<std::pair<int, bool>> callbackLog;

// A node with a variable number of slots, saved in its own data so that
// Load sets the slot count before the reader attaches references.
class GraphNode : public ReferenceTarget {
 public:
  static constexpr Class_ID kClassID{0x6A11F00D, 0x00000001};
  static inline int alive = 0;

  explicit GraphNode(int v = 0, int slots = 0) : value(v), refs_(static_cast<size_t>(slots)) {
    ++alive;
  }
  ~GraphNode() override { --alive; }

  Class_ID ClassID() override { return kClassID; }
  int NumRefs() override { return static_cast<int>(refs_.size()); }
  ReferenceTarget* GetReference(int i) override {
    return i >= 0 && i < NumRefs() ? refs_[static_cast<size_t>(i)] : nullptr;
  }
  GraphNode* Ref(int i) { return dynamic_cast<GraphNode*>(GetReference(i)); }

  IOResult Save(ISave* out) override {
    WriteNodeData(*out, value, static_cast<uint32_t>(refs_.size()), out->GetRefID(GetReference(0)),
                  priority, flags);
    return IO_OK;
  }

  IOResult Load(ILoad* in) override {
    IOResult r = IO_OK;
    while ((r = in->OpenChunk()) == IO_OK) {
      if (in->CurChunkID() == kFieldsChunk) {
        uint32_t slots = 0;
        if (in->ReadInt(value) != IO_OK || in->ReadString(name) != IO_OK ||
            in->ReadUInt(slots) != IO_OK || in->ReadUInt(savedFirstHandle) != IO_OK ||
            in->ReadInt(priority) != IO_OK || in->ReadInt(flags) != IO_OK || slots > kMaxSlots) {
          return IO_ERROR;
        }
        refs_.assign(slots, nullptr);
        if (flags & kFailLoad) return IO_ERROR;
        if (priority >= 0) in->RegisterPostLoadCallback(std::make_unique<Callback>(this));
        if (flags & kLeaveOpen) return IO_OK;
      }
      in->CloseChunk();
    }
    return r == IO_END ? IO_OK : IO_ERROR;
  }

  int value = 0;
  std::string name;
  int priority = -1;  // registers a post-load callback with this priority when >= 0
  int flags = 0;
  uint32_t savedFirstHandle = 0;  // read back: the handle Save found for slot 0

 protected:
  void SetReference(int i, ReferenceTarget* target) override {
    if (i >= 0 && i < NumRefs()) refs_[static_cast<size_t>(i)] = target;
  }

 private:
  class Callback : public PostLoadCallback {
   public:
    explicit Callback(GraphNode* node) : node_(node) {}
    void proc(ILoad*) override {
      callbackLog.emplace_back(node_->value, node_->GetReference(0) != nullptr);
    }
    int Priority() override { return node_->priority; }

   private:
    GraphNode* node_;
  };

  std::vector<ReferenceTarget*> refs_;
};

// A node class the directory does not know.
class ForeignNode : public GraphNode {
 public:
  static constexpr Class_ID kForeignID{0x0BADC1A5, 0x00000002};
  using GraphNode::GraphNode;
  Class_ID ClassID() override { return kForeignID; }
};

class GraphNodeDesc : public ClassDesc2 {
 public:
  int IsPublic() override { return 0; }
  void* Create(bool) override { return static_cast<ReferenceTarget*>(new GraphNode); }
  const char* ClassName() override { return "GraphNode"; }
  SClass_ID SuperClassID() override { return REF_TARGET_CLASS_ID; }
  Class_ID ClassID() override { return GraphNode::kClassID; }
  const char* Category() override { return ""; }
};

GraphNodeDesc graphNodeDesc;

// Drops every reference inside the graph reachable from `roots`, so that
// cycles are broken and releasing the roots frees everything.
void BreakCycles(std::vector<ReferenceTarget*> roots) {
  std::unordered_set<ReferenceTarget*> seen;
  for (size_t i = 0; i < roots.size(); ++i) {
    ReferenceTarget* t = roots[i];
    if (t == nullptr || !seen.insert(t).second) continue;
    for (int s = 0; s < t->NumRefs(); ++s) roots.push_back(t->GetReference(s));
  }
  // Hold every object while the links are cut: dropping one link may free
  // an object that is still to be visited.
  std::vector<std::unique_ptr<ReferenceHolder>> keep;
  for (ReferenceTarget* t : seen) keep.push_back(std::make_unique<ReferenceHolder>(t));
  for (ReferenceTarget* t : seen) t->DeleteAllRefs();
}

void BreakCycles(const LoadedGraph& graph) {
  std::vector<ReferenceTarget*> roots;
  for (size_t i = 0; i < graph.NumRoots(); ++i) roots.push_back(graph.Root(i));
  BreakCycles(roots);
}

std::vector<uint8_t> Save(std::vector<ReferenceTarget*> roots) {
  MemorySave out;
  std::string error;
  EXPECT_TRUE(SaveReferenceGraph(out, roots, &error)) << error;
  return out.Bytes();
}

// A graph written by hand, for damaged layouts the writer never makes.
struct NodeSpec {
  uint32_t handle;
  uint32_t slots = 0;
  std::vector<uint32_t> refs = {};
  int flags = 0;
  int priority = -1;
  std::optional<uint32_t> refCount = {};  // written instead of refs.size()
  Class_ID id = GraphNode::kClassID;
};

struct GraphSpec {
  std::vector<NodeSpec> nodes = {};
  std::vector<uint32_t> roots = {0};
  std::optional<uint32_t> count = {};  // written instead of nodes.size()
  std::optional<uint32_t> rootCount = {};
  uint32_t version = kReferenceGraphVersion;
};

std::vector<uint8_t> Build(const GraphSpec& g) {
  MemorySave out;
  out.BeginChunk(kReferenceGraphChunk);
  out.BeginChunk(kGraphHeaderChunk);
  out.WriteUInt(g.version);
  out.WriteUInt(g.count.value_or(static_cast<uint32_t>(g.nodes.size())));
  out.WriteUInt(g.rootCount.value_or(static_cast<uint32_t>(g.roots.size())));
  for (uint32_t r : g.roots) out.WriteUInt(r);
  out.EndChunk();
  for (const NodeSpec& n : g.nodes) {
    out.BeginChunk(kGraphObjectChunk);
    out.BeginChunk(kGraphClassChunk);
    out.WriteUInt(REF_TARGET_CLASS_ID);
    out.WriteUInt(n.id.PartA());
    out.WriteUInt(n.id.PartB());
    out.WriteUInt(n.handle);
    out.EndChunk();
    out.BeginChunk(kGraphDataChunk);
    WriteNodeData(out, static_cast<int>(n.handle) + 100, n.slots, ISave::kNoHandle, n.priority,
                  n.flags);
    out.EndChunk();
    out.BeginChunk(kGraphRefsChunk);
    out.WriteUInt(n.refCount.value_or(static_cast<uint32_t>(n.refs.size())));
    for (uint32_t r : n.refs) out.WriteUInt(r);
    out.EndChunk();
    out.EndChunk();
  }
  out.EndChunk();
  return out.Bytes();
}

class RefGraph : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(GetClassDirectory().AddClass(&graphNodeDesc), 1);
    callbackLog.clear();
  }
  void TearDown() override {
    GetClassDirectory().DeleteClass(&graphNodeDesc);
    EXPECT_EQ(GraphNode::alive, 0) << "objects leaked";
  }

  // A(1) -> [B, C], B(2) -> [D], C(3) -> [D, A], D(4): D is shared, A-C-A is
  // a cycle. B's Load leaves its chunk open.
  struct Sample {
    ReferenceHolder root;
    GraphNode* a;
  };
  static void MakeSample(Sample& s) {
    auto* a = new GraphNode(1, 2);
    auto* b = new GraphNode(2, 1);
    auto* c = new GraphNode(3, 2);
    auto* d = new GraphNode(4, 0);
    b->flags = kLeaveOpen;
    s.root.Set(a);
    a->ReplaceReference(0, b);
    a->ReplaceReference(1, c);
    b->ReplaceReference(0, d);
    c->ReplaceReference(0, d);
    c->ReplaceReference(1, a);
    s.a = a;
  }
  static void Release(Sample& s) {
    BreakCycles({s.a});
    s.root.Release();
  }
};

}  // namespace

TEST_F(RefGraph, SharedObjectsAndCyclesRoundTrip) {
  Sample s;
  MakeSample(s);
  std::vector<uint8_t> bytes = Save({s.a});
  GraphLoadResult loaded = LoadReferenceGraph(bytes);
  ASSERT_TRUE(loaded) << loaded.error;
  EXPECT_TRUE(loaded.graph->warnings.empty());
  ASSERT_EQ(loaded.graph->NumRoots(), 1u);
  auto* a = dynamic_cast<GraphNode*>(loaded.graph->Root(0));
  ASSERT_NE(a, nullptr);
  EXPECT_NE(a, s.a);
  GraphNode* b = a->Ref(0);
  GraphNode* c = a->Ref(1);
  ASSERT_TRUE(b && c && b->Ref(0));
  EXPECT_EQ(b->Ref(0), c->Ref(0));  // shared D
  EXPECT_EQ(c->Ref(1), a);          // the cycle
  EXPECT_EQ(GraphNode::alive, 8);
  const int values[] = {a->value, b->value, c->value, b->Ref(0)->value};
  EXPECT_EQ(std::vector<int>(values, values + 4), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(c->name, "node3");
  // Handles are breadth-first from the root (A 0, B 1, C 2, D 3) and were
  // known while Save ran.
  const uint32_t firstHandles[] = {a->savedFirstHandle, b->savedFirstHandle, c->savedFirstHandle,
                                   b->Ref(0)->savedFirstHandle};
  EXPECT_EQ(std::vector<uint32_t>(firstHandles, firstHandles + 4),
            (std::vector<uint32_t>{1, 3, 3, ISave::kNoHandle}));
  // Writing the loaded graph again gives the same bytes.
  EXPECT_EQ(Save({a}), bytes);
  BreakCycles(*loaded.graph);
  loaded.graph.reset();
  EXPECT_EQ(GraphNode::alive, 4);
  Release(s);
}

TEST_F(RefGraph, NullAndRepeatedRootsRoundTrip) {
  ReferenceHolder keep(new GraphNode(9));
  GraphLoadResult loaded = LoadReferenceGraph(Save({keep.Get(), nullptr, keep.Get()}));
  ASSERT_TRUE(loaded) << loaded.error;
  ASSERT_EQ(loaded.graph->NumRoots(), 3u);
  EXPECT_NE(loaded.graph->Root(0), nullptr);
  EXPECT_EQ(loaded.graph->Root(1), nullptr);
  EXPECT_EQ(loaded.graph->Root(2), loaded.graph->Root(0));
}

TEST_F(RefGraph, PostLoadCallbacksSeeAttachedReferencesInPriorityOrder) {
  Sample s;
  MakeSample(s);
  s.a->priority = 7;
  s.a->Ref(0)->priority = 2;
  s.a->Ref(1)->priority = 2;
  s.a->Ref(1)->Ref(0)->priority = 0;
  GraphLoadResult loaded = LoadReferenceGraph(Save({s.a}));
  ASSERT_TRUE(loaded) << loaded.error;
  // D first, then B before C (same priority, B was loaded first), then A.
  const std::vector<std::pair<int, bool>> expected = {{4, false}, {2, true}, {3, true}, {1, true}};
  EXPECT_EQ(callbackLog, expected);
  BreakCycles(*loaded.graph);
  Release(s);
}

TEST_F(RefGraph, ObjectsOfUnknownClassesAreKeptAndWrittenBackUnchanged) {
  auto* a = new GraphNode(1, 2);
  auto* b = new GraphNode(2, 0);
  auto* u = new ForeignNode(3, 1);
  ReferenceHolder root(a);
  a->ReplaceReference(0, u);
  a->ReplaceReference(1, b);
  u->ReplaceReference(0, b);
  const std::vector<uint8_t> bytes = Save({a});
  GraphLoadResult loaded = LoadReferenceGraph(bytes);
  ASSERT_TRUE(loaded) << loaded.error;
  auto* a2 = dynamic_cast<GraphNode*>(loaded.graph->Root(0));
  ASSERT_NE(a2, nullptr);
  auto* opaque = dynamic_cast<OpaqueObject*>(a2->GetReference(0));
  ASSERT_NE(opaque, nullptr);
  EXPECT_EQ(opaque->ClassID(), u->ClassID());
  EXPECT_EQ(opaque->SuperClassID(), u->SuperClassID());
  // Its slot still leads to the shared object.
  ASSERT_NE(a2->Ref(1), nullptr);
  EXPECT_EQ(opaque->GetReference(0), a2->Ref(1));
  EXPECT_EQ(a2->Ref(1)->value, 2);
  ASSERT_EQ(loaded.graph->warnings.size(), 1u);
  EXPECT_NE(loaded.graph->warnings[0].find("0x0BADC1A5, 0x00000002"), std::string::npos)
      << loaded.graph->warnings[0];
  // Saving what was loaded gives the same bytes: nothing of the unknown object is lost.
  EXPECT_EQ(Save({a2}), bytes);
  BreakCycles(*loaded.graph);
}

TEST_F(RefGraph, ObjectsNoRootLeadsToAreDropped) {
  // Object 2 references itself and nothing references it.
  GraphSpec g;
  g.nodes = {{.handle = 0, .slots = 1, .refs = {1}},
             {.handle = 1},
             {.handle = 2, .slots = 1, .refs = {2}}};
  GraphLoadResult loaded = LoadReferenceGraph(Build(g));
  ASSERT_TRUE(loaded) << loaded.error;
  EXPECT_EQ(GraphNode::alive, 2);
  ASSERT_EQ(loaded.graph->warnings.size(), 1u);
  EXPECT_NE(loaded.graph->warnings[0].find("not reachable"), std::string::npos);
}

TEST_F(RefGraph, DamagedGraphsAreRefusedAndEverythingIsFreed) {
  struct Case {
    const char* what;
    GraphSpec graph;
    const char* expectedError;
  };
  const NodeSpec plain0{.handle = 0, .priority = 1};
  const NodeSpec plain1{.handle = 1, .priority = 1};
  std::vector<Case> cases = {
      {"unsupported version", {.nodes = {plain0}, .version = 2}, "version"},
      {"huge object count", {.nodes = {plain0}, .count = 0xFFFFFFFFu}, "more than"},
      {"fewer objects than listed", {.nodes = {plain0, plain1}, .count = 3}, "holds 2"},
      {"duplicate handle", {.nodes = {plain0, plain0}}, "used twice"},
      {"handle out of range", {.nodes = {plain0, {.handle = 5}}}, "out of range"},
      {"root out of range", {.nodes = {plain0}, .roots = {3}}, "root handle 3"},
      {"huge root count", {.nodes = {plain0}, .rootCount = 0x40000000u}, "root list"},
      {"slot to a missing handle",
       {.nodes = {{.handle = 0, .slots = 2, .refs = {1, 9}, .priority = 1}, plain1}},
       "not in the graph"},
      {"more slots than the class has",
       {.nodes = {{.handle = 0, .slots = 1, .refs = {1, 1}}, plain1}},
       "its class has 1"},
      {"huge slot count",
       {.nodes = {{.handle = 0, .slots = 1, .refs = {1}, .refCount = 0xFFFFFFF0u}, plain1}},
       "reference list"},
      {"a Load that fails",
       {.nodes = {plain0, {.handle = 1, .flags = kFailLoad}}},
       "could not read"},
      // The cycle 0 <-> 1 is attached before slot 1 of object 1 fails.
      {"failure after a cycle",
       {.nodes = {{.handle = 0, .slots = 1, .refs = {1}, .priority = 1},
                  {.handle = 1, .slots = 2, .refs = {0, 7}, .priority = 1}}},
       "not in the graph"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> bytes = Build(c.graph);
    MemoryLoad in(bytes);
    GraphLoadResult loaded = LoadReferenceGraph(in);
    EXPECT_FALSE(loaded);
    EXPECT_NE(loaded.error.find(c.expectedError), std::string::npos) << loaded.error;
    EXPECT_EQ(GraphNode::alive, 0);
    in.RunPostLoadCallbacks();  // the callbacks of freed objects were dropped
    EXPECT_TRUE(callbackLog.empty());
  }
  EXPECT_FALSE(LoadReferenceGraph(std::span<const uint8_t>()));
}

TEST_F(RefGraph, EveryTruncatedGraphIsRefused) {
  Sample s;
  MakeSample(s);
  std::vector<uint8_t> bytes = Save({s.a});
  for (size_t n = 0; n < bytes.size(); ++n) {
    GraphLoadResult loaded = LoadReferenceGraph(std::span<const uint8_t>(bytes.data(), n));
    EXPECT_FALSE(loaded) << "prefix of " << n << " bytes";
    ASSERT_EQ(GraphNode::alive, 4) << "prefix of " << n << " bytes";
  }
  Release(s);
}

TEST_F(RefGraph, ALoadedGraphNobodyTookFreesItsCyclesWhenDropped) {
  Sample s;
  MakeSample(s);
  ASSERT_EQ(GraphNode::alive, 4);
  {
    GraphLoadResult loaded = LoadReferenceGraph(Save({s.a}));
    ASSERT_TRUE(loaded) << loaded.error;
    EXPECT_EQ(GraphNode::alive, 8);
  }
  EXPECT_EQ(GraphNode::alive, 4);
  // A root someone holds keeps its part of the graph whole.
  ReferenceHolder kept;
  {
    GraphLoadResult loaded = LoadReferenceGraph(Save({s.a}));
    ASSERT_TRUE(loaded) << loaded.error;
    kept.Set(loaded.graph->Root(0));
  }
  EXPECT_EQ(GraphNode::alive, 8);
  auto* a = kept.GetAs<GraphNode>();
  ASSERT_NE(a->Ref(1), nullptr);
  EXPECT_EQ(a->Ref(1)->value, s.a->Ref(1)->value);
  BreakCycles({a});
  kept.Release();
  EXPECT_EQ(GraphNode::alive, 4);
  Release(s);
}

TEST_F(RefGraph, CorruptedGraphsNeverCrashOrLeak) {
  Sample s;
  MakeSample(s);
  s.a->priority = 3;
  const std::vector<uint8_t> original = Save({s.a});
  std::mt19937 rng(77);
  int refused = 0;
  for (int trial = 0; trial < 3000; ++trial) {
    std::vector<uint8_t> bytes = original;
    int flips = 1 + static_cast<int>(rng() % 4);
    for (int f = 0; f < flips; ++f) bytes[rng() % bytes.size()] = static_cast<uint8_t>(rng());
    GraphLoadResult loaded = LoadReferenceGraph(bytes);
    if (loaded) {
      BreakCycles(*loaded.graph);
    } else {
      ++refused;
      EXPECT_FALSE(loaded.error.empty());
    }
    loaded.graph.reset();
    ASSERT_EQ(GraphNode::alive, 4) << "trial " << trial;
  }
  // Most damage hits lengths, handles or class ids and must be noticed.
  EXPECT_GT(refused, 1000);
  Release(s);
}
