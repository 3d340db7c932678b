#include "io/output_windows.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

namespace kiv {
namespace {

// The loop of a run as the gate sees it: pieces of output and held steps
// in turn. After each step it waits until it is let go on.
constexpr int kSteps = 6;

struct Loop {
  OutputGate gate;
  HANDLE file = nullptr;
  std::atomic<int> done{0};
  std::atomic<int> go{0};
};

void run_steps(Loop& loop) {
  for (int step = 0; step < kSteps; ++step) {
    while (loop.go.load() <= step) Sleep(0);
    if (step % 3 == 2) {
      hold_output(loop.gate);
      loop.done.fetch_add(1);
      release_output(loop.gate);
    } else {
      write_handle(loop.gate, loop.file, "piece", 5);
      loop.done.fetch_add(1);
    }
  }
}

LONGLONG size_of(HANDLE file) {
  LARGE_INTEGER size = {};
  GetFileSizeEx(file, &size);
  return size.QuadPart;
}

// The handler, on a thread of its own, stops the loop at each point of it
// in turn: once the gate is closed, nothing more is written and no held
// step begins; the loop waits at the gate for the end of the process.
TEST(OutputGate, NothingPassesAClosedGateWhereverTheLoopIs) {
  static Loop loops[kSteps + 1];
  for (int point = 0; point <= kSteps; ++point) {
    Loop& loop = loops[point];
    std::string name = "kiv-gate-" + std::to_string(point) + ".txt";
    loop.file = CreateFileA(name.c_str(), GENERIC_WRITE | GENERIC_READ, 0, nullptr,
                            CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(loop.file, INVALID_HANDLE_VALUE);
    std::thread steps(run_steps, std::ref(loop));
    loop.go.store(point);
    while (loop.done.load() < point) Sleep(0);
    ASSERT_TRUE(stop_output(loop.gate, 1000)) << "at point " << point;
    LONGLONG size_at_stop = size_of(loop.file);
    EXPECT_EQ(size_at_stop, 5 * (point - point / 3)) << "at point " << point;
    loop.go.store(kSteps);
    Sleep(50);
    EXPECT_EQ(loop.done.load(), point);
    EXPECT_EQ(size_of(loop.file), size_at_stop) << "at point " << point;
    if (point == kSteps) {
      steps.join();
      CloseHandle(loop.file);
    } else {
      steps.detach();  // waits at the gate for good
    }
  }
}

// A write that does not end (a pipe nobody reads) holds the gate: the
// handler gives up waiting for it after the time it was given, and once
// that write is through, the next one waits at the gate.
TEST(OutputGate, AStopWaitsForABlockedWriteOnlyAsLongAsItWasTold) {
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  ASSERT_TRUE(CreatePipe(&read_end, &write_end, nullptr, 4096));
  static OutputGate gate;
  static std::string text(1 << 20, 'x');
  static std::atomic<int> written{0};
  std::thread writer([write_end] {
    write_handle(gate, write_end, text.data(), text.size());
    written.fetch_add(1);
    write_handle(gate, write_end, "more", 4);
    written.fetch_add(1);
  });
  Sleep(100);
  ULONGLONG before = GetTickCount64();
  EXPECT_FALSE(stop_output(gate, 200));
  ULONGLONG waited = GetTickCount64() - before;
  EXPECT_GE(waited, 150u);
  EXPECT_LT(waited, 2000u);

  std::string got;
  char buffer[65536];
  while (got.size() < text.size()) {
    DWORD n = 0;
    if (!ReadFile(read_end, buffer, sizeof buffer, &n, nullptr) || n == 0) break;
    got.append(buffer, n);
  }
  Sleep(50);
  DWORD waiting = 0;
  EXPECT_TRUE(PeekNamedPipe(read_end, nullptr, 0, nullptr, &waiting, nullptr));
  EXPECT_EQ(got.size(), text.size());
  EXPECT_EQ(waiting, 0u);
  EXPECT_EQ(written.load(), 1);
  writer.detach();
}

}  // namespace
}  // namespace kiv
