#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include "convert/writer_system.h"
#include "io/output.h"

namespace kiv {
namespace {

int target = -1;
pthread_t thread;
pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
pthread_cond_t changed = PTHREAD_COND_INITIALIZER;
void (*thread_body)() = nullptr;

void* run_body(void*) {
  thread_body();
  return nullptr;
}

}  // namespace

bool begin_blocks(std::FILE* output) {
  target = descriptor_of(output);
  return false;
}

bool write_block(const unsigned char* data, std::size_t n) {
  return write_all(target, data, n);
}

// The web page's emscripten has one processor, and so one thread.
bool second_processor() {
#if defined(__linux__)
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) return CPU_COUNT(&set) > 1;
#endif
  return sysconf(_SC_NPROCESSORS_ONLN) > 1;
}

// Measured on Linux, it paid in every set (AMD Zen 5, two CPUs,
// bench/run --before: 0.83 to 0.93 of the time without).
bool slices_apart_from_blocks() { return true; }

bool start_writing_thread(void (*body)()) {
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) return false;
  long least = sysconf(_SC_THREAD_STACK_MIN);
  std::size_t stack = 64 * 1024;
  if (least > 0 && static_cast<std::size_t>(least) > stack) {
    stack = static_cast<std::size_t>(least);
  }
  pthread_attr_setstacksize(&attributes, stack);
  thread_body = body;
  bool started = pthread_create(&thread, &attributes, run_body, nullptr) == 0;
  pthread_attr_destroy(&attributes);
  return started;
}

void join_writing_thread() { pthread_join(thread, nullptr); }

void lock_ring() { pthread_mutex_lock(&lock); }
void unlock_ring() { pthread_mutex_unlock(&lock); }
void wait_ring() { pthread_cond_wait(&changed, &lock); }
void wake_ring() { pthread_cond_broadcast(&changed); }

}  // namespace kiv
