#ifndef KIV_CONVERT_WRAPPERS_H_
#define KIV_CONVERT_WRAPPERS_H_

#include <cstdio>

#include "options/options.h"

namespace kiv {

// Writes the program frames (-Du) and print commands (-D, -Du) that open
// around the converted text, for every chosen syntax.
void write_openers(std::FILE* output, const Options& options);

// Writes the matching print-command and frame closers, then, when -D meets
// more than one syntax, the warning that such output is nonsense.
void write_closers(std::FILE* output, const Options& options);

}  // namespace kiv

#endif  // KIV_CONVERT_WRAPPERS_H_
