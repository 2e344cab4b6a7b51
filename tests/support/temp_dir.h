// A fresh temporary directory for one test, removed with its contents at
// the end of the test.
#ifndef STRATUS_TESTS_SUPPORT_TEMP_DIR_H_
#define STRATUS_TESTS_SUPPORT_TEMP_DIR_H_

#include <string>

namespace stratus_test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path() + "/" + name.
  std::string file(const std::string& name) const;
  // Writes `content` to path()/name, replacing the file; returns its path.
  std::string write(const std::string& name, const std::string& content) const;

 private:
  std::string path_;
};

// The shared corpus folder (corpus/, research/) when present, else "".
// Tests that need it call GTEST_SKIP() with a message when this is empty.
std::string sharedDir();

// The whole content of a file; "" when it cannot be read.
std::string readFile(const std::string& path);

}  // namespace stratus_test

#endif  // STRATUS_TESTS_SUPPORT_TEMP_DIR_H_
