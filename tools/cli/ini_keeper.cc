#include "ini_keeper.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace stratus_cli {

bool parseInt(const std::string& text, int& value) {
  if (text.empty()) return false;
  size_t digits = text[0] == '+' || text[0] == '-' ? 1 : 0;
  if (digits == text.size()) return false;
  for (size_t i = digits; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  errno = 0;
  long v = std::strtol(text.c_str(), nullptr, 10);
  if (errno == ERANGE || v < INT_MIN || v > INT_MAX) return false;
  value = static_cast<int>(v);
  return true;
}

bool IniKeeper::isPresent(const LString& section, const LString& key, int) {
  return file_.get(section.str(), key.str()) != nullptr;
}

int IniKeeper::readInt(const LString& section, const LString& key, int& value,
                       int) {
  const std::string* text = file_.get(section.str(), key.str());
  if (text == nullptr) return L_NOTFOUND;
  return parseInt(*text, value) ? L_OK : L_FORMAT;
}

int IniKeeper::readString(const LString& section, const LString& key,
                          LString& value, int) {
  const std::string* text = file_.get(section.str(), key.str());
  if (text == nullptr) return L_NOTFOUND;
  value = text->c_str();
  return L_OK;
}

int IniKeeper::storeInt(const LString& section, const LString& key, int value,
                        int) {
  file_.set(section.str(), key.str(), std::to_string(value));
  return L_OK;
}

int IniKeeper::storeString(const LString& section, const LString& key,
                           const LString& value, int) {
  file_.set(section.str(), key.str(), value.str());
  return L_OK;
}

}  // namespace stratus_cli
