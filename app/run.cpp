#include "app/run.h"

#include <cstdio>
#include <cstring>

#include "app/interrupts.h"
#include "app/platform.h"
#include "app/target.h"
#include "convert/stream.h"
#include "convert/wrappers.h"
#include "io/output.h"
#include "options/options.h"
#include "texts/help.h"
#include "texts/messages.h"

namespace kiv {
namespace {

constexpr char kStandardStreamName[] = "-";

// Returns the position of the first operand at or after `from`, or argc.
int next_operand(int argc, char* argv[], int from) {
  while (from < argc && !is_operand(argv[from])) ++from;
  return from;
}

// Takes the next operand for one stream: "-" turns on the standard stream,
// anything else is the file name. Returns the position after it.
int select_stream(int argc, char* argv[], int from, bool& use_standard,
                  const char*& name) {
  if (use_standard) return from;
  int at = next_operand(argc, argv, from);
  if (at == argc) return at;
  if (std::strcmp(argv[at], kStandardStreamName) == 0) {
    use_standard = true;
  } else {
    name = argv[at];
  }
  return at + 1;
}

// The streams of a run and what becomes of its target, in one place:
// whichever way run() returns, what is still open is closed and, unless
// the run got to its end, what it did to a target opened by name is taken
// back (see undo_target).
struct OpenRun {
  std::FILE* input = nullptr;
  std::FILE* output = nullptr;  // standard output, or the target below
  Target target;                // a target opened by name
  FileIdentity source;          // of the open source
  FileIdentity console;         // of standard output
  bool finished = false;

  OpenRun() = default;
  OpenRun(const OpenRun&) = delete;
  OpenRun& operator=(const OpenRun&) = delete;
  ~OpenRun() {
    if (input != nullptr) std::fclose(input);
    if (output == nullptr || output == stdout) return;
    InterruptsHeld held;
    if (!finished) {
      if (target.identity.known) {
        undo_target(target);
      } else if (target.created != nullptr) {
        // The system could not tell which file it is: the name must do.
        std::remove(target.created);
      }
    }
    close_target(output, target);
  }
};

// Prints a message about a file, unless standard output is the source:
// the message would land in it. Written as the text is, so that a
// standard output that does not block takes it too.
void say(const OpenRun& run, const char* format, const char* name) {
  if (same_file(run.source, run.console)) return;
  char text[8192];
  int n = std::snprintf(text, sizeof text, format, name);
  if (n < 0) return;
  std::fflush(stdout);
  if (static_cast<std::size_t>(n) < sizeof text) {
    write_all(descriptor_of(stdout), text, static_cast<std::size_t>(n));
  } else {
    std::printf(format, name);
  }
}

// Refuses a source that is also the target. The message is left out when
// standard output goes into that very file, or might: it would land in
// the source.
int refuse_same_file(OpenRun& run, const char* name,
                     const FileIdentity& source) {
  run.source = source;
  if (run.console.known) say(run, kSameFile, name);
  return kExitSameFile;
}

// True when a stream opened by name is in fact the stand-in for a closed
// standard stream (through /dev/stdin, /dev/fd/1 and the like).
bool is_stand_in(const FileIdentity& id, const StandIn& in,
                 const StandIn& out) {
  return (in.closed && same_numbers(id, in.identity)) ||
         (out.closed && same_numbers(id, out.identity));
}

int report(const OpenRun& run, const char* format, const char* name,
           int code) {
  say(run, format, name);
  return code;
}

// What the command line asks for.
struct Call {
  Options options;
  const char* source = nullptr;  // null: standard input
  const char* target = nullptr;  // null: standard output
  const char* source_name = kStandardStreamName;  // as messages name it
  const char* target_name = kStandardStreamName;
  StandIn stdin_stand_in;
  StandIn stdout_stand_in;
};

// A step's answer when the run goes on to the next step.
constexpr int kGoOn = -1;

int unreadable(const OpenRun& run, const Call& call) {
  return report(run, kSourceUnreadable, call.source_name, kExitUnreadable);
}

int unwritable(const OpenRun& run, const Call& call) {
  return report(run, kTargetUnwritable, call.target_name, kExitUnwritable);
}

// Options and names; the help screen for too few arguments, the usage
// error when the source or the target is not named.
int read_call(int argc, char* argv[], Variant variant, Call& call) {
  const char* program = argc > 0 && argv[0] != nullptr ? argv[0] : "Kiv";
  call.stdin_stand_in = fill_if_closed(0);
  call.stdout_stand_in = fill_if_closed(1);
  Options& options = call.options;
  options = parse_options(argc, argv);
  if (variant == Variant::pipe) {
    options.read_stdin = true;
    options.write_stdout = true;
  }
  if (argc <= 2 && !options.read_stdin && !options.write_stdout) {
    show_help(stdout, program);
    return kExitHelp;
  }
  int next = select_stream(argc, argv, 1, options.read_stdin, call.source);
  select_stream(argc, argv, next, options.write_stdout, call.target);
  if ((call.source == nullptr && !options.read_stdin) ||
      (call.target == nullptr && !options.write_stdout)) {
    show_usage_error(stdout, program);
    return kExitUsage;
  }
  if (call.source != nullptr) call.source_name = call.source;
  if (call.target != nullptr) call.target_name = call.target;
  return kGoOn;
}

// What is refused before anything is opened: one name for both, two names
// of one named pipe (opening the source would wait for ever for a
// writer), a closed standard stream.
int refuse_before_opening(OpenRun& open, const Call& call) {
  open.console = identify_stream(stdout);
  if (call.source != nullptr && call.target != nullptr) {
    FileIdentity named = identify_path(call.source);
    if (std::strcmp(call.source, call.target) == 0 ||
        same_file(named, identify_path(call.target))) {
      return refuse_same_file(open, call.source, named);
    }
  }
  if (call.options.read_stdin && call.stdin_stand_in.closed) {
    return unreadable(open, call);
  }
  if (call.options.write_stdout && call.stdout_stand_in.closed) {
    return kExitUnwritable;
  }
  return kGoOn;
}

// Opens the source. One whose identity is unknown might be the target
// under another name: the run stops before anything is emptied.
int take_source(OpenRun& open, const Call& call) {
  catch_interrupts();
  if (call.source != nullptr) {
    open.input = open_source(call.source);
    if (open.input == nullptr) {
      return report(open, kSourceMissing, call.source_name, kExitNoSource);
    }
  } else {
    open.input = stdin;
    use_source_mode(stdin);
  }
  FileIdentity identity = identify_stream(open.input);
  if (!identity.known || is_stand_in(identity, call.stdin_stand_in,
                                     call.stdout_stand_in)) {
    return unreadable(open, call);
  }
  if (identity.directory) {
    return report(open, kSourceMissing, call.source_name, kExitNoSource);
  }
  open.source = identity;
  return kGoOn;
}

// The target is opened without emptying it and identified by what was
// opened, so that no other name of the source (a link, "./a.txt", a
// redirection, a file swapped in meanwhile) is emptied before it is read.
int take_target(OpenRun& open, const Call& call) {
  open.output = stdout;
  FileIdentity identity = open.console;
  if (call.target != nullptr) {
    open.output = open_target(call.target, open.target);
    if (open.output == nullptr) return unwritable(open, call);
    identity = open.target.identity;
  }
  if (!identity.known || is_stand_in(identity, call.stdin_stand_in,
                                     call.stdout_stand_in)) {
    return unwritable(open, call);
  }
  if (same_file(open.source, identity)) {
    return refuse_same_file(open, call.source_name, open.source);
  }
  return kGoOn;
}

// Openers, the converted text, closers and the final line feed. Nothing
// is written after a failed write: the output stays a piece of the whole.
ConvertStatus write_text(OpenRun& open, const Options& options,
                         ReadResult first) {
  ConvertStatus status =
      write_openers(open.output, options)
          ? convert_text(open.input, open.output, options, kSourceLineEnds,
                         first)
          : ConvertStatus::write_failed;
  std::fclose(open.input);
  open.input = nullptr;
  if (status == ConvertStatus::ok &&
      !(write_closers(open.output, options) &&
        write_all(descriptor_of(open.output), "\n", 1))) {
    status = ConvertStatus::write_failed;
  }
  return status;
}

// A source that cannot be read at all leaves the target as it was. A file
// the run created is empty already. Once emptied, the target's old text
// is gone: a failure from here on removes the file.
int convert(OpenRun& open, const Call& call) {
  ReadResult first = read_first_block(open.input);
  if (first.failed && first.size == 0) return unreadable(open, call);
  if (call.target != nullptr && !empty_target(open.output, open.target)) {
    return unwritable(open, call);
  }
  if (call.target == nullptr) use_text_mode(stdout);
  // The filter writes large blocks of its own; a stream buffer would only
  // add a copy and a second write call per block.
  std::setvbuf(open.output, nullptr, _IONBF, 0);
  ConvertStatus status = write_text(open, call.options, first);
  if (status == ConvertStatus::read_failed) return unreadable(open, call);
  if (status == ConvertStatus::write_failed) return unwritable(open, call);
  return kGoOn;
}

// A half-written file would pass for a finished one (make would take it
// as up to date): only a target closed without a fault stays.
int close_output(OpenRun& open, const Call& call) {
  if (call.target != nullptr) {
    std::FILE* closing = open.output;
    open.output = nullptr;
    if (!close_target(closing, open.target)) return unwritable(open, call);
  }
  open.finished = true;
  if (call.target == nullptr && std::fclose(stdout) != 0) {
    return kExitUnwritable;
  }
  return kExitConverted;
}

}  // namespace

int run(int argc, char* argv[], Variant variant) {
  Call call;
  int code = read_call(argc, argv, variant, call);
  if (code != kGoOn) return code;
  OpenRun open;
  code = refuse_before_opening(open, call);
  if (code == kGoOn) code = take_source(open, call);
  if (code == kGoOn) code = take_target(open, call);
  if (code == kGoOn) code = convert(open, call);
  if (code == kGoOn) code = close_output(open, call);
  return code;
}

}  // namespace kiv
