#ifndef KIV_TEXTS_HELP_H_
#define KIV_TEXTS_HELP_H_

#include <cstdio>

namespace kiv {

// Prints the help screen: banner, version, summary, syntax line with the
// program path as it was called, and the option list.
void show_help(std::FILE* output, const char* program_path);

// Prints the usage error for a call that names no source or no target.
void show_usage_error(std::FILE* output, const char* program_path);

}  // namespace kiv

#endif  // KIV_TEXTS_HELP_H_
