// Round trips through the real programs: each preset's output is compiled
// or interpreted by the program it is meant for, and what that program
// prints must be the text, changed only as the line-break rules say.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <iostream>
#include <string>
#include <vector>

#include "tests/roundtrip/batch.h"
#include "tests/roundtrip/chain.h"
#include "tests/roundtrip/client.h"
#include "tests/roundtrip/texts.h"

namespace kiv::roundtrip {
namespace {

constexpr int kRandomTexts = 300;

// Converts one case of a batch with Kiv; a refusal fails the test.
std::string convert_case(const ScratchDir& dir, const Text& text,
                         const std::string& target,
                         const std::vector<std::string>& options) {
  ProcessResult kiv = convert_file(dir.path(), target + ".txt", text.bytes, target, options);
  EXPECT_EQ(kiv.exit_code, 0) << text.name << ": " << kiv.err;
  return kiv.out;
}

std::vector<Text> all_texts(Carries carries, std::uint32_t seed, bool utf8 = false) {
  std::vector<Text> texts = realistic_texts_for(carries);
  std::vector<Text> random = random_texts(seed, kRandomTexts, carries, utf8);
  texts.insert(texts.end(), random.begin(), random.end());
  return texts;
}

void report_count(const std::string& what, std::size_t realistic, std::size_t total) {
  std::cout << "[ round trip ] " << what << ": " << total << " texts (" << realistic
            << " realistic, " << total - realistic << " random)\n";
}

void make_executable(const std::string& path) { chmod(path.c_str(), 0755); }

::testing::AssertionResult ran_cleanly(const ProcessResult& run) {
  if (run.exit_code == 0 && run.err.empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "exit code " << run.exit_code << ", messages:\n" << run.err;
}

// C: every text as its own -C -Du program (compiled with all warnings,
// none allowed), and the random ones together in one program.
void check_c_compiler(const std::string& compiler,
                      const std::vector<std::string>& extra_flags) {
  ScratchDir dir;
  std::vector<std::string> flags = {"-Wall", "-Wextra"};
  flags.insert(flags.end(), extra_flags.begin(), extra_flags.end());

  std::vector<Text> realistic = realistic_texts_for(c_carries);
  for (std::size_t i = 0; i < realistic.size(); ++i) {
    const Text& text = realistic[i];
    std::string source = "alone_" + std::to_string(i) + ".c";
    std::string program = "./alone_" + std::to_string(i);
    std::string converted = convert_case(dir, text, source, {"-C", "-Du"});
    std::vector<std::string> build = {compiler};
    build.insert(build.end(), flags.begin(), flags.end());
    build.insert(build.end(), {"-o", program, source});
    ProcessResult compiled = run_program(build, dir.path());
    ASSERT_TRUE(ran_cleanly(compiled)) << text.name << ":\n" << visible(converted);
    ProcessResult ran = run_program({program}, dir.path());
    EXPECT_EQ(ran.exit_code, 0) << text.name;
    EXPECT_EQ(ran.out, printed_text(text.bytes))
        << text.name << "\nprinted:\n" << visible(ran.out);
  }

  // Inside the batch each program's main() becomes an ordinary function,
  // which lacks main()'s implicit return 0.
  std::string batch =
      "#include <stdio.h>\n#pragma GCC diagnostic ignored \"-Wreturn-type\"\n";
  std::string calls;
  Expectation expected;
  std::vector<Text> texts = all_texts(c_carries, 1);
  for (const Text& text : texts) {
    std::string name = "case_" + std::to_string(expected.size());
    std::string converted = convert_case(dir, text, name + ".c", {"-C", "-Du"});
    batch += "#define main " + name + "\n#include \"" + name + ".c\"\n#undef main\n";
    calls += c_marker_call(expected.size()) + "  " + name + "();\n";
    expected.add(text, converted, printed_text(text.bytes));
  }
  batch += "int main(void) {\n" + calls + "  return 0;\n}\n";
  write_file(dir.file("batch.c"), batch);
  std::vector<std::string> build = {compiler};
  build.insert(build.end(), flags.begin(), flags.end());
  build.insert(build.end(), {"-o", "batch", "batch.c"});
  ASSERT_TRUE(ran_cleanly(run_program(build, dir.path())));
  ProcessResult ran = run_program({"./batch"}, dir.path());
  EXPECT_EQ(ran.exit_code, 0);
  EXPECT_TRUE(expected.matches(ran.out));
  report_count("C with " + compiler, realistic.size(), texts.size());
}

TEST(C, GccPrintsEveryText) {
  REQUIRE_CLIENT(gcc, "gcc", "gcc");
  check_c_compiler(gcc, {});
}

// clang warns about bytes that are no UTF-8 (see limits_test.cpp) but
// copies them; the warning is the only one let through.
TEST(C, ClangPrintsEveryText) {
  REQUIRE_CLIENT(clang, "clang", "clang");
  check_c_compiler(clang, {"-Wno-invalid-source-encoding"});
}

// PHP: the -P -Du programs of all texts, one after the other, in one run.
// Each prints one line feed more than its text: the run's own last line
// feed stands after "?>" and is copied as it is.
TEST(Php, PrintsEveryText) {
  REQUIRE_CLIENT(php, "php", "php-cli");
  ScratchDir dir;
  std::vector<Text> texts = all_texts(php_carries, 2);
  std::string script;
  Expectation expected;
  for (const Text& text : texts) {
    std::string converted = convert_case(dir, text, "case.php", {"-P", "-Du"});
    script += case_marker(expected.size()) + converted;
    expected.add(text, converted, printed_text(text.bytes) + "\n");
  }
  write_file(dir.file("batch.php"), script);
  ProcessResult ran = run_program({php, "-n", "-d", "display_errors=stderr", "-d",
                             "error_reporting=-1", "batch.php"},
                            dir.path());
  EXPECT_TRUE(ran_cleanly(ran));
  EXPECT_TRUE(expected.matches(ran.out));
  report_count("PHP", realistic_texts_for(php_carries).size(), texts.size());
}

// What a page's document.write() becomes in node: bytes on standard output.
constexpr char kDocumentStandIn[] =
    "const document = { write(text) { process.stdout.write(text); } };\n"
    "function mark(n) { process.stdout.write('\\n@@ case ' + n + ' @@\\n'); }\n";

// The script of a -J -Du page. The page must be the script element and
// nothing else but line feeds after it, and no "</script" may end the
// element early.
::testing::AssertionResult page_script(const std::string& page, std::string& script) {
  const std::string opener = "<script type=\"text/javascript\">\n";
  const std::string closer = "</script>\n";
  std::size_t end = page.find_last_not_of('\n');
  if (page.compare(0, opener.size(), opener) != 0 || end == std::string::npos ||
      end + 2 < closer.size() ||
      page.compare(end + 2 - closer.size(), closer.size(), closer) != 0) {
    return ::testing::AssertionFailure() << "not a script element:\n" << visible(page);
  }
  script = page.substr(opener.size(), end + 2 - closer.size() - opener.size());
  std::string lower = script;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (script.compare(0, 5, "<!--\n") != 0 ||
      script.size() < 6 || script.compare(script.size() - 6, 6, "//-->\n") != 0 ||
      lower.find("</script") != std::string::npos) {
    return ::testing::AssertionFailure() << "script not hidden as a comment, or "
                                            "closed early:\n" << visible(script);
  }
  return ::testing::AssertionSuccess();
}

// JavaScript: the -J -D commands of all texts in one node run; the -J -Du
// pages of the realistic texts checked for shape and their scripts run.
TEST(JavaScript, NodePrintsEveryText) {
  REQUIRE_CLIENT(node, "node", "nodejs");
  ScratchDir dir;
  std::vector<Text> texts = all_texts(javascript_carries, 3, true);
  std::string script = kDocumentStandIn;
  Expectation expected;
  for (const Text& text : texts) {
    std::string converted = convert_case(dir, text, "case.js", {"-J", "-D"});
    script += "mark(" + std::to_string(expected.size()) + ");\n" + converted;
    expected.add(text, converted, printed_text(text.bytes));
  }
  write_file(dir.file("commands.js"), script);
  ProcessResult ran = run_program({node, "commands.js"}, dir.path());
  EXPECT_TRUE(ran_cleanly(ran));
  EXPECT_TRUE(expected.matches(ran.out));

  std::vector<Text> realistic = realistic_texts_for(javascript_carries);
  std::string pages = kDocumentStandIn;
  Expectation expected_pages;
  for (const Text& text : realistic) {
    std::string page = convert_case(dir, text, "page.html", {"-J", "-Du"});
    std::string body;
    ASSERT_TRUE(page_script(page, body)) << text.name;
    pages += "mark(" + std::to_string(expected_pages.size()) + ");\n" + body;
    expected_pages.add(text, page, printed_text(text.bytes));
  }
  write_file(dir.file("pages.js"), pages);
  ran = run_program({node, "pages.js"}, dir.path());
  EXPECT_TRUE(ran_cleanly(ran));
  EXPECT_TRUE(expected_pages.matches(ran.out));
  report_count("JavaScript with node", realistic.size(), texts.size());
}

// Bash: the -B -Du scripts of all texts in one bash run (echo adds its own
// line feed), and each realistic one started through its #! line.
TEST(Bash, PrintsEveryText) {
  REQUIRE_CLIENT(bash, "bash", "bash");
  ScratchDir dir;
  std::vector<Text> texts = all_texts(bash_carries, 4);
  std::string script;
  Expectation expected;
  for (const Text& text : texts) {
    std::string converted = convert_case(dir, text, "case.sh", {"-B", "-Du"});
    script += "printf '\\n@@ case %d @@\\n' " + std::to_string(expected.size()) +
              "\n" + converted;
    expected.add(text, converted, printed_text(text.bytes) + "\n");
  }
  write_file(dir.file("batch.sh"), script);
  ProcessResult ran = run_program({bash, "batch.sh"}, dir.path());
  EXPECT_TRUE(ran_cleanly(ran));
  EXPECT_TRUE(expected.matches(ran.out));

  std::vector<Text> realistic = realistic_texts_for(bash_carries);
  for (const Text& text : realistic) {
    convert_case(dir, text, "alone.sh", {"-B", "-Du"});
    make_executable(dir.file("alone.sh"));
    ProcessResult alone = run_program({"./alone.sh"}, dir.path());
    EXPECT_TRUE(ran_cleanly(alone)) << text.name;
    EXPECT_EQ(alone.out, printed_text(text.bytes) + "\n") << text.name;
  }
  report_count("Bash", realistic.size(), texts.size());
}

// sed: each -S -Du script replaces the placeholder in an input line, in
// the C locale and in a UTF-8 locale; the realistic scripts are also
// started through their #! line.
TEST(Sed, ReplacesThePlaceholderWithEveryText) {
  REQUIRE_CLIENT(sed, "sed", "sed");
  ScratchDir dir;
  const std::string line = "vor #Suchwort nach\n";
  std::vector<Text> texts = all_texts(sed_carries, 5);
  std::size_t realistic = realistic_texts_for(sed_carries).size();
  int failures = 0;
  for (std::size_t i = 0; i < texts.size() && failures < 5; ++i) {
    const Text& text = texts[i];
    std::string script = convert_case(dir, text, "case.sed", {"-S", "-Du"});
    std::string wanted = "vor " + printed_text(text.bytes) + " nach\n";
    for (const char* locale : {"LC_ALL=C", "LC_ALL=C.UTF-8"}) {
      ProcessResult ran = run_program({"env", locale, sed, "-f", "case.sed"}, dir.path(), line);
      if (!ran_cleanly(ran) || ran.out != wanted) {
        ++failures;
        ADD_FAILURE() << text.name << " (" << locale << ")\ntext:\n" << visible(text.bytes)
                      << "\nscript:\n" << visible(script) << "\nwanted:\n"
                      << visible(wanted) << "\nprinted:\n" << visible(ran.out)
                      << "\nmessages: " << ran.err;
      }
    }
    if (i < realistic) {
      make_executable(dir.file("case.sed"));
      ProcessResult alone = run_program({"./case.sed"}, dir.path(), line);
      EXPECT_TRUE(ran_cleanly(alone)) << text.name;
      EXPECT_EQ(alone.out, wanted) << text.name;
    }
  }
  report_count("sed", realistic, texts.size());
}

bool chain_carries(std::string_view text) {
  return javascript_carries(text) && c_carries(text);
}

// The chain of the warning text: a text becomes a JavaScript page (-J -Du),
// the page becomes a C program (-C -Du). The compiled program must print
// the page, and the page's script, run, the text.
TEST(Chain, CProgramPrintsThePageThatPrintsTheText) {
  REQUIRE_CLIENT(gcc, "gcc", "gcc");
  REQUIRE_CLIENT(node, "node", "nodejs");
  ScratchDir dir;
  std::vector<Text> texts = realistic_texts_for(chain_carries);
  std::size_t realistic = texts.size();
  std::vector<Text> random = random_texts(6, 100, chain_carries, true);
  texts.insert(texts.end(), random.begin(), random.end());

  std::vector<std::string> pages;
  ASSERT_TRUE(print_chain_pages(dir, gcc, texts, pages));

  std::string scripts = kDocumentStandIn;
  Expectation expected;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    const std::string& page = pages[i];
    std::string body;
    ASSERT_TRUE(page_script(page, body)) << texts[i].name;
    scripts += "mark(" + std::to_string(i) + ");\n" + body;
    expected.add(texts[i], page, printed_text(texts[i].bytes));
  }
  write_file(dir.file("chain.js"), scripts);
  ProcessResult ran = run_program({node, "chain.js"}, dir.path());
  EXPECT_TRUE(ran_cleanly(ran));
  EXPECT_TRUE(expected.matches(ran.out));
  report_count("chain JavaScript in C (gcc, node)", realistic, texts.size());
}

}  // namespace
}  // namespace kiv::roundtrip
