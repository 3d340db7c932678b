#include "texts/help.h"

#include <gtest/gtest.h>

#include "tests/capture.h"

namespace kiv {
namespace {

TEST(Help, BannerVersionAndSyntaxLine) {
  std::string help =
      capture([](std::FILE* f) { show_help(f, "/opt/my tools/Kiv%s"); });
  EXPECT_EQ(help.rfind("\n ************************\n"
                       " ***       Kiv        ***\n",
                       0),
            0u);
  std::size_t notice = help.find(" ***       Kiv        ***\n") + 26;
  EXPECT_EQ(help.substr(notice, 5), " *** ");
  EXPECT_EQ(help.substr(notice + 21, 5), " ***\n");
  EXPECT_NE(help.find(" ************************\n\n Version 5.1, 20.08.2020\n\n"
                      " Loescht Zeilenumbruchzeichen.\n\n"
                      " Syntax: /opt/my tools/Kiv%s [<Quelldatei>] "
                      "[<Zieldatei>] [Optionen]\n\n"
                      " Optionen (durch Leerzeichen getrennt):\n"),
            std::string::npos);
}

TEST(Help, OptionListShowsSinglePercentSigns) {
  std::string help = capture([](std::FILE* f) { show_help(f, "Kiv"); });
  EXPECT_NE(help.find("\n  -%\tProzentzeichen (%) werden mit einem % maskiert "
                      "(%%).\n"),
            std::string::npos);
  EXPECT_NE(help.find("\n  -C\tEntspricht -z -a -r -t -% -h (fuer C-Syntax).\n"),
            std::string::npos);
  EXPECT_NE(help.find("  -z\tZeilenumbruchzeichen werden durch die "
                      "Zeichenfolge \\n ersetzt.\n"),
            std::string::npos);
  const std::string last =
      "  -A\tSchreibt in die Standardausgabe. Stattdessen kann auch - als "
      "Dateiname fuer die Ausgabedatei verwendet werden.\n";
  EXPECT_EQ(help.substr(help.size() - last.size()), last);
}

TEST(Help, UsageErrorNamesTheProgramTwice) {
  std::string usage =
      capture([](std::FILE* f) { show_usage_error(f, "./bin/Kiv"); });
  EXPECT_EQ(usage,
            "\n Syntax: ./bin/Kiv [<Quelldatei>] [<Zieldatei>] [Optionen]\n\n"
            " Bitte geben Sie\n"
            " - Quell- UND Zieldatei an, wenn Sie keine der Optionen -E oder "
            "-A verwenden,\n"
            " - eine Quelldatei an, wenn Sie die Option -A verwenden,\n"
            " - eine Zieldatei an, wenn Sie die Option -E verwenden,\n"
            " - oder benutzen Sie -E und -A: Dann liest ./bin/Kiv von der "
            "Standardeingabe\n"
            "   und schreibt in die Standardausgabe.\n"
            " Dateinamen duerfen nicht mit \"-\" beginnen.\n");
}

}  // namespace
}  // namespace kiv
