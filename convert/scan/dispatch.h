#ifndef KIV_CONVERT_SCAN_DISPATCH_H_
#define KIV_CONVERT_SCAN_DISPATCH_H_

// The scan levels: the ways of finding the bytes of a block that the
// filter must look at. All give the same output; filter_chunk runs the
// fastest one the processor has. Tests and the benchmark name a level to
// compare them.

#include <cstddef>

#include "convert/filter.h"
#include "convert/scan/levels.h"

namespace kiv {

// Every level of the list in levels.h, slowest first, whether this build
// has it or not.
#define KIV_SCAN_LEVEL_NAME(name, built, runs) name,
enum class ScanLevel : unsigned char { KIV_SCAN_LEVELS(KIV_SCAN_LEVEL_NAME) };
#undef KIV_SCAN_LEVEL_NAME
#define KIV_SCAN_LEVEL_ONE(name, built, runs) +1
constexpr int kScanLevels = 0 KIV_SCAN_LEVELS(KIV_SCAN_LEVEL_ONE);
#undef KIV_SCAN_LEVEL_ONE

// The level's name in levels.h ("scalar", "avx2", ...).
const char* scan_level_name(ScanLevel level);

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
