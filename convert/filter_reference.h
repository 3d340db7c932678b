#ifndef KIV_CONVERT_FILTER_REFERENCE_H_
#define KIV_CONVERT_FILTER_REFERENCE_H_

#include <string>

#include "options/options.h"

namespace kiv {

// The filter's rules written out plainly, one byte at a time with one byte
// of push-back, as the oracle that the fast filter is checked against.
std::string reference_convert(const std::string& input, const Options& options);

}  // namespace kiv

#endif  // KIV_CONVERT_FILTER_REFERENCE_H_
