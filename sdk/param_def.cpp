// Parameter types: how each type holds its values, coercion of values into
// that form and clamping into a parameter's range.
#include "sdk/param_def.h"

#include <algorithm>
#include <cmath>

#include "sdk/class_id.h"
#include "sdk/reference.h"

ParamStorage StorageOf(ParamType2 type) {
  switch (BaseType(type)) {
    case TYPE_FLOAT:
    case TYPE_ANGLE:
    case TYPE_PCNT_FRAC:
    case TYPE_WORLD:
      return ParamStorage::kFloat;
    case TYPE_INT:
    case TYPE_BOOL:
      return ParamStorage::kInt;
    case TYPE_RGBA:
      return ParamStorage::kColor;
    case TYPE_POINT3:
      return ParamStorage::kPoint3;
    case TYPE_STRING:
    case TYPE_FILENAME:
      return ParamStorage::kString;
    default:
      return ParamStorage::kReference;
  }
}

bool IsAnimatableType(ParamType2 type) {
  return StorageOf(type) != ParamStorage::kString && StorageOf(type) != ParamStorage::kReference;
}

const char* ParamTypeName(ParamType2 type) {
  static constexpr const char* kNames[] = {"float",  "int",     "rgba",  "point3", "bool",
                                           "angle",  "percent", "world", "string", "filename",
                                           "texmap", "mtl",     "inode", "reftarg"};
  static constexpr const char* kTabNames[] = {
      "float tab",  "int tab",     "rgba tab",  "point3 tab", "bool tab",
      "angle tab",  "percent tab", "world tab", "string tab", "filename tab",
      "texmap tab", "mtl tab",     "inode tab", "reftarg tab"};
  int base = BaseType(type);
  if (base < 0 || base > TYPE_REFTARG) return "unknown";
  return IsTabType(type) ? kTabNames[base] : kNames[base];
}

namespace {

// The superclass a reference-typed parameter accepts, or 0 for any.
SClass_ID RequiredSuperClass(ParamType2 type) {
  switch (BaseType(type)) {
    case TYPE_TEXMAP:
      return TEXMAP_CLASS_ID;
    case TYPE_MTL:
      return MATERIAL_CLASS_ID;
    case TYPE_INODE:
      return BASENODE_CLASS_ID;
    default:
      return 0;
  }
}

bool CoerceFloat(PB2Value& v) {
  if (const int* i = v.GetIf<int>()) v = static_cast<float>(*i);
  const float* f = v.GetIf<float>();
  return f && !std::isnan(*f);
}

bool CoerceTriple(PB2Value& v, ParamStorage storage) {
  if (v.IsEmpty()) v = Point3();
  Point3 p;
  if (const Point3* q = v.GetIf<Point3>()) {
    p = *q;
  } else if (const Color* c = v.GetIf<Color>()) {
    p = Point3(c->r, c->g, c->b);
  } else {
    return false;
  }
  if (std::isnan(p.x) || std::isnan(p.y) || std::isnan(p.z)) return false;
  v = storage == ParamStorage::kColor ? PB2Value(Color(p)) : PB2Value(p);
  return true;
}

}  // namespace

bool CoerceParamValue(ParamType2 type, PB2Value& v) {
  PB2Value r = v;
  switch (StorageOf(type)) {
    case ParamStorage::kFloat:
      if (r.IsEmpty()) r = 0.0f;
      if (!CoerceFloat(r)) return false;
      break;
    case ParamStorage::kInt:
      if (r.IsEmpty()) r = 0;
      if (!r.Is<int>()) return false;
      if (BaseType(type) == TYPE_BOOL) r = r.Get<int>() != 0 ? 1 : 0;
      break;
    case ParamStorage::kColor:
    case ParamStorage::kPoint3:
      if (!CoerceTriple(r, StorageOf(type))) return false;
      break;
    case ParamStorage::kString:
      if (r.IsEmpty()) r = std::string();
      if (!r.Is<std::string>()) return false;
      break;
    case ParamStorage::kReference: {
      if (r.IsEmpty()) r = nullptr;
      if (!r.Is<ReferenceTarget*>()) return false;
      ReferenceTarget* target = r.Get<ReferenceTarget*>();
      SClass_ID super = RequiredSuperClass(type);
      if (target && super != 0 && target->SuperClassID() != super) return false;
      break;
    }
  }
  v = std::move(r);
  return true;
}

void ClampParamValue(const ParamDef& def, PB2Value& v) {
  const ParamRange& range = def.range;
  if (!range.Bounded()) return;
  if (float* f = v.GetIf<float>()) {
    *f = std::clamp(*f, range.min, range.max);
  } else if (int* i = v.GetIf<int>()) {
    if (BaseType(def.type) == TYPE_BOOL) return;
    double lo = std::ceil(static_cast<double>(range.min));
    double hi = std::floor(static_cast<double>(range.max));
    *i = static_cast<int>(std::clamp(static_cast<double>(*i), lo, hi));
  } else if (Point3* p = v.GetIf<Point3>()) {
    for (int c = 0; c < 3; ++c) (*p)[c] = std::clamp((*p)[c], range.min, range.max);
  } else if (Color* col = v.GetIf<Color>()) {
    for (int c = 0; c < 3; ++c) (*col)[c] = std::clamp((*col)[c], range.min, range.max);
  }
}
