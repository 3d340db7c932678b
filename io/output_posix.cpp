#include "io/output.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace kiv {

int descriptor_of(std::FILE* stream) { return fileno(stream); }

bool write_all(int fd, const void* data, std::size_t n) {
  const char* at = static_cast<const char*>(data);
  while (n > 0) {
    long put = static_cast<long>(write(fd, at, n));
    if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd room = {fd, POLLOUT, 0};
      if (poll(&room, 1, -1) < 0 && errno != EINTR) return false;
      continue;
    }
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    at += put;
    n -= static_cast<std::size_t>(put);
  }
  return true;
}

}  // namespace kiv
