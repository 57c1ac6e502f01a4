#include "apps/tarnis/farm_command.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <span>
#include <sstream>

#include <CLI/CLI.hpp>

#include "apps/tarnis/chunks.h"
#include "apps/tarnis/farm_job.h"
#include "apps/tarnis/frame_list.h"
#include "apps/tarnis/scene_files.h"
#include "host/scene_file.h"
#include "sdk/atomic_file.h"

extern char** environ;

namespace tarnis_cli {

namespace {

namespace fs = std::filesystem;

struct ProgramResult {
  bool started = false;  // false: the program could not be run at all
  int status = -1;       // exit code, or 128 + signal
  std::string out, err;
};

// Runs `argv` (looked up on PATH) without a shell and collects what it
// prints on each stream.
ProgramResult RunProgram(const std::vector<std::string>& argv) {
  ProgramResult result;
  int outPipe[2], errPipe[2];
  if (pipe2(outPipe, O_CLOEXEC) != 0) return result;
  if (pipe2(errPipe, O_CLOEXEC) != 0) {
    close(outPipe[0]), close(outPipe[1]);
    return result;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(outPipe[1]), close(errPipe[1]);
  if (spawned == 0) {
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = 2;
    while (open > 0) {
      if (poll(fds, 2, -1) < 0) {
        if (errno == EINTR) continue;
        break;
      }
      for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        char buffer[4096];
        const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
        if (n > 0) {
          sinks[i]->append(buffer, static_cast<size_t>(n));
        } else if (n == 0 || errno != EINTR) {
          fds[i].fd = -1;
          --open;
        }
      }
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.started = true;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  close(outPipe[0]), close(errPipe[0]);
  return result;
}

std::string ThisProgram() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string("tarnis") : self.string();
}

std::string Absolute(const std::string& path) {
  std::error_code ec;
  const fs::path p = fs::absolute(path, ec);
  return (ec ? fs::path(path) : p).lexically_normal().string();
}

// The frames a job renders: --frames, or the scene's own.
bool JobFrames(const FarmSubmitOptions& o, const host::Scene& scene, std::vector<int>& frames,
               std::string& text, std::string* error) {
  if (!o.frames.empty()) {
    text = o.frames;
    return ParseFrameList(o.frames, frames, error);
  }
  frames.clear();
  for (int f = scene.render.firstFrame; f <= scene.render.lastFrame; ++f) frames.push_back(f);
  text = std::to_string(scene.render.firstFrame) + "-" + std::to_string(scene.render.lastFrame);
  return !frames.empty();
}

// "123" of sbatch --parsable's "123" or "123;cluster".
std::string JobIdOf(const std::string& parsable) {
  std::string id = Trimmed(parsable);
  const size_t semicolon = id.find(';');
  if (semicolon != std::string::npos) id.resize(semicolon);
  const bool digits = !id.empty() && std::all_of(id.begin(), id.end(), [](char c) {
    return c >= '0' && c <= '9';
  });
  return digits ? id : "";
}

}  // namespace

int RunFarmSubmit(const FarmSubmitOptions& o) {
  WarningPrinter warnings;
  std::vector<std::string> messages;
  LoadClasses(o.plugins, &messages);
  warnings.Print(messages);
  messages.clear();
  std::string error;
  // The scene is read here so that a broken one fails now, not on every task.
  std::unique_ptr<host::Scene> scene = LoadScene(o.scene, &messages, &error);
  warnings.Print(messages);
  if (!scene) {
    PrintError(error);
    return 1;
  }
  std::vector<int> frames;
  FarmJob job;
  if (!JobFrames(o, *scene, frames, job.frames, &error)) {
    PrintError(error.empty() ? "the scene has no frames to render" : error);
    return 1;
  }
  const std::string stem = fs::path(o.scene).stem().string();
  job.chunk = o.chunk;
  job.tasks = static_cast<int>(SplitIntoChunks(frames, o.chunk).size());
  job.output = Absolute(o.output.empty() ? "farm/" + stem + "/" + stem + ".png" : o.output);
  const fs::path folder = fs::path(job.output).parent_path();
  job.logFolder = (folder / "logs").string();
  job.jobName = o.jobName.empty() ? "tarnis-" + stem : o.jobName;
  job.partition = o.partition;
  job.program = o.program.empty() ? ThisProgram() : o.program;
  job.scene = o.copyScene ? (folder / (stem + ".tscene")).string() : Absolute(o.scene);
  job.threads = o.threads;
  job.samples = o.samples;
  job.size = o.size;
  for (const std::string& p : o.plugins) job.plugins.push_back(Absolute(p));
  job.sbatchArgs = o.sbatchArgs;
  for (const std::string& text : {job.jobName, job.partition}) {
    if (text.find_first_of(" \t\n'\"\\$`") != std::string::npos) {
      PrintError("\"" + text + "\": job and partition names cannot hold spaces or quotes");
      return 1;
    }
  }
  for (const std::string& a : job.sbatchArgs) {
    if (!a.starts_with("-") || a.find('\n') != std::string::npos) {
      PrintError("--sbatch " + a + ": expected one sbatch option, such as --time=2:00:00");
      return 1;
    }
  }
  const std::string script = SbatchScript(job);
  if (o.dryRun) {
    std::fputs(script.c_str(), stdout);
    return 0;
  }

  std::error_code ec;
  fs::create_directories(job.logFolder, ec);
  if (ec) {
    PrintError(job.logFolder + ": cannot make the job's folder (" + ec.message() + ")");
    return 1;
  }
  if (o.copyScene && !host::SaveSceneFile(*scene, job.scene, &error)) {
    PrintError(error);
    return 1;
  }
  const std::string scriptPath = (folder / (job.jobName + ".sbatch")).string();
  const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(script.data()),
                                       script.size());
  if (!WriteFileAtomically(scriptPath, bytes, &error)) {
    PrintError(error);
    return 1;
  }
  const ProgramResult run = RunProgram({"sbatch", "--parsable", scriptPath});
  if (!run.started) {
    PrintError("sbatch could not be run: is Slurm's client installed and on PATH? The script is " +
               scriptPath);
    return 1;
  }
  const std::string id = JobIdOf(run.out);
  if (run.status != 0 || id.empty()) {
    PrintError("sbatch refused " + scriptPath + ": " +
               Trimmed(run.err.empty() ? run.out : run.err));
    return 1;
  }
  std::printf("Submitted job %s: %d task%s of up to %d frames (%s); images in %s\n", id.c_str(),
              job.tasks, job.tasks == 1 ? "" : "s", job.chunk, DescribeFrames(frames).c_str(),
              folder.string().c_str());
  return 0;
}

int RunFarmStatus(const std::string& job) {
  if (job.empty() || !std::all_of(job.begin(), job.end(), [](char c) {
        return c >= '0' && c <= '9';
      })) {
    PrintError("farm status " + job + ": expected a job number, as submit printed it");
    return 1;
  }
  // Accounting knows finished tasks where the cluster keeps it; the
  // controller knows them for a while after they end, and every waiting or
  // running one.
  std::map<int, std::string> states;
  ProgramResult run = RunProgram({"sacct", "-n", "-P", "-X", "-j", job, "-o", "JobID,State"});
  if (run.started && run.status == 0) states = ParseSacctStates(run.out);
  if (states.empty()) {
    run = RunProgram({"scontrol", "-o", "show", "job", job});
    if (!run.started) {
      PrintError("scontrol could not be run: is Slurm's client installed and on PATH?");
      return 1;
    }
    if (run.status == 0) states = ParseScontrolStates(run.out);
  }
  if (states.empty()) {
    PrintError("job " + job + " is not known to the cluster (or has left its records)");
    return 1;
  }
  std::map<std::string, int> counts;
  for (const auto& [task, state] : states) ++counts[state];
  std::string line = "job " + job + ": " + std::to_string(states.size()) + " task" +
                     (states.size() == 1 ? "" : "s");
  const char* separator = ": ";
  for (const auto& [state, n] : counts) {
    line += separator + std::to_string(n) + " " + state;
    separator = ", ";
  }
  std::printf("%s\n", line.c_str());
  for (const auto& [task, state] : states) {
    if (state != "COMPLETED" && state != "PENDING" && state != "RUNNING") {
      std::printf("task %d: %s\n", task, state.c_str());
    }
  }
  return 0;
}

CLI::App* AddFarmCommand(CLI::App& app, FarmOptions& o) {
  CLI::App* farm = app.add_subcommand("farm", "Render a sequence on a Slurm cluster");
  farm->require_subcommand(1);
  FarmSubmitOptions& s = o.submit;
  CLI::App* submit = farm->add_subcommand(
      "submit", "Submit an array job that renders the frames in chunks, one task a chunk");
  submit->add_option("scene", s.scene, "Scene description (.json) or saved scene (.tscene)")
      ->required();
  submit->add_option("--frames", s.frames, "Frames to render (as for render); default: the scene's");
  submit->add_option("--chunk", s.chunk, "Frames a task renders (default 10)")
      ->check(CLI::Range(1, 1000000));
  submit->add_option("-o,--output", s.output,
                     "Image file of the frames (default: farm/<scene name>/<scene name>.png); "
                     "the job's script and logs go beside them");
  submit->add_option("--partition", s.partition, "Slurm partition (default: the cluster's)");
  submit->add_option("--job-name", s.jobName, "Job name (default: tarnis-<scene name>)");
  submit->add_option("--program", s.program,
                     "tarnis as the cluster's machines reach it (default: this program)");
  submit->add_flag("--copy-scene", s.copyScene,
                   "Render a saved copy of the scene, written beside the images, so that later "
                   "edits do not reach the job");
  submit->add_option("--threads", s.threads, "Render threads a task (also its CPUs)")
      ->check(CLI::Range(1, 1024));
  submit->add_option("--samples", s.samples, "N x N samples a pixel")->check(CLI::Range(1, 16));
  submit->add_option("--size", s.size, "Image size WxH in pixels");
  submit->add_option("--plugin", s.plugins, "Also load this plug-in module (.so)");
  submit->add_option("--sbatch", s.sbatchArgs,
                     "One more sbatch option for the script, e.g. --sbatch=--time=2:00:00");
  submit->add_flag("--dry-run", s.dryRun, "Print the job script; write and submit nothing");
  CLI::App* status = farm->add_subcommand("status", "Show how far a job's tasks are");
  status->add_option("job", o.job, "Job number, as submit printed it")->required();
  status->callback([&o] { o.status = true; });
  return farm;
}

int RunFarm(const FarmOptions& options) {
  return options.status ? RunFarmStatus(options.job) : RunFarmSubmit(options.submit);
}

}  // namespace tarnis_cli
