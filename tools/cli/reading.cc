#include "reading.h"

#include <time.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <limits>

namespace stratus_cli {

namespace {

// Values that no decoded report yields, written before getCondition.
constexpr int kUnsetInt = INT_MIN;
constexpr long kUnsetTime = 0;  // the epoch: no report is that old
constexpr int kVariable = 400;

double round1(double x) { return std::round(x * 10.0) / 10.0; }
double round2(double x) { return std::round(x * 100.0) / 100.0; }

std::string format(const char* fmt, double value) {
  char buf[64];
  std::snprintf(buf, sizeof buf, fmt, value);
  return buf;
}

std::string tempText(float celsius, const Units& units) {
  WCondition c;
  c.setTemp(celsius);
  LString out;
  c.formatTemp(out, units.temp == Units::Temp::kCelsius
                        ? WCondition::Celsius
                        : WCondition::Fahrenheit);
  return out.str();
}

nlohmann::json tempJson(float celsius, const Units& units) {
  return {{"celsius", round1(celsius)},
          {"fahrenheit", round1(C2F(celsius))},
          {"text", tempText(celsius, units)}};
}

std::string pressureText(float inhg, const Units& units) {
  std::string in = format("%.2f inHg", inhg);
  switch (units.pressure) {
    case Units::Pressure::kHPa:
      return format("%.1f hPa", INHG2HPA(inhg)) + " (" + in + ")";
    case Units::Pressure::kMmHg:
      return format("%.1f mmHg", INHG2MMHG(inhg)) + " (" + in + ")";
    case Units::Pressure::kInHg:
      break;
  }
  return in + format(" (%.1f hPa)", INHG2HPA(inhg));
}

std::string speedText(int knots, const Units& units) {
  switch (units.wind) {
    case Units::Wind::kKnots:
      return std::to_string(knots) + " kt";
    case Units::Wind::kKmh:
      return format("%.0f km/h", MPH2KMPH(knots2MPH(knots)));
    case Units::Wind::kMph:
      break;
  }
  return format("%.0f mph", knots2MPH(knots));
}

nlohmann::json speedJson(int knots) {
  float mph = knots2MPH(knots);
  return {{"kt", knots}, {"mph", round1(mph)}, {"kmh", round1(MPH2KMPH(mph))}};
}

const char* compassPoint(int degrees) {
  static const char* const kPoints[] = {"N",  "NNE", "NE", "ENE", "E",  "ESE",
                                        "SE", "SSE", "S",  "SSW", "SW", "WSW",
                                        "W",  "WNW", "NW", "NNW"};
  int d = ((degrees % 360) + 360) % 360;
  return kPoints[(d * 16 + 180) / 360 % 16];
}

bool isCalm(const Reading& r) {
  return r.windSpeed && *r.windSpeed == 0 &&
         (!r.windDirection || *r.windDirection == 0);
}

std::string windText(const Reading& r, const Units& units) {
  std::string text;
  if (isCalm(r)) return "calm";
  int dir = r.windDirection.value_or(kVariable);
  if (dir == kVariable) {
    text = "variable";
  } else {
    text = std::string("from ") + compassPoint(dir) + " (" +
           std::to_string(dir) + " deg)";
  }
  if (r.windSpeed) text += " at " + speedText(*r.windSpeed, units);
  if (r.windGust) text += ", gusts " + speedText(*r.windGust, units);
  if (r.variableFrom && r.variableTo && *r.variableFrom != kVariable) {
    text += ", varying " + std::to_string(*r.variableFrom) + " to " +
            std::to_string(*r.variableTo) + " deg";
  }
  return text;
}

template <typename T>
nlohmann::json orNull(const std::optional<T>& v) {
  return v ? nlohmann::json(*v) : nlohmann::json(nullptr);
}

}  // namespace

bool Reading::empty() const {
  return !temp && !dewPoint && !pressure && !windDirection && !windSpeed &&
         !windGust && !variableFrom && !variableTo && !time;
}

void markUnset(WCondition& condition) {
  condition.setTemp(std::numeric_limits<float>::quiet_NaN());
  condition.setDewPoint(std::numeric_limits<float>::quiet_NaN());
  condition.setPressure(std::numeric_limits<float>::quiet_NaN());
  condition.setWindDirection(kUnsetInt);
  condition.setWindSpeed(kUnsetInt);
  condition.setWindGustSpeed(-1);
  condition.setTime(LCTime(kUnsetTime, LTime::UTC));
}

Reading readingOf(WCondition& c) {
  Reading r;
  if (!std::isnan(c.getTemp())) r.temp = c.getTemp();
  if (!std::isnan(c.getDewPoint())) r.dewPoint = c.getDewPoint();
  if (!std::isnan(c.getPressure())) r.pressure = c.getPressure();
  if (c.getWindDirection() != kUnsetInt) r.windDirection = c.getWindDirection();
  if (c.getWindSpeed() != kUnsetInt) r.windSpeed = c.getWindSpeed();
  if (c.getWindGustSpeed() != -1) r.windGust = c.getWindGustSpeed();
  if (c.getTime().GetCalendarTime() != kUnsetTime)
    r.time = c.getTime().GetCalendarTime();
  return r;
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

void printReading(std::ostream& out, const Reading& r, const Units& units) {
  auto line = [&out](const char* label, const std::string& value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%-13s", label);
    out << buf << value << '\n';
  };
  if (r.time) line("Observed:", localTimeText(*r.time));
  if (r.temp) line("Temperature:", tempText(*r.temp, units));
  if (r.dewPoint) line("Dew point:", tempText(*r.dewPoint, units));
  if (r.pressure) line("Pressure:", pressureText(*r.pressure, units));
  if (r.windSpeed || r.windDirection) line("Wind:", windText(r, units));
}

nlohmann::json readingJson(const Reading& r, const Units& units) {
  nlohmann::json j;
  j["time"] = nullptr;
  if (r.time) {
    j["time"] = {{"epoch", *r.time},
                 {"local", localTimeIso(*r.time)},
                 {"text", localTimeText(*r.time)}};
  }
  j["temperature"] = r.temp ? tempJson(*r.temp, units) : nullptr;
  j["dew_point"] = r.dewPoint ? tempJson(*r.dewPoint, units) : nullptr;
  j["pressure"] = nullptr;
  if (r.pressure) {
    j["pressure"] = {{"inHg", round2(*r.pressure)},
                     {"hPa", round1(INHG2HPA(*r.pressure))},
                     {"mmHg", round1(INHG2MMHG(*r.pressure))},
                     {"text", pressureText(*r.pressure, units)}};
  }
  j["wind"] = nullptr;
  if (r.windSpeed || r.windDirection) {
    bool variable = r.windDirection && *r.windDirection == kVariable;
    nlohmann::json w;
    w["direction"] =
        variable ? nlohmann::json(nullptr) : orNull(r.windDirection);
    w["variable"] = variable;
    w["calm"] = isCalm(r);
    w["speed"] = r.windSpeed ? speedJson(*r.windSpeed) : nullptr;
    w["gust"] = r.windGust ? speedJson(*r.windGust) : nullptr;
    w["variable_from"] = nullptr;
    w["variable_to"] = nullptr;
    if (r.variableFrom && *r.variableFrom != kVariable) {
      w["variable_from"] = *r.variableFrom;
      w["variable_to"] = orNull(r.variableTo);
    }
    w["text"] = windText(r, units);
    j["wind"] = w;
  }
  return j;
}

std::string localTimeText(long calendarTime) {
  LCTime t(calendarTime, LTime::Local);
  char buf[80];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d", t.year, t.month,
                t.day, t.hour, t.minute);
  std::string text = buf;
  time_t tt = static_cast<time_t>(calendarTime);
  struct tm tm;
  if (localtime_r(&tt, &tm) != nullptr && strftime(buf, sizeof buf, " %Z", &tm))
    text += buf;
  return text;
}

std::string localTimeIso(long calendarTime) {
  LCTime t(calendarTime, LTime::Local);
  char buf[80];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", t.year,
                t.month, t.day, t.hour, t.minute, t.second);
  std::string text = buf;
  time_t tt = static_cast<time_t>(calendarTime);
  struct tm tm;
  if (localtime_r(&tt, &tm) != nullptr) {
    long off = tm.tm_gmtoff;
    char sign = off < 0 ? '-' : '+';
    off = off < 0 ? -off : off;
    std::snprintf(buf, sizeof buf, "%c%02ld:%02ld", sign, off / 3600,
                  off / 60 % 60);
    text += buf;
  }
  return text;
}

}  // namespace stratus_cli
