#include "app/run.h"

#include <cstdio>
#include <cstring>

#include "app/platform.h"
#include "convert/stream.h"
#include "convert/wrappers.h"
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

// Writes everything still buffered and closes the output. A standard
// output stays open so that a message can still follow; it is closed
// when the process ends.
bool finish_output(std::FILE* output) {
  if (output == stdout) return std::fflush(output) == 0 && !std::ferror(output);
  bool written = !std::ferror(output);
  return std::fclose(output) == 0 && written;
}

// Refuses a source that is also the target. The message is left out when
// standard output goes into that very file, or might: it would land in
// the source.
int refuse_same_file(const char* name, const FileIdentity& source) {
  FileIdentity console = identify_stream(stdout);
  if (console.known && !same_file(source, console)) {
    std::printf(kSameFile, name);
  }
  return kExitSameFile;
}

// True when a stream opened by name is in fact the stand-in for a closed
// standard stream (through /dev/stdin, /dev/fd/1 and the like).
bool is_stand_in(const FileIdentity& id, const StandIn& in,
                 const StandIn& out) {
  return (in.closed && same_numbers(id, in.identity)) ||
         (out.closed && same_numbers(id, out.identity));
}

int report_unreadable(const char* name) {
  std::printf(kSourceUnreadable, name);
  return kExitUnreadable;
}

int report_unwritable(const char* name) {
  std::printf(kTargetUnwritable, name);
  return kExitUnwritable;
}

// Closes a named target that the run gives up before it wrote anything:
// a file that the run created is removed again (by name alone when the
// system could not tell its identity). Standard output stays as it is.
void abandon_target(std::FILE* output, const char* target, bool created,
                    const FileIdentity& identity) {
  if (output == stdout) return;
  std::fclose(output);
  if (!created) return;
  if (identity.known) {
    discard_target(target, identity);
  } else {
    std::remove(target);
  }
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
  if (source != nullptr && target != nullptr &&
      std::strcmp(source, target) == 0) {
    return refuse_same_file(source, identify_path(source));
  }
  const char* source_name = source != nullptr ? source : kStandardStreamName;
  const char* target_name = target != nullptr ? target : kStandardStreamName;
  if (options.read_stdin && stdin_stand_in.closed) {
    return report_unreadable(source_name);
  }
  if (options.write_stdout && stdout_stand_in.closed) return kExitUnwritable;

  std::FILE* input = stdin;
  if (source != nullptr) {
    input = std::fopen(source, kSourceMode);
    if (input == nullptr) {
      std::printf(kSourceMissing, source_name);
      return kExitNoSource;
    }
  } else {
    use_source_mode(stdin);
  }
  // A source whose identity is unknown might be the target under another
  // name: the run stops before anything is emptied.
  FileIdentity source_identity = identify_stream(input);
  if (!source_identity.known ||
      is_stand_in(source_identity, stdin_stand_in, stdout_stand_in)) {
    std::fclose(input);
    return report_unreadable(source_name);
  }
  if (source_identity.directory) {
    std::fclose(input);
    std::printf(kSourceMissing, source_name);
    return kExitNoSource;
  }

  // The target is opened without emptying it and identified by what was
  // opened, so that no other name of the source (a link, "./a.txt", a
  // redirection, a file swapped in meanwhile) is emptied before it is read.
  std::FILE* output = stdout;
  bool created = false;
  if (target != nullptr) {
    OpenedTarget opened = open_target(target);
    if (opened.stream == nullptr) {
      std::fclose(input);
      return report_unwritable(target_name);
    }
    output = opened.stream;
    created = opened.created;
  }
  FileIdentity target_identity = identify_stream(output);
  bool target_unknown =
      !target_identity.known ||
      is_stand_in(target_identity, stdin_stand_in, stdout_stand_in);
  if (target_unknown || same_file(source_identity, target_identity)) {
    std::fclose(input);
    abandon_target(output, target, created && target_unknown,
                   target_identity);
    if (target_unknown) return report_unwritable(target_name);
    return refuse_same_file(source_name, source_identity);
  }

  // A source that cannot be read at all leaves the target as it was.
  ReadResult first = read_first_block(input);
  if (first.failed && first.size == 0) {
    std::fclose(input);
    abandon_target(output, target, created, target_identity);
    return report_unreadable(source_name);
  }
  // A file the run created is empty already.
  if (output != stdout && !created && !empty_target(output, target_identity)) {
    std::fclose(input);
    abandon_target(output, target, created, target_identity);
    return report_unwritable(target_name);
  }
  if (output == stdout) use_text_mode(stdout);
  // The filter writes large blocks of its own; a stream buffer would only
  // add a copy and a second write call per block.
  std::setvbuf(output, nullptr, _IONBF, 0);

  // Nothing is written after a failed write: the output stays a piece of
  // the whole.
  write_openers(output, options);
  ConvertStatus status =
      std::ferror(output)
          ? ConvertStatus::write_failed
          : convert_text(input, output, options, kSourceLineEnds, first);
  std::fclose(input);
  if (status == ConvertStatus::ok) {
    write_closers(output, options);
    if (!std::ferror(output)) std::fputc('\n', output);
  }
  bool written = finish_output(output) && status != ConvertStatus::write_failed;
  if (status == ConvertStatus::read_failed || !written) {
    // A half-written file would pass for a finished one (make would take
    // it as up to date): it goes.
    if (output != stdout) discard_target(target, target_identity);
    if (status == ConvertStatus::read_failed) {
      return report_unreadable(source_name);
    }
    return report_unwritable(target_name);
  }
  if (output == stdout && std::fclose(stdout) != 0) return kExitUnwritable;
  return kExitConverted;
}

}  // namespace kiv
