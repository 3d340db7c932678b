#include "app/target.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "app/interrupts.h"

namespace kiv {
namespace {

HANDLE stream_handle(std::FILE* stream) {
  return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
}

}  // namespace

std::FILE* open_target(const char* path, Target& target) {
  InterruptsHeld held;
  target.name = path;
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
  // The spare handle outlives the stream's: a close that fails has still
  // to be taken back.
  HANDLE spare = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &spare,
                       0, FALSE, DUPLICATE_SAME_ACCESS)) {
    spare = nullptr;
  }
  int fd = spare == nullptr ? -1
                            : _open_osfhandle(reinterpret_cast<intptr_t>(handle),
                                              _O_WRONLY | _O_TEXT);
  std::FILE* stream = fd < 0 ? nullptr : _fdopen(fd, "w");
  if (stream == nullptr) {
    if (fd >= 0) {
      _close(fd);
    } else {
      CloseHandle(handle);
    }
    if (spare != nullptr) CloseHandle(spare);
    if (created) DeleteFileA(path);
    return nullptr;
  }
  DWORD attributes = GetFileAttributesA(path);
  target.through_link = attributes != INVALID_FILE_ATTRIBUTES &&
                        (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  target.created = created ? path : nullptr;
  target.handle = reinterpret_cast<intptr_t>(handle);
  target.spare = reinterpret_cast<intptr_t>(spare);
  target.identity = identify_stream(stream);
  watch_target(&target);
  return stream;
}

bool empty_target(std::FILE* stream, Target& target) {
  InterruptsHeld held;
  bool emptied = true;
  if (target.created == nullptr && target.identity.regular) {
    HANDLE handle = stream_handle(stream);
    LARGE_INTEGER start = {};
    emptied = SetFilePointerEx(handle, start, nullptr, FILE_BEGIN) &&
              SetEndOfFile(handle);
  }
  target.emptied.store(emptied);
  return emptied;
}

bool close_target(std::FILE* stream, Target& target, int (*close_stream)(std::FILE*)) {
  InterruptsHeld held;
  bool closed = close_stream(stream) == 0;
  target.handle = -1;
  if (!closed) undo_target(target);
  watch_target(nullptr);
  if (target.spare != -1) CloseHandle(reinterpret_cast<HANDLE>(target.spare));
  target.spare = -1;
  return closed;
}

void undo_target(const Target& target) {
  if (!target.identity.regular || target.spare == -1) return;
  if (target.created == nullptr && !target.emptied.load()) return;
  HANDLE handle = reinterpret_cast<HANDLE>(target.spare);
  // The file goes when its last handle closes; a symbolic link stays, and
  // the file it leads to is emptied.
  if (!target.through_link) {
    FILE_DISPOSITION_INFO disposition = {TRUE};
    if (SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                   sizeof disposition)) {
      return;
    }
  }
  LARGE_INTEGER start = {};
  if (SetFilePointerEx(handle, start, nullptr, FILE_BEGIN)) SetEndOfFile(handle);
}

// The handler has closed the output gate before (see interrupts): nothing
// more is written.
void cut_off_target(const Target& target) { undo_target(target); }

}  // namespace kiv
