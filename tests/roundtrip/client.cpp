#include "tests/roundtrip/client.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace kiv::roundtrip {

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

ProcessResult convert_file(const std::string& dir, const std::string& source,
                           const std::string& text, const std::string& target,
                           const std::vector<std::string>& options) {
  write_file(dir + "/" + source, text);
  std::vector<std::string> argv = {kiv_program(), source, target};
  argv.insert(argv.end(), options.begin(), options.end());
  ProcessResult ran = run_program(argv, dir);
  ran.err = ran.out + ran.err;  // Kiv's messages
  ran.out = read_file(dir + "/" + target);
  return ran;
}

ScratchDir::ScratchDir() : path_(make_temp_dir()) {}

ScratchDir::~ScratchDir() { remove_tree(path_); }

}  // namespace kiv::roundtrip
