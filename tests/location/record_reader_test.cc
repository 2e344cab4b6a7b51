// The record reader parses most lines in place in the stream's buffer and
// falls back to LIStream's field extraction for a line that the buffer holds
// only in part. Both must select the same records with the same fields.
#include "location/record_reader.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace {

using stratus::IdFilter;
using stratus::RecordReader;
using stratus_test::TempDir;

struct Record {
  unsigned ids[RecordReader::kMaxIds];
  std::string name, data;
  bool operator==(const Record& o) const {
    return ids[0] == o.ids[0] && ids[1] == o.ids[1] && ids[2] == o.ids[2] &&
           name == o.name && data == o.data;
  }
};

std::string show(const std::vector<Record>& records) {
  std::string out;
  for (const Record& r : records)
    out += std::to_string(r.ids[0]) + "/" + std::to_string(r.ids[1]) + "/" +
           std::to_string(r.ids[2]) + " [" + r.name + "] [" + r.data + "]\n";
  return out;
}

// Every record of `file` that passes `filter`. The texts of records with
// an even id are read, the others are passed over, so both paths run.
std::vector<Record> readAll(const std::string& file, int idFields,
                            const IdFilter& filter, bool inPlace,
                            bool allTexts = false) {
  LIStream in(file.c_str());
  RecordReader r(in, idFields, filter, inPlace);
  std::vector<Record> out;
  while (r.next()) {
    Record rec{{0, 0, 0}, "", ""};
    for (int i = 0; i < idFields; ++i) rec.ids[i] = r.id(i);
    if (allTexts || rec.ids[0] % 2 == 0) {
      LString name, data;
      r.readTexts(name, data);
      rec.name.assign(name.c_str(), name.length());
      rec.data.assign(data.c_str(), data.length());
    } else {
      rec.name = rec.data = "(skipped)";
    }
    out.push_back(rec);
  }
  return out;
}

// The records of `all` that pass `filter`.
std::vector<Record> select(const std::vector<Record>& all,
                           const IdFilter& filter) {
  std::vector<Record> out;
  for (const Record& r : all) {
    bool pass = true;
    for (int i = 0; i < filter.count(); ++i)
      pass = pass && r.ids[filter.field(i)] == filter.value(i);
    if (pass) out.push_back(r);
  }
  return out;
}

// A literal's bytes, NULs included.
template <size_t N>
std::string bytes(const char (&text)[N]) {
  return std::string(text, N - 1);
}

// Lines that exercise every rule of the record syntax.
const std::string kTricky =
    "1\t1\t6\tPlain\tazone(CAZ006)acode(KSFO)\n"
    "\n"
    "\r\n"
    "\r2\t1\t6\tLeading CR\td\n"
    "3\t1\t6\tCR LF\td\r\n"
    "4\t1\t6\r\tCR in an id\td\n"
    "5\t1\t6\tCR in a name\r\td\r\n"
    "6\t1\t6\n"
    "7\t1\t6\tName only\n"
    "8\t1\n"
    "9\n"
    "\t1\t6\tEmpty id\td\n"
    "10\t\t6\tEmpty country\td\n"
    "011\t01\t006\tLeading zeros\td\n"
    "00\t1\t6\tZero id\td\n"
    "12\t1\t6x\tJunk in an id\td\n"
    "4294967295\t1\t6\tLargest id\td\n"
    "4294967296\t1\t6\tId over 32 bits\td\n"
    "12345678901\t1\t6\tEleven digits\td\n"
    "13\t1\t6\tExtra\td\tmore\tmore\n"
    "14\t1\t6\t\t\n"
    "15\t1\t66\tOther state\td\n"
    "16\t1\t7\tState 7\td\n"
    "17\t2\t6\tCountry 2\td\n"
    "-18\t1\t6\tNegative\td\n"
    " 19\t1\t6\tBlank first\td\n"
    "20\t1\t6\r\r\tTwo CRs\td\n" +
    bytes("21\t1\t6\tNUL\0inside\td\0\n") + "22\t1\t6\tNo final line end\td";

const int kFields[] = {1, 2, 3};

std::vector<IdFilter> filtersFor(int idFields) {
  std::vector<IdFilter> out = {IdFilter(), IdFilter().require(0, 11),
                               IdFilter().require(0, 4294967295u),
                               IdFilter().require(0, 0)};
  if (idFields >= 2) out.push_back(IdFilter().require(1, 1));
  if (idFields >= 3) {
    out.push_back(IdFilter().require(2, 6).require(1, 1));
    out.push_back(IdFilter().require(2, 6));
    out.push_back(IdFilter().require(2, 66).require(1, 1));
  }
  return out;
}

// Purpose: the in-place parser and the field extraction agree on every
// tricky line, for every filter, with the end of the stream's 64 KiB block
// falling at every other byte of the tricky lines.
TEST(RecordReader, InPlaceAgreesWithExtraction) {
  TempDir dir;
  const std::string filler =
      "100\t1\t9\t" + std::string(400, 'f') + "\tazone(X)acode(Y)\n";
  for (size_t shift = 0; shift <= kTricky.size(); shift += 2) {
    // The block ends `shift` bytes into the tricky lines.
    std::string content;
    size_t skew = 65536 - shift;
    while (content.size() + filler.size() <= skew) content += filler;
    content.append(skew - content.size(), '\n');
    content += kTricky;
    std::string file = dir.write("records.ldt", content);
    for (int idFields : kFields) {
      std::vector<Record> slow = readAll(file, idFields, IdFilter(), false);
      for (const IdFilter& f : filtersFor(idFields)) {
        std::vector<Record> fast = readAll(file, idFields, f, true);
        std::vector<Record> expected = select(slow, f);
        ASSERT_TRUE(fast == expected)
            << show(fast) << "---\n"
            << show(expected) << "shift " << shift << ", " << idFields
            << " id fields, filter " << (f.count() ? f.field(0) : -1) << "="
            << (f.count() ? f.value(0) : 0);
      }
    }
  }
}

// Purpose: the rules themselves, on the tricky lines read with three id
// fields: which records exist, and what their texts are.
TEST(RecordReader, RecordSyntax) {
  TempDir dir;
  std::string file = dir.write("records.ldt", kTricky);
  const char* expected =
      "1/1/6 [Plain] [azone(CAZ006)acode(KSFO)]\n"
      "2/1/6 [Leading CR] [d]\n"
      "3/1/6 [CR LF] [d]\n"
      "4/1/6 [CR in an id] [d]\n"
      "5/1/6 [CR in a name] [d]\n"
      "6/1/6 [] []\n"
      "7/1/6 [Name only] []\n"
      "11/1/6 [Leading zeros] [d]\n"
      "0/1/6 [Zero id] [d]\n"
      "4294967295/1/6 [Largest id] [d]\n"
      "13/1/6 [Extra] [d]\n"
      "14/1/6 [] []\n"
      "15/1/66 [Other state] [d]\n"
      "16/1/7 [State 7] [d]\n"
      "17/2/6 [Country 2] [d]\n";
  std::string all = show(readAll(file, 3, IdFilter(), true, true));
  EXPECT_EQ(all, expected + bytes("21/1/6 [NUL\0inside] [d\0]\n") +
                     "22/1/6 [No final line end] [d]\n");
}

}  // namespace
