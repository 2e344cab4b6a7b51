// LTime / LCTime: calendar time in the machine's clock zone or in UTC.
//
// An LCTime holds one moment (seconds since the epoch) and its broken-down
// calendar fields in its zone. UTC arithmetic is pure integer date
// arithmetic; the local zone uses the C library's zone rules. Not
// thread-safe; instances are plain values.
#ifndef STRATUS_FOUNDATION_TIME_H_
#define STRATUS_FOUNDATION_TIME_H_

#include "stratus/export.h"

class STRATUS_EXPORT LTime {
 public:
  enum TimeZone { Local = 0, UTC = 1 };  // 0: the machine's clock zone
  enum Month {
    January = 1,
    February,
    March,
    April,
    May,
    June,
    July,
    August,
    September,
    October,
    November,
    December
  };
};

class STRATUS_EXPORT LCTime : public LTime {
 public:
  int year, month, day;      // year in full (2026), month 1..12, day 1..31
  int hour, minute, second;  // 0..23, 0..59, 0..60

  // The epoch (1970-01-01 00:00:00 UTC) seen in `zone`.
  explicit LCTime(TimeZone zone);
  // A calendar date and time read in `zone`. Out-of-range fields carry over
  // (day 32 of January is February 1, hour 24 the next day); a month
  // outside 1..12 carries into the year.
  LCTime(int month, int day, int year, int hour, int minute, int second,
         TimeZone zone);
  // The moment `calendarTime` (seconds since the epoch) seen in `zone`.
  LCTime(long calendarTime, TimeZone zone);
  LCTime(const LCTime& other);
  LCTime& operator=(const LCTime& other);
  // Moves to the moment `calendarTime`, keeping the zone.
  LCTime& operator=(long calendarTime);

  // Moves to the current time of the clock.
  void Now();
  // Seconds since the epoch.
  long GetCalendarTime() const { return time_; }
  TimeZone getZone() const { return zone_; }

 private:
  void setFields();

  long time_;
  TimeZone zone_;
};

#endif  // STRATUS_FOUNDATION_TIME_H_
