// End-to-end tests of `tarnis lineset`: a line-set file written from one
// scene and read into another draws the same lines there, `--set` picks the
// line set that reads it (the first one by default), and missing sets,
// unreadable files and bad outputs end with one "tarnis: ..." line, exit
// code 1 and nothing written.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/image_io.h"
#include "sdk/testing/scratch_dir.h"
#include "tests/language_env.h"

namespace {

// A box and a ball behind it; SETS are the line sets of the line effect.
std::string Scene(const std::string& sets) {
  return R"({
  "tarnis": 1,
  "render": {"width": 80, "height": 60, "samples": 1},
  "environment": {"background": [1, 1, 1], "ambient": [0.6, 0.6, 0.6]},
  "camera": {"position": [0, -8, 2], "target": [0, 0, 0], "fov": 40},
  "nodes": [
    {"name": "Box", "mesh": {"primitive": "box", "size": [2, 2, 2]}},
    {"name": "Ball", "mesh": {"primitive": "sphere", "radius": 1.2}, "position": [1.2, 2, 0.5]}
  ],
  "effects": [{"class": "Tarnis_Line", "refs": {)" +
         sets + "}}]\n}";
}

// Red outlines, green creases, blue hidden lines drawn in strokes.
constexpr const char* kStyled = R"("1": {"class": "Tarnis_LineSet",
  "params": {"main": {"name": "Styled", "objects": ["Box", "Ball"]},
             "type1": {"edgeNormal1": true, "normalRespectiveEnable1": true},
             "type2": {"edgeObject2": true}},
  "visible": {"base": {"class": "Tarnis_LineSetting",
                       "params": {"lineSize": 3, "lineColor": [0.8, 0.1, 0.1]}},
              "crease": {"class": "Tarnis_LineSetting",
                         "params": {"lineSize": 2, "lineColor": [0.1, 0.6, 0.1]}}},
  "hidden": {"base": {"class": "Tarnis_LineSetting",
                      "params": {"lineSize": 1.5, "lineColor": [0.1, 0.1, 0.8]},
                      "refs": {"2": {"class": "Tarnis_LineBrush",
                                     "params": {"brush_stroke": {"brushMapstrokeType2": 1}}}}}}})";

std::string PlainSet(const std::string& ref, const std::string& name, const std::string& objects) {
  return "\"" + ref + R"(": {"class": "Tarnis_LineSet", "params": {"main": {"name": ")" + name +
         R"(", "objects": [)" + objects + "]}}}";
}

RunResult Tarnis(ScratchDir& dir, const std::vector<std::string>& args) {
  return RunWith(args, dir.Path().string(), {"LANG=C.UTF-8"});
}

host::FloatImage Render(ScratchDir& dir, const std::string& scene, const std::string& name) {
  const RunResult run = Tarnis(dir, {"render", scene, "-o", name, "--threads", "2"});
  EXPECT_EQ(run.status, 0) << run.output;
  host::FloatImage image;
  std::string error;
  EXPECT_TRUE(host::ReadImage(dir.File(name), image, &error)) << error;
  return image;
}

bool SamePixels(const host::FloatImage& a, const host::FloatImage& b) {
  return a.width > 0 && a.width == b.width && a.height == b.height && a.pixels == b.pixels;
}

TEST(TarnisLineSet, AFileSavedFromOneSceneDrawsTheSameLinesInAnother) {
  ScratchDir dir;
  WriteBytes(dir.File("styled.json"), Scene(kStyled));
  const std::string plain = Scene(PlainSet("1", "Plain", R"("Box", "Ball")"));
  WriteBytes(dir.File("plain.json"), plain);

  RunResult run = Tarnis(dir, {"lineset", "save", "styled.json", "Styled", "look.tln"});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output, "Wrote look.tln (line set \"Styled\")\n");
  run = Tarnis(dir, {"lineset", "load", "plain.json", "look.tln", "-o", "loaded.tscene"});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output, "Read look.tln into line set \"Plain\"\nWrote loaded.tscene\n");
  EXPECT_EQ(ReadBytes(dir.File("plain.json")), plain);

  const host::FloatImage styled = Render(dir, "styled.json", "styled.png");
  EXPECT_TRUE(SamePixels(Render(dir, "loaded.tscene", "loaded.png"), styled));
  // Without the file the lines are the default black ones.
  EXPECT_FALSE(SamePixels(Render(dir, "plain.json", "plain.png"), styled));
}

TEST(TarnisLineSet, TheFileGoesIntoTheNamedSetOrTheFirstOne) {
  ScratchDir dir;
  WriteBytes(dir.File("styled.json"), Scene(kStyled));
  WriteBytes(dir.File("two.json"), Scene(PlainSet("1", "First", R"("Box")") + ", " +
                                         PlainSet("2", "Second", R"("Ball")")));
  ASSERT_EQ(Tarnis(dir, {"lineset", "save", "styled.json", "Styled", "look.tln"}).status, 0);
  const std::string look = ReadBytes(dir.File("look.tln"));
  ASSERT_EQ(Tarnis(dir, {"lineset", "save", "two.json", "Second", "plain.tln"}).status, 0);
  const std::string plain = ReadBytes(dir.File("plain.tln"));
  ASSERT_NE(look, plain);

  struct Case {
    std::vector<std::string> set;  // the --set option, if any
    std::string changed, kept;
  };
  for (const Case& c :
       {Case{{"--set", "Second"}, "Second", "First"}, Case{{}, "First", "Second"}}) {
    SCOPED_TRACE(c.changed);
    std::vector<std::string> args = {"lineset", "load", "two.json", "look.tln", "-o", "out.tscene"};
    args.insert(args.end(), c.set.begin(), c.set.end());
    RunResult run = Tarnis(dir, args);
    ASSERT_EQ(run.status, 0) << run.output;
    // Saved again, the set that read the file writes the same file; the
    // other is as it was.
    ASSERT_EQ(Tarnis(dir, {"lineset", "save", "out.tscene", c.changed, "changed.tln"}).status, 0);
    ASSERT_EQ(Tarnis(dir, {"lineset", "save", "out.tscene", c.kept, "kept.tln"}).status, 0);
    EXPECT_EQ(ReadBytes(dir.File("changed.tln")), look);
    EXPECT_EQ(ReadBytes(dir.File("kept.tln")), plain);
    // Names and members stay.
    run = Tarnis(dir, {"info", "out.tscene"});
    EXPECT_NE(run.output.find("First  Tarnis_LineSet\n        objects: Box\n"), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("Second  Tarnis_LineSet\n        objects: Ball\n"),
              std::string::npos);
  }
}

TEST(TarnisLineSet, RefusesMissingSetsBadFilesAndBadOutputsWithOneLine) {
  ScratchDir dir;
  WriteBytes(dir.File("styled.json"), Scene(kStyled));
  WriteBytes(dir.File("empty.json"), Scene(""));
  WriteBytes(dir.File("junk.tln"), "[Params]\nInstances = 2\n");
  struct Case {
    std::vector<std::string> args;
    std::string output;
  };
  const Case cases[] = {
      {{"save", "styled.json", "Nope", "out.tln"},
       "tarnis: styled.json has no line set named \"Nope\" (its line sets: Styled)\n"},
      {{"save", "styled.json", "Styled", "out.txt"},
       "tarnis: out.txt: the line-set file must end in .tln\n"},
      {{"save", "styled.json", "Styled", "no/such/out.tln"},
       "tarnis: could not write no/such/out.tln: cannot write (the folder does not exist)\n"},
      {{"load", "styled.json", "missing.tln", "-o", "out.tscene"},
       "tarnis: missing.tln: no such file; the line set is left as it was\n"},
      {{"load", "styled.json", "junk.tln", "-o", "out.tscene", "--set", "Styled"},
       "tarnis: junk.tln: not a line-set file (no NumInstance in [Params]); the line set is left "
       "as it was\n"},
      {{"load", "styled.json", "junk.tln", "-o", "out.png"},
       "tarnis: out.png: the output must be a saved scene (.tscene)\n"},
      {{"load", "empty.json", "junk.tln", "-o", "out.tscene"},
       "tarnis: the first line effect of empty.json has no line set\n"},
      {{"load", "styled.json", "junk.tln"}, "tarnis: --output is required (see tarnis --help)\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"lineset"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const RunResult run = Tarnis(dir, args);
    EXPECT_EQ(run.status, 1) << c.output;
    EXPECT_EQ(run.output, c.output);
  }
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"empty.json", "junk.tln", "styled.json"}));
  for (const char* command : {"save", "load"}) {
    const RunResult run = Tarnis(dir, {"lineset", command, "--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.output.find("Usage:"), std::string::npos) << run.output;
  }
}

// A description's values are settings made on new objects: a value given for
// one of two linked parameters (a base setting's and its line type's) reaches
// the other, so both draw the lines and both are kept.
TEST(TarnisLineSet, ADescriptionsLinkedValuesReachBothSides) {
  ScratchDir dir;
  auto typeSize = [](float size) {
    return R"("1": {"class": "Tarnis_LineSet", "params": {"main": {"name": "Set", "objects": ["Box", "Ball"]},
                 "type1": {"lineSize1": )" +
           std::to_string(size) + "}}}";
  };
  WriteBytes(dir.File("thin.json"), Scene(typeSize(1.0f)));
  WriteBytes(dir.File("thick.json"), Scene(typeSize(6.0f)));
  WriteBytes(dir.File("default.json"), Scene(PlainSet("1", "Set", R"("Box", "Ball")")));
  auto inked = [](const host::FloatImage& image) {
    int n = 0;
    for (const AColor& p : image.pixels) n += p.r + p.g + p.b < 1.5f ? 1 : 0;
    return n;
  };
  const int thin = inked(Render(dir, "thin.json", "thin.png"));
  const int thick = inked(Render(dir, "thick.json", "thick.png"));
  EXPECT_GT(thin, 0);
  EXPECT_GT(thick, thin * 2) << thin;
  EXPECT_FALSE(SamePixels(Render(dir, "thick.json", "thick.png"),
                          Render(dir, "default.json", "default.png")));

  // The styled set's settings were given through the settings: the file a
  // set writes after reading it back is the one the description wrote.
  WriteBytes(dir.File("styled.json"), Scene(kStyled));
  ASSERT_EQ(Tarnis(dir, {"lineset", "save", "styled.json", "Styled", "look.tln"}).status, 0);
  ASSERT_EQ(Tarnis(dir, {"lineset", "load", "styled.json", "look.tln", "-o", "read.tscene"}).status,
            0);
  ASSERT_EQ(Tarnis(dir, {"lineset", "save", "read.tscene", "Styled", "again.tln"}).status, 0);
  EXPECT_EQ(ReadBytes(dir.File("again.tln")), ReadBytes(dir.File("look.tln")));
}

}  // namespace
