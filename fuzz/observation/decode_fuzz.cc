// decodeObservation on any bytes: it must return 0 without reading out of
// bounds, leave its input alone, keep the record's paired flags together,
// and decode the same text the same way twice.
#include <cstdint>
#include <cstring>

#include "stratus/observation/observation.h"

namespace {

bool sameRecord(const WObservation& a, const WObservation& b) {
  if (a.hasTime != b.hasTime || a.hasTemp != b.hasTemp ||
      a.hasPressure != b.hasPressure || a.hasWindSpeed != b.hasWindSpeed ||
      a.hasWindGustSpeed != b.hasWindGustSpeed)
    return false;
  if (a.hasTime && a.time != b.time) return false;
  if (a.hasTemp && std::memcmp(&a.temp, &b.temp, sizeof a.temp) != 0)
    return false;
  if (a.hasWindSpeed &&
      (a.windDirection != b.windDirection || a.windSpeed != b.windSpeed ||
       a.windVariableFrom != b.windVariableFrom))
    return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 20) return 0;
  const LString text(reinterpret_cast<const char*>(data),
                     static_cast<int>(size));
  WObservation first, second;
  if (decodeObservation(text, first) != 0) __builtin_trap();
  if (first.hasTemp != first.hasDewPoint) __builtin_trap();
  if (first.hasWindDirection != first.hasWindSpeed) __builtin_trap();
  if (first.hasWindGustSpeed && !first.hasWindSpeed) __builtin_trap();
  if (text.length() != static_cast<int>(size) ||
      (size != 0 && std::memcmp(static_cast<const char*>(text), data, size)))
    __builtin_trap();
  decodeObservation(text, second);
  // The report time depends on the clock, which may pass midnight between
  // the two decodes; everything else may not change.
  second.time = first.time;
  if (!sameRecord(first, second)) __builtin_trap();
  return 0;
}
