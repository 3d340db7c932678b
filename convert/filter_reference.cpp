#include "convert/filter_reference.h"

#include <vector>

namespace kiv {
namespace {

constexpr int kEnd = -1;

struct Reader {
  const std::string& text;
  std::size_t at = 0;
  int pushed = kEnd - 1;  // nothing pushed back

  int get() {
    if (pushed != kEnd - 1) {
      int c = pushed;
      pushed = kEnd - 1;
      return c;
    }
    return at < text.size() ? static_cast<unsigned char>(text[at++]) : kEnd;
  }
  void unget(int c) {
    if (c != kEnd) pushed = c;
  }
};

void escape(std::string& out, int c, const Options& o) {
  switch (c) {
    case '\t': out += o.escape_tab ? "\\t" : "\t"; return;
    case '"': out += o.escape_quote ? "\\\"" : "\""; return;
    case '\\': out += o.escape_backslash ? "\\\\" : "\\"; return;
    case '/': out += o.escape_slash ? "\\/" : "/"; return;
    case '|': out += o.escape_bar ? "\\|" : "|"; return;
    case '.': out += o.escape_dot ? "\\." : "."; return;
    case ';': out += o.escape_semicolon ? "\\;" : ";"; return;
    case '*': out += o.escape_star ? "\\*" : "*"; return;
    case '#': out += o.escape_hash ? "\\#" : "#"; return;
    case '&': out += o.escape_ampersand ? "\\&" : "&"; return;
    case '(': out += o.escape_parens ? "\\(" : "("; return;
    case ')': out += o.escape_parens ? "\\)" : ")"; return;
    case '[': out += o.escape_brackets ? "\\[" : "["; return;
    case ']': out += o.escape_brackets ? "\\]" : "]"; return;
    case '{': out += o.escape_braces ? "\\{" : "{"; return;
    case '}': out += o.escape_braces ? "\\}" : "}"; return;
    case '%': out += o.double_percent ? "%%" : "%"; return;
    case '<': out += o.html_entities ? "&lt;" : "<"; return;
    case '>': out += o.html_entities ? "&gt;" : ">"; return;
    default: out += static_cast<char>(c); return;
  }
}

}  // namespace

std::string reference_convert(const std::string& input, const Options& o) {
  std::string out;
  Reader in{input};
  int current = ' ';
  int previous = ' ';
  while (current != kEnd) {
    previous = current;
    current = in.get();
    if (previous == '>' && !o.breaks_after_tag) {
      if (current == kEnd) break;
      if (current == ' ') {
        if (o.keep_line_end_blank) {
          out += ' ';
        } else {
          current = '>';
        }
      } else if (current == '\n') {
        out += o.escape_newline ? "\\n" : "\n";
      } else {
        escape(out, current, o);
      }
    } else {
      if (current == '\n' || current == '\r' || current == kEnd) {
        if (o.escape_newline) out += "\\n";
      } else if (current == ' ' && !o.keep_line_end_blank) {
        int next = in.get();
        if (next != '\n' && next != '\r') out += ' ';
        in.unget(next);
      } else {
        escape(out, current, o);
      }
    }
  }
  return out;
}

std::string fast_convert(const std::string& input, const Options& options,
                         std::size_t chunk, ScanLevel level) {
  if (chunk == 0) chunk = input.size() > 0 ? input.size() : 1;
  FilterTable table = make_filter_table(options);
  table.scan = level;
  FilterState state;
  std::vector<unsigned char> buffer(chunk * kMaxExpansion + kChunkSlack);
  std::string out;
  const auto* bytes = reinterpret_cast<const unsigned char*>(input.data());
  for (std::size_t at = 0; at < input.size(); at += chunk) {
    std::size_t n = input.size() - at < chunk ? input.size() - at : chunk;
    std::size_t made = filter_chunk(table, state, bytes + at, n, buffer.data());
    out.append(reinterpret_cast<const char*>(buffer.data()), made);
  }
  std::size_t made = filter_finish(table, state, buffer.data());
  out.append(reinterpret_cast<const char*>(buffer.data()), made);
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
    status = convert_text(in, out, options, line_ends);
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

}  // namespace kiv
