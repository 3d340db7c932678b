// The functions the web page calls in the WebAssembly build: the converter
// on a whole buffer and what the page needs to lay out its options (the
// option table, the help screen's wording, the version). The page owns
// both buffers and gets them from malloc.

#include <emscripten/emscripten.h>

#include <cstddef>
#include <cstring>
#include <type_traits>

#include "convert/convert_buffer.h"
#include "options/options.h"
#include "texts/help.h"
#include "texts/messages.h"

namespace {

// Options with the flags of every row whose bit is set in `rows`.
static_assert(kiv::kOptionCount <= 32, "a bit of `rows` for every option");
kiv::Options options_of(unsigned rows) {
  kiv::Options options;
  for (int row = 0; row < kiv::kOptionCount; ++row) {
    if (rows & (1u << row)) kiv::set_option_flags(row, options);
  }
  return options;
}

// Options is a record of booleans; two records are equal when their bytes
// are.
static_assert(std::has_unique_object_representations_v<kiv::Options>);
bool same_flags(const kiv::Options& a, const kiv::Options& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE const char* kiv_version() { return kiv::kVersion; }

EMSCRIPTEN_KEEPALIVE const char* kiv_help_options() {
  return kiv::help_option_list();
}

EMSCRIPTEN_KEEPALIVE int kiv_option_count() { return kiv::kOptionCount; }

EMSCRIPTEN_KEEPALIVE const char* kiv_option_name(int row) {
  return row >= 0 && row < kiv::kOptionCount ? kiv::option_name(row) : "";
}

// Tells whether option `row` sets every flag that option `other` sets, so
// that ticking `row` also stands for `other`.
EMSCRIPTEN_KEEPALIVE int kiv_option_includes(int row, int other) {
  if (row < 0 || other < 0 || row >= kiv::kOptionCount ||
      other >= kiv::kOptionCount) {
    return 0;
  }
  kiv::Options alone = options_of(1u << row);
  kiv::Options both = options_of((1u << row) | (1u << other));
  return same_flags(alone, both);
}

EMSCRIPTEN_KEEPALIVE std::size_t kiv_output_room(std::size_t n) {
  return kiv::converted_size_limit(n);
}

// Converts in[0, n) with the options whose rows are set in `rows` (bit i:
// row i of the option table) into out, which holds kiv_output_room(n)
// bytes, and returns the length of the result.
EMSCRIPTEN_KEEPALIVE std::size_t kiv_convert(const unsigned char* in,
                                             std::size_t n, unsigned rows,
                                             unsigned char* out) {
  return kiv::convert_buffer(in, n, options_of(rows), out);
}

}  // extern "C"
