// End-to-end tests: file names beyond ASCII, names that look like options,
// and wildcard patterns.

#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/run.h"
#include "tests/e2e/texts.h"

namespace kiv {
namespace {

// Names beyond ASCII. Linux takes them as bytes, valid UTF-8 or not. A
// Windows program gets its arguments in the ANSI code page (1252 under
// Wine with a UTF-8 locale): "\xc3\xb6" given by a Linux caller arrives as
// the byte F6, and files keep their names in UTF-8 on the Linux side.
struct ForeignNames {
  const char* source;        // an existing file, as the caller names it
  const char* target;        // a new file, as the caller names it
  const char* missing;       // a missing file, as the caller names it
  const char* missing_seen;  // that name as the program prints it
};
const ForeignNames kLinuxNames = {"\xe4\xf6\xfc \xc3\xa9.txt", "\xff.out",
                                  "n\xc3\xb6\xfe.txt", "n\xc3\xb6\xfe.txt"};
const ForeignNames kWindowsNames = {"\xc3\xa4\xc3\xb6\xc3\xbc \xc3\xa9.txt", "\xc3\xbf.out",
                                    "n\xc3\xb6\xc3\xbe.txt", "n\xf6\xfe.txt"};

TEST_F(Run, UnusualFileNamesWorkAndPrintLiterally) {
  const ForeignNames& foreign = on_windows() ? kWindowsNames : kLinuxNames;
  put("-x", "minus\n");
  put("a %s b%%.txt", "prozent\n");
  put(foreign.source, "umlaut\n");

  // Names that look like options but are none are file names.
  EXPECT_RUN(kiv({"-x", "-y"}), 0, ""); EXPECT_WRITTEN("-y", "minus\n");
  EXPECT_RUN(kiv({"-x", "--", "-z"}), 0, ""); EXPECT_WRITTEN("--", "minus\\n\\n\n");
  EXPECT_RUN(kiv({"-q", "out.txt"}), 3, no_source("-q"));
  EXPECT_RUN(kiv({"-zt", "-ZZ"}), 3, no_source("-zt"));
  EXPECT_RUN(kiv({"-x", "-x"}), 2, same_name("-x"));

  // Percent signs and blanks.
  EXPECT_RUN(kiv({"a %s b%%.txt", "z %d %n.txt"}), 0, ""); EXPECT_WRITTEN("z %d %n.txt", "prozent\n");
  EXPECT_RUN(kiv({"no %s %n.txt", "out.txt"}), 3, no_source("no %s %n.txt"));
  EXPECT_RUN(kiv({"%s%s%n", "%s%s%n"}), 2, same_name("%s%s%n"));
  EXPECT_RUN(kiv({"a %s b%%.txt", "%n %s/x"}), 5, unwritable("%n %s/x"));

  // Bytes beyond ASCII.
  EXPECT_RUN(kiv({foreign.source, foreign.target}), 0, ""); EXPECT_WRITTEN(foreign.target, "umlaut\n");
  EXPECT_RUN(kiv({foreign.missing, "out.txt"}), 3, no_source(foreign.missing_seen));

  EXPECT_EQ(files(), Names({"--", "-x", "-y", "a %s b%%.txt", "z %d %n.txt",
                            foreign.source, foreign.target}));
}

// Wildcard patterns in operands. Windows shells leave them to the program,
// whose runtime expands them into the matching names in name order; a
// pattern that matches nothing stays as it is. On Linux the shell expands
// them, and Kiv takes what reaches it literally: a quoted "*.txt" is one
// file name.
TEST_F(Run, WildcardPatternsAreExpandedOnlyOnWindows) {
  put("b.txt", "zweite\n");
  put("a.txt", "erste\n");
  put("c.dat", "daten\n");
  const std::string help = help_screen(shown_path(program_path("Kiv"), dir_));
  if (on_windows()) {
    folder("sub");
    put("sub/q.txt", "q\n");
    // "*.txt" stands for "a.txt b.txt": a is converted into b.
    EXPECT_RUN(kiv({"*.txt", "-z"}), 0, "");
    EXPECT_WRITTEN("b.txt", "erste\\n\\n\n");
    EXPECT_RUN(kiv({"?.dat", "-A"}), 0, "daten\n");
    EXPECT_RUN(kiv({"-E", "*.dat"}, "neu\n"), 0, "");
    EXPECT_WRITTEN("c.dat", "neu\n");
    EXPECT_RUN(kiv({"*.dat"}), 1, help);
    EXPECT_RUN(kiv({"*.nix", "out.txt"}), 3, no_source("*.nix"));
    EXPECT_RUN(kiv({"sub/*.txt", "sub/*.txt"}), 2, same_name("sub/q.txt"));
    EXPECT_EQ(files(), Names({"a.txt", "b.txt", "c.dat", "sub"}));
  } else {
    put("*.txt", "stern\n");
    EXPECT_RUN(kiv({"*.txt", "-A"}), 0, "stern\n");
    EXPECT_RUN(kiv({"*.txt"}), 1, help);
    EXPECT_RUN(kiv({"?.dat", "-A"}), 3, no_source("?.dat"));
    EXPECT_RUN(kiv({"a.txt", "*.out"}), 0, "");
    EXPECT_WRITTEN("*.out", "erste\n");
    EXPECT_BYTES(get("b.txt"), "zweite\n");
    EXPECT_EQ(files(), Names({"*.out", "*.txt", "a.txt", "b.txt", "c.dat"}));
  }
  EXPECT_BYTES(get("a.txt"), "erste\n");
}

}  // namespace
}  // namespace kiv
