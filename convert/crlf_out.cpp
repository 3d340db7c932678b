#include "convert/crlf_out.h"

// Windows only; elsewhere the file compiles to nothing.
#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "convert/writer.h"

namespace kiv {
namespace {

bool write_handle(HANDLE handle, const unsigned char* data, std::size_t n) {
  while (n > 0) {
    DWORD piece = n > (1u << 30) ? (1u << 30) : static_cast<DWORD>(n);
    DWORD done = 0;
    if (!WriteFile(handle, data, piece, &done, nullptr)) return false;
    // A pipe that does not wait (PIPE_NOWAIT) takes nothing while full.
    if (done == 0) Sleep(1);
    data += done;
    n -= done;
  }
  return true;
}

}  // namespace

CrlfTarget crlf_target(std::FILE* stream) {
  CrlfTarget target;
  int fd = descriptor_of(stream);
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  if (handle == INVALID_HANDLE_VALUE) return target;
  // The runtime tells a descriptor's mode only by setting a new one; the
  // old one is put back at once, before anything is written. A stream in
  // a wide mode (_O_U8TEXT and the like) keeps going through the runtime.
  int mode = _setmode(fd, _O_BINARY);
  if (mode == -1 || _setmode(fd, mode) == -1) return target;
  DWORD type = GetFileType(handle);
  target.handle = handle;
  target.direct = (mode == _O_TEXT || mode == _O_BINARY) &&
                  (type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE);
  target.text = mode == _O_TEXT;
  return target;
}

bool write_to(const CrlfTarget& target, std::FILE* stream,
              const unsigned char* data, std::size_t n) {
  if (!target.direct) return std::fwrite(data, 1, n, stream) == n;
  return write_handle(static_cast<HANDLE>(target.handle), data, n);
}

}  // namespace kiv
#endif
