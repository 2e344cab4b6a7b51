#include "offices.h"

#include <sys/stat.h>

#include <fstream>
#include <map>
#include <sstream>

namespace stratus_gateway {
namespace {

// A real table is under 2 KB.
constexpr long kMaxBytes = 1 << 20;

std::map<std::string, std::vector<std::string>>& table() {
  static std::map<std::string, std::vector<std::string>> offices;
  return offices;
}

// "IA<TAB>ARX DMX DVN": the state and its offices, or false.
bool parseLine(const std::string& line, std::string& state,
               std::vector<std::string>& offices) {
  size_t tab = line.find('\t');
  if (tab != 2) return false;
  state = line.substr(0, 2);
  std::istringstream words(line.substr(3));
  std::string id;
  offices.clear();
  while (words >> id) {
    if (id.size() != 3) return false;
    offices.push_back(id);
  }
  return !offices.empty();
}

}  // namespace

bool loadOffices(const std::string& path, std::string& error) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
      st.st_size > kMaxBytes) {
    error = "cannot read the offices table " + path +
            " (a regular file of the location data, at most 1 MiB)";
    return false;
  }
  std::ifstream in(path);
  std::map<std::string, std::vector<std::string>> loaded;
  std::string line, state;
  std::vector<std::string> offices;
  for (int number = 1; std::getline(in, line); ++number) {
    if (line.empty()) continue;
    if (!parseLine(line, state, offices)) {
      error = path + ", line " + std::to_string(number) +
              ": not \"ST<TAB>OFFICE OFFICE ...\"";
      return false;
    }
    loaded[state] = offices;
  }
  table() = std::move(loaded);
  return true;
}

std::vector<std::string> officesOf(const std::string& state) {
  auto it = table().find(state);
  return it == table().end() ? std::vector<std::string>() : it->second;
}

}  // namespace stratus_gateway
