// Above every include, or the first header sets the runtime's default.
#if !defined(_WIN32_WINNT)
#define _WIN32_WINNT 0x0602  // FileIdInfo; older systems fall back
#endif

#include "app/platform.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstring>

namespace kiv {

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

StandIn fill_if_closed(int) { return StandIn{}; }

void use_text_mode(std::FILE* stream) { _setmode(_fileno(stream), _O_TEXT); }

std::FILE* open_source(const char* path) { return std::fopen(path, "rb"); }

void use_source_mode(std::FILE* stream) {
  _setmode(_fileno(stream), _O_BINARY);
}

const LineEnds kSourceLineEnds = LineEnds::crlf_to_lf;

}  // namespace kiv
