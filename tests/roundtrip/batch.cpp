#include "tests/roundtrip/batch.h"

#include <algorithm>

#include "tests/roundtrip/client.h"

namespace kiv::roundtrip {

std::string case_marker(std::size_t index) {
  return "\n@@ case " + std::to_string(index) + " @@\n";
}

void Expectation::add(const Text& text, const std::string& converted,
                      const std::string& printed) {
  bytes_ += case_marker(cases_.size());
  cases_.push_back({text, converted, bytes_.size(), printed.size()});
  bytes_ += printed;
}

std::string Expectation::piece(const std::string& output, std::size_t index) const {
  const Case& c = cases_.at(index);
  return output.substr(c.start, c.length);
}

::testing::AssertionResult Expectation::matches(const std::string& output) const {
  if (output == bytes_) return ::testing::AssertionSuccess();
  std::size_t diff = static_cast<std::size_t>(
      std::mismatch(bytes_.begin(),
                    bytes_.begin() + static_cast<std::ptrdiff_t>(
                                         std::min(bytes_.size(), output.size())),
                    output.begin())
          .first -
      bytes_.begin());
  // The case whose marker or text holds the first difference.
  std::size_t index = 0;
  while (index + 1 < cases_.size() &&
         cases_[index + 1].start - case_marker(index + 1).size() <= diff) {
    ++index;
  }
  auto result = ::testing::AssertionFailure();
  if (cases_.empty()) return result << "printed:\n" << visible(output);
  const Case& c = cases_[index];
  std::size_t from = c.start - case_marker(index).size();
  std::size_t shown = c.length + case_marker(index).size() + 40;
  result << "output differs from byte " << diff << " on, in case " << index
         << " (" << c.text.name << ")\ntext:\n"
         << visible(c.text.bytes) << "\nconverted:\n"
         << visible(c.converted) << "\nwanted:\n"
         << visible(bytes_.substr(from, shown)) << "\nprinted:\n"
         << visible(from < output.size() ? output.substr(from, shown) : "");
  return result;
}

}  // namespace kiv::roundtrip
