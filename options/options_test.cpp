#include "options/options.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tests/parse.h"

namespace kiv {
namespace {

bool same(const Options& a, const Options& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(Options, SingleOptionsSetOneFlag) {
  EXPECT_TRUE(parse({"-z"}).escape_newline);
  EXPECT_TRUE(parse({"-sr"}).escape_slash);
  EXPECT_TRUE(parse({"-ss"}).escape_bar);
  EXPECT_TRUE(parse({"-kr"}).escape_hash);
  EXPECT_TRUE(parse({"-%"}).double_percent);
  EXPECT_TRUE(parse({"-rk"}).escape_parens);
  EXPECT_TRUE(parse({"-gk"}).escape_braces);
  EXPECT_TRUE(parse({"-l"}).keep_blanks);
  EXPECT_TRUE(parse({"-H"}).html_entities);
  EXPECT_TRUE(parse({"-E"}).read_stdin);
  EXPECT_TRUE(parse({"-A"}).write_stdout);

  Options z = parse({"-z"});
  z.escape_newline = false;
  EXPECT_TRUE(same(z, Options{}));
}

TEST(Options, PresetsSetTheirEscapesAndSyntax) {
  Options c = parse({"-C"});
  EXPECT_TRUE(c.escape_newline && c.escape_quote && c.escape_backslash &&
              c.escape_tab && c.double_percent && c.breaks_after_tag &&
              c.syntax_c);
  EXPECT_FALSE(c.escape_slash || c.syntax_php || c.print_command);

  Options j = parse({"-J"});
  EXPECT_TRUE(j.escape_slash && j.syntax_javascript);
  EXPECT_FALSE(j.double_percent);

  // -S escapes eleven things but never the number sign on its own.
  Options s = parse({"-S"});
  EXPECT_TRUE(s.escape_slash && s.escape_dot && s.escape_semicolon &&
              s.escape_star && s.escape_ampersand && s.escape_brackets &&
              s.syntax_sed);
  EXPECT_FALSE(s.escape_hash || s.escape_bar || s.escape_parens ||
               s.escape_braces || s.keep_blanks || s.html_entities);

  Options du = parse({"-Du"});
  EXPECT_TRUE(du.print_command && du.print_frame);
  EXPECT_EQ(syntax_count(du), 0);
  EXPECT_EQ(syntax_count(parse({"-C", "-P", "-J", "-B", "-S"})), 5);
}

TEST(Options, OrderAndRepetitionDoNotMatter) {
  EXPECT_TRUE(same(parse({"-C", "-kr"}), parse({"-kr", "-C"})));
  EXPECT_TRUE(same(parse({"-z", "-z", "-C"}), parse({"-C"})));
  Options both = parse({"-C", "-kr"});
  EXPECT_TRUE(both.escape_hash && both.syntax_c);
}

TEST(Options, EverythingElseIsAnOperand) {
  for (const char* operand : {"-", "-x", "--", "-zt", "-c", "-du", "z", "",
                              "-D ", "in.txt", "-Z"}) {
    EXPECT_TRUE(is_operand(operand)) << operand;
    EXPECT_TRUE(same(parse({operand}), Options{})) << operand;
  }
  for (const char* option : {"-z", "-C", "-Du", "-E", "-A", "-%", "-gk"}) {
    EXPECT_FALSE(is_operand(option)) << option;
  }
}

TEST(Options, ManyArgumentsAreFine) {
  std::vector<const char*> args(600, "file.txt");
  args.push_back("-C");
  EXPECT_TRUE(parse(args).syntax_c);
}

}  // namespace
}  // namespace kiv
