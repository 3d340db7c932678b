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
    std::string joined(data.size(), '\0');
    Collapsed collapsed = collapse_crlf(
        reinterpret_cast<const unsigned char*>(data.data()), data.size(),
        at_end, reinterpret_cast<unsigned char*>(joined.data()));
    out.append(reinterpret_cast<const char*>(collapsed.bytes), collapsed.kept);
    pending = collapsed.cr_held ? "\r" : "";
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

// Line ends of every kind at every distance from each other, up to more
// than 64 bytes apart, so that they fall on every place of the pieces
// that the fast path moves.
std::string mixed_line_ends() {
  const char* const ends[] = {"\r\n", "\r", "\n", "\r\r\n", "\n\r"};
  std::string text;
  for (int i = 0; i < 500; ++i) {
    text.append(static_cast<std::size_t>(i % 97),
                static_cast<char>('a' + i % 26));
    text += ends[i % 5];
  }
  return text;
}

// Each CR LF as LF: the plain loop to hold the fast one to.
std::string collapsed_slowly(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    bool goes = text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n';
    if (!goes) out += text[i];
  }
  return out;
}

TEST(LineEnds, LongTextsAsThePlainLoopHasThem) {
  const std::string text = mixed_line_ends();
  const std::size_t blocks[] = {5, 64, 1000, text.size()};
  for (std::size_t block : blocks) {
    EXPECT_EQ(collapse(text, block), collapsed_slowly(text)) << block;
  }
}

}  // namespace
}  // namespace kiv
