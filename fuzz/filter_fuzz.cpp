// libFuzzer target: the fast filter against the plain reference. The first
// bytes of the fuzz data choose the options, the chunk size, the scan level
// and whether the text goes through convert_text on real streams; the rest
// is the text. Any difference aborts.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "convert/filter.h"
#include "convert/filter_reference.h"
#include "options/options.h"

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
    &kiv::Options::escape_braces,    &kiv::Options::keep_line_end_blank,
    &kiv::Options::breaks_after_tag, &kiv::Options::html_entities,
};
constexpr std::size_t kHeader = 4;

std::string fast_in_chunks(const std::string& text, const kiv::Options& options,
                           std::size_t chunk, kiv::ScanLevel level) {
  kiv::FilterTable table = kiv::make_filter_table(options);
  table.scan = level;
  kiv::FilterState state;
  std::vector<unsigned char> buffer(chunk * kiv::kMaxExpansion +
                                    kiv::kChunkSlack);
  std::string out;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  for (std::size_t at = 0; at < text.size(); at += chunk) {
    std::size_t n = text.size() - at < chunk ? text.size() - at : chunk;
    std::size_t made =
        kiv::filter_chunk(table, state, bytes + at, n, buffer.data());
    out.append(reinterpret_cast<const char*>(buffer.data()), made);
  }
  std::size_t made = kiv::filter_finish(table, state, buffer.data());
  out.append(reinterpret_cast<const char*>(buffer.data()), made);
  return out;
}

std::string through_streams(const std::string& text,
                            const kiv::Options& options) {
  std::FILE* in = std::tmpfile();
  std::FILE* out = std::tmpfile();
  if (in == nullptr || out == nullptr) std::abort();
  std::fwrite(text.data(), 1, text.size(), in);
  std::rewind(in);
  if (kiv::convert_text(in, out, options) != kiv::ConvertStatus::ok) {
    std::abort();
  }
  std::rewind(out);
  std::string result;
  char buffer[4096];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, out)) > 0) {
    result.append(buffer, got);
  }
  std::fclose(in);
  std::fclose(out);
  return result;
}

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
  int levels = static_cast<int>(kiv::best_scan_level()) + 1;
  auto level = static_cast<kiv::ScanLevel>((data[2] >> 3) % levels);
  std::string text(reinterpret_cast<const char*>(data + kHeader),
                   size - kHeader);
  // Small chunks put boundaries everywhere; 0 means the whole text.
  std::size_t chunk = data[3] % 160;
  if (chunk == 0) chunk = text.size() + 1;

  const std::string expected = kiv::reference_convert(text, options);
  if (fast_in_chunks(text, options, chunk, level) != expected) {
    std::fprintf(stderr, "fast filter differs (chunk %zu, level %d)\n", chunk,
                 static_cast<int>(level));
    std::abort();
  }
  if (streams && through_streams(text, options) != expected) {
    std::fprintf(stderr, "convert_text differs\n");
    std::abort();
  }
  return 0;
}
