#include "tarnis/line/frame/line_instance.h"

namespace tarnis {

int StrokeSelectInstance::SlotOfFace(int face) const {
  if (slotCount <= 0 || !mesh) return 0;
  return mesh->faces[static_cast<size_t>(face)].matID % slotCount;
}

const LineSetRecord* StrokeSelectInstance::RecordOfFace(int face) const {
  if (slotCount <= 0 || slotRecords.empty()) return &defaultRecord;
  return slotRecords[static_cast<size_t>(SlotOfFace(face))];
}

void DetectAndISectInstance::ReleaseDetectionData() {
  faceFlags = {};
  screenVerts = {};
  camVerts = {};
  occluderClusters = {};
  occluderFaces = {};
  occluderBoxes = {};
  faceFlagsTable = screenVertsTable = occludersTable = TableState::kNotBuilt;
  slotRecords.clear();
  extraRecords.clear();
  defaultRecord = LineSetRecord();
}

}  // namespace tarnis
