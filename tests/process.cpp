#include "tests/process.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void write_file(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool file_exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

ProcessResult run_process(const std::vector<std::string>& argv,
                          const std::string& input, const std::string& dir,
                          const std::string& out_file) {
  ProcessResult result;
  char in_name[] = "/tmp/kiv-stdin-XXXXXX";
  char out_name[] = "/tmp/kiv-stdout-XXXXXX";
  int in_fd = mkstemp(in_name);
  int out_fd = out_file.empty() ? mkstemp(out_name) : -1;
  if (in_fd < 0 || (out_file.empty() && out_fd < 0)) return result;
  unlink(in_name);
  if (write(in_fd, input.data(), input.size()) !=
      static_cast<ssize_t>(input.size())) {
    return result;
  }
  lseek(in_fd, 0, SEEK_SET);

  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);

  pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0) _exit(126);
    if (!out_file.empty()) {
      out_fd = open(out_file.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
      if (out_fd < 0) _exit(126);
    }
    dup2(in_fd, 0);
    dup2(out_fd, 1);
    execv(args[0], args.data());
    _exit(127);
  }
  close(in_fd);
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
  if (out_file.empty()) {
    result.out = read_file(out_name);
    close(out_fd);
    unlink(out_name);
  }
  return result;
}

std::string visible(const std::string& bytes) {
  std::string shown;
  char hex[8];
  for (unsigned char c : bytes) {
    if (c == '\n') {
      shown += "\\n\n";
    } else if (c == '\t') {
      shown += "\\t";
    } else if (c == '\\') {
      shown += "\\\\";
    } else if (c < 0x20 || c >= 0x7f) {
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      shown += hex;
    } else {
      shown += static_cast<char>(c);
    }
  }
  return shown;
}

}  // namespace kiv
