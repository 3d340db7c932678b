#include <process.h>
#include <windows.h>

#include "convert/crlf_out.h"
#include "convert/writer_system.h"

// Windows has threads, locks and condition variables of its own, which
// Wine too runs without a round trip to its server per wake-up.

namespace kiv {
namespace {

std::FILE* stream = nullptr;
BlockRoute blocks_go;
HANDLE thread = nullptr;
SRWLOCK lock = SRWLOCK_INIT;
CONDITION_VARIABLE changed = CONDITION_VARIABLE_INIT;
void (*thread_body)() = nullptr;

unsigned __stdcall run_body(void*) {
  thread_body();
  return 0;
}

}  // namespace

bool begin_blocks(std::FILE* output) {
  stream = output;
  blocks_go = block_route(output);
  return blocks_go.direct && blocks_go.text;
}

bool write_block(const unsigned char* data, std::size_t n) {
  return write_to(blocks_go, stream, data, n);
}

bool second_processor() {
  DWORD_PTR process = 0;
  DWORD_PTR system = 0;
  if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system)) {
    return false;
  }
  return (process & (process - 1)) != 0;  // more than one bit
}

// Under Wine the slice copy cost more than it saved (AMD Zen 5,
// bench/run-windows: about 1.05 of the time without, in most sets).
bool slices_apart_from_blocks() { return false; }

bool start_writing_thread(void (*body)()) {
  thread_body = body;
  thread = reinterpret_cast<HANDLE>(
      _beginthreadex(nullptr, 64 * 1024, run_body, nullptr,
                     STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
  return thread != nullptr;
}

void join_writing_thread() {
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
}

void lock_ring() { AcquireSRWLockExclusive(&lock); }
void unlock_ring() { ReleaseSRWLockExclusive(&lock); }
void wait_ring() { SleepConditionVariableSRW(&changed, &lock, INFINITE, 0); }
void wake_ring() { WakeAllConditionVariable(&changed); }

}  // namespace kiv
