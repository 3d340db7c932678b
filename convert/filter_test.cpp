#include "convert/filter.h"

#include <gtest/gtest.h>

#include <string>

#include "convert/filter_reference.h"
#include "options/options.h"
#include "tests/bytes.h"
#include "tests/filter_runs.h"

namespace kiv {
namespace {

// Converts through the fast filter in one piece and in one-byte chunks;
// both must agree before the result counts.
std::string convert(const std::string& text, const Options& options) {
  std::string whole = fast_convert(text, options);
  EXPECT_EQ(whole, fast_convert(text, options, 1)) << "chunked differs";
  return whole;
}

std::string convert(const std::string& text,
                    std::initializer_list<const char*> args = {}) {
  return convert(text, parse(args));
}

TEST(Filter, LineBreaksAreDroppedOrEscaped) {
  EXPECT_EQ(convert(""), "");
  EXPECT_EQ(convert("", {"-z"}), R"(\n)");
  EXPECT_EQ(convert("ab\ncd"), "abcd");
  EXPECT_EQ(convert("ab\n", {"-z"}), R"(ab\n\n)");
  EXPECT_EQ(convert("a\nb", {"-z"}), R"(a\nb\n)");
  EXPECT_EQ(convert("\n\n\n"), "");

  // Without text-mode translation CR and LF are two breaks.
  EXPECT_EQ(convert("a\r\nb", {"-z"}), R"(a\n\nb\n)");
  EXPECT_EQ(convert("a\r\nb"), "ab");
  EXPECT_EQ(convert("a\rb", {"-z"}), R"(a\nb\n)");
}

TEST(Filter, OnlyTheBlankDirectlyBeforeALineBreakIsDropped) {
  EXPECT_EQ(convert("a  \nb"), "a b");
  EXPECT_EQ(convert("a  \nb", {"-l"}), "a  b");
  EXPECT_EQ(convert("a \rb"), "ab");
  EXPECT_EQ(convert("a ", {"-z"}), R"(a \n)");
  EXPECT_EQ(convert("a "), "a ");
  EXPECT_EQ(convert(" \n \n", {"-z"}), R"(\n\n\n)");
  EXPECT_EQ(convert("a   b c"), "a   b c");
  EXPECT_EQ(convert("x \t\ny", {"-t"}), R"(x \ty)");
}

TEST(Filter, AfterTagModeKeepsTheBreakAndSwallowsBlanks) {
  EXPECT_EQ(convert("<p>\nx"), "<p>\nx");
  EXPECT_EQ(convert("<p>\nx", {"-h"}), "<p>x");
  EXPECT_EQ(convert("<p>\nx", {"-z"}), R"(<p>\nx\n)");
  EXPECT_EQ(convert("<b>   Text"), "<b>Text");
  EXPECT_EQ(convert("<b>   Text", {"-l"}), "<b>   Text");
  EXPECT_EQ(convert("<b>   Text", {"-h"}), "<b>   Text");
  EXPECT_EQ(convert("a> \nb"), "a>\nb");
  EXPECT_EQ(convert("a> \nb", {"-l"}), "a> b");

  // The end of input adds nothing right after a >.
  EXPECT_EQ(convert("a>", {"-z"}), "a>");
  EXPECT_EQ(convert("a>   ", {"-z"}), "a>");
  EXPECT_EQ(convert("a> ", {"-z", "-l"}), R"(a> \n)");

  // A CR after > is an ordinary byte, and so is everything after >>.
  EXPECT_EQ(convert("a>\r\nb"), "a>\rb");
  EXPECT_EQ(convert("a>> \n b"), "a>>\n b");
  EXPECT_EQ(convert("> x \n"), ">x");
  EXPECT_EQ(convert(">\"", {"-a"}), R"(>\")");
}

TEST(Filter, EveryEscapeWritesItsForm) {
  EXPECT_EQ(convert("a\tb", {"-t"}), R"(a\tb)");
  EXPECT_EQ(convert("\"q\"", {"-a"}), R"(\"q\")");
  EXPECT_EQ(convert("a\\b", {"-r"}), R"(a\\b)");
  EXPECT_EQ(convert("a/b", {"-sr"}), R"(a\/b)");
  EXPECT_EQ(convert("a|b", {"-ss"}), R"(a\|b)");
  EXPECT_EQ(convert("a.b", {"-p"}), R"(a\.b)");
  EXPECT_EQ(convert("a;b", {"-sk"}), R"(a\;b)");
  EXPECT_EQ(convert("a*b", {"-st"}), R"(a\*b)");
  EXPECT_EQ(convert("a#b", {"-kr"}), R"(a\#b)");
  EXPECT_EQ(convert("5%", {"-%"}), "5%%");
  EXPECT_EQ(convert("a&b", {"-k"}), R"(a\&b)");
  EXPECT_EQ(convert("(x)", {"-rk"}), R"(\(x\))");
  EXPECT_EQ(convert("[x]", {"-ek"}), R"(\[x\])");
  EXPECT_EQ(convert("{x}", {"-gk"}), R"(\{x\})");

  // Without their flags the same bytes pass unchanged.
  const std::string specials = "\t\"\\/|.;*#%&()[]{}<>";
  EXPECT_EQ(convert(specials, {"-h"}), specials);
}

TEST(Filter, HtmlEntitiesStillOpenAfterTagMode) {
  EXPECT_EQ(convert("<b> x", {"-H"}), "&lt;b&gt;x");
  EXPECT_EQ(convert("<b> x", {"-H", "-h"}), "&lt;b&gt; x");
  EXPECT_EQ(convert("a>\nb", {"-H"}), "a&gt;\nb");
  EXPECT_EQ(convert(">>", {"-H"}), "&gt;&gt;");
}

TEST(Filter, PresetsCombineTheirEscapes) {
  EXPECT_EQ(convert("say \"50%\"\t\\ \n", {"-C"}), R"(say \"50%%\"\t\\\n\n)");
  EXPECT_EQ(convert("</a>\n", {"-J"}), R"(<\/a>\n\n)");
  EXPECT_EQ(convert("a.b;c*d&e[f]/g#h", {"-S"}),
            R"(a\.b\;c\*d\&e\[f\]\/g#h\n)");
  EXPECT_EQ(convert("#", {"-S", "-kr"}), R"(\#\n)");
  EXPECT_EQ(convert("$x `y`", {"-B"}), R"($x `y`\n)");
  EXPECT_EQ(convert("<p>\n", {"-P"}), R"(<p>\n\n)");
}

TEST(Filter, EveryByteValuePassesThroughUnlessARuleNamesIt) {
  std::string all;
  for (int c = 0; c < 256; ++c) all += static_cast<char>(c);

  // Only LF and CR go; the blank before '!' stays, '>' is followed by '?'.
  std::string expected;
  for (char c : all) {
    if (c != '\n' && c != '\r') expected += c;
  }
  EXPECT_EQ(convert(all), expected);

  // With every escape on, each named byte takes its form and nothing else
  // changes.
  EXPECT_EQ(convert(all, {"-S", "-C", "-H", "-kr", "-ss", "-rk", "-gk"}),
            every_escape_form(all) + "\\n");

  EXPECT_EQ(convert(std::string("\xff\x00\xfe", 3), {"-z"}),
            std::string("\xff\x00\xfe\\n", 5));
}

TEST(Filter, ChunkBoundariesDoNotChangeTheResult) {
  const std::string texts[] = {
      "a \nb", "a  \r\n", "x> \n y", ">   \n", "a \n \n", "  ", "a>",
      "<p> \t\"x\"</p> \n", std::string(40, ' ') + "\n" + std::string(40, '>'),
  };
  const Options option_sets[] = {parse({}), parse({"-z"}), parse({"-l"}),
                                 parse({"-C"}), parse({"-H", "-z"})};
  for (const std::string& text : texts) {
    for (const Options& options : option_sets) {
      std::string expected = reference_convert(text, options);
      for (std::size_t chunk = 1; chunk <= text.size() + 1; ++chunk) {
        EXPECT_EQ(fast_convert(text, options, chunk), expected)
            << "chunk " << chunk << " text " << text;
      }
    }
  }
}

}  // namespace
}  // namespace kiv
