#include "stratus/reader/reader.h"

#include <stdlib.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "stratus/foundation/result.h"

#include "foundation/clock.h"
#include "reader/page_fetcher.h"
#include "support/http_server.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace {

using stratus_test::HttpServer;
using Calls = std::vector<std::string>;
using Getter = int (WReader::*)(const WLocation&, LString&);

WLocation place(const std::string& cityData, const std::string& state = "XX") {
  WLocation location;
  location.setCityData(cityData.c_str());
  location.setShortState(state.c_str());
  return location;
}

std::string crlf(std::string s) {
  for (size_t at = 0; (at = s.find('\n', at)) != std::string::npos; at += 2)
    s.insert(at, "\r");
  return s;
}

// Bytes of every value, NUL and line ends included, in a fixed order.
std::string junk() {
  std::string s;
  for (size_t i = 0; i < (1 << 16); ++i)
    s += static_cast<char>((i * 7919 + i / 251) % 256);
  return s;
}

const Calls kPageSettings = {"readInt Internet UseProxy",
                             "readString Internet ProxyLocation"};
const Calls kFailed = {"show Error: cannot connect to server"};
const Calls kRead = {"show Reading data from server...", "end"};

Calls operator+(Calls a, const Calls& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The reader against a loopback server holding the test pages of
// tests/reader/data (and the shared corpus pages when present), with a
// recording status line and keeper, and the library's clock pinned.
class Reader : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    for (const char* name : {"http_proxy", "all_proxy", "no_proxy"})
      unsetenv(name);
    stratus::setFetchTimeouts({5, 5});
    server_ = new HttpServer;
    server_->serveDirectory("/", STRATUS_SOURCE_DIR "/tests/reader/data");
    server_->serveDirectory("/mirror/",
                            STRATUS_SOURCE_DIR "/tests/reader/data/iwin");
    if (!stratus_test::sharedDir().empty()) {
      server_->serveDirectory("/corpus/",
                              stratus_test::sharedDir() + "/corpus/pages");
    }
    server_->serve("/iwin/JJ/zone.html", junk());
    server_->serve("/weather/current/KJNK.html", junk());
    server_->serve("/weather/current/KVRB.html",
                   "<pre>\nob\nMETAR KVRB 101156Z VRB03KT 10SM CLR A3001 RMK "
                   "AO2\n</pre>\n");
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
    forget();
  }
  void TearDown() override { stratus::unpinClock(); }
  void forget() {
    info_.calls.clear();
    keeper_.calls.clear();
  }

  static HttpServer* server_;
  stratus_test::RecordingInfoLine info_;
  stratus_test::RecordingKeeper keeper_;
  WReader reader_{&info_};
};

HttpServer* Reader::server_ = nullptr;

// SetKeeper stores the four defaults in order where the keeper lacks them
// and never overwrites what the host set.
TEST(ReaderSettings, SetKeeperSeedsMissingDefaultsOnly) {
  stratus_test::RecordingKeeper keeper;
  keeper.set("WarningsBase", "http://example.invalid/products/");
  WReader reader;
  reader.SetKeeper(&keeper);
  reader.SetKeeper(&keeper);
  EXPECT_EQ(
      keeper.calls,
      (Calls{"isPresent Internet UseProxy", "storeInt Internet UseProxy 0",
             "isPresent Internet ProxyLocation",
             "storeString Internet ProxyLocation ",
             "isPresent Internet ConditionsBase",
             "storeString Internet ConditionsBase "
             "http://127.0.0.1:8086/weather/current/",
             "isPresent Internet WarningsBase", "isPresent Internet UseProxy",
             "isPresent Internet ProxyLocation",
             "isPresent Internet ConditionsBase",
             "isPresent Internet WarningsBase"}));
  EXPECT_EQ(keeper.flags, std::vector<int>(keeper.calls.size(), 0));
  EXPECT_EQ(keeper.get("WarningsBase"), "http://example.invalid/products/");
}

// Each getter fetches its own page under "WarningsBase" + state, cuts it by
// zone or city, shows its label, and hands back "\r\n" line ends.
TEST_F(Reader, EveryGetterReturnsItsSectionOfItsPage) {
  struct Case {
    Getter getter;
    const char* page;
    std::string label, text;
  } cases[] = {
      {&WReader::getForecast, "zone", "forecast",
       "ZONE TWO AND NEIGHBOURS-\n TODAY ...SUNNY.\n TONIGHT...CLEAR.\n"},
      {&WReader::getWarnings, "allwarnings", "warnings",
       "WINTER STORM WARNING.\n SNOW 6 TO 10 INCHES.\n DENSE FOG ADVISORY.\n"},
      {&WReader::getWatches, "watches", "watches",
       "SEVERE THUNDERSTORM WATCH 100.\n \n"},
      {&WReader::getStatements, "special", "special statements",
       "SPECIAL WEATHER STATEMENT.\n STRONG THUNDERSTORM NEAR TOWN.\n"},
      {&WReader::getDiscussion, "discussion", "weather discussion",
       "AREA FORECAST DISCUSSION.\n $$\n FORECASTER\n \n \n"},
      {&WReader::getSummary, "summary", "weather summary",
       "WEATHER SUMMARY FOR THE CITY.\n \n"},
      {&WReader::getPublic, "public", "public messages",
       "PUBLIC INFORMATION STATEMENT.\n \n \n"},
  };
  for (const Case& c : cases) {
    forget();
    std::string path = std::string("/iwin/XX/") + c.page + ".html";
    int hits = server_->hits(path);
    LString text("old");
    EXPECT_EQ((reader_.*c.getter)(place("azone(XXZ002)acode(CCC)"), text), L_OK)
        << c.label;
    EXPECT_EQ(text.str(), crlf(c.text)) << c.label;
    EXPECT_EQ(server_->hits(path), hits + 1) << c.label;
    EXPECT_EQ(info_.calls, Calls{"show Getting " + c.label + "..."} + kRead)
        << c.label;
    EXPECT_EQ(keeper_.calls,
              Calls{"readString Internet WarningsBase"} + kPageSettings);
  }
}

// A location that lacks the key of a product kind gets L_NOTFOUND for that
// kind, silently and without a request, while the other kind still works.
TEST_F(Reader, MissingZoneOrCodeGivesNotFoundForThatKindOnly) {
  const std::vector<Getter> zone = {&WReader::getForecast,
                                    &WReader::getWarnings, &WReader::getWatches,
                                    &WReader::getStatements};
  const std::vector<Getter> city = {&WReader::getDiscussion,
                                    &WReader::getSummary, &WReader::getPublic};
  for (const char* data : {"acode(CCC)", "azone(XXZ002)"}) {
    bool hasZone = std::string(data).find("azone") == 0;
    for (Getter g : hasZone ? city : zone) {
      forget();
      size_t requests = server_->requests().size();
      LString text("old");
      EXPECT_EQ((reader_.*g)(place(data), text), L_NOTFOUND) << data;
      EXPECT_EQ(text, "old") << data;
      EXPECT_EQ(info_.calls, Calls{}) << data;
      EXPECT_EQ(keeper_.calls, Calls{"readString Internet WarningsBase"})
          << data;
      EXPECT_EQ(server_->requests().size(), requests) << data;
    }
    for (Getter g : hasZone ? zone : city) {
      LString text;
      EXPECT_EQ((reader_.*g)(place(data), text), L_OK) << data;
    }
  }
}

// Pages that cannot be had give L_CONNECT with the error shown and the text
// untouched; a page without the location gives L_INPUT and an empty text; a
// changed base or proxy setting is used at once; without a status line the
// results are the same.
TEST_F(Reader, ReportsPagesThatCannotBeHadOrHoldNothing) {
  const std::string base = server_->url("/iwin/");
  const Calls getting = {"show Getting forecast..."};
  const std::string forecast =
      crlf("ZONE TWO AND NEIGHBOURS-\n TODAY ...SUNNY.\n TONIGHT...CLEAR.\n");
  struct Case {
    const char* name;
    std::string base, cityData, state, proxy;
    int result;
    std::string text;
    Calls calls;
  } cases[] = {
      {"no page for the state", base, "azone(XXZ002)", "QQ", "", L_CONNECT,
       "old", kFailed},
      {"no short state", base, "azone(XXZ002)", "", "", L_CONNECT, "old",
       kFailed},
      {"server down",
       "http://127.0.0.1:" + std::to_string(stratus_test::closedPort()) + "/",
       "azone(XXZ002)", "XX", "", L_CONNECT, "old", kFailed},
      {"proxy without a name", base, "azone(XXZ002)", "XX", "-", L_CONNECT,
       "old", kFailed},
      {"zone not on the page", base, "azone(XXZ099)", "XX", "", L_INPUT, "",
       kRead},
      {"zone id too short", base, "azone(XZ)", "XX", "", L_INPUT, "", kRead},
      {"binary junk page", base, "azone(XXZ002)", "JJ", "", L_INPUT, "", kRead},
      {"changed base", server_->url("/mirror/"), "azone(XXZ002)", "XX", "",
       L_OK, forecast, kRead},
  };
  WReader quiet;
  quiet.SetKeeper(&keeper_);
  for (const Case& c : cases) {
    keeper_.set("WarningsBase", c.base);
    keeper_.set("UseProxy", c.proxy.empty() ? "0" : "1");
    forget();
    LString text("old"), quietText("old");
    EXPECT_EQ(reader_.getForecast(place(c.cityData, c.state), text), c.result)
        << c.name;
    EXPECT_EQ(text.str(), c.text) << c.name;
    EXPECT_EQ(info_.calls, getting + c.calls) << c.name;
    EXPECT_EQ(quiet.getForecast(place(c.cityData, c.state), quietText),
              c.result)
        << c.name;
    EXPECT_EQ(quietText.str(), c.text) << c.name;
  }
  EXPECT_EQ(server_->hits("/mirror/XX/zone.html"), 2);
}

// --- Current conditions ---

struct Values {
  float temp, dewPoint, pressure;
  int direction, speed, gust;
  long time;
};

// A record whose fields hold values no report gives, so that the fields a
// call leaves alone show.
WCondition marked() {
  WCondition c;
  c.setTemp(-99), c.setDewPoint(-99), c.setPressure(-99);
  c.setWindDirection(-99), c.setWindSpeed(-99), c.setWindGustSpeed(-99);
  c.setTime(LCTime(123456L, LTime::UTC));
  return c;
}

void expectValues(WCondition c, const Values& want, const std::string& name) {
  EXPECT_FLOAT_EQ(c.getTemp(), want.temp) << name;
  EXPECT_FLOAT_EQ(c.getDewPoint(), want.dewPoint) << name;
  EXPECT_NEAR(c.getPressure(), want.pressure, 1e-4) << name;
  EXPECT_EQ(c.getWindDirection(), want.direction) << name;
  EXPECT_EQ(c.getWindSpeed(), want.speed) << name;
  EXPECT_EQ(c.getWindGustSpeed(), want.gust) << name;
  EXPECT_EQ(c.getTime().GetCalendarTime(), want.time) << name;
  EXPECT_EQ(c.getTime().getZone(),
            want.time == 123456L ? LTime::UTC : LTime::Local)
      << name;
  EXPECT_FALSE(c.isValid()) << name << ": the validity flag is the host's";
}

// The report after the "ob" line is decoded and what it supplied is copied;
// a missing gust clears the gust to -1, every other missing value stays.
TEST_F(Reader, ConditionsCopyWhatTheReportSupplied) {
  const long at1156 =
      LCTime(3, 10, 2026, 11, 56, 0, LTime::UTC).GetCalendarTime();
  const Values untouched = {-99, -99, -99, -99, -99, -1, 123456L};
  struct Case {
    const char* station;
    Values want;
  } cases[] = {
      // Blank and tags-only lines before the report, a later "ob" ignored.
      {"KAAA", {18.3f, 12.2f, 29.96f, 290, 12, 20, at1156}},
      {"KVRB", {-99, -99, 30.01f, 400, 3, -1, at1156}},
      // No marker, the marker on the last line, or binary junk: the empty
      // text decodes to nothing.
      {"KNOB", untouched},
      {"KEND", untouched},
      {"KJNK", untouched},
  };
  for (const Case& c : cases) {
    forget();
    WCondition condition = marked();
    EXPECT_EQ(reader_.getCondition(
                  place(std::string("acode(") + c.station + ")"), condition),
              L_OK);
    expectValues(condition, c.want, c.station);
    EXPECT_EQ(info_.calls, Calls{"show Getting current conditions..."} + kRead)
        << c.station;
    EXPECT_EQ(keeper_.calls,
              Calls{"readString Internet ConditionsBase"} + kPageSettings);
    EXPECT_EQ(server_->requests().back().path,
              std::string("/weather/current/") + c.station + ".html");
  }
}

// Failures leave the record alone: L_DB without a word or a request when the
// city has no station code, L_CONNECT with the error when the page cannot
// be had.
TEST_F(Reader, ConditionsFailuresLeaveTheRecordAlone) {
  const Values untouched = {-99, -99, -99, -99, -99, -99, 123456L};
  const Calls settings =
      Calls{"readString Internet ConditionsBase"} + kPageSettings;
  struct Case {
    std::string cityData;
    int result;
    Calls shown, read;
  } cases[] = {
      {"azone(XXZ002)", L_DB, {}, {}},
      {"acode(KAAA", L_DB, {}, {}},
      {"acode(KZZZ)", L_CONNECT,
       Calls{"show Getting current conditions..."} + kFailed, settings},
  };
  for (const Case& c : cases) {
    forget();
    size_t requests = server_->requests().size();
    WCondition condition = marked();
    EXPECT_EQ(reader_.getCondition(place(c.cityData), condition), c.result)
        << c.cityData;
    expectValues(condition, untouched, c.cityData);
    EXPECT_EQ(info_.calls, c.shown) << c.cityData;
    EXPECT_EQ(keeper_.calls, c.read) << c.cityData;
    EXPECT_EQ(server_->requests().size(), requests + (c.result == L_DB ? 0 : 1))
        << c.cityData;
  }
}

// --- The shared corpus: state pages assembled from real bulletins ---

// The zones that the oracle lists for the bulletins of one page (`named`)
// and those that a single header line covers (`covered`): the list minus
// the zones the line rules miss (headers continued on a second line,
// county-coded headers) plus the ones they take by mistake (the lone digit
// the 8-character cut leaves on a first line).
void oracleZones(const std::vector<std::string>& files,
                 std::set<std::string>& named, std::set<std::string>& covered) {
  std::ifstream in(stratus_test::sharedDir() + "/corpus/products/oracle.tsv");
  auto words = [](const std::string& s) {
    std::istringstream ws(s);
    return std::vector<std::string>(std::istream_iterator<std::string>(ws), {});
  };
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> f;
    std::istringstream cols(line);
    for (std::string col; std::getline(cols, col, '\t');) f.push_back(col);
    f.resize(13);
    if (f[2] != "UGC" ||
        std::find(files.begin(), files.end(), f[0]) == files.end())
      continue;
    std::vector<std::string> missed = words(f[11]);
    for (const std::string& z : words(f[8])) {
      named.insert(z);
      if (f[5] == "Z" &&
          std::find(missed.begin(), missed.end(), z) == missed.end()) {
        covered.insert(z);
      }
    }
    for (const std::string& z : words(f[12]))
      named.insert(z), covered.insert(z);
  }
}

// Each zone page of the corpus, read for every zone its bulletins name,
// gives text exactly for the zones a single header line covers. Where that
// parts from the bulletins' meaning, the line rules hold: IAZ070 stands on
// the continuation line of a header, and SEL9's OKZ000 (all of Oklahoma)
// reads as zone 0 only.
TEST_F(Reader, CorpusPagesFollowTheSingleLineHeaderRules) {
  if (stratus_test::sharedDir().empty())
    GTEST_SKIP() << "shared corpus not found";
  keeper_.set("WarningsBase", server_->url("/corpus/"));
  struct Page {
    const char* state;
    Getter getter;
    std::vector<std::string> files;
  } pages[] = {
      {"ND", &WReader::getForecast, {"zfp/pyWWA_ZFP.txt"}},
      {"IA",
       &WReader::getWarnings,
       {"warnings/pyIEM_WSWDMX_WSW_00.txt", "warnings/pyIEM_NPW_NPWDMX.txt",
        "warnings/pyIEM_TORE_TOR.txt", "warnings/pyIEM_SVS.txt",
        "warnings/pyWWA_FFA.txt"}},
      {"OK",
       &WReader::getWatches,
       {"watches/pyIEM_WCN_WCNTSA.txt", "watches/pyIEM_SEL_SEL9.txt",
        "watches/pyIEM_SAW_SAW3.txt"}},
      {"AL",
       &WReader::getStatements,
       {"special/pyIEM_SPS_SPSBMX.txt", "special/pyIEM_SPS_SPSBMX_IBW1.txt",
        "special/pyIEM_SPS_SPSBMX_IBW3.txt"}},
  };
  for (const Page& p : pages) {
    std::set<std::string> named, covered;
    oracleZones(p.files, named, covered);
    ASSERT_FALSE(named.empty()) << p.state << ": no oracle rows";
    for (const std::string& zone : named) {
      LString text;
      EXPECT_EQ(
          (reader_.*p.getter)(place("azone(" + zone + ")", p.state), text),
          covered.count(zone) ? L_OK : L_INPUT)
          << p.state << " " << zone;
    }
  }
  LString text;
  EXPECT_EQ(reader_.getWarnings(place("azone(IAZ070)", "IA"), text), L_INPUT);
  EXPECT_EQ(reader_.getWatches(place("azone(OKZ010)", "OK"), text), L_INPUT);
  ASSERT_EQ(reader_.getForecast(place("azone(NDZ009)", "ND"), text), L_OK);
  EXPECT_EQ(text.str().rfind("WILLIAMS-\r\n", 0), 0u)
      << text.str().substr(0, 40);
  EXPECT_EQ(std::count(text.str().begin(), text.str().end(), '\n'), 29);
}

// The discussion page holds two discussions of the office KDMX: both come
// whole, "$$" and the forecaster lines included; a station code is no
// office code and finds nothing.
TEST_F(Reader, CorpusDiscussionIsCutByOfficeCode) {
  if (stratus_test::sharedDir().empty())
    GTEST_SKIP() << "shared corpus not found";
  keeper_.set("WarningsBase", server_->url("/corpus/"));
  LString text;
  ASSERT_EQ(reader_.getDiscussion(place("acode(KDMX)", "IA"), text), L_OK);
  EXPECT_EQ(std::count(text.str().begin(), text.str().end(), '\n'), 174);
  EXPECT_NE(text.str().find("$$\r\n"), std::string::npos);
  EXPECT_EQ(reader_.getDiscussion(place("acode(KDSM)", "IA"), text), L_INPUT);
}

}  // namespace
