// WObservation and decodeObservation: one coded surface weather report
// (METAR or SPECI, US coding) decoded into the values a host shows.
//
// The decoder reads the report group by group from the front: type, station,
// time, modifier, wind, visibility, runway ranges, present weather, sky,
// temperature, altimeter setting and the remarks. A group it cannot read
// costs that group (and whatever stands behind it until the remarks); it
// never makes the whole decode fail. What was decoded is told only by the
// flags of the record.
//
// Thread-safety: the decoder keeps no state between calls; decodes of
// different texts into different records may run at the same time.
#ifndef STRATUS_OBSERVATION_OBSERVATION_H_
#define STRATUS_OBSERVATION_OBSERVATION_H_

#include "stratus/export.h"
#include "stratus/foundation/string.h"

// The wind direction both readings give for a variable wind ("VRB"), and
// the narrow reading for a variable-direction pair that was not coded: no
// real direction, which is 0-360.
constexpr int W_VARIABLE_WIND = 400;

// The values decoded from one report. A plain record that the caller owns;
// decodeObservation fills it in place.
//
// A value field is meaningful only while its flag is set. The decoder clears
// the seven flags when it starts and never initialises a value field, so a
// value whose flag is clear holds whatever was there before.
struct STRATUS_EXPORT WObservation {
  // Direction the wind blows from, whole degrees as coded; W_VARIABLE_WIND
  // (400) for "VRB".
  int windDirection;
  // Wind speed in knots.
  int windSpeed;
  // Gust speed in knots; 0 when the wind group has no gust part.
  int windGustSpeed;
  // The variable-direction group after the wind group ("240V300"), degrees;
  // both W_VARIABLE_WIND when no such group follows.
  int windVariableFrom;
  int windVariableTo;
  // The report time (UTC day, hour and minute of the report, placed in the
  // current month or the one before), seconds since the epoch.
  long time;
  // Air temperature and dew point in degrees Celsius: whole degrees from the
  // main group, tenths when the remarks hold a "T" group.
  float temp;
  float dewPoint;
  // Altimeter setting in inches of mercury.
  float pressure;

  bool hasTemp;           // temp was decoded
  bool hasDewPoint;       // dewPoint was decoded (always together with temp)
  bool hasPressure;       // pressure was decoded
  bool hasWindDirection;  // the wind group was decoded: windDirection and
                          // windVariableFrom/To hold decoded values
  bool hasWindSpeed;      // windSpeed was decoded (together with direction)
  bool hasWindGustSpeed;  // the wind group was decoded with a gust part
  bool hasTime;           // time was decoded
};

// Decodes the report `text` into `out`.
//
// `text` is one report, such as
//   "METAR KSFO 121756Z 29012G20KT 10SM FEW008 18/12 A2996 RMK AO2 T01830122"
// with or without the leading "METAR"/"SPECI". Groups are separated by
// blanks; a group is read only when a blank follows it, so the last group of
// the text is seen only by the remarks scanners. The report time is read
// against today's date on the library's clock: a day of month after today's
// is taken to be in the previous month.
//
// Clears the seven flags of `out` and sets those of the values it decoded;
// writes value fields only while decoding them. `text` is not changed.
// Returns 0 (L_OK) always; the flags tell what was decoded. Throws LEx with
// L_MEM only when memory runs out.
STRATUS_EXPORT int decodeObservation(const LString& text, WObservation& out);

#endif  // STRATUS_OBSERVATION_OBSERVATION_H_
