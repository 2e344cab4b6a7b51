// WReport and decodeReport: the complete reading of one coded surface
// weather report (METAR or SPECI), in US or international coding.
//
// decodeObservation (observation.h) is the exact, narrow reading: it stops at
// the first group it does not know and reads only what WCondition shows.
// decodeReport reads everything the body of a report codes, the way real
// reports are written: each group is recognised by its shape wherever it
// stands, a group that is unknown or malformed is skipped (it never blocks
// the groups behind it), the last group counts like any other, and
// missing-value markers ("M", "//", "////", "/////KT", "A////") read as
// missing. The body ends at "RMK" or at the first trend ("NOSIG", "BECMG",
// "TEMPO"); of the remarks, the temperature in tenths ("T01830122"), the
// sea-level pressure ("SLP132") and the station type ("AO1", "AO2") are read.
// Where a kind of group is coded twice, the first one that holds a value is
// kept.
//
// No field ever holds a value outside its legal range: a group whose value
// the coding does not allow (a wind direction of 370 or 900, a sector
// "400V050", the time "232700Z", the runway "R00") is not read as its kind,
// and is skipped like any group no reader recognises. What stays within the
// coding is kept as coded, also where it is unlikely (see each field).
//
// The decode reads the text in place and allocates nothing: a record with
// fixed room for the repeated groups. It never fails and never throws.
//
// Thread-safety: no state is kept between calls; decodes into different
// records may run at the same time.
#ifndef STRATUS_OBSERVATION_REPORT_H_
#define STRATUS_OBSERVATION_REPORT_H_

#include "stratus/export.h"
#include "stratus/foundation/string.h"
#include "stratus/observation/observation.h"

// The values read from one report. A plain record that the caller owns;
// decodeReport writes every field of it on each call: a value whose flag is
// clear holds 0 (or the empty text, or the "none" value of its kind).
struct STRATUS_EXPORT WReport {
  // ---- Kind ----
  enum Type { NO_TYPE = 0, METAR = 1, SPECI = 2 };
  Type type;        // the leading word; NO_TYPE when the report has none
  bool corrected;   // "COR" (or "CCA", "CCB"...) stands in the head
  bool automatic;   // "AUTO" stands in the head
  bool nil;         // "NIL": the report is missing; nothing else is read
  char station[5];  // ICAO station code, NUL-terminated; "" when not read

  // ---- Time ----
  // The report's UTC day, hour and minute as a moment, seconds since the
  // epoch. The day is placed in the latest month that has it such that the
  // moment is no later than one day after the library's clock (UTC): a day
  // 31 read on 2 December is 31 October, never 1 December.
  long time;
  bool hasTime;  // a time group with a legal day, hour and minute was read
  // The time group ("121753Z": day 12, hour 17, minute 53): day 1-31, hour
  // 0-23, minute 0-59. "2400", the midnight that ends the day, is taken as
  // 0000 of the next day ("142400Z": day 15, hour 0). A group out of range
  // ("232700Z", "000000Z", "322350Z") is not a time: no field is set.
  int day;
  int hour;
  int minute;
  bool hasTimeGroup;  // always equal to hasTime

  // ---- Wind ----
  enum WindUnit { KNOTS = 0, METRES_PER_SECOND = 1, KILOMETRES_PER_HOUR = 2 };
  // Degrees the wind blows from as coded, 0-360 (a group coding more, such
  // as "37010KT" or "99999KT", is not a wind); W_VARIABLE_WIND (400) for
  // "VRB"; 0 with speed 0 for calm. Meaningful while hasWind is set and
  // windDirectionMissing is not.
  int windDirection;
  bool windDirectionMissing;  // direction coded "///" with a speed
  // Speed and gust in knots, converted from the coded unit (1 m/s =
  // 1.943844 kt, 1 km/h = 0.539957 kt). windGustSpeed is 0 without a gust.
  float windSpeed;
  float windGustSpeed;
  // The speeds as coded, in windUnit: two or three digits, 0-999.
  int windSpeedCoded;
  int windGustCoded;
  WindUnit windUnit;
  bool hasWind;      // a wind group with a speed was read
  bool hasWindGust;  // ... and it has a gust part
  // The variable sector ("240V300"), degrees, each 0-360 (a group coding
  // more is not a sector); meaningful while hasWindVariable is set.
  int windVariableFrom;
  int windVariableTo;
  bool hasWindVariable;

  // ---- Visibility ----
  // Prevailing visibility, given in both units: statute miles (1 SM =
  // 1609.344 m) and metres, never negative. visibilityBound is -1 for "less
  // than" ("M1/4SM", "0000"), +1 for "more than" ("P6SM", "9999", CAVOK),
  // else 0. A fraction is proper ("3/4SM"); a two-digit numerator not below
  // its denominator is a whole number whose blank was dropped ("21/2SM" is
  // 2 1/2), and any other ("5/4SM", "0/2SM", "1/0SM") is not a visibility.
  float visibilityMiles;
  float visibilityMeters;
  int visibilityBound;
  bool visibilityInMeters;  // coded in metres or kilometres, not in SM
  bool hasVisibility;
  // "CAVOK": visibility 10 km or more (so hasVisibility, 10000 m, bound +1),
  // no cloud below 5000 ft and no significant weather.
  bool cavok;

  // ---- Runway visual range ("R28L/2600FT", "R06/0800V1200U") ----
  static const int MAX_RUNWAYS = 4;
  struct Runway {
    char runway[4];  // designator 01-36 [L|C|R], NUL-terminated ("28L")
    int low;         // the range, or the low end of a variable one, 0-9999
    int high;        // the high end; equal to low when not variable
    int lowBound;    // -1 "M" (less than), +1 "P" (more than), else 0
    int highBound;
    bool feet;   // the values are feet ("FT"), else metres
    char trend;  // 'U' up, 'D' down, 'N' no change, or 0
  };
  Runway runways[MAX_RUNWAYS];
  int runwayCount;  // further groups are skipped

  // ---- Present weather ("-SHRA", "+TSRAGR", "VCFG", "FZFG") ----
  enum Intensity { MODERATE = 0, LIGHT = 1, HEAVY = 2, VICINITY = 3 };
  enum Descriptor {
    NO_DESCRIPTOR = 0,
    SHALLOW,       // MI
    PARTIAL,       // PR
    PATCHES,       // BC
    LOW_DRIFTING,  // DR
    BLOWING,       // BL
    SHOWERS,       // SH
    THUNDERSTORM,  // TS
    FREEZING       // FZ
  };
  enum Phenomenon {
    NO_PHENOMENON = 0,
    DRIZZLE,                // DZ
    RAIN,                   // RA
    SNOW,                   // SN
    SNOW_GRAINS,            // SG
    ICE_CRYSTALS,           // IC
    ICE_PELLETS,            // PL (PE)
    HAIL,                   // GR
    SMALL_HAIL,             // GS
    UNKNOWN_PRECIPITATION,  // UP
    MIST,                   // BR
    FOG,                    // FG
    SMOKE,                  // FU
    VOLCANIC_ASH,           // VA
    DUST,                   // DU
    SAND,                   // SA
    HAZE,                   // HZ
    SPRAY,                  // PY
    DUST_WHIRLS,            // PO
    SQUALLS,                // SQ
    FUNNEL_CLOUD,           // FC (a "+FC" is a tornado)
    SANDSTORM,              // SS
    DUSTSTORM               // DS
  };
  static const int MAX_WEATHER = 3;
  static const int MAX_PHENOMENA = 4;
  struct Weather {
    Intensity intensity;
    Descriptor descriptor;
    Phenomenon phenomena[MAX_PHENOMENA];  // in coded order
    int phenomenonCount;  // 0 for a descriptor alone ("TS", "VCSH")
    char text[12];        // the group as coded, NUL-terminated
  };
  Weather weather[MAX_WEATHER];
  int weatherCount;  // groups beyond MAX_WEATHER are skipped

  // ---- Sky condition ----
  enum Cover {
    CLEAR = 0,       // SKC or CLR
    NO_SIGNIFICANT,  // NSC: no cloud of operational significance
    NONE_DETECTED,   // NCD: an automatic station detected none
    FEW,
    SCATTERED,
    BROKEN,
    OVERCAST,
    VERTICAL_VISIBILITY  // VV: sky obscured; height is the vertical visibility
  };
  enum CloudType { NO_CLOUD_TYPE = 0, CUMULONIMBUS, TOWERING_CUMULUS };
  static const int MAX_LAYERS = 6;
  struct Layer {
    Cover cover;
    int height;           // base (or vertical visibility), feet above ground,
                          // 0-99900 in steps of 100
    bool heightMissing;   // no height: "///", or a clear-sky cover
    CloudType cloudType;  // "CB", "TCU"; other coded types read as none
  };
  Layer layers[MAX_LAYERS];
  int layerCount;  // further layers are skipped

  // The lowest broken or overcast layer or vertical visibility, feet.
  int ceiling;
  bool hasCeiling;

  // ---- Temperature and dew point, degrees Celsius ----
  // Whole degrees from the body ("M05/M12"), -99 to 99; tenths when the
  // remarks hold a "T" group, -99.9 to 99.9. A dew point may be missing
  // while the temperature is not. A dew point above the temperature is kept
  // as coded: real stations code it ("17/18", "T00000001": a humidity
  // sensor's error reaches a few tenths), and so does a whole-degree dew
  // point beside a temperature in tenths, when the "T" group holds only
  // the temperature.
  float temp;
  float dewPoint;
  bool hasTemp;
  bool hasDewPoint;

  // ---- Pressure ----
  // Altimeter setting as coded: "A2992" in inches of mercury, "Q1013" in
  // hectopascals; a report may code both.
  float altimeterInHg;
  float altimeterHpa;
  bool hasAltimeterInHg;
  bool hasAltimeterHpa;
  // The altimeter setting in inches of mercury, as WCondition holds it: the
  // A group, or else the Q group converted (1 hPa = 0.0295299830714 inHg).
  float pressure;
  bool hasPressure;
  // Sea-level pressure from the remarks ("SLP132" = 1013.2 hPa), hPa.
  float seaLevelPressure;
  bool hasSeaLevelPressure;

  // ---- Remarks ----
  int stationType;  // 1 for "AO1", 2 for "AO2", 0 when not given

  // ---- Flight category ----
  // From ceiling and visibility by the US rules: LIFR below 500 ft or 1 SM,
  // IFR below 1000 ft or 3 SM, MVFR up to 3000 ft or 5 SM, VFR above both.
  // Known when the visibility is known and the sky is reported (layers,
  // a clear-sky cover or CAVOK), or when either alone already gives LIFR
  // or IFR.
  enum FlightCategory { UNKNOWN_CATEGORY = 0, VFR, MVFR, IFR, LIFR };
  FlightCategory flightCategory;

  // ---- What was read ----
  // True when at least one group of the observation was read with a value:
  // the time, the wind, the visibility (or CAVOK), a runway visual range, a
  // present-weather group, a sky layer (or a clear-sky word), the
  // temperature or dew point, an altimeter setting, or, in the remarks, the
  // sea-level pressure or the temperature in tenths. The head alone (type,
  // station, "COR", "AUTO"), the station type, groups coded as missing
  // ("/////KT", "////", "M/M", "A////") and groups out of range are not an
  // observation, and a missing report ("NIL") has none whatever it holds:
  // "KEWR", "METAR KEWR", "SPECI", "METAR COR KEWR", "KEWR 90010KT" and
  // "METAR KEWR 101651Z NIL" give false.
  bool decoded;
};

// Decodes the report `text` into `out`, completely (see the top of this
// file).
//
// `text` is one report, such as
//   "METAR KSFO 121756Z 29012G20KT 10SM FEW008 18/12 A2996 RMK AO2 T01830122"
// with or without the leading "METAR"/"SPECI", blanks or tabs between the
// groups. An "=" ends the report: what follows it is not read. `text` is not
// changed. Returns 0 (L_OK) always: what was read is told by the flags and
// counts of `out`.
STRATUS_EXPORT int decodeReport(const LString& text, WReport& out);

// The name of a weather phenomenon's code ("RA" for RAIN), of a flight
// category ("VFR"), of a cover ("BKN"): for hosts that print the record.
// "" for a value out of range.
STRATUS_EXPORT const char* reportCode(WReport::Phenomenon phenomenon);
STRATUS_EXPORT const char* reportCode(WReport::FlightCategory category);
STRATUS_EXPORT const char* reportCode(WReport::Cover cover);

#endif  // STRATUS_OBSERVATION_REPORT_H_
