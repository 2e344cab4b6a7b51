// WSettingsFile: the settings file as the reader's keeper, and the changes
// of the file that hosts make (set, unset, reset).
#include "stratus/host/settings_file.h"

#include <string>

#include <gtest/gtest.h>

#include "stratus/reader/reader.h"

#include "testing/corpus_files.h"
#include "testing/temp_dir.h"

namespace {

using stratus_test::readFile;
using stratus_test::TempDir;

const char kUserFile[] =
    "; mine\n"
    "[Internet]\n"
    "ConditionsBase = http://example.org/current/\n"
    "UseProxy = 0\n"
    "\n"
    "[Gateway]\n"
    "Contact = me@example.org\n";

// Purpose: the defaults the reader stores in its keeper stay in memory; the
// file on disk is what the user wrote.
TEST(SettingsFile, ReaderDefaultsNeverReachTheDisk) {
  TempDir dir;
  std::string path = dir.write("settings.ini", kUserFile);
  WSettingsFile file(path);
  std::string error;
  ASSERT_EQ(file.load(error), WSettingsFile::DONE) << error;
  WReader reader;
  reader.SetKeeper(&file);
  ASSERT_NE(file.get("internet", "warningsbase"), nullptr);
  EXPECT_EQ(*file.get("Internet", "WarningsBase"),
            "http://127.0.0.1:8086/iwin/");
  EXPECT_EQ(*file.get("Internet", "ConditionsBase"),
            "http://example.org/current/");
  EXPECT_EQ(readFile(path), kUserFile);
}

// Purpose: set, unset and reset change the settings section on disk and
// nothing else: comments, blank lines and other sections stay.
TEST(SettingsFile, SetUnsetResetKeepTheRest) {
  TempDir dir;
  std::string path = dir.write("settings.ini", kUserFile);
  WSettingsFile file(path);
  std::string error;
  ASSERT_EQ(file.set("warningsbase", "https://h.example/iwin/", error),
            WSettingsFile::DONE)
      << error;
  EXPECT_EQ(readFile(path),
            "; mine\n[Internet]\nConditionsBase = http://example.org/current/\n"
            "UseProxy = 0\nWarningsBase = https://h.example/iwin/\n\n"
            "[Gateway]\nContact = me@example.org\n");
  ASSERT_EQ(file.unset("CONDITIONSBASE", error), WSettingsFile::DONE) << error;
  EXPECT_EQ(readFile(path),
            "; mine\n[Internet]\nUseProxy = 0\n"
            "WarningsBase = https://h.example/iwin/\n\n"
            "[Gateway]\nContact = me@example.org\n");
  EXPECT_EQ(file.get("Internet", "ConditionsBase"), nullptr);
  ASSERT_EQ(file.reset(error), WSettingsFile::DONE) << error;
  EXPECT_EQ(readFile(path),
            "; mine\n[Internet]\n\n[Gateway]\nContact = me@example.org\n");
  ASSERT_NE(file.get("Gateway", "Contact"), nullptr);
}

// Purpose: a change that the rules refuse leaves the file as it was.
TEST(SettingsFile, RefusedChangesLeaveTheFile) {
  TempDir dir;
  std::string path = dir.write("settings.ini", kUserFile);
  WSettingsFile file(path);
  std::string error;
  struct Case {
    const char* key;
    const char* value;
    const char* reason;
  } cases[] = {
      {"Proxy", "x", "unknown setting \"Proxy\""},
      {"UseProxy", "yes", "UseProxy must be a whole number"},
      {"WarningsBase", "file:///etc/", "must be an http:// or https:// URL"},
      {"WarningsBase", "http:///iwin/", "has no host"},
      {"ProxyLocation", "a\nb", "one line"},
  };
  for (const Case& c : cases) {
    error.clear();
    EXPECT_EQ(file.set(c.key, c.value, error), WSettingsFile::REFUSED)
        << c.key << "=" << c.value;
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
  }
  dir.write("settings.ini", "[Internet]\nWarningsBase = ftp://h/\n");
  EXPECT_EQ(file.unset("UseProxy", error), WSettingsFile::BAD_FILE);
  EXPECT_NE(error.find("line 2"), std::string::npos) << error;
  EXPECT_EQ(readFile(path), "[Internet]\nWarningsBase = ftp://h/\n");
}

}  // namespace
