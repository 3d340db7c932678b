#ifndef KIV_CONVERT_SCAN_LAYOUT_H_
#define KIV_CONVERT_SCAN_LAYOUT_H_

// The lookup layouts that the scan levels read, each derived from the
// filter's rules (convert/filter.h) by make_scan_layout; nothing here is a
// rule of its own.

namespace kiv {

// The per-byte tables hold two rows of 256 entries: a byte read in normal
// mode, and a byte read in after-tag mode.
constexpr unsigned kAfterTag = 256;
constexpr int kTableEntries = 512;

// The bytes whose form in after-tag mode is set apart from the normal one:
// a blank, LF and CR.
constexpr int kAfterTagOwn = 3;

// What a byte below 128 does, as bits of ScanLayout::slot_bits.
constexpr unsigned char kWritesOne = 1;   // its form has a byte or more
constexpr unsigned char kWritesTwo = 2;   // two or more
constexpr unsigned char kWritesFour = 4;  // four
constexpr unsigned char kDropsBlank = 8;  // a blank just before it goes

struct FilterRules;

struct ScanLayout {
  unsigned char special[256];        // 1: in normal mode not written as
                                     // itself, so the block loop visits it
  unsigned char specials[32];        // the special byte values (escapes
                                     // and line breaks)
  int special_count;
  unsigned char nibble_low[16];      // bit sets by low and high nibble whose
  unsigned char nibble_high[16];     // AND is non-zero for every special
  bool two_byte_forms;               // every special becomes '\\' and one
                                     // byte, and there are no tag ends
  // For scans that build a block's whole output at once, from each byte's
  // form laid out in a fixed number of slots: that number (1, 2 or 4; see
  // block_slots in layout.cpp).
  unsigned char block_slots;
  // The normal row of the bytes below 128 for those scans: each form
  // aligned to the right end of four slots (slot 3 of a form of no bytes
  // holds the byte itself), and what the byte does (kWritesOne...) in
  // normal mode and, second row, in after-tag mode.
  unsigned char slot_form[4][128];
  unsigned char slot_bits[2][128];
};

ScanLayout make_scan_layout(const FilterRules& rules);

}  // namespace kiv

#endif  // KIV_CONVERT_SCAN_LAYOUT_H_
