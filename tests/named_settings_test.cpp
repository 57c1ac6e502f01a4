// A line set's settings written by name ("visible": {"base": ...}) draw the
// same picture as the numbered references they stand for, survive tarnis
// convert, and misspelt or doubled names are refused with a clear line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/image_io.h"
#include "sdk/testing/scratch_dir.h"
#include "tests/language_env.h"

namespace {

// A box and a ball behind it with a line set; SETS stands for the set's settings.
std::string LinedScene(const std::string& sets) {
  return R"({
  "tarnis": 1,
  "render": {"width": 80, "height": 60, "samples": 1},
  "environment": {"background": [1, 1, 1], "ambient": [0.6, 0.6, 0.6]},
  "camera": {"position": [0, -8, 2], "target": [0, 0, 0], "fov": 40},
  "nodes": [
    {"name": "Box", "mesh": {"primitive": "box", "size": [2, 2, 2]}},
    {"name": "Ball", "mesh": {"primitive": "sphere", "radius": 1.2}, "position": [1.2, 2, 0.5]}
  ],
  "effects": [
    {"class": "Tarnis_Line",
     "refs": {"1": {"class": "Tarnis_LineSet",
                    "params": {"main": {"objects": ["Box", "Ball"]},
                               "type1": {"edgeNormal1": true, "normalRespectiveEnable1": true},
                               "type2": {"edgeObject2": true}})" +
         sets + R"(}}}
  ]
})";
}

constexpr const char* kBase = R"({"class": "Tarnis_LineSetting",
    "params": {"lineSize": 3, "lineColor": [0.8, 0.1, 0.1]}})";
constexpr const char* kCrease = R"({"class": "Tarnis_LineSetting",
    "params": {"lineSize": 2, "lineColor": [0.1, 0.6, 0.1]}})";
constexpr const char* kHidden = R"({"class": "Tarnis_LineSetting",
    "params": {"lineSize": 1.5, "lineColor": [0.1, 0.1, 0.8]},
    "refs": {"2": {"class": "Tarnis_LineBrush", "params": {"brush_stroke": {"brushMapstrokeType2": 1}}}}})";

std::string Numbered() {
  return std::string(R"(, "refs": {"13": )") + kBase + R"(, "15": )" + kCrease + R"(, "19": )" +
         kHidden + "}";
}

std::string Named() {
  return std::string(R"(, "visible": {"base": )") + kBase + R"(, "crease": )" + kCrease +
         R"(}, "hidden": {"base": )" + kHidden + "}";
}

host::FloatImage Render(ScratchDir& dir, const std::string& scene, const std::string& name) {
  const RunResult run = RunWith({"render", scene, "-o", name, "--threads", "2"},
                                dir.Path().string(), {"LANG=C.UTF-8"});
  EXPECT_EQ(run.status, 0) << run.output;
  host::FloatImage image;
  std::string error;
  EXPECT_TRUE(host::ReadImage(dir.File(name), image, &error)) << error;
  return image;
}

bool SamePixels(const host::FloatImage& a, const host::FloatImage& b) {
  return a.width == b.width && a.height == b.height && a.pixels == b.pixels;
}

TEST(NamedLineSettings, DrawTheSameAsNumberedReferencesAndSurviveConvert) {
  ScratchDir dir;
  WriteBytes(dir.File("numbered.json"), LinedScene(Numbered()));
  WriteBytes(dir.File("named.json"), LinedScene(Named()));
  WriteBytes(dir.File("plain.json"), LinedScene(""));
  const host::FloatImage numbered = Render(dir, "numbered.json", "numbered.png");
  const host::FloatImage named = Render(dir, "named.json", "named.png");
  const host::FloatImage plain = Render(dir, "plain.json", "plain.png");
  ASSERT_GT(numbered.width, 0);
  EXPECT_TRUE(SamePixels(named, numbered));
  // The settings show: without them the lines are the default black ones.
  EXPECT_FALSE(SamePixels(named, plain));

  const RunResult convert =
      RunWith({"convert", "named.json", "named.tscene"}, dir.Path().string(), {"LANG=C.UTF-8"});
  ASSERT_EQ(convert.status, 0) << convert.output;
  EXPECT_TRUE(SamePixels(Render(dir, "named.tscene", "saved.png"), numbered));
}

TEST(NamedLineSettings, RefuseUnknownAndDoubledNames) {
  struct Case {
    std::string sets;
    std::string message;
  };
  const Case cases[] = {
      {R"(, "visible": {"outlne": )" + std::string(kBase) + "}",
       R"(visible.outlne: unknown name; expected one of base, outline, crease, material, )"
       R"(smoothing, intersection; did you mean "outline"?)"},
      {R"(, "visibel": {"base": )" + std::string(kBase) + "}",
       R"(visibel: unknown key; expected one of class, name, params, refs, visible, hidden; )"
       R"(did you mean "visible"?)"},
      {R"(, "refs": {"13": )" + std::string(kBase) + R"(}, "visible": {"base": )" + kBase + "}",
       "visible.base: reference 13 is given twice: here and under \"refs\""},
      {R"(, "hidden": {"base": 3})", "hidden.base: "},
  };
  ScratchDir dir;
  for (const Case& c : cases) {
    WriteBytes(dir.File("bad.json"), LinedScene(c.sets));
    const RunResult run = RunWith({"render", "bad.json"}, dir.Path().string(), {"LANG=C.UTF-8"});
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find(c.message), std::string::npos) << c.message << "\n" << run.output;
  }
}

// A stroke map is an ordinary map: as the base setting's line map, solid and
// green, it colours the lines it is sampled along.
TEST(NamedLineSettings, AStrokeMapColoursLinesAsTheirLineMap) {
  ScratchDir dir;
  const std::string withMap = R"(, "visible": {"base": {"class": "Tarnis_LineSetting",
      "params": {"lineSize": 3, "lineColor": [0, 0, 0],
                 "lineMap": {"class": "Tarnis_Stroke",
                             "params": {"main": {"strokeColor": [0, 1, 0], "strokeWidth": 100}}}}}})";
  WriteBytes(dir.File("mapped.json"), LinedScene(withMap));
  const host::FloatImage image = Render(dir, "mapped.json", "mapped.png");
  int green = 0, dark = 0;
  for (const AColor& c : image.pixels) {
    if (c.g > 0.5f && c.r < 0.3f && c.b < 0.3f) ++green;
    if (c.r < 0.1f && c.g < 0.1f && c.b < 0.1f) ++dark;
  }
  EXPECT_GT(green, 20) << "the lines take the map's colour";
  EXPECT_EQ(dark, 0) << "no black line is left";
}

}  // namespace
