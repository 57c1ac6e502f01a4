// Building the render instances and the projection of a view.
#include "host/render_context.h"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <unordered_set>

#include "sdk/angles.h"
#include "sdk/mesh.h"
#include "sdk/mtl.h"

namespace host {

namespace {

// Transforms every point; large meshes are split over the render threads.
void transformPoints(const std::vector<Point3>& in, const Matrix3& tm, std::vector<Point3>& out) {
  out.resize(in.size());
  tbb::parallel_for(tbb::blocked_range<size_t>(0, in.size(), 16384),
                    [&](const tbb::blocked_range<size_t>& r) {
                      for (size_t i = r.begin(); i != r.end(); ++i) out[i] = in[i] * tm;
                    });
}

// The camera's frame without scale: views are rigid so that ray parameters
// are distances.
Matrix3 rigidFrame(const Matrix3& tm) {
  Point3 x = Normalize(tm.GetRow(0));
  Point3 z = Normalize(x % tm.GetRow(1));
  Point3 y = z % x;
  if (x.LengthSquared() == 0.0f || z.LengthSquared() == 0.0f)
    return TranslationMatrix(tm.GetTrans());
  return Matrix3(x, y, z, tm.GetTrans());
}

}  // namespace

// ---- HostRenderInstance ----------------------------------------------------

HostRenderInstance::HostRenderInstance(std::shared_ptr<InstanceData> data,
                                       const Matrix3& worldToCam)
    : data_(std::move(data)) {
  flags = data_->flags;
  vis = data_->vis;
  objToWorld = data_->objToWorld;
  obBox = data_->obBox;
  objToCam = objToWorld * worldToCam;
  camToObj = Inverse(objToCam);
  normalObjToCam = NormalMatrix(objToCam);
  normalCamToObj = NormalMatrix(camToObj);
  transformPoints(data_->worldVerts, worldToCam, camVerts_);
  camBox = Box3();
  for (const Point3& p : camVerts_) camBox += p;
  center = camBox.Center();
  radsq = 0.0f;
  for (const Point3& p : camVerts_) radsq = std::max(radsq, (p - center).LengthSquared());
}

Mtl* HostRenderInstance::GetMtl(int faceNum) {
  Mtl* mtl = data_->mtl;
  if (!mtl || !mtl->IsMultiMtl()) return mtl;
  int n = mtl->NumSubMtls();
  if (n <= 0 || faceNum < 0 || faceNum >= data_->mesh->getNumFaces()) return nullptr;
  return mtl->GetSubMtl(data_->mesh->faces[static_cast<size_t>(faceNum)].matID % n);
}

RayGeometry HostRenderInstance::Geometry() const {
  RayGeometry g;
  g.worldVerts = &data_->worldVerts;
  g.faces = &data_->mesh->faces;
  g.faceTwoSided = &data_->faceTwoSided;
  g.negParity = (data_->flags & INST_TM_NEGPARITY) != 0;
  g.primaryVisible = data_->primaryVisible;
  g.secondaryVisible = data_->secondaryVisible;
  return g;
}

// ---- Views -----------------------------------------------------------------

ViewSetup CameraView(HostNode* cameraNode, const CameraObject& camera, TimeValue t, int width,
                     int height, float pixelAspect) {
  ViewSetup v;
  v.width = width;
  v.height = height;
  v.pixelAspect = pixelAspect;
  v.projType = camera.type == CameraObject::Type::kOrthographic ? PROJ_PARALLEL : PROJ_PERSPECTIVE;
  v.fov = std::clamp(camera.fovDegrees, 0.01f, 179.0f) * kDegToRad;
  v.viewWidth = camera.width > 0.0f ? camera.width : 1.0f;
  v.hither = std::max(camera.nearClip, 0.0f);
  v.yon = camera.farClip > v.hither ? camera.farClip : 1e30f;
  Matrix3 camToWorld = rigidFrame(cameraNode->GetNodeTM(t));
  v.worldToCam = Inverse(camToWorld);
  if (cameraNode->target) v.distance = (*cameraNode->target - cameraNode->position).Length();
  return v;
}

ViewSetup SubView(const ViewParams& vp, int width, int height, float pixelAspect) {
  ViewSetup v;
  v.width = std::max(width, 1);
  v.height = std::max(height, 1);
  v.pixelAspect = pixelAspect > 0.0f ? pixelAspect : 1.0f;
  v.projType = vp.projType;
  v.fov = std::clamp(vp.fov, 1e-4f, 3.1f);
  v.viewWidth = vp.zoom > 0.0f ? vp.zoom : 1.0f;
  v.hither = std::max(vp.hither, 0.0f);
  v.yon = vp.yon > v.hither ? vp.yon : 1e30f;
  v.distance = vp.distance;
  v.worldToCam = Inverse(rigidFrame(Inverse(vp.affineTM)));
  return v;
}

// ---- HostRenderGlobalContext -----------------------------------------------

void HostRenderGlobalContext::SetView(const ViewSetup& v) {
  view_ = v;
  devWidth = v.width;
  devHeight = v.height;
  devAspect = v.pixelAspect;
  xc = 0.5f * static_cast<float>(v.width);
  yc = 0.5f * static_cast<float>(v.height);
  projType = v.projType;
  if (v.projType == PROJ_PARALLEL) {
    xscale = static_cast<float>(v.width) / v.viewWidth;
  } else {
    xscale = -0.5f * static_cast<float>(v.width) / std::tan(0.5f * v.fov);
  }
  yscale = -xscale * v.pixelAspect;
  worldToCam = v.worldToCam;
  camToWorld = Inverse(v.worldToCam);
  nearRange = v.hither;
  farRange = v.yon;
  viewParams_.affineTM = viewParams_.prevAffineTM = v.worldToCam;
  viewParams_.projType = v.projType;
  viewParams_.hither = viewParams_.nearRange = v.hither;
  viewParams_.yon = viewParams_.farRange = v.yon;
  viewParams_.distance = v.distance;
  viewParams_.zoom = v.projType == PROJ_PARALLEL ? v.viewWidth : 1.0f;
  viewParams_.fov = v.fov;
}

// True when the camera-space box lies wholly outside the view volume.
static bool outsideView(const RenderGlobalContext& gc, const Box3& b) {
  if (b.IsEmpty()) return true;
  if (b.pmin.z > -gc.nearRange || b.pmax.z < -gc.farRange) return true;
  float halfW = 0.5f * static_cast<float>(gc.devWidth),
        halfH = 0.5f * static_cast<float>(gc.devHeight);
  if (gc.projType == PROJ_PARALLEL) {
    float wx = halfW / std::fabs(gc.xscale), wy = halfH / std::fabs(gc.yscale);
    return b.pmin.x > wx || b.pmax.x < -wx || b.pmin.y > wy || b.pmax.y < -wy;
  }
  // Side planes through the eye, normals pointing out of the view.
  float tx = halfW / std::fabs(gc.xscale), ty = halfH / std::fabs(gc.yscale);
  const Point3 planes[4] = {
      {1.0f, 0.0f, tx}, {-1.0f, 0.0f, tx}, {0.0f, 1.0f, ty}, {0.0f, -1.0f, ty}};
  for (const Point3& n : planes) {
    bool allOut = true;
    for (int c = 0; c < 8 && allOut; ++c) allOut = DotProd(n, b.Corner(c)) > 0.0f;
    if (allOut) return true;
  }
  return false;
}

void HostRenderGlobalContext::PlaceInstance(HostRenderInstance& inst) const {
  inst.flags &= ~INST_CLIP;
  if (outsideView(*this, inst.camBox)) inst.flags |= INST_CLIP;
}

std::unique_ptr<HostRenderGlobalContext> HostRenderGlobalContext::BuildFrame(
    const std::vector<HostNode*>& nodes, TimeValue t, const ViewSetup& view, Mtl* mtlOverride,
    std::vector<std::string>* warnings) {
  auto ctx = std::make_unique<HostRenderGlobalContext>();
  ctx->SetView(view);
  ctx->time = t;
  std::unordered_set<Mesh*> normalsBuilt;
  for (HostNode* node : nodes) {
    Mesh* mesh = node->GetMesh(t);
    if (!mesh) continue;
    std::string why;
    if (!mesh->Validate(&why)) {
      if (warnings) warnings->push_back("node '" + std::string(node->GetName()) + "': " + why);
      continue;
    }
    if (normalsBuilt.insert(mesh).second) mesh->buildNormals();
    auto data = std::make_shared<InstanceData>();
    data->node = node;
    data->mesh = mesh;
    data->mtl = mtlOverride ? mtlOverride : node->GetMtl();
    data->id = static_cast<int>(ctx->instances_.size());
    float visibility = node->GetVisibility(t);
    data->vis = std::clamp(visibility, 0.0f, 1.0f);
    data->flags = INST_RCV_SHADOWS;
    if (!node->Renderable() || !(visibility > 0.0f)) data->flags |= INST_HIDE;
    data->primaryVisible = node->GetPrimaryVisibility();
    data->secondaryVisible = node->GetSecondaryVisibility();
    data->objToWorld = node->GetObjectTM(t);
    if (data->objToWorld.Parity()) data->flags |= INST_TM_NEGPARITY;
    data->obBox = mesh->getBoundingBox();
    transformPoints(mesh->verts, data->objToWorld, data->worldVerts);
    auto inst = std::make_unique<HostRenderInstance>(std::move(data), ctx->worldToCam);
    ctx->PlaceInstance(*inst);
    ctx->instances_.push_back(std::move(inst));
  }
  return ctx;
}

void HostRenderGlobalContext::ResolveMaterials() {
  for (auto& inst : instances_) {
    InstanceData& d = *inst->data_;
    const std::vector<Face>& faces = d.mesh->faces;
    d.faceTwoSided.assign(faces.size(), force2Side ? 1 : 0);
    if (force2Side) continue;
    // Requirements may differ by material id, never within one id.
    std::unordered_map<uint16_t, uint8_t> byId;
    int lastId = -1;
    uint8_t last = 0;
    for (size_t f = 0; f < faces.size(); ++f) {
      uint16_t id = faces[f].matID;
      if (id != lastId) {
        auto it = byId.find(id);
        if (it == byId.end()) {
          Mtl* mtl = inst->GetMtl(static_cast<int>(f));
          uint8_t twoSided = mtl && (mtl->Requirements(id) & MTLREQ_2SIDE) ? 1 : 0;
          it = byId.emplace(id, twoSided).first;
        }
        lastId = id, last = it->second;
      }
      d.faceTwoSided[f] = last;
    }
  }
}

void HostRenderGlobalContext::SetLights(std::shared_ptr<const std::vector<LightSource>> sources,
                                        const RayScene* rays) {
  lightSources_ = std::move(sources);
  lights_.clear();
  if (!lightSources_) return;
  for (const LightSource& s : *lightSources_) lights_.push_back(MakeHostLight(s, camToWorld, rays));
}

std::unique_ptr<HostRenderGlobalContext> HostRenderGlobalContext::MakeSubView(
    const ViewSetup& view) const {
  auto ctx = std::make_unique<HostRenderGlobalContext>();
  ctx->SetView(view);
  ctx->time = time;
  ctx->inMtlEdit = inMtlEdit;
  ctx->globalLightLevel = globalLightLevel;
  ctx->force2Side = force2Side;
  ctx->antialias = antialias;
  ctx->ambient = ambient;
  for (const auto& inst : instances_) {
    auto copy = std::make_unique<HostRenderInstance>(inst->data_, ctx->worldToCam);
    ctx->PlaceInstance(*copy);
    ctx->instances_.push_back(std::move(copy));
  }
  return ctx;
}

RenderInstance* HostRenderGlobalContext::GetRenderInstance(int i) {
  return i >= 0 && i < NumRenderInstances() ? instances_[static_cast<size_t>(i)].get() : nullptr;
}

IRenderElement* HostRenderGlobalContext::GetRenderElement(int i) {
  return i >= 0 && i < NRenderElements() ? elements_[static_cast<size_t>(i)] : nullptr;
}

LightDesc* HostRenderGlobalContext::SceneLight(int i) {
  return i >= 0 && i < NumLights() ? Light(i) : nullptr;
}

Ray HostRenderGlobalContext::CameraRay(float sx, float sy) const {
  if (projType == PROJ_PARALLEL)
    return {Point3((sx - xc) / xscale, (sy - yc) / yscale, 0.0f), Point3(0.0f, 0.0f, -1.0f)};
  // Inverse of MapToScreen on the plane z = -1.
  return {Point3(), Point3(-(sx - xc) / xscale, -(sy - yc) / yscale, -1.0f)};
}

}  // namespace host
