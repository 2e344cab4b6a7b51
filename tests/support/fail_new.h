// Makes the N-th allocation of the process fail, for real.
//
// Linking fail_new.cc into a test executable replaces the global operator
// new and delete. arm(n) lets n allocations through and makes the next one
// fail (once, or from then on with `persistent`); disarm() stops failing.
// live() counts the blocks allocated and not yet freed, so a round can show
// that a failure path leaked nothing.
#ifndef STRATUS_TESTS_SUPPORT_FAIL_NEW_H_
#define STRATUS_TESTS_SUPPORT_FAIL_NEW_H_

namespace failnew {

void arm(long n, bool persistent = false);
void disarm();
long live();
// Allocations that failed since the last arm().
long failures();

// Runs `op` with the 0th, 1st, 2nd ... allocation failing until a round
// completes without a failure; `round(n, threw)` is called after each
// round. Returns the number of allocation points found.
template <typename Op, typename Check>
long torture(Op op, Check round) {
  for (long n = 0;; ++n) {
    arm(n);
    bool threw = false;
    try {
      op();
    } catch (...) {
      threw = true;
      disarm();
      round(n, threw);
      continue;
    }
    bool failedInside = failures() > 0;
    disarm();
    round(n, threw);
    if (!failedInside) return n;
  }
}

}  // namespace failnew

#endif  // STRATUS_TESTS_SUPPORT_FAIL_NEW_H_
