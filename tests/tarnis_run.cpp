#include "tests/tarnis_run.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

RunResult RunTarnis(const std::vector<std::string>& args, const std::string& dir,
                    const std::string& interruptAfter, const std::string& program) {
  int pipeFds[2];
  RunResult run;
  if (::pipe(pipeFds) != 0) return run;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
  std::vector<std::string> all{program};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);
  if (spawned != 0) {
    ::close(pipeFds[0]);
    return run;
  }
  bool interrupted = false;
  char buf[4096];
  ssize_t n;
  while ((n = ::read(pipeFds[0], buf, sizeof buf)) > 0) {
    run.output.append(buf, static_cast<size_t>(n));
    if (!interruptAfter.empty() && !interrupted &&
        run.output.find(interruptAfter) != std::string::npos) {
      ::kill(pid, SIGINT);
      interrupted = true;
    }
  }
  ::close(pipeFds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return run;
}
