#ifndef KIV_IO_OUTPUT_H_
#define KIV_IO_OUTPUT_H_

// Writing to descriptors: the converted text, the wrappers' pieces and the
// messages all leave the programs through here.

#include <cstddef>
#include <cstdio>

namespace kiv {

// The descriptor under a stream.
int descriptor_of(std::FILE* stream);

// Writes all n bytes to descriptor fd, however many calls it takes; a
// descriptor that does not block is waited for, as a blocking one would
// be. False when a write failed.
bool write_all(int fd, const void* data, std::size_t n);

}  // namespace kiv

#endif  // KIV_IO_OUTPUT_H_
