#ifndef KIV_TESTS_FILTER_RUNS_H_
#define KIV_TESTS_FILTER_RUNS_H_

// The fast filter run the ways the tests compare with the reference.

#include <cstddef>
#include <string>
#include <vector>

#include "convert/filter.h"
#include "convert/line_ends.h"
#include "convert/scan/dispatch.h"
#include "convert/stream.h"
#include "options/options.h"
#include "tests/parse.h"

namespace kiv {

// The fast filter over memory, fed in chunks of `chunk` bytes (0: all at
// once) at the given scan level, so tests can place chunk boundaries
// anywhere and compare the levels. crlf: the table of a Windows text
// file (make_filter_table).
std::string fast_convert(const std::string& input, const Options& options,
                         std::size_t chunk = 0,
                         ScanLevel level = best_scan_level(),
                         bool crlf = false);

// The text as a Windows text file holds it: each LF as CR LF.
std::string with_crlf(const std::string& text);

// convert_text over temporary files, so the read blocks, slices and output
// flushes are crossed as in a run. A missing temporary file counts as a
// read failure.
std::string stream_convert(const std::string& input, const Options& options,
                           ConvertStatus& status,
                           LineEnds line_ends = LineEnds::as_read);

// collapse_crlf over text fed in blocks of `block` bytes the way the
// reader does, carrying a held CR to the front of the next block.
std::string collapse_in_blocks(const std::string& text, std::size_t block);

// Each CR LF as LF: the plain loop to hold collapse_crlf to.
std::string collapsed_slowly(const std::string& text);

}  // namespace kiv

#endif  // KIV_TESTS_FILTER_RUNS_H_
