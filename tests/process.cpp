#include "tests/process.h"

#include <dirent.h>
#include <fcntl.h>
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
  std::string pattern = std::string(base != nullptr ? base : "/tmp") +
                        "/kiv-test-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) return "";
  return pattern;
}

void remove_tree(const std::string& dir) {
  if (dir.size() < 6) return;
  pid_t pid = fork();
  if (pid == 0) {
    execlp("rm", "rm", "-rf", "--", dir.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status;
  waitpid(pid, &status, 0);
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

}  // namespace

ProcessResult run_process(const std::vector<std::string>& argv,
                          const Streams& streams, const std::string& dir) {
  ProcessResult result;
  int in_fd = streams.in_file.empty() ? temp_fd(streams.input) : -1;
  int out_fd = streams.out_file.empty() ? temp_fd("") : -1;
  if ((streams.in_file.empty() && in_fd < 0) ||
      (streams.out_file.empty() && out_fd < 0)) {
    return result;
  }

  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);

  pid_t pid = fork();
  if (pid == 0) {
    // Redirections name paths as a shell would: relative to the folder.
    if (chdir(dir.c_str()) != 0) _exit(126);
    if (!streams.in_file.empty()) {
      in_fd = open(streams.in_file.c_str(), O_RDONLY);
      if (in_fd < 0) _exit(126);
    }
    if (!streams.out_file.empty()) {
      out_fd = open(streams.out_file.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
      if (out_fd < 0) _exit(126);
    }
    dup2(in_fd, 0);
    dup2(out_fd, 1);
    if (streams.close_input) close(0);
    if (streams.close_output) close(1);
    if (streams.file_limit != 0) {
      // A write beyond the limit then fails with EFBIG instead of a signal.
      signal(SIGXFSZ, SIG_IGN);
      rlimit limit = {static_cast<rlim_t>(streams.file_limit),
                      static_cast<rlim_t>(streams.file_limit)};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    execv(args[0], args.data());
    _exit(127);
  }
  if (in_fd >= 0) close(in_fd);
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
  if (out_fd >= 0) {
    char buffer[65536];
    lseek(out_fd, 0, SEEK_SET);
    ssize_t got;
    while ((got = read(out_fd, buffer, sizeof buffer)) > 0) {
      result.out.append(buffer, static_cast<std::size_t>(got));
    }
    close(out_fd);
  }
  return result;
}

}  // namespace kiv
