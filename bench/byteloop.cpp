// The baseline of the benchmark: the filter's rules as the obvious loop of
// fgetc, ungetc and fputc, one byte at a time through stdio. It writes what
// Kiv writes between the openers and the closers, so the benchmark can also
// check that both agree on the whole corpus.
//
//   byteloop SOURCE TARGET [OPTIONS]

#include <cstdio>

#include "options/options.h"

namespace {

void put_escaped(int c, const kiv::Options& o, std::FILE* out) {
  const char* form = nullptr;
  switch (c) {
    case '\t': form = o.escape_tab ? "\\t" : nullptr; break;
    case '"': form = o.escape_quote ? "\\\"" : nullptr; break;
    case '\\': form = o.escape_backslash ? "\\\\" : nullptr; break;
    case '/': form = o.escape_slash ? "\\/" : nullptr; break;
    case '|': form = o.escape_bar ? "\\|" : nullptr; break;
    case '.': form = o.escape_dot ? "\\." : nullptr; break;
    case ';': form = o.escape_semicolon ? "\\;" : nullptr; break;
    case '*': form = o.escape_star ? "\\*" : nullptr; break;
    case '#': form = o.escape_hash ? "\\#" : nullptr; break;
    case '&': form = o.escape_ampersand ? "\\&" : nullptr; break;
    case '(': form = o.escape_parens ? "\\(" : nullptr; break;
    case ')': form = o.escape_parens ? "\\)" : nullptr; break;
    case '[': form = o.escape_brackets ? "\\[" : nullptr; break;
    case ']': form = o.escape_brackets ? "\\]" : nullptr; break;
    case '{': form = o.escape_braces ? "\\{" : nullptr; break;
    case '}': form = o.escape_braces ? "\\}" : nullptr; break;
    case '%': form = o.double_percent ? "%%" : nullptr; break;
    case '<': form = o.html_entities ? "&lt;" : nullptr; break;
    case '>': form = o.html_entities ? "&gt;" : nullptr; break;
    default: break;
  }
  if (form == nullptr) {
    std::fputc(c, out);
  } else {
    std::fputs(form, out);
  }
}

void byte_loop(std::FILE* in, std::FILE* out, const kiv::Options& o) {
  int current = ' ';
  int previous = ' ';
  while (current != EOF) {
    previous = current;
    current = std::fgetc(in);
    if (previous == '>' && !o.breaks_after_tag) {
      if (current == EOF) break;
      if (current == ' ') {
        if (o.keep_blanks) {
          std::fputc(' ', out);
        } else {
          current = '>';
        }
      } else if (current == '\n') {
        std::fputs(o.escape_newline ? "\\n" : "\n", out);
      } else {
        put_escaped(current, o, out);
      }
    } else if (current == '\n' || current == '\r' || current == EOF) {
      if (o.escape_newline) std::fputs("\\n", out);
    } else if (current == ' ' && !o.keep_blanks) {
      int next = std::fgetc(in);
      if (next != '\n' && next != '\r') std::fputc(' ', out);
      if (next != EOF) std::ungetc(next, in);
    } else {
      put_escaped(current, o, out);
    }
  }
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: byteloop SOURCE TARGET [OPTIONS]\n");
    return 2;
  }
  std::FILE* in = std::fopen(argv[1], "rb");
  if (in == nullptr) {
    std::fprintf(stderr, "byteloop: cannot open %s\n", argv[1]);
    return 1;
  }
  std::FILE* out = std::fopen(argv[2], "wb");
  if (out == nullptr) {
    std::fprintf(stderr, "byteloop: cannot create %s\n", argv[2]);
    return 1;
  }
  // Options start after the two names; parse_options skips argv[0].
  kiv::Options options = kiv::parse_options(argc - 2, argv + 2);
  byte_loop(in, out, options);
  bool ok = !std::ferror(in) && !std::ferror(out);
  std::fclose(in);
  if (std::fclose(out) != 0) ok = false;
  if (!ok) std::fprintf(stderr, "byteloop: reading or writing failed\n");
  return ok ? 0 : 1;
}
