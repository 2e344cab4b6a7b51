// The end of a report: temperature and dew point, altimeter setting, and the
// remarks scanned for the station type and the temperature in tenths.
#include "stratus/foundation/result.h"

#include "observation/group.h"
#include "observation/parsers.h"

namespace stratus {

namespace {

// Whole degrees: "M" in front means minus.
float wholeDegrees(LString part) {
  if (part.compareLeft("M")) {
    part.cutLeft(1);
    long value;
    part.convert(value);
    return -static_cast<float>(value);  // negated as a float: no overflow
  }
  long value;
  part.convert(value);
  return static_cast<float>(value);
}

// Tenths of a degree, four characters: a leading "1" means minus, any other
// first character is read as part of the number.
float tenthsOfDegree(LString part) {
  if (part.compareLeft("1")) {
    part.cutLeft(1);
    long value;
    part.convert(value);
    return -(static_cast<float>(value) * 0.1f);
  }
  long value;
  part.convert(value);
  return static_cast<float>(value) * 0.1f;
}

}  // namespace

// [M]tt/[M]dd — split at the first "/".
int parseTemperature(LString& text, float& temperature, float& dewPoint) {
  int end = nextGroup(text);
  if (end < 0 || findChar(text, 0, end, '/') < 0) return L_FORMAT;
  LString group, temp, dew;
  text.left(end, group);
  group.split("/", temp, dew);
  temperature = wholeDegrees(temp);
  dewPoint = wholeDegrees(dew);
  consumeGroup(text, end);
  return L_OK;
}

// A<digits> — hundredths of an inch of mercury.
int parsePressure(LString& text, float& pressure) {
  int end = nextGroup(text);
  if (end < 1 || text[0] != 'A') return L_FORMAT;
  LString digits;
  text.mid(1, end - 1, digits);
  long value;
  digits.convert(value);
  pressure = static_cast<float>(value) * 0.01f;
  consumeGroup(text, end);
  return L_OK;
}

// ...RMK — anywhere in the text, not only at the front.
int findRemarks(LString& text) {
  int at;
  if (text.find("RMK", at) != 0) return 0;
  text.cutLeft(at + 3);
  text.leftTrim();
  return 1;
}

// AO1 | AO2 — as a whole token anywhere in the remarks.
int parseStationType(const LString& text, StationType& type) {
  type = kNoStationType;
  LTokenizer tokens(text, " ");
  LString token;
  while (!tokens.eof()) {
    tokens >> token;
    if (token == "AO1") {
      type = kWithoutPrecipitationSensor;
      return L_OK;
    }
    if (token == "AO2") {
      type = kWithPrecipitationSensor;
      return L_OK;
    }
  }
  return L_NOTFOUND;
}

// T........ — any 9-character token beginning with "T"; Tsttt sddd read as
// two halves of four characters.
int parsePreciseTemperature(const LString& text, float& temperature,
                            float& dewPoint) {
  LTokenizer tokens(text, " ");
  LString token;
  while (!tokens.eof()) {
    tokens >> token;
    if (token.length() != 9 || !token.compareLeft("T")) continue;
    LString temp, dew;
    token.mid(1, 4, temp);
    token.right(4, dew);
    temperature = tenthsOfDegree(temp);
    dewPoint = tenthsOfDegree(dew);
    return L_OK;
  }
  return L_NOTFOUND;
}

}  // namespace stratus
