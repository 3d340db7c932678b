// Differential tests: the fast filter against the plain one-byte-at-a-time
// reference, on generated texts dense in the bytes the rules look at, over
// every combination of the flags that change the control flow, with chunk
// boundaries everywhere and through real streams.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "convert/filter_reference.h"
#include "convert/scan/dispatch.h"
#include "convert/stream.h"
#include "options/options.h"
#include "tests/bytes.h"
#include "tests/filter_runs.h"

namespace kiv {
namespace {

struct Random {
  std::uint64_t state;
  std::uint64_t next() {
    std::uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }
  std::size_t below(std::size_t n) { return next() % n; }
};

// Mostly the bytes some rule names, some letters, and the odd byte value
// from anywhere (0x00 and 0xFF included).
std::string random_text(Random& random, std::size_t length) {
  static const char kDense[] = "    \n\n\r>>><\t\"\\/|.;*#%&()[]{}ab";
  std::string text;
  text.reserve(length);
  for (std::size_t i = 0; i < length; ++i) {
    std::size_t pick = random.below(40);
    if (pick < sizeof kDense - 1) {
      text += kDense[pick];
    } else {
      text += static_cast<char>(random.below(256));
    }
  }
  return text;
}

// Long plain runs with few special bytes, so whole blocks pass unmarked
// and the specials land at every position of a block.
std::string sparse_text(Random& random, std::size_t length) {
  static const char kSpecial[] = " \n\r>\t\"%.;<";
  std::string text;
  text.reserve(length);
  for (std::size_t i = 0; i < length; ++i) {
    if (random.below(24) == 0) {
      text += kSpecial[random.below(sizeof kSpecial - 1)];
    } else {
      text += static_cast<char>('a' + random.below(26));
    }
  }
  return text;
}

// The 16 combinations of the flags that steer the control flow, each with
// several groups of escapes: none, all, the C and sed sets, and a mix.
std::vector<Options> option_sets() {
  const std::vector<std::vector<const char*>> escape_groups = {
      {},
      {"-a", "-r", "-t", "-sr", "-ss", "-p", "-sk", "-st", "-kr", "-%", "-k",
       "-rk", "-ek", "-gk"},
      {"-a", "-r", "-t", "-%"},
      {"-a", "-r", "-t", "-sr", "-p", "-sk", "-st", "-k", "-ek"},
      {"-t", "-ss", "-kr", "-rk", "-gk"},
  };
  const char* const control[] = {"-z", "-l", "-h", "-H"};
  std::vector<Options> sets;
  for (int bits = 0; bits < 16; ++bits) {
    for (const auto& group : escape_groups) {
      std::vector<const char*> args = group;
      for (int i = 0; i < 4; ++i) {
        if (bits & (1 << i)) args.push_back(control[i]);
      }
      sets.push_back(parse(args));
    }
  }
  for (const char* preset : {"-C", "-P", "-J", "-B", "-S"}) {
    sets.push_back(parse({preset}));
  }
  return sets;
}

// Each of the 16 control combinations once, with the escape groups taking
// turns, and the presets.
std::vector<Options> control_sets() {
  const std::vector<Options> all = option_sets();
  std::vector<Options> sets;
  for (std::size_t bits = 0; bits < 16; ++bits) sets.push_back(all[bits * 5 + bits % 5]);
  sets.insert(sets.end(), all.end() - 5, all.end());
  return sets;
}

std::vector<ScanLevel> scan_levels() {
  std::vector<ScanLevel> levels;
  for (int level = 0; level < kScanLevels; ++level) {
    if (scan_level_runs(static_cast<ScanLevel>(level))) {
      levels.push_back(static_cast<ScanLevel>(level));
    }
  }
  return levels;
}

// Compares the fast filter at every scan level and chunk size with the
// reference, and at every level the whole text with the table of a
// Windows text file; returns the number of comparisons made.
int expect_same(const std::string& input, const Options& options,
                const std::vector<std::size_t>& chunks) {
  const std::string expected = reference_convert(input, options);
  const std::string expected_crlf = with_crlf(expected);
  int compared = 0;
  auto same = [&](const std::string& got, const std::string& want,
                  ScanLevel level, const std::string& how) {
    ++compared;
    if (got == want) return true;
    ADD_FAILURE() << "level " << static_cast<int>(level) << ", " << how
                  << "\n input: " << visible(input)
                  << "\n  fast: " << visible(got)
                  << "\n   ref: " << visible(want);
    return false;
  };
  for (ScanLevel level : scan_levels()) {
    for (std::size_t chunk : chunks) {
      if (!same(fast_convert(input, options, chunk, level), expected, level,
                "chunk " + std::to_string(chunk))) {
        return compared;
      }
    }
    if (!same(fast_convert(input, options, 0, level, true), expected_crlf,
              level, "CR LF")) {
      return compared;
    }
  }
  return compared;
}

TEST(FilterDiff, RandomDenseTextsMatchTheReference) {
  const std::vector<Options> sets = option_sets();
  const std::vector<std::size_t> chunks = {1, 2, 3, 5, 16, 63, 64, 65,
                                           127, 128, 129, 130, 200, 1000};
  Random random{1};
  int compared = 0;
  for (int round = 0; round < 60; ++round) {
    std::string text = random_text(random, random.below(700));
    for (const Options& options : sets) {
      compared += expect_same(text, options, chunks);
    }
  }
  RecordProperty("comparisons", compared);
}

TEST(FilterDiff, SparseTextsMatchTheReference) {
  const std::vector<Options> sets = option_sets();
  const std::vector<std::size_t> chunks = {7, 129, 256, 1000, 4096};
  Random random{2};
  int compared = 0;
  for (int round = 0; round < 30; ++round) {
    std::string text = sparse_text(random, 200 + random.below(2000));
    for (const Options& options : sets) {
      compared += expect_same(text, options, chunks);
    }
  }
  RecordProperty("comparisons", compared);
}

// For every chunk size the texts are cut at, a length of that size -2..+2
// times one or two, and the pairs that decide across a boundary (a blank
// or > as a chunk's last byte, CR or LF as the next chunk's first) placed
// at and around every boundary; the last one a > with blanks after it
// through more than two whole blocks.
TEST(FilterDiff, BytesAroundChunkBoundariesMatchTheReference) {
  const std::vector<Options> sets = control_sets();
  const std::string pairs[] = {" \n", " \r", ">\n", ">\r", "> ", ">>",
                               "  \n", "> \n", ">  \r", "\r\n", " >\n",
                               ">" + std::string(140, ' ') + "\n"};
  Random random{3};
  int compared = 0;
  for (std::size_t chunk : {1, 2, 3, 4, 16, 63, 64, 65, 128, 129, 200}) {
    for (int times = 1; times <= 2; ++times) {
      for (int delta = -2; delta <= 2; ++delta) {
        long length = static_cast<long>(chunk) * times + delta;
        if (length < 0) continue;
        std::string base = sparse_text(random, static_cast<std::size_t>(length));
        for (const std::string& pair : pairs) {
          // The pair ends just before, at and just after the boundary.
          for (int shift = -1; shift <= 1; ++shift) {
            std::string text = base;
            for (std::size_t cut = chunk; cut <= text.size(); cut += chunk) {
              long at = static_cast<long>(cut) - 1 + shift;
              for (char c : pair) {
                if (at >= 0 && at < static_cast<long>(text.size())) {
                  text[static_cast<std::size_t>(at)] = c;
                }
                ++at;
              }
            }
            for (const Options& options : sets) {
              compared += expect_same(text, options, {chunk});
            }
          }
        }
      }
    }
  }
  RecordProperty("comparisons", compared);
}

// Every byte value at every position of a vector block and of the block
// after it, among plain letters, a blank before it and a line break after:
// whatever scan marks the specials, all levels agree with the reference.
TEST(FilterDiff, EveryScanLevelAgreesForEveryByteAtEveryPosition) {
  const Options sets[] = {parse({}), parse({"-z", "-l"}), parse({"-C", "-H"}),
                          parse({"-S", "-kr", "-ss", "-rk", "-gk"})};
  std::string base;
  for (int i = 0; i < 300; ++i) base += static_cast<char>('a' + i % 26);
  int compared = 0;
  for (const Options& options : sets) {
    for (int value = 0; value < 256; ++value) {
      for (std::size_t at = 1; at < 140; ++at) {
        std::string text = base;
        text[at - 1] = ' ';
        text[at] = static_cast<char>(value);
        text[at + 1] = '\n';
        compared += expect_same(text, options, {text.size()});
        if (HasFailure()) return;
      }
    }
  }
  RecordProperty("comparisons", compared);
}

TEST(FilterDiff, StreamsMatchTheReferenceAcrossSlicesAndReadBlocks) {
  constexpr std::size_t kSlice = kFilterSlice;
  static_assert(kReadBlock == 4 * kSlice, "the lengths below assume it");
  const Options sets[] = {parse({}), parse({"-z"}), parse({"-l"}),
                          parse({"-C"}), parse({"-z", "-H"})};
  const std::string pairs[] = {" \n", " \r", ">\n", "> ", "  \r"};
  Random random{4};
  // One slice, a whole read block, one slice more, and past two blocks.
  for (std::size_t slices : {1, 4, 5, 9}) {
    for (int delta = -2; delta <= 2; ++delta) {
      std::size_t length = slices * kSlice + delta;
      std::string base = sparse_text(random, length);
      for (const std::string& pair : pairs) {
        std::string text = base;
        for (std::size_t cut = kSlice; cut < text.size(); cut += kSlice) {
          text.replace(cut - 1, pair.size(), pair);
        }
        text.resize(length);
        for (const Options& options : sets) {
          ConvertStatus status = ConvertStatus::read_failed;
          std::string got = stream_convert(text, options, status);
          EXPECT_EQ(status, ConvertStatus::ok);
          EXPECT_TRUE(got == reference_convert(text, options))
              << "length " << length << ", pair " << visible(pair);
        }
      }
    }
  }
}

// Output four times the input fills the output buffer in every slice, and
// a long text of nothing but blanks keeps one held back at each slice end.
TEST(FilterDiff, StreamsMatchTheReferenceAtFullExpansion) {
  std::string brackets;
  for (int i = 0; i < 300000; ++i) brackets += i % 3 == 0 ? '>' : '<';
  std::string blanks(200000, ' ');
  blanks += "\n";
  Random random{5};
  std::string mixed = random_text(random, 270000);
  const Options sets[] = {parse({"-H"}), parse({"-H", "-h", "-z"}),
                          parse({}), parse({"-z"}), parse({"-C"})};
  for (const std::string* text : {&brackets, &blanks, &mixed}) {
    for (const Options& options : sets) {
      ConvertStatus status = ConvertStatus::read_failed;
      std::string got = stream_convert(*text, options, status);
      EXPECT_EQ(status, ConvertStatus::ok);
      EXPECT_TRUE(got == reference_convert(*text, options))
          << "text of " << text->size() << " bytes";
    }
  }
}

// With CR LF joined on the way in (Windows sources), a pair split by a
// read block, a CR before a CR LF and a CR at the very end still come out
// as the reference makes them of the joined text.
TEST(FilterDiff, StreamsWithJoinedCrLfMatchTheReference) {
  auto joined = [](const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
      out += text[i];
    }
    return out;
  };
  const Options sets[] = {parse({}), parse({"-z"}), parse({"-C"})};
  const std::string pieces[] = {"\r\n", " \r\n", "\r\r\n", ">\r\n", "\r"};
  Random random{6};
  for (std::size_t length : {kReadBlock - 1, kReadBlock, kReadBlock + 1,
                             2 * kReadBlock + 3}) {
    std::string base = sparse_text(random, length);
    for (const std::string& piece : pieces) {
      for (int shift = -2; shift <= 1; ++shift) {
        std::string text = base;
        for (std::size_t cut = kReadBlock; cut < text.size(); cut += kReadBlock) {
          text.replace(cut + shift, piece.size(), piece);
        }
        text.resize(length);
        text += piece;  // the text ends in the piece too
        for (const Options& options : sets) {
          ConvertStatus status = ConvertStatus::read_failed;
          std::string got =
              stream_convert(text, options, status, LineEnds::crlf_to_lf);
          EXPECT_EQ(status, ConvertStatus::ok);
          EXPECT_TRUE(got == reference_convert(joined(text), options))
              << "length " << length << ", piece " << visible(piece)
              << ", shift " << shift;
        }
      }
    }
  }
}

}  // namespace
}  // namespace kiv
