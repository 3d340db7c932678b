#ifndef KIV_APP_PLATFORM_H_
#define KIV_APP_PLATFORM_H_

#include <cstdio>

#include "convert/line_ends.h"

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

// How a source is opened and which line ends the filter has to join.
// Windows reads in binary and joins CR LF itself: its text mode would end
// the file at the first Ctrl-Z byte.
#if defined(_WIN32)
inline constexpr char kSourceMode[] = "rb";
inline constexpr LineEnds kSourceLineEnds = LineEnds::crlf_to_lf;
#else
inline constexpr char kSourceMode[] = "r";
inline constexpr LineEnds kSourceLineEnds = LineEnds::as_read;
#endif

// True when standard descriptor fd (0 or 1) was closed by the caller; the
// null device then takes its place, so that no file opened later lands on
// it and gets mistaken for a standard stream.
bool fill_if_closed(int fd);

// Puts standard input into the mode that sources are opened in.
void use_source_mode(std::FILE* stream);

// Puts standard output into the text mode that targets are opened in.
void use_text_mode(std::FILE* stream);

}  // namespace kiv

#endif  // KIV_APP_PLATFORM_H_
