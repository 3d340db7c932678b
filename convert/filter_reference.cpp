#include "convert/filter_reference.h"

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
        if (o.keep_blanks) {
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
      } else if (current == ' ' && !o.keep_blanks) {
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

}  // namespace kiv
