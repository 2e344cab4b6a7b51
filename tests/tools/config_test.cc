// End-to-end tests of `stratus config` and of the settings file as every
// command reads it: where it lives, the library's defaults, changes that
// keep the user's text, and malformed files that are reported, never reset.
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli_test.h"

namespace stratus_test {
namespace {

using Args = std::vector<std::string>;

class ConfigTest : public CliTest {};

// ---------------------------------------------------------------------------
// Where the file is: --config, then $XDG_CONFIG_HOME (when absolute), then
// ~/.config.

TEST_F(ConfigTest, PathFollowsOptionAndEnvironment) {
  EXPECT_EQ(run({"config", "path"}).out, settingsPath() + "\n");
  EXPECT_EQ(run({"config", "path", "--config", "/x/s.ini"}).out, "/x/s.ini\n");
  RunOptions relative;
  relative.env = {"XDG_CONFIG_HOME=relative/dir"};
  EXPECT_EQ(run({"config", "path"}, relative).out,
            home_.path() + "/.config/stratus/settings.ini\n");
  EXPECT_EQ(json(run({"config", "path", "--json"}))["path"], settingsPath());
}

// ---------------------------------------------------------------------------
// list and get show the file's values and, for the keys it lacks, the
// defaults that the library stores; nothing is written by reading.

TEST_F(ConfigTest, ListAndGetShowValuesAndDefaults) {
  unlink(settingsPath().c_str());
  nlohmann::json all = json(run({"config", "list", "--json"}));
  EXPECT_EQ(all["settings"]["UseProxy"], 0);
  EXPECT_EQ(all["settings"]["ProxyLocation"], "");
  EXPECT_EQ(all["settings"]["ConditionsBase"],
            "http://127.0.0.1:8086/weather/current/");
  EXPECT_EQ(all["settings"]["WarningsBase"], "http://127.0.0.1:8086/iwin/");
  EXPECT_EQ(all["defaults"].size(), 4u);
  EXPECT_NE(access(settingsPath().c_str(), F_OK), 0)
      << "reading created the file";

  writeSettings("[internet]\nuseproxy = 1\nTimeout = 30\n");
  RunResult text = run({"config", "list"});
  EXPECT_EQ(text.status, 0);
  EXPECT_EQ(text.out.substr(0, 38), "[Internet]\nuseproxy = 1\nTimeout = 30\n;")
      << text.out;
  EXPECT_EQ(run({"config", "get", "USEPROXY"}).out, "1\n");
  EXPECT_EQ(run({"config", "get", "timeout"}).out, "30\n");
  EXPECT_EQ(run({"config", "get", "WarningsBase"}).out,
            "http://127.0.0.1:8086/iwin/\n");
  nlohmann::json one = json(run({"config", "get", "ProxyLocation", "--json"}));
  EXPECT_EQ(one,
            (nlohmann::json{
                {"key", "ProxyLocation"}, {"value", ""}, {"default", true}}));
  RunResult missing = run({"config", "get", "Colour"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("ConditionsBase"), std::string::npos)
      << missing.err;
}

// ---------------------------------------------------------------------------
// set changes one line and keeps everything else of the user's file; the
// new value is what the next fetch uses.

TEST_F(ConfigTest, SetKeepsCommentsOrderAndSpelling) {
  writeSettings(
      "; my settings\r\n[Other]\r\nkey=1\r\n\r\n[Internet]\r\n# proxy off\r\n"
      "useproxy=0\r\n\r\n; end\r\n");
  EXPECT_EQ(run({"config", "set", "UseProxy", "1"}).status, 0);
  EXPECT_EQ(
      run({"config", "set", "WarningsBase", server_->url() + "iwin/"}).status,
      0);
  EXPECT_EQ(
      readFile(settingsPath()),
      "; my settings\r\n[Other]\r\nkey=1\r\n\r\n[Internet]\r\n# proxy off\r\n"
      "useproxy=1\r\nWarningsBase = " +
          server_->url() + "iwin/\r\n\r\n; end\r\n");

  unlink(settingsPath().c_str());
  rmdir(home_.file("config/stratus").c_str());
  ASSERT_EQ(
      run({"config", "set", "ConditionsBase", "http://example.invalid/c/"})
          .status,
      0);
  EXPECT_EQ(readFile(settingsPath()),
            "[Internet]\nConditionsBase = http://example.invalid/c/\n");
  struct stat st;
  ASSERT_EQ(stat(home_.file("config/stratus").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  nlohmann::json j = json(run({"config", "set", "useproxy", "0", "--json"}));
  EXPECT_EQ(j, (nlohmann::json{{"key", "UseProxy"}, {"value", 0}}));
}

TEST_F(ConfigTest, SetFollowsSymlinkAndKeepsPermissions) {
  std::string target = home_.write("real.ini", "[Internet]\nUseProxy = 0\n");
  chmod(target.c_str(), 0600);
  unlink(settingsPath().c_str());
  ASSERT_EQ(symlink(target.c_str(), settingsPath().c_str()), 0);
  ASSERT_EQ(run({"config", "set", "UseProxy", "1"}).status, 0);
  struct stat st;
  ASSERT_EQ(lstat(settingsPath().c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link was replaced by a file";
  EXPECT_EQ(readFile(target), "[Internet]\nUseProxy = 1\n");
  ASSERT_EQ(stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(ConfigTest, SetRefusesBadKeysAndValues) {
  const std::string before = readFile(settingsPath());
  for (const Args& args : {Args{"config", "set", "Proxy", "x"},
                           Args{"config", "set", "UseProxy", "yes"},
                           Args{"config", "set", "UseProxy", "99999999999"}}) {
    RunResult r = run(args);
    EXPECT_EQ(r.status, 64) << shown(args);
    EXPECT_NE(r.err.find("Error: "), std::string::npos) << shown(args);
  }
  EXPECT_EQ(readFile(settingsPath()), before);
}

// ---------------------------------------------------------------------------
// A malformed file stops every command that reads settings with exit
// status 78 and the file's line, and is left exactly as it was.

TEST_F(ConfigTest, MalformedFileIsReportedAndLeftAlone) {
  struct Case {
    std::string text, where;
  } cases[] = {
      {"[Internet]\nUseProxy 1\n", "line 2: expected \"key = value\""},
      {"UseProxy = 1\n[Internet]\n",
       "line 1: \"UseProxy\" stands before any [section]"},
      {"[Internet\nUseProxy = 1\n", "line 1:"},
      {"[Internet]\n = 5\n", "line 2: missing key"},
      {"[Internet]\nUseProxy = 1\n\nuseproxy = 0\n",
       "line 4: \"useproxy\" is set twice"},
      {"; x\n[Internet]\nUseProxy = yes\n",
       "line 3: UseProxy must be a whole number"},
  };
  for (const Case& c : cases) {
    writeSettings(c.text);
    for (const Args& args :
         {Args{"now", "Boston, MA"}, Args{"forecast", "Boston, MA"},
          Args{"config", "list"}, Args{"config", "set", "UseProxy", "0"}}) {
      RunResult r = run(args);
      EXPECT_EQ(r.status, 78) << shown(args) << " with\n" << c.text;
      EXPECT_NE(r.err.find(settingsPath() + ", " + c.where), std::string::npos)
          << shown(args) << ":\n"
          << r.err;
      EXPECT_EQ(r.out, "") << shown(args);
      EXPECT_EQ(readFile(settingsPath()), c.text) << shown(args);
    }
  }
}

}  // namespace
}  // namespace stratus_test
