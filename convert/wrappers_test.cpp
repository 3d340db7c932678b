#include "convert/wrappers.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/capture.h"
#include "tests/parse.h"

namespace kiv {
namespace {

std::string openers(std::vector<const char*> args) {
  Options options = parse(args);
  return capture([&](std::FILE* f) { write_openers(f, options); });
}

std::string closers(std::vector<const char*> args) {
  Options options = parse(args);
  return capture([&](std::FILE* f) { write_closers(f, options); });
}

TEST(Wrappers, PrintCommandsOfEachSyntax) {
  EXPECT_EQ(openers({"-C", "-D"}), "printf(\"");
  EXPECT_EQ(closers({"-C", "-D"}), "\");\n");
  EXPECT_EQ(openers({"-P", "-D"}), "print(\"");
  EXPECT_EQ(openers({"-J", "-D"}), "document.write(\"");
  EXPECT_EQ(openers({"-B", "-D"}), "echo -e \"");
  EXPECT_EQ(closers({"-B", "-D"}), "\"\n");
  EXPECT_EQ(openers({"-S", "-D"}), "s/#Suchwort/");
  EXPECT_EQ(closers({"-S", "-D"}), "/\n");
}

TEST(Wrappers, FramesSurroundTheCommand) {
  EXPECT_EQ(openers({"-C", "-Du"}),
            "#include <stdio.h>\n\nint main()\n{\nprintf(\"");
  EXPECT_EQ(closers({"-C", "-Du"}), "\");\n} // main()\n");
  EXPECT_EQ(openers({"-P", "-Du"}), "<?php\nprint(\"");
  EXPECT_EQ(closers({"-P", "-Du"}), "\");\n?>\n");
  EXPECT_EQ(openers({"-J", "-Du"}),
            "<script type=\"text/javascript\">\n<!--\ndocument.write(\"");
  EXPECT_EQ(closers({"-J", "-Du"}), "\");\n//-->\n</script>\n");
  EXPECT_EQ(openers({"-B", "-Du"}), "#!/bin/bash\necho -e \"");
  EXPECT_EQ(closers({"-B", "-Du"}), "\"\n");
  EXPECT_EQ(openers({"-S", "-Du"}), "#!/bin/sed -f\ns/#Suchwort/");
  EXPECT_EQ(closers({"-S", "-Du"}), "/\n");
}

TEST(Wrappers, NothingWithoutSyntaxOrWithoutD) {
  EXPECT_EQ(openers({"-D"}), "");
  EXPECT_EQ(closers({"-Du"}), "");
  EXPECT_EQ(openers({"-C", "-J"}), "");
  EXPECT_EQ(closers({"-C", "-J", "-S"}), "");
}

TEST(Wrappers, SeveralSyntaxesNestInFixedOrderAndWarn) {
  EXPECT_EQ(openers({"-S", "-B", "-J", "-P", "-C", "-Du"}),
            "#include <stdio.h>\n\nint main()\n{\n"
            "<?php\n"
            "<script type=\"text/javascript\">\n<!--\n"
            "#!/bin/bash\n"
            "#!/bin/sed -f\n"
            "printf(\"print(\"document.write(\"echo -e \"s/#Suchwort/");

  // sed's closer, the shared C-family closer once, Bash's; frames inside out.
  std::string all = closers({"-C", "-P", "-J", "-B", "-S", "-Du"});
  const std::string pieces =
      "/\n\");\n\"\n//-->\n</script>\n?>\n} // main()\n";
  ASSERT_EQ(all.compare(0, pieces.size(), pieces), 0) << all;
  std::string warning = all.substr(pieces.size());
  EXPECT_EQ(warning.rfind("\nBitte nur eine der Optionen", 0), 0u);
  EXPECT_NE(warning.find("\ttype Quelltext | KivS -J -Du | KivS -C -Du > "
                         "C-Text.c\n"),
            std::string::npos);
  EXPECT_EQ(warning.find("%s"), std::string::npos);

  std::string c_and_j = closers({"-C", "-J", "-D"});
  EXPECT_EQ(c_and_j.rfind("\");\n\nBitte nur", 0), 0u) << c_and_j;
  EXPECT_EQ(closers({"-C", "-D"}).find("Bitte"), std::string::npos);
}

}  // namespace
}  // namespace kiv
