// The plug-in's user-interface texts, looked up by number (the numbers are
// named in string_ids.h). The texts are English; other languages come from
// the message catalogue of the text domain "tarnis" (GNU gettext), chosen by
// the process's LC_MESSAGES locale and LANGUAGE. The catalogue is looked for beside the installed
// module
// (../../../share/locale from lib/tarnis/plugins) and then in the build tree.
//
// GetString copies the text into one shared buffer of 256 characters and
// answers it (valid until the next lookup; copy it into a CStr to keep it),
// or null when the module handle is not known yet or the number has no text.
// Callers treat null as empty text.
#pragma once

#include "sdk/class_desc.h"
#include "tarnis/resources/string_ids.h"

namespace tarnis {

// The gettext text domain of the plug-in's messages.
inline constexpr const char* kTextDomain = "tarnis";

// The module handle stored by the load routine; lookups need it.
void SetModuleHandle(ModuleHandle handle);
ModuleHandle GetModuleHandle();

const char* GetString(int id);

// The translated text of a number without going through the shared buffer
// (null when missing). The text stays valid while the process runs.
const char* FindString(int id);

}  // namespace tarnis
