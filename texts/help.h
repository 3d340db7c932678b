#ifndef KIV_TEXTS_HELP_H_
#define KIV_TEXTS_HELP_H_

#include <cstdio>

namespace kiv {

// Prints the help screen: banner, version, summary, syntax line with the
// program path as it was called, and the option list.
void show_help(std::FILE* output, const char* program_path);

// The option list of the help screen, one line per option ("  -z\t..."),
// groups parted by empty lines; plain text, not a format.
const char* help_option_list();

// Prints the usage error for a call that names no source or no target.
void show_usage_error(std::FILE* output, const char* program_path);

}  // namespace kiv

#endif  // KIV_TEXTS_HELP_H_
