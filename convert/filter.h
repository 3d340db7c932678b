#ifndef KIV_CONVERT_FILTER_H_
#define KIV_CONVERT_FILTER_H_

#include <cstddef>
#include <cstdio>

#include "convert/line_ends.h"
#include "options/options.h"

namespace kiv {

// How normal mode treats a byte value.
enum class ByteKind : unsigned char {
  plain,       // copied as it is (blanks too: see filter_chunk)
  line_break,  // LF or CR: dropped or written as backslash-n
  escaped,     // written in its escaped form
  tag_end,     // a > that puts the next bytes into after-tag mode
};

// The ways of finding the bytes that are not plain, slowest first. All
// give the same output; the fastest one the processor runs is the default.
enum class ScanLevel : unsigned char { scalar, sse2, ssse3, avx2, avx512 };

// Returns the fastest scan level this processor supports.
ScanLevel best_scan_level();

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
  ScanLevel scan;                    // tests lower it to compare the levels
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

// convert_text reads blocks of kReadBlock bytes (larger than a plain copy's
// 64 KiB: fewer calls) and filters them in slices of kFilterSlice.
constexpr std::size_t kReadBlock = 128 * 1024;
constexpr std::size_t kFilterSlice = 32 * 1024;

enum class ConvertStatus { ok, read_failed, write_failed };

// What one read of a block of input gave.
struct ReadResult {
  std::size_t size = 0;  // bytes read into the block
  bool failed = false;   // reading failed after these bytes
  bool ended = false;    // the input has no more bytes
};

// Reads the first block of the input into the buffer that convert_text
// starts from, so that a run learns whether the source can be read at all
// before it touches the target. Its result goes to convert_text.
ReadResult read_first_block(std::FILE* input);

// Copies input to output through the filter until the end of the input,
// or until reading or writing fails; the first form starts with a block
// from read_first_block, the second reads it itself. Whenever the input
// pauses (a pipe with nothing more for the moment), everything converted
// so far is written. The input is read from its descriptor, past any
// buffer of the stream.
// With LineEnds::crlf_to_lf each CR directly before an LF is dropped on
// the way in, as a Windows text stream would, but without its end of file
// at the first Ctrl-Z.
ConvertStatus convert_text(std::FILE* input, std::FILE* output,
                           const Options& options, LineEnds line_ends,
                           ReadResult first);
ConvertStatus convert_text(std::FILE* input, std::FILE* output,
                           const Options& options,
                           LineEnds line_ends = LineEnds::as_read);

}  // namespace kiv

#endif  // KIV_CONVERT_FILTER_H_
