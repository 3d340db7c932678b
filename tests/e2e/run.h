#ifndef KIV_TESTS_E2E_RUN_H_
#define KIV_TESTS_E2E_RUN_H_

// What every end-to-end suite shares: which build is under test and how
// to start it, what differs when that build is a Windows one (paths, text
// mode, the null device), and the fixture that runs the programs in a
// temporary folder.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/bytes.h"
#include "tests/process.h"

namespace kiv {

using Names = std::vector<std::string>;

// The programs under test and how to start them, from the environment
// that CTest sets: KIV_BIN_DIR is their folder; a Windows build runs
// through KIV_RUNNER (Wine) with the suffix KIV_EXE_SUFFIX (".exe"), and
// KIV_TARGET=windows says that its expectations are Windows ones.
struct Build {
  std::string bin_dir = "build";
  std::string runner;  // a program that starts the others, or empty
  std::string suffix;
  bool windows = false;
};

const Build& under_test();

inline bool on_windows() { return under_test().windows; }

// How the tests call one of the programs (Kiv or KivS).
std::string program_path(const std::string& name);

// The full Windows path that Wine gives a Linux path (relative ones count
// from folder `dir`), as Wine's own winepath -w makes it.
std::string windows_path(const std::string& path, const std::string& dir);

// The program path that help and usage texts show when the program was
// started as `typed` from folder `dir`: Linux passes it on as typed, Wine
// hands a Windows program the full path of its file.
std::string shown_path(const std::string& typed, const std::string& dir);

// What the program's bytes look like once written: standard output and
// the files it writes are text streams, so on Windows each LF written
// arrives as CR LF.
std::string native(const std::string& text);

// The name of the null device.
inline std::string null_device() { return on_windows() ? "NUL" : "/dev/null"; }

// The shell command that prints a file, in the chained examples.
inline const char* print_file_command() { return on_windows() ? "type" : "cat"; }

class Run : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = make_temp_dir();
    ASSERT_FALSE(dir_.empty());
  }
  void TearDown() override { remove_tree(dir_); }

  std::string path(const std::string& name) const { return dir_ + "/" + name; }
  void put(const std::string& name, const std::string& bytes) const {
    write_file(path(name), bytes);
  }
  std::string get(const std::string& name) const { return read_file(path(name)); }
  bool has(const std::string& name) const { return file_exists(path(name)); }
  void drop(const std::string& name) const { std::remove(path(name).c_str()); }
  void folder(const std::string& name) const { mkdir(path(name).c_str(), 0755); }
  Names files() const { return list_dir(dir_); }

  // Runs the program at `program` (a path as the caller would type it)
  // with these arguments and streams.
  ProcessResult call(const std::string& program, Names args,
                     const Streams& streams) {
    args.insert(args.begin(), program);
    if (!under_test().runner.empty()) args.insert(args.begin(), under_test().runner);
    ProcessResult result = run_process(args, streams, dir_);
    // Wine now and then fails to start a program on a busy machine and
    // ends with 1 and no output at all; Kiv's own 1 prints the help screen
    // and comes again, however often it is asked. (Output appended to a
    // file would be appended twice.)
    for (int retry = 0; retry < 2 && under_test().windows && result.exit_code == 1 &&
                        result.out.empty() && streams.out_file.empty();
         ++retry) {
      result = run_process(args, streams, dir_);
    }
    return result;
  }

  // Runs Kiv with these arguments and standard input.
  ProcessResult kiv(const Names& args, const std::string& input = "") {
    return call(program_path("Kiv"), args, Streams{input, "", ""});
  }
  // Runs Kiv with standard input from `in_file` and/or standard output
  // appended to `out_file` (either may be empty).
  ProcessResult kiv_redirected(const Names& args, const std::string& in_file,
                               const std::string& out_file) {
    return call(program_path("Kiv"), args, Streams{"", in_file, out_file});
  }
  ProcessResult kivs(const Names& args, const std::string& input = "") {
    return call(program_path("KivS"), args, Streams{input, "", ""});
  }
  ProcessResult kivs_redirected(const Names& args, const std::string& in_file,
                                const std::string& out_file) {
    return call(program_path("KivS"), args, Streams{"", in_file, out_file});
  }

  // Runs a command line in the folder, with "Kiv" and "KivS" on the
  // search path: through /bin/sh, or for Windows through the Windows
  // command interpreter, which Wine brings.
  ProcessResult shell(const std::string& command);
  // The same through /bin/sh for a Windows build too, which then starts
  // through $kiv_runner.
  ProcessResult posix_shell(const std::string& command);

  std::string dir_;
};

#define EXPECT_BYTES(actual, expected) \
  EXPECT_EQ(actual, expected) << "got:\n" << visible(actual) << "\nwanted:\n" << visible(expected)

// One case: the call, its exit code and its whole standard output, as the
// program writes it (see native()).
#define EXPECT_RUN(call_expression, code, output)                     \
  do {                                                                \
    ProcessResult result_ = (call_expression);                        \
    EXPECT_EQ(result_.exit_code, code) << #call_expression;           \
    EXPECT_BYTES(result_.out, native(output)) << #call_expression;    \
  } while (false)

// A file that the program wrote holds this text (see native()).
#define EXPECT_WRITTEN(name, text) EXPECT_BYTES(get(name), native(text))

}  // namespace kiv

#endif  // KIV_TESTS_E2E_RUN_H_
