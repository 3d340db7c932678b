#include "io/output_windows.h"

#include <io.h>

#include <cerrno>

#include "io/output.h"

namespace kiv {

OutputGate& output_gate() {
  static OutputGate gate;
  return gate;
}

// Passes the gate, or waits for the end when it is closed.
void hold_output(OutputGate& gate) {
  AcquireSRWLockExclusive(&gate.lock);
  if (!gate.stopped.load(std::memory_order_acquire)) return;
  ReleaseSRWLockExclusive(&gate.lock);
  for (;;) Sleep(INFINITE);
}

void release_output(OutputGate& gate) { ReleaseSRWLockExclusive(&gate.lock); }

bool stop_output(OutputGate& gate, unsigned milliseconds) {
  gate.stopped.store(true, std::memory_order_release);
  const ULONGLONG until = GetTickCount64() + milliseconds;
  for (;;) {
    if (TryAcquireSRWLockExclusive(&gate.lock)) return true;
    if (GetTickCount64() >= until) return false;
    Sleep(1);
  }
}

int descriptor_of(std::FILE* stream) { return _fileno(stream); }

bool write_all(int fd, const void* data, std::size_t n) {
  const char* at = static_cast<const char*>(data);
  hold_output(output_gate());
  while (n > 0) {
    int chunk = n < (1u << 30) ? static_cast<int>(n) : (1 << 30);
    int put = _write(fd, at, static_cast<unsigned int>(chunk));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) break;
    at += put;
    n -= static_cast<std::size_t>(put);
  }
  release_output(output_gate());
  return n == 0;
}

bool write_handle(OutputGate& gate, void* handle, const void* data, std::size_t n) {
  const unsigned char* at = static_cast<const unsigned char*>(data);
  hold_output(gate);
  while (n > 0) {
    DWORD piece = n > (1u << 30) ? (1u << 30) : static_cast<DWORD>(n);
    DWORD done = 0;
    if (!WriteFile(static_cast<HANDLE>(handle), at, piece, &done, nullptr)) break;
    // A pipe that does not wait (PIPE_NOWAIT) takes nothing while full.
    if (done == 0) Sleep(1);
    at += done;
    n -= done;
  }
  release_output(gate);
  return n == 0;
}

bool write_handle(void* handle, const void* data, std::size_t n) {
  return write_handle(output_gate(), handle, data, n);
}

bool write_stream(std::FILE* stream, const void* data, std::size_t n) {
  hold_output(output_gate());
  bool written = std::fwrite(data, 1, n, stream) == n;
  release_output(output_gate());
  return written;
}

}  // namespace kiv
