#ifndef KIV_TESTS_BROWSER_FRAMES_H_
#define KIV_TESTS_BROWSER_FRAMES_H_

// Pages in a headless browser for the browser tests, in the engine that
// KIV_ENGINE names (engines.js: chromium or firefox). The tests write case
// documents into a scratch folder; frames.js serves them on 127.0.0.1,
// loads them as frames of a few pages and writes what each document
// reported (harness.js): either a transcript of its scripts' calls or its
// DOM. One frames.js, and so one browser start, serves every load of the
// test program.

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "tests/roundtrip/batch.h"
#include "tests/roundtrip/client.h"
#include "tests/roundtrip/texts.h"

namespace kiv::browser {

// What a write document's transcript holds for one call of
// document.write, before the string it was given.
extern const char kWriteRecord[];
// What closes every write document's transcript.
extern const char kEndRecord[];

// The documents of one load.
class FrameRun {
 public:
  explicit FrameRun(const roundtrip::ScratchDir& dir) : dir_(dir) {}

  // A document in which document.write only records. Each of `bodies`
  // follows the marker of its case (case_marker(i) for the i-th), and
  // the end marker follows the last one.
  void add_write_document(const std::string& name, const std::vector<std::string>& bodies);

  // A document whose DOM is reported; `body` follows <body> directly.
  void add_dom_document(const std::string& name, const std::string& body);

  // Loads every document in the browser, starting frames.js with `node`
  // on the program's first load. A load that fails (a request for another
  // place, frames.js ended or hung) says so with frames.js's messages.
  ::testing::AssertionResult load(const std::string& node) const;

  // What document `name` reported; false when it reported nothing.
  bool report(const std::string& name, std::string& out) const;

 private:
  const roundtrip::ScratchDir& dir_;
  std::string names_;  // one document name per line
};

// Cases whose fragments write once each, spread over write documents of
// a few dozen fragments, with what each must write.
class WriteCases {
 public:
  explicit WriteCases(std::string prefix) : prefix_(std::move(prefix)) {}

  // Fragment `body` (Kiv's output `converted`, or what loads it) must
  // write `written` with one call of document.write.
  void add(const roundtrip::Text& text, const std::string& converted,
           const std::string& body, const std::string& written);

  std::size_t size() const;

  void add_documents(FrameRun& run) const;

  // Whether case `index` (counted over all documents) ran as it must: its
  // marker stands once in its document's transcript, directly followed by
  // one write of what it must write and the marker of the next case (or
  // the end marker).
  bool accepted(const FrameRun& run, std::size_t index) const;

  // Each document's transcript must be what its cases write, each after
  // its marker, and then the end marker. Otherwise the failure names the
  // first case whose marker, write or successor's marker is not as it
  // must be.
  ::testing::AssertionResult ran(const FrameRun& run) const;

 private:
  struct Document {
    roundtrip::Expectation expected;
    std::vector<std::string> bodies;
    std::vector<std::string> written;
  };
  std::string prefix_;
  std::vector<Document> documents_;
};

// Whether a write document's transcript is what `expected` says, then
// the end marker.
::testing::AssertionResult transcript_matches(const roundtrip::Expectation& expected,
                                              const std::string& transcript);

// The browser engine of this run as engines.js names it, and what is
// missing to start it (the browser, its driver in
// tests/browser/node_modules), or "".
struct Engine {
  std::string name;
  std::string missing;
};
Engine find_engine(const std::string& node);

}  // namespace kiv::browser

// Looks up node and the engine, and names the engine in every failure of
// the test (`engine`); without the browser or its driver the test fails
// under CI (where scripts/check installs them) and is skipped elsewhere.
#define REQUIRE_BROWSER(node)                                                 \
  REQUIRE_CLIENT(node, "node", "nodejs");                                     \
  const ::kiv::browser::Engine engine = ::kiv::browser::find_engine(node);    \
  SCOPED_TRACE("in " + engine.name);                                          \
  if (!engine.missing.empty()) {                                              \
    if (::kiv::roundtrip::in_ci()) FAIL() << engine.missing << "; scripts/check installs it"; \
    GTEST_SKIP() << engine.missing << " (scripts/check installs it)";         \
  }

#endif  // KIV_TESTS_BROWSER_FRAMES_H_
