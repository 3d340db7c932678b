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

// What `text` becomes with every escape option on and line breaks kept
// (-z): each byte a rule names takes its form, every other byte stays.
inline std::string every_escape_form(const std::string& text) {
  std::string escaped;
  for (unsigned char c : text) {
    switch (c) {
      case '\n': case '\r': escaped += "\\n"; break;
      case '\t': escaped += "\\t"; break;
      case '%': escaped += "%%"; break;
      case '<': escaped += "&lt;"; break;
      case '>': escaped += "&gt;"; break;
      case '"': case '\\': case '/': case '|': case '.': case ';': case '*':
      case '#': case '&': case '(': case ')': case '[': case ']': case '{':
      case '}':
        escaped += '\\';
        escaped += static_cast<char>(c);
        break;
      default: escaped += static_cast<char>(c);
    }
  }
  return escaped;
}

}  // namespace kiv

#endif  // KIV_TESTS_BYTES_H_
