#ifndef KIV_TESTS_PARSE_H_
#define KIV_TESTS_PARSE_H_

#include <vector>

#include "options/options.h"

namespace kiv {

// The options a command line with these arguments (after the program
// name) sets.
inline Options parse(std::vector<const char*> args) {
  args.insert(args.begin(), "Kiv");
  return parse_options(static_cast<int>(args.size()), args.data());
}

}  // namespace kiv

#endif  // KIV_TESTS_PARSE_H_
