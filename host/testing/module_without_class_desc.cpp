// A plug-in module for the loader tests that lacks the LibClassDesc entry point.
#include "sdk/plugin_api.h"

TARNIS_PLUGIN_EXPORT const char* LibDescription() { return "incomplete test module"; }
TARNIS_PLUGIN_EXPORT int LibNumberClasses() { return 0; }
TARNIS_PLUGIN_EXPORT unsigned long LibVersion() { return GetSDKVersion(); }
TARNIS_PLUGIN_EXPORT int CanAutoDefer() { return 0; }
