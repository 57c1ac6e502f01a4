// Saved scenes (*.tscene): the host's own binary format. After an 8-byte
// signature and a version, a settings chunk (render settings, environment)
// and one reference graph holding the root node, the render-effect list, the
// render elements, the material library and the camera node, with every
// object's own chunks, parameter blocks, controllers and references (sharing
// and cycles kept). Objects of classes that are not loaded come back as
// opaque objects and are written out again unchanged.
//
// Opening, saving and merging raise the file notifications plug-ins listen
// for (see each function). Saving writes a temporary file and renames it, so
// an interrupted save never damages the previous file.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "host/scene.h"

namespace host {

inline constexpr char kSceneSignature[8] = {'T', 'A', 'R', 'N', 'I', 'S', 'S', 'C'};
inline constexpr uint32_t kSceneFileVersion = 1;

// The file's bytes for `scene`; NOTIFY_FILE_PRE_SAVE / POST_SAVE are raised
// around it by SaveSceneFile, not here.
bool SerializeScene(Scene& scene, std::vector<uint8_t>& bytes, std::string* error);
// A scene from bytes (no notifications); null with a message naming `name`.
std::unique_ptr<Scene> DeserializeScene(std::span<const uint8_t> bytes, const std::string& name,
                                        std::vector<std::string>* warnings, std::string* error);

// Raises NOTIFY_FILE_PRE_SAVE (13), writes, raises NOTIFY_FILE_POST_SAVE (14)
// whether or not the write succeeded.
bool SaveSceneFile(Scene& scene, const std::string& path, std::string* error);

// Raises NOTIFY_FILE_PRE_OPEN (9), clears the undo history, reads the file,
// raises NOTIFY_FILE_POST_OPEN (10) whether or not it could be read.
std::unique_ptr<Scene> OpenSceneFile(const std::string& path, std::vector<std::string>* warnings,
                                     std::string* error);

// Merges the nodes of each file (with everything they reference, and the
// file's material library) into `scene`; the files' render effects, render
// elements, camera and settings are not merged. Notifications:
//   NOTIFY_MERGE_BATCH_BEGIN (103) before the first file and
//   NOTIFY_MERGE_BATCH_END (104) after the last;
//   per file NOTIFY_FILE_PRE_MERGE (11), then the merge, then
//   NOTIFY_MERGE_HANDLED (101) when the file brought no nodes (it could not
//   be read, or had none: there is nothing for merge handlers to do), then
//   NOTIFY_FILE_POST_MERGE (12).
// While saving and merging, a HostInterface installed as the core
// interface works on `scene`, so handlers of these notifications see it.
// Answers the number of nodes merged; messages of unreadable files go to
// `errors` (the other files are still merged).
int MergeSceneFiles(Scene& scene, std::span<const std::string> paths,
                    std::vector<std::string>* warnings, std::vector<std::string>* errors);

// Empties the scene for a new one: NOTIFY_SYSTEM_PRE_NEW (7), the contents
// and the undo history are dropped, NOTIFY_SYSTEM_POST_NEW (8). Render
// settings and environment are kept.
void NewScene(Scene& scene);
// Like NewScene, and settings and environment go back to their defaults:
// NOTIFY_SYSTEM_PRE_RESET (5) and NOTIFY_SYSTEM_POST_RESET (6).
void ResetScene(Scene& scene);

}  // namespace host
