#include "convert/writer.h"

#include <atomic>
#include <cstring>

#include "convert/writer_system.h"

namespace kiv {
namespace {

// The blocks form a ring: the loop fills them in turn, the thread writes
// them in the same order. Static, like the input block: the conversion
// path allocates nothing.
constexpr unsigned kBlocks = 4;
// When all blocks wait to be written, the loop sleeps until half of them
// are, so that waking it (dear in a virtual machine) is not the price of
// every block.
constexpr unsigned kSlack = kBlocks / 2;
constexpr std::size_t kThreadAfter = 4 * 1024 * 1024;

unsigned char blocks[kBlocks][kOutputBlock];
// The slice buffer of slice_space: touched only while the thread runs.
alignas(64) unsigned char slice[kFilterSlice * kMaxExpansion + kChunkSlack];

struct Output {
  bool tried = false;    // whether the thread was asked for
  bool threaded = false;  // whether it was started
  std::size_t written_alone = 0;  // bytes written before the thread
  // Shared with the writing thread. Blocks handed over and written, as
  // counts; block number k lives in blocks[k % kBlocks]. Until the thread
  // runs both stay 0: the loop fills and writes the first block.
  std::atomic<unsigned> handed{0};
  // Set by the thread once it runs. A new thread takes a while to get
  // there (under Wine some 10 ms, a round trip to its server per loaded
  // library); the loop goes on writing alone meanwhile instead of
  // filling the ring and waiting.
  std::atomic<bool> ready{false};
  std::atomic<unsigned> written{0};
  std::atomic<bool> failed{false};
  std::atomic<bool> stop{false};
  std::size_t sizes[kBlocks] = {};
  bool loop_sleeps = false;    // under lock
  bool writer_sleeps = false;  // under lock
};

Output out;

unsigned queued() {
  return out.handed.load(std::memory_order_acquire) -
         out.written.load(std::memory_order_acquire);
}

// Sleeps until done() holds. The other side changes what done() reads
// before it takes the lock to look at the flag, so no wake-up is lost.
template <class Done>
void sleep_until(bool& sleeps, Done done) {
  lock_ring();
  sleeps = true;
  while (!done()) wait_ring();
  sleeps = false;
  unlock_ring();
}

// Wakes the other side if it sleeps and wake() says it may go on. The
// wake-up comes after the lock is let go: woken under it, the other side
// would at once wait for the lock, one more sleep and wake-up per block.
// No wake-up is lost so: a side that sleeps is in its wait before the
// lock is free.
template <class Wake>
void wake_if(const bool& sleeps, Wake wake) {
  lock_ring();
  bool wakes = sleeps && wake();
  unlock_ring();
  if (wakes) wake_ring();
}

// The thread writes each block as soon as it is handed over: a reader of
// the output may be waiting for it.
bool writer_may_go() {
  return queued() > 0 || out.stop.load(std::memory_order_acquire);
}

void write_handed_over() {
  out.ready.store(true, std::memory_order_release);
  for (;;) {
    if (queued() == 0) {
      sleep_until(out.writer_sleeps, writer_may_go);
      if (queued() == 0) return;  // stopped
    }
    unsigned k = out.written.load(std::memory_order_relaxed) % kBlocks;
    // After a failed write nothing more is written.
    if (!out.failed.load(std::memory_order_relaxed) &&
        !write_block(blocks[k], out.sizes[k])) {
      out.failed.store(true, std::memory_order_relaxed);
    }
    out.written.fetch_add(1, std::memory_order_release);
    wake_if(out.loop_sleeps, [] { return queued() <= kSlack; });
  }
}

// Waits until at most `most` blocks wait to be written.
void wait_queued(unsigned most) {
  if (queued() <= most) return;
  sleep_until(out.loop_sleeps, [most] { return queued() <= most; });
}

// Whether the slices go to the slice buffer (slice_space).
bool slices_apart() { return out.threaded && slices_apart_from_blocks(); }

}  // namespace

bool begin_output(std::FILE* output) {
  out.handed.store(0);
  out.written.store(0);
  out.written_alone = 0;
  out.tried = false;
  out.failed.store(false);
  return begin_blocks(output);
}

unsigned char* output_block() {
  return blocks[out.handed.load(std::memory_order_relaxed) % kBlocks];
}

unsigned char* slice_space(std::size_t used) {
  return slices_apart() ? slice : output_block() + used;
}

void place_slice(std::size_t used, std::size_t n) {
  if (slices_apart()) std::memcpy(output_block() + used, slice, n);
}

bool hand_over(std::size_t n, bool more) {
  if (out.threaded && out.ready.load(std::memory_order_acquire)) {
    if (out.failed.load(std::memory_order_relaxed)) return false;
    if (n == 0) return true;
    unsigned handed = out.handed.load(std::memory_order_relaxed);
    out.sizes[handed % kBlocks] = n;
    out.handed.store(handed + 1, std::memory_order_release);
    wake_if(out.writer_sleeps, writer_may_go);
    // The next block must be free; when none is, wait until half are.
    if (queued() == kBlocks) wait_queued(kSlack);
    return !out.failed.load(std::memory_order_relaxed);
  }
  if (n > 0 && !write_block(output_block(), n)) {
    out.failed.store(true);
    return false;
  }
  // Starting the thread and waking it costs about as much as it saves on
  // the first few MiB: shorter texts never start it, nor does a process
  // that has one processor only.
  out.written_alone += n;
  if (more && !out.tried && out.written_alone >= kThreadAfter) {
    out.tried = true;
    out.threaded = second_processor() && start_writing_thread(write_handed_over);
  }
  return true;
}

bool end_output() {
  if (out.threaded) {
    wait_queued(0);
    out.stop.store(true, std::memory_order_release);
    wake_if(out.writer_sleeps, [] { return true; });
    join_writing_thread();
    out.stop.store(false);
    out.ready.store(false);
    out.threaded = false;
  }
  return !out.failed.load();
}

}  // namespace kiv
