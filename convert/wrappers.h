#ifndef KIV_CONVERT_WRAPPERS_H_
#define KIV_CONVERT_WRAPPERS_H_

#include <cstddef>
#include <cstdio>

#include "options/options.h"

namespace kiv {

// Room that put_openers and put_closers need at most: every syntax chosen
// with -Du, and for the closers the warning and the terminating zero its
// formatting writes.
constexpr std::size_t kOpenersRoom = 160;
constexpr std::size_t kClosersRoom = 1152;

// Puts the program frames (-Du) and print commands (-D, -Du) that open
// around the converted text into out and returns their length.
std::size_t put_openers(const Options& options, unsigned char* out);

// Puts the matching print-command and frame closers into out, then, when
// -D meets more than one syntax, the warning that such output is nonsense;
// returns their length.
std::size_t put_closers(const Options& options, unsigned char* out);

// Write what put_openers and put_closers put, past any buffer of the
// stream, as the stream loop writes; false when writing failed.
bool write_openers(std::FILE* output, const Options& options);
bool write_closers(std::FILE* output, const Options& options);

}  // namespace kiv

#endif  // KIV_CONVERT_WRAPPERS_H_
