#include "convert/crlf_out.h"

// Windows only; elsewhere the file compiles to nothing.
#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "io/output.h"
#include "io/output_windows.h"

namespace kiv {

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
  if (!target.direct) return write_stream(stream, data, n);
  return write_handle(target.handle, data, n);
}

}  // namespace kiv
#endif
