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
    note("isPresent", section, key, "", flags);
    return values_.count(slot(section, key)) > 0;
  }
  int readInt(const LString& section, const LString& key, int& value,
              int flags) override {
    note("readInt", section, key, "", flags);
    auto it = values_.find(slot(section, key));
    if (it == values_.end()) return 1;
    value = std::stoi(it->second);
    return 0;
  }
  int readString(const LString& section, const LString& key, LString& value,
                 int flags) override {
    note("readString", section, key, "", flags);
    auto it = values_.find(slot(section, key));
    if (it == values_.end()) return 1;
    value = it->second.c_str();
    return 0;
  }
  int storeInt(const LString& section, const LString& key, int value,
               int flags) override {
    note("storeInt", section, key, " " + std::to_string(value), flags);
    values_[slot(section, key)] = std::to_string(value);
    return 0;
  }
  int storeString(const LString& section, const LString& key,
                  const LString& value, int flags) override {
    note("storeString", section, key, " " + value.str(), flags);
    values_[slot(section, key)] = value.str();
    return 0;
  }

  // Sets a value without recording a call.
  void set(const std::string& key, const std::string& value,
           const std::string& section = "Internet") {
    values_[{section, key}] = value;
  }
  // The stored value; "<absent>" when there is none.
  std::string get(const std::string& key,
                  const std::string& section = "Internet") const {
    auto it = values_.find({section, key});
    return it == values_.end() ? "<absent>" : it->second;
  }

  std::vector<std::string> calls;
  std::vector<int> flags;

 private:
  using Slot = std::pair<std::string, std::string>;
  static Slot slot(const LString& section, const LString& key) {
    return {section.str(), key.str()};
  }
  void note(const char* op, const LString& section, const LString& key,
            const std::string& value, int f) {
    calls.push_back(std::string(op) + " " + section.str() + " " + key.str() +
                    value);
    flags.push_back(f);
  }

  std::map<Slot, std::string> values_;
};

}  // namespace stratus_test

#endif  // STRATUS_TESTS_SUPPORT_RECORDING_HOST_H_
