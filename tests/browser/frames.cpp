#include "tests/browser/frames.h"

#include <unistd.h>

#include <cstdlib>
#include <utility>

namespace kiv::browser {
namespace {

// Fragments per write document: a broken one spoils only its own
// document, and a document costs the browser a frame.
constexpr std::size_t kFragmentsPerDocument = 40;

constexpr char kHead[] =
    "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">"
    "<script src=\"/harness.js\"></script>";

// A JavaScript string literal that holds `text` (markers only).
std::string js_literal(const std::string& text) {
  std::string literal = "\"";
  for (char c : text) {
    if (c == '\n') {
      literal += "\\n";
    } else {
      if (c == '"' || c == '\\') literal += '\\';
      literal += c;
    }
  }
  return literal + "\"";
}

std::string note(const std::string& record) {
  return "<script>kiv.note(" + js_literal(record) + ")</script>\n";
}

std::string browser_dir() {
  const char* dir = std::getenv("KIV_BROWSER_DIR");
  return dir != nullptr && *dir != '\0' ? dir : "tests/browser";
}

// A script of tests/browser, as a path that holds from any folder.
std::string script_path(const std::string& name) {
  std::string script = browser_dir() + "/" + name;
  if (script[0] != '/') {
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd) != nullptr) script = std::string(cwd) + "/" + script;
  }
  return script;
}

bool ends_with(const std::string& text, const std::string& end) {
  return text.size() >= end.size() &&
         text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

const char kWriteRecord[] = "\n@@ write @@\n";
const char kEndRecord[] = "\n@@ end @@\n";

void FrameRun::add_write_document(const std::string& name,
                                  const std::vector<std::string>& bodies) {
  std::string html = std::string(kHead) + "</head><body>\n<script>kiv.recordWrites(" +
                     js_literal(kWriteRecord) + ")</script>\n";
  for (std::size_t i = 0; i < bodies.size(); ++i) {
    html += note(roundtrip::case_marker(i)) + bodies[i];
  }
  html += note(kEndRecord);
  write_file(dir_.file(name + ".html"), html);
  names_ += name + "\n";
}

void FrameRun::add_dom_document(const std::string& name, const std::string& body) {
  write_file(dir_.file(name + ".html"),
             std::string(kHead) + "<script>kiv.reportDom()</script></head><body>" + body);
  names_ += name + "\n";
}

::testing::AssertionResult FrameRun::load(const std::string& node) const {
  write_file(dir_.file("frames.txt"), names_);
  roundtrip::Outcome ran =
      roundtrip::run_program({node, script_path("frames.js"), dir_.path()}, dir_.path());
  if (ran.exit_code == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "frames.js ended with exit code " << ran.exit_code
                                       << ":\n" << ran.out << ran.err;
}

bool FrameRun::report(const std::string& name, std::string& out) const {
  std::string path = dir_.file(name + ".out");
  if (access(path.c_str(), R_OK) != 0) return false;
  out = read_file(path);
  return true;
}

void WriteCases::add(const roundtrip::Text& text, const std::string& converted,
                     const std::string& body, const std::string& written) {
  if (documents_.empty() || documents_.back().bodies.size() == kFragmentsPerDocument) {
    documents_.emplace_back();
  }
  documents_.back().expected.add(text, converted, kWriteRecord + written);
  documents_.back().bodies.push_back(body);
  documents_.back().written.push_back(written);
}

std::size_t WriteCases::size() const {
  std::size_t count = 0;
  for (const Document& document : documents_) count += document.bodies.size();
  return count;
}

void WriteCases::add_documents(FrameRun& run) const {
  for (std::size_t i = 0; i < documents_.size(); ++i) {
    run.add_write_document(prefix_ + std::to_string(i), documents_[i].bodies);
  }
}

bool WriteCases::accepted(const FrameRun& run, std::size_t index) const {
  std::size_t document = index / kFragmentsPerDocument;
  std::size_t local = index % kFragmentsPerDocument;
  std::string transcript;
  if (document >= documents_.size() || local >= documents_[document].bodies.size() ||
      !run.report(prefix_ + std::to_string(document), transcript)) {
    return false;
  }
  const Document& cases = documents_[document];
  std::string marker = roundtrip::case_marker(local);
  std::string wanted = marker + kWriteRecord + cases.written[local] +
                       (local + 1 < cases.bodies.size() ? roundtrip::case_marker(local + 1)
                                                        : std::string(kEndRecord));
  std::size_t at = transcript.find(marker);
  return at != std::string::npos && transcript.find(marker, at + 1) == std::string::npos &&
         transcript.compare(at, wanted.size(), wanted) == 0;
}

::testing::AssertionResult WriteCases::ran(const FrameRun& run) const {
  if (documents_.empty()) return ::testing::AssertionFailure() << "no cases";
  for (std::size_t i = 0; i < documents_.size(); ++i) {
    std::string name = prefix_ + std::to_string(i);
    std::string transcript;
    if (!run.report(name, transcript)) {
      return ::testing::AssertionFailure() << "document " << name << " reported nothing";
    }
    ::testing::AssertionResult matched = transcript_matches(documents_[i].expected, transcript);
    if (!matched) return matched << "\n(document " << name << ")";
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult transcript_matches(const roundtrip::Expectation& expected,
                                              const std::string& transcript) {
  // The end marker stands in for the marker of a case after the last, so
  // a last fragment that swallows what follows it cannot pass either.
  std::string cases = transcript;
  bool ended = ends_with(cases, kEndRecord);
  if (ended) cases.resize(cases.size() - std::string(kEndRecord).size());
  ::testing::AssertionResult matched = expected.matches(cases);
  if (!matched) return matched;
  if (!ended) {
    return ::testing::AssertionFailure()
           << "the end marker did not run after the last case (" << expected.size() - 1
           << "); transcript:\n" << visible(transcript);
  }
  return ::testing::AssertionSuccess();
}

Engine find_engine(const std::string& node) {
  roundtrip::Outcome ran = roundtrip::run_program({node, script_path("engines.js")}, ".");
  std::string said = ran.out.substr(0, ran.out.find('\n'));
  if (ran.exit_code == 0) return {said, ""};
  const char* named = std::getenv("KIV_ENGINE");
  return {named != nullptr && *named != '\0' ? named : "the browser",
          said.empty() ? "engines.js failed: " + ran.err : said};
}

}  // namespace kiv::browser
