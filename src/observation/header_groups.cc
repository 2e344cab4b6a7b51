// The groups at the head of a report: type, station, time, modifier, wind,
// visibility and runway visual ranges.
#include "stratus/foundation/result.h"
#include "stratus/observation/observation.h"

#include "foundation/clock.h"
#include "observation/group.h"
#include "observation/parsers.h"

namespace stratus {

namespace {

// The 32-bit value of up to `n` characters of `text` from `start`, fewer
// when the range runs past `end` (the end of the group being read).
int fieldAt(const LString& text, int start, int n, int end) {
  if (start > end) return 0;
  if (n > end - start) n = end - start;
  return clampToInt(numberAt(text, start, n));
}

// The number in [start, end) before the first "KT" there, or of all of it
// when "KT" does not occur there (it may have gone with the direction).
int numberBeforeKnots(const LString& text, int start, int end) {
  int kt = findWord(text, start, end - start, "KT");
  return fieldAt(text, start, (kt < 0 ? end : kt) - start, end);
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
  int day = fieldAt(text, 0, 2, end);
  int hour = fieldAt(text, 2, 2, end);
  int minute = fieldAt(text, 4, 2, end);
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
  time = LCTime(month, day, year, hour, minute, 0, LTime::UTC);
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
  if (end < 0 || findWord(text, 0, end, "KT") < 0) return L_FORMAT;

  // The group is read in place: the direction from its first three
  // characters, the speeds from what follows them.
  direction =
      holdsAt(text, 0, "VRB") ? W_VARIABLE_WIND : fieldAt(text, 0, 3, end);
  int rest = end < 3 ? end : 3;
  int g = findChar(text, rest, end - rest, 'G');
  if (g >= 0) {
    speed = fieldAt(text, rest, g - rest, end);
    gust = numberBeforeKnots(text, g + 1, end);
  } else {
    speed = numberBeforeKnots(text, rest, end);
    gust = 0;
  }
  consumeGroup(text, end);

  end = nextGroup(text);
  if (end < 0) return L_FORMAT;
  int v = findChar(text, 0, end, 'V');
  if (v >= 0) {
    variableFrom = fieldAt(text, 0, v, end);
    variableTo = fieldAt(text, v + 1, end - v - 1, end);
    consumeGroup(text, end);
  } else {
    variableFrom = W_VARIABLE_WIND;
    variableTo = W_VARIABLE_WIND;
  }
  return L_OK;
}

// ...SM | N N/NSM — one group ending in "SM", or two with the second so.
int parseVisibility(LString& text, LString& visibility) {
  int endA = nextGroup(text);
  if (endA < 0) return L_FORMAT;
  if (endA >= 2 && holdsAt(text, endA - 2, "SM")) {
    text.left(endA, visibility);
    consumeGroup(text, endA);
    return L_OK;
  }
  // The group behind A starts after A's blanks.
  int startB = skipBlanks(text, endA);
  int endB = blankFrom(text, startB);
  if (endB < 0) return L_FORMAT;
  if (endB - startB < 2 || !holdsAt(text, endB - 2, "SM")) return L_NOTFOUND;
  LString a, b;
  text.left(endA, a);
  text.mid(startB, endB - startB, b);
  visibility = a + " " + b;
  consumeGroup(text, endB);
  return L_OK;
}

// (R.../...)* — passed over, nothing kept.
int skipRunwayRanges(LString& text) {
  return takeGroups(text, [&](int start, int end) {
    return end > start && text[start] == 'R' &&
           findChar(text, start, end - start, '/') >= 0;
  });
}

}  // namespace stratus
