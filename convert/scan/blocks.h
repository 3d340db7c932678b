#ifndef KIV_CONVERT_SCAN_BLOCKS_H_
#define KIV_CONVERT_SCAN_BLOCKS_H_

// The filter's block algorithm, written once for every scan level.
//
//   filter_with(chunk):
//     settle the blank held back at the end of the last chunk
//     while bytes are left:
//       in after-tag mode: one byte by the after-tag rules
//       else, while more than two blocks of 64 bytes are left:
//         mask = the block's special bytes                  (scan)
//         copy the whole block to the output                (scan)
//         for each special byte, lowest first:              (scan)
//           stop at a tag end
//           take back a blank written just before a line break
//           write the byte's form in its place
//           copy the rest of the block again, behind the form
//       one byte by the normal-mode rules
//     hold back a final blank: the next chunk decides whether it stays
//
// What makes it fast, and why:
// - Plain bytes are never looked at one by one: a block is copied whole,
//   and only its special bytes, found by one vector scan, cost a step.
// - The step writes a form with one 4-byte move and moves the output by
//   the form's length minus one; the rest of the block is copied again
//   behind it. A dropped line break is a form of length 0.
// - Where first_special gives 64 for an empty mask (kBranchFree), the
//   specials are taken three at a time whether the block has that many or
//   not: how many a block holds is as good as random, and a loop that
//   stops after each would mispredict about once a block, which costs
//   more than the idle steps. An idle step uses the table entries past 255,
//   which write only beyond the block and move nothing.
// - The blank before a line break is copied like a plain byte and taken
//   back when the break comes: no look-ahead, no branch.
// - More than two blocks must be left, because the copy behind a special
//   byte reads up to one block past it; the chunk's last bytes and its
//   first (whose neighbour lies in the last chunk) go the slow way.
// - Levels that can (kExpands) build a block's output without a step per
//   special byte; they bring their own expand_block.
//
// A scan level is a record Scan with the traits kBranchFree and kExpands
// and, for a block of kBlockBytes at p:
//   std::uint64_t special_mask(const Scan&, const unsigned char* p)
//     a bit for every byte that is not plain; marking a plain byte too is
//     harmless (it is written unchanged), missing one is not
//   void copy_block(const Scan&, unsigned char* to, const unsigned char* from)
//   int first_special(const Scan&, std::uint64_t mask)
//     the position of the lowest set bit (64 for none where kBranchFree)
// or, where kExpands:
//   unsigned char* expand_block(const Scan&, const unsigned char* p,
//                               unsigned char* o)
//     writes the whole block's output (p[-1] and p[64] readable) and
//     returns its end.

#include <cstdint>
#include <cstring>

#include "convert/filter.h"
#include "convert/scan/arch.h"

#if defined(_MSC_VER) && !defined(__clang__)
#include <intrin.h>  // _BitScanForward
#endif

namespace kiv {
namespace blocks {

constexpr std::ptrdiff_t kBlockBytes = 64;

constexpr unsigned char kTagEnd = '>';

inline unsigned char* put(unsigned char* out, const FilterTable& table,
                          unsigned c) {
  std::memcpy(out, table.form[c], 4);
  return out + table.form_length[c];
}

// Handles the lowest special byte of the block at p, or, once the mask is
// empty, the entry past 255 that writes only beyond the block and moves
// nothing. o is where the block's first byte goes as long as the bytes
// from this one on are plain: the byte's form is written at its place, o
// moves by the form's extra length, and the rest of the block is copied
// again behind the form. Returns the byte's position if it is a tag end
// (nothing done), else -1; kTagEnds tells whether the table has any.
template <bool kTagEnds, class Scan>
KIV_ALWAYS_INLINE int filter_special(const FilterTable& table,
                                     const Scan& scan, const unsigned char* p,
                                     std::uint64_t& mask, unsigned char*& o) {
  int at = first_special(scan, mask);
  unsigned entry = p[at] | static_cast<unsigned>(mask == 0) << 8;
  if (kTagEnds && table.kind[entry] == ByteKind::tag_end) return at;
  // A blank directly before a line break is the last byte written.
  o -= table.drops_blank[entry] & (p[at - 1] == ' ');
  std::memcpy(o + at, table.form[entry], 4);
  o += table.form_length[entry] - 1;
  copy_block(scan, o + at + 1, p + at + 1);
  mask &= mask - 1;
  return -1;
}

// Filters normal-mode bytes from p (p[-1] must be readable) while more
// than two blocks are left. Stops at a tag end, which it leaves for the
// caller.
template <bool kTagEnds, class Scan>
KIV_ALWAYS_INLINE const unsigned char* filter_blocks(
    const FilterTable& table, const Scan& scan, const unsigned char* p,
    const unsigned char* end, unsigned char*& out) {
  unsigned char* o = out;
  while (end - p > 2 * kBlockBytes) {
    std::uint64_t mask = special_mask(scan, p);
    copy_block(scan, o, p);
    if constexpr (Scan::kBranchFree) {
      do {
        for (int step = 0; step < 3; ++step) {
          int tag = filter_special<kTagEnds>(table, scan, p, mask, o);
          if (tag >= 0) {
            out = o + tag;
            return p + tag;
          }
        }
      } while (mask != 0);
    } else {
      while (mask != 0) {
        int tag = filter_special<kTagEnds>(table, scan, p, mask, o);
        if (tag >= 0) {
          out = o + tag;
          return p + tag;
        }
      }
    }
    o += kBlockBytes;
    p += kBlockBytes;
  }
  out = o;
  return p;
}

// The same for levels that expand whole blocks (tables without tag ends):
// while more than a block is left; the last byte of the chunk is always
// left.
template <class Scan>
KIV_ALWAYS_INLINE const unsigned char* expand_blocks(
    const FilterTable& table, const Scan& scan, const unsigned char* p,
    const unsigned char* end, unsigned char*& out) {
  if (end - p <= kBlockBytes) return p;
  unsigned char* o = out;
  // A blank written the slow way before a line break that the blocks
  // make just n: it becomes the backslash.
  if (!table.keep_blanks && p[-1] == ' ' && (p[0] == '\n' || p[0] == '\r')) {
    o[-1] = '\\';
  }
  while (end - p > kBlockBytes) {
    o = expand_block(scan, p, o);
    p += kBlockBytes;
  }
  out = o;
  return p;
}

// Blanks are copied like plain bytes. When a line break follows a blank in
// normal mode, that blank is the last byte written, so it is taken back;
// a blank at the end of a chunk is held back instead, because the line
// break that decides its fate lies in the next chunk.
template <class Scan>
KIV_ALWAYS_INLINE std::size_t filter_with(const FilterTable& table,
                                          const Scan& scan,
                                          FilterState& state,
                                          const unsigned char* in,
                                          std::size_t n, unsigned char* out) {
  const unsigned char* p = in;
  const unsigned char* const end = in + n;
  unsigned char* o = out;
  if (p == end) return 0;
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
          *o++ = '\\';
          *o++ = 'n';
        } else {
          *o++ = '\n';
        }
        state.after_tag = false;
      } else if (c == '\r') {
        // Not in the escape table: the form table holds its line break.
        *o++ = '\r';
        state.after_tag = false;
      } else {
        o = put(o, table, c);
        state.after_tag = c == '>';
      }
      continue;
    }
    if (p > in) {
      if constexpr (Scan::kExpands) {
        p = expand_blocks(table, scan, p, end, o);
      } else if (table.kind[kTagEnd] == ByteKind::tag_end) {
        p = filter_blocks<true>(table, scan, p, end, o);
      } else {
        p = filter_blocks<false>(table, scan, p, end, o);
      }
      if (p == end) break;
    }
    // One byte the slow way: the chunk's first byte (the blank before it
    // was settled above), a tag end, or one of the chunk's last bytes.
    unsigned char c = *p;
    if (table.kind[c] == ByteKind::tag_end) {
      state.after_tag = true;
    } else if (p > in && p[-1] == ' ') {
      o -= table.drops_blank[c];
    }
    o = put(o, table, c);
    ++p;
  }
  if (!table.keep_blanks && !state.after_tag && end[-1] == ' ') {
    --o;
    state.pending_blank = true;
  }
  return static_cast<std::size_t>(o - out);
}

// Position of the lowest set bit of a mask that is not zero, for levels
// without an instruction that also answers for zero.
inline int lowest_bit(std::uint64_t mask) {
#if defined(_MSC_VER) && !defined(__clang__)
  unsigned long index;
#if defined(_M_X64) || defined(_M_ARM64)
  _BitScanForward64(&index, mask);
#else
  if (!_BitScanForward(&index, static_cast<unsigned long>(mask))) {
    _BitScanForward(&index, static_cast<unsigned long>(mask >> 32));
    index += 32;
  }
#endif
  return static_cast<int>(index);
#else
  return __builtin_ctzll(mask);
#endif
}

}  // namespace blocks
}  // namespace kiv

#endif  // KIV_CONVERT_SCAN_BLOCKS_H_
