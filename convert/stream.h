#ifndef KIV_CONVERT_STREAM_H_
#define KIV_CONVERT_STREAM_H_

// The stream loop: reads the source in blocks, joins CR LF where the
// system wants it, filters the blocks in slices and writes the output.

#include <cstddef>
#include <cstdio>

#include "convert/line_ends.h"
#include "options/options.h"

namespace kiv {

// convert_text reads blocks of kReadBlock bytes (larger than a plain copy's
// 64 KiB: fewer calls) and filters them in slices of kFilterSlice.
constexpr std::size_t kReadBlock = 128 * 1024;
constexpr std::size_t kFilterSlice = 32 * 1024;

enum class ConvertStatus { ok, read_failed, write_failed };

// What one read of a block of input gave.
struct ReadResult {
  std::size_t size = 0;  // bytes read into the block
  bool failed = false;   // reading failed after these bytes
  bool ended = false;    // the input has no more bytes
  bool paused = false;   // it has none for the moment
};

// Reads the first block of the input into the buffer that convert_text
// starts from, so that a run learns whether the source can be read at all
// before it touches the target. Its result goes to convert_text.
ReadResult read_first_block(std::FILE* input);

// Copies input to output through the filter until the end of the input,
// or until reading or writing fails, starting with the block from
// read_first_block. Whenever the input pauses (a pipe with nothing more
// for the moment), everything converted so far is written. The input is read from its descriptor, past any
// buffer of the stream.
// With LineEnds::crlf_to_lf each CR directly before an LF is dropped on
// the way in, as a Windows text stream would, but without its end of file
// at the first Ctrl-Z.
ConvertStatus convert_text(std::FILE* input, std::FILE* output,
                           const Options& options, LineEnds line_ends,
                           ReadResult first);


}  // namespace kiv

#endif  // KIV_CONVERT_STREAM_H_
