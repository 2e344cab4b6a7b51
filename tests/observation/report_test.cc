// decodeReport group by group: each table gives reports and what a reader
// of the coding takes from them, worked out by hand.
#include "stratus/observation/report.h"

#include <time.h>

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "support/pinned_clock.h"

namespace {

using stratus_test::utc;

// Values with a fixed number of decimals, so that the tables read as the
// figures a person would write.
std::string fixed(double v, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}

WReport decode(const std::string& text) {
  WReport r;
  EXPECT_EQ(decodeReport(LString(text.c_str()), r), 0);
  return r;
}

struct Case {
  const char* report;
  const char* expected;
};

template <size_t N, typename Show>
void expectAll(const Case (&cases)[N], Show show) {
  for (const Case& c : cases) {
    EXPECT_EQ(show(decode(c.report)), c.expected) << c.report;
  }
}

// Type word, station, modifiers; NIL ends the report.
TEST(ReportGroups, Kind) {
  const Case cases[] = {
      {"METAR KSFO 121756Z 29012KT", "METAR KSFO - - -"},
      {"SPECI KSFO 121756Z AUTO 29012KT", "SPECI KSFO - auto -"},
      {"METAR COR KSFO 121756Z 29012KT", "METAR KSFO cor - -"},
      {"LFPG 121756Z CCA 29012KT", "none LFPG cor - -"},
      {"NCPK 231000Z AUTO NIL", "none NCPK - auto nil"},
      {"121756Z 29012KT", "none  - - -"},
      {"", "none  - - -"},
  };
  expectAll(cases, [](const WReport& r) {
    static const char* const kTypes[] = {"none", "METAR", "SPECI"};
    return std::string(kTypes[r.type]) + " " + r.station +
           (r.corrected ? " cor" : " -") + (r.automatic ? " auto" : " -") +
           (r.nil ? " nil" : " -");
  });
}

// Direction, speed and gust in knots (converted from m/s and km/h), the
// coded values and unit, and the variable sector.
TEST(ReportGroups, Wind) {
  const Case cases[] = {
      {"K 121756Z 29012G20KT 240V300", "290 12.0 20.0 | 12 20 0 | 240-300"},
      {"K 121756Z VRB03KT", "400 3.0 - | 3 0 0 | -"},
      {"K 121756Z 00000KT", "0 0.0 - | 0 0 0 | -"},
      {"K 121756Z 270110G150KT", "270 110.0 150.0 | 110 150 0 | -"},
      {"K 121756Z 23005MPS", "230 9.7 - | 5 0 1 | -"},
      {"K 121756Z VRB01MPS", "400 1.9 - | 1 0 1 | -"},
      {"K 121756Z 36020G35KMH", "360 10.8 18.9 | 20 35 2 | -"},
      {"K 121756Z 07510KTS", "75 10.0 - | 10 0 0 | -"},
      {"K 121756Z ///15KT", "missing 15.0 - | 15 0 0 | -"},
      // Missing and malformed groups are skipped; the next wind counts.
      {"K 121756Z /////KT 27010KT", "270 10.0 - | 10 0 0 | -"},
      {"K 121756Z 2701KT 27010K 27010", "-"},
      {"K 121756Z 27010G1KT", "-"},
      // A sector without a wind before it is not read as one.
      {"K 121756Z 240V300", "-"},
      // A direction is 000-360 (360 is north, 000 only calm): a group coding
      // more is no wind, and a later legal group is the wind.
      {"KEWR 101651Z 36010KT 10SM", "360 10.0 - | 10 0 0 | -"},
      {"KEWR 101651Z 90010KT 10SM FEW250 18/12 A2992", "-"},
      {"KEWR 101651Z 37010KT 10SM", "-"},
      {"KEWR 101651Z 99999KT 10SM", "-"},
      {"LFPG 101650Z 37005MPS 27006MPS 9999", "270 11.7 - | 6 0 1 | -"},
      // So is each end of the sector; a sector may cross north.
      {"EGLL 101650Z 27010KT 350V010 9999", "270 10.0 - | 10 0 0 | 350-10"},
      {"EGLL 101650Z 27010KT 240V370 9999", "270 10.0 - | 10 0 0 | -"},
      {"EGLL 101650Z 27010KT 400V050 9999", "270 10.0 - | 10 0 0 | -"},
  };
  expectAll(cases, [](const WReport& r) -> std::string {
    if (!r.hasWind) return "-";
    return (r.windDirectionMissing ? std::string("missing")
                                   : std::to_string(r.windDirection)) +
           " " + fixed(r.windSpeed, 1) + " " +
           (r.hasWindGust ? fixed(r.windGustSpeed, 1) : "-") + " | " +
           std::to_string(r.windSpeedCoded) + " " +
           std::to_string(r.windGustCoded) + " " + std::to_string(r.windUnit) +
           " | " +
           (r.hasWindVariable ? std::to_string(r.windVariableFrom) + "-" +
                                    std::to_string(r.windVariableTo)
                              : "-");
  });
}

// Prevailing visibility in miles and metres (1 SM = 1609.344 m), the bound,
// and whether it was coded in metres.
TEST(ReportGroups, Visibility) {
  const Case cases[] = {
      {"K 121756Z 10SM", "10.000 16093 0 SM"},
      {"K 121756Z 1/2SM", "0.500 805 0 SM"},
      {"K 121756Z 1 1/2SM", "1.500 2414 0 SM"},
      {"K 121756Z 2 1/4SM BR", "2.250 3621 0 SM"},
      {"K 121756Z M1/4SM", "0.250 402 -1 SM"},
      {"K 121756Z 1/16SM", "0.062 101 0 SM"},
      {"K 121756Z P6SM", "6.000 9656 1 SM"},
      {"K 121756Z 9999", "6.214 10000 1 m"},
      {"K 121756Z 0800", "0.497 800 0 m"},
      {"K 121756Z 0000", "0.000 0 -1 m"},
      {"K 121756Z 3200NDV", "1.988 3200 0 m"},
      {"K 121756Z 25KM", "15.534 25000 0 m"},
      {"K 121756Z CAVOK", "6.214 10000 1 m cavok"},
      // Missing, then a directional minimum that is not the prevailing one.
      {"K 121756Z //// 1500SW", "-"},
      {"K 121756Z 1/0SM 12SMX", "-"},
      // The first prevailing visibility counts; the second is passed over.
      {"K 121756Z 4000 2000", "2.485 4000 0 m"},
      // A fraction of a mile is proper; "21/2SM" is 2 1/2 with the blank
      // lost (no coded fraction has a numerator of 21); other improper or
      // empty fractions are no distance.
      {"KMER 141450Z 00000KT 21/2SM BR SKC 10/M A2999", "2.500 4023 0 SM"},
      {"KMER 141450Z 00000KT 13/4SM BR", "1.750 2816 0 SM"},
      {"KMER 141450Z 00000KT 5/4SM BR", "-"},
      {"KMER 141450Z 00000KT 0/2SM BR", "-"},
      {"KMER 141450Z 00000KT 1 3/2SM BR", "-"},
  };
  expectAll(cases, [](const WReport& r) -> std::string {
    if (!r.hasVisibility) return "-";
    return fixed(r.visibilityMiles, 3) + " " + fixed(r.visibilityMeters, 0) +
           " " + std::to_string(r.visibilityBound) +
           (r.visibilityInMeters ? " m" : " SM") + (r.cavok ? " cavok" : "");
  });
}

// Runway visual ranges, up to four; runway state groups are not ranges.
TEST(ReportGroups, RunwayVisualRange) {
  const Case cases[] = {
      {"K 121756Z R28L/2600FT", "28L 2600 2600 0 0 ft -"},
      {"K 121756Z R06/0800V1200U", "06 800 1200 0 0 m U"},
      {"K 121756Z R24/P2000N R10C/M0050",
       "24 2000 2000 1 1 m N, "
       "10C 50 50 -1 -1 m -"},
      {"K 121756Z R19R/P6000FT", "19R 6000 6000 1 1 ft -"},
      {"K 121756Z R10/1200VP6000FT/D", "10 1200 6000 0 1 ft D"},
      {"K 121756Z R88/290195 R14R/CLRD60 RA", ""},
      // A runway's number is its heading in tens of degrees, 01-36.
      {"EDDF 101650Z 27010KT 0600 R36/0550N R00/0600 R37/0600 FG",
       "36 550 550 0 0 m N"},
  };
  expectAll(cases, [](const WReport& r) {
    std::string s;
    for (int i = 0; i < r.runwayCount; ++i) {
      const WReport::Runway& w = r.runways[i];
      s += (i ? ", " : "") + std::string(w.runway) + " " +
           std::to_string(w.low) + " " + std::to_string(w.high) + " " +
           std::to_string(w.lowBound) + " " + std::to_string(w.highBound) +
           (w.feet ? " ft " : " m ") +
           (w.trend ? std::string(1, w.trend) : "-");
    }
    return s;
  });
}

// Intensity, descriptor and phenomena of each weather group, as coded.
TEST(ReportGroups, PresentWeather) {
  const Case cases[] = {
      {"K 121756Z -SHRA BR", "-SHRA 1 6 RA, BR 0 0 BR"},
      {"K 121756Z +TSRAGR VCFG", "+TSRAGR 2 7 RA GR, VCFG 3 0 FG"},
      {"K 121756Z TS VCSH FZFG", "TS 0 7, VCSH 3 6, FZFG 0 8 FG"},
      {"K 121756Z -RASN +FC BLSN", "-RASN 1 0 RA SN, +FC 2 0 FC, BLSN 0 5 SN"},
      // Recent weather, missing weather, a lone sign and words are not
      // weather; a fourth group is read but not kept.
      {"K 121756Z RERA // - NOSIGX RAX", ""},
      {"K 121756Z RA SN DZ UP", "RA 0 0 RA, SN 0 0 SN, DZ 0 0 DZ"},
  };
  expectAll(cases, [](const WReport& r) {
    std::string s;
    for (int i = 0; i < r.weatherCount; ++i) {
      const WReport::Weather& w = r.weather[i];
      s += (i ? ", " : "") + std::string(w.text) + " " +
           std::to_string(w.intensity) + " " + std::to_string(w.descriptor);
      for (int k = 0; k < w.phenomenonCount; ++k)
        s += std::string(" ") + reportCode(w.phenomena[k]);
    }
    return s;
  });
}

// Layers in feet with their cloud type; the ceiling is the lowest broken,
// overcast or vertical-visibility base.
TEST(ReportGroups, SkyAndCeiling) {
  const Case cases[] = {
      {"K 121756Z FEW008 SCT025TCU BKN030CB OVC050",
       "FEW 800, SCT 2500 TCU, BKN 3000 CB, OVC 5000 | 3000"},
      {"K 121756Z VV002", "VV 200 | 200"},
      {"K 121756Z CLR", "CLR - | -"},
      {"K 121756Z NSC", "NSC - | -"},
      {"K 121756Z NCD", "NCD - | -"},
      {"K 121756Z OVC/// BKN012///", "OVC -, BKN 1200 | 1200"},
      {"K 121756Z FEW030SC BKN060AC", "FEW 3000, BKN 6000 | 6000"},
      {"K 121756Z BKN012 FEW008", "BKN 1200, FEW 800 | 1200"},
      {"K 121756Z //////CB BKN BKN01 OVC010CBX VV002CB", " | -"},
  };
  expectAll(cases, [](const WReport& r) {
    std::string s;
    for (int i = 0; i < r.layerCount; ++i) {
      const WReport::Layer& l = r.layers[i];
      s += (i ? ", " : "") + std::string(reportCode(l.cover)) + " " +
           (l.heightMissing ? "-" : std::to_string(l.height)) +
           (l.cloudType == WReport::CUMULONIMBUS       ? " CB"
            : l.cloudType == WReport::TOWERING_CUMULUS ? " TCU"
                                                       : "");
    }
    return s + " | " + (r.hasCeiling ? std::to_string(r.ceiling) : "-");
  });
}

// Whole degrees from the body, tenths from the remarks; missing halves.
TEST(ReportGroups, TemperatureAndDewPoint) {
  const Case cases[] = {
      {"K 121756Z 18/12", "18.0 12.0"},
      {"K 121756Z M05/M12", "-5.0 -12.0"},
      {"K 121756Z 00/M00", "0.0 -0.0"},
      {"K 121756Z 33/", "33.0 -"},
      {"K 121756Z 33/// 2", "33.0 -"},
      {"K 121756Z M/M 12/10", "12.0 10.0"},
      {"K 121756Z 18/12 RMK AO2 T01830122", "18.3 12.2"},
      {"K 121756Z M05/M12 RMK T10561083", "-5.6 -8.3"},
      {"K 121756Z 08/07 RMK T0036////", "3.6 7.0"},
      {"K 121756Z RMK T10561083", "-5.6 -8.3"},
      {"K 121756Z 1/2 123/45 12/10/08 /12", "- -"},
      {"K 121756Z 18/12 RMK TSNO T01830122", "18.3 12.2"},
      // The ends of the coding's range, whole degrees and tenths.
      {"K 121756Z M99/M99 RMK T19991999", "-99.9 -99.9"},
      {"K 121756Z 99/99", "99.0 99.0"},
      // A dew point above the temperature is kept as coded.
      {"K54A 231035Z AUTO 04004KT 10SM CLR 17/18 A3006 RMK AO2", "17.0 18.0"},
      {"KALN 171145Z AUTO 35005KT 00/00 A2990 RMK AO2 T00000001", "0.0 0.1"},
  };
  expectAll(cases, [](const WReport& r) {
    return (r.hasTemp ? fixed(r.temp, 1) : "-") + " " +
           (r.hasDewPoint ? fixed(r.dewPoint, 1) : "-");
  });
}

// A in inHg, Q in hPa, both kept; pressure prefers A; SLP from remarks.
TEST(ReportGroups, Pressure) {
  const Case cases[] = {
      {"K 121756Z A2992", "29.92 - 29.92 -"},
      {"K 121756Z Q1013", "- 1013 29.91 -"},
      {"K 121756Z Q1013 A2992", "29.92 1013 29.92 -"},
      {"K 121756Z A//// Q0997", "- 997 29.44 -"},
      {"K 121756Z A2992 RMK SLP132", "29.92 - 29.92 1013.2"},
      {"K 121756Z A2992 RMK SLP982", "29.92 - 29.92 998.2"},
      {"K 121756Z A29921 Q101 RMK SLPNO", "- - - -"},
  };
  expectAll(cases, [](const WReport& r) {
    return (r.hasAltimeterInHg ? fixed(r.altimeterInHg, 2) : "-") + " " +
           (r.hasAltimeterHpa ? fixed(r.altimeterHpa, 0) : "-") + " " +
           (r.hasPressure ? fixed(r.pressure, 2) : "-") + " " +
           (r.hasSeaLevelPressure ? fixed(r.seaLevelPressure, 1) : "-");
  });
}

// The body ends at the remarks and at a trend; "=" ends the report; the
// last group counts; unknown groups do not block the ones behind them.
TEST(ReportGroups, BodyBounds) {
  const Case cases[] = {
      {"EFHK 262120Z 19023KT 4500 RA BKN005 12/11 Q0997 TEMPO 20020G30KT 0800",
       "19023 4500 RA 1 12 29.44"},
      {"UEEE 310800Z 23003MPS 9999 M20/M23 Q1033 NOSIG RMK T12051234",
       "23003 10000 - 0 -20.5 30.50"},
      {"KXYZ 121753Z 27010KT 9999 FEW010 12/10 A2992",
       "27010 10000 - 1 12 29.92"},
      {"KXYZ 121753Z 27010KT 3200NDV UP 123XYZ -RA 12/10 A2992 RMK",
       "27010 3200 UP 0 12 29.92"},
      {"OMRJ 291700Z 04003KT CAVOK 22/19 Q1014=9 METAR OOMS 06009KT A2992",
       "04003 10000 - 0 22 29.94"},
      {"KXYZ 121753Z RMK 27010KT 9999 12/10 A2992", "- - - 0 - -"},
  };
  expectAll(cases, [](const WReport& r) {
    char wind[16] = "-";
    if (r.hasWind)
      std::snprintf(wind, sizeof wind, "%03d%02d", r.windDirection,
                    r.windSpeedCoded);
    return std::string(wind) + " " +
           (r.hasVisibility ? fixed(r.visibilityMeters, 0) : "-") + " " +
           (r.weatherCount ? r.weather[0].text : "-") + " " +
           std::to_string(r.layerCount) + " " +
           (r.hasTemp
                ? fixed(r.temp, r.temp == static_cast<int>(r.temp) ? 0 : 1)
                : "-") +
           " " + (r.hasPressure ? fixed(r.pressure, 2) : "-");
  });
}

// The worse of the ceiling's and the visibility's category.
TEST(ReportGroups, FlightCategory) {
  const Case cases[] = {
      {"K 121756Z 10SM FEW250", "VFR"},
      {"K 121756Z 10SM BKN030", "MVFR"},
      {"K 121756Z 5SM CLR", "MVFR"},
      {"K 121756Z P6SM OVC031", "VFR"},
      {"K 121756Z 2SM OVC050", "IFR"},
      {"K 121756Z 10SM OVC009", "IFR"},
      {"K 121756Z 1/2SM FZFG OVC002", "LIFR"},
      {"K 121756Z 9999 BKN004", "LIFR"},
      {"K 121756Z CAVOK", "VFR"},
      {"K 121756Z 10SM", ""},       // sky not reported
      {"K 121756Z VV001", "LIFR"},  // no visibility, but a ceiling this low
      {"K 121756Z FEW010", ""},
  };
  expectAll(cases, [](const WReport& r) {
    return std::string(reportCode(r.flightCategory));
  });
}

// "decoded": at least one group of the observation was read with a value;
// the head, NIL, the station type and missing or impossible groups are not
// an observation.
TEST(ReportGroups, DecodedMeansAnObservationWasRead) {
  const Case cases[] = {
      {"KEWR", "- KEWR"},
      {"METAR KEWR", "- KEWR"},
      {"SPECI", "- "},
      {"METAR COR KEWR", "- KEWR"},
      {"KEWR AUTO", "- KEWR"},
      {"METAR KEWR 101651Z NIL", "- KEWR"},
      {"METAR KEWR NIL", "- KEWR"},
      {"KEWR /////KT //// M/M A//// RMK AO2", "- KEWR"},
      {"KEWR 90010KT 322350Z 400V050 R00/0600", "- KEWR"},
      {"KEWR 101651Z", "decoded KEWR"},
      {"KEWR R04/1200FT", "decoded KEWR"},
      {"KEWR VCSH", "decoded KEWR"},
      {"KEWR CLR", "decoded KEWR"},
      {"KEWR M/M12", "decoded KEWR"},
      {"KEWR RMK SLP132", "decoded KEWR"},
  };
  expectAll(cases, [](const WReport& r) {
    return std::string(r.decoded ? "decoded " : "- ") + r.station;
  });
}

// The report day is placed in the latest month that has it, up to a day
// ahead of the clock (UTC, whatever the host's zone). Day 01-31, hour
// 00-23, minute 00-59: a group out of range is no time. "2400" is the
// midnight that ends the day: 0000 of the next one.
TEST(ReportGroups, ReportTimeIsARealDate) {
  const long dec2 = utc(2026, 12, 2, 10, 0);
  const struct {
    const char* tz;
    long now;
    const char* group;
    long expected;
  } cases[] = {
      {"UTC", dec2, "020953Z", utc(2026, 12, 2, 9, 53)},
      {"UTC", dec2, "031000Z", utc(2026, 12, 3, 10, 0)},  // a day ahead
      {"UTC", dec2, "302350Z", utc(2026, 11, 30, 23, 50)},
      {"UTC", dec2, "312350Z", utc(2026, 10, 31, 23, 50)},
      {"UTC", utc(2026, 3, 1, 6, 0), "292350Z", utc(2026, 1, 29, 23, 50)},
      {"UTC", utc(2024, 3, 1, 6, 0), "292350Z", utc(2024, 2, 29, 23, 50)},
      {"UTC", utc(2026, 1, 1, 1, 0), "312350Z", utc(2025, 12, 31, 23, 50)},
      // The host's zone does not move the day.
      {"XST10", utc(2026, 3, 1, 6, 0), "010000Z", utc(2026, 3, 1, 0, 0)},
      {"XST-14", utc(2026, 3, 1, 6, 0), "010000Z", utc(2026, 3, 1, 0, 0)},
      {"UTC", dec2, "022359Z", utc(2026, 12, 2, 23, 59)},
      {"UTC", dec2, "142400Z", utc(2026, 11, 15, 0, 0)},
      {"UTC", dec2, "302400Z", utc(2026, 12, 1, 0, 0)},
      {"UTC", dec2, "312400Z", utc(2026, 11, 1, 0, 0)},
      // Out of range: no time at all.
      {"UTC", dec2, "232700Z", -1},
      {"UTC", dec2, "000000Z", -1},
      {"UTC", dec2, "322350Z", -1},
      {"UTC", dec2, "101660Z", -1},
      {"UTC", dec2, "102401Z", -1},
  };
  for (const auto& c : cases) {
    stratus_test::PinnedClock clock(c.tz, c.now);
    const WReport r = decode(std::string("KXYZ ") + c.group + " 27010KT");
    EXPECT_EQ(r.hasTime ? r.time : -1, c.expected) << c.group << " " << c.tz;
    EXPECT_EQ(r.hasTimeGroup, r.hasTime) << c.group;
    if (!r.hasTime) continue;
    // The fields are the moment's day, hour and minute in UTC.
    const time_t t = static_cast<time_t>(r.time);
    struct tm tm;
    gmtime_r(&t, &tm);
    EXPECT_EQ(std::to_string(r.day) + " " + std::to_string(r.hour) + " " +
                  std::to_string(r.minute),
              std::to_string(tm.tm_mday) + " " + std::to_string(tm.tm_hour) +
                  " " + std::to_string(tm.tm_min))
        << c.group;
  }
}

}  // namespace
