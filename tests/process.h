#ifndef KIV_TESTS_PROCESS_H_
#define KIV_TESTS_PROCESS_H_

#include <string>
#include <vector>

namespace kiv {

struct ProcessResult {
  int exit_code = -1;  // -1 when the process did not exit normally
  std::string out;     // everything written to standard output
};

// Runs argv[0] (a path) with these arguments in folder `dir`, feeding
// `input` as standard input (or /dev/null-like nothing when no_stdin),
// and collects exit code and standard output. `out_file`, when not empty,
// receives standard output instead (a path, opened for writing).
ProcessResult run_process(const std::vector<std::string>& argv,
                          const std::string& input, const std::string& dir,
                          const std::string& out_file = "");

// A fresh empty folder under the system's temporary folder.
std::string make_temp_dir();

// Removes a folder and everything in it.
void remove_tree(const std::string& dir);

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);
bool file_exists(const std::string& path);

// Shows bytes readably for failure messages: escapes and hex for the rest.
std::string visible(const std::string& bytes);

}  // namespace kiv

#endif  // KIV_TESTS_PROCESS_H_
