#include "apps/tarnis/params_command.h"

#include <cstdio>
#include <sstream>

#include "apps/tarnis/param_meanings.h"
#include "apps/tarnis/scene_files.h"
#include "host/json_reader.h"
#include "host/param_binder.h"
#include "sdk/class_desc.h"
#include "sdk/param_block_desc.h"

namespace tarnis_cli {

namespace {

// The kind of value a scene description gives, as users read it.
std::string TypeText(ParamType2 type) {
  static constexpr const char* kNames[] = {"float", "int",      "color",  "point3", "bool",
                                           "angle", "percent",  "length", "text",   "file",
                                           "map",   "material", "node",   "object"};
  const int base = BaseType(type);
  const std::string name = base >= 0 && base <= TYPE_REFTARG ? kNames[base] : "unknown";
  return IsTabType(type) ? "list of " + name : name;
}

std::string DefaultText(const ParamDef& def) {
  if (IsTabType(def.type))
    return def.tabSize > 0 ? std::to_string(def.tabSize) + " entries" : "empty";
  const PB2Value& v = def.def;
  const ParamType2 base = BaseType(def.type);
  if (base == TYPE_BOOL) return v.Is<int>() && v.Get<int>() != 0 ? "true" : "false";
  if (const int* i = v.GetIf<int>()) return std::to_string(*i);
  if (const float* f = v.GetIf<float>()) return Num(*f);
  if (const Color* c = v.GetIf<Color>())
    return "[" + Num(c->r) + ", " + Num(c->g) + ", " + Num(c->b) + "]";
  if (const Point3* p = v.GetIf<Point3>())
    return "[" + Num(p->x) + ", " + Num(p->y) + ", " + Num(p->z) + "]";
  if (const std::string* s = v.GetIf<std::string>()) return "\"" + *s + "\"";
  switch (StorageOf(def.type)) {
    case ParamStorage::kReference:
      return "none";
    case ParamStorage::kString:
      return "\"\"";
    case ParamStorage::kColor:
    case ParamStorage::kPoint3:
      return "[0, 0, 0]";
    case ParamStorage::kInt:
      return base == TYPE_BOOL ? "false" : "0";
    case ParamStorage::kFloat:
      return "0";
  }
  return "";
}

std::string RangeText(const ParamDef& def) {
  if (BaseType(def.type) == TYPE_BOOL || !def.range.Bounded()) return "";
  return Num(def.range.min) + " to " + Num(def.range.max);
}

}  // namespace

std::string DescribeParams(ClassDesc2& cd) {
  std::ostringstream out;
  out << "## " << cd.InternalName() << "\n\n"
      << cd.ClassName() << ", " << host::SuperClassName(cd.SuperClassID()) << ".";
  if (std::string meaning = ClassMeaning(cd.InternalName()); !meaning.empty()) {
    out << " " << meaning;
  }
  out << "\n";
  if (cd.NumParamBlockDescs() == 0) out << "\nNo parameters.\n";
  for (int b = 0; b < cd.NumParamBlockDescs(); ++b) {
    const ParamBlockDesc2& desc = *cd.GetParamBlockDesc(b);
    out << "\n### " << desc.InternalName() << "\n\n";
    if (std::string meaning = BlockMeaning(cd.InternalName(), desc.InternalName());
        !meaning.empty())
      out << meaning << "\n\n";
    out << "| parameter | type | default | range | animatable | meaning |\n"
        << "|---|---|---|---|---|---|\n";
    for (int i = 0; i < desc.Count(); ++i) {
      const ParamDef& def = desc.GetParamDefByIndex(i);
      out << "| `" << def.internalName << "` | " << TypeText(def.type) << " | " << DefaultText(def)
          << " | " << RangeText(def) << " | " << ((def.flags & P_ANIMATABLE) ? "yes" : "no")
          << " | " << ParamMeaning(cd.InternalName(), desc.InternalName(), def.internalName)
          << " |\n";
    }
  }
  return out.str();
}

int RunListParams(const std::string& className, const std::vector<std::string>& plugins) {
  WarningPrinter warnings;
  std::vector<std::string> messages;
  LoadClasses(plugins, &messages);
  warnings.Print(messages);
  const ClassDirectory& dir = GetClassDirectory();
  ClassDesc2* cd = dir.FindClassByInternalName(className);
  if (!cd) {
    std::vector<std::string> names;
    for (int i = 0; i < dir.Count(); ++i) names.push_back(dir.Get(i)->InternalName());
    std::string close = host::ClosestName(className, names);
    PrintError("no class is called \"" + className + "\"" +
               (close.empty() ? std::string() : "; did you mean \"" + close + "\"?") +
               " (see tarnis info --classes)");
    return 1;
  }
  std::fputs(DescribeParams(*cd).c_str(), stdout);
  return 0;
}

}  // namespace tarnis_cli
