// End-to-end tests: print commands, program frames, the warning and its
// chained example.

#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/run.h"
#include "tests/e2e/texts.h"

namespace kiv {
namespace {

TEST_F(Run, EachSyntaxWritesItsPieces) {
  put("in.txt", "a\"b/c\n");
  struct Case {
    const char* option;
    const char* command;  // with -D
    const char* program;  // with -Du
  };
  const Case cases[] = {
      {"-C", R"(printf("a\"b/c\n\n");)" "\n\n",
       "#include <stdio.h>\n\nint main()\n{\n" R"(printf("a\"b/c\n\n");)" "\n} // main()\n\n"},
      {"-P", R"(print("a\"b/c\n\n");)" "\n\n",
       "<?php\n" R"(print("a\"b/c\n\n");)" "\n?>\n\n"},
      {"-J", R"(document.write("a\"b\/c\n\n");)" "\n\n",
       "<script type=\"text/javascript\">\n<!--\n" R"(document.write("a\"b\/c\n\n");)"
       "\n//-->\n</script>\n\n"},
      {"-B", R"(echo -e "a\"b/c\n\n")" "\n\n",
       "#!/bin/bash\n" R"(echo -e "a\"b/c\n\n")" "\n\n"},
      {"-S", R"(s/#Suchwort/a\"b\/c\n\n/)" "\n\n",
       "#!/bin/sed -f\n" R"(s/#Suchwort/a\"b\/c\n\n/)" "\n\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.option);
    EXPECT_RUN(kiv({"in.txt", "-", c.option, "-D"}), 0, c.command);
    EXPECT_RUN(kiv({"in.txt", "-", c.option, "-Du"}), 0, c.program);
    EXPECT_RUN(kiv({"in.txt", "-", c.option, "-D", "-Du"}), 0, c.program);
    EXPECT_RUN(kiv({"in.txt", "out.txt", c.option, "-Du"}), 0, "");
    EXPECT_WRITTEN("out.txt", c.program);
  }
}

TEST_F(Run, SeveralSyntaxesNestAndAppendTheWarning) {
  EXPECT_RUN(kivs({"-C", "-J", "-D"}, "x"), 0,
             "printf(\"document.write(\"x\\n\");\n" + kWarning + "\n");
  EXPECT_RUN(kivs({"-J", "-C", "-D"}, "x"), 0,
             "printf(\"document.write(\"x\\n\");\n" + kWarning + "\n");
  EXPECT_RUN(kivs({"-B", "-S", "-D"}, "x"), 0,
             "echo -e \"s/#Suchwort/x\\n/\n\"\n" + kWarning + "\n");
  EXPECT_RUN(kivs({"-S", "-B", "-P", "-Du"}, "x"), 0,
             "<?php\n#!/bin/bash\n#!/bin/sed -f\nprint(\"echo -e \"s/#Suchwort/x\\n/\n\");\n\"\n?>\n" +
                 kWarning + "\n");
  EXPECT_RUN(kivs({"-C", "-P", "-J", "-B", "-S", "-Du"}, "x"), 0,
             "#include <stdio.h>\n\nint main()\n{\n"
             "<?php\n"
             "<script type=\"text/javascript\">\n<!--\n"
             "#!/bin/bash\n"
             "#!/bin/sed -f\n"
             "printf(\"print(\"document.write(\"echo -e \"s/#Suchwort/"
             "x\\n"
             "/\n"
             "\");\n"
             "\"\n"
             "//-->\n</script>\n"
             "?>\n"
             "} // main()\n" +
                 kWarning + "\n");

  // Into a file: the warning is part of the file, the console stays empty.
  put("in.txt", "x");
  EXPECT_RUN(kiv({"in.txt", "out.txt", "-P", "-J", "-D"}), 0, "");
  EXPECT_WRITTEN("out.txt", "print(\"document.write(\"x\\n\");\n" + kWarning + "\n");
}

TEST_F(Run, PiecesNeedASyntaxAndAPrintOption) {
  EXPECT_RUN(kivs({"-C", "-J"}, "x"), 0, "x\\n\n");
  EXPECT_RUN(kivs({"-C", "-P", "-J", "-B", "-S"}, "x"), 0, "x\\n\n");
  EXPECT_RUN(kivs({"-D"}, "x\n"), 0, "x\n");
  EXPECT_RUN(kivs({"-Du"}, "x\n"), 0, "x\n");
  EXPECT_RUN(kivs({"-D", "-Du", "-z"}, "x\n"), 0, "x\\n\\n\n");
}

TEST_F(Run, ChainedExampleOfTheWarningHolds) {
  put("Quelltext", "Dies ist ein Quelltext.\n");
  const std::string print = print_file_command();
  const std::string chains[] = {
      "Kiv Quelltext Javatext.js -J -Du && Kiv Javatext.js C-Text.c -C -Du",
      "Kiv Quelltext -J -Du -A | Kiv C-Text.c -C -Du -E",
      "Kiv Quelltext - -J -Du | Kiv - C-Text.c -C -Du",
      print + " Quelltext | Kiv -J -Du -E -A | Kiv C-Text.c -C -Du -E",
      print + " Quelltext | Kiv - - -J -Du | Kiv - C-Text.c -C -Du",
      print + " Quelltext | KivS -J -Du | KivS -C -Du > C-Text.c",
  };
  for (const std::string& chain : chains) {
    SCOPED_TRACE(chain);
    drop("C-Text.c");
    EXPECT_RUN(shell(chain), 0, "");
    EXPECT_WRITTEN("C-Text.c", kChainResult + "\n");
  }
  EXPECT_WRITTEN("Javatext.js", kChainJavaScript);
  EXPECT_RUN(kiv({"Quelltext", "-", "-J", "-Du"}), 0, kChainJavaScript);
  EXPECT_RUN(shell("KivS -J -Du < Quelltext | KivS -C -Du"), 0, kChainResult + "\n");
  EXPECT_BYTES(get("Quelltext"), "Dies ist ein Quelltext.\n");
}

}  // namespace
}  // namespace kiv
