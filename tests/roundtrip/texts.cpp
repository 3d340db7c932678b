#include "tests/roundtrip/texts.h"

#include <random>

namespace kiv::roundtrip {
namespace {

bool is_line_break(char c) { return c == '\n' || c == '\r'; }

bool php_name_start(unsigned char c) {
  return c == '_' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
         c >= 0x80;
}

// Length of the well-formed UTF-8 sequence at text[i], or 0.
std::size_t utf8_sequence(std::string_view text, std::size_t i) {
  unsigned char lead = static_cast<unsigned char>(text[i]);
  if (lead < 0x80) return 1;
  std::size_t length;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the 2nd byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // overlong
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // beyond U+10FFFF
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    unsigned char c = static_cast<unsigned char>(text[i + k]);
    if (k == 1 ? (c < low || c > high) : (c < 0x80 || c > 0xBF)) return 0;
  }
  return length;
}

void append_utf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Characters that the escapes, the line-break rules or the target
// languages treat specially, drawn more often than the rest.
constexpr std::string_view kAwkward =
    "   \n\n\r\t\"\"\\\\%%/.;*&[]#$`?!<>{}()|'=-_:@^~0aZ";

// Non-ASCII characters for UTF-8 texts: Latin letters, typography, the
// line and paragraph separators, a byte order mark, an emoji, the limits
// of each sequence length.
constexpr std::uint32_t kWideCharacters[] = {
    0xA0,   0xE4,   0xF6,   0xFC,   0xDF,    0x7FF,   0x800,   0x20AC,
    0x2013, 0x201E, 0x201C, 0x2028, 0x2029,  0xFEFF,  0xFFFD,  0xFFFF,
    0x10000, 0x1F600, 0x10FFFF,
};

// Pieces of markup, script and text for texts meant for a page.
constexpr std::string_view kPagePieces[] = {
    "<div class=\"note\" id='n1'>", "</div>", "<p>", "</p>", "<b>", "</b>",
    "<a href=\"/angebot?x=1&y=2\" title=\"a/b\">", "</a>", "&amp;", "&lt;",
    "&gt;", "&#8364;", "&nbsp;", "</script>", "</SCRIPT >", "<script>",
    "<SCRIPT type=\"text/javascript\">", "<!--", "-->", "<!-- Hinweis -->",
    "var x = 1;", "\\", "\\n", "\"", "'", "/", "//", "\r", "\r\n", "\n",
    " \n", "\t", "  ", " ", "Text", "Preis: 5 Euro", "\xc3\xa4", "\xc3\xb6",
    "\xc3\xbc", "\xc3\x9f", "\xf0\x9f\x98\x80", "\xe2\x80\xa8",
    "\xe2\x80\xa9", "${x}", "`", "$", "{", "}",
};

// Checks only the end of the text: every rule above looks at no more
// than four bytes. The end starts on a character boundary.
bool tail_carried(const std::string& text, Carries carries, bool utf8) {
  std::size_t from = text.size() > 4 ? text.size() - 4 : 0;
  while (utf8 && from > 0 && (static_cast<unsigned char>(text[from]) & 0xC0) == 0x80) {
    --from;
  }
  return carries(std::string_view(text).substr(from));
}

}  // namespace

std::string printed_text(std::string_view text) {
  std::string printed;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (is_line_break(c)) {
      printed += '\n';
    } else if (c == ' ' && i + 1 < text.size() && is_line_break(text[i + 1])) {
      continue;
    } else {
      printed += c;
    }
  }
  printed += '\n';
  return printed;
}

bool c_carries(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\0') return false;
    if (text.substr(i, 2) == "??" && i + 2 < text.size() &&
        std::string_view("=/'()!<>-").find(text[i + 2]) != std::string_view::npos) {
      return false;
    }
  }
  return true;
}

bool php_carries(std::string_view text) {
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    unsigned char next = static_cast<unsigned char>(text[i + 1]);
    if (text[i] == '$' && (php_name_start(next) || next == '{')) return false;
    if (text[i] == '{' && next == '$') return false;
  }
  return true;
}

bool javascript_carries(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    std::size_t length = utf8_sequence(text, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

bool bash_carries(std::string_view text) {
  return text.find_first_of(std::string_view("\0$`\\", 4)) == std::string_view::npos;
}

bool sed_carries(std::string_view) { return true; }

const std::vector<Text>& realistic_texts() {
  static const std::vector<Text> texts = {
      {"html with attributes and entities",
       "<div class=\"note\" id='n1'>\n"
       "  <p>Preis: 50% Rabatt &amp; mehr &lt;jetzt&gt; &#8364;</p>  \n"
       "  <a href=\"/angebot?x=1&y=2\" title=\"a/b\">Zum Angebot</a>\n"
       "</div>\n"},
      {"script element", "<script>document.write(\"<b>x</b>\");</script>\n"},
      {"php tags", "<?php echo 'Hallo'; ?>\n<p>Text</p> <?= 1 + 2 ?>\n"},
      {"markup whose line breaks follow closing brackets",
       "<ul>\n   <li>eins</li>\n   <li>zwei</li> \n</ul>\n"},
      {"c code with format strings",
       "#include <stdio.h>\n"
       "int main(void) {\n"
       "\tprintf(\"%s: %5.2f%%\\n\", \"Wert\", 42.0);\n"
       "\treturn 0; /* fertig */\n"
       "}\n"},
      {"json", "{\"name\": \"Kiv\", \"version\": \"5.1\", \"tags\": [\"c\", \"php\"],\n"
               " \"pfad\": \"C:\\\\temp\\\\neu\", \"leer\": null, \"zahl\": -1.5e3}\n"},
      {"json without backslashes",
       "{\n  \"id\": 7,\n  \"werte\": [1, 2, 3],\n  \"text\": \"a/b; c*d & e\"\n}\n"},
      {"shell snippet",
       "for f in *.txt; do\n  echo \"$f\" | tr a-z A-Z > \"${f%.txt}.out\"\ndone\n"},
      {"table with tabs", "Name\tAlter\tOrt\nAnna\t31\tBerlin\nBo\t\t\tKiel\t\n"},
      {"windows line ends", "Zeile eins\r\nZeile zwei \r\nZeile drei"},
      {"old mac line ends", "eins\rzwei \r\rdrei\r"},
      {"trailing blanks", "Ende mit Blanks   \nund eine Zeile  \n \n  "},
      {"utf-8 text",
       "Gr\xc3\xbc\xc3\x9f" "e aus K\xc3\xb6ln \xe2\x80\x93 10 \xe2\x82\xac f\xc3\xbcr "
       "\xe2\x80\x9e" "alles\xe2\x80\x9c \xf0\x9f\x98\x80\n"},
      {"latin-1 text", "Gr\xfc\xdf" "e aus K\xf6ln, 10 \xa4 f\xfcr alles\n"},
      {"empty text", ""},
      {"only line breaks", "\n\n\r\n"},
      {"sed specials", "a/b.c;d*e[f]g&h#i|j(k){l} \\1 & \\n\n"},
      {"quotes and backslashes",
       "Er sagte: \"C:\\Programme\\neu\" \\\\ und '\\t' \\\n"},
      {"the warning's example", "Dies ist ein Quelltext.\n"},
      {"control characters", "\x01\x07\x1b[31mrot\x1b[0m\x7f\f\v\n"},
      {"question marks", "Wie bitte?? Echt?!? Ja.\n"},
      {"prices and percent", "Nur heute: 5 $ statt 10 $, also 50 % (50%%).\n"},
      {"script end tags in any case",
       "Ende? </script> oder </SCRIPT > oder </Script\t>, nicht <\\/script>\n"},
      {"comments and script tags",
       "<!-- Hinweis --> <script>var x = 1;</script> -->\n<!--<script>\n"},
      {"comment left open", "vorher <!-- offen, <script> und kein Ende\n"},
      {"ends with a backslash", "Pfad: C:\\temp\\"},
      {"line and paragraph separators",
       "eins\xe2\x80\xa8zwei\xe2\x80\xa9" "drei\n"},
      {"template literal", "Preis: ${x} Euro, `code` und `${a + b}`\n"},
      {"long line",
       std::string(40, '-') + "\n" +
           [] {
             std::string s;
             for (int i = 0; i < 60; ++i) s += "Lorem ipsum \"dolor\" sit amet; ";
             return s;
           }()},
  };
  return texts;
}

std::vector<Text> realistic_texts_for(Carries carries) {
  std::vector<Text> chosen;
  for (const Text& text : realistic_texts()) {
    if (carries(text.bytes)) chosen.push_back(text);
  }
  return chosen;
}

std::vector<Text> random_texts(std::uint32_t seed, int count, Carries carries,
                               bool utf8) {
  std::mt19937 rng(seed);
  auto below = [&rng](std::uint32_t n) { return static_cast<std::uint32_t>(rng() % n); };
  std::vector<Text> texts;
  for (int n = 0; n < count; ++n) {
    // Mostly short texts, now and then a long one.
    std::uint32_t length = n % 25 == 24 ? 200 + below(1300) : below(60);
    std::string bytes;
    while (bytes.size() < length) {
      std::string candidate = bytes;
      std::uint32_t pick = below(100);
      if (pick < 50) {
        candidate += kAwkward[below(kAwkward.size())];
      } else if (!utf8) {
        candidate += static_cast<char>(below(256));
      } else if (pick < 80) {
        candidate += static_cast<char>(below(128));
      } else {
        append_utf8(candidate,
                    kWideCharacters[below(std::size(kWideCharacters))]);
      }
      if (tail_carried(candidate, carries, utf8)) bytes = candidate;
    }
    texts.push_back({"random " + std::to_string(n) + " (seed " +
                         std::to_string(seed) + ")",
                     bytes});
  }
  return texts;
}

std::vector<Text> random_page_texts(std::uint32_t seed, int count) {
  std::mt19937 rng(seed);
  auto below = [&rng](std::uint32_t n) { return static_cast<std::uint32_t>(rng() % n); };
  std::vector<Text> texts;
  for (int n = 0; n < count; ++n) {
    std::uint32_t pieces = n % 25 == 24 ? 40 + below(80) : below(12);
    std::string bytes;
    for (std::uint32_t i = 0; i < pieces; ++i) {
      bytes += kPagePieces[below(std::size(kPagePieces))];
    }
    texts.push_back({"random page text " + std::to_string(n) + " (seed " +
                         std::to_string(seed) + ")",
                     bytes});
  }
  return texts;
}

}  // namespace kiv::roundtrip
