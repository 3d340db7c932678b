#ifndef KIV_CONVERT_FILTER_H_
#define KIV_CONVERT_FILTER_H_

// The character filter: what each byte becomes, per run, and the calls
// that convert a text chunk by chunk. How the chunks are scanned fast is
// in convert/scan/; reading and writing the streams in convert/stream.h.

#include <cstddef>

#include "options/options.h"

namespace kiv {

// What a byte does besides being written in its form.
enum class ByteKind : unsigned char {
  plain,           // copied as it is (blanks too: see filter_with in
                   // convert/scan/blocks.h)
  line_break,      // LF or CR: dropped or written as backslash-n
  escaped,         // written in its escaped form
  sets_after_tag,  // the next byte is read in after-tag mode: after a >,
                   // and after a blank that vanishes in after-tag mode
};

// The per-byte tables hold two rows of 256 entries: a byte read in normal
// mode, and a byte read in after-tag mode.
constexpr unsigned kAfterTag = 256;
constexpr int kTableEntries = 512;

// The bytes that take back a blank just before them, unless -l keeps it.
constexpr unsigned char kLineBreaks[] = {'\n', '\r'};

// The bytes whose form in after-tag mode is set apart from the normal one:
// a blank, LF and CR.
constexpr int kAfterTagOwn = 3;

// What a byte below 128 does in normal mode, as bits of
// FilterTable::slot_bits.
constexpr unsigned char kWritesOne = 1;   // its form has a byte or more
constexpr unsigned char kWritesTwo = 2;   // two or more
constexpr unsigned char kWritesFour = 4;  // four
constexpr unsigned char kDropsBlank = 8;  // a blank just before it goes

// Everything the filter needs to know per byte value, built once per run.
struct FilterTable {
  ByteKind kind[kTableEntries];
  unsigned char form[kTableEntries][4];  // escaped form, or the byte itself
                                         // (nothing for a dropped break)
  unsigned char form_length[kTableEntries];
  unsigned char drops_blank[kTableEntries];  // 1: a blank just before it
                                             // is taken back
  unsigned char special[256];        // 1: in normal mode not written as
                                     // itself, so the block loop visits it
  unsigned char specials[32];        // the special byte values (escapes
                                     // and line breaks: see filter.cpp)
  int special_count;
  unsigned char nibble_low[16];      // bit sets by low and high nibble whose
  unsigned char nibble_high[16];     // AND is non-zero for every special
  bool escape_newline;
  bool keep_blanks;
  bool tag_ends;                     // a > opens after-tag mode
  bool two_byte_forms;               // every special becomes two bytes,
                                     // and there are no tag ends
  // For scans that build a block's whole output at once, from each byte's
  // form laid out in a fixed number of slots: that number (1, 2 or 4; see
  // block_slots in filter.cpp).
  unsigned char block_slots;
  // The normal row of the bytes below 128 for those scans: each form
  // aligned to the right end of four slots (slot 3 of a form of no bytes
  // holds the byte itself), and what the byte does (kWritesOne...).
  unsigned char slot_form[4][128];
  unsigned char slot_bits[128];
  // The bytes whose after-tag entry is set apart from the normal one;
  // every other after-tag entry is a copy of the normal one.
  unsigned char after_tag_own[kAfterTagOwn];
};

// What one chunk of input leaves for the next one.
struct FilterState {
  bool after_tag = false;      // the last byte read was a > (or a blank
                               // swallowed after one)
  bool pending_blank = false;  // a blank held back until the next byte
                               // shows whether a line break follows
};

// Largest output of one input byte ("&lt;"); a chunk of n bytes writes at
// most n * kMaxExpansion + kChunkSlack bytes.
constexpr std::size_t kMaxExpansion = 4;
constexpr std::size_t kChunkSlack = 16;

// Builds the per-byte conversion for a run. crlf: every line feed the
// output keeps is written as CR LF, as in a Windows text file.
FilterTable make_filter_table(const Options& options, bool crlf = false);

// Converts n bytes of input into out and returns the number of bytes
// written. The state carries over, so any split of the input into chunks
// gives the same output.
std::size_t filter_chunk(const FilterTable& table, FilterState& state,
                         const unsigned char* in, std::size_t n,
                         unsigned char* out);

// Writes what the end of the input adds (at most 3 bytes) and returns the
// number of bytes written.
std::size_t filter_finish(const FilterTable& table, FilterState& state,
                          unsigned char* out);

}  // namespace kiv

#endif  // KIV_CONVERT_FILTER_H_
