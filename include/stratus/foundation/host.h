// The two interfaces that a host implements and the library only calls.
//
// The library never owns or deletes a status line or a keeper: the host
// keeps them alive while a reader uses them.
#ifndef STRATUS_FOUNDATION_HOST_H_
#define STRATUS_FOUNDATION_HOST_H_

#include "stratus/foundation/string.h"

// The host's status line. Progress messages end in "...", error messages
// begin with "Error: ".
class LInfoLine {
 public:
  // Shows a progress or error message.
  virtual void show(const LString& message) = 0;
  // The operation's progress is over.
  virtual void endProgress() = 0;

 protected:
  ~LInfoLine() = default;
};

// The host's settings store, organised in sections of keys. The library
// passes 0 as `flags` in every call and reads the section "Internet".
class LKeeper {
 public:
  virtual bool isPresent(const LString& section, const LString& key,
                         int flags) = 0;
  // 0 with `value` written when the key is present, nonzero otherwise.
  virtual int readInt(const LString& section, const LString& key, int& value,
                      int flags) = 0;
  virtual int readString(const LString& section, const LString& key,
                         LString& value, int flags) = 0;
  // 0 when stored.
  virtual int storeInt(const LString& section, const LString& key, int value,
                       int flags) = 0;
  virtual int storeString(const LString& section, const LString& key,
                          const LString& value, int flags) = 0;

 protected:
  ~LKeeper() = default;
};

#endif  // STRATUS_FOUNDATION_HOST_H_
