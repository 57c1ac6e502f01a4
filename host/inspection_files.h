// InspectionFiles: the files plug-ins write for inspection beside the
// rendered images (the line engine's edge dump), asked for by kind. While a
// frame renders, a plug-in is given a path in a private staging folder; once
// the frame has succeeded, its files join the frame's batch of outputs and
// replace their targets together with the images. A frame that fails, and a
// run that stops, leave every target as it was.
#pragma once

#include <map>
#include <mutex>
#include <string>

#include "sdk/atomic_file.h"

namespace host {

class InspectionFiles {
 public:
  InspectionFiles() = default;
  InspectionFiles(const InspectionFiles&) = delete;
  InspectionFiles& operator=(const InspectionFiles&) = delete;
  // Removes the staging folder with anything left in it.
  ~InspectionFiles();

  // Asks for `kind` at `path` (empty: no longer); in a sequence each frame's
  // file gets the frame number like the frame images. False with a message
  // when `path` may not be written (a device, a folder, a read-only file) or
  // no staging folder can be made.
  bool Set(const std::string& kind, const std::string& path, bool sequence, std::string* error);
  // Where a plug-in writes `kind` for `frame`: a staging path whose file
  // name is the target's (a plug-in may put more files beside it, named
  // from it); empty when `kind` was not asked for or no staging folder can
  // be made.
  std::string PathFor(const char* kind, int frame);
  // Adds the files staged for `frame` to `batch` under their target names,
  // making missing folders; false with a message naming the file, also when
  // a path was handed out for the frame and nothing was written there.
  bool Take(int frame, FileBatch& batch, std::string* error);

 private:
  struct Request {
    std::string path;
    bool sequence = false;
  };
  std::mutex mutex_;
  std::map<std::string, Request> requests_;
  std::string stagingDir_;
  // Per staging folder handed out (one a frame and kind), the target path;
  // files a plug-in puts beside the staged one go beside the target.
  std::map<std::string, std::string> targets_;
};

}  // namespace host
