// The plug-in's user-interface texts, looked up by number. GetString copies
// the text into one shared buffer of 256 characters and answers it (valid
// until the next lookup; copy it into a CStr to keep it), or null when the
// module handle is not known yet or the number has no text. Callers treat
// null as empty text.
#pragma once

#include "sdk/class_desc.h"

namespace tarnis {

// The module handle stored by the load routine; lookups need it.
void SetModuleHandle(ModuleHandle handle);
ModuleHandle GetModuleHandle();

const char* GetString(int id);

// The text of a number without going through the shared buffer (null when missing).
const char* FindString(int id);

}  // namespace tarnis
