// A small stratus host: the temperature and the forecast of a city.
// usage: weather_host DATA_DIR STATE_ID CITY_ID   (e.g. data/us 25 2507000)
#include <stratus/stratus.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

// The status line: progress and errors on standard error.
struct StatusLine : LInfoLine {
  void show(const LString& m) override {
    std::fprintf(stderr, "%s\n", m.c_str());
  }
  void endProgress() override {}
};

// Settings in memory, by key (the library uses one section); SetKeeper
// stores the library's defaults here.
struct MemoryKeeper : LKeeper {
  std::map<std::string, std::string> values;
  bool isPresent(const LString&, const LString& key, int) override {
    return values.count(key.str()) != 0;
  }
  int readString(const LString&, const LString& key, LString& out,
                 int) override {
    auto it = values.find(key.str());
    if (it == values.end()) return L_NOTFOUND;
    out = it->second.c_str();
    return L_OK;
  }
  int readInt(const LString& s, const LString& key, int& out, int) override {
    LString text;
    if (readString(s, key, text, 0) != L_OK) return L_NOTFOUND;
    out = std::atoi(text);
    return L_OK;
  }
  int storeString(const LString&, const LString& key, const LString& in,
                  int) override {
    values[key.str()] = in.str();
    return L_OK;
  }
  int storeInt(const LString& s, const LString& key, int in, int) override {
    return storeString(s, key, std::to_string(in).c_str(), 0);
  }
};

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s DATA_DIR STATE_ID CITY_ID\n", argv[0]);
    return 64;
  }
  WLocation place;
  WLocationDB::initLocationDB(argv[1]);
  int rc = WLocationDB::getLocationDB().makeUSLocation(
      std::atoi(argv[2]), std::atoi(argv[3]), place);
  WLocationDB::closeLocationDB();
  if (rc != 0) return 1;

  StatusLine status;
  MemoryKeeper keeper;
  WReader reader(&status);
  reader.SetKeeper(&keeper);
  WCondition now;
  LString text;
  if (reader.getCondition(place, now) == L_OK)
    std::printf("%s: %s\n", place.getName().c_str(),
                now.formatTemp(text, WCondition::Fahrenheit).c_str());
  if (reader.getForecast(place, text) == L_OK) {
    text.substitute("\r\n ", "\n");  // lines after the first begin with a blank
    text.substitute("\r\n", "\n");
    std::fputs(text.c_str(), stdout);
  }
  return rc;
}
