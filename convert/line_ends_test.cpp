#include "convert/line_ends.h"

#include <gtest/gtest.h>

#include <string>

namespace kiv {
namespace {

// Feeds text in blocks of `block` bytes the way the reader does, carrying
// a held CR to the front of the next block.
std::string collapse(const std::string& text, std::size_t block) {
  std::string out;
  std::string pending;
  for (std::size_t at = 0; at <= text.size(); at += block) {
    bool at_end = at + block >= text.size();
    std::string data = pending + text.substr(at, block);
    std::size_t kept = collapse_crlf(
        reinterpret_cast<unsigned char*>(data.data()), data.size(), at_end);
    out.append(data, 0, kept);
    pending = !at_end && !data.empty() && data.back() == '\r' ? "\r" : "";
    if (at_end) break;
  }
  return out;
}

TEST(LineEnds, OnlyCrDirectlyBeforeLfGoes) {
  for (std::size_t block : {1u, 2u, 3u, 64u}) {
    EXPECT_EQ(collapse("a\r\nb", block), "a\nb") << block;
    EXPECT_EQ(collapse("a\rb", block), "a\rb") << block;
    EXPECT_EQ(collapse("a\r\r\nb", block), "a\r\nb") << block;
    EXPECT_EQ(collapse("\r\n\r\n", block), "\n\n") << block;
    EXPECT_EQ(collapse("end\r", block), "end\r") << block;
    EXPECT_EQ(collapse("\n\r", block), "\n\r") << block;
  }
}

TEST(LineEnds, OtherBytesSurviveIncludingCtrlZ) {
  std::string all;
  for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
  EXPECT_EQ(collapse(all, 7), all);
  EXPECT_EQ(collapse(std::string("a\x1a\0b\r\n", 6), 2),
            std::string("a\x1a\0b\n", 5));
}

// Expands text in pieces of at most `room` bytes; each piece must be the
// whole expansion of the bytes it took, so that no CR LF pair is split
// between two writes.
std::string expand(const std::string& text, std::size_t room) {
  std::string out;
  std::string piece(room, '\0');
  const auto* data = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t taken = 0;
    std::size_t put =
        expand_lf(data + at, text.size() - at,
                  reinterpret_cast<unsigned char*>(piece.data()), room, taken);
    std::string expected;
    for (char c : text.substr(at, taken)) expected += c == '\n' ? "\r\n" : std::string(1, c);
    EXPECT_EQ(piece.substr(0, put), expected) << "room " << room;
    if (taken == 0) {
      ADD_FAILURE() << "no progress at " << at << ", room " << room;
      break;
    }
    at += taken;
    out += piece.substr(0, put);
  }
  return out;
}

TEST(LineEnds, EveryLfGetsACrAndNothingElseChanges) {
  std::string all;
  for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
  std::string all_expanded = all;
  all_expanded.insert(10, 1, '\r');
  for (std::size_t room : {2u, 3u, 5u, 64u, 1024u}) {
    EXPECT_EQ(expand("a\nb", room), "a\r\nb") << room;
    EXPECT_EQ(expand("\n\n", room), "\r\n\r\n") << room;
    // A CR stays alone, also one that already stands before an LF.
    EXPECT_EQ(expand("a\rb\r", room), "a\rb\r") << room;
    EXPECT_EQ(expand("\r\n", room), "\r\r\n") << room;
    EXPECT_EQ(expand("no line end", room), "no line end") << room;
    EXPECT_EQ(expand(all, room), all_expanded) << room;
  }
}

}  // namespace
}  // namespace kiv
