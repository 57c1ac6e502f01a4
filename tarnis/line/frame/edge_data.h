// What edge detection produces for the drawing half: edge segments (a
// detected edge after clipping, on the screen and in depth) kept in the
// frame's segment pool, and edge pieces (the part of a segment between two
// sample boundaries that is all visible or all hidden) filed into the jobs'
// containers. A piece names its segment by a 32-bit id whose top three bits
// carry the kind of edge it was filed as and whose low 29 bits are the
// segment's running index in the frame.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "sdk/points.h"

namespace tarnis {

// Edge categories, numbered 1..5 everywhere (container index = category - 1).
enum EdgeCategory : int {
  kCategoryObject = 1,
  kCategoryNormal = 2,
  kCategoryMaterial = 3,
  kCategorySmooth = 4,
  kCategoryIntersection = 5,
};
inline constexpr int kNumCategories = 5;

// Candidate-edge flag bits of each category.
inline constexpr uint32_t kFlagObject = 0x08;
inline constexpr uint32_t kFlagNormal = 0x10;
inline constexpr uint32_t kFlagSmooth = 0x20;
inline constexpr uint32_t kFlagMaterial = 0x40;
inline constexpr uint32_t kFlagIntersection = 0x80;

// Segment type codes (top three bits of a segment id).
enum SegmentType : uint32_t {
  kSegmentObject = 0,
  kSegmentIntersection = 1,
  kSegmentSmooth = 2,
  kSegmentMaterial = 3,
  kSegmentNormal = 4,
};

inline constexpr uint32_t kSegmentIndexBits = 29;
inline constexpr uint32_t kMaxSegments = 1u << kSegmentIndexBits;

inline constexpr uint32_t MakeSegmentId(SegmentType type, uint32_t index) {
  return (static_cast<uint32_t>(type) << kSegmentIndexBits) | (index & (kMaxSegments - 1));
}
inline constexpr uint32_t SegmentIndex(uint32_t id) {
  return id & (kMaxSegments - 1);
}
inline constexpr SegmentType SegmentTypeOf(uint32_t id) {
  return static_cast<SegmentType>(id >> kSegmentIndexBits);
}
SegmentType SegmentTypeOfCategory(int category);
int CategoryOfSegmentType(SegmentType type);

struct EdgeSegment {
  Point2 start;          // screen point of the start (pixels)
  Point2 direction;      // unit screen direction
  float length = 0;      // screen length (pixels)
  float z0 = 0, z1 = 0;  // camera-space depth of both ends
  int instance = -1;     // render-instance index of the owner
  int face = -1;         // owning face (the first face for intersections)
  int mapSample = -1;    // mapping data of the segment, -1 when none is needed

  Point2 End() const { return start + direction * length; }
  Point2 At(float t) const { return start + direction * (length * t); }
};

// 12 bytes: a segment id and the stretch t0..t1 (0..1) of it.
struct EdgePiece {
  uint32_t segment = 0;
  float t0 = 0, t1 = 0;
  bool operator==(const EdgePiece&) const = default;
};
static_assert(sizeof(EdgePiece) == 12);

using EdgeContainer = std::vector<EdgePiece>;

// Appends a piece unless it repeats the container's last one.
inline void FilePiece(EdgeContainer& container, const EdgePiece& piece) {
  if (!container.empty() && container.back() == piece) return;
  container.push_back(piece);
}

// The frame's segments, in blocks of 40960 so that addresses stay put while
// the pool grows and the whole frame is released at once.
class SegmentPool {
 public:
  static constexpr size_t kBlockItems = 40960;
  // Appends and answers the running index; false when the pool is full.
  bool Add(const EdgeSegment& segment, uint32_t* index);
  const EdgeSegment& operator[](uint32_t index) const {
    return blocks_[index / kBlockItems][index % kBlockItems];
  }
  EdgeSegment& operator[](uint32_t index) {
    return blocks_[index / kBlockItems][index % kBlockItems];
  }
  uint32_t size() const { return size_; }
  void Clear() {
    blocks_.clear();
    size_ = 0;
  }

 private:
  std::vector<std::unique_ptr<EdgeSegment[]>> blocks_;
  uint32_t size_ = 0;
};

// Mapping data of segments (coordinates of the line maps' channels and the
// surface normal at both ends), for maps evaluated along lines.
struct SegmentMapping {
  std::vector<Point3> start, end;  // per retained channel of the instance
  int instance = -1;
};

}  // namespace tarnis
