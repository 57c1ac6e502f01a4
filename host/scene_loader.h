// Reading scene descriptions (*.json): the fixed structure (render settings,
// environment, camera, lights, nodes with meshes, transforms and groups) is
// read here; materials, maps, effects and render elements are generic
// objects made by the ObjectBinder (param_binder.h). Relative mesh and
// texture paths are relative to the scene file's folder. The scene frame rate
// is set from render.fps, before any key frame is read.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/scene.h"

namespace host {

// Frame numbers stay within -kMaxFrame..kMaxFrame, so that their times in
// ticks fit at any frame rate.
inline constexpr int kMaxFrame = 100000;

// Loads a scene description. On failure answers null and sets `error` to one
// line naming the file, the JSON path and what was expected; nothing of the
// scene is kept. Warnings (clamped values and the like) are appended to
// `warnings` when given, each once. Like opening a saved scene, it raises
// NOTIFY_FILE_PRE_OPEN (9), clears the undo history, reads the file and
// raises NOTIFY_FILE_POST_OPEN (10) whether or not it could be read; the
// scene is then built from what was read the way a user's edits would build
// it, so plug-ins that keep values in step (and hold that back while stored
// values are read) do so for the description's values.
std::unique_ptr<Scene> LoadSceneFile(const std::string& path, std::vector<std::string>* warnings,
                                     std::string* error);

// The same for text in memory; `path` names it in messages and gives the
// folder that relative file names are relative to.
std::unique_ptr<Scene> LoadSceneText(const std::string& text, const std::string& path,
                                     std::vector<std::string>* warnings, std::string* error);

}  // namespace host
