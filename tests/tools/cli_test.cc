// End-to-end tests of `stratus`: the real binary against the real sample
// server and the bundled US location data.
#include "cli_test.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace stratus_test {
namespace {

using Args = std::vector<std::string>;

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// ---------------------------------------------------------------------------
// places: the states, the cities of a state and a name search, in text and
// JSON, from the default data folder (the source tree's data/us).

TEST_F(CliTest, PlacesListsStatesCitiesAndMatches) {
  struct Case {
    Args args;
    std::vector<std::string> present, absent;
  } cases[] = {
      {{"places"},
       {"25  ma  Massachusetts", "72  pr  Puerto Rico"},
       {"Boston"}},
      {{"places", "--state", "MA"},
       {"2507000", "Boston", "MAZ015", "KBOS", "Worcester"},
       {"Denver"}},
      {{"places", "DES moines"},
       {"1921000  Des Moines", "West Des Moines", "nm  NMZ227", "wa  WAZ558"},
       {"Boston"}},
      {{"places", "des moines", "--state", "iowa"}, {"1921000"}, {"wa  "}},
  };
  for (const Case& c : cases) {
    RunResult r = run(c.args);
    EXPECT_EQ(r.status, 0) << shown(c.args) << "\n" << r.err;
    for (const auto& p : c.present)
      EXPECT_TRUE(has(r.out, p)) << shown(c.args) << ": no " << p;
    for (const auto& a : c.absent)
      EXPECT_FALSE(has(r.out, a)) << shown(c.args) << ": has " << a;
  }
}

TEST_F(CliTest, PlacesJsonHasOneObjectPerRecord) {
  nlohmann::json states = json(run({"places", "--json"}));
  ASSERT_EQ(states["states"].size(), 52u);
  EXPECT_EQ(states["states"][0],
            (nlohmann::json{{"id", 1}, {"name", "Alabama"}, {"short", "al"}}));

  nlohmann::json cities =
      json(run({"places", "boston", "--state", "ma", "--json"}));
  EXPECT_EQ(cities["state"]["short"], "ma");
  EXPECT_EQ(cities["query"], "boston");
  ASSERT_FALSE(cities["cities"].empty());
  EXPECT_EQ(cities["cities"][0], (nlohmann::json{{"id", 2507000},
                                                 {"name", "Boston"},
                                                 {"state", "ma"},
                                                 {"zone", "MAZ015"},
                                                 {"code", "KBOS"}}));
}

// ---------------------------------------------------------------------------
// now: a station page fetched and decoded, shown with the library's
// conversions in the units asked for, and the observation time in local time.

TEST_F(CliTest, NowShowsConditionsInChosenUnits) {
  struct Case {
    Args args;
    std::vector<std::string> env;
    std::vector<std::string> lines;
  } cases[] = {
      {{"now", "Boston,", "MA"},
       {},
       {"Boston, Massachusetts, United States (station KBOS)",
        "Observed:    ", "17:54 UTC", "Temperature: 42 F", "Dew point:   24 F",
        "Pressure:    30.02 inHg (1016.6 hPa)",
        "Wind:        from W (270 deg) at 14 mph, gusts 23 mph"}},
      {{"now", "2507000", "--units", "Metric"},
       {},
       {"Temperature: 6 C", "Dew point:   -4 C", "1016.6 hPa (30.02 inHg)",
        "at 22 km/h, gusts 37 km/h"}},
      {{"--temp", "C", "--wind", "kt", "--pressure", "mmHg", "now",
        "boston, massachusetts"},
       {},
       {"Temperature: 6 C", "at 12 kt, gusts 20 kt",
        "762.5 mmHg (30.02 inHg)"}},
      {{"now", "Sacramento, CA"}, {}, {"Wind:        variable at 4 mph"}},
      {{"now", "Boulder, CO"},
       {},
       {"from WSW (240 deg) at 17 mph, gusts 29 mph\n"}},
      {{"now", "boston", "ma"}, {"TZ=EST5EDT,M3.2.0,M11.1.0"}, {"12:54 EST"}},
  };
  for (Case& c : cases) {
    RunOptions o;
    o.env = c.env;
    RunResult r = run(c.args, o);
    EXPECT_EQ(r.status, 0) << shown(c.args) << "\n" << r.err;
    for (const auto& l : c.lines)
      EXPECT_TRUE(has(r.out, l)) << shown(c.args) << ": no " << l << " in\n"
                                 << r.out;
  }
}

TEST_F(CliTest, NowJsonCarriesEveryUnit) {
  nlohmann::json j = json(run({"now", "Boston, MA", "--json"}));
  EXPECT_EQ(j["place"]["id"], 2507000);
  EXPECT_EQ(j["place"]["display_name"], "Boston, Massachusetts, United States");
  EXPECT_EQ(j["url"], server_->url() + "weather/current/KBOS.html");
  const nlohmann::json& c = j["conditions"];
  EXPECT_EQ(c["temperature"]["celsius"], 5.6);
  EXPECT_EQ(c["temperature"]["fahrenheit"], 42.1);
  EXPECT_EQ(c["dew_point"]["celsius"], -4.4);
  EXPECT_EQ(c["pressure"]["inHg"], 30.02);
  EXPECT_EQ(c["pressure"]["hPa"], 1016.6);
  EXPECT_EQ(c["wind"]["direction"], 270);
  EXPECT_EQ(c["wind"]["speed"],
            (nlohmann::json{{"kt", 12}, {"mph", 13.8}, {"kmh", 22.2}}));
  EXPECT_EQ(c["wind"]["gust"]["kt"], 20);
  EXPECT_EQ(c["time"]["local"].get<std::string>().substr(10),
            "T17:54:00+00:00");
}

// Every sample city of the bundled pages resolves in data/us and has its
// forecast and a station report with every value.
TEST_F(CliTest, EverySampleCityHasForecastAndConditions) {
  for (const char* id : {"2507000", "2582000", "667000", "664000", "820000",
                         "807850", "1921000", "5363000"}) {
    EXPECT_EQ(run({"forecast", id}).status, 0) << "forecast " << id;
    RunResult r = run({"now", id, "--json"});
    ASSERT_EQ(r.status, 0) << "now " << id << "\n" << r.err;
    const nlohmann::json c = json(r)["conditions"];
    for (const char* value :
         {"time", "temperature", "dew_point", "pressure", "wind"})
      EXPECT_FALSE(c[value].is_null()) << "now " << id << ": no " << value;
  }
}

// ---------------------------------------------------------------------------
// The seven products: the place's sections of the state page, with plain
// line ends and without the blank that the library puts between lines.

TEST_F(CliTest, ProductsPrintThePlacesSections) {
  struct Case {
    std::string command, place, present, absent;
  } cases[] = {
      {"forecast", "Boston, MA", "Including the cities of Cambridge, Boston",
       "Worcester and Milford"},
      {"warnings", "Boulder, CO", "HIGH WIND WARNING", "HIGH WIND WATCH"},
      {"warnings", "Boulder, CO", "WINTER WEATHER ADVISORY", "$$"},
      {"watches", "Worcester, MA", "WINTER STORM WATCH", "WIND ADVISORY"},
      {"statements", "Des Moines, IA", "SNOW SQUALL MOVING THROUGH DES MOINES",
       "$$"},
      {"public", "Seattle, WA", "Seattle-Tacoma Airport       0.42 IN",
       "Flood"},
      {"discussion", "Boston, MA", "AFDBOX", "Lake effect"},
      {"summary", "Denver, CO", "Cold and breezy across the urban corridor",
       "Iowa"},
  };
  for (const Case& c : cases) {
    Args args{c.command, c.place};
    RunResult r = run(args);
    EXPECT_EQ(r.status, 0) << shown(args) << "\n" << r.err;
    EXPECT_TRUE(has(r.out, c.present)) << shown(args) << ":\n" << r.out;
    EXPECT_FALSE(has(r.out, c.absent)) << shown(args) << ":\n" << r.out;
    EXPECT_FALSE(has(r.out, "\r")) << shown(args);
    EXPECT_FALSE(has(r.out, "\n "))
        << shown(args) << ": a line begins with a blank";
  }
}

TEST_F(CliTest, ProductJsonHoldsTheSameText) {
  RunResult text = run({"forecast", "Seattle, WA"});
  nlohmann::json j = json(run({"forecast", "Seattle, WA", "--json"}));
  EXPECT_EQ(j["product"], "forecast");
  EXPECT_EQ(j["place"]["zone"], "WAZ558");
  EXPECT_EQ(j["url"], server_->url() + "iwin/wa/zone.html");
  EXPECT_EQ(j["text"], text.out);
}

// ---------------------------------------------------------------------------
// Failures: each cause has its exit status and a message on standard error
// that says what to fix; standard output stays empty.

TEST_F(CliTest, FailuresGiveTheirExitStatusAndMessage) {
  TempDir partial;
  partial.write("states.ldt", "25\t1\tMassachusetts\tma\n");
  struct Case {
    Args args;
    int status;
    std::string message;
  } cases[] = {
      {{"now", "Nowhere, MA"}, 1, "no city named \"Nowhere\" in Massachusetts"},
      {{"now", "Boston, XX"}, 1, "no state \"XX\""},
      {{"forecast", "4294967295"}, 1, "no city with id 4294967295"},
      {{"watches", "Boston, MA"}, 1, "no watches for Boston, MA (zone MAZ015)"},
      {{"summary", "Worcester, MA"},
       1,
       "no weather summary for Worcester, MA (code KORH)"},
      {{"places", "xyzzy"}, 1, "no city name contains \"xyzzy\""},
      {{"now", "Springfield"}, 64, "2567000  Springfield, MA"},
      {{"now", "Denver"}, 64, "1920035  Denver, IA"},
      {{"forecast", "Cottonwood, AZ"}, 64, "416410  Cottonwood (city), AZ"},
      {{"now", "Boston, MA", "--data-dir", "/nonexistent"},
       66,
       "no location data in /nonexistent"},
      {{"places", "--data-dir", partial.path()}, 66, "cities.ldt is missing"},
      {{"now", "Tacoma, WA"}, 75, "weather/current/KTCM.html"},
  };
  for (const Case& c : cases) {
    RunResult r = run(c.args);
    EXPECT_EQ(r.status, c.status) << shown(c.args) << "\n" << r.err;
    EXPECT_TRUE(has(r.err, "Error: ")) << shown(c.args) << ":\n" << r.err;
    EXPECT_TRUE(has(r.err, c.message)) << shown(c.args) << ":\n" << r.err;
    EXPECT_EQ(r.out, "") << shown(c.args);
  }
}

TEST_F(CliTest, DataFolderComesFromTheEnvironmentToo) {
  RunOptions o;
  o.env = {"STRATUS_DATA_DIR=/nonexistent"};
  EXPECT_EQ(run({"places"}, o).status, 66);
  EXPECT_EQ(run({"places", "--data-dir", sourcePath("data/us")}, o).status, 0);
}

TEST_F(CliTest, ServerDownNamesTheUrlAndSetting) {
  std::string base = "http://127.0.0.1:" + std::to_string(closedPort()) + "/";
  pointAt(base);
  struct Case {
    Args args;
    std::string url, setting;
  } cases[] = {
      {{"now", "Boston, MA"},
       base + "weather/current/KBOS.html",
       "ConditionsBase"},
      {{"forecast", "Boston, MA"}, base + "iwin/ma/zone.html", "WarningsBase"},
      {{"-q", "discussion", "Denver, CO", "--json"},
       base + "iwin/co/discussion.html",
       "WarningsBase"},
  };
  for (const Case& c : cases) {
    RunResult r = run(c.args);
    EXPECT_EQ(r.status, 75) << shown(c.args);
    EXPECT_TRUE(has(r.err, c.url)) << shown(c.args) << ":\n" << r.err;
    EXPECT_TRUE(has(r.err, c.setting)) << shown(c.args) << ":\n" << r.err;
    EXPECT_EQ(r.out, "");
  }
}

// Pages of another server: a station page without a report, and a product
// page in a single-byte encoding, whose JSON stays valid.
TEST_F(CliTest, OddPagesGiveDataErrorOrValidJson) {
  TempDir root;
  for (const char* dir : {"weather", "weather/current", "iwin", "iwin/ma"})
    mkdir(root.file(dir).c_str(), 0755);
  root.write("weather/current/KBOS.html",
             "<HTML><BODY>\n<P>No report today</P>\n</BODY></HTML>\n");
  root.write("iwin/ma/zone.html",
             "<PRE>\nMAZ015-052100-\nHIGHS NEAR 5 \xB0"
             "C\n$$\n</PRE>\n");
  SampleServer other(root.path());
  ASSERT_TRUE(other.started());
  pointAt(other.url());
  RunResult r = run({"now", "Boston, MA"});
  EXPECT_EQ(r.status, 65);
  EXPECT_TRUE(has(r.err, "no observation report could be decoded")) << r.err;

  EXPECT_EQ(run({"forecast", "Boston, MA"}).out,
            "HIGHS NEAR 5 \xB0"
            "C\n");
  nlohmann::json j = json(run({"forecast", "Boston, MA", "--json"}));
  EXPECT_EQ(j["text"],
            "HIGHS NEAR 5 \xEF\xBF\xBD"
            "C\n");
}

// ---------------------------------------------------------------------------
// decode: reports from the command line or standard input, no network and
// no settings; a report with nothing decodable is exit status 65.

TEST_F(CliTest, DecodeReadsArgumentsAndStandardInput) {
  writeSettings("this is not a settings file\n");  // decode must not care
  RunResult one =
      run({"decode", "--", "KSEA", "051753Z", "17009KT", "8SM", "-RA", "OVC025",
           "09/07", "A2992", "RMK", "AO2", "T00890072"});
  EXPECT_EQ(one.status, 0) << one.err;
  EXPECT_TRUE(has(one.out, "Report:      KSEA 051753Z 17009KT 8SM -RA"))
      << one.out;
  EXPECT_TRUE(has(one.out, "Temperature: 48 F")) << one.out;
  EXPECT_TRUE(has(one.out, "Wind:        from S (170 deg) at 10 mph"))
      << one.out;

  RunOptions o;
  o.input =
      "KDEN 051753Z 19008KT 10SM M02/M12 A3021 RMK AO2\n\n  \r\nnot a report\n"
      "METAR KBDU 051755Z AUTO VRB03KT 10SM CLR M01/M13 A3018 RMK AO2\n";
  RunResult many = run({"decode", "-", "--json"}, o);
  EXPECT_EQ(many.status, 65) << "a report decoded to nothing";
  EXPECT_TRUE(has(many.err, "nothing could be decoded from \"not a report\""))
      << many.err;
  nlohmann::json j = json(many);
  ASSERT_EQ(j["reports"].size(), 3u);
  EXPECT_EQ(j["reports"][0]["temperature"]["celsius"], -2.0);
  EXPECT_EQ(j["reports"][1]["decoded"], false);
  EXPECT_TRUE(j["reports"][1]["wind"].is_null());
  EXPECT_EQ(j["reports"][2]["wind"]["variable"], true);
  EXPECT_TRUE(j["reports"][2]["wind"]["direction"].is_null());

  o.input = "\n";
  EXPECT_EQ(run({"decode"}, o).status, 64);
}

// ---------------------------------------------------------------------------
// The status line: progress as lines when standard error is not a
// terminal, rewritten in place on a terminal, hidden by --quiet; escape
// sequences only on a terminal without NO_COLOR; errors always shown.

TEST_F(CliTest, StatusLineFollowsTerminalQuietAndNoColor) {
  RunResult plain = run({"forecast", "Boston, MA"});
  EXPECT_EQ(plain.err, "Getting forecast...\nReading data from server...\n");
  EXPECT_FALSE(has(plain.out, "Getting"));

  EXPECT_EQ(run({"forecast", "Boston, MA", "-q"}).err, "");

  RunOptions tty;
  tty.stderrOnTerminal = true;
  RunResult inPlace = run({"forecast", "Boston, MA"}, tty);
  EXPECT_EQ(inPlace.status, 0);
  EXPECT_TRUE(
      has(inPlace.err, "\r\033[KGetting forecast...\r\033[KReading data"))
      << inPlace.err;
  EXPECT_FALSE(has(inPlace.err, "\n"))
      << "progress lines are rewritten, not added";

  pointAt("http://127.0.0.1:" + std::to_string(closedPort()) + "/");
  RunResult red = run({"forecast", "Boston, MA", "--quiet"}, tty);
  EXPECT_TRUE(has(red.err, "\033[1;31mError:\033[0m")) << red.err;
  tty.env = {"NO_COLOR=1"};
  RunResult noColor = run({"forecast", "Boston, MA"}, tty);
  EXPECT_FALSE(has(noColor.err, "\033")) << noColor.err;
  EXPECT_TRUE(has(noColor.err, "\rGetting forecast...")) << noColor.err;
  EXPECT_TRUE(has(noColor.err, "Error: page not available")) << noColor.err;
}

// ---------------------------------------------------------------------------
// Usage: a bad command line is exit status 64; help and version are 0.

TEST_F(CliTest, UsageErrorsHelpAndVersion) {
  for (const Args& args : {Args{}, Args{"weather"}, Args{"now"},
                           Args{"now", "Boston", "--units", "si"},
                           Args{"config"}, Args{"places", "--bogus"}}) {
    RunResult r = run(args);
    EXPECT_EQ(r.status, 64) << shown(args);
    EXPECT_TRUE(has(r.err, "Error: ")) << shown(args) << ":\n" << r.err;
  }
  RunResult help = run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(has(help.out, "Exit status")) << help.out;
  RunResult version = run({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_TRUE(has(version.out, "stratus 0.")) << version.out;
}

}  // namespace
}  // namespace stratus_test
