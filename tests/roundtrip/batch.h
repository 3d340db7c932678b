#ifndef KIV_TESTS_ROUNDTRIP_BATCH_H_
#define KIV_TESTS_ROUNDTRIP_BATCH_H_

// Many texts are run through one program start (one compiled C program,
// one PHP, node or bash run): each case prints a marker, then its text.
// The expected output is known case by case, so a difference is traced
// back to the case in which it starts.

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "tests/roundtrip/texts.h"

namespace kiv::roundtrip {

// The line that separates case `index` from the one before.
std::string case_marker(std::size_t index);

class Expectation {
 public:
  // Case `text` (converted by Kiv to `converted`) must print its marker
  // and then `printed`. Cases are numbered in the order they are added.
  void add(const Text& text, const std::string& converted,
           const std::string& printed);

  std::size_t size() const { return cases_.size(); }

  // Everything the program must print.
  const std::string& bytes() const { return bytes_; }

  // What case `index` prints, cut from an output that equals bytes().
  std::string piece(const std::string& output, std::size_t index) const;

  // Succeeds when `output` equals bytes(); otherwise names the case where
  // the first difference lies and shows text, conversion and both prints.
  ::testing::AssertionResult matches(const std::string& output) const;

 private:
  struct Case {
    Text text;
    std::string converted;
    std::size_t start;   // offset of the printed text in bytes_
    std::size_t length;  // its length
  };
  std::vector<Case> cases_;
  std::string bytes_;
};

}  // namespace kiv::roundtrip

#endif  // KIV_TESTS_ROUNDTRIP_BATCH_H_
