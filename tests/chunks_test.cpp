// End-to-end tests of rendering a sequence in chunks, as a render farm runs
// it: each chunk's frames, images and vector files, equal those of a render
// of the whole sequence, also where the strokes' randomness follows motion
// detection, and a chunk stopped halfway and resumed gives the same files.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "sdk/testing/scratch_dir.h"
#include "tests/tarnis_run.h"

namespace {

namespace fs = std::filesystem;

// examples/farm/moving_boxes.json: two boxes in two line sets with
// brush strokes whose noise has a random phase, re-seeded every frame (rndAuto) only for sets
// that move (rndMoveDetect): "Mover" slides during frames 1-6 and then
// stands, "Still" never moves. An EPS file of the lines goes beside every
// frame.
std::string SceneText() {
  return ReadBytes(std::string(TARNIS_SOURCE_DIR) + "/examples/farm/moving_boxes.json");
}

// Every file of `folder` by name, with its bytes.
std::map<std::string, std::string> Files(const fs::path& folder) {
  std::map<std::string, std::string> out;
  for (const auto& entry : fs::directory_iterator(folder)) {
    out[entry.path().filename().string()] = ReadBytes(entry.path().string());
  }
  return out;
}

RunResult Render(const ScratchDir& dir, const std::string& out,
                 const std::vector<std::string>& more) {
  std::vector<std::string> args = {"render", "scene.json", "-o", out + "/f.png"};
  args.insert(args.end(), more.begin(), more.end());
  return RunTarnis(args, dir.Path().string());
}

class Chunks : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteBytes(dir_.File("scene.json"), SceneText());
    const RunResult run = Render(dir_, "whole", {"--quiet"});
    ASSERT_EQ(run.status, 0) << run.output;
    whole_ = Files(dir_.Path() / "whole");
    ASSERT_EQ(whole_.size(), 24u);  // 12 images, 12 EPS files
  }

  ScratchDir dir_;
  std::map<std::string, std::string> whole_;
};

TEST_F(Chunks, EveryChunkGivesTheFilesOfTheWholeSequence) {
  // Each chunk in its own run, the way an array job's tasks run.
  for (const char* task : {"2", "0", "1"}) {
    const RunResult run = Render(dir_, "chunked", {"--chunk", "4", "--task", task, "--quiet"});
    ASSERT_EQ(run.status, 0) << run.output;
  }
  EXPECT_EQ(Files(dir_.Path() / "chunked"), whole_);

  // Every chunk in turn in one run; a chunk of one frame still names its
  // files as frames of the sequence.
  const RunResult run = Render(dir_, "turns", {"--chunk", "5", "--quiet"});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(Files(dir_.Path() / "turns"), whole_);
  const RunResult single = Render(dir_, "single", {"--chunk", "1", "--task", "11", "--quiet"});
  ASSERT_EQ(single.status, 0) << single.output;
  EXPECT_EQ(Files(dir_.Path() / "single"),
            (std::map<std::string, std::string>{{"f0012.png", whole_.at("f0012.png")},
                                               {"lines0012.eps", whole_.at("lines0012.eps")}}));
}

TEST_F(Chunks, WithoutTheEarlierFramesTheStandingSetWouldBeReseeded) {
  // The same frames as a sequence of their own start counting motion anew:
  // what the chunks replay is what makes them equal.
  const RunResult run = Render(dir_, "alone", {"--frames", "9-12", "--quiet"});
  ASSERT_EQ(run.status, 0) << run.output;
  const auto alone = Files(dir_.Path() / "alone");
  ASSERT_EQ(alone.size(), 8u);
  // The brush's noise phase follows the seed; the vector files hold the
  // strokes' centre lines, which do not.
  EXPECT_NE(alone.at("f0010.png"), whole_.at("f0010.png"));
  EXPECT_NE(alone.at("f0012.png"), whole_.at("f0012.png"));
}

TEST_F(Chunks, AChunkStoppedHalfwayAndResumedGivesTheSameFiles) {
  RunResult run = RunTarnis({"render", "scene.json", "-o", "resumed/f.png", "--chunk", "6",
                             "--task", "1"},
                            dir_.Path().string(), "Rendering frame 10 ");
  ASSERT_EQ(run.status, 130) << run.output;
  auto partial = Files(dir_.Path() / "resumed");
  EXPECT_TRUE(partial.count("f0007.png") && partial.count("lines0007.eps")) << run.output;
  EXPECT_FALSE(partial.count("f0010.png") || partial.count("lines0010.eps")) << run.output;
  // A frame whose image is there has its vector file too.
  for (const auto& [name, bytes] : partial) {
    if (name.starts_with("f")) {
      EXPECT_TRUE(partial.count("lines" + name.substr(1, 4) + ".eps")) << name;
    }
  }

  run = Render(dir_, "resumed", {"--chunk", "6", "--task", "1", "--resume"});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("Skipping 3 frames already written"), std::string::npos)
      << run.output;
  auto files = Files(dir_.Path() / "resumed");
  for (int f = 7; f <= 12; ++f) {
    for (const char* name : {"f00%02d.png", "lines00%02d.eps"}) {
      char path[32];
      std::snprintf(path, sizeof path, name, f);
      ASSERT_TRUE(files.count(path)) << path;
      EXPECT_EQ(files.at(path), whole_.at(path)) << path;
    }
  }
  EXPECT_EQ(files.size(), 12u);

  // Nothing left: nothing is rendered again.
  run = Render(dir_, "resumed", {"--chunk", "6", "--task", "1", "--resume"});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("Nothing left to render"), std::string::npos) << run.output;
}

TEST(ChunkOptions, BadTasksAreRefusedBeforeAnythingRenders) {
  ScratchDir dir;
  WriteBytes(dir.File("scene.json"), SceneText());
  struct Case {
    std::vector<std::string> args;
    const char* message;
  };
  const Case cases[] = {
      {{"--chunk", "4", "--task", "3"}, "--task 3: expected a chunk number 0..2"},
      {{"--chunk", "4", "--task", ""}, "expected a chunk number 0..2"},
      {{"--task", "1"}, "--task 1 needs --chunk"},
      {{"--chunk", "0"}, "--chunk"},
  };
  for (const Case& c : cases) {
    const RunResult run = Render(dir, "bad", c.args);
    EXPECT_NE(run.status, 0) << run.output;
    EXPECT_NE(run.output.find(c.message), std::string::npos) << run.output;
    EXPECT_FALSE(fs::exists(dir.Path() / "bad")) << run.output;
  }
}

}  // namespace
