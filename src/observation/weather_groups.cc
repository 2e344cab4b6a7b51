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

// The position in `table` of the first code that stands at `pos`, with
// `pos` moved past it; the table's size when none does.
template <size_t N>
int takeCode(const LString& text, int& pos, const char* const (&table)[N]) {
  // Every code is at least one character long: a first character that
  // starts no code settles it without comparing whole codes.
  if (pos >= text.length()) return static_cast<int>(N);
  const char first = text[pos];
  for (size_t i = 0; i < N; ++i) {
    if (table[i][0] != first || !holdsAt(text, pos, table[i])) continue;
    pos += static_cast<int>(std::strlen(table[i]));
    return static_cast<int>(i);
  }
  return static_cast<int>(N);
}

// The layer of the group [start, end) that begins with a cover word; the
// height comes from the group's last three characters (or all of a shorter
// group).
SkyLayer layerOf(const LString& text, int start, int end, SkyCover cover) {
  SkyLayer layer{cover, 0, false};
  if (cover == kClear) return layer;
  int n = end - start < 3 ? end - start : 3;
  if (n == 3 && holdsAt(text, end - 3, "///")) {
    layer.heightMissing = true;
  } else {
    layer.height = clampToInt(numberAt(text, end - n, n));
  }
  return layer;
}

// The cover word that stands at `pos`, or -1.
int coverAt(const LString& text, int pos) {
  static const struct {
    const char* word;
    SkyCover cover;
  } kCovers[] = {{"SKC", kClear},     {"CLR", kClear},  {"FEW", kFew},
                 {"SCT", kScattered}, {"BKN", kBroken}, {"OVC", kOvercast},
                 {"VV", kVertical}};
  for (const auto& c : kCovers) {
    if (holdsAt(text, pos, c.word)) return c.cover;
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
  int pos = 0;  // what stands before `pos` has been taken
  for (;;) {
    const int before = pos;
    intensity =
        static_cast<WeatherIntensity>(takeCode(text, pos, kIntensities));
    descriptor =
        static_cast<WeatherDescriptor>(takeCode(text, pos, kDescriptors));
    precipitation =
        static_cast<Precipitation>(takeCode(text, pos, kPrecipitations));
    obscuration = static_cast<Obscuration>(takeCode(text, pos, kObscurations));
    other = static_cast<OtherPhenomenon>(takeCode(text, pos, kOthers));
    pos = skipBlanks(text, pos);
    if (pos == before) break;  // a pass that takes nothing ends the run
  }
  text.cutLeft(pos);
  return L_OK;
}

// ((SKC|CLR)|(FEW|SCT|BKN|OVC|VV)...hhh)* — one layer per group.
int parseSkyCondition(LString& text, LVector<SkyLayer>& layers) {
  return takeGroups(text, [&](int start, int end) {
    int cover = coverAt(text, start);
    if (cover < 0) return false;
    SkyLayer layer = layerOf(text, start, end, static_cast<SkyCover>(cover));
    // A layer whose vector cannot grow is not taken; the groups before it
    // are cut off before the exception leaves.
    layers.resize(layers.getSize() + 1);
    layers[layers.getSize() - 1] = layer;
    return true;
  });
}

}  // namespace stratus
