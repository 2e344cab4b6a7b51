#include "ini_file.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "text.h"

namespace stratus_cli {

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

}  // namespace

bool IniFile::parse(const std::string& text, Error& error) {
  std::vector<Line> lines;
  std::string lineEnd = "\n";
  std::string section;
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
      for (const Line& earlier : lines) {
        if (earlier.kind == Kind::kEntry &&
            sameNameIgnoringCase(earlier.section, section) &&
            sameNameIgnoringCase(earlier.key, line.key)) {
          error = {number,
                   "\"" + line.key + "\" is set twice in [" + section + "]"};
          return false;
        }
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

std::string IniFile::text() const {
  std::string out;
  for (const Line& l : lines_) out += l.raw + lineEnd_;
  return out;
}

bool IniFile::load(const std::string& path, IniFile& file, Error& error) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0 && errno == ENOENT) {
    file = IniFile();
    return true;
  }
  struct stat st;
  if (fd >= 0 && fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) errno = EISDIR;
  std::string text;
  bool ok = fd >= 0 && !S_ISDIR(st.st_mode);
  char buf[4096];
  while (ok) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    text.append(buf, static_cast<size_t>(n));
  }
  int saved = errno;
  if (fd >= 0) close(fd);
  if (!ok) {
    errno = saved;
    error = {0, systemError("cannot read settings file", path)};
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
  std::string target = path;
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved) != nullptr) target = resolved;
  size_t slash = target.find_last_of('/');
  std::string dir = slash == std::string::npos ? "." : target.substr(0, slash);
  if (slash == 0) dir = "/";
  if (!makeFolders(dir)) {
    error = systemError("cannot make folder", dir);
    return false;
  }
  mode_t mode = 0644;
  struct stat st;
  if (stat(target.c_str(), &st) == 0) mode = st.st_mode & 07777;

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

}  // namespace stratus_cli
