// IniFile: parsing, lookups and in-place changes of settings text, and the
// atomic save on real files.
#include "ini_file.h"

#include <dirent.h>

#include <string>

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace stratus_cli {
namespace {

using stratus_test::readFile;
using stratus_test::TempDir;

IniFile parsed(const std::string& text) {
  IniFile f;
  IniFile::Error e;
  EXPECT_TRUE(f.parse(text, e))
      << text << "\nline " << e.line << ": " << e.message;
  return f;
}

// ---------------------------------------------------------------------------
// Values as read: trimmed, any case of section and key, "=" ";" "#" kept
// inside values, byte order mark and CR LF accepted; the text round-trips.

TEST(IniFile, ReadsValuesAndRoundTrips) {
  const std::string text =
      "\xEF\xBB\xBF; comment\r\n[ Internet ]\r\n\tBase =  http://h/p?a=1;b#c  "
      "\r\n"
      "Empty=\r\n# other\r\n[Other]\r\nBase = 2\r\n";
  IniFile f = parsed(text);
  ASSERT_NE(f.get("internet", "BASE"), nullptr);
  EXPECT_EQ(*f.get("internet", "BASE"), "http://h/p?a=1;b#c");
  EXPECT_EQ(*f.get("Internet", "empty"), "");
  EXPECT_EQ(*f.get("other", "base"), "2");
  EXPECT_EQ(f.get("Internet", "Missing"), nullptr);
  EXPECT_EQ(f.lineOf("Other", "Base"), 7);
  EXPECT_EQ(f.entries("Internet").size(), 2u);
  EXPECT_EQ(f.text(), text.substr(3))
      << "the text changes only by its byte order mark";
}

// ---------------------------------------------------------------------------
// set: one line changes or one is added; everything else stays.

TEST(IniFile, SetChangesOnlyItsLine) {
  struct Case {
    std::string before, key, value, after;
  } cases[] = {
      {"[Internet]\nkey=1\n", "KEY", "2", "[Internet]\nkey=2\n"},
      {"[Internet]\n  key  =   1\n", "key", "2", "[Internet]\n  key  = 2\n"},
      {"[Internet]\na = 1\n; note\n\n[X]\n", "b", "2",
       "[Internet]\na = 1\nb = 2\n; note\n\n[X]\n"},
      {"[Internet]\n[X]\nb = 1\n[internet]\na = 1\n", "c", "3",
       "[Internet]\n[X]\nb = 1\n[internet]\na = 1\nc = 3\n"},
      {"; top\n[X]\nb = 1", "c", "", "; top\n[X]\nb = 1\n\n[Internet]\nc = \n"},
      {"", "c", "v", "[Internet]\nc = v\n"},
  };
  for (const Case& c : cases) {
    IniFile f = parsed(c.before);
    f.set("Internet", c.key, c.value);
    EXPECT_EQ(f.text(), c.after) << c.before;
    EXPECT_EQ(*f.get("Internet", c.key), c.value) << c.before;
  }
}

// ---------------------------------------------------------------------------
// save: the file is replaced whole, no temporary file is left behind, and a
// path that cannot be written is an error, not an exception.

TEST(IniFile, SaveReplacesAtomically) {
  TempDir dir;
  std::string path = dir.write("settings.ini", "[Internet]\na = 1\n");
  IniFile f = parsed(readFile(path));
  f.set("Internet", "a", "2");
  std::string error;
  ASSERT_TRUE(IniFile::save(path, f, error)) << error;
  EXPECT_EQ(readFile(path), "[Internet]\na = 2\n");
  int files = 0;
  DIR* d = opendir(dir.path().c_str());
  while (dirent* e = readdir(d)) files += e->d_name[0] != '.';
  closedir(d);
  EXPECT_EQ(files, 1) << "a temporary file was left behind";

  dir.write("plain", "x");
  EXPECT_FALSE(IniFile::save(dir.file("plain/sub/settings.ini"), f, error));
  EXPECT_NE(error.find("plain"), std::string::npos) << error;

  IniFile loaded;
  IniFile::Error e;
  EXPECT_TRUE(IniFile::load(dir.file("missing.ini"), loaded, e))
      << "a missing file is empty";
  EXPECT_FALSE(IniFile::load(dir.path(), loaded, e))
      << "a folder is no settings file";
}

}  // namespace
}  // namespace stratus_cli
