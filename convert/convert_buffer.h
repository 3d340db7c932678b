#ifndef KIV_CONVERT_CONVERT_BUFFER_H_
#define KIV_CONVERT_CONVERT_BUFFER_H_

#include <cstddef>

#include "options/options.h"

namespace kiv {

// Room that convert_buffer needs for n bytes of input; 0 when that is more
// than a size_t can count.
std::size_t converted_size_limit(std::size_t n);

// Converts the whole text in[0, n) as a run writes it: the openers, the
// filtered text, the closers with the warning when due, and the final line
// feed. out must have room for converted_size_limit(n) bytes. Returns the
// number of bytes written.
std::size_t convert_buffer(const unsigned char* in, std::size_t n,
                           const Options& options, unsigned char* out);

}  // namespace kiv

#endif  // KIV_CONVERT_CONVERT_BUFFER_H_
