// The middle of a report: present weather and sky condition.
#include <cstring>

#include "stratus/foundation/result.h"

#include "observation/group.h"
#include "observation/parsers.h"

namespace stratus {

namespace {

// The code tables of the five weather categories. A code's position in its
// table is its enumeration value; the table's size is the none value.
const char* const kIntensities[] = {"-", "+", "VC"};
const char* const kDescriptors[] = {"MI", "PR", "BC", "DR",
                                    "BL", "SH", "TS", "FZ"};
const char* const kPrecipitations[] = {"DZ", "RA", "SN", "SG", "IC",
                                       "PE", "GR", "GS", "UP"};
const char* const kObscurations[] = {"BR", "FG", "FU", "VA",
                                     "DU", "SA", "HZ", "PY"};
const char* const kOthers[] = {"PO", "SQ", "FC", "SS"};

// Removes the first code of `table` that the text begins with and returns
// its position; returns the table's size when none matches.
template <size_t N>
int takeCode(LString& text, const char* const (&table)[N]) {
  // Every code of a table is at least one character long, so an empty text
  // or one whose first character starts no code is passed at once.
  if (text.isEmpty()) return static_cast<int>(N);
  const char first = text[0];
  for (size_t i = 0; i < N; ++i) {
    if (table[i][0] != first || !text.compareLeft(table[i])) continue;
    text.cutLeft(static_cast<int>(std::strlen(table[i])));
    return static_cast<int>(i);
  }
  return static_cast<int>(N);
}

// One layer of a group that begins with a cover word; the height comes
// from the group's last three characters (or all of a shorter group).
SkyLayer layerOf(const LString& text, int groupLength, SkyCover cover) {
  SkyLayer layer{cover, 0, false};
  if (cover == kClear) return layer;
  int n = groupLength < 3 ? groupLength : 3;
  LString height;
  text.mid(groupLength - n, n, height);
  if (height == "///") {
    layer.heightMissing = true;
  } else {
    layer.height = toInt(height);
  }
  return layer;
}

// The cover word that the text begins with, or -1.
int coverAtFront(const LString& text) {
  static const struct {
    const char* word;
    SkyCover cover;
  } kCovers[] = {{"SKC", kClear},     {"CLR", kClear},  {"FEW", kFew},
                 {"SCT", kScattered}, {"BKN", kBroken}, {"OVC", kOvercast},
                 {"VV", kVertical}};
  for (const auto& c : kCovers) {
    if (text.compareLeft(c.word)) return c.cover;
  }
  return -1;
}

}  // namespace

// ([-+]|VC)?(MI|PR|BC|DR|BL|SH|TS|FZ)?(DZ|RA|...|UP)?(BR|...|PY)?(PO|..|SS)?
// repeated, blanks between — codes read by prefix, not by group.
int parsePresentWeather(LString& text, WeatherIntensity& intensity,
                        WeatherDescriptor& descriptor,
                        Precipitation& precipitation, Obscuration& obscuration,
                        OtherPhenomenon& other) {
  for (;;) {
    // A pass that shortens the text took something; only its length needs
    // remembering to tell.
    const int before = text.length();
    intensity = static_cast<WeatherIntensity>(takeCode(text, kIntensities));
    descriptor = static_cast<WeatherDescriptor>(takeCode(text, kDescriptors));
    precipitation = static_cast<Precipitation>(takeCode(text, kPrecipitations));
    obscuration = static_cast<Obscuration>(takeCode(text, kObscurations));
    other = static_cast<OtherPhenomenon>(takeCode(text, kOthers));
    text.leftTrim();
    if (text.length() >= before) return L_OK;
  }
}

// ((SKC|CLR)|(FEW|SCT|BKN|OVC|VV)...hhh)* — one layer per group.
int parseSkyCondition(LString& text, LVector<SkyLayer>& layers) {
  for (;;) {
    int end = nextGroup(text);
    if (end < 0) return L_FORMAT;
    int cover = coverAtFront(text);
    if (cover < 0) return L_OK;
    SkyLayer layer = layerOf(text, end, static_cast<SkyCover>(cover));
    layers.resize(layers.getSize() + 1);
    layers[layers.getSize() - 1] = layer;
    consumeGroup(text, end);
  }
}

}  // namespace stratus
