// Feeds arbitrary text to the scene-description reader with the host's and
// the plug-in's classes known, so that the JSON layer, the fixed structure,
// the generic parameter binder and the range checks meet hostile input.
// Every input must load or be refused with a message; a crash, a sanitizer
// report or a leak is a bug. With TARNIS_FUZZ_WRITE_SEED=PATH set, writes a
// scene description using every part of the format to PATH and exits.
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "host/host_classes.h"
#include "host/scene_loader.h"
#include "sdk/hold.h"
#include "tarnis/plugin/class_table.h"

namespace {

constexpr const char* kSeed = R"({
  "tarnis": 1,
  "render": {"width": 32, "height": 24, "frames": [0, 2], "fps": 24, "samples": 2},
  "environment": {"background": [0.1, 0.2, 0.3], "ambient": [0.2, 0.2, 0.2]},
  "camera": {"type": "perspective", "position": [0, -6, 2], "target": [0, 0, 0], "fov": 40,
             "near": 0.1, "far": 100},
  "lights": [{"name": "Key", "type": "spot", "position": [2, -4, 4], "hotspot": 30,
              "falloff": 40, "multiplier": 1.2, "shadows": true}],
  "materials": [{"name": "Check", "class": "Checker"},
                {"name": "M", "class": "Standard", "params": {"diffuse": [0.9, 0.5, 0.2],
                 "diffuseMap": "Check"}}],
  "nodes": [{"name": "Box", "mesh": {"primitive": "box", "size": [2, 2, 2]}, "material": "M",
             "position": {"keys": [[0, [0, 0, 0]], [2, [1, 0, 0]]]}, "rotation": [0, 0, 30]},
            {"name": "Ball", "mesh": {"primitive": "sphere", "radius": 1, "segments": 12},
             "visibility": 0.5, "objectID": 3},
            {"name": "Group01", "group": true, "children": ["Box"]}],
  "effects": [{"class": "Tarnis_Line", "params": {"main": {"overSampling": 2}},
    "refs": {"1": {"class": "Tarnis_LineSet",
                   "params": {"main": {"name": "Outlines", "objects": ["Group01"], "mtls": ["M"]},
                              "type1": {"lineSize1": 2.0, "edgeIsect1": true}}}}}]
})";

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  host::RegisterHostClasses();
  for (ClassDesc2* cd : tarnis::ClassTable()) GetClassDirectory().AddClass(cd);
  if (const char* seed = std::getenv("TARNIS_FUZZ_WRITE_SEED")) {
    std::ofstream out(seed, std::ios::binary);
    out << kSeed;
    std::exit(out ? 0 : 1);
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> warnings;
  std::string error;
  // Files the input names are looked for beside a scene in a folder that does not exist.
  auto scene = host::LoadSceneText(text, "/nonexistent/fuzz/input.json", &warnings, &error);
  if (!scene && error.empty()) std::abort();
  scene.reset();
  theHold.Reset();
  return 0;
}
