// End-to-end tests: run the built programs in a temporary folder with
// arguments, standard input and files, and check exit code, standard
// output and the files they leave.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/process.h"

namespace kiv {
namespace {

std::string bin_dir() {
  const char* dir = std::getenv("KIV_BIN_DIR");
  return dir != nullptr ? dir : "build";
}

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

  // Runs Kiv (or KivS) with these arguments and standard input.
  ProcessResult kiv(std::vector<std::string> args, const std::string& input = "",
                    const std::string& program = "Kiv") {
    args.insert(args.begin(), bin_dir() + "/" + program);
    return run_process(args, input, dir_);
  }

  // Runs a shell command line in the folder, with the programs on PATH.
  ProcessResult shell(const std::string& command) {
    return run_process({"/bin/sh", "-c",
                        "PATH=\"" + bin_dir() + ":$PATH\"; " + command},
                       "", dir_);
  }

  std::string dir_;
};

#define EXPECT_BYTES(actual, expected) \
  EXPECT_EQ(actual, expected) << "got:\n" << visible(actual) << "\nwanted:\n" << visible(expected)

TEST_F(Run, ConvertsAFileToAFile) {
  put("in.txt", "say \"hi\"\n");
  ProcessResult r = kiv({"in.txt", "out.c", "-C"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_BYTES(r.out, "");
  EXPECT_BYTES(get("out.c"), "say \\\"hi\\\"\\n\\n\n");
}

}  // namespace
}  // namespace kiv
