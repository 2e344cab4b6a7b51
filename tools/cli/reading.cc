#include "reading.h"

#include <time.h>

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace stratus_cli {

namespace {

// ---- Numbers ----

void appendInt(std::string& out, long long v) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, r.ptr);
}

// `v` rounded to `decimals` places (half away from zero), in fixed form.
void appendFixed(std::string& out, double v, int decimals) {
  static const long long kScale[] = {1, 10, 100, 1000};
  long long scaled = std::llround(v * kScale[decimals]);
  if (scaled < 0) {
    out += '-';
    scaled = -scaled;
  }
  appendInt(out, scaled / kScale[decimals]);
  if (decimals == 0) return;
  out += '.';
  char digits[4];
  long long frac = scaled % kScale[decimals];
  for (int i = decimals - 1; i >= 0; --i, frac /= 10)
    digits[i] = static_cast<char>('0' + frac % 10);
  out.append(digits, static_cast<size_t>(decimals));
}

// A number with thousands separated by commas ("12,000").
void appendGrouped(std::string& out, int v) {
  if (v >= 1000) {
    appendInt(out, v / 1000);
    out += ',';
    char digits[3] = {static_cast<char>('0' + v / 100 % 10),
                      static_cast<char>('0' + v / 10 % 10),
                      static_cast<char>('0' + v % 10)};
    out.append(digits, 3);
  } else {
    appendInt(out, v);
  }
}

// Appends a string literal, its length known when compiled.
template <size_t N>
void lit(std::string& out, const char (&text)[N]) {
  out.append(text, N - 1);
}

// ---- JSON pieces ----

template <size_t N>
void key(std::string& out, const char (&name)[N]) {
  if (!out.empty() && out.back() != '{' && out.back() != '[') out += ',';
  out += '"';
  lit(out, name);
  lit(out, "\":");
}

// ---- Temperature, pressure, wind ----

void appendPressure(std::string& out, float inhg, const Units& units) {
  switch (units.pressure) {
    case Units::Pressure::kHPa:
      appendFixed(out, INHG2HPA(inhg), 1);
      lit(out, " hPa (");
      break;
    case Units::Pressure::kMmHg:
      appendFixed(out, INHG2MMHG(inhg), 1);
      lit(out, " mmHg (");
      break;
    case Units::Pressure::kInHg:
      appendFixed(out, inhg, 2);
      lit(out, " inHg (");
      appendFixed(out, INHG2HPA(inhg), 1);
      lit(out, " hPa)");
      return;
  }
  appendFixed(out, inhg, 2);
  lit(out, " inHg)");
}

void appendSpeed(std::string& out, int knots, const Units& units) {
  switch (units.wind) {
    case Units::Wind::kKnots:
      appendInt(out, knots);
      lit(out, " kt");
      return;
    case Units::Wind::kKmh:
      appendFixed(out, MPH2KMPH(knots2MPH(static_cast<unsigned>(knots))), 0);
      lit(out, " km/h");
      return;
    case Units::Wind::kMph:
      break;
  }
  appendFixed(out, knots2MPH(static_cast<unsigned>(knots)), 0);
  lit(out, " mph");
}

bool isCalm(const Reading& r) {
  return r.windSpeed && *r.windSpeed == 0 &&
         (!r.windDirection || *r.windDirection == 0);
}

bool hasWind(const Reading& r) { return r.windSpeed || r.windDirection; }

void appendWind(std::string& out, const Reading& r, const Units& units) {
  if (isCalm(r)) {
    lit(out, "calm");
    return;
  }
  int dir = r.windDirection.value_or(W_VARIABLE_WIND);
  if (dir == W_VARIABLE_WIND) {
    lit(out, "variable");
  } else if (const char* point = compassPoint(dir)) {
    lit(out, "from ");
    out += point;
    lit(out, " (");
    appendInt(out, dir);
    lit(out, " deg)");
  } else {
    lit(out, "from ");
    appendInt(out, dir);
    lit(out, " deg");
  }
  if (r.windSpeed) {
    lit(out, " at ");
    appendSpeed(out, *r.windSpeed, units);
  }
  if (r.windGust) {
    lit(out, ", gusts ");
    appendSpeed(out, *r.windGust, units);
  }
  if (r.variableFrom && r.variableTo && *r.variableFrom != W_VARIABLE_WIND) {
    lit(out, ", varying ");
    appendInt(out, *r.variableFrom);
    lit(out, " to ");
    appendInt(out, *r.variableTo);
    lit(out, " deg");
  }
}

// ---- Visibility, weather, sky (the complete reading) ----

void appendVisibility(std::string& out, const WReport& w, const Units& units) {
  if (w.cavok) {
    lit(out, "10 km or more, no cloud below 5,000 ft (CAVOK)");
    return;
  }
  if (w.visibilityBound < 0) lit(out, "less than ");
  if (w.visibilityBound > 0) lit(out, "more than ");
  if (units.metricDistance) {
    float km = w.visibilityMeters / 1000.0f;
    appendFixed(out, km, km < 5 ? 1 : 0);
    lit(out, " km");
    return;
  }
  float miles = w.visibilityMiles;
  appendFixed(out, miles, miles < 3 && miles != std::floor(miles) ? 2 : 0);
  out += miles == 1 ? " mile" : " miles";
}

void appendWeather(std::string& out, const WReport::Weather& g) {
  out += weatherWords(g);
}

void appendLayer(std::string& out, const WReport::Layer& l) {
  out += layerWords(l);
}

// Starts a line of text output: the label, padded to 13 columns.
template <size_t N>
void line(std::string& out, const char (&label)[N]) {
  static_assert(N - 1 <= 13, "labels fit the column");
  out.append(label, N - 1);
  out.append("             ", 13 - (N - 1));
}

// ---- JSON of quantities ----

void speedJson(std::string& out, int knots) {
  float mph = knots2MPH(static_cast<unsigned>(knots));
  lit(out, "{\"kt\":");
  appendInt(out, knots);
  lit(out, ",\"mph\":");
  appendFixed(out, mph, 1);
  lit(out, ",\"kmh\":");
  appendFixed(out, MPH2KMPH(mph), 1);
  out += '}';
}

template <typename T, typename F>
void orNull(std::string& out, const std::optional<T>& v, F&& write) {
  if (v) {
    write(*v);
  } else {
    lit(out, "null");
  }
}

void windJson(std::string& out, const Reading& r, const Units& units) {
  bool variable = r.windDirection && *r.windDirection == W_VARIABLE_WIND;
  lit(out, "{\"direction\":");
  if (r.windDirection && !variable) {
    appendInt(out, *r.windDirection);
  } else {
    lit(out, "null");
  }
  out += variable ? ",\"variable\":true" : ",\"variable\":false";
  out += isCalm(r) ? ",\"calm\":true,\"speed\":" : ",\"calm\":false,\"speed\":";
  orNull(out, r.windSpeed, [&](int v) { speedJson(out, v); });
  lit(out, ",\"gust\":");
  orNull(out, r.windGust, [&](int v) { speedJson(out, v); });
  if (r.variableFrom && *r.variableFrom != W_VARIABLE_WIND) {
    lit(out, ",\"variable_from\":");
    appendInt(out, *r.variableFrom);
    lit(out, ",\"variable_to\":");
    orNull(out, r.variableTo, [&](int v) { appendInt(out, v); });
  } else {
    lit(out, ",\"variable_from\":null,\"variable_to\":null");
  }
  lit(out, ",\"text\":\"");
  appendWind(out, r, units);
  lit(out, "\"}");
}

void reportJson(std::string& out, const WReport& w, const Units& units) {
  key(out, "visibility");
  if (w.hasVisibility) {
    lit(out, "{\"miles\":");
    appendFixed(out, w.visibilityMiles, 2);
    lit(out, ",\"meters\":");
    appendFixed(out, w.visibilityMeters, 0);
    out += w.visibilityBound < 0   ? ",\"bound\":\"less\""
           : w.visibilityBound > 0 ? ",\"bound\":\"more\""
                                   : ",\"bound\":null";
    out += w.cavok ? ",\"cavok\":true" : ",\"cavok\":false";
    lit(out, ",\"text\":\"");
    appendVisibility(out, w, units);
    lit(out, "\"}");
  } else {
    lit(out, "null");
  }
  key(out, "weather");
  out += '[';
  for (int i = 0; i < w.weatherCount; ++i) {
    out += i > 0 ? ",{\"code\":" : "{\"code\":";
    appendJsonString(out, w.weather[i].text, std::strlen(w.weather[i].text));
    lit(out, ",\"text\":\"");
    appendWeather(out, w.weather[i]);
    lit(out, "\"}");
  }
  out += ']';
  key(out, "sky");
  out += '[';
  for (int i = 0; i < w.layerCount; ++i) {
    const WReport::Layer& l = w.layers[i];
    out += i > 0 ? ",{\"cover\":\"" : "{\"cover\":\"";
    out += reportCode(l.cover);
    lit(out, "\",\"height_ft\":");
    if (l.heightMissing) {
      lit(out, "null");
    } else {
      appendInt(out, l.height);
    }
    out += l.cloudType == WReport::CUMULONIMBUS       ? ",\"type\":\"CB\""
           : l.cloudType == WReport::TOWERING_CUMULUS ? ",\"type\":\"TCU\""
                                                      : ",\"type\":null";
    lit(out, ",\"text\":\"");
    appendLayer(out, l);
    lit(out, "\"}");
  }
  out += ']';
  key(out, "ceiling_ft");
  if (w.hasCeiling) {
    appendInt(out, w.ceiling);
  } else {
    lit(out, "null");
  }
  key(out, "flight_category");
  if (w.flightCategory != WReport::UNKNOWN_CATEGORY) {
    out += '"';
    out += reportCode(w.flightCategory);
    out += '"';
  } else {
    lit(out, "null");
  }
}

}  // namespace

bool Reading::empty() const {
  // The complete reading says itself whether it holds an observation.
  if (report != nullptr) return !report->decoded;
  return !temp && !dewPoint && !pressure && !windDirection && !windSpeed &&
         !windGust && !variableFrom && !variableTo && !time;
}

Reading readingOf(const WObservation& o) {
  Reading r;
  if (o.hasTemp) r.temp = o.temp;
  if (o.hasDewPoint) r.dewPoint = o.dewPoint;
  if (o.hasPressure) r.pressure = o.pressure;
  if (o.hasWindDirection) {
    r.windDirection = o.windDirection;
    r.variableFrom = o.windVariableFrom;
    r.variableTo = o.windVariableTo;
  }
  if (o.hasWindSpeed) r.windSpeed = o.windSpeed;
  if (o.hasWindGustSpeed) r.windGust = o.windGustSpeed;
  if (o.hasTime) r.time = o.time;
  return r;
}

Reading readingOf(const WReport& w) {
  Reading r;
  r.report = &w;
  if (w.hasTemp) r.temp = w.temp;
  if (w.hasDewPoint) r.dewPoint = w.dewPoint;
  if (w.hasPressure) r.pressure = w.pressure;
  if (w.hasWind) {
    if (!w.windDirectionMissing) r.windDirection = w.windDirection;
    r.windSpeed = static_cast<int>(std::lround(w.windSpeed));
    if (w.hasWindGust)
      r.windGust = static_cast<int>(std::lround(w.windGustSpeed));
    if (w.hasWindVariable) {
      r.variableFrom = w.windVariableFrom;
      r.variableTo = w.windVariableTo;
    }
  }
  if (w.hasTime) r.time = w.time;
  return r;
}

void ReadingFormatter::appendTime(std::string& out, long t, bool iso,
                                  const WPlace* place) {
  long quarter = t >= 0 ? t / 900 : (t - 899) / 900;
  ZoneEntry placeZone;
  WLocalTime there;
  if (place != nullptr && placeLocalTime(*place, t, there)) {
    placeZone.offset = there.offsetMinutes * 60L;
    std::snprintf(placeZone.name, sizeof placeZone.name, "%s",
                  there.zone.c_str());
  }
  ZoneEntry& zone = placeZone.name[0] != '\0'
                        ? placeZone
                        : zones_[static_cast<unsigned long>(quarter) % 64];
  if (&zone != &placeZone && zone.quarter != quarter) {
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
  LCTime local(t + zone.offset, LTime::UTC);  // the local wall clock
  auto two = [&out](int v) {
    out += static_cast<char>('0' + v / 10 % 10);
    out += static_cast<char>('0' + v % 10);
  };
  appendInt(out, local.year);
  out += '-';
  two(local.month);
  out += '-';
  two(local.day);
  out += iso ? 'T' : ' ';
  two(local.hour);
  out += ':';
  two(local.minute);
  if (!iso) {
    if (zone.name[0] != '\0') {
      out += ' ';
      out += zone.name;
    }
    return;
  }
  out += ':';
  two(local.second);
  long off = zone.offset < 0 ? -zone.offset : zone.offset;
  out += zone.offset < 0 ? '-' : '+';
  two(static_cast<int>(off / 3600));
  out += ':';
  two(static_cast<int>(off / 60 % 60));
}

void ReadingFormatter::appendTemp(std::string& out, float celsius) {
  uint32_t bits;
  std::memcpy(&bits, &celsius, sizeof bits);
  TempEntry& e = temps_[(bits * 2654435761u) >> 23];  // 9 bits
  if (!e.used || e.bits != bits) {
    WCondition c;
    c.setTemp(celsius);
    LString text;
    c.formatTemp(text, units_.temp == Units::Temp::kCelsius
                           ? WCondition::Celsius
                           : WCondition::Fahrenheit);
    e.used = text.str().size() < sizeof e.text;
    e.bits = bits;
    if (!e.used) {
      out += text.str();
      return;
    }
    e.length = static_cast<unsigned char>(text.str().size());
    std::memcpy(e.text, text.str().data(), e.length);
  }
  out.append(e.text, e.length);
}

void ReadingFormatter::tempJson(std::string& out, float celsius) {
  lit(out, "{\"celsius\":");
  appendFixed(out, celsius, 1);
  lit(out, ",\"fahrenheit\":");
  appendFixed(out, C2F(celsius), 1);
  lit(out, ",\"text\":\"");
  appendTemp(out, celsius);
  lit(out, "\"}");
}

namespace {

// The slot of `key` in a cache of 1024 entries.
size_t slotOf(uint64_t key) {
  return static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> 54);
}

uint64_t pairKey(float a, uint32_t b) {
  uint32_t bits;
  std::memcpy(&bits, &a, sizeof bits);
  return (static_cast<uint64_t>(bits) << 32) | b;
}

}  // namespace

bool ReadingFormatter::humidity(const Reading& r, double& out) {
  if (!r.temp || !r.dewPoint) return false;
  uint32_t dew;
  std::memcpy(&dew, &*r.dewPoint, sizeof dew);
  uint64_t key = pairKey(*r.temp, dew);
  FeelsEntry& e = humidities_[slotOf(key)];
  if (!e.used || e.key != key) {
    e = {key, true, true, relativeHumidity(*r.temp, *r.dewPoint)};
  }
  out = e.value;
  return true;
}

bool ReadingFormatter::chill(const Reading& r, double& out) {
  if (!r.temp || !r.windSpeed || *r.windSpeed < 0) return false;
  uint64_t key = pairKey(*r.temp, static_cast<uint32_t>(*r.windSpeed));
  FeelsEntry& e = chills_[slotOf(key)];
  if (!e.used || e.key != key) {
    double value = 0;
    bool defined = windChill(C2F(*r.temp), knots2MPH(*r.windSpeed), value);
    e = {key, true, defined, value};
  }
  out = e.value;
  return e.defined;
}

void ReadingFormatter::appendFeelsText(std::string& out, const Reading& r) {
  double rh, feels;
  bool hasHumidity = humidity(r, rh);
  if (hasHumidity) {
    line(out, "Humidity:");
    appendInt(out, std::lround(rh));
    lit(out, "%\n");
  }
  if (chill(r, feels)) {
    line(out, "Wind chill:");
    appendTemp(out, F2C(static_cast<float>(feels)));
    out += '\n';
  }
  if (hasHumidity && heatIndex(C2F(*r.temp), rh, feels)) {
    line(out, "Heat index:");
    appendTemp(out, F2C(static_cast<float>(feels)));
    out += '\n';
  }
}

void ReadingFormatter::appendFeelsJson(std::string& out, const Reading& r) {
  double rh, feels;
  bool hasHumidity = humidity(r, rh);
  key(out, "relative_humidity");
  if (hasHumidity) {
    appendFixed(out, rh, 1);
  } else {
    lit(out, "null");
  }
  key(out, "wind_chill");
  if (chill(r, feels)) {
    tempJson(out, F2C(static_cast<float>(feels)));
  } else {
    lit(out, "null");
  }
  key(out, "heat_index");
  if (hasHumidity && heatIndex(C2F(*r.temp), rh, feels)) {
    tempJson(out, F2C(static_cast<float>(feels)));
  } else {
    lit(out, "null");
  }
}

void ReadingFormatter::appendText(std::string& out, const Reading& r) {
  if (r.time) {
    line(out, "Observed:");
    appendTime(out, *r.time, false, r.place);
    out += '\n';
  }
  if (r.temp) {
    line(out, "Temperature:");
    appendTemp(out, *r.temp);
    out += '\n';
  }
  if (r.dewPoint) {
    line(out, "Dew point:");
    appendTemp(out, *r.dewPoint);
    out += '\n';
  }
  appendFeelsText(out, r);
  if (r.pressure) {
    line(out, "Pressure:");
    appendPressure(out, *r.pressure, units_);
    out += '\n';
  }
  if (hasWind(r)) {
    line(out, "Wind:");
    appendWind(out, r, units_);
    out += '\n';
  }
  if (r.report == nullptr) return;
  const WReport& w = *r.report;
  if (w.hasVisibility) {
    line(out, "Visibility:");
    appendVisibility(out, w, units_);
    out += '\n';
  }
  if (w.weatherCount > 0) {
    line(out, "Weather:");
    for (int i = 0; i < w.weatherCount; ++i) {
      if (i > 0) lit(out, "; ");
      appendWeather(out, w.weather[i]);
    }
    out += '\n';
  }
  if (w.layerCount > 0) {
    line(out, "Sky:");
    for (int i = 0; i < w.layerCount; ++i) {
      if (i > 0) lit(out, ", ");
      appendLayer(out, w.layers[i]);
    }
    out += '\n';
  }
  if (w.hasCeiling) {
    line(out, "Ceiling:");
    appendGrouped(out, w.ceiling);
    lit(out, " ft\n");
  }
  if (w.flightCategory != WReport::UNKNOWN_CATEGORY) {
    line(out, "Category:");
    out += reportCode(w.flightCategory);
    out += '\n';
  }
}

void ReadingFormatter::appendJsonMembers(std::string& out, const Reading& r) {
  key(out, "time");
  if (r.time) {
    lit(out, "{\"epoch\":");
    appendInt(out, *r.time);
    lit(out, ",\"local\":\"");
    appendTime(out, *r.time, true, r.place);
    lit(out, "\",\"text\":\"");
    appendTime(out, *r.time, false, r.place);
    lit(out, "\"}");
  } else {
    lit(out, "null");
  }
  key(out, "temperature");
  orNull(out, r.temp, [&](float v) { tempJson(out, v); });
  key(out, "dew_point");
  orNull(out, r.dewPoint, [&](float v) { tempJson(out, v); });
  appendFeelsJson(out, r);
  key(out, "pressure");
  orNull(out, r.pressure, [&](float v) {
    lit(out, "{\"inHg\":");
    appendFixed(out, v, 2);
    lit(out, ",\"hPa\":");
    appendFixed(out, INHG2HPA(v), 1);
    lit(out, ",\"mmHg\":");
    appendFixed(out, INHG2MMHG(v), 1);
    lit(out, ",\"text\":\"");
    appendPressure(out, v, units_);
    lit(out, "\"}");
  });
  key(out, "wind");
  if (hasWind(r)) {
    windJson(out, r, units_);
  } else {
    lit(out, "null");
  }
  if (r.report != nullptr) {
    reportJson(out, *r.report, units_);
  } else {
    out +=
        ",\"visibility\":null,\"weather\":[],\"sky\":[],"
        "\"ceiling_ft\":null,\"flight_category\":null";
  }
}

void printReading(std::ostream& out, const Reading& reading,
                  const Units& units) {
  std::string text;
  ReadingFormatter(units).appendText(text, reading);
  out << text;
}

nlohmann::json readingJson(const Reading& reading, const Units& units) {
  std::string text = "{";
  ReadingFormatter(units).appendJsonMembers(text, reading);
  text += '}';
  return nlohmann::json::parse(text);
}

namespace {

// The length of the valid UTF-8 sequence at `p` (at most `n` bytes there),
// or 0: a lone continuation byte, a cut or overlong sequence, a surrogate
// or a code point past U+10FFFF.
size_t utf8Length(const unsigned char* p, size_t n) {
  unsigned char c = p[0];
  size_t len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
  if (len == 0 || c > 0xF4 || n < len) return 0;
  for (size_t k = 1; k < len; ++k) {
    if ((p[k] & 0xC0) != 0x80) return 0;
  }
  if (c == 0xE0 && p[1] < 0xA0) return 0;   // overlong
  if (c == 0xED && p[1] >= 0xA0) return 0;  // surrogate
  if (c == 0xF0 && p[1] < 0x90) return 0;   // overlong
  if (c == 0xF4 && p[1] >= 0x90) return 0;  // past U+10FFFF
  return len;
}

}  // namespace

void appendJsonString(std::string& out, const char* text, size_t n) {
  static const char kHex[] = "0123456789abcdef";
  const auto* u = reinterpret_cast<const unsigned char*>(text);
  out += '"';
  for (size_t i = 0; i < n;) {
    size_t run = i;
    while (run < n && u[run] >= 0x20 && u[run] < 0x7F && u[run] != '"' &&
           u[run] != '\\')
      ++run;
    out.append(text + i, run - i);
    i = run;
    if (i == n) break;
    unsigned char c = u[i];
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7F) {
      lit(out, "\\u00");
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else if (size_t len = utf8Length(u + i, n - i)) {
      out.append(text + i, len);
      i += len;
      continue;
    } else {
      // Not UTF-8 (a page or file in another encoding): U+FFFD, as the
      // other JSON output shows such bytes.
      lit(out, "\xEF\xBF\xBD");
    }
    ++i;
  }
  out += '"';
}

}  // namespace stratus_cli
