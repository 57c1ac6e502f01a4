// The reference-graph writer and reader every host shares. The writer gives
// each object reachable from the roots through reference slots a handle and
// saves it once, with its class, its own data and its slots as handles; the
// reader makes the objects again through the class directory and reconnects
// the slots, so sharing and cycles survive a round trip.
//
// Layout (all inside one graph chunk, see the k*Chunk constants):
//   header chunk: version, object count, root count, root handles
//   per object, in handle order, an object chunk holding
//     class chunk: superclass, class id (two words), handle
//     data chunk:  whatever the object's Save wrote
//     refs chunk:  slot count, one handle per slot (ISave::kNoHandle for null)
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sdk/reference.h"
#include "sdk/save_load.h"

inline constexpr uint16_t kReferenceGraphChunk = 0x4752;  // "RG"
inline constexpr uint16_t kGraphHeaderChunk = 0x0001;
inline constexpr uint16_t kGraphObjectChunk = 0x0010;
inline constexpr uint16_t kGraphClassChunk = 0x0011;
inline constexpr uint16_t kGraphDataChunk = 0x0012;
inline constexpr uint16_t kGraphRefsChunk = 0x0013;
inline constexpr uint32_t kReferenceGraphVersion = 1;

// Writes the graph reachable from `roots` (null roots allowed) as one graph
// chunk at the current level of `out`. Handles are given breadth-first from
// the roots in order, slots in index order, so equal graphs give equal bytes;
// they are in `out` (GetRefID) before any object's Save runs. Answers false,
// with the reason in `error`, when an object's Save answers IO_ERROR; the
// chunks are closed either way, but the bytes are then not a usable graph.
// An object's Save must close every chunk it begins (contract).
bool SaveReferenceGraph(MemorySave& out, std::span<ReferenceTarget* const> roots,
                        std::string* error = nullptr);

// A graph read back: the roots, each kept alive by its holder for as long as
// the LoadedGraph (or whoever takes the holders) lives. As always, objects
// that reference each other in a cycle stay alive until the cycle is broken.
struct LoadedGraph {
  LoadedGraph() = default;
  LoadedGraph(LoadedGraph&&) = default;
  LoadedGraph& operator=(LoadedGraph&&) = default;
  // Objects that only the graph still holds go, cycles among them included.
  ~LoadedGraph();

  std::vector<std::unique_ptr<ReferenceHolder>> roots;
  // Messages about data that was skipped (unknown classes and the like).
  std::vector<std::string> warnings;

  size_t NumRoots() const { return roots.size(); }
  // Root i (null when it was saved null or its class is unknown).
  ReferenceTarget* Root(size_t i) const { return roots[i]->Get(); }
};

// Frees what only `owners` keep of the graph reachable from `roots`, also
// when its objects reference each other in cycles: every reference between
// such objects is cut. Objects that something else references (another
// scene, an undo record), and what they lead to, are left whole.
void ReleaseGraph(std::span<ReferenceTarget* const> roots,
                  std::span<ReferenceMaker* const> owners);

// The graph, or why it could not be read.
struct GraphLoadResult {
  std::optional<LoadedGraph> graph;
  std::string error;  // empty when graph is set

  explicit operator bool() const { return graph.has_value(); }
};

// Reads one graph chunk at the current level of `in`. Objects are made with
// GetClassDirectory().CreateInstance(superclass, class id, true), whose
// Create must answer the new object as a ReferenceTarget* (converted to
// void*). Each object's Load runs inside its data chunk with the objects of
// earlier object chunks already known by handle; after every object exists,
// the slots are attached with ReplaceReference, then the post-load callbacks
// run, then objects no root leads to are dropped (with a warning). Undo
// recording is suspended throughout.
//
// An object of an unknown class is kept as an OpaqueObject (its data and
// slots as saved, written back unchanged) with a warning naming its class ids. Damaged data (a bad chunk, a
// duplicate or out-of-range handle, a slot pointing at a handle not in the
// graph, more slots than the class has, a Load answering IO_ERROR, an object
// count the chunk cannot hold) is an error: everything made so far is freed,
// the registered post-load callbacks are dropped, and the result carries the
// reason. Either way `in` forgets its handles when this returns.
GraphLoadResult LoadReferenceGraph(MemoryLoad& in);
// The same over a whole buffer holding one graph chunk.
GraphLoadResult LoadReferenceGraph(std::span<const uint8_t> bytes);
