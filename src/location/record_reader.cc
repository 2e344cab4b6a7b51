#include "location/record_reader.h"

namespace stratus {

RecordReader::RecordReader(LIStream& in, int idFields)
    : in_(in), idFields_(idFields), ids_{0, 0, 0} {}

bool RecordReader::next() {
  while (!in_.eof()) {
    in_.clearFail();
    in_ >> ids_[0];
    if (!in_.fail()) return true;
    in_.endRecord();
  }
  return false;
}

bool RecordReader::readIds() {
  for (int i = 1; i < idFields_; ++i) in_ >> ids_[i];
  if (!in_.fail()) return true;
  in_.endRecord();
  return false;
}

void RecordReader::readTexts(LString& name, LString& data) {
  in_ >> name >> data;
  in_.endRecord();
}

}  // namespace stratus
