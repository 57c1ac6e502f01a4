// PluginClassDesc<T>: the class descriptor of one of the plug-in's classes,
// made from what PluginClassTraits<T> states about the class. Each class
// specialises the traits beside its own header and defines its getter
// (`GetBrushDesc()`...) as `PluginClassDesc<T>::Get()`:
//
//   template <>
//   struct PluginClassTraits<Brush> {
//     static constexpr bool kPublic = false;             // offered in the host's lists
//     static constexpr const char* kInternalName = "Tarnis_LineBrush";
//     static constexpr int kClassNameId = kStrBrushClassName;  // or: const char* kClassName
//     static constexpr SClass_ID kSuperClassID = TEXMAP_CLASS_ID;
//     static constexpr Class_ID kClassID = kBrushClassID;
//     static constexpr const char* kCategory = "";
//     static void BindBlocks(ClassDesc2* cd);            // optional
//   };
//
// T is made as `new T(loading)`, or `new T` when it has no such constructor.
#pragma once

#include <new>
#include <type_traits>

#include "sdk/class_desc.h"
#include "sdk/reference.h"
#include "tarnis/resources/string_table.h"

namespace tarnis {

template <class T>
struct PluginClassTraits;

template <class T>
class PluginClassDesc final : public ClassDesc2 {
  using Traits = PluginClassTraits<T>;

 public:
  // The one descriptor of T, with T's parameter blocks bound to it on first
  // use (blocks are bound before any caller sees the descriptor).
  static PluginClassDesc* Get() {
    static PluginClassDesc* const desc = [] {
      static PluginClassDesc instance;
      if constexpr (requires(ClassDesc2 * cd) { Traits::BindBlocks(cd); }) {
        Traits::BindBlocks(&instance);
      }
      return &instance;
    }();
    return desc;
  }

  int IsPublic() override { return Traits::kPublic ? 1 : 0; }

  // A new T (as a ReferenceTarget*), or null when memory runs out.
  void* Create(bool loading) override {
    try {
      if constexpr (std::is_constructible_v<T, bool>) {
        return static_cast<ReferenceTarget*>(new T(loading));
      } else {
        return static_cast<ReferenceTarget*>(new T);
      }
    } catch (const std::bad_alloc&) {
      return nullptr;
    }
  }

  // The string-table text of kClassNameId (empty when missing), or the fixed
  // kClassName. Stays valid for the whole run: the text itself, not the
  // shared lookup buffer that the next lookup would overwrite.
  const char* ClassName() override {
    if constexpr (requires { Traits::kClassNameId; }) {
      const char* text = FindString(Traits::kClassNameId);
      return text ? text : "";
    } else {
      return Traits::kClassName;
    }
  }

  SClass_ID SuperClassID() override { return Traits::kSuperClassID; }
  Class_ID ClassID() override { return Traits::kClassID; }
  const char* Category() override { return Traits::kCategory; }
  const char* InternalName() override { return Traits::kInternalName; }
  ModuleHandle HInstance() override { return GetModuleHandle(); }

 private:
  PluginClassDesc() = default;
};

}  // namespace tarnis
