// IniFile: parsing, lookups and in-place changes of settings text, and the
// atomic save on real files.
#include "ini_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "testing/corpus_files.h"
#include "testing/temp_dir.h"

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

// Values are trimmed, names match in any case, "=" ";" "#" stay in values,
// a byte order mark and CR LF are accepted, and the text round-trips.
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
  EXPECT_EQ(f.text(), text.substr(3))
      << "the text changes only by its byte order mark";
}

// set changes one line, or adds one after the section's last entry (a new
// section at the end), in the file's line ends; everything else stays.
TEST(IniFile, SetChangesOnlyItsLine) {
  struct Case {
    std::string before, key, value, after;
  } cases[] = {
      {"[Internet]\n  key  =   1\n", "KEY", "2", "[Internet]\n  key  = 2\n"},
      {"[Internet]\na = 1\n; note\n\n[X]\n", "b", "2",
       "[Internet]\na = 1\nb = 2\n; note\n\n[X]\n"},
      {"[Internet]\n[X]\nb = 1\n[internet]\na = 1\n", "c", "3",
       "[Internet]\n[X]\nb = 1\n[internet]\na = 1\nc = 3\n"},
      {"; top\n[X]\nb = 1", "c", "", "; top\n[X]\nb = 1\n\n[Internet]\nc = \n"},
      {"; a\r\n[Internet]\r\na=1\r\n", "b", "2",
       "; a\r\n[Internet]\r\na=1\r\nb = 2\r\n"},
      {"", "c", "v", "[Internet]\nc = v\n"},
  };
  for (const Case& c : cases) {
    IniFile f = parsed(c.before);
    f.set("Internet", c.key, c.value);
    EXPECT_EQ(f.text(), c.after) << c.before;
    EXPECT_EQ(*f.get("Internet", c.key), c.value) << c.before;
  }
}

// save replaces the file a symbolic link points at and keeps its permissions,
// makes missing folders private; an unwritable path is an error, no throw.
TEST(IniFile, SaveReplacesAtomically) {
  TempDir dir;
  std::string path = dir.write("real.ini", "[Internet]\na = 1\n");
  chmod(path.c_str(), 0600);
  ASSERT_EQ(symlink(path.c_str(), dir.file("link.ini").c_str()), 0);
  IniFile f = parsed("[Internet]\na = 2\n");
  std::string error;
  ASSERT_TRUE(IniFile::save(dir.file("link.ini"), f, error)) << error;
  EXPECT_EQ(readFile(path), "[Internet]\na = 2\n");
  struct stat st;
  ASSERT_EQ(lstat(dir.file("link.ini").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link was replaced by a file";
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ASSERT_TRUE(IniFile::save(dir.file("new/sub/settings.ini"), f, error));
  ASSERT_EQ(stat(dir.file("new/sub").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u) << "a new folder is private";

  dir.write("plain", "x");
  EXPECT_FALSE(IniFile::save(dir.file("plain/sub/settings.ini"), f, error));
  EXPECT_NE(error.find("plain"), std::string::npos) << error;

  IniFile::Error e;
  EXPECT_FALSE(IniFile::load(dir.path(), f, e))
      << "a folder is no settings file";
}

}  // namespace
}  // namespace stratus_cli
