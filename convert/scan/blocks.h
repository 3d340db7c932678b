#ifndef KIV_CONVERT_SCAN_BLOCKS_H_
#define KIV_CONVERT_SCAN_BLOCKS_H_

// The filter's block algorithm, written once for every scan level.
//
//   filter_with(chunk):
//     settle the blank held back at the end of the last chunk
//     the first byte by its table row (normal or after-tag mode)
//     while more than two blocks of 64 bytes are left:
//       mask = the block's special bytes                       (scan)
//       if a > opens after-tag mode:
//         tags, blanks = the block's > and blanks              (scan)
//         swallowed = the runs of blanks right after a >, or right
//                     after the last block if it ended in after-tag mode
//         after = the bytes right after a > or a swallowed blank
//         mask |= swallowed
//       copy the whole block to the output                     (scan)
//       for each byte in mask, lowest first:
//         entry = its after-tag row if it is in after, else its normal row
//         take back the blank written just before it, if entry says so
//         write entry's form in its place
//         copy the rest of the block again, behind the form
//     or, for levels that build whole blocks (kExpands), while more
//     than one block is left, up to 16 blocks at a time:
//       after = as above, for each of the blocks
//       write each block's output at once                      (scan)
//     the last bytes one by one by their table rows
//     hold back a final blank: the next chunk decides whether it stays
//
// What makes it fast, and why:
// - Plain bytes are never looked at one by one: a block is copied whole,
//   and only the bytes its vector scan marks cost a step.
// - A step writes a form with one 4-byte move and moves the output by the
//   form's length minus one, whatever the form: a dropped line break is a
//   form of length 0, a swallowed blank too, "&lt;" one of length 4.
// - After-tag mode costs no branch and no step of its own: which bytes it
//   reaches is bit arithmetic on the block's masks, and a reached byte
//   only takes its form from the after-tag row of the table. A run of
//   blanks that follows a > is found with one addition: the run's first
//   bit, added to the mask of blanks, carries through the whole run and
//   clears it, so the blanks that the sum lost are the run.
// - One step per marked byte, in a plain loop. Taking the specials two or
//   three at a time whether the block has that many or not (idle steps
//   instead of a loop end that mispredicts) measured slower on the
//   corpus of bench/run: the idle steps cost more than they save.
// - The blank before a line break is copied like a plain byte and taken
//   back when the break comes: no look-ahead, no branch.
// - More than two blocks must be left, because the copy behind a special
//   byte reads up to one block past it; the chunk's last bytes and its
//   first (whose neighbour lies in the last chunk) go the slow way.
// - Levels that can (kExpands) build a block's output without a step per
//   special byte; they bring their own expand_block and get the block's
//   after-tag bytes from the same bit arithmetic. Such a block writes the
//   blank before a line break nowhere when the break is in the block, and
//   takes back the one just before the block when the block starts with
//   the break: the same contract as a step, so the slow bytes around the
//   blocks need not know which loop ran, and no block looks past its end.
//   Their after-tag masks are worked out for 16 blocks before those
//   blocks are built: with each block's mask worked out just before it,
//   the AVX-512 scan ran at about 0.8 of the speed (kiv_filter_bench,
//   sets none, -z and -l, on AMD Zen 4).
//
// A scan level is a record Scan with the trait kExpands and, for the
// block of kBlockBytes bytes at p:
//   std::uint64_t special_mask(const Scan&, const unsigned char* p)
//     a bit for every byte of FilterTable::specials; marking another
//     byte too is harmless (it is written unchanged), missing one is not
//   std::uint64_t byte_mask(const Scan&, const unsigned char* p,
//                           unsigned char value)
//     a bit for every byte equal to value, and for no other
//   void copy_block(const Scan&, unsigned char* to, const unsigned char* from)
//     only where the scan has a faster copy than the memcpy below
// or, where kExpands:
//   std::uint64_t byte_mask(const Scan&, const unsigned char* p,
//                           unsigned char value)
//     as above
//   unsigned char* expand_block(const Scan&, const unsigned char* p,
//                               std::uint64_t after, unsigned char* o)
//     writes the whole block's output, with the bytes in after read in
//     after-tag mode, taking back a blank written just before it if its
//     first byte says so (p[-1] readable), and returns its end.
// Bit k of a mask stands for p[k], whatever the byte order of the
// processor.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "convert/filter.h"
#include "convert/scan/arch.h"

namespace kiv {
namespace blocks {

constexpr std::ptrdiff_t kBlockBytes = 64;

// Writes the form of a table entry; always moves 4 bytes.
inline unsigned char* put(unsigned char* out, const FilterTable& table,
                          unsigned entry) {
  std::memcpy(out, table.form[entry], 4);
  return out + table.form_length[entry];
}

// Position of the lowest set bit of a mask that is not zero.
inline int lowest_bit(std::uint64_t mask) { return __builtin_ctzll(mask); }

// The block copy of the scans that bring none of their own.
template <class Scan>
KIV_ALWAYS_INLINE void copy_block(const Scan&, unsigned char* to,
                                  const unsigned char* from) {
  std::memcpy(to, from, kBlockBytes);
}

// One byte the slow way, by the row of the mode it is read in.
// blank_before: the byte before it is a blank of this chunk (written, if
// it was in normal mode, as the last byte).
inline unsigned char* filter_byte(const FilterTable& table, FilterState& state,
                                  unsigned char c, bool blank_before,
                                  unsigned char* o) {
  unsigned entry = c + (state.after_tag ? kAfterTag : 0);
  if (blank_before) o -= table.drops_blank[entry];
  o = put(o, table, entry);
  state.after_tag = table.kind[entry] == ByteKind::sets_after_tag;
  return o;
}

// The output place at address a, which must lie in the output buffer.
KIV_ALWAYS_INLINE unsigned char* place(std::uintptr_t a) {
  return reinterpret_cast<unsigned char*>(a);
}

// Handles the lowest byte of mask, which is not empty, in the block at p.
// o is the address where the block's first byte goes as long as the
// bytes from this one on are plain: the byte's form is written at its
// place, o moves by the form's extra length, and the rest of the block is
// copied again behind the form. Where bytes are dropped, o falls up to 63
// bytes below the buffer: a pointer there would be undefined even unused,
// so o is an unsigned number, made a pointer only for a place written.
// (Kept as an offset from the buffer instead, it cost 5 % at AVX2: one
// register more in the loop.)
// after marks the bytes read in after-tag mode.
template <class Scan>
KIV_ALWAYS_INLINE void filter_special(const FilterTable& table,
                                      const Scan& scan, const unsigned char* p,
                                      std::uint64_t after, std::uint64_t& mask,
                                      std::uintptr_t& o) {
  int at = lowest_bit(mask);
  unsigned entry = p[at] | static_cast<unsigned>(after >> at & 1) << 8;
  // A blank directly before a line break is the last byte written.
  o -= table.drops_blank[entry] & (p[at - 1] == ' ');
  std::memcpy(place(o + at), table.form[entry], 4);
  o += table.form_length[entry] - 1;
  copy_block(scan, place(o + at + 1), p + at + 1);
  mask &= mask - 1;
}

// The bytes of the block at p that are read in after-tag mode. carry is
// the mode of p[0] on the way in and that of p[64] on the way out; the
// blanks that vanish after a > are added to mask.
template <class Scan>
KIV_ALWAYS_INLINE std::uint64_t after_tag_bytes(const FilterTable& table,
                                                const Scan& scan,
                                                const unsigned char* p,
                                                std::uint64_t& carry,
                                                std::uint64_t& mask) {
  std::uint64_t opens = byte_mask(scan, p, '>');
  if (!table.keep_blanks) {
    std::uint64_t blanks = byte_mask(scan, p, ' ');
    std::uint64_t starts = (opens << 1 | carry) & blanks;
    std::uint64_t swallowed = blanks & ~(blanks + starts);
    opens |= swallowed;
    mask |= swallowed;
  }
  std::uint64_t after = opens << 1 | carry;
  carry = opens >> 63;
  return after;
}

// Filters the bytes from p (p[-1] must be readable) while more than two
// blocks are left. after_tag is the mode of p[0] on the way in and that of
// the first byte left on the way out.
template <bool kTagEnds, class Scan>
KIV_ALWAYS_INLINE const unsigned char* filter_blocks(
    const FilterTable& table, const Scan& scan, const unsigned char* p,
    const unsigned char* end, unsigned char*& out, bool& after_tag) {
  std::uintptr_t o = reinterpret_cast<std::uintptr_t>(out);
  std::uint64_t carry = after_tag ? 1 : 0;  // p[0] is read in after-tag mode
  while (end - p > 2 * kBlockBytes) {
    std::uint64_t mask = special_mask(scan, p);
    std::uint64_t after = 0;
    if constexpr (kTagEnds) after = after_tag_bytes(table, scan, p, carry, mask);
    copy_block(scan, place(o), p);
    while (mask != 0) filter_special(table, scan, p, after, mask, o);
    o += kBlockBytes;
    p += kBlockBytes;
  }
  after_tag = carry != 0;
  out = place(o);
  return p;
}

// The same for levels that build whole blocks: while more than a block is
// left, so the last byte of the chunk is always left. The after-tag masks
// of a batch of blocks come first, then the blocks.
template <bool kTagEnds, class Scan>
KIV_ALWAYS_INLINE const unsigned char* expand_blocks(
    const FilterTable& table, const Scan& scan, const unsigned char* p,
    const unsigned char* end, unsigned char*& out, bool& after_tag) {
  unsigned char* o = out;
  std::uint64_t carry = after_tag ? 1 : 0;
  if constexpr (kTagEnds) {
    constexpr std::ptrdiff_t kBatch = 16;
    std::uint64_t after[kBatch];  // of the blocks of the batch
    while (end - p > kBlockBytes) {
      std::ptrdiff_t blocks = (end - p - 1) / kBlockBytes;
      if (blocks > kBatch) blocks = kBatch;
      for (std::ptrdiff_t b = 0; b < blocks; ++b) {
        std::uint64_t swallowed = 0;  // expand_block finds them by after
        after[b] = after_tag_bytes(table, scan, p + b * kBlockBytes, carry,
                                   swallowed);
      }
      for (std::ptrdiff_t b = 0; b < blocks; ++b) {
        o = expand_block(scan, p, after[b], o);
        p += kBlockBytes;
      }
    }
  } else {
    while (end - p > kBlockBytes) {
      o = expand_block(scan, p, 0, o);
      p += kBlockBytes;
    }
  }
  after_tag = carry != 0;
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
  if (n == 0) return 0;
  const unsigned char* p = in;
  const unsigned char* const end = in + n;
  unsigned char* o = out;
  if (state.pending_blank) {
    state.pending_blank = false;
    if (!table.drops_blank[*p]) *o++ = ' ';
  }
  o = filter_byte(table, state, *p++, false, o);
  if constexpr (Scan::kExpands) {
    if (table.tag_ends) {
      p = expand_blocks<true>(table, scan, p, end, o, state.after_tag);
    } else {
      p = expand_blocks<false>(table, scan, p, end, o, state.after_tag);
    }
  } else if (table.tag_ends) {
    p = filter_blocks<true>(table, scan, p, end, o, state.after_tag);
  } else {
    p = filter_blocks<false>(table, scan, p, end, o, state.after_tag);
  }
  for (; p < end; ++p) o = filter_byte(table, state, *p, p[-1] == ' ', o);
  if (!table.keep_blanks && !state.after_tag && end[-1] == ' ') {
    --o;
    state.pending_blank = true;
  }
  return static_cast<std::size_t>(o - out);
}

}  // namespace blocks
}  // namespace kiv

#endif  // KIV_CONVERT_SCAN_BLOCKS_H_
