// A fresh temporary directory for one test, removed with its contents at
// the end of the test.
#ifndef STRATUS_TESTING_TEMP_DIR_H_
#define STRATUS_TESTING_TEMP_DIR_H_

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

}  // namespace stratus_test

#endif  // STRATUS_TESTING_TEMP_DIR_H_
