#ifndef KIV_CONVERT_SCAN_DISPATCH_H_
#define KIV_CONVERT_SCAN_DISPATCH_H_

// The scan levels: the ways of finding the bytes of a block that the
// filter must look at. All give the same output; filter_chunk runs the
// fastest one the processor has. Tests and the benchmark name a level to
// compare them.

#include <cstddef>

#include "convert/filter.h"

namespace kiv {

// On x86 slowest first, the order of preference.
enum class ScanLevel : unsigned char { scalar, sse2, ssse3, avx2, avx512, neon };
constexpr int kScanLevels = 6;

// The fastest level this processor and this build support.
ScanLevel best_scan_level();

// Whether this processor and this build run the level.
bool scan_level_runs(ScanLevel level);

// filter_chunk at a given level, which must be one that runs.
std::size_t filter_chunk_at(ScanLevel level, const FilterTable& table,
                            FilterState& state, const unsigned char* in,
                            std::size_t n, unsigned char* out);

}  // namespace kiv

#endif  // KIV_CONVERT_SCAN_DISPATCH_H_
