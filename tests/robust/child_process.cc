#include "tests/robust/child_process.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>

namespace plotweave::testing {

namespace {
constexpr int kExecFailed = 127;
constexpr uid_t kNobody = 65534;
}  // namespace

ChildResult RunChild(const std::string& program, const std::string& dir,
                     const std::vector<std::string>& args, const ChildOptions& options) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) std::abort();
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  const pid_t pid = fork();
  if (pid < 0) std::abort();
  if (pid == 0) {
    dup2(pipeFds[1], STDOUT_FILENO);
    close(pipeFds[0]);
    close(pipeFds[1]);
    if (chdir(dir.c_str()) != 0) _exit(kExecFailed);
    if (options.asOtherUser && (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 ||
                                setuid(kNobody) != 0)) {
      _exit(kExecFailed);
    }
    if (options.fileSizeLimit > 0) {
      // Ignored, SIGXFSZ stays ignored across exec and the write fails instead.
      signal(SIGXFSZ, SIG_IGN);
      const struct rlimit limit = {static_cast<rlim_t>(options.fileSizeLimit),
                                   static_cast<rlim_t>(options.fileSizeLimit)};
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(kExecFailed);
    }
    alarm(options.timeLimitSeconds);  // kept across exec
    execv(program.c_str(), argv.data());
    _exit(kExecFailed);
  }
  close(pipeFds[1]);
  ChildResult result;
  char buf[4096];
  ssize_t n;
  while ((n = read(pipeFds[0], buf, sizeof buf)) > 0) result.output.append(buf, static_cast<size_t>(n));
  close(pipeFds[0]);

  int status = 0;
  struct rusage usage {};
  if (wait4(pid, &status, 0, &usage) != pid) std::abort();
  result.peakRssKb = usage.ru_maxrss;
  if (WIFEXITED(status)) {
    result.exitStatus = WEXITSTATUS(status);
    result.execFailed = result.exitStatus == kExecFailed && result.output.empty();
  } else if (WIFSIGNALED(status)) {
    result.signal = WTERMSIG(status);
  }
  return result;
}

}  // namespace plotweave::testing
