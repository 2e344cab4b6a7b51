#include "location/record_reader.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace stratus {
namespace {

constexpr unsigned kMaxId = 0xFFFFFFFFu;

// An id field [begin, end): 1 to 10 decimal digits, at most 4294967295.
bool parseId(const char* begin, const char* end, unsigned& value) {
  long n = end - begin;
  if (n < 1 || n > 10) return false;
  uint64_t v = 0;
  for (const char* p = begin; p < end; ++p) {
    unsigned d = static_cast<unsigned char>(*p) - '0';
    if (d > 9) return false;
    v = v * 10 + d;
  }
  if (v > kMaxId) return false;
  value = static_cast<unsigned>(v);
  return true;
}

// A field's end without the CR that LIStream drops from the end of a field.
const char* withoutCR(const char* begin, const char* end) {
  return end > begin && end[-1] == '\r' ? end - 1 : end;
}

#if defined(__SSE2__)
// Bit i set where p[i] == c, for the 16 bytes at p.
inline uint32_t match16(const char* p, char c) {
  __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  return static_cast<uint32_t>(
      _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(c))));
}
#endif

// The LFs of [begin, end), in order. With SSE2, 64 bytes are tested at a
// time and the LFs of a block are taken from a bit mask, which is much
// cheaper than one memchr call per line of 40 to 90 bytes.
class LineFeeds {
 public:
  LineFeeds(const char* begin, const char* end)
      : block_(begin), end_(end), mask_(0) {
    load();
  }

  // The next LF, or null.
  const char* next() {
#if defined(__SSE2__)
    while (mask_ == 0) {
      block_ += 64;
      if (block_ >= end_) return nullptr;
      load();
    }
    int i = __builtin_ctzll(mask_);
    mask_ &= mask_ - 1;
    return block_ + i;
#else
    if (block_ >= end_) return nullptr;
    const char* lf = static_cast<const char*>(
        std::memchr(block_, '\n', static_cast<size_t>(end_ - block_)));
    block_ = lf != nullptr ? lf + 1 : end_;
    return lf;
#endif
  }

 private:
  void load() {
#if defined(__SSE2__)
    if (end_ - block_ >= 64) {
      mask_ = static_cast<uint64_t>(match16(block_, '\n')) |
              static_cast<uint64_t>(match16(block_ + 16, '\n')) << 16 |
              static_cast<uint64_t>(match16(block_ + 32, '\n')) << 32 |
              static_cast<uint64_t>(match16(block_ + 48, '\n')) << 48;
      return;
    }
    mask_ = 0;
    for (long i = 0; i < end_ - block_; ++i)
      if (block_[i] == '\n') mask_ |= uint64_t{1} << i;
#endif
  }

  const char* block_;
  const char* end_;
  uint64_t mask_;
};

// Stores the positions of the first `want` (at most 3) TABs of [begin, end)
// in `tabs` and returns how many there are. `limit` bounds the bytes that
// may be read (the buffer's end). The id fields are short, so their TABs
// nearly always lie in the first 32 bytes, which are tested at once.
inline int findTabs(const char* begin, const char* end, const char* limit,
                    const char** tabs, int want) {
  int found = 0;
  const char* p = begin;
#if defined(__SSE2__)
  if (limit - begin >= 32) {
    long len = end - begin;
    long window = len < 32 ? len : 32;
    // A sentinel bit at the window's end stops the chain below.
    uint64_t mask = match16(begin, '\t') | match16(begin + 16, '\t') << 16;
    mask = (mask & ((uint64_t{1} << window) - 1)) | uint64_t{1} << window;
    for (; found < want; ++found) {
      int at = __builtin_ctzll(mask);
      if (at == window) break;
      tabs[found] = begin + at;
      mask &= mask - 1;
    }
    if (found == want || len <= 32) return found;
    p = begin + 32;
  }
#else
  (void)limit;
#endif
  while (found < want && p < end) {
    const char* tab = static_cast<const char*>(
        std::memchr(p, '\t', static_cast<size_t>(end - p)));
    if (tab == nullptr) break;
    tabs[found++] = tab;
    p = tab + 1;
  }
  return found;
}

// True when the line [begin, end) certainly fails "id field `Field` equals
// the value whose decimal text is `text` (`n` digits)": the field is
// missing, or starts with a nonzero digit and is not exactly that text. A
// field with a leading zero, a CR at the start of the line, or a field past
// the first 32 bytes is left to the full rules (false). This test runs on
// every line of a scan, so it is kept small enough to be inlined into the
// loop over the line ends, and compiled for each field it can be asked of.
template <int Field>
inline bool surelyFails(const char* begin, const char* end, const char* limit,
                        const char* text, int n) {
  long len = end - begin;
  long start = 0;
  if (Field > 0) {
#if defined(__SSE2__)
    if (limit - begin < 32) return false;
    // TABs of the next line may be in the mask too: a field that would
    // start behind this line's end is missing.
    uint64_t tabs = match16(begin, '\t') | match16(begin + 16, '\t') << 16;
    for (int k = 1; k < Field; ++k) tabs &= tabs - 1;
    if (tabs == 0) return len < 32;  // the field is missing, or further out
    start = __builtin_ctzll(tabs) + 1;
    if (start >= len) return true;
#else
    (void)limit;
    return false;
#endif
  } else if (len == 0) {
    return true;  // a blank line
  }
  const char* f = begin + start;
  if (*f == '0' || *begin == '\r') return false;
  if (*f != text[0]) return true;
  if (start + n > len) return true;
  for (int i = 1; i < n; ++i)
    if (f[i] != text[i]) return true;
  return f[n] != '\t' && f[n] != '\r' && f[n] != '\n';
}

}  // namespace

RecordReader::RecordReader(LIStream& in, int idFields, const IdFilter& filter,
                           bool inPlace)
    : in_(in),
      idFields_(idFields),
      filter_(filter),
      inPlace_(inPlace),
      probe_(filter.count() > 0),
      textLength_(0),
      ids_{0, 0, 0},
      pending_(Pending::kNone),
      texts_(nullptr),
      lineEnd_(nullptr) {
  if (probe_) {
    char digits[16];
    textLength_ = std::snprintf(digits, sizeof digits, "%u", filter_.value(0));
    std::memcpy(text_, digits, sizeof text_);
  }
}

bool RecordReader::next() {
  if (pending_ == Pending::kExtracted) in_.endRecord();
  pending_ = Pending::kNone;
  if (inPlace_) return nextInPlace();
  while (!in_.eof())
    if (nextExtracted()) return true;
  return false;
}

bool RecordReader::nextInPlace() {
  switch (probe_ ? filter_.field(0) : -1) {
    case 0:
      return scan<0>();
    case 1:
      return scan<1>();
    case 2:
      return scan<2>();
    default:
      return scan<-1>();
  }
}

template <int Probe>
bool RecordReader::scan() {
  for (;;) {
    int n = 0;
    const char* base = in_.peekBuffer(n);
    if (n == 0) return false;
    const char* limit = base + n;
    const char* line = base;
    LineFeeds feeds(base, limit);
    while (const char* lf = feeds.next()) {
      if (Probe >= 0 && surelyFails < Probe < 0
              ? 0
              : Probe > (line, lf, limit, text_, textLength_)) {
        line = lf + 1;
        continue;
      }
      if (matchLine(line, lf, limit)) {
        in_.consume(static_cast<int>(lf + 1 - base));
        pending_ = Pending::kInPlace;
        lineEnd_ = lf;
        return true;
      }
      line = lf + 1;
    }
    in_.consume(static_cast<int>(line - base));
    // A line that runs past the buffer: the stream reads it across blocks.
    if (line < limit && !in_.eof() && nextExtracted()) return true;
  }
}

bool RecordReader::nextExtracted() {
  in_.clearFail();
  for (int i = 0; i < idFields_; ++i) in_ >> ids_[i];
  bool match = !in_.fail();
  for (int i = 0; match && i < filter_.count(); ++i)
    match = ids_[filter_.field(i)] == filter_.value(i);
  if (!match) {
    in_.endRecord();
    return false;
  }
  pending_ = Pending::kExtracted;
  return true;
}

bool RecordReader::matchLine(const char* begin, const char* end,
                             const char* limit) {
  if (begin == end || *begin == '\r') {
    while (begin < end && *begin == '\r') ++begin;
    if (begin == end) return false;  // a blank line
  }

  const char* tabs[kMaxIds] = {};
  int found = findTabs(begin, end, limit, tabs, idFields_);
  if (found < idFields_ - 1) return false;  // an id field is missing
  const char* from[kMaxIds] = {};
  const char* to[kMaxIds] = {};
  for (int i = 0; i < idFields_; ++i) {
    from[i] = i == 0 ? begin : tabs[i - 1] + 1;
    to[i] = withoutCR(from[i], i < found ? tabs[i] : end);
  }
  for (int i = 0; i < idFields_; ++i)
    if (!parseId(from[i], to[i], ids_[i])) return false;
  for (int i = 0; i < filter_.count(); ++i)
    if (ids_[filter_.field(i)] != filter_.value(i)) return false;
  texts_ = found == idFields_ ? tabs[idFields_ - 1] + 1 : end;
  return true;
}

void RecordReader::readTexts(LString& name, LString& data) {
  if (pending_ == Pending::kExtracted) {
    in_ >> name >> data;
    in_.endRecord();
  } else if (pending_ == Pending::kInPlace) {
    const char* nameEnd = static_cast<const char*>(
        std::memchr(texts_, '\t', static_cast<size_t>(lineEnd_ - texts_)));
    if (nameEnd == nullptr) nameEnd = lineEnd_;
    const char* dataBegin = nameEnd < lineEnd_ ? nameEnd + 1 : lineEnd_;
    const char* dataEnd = static_cast<const char*>(std::memchr(
        dataBegin, '\t', static_cast<size_t>(lineEnd_ - dataBegin)));
    if (dataEnd == nullptr) dataEnd = lineEnd_;
    name.assign(texts_, static_cast<int>(withoutCR(texts_, nameEnd) - texts_));
    data.assign(dataBegin,
                static_cast<int>(withoutCR(dataBegin, dataEnd) - dataBegin));
  }
  pending_ = Pending::kNone;
}

}  // namespace stratus
