#include "tarnis/line/effect/line_setting_class_desc.h"

#include <new>

#include "tarnis/line/effect/line_setting.h"
#include "tarnis/resources/string_table.h"

namespace tarnis {

void* LineSettingClassDesc::Create(bool loading) {
  try {
    return static_cast<ReferenceTarget*>(new LineSetting(loading));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

const char* LineSettingClassDesc::ClassName() {
  // The text itself rather than the shared lookup buffer, which the next
  // lookup would overwrite.
  const char* text = FindString(136);
  return text ? text : "";
}

Class_ID LineSettingClassDesc::ClassID() {
  return kLineSettingClassID;
}

ModuleHandle LineSettingClassDesc::HInstance() {
  return GetModuleHandle();
}

LineSettingClassDesc* GetLineSettingDesc() {
  static LineSettingClassDesc* const desc = [] {
    static LineSettingClassDesc instance;
    BindLineSettingBlock(&instance);
    return &instance;
  }();
  return desc;
}

}  // namespace tarnis
