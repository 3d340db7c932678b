// End-to-end tests: which streams the operands and options choose, and the
// pipe variant.

#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/run.h"
#include "tests/e2e/texts.h"

namespace kiv {
namespace {

TEST_F(Run, OperandsAndOptionsSelectTheStreams) {
  put("in.txt", "aus der Datei\n");
  const std::string stdin_text = "von stdin\n";
  const std::string from_file = "aus der Datei\n";
  const std::string from_stdin = "von stdin\n";

  EXPECT_RUN(kiv({"in.txt", "o1.txt"}, stdin_text), 0, ""); EXPECT_WRITTEN("o1.txt", from_file);
  EXPECT_RUN(kiv({"-", "o2.txt"}, stdin_text), 0, ""); EXPECT_WRITTEN("o2.txt", from_stdin);
  EXPECT_RUN(kiv({"-E", "o3.txt"}, stdin_text), 0, ""); EXPECT_WRITTEN("o3.txt", from_stdin);
  EXPECT_RUN(kiv({"o4.txt", "-E"}, stdin_text), 0, ""); EXPECT_WRITTEN("o4.txt", from_stdin);
  EXPECT_RUN(kiv({"in.txt", "-"}, stdin_text), 0, from_file);
  EXPECT_RUN(kiv({"in.txt", "-A"}, stdin_text), 0, from_file);
  EXPECT_RUN(kiv({"-A", "in.txt"}, stdin_text), 0, from_file);
  EXPECT_RUN(kiv({"-", "-"}, stdin_text), 0, from_stdin);
  EXPECT_RUN(kiv({"-E", "-A"}, stdin_text), 0, from_stdin);
  EXPECT_RUN(kiv({"-E", "-"}, stdin_text), 0, from_stdin);
  EXPECT_RUN(kiv({"-A", "-"}, stdin_text), 0, from_stdin);
  EXPECT_RUN(kiv({"-E", "-A", "extra"}, stdin_text), 0, from_stdin);
  EXPECT_RUN(kiv({"-E", "-A", "in.txt", "o5.txt"}, stdin_text), 0, from_stdin);
  EXPECT_RUN(kiv({"in.txt", "o6.txt", "ignored.txt"}, stdin_text), 0, ""); EXPECT_WRITTEN("o6.txt", from_file);
  EXPECT_RUN(kiv({"-", "o7.txt", "-"}, stdin_text), 0, ""); EXPECT_WRITTEN("o7.txt", from_stdin);

  // Ignored operands are never created.
  EXPECT_EQ(files(), Names({"in.txt", "o1.txt", "o2.txt", "o3.txt", "o4.txt", "o6.txt", "o7.txt"}));
}

TEST_F(Run, AnExistingTargetIsReplaced) {
  put("in.txt", "neu\n");
  put("out.txt", "ein viel laengerer alter Inhalt\n");
  EXPECT_RUN(kiv({"in.txt", "out.txt"}), 0, "");
  EXPECT_WRITTEN("out.txt", "neu\n");
}

TEST_F(Run, OptionsMayStandAnywhereAndRepeat) {
  put("in.txt", "say \"hi\"\n");
  const std::string wrapped = "printf(\"say \\\"hi\\\"\\n\\n\");\n\n";
  EXPECT_RUN(kiv({"-C", "-D", "in.txt", "o1.c"}), 0, ""); EXPECT_WRITTEN("o1.c", wrapped);
  EXPECT_RUN(kiv({"in.txt", "-D", "o2.c", "-C"}), 0, ""); EXPECT_WRITTEN("o2.c", wrapped);
  EXPECT_RUN(kiv({"-C", "in.txt", "-D", "-C", "o3.c", "-D"}), 0, ""); EXPECT_WRITTEN("o3.c", wrapped);
  EXPECT_RUN(kiv({"-D", "-E", "-C", "-A"}, "say \"hi\"\n"), 0, wrapped);
  EXPECT_RUN(kiv({"-A", "-D", "in.txt", "-C"}), 0, wrapped);
}

TEST_F(Run, ManyArgumentsWork) {
  put("in.txt", "a\tb\n");
  // 60 arguments: options and operands beyond the first two mixed.
  Names sixty = {"in.txt", "out60.txt"};
  for (int i = 0; sixty.size() < 60; ++i) {
    sixty.push_back(i % 2 == 0 ? "-t" : "extra" + std::to_string(i));
  }
  EXPECT_RUN(kiv(sixty), 0, "");
  EXPECT_WRITTEN("out60.txt", "a\\tb\n");

  // 500 arguments, the option that matters in the very last one.
  Names many = {"in.txt", "out500.txt"};
  while (many.size() < 499) many.push_back("x" + std::to_string(many.size()));
  many.push_back("-C");
  EXPECT_RUN(kiv(many), 0, "");
  EXPECT_WRITTEN("out500.txt", "a\\tb\\n\\n\n");

  // Many operands with standard streams: all ignored.
  Names piped = {"-E", "-A"};
  while (piped.size() < 500) piped.push_back("y" + std::to_string(piped.size()));
  EXPECT_RUN(kiv(piped, "p q\n"), 0, "p q\n");

  EXPECT_EQ(files(), Names({"in.txt", "out500.txt", "out60.txt"}));
}

TEST_F(Run, PipeVariantAlwaysReadsStdinAndWritesStdout) {
  put("a.txt", "Datei a\n");
  EXPECT_RUN(kivs({}, "a\nb\n"), 0, "ab\n");
  EXPECT_RUN(kivs({"-z"}, "a\nb"), 0, "a\\nb\\n\n");
  EXPECT_RUN(kivs({"-B", "-D"}, "x"), 0, "echo -e \"x\\n\"\n\n");
  EXPECT_RUN(kivs({"-E", "-A"}, "a\nb"), 0, "ab\n");
  EXPECT_RUN(kivs({"-", "-"}, "a\nb"), 0, "ab\n");
  // File-name operands are ignored: neither read nor created.
  EXPECT_RUN(kivs({"a.txt", "b.txt"}, "von stdin\n"), 0, "von stdin\n");
  EXPECT_RUN(kivs({"a.txt", "b.txt", "-z", "c.txt"}, "s\n"), 0, "s\\n\\n\n");
  EXPECT_EQ(files(), Names({"a.txt"}));
  EXPECT_BYTES(get("a.txt"), "Datei a\n");
}


// Between pipes: a pause right at the end of a read block (128 KiB, and
// two blocks) lets out what is converted, and pipes that do not block
// (as a parent may hand them over) convert exactly as blocking ones.
TEST_F(Run, PipesThatPauseAtABlocksEndOrDoNotBlock) {
  const std::string block(128 * 1024, 'a');
  for (const std::string& first : {block, block + block}) {
    Streams paused;
    paused.parts = {first, "b"};
    EXPECT_RUN(call(program_path("KivS"), {}, paused), 0, first + "b\n");
  }

  std::string text;
  for (int n = 0; text.size() < (1 << 20); ++n) {
    text += "Zeile " + std::to_string(n) + ": \"x\"\t<i>%</i> \\ \n";
  }
  Streams nonblocking;
  nonblocking.nonblocking = true;
  nonblocking.parts = {"eins\n", text, "zwei\n"};
  ProcessResult blocking = kivs({"-C", "-Du"}, "eins\n" + text + "zwei\n");
  EXPECT_EQ(blocking.exit_code, 0);
  ProcessResult piped = call(program_path("KivS"), {"-C", "-Du"}, nonblocking);
  EXPECT_EQ(piped.exit_code, 0);
  EXPECT_TRUE(piped.out == blocking.out)
      << piped.out.size() << " bytes, wanted " << blocking.out.size() << "; ends "
      << visible(piped.out.substr(piped.out.size() > 80 ? piped.out.size() - 80 : 0));
}

// A pipe filter writes what it has converted whenever its input pauses:
// here the writer goes on only once the first line has arrived. And the
// programs need little stack. Both through the shell of Linux (Wine's
// cmd has no such pipelines and limits).
TEST_F(Run, OutputStreamsAndNeedsLittleStack) {
  if (on_windows()) GTEST_SKIP() << "needs a POSIX shell";
  const std::string writer =
      "(printf 'a\\n'; for i in $(seq 100); do [ -s out ] && break; sleep 0.1; done; "
      "[ -s out ] && printf 'b\\n' || printf 'spaet\\n')";
  EXPECT_RUN(shell(writer + " | KivS -z > out; cat out"), 0, "a\\nb\\n\\n\n");
  EXPECT_RUN(shell(writer + " | Kiv - out -z; cat out"), 0, "a\\nb\\n\\n\n");

  put("ab.txt", "ab\n");
  put("keep", "alt\n");
  EXPECT_RUN(shell("ulimit -s 64; Kiv ab.txt keep -z && KivS -z < ab.txt"), 0, "ab\\n\\n\n");
  EXPECT_WRITTEN("keep", "ab\\n\\n\n");
}

}  // namespace
}  // namespace kiv
