// The library's clock, with a seam for tests.
//
// Everything that asks for "now" (LCTime::Now, and through it the report
// time of the decoder) goes through currentTime(), so a test can pin the
// clock to a fixed moment and check month and year rollovers for real.
#ifndef STRATUS_FOUNDATION_CLOCK_H_
#define STRATUS_FOUNDATION_CLOCK_H_

namespace stratus {

// Seconds since the epoch: the pinned time when one is set, else the
// system clock.
long currentTime();

// Pins the clock to `seconds` since the epoch. Not thread-safe; tests only.
void pinClock(long seconds);
// Returns the clock to the system time.
void unpinClock();

// Re-reads the local zone (after TZ was changed in the environment) and
// drops the cached offset.
void zoneChanged();

}  // namespace stratus

#endif  // STRATUS_FOUNDATION_CLOCK_H_
