// The rules of the filter, as the per-run table that every scan reads.

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

// Whether every special byte is written as a prefix ('\\', or '%' for
// '%') and the byte itself or, below 16, a letter, with no tag ends: the
// case of every preset, which the fastest scan handles without a step
// per special byte.
bool has_two_byte_forms(const FilterTable& table) {
  if (table.tag_ends) return false;
  for (int i = 0; i < table.special_count; ++i) {
    unsigned char c = table.specials[i];
    const unsigned char* form = table.form[c];
    bool prefix = form[0] == '\\' || (c == '%' && form[0] == '%');
    bool second = form[1] == c || c < 16;
    if (c >= 0x80 || table.form_length[c] != 2 || !prefix || !second) {
      return false;
    }
  }
  return true;
}

// The slots per byte that a scan building a whole block at once needs: a
// form of one byte that is not the byte itself takes two, like a form of
// two, and a form of four takes four. Those scans rely on what
// make_filter_table builds for every combination of the options: forms of
// 0, 1, 2 or 4 bytes (kEscapeTable is checked below), plain bytes from 128
// up, a blank that is itself in normal mode, and an after-tag row that is
// the normal row but for the entries of after_tag_own, whose forms there
// have at most two bytes, and that takes back no blank. The line feed kept
// after a tag counts for no slots: its form there (CR LF for a Windows
// text file) is rare, and those scans lay out a block that holds it as
// they would with two slots.
unsigned char block_slots(const FilterTable& table) {
  unsigned slots = 1;
  for (unsigned entry = 0; entry < static_cast<unsigned>(kTableEntries);
       ++entry) {
    if (entry == kAfterTag + '\n') continue;
    unsigned length = table.form_length[entry];
    if (length == 1 && table.form[entry][0] != (entry & 0xFF)) length = 2;
    if (length > slots) slots = length;
  }
  return static_cast<unsigned char>(slots);
}

constexpr bool escapes_fit_slots() {
  for (const EscapeRow& row : kEscapeTable) {
    std::size_t length = std::char_traits<char>::length(row.form);
    if (length != 2 && length != 4) return false;
  }
  return true;
}
static_assert(escapes_fit_slots(), "block_slots lays out forms of 2 or 4 bytes");

// Every escape and line break can be special at once.
static_assert(sizeof kEscapeTable / sizeof kEscapeTable[0] + sizeof kLineBreaks <=
                  sizeof FilterTable::specials,
              "room for every special byte");

// Lays out the normal row of the bytes below 128 for block_slots.
void set_slots(FilterTable& table) {
  for (unsigned c = 0; c < 128; ++c) {
    unsigned length = table.form_length[c];
    for (unsigned j = 0; j < 4; ++j) {
      table.slot_form[j][c] = static_cast<unsigned char>(c);
    }
    for (unsigned i = 0; i < length; ++i) {
      table.slot_form[4 - length + i][c] = table.form[c][i];
    }
    unsigned char bits = table.drops_blank[c] ? kDropsBlank : 0;
    if (length >= 1) bits |= kWritesOne;
    if (length >= 2) bits |= kWritesTwo;
    if (length >= 4) bits |= kWritesFour;
    table.slot_bits[c] = bits;
  }
}

void set_form(FilterTable& table, unsigned entry, const char* form,
              std::size_t length) {
  std::memcpy(table.form[entry], form, length);
  table.form_length[entry] = static_cast<unsigned char>(length);
}

}  // namespace

FilterTable make_filter_table(const Options& options, bool crlf) {
  FilterTable table{};
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
  // The block loop visits the bytes that normal mode does not write as
  // themselves. Every high nibble that holds one gets a bit; nibbles 8
  // apart share one, which can mark plain bytes too but never misses one.
  for (unsigned c = 0; c < 256; ++c) {
    if (table.form_length[c] == 1 && table.form[c][0] == c) continue;
    table.special[c] = 1;
    table.specials[table.special_count++] = static_cast<unsigned char>(c);
    unsigned char bit = static_cast<unsigned char>(1u << ((c >> 4) & 7));
    table.nibble_high[c >> 4] = bit;
    table.nibble_low[c & 15] |= bit;
  }
  table.two_byte_forms = has_two_byte_forms(table);
  table.block_slots = block_slots(table);
  set_slots(table);
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
