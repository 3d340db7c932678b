// End-to-end tests: the filter's rules through the built programs: line
// breaks, carriage returns, every byte value, large inputs.

#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/run.h"
#include "tests/e2e/texts.h"

namespace kiv {
namespace {

TEST_F(Run, FilterRulesHoldEndToEnd) {
  EXPECT_RUN(kivs({}, ""), 0, "\n");
  EXPECT_RUN(kivs({"-z"}, ""), 0, "\\n\n");
  EXPECT_RUN(kivs({"-z"}, "ab\n"), 0, "ab\\n\\n\n");
  EXPECT_RUN(kivs({"-z"}, "a "), 0, "a \\n\n");
  EXPECT_RUN(kivs({}, "no line feed"), 0, "no line feed\n");

  // Blanks before a line break.
  EXPECT_RUN(kivs({}, "a  \nb"), 0, "a b\n");
  EXPECT_RUN(kivs({"-l"}, "a  \nb"), 0, "a  b\n");
  EXPECT_RUN(kivs({}, "end \n"), 0, "end\n");

  // After a closing angle bracket.
  EXPECT_RUN(kivs({}, "<p>\nx"), 0, "<p>\nx\n");
  EXPECT_RUN(kivs({"-h"}, "<p>\nx"), 0, "<p>x\n");
  EXPECT_RUN(kivs({"-z"}, "<p>\nx"), 0, "<p>\\nx\\n\n");
  EXPECT_RUN(kivs({}, "<b>   Text"), 0, "<b>Text\n");
  EXPECT_RUN(kivs({"-l"}, "<b>   Text"), 0, "<b>   Text\n");
  EXPECT_RUN(kivs({"-h"}, "<b>   Text"), 0, "<b>   Text\n");
  EXPECT_RUN(kivs({}, "a> \nb"), 0, "a>\nb\n");
  EXPECT_RUN(kivs({"-l"}, "a> \nb"), 0, "a> b\n");
  EXPECT_RUN(kivs({"-z"}, "a>"), 0, "a>\n");

  // Escapes.
  EXPECT_RUN(kivs({"-%"}, "5%"), 0, "5%%\n");
  EXPECT_RUN(kivs({"-H"}, "<b> x"), 0, "&lt;b&gt;x\n");
  EXPECT_RUN(kivs({"-H", "-h"}, "<b> x"), 0, "&lt;b&gt; x\n");
  EXPECT_RUN(kivs({"-C"}, "say \"hi\"\t100%\\\n"), 0, "say \\\"hi\\\"\\t100%%\\\\\\n\\n\n");
  EXPECT_RUN(kivs({"-S"}, "a/b.c;d*e#f&g[h]\n"), 0, "a\\/b\\.c\\;d\\*e#f\\&g\\[h\\]\\n\\n\n");
  EXPECT_RUN(kivs({"-S", "-kr"}, "#"), 0, "\\#\\n\n");
  EXPECT_RUN(kivs({"-ss", "-rk", "-gk"}, "|(){}"), 0, "\\|\\(\\)\\{\\}\n");
  EXPECT_RUN(kivs({"-a"}, "\"\\"), 0, "\\\"\\\n");
  EXPECT_RUN(kivs({"-r"}, "\"\\"), 0, "\"\\\\\n");
}

// A CR is a line break of its own. Windows reads the source in binary and
// takes a CR LF pair as one break, as its text files end their lines so;
// a lone CR stays a break of its own there too.
TEST_F(Run, CarriageReturnsAreLineBreaks) {
  const bool pair = on_windows();  // CR LF is one line break
  EXPECT_RUN(kivs({}, "a\r\nb"), 0, "ab\n");
  EXPECT_RUN(kivs({"-z"}, "a\r\nb"), 0, pair ? "a\\nb\\n\n" : "a\\n\\nb\\n\n");
  EXPECT_RUN(kivs({"-z"}, "a\rb"), 0, "a\\nb\\n\n");
  EXPECT_RUN(kivs({"-z"}, "a\r"), 0, "a\\n\\n\n");
  EXPECT_RUN(kivs({"-z"}, "a\n\rb"), 0, "a\\n\\nb\\n\n");
  EXPECT_RUN(kivs({"-z"}, "a\r\r\nb"), 0, pair ? "a\\n\\nb\\n\n" : "a\\n\\n\\nb\\n\n");
  EXPECT_RUN(kivs({}, "a \r\nb"), 0, "ab\n");
  EXPECT_RUN(kivs({}, "a>\r\nb"), 0, pair ? "a>\nb\n" : "a>\rb\n");
  put("crlf.txt", "x\r\ny\r\n");
  EXPECT_RUN(kiv({"crlf.txt", "-", "-z"}), 0, pair ? "x\\ny\\n\\n\n" : "x\\n\\ny\\n\\n\\n\n");

  // Lines of every length up to 9, so that pairs fall on every offset of
  // the read blocks, through a file and through standard input.
  std::string text, expected;
  for (int i = 0; text.size() < (1u << 18); ++i) {
    text += std::string(i % 10, 'x') + "\r\n";
    expected += std::string(i % 10, 'x') + (pair ? "\\n" : "\\n\\n");
  }
  put("long.txt", text);
  EXPECT_RUN(kiv({"long.txt", "long.out", "-z"}), 0, "");
  EXPECT_WRITTEN("long.out", expected + "\\n\n");
  EXPECT_RUN(kivs({"-z"}, text), 0, expected + "\\n\n");
}

// The C runtime's text mode ends a Windows file at the first Ctrl-Z
// (0x1A); Kiv reads the whole source whatever the system.
TEST_F(Run, CtrlZIsAnOrdinaryByte) {
  const bool pair = on_windows();
  put("z.txt", "a\x1a" "b\r\nc\x1a");
  EXPECT_RUN(kiv({"z.txt", "-"}), 0, "a\x1a" "bc\x1a\n");
  EXPECT_RUN(kiv({"z.txt", "z.out", "-z"}), 0, "");
  EXPECT_WRITTEN("z.out", pair ? "a\x1a" "b\\nc\x1a\\n\n" : "a\x1a" "b\\n\\nc\x1a\\n\n");
  EXPECT_RUN(kivs({"-z"}, "\x1a"), 0, "\x1a\\n\n");
  EXPECT_RUN(kivs({"-C", "-D"}, "1\x1a\n2\n"), 0, "printf(\"1\x1a\\n2\\n\\n\");\n\n");
  EXPECT_RUN(kiv_redirected({"-", "-", "-z"}, "z.txt", ""), 0,
             pair ? "a\x1a" "b\\nc\x1a\\n\n" : "a\x1a" "b\\n\\nc\x1a\\n\n");
}

TEST_F(Run, EveryByteValuePassesThroughTheProgram) {
  std::string all;
  for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
  put("bytes.bin", all + all);

  // Without options only the line breaks go.
  std::string plain;
  for (unsigned char c : all) {
    if (c != '\n' && c != '\r') plain += static_cast<char>(c);
  }
  EXPECT_RUN(kiv({"bytes.bin", "plain.out"}), 0, "");
  EXPECT_WRITTEN("plain.out", plain + plain + "\n");

  // With every escape option at once.
  EXPECT_RUN(kiv({"bytes.bin", "all.out", "-z", "-a", "-r", "-t", "-sr", "-ss", "-p", "-sk",
                  "-st", "-kr", "-%", "-k", "-rk", "-ek", "-gk", "-h", "-H"}),
             0, "");
  EXPECT_WRITTEN("all.out", every_escape_form(all + all) + "\\n\n");
}

TEST_F(Run, LargeTextsConvertWhole) {
  // Pieces of odd length so that no buffer boundary falls in the same
  // place twice; 6 MiB, past the size from which the output is written on
  // a thread of its own. The line break kept after "<b>" is CR LF on
  // Windows, in every block.
  const std::string c_piece = "Zeile \"1\"\t50%\\ <b>\n";
  const std::string c_form = "Zeile \\\"1\\\"\\t50%%\\\\ <b>\\n";
  const std::string tag_piece = "ab  \n<i>  x\n<b>\ny\n";
  const std::string tag_form = "ab <i>x<b>\ny";
  std::string c_text, c_expected, tag_text, tag_expected;
  while (c_text.size() < (6u << 20)) { c_text += c_piece; c_expected += c_form; }
  while (tag_text.size() < (6u << 20)) { tag_text += tag_piece; tag_expected += tag_form; }
  put("c.txt", c_text);

  EXPECT_RUN(kiv({"c.txt", "c.out", "-C"}), 0, "");
  EXPECT_WRITTEN("c.out", c_expected + "\\n\n");
  EXPECT_RUN(kiv({"-E", "-A"}, tag_text), 0, tag_expected + "\n");
}

}  // namespace
}  // namespace kiv
