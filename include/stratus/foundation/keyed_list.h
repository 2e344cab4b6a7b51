// LKeyedList: picks the line that follows a key line out of a stream of lines.
//
// Each entry is a key with a match kind. Lines are fed in order: a line that
// matches a pending key arms that entry; the next line that matches no pending
// key is captured as the value of the first armed entry, which is then done.
// A done entry neither matches nor captures again. Build a new list for each
// input; there is no reset.
//
// Allocation failure in `add` throws LEx(L_MEM). Not thread-safe.
#ifndef STRATUS_FOUNDATION_KEYED_LIST_H_
#define STRATUS_FOUNDATION_KEYED_LIST_H_

#include "stratus/export.h"
#include "stratus/foundation/string.h"
#include "stratus/foundation/vector.h"

class STRATUS_EXPORT LKeyedList {
 public:
  static constexpr int MATCH_EQUAL = 10;    // the line equals the key
  static constexpr int MATCH_BEGIN = 11;    // the line begins with the key
  static constexpr int MATCH_CONTAIN = 12;  // the key occurs in the line

  LKeyedList();
  ~LKeyedList();
  LKeyedList(const LKeyedList&) = delete;
  LKeyedList& operator=(const LKeyedList&) = delete;

  // 0 when the entry was appended; L_INPUT when `kind` is not one of the
  // three kinds; -1 when an entry with an equal key exists. The list is
  // unchanged in both failure cases. Throws LEx(L_MEM).
  int add(const LString& key, int kind);
  // Offers one line to the entries; returns the list.
  LKeyedList& feed(const LString& line);
  // The captured value of `key` (empty until captured), or a shared empty
  // string when no entry has that key. Valid while the list lives.
  const LString& get(const LString& key) const;
  // Whether `line` matches `key` under `kind`.
  static bool match(const LString& line, const LString& key, int kind);

 private:
  LVector<LString> keys_;
  LVector<int> kinds_;
  LVector<LString> values_;
  LVector<bool> armed_;
  LVector<bool> done_;
};

#endif  // STRATUS_FOUNDATION_KEYED_LIST_H_
