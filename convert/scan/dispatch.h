#ifndef KIV_CONVERT_SCAN_DISPATCH_H_
#define KIV_CONVERT_SCAN_DISPATCH_H_

// The scan levels: the ways of finding the bytes of a block that the
// filter must look at. All give the same output; filter_chunk runs the
// fastest one the processor has. Tests and the benchmark name a level to
// compare them.

#include <cstddef>

#include "convert/filter.h"

namespace kiv {

// Slowest first; the order is the order of preference.
enum class ScanLevel : unsigned char { scalar, sse2, ssse3, avx2, avx512 };

// The fastest level this processor and this build support.
ScanLevel best_scan_level();

// filter_chunk at a given level, which must not exceed best_scan_level().
std::size_t filter_chunk_at(ScanLevel level, const FilterTable& table,
                            FilterState& state, const unsigned char* in,
                            std::size_t n, unsigned char* out);

}  // namespace kiv

#endif  // KIV_CONVERT_SCAN_DISPATCH_H_
