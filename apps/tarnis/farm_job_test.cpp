#include "apps/tarnis/farm_job.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "sdk/testing/scratch_dir.h"

namespace tarnis_cli {
namespace {

FarmJob ShotJob() {
  FarmJob job;
  job.program = "/farm/bin/tarnis";
  job.scene = "/shows/it's a shot/sh010.json";
  job.frames = "1-12";
  job.output = "/shows/out/sh010.png";
  job.logFolder = "/shows/out/logs";
  job.jobName = "tarnis-sh010";
  job.chunk = 4;
  job.tasks = 3;
  return job;
}

TEST(FarmJob, TheScriptRunsOneChunkATaskAndResumes) {
  FarmJob job = ShotJob();
  job.partition = "render";
  job.threads = 8;
  job.sbatchArgs = {"--time=2:00:00"};
  job.plugins = {"/farm/lib/extra.so"};
  const std::string script = SbatchScript(job);
  for (const char* line :
       {"#!/bin/bash\n", "#SBATCH --job-name=tarnis-sh010\n", "#SBATCH --array=0-2\n",
        "#SBATCH --output=/shows/out/logs/%x_%A_%a.log\n", "#SBATCH --partition=render\n",
        "#SBATCH --cpus-per-task=8\n", "#SBATCH --time=2:00:00\n", "set -euo pipefail\n"}) {
    EXPECT_NE(script.find(line), std::string::npos) << line << "\n" << script;
  }
  EXPECT_NE(script.find("exec '/farm/bin/tarnis' render '/shows/it'\\''s a shot/sh010.json' "
                        "--frames '1-12' --chunk 4 --task \"$SLURM_ARRAY_TASK_ID\" --resume "
                        "-o '/shows/out/sh010.png' --threads 8 --plugin '/farm/lib/extra.so'\n"),
            std::string::npos)
      << script;
  // Without a partition or threads the cluster's defaults hold.
  const std::string plain = SbatchScript(ShotJob());
  EXPECT_EQ(plain.find("--partition"), std::string::npos);
  EXPECT_EQ(plain.find("--cpus-per-task"), std::string::npos);
}

TEST(FarmJob, QuotedArgumentsReachTheProgramUnchanged) {
  ScratchDir dir;
  for (const std::string& text :
       {std::string("plain"), std::string("it's"), std::string("$HOME `id` \"x\" \\ *"),
        std::string("''"), std::string("")}) {
    const std::string out = dir.File("arg.txt");
    const std::string command = "printf '%s' " + ShellQuote(text) + " > " + ShellQuote(out);
    ASSERT_EQ(std::system(("bash -c " + ShellQuote(command)).c_str()), 0) << command;
    EXPECT_EQ(ReadBytes(out), text) << command;
  }
}

TEST(FarmJob, TaskStatesAreReadFromAccountingAndTheController) {
  const auto sacct = ParseSacctStates(
      "41_0|COMPLETED\n41_1|FAILED\n41_2|CANCELLED by 0\n41_[3-5%2]|PENDING\n41_6|RUNNING\n");
  EXPECT_EQ(sacct, (std::map<int, std::string>{{0, "COMPLETED"},
                                               {1, "FAILED"},
                                               {2, "CANCELLED"},
                                               {3, "PENDING"},
                                               {4, "PENDING"},
                                               {5, "PENDING"},
                                               {6, "RUNNING"}}));
  EXPECT_EQ(ParseSacctStates("7|COMPLETED|0:0\n"), (std::map<int, std::string>{{0, "COMPLETED"}}));
  EXPECT_TRUE(ParseSacctStates("").empty());

  const auto scontrol = ParseScontrolStates(
      "JobId=42 ArrayJobId=41 ArrayTaskId=0 JobName=t JobState=COMPLETED Reason=None\n"
      "JobId=41 ArrayJobId=41 ArrayTaskId=1-7:3 JobName=t JobState=PENDING Reason=Resources\n"
      "JobId=43 ArrayJobId=41 ArrayTaskId=8 JobName=t JobState=RUNNING Reason=None\n");
  EXPECT_EQ(scontrol, (std::map<int, std::string>{{0, "COMPLETED"},
                                                  {1, "PENDING"},
                                                  {4, "PENDING"},
                                                  {7, "PENDING"},
                                                  {8, "RUNNING"}}));
  // Garbage gives nothing rather than made-up tasks.
  EXPECT_TRUE(ParseScontrolStates("slurm_load_jobs error: Invalid job id specified\n").empty());
  EXPECT_TRUE(ParseSacctStates("41_x-y|RUNNING\n").empty());
}

}  // namespace
}  // namespace tarnis_cli
