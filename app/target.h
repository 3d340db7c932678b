#ifndef KIV_APP_TARGET_H_
#define KIV_APP_TARGET_H_

// A target opened by name, from its opening to its closing, and what a
// failed or interrupted run has to take back: a file the run created or
// began to write goes, so that no half-written file passes for a finished
// one; where the name stays (a symbolic link, a folder that does not let
// it go) the file is emptied. A target only opened stays as it was.

#include <atomic>
#include <cstdint>
#include <cstdio>

#include "app/platform.h"

namespace kiv {

// What the run has done to its target so far. Filled before anything is
// written; an interrupt handler reads it (see watch_target).
struct Target {
  const char* name = nullptr;     // the target as named
  const char* created = nullptr;  // the file the run created: the name, or
                                  // where a dangling link led; null when
                                  // the file was there before
  FileIdentity identity;          // of the opened file
  std::intptr_t handle = -1;      // its descriptor (a HANDLE on Windows)
  std::intptr_t spare = -1;       // a second handle of it (Windows), kept
                                  // to take it back through after a close
  bool through_link = false;      // the name is a symbolic link
  std::atomic<bool> emptied{false};  // its old text is gone
};

// Opens (or creates) the target without emptying it, records it in
// `target` and has interrupts take it back from then on; null when it
// cannot be opened. Opening what is there may wait (a named pipe waits for
// its reader); an interrupt meanwhile has nothing to take back.
std::FILE* open_target(const char* path, Target& target);

// Empties an opened target (devices and pipes are left as they are);
// from now on a failure removes it.
bool empty_target(std::FILE* stream, Target& target);

// Closes the target and stops watching it; false when even the close
// failed, and then it is taken back as after a failed write.
bool close_target(std::FILE* stream, Target& target,
                  int (*close)(std::FILE*) = std::fclose);

// Takes back what the run did to its still open target (see above);
// nothing happens when the name no longer leads to the file.
// Async-signal-safe.
void undo_target(const Target& target);

// For an interrupt: from now on nothing written reaches the target, then
// it is taken back. Async-signal-safe.
void cut_off_target(const Target& target);

}  // namespace kiv

#endif  // KIV_APP_TARGET_H_
