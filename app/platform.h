#ifndef KIV_APP_PLATFORM_H_
#define KIV_APP_PLATFORM_H_

#include <cstdio>

#include "convert/line_ends.h"

namespace kiv {

// Which file an open stream is, as far as the system tells: device
// (volume) and file number.
struct FileIdentity {
  bool known = false;         // the system could tell
  bool directory = false;
  bool regular = false;
  bool comparable = false;    // a regular file, a named pipe or a block
                              // device: one that two names can lead to
  bool block_device = false;  // then the numbers are the device's own
  bool device_known = true;   // false where the system names no volume
  unsigned long long device = 0;
  unsigned long long index = 0;
  unsigned long long index_high = 0;  // 128-bit file numbers (ReFS)
};

// Identity of the file behind an open stream.
FileIdentity identify_stream(std::FILE* stream);

// Identity of the file a path names (following links); not known when
// the path names nothing.
FileIdentity identify_path(const char* path);

// True when both identities name the same regular file, named pipe or
// block device.
bool same_file(const FileIdentity& a, const FileIdentity& b);

// True when both identities are known and have the same numbers, whatever
// kind of file they name.
bool same_numbers(const FileIdentity& a, const FileIdentity& b);

// What stands on a standard descriptor that the caller closed.
struct StandIn {
  bool closed = false;
  FileIdentity identity;  // the file put in its place
};

// When standard descriptor fd (0 or 1) was closed by the caller, puts an
// empty file of this process's own in its place, so that no file opened
// later lands on it and gets mistaken for a standard stream. Its identity
// tells the stand-in apart when a name such as /dev/stdin leads to it.
StandIn fill_if_closed(int fd);

// Opens a source by name; null when it cannot be opened. Windows reads in
// binary and joins CR LF itself (kSourceLineEnds): its text mode would end
// the file at the first Ctrl-Z byte.
std::FILE* open_source(const char* path);

// Puts standard input into the mode that sources are opened in.
void use_source_mode(std::FILE* stream);

// The line ends the filter has to join in a source opened so.
extern const LineEnds kSourceLineEnds;

// Puts standard output into the text mode that targets are opened in.
void use_text_mode(std::FILE* stream);

}  // namespace kiv

#endif  // KIV_APP_PLATFORM_H_
