// End-to-end tests of `stratus`: the real binary against the real sample
// server and the bundled US location data, with its settings file in a
// temporary home.
#include <poll.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "testing/corpus_files.h"
#include "testing/temp_dir.h"
#include "tool_runner.h"

namespace stratus_test {
namespace {

using Args = std::vector<std::string>;

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The parsed standard output; fails the test when it is not JSON.
// The lines of `text`, without their line ends.
std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0, end;
  while ((end = text.find('\n', start)) != std::string::npos) {
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

nlohmann::json parsed(const RunResult& r) {
  EXPECT_TRUE(nlohmann::json::accept(r.out)) << "not JSON:\n" << r.out;
  return nlohmann::json::parse(r.out, nullptr, false);
}

// What one successful command prints: `text` and not `absent`, with plain
// line ends and no blank the library puts between lines; with --json the
// output parses and holds `json` in its compact form.
struct PrintCase {
  Args args;
  std::vector<std::string> text, json = {}, absent = {};
};

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_GT(server_.port, 0) << server_.banner;
    mkdir(home_.file("stratus").c_str(), 0700);
    pointAt("stratus/settings.ini", server_.url());
  }

  // Writes the settings file `name` of the home, with both base URLs under
  // `base`; returns its path.
  std::string pointAt(const std::string& name, const std::string& base) {
    return home_.write(name, "[Internet]\nConditionsBase = " + base +
                                 "weather/current/\nWarningsBase = " + base +
                                 "iwin/\n");
  }

  // Runs stratus with the temporary home as its settings folder, in UTC;
  // `env` entries come first and win.
  RunResult run(Args args, std::vector<std::string> env = {},
                const std::string& input = "", bool errOnTerminal = false) {
    args.insert(args.begin(), STRATUS_CLI_PATH);
    env.insert(env.end(), {"TZ=UTC", "HOME=" + home_.path(),
                           "XDG_CONFIG_HOME=" + home_.path()});
    return runProgram(args, env, input, errOnTerminal);
  }

  // Runs each case; with `productText`, the JSON's "text" must be exactly the
  // plain output.
  void expectPrints(const std::vector<PrintCase>& cases,
                    bool productText = false) {
    for (const PrintCase& c : cases) {
      SCOPED_TRACE(::testing::PrintToString(c.args));
      RunResult r = run(c.args);
      EXPECT_EQ(r.status, 0) << r.err;
      for (const auto& x : c.text) EXPECT_TRUE(has(r.out, x)) << "no " << x;
      for (const auto& a : c.absent) EXPECT_FALSE(has(r.out, a)) << "has " << a;
      EXPECT_FALSE(has(r.out, "\r") || has(r.out, "\n ")) << r.out;
      Args args = c.args;
      args.push_back("--json");
      nlohmann::json j = parsed(run(args));
      if (productText) {
        ASSERT_TRUE(j.contains("text")) << j.dump();
        EXPECT_EQ(j["text"], r.out);
      }
      for (const auto& p : c.json) EXPECT_TRUE(has(j.dump(), p)) << "no " << p;
    }
  }

  TempDir home_;
  const std::string settings_ = home_.file("stratus/settings.ini");
  SampleServer server_{kSamplePages};
};

TEST_F(CliTest, PlacesListsStatesAndCities) {
  expectPrints({
      {{"places"},
       {"25  ma  Massachusetts", "72  pr  Puerto Rico"},
       {R"({"states":[{"id":1,"name":"Alabama","short":"al"},)",
        R"({"id":56,"name":"Wyoming","short":"wy"}]})"}},
      {{"places", "--state", "MA"}, {"2507000", "Worcester"}, {}, {"Denver"}},
      {{"places", "DES moines"},
       {"1921000  Des Moines", "West Des Moines", "wa  WAZ558"},
       {},
       {"Boston"}},
      {{"places", "boston", "--state", "ma"},
       {"2507000  Boston  ma  MAZ015  KBOS\n"},
       {R"({"cities":[{"code":"KBOS","county":"MAC025","id":2507000,)",
        R"("name":"Boston","office":"BOX","state":"ma","zone":"MAZ015"}],)",
        R"("query":"boston",)",
        R"("state":{"id":25,"name":"Massachusetts","short":"ma"}})"}},
  });
}

TEST_F(CliTest, NowShowsConditionsInTheUnitsAskedFor) {
  const std::string url = server_.url();
  expectPrints({
      {{"now", "Boston,", "MA"},
       // The report's 1754Z on Boston's clock; 5.6 C over a dew point of
       // -4.4 C is 48 % humidity (saturation pressures 9.10 and 4.41 hPa);
       // 42 F in 14 mph is a wind chill of 35 F on the weather service's
       // chart.
       {"Boston, Massachusetts, United States (station KBOS)\n", " 12:54 EST\n",
        "Temperature: 42 F\n", "Dew point:   24 F\n", "Humidity:    48%\n",
        "Wind chill:  35 F\n", "Pressure:    30.02 inHg (1016.6 hPa)\n",
        "Wind:        from W (270 deg) at 14 mph, gusts 23 mph\n"},
       {R"("pressure":{"hPa":1016.6,"inHg":30.02,"mmHg":762.5,)",
        R"("temperature":{"celsius":5.6,"fahrenheit":42.1,)",
        R"("direction":270,"gust":{"kmh":37.0,"kt":20,"mph":23.0},)",
        R"("speed":{"kmh":22.2,"kt":12,"mph":13.8},)",
        R"("url":")" + url + R"(weather/current/KBOS.html")",
        R"(T12:54:00-05:00",)", R"("relative_humidity":48.5,)",
        R"("heat_index":null,)"}},
      {{"now", "2507000", "--units", "Metric"},
       {"Temperature: 6 C\n", "Dew point:   -4 C\n", "1016.6 hPa (30.02 inHg)",
        "at 22 km/h, gusts 37 km/h\n"}},
      {{"--temp", "C", "--wind", "kt", "--pressure", "mmHg", "now",
        "boston, massachusetts"},
       {"Temperature: 6 C", "at 12 kt, gusts 20 kt",
        "762.5 mmHg (30.02 inHg)"}},
      {{"now", "Sacramento, CA"}, {"Wind:        variable at 4 mph\n"}},
      {{"now", "Boulder, CO"}, {"from WSW (240 deg) at 17 mph, gusts 29 mph"}},
      // A ZIP code, a station code and coordinates name a city too: 02108 is
      // Beacon Hill, Boston; 41.59,-93.62 lies in downtown Des Moines.
      {{"now", "02108"}, {"Boston, Massachusetts, United States (station "}},
      {{"now", "KDSM"}, {"Des Moines, Iowa, United States (station KDSM)"}},
      {{"now", "41.59,", "-93.62"}, {"Des Moines, Iowa, United States"}},
  });
}

TEST_F(CliTest, ProductsPrintThePlacesSection) {
  const std::string url = server_.url();
  expectPrints(
      {
          {{"forecast", "Boston, MA"}, {"Cambridge, Boston"}, {}, {"Milford"}},
          {{"forecast", "Seattle, WA"},
           {"City of Seattle-\n"},
           {R"("zone":"WAZ558"},"product":"forecast","text":"City of Seattle-)",
            R"("url":")" + url + R"(iwin/wa/zone.html"})"}},
          {{"warnings", "Boulder, CO"},
           {"HIGH WIND WARNING"},
           {},
           {"WATCH", "$$"}},
          {{"watches", "Worcester, MA"}, {"WINTER STORM WATCH"}},
          {{"statements", "Des Moines, IA"}, {"SNOW SQUALL MOVING THROUGH"}},
          {{"public", "Seattle, WA"}, {"Seattle-Tacoma Airport       0.42 IN"}},
          // By the office's heading (AFDBOX) under the UGC rule; by the city
          // code's marker line under the line rule.
          {{"discussion", "Boston, MA"},
           {"Area Forecast Discussion\nNational Weather Service Boston/Norton "
            "MA"},
           {},
           {"Lake effect"}},
          {{"--sections", "line", "discussion", "Boston, MA"},
           {"AFDBOX"},
           {},
           {"Lake effect"}},
          {{"summary", "Denver, CO"}, {"Cold and breezy across the urban"}},
      },
      true);

  TempDir oddRoot;  // a product page in a single-byte encoding
  mkdir(oddRoot.file("iwin").c_str(), 0755);
  mkdir(oddRoot.file("iwin/ma").c_str(), 0755);
  oddRoot.write("iwin/ma/zone.html",
                "<PRE>\nMAZ015-052100-\nNEAR 5 \xB0\n$$\n</PRE>\n");
  SampleServer oddServer(oddRoot.path());
  Args odd = {"forecast", "Boston, MA", "--json", "--config",
              pointAt("odd.ini", oddServer.url())};
  EXPECT_EQ(parsed(run(odd))["text"], "NEAR 5 \xEF\xBF\xBD\n");
}

TEST_F(CliTest, DecodePrintsTheReportsValues) {
  const std::string dsm =
      "KDSM 051754Z 32015G24KT 3SM -SN OVC012 M04/M06 A2987 RMK AO2 T10441061";
  const std::string egll =
      "METAR EGLL 051750Z 24012KT 9999 -RA BKN014CB 08/06 Q1008 NOSIG";
  expectPrints({
      {{"decode", "KSEA 051753Z 17009KT 8SM -RA OVC025 09/07 A2992 T00890072"},
       {"Report:      KSEA 051753Z", "Temperature: 48 F",
        "Wind:        from S (170 deg) at 10 mph"}},
      // Worked by hand: -4.4 C is 24.1 F; 3 SM is 4,828 m; a ceiling of
      // 1,200 ft with 3 SM is marginal (MVFR).
      {{"decode", dsm},
       {"Temperature: 24 F\n", "Visibility:  3 miles\n",
        "Weather:     light snow\n", "Sky:         overcast at 1,200 ft\n",
        "Ceiling:     1,200 ft\n", "Category:    MVFR\n"},
       {R"("ceiling_ft":1200,)", R"("flight_category":"MVFR")",
        R"("sky":[{"cover":"OVC","height_ft":1200,)",
        R"("visibility":{"bound":null,"cavok":false,"meters":4828,"miles":3.0,)",
        R"("weather":[{"code":"-SN","text":"light snow"}])"}},
      // 9999 is 10 km or more; 1008 hPa is 29.77 inHg.
      {{"decode", egll, "--units", "metric"},
       {"Pressure:    1008.0 hPa (29.77 inHg)\n",
        "Visibility:  more than 10 km\n",
        "Sky:         broken at 1,400 ft (cumulonimbus)\n"}},
      {{"decode", "--strict", dsm},
       {"Temperature: 24 F\n", "Wind:        from NW (320 deg)"},
       {R"("visibility":null,"weather":[])"},
       {"Visibility:", "Sky:"}},
      // A direction over 360 does not exist: the narrow reading keeps it as
      // coded (10 kt is 11.5 mph) with no compass point; the complete
      // reading reads no wind from it.
      {{"decode", "--strict", "KEWR 101651Z 90010KT 10SM 18/12 A2992 RMK"},
       {"Wind:        from 900 deg at 12 mph\n"},
       {R"("direction":900,)"},
       {"(900 deg)"}},
      {{"decode", "KEWR 101651Z 90010KT 10SM 18/12 A2992"},
       {"Temperature:"},
       {R"("wind":null)"},
       {"Wind:"}},
  });
  RunResult lines =
      run({"decode", "--jsonl", "-"}, {}, dsm + "\n" + egll + "\n");
  EXPECT_EQ(lines.status, 0) << lines.err;
  ASSERT_EQ(std::count(lines.out.begin(), lines.out.end(), '\n'), 2);
  EXPECT_EQ(nlohmann::json::parse(
                lines.out.substr(lines.out.find('\n') + 1))["sky"][0]["type"],
            "CB");
}

TEST_F(CliTest, ConfigShowsAndChangesOneLine) {
  const std::string none = home_.file("none.ini");
  const std::string mine = home_.write(
      "mine.ini", "; mine\n[internet]\nuseproxy = 1\nTimeout = 30\n");
  expectPrints({
      {{"config", "path"}, {settings_ + "\n"}, {"{\"path\":\"" + settings_}},
      {{"config", "get", "ProxyLocation"},
       {},
       {R"({"default":true,"key":"ProxyLocation","value":""})"}},
      {{"config", "list", "--config", none},
       {"; defaults, not set in " + none + ":\nUseProxy = 0\n"},
       {R"("settings":{"ConditionsBase":"http://127.0.0.1:8086/weather/)",
        R"(current/","ProxyLocation":"","UseProxy":0,)",
        R"("WarningsBase":"http://127.0.0.1:8086/iwin/"})"}},
      {{"config", "list", "--config", mine},
       {"[Internet]\nuseproxy = 1\nTimeout = 30\n; defaults, not set in " +
        mine + ":\nProxyLocation =\n"}},
      {{"config", "get", "TIMEOUT", "--config", mine}, {"30\n"}},
      {{"config", "set", "UseProxy", "0", "--config", mine},
       {},
       {R"({"key":"UseProxy","value":0})"}},
  });
  EXPECT_NE(access(none.c_str(), F_OK), 0) << "reading wrote the settings";
  EXPECT_EQ(readFile(mine), "; mine\n[internet]\nuseproxy = 0\nTimeout = 30\n")
      << "set changed more than its line";
}

// Failures print only an "Error: " message: not found 1, usage or an
// ambiguous place 64, no decodable report 65, no location data 66, a page
// not available 75 (naming its URL and setting).
TEST_F(CliTest, FailuresGiveTheirExitStatusAndMessage) {
  const std::string url = server_.url(), none = home_.file("none.ini");
  SampleServer gone(kSamplePages);
  gone.stop();
  const std::string down = pointAt("down.ini", gone.url());
  // Station pages without a report: the index, whatever the query asks.
  const std::string index = home_.write(
      "index.ini", "[Internet]\nConditionsBase = " + url + "index.html?s=\n");
  TempDir partial, folder;
  partial.write("states.ldt", "25\t1\tMassachusetts\tma\n");
  folder.write("states.ldt", "25\t1\tMassachusetts\tma\n");
  mkdir(folder.file("cities.ldt").c_str(), 0755);
  struct Case {
    Args args;
    int status;
    std::vector<std::string> messages = {};
  } cases[] = {
      {{"config", "get", "Colour"}, 1, {"the settings are UseProxy, Proxy"}},
      {{"now", "Nowhere, MA"}, 1, {"no city named \"Nowhere\" in Massach"}},
      {{"now", "99999"}, 1, {"no ZIP code 99999 in the data"}},
      {{"now", "Boston, XX"}, 1, {"no state \"XX\""}},
      // Mexico City is some 740 km from Brownsville, TX; 93.62 east is in
      // China; a latitude of 91 does not exist.
      {{"now", "19.43,-99.13"}, 1, {"no city within 300 km of 19.43,-99.13"}},
      {{"now", "41.59,93.62"},
       1,
       {"no city within 300 km", "US longitudes are negative"}},
      {{"now", "91,0"}, 1, {"91,0 are not coordinates"}},
      {{"forecast", "4294967295"}, 1, {"no city with id 4294967295"}},
      {{"watches", "Boston, MA"}, 1, {"no watches for Boston, MA (zone MA"}},
      {{"places", "xyzzy"}, 1, {"no city name contains \"xyzzy\""}},
      {{"now", "Denver"}, 64, {"1920035  Denver, IA"}},
      {{"forecast", "Cottonwood, AZ"}, 64, {"416410  Cottonwood (city), AZ"}},
      {{}, 64},
      {{"now"}, 64},
      {{"now", "Boston", "--units", "si"}, 64},
      {{"config"}, 64, {"needs one of: list, get, set, unset, reset, path"}},
      {{"config", "set", "Proxy", "x", "--config", none}, 64},
      {{"config", "set", "UseProxy", "yes", "--config", none}, 64},
      {{"config", "set", "UseProxy", "99999999999", "--config", none}, 64},
      {{"now", "Boston, MA", "--config", index}, 65, {"no observation report"}},
      {{"places", "--data-dir", "/none"}, 66, {"no location data in /none"}},
      {{"now", "Boston, MA", "--data-dir", partial.path()},
       66,
       {"cities.ldt is missing"}},
      {{"places", "--data-dir", folder.path()},
       66,
       {"cities.ldt is a folder, not a file"}},
      {{"now", "Boston, MA", "--config", down},
       75,
       {gone.url() + "weather/current/KBOS.html: nothing answered",
        "stratus-sample-server", "set ConditionsBase"}},
      {{"-q", "discussion", "Denver, CO", "--config", down},
       75,
       {gone.url() + "iwin/co/discussion.html", "set WarningsBase"}},
      // The sample server has no page for Austin's station.
      {{"now", "Austin, TX"},
       75,
       {"KATT.html: the server answered 404 Not Found",
        "check the "
        "ConditionsBase"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    RunResult r = run(c.args);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(has(r.err, "Error: ")) << r.err;
    for (const auto& m : c.messages) EXPECT_TRUE(has(r.err, m)) << r.err;
  }
  EXPECT_NE(access(none.c_str(), F_OK), 0) << "a refused set wrote the file";
}

// A malformed settings file stops each command that reads it with exit
// status 78 and the file's line, and is left exactly as it was.
TEST_F(CliTest, MalformedSettingsAreReportedAndLeftAlone) {
  struct Case {
    Args args;
    std::string text, where;
  } cases[] = {
      {{"now", "Boston, MA"}, "[Internet]\nUseProxy 1\n", "line 2: expected"},
      {{"forecast", "Boston, MA"},
       "UseProxy = 1\n[Internet]\n",
       "line 1: \"UseProxy\" stands before any [section]"},
      {{"config", "list"}, "[Internet\nUseProxy = 1\n", "line 1: a section"},
      {{"config", "set", "UseProxy", "0"},
       "[Internet]\n = 5\n",
       "line 2: missing"},
      {{"now", "Boston, MA"},
       "[Internet]\nUseProxy = 1\n\nuseproxy = 0\n",
       "line 4: \"useproxy\" is set twice"},
      {{"config", "set", "UseProxy", "0"},
       "; x\n[Internet]\nUseProxy = yes\n",
       "line 3: UseProxy must be a whole number"},
      // Edited by hand to what `config set` refuses.
      {{"now", "Boston, MA"},
       "[Internet]\nConditionsBase = file:///etc/\n",
       "line 2: ConditionsBase must be an http:// or https:// URL"},
      {{"forecast", "Boston, MA"},
       "[Internet]\nWarningsBase = http:///iwin/\n",
       "line 2: WarningsBase has no host"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args) + " with\n" + c.text);
    home_.write("stratus/settings.ini", c.text);
    RunResult r = run(c.args);
    EXPECT_EQ(r.status, 78);
    EXPECT_TRUE(
        has(r.err, "Error: settings file " + settings_ + ", " + c.where))
        << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(readFile(settings_), c.text);
  }
}

// Every sample city resolves in data/us and has its forecast and a station
// report read completely; read strictly, it has the five values, the time
// and the humidity, and nothing of the complete reading.
TEST_F(CliTest, EverySampleCityHasForecastAndConditions) {
  for (const char* id : {"2507000", "2582000", "667000", "664000", "820000",
                         "807850", "1921000", "5363000"}) {
    SCOPED_TRACE(id);
    EXPECT_EQ(run({"forecast", id}).status, 0);
    const std::string now = run({"now", id}).out;
    for (const char* label :
         {"Observed:", "Temperature:", "Dew point:", "Pressure:", "Wind:",
          "Visibility:", "Sky:", "Category:"})
      EXPECT_TRUE(has(now, std::string("\n") + label)) << label << now;
    const std::string strict = run({"now", id, "--strict"}).out;
    EXPECT_TRUE(has(strict, "\nHumidity:")) << strict;
    EXPECT_FALSE(has(strict, "\nVisibility:")) << strict;
  }
}

// The time zone, the data folder (--data-dir wins) and the settings folder
// (when absolute) come from the environment; help and version.
TEST_F(CliTest, EnvironmentHelpAndVersion) {
  RunResult est = run({"now", "boston", "ma"}, {"TZ=EST5EDT,M3.2.0,M11.1.0"});
  EXPECT_TRUE(has(est.out, "12:54 EST")) << est.out;
  const std::vector<std::string> env = {"STRATUS_DATA_DIR=/nonexistent"};
  EXPECT_EQ(run({"places"}, env).status, 66);
  Args data = {"places", "--data-dir",
               std::string(STRATUS_SOURCE_DIR) + "/data/us"};
  EXPECT_EQ(run(data, env).status, 0);
  EXPECT_EQ(run({"config", "path"}, {"XDG_CONFIG_HOME=relative"}).out,
            home_.path() + "/.config/stratus/settings.ini\n");
  EXPECT_TRUE(has(run({"--help"}).out, "Exit status: 0 success"));
  EXPECT_EQ(run({"--version"}).out.rfind("stratus 0.", 0), 0u);
}

// The status line: plain lines when standard error is no terminal,
// rewritten in place on one, hidden by --quiet; escape sequences only on a
// terminal without NO_COLOR; errors always shown.
TEST_F(CliTest, StatusLineFollowsTerminalQuietAndNoColor) {
  EXPECT_EQ(run({"forecast", "Boston, MA"}).err,
            "Getting forecast...\nReading data from server...\n");
  EXPECT_EQ(run({"forecast", "Boston, MA", "-q"}).err, "");
  RunResult inPlace = run({"forecast", "Boston, MA"}, {}, "", true);
  EXPECT_EQ(inPlace.err,
            "\r\033[KGetting forecast...\r\033[KReading data from server..."
            "\r\033[K");
  RunResult red = run({"now", "Tacoma, WA", "--quiet"}, {}, "", true);
  EXPECT_TRUE(has(red.err, "\033[1;31mError:\033[0m")) << red.err;
  RunResult noColor = run({"now", "Tacoma, WA"}, {"NO_COLOR=1"}, "", true);
  EXPECT_FALSE(has(noColor.err, "\033")) << noColor.err;
  EXPECT_TRUE(has(noColor.err, "\rGetting current conditions..."))
      << noColor.err;
  EXPECT_TRUE(has(noColor.err, "Error: page not available")) << noColor.err;
}

// Text from a server, a data file or the command line reaches the terminal
// with its control characters shown (ESC, OSC 52, 8-bit CSI); --json
// escapes them. A huge name is cut in the table, whole in JSON.
TEST_F(CliTest, ForeignTextCannotDriveTheTerminal) {
  TempDir root;
  mkdir(root.file("iwin").c_str(), 0755);
  mkdir(root.file("iwin/ma").c_str(), 0755);
  root.write("iwin/ma/zone.html",
             "<PRE>\nMAZ015-052100-\nA\x1B[2JB\x1B]52;c;aGk=\x07"
             "C\xC2\x9B"
             "31mD\x9B"
             "E \xC3\xA9\n$$\n</PRE>\n");
  SampleServer hostile(root.path());
  const std::string ini = pointAt("hostile.ini", hostile.url());
  RunResult text = run({"forecast", "Boston, MA", "--config", ini});
  EXPECT_EQ(text.out, "A^[[2JB^[]52;c;aGk=^GCM-^[31mDM-^[E \xC3\xA9\n");
  RunResult json = run({"forecast", "Boston, MA", "--config", ini, "--json"});
  EXPECT_TRUE(has(json.out, R"(A\u001b[2JB\u001b]52;c;aGk=\u0007C)"))
      << json.out;
  RunResult place = run({"now",
                         "\x1B]0;owned\x07"
                         "Boston, MA"});
  EXPECT_FALSE(has(place.err, "\x1B")) << place.err;
  EXPECT_TRUE(has(place.err, "^[]0;owned^G")) << place.err;

  TempDir data;
  data.write("states.ldt", "25\t1\tMassachusetts\tma\n");
  const std::string huge(1 << 20, 'x');
  data.write("cities.ldt",
             "2507000\t1\t25\tBoston\t\n2500001\t1\t25\t" + huge + "\t\n");
  RunResult table = run({"places", "--state", "ma", "--data-dir", data.path()});
  EXPECT_EQ(table.status, 0) << table.err;
  EXPECT_LT(table.out.size(), 1000u);
  EXPECT_TRUE(has(table.out, std::string(59, 'x') + "\xE2\x80\xA6"));
  RunResult whole =
      run({"places", "--state", "ma", "--data-dir", data.path(), "--json"});
  EXPECT_TRUE(has(whole.out, "\"" + huge + "\"")) << whole.out.size();
}

// decode - answers each report as it comes: its result is out while the
// pipe feeding it is still open and the next report not yet written.
TEST_F(CliTest, DecodeAnswersEachReportAsItComes) {
  int in[2], out[2];
  ASSERT_EQ(pipe(in), 0);
  ASSERT_EQ(pipe(out), 0);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    for (int fd : {in[0], in[1], out[0], out[1]}) close(fd);
    execl(STRATUS_CLI_PATH, "stratus", "decode", "--jsonl", "-", nullptr);
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  for (const std::string station : {"KDEN", "KBDU"}) {
    const std::string report =
        station + " 051753Z 19008KT 10SM M02/M12 A3021\n";
    ASSERT_EQ(write(in[1], report.data(), report.size()),
              static_cast<ssize_t>(report.size()));
    std::string got;
    while (got.find('\n') == std::string::npos) {
      pollfd p = {out[0], POLLIN, 0};
      ASSERT_EQ(poll(&p, 1, 10000), 1) << "no answer to " << station;
      char buf[4096];
      ssize_t n = read(out[0], buf, sizeof buf);
      ASSERT_GT(n, 0);
      got.append(buf, static_cast<size_t>(n));
    }
    EXPECT_TRUE(has(got, "\"report\":\"" + station)) << got;
  }
  close(in[1]);
  int status = -1;
  waitpid(pid, &status, 0);
  close(out[0]);
  EXPECT_EQ(status, 0);
}

// decode reads one report a line from standard input, needing no settings.
// A stream is exit status 0 when any report decoded, with the count of those
// that did not on standard error; 65 when none did; no report at all is 64.
TEST_F(CliTest, DecodeReadsStandardInput) {
  home_.write("stratus/settings.ini", "this is not a settings file\n");
  RunResult r = run(
      {"decode", "-", "--json"}, {},
      "KDEN 051753Z 19008KT 10SM M02/M12 A3021 RMK AO2\n\n  \r\nnot a report\n"
      "METAR KBDU 051755Z AUTO VRB03KT 10SM CLR M01/M13 A3018 RMK AO2\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(has(r.err,
                  "line 4: nothing could be decoded from \"not a "
                  "report\""))
      << r.err;
  EXPECT_TRUE(has(r.err, "1 of 3 reports decoded to nothing")) << r.err;
  nlohmann::json j = parsed(r);
  ASSERT_EQ(j["reports"].size(), 3u);
  EXPECT_EQ(j["reports"][0]["temperature"]["celsius"], -2.0);
  EXPECT_EQ(j["reports"][1]["decoded"], false);
  EXPECT_EQ(j["reports"][2]["wind"]["variable"], true);
  EXPECT_TRUE(j["reports"][2]["wind"]["direction"].is_null());
  EXPECT_EQ(run({"decode"}, {}, "\n").status, 64);
  EXPECT_EQ(run({"decode", "-"}, {}, "not a report\nnor this\n").status, 65);
}

// A stream's shape never moves a group from one report to another: CR, LF
// and CR LF all end a line, and a line over 64 KiB is skipped with a note,
// the next one read as usual.
TEST_F(CliTest, DecodeStreamLinesStayApart) {
  // KAAA alone has no ceiling (FEW110); KBBB's OVC005 is its own.
  const std::string a = "KAAA 051753Z 19008KT 10SM FEW110 M02/M12 A2998",
                    b = "KBBB 051753Z 19008KT 2SM OVC005 M02/M12 A2998";
  for (const char* end : {"\r", "\n", "\r\n"}) {
    RunResult r = run({"decode", "--jsonl", "-"}, {}, a + end + b + end);
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> lines = splitLines(r.out);
    ASSERT_EQ(lines.size(), 2u) << r.out;
    nlohmann::json first = nlohmann::json::parse(lines[0]);
    EXPECT_TRUE(first["ceiling_ft"].is_null()) << lines[0];
    EXPECT_EQ(first["flight_category"], "VFR") << lines[0];
    EXPECT_EQ(nlohmann::json::parse(lines[1])["ceiling_ft"], 500);
  }
  RunResult r = run({"decode", "--jsonl", "-"}, {},
                    std::string(70000, 'X') + "\n" + b + "\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(has(r.err, "line 1 is longer than 64 KiB")) << r.err;
  EXPECT_EQ(splitLines(r.out).size(), 1u) << r.out;
}

// Every JSON line is valid UTF-8 whatever bytes come in: bytes that are not
// UTF-8 become U+FFFD; valid sequences pass.
TEST_F(CliTest, DecodeJsonIsValidUtf8) {
  std::string input;
  unsigned seed = 12345;
  for (int line = 0; line < 2000; ++line) {
    input += "KDSM 051754Z ";
    for (int k = 0; k < 40; ++k) {
      seed = seed * 1103515245 + 12345;
      char c = static_cast<char>((seed >> 16) & 0xFF);
      if (c != '\n' && c != '\r') input += c;
    }
    input += "\n";
  }
  input += "K\xC3\xA9X \xED\xA0\x80 \xF4\x90\x80\x80 \xC0\xAF\n";
  RunResult r = run({"decode", "--jsonl", "-"}, {}, input);
  std::vector<std::string> lines = splitLines(r.out);
  ASSERT_EQ(lines.size(), 2001u);
  for (const std::string& l : lines) {
    nlohmann::json j = nlohmann::json::parse(l);  // throws on bad UTF-8
    ASSERT_TRUE(j.contains("report")) << l;
  }
  EXPECT_EQ(nlohmann::json::parse(lines.back())["report"],
            "K\xC3\xA9X \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD "
            "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD "
            "\xEF\xBF\xBD\xEF\xBF\xBD");
}

// The settings file's rules: config set refuses a base URL that is not
// http:// or https:// with a host (64), and writes only a regular file its
// owner may write, even as root (73, naming the path); reading refuses what
// is no regular file or over 1 MiB (78). Nothing is changed by a refusal.
TEST_F(CliTest, SettingsFileRulesHold) {
  const std::string file =
      home_.write("mine.ini", "[Internet]\nUseProxy = 0\n");
  const std::string readOnly = home_.write("ro.ini", "[Internet]\n");
  chmod(readOnly.c_str(), 0444);
  const std::string folder = home_.file("folder.ini");
  mkdir(folder.c_str(), 0700);
  const std::string zero = home_.file("zero.ini");
  symlink("/dev/zero", zero.c_str());
  const std::string big = home_.write(
      "big.ini", "[Internet]\n;" + std::string(1 << 20, 'x') + "\n");
  const std::string device = home_.file("device.ini");
  bool haveDevice =
      mknod(home_.file("null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0 &&
      symlink(home_.file("null").c_str(), device.c_str()) == 0;
  struct Case {
    Args args;
    int status;
    std::string message;
  } cases[] = {
      {{"ConditionsBase", "file:///etc/passwd", file},
       64,
       "ConditionsBase must be an http:// or https:// URL, not "
       "\"file:///etc/passwd\""},
      {{"WarningsBase", "ftp://127.0.0.1/iwin/", file},
       64,
       "WarningsBase must be an http:// or https:// URL"},
      {{"warningsbase", "gopher://127.0.0.1/", file}, 64, "must be an http://"},
      {{"ConditionsBase", "127.0.0.1:8086/weather/", file},
       64,
       "must be an http://"},
      {{"ConditionsBase", "", file}, 64, "must be an http://"},
      {{"ConditionsBase", "http://127.0.0.1/a b/", file},
       64,
       "must not hold blanks or control characters"},
      {{"WarningsBase", "http://127.0.0.1/\tiwin/", file},
       64,
       "must not hold blanks"},
      {{"WarningsBase", "https://user@:8086/iwin/", file}, 64, "has no host"},
      {{"WarningsBase", "http://[]:8086/iwin/", file}, 64, "has no host"},
      {{"UseProxy", "1", readOnly}, 73, readOnly + ": it is read-only"},
      {{"UseProxy", "1", folder}, 73, folder + ": it is a folder"},
      {{"UseProxy", "1", device},
       73,
       device + " (" + home_.file("null") + "): it is a character device"},
      {{"list", zero}, 78, zero + " (/dev/zero) is a character device"},
      {{"list", folder}, 78, folder + " is a folder, not a regular file"},
      {{"list", big}, 78, big + " is larger than 1 MiB"},
  };
  for (const Case& c : cases) {
    Args args = {"config", "set"};
    if (c.args.size() == 2) args = {"config"};
    args.insert(args.end(), c.args.begin(), c.args.end() - 1);
    args.insert(args.end(), {"--config", c.args.back()});
    SCOPED_TRACE(::testing::PrintToString(args));
    if (c.args.back() == device && !haveDevice) {
      std::cout << "device row skipped: mknod needs root\n";
      continue;
    }
    RunResult r = run(args);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_TRUE(has(r.err, c.message)) << r.err;
  }
  EXPECT_EQ(readFile(file), "[Internet]\nUseProxy = 0\n");
  EXPECT_EQ(readFile(readOnly), "[Internet]\n");
  struct stat st;
  EXPECT_TRUE(stat(device.c_str(), &st) != 0 || S_ISCHR(st.st_mode));

  Args https = {"config",   "set", "WarningsBase", "HTTPS://u@[::1]:8086/iwin/",
                "--config", file};
  EXPECT_EQ(run(https).status, 0);
  EXPECT_TRUE(has(readFile(file), "WarningsBase = HTTPS://u@[::1]:8086/iwin/"));
}

// Four runs of config set at once, each changing another key, round after
// round: every run's value is in the file afterwards.
TEST_F(CliTest, ConcurrentConfigSetsAllLand) {
  constexpr int kRounds = 6;
  int lost = 0;
  for (int round = 0; round < kRounds; ++round) {
    const std::string n = std::to_string(round);
    const std::vector<std::pair<std::string, std::string>> sets = {
        {"UseProxy", n},
        {"ProxyLocation", "proxy" + n + ":3128"},
        {"ConditionsBase", "http://c" + n + ".invalid/"},
        {"WarningsBase", "http://w" + n + ".invalid/"}};
    std::vector<int> status(sets.size());
    std::vector<std::thread> runs;
    for (size_t i = 0; i < sets.size(); ++i) {
      runs.emplace_back([&, i] {
        status[i] =
            run({"config", "set", sets[i].first, sets[i].second}).status;
      });
    }
    for (std::thread& t : runs) t.join();
    const std::string text = readFile(settings_);
    for (size_t i = 0; i < sets.size(); ++i) {
      EXPECT_EQ(status[i], 0) << sets[i].first;
      lost += !has(text, sets[i].first + " = " + sets[i].second + "\n");
    }
  }
  EXPECT_EQ(lost, 0) << "of " << 4 * kRounds << " writes";
}

}  // namespace
}  // namespace stratus_test
