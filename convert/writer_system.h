#ifndef KIV_CONVERT_WRITER_SYSTEM_H_
#define KIV_CONVERT_WRITER_SYSTEM_H_

// What the writer (writer.cpp) needs of the system it runs on: where the
// blocks go, a second thread, and a lock with a condition for the loop and
// that thread to sleep on. One file per system: writer_posix.cpp,
// writer_windows.cpp.

#include <cstddef>
#include <cstdio>

namespace kiv {

// Begins the blocks of one text to output. True when the blocks must
// hold each line feed as CR LF (see begin_output).
bool begin_blocks(std::FILE* output);

// Writes n bytes of a block where begin_blocks said; false when writing
// failed.
bool write_block(const unsigned char* data, std::size_t n);

// True when the process may run on more than one processor.
bool second_processor();

// Whether, while the writing thread runs, the filter writes each slice
// into a buffer of its own and copies it into the block (slice_space).
bool slices_apart_from_blocks();

// Starts the writing thread, which runs body(); false when none could be
// started. It needs little stack: it only writes.
bool start_writing_thread(void (*body)());
void join_writing_thread();

// The lock over the sleepers' flags, and its condition.
void lock_ring();
void unlock_ring();
void wait_ring();  // under the lock
void wake_ring();

}  // namespace kiv

#endif  // KIV_CONVERT_WRITER_SYSTEM_H_
