#ifndef KIV_IO_OUTPUT_WINDOWS_H_
#define KIV_IO_OUTPUT_WINDOWS_H_

// Windows only. Ctrl-C reaches a console program on a thread of its own,
// while the run goes on; every piece of output therefore passes one gate,
// which the handler closes before it takes the target back. Once the gate
// is closed, whoever comes to it waits there until the process ends.

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdio>

namespace kiv {

struct OutputGate {
  SRWLOCK lock = SRWLOCK_INIT;  // held by the write or step under way
  std::atomic<bool> stopped{false};
};

// The gate of the process's own output, which the functions below use.
OutputGate& output_gate();

// Writes n bytes to a system handle, past the C runtime.
bool write_handle(void* handle, const void* data, std::size_t n);
bool write_handle(OutputGate& gate, void* handle, const void* data, std::size_t n);

// Writes n bytes through the stream (a console).
bool write_stream(std::FILE* stream, const void* data, std::size_t n);

// A step that no stop may cut in two (the target being recorded, emptied
// or closed) holds the gate; nothing is written meanwhile.
void hold_output(OutputGate& gate);
void release_output(OutputGate& gate);

// Closes the gate for good. Waits at most `milliseconds` for a step or a
// write under way to end (a write may never end: a pipe nobody reads);
// true when none is under way any more.
bool stop_output(OutputGate& gate, unsigned milliseconds);

}  // namespace kiv

#endif  // KIV_IO_OUTPUT_WINDOWS_H_
