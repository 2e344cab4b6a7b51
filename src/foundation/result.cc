#include "stratus/foundation/result.h"

#include <cstdlib>
#include <cstring>

namespace {

const char* const kMessages[] = {
    "L_OK: No error (success)",
    "L_ERROR: Error occured",
    "L_MEM: Memory allocation error",
    "L_NOTFOUND: Something is not found (but expected to be there!)",
    "L_INPUT: Input failed",
    "L_WRONGTYPE: Type is supposed to be different",
    "L_CONNECT: Connection failed or cannot be established",
    "L_DB: Error while accessing database",
    "L_RANGE: Something is out of permitted range",
    "L_CONVERTION: Something cannot be converted into something",
    "L_OUTPUT: Output failed",
    "L_FORMAT: Format is invalid",
    "L_OPEN: Cannot open something",
    "L_CREATE: Cannot create something",
};

// A heap copy of `text`, or null when `text` is null or memory is short.
// malloc, not new: a copy constructor must not throw.
char* copyText(const char* text) {
  if (text == nullptr) return nullptr;
  size_t n = std::strlen(text) + 1;
  char* p = static_cast<char*>(std::malloc(n));
  if (p != nullptr) std::memcpy(p, text, n);
  return p;
}

}  // namespace

const char* resultMessage(int code) {
  if (code < 0 ||
      code >= static_cast<int>(sizeof kMessages / sizeof *kMessages))
    return "Unknown exception id";
  return kMessages[code];
}

LEx::LEx(int id) : id(id), info(nullptr) {}

LEx::LEx(int id, const char* text) : id(id), info(copyText(text)) {}

LEx::LEx(const LEx& other)
    : id(other.id),
      info(copyText(other.info ? other.info : "No addition information")) {}

LEx& LEx::operator=(const LEx& other) {
  if (this != &other) {
    char* text = copyText(other.info ? other.info : "No addition information");
    std::free(info);
    id = other.id;
    info = text;
  }
  return *this;
}

LEx::~LEx() { std::free(info); }
