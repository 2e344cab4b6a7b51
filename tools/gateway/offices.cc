#include "offices.h"

#include <cstring>

namespace stratus_gateway {
namespace {

// The forecast offices whose area covers part of each state, from the
// weather service's zone-county correlation table of 5 March 2024
// (bp05mr24.dbx: every office that has a zone in the state).
struct StateOffices {
  const char* state;
  const char* offices;  // three-letter ids, separated by blanks
};
constexpr StateOffices kOffices[] = {
    {"AK", "AFC AFG AJK"},
    {"AL", "BMX HUN MOB TAE"},
    {"AR", "JAN LZK MEG SHV TSA"},
    {"AS", "PPG"},
    {"AZ", "FGZ PSR TWC VEF"},
    {"CA", "EKA HNX LOX MFR MTR PSR REV SGX STO VEF"},
    {"CO", "BOU GJT GLD PUB"},
    {"CT", "ALY BOX OKX"},
    {"DC", "LWX"},
    {"DE", "PHI"},
    {"FL", "JAX KEY MFL MLB MOB TAE TBW"},
    {"FM", "PQE PQW"},
    {"GA", "CAE CHS FFC GSP JAX TAE"},
    {"GU", "GUM"},
    {"HI", "HFO"},
    {"IA", "ARX DMX DVN FSD OAX"},
    {"ID", "BOI MSO OTX PIH"},
    {"IL", "DVN ILX LOT LSX PAH"},
    {"IN", "ILN IND IWX LMK LOT PAH"},
    {"KS", "DDC EAX GID GLD ICT SGF TOP"},
    {"KY", "ILN JKL LMK PAH RLX"},
    {"LA", "JAN LCH LIX SHV"},
    {"MA", "ALY BOX"},
    {"MD", "AKQ LWX PHI"},
    {"ME", "CAR GYX"},
    {"MH", "PQE"},
    {"MI", "APX DTX GRR IWX MQT"},
    {"MN", "ABR ARX DLH FGF FSD MPX"},
    {"MO", "DVN EAX LSX MEG PAH SGF"},
    {"MP", "GUM"},
    {"MS", "JAN LIX MEG MOB"},
    {"MT", "BYZ GGW MSO TFX"},
    {"NC", "AKQ GSP ILM MHX MRX RAH RNK"},
    {"ND", "BIS FGF"},
    {"NE", "CYS FSD GID GLD LBF OAX"},
    {"NH", "BOX GYX"},
    {"NJ", "OKX PHI"},
    {"NM", "ABQ EPZ MAF"},
    {"NV", "LKN REV VEF"},
    {"NY", "ALY BGM BTV BUF OKX"},
    {"OH", "CLE ILN IWX PBZ RLX"},
    {"OK", "AMA OUN SHV TSA"},
    {"OR", "BOI MFR PDT PQR"},
    {"PA", "BGM CLE CTP PBZ PHI"},
    {"PR", "SJU"},
    {"PW", "PQW"},
    {"RI", "BOX"},
    {"SC", "CAE CHS GSP ILM"},
    {"SD", "ABR FSD UNR"},
    {"TN", "HUN MEG MRX OHX"},
    {"TX", "AMA BRO CRP EPZ EWX FWD HGX LCH LUB MAF OUN SHV SJT"},
    {"UT", "GJT SLC"},
    {"VA", "AKQ LWX MRX RLX RNK"},
    {"VI", "SJU"},
    {"VT", "ALY BTV"},
    {"WA", "OTX PDT PQR SEW"},
    {"WI", "ARX DLH GRB MKX MPX"},
    {"WV", "LWX PBZ RLX RNK"},
    {"WY", "BYZ CYS PIH RIW SLC TFX UNR"},
};

}  // namespace

std::vector<std::string> officesOf(const std::string& state) {
  std::vector<std::string> offices;
  for (const StateOffices& s : kOffices) {
    if (state != s.state) continue;
    for (const char* p = s.offices; *p != '\0';) {
      const char* end = std::strchr(p, ' ');
      if (end == nullptr) end = p + std::strlen(p);
      offices.emplace_back(p, end);
      p = *end == ' ' ? end + 1 : end;
    }
  }
  return offices;
}

}  // namespace stratus_gateway
