#include "convert/filter.h"

#include <cstring>

#if defined(__SSE2__) || defined(_M_X64) || \
    (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define KIV_HAVE_SSE2 1
#include <emmintrin.h>
#if defined(_MSC_VER) && !defined(__clang__)
#include <intrin.h>
#endif
#endif

namespace kiv {
namespace {

struct EscapeRow {
  bool Options::*flag;
  unsigned char byte;
  const char* form;
};

constexpr EscapeRow kEscapeTable[] = {
    {&Options::escape_tab, '\t', "\\t"},
    {&Options::escape_quote, '"', "\\\""},
    {&Options::escape_backslash, '\\', "\\\\"},
    {&Options::escape_slash, '/', "\\/"},
    {&Options::escape_bar, '|', "\\|"},
    {&Options::escape_dot, '.', "\\."},
    {&Options::escape_semicolon, ';', "\\;"},
    {&Options::escape_star, '*', "\\*"},
    {&Options::escape_hash, '#', "\\#"},
    {&Options::escape_ampersand, '&', "\\&"},
    {&Options::escape_parens, '(', "\\("},
    {&Options::escape_parens, ')', "\\)"},
    {&Options::escape_brackets, '[', "\\["},
    {&Options::escape_brackets, ']', "\\]"},
    {&Options::escape_braces, '{', "\\{"},
    {&Options::escape_braces, '}', "\\}"},
    {&Options::double_percent, '%', "%%"},
    {&Options::html_entities, '<', "&lt;"},
    {&Options::html_entities, '>', "&gt;"},
};

inline unsigned char* put(unsigned char* out, const FilterTable& table,
                          unsigned char c) {
  std::memcpy(out, table.form[c], 4);
  return out + table.form_length[c];
}

inline unsigned char* put_line_break(unsigned char* out,
                                     const FilterTable& table) {
  if (table.escape_newline) {
    out[0] = '\\';
    out[1] = 'n';
    return out + 2;
  }
  return out;
}

#if KIV_HAVE_SSE2
inline int lowest_bit(unsigned mask) {
#if defined(_MSC_VER) && !defined(__clang__)
  unsigned long index;
  _BitScanForward(&index, mask);
  return static_cast<int>(index);
#else
  return __builtin_ctz(mask);
#endif
}
#endif

// Finds the end of a run of plain bytes. With SSE2 it checks 16 bytes
// at a time against every special byte value of the run's table.
struct PlainScanner {
#if KIV_HAVE_SSE2
  __m128i specials[sizeof(FilterTable::specials)];
#endif
  const FilterTable* table;
};

PlainScanner make_scanner(const FilterTable& table) {
  PlainScanner scanner;
#if KIV_HAVE_SSE2
  for (int i = 0; i < table.special_count; ++i) {
    scanner.specials[i] = _mm_set1_epi8(static_cast<char>(table.specials[i]));
  }
#endif
  scanner.table = &table;
  return scanner;
}

// Copies the run of plain bytes that starts at p to out and returns the
// first byte that is not plain (or end); out advances by the run's length.
// Up to 15 bytes beyond the run may be stored too; later writes cover them.
inline const unsigned char* copy_plain(const PlainScanner& scanner,
                                       const unsigned char* p,
                                       const unsigned char* end,
                                       unsigned char*& out) {
  const FilterTable& table = *scanner.table;
#if KIV_HAVE_SSE2
  while (end - p >= 16) {
    __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), block);
    __m128i hits = _mm_setzero_si128();
    for (int i = 0; i < table.special_count; ++i) {
      hits = _mm_or_si128(hits, _mm_cmpeq_epi8(block, scanner.specials[i]));
    }
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hits));
    if (mask != 0) {
      int skip = lowest_bit(mask);
      out += skip;
      return p + skip;
    }
    p += 16;
    out += 16;
  }
#endif
  while (p < end && table.kind[*p] == ByteKind::plain) *out++ = *p++;
  return p;
}

}  // namespace

FilterTable make_filter_table(const Options& options) {
  FilterTable table{};
  for (int c = 0; c < 256; ++c) {
    table.kind[c] = ByteKind::plain;
    table.form[c][0] = static_cast<char>(c);
    table.form_length[c] = 1;
  }
  for (const EscapeRow& row : kEscapeTable) {
    if (!(options.*row.flag)) continue;
    std::size_t length = std::strlen(row.form);
    std::memcpy(table.form[row.byte], row.form, length);
    table.form_length[row.byte] = static_cast<unsigned char>(length);
    table.kind[row.byte] = ByteKind::escaped;
  }
  table.kind['\n'] = ByteKind::line_break;
  table.kind['\r'] = ByteKind::line_break;
  if (!options.breaks_after_tag) table.kind['>'] = ByteKind::tag_end;
  table.escape_newline = options.escape_newline;
  table.keep_blanks = options.keep_line_end_blank;
  for (int c = 0; c < 256; ++c) {
    if (table.kind[c] != ByteKind::plain) {
      table.specials[table.special_count++] = static_cast<unsigned char>(c);
    }
  }
  return table;
}

// Blanks are copied like plain bytes. When a line break follows a blank in
// normal mode, that blank is the last byte written, so it is taken back;
// a blank at the end of a chunk is held back instead, because the line
// break that decides its fate lies in the next chunk.
std::size_t filter_chunk(const FilterTable& table, FilterState& state,
                         const unsigned char* in, std::size_t n,
                         unsigned char* out) {
  const unsigned char* p = in;
  const unsigned char* const end = in + n;
  unsigned char* o = out;
  if (p == end) return 0;
  const PlainScanner scanner = make_scanner(table);
  if (state.pending_blank) {
    state.pending_blank = false;
    if (*p != '\n' && *p != '\r') *o++ = ' ';
  }
  while (p < end) {
    if (state.after_tag) {
      unsigned char c = *p++;
      if (c == ' ') {
        if (table.keep_blanks) {
          *o++ = ' ';
          state.after_tag = false;
        }
      } else if (c == '\n') {
        if (table.escape_newline) {
          o = put_line_break(o, table);
        } else {
          *o++ = '\n';
        }
        state.after_tag = false;
      } else {
        o = put(o, table, c);
        state.after_tag = c == '>';
      }
      continue;
    }
    p = copy_plain(scanner, p, end, o);
    if (p == end) break;
    unsigned char c = *p;
    switch (table.kind[c]) {
      case ByteKind::line_break:
        if (!table.keep_blanks && p > in && p[-1] == ' ') --o;
        o = put_line_break(o, table);
        break;
      case ByteKind::tag_end:
        o = put(o, table, c);
        state.after_tag = true;
        break;
      case ByteKind::escaped:
      case ByteKind::plain:
        o = put(o, table, c);
        break;
    }
    ++p;
  }
  if (!table.keep_blanks && !state.after_tag && end[-1] == ' ') {
    --o;
    state.pending_blank = true;
  }
  return static_cast<std::size_t>(o - out);
}

std::size_t filter_finish(const FilterTable& table, FilterState& state,
                          unsigned char* out) {
  unsigned char* o = out;
  if (state.pending_blank) {
    *o++ = ' ';
    state.pending_blank = false;
  } else if (state.after_tag) {
    return 0;
  }
  return static_cast<std::size_t>(put_line_break(o, table) - out);
}

ConvertStatus convert_text(std::FILE* input, std::FILE* output,
                           const Options& options) {
  // Input is read in large blocks and filtered in slices, so that even a
  // slice of nothing but "&lt;" fits the output buffer; output is written
  // once at least kSlice * kMaxExpansion bytes have gathered.
  constexpr std::size_t kBlock = 64 * 1024;
  constexpr std::size_t kSlice = 16 * 1024;
  constexpr std::size_t kRoom = kSlice * kMaxExpansion + kChunkSlack;
  constexpr std::size_t kOutSize = 2 * kRoom;
  unsigned char in[kBlock];
  unsigned char out[kOutSize];
  const FilterTable table = make_filter_table(options);
  FilterState state;
  std::size_t used = 0;
  for (;;) {
    std::size_t got = std::fread(in, 1, kBlock, input);
    for (std::size_t at = 0; at < got; at += kSlice) {
      std::size_t n = got - at < kSlice ? got - at : kSlice;
      used += filter_chunk(table, state, in + at, n, out + used);
      if (kOutSize - used < kRoom) {
        if (std::fwrite(out, 1, used, output) != used) {
          return ConvertStatus::write_failed;
        }
        used = 0;
      }
    }
    if (got < kBlock) break;
  }
  if (std::ferror(input)) return ConvertStatus::read_failed;
  used += filter_finish(table, state, out + used);
  if (std::fwrite(out, 1, used, output) != used) {
    return ConvertStatus::write_failed;
  }
  return ConvertStatus::ok;
}

}  // namespace kiv
