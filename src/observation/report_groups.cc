// The group readers of the complete reading: each recognises one shape of
// group, read in place, and writes its values into the record.
#include "observation/report_groups.h"

#include <cstring>

#include "foundation/ascii.h"

namespace stratus {

const char* const kPhenomena[kPhenomenonCount] = {
    "DZ", "RA", "SN", "SG", "IC", "PL", "GR", "GS", "UP", "BR", "FG",
    "FU", "VA", "DU", "SA", "HZ", "PY", "PO", "SQ", "FC", "SS", "DS"};

namespace {

const float kKnotsPerMetrePerSecond = 1.943844f;
const float kKnotsPerKilometrePerHour = 0.539957f;
const float kMetresPerMile = 1609.344f;

// The number of decimal digits at the front of [s, s + n).
int digitRun(const char* s, int n) {
  int i = 0;
  while (i < n && isDigit(s[i])) ++i;
  return i;
}

// True when the `n` characters from `s` are the literal `word`.
template <size_t N>
bool same(const char* s, int n, const char (&word)[N]) {
  return n == static_cast<int>(N - 1) && std::memcmp(s, word, N - 1) == 0;
}

bool allLetters(const char* s, int n) {
  for (int i = 0; i < n; ++i) {
    if (s[i] < 'A' || s[i] > 'Z') return false;
  }
  return true;
}

bool allSlashes(const char* s, int n) {
  if (n <= 0) return false;
  for (int i = 0; i < n; ++i) {
    if (s[i] != '/') return false;
  }
  return true;
}

// The position in `table` of the two-letter code at `s`, or -1.
template <size_t N>
int codeIndex(const char* s, const char* const (&table)[N]) {
  for (size_t i = 0; i < N; ++i) {
    if (table[i][0] == s[0] && table[i][1] == s[1]) return static_cast<int>(i);
  }
  return -1;
}

// Present-weather descriptors; a code's position is its enumeration value
// less one (the "none" value 0 has no code).
const char* const kDescriptors[] = {"MI", "PR", "BC", "DR",
                                    "BL", "SH", "TS", "FZ"};

void setVisibilityMiles(WReport& r, float miles, int bound) {
  r.visibilityMiles = miles;
  r.visibilityMeters = miles * kMetresPerMile;
  r.visibilityBound = bound;
  r.visibilityInMeters = false;
  r.hasVisibility = true;
}

void setVisibilityMeters(WReport& r, float meters, int bound) {
  r.visibilityMeters = meters;
  r.visibilityMiles = meters / kMetresPerMile;
  r.visibilityBound = bound;
  r.visibilityInMeters = true;
  r.hasVisibility = true;
}

// "N" or "N/D", each part one or two digits: statute miles. A fraction
// is proper (0 < N < D); a two-digit N not below D is a whole mile and a
// fraction that lost the blank between them ("21/2" is 2 1/2) when its
// second digit is below D. Other fractions code no distance.
bool milesValue(const char* s, int n, float& miles) {
  int whole = digitRun(s, n);
  if (whole == n && n >= 1 && n <= 2) {
    miles = static_cast<float>(digitsValue(s, n));
    return true;
  }
  if (whole < 1 || whole > 2 || whole >= n || s[whole] != '/') return false;
  int denominator = n - whole - 1;
  if (denominator < 1 || denominator > 2 ||
      !allDigits(s + whole + 1, denominator))
    return false;
  const int d = digitsValue(s + whole + 1, denominator);
  int units = 0;
  int numerator = digitsValue(s, whole);
  if (numerator >= d && whole == 2) {
    units = s[0] - '0';
    numerator = s[1] - '0';
  }
  if (numerator == 0 || numerator >= d) return false;
  miles = static_cast<float>(units) +
          static_cast<float>(numerator) / static_cast<float>(d);
  return true;
}

// "[M|P]nnnn" at s[i]: one runway range value; i moves past it.
bool runwayValue(const char* s, int n, int& i, int& value, int& bound) {
  bound = 0;
  if (i < n && (s[i] == 'M' || s[i] == 'P')) {
    bound = s[i] == 'M' ? -1 : 1;
    ++i;
  }
  if (n - i < 4 || !allDigits(s + i, 4)) return false;
  value = digitsValue(s + i, 4);
  i += 4;
  return true;
}

}  // namespace

bool allDigits(const char* s, int n) { return n > 0 && digitRun(s, n) == n; }

int digitsValue(const char* s, int n) {
  int v = 0;
  for (int i = 0; i < n; ++i) v = v * 10 + (s[i] - '0');
  return v;
}

bool readTimeGroup(Group g, int& day, int& hour, int& minute) {
  if (g.n != 7 || g.s[6] != 'Z' || !allDigits(g.s, 6)) return false;
  const int dd = digitsValue(g.s, 2);
  const int hh = digitsValue(g.s + 2, 2);
  const int mm = digitsValue(g.s + 4, 2);
  if (dd < 1 || dd > 31 || mm > 59 || hh > 24 || (hh == 24 && mm != 0))
    return false;
  day = dd;
  hour = hh;
  minute = mm;
  return true;
}

bool readWind(Group g, WReport& r) {
  const char* s = g.s;
  const int n = g.n;
  // The unit closes the group.
  WReport::WindUnit unit;
  int body;
  if (n > 3 && same(s + n - 3, 3, "KTS")) {
    unit = WReport::KNOTS;
    body = n - 3;
  } else if (n > 2 && same(s + n - 2, 2, "KT")) {
    unit = WReport::KNOTS;
    body = n - 2;
  } else if (n > 3 && same(s + n - 3, 3, "MPS")) {
    unit = WReport::METRES_PER_SECOND;
    body = n - 3;
  } else if (n > 3 && same(s + n - 3, 3, "KMH")) {
    unit = WReport::KILOMETRES_PER_HOUR;
    body = n - 3;
  } else {
    return false;
  }
  if (body < 5) return false;
  // Direction: three digits, "VRB" or "///".
  int direction = 0;
  bool directionMissing = false;
  if (allDigits(s, 3)) {
    direction = digitsValue(s, 3);
    if (direction > 360) return false;  // no such direction
  } else if (same(s, 3, "VRB")) {
    direction = W_VARIABLE_WIND;
  } else if (allSlashes(s, 3)) {
    directionMissing = true;
  } else {
    return false;
  }
  // Speed: two or three digits, or "//"; then an optional gust part.
  int i = 3;
  int speed = -1;
  int run = digitRun(s + i, body - i);
  if (run == 2 || run == 3) {
    speed = digitsValue(s + i, run);
    i += run;
  } else if (run == 0 && body - i >= 2 && allSlashes(s + i, 2)) {
    i += 2;
  } else {
    return false;
  }
  int gust = -1;
  if (i < body) {
    if (s[i] != 'G') return false;
    ++i;
    run = digitRun(s + i, body - i);
    if ((run == 2 || run == 3) && i + run == body) {
      gust = digitsValue(s + i, run);
    } else if (!allSlashes(s + i, body - i)) {
      return false;
    }
  }
  if (speed < 0) return true;  // "/////KT": a wind group, no value
  const float toKnots = unit == WReport::KNOTS ? 1.0f
                        : unit == WReport::METRES_PER_SECOND
                            ? kKnotsPerMetrePerSecond
                            : kKnotsPerKilometrePerHour;
  r.windDirection = direction;
  r.windDirectionMissing = directionMissing;
  r.windUnit = unit;
  r.windSpeedCoded = speed;
  r.windSpeed = static_cast<float>(speed) * toKnots;
  r.hasWind = true;
  if (gust >= 0) {
    r.windGustCoded = gust;
    r.windGustSpeed = static_cast<float>(gust) * toKnots;
    r.hasWindGust = true;
  }
  return true;
}

bool readWindVariable(Group g, WReport& r) {
  if (g.n != 7 || g.s[3] != 'V' || !allDigits(g.s, 3) || !allDigits(g.s + 4, 3))
    return false;
  const int from = digitsValue(g.s, 3);
  const int to = digitsValue(g.s + 4, 3);
  if (from > 360 || to > 360) return false;
  r.windVariableFrom = from;
  r.windVariableTo = to;
  r.hasWindVariable = true;
  return true;
}

bool readVisibility(Group g, Group next, bool* usedNext, WReport& r) {
  const char* s = g.s;
  const int n = g.n;
  *usedNext = false;
  if (g.is("CAVOK")) {
    setVisibilityMeters(r, 10000.0f, 1);
    r.cavok = true;
    return true;
  }
  // Metres: four digits, "9999" for 10 km or more, "0000" for less than
  // 50 m; "NDV" (no directional variation) may follow.
  if ((n == 4 || (n == 7 && same(s + 4, 3, "NDV"))) && allDigits(s, 4)) {
    int m = digitsValue(s, 4);
    if (m == 9999) {
      setVisibilityMeters(r, 10000.0f, 1);
    } else {
      setVisibilityMeters(r, static_cast<float>(m), m == 0 ? -1 : 0);
    }
    return true;
  }
  if (g.is("////") || g.is("////SM")) return true;  // missing
  if (n >= 3 && same(s + n - 2, 2, "KM")) {
    int run = digitRun(s, n - 2);
    if (run != n - 2 || run > 2) return false;
    setVisibilityMeters(r, 1000.0f * static_cast<float>(digitsValue(s, run)),
                        0);
    return true;
  }
  // Whole miles followed by a fraction: "1 1/2SM".
  if (n >= 1 && n <= 2 && allDigits(s, n) && next.n >= 5 &&
      same(next.s + next.n - 2, 2, "SM")) {
    float fraction;
    if (next.s[0] != 'M' && next.s[0] != 'P' &&
        std::memchr(next.s, '/', next.n) != nullptr &&
        milesValue(next.s, next.n - 2, fraction) && fraction < 1.0f) {
      setVisibilityMiles(r, static_cast<float>(digitsValue(s, n)) + fraction,
                         0);
      *usedNext = true;
      return true;
    }
  }
  if (n < 3 || !same(s + n - 2, 2, "SM")) return false;
  int bound = 0, i = 0;
  if (s[0] == 'M' || s[0] == 'P') {
    bound = s[0] == 'M' ? -1 : 1;
    i = 1;
  }
  float miles;
  if (!milesValue(s + i, n - 2 - i, miles)) return false;
  setVisibilityMiles(r, miles, bound);
  return true;
}

bool readRunway(Group g, WReport& r) {
  const char* s = g.s;
  const int n = g.n;
  if (n < 8 || s[0] != 'R' || !isDigit(s[1]) || !isDigit(s[2])) return false;
  const int number = digitsValue(s + 1, 2);  // the heading in tens of degrees
  if (number < 1 || number > 36) return false;
  int i = 3;
  if (s[i] == 'L' || s[i] == 'C' || s[i] == 'R') ++i;
  const int designator = i - 1;
  if (s[i] != '/') return false;
  ++i;
  WReport::Runway rw{};
  if (!runwayValue(s, n, i, rw.low, rw.lowBound)) return false;
  rw.high = rw.low;
  rw.highBound = rw.lowBound;
  if (i < n && s[i] == 'V') {
    ++i;
    if (!runwayValue(s, n, i, rw.high, rw.highBound)) return false;
  }
  if (n - i >= 2 && same(s + i, 2, "FT")) {
    rw.feet = true;
    i += 2;
  }
  if (i < n && s[i] == '/') ++i;
  if (i < n && (s[i] == 'U' || s[i] == 'D' || s[i] == 'N')) rw.trend = s[i++];
  if (i != n) return false;
  if (r.runwayCount < WReport::MAX_RUNWAYS) {
    std::memcpy(rw.runway, s + 1, designator);
    rw.runway[designator] = '\0';
    r.runways[r.runwayCount++] = rw;
  }
  return true;
}

bool readWeather(Group g, WReport& r) {
  const char* s = g.s;
  const int n = g.n;
  WReport::Weather w{};
  int i = 0;
  if (n >= 1 && (s[0] == '-' || s[0] == '+')) {
    w.intensity = s[0] == '-' ? WReport::LIGHT : WReport::HEAVY;
    i = 1;
  } else if (n >= 2 && s[0] == 'V' && s[1] == 'C') {
    w.intensity = WReport::VICINITY;
    i = 2;
  }
  if (n - i < 2) return false;
  int d = codeIndex(s + i, kDescriptors);
  if (d >= 0) {
    w.descriptor = static_cast<WReport::Descriptor>(d + 1);
    i += 2;
  }
  while (n - i >= 2) {
    int p = codeIndex(s + i, kPhenomena);
    if (p < 0) return false;
    if (w.phenomenonCount == WReport::MAX_PHENOMENA) return false;
    w.phenomena[w.phenomenonCount++] = static_cast<WReport::Phenomenon>(p + 1);
    i += 2;
  }
  if (i != n) return false;
  // A descriptor stands alone only for a thunderstorm or showers ("TS",
  // "VCSH"); elsewhere it needs a phenomenon.
  if (w.phenomenonCount == 0 && w.descriptor != WReport::THUNDERSTORM &&
      w.descriptor != WReport::SHOWERS)
    return false;
  if (r.weatherCount < WReport::MAX_WEATHER) {
    int k = n < static_cast<int>(sizeof w.text) - 1
                ? n
                : static_cast<int>(sizeof w.text) - 1;
    std::memcpy(w.text, s, k);
    w.text[k] = '\0';
    r.weather[r.weatherCount++] = w;
  }
  return true;
}

bool readSky(Group g, WReport& r) {
  const char* s = g.s;
  const int n = g.n;
  WReport::Layer layer{};
  int i;
  if (n == 3 && (g.is("SKC") || g.is("CLR") || g.is("NSC") || g.is("NCD"))) {
    layer.cover = s[0] == 'N' ? (s[1] == 'S' ? WReport::NO_SIGNIFICANT
                                             : WReport::NONE_DETECTED)
                              : WReport::CLEAR;
    layer.heightMissing = true;
    i = 3;
  } else if (n >= 5 && s[0] == 'V' && s[1] == 'V') {
    layer.cover = WReport::VERTICAL_VISIBILITY;
    i = 2;
  } else if (n >= 6 && (g.startsWith("FEW") || g.startsWith("SCT") ||
                        g.startsWith("BKN") || g.startsWith("OVC"))) {
    layer.cover = s[0] == 'F'   ? WReport::FEW
                  : s[0] == 'S' ? WReport::SCATTERED
                  : s[0] == 'B' ? WReport::BROKEN
                                : WReport::OVERCAST;
    i = 3;
  } else {
    return false;
  }
  if (i == 3 && layer.heightMissing) {
    // a clear-sky word: nothing follows
  } else {
    if (n - i < 3) return false;
    if (allDigits(s + i, 3)) {
      layer.height = digitsValue(s + i, 3) * 100;
    } else if (allSlashes(s + i, 3)) {
      layer.heightMissing = true;
    } else {
      return false;
    }
    i += 3;
    const int rest = n - i;
    if (rest == 2 && same(s + i, 2, "CB")) {
      layer.cloudType = WReport::CUMULONIMBUS;
    } else if (rest == 3 && same(s + i, 3, "TCU")) {
      layer.cloudType = WReport::TOWERING_CUMULUS;
    } else if (rest != 0 && !allSlashes(s + i, rest) &&
               !(rest == 2 && allLetters(s + i, rest))) {
      // Other cloud types ("SC", "AC") are coded nationally: read as none.
      return false;
    }
    if (layer.cover == WReport::VERTICAL_VISIBILITY && rest != 0) return false;
  }
  if (r.layerCount < WReport::MAX_LAYERS) r.layers[r.layerCount++] = layer;
  return true;
}

namespace {

// One half of a temperature group: "[M]dd" (true, value set), or a missing
// marker "", "M", "//", "XX" (true, `has` false). False for anything else.
bool temperaturePart(const char* s, int n, float& value, bool& has) {
  has = false;
  if (n == 0 || same(s, n, "M") || same(s, n, "//") || same(s, n, "XX"))
    return true;
  int i = s[0] == 'M' ? 1 : 0;
  if (n - i != 2 || !allDigits(s + i, 2)) return false;
  const int v = digitsValue(s + i, 2);
  // "M00" stays -0.0: just below freezing, as coded.
  value = i ? -static_cast<float>(v) : static_cast<float>(v);
  has = true;
  return true;
}

}  // namespace

bool readTemperature(Group g, WReport& r) {
  const void* at = std::memchr(g.s, '/', g.n);
  if (at == nullptr) return false;
  const int slash = static_cast<int>(static_cast<const char*>(at) - g.s);
  // The temperature part is never empty: "/12" and "/////" are not this
  // group.
  if (slash == 0) return false;
  float t = 0, d = 0;
  bool hasT, hasD;
  if (!temperaturePart(g.s, slash, t, hasT) ||
      !temperaturePart(g.s + slash + 1, g.n - slash - 1, d, hasD))
    return false;
  if (hasT) {
    r.temp = t;
    r.hasTemp = true;
  }
  if (hasD) {
    r.dewPoint = d;
    r.hasDewPoint = true;
  }
  return true;
}

bool readAltimeter(Group g, WReport& r) {
  if (g.n != 5 || (g.s[0] != 'A' && g.s[0] != 'Q')) return false;
  const bool inches = g.s[0] == 'A';
  if (allSlashes(g.s + 1, 4)) return true;  // missing
  if (!allDigits(g.s + 1, 4)) return false;
  const int v = digitsValue(g.s + 1, 4);
  if (inches && !r.hasAltimeterInHg) {
    r.altimeterInHg = static_cast<float>(v) * 0.01f;
    r.hasAltimeterInHg = true;
  } else if (!inches && !r.hasAltimeterHpa) {
    r.altimeterHpa = static_cast<float>(v);
    r.hasAltimeterHpa = true;
  }
  return true;
}

namespace {

// Four characters "sttt" of a T group: tenths of a degree, "1" for minus.
bool tenths(const char* s, float& value) {
  if ((s[0] != '0' && s[0] != '1') || !allDigits(s + 1, 3)) return false;
  const float v = static_cast<float>(digitsValue(s + 1, 3)) * 0.1f;
  value = s[0] == '1' ? -v : v;
  return true;
}

}  // namespace

bool readRemark(Group g, WReport& r, bool& tenthsRead) {
  if (g.is("AO1") || g.is("AO2")) {
    r.stationType = g.s[2] - '0';
    return true;
  }
  if (g.n == 6 && g.startsWith("SLP") && allDigits(g.s + 3, 3)) {
    // Tenths of a hectopascal without the leading 9 or 10: 132 is 1013.2,
    // 982 is 998.2.
    const float v = static_cast<float>(digitsValue(g.s + 3, 3)) * 0.1f;
    r.seaLevelPressure = v + (v >= 50.0f ? 900.0f : 1000.0f);
    r.hasSeaLevelPressure = true;
    return true;
  }
  if ((g.n == 5 || g.n == 9) && g.s[0] == 'T' && !tenthsRead) {
    float t, d;
    if (!tenths(g.s + 1, t)) return false;
    tenthsRead = true;
    r.temp = t;
    r.hasTemp = true;
    if (g.n == 9 && tenths(g.s + 5, d)) {
      r.dewPoint = d;
      r.hasDewPoint = true;
    }
    return true;
  }
  return false;
}

}  // namespace stratus
