// `tarnis farm`: rendering a sequence on a Slurm cluster. `submit` cuts the
// frames into chunks and writes an array job script, one task per chunk,
// each running `tarnis render --chunk N --task K --resume` (so a task that
// is requeued carries on where it stopped), and hands it to sbatch;
// `status` tells how far a job's tasks are, from squeue, sacct or scontrol.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace tarnis_cli {

struct FarmSubmitOptions {
  std::string scene;
  std::string frames;      // a frame list; empty: the scene's frames
  int chunk = 10;          // frames a task renders
  std::string output;      // image name; empty: farm/<scene name>/<scene name>.png
  std::string partition;   // empty: the cluster's default
  std::string jobName;     // empty: tarnis-<scene name>
  std::string program;     // tarnis as the farm's machines reach it; empty: this program
  bool copyScene = false;  // render a snapshot (.tscene) beside the images, not the scene itself
  bool dryRun = false;     // print the script; write and submit nothing
  std::optional<int> threads, samples;
  std::string size;
  std::vector<std::string> plugins;
  std::vector<std::string> sbatchArgs;  // more #SBATCH lines, e.g. "--time=2:00:00"
};

struct FarmOptions {
  FarmSubmitOptions submit;
  std::string job;  // status
  bool status = false;
};

// Adds "farm" with its "submit" and "status" commands to the program's
// command line; the parsed values go into `options`. Answers the command.
CLI::App* AddFarmCommand(CLI::App& app, FarmOptions& options);

// Exit codes: 0 submitted (or printed) / the job's state printed; 1 a bad
// scene or option, Slurm missing or refusing the job, an unknown job.
int RunFarm(const FarmOptions& options);
int RunFarmSubmit(const FarmSubmitOptions& options);
int RunFarmStatus(const std::string& job);

}  // namespace tarnis_cli
