// Replacement global allocation functions with a countdown. Only test
// executables that exercise allocation failure link this file.
#include "support/fail_new.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace failnew {
namespace {
std::atomic<long> countdown{-1};  // -1: never fail
std::atomic<bool> keepFailing{false};
std::atomic<long> liveBlocks{0};
std::atomic<long> failed{0};
}  // namespace

void arm(long n, bool persistent) {
  failed = 0;
  keepFailing = persistent;
  countdown = n;
}
void disarm() { countdown = -1; }
long live() { return liveBlocks.load(); }
long failures() { return failed.load(); }

void* take(std::size_t n) {
  long c = countdown.load();
  if (c == 0) {
    if (!keepFailing) countdown = -1;
    ++failed;
    return nullptr;
  }
  if (c > 0) countdown = c - 1;
  void* p = std::malloc(n ? n : 1);
  if (p != nullptr) ++liveBlocks;
  return p;
}

void give(void* p) noexcept {
  if (p != nullptr) {
    --liveBlocks;
    std::free(p);
  }
}

}  // namespace failnew

void* operator new(std::size_t n) {
  if (void* p = failnew::take(n)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t n) {
  if (void* p = failnew::take(n)) return p;
  throw std::bad_alloc();
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  return failnew::take(n);
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
  return failnew::take(n);
}
void operator delete(void* p) noexcept { failnew::give(p); }
void operator delete[](void* p) noexcept { failnew::give(p); }
void operator delete(void* p, std::size_t) noexcept { failnew::give(p); }
void operator delete[](void* p, std::size_t) noexcept { failnew::give(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept {
  failnew::give(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  failnew::give(p);
}
