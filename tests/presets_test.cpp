// `tarnis preset`: presets saved from one scene's objects land in the kind's
// file in the settings folder, apply to another scene's objects so that the
// written scene draws and saves back the same, and bad names, kinds, objects
// and files end with one clear line.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "host/image_io.h"
#include "sdk/testing/scratch_dir.h"
#include "tests/language_env.h"

namespace {

// A box with a toon material, a hatching stroke map, a line set whose
// visible base setting has the brush "Pen", and a material element; the
// values that the presets carry are given.
struct Look {
  int penType;  // the tip: 0 soft, 2 a flat disc
  int penSize;
  int strokeLength;
  int randomU;
  int matID;
  bool designed;  // the toon material's advanced settings have a three-node outline
};

// Advanced settings whose highlight outline is a triangle of uneven radii.
constexpr const char* kDesigned = R"(,
    {"name": "Advanced", "class": "Tarnis_MaterialExt",
     "refs": {"3": {"class": "QvPolygonCtrl",
                    "params": {"main": {"polyNodeAngle": [0, 2, -2],
                                        "polyNodeRadius": [1, 0.5, 0.75],
                                        "polyNodeTYPE": [0, 0, 0],
                                        "polyHandle0": [[0, 0, 0], [0, 0, 0], [0, 0, 0]],
                                        "polyHandle1": [[0, 0, 0], [0, 0, 0], [0, 0, 0]]}}}}})";

std::string PresetScene(const Look& look) {
  const std::string n = std::to_string(look.penSize);
  return R"({
  "tarnis": 1,
  "render": {"width": 80, "height": 60, "samples": 1},
  "environment": {"background": [1, 1, 1], "ambient": [0.6, 0.6, 0.6]},
  "camera": {"position": [0, -8, 2], "target": [0, 0, 0], "fov": 40},
  "materials": [
    {"name": "Grey", "class": "Standard", "params": {"diffuse": [0.8, 0.8, 0.8]}},
    {"name": "Hatch", "class": "Tarnis_Stroke",
     "params": {"coord_ext": {"strokeRandomU": )" +
         std::to_string(look.randomU) + R"(}}},
    {"name": "Toon", "class": "Tarnis_Material",
     "params": {"main": {"baseMaterial": "Grey")" +
         std::string(look.designed ? R"(, "extMaterial": "Advanced")" : "") + R"(}}})" +
         (look.designed ? kDesigned : "") + R"(
  ],
  "nodes": [
    {"name": "Box", "mesh": {"primitive": "box", "size": [2, 2, 2]}, "material": "Toon",
     "rotation": [0, 0, 30]}
  ],
  "effects": [
    {"class": "Tarnis_Line",
     "refs": {"1": {"class": "Tarnis_LineSet",
                    "params": {"main": {"name": "Lines", "objects": ["Box"]}},
                    "visible": {"base": {"class": "Tarnis_LineSetting",
                      "refs": {"2": {"class": "Tarnis_LineBrush", "name": "Pen",
                        "params": {"parameters": {"brushMapSize": )" +
         n + R"(, "brushMapType": )" + std::to_string(look.penType) + R"(},
                                   "brush_stroke": {"brushMapStrokeLength": )" +
         std::to_string(look.strokeLength) + R"(}}}}}}}}}
  ],
  "elements": [{"class": "Tarnis_Mat_Render_Element", "name": "zones",
                "params": {"Tarnis Material render element parameters": {"matID": )" +
         std::to_string(look.matID) + R"(}}}]
})";
}

constexpr Look kWide{0, 6, 12, 20, 7, true};
constexpr Look kThin{2, 1, 5, 0, 1, false};

class TarnisPreset : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteBytes(dir.File("wide.json"), PresetScene(kWide));
    WriteBytes(dir.File("thin.json"), PresetScene(kThin));
  }

  RunResult Run(const std::vector<std::string>& args) {
    return RunWith(args, dir.Path().string(), {"TARNIS_HOME=" + dir.File("home")});
  }
  std::string PresetFile(const std::string& name) { return dir.File("home/plugcfg/" + name); }
  // The lines of one preset of a file, without its header.
  std::vector<std::string> Section(const std::string& file, const std::string& name) {
    std::vector<std::string> lines;
    const std::string text = ReadBytes(PresetFile(file));
    size_t at = text.find("[" + name + "]\n");
    if (at == std::string::npos) return lines;
    at = text.find('\n', at) + 1;
    while (at < text.size() && text[at] != '[') {
      const size_t end = text.find('\n', at);
      lines.push_back(text.substr(at, end - at));
      at = end + 1;
    }
    return lines;
  }
  host::FloatImage Render(const std::string& scene, const std::string& image) {
    const RunResult run = Run({"render", scene, "-o", image, "--quiet"});
    EXPECT_EQ(run.status, 0) << run.output;
    host::FloatImage out;
    std::string error;
    EXPECT_TRUE(host::ReadImage(dir.File(image), out, &error)) << error;
    return out;
  }

  ScratchDir dir;
};

bool Has(const std::vector<std::string>& lines, const std::string& line) {
  for (const std::string& l : lines) {
    if (l == line) return true;
  }
  return false;
}

TEST_F(TarnisPreset, ABrushPresetFromOneSceneDrawsItsLinesInAnother) {
  RunResult run = Run({"preset", "save", "brush", "Wide", "wide.json", "Pen"});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("Saved brush preset \"Wide\" in " +
                            PresetFile("tarnis_preset_line_brush.txt")),
            std::string::npos)
      << run.output;
  EXPECT_TRUE(Has(Section("tarnis_preset_line_brush.txt", "Wide"), "brushMapType = 0"));

  // Named by its path this time: the line set, the slot.
  run = Run({"preset", "apply", "brush", "WIDE", "thin.json", "Lines/visible/base", "-o",
             "applied.tscene"});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("wrote applied.tscene"), std::string::npos) << run.output;

  const host::FloatImage wide = Render("wide.json", "wide.png");
  const host::FloatImage thin = Render("thin.json", "thin.png");
  const host::FloatImage applied = Render("applied.tscene", "applied.png");
  ASSERT_GT(wide.width, 0);
  EXPECT_TRUE(applied.pixels == wide.pixels);
  EXPECT_FALSE(thin.pixels == wide.pixels);
}

// Each kind saves its object's values; applied to the other scene and saved
// back from the written scene, the preset reads the same.
TEST_F(TarnisPreset, EveryKindAppliesWhatItSavedAndNothingElse) {
  struct Case {
    const char* kind;
    const char* object;
    const char* file;
    std::vector<std::string> lines;   // among the preset's lines
    std::vector<std::string> absent;  // keys the preset does not hold
  };
  const std::vector<Case> cases = {
      {"brush",
       "Pen",
       "tarnis_preset_line_brush.txt",
       {"brushMapSize = 6.000000"},
       {"brushMapStrokeLength"}},
      {"brush-stroke",
       "Lines/visible/base/Pen",
       "tarnis_preset_line_stroke.txt",
       {"brushMapStrokeLength = 12.000000", "size_curve_num = 3"},
       {"brushMapSize "}},
      {"stroke",
       "Hatch",
       "tarnis_preset_stroke.txt",
       {"strokeRandomU = 20.000000", "StdUV_MapChannel = 1", "alpha_curve_num = 2"},
       {"strokeWidth"}},
      {"highlight", "Toon", "tarnis_preset_hidesign.txt", {"hi_num = 3", "hi_1r = 0.500000"}, {}},
      {"matelem", "zones", "tarnis_preset_matelem.txt", {"matID = 7"}, {"enabled", "filterOn"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    RunResult run = Run({"preset", "save", c.kind, "Mine", "wide.json", c.object});
    ASSERT_EQ(run.status, 0) << run.output;
    const std::vector<std::string> saved = Section(c.file, "Mine");
    for (const std::string& line : c.lines) EXPECT_TRUE(Has(saved, line)) << line;
    for (const std::string& key : c.absent) {
      for (const std::string& line : saved) EXPECT_NE(line.rfind(key, 0), 0u) << line;
    }
    run = Run({"preset", "apply", c.kind, "Mine", "thin.json", c.object, "-o", "out.tscene"});
    ASSERT_EQ(run.status, 0) << run.output;
    run = Run({"preset", "save", c.kind, "Back", "out.tscene", c.object});
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(Section(c.file, "Back"), saved);
    // The thin scene's own values differ, so the equality above is the preset's doing.
    Run({"preset", "save", c.kind, "Thin", "thin.json", c.object});
    EXPECT_NE(Section(c.file, "Thin"), saved);
  }
}

TEST_F(TarnisPreset, ListShowsNamesInFileOrderAndDeleteRemovesOneIgnoringCase) {
  RunResult run = Run({"preset", "list", "brush"});
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output, "");
  Run({"preset", "save", "brush", "Wide", "wide.json", "Pen"});
  Run({"preset", "save", "brush", "Narrow", "thin.json", "Pen"});
  // Saving again under another letter case replaces the preset in place.
  Run({"preset", "save", "brush", "wide", "thin.json", "Pen"});
  run = Run({"preset", "list", "brush"});
  EXPECT_EQ(run.output, "Wide\nNarrow\n");
  EXPECT_TRUE(Has(Section("tarnis_preset_line_brush.txt", "Wide"), "brushMapSize = 1.000000"));

  run = Run({"preset", "delete", "brush", "NARROW"});
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("Deleted brush preset \"Narrow\""), std::string::npos) << run.output;
  EXPECT_EQ(Run({"preset", "list", "brush"}).output, "Wide\n");
  EXPECT_EQ(ReadBytes(PresetFile("tarnis_preset_line_brush.txt")).find("[Narrow]"),
            std::string::npos);

  // A file that is not a preset file is named and left alone.
  const char bytes[] = "\x89PNG\0\0[Hatch]\nstrokeRandomU=1\n";
  const std::string binary(bytes, sizeof bytes - 1);
  WriteBytes(PresetFile("tarnis_preset_stroke.txt"), binary);
  run = Run({"preset", "list", "stroke"});
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output, "tarnis: warning: " + PresetFile("tarnis_preset_stroke.txt") +
                            ": holds binary data, not presets; its presets are not used\n");
  run = Run({"preset", "save", "stroke", "Hatch", "wide.json", "Hatch"});
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_EQ(ReadBytes(PresetFile("tarnis_preset_stroke.txt")), binary);
}

TEST_F(TarnisPreset, BadNamesKindsObjectsAndFilesEndWithOneClearLine) {
  Run({"preset", "save", "brush", "Wide", "wide.json", "Pen"});
  const std::string before = ReadBytes(PresetFile("tarnis_preset_line_brush.txt"));
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"preset", "list", "brsh"}, "no kind of preset is called \"brsh\"; kinds: highlight"},
      {{"preset", "apply", "brush", "Nope", "thin.json", "Pen", "-o", "x.tscene"},
       "no brush preset is called \"Nope\" (brush presets: \"Wide\")"},
      {{"preset", "apply", "brush", "Wide", "thin.json", "Pencil", "-o", "x.tscene"},
       "thin.json: no brush or line setting is called \"Pencil\"; there are \"Pen\""},
      {{"preset", "apply", "stroke", "Wide", "thin.json", "Pen", "-o", "x.tscene"},
       "no stroke map is called \"Pen\"; there are \"Hatch\""},
      {{"preset", "apply", "brush", "Wide", "thin.json", "base", "-o", "x.tscene"},
       "\"base\" names 2 objects: \"Lines/visible/base"},
      {{"preset", "apply", "brush", "Wide", "thin.json", "Pen", "-o", "x.png"},
       "x.png: the output must be a saved scene (.tscene)"},
      {{"preset", "apply", "brush", "Wide", "missing.json", "Pen", "-o", "x.tscene"},
       "missing.json"},
      {{"preset", "save", "brush", "", "thin.json", "Pen"}, "a preset needs a name"},
      {{"preset", "save", "brush", std::string(260, 'n'), "thin.json", "Pen"},
       "cannot be a preset name"},
      {{"preset", "delete", "brush", "Narrow"}, "no brush preset is called \"Narrow\""},
      {{"preset", "apply", "brush", "Wide", "thin.json"}, "object is required"},
  };
  for (const Case& c : cases) {
    const RunResult run = Run(c.args);
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_EQ(run.output.rfind("tarnis: ", 0), 0u) << run.output;
    EXPECT_NE(run.output.find(c.message), std::string::npos) << run.output;
    EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << run.output;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("x.tscene")));
  EXPECT_EQ(ReadBytes(PresetFile("tarnis_preset_line_brush.txt")), before);

  // A preset file that cannot be written is named, and left as it was.
  ::chmod(PresetFile("tarnis_preset_line_brush.txt").c_str(), 0444);
  const RunResult run = Run({"preset", "save", "brush", "Narrow", "thin.json", "Pen"});
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_NE(run.output.find("tarnis: " + PresetFile("tarnis_preset_line_brush.txt")),
            std::string::npos)
      << run.output;
  EXPECT_EQ(ReadBytes(PresetFile("tarnis_preset_line_brush.txt")), before);
}

}  // namespace
