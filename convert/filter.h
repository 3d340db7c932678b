#ifndef KIV_CONVERT_FILTER_H_
#define KIV_CONVERT_FILTER_H_

// The character filter: what each byte becomes, per run, and the calls
// that convert a text chunk by chunk. How the chunks are scanned fast is
// in convert/scan/; reading and writing the streams in convert/stream.h.

#include <cstddef>

#include "options/options.h"

namespace kiv {

// How normal mode treats a byte value.
enum class ByteKind : unsigned char {
  plain,       // copied as it is (blanks too: see filter_chunk)
  line_break,  // LF or CR: dropped or written as backslash-n
  escaped,     // written in its escaped form
  tag_end,     // a > that puts the next bytes into after-tag mode
};

// Entries of the per-byte tables: the 256 byte values, then as many that
// stand for "no special byte left" in the filter's block loop (a plain
// byte whose form is written where nothing counts).
constexpr int kTableEntries = 512;

// Everything the filter needs to know per byte value, built once per run.
struct FilterTable {
  ByteKind kind[kTableEntries];
  unsigned char form[kTableEntries][4];  // escaped form, or the byte itself
                                         // (nothing for a dropped break)
  unsigned char form_length[kTableEntries];
  unsigned char drops_blank[kTableEntries];  // 1: a blank just before it
                                             // is taken back
  unsigned char specials[32];        // every byte value that is not plain
  int special_count;
  unsigned char nibble_low[16];      // bit sets by low and high nibble whose
  unsigned char nibble_high[16];     // AND is non-zero for every special
  bool escape_newline;
  bool keep_blanks;
  bool two_byte_forms;               // every special becomes two bytes
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

// Builds the per-byte conversion for a run.
FilterTable make_filter_table(const Options& options);

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
