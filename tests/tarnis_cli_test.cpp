// End-to-end tests of the tarnis program: it renders a small scene to a PNG
// of the asked size with the object where the camera looks, numbers the
// files of a sequence, rejects a malformed scene with one line and exit code
// 1, stops on Ctrl-C with exit code 130 and no image, and describes the demo.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <png.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "host/image_io.h"
#include "sdk/testing/scratch_dir.h"
#include "tests/tarnis_run.h"

namespace {

// A box seen from the front, lit from the camera's side, on a dark background.
constexpr const char* kTinyScene = R"({
  "tarnis": 1,
  "render": {"width": 320, "height": 240, "samples": 1},
  "environment": {"background": [0, 0, 0], "ambient": [0.2, 0.2, 0.2]},
  "camera": {"position": [0, -6, 0], "target": [0, 0, 0], "fov": 40},
  "lights": [{"name": "Key", "type": "omni", "position": [0, -6, 2]}],
  "materials": [{"name": "White", "class": "Standard", "params": {"diffuse": [0.9, 0.9, 0.9]}}],
  "nodes": [{"name": "Box", "mesh": {"primitive": "box", "size": [2, 2, 2]}, "material": "White"}]
})";

TEST(TarnisRender, WritesAPngOfTheAskedSizeShowingTheScene) {
  ScratchDir dir;
  WriteBytes(dir.File("tiny.json"), kTinyScene);
  RunResult run =
      RunTarnis({"render", "tiny.json", "--size", "40x30", "--threads", "2"}, dir.Path().string());
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("Rendered 1 frame (40x30)"), std::string::npos) << run.output;
  host::FloatImage image;
  std::string error;
  ASSERT_TRUE(host::ReadImage(dir.File("out/tiny.png"), image, &error)) << error;
  EXPECT_EQ(image.width, 40);
  EXPECT_EQ(image.height, 30);
  // The box fills the middle of the view; the corners see the black background.
  EXPECT_GT(image.At(20, 15).r, 0.1f);
  EXPECT_LT(image.At(0, 0).r, 0.01f);
  EXPECT_LT(image.At(39, 29).r, 0.01f);
}

TEST(TarnisRender, NumbersTheFilesOfASequence) {
  ScratchDir dir;
  WriteBytes(dir.File("tiny.json"), kTinyScene);
  RunResult run = RunTarnis({"render", "tiny.json", "--size", "8x6", "--frames", "2-3", "-o",
                             "seq/shot.png", "--bits", "16"},
                            dir.Path().string());
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"seq", "tiny.json"}));
  std::string error;
  for (const char* name : {"seq/shot0002.png", "seq/shot0003.png"}) {
    host::FloatImage image;
    EXPECT_TRUE(host::ReadImage(dir.File(name), image, &error)) << error;
    EXPECT_EQ(image.width, 8) << name;
  }
}

TEST(TarnisRender, AMalformedSceneFailsWithOneLine) {
  ScratchDir dir;
  WriteBytes(dir.File("bad.json"),
             R"({"tarnis": 1, "materials": [{"name": "M", "class": "Standard",
                 "params": {"diffuse": "red"}}]})");
  RunResult run = RunTarnis({"render", "bad.json"}, dir.Path().string());
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.output,
            "tarnis: bad.json: materials[0].params.diffuse: expected [r, g, b], got \"red\"\n");
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"bad.json"});

  run = RunTarnis({"render", "--size", "10by10"}, dir.Path().string());
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.output, "tarnis: --size 10by10: expected WxH, each 1..16384\n");
}

TEST(TarnisRender, AMissingTextureIsAWarningAndTheRenderGoesOn) {
  ScratchDir dir;
  WriteBytes(dir.File("tex.json"), R"({"tarnis": 1, "render": {"width": 16, "height": 12},
    "camera": {"position": [0, -6, 0], "target": [0, 0, 0]},
    "materials": [{"name": "Tex", "class": "Bitmap", "params": {"filename": "nope.png"}},
                  {"name": "M", "class": "Standard", "params": {"diffuseMap": "Tex"}}],
    "nodes": [{"name": "Box", "mesh": {"primitive": "box", "size": [2, 2, 2]}, "material": "M"}]})");
  RunResult run = RunTarnis({"render", "tex.json"}, dir.Path().string());
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("tarnis: warning: bitmap map 'Tex': nope.png"), std::string::npos)
      << run.output;
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"out", "tex.json"}));
}

TEST(TarnisRender, CtrlCStopsTheRenderWithoutAFile) {
  ScratchDir dir;
  WriteBytes(dir.File("tiny.json"), kTinyScene);
  // Large enough that the render is still running when the signal arrives.
  RunResult run = RunTarnis({"render", "tiny.json", "--size", "1600x1200", "--samples", "8"},
                            dir.Path().string(), "Rendering frame");
  EXPECT_EQ(run.status, 130) << run.output;
  EXPECT_NE(run.output.find("tarnis: render stopped; 0 frames written"), std::string::npos)
      << run.output;
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"tiny.json"});
}

TEST(TarnisInfo, ListsTheDemosNodes) {
  ScratchDir dir;
  RunResult run =
      RunTarnis({"info", TARNIS_SOURCE_DIR "/examples/demo/demo.json"}, dir.Path().string());
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("nodes      5"), std::string::npos) << run.output;
  for (const char* line :
       {"Ground  plane", "Crate  box, 8 vertices, 12 faces, material Clay", "Ball  sphere",
        "Ring  torus", "Teapot  teapot", "Key  directional", "Clay  Tarnis_Material",
        "ClayBase  Standard"}) {
    EXPECT_NE(run.output.find(line), std::string::npos) << line << "\n" << run.output;
  }
}

std::vector<uint8_t> FileBytes(const std::string& path) {
  std::vector<uint8_t> bytes;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return bytes;
  int c;
  while ((c = std::fgetc(f)) != EOF) bytes.push_back(static_cast<uint8_t>(c));
  std::fclose(f);
  return bytes;
}

TEST(TarnisConvert, ASavedDemoRendersTheSameImageAndSavesToTheSameBytes) {
  ScratchDir dir;
  const std::string demo = TARNIS_SOURCE_DIR "/examples/demo/demo.json";
  RunResult run = RunTarnis({"convert", demo, "demo.tscene"}, dir.Path().string());
  ASSERT_EQ(run.status, 0) << run.output;
  run = RunTarnis({"convert", "demo.tscene", "again.tscene"}, dir.Path().string());
  ASSERT_EQ(run.status, 0) << run.output;
  const std::vector<uint8_t> first = FileBytes(dir.File("demo.tscene"));
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(FileBytes(dir.File("again.tscene")), first);

  const std::vector<std::string> common = {"--size", "160x90", "--samples", "1", "--bits", "16"};
  std::vector<std::string> fromJson = {"render", demo, "-o", "json.png"};
  std::vector<std::string> fromSaved = {"render", "demo.tscene", "-o", "saved.png"};
  fromJson.insert(fromJson.end(), common.begin(), common.end());
  fromSaved.insert(fromSaved.end(), common.begin(), common.end());
  ASSERT_EQ(RunTarnis(fromJson, dir.Path().string()).status, 0);
  ASSERT_EQ(RunTarnis(fromSaved, dir.Path().string()).status, 0);
  host::FloatImage a, b;
  std::string error;
  ASSERT_TRUE(host::ReadImage(dir.File("json.png"), a, &error)) << error;
  ASSERT_TRUE(host::ReadImage(dir.File("saved.png"), b, &error)) << error;
  ASSERT_EQ(a.pixels.size(), b.pixels.size());
  for (size_t i = 0; i < a.pixels.size(); ++i) ASSERT_EQ(a.pixels[i], b.pixels[i]) << "pixel " << i;
}

TEST(TarnisConvert, RefusesABadInputOrOutput) {
  ScratchDir dir;
  WriteBytes(dir.File("junk.tscene"), "not a scene");
  RunResult run = RunTarnis({"convert", "junk.tscene", "out.tscene"}, dir.Path().string());
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.output, "tarnis: junk.tscene: not a saved Tarnis scene\n");
  run = RunTarnis({"convert", TARNIS_SOURCE_DIR "/examples/demo/demo.json", "out.png"},
                  dir.Path().string());
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find("must be a saved scene"), std::string::npos) << run.output;
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"junk.tscene"});
}

TEST(TarnisInfo, ListsTheClassesOfTheHostAndThePlugin) {
  ScratchDir dir;
  RunResult run = RunTarnis({"info", "--classes"}, dir.Path().string());
  ASSERT_EQ(run.status, 0) << run.output;
  for (const char* name : {"Standard", "Bitmap", "StdUVGen", "Tarnis_LineBrush"}) {
    EXPECT_NE(run.output.find(name), std::string::npos) << name << "\n" << run.output;
  }
}

// A line effect with two line sets whose members are given by name.
constexpr const char* kLineScene = R"({
  "tarnis": 1, "render": {"width": 32, "height": 24},
  "camera": {"position": [0, -6, 0], "target": [0, 0, 0]},
  "materials": [{"name": "M", "class": "Standard"}],
  "nodes": [{"name": "Box", "mesh": {"primitive": "box", "size": [2, 2, 2]}, "material": "M"},
            {"name": "Ball", "mesh": {"primitive": "sphere", "radius": 1}},
            {"name": "Group01", "group": true, "children": ["Box"]}],
  "effects": [{"class": "Tarnis_Line", "params": {"main": {"overSampling": 2}},
    "refs": {"1": {"class": "Tarnis_LineSet",
                   "params": {"main": {"name": "Outlines", "objects": ["Group01"], "mtls": ["M"]},
                              "type1": {"lineSize1": 2.0, "edgeIsect1": true}}},
             "2": {"class": "Tarnis_LineSet", "params": {"main": {"name": "Ball", "objects": ["Ball"]}}}}}]
})";

TEST(TarnisInfo, ListsTheLineSetsOfALineEffectAndKeepsThemInASavedScene) {
  ScratchDir dir;
  WriteBytes(dir.File("lines.json"), kLineScene);
  for (const char* scene : {"lines.json", "lines.tscene"}) {
    if (std::string(scene) == "lines.tscene") {
      ASSERT_EQ(RunTarnis({"convert", "lines.json", "lines.tscene"}, dir.Path().string()).status,
                0);
    }
    RunResult run = RunTarnis({"info", scene}, dir.Path().string());
    ASSERT_EQ(run.status, 0) << run.output;
    const std::string expected =
        "    Tarnis_Line\n"
        "      Outlines  Tarnis_LineSet\n"
        "        objects: Group01\n"
        "        mtls: M\n"
        "        settings: 18\n"
        "      Ball  Tarnis_LineSet\n"
        "        objects: Ball\n";
    EXPECT_NE(run.output.find(expected), std::string::npos) << scene << "\n" << run.output;
  }
}

TEST(TarnisRender, DumpsTheDetectedLinePiecesAsSvg) {
  ScratchDir dir;
  WriteBytes(dir.File("lines.json"), kLineScene);
  RunResult run =
      RunTarnis({"render", "lines.json", "-o", "lines.png", "--dump-edges", "edges.svg"},
                dir.Path().string());
  ASSERT_EQ(run.status, 0) << run.output;
  const std::string svg = ReadBytes(dir.File("edges.svg"));
  EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
  EXPECT_NE(svg.find("width=\"32\" height=\"24\""), std::string::npos) << svg;
  // The box (through its group) and the ball have visible outlines.
  EXPECT_NE(svg.find("data-line-set=\"Outlines\""), std::string::npos);
  EXPECT_NE(svg.find("data-line-set=\"Ball\""), std::string::npos);
  EXPECT_NE(svg.find("<g class=\"object\""), std::string::npos);
  EXPECT_NE(svg.find("<line "), std::string::npos);
  // Missing folders are made, as for the images.
  run = RunTarnis({"render", "lines.json", "-o", "lines.png", "--dump-edges", "no/such/dir/e.svg"},
                  dir.Path().string());
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(ReadBytes(dir.File("no/such/dir/e.svg")).rfind("<?xml", 0), 0u);

  // A line set's name is escaped as XML, and characters XML cannot hold are replaced.
  std::string scene = kLineScene;
  const std::string plain = R"("name": "Ball", "objects")";
  ASSERT_NE(scene.find(plain), std::string::npos);
  scene.replace(scene.find(plain), plain.size(), R"("name": "Ball <'1'> \u0001", "objects")");
  WriteBytes(dir.File("named.json"), scene);
  run = RunTarnis({"render", "named.json", "-o", "n.png", "--dump-edges", "n.svg"},
                  dir.Path().string());
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(ReadBytes(dir.File("n.svg")).find(
                "data-line-set=\"Ball &lt;&apos;1&apos;&gt; \xEF\xBF\xBD\""),
            std::string::npos)
      << ReadBytes(dir.File("n.svg"));
}

TEST(TarnisHelp, EveryCommandHasHelp) {
  ScratchDir dir;
  for (std::vector<std::string> args : {std::vector<std::string>{"--help"},
                                        {"render", "--help"},
                                        {"info", "--help"},
                                        {"convert", "--help"}}) {
    RunResult run = RunTarnis(args, dir.Path().string());
    EXPECT_EQ(run.status, 0) << args[0];
    EXPECT_NE(run.output.find("Usage:"), std::string::npos) << run.output;
  }
}

// ---- Hostile input and failing outputs ---------------------------------------

// Outputs that are not regular files, or that are read-only, are refused
// before anything renders and stay as they were; /dev/null stays a device.
TEST(TarnisRender, RefusesToReplaceDevicesAndReadOnlyFiles) {
  ScratchDir dir;
  WriteBytes(dir.File("lines.json"), kLineScene);
  WriteBytes(dir.File("kept.png"), "not replaced");
  std::filesystem::permissions(dir.File("kept.png"), std::filesystem::perms::owner_read);
  std::filesystem::create_symlink("/dev/null", dir.File("null.png"));
  struct Case {
    std::vector<std::string> args;
    const char* says;
  };
  const Case cases[] = {
      {{"render", "lines.json", "-o", "a.png", "--dump-edges", "/dev/null"},
       "/dev/null: is a device"},
      {{"render", "lines.json", "-o", "null.png"}, "null.png: is a device"},
      {{"render", "lines.json", "-o", "kept.png"}, "kept.png: is read-only"},
      {{"render", "lines.json", "-o", "a.png", "--dump-edges", "kept.png"},
       "kept.png: is read-only"},
  };
  for (const Case& c : cases) {
    RunResult run = RunTarnis(c.args, dir.Path().string());
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find(c.says), std::string::npos) << run.output;
    EXPECT_FALSE(std::filesystem::exists(dir.File("a.png")));
  }
  EXPECT_EQ(ReadBytes(dir.File("kept.png")), "not replaced");
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("null.png")));
  EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
}

// A symbolic link as output is written through: the link stays, its target
// gets the image.
TEST(TarnisRender, WritesThroughASymbolicLink) {
  ScratchDir dir;
  WriteBytes(dir.File("lines.json"), kLineScene);
  std::filesystem::create_directories(dir.File("real"));
  std::filesystem::create_symlink("real/image.png", dir.File("link.png"));
  std::filesystem::create_symlink("real/edges.svg", dir.File("edges.svg"));
  RunResult run = RunTarnis({"render", "lines.json", "-o", "link.png", "--dump-edges", "edges.svg"},
                            dir.Path().string());
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.png")));
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("edges.svg")));
  EXPECT_EQ(ReadBytes(dir.File("real/image.png")).substr(1, 3), "PNG");
  EXPECT_EQ(ReadBytes(dir.File("real/edges.svg")).rfind("<?xml", 0), 0u);
}

// A frame that cannot be written leaves the files of that frame, its edge
// dump included, exactly as they were: a frame's files go out together.
TEST(TarnisRender, AFrameThatFailsLeavesItsExistingFilesByteIdentical) {
  ScratchDir dir;
  WriteBytes(dir.File("lines.json"), kLineScene);
  WriteBytes(dir.File("shot0001.png"), "old image");
  WriteBytes(dir.File("edges0001.svg"), "old edges");
  std::filesystem::permissions(dir.File("shot0001.png"), std::filesystem::perms::owner_read);
  RunResult run = RunTarnis(
      {"render", "lines.json", "--frames", "0-1", "-o", "shot.png", "--dump-edges", "edges.svg"},
      dir.Path().string());
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_NE(run.output.find("shot0001.png: is read-only"), std::string::npos) << run.output;
  EXPECT_EQ(ReadBytes(dir.File("shot0001.png")), "old image");
  EXPECT_EQ(ReadBytes(dir.File("edges0001.svg")), "old edges");
  // Frame 0 succeeded before: its files are there.
  EXPECT_EQ(ReadBytes(dir.File("edges0000.svg")).rfind("<?xml", 0), 0u);
}

// Running out of memory while a frame is built ends the run with a clear
// error and exit code 1; the existing image and edge dump stay byte for byte.
TEST(TarnisRender, RunningOutOfMemoryFailsCleanlyAndKeepsTheOldFiles) {
  ScratchDir dir;
  WriteBytes(dir.File("lines.json"), kLineScene);
  WriteBytes(dir.File("lines.png"), "old image");
  WriteBytes(dir.File("edges.svg"), "old edges");
  // The address space of the program is limited to what loading needs but
  // below what an 8192 x 8192 frame needs; the limit passes to the program.
  rlimit old{};
  ::getrlimit(RLIMIT_AS, &old);
  const rlimit low{rlim_t{768} << 20, old.rlim_max};
  ::setrlimit(RLIMIT_AS, &low);
  RunResult run = RunTarnis({"render", "lines.json", "--size", "8192x8192", "-o", "lines.png",
                             "--dump-edges", "edges.svg"},
                            dir.Path().string());
  ::setrlimit(RLIMIT_AS, &old);
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_NE(run.output.find("tarnis: out of memory while rendering frame 0"), std::string::npos)
      << run.output;
  EXPECT_EQ(ReadBytes(dir.File("lines.png")), "old image");
  EXPECT_EQ(ReadBytes(dir.File("edges.svg")), "old edges");
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"edges.svg", "lines.json", "lines.png"}));
}

// Camera and node values far beyond what the ray tracer handles are
// clamped with a warning, or refused; the program never dies of a signal.
TEST(TarnisRender, HugeSceneValuesAreClampedOrRefusedNeverASignal) {
  ScratchDir dir;
  const std::string cases[] = {
      R"("camera": {"position": [1e30, -6, 0], "target": [0, 0, 0]})",
      R"("camera": {"type": "orthographic", "width": 1e35, "position": [0, -6, 0]})",
      R"("camera": {"position": [0, -6, 0], "far": 1e38})",
      R"("camera": {"position": [0, -6, 0]}, "lights": [{"name": "L", "type": "omni", "position": [0, 0, 3e38]}])",
  };
  for (const std::string& camera : cases) {
    WriteBytes(dir.File("huge.json"),
               R"({"tarnis": 1, "render": {"width": 16, "height": 12}, )" + camera + R"(,
      "nodes": [{"name": "Box", "mesh": {"primitive": "box", "size": [2, 2, 2]},
                 "position": [0, 0, 1e20], "scale": [1e9, 1, 1]}]})");
    RunResult run = RunTarnis({"render", "huge.json", "-o", "huge.png"}, dir.Path().string());
    EXPECT_LT(run.status, 2) << camera << "\n" << run.output;
    EXPECT_NE(run.output.find("clamped"), std::string::npos) << camera << "\n" << run.output;
  }
}

// A mesh file that crashes or hangs the mesh library is a clear error in
// seconds.
TEST(TarnisRender, AMeshFileThatBreaksTheMeshLibraryIsAClearError) {
  ScratchDir dir;
  WriteBytes(dir.File("bad.ply"), std::string("ply\nformat binary_\0", 19));
  WriteBytes(dir.File("ply.json"), R"({"tarnis": 1, "render": {"width": 16, "height": 12},
    "nodes": [{"name": "M", "mesh": {"file": "bad.ply"}}]})");
  const auto start = std::chrono::steady_clock::now();
  RunResult run = RunTarnis({"render", "ply.json"}, dir.Path().string());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_NE(run.output.find("mesh file '"), std::string::npos) << run.output;
}

}  // namespace

namespace {

// The settings file is the user's: a command that changes no setting leaves
// it byte for byte (line endings, a symbolic link, binary data alike), and
// one that cannot be read says so.
TEST(TarnisSettings, ACommandThatChangesNoSettingLeavesTheFileAlone) {
  ScratchDir dir;
  std::filesystem::create_directories(dir.File("home/plugcfg"));
  const std::string crlf = "[General]\r\nLineDlgX=120\r\nLineDlgY=80\r\n; mine\r\n";
  WriteBytes(dir.File("home/plugcfg/real.ini"), crlf);
  std::filesystem::create_symlink("real.ini", dir.File("home/plugcfg/tarnis.ini"));
  ::setenv("TARNIS_HOME", dir.File("home").c_str(), 1);
  RunResult run = RunTarnis({"info", "--classes"}, dir.Path().string());
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(ReadBytes(dir.File("home/plugcfg/real.ini")), crlf);
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("home/plugcfg/tarnis.ini")));

  const std::string binary("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
  std::filesystem::remove(dir.File("home/plugcfg/tarnis.ini"));
  WriteBytes(dir.File("home/plugcfg/tarnis.ini"), binary);
  run = RunTarnis({"info", "--classes"}, dir.Path().string());
  ::unsetenv("TARNIS_HOME");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(ReadBytes(dir.File("home/plugcfg/tarnis.ini")), binary);
  EXPECT_NE(run.output.find("tarnis.ini: holds binary data"), std::string::npos) << run.output;
}

}  // namespace

namespace {

// What a scene description gives but nothing would use is named: a line
// set on its own among the effects in a warning, an object of the wrong
// class in a line set's setting slot in an error.
TEST(TarnisRender, NamesObjectsThatWouldBeDroppedSilently) {
  ScratchDir dir;
  WriteBytes(dir.File("odd.json"), R"({
    "tarnis": 1, "render": {"width": 32, "height": 24},
    "camera": {"position": [0, -6, 0], "target": [0, 0, 0]},
    "materials": [{"name": "M", "class": "Standard"}],
    "nodes": [{"name": "Box", "mesh": {"primitive": "box", "size": [2, 2, 2]}, "material": "M"}],
    "effects": [{"class": "Tarnis_LineSet", "params": {"main": {"name": "Loose"}}},
                {"class": "Tarnis_Line", "refs": {"1": {"class": "Tarnis_LineSet",
                   "params": {"main": {"name": "S", "objects": ["Box"]}},
                   "refs": {"13": "M"}}}}]})");
  RunResult run = RunTarnis({"render", "odd.json", "-o", "odd.png"}, dir.Path().string());
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_NE(run.output.find("effects[0]: Tarnis_LineSet is not an effect of its own"),
            std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("effects[1].refs.1.refs.13: reference 13 of Tarnis_LineSet does not "
                            "take a material (Standard)"),
            std::string::npos)
      << run.output;
}

}  // namespace

namespace {

// Work grows with the input, not faster: a line set naming one object
// 300,000 times, 4,000 groups nested in each other and a settings file of
// 150,000 sections each render a small frame in well under two seconds.
TEST(TarnisRender, LargeInputsTakeTimeInProportion) {
  ScratchDir dir;
  std::string objects,
      nodes = R"({"name": "Box", "mesh": {"primitive": "box", "size": [2, 2, 2]}})";
  for (int i = 0; i < 300000; ++i) objects += std::string(i ? ", " : "") + "\"Box\"";
  for (int i = 0; i < 4000; ++i) {
    nodes += ", {\"name\": \"G" + std::to_string(i) + "\", \"group\": true, \"children\": [\"" +
             (i ? "G" + std::to_string(i - 1) : std::string("Box")) + "\"]}";
  }
  auto scene = [&](const std::string& members, const std::string& nodeList) {
    return R"({"tarnis": 1, "render": {"width": 64, "height": 36},
      "camera": {"position": [0, -6, 0], "target": [0, 0, 0]}, "nodes": [)" +
           nodeList + R"(], "effects": [{"class": "Tarnis_Line", "refs": {"1": {
      "class": "Tarnis_LineSet", "params": {"main": {"objects": [)" +
           members + "]}}}}}]}";
  };
  WriteBytes(dir.File("members.json"), scene(objects, nodes.substr(0, nodes.find("}}") + 2)));
  WriteBytes(dir.File("groups.json"), scene("\"G3999\"", nodes));
  std::filesystem::create_directories(dir.File("home/plugcfg"));
  std::string ini;
  for (int i = 0; i < 150000; ++i) ini += "[Section" + std::to_string(i) + "]\nkey=value\n";
  WriteBytes(dir.File("home/plugcfg/tarnis_line.ini"), ini);
  ::setenv("TARNIS_HOME", dir.File("home").c_str(), 1);
  for (const char* file : {"members.json", "groups.json"}) {
    const auto start = std::chrono::steady_clock::now();
    RunResult run = RunTarnis({"render", file, "-o", "out.png"}, dir.Path().string());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << file;
    EXPECT_EQ(run.status, 0) << file << "\n" << run.output;
  }
  ::unsetenv("TARNIS_HOME");
}

}  // namespace

namespace {

// An edge dump that cannot be kept while the frame renders fails the run
// before anything is drawn, like an image that cannot be written.
TEST(TarnisRender, AnEdgeDumpWithNowhereToGoFailsTheRun) {
  ScratchDir dir;
  WriteBytes(dir.File("lines.json"), kLineScene);
  ::setenv("TMPDIR", dir.File("no-such-folder").c_str(), 1);
  RunResult run = RunTarnis({"render", "lines.json", "-o", "lines.png", "--dump-edges", "e.svg"},
                            dir.Path().string());
  ::unsetenv("TMPDIR");
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_NE(run.output.find("e.svg: no folder for the file while the frame renders"),
            std::string::npos)
      << run.output;
  EXPECT_FALSE(std::filesystem::exists(dir.File("lines.png")));
}

}  // namespace

namespace {

// Writes a width x width RGB PNG of one colour row by row, never holding the image.
void WriteLargePng(const std::string& path, int width) {
  FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, file);
  png_set_compression_level(png, 1);
  png_set_IHDR(png, info, width, width, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<png_byte> row(size_t(width) * 3);
  for (size_t i = 0; i < row.size(); i += 3) row[i] = 200, row[i + 1] = 100, row[i + 2] = 50;
  for (int y = 0; y < width; ++y) png_write_row(png, row.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  std::fclose(file);
}

// A small compressed texture that would expand to gigabytes is read at the
// mip level the render can use: a 16384 x 16384 PNG on a 64 x 36 frame
// renders in seconds and well under 500 MB.
TEST(TarnisRender, AHugeTextureIsReadAtTheSizeTheRenderCanUse) {
  ScratchDir dir;
  WriteLargePng(dir.File("huge.png"), 16384);
  WriteBytes(dir.File("tex.json"), R"({"tarnis": 1, "render": {"width": 64, "height": 36},
    "camera": {"position": [0, -6, 0], "target": [0, 0, 0]},
    "materials": [{"name": "Tex", "class": "Bitmap", "params": {"filename": "huge.png"}},
                  {"name": "M", "class": "Standard", "params": {"diffuseMap": "Tex"}}],
    "nodes": [{"name": "Box", "mesh": {"primitive": "box", "size": [2, 2, 2]}, "material": "M"}]})");
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(dir.Path().c_str()) != 0) ::_exit(127);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1), ::dup2(null, 2);
    ::execl(TARNIS_EXE, TARNIS_EXE, "render", "tex.json", "-o", "tex.png", nullptr);
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  ASSERT_EQ(::wait4(pid, &status, 0, &usage), pid);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_LT(usage.ru_maxrss, 500 * 1024) << "KiB";  // ru_maxrss counts KiB
  host::FloatImage image;
  std::string error;
  ASSERT_TRUE(host::ReadImage(dir.File("tex.png"), image, &error)) << error;
  // The box in the middle shows the texture's orange, darkened by shading.
  const AColor mid = image.At(32, 18);
  EXPECT_GT(mid.r, mid.g);
  EXPECT_GT(mid.g, mid.b);
}

}  // namespace
