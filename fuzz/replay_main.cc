// Replays fuzz inputs through LLVMFuzzerTestOneInput without libFuzzer, so
// that g++ builds run the corpus (and every crash input kept in it) as an
// ordinary test. Arguments: files, or folders whose files are replayed.
#include <dirent.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

int replayFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", path.c_str());
    return 1;
  }
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                          std::istreambuf_iterator<char>());
  // An exact-size heap copy, so that a read past the end is caught.
  std::vector<uint8_t> input(bytes.begin(), bytes.end());
  LLVMFuzzerTestOneInput(input.empty() ? nullptr : input.data(), input.size());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  int inputs = 0, errors = 0;
  for (int i = 1; i < argc; ++i) {
    struct stat st;
    if (stat(argv[i], &st) != 0) {
      std::fprintf(stderr, "no such input: %s\n", argv[i]);
      return 1;
    }
    if (!S_ISDIR(st.st_mode)) {
      errors += replayFile(argv[i]);
      ++inputs;
      continue;
    }
    DIR* dir = opendir(argv[i]);
    if (dir == nullptr) return 1;
    while (dirent* e = readdir(dir)) {
      if (e->d_name[0] == '.') continue;
      errors += replayFile(std::string(argv[i]) + "/" + e->d_name);
      ++inputs;
    }
    closedir(dir);
  }
  std::printf("replayed %d inputs\n", inputs);
  return errors == 0 && inputs > 0 ? 0 : 1;
}
