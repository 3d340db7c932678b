#ifndef KIV_TESTS_PROCESS_H_
#define KIV_TESTS_PROCESS_H_

// Running programs for the tests (Kiv itself, compilers, interpreters, a
// browser's driver): one process to its end, or one beside the test.

#include <sys/types.h>

#include <string>
#include <vector>

#include "tests/bytes.h"

namespace kiv {

struct ProcessResult {
  int exit_code = -1;  // -1 when the process did not exit normally
  std::string out;     // everything written to standard output
  std::string err;     // standard error, when Streams::collect_err
};

// Where a process's standard streams come from and go to.
struct Streams {
  std::string input;     // bytes fed as standard input ...
  std::string in_file;   // ... unless this names a file (or folder) to open
  std::string out_file;  // when not empty, standard output is appended to
                         // this path instead of being collected
  bool close_input = false;   // start with standard input closed
  bool close_output = false;  // start with standard output closed
  long file_limit = 0;  // when not 0, no file the process writes grows
                        // beyond this many bytes (a write fails with
                        // EFBIG, or SIGXFSZ if the process lets it)
  bool file_limit_quiet = false;  // SIGXFSZ ignored for the process (a
                                  // Windows program under Wine has no say)
  // When not empty, standard input and output are pipes (of a 1 MiB
  // buffer, so that each part arrives whole) instead of `input` and the
  // output file: the parts are fed one after another, and each next one
  // only once some output has come back since the last (at most 10 s,
  // else the feeding stops: output that does not keep up shows as text
  // missing).
  std::vector<std::string> parts = {};
  bool nonblocking = false;  // the process gets both pipe ends O_NONBLOCK
  bool collect_err = false;  // standard error is collected, not this
                             // program's
};

// Runs argv[0] (a path, a relative one counting from `dir`; a name without
// a slash is looked up on PATH) with these arguments in folder `dir` and
// collects exit code and standard output.
ProcessResult run_process(const std::vector<std::string>& argv,
                          const Streams& streams, const std::string& dir);

// The same with `input` as standard input, standard error collected too.
ProcessResult run_program(const std::vector<std::string>& argv,
                          const std::string& dir,
                          const std::string& input = "");

// A process that runs beside the test in a process group of its own (a
// kill of the group reaches all it started), fed through the pipe `input`
// and writing into the pipe `output`; their ends are close-on-exec, so
// that processes started meanwhile hold none of them. Its standard error
// is this program's. pid is -1 when it could not be started.
struct Child {
  pid_t pid = -1;
  int input = -1;
  int output = -1;
};
Child start_process(const std::vector<std::string>& argv);

// A fresh empty folder under the system's temporary folder.
std::string make_temp_dir();

// Removes a folder and everything in it.
void remove_tree(const std::string& dir);

bool file_exists(const std::string& path);

// The names in a folder, sorted, without "." and "..".
std::vector<std::string> list_dir(const std::string& dir);

}  // namespace kiv

#endif  // KIV_TESTS_PROCESS_H_
