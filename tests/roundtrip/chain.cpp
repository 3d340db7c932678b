#include "tests/roundtrip/chain.h"

#include "tests/roundtrip/batch.h"

namespace kiv::roundtrip {

std::string c_marker_call(std::size_t index) {
  return "  printf(\"\\n@@ case %d @@\\n\", " + std::to_string(index) + ");\n";
}

::testing::AssertionResult print_chain_pages(const ScratchDir& dir, const std::string& gcc,
                                             const std::vector<Text>& texts,
                                             std::vector<std::string>& pages) {
  // Inside the batch each program's main() becomes an ordinary function,
  // which lacks main()'s implicit return 0.
  std::string batch =
      "#include <stdio.h>\n#pragma GCC diagnostic ignored \"-Wreturn-type\"\n";
  std::string calls;
  Expectation expected;
  for (const Text& text : texts) {
    std::string name = "case_" + std::to_string(expected.size());
    ProcessResult page = convert_file(dir.path(), name + ".txt", text.bytes, name + ".html",
                                {"-J", "-Du"});
    ProcessResult c = convert_file(dir.path(), name + ".html", page.out, name + ".c",
                             {"-C", "-Du"});
    if (page.exit_code != 0 || c.exit_code != 0) {
      return ::testing::AssertionFailure() << text.name << ": " << page.err << c.err;
    }
    batch += "#define main " + name + "\n#include \"" + name + ".c\"\n#undef main\n";
    calls += c_marker_call(expected.size()) + "  " + name + "();\n";
    expected.add(text, c.out, printed_text(page.out));
  }
  batch += "int main(void) {\n" + calls + "  return 0;\n}\n";
  write_file(dir.file("chain.c"), batch);
  ProcessResult compiled = run_program({gcc, "-Wall", "-Wextra", "-o", "chain", "chain.c"},
                                 dir.path());
  if (compiled.exit_code != 0 || !compiled.err.empty()) {
    return ::testing::AssertionFailure() << "gcc: " << compiled.err;
  }
  ProcessResult ran = run_program({"./chain"}, dir.path());
  if (ran.exit_code != 0) {
    return ::testing::AssertionFailure() << "exit code " << ran.exit_code;
  }
  ::testing::AssertionResult printed = expected.matches(ran.out);
  if (!printed) return printed;
  pages.clear();
  for (std::size_t i = 0; i < texts.size(); ++i) pages.push_back(expected.piece(ran.out, i));
  return ::testing::AssertionSuccess();
}

}  // namespace kiv::roundtrip
