// The groups at the head of a report: type, station, time, modifier, wind,
// visibility and runway visual ranges.
#include "stratus/foundation/result.h"

#include "foundation/clock.h"
#include "observation/group.h"
#include "observation/parsers.h"

namespace stratus {

namespace {

// The numeric value of `n` characters of `group` from `start`, or of what
// there is of them when the group is shorter.
int numberAt(const LString& group, int start, int n) {
  LString part;
  if (start > group.length()) return 0;
  if (n > group.length() - start) n = group.length() - start;
  group.mid(start, n, part);
  return toInt(part);
}

// The number before the first "KT" of `text`, or of all of it when "KT"
// does not occur (it may have been cut off with the direction).
int numberBeforeKnots(const LString& text) {
  int kt;
  if (text.find("KT", kt) != 0) return toInt(text);
  return numberAt(text, 0, kt);
}

}  // namespace

// ("METAR" | "SPECI")? — tested on the first five characters only.
int parseReportType(LString& text, ReportType& type) {
  if (text.compareLeft("METAR")) {
    type = kMetar;
    text.cutLeft(5);
  } else if (text.compareLeft("SPECI")) {
    type = kSpeci;
    text.cutLeft(5);
  } else {
    type = kNoReportType;
  }
  text.leftTrim();
  return L_OK;
}

// CCCC — any four characters.
int parseStationId(LString& text, LString& station) {
  int end = nextGroup(text);
  if (end != 4) return L_FORMAT;
  text.left(end, station);
  consumeGroup(text, end);
  return L_OK;
}

// DDHHMMZ — day, hour, minute as numbers, UTC.
int parseReportTime(LString& text, LCTime& time) {
  int end = nextGroup(text);
  if (end != 7 || text[6] != 'Z') return L_FORMAT;
  int day = numberAt(text, 0, 2);
  int hour = numberAt(text, 2, 2);
  int minute = numberAt(text, 4, 2);
  consumeGroup(text, end);

  // Reports come from the last few hours, so a day later than today's can
  // only be from last month.
  // Today's local date on the library's clock (what Now() would give,
  // without first placing the record at the epoch).
  LCTime today(currentTime(), LTime::Local);
  int month = today.month;
  int year = today.year;
  if (day > today.day) {
    if (today.month == LTime::January) {
      month = LTime::December;
      year = today.year - 1;
    } else {
      month = today.month - 1;
    }
  }
  LCTime report(month, day, year, hour, minute, 0, LTime::UTC);
  time = report.GetCalendarTime();
  return L_OK;
}

// AUTO | COR — the whole group; at most one is taken.
int parseReportModifier(LString& text, ReportModifier& modifier) {
  int end = nextGroup(text);
  if (end < 0) return L_FORMAT;
  if (end == 4 && text.compareLeft("AUTO")) {
    modifier = kAuto;
  } else if (end == 3 && text.compareLeft("COR")) {
    modifier = kCorrected;
  } else {
    modifier = kNoModifier;
    return L_OK;
  }
  consumeGroup(text, end);
  return L_OK;
}

// (ddd|VRB)ff[f](Gff[f])?KT then (dddVddd)? — any group holding "KT", any
// following group holding "V".
int parseWind(LString& text, int& direction, int& speed, int& gust,
              int& variableFrom, int& variableTo) {
  int end = nextGroup(text);
  if (end < 0) return L_FORMAT;
  LString wind;
  text.left(end, wind);
  if (wind.find("KT") != 0) return L_FORMAT;
  consumeGroup(text, end);

  direction = wind.compareLeft("VRB") ? 400 : numberAt(wind, 0, 3);
  wind.cutLeft(3);
  int g;
  if (wind.find("G", g) == 0) {
    speed = numberAt(wind, 0, g);
    wind.cutLeft(g + 1);
    gust = numberBeforeKnots(wind);
  } else {
    speed = numberBeforeKnots(wind);
    gust = 0;
  }

  end = nextGroup(text);
  if (end < 0) return L_FORMAT;
  int v = findChar(text, 0, end, 'V');
  if (v >= 0) {
    variableFrom = numberAt(text, 0, v);
    variableTo = numberAt(text, v + 1, end - v - 1);
    consumeGroup(text, end);
  } else {
    variableFrom = 400;
    variableTo = 400;
  }
  return L_OK;
}

// ...SM | N N/NSM — one group ending in "SM", or two with the second so.
int parseVisibility(LString& text, LString& visibility) {
  int endA = nextGroup(text);
  if (endA < 0) return L_FORMAT;
  LString a;
  text.left(endA, a);
  if (a.compareRight("SM")) {
    visibility = a;
    consumeGroup(text, endA);
    return L_OK;
  }
  // The group behind A starts after A's blanks.
  int startB = skipBlanks(text, endA);
  int endB = blankFrom(text, startB);
  if (endB < 0) return L_FORMAT;
  LString b;
  text.mid(startB, endB - startB, b);
  if (!b.compareRight("SM")) return L_NOTFOUND;
  visibility = a + " " + b;
  consumeGroup(text, endB);
  return L_OK;
}

// (R.../...)* — passed over, nothing kept.
int skipRunwayRanges(LString& text) {
  int pos = 0;  // start of the next group; the groups before it are taken
  int rc;
  for (;;) {
    int end = blankFrom(text, pos);
    if (end < 0) {
      // The first group decides whether the text has a next group at all.
      rc = L_FORMAT;
      break;
    }
    if (end == pos || text[pos] != 'R' ||
        findChar(text, pos, end - pos, '/') < 0) {
      rc = L_OK;
      break;
    }
    pos = skipBlanks(text, end);
  }
  text.cutLeft(pos);
  return rc;
}

}  // namespace stratus
