// End-to-end tests of what `tarnis render` makes of its options and of the
// scene's render settings: the background's alpha, default lighting, frame
// lists, --quiet, --stats, --version and warnings for options the output has
// no use for.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "host/image_io.h"
#include "sdk/testing/scratch_dir.h"
#include "tests/tarnis_run.h"

namespace {

// A grey box in front of the camera on a blue background, with the given
// lights and extra keys of the render block.
std::string BoxScene(const std::string& lights, const std::string& render = "") {
  std::string scene = R"({"tarnis": 1,
    "render": {"width": 24, "height": 16, "samples": 1 RENDER},
    "environment": {"background": [0.1, 0.2, 0.9], "ambient": [0, 0, 0]},
    "camera": {"position": [0, -6, 0], "target": [0, 0, 0], "fov": 40},
    "lights": [LIGHTS],
    "materials": [{"name": "Grey", "class": "Standard", "params": {"diffuse": [0.8, 0.8, 0.8]}}],
    "nodes": [{"name": "Box", "mesh": {"primitive": "box", "size": [2, 2, 2]}, "material": "Grey"}]})";
  scene.replace(scene.find("RENDER"), 6, render);
  scene.replace(scene.find("LIGHTS"), 6, lights);
  return scene;
}

constexpr const char* kKeyLight = R"({"name": "Key", "type": "omni", "position": [0, -6, 2]})";
constexpr const char* kTwentyFrames = R"(, "frames": [0, 20])";

host::FloatImage ReadPng(const std::string& path) {
  host::FloatImage image;
  std::string error;
  EXPECT_TRUE(host::ReadImage(path, image, &error)) << error;
  return image;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(RenderAlpha, TheBackgroundIsOpaqueUnlessATransparentOneIsAskedFor) {
  struct Case {
    const char* name;
    std::string render;             // extra keys of the scene's render block
    std::vector<std::string> args;  // extra command-line options
    const char* output;
    float backgroundAlpha;
  };
  const Case cases[] = {
      {"default png", "", {}, "a.png", 1.0f},
      {"default exr", "", {}, "a.exr", 1.0f},
      {"--alpha", "", {"--alpha"}, "a.png", 0.0f},
      {"--alpha exr", "", {"--alpha"}, "a.exr", 0.0f},
      {"scene alpha", R"(, "alpha": true)", {}, "a.png", 0.0f},
      {"scene opaque", R"(, "alpha": false)", {}, "a.png", 1.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir dir;
    WriteBytes(dir.File("box.json"), BoxScene(kKeyLight, c.render));
    std::vector<std::string> args{"render", "box.json", "-o", c.output};
    args.insert(args.end(), c.args.begin(), c.args.end());
    RunResult run = RunTarnis(args, dir.Path().string());
    ASSERT_EQ(run.status, 0) << run.output;
    host::FloatImage image = ReadPng(dir.File(c.output));
    ASSERT_EQ(image.width, 24);
    // The corner sees the background with its colour either way; the box is opaque.
    EXPECT_NEAR(image.At(0, 0).a, c.backgroundAlpha, 1e-3f);
    EXPECT_NEAR(image.At(0, 0).b, 0.9f, 0.01f);
    EXPECT_NEAR(image.At(12, 8).a, 1.0f, 1e-3f);
  }
}

TEST(RenderLights, ASceneWithoutLightsIsLitFromTheCameraWithANote) {
  ScratchDir dir;
  WriteBytes(dir.File("dark.json"), BoxScene(""));
  RunResult run = RunTarnis({"render", "dark.json", "-o", "dark.png"}, dir.Path().string());
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_TRUE(Contains(run.output, "tarnis: note: the scene has no lights; a key and a fill light"))
      << run.output;
  // With no ambient light the box would be black; the key light reaches its front.
  host::FloatImage image = ReadPng(dir.File("dark.png"));
  EXPECT_GT(image.At(12, 8).r, 0.2f);

  // A scene with a light switched off keeps its darkness, and hears no note.
  WriteBytes(
      dir.File("off.json"),
      BoxScene(R"({"name": "Off", "type": "omni", "position": [0, -6, 2], "multiplier": 0})"));
  run = RunTarnis({"render", "off.json", "-o", "off.png"}, dir.Path().string());
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_FALSE(Contains(run.output, "note:")) << run.output;
  EXPECT_LT(ReadPng(dir.File("off.png")).At(12, 8).r, 0.01f);
}

TEST(RenderFrames, StepsAndListsRenderExactlyTheNamedFrames) {
  struct Case {
    const char* frames;
    std::vector<std::string> files;
    bool outsideWarning;
  };
  const Case cases[] = {
      {"1-13:4", {"s0001.png", "s0005.png", "s0009.png", "s0013.png"}, false},
      {"1,5,9-11", {"s0001.png", "s0005.png", "s0009.png", "s0010.png", "s0011.png"}, false},
      {"7,2", {"s0002.png", "s0007.png"}, false},
      {"3", {"s.png"}, false},
      {"19-23:2", {"s0019.png", "s0021.png", "s0023.png"}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.frames);
    ScratchDir dir;
    WriteBytes(dir.File("box.json"), BoxScene(kKeyLight, kTwentyFrames));
    RunResult run = RunTarnis({"render", "box.json", "--frames", c.frames, "-o", "seq/s.png"},
                              dir.Path().string());
    ASSERT_EQ(run.status, 0) << run.output;
    std::vector<std::string> written;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path() / "seq"))
      written.push_back(e.path().filename().string());
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, c.files);
    EXPECT_EQ(
        Contains(run.output, "warning: --frames " + std::string(c.frames) +
                                 ": 2 frames from 21 to 23 lie outside the scene's frames 0-20"),
        c.outsideWarning)
        << run.output;
  }
  ScratchDir dir;
  RunResult run = RunTarnis({"render", "--frames", "1-9:0"}, dir.Path().string());
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Contains(run.output, "tarnis: --frames 1-9:0: expected")) << run.output;
  EXPECT_TRUE(dir.Entries().empty());
}

TEST(RenderQuiet, PrintsNothingButWarningsAndErrors) {
  ScratchDir dir;
  WriteBytes(dir.File("dark.json"), BoxScene(""));
  RunResult run = RunTarnis({"render", "dark.json", "--quiet"}, dir.Path().string());
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output, "");
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"dark.json", "out"}));

  WriteBytes(dir.File("long.json"), BoxScene("", kTwentyFrames));
  run = RunTarnis({"render", "long.json", "-q", "--frames", "30"}, dir.Path().string());
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output,
            "tarnis: warning: --frames 30: frame 30 lies outside the scene's frames 0-20\n");

  run = RunTarnis({"render", "missing.json", "--quiet"}, dir.Path().string());
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Contains(run.output, "tarnis: missing.json")) << run.output;
}

struct StatValue {
  double value = -1.0;
  std::string unit;
};

// The `stats SCOPE: STAGE NUMBER UNIT` lines of the output by "SCOPE: STAGE";
// a line that does not end in a number and a unit fails the test.
std::map<std::string, StatValue> ParseStats(const std::string& output) {
  std::map<std::string, StatValue> stats;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("stats ", 0) != 0) continue;
    const size_t unitAt = line.rfind(' ');
    const size_t numberAt = line.rfind(' ', unitAt - 1);
    EXPECT_TRUE(unitAt != std::string::npos && numberAt > 6) << line;
    if (unitAt == std::string::npos || numberAt <= 6) continue;
    const std::string number = line.substr(numberAt + 1, unitAt - numberAt - 1);
    char* end = nullptr;
    StatValue v{std::strtod(number.c_str(), &end), line.substr(unitAt + 1)};
    EXPECT_TRUE(!number.empty() && *end == '\0') << line;
    stats[line.substr(6, numberAt - 6)] = v;
  }
  return stats;
}

TEST(RenderStats, PrintsEveryStageOfEachFrameAndTheTotalOnlyWhenAsked) {
  const std::vector<std::string> frameStages = {"build",   "pre-frame", "shade", "post-frame",
                                                "effects", "outputs",   "write"};
  const std::vector<std::string> totalStages = {"load",    "build",   "pre-frame",   "shade",
                                                "post-frame", "effects", "outputs",
                                                "write",   "post-render", "elapsed"};
  struct Case {
    std::vector<std::string> args;
    bool stats, summary;
  };
  const Case cases[] = {
      {{}, false, true},
      {{"--stats"}, true, true},
      // They were asked for, so --quiet does not silence them.
      {{"--stats", "--quiet"}, true, false},
  };
  ScratchDir dir;
  WriteBytes(dir.File("box.json"), BoxScene(kKeyLight, kTwentyFrames));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.empty() ? "no option" : c.args.back());
    std::vector<std::string> args{"render", "box.json", "-o", "s.png", "--frames", "3,4"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    RunResult run = RunTarnis(args, dir.Path().string());
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(Contains(run.output, "Rendered 2 frames"), c.summary) << run.output;
    const std::map<std::string, StatValue> stats = ParseStats(run.output);
    if (!c.stats) {
      EXPECT_TRUE(stats.empty()) << run.output;
      continue;
    }
    std::map<std::string, std::string> expected;  // "scope: stage" -> unit
    for (const char* scope : {"frame 3", "frame 4"}) {
      for (const std::string& stage : frameStages) expected[scope + (": " + stage)] = "s";
      expected[scope + std::string(": peak memory")] = "MiB";
    }
    for (const std::string& stage : totalStages) expected["total: " + stage] = "s";
    expected["total: peak memory"] = "MiB";
    std::map<std::string, std::string> units;
    for (const auto& [key, v] : stats) {
      units[key] = v.unit;
      EXPECT_TRUE(std::isfinite(v.value) && v.value >= 0.0) << key << " " << v.value;
    }
    ASSERT_EQ(units, expected) << run.output;
    // A process that rendered an image had memory; the whole run outlasts its load.
    EXPECT_GT(stats.at("total: peak memory").value, 1.0);
    EXPECT_GE(stats.at("total: elapsed").value, stats.at("total: load").value);
  }
}

TEST(RenderOptions, WarnsAboutOptionsTheOutputHasNoUseFor) {
  ScratchDir dir;
  WriteBytes(dir.File("box.json"), BoxScene(kKeyLight));
  RunResult run =
      RunTarnis({"render", "box.json", "-o", "a.exr", "--bits", "16"}, dir.Path().string());
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_TRUE(Contains(run.output, "tarnis: warning: --bits 16 applies to PNG files only"))
      << run.output;
  run = RunTarnis({"render", "box.json", "-o", "a.png", "--bits", "16"}, dir.Path().string());
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_FALSE(Contains(run.output, "warning")) << run.output;
}

TEST(TarnisVersion, NamesTheReleaseAndThePluginSdk) {
  ScratchDir dir;
  RunResult run = RunTarnis({"--version"}, dir.Path().string());
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output, std::string("tarnis ") + TARNIS_VERSION + " (plug-in SDK 1.1.0)\n");
}

}  // namespace
