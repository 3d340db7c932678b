// End-to-end tests: run the built programs in a temporary folder with
// arguments, standard input and files, and check exit code, standard
// output and the files they leave. One case per line, grouped by behaviour.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/process.h"

namespace kiv {
namespace {

using Names = std::vector<std::string>;

// The programs under test and how to start them, from the environment
// that CTest sets: KIV_BIN_DIR is their folder; a Windows build runs
// through KIV_RUNNER (Wine) with the suffix KIV_EXE_SUFFIX (".exe"), and
// KIV_TARGET=windows says that its expectations are Windows ones.
struct Target {
  std::string bin_dir = "build";
  std::string runner;  // a program that starts the others, or empty
  std::string suffix;
  bool windows = false;
};

const Target& target() {
  static const Target chosen = [] {
    Target t;
    if (const char* dir = std::getenv("KIV_BIN_DIR")) t.bin_dir = dir;
    if (const char* runner = std::getenv("KIV_RUNNER")) t.runner = runner;
    if (const char* suffix = std::getenv("KIV_EXE_SUFFIX")) t.suffix = suffix;
    const char* system = std::getenv("KIV_TARGET");
    t.windows = system != nullptr && std::string(system) == "windows";
    return t;
  }();
  return chosen;
}

bool on_windows() { return target().windows; }

// How the tests call one of the programs (Kiv or KivS).
std::string program_path(const std::string& name) {
  return target().bin_dir + "/" + name + target().suffix;
}

// The full Windows path that Wine gives a Linux path (relative ones count
// from folder `dir`): drive Z: is the root, "." and ".." steps resolved.
std::string windows_path(const std::string& path, const std::string& dir) {
  std::string full = path;
  if (full.empty() || full[0] != '/') full = dir + "/" + path;
  if (full[0] != '/') {
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd) != nullptr) full = std::string(cwd) + "/" + full;
  }
  std::vector<std::string> steps;
  std::string step;
  for (std::size_t i = 0; i <= full.size(); ++i) {
    if (i < full.size() && full[i] != '/') {
      step += full[i];
      continue;
    }
    if (step == "..") {
      if (!steps.empty()) steps.pop_back();
    } else if (!step.empty() && step != ".") {
      steps.push_back(step);
    }
    step.clear();
  }
  std::string converted = "Z:";
  for (const std::string& name : steps) converted += "\\" + name;
  return converted;
}

// The program path that help and usage texts show when the program was
// started as `typed` from folder `dir`: Linux passes it on as typed, Wine
// hands a Windows program the full path of its file.
std::string shown_path(const std::string& typed, const std::string& dir) {
  return on_windows() ? windows_path(typed, dir) : typed;
}

// What the program's bytes look like once written: standard output and
// the files it writes are text streams, so on Windows each LF written
// arrives as CR LF.
std::string native(const std::string& text) {
  if (!on_windows()) return text;
  std::string converted;
  for (char c : text) {
    if (c == '\n') converted += '\r';
    converted += c;
  }
  return converted;
}

// The name of the null device.
std::string null_device() { return on_windows() ? "NUL" : "/dev/null"; }

// The shell command that prints a file, in the chained examples.
const char* print_file_command() { return on_windows() ? "type" : "cat"; }

// ---------------------------------------------------------------------------
// Expected texts, written out independently of the program's own tables.

std::string help_screen(const std::string& program) {
  return "\n"
         " ************************\n"
         " ***       Kiv        ***\n"
         " ***  Kiv-Team 2026   ***\n"
         " ************************\n"
         "\n"
         " Version 5.1, 20.08.2020\n"
         "\n"
         " Loescht Zeilenumbruchzeichen.\n"
         "\n"
         " Syntax: " + program + " [<Quelldatei>] [<Zieldatei>] [Optionen]\n"
         "\n"
         " Optionen (durch Leerzeichen getrennt):\n"
         "  -z\tZeilenumbruchzeichen werden durch die Zeichenfolge \\n ersetzt.\n"
         "  -a\tAnfuehrungszeichen (\") werden mit einem Rueckstrich (\\) maskiert.\n"
         "  -r\tRueckstriche (\\) werden mit einem Rueckstrich (\\) maskiert.\n"
         "  -t\tTabulatorzeichen werden durch die Zeichenfolge \\t ersetzt.\n"
         "  -sr\tSchraegstriche (/) werden mit einem Rueckstrich (\\) maskiert.\n"
         "  -ss\tSenkrechte Striche (|) werden mit einem Rueckstrich (\\) maskiert.\n"
         "  -p\tPunkte (.) werden mit einem Rueckstrich (\\) maskiert.\n"
         "  -sk\tSemikolonzeichen (;) werden mit einem Rueckstrich (\\) maskiert.\n"
         "  -st\tSterne (*) werden mit einem Rueckstrich (\\) maskiert.\n"
         "  -kr\tDoppelkreuze (#) werden mit einem Rueckstrich (\\) maskiert.\n"
         "  -%\tProzentzeichen (%) werden mit einem % maskiert (%%).\n"
         "  -k\tKaufmaennische Und-Zeichen (&) werden mit einem Rueckstrich (\\) maskiert.\n"
         "  -rk\tRunde Klammern () werden mit einem Rueckstrich (\\) maskiert.\n"
         "  -ek\tEckige Klammern [] werden mit einem Rueckstrich (\\) maskiert.\n"
         "  -gk\tGeschweifte Klammern {} werden mit einem Rueckstrich (\\) maskiert.\n"
         "  -l\tLeerzeichen am Zeilenende bleiben erhalten.\n"
         "  -h\tAuch Zeilenumbrueche nach HTML-Klammern (>) werden ersetzt. "
         "Leerzeichen nach > bleiben erhalten.\n"
         "  -H\t<- und >-Zeichen werden durch HTML-Metazeichen (&lt; und &gt;) ersetzt.\n"
         "\n"
         "  -C\tEntspricht -z -a -r -t -% -h (fuer C-Syntax).\n"
         "  -P\tEntspricht -z -a -r -t -h (fuer PHP-Syntax).\n"
         "  -J\tEntspricht -z -a -r -t -sr -h (fuer Javascript-Syntax).\n"
         "  -B\tEntspricht -z -a -r -t -h (fuer Bash-Syntax).\n"
         "  -S\tEntspricht -z -a -r -t -sr -p -sk -st -kr -k -ek -h (fuer Sed-Syntax).\n"
         "  -D\tGibt entsprechend der oben gewaehlten Syntax einen Druckbefehl "
         "bzw. eine Sed-Skriptzeile aus.\n"
         "  -Du\tWie -D, zusaetzlich wird noch eine passende Druckumgebung ausgegeben.\n"
         "\n"
         "  -E\tLiest von der Standardeingabe. Stattdessen kann auch - als "
         "Dateiname fuer die Eingabedatei verwendet werden.\n"
         "  -A\tSchreibt in die Standardausgabe. Stattdessen kann auch - als "
         "Dateiname fuer die Ausgabedatei verwendet werden.\n";
}

std::string usage_error(const std::string& program) {
  return "\n"
         " Syntax: " + program + " [<Quelldatei>] [<Zieldatei>] [Optionen]\n"
         "\n"
         " Bitte geben Sie\n"
         " - Quell- UND Zieldatei an, wenn Sie keine der Optionen -E oder -A verwenden,\n"
         " - eine Quelldatei an, wenn Sie die Option -A verwenden,\n"
         " - eine Zieldatei an, wenn Sie die Option -E verwenden,\n"
         " - oder benutzen Sie -E und -A: Dann liest " + program +
         " von der Standardeingabe\n"
         "   und schreibt in die Standardausgabe.\n"
         " Dateinamen duerfen nicht mit \"-\" beginnen.\n";
}

std::string same_name(const std::string& name) {
  return "\n Quell- und Zieldateiname " + name + " sind identisch.\n";
}
std::string no_source(const std::string& name) {
  return " Quelldatei " + name + " existiert nicht.\n";
}
std::string unwritable(const std::string& name) {
  return " Zieldatei " + name + " kann nicht geschrieben werden.\n";
}
std::string unreadable(const std::string& name) {
  return " Quelldatei " + name + " kann nicht gelesen werden.\n";
}

// What the chained example of the warning produces from "Dies ist ein
// Quelltext.\n" (JavaScript with frame, then C with frame).
const std::string kChainResult =
    "#include <stdio.h>\n"
    "\n"
    "int main()\n"
    "{\n"
    R"(printf("<script type=\"text/javascript\">\n<!--\ndocument.write(\"Dies ist ein Quelltext.\\n\\n\");\n//-->\n</script>\n\n\n");)"
    "\n"
    "} // main()\n";

// The intermediate JavaScript of that chain.
const std::string kChainJavaScript =
    "<script type=\"text/javascript\">\n"
    "<!--\n"
    R"(document.write("Dies ist ein Quelltext.\n\n");)"
    "\n"
    "//-->\n"
    "</script>\n"
    "\n";

const std::string kWarning =
    "\n"
    "Bitte nur eine der Optionen -C, -P, -J, -B oder -S eingeben.\n"
    "Sonst kommt Unsinn heraus (s. o.)!\n"
    "Zum Schachteln mehrerer Ebenen die Funktion mehrmals ausfuehren.\n"
    "\n"
    "Beispiel:\n"
    "Sie wollen einen C-Befehl erzeugen, der eine Javascript-Funktion mit\n"
    "Druckumgebung ausgibt, die ihererseits wieder einen Text ausgeben soll.\n"
    "1. Sie schreiben den Text in die Datei \"Quelltext\".\n"
    "2. Sie geben ein:\n"
    "\tKiv Quelltext Javatext.js -J -Du\n"
    "\tKiv Javatext.js C-Text.c -C -Du\n"
    "   oder:\n"
    "\tKiv Quelltext -J -Du -A | Kiv C-Text.c -C -Du -E\n"
    "   oder:\n"
    "\tKiv Quelltext - -J -Du | Kiv - C-Text.c -C -Du\n"
    "   oder:\n"
    "\ttype Quelltext | Kiv -J -Du -E -A | Kiv C-Text.c -C -Du -E\n"
    "   oder:\n"
    "\ttype Quelltext | Kiv - - -J -Du | Kiv - C-Text.c -C -Du\n"
    "   oder:\n"
    "\ttype Quelltext | KivS -J -Du | KivS -C -Du > C-Text.c\n"
    "3. Als Ergebnis erhalten Sie folgende Datei C-Text.c:\n"
    "\n" +
    kChainResult;

class Run : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = make_temp_dir();
    ASSERT_FALSE(dir_.empty());
  }
  void TearDown() override { remove_tree(dir_); }

  std::string path(const std::string& name) const { return dir_ + "/" + name; }
  void put(const std::string& name, const std::string& bytes) const {
    write_file(path(name), bytes);
  }
  std::string get(const std::string& name) const { return read_file(path(name)); }
  bool has(const std::string& name) const { return file_exists(path(name)); }
  void drop(const std::string& name) const { std::remove(path(name).c_str()); }
  void folder(const std::string& name) const { mkdir(path(name).c_str(), 0755); }
  Names files() const { return list_dir(dir_); }

  // Runs the program at `program` (a path as the caller would type it)
  // with these arguments and streams.
  ProcessResult call(const std::string& program, Names args,
                     const Streams& streams) {
    args.insert(args.begin(), program);
    if (!target().runner.empty()) args.insert(args.begin(), target().runner);
    return run_process(args, streams, dir_);
  }

  // Runs Kiv with these arguments and standard input.
  ProcessResult kiv(const Names& args, const std::string& input = "") {
    return call(program_path("Kiv"), args, Streams{input, "", ""});
  }
  // Runs Kiv with standard input from `in_file` and/or standard output
  // appended to `out_file` (either may be empty).
  ProcessResult kiv_redirected(const Names& args, const std::string& in_file,
                               const std::string& out_file) {
    return call(program_path("Kiv"), args, Streams{"", in_file, out_file});
  }
  ProcessResult kivs(const Names& args, const std::string& input = "") {
    return call(program_path("KivS"), args, Streams{input, "", ""});
  }
  ProcessResult kivs_redirected(const Names& args, const std::string& in_file,
                                const std::string& out_file) {
    return call(program_path("KivS"), args, Streams{"", in_file, out_file});
  }

  // Runs a command line in the folder, with "Kiv" and "KivS" on the
  // search path: through /bin/sh, or for Windows through the Windows
  // command interpreter, which Wine brings.
  ProcessResult shell(const std::string& command) {
    const Target& t = target();
    if (t.windows) {
      return run_process({"/bin/sh", "-c", "WINEPATH=\"$1\" exec \"$2\" cmd /c \"$3\"",
                          "sh", windows_path(t.bin_dir, dir_), t.runner, command},
                         Streams{}, dir_);
    }
    return run_process({"/bin/sh", "-c", "PATH=\"" + t.bin_dir + ":$PATH\"; " + command},
                       Streams{}, dir_);
  }

  std::string dir_;
};

#define EXPECT_BYTES(actual, expected) \
  EXPECT_EQ(actual, expected) << "got:\n" << visible(actual) << "\nwanted:\n" << visible(expected)

// One case: the call, its exit code and its whole standard output, as the
// program writes it (see native()).
#define EXPECT_RUN(call_expression, code, output)                     \
  do {                                                                \
    ProcessResult result_ = (call_expression);                        \
    EXPECT_EQ(result_.exit_code, code) << #call_expression;           \
    EXPECT_BYTES(result_.out, native(output)) << #call_expression;    \
  } while (false)

// A file that the program wrote holds this text (see native()).
#define EXPECT_WRITTEN(name, text) EXPECT_BYTES(get(name), native(text))

// ---------------------------------------------------------------------------
// Help screen and usage error

TEST_F(Run, HelpScreenIsPrintedWholeWithExitOne) {
  EXPECT_RUN(kiv({}), 1, help_screen(shown_path(program_path("Kiv"), dir_)));
}

TEST_F(Run, AtMostOneArgumentShowsTheHelp) {
  put("in.txt", "text\n");
  const std::string help = help_screen(shown_path(program_path("Kiv"), dir_));
  EXPECT_RUN(kiv({"in.txt"}), 1, help);
  EXPECT_RUN(kiv({"-"}, "von stdin\n"), 1, help);
  EXPECT_RUN(kiv({"-z"}), 1, help);
  EXPECT_RUN(kiv({"-C"}), 1, help);
  EXPECT_RUN(kiv({"-x"}), 1, help);
  EXPECT_RUN(kiv({"missing.txt"}), 1, help);
  EXPECT_EQ(files(), Names({"in.txt"}));
  EXPECT_BYTES(get("in.txt"), "text\n");
}

TEST_F(Run, ProgramPathIsPrintedAsPassed) {
  // A relative path, and one with a blank and a percent sign in it.
  const std::string file = "Kiv" + target().suffix;
  const std::string in_dir = "my %s dir/" + file;
  ASSERT_EQ(symlink(program_path("Kiv").c_str(), path(file).c_str()), 0);
  folder("my %s dir");
  folder("sub");
  ASSERT_EQ(symlink(program_path("Kiv").c_str(), path(in_dir).c_str()), 0);
  const Streams none;

  EXPECT_RUN(call("./" + file, {}, none), 1, help_screen(shown_path("./" + file, dir_)));
  EXPECT_RUN(call("./" + file, {"-E"}, none), 4, usage_error(shown_path("./" + file, dir_)));
  EXPECT_RUN(call(in_dir, {}, none), 1, help_screen(shown_path(in_dir, dir_)));
  EXPECT_RUN(call(in_dir, {"-A"}, none), 4, usage_error(shown_path(in_dir, dir_)));
  EXPECT_RUN(call(path(in_dir), {"-z"}, none), 1, help_screen(shown_path(path(in_dir), dir_)));
  EXPECT_RUN(call("sub/../" + file, {}, none), 1, help_screen(shown_path("sub/../" + file, dir_)));
}

TEST_F(Run, MissingSourceOrTargetIsAUsageError) {
  put("in.txt", "text\n");
  const std::string usage = usage_error(shown_path(program_path("Kiv"), dir_));
  EXPECT_RUN(kiv({"-E"}, "x\n"), 4, usage);
  EXPECT_RUN(kiv({"-A"}), 4, usage);
  EXPECT_RUN(kiv({"-E", "-z"}, "x\n"), 4, usage);
  EXPECT_RUN(kiv({"-A", "-C", "-Du"}), 4, usage);
  EXPECT_RUN(kiv({"in.txt", "-C"}), 4, usage);
  EXPECT_RUN(kiv({"-", "-D"}, "x\n"), 4, usage);
  EXPECT_RUN(kiv({"-z", "-C"}), 4, usage);
  EXPECT_EQ(files(), Names({"in.txt"}));
}

// ---------------------------------------------------------------------------
// Choosing the streams

TEST_F(Run, OperandsAndOptionsSelectTheStreams) {
  put("in.txt", "aus der Datei\n");
  const std::string stdin_text = "von stdin\n";
  const std::string from_file = "aus der Datei\n";
  const std::string from_stdin = "von stdin\n";

  EXPECT_RUN(kiv({"in.txt", "o1.txt"}, stdin_text), 0, ""); EXPECT_WRITTEN("o1.txt", from_file);
  EXPECT_RUN(kiv({"-", "o2.txt"}, stdin_text), 0, ""); EXPECT_WRITTEN("o2.txt", from_stdin);
  EXPECT_RUN(kiv({"-E", "o3.txt"}, stdin_text), 0, ""); EXPECT_WRITTEN("o3.txt", from_stdin);
  EXPECT_RUN(kiv({"o4.txt", "-E"}, stdin_text), 0, ""); EXPECT_WRITTEN("o4.txt", from_stdin);
  EXPECT_RUN(kiv({"in.txt", "-"}, stdin_text), 0, from_file);
  EXPECT_RUN(kiv({"in.txt", "-A"}, stdin_text), 0, from_file);
  EXPECT_RUN(kiv({"-A", "in.txt"}, stdin_text), 0, from_file);
  EXPECT_RUN(kiv({"-", "-"}, stdin_text), 0, from_stdin);
  EXPECT_RUN(kiv({"-E", "-A"}, stdin_text), 0, from_stdin);
  EXPECT_RUN(kiv({"-E", "-"}, stdin_text), 0, from_stdin);
  EXPECT_RUN(kiv({"-A", "-"}, stdin_text), 0, from_stdin);
  EXPECT_RUN(kiv({"-E", "-A", "extra"}, stdin_text), 0, from_stdin);
  EXPECT_RUN(kiv({"-E", "-A", "in.txt", "o5.txt"}, stdin_text), 0, from_stdin);
  EXPECT_RUN(kiv({"in.txt", "o6.txt", "ignored.txt"}, stdin_text), 0, ""); EXPECT_WRITTEN("o6.txt", from_file);
  EXPECT_RUN(kiv({"-", "o7.txt", "-"}, stdin_text), 0, ""); EXPECT_WRITTEN("o7.txt", from_stdin);

  // Ignored operands are never created.
  EXPECT_EQ(files(), Names({"in.txt", "o1.txt", "o2.txt", "o3.txt", "o4.txt", "o6.txt", "o7.txt"}));
}

TEST_F(Run, AnExistingTargetIsReplaced) {
  put("in.txt", "neu\n");
  put("out.txt", "ein viel laengerer alter Inhalt\n");
  EXPECT_RUN(kiv({"in.txt", "out.txt"}), 0, "");
  EXPECT_WRITTEN("out.txt", "neu\n");
}

TEST_F(Run, OptionsMayStandAnywhereAndRepeat) {
  put("in.txt", "say \"hi\"\n");
  const std::string wrapped = "printf(\"say \\\"hi\\\"\\n\\n\");\n\n";
  EXPECT_RUN(kiv({"-C", "-D", "in.txt", "o1.c"}), 0, ""); EXPECT_WRITTEN("o1.c", wrapped);
  EXPECT_RUN(kiv({"in.txt", "-D", "o2.c", "-C"}), 0, ""); EXPECT_WRITTEN("o2.c", wrapped);
  EXPECT_RUN(kiv({"-C", "in.txt", "-D", "-C", "o3.c", "-D"}), 0, ""); EXPECT_WRITTEN("o3.c", wrapped);
  EXPECT_RUN(kiv({"-D", "-E", "-C", "-A"}, "say \"hi\"\n"), 0, wrapped);
  EXPECT_RUN(kiv({"-A", "-D", "in.txt", "-C"}), 0, wrapped);
}

TEST_F(Run, ManyArgumentsWork) {
  put("in.txt", "a\tb\n");
  // 60 arguments: options and operands beyond the first two mixed.
  Names sixty = {"in.txt", "out60.txt"};
  for (int i = 0; sixty.size() < 60; ++i) {
    sixty.push_back(i % 2 == 0 ? "-t" : "extra" + std::to_string(i));
  }
  EXPECT_RUN(kiv(sixty), 0, "");
  EXPECT_WRITTEN("out60.txt", "a\\tb\n");

  // 500 arguments, the option that matters in the very last one.
  Names many = {"in.txt", "out500.txt"};
  while (many.size() < 499) many.push_back("x" + std::to_string(many.size()));
  many.push_back("-C");
  EXPECT_RUN(kiv(many), 0, "");
  EXPECT_WRITTEN("out500.txt", "a\\tb\\n\\n\n");

  // Many operands with standard streams: all ignored.
  Names piped = {"-E", "-A"};
  while (piped.size() < 500) piped.push_back("y" + std::to_string(piped.size()));
  EXPECT_RUN(kiv(piped, "p q\n"), 0, "p q\n");

  EXPECT_EQ(files(), Names({"in.txt", "out500.txt", "out60.txt"}));
}

TEST_F(Run, PipeVariantAlwaysReadsStdinAndWritesStdout) {
  put("a.txt", "Datei a\n");
  EXPECT_RUN(kivs({}, "a\nb\n"), 0, "ab\n");
  EXPECT_RUN(kivs({}, ""), 0, "\n");
  EXPECT_RUN(kivs({"-z"}, "a\nb"), 0, "a\\nb\\n\n");
  EXPECT_RUN(kivs({"-B", "-D"}, "x"), 0, "echo -e \"x\\n\"\n\n");
  EXPECT_RUN(kivs({"-E", "-A"}, "a\nb"), 0, "ab\n");
  EXPECT_RUN(kivs({"-", "-"}, "a\nb"), 0, "ab\n");
  // File-name operands are ignored: neither read nor created.
  EXPECT_RUN(kivs({"a.txt", "b.txt"}, "von stdin\n"), 0, "von stdin\n");
  EXPECT_RUN(kivs({"a.txt", "b.txt", "-z", "c.txt"}, "s\n"), 0, "s\\n\\n\n");
  EXPECT_EQ(files(), Names({"a.txt"}));
  EXPECT_BYTES(get("a.txt"), "Datei a\n");
}

// ---------------------------------------------------------------------------
// Refused calls leave the files alone

TEST_F(Run, IdenticalNamesAreRefused) {
  put("in.txt", "Quelle\n");
  EXPECT_RUN(kiv({"in.txt", "in.txt"}), 2, same_name("in.txt"));
  EXPECT_RUN(kiv({"-C", "in.txt", "-Du", "in.txt"}), 2, same_name("in.txt"));
  EXPECT_RUN(kiv({"in.txt", "in.txt", "other.txt"}), 2, same_name("in.txt"));
  // Checked before the source is opened.
  EXPECT_RUN(kiv({"missing.txt", "missing.txt"}), 2, same_name("missing.txt"));
  EXPECT_BYTES(get("in.txt"), "Quelle\n");
  EXPECT_EQ(files(), Names({"in.txt"}));
}

TEST_F(Run, MissingSourceCreatesAndChangesNothing) {
  put("keep.txt", "alt\n");
  EXPECT_RUN(kiv({"missing.txt", "out.txt"}), 3, no_source("missing.txt"));
  EXPECT_RUN(kiv({"missing.txt", "keep.txt"}), 3, no_source("missing.txt"));
  EXPECT_RUN(kiv({"missing.txt", "-A", "-C", "-Du"}), 3, no_source("missing.txt"));
  EXPECT_RUN(kiv({"-C", "-Du", "missing.txt", "out.txt"}), 3, no_source("missing.txt"));
  EXPECT_RUN(kiv({"nodir/missing.txt", "out.txt"}), 3, no_source("nodir/missing.txt"));
  EXPECT_BYTES(get("keep.txt"), "alt\n");
  EXPECT_EQ(files(), Names({"keep.txt"}));
}

TEST_F(Run, FolderIsNoSource) {
  folder("d");
  put("keep.txt", "alt\n");
  EXPECT_RUN(kiv({"d", "out.txt"}), 3, no_source("d"));
  EXPECT_RUN(kiv({"d", "keep.txt"}), 3, no_source("d"));
  EXPECT_RUN(kiv({"d", "-A"}), 3, no_source("d"));
  EXPECT_RUN(kiv({".", "out.txt"}), 3, no_source("."));
  // A folder on standard input is reported under the name "-".
  EXPECT_RUN(kiv_redirected({"-", "out.txt"}, "d", ""), 3, no_source("-"));
  EXPECT_RUN(kiv_redirected({"-E", "keep.txt"}, "d", ""), 3, no_source("-"));
  EXPECT_RUN(kiv_redirected({"-E", "-A"}, "d", ""), 3, no_source("-"));
  EXPECT_RUN(kivs_redirected({}, "d", ""), 3, no_source("-"));
  EXPECT_BYTES(get("keep.txt"), "alt\n");
  EXPECT_EQ(files(), Names({"d", "keep.txt"}));
  EXPECT_EQ(list_dir(path("d")), Names());
}

TEST_F(Run, UnwritableTargetIsReported) {
  put("in.txt", "Quelle\n");
  folder("d");
  EXPECT_RUN(kiv({"in.txt", "nodir/out.txt"}), 5, unwritable("nodir/out.txt"));
  EXPECT_RUN(kiv({"-C", "-Du", "in.txt", "nodir/out.txt"}), 5, unwritable("nodir/out.txt"));
  EXPECT_RUN(kiv({"-E", "nodir/out.txt"}, "x\n"), 5, unwritable("nodir/out.txt"));
  EXPECT_RUN(kiv({"in.txt", "d"}), 5, unwritable("d"));
  EXPECT_RUN(kiv({"in.txt", "d/"}), 5, unwritable("d/"));
  EXPECT_BYTES(get("in.txt"), "Quelle\n");
  EXPECT_EQ(files(), Names({"d", "in.txt"}));
  EXPECT_EQ(list_dir(path("d")), Names());
}

// Windows has no device that is always full; under Wine the name
// /dev/full reaches Linux's, so the Windows build is tested with it too.
TEST_F(Run, FullDeviceIsReported) {
  put("in.txt", "Quelle\n");
  put("big.txt", std::string(1 << 20, 'x'));
  EXPECT_RUN(kiv({"in.txt", "/dev/full"}), 5, unwritable("/dev/full"));
  EXPECT_RUN(kiv({"-C", "-Du", "in.txt", "/dev/full"}), 5, unwritable("/dev/full"));
  EXPECT_RUN(kiv({"-E", "/dev/full"}, "x\n"), 5, unwritable("/dev/full"));
  EXPECT_RUN(kiv({"big.txt", "/dev/full"}), 5, unwritable("/dev/full"));
  // Standard output that cannot take the text: the message cannot be
  // seen there either, but the exit code tells.
  EXPECT_RUN(kiv_redirected({"in.txt", "-A"}, "", "/dev/full"), 5, "");
  EXPECT_RUN(kiv_redirected({"in.txt", "-"}, "", "/dev/full"), 5, "");
  EXPECT_RUN(kiv_redirected({"big.txt", "-A"}, "", "/dev/full"), 5, "");
  EXPECT_RUN(kivs_redirected({"-C", "-Du"}, "in.txt", "/dev/full"), 5, "");
  EXPECT_BYTES(get("in.txt"), "Quelle\n");
}

TEST_F(Run, ReadErrorIsReported) {
  // /proc/self/mem opens, but reading its first page fails. Windows has no
  // such file; under Wine the name reaches Linux's, as with /dev/full.
  // The first block is read before the target is touched: a source that
  // fails at once leaves the target as it was, and nothing is written.
  put("keep.txt", "precious\n");
  EXPECT_RUN(kiv({"/proc/self/mem", "out.txt"}), 6, unreadable("/proc/self/mem"));
  EXPECT_RUN(kiv({"/proc/self/mem", "keep.txt", "-C", "-Du"}), 6, unreadable("/proc/self/mem"));
  EXPECT_RUN(kiv({"/proc/self/mem", "-A"}), 6, unreadable("/proc/self/mem"));
  EXPECT_RUN(kiv({"/proc/self/mem", "-", "-C", "-Du"}), 6, unreadable("/proc/self/mem"));
  EXPECT_BYTES(get("keep.txt"), "precious\n");
  EXPECT_EQ(files(), Names({"keep.txt"}));
}

// A run that fails after it began to write a file it opened by name
// removes that file: half written, it would pass for a finished one. A
// symbolic link stays and leads to an empty file. The file size limit
// stands in for a full disk (its signal ignored, a write fails with
// EFBIG); the limit is Linux's, Wine's files fill no disk of their own.
TEST_F(Run, FailedRunLeavesNoHalfWrittenTarget) {
  if (on_windows()) GTEST_SKIP() << "needs the shell's file size limit";
  put("big.txt", std::string(1 << 18, 'x'));
  put("real.txt", "alt\n");
  ASSERT_EQ(symlink("real.txt", path("link.txt").c_str()), 0);
  const std::string limited = "trap '' XFSZ; ulimit -f 64; ";
  EXPECT_RUN(shell(limited + "Kiv big.txt out.txt -C"), 5, unwritable("out.txt"));
  EXPECT_RUN(shell(limited + "Kiv big.txt link.txt"), 5, unwritable("link.txt"));
  EXPECT_RUN(shell(limited + "KivS < big.txt > stdout.txt"), 5, "");
  EXPECT_EQ(files(), Names({"big.txt", "link.txt", "real.txt", "stdout.txt"}));
  EXPECT_BYTES(get("real.txt"), "");
  EXPECT_EQ(get("stdout.txt").size(), 64u * 512);
}

TEST_F(Run, OneFileUnderTwoNamesIsRefused) {
  const std::string source = "Quelle\n";
  put("a.txt", source);
  // Wine shows a Windows program the hard link as a second name of the
  // file, and the symbolic link as the file it points to.
  ASSERT_EQ(link(path("a.txt").c_str(), path("hard.txt").c_str()), 0);
  ASSERT_EQ(symlink("a.txt", path("soft.txt").c_str()), 0);
  folder("sub");

  EXPECT_RUN(kiv({"a.txt", "./a.txt"}), 2, same_name("a.txt"));
  EXPECT_RUN(kiv({"./a.txt", "sub/../a.txt"}), 2, same_name("./a.txt"));
  EXPECT_RUN(kiv({"a.txt", path("a.txt")}), 2, same_name("a.txt"));
  EXPECT_RUN(kiv({"a.txt", "hard.txt"}), 2, same_name("a.txt"));
  EXPECT_RUN(kiv({"hard.txt", "a.txt", "-C", "-Du"}), 2, same_name("hard.txt"));
  EXPECT_RUN(kiv({"a.txt", "soft.txt"}), 2, same_name("a.txt"));
  EXPECT_RUN(kiv({"soft.txt", "a.txt"}), 2, same_name("soft.txt"));
  EXPECT_RUN(kiv_redirected({"-", "a.txt"}, "a.txt", ""), 2, same_name("-"));
  EXPECT_RUN(kiv_redirected({"-E", "hard.txt"}, "a.txt", ""), 2, same_name("-"));
  if (on_windows()) {
    // Windows names ignore case, and take backslashes and drive letters.
    EXPECT_RUN(kiv({"a.txt", "A.TXT"}), 2, same_name("a.txt"));
    EXPECT_RUN(kiv({"A.txt", "a.txt"}), 2, same_name("A.txt"));
    EXPECT_RUN(kiv({"a.txt", "sub\\..\\a.txt"}), 2, same_name("a.txt"));
    EXPECT_RUN(kiv({"a.txt", windows_path("a.txt", dir_)}), 2, same_name("a.txt"));
    EXPECT_RUN(kiv({".\\hard.txt", "a.txt"}), 2, same_name(".\\hard.txt"));
  }
  // Standard output appended to the source: refused, and the message
  // must not land in the source either.
  EXPECT_RUN(kiv_redirected({"a.txt", "-"}, "", "a.txt"), 2, "");
  EXPECT_RUN(kiv_redirected({"a.txt", "a.txt"}, "", "a.txt"), 2, "");
  EXPECT_RUN(kiv_redirected({"a.txt", "-A"}, "", "soft.txt"), 2, "");
  EXPECT_RUN(kiv_redirected({"-", "-"}, "a.txt", "a.txt"), 2, "");
  EXPECT_RUN(kivs_redirected({"-C", "-Du"}, "a.txt", "hard.txt"), 2, "");

  EXPECT_BYTES(get("a.txt"), source);
  EXPECT_EQ(files(), Names({"a.txt", "hard.txt", "soft.txt", "sub"}));

  // A named pipe read and written by Kiv itself would never end. Windows
  // has no named pipes in the file system.
  if (on_windows()) return;
  ASSERT_EQ(mkfifo(path("ff").c_str(), 0600), 0);
  EXPECT_RUN(shell("(printf 'hello\\n' > ff) & exec timeout 10 Kiv ff ./ff -z"), 2,
             same_name("ff"));
}

// A standard stream the caller closed is reported, and no file opened by
// name may take its place: the source must not pass for standard output,
// nor the target for standard input.
TEST_F(Run, ClosedStandardStreamsAreReported) {
  put("a.txt", "Quelle\n");
  put("keep.txt", "alt\n");
  Streams closed_in;
  closed_in.close_input = true;
  Streams closed_out;
  closed_out.close_output = true;
  // Wine hands a Windows program whose standard input is closed a handle
  // to a folder, which is refused as a source like any folder.
  const int closed_in_code = on_windows() ? 3 : 6;
  const std::string closed_in_message =
      on_windows() ? no_source("-") : unreadable("-");
  EXPECT_RUN(call(program_path("Kiv"), {"-E", "keep.txt"}, closed_in),
             closed_in_code, closed_in_message);
  EXPECT_RUN(call(program_path("KivS"), {"-z"}, closed_in), closed_in_code,
             closed_in_message);
  EXPECT_EQ(call(program_path("Kiv"), {"a.txt", "-A"}, closed_out).exit_code,
            5);
  EXPECT_EQ(call(program_path("Kiv"), {"a.txt", "out.txt"}, closed_out)
                .exit_code,
            0);
  // What stands in for a closed stream is no source or target under its
  // /dev name either (names Windows does not have).
  if (!on_windows()) {
    EXPECT_RUN(call(program_path("Kiv"), {"/dev/stdin", "keep.txt"}, closed_in), 6,
               unreadable("/dev/stdin"));
    EXPECT_RUN(call(program_path("Kiv"), {"/dev/fd/0", "keep.txt", "-z"}, closed_in), 6,
               unreadable("/dev/fd/0"));
    EXPECT_EQ(call(program_path("Kiv"), {"a.txt", "/dev/stdout", "-C", "-D"}, closed_out)
                  .exit_code,
              5);
    EXPECT_EQ(call(program_path("Kiv"), {"/dev/stdout", "keep.txt"}, closed_out).exit_code,
              6);
  }
  EXPECT_BYTES(get("keep.txt"), "alt\n");
  EXPECT_BYTES(get("a.txt"), "Quelle\n");
  EXPECT_WRITTEN("out.txt", "Quelle\n");
}

TEST_F(Run, DevicesAreNotMistakenForTheSource) {
  put("a.txt", "Quelle\n");
  // Redirections come from Linux's /dev/null; the program itself names
  // the null device of its system (NUL on Windows).
  const std::string null = null_device();
  EXPECT_RUN(kiv_redirected({"a.txt", "-"}, "", "/dev/null"), 0, "");
  EXPECT_RUN(kiv_redirected({"-", "-"}, "/dev/null", "/dev/null"), 0, "");
  EXPECT_RUN(kiv({"a.txt", null}), 0, "");
  EXPECT_RUN(kiv({null, "-A", "-z"}), 0, "\\n\n");
  EXPECT_RUN(kiv({null, null}), 2, same_name(null));
  // Another name of the device is no second name of a file.
  EXPECT_RUN(kiv({null, on_windows() ? "nul" : "/dev/../dev/null"}), 0, "");
  EXPECT_BYTES(get("a.txt"), "Quelle\n");
}

// Names beyond ASCII. Linux takes them as bytes, valid UTF-8 or not. A
// Windows program gets its arguments in the ANSI code page (1252 under
// Wine with a UTF-8 locale): "\xc3\xb6" given by a Linux caller arrives as
// the byte F6, and files keep their names in UTF-8 on the Linux side.
struct ForeignNames {
  const char* source;        // an existing file, as the caller names it
  const char* target;        // a new file, as the caller names it
  const char* missing;       // a missing file, as the caller names it
  const char* missing_seen;  // that name as the program prints it
};
const ForeignNames kLinuxNames = {"\xe4\xf6\xfc \xc3\xa9.txt", "\xff.out",
                                  "n\xc3\xb6\xfe.txt", "n\xc3\xb6\xfe.txt"};
const ForeignNames kWindowsNames = {"\xc3\xa4\xc3\xb6\xc3\xbc \xc3\xa9.txt", "\xc3\xbf.out",
                                    "n\xc3\xb6\xc3\xbe.txt", "n\xf6\xfe.txt"};

TEST_F(Run, UnusualFileNamesWorkAndPrintLiterally) {
  const ForeignNames& foreign = on_windows() ? kWindowsNames : kLinuxNames;
  put("-x", "minus\n");
  put("a %s b%%.txt", "prozent\n");
  put(foreign.source, "umlaut\n");

  // Names that look like options but are none are file names.
  EXPECT_RUN(kiv({"-x", "-y"}), 0, ""); EXPECT_WRITTEN("-y", "minus\n");
  EXPECT_RUN(kiv({"-x", "--", "-z"}), 0, ""); EXPECT_WRITTEN("--", "minus\\n\\n\n");
  EXPECT_RUN(kiv({"-q", "out.txt"}), 3, no_source("-q"));
  EXPECT_RUN(kiv({"-zt", "-ZZ"}), 3, no_source("-zt"));
  EXPECT_RUN(kiv({"-x", "-x"}), 2, same_name("-x"));

  // Percent signs and blanks.
  EXPECT_RUN(kiv({"a %s b%%.txt", "z %d %n.txt"}), 0, ""); EXPECT_WRITTEN("z %d %n.txt", "prozent\n");
  EXPECT_RUN(kiv({"no %s %n.txt", "out.txt"}), 3, no_source("no %s %n.txt"));
  EXPECT_RUN(kiv({"%s%s%n", "%s%s%n"}), 2, same_name("%s%s%n"));
  EXPECT_RUN(kiv({"a %s b%%.txt", "%n %s/x"}), 5, unwritable("%n %s/x"));

  // Bytes beyond ASCII.
  EXPECT_RUN(kiv({foreign.source, foreign.target}), 0, ""); EXPECT_WRITTEN(foreign.target, "umlaut\n");
  EXPECT_RUN(kiv({foreign.missing, "out.txt"}), 3, no_source(foreign.missing_seen));

  EXPECT_EQ(files(), Names({"--", "-x", "-y", "a %s b%%.txt", "z %d %n.txt",
                            foreign.source, foreign.target}));
}

// Wildcard patterns in operands. Windows shells leave them to the program,
// whose runtime expands them into the matching names in name order; a
// pattern that matches nothing stays as it is. On Linux the shell expands
// them, and Kiv takes what reaches it literally: a quoted "*.txt" is one
// file name.
TEST_F(Run, WildcardPatternsAreExpandedOnlyOnWindows) {
  put("b.txt", "zweite\n");
  put("a.txt", "erste\n");
  put("c.dat", "daten\n");
  const std::string help = help_screen(shown_path(program_path("Kiv"), dir_));
  if (on_windows()) {
    folder("sub");
    put("sub/q.txt", "q\n");
    // "*.txt" stands for "a.txt b.txt": a is converted into b.
    EXPECT_RUN(kiv({"*.txt", "-z"}), 0, "");
    EXPECT_WRITTEN("b.txt", "erste\\n\\n\n");
    EXPECT_RUN(kiv({"?.dat", "-A"}), 0, "daten\n");
    EXPECT_RUN(kiv({"-E", "*.dat"}, "neu\n"), 0, "");
    EXPECT_WRITTEN("c.dat", "neu\n");
    EXPECT_RUN(kiv({"*.dat"}), 1, help);
    EXPECT_RUN(kiv({"*.nix", "out.txt"}), 3, no_source("*.nix"));
    EXPECT_RUN(kiv({"sub/*.txt", "sub/*.txt"}), 2, same_name("sub/q.txt"));
    EXPECT_EQ(files(), Names({"a.txt", "b.txt", "c.dat", "sub"}));
  } else {
    put("*.txt", "stern\n");
    EXPECT_RUN(kiv({"*.txt", "-A"}), 0, "stern\n");
    EXPECT_RUN(kiv({"*.txt"}), 1, help);
    EXPECT_RUN(kiv({"?.dat", "-A"}), 3, no_source("?.dat"));
    EXPECT_RUN(kiv({"a.txt", "*.out"}), 0, "");
    EXPECT_WRITTEN("*.out", "erste\n");
    EXPECT_BYTES(get("b.txt"), "zweite\n");
    EXPECT_EQ(files(), Names({"*.out", "*.txt", "a.txt", "b.txt", "c.dat"}));
  }
  EXPECT_BYTES(get("a.txt"), "erste\n");
}

// ---------------------------------------------------------------------------
// Conversion through the program

TEST_F(Run, FilterRulesHoldEndToEnd) {
  EXPECT_RUN(kivs({}, ""), 0, "\n");
  EXPECT_RUN(kivs({"-z"}, ""), 0, "\\n\n");
  EXPECT_RUN(kivs({"-z"}, "ab\n"), 0, "ab\\n\\n\n");
  EXPECT_RUN(kivs({"-z"}, "a "), 0, "a \\n\n");
  EXPECT_RUN(kivs({}, "no line feed"), 0, "no line feed\n");

  // Blanks before a line break.
  EXPECT_RUN(kivs({}, "a  \nb"), 0, "a b\n");
  EXPECT_RUN(kivs({"-l"}, "a  \nb"), 0, "a  b\n");
  EXPECT_RUN(kivs({}, "end \n"), 0, "end\n");

  // After a closing angle bracket.
  EXPECT_RUN(kivs({}, "<p>\nx"), 0, "<p>\nx\n");
  EXPECT_RUN(kivs({"-h"}, "<p>\nx"), 0, "<p>x\n");
  EXPECT_RUN(kivs({"-z"}, "<p>\nx"), 0, "<p>\\nx\\n\n");
  EXPECT_RUN(kivs({}, "<b>   Text"), 0, "<b>Text\n");
  EXPECT_RUN(kivs({"-l"}, "<b>   Text"), 0, "<b>   Text\n");
  EXPECT_RUN(kivs({"-h"}, "<b>   Text"), 0, "<b>   Text\n");
  EXPECT_RUN(kivs({}, "a> \nb"), 0, "a>\nb\n");
  EXPECT_RUN(kivs({"-l"}, "a> \nb"), 0, "a> b\n");
  EXPECT_RUN(kivs({"-z"}, "a>"), 0, "a>\n");

  // Escapes.
  EXPECT_RUN(kivs({"-%"}, "5%"), 0, "5%%\n");
  EXPECT_RUN(kivs({"-H"}, "<b> x"), 0, "&lt;b&gt;x\n");
  EXPECT_RUN(kivs({"-H", "-h"}, "<b> x"), 0, "&lt;b&gt; x\n");
  EXPECT_RUN(kivs({"-C"}, "say \"hi\"\t100%\\\n"), 0, "say \\\"hi\\\"\\t100%%\\\\\\n\\n\n");
  EXPECT_RUN(kivs({"-S"}, "a/b.c;d*e#f&g[h]\n"), 0, "a\\/b\\.c\\;d\\*e#f\\&g\\[h\\]\\n\\n\n");
  EXPECT_RUN(kivs({"-S", "-kr"}, "#"), 0, "\\#\\n\n");
  EXPECT_RUN(kivs({"-ss", "-rk", "-gk"}, "|(){}"), 0, "\\|\\(\\)\\{\\}\n");
  EXPECT_RUN(kivs({"-a"}, "\"\\"), 0, "\\\"\\\n");
  EXPECT_RUN(kivs({"-r"}, "\"\\"), 0, "\"\\\\\n");
}

// A CR is a line break of its own. Windows reads the source in binary and
// takes a CR LF pair as one break, as its text files end their lines so;
// a lone CR stays a break of its own there too.
TEST_F(Run, CarriageReturnsAreLineBreaks) {
  const bool pair = on_windows();  // CR LF is one line break
  EXPECT_RUN(kivs({}, "a\r\nb"), 0, "ab\n");
  EXPECT_RUN(kivs({"-z"}, "a\r\nb"), 0, pair ? "a\\nb\\n\n" : "a\\n\\nb\\n\n");
  EXPECT_RUN(kivs({"-z"}, "a\rb"), 0, "a\\nb\\n\n");
  EXPECT_RUN(kivs({"-z"}, "a\r"), 0, "a\\n\\n\n");
  EXPECT_RUN(kivs({"-z"}, "a\n\rb"), 0, "a\\n\\nb\\n\n");
  EXPECT_RUN(kivs({"-z"}, "a\r\r\nb"), 0, pair ? "a\\n\\nb\\n\n" : "a\\n\\n\\nb\\n\n");
  EXPECT_RUN(kivs({}, "a \r\nb"), 0, "ab\n");
  EXPECT_RUN(kivs({}, "a>\r\nb"), 0, pair ? "a>\nb\n" : "a>\rb\n");
  put("crlf.txt", "x\r\ny\r\n");
  EXPECT_RUN(kiv({"crlf.txt", "-", "-z"}), 0, pair ? "x\\ny\\n\\n\n" : "x\\n\\ny\\n\\n\\n\n");

  // Lines of every length up to 9, so that pairs fall on every offset of
  // the read blocks, through a file and through standard input.
  std::string text, expected;
  for (int i = 0; text.size() < (1u << 18); ++i) {
    text += std::string(i % 10, 'x') + "\r\n";
    expected += std::string(i % 10, 'x') + (pair ? "\\n" : "\\n\\n");
  }
  put("long.txt", text);
  EXPECT_RUN(kiv({"long.txt", "long.out", "-z"}), 0, "");
  EXPECT_WRITTEN("long.out", expected + "\\n\n");
  EXPECT_RUN(kivs({"-z"}, text), 0, expected + "\\n\n");
}

// The C runtime's text mode ends a Windows file at the first Ctrl-Z
// (0x1A); Kiv reads the whole source whatever the system.
TEST_F(Run, CtrlZIsAnOrdinaryByte) {
  const bool pair = on_windows();
  put("z.txt", "a\x1a" "b\r\nc\x1a");
  EXPECT_RUN(kiv({"z.txt", "-"}), 0, "a\x1a" "bc\x1a\n");
  EXPECT_RUN(kiv({"z.txt", "z.out", "-z"}), 0, "");
  EXPECT_WRITTEN("z.out", pair ? "a\x1a" "b\\nc\x1a\\n\n" : "a\x1a" "b\\n\\nc\x1a\\n\n");
  EXPECT_RUN(kivs({"-z"}, "\x1a"), 0, "\x1a\\n\n");
  EXPECT_RUN(kivs({"-C", "-D"}, "1\x1a\n2\n"), 0, "printf(\"1\x1a\\n2\\n\\n\");\n\n");
  EXPECT_RUN(kiv_redirected({"-", "-", "-z"}, "z.txt", ""), 0,
             pair ? "a\x1a" "b\\nc\x1a\\n\n" : "a\x1a" "b\\n\\nc\x1a\\n\n");
}

TEST_F(Run, EveryByteValuePassesThroughTheProgram) {
  std::string all;
  for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
  put("bytes.bin", all + all);

  // Without options only the line breaks go.
  std::string plain;
  for (unsigned char c : all) {
    if (c != '\n' && c != '\r') plain += static_cast<char>(c);
  }
  EXPECT_RUN(kiv({"bytes.bin", "plain.out"}), 0, "");
  EXPECT_WRITTEN("plain.out", plain + plain + "\n");

  // With every escape option at once.
  std::string escaped;
  for (unsigned char c : all) {
    switch (c) {
      case '\t': escaped += "\\t"; break;
      case '\n': case '\r': escaped += "\\n"; break;
      case '%': escaped += "%%"; break;
      case '<': escaped += "&lt;"; break;
      case '>': escaped += "&gt;"; break;
      case '"': case '\\': case '/': case '|': case '.': case ';': case '*':
      case '#': case '&': case '(': case ')': case '[': case ']': case '{':
      case '}':
        escaped += '\\';
        escaped += static_cast<char>(c);
        break;
      default: escaped += static_cast<char>(c);
    }
  }
  EXPECT_RUN(kiv({"bytes.bin", "all.out", "-z", "-a", "-r", "-t", "-sr", "-ss", "-p", "-sk",
                  "-st", "-kr", "-%", "-k", "-rk", "-ek", "-gk", "-h", "-H"}),
             0, "");
  EXPECT_WRITTEN("all.out", escaped + escaped + "\\n\n");
}

TEST_F(Run, OneMebibyteConvertsWhole) {
  // Pieces of odd length so that no buffer boundary falls in the same
  // place twice.
  const std::string c_piece = "Zeile \"1\"\t50%\\ <b>\n";
  const std::string c_form = "Zeile \\\"1\\\"\\t50%%\\\\ <b>\\n";
  const std::string tag_piece = "ab  \n<i>  x\n";
  const std::string tag_form = "ab <i>x";
  std::string c_text, c_expected, tag_text, tag_expected;
  while (c_text.size() < (1u << 20)) { c_text += c_piece; c_expected += c_form; }
  while (tag_text.size() < (1u << 20)) { tag_text += tag_piece; tag_expected += tag_form; }
  put("c.txt", c_text);

  EXPECT_RUN(kiv({"c.txt", "c.out", "-C"}), 0, "");
  EXPECT_WRITTEN("c.out", c_expected + "\\n\n");
  EXPECT_RUN(kiv({"-E", "-A"}, tag_text), 0, tag_expected + "\n");
}

// A pipe filter writes what it has converted whenever its input pauses:
// here the writer goes on only once the first line has arrived. And the
// programs need little stack. Both through the shell of Linux (Wine's
// cmd has no such pipelines and limits).
TEST_F(Run, OutputStreamsAndNeedsLittleStack) {
  if (on_windows()) GTEST_SKIP() << "needs a POSIX shell";
  const std::string writer =
      "(printf 'a\\n'; for i in $(seq 100); do [ -s out ] && break; sleep 0.1; done; "
      "[ -s out ] && printf 'b\\n' || printf 'spaet\\n')";
  EXPECT_RUN(shell(writer + " | KivS -z > out; cat out"), 0, "a\\nb\\n\\n\n");
  EXPECT_RUN(shell(writer + " | Kiv - out -z; cat out"), 0, "a\\nb\\n\\n\n");

  put("ab.txt", "ab\n");
  put("keep", "alt\n");
  EXPECT_RUN(shell("ulimit -s 64; Kiv ab.txt keep -z && KivS -z < ab.txt"), 0, "ab\\n\\n\n");
  EXPECT_WRITTEN("keep", "ab\\n\\n\n");
}

// ---------------------------------------------------------------------------
// Print commands, frames and the warning

TEST_F(Run, EachSyntaxWritesItsPieces) {
  put("in.txt", "a\"b/c\n");
  struct Case {
    const char* option;
    const char* command;  // with -D
    const char* program;  // with -Du
  };
  const Case cases[] = {
      {"-C", R"(printf("a\"b/c\n\n");)" "\n\n",
       "#include <stdio.h>\n\nint main()\n{\n" R"(printf("a\"b/c\n\n");)" "\n} // main()\n\n"},
      {"-P", R"(print("a\"b/c\n\n");)" "\n\n",
       "<?php\n" R"(print("a\"b/c\n\n");)" "\n?>\n\n"},
      {"-J", R"(document.write("a\"b\/c\n\n");)" "\n\n",
       "<script type=\"text/javascript\">\n<!--\n" R"(document.write("a\"b\/c\n\n");)"
       "\n//-->\n</script>\n\n"},
      {"-B", R"(echo -e "a\"b/c\n\n")" "\n\n",
       "#!/bin/bash\n" R"(echo -e "a\"b/c\n\n")" "\n\n"},
      {"-S", R"(s/#Suchwort/a\"b\/c\n\n/)" "\n\n",
       "#!/bin/sed -f\n" R"(s/#Suchwort/a\"b\/c\n\n/)" "\n\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.option);
    EXPECT_RUN(kiv({"in.txt", "-", c.option, "-D"}), 0, c.command);
    EXPECT_RUN(kiv({"in.txt", "-", c.option, "-Du"}), 0, c.program);
    EXPECT_RUN(kiv({"in.txt", "-", c.option, "-D", "-Du"}), 0, c.program);
    EXPECT_RUN(kiv({"in.txt", "out.txt", c.option, "-Du"}), 0, "");
    EXPECT_WRITTEN("out.txt", c.program);
  }
}

TEST_F(Run, SeveralSyntaxesNestAndAppendTheWarning) {
  EXPECT_RUN(kivs({"-C", "-J", "-D"}, "x"), 0,
             "printf(\"document.write(\"x\\n\");\n" + kWarning + "\n");
  EXPECT_RUN(kivs({"-J", "-C", "-D"}, "x"), 0,
             "printf(\"document.write(\"x\\n\");\n" + kWarning + "\n");
  EXPECT_RUN(kivs({"-B", "-S", "-D"}, "x"), 0,
             "echo -e \"s/#Suchwort/x\\n/\n\"\n" + kWarning + "\n");
  EXPECT_RUN(kivs({"-S", "-B", "-P", "-Du"}, "x"), 0,
             "<?php\n#!/bin/bash\n#!/bin/sed -f\nprint(\"echo -e \"s/#Suchwort/x\\n/\n\");\n\"\n?>\n" +
                 kWarning + "\n");
  EXPECT_RUN(kivs({"-C", "-P", "-J", "-B", "-S", "-Du"}, "x"), 0,
             "#include <stdio.h>\n\nint main()\n{\n"
             "<?php\n"
             "<script type=\"text/javascript\">\n<!--\n"
             "#!/bin/bash\n"
             "#!/bin/sed -f\n"
             "printf(\"print(\"document.write(\"echo -e \"s/#Suchwort/"
             "x\\n"
             "/\n"
             "\");\n"
             "\"\n"
             "//-->\n</script>\n"
             "?>\n"
             "} // main()\n" +
                 kWarning + "\n");

  // Into a file: the warning is part of the file, the console stays empty.
  put("in.txt", "x");
  EXPECT_RUN(kiv({"in.txt", "out.txt", "-P", "-J", "-D"}), 0, "");
  EXPECT_WRITTEN("out.txt", "print(\"document.write(\"x\\n\");\n" + kWarning + "\n");
}

TEST_F(Run, PiecesNeedASyntaxAndAPrintOption) {
  EXPECT_RUN(kivs({"-C", "-J"}, "x"), 0, "x\\n\n");
  EXPECT_RUN(kivs({"-C", "-P", "-J", "-B", "-S"}, "x"), 0, "x\\n\n");
  EXPECT_RUN(kivs({"-D"}, "x\n"), 0, "x\n");
  EXPECT_RUN(kivs({"-Du"}, "x\n"), 0, "x\n");
  EXPECT_RUN(kivs({"-D", "-Du", "-z"}, "x\n"), 0, "x\\n\\n\n");
}

TEST_F(Run, ChainedExampleOfTheWarningHolds) {
  put("Quelltext", "Dies ist ein Quelltext.\n");
  const std::string print = print_file_command();
  const std::string chains[] = {
      "Kiv Quelltext Javatext.js -J -Du && Kiv Javatext.js C-Text.c -C -Du",
      "Kiv Quelltext -J -Du -A | Kiv C-Text.c -C -Du -E",
      "Kiv Quelltext - -J -Du | Kiv - C-Text.c -C -Du",
      print + " Quelltext | Kiv -J -Du -E -A | Kiv C-Text.c -C -Du -E",
      print + " Quelltext | Kiv - - -J -Du | Kiv - C-Text.c -C -Du",
      print + " Quelltext | KivS -J -Du | KivS -C -Du > C-Text.c",
  };
  for (const std::string& chain : chains) {
    SCOPED_TRACE(chain);
    drop("C-Text.c");
    EXPECT_RUN(shell(chain), 0, "");
    EXPECT_WRITTEN("C-Text.c", kChainResult + "\n");
  }
  EXPECT_WRITTEN("Javatext.js", kChainJavaScript);
  EXPECT_RUN(kiv({"Quelltext", "-", "-J", "-Du"}), 0, kChainJavaScript);
  EXPECT_RUN(shell("KivS -J -Du < Quelltext | KivS -C -Du"), 0, kChainResult + "\n");
  EXPECT_BYTES(get("Quelltext"), "Dies ist ein Quelltext.\n");
}

}  // namespace
}  // namespace kiv
