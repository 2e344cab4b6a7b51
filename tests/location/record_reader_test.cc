// The record reader: its in-place parser against LIStream's field extraction.
#include "location/record_reader.h"

#include <string>

#include <gtest/gtest.h>

#include "testing/temp_dir.h"

namespace {

using stratus::IdFilter;
using stratus::RecordReader;
using stratus_test::TempDir;

// The records of `file`, one a line; texts read for even ids (or all) only.
std::string readAll(const std::string& file, int idFields,
                    const IdFilter& filter, bool inPlace,
                    bool allTexts = false) {
  LIStream in(file.c_str());
  RecordReader r(in, idFields, filter, inPlace);
  std::string out;
  while (r.next()) {
    for (int i = 0; i < idFields; ++i)
      out += (i ? "/" : "") + std::to_string(r.id(i));
    LString name, data;
    if (allTexts || r.id(0) % 2 == 0) r.readTexts(name, data);
    out += " [" + std::string(name.c_str(), name.length()) + "] [" +
           std::string(data.c_str(), data.length()) + "]\n";
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
    bytes("21\t1\t6\tNUL\0inside\td\0\n\x01\xff\0\t\t\t\n\x80\t9\n") +
    "22\t1\t6\tNo final line end\td";

// The filters to read the tricky lines with, by the id fields they need.
const struct {
  int idFields;
  IdFilter filter;
} kFilters[] = {{1, IdFilter()},
                {1, IdFilter().require(0, 11)},
                {1, IdFilter().require(0, 4294967295u)},
                {1, IdFilter().require(0, 0)},
                {2, IdFilter().require(1, 1)},
                {3, IdFilter().require(2, 6).require(1, 1)},
                {3, IdFilter().require(2, 6)},
                {3, IdFilter().require(2, 66).require(1, 1)}};

// Both parsers agree, with the 64 KiB block ending at every other byte.
TEST(RecordReader, InPlaceAgreesWithExtraction) {
  TempDir dir;
  const std::string filler =
      "100\t1\t9\t" + std::string(400, 'f') + "\tazone(X)acode(Y)\n";
  for (size_t shift = 0; shift <= kTricky.size(); shift += 2) {
    std::string content;
    size_t skew = 65536 - shift;
    while (content.size() + filler.size() <= skew) content += filler;
    content.append(skew - content.size(), '\n');
    std::string file = dir.write("records.ldt", content + kTricky);
    for (const auto& f : kFilters) {
      for (int idFields = f.idFields; idFields <= 3; ++idFields) {
        ASSERT_EQ(readAll(file, idFields, f.filter, true),
                  readAll(file, idFields, f.filter, false))
            << "shift " << shift << ", " << idFields << " id fields, filter "
            << (f.filter.count() ? f.filter.field(0) : -1) << "="
            << (f.filter.count() ? f.filter.value(0) : 0);
      }
    }
  }
}

// The rules themselves: the records and texts of the tricky lines.
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
  EXPECT_EQ(readAll(file, 3, IdFilter(), true, true),
            expected + bytes("21/1/6 [NUL\0inside] [d\0]\n") +
                "22/1/6 [No final line end] [d]\n");
}

}  // namespace
