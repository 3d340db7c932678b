#ifndef KIV_CONVERT_SCAN_LEVELS_H_
#define KIV_CONVERT_SCAN_LEVELS_H_

// The entries of the scan levels, one per scan file; only dispatch.cpp
// calls them. Each has filter_chunk's contract.

#include <cstddef>

#include "convert/filter.h"

namespace kiv {

std::size_t filter_scalar(const FilterTable&, FilterState&,
                          const unsigned char*, std::size_t, unsigned char*);
std::size_t filter_sse2(const FilterTable&, FilterState&,
                        const unsigned char*, std::size_t, unsigned char*);
std::size_t filter_ssse3(const FilterTable&, FilterState&,
                         const unsigned char*, std::size_t, unsigned char*);
std::size_t filter_avx2(const FilterTable&, FilterState&,
                        const unsigned char*, std::size_t, unsigned char*);
std::size_t filter_neon(const FilterTable&, FilterState&,
                        const unsigned char*, std::size_t, unsigned char*);
// Only for tables with block_slots.
std::size_t filter_avx512(const FilterTable&, FilterState&,
                          const unsigned char*, std::size_t, unsigned char*);

}  // namespace kiv

#endif  // KIV_CONVERT_SCAN_LEVELS_H_
