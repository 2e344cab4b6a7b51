// decode_many: many reports decoded with the GIL released, from texts in
// memory (an iterable of str, a NumPy string array) or from an open file
// read line by line.
#include <errno.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bindings.h"
#include "columns.h"

namespace stratus_py {

namespace {

// The report texts to decode: pointers into Python strings or a NumPy
// array (kept alive by `keep`), or into `buffer`, which does not change
// once pointers into it are taken.
struct Texts {
  std::vector<const char*> data;
  std::vector<size_t> size;
  py::object keep;
  std::unique_ptr<char[]> buffer;

  void add(const char* s, size_t n) {
    size.push_back(reportLength(s, n, static_cast<long>(data.size())));
    data.push_back(s);
  }
};

// Writes the UTF-8 form of the NUL-padded UTF-32 item of `bytes` bytes at
// `p` to `out`; returns the end of what was written. `swap`: the units are
// big-endian. ValueError naming item `index` for a code that is no
// character.
char* utf8OfUtf32(const char* p, size_t bytes, bool swap, char* out,
                  size_t index) {
  for (size_t k = 0; k + 4 <= bytes; k += 4) {
    uint32_t c;
    std::memcpy(&c, p + k, 4);
    if (swap) c = __builtin_bswap32(c);
    if (c == 0) break;
    if (c < 0x80) {
      *out++ = static_cast<char>(c);
    } else if (c < 0x800) {
      *out++ = static_cast<char>(0xC0 | (c >> 6));
      *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if ((c >= 0xD800 && c < 0xE000) || c > 0x10FFFF) {
      // As for a str in a list: a lone surrogate (or a value past
      // Unicode) is no character UTF-8 can hold.
      throw py::value_error("item " + std::to_string(index) +
                            " holds characters that UTF-8 cannot encode");
    } else if (c < 0x10000) {
      *out++ = static_cast<char>(0xE0 | (c >> 12));
      *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
      *out++ = static_cast<char>(0xF0 | ((c >> 18) & 0x07));
      *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      *out++ = static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// The strings of a one-dimensional NumPy array of kind 'S' (bytes, padded
// with NULs) or 'U' (UTF-32 of either byte order, padded with NULs; turned
// into UTF-8).
void readStringArray(const py::array& a, Texts& t) {
  if (a.ndim() != 1) throw py::value_error("the array must be one-dimensional");
  const char kind = a.dtype().kind();
  const size_t item = static_cast<size_t>(a.itemsize());
  const size_t n = static_cast<size_t>(a.shape(0));
  const ssize_t stride = a.strides(0);
  const char* base = static_cast<const char*>(a.data());
  t.data.reserve(n);
  t.size.reserve(n);
  if (kind == 'S') {
    for (size_t i = 0; i < n; ++i) {
      const char* p = base + static_cast<ssize_t>(i) * stride;
      t.add(p, strnlen(p, item));
    }
    t.keep = a;
    return;
  }
  const bool swap = a.dtype().byteorder() == '>';
  // A character takes at most 4 bytes in UTF-8, as in UTF-32. The buffer
  // is not cleared: only the part written is ever touched.
  t.buffer.reset(new char[n * item + 1]);
  char* out = t.buffer.get();
  for (size_t i = 0; i < n; ++i) {
    const char* p = base + static_cast<ssize_t>(i) * stride;
    if (i + 2 < n)  // the reads jump from item to item: ask ahead
      for (size_t line = 0; line < item && line < 512; line += 64)
        __builtin_prefetch(p + 2 * stride + static_cast<ssize_t>(line));
    char* start = out;
    out = utf8OfUtf32(p, item, swap, out, i);
    t.add(start, static_cast<size_t>(out - start));
  }
}

// The strings of any iterable of str. The items are first gathered into a
// tuple, which keeps them alive while the GIL is released, whatever happens
// to `reports`.
void readIterable(py::handle reports, Texts& t) {
  py::tuple items =
      py::reinterpret_steal<py::tuple>(PySequence_Tuple(reports.ptr()));
  if (!items) throw py::error_already_set();
  const size_t n = static_cast<size_t>(PyTuple_GET_SIZE(items.ptr()));
  t.data.reserve(n);
  t.size.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    Py_ssize_t len = 0;
    PyObject* item = PyTuple_GET_ITEM(items.ptr(), static_cast<Py_ssize_t>(i));
    t.data.push_back(reportText(item, len, static_cast<long>(i)));
    t.size.push_back(static_cast<size_t>(len));
  }
  t.keep = std::move(items);
}

bool isStringArray(py::handle h) {
  if (!py::isinstance<py::array>(h)) return false;
  char kind = py::reinterpret_borrow<py::array>(h).dtype().kind();
  return kind == 'U' || kind == 'S';
}

py::dict decodeTexts(py::handle reports) {
  Texts t;
  if (isStringArray(reports))
    readStringArray(py::reinterpret_borrow<py::array>(reports), t);
  else
    readIterable(reports, t);
  Columns columns;
  {
    py::gil_scoped_release nogil;
    const size_t n = t.data.size();
    columns.reserve(n);
    LString work;
    WReport record;
    Reading r;
    for (size_t k = 0; k < n; ++k) {
      decodeText(t.data[k], t.size[k], work, record, r);
      columns.add(r);
    }
  }
  return columns.take();
}

// A row of the columns for each report line of a file, and the count of
// the lines skipped for their length (WReportLines).
struct FileRows : WReportLines::Sink {
  explicit FileRows(Columns& c) : columns(c) {}
  void line(const char* s, size_t n, unsigned long) override {
    decodeText(s, n, work, record, r);
    columns.add(r);
  }
  void overlong(unsigned long number) override {
    if (longLines++ == 0) firstLong = number;
  }
  Columns& columns;
  LString work;
  WReport record;
  Reading r;
  size_t longLines = 0;
  unsigned long firstLong = 0;
};

// The size of the chunks a file is read in.
constexpr size_t kChunkBytes = 1024 * 1024;

// Decodes each report line of the open file `fd` into `rows`, reading it in
// chunks. Returns 0, or the errno of a failed read. No GIL needed.
int decodeLines(int fd, FileRows& rows) {
  WReportLines lines(rows);
  std::unique_ptr<char[]> chunk(new char[kChunkBytes]);
  for (;;) {
    ssize_t got = read(fd, chunk.get(), kChunkBytes);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return errno;
    if (got == 0) break;
    lines.feed(chunk.get(), static_cast<size_t>(got));
  }
  lines.finish();
  return 0;
}

// decode_file(fd, name): the columns of the file open as `fd`, and the
// number of lines longer than WReportLines::MAX_LINE (skipped) with the
// first of them (1-based; 0 when none). OSError with `name` when a read
// fails.
py::tuple decodeFile(int fd, py::object name) {
  Columns columns;
  FileRows rows(columns);
  int error;
  {
    py::gil_scoped_release nogil;
    error = decodeLines(fd, rows);
  }
  if (error != 0) {
    errno = error;
    PyErr_SetFromErrnoWithFilenameObject(PyExc_OSError, name.ptr());
    throw py::error_already_set();
  }
  return py::make_tuple(columns.take(), rows.longLines, rows.firstLong);
}

}  // namespace

void bindDecodeMany(py::module_& m) {
  m.def("decode_texts", &decodeTexts, py::arg("reports"),
        "decode_texts(reports) -> dict[str, numpy.ndarray]\n\n"
        "decode_many of an iterable of str or a NumPy string array.");
  m.def("decode_file", &decodeFile, py::arg("fd"), py::arg("name"),
        "decode_file(fd: int, name: object) -> tuple[dict[str, "
        "numpy.ndarray], int, int]\n\n"
        "decode_many of the file open as `fd`, one report per line (CR, LF "
        "or CR LF end a line; blank lines are skipped), read in chunks: the "
        "columns, the number of lines longer than MAX_LINE bytes (skipped, "
        "no report) and the first of them (1-based, 0 when none). OSError "
        "naming `name` when a read fails.");
  m.attr("MAX_LINE") = WReportLines::MAX_LINE;
}

}  // namespace stratus_py
