#include "stratus/foundation/istream.h"

#include <string>

#include <gtest/gtest.h>

#include "testing/temp_dir.h"

namespace {

using stratus_test::TempDir;

struct Record {
  unsigned id = 0;
  unsigned country = 0;
  std::string name, data;
  bool fail = false;
};

// Reads every states-like record (id, country, name, data) the way the
// database does: test eof, read the fields, end the record.
std::vector<Record> readAll(const std::string& path) {
  LIStream in(path.c_str());
  std::vector<Record> out;
  while (!in.eof()) {
    Record r;
    LString name, data;
    in.clearFail();
    in >> r.id >> r.country >> name >> data;
    in.endRecord();
    r.name = name.c_str();
    r.data = data.c_str();
    r.fail = in.fail();
    out.push_back(r);
  }
  return out;
}

// Purpose: line ends of every kind and blank lines give the same records.
TEST(LIStream, RecordLayouts) {
  struct Case {
    const char* name;
    std::string content;
    size_t records;
  } cases[] = {
      {"plain", "1\t2\tAlabama\tAL\n5\t2\tAlaska\tAK", 2},
      {"trailing LF", "1\t2\tAlabama\tAL\n5\t2\tAlaska\tAK\n", 2},
      {"CR LF", "1\t2\tAlabama\tAL\r\n5\t2\tAlaska\tAK\r\n", 2},
      {"blank lines", "\n\n1\t2\tAlabama\tAL\n\n\n5\t2\tAlaska\tAK\n\n", 2},
      {"empty", "", 0},
      {"only line ends", "\n\r\n\n", 0},
  };
  for (const Case& c : cases) {
    TempDir dir;
    auto records = readAll(dir.write("states.ldt", c.content));
    ASSERT_EQ(records.size(), c.records) << c.name;
    if (c.records == 2) {
      EXPECT_EQ(records[1].id, 5u) << c.name;
      EXPECT_EQ(records[1].name, "Alaska") << c.name;
      EXPECT_EQ(records[1].data, "AK") << c.name;
      EXPECT_FALSE(records[1].fail) << c.name;
    }
  }
}

// Purpose: malformed fields never shift the next record and set fail().
TEST(LIStream, MalformedRecords) {
  TempDir dir;
  std::string content =
      "1\t2\tcut short\n"         // one field missing
      "x7\t2\tbad id\tBI\n"       // non-numeric id
      "4294967296\t2\tbig\tBG\n"  // over 32 bits
      "4294967295\t2\tmax\tMX\n"  // the largest id
      "9\t2\tName with blanks and ü\tD\textra\tfields\n"
      "10\t2\t\t\n";  // empty text fields
  auto r = readAll(dir.write("s.ldt", content));
  ASSERT_EQ(r.size(), 6u);
  EXPECT_EQ(r[0].name, "cut short");
  EXPECT_EQ(r[0].data, "");
  EXPECT_TRUE(r[1].fail);
  EXPECT_EQ(r[1].id, 0u);
  EXPECT_TRUE(r[2].fail);
  EXPECT_FALSE(r[3].fail);
  EXPECT_EQ(r[3].id, 4294967295u);
  EXPECT_EQ(r[4].name, "Name with blanks and ü");
  EXPECT_EQ(r[4].data, "D");
  EXPECT_EQ(r[5].id, 10u);
  EXPECT_EQ(r[5].name, "");
}

// Purpose: a field longer than the read buffer arrives whole, and rewind
// reads the file again from the start.
TEST(LIStream, LongLineAndRewind) {
  TempDir dir;
  std::string longName(1 << 20, 'n');
  std::string path =
      dir.write("c.ldt", "1\t2\t" + longName + "\tD\n3\t4\tx\ty\n");
  LIStream in(path.c_str());
  unsigned id, country;
  LString name, data;
  in >> id >> country >> name >> data;
  in.endRecord();
  EXPECT_EQ(name.length(), 1 << 20);
  EXPECT_STREQ(data, "D");
  EXPECT_EQ(in.rewind(), 0);
  in >> id;
  EXPECT_EQ(id, 1u);
}

// Purpose: a missing file, a directory and a closed stream read nothing.
TEST(LIStream, NotOpen) {
  TempDir dir;
  for (const std::string& path : {dir.file("missing.ldt"), dir.path()}) {
    LIStream in(path.c_str());
    EXPECT_FALSE(in.isOpen()) << path;
    EXPECT_TRUE(in.eof()) << path;
    EXPECT_NE(in.rewind(), 0) << path;
    LString s("keep");
    in >> s;
    EXPECT_STREQ(s, "") << path;
  }
}

}  // namespace
