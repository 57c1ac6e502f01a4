// Saving and loading the host's scene objects: each writes its own fields
// in small chunks; references (objects, materials, children, controllers)
// are saved by the reference-graph writer. Readers check every count against
// the bytes left, so a damaged file is refused instead of trusted.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "host/scene.h"
#include "host/scene_limits.h"
#include "sdk/save_load.h"

namespace host {

namespace {

// Small typed helpers over the chunk streams.
void writeChunk(ISave* s, uint16_t id, const void* data, size_t n) {
  s->BeginChunk(id);
  s->Write(data, n);
  s->EndChunk();
}

template <class T>
void writeValue(ISave* s, uint16_t id, const T& v) {
  writeChunk(s, id, &v, sizeof v);
}

void writeString(ISave* s, uint16_t id, const std::string& text) {
  s->BeginChunk(id);
  s->WriteString(text);
  s->EndChunk();
}

template <class T>
bool readValue(ILoad* l, T& v) {
  return l->BytesLeft() == sizeof v && l->Read(&v, sizeof v) == IO_OK;
}

// A saved value clamped into the range a scene description allows, with a
// warning naming what it is when it was outside.
std::string FormatLimit(float v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", static_cast<double>(v));
  return buf;
}

template <class T>
T Clamped(ILoad* l, const char* what, const T& v, const ParamRange& range) {
  const T clamped = ClampToRange(v, range);
  if (!(clamped == v)) {
    l->LogWarning(std::string("a saved ") + what + " is outside " + FormatLimit(range.min) + ".." +
                  FormatLimit(range.max) + "; clamped");
  }
  return clamped;
}

// Reads a count and checks that `bytesEach` bytes per item are left.
bool readCount(ILoad* l, uint32_t& n, size_t bytesEach) {
  return l->ReadUInt(n) == IO_OK && n <= l->BytesLeft() / bytesEach;
}

// Calls `part(id)` for every chunk of the current level; false when a part
// answers false or the chunks are damaged.
template <class Part>
IOResult readParts(ILoad* l, Part part) {
  IOResult r;
  while ((r = l->OpenChunk()) == IO_OK) {
    if (!part(l->CurChunkID())) return IO_ERROR;
    if (l->CloseChunk() != IO_OK) return IO_ERROR;
  }
  return r == IO_END ? IO_OK : IO_ERROR;
}

bool finite(const Point3& p) {
  return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

// ---- Mesh chunks ----
constexpr uint16_t kVertsChunk = 0x0200;
constexpr uint16_t kFacesChunk = 0x0201;
constexpr uint16_t kMapChunk = 0x0202;
constexpr uint16_t kSourceChunk = 0x0203;
constexpr size_t kFaceBytes = 3 * 4 + 4 + 4 + 2;

void saveFaces(ISave* s, const std::vector<Face>& faces) {
  s->BeginChunk(kFacesChunk);
  s->WriteUInt(static_cast<uint32_t>(faces.size()));
  for (const Face& f : faces) {
    s->Write(f.v, sizeof f.v);
    s->WriteUInt(f.smGroup);
    s->WriteUInt(f.flags);
    s->Write(&f.matID, sizeof f.matID);
  }
  s->EndChunk();
}

bool loadFaces(ILoad* l, std::vector<Face>& faces) {
  uint32_t n = 0;
  if (!readCount(l, n, kFaceBytes)) return false;
  faces.resize(n);
  for (Face& f : faces) {
    if (l->Read(f.v, sizeof f.v) != IO_OK || l->ReadUInt(f.smGroup) != IO_OK ||
        l->ReadUInt(f.flags) != IO_OK || l->Read(&f.matID, sizeof f.matID) != IO_OK)
      return false;
  }
  return true;
}

bool loadMap(ILoad* l, Mesh& mesh) {
  int32_t channel = 0;
  uint32_t ntv = 0, ntf = 0;
  if (l->ReadInt(channel) != IO_OK || channel < 0 || channel >= MAX_MESHMAPS) return false;
  if (!readCount(l, ntv, sizeof(Point3))) return false;
  MeshMap& map = mesh.Map(channel);
  map.tv.resize(ntv);
  if (ntv && l->Read(map.tv.data(), ntv * sizeof(Point3)) != IO_OK) return false;
  if (!readCount(l, ntf, sizeof(TVFace))) return false;
  map.tf.resize(ntf);
  return ntf == 0 || l->Read(map.tf.data(), ntf * sizeof(TVFace)) == IO_OK;
}

}  // namespace

IOResult GeomObject::Save(ISave* s) {
  s->BeginChunk(kVertsChunk);
  s->WriteUInt(static_cast<uint32_t>(mesh.verts.size()));
  if (!mesh.verts.empty()) s->Write(mesh.verts.data(), mesh.verts.size() * sizeof(Point3));
  s->EndChunk();
  saveFaces(s, mesh.faces);
  for (int ch = 0; ch < MAX_MESHMAPS; ++ch) {
    const MeshMap& map = mesh.Map(ch);
    if (!map.IsUsed()) continue;
    s->BeginChunk(kMapChunk);
    s->WriteInt(ch);
    s->WriteUInt(static_cast<uint32_t>(map.tv.size()));
    if (!map.tv.empty()) s->Write(map.tv.data(), map.tv.size() * sizeof(Point3));
    s->WriteUInt(static_cast<uint32_t>(map.tf.size()));
    s->Write(map.tf.data(), map.tf.size() * sizeof(TVFace));
    s->EndChunk();
  }
  writeString(s, kSourceChunk, source);
  return IO_OK;
}

IOResult GeomObject::Load(ILoad* l) {
  mesh = Mesh();
  IOResult r = readParts(l, [&](uint16_t id) {
    switch (id) {
      case kVertsChunk: {
        uint32_t n = 0;
        if (!readCount(l, n, sizeof(Point3))) return false;
        mesh.verts.resize(n);
        return n == 0 || l->Read(mesh.verts.data(), n * sizeof(Point3)) == IO_OK;
      }
      case kFacesChunk:
        return loadFaces(l, mesh.faces);
      case kMapChunk:
        return loadMap(l, mesh);
      case kSourceChunk:
        return l->ReadString(source) == IO_OK;
      default:
        return true;  // a newer writer's chunk: skipped
    }
  });
  if (r != IO_OK) return IO_ERROR;
  std::string why;
  if (!mesh.Validate(&why)) {
    l->LogWarning("a saved mesh is damaged: " + why);
    return IO_ERROR;
  }
  for (const Point3& v : mesh.verts) {
    if (!InRange(v, kCoordinateRange)) {
      l->LogWarning("a saved mesh has a vertex outside -" + FormatLimit(kMaxCoordinate) + ".." +
                    FormatLimit(kMaxCoordinate));
      return IO_ERROR;
    }
  }
  mesh.InvalidateNormals();
  return IO_OK;
}

// ---- Camera and light ----
namespace {
constexpr uint16_t kCameraChunk = 0x0300;
constexpr uint16_t kLightChunk = 0x0310;

struct CameraRecord {
  int32_t type;
  float fov, width, nearClip, farClip;
};
struct LightRecord {
  int32_t type;
  Color color;
  float multiplier;
  uint8_t castShadows, affectDiffuse, affectSpecular, ambientOnly;
  float hotspot, falloff;
};
}  // namespace

IOResult CameraObject::Save(ISave* s) {
  CameraRecord r{static_cast<int32_t>(type), fovDegrees, width, nearClip, farClip};
  writeValue(s, kCameraChunk, r);
  return IO_OK;
}

IOResult CameraObject::Load(ILoad* l) {
  return readParts(l, [&](uint16_t id) {
    if (id != kCameraChunk) return true;
    CameraRecord r{};
    if (!readValue(l, r) || r.type < 0 || r.type > 1) return false;
    if (!std::isfinite(r.fov) || !std::isfinite(r.width) || !std::isfinite(r.nearClip) ||
        !std::isfinite(r.farClip))
      return false;
    type = static_cast<Type>(r.type);
    fovDegrees = Clamped(l, "camera field of view", r.fov, kFovRange);
    width = Clamped(l, "camera width", r.width, kLengthRange);
    nearClip = Clamped(l, "camera near distance", r.nearClip, kLengthRange);
    farClip = Clamped(l, "camera far distance", r.farClip, kLengthRange);
    if (farClip <= nearClip) {
      l->LogWarning("a saved camera's far distance is not beyond its near one");
      return false;
    }
    return true;
  });
}

IOResult LightObject::Save(ISave* s) {
  LightRecord r{static_cast<int32_t>(type),
                color,
                multiplier,
                castShadows,
                affectDiffuse,
                affectSpecular,
                ambientOnly,
                hotspotDegrees,
                falloffDegrees};
  writeValue(s, kLightChunk, r);
  return IO_OK;
}

IOResult LightObject::Load(ILoad* l) {
  return readParts(l, [&](uint16_t id) {
    if (id != kLightChunk) return true;
    LightRecord r{};
    if (!readValue(l, r) || r.type < 0 || r.type > 2) return false;
    if (!finite(Point3(r.color.r, r.color.g, r.color.b)) || !std::isfinite(r.multiplier) ||
        !std::isfinite(r.hotspot) || !std::isfinite(r.falloff))
      return false;
    type = static_cast<Type>(r.type);
    const Point3 rgb =
        Clamped(l, "light colour", Point3(r.color.r, r.color.g, r.color.b), kUnitRange);
    color = Color(rgb.x, rgb.y, rgb.z);
    multiplier = Clamped(l, "light multiplier", r.multiplier, kMultiplierRange);
    castShadows = r.castShadows, affectDiffuse = r.affectDiffuse;
    affectSpecular = r.affectSpecular, ambientOnly = r.ambientOnly;
    hotspotDegrees = Clamped(l, "light hotspot", r.hotspot, kConeRange);
    falloffDegrees = Clamped(l, "light falloff", r.falloff, kConeRange);
    hotspotDegrees = std::min(hotspotDegrees, falloffDegrees);
    return true;
  });
}

// ---- Node ----
namespace {
constexpr uint16_t kNodeNameChunk = 0x0400;
constexpr uint16_t kNodeTransformChunk = 0x0401;
constexpr uint16_t kNodeTargetChunk = 0x0402;
constexpr uint16_t kNodeFlagsChunk = 0x0403;

struct TransformRecord {
  Point3 position, rotation, scale, up;
};
struct FlagsRecord {
  Color wireColor;
  int32_t gbufID;
  float visibility;
  uint8_t root, renderable, primary, secondary, groupHead, groupMember;
};
}  // namespace

IOResult HostNode::Save(ISave* s) {
  writeString(s, kNodeNameChunk, name_);
  writeValue(s, kNodeTransformChunk, TransformRecord{position, rotationDegrees, scale, up});
  if (target) writeValue(s, kNodeTargetChunk, *target);
  // Cleared first so the padding bytes are the same in every save.
  FlagsRecord f;
  std::memset(static_cast<void*>(&f), 0, sizeof f);
  f.wireColor = wireColor, f.gbufID = gbufID, f.visibility = visibility;
  f.root = root_, f.renderable = renderable, f.primary = primaryVisibility;
  f.secondary = secondaryVisibility, f.groupHead = groupHead, f.groupMember = groupMember;
  writeValue(s, kNodeFlagsChunk, f);
  return IO_OK;
}

namespace {

// Children learn their parent once every reference of the file is attached
// (the children list may be filled after it is given to its node).
class ParentFixup : public PostLoadCallback {
 public:
  explicit ParentFixup(HostNode* node) : node_(node) {}
  void proc(ILoad*) override { node_->AdoptChildren(); }
  int Priority() override { return 0; }

 private:
  HostNode* node_;
};

}  // namespace

IOResult HostNode::Load(ILoad* l) {
  l->RegisterPostLoadCallback(std::make_unique<ParentFixup>(this));
  target.reset();
  return readParts(l, [&](uint16_t id) {
    switch (id) {
      case kNodeNameChunk:
        return l->ReadString(name_) == IO_OK;
      case kNodeTransformChunk: {
        TransformRecord t{};
        if (!readValue(l, t) || !finite(t.position) || !finite(t.rotation) || !finite(t.scale) ||
            !finite(t.up))
          return false;
        position = Clamped(l, "node position", t.position, kCoordinateRange);
        rotationDegrees = Clamped(l, "node rotation", t.rotation, kRotationRange);
        scale = Clamped(l, "node scale", t.scale, kScaleRange);
        up = Clamped(l, "node up direction", t.up, kCoordinateRange);
        return true;
      }
      case kNodeTargetChunk: {
        Point3 p;
        if (!readValue(l, p) || !finite(p)) return false;
        target = Clamped(l, "node target", p, kCoordinateRange);
        return true;
      }
      case kNodeFlagsChunk: {
        FlagsRecord f{};
        if (!readValue(l, f)) return false;
        if (!std::isfinite(f.visibility) || f.gbufID < 0 || f.gbufID > 65535) return false;
        wireColor = f.wireColor, gbufID = f.gbufID;
        visibility = Clamped(l, "node visibility", f.visibility, kUnitRange);
        root_ = f.root, renderable = f.renderable, primaryVisibility = f.primary;
        secondaryVisibility = f.secondary, groupHead = f.groupHead, groupMember = f.groupMember;
        return true;
      }
      default:
        return true;
    }
  });
}

}  // namespace host
