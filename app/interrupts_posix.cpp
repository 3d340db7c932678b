#include <pthread.h>
#include <unistd.h>

#include <csignal>

#include "app/interrupts.h"
#include "app/target.h"

namespace kiv {
namespace {

constexpr int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

sigset_t interrupt_set() {
  sigset_t set;
  sigemptyset(&set);
  for (int signal : kInterrupts) sigaddset(&set, signal);
  return set;
}

// Only the run's own thread holds interrupts back.
int holds = 0;
sigset_t before_hold;

// Runs on whichever thread the interrupt finds, with the other interrupts
// held back; it waits for nothing, and the signal's default action then
// ends the process.
void on_interrupt(int signal) {
  if (Target* target = watched_target()) cut_off_target(*target);
  std::signal(signal, SIG_DFL);
  sigset_t just_this;
  sigemptyset(&just_this);
  sigaddset(&just_this, signal);
  pthread_sigmask(SIG_UNBLOCK, &just_this, nullptr);
  std::raise(signal);
  // Where something between the program and the system holds the signal
  // back even so (ThreadSanitizer does), the run must not go on writing
  // into nothing and end as if it had converted.
  _exit(128 + signal);
}

}  // namespace

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
  if (holds++ > 0) return;
  sigset_t set = interrupt_set();
  pthread_sigmask(SIG_BLOCK, &set, &before_hold);
}

void release_interrupts() {
  if (--holds > 0) return;
  pthread_sigmask(SIG_SETMASK, &before_hold, nullptr);
}

}  // namespace kiv
