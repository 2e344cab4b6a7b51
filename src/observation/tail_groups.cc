// The end of a report: temperature and dew point, altimeter setting, and the
// remarks scanned for the station type and the temperature in tenths.
#include "stratus/foundation/result.h"

#include "observation/group.h"
#include "observation/parsers.h"

namespace stratus {

namespace {

// Whole degrees in the `n` characters of `text` from `start`: "M" in front
// means minus.
float wholeDegrees(const LString& text, int start, int n) {
  if (n > 0 && text[start] == 'M') {
    // Negated as a float: a saturated value cannot overflow.
    return -static_cast<float>(numberAt(text, start + 1, n - 1));
  }
  return static_cast<float>(numberAt(text, start, n));
}

// Tenths of a degree in four characters from `start`: a leading "1" means
// minus; any other first character is read as part of the number.
float tenthsOfDegree(const LString& text, int start) {
  if (text[start] == '1') {
    return -(static_cast<float>(numberAt(text, start + 1, 3)) * 0.1f);
  }
  return static_cast<float>(numberAt(text, start, 4)) * 0.1f;
}

}  // namespace

// [M]tt/[M]dd — split at the first "/".
int parseTemperature(LString& text, float& temperature, float& dewPoint) {
  int end = nextGroup(text);
  int slash = end < 0 ? -1 : findChar(text, 0, end, '/');
  if (slash < 0) return L_FORMAT;
  temperature = wholeDegrees(text, 0, slash);
  dewPoint = wholeDegrees(text, slash + 1, end - slash - 1);
  consumeGroup(text, end);
  return L_OK;
}

// A<digits> — hundredths of an inch of mercury.
int parsePressure(LString& text, float& pressure) {
  int end = nextGroup(text);
  if (end < 1 || text[0] != 'A') return L_FORMAT;
  pressure = static_cast<float>(numberAt(text, 1, end - 1)) * 0.01f;
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
  TokenWalk tokens(text);
  int start, length;
  while (tokens.next(start, length)) {
    if (length != 3 || !holdsAt(text, start, "AO")) continue;
    if (text[start + 2] == '1') {
      type = kWithoutPrecipitationSensor;
      return L_OK;
    }
    if (text[start + 2] == '2') {
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
  TokenWalk tokens(text);
  int start, length;
  while (tokens.next(start, length)) {
    if (length != 9 || text[start] != 'T') continue;
    temperature = tenthsOfDegree(text, start + 1);
    dewPoint = tenthsOfDegree(text, start + 5);
    return L_OK;
  }
  return L_NOTFOUND;
}

}  // namespace stratus
