// Above every include, or the first header sets the runtime's default.
#if defined(_WIN32) && !defined(_WIN32_WINNT)
#define _WIN32_WINNT 0x0602  // FileIdInfo; older systems fall back
#endif

#include "app/platform.h"

#include <cstring>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace kiv {

#if defined(_WIN32)

namespace {

FileIdentity identify_handle(HANDLE handle) {
  FileIdentity id;
  if (handle == INVALID_HANDLE_VALUE) return id;
  DWORD type = GetFileType(handle);
  if (type != FILE_TYPE_DISK) {
    // Consoles, pipes and devices: known, but no file two names lead to.
    id.known = type != FILE_TYPE_UNKNOWN || GetLastError() == NO_ERROR;
    return id;
  }
  FILE_BASIC_INFO basic;
  if (!GetFileInformationByHandleEx(handle, FileBasicInfo, &basic,
                                    sizeof basic)) {
    return id;
  }
  if ((basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    id.known = true;
    id.directory = true;
    return id;
  }
  FILE_ID_INFO file_id;
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileInformationByHandleEx(handle, FileIdInfo, &file_id,
                                   sizeof file_id)) {
    id.device = file_id.VolumeSerialNumber;
    std::memcpy(&id.index, file_id.FileId.Identifier, 8);
    std::memcpy(&id.index_high, file_id.FileId.Identifier + 8, 8);
  } else if (GetFileInformationByHandle(handle, &info)) {
    // Before Windows 8 there are only 64-bit file numbers.
    id.device = info.dwVolumeSerialNumber;
    id.index = (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) |
               info.nFileIndexLow;
  } else {
    return id;
  }
  // Wine names no volume for a handle inherited from a redirection; the
  // file number alone then has to decide.
  id.device_known = id.device != 0;
  id.known = true;
  id.regular = true;
  id.comparable = true;
  return id;
}

HANDLE stream_handle(std::FILE* stream) {
  return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
}

}  // namespace

FileIdentity identify_stream(std::FILE* stream) {
  return identify_handle(stream_handle(stream));
}

FileIdentity identify_path(const char* path) {
  HANDLE handle =
      CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  FileIdentity id = identify_handle(handle);
  if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  return id;
}

std::FILE* open_target(const char* path, TargetFate& fate) {
  fate.name = path;
  // With the right to delete, a failed or interrupted run removes the
  // file through its own handle; where that right is refused it is
  // emptied instead.
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
  HANDLE handle = CreateFileA(path, GENERIC_WRITE | DELETE, share, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED) {
    handle = CreateFileA(path, GENERIC_WRITE, share, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  bool created = GetLastError() != ERROR_ALREADY_EXISTS;
  int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle),
                           _O_WRONLY | _O_TEXT);
  if (fd < 0) {
    CloseHandle(handle);
    if (created) DeleteFileA(path);
    return nullptr;
  }
  std::FILE* stream = _fdopen(fd, "w");
  if (stream == nullptr) {
    _close(fd);
    if (created) DeleteFileA(path);
    return nullptr;
  }
  DWORD attributes = GetFileAttributesA(path);
  fate.through_link = attributes != INVALID_FILE_ATTRIBUTES &&
                      (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  fate.created = created ? path : nullptr;
  fate.handle = reinterpret_cast<intptr_t>(handle);
  return stream;
}

bool empty_target(std::FILE* stream, const FileIdentity& identity) {
  if (!identity.regular) return true;
  HANDLE handle = stream_handle(stream);
  LARGE_INTEGER start = {};
  return SetFilePointerEx(handle, start, nullptr, FILE_BEGIN) &&
         SetEndOfFile(handle);
}

void undo_target(const TargetFate& fate) {
  if (!fate.identity.regular || fate.handle == -1) return;
  if (fate.created == nullptr && !fate.begun.load()) return;
  HANDLE handle = reinterpret_cast<HANDLE>(fate.handle);
  // The file goes when its last handle closes; a symbolic link stays, and
  // the file it leads to is emptied.
  if (!fate.through_link) {
    FILE_DISPOSITION_INFO disposition = {TRUE};
    if (SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                   sizeof disposition)) {
      return;
    }
  }
  LARGE_INTEGER start = {};
  if (SetFilePointerEx(handle, start, nullptr, FILE_BEGIN)) SetEndOfFile(handle);
}

StandIn fill_if_closed(int) { return StandIn{}; }

void use_text_mode(std::FILE* stream) { _setmode(_fileno(stream), _O_TEXT); }

void use_source_mode(std::FILE* stream) {
  _setmode(_fileno(stream), _O_BINARY);
}

#else

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

std::FILE* open_target(const char* path, TargetFate& fate) {
  fate.name = path;
  int fd = open(path, O_WRONLY | O_CREAT | O_EXCL, 0666);
  bool created = fd >= 0;
  bool dangling = false;
  if (fd < 0 && errno == EEXIST) {
    struct stat st;
    fate.through_link = lstat(path, &st) == 0 && S_ISLNK(st.st_mode);
    dangling = fate.through_link && stat(path, &st) != 0 && errno == ENOENT;
    fd = open(path, O_WRONLY | O_CREAT, 0666);
  }
  if (fd < 0) return nullptr;
  std::FILE* stream = fdopen(fd, "w");
  if (stream == nullptr) {
    close(fd);
    if (created) unlink(path);
    return nullptr;
  }
  // Through a dangling link the run creates the file it leads to: that
  // file, not the link, is what a failure takes back.
  static char created_through_link[PATH_MAX];
  if (created) {
    fate.created = path;
  } else if (dangling && realpath(path, created_through_link) != nullptr) {
    fate.created = created_through_link;
  }
  fate.handle = fd;
  return stream;
}

bool empty_target(std::FILE* stream, const FileIdentity& identity) {
  return !identity.regular || ftruncate(fileno(stream), 0) == 0;
}

void undo_target(const TargetFate& fate) {
  if (!fate.identity.regular) return;
  if (fate.created == nullptr && !fate.begun.load()) return;
  const char* name = fate.created != nullptr ? fate.created : fate.name;
  struct stat st;
  if (lstat(name, &st) != 0) return;
  if (S_ISLNK(st.st_mode)) {
    if (stat(name, &st) != 0 || !same_file(identify_stat(st), fate.identity)) {
      return;
    }
  } else if (!same_file(identify_stat(st), fate.identity) || unlink(name) == 0) {
    return;
  }
  // The name stays: the file is emptied.
  if (fate.handle >= 0) {
    ftruncate(static_cast<int>(fate.handle), 0);
  } else {
    truncate(name, 0);
  }
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

void use_source_mode(std::FILE*) {}

#endif

bool same_numbers(const FileIdentity& a, const FileIdentity& b) {
  return a.known && b.known && a.index == b.index &&
         a.index_high == b.index_high &&
         (a.device == b.device || !a.device_known || !b.device_known);
}

bool same_file(const FileIdentity& a, const FileIdentity& b) {
  return a.comparable && b.comparable && a.block_device == b.block_device &&
         same_numbers(a, b);
}

}  // namespace kiv
