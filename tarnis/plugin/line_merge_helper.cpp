#include "tarnis/plugin/line_merge_helper.h"

#include <algorithm>

#include "sdk/hold.h"
#include "sdk/save_load.h"
#include "tarnis/plugin/line_merge_helper_class_desc.h"

namespace tarnis {

namespace {

constexpr uint16_t kRefCountChunk = 0x4000;
constexpr uint16_t kRefMakerChunk = 0x4001;

std::vector<LineMergeHelper*>& helpers() {
  static std::vector<LineMergeHelper*> list;
  return list;
}

// Creation with the mouse: the node sits on the snapped point from the
// press on; the release of that press is the second point and ends it.
class FollowMouseCreate final : public CreateMouseCallBack {
 public:
  CreateMouseResult proc(CreateMouseMessage msg, int point, const Point3& snapped,
                         Matrix3& nodeTM) override {
    if (msg == MOUSE_ABORT) return CREATE_ABORT;
    nodeTM.SetTrans(snapped);
    return msg == MOUSE_POINT && point >= 1 ? CREATE_STOP : CREATE_CONTINUE;
  }
};

}  // namespace

const std::vector<LineMergeHelper*>& LineMergeHelpers() {
  return helpers();
}

PluginClassDesc<LineMergeHelper>* GetLineMergeHelperDesc() {
  return PluginClassDesc<LineMergeHelper>::Get();
}

LineMergeHelper::LineMergeHelper() {
  helpers().push_back(this);
}

LineMergeHelper::~LineMergeHelper() {
  std::vector<LineMergeHelper*>& list = helpers();
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  DeleteAllRefs();
}

void LineMergeHelper::ClearReferences() {
  HoldSuspend suspend;
  DeleteAllRefs();
  refs_.clear();
}

void LineMergeHelper::HoldReferences(std::span<ReferenceTarget* const> targets) {
  HoldSuspend suspend;
  DeleteAllRefs();
  refs_.assign(targets.size(), nullptr);
  for (size_t i = 0; i < targets.size(); ++i) ReplaceReference(static_cast<int>(i), targets[i]);
}

bool LineMergeHelper::HoldsReferences() const {
  return std::any_of(refs_.begin(), refs_.end(), [](ReferenceTarget* t) { return t != nullptr; });
}

std::vector<INode*> LineMergeHelper::Nodes() {
  std::vector<INode*> nodes;
  for (ReferenceMaker* maker : Dependents()) {
    auto* node = dynamic_cast<INode*>(maker);
    if (node && node->GetObjectRef() == this &&
        std::find(nodes.begin(), nodes.end(), node) == nodes.end())
      nodes.push_back(node);
  }
  return nodes;
}

void LineMergeHelper::Draw(INode* node, ViewportDrawing& vd) {
  const bool selected = node && node->Selected();
  vd.SetColor(selected || !node ? Color(1.0f, 1.0f, 1.0f) : node->GetWireColor());
  for (int axis = 0; axis < 3; ++axis) {
    Point3 end;
    end[axis] = size_;
    vd.Segment(-end, end);
  }
}

int LineMergeHelper::Display(TimeValue, INode* node, ViewportDrawing& vd) {
  Draw(node, vd);
  return 0;
}

int LineMergeHelper::HitTest(TimeValue, INode* node, ViewportDrawing& vd) {
  Draw(node, vd);
  return vd.WasHit() ? 1 : 0;
}

void LineMergeHelper::GetLocalBoundBox(TimeValue, INode*, Box3& box) {
  box.Init();
  for (int axis = 0; axis < 3; ++axis) {
    Point3 end;
    end[axis] = size_;
    box += end;
    box += -end;
  }
}

void LineMergeHelper::GetWorldBoundBox(TimeValue t, INode* node, Box3& box) {
  Box3 local;
  GetLocalBoundBox(t, node, local);
  const Matrix3 tm = node ? node->GetObjectTM(t) : Matrix3();
  box.Init();
  for (int i = 0; i < 8; ++i) box += local.Corner(i) * tm;
}

CreateMouseCallBack* LineMergeHelper::GetCreateMouseCallBack() {
  static FollowMouseCreate create;
  return &create;
}

void LineMergeHelper::GetClassName(CStr& s) {
  s = GetLineMergeHelperDesc()->ClassName();
}

ReferenceTarget* LineMergeHelper::GetReference(int i) {
  return i >= 0 && i < NumRefs() ? refs_[static_cast<size_t>(i)] : nullptr;
}

void LineMergeHelper::SetReference(int i, ReferenceTarget* target) {
  if (i >= 0 && i < NumRefs()) refs_[static_cast<size_t>(i)] = target;
}

ReferenceTarget* LineMergeHelper::Clone(RemapDir& remap) {
  auto* copy = new LineMergeHelper;
  BaseClone(this, copy, remap);
  return copy;
}

IOResult LineMergeHelper::Save(ISave* isave) {
  isave->BeginChunk(kRefCountChunk);
  IOResult r = isave->WriteInt(NumRefs());
  isave->EndChunk();
  if (r != IO_OK) return r;
  isave->BeginChunk(kRefMakerChunk);
  isave->EndChunk();
  return IO_OK;
}

IOResult LineMergeHelper::Load(ILoad* iload) {
  IOResult r = IO_OK;
  while ((r = iload->OpenChunk()) == IO_OK) {
    if (iload->CurChunkID() == kRefCountChunk) {
      int32_t n = 0;
      if (iload->ReadInt(n) != IO_OK || n < 0 || n > kMaxSavedRefs) return IO_ERROR;
      ClearReferences();
      refs_.assign(static_cast<size_t>(n), nullptr);
    }
    if (iload->CloseChunk() != IO_OK) return IO_ERROR;
  }
  return r == IO_ERROR ? IO_ERROR : IO_OK;
}

}  // namespace tarnis
