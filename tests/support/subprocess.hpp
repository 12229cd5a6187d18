// Runs a program as a child process and collects its exit status, stdout and stderr.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

extern char **environ;

namespace grabline::testing {

struct ProcessResult {
  int status = -1;  // exit status, or 128 + signal
  std::string out;
  std::string err;
  bool killed = false;  // ran past the limit
};

// Environment changes: a value sets the variable, nullopt removes it.
using EnvChanges = std::map<std::string, std::optional<std::string>>;

inline std::vector<std::string> ChildEnvironment(const EnvChanges &changes) {
  std::vector<std::string> env;
  for (char **entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    const std::string name = text.substr(0, text.find('='));
    if (changes.count(name) == 0) env.push_back(text);
  }
  for (const auto &[name, value] : changes) {
    if (value) env.push_back(name + "=" + *value);
  }
  return env;
}

// A program running as a child process, its stdout and stderr in pipes. The test
// may read its first line while it runs, then wait for it or stop it as a user
// would; a child the test did not finish is killed, not left running.
class ChildProcess {
 public:
  // With `input_file` the child reads that file as its standard input.
  ChildProcess(const std::vector<std::string> &args, const EnvChanges &changes,
               const std::string &input_file = "") {
    int out_pipe[2], err_pipe[2];
    if (pipe(out_pipe) != 0) return;
    if (pipe(err_pipe) != 0) {
      close(out_pipe[0]);
      close(out_pipe[1]);
      return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out_pipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err_pipe[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, out_pipe[0]);
    posix_spawn_file_actions_addclose(&actions, err_pipe[0]);
    if (!input_file.empty()) {
      posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, input_file.c_str(), O_RDONLY, 0);
    }
    std::vector<char *> argv;
    for (const std::string &arg : args) argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> env_text = ChildEnvironment(changes);
    std::vector<char *> envp;
    for (std::string &entry : env_text) envp.push_back(entry.data());
    envp.push_back(nullptr);
    const int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(out_pipe[1]);
    close(err_pipe[1]);
    fds_[0] = out_pipe[0];
    fds_[1] = err_pipe[0];
    if (spawned != 0) {
      pid_ = -1;
      err_ = "cannot start " + args[0];
    }
  }
  ChildProcess(const ChildProcess &) = delete;
  ChildProcess &operator=(const ChildProcess &) = delete;
  ~ChildProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    for (int fd : fds_) {
      if (fd >= 0) close(fd);
    }
  }

  // The first line the child writes to stdout; "" when it ends or `limit` passes first.
  std::string FirstLine(std::chrono::milliseconds limit = std::chrono::seconds(60)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (out_.find('\n') == std::string::npos) {
      if (!ReadSome(deadline, /*stdout_only=*/true)) return "";
    }
    return out_.substr(0, out_.find('\n'));
  }

  // Reads both pipes until the child closes them and collects its exit status; a
  // child still running after `limit` is killed, so a hanging program fails its test
  // instead of hanging the suite.
  ProcessResult Wait(std::chrono::milliseconds limit) {
    ProcessResult result;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (fds_[0] >= 0 || fds_[1] >= 0) {
      if (ReadSome(deadline, false)) continue;
      if (std::chrono::steady_clock::now() < deadline) break;
      if (pid_ > 0) kill(pid_, SIGKILL);
      result.killed = true;
      break;
    }
    if (pid_ > 0) {
      int wait_status = 0;
      while (waitpid(pid_, &wait_status, 0) < 0 && errno == EINTR) {
      }
      pid_ = -1;
      if (WIFEXITED(wait_status)) result.status = WEXITSTATUS(wait_status);
      if (WIFSIGNALED(wait_status)) result.status = 128 + WTERMSIG(wait_status);
    }
    result.out = out_;
    result.err = err_;
    return result;
  }

  // Sends `signal` (Ctrl-C by default), then waits as Wait() does.
  ProcessResult Stop(int signal = SIGINT,
                     std::chrono::milliseconds limit = std::chrono::seconds(60)) {
    if (pid_ > 0) kill(pid_, signal);
    return Wait(limit);
  }

 private:
  // Reads what is there from the open pipes; false when none is open any more, the
  // deadline passed, or polling failed.
  bool ReadSome(std::chrono::steady_clock::time_point deadline, bool stdout_only) {
    pollfd fds[2] = {{fds_[0], POLLIN, 0}, {stdout_only ? -1 : fds_[1], POLLIN, 0}};
    if (fds[0].fd < 0 && fds[1].fd < 0) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    const int ready = poll(fds, 2, static_cast<int>(left.count()));
    if (ready < 0) return errno == EINTR;
    if (ready == 0) return false;
    std::string *sinks[2] = {&out_, &err_};
    for (int k = 0; k < 2; ++k) {
      if (fds[k].fd < 0 || fds[k].revents == 0) continue;
      char buffer[4096];
      const ssize_t n = read(fds[k].fd, buffer, sizeof(buffer));
      if (n > 0) {
        sinks[k]->append(buffer, size_t(n));
      } else if (n == 0 || errno != EINTR) {
        close(fds_[k]);
        fds_[k] = -1;
      }
    }
    return true;
  }

  pid_t pid_ = -1;
  int fds_[2] = {-1, -1};
  std::string out_, err_;
};

// Runs the child to its end (see ChildProcess::Wait).
inline ProcessResult RunProcess(const std::vector<std::string> &args, const EnvChanges &changes,
                                std::chrono::milliseconds limit = std::chrono::seconds(120),
                                const std::string &input_file = "") {
  ChildProcess child(args, changes, input_file);
  return child.Wait(limit);
}

}  // namespace grabline::testing
