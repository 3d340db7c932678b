#ifndef KIV_APP_PLATFORM_H_
#define KIV_APP_PLATFORM_H_

#include <cstdio>

namespace kiv {

// Which file a name or an open stream stands for, as far as the system
// tells: device (volume) and file number.
struct FileIdentity {
  bool regular = false;       // a regular file whose numbers are known
  bool device_known = true;   // false where the system names no volume
  unsigned long long device = 0;
  unsigned long long index = 0;
  unsigned long long index_high = 0;  // 128-bit file numbers (ReFS)
};

// Identity of the file behind an open stream.
FileIdentity identify_stream(std::FILE* stream);

// Identity of the file a path names (following links); not regular when
// the path names nothing.
FileIdentity identify_path(const char* path);

// True when both identities name the same regular file.
bool same_file(const FileIdentity& a, const FileIdentity& b);

// True when the stream was opened on a directory.
bool is_directory(std::FILE* stream);

// Puts a standard stream into the same text mode as files opened by name.
void use_text_mode(std::FILE* stream);

}  // namespace kiv

#endif  // KIV_APP_PLATFORM_H_
