#include "io/input.h"

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace kiv {

namespace {

// A regular file always has its next bytes ready (poll says so too); it
// is not asked once a block, a call that cost about 1 % of a large run.
bool regular = false;

}  // namespace

void begin_input(int fd) {
  struct stat about;
  regular = fstat(fd, &about) == 0 && S_ISREG(about.st_mode);
}

bool more_ready(int fd) {
  if (regular) return true;
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
