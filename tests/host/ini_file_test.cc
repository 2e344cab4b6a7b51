// IniFile: parsing, lookups and in-place changes of settings text, and the
// atomic save on real files.
#include "host/ini_file.h"

#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "testing/corpus_files.h"
#include "testing/temp_dir.h"

namespace stratus {
namespace {

using stratus_test::readFile;
using stratus_test::TempDir;

IniFile parsed(const std::string& text) {
  IniFile f;
  IniFile::Error e;
  EXPECT_TRUE(f.parse(text, e))
      << text << "\nline " << e.line << ": " << e.message;
  return f;
}

// Values are trimmed, names match in any case, "=" ";" "#" stay in values,
// a byte order mark and CR LF are accepted, and the text round-trips.
TEST(IniFile, ReadsValuesAndRoundTrips) {
  const std::string text =
      "\xEF\xBB\xBF; comment\r\n[ Internet ]\r\n\tBase =  http://h/p?a=1;b#c  "
      "\r\n"
      "Empty=\r\n# other\r\n[Other]\r\nBase = 2\r\n";
  IniFile f = parsed(text);
  ASSERT_NE(f.get("internet", "BASE"), nullptr);
  EXPECT_EQ(*f.get("internet", "BASE"), "http://h/p?a=1;b#c");
  EXPECT_EQ(*f.get("Internet", "empty"), "");
  EXPECT_EQ(*f.get("other", "base"), "2");
  EXPECT_EQ(f.text(), text.substr(3))
      << "the text changes only by its byte order mark";
}

// set changes one line, or adds one after the section's last entry (a new
// section at the end), in the file's line ends; everything else stays.
TEST(IniFile, SetChangesOnlyItsLine) {
  struct Case {
    std::string before, key, value, after;
  } cases[] = {
      {"[Internet]\n  key  =   1\n", "KEY", "2", "[Internet]\n  key  = 2\n"},
      {"[Internet]\na = 1\n; note\n\n[X]\n", "b", "2",
       "[Internet]\na = 1\nb = 2\n; note\n\n[X]\n"},
      {"[Internet]\n[X]\nb = 1\n[internet]\na = 1\n", "c", "3",
       "[Internet]\n[X]\nb = 1\n[internet]\na = 1\nc = 3\n"},
      {"; top\n[X]\nb = 1", "c", "", "; top\n[X]\nb = 1\n\n[Internet]\nc = \n"},
      {"; a\r\n[Internet]\r\na=1\r\n", "b", "2",
       "; a\r\n[Internet]\r\na=1\r\nb = 2\r\n"},
      {"", "c", "v", "[Internet]\nc = v\n"},
  };
  for (const Case& c : cases) {
    IniFile f = parsed(c.before);
    f.set("Internet", c.key, c.value);
    EXPECT_EQ(f.text(), c.after) << c.before;
    EXPECT_EQ(*f.get("Internet", c.key), c.value) << c.before;
  }
}

// save replaces the file a symbolic link points at and keeps its permissions,
// makes missing folders private; an unwritable path is an error, no throw.
TEST(IniFile, SaveReplacesAtomically) {
  TempDir dir;
  std::string path = dir.write("real.ini", "[Internet]\na = 1\n");
  chmod(path.c_str(), 0600);
  ASSERT_EQ(symlink(path.c_str(), dir.file("link.ini").c_str()), 0);
  IniFile f = parsed("[Internet]\na = 2\n");
  std::string error;
  ASSERT_TRUE(IniFile::save(dir.file("link.ini"), f, error)) << error;
  EXPECT_EQ(readFile(path), "[Internet]\na = 2\n");
  struct stat st;
  ASSERT_EQ(lstat(dir.file("link.ini").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link was replaced by a file";
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ASSERT_TRUE(IniFile::save(dir.file("new/sub/settings.ini"), f, error));
  ASSERT_EQ(stat(dir.file("new/sub").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u) << "a new folder is private";

  dir.write("plain", "x");
  EXPECT_FALSE(IniFile::save(dir.file("plain/sub/settings.ini"), f, error));
  EXPECT_NE(error.find("plain"), std::string::npos) << error;

  IniFile::Error e;
  EXPECT_FALSE(IniFile::load(dir.path(), f, e))
      << "a folder is no settings file";
}

// Makes a file of a kind other than regular at `path`: 'c' a character
// device (a copy of /dev/null), 'p' a FIFO, 'd' a folder, 's' a socket.
// False when the system refuses (a device needs root).
bool makeSpecial(const std::string& path, char kind) {
  if (kind == 'c')
    return mknod(path.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
  if (kind == 'p') return mkfifo(path.c_str(), 0600) == 0;
  if (kind == 'd') return mkdir(path.c_str(), 0700) == 0;
  int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  bool made =
      bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return made;
}

bool put(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  return static_cast<bool>(out << text);
}

// IniFile::load(path) in a child process, killed after 5 s: what it gave
// ("loaded" or its message), or "no end" when it blocked or kept reading.
std::string loadInChild(const std::string& path) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return "no pipe";
  pid_t pid = fork();
  if (pid == 0) {
    IniFile f;
    IniFile::Error e;
    std::string said = IniFile::load(path, f, e) ? "loaded" : e.message;
    _exit(write(pipeFds[1], said.data(), said.size()) < 0);
  }
  close(pipeFds[1]);
  int raw = 0;
  bool ended = false;
  for (int i = 0; i < 500 && !ended; ++i) {
    ended = waitpid(pid, &raw, WNOHANG) == pid;
    if (!ended) usleep(10000);
  }
  if (!ended) {
    kill(pid, SIGKILL);
    waitpid(pid, &raw, 0);
  }
  std::string said;
  char buf[512];
  for (ssize_t n; (n = read(pipeFds[0], buf, sizeof buf)) > 0;)
    said.append(buf, static_cast<size_t>(n));
  close(pipeFds[0]);
  return ended ? said : "no end";
}

// Only a regular file of at most 1 MiB is read; anything else is refused
// at once, unread, with a message naming the path.
TEST(IniFile, LoadReadsOnlyRegularFilesUpToTheCap) {
  TempDir dir;
  const std::string full =
      "[Internet]\n; " + std::string(IniFile::kMaxBytes - 14, 'x') + "\n";
  ASSERT_EQ(full.size(), IniFile::kMaxBytes);
  struct Case {
    std::string name;
    std::function<bool(const std::string&)> make;
    std::string said;
  } cases[] = {
      {"zero",
       [](const std::string& p) {
         return symlink("/dev/zero", p.c_str()) == 0;
       },
       "is a character device, not a regular file"},
      {"fifo", [](const std::string& p) { return makeSpecial(p, 'p'); },
       "is a FIFO, not a regular file"},
      {"fifo-link",
       [&](const std::string& p) {
         return symlink(dir.file("fifo").c_str(), p.c_str()) == 0;
       },
       "is a FIFO, not a regular file"},
      {"folder", [](const std::string& p) { return makeSpecial(p, 'd'); },
       "is a folder, not a regular file"},
      {"socket", [](const std::string& p) { return makeSpecial(p, 's'); },
       "is a socket, not a regular file"},
      {"large", [&](const std::string& p) { return put(p, full + "x"); },
       "is larger than 1 MiB"},
      {"full", [&](const std::string& p) { return put(p, full); }, "loaded"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.file(c.name);
    ASSERT_TRUE(c.make(path)) << std::strerror(errno);
    const std::string said = loadInChild(path);
    EXPECT_NE(said.find(c.said), std::string::npos) << said;
    if (c.said != "loaded") {
      EXPECT_EQ(said.rfind("settings file " + path, 0), 0u) << said;
    }
  }
}

// A file of 40,000 keys parses whole, duplicates are found by section and
// key regardless of case, also across repeated headers; the same key in
// another section is no duplicate.
TEST(IniFile, ParsesLargeFilesAndFindsDuplicates) {
  std::string text = "[Internet]\n";
  for (int i = 0; i < 40000; ++i)
    text += "Key" + std::to_string(i) + " = " + std::to_string(i) + "\n";
  IniFile f = parsed(text + "[Other]\nkey7 = x\n");
  EXPECT_EQ(f.entries("internet").size(), 40000u);
  ASSERT_NE(f.get("INTERNET", "key39999"), nullptr);
  EXPECT_EQ(*f.get("INTERNET", "key39999"), "39999");
  EXPECT_EQ(f.lineOf("other", "KEY7"), 40003);
  struct Case {
    std::string text;
    int line;
  } cases[] = {
      {text + "KEY123 = again\n", 40002},
      {text + "[Other]\n[INTERNET]\nkey0 = again\n", 40004},
  };
  for (const Case& c : cases) {
    IniFile::Error e;
    EXPECT_FALSE(f.parse(c.text, e));
    EXPECT_EQ(e.line, c.line);
    EXPECT_NE(e.message.find("is set twice"), std::string::npos) << e.message;
  }
}

// The save replaces only a regular file its owner may write, also when the
// caller is root: a device, a FIFO, a folder, a socket (or a link to one)
// and a read-only file stay exactly as they were, with a message naming the
// path; update refuses them before reading or changing anything.
TEST(IniFile, SaveReplacesOnlyWritableRegularFiles) {
  TempDir dir;
  struct Case {
    std::string name;
    std::function<bool(const std::string&)> make;
    std::string said;
  } cases[] = {
      {"device", [](const std::string& p) { return makeSpecial(p, 'c'); },
       "it is a character device, not a regular file"},
      {"device-link",
       [&](const std::string& p) {
         return symlink(dir.file("device").c_str(), p.c_str()) == 0;
       },
       "it is a character device, not a regular file"},
      {"fifo", [](const std::string& p) { return makeSpecial(p, 'p'); },
       "it is a FIFO"},
      {"folder", [](const std::string& p) { return makeSpecial(p, 'd'); },
       "it is a folder"},
      {"socket", [](const std::string& p) { return makeSpecial(p, 's'); },
       "it is a socket"},
      {"read-only",
       [&](const std::string& p) {
         return put(p, "[Internet]\na = 1\n") && chmod(p.c_str(), 0444) == 0;
       },
       "it is read-only"},
      {"owner-read-only",
       [&](const std::string& p) {
         return put(p, "[Internet]\na = 1\n") && chmod(p.c_str(), 0066) == 0;
       },
       "it is read-only"},
  };
  IniFile f = parsed("[Internet]\na = 2\n");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.file(c.name);
    if (!c.make(path)) {
      std::cout << "row " << c.name << " skipped: " << std::strerror(errno)
                << "\n";
      continue;
    }
    struct stat before, after;
    ASSERT_EQ(stat(path.c_str(), &before), 0);
    std::string error;
    EXPECT_FALSE(IniFile::save(path, f, error));
    EXPECT_EQ(error.rfind("cannot write settings file " + path, 0), 0u)
        << error;
    EXPECT_NE(error.find(c.said), std::string::npos) << error;
    bool changed = false;
    auto change = [&](IniFile&, std::string&) { return changed = true; };
    EXPECT_EQ(IniFile::update(path, change, error),
              IniFile::Update::kCantWrite);
    EXPECT_NE(error.find(c.said), std::string::npos) << error;
    EXPECT_FALSE(changed);
    ASSERT_EQ(stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(after.st_ino, before.st_ino);
    if (S_ISREG(after.st_mode)) {
      EXPECT_EQ(readFile(path), "[Internet]\na = 1\n");
    }
  }
}

// Twenty processes each set their own key in the same file at once, for
// several rounds: every key lands, and no temporary file is left behind.
TEST(IniFile, ConcurrentUpdatesAllLand) {
  constexpr int kWriters = 20, kRounds = 5;
  for (int round = 0; round < kRounds; ++round) {
    TempDir dir;
    const std::string path = dir.write("settings.ini", "[Internet]\n");
    int gate[2];
    ASSERT_EQ(pipe(gate), 0);
    std::vector<pid_t> writers;
    for (int i = 0; i < kWriters; ++i) {
      pid_t pid = fork();
      if (pid == 0) {
        close(gate[1]);
        char c;
        if (read(gate[0], &c, 1) != 0) _exit(2);  // all start at the close
        std::string error;
        auto change = [i](IniFile& file, std::string&) {
          file.set("Internet", "Key" + std::to_string(i), std::to_string(i));
          return true;
        };
        _exit(IniFile::update(path, change, error) == IniFile::Update::kSaved
                  ? 0
                  : 1);
      }
      writers.push_back(pid);
    }
    close(gate[0]);
    close(gate[1]);
    int failed = 0;
    for (pid_t pid : writers) {
      int raw = 0;
      waitpid(pid, &raw, 0);
      failed += !WIFEXITED(raw) || WEXITSTATUS(raw) != 0;
    }
    EXPECT_EQ(failed, 0) << "round " << round;
    IniFile f;
    IniFile::Error e;
    ASSERT_TRUE(IniFile::load(path, f, e)) << e.message;
    int lost = 0;
    for (int i = 0; i < kWriters; ++i) {
      const std::string* v = f.get("Internet", "Key" + std::to_string(i));
      lost += v == nullptr || *v != std::to_string(i);
    }
    EXPECT_EQ(lost, 0) << "round " << round << ":\n" << f.text();
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
      names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names,
              (std::vector<std::string>{"settings.ini", "settings.ini.lock"}));
  }
}

}  // namespace
}  // namespace stratus
