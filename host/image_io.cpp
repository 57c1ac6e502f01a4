// Image files through libpng, libjpeg-turbo and OpenEXR. libpng and libjpeg
// report errors by longjmp, so each decoder and encoder keeps its state
// (buffers included) in a struct owned by the caller and runs the library
// calls in a function that holds no C++ objects of its own: a longjmp then
// skips no destructor, and the caller's struct frees everything normally.
#include "host/image_io.h"

#include <fcntl.h>
#include <jerror.h>
#include <jpeglib.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfIO.h>
#include <ImfInputFile.h>
#include <ImfOutputFile.h>
#include <half.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <stdexcept>
#include <system_error>

#include "sdk/atomic_file.h"

namespace host {
namespace {

bool Fail(std::string* error, const std::string& path, const std::string& problem) {
  if (error) *error = path + ": " + problem;
  return false;
}

bool TooLarge(uint64_t width, uint64_t height) {
  const auto limit = static_cast<uint64_t>(kMaxImagePixels);
  return width > limit || height > limit || width * height > limit;
}

// Non-finite values would turn every filtered lookup that touches them into NaN.
float Finite(float v) {
  return std::isfinite(v) ? v : 0.0f;
}

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// The power of two an image's sides are divided by so that neither exceeds
// `maxSide` (0: no limit).
int ReductionFactor(int64_t width, int64_t height, int maxSide) {
  int factor = 1;
  while (maxSide > 0 && std::max(width, height) > int64_t{maxSide} * factor && factor < (1 << 20))
    factor *= 2;
  return factor;
}

// Box-filters rows, as a decoder delivers them top to bottom, into an image
// `factor` times smaller on each side, so the full-size image is never held.
class ImageReducer {
 public:
  ImageReducer(int64_t width, int64_t height, int factor)
      : width_(width), height_(height), factor_(factor) {
    image_.width = static_cast<int>((width + factor - 1) / factor);
    image_.height = static_cast<int>((height + factor - 1) / factor);
    image_.pixels.reserve(size_t(image_.width) * size_t(image_.height));
    sums_.assign(static_cast<size_t>(image_.width), AColor(0, 0, 0, 0));
  }
  // Adds the next row; pixel(x) answers its colour at column x.
  template <class Pixel>
  void AddRow(Pixel&& pixel) {
    for (int64_t x = 0; x < width_; ++x) sums_[static_cast<size_t>(x / factor_)] += pixel(x);
    EndRow();
  }
  // Adds the next row as integer samples, `channels` (3 or 4, alpha last) a
  // pixel, each read as sample / maxValue. Sums each block of the row in
  // integers first: a file's pixels cost an add each.
  template <class Sample>
  void AddSamples(const Sample* row, int channels, float maxValue) {
    for (size_t out = 0; out < sums_.size(); ++out) {
      const int64_t x0 = static_cast<int64_t>(out) * factor_;
      const int64_t n = std::min<int64_t>(factor_, width_ - x0);
      uint64_t sum[4] = {0, 0, 0, 0};
      const Sample* p = row + x0 * channels;
      for (int64_t k = 0; k < n; ++k, p += channels) {
        for (int c = 0; c < channels; ++c) sum[c] += p[c];
      }
      if (channels == 3) sum[3] = static_cast<uint64_t>(n * maxValue);
      // Divided, not multiplied by the reciprocal: at full resolution every
      // value comes out exactly as v / max.
      sums_[out] +=
          AColor(static_cast<float>(sum[0]) / maxValue, static_cast<float>(sum[1]) / maxValue,
                 static_cast<float>(sum[2]) / maxValue, static_cast<float>(sum[3]) / maxValue);
    }
    EndRow();
  }
  int64_t Width() const { return width_; }
  FloatImage Take() { return std::move(image_); }

 private:
  void EndRow() {
    ++rows_;
    if (rows_ % factor_ == 0 || rows_ == height_) EmitRow();
  }
  void EmitRow() {
    const int64_t rowsIn = (rows_ - 1) % factor_ + 1;
    for (size_t x = 0; x < sums_.size(); ++x) {
      const int64_t columns =
          std::min<int64_t>(factor_, width_ - static_cast<int64_t>(x) * factor_);
      image_.pixels.push_back(sums_[x] * (1.0f / static_cast<float>(columns * rowsIn)));
      sums_[x] = AColor(0, 0, 0, 0);
    }
  }

  int64_t width_, height_, rows_ = 0;
  int factor_;
  std::vector<AColor> sums_;
  FloatImage image_;
};

// ---------------------------------------------------------------------------
// PNG

// Deflate packs at most 258 bytes into 2 bits, so no PNG holds more than
// about 1032 bytes of pixel data per byte of file; a header claiming more is
// refused before the pixels are allocated.
constexpr uint64_t kMaxDeflateRatio = 1100;

// The bytes of decompressed pixel data a non-interlaced PNG holds: each row
// starts with a filter byte.
uint64_t RawPngBytes(uint64_t width, uint64_t height, uint64_t channels, uint64_t depth) {
  return height * (1 + (width * channels * depth + 7) / 8);
}

struct PngReadState {
  FILE* file = nullptr;
  uint64_t fileSize = 0;
  std::string problem;
  png_structp png = nullptr;
  png_infop info = nullptr;
  png_uint_32 width = 0, height = 0;
  int bytesPerChannel = 1;
  int channels = 4;  // RGB or RGBA after the transforms
  int maxSide = 0;
  std::vector<png_byte> data;
  std::vector<png_bytep> rows;
  std::optional<ImageReducer> reducer;

  ~PngReadState() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

void PngReadError(png_structp png, png_const_charp message) {
  auto* state = static_cast<PngReadState*>(png_get_error_ptr(png));
  if (state->problem.empty()) state->problem = std::string("invalid PNG data (") + message + ")";
  png_longjmp(png, 1);
}

void PngIgnoreWarning(png_structp, png_const_charp) {}

void PngReadData(png_structp png, png_bytep data, size_t length) {
  auto* state = static_cast<PngReadState*>(png_get_io_ptr(png));
  if (std::fread(data, 1, length, state->file) != length) {
    state->problem = std::ferror(state->file) ? "read error" : "truncated";
    png_error(png, state->problem.c_str());
  }
}

// One decoded RGBA row of 8 or 16 bit (native byte order) into the reducer.
void AddPngRow(PngReadState& state, const png_byte* row) {
  if (state.bytesPerChannel == 2) {
    state.reducer->AddSamples(reinterpret_cast<const uint16_t*>(row), state.channels, 65535.0f);
  } else {
    state.reducer->AddSamples(row, state.channels, 255.0f);
  }
}

// Decodes row by row into state.reducer.
bool DecodePng(PngReadState& state) {
  if (setjmp(png_jmpbuf(state.png))) return false;
  png_set_read_fn(state.png, &state, PngReadData);
  png_read_info(state.png, state.info);
  int depth = 0, colorType = 0;
  png_get_IHDR(state.png, state.info, &state.width, &state.height, &depth, &colorType, nullptr,
               nullptr, nullptr);
  if (TooLarge(state.width, state.height)) {
    state.problem = "image too large (" + std::to_string(state.width) + " x " +
                    std::to_string(state.height) + ")";
    return false;
  }
  if (RawPngBytes(state.width, state.height, png_get_channels(state.png, state.info), depth) >
      kMaxDeflateRatio * state.fileSize) {
    state.problem = "truncated (too short for a " + std::to_string(state.width) + " x " +
                    std::to_string(state.height) + " image)";
    return false;
  }
  // Palette to RGB, grey below 8 bit to 8 bit, a transparent colour to alpha.
  png_set_expand(state.png);
  png_set_gray_to_rgb(state.png);
  // Without alpha, rows stay RGB: the reducer counts them opaque.
  const bool alpha =
      (colorType & PNG_COLOR_MASK_ALPHA) || png_get_valid(state.png, state.info, PNG_INFO_tRNS);
  state.channels = alpha ? 4 : 3;
  state.bytesPerChannel = depth == 16 ? 2 : 1;
  if (depth == 16 && std::endian::native == std::endian::little) png_set_swap(state.png);
  png_set_interlace_handling(state.png);
  png_read_update_info(state.png, state.info);
  size_t rowBytes = png_get_rowbytes(state.png, state.info);
  if (rowBytes != size_t{state.width} * size_t(state.channels) * size_t(state.bytesPerChannel)) {
    state.problem = "unsupported PNG pixel layout";
    return false;
  }
  state.reducer.emplace(state.width, state.height,
                        ReductionFactor(state.width, state.height, state.maxSide));
  if (png_get_interlace_type(state.png, state.info) == PNG_INTERLACE_NONE) {
    // Row by row: only one row of the file's pixels is held at a time.
    state.data.resize(rowBytes);
    for (png_uint_32 y = 0; y < state.height; ++y) {
      png_read_row(state.png, state.data.data(), nullptr);
      AddPngRow(state, state.data.data());
    }
    return true;
  }
  // Interlaced rows arrive in passes: the whole image is needed first.
  state.data.resize(rowBytes * state.height);
  state.rows.resize(state.height);
  for (png_uint_32 y = 0; y < state.height; ++y) state.rows[y] = &state.data[rowBytes * y];
  png_read_image(state.png, state.rows.data());
  for (png_uint_32 y = 0; y < state.height; ++y) AddPngRow(state, state.rows[y]);
  return true;
}

bool ReadPng(FILE* file, FloatImage& image, int maxSide, std::string& problem) {
  PngReadState state;
  state.file = file;
  state.maxSide = maxSide;
  struct stat info {};
  if (::fstat(::fileno(file), &info) == 0) state.fileSize = static_cast<uint64_t>(info.st_size);
  state.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, PngReadError, PngIgnoreWarning);
  if (state.png) state.info = png_create_info_struct(state.png);
  if (!state.png || !state.info) {
    problem = "out of memory";
    return false;
  }
  if (!DecodePng(state)) {
    problem = state.problem.empty() ? "invalid PNG data" : state.problem;
    return false;
  }
  image = state.reducer->Take();
  return true;
}

struct PngWriteState {
  FILE* file = nullptr;
  std::string problem;
  png_structp png = nullptr;
  png_infop info = nullptr;
  std::vector<png_byte> row;

  ~PngWriteState() { png_destroy_write_struct(&png, info ? &info : nullptr); }
};

void PngWriteError(png_structp png, png_const_charp message) {
  auto* state = static_cast<PngWriteState*>(png_get_error_ptr(png));
  if (state->problem.empty()) state->problem = std::string("cannot encode PNG (") + message + ")";
  png_longjmp(png, 1);
}

void PngWriteData(png_structp png, png_bytep data, size_t length) {
  auto* state = static_cast<PngWriteState*>(png_get_io_ptr(png));
  if (std::fwrite(data, 1, length, state->file) != length) {
    state->problem = "write failed (" + ErrnoText(errno) + ")";
    png_error(png, state->problem.c_str());
  }
}

void PngFlush(png_structp) {}

bool EncodePng(PngWriteState& state, const Bitmap& image, int bits) {
  if (setjmp(png_jmpbuf(state.png))) return false;
  png_set_write_fn(state.png, &state, PngWriteData, PngFlush);
  auto width = static_cast<png_uint_32>(image.Width());
  png_set_IHDR(state.png, state.info, width, static_cast<png_uint_32>(image.Height()), bits,
               PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(state.png, state.info);
  if (bits == 16 && std::endian::native == std::endian::little) png_set_swap(state.png);
  state.row.resize(size_t{width} * 4 * (bits / 8));
  for (int y = 0; y < image.Height(); ++y) {
    const BMM_Color_64* pixels = image.Row(y);
    if (bits == 16) {
      auto* out = reinterpret_cast<uint16_t*>(state.row.data());
      for (png_uint_32 x = 0; x < width; ++x, out += 4) {
        out[0] = pixels[x].r, out[1] = pixels[x].g, out[2] = pixels[x].b, out[3] = pixels[x].a;
      }
    } else {
      // 257 is 65535 / 255; 257 is odd, so the rounding never ties.
      auto to8 = [](uint16_t v) { return static_cast<png_byte>((v + 128u) / 257u); };
      png_byte* out = state.row.data();
      for (png_uint_32 x = 0; x < width; ++x, out += 4) {
        out[0] = to8(pixels[x].r), out[1] = to8(pixels[x].g), out[2] = to8(pixels[x].b);
        out[3] = to8(pixels[x].a);
      }
    }
    png_write_row(state.png, state.row.data());
  }
  png_write_end(state.png, nullptr);
  return true;
}

// ---------------------------------------------------------------------------
// JPEG

// Progressive files with thousands of tiny scans take very long to decode
// (a known way to stall decoders); real files use a dozen or so.
constexpr int kMaxJpegScans = 1000;

struct JpegReadState {
  jpeg_decompress_struct cinfo{};
  jpeg_error_mgr errors{};
  jpeg_progress_mgr progress{};
  std::jmp_buf jump{};
  std::string problem;
  bool created = false;
  std::vector<JSAMPLE> row;
  std::optional<ImageReducer> reducer;

  ~JpegReadState() {
    if (created) jpeg_destroy_decompress(&cinfo);
  }
};

// Records the problem and jumps back to DecodeJpeg. Takes a plain string so
// that no temporary std::string is alive when the jump skips its destructor.
[[noreturn]] void JpegFail(j_common_ptr cinfo, const char* problem) {
  auto* state = static_cast<JpegReadState*>(cinfo->client_data);
  if (state->problem.empty()) state->problem = problem;
  std::longjmp(state->jump, 1);
}

void JpegErrorExit(j_common_ptr cinfo) {
  char message[JMSG_LENGTH_MAX] = {};
  cinfo->err->format_message(cinfo, message);
  auto* state = static_cast<JpegReadState*>(cinfo->client_data);
  if (state->problem.empty()) state->problem = std::string("invalid JPEG data (") + message + ")";
  std::longjmp(state->jump, 1);
}

// libjpeg only warns when the data ends early and pads the image with grey;
// a texture with a grey part is a truncated file, so that warning fails.
void JpegMessage(j_common_ptr cinfo, int level) {
  if (level == -1 && cinfo->err->msg_code == JWRN_JPEG_EOF) JpegFail(cinfo, "truncated");
}

void JpegProgress(j_common_ptr cinfo) {
  auto* dinfo = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (dinfo->input_scan_number > kMaxJpegScans) JpegFail(cinfo, "too many progressive scans");
}

bool DecodeJpeg(JpegReadState& state, FILE* file, int maxSide) {
  state.cinfo.err = jpeg_std_error(&state.errors);
  state.errors.error_exit = JpegErrorExit;
  state.errors.emit_message = JpegMessage;
  // Set before creation, which keeps it, so errors while creating find it.
  state.cinfo.client_data = &state;
  if (setjmp(state.jump)) return false;
  jpeg_create_decompress(&state.cinfo);
  state.created = true;
  state.progress.progress_monitor = JpegProgress;
  state.cinfo.progress = &state.progress;
  jpeg_stdio_src(&state.cinfo, file);
  if (jpeg_read_header(&state.cinfo, TRUE) != JPEG_HEADER_OK)
    JpegFail(reinterpret_cast<j_common_ptr>(&state.cinfo), "no image in the file");
  if (TooLarge(state.cinfo.image_width, state.cinfo.image_height))
    JpegFail(reinterpret_cast<j_common_ptr>(&state.cinfo), "image too large");
  if (state.cinfo.jpeg_color_space == JCS_CMYK || state.cinfo.jpeg_color_space == JCS_YCCK)
    JpegFail(reinterpret_cast<j_common_ptr>(&state.cinfo), "CMYK JPEG files are not supported");
  state.cinfo.out_color_space = JCS_RGB;
  // The decoder itself scales by up to 1/8, the reducer does the rest.
  const int factor = ReductionFactor(state.cinfo.image_width, state.cinfo.image_height, maxSide);
  state.cinfo.scale_num = 1;
  state.cinfo.scale_denom = static_cast<unsigned>(std::min(factor, 8));
  jpeg_start_decompress(&state.cinfo);
  if (state.cinfo.output_components != 3)
    JpegFail(reinterpret_cast<j_common_ptr>(&state.cinfo), "unsupported JPEG colour layout");
  state.reducer.emplace(state.cinfo.output_width, state.cinfo.output_height,
                        std::max(1, factor / 8));
  state.row.resize(size_t(state.cinfo.output_width) * 3);
  while (state.cinfo.output_scanline < state.cinfo.output_height) {
    JSAMPROW row = state.row.data();
    if (jpeg_read_scanlines(&state.cinfo, &row, 1) != 1)
      JpegFail(reinterpret_cast<j_common_ptr>(&state.cinfo), "truncated");
    // Rows are kept only as the reducer sums them, so a damaged file that
    // claims a huge size takes no memory for it.
    state.reducer->AddRow([row](int64_t x) {
      return AColor(row[3 * x] / 255.0f, row[3 * x + 1] / 255.0f, row[3 * x + 2] / 255.0f, 1.0f);
    });
  }
  return true;
}

bool ReadJpeg(FILE* file, FloatImage& image, int maxSide, std::string& problem) {
  JpegReadState state;
  if (DecodeJpeg(state, file, maxSide)) {
    image = state.reducer->Take();
    return true;
  }
  problem = state.problem.empty() ? "invalid JPEG data" : state.problem;
  return false;
}

// ---------------------------------------------------------------------------
// EXR

// The channel prefix to read: "" when the file has plain colour channels,
// else the first layer that has some ("diffuse."); nullopt when none has.
std::optional<std::string> ExrColourPrefix(const Imf::ChannelList& channels) {
  auto hasColour = [&](const std::string& prefix) {
    for (const char* c : {"R", "G", "B", "Y"})
      if (channels.findChannel(prefix + c)) return true;
    return false;
  };
  if (hasColour("")) return std::string();
  std::set<std::string> layers;
  channels.layers(layers);
  for (const std::string& layer : layers)
    if (hasColour(layer + ".")) return layer + ".";
  return std::nullopt;
}

// OpenEXR's messages open with a sentence naming the file, which our
// message names already; an early end of file is a truncated file.
std::string ExrProblem(const std::string& path, const std::string& what) {
  std::string detail = what;
  const std::string named = "\"" + path + "\". ";
  if (size_t at = detail.find(named); at != std::string::npos)
    detail = detail.substr(at + named.size());
  if (detail.starts_with("Early end of file")) return "truncated";
  return "invalid EXR data (" + detail + ")";
}

// Caps on the data window and tile sides, checked by OpenEXR while it reads
// a header, before it sizes its tables from them.
void LimitExrSizes() {
  static std::once_flag once;
  std::call_once(once, [] {
    Imf::Header::setMaxImageSize(1 << 18, 1 << 18);
    Imf::Header::setMaxTileSize(1 << 13, 1 << 13);
  });
}

// Width and height of an EXR window, 0 when it is empty.
std::pair<int64_t, int64_t> WindowSize(const Imath::Box2i& box) {
  int64_t width = int64_t{box.max.x} - box.min.x + 1, height = int64_t{box.max.y} - box.min.y + 1;
  if (width < 1 || height < 1) return {0, 0};
  return {width, height};
}

// Reads the colour channels under `prefix` (Y into all three when `grey`)
// into an image of the display window, rows outside the data window
// transparent black.
FloatImage ReadExrPixels(Imf::InputFile& file, const std::string& prefix, bool grey, int maxSide) {
  const Imath::Box2i data = file.header().dataWindow(), display = file.header().displayWindow();
  // One row of the data window, reused for every row: y stride 0.
  std::vector<float> row(static_cast<size_t>(WindowSize(data).first) * 4);
  constexpr size_t kStride = 4 * sizeof(float);
  auto* base = reinterpret_cast<char*>(reinterpret_cast<intptr_t>(row.data()) -
                                       intptr_t{data.min.x} * intptr_t{kStride});
  Imf::FrameBuffer frame;
  const char* names[] = {grey ? "Y" : "R", "G", "B", "A"};
  for (int c = 0; c < 4; ++c) {
    if (grey && (c == 1 || c == 2)) continue;
    frame.insert(prefix + names[c], Imf::Slice(Imf::FLOAT, base + c * sizeof(float), kStride, 0, 1,
                                               1, c == 3 ? 1.0 : 0.0));
  }
  file.setFrameBuffer(frame);

  const auto [width, height] = WindowSize(display);
  ImageReducer reducer(width, height, ReductionFactor(width, height, maxSide));
  std::vector<AColor> out(static_cast<size_t>(width));
  const int x0 = std::max(data.min.x, display.min.x), x1 = std::min(data.max.x, display.max.x);
  for (int64_t y = display.min.y; y <= display.max.y; ++y) {
    std::fill(out.begin(), out.end(), AColor(0, 0, 0, 0));
    if (y >= data.min.y && y <= data.max.y) {
      file.readPixels(static_cast<int>(y));
      for (int64_t x = x0; x <= x1; ++x) {
        const float* v = &row[static_cast<size_t>(x - data.min.x) * 4];
        float r = Finite(v[0]);
        out[static_cast<size_t>(x - display.min.x)] =
            grey ? AColor(r, r, r, Finite(v[3]))
                 : AColor(r, Finite(v[1]), Finite(v[2]), Finite(v[3]));
      }
    }
    reducer.AddRow([&out](int64_t x) { return out[static_cast<size_t>(x)]; });
  }
  return reducer.Take();
}

bool ReadExr(const std::string& path, FloatImage& image, int maxSide, std::string& problem) {
  LimitExrSizes();
  try {
    Imf::InputFile file(path.c_str());
    const Imf::Header& header = file.header();
    const auto [dataWidth, dataHeight] = WindowSize(header.dataWindow());
    const auto [width, height] = WindowSize(header.displayWindow());
    if (dataWidth == 0 || width == 0) {
      problem = "invalid EXR data (empty image window)";
      return false;
    }
    if (TooLarge(dataWidth, dataHeight) || TooLarge(width, height)) {
      problem = "image too large";
      return false;
    }
    std::optional<std::string> prefix = ExrColourPrefix(header.channels());
    if (!prefix) {
      problem = "no colour channels in the EXR file";
      return false;
    }
    bool grey = !header.channels().findChannel(*prefix + "R") &&
                !header.channels().findChannel(*prefix + "G") &&
                !header.channels().findChannel(*prefix + "B");
    image = ReadExrPixels(file, *prefix, grey, maxSide);
    return true;
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception& e) {
    problem = ExrProblem(path, e.what());
    return false;
  }
}

// An OpenEXR output stream on a FILE that remembers any failed write: the
// OutputFile destructor writes the line offsets and swallows errors there.
class ExrFileStream : public Imf::OStream {
 public:
  ExrFileStream(FILE* file, const std::string& name) : Imf::OStream(name.c_str()), file_(file) {}

  void write(const char c[], int n) override {
    if (n > 0 && std::fwrite(c, 1, static_cast<size_t>(n), file_) != static_cast<size_t>(n))
      Failed();
  }
  uint64_t tellp() override {
    off_t at = ::ftello(file_);
    if (at < 0) Failed();
    return static_cast<uint64_t>(at);
  }
  void seekp(uint64_t pos) override {
    if (::fseeko(file_, static_cast<off_t>(pos), SEEK_SET) != 0) Failed();
  }
  bool HasFailed() const { return failed_; }
  const std::string& Problem() const { return problem_; }

 private:
  [[noreturn]] void Failed() {
    failed_ = true;
    problem_ = "write failed (" + ErrnoText(errno) + ")";
    throw std::runtime_error(problem_);
  }

  FILE* file_;
  bool failed_ = false;
  std::string problem_;
};

std::string SanitizedLayerName(const std::string& name) {
  // Channel names up to 255 bytes need no special handling by readers.
  constexpr size_t kMaxLength = 200;
  std::string clean;
  for (char ch : name.substr(0, kMaxLength)) {
    auto c = static_cast<unsigned char>(ch);
    bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                c == '_' || c == '-';
    clean += keep ? ch : '_';
  }
  return clean.empty() ? "layer" : clean;
}

bool CheckLayers(const std::vector<ExrLayer>& layers, std::string& problem) {
  if (layers.empty() || !layers[0].image) {
    problem = "nothing to write";
    return false;
  }
  const Bitmap& main = *layers[0].image;
  if (main.Width() < 1 || main.Height() < 1) {
    problem = "empty image";
    return false;
  }
  if (TooLarge(uint64_t(main.Width()), uint64_t(main.Height()))) {
    problem = "image too large";
    return false;
  }
  for (const ExrLayer& layer : layers) {
    if (!layer.image) {
      problem = "layer \"" + layer.name + "\" has no image";
      return false;
    }
    if (layer.image->Width() != main.Width() || layer.image->Height() != main.Height()) {
      problem = "layer \"" + layer.name + "\" differs in size from the main image";
      return false;
    }
  }
  return true;
}

void EncodeExr(ExrFileStream& stream, const std::vector<ExrLayer>& layers) {
  const int width = layers[0].image->Width(), height = layers[0].image->Height();
  Imf::Header header(width, height);
  Imf::FrameBuffer frame;
  std::vector<std::vector<half>> data(layers.size());
  std::vector<std::string> names = ExrLayerNames(layers);
  constexpr size_t kStride = 4 * sizeof(half);
  for (size_t i = 0; i < layers.size(); ++i) {
    const Bitmap& image = *layers[i].image;
    data[i].resize(size_t(width) * height * 4);
    half* out = data[i].data();
    for (int y = 0; y < height; ++y) {
      const BMM_Color_64* row = image.Row(y);
      for (int x = 0; x < width; ++x, out += 4) {
        out[0] = FromChannel16(row[x].r), out[1] = FromChannel16(row[x].g);
        out[2] = FromChannel16(row[x].b), out[3] = FromChannel16(row[x].a);
      }
    }
    std::string prefix = i == 0 ? "" : names[i] + ".";
    auto* base = reinterpret_cast<char*>(data[i].data());
    const char* channels[] = {"R", "G", "B", "A"};
    for (int c = 0; c < 4; ++c) {
      header.channels().insert(prefix + channels[c], Imf::Channel(Imf::HALF));
      frame.insert(prefix + channels[c],
                   Imf::Slice(Imf::HALF, base + c * sizeof(half), kStride, kStride * width));
    }
  }
  Imf::OutputFile file(stream, header);
  file.setFrameBuffer(frame);
  file.writePixels(height);
}

// Reads the first bytes and names the format they announce.
enum class ImageFormat { kPng, kJpeg, kExr, kUnknown };

ImageFormat Sniff(const unsigned char* bytes, size_t n) {
  static constexpr unsigned char kPng[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  static constexpr unsigned char kJpeg[] = {0xff, 0xd8, 0xff};
  static constexpr unsigned char kExr[] = {0x76, 0x2f, 0x31, 0x01};
  auto starts = [&](const unsigned char* magic, size_t size) {
    return n >= size && std::equal(magic, magic + size, bytes);
  };
  if (starts(kPng, sizeof(kPng))) return ImageFormat::kPng;
  if (starts(kJpeg, sizeof(kJpeg))) return ImageFormat::kJpeg;
  if (starts(kExr, sizeof(kExr))) return ImageFormat::kExr;
  return ImageFormat::kUnknown;
}

bool ReadImageFile(const std::string& path, FloatImage& image, int maxSide, std::string& problem) {
  std::error_code ec;
  auto status = std::filesystem::status(path, ec);
  if (ec || !std::filesystem::exists(status)) {
    problem = "cannot open (" + (ec ? ec.message() : ErrnoText(ENOENT)) + ")";
    return false;
  }
  if (!std::filesystem::is_regular_file(status)) {
    problem = "not a regular file";
    return false;
  }
  FilePtr file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    problem = "cannot open (" + ErrnoText(errno) + ")";
    return false;
  }
  unsigned char magic[8] = {};
  size_t n = std::fread(magic, 1, sizeof(magic), file.get());
  if (n == 0) {
    problem = std::ferror(file.get()) ? "read error" : "empty file";
    return false;
  }
  std::rewind(file.get());
  switch (Sniff(magic, n)) {
    case ImageFormat::kPng:
      return ReadPng(file.get(), image, maxSide, problem);
    case ImageFormat::kJpeg:
      return ReadJpeg(file.get(), image, maxSide, problem);
    case ImageFormat::kExr:
      file.reset();
      return ReadExr(path, image, maxSide, problem);
    case ImageFormat::kUnknown:
      break;
  }
  problem = "not a PNG, JPEG or EXR file";
  return false;
}

}  // namespace

AColor FloatImage::At(int x, int y) const {
  if (width < 1 || height < 1) return AColor(0, 0, 0, 0);
  x = std::clamp(x, 0, width - 1);
  y = std::clamp(y, 0, height - 1);
  return pixels[static_cast<size_t>(y) * width + x];
}

bool ReadImage(const std::string& path, FloatImage& out, std::string* error, int maxSide) {
  std::string problem;
  FloatImage image;
  try {
    if (!ReadImageFile(path, image, maxSide, problem)) return Fail(error, path, problem);
  } catch (const std::bad_alloc&) {
    return Fail(error, path, "out of memory");
  }
  out = std::move(image);
  return true;
}

namespace {

// The temporary file a write goes to: the batch's when given, else `own`.
AtomicFile* TemporaryFor(const std::string& path, FileBatch* batch, AtomicFile& own,
                         std::string& problem) {
  if (!batch) return own.Create(path, problem) ? &own : nullptr;
  std::string error;
  AtomicFile* file = batch->Add(path, &error);
  if (!file) problem = error.substr(std::min(error.size(), path.size() + 2));
  return file;
}

}  // namespace

bool WritePng(const std::string& path, const Bitmap& image, int bitsPerChannel, std::string* error,
              FileBatch* batch) {
  if (bitsPerChannel != 8 && bitsPerChannel != 16)
    return Fail(error, path, "unsupported bit depth " + std::to_string(bitsPerChannel));
  if (image.Width() < 1 || image.Height() < 1) return Fail(error, path, "empty image");
  if (TooLarge(uint64_t(image.Width()), uint64_t(image.Height())))
    return Fail(error, path, "image too large");
  std::string problem;
  AtomicFile own;
  AtomicFile* temp = TemporaryFor(path, batch, own, problem);
  if (!temp) return Fail(error, path, problem);
  try {
    PngWriteState state;
    state.file = temp->File();
    state.png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, PngWriteError, PngIgnoreWarning);
    if (state.png) state.info = png_create_info_struct(state.png);
    if (!state.png || !state.info) return Fail(error, path, "out of memory");
    if (!EncodePng(state, image, bitsPerChannel)) return Fail(error, path, state.problem);
  } catch (const std::bad_alloc&) {
    return Fail(error, path, "out of memory");
  }
  if (!batch && !own.Commit(problem)) return Fail(error, path, problem);
  return true;
}

std::vector<std::string> ExrLayerNames(const std::vector<ExrLayer>& layers) {
  std::vector<std::string> names;
  std::set<std::string> used;
  for (size_t i = 0; i < layers.size(); ++i) {
    if (i == 0) {
      names.emplace_back();
      continue;
    }
    std::string base = SanitizedLayerName(layers[i].name), name = base;
    for (int n = 2; used.count(name); ++n) name = base + "_" + std::to_string(n);
    used.insert(name);
    names.push_back(name);
  }
  return names;
}

bool WriteExr(const std::string& path, const std::vector<ExrLayer>& layers, std::string* error,
              FileBatch* batch) {
  std::string problem;
  if (!CheckLayers(layers, problem)) return Fail(error, path, problem);
  AtomicFile own;
  AtomicFile* temp = TemporaryFor(path, batch, own, problem);
  if (!temp) return Fail(error, path, problem);
  ExrFileStream stream(temp->File(), temp->Name());
  try {
    EncodeExr(stream, layers);
  } catch (const std::bad_alloc&) {
    return Fail(error, path, "out of memory");
  } catch (const std::exception& e) {
    return Fail(error, path,
                stream.HasFailed() ? stream.Problem()
                                   : std::string("cannot encode EXR (") + e.what() + ")");
  }
  if (stream.HasFailed()) return Fail(error, path, stream.Problem());
  if (!batch && !own.Commit(problem)) return Fail(error, path, problem);
  return true;
}

}  // namespace host
