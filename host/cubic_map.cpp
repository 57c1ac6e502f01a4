// StdCubic: the block and class descriptor, the face frames, building cubes
// through RenderMapsContext and looking them up.
#include "host/cubic_map.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <vector>

#include "sdk/angles.h"
#include "sdk/inode.h"
#include "sdk/mesh.h"

namespace host {
namespace {

class StdCubicClassDesc : public ClassDesc2 {
 public:
  int IsPublic() override { return 1; }
  void* Create(bool loading) override {
    return static_cast<ReferenceTarget*>(new StdCubic(loading));
  }
  const char* ClassName() override { return "Reflect/Refract"; }
  const char* InternalName() override { return "Reflect/Refract"; }
  SClass_ID SuperClassID() override { return TEXMAP_CLASS_ID; }
  Class_ID ClassID() override { return kStdCubicClassID; }
  const char* Category() override { return "Maps"; }
};

StdCubicClassDesc& TheDesc() {
  static StdCubicClassDesc desc;
  return desc;
}

ParamBlockDesc2& MainBlock() {
  static ParamBlockDesc2 desc{
      {.id = 0,
       .internalName = "main",
       .classDesc = &TheDesc(),
       .ownerRef = 0,
       .flags = P_AUTO_CONSTRUCT},
      {
          {.id = kCbSize, .internalName = "size", .type = TYPE_INT, .def = 256, .range = {8, 4096}},
          {.id = kCbBlur, .internalName = "blur", .type = TYPE_INT, .def = 0, .range = {0, 64}},
          {.id = kCbRefract, .internalName = "refract", .type = TYPE_BOOL, .def = false},
          {.id = kCbNthFrame,
           .internalName = "nthFrame",
           .type = TYPE_INT,
           .def = 1,
           .range = {1, 100000}},
      }};
  return desc;
}

// Per face: view direction and up direction (world).
struct FaceAxes {
  Point3 forward, up;
};
constexpr FaceAxes kFaces[6] = {
    {{1, 0, 0}, {0, 0, 1}},  {{-1, 0, 0}, {0, 0, 1}}, {{0, 1, 0}, {0, 0, 1}},
    {{0, -1, 0}, {0, 0, 1}}, {{0, 0, 1}, {0, 1, 0}},  {{0, 0, -1}, {0, 1, 0}},
};

int FloorDiv(int a, int b) {
  int q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// Separable box blur of radius r, edges clamped.
void BoxBlur(Bitmap& bm, int r) {
  const int w = bm.Width(), h = bm.Height();
  std::vector<AColor> src(static_cast<size_t>(w) * h), tmp(src.size());
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x)
      src[static_cast<size_t>(y) * w + x] = FromColor64(bm.GetPixel(x, y));
  }
  auto pass = [r](const std::vector<AColor>& in, std::vector<AColor>& out, int n, int lines,
                  int step, int stride) {
    for (int line = 0; line < lines; ++line) {
      for (int i = 0; i < n; ++i) {
        AColor sum;
        for (int k = -r; k <= r; ++k) {
          const int j = std::clamp(i + k, 0, n - 1);
          sum += in[static_cast<size_t>(line) * stride + static_cast<size_t>(j) * step];
        }
        out[static_cast<size_t>(line) * stride + static_cast<size_t>(i) * step] =
            sum * (1.0f / static_cast<float>(2 * r + 1));
      }
    }
  };
  pass(src, tmp, w, h, 1, w);  // rows
  pass(tmp, src, h, w, w, 1);  // columns
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) bm.PutPixel(x, y, ToColor64(src[static_cast<size_t>(y) * w + x]));
  }
}

AColor Bilinear(const Bitmap& bm, float px, float py) {
  const int w = bm.Width(), h = bm.Height();
  if (w < 1 || h < 1) return {};
  px = std::clamp(px, 0.0f, static_cast<float>(w - 1));
  py = std::clamp(py, 0.0f, static_cast<float>(h - 1));
  const int x0 = static_cast<int>(px), y0 = static_cast<int>(py);
  const int x1 = std::min(x0 + 1, w - 1), y1 = std::min(y0 + 1, h - 1);
  const float fx = px - static_cast<float>(x0), fy = py - static_cast<float>(y0);
  auto at = [&](int x, int y) { return FromColor64(bm.GetPixel(x, y)); };
  const AColor top = at(x0, y0) * (1.0f - fx) + at(x1, y0) * fx;
  const AColor bottom = at(x0, y1) * (1.0f - fx) + at(x1, y1) * fx;
  return top * (1.0f - fy) + bottom * fy;
}

}  // namespace

ClassDesc2* GetStdCubicDesc() {
  MainBlock();
  return &TheDesc();
}

StdCubic::StdCubic(bool loading) {
  RegisterNotification(&StdCubic::OnPreRender, this, NOTIFY_PRE_RENDER);
  if (loading) return;
  GetStdCubicDesc()->MakeAutoParamBlocks(this);
  Interval valid = FOREVER;
  Update(0, valid);
}

StdCubic::~StdCubic() {
  UnRegisterNotification(&StdCubic::OnPreRender, this);
}

void StdCubic::OnPreRender(void* param, NotifyInfo*) {
  static_cast<StdCubic*>(param)->ClearCubes();
}

void StdCubic::SetReference(int i, ReferenceTarget* target) {
  if (i == 0) pb_ = dynamic_cast<IParamBlock2*>(target);
  ivalid_.SetEmpty();
}

RefResult StdCubic::NotifyRefChanged(const Interval&, ReferenceTarget*, PartID&,
                                     RefMessage message) {
  if (message == REFMSG_CHANGE) ivalid_.SetEmpty();
  return REF_SUCCEED;
}

ReferenceTarget* StdCubic::Clone(RemapDir& remap) {
  auto* copy = new StdCubic(true);
  BaseClone(this, copy, remap);
  copy->ReplaceReference(0, remap.CloneRef(pb_));
  copy->SetName(GetName());
  copy->w_ = w_;
  copy->ivalid_ = ivalid_;
  return copy;
}

void StdCubic::Update(TimeValue t, Interval& valid) {
  if (pb_ && !ivalid_.InInterval(t)) {
    Interval iv = FOREVER;
    Working w;
    int refract = 0;
    pb_->GetValue(kCbSize, t, w.size, iv);
    pb_->GetValue(kCbBlur, t, w.blur, iv);
    pb_->GetValue(kCbRefract, t, refract, iv);
    pb_->GetValue(kCbNthFrame, t, w.nthFrame, iv);
    w.refract = refract != 0;
    w_ = w;
    ivalid_ = iv;
  }
  valid &= pb_ ? ivalid_ : FOREVER;
}

Interval StdCubic::Validity(TimeValue t) {
  return pb_ ? pb_->GetValidity(t) : FOREVER;
}

Point3 StdCubic::FaceDirection(int face) {
  return kFaces[std::clamp(face, 0, 5)].forward;
}

Matrix3 StdCubic::FaceCameraToWorld(int face, const Point3& centre) {
  const FaceAxes& a = kFaces[std::clamp(face, 0, 5)];
  // Camera -z looks along the face's direction, +y is its up.
  const Point3 z = -a.forward;
  const Point3 y = a.up;
  return Matrix3(y % z, y, z, centre);
}

int StdCubic::FaceOf(const Point3& d) {
  const float ax = std::fabs(d.x), ay = std::fabs(d.y), az = std::fabs(d.z);
  if (ax >= ay && ax >= az) return d.x >= 0.0f ? 0 : 1;
  if (ay >= az) return d.y >= 0.0f ? 2 : 3;
  return d.z >= 0.0f ? 4 : 5;
}

Point3 StdCubic::CubeCentre(RenderMapsContext& rmc, TimeValue t) {
  if (const Box3 box = rmc.ObjectSpaceBoundingBox(); !box.IsEmpty()) {
    return (box * rmc.ObjectToWorldTM()).Center();
  }
  INode* node = rmc.GetNode();
  if (!node) return {};
  const Matrix3 tm = node->GetObjectTM(t);
  if (Mesh* mesh = node->GetMesh(t)) {
    const Box3 box = mesh->getBoundingBox();
    if (!box.IsEmpty()) return (box * tm).Center();
  }
  return tm.GetTrans();
}

bool StdCubic::BuildMaps(TimeValue t, RenderMapsContext& rmc) {
  Interval valid = FOREVER;
  Update(t, valid);
  const int id = rmc.NodeRenderID();
  INode* node = rmc.GetNode();
  const int frame = FloorDiv(t, std::max(GetTicksPerFrame(), 1));
  const int firstFrame = FloorDiv(frame, w_.nthFrame) * w_.nthFrame;
  if (auto c = Find(id); c && c->node == node && c->firstFrame == firstFrame &&
                         c->size == w_.size && c->blur == w_.blur) {
    return true;
  }
  auto cube = std::make_shared<Cube>();
  cube->node = node, cube->firstFrame = firstFrame, cube->size = w_.size, cube->blur = w_.blur;
  const Point3 centre = CubeCentre(rmc, t);
  for (int f = 0; f < 6; ++f) {
    ViewParams vp;
    vp.projType = PROJ_PERSPECTIVE;
    vp.fov = kPi / 2.0f;
    vp.affineTM = Inverse(FaceCameraToWorld(f, centre));
    vp.prevAffineTM = vp.affineTM;
    vp.hither = 0.001f;
    SubRendParams srp;
    srp.devWidth = srp.devHeight = w_.size;
    srp.xmax = srp.ymax = w_.size;
    srp.fov = vp.fov;
    srp.projType = PROJ_PERSPECTIVE;
    Bitmap& face = cube->faces[static_cast<size_t>(f)];
    face.Resize(w_.size, w_.size);
    // No lock is held here: the face's own shading may read other cubes.
    if (!rmc.Render(&face, vp, srp)) {
      std::unique_lock lock(mutex_);
      cubes_.erase(id);
      return false;
    }
    if (w_.blur > 0) BoxBlur(face, w_.blur);
  }
  std::unique_lock lock(mutex_);
  cubes_[id] = std::move(cube);
  return true;
}

std::shared_ptr<const StdCubic::Cube> StdCubic::Find(int nodeRenderId) const {
  std::shared_lock lock(mutex_);
  auto it = cubes_.find(nodeRenderId);
  return it == cubes_.end() ? nullptr : it->second;
}

void StdCubic::ClearCubes() {
  std::unique_lock lock(mutex_);
  cubes_.clear();
}

int StdCubic::NumCubes() const {
  std::shared_lock lock(mutex_);
  return static_cast<int>(cubes_.size());
}

AColor StdCubic::Lookup(int nodeRenderId, const Point3& dir) const {
  const std::shared_ptr<const Cube> cube = Find(nodeRenderId);
  const Point3 d = Normalize(dir);
  if (!cube || d.LengthSquared() == 0.0f) return {};
  const int f = FaceOf(d);
  const Matrix3 frame = FaceCameraToWorld(f, Point3());
  const float cx = DotProd(d, frame.GetRow(0)), cy = DotProd(d, frame.GetRow(1));
  const float depth = -DotProd(d, frame.GetRow(2));  // > 0: the face holds d's largest axis
  const Bitmap& face = cube->faces[static_cast<size_t>(f)];
  // Screen coordinates -1..1 to pixels, rows top to bottom, centres at i + 0.5.
  const float px = (cx / depth + 1.0f) * 0.5f * static_cast<float>(face.Width()) - 0.5f;
  const float py = (1.0f - cy / depth) * 0.5f * static_cast<float>(face.Height()) - 0.5f;
  return Bilinear(face, px, py);
}

AColor StdCubic::EvalColor(ShadeContext& sc) {
  const Point3 dir = w_.refract ? sc.RefractVector(sc.GetIOR()) : sc.ReflectVector();
  return Lookup(sc.NodeID(), sc.VectorTo(dir, REF_WORLD));
}

}  // namespace host
