// The pieces a parameter-block descriptor is declared from: parameter types
// and flags, the value holder PB2Value, ranges, UI descriptions, accessors and
// ParamDef, one parameter's definition. ParamBlockDesc2 (param_block_desc.h)
// holds a table of ParamDefs; IParamBlock2 (param_block.h) holds the values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "sdk/check.h"
#include "sdk/color.h"
#include "sdk/interval.h"
#include "sdk/points.h"

class ReferenceMaker;
class ReferenceTarget;

using ParamID = short;

// Parameter types. A table variant holds any number of values of its base
// type: TYPE_xxx_TAB == TYPE_xxx | TYPE_TAB.
enum ParamType2 : int {
  TYPE_FLOAT = 0,
  TYPE_INT = 1,
  TYPE_RGBA = 2,  // Color
  TYPE_POINT3 = 3,
  TYPE_BOOL = 4,       // stored as int 0 / 1
  TYPE_ANGLE = 5,      // float, in degrees
  TYPE_PCNT_FRAC = 6,  // float, as the user sees it (0..100)
  TYPE_WORLD = 7,      // float distance in scene units
  TYPE_STRING = 8,
  TYPE_FILENAME = 9,  // string
  TYPE_TEXMAP = 10,   // ReferenceTarget* of superclass TEXMAP_CLASS_ID
  TYPE_MTL = 11,      // ReferenceTarget* of superclass MATERIAL_CLASS_ID
  TYPE_INODE = 12,    // ReferenceTarget* of superclass BASENODE_CLASS_ID
  TYPE_REFTARG = 13,  // any ReferenceTarget*

  TYPE_TAB = 0x800,
  TYPE_FLOAT_TAB = TYPE_FLOAT | TYPE_TAB,
  TYPE_INT_TAB = TYPE_INT | TYPE_TAB,
  TYPE_RGBA_TAB = TYPE_RGBA | TYPE_TAB,
  TYPE_POINT3_TAB = TYPE_POINT3 | TYPE_TAB,
  TYPE_BOOL_TAB = TYPE_BOOL | TYPE_TAB,
  TYPE_ANGLE_TAB = TYPE_ANGLE | TYPE_TAB,
  TYPE_PCNT_FRAC_TAB = TYPE_PCNT_FRAC | TYPE_TAB,
  TYPE_WORLD_TAB = TYPE_WORLD | TYPE_TAB,
  TYPE_STRING_TAB = TYPE_STRING | TYPE_TAB,
  TYPE_FILENAME_TAB = TYPE_FILENAME | TYPE_TAB,
  TYPE_TEXMAP_TAB = TYPE_TEXMAP | TYPE_TAB,
  TYPE_MTL_TAB = TYPE_MTL | TYPE_TAB,
  TYPE_INODE_TAB = TYPE_INODE | TYPE_TAB,
  TYPE_REFTARG_TAB = TYPE_REFTARG | TYPE_TAB,
};

constexpr bool IsTabType(ParamType2 t) {
  return (t & TYPE_TAB) != 0;
}
constexpr ParamType2 BaseType(ParamType2 t) {
  return static_cast<ParamType2>(t & ~TYPE_TAB);
}

// How a parameter's values are held.
enum class ParamStorage { kFloat, kInt, kColor, kPoint3, kString, kReference };
ParamStorage StorageOf(ParamType2 type);
// Types that may carry a controller: float-like, int, bool, colour, Point3.
bool IsAnimatableType(ParamType2 type);
// A readable name of the type ("float", "rgba tab"...), for messages.
const char* ParamTypeName(ParamType2 type);

// Parameter flags.
// The parameter may carry a key-frame controller (IParamBlock2::MakeAnimated);
// only for animatable types.
inline constexpr uint32_t P_ANIMATABLE = 0x0001;
// A reference-typed parameter whose value lives in the owner's reference
// slot ParamDef::ownerRef: reading it answers owner->GetReference(ownerRef),
// setting it calls owner->ReplaceReference. Entry i of a table lives in slot
// ownerRef + i; such a table keeps its declared tabSize (it cannot grow or
// shrink). The owner saves and clones those references itself.
inline constexpr uint32_t P_OWNERS_REF = 0x0002;
// ParamBlockDesc2::SetDefaultsFrom leaves the parameter's default alone: new
// objects always start from the declared default, never a last-used value.
inline constexpr uint32_t P_RESET_DEFAULT = 0x0004;
// Block-descriptor flag: ClassDesc2::MakeAutoParamBlocks makes the block.
inline constexpr uint32_t P_AUTO_CONSTRUCT = 0x0100;

// A parameter value: nothing, int, float, Point3, Color, text or a reference
// target (not owned). Implicit constructors let a table of defaults read
// naturally (`.def = 1.0f`, `.def = Color(0, 0, 0)`, `.def = true`).
class PB2Value {
 public:
  using Storage =
      std::variant<std::monostate, int, float, Point3, Color, std::string, ReferenceTarget*>;

  PB2Value() = default;
  PB2Value(int v) : v_(v) {}
  PB2Value(bool v) : v_(v ? 1 : 0) {}
  PB2Value(float v) : v_(v) {}
  PB2Value(double v) : v_(static_cast<float>(v)) {}
  PB2Value(const Point3& v) : v_(v) {}
  PB2Value(const Color& v) : v_(v) {}
  PB2Value(std::string v) : v_(std::move(v)) {}
  PB2Value(const char* v) : v_(std::string(v ? v : "")) {}
  PB2Value(ReferenceTarget* v) : v_(v) {}
  PB2Value(std::nullptr_t) : v_(static_cast<ReferenceTarget*>(nullptr)) {}

  bool IsEmpty() const { return std::holds_alternative<std::monostate>(v_); }
  template <class T>
  bool Is() const {
    return std::holds_alternative<T>(v_);
  }
  // The value as T; holding another alternative is a broken contract.
  template <class T>
  const T& Get() const {
    TARNIS_CHECK(Is<T>()) << "PB2Value holds another type";
    return std::get<T>(v_);
  }
  template <class T>
  T* GetIf() {
    return std::get_if<T>(&v_);
  }
  template <class T>
  const T* GetIf() const {
    return std::get_if<T>(&v_);
  }
  const Storage& Value() const { return v_; }
  bool operator==(const PB2Value&) const = default;

 private:
  Storage v_;
};

// Converts v to how `type` holds its values: int to float for float-like
// types, Color and Point3 into each other, bool values to 0 / 1, an empty
// value to the type's zero. Answers false (v unchanged) for a value that does
// not fit: another kind, a NaN, a reference target of the wrong superclass.
bool CoerceParamValue(ParamType2 type, PB2Value& v);

// The allowed values of a numeric parameter (per component for colours and
// Point3s). The default range is unbounded.
struct ParamRange {
  float min = -std::numeric_limits<float>::infinity();
  float max = std::numeric_limits<float>::infinity();

  bool Bounded() const {
    return min > -std::numeric_limits<float>::infinity() ||
           max < std::numeric_limits<float>::infinity();
  }
};

// The control an editor shows for a parameter. Plain data: the SDK attaches
// no behaviour to it.
enum class ParamControl {
  kNone,
  kSpinner,
  kCheckbox,
  kColorSwatch,
  kMapButton,
  kNodeList,
  kCombo,
  kRadio,
  kEditText,
};

struct ParamUI {
  ParamControl control = ParamControl::kNone;
  std::vector<int> ctrlIds = {};  // dialog control ids (edit + spinner, radio buttons...)
  float spinnerScale = 0.1f;
  std::vector<std::string> items = {};  // combo and radio entries
};

// Hooks a class can attach to a parameter. Get is called after a value is
// read (it may change the value and narrow `valid`); Set is called before a
// value is stored, after range clamping (it may change the value; the result
// is clamped again). `owner` is the block's owner, possibly null.
class PBAccessor {
 public:
  virtual ~PBAccessor() = default;
  virtual void Get(PB2Value& /*v*/, ReferenceMaker* /*owner*/, ParamID /*id*/, int /*tabIndex*/,
                   TimeValue /*t*/, Interval& /*valid*/) {}
  virtual void Set(PB2Value& /*v*/, ReferenceMaker* /*owner*/, ParamID /*id*/, int /*tabIndex*/,
                   TimeValue /*t*/) {}
};

// One parameter. Declared as a designated-initializer table entry; every
// field has a default so entries name only what they need.
struct ParamDef {
  ParamID id = -1;
  std::string internalName = "";
  ParamType2 type = TYPE_FLOAT;
  uint32_t flags = 0;
  PB2Value def = {};        // value of a new block (empty: the type's zero)
  PB2Value scriptDef = {};  // default offered to scripts (empty: same as def)
  ParamRange range = {};
  int ownerRef = -1;  // owner's reference slot for P_OWNERS_REF
  PBAccessor* accessor = nullptr;
  int tabSize = 0;  // entries of a new block's table
  ParamUI ui = {};
};

// Clamps a value already coerced to def.type into def.range.
void ClampParamValue(const ParamDef& def, PB2Value& v);
