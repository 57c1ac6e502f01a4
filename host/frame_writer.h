// FrameWriter: the FrameSink that writes rendered frames to image files. The
// output name's extension picks the format: .png (8 or 16 bits a channel) or
// .exr (half float). A sequence (first frame != last) puts the frame number,
// four digits, before the extension: out/shot.png -> out/shot0007.png.
// Render elements go into the same EXR file as further layers, or beside a
// PNG as "<stem>_<ElementName><frame>.png". The output folder is made when
// missing; every file is complete or not there (image_io writes through a
// temporary file).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/renderer.h"

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

class FrameWriter : public FrameSink {
 public:
  struct Options {
    std::string output;  // e.g. "out/shot.png"
    int firstFrame = 0, lastFrame = 0;
    int bits = 8;  // PNG only: 8 or 16
  };

  // Checks the options (a .png or .exr name, 8 or 16 bits); null with one
  // line in `error` otherwise.
  static std::unique_ptr<FrameWriter> Create(const Options& options, std::string* error);

  bool WriteFrame(const FrameResult& frame, std::string* error) override;

  ImageFormat Format() const { return format_; }
  // The files written so far, in order.
  const std::vector<std::string>& Written() const { return written_; }

 private:
  FrameWriter(Options options, ImageFormat format)
      : options_(std::move(options)), format_(format) {}
  bool Sequence() const { return options_.firstFrame != options_.lastFrame; }
  bool MakeFolder(const std::string& file, std::string* error) const;
  bool WritePngs(const FrameResult& frame, const std::string& path, std::string* error);
  bool WriteExrFile(const FrameResult& frame, const std::string& path, std::string* error);

  Options options_;
  ImageFormat format_;
  std::vector<std::string> written_;
};

}  // namespace host
