// The generic object binder: classes by internal name, parameters by block
// and parameter internal name, values by parameter type, references by index
// or owning parameter, names resolved across the whole file.
#include "host/param_binder.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <set>

#include <nlohmann/json.hpp>

#include "host/scene.h"
#include "host/scene_loader.h"
#include "sdk/class_desc.h"
#include "sdk/effect.h"
#include "sdk/mtl.h"

namespace host {

using nlohmann::json;

namespace {

// Object definitions nest inside each other; deeper than this is not a scene.
constexpr int kMaxNesting = 64;

bool IsReferenceType(ParamType2 type) {
  ParamType2 base = BaseType(type);
  return base == TYPE_TEXMAP || base == TYPE_MTL || base == TYPE_INODE || base == TYPE_REFTARG;
}

SuperClasses AllowedFor(ParamType2 type) {
  switch (BaseType(type)) {
    case TYPE_TEXMAP:
      return {TEXMAP_CLASS_ID};
    case TYPE_MTL:
      return {MATERIAL_CLASS_ID};
    case TYPE_INODE:
      return {BASENODE_CLASS_ID};
    default:
      return {};
  }
}

bool Allows(const SuperClasses& allowed, SClass_ID super) {
  return allowed.empty() || std::find(allowed.begin(), allowed.end(), super) != allowed.end();
}

std::string AllowedText(const SuperClasses& allowed) {
  if (allowed.empty()) return "an object";
  std::string text;
  for (size_t i = 0; i < allowed.size(); ++i) {
    if (i > 0) text += i + 1 == allowed.size() ? " or " : ", ";
    text += SuperClassName(allowed[i]);
  }
  return "a " + text;
}

std::string DidYouMean(std::string_view name, const std::vector<std::string>& candidates) {
  std::string close = ClosestName(name, candidates);
  return close.empty() ? std::string() : "; did you mean \"" + close + "\"?";
}

std::string Quoted(const std::string& s) {
  return "\"" + s + "\"";
}

}  // namespace

// ---- helpers ---------------------------------------------------------------

bool IsAnimation(const json& j) {
  return j.is_object() && j.contains("keys");
}

AnimationKeys ReadAnimationKeys(JsonReader& reader, const json& j, const JsonPath& at) {
  reader.CheckKeys(j, at, {"keys", "interp"});
  AnimationKeys out;
  if (auto it = j.find("interp"); it != j.end()) {
    std::string interp = reader.String(*it, at.Key("interp"));
    if (interp == "linear") {
      out.interp = KeyInterp::kLinear;
    } else if (interp != "bezier") {
      reader.Fail(at.Key("interp"), "expected \"linear\" or \"bezier\", got " + Quoted(interp));
    }
  }
  const json& keys = j["keys"];
  JsonPath keysAt = at.Key("keys");
  if (!keys.is_array() || keys.empty()) {
    reader.Fail(keysAt, "expected a non-empty array of [frame, value], got " + DescribeJson(keys));
  }
  std::set<TimeValue> seen;
  for (size_t i = 0; i < keys.size(); ++i) {
    const json& key = keys[i];
    JsonPath keyAt = keysAt.Index(i);
    if (!key.is_array() || key.size() != 2) {
      reader.Fail(keyAt, "expected [frame, value], got " + DescribeJson(key));
    }
    float frame = reader.Float(key[0], keyAt.Index(0));
    double ticks = std::round(static_cast<double>(frame) * GetTicksPerFrame());
    if (std::fabs(frame) > kMaxFrame) {
      reader.Fail(keyAt.Index(0), "frame " + FormatNumber(frame) + " is outside -" +
                                      std::to_string(kMaxFrame) + ".." + std::to_string(kMaxFrame));
    }
    auto time = static_cast<TimeValue>(ticks);
    if (!seen.insert(time).second) {
      reader.Fail(keyAt, "a second key at frame " + FormatNumber(frame));
    }
    out.keys.push_back({time, &key[1], keyAt.Index(1)});
  }
  return out;
}

std::vector<IParamBlock2*> ParamBlocksOf(ReferenceTarget* obj) {
  std::vector<IParamBlock2*> blocks;
  for (int i = 0; i < obj->NumRefs(); ++i) {
    auto* pb = dynamic_cast<IParamBlock2*>(obj->GetReference(i));
    if (pb && pb->GetDesc() && std::find(blocks.begin(), blocks.end(), pb) == blocks.end()) {
      blocks.push_back(pb);
    }
  }
  return blocks;
}

std::string SuperClassName(SClass_ID super) {
  switch (super) {
    case MATERIAL_CLASS_ID:
      return "material";
    case TEXMAP_CLASS_ID:
      return "map";
    case UVGEN_CLASS_ID:
      return "coordinate generator";
    case SHADER_CLASS_ID:
      return "shader";
    case RENDER_EFFECT_CLASS_ID:
      return "render effect";
    case RENDER_ELEMENT_CLASS_ID:
      return "render element";
    case BASENODE_CLASS_ID:
      return "node";
    case GEOMOBJECT_CLASS_ID:
      return "geometry object";
    case CAMERA_CLASS_ID:
      return "camera";
    case LIGHT_CLASS_ID:
      return "light";
    case HELPER_CLASS_ID:
      return "helper object";
    case CTRL_FLOAT_CLASS_ID:
    case CTRL_POINT3_CLASS_ID:
      return "controller";
    case PARAMETER_BLOCK2_CLASS_ID:
      return "parameter block";
    default:
      return "object";
  }
}

std::string ClassLabel(ReferenceTarget* obj) {
  if (!obj) return "nothing";
  if (ClassDesc2* cd = GetClassDirectory().FindClass(obj->SuperClassID(), obj->ClassID())) {
    return cd->InternalName();
  }
  CStr name;
  obj->GetClassName(name);
  return name.isNull() ? SuperClassName(obj->SuperClassID()) : name.str();
}

// ---- ObjectBinder: names and objects ---------------------------------------

ObjectBinder::ObjectBinder(JsonReader& reader, std::string baseDir, RefList* library)
    : reader_(reader), baseDir_(std::move(baseDir)), library_(library) {
  keep_.Set(new RefList);
}

ObjectBinder::~ObjectBinder() = default;

void ObjectBinder::IndexDefinitions(const json& value, const JsonPath& at) {
  IndexDefinitionsAt(value, at, 0);
}

void ObjectBinder::IndexDefinitionsAt(const json& value, const JsonPath& at, int depth) {
  if (depth > kMaxNesting) reader_.Fail(at, "objects are nested too deeply");
  if (value.is_array()) {
    for (size_t i = 0; i < value.size(); ++i) IndexDefinitionsAt(value[i], at.Index(i), depth + 1);
    return;
  }
  if (!value.is_object()) return;
  auto cls = value.find("class");
  auto name = value.find("name");
  if (cls != value.end() && cls->is_string() && name != value.end() && name->is_string()) {
    const std::string& n = name->get_ref<const std::string&>();
    auto [it, added] = objects_.try_emplace(n, Definition{&value, at});
    if (!added && it->second.def != &value) {
      reader_.Fail(at.Key("name"),
                   "the name " + Quoted(n) + " is defined already at " + it->second.at.str());
    }
  }
  for (const auto& item : value.items()) {
    IndexDefinitionsAt(item.value(), at.Key(item.key()), depth + 1);
  }
}

void ObjectBinder::AddNode(const std::string& name, INode* node, const JsonPath& at) {
  if (name.empty()) reader_.Fail(at, "a node name must not be empty");
  if (!nodes_.emplace(name, node).second) {
    reader_.Fail(at, "a second node called " + Quoted(name) + "; node names must be unique");
  }
}

INode* ObjectBinder::FindNode(const std::string& name) const {
  auto it = nodes_.find(name);
  return it == nodes_.end() ? nullptr : it->second;
}

ReferenceTarget* ObjectBinder::Create(const std::string& className, const JsonPath& at,
                                      const SuperClasses& allowed) {
  ClassDirectory& dir = GetClassDirectory();
  ClassDesc2* cd = dir.FindClassByInternalName(className);
  if (!cd) {
    std::vector<std::string> names;
    for (int i = 0; i < dir.Count(); ++i) names.push_back(dir.Get(i)->InternalName());
    reader_.Fail(at, "unknown class " + Quoted(className) + DidYouMean(className, names));
  }
  if (!Allows(allowed, cd->SuperClassID())) {
    reader_.Fail(at, Quoted(className) + " is a " + SuperClassName(cd->SuperClassID()) +
                         "; expected " + AllowedText(allowed));
  }
  auto* obj = static_cast<ReferenceTarget*>(cd->Create(false));
  if (!obj) reader_.Fail(at, "could not make an object of class " + Quoted(className));
  keep_.GetAs<RefList>()->Append(obj);
  return obj;
}

void ObjectBinder::Name(ReferenceTarget* obj, const std::string& name) {
  if (auto* mb = dynamic_cast<MtlBase*>(obj)) {
    mb->SetName(name.c_str());
    if (library_) library_->Append(obj);
  } else if (auto* element = dynamic_cast<IRenderElement*>(obj)) {
    element->SetElementName(name.c_str());
  }
}

ReferenceTarget* ObjectBinder::MakeObject(const json& def, const JsonPath& at,
                                          const SuperClasses& allowed) {
  reader_.ExpectObject(def, at, "an object {\"class\": ...}");
  if (!def.contains("class")) reader_.Fail(at, "missing \"class\"");
  std::string className = reader_.String(def["class"], at.Key("class"));
  Definition* named = nullptr;
  if (auto it = def.find("name"); it != def.end()) {
    std::string name = reader_.String(*it, at.Key("name"));
    if (name.empty()) reader_.Fail(at.Key("name"), "a name must not be empty");
    auto [entry, added] = objects_.try_emplace(name, Definition{&def, at});
    named = &entry->second;
    if (named->def != &def) {
      reader_.Fail(at.Key("name"),
                   "the name " + Quoted(name) + " is defined already at " + named->at.str());
    }
    if (named->made) {
      if (!Allows(allowed, named->made->SuperClassID())) {
        reader_.Fail(at.Key("class"), Quoted(className) + " is a " +
                                          SuperClassName(named->made->SuperClassID()) +
                                          "; expected " + AllowedText(allowed));
      }
      return named->made;
    }
    if (named->making) reader_.Fail(at, Quoted(name) + " refers to itself");
    named->making = true;
  }
  ReferenceTarget* obj = Create(className, at.Key("class"), allowed);
  const std::vector<NamedReference> namedRefs = obj->NamedReferences();
  CheckObjectKeys(def, at, namedRefs);
  if (named) Name(obj, def["name"].get<std::string>());
  if (auto it = def.find("params"); it != def.end()) BindParams(obj, *it, at.Key("params"));
  if (auto it = def.find("refs"); it != def.end()) BindRefs(obj, *it, at.Key("refs"));
  BindNamedRefs(obj, def, at, namedRefs);
  if (named) {
    named->made = obj;
    named->making = false;
  }
  return obj;
}

void ObjectBinder::CheckObjectKeys(const json& def, const JsonPath& at,
                                   const std::vector<NamedReference>& namedRefs) const {
  std::vector<std::string> known = {"class", "name", "params", "refs"};
  for (const NamedReference& ref : namedRefs) {
    if (std::find(known.begin(), known.end(), ref.group) == known.end()) known.push_back(ref.group);
  }
  for (const auto& item : def.items()) {
    if (std::find(known.begin(), known.end(), item.key()) != known.end()) continue;
    std::string list;
    for (const std::string& k : known) list += (list.empty() ? "" : ", ") + k;
    reader_.Fail(at.Key(item.key()),
                 "unknown key; expected one of " + list + DidYouMean(item.key(), known));
  }
}

// Named slots ({"visible": {"base": {...}}}) set the same references as their
// numbers under "refs"; a slot given both ways is an error rather than a
// silent choice.
void ObjectBinder::BindNamedRefs(ReferenceTarget* obj, const json& def, const JsonPath& at,
                                 const std::vector<NamedReference>& namedRefs) {
  std::vector<std::string> groups;
  for (const NamedReference& ref : namedRefs) {
    if (std::find(groups.begin(), groups.end(), ref.group) == groups.end()) {
      groups.push_back(ref.group);
    }
  }
  const json* numbered = def.contains("refs") ? &def["refs"] : nullptr;
  for (const std::string& group : groups) {
    auto it = def.find(group);
    if (it == def.end()) continue;
    const JsonPath groupAt = at.Key(group);
    reader_.ExpectObject(*it, groupAt, "an object of named references");
    std::vector<std::string> names;
    for (const NamedReference& ref : namedRefs) {
      if (ref.group == group) names.push_back(ref.name);
    }
    for (const auto& item : it->items()) {
      const JsonPath here = groupAt.Key(item.key());
      auto ref = std::find_if(namedRefs.begin(), namedRefs.end(), [&](const NamedReference& r) {
        return r.group == group && r.name == item.key();
      });
      if (ref == namedRefs.end()) {
        std::string list;
        for (const std::string& n : names) list += (list.empty() ? "" : ", ") + n;
        reader_.Fail(here, "unknown name; expected one of " + list + DidYouMean(item.key(), names));
      }
      const std::string number = std::to_string(ref->index);
      if (numbered && numbered->is_object() && numbered->contains(number)) {
        reader_.Fail(here, "reference " + number + " is given twice: here and under \"refs\"");
      }
      SetRefByIndex(obj, ref->index, item.value(), here);
    }
  }
}

ReferenceTarget* ObjectBinder::ResolveName(const std::string& name, const JsonPath& at,
                                           const SuperClasses& allowed) {
  bool nodesOnly = allowed.size() == 1 && allowed[0] == BASENODE_CLASS_ID;
  if (!nodesOnly) {
    if (auto it = objects_.find(name); it != objects_.end()) {
      Definition& d = it->second;
      if (d.making) reader_.Fail(at, Quoted(name) + " refers back to itself");
      ReferenceTarget* obj = d.made ? d.made : MakeObject(*d.def, d.at);
      if (!Allows(allowed, obj->SuperClassID())) {
        reader_.Fail(at, Quoted(name) + " is a " + SuperClassName(obj->SuperClassID()) + " (" +
                             ClassLabel(obj) + "); expected " + AllowedText(allowed));
      }
      return obj;
    }
  }
  if (nodesOnly || Allows(allowed, BASENODE_CLASS_ID)) {
    if (INode* node = FindNode(name)) return node;
  }
  FailUnknownName(name, at, allowed);
}

void ObjectBinder::FailUnknownName(const std::string& name, const JsonPath& at,
                                   const SuperClasses& allowed) const {
  bool nodesOnly = allowed.size() == 1 && allowed[0] == BASENODE_CLASS_ID;
  std::vector<std::string> candidates;
  if (nodesOnly || allowed.empty()) {
    for (const auto& entry : nodes_) candidates.push_back(entry.first);
  }
  if (!nodesOnly) {
    for (const auto& entry : objects_) candidates.push_back(entry.first);
  }
  reader_.Fail(at, "nothing is called " + Quoted(name) + "; expected the name of " +
                       AllowedText(allowed) + " in this file" + DidYouMean(name, candidates));
}

std::string ObjectBinder::ResolveFile(const std::string& name) const {
  std::filesystem::path p(name);
  if (name.empty() || p.is_absolute() || baseDir_.empty()) return name;
  return (std::filesystem::path(baseDir_) / p).lexically_normal().string();
}

// ---- ObjectBinder: parameters ----------------------------------------------

void ObjectBinder::BindParams(ReferenceTarget* obj, const json& params, const JsonPath& at) {
  reader_.ExpectObject(params, at, "an object of parameters");
  if (params.empty()) return;
  std::vector<IParamBlock2*> blocks = ParamBlocksOf(obj);
  if (blocks.empty()) reader_.Fail(at, ClassLabel(obj) + " has no parameters");
  auto blockNamed = [&](const std::string& name) -> IParamBlock2* {
    for (IParamBlock2* pb : blocks) {
      if (pb->GetDesc()->InternalName() == name) return pb;
    }
    return nullptr;
  };
  bool byBlock = true;
  for (const auto& item : params.items()) {
    byBlock &= item.value().is_object() && !IsAnimation(item.value()) && blockNamed(item.key());
  }
  if (!byBlock && blocks.size() == 1) {
    BindBlock(obj, blocks[0], params, at);
    return;
  }
  std::vector<std::string> names;
  for (IParamBlock2* pb : blocks) names.push_back(pb->GetDesc()->InternalName());
  for (const auto& item : params.items()) {
    IParamBlock2* pb = blockNamed(item.key());
    if (!pb) {
      std::string list;
      for (const std::string& n : names) list += (list.empty() ? "" : ", ") + n;
      reader_.Fail(at.Key(item.key()), "unknown parameter block of " + ClassLabel(obj) +
                                           " (its blocks: " + list + ")" +
                                           DidYouMean(item.key(), names));
    }
    reader_.ExpectObject(item.value(), at.Key(item.key()), "an object of parameters");
    BindBlock(obj, pb, item.value(), at.Key(item.key()));
  }
}

void ObjectBinder::BindBlock(ReferenceTarget* obj, IParamBlock2* pb, const json& values,
                             const JsonPath& at) {
  const ParamBlockDesc2& desc = *pb->GetDesc();
  for (const auto& item : values.items()) {
    const ParamDef* def = desc.GetParamDefByName(item.key());
    if (!def) {
      std::vector<std::string> names;
      for (int i = 0; i < desc.Count(); ++i)
        names.push_back(desc.GetParamDefByIndex(i).internalName);
      reader_.Fail(at.Key(item.key()), "unknown parameter of " + ClassLabel(obj) + " block " +
                                           Quoted(desc.InternalName()) +
                                           DidYouMean(item.key(), names));
    }
    SetParam(pb, *def, item.value(), at.Key(item.key()));
  }
}

void ObjectBinder::SetParam(IParamBlock2* pb, const ParamDef& def, const json& value,
                            const JsonPath& at) {
  if (!IsTabType(def.type)) {
    SetEntry(pb, def, 0, value, at);
    return;
  }
  if (!value.is_array()) {
    reader_.Fail(at, std::string("expected an array (a table of ") +
                         ParamTypeName(BaseType(def.type)) + "), got " + DescribeJson(value));
  }
  if ((def.flags & P_OWNERS_REF) && value.size() <= static_cast<size_t>(def.tabSize)) {
    // A table of the owner's slots keeps its size: the entries given are set
    // from the first, the rest stay as they are.
  } else if (value.size() > static_cast<size_t>(std::numeric_limits<int>::max()) ||
             !pb->SetCount(def.id, static_cast<int>(value.size()))) {
    reader_.Fail(at, "the table cannot hold " + std::to_string(value.size()) + " entries");
  }
  for (size_t i = 0; i < value.size(); ++i) {
    SetEntry(pb, def, static_cast<int>(i), value[i], at.Index(i));
  }
}

void ObjectBinder::SetEntry(IParamBlock2* pb, const ParamDef& def, int tab, const json& value,
                            const JsonPath& at) {
  if (IsReferenceType(def.type)) {
    ReferenceTarget* target = ReadTarget(value, at, AllowedFor(def.type));
    if (!pb->SetValue(def.id, 0, target, tab)) {
      reader_.Fail(at, "the parameter does not take " + ClassLabel(target));
    }
    return;
  }
  if (IsAnimation(value)) {
    SetAnimated(pb, def, tab, value, at);
    return;
  }
  PB2Value v = ReadPlainValue(def, value, at);
  if (!pb->SetValue(def.id, 0, v, tab)) reader_.Fail(at, "the parameter does not take this value");
}

void ObjectBinder::SetAnimated(IParamBlock2* pb, const ParamDef& def, int tab, const json& value,
                               const JsonPath& at) {
  if (!(def.flags & P_ANIMATABLE)) {
    reader_.Fail(at, "the parameter " + Quoted(def.internalName) + " cannot be animated");
  }
  AnimationKeys keys = ReadAnimationKeys(reader_, value, at);
  // Read every value before the block changes, so a bad key leaves no controller.
  std::vector<PB2Value> values;
  for (const AnimationKeys::Key& key : keys.keys) {
    values.push_back(ReadPlainValue(def, *key.value, key.at));
  }
  if (!pb->MakeAnimated(def.id, keys.interp, tab)) {
    reader_.Fail(at, "the parameter " + Quoted(def.internalName) + " cannot be animated");
  }
  for (size_t i = 0; i < values.size(); ++i) {
    if (!pb->SetValue(def.id, keys.keys[i].time, values[i], tab)) {
      reader_.Fail(keys.keys[i].at, "the parameter does not take this value");
    }
  }
}

PB2Value ObjectBinder::ReadPlainValue(const ParamDef& def, const json& j, const JsonPath& at) {
  switch (BaseType(def.type)) {
    case TYPE_FLOAT:
    case TYPE_ANGLE:
    case TYPE_PCNT_FRAC:
    case TYPE_WORLD:
      return reader_.Float(j, at, def.range);
    case TYPE_INT:
      return reader_.Int(j, at, def.range);
    case TYPE_BOOL:
      return reader_.Bool(j, at) ? 1 : 0;
    case TYPE_RGBA:
      return Color(reader_.Triple(j, at, "[r, g, b]", def.range));
    case TYPE_POINT3:
      return reader_.Triple(j, at, "[x, y, z]", def.range);
    case TYPE_STRING:
      return reader_.String(j, at);
    case TYPE_FILENAME:
      return ResolveFile(reader_.String(j, at));
    default:
      reader_.Fail(at, std::string("parameters of type ") + ParamTypeName(def.type) +
                           " cannot be set from a scene file");
  }
}

ReferenceTarget* ObjectBinder::ReadTarget(const json& j, const JsonPath& at,
                                          const SuperClasses& allowed) {
  if (j.is_null()) return nullptr;
  if (j.is_string()) return ResolveName(j.get<std::string>(), at, allowed);
  bool nodesOnly = allowed.size() == 1 && allowed[0] == BASENODE_CLASS_ID;
  if (j.is_object() && j.contains("class") && !nodesOnly) return MakeObject(j, at, allowed);
  reader_.Fail(at, "expected the name of " + AllowedText(allowed) +
                       (nodesOnly ? "" : " or an object {\"class\": ...}") + ", got " +
                       DescribeJson(j));
}

// ---- ObjectBinder: references ----------------------------------------------

void ObjectBinder::BindRefs(ReferenceTarget* obj, const json& refs, const JsonPath& at) {
  reader_.ExpectObject(refs, at, "an object of references");
  // Numbered references in number order ("2" before "10"), so list items
  // are added in the order written.
  std::vector<std::pair<std::string, const json*>> items;
  for (const auto& item : refs.items()) items.emplace_back(item.key(), &item.value());
  auto number = [](const std::string& k) {
    bool digits = !k.empty() && k.size() <= 9 &&
                  std::all_of(k.begin(), k.end(), [](char c) { return c >= '0' && c <= '9'; });
    return digits ? std::stol(k) : -1L;
  };
  std::stable_sort(items.begin(), items.end(), [&](const auto& a, const auto& b) {
    long na = number(a.first), nb = number(b.first);
    return na >= 0 && nb >= 0 ? na < nb : (na >= 0) > (nb >= 0);
  });
  for (const auto& [key, valuePtr] : items) {
    const json& value = *valuePtr;
    JsonPath here = at.Key(key);
    if (long index = number(key); index >= 0) {
      SetRefByIndex(obj, static_cast<int>(index), value, here);
      continue;
    }
    bool found = false;
    for (IParamBlock2* pb : ParamBlocksOf(obj)) {
      const ParamDef* def = pb->GetDesc()->GetParamDefByName(key);
      if (!def) continue;
      if (!IsReferenceType(def->type)) {
        reader_.Fail(
            here, "the parameter " + Quoted(key) + " is not a reference; give it under \"params\"");
      }
      SetParam(pb, *def, value, here);
      found = true;
      break;
    }
    if (!found) {
      reader_.Fail(here, "expected a reference index (0.." + std::to_string(obj->NumRefs() - 1) +
                             ") or the name of a reference parameter of " + ClassLabel(obj));
    }
  }
}

void ObjectBinder::SetRefByIndex(ReferenceTarget* obj, int index, const json& value,
                                 const JsonPath& at) {
  int count = obj->NumRefs();
  // A growing list (the line sets of a line effect) takes the next index as
  // a new last item.
  if (auto* list = dynamic_cast<GrowingReferences*>(obj); list && index == count) {
    ReferenceTarget* target = ReadTarget(value, at, {});
    if (!target || !list->AppendReference(target)) {
      reader_.Fail(at, "reference " + std::to_string(index) + " of " + ClassLabel(obj) +
                           " does not take " + (target ? ClassLabel(target) : "null"));
    }
    return;
  }
  if (index >= count) {
    reader_.Fail(at, "reference " + std::to_string(index) + " is out of range: " + ClassLabel(obj) +
                         " has references 0.." + std::to_string(count - 1) +
                         (dynamic_cast<GrowingReferences*>(obj) ? " (add list items in order)" : ""));
  }
  if (auto* pb = dynamic_cast<IParamBlock2*>(obj->GetReference(index)); pb && pb->GetDesc()) {
    reader_.Fail(at, "reference " + std::to_string(index) + " holds the parameter block " +
                         Quoted(pb->GetDesc()->InternalName()) +
                         "; set its values under \"params\"");
  }
  // A parameter that keeps its value in this slot says what the slot takes.
  for (IParamBlock2* pb : ParamBlocksOf(obj)) {
    const ParamBlockDesc2& desc = *pb->GetDesc();
    for (int i = 0; i < desc.Count(); ++i) {
      const ParamDef& def = desc.GetParamDefByIndex(i);
      if (!(def.flags & P_OWNERS_REF) || index < def.ownerRef) continue;
      if (!IsTabType(def.type) && def.ownerRef == index) {
        SetParam(pb, def, value, at);
        return;
      }
      if (IsTabType(def.type) && index < def.ownerRef + def.tabSize) {
        SetEntry(pb, def, index - def.ownerRef, value, at);
        return;
      }
    }
  }
  ReferenceTarget* target = ReadTarget(value, at, {});
  std::string what =
      target ? "a " + SuperClassName(target->SuperClassID()) + " (" + ClassLabel(target) + ")"
             : std::string("null");
  if (obj->TryReplaceReference(index, target) != REF_SUCCEED) {
    reader_.Fail(at, "reference " + std::to_string(index) + " of " + ClassLabel(obj) +
                         " does not take " + what);
  }
  // Some objects accept a slot's assignment but keep only what fits it (a
  // line set's setting slots hold line settings): say what was dropped.
  if (target && obj->GetReference(index) != target) {
    if (value.is_string()) what += " " + Quoted(value.get<std::string>());
    reader_.Warn(at, "reference " + std::to_string(index) + " of " + ClassLabel(obj) +
                         " does not keep " + what + "; it is ignored");
  }
}

}  // namespace host
