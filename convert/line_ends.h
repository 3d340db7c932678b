#ifndef KIV_CONVERT_LINE_ENDS_H_
#define KIV_CONVERT_LINE_ENDS_H_

#include <cstddef>

namespace kiv {

// How the bytes of the source reach the filter.
enum class LineEnds {
  as_read,    // exactly as the stream delivers them
  crlf_to_lf, // a CR directly before an LF is dropped (Windows text files)
};

// What collapse_crlf made of a block.
struct Collapsed {
  const unsigned char* bytes;  // where they are: out, or the block itself
                               // if it has no CR to drop
  std::size_t kept;            // their number
  bool cr_held;  // the block ended in a CR that is not among them
};

// The bytes of data[0, n) without every CR that is directly followed by
// an LF, copied to out (room for n bytes; not data itself) where there is
// such a CR. A CR as the last byte cannot be judged yet unless `at_end`:
// it is held back, and the caller puts it in front of the next block.
Collapsed collapse_crlf(const unsigned char* data, std::size_t n, bool at_end,
                        unsigned char* out);

}  // namespace kiv

#endif  // KIV_CONVERT_LINE_ENDS_H_
