// The array job script `tarnis farm submit` writes, and reading the states
// of a job's tasks from what Slurm's commands print.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tarnis_cli {

// Everything a job script says, resolved to absolute paths.
struct FarmJob {
  std::string program, scene, frames, output, logFolder, jobName, partition;
  int chunk = 1, tasks = 1;
  std::optional<int> threads, samples;
  std::string size;
  std::vector<std::string> plugins, sbatchArgs;
};

// The sbatch array job script of `job`.
std::string SbatchScript(const FarmJob& job);

// `text` quoted for bash: in single quotes, with each ' written '\''.
std::string ShellQuote(const std::string& text);

// Task number -> state, from the output of `sacct -n -P -X -o JobID,State`
// ("123_4|COMPLETED") or of `scontrol -o show job` (ArrayTaskId=4 or a
// pending range 1-3 ... JobState=PENDING); a job without tasks counts as
// task 0. States are Slurm's words ("CANCELLED by 0" becomes "CANCELLED").
std::map<int, std::string> ParseSacctStates(const std::string& text);
std::map<int, std::string> ParseScontrolStates(const std::string& text);

// `text` without the white space at its ends.
std::string Trimmed(std::string text);

}  // namespace tarnis_cli
