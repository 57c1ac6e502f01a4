// Tests for the image files: round trips through the writers, every PNG pixel
// layout, JPEG and EXR channel layouts written by the libraries themselves,
// damaged, hostile and missing files, and writes that fail.
#include "host/image_io.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <png.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfInputFile.h>
#include <ImfOutputFile.h>

#include <cmath>
#include <csetjmp>
#include <functional>
#include <random>

#include "sdk/testing/scratch_dir.h"

namespace host {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

::testing::AssertionResult ColorNear(const AColor& got, const AColor& want, float tolerance) {
  for (int c = 0; c < 4; ++c)
    if (!(std::fabs(got[c] - want[c]) <= tolerance))
      return ::testing::AssertionFailure()
             << "got (" << got.r << ", " << got.g << ", " << got.b << ", " << got.a << "), want ("
             << want.r << ", " << want.g << ", " << want.b << ", " << want.a << ")";
  return ::testing::AssertionSuccess();
}

// A bitmap of random 16-bit channels with 0 and 65535 in the corners.
Bitmap PatternBitmap(int width, int height, uint32_t seed) {
  Bitmap image(width, height);
  std::mt19937 random(seed);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      image.PutPixel(
          x, y, {uint16_t(random()), uint16_t(random()), uint16_t(random()), uint16_t(random())});
  image.PutPixel(0, 0, {0, 0, 0, 0});
  image.PutPixel(width - 1, height - 1, {65535, 65535, 65535, 65535});
  return image;
}

AColor C8(int r, int g, int b, int a = 255) {
  return {r / 255.0f, g / 255.0f, b / 255.0f, a / 255.0f};
}
AColor C16(int r, int g, int b, int a = 65535) {
  return {r / 65535.0f, g / 65535.0f, b / 65535.0f, a / 65535.0f};
}
std::vector<uint8_t> BigEndian16(std::initializer_list<int> values) {
  std::vector<uint8_t> bytes;
  for (int v : values) bytes.insert(bytes.end(), {uint8_t(v >> 8), uint8_t(v & 0xff)});
  return bytes;
}

// A PNG as libpng stores it: rows packed in the file's own layout.
struct RawPng {
  const char* name;
  int colorType, depth, width, height;
  std::vector<uint8_t> bytes;
  std::vector<AColor> expected;  // row-major, top row first
  std::vector<png_color> palette = {};
  std::vector<uint8_t> paletteAlpha = {};
  const png_color_16* transparent = nullptr;
  bool interlaced = false;
};

// libpng reports errors by longjmp, so this holds no C++ objects.
bool EncodeRawPng(FILE* file, const RawPng& raw, png_bytepp rows) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, raw.width, raw.height, raw.depth, raw.colorType,
               raw.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!raw.palette.empty()) png_set_PLTE(png, info, raw.palette.data(), int(raw.palette.size()));
  if (!raw.paletteAlpha.empty() || raw.transparent)
    png_set_tRNS(png, info, raw.paletteAlpha.data(), int(raw.paletteAlpha.size()), raw.transparent);
  png_set_rows(png, info, rows);
  png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

void WriteRawPng(const std::string& path, const RawPng& raw) {
  size_t rowBytes = raw.bytes.size() / size_t(raw.height);
  std::vector<png_bytep> rows;
  std::vector<uint8_t> bytes = raw.bytes;
  for (int y = 0; y < raw.height; ++y) rows.push_back(&bytes[rowBytes * y]);
  FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_TRUE(file);
  bool ok = EncodeRawPng(file, raw, rows.data());
  std::fclose(file);
  ASSERT_TRUE(ok) << raw.name;
}

// An interlaced 16-bit RGBA image, so rows arrive in seven passes.
RawPng InterlacedPng() {
  RawPng raw{.name = "interlaced rgba 16",
             .colorType = PNG_COLOR_TYPE_RGBA,
             .depth = 16,
             .width = 9,
             .height = 7,
             .bytes = {},
             .expected = {},
             .interlaced = true};
  for (int y = 0; y < raw.height; ++y)
    for (int x = 0; x < raw.width; ++x) {
      int v[4];
      for (int c = 0; c < 4; ++c) v[c] = (x * 7919 + y * 104729 + c * 31337) & 0xffff;
      auto bytes = BigEndian16({v[0], v[1], v[2], v[3]});
      raw.bytes.insert(raw.bytes.end(), bytes.begin(), bytes.end());
      raw.expected.push_back(C16(v[0], v[1], v[2], v[3]));
    }
  return raw;
}

std::vector<RawPng> PngLayouts() {
  static const png_color_16 kTransparent{.index = 0, .red = 10, .green = 20, .blue = 30, .gray = 0};
  const std::vector<png_color> palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
  auto grey = [](float v) { return AColor(v, v, v, 1.0f); };
  return {
      {"grey 1 bit",
       PNG_COLOR_TYPE_GRAY,
       1,
       2,
       2,
       {0x80, 0x40},
       {grey(1), grey(0), grey(0), grey(1)}},
      {"grey 4 bit",
       PNG_COLOR_TYPE_GRAY,
       4,
       2,
       2,
       {0xf0, 0x5a},
       {grey(1), grey(0), grey(85 / 255.0f), grey(170 / 255.0f)}},
      {"grey 8 bit",
       PNG_COLOR_TYPE_GRAY,
       8,
       2,
       2,
       {0, 64, 128, 255},
       {C8(0, 0, 0), C8(64, 64, 64), C8(128, 128, 128), C8(255, 255, 255)}},
      {"grey 16 bit",
       PNG_COLOR_TYPE_GRAY,
       16,
       2,
       2,
       BigEndian16({0, 1000, 40000, 65535}),
       {C16(0, 0, 0), C16(1000, 1000, 1000), C16(40000, 40000, 40000), C16(65535, 65535, 65535)}},
      {"grey alpha 8 bit",
       PNG_COLOR_TYPE_GRAY_ALPHA,
       8,
       2,
       1,
       {10, 255, 20, 0},
       {C8(10, 10, 10, 255), C8(20, 20, 20, 0)}},
      {"grey alpha 16 bit",
       PNG_COLOR_TYPE_GRAY_ALPHA,
       16,
       2,
       1,
       BigEndian16({1000, 65535, 258, 3}),
       {C16(1000, 1000, 1000), C16(258, 258, 258, 3)}},
      {"rgb 8 bit",
       PNG_COLOR_TYPE_RGB,
       8,
       2,
       1,
       {1, 2, 3, 250, 251, 252},
       {C8(1, 2, 3), C8(250, 251, 252)}},
      {"rgb 16 bit",
       PNG_COLOR_TYPE_RGB,
       16,
       1,
       1,
       BigEndian16({0x0102, 0x8001, 0xfffe}),
       {C16(0x0102, 0x8001, 0xfffe)}},
      {"rgba 8 bit",
       PNG_COLOR_TYPE_RGBA,
       8,
       1,
       2,
       {1, 2, 3, 4, 5, 6, 7, 8},
       {C8(1, 2, 3, 4), C8(5, 6, 7, 8)}},
      {"rgba 16 bit",
       PNG_COLOR_TYPE_RGBA,
       16,
       1,
       1,
       BigEndian16({1, 2, 0x100, 0xff00}),
       {C16(1, 2, 0x100, 0xff00)}},
      {"palette with alpha",
       PNG_COLOR_TYPE_PALETTE,
       8,
       2,
       2,
       {0, 1, 2, 1},
       {C8(255, 0, 0, 0), C8(0, 255, 0, 128), C8(0, 0, 255), C8(0, 255, 0, 128)},
       palette,
       {0, 128}},
      {"palette 2 bit",
       PNG_COLOR_TYPE_PALETTE,
       2,
       2,
       2,
       {0x90, 0x20},
       {C8(0, 0, 255), C8(0, 255, 0), C8(255, 0, 0), C8(0, 0, 255)},
       palette},
      {"rgb with a transparent colour",
       PNG_COLOR_TYPE_RGB,
       8,
       2,
       1,
       {10, 20, 30, 10, 20, 31},
       {C8(10, 20, 30, 0), C8(10, 20, 31)},
       {},
       {},
       &kTransparent},
      InterlacedPng(),
  };
}

TEST(ImageIo, ReadsEveryPngPixelLayoutAsRgba) {
  ScratchDir dir;
  for (const RawPng& raw : PngLayouts()) {
    SCOPED_TRACE(raw.name);
    std::string path = dir.File("layout.png"), error;
    WriteRawPng(path, raw);
    FloatImage image;
    ASSERT_TRUE(ReadImage(path, image, &error)) << error;
    ASSERT_EQ(image.width, raw.width);
    ASSERT_EQ(image.height, raw.height);
    for (int i = 0; i < raw.width * raw.height; ++i)
      EXPECT_TRUE(ColorNear(image.At(i % raw.width, i / raw.width), raw.expected[size_t(i)], 0))
          << "pixel " << i;
  }
}

TEST(ImageIo, PngRoundTripKeepsChannelsAtBothDepths) {
  ScratchDir dir;
  const Bitmap image = PatternBitmap(37, 23, 1);
  for (int bits : {8, 16}) {
    SCOPED_TRACE(bits);
    std::string path = dir.File("round.png"), error;
    ASSERT_TRUE(WritePng(path, image, bits, &error)) << error;
    png_image header{};
    header.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&header, path.c_str()));
    EXPECT_EQ((header.format & PNG_FORMAT_FLAG_LINEAR) != 0, bits == 16);  // 16-bit file
    EXPECT_NE(header.format & PNG_FORMAT_FLAG_ALPHA, 0u);
    png_image_free(&header);

    FloatImage read;
    ASSERT_TRUE(ReadImage(path, read, &error)) << error;
    ASSERT_EQ(read.width, 37);
    ASSERT_EQ(read.height, 23);
    float worst = 0;
    for (int y = 0; y < 23; ++y)
      for (int x = 0; x < 37; ++x) {
        AColor want = FromColor64(image.GetPixel(x, y)), got = read.At(x, y);
        if (bits == 16) {
          EXPECT_EQ(ToColor64(got), image.GetPixel(x, y));
        }
        for (int c = 0; c < 4; ++c) worst = std::max(worst, std::fabs(got[c] - want[c]));
      }
    // Rounding to nearest is off by at most half a step.
    EXPECT_LE(worst, bits == 8 ? 0.5f / 255 + 1e-6f : 0.0f);
  }
}

void WriteTestJpeg(const std::string& path, int size, bool grey, bool progressive) {
  // Four quadrants of flat colour: top left, top right, bottom left, bottom right.
  const uint8_t quadrants[4][3] = {{200, 30, 30}, {30, 200, 30}, {30, 30, 200}, {220, 220, 220}};
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr errors{};
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_compress(&cinfo);
  FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_TRUE(file);
  jpeg_stdio_dest(&cinfo, file);
  cinfo.image_width = cinfo.image_height = JDIMENSION(size);
  cinfo.input_components = grey ? 1 : 3;
  cinfo.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 95, TRUE);
  if (progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<JSAMPLE> row(size_t(size) * 3);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const uint8_t* c = quadrants[(y >= size / 2) * 2 + (x >= size / 2)];
      if (grey)
        row[size_t(x)] = c[0];
      else
        std::copy(c, c + 3, &row[size_t(x) * 3]);
    }
    JSAMPROW rows[] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::fclose(file);
}

// With a longest side, a larger image is read at the first mip level that
// fits: each pixel the average of the block of the file's pixels it covers,
// odd edges averaged over what they cover.
TEST(ImageIo, ReadsLargeImagesAtAMipLevelThatFits) {
  ScratchDir dir;
  const Bitmap image = PatternBitmap(37, 23, 5);
  std::string path = dir.File("big.png"), error;
  ASSERT_TRUE(WritePng(path, image, 16, &error)) << error;
  FloatImage read;
  ASSERT_TRUE(ReadImage(path, read, &error, 10)) << error;
  ASSERT_EQ(read.width, 10);  // 37 / 4, rounded up
  ASSERT_EQ(read.height, 6);
  for (int y = 0; y < read.height; ++y) {
    for (int x = 0; x < read.width; ++x) {
      AColor sum(0, 0, 0, 0);
      int n = 0;
      for (int v = 4 * y; v < std::min(4 * y + 4, 23); ++v)
        for (int u = 4 * x; u < std::min(4 * x + 4, 37); ++u, ++n)
          sum += FromColor64(image.GetPixel(u, v));
      const AColor want = sum * (1.0f / static_cast<float>(n)), got = read.At(x, y);
      EXPECT_NEAR(got.r, want.r, 1e-5f);
      EXPECT_NEAR(got.a, want.a, 1e-5f);
    }
  }
  ASSERT_TRUE(ReadImage(path, read, &error, 37)) << error;
  EXPECT_EQ(read.width, 37);
}

TEST(ImageIo, ReadsJpegColoursWithinCompressionError) {
  struct Case {
    const char* name;
    bool grey, progressive;
  };
  ScratchDir dir;
  for (Case c : {Case{"colour", false, false}, Case{"progressive", false, true},
                 Case{"grey", true, false}}) {
    SCOPED_TRACE(c.name);
    std::string path = dir.File("test.jpg"), error;
    WriteTestJpeg(path, 32, c.grey, c.progressive);
    FloatImage image;
    ASSERT_TRUE(ReadImage(path, image, &error)) << error;
    ASSERT_EQ(image.width, 32);
    ASSERT_EQ(image.height, 32);
    const AColor colours[4] = {C8(200, 30, 30), C8(30, 200, 30), C8(30, 30, 200),
                               C8(220, 220, 220)};
    const AColor greys[4] = {C8(200, 200, 200), C8(30, 30, 30), C8(30, 30, 30), C8(220, 220, 220)};
    for (int q = 0; q < 4; ++q)
      EXPECT_TRUE(ColorNear(image.At(8 + 16 * (q % 2), 8 + 16 * (q / 2)),
                            c.grey ? greys[q] : colours[q], 6 / 255.0f))
          << "quadrant " << q;
  }
}

TEST(ImageIo, ExrKeepsEveryLayerUnderItsOwnChannelNames) {
  ScratchDir dir;
  const Bitmap main = PatternBitmap(19, 11, 1), diffuse = PatternBitmap(19, 11, 2),
               depth = PatternBitmap(19, 11, 3), second = PatternBitmap(19, 11, 4);
  std::vector<ExrLayer> layers = {
      {"beauty", &main}, {"diffuse", &diffuse}, {"z depth.pass", &depth}, {"diffuse", &second}};
  EXPECT_EQ(ExrLayerNames(layers),
            (std::vector<std::string>{"", "diffuse", "z_depth_pass", "diffuse_2"}));
  std::string path = dir.File("layers.exr"), error;
  ASSERT_TRUE(WriteExr(path, layers, &error)) << error;

  Imf::InputFile file(path.c_str());
  std::vector<std::string> names;
  for (auto it = file.header().channels().begin(); it != file.header().channels().end(); ++it) {
    names.push_back(it.name());
    EXPECT_EQ(it.channel().type, Imf::HALF) << it.name();
  }
  std::vector<std::string> expected = {"A", "B", "G", "R"};
  for (const char* layer : {"diffuse", "diffuse_2", "z_depth_pass"})
    for (const char* c : {".A", ".B", ".G", ".R"}) expected.push_back(std::string(layer) + c);
  EXPECT_EQ(names, expected);

  // Each layer's channels hold that layer's image.
  std::vector<float> green(19 * 11);
  Imf::FrameBuffer frame;
  frame.insert("z_depth_pass.G",
               Imf::Slice::Make(Imf::FLOAT, green.data(), file.header().dataWindow()));
  file.setFrameBuffer(frame);
  file.readPixels(0, 10);
  for (int i = 0; i < 19 * 11; ++i)
    EXPECT_NEAR(green[size_t(i)], FromChannel16(depth.GetPixel(i % 19, i / 19).g), 1.0f / 2048);

  FloatImage read;
  ASSERT_TRUE(ReadImage(path, read, &error)) << error;
  ASSERT_EQ(read.width, 19);
  ASSERT_EQ(read.height, 11);
  for (int y = 0; y < 11; ++y)
    for (int x = 0; x < 19; ++x)  // half keeps 11 significant bits
      EXPECT_TRUE(ColorNear(read.At(x, y), FromColor64(main.GetPixel(x, y)), 1.0f / 2048));
}

// Writes an EXR of float channels over `data` inside `display`.
void WriteFloatExr(const std::string& path, const Imath::Box2i& display, const Imath::Box2i& data,
                   const std::vector<std::string>& channels,
                   const std::function<float(int channel, int x, int y)>& value) {
  Imf::Header header(display, data);
  Imf::FrameBuffer frame;
  const int w = data.max.x - data.min.x + 1, h = data.max.y - data.min.y + 1;
  std::vector<std::vector<float>> planes(channels.size(), std::vector<float>(size_t(w) * h));
  for (size_t c = 0; c < channels.size(); ++c) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        planes[c][size_t(y) * w + x] = value(int(c), x + data.min.x, y + data.min.y);
    header.channels().insert(channels[c], Imf::Channel(Imf::FLOAT));
    frame.insert(channels[c], Imf::Slice::Make(Imf::FLOAT, planes[c].data(), data));
  }
  Imf::OutputFile file(path.c_str(), header);
  file.setFrameBuffer(frame);
  file.writePixels(h);
}

TEST(ImageIo, ReadsExrChannelLayouts) {
  ScratchDir dir;
  std::string path = dir.File("layout.exr"), error;
  auto value = [](int c, int x, int y) { return 0.123456789f + 0.1f * c + 0.01f * x + 0.001f * y; };
  FloatImage image;

  // Float RGB without alpha, its data window inside a larger display window.
  WriteFloatExr(path, {{0, 0}, {3, 2}}, {{1, 1}, {2, 2}}, {"R", "G", "B"}, value);
  ASSERT_TRUE(ReadImage(path, image, &error)) << error;
  ASSERT_EQ(image.width, 4);
  ASSERT_EQ(image.height, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) {
      bool inside = x >= 1 && x <= 2 && y >= 1;
      AColor want = inside ? AColor(value(0, x, y), value(1, x, y), value(2, x, y), 1.0f)
                           : AColor(0, 0, 0, 0);
      EXPECT_TRUE(ColorNear(image.At(x, y), want, 0)) << x << ", " << y;  // float stays exact
    }

  // Luminance and alpha only; a NaN sample reads as 0.
  WriteFloatExr(path, {{0, 0}, {1, 0}}, {{0, 0}, {1, 0}}, {"A", "Y"},
                [](int c, int x, int) { return c == 0 ? 0.5f : (x == 0 ? 0.25f : std::nanf("")); });
  ASSERT_TRUE(ReadImage(path, image, &error)) << error;
  EXPECT_TRUE(ColorNear(image.At(0, 0), AColor(0.25f, 0.25f, 0.25f, 0.5f), 0));
  EXPECT_TRUE(ColorNear(image.At(1, 0), AColor(0, 0, 0, 0.5f), 0));

  // Colour only in a layer.
  WriteFloatExr(path, {{0, 0}, {0, 0}}, {{0, 0}, {0, 0}}, {"beauty.B", "beauty.G", "beauty.R"},
                [](int c, int, int) { return 0.25f * (c + 1); });
  ASSERT_TRUE(ReadImage(path, image, &error)) << error;
  EXPECT_TRUE(ColorNear(image.At(0, 0), AColor(0.75f, 0.5f, 0.25f, 1.0f), 0));

  // No colour at all.
  WriteFloatExr(path, {{0, 0}, {0, 0}}, {{0, 0}, {0, 0}}, {"Z"}, value);
  EXPECT_FALSE(ReadImage(path, image, &error));
  EXPECT_EQ(error, path + ": no colour channels in the EXR file");
}

std::string PngChunk(const std::string& type, const std::string& data) {
  std::string chunk;
  for (int shift : {24, 16, 8, 0}) chunk += char((data.size() >> shift) & 0xff);
  chunk += type + data;
  std::string crcInput = type + data;
  uLong crc = crc32(0, reinterpret_cast<const Bytef*>(crcInput.data()), uInt(crcInput.size()));
  for (int shift : {24, 16, 8, 0}) chunk += char((crc >> shift) & 0xff);
  return chunk;
}

// A PNG signature and header claiming width x height RGBA, then junk.
std::string PngHeaderOnly(uint32_t width, uint32_t height) {
  std::string ihdr;
  for (uint32_t v : {width, height})
    for (int shift : {24, 16, 8, 0}) ihdr += char((v >> shift) & 0xff);
  ihdr += std::string("\x08\x06\x00\x00\x00", 5);
  return std::string("\x89PNG\r\n\x1a\n", 8) + PngChunk("IHDR", ihdr) +
         PngChunk("IDAT", std::string(64, 'x'));
}

std::string RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 random(seed);
  std::string bytes(n, '\0');
  for (char& b : bytes) b = char(random());
  return bytes;
}

// Valid files of every format with incompressible content, by name.
std::vector<std::pair<std::string, std::string>> ValidFiles(const ScratchDir& dir) {
  std::vector<std::pair<std::string, std::string>> files;
  const Bitmap noise = PatternBitmap(24, 24, 7);
  std::string error;
  EXPECT_TRUE(WritePng(dir.File("valid.png"), noise, 16, &error)) << error;
  WriteRawPng(dir.File("interlaced.png"), InterlacedPng());
  WriteTestJpeg(dir.File("valid.jpg"), 32, false, true);
  WriteTestJpeg(dir.File("baseline.jpg"), 32, false, false);
  EXPECT_TRUE(WriteExr(dir.File("valid.exr"), {{"", &noise}, {"other", &noise}}, &error)) << error;
  for (const char* name : {"valid.png", "interlaced.png", "valid.jpg", "valid.exr", "baseline.jpg"})
    files.emplace_back(name, ReadBytes(dir.File(name)));
  return files;
}

TEST(ImageIo, BadFilesFailWithAMessageNamingTheFile) {
  ScratchDir dir;
  auto valid = ValidFiles(dir);
  auto half = [&](int i) {
    return valid[size_t(i)].second.substr(0, valid[size_t(i)].second.size() / 2);
  };
  WriteFloatExr(dir.File("huge.exr"), {{0, 0}, {19999, 19999}}, {{0, 0}, {0, 0}}, {"R"},
                [](int, int, int) { return 1.0f; });
  std::filesystem::create_directory(dir.File("folder"));
  struct Case {
    std::string name;
    std::optional<std::string> bytes;  // nullopt: leave the file as it is
    std::string problem;               // part of the message; empty: any
  };
  const std::vector<Case> cases = {
      {"missing.png", std::nullopt, "cannot open"},
      {"folder", std::nullopt, "not a regular file"},
      {"empty.png", "", "empty file"},
      {"random.png", RandomBytes(4096, 1), "not a PNG, JPEG or EXR file"},
      {"truncated.png", half(0), "truncated"},
      {"truncated-interlaced.png", half(1), "truncated"},
      {"truncated.jpg", half(2), "truncated"},
      {"truncated-baseline.jpg", half(4), "truncated"},
      {"truncated.exr", half(3), "truncated"},
      {"junk.png", std::string("\x89PNG\r\n\x1a\n", 8) + RandomBytes(4096, 2), ""},
      {"junk.jpg", "\xff\xd8\xff" + RandomBytes(4096, 3), ""},
      {"junk.exr", "\x76\x2f\x31\x01" + RandomBytes(4096, 4), ""},
      {"huge.png", PngHeaderOnly(100000, 100000), "too large"},
      {"short.png", PngHeaderOnly(10000, 10000), "truncated"},
      {"huge.exr", std::nullopt, "too large"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = dir.File(c.name), error;
    if (c.bytes) WriteBytes(path, *c.bytes);
    FloatImage image;
    image.width = image.height = 1;
    image.pixels = {AColor(0.5f, 0.5f, 0.5f, 0.5f)};
    EXPECT_FALSE(ReadImage(path, image, &error));
    EXPECT_THAT(error, StartsWith(path + ": "));
    EXPECT_GT(error.size(), path.size() + 2);
    EXPECT_THAT(error.substr(std::min(error.size(), path.size())), HasSubstr(c.problem));
    EXPECT_EQ(image.width, 1);  // left as it was
    EXPECT_EQ(image.pixels.size(), 1u);
  }
}

TEST(ImageIo, DamagedFilesNeverCrashTheReader) {
  ScratchDir dir;
  std::mt19937 random(11);
  for (const auto& [name, bytes] : ValidFiles(dir)) {
    SCOPED_TRACE(name);
    std::vector<std::string> damaged;
    for (size_t cut = 1; cut < bytes.size(); cut += bytes.size() / 40 + 1)
      damaged.push_back(bytes.substr(0, cut));
    for (int i = 0; i < 40; ++i) {
      std::string copy = bytes;
      for (int n = 1 + int(random() % 4); n > 0; --n) copy[random() % copy.size()] = char(random());
      damaged.push_back(copy);
    }
    std::string path = dir.File("damaged-" + name), error;
    for (const std::string& data : damaged) {
      WriteBytes(path, data);
      FloatImage image;
      error.clear();
      if (ReadImage(path, image, &error))
        EXPECT_EQ(image.pixels.size(), size_t(image.width) * size_t(image.height));
      else
        EXPECT_THAT(error, StartsWith(path + ": "));
    }
  }
}

// Lowers the file-size limit so that writes past `bytes` fail (EFBIG).
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &old_);
    oldSignal_ = signal(SIGXFSZ, SIG_IGN);
    rlimit limit = old_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    signal(SIGXFSZ, oldSignal_);
  }

 private:
  rlimit old_{};
  sighandler_t oldSignal_;
};

TEST(ImageIo, FailedWriteKeepsTheOldFileAndLeavesNoTemporary) {
  using Writer = std::function<bool(const std::string&, const Bitmap&, std::string*)>;
  const std::vector<std::pair<std::string, Writer>> writers = {
      {"old.png", [](auto& p, auto& b, auto* e) { return WritePng(p, b, 8, e); }},
      {"old16.png", [](auto& p, auto& b, auto* e) { return WritePng(p, b, 16, e); }},
      {"old.exr",
       [](auto& p, auto& b, auto* e) {
         return WriteExr(p, {{"", &b}, {"x", &b}}, e);
       }},
  };
  ScratchDir dir;
  std::filesystem::create_directory(dir.File("target-is-a-folder"));
  const std::vector<std::string> entries = {"old.exr", "old.png", "old16.png",
                                            "target-is-a-folder"};
  const Bitmap small = PatternBitmap(4, 4, 1), big = PatternBitmap(300, 300, 2);
  for (const auto& [name, write] : writers) {
    SCOPED_TRACE(name);
    std::string path = dir.File(name), error;
    ASSERT_TRUE(write(path, small, &error)) << error;
    const std::string old = ReadBytes(path);
    {
      FileSizeLimit limit(4096);  // the write fails part-way through
      EXPECT_FALSE(write(path, big, &error));
    }
    EXPECT_THAT(error, StartsWith(path + ": write failed"));
    EXPECT_EQ(ReadBytes(path), old);

    std::string folder = dir.File("target-is-a-folder");
    EXPECT_FALSE(write(folder, small, &error));  // only regular files are replaced
    EXPECT_THAT(error, StartsWith(folder + ": is a folder, not a regular file"));
    EXPECT_TRUE(std::filesystem::is_empty(folder));

    std::string missing = dir.File("missing/image");
    EXPECT_FALSE(write(missing, small, &error));
    EXPECT_EQ(error, missing + ": cannot write (the directory does not exist)");
  }
  EXPECT_EQ(dir.Entries(), entries);

  // A successful write replaces the old file.
  std::string error;
  ASSERT_TRUE(writers[0].second(dir.File("old.png"), big, &error)) << error;
  FloatImage read;
  ASSERT_TRUE(ReadImage(dir.File("old.png"), read, &error)) << error;
  EXPECT_EQ(read.width, 300);
  EXPECT_EQ(dir.Entries(), entries);
}

TEST(ImageIo, WriteToUnwritableDirectoryFails) {
  if (geteuid() == 0) GTEST_SKIP() << "directory permissions do not bind root";
  ScratchDir dir;
  std::string path = dir.File("image.png"), error;
  ASSERT_TRUE(WritePng(path, PatternBitmap(2, 2, 1), 8, &error)) << error;
  const std::string old = ReadBytes(path);
  chmod(dir.Path().c_str(), 0555);
  EXPECT_FALSE(WritePng(path, PatternBitmap(3, 3, 1), 8, &error));
  chmod(dir.Path().c_str(), 0755);
  EXPECT_THAT(error, StartsWith(path + ": cannot write"));
  EXPECT_EQ(ReadBytes(path), old);
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"image.png"});
}

TEST(ImageIo, RefusesToWriteWhatItCannot) {
  ScratchDir dir;
  const Bitmap image = PatternBitmap(4, 4, 1), other = PatternBitmap(4, 5, 1), empty;
  std::string path = dir.File("out"), error;
  struct Case {
    const char* name;
    std::function<bool()> write;
  };
  const std::vector<Case> cases = {
      {"12 bits", [&] { return WritePng(path, image, 12, &error); }},
      {"empty png", [&] { return WritePng(path, empty, 8, &error); }},
      {"no layers", [&] { return WriteExr(path, {}, &error); }},
      {"empty exr",
       [&] {
         return WriteExr(path, {{"", &empty}}, &error);
       }},
      {"null layer",
       [&] {
         return WriteExr(path, {{"", &image}, {"x", nullptr}}, &error);
       }},
      {"sizes differ",
       [&] {
         return WriteExr(path, {{"", &image}, {"x", &other}}, &error);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    error.clear();
    EXPECT_FALSE(c.write());
    EXPECT_THAT(error, StartsWith(path + ": "));
  }
  EXPECT_TRUE(dir.Entries().empty());
}

}  // namespace
}  // namespace host
