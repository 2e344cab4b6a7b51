#include "reading_formatter.h"

#include <time.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "json_string.h"
#include "value_words.h"

namespace stratus_cli {

namespace {

// Appends the text `slot` holds for `key`; when it holds none, the text
// `format` appends, which the slot then holds.
template <typename Cache, typename Format>
void cached(OutBuffer& out, Cache& cache, uint64_t key, Format&& format) {
  auto& slot = cache.slot(key);
  if (slot.holds(key)) {
    Cache::appendTo(out, slot);
    return;
  }
  size_t mark = out.size();
  format();
  slot.store(key, out.data() + mark, out.size() - mark);
}

uint32_t bitsOf(float v) {
  uint32_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  return bits;
}

// The fields weatherWords reads, packed into `key`; false when one is
// outside what the packing holds.
bool weatherKey(const WReport::Weather& g, uint64_t& key) {
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

// The fields of a layer, packed into `key`; false when one is outside what
// the packing holds.
bool layerKey(const WReport::Layer& l, uint64_t& key) {
  int cover = l.cover, type = l.cloudType;
  if (cover < 0 || cover > 15 || type < 0 || type > 15) return false;
  key = static_cast<uint64_t>(static_cast<uint32_t>(l.height)) << 32 |
        static_cast<uint64_t>(cover) | static_cast<uint64_t>(type) << 4 |
        static_cast<uint64_t>(l.heightMissing) << 8;
  return true;
}

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

// ---- JSON pieces ----

// A member's name after another member: `,"name":`.
template <size_t N>
void key(OutBuffer& out, const char (&name)[N]) {
  char* at = out.reserve(N + 3);
  at[0] = ',';
  at[1] = '"';
  std::memcpy(at + 2, name, N - 1);
  at[N + 1] = '"';
  at[N + 2] = ':';
  out.advance(N + 3);
}

template <typename T, typename Write>
void orNull(OutBuffer& out, const std::optional<T>& v, Write&& write) {
  if (v) {
    write(*v);
  } else {
    out.lit("null");
  }
}

void speedJson(OutBuffer& out, int knots) {
  float mph = knots2MPH(static_cast<unsigned>(knots));
  out.lit("{\"kt\":");
  out.putInt(knots);
  out.lit(",\"mph\":");
  out.putFixed(mph, 1);
  out.lit(",\"kmh\":");
  out.putFixed(MPH2KMPH(mph), 1);
  out.put('}');
}

void windJson(OutBuffer& out, const Reading& r, const Units& units) {
  bool variable = r.windDirection && *r.windDirection == W_VARIABLE_WIND;
  out.lit("{\"direction\":");
  if (r.windDirection && !variable) {
    out.putInt(*r.windDirection);
  } else {
    out.lit("null");
  }
  if (variable) {
    out.lit(",\"variable\":true");
  } else {
    out.lit(",\"variable\":false");
  }
  if (isCalm(r)) {
    out.lit(",\"calm\":true,\"speed\":");
  } else {
    out.lit(",\"calm\":false,\"speed\":");
  }
  orNull(out, r.windSpeed, [&](int v) { speedJson(out, v); });
  out.lit(",\"gust\":");
  orNull(out, r.windGust, [&](int v) { speedJson(out, v); });
  if (r.variableFrom && *r.variableFrom != W_VARIABLE_WIND) {
    out.lit(",\"variable_from\":");
    out.putInt(*r.variableFrom);
    out.lit(",\"variable_to\":");
    orNull(out, r.variableTo, [&](int v) { out.putInt(v); });
  } else {
    out.lit(",\"variable_from\":null,\"variable_to\":null");
  }
  out.lit(",\"text\":\"");
  appendWind(out, r, units);
  out.lit("\"}");
}

void visibilityJson(OutBuffer& out, const WReport& w, const Units& units) {
  out.lit("{\"miles\":");
  out.putFixed(w.visibilityMiles, 2);
  out.lit(",\"meters\":");
  out.putFixed(w.visibilityMeters, 0);
  if (w.visibilityBound < 0) {
    out.lit(",\"bound\":\"less\"");
  } else if (w.visibilityBound > 0) {
    out.lit(",\"bound\":\"more\"");
  } else {
    out.lit(",\"bound\":null");
  }
  if (w.cavok) {
    out.lit(",\"cavok\":true");
  } else {
    out.lit(",\"cavok\":false");
  }
  out.lit(",\"text\":\"");
  appendVisibility(out, w, units);
  out.lit("\"}");
}

// The slot of `key` in a table of 2^bits entries.
size_t slotOf(uint64_t key, unsigned bits) {
  return static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> (64 - bits));
}

uint64_t pairKey(float a, uint32_t b) {
  return (static_cast<uint64_t>(bitsOf(a)) << 32) | b;
}

}  // namespace

ReadingFormatter::ReadingFormatter(const Units& units)
    : units_(units),
      zones_(new Zone[size_t{1} << kZoneBits]),
      humidities_(new Feels[size_t{1} << kHumidityBits]),
      chills_(new Feels[size_t{1} << kChillBits]) {}

// ---- Time ----

const ReadingFormatter::Zone& ReadingFormatter::localZone(long t) {
  long quarter = t >= 0 ? t / 900 : (t - 899) / 900;
  Zone& zone =
      zones_[static_cast<unsigned long>(quarter) & ((1ul << kZoneBits) - 1)];
  if (zone.quarter != quarter) {
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
  uint64_t key = static_cast<uint64_t>(day);
  cached(out, dates_, key, [&] {
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
  Zone there;
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

void ReadingFormatter::appendTemp(OutBuffer& out, float celsius) {
  uint64_t key = bitsOf(celsius);
  cached(out, temps_, key, [&] {
    WCondition c;
    c.setTemp(celsius);
    LString text;
    c.formatTemp(text, units_.temp == Units::Temp::kCelsius
                           ? WCondition::Celsius
                           : WCondition::Fahrenheit);
    out.put(text.str());
  });
}

void ReadingFormatter::tempJson(OutBuffer& out, float celsius) {
  out.lit("{\"celsius\":");
  out.putFixed(celsius, 1);
  out.lit(",\"fahrenheit\":");
  out.putFixed(C2F(celsius), 1);
  out.lit(",\"text\":\"");
  appendTemp(out, celsius);
  out.lit("\"}");
}

bool ReadingFormatter::humidity(const Reading& r, double& out) {
  if (!r.temp || !r.dewPoint) return false;
  uint64_t key = pairKey(*r.temp, bitsOf(*r.dewPoint));
  Feels& e = humidities_[slotOf(key, kHumidityBits)];
  if (!e.used || e.key != key) {
    e = {key, true, true, relativeHumidity(*r.temp, *r.dewPoint)};
  }
  out = e.value;
  return true;
}

bool ReadingFormatter::chill(const Reading& r, double& out) {
  if (!r.temp || !r.windSpeed || *r.windSpeed < 0) return false;
  uint64_t key = pairKey(*r.temp, static_cast<uint32_t>(*r.windSpeed));
  Feels& e = chills_[slotOf(key, kChillBits)];
  if (!e.used || e.key != key) {
    double value = 0;
    bool defined = windChill(C2F(*r.temp), knots2MPH(*r.windSpeed), value);
    e = {key, true, defined, value};
  }
  out = e.value;
  return e.defined;
}

void ReadingFormatter::appendFeelsText(OutBuffer& out, const Reading& r) {
  double rh, feels;
  bool hasHumidity = humidity(r, rh);
  if (hasHumidity) {
    line(out, "Humidity:");
    out.putInt(std::lround(rh));
    out.lit("%\n");
  }
  if (chill(r, feels)) {
    line(out, "Wind chill:");
    appendTemp(out, F2C(static_cast<float>(feels)));
    out.put('\n');
  }
  if (hasHumidity && heatIndex(C2F(*r.temp), rh, feels)) {
    line(out, "Heat index:");
    appendTemp(out, F2C(static_cast<float>(feels)));
    out.put('\n');
  }
}

void ReadingFormatter::appendFeelsJson(OutBuffer& out, const Reading& r) {
  double rh, feels;
  bool hasHumidity = humidity(r, rh);
  key(out, "relative_humidity");
  if (hasHumidity) {
    out.putFixed(rh, 1);
  } else {
    out.lit("null");
  }
  key(out, "wind_chill");
  if (chill(r, feels)) {
    tempJson(out, F2C(static_cast<float>(feels)));
  } else {
    out.lit("null");
  }
  key(out, "heat_index");
  if (hasHumidity && heatIndex(C2F(*r.temp), rh, feels)) {
    tempJson(out, F2C(static_cast<float>(feels)));
  } else {
    out.lit("null");
  }
}

// ---- Weather and sky (the complete reading) ----

void ReadingFormatter::appendWeather(OutBuffer& out,
                                     const WReport::Weather& g) {
  uint64_t k;
  if (!weatherKey(g, k)) {
    out.put(weatherWords(g));
    return;
  }
  cached(out, weather_, k, [&] { out.put(weatherWords(g)); });
}

void ReadingFormatter::appendLayer(OutBuffer& out, const WReport::Layer& l) {
  uint64_t k;
  if (!layerKey(l, k)) {
    out.put(layerWords(l));
    return;
  }
  cached(out, layers_, k, [&] { out.put(layerWords(l)); });
}

void ReadingFormatter::reportJson(OutBuffer& out, const WReport& w) {
  key(out, "visibility");
  if (w.hasVisibility) {
    visibilityJson(out, w, units_);
  } else {
    out.lit("null");
  }
  key(out, "weather");
  out.put('[');
  for (int i = 0; i < w.weatherCount; ++i) {
    if (i > 0) out.put(',');
    out.lit("{\"code\":");
    appendJsonString(out, w.weather[i].text, std::strlen(w.weather[i].text));
    out.lit(",\"text\":\"");
    appendWeather(out, w.weather[i]);
    out.lit("\"}");
  }
  out.put(']');
  key(out, "sky");
  out.put('[');
  for (int i = 0; i < w.layerCount; ++i) {
    const WReport::Layer& l = w.layers[i];
    if (i > 0) out.put(',');
    out.lit("{\"cover\":\"");
    out.putText(reportCode(l.cover));
    out.lit("\",\"height_ft\":");
    if (l.heightMissing) {
      out.lit("null");
    } else {
      out.putInt(l.height);
    }
    if (l.cloudType == WReport::CUMULONIMBUS) {
      out.lit(",\"type\":\"CB\"");
    } else if (l.cloudType == WReport::TOWERING_CUMULUS) {
      out.lit(",\"type\":\"TCU\"");
    } else {
      out.lit(",\"type\":null");
    }
    out.lit(",\"text\":\"");
    appendLayer(out, l);
    out.lit("\"}");
  }
  out.put(']');
  key(out, "ceiling_ft");
  if (w.hasCeiling) {
    out.putInt(w.ceiling);
  } else {
    out.lit("null");
  }
  key(out, "flight_category");
  if (w.flightCategory != WReport::UNKNOWN_CATEGORY) {
    out.put('"');
    out.putText(reportCode(w.flightCategory));
    out.put('"');
  } else {
    out.lit("null");
  }
}

// ---- The whole reading ----

void ReadingFormatter::appendText(OutBuffer& out, const Reading& r) {
  if (r.time) {
    line(out, "Observed:");
    appendTime(out, *r.time, false, r.place);
    out.put('\n');
  }
  if (r.temp) {
    line(out, "Temperature:");
    appendTemp(out, *r.temp);
    out.put('\n');
  }
  if (r.dewPoint) {
    line(out, "Dew point:");
    appendTemp(out, *r.dewPoint);
    out.put('\n');
  }
  appendFeelsText(out, r);
  if (r.pressure) {
    line(out, "Pressure:");
    appendPressure(out, *r.pressure, units_);
    out.put('\n');
  }
  if (hasWind(r)) {
    line(out, "Wind:");
    appendWind(out, r, units_);
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

void ReadingFormatter::appendJsonMembers(OutBuffer& out, const Reading& r) {
  // The first member, first in its object or after others.
  if (!out.empty() && out.back() != '{') out.put(',');
  out.lit("\"time\":");
  if (r.time) {
    out.lit("{\"epoch\":");
    out.putInt(*r.time);
    out.lit(",\"local\":\"");
    appendTime(out, *r.time, true, r.place);
    out.lit("\",\"text\":\"");
    appendTime(out, *r.time, false, r.place);
    out.lit("\"}");
  } else {
    out.lit("null");
  }
  key(out, "temperature");
  orNull(out, r.temp, [&](float v) { tempJson(out, v); });
  key(out, "dew_point");
  orNull(out, r.dewPoint, [&](float v) { tempJson(out, v); });
  appendFeelsJson(out, r);
  key(out, "pressure");
  orNull(out, r.pressure, [&](float v) {
    out.lit("{\"inHg\":");
    out.putFixed(v, 2);
    out.lit(",\"hPa\":");
    out.putFixed(INHG2HPA(v), 1);
    out.lit(",\"mmHg\":");
    out.putFixed(INHG2MMHG(v), 1);
    out.lit(",\"text\":\"");
    appendPressure(out, v, units_);
    out.lit("\"}");
  });
  key(out, "wind");
  if (hasWind(r)) {
    windJson(out, r, units_);
  } else {
    out.lit("null");
  }
  if (r.report != nullptr) {
    reportJson(out, *r.report);
  } else {
    out.lit(
        ",\"visibility\":null,\"weather\":[],\"sky\":[],"
        "\"ceiling_ft\":null,\"flight_category\":null");
  }
}

}  // namespace stratus_cli
