// Result codes and the exception that carries one.
//
// Every operation that can fail returns an int: L_OK (0) for success or one
// of the codes below. The location database uses -1 for its failures, which
// is not a code. Allocation failure and an index out of range are thrown as
// an LEx carrying L_MEM or L_RANGE.
#ifndef STRATUS_FOUNDATION_RESULT_H_
#define STRATUS_FOUNDATION_RESULT_H_

#include "stratus/export.h"

constexpr int L_OK = 0;
constexpr int L_ERROR = 1;
constexpr int L_MEM = 2;
constexpr int L_NOTFOUND = 3;
constexpr int L_INPUT = 4;
constexpr int L_WRONGTYPE = 5;
constexpr int L_CONNECT = 6;
constexpr int L_DB = 7;
constexpr int L_RANGE = 8;
constexpr int L_CONVERTION = 9;
constexpr int L_OUTPUT = 10;
constexpr int L_FORMAT = 11;
constexpr int L_OPEN = 12;
constexpr int L_CREATE = 13;

// The catalogue text of `code`, e.g. "L_OK: No error (success)", or
// "Unknown exception id" for a value that is not a code. The text is static.
STRATUS_EXPORT const char* resultMessage(int code);

// An exception carrying a result code and an optional text.
//
// Every LEx that the library throws has a null `info`. A copy of an LEx
// without text gets the text "No addition information". Thrown by value,
// caught by reference. Not thread-safe; one instance per thread.
class STRATUS_EXPORT LEx {
 public:
  // `info` null.
  explicit LEx(int id);
  // Copies `info` (which may be null) into a text the exception owns.
  LEx(int id, const char* info);
  // Same id; own copy of the text, or "No addition information" when the
  // source has none. When that copy cannot be allocated the text stays null.
  LEx(const LEx& other);
  LEx& operator=(const LEx& other);
  ~LEx();

  int getId() const { return id; }
  // The text, or null.
  const char* getInfo() const { return info; }

  int id;
  char* info;
};

#endif  // STRATUS_FOUNDATION_RESULT_H_
