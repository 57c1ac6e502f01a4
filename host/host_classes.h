// RegisterHostClasses: puts the host's own object classes (materials,
// shaders, maps, coordinate generators, and the scene's nodes, meshes,
// cameras and lights for saved scenes) into the process-wide class
// directory, so scene descriptions and saved scenes can make them by name or
// id. The SDK's classes are there already (GetClassDirectory adds them).
#pragma once

namespace host {

// Safe to call any number of times, from one thread; the classes are added once.
void RegisterHostClasses();

}  // namespace host
