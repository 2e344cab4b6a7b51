// The group parsers of the report decoder, and the values they produce.
//
// Every parser looks at the front of a working text and, when its group
// stands there, removes the group and the blanks behind it. When its group
// is not there, the text is left as it was, so that the next parser looks at
// the same front. The parsers that take "the next group" share one rule
// (see group.h): a group is the text before the first blank, so it is seen
// only when a blank follows it.
//
// Results: 0 (L_OK) when the group was decoded; L_FORMAT when the front of
// the text does not have the group's shape or the blank behind the group is
// missing; L_NOTFOUND where a parser below says so. Out-values are written
// on success only, unless a parser says otherwise.
//
// These are internal units: the driver (decodeObservation) and the tests
// call them. None of them keeps state; none throws except
// parseSkyCondition (LEx with L_MEM when its vector cannot grow).
#ifndef STRATUS_OBSERVATION_PARSERS_H_
#define STRATUS_OBSERVATION_PARSERS_H_

#include "stratus/foundation/string.h"
#include "stratus/foundation/time.h"
#include "stratus/foundation/vector.h"

namespace stratus {

// ---- Report head: type, station, time, modifier, wind, visibility, RVR ----

enum ReportType { kMetar = 0, kSpeci = 1, kNoReportType = 2 };
enum ReportModifier { kAuto = 0, kCorrected = 1, kNoModifier = 2 };

// Leading "METAR" or "SPECI" (the first five characters; no blank needed).
// Always 0; the type is 2 when neither word stands in front. The blanks at
// the front are removed in every case.
int parseReportType(LString& text, ReportType& type);

// "CCCC": any group of exactly four characters. 0 or L_FORMAT.
int parseStationId(LString& text, LString& station);

// "DDHHMMZ": seven characters, the seventh "Z"; the other six are read as
// numbers without further test. The day is placed in the month of today's
// local date on the library's clock, or in the month before when it is
// later than today's day of month (December of last year in January).
// `time` gets the UTC moment of that day, hour and minute. 0 or L_FORMAT.
int parseReportTime(LString& text, LCTime& time);

// "AUTO" | "COR": the whole group. Always 0 when a group stands in front
// (modifier 2 and nothing consumed when it is neither); L_FORMAT, modifier
// untouched, when the text holds no blank.
int parseReportModifier(LString& text, ReportModifier& modifier);

// "dddff[f][Gff[f]]KT" then optionally "dddVddd": a group holding "KT" is
// the wind; "VRB" as direction gives 400. The group after it is taken as the
// variable-direction group when it holds a "V" anywhere; otherwise both
// variable directions are 400 and that group stays. When no blank follows
// the group after the wind, returns L_FORMAT with direction, speed and gust
// already written and the wind group consumed.
int parseWind(LString& text, int& direction, int& speed, int& gust,
              int& variableFrom, int& variableTo);

// "...SM" or "N N/NSM": one group ending in "SM", or a group followed by
// one that ends in "SM" (joined by one blank). Kept as text. 0; L_FORMAT
// when the second group has no blank behind it; L_NOTFOUND otherwise.
int parseVisibility(LString& text, LString& visibility);

// "R.../...": every group that begins with "R" and holds "/" is passed
// over. 0 at the first other group; L_FORMAT (the groups passed so far
// staying consumed) when a group has no blank behind it.
int skipRunwayRanges(LString& text);

// ---- Present weather and sky condition ----

// The five present-weather categories. Each value is the position of its
// code in the category's table (weather_groups.cc); the last is "none".
enum WeatherIntensity { kLight, kHeavy, kVicinity, kNoIntensity };
enum WeatherDescriptor {
  kShallow,
  kPartial,
  kPatches,
  kLowDrifting,
  kBlowing,
  kShowers,
  kThunderstorm,
  kFreezing,
  kNoDescriptor
};
enum Precipitation {
  kDrizzle,
  kRain,
  kSnow,
  kSnowGrains,
  kIceCrystals,
  kIcePellets,
  kHail,
  kSmallHail,
  kUnknownPrecipitation,
  kNoPrecipitation
};
enum Obscuration {
  kMist,
  kFog,
  kSmoke,
  kVolcanicAsh,
  kDust,
  kSand,
  kHaze,
  kSpray,
  kNoObscuration
};
enum OtherPhenomenon {
  kDustWhirls,
  kSqualls,
  kFunnelCloud,
  kSandstorm,
  kNoOtherPhenomenon
};

// The weather codes at the front of the text, read by prefixes in passes:
// each pass takes at most one code of each category, in the order
// intensity, descriptor, precipitation, obscuration, other, then drops the
// blanks in front. Passes repeat while one removes something, so "-SHRA BR"
// is taken whole. Sets all five values on every pass (to the code found or
// to the category's none value). Always 0.
int parsePresentWeather(LString& text, WeatherIntensity& intensity,
                        WeatherDescriptor& descriptor,
                        Precipitation& precipitation, Obscuration& obscuration,
                        OtherPhenomenon& other);

enum SkyCover { kClear, kFew, kScattered, kBroken, kOvercast, kVertical };

// One cloud layer.
struct SkyLayer {
  int cover;           // a SkyCover
  int height;          // base in hundreds of feet, as coded
  bool heightMissing;  // the height was coded "///"
};

// "SKC" | "CLR" | ("FEW"|"SCT"|"BKN"|"OVC"|"VV")...hhh: groups beginning with
// a cover word, the height read from the group's last three characters.
// Appends one layer per group. 0 at the first group that is not a sky group
// (which stays); L_FORMAT when a group has no blank behind it (the layers
// so far stay appended and consumed). Throws LEx(L_MEM) when the vector
// cannot grow.
int parseSkyCondition(LString& text, LVector<SkyLayer>& layers);

// ---- Temperature, altimeter setting and remarks ----

enum StationType {
  kWithoutPrecipitationSensor = 0,
  kWithPrecipitationSensor = 1,
  kNoStationType = 2
};

// "[M]tt/[M]dd": a group holding "/", whole degrees, "M" for minus. The
// parts are read as numbers without further test. 0 or L_FORMAT.
int parseTemperature(LString& text, float& temperature, float& dewPoint);

// "Annnn": a group beginning with "A", hundredths of an inch of mercury,
// scaled by the single-precision 0.01. 0 or L_FORMAT.
int parsePressure(LString& text, float& pressure);

// Searches the whole text for "RMK". When found, removes everything up to
// and including it (and the blanks behind) and returns 1; else returns 0
// and leaves the text as it was.
int findRemarks(LString& text);

// Looks for a blank-separated token "AO1" (type 0) or "AO2" (type 1); the
// first found wins. Sets the type to 2 first; 0 when a type was found, else
// L_NOTFOUND. The text is not changed.
int parseStationType(const LString& text, StationType& type);

// "Tsttt sddd": the first blank-separated token of 9 characters that begins
// with "T" (found also as the last token). Each 4-character half is tenths
// of a degree, a leading "1" meaning minus; scaled by the single-precision
// 0.1. 0, or L_NOTFOUND with both values untouched. Text not changed.
int parsePreciseTemperature(const LString& text, float& temperature,
                            float& dewPoint);

}  // namespace stratus

#endif  // STRATUS_OBSERVATION_PARSERS_H_
