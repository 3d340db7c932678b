// Writes the benchmark corpus: a deterministic mix of markup, C code and
// prose of any size. The same size always gives the same bytes, so figures
// from different machines and days measure the same work.
//
//   corpus SIZE FILE     SIZE in bytes, or with a K, M or G suffix
//   corpus --stats FILE  prints how often the filter's bytes occur in FILE

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr std::uint64_t kSeed = 0x4b69762d62656e63ULL;  // "Kiv-benc"

// splitmix64: small, fast and the same on every platform.
struct Random {
  std::uint64_t state;
  std::uint64_t next() {
    std::uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }
  unsigned below(unsigned n) { return static_cast<unsigned>(next() % n); }
};

template <std::size_t N>
const char* pick(Random& random, const char* const (&list)[N]) {
  return list[random.below(N)];
}

const char* const kWords[] = {
    "der",      "die",       "und",        "Text",      "eine",
    "Zeile",    "wird",      "nicht",      "mit",       "Programm",
    "Ausgabe",  "Datei",     "the",        "filter",    "string",
    "between",  "quotes",    "literal",    "converter", "Umbruch",
    "Zeichen",  "werden",    "gelesen",    "Byte",      "schnell",
    "Beispiel", "Ergebnis",  "Rechnung",   "Woche",     "Kunde",
    "Angebot",  "Lieferung", "Bestellung", "Preis",     "Rabatt",
    "also",     "only",      "markup",     "code",      "prose",
    "Zeilenumbruchzeichen", "Standardeingabe", "Anfuehrungszeichen",
    "Tabulatorzeichen", "Druckumgebung", "Geschwindigkeit",
    "Rueckstrich", "Schraegstriche", "implementation", "performance",
};
const char* const kTags[] = {"p", "div", "span", "a", "li", "td", "b", "em"};
const char* const kAttributes[] = {"class", "id", "title", "href", "style"};
const char* const kTypes[] = {"int", "char*", "size_t", "double", "bool"};
const char* const kNames[] = {"count", "total", "buffer", "index", "value",
                              "length", "result", "offset"};
const char* const kCalls[] = {"printf", "fputs", "strlen", "memcpy", "update"};
const char* const kPunctuation[] = {",", ",", ".", ".", ";", ":", "!", "?"};

struct Writer {
  std::FILE* file;
  std::uint64_t left;
  std::string line;

  // Writes the line (cut at the size limit) and tells whether room is left.
  bool flush() {
    std::size_t n = line.size() < left ? line.size() : left;
    if (std::fwrite(line.data(), 1, n, file) != n) return false;
    left -= n;
    line.clear();
    return left > 0;
  }
};

void add_words(Random& random, std::string& line, unsigned count) {
  for (unsigned i = 0; i < count; ++i) {
    if (i > 0) line += ' ';
    line += pick(random, kWords);
    if (random.below(7) == 0) line += pick(random, kPunctuation);
  }
}

void markup_line(Random& random, std::string& line) {
  unsigned depth = random.below(3);
  line.append(depth, ' ');
  const char* tag = pick(random, kTags);
  line += '<';
  line += tag;
  if (random.below(2) == 0) {
    line += ' ';
    line += pick(random, kAttributes);
    line += "=\"";
    line += pick(random, kWords);
    line += random.below(3) == 0 ? "/x.html\"" : "\"";
  }
  line += "> ";
  add_words(random, line, 2 + random.below(5));
  if (random.below(5) == 0) line += " &amp; 50%";
  line += "</";
  line += tag;
  line += '>';
  if (random.below(6) == 0) line += ' ';
}

void code_line(Random& random, std::string& line) {
  unsigned depth = random.below(3);
  if (random.below(4) == 0) {
    line.append(depth, '\t');
  } else {
    line.append(depth * 2, ' ');
  }
  switch (random.below(5)) {
    case 0:
      line += pick(random, kTypes);
      line += ' ';
      line += pick(random, kNames);
      line += " = ";
      line += pick(random, kNames);
      line += '[';
      line += pick(random, kNames);
      line += "] * 2;";
      break;
    case 1:
      line += "if (";
      line += pick(random, kNames);
      line += " > ";
      line += pick(random, kNames);
      line += ") {";
      break;
    case 2:
      line += pick(random, kCalls);
      line += "(\"";
      add_words(random, line, 2 + random.below(3));
      line += ": %d\\n\", ";
      line += pick(random, kNames);
      line += ");";
      break;
    case 3:
      line += "/* ";
      add_words(random, line, 3 + random.below(4));
      line += " */";
      break;
    default:
      line += "} else { ";
      line += pick(random, kNames);
      line += "++; }";
      break;
  }
}

void prose_line(Random& random, std::string& line) {
  add_words(random, line, 4 + random.below(7));
  line += '.';
  if (random.below(8) == 0) line += ' ';
}

int write_corpus(std::uint64_t size, const char* path) {
  std::FILE* file = std::fopen(path, "wb");
  if (file == nullptr) {
    std::fprintf(stderr, "corpus: cannot create %s\n", path);
    return 1;
  }
  Random random{kSeed};
  Writer writer{file, size, {}};
  // Blocks of one kind, as in a real mixed text.
  while (writer.left > 0) {
    unsigned kind = random.below(3);
    unsigned lines = 3 + random.below(12);
    bool room = true;
    for (unsigned i = 0; i < lines && room; ++i) {
      if (kind == 0) markup_line(random, writer.line);
      if (kind == 1) code_line(random, writer.line);
      if (kind == 2) prose_line(random, writer.line);
      writer.line += random.below(20) == 0 ? "\r\n" : "\n";
      room = writer.flush();
    }
  }
  bool ok = std::fclose(file) == 0;
  if (!ok) std::fprintf(stderr, "corpus: cannot write %s\n", path);
  return ok ? 0 : 1;
}

int print_stats(const char* path) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) {
    std::fprintf(stderr, "corpus: cannot open %s\n", path);
    return 1;
  }
  std::uint64_t count[256] = {};
  std::uint64_t total = 0;
  for (int c; (c = std::fgetc(file)) != EOF; ++total) ++count[c];
  std::fclose(file);
  if (total == 0) total = 1;
  const char looked_at[] = "\n\r \t\"\\/|.;*#%&()[]{}<>";
  std::uint64_t special = 0;
  for (const char* p = looked_at; *p != '\0'; ++p) {
    special += count[static_cast<unsigned char>(*p)];
  }
  std::printf("bytes %llu, line feeds %.2f%%, blanks %.2f%%, "
              "bytes some rule looks at %.2f%%\n",
              static_cast<unsigned long long>(total),
              100.0 * count['\n'] / total, 100.0 * count[' '] / total,
              100.0 * special / total);
  return 0;
}

bool parse_size(const char* text, std::uint64_t& size) {
  char* end = nullptr;
  unsigned long long value = std::strtoull(text, &end, 10);
  if (end == text) return false;
  switch (*end) {
    case 'K': value <<= 10; ++end; break;
    case 'M': value <<= 20; ++end; break;
    case 'G': value <<= 30; ++end; break;
    default: break;
  }
  size = value;
  return *end == '\0';
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc == 3 && std::strcmp(argv[1], "--stats") == 0) {
    return print_stats(argv[2]);
  }
  std::uint64_t size = 0;
  if (argc != 3 || !parse_size(argv[1], size)) {
    std::fprintf(stderr, "usage: corpus SIZE FILE | corpus --stats FILE\n");
    return 2;
  }
  return write_corpus(size, argv[2]);
}
