#include <windows.h>

#include "app/interrupts.h"
#include "app/target.h"
#include "io/output_windows.h"

namespace kiv {
namespace {

// How long the handler waits for a write under way before it takes the
// target back anyway: a write to a pipe that nobody reads never ends.
constexpr unsigned kStopWait = 500;

int holds = 0;

// Runs on a thread of its own while the run goes on. Once the output gate
// is closed the run stops at its next piece of output or held step, and
// the handler ends the process itself, with the status the system's own
// handler gives.
BOOL WINAPI on_console_event(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
      stop_output(output_gate(), kStopWait);
      if (Target* target = watched_target()) cut_off_target(*target);
      ExitProcess(STATUS_CONTROL_C_EXIT);
    default:
      return FALSE;
  }
}

}  // namespace

void catch_interrupts() { SetConsoleCtrlHandler(on_console_event, TRUE); }

// Held steps and output pass the same gate, so the handler cannot come
// in the middle of either.
void hold_interrupts() {
  if (holds++ == 0) hold_output(output_gate());
}

void release_interrupts() {
  if (--holds == 0) release_output(output_gate());
}

}  // namespace kiv
