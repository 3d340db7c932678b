#include "convert/line_ends.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/filter_runs.h"

namespace kiv {
namespace {

TEST(LineEnds, OnlyCrDirectlyBeforeLfGoes) {
  for (std::size_t block : {1u, 2u, 3u, 64u}) {
    EXPECT_EQ(collapse_in_blocks("a\r\nb", block), "a\nb") << block;
    EXPECT_EQ(collapse_in_blocks("a\rb", block), "a\rb") << block;
    EXPECT_EQ(collapse_in_blocks("a\r\r\nb", block), "a\r\nb") << block;
    EXPECT_EQ(collapse_in_blocks("\r\n\r\n", block), "\n\n") << block;
    EXPECT_EQ(collapse_in_blocks("end\r", block), "end\r") << block;
    EXPECT_EQ(collapse_in_blocks("\n\r", block), "\n\r") << block;
  }
}

TEST(LineEnds, OtherBytesSurviveIncludingCtrlZ) {
  std::string all;
  for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
  EXPECT_EQ(collapse_in_blocks(all, 7), all);
  EXPECT_EQ(collapse_in_blocks(std::string("a\x1a\0b\r\n", 6), 2),
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

TEST(LineEnds, LongTextsAsThePlainLoopHasThem) {
  const std::string text = mixed_line_ends();
  const std::size_t blocks[] = {5, 64, 1000, text.size()};
  for (std::size_t block : blocks) {
    EXPECT_EQ(collapse_in_blocks(text, block), collapsed_slowly(text)) << block;
  }
}

}  // namespace
}  // namespace kiv
