// LIStream parses fields straight out of a block buffer: a field is the run
// of bytes up to its TAB or LF in the block, copied once into its LString,
// never extracted character by character through a stream. Line skipping
// uses memchr.
#include "stratus/foundation/istream.h"

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>

#include "stratus/foundation/result.h"

namespace {

constexpr int kBufferSize = 64 * 1024;

// Index of the first TAB or LF in [p, p + n), or n.
int fieldEnd(const char* p, int n) {
  for (int i = 0; i < n; ++i)
    if (p[i] == '\t' || p[i] == '\n') return i;
  return n;
}

}  // namespace

LIStream::LIStream(const LString& path)
    : file_(nullptr),
      buf_(nullptr),
      pos_(0),
      end_(0),
      atEnd_(false),
      fail_(false) {
  std::FILE* f = std::fopen(path, "rb");
  if (f == nullptr) return;
  struct stat st;
  if (fstat(fileno(f), &st) != 0 || S_ISDIR(st.st_mode)) {
    std::fclose(f);
    return;
  }
  buf_ = static_cast<char*>(std::malloc(kBufferSize));
  if (buf_ == nullptr) {
    std::fclose(f);
    throw LEx(L_MEM);
  }
  file_ = f;
}

LIStream::~LIStream() {
  if (file_ != nullptr) std::fclose(file_);
  std::free(buf_);
}

bool LIStream::fill() {
  if (pos_ < end_) return true;
  if (file_ == nullptr || atEnd_) return false;
  size_t n = std::fread(buf_, 1, kBufferSize, file_);
  pos_ = 0;
  end_ = static_cast<int>(n);
  if (n == 0) atEnd_ = true;
  return n > 0;
}

bool LIStream::eof() {
  while (fill()) {
    char c = buf_[pos_];
    if (c != '\n' && c != '\r') return false;
    ++pos_;
  }
  return true;
}

void LIStream::readField(LString* out) {
  if (out != nullptr) out->clear();
  while (fill()) {
    int n = fieldEnd(buf_ + pos_, end_ - pos_);
    if (out != nullptr) out->append(buf_ + pos_, n);
    pos_ += n;
    if (pos_ < end_) {
      if (buf_[pos_] == '\t') ++pos_;  // the separator belongs to the field
      break;                           // a line feed stays for endRecord
    }
  }
  // A CR before the line end is not part of the last field.
  if (out != nullptr && out->compareRight("\r")) out->cutRight(1);
}

LIStream& LIStream::operator>>(LString& value) {
  readField(&value);
  return *this;
}

LIStream& LIStream::operator>>(unsigned& value) {
  LString text;
  readField(&text);
  unsigned long long v = 0;
  bool ok = text.length() > 0 && text.length() <= 10;
  for (int i = 0; ok && i < text.length(); ++i) {
    if (!text.isNumber(i))
      ok = false;
    else
      v = v * 10 + (text.c_str()[i] - '0');
  }
  if (!ok || v > 0xFFFFFFFFull) {
    fail_ = true;
    v = 0;
  }
  value = static_cast<unsigned>(v);
  return *this;
}

LIStream& LIStream::operator>>(int& value) {
  unsigned u;
  *this >> u;
  value = static_cast<int>(u);
  return *this;
}

const char* LIStream::peekBuffer(int& n) {
  if (!fill()) {
    n = 0;
    return nullptr;
  }
  n = end_ - pos_;
  return buf_ + pos_;
}

void LIStream::skipField() { readField(nullptr); }

void LIStream::endRecord() {
  while (fill()) {
    const void* lf = std::memchr(buf_ + pos_, '\n', end_ - pos_);
    if (lf != nullptr) {
      pos_ = static_cast<int>(static_cast<const char*>(lf) - buf_) + 1;
      return;
    }
    pos_ = end_;
  }
}

int LIStream::rewind() {
  if (file_ == nullptr) return 1;
  if (std::fseek(file_, 0, SEEK_SET) != 0) return 1;
  std::clearerr(file_);
  pos_ = end_ = 0;
  atEnd_ = false;
  fail_ = false;
  return 0;
}
