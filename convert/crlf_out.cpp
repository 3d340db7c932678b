#include "convert/crlf_out.h"

// Windows only; elsewhere the file compiles to nothing.
#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "io/output.h"
#include "io/output_windows.h"

namespace kiv {

BlockRoute block_route(std::FILE* stream) {
  BlockRoute route;
  int fd = descriptor_of(stream);
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  if (handle == INVALID_HANDLE_VALUE) return route;
  // The runtime tells a descriptor's mode only by setting a new one; the
  // old one is put back at once, before anything is written. A stream in
  // a wide mode (_O_U8TEXT and the like) keeps going through the runtime.
  int mode = _setmode(fd, _O_BINARY);
  if (mode == -1 || _setmode(fd, mode) == -1) return route;
  DWORD type = GetFileType(handle);
  route.handle = handle;
  route.direct = (mode == _O_TEXT || mode == _O_BINARY) &&
                  (type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE);
  route.text = mode == _O_TEXT;
  return route;
}

bool write_to(const BlockRoute& route, std::FILE* stream,
              const unsigned char* data, std::size_t n) {
  if (!route.direct) return write_stream(stream, data, n);
  return write_handle(route.handle, data, n);
}

}  // namespace kiv
#endif
