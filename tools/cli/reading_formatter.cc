// ReadingFormatter's tables, the values it shows from them, and the text
// output. The JSON output is in reading_json.cc.
#include "reading_formatter.h"

#include <time.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "value_words.h"

namespace stratus_cli {

namespace {

uint32_t bitsOf(float v) {
  uint32_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  return bits;
}

uint64_t pairKey(float a, uint32_t b) {
  return (static_cast<uint64_t>(bitsOf(a)) << 32) | b;
}

}  // namespace

bool ReadingFormatter::weatherKey(const WReport::Weather& g, uint64_t& key) {
  int intensity = g.intensity, descriptor = g.descriptor;
  int count = g.phenomenonCount;
  if (intensity < 0 || intensity > 15 || descriptor < 0 || descriptor > 15 ||
      count < 0 || count > WReport::MAX_PHENOMENA)
    return false;
  uint64_t k = static_cast<uint64_t>(intensity) |
               static_cast<uint64_t>(descriptor) << 4 |
               static_cast<uint64_t>(count) << 8;
  for (int i = 0; i < count; ++i) {
    int p = g.phenomena[i];
    if (p < 0 || p > 255) return false;
    k |= static_cast<uint64_t>(p) << (12 + 8 * i);
  }
  key = k;
  return true;
}

bool ReadingFormatter::layerKey(const WReport::Layer& l, uint64_t& key) {
  int cover = l.cover, type = l.cloudType;
  if (cover < 0 || cover > 15 || type < 0 || type > 15) return false;
  key = static_cast<uint64_t>(static_cast<uint32_t>(l.height)) << 32 |
        static_cast<uint64_t>(cover) | static_cast<uint64_t>(type) << 4 |
        static_cast<uint64_t>(l.heightMissing) << 8;
  return true;
}

namespace {

// Starts a line of text output: the label, padded to 13 columns.
template <size_t N>
void line(OutBuffer& out, const char (&label)[N]) {
  static_assert(N - 1 <= 13, "labels fit the column");
  char* at = out.reserve(13);
  std::memcpy(at, label, N - 1);
  std::memset(at + N - 1, ' ', 13 - (N - 1));
  out.advance(13);
}

// A thousands-grouped whole number ("12,000").
void appendGrouped(OutBuffer& out, int v) {
  if (v >= 1000) {
    out.putInt(v / 1000);
    char digits[4] = {',', static_cast<char>('0' + v / 100 % 10),
                      static_cast<char>('0' + v / 10 % 10),
                      static_cast<char>('0' + v % 10)};
    out.put(digits, 4);
  } else {
    out.putInt(v);
  }
}

}  // namespace

ReadingFormatter::ReadingFormatter(const Units& units) : units_(units) {}

// ---- Time ----

const ReadingFormatter::Zone& ReadingFormatter::localZone(long t) {
  if (!zones_) zones_.reset(new ZeroedArray<Zone>(size_t{1} << kZoneBits));
  long quarter = t >= 0 ? t / 900 : (t - 899) / 900;
  Zone& zone =
      (*zones_)[static_cast<unsigned long>(quarter) & ((1ul << kZoneBits) - 1)];
  if (!zone.known || zone.quarter != quarter) {
    zone.known = true;
    zone.quarter = quarter;
    time_t tt = static_cast<time_t>(t);
    struct tm tm;
    zone.offset = 0;
    zone.name[0] = '\0';
    if (localtime_r(&tt, &tm) != nullptr) {
      zone.offset = tm.tm_gmtoff;
      if (strftime(zone.name, sizeof zone.name, "%Z", &tm) == 0)
        zone.name[0] = '\0';
    }
  }
  return zone;
}

void ReadingFormatter::appendDate(OutBuffer& out, long day) {
  dates_.append(out, static_cast<uint64_t>(day), [&] {
    LCTime date(day * 86400, LTime::UTC);
    out.putInt(date.year);
    out.put('-');
    out.putTwoDigits(date.month);
    out.put('-');
    out.putTwoDigits(date.day);
  });
}

void ReadingFormatter::appendTime(OutBuffer& out, long t, bool iso,
                                  const WPlace* place) {
  Zone there{};
  WLocalTime local;
  if (place != nullptr && placeLocalTime(*place, t, local)) {
    there.offset = local.offsetMinutes * 60L;
    std::snprintf(there.name, sizeof there.name, "%s", local.zone.c_str());
  }
  const Zone& zone = there.name[0] != '\0' ? there : localZone(t);
  long wall = t + zone.offset;  // seconds on the local wall clock
  long day = wall >= 0 ? wall / 86400 : (wall - 86399) / 86400;
  int seconds = static_cast<int>(wall - day * 86400);
  appendDate(out, day);
  out.put(iso ? 'T' : ' ');
  out.putTwoDigits(seconds / 3600);
  out.put(':');
  out.putTwoDigits(seconds / 60 % 60);
  if (!iso) {
    if (zone.name[0] != '\0') {
      out.put(' ');
      out.putText(zone.name);
    }
    return;
  }
  out.put(':');
  out.putTwoDigits(seconds % 60);
  long off = zone.offset < 0 ? -zone.offset : zone.offset;
  out.put(zone.offset < 0 ? '-' : '+');
  out.putTwoDigits(static_cast<int>(off / 3600));
  out.put(':');
  out.putTwoDigits(static_cast<int>(off / 60 % 60));
}

// ---- Temperatures and the readings derived from them ----

void ReadingFormatter::appendTemp(OutBuffer& out, float celsius,
                                  TempTables& tables) {
  tables.texts.append(out, bitsOf(celsius), [&] {
    WCondition c;
    c.setTemp(celsius);
    LString text;
    c.formatTemp(text, units_.temp == Units::Temp::kCelsius
                           ? WCondition::Celsius
                           : WCondition::Fahrenheit);
    out.put(text.str());
  });
}

bool ReadingFormatter::humidity(const Reading& r, double& out) {
  if (!r.temp || !r.dewPoint) return false;
  float t = *r.temp, d = *r.dewPoint;
  out = relativeHumidity(t, d);
  return true;
}

bool ReadingFormatter::chillKey(const Reading& r, uint64_t& key) {
  if (!r.temp || !r.windSpeed || *r.windSpeed < 0) return false;
  key = pairKey(*r.temp, static_cast<uint32_t>(*r.windSpeed));
  return true;
}

bool ReadingFormatter::chill(const Reading& r, double& out) {
  return windChill(C2F(*r.temp), knots2MPH(static_cast<unsigned>(*r.windSpeed)),
                   out);
}

void ReadingFormatter::appendFeelsText(OutBuffer& out, const Reading& r) {
  double rh, feels;
  bool hasHumidity = humidity(r, rh);
  if (hasHumidity) {
    line(out, "Humidity:");
    out.putInt(std::lround(rh));
    out.lit("%\n");
  }
  uint64_t key;
  if (chillKey(r, key)) {
    chillLines_.append(out, key, [&] {
      if (!chill(r, feels)) return;
      line(out, "Wind chill:");
      appendTemp(out, F2C(static_cast<float>(feels)), feelsTemps_);
      out.put('\n');
    });
  }
  if (hasHumidity && heatIndex(C2F(*r.temp), rh, feels)) {
    line(out, "Heat index:");
    appendTemp(out, F2C(static_cast<float>(feels)), feelsTemps_);
    out.put('\n');
  }
}

// ---- Pressure, wind, weather and sky ----

void ReadingFormatter::appendPressure(OutBuffer& out, float inhg) {
  pressures_.append(out, bitsOf(inhg),
                    [&] { stratus_cli::appendPressure(out, inhg, units_); });
}

void ReadingFormatter::appendSpeed(OutBuffer& out, int knots) {
  speeds_.append(out, static_cast<uint32_t>(knots),
                 [&] { stratus_cli::appendSpeed(out, knots, units_); });
}

void ReadingFormatter::appendWind(OutBuffer& out, const Reading& r) {
  if (isCalm(r)) {
    out.lit("calm");
    return;
  }
  int dir = r.windDirection.value_or(W_VARIABLE_WIND);
  if (dir == W_VARIABLE_WIND) {
    out.lit("variable");
  } else if (const char* point = compassPoint(dir)) {
    out.lit("from ");
    out.putText(point);
    out.lit(" (");
    out.putInt(dir);
    out.lit(" deg)");
  } else {
    out.lit("from ");
    out.putInt(dir);
    out.lit(" deg");
  }
  if (r.windSpeed) {
    out.lit(" at ");
    appendSpeed(out, *r.windSpeed);
  }
  if (r.windGust) {
    out.lit(", gusts ");
    appendSpeed(out, *r.windGust);
  }
  if (r.variableFrom && r.variableTo && *r.variableFrom != W_VARIABLE_WIND) {
    out.lit(", varying ");
    out.putInt(*r.variableFrom);
    out.lit(" to ");
    out.putInt(*r.variableTo);
    out.lit(" deg");
  }
}

void ReadingFormatter::appendWeather(OutBuffer& out,
                                     const WReport::Weather& g) {
  uint64_t key;
  if (!weatherKey(g, key)) {
    out.put(weatherWords(g));
    return;
  }
  weather_.append(out, key, [&] { out.put(weatherWords(g)); });
}

void ReadingFormatter::appendLayer(OutBuffer& out, const WReport::Layer& l) {
  uint64_t key;
  if (!layerKey(l, key)) {
    out.put(layerWords(l));
    return;
  }
  layers_.append(out, key, [&] { out.put(layerWords(l)); });
}

// ---- Text output ----

void ReadingFormatter::appendText(OutBuffer& out, const Reading& r) {
  if (r.time) {
    line(out, "Observed:");
    long t = *r.time;
    if (r.place != nullptr) {
      appendTime(out, t, false, r.place);
    } else {
      times_.append(out, static_cast<uint64_t>(t),
                    [&] { appendTime(out, t, false, nullptr); });
    }
    out.put('\n');
  }
  if (r.temp) {
    line(out, "Temperature:");
    appendTemp(out, *r.temp, temps_);
    out.put('\n');
  }
  if (r.dewPoint) {
    line(out, "Dew point:");
    appendTemp(out, *r.dewPoint, temps_);
    out.put('\n');
  }
  appendFeelsText(out, r);
  if (r.pressure) {
    line(out, "Pressure:");
    appendPressure(out, *r.pressure);
    out.put('\n');
  }
  if (hasWind(r)) {
    line(out, "Wind:");
    appendWind(out, r);
    out.put('\n');
  }
  if (r.report == nullptr) return;
  const WReport& w = *r.report;
  if (w.hasVisibility) {
    line(out, "Visibility:");
    appendVisibility(out, w, units_);
    out.put('\n');
  }
  if (w.weatherCount > 0) {
    line(out, "Weather:");
    for (int i = 0; i < w.weatherCount; ++i) {
      if (i > 0) out.lit("; ");
      appendWeather(out, w.weather[i]);
    }
    out.put('\n');
  }
  if (w.layerCount > 0) {
    line(out, "Sky:");
    for (int i = 0; i < w.layerCount; ++i) {
      if (i > 0) out.lit(", ");
      appendLayer(out, w.layers[i]);
    }
    out.put('\n');
  }
  if (w.hasCeiling) {
    line(out, "Ceiling:");
    appendGrouped(out, w.ceiling);
    out.lit(" ft\n");
  }
  if (w.flightCategory != WReport::UNKNOWN_CATEGORY) {
    line(out, "Category:");
    out.putText(reportCode(w.flightCategory));
    out.put('\n');
  }
}

}  // namespace stratus_cli
