// The group readers of the complete reading (decodeReport).
//
// Each reader looks at one blank-delimited group, read in place as a
// pointer and a length, and either recognises its shape (true) or leaves
// the record alone (false), so that the driver can offer the group to the
// next reader or skip it. A reader writes only the fields of its own kind,
// and only when it recognises the group. None allocates, none throws.
#ifndef STRATUS_OBSERVATION_REPORT_GROUPS_H_
#define STRATUS_OBSERVATION_REPORT_GROUPS_H_

#include <cstddef>
#include <cstring>

#include "stratus/observation/report.h"

namespace stratus {

// The present-weather phenomenon codes of the complete reading: a code's
// position is its WReport::Phenomenon value less one (the "none" value 0
// has no code).
constexpr int kPhenomenonCount = 22;
extern const char* const kPhenomena[kPhenomenonCount];

// One group of the report text: `n` characters from `s`.
struct Group {
  const char* s;
  int n;

  // The whole group is `word`. The word is a literal: its length is known
  // when compiling, and so the comparison costs a few instructions.
  template <size_t N>
  bool is(const char (&word)[N]) const {
    return n == static_cast<int>(N - 1) && std::memcmp(s, word, N - 1) == 0;
  }
  // The group begins with the literal `word`.
  template <size_t N>
  bool startsWith(const char (&word)[N]) const {
    return n >= static_cast<int>(N - 1) && std::memcmp(s, word, N - 1) == 0;
  }
};

// True when the `n` characters from `s` are all decimal digits (n > 0).
bool allDigits(const char* s, int n);
// The value of `n` decimal digits from `s`. REQUIRES: allDigits(s, n).
int digitsValue(const char* s, int n);

// "DDHHMMZ": day 01-31, hour 00-23 and minute 00-59, or "DD2400Z" (given
// as hour 24, minute 0: the midnight that ends the day). A group of this
// shape out of range is not recognised.
bool readTimeGroup(Group g, int& day, int& hour, int& minute);

// (ddd|VRB|///)(ff|fff|//)(Gff|Gfff)?(KT|KTS|MPS|KMH): the wind, ddd 000-360.
// A group of this shape whose speed is "//" is recognised but leaves hasWind
// clear; one whose direction is over 360 is not recognised.
bool readWind(Group g, WReport& r);
// "dddVddd", each 000-360: the variable sector.
bool readWindVariable(Group g, WReport& r);

// Prevailing visibility: "CAVOK", metres ("9999", "0800", "3200NDV"),
// kilometres ("25KM"), statute miles ("10SM", "1/2SM", "M1/4SM", "P6SM",
// and "1 1/2SM" when `next` is the "1/2SM" part; then *usedNext is set).
// "////" and "////SM" are recognised as missing.
bool readVisibility(Group g, Group next, bool* usedNext, WReport& r);

// "Rdd[LCR]/[M|P]nnnn[V[M|P]nnnn][FT][/][U|D|N]", dd 01-36: one runway
// visual range.
bool readRunway(Group g, WReport& r);

// ([-+]|VC)?(descriptor)?(phenomenon)*: one present-weather group, every
// character of it taken by a code.
bool readWeather(Group g, WReport& r);

// (FEW|SCT|BKN|OVC)(hhh|///)(CB|TCU|///)?, VV(hhh|///), SKC, CLR, NSC, NCD.
bool readSky(Group g, WReport& r);

// "[M]tt/[M]dd": temperature and dew point, either part "//", "M" or empty
// when missing. Recognised also when both are missing.
bool readTemperature(Group g, WReport& r);

// "Annnn" (hundredths of inHg), "Qnnnn" (hPa), "A////", "Q////".
bool readAltimeter(Group g, WReport& r);

// Remarks: "AO1"/"AO2", "SLPppp", "Tsttt[sddd]" (tenths, "1" for minus).
// Only the first T group that holds a temperature is read: `tenthsRead`
// tells whether one was, and is set by the reader.
bool readRemark(Group g, WReport& r, bool& tenthsRead);

}  // namespace stratus

#endif  // STRATUS_OBSERVATION_REPORT_GROUPS_H_
