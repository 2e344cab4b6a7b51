// ReadingFormatter: a reading (reading.h) as text lines or as JSON
// members, appended to an OutBuffer, for one reading or a stream of many.
#ifndef STRATUS_TOOLS_CLI_READING_FORMATTER_H_
#define STRATUS_TOOLS_CLI_READING_FORMATTER_H_

#include <climits>
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
// of each date, temperature, weather group and sky layer, and the derived
// readings of each pair of inputs, so that a value seen before costs no
// zone look-up, number formatting or computing again. Its tables take
// under 1 MB, whatever the length of the stream.
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
  // offset only at such times).
  struct Zone {
    long quarter = LONG_MIN;
    long offset = 0;  // seconds east of UTC
    char name[16] = "";
  };
  // A derived reading (humidity of a temperature and dew point, wind chill
  // of a temperature and wind speed) by the two inputs' bits.
  struct Feels {
    uint64_t key = 0;
    bool used = false;
    bool defined = false;
    double value = 0;
  };
  // Table sizes (2^bits): 42 days of quarter hours; pairs of inputs
  // (75,000 real reports hold about 14,000 pairs of temperature and dew
  // point in tenths of a degree, 7,000 of temperature and wind speed).
  static constexpr unsigned kZoneBits = 12;
  static constexpr unsigned kHumidityBits = 15;
  static constexpr unsigned kChillBits = 14;

  // "2026-03-12 09:54 EDT", or with `iso` "2026-03-12T09:54:00-04:00":
  // the time on the clock of `place`, or of the machine's local zone.
  void appendTime(OutBuffer& out, long calendarTime, bool iso,
                  const WPlace* place);
  // The machine's local zone during the quarter hour of `t`.
  const Zone& localZone(long t);
  // "2026-03-12": the date of day `day` (days since 1970-01-01).
  void appendDate(OutBuffer& out, long day);
  void appendTemp(OutBuffer& out, float celsius);
  void tempJson(OutBuffer& out, float celsius);
  void appendWeather(OutBuffer& out, const WReport::Weather& g);
  void appendLayer(OutBuffer& out, const WReport::Layer& l);
  void reportJson(OutBuffer& out, const WReport& w);
  // Relative humidity, wind chill and heat index, as text lines or JSON
  // members.
  void appendFeelsText(OutBuffer& out, const Reading& reading);
  void appendFeelsJson(OutBuffer& out, const Reading& reading);
  // The humidity and wind chill of `r`, from the tables.
  bool humidity(const Reading& r, double& out);
  bool chill(const Reading& r, double& out);

  Units units_;
  std::unique_ptr<Zone[]> zones_;
  std::unique_ptr<Feels[]> humidities_;
  std::unique_ptr<Feels[]> chills_;
  TextCache<10, 22> dates_;
  TextCache<14, 22> temps_;   // by the bits of the float
  TextCache<9, 86> weather_;  // by the group's fields
  TextCache<10, 54> layers_;  // by the layer's fields
};

}  // namespace stratus_cli

#endif  // STRATUS_TOOLS_CLI_READING_FORMATTER_H_
