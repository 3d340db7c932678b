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

OpenedTarget open_target(const char* path) {
  OpenedTarget target;
  HANDLE handle = CreateFileA(path, GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return target;
  bool created = GetLastError() != ERROR_ALREADY_EXISTS;
  int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle),
                           _O_WRONLY | _O_TEXT);
  if (fd < 0) {
    CloseHandle(handle);
    if (created) DeleteFileA(path);
    return target;
  }
  target.stream = _fdopen(fd, "w");
  if (target.stream == nullptr) {
    _close(fd);
    if (created) DeleteFileA(path);
    return target;
  }
  target.created = created;
  return target;
}

bool empty_target(std::FILE* stream, const FileIdentity& identity) {
  if (!identity.regular) return true;
  HANDLE handle = stream_handle(stream);
  LARGE_INTEGER start = {};
  return SetFilePointerEx(handle, start, nullptr, FILE_BEGIN) &&
         SetEndOfFile(handle);
}

void discard_target(const char* path, const FileIdentity& identity) {
  if (!identity.regular || !same_file(identify_path(path), identity)) return;
  DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    DeleteFileA(path);
    return;
  }
  // A symbolic link stays; the file it leads to is emptied.
  HANDLE handle = CreateFileA(path, GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
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

OpenedTarget open_target(const char* path) {
  OpenedTarget target;
  int fd = open(path, O_WRONLY | O_CREAT | O_EXCL, 0666);
  target.created = fd >= 0;
  if (fd < 0 && errno == EEXIST) fd = open(path, O_WRONLY | O_CREAT, 0666);
  if (fd < 0) return target;
  target.stream = fdopen(fd, "w");
  if (target.stream == nullptr) {
    close(fd);
    if (target.created) unlink(path);
    target.created = false;
  }
  return target;
}

bool empty_target(std::FILE* stream, const FileIdentity& identity) {
  return !identity.regular || ftruncate(fileno(stream), 0) == 0;
}

void discard_target(const char* path, const FileIdentity& identity) {
  if (!identity.regular) return;
  struct stat st;
  if (lstat(path, &st) != 0) return;
  if (S_ISLNK(st.st_mode)) {
    if (same_file(identify_path(path), identity)) truncate(path, 0);
  } else if (same_file(identify_stat(st), identity)) {
    unlink(path);
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
  return a.comparable && b.comparable && same_numbers(a, b);
}

}  // namespace kiv
