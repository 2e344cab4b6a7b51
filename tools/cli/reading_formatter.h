// ReadingFormatter: a reading (reading.h) as text lines or as JSON
// members, appended to an OutBuffer, for one reading or a stream of many.
#ifndef STRATUS_TOOLS_CLI_READING_FORMATTER_H_
#define STRATUS_TOOLS_CLI_READING_FORMATTER_H_

#include <cstdint>
#include <memory>

#include "stratus/observation/report.h"
#include "stratus/stratus.h"

#include "out_buffer.h"
#include "reading.h"
#include "text_cache.h"

namespace stratus_cli {

// Formats readings in the units given. Remembers, for the stream of
// reports it formats, the local zone of each quarter hour it met, the text
// of each moment, date, temperature, pressure, wind speed, weather group
// and sky layer, and of the wind chill of each temperature and wind speed, so
// that a value seen before costs no zone look-up, number formatting or
// computing again. Its tables take at most 5.5 MB (text alone uses under
// 2 MB of them), whatever the length of the stream; a table is allocated
// when first used, and memory only for the slots used.
//
// Not thread-safe.
class ReadingFormatter {
 public:
  explicit ReadingFormatter(const Units& units);

  // Appends "Label:       value" lines for the values present.
  void appendText(OutBuffer& out, const Reading& reading);
  // Appends the values as one compact JSON object's members (no braces):
  // each quantity in every unit, plus "text" as shown; null for a value not
  // present. The fields of the complete reading (visibility, weather, sky,
  // ceiling_ft, flight_category) are null or empty when it was not used.
  void appendJsonMembers(OutBuffer& out, const Reading& reading);

 private:
  // The local zone during one quarter hour of UTC (zones change their
  // offset only at such times); all zero: not known.
  struct Zone {
    long quarter;
    long offset;  // seconds east of UTC
    char name[16];
    bool known;
  };
  // 2^10 quarter hours: 10 days.
  static constexpr unsigned kZoneBits = 10;

  // "2026-03-12 09:54 EDT", or with `iso` "2026-03-12T09:54:00-04:00":
  // the time on the clock of `place`, or of the machine's local zone.
  void appendTime(OutBuffer& out, long calendarTime, bool iso,
                  const WPlace* place);
  // The machine's local zone during the quarter hour of `t`.
  const Zone& localZone(long t);
  // "2026-03-12": the date of day `day` (days since 1970-01-01).
  void appendDate(OutBuffer& out, long day);
  // A temperature's text as formatTemp shows it, and its JSON object, by
  // the float's bits: one table of each for reported temperatures and one
  // for derived ones (wind chill, heat index).
  struct TempTables {
    TextCache<13, 22> texts;
    TextCache<13, 62> json;
  };
  void appendTemp(OutBuffer& out, float celsius, TempTables& tables);
  void tempJson(OutBuffer& out, float celsius, TempTables& tables);
  // Pressure, wind speed and the whole wind, in words (value_words.h for
  // the first two) and as JSON.
  void appendPressure(OutBuffer& out, float inhg);
  void pressureJson(OutBuffer& out, float inhg);
  void appendSpeed(OutBuffer& out, int knots);
  void speedJson(OutBuffer& out, int knots);
  void appendWind(OutBuffer& out, const Reading& r);
  void windJson(OutBuffer& out, const Reading& r);
  // The fields of a weather group that weatherWords reads, and those of a
  // sky layer, packed into `key`; false when one is outside what the
  // packing holds.
  static bool weatherKey(const WReport::Weather& g, uint64_t& key);
  static bool layerKey(const WReport::Layer& l, uint64_t& key);
  void appendWeather(OutBuffer& out, const WReport::Weather& g);
  void appendLayer(OutBuffer& out, const WReport::Layer& l);
  void layerJson(OutBuffer& out, const WReport::Layer& l);
  void reportJson(OutBuffer& out, const WReport& w);
  // Relative humidity, wind chill and heat index, as text lines or JSON
  // members.
  void appendFeelsText(OutBuffer& out, const Reading& reading);
  void appendFeelsJson(OutBuffer& out, const Reading& reading);
  // The relative humidity of `r`; false when not defined.
  bool humidity(const Reading& r, double& out);
  // The key of the temperature and wind speed of `r` in the tables of wind
  // chills; false when `r` has not both.
  static bool chillKey(const Reading& r, uint64_t& key);
  // The wind chill of `r`; false when not defined.
  // REQUIRES: chillKey(r) is true.
  bool chill(const Reading& r, double& out);

  Units units_;
  std::unique_ptr<ZeroedArray<Zone>> zones_;  // made on the first look-up
  // The wind chill line (empty when not defined) and JSON value, by
  // temperature and wind speed (75,000 real reports hold 7,000 such
  // pairs). Relative humidity is computed each time: its 14,000 pairs of
  // temperature and dew point make a table slower than the formula.
  TextCache<14, 22> chillLines_;
  TextCache<14, 62> chillsJson_;
  TextCache<10, 22> dates_;  // by the day
  // A moment as shown on the machine's clock, as text and as JSON.
  TextCache<13, 30> times_;
  TextCache<13, 94> timesJson_;
  TempTables temps_;         // reported
  TempTables feelsTemps_;    // wind chills and heat indexes
  TextCache<8, 22> speeds_;  // by knots
  TextCache<8, 46> speedsJson_;
  TextCache<10, 38> pressures_;  // by the float's bits
  TextCache<10, 94> pressuresJson_;
  TextCache<9, 86> weather_;  // by the group's fields
  TextCache<12, 54> layers_;  // by the layer's fields
  TextCache<12, 118> layersJson_;
};

}  // namespace stratus_cli

#endif  // STRATUS_TOOLS_CLI_READING_FORMATTER_H_
