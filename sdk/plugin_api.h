// What a plug-in module exports and what the host checks when it loads one.
// A module exports these five functions with C linkage:
//   const char* LibDescription();      a line describing the module
//   int LibNumberClasses();            how many class descriptors it has
//   ClassDesc* LibClassDesc(int i);    descriptor i (null outside 0..n-1)
//   unsigned long LibVersion();        the SDK version it was built against
//   int CanAutoDefer();                0: load it fully at start-up
// The host refuses a module whose LibVersion differs from its own.
#pragma once

#include "sdk/class_desc.h"

using ClassDesc = ClassDesc2;

// The SDK version: release in the high word, interface number and revision below.
inline constexpr unsigned long kSdkRelease = 1;
inline constexpr unsigned long kSdkApiNumber = 1;
inline constexpr unsigned long kSdkRevision = 0;
inline constexpr unsigned long VERSION_SDK = (kSdkRelease << 16) | (kSdkApiNumber << 8) | kSdkRevision;

// The version the host was built with.
inline unsigned long GetSDKVersion() { return VERSION_SDK; }

#define TARNIS_PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))

using LibDescriptionFn = const char* (*)();
using LibNumberClassesFn = int (*)();
using LibClassDescFn = ClassDesc* (*)(int);
using LibVersionFn = unsigned long (*)();
using CanAutoDeferFn = int (*)();
