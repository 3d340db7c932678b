#include "tests/process.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace kiv {

std::string make_temp_dir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") +
                        "/kiv-test-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) return "";
  return pattern;
}

void remove_tree(const std::string& dir) {
  if (dir.size() > 6) run_process({"rm", "-rf", "--", dir}, Streams{}, "/");
}

bool file_exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

std::vector<std::string> list_dir(const std::string& dir) {
  std::vector<std::string> names;
  DIR* folder = opendir(dir.c_str());
  if (folder == nullptr) return names;
  while (const dirent* entry = readdir(folder)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(folder);
  std::sort(names.begin(), names.end());
  return names;
}

namespace {

// An unlinked temporary file holding `bytes`, positioned at its start.
int temp_fd(const std::string& bytes) {
  std::string name = make_temp_dir();
  if (name.empty()) return -1;
  std::string file = name + "/stream";
  int fd = open(file.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
  unlink(file.c_str());
  rmdir(name.c_str());
  if (fd < 0) return -1;
  if (write(fd, bytes.data(), bytes.size()) !=
      static_cast<ssize_t>(bytes.size())) {
    close(fd);
    return -1;
  }
  lseek(fd, 0, SEEK_SET);
  return fd;
}

// Everything in a temporary file, which it closes.
std::string read_back(int fd) {
  std::string bytes;
  char buffer[65536];
  lseek(fd, 0, SEEK_SET);
  ssize_t got;
  while ((got = read(fd, buffer, sizeof buffer)) > 0) {
    bytes.append(buffer, static_cast<std::size_t>(got));
  }
  close(fd);
  return bytes;
}

// Starts argv in folder `dir` once `prepare` has set up the child's
// streams; -1 when it could not fork.
template <typename Prepare>
pid_t spawn(const std::vector<std::string>& argv, const std::string& dir,
            Prepare prepare) {
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    // Redirections name paths as a shell would: relative to the folder.
    if (chdir(dir.c_str()) != 0) _exit(126);
    prepare();
    execvp(args[0], args.data());
    _exit(127);
  }
  return pid;
}

// Feeds the parts into `to` and collects what comes back on `from`, as
// Streams::parts says; closes both.
std::string feed_parts(const std::vector<std::string>& parts, int to,
                       int from) {
  std::string out;
  char buffer[65536];
  for (std::size_t part = 0; part <= parts.size(); ++part) {
    if (part == parts.size()) {
      close(to);
      to = -1;
    } else if (part > 0) {
      // Waits for output since the last part before the next goes in.
      std::size_t before = out.size();
      for (int waited = 0; out.size() == before && waited < 100; ++waited) {
        pollfd back = {from, POLLIN, 0};
        if (poll(&back, 1, 100) <= 0) continue;
        ssize_t got = read(from, buffer, sizeof buffer);
        if (got <= 0) break;
        out.append(buffer, static_cast<std::size_t>(got));
      }
      if (out.size() == before) break;
    }
    if (part < parts.size()) {
      const std::string& bytes = parts[part];
      for (std::size_t at = 0; at < bytes.size();) {
        // Reading while writing: the process may fill its output first.
        pollfd both[2] = {{to, POLLOUT, 0}, {from, POLLIN, 0}};
        if (poll(both, 2, -1) < 0) break;
        if (both[1].revents != 0) {
          ssize_t got = read(from, buffer, sizeof buffer);
          if (got > 0) out.append(buffer, static_cast<std::size_t>(got));
        }
        if (both[0].revents & (POLLERR | POLLHUP)) break;
        if (both[0].revents & POLLOUT) {
          ssize_t put = write(to, bytes.data() + at, bytes.size() - at);
          if (put > 0) at += static_cast<std::size_t>(put);
        }
      }
    }
  }
  if (to >= 0) close(to);
  ssize_t got;
  while ((got = read(from, buffer, sizeof buffer)) > 0) {
    out.append(buffer, static_cast<std::size_t>(got));
  }
  close(from);
  return out;
}

}  // namespace

ProcessResult run_process(const std::vector<std::string>& argv,
                          const Streams& streams, const std::string& dir) {
  ProcessResult result;
  const bool piped = !streams.parts.empty();
  int in_fd = -1;
  int out_fd = -1;
  int err_fd = streams.collect_err ? temp_fd("") : -1;
  int feed[2] = {-1, -1};
  int back[2] = {-1, -1};
  if (piped) {
    if (pipe(feed) != 0 || pipe(back) != 0) return result;
    fcntl(feed[1], F_SETPIPE_SZ, 1 << 20);
    // SIGPIPE would end the test when the process stops reading early.
    signal(SIGPIPE, SIG_IGN);
    in_fd = feed[0];
  } else {
    in_fd = streams.in_file.empty() ? temp_fd(streams.input) : -1;
    out_fd = streams.out_file.empty() ? temp_fd("") : -1;
    if ((streams.in_file.empty() && in_fd < 0) ||
        (streams.out_file.empty() && out_fd < 0)) {
      return result;
    }
  }
  if (streams.collect_err && err_fd < 0) return result;

  pid_t pid = spawn(argv, dir, [&] {
    if (!streams.in_file.empty()) {
      in_fd = open(streams.in_file.c_str(), O_RDONLY);
      if (in_fd < 0) _exit(126);
    }
    if (!streams.out_file.empty()) {
      out_fd = open(streams.out_file.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
      if (out_fd < 0) _exit(126);
    }
    signal(SIGPIPE, SIG_DFL);
    if (piped) {
      out_fd = back[1];
      close(feed[1]);
      close(back[0]);
    }
    dup2(in_fd, 0);
    dup2(out_fd, 1);
    if (err_fd >= 0) dup2(err_fd, 2);
    if (piped && streams.nonblocking) {
      fcntl(0, F_SETFL, fcntl(0, F_GETFL) | O_NONBLOCK);
      fcntl(1, F_SETFL, fcntl(1, F_GETFL) | O_NONBLOCK);
    }
    if (streams.close_input) close(0);
    if (streams.close_output) close(1);
    if (streams.file_limit_quiet) signal(SIGXFSZ, SIG_IGN);
    if (streams.file_limit != 0) {
      rlimit limit = {static_cast<rlim_t>(streams.file_limit),
                      static_cast<rlim_t>(streams.file_limit)};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
  });
  if (in_fd >= 0) close(in_fd);
  if (piped) {
    close(back[1]);
    result.out = feed_parts(streams.parts, feed[1], back[0]);
  }
  int status = 0;
  if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
    result.exit_code = WEXITSTATUS(status);
  }
  if (out_fd >= 0) result.out = read_back(out_fd);
  if (err_fd >= 0) result.err = read_back(err_fd);
  return result;
}

ProcessResult run_program(const std::vector<std::string>& argv,
                          const std::string& dir, const std::string& input) {
  Streams streams;
  streams.input = input;
  streams.collect_err = true;
  return run_process(argv, streams, dir);
}

Child start_process(const std::vector<std::string>& argv) {
  Child child;
  int in[2], out[2];
  if (pipe2(in, O_CLOEXEC) != 0) return child;
  if (pipe2(out, O_CLOEXEC) != 0) {
    close(in[0]);
    close(in[1]);
    return child;
  }
  pid_t pid = spawn(argv, ".", [&] {
    setpgid(0, 0);
    dup2(in[0], 0);
    dup2(out[1], 1);
  });
  close(in[0]);
  close(out[1]);
  if (pid < 0) {
    close(in[1]);
    close(out[0]);
    return child;
  }
  setpgid(pid, pid);
  child = {pid, in[1], out[0]};
  return child;
}

}  // namespace kiv
