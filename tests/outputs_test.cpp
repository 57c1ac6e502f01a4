// End-to-end tests of what a render writes beside its image: vector files of
// the lines (Illustrator EPS, EPS, SVG) and render elements (lines alone,
// toon material components), as PNGs beside the frame or layers of an EXR.
#include <gtest/gtest.h>
#include <ImfChannelList.h>
#include <ImfHeader.h>
#include <ImfInputFile.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "host/image_io.h"
#include "sdk/testing/scratch_dir.h"
#include "tests/tarnis_run.h"

namespace {

namespace fs = std::filesystem;

// A rotated box, partly hiding a second one, drawn with black outlines and
// creases (hidden ones in blue) over a grey image,
// EFFECTS and ELEMENTS added to the scene's lists.
std::string LineScene(const std::string& effects, const std::string& elements,
                      const std::string& lineEffect = "") {
  std::string scene = R"({"tarnis": 1,
    "render": {"width": 160, "height": 120, "samples": 1},
    "environment": {"background": [0.9, 0.9, 0.9], "ambient": [0.3, 0.3, 0.3]},
    "camera": {"position": [4, -7, 3], "target": [0, 0, 0], "fov": 40},
    "lights": [{"name": "Key", "type": "omni", "position": [3, -6, 5]}],
    "materials": [{"name": "Grey", "class": "Standard", "params": {"diffuse": [0.7, 0.7, 0.7]}}],
    "nodes": [{"name": "Box", "mesh": {"primitive": "box", "size": [2, 2, 2]}, "material": "Grey",
               "rotation": [0, 0, 20]},
              {"name": "Back", "mesh": {"primitive": "box", "size": [1.5, 1.5, 1.5]},
               "material": "Grey", "position": [-1.4, 2.5, 0.6]}],
    "effects": [
      {"class": "Tarnis_Line", "name": "Lines", "params": {"main": {LINE_MAIN}},
       "refs": {"1": {"class": "Tarnis_LineSet",
                      "params": {"main": {"name": "Box lines", "objects": ["Box", "Back"]},
                                 "type1": {"edgeObject1": true, "edgeNormal1": true,
                                           "edgeNormalMin1": 40, "edgeSmooth1": true},
                                 "type2": {"edgeObject2": true, "edgeNormal2": true,
                                           "edgeNormalMin2": 40, "edgeSmooth2": true}},
                      "visible": {"base": {"class": "Tarnis_LineSetting",
                                           "params": {"lineSize": 3, "lineColor": [0, 0, 0]}}},
                      "hidden": {"base": {"class": "Tarnis_LineSetting",
                                          "params": {"lineSize": 2, "lineColor": [0, 0, 0.8]}}}}}}
      EFFECTS],
    "elements": [ELEMENTS]})";
  scene.replace(scene.find("LINE_MAIN"), 9, lineEffect);
  scene.replace(scene.find("EFFECTS"), 7, effects.empty() ? "" : ", " + effects);
  scene.replace(scene.find("ELEMENTS"), 8, elements);
  return scene;
}

std::string FileOut(int type, const std::string& name, bool visible = true, bool hidden = true) {
  return R"({"class": "Tarnis_FileOut", "params": {"tarnis_fileout": {"fileType": )" +
         std::to_string(type) + R"(, "fileName": ")" + name +
         R"("}, "tarnis_fileout_line": {"lineEnable": )" + (visible ? "true" : "false") +
         R"(, "hiddenLineEnable": )" + (hidden ? "true" : "false") + "}}}";
}

constexpr const char* kVisibleLineElement =
    R"({"class": "Tarnis_Line_Render_Element", "name": "lines",
        "params": {"Tarnis Line render element parameters": {"hiddenLineEnable": false}}})";

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

RunResult Render(const ScratchDir& dir, const std::string& scene,
                 const std::vector<std::string>& more = {}) {
  WriteBytes(dir.File("scene.json"), scene);
  std::vector<std::string> args = {"render", "scene.json", "-o", "out/frame.png", "--quiet"};
  args.insert(args.end(), more.begin(), more.end());
  return RunTarnis(args, dir.Path().string());
}

host::FloatImage ReadImageFile(const fs::path& path) {
  host::FloatImage image;
  std::string error;
  EXPECT_TRUE(host::ReadImage(path.string(), image, &error)) << error;
  return image;
}

bool HaveGhostscript() {
  return std::system("gs --version >/dev/null 2>&1") == 0;
}

// Rasterises an EPS file at one pixel per point (the file's page is the
// image's size in points); false when Ghostscript reports an error.
bool Rasterise(const fs::path& eps, const fs::path& png, std::string* log) {
  const fs::path out = png.string() + ".log";
  const std::string command = "gs -q -dSAFER -dBATCH -dNOPAUSE -dEPSCrop -sDEVICE=pnggray -r72 "
                              "-sOutputFile='" + png.string() + "' '" + eps.string() + "' >'" +
                              out.string() + "' 2>&1";
  const int status = std::system(command.c_str());
  *log = ReadBytes(out);
  return status == 0 && log->find("Error") == std::string::npos;
}

using Mask = std::vector<std::vector<bool>>;

Mask Threshold(const host::FloatImage& image, bool (*isLine)(const AColor&)) {
  Mask mask(static_cast<size_t>(image.height), std::vector<bool>(static_cast<size_t>(image.width)));
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) mask[y][x] = isLine(image.At(x, y));
  }
  return mask;
}

int Count(const Mask& m) {
  int n = 0;
  for (const auto& row : m) {
    for (bool b : row) n += b ? 1 : 0;
  }
  return n;
}

// The share of `from`'s set pixels that lie within 1.5 px of a set pixel of `to`.
double ShareNear(const Mask& from, const Mask& to) {
  int total = 0, near = 0;
  const int h = static_cast<int>(from.size()), w = h ? static_cast<int>(from[0].size()) : 0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      if (!from[y][x]) continue;
      ++total;
      bool found = false;
      for (int dy = -1; dy <= 1 && !found; ++dy) {
        for (int dx = -1; dx <= 1 && !found; ++dx) {
          const int u = x + dx, v = y + dy;
          // Within 1.5 px: the 8 neighbours (diagonals are 1.41 away).
          if (v >= 0 && v < static_cast<int>(to.size()) && u >= 0 &&
              u < static_cast<int>(to[v].size()) && to[v][u]) {
            found = true;
          }
        }
      }
      near += found ? 1 : 0;
    }
  }
  return total ? static_cast<double>(near) / total : 0.0;
}

TEST(VectorFiles, EveryKindCoversThePixelsTheLinesCover) {
  if (!HaveGhostscript()) GTEST_SKIP() << "Ghostscript (gs) is not installed";
  ScratchDir dir;
  const std::string effects = FileOut(0, "lines_ai.eps", true, false) + ", " +
                              FileOut(1, "lines.eps", true, false) + ", " +
                              FileOut(2, "lines.svg", true, false);
  RunResult run = Render(dir, LineScene(effects, kVisibleLineElement));
  ASSERT_EQ(run.status, 0) << run.output;
  // Relative names go beside the images.
  const fs::path out = dir.Path() / "out";
  for (const char* name : {"lines_ai.eps", "lines.eps", "lines.svg", "frame_lines.png"}) {
    ASSERT_TRUE(fs::exists(out / name)) << name << "\n" << run.output;
  }
  // The lines alone: the element's coverage.
  const Mask bitmap = Threshold(ReadImageFile(out / "frame_lines.png"),
                                [](const AColor& c) { return c.a > 0.5f; });
  ASSERT_GT(Count(bitmap), 200);
  for (const char* name : {"lines_ai.eps", "lines.eps"}) {
    SCOPED_TRACE(name);
    std::string log;
    const fs::path png = out / (std::string(name) + ".png");
    ASSERT_TRUE(Rasterise(out / name, png, &log)) << log;
    const host::FloatImage raster = ReadImageFile(png);
    ASSERT_EQ(raster.width, 160);
    ASSERT_EQ(raster.height, 120);
    const Mask drawn = Threshold(raster, [](const AColor& c) { return c.r < 0.5f; });
    EXPECT_GE(ShareNear(bitmap, drawn), 0.95);
    EXPECT_GE(ShareNear(drawn, bitmap), 0.95);
  }
  // The SVG's path points are the EPS file's points with y turned downward.
  const std::string svg = ReadBytes(out / "lines.svg");
  const std::string eps = ReadBytes(out / "lines.eps");
  std::set<std::pair<long, long>> svgPoints, epsPoints;
  const std::regex number("(-?[0-9.]+(?:[eE][-+]?[0-9]+)?)");
  const std::regex svgPath("\\sd=\"([^\"]*)\"");
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), svgPath); it != std::sregex_iterator();
       ++it) {
    const std::string d = (*it)[1];
    std::vector<double> values;
    for (auto n = std::sregex_iterator(d.begin(), d.end(), number); n != std::sregex_iterator(); ++n)
      values.push_back(std::stod((*n)[1]));
    for (size_t i = 0; i + 1 < values.size(); i += 2)
      svgPoints.insert({std::lround(values[i] * 10), std::lround(values[i + 1] * 10)});
  }
  const std::regex epsPoint("(-?[0-9.eE+-]+) (-?[0-9.eE+-]+) [ml]");
  std::istringstream lines(eps);
  for (std::string line; std::getline(lines, line);) {
    std::smatch m;
    if (std::regex_match(line, m, epsPoint)) {
      epsPoints.insert({std::lround(std::stod(m[1]) * 10), std::lround(std::stod(m[2]) * 10)});
    }
  }
  ASSERT_FALSE(svgPoints.empty());
  // Both are image pixels, y downward (the EPS file turns its page with its
  // first commands); numbers may differ in their last printed digit.
  size_t matched = 0;
  for (auto [x, y] : svgPoints) {
    bool found = false;
    for (long dx = -1; dx <= 1 && !found; ++dx) {
      for (long dy = -1; dy <= 1 && !found; ++dy) found = epsPoints.count({x + dx, y + dy}) > 0;
    }
    matched += found ? 1 : 0;
  }
  EXPECT_GE(matched, svgPoints.size() * 95 / 100)
      << "svg points " << svgPoints.size() << ", eps points " << epsPoints.size();
}

TEST(VectorFiles, ASequenceNumbersItsFilesAndASingleFrameDoesNot) {
  ScratchDir dir;
  std::string scene = LineScene(FileOut(1, "lines.eps"), "");
  RunResult run = Render(dir, scene, {"--frames", "7"});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_TRUE(fs::exists(dir.Path() / "out/lines.eps")) << run.output;
  run = Render(dir, scene, {"--frames", "12344-12345"});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_TRUE(fs::exists(dir.Path() / "out/lines12344.eps")) << run.output;
  EXPECT_TRUE(fs::exists(dir.Path() / "out/lines12345.eps")) << run.output;
  run = Render(dir, scene, {"--frames", "6-7"});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_TRUE(fs::exists(dir.Path() / "out/lines0006.eps")) << run.output;
  EXPECT_TRUE(fs::exists(dir.Path() / "out/lines0007.eps")) << run.output;
  // Every file is complete: no temporary file is left beside them.
  for (const auto& entry : fs::directory_iterator(dir.Path() / "out")) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(name.ends_with(".eps") || name.ends_with(".png")) << name;
    if (name.ends_with(".eps")) {
      EXPECT_TRUE(ReadBytes(entry.path()).ends_with("%%EOF\n")) << name;
    }
  }
}

TEST(VectorFiles, HiddenLinesAloneMakeOnlyHiddenLayers) {
  ScratchDir dir;
  RunResult run = Render(dir, LineScene(FileOut(0, "hidden.eps", false, true), ""));
  ASSERT_EQ(run.status, 0) << run.output;
  const std::string ai = ReadBytes(dir.Path() / "out/hidden.eps");
  EXPECT_TRUE(Contains(ai, "(Box lines(hidden)) Ln\n")) << ai.substr(0, 2000);
  EXPECT_FALSE(Contains(ai, "(Box lines) Ln")) << ai.substr(0, 2000);
}

TEST(VectorFiles, AFileThatCannotBeWrittenIsNamedAndFailsTheRender) {
  ScratchDir dir;
  // A regular file where the vector file's folder would be.
  WriteBytes(dir.File("blocked"), "not a folder");
  const std::string target = (dir.Path() / "blocked/lines.eps").string();
  RunResult run = Render(dir, LineScene(FileOut(1, target), ""));
  EXPECT_NE(run.status, 0) << run.output;
  EXPECT_TRUE(Contains(run.output, target)) << run.output;
  // The image itself is written.
  EXPECT_TRUE(fs::exists(dir.Path() / "out/frame.png")) << run.output;
}

TEST(LineElement, RenderElementOnlyWithoutAnElementWarnsOnce) {
  ScratchDir dir;
  RunResult run = Render(dir, LineScene("", "", R"("RenderElementOnly": true)"),
                         {"--frames", "0-1"});
  ASSERT_EQ(run.status, 0) << run.output;
  const std::string warning = "no enabled render element receives the lines";
  const size_t first = run.output.find(warning);
  ASSERT_NE(first, std::string::npos) << run.output;
  EXPECT_EQ(run.output.find(warning, first + 1), std::string::npos) << run.output;
  // With an element the lines go there, not into the image, and nothing is said.
  run = Render(dir, LineScene("", kVisibleLineElement, R"("RenderElementOnly": true)"));
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_FALSE(Contains(run.output, warning)) << run.output;
  const host::FloatImage image = ReadImageFile(dir.Path() / "out/frame.png");
  const host::FloatImage lines = ReadImageFile(dir.Path() / "out/frame_lines.png");
  int dark = 0, covered = 0;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      dark += image.At(x, y).r < 0.1f ? 1 : 0;
      covered += lines.At(x, y).a > 0.5f ? 1 : 0;
    }
  }
  EXPECT_EQ(dark, 0);
  EXPECT_GT(covered, 200);
}

TEST(LineElement, AnExrHoldsTheImageAndEveryElementAsLayers) {
  ScratchDir dir;
  const std::string elements =
      std::string(kVisibleLineElement) +
      R"(, {"class": "Tarnis_Mat_Render_Element", "name": "zones",
            "params": {"Tarnis Material render element parameters": {"matID": 0}}})";
  WriteBytes(dir.File("scene.json"), LineScene("", elements));
  RunResult run = RunTarnis({"render", "scene.json", "-o", "frame.exr", "--quiet"},
                            dir.Path().string());
  ASSERT_EQ(run.status, 0) << run.output;
  Imf::InputFile file((dir.Path() / "frame.exr").string().c_str());
  std::set<std::string> layers, channels;
  file.header().channels().layers(layers);
  for (auto it = file.header().channels().begin(); it != file.header().channels().end(); ++it)
    channels.insert(it.name());
  EXPECT_TRUE(channels.count("R") && channels.count("A")) << "the image's own channels";
  EXPECT_TRUE(layers.count("lines")) << "line element layer";
  EXPECT_TRUE(layers.count("zones")) << "material element layer";
}

}  // namespace
