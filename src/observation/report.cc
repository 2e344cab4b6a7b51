// decodeReport: the complete reading. Walks the groups of the report once,
// offers each to the readers of report_groups.cc in turn and skips what no
// reader recognises; then derives the values that come from several groups
// (report time, pressure, ceiling, flight category).
#include "stratus/observation/report.h"

#include <cstring>

#include "stratus/foundation/result.h"
#include "stratus/foundation/time.h"

#include "foundation/ascii.h"
#include "foundation/clock.h"
#include "foundation/units.h"
#include "observation/report_groups.h"

using namespace stratus;

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The groups of a text, read in place. An "=" closes the report: the group
// it stands in ends before it, and nothing behind it is read.
class Groups {
 public:
  Groups(const char* s, int n) : s_(s), end_(s + n) {}

  // The next group, or false at the end of the text.
  bool next(Group& g) {
    while (s_ < end_ && isBlank(*s_)) ++s_;
    if (s_ == end_) return false;
    const char* start = s_;
    while (s_ < end_ && !isBlank(*s_) && *s_ != '=') ++s_;
    g = Group{start, static_cast<int>(s_ - start)};
    if (s_ < end_ && *s_ == '=') s_ = end_;
    return true;
  }

  // The group after the one `next` gave last, without taking it; an empty
  // group at the end.
  Group peek() const {
    Groups copy(*this);
    Group g{end_, 0};
    copy.next(g);
    return g;
  }

 private:
  const char* s_;
  const char* end_;
};

bool isTrend(const Group& g) {
  return g.is("NOSIG") || g.is("BECMG") || g.is("TEMPO");
}

bool isStation(const Group& g) {
  if (g.n != 4 || !isUpper(g.s[0])) return false;
  for (int i = 1; i < 4; ++i) {
    if (!isUpper(g.s[i]) && !isDigit(g.s[i])) return false;
  }
  return true;
}

bool isLeapYear(long y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(long year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

// The current UTC month and the twelve before it, each with the moment
// its first day begins: worked out once per UTC day and thread, so that a
// report time costs a few additions instead of calendar arithmetic.
struct RecentMonths {
  static const int kCount = 13;
  long today = -1;  // days since the epoch the table was made for
  long year[kCount] = {};
  int month[kCount] = {};
  long start[kCount] = {};

  void refresh(long now) {
    const long day = now / 86400;
    if (day == today) return;
    const LCTime t(now, LTime::UTC);
    long y = t.year;
    int m = t.month;
    for (int back = 0; back < kCount; ++back) {
      year[back] = y;
      month[back] = m;
      start[back] = LCTime(m, 1, static_cast<int>(y), 0, 0, 0, LTime::UTC)
                        .GetCalendarTime();
      if (--m == 0) {
        m = 12;
        --y;
      }
    }
    today = day;
  }
};

// The latest moment with this UTC day, hour and minute that lies no later
// than a day after now: a report is never from the future, but the
// station's clock and ours may disagree around midnight. A day the month
// before lacks goes back to the latest month that has it. Hour 24 is the
// end of the day.
long reportMoment(int day, int hour, int minute) {
  thread_local RecentMonths months;
  const long now = currentTime();
  months.refresh(now);
  const long offset =
      (day - 1) * 86400L + hour * 3600L + static_cast<long>(minute) * 60;
  for (int back = 0; back < RecentMonths::kCount; ++back) {
    if (day > daysInMonth(months.year[back], months.month[back])) continue;
    const long t = months.start[back] + offset;
    if (t <= now + 86400) return t;
  }
  return months.start[RecentMonths::kCount - 1] + offset;  // not reached
}

void deriveCeiling(WReport& r) {
  for (int i = 0; i < r.layerCount; ++i) {
    const WReport::Layer& l = r.layers[i];
    if (l.heightMissing) continue;
    if (l.cover != WReport::BROKEN && l.cover != WReport::OVERCAST &&
        l.cover != WReport::VERTICAL_VISIBILITY)
      continue;
    if (!r.hasCeiling || l.height < r.ceiling) {
      r.ceiling = l.height;
      r.hasCeiling = true;
    }
  }
}

// LIFR < 500 ft or < 1 SM; IFR < 1000 ft or < 3 SM; MVFR <= 3000 ft or
// <= 5 SM; VFR otherwise.
WReport::FlightCategory categoryOfCeiling(int feet) {
  if (feet < 500) return WReport::LIFR;
  if (feet < 1000) return WReport::IFR;
  if (feet <= 3000) return WReport::MVFR;
  return WReport::VFR;
}

WReport::FlightCategory categoryOfVisibility(float miles, int bound) {
  if (miles < 1.0f) return WReport::LIFR;
  if (miles < 3.0f) return WReport::IFR;
  if (miles <= 5.0f && bound <= 0) return WReport::MVFR;
  return WReport::VFR;
}

void deriveFlightCategory(WReport& r) {
  // The sky is known when a layer or a clear-sky word was read: without a
  // ceiling among them the ceiling is unlimited.
  const bool skyKnown = r.layerCount > 0 || r.cavok;
  WReport::FlightCategory ceiling = WReport::UNKNOWN_CATEGORY;
  if (r.hasCeiling) {
    ceiling = categoryOfCeiling(r.ceiling);
  } else if (skyKnown) {
    ceiling = WReport::VFR;
  }
  WReport::FlightCategory visibility = WReport::UNKNOWN_CATEGORY;
  if (r.hasVisibility)
    visibility = categoryOfVisibility(r.visibilityMiles, r.visibilityBound);
  // The enumeration runs from best to worst: the larger value wins.
  if (ceiling != WReport::UNKNOWN_CATEGORY &&
      visibility != WReport::UNKNOWN_CATEGORY) {
    r.flightCategory = ceiling > visibility ? ceiling : visibility;
  } else {
    const WReport::FlightCategory known =
        ceiling != WReport::UNKNOWN_CATEGORY ? ceiling : visibility;
    if (known == WReport::IFR || known == WReport::LIFR)
      r.flightCategory = known;
  }
}

// The groups of the body, each offered to the readers in turn. Kinds that
// a report codes once keep the first group holding a value.
void readBodyGroup(const Group& g, Groups& groups, WReport& r) {
  if (g.is("AUTO")) {
    r.automatic = true;
    return;
  }
  if (g.is("COR") || (g.n == 3 && g.s[0] == 'C' && g.s[1] == 'C' &&
                      g.s[2] >= 'A' && g.s[2] <= 'Z')) {
    r.corrected = true;
    return;
  }
  int day, hour, minute;
  if (!r.hasTimeGroup && readTimeGroup(g, day, hour, minute)) {
    r.time = reportMoment(day, hour, minute);
    if (hour == 24) {
      // "2400" ends the day: the fields are those of the moment, 0000 of
      // the next day (in the next month after the month's last day).
      const LCTime next(r.time, LTime::UTC);
      day = next.day;
      hour = 0;
    }
    r.day = day;
    r.hour = hour;
    r.minute = minute;
    r.hasTime = r.hasTimeGroup = true;
    return;
  }
  // "/////KT" is taken as a wind group without a value: a later wind
  // group may still give one.
  if (!r.hasWind && readWind(g, r)) return;
  if (r.hasWind && !r.hasWindVariable && readWindVariable(g, r)) return;
  if (!r.hasVisibility) {
    // Only whole miles ("1" of "1 1/2SM") need the group behind.
    const bool whole = g.n <= 2 && allDigits(g.s, g.n);
    const Group next = whole ? groups.peek() : Group{g.s + g.n, 0};
    bool usedNext;
    if (readVisibility(g, next, &usedNext, r)) {
      if (usedNext) {
        Group skipped;
        groups.next(skipped);
      }
      return;
    }
  }
  if (readRunway(g, r) || readWeather(g, r) || readSky(g, r)) return;
  if (!r.hasTemp && readTemperature(g, r)) return;
  readAltimeter(g, r);
}

}  // namespace

int decodeReport(const LString& text, WReport& out) {
  out = WReport{};
  Groups groups(text, text.length());
  Group g;
  if (!groups.next(g)) return L_OK;

  // Head: the type word and the station, each in its place or not at all.
  if (g.is("METAR") || g.is("SPECI")) {
    out.type = g.s[0] == 'M' ? WReport::METAR : WReport::SPECI;
    if (!groups.next(g)) return L_OK;
  }
  if (g.is("COR")) {  // "METAR COR KXYZ ..."
    out.corrected = true;
    if (!groups.next(g)) return L_OK;
  }
  bool more = true;
  if (isStation(g) && !g.is("AUTO")) {
    std::memcpy(out.station, g.s, 4);
    out.station[4] = '\0';
    more = groups.next(g);
  }

  // Body, up to the remarks or the first trend.
  bool inRemarks = false;
  for (; more; more = groups.next(g)) {
    if (g.is("RMK")) {
      inRemarks = true;
      break;
    }
    if (isTrend(g)) break;
    if (g.is("NIL")) {
      out.nil = true;
      break;
    }
    readBodyGroup(g, groups, out);
  }
  // A trend may stand before the remarks: look for them behind it.
  if (more && !inRemarks && !out.nil) {
    while ((more = groups.next(g))) {
      if (g.is("RMK")) {
        inRemarks = true;
        break;
      }
    }
  }
  if (inRemarks) {
    bool tenthsRead = false;
    while (groups.next(g)) readRemark(g, out, tenthsRead);
  }

  if (out.hasAltimeterInHg) {
    out.pressure = out.altimeterInHg;
    out.hasPressure = true;
  } else if (out.hasAltimeterHpa) {
    out.pressure = static_cast<float>(out.altimeterHpa / kHpaPerInHg);
    out.hasPressure = true;
  }
  deriveCeiling(out);
  deriveFlightCategory(out);
  // A missing report ("NIL") observed nothing, whatever time it was due.
  out.decoded =
      !out.nil &&
      (out.hasTime || out.hasWind || out.hasVisibility || out.runwayCount > 0 ||
       out.weatherCount > 0 || out.layerCount > 0 || out.hasTemp ||
       out.hasDewPoint || out.hasPressure || out.hasSeaLevelPressure);
  return L_OK;
}

const char* reportCode(WReport::Phenomenon phenomenon) {
  const int i = static_cast<int>(phenomenon);
  return i >= 1 && i <= kPhenomenonCount ? kPhenomena[i - 1] : "";
}

const char* reportCode(WReport::FlightCategory category) {
  static const char* const kCodes[] = {"", "VFR", "MVFR", "IFR", "LIFR"};
  const int i = static_cast<int>(category);
  return i >= 0 && i < 5 ? kCodes[i] : "";
}

const char* reportCode(WReport::Cover cover) {
  static const char* const kCodes[] = {"CLR", "NSC", "NCD", "FEW",
                                       "SCT", "BKN", "OVC", "VV"};
  const int i = static_cast<int>(cover);
  return i >= 0 && i < 8 ? kCodes[i] : "";
}
