#include "tests/browser/frames.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>
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

// The longest a load may take before frames.js counts as hung: far more
// than the largest load takes on a busy machine, well within ctest's limit
// for the whole suite.
constexpr int kLoadTimeoutMs = 180000;
// How long frames.js may take to close its browser once its input ends,
// and once it is told to stop.
constexpr int kEndTimeoutMs = 30000;
constexpr int kStopTimeoutMs = 5000;

// The one frames.js of this test program: every load goes to its browser,
// which starts with the first load and closes when the program ends. After
// a load that broke it is ended, and the next load starts a fresh one.
struct Loader {
  pid_t pid = -1;
  int input = -1;   // its standard input: folders, one a line
  int output = -1;  // its standard output: one answer a line
  std::string unread;  // what it wrote past the last whole answer
};

Loader& loader() {
  static Loader frames;
  return frames;
}

std::string start_loader(Loader& frames, const std::string& node) {
  // A frames.js that died must fail the load, not end this program. Its
  // standard error is the test program's: its messages stand in the
  // test's log. The browser's driver puts the browser in a group of its
  // own, which a kill of frames.js's group misses (see end_loader).
  signal(SIGPIPE, SIG_IGN);
  Child child = start_process({node, script_path("frames.js")});
  if (child.pid < 0) return "cannot start frames.js";
  frames.pid = child.pid;
  frames.input = child.input;
  frames.output = child.output;
  frames.unread.clear();
  return "";
}

bool write_all(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t put = write(fd, bytes.data() + done, bytes.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    done += static_cast<std::size_t>(put);
  }
  return true;
}

// Its next answer, or "" with `why` when it ended or took too long.
std::string next_answer(Loader& frames, std::string& why) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLoadTimeoutMs);
  for (;;) {
    std::size_t end = frames.unread.find('\n');
    if (end != std::string::npos) {
      std::string line = frames.unread.substr(0, end);
      frames.unread.erase(0, end + 1);
      return line;
    }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd ready = {frames.output, POLLIN, 0};
    int polled = left.count() > 0 ? poll(&ready, 1, static_cast<int>(left.count())) : 0;
    if (polled < 0 && errno == EINTR) continue;
    if (polled == 0) {
      why = "frames.js gave no answer within " + std::to_string(kLoadTimeoutMs / 1000) + " s";
      return "";
    }
    char buffer[4096];
    ssize_t got = polled > 0 ? read(frames.output, buffer, sizeof buffer) : -1;
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      why = "frames.js ended before it answered";
      return "";
    }
    frames.unread.append(buffer, static_cast<std::size_t>(got));
  }
}

// Closes frames.js's input and waits for it to close its browser and
// end; `at_once`, it is told to stop (SIGTERM). One that does not end in
// time is killed. Says how it ended unless that was with exit code 0.
std::string end_loader(Loader& frames, bool at_once) {
  close(frames.input);
  close(frames.output);
  // The drivers start the browser in a process group of its own, which a
  // kill of frames.js's group misses; on SIGTERM they close it.
  if (at_once) kill(-frames.pid, SIGTERM);
  int status = 0;
  auto deadline = std::chrono::steady_clock::now() +
                  std::chrono::milliseconds(at_once ? kStopTimeoutMs : kEndTimeoutMs);
  pid_t ended;
  while ((ended = waitpid(frames.pid, &status, WNOHANG)) == 0 &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  std::string how;
  if (ended == 0) {
    kill(-frames.pid, SIGKILL);
    waitpid(frames.pid, &status, 0);
    how = at_once ? "frames.js did not stop and was killed"
                  : "frames.js did not end within " + std::to_string(kEndTimeoutMs / 1000) +
                        " s of its input's end and was killed";
  } else if (!at_once && WIFEXITED(status) && WEXITSTATUS(status) == 0) {
    how = "";
  } else if (WIFEXITED(status)) {
    how = "frames.js ended with exit code " + std::to_string(WEXITSTATUS(status));
  } else {
    how = "frames.js ended by signal " + std::to_string(WTERMSIG(status));
  }
  // What frames.js itself started and left behind.
  if (!how.empty()) kill(-frames.pid, SIGKILL);
  frames.pid = -1;
  return how;
}

// The text of an answer "KIND: TEXT", with its line feeds and
// backslashes back; "" when the answer is not of that kind.
std::string answer_text(const std::string& answer, const std::string& kind) {
  const std::string prefix = kind + ": ";
  if (answer.compare(0, prefix.size(), prefix) != 0) return "";
  std::string text;
  for (std::size_t i = prefix.size(); i < answer.size(); ++i) {
    if (answer[i] == '\\' && i + 1 < answer.size()) {
      ++i;
      text += answer[i] == 'n' ? '\n' : answer[i];
    } else {
      text += answer[i];
    }
  }
  return text;
}

// Ends frames.js when the test program ends; how it ended counts.
class LoaderEnd : public ::testing::Environment {
 public:
  void TearDown() override {
    Loader& frames = loader();
    if (frames.pid < 0) return;
    EXPECT_EQ(end_loader(frames, false), "");
  }
};

[[maybe_unused]] ::testing::Environment* const kLoaderEnd =
    ::testing::AddGlobalTestEnvironment(new LoaderEnd);

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
  if (dir_.path().find('\n') != std::string::npos) {
    return ::testing::AssertionFailure() << "a folder with a line feed in its name: "
                                         << visible(dir_.path());
  }
  Loader& frames = loader();
  if (frames.pid < 0) {
    std::string why = start_loader(frames, node);
    if (!why.empty()) return ::testing::AssertionFailure() << why;
  }
  std::string why = "frames.js took no folder";
  std::string answer;
  if (write_all(frames.input, dir_.path() + "\n")) answer = next_answer(frames, why);
  if (answer == "done") return ::testing::AssertionSuccess();
  std::string refused = answer_text(answer, "refused");
  if (!refused.empty()) return ::testing::AssertionFailure() << refused << "\n";
  std::string failure = answer.empty() ? why : answer_text(answer, "error");
  if (failure.empty()) failure = "frames.js answered: " + answer;
  std::string how = end_loader(frames, answer.empty());
  return ::testing::AssertionFailure() << failure << (how.empty() ? "" : "; " + how)
                                       << " (its messages stand above)";
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
  ProcessResult ran = run_program({node, script_path("engines.js")}, ".");
  std::string said = ran.out.substr(0, ran.out.find('\n'));
  if (ran.exit_code == 0) return {said, ""};
  const char* named = std::getenv("KIV_ENGINE");
  return {named != nullptr && *named != '\0' ? named : "the browser",
          said.empty() ? "engines.js failed: " + ran.err : said};
}

}  // namespace kiv::browser
