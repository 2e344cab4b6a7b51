// The fixture of the `stratus` end-to-end tests: a temporary home with a
// settings file that points at a real sample server started for the test.
#ifndef STRATUS_TESTS_TOOLS_CLI_TEST_H_
#define STRATUS_TESTS_TOOLS_CLI_TEST_H_

#include <sys/stat.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/temp_dir.h"
#include "tool_runner.h"

namespace stratus_test {

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server_ = std::make_unique<SampleServer>(sourcePath("tools/sample_pages"));
    ASSERT_TRUE(server_->started()) << server_->banner();
    mkdir(home_.file("config").c_str(), 0700);
    mkdir(home_.file("config/stratus").c_str(), 0700);
    pointAt(server_->url());
  }

  // Writes a settings file whose two base URLs start with `base`.
  void pointAt(const std::string& base) {
    writeSettings("[Internet]\nConditionsBase = " + base +
                  "weather/current/\nWarningsBase = " + base + "iwin/\n");
  }
  void writeSettings(const std::string& text) {
    home_.write("config/stratus/settings.ini", text);
  }
  std::string settingsPath() const {
    return home_.file("config/stratus/settings.ini");
  }

  // Runs stratus with `args` in a clean environment: the temporary home,
  // UTC, no terminal; `env` entries come first and win.
  RunResult run(std::vector<std::string> args, RunOptions options = {}) {
    args.insert(args.begin(), stratusPath());
    for (const char* v : {"PATH=/usr/bin:/bin", "TZ=UTC"})
      options.env.push_back(v);
    options.env.push_back("HOME=" + home_.path());
    options.env.push_back("XDG_CONFIG_HOME=" + home_.file("config"));
    return runProgram(args, options);
  }

  // The parsed standard output; fails the test when it is not JSON.
  static nlohmann::json json(const RunResult& r) {
    EXPECT_TRUE(nlohmann::json::accept(r.out)) << "not JSON:\n" << r.out;
    return nlohmann::json::parse(r.out, nullptr, false);
  }

  TempDir home_;
  std::unique_ptr<SampleServer> server_;
};

// "stratus a b c" for failure messages.
inline std::string shown(const std::vector<std::string>& args) {
  std::string s = "stratus";
  for (const std::string& a : args) s += " " + a;
  return s;
}

}  // namespace stratus_test

#endif  // STRATUS_TESTS_TOOLS_CLI_TEST_H_
