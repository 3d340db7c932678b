// The rules of the filter, as the per-run table that every scan reads.

#include "convert/filter.h"

#include <cstring>

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

// Whether every special byte is written as a prefix ('\\', or '%' for
// '%') and the byte itself or, below 16, a letter, with no tag ends: the
// case of every preset, which the fastest scan handles without a step
// per special byte.
bool has_two_byte_forms(const FilterTable& table) {
  for (int i = 0; i < table.special_count; ++i) {
    unsigned char c = table.specials[i];
    const unsigned char* form = table.form[c];
    bool prefix = form[0] == '\\' || (c == '%' && form[0] == '%');
    bool second = form[1] == c || c < 16;
    if (table.kind[c] == ByteKind::tag_end || c >= 0x80 ||
        table.form_length[c] != 2 || !prefix || !second) {
      return false;
    }
  }
  return true;
}

}  // namespace

FilterTable make_filter_table(const Options& options) {
  FilterTable table{};
  for (int c = 0; c < kTableEntries; ++c) {
    table.kind[c] = ByteKind::plain;
    table.form[c][0] = static_cast<unsigned char>(c);
    table.form_length[c] = 1;
  }
  for (const EscapeRow& row : kEscapeTable) {
    if (!(options.*row.flag)) continue;
    std::size_t length = std::strlen(row.form);
    std::memcpy(table.form[row.byte], row.form, length);
    table.form_length[row.byte] = static_cast<unsigned char>(length);
    table.kind[row.byte] = ByteKind::escaped;
  }
  const unsigned char line_breaks[] = {'\n', '\r'};
  for (unsigned char c : line_breaks) {
    table.kind[c] = ByteKind::line_break;
    table.form[c][0] = '\\';
    table.form[c][1] = 'n';
    table.form_length[c] = options.escape_newline ? 2 : 0;
    table.drops_blank[c] = options.keep_line_end_blank ? 0 : 1;
  }
  if (!options.breaks_after_tag) table.kind[kTagEnd] = ByteKind::tag_end;
  table.escape_newline = options.escape_newline;
  table.keep_blanks = options.keep_line_end_blank;
  // Every high nibble that holds a special gets a bit; nibbles 8 apart
  // share one, which can mark plain bytes too but never miss a special.
  for (int c = 0; c < 256; ++c) {
    if (table.kind[c] == ByteKind::plain) continue;
    table.specials[table.special_count++] = static_cast<unsigned char>(c);
    unsigned char bit = static_cast<unsigned char>(1u << ((c >> 4) & 7));
    table.nibble_high[c >> 4] = bit;
    table.nibble_low[c & 15] |= bit;
  }
  table.two_byte_forms = has_two_byte_forms(table);
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
