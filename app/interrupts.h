#ifndef KIV_APP_INTERRUPTS_H_
#define KIV_APP_INTERRUPTS_H_

// How a run that is interrupted (Ctrl-C, kill, a hang-up, the console
// closing) keeps its promise: the target it began to write goes, as after
// a failed write, and the process then ends by the same signal, so that a
// shell or make sees an interrupted run. Nothing waits for a write that
// may never end. A file-size limit is no interrupt: it makes a write fail,
// with the usual exit code.

namespace kiv {

struct Target;

// Installs the handlers; interrupts that the caller had ignored (nohup, a
// job in the background) stay ignored.
void catch_interrupts();

// Holds interrupts back while a step that cannot wait for long changes
// what an interrupt would take back (creating and recording the target,
// emptying it, closing it), so that a handler never sees half of it.
// Holds nest.
void hold_interrupts();
void release_interrupts();

struct InterruptsHeld {
  InterruptsHeld() { hold_interrupts(); }
  ~InterruptsHeld() { release_interrupts(); }
  InterruptsHeld(const InterruptsHeld&) = delete;
  InterruptsHeld& operator=(const InterruptsHeld&) = delete;
};

// The target an interrupt takes back from now on; null: none (standard
// output, or the run is over). Called with interrupts held.
void watch_target(Target* target);

// The target watched now.
Target* watched_target();

}  // namespace kiv

#endif  // KIV_APP_INTERRUPTS_H_
