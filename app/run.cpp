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

}  // namespace

int run(int argc, char* argv[], Variant variant) {
  const char* program = argc > 0 && argv[0] != nullptr ? argv[0] : "Kiv";
  StandIn stdin_stand_in = fill_if_closed(0);
  StandIn stdout_stand_in = fill_if_closed(1);
  Options options = parse_options(argc, argv);
  if (variant == Variant::pipe) {
    options.read_stdin = true;
    options.write_stdout = true;
  }
  if (argc <= 2 && !options.read_stdin && !options.write_stdout) {
    show_help(stdout, program);
    return kExitHelp;
  }

  const char* source = nullptr;
  const char* target = nullptr;
  int next = select_stream(argc, argv, 1, options.read_stdin, source);
  select_stream(argc, argv, next, options.write_stdout, target);
  if ((source == nullptr && !options.read_stdin) ||
      (target == nullptr && !options.write_stdout)) {
    show_usage_error(stdout, program);
    return kExitUsage;
  }
  OpenRun open;
  open.console = identify_stream(stdout);
  if (source != nullptr && target != nullptr &&
      std::strcmp(source, target) == 0) {
    return refuse_same_file(open, source, identify_path(source));
  }
  const char* source_name = source != nullptr ? source : kStandardStreamName;
  const char* target_name = target != nullptr ? target : kStandardStreamName;
  // Two names of one named pipe: opening the source would wait for ever
  // for a writer.
  if (source != nullptr && target != nullptr) {
    FileIdentity named = identify_path(source);
    if (same_file(named, identify_path(target))) {
      return refuse_same_file(open, source, named);
    }
  }
  if (options.read_stdin && stdin_stand_in.closed) {
    return report(open, kSourceUnreadable, source_name, kExitUnreadable);
  }
  if (options.write_stdout && stdout_stand_in.closed) return kExitUnwritable;

  catch_interrupts();
  if (source != nullptr) {
    open.input = std::fopen(source, kSourceMode);
    if (open.input == nullptr) {
      return report(open, kSourceMissing, source_name, kExitNoSource);
    }
  } else {
    open.input = stdin;
    use_source_mode(stdin);
  }
  // A source whose identity is unknown might be the target under another
  // name: the run stops before anything is emptied.
  FileIdentity source_identity = identify_stream(open.input);
  if (!source_identity.known ||
      is_stand_in(source_identity, stdin_stand_in, stdout_stand_in)) {
    return report(open, kSourceUnreadable, source_name, kExitUnreadable);
  }
  if (source_identity.directory) {
    return report(open, kSourceMissing, source_name, kExitNoSource);
  }
  open.source = source_identity;

  // The target is opened without emptying it and identified by what was
  // opened, so that no other name of the source (a link, "./a.txt", a
  // redirection, a file swapped in meanwhile) is emptied before it is read.
  open.output = stdout;
  FileIdentity target_identity = open.console;
  if (target != nullptr) {
    open.output = open_target(target, open.target);
    if (open.output == nullptr) {
      return report(open, kTargetUnwritable, target_name, kExitUnwritable);
    }
    target_identity = open.target.identity;
  }
  if (!target_identity.known ||
      is_stand_in(target_identity, stdin_stand_in, stdout_stand_in)) {
    return report(open, kTargetUnwritable, target_name, kExitUnwritable);
  }
  if (same_file(source_identity, target_identity)) {
    return refuse_same_file(open, source_name, source_identity);
  }

  // A source that cannot be read at all leaves the target as it was.
  ReadResult first = read_first_block(open.input);
  if (first.failed && first.size == 0) {
    return report(open, kSourceUnreadable, source_name, kExitUnreadable);
  }
  // A file the run created is empty already. Once emptied, the target's
  // old text is gone: a failure from here on removes the file.
  if (target != nullptr && !empty_target(open.output, open.target)) {
    return report(open, kTargetUnwritable, target_name, kExitUnwritable);
  }
  if (target == nullptr) use_text_mode(stdout);
  // The filter writes large blocks of its own; a stream buffer would only
  // add a copy and a second write call per block.
  std::setvbuf(open.output, nullptr, _IONBF, 0);

  // Nothing is written after a failed write: the output stays a piece of
  // the whole.
  ConvertStatus status =
      write_openers(open.output, options)
          ? convert_text(open.input, open.output, options, kSourceLineEnds, first)
          : ConvertStatus::write_failed;
  std::fclose(open.input);
  open.input = nullptr;
  if (status == ConvertStatus::ok &&
      !(write_closers(open.output, options) &&
        write_all(descriptor_of(open.output), "\n", 1))) {
    status = ConvertStatus::write_failed;
  }
  // A half-written file would pass for a finished one (make would take it
  // as up to date): unless the run got here, it goes.
  if (status == ConvertStatus::read_failed) {
    return report(open, kSourceUnreadable, source_name, kExitUnreadable);
  }
  if (status == ConvertStatus::write_failed) {
    return report(open, kTargetUnwritable, target_name, kExitUnwritable);
  }
  if (target != nullptr) {
    std::FILE* closing = open.output;
    open.output = nullptr;
    if (!close_target(closing, open.target)) {
      return report(open, kTargetUnwritable, target_name, kExitUnwritable);
    }
  }
  open.finished = true;
  if (target == nullptr && std::fclose(stdout) != 0) return kExitUnwritable;
  return kExitConverted;
}

}  // namespace kiv
