#include "app/target.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

#include "app/interrupts.h"

namespace kiv {
namespace {

// Records an opened target and watches it from now on; the interrupts are
// held back meanwhile.
std::FILE* record(int fd, const char* created, Target& target) {
  std::FILE* stream = fdopen(fd, "w");
  if (stream == nullptr) {
    close(fd);
    if (created != nullptr) unlink(created);
    return nullptr;
  }
  target.created = created;
  target.handle = fd;
  target.identity = identify_stream(stream);
  watch_target(&target);
  return stream;
}

enum class Undone { nothing, removed, emptied };

Undone undo_through(const Target& target, int fd) {
  if (!target.identity.regular) return Undone::nothing;
  if (target.created == nullptr && !target.emptied.load()) return Undone::nothing;
  const char* name = target.created != nullptr ? target.created : target.name;
  struct stat st;
  if (lstat(name, &st) != 0 || !same_file(identify_path(name), target.identity)) {
    return Undone::nothing;
  }
  if (!S_ISLNK(st.st_mode) && unlink(name) == 0) return Undone::removed;
  // The name stays: the file is emptied, through a descriptor, so that
  // whatever the name leads to by now is left alone.
  if (fd < 0 || ftruncate(fd, 0) != 0) return Undone::nothing;
  return Undone::emptied;
}

}  // namespace

std::FILE* open_target(const char* path, Target& target) {
  target.name = path;
  // Through a dangling link the run creates the file it leads to: that
  // file, not the link, is what a failure takes back.
  static char created_through_link[PATH_MAX];
  // A name that goes away between the two opens is tried again.
  for (int attempt = 0; attempt < 3; ++attempt) {
    {
      InterruptsHeld held;
      int fd = open(path, O_WRONLY | O_CREAT | O_EXCL, 0666);
      if (fd >= 0) return record(fd, path, target);
      if (errno != EEXIST) return nullptr;
      struct stat st;
      target.through_link = lstat(path, &st) == 0 && S_ISLNK(st.st_mode);
      if (target.through_link && stat(path, &st) != 0 && errno == ENOENT) {
        fd = open(path, O_WRONLY | O_CREAT, 0666);
        if (fd >= 0) {
          const char* created =
              realpath(path, created_through_link) != nullptr ? created_through_link
                                                              : nullptr;
          return record(fd, created, target);
        }
        return nullptr;
      }
    }
    // What is there may keep the open waiting (a named pipe, for its
    // reader): the interrupts stay live, and there is nothing to take back.
    int fd = open(path, O_WRONLY);
    if (fd >= 0) {
      InterruptsHeld held;
      return record(fd, nullptr, target);
    }
    if (errno != ENOENT) return nullptr;
  }
  return nullptr;
}

bool empty_target(std::FILE* stream, Target& target) {
  InterruptsHeld held;
  bool emptied = target.created != nullptr || !target.identity.regular ||
                 ftruncate(fileno(stream), 0) == 0;
  target.emptied.store(emptied);
  return emptied;
}

bool close_target(std::FILE* stream, Target& target, int (*close_stream)(std::FILE*)) {
  InterruptsHeld held;
  // After a failed close the file is emptied through this one, if it
  // cannot be removed.
  int spare = dup(fileno(stream));
  bool closed = close_stream(stream) == 0;
  target.handle = spare;
  if (!closed) undo_target(target);
  watch_target(nullptr);
  if (spare >= 0) close(spare);
  target.handle = -1;
  return closed;
}

void undo_target(const Target& target) {
  undo_through(target, static_cast<int>(target.handle));
}

void cut_off_target(const Target& target) {
  int fd = static_cast<int>(target.handle);
  if (fd < 0) return;
  // The writing thread may be in the middle of the text: /dev/null takes
  // the target's place under its descriptor, so every later write lands
  // there; a write on its way into the file already has the file itself.
  int spare = dup(fd);
  int null = open("/dev/null", O_WRONLY);
  if (null >= 0) {
    dup2(null, fd);
    close(null);
  }
  if (undo_through(target, spare) == Undone::emptied) {
    // A file that can only be emptied: a write that was already on its
    // way may land after the first emptying; a second one a moment later
    // takes it too, unless the write is held up longer than that.
    timespec pause = {0, 50 * 1000 * 1000};
    nanosleep(&pause, nullptr);
    ftruncate(spare, 0);
  }
}

}  // namespace kiv
