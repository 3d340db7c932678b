#include "convert/writer.h"

#include <atomic>

#include "io/output.h"

#if !defined(_WIN32)
#include <unistd.h>
#endif

// The writing thread needs a second processor; the web page writes in the
// loop's own thread. Windows has threads, locks and condition variables
// of its own (Wine too, without a round trip to its server per wake-up).
#if !defined(__EMSCRIPTEN__)
#define KIV_WRITE_THREAD 1
#if defined(_WIN32)
#include <process.h>
#include <windows.h>
#else
#include <pthread.h>
#include <sched.h>
#endif
#endif

#if defined(_WIN32)
#include "convert/crlf_out.h"
#endif

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

struct Output {
  std::FILE* file = nullptr;
  int fd = -1;
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
#if defined(_WIN32)
  CrlfTarget crlf;
#endif
#if KIV_WRITE_THREAD && defined(_WIN32)
  HANDLE thread = nullptr;
  SRWLOCK lock = SRWLOCK_INIT;
  CONDITION_VARIABLE changed = CONDITION_VARIABLE_INIT;
#elif KIV_WRITE_THREAD
  pthread_t thread;
  pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
  pthread_cond_t changed = PTHREAD_COND_INITIALIZER;
#endif
#if KIV_WRITE_THREAD
  bool loop_sleeps = false;    // under lock
  bool writer_sleeps = false;  // under lock
#endif
};

Output out;

bool write_block(const unsigned char* data, std::size_t n) {
#if defined(_WIN32)
  return write_to(out.crlf, out.file, data, n);
#else
  return write_all(out.fd, data, n);
#endif
}

#if KIV_WRITE_THREAD
#if defined(_WIN32)
void lock_out() { AcquireSRWLockExclusive(&out.lock); }
void unlock_out() { ReleaseSRWLockExclusive(&out.lock); }
void wait_changed() {
  SleepConditionVariableSRW(&out.changed, &out.lock, INFINITE, 0);
}
void wake_changed() { WakeAllConditionVariable(&out.changed); }
#else
void lock_out() { pthread_mutex_lock(&out.lock); }
void unlock_out() { pthread_mutex_unlock(&out.lock); }
void wait_changed() { pthread_cond_wait(&out.changed, &out.lock); }
void wake_changed() { pthread_cond_broadcast(&out.changed); }
#endif

unsigned queued() {
  return out.handed.load(std::memory_order_acquire) -
         out.written.load(std::memory_order_acquire);
}

// Sleeps until done() holds. The other side changes what done() reads
// before it takes the lock to look at the flag, so no wake-up is lost.
template <class Done>
void sleep_until(bool& sleeps, Done done) {
  lock_out();
  sleeps = true;
  while (!done()) wait_changed();
  sleeps = false;
  unlock_out();
}

// Wakes the other side if it sleeps and wake() says it may go on. The
// wake-up comes after the lock is let go: woken under it, the other side
// would at once wait for the lock, one more sleep and wake-up per block.
// No wake-up is lost so: a side that sleeps is in its wait before the
// lock is free.
template <class Wake>
void wake_if(const bool& sleeps, Wake wake) {
  lock_out();
  bool wakes = sleeps && wake();
  unlock_out();
  if (wakes) wake_changed();
}

// The thread writes each block as soon as it is handed over: a reader of
// the output may be waiting for it.
bool writer_may_go() {
  return queued() > 0 || out.stop.load(std::memory_order_acquire);
}

void* write_handed_over(void*) {
  out.ready.store(true, std::memory_order_release);
  for (;;) {
    if (queued() == 0) {
      sleep_until(out.writer_sleeps, writer_may_go);
      if (queued() == 0) return nullptr;  // stopped
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

bool second_processor() {
#if defined(_WIN32)
  DWORD_PTR process = 0;
  DWORD_PTR system = 0;
  if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system)) {
    return false;
  }
  return (process & (process - 1)) != 0;  // more than one bit
#else
#if defined(__linux__)
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) return CPU_COUNT(&set) > 1;
#endif
  return sysconf(_SC_NPROCESSORS_ONLN) > 1;
#endif
}

// The thread needs little stack: it only writes.
#if defined(_WIN32)
unsigned __stdcall run_writer(void*) {
  write_handed_over(nullptr);
  return 0;
}

bool start_thread() {
  if (!second_processor()) return false;
  out.thread = reinterpret_cast<HANDLE>(
      _beginthreadex(nullptr, 64 * 1024, run_writer, nullptr,
                     STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
  return out.thread != nullptr;
}

void join_thread() {
  WaitForSingleObject(out.thread, INFINITE);
  CloseHandle(out.thread);
}
#else
// The thread needs little stack: it only calls write.
bool start_thread() {
  if (!second_processor()) return false;
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) return false;
  long least = sysconf(_SC_THREAD_STACK_MIN);
  std::size_t stack = 64 * 1024;
  if (least > 0 && static_cast<std::size_t>(least) > stack) {
    stack = static_cast<std::size_t>(least);
  }
  pthread_attr_setstacksize(&attributes, stack);
  bool started =
      pthread_create(&out.thread, &attributes, write_handed_over, nullptr) == 0;
  pthread_attr_destroy(&attributes);
  return started;
}

void join_thread() { pthread_join(out.thread, nullptr); }
#endif

// Waits until at most `most` blocks wait to be written.
void wait_queued(unsigned most) {
  if (queued() <= most) return;
  sleep_until(out.loop_sleeps, [most] { return queued() <= most; });
}
#endif

}  // namespace

bool begin_output(std::FILE* output) {
  out.file = output;
  out.fd = descriptor_of(output);
  bool crlf = false;
#if defined(_WIN32)
  out.crlf = crlf_target(output);
  crlf = out.crlf.direct && out.crlf.text;
#endif
  out.handed.store(0);
  out.written.store(0);
  out.written_alone = 0;
  out.tried = false;
  out.failed.store(false);
  return crlf;
}

unsigned char* output_block() {
  return blocks[out.handed.load(std::memory_order_relaxed) % kBlocks];
}

bool hand_over(std::size_t n, bool more) {
#if KIV_WRITE_THREAD
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
#endif
  if (n > 0 && !write_block(output_block(), n)) {
    out.failed.store(true);
    return false;
  }
#if KIV_WRITE_THREAD
  // Starting the thread and waking it costs about as much as it saves on
  // the first few MiB: shorter texts never start it.
  out.written_alone += n;
  if (more && !out.tried && out.written_alone >= kThreadAfter) {
    out.tried = true;
    out.threaded = start_thread();
  }
#else
  (void)more;
#endif
  return true;
}

bool end_output() {
#if KIV_WRITE_THREAD
  if (out.threaded) {
    wait_queued(0);
    out.stop.store(true, std::memory_order_release);
    wake_if(out.writer_sleeps, [] { return true; });
    join_thread();
    out.stop.store(false);
    out.ready.store(false);
    out.threaded = false;
  }
#endif
  return !out.failed.load();
}

}  // namespace kiv
