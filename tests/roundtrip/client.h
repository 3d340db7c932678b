#ifndef KIV_TESTS_ROUNDTRIP_CLIENT_H_
#define KIV_TESTS_ROUNDTRIP_CLIENT_H_

// What the round-trip tests share about running programs (tests/process.h
// runs them): where they are, Kiv on a file, a scratch folder.

#include <string>
#include <vector>

#include "tests/process.h"

namespace kiv::roundtrip {

// Full path of a program found on PATH, or "" when there is none.
std::string find_program(const std::string& name);

// True when running under CI, where a missing client is a failure.
bool in_ci();

// Path of the built Kiv (or KivS) program.
std::string kiv_program(const std::string& name = "Kiv");

// Writes `text` to file `source` in `dir` and lets Kiv convert it into
// file `target` with these options. The result holds Kiv's exit code and
// messages (as `err`), and the target's bytes as `out`.
ProcessResult convert_file(const std::string& dir, const std::string& source,
                           const std::string& text, const std::string& target,
                           const std::vector<std::string>& options);

// A scratch folder that is removed when the test ends.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace kiv::roundtrip

// Looks up a client program; without it the test fails under CI (where
// scripts/check installs every client) and is skipped elsewhere.
#define REQUIRE_CLIENT(var, program, package)                                  \
  const std::string var = ::kiv::roundtrip::find_program(program);            \
  if (var.empty()) {                                                           \
    if (::kiv::roundtrip::in_ci()) {                                           \
      FAIL() << program << " is missing (Debian package " << package           \
             << "); scripts/check installs it";                               \
    }                                                                          \
    GTEST_SKIP() << program << " not found: install the Debian package "      \
                 << package << " (scripts/check does) to run this test";      \
  }

#endif  // KIV_TESTS_ROUNDTRIP_CLIENT_H_
