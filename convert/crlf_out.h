#ifndef KIV_CONVERT_CRLF_OUT_H_
#define KIV_CONVERT_CRLF_OUT_H_

// How the output blocks reach a file or pipe on Windows. The C runtime's
// text mode would put the CR before each LF itself, but it calls the
// system for every kilobyte or so; here the filter writes CR LF itself
// (make_filter_table's crlf) and each block goes out in one call, past the
// runtime. The bytes are the same. A console keeps the runtime's text
// mode, which knows how to talk to it.

#include <cstddef>
#include <cstdio>

namespace kiv {

// The way the blocks of one run reach their stream.
struct BlockRoute {
  void* handle = nullptr;  // the system's handle behind the stream
  bool direct = false;     // false: the blocks go through the stream
  bool text = false;       // the stream is in text mode: LF goes as CR LF
};

// The route to a stream, in whatever mode it is.
BlockRoute block_route(std::FILE* stream);

// Writes n bytes of a block, which holds its line feeds as the stream's
// mode has them (in text mode as CR LF, when direct); false when writing
// failed.
bool write_to(const BlockRoute& route, std::FILE* stream,
              const unsigned char* data, std::size_t n);

}  // namespace kiv

#endif  // KIV_CONVERT_CRLF_OUT_H_
