// End-to-end tests of `tarnis merge`: a saved scene whose line merge helper
// carries its line effects brings them into the scene it is merged into as
// --merge-lines says (added, their line sets joined by name or appended to
// the scene's first line effect, or dropped), the command prints what became
// of each, the helper node does not stay, and the merged effects draw. Bad
// input ends with one "tarnis: ..." line, exit code 1 and nothing written.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "host/image_io.h"
#include "sdk/testing/scratch_dir.h"
#include "tests/language_env.h"

namespace {

// A ball and a box with two line effects (set "セット1" drawing the ball,
// "Far" the box) and a line merge helper.
constexpr const char* kOther = R"({
  "tarnis": 1,
  "nodes": [
    {"name": "Ball", "mesh": {"primitive": "sphere", "radius": 1.2}, "position": [1.5, 0, 0]},
    {"name": "Crate", "mesh": {"primitive": "box", "size": [1, 1, 1]}, "position": [-2, 0, 0]},
    {"name": "Carrier", "object": {"class": "Tarnis_LineMergeHelper"}}
  ],
  "effects": [
    {"class": "Tarnis_Line", "refs": {"1": {"class": "Tarnis_LineSet",
      "params": {"main": {"name": "セット1", "objects": ["Ball"]}}}}},
    {"class": "Tarnis_Line", "refs": {"1": {"class": "Tarnis_LineSet",
      "params": {"main": {"name": "Far", "objects": ["Crate"]}}}}}
  ]
})";

// A white scene with a box; LINES adds a line effect whose set "セット1"
// draws the box.
std::string Current(bool lines) {
  return std::string(R"({
  "tarnis": 1,
  "render": {"width": 80, "height": 60, "samples": 1},
  "environment": {"background": [1, 1, 1], "ambient": [0.8, 0.8, 0.8]},
  "camera": {"position": [0, -9, 2], "target": [0, 0, 0], "fov": 50},
  "nodes": [{"name": "Box", "mesh": {"primitive": "box", "size": [1, 1, 1]},
             "position": [0, 0, 1.5]}],
  "effects": [)") +
         (lines ? R"({"class": "Tarnis_Line", "refs": {"1": {"class": "Tarnis_LineSet",
      "params": {"main": {"name": "セット1", "objects": ["Box"]}}}}})"
                : "") +
         "]\n}";
}

RunResult Tarnis(ScratchDir& dir, const std::vector<std::string>& args) {
  return RunWith(args, dir.Path().string(), {"LANG=C.UTF-8"});
}

class TarnisMerge : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteBytes(dir.File("other.json"), kOther);
    WriteBytes(dir.File("plain.json"), Current(false));
    WriteBytes(dir.File("lined.json"), Current(true));
    const RunResult run = Tarnis(dir, {"convert", "other.json", "other.tscene"});
    ASSERT_EQ(run.status, 0) << run.output;
  }

  std::string Info(const std::string& scene) { return Tarnis(dir, {"info", scene}).output; }

  ScratchDir dir;
};

TEST_F(TarnisMerge, AddedEffectsJoinTheSceneAndTheHelperNodeGoes) {
  const RunResult run = Tarnis(dir, {"merge", "plain.json", "other.tscene", "-o", "out.tscene"});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output,
            "Line effect 1 of 2: added\nLine effect 2 of 2: added\n"
            "Merged 2 nodes from other.tscene\nWrote out.tscene\n");
  const std::string info = Info("out.tscene");
  EXPECT_NE(info.find("  nodes      3\n"), std::string::npos) << info;
  EXPECT_EQ(info.find("Carrier"), std::string::npos) << info;
  EXPECT_NE(info.find("  effects    2\n"), std::string::npos) << info;
  EXPECT_NE(info.find("セット1  Tarnis_LineSet\n        objects: Ball\n"), std::string::npos);
  EXPECT_NE(info.find("Far  Tarnis_LineSet\n        objects: Crate\n"), std::string::npos);
}

TEST_F(TarnisMerge, MergeByNameJoinsTheSetOfThatNameAndAppendsTheOther) {
  const RunResult run = Tarnis(dir, {"merge", "lined.json", "other.tscene", "-o", "out.tscene",
                                     "--merge-lines", "merge-by-name"});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output,
            "Line effect 1 of 2: line sets merged by name into the scene's first line effect\n"
            "Line effect 2 of 2: line sets merged by name into the scene's first line effect\n"
            "Merged 2 nodes from other.tscene\nWrote out.tscene\n");
  const std::string info = Info("out.tscene");
  EXPECT_NE(info.find("  effects    1\n"), std::string::npos) << info;
  EXPECT_NE(info.find("セット1  Tarnis_LineSet\n        objects: Box Ball\n"), std::string::npos)
      << info;
  EXPECT_NE(info.find("Far  Tarnis_LineSet\n        objects: Crate\n"), std::string::npos);
}

TEST_F(TarnisMerge, MergeAppendsEverySetAndFallsBackToAddingWithoutALineEffect) {
  RunResult run = Tarnis(
      dir, {"merge", "lined.json", "other.tscene", "-o", "out.tscene", "--merge-lines", "merge"});
  ASSERT_EQ(run.status, 0) << run.output;
  std::string info = Info("out.tscene");
  EXPECT_NE(info.find("  effects    1\n"), std::string::npos) << info;
  EXPECT_NE(info.find("セット1  Tarnis_LineSet\n        objects: Box\n"), std::string::npos);
  EXPECT_NE(info.find("セット1  Tarnis_LineSet\n        objects: Ball\n"), std::string::npos);

  run = Tarnis(
      dir, {"merge", "plain.json", "other.tscene", "-o", "out2.tscene", "--merge-lines", "merge"});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(
      run.output.find("Line effect 1 of 2: added (the scene has no line effect to merge into)\n"),
      std::string::npos)
      << run.output;
  EXPECT_NE(Info("out2.tscene").find("  effects    2\n"), std::string::npos);
}

TEST_F(TarnisMerge, DroppedEffectsLeaveTheSceneUndrawnWhereAddedOnesDraw) {
  RunResult run = Tarnis(dir, {"merge", "plain.json", "other.tscene", "-o", "dropped.tscene",
                               "--merge-lines", "drop"});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output,
            "Line effect 1 of 2: dropped\nLine effect 2 of 2: dropped\n"
            "Merged 2 nodes from other.tscene\nWrote dropped.tscene\n");
  EXPECT_NE(Info("dropped.tscene").find("  effects    0\n"), std::string::npos);
  ASSERT_EQ(Tarnis(dir, {"merge", "plain.json", "other.tscene", "-o", "added.tscene"}).status, 0);

  // The added effects outline the ball and the crate in black; dropped, the
  // same scene has no dark pixels.
  auto darkPixels = [&](const std::string& scene) {
    const RunResult r = Tarnis(dir, {"render", scene, "-o", scene + ".png", "-q"});
    EXPECT_EQ(r.status, 0) << r.output;
    host::FloatImage image;
    std::string error;
    EXPECT_TRUE(host::ReadImage(dir.File(scene + ".png"), image, &error)) << error;
    int dark = 0;
    for (const AColor& p : image.pixels) {
      // The unlit grey of the objects stays above 0.4.
      if (p.r < 0.3f && p.g < 0.3f && p.b < 0.3f) ++dark;
    }
    return dark;
  };
  EXPECT_EQ(darkPixels("dropped.tscene"), 0);
  EXPECT_GT(darkPixels("added.tscene"), 40);
}

TEST(TarnisMergeInput, WithoutAHelperOnlyTheObjectsCome) {
  ScratchDir dir;
  WriteBytes(dir.File("plain.json"), Current(false));
  WriteBytes(dir.File("lined.json"), R"({"tarnis": 1,
    "nodes": [{"name": "Crate", "mesh": {"primitive": "box", "size": [1, 1, 1]}}],
    "effects": [{"class": "Tarnis_Line"}]})");
  ASSERT_EQ(Tarnis(dir, {"convert", "lined.json", "lined.tscene"}).status, 0);
  const RunResult run = Tarnis(dir, {"merge", "plain.json", "lined.tscene", "-o", "out.tscene"});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output, "Merged 1 node from lined.tscene\nWrote out.tscene\n");
  const std::string info = Tarnis(dir, {"info", "out.tscene"}).output;
  EXPECT_NE(info.find("  nodes      2\n"), std::string::npos) << info;
  EXPECT_NE(info.find("  effects    0\n"), std::string::npos) << info;
}

TEST(TarnisMergeInput, BadInputEndsWithOneLineAndWritesNothing) {
  ScratchDir dir;
  WriteBytes(dir.File("plain.json"), Current(false));
  WriteBytes(dir.File("other.json"), Current(true));
  ASSERT_EQ(Tarnis(dir, {"convert", "other.json", "other.tscene"}).status, 0);
  WriteBytes(dir.File("junk.tscene"), "not a scene");
  struct Case {
    std::vector<std::string> args;
    std::string output;
  };
  const Case cases[] = {
      {{"plain.json", "other.json", "-o", "out.tscene"},
       "tarnis: other.json: merge reads saved scenes (.tscene); turn a description into one with "
       "tarnis convert\n"},
      {{"plain.json", "other.tscene", "-o", "out.json"},
       "tarnis: out.json: the output must be a saved scene (.tscene)\n"},
      {{"plain.json", "junk.tscene", "-o", "out.tscene"},
       "tarnis: junk.tscene: not a saved Tarnis scene\n"},
      {{"plain.json", "missing.tscene", "-o", "out.tscene"},
       "tarnis: missing.tscene: cannot open the file\n"},
      {{"nope.json", "other.tscene", "-o", "out.tscene"}, ""},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"merge"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const RunResult run = Tarnis(dir, args);
    SCOPED_TRACE(run.output);
    EXPECT_EQ(run.status, 1);
    if (!c.output.empty()) {
      EXPECT_EQ(run.output, c.output);
    } else {
      EXPECT_EQ(run.output.rfind("tarnis: ", 0), 0u);
      EXPECT_EQ(run.output.find('\n'), run.output.size() - 1);
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.tscene")));
  }
  const RunResult run = Tarnis(
      dir, {"merge", "plain.json", "other.tscene", "-o", "out.tscene", "--merge-lines", "keep"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find("--merge-lines"), std::string::npos) << run.output;
  EXPECT_FALSE(std::filesystem::exists(dir.File("out.tscene")));
}

}  // namespace
