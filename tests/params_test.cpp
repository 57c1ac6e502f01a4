// tarnis info --params: every block and parameter of a class with its type,
// default, range, animatable flag and meaning.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "sdk/testing/scratch_dir.h"
#include "tests/language_env.h"

namespace {

struct Block {
  const char* name;
  std::vector<const char*> params;
};

// The brush's blocks and parameters as scene descriptions name them.
const Block kBrushBlocks[] = {
    {"parameters",
     {"brushMapMapOpacity", "brushMapMapEnable", "brushMapMap", "brushMapType", "brushMapStretch",
      "brushMapStretchRnd", "brushMapAngle", "brushMapAngleRnd", "brushMapGroove",
      "brushMapGrooveNUM", "brushMapSize", "brushMapSizeRnd", "brushMapAnti", "brushMapHSpace",
      "brushMapHSpaceRand", "brushMapVSpace", "brushMapVSpaceRand", "brushMapDampStart",
      "brushMapDampEnd"}},
    {"brush_stroke", {"brushMapStrokeType",      "brushMapstrokeType2",
                      "brushMapStrokeLength",    "brushMapStrokeLengthRnd",
                      "brushMapStrokeSizeRnd",   "brushMapSpacing",
                      "brushMapSpaceingRnd",     "brushMapOvershoot",
                      "brushMapOvershootRnd",    "brushMapMultiple",
                      "brushMapMultipleRnd",     "brushMapNormalOffset",
                      "brushMapNormalOffsetRnd", "brushMapOffsetX",
                      "brushMapOffsetXRnd",      "brushMapOffsetY",
                      "brushMapOffsetYRnd",      "limitAngle",
                      "minimumLength",           "combineLength",
                      "directionAngle",          "loopDirection"}},
    {"noise",
     {"brushNoiseEnable", "brushNoiseMap", "brushMapNoiseMapOpacity", "brushNoiseMapEnable",
      "brushMapNoiseAmp", "brushMapNoiseAmpRandom", "brushMapNoisePeriod",
      "brushMapNoisePeriodRandom", "brushMapNoisePhase", "brushMapNoisePhaseRandom"}},
    {"damp_size", {"brushDampSizeEnable"}},
    {"damp_alpha", {"brushDampAlphaEnable"}},
    {"color_mod", {"colorModType", "colorModR", "colorModG", "colorModB"}},
};

// The table rows of one block: from its heading to the next heading.
std::vector<std::string> BlockRows(const std::string& out, const std::string& block) {
  std::vector<std::string> rows;
  size_t at = out.find("\n### " + block + "\n");
  if (at == std::string::npos) return rows;
  const size_t end = out.find("\n### ", at + 1);
  while ((at = out.find("\n| `", at)) != std::string::npos && at < end) {
    const size_t eol = out.find('\n', at + 1);
    rows.push_back(out.substr(at + 1, eol - at - 1));
    at = eol;
  }
  return rows;
}

TEST(TarnisParams, ListsEveryParameterOfTheBrushWithItsMeaning) {
  ScratchDir dir;
  const RunResult run = RunWith({"info", "--params", "Tarnis_LineBrush"}, dir.Path().string(),
                                {"LANG=C.UTF-8", "TARNIS_HOME=" + dir.File("home")});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output.rfind("## Tarnis_LineBrush\n\nTarnis Line Brush, map. ", 0), 0u)
      << run.output;
  for (const Block& block : kBrushBlocks) {
    const std::vector<std::string> rows = BlockRows(run.output, block.name);
    ASSERT_EQ(rows.size(), block.params.size()) << block.name << "\n" << run.output;
    for (size_t i = 0; i < rows.size(); ++i) {
      const std::string& row = rows[i];
      EXPECT_EQ(row.rfind(std::string("| `") + block.params[i] + "` | ", 0), 0u) << row;
      // Six cells, the last (the meaning) not empty.
      EXPECT_EQ(std::count(row.begin(), row.end(), '|'), 7) << row;
      EXPECT_EQ(row.find("|  |", row.size() - 4), std::string::npos) << row;
    }
  }
  // Type, default, range and animatable as the descriptors declare them.
  for (const char* row :
       {"| `brushMapSize` | float | 16 | 0.1 to 100 | yes | ",
        "| `brushMapType` | int | 2 | 0 to 3 | no | ", "| `brushMapMap` | map | none |  | no | ",
        "| `brushDampSizeEnable` | bool | false |  | yes | "}) {
    EXPECT_NE(run.output.find(row), std::string::npos) << row << "\n" << run.output;
  }
}

TEST(TarnisParams, ARowPerTypedParameterOfALineSetAndNoneMissingAMeaning) {
  ScratchDir dir;
  const RunResult run = RunWith({"info", "--params", "Tarnis_LineSet"}, dir.Path().string(),
                                {"LANG=C.UTF-8", "TARNIS_HOME=" + dir.File("home")});
  ASSERT_EQ(run.status, 0) << run.output;
  for (const char* row :
       {"| `edgeObject1` | bool | true |  | yes | ", "| `edgeObject2` | bool | false |  | yes | ",
        "| `edgeMatID1` | bool | true |  | yes | ",
        "| `lineZMin1` | length | 100 | 1 to 1e+06 | yes | "}) {
    EXPECT_NE(run.output.find(row), std::string::npos) << row << "\n" << run.output;
  }
  EXPECT_EQ(run.output.find("|  |\n"), std::string::npos) << run.output;
}

TEST(TarnisParams, AnUnknownClassSuggestsTheClosestName) {
  ScratchDir dir;
  const RunResult run =
      RunWith({"info", "--params", "Tarnis_LineBrsh"}, dir.Path().string(), {"LANG=C.UTF-8"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.output,
            "tarnis: no class is called \"Tarnis_LineBrsh\"; did you mean \"Tarnis_LineBrush\"? "
            "(see tarnis info --classes)\n");
}

}  // namespace
