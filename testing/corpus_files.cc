#include "testing/corpus_files.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

namespace stratus_test {

std::string sharedDir() {
  const char* env = getenv("STRATUS_SHARED_DIR");
  std::string dir = env && *env ? env : STRATUS_SHARED_DIR;
  struct stat st;
  if (stat((dir + "/corpus").c_str(), &st) == 0 && S_ISDIR(st.st_mode))
    return dir;
  return "";
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace stratus_test
