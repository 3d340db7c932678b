// End-to-end tests: the help screen, the usage error and the program path
// they show.

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "tests/e2e/run.h"
#include "tests/e2e/texts.h"

namespace kiv {
namespace {

TEST_F(Run, HelpScreenIsPrintedWholeWithExitOne) {
  EXPECT_RUN(kiv({}), 1, help_screen(shown_path(program_path("Kiv"), dir_)));
}

TEST_F(Run, AtMostOneArgumentShowsTheHelp) {
  put("in.txt", "text\n");
  const std::string help = help_screen(shown_path(program_path("Kiv"), dir_));
  EXPECT_RUN(kiv({"in.txt"}), 1, help);
  EXPECT_RUN(kiv({"-"}, "von stdin\n"), 1, help);
  EXPECT_RUN(kiv({"-z"}), 1, help);
  EXPECT_RUN(kiv({"-C"}), 1, help);
  EXPECT_RUN(kiv({"-x"}), 1, help);
  EXPECT_RUN(kiv({"missing.txt"}), 1, help);
  EXPECT_EQ(files(), Names({"in.txt"}));
  EXPECT_BYTES(get("in.txt"), "text\n");
}

TEST_F(Run, ProgramPathIsPrintedAsPassed) {
  // A relative path, and one with a blank and a percent sign in it.
  const std::string file = "Kiv" + under_test().suffix;
  const std::string in_dir = "my %s dir/" + file;
  ASSERT_EQ(symlink(program_path("Kiv").c_str(), path(file).c_str()), 0);
  folder("my %s dir");
  folder("sub");
  ASSERT_EQ(symlink(program_path("Kiv").c_str(), path(in_dir).c_str()), 0);
  const Streams none;

  EXPECT_RUN(call("./" + file, {}, none), 1, help_screen(shown_path("./" + file, dir_)));
  EXPECT_RUN(call("./" + file, {"-E"}, none), 4, usage_error(shown_path("./" + file, dir_)));
  EXPECT_RUN(call(in_dir, {}, none), 1, help_screen(shown_path(in_dir, dir_)));
  EXPECT_RUN(call(in_dir, {"-A"}, none), 4, usage_error(shown_path(in_dir, dir_)));
  EXPECT_RUN(call(path(in_dir), {"-z"}, none), 1, help_screen(shown_path(path(in_dir), dir_)));
  EXPECT_RUN(call("sub/../" + file, {}, none), 1, help_screen(shown_path("sub/../" + file, dir_)));
}

TEST_F(Run, MissingSourceOrTargetIsAUsageError) {
  put("in.txt", "text\n");
  const std::string usage = usage_error(shown_path(program_path("Kiv"), dir_));
  EXPECT_RUN(kiv({"-E"}, "x\n"), 4, usage);
  EXPECT_RUN(kiv({"-A"}), 4, usage);
  EXPECT_RUN(kiv({"-E", "-z"}, "x\n"), 4, usage);
  EXPECT_RUN(kiv({"-A", "-C", "-Du"}), 4, usage);
  EXPECT_RUN(kiv({"in.txt", "-C"}), 4, usage);
  EXPECT_RUN(kiv({"-", "-D"}, "x\n"), 4, usage);
  EXPECT_RUN(kiv({"-z", "-C"}), 4, usage);
  EXPECT_EQ(files(), Names({"in.txt"}));
}

}  // namespace
}  // namespace kiv
