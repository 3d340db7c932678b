#include "io/input.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace kiv {

void begin_input(int) {}

bool more_ready(int fd) {
  pollfd waiting = {fd, POLLIN, 0};
  int ready;
  do {
    ready = poll(&waiting, 1, 0);
  } while (ready < 0 && errno == EINTR);
  return ready > 0;
}

long read_once(int fd, unsigned char* to, std::size_t n) {
  for (;;) {
    long got = static_cast<long>(read(fd, to, n));
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd waiting = {fd, POLLIN, 0};
      if (poll(&waiting, 1, -1) < 0 && errno != EINTR) return -1;
      continue;
    }
    if (got >= 0 || errno != EINTR) return got;
  }
}

}  // namespace kiv
