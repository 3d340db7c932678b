#include "app/platform.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace kiv {

namespace {

FileIdentity identify_stat(const struct stat& st) {
  FileIdentity id;
  id.known = true;
  id.directory = S_ISDIR(st.st_mode);
  id.regular = S_ISREG(st.st_mode);
  id.comparable = id.regular || S_ISFIFO(st.st_mode);
  id.device = static_cast<unsigned long long>(st.st_dev);
  id.index = static_cast<unsigned long long>(st.st_ino);
  // A block device is the same disk under every name and node: it counts
  // by its device number. Character devices (/dev/null) stay apart.
  if (S_ISBLK(st.st_mode)) {
    id.comparable = true;
    id.block_device = true;
    id.device = 0;
    id.index = static_cast<unsigned long long>(st.st_rdev);
  }
  return id;
}

FileIdentity identify_fd(int fd) {
  struct stat st;
  if (fstat(fd, &st) != 0) return FileIdentity{};
  return identify_stat(st);
}

// An empty file that belongs to this process alone; /dev/null where the
// system has no anonymous files.
int private_empty_file() {
#if defined(__linux__) && defined(MFD_CLOEXEC)
  int fd = memfd_create("kiv-closed", 0);
  if (fd >= 0) return fd;
#endif
  return open("/dev/null", O_RDWR);
}

}  // namespace

FileIdentity identify_stream(std::FILE* stream) {
  return identify_fd(fileno(stream));
}

FileIdentity identify_path(const char* path) {
  struct stat st;
  if (stat(path, &st) != 0) return FileIdentity{};
  return identify_stat(st);
}

StandIn fill_if_closed(int fd) {
  StandIn stand_in;
  if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) return stand_in;
  stand_in.closed = true;
  int empty = private_empty_file();
  if (empty >= 0 && empty != fd) {
    dup2(empty, fd);
    close(empty);
  }
  stand_in.identity = identify_fd(fd);
  return stand_in;
}

void use_text_mode(std::FILE*) {}

std::FILE* open_source(const char* path) { return std::fopen(path, "r"); }

void use_source_mode(std::FILE*) {}

const LineEnds kSourceLineEnds = LineEnds::as_read;

}  // namespace kiv
