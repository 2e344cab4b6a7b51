// IniFile: a settings file of [sections] and "key = value" lines that can be
// changed and written back without losing the user's comments, blank lines
// and order.
//
// Accepted lines (leading and trailing blanks and tabs ignored):
//   blank            kept as it is
//   ; text, # text   a comment, kept as it is
//   [Section]        starts a section; the name is not empty
//   key = value      an entry of the current section; the key is not empty,
//                    the value is the rest of the line, trimmed (it may be
//                    empty and may hold "=", ";" and "#")
// Anything else, an entry before the first section and a key given twice in
// one section are errors. Section and key names are matched without regard
// to case; their spelling in the file is kept. A UTF-8 byte order mark at
// the start and a carriage return before each line feed are accepted.
//
// Plain value type; not thread-safe.
#ifndef STRATUS_HOST_INI_FILE_H_
#define STRATUS_HOST_INI_FILE_H_

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace stratus {

class IniFile {
 public:
  // Where and why a text is not a settings file.
  struct Error {
    int line = 0;  // 1-based line number; 0 when the file as a whole failed
    std::string message;
  };

  // Replaces the contents by the parsed `text`. Returns false and fills
  // `error` when a line is malformed; the object is then unchanged.
  bool parse(const std::string& text, Error& error);

  // The value of `key` in `section`, or null when absent. The pointer is
  // valid until the next change.
  const std::string* get(const std::string& section,
                         const std::string& key) const;
  // The line number (1-based) of the entry, or 0 when absent.
  int lineOf(const std::string& section, const std::string& key) const;
  // Every entry of `section`, in file order, with keys spelt as in the file.
  std::vector<std::pair<std::string, std::string>> entries(
      const std::string& section) const;

  // Sets `key` in `section`. An existing entry is rewritten in place, keeping
  // the spelling of its key and its spacing around "="; a new one goes after
  // the last entry of the section, and a new section goes to the end.
  // `value` must not hold a line end.
  void set(const std::string& section, const std::string& key,
           const std::string& value);

  // Removes the entry `key` of `section`; the section's header, comments
  // and blank lines stay.
  void erase(const std::string& section, const std::string& key);

  // The whole file as text, every line ending as the parsed file's first line
  // did ("\n" for a new file).
  std::string text() const;

  // The largest settings file that load reads (1 MiB); a real one is a few
  // hundred bytes.
  static constexpr size_t kMaxBytes = 1 << 20;

  // Reads the file at `path` into `file`. A file that does not exist gives
  // an empty settings file and true. Anything that is not a regular file (or
  // a symbolic link to one), such as a folder, a device or a FIFO, is refused
  // without reading from it; so is a file over kMaxBytes, and an unreadable
  // or malformed one: false with `error` filled (the message then names the
  // file). Takes time linear in the file's size.
  static bool load(const std::string& path, IniFile& file, Error& error);

  // Writes `file` to `path` atomically: a temporary file in the same folder
  // is written, flushed to disk and renamed over `path`, so that a reader
  // sees the old or the new file, never a part. A symbolic link at `path` is
  // followed; the file keeps its permissions. Missing parent folders are
  // made. Only a regular file is replaced, and only one its owner may write
  // (a file without the owner's write permission is left alone even when
  // the caller is root). Returns false with `error` filled (naming the file)
  // when it could not be written; `path` is then unchanged.
  static bool save(const std::string& path, const IniFile& file,
                   std::string& error);

  enum class Update { kSaved, kBadFile, kCantWrite };
  // Reads, changes and saves the file at `path` as one step: while `change`
  // runs on the loaded file, the other updates of the same file wait, so
  // that concurrent updates of different keys all land. The lock is an
  // advisory flock() on "<file>.lock" beside the file that a symbolic link
  // at `path` points at; the lock file is made when missing and stays (the
  // settings file itself cannot carry the lock: each save replaces it, and
  // a waiter would hold the lock of a file that is gone). A lock held
  // elsewhere for more than about 10 s gives up.
  //   kSaved      the changed file is saved
  //   kBadFile    the file could not be loaded, or `change` returned false
  //               (with `error` filled by load or by `change`)
  //   kCantWrite  the file is not one that save replaces (checked before it
  //               is read), or the lock or the save failed
  static Update update(
      const std::string& path,
      const std::function<bool(IniFile&, std::string&)>& change,
      std::string& error);

 private:
  enum class Kind { kOther, kSection, kEntry };
  struct Line {
    Kind kind = Kind::kOther;
    std::string raw;      // the line as read or written, without its line end
    std::string section;  // section name (for kSection and kEntry)
    std::string key;      // kEntry only
    std::string value;    // kEntry only
  };

  int find(const std::string& section, const std::string& key) const;

  std::vector<Line> lines_;
  std::string lineEnd_ = "\n";
};

}  // namespace stratus

#endif  // STRATUS_HOST_INI_FILE_H_
