#ifndef KIV_TESTS_CAPTURE_H_
#define KIV_TESTS_CAPTURE_H_

#include <cstdio>
#include <string>

namespace kiv {

// Runs `write` on a temporary stream and returns all bytes it wrote.
template <typename Write>
std::string capture(Write write) {
  std::FILE* stream = std::tmpfile();
  if (stream == nullptr) return "<tmpfile failed>";
  write(stream);
  std::rewind(stream);
  std::string bytes;
  char buffer[4096];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, stream)) > 0) {
    bytes.append(buffer, got);
  }
  std::fclose(stream);
  return bytes;
}

}  // namespace kiv

#endif  // KIV_TESTS_CAPTURE_H_
