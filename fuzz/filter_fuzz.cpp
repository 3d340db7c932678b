// libFuzzer target: the fast filter and the CR LF join (collapse_crlf)
// against their plain references. The first bytes of the fuzz data choose
// the options, the chunk size, the scan level, the line ends written and
// read, and whether the text goes through convert_text on real streams;
// the rest is the text. Any difference aborts.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "convert/filter_reference.h"
#include "convert/scan/dispatch.h"
#include "options/options.h"
#include "tests/filter_runs.h"

namespace {

// Every flag the filter reads, one bit of the fuzz data each.
constexpr bool kiv::Options::*kFlags[] = {
    &kiv::Options::escape_newline,   &kiv::Options::escape_quote,
    &kiv::Options::escape_backslash, &kiv::Options::escape_tab,
    &kiv::Options::escape_slash,     &kiv::Options::escape_bar,
    &kiv::Options::escape_dot,       &kiv::Options::escape_semicolon,
    &kiv::Options::escape_star,      &kiv::Options::escape_hash,
    &kiv::Options::double_percent,   &kiv::Options::escape_ampersand,
    &kiv::Options::escape_parens,    &kiv::Options::escape_brackets,
    &kiv::Options::escape_braces,    &kiv::Options::keep_blanks,
    &kiv::Options::breaks_after_tag, &kiv::Options::html_entities,
};
constexpr std::size_t kHeader = 5;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  if (size < kHeader) return 0;
  std::uint32_t bits = data[0] | data[1] << 8 | (data[2] & 0x03) << 16;
  kiv::Options options;
  for (std::size_t i = 0; i < sizeof kFlags / sizeof kFlags[0]; ++i) {
    options.*kFlags[i] = (bits >> i & 1) != 0;
  }
  bool streams = (data[2] & 0x04) != 0;
  auto level = static_cast<kiv::ScanLevel>((data[2] >> 3) % kiv::kScanLevels);
  if (!kiv::scan_level_runs(level)) level = kiv::ScanLevel::scalar;
  std::string text(reinterpret_cast<const char*>(data + kHeader),
                   size - kHeader);
  // Small chunks put boundaries everywhere; 0 means the whole text.
  std::size_t chunk = data[3] % 160;
  if (chunk == 0) chunk = text.size() + 1;
  // The table of a Windows text file (LF as CR LF).
  bool crlf = (data[4] & 1) != 0;
  // A source whose CR LF pairs are joined on the way in.
  auto line_ends = (data[4] & 2) != 0 ? kiv::LineEnds::crlf_to_lf
                                      : kiv::LineEnds::as_read;

  const std::string expected = kiv::reference_convert(text, options);
  if (kiv::fast_convert(text, options, chunk, level, crlf) !=
      (crlf ? kiv::with_crlf(expected) : expected)) {
    std::fprintf(stderr, "fast filter differs (chunk %zu, level %d%s)\n",
                 chunk, static_cast<int>(level), crlf ? ", CR LF" : "");
    std::abort();
  }
  const std::string joined = kiv::collapsed_slowly(text);
  if (kiv::collapse_in_blocks(text, chunk) != joined) {
    std::fprintf(stderr, "collapse_crlf differs (blocks of %zu)\n", chunk);
    std::abort();
  }
  kiv::ConvertStatus status = kiv::ConvertStatus::ok;
  bool joins = line_ends == kiv::LineEnds::crlf_to_lf;
  if (streams &&
      (kiv::stream_convert(text, options, status, line_ends) !=
           (joins ? kiv::reference_convert(joined, options) : expected) ||
       status != kiv::ConvertStatus::ok)) {
    std::fprintf(stderr, "convert_text differs%s\n", joins ? " (CR LF joined)" : "");
    std::abort();
  }
  return 0;
}
