#include "app/interrupts.h"

#include <atomic>

namespace kiv {
namespace {

// Written by the run, read by a handler: on Windows from a thread of its
// own, hence the ordering.
std::atomic<Target*> watched{nullptr};
static_assert(std::atomic<Target*>::is_always_lock_free, "a handler reads it");

}  // namespace

void watch_target(Target* target) { watched.store(target, std::memory_order_release); }

Target* watched_target() { return watched.load(std::memory_order_acquire); }

}  // namespace kiv
