// The line engine's record of one render instance for one frame, in three
// layers: StrokeSelectInstance (which line set, and so which jobs, each
// material slot belongs to), UVWInstance (the mapping channels the line maps
// need) and DetectAndISectInstance (projection, face classification and the
// faces that can hide lines). Gathering fills the first two layers; the
// tables of the last are built lazily by detection, at most once per frame
// each (detect/instance_tables.h).
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <deque>
#include <unordered_map>
#include <vector>

#include "sdk/boxes.h"
#include "sdk/matrix3.h"
#include "sdk/mesh.h"
#include "sdk/render.h"
#include "tarnis/line/frame/edge_data.h"
#include "tarnis/line/frame/frame_view.h"

class INode;
class Mtl;

namespace tarnis {

class LineSet;

// Face flag bits.
inline constexpr uint8_t kFaceNearMask = 0x03;  // vertices nearer than the near limit
inline constexpr uint8_t kFaceBack = 0x04;      // back-facing
inline constexpr uint8_t kFaceTwoSided = 0x08;  // its material is two-sided
inline constexpr uint8_t kFaceExHidden = 0x10;  // its line set hides lines of other sets
inline constexpr uint8_t kFaceNoHide = 0x20;    // never hides lines
inline constexpr uint8_t kFaceNoEdges = 0x40;   // gives no edges

// What the engine reads of a line set once per frame.
struct LineSetFrame {
  LineSet* set = nullptr;
  int index = -1;
  int priority = 0;  // list length - index: the first set has the highest
  bool enabled = false;
  bool exHidden = false;
  // Edge thresholds of the visible (0) and hidden (1) settings.
  bool wire[2] = {false, false};
  float cosMax = 1.0f, cosMin = -1.0f;  // the angle range over both visibilities
  bool outlineOnly[2] = {false, false};
  // The set's job container per visibility and category; null without a job.
  EdgeContainer* containers[2][kNumCategories] = {};
  bool needsMapping = false;  // some job of the set evaluates maps along lines
};

// One material slot's line set and the containers its edges go to.
struct LineSetRecord {
  LineSet* lineSet = nullptr;
  const LineSetFrame* frame = nullptr;  // null when the slot has no line set
  EdgeContainer* containers[2][kNumCategories] = {};

  int Priority() const { return frame ? frame->priority : 0; }
  bool HasContainer(int category) const {
    return containers[0][category - 1] || containers[1][category - 1];
  }
};

class StrokeSelectInstance {
 public:
  virtual ~StrokeSelectInstance() = default;

  // The slot of a face: its material id modulo the slot count (0 without slots).
  int SlotOfFace(int face) const;
  const LineSetRecord* RecordOfFace(int face) const;

  std::vector<LineSetRecord*> slotRecords;  // per material slot
  int slotCount = 0;
  bool categoryUsed[kNumCategories] = {};
  bool needsEdges = false;          // some of categories 1..4 is drawn
  bool needsIntersections = false;  // category 5 is drawn
  RenderInstance* renderInstance = nullptr;
  Mesh* mesh = nullptr;  // null: the record is empty and every stage skips it
  LineSetRecord defaultRecord;
  std::deque<LineSetRecord> extraRecords;
};

class UVWInstance : public StrokeSelectInstance {
 public:
  inline static constexpr int kNormalChannel = 100;

  // The slot of a channel among the retained ones, -1 when not retained.
  int ChannelSlot(int channel) const {
    return channel >= 0 && channel <= kNormalChannel ? channelSlot[channel] : -1;
  }

  std::bitset<kNormalChannel + 1> channelSet;
  int channelCount = 0;
  std::array<int, kNormalChannel + 1> channelSlot{};
  Matrix3 objToCam, camToObj;
  uint32_t instanceFlags = 0;
};

// Faces grouped 32 at a time (in mesh order, among the faces that can hide
// lines) with their boxes.
struct OccluderCluster {
  int firstFace = 0;  // index into DetectAndISectInstance::occluderFaces
  int faceCount = 0;
  Box3 camBox;
  Box2 screenBox;
};

// Where a lazily built table stands.
enum class TableState : uint8_t { kNotBuilt, kBuilt, kFailed };

class DetectAndISectInstance : public UVWInstance {
 public:
  inline static constexpr int kClusterSize = 32;

  bool Empty() const { return mesh == nullptr; }
  // Whether each lazy table was built (and its build succeeded).
  bool HasFaceFlags() const { return faceFlagsTable == TableState::kBuilt; }
  bool HasScreenVerts() const { return screenVertsTable == TableState::kBuilt; }
  bool HasOccluders() const { return occludersTable == TableState::kBuilt; }
  // Frees what only detection needs; the tables count as not built again.
  void ReleaseDetectionData();

  const Point3& CamVert(uint32_t i) const { return camVerts[i]; }

  Box2 screenBox;
  Box3 worldBox;
  std::vector<uint8_t> faceFlags;
  std::vector<Point2> screenVerts;
  std::vector<Point3> camVerts;  // camera-space vertices, read once from the render instance
  std::vector<OccluderCluster> occluderClusters;
  std::vector<int> occluderFaces;   // the faces that can hide lines, in mesh order
  std::vector<Box3> occluderBoxes;  // camera-space box of each of those faces
  Box3 occluderBox;                 // of all of them
  bool negativeParity = false;
  TableState faceFlagsTable = TableState::kNotBuilt;
  TableState screenVertsTable = TableState::kNotBuilt;
  TableState occludersTable = TableState::kNotBuilt;
  const FrameView* view = nullptr;
  int index = -1;  // render-instance index
};

// The effect's line sets for one frame: their frame records in list order,
// the first set listing each node and each material, and the mapping
// channels each set's maps need.
struct LineSetLookup {
  std::vector<LineSetFrame> sets;
  std::unordered_map<INode*, int> nodeSet;  // listed node -> first set listing it
  std::unordered_map<Mtl*, int> mtlSet;     // listed material -> first set listing it
  std::vector<std::vector<int>> channelsOfSet;
};

}  // namespace tarnis
