#include "convert/convert_buffer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "convert/stream.h"
#include "convert/wrappers.h"
#include "tests/bytes.h"
#include "tests/capture.h"
#include "tests/filter_runs.h"

namespace kiv {
namespace {

// What a run writes through the streams: openers, convert_text, closers,
// the final line feed.
std::string stream_run(const std::string& text, const Options& options) {
  ConvertStatus status;
  std::string body = stream_convert(text, options, status);
  EXPECT_EQ(status, ConvertStatus::ok);
  return capture([&](std::FILE* f) { write_openers(f, options); }) + body +
         capture([&](std::FILE* f) { write_closers(f, options); }) + "\n";
}

std::string buffer_run(const std::string& text, const Options& options) {
  std::vector<unsigned char> out(converted_size_limit(text.size()));
  std::size_t n = convert_buffer(
      reinterpret_cast<const unsigned char*>(text.data()), text.size(),
      options, out.data());
  return std::string(out.begin(), out.begin() + static_cast<long>(n));
}

TEST(ConvertBuffer, WritesWhatARunWritesThroughTheStreams) {
  std::string every_byte;
  for (int c = 0; c < 256; ++c) every_byte += static_cast<char>(c);
  // Longer than a read block, so the stream path slices where the buffer
  // path does not.
  std::string long_text;
  while (long_text.size() < 3 * kReadBlock / 2) {
    long_text += "<p> Preis: 50% & \"mehr\"; a/b \r\n\t[x] {y} #1 *z | (q). \n";
  }
  const std::vector<std::string> texts = {
      "", "x", "a  \nb", "<b>   Text\n", "a>\r\nb", "ab \n", "tail>",
      every_byte, long_text};
  const std::vector<std::vector<const char*>> option_sets = {
      {}, {"-z"}, {"-a", "-r", "-t"}, {"-sr", "-ss", "-p", "-sk", "-st"},
      {"-kr", "-%", "-k", "-rk", "-ek", "-gk"}, {"-l"}, {"-h"}, {"-H"},
      {"-z", "-l", "-H"}, {"-C", "-D"}, {"-P", "-Du"}, {"-J", "-Du"},
      {"-B", "-D"}, {"-S", "-Du", "-kr"}, {"-D"}, {"-Du"}, {"-C", "-J"},
      {"-C", "-J", "-D"}, {"-C", "-P", "-J", "-B", "-S", "-Du"}};
  for (const auto& args : option_sets) {
    Options options = parse(args);
    for (const std::string& text : texts) {
      std::string expected = stream_run(text, options);
      std::string got = buffer_run(text, options);
      ASSERT_EQ(got, expected) << "options[0] "
                               << (args.empty() ? "none" : args[0])
                               << ", text " << visible(text.substr(0, 40));
    }
  }
}

TEST(ConvertBuffer, StaysWithinTheRoomItAsksFor) {
  // Every < becomes &lt;, every syntax wraps the text and the warning
  // follows: the largest output per input byte and the largest pieces.
  Options options = parse({"-H", "-C", "-P", "-J", "-B", "-S", "-Du"});
  for (std::size_t n : {0u, 1u, 63u, 64u, 1000u}) {
    std::string text(n, '<');
    std::size_t room = converted_size_limit(n);
    const unsigned char kGuard = 0xA5;
    std::vector<unsigned char> out(room + 64, kGuard);
    std::size_t written = convert_buffer(
        reinterpret_cast<const unsigned char*>(text.data()), n, options,
        out.data());
    EXPECT_LE(written, room);
    EXPECT_EQ(written, stream_run(text, options).size());
    for (std::size_t i = room; i < out.size(); ++i) {
      ASSERT_EQ(out[i], kGuard) << "n " << n << ", byte " << i;
    }
  }

  EXPECT_EQ(converted_size_limit(SIZE_MAX / 2), 0u);
  EXPECT_GT(converted_size_limit(SIZE_MAX / 8), 0u);
}

}  // namespace
}  // namespace kiv
