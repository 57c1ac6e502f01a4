#include "apps/tarnis/farm_job.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <sstream>

namespace tarnis_cli {

namespace {

// The first word of a Slurm state ("CANCELLED by 0" -> "CANCELLED").
std::string StateWord(const std::string& state) {
  const std::string s = Trimmed(state);
  return s.substr(0, s.find(' '));
}

// Task numbers of an array task field: "4", "1-3", "1-7:2", "0,2,5-6", "1-3%2".
std::vector<int> TaskNumbers(std::string field) {
  std::vector<int> out;
  field = field.substr(0, field.find('%'));
  std::stringstream items(field);
  std::string item;
  while (std::getline(items, item, ',')) {
    int first = 0, last = 0, step = 1;
    const char* p = item.data();
    const char* end = item.data() + item.size();
    auto r = std::from_chars(p, end, first);
    if (r.ec != std::errc()) continue;
    last = first;
    if (r.ptr < end && *r.ptr == '-') {
      r = std::from_chars(r.ptr + 1, end, last);
      if (r.ec != std::errc()) continue;
      if (r.ptr < end && *r.ptr == ':') std::from_chars(r.ptr + 1, end, step);
    }
    step = std::max(step, 1);
    // A range of a million tasks is more than any array job holds.
    for (long f = first; f <= last && out.size() < 1000000; f += step) {
      out.push_back(static_cast<int>(f));
    }
  }
  return out;
}

}  // namespace

std::string Trimmed(std::string text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
  size_t start = 0;
  while (start < text.size() && std::isspace(static_cast<unsigned char>(text[start]))) ++start;
  return text.substr(start);
}

std::string ShellQuote(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

std::string SbatchScript(const FarmJob& job) {
  std::string s = "#!/bin/bash\n";
  s += "# Renders " + job.scene + ", frames " + job.frames + ", " + std::to_string(job.chunk) +
       " a task; written by `tarnis farm submit`.\n";
  s += "#SBATCH --job-name=" + job.jobName + "\n";
  s += "#SBATCH --array=0-" + std::to_string(job.tasks - 1) + "\n";
  s += "#SBATCH --output=" + job.logFolder + "/%x_%A_%a.log\n";
  if (!job.partition.empty()) s += "#SBATCH --partition=" + job.partition + "\n";
  if (job.threads && *job.threads > 0) {
    s += "#SBATCH --cpus-per-task=" + std::to_string(*job.threads) + "\n";
  }
  for (const std::string& a : job.sbatchArgs) s += "#SBATCH " + a + "\n";
  s += "set -euo pipefail\n";
  s += "# --resume: a task that was stopped and requeued carries on where it stopped.\n";
  std::string command = "exec " + ShellQuote(job.program) + " render " + ShellQuote(job.scene) +
                        " --frames " + ShellQuote(job.frames) + " --chunk " +
                        std::to_string(job.chunk) +
                        " --task \"$SLURM_ARRAY_TASK_ID\" --resume -o " + ShellQuote(job.output);
  if (job.threads) command += " --threads " + std::to_string(*job.threads);
  if (job.samples) command += " --samples " + std::to_string(*job.samples);
  if (!job.size.empty()) command += " --size " + ShellQuote(job.size);
  for (const std::string& p : job.plugins) command += " --plugin " + ShellQuote(p);
  return s + command + "\n";
}

std::map<int, std::string> ParseSacctStates(const std::string& text) {
  std::map<int, std::string> out;
  std::stringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    const size_t bar = line.find('|');
    if (bar == std::string::npos) continue;
    const std::string id = line.substr(0, bar);
    std::string state = line.substr(bar + 1);
    state = StateWord(state.substr(0, state.find('|')));
    const size_t underscore = id.find('_');
    if (underscore == std::string::npos) {
      out[0] = state;
      continue;
    }
    std::string tasks = id.substr(underscore + 1);
    if (!tasks.empty() && tasks.front() == '[') tasks = tasks.substr(1, tasks.find(']') - 1);
    for (int t : TaskNumbers(tasks)) out[t] = state;
  }
  return out;
}

std::map<int, std::string> ParseScontrolStates(const std::string& text) {
  std::map<int, std::string> out;
  std::stringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    std::string tasks = "0", state;
    std::stringstream words(line);
    std::string word;
    while (words >> word) {
      if (word.starts_with("ArrayTaskId=")) tasks = word.substr(12);
      if (word.starts_with("JobState=")) state = word.substr(9);
    }
    if (state.empty()) continue;
    for (int t : TaskNumbers(tasks)) out[t] = state;
  }
  return out;
}

}  // namespace tarnis_cli
