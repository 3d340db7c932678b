#ifndef KIV_IO_INPUT_H_
#define KIV_IO_INPUT_H_

// Reading a descriptor as the stream loop does: what a pipe holds now,
// without waiting for a whole block, and whether more is there.

#include <cstddef>

namespace kiv {

// Begins reading descriptor fd; what the system tells of its kind, it
// is asked here once.
void begin_input(int fd);

// True when the input can deliver more bytes without waiting: a file
// always can, a pipe when it holds some, a console never.
bool more_ready(int fd);

// One read: a pipe delivers what it holds without waiting for the whole
// count, and one that does not block is waited for, as a blocking one
// would be. Returns the bytes read, 0 at the end, -1 when reading failed.
long read_once(int fd, unsigned char* to, std::size_t n);

}  // namespace kiv

#endif  // KIV_IO_INPUT_H_
