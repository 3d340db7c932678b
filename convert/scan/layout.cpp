// The lookup layouts of the scans, derived from the filter's rules.

#include "convert/scan/layout.h"

#include "convert/filter.h"

namespace kiv {
namespace {

// The bytes that normal mode does not write as themselves, which the
// block loop visits. Every high nibble that holds one gets a bit; nibbles
// 8 apart share one, which can mark plain bytes too but never misses one.
void set_specials(const FilterRules& rules, ScanLayout& layout) {
  for (unsigned c = 0; c < 256; ++c) {
    if (rules.form_length[c] == 1 && rules.form[c][0] == c) continue;
    layout.special[c] = 1;
    layout.specials[layout.special_count++] = static_cast<unsigned char>(c);
    unsigned char bit = static_cast<unsigned char>(1u << ((c >> 4) & 7));
    layout.nibble_high[c >> 4] = bit;
    layout.nibble_low[c & 15] |= bit;
  }
}

// Whether every special byte is written as '\\' and the byte itself or,
// below 16, a letter, with no tag ends: the case of every preset but -C
// (whose "%%" has a prefix of its own), which the AVX-512 expander
// handles without a step per special byte.
bool has_two_byte_forms(const FilterRules& rules, const ScanLayout& layout) {
  if (rules.tag_ends) return false;
  for (int i = 0; i < layout.special_count; ++i) {
    unsigned char c = layout.specials[i];
    const unsigned char* form = rules.form[c];
    bool second = form[1] == c || c < 16;
    if (c >= 0x80 || rules.form_length[c] != 2 || form[0] != '\\' ||
        !second) {
      return false;
    }
  }
  return true;
}

// The slots per byte that a scan building a whole block at once needs: a
// form of one byte that is not the byte itself takes two, like a form of
// two, and a form of four takes four. Those scans rely on what
// make_filter_rules builds for every combination of the options: forms of
// 0, 1, 2 or 4 bytes, plain bytes from 128 up, a blank that is itself in
// normal mode, and an after-tag row that is the normal row but for the
// entries of after_tag_own, whose forms there have at most two bytes, and
// that takes back no blank. The line feed kept after a tag counts for no
// slots: its form there (CR LF for a Windows text file) is rare, and those
// scans lay out a block that holds it as they would with two slots.
unsigned char block_slots(const FilterRules& rules) {
  unsigned slots = 1;
  for (unsigned entry = 0; entry < static_cast<unsigned>(kTableEntries);
       ++entry) {
    if (entry == kAfterTag + '\n') continue;
    unsigned length = rules.form_length[entry];
    if (length == 1 && rules.form[entry][0] != (entry & 0xFF)) length = 2;
    if (length > slots) slots = length;
  }
  return static_cast<unsigned char>(slots);
}

// What the form of a table entry writes, as slot_bits.
unsigned char slot_bits(const FilterRules& rules, unsigned entry) {
  unsigned length = rules.form_length[entry];
  unsigned char bits = rules.drops_blank[entry] ? kDropsBlank : 0;
  if (length >= 1) bits |= kWritesOne;
  if (length >= 2) bits |= kWritesTwo;
  if (length >= 4) bits |= kWritesFour;
  return bits;
}

// Lays out the normal row of the bytes below 128 for block_slots, and
// what each does in either mode.
void set_slots(const FilterRules& rules, ScanLayout& layout) {
  for (unsigned c = 0; c < 128; ++c) {
    unsigned length = rules.form_length[c];
    for (unsigned j = 0; j < 4; ++j) {
      layout.slot_form[j][c] = static_cast<unsigned char>(c);
    }
    for (unsigned i = 0; i < length; ++i) {
      layout.slot_form[4 - length + i][c] = rules.form[c][i];
    }
    layout.slot_bits[0][c] = slot_bits(rules, c);
    layout.slot_bits[1][c] = slot_bits(rules, kAfterTag + c);
  }
}

}  // namespace

ScanLayout make_scan_layout(const FilterRules& rules) {
  ScanLayout layout{};
  set_specials(rules, layout);
  layout.two_byte_forms = has_two_byte_forms(rules, layout);
  layout.block_slots = block_slots(rules);
  set_slots(rules, layout);
  return layout;
}

}  // namespace kiv
