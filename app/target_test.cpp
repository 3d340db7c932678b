#include "app/target.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "io/output.h"

namespace kiv {
namespace {

std::string read_back(const char* name) {
  std::FILE* file = std::fopen(name, "rb");
  if (file == nullptr) return "<none>";
  std::string bytes;
  int c;
  while ((c = std::fgetc(file)) != EOF) bytes += static_cast<char>(c);
  std::fclose(file);
  return bytes;
}

void put(const char* name, const char* text) {
  std::FILE* file = std::fopen(name, "wb");
  std::fputs(text, file);
  std::fclose(file);
}

// A close that fails, as one can late on a network share or under a
// quota, after the stream itself is gone.
int failing_close(std::FILE* stream) {
  std::fclose(stream);
  return EOF;
}

// Opens, empties (unless `only_open`), writes and closes `name`; returns
// what close_target said.
bool write_target(const char* name, bool only_open, int (*close)(std::FILE*)) {
  Target target;
  std::FILE* stream = open_target(name, target);
  if (stream == nullptr) return false;
  if (!only_open) {
    EXPECT_TRUE(empty_target(stream, target));
    EXPECT_TRUE(write_all(descriptor_of(stream), "neu", 3));
  }
  return close_target(stream, target, close);
}

// A target whose close fails is taken back like one whose write failed:
// a file the run created or emptied goes, one it only opened stays.
TEST(Target, AFailedCloseTakesTheTargetBack) {
  const char* name = "kiv-target-test.txt";
  std::remove(name);
  EXPECT_FALSE(write_target(name, false, failing_close));
  EXPECT_EQ(read_back(name), "<none>");

  put(name, "alt");
  EXPECT_FALSE(write_target(name, false, failing_close));
  EXPECT_EQ(read_back(name), "<none>");

  put(name, "alt");
  EXPECT_FALSE(write_target(name, true, failing_close));
  EXPECT_EQ(read_back(name), "alt");

  EXPECT_TRUE(write_target(name, false, std::fclose));
  EXPECT_EQ(read_back(name), "neu");
  std::remove(name);
}

}  // namespace
}  // namespace kiv
