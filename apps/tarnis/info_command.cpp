// The info command's scene description.
#include "apps/tarnis/info_command.h"

#include <cstdio>
#include <sstream>

#include "apps/tarnis/scene_files.h"
#include "host/param_binder.h"
#include "sdk/effect.h"
#include "sdk/inode.h"
#include "sdk/param_block.h"

namespace tarnis_cli {

namespace {

std::string Triple(float a, float b, float c) {
  return "[" + Num(a) + ", " + Num(b) + ", " + Num(c) + "]";
}

int Depth(INode* node) {
  int depth = 0;
  for (INode* p = node->GetParentNode(); p && !p->IsRootNode(); p = p->GetParentNode()) ++depth;
  return depth;
}

void DescribeNode(std::ostream& out, host::HostNode* node) {
  out << "    " << std::string(static_cast<size_t>(Depth(node)) * 2, ' ') << node->GetName();
  if (auto* geom = dynamic_cast<host::GeomObject*>(node->GetObjectRef())) {
    out << "  " << geom->source << ", " << geom->mesh.getNumVerts() << " vertices, "
        << geom->mesh.getNumFaces() << " faces";
  } else if (node->IsGroupHead()) {
    out << "  group of " << node->NumberOfChildren();
  } else if (ReferenceTarget* object = node->GetObjectRef();
             object && object->SuperClassID() == HELPER_CLASS_ID) {
    out << "  helper " << host::ClassLabel(object);
  }
  if (Mtl* mtl = node->GetMtl()) out << ", material " << mtl->GetName();
  if (node->GetGBufID() != 0) out << ", object id " << node->GetGBufID();
  if (!node->Renderable()) out << ", not renderable";
  out << "\n";
}

const char* LightType(host::LightObject::Type t) {
  switch (t) {
    case host::LightObject::Type::kOmni:
      return "omni";
    case host::LightObject::Type::kDirectional:
      return "directional";
    case host::LightObject::Type::kSpot:
      return "spot";
  }
  return "light";
}

void DescribeCamera(std::ostream& out, host::Scene& scene) {
  out << "  camera     ";
  auto* camera = scene.cameraNode
                     ? dynamic_cast<host::CameraObject*>(scene.cameraNode->GetObjectRef())
                     : nullptr;
  if (!camera) {
    out << "none\n";
    return;
  }
  if (camera->type == host::CameraObject::Type::kPerspective) {
    out << "perspective, field of view " << Num(camera->fovDegrees) << " degrees";
  } else {
    out << "orthographic, " << Num(camera->width) << " units wide";
  }
  Point3 p = scene.cameraNode->GetNodeTM(0).GetTrans();
  out << ", at " << Triple(p.x, p.y, p.z) << "\n";
}

// The display name of an object: a material's or map's name, an element's
// name, or the text parameter "name" of its blocks; empty when it has none.
std::string NameOf(ReferenceTarget* t) {
  if (auto* mtl = dynamic_cast<MtlBase*>(t); mtl && *mtl->GetName()) return mtl->GetName();
  if (auto* element = dynamic_cast<IRenderElement*>(t)) return element->ElementName();
  for (IParamBlock2* pb : host::ParamBlocksOf(t)) {
    const ParamDef* def = pb->GetDesc()->GetParamDefByName("name");
    if (def && (def->type == TYPE_STRING)) return pb->GetStr(def->id);
  }
  return {};
}

// The node and material tables of an object's blocks, as "objects: A, B".
void DescribeMembers(std::ostream& out, ReferenceTarget* t, const std::string& indent) {
  for (IParamBlock2* pb : host::ParamBlocksOf(t)) {
    const ParamBlockDesc2& desc = *pb->GetDesc();
    for (int i = 0; i < desc.Count(); ++i) {
      const ParamDef& def = desc.GetParamDefByIndex(i);
      if (def.type != TYPE_INODE_TAB && def.type != TYPE_MTL_TAB) continue;
      out << indent << def.internalName << ":";
      for (int k = 0; k < pb->Count(def.id); ++k) {
        ReferenceTarget* member = pb->GetReferenceTarget(def.id, 0, k);
        if (auto* node = dynamic_cast<INode*>(member)) out << " " << node->GetName();
        if (auto* mtl = dynamic_cast<MtlBase*>(member)) out << " " << mtl->GetName();
      }
      out << "\n";
    }
  }
}

// An effect's own items (the line sets of a line effect): the effects among
// its references, with their names, members and the maps they hold.
void DescribeItems(std::ostream& out, ReferenceTarget* effect) {
  for (int i = 0; i < effect->NumRefs(); ++i) {
    ReferenceTarget* item = effect->GetReference(i);
    if (!dynamic_cast<Effect*>(item)) continue;
    out << "      " << NameOf(item) << "  " << host::ClassLabel(item) << "\n";
    DescribeMembers(out, item, "        ");
    int settings = 0;
    for (int r = 0; r < item->NumRefs(); ++r) {
      if (dynamic_cast<Texmap*>(item->GetReference(r))) ++settings;
    }
    if (settings > 0) out << "        settings: " << settings << "\n";
  }
}

void DescribeList(std::ostream& out, const char* title, host::RefList& list) {
  out << "  " << title << list.Count() << "\n";
  for (int i = 0; i < list.Count(); ++i) {
    ReferenceTarget* t = list.Get(i);
    out << "    ";
    if (std::string name = NameOf(t); !name.empty()) out << name << "  ";
    out << host::ClassLabel(t) << "\n";
    DescribeItems(out, t);
  }
}

}  // namespace

std::string DescribeScene(host::Scene& scene, const std::string& path) {
  std::ostringstream out;
  const host::RenderSettings& r = scene.render;
  out << path << "\n"
      << "  image      " << r.width << " x " << r.height << ", frames " << r.firstFrame << "-"
      << r.lastFrame << " at " << r.fps << " fps, " << r.samples << "x" << r.samples
      << " samples a pixel\n";
  DescribeCamera(out, scene);
  std::vector<host::HostNode*> nodes, lights;
  for (host::HostNode* n : scene.AllNodes()) {
    if (n == scene.cameraNode) continue;
    (dynamic_cast<host::LightObject*>(n->GetObjectRef()) ? lights : nodes).push_back(n);
  }
  out << "  nodes      " << nodes.size() << "\n";
  for (host::HostNode* n : nodes) DescribeNode(out, n);
  DescribeList(out, "materials  ", scene.Library());
  out << "  lights     " << lights.size() << "\n";
  for (host::HostNode* n : lights) {
    auto* light = static_cast<host::LightObject*>(n->GetObjectRef());
    out << "    " << n->GetName() << "  " << LightType(light->type) << ", colour "
        << Triple(light->color.r, light->color.g, light->color.b) << " x " << Num(light->multiplier)
        << (light->castShadows ? ", shadows" : "") << "\n";
  }
  DescribeList(out, "effects    ", scene.Effects());
  DescribeList(out, "elements   ", scene.Elements());
  return out.str();
}

int RunInfo(const std::string& scenePath, const std::vector<std::string>& plugins) {
  WarningPrinter warnings;
  std::vector<std::string> messages;
  LoadClasses(plugins, &messages);
  std::string error;
  std::unique_ptr<host::Scene> scene = LoadScene(scenePath, &messages, &error);
  warnings.Print(messages);
  if (!scene) {
    PrintError(error);
    return 1;
  }
  std::fputs(DescribeScene(*scene, scenePath).c_str(), stdout);
  return 0;
}

}  // namespace tarnis_cli
