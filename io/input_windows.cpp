#include "io/input.h"

#include <io.h>
#include <windows.h>

#include <cerrno>

namespace kiv {
namespace {

// GetFileType takes three system calls under Wine: asked once per input.
DWORD input_type = FILE_TYPE_UNKNOWN;

}  // namespace

void begin_input(int fd) {
  input_type = GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(fd)));
}

bool more_ready(int fd) {
  switch (input_type) {
    case FILE_TYPE_DISK:
      return true;
    case FILE_TYPE_PIPE: {
      HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
      DWORD waiting = 0;
      return PeekNamedPipe(handle, nullptr, 0, nullptr, &waiting, nullptr) &&
             waiting > 0;
    }
    default:
      return false;
  }
}

long read_once(int fd, unsigned char* to, std::size_t n) {
  for (;;) {
    long got = _read(fd, to, static_cast<unsigned int>(n));
    if (got >= 0 || errno != EINTR) return got;
  }
}

}  // namespace kiv
