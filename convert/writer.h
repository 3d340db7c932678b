#ifndef KIV_CONVERT_WRITER_H_
#define KIV_CONVERT_WRITER_H_

// The output side of the stream loop. The loop filters into an output
// block and hands it over when it is full (or the input pauses); while a
// second thread writes the blocks handed over, the loop reads and filters
// into the next one, so the cost of writing overlaps that of reading and
// filtering. Where no second processor or thread is to be had, blocks are
// written at once, in the loop's own thread.

#include <cstddef>
#include <cstdio>

#include "convert/filter.h"
#include "convert/stream.h"

namespace kiv {

// A block is handed over once it holds kFlush bytes (or sooner, when the
// input pauses or ends); it also has room for the output of one more
// filter slice, even one of nothing but "&lt;".
constexpr std::size_t kFlush = 128 * 1024;
constexpr std::size_t kOutputBlock =
    kFlush + kFilterSlice * kMaxExpansion + kChunkSlack;

// Begins the output of one text to output. True when the blocks must
// hold each line feed as CR LF: on Windows, a file or pipe in text mode,
// which the blocks reach past the C runtime.
bool begin_output(std::FILE* output);

// The block to filter into now (kOutputBlock bytes).
unsigned char* output_block();

// Where the filter puts the output of one slice (kFilterSlice bytes of
// input) that belongs at output_block() + used; place_slice(used, n) then
// puts its n bytes there. While the writing thread runs, on a system
// where that pays (slices_apart_from_blocks), the slice goes to a buffer
// of this thread's own and is copied into the block in one go: the
// block's cache lines were last read by the other processor, and the
// filter's many small stores, each waiting to take a line back, made it
// run at less than half its speed (AMD Zen 5: 26 ms instead of 11 for
// 128 MiB); one copy takes them back at the pace of a copy.
unsigned char* slice_space(std::size_t used);
void place_slice(std::size_t used, std::size_t n);

// Hands over the first n bytes of the block to be written; output_block()
// then gives the next one. more: the text goes on (the first such call
// starts the writing thread). False when this or an earlier write failed.
bool hand_over(std::size_t n, bool more);

// Waits until everything handed over is written and ends the writing
// thread. False when a write failed.
bool end_output();

}  // namespace kiv

#endif  // KIV_CONVERT_WRITER_H_
