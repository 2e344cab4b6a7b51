#include "stratus/host/report_words.h"

namespace {

const char* const kPhenomenonWords[] = {"",
                                        "drizzle",
                                        "rain",
                                        "snow",
                                        "snow grains",
                                        "ice crystals",
                                        "ice pellets",
                                        "hail",
                                        "small hail",
                                        "precipitation",
                                        "mist",
                                        "fog",
                                        "smoke",
                                        "volcanic ash",
                                        "dust",
                                        "sand",
                                        "haze",
                                        "spray",
                                        "dust whirls",
                                        "squalls",
                                        "funnel cloud",
                                        "sandstorm",
                                        "duststorm"};
constexpr int kPhenomena =
    static_cast<int>(sizeof kPhenomenonWords / sizeof *kPhenomenonWords);

const char* const kDescriptorWords[] = {
    "",        "shallow",    "partial",      "patches of", "low drifting",
    "blowing", "showers of", "thunderstorm", "freezing"};

const char* const kCoverWords[] = {"clear",
                                   "no significant cloud",
                                   "no cloud detected",
                                   "few",
                                   "scattered",
                                   "broken",
                                   "overcast",
                                   "vertical visibility"};

// "12,000": a whole number with its thousands grouped.
std::string grouped(int v) {
  std::string digits = std::to_string(v < 0 ? -v : v);
  for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3)
    digits.insert(static_cast<std::size_t>(at), ",");
  return v < 0 ? "-" + digits : digits;
}

// The descriptor's words before the phenomena, with the blank after them.
std::string descriptorWords(const WReport::Weather& g) {
  if (g.descriptor == WReport::THUNDERSTORM)
    return g.phenomenonCount > 0 ? "thunderstorm with " : "thunderstorm";
  if (g.descriptor == WReport::SHOWERS && g.phenomenonCount == 0)
    return "showers";
  if (g.descriptor <= WReport::NO_DESCRIPTOR ||
      g.descriptor > WReport::FREEZING)
    return "";
  return std::string(kDescriptorWords[g.descriptor]) + " ";
}

}  // namespace

std::string weatherWords(const WReport::Weather& g) {
  std::string out;
  if (g.intensity == WReport::LIGHT) out += "light ";
  if (g.intensity == WReport::HEAVY) out += "heavy ";
  out += descriptorWords(g);
  for (int i = 0; i < g.phenomenonCount && i < WReport::MAX_PHENOMENA; ++i) {
    if (i > 0) out += i + 1 == g.phenomenonCount ? " and " : ", ";
    int p = g.phenomena[i];
    if (p == WReport::FUNNEL_CLOUD && g.intensity == WReport::HEAVY) {
      out = "tornado";
    } else if (p > 0 && p < kPhenomena) {
      out += kPhenomenonWords[p];
    }
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  if (g.intensity == WReport::VICINITY) out += " in the vicinity";
  return out;
}

std::string layerWords(const WReport::Layer& l) {
  if (l.cover < WReport::CLEAR || l.cover > WReport::VERTICAL_VISIBILITY)
    return "";
  std::string out = kCoverWords[l.cover];
  if (!l.heightMissing) {
    out += l.cover == WReport::VERTICAL_VISIBILITY ? " " : " at ";
    out += grouped(l.height) + " ft";
  }
  if (l.cloudType == WReport::CUMULONIMBUS) out += " (cumulonimbus)";
  if (l.cloudType == WReport::TOWERING_CUMULUS) out += " (towering cumulus)";
  return out;
}

const char* compassPoint(int degrees) {
  static const char* const kPoints[] = {"N",  "NNE", "NE", "ENE", "E",  "ESE",
                                        "SE", "SSE", "S",  "SSW", "SW", "WSW",
                                        "W",  "WNW", "NW", "NNW"};
  if (degrees < 0 || degrees > 360) return nullptr;
  return kPoints[(degrees * 16 + 180) / 360 % 16];
}
