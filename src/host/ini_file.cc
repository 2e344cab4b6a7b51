#include "host/ini_file.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <unordered_set>

#include "foundation/ascii.h"

namespace stratus {

namespace {

std::string systemError(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

// Makes every missing folder of `dir` (mode 0700, as for a private
// configuration folder).
bool makeFolders(const std::string& dir) {
  if (dir.empty()) return true;
  struct stat st;
  if (stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  size_t slash = dir.find_last_of('/');
  if (slash != std::string::npos && slash > 0 &&
      !makeFolders(dir.substr(0, slash)))
    return false;
  return mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

bool writeAll(int fd, const std::string& text) {
  const char* p = text.data();
  size_t left = text.size();
  while (left > 0) {
    ssize_t n = write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    left -= static_cast<size_t>(n);
  }
  return true;
}

// `path` with every symbolic link resolved, or `path` itself when it does not
// exist (or is a link to nothing).
std::string resolved(const std::string& path) {
  char buf[PATH_MAX];
  return realpath(path.c_str(), buf) != nullptr ? std::string(buf) : path;
}

std::string folderOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// "a folder", "a FIFO", ... for a file that is not a regular one.
const char* kindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

// `path`, and the file it leads to when it is a symbolic link.
std::string naming(const std::string& path, const std::string& target) {
  struct stat st;
  bool link = lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
  return link ? path + " (" + target + ")" : path;
}

// True when the save may replace `target` (what `path` leads to): it does
// not exist yet, or it is a regular file that its owner may write and the
// caller may write. `mode` then holds its permissions (kept as they are).
// Root may write any file, so the owner's write permission is checked too.
bool replaceable(const std::string& path, const std::string& target,
                 mode_t& mode, std::string& error) {
  struct stat st;
  if (stat(target.c_str(), &st) != 0) {
    if (errno == ENOENT) return true;
    error = systemError("cannot write settings file", naming(path, target));
    return false;
  }
  const std::string what = "cannot write settings file " + naming(path, target);
  if (!S_ISREG(st.st_mode)) {
    error = what + ": it is " + kindOf(st.st_mode) + ", not a regular file";
    return false;
  }
  if ((st.st_mode & S_IWUSR) == 0 || access(target.c_str(), W_OK) != 0) {
    error = what + ": it is read-only";
    return false;
  }
  mode = st.st_mode & 07777;
  return true;
}

// An exclusive flock() on a lock file, released when destroyed.
class FileLock {
 public:
  FileLock() = default;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  ~FileLock() {
    if (fd_ >= 0) close(fd_);  // closing the last descriptor unlocks
  }

  // Waits for the lock on `path` (made when missing), up to about 10 s.
  bool acquire(const std::string& path, std::string& error) {
    // Read-only is enough for flock, so any user who can read the lock file
    // can take it; O_NOFOLLOW and O_NONBLOCK keep a link or a FIFO planted
    // there from redirecting or stalling the open.
    fd_ = open(path.c_str(),
               O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644);
    struct stat st;
    if (fd_ < 0 || fstat(fd_, &st) != 0) {
      error = systemError("cannot open lock file", path);
      return false;
    }
    if (!S_ISREG(st.st_mode)) {
      error = "lock file " + path + " is " + kindOf(st.st_mode);
      return false;
    }
    for (int waited = 0; flock(fd_, LOCK_EX | LOCK_NB) != 0; ++waited) {
      if (errno != EWOULDBLOCK && errno != EINTR) {
        error = systemError("cannot lock", path);
        return false;
      }
      if (waited == 1000) {
        error = "another process has held the lock " + path + " for 10 s";
        return false;
      }
      usleep(10000);
    }
    return true;
  }

 private:
  int fd_ = -1;
};

}  // namespace

bool IniFile::parse(const std::string& text, Error& error) {
  std::vector<Line> lines;
  std::string lineEnd = "\n";
  std::string section;
  // Every "section\nkey" so far, lower-cased: one look-up per entry keeps the
  // parse linear.
  std::unordered_set<std::string> seen;
  size_t pos = 0;
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) pos = 3;
  for (int number = 1; pos < text.size(); ++number) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    Line line;
    line.raw = text.substr(pos, end - pos);
    pos = end + 1;
    if (!line.raw.empty() && line.raw.back() == '\r') {
      line.raw.pop_back();
      if (number == 1) lineEnd = "\r\n";
    }
    std::string t = trim(line.raw);
    if (t.empty() || t[0] == ';' || t[0] == '#') {
      line.kind = Kind::kOther;
    } else if (t[0] == '[') {
      if (t.back() != ']') {
        error = {number, "a section name must end with \"]\""};
        return false;
      }
      section = trim(t.substr(1, t.size() - 2));
      if (section.empty()) {
        error = {number, "empty section name \"[]\""};
        return false;
      }
      line.kind = Kind::kSection;
      line.section = section;
    } else {
      size_t eq = t.find('=');
      if (eq == std::string::npos) {
        error = {number,
                 "expected \"key = value\", \"[section]\" or a comment"};
        return false;
      }
      line.key = trim(t.substr(0, eq));
      line.value = trim(t.substr(eq + 1));
      if (line.key.empty()) {
        error = {number, "missing key before \"=\""};
        return false;
      }
      if (section.empty()) {
        error = {number, "\"" + line.key + "\" stands before any [section]"};
        return false;
      }
      if (!seen.insert(lowerAscii(section) + '\n' + lowerAscii(line.key))
               .second) {
        error = {number,
                 "\"" + line.key + "\" is set twice in [" + section + "]"};
        return false;
      }
      line.kind = Kind::kEntry;
      line.section = section;
    }
    lines.push_back(std::move(line));
  }
  lines_ = std::move(lines);
  lineEnd_ = lineEnd;
  return true;
}

int IniFile::find(const std::string& section, const std::string& key) const {
  for (size_t i = 0; i < lines_.size(); ++i) {
    const Line& l = lines_[i];
    if (l.kind == Kind::kEntry && sameNameIgnoringCase(l.section, section) &&
        sameNameIgnoringCase(l.key, key))
      return static_cast<int>(i);
  }
  return -1;
}

const std::string* IniFile::get(const std::string& section,
                                const std::string& key) const {
  int i = find(section, key);
  return i < 0 ? nullptr : &lines_[i].value;
}

int IniFile::lineOf(const std::string& section, const std::string& key) const {
  return find(section, key) + 1;
}

std::vector<std::pair<std::string, std::string>> IniFile::entries(
    const std::string& section) const {
  std::vector<std::pair<std::string, std::string>> out;
  for (const Line& l : lines_) {
    if (l.kind == Kind::kEntry && sameNameIgnoringCase(l.section, section))
      out.emplace_back(l.key, l.value);
  }
  return out;
}

void IniFile::set(const std::string& section, const std::string& key,
                  const std::string& value) {
  int i = find(section, key);
  if (i >= 0) {
    // Keep everything up to the "=" and the blank after it, if there was one.
    Line& l = lines_[i];
    size_t eq = l.raw.find('=');
    bool blank = eq + 1 < l.raw.size() &&
                 (l.raw[eq + 1] == ' ' || l.raw[eq + 1] == '\t');
    l.raw = l.raw.substr(0, eq + 1) + (blank ? " " : "") + value;
    l.value = value;
    return;
  }
  Line entry;
  entry.kind = Kind::kEntry;
  entry.raw = key + " = " + value;
  entry.key = key;
  entry.value = value;
  // After the last entry (or the header) of the section's last occurrence.
  int after = -1;
  for (size_t j = 0; j < lines_.size(); ++j) {
    const Line& l = lines_[j];
    if (l.kind != Kind::kOther && sameNameIgnoringCase(l.section, section)) {
      after = static_cast<int>(j);
      entry.section = l.section;
    }
  }
  if (after >= 0) {
    lines_.insert(lines_.begin() + after + 1, std::move(entry));
    return;
  }
  if (!lines_.empty() && !trim(lines_.back().raw).empty()) lines_.push_back({});
  Line header;
  header.kind = Kind::kSection;
  header.raw = "[" + section + "]";
  header.section = section;
  lines_.push_back(std::move(header));
  entry.section = section;
  lines_.push_back(std::move(entry));
}

void IniFile::erase(const std::string& section, const std::string& key) {
  for (int i = find(section, key); i >= 0; i = find(section, key))
    lines_.erase(lines_.begin() + i);
}

std::string IniFile::text() const {
  std::string out;
  for (const Line& l : lines_) out += l.raw + lineEnd_;
  return out;
}

bool IniFile::load(const std::string& path, IniFile& file, Error& error) {
  // O_NONBLOCK: opening a FIFO must not wait for a writer (it has no effect
  // on a regular file).
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  const int openError = errno;
  if (fd < 0 && openError == ENOENT) {
    file = IniFile();
    return true;
  }
  // A socket cannot be opened at all; the others are refused unread.
  struct stat st;
  bool known = fd >= 0 ? fstat(fd, &st) == 0 : stat(path.c_str(), &st) == 0;
  if (known && !S_ISREG(st.st_mode)) {
    if (fd >= 0) close(fd);
    error = {0, "settings file " + naming(path, resolved(path)) + " is " +
                    kindOf(st.st_mode) + ", not a regular file"};
    return false;
  }
  if (fd < 0) {
    errno = openError;
    error = {0, systemError("cannot read settings file", path)};
    return false;
  }
  const std::string tooLarge = "settings file " + path + " is larger than " +
                               std::to_string(kMaxBytes >> 20) + " MiB";
  if (known && static_cast<size_t>(st.st_size) > kMaxBytes) {
    close(fd);
    error = {0, tooLarge};
    return false;
  }
  std::string text;
  bool ok = true;
  // The file may have grown since fstat: stop reading once past the cap.
  char buf[4096];
  while (ok && text.size() <= kMaxBytes) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    text.append(buf, static_cast<size_t>(n));
  }
  int saved = errno;
  close(fd);
  if (!ok) {
    errno = saved;
    error = {0, systemError("cannot read settings file", path)};
    return false;
  }
  if (text.size() > kMaxBytes) {
    error = {0, tooLarge};
    return false;
  }
  if (!file.parse(text, error)) {
    error.message = "settings file " + path + ", line " +
                    std::to_string(error.line) + ": " + error.message;
    return false;
  }
  return true;
}

bool IniFile::save(const std::string& path, const IniFile& file,
                   std::string& error) {
  const std::string target = resolved(path);
  const std::string dir = folderOf(target);
  if (!makeFolders(dir)) {
    error = systemError("cannot make folder", dir);
    return false;
  }
  mode_t mode = 0644;
  if (!replaceable(path, target, mode, error)) return false;

  std::string temp = target + ".XXXXXX";
  int fd = mkstemp(&temp[0]);
  if (fd < 0) {
    error = systemError("cannot write in folder", dir);
    return false;
  }
  bool ok =
      writeAll(fd, file.text()) && fchmod(fd, mode) == 0 && fsync(fd) == 0;
  int saved = errno;
  ok = close(fd) == 0 && ok;
  if (ok && rename(temp.c_str(), target.c_str()) != 0) {
    saved = errno;
    ok = false;
  }
  if (!ok) {
    unlink(temp.c_str());
    errno = saved;
    error = systemError("cannot write settings file", target);
    return false;
  }
  return true;
}

IniFile::Update IniFile::update(
    const std::string& path,
    const std::function<bool(IniFile&, std::string&)>& change,
    std::string& error) {
  const std::string target = resolved(path);
  const std::string dir = folderOf(target);
  if (!makeFolders(dir)) {
    error = systemError("cannot make folder", dir);
    return Update::kCantWrite;
  }
  // Refused before it is read: load would call a device a bad settings
  // file, but what fails here is the write.
  mode_t mode;
  if (!replaceable(path, target, mode, error)) return Update::kCantWrite;
  FileLock lock;
  if (!lock.acquire(target + ".lock", error)) return Update::kCantWrite;
  IniFile file;
  Error e;
  if (!load(path, file, e)) {
    error = e.message;
    return Update::kBadFile;
  }
  if (!change(file, error)) return Update::kBadFile;
  return save(path, file, error) ? Update::kSaved : Update::kCantWrite;
}

}  // namespace stratus
