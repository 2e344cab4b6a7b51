// Recording implementations of the host interfaces, for tests that check
// what the library shows and which settings it reads and writes, in order.
// Real, small implementations: the keeper stores what it is given.
#ifndef STRATUS_TESTS_SUPPORT_RECORDING_HOST_H_
#define STRATUS_TESTS_SUPPORT_RECORDING_HOST_H_

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "stratus/foundation/host.h"

namespace stratus_test {

// Records "show <message>" and "end" in the order of the calls.
class RecordingInfoLine : public LInfoLine {
 public:
  void show(const LString& message) override {
    calls.push_back("show " + message.str());
  }
  void endProgress() override { calls.push_back("end"); }

  std::vector<std::string> calls;
};

// A settings store that records every call as "<operation> <section>
// <key>[ <value>]" and every flags value it was passed.
class RecordingKeeper : public LKeeper {
 public:
  bool isPresent(const LString& section, const LString& key,
                 int flags) override {
    return note("isPresent", section, key, "", flags) != nullptr;
  }
  int readInt(const LString& section, const LString& key, int& value,
              int flags) override {
    const std::string* stored = note("readInt", section, key, "", flags);
    if (stored != nullptr) value = std::stoi(*stored);
    return stored != nullptr ? 0 : 1;
  }
  int readString(const LString& section, const LString& key, LString& value,
                 int flags) override {
    const std::string* stored = note("readString", section, key, "", flags);
    if (stored != nullptr) value = stored->c_str();
    return stored != nullptr ? 0 : 1;
  }
  int storeInt(const LString& section, const LString& key, int value,
               int flags) override {
    return store("storeInt", section, key, std::to_string(value), flags);
  }
  int storeString(const LString& section, const LString& key,
                  const LString& value, int flags) override {
    return store("storeString", section, key, value.str(), flags);
  }

  // Sets a value without recording a call.
  void set(const std::string& key, const std::string& value,
           const std::string& section = "Internet") {
    values_[{section, key}] = value;
  }

  std::vector<std::string> calls;
  std::vector<int> flags;

 private:
  // Records the call; returns the stored value, nullptr when there is none.
  const std::string* note(const char* op, const LString& section,
                          const LString& key, const std::string& value, int f) {
    calls.push_back(std::string(op) + " " + section.str() + " " + key.str() +
                    value);
    flags.push_back(f);
    auto it = values_.find({section.str(), key.str()});
    return it == values_.end() ? nullptr : &it->second;
  }
  int store(const char* op, const LString& section, const LString& key,
            const std::string& value, int f) {
    note(op, section, key, " " + value, f);
    values_[{section.str(), key.str()}] = value;
    return 0;
  }

  std::map<std::pair<std::string, std::string>, std::string> values_;
};

}  // namespace stratus_test

#endif  // STRATUS_TESTS_SUPPORT_RECORDING_HOST_H_
