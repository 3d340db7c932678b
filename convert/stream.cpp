#include "convert/stream.h"

#include "convert/filter.h"
#include "convert/writer.h"
#include "io/input.h"
#include "io/output.h"

namespace kiv {
namespace {

// The input block is static: a run may have little stack (a thread, a
// low ulimit), and the conversion path allocates nothing. The bytes read
// start at kHead, aligned as the system's copy into them runs fastest;
// the byte before them holds a CR whose partner may start the next block.
constexpr std::size_t kHead = 64;
alignas(64) unsigned char input_block[kHead + kReadBlock];
// The block without its CR LF pairs' CRs, where the source has such
// pairs to be joined (collapse_crlf).
unsigned char joined_block[1 + kReadBlock];

// Fills input_block + kHead with up to kReadBlock bytes: as many as the input
// has at the moment, and the whole block when it has that many ready.
ReadResult read_block(std::FILE* input) {
  ReadResult result;
  int fd = descriptor_of(input);
  while (result.size < kReadBlock) {
    long got = read_once(fd, input_block + kHead + result.size,
                         kReadBlock - result.size);
    if (got < 0) {
      result.failed = true;
      break;
    }
    if (got == 0) {
      result.ended = true;
      break;
    }
    result.size += static_cast<std::size_t>(got);
    // Asked after a full block too: a writer may stop right at its end.
    if (!more_ready(fd)) {
      result.paused = true;
      break;
    }
  }
  return result;
}

// The loop of convert_text; the output is begun and ended around it.
ConvertStatus convert_blocks(std::FILE* input, const FilterTable& table,
                             LineEnds line_ends, ReadResult block) {
  FilterState state;
  std::size_t used = 0;
  std::size_t held = 0;
  for (;;) {
    const unsigned char* data = input_block + kHead - held;
    std::size_t size = block.size + held;
    bool at_end = block.ended || block.failed;
    held = 0;
    if (line_ends == LineEnds::crlf_to_lf) {
      Collapsed collapsed = collapse_crlf(data, size, at_end, joined_block);
      held = collapsed.cr_held ? 1 : 0;
      data = collapsed.bytes;
      size = collapsed.kept;
    }
    for (std::size_t at = 0; at < size; at += kFilterSlice) {
      std::size_t n = size - at < kFilterSlice ? size - at : kFilterSlice;
      unsigned char* to = slice_space(used);
      std::size_t made = filter_chunk(table, state, data + at, n, to);
      place_slice(used, made);
      used += made;
      if (used >= kFlush) {
        if (!hand_over(used, true)) return ConvertStatus::write_failed;
        used = 0;
      }
    }
    if (block.failed) return ConvertStatus::read_failed;
    if (block.ended) break;
    // The input has nothing more for the moment: what is converted goes
    // out now, as a pipe's reader may be waiting for it.
    if (block.paused && used > 0) {
      if (!hand_over(used, true)) return ConvertStatus::write_failed;
      used = 0;
    }
    if (held != 0) input_block[kHead - 1] = '\r';
    block = read_block(input);
  }
  used += filter_finish(table, state, output_block() + used);
  if (!hand_over(used, false)) return ConvertStatus::write_failed;
  return ConvertStatus::ok;
}

}  // namespace

ReadResult read_first_block(std::FILE* input) {
  begin_input(descriptor_of(input));
  return read_block(input);
}

ConvertStatus convert_text(std::FILE* input, std::FILE* output,
                           const Options& options, LineEnds line_ends,
                           ReadResult block) {
  const bool crlf = begin_output(output);
  const FilterTable table = make_filter_table(options, crlf);
  ConvertStatus status = convert_blocks(input, table, line_ends, block);
  // A write that failed came before whatever ended the loop.
  if (!end_output()) return ConvertStatus::write_failed;
  return status;
}

}  // namespace kiv
