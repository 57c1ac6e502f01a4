// Output file names for frames and render elements, and the writing of them.
#include "host/frame_writer.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <set>

#include "host/image_io.h"

namespace host {

namespace fs = std::filesystem;

namespace {

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

std::string FrameNumber(int frame) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d", frame);
  return buf;
}

}  // namespace

std::string FramePath(const std::string& output, int frame, bool sequence) {
  if (!sequence) return output;
  fs::path p(output);
  fs::path name = p.stem().string() + FrameNumber(frame) + p.extension().string();
  return (p.parent_path() / name).string();
}

std::string ElementPath(const std::string& output, const std::string& element, int frame,
                        bool sequence) {
  fs::path p(output);
  std::string name = p.stem().string() + "_" + element;
  if (sequence) name += FrameNumber(frame);
  return (p.parent_path() / (name + ".png")).string();
}

std::string ElementFileName(const std::string& name) {
  std::string out = name;
  for (char& c : out) {
    bool keep = std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_';
    if (!keep) c = '_';
  }
  return out.empty() ? "element" : out;
}

std::unique_ptr<FrameWriter> FrameWriter::Create(const Options& options, std::string* error) {
  auto fail = [&](const std::string& message) {
    if (error) *error = message;
    return nullptr;
  };
  fs::path p(options.output);
  if (options.output.empty() || !p.has_filename()) return fail("no output file name given");
  std::string ext = Lower(p.extension().string());
  ImageFormat format;
  if (ext == ".png") {
    format = ImageFormat::kPng;
  } else if (ext == ".exr") {
    format = ImageFormat::kExr;
  } else {
    return fail(options.output + ": the output file must end in .png or .exr");
  }
  if (options.bits != 8 && options.bits != 16) {
    return fail("--bits " + std::to_string(options.bits) + ": PNG files have 8 or 16 bits");
  }
  if (options.lastFrame < options.firstFrame) return fail("the last frame comes before the first");
  // A device node or read-only file is refused before anything is rendered.
  std::string problem;
  const bool sequence = options.firstFrame != options.lastFrame;
  if (!CheckWritable(FramePath(options.output, options.firstFrame, sequence), &problem))
    return fail(problem);
  return std::unique_ptr<FrameWriter>(new FrameWriter(options, format));
}

bool MakeFolderFor(const std::string& file, std::string* error) {
  fs::path folder = fs::path(file).parent_path();
  if (folder.empty()) return true;
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) {
    if (error) *error = folder.string() + ": cannot make the output folder (" + ec.message() + ")";
    return false;
  }
  return true;
}

bool FrameWriter::WriteFrame(const FrameResult& frame, std::string* error) {
  std::string path = FramePath(options_.output, frame.frame, Sequence());
  if (!MakeFolderFor(path, error)) return false;
  FileBatch batch;
  const bool staged = format_ == ImageFormat::kPng ? WritePngs(frame, path, batch, error)
                                                   : WriteExrFile(frame, path, batch, error);
  if (!staged || (more_ && !more_(frame.frame, batch, error)) || !batch.Commit(error)) return false;
  written_.insert(written_.end(), batch.Targets().begin(), batch.Targets().end());
  return true;
}

bool FrameWriter::WritePngs(const FrameResult& frame, const std::string& path, FileBatch& batch,
                            std::string* error) {
  if (!WritePng(path, frame.image, options_.bits, error, &batch)) return false;
  // Two elements of one name would overwrite each other: later ones get "_2", "_3" ...
  std::set<std::string> used;
  for (const ElementImage& e : frame.elements) {
    std::string base = ElementFileName(e.element ? e.element->ElementName() : "");
    std::string name = base;
    for (int n = 2; !used.insert(name).second; ++n) name = base + "_" + std::to_string(n);
    std::string file = ElementPath(options_.output, name, frame.frame, Sequence());
    if (!WritePng(file, e.image, options_.bits, error, &batch)) return false;
  }
  return true;
}

bool FrameWriter::WriteExrFile(const FrameResult& frame, const std::string& path, FileBatch& batch,
                               std::string* error) {
  std::vector<ExrLayer> layers{{"", &frame.image}};
  for (const ElementImage& e : frame.elements) {
    layers.push_back({e.element ? e.element->ElementName() : "", &e.image});
  }
  return WriteExr(path, layers, error, &batch);
}

}  // namespace host
