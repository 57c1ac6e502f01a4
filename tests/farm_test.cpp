// End-to-end tests of `tarnis farm` against stand-ins for Slurm's commands
// (scripts on PATH that record how they were called and answer as Slurm
// does), so every option is checked where no cluster runs. The real cluster
// is tried by farm_slurm_test.sh.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "sdk/testing/scratch_dir.h"
#include "tests/tarnis_run.h"

namespace {

namespace fs = std::filesystem;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Puts a folder of stand-in commands first on PATH while alive.
class FakeSlurm {
 public:
  explicit FakeSlurm(const ScratchDir& dir) : bin_(dir.Path() / "bin") {
    fs::create_directories(bin_);
    const char* path = std::getenv("PATH");
    oldPath_ = path ? path : "";
    setenv("PATH", (bin_.string() + ":" + oldPath_).c_str(), 1);
  }
  ~FakeSlurm() { setenv("PATH", oldPath_.c_str(), 1); }

  // A command that appends its arguments to `<name>.args` beside it, prints
  // `out` and exits with `status`.
  void Command(const std::string& name, const std::string& out, int status = 0) {
    const fs::path file = bin_ / name;
    WriteBytes(file.string(), "#!/bin/sh\necho \"$@\" >> '" + (bin_ / name).string() +
                                  ".args'\nprintf '%s' '" + out + "'\nexit " +
                                  std::to_string(status) + "\n");
    chmod(file.c_str(), 0755);
  }
  std::string Args(const std::string& name) const {
    return ReadBytes((bin_ / (name + ".args")).string());
  }

 private:
  fs::path bin_;
  std::string oldPath_;
};

std::string SceneText() {
  return ReadBytes(std::string(TARNIS_SOURCE_DIR) + "/examples/farm/moving_boxes.json");
}

TEST(Farm, SubmitWritesTheScriptBesideTheImagesAndHandsItToSbatch) {
  ScratchDir dir;
  WriteBytes(dir.File("shot.json"), SceneText());
  FakeSlurm slurm(dir);
  slurm.Command("sbatch", "4711;cluster\n");
  const fs::path out = dir.Path() / "job" / "shot.png";
  RunResult run = RunTarnis({"farm", "submit", "shot.json", "--frames", "1-10", "--chunk", "4",
                             "-o", out.string(), "--partition", "gpu", "--threads", "2",
                             "--sbatch=--time=1:00:00", "--job-name", "sh010"},
                            dir.Path().string());
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_TRUE(Contains(run.output, "Submitted job 4711: 3 tasks of up to 4 frames (frames 1-10)"))
      << run.output;
  const fs::path script = dir.Path() / "job" / "sh010.sbatch";
  EXPECT_EQ(slurm.Args("sbatch"), "--parsable " + script.string() + "\n");
  const std::string text = ReadBytes(script.string());
  const std::vector<std::string> lines = {
       "#SBATCH --array=0-2\n", "#SBATCH --partition=gpu\n", "#SBATCH --cpus-per-task=2\n",
        "#SBATCH --time=1:00:00\n", "#SBATCH --job-name=sh010\n",
        "#SBATCH --output=" + (dir.Path() / "job" / "logs").string() + "/%x_%A_%a.log\n",
        " render '" + (dir.Path() / "shot.json").string() + "' --frames '1-10' --chunk 4",
        " --task \"$SLURM_ARRAY_TASK_ID\" --resume -o '" + out.string() + "' --threads 2\n"};
  for (const std::string& line : lines) {
    EXPECT_TRUE(Contains(text, line)) << line << "\n" << text;
  }
  EXPECT_TRUE(fs::is_directory(dir.Path() / "job" / "logs"));

  // The script the job runs renders its chunk as `tarnis render` would.
  setenv("SLURM_ARRAY_TASK_ID", "2", 1);
  const int status = std::system(("bash '" + script.string() + "' >/dev/null 2>&1").c_str());
  unsetenv("SLURM_ARRAY_TASK_ID");
  EXPECT_EQ(status, 0);
  for (const char* name : {"shot0009.png", "shot0010.png", "lines0009.eps", "lines0010.eps"}) {
    EXPECT_TRUE(fs::exists(dir.Path() / "job" / name)) << name;
  }
  EXPECT_FALSE(fs::exists(dir.Path() / "job" / "shot0008.png"));
}

TEST(Farm, DryRunPrintsTheScriptAndCopySceneRendersASavedCopy) {
  ScratchDir dir;
  WriteBytes(dir.File("shot.json"), SceneText());
  FakeSlurm slurm(dir);
  slurm.Command("sbatch", "12\n");
  RunResult run = RunTarnis({"farm", "submit", "shot.json", "--chunk", "5", "--dry-run"},
                            dir.Path().string());
  ASSERT_EQ(run.status, 0) << run.output;
  // The scene's own frames (1-12), the default output folder, nothing written or submitted.
  EXPECT_TRUE(Contains(run.output, "#SBATCH --array=0-2\n")) << run.output;
  EXPECT_TRUE(Contains(run.output, "--frames '1-12' --chunk 5")) << run.output;
  EXPECT_TRUE(Contains(run.output, "-o '" + (dir.Path() / "farm/shot/shot.png").string()))
      << run.output;
  EXPECT_FALSE(fs::exists(dir.Path() / "farm"));
  EXPECT_EQ(slurm.Args("sbatch"), "");

  run = RunTarnis({"farm", "submit", "shot.json", "--copy-scene", "-o", "copy/s.png"},
                  dir.Path().string());
  ASSERT_EQ(run.status, 0) << run.output;
  const fs::path copy = dir.Path() / "copy" / "shot.tscene";
  EXPECT_TRUE(fs::is_regular_file(copy)) << run.output;
  EXPECT_TRUE(Contains(ReadBytes((dir.Path() / "copy/tarnis-shot.sbatch").string()),
                       " render '" + copy.string() + "'"));
}

TEST(Farm, SlurmsRefusalsAndAbsenceAreReported) {
  ScratchDir dir;
  WriteBytes(dir.File("shot.json"), SceneText());
  FakeSlurm slurm(dir);
  slurm.Command("sbatch", "sbatch: error: invalid partition specified: nope\n", 1);
  RunResult run = RunTarnis({"farm", "submit", "shot.json", "--partition", "nope"},
                            dir.Path().string());
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Contains(run.output, "invalid partition specified: nope")) << run.output;

  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--job-name", "a b"}, {"--sbatch", "time=1"}}) {
    std::vector<std::string> all = {"farm", "submit", "shot.json", "--dry-run"};
    all.insert(all.end(), args.begin(), args.end());
    run = RunTarnis(all, dir.Path().string());
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_TRUE(Contains(run.output, "tarnis: ")) << run.output;
  }
  // No Slurm on PATH at all.
  const std::string path = std::getenv("PATH");
  fs::create_directories(dir.Path() / "empty");
  setenv("PATH", (dir.Path() / "empty").c_str(), 1);
  run = RunTarnis({"farm", "submit", "shot.json"}, dir.Path().string());
  setenv("PATH", path.c_str(), 1);
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Contains(run.output, "sbatch could not be run: is Slurm's client installed"))
      << run.output;

  run = RunTarnis({"farm", "submit", "missing.json"}, dir.Path().string());
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Contains(run.output, "missing.json")) << run.output;
}

TEST(Farm, StatusCountsTheTasksByState) {
  ScratchDir dir;
  FakeSlurm slurm(dir);
  // Without accounting, the controller's records are read.
  slurm.Command("sacct", "sacct: error: Slurm accounting storage is disabled\n", 1);
  slurm.Command("scontrol",
                "JobId=8 ArrayJobId=7 ArrayTaskId=0 JobState=COMPLETED Reason=None\n"
                "JobId=9 ArrayJobId=7 ArrayTaskId=1 JobState=FAILED Reason=NonZeroExitCode\n"
                "JobId=7 ArrayJobId=7 ArrayTaskId=2-3 JobState=PENDING Reason=Resources\n");
  RunResult run = RunTarnis({"farm", "status", "7"}, dir.Path().string());
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_TRUE(Contains(run.output, "job 7: 4 tasks: 1 COMPLETED, 1 FAILED, 2 PENDING\n"))
      << run.output;
  EXPECT_TRUE(Contains(run.output, "task 1: FAILED\n")) << run.output;
  EXPECT_TRUE(Contains(slurm.Args("scontrol"), "-o show job 7")) << slurm.Args("scontrol");

  // Accounting, where the cluster keeps it, is asked first.
  slurm.Command("sacct", "7_0|COMPLETED\n7_1|COMPLETED\n");
  run = RunTarnis({"farm", "status", "7"}, dir.Path().string());
  EXPECT_TRUE(Contains(run.output, "job 7: 2 tasks: 2 COMPLETED\n")) << run.output;

  run = RunTarnis({"farm", "status", "7;rm"}, dir.Path().string());
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Contains(run.output, "expected a job number")) << run.output;
  slurm.Command("sacct", "", 1);
  slurm.Command("scontrol", "slurm_load_jobs error: Invalid job id specified\n", 1);
  run = RunTarnis({"farm", "status", "99"}, dir.Path().string());
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Contains(run.output, "job 99 is not known")) << run.output;
}

}  // namespace
