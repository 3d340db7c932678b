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

}  // namespace kiv

#endif  // KIV_TESTS_FILTER_RUNS_H_
