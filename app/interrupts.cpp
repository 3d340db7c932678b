#include "app/interrupts.h"

#include <atomic>
#include <initializer_list>

#include "convert/writer.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <pthread.h>

#include <cerrno>
#include <csignal>
#endif

namespace kiv {
namespace {

std::atomic<TargetFate*> watched{nullptr};
static_assert(std::atomic<TargetFate*>::is_always_lock_free,
              "the handler reads it");

// What every handler does first: no block is written any more, and the
// target goes.
void take_back() {
  TargetFate* fate = watched.load();
  if (fate == nullptr) return;
  stop_writing();
  undo_target(*fate);
}

#if defined(_WIN32)

// Runs on a thread of its own while the run goes on: it ends the process
// itself, with the status the system's own handler gives.
BOOL WINAPI on_console_event(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
      take_back();
      ExitProcess(STATUS_CONTROL_C_EXIT);
    default:
      return FALSE;
  }
}

#else

constexpr int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

sigset_t interrupt_set() {
  sigset_t set;
  sigemptyset(&set);
  for (int signal : kInterrupts) sigaddset(&set, signal);
  return set;
}

sigset_t before_hold;

// Blocked in the writing thread, so it interrupts the loop's thread, with
// the other interrupts held back until it is done.
void on_interrupt(int signal) {
  int error = errno;
  take_back();
  // The default action comes once the handler returns and the signal is
  // no longer held back.
  std::signal(signal, SIG_DFL);
  std::raise(signal);
  errno = error;
}

#endif

}  // namespace

#if defined(_WIN32)

void catch_interrupts() { SetConsoleCtrlHandler(on_console_event, TRUE); }
void hold_interrupts() {}
void release_interrupts() {}

#else

void catch_interrupts() {
  // A write beyond the limit then fails with EFBIG instead of a signal.
  std::signal(SIGXFSZ, SIG_IGN);
  struct sigaction handler = {};
  handler.sa_handler = on_interrupt;
  handler.sa_mask = interrupt_set();
  handler.sa_flags = SA_RESTART;
  for (int signal : kInterrupts) {
    struct sigaction before;
    if (sigaction(signal, nullptr, &before) == 0 &&
        before.sa_handler == SIG_IGN) {
      continue;
    }
    sigaction(signal, &handler, nullptr);
  }
}

void hold_interrupts() {
  sigset_t set = interrupt_set();
  pthread_sigmask(SIG_BLOCK, &set, &before_hold);
}

void release_interrupts() { pthread_sigmask(SIG_SETMASK, &before_hold, nullptr); }

#endif

void watch_target(TargetFate* fate) { watched.store(fate); }

}  // namespace kiv
