#include "tests/filter_runs.h"

#include <cstdio>
#include <vector>

namespace kiv {

std::string fast_convert(const std::string& input, const Options& options,
                         std::size_t chunk, ScanLevel level, bool crlf) {
  if (chunk == 0) chunk = input.size() > 0 ? input.size() : 1;
  const FilterTable table = make_filter_table(options, crlf);
  FilterState state;
  std::vector<unsigned char> buffer(chunk * kMaxExpansion + kChunkSlack);
  std::string out;
  const auto* bytes = reinterpret_cast<const unsigned char*>(input.data());
  for (std::size_t at = 0; at < input.size(); at += chunk) {
    std::size_t n = input.size() - at < chunk ? input.size() - at : chunk;
    std::size_t made = filter_chunk_at(level, table, state, bytes + at, n,
                                       buffer.data());
    out.append(reinterpret_cast<const char*>(buffer.data()), made);
  }
  std::size_t made = filter_finish(table, state, buffer.data());
  out.append(reinterpret_cast<const char*>(buffer.data()), made);
  return out;
}

std::string with_crlf(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '\n' ? "\r\n" : std::string(1, c);
  return out;
}

std::string stream_convert(const std::string& input, const Options& options,
                           ConvertStatus& status, LineEnds line_ends) {
  std::FILE* in = std::tmpfile();
  std::FILE* out = std::tmpfile();
  std::string result;
  status = ConvertStatus::read_failed;
  if (in != nullptr && out != nullptr) {
    std::fwrite(input.data(), 1, input.size(), in);
    std::rewind(in);
    status = convert_text(in, out, options, line_ends, read_first_block(in));
    std::rewind(out);
    char buffer[65536];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, out)) > 0) {
      result.append(buffer, got);
    }
  }
  if (in != nullptr) std::fclose(in);
  if (out != nullptr) std::fclose(out);
  return result;
}

std::string collapse_in_blocks(const std::string& text, std::size_t block) {
  std::string out;
  std::string pending;
  for (std::size_t at = 0; at <= text.size(); at += block) {
    bool at_end = at + block >= text.size();
    std::string data = pending + text.substr(at, block);
    std::string joined(data.size(), '\0');
    Collapsed collapsed = collapse_crlf(
        reinterpret_cast<const unsigned char*>(data.data()), data.size(),
        at_end, reinterpret_cast<unsigned char*>(joined.data()));
    out.append(reinterpret_cast<const char*>(collapsed.bytes), collapsed.kept);
    pending = collapsed.cr_held ? "\r" : "";
    if (at_end) break;
  }
  return out;
}

std::string collapsed_slowly(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    bool goes = text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n';
    if (!goes) out += text[i];
  }
  return out;
}

}  // namespace kiv
