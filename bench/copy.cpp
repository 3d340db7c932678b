// The plain copy that Kiv.exe is measured against on Windows: 64 KiB
// blocks through the C runtime's _read and _write in binary mode, what
// dd bs=64K is on Linux.
//
//   copy SOURCE TARGET

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cstdio>

int main(int argc, char* argv[]) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: copy SOURCE TARGET\n");
    return 2;
  }
  int in = _open(argv[1], _O_RDONLY | _O_BINARY);
  int out = _open(argv[2], _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY,
                  _S_IREAD | _S_IWRITE);
  if (in < 0 || out < 0) return 1;
  static char block[64 * 1024];
  int got;
  while ((got = _read(in, block, sizeof block)) > 0) {
    if (_write(out, block, static_cast<unsigned>(got)) != got) return 1;
  }
  return got < 0 || _close(out) != 0 ? 1 : 0;
}
