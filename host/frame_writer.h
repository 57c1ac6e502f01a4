// FrameWriter: the FrameSink that writes rendered frames to image files. The
// output name's extension picks the format: .png (8 or 16 bits a channel) or
// .exr (half float). A sequence (first frame != last) puts the frame number,
// four digits, before the extension: out/shot.png -> out/shot0007.png.
// Render elements go into the same EXR file as further layers, or beside a
// PNG as "<stem>_<ElementName><frame>.png". The output folder is made when
// missing; every file is complete or not there: the files of a frame are
// written in full to temporary files first and replace their targets
// together, so a frame that fails leaves the files of earlier runs as they
// were. Only new paths and writable regular files are written (symbolic
// links are written through); anything else is refused.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/renderer.h"
#include "sdk/atomic_file.h"

namespace host {

enum class ImageFormat { kPng, kExr };

// The path of frame `frame`'s image.
std::string FramePath(const std::string& output, int frame, bool sequence);
// The path of a render element's PNG beside the frame's image; `element`
// is the name as the file shows it (see ElementFileName).
std::string ElementPath(const std::string& output, const std::string& element, int frame,
                        bool sequence);
// An element name made safe for a file name: letters, digits, '-' and '_'
// are kept, anything else becomes '_'; empty becomes "element".
std::string ElementFileName(const std::string& name);
// Makes the folder that will hold `file` when it is missing; false with a
// message naming the folder.
bool MakeFolderFor(const std::string& file, std::string* error);

class FrameWriter : public FrameSink {
 public:
  struct Options {
    std::string output;  // e.g. "out/shot.png"
    int firstFrame = 0, lastFrame = 0;
    int bits = 8;  // PNG only: 8 or 16
  };

  // Checks the options (a .png or .exr name, 8 or 16 bits, a first frame's
  // image that may be written); null with one line in `error` otherwise.
  static std::unique_ptr<FrameWriter> Create(const Options& options, std::string* error);

  // More files of a frame, added to the frame's batch so they replace their
  // targets together with the images (an edge dump, say); false with a
  // message fails the frame.
  using MoreFiles = std::function<bool(int frame, FileBatch& batch, std::string* error)>;
  void AlsoWrite(MoreFiles more) { more_ = std::move(more); }

  bool WriteFrame(const FrameResult& frame, std::string* error) override;

  ImageFormat Format() const { return format_; }
  // The files written so far, in order.
  const std::vector<std::string>& Written() const { return written_; }

 private:
  FrameWriter(Options options, ImageFormat format)
      : options_(std::move(options)), format_(format) {}
  bool Sequence() const { return options_.firstFrame != options_.lastFrame; }
  bool WritePngs(const FrameResult& frame, const std::string& path, FileBatch& batch,
                 std::string* error);
  bool WriteExrFile(const FrameResult& frame, const std::string& path, FileBatch& batch,
                    std::string* error);

  Options options_;
  ImageFormat format_;
  MoreFiles more_;
  std::vector<std::string> written_;
};

}  // namespace host
