#include "options/options.h"

#include <cstring>

namespace kiv {
namespace {

using Flag = bool Options::*;

// One row per option string: the flags it sets. The longest row (-S)
// sets twelve flags; unused slots stay null.
struct OptionRow {
  const char* name;
  Flag flags[12];
};

constexpr OptionRow kOptionTable[] = {
    {"-z", {&Options::escape_newline}},
    {"-a", {&Options::escape_quote}},
    {"-r", {&Options::escape_backslash}},
    {"-t", {&Options::escape_tab}},
    {"-sr", {&Options::escape_slash}},
    {"-ss", {&Options::escape_bar}},
    {"-p", {&Options::escape_dot}},
    {"-sk", {&Options::escape_semicolon}},
    {"-st", {&Options::escape_star}},
    {"-kr", {&Options::escape_hash}},
    {"-%", {&Options::double_percent}},
    {"-k", {&Options::escape_ampersand}},
    {"-rk", {&Options::escape_parens}},
    {"-ek", {&Options::escape_brackets}},
    {"-gk", {&Options::escape_braces}},
    {"-C",
     {&Options::escape_newline, &Options::escape_quote,
      &Options::escape_backslash, &Options::escape_tab,
      &Options::double_percent, &Options::breaks_after_tag,
      &Options::syntax_c}},
    {"-P",
     {&Options::escape_newline, &Options::escape_quote,
      &Options::escape_backslash, &Options::escape_tab,
      &Options::breaks_after_tag, &Options::syntax_php}},
    {"-J",
     {&Options::escape_newline, &Options::escape_quote,
      &Options::escape_backslash, &Options::escape_tab,
      &Options::escape_slash, &Options::breaks_after_tag,
      &Options::syntax_javascript}},
    {"-B",
     {&Options::escape_newline, &Options::escape_quote,
      &Options::escape_backslash, &Options::escape_tab,
      &Options::breaks_after_tag, &Options::syntax_bash}},
    // -S has never set escape_hash, although the help screen lists -kr
    // under it; sed takes # literally in a replacement, and stored scripts
    // were made that way.
    {"-S",
     {&Options::escape_newline, &Options::escape_quote,
      &Options::escape_backslash, &Options::escape_tab,
      &Options::escape_slash, &Options::escape_dot,
      &Options::escape_semicolon, &Options::escape_star,
      &Options::escape_ampersand, &Options::escape_brackets,
      &Options::breaks_after_tag, &Options::syntax_sed}},
    {"-D", {&Options::print_command}},
    {"-Du", {&Options::print_command, &Options::print_frame}},
    {"-l", {&Options::keep_blanks}},
    {"-h", {&Options::breaks_after_tag}},
    {"-H", {&Options::html_entities}},
    {"-E", {&Options::read_stdin}},
    {"-A", {&Options::write_stdout}},
};

void set_flags(const OptionRow& row, Options& options) {
  for (Flag flag : row.flags) {
    if (flag != nullptr) options.*flag = true;
  }
}

const OptionRow* find_option(const char* argument) {
  for (const OptionRow& row : kOptionTable) {
    if (std::strcmp(argument, row.name) == 0) return &row;
  }
  return nullptr;
}

}  // namespace

Options parse_options(int argc, const char* const argv[]) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const OptionRow* row = find_option(argv[i]);
    if (row != nullptr) set_flags(*row, options);
  }
  return options;
}

static_assert(sizeof kOptionTable / sizeof kOptionTable[0] == kOptionCount,
              "kOptionCount counts the rows of the option table");

const char* option_name(int row) { return kOptionTable[row].name; }

void set_option_flags(int row, Options& options) {
  set_flags(kOptionTable[row], options);
}

bool is_operand(const char* argument) { return find_option(argument) == nullptr; }

int syntax_count(const Options& options) {
  return options.syntax_c + options.syntax_php + options.syntax_javascript +
         options.syntax_bash + options.syntax_sed;
}

}  // namespace kiv
