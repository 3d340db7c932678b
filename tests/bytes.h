#ifndef KIV_TESTS_BYTES_H_
#define KIV_TESTS_BYTES_H_

// Small byte helpers shared by the test suites.

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace kiv {

inline std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

inline void write_file(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Shows bytes readably for failure messages: escapes and hex for the rest.
inline std::string visible(const std::string& bytes) {
  std::string shown;
  char hex[8];
  for (unsigned char c : bytes) {
    if (c == '\n') {
      shown += "\\n\n";
    } else if (c == '\r') {
      shown += "\\r";
    } else if (c == '\t') {
      shown += "\\t";
    } else if (c == '\\') {
      shown += "\\\\";
    } else if (c < 0x20 || c >= 0x7f) {
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      shown += hex;
    } else {
      shown += static_cast<char>(c);
    }
  }
  return shown;
}

}  // namespace kiv

#endif  // KIV_TESTS_BYTES_H_
