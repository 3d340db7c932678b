// The rules of the filter: what each byte becomes in a run.

#include "convert/filter.h"

#include <cstring>
#include <string>

namespace kiv {
namespace {

struct EscapeRow {
  bool Options::*flag;
  unsigned char byte;
  const char* form;
};

constexpr EscapeRow kEscapeTable[] = {
    {&Options::escape_tab, '\t', "\\t"},
    {&Options::escape_quote, '"', "\\\""},
    {&Options::escape_backslash, '\\', "\\\\"},
    {&Options::escape_slash, '/', "\\/"},
    {&Options::escape_bar, '|', "\\|"},
    {&Options::escape_dot, '.', "\\."},
    {&Options::escape_semicolon, ';', "\\;"},
    {&Options::escape_star, '*', "\\*"},
    {&Options::escape_hash, '#', "\\#"},
    {&Options::escape_ampersand, '&', "\\&"},
    {&Options::escape_parens, '(', "\\("},
    {&Options::escape_parens, ')', "\\)"},
    {&Options::escape_brackets, '[', "\\["},
    {&Options::escape_brackets, ']', "\\]"},
    {&Options::escape_braces, '{', "\\{"},
    {&Options::escape_braces, '}', "\\}"},
    {&Options::double_percent, '%', "%%"},
    {&Options::html_entities, '<', "&lt;"},
    {&Options::html_entities, '>', "&gt;"},
};

constexpr unsigned char kTagEnd = '>';

constexpr bool escapes_fit_slots() {
  for (const EscapeRow& row : kEscapeTable) {
    std::size_t length = std::char_traits<char>::length(row.form);
    if (length != 2 && length != 4) return false;
  }
  return true;
}
// The scans that lay out a block at once give each form 2 or 4 slots.
static_assert(escapes_fit_slots(), "escaped forms have 2 or 4 bytes");

// Every escape and line break can be special at once.
static_assert(sizeof kEscapeTable / sizeof kEscapeTable[0] + sizeof kLineBreaks <=
                  sizeof ScanLayout::specials,
              "room for every special byte");

void set_form(FilterRules& table, unsigned entry, const char* form,
              std::size_t length) {
  std::memcpy(table.form[entry], form, length);
  table.form_length[entry] = static_cast<unsigned char>(length);
}

}  // namespace

FilterRules make_filter_rules(const Options& options, bool crlf) {
  FilterRules table{};
  for (unsigned c = 0; c < static_cast<unsigned>(kTableEntries); ++c) {
    table.kind[c] = ByteKind::plain;
    table.form[c][0] = static_cast<unsigned char>(c);
    table.form_length[c] = 1;
  }

  // Normal mode. Escaped bytes take their form.
  for (const EscapeRow& row : kEscapeTable) {
    if (!(options.*row.flag)) continue;
    set_form(table, row.byte, row.form, std::strlen(row.form));
    table.kind[row.byte] = ByteKind::escaped;
  }
  // A line break (LF or CR) is dropped or written as backslash-n, and the
  // blank directly before it goes, unless -l keeps it.
  for (unsigned char c : kLineBreaks) {
    table.kind[c] = ByteKind::line_break;
    set_form(table, c, "\\n", options.escape_newline ? 2 : 0);
    table.drops_blank[c] = options.keep_blanks ? 0 : 1;
  }
  // Unless -h, a > puts the next byte into after-tag mode.
  table.tag_ends = !options.breaks_after_tag;
  if (table.tag_ends) table.kind[kTagEnd] = ByteKind::sets_after_tag;

  // After-tag mode: every byte as in normal mode, but no blank is taken
  // back, and
  for (unsigned c = 0; c < 256; ++c) {
    unsigned entry = kAfterTag + c;
    table.kind[entry] = table.kind[c];
    std::memcpy(table.form[entry], table.form[c], 4);
    table.form_length[entry] = table.form_length[c];
  }
  // a blank vanishes and the mode goes on, unless -l writes it and ends
  // the mode;
  const unsigned char own[kAfterTagOwn] = {' ', '\n', '\r'};
  std::memcpy(table.after_tag_own, own, sizeof own);
  if (!options.keep_blanks) {
    table.kind[kAfterTag + ' '] = ByteKind::sets_after_tag;
    table.form_length[kAfterTag + ' '] = 0;
  }
  // a line feed stays a line feed (CR LF for a Windows text file), or
  // backslash-n with -z;
  table.kind[kAfterTag + '\n'] = ByteKind::line_break;
  if (options.escape_newline) {
    set_form(table, kAfterTag + '\n', "\\n", 2);
  } else if (crlf) {
    set_form(table, kAfterTag + '\n', "\r\n", 2);
  } else {
    set_form(table, kAfterTag + '\n', "\n", 1);
  }
  // a carriage return is no line break there: it is written as it is.
  table.kind[kAfterTag + '\r'] = ByteKind::plain;
  set_form(table, kAfterTag + '\r', "\r", 1);

  table.escape_newline = options.escape_newline;
  table.keep_blanks = options.keep_blanks;
  return table;
}

FilterTable make_filter_table(const Options& options, bool crlf) {
  FilterTable table;
  static_cast<FilterRules&>(table) = make_filter_rules(options, crlf);
  static_cast<ScanLayout&>(table) = make_scan_layout(table);
  return table;
}

std::size_t filter_finish(const FilterTable& table, FilterState& state,
                          unsigned char* out) {
  unsigned char* o = out;
  if (state.pending_blank) {
    *o++ = ' ';
    state.pending_blank = false;
  } else if (state.after_tag) {
    return 0;
  }
  if (table.escape_newline) {
    *o++ = '\\';
    *o++ = 'n';
  }
  return static_cast<std::size_t>(o - out);
}

}  // namespace kiv
