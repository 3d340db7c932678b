// The JavaScript preset in a headless browser (Chromium or Firefox, as
// KIV_ENGINE says): the -J -Du pages, once with document.write recording
// and once with the real one, the -J -D statements as external scripts,
// and the chain of the warning text ending in a page. What document.write gets must be the text, changed
// only as the line-break rules say, read as the page's UTF-8.

#include <gtest/gtest.h>

#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "tests/browser/frames.h"
#include "tests/roundtrip/batch.h"
#include "tests/roundtrip/chain.h"
#include "tests/roundtrip/client.h"
#include "tests/roundtrip/texts.h"

namespace kiv::browser {
namespace {

using roundtrip::Expectation;
using roundtrip::ScratchDir;
using roundtrip::Text;

constexpr int kRandomTexts = 300;

// A page reads its script as UTF-8, and its HTML parser turns a NUL byte
// in a script element into U+FFFD (browser_limits_test.cpp).
bool page_carries(std::string_view text) {
  return roundtrip::javascript_carries(text) && text.find('\0') == std::string_view::npos;
}

bool chain_carries(std::string_view text) {
  return page_carries(text) && roundtrip::c_carries(text);
}

std::vector<Text> texts_for(roundtrip::Carries carries, std::uint32_t seed, int random) {
  std::vector<Text> texts = roundtrip::realistic_texts_for(carries);
  for (Text& text : roundtrip::random_page_texts(seed, random)) {
    if (carries(text.bytes)) texts.push_back(std::move(text));
  }
  return texts;
}

// Kiv's output for the text; a refusal fails the test.
std::string kiv(const ScratchDir& dir, const Text& text, const std::string& target,
                const std::vector<std::string>& options) {
  ProcessResult run = roundtrip::convert_file(dir.path(), "text.txt", text.bytes,
                                                   target, options);
  EXPECT_EQ(run.exit_code, 0) << text.name << ": " << run.err;
  return run.out;
}

// A page that holds the text itself, as the fragment's page would after
// its document.write: the fragment's script element, empty, then the
// text, then what follows the element in the fragment.
std::string page_holding(const std::string& fragment, const std::string& text) {
  const std::string closer = "</script>";
  std::size_t opener_end = fragment.find('>');
  std::size_t closer_at = fragment.rfind(closer);
  if (opener_end == std::string::npos || closer_at == std::string::npos) return "";
  return fragment.substr(0, opener_end + 1) + closer + text +
         fragment.substr(closer_at + closer.size());
}

void report_count(const std::string& what, std::size_t realistic, std::size_t total) {
  std::cout << "[ browser ] " << what << ": " << total << " texts (" << realistic
            << " realistic, " << total - realistic << " random)\n";
}

// One load for all round trips: the -J -Du pages with the
// recording document.write, the same pages with the real one against
// pages that hold the text, the -J -D statements as external scripts, and
// the pages that the C programs of the chain print.
TEST(Browser, PagesScriptsAndTheChainWriteEveryText) {
  REQUIRE_CLIENT(gcc, "gcc", "gcc");
  REQUIRE_BROWSER(node);
  ScratchDir dir;
  FrameRun run(dir);
  std::vector<Text> texts = texts_for(page_carries, 7, kRandomTexts);
  WriteCases pages("page_");
  WriteCases scripts("script_");
  std::vector<std::string> fragments;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    const Text& text = texts[i];
    std::string written = roundtrip::printed_text(text.bytes);
    std::string fragment = kiv(dir, text, "page.html", {"-J", "-Du"});
    pages.add(text, fragment, fragment, written);

    std::string script = "statement_" + std::to_string(i) + ".js";
    std::string statement = kiv(dir, text, script, {"-J", "-D"});
    scripts.add(text, statement, "<script src=\"" + script + "\"></script>\n", written);

    run.add_dom_document("written_" + std::to_string(i), fragment);
    run.add_dom_document("holding_" + std::to_string(i), page_holding(fragment, written));
    fragments.push_back(fragment);
  }
  pages.add_documents(run);
  scripts.add_documents(run);

  std::vector<Text> chain_texts = texts_for(chain_carries, 8, 100);
  std::vector<std::string> chain_pages;
  ASSERT_TRUE(roundtrip::print_chain_pages(dir, gcc, chain_texts, chain_pages));
  WriteCases chain("chain_");
  for (std::size_t i = 0; i < chain_texts.size(); ++i) {
    chain.add(chain_texts[i], chain_pages[i], chain_pages[i],
              roundtrip::printed_text(chain_texts[i].bytes));
  }
  chain.add_documents(run);
  ASSERT_TRUE(run.load(node));

  EXPECT_TRUE(pages.ran(run));
  EXPECT_TRUE(scripts.ran(run));
  EXPECT_TRUE(chain.ran(run));

  Expectation doms;
  std::string written_doms;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    std::string written, holding;
    ASSERT_TRUE(run.report("written_" + std::to_string(i), written) &&
                run.report("holding_" + std::to_string(i), holding) &&
                holding.find("<body") != std::string::npos)
        << "no DOM for " << texts[i].name;
    doms.add(texts[i], fragments[i], holding);
    written_doms += roundtrip::case_marker(i) + written;
  }
  EXPECT_TRUE(doms.matches(written_doms));

  std::size_t realistic = roundtrip::realistic_texts_for(page_carries).size();
  report_count("pages, DOMs and external scripts in " + engine.name, realistic, texts.size());
  report_count("chain JavaScript in C (gcc, " + engine.name + ")",
               roundtrip::realistic_texts_for(chain_carries).size(), chain_texts.size());
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

// A fragment counts only when its marker ran, then exactly one write of
// its text, then the next marker. Each broken fragment below stands
// between two sound ones; it must be refused, the one before it must
// still count, and so must the one after it unless the broken one
// swallows that one's marker.
TEST(Browser, HarnessRefusesBrokenFragments) {
  REQUIRE_BROWSER(node);
  ScratchDir dir;
  FrameRun run(dir);
  const Text text = {"the warning's example", "Dies ist ein Quelltext.\n"};
  const std::string written = roundtrip::printed_text(text.bytes);
  const std::string sound = kiv(dir, text, "page.html", {"-J", "-Du"});
  const std::string wrong = replaced(sound, "Quelltext", "Quelltest");
  struct Broken {
    const char* what;
    std::string fragment;
    bool spoils_next;
  };
  const std::vector<Broken> broken = {
      {"writes nothing", replaced(sound, "document.write(", "void("), false},
      {"writes the text in two calls",
       replaced(sound, "Quelltext.", "Quell\");\ndocument.write(\"text."), false},
      {"writes another string", wrong, false},
      {"has a syntax error", replaced(sound, "\");\n", "\";\n"), false},
      {"leaves its script element open", replaced(sound, "</script>", ""), true},
      {"opens a comment after its script element", sound + "<!--\n", true},
  };

  std::vector<WriteCases> documents;
  WriteCases control("control_");
  for (int i = 0; i < 3; ++i) control.add(text, sound, sound, written);
  control.add_documents(run);
  for (std::size_t k = 0; k < broken.size(); ++k) {
    documents.emplace_back("broken_" + std::to_string(k) + "_");
    documents[k].add(text, sound, sound, written);
    documents[k].add(text, broken[k].fragment, broken[k].fragment, written);
    documents[k].add(text, sound, sound, written);
    documents[k].add_documents(run);
  }
  // The DOM comparison tells a wrong write from a right one.
  run.add_dom_document("dom_sound", sound);
  run.add_dom_document("dom_wrong", wrong);
  run.add_dom_document("dom_holding", page_holding(sound, written));
  ASSERT_TRUE(run.load(node));

  std::string dom_sound, dom_wrong, dom_holding;
  ASSERT_TRUE(run.report("dom_sound", dom_sound) && run.report("dom_wrong", dom_wrong) &&
              run.report("dom_holding", dom_holding));
  EXPECT_EQ(dom_sound, dom_holding);
  EXPECT_NE(dom_wrong, dom_holding);

  EXPECT_TRUE(control.ran(run));
  for (std::size_t i = 0; i < 3; ++i) EXPECT_TRUE(control.accepted(run, i)) << i;
  for (std::size_t k = 0; k < broken.size(); ++k) {
    SCOPED_TRACE(broken[k].what);
    EXPECT_FALSE(documents[k].ran(run));
    EXPECT_TRUE(documents[k].accepted(run, 0));
    EXPECT_FALSE(documents[k].accepted(run, 1));
    EXPECT_EQ(documents[k].accepted(run, 2), !broken[k].spoils_next);
  }
}

// A load whose documents ask for anything but the test's own server
// fails, naming what they asked for (here a place on this machine, so
// that the request cannot leave it).
TEST(Browser, ALoadThatAsksElsewhereFails) {
  REQUIRE_BROWSER(node);
  ScratchDir dir;
  FrameRun run(dir);
  run.add_write_document("elsewhere", {"<script src=\"http://localhost:5/kiv.js\"></script>\n"});
  ::testing::AssertionResult loaded = run.load(node);
  EXPECT_FALSE(loaded);
  EXPECT_NE(std::string(loaded.message())
                .find("requests for other places were refused:\nhttp://localhost:5/kiv.js\n"),
            std::string::npos)
      << loaded.message();
}

}  // namespace
}  // namespace kiv::browser
