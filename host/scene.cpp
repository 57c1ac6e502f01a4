#include "host/scene.h"

#include <cmath>
#include <functional>
#include <memory>
#include <unordered_set>

#include "sdk/angles.h"
#include "sdk/hold.h"
#include "sdk/ref_graph.h"
#include "sdk/save_load.h"

namespace host {

// ---- RefList ---------------------------------------------------------------

void RefList::Append(ReferenceTarget* t) {
  items_.push_back(nullptr);
  ReplaceReference(Count() - 1, t);
}

void RefList::Remove(int i) {
  if (i < 0 || i >= Count()) return;
  if (!theHold.Holding()) {
    // Nothing to undo: the entry is released and the later ones move down in
    // place. The reference system counts references per maker and target,
    // not per slot, so moved entries need no bookkeeping; removing stays
    // linear in the list however many entries go.
    ReplaceReference(i, nullptr);
    items_.erase(items_.begin() + i);
    return;
  }
  // Shift the later entries down through the reference system so that every
  // slot's undo record stays right, then drop the last slot.
  for (int k = i; k + 1 < Count(); ++k) ReplaceReference(k, items_[static_cast<size_t>(k) + 1]);
  ReplaceReference(Count() - 1, nullptr);
  items_.pop_back();
}

void RefList::Clear() {
  DeleteAllRefs();
  items_.clear();
}

int RefList::IndexOf(ReferenceTarget* t) const {
  for (int i = 0; i < Count(); ++i) {
    if (items_[static_cast<size_t>(i)] == t) return i;
  }
  return -1;
}

ReferenceTarget* RefList::GetReference(int i) {
  return i >= 0 && i < Count() ? items_[static_cast<size_t>(i)] : nullptr;
}

void RefList::SetReference(int i, ReferenceTarget* t) {
  if (i >= 0 && i < Count()) items_[static_cast<size_t>(i)] = t;
}

namespace {
constexpr uint16_t kCountChunk = 0x0100;
// A list is never longer than this when it comes from a file we wrote.
constexpr uint32_t kMaxListLength = 1u << 24;
}  // namespace

IOResult RefList::Save(ISave* isave) {
  isave->BeginChunk(kCountChunk);
  isave->WriteUInt(static_cast<uint32_t>(Count()));
  isave->EndChunk();
  return IO_OK;
}

IOResult RefList::Load(ILoad* iload) {
  IOResult r;
  while ((r = iload->OpenChunk()) == IO_OK) {
    if (iload->CurChunkID() == kCountChunk) {
      uint32_t n = 0;
      if (iload->ReadUInt(n) != IO_OK || n > kMaxListLength) return IO_ERROR;
      Clear();
      items_.assign(n, nullptr);
    }
    if (iload->CloseChunk() != IO_OK) return IO_ERROR;
  }
  return r == IO_END ? IO_OK : IO_ERROR;
}

// ---- HostNode --------------------------------------------------------------

void HostNode::SetName(const char* name) {
  name_ = name ? name : "";
  NotifyDependents(FOREVER, PART_ALL, REFMSG_NODE_NAMECHANGE);
}

RefList* HostNode::Children() {
  if (!children_) ReplaceReference(kChildren, new RefList);
  return children_;
}

int HostNode::NumberOfChildren() {
  return children_ ? children_->Count() : 0;
}

INode* HostNode::GetChildNode(int i) {
  if (!children_ || i < 0 || i >= children_->Count()) return nullptr;
  return dynamic_cast<HostNode*>(children_->Get(i));
}

void HostNode::AttachChild(HostNode* child) {
  if (!child || child == this) return;
  // Keep the child alive while it moves between lists.
  ReferenceHolder keep(child);
  if (child->parent_) child->parent_->DetachChild(child);
  Children()->Append(child);
  child->parent_ = this;
}

void HostNode::DetachChild(HostNode* child) {
  if (!children_ || !child || child->parent_ != this) return;
  child->parent_ = nullptr;
  children_->Remove(children_->IndexOf(child));
}

void HostNode::AdoptChildren() {
  for (int k = 0; children_ && k < children_->Count(); ++k) {
    if (auto* child = dynamic_cast<HostNode*>(children_->Get(k))) child->parent_ = this;
  }
}

void HostNode::SetObject(ReferenceTarget* object) {
  ReplaceReference(kObject, object);
}

Mtl* HostNode::GetMtl() {
  return mtl_;
}

void HostNode::SetMtl(Mtl* mtl) {
  ReplaceReference(kMaterial, mtl);
}

void HostNode::SetPositionController(Control* c) {
  ReplaceReference(kPosition, c);
}
void HostNode::SetRotationController(Control* c) {
  ReplaceReference(kRotation, c);
}
void HostNode::SetScaleController(Control* c) {
  ReplaceReference(kScale, c);
}
void HostNode::SetVisibilityController(Control* c) {
  ReplaceReference(kVisibility, c);
}

namespace {

Point3 evalPoint3(Control* c, const Point3& fallback, TimeValue t, Interval& valid) {
  if (!c) return fallback;
  Point3 v;
  c->GetValue(t, v, valid);
  return v;
}

}  // namespace

Matrix3 HostNode::GetNodeTM(TimeValue t, Interval* valid) {
  Interval iv = FOREVER;
  Matrix3 local;
  if (!root_) {
    Point3 pos = evalPoint3(controllers_[0], position, t, iv);
    Point3 rot = evalPoint3(controllers_[1], rotationDegrees, t, iv);
    Point3 scl = evalPoint3(controllers_[2], scale, t, iv);
    if (target) {
      local = ScaleMatrix(scl) * LookAtMatrix(pos, *target, up);
    } else {
      local = ScaleMatrix(scl) * RotateXMatrix(rot.x * kDegToRad) *
              RotateYMatrix(rot.y * kDegToRad) * RotateZMatrix(rot.z * kDegToRad) *
              TranslationMatrix(pos);
    }
  }
  Matrix3 tm = parent_ ? local * parent_->GetNodeTM(t, &iv) : local;
  if (valid) *valid &= iv;
  return tm;
}

Matrix3 HostNode::GetObjectTM(TimeValue t, Interval* valid) {
  return GetNodeTM(t, valid);
}

Mesh* HostNode::GetMesh(TimeValue) {
  auto* geom = dynamic_cast<GeomObject*>(object_);
  return geom ? &geom->mesh : nullptr;
}

float HostNode::GetVisibility(TimeValue t) {
  if (!controllers_[3]) return visibility;
  float v = visibility;
  Interval iv = FOREVER;
  controllers_[3]->GetValue(t, v, iv);
  return v;
}

ReferenceTarget* HostNode::GetReference(int i) {
  switch (i) {
    case kObject:
      return object_;
    case kMaterial:
      return mtl_;
    case kPosition:
    case kRotation:
    case kScale:
    case kVisibility:
      return controllers_[i - kPosition];
    case kChildren:
      return children_;
    default:
      return nullptr;
  }
}

void HostNode::SetReference(int i, ReferenceTarget* t) {
  switch (i) {
    case kObject:
      object_ = t;
      break;
    case kMaterial:
      mtl_ = dynamic_cast<Mtl*>(t);
      break;
    case kPosition:
    case kRotation:
    case kScale:
    case kVisibility:
      controllers_[i - kPosition] = dynamic_cast<Control*>(t);
      break;
    case kChildren:
      children_ = dynamic_cast<RefList*>(t);
      AdoptChildren();
      break;
    default:
      break;
  }
}

// ---- Scene -----------------------------------------------------------------

Scene::Scene() {
  auto* root = new HostNode("Scene Root");
  root->MarkRoot();
  rootHolder_.Set(root);
  effects_ = new RefList;
  elements_ = new RefList;
  library_ = new RefList;
  effectsHolder_.Set(effects_);
  elementsHolder_.Set(elements_);
  libraryHolder_.Set(library_);
}

Scene::~Scene() {
  // Objects of a scene may reference each other in cycles (a material with a
  // node parameter that names the node wearing it); what only the scene kept
  // goes with it, while what something outside still holds stays whole.
  ReferenceTarget* roots[] = {rootHolder_.Get(), effects_, elements_, library_};
  ReferenceMaker* owners[] = {&rootHolder_, &effectsHolder_, &elementsHolder_, &libraryHolder_};
  ReleaseGraph(roots, owners);
}

void Scene::Adopt(HostNode* root, RefList* effects, RefList* elements, RefList* library) {
  rootHolder_.Set(root);
  effects_ = effects, elements_ = elements, library_ = library;
  effectsHolder_.Set(effects);
  elementsHolder_.Set(elements);
  libraryHolder_.Set(library);
}

HostNode* Scene::Root() const {
  return static_cast<HostNode*>(rootHolder_.Get());
}

HostNode* Scene::CreateNode(const std::string& name, HostNode* parent) {
  auto* node = new HostNode(name);
  (parent ? parent : Root())->AttachChild(node);
  return node;
}

std::vector<HostNode*> Scene::AllNodes() const {
  std::vector<HostNode*> out;
  std::function<void(HostNode*)> walk = [&](HostNode* n) {
    for (int i = 0; i < n->NumberOfChildren(); ++i) {
      auto* child = static_cast<HostNode*>(n->GetChildNode(i));
      if (!child) continue;
      out.push_back(child);
      walk(child);
    }
  };
  walk(Root());
  return out;
}

bool Scene::Contains(INode* node) const {
  // A sound tree is never deeper than it has nodes; the bound stops a loop.
  const size_t bound = AllNodes().size();
  for (size_t depth = 0; node && depth <= bound; ++depth) {
    if (node == Root()) return true;
    node = node->GetParentNode();
  }
  return false;
}

bool Scene::DeleteNode(HostNode* node) {
  if (!node || node->IsRootNode() || !Contains(node)) return false;
  auto* parent = static_cast<HostNode*>(node->GetParentNode());
  ReferenceHolder keep(node);
  while (node->NumberOfChildren() > 0) {
    parent->AttachChild(static_cast<HostNode*>(node->GetChildNode(0)));
  }
  if (cameraNode == node) cameraNode = nullptr;
  parent->DetachChild(node);
  node->DeleteMe();
  return true;
}

HostNode* Scene::FindNode(const std::string& name) const {
  for (HostNode* n : AllNodes()) {
    if (name == n->GetName()) return n;
  }
  return nullptr;
}

}  // namespace host
