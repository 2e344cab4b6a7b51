// ReadingFormatter's JSON output: each quantity in every unit, beside the
// text the text output shows for it.
#include <cstring>

#include "json_string.h"
#include "reading_formatter.h"
#include "value_words.h"

namespace stratus_cli {

namespace {

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

void layerJsonFields(OutBuffer& out, const WReport::Layer& l) {
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
}

}  // namespace

void ReadingFormatter::tempJson(OutBuffer& out, float celsius,
                                TempTables& tables) {
  uint32_t bits;
  std::memcpy(&bits, &celsius, sizeof bits);
  tables.json.append(out, bits, [&] {
    out.lit("{\"celsius\":");
    out.putFixed(celsius, 1);
    out.lit(",\"fahrenheit\":");
    out.putFixed(C2F(celsius), 1);
    out.lit(",\"text\":\"");
    appendTemp(out, celsius, tables);
    out.lit("\"}");
  });
}

void ReadingFormatter::speedJson(OutBuffer& out, int knots) {
  speedsJson_.append(out, static_cast<uint32_t>(knots), [&] {
    float mph = knots2MPH(static_cast<unsigned>(knots));
    out.lit("{\"kt\":");
    out.putInt(knots);
    out.lit(",\"mph\":");
    out.putFixed(mph, 1);
    out.lit(",\"kmh\":");
    out.putFixed(MPH2KMPH(mph), 1);
    out.put('}');
  });
}

void ReadingFormatter::pressureJson(OutBuffer& out, float inhg) {
  uint32_t bits;
  std::memcpy(&bits, &inhg, sizeof bits);
  pressuresJson_.append(out, bits, [&] {
    out.lit("{\"inHg\":");
    out.putFixed(inhg, 2);
    out.lit(",\"hPa\":");
    out.putFixed(INHG2HPA(inhg), 1);
    out.lit(",\"mmHg\":");
    out.putFixed(INHG2MMHG(inhg), 1);
    out.lit(",\"text\":\"");
    appendPressure(out, inhg);
    out.lit("\"}");
  });
}

void ReadingFormatter::layerJson(OutBuffer& out, const WReport::Layer& l) {
  auto json = [&] {
    layerJsonFields(out, l);
    out.lit(",\"text\":\"");
    appendLayer(out, l);
    out.lit("\"}");
  };
  uint64_t k;
  if (layerKey(l, k)) {
    layersJson_.append(out, k, json);
  } else {
    json();
  }
}

void ReadingFormatter::windJson(OutBuffer& out, const Reading& r) {
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
  appendWind(out, r);
  out.lit("\"}");
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
  uint64_t chillAt;
  if (chillKey(r, chillAt)) {
    chillsJson_.append(out, chillAt, [&] {
      if (chill(r, feels)) {
        tempJson(out, F2C(static_cast<float>(feels)), feelsTemps_);
      } else {
        out.lit("null");
      }
    });
  } else {
    out.lit("null");
  }
  key(out, "heat_index");
  if (hasHumidity && heatIndex(C2F(*r.temp), rh, feels)) {
    tempJson(out, F2C(static_cast<float>(feels)), feelsTemps_);
  } else {
    out.lit("null");
  }
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
    if (i > 0) out.put(',');
    layerJson(out, w.layers[i]);
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

void ReadingFormatter::appendJsonMembers(OutBuffer& out, const Reading& r) {
  // The first member, first in its object or after others.
  if (!out.empty() && out.back() != '{') out.put(',');
  out.lit("\"time\":");
  if (r.time) {
    long t = *r.time;
    auto timeJson = [&] {
      out.lit("{\"epoch\":");
      out.putInt(t);
      out.lit(",\"local\":\"");
      appendTime(out, t, true, r.place);
      out.lit("\",\"text\":\"");
      appendTime(out, t, false, r.place);
      out.lit("\"}");
    };
    if (r.place != nullptr) {
      timeJson();
    } else {
      timesJson_.append(out, static_cast<uint64_t>(t), timeJson);
    }
  } else {
    out.lit("null");
  }
  key(out, "temperature");
  orNull(out, r.temp, [&](float v) { tempJson(out, v, temps_); });
  key(out, "dew_point");
  orNull(out, r.dewPoint, [&](float v) { tempJson(out, v, temps_); });
  appendFeelsJson(out, r);
  key(out, "pressure");
  orNull(out, r.pressure, [&](float v) { pressureJson(out, v); });
  key(out, "wind");
  if (hasWind(r)) {
    windJson(out, r);
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
