#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "stratus/foundation/result.h"
#include "stratus/reader/reader.h"

#include "foundation/clock.h"
#include "reader/page_fetcher.h"
#include "support/http_server.h"
#include "support/recording_host.h"

namespace {

using stratus_test::HttpServer;
using stratus_test::RecordingInfoLine;
using stratus_test::RecordingKeeper;
using Calls = std::vector<std::string>;

const std::string kData = STRATUS_SOURCE_DIR "/tests/reader/data";

WLocation station(const std::string& cityData) {
  WLocation location;
  location.setCityData(cityData.c_str());
  return location;
}

// A record whose every field holds a value no report gives, so that the
// fields a call leaves alone show.
WCondition marked() {
  WCondition c;
  c.setTemp(-99);
  c.setDewPoint(-99);
  c.setPressure(-99);
  c.setWindDirection(-99);
  c.setWindSpeed(-99);
  c.setWindGustSpeed(-99);
  c.setTime(LCTime(123456L, LTime::UTC));
  return c;
}

struct Values {
  float temp, dewPoint, pressure;
  int windDirection, windSpeed, windGustSpeed;
  long time;
};

Values valuesOf(WCondition c) {
  return {c.getTemp(),
          c.getDewPoint(),
          c.getPressure(),
          c.getWindDirection(),
          c.getWindSpeed(),
          c.getWindGustSpeed(),
          c.getTime().GetCalendarTime()};
}

void expectValues(const Values& got, const Values& want,
                  const std::string& name) {
  EXPECT_FLOAT_EQ(got.temp, want.temp) << name;
  EXPECT_FLOAT_EQ(got.dewPoint, want.dewPoint) << name;
  EXPECT_NEAR(got.pressure, want.pressure, 1e-4) << name;
  EXPECT_EQ(got.windDirection, want.windDirection) << name;
  EXPECT_EQ(got.windSpeed, want.windSpeed) << name;
  EXPECT_EQ(got.windGustSpeed, want.windGustSpeed) << name;
  EXPECT_EQ(got.time, want.time) << name;
}

// getCondition against a loopback server holding station pages, with the
// library's clock pinned so that report times are fixed.
class Conditions : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    for (const char* name :
         {"http_proxy", "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"}) {
      unsetenv(name);
    }
    stratus::setFetchTimeouts({5, 5});
    server_ = new HttpServer;
    server_->serveDirectory("/weather/current/", kData + "/weather/current");
    server_->serve("/weather/current/KVRB.html",
                   "<pre>\nob\nMETAR KVRB 101156Z VRB03KT 10SM CLR A3001 RMK "
                   "AO2\n</pre>\n");
    std::string junk;
    for (size_t i = 0; i < (1 << 16); ++i)
      junk += static_cast<char>((i * 7919 + i / 251) % 256);
    server_->serve("/weather/current/KJNK.html", junk);
    server_->serve("/weather/current/KEND.html",
                   "METAR KEND 101156Z 27005KT 10SM\nob\n");
    ASSERT_TRUE(server_->start());
  }
  static void TearDownTestSuite() {
    delete server_;
    stratus::setFetchTimeouts({});
  }
  void SetUp() override {
    stratus::pinClock(
        LCTime(3, 15, 2026, 12, 0, 0, LTime::UTC).GetCalendarTime());
    keeper_.set("UseProxy", "0");
    keeper_.set("ProxyLocation", "");
    keeper_.set("ConditionsBase", server_->url("/weather/current/"));
    keeper_.set("WarningsBase", server_->url("/iwin/"));
    reader_.SetKeeper(&keeper_);
    keeper_.calls.clear();
  }
  void TearDown() override { stratus::unpinClock(); }

  static HttpServer* server_;
  RecordingInfoLine info_;
  RecordingKeeper keeper_;
  WReader reader_{&info_};
};

HttpServer* Conditions::server_ = nullptr;

// The report after the "ob" line is decoded and what it supplied is copied;
// a missing gust clears the gust to -1, every other missing value stays.
TEST_F(Conditions, CopiesWhatTheReportSupplied) {
  const long kept = 123456L;
  const long at1156 =
      LCTime(3, 10, 2026, 11, 56, 0, LTime::UTC).GetCalendarTime();
  const Calls shown = {"show Getting current conditions...",
                       "show Reading data from server...", "end"};
  struct Case {
    const char* station;
    Values want;
  } cases[] = {
      // Blank and tags-only lines before the report, a later "ob" ignored.
      {"KAAA", {18.3f, 12.2f, 29.96f, 290, 12, 20, at1156}},
      {"KVRB", {-99, -99, 30.01f, 400, 3, -1, at1156}},
      // No marker, the marker on the last line, or binary junk: the empty
      // text decodes to nothing.
      {"KNOB", {-99, -99, -99, -99, -99, -1, kept}},
      {"KEND", {-99, -99, -99, -99, -99, -1, kept}},
      {"KJNK", {-99, -99, -99, -99, -99, -1, kept}},
  };
  for (const Case& c : cases) {
    info_.calls.clear();
    keeper_.calls.clear();
    WCondition condition = marked();
    EXPECT_EQ(reader_.getCondition(
                  station(std::string("acode(") + c.station + ")"), condition),
              L_OK)
        << c.station;
    expectValues(valuesOf(condition), c.want, c.station);
    EXPECT_FALSE(condition.isValid())
        << c.station << ": the validity flag is the host's";
    EXPECT_EQ(condition.getTime().getZone(),
              c.want.time == kept ? LTime::UTC : LTime::Local)
        << c.station;
    EXPECT_EQ(info_.calls, shown) << c.station;
    EXPECT_EQ(keeper_.calls, (Calls{"readString Internet ConditionsBase",
                                    "readInt Internet UseProxy",
                                    "readString Internet ProxyLocation"}))
        << c.station;
    EXPECT_EQ(server_->requests().back().path,
              std::string("/weather/current/") + c.station + ".html");
  }
}

// Failures leave the record alone: L_DB without a word or a request when the
// city has no station code, L_CONNECT with the error when the page cannot
// be had.
TEST_F(Conditions, FailuresLeaveTheRecordAlone) {
  struct Case {
    const char* name;
    std::string cityData;
    std::string base;
    int result;
    Calls shown;
    Calls settings;
  } cases[] = {
      {"no station code",
       "azone(XXZ002)",
       server_->url("/weather/current/"),
       L_DB,
       {},
       {}},
      {"malformed entry",
       "acode(KAAA",
       server_->url("/weather/current/"),
       L_DB,
       {},
       {}},
      {"page not found",
       "acode(KZZZ)",
       server_->url("/weather/current/"),
       L_CONNECT,
       {"show Getting current conditions...",
        "show Error: cannot connect to server"},
       {"readString Internet ConditionsBase", "readInt Internet UseProxy",
        "readString Internet ProxyLocation"}},
      {"server down",
       "acode(KAAA)",
       "http://127.0.0.1:" + std::to_string(stratus_test::closedPort()) + "/",
       L_CONNECT,
       {"show Getting current conditions...",
        "show Error: cannot connect to server"},
       {"readString Internet ConditionsBase", "readInt Internet UseProxy",
        "readString Internet ProxyLocation"}},
  };
  for (const Case& c : cases) {
    keeper_.set("ConditionsBase", c.base);
    info_.calls.clear();
    keeper_.calls.clear();
    size_t requests = server_->requests().size();
    WCondition condition = marked();
    EXPECT_EQ(reader_.getCondition(station(c.cityData), condition), c.result)
        << c.name;
    expectValues(valuesOf(condition), valuesOf(marked()), c.name);
    EXPECT_EQ(info_.calls, c.shown) << c.name;
    EXPECT_EQ(keeper_.calls, c.settings) << c.name;
    if (c.result == L_DB) {
      EXPECT_EQ(server_->requests().size(), requests) << c.name;
    }
  }
}

// Without a status line the same results come back.
TEST_F(Conditions, RunsWithoutAStatusLine) {
  WReader quiet;
  quiet.SetKeeper(&keeper_);
  WCondition condition = marked();
  EXPECT_EQ(quiet.getCondition(station("acode(KAAA)"), condition), L_OK);
  EXPECT_EQ(condition.getWindGustSpeed(), 20);
  EXPECT_EQ(quiet.getCondition(station("acode(KZZZ)"), condition), L_CONNECT);
  EXPECT_EQ(quiet.getCondition(station(""), condition), L_DB);
}

}  // namespace
