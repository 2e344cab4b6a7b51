// WSettingsFile: the settings file of a host, as the keeper (LKeeper) that
// WReader::SetKeeper takes. The keys and the rule for their values are
// WSettings (stratus/reader/settings.h).
#ifndef STRATUS_HOST_SETTINGS_FILE_H_
#define STRATUS_HOST_SETTINGS_FILE_H_

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "stratus/export.h"
#include "stratus/foundation/host.h"
#include "stratus/foundation/string.h"
#include "stratus/reader/settings.h"

// WSettingsFile: a settings file of [sections] and "key = value" lines as a
// keeper (LKeeper). Reads and stores go to the file's contents in memory:
// the defaults that WReader::SetKeeper stores live for the object's life
// and never reach the disk. The file on disk changes only through set,
// unset and reset, each of which reads, changes and replaces it as one step
// under a lock.
//
// The file's form: blank lines and comments (";" or "#") are kept as they
// are; "[Section]" starts a section; "key = value" is an entry (the value is
// the rest of the line, trimmed, and may be empty). Section and key names
// match regardless of case and keep their spelling. A UTF-8 byte order mark
// and CR LF line ends are accepted and kept. Anything else, an entry before
// the first section and a key given twice in a section are errors.
//
// Limits: only a regular file (or a symbolic link to one) is read or
// replaced; a folder, a device, a FIFO or a socket is refused unread; a file
// over MAX_BYTES is refused; reading takes time linear in the size. An
// update locks "<file>.lock" beside the file a link points at (flock; the
// lock file is made when missing and kept) and gives up after about 10 s
// when another process holds it. The file is replaced atomically (a
// temporary file in the same folder, flushed, renamed over it) and keeps its
// permissions; a file its owner may not write is left alone, even by root.
//
// Not thread-safe; one object per thread. Separate processes may update the
// same file at once: each update lands.
class STRATUS_EXPORT WSettingsFile final : public LKeeper {
 public:
  enum Result {
    DONE = 0,        // read, or changed and saved
    BAD_FILE = 1,    // the file cannot be read, is malformed or holds a value
                     // that WSettings::check refuses
    CANT_WRITE = 2,  // the file is not one that is replaced, or the lock or
                     // the write failed; the file is unchanged
    REFUSED = 3      // the key is unknown or the value is refused by
                     // WSettings::check; nothing read or written
  };
  static constexpr long MAX_BYTES = 1L << 20;

  // A file at `path`, empty until load.
  explicit WSettingsFile(std::string path);
  ~WSettingsFile();
  WSettingsFile(const WSettingsFile&) = delete;
  WSettingsFile& operator=(const WSettingsFile&) = delete;

  const std::string& path() const { return path_; }

  // Reads the file (a missing file is an empty one) and checks the values
  // of the four settings as WSettings::check does. DONE, or BAD_FILE with
  // `error` naming the file and, for a bad line or value, its line; the
  // contents in memory are unchanged then.
  Result load(std::string& error);

  // The value of `key` in `section` (any case), or null. Valid until the
  // next change.
  const std::string* get(const std::string& section,
                         const std::string& key) const;
  // Every entry of `section` in file order, keys spelt as in the file.
  std::vector<std::pair<std::string, std::string>> entries(
      const std::string& section) const;

  // Sets `key` (one of WSettings::LIST, any case; stored with the table's
  // spelling unless the file already spells it otherwise) to `value` in the
  // file on disk and in memory. REFUSED (with `error`) for an unknown key or
  // a value that WSettings::check refuses.
  Result set(const std::string& key, const std::string& value,
             std::string& error);
  // Removes `key` of the settings section from the file, so that the
  // default applies again. DONE also when it was not there; REFUSED for an
  // unknown key.
  Result unset(const std::string& key, std::string& error);
  // Removes every entry of the settings section; other sections, comments
  // and blank lines stay.
  Result reset(std::string& error);

  // LKeeper, on the contents in memory. readInt: L_OK when present and a
  // whole decimal int, L_FORMAT when present but not one, L_NOTFOUND when
  // absent. readString: L_OK or L_NOTFOUND. The stores: L_OK, or L_FORMAT
  // (nothing stored) for a string holding a line end.
  bool isPresent(const LString& section, const LString& key,
                 int flags) override;
  int readInt(const LString& section, const LString& key, int& value,
              int flags) override;
  int readString(const LString& section, const LString& key, LString& value,
                 int flags) override;
  int storeInt(const LString& section, const LString& key, int value,
               int flags) override;
  int storeString(const LString& section, const LString& key,
                  const LString& value, int flags) override;

 private:
  struct Contents;
  Result update(const std::function<bool(Contents&, std::string&)>& change,
                std::string& error);

  std::string path_;
  std::unique_ptr<Contents> contents_;
};

#endif  // STRATUS_HOST_SETTINGS_FILE_H_
