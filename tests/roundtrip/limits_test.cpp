// What the presets cannot carry, shown with the real programs. Each test
// pins down the surprising output that docs/limits.md describes,
// next to a close text that does come through.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/roundtrip/client.h"
#include "tests/roundtrip/texts.h"

namespace kiv::roundtrip {
namespace {

// Converts `text` into file `target` in `dir` with these options; a
// refusal by Kiv fails the test.
void convert(const ScratchDir& dir, const std::string& text, const std::string& target,
             const std::vector<std::string>& options) {
  ProcessResult kiv = convert_file(dir.path(), "text.txt", text, target, options);
  ASSERT_EQ(kiv.exit_code, 0) << kiv.err;
}

bool contains(const std::string& haystack, const std::string& needle) {
  return haystack.find(needle) != std::string::npos;
}

// Converts with -C -Du, compiles with these flags and runs the program.
ProcessResult c_program(const ScratchDir& dir, const std::string& compiler,
                  const std::string& text, const std::vector<std::string>& flags,
                  std::string& compiler_messages) {
  convert(dir, text, "text.c", {"-C", "-Du"});
  std::vector<std::string> build = {compiler, "-Wall", "-Wextra"};
  build.insert(build.end(), flags.begin(), flags.end());
  build.insert(build.end(), {"-o", "text", "text.c"});
  ProcessResult compiled = run_program(build, dir.path());
  EXPECT_EQ(compiled.exit_code, 0) << compiled.err;
  compiler_messages = compiled.err;
  return run_program({"./text"}, dir.path());
}

TEST(CLimits, StrictIsoModesReadTrigraphs) {
  REQUIRE_CLIENT(gcc, "gcc", "gcc");
  ScratchDir dir;
  std::string messages;

  // -std=c11 turns "??!" into "|" inside the string.
  ProcessResult strict = c_program(dir, gcc, "Wie bitte?\?!\n", {"-std=c11"}, messages);
  EXPECT_EQ(strict.out, "Wie bitte|\n\n");
  EXPECT_TRUE(contains(messages, "trigraph ?\?! converted to |")) << messages;

  // gcc's default GNU mode leaves it alone, with a warning.
  ProcessResult gnu = c_program(dir, gcc, "Wie bitte?\?!\n", {}, messages);
  EXPECT_EQ(gnu.out, "Wie bitte?\?!\n\n");
  EXPECT_TRUE(contains(messages, "trigraph ?\?! ignored")) << messages;

  // Two question marks before anything else are no trigraph.
  ProcessResult plain = c_program(dir, gcc, "Wie bitte?? Echt?\n", {"-std=c11"}, messages);
  EXPECT_EQ(plain.out, "Wie bitte?? Echt?\n\n");
  EXPECT_EQ(messages, "");
}

TEST(CLimits, ANulByteEndsTheString) {
  REQUIRE_CLIENT(gcc, "gcc", "gcc");
  ScratchDir dir;
  std::string messages;
  ProcessResult ran = c_program(dir, gcc, std::string("vorher\0nachher\n", 15), {}, messages);
  EXPECT_EQ(ran.out, "vorher");
  EXPECT_TRUE(contains(messages, "null character(s) preserved in literal")) << messages;
}

TEST(CLimits, ClangWarnsAboutBytesThatAreNoUtf8ButCopiesThem) {
  REQUIRE_CLIENT(clang, "clang", "clang");
  ScratchDir dir;
  std::string messages;
  ProcessResult latin1 = c_program(dir, clang, "Gr\xfc\xdf" "e\n", {}, messages);
  EXPECT_EQ(latin1.out, "Gr\xfc\xdf" "e\n\n");
  EXPECT_TRUE(contains(messages, "-Winvalid-source-encoding")) << messages;

  ProcessResult utf8 = c_program(dir, clang, "Gr\xc3\xbc\xc3\x9f" "e\n", {}, messages);
  EXPECT_EQ(utf8.out, "Gr\xc3\xbc\xc3\x9f" "e\n\n");
  EXPECT_EQ(messages, "");
}

ProcessResult php_program(const ScratchDir& dir, const std::string& php, const std::string& text,
                    const std::vector<std::string>& options) {
  convert(dir, text, "text.php", options);
  return run_program({php, "-n", "-d", "display_errors=stderr", "-d", "error_reporting=-1",
                      "text.php"},
                     dir.path());
}

TEST(PhpLimits, DollarNamesAreReplacedByVariables) {
  REQUIRE_CLIENT(php, "php", "php-cli");
  ScratchDir dir;
  ProcessResult ran = php_program(dir, php, "Preis: $preis Euro, {$rabatt}\n", {"-P", "-Du"});
  EXPECT_EQ(ran.out, "Preis:  Euro, \n\n\n");
  EXPECT_TRUE(contains(ran.err, "Undefined variable $preis")) << ran.err;
  EXPECT_TRUE(contains(ran.err, "Undefined variable $rabatt")) << ran.err;

  // A dollar sign before a digit or a blank, and percent signs, stay.
  ran = php_program(dir, php, "5 $ oder $1 und 50%\n", {"-P", "-Du"});
  EXPECT_EQ(ran.out, "5 $ oder $1 und 50%\n\n\n");
  EXPECT_EQ(ran.err, "");
}

// The run's own last line feed stands after "?>", where PHP copies it.
TEST(PhpLimits, TheFramePrintsOneMoreLineFeed) {
  REQUIRE_CLIENT(php, "php", "php-cli");
  ScratchDir dir;
  EXPECT_EQ(php_program(dir, php, "x", {"-P", "-Du"}).out, "x\n\n");

  convert(dir, "x", "command.txt", {"-P", "-D"});
  write_file(dir.file("command.php"), "<?php\n" + read_file(dir.file("command.txt")));
  EXPECT_EQ(run_program({php, "-n", "command.php"}, dir.path()).out, "x\n");
}

TEST(JavaScriptLimits, Latin1BytesBecomeReplacementCharacters) {
  REQUIRE_CLIENT(node, "node", "nodejs");
  ScratchDir dir;
  const std::string stand_in =
      "const document = { write(text) { process.stdout.write(text); } };\n";
  convert(dir, "Gr\xfc\xdf" "e\n", "latin1.js", {"-J", "-D"});
  write_file(dir.file("latin1.js"), stand_in + read_file(dir.file("latin1.js")));
  EXPECT_EQ(run_program({node, "latin1.js"}, dir.path()).out,
            "Gr\xef\xbf\xbd\xef\xbf\xbd" "e\n\n");

  // The same text in UTF-8 comes through.
  convert(dir, "Gr\xc3\xbc\xc3\x9f" "e\n", "utf8.js", {"-J", "-D"});
  write_file(dir.file("utf8.js"), stand_in + read_file(dir.file("utf8.js")));
  EXPECT_EQ(run_program({node, "utf8.js"}, dir.path()).out, "Gr\xc3\xbc\xc3\x9f" "e\n\n");
}

ProcessResult bash_script(const ScratchDir& dir, const std::string& bash, const std::string& text) {
  convert(dir, text, "text.sh", {"-B", "-Du"});
  return run_program({bash, "text.sh"}, dir.path());
}

TEST(BashLimits, DollarsAndBackticksAreExpanded) {
  REQUIRE_CLIENT(bash, "bash", "bash");
  ScratchDir dir;
  ProcessResult ran = bash_script(dir, bash, "Preis: 5$ oder $1 pro Stueck, im Ordner `pwd`\n");
  EXPECT_EQ(ran.out, "Preis: 5$ oder  pro Stueck, im Ordner " + dir.path() + "\n\n\n");
}

TEST(BashLimits, EchoReadsBackslashesOnceMore) {
  REQUIRE_CLIENT(bash, "bash", "bash");
  ScratchDir dir;
  // \t and \n of the text become a tab and a line feed.
  EXPECT_EQ(bash_script(dir, bash, "C:\\temp\\neu\n").out, "C:\temp\neu\n\n\n");
  // \c ends the output, without a line feed.
  EXPECT_EQ(bash_script(dir, bash, "Ende\\c danach\n").out, "Ende");
}

TEST(BashLimits, NulBytesRejectTheScriptOrVanish) {
  REQUIRE_CLIENT(bash, "bash", "bash");
  ScratchDir dir;
  // bash refuses a script with a NUL in its first 80 bytes, on whichever
  // line; the -Du frame's first 21 bytes leave the first 59 of the text.
  for (const std::string& text : {std::string("eins\nzwei a\0b\n", 14),
                                  std::string(58, 'x') + std::string("\0b\n", 3)}) {
    ProcessResult early = bash_script(dir, bash, text);
    EXPECT_EQ(early.exit_code, 126) << text.size();
    EXPECT_EQ(early.out, "");
    EXPECT_TRUE(contains(early.err, "cannot execute binary file")) << early.err;
  }

  std::string line(59, 'x');
  ProcessResult late = bash_script(dir, bash, line + std::string("\0b\n", 3));
  EXPECT_EQ(late.exit_code, 0);
  EXPECT_EQ(late.out, line + "b\n\n\n");
}

ProcessResult sed_script(const ScratchDir& dir, const std::string& sed, const std::string& text,
                   const std::vector<std::string>& options, const std::string& line,
                   const std::vector<std::string>& sed_options = {}) {
  convert(dir, text, "text.sed", options);
  std::vector<std::string> argv = {sed};
  argv.insert(argv.end(), sed_options.begin(), sed_options.end());
  argv.insert(argv.end(), {"-f", "text.sed"});
  return run_program(argv, dir.path(), line);
}

TEST(SedLimits, NumberSignsNeedNoEscapeAndOnlyThePlaceholderIsReplaced) {
  REQUIRE_CLIENT(sed, "sed", "sed");
  ScratchDir dir;
  // -S leaves # as it is; in the replacement it is an ordinary character,
  // and -kr's \# means # as well.
  const std::string text = "Nr. #1, #Suchwort & 50%\n";
  const std::string wanted = "vor Nr. #1, #Suchwort & 50%\n\n nach\n";
  EXPECT_EQ(sed_script(dir, sed, text, {"-S", "-Du"}, "vor #Suchwort nach\n").out, wanted);
  EXPECT_EQ(sed_script(dir, sed, text, {"-S", "-kr", "-Du"}, "vor #Suchwort nach\n").out,
            wanted);

  // The command has no g flag: a second placeholder in a line stays.
  EXPECT_EQ(sed_script(dir, sed, "x", {"-S", "-Du"}, "#Suchwort #Suchwort\n").out,
            "x\n #Suchwort\n");
}

// Every line break becomes \n in the replacement, which GNU sed (also
// with --posix) and BusyBox's sed turn into a line feed; a sed that keeps
// strictly to POSIX prints "n" there.
TEST(SedLimits, LineBreaksRelyOnTheBackslashNExtension) {
  REQUIRE_CLIENT(sed, "sed", "sed");
  ScratchDir dir;
  ProcessResult ran = sed_script(dir, sed, "eins\nzwei\tdrei", {"-S", "-Du"}, "#Suchwort\n",
                           {"--posix"});
  EXPECT_EQ(read_file(dir.file("text.sed")),
            "#!/bin/sed -f\ns/#Suchwort/eins\\nzwei\\tdrei\\n/\n\n");
  EXPECT_EQ(ran.out, "eins\nzwei\tdrei\n\n");
}

}  // namespace
}  // namespace kiv::roundtrip
