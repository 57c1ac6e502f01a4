#include "tarnis/line/frame/edge_data.h"

#include <new>

namespace tarnis {

SegmentType SegmentTypeOfCategory(int category) {
  switch (category) {
    case kCategoryNormal:
      return kSegmentNormal;
    case kCategoryMaterial:
      return kSegmentMaterial;
    case kCategorySmooth:
      return kSegmentSmooth;
    case kCategoryIntersection:
      return kSegmentIntersection;
    default:
      return kSegmentObject;
  }
}

int CategoryOfSegmentType(SegmentType type) {
  switch (type) {
    case kSegmentIntersection:
      return kCategoryIntersection;
    case kSegmentSmooth:
      return kCategorySmooth;
    case kSegmentMaterial:
      return kCategoryMaterial;
    case kSegmentNormal:
      return kCategoryNormal;
    default:
      return kCategoryObject;
  }
}

bool SegmentPool::Add(const EdgeSegment& segment, uint32_t* index) {
  if (size_ >= kMaxSegments) return false;
  if (size_ % kBlockItems == 0) {
    blocks_.push_back(std::unique_ptr<EdgeSegment[]>(new (std::nothrow) EdgeSegment[kBlockItems]));
    if (!blocks_.back()) {
      blocks_.pop_back();
      return false;
    }
  }
  (*this)[size_] = segment;
  *index = size_++;
  return true;
}

}  // namespace tarnis
