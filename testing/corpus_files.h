// Where the real data of tests and benchmarks is, and reading it whole.
#ifndef STRATUS_TESTING_CORPUS_FILES_H_
#define STRATUS_TESTING_CORPUS_FILES_H_

#include <string>

namespace stratus_test {

// The shared corpus folder (corpus/, research/) when present, else "".
// Tests that need it call GTEST_SKIP() with a message when this is empty.
std::string sharedDir();

// The whole content of a file; "" when it cannot be read.
std::string readFile(const std::string& path);

}  // namespace stratus_test

#endif  // STRATUS_TESTING_CORPUS_FILES_H_
