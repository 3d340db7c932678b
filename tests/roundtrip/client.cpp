#include "tests/roundtrip/client.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace kiv::roundtrip {
namespace {

std::string temp_base() {
  const char* base = std::getenv("TMPDIR");
  return base != nullptr && *base != '\0' ? base : "/tmp";
}

// An unlinked temporary file, open for reading and writing.
int anonymous_file() {
  std::string name = temp_base() + "/kiv-rt-XXXXXX";
  int fd = mkstemp(name.data());
  if (fd >= 0) unlink(name.c_str());
  return fd;
}

std::string read_all(int fd) {
  std::string bytes;
  char buffer[65536];
  lseek(fd, 0, SEEK_SET);
  ssize_t got;
  while ((got = read(fd, buffer, sizeof buffer)) > 0) {
    bytes.append(buffer, static_cast<std::size_t>(got));
  }
  return bytes;
}

}  // namespace

Outcome run_program(const std::vector<std::string>& argv,
                    const std::string& dir, const std::string& input) {
  Outcome outcome;
  int in_fd = anonymous_file();
  int out_fd = anonymous_file();
  int err_fd = anonymous_file();
  if (in_fd < 0 || out_fd < 0 || err_fd < 0 || argv.empty()) {
    outcome.err = "cannot create temporary files";
    return outcome;
  }
  if (write(in_fd, input.data(), input.size()) !=
      static_cast<ssize_t>(input.size())) {
    outcome.err = "cannot write standard input";
    return outcome;
  }
  lseek(in_fd, 0, SEEK_SET);

  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);

  pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0) _exit(126);
    dup2(in_fd, 0);
    dup2(out_fd, 1);
    dup2(err_fd, 2);
    execvp(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  if (pid > 0) waitpid(pid, &status, 0);
  if (pid > 0 && WIFEXITED(status)) outcome.exit_code = WEXITSTATUS(status);
  outcome.out = read_all(out_fd);
  outcome.err = read_all(err_fd);
  close(in_fd);
  close(out_fd);
  close(err_fd);
  return outcome;
}

std::string find_program(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= dirs.size()) {
    std::size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string dir = dirs.substr(start, end - start);
    std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return "";
}

bool in_ci() {
  const char* ci = std::getenv("CI");
  return ci != nullptr && *ci != '\0' && std::strcmp(ci, "false") != 0 &&
         std::strcmp(ci, "0") != 0;
}

std::string kiv_program(const std::string& name) {
  const char* dir = std::getenv("KIV_BIN_DIR");
  std::string path = std::string(dir != nullptr ? dir : "build") + "/" + name;
  // The programs run in scratch folders, so the path must not be relative.
  char cwd[4096];
  if (path[0] != '/' && getcwd(cwd, sizeof cwd) != nullptr) {
    path = std::string(cwd) + "/" + path;
  }
  return path;
}

Outcome convert_file(const std::string& dir, const std::string& source,
                     const std::string& text, const std::string& target,
                     const std::vector<std::string>& options) {
  write_file(dir + "/" + source, text);
  std::vector<std::string> argv = {kiv_program(), source, target};
  argv.insert(argv.end(), options.begin(), options.end());
  Outcome outcome = run_program(argv, dir);
  outcome.err = outcome.out + outcome.err;  // Kiv's messages
  outcome.out = read_file(dir + "/" + target);
  return outcome;
}

ScratchDir::ScratchDir() {
  std::string pattern = temp_base() + "/kiv-roundtrip-XXXXXX";
  if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

ScratchDir::~ScratchDir() {
  if (path_.size() > 6) run_program({"rm", "-rf", "--", path_}, "/");
}

}  // namespace kiv::roundtrip
