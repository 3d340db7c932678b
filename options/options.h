#ifndef KIV_OPTIONS_OPTIONS_H_
#define KIV_OPTIONS_OPTIONS_H_

namespace kiv {

// The switches of one run. Everything starts false; options only ever set
// flags, so argument order and repetition do not matter.
struct Options {
  bool escape_newline = false;      // a line break becomes backslash-n
  bool escape_quote = false;        // " becomes \"
  bool escape_backslash = false;    // \ becomes \\ (two backslashes)
  bool escape_tab = false;          // a tab becomes backslash-t
  bool escape_slash = false;        // / becomes \/
  bool escape_bar = false;          // | becomes \|
  bool escape_dot = false;          // . becomes \.
  bool escape_semicolon = false;    // ; becomes \;
  bool escape_star = false;         // * becomes \*
  bool escape_hash = false;         // # becomes \#
  bool double_percent = false;      // % becomes %%
  bool escape_ampersand = false;    // & becomes \&
  bool escape_parens = false;       // ( and ) get a backslash
  bool escape_brackets = false;     // [ and ] get a backslash
  bool escape_braces = false;       // { and } get a backslash
  bool keep_blanks = false;         // blanks before breaks and after > stay
  bool breaks_after_tag = false;    // no special treatment after a >
  bool html_entities = false;       // < and > become &lt; and &gt;
  bool syntax_c = false;            // C print command and frame
  bool syntax_php = false;          // PHP print command and frame
  bool syntax_javascript = false;   // JavaScript print command and frame
  bool syntax_bash = false;         // Bash print command and frame
  bool syntax_sed = false;          // sed substitution and script header
  bool print_command = false;       // wrap the text in a print command
  bool print_frame = false;         // wrap the print command in a program
  bool read_stdin = false;          // the source is standard input
  bool write_stdout = false;        // the target is standard output
};

// Returns the options named by arguments 1 to argc - 1. Arguments that are
// no option are operands and leave the record alone.
Options parse_options(int argc, const char* const argv[]);

// Tells whether an argument is an operand (a file name or "-"), that is,
// whether it matches none of the option strings exactly.
bool is_operand(const char* argument);

// The rows of the option table, in their comparison order: how many there
// are (options.cpp checks the count), the option string of a row, and
// setting the flags a row stands for.
constexpr int kOptionCount = 27;
const char* option_name(int row);
void set_option_flags(int row, Options& options);

// Number of syntax flags set; more than one makes -D nonsense.
int syntax_count(const Options& options);

}  // namespace kiv

#endif  // KIV_OPTIONS_OPTIONS_H_
