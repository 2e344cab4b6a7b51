#include "stratus/reader/reader.h"

#include <stdlib.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "stratus/foundation/result.h"

#include "foundation/clock.h"
#include "reader/product_oracle.h"
#include "support/recording_host.h"
#include "testing/corpus_files.h"
#include "testing/http_server.h"

namespace {

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

Calls operator+(Calls a, const Calls& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const Calls kPageSettings = {"readInt Internet UseProxy",
                             "readString Internet ProxyLocation"};
const Calls kFailed = {"show Error: cannot connect to server"};
const Calls kRead = {"show Reading data from server...", "end"};

// The reader against the test pages on loopback, recording host, fixed clock.
class Reader : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    for (const char* name : {"http_proxy", "all_proxy", "no_proxy"})
      unsetenv(name);
    server_ = new stratus_test::HttpServer;
    server_->serveDirectory("/", STRATUS_SOURCE_DIR "/tests/reader/data");
    server_->serveDirectory("/corpus/",
                            stratus_test::sharedDir() + "/corpus/pages");
    server_->serveDirectory("/sample/",
                            STRATUS_SOURCE_DIR "/tests/data/products/pages");
    // Bytes of every value, NUL and line ends included.
    std::string junk;
    for (size_t i = 0; i < (1 << 16); ++i)
      junk += static_cast<char>((i * 7919 + i / 251) % 256);
    server_->serve("/iwin/JJ/zone.html", junk);
    // A covering header, then text without end (64 MiB: more than any
    // reader takes, so the test ends by itself even when the cap fails).
    for (const char* page :
         {"/iwin/EE/allwarnings.html", "/iwin/EE/discussion.html"}) {
      server_->routes().Get(page, [](const httplib::Request& req,
                                     httplib::Response& res) {
        std::string head = req.path.find("discussion") != std::string::npos
                               ? "FXUS63 CCC 120000\n"
                               : "XXZ002-120000-\n";
        res.set_chunked_content_provider(
            "text/html", [head](size_t offset, httplib::DataSink& sink) {
              std::string block = offset == 0 ? head : "";
              while (block.size() < 65536)
                block += "ENDLESS TEXT OF A HOSTILE SERVER, LINE AFTER LINE\n";
              if (offset > (64u << 20)) {
                sink.done();
                return true;
              }
              return sink.write(block.data(), block.size());
            });
      });
    }
    server_->serve("/weather/current/KVRB.html",
                   "ob\nMETAR KVRB 101156Z VRB03KT 10SM CLR A3001 RMK AO2\n");
    ASSERT_TRUE(server_->start());
  }
  static void TearDownTestSuite() { delete server_; }

  void SetUp() override {
    stratus::pinClock(
        LCTime(3, 15, 2026, 12, 0, 0, LTime::UTC).GetCalendarTime());
    keeper_.set("ConditionsBase", server_->url("/weather/current/"));
    keeper_.set("WarningsBase", server_->url("/iwin/"));
    reader_.SetKeeper(&keeper_);
  }
  void TearDown() override { stratus::unpinClock(); }

  static inline stratus_test::HttpServer* server_ = nullptr;
  stratus_test::RecordingInfoLine info_;
  stratus_test::RecordingKeeper keeper_;
  WReader reader_{&info_};
};

// SetKeeper stores missing defaults in order and keeps what the host set.
TEST(ReaderSettings, SetKeeperSeedsMissingDefaultsOnly) {
  stratus_test::RecordingKeeper keeper;
  keeper.set("WarningsBase", "http://example.invalid/products/");
  WReader reader;
  reader.SetKeeper(&keeper);
  EXPECT_EQ(keeper.calls, (Calls{"isPresent Internet UseProxy",
                                 "storeInt Internet UseProxy 0",
                                 "isPresent Internet ProxyLocation",
                                 "storeString Internet ProxyLocation ",
                                 "isPresent Internet ConditionsBase",
                                 "storeString Internet ConditionsBase "
                                 "http://127.0.0.1:8086/weather/current/",
                                 "isPresent Internet WarningsBase"}));
  EXPECT_EQ(keeper.flags, std::vector<int>(keeper.calls.size(), 0));
}

// The fields of a record, the time with its zone, and whether it is valid.
std::string fields(WCondition c) {
  std::ostringstream s;
  s << c.getTemp() << " " << c.getDewPoint() << " " << c.getPressure() << " "
    << c.getWindDirection() << " " << c.getWindSpeed() << " "
    << c.getWindGustSpeed() << " " << c.getTime().GetCalendarTime()
    << (c.getTime().getZone() == LTime::UTC ? " UTC" : " local")
    << (c.isValid() ? " valid" : "");
  return s.str();
}

// Each call: its result, output, messages, settings read and requests.
TEST_F(Reader, EachCallGetsItsPageOrSaysWhyNot) {
  const std::string zone = "azone(XXZ002)", city = "acode(CCC)";
  const long at1156 =
      LCTime(3, 10, 2026, 11, 56, 0, LTime::UTC).GetCalendarTime();
  const std::string now = " " + std::to_string(at1156) + " local";
  const std::string untouched = "-99 -99 -99 -99 -99 -99 123456 UTC";
  struct Case {
    Getter getter;  // none: getCondition, the text being the record's fields
    std::string label, cityData;
    int result;
    std::string text;
    const char* state = "XX";
  } cases[] = {
      {&WReader::getForecast, "forecast", zone, L_OK,
       "ZONE TWO AND NEIGHBOURS-\n TODAY ...SUNNY.\n TONIGHT...CLEAR.\n"},
      {&WReader::getWarnings, "warnings", zone, L_OK,
       "WINTER STORM WARNING.\n SNOW 6 TO 10 INCHES.\n DENSE FOG ADVISORY.\n"},
      {&WReader::getWatches, "watches", zone, L_OK,
       "SEVERE THUNDERSTORM WATCH 100.\n \n"},
      {&WReader::getStatements, "special statements", zone, L_OK,
       "SPECIAL WEATHER STATEMENT.\n STRONG THUNDERSTORM NEAR TOWN.\n"},
      {&WReader::getDiscussion, "weather discussion", city, L_OK,
       "AREA FORECAST DISCUSSION.\n $$\n FORECASTER\n \n \n"},
      {&WReader::getSummary, "weather summary", city, L_OK,
       "WEATHER SUMMARY FOR THE CITY.\n \n"},
      {&WReader::getPublic, "public messages", city, L_OK,
       "PUBLIC INFORMATION STATEMENT.\n \n \n"},
      {&WReader::getForecast, "forecast", zone, L_CONNECT, "old", "QQ"},
      {&WReader::getForecast, "forecast", "azone(XZ)", L_INPUT, ""},
      {&WReader::getForecast, "forecast", zone, L_INPUT, "", "JJ"},  // junk
      {&WReader::getWatches, "watches", city, L_NOTFOUND, "old"},
      {&WReader::getPublic, "public messages", zone, L_NOTFOUND, "old"},
      // Blank and tags-only lines before the report, a later "ob" ignored.
      {nullptr, "current conditions", "acode(KAAA)", L_OK,
       "18.3 12.2 29.96 290 12 20" + now},
      {nullptr, "current conditions", "acode(KVRB)", L_OK,
       "-99 -99 30.01 400 3 -1" + now},
      {nullptr, "current conditions", "acode(KNOB)", L_OK,  // no "ob" line
       "-99 -99 -99 -99 -99 -1 123456 UTC"},
      {nullptr, "current conditions", "acode(KZZZ)", L_CONNECT, untouched},
      {nullptr, "current conditions", zone, L_DB, untouched},
  };
  for (const Case& c : cases) {
    info_.calls.clear();
    keeper_.calls.clear();
    size_t requests = server_->requests().size();
    const WLocation location = place(c.cityData, c.state);
    const std::string name = c.label + " " + c.cityData + " " + c.state;
    LString text("old");
    WCondition condition;
    condition.setTemp(-99), condition.setDewPoint(-99);
    condition.setPressure(-99), condition.setWindDirection(-99);
    condition.setWindSpeed(-99), condition.setWindGustSpeed(-99);
    condition.setTime(LCTime(123456L, LTime::UTC));
    int result = c.getter ? (reader_.*c.getter)(location, text)
                          : reader_.getCondition(location, condition);
    EXPECT_EQ(result, c.result) << name;
    EXPECT_EQ(c.getter ? text.str() : fields(condition), crlf(c.text)) << name;
    bool asked = c.result != L_NOTFOUND && c.result != L_DB;
    Calls shown = {"show Getting " + c.label + "..."};
    EXPECT_EQ(
        info_.calls,
        asked ? shown + (c.result == L_CONNECT ? kFailed : kRead) : Calls{})
        << name;
    Calls base = {c.getter ? "readString Internet WarningsBase"
                           : "readString Internet ConditionsBase"};
    EXPECT_EQ(keeper_.calls, asked      ? base + kPageSettings
                             : c.getter ? base
                                        : Calls{})
        << name;
    EXPECT_EQ(server_->requests().size(), requests + asked) << name;
  }
  // A proxy asked for but not named; then no status line.
  LString text;
  keeper_.set("UseProxy", "1");
  EXPECT_EQ(reader_.getForecast(place(zone), text), L_CONNECT);
  keeper_.set("UseProxy", "0");
  reader_.SetInfoLine(nullptr);
  EXPECT_EQ(reader_.getForecast(place(zone), text), L_OK);
}

// The raw report: the line getCondition decodes, from the same page by the
// same rules; a page without one is L_NOTFOUND, the text kept.
TEST_F(Reader, ReportIsTheLineOfTheStationPage) {
  const Calls asked = {"show Getting current conditions...",
                       "show Reading data from server..."};
  const struct {
    const char* cityData;
    int result;
    const char* report;
    Calls shown;
  } cases[] = {
      {"acode(KAAA)", L_OK,
       "METAR KAAA 101156Z 29012G20KT 10SM FEW008 18/12 A2996 RMK AO2 "
       "T01830122",
       asked + Calls{"end"}},
      {"acode(KVRB)", L_OK, "METAR KVRB 101156Z VRB03KT 10SM CLR A3001 RMK AO2",
       asked + Calls{"end"}},
      {"acode(KNOB)", L_NOTFOUND, "old",
       asked + Calls{"show Error: cannot obtain conditions"}},
      {"acode(KZZZ)", L_CONNECT, "old",
       Calls{"show Getting current conditions..."} + kFailed},
      {"azone(XXZ002)", L_DB, "old", {}},
  };
  for (const auto& c : cases) {
    info_.calls.clear();
    size_t requests = server_->requests().size();
    LString report("old");
    EXPECT_EQ(reader_.getReport(place(c.cityData), report), c.result)
        << c.cityData;
    EXPECT_STREQ(report, c.report) << c.cityData;
    EXPECT_EQ(info_.calls, c.shown) << c.cityData;
    EXPECT_EQ(server_->requests().size(), requests + (c.result != L_DB))
        << c.cityData;
  }
}

// Endless text after a covering header: the read ends at the 4 MiB cap with
// the whole lines that fit, every one of them the server's.
TEST_F(Reader, EndlessSectionsStopAtTheTextCap) {
  const std::string line = "ENDLESS TEXT OF A HOSTILE SERVER, LINE AFTER LINE";
  const size_t cap = 4 << 20, perLine = line.size() + 3;  // " " and "\r\n"
  for (Getter getter : {&WReader::getWarnings, &WReader::getDiscussion}) {
    LString text;
    ASSERT_EQ((reader_.*getter)(place("azone(XXZ002) acode(CCC)", "EE"), text),
              L_RANGE);
    const std::string& t = text.str();
    size_t lines = std::count(t.begin(), t.end(), '\n');
    EXPECT_EQ(t.size(), lines * perLine - 1);  // no blank before the first
    EXPECT_LE(t.size() - lines, cap);
    EXPECT_GT(t.size() - lines + perLine, cap);
    EXPECT_EQ(t.rfind(line + "\r\n " + line + "\r\n", 0), 0u);
    EXPECT_EQ(info_.calls.back(), "end");
  }
}

// The product table is what the getters do: each row's getter fetches the
// row's page and shows the row's label; the names are the getters' own.
TEST_F(Reader, ProductTableDescribesTheGetters) {
  const std::vector<std::string> names = {"warnings", "forecast", "discussion",
                                          "summary",  "watches",  "statements",
                                          "public"};
  ASSERT_EQ(WReader::PRODUCT_COUNT, 7);
  for (int i = 0; i < WReader::PRODUCT_COUNT; ++i) {
    const WProductInfo& row = WReader::PRODUCTS[i];
    EXPECT_EQ(row.name, names[i]);
    info_.calls.clear();
    LString text;
    (reader_.*row.get)(place("azone(XXZ002) acode(CCC)"), text);
    EXPECT_EQ(server_->requests().back().path,
              std::string("/iwin/XX") + row.page);
    EXPECT_EQ(info_.calls.front(),
              std::string("show Getting ") + row.label + "...");
    EXPECT_EQ(row.byZone, row.marker == nullptr) << row.name;
  }
}

// The section rule is the reader's own: LineRule until the host asks, taken
// along by copies, and it decides which keys a product needs.
TEST_F(Reader, SectionRuleIsChosenByTheHost) {
  EXPECT_EQ(reader_.sectionRule(), WReader::LineRule);
  WReader other;
  other = reader_;
  EXPECT_EQ(other.sectionRule(), WReader::LineRule);
  reader_.setSectionRule(WReader::UgcRule);
  other = reader_;
  EXPECT_EQ(WReader(reader_).sectionRule(), WReader::UgcRule);
  EXPECT_EQ(other.sectionRule(), WReader::UgcRule);
  struct Case {
    Getter getter;
    const char* cityData;
    int result;
  } cases[] = {
      {&WReader::getWarnings, "acode(KDSM) aoffice(DMX)", L_NOTFOUND},
      {&WReader::getWarnings, "acounty(XXC002)", L_INPUT},
      {&WReader::getDiscussion, "azone(XXZ002)", L_INPUT},
      {&WReader::getDiscussion, "aoffice(DMX)", L_INPUT},
      {&WReader::getDiscussion, "acode(CCC)", L_NOTFOUND},
      {&WReader::getForecast, "azone(XXZ002)", L_OK},
  };
  for (const Case& c : cases) {
    LString text("old");
    keeper_.calls.clear();
    EXPECT_EQ((reader_.*c.getter)(place(c.cityData), text), c.result)
        << c.cityData;
    EXPECT_EQ(keeper_.calls.size(), c.result == L_NOTFOUND ? 1u : 3u);
  }
}

// The real sample page: Marshalltown (zone IAZ049, Marshall County IAC127)
// gets the county-coded tornado warning by the UGC rule only.
TEST_F(Reader, UgcRuleFindsCountyCodedWarnings) {
  keeper_.set("WarningsBase", server_->url("/sample/"));
  auto sample = stratus_test::readOracle(
      STRATUS_SOURCE_DIR "/tests/data/products/oracle.tsv",
      STRATUS_SOURCE_DIR "/tests/data/products");
  ASSERT_EQ(sample["pyIEM_TORE_TOR.txt"].size(), 1u);
  const std::vector<std::string>& tornado =
      sample["pyIEM_TORE_TOR.txt"][0].body;
  ASSERT_GT(tornado.size(), 20u);
  const WLocation marshalltown = place("azone(IAZ049) acounty(IAC127)", "IA");
  for (WReader::SectionRule rule : {WReader::LineRule, WReader::UgcRule}) {
    reader_.setSectionRule(rule);
    LString text;
    ASSERT_EQ(reader_.getWarnings(marshalltown, text), L_OK);
    std::vector<std::string> lines = stratus_test::textLines(text.str());
    bool found = std::search(lines.begin(), lines.end(), tornado.begin(),
                             tornado.end()) != lines.end();
    EXPECT_EQ(found, rule == WReader::UgcRule);
  }
}

// The non-blank lines of the discussions under the AWIPS id `id` in
// `files`: from the line after the id to the one before "$$".
std::vector<std::string> discussionLines(const std::string& dir,
                                         const std::vector<std::string>& files,
                                         const std::string& id) {
  std::vector<std::string> lines;
  for (const std::string& file : files) {
    std::istringstream in(stratus_test::readFile(dir + "/" + file));
    bool inside = false;
    for (std::string l; std::getline(in, l);) {
      l = stratus_test::clean(l);
      if (l.find("$$") != std::string::npos) inside = false;
      if (inside && !l.empty()) lines.push_back(l);
      if (l == id) inside = true;
    }
  }
  return lines;
}

// Every code of the corpus pages' bulletins gets exactly the sections the
// oracle gives by the UGC rule, and the discussions go by office.
TEST_F(Reader, CorpusPagesFollowTheUgcRule) {
  if (stratus_test::sharedDir().empty())
    GTEST_SKIP() << "shared corpus not found";
  keeper_.set("WarningsBase", server_->url("/corpus/"));
  reader_.setSectionRule(WReader::UgcRule);
  const std::string dir = stratus_test::sharedDir() + "/corpus/products";
  auto oracle = stratus_test::readOracle(dir + "/oracle.tsv", dir);
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
  int checked = 0;
  for (const Page& p : pages) {
    bool firstOnly = p.getter == &WReader::getForecast;
    std::set<std::string> codes;
    for (const std::string& file : p.files) {
      for (const stratus_test::Segment& s : oracle[file])
        codes.insert(s.codes.begin(), s.codes.end());
    }
    for (const std::string& code : codes) {
      std::vector<std::string> expected;
      for (const std::string& file : p.files) {
        if (firstOnly && !expected.empty()) break;
        std::vector<std::string> more =
            stratus_test::expectedLines(oracle[file], code, firstOnly);
        expected.insert(expected.end(), more.begin(), more.end());
      }
      std::string key = code[2] == 'C' ? "acounty(" : "azone(";
      LString text;
      int result = (reader_.*p.getter)(place(key + code + ")", p.state), text);
      EXPECT_EQ(result, L_OK) << p.state << " " << code;
      EXPECT_EQ(stratus_test::textLines(text.str()), expected)
          << p.state << " " << code;
      ++checked;
    }
  }
  EXPECT_GT(checked, 100);
  LString text;
  std::vector<std::string> afd = discussionLines(
      dir, {"discussion/pyIEM_AFDDMX.txt", "discussion/pyWWA_AFD.txt"},
      "AFDDMX");
  ASSERT_EQ(
      reader_.getDiscussion(place("acode(KDSM) aoffice(DMX)", "IA"), text),
      L_OK);
  EXPECT_EQ(stratus_test::textLines(text.str()), afd);
  EXPECT_EQ(reader_.getDiscussion(place("aoffice(DVN)", "IA"), text), L_INPUT);
}

// The zones the oracle names for `files`, each with whether the single-line
// header rule covers it (listed, minus the rule's misses, plus its extras).
std::map<std::string, bool> oracleZones(const std::string& files) {
  std::map<std::string, bool> zones;
  std::ifstream in(stratus_test::sharedDir() + "/corpus/products/oracle.tsv");
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> f;
    std::istringstream cols(line);
    for (std::string col; std::getline(cols, col, '\t');) f.push_back(col);
    f.resize(13);
    if (f[2] != "UGC" ||
        (" " + files + " ").find(" " + f[0] + " ") == std::string::npos)
      continue;
    std::istringstream listed(f[8]), extra(f[12]);
    for (std::string z; listed >> z;)
      zones[z] |= (" " + f[11] + " ").find(" " + z + " ") == std::string::npos;
    for (std::string z; extra >> z;) zones[z] = true;
  }
  return zones;
}

// Corpus pages give text exactly for the zones one header line covers. Where
// the bulletins mean more, the line rule holds: continuation lines (IAZ070)
// are missed, and OKZ000 (all of Oklahoma) is zone 0 only.
TEST_F(Reader, CorpusPagesFollowTheSingleLineHeaderRules) {
  if (stratus_test::sharedDir().empty())
    GTEST_SKIP() << "shared corpus not found";
  keeper_.set("WarningsBase", server_->url("/corpus/"));
  struct Page {
    const char* state;
    Getter getter;
    std::string files;
  } pages[] = {
      {"ND", &WReader::getForecast, "zfp/pyWWA_ZFP.txt"},
      {"IA", &WReader::getWarnings,
       "warnings/pyIEM_WSWDMX_WSW_00.txt warnings/pyIEM_NPW_NPWDMX.txt "
       "warnings/pyIEM_TORE_TOR.txt warnings/pyIEM_SVS.txt "
       "warnings/pyWWA_FFA.txt"},
      {"OK", &WReader::getWatches,
       "watches/pyIEM_WCN_WCNTSA.txt watches/pyIEM_SEL_SEL9.txt "
       "watches/pyIEM_SAW_SAW3.txt"},
      {"AL", &WReader::getStatements,
       "special/pyIEM_SPS_SPSBMX.txt special/pyIEM_SPS_SPSBMX_IBW1.txt "
       "special/pyIEM_SPS_SPSBMX_IBW3.txt"},
  };
  for (const Page& p : pages) {
    std::map<std::string, bool> zones = oracleZones(p.files);
    ASSERT_FALSE(zones.empty()) << p.state << ": no oracle rows";
    for (const auto& [zone, covered] : zones) {
      LString text;
      EXPECT_EQ(
          (reader_.*p.getter)(place("azone(" + zone + ")", p.state), text),
          covered ? L_OK : L_INPUT)
          << p.state << " " << zone;
    }
  }
  LString text;
  EXPECT_EQ(reader_.getWatches(place("azone(OKZ010)", "OK"), text), L_INPUT);
  ASSERT_EQ(reader_.getForecast(place("azone(NDZ009)", "ND"), text), L_OK);
  EXPECT_EQ(text.str().rfind("WILLIAMS-\r\n", 0), 0u) << text.str();
  EXPECT_EQ(std::count(text.str().begin(), text.str().end(), '\n'), 29);
  ASSERT_EQ(reader_.getDiscussion(place("acode(KDMX)", "IA"), text), L_OK);
  EXPECT_EQ(std::count(text.str().begin(), text.str().end(), '\n'), 174);
  EXPECT_NE(text.str().find("$$\r\n"), std::string::npos);
  EXPECT_EQ(reader_.getDiscussion(place("acode(KDSM)", "IA"), text), L_INPUT);
}

}  // namespace
