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

// Takes the next operand at or after `from` for one stream: "-" turns on
// the standard stream, anything else is the file name. Returns the
// position after it.
int select_stream(int argc, char* argv[], int from, bool& use_standard,
                  const char*& name) {
  if (use_standard) return from;
  while (from < argc && !is_operand(argv[from])) ++from;
  if (from == argc) return from;
  if (std::strcmp(argv[from], kStandardStreamName) == 0) {
    use_standard = true;
  } else {
    name = argv[from];
  }
  return from + 1;
}

// What the command line asks for, the streams of the run and what becomes
// of its target, in one place: whichever way run() returns, what is still
// open is closed and, unless the run got to its end, what it did to a
// target opened by name is taken back (see undo_target).
struct OpenRun {
  Options options;
  const char* source_path = nullptr;  // null: standard input
  const char* target_path = nullptr;  // null: standard output
  const char* source_name = kStandardStreamName;  // as messages name them
  const char* target_name = kStandardStreamName;
  StandIn in_stand_in;
  StandIn out_stand_in;
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

// Prints a message about a file and returns the exit code, unless
// standard output is the source: the message would land in it. Written as
// the text is, so that a standard output that does not block takes it too.
int say(const OpenRun& run, const char* format, const char* name, int code) {
  if (same_file(run.source, run.console)) return code;
  char text[8192];
  int n = std::snprintf(text, sizeof text, format, name);
  if (n < 0) return code;
  std::fflush(stdout);
  if (static_cast<std::size_t>(n) < sizeof text) {
    write_all(descriptor_of(stdout), text, static_cast<std::size_t>(n));
  } else {
    std::printf(format, name);
  }
  return code;
}

int missing(const OpenRun& run) {
  return say(run, kSourceMissing, run.source_name, kExitNoSource);
}
int unreadable(const OpenRun& run) {
  return say(run, kSourceUnreadable, run.source_name, kExitUnreadable);
}
int unwritable(const OpenRun& run) {
  return say(run, kTargetUnwritable, run.target_name, kExitUnwritable);
}

// Refuses a source that is also the target. The message is left out when
// standard output goes into that very file, or might: it would land in
// the source.
int refuse_same_file(OpenRun& run, const char* name,
                     const FileIdentity& source) {
  run.source = source;
  return run.console.known ? say(run, kSameFile, name, kExitSameFile)
                           : kExitSameFile;
}

// True when the system tells which file a stream is, and it is not the
// stand-in for a closed standard stream (reached through /dev/stdin,
// /dev/fd/1 and the like).
bool trusted(const OpenRun& run, const FileIdentity& id) {
  const StandIn& in = run.in_stand_in;
  const StandIn& out = run.out_stand_in;
  return id.known && !(in.closed && same_numbers(id, in.identity)) &&
         !(out.closed && same_numbers(id, out.identity));
}

// A step's answer when the run goes on to the next step.
constexpr int kGoOn = -1;

// Options and names; the help screen for too few arguments, the usage
// error when the source or the target is not named.
int read_call(int argc, char* argv[], Variant variant, OpenRun& run) {
  const char* program = argc > 0 && argv[0] != nullptr ? argv[0] : "Kiv";
  run.in_stand_in = fill_if_closed(0);
  run.out_stand_in = fill_if_closed(1);
  Options& options = run.options = parse_options(argc, argv);
  if (variant == Variant::pipe) {
    options.read_stdin = true;
    options.write_stdout = true;
  }
  if (argc <= 2 && !options.read_stdin && !options.write_stdout) {
    show_help(stdout, program);
    return kExitHelp;
  }
  int next = select_stream(argc, argv, 1, options.read_stdin, run.source_path);
  select_stream(argc, argv, next, options.write_stdout, run.target_path);
  if ((run.source_path == nullptr && !options.read_stdin) ||
      (run.target_path == nullptr && !options.write_stdout)) {
    show_usage_error(stdout, program);
    return kExitUsage;
  }
  if (run.source_path != nullptr) run.source_name = run.source_path;
  if (run.target_path != nullptr) run.target_name = run.target_path;
  return kGoOn;
}

// What is refused before anything is opened: one name for both, two names
// of one named pipe (opening the source would wait for ever for a
// writer), a closed standard stream.
int refuse_before_opening(OpenRun& run) {
  run.console = identify_stream(stdout);
  if (run.source_path != nullptr && run.target_path != nullptr) {
    FileIdentity named = identify_path(run.source_path);
    if (std::strcmp(run.source_path, run.target_path) == 0 ||
        same_file(named, identify_path(run.target_path))) {
      return refuse_same_file(run, run.source_path, named);
    }
  }
  if (run.options.read_stdin && run.in_stand_in.closed) return unreadable(run);
  if (run.options.write_stdout && run.out_stand_in.closed) {
    return kExitUnwritable;
  }
  return kGoOn;
}

// Opens the source. One whose identity is unknown might be the target
// under another name: the run stops before anything is emptied.
int take_source(OpenRun& run) {
  catch_interrupts();
  run.input = stdin;
  if (run.source_path == nullptr) {
    use_source_mode(stdin);
  } else if ((run.input = open_source(run.source_path)) == nullptr) {
    return missing(run);
  }
  FileIdentity identity = identify_stream(run.input);
  if (!trusted(run, identity)) return unreadable(run);
  if (identity.directory) return missing(run);
  run.source = identity;
  return kGoOn;
}

// The target is opened without emptying it and identified by what was
// opened, so that no other name of the source (a link, "./a.txt", a
// redirection, a file swapped in meanwhile) is emptied before it is read.
int take_target(OpenRun& run) {
  run.output = stdout;
  FileIdentity identity = run.console;
  if (run.target_path != nullptr) {
    run.output = open_target(run.target_path, run.target);
    if (run.output == nullptr) return unwritable(run);
    identity = run.target.identity;
  }
  if (!trusted(run, identity)) return unwritable(run);
  if (same_file(run.source, identity)) {
    return refuse_same_file(run, run.source_name, run.source);
  }
  return kGoOn;
}

// Openers, the converted text, closers and the final line feed. Nothing
// is written after a failed write: the output stays a piece of the whole.
ConvertStatus write_text(OpenRun& run, ReadResult first) {
  ConvertStatus status =
      write_openers(run.output, run.options)
          ? convert_text(run.input, run.output, run.options, kSourceLineEnds,
                         first)
          : ConvertStatus::write_failed;
  std::fclose(run.input);
  run.input = nullptr;
  if (status == ConvertStatus::ok &&
      !(write_closers(run.output, run.options) &&
        write_all(descriptor_of(run.output), "\n", 1))) {
    status = ConvertStatus::write_failed;
  }
  return status;
}

// A source that cannot be read at all leaves the target as it was. A file
// the run created is empty already. Once emptied, the target's old text
// is gone: a failure from here on removes the file.
int convert(OpenRun& run) {
  ReadResult first = read_first_block(run.input);
  if (first.failed && first.size == 0) return unreadable(run);
  if (run.target_path != nullptr && !empty_target(run.output, run.target)) {
    return unwritable(run);
  }
  if (run.target_path == nullptr) use_text_mode(stdout);
  // The filter writes large blocks of its own; a stream buffer would only
  // add a copy and a second write call per block.
  std::setvbuf(run.output, nullptr, _IONBF, 0);
  ConvertStatus status = write_text(run, first);
  if (status == ConvertStatus::read_failed) return unreadable(run);
  if (status == ConvertStatus::write_failed) return unwritable(run);
  return kGoOn;
}

// A half-written file would pass for a finished one (make would take it
// as up to date): only a target closed without a fault stays.
int close_output(OpenRun& run) {
  if (run.target_path != nullptr) {
    std::FILE* closing = run.output;
    run.output = nullptr;
    if (!close_target(closing, run.target)) return unwritable(run);
  }
  run.finished = true;
  if (run.target_path == nullptr && std::fclose(stdout) != 0) {
    return kExitUnwritable;
  }
  return kExitConverted;
}

}  // namespace

int run(int argc, char* argv[], Variant variant) {
  OpenRun this_run;
  int code = read_call(argc, argv, variant, this_run);
  if (code == kGoOn) code = refuse_before_opening(this_run);
  if (code == kGoOn) code = take_source(this_run);
  if (code == kGoOn) code = take_target(this_run);
  if (code == kGoOn) code = convert(this_run);
  if (code == kGoOn) code = close_output(this_run);
  return code;
}

}  // namespace kiv
