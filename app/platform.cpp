#include "app/platform.h"

#include <cstring>

#if defined(_WIN32)
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0602  // FileIdInfo; older systems fall back
#endif
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace kiv {

#if defined(_WIN32)

namespace {

FileIdentity identify_handle(HANDLE handle) {
  FileIdentity id;
  if (handle == INVALID_HANDLE_VALUE || GetFileType(handle) != FILE_TYPE_DISK) {
    return id;
  }
  FILE_BASIC_INFO basic;
  if (!GetFileInformationByHandleEx(handle, FileBasicInfo, &basic,
                                    sizeof basic) ||
      (basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
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
  id.regular = true;
  return id;
}

}  // namespace

FileIdentity identify_stream(std::FILE* stream) {
  return identify_handle(
      reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))));
}

FileIdentity identify_path(const char* path) {
  HANDLE handle =
      CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  FileIdentity id = identify_handle(handle);
  if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  return id;
}

bool is_directory(std::FILE* stream) {
  FILE_BASIC_INFO basic;
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  return handle != INVALID_HANDLE_VALUE &&
         GetFileInformationByHandleEx(handle, FileBasicInfo, &basic,
                                      sizeof basic) &&
         (basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool fill_if_closed(int) { return false; }

void use_text_mode(std::FILE* stream) { _setmode(_fileno(stream), _O_TEXT); }

void use_source_mode(std::FILE* stream) {
  _setmode(_fileno(stream), _O_BINARY);
}

#else

namespace {

FileIdentity identify_stat(const struct stat& st) {
  FileIdentity id;
  id.regular = S_ISREG(st.st_mode);
  id.device = static_cast<unsigned long long>(st.st_dev);
  id.index = static_cast<unsigned long long>(st.st_ino);
  return id;
}

}  // namespace

FileIdentity identify_stream(std::FILE* stream) {
  struct stat st;
  if (fstat(fileno(stream), &st) != 0) return FileIdentity{};
  return identify_stat(st);
}

FileIdentity identify_path(const char* path) {
  struct stat st;
  if (stat(path, &st) != 0) return FileIdentity{};
  return identify_stat(st);
}

bool is_directory(std::FILE* stream) {
  struct stat st;
  return fstat(fileno(stream), &st) == 0 && S_ISDIR(st.st_mode);
}

bool fill_if_closed(int fd) {
  if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) return false;
  int null = open("/dev/null", O_RDWR);
  if (null >= 0 && null != fd) {
    dup2(null, fd);
    close(null);
  }
  return true;
}

void use_text_mode(std::FILE*) {}

void use_source_mode(std::FILE*) {}

#endif

bool same_file(const FileIdentity& a, const FileIdentity& b) {
  return a.regular && b.regular && a.index == b.index &&
         a.index_high == b.index_high &&
         (a.device == b.device || !a.device_known || !b.device_known);
}

}  // namespace kiv
