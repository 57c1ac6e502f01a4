// ObjectBinder: makes host and plug-in objects from their JSON description
//   {"class": INTERNAL_NAME, "name": ..., "params": {...}, "refs": {...}}
// through the class directory, and sets their parameters through the
// parameter-block descriptors alone: one generic reader for every class.
//   - "params" is keyed by block internal name, then parameter internal name;
//     an object with one block may give its parameters directly.
//   - Values are read by the parameter's type: numbers, booleans, [r, g, b],
//     [x, y, z], text, file names (relative to the scene's folder), names of
//     nodes, materials and maps (or an object defined in place), arrays for
//     tables, and {"keys": [[frame, value], ...], "interp": ...} for an
//     animatable parameter.
//   - "refs" is keyed by reference index or by the name of the parameter that
//     owns the reference, and holds an object or the name of one.
//   - A class that names some of its reference slots (NamedReferences) also
//     takes them as {"GROUP": {"NAME": object}} beside "refs".
// Named objects may be used before their definition; a name is defined once.
// Every failure throws SceneError through the JsonReader.
#pragma once

#include <map>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "host/json_reader.h"
#include "sdk/controllers.h"
#include "sdk/param_block.h"
#include "sdk/reference.h"

class INode;

namespace host {

class RefList;

// The superclasses an object may have where it is used (empty: any).
using SuperClasses = std::vector<SClass_ID>;

// {"keys": [[frame, value], ...], "interp": "linear" | "bezier"}, read.
struct AnimationKeys {
  struct Key {
    TimeValue time;
    const nlohmann::json* value;
    JsonPath at;
  };
  KeyInterp interp = KeyInterp::kBezier;
  std::vector<Key> keys;  // in file order; times are distinct
};

// True for an object with a "keys" member: a value given as key frames.
bool IsAnimation(const nlohmann::json& j);
// Reads key frames; frames become ticks at the current frame rate.
AnimationKeys ReadAnimationKeys(JsonReader& reader, const nlohmann::json& j, const JsonPath& at);

// The parameter blocks among an object's references, in slot order.
std::vector<IParamBlock2*> ParamBlocksOf(ReferenceTarget* obj);
// "material", "map", "render effect" ... for messages.
std::string SuperClassName(SClass_ID super);
// The internal name of the object's class, for messages.
std::string ClassLabel(ReferenceTarget* obj);

class ObjectBinder {
 public:
  // `baseDir`: the folder relative file names are relative to. Named
  // materials and maps are appended to `library` (may be null).
  ObjectBinder(JsonReader& reader, std::string baseDir, RefList* library);
  ~ObjectBinder();
  ObjectBinder(const ObjectBinder&) = delete;
  ObjectBinder& operator=(const ObjectBinder&) = delete;

  // Lists the named object definitions found anywhere below `value`, so that
  // names can be used before the definition. A name defined twice fails.
  void IndexDefinitions(const nlohmann::json& value, const JsonPath& at);
  // Makes a node known by name; node names are their own namespace.
  void AddNode(const std::string& name, INode* node, const JsonPath& at);
  INode* FindNode(const std::string& name) const;

  // The object a definition describes, made with its parameters and
  // references set. `allowed` lists the superclasses it may have (empty:
  // any). A named definition already made (its name was used earlier) is
  // answered as it is.
  ReferenceTarget* MakeObject(const nlohmann::json& def, const JsonPath& at,
                              const SuperClasses& allowed = {});
  // The object or node called `name`, made now when only its definition was
  // seen so far. With BASENODE_CLASS_ID in `allowed` only nodes are looked at.
  ReferenceTarget* ResolveName(const std::string& name, const JsonPath& at,
                               const SuperClasses& allowed);

  void BindParams(ReferenceTarget* obj, const nlohmann::json& params, const JsonPath& at);
  void BindRefs(ReferenceTarget* obj, const nlohmann::json& refs, const JsonPath& at);
  // Sets one parameter (a table from an array) from its JSON value.
  void SetParam(IParamBlock2* pb, const ParamDef& def, const nlohmann::json& value,
                const JsonPath& at);

  // A file name from the scene, made absolute against the scene's folder.
  std::string ResolveFile(const std::string& name) const;

 private:
  struct Definition {
    const nlohmann::json* def = nullptr;
    JsonPath at;
    ReferenceTarget* made = nullptr;
    bool making = false;
  };

  void CheckObjectKeys(const nlohmann::json& def, const JsonPath& at,
                       const std::vector<NamedReference>& namedRefs) const;
  void BindNamedRefs(ReferenceTarget* obj, const nlohmann::json& def, const JsonPath& at,
                     const std::vector<NamedReference>& namedRefs);
  void IndexDefinitionsAt(const nlohmann::json& value, const JsonPath& at, int depth);
  ReferenceTarget* Create(const std::string& className, const JsonPath& at,
                          const SuperClasses& allowed);
  void Name(ReferenceTarget* obj, const std::string& name);
  void BindBlock(ReferenceTarget* obj, IParamBlock2* pb, const nlohmann::json& values,
                 const JsonPath& at);
  void SetEntry(IParamBlock2* pb, const ParamDef& def, int tab, const nlohmann::json& value,
                const JsonPath& at);
  void SetAnimated(IParamBlock2* pb, const ParamDef& def, int tab, const nlohmann::json& value,
                   const JsonPath& at);
  PB2Value ReadPlainValue(const ParamDef& def, const nlohmann::json& j, const JsonPath& at);
  ReferenceTarget* ReadTarget(const nlohmann::json& j, const JsonPath& at,
                              const SuperClasses& allowed);
  void SetRefByIndex(ReferenceTarget* obj, int index, const nlohmann::json& value,
                     const JsonPath& at);
  [[noreturn]] void FailUnknownName(const std::string& name, const JsonPath& at,
                                    const SuperClasses& allowed) const;

  JsonReader& reader_;
  std::string baseDir_;
  RefList* library_;
  std::map<std::string, Definition> objects_;
  std::map<std::string, INode*> nodes_;
  // Everything made is held here until the binder goes, so that an object
  // whose definition fails half way is freed with the rest.
  ReferenceHolder keep_;
};

}  // namespace host
