#include "tests/e2e/run.h"

#include <cstdlib>

namespace kiv {

const Build& under_test() {
  static const Build chosen = [] {
    Build t;
    if (const char* dir = std::getenv("KIV_BIN_DIR")) t.bin_dir = dir;
    if (const char* runner = std::getenv("KIV_RUNNER")) t.runner = runner;
    if (const char* suffix = std::getenv("KIV_EXE_SUFFIX")) t.suffix = suffix;
    const char* system = std::getenv("KIV_TARGET");
    t.windows = system != nullptr && std::string(system) == "windows";
    return t;
  }();
  return chosen;
}

std::string program_path(const std::string& name) {
  return under_test().bin_dir + "/" + name + under_test().suffix;
}

// Wine's winepath runs in the folder, so that relative paths count from
// it, and through the same runner and prefix as the programs. Wine now
// and then fails to start it on a busy machine ("ShellExecuteEx failed:
// Internal error"), so it gets three tries.
std::string windows_path(const std::string& path, const std::string& dir) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    ProcessResult converted = run_process(
        {under_test().runner, "winepath.exe", "-w", path}, Streams{}, dir);
    std::string shown = converted.out;
    while (!shown.empty() && (shown.back() == '\n' || shown.back() == '\r')) {
      shown.pop_back();
    }
    if (converted.exit_code == 0 && !shown.empty() &&
        shown.find("ShellExecuteEx") == std::string::npos) {
      return shown;
    }
  }
  ADD_FAILURE() << "winepath -w " << path << " failed three times";
  return "";
}

std::string shown_path(const std::string& typed, const std::string& dir) {
  return on_windows() ? windows_path(typed, dir) : typed;
}

std::string native(const std::string& text) {
  if (!on_windows()) return text;
  std::string converted;
  for (char c : text) {
    if (c == '\n') converted += '\r';
    converted += c;
  }
  return converted;
}

ProcessResult Run::shell(const std::string& command) {
  const Build& t = under_test();
  if (t.windows) {
    return run_process({"/bin/sh", "-c", "WINEPATH=\"$1\" exec \"$2\" cmd /c \"$3\"",
                        "sh", windows_path(t.bin_dir, dir_), t.runner, command},
                       Streams{}, dir_);
  }
  return posix_shell(command);
}

ProcessResult Run::posix_shell(const std::string& command) {
  const Build& t = under_test();
  // kiv_runner and kiv_bin let a command start Kiv without the shell
  // function, e.g. under timeout.
  std::string setup = "PATH=\"" + t.bin_dir + ":$PATH\"; kiv_runner=\"" +
                      t.runner + "\"; kiv_bin=\"" + program_path("Kiv") +
                      "\"; ";
  if (!t.runner.empty()) {
    // Programs built for another processor start through the runner.
    for (const char* name : {"Kiv", "KivS"}) {
      setup += std::string(name) + "() { \"" + t.runner + "\" \"" +
               program_path(name) + "\" \"$@\"; }; ";
    }
  }
  return run_process({"/bin/sh", "-c", setup + command}, Streams{}, dir_);
}

}  // namespace kiv
