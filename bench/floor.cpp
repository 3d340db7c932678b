// The I/O floor that bench/run shows beside dd: what a converter that
// reads and writes Kiv's 128 KiB blocks costs at least, with no filter
// (copy SOURCE TARGET) or with one copy of each block in memory, the
// least a filter that writes into a block of its own adds (--copy).
//
//   kiv_floor SOURCE TARGET [--copy]

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr std::size_t kBlock = 128 * 1024;
unsigned char in_block[kBlock];
unsigned char out_block[kBlock];

bool write_all(int fd, const unsigned char* data, std::size_t n) {
  while (n > 0) {
    ssize_t put = write(fd, data, n);
    if (put <= 0) return false;
    data += put;
    n -= static_cast<std::size_t>(put);
  }
  return true;
}

}  // namespace

int main(int argc, char* argv[]) {
  bool copy = argc == 4 && std::strcmp(argv[3], "--copy") == 0;
  if (argc != 3 && !copy) {
    std::fprintf(stderr, "usage: kiv_floor SOURCE TARGET [--copy]\n");
    return 2;
  }
  int in = open(argv[1], O_RDONLY);
  int out = open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (in < 0 || out < 0) return 1;
  ssize_t got;
  while ((got = read(in, in_block, kBlock)) > 0) {
    const unsigned char* block = in_block;
    if (copy) {
      std::memcpy(out_block, in_block, static_cast<std::size_t>(got));
      block = out_block;
    }
    if (!write_all(out, block, static_cast<std::size_t>(got))) return 1;
  }
  return got < 0 || close(out) != 0 ? 1 : 0;
}
