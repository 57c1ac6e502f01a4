// Class identity: Class_ID is the two 32-bit words that name a class;
// SClass_ID is the number of its superclass (the host role it plays).
#pragma once

#include <cstdint>
#include <functional>

using SClass_ID = uint32_t;

class Class_ID {
 public:
  constexpr Class_ID() = default;
  constexpr Class_ID(uint32_t a, uint32_t b) : a_(a), b_(b) {}

  constexpr uint32_t PartA() const { return a_; }
  constexpr uint32_t PartB() const { return b_; }
  constexpr bool operator==(const Class_ID&) const = default;
  constexpr auto operator<=>(const Class_ID&) const = default;

 private:
  uint32_t a_ = 0xFFFFFFFF;
  uint32_t b_ = 0xFFFFFFFF;
};

template <>
struct std::hash<Class_ID> {
  size_t operator()(const Class_ID& id) const noexcept {
    return std::hash<uint64_t>()((uint64_t{id.PartA()} << 32) | id.PartB());
  }
};

// Superclass numbers.
inline constexpr SClass_ID GEN_DERIVOB_CLASS_ID = 0x0002;
inline constexpr SClass_ID BASENODE_CLASS_ID = 0x0001;
inline constexpr SClass_ID GEOMOBJECT_CLASS_ID = 0x0010;
inline constexpr SClass_ID CAMERA_CLASS_ID = 0x0020;
inline constexpr SClass_ID LIGHT_CLASS_ID = 0x0030;
inline constexpr SClass_ID HELPER_CLASS_ID = 0x0050;
inline constexpr SClass_ID PARAMETER_BLOCK2_CLASS_ID = 0x0082;
inline constexpr SClass_ID REF_MAKER_CLASS_ID = 0x0100;
inline constexpr SClass_ID REF_TARGET_CLASS_ID = 0x0200;
inline constexpr SClass_ID MATERIAL_CLASS_ID = 0x0C00;
inline constexpr SClass_ID TEXMAP_CLASS_ID = 0x0C10;
inline constexpr SClass_ID UVGEN_CLASS_ID = 0x0C20;
inline constexpr SClass_ID RENDER_EFFECT_CLASS_ID = 0x1090;
inline constexpr SClass_ID SHADER_CLASS_ID = 0x10B0;
inline constexpr SClass_ID RENDER_ELEMENT_CLASS_ID = 0x1150;
inline constexpr SClass_ID CTRL_FLOAT_CLASS_ID = 0x9003;
inline constexpr SClass_ID CTRL_POINT3_CLASS_ID = 0x900B;
inline constexpr SClass_ID CTRL_MATRIX3_CLASS_ID = 0x9008;

// Classes the SDK itself provides.
inline constexpr Class_ID PARAMBLOCK2_CLASS_ID(0x0082, 0);
inline constexpr Class_ID CURVE_CONTROL_CLASS_ID(0x14585773, 0x483A7DCF);
// The host's standard material (NewDefaultStdMat makes one through the class
// directory).
inline constexpr Class_ID STANDARD_MATERIAL_CLASS_ID(0x6A170105, 0x2B4E0002);
// The host's standard texture-coordinate generator (NewDefaultStdUVGen makes
// one through the class directory).
inline constexpr Class_ID STANDARD_UVGEN_CLASS_ID(0x6A170101, 0x2B4E0002);
// The host's standard reflect/refract map (NewDefaultStdCubic makes one
// through the class directory).
inline constexpr Class_ID STANDARD_CUBIC_CLASS_ID(0x6A170107, 0x2B4E0002);
