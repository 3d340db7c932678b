#ifndef KIV_APP_INTERRUPTS_H_
#define KIV_APP_INTERRUPTS_H_

// How a run that is interrupted (Ctrl-C, kill, a hang-up, the console
// closing) keeps its promise: the target it began to write goes, as after
// a failed write, and the process then ends by the same signal, so that a
// shell or make sees an interrupted run. A file-size limit is no
// interrupt: it makes a write fail, with the usual exit code.

#include "app/platform.h"

namespace kiv {

// Installs the handlers; interrupts that the caller had ignored (nohup, a
// job in the background) stay ignored. From now on an interrupt takes back
// what `fate` records (see undo_target); until then there is nothing to
// take back.
void catch_interrupts();

// Holds interrupts back while the target changes state (opened and
// recorded, emptied), so that a handler never sees half of it.
void hold_interrupts();
void release_interrupts();

// The record the handler takes back; null: none (standard output, or the
// run is over).
void watch_target(TargetFate* fate);

}  // namespace kiv

#endif  // KIV_APP_INTERRUPTS_H_
