#ifndef KIV_CONVERT_FILTER_H_
#define KIV_CONVERT_FILTER_H_

// The character filter: what each byte becomes, per run, and the calls
// that convert a text chunk by chunk. How the chunks are scanned fast is
// in convert/scan/; reading and writing the streams in convert/stream.h.

#include <cstddef>

#include "convert/scan/layout.h"
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


// The bytes that take back a blank just before them, unless -l keeps it.
constexpr unsigned char kLineBreaks[] = {'\n', '\r'};


// What each byte becomes in a run: the rules, readable without the scans.
struct FilterRules {
  ByteKind kind[kTableEntries];
  unsigned char form[kTableEntries][4];  // escaped form, or the byte itself
                                         // (nothing for a dropped break)
  unsigned char form_length[kTableEntries];
  unsigned char drops_blank[kTableEntries];  // 1: a blank just before it
                                             // is taken back
  bool escape_newline;
  bool keep_blanks;
  bool tag_ends;                     // a > opens after-tag mode
  // The bytes whose after-tag entry is set apart from the normal one;
  // every other after-tag entry is a copy of the normal one.
  unsigned char after_tag_own[kAfterTagOwn];
};

// Everything the filter needs per byte value, built once per run: the
// rules, and the lookup layouts the scans derive from them
// (convert/scan/layout.h).
struct FilterTable : FilterRules, ScanLayout {};

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

// The rules for a run. crlf: every line feed the output keeps is written
// as CR LF, as in a Windows text file.
FilterRules make_filter_rules(const Options& options, bool crlf = false);

// The rules for a run with their layouts.
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
