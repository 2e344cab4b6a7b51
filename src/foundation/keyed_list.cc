#include "stratus/foundation/keyed_list.h"

namespace {

// The string that get() returns for a key that is not in any list. Built
// when the library is loaded, destroyed when it is unloaded.
const LString kEmpty;

template <typename T>
void append(LVector<T>& v, const T& value) {
  v.resize(v.getSize() + 1);
  v[v.getSize() - 1] = value;
}

}  // namespace

LKeyedList::LKeyedList() = default;
LKeyedList::~LKeyedList() = default;

int LKeyedList::add(const LString& key, int kind) {
  if (kind != MATCH_EQUAL && kind != MATCH_BEGIN && kind != MATCH_CONTAIN)
    return L_INPUT;
  for (unsigned i = 0; i < keys_.getSize(); ++i)
    if (keys_[i] == key) return -1;
  append(keys_, key);
  append(values_, LString());
  append(armed_, false);
  append(done_, false);
  append(kinds_, kind);
  return 0;
}

LKeyedList& LKeyedList::feed(const LString& line) {
  unsigned n = keys_.getSize();
  for (unsigned i = 0; i < n; ++i) {
    if (!done_[i] && match(line, keys_[i], kinds_[i])) {
      armed_[i] = true;
      return *this;
    }
  }
  for (unsigned i = 0; i < n; ++i) {
    if (armed_[i]) {
      values_[i] = line;
      armed_[i] = false;
      done_[i] = true;
      break;
    }
  }
  return *this;
}

const LString& LKeyedList::get(const LString& key) const {
  for (unsigned i = 0; i < keys_.getSize(); ++i)
    if (keys_[i] == key) return values_[i];
  return kEmpty;
}

bool LKeyedList::match(const LString& line, const LString& key, int kind) {
  switch (kind) {
    case MATCH_EQUAL:
      return line == key;
    case MATCH_BEGIN: {
      LString front;
      return line.mid(0, key.length(), front) == 0 && front == key;
    }
    case MATCH_CONTAIN: {
      int pos;
      return line.find(key, pos) == 0;
    }
    default:
      return false;
  }
}
