// What the browsers (Chromium and Firefox alike) do that a text of the
// JavaScript preset does not survive, as docs/limits.md describes it,
// each next to a way that does carry the text.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/browser/frames.h"
#include "tests/roundtrip/batch.h"
#include "tests/roundtrip/client.h"

namespace kiv::browser {
namespace {

using roundtrip::ScratchDir;

// Kiv's output for `text` in file `target`; a refusal fails the test.
std::string converted(const ScratchDir& dir, const std::string& text,
                      const std::string& target, const std::vector<std::string>& options) {
  ProcessResult run = roundtrip::convert_file(dir.path(), "text.txt", text, target,
                                                   options);
  EXPECT_EQ(run.exit_code, 0) << run.err;
  return run.out;
}

// The transcript of a write document with one case that writes `text`.
std::string one_write(const std::string& text) {
  return roundtrip::case_marker(0) + kWriteRecord + text + kEndRecord;
}

std::string reported(const FrameRun& run, const std::string& name) {
  std::string transcript;
  EXPECT_TRUE(run.report(name, transcript)) << name << " reported nothing";
  return transcript;
}

// The HTML parser replaces a NUL byte in a script element by U+FFFD; an
// external script is no element content and keeps it.
TEST(JavaScriptBrowserLimits, APageTurnsANulByteIntoAReplacementCharacter) {
  REQUIRE_BROWSER(node);
  ScratchDir dir;
  FrameRun run(dir);
  const std::string text("vorher\0nachher\n", 15);
  run.add_write_document("page", {converted(dir, text, "page.html", {"-J", "-Du"})});
  converted(dir, text, "statement.js", {"-J", "-D"});
  run.add_write_document("external", {"<script src=\"statement.js\"></script>\n"});
  ASSERT_TRUE(run.load(node));

  EXPECT_EQ(visible(reported(run, "page")),
            visible(one_write("vorher\xef\xbf\xbdnachher\n\n")));
  EXPECT_EQ(visible(reported(run, "external")),
            visible(one_write(std::string("vorher\0nachher\n\n", 16))));
}

// The -D statement in a plain script element of one's own: "<!--" in the
// text starts the parser's escaped state, a later "<script" its
// double-escaped one, in which "</script>" does not end the element; only
// a "-->" gets it out. The element then runs to the end of the page and
// nothing after it runs, its own script neither. The -Du frame ends its
// script with "//-->", and an external script is not parsed as HTML.
TEST(JavaScriptBrowserLimits, AnOwnScriptElementBreaksOnACommentOpenBeforeAScriptTag) {
  REQUIRE_BROWSER(node);
  ScratchDir dir;
  FrameRun run(dir);
  const std::string text = "Hinweis: <!-- alt, <script> ohne Ende\n";
  const std::string written = "Hinweis: <!-- alt, <script> ohne Ende\n\n";
  std::string statement = converted(dir, text, "statement.js", {"-J", "-D"});
  run.add_write_document("own", {"<script>\n" + statement + "</script>\n"});
  run.add_write_document("own_in_comment",
                         {"<script>\n<!--\n" + statement + "//-->\n</script>\n"});
  run.add_write_document("frame", {converted(dir, text, "page.html", {"-J", "-Du"})});
  run.add_write_document("external", {"<script src=\"statement.js\"></script>\n"});

  // With "-->" after the "<script" the own element comes through.
  const std::string closed = "Hinweis: <!-- alt, <script> -->\n";
  run.add_write_document("own_closed", {"<script>\n" +
                                        converted(dir, closed, "closed.js", {"-J", "-D"}) +
                                        "</script>\n"});
  ASSERT_TRUE(run.load(node));

  EXPECT_EQ(visible(reported(run, "own")), visible(roundtrip::case_marker(0)));
  EXPECT_EQ(visible(reported(run, "own_in_comment")), visible(one_write(written)));
  EXPECT_EQ(visible(reported(run, "frame")), visible(one_write(written)));
  EXPECT_EQ(visible(reported(run, "external")), visible(one_write(written)));
  EXPECT_EQ(visible(reported(run, "own_closed")),
            visible(one_write("Hinweis: <!-- alt, <script> -->\n\n")));
}

}  // namespace
}  // namespace kiv::browser
