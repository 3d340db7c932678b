#include "convert/writer.h"

#include <atomic>

// The writing thread needs POSIX threads and a second processor; Windows
// and the web page write in the loop's own thread.
#if !defined(_WIN32) && !defined(__EMSCRIPTEN__)
#define KIV_WRITE_THREAD 1
#include <pthread.h>
#include <sched.h>
#include <unistd.h>
#endif

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>  // _mm_pause
#endif

namespace kiv {
namespace {

// Static, like the input block: the conversion path allocates nothing.
unsigned char blocks[2][kOutputBlock];

struct Output {
  std::FILE* file = nullptr;
  int current = 0;       // the block being filled
  bool tried = false;    // whether the thread was asked for
  bool threaded = false;
  // Shared with the writing thread.
  std::atomic<bool> busy{false};  // a block is handed over, not yet written
  std::atomic<bool> failed{false};
  std::atomic<bool> stop{false};
  const unsigned char* data = nullptr;  // the handed-over block, while busy
  std::size_t size = 0;
#if KIV_WRITE_THREAD
  pthread_t thread;
  pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
  pthread_cond_t changed = PTHREAD_COND_INITIALIZER;
#endif
};

Output out;

bool write_block(const unsigned char* data, std::size_t n) {
  return std::fwrite(data, 1, n, out.file) == n;
}

#if KIV_WRITE_THREAD
// How long a side spins before it sleeps: a few hundred microseconds, about
// the time a block takes. Waking a sleeping thread on another processor
// costs more than the whole block in a virtual machine.
constexpr int kSpins = 4096;

inline void relax() {
#if defined(__x86_64__) || defined(__i386__)
  _mm_pause();
#elif defined(__aarch64__)
  __asm__ __volatile__("yield");
#endif
}

// Waits until done() holds. The other side changes the flag done() reads
// before it takes the lock to wake this one, so no wake-up is lost.
template <class Done>
void wait_until(Done done) {
  for (int spin = 0; spin < kSpins; ++spin) {
    if (done()) return;
    relax();
  }
  pthread_mutex_lock(&out.lock);
  while (!done()) pthread_cond_wait(&out.changed, &out.lock);
  pthread_mutex_unlock(&out.lock);
}

void wake() {
  pthread_mutex_lock(&out.lock);
  pthread_cond_broadcast(&out.changed);
  pthread_mutex_unlock(&out.lock);
}

void* write_handed_over(void*) {
  for (;;) {
    wait_until([] {
      return out.busy.load(std::memory_order_acquire) ||
             out.stop.load(std::memory_order_acquire);
    });
    if (!out.busy.load(std::memory_order_acquire)) return nullptr;
    // After a failed write nothing more is written.
    if (!out.failed.load(std::memory_order_relaxed) &&
        !write_block(out.data, out.size)) {
      out.failed.store(true, std::memory_order_relaxed);
    }
    out.busy.store(false, std::memory_order_release);
    wake();
  }
}

bool second_processor() {
#if defined(__linux__)
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) return CPU_COUNT(&set) > 1;
#endif
  return sysconf(_SC_NPROCESSORS_ONLN) > 1;
}

// The thread needs little stack: it only calls fwrite.
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

void wait_idle() {
  wait_until([] { return !out.busy.load(std::memory_order_acquire); });
}
#endif

}  // namespace

void begin_output(std::FILE* output) {
  out.file = output;
  out.current = 0;
  out.tried = false;
  out.failed.store(false);
}

unsigned char* output_block() { return blocks[out.current]; }

bool hand_over(std::size_t n, bool more) {
#if KIV_WRITE_THREAD
  if (out.threaded) {
    // The other block is free once its write is done.
    wait_idle();
    if (out.failed.load(std::memory_order_relaxed)) return false;
    if (n == 0) return true;
    out.data = blocks[out.current];
    out.size = n;
    out.busy.store(true, std::memory_order_release);
    wake();
    out.current ^= 1;
    return true;
  }
#endif
  if (n > 0 && !write_block(blocks[out.current], n)) {
    out.failed.store(true);
    return false;
  }
#if KIV_WRITE_THREAD
  // A text that fits one block never needs the thread.
  if (more && !out.tried) {
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
    wait_idle();
    out.stop.store(true, std::memory_order_release);
    wake();
    pthread_join(out.thread, nullptr);
    out.stop.store(false);
    out.threaded = false;
  }
#endif
  return !out.failed.load();
}

}  // namespace kiv
